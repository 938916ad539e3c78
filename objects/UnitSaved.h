// The saved form of a unit record: the words that a state copy carries, written field by field,
// little-endian, with no pointer in it, so that a type's saved data block does not depend on addresses or
// pointer size. The unit's targets and lock are not part of it (a saved game names those itself).
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"

struct UnitShare;

// Bytes of the saved form.
constexpr size_t kUnitSavedSize = 516;

// Helpers for the types' own saved forms: little-endian words at a cursor.
struct SavedWords {
    uint8_t* out;        // writing, or null
    const uint8_t* in;   // reading, or null
    size_t pos;
    size_t size;         // bytes of the block; nothing is read or written past it
    void U8(uint8_t* v);
    void U32(uint32_t* v);
    void I32(int32_t* v) { U32(reinterpret_cast<uint32_t*>(v)); }
    void F32(float* v);
    void I32s(int32_t* v, int n) {
        for (int i = 0; i < n; ++i) I32(&v[i]);
    }
};

// Writes the record's saved form (kUnitSavedSize bytes).
void PutUnitSaved(uint8_t* out, const UnitShare* rec);
// Null when the saved form (kUnitSavedSize bytes) may be taken over, else why not: a place or area far
// outside any map, a countdown below 0, a kill count at its end, an aim angle that is no number.
const char* CheckUnitSaved(const uint8_t* in);
// Takes a saved form over as a state copy does (targets, lock and the recent hitter cleared).
void GetUnitSaved(UnitShare* rec, const uint8_t* in);

// The check of a type's saved data block (size bytes, the size its GETITFCDATA reports): null when
// SETITFCDATA may take it over, else why not. The saved-game reader runs it for every stored block
// before it changes the level, so a damaged block is refused instead of being restored.
using SavedBlockCheck = const char* (*)(const uint8_t* block, size_t size);
// Installs the check of a type (replacing an earlier one of the same dispatcher; null removes it).
void SetSavedBlockCheck(ItfcProc itfc, SavedBlockCheck check);
// Runs the type's check; null also when the type has none.
const char* CheckSavedBlock(ItfcProc itfc, const uint8_t* block, size_t size);

// A unit that a type's saved block names: the action unit whose pool holds it and its index there.
struct SavedUnitName {
    char au[32];
    uint32_t index;
};
// Lists the units a checked saved block names (at most max into out) and returns their number, so that a
// load checks that they will exist before it changes the level.
using SavedBlockUnits = int (*)(const uint8_t* block, size_t size, SavedUnitName* out, int max);
// Installs the lister of a type (null removes it).
void SetSavedBlockUnits(ItfcProc itfc, SavedBlockUnits list);
// Runs the type's lister; 0 when the type has none.
int SavedBlockUnitNames(ItfcProc itfc, const uint8_t* block, size_t size, SavedUnitName* out, int max);

// The construct whose sub-constructs, billboards and spots the construct will have once SETITFCDATA has
// taken a stored block over: the construct itself, or the other look it exchanges its visuals with (a
// destroyed building shows its wreck). A saved construct record is compared with that look.
using SavedLookFn = const construct* (*)(construct* con, const uint8_t* block, size_t size);
// Installs the look of a type (replacing an earlier one; null removes it).
void SetSavedLook(ItfcProc itfc, SavedLookFn look);
// The look for a checked block; the construct itself when its type installs none.
const construct* SavedLook(construct* con, const uint8_t* block, size_t size);
