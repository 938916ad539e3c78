// The wreck: the object that takes the place of a destroyed unit. It shows the unit's wreck geometry
// "DeadBody" where the unit died, tumbles and settles under the wreck physics, is shoved by what runs into
// it, smokes from the spots of its geometry for a while, then sinks into the ground while it fades out and
// removes itself.
//
// The type "DeadBody" is not in the dispatcher registry: the unit types call DeadBody_itfc directly, and
// so does the saved-game reader. The standing wrecks are held in DeadBodyPool (40; objects/SharedPools.h).
// One template per object directory is preloaded into PreloadedPool when the first unit of that directory
// is created, so that a dying unit gets its wreck as a copy and no geometry is read during play.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "platform/Sound.h"
#include "vehicles/modules/DeadBodyPhysics.h"

struct construct;
struct Unit;

// The wreck's data block. Its stored form (GETITFCDATA, SETITFCDATA, saved games) is the 208-byte record
// below, written and read field by field.
struct DeadBodyData {
    DamageRecord damage;  // physical: the dead unit's "impactphysical"; shield and structure 0
    uint8_t reserved;
    StateRecord state;      // 0, -1, 0
    MaximaRecord maxima;    // 0, -1, 0
    int32_t lifetime;       // ticks left before sinking
    int32_t sink;           // 0 while lying, 1 once the lifetime has run out, then +100 per TICK
    int32_t smoke;          // ticks left of burning spots (goes on counting below 0)
    int32_t lastCrash;      // FrameCounter of the last crash sound
    SoundDesc crashSound;   // "FX_DeadBodyCrash" (zeroed when the rule is missing)
    DeadBodyPhys phys;
};

constexpr int kDeadBodyRecordSize = 208;
constexpr int32_t kDeadBodySinkStep = 100;     // units down per TICK while sinking
constexpr int32_t kDeadBodySinkDepth = 30000;  // the wreck is gone at this sink progress
constexpr int32_t kDeadBodyCrashGap = 200;     // ticks between two crash sounds, at least
constexpr uint32_t kDeadBodyFlags = 2;         // the construct flags of a new wreck

// The wreck's dispatcher: CREATE (construct: the dead unit's units-file entry; arg: its object
// directory), TICK, PLACE (arg null), UNPLACE, GETNAME, GETDAMAGE, GETSTATE, GETMAXIMA, GETPOS, DESTROY
// (0 at once, 1 deferred), GETITFCDATA (the 208-byte record), COPYITFCDATA (a copy of the data block, for
// CopyConstruct) and SETITFCDATA (a 208-byte record). Every other method answers 0 after the debug line
// "DeadBody: uk method %d".
uintptr_t DeadBody_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// The stored record of a data block (208 bytes, little-endian), and its reading into a live wreck: the
// damage bytes, state, maxima, countdowns and the physics' motion; the crash sound, the spin decay and the
// physics' construct stay.
void WriteDeadBodyRecord(const DeadBodyData* data, uint8_t out[kDeadBodyRecordSize]);
void ReadDeadBodyRecord(DeadBodyData* data, const uint8_t in[kDeadBodyRecordSize]);

// A unit of the entry is being created: when its object directory holds a "deadbody" file and
// PreloadedPool has no wreck template under the directory's name yet, one is made and added.
void PreloadDeadBody(Unit* unit, const char* directory);
// The unit dies (after its removal from the busy pools): when its directory holds a "deadbody" file and
// DeadBodyPool has room, a wreck is made, placed, added to the pool, its spots reset, and it takes the
// unit's position and orientation. Returns the wreck, or null when none is left.
construct* LeaveDeadBody(construct* unit, const char* directory);
