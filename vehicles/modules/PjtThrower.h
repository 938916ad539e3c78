// The projectile thrower: the weapon module of almost every armed unit. It throws projectiles (bullets,
// shells, grenades, missiles, rockets, plasma bolts) taken from a shared pool of ready-made ones, one
// volley per call of PjtThrower_fire while the weapon is ready, each projectile from the next muzzle, and
// hands each one its LaunchRecord through LAUNCH; from then on the projectile flies by itself and returns
// to its pool when it ends.
//
// Rules are the unit's, named "<prefix>_PjtThrower_<index>_<key>" (NamedUnitRule / FindUnitRule).
// Slots, in the frame's order: PjtThrower_init (PLACE), PjtThrower_free (UNPLACE, death),
// PjtThrower_tick (TICK), PjtThrower_fire (TICK, while the weapon's fire key is held), PjtThrower_copy
// (SETITFCDATA), PjtThrower_status (UPDATEAIUNIT).
#pragma once

#include <cstdint>

#include "objects/EffectBlocks.h"
#include "platform/Sound.h"

struct construct;
struct ConstructPool;
struct AIUnitRecord;

// One muzzle of a weapon.
struct Muzzle {
    int32_t offset[3];    // from the weapon part, world units (rule value truncated, times the unit's scale)
    int32_t* flashLevel;  // the level word of the flash billboard on the weapon part, or null
    int32_t patch;        // patch of the weapon part's geometry hidden while this muzzle fires, or -1
};

// What a weapon hands each projectile it throws, with LAUNCH.
struct LaunchRecord {
    int32_t range;          // the third value of "<weapon>_range"
    int32_t straightRange;
    int32_t firerSpeed;     // integer length of the firing unit's velocity; 0 without one
    int32_t speed;
    int32_t acceleration;
    int32_t turnRate;
    int32_t gravity;
    int32_t timeToIgnition;
    uint8_t firstOfVolley;  // 1 for the first projectile of a volley
    construct* weaponPart;
    construct* lockTarget;  // what a guided projectile chases, or null
    uint8_t impact[3];      // physical, shield, structure
};

// Where a weapon's 13 status words start in a weapon entry of an AIUnitRecord (words 0 to 12, the
// turret's part follows at kTurretStatusWord): the dispatcher passes &ai->weapon[group][kWeaponStatusWord]
// to PjtThrower_status.
constexpr int kWeaponStatusWord = 0;
constexpr int kWeaponStatusWords = 13;

constexpr int32_t kNoShellCases = static_cast<int32_t>(0x80000000u);
constexpr int32_t kWeaponAlertDistance = 200000;
constexpr int32_t kMuzzleFlashLevel = 100;

struct PjtThrower {
    uint8_t active;              // 1 from init to free; the tick does nothing while 0
    construct* unit;             // the owning unit
    construct* weaponPart;       // the body or turret part that carries the muzzles
    construct* lastProjectile;   // of the last volley; cleared once it is no longer busy
    ConstructPool* pool;         // where projectiles come from ("<weapon>_pool")
    int32_t muzzleCount;
    Muzzle* muzzles;             // "muzzle array"
    int32_t muzzlesCombined;     // projectiles per volley
    int32_t muzzleCursor;        // the muzzle that throws next (round robin)
    int32_t shellCaseOffset[3];  // kNoShellCases in [0] when the weapon ejects none
    int32_t shellCaseSide;       // sideways part of the case's ejection direction
    uint8_t impact[3];           // physical, shield, structure
    int32_t range[3];
    int32_t noiseRange;
    int32_t speed;
    int32_t straightRange;
    int32_t acceleration;
    int32_t turnRate;            // non-zero: guided
    int32_t gravity;             // non-zero: ballistic
    int32_t timeToIgnition;
    int32_t fireDelay;           // ticks between volleys
    int32_t fireDelayCounter;    // ticks until the next volley may go
    int32_t salvoShots;          // volleys per salvo; 0 without salvos
    int32_t salvoCounter;        // the next volley's number in the salvo; 0 while the salvo delay runs
    int32_t salvoDelay;          // ticks without a volley that start a new salvo
    int32_t salvoDelayCounter;
    int32_t ammoCapacity;        // 0 or less: not counted
    int32_t ammo;                // negative: never runs out
    int32_t pitchBias;           // 16.16 radians
    SoundDesc fireSound;         // "<weapon>_FX_fire"
};

// Reads the rules of weapon number index of the unit and fills the record (scale: the unit's geometry
// scale). Missing required rules and unknown pools are fatal. A weapon whose muzzle count is 0 or less
// gets no muzzles and is never ready.
void PjtThrower_init(PjtThrower* w, construct* unit, construct* weaponPart, int index, float scale);
// Frees the muzzle array and clears active; a second call does nothing.
void PjtThrower_free(PjtThrower* w);
// Throws one volley when ready: returns 1 (also when the pool had no free projectile), 0 when not
// ready. lockTarget: what a guided projectile chases; velocity: the firing unit's velocity or null.
int PjtThrower_fire(PjtThrower* w, construct* lockTarget, const int32_t* velocity);
// Counts the delays down by ticks (2^busy level), restarts salvos and fades the muzzle flashes.
void PjtThrower_tick(PjtThrower* w, int ticks);
// Copies the run-time state of another record of the same unit type; the muzzle cursor returns to 0.
void PjtThrower_copy(PjtThrower* w, const PjtThrower* src);
// Fills the 13 status words of one weapon entry of an AI unit record.
void PjtThrower_status(const PjtThrower* w, uint32_t* entry);
// Ready: fire delay run out, ammunition left and the salvo not spent (and at least one muzzle).
int PjtThrower_ready(const PjtThrower* w);
// Volleys per second as the status reports it (0 when the delays add up to nothing).
float PjtThrower_volleysPerSecond(const PjtThrower* w);
