// The island's static objects: the building elements (MultiElem, BaseElem, LBaseElem, GiantElem,
// FragElem), the gate, lift and energy gate (LGateElem, LiftElem, NRGGate), the scenery (Scenery,
// MultiScenery) and the lantern. Each is one dispatcher of the object-type interface; they stand on the
// terrain grid, write their footprint into its sub-points, take hits and break, and move their parts when
// a mission switches them.
//
// Saved games carry each type's state as a pointer-free form (the unit record's saved form, then the
// type's own fields, little-endian); the saved-game reader checks a stored form before a load changes
// the level.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"

struct construct;

uintptr_t MultiElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t BaseElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t LBaseElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t GiantElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t FragElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t LGateElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t LiftElem_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t NRGGate_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Scenery_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t MultiScenery_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Lantern_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// Installs the saved-form checks of the eleven types and the look their stored state gives them (called
// at start-up beside the vehicle types' registration).
void RegisterElementTypes();

// The busy levels the level set-up gives the elements: buildings and scenery tick every 8th tick, lifts
// every 2nd (every tick in a networked game) while they move, lanterns every tick.
constexpr int kElementBusyLevel = 3;
constexpr int kLanternBusyLevel = 0;
int LiftBusyLevel();

// The record a lantern takes through SETPARAMS (an action unit's parameter block): byte 8 the start
// index, byte 9 the light's type byte, byte 10 the step, bytes 11.. the 256 colour triples.
constexpr int kLanternParamsSize = 779;
constexpr int kLanternRampOffset = 11;

// The saved forms, one per type, in registry order of the table below.
enum class ElementForm : int {
    MultiElem, BaseElem, LBaseElem, GiantElem, FragElem, LGateElem, LiftElem, NRGGate, Scenery,
    MultiScenery, Lantern,
    Count
};
constexpr int kElementFormCount = static_cast<int>(ElementForm::Count);
struct ElementSavedForm {
    const char* type;   // the type name
    ItfcProc itfc;      // its dispatcher
    size_t size;        // bytes of the form
    const char* (*check)(const uint8_t* block, size_t size);  // null when SETITFCDATA may take it
};
extern const ElementSavedForm ElementSavedForms[kElementFormCount];
// Reads a form the check accepted into a fresh block of its type and writes that block's form into out
// (the form's size): what a load followed by a save stores.
void RewriteElementSaved(ElementForm form, const uint8_t* in, uint8_t* out);
