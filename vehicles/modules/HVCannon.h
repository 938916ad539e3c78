// The high-velocity cannon: the instant-hit weapon of a tracked type. A shot lays a straight chain of up to
// 32 segments of its pool ("HVSegment") from the firing muzzle along the weapon part's forward axis, one
// "<weapon>_pace" apart, up to the weapon's range; a tick later it asks each segment in turn whether it
// touches something and cuts the chain behind the first that does. The segment deals the impact.
//
// Rules are the unit's, named "<prefix>_HVCannon_<index>_<key>". Slots: HVCannon_init (PLACE),
// HVCannon_free (UNPLACE, death), HVCannon_fire (TICK, fire key held), HVCannon_update (TICK, after the
// fire), HVCannon_copy (SETITFCDATA), HVCannon_status (UPDATEAIUNIT).
#pragma once

#include <cstdint>

#include "platform/Sound.h"
#include "vehicles/modules/WeaponCommon.h"

struct construct;
struct ConstructPool;

constexpr int kHVCannonSegments = 32;

// Beam states.
enum : int32_t {
    kHVFired = 0,  // a shot was fired: the chain is laid in the next update
    kHVLaid = 1,   // the chain is laid: it is tested once a tick has passed
    kHVReady = 2,
};

struct HVCannon {
    uint8_t active;         // 1 from init to free
    construct* unit;        // the owner
    construct* weaponPart;  // carries the muzzles
    ConstructPool* pool;    // the segments ("<weapon>_pool")
    MuzzleSet muzzles;
    uint8_t impact[3];  // physical, shield, structure
    int32_t range[3];   // the third value is the chain's length
    int32_t noiseRange;
    int32_t fireDelay;
    int32_t fireDelayCounter;
    int32_t salvoShots;  // salvos are kept, copied and reported, not used by fire
    int32_t salvoCounter;
    int32_t salvoDelay;
    int32_t salvoDelayCounter;
    int32_t ammoCapacity;  // 0 or less: not counted
    int32_t ammo;          // negative: never runs out
    int32_t beamState;     // kHVFired, kHVLaid, kHVReady
    uint32_t fireTick;     // the tick counter when the chain was laid
    int32_t segmentCount;  // segments in the chain
    construct* segments[kHVCannonSegments];  // from the muzzle outward
    int32_t pace;          // distance between segments
    SoundDesc fireSound;   // "<weapon>_FX_fire"
};

// Reads the rules of weapon number index of the unit; fatal when a required rule or the pool is missing.
// Ready, no chain. A weapon without muzzles never fires.
void HVCannon_init(HVCannon* w, construct* unit, construct* weaponPart, int index, float scale);
// Frees the muzzle array; a second call does nothing.
void HVCannon_free(HVCannon* w);
// Fires when ready (delay run out, ammunition left, no chain being laid or tested): 1, else 0.
int HVCannon_fire(HVCannon* w);
// The per-tick slot: delays and flashes, then tests a laid chain or lays a fired one.
void HVCannon_update(HVCannon* w, int ticks);
// Copies the run-time state of another record of the same unit type (not the range or the segments).
void HVCannon_copy(HVCannon* w, const HVCannon* src);
// Fills the 13 status words of one weapon entry of an AI unit record.
void HVCannon_status(const HVCannon* w, uint32_t* entry);
