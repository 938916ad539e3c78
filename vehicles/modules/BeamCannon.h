// The beam cannon: the continuous beam weapon of the walking mech, the hover glider and a tracked type. A
// trigger starts a warm-up; then the beam fires at the unit's lock target while the target stays within
// range and inside the aperture cone about the weapon part's forward axis, for at most the firing time,
// and a pause follows. The beam is drawn as a chain of segments of two pools (near and far) laid from the
// muzzle to the target and re-aimed every tick; every eighth tick the firing unit enters one of the
// target's hit slots with its own damage bytes switched to the beam's impact, so that the target's own
// tick applies the beam's damage.
//
// Rules are the unit's, named "<prefix>_BeamCannon_<index>_<key>". Slots: BeamCannon_init (PLACE),
// BeamCannon_free (UNPLACE, death), BeamCannon_fire (TICK, fire key held), BeamCannon_update (TICK),
// BeamCannon_copy (SETITFCDATA), BeamCannon_status (UPDATEAIUNIT).
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "platform/Sound.h"
#include "vehicles/modules/WeaponCommon.h"

struct construct;
struct ConstructPool;

constexpr int kBeamSegments = 32;
constexpr int32_t kBeamAlertDistance = 100000;
constexpr int32_t kBeamHitEvery = 8;  // ticks between two blows of the beam

// Beam states.
enum : int32_t {
    kBeamIdle = 0,
    kBeamArmed = 1,
    kBeamWarming = 2,
    kBeamFiring = 3,
    kBeamPausing = 4,
};

struct BeamCannon {
    uint8_t active;          // 1 from init to free
    construct* unit;         // the owner, and the source of the beam's hits
    construct* weaponPart;   // carries the muzzles and gives the aim axis
    ConstructPool* nearPool;  // "<weapon>_pool": its first text
    ConstructPool* farPool;   // its second text
    MuzzleSet muzzles;
    DamageRecord savedDamage;  // the unit's own damage bytes at init
    DamageRecord beamImpact;   // "<weapon>_ImpactPhysical", "_ImpactShield", "_ImpactStructure"
    int32_t range[3];          // the third value is the beam's reach
    int32_t noiseRange;
    int32_t warmUpDelay;
    int32_t warmUpCounter;
    int32_t firingTime;
    int32_t firingCounter;
    int32_t pauseDelay;
    int32_t pauseCounter;
    int32_t aperture;        // 16.16 radians
    int32_t apertureCosine;  // (1 - cos aperture) x 32768
    int32_t inAperture;      // the target lies inside the cone (refreshed each update)
    int32_t ammoCapacity;    // reported only, never spent
    int32_t ammo;
    int32_t beamState;       // kBeamIdle .. kBeamPausing
    int32_t segmentCount;
    construct* segments[kBeamSegments];
    int32_t nearPace;
    int32_t farPace;
    SoundDesc fireSound;    // "<weapon>_FX_fire"
    SoundDesc warmUpSound;  // "<weapon>_FX_warmup"
    SoundDesc impactSound;  // "<weapon>_FX_impact"
    DamageRecord* unitDamage;  // the unit's damage record (its GETDAMAGE), switched while firing; or null
};

// Reads the rules of weapon number index of the unit and saves the unit's own damage bytes; idle. A
// weapon without muzzles never fires.
void BeamCannon_init(BeamCannon* w, construct* unit, construct* weaponPart, int index, float scale);
// Frees the muzzle array (a second call does nothing); a beam firing at that moment gives the unit its
// own damage back.
void BeamCannon_free(BeamCannon* w);
// The trigger: idle, it starts a warm-up and answers 1; armed without a target or suppressed, it re-arms
// with a short warm-up; otherwise nothing. suppress: for the player's unit bit 0 of the detection
// record's flags, else 0.
int BeamCannon_fire(BeamCannon* w, construct* target, int suppress);
// The per-tick slot: aim, warm-up, start, firing with its blows and segments, pause.
void BeamCannon_update(BeamCannon* w, construct* target, int suppress, int ticks);
// Copies the run-time state of another record of the same unit type.
void BeamCannon_copy(BeamCannon* w, const BeamCannon* src);
// Fills the 13 status words of one weapon entry of an AI unit record.
void BeamCannon_status(const BeamCannon* w, uint32_t* entry);
