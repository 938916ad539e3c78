// The object-type interface: every object of a level is a construct whose behaviour comes from one
// dispatcher function of its type, called with a method number and one argument word.
//
// A dispatcher answers 0 to a method it does not implement (after a debug line with the type's name and
// the method number); callers that need a method test for 0 and report the failure in their own words.
// Arguments and results that carry pointers are pointer-sized words (uintptr_t).
#pragma once

#include <cstdint>

#include "world/Player.h"

struct construct;

// Method numbers. 3-6, 11, 12, 15, 22 and 23 are used by no type.
enum class ItfcMethod : uint32_t {
    CREATE = 0,      // arg: object directory or pool parameter; construct arg: units-file entry or null
    TICK = 1,        // arg: TickInput (two control records)
    PLACE = 2,       // arg: PlacementRecord (null for the wreck)
    ATTACH = 7,      // arg: the construct to follow or stick to
    HIT = 8,         // arg: the construct that struck
    VIEWINSIDE = 9,  // arg: a viewport
    UNPLACE = 10,    // arg: not read (units pass their position)
    GETNAME = 13,    // result: the type name; the construct may be null
    STEERAI = 14,    // arg: the second control record of the input block, to fill
    GETDAMAGE = 16,  // result: DamageRecord, 0 for harmless objects
    GETSTATE = 17,   // result: StateRecord, 0 when the object keeps none
    GETMAXIMA = 18,  // result: MaximaRecord
    GETPOS = 19,     // arg: position triple to fill
    DESTROY = 20,
    SETPARAMS = 21,       // arg: a type-specific word or record
    ADDTARGET = 24,       // arg: a construct
    REMOVETARGET = 25,    // arg: a construct
    FRAMETARGETS = 26,    // arg: non-zero resets the view angle
    DRAWOVERLAY = 27,     // arg: a viewport
    GETLOOKAT = 28,       // arg: position triple to fill
    VIEWOUTSIDE = 29,     // arg: a viewport
    SETLOOK = 30,         // arg: look record (a control record)
    GETUNIT = 31,         // result: the type data block headed by the unit record, or 0
    GETGAUGES = 32,       // arg: word receiving the first gauge; result: the second
    GETGAUGES2 = 33,      // result: a further instrument value
    GETTURRETYAW = 34,    // result: 16.16 radians
    GETTURRETPITCH = 35,  // result: 16.16 radians
    GETACCESSTYPE = 36,   // result: the way-finding access type
    PLAYERENTER = 37,
    PLAYERLEAVE = 38,
    VIEWRELEASE = 39,  // arg: a viewport
    EXPORTDRIVE = 40,
    SETBRIGHTNESS = 41,  // arg: light level 0..255
    SETMODE = 42,        // arg: mode bits to set
    CLEARMODE = 43,      // arg: mode bits to clear
    GETMODE = 44,        // result: the mode value
    GETITFCDATA = 45,    // arg: word receiving the size; result: a fresh copy of the type data block
    COPYITFCDATA = 46,   // as GETITFCDATA; 0 means not supported
    SETITFCDATA = 47,    // arg: a block from GETITFCDATA of the same type
    GETTHROTTLE = 48,    // arg: word receiving the signed throttle command
    CARHIT = 49,         // arg: two words receiving the struck car's motion
    CYCLEMODE = 50,
    LAUNCH = 51,        // arg: the firing weapon's record
    UPDATEAIUNIT = 52,  // arg: AI unit record to fill; result 1 when filled
    SETTURRETYAW = 53,
    SETTURRETPITCH = 54,
    GETTURRETPOS = 55,     // result: the turret's position triple
    GETTURRETMATRIX = 56,  // result: the turret's orientation
    FOLLOWTOGGLE = 57,     // arg: a unit
    FOLLOWUNIT = 58,       // arg: a unit
    DRAWVIEWMARKS = 59,    // arg: a viewport
    DRAWOWNMARKS = 60,     // arg: a viewport
    GROUNDCHANGED = 61,
    SETWATCHVALUE = 62,  // arg: a value
    GETDRIVEFLAG = 63,   // result: a drive state word
    MANUALCONTROL = 64,
};

// A type's dispatcher: (construct or null, method, argument word) -> result word.
using ItfcProc = uintptr_t (*)(construct* con, ItfcMethod method, uintptr_t arg);

// The argument of TICK: record 0 the previous control state, record 1 the current one.
struct TickInput {
    ControlInput records[2];
};
static_assert(sizeof(TickInput) == 40);

// Records exchanged through the methods. Those returned by GETDAMAGE, GETSTATE and GETMAXIMA lie inside
// the type data block and live as long as the object.
struct DamageRecord {
    uint8_t physical;   // push dealt on impact
    uint8_t shield;     // shield damage
    uint8_t structure;  // structure damage
};
struct StateRecord {
    int32_t shield;
    int32_t structure;  // alive while above 0
    int32_t energy;
};
struct MaximaRecord {
    int32_t shield;
    int32_t structure;
    int32_t energy;
};
struct PlacementRecord {
    int32_t x, y, z;     // 16.16 world units; ground units replace y by the ground height
    int32_t spare[2];    // words 3-4: not read by the vehicle types
    int32_t heading;     // 16.16 radians
    int32_t strength;    // percent; scales shield and energy
    int32_t extraFlags;  // the units-file entry's extra flags
};

// The largest parameter record a type reads whole through SETPARAMS (a lantern's colour ramp): an action
// unit's parameter block is handed over padded with zeros to this size, so a short block is never read
// past its end.
constexpr int kMaxParamsRecordSize = 1024;

// Construct flag set by PLACE and cleared by UNPLACE: the only record of placement.
constexpr uint32_t kConstructPlaced = 0x80000;

// Calls the construct's own dispatcher.
uintptr_t CallItfc(construct* con, ItfcMethod method, uintptr_t arg = 0);
// The type name a dispatcher answers to GETNAME (with a null construct); "" when it answers 0.
const char* ItfcName(ItfcProc itfc);

// The default branch of every dispatcher: writes "<type>: uk method <n>" to the debug print, returns 0.
uintptr_t ItfcUnknownMethod(const char* typeName, ItfcMethod method);

// CREATE's common step: allocates the zeroed type data block of size bytes ("itfc data") into the
// construct and returns it.
void* AllocItfcData(construct* con, int size);

// GETITFCDATA and COPYITFCDATA: stores size through sizeOut (when not 0) and returns a tracked copy of the
// block under the purpose "<type> data block"; the caller frees it.
uintptr_t CopyItfcDataBlock(const void* block, int size, const char* typeName, uintptr_t sizeOut);

// The registry: the dispatchers that the units file may name, searched by name.
constexpr int kItfcSlotCount = 60;
constexpr int kItfcNamedSlotCount = 48;
// Slot table; a slot stays null until its type exists.
extern ItfcProc ItfcRegistry[kItfcSlotCount];
// The type each of the first 48 slots holds, in slot order.
extern const char* const ItfcSlotNames[kItfcNamedSlotCount];

// The registered dispatcher whose GETNAME equals the name byte for byte, or null.
ItfcProc FindItfc(const char* name);
// As FindItfc; a missing name shows a notice and is fatal ("Error(NamedItfc): unknown itfc").
ItfcProc NamedItfc(const char* name);
