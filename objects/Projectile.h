// The projectile family: the frame that projectiles (bullets, shells, grenades, capsules) and the
// short-lived effects they leave share, and its two plainest members, Bullet and Shell.
//
// Members live in the shared pools (objects/SharedPools.h), made once per level. A launcher or spawner
// takes a free one (NextFreeInConstructPool), queues it busy at level 0, activates and places it; a
// weapon then calls LAUNCH with a LaunchRecord (vehicles/modules/PjtThrower.h). Its TICK moves it, tests
// terrain, water and what the collision pass put into its first hit slot, classifies the hit, plays the
// hit sound, spawns the impact effect and returns the construct to its pool. Nothing is allocated or
// freed while a level runs. All projectiles share collision class 1, so they never strike each other,
// and the collision pass never pairs one with its owner.
//
// A struck unit reads the projectile through GETDAMAGE (the impact bytes) and GETSTATE (0: a projectile
// keeps no state) in its own TICK and applies the damage through ApplyHitToUnit (objects/UnitTick.h).
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "objects/SharedPools.h"
#include "platform/Sound.h"

struct construct;
struct bboard;

// Hit kinds of one tick's hit test.
enum : int {
    kHitNone = 0,
    kHitStructure = 1,  // a struck construct without shield (or one that keeps no state)
    kHitShield = 2,     // a struck construct whose shield word is not 0
    kHitGround = 3,     // the terrain test found ground and no construct
    kHitWater = 4,      // the terrain test found the point under water
};

constexpr uint8_t kProjectileCollisionClass = 1;
constexpr int32_t kProjectilePhase = 255;

// The type data block of Bullet and Shell.
struct ProjectileBlock {
    DamageRecord impact;  // physical, shield, structure (GETDAMAGE), from the LaunchRecord
    uint8_t pad;
    int32_t speed;      // world units per tick along the forward row
    int32_t range;      // distance after which it expires
    int32_t travelled;  // since LAUNCH
    SoundDesc groundSound;     // "<type>_FX_HitGround"
    SoundDesc waterSound;      // "<type>_FX_HitWater"
    SoundDesc structureSound;  // "<type>_FX_HitStructure"
};

// The saved form that GETITFCDATA hands out (a saved game stores it): the impact bytes and pad byte,
// speed, range and travelled, then each of the three sound descriptors as its file name (64 bytes) and
// its five words followed by a zero word where a playing sound would be named; little-endian, no pointer.
// SETITFCDATA reads its first 16 bytes (the sound descriptors stay the projectile's own). COPYITFCDATA
// (a construct copy in memory) still hands out the whole block.
constexpr int kProjectileSavedSize = 280;

// The dispatchers (their GETNAME: "Bullet", "Shell").
uintptr_t Bullet_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Shell_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// What one tick's hit test found.
struct ProjectileHit {
    int kind;      // kHitNone .. kHitWater
    int expired;   // a hit ends the flight
    int shake;     // a construct was named by the terrain test, the ground was struck, or the slot held an
                   // element that takes hits
    int terrain;   // what the terrain test reported (CheckMatrixPosition: 0 free, 1 below the ground, 2 above
                   // the upper layer, 3 a static, 4 under water)
};

// The hit test of the frame, terrain part then hit-slot part: terrain and water at the position (a static
// found there gets HIT), then the first hit slot (an element with flag 0x1 gets HIT; the slot is
// cleared). A struck construct is classified by its GETSTATE shield word; one whose GETSTATE answers 0 is
// a structure hit.
ProjectileHit ProjectileHitTest(construct* con);
// Plays a hit sound once at the construct's position (a zero descriptor plays nothing).
void PlayProjectileHitSound(const construct* con, SoundDesc* desc);
// Spawning an effect: a free construct of the pool, queued busy at level 0, activated and placed at the
// spawner with its orientation, without an owner; null when the pool is missing or has none free. The
// caller writes the countdown and phase (and the owner of a blow it deals).
construct* SpawnEffect(const construct* spawner, SharedPoolId pool);
// The return to the pool: leaves its busy pool at the next event flush and is deactivated at once.
void ReturnToPool(construct* con);
// The count of a projectile's step toward its range: its speed, at least 1, so a projectile that moves
// nothing still runs out of range.
int32_t ProjectileRangeStep(int32_t speed);

// ---- The frame the other members of the family share (objects/Projectile_frame.cpp): their creation
// from a preloaded copy or from their object file, and the methods every member answers alike.

struct SavedWords;

// What a member's CREATE builds when no preloaded copy exists, and how its block is copied and stored.
struct PjtMember {
    const char* name;  // GETNAME, the debug line of unknown methods, the purpose of block copies
    ItfcProc itfc;
    int blockSize;     // bytes of the type data block ("itfc data")
    float scale;       // of its geometry
    uint32_t flags;    // construct flags at creation
    uint8_t collisionClass;
    uint8_t probeCount;  // probe points: corners of the collision box
    uint8_t probes[4];
    int8_t followPhase;  // the billboards' follow-phase flag; -1: the member takes no billboards
    int8_t unlit;        // the billboards' unlit flag
    bool quiet;          // other methods answer 0 without the debug line
    // The block's pointer-free saved form, walked field by field in either direction (GETITFCDATA writes
    // it, SETITFCDATA reads it); null for a member that is never stored: then both copy the whole block.
    void (*walk)(SavedWords& w, void* block);
    int savedSize;  // bytes of the saved form
};

// CREATE: a copy of the preloaded construct of this dispatcher and directory when there is one; else a
// construct with the member's settings: geometry "<directory>\<geom>" (the directory itself when geom
// is empty) for all four detail levels (which also gives it the geometry's box and sphere), its
// billboards, a zeroed block; then setup, when given, completes it.
construct* PjtCreateMember(const PjtMember& m, const char* directory, const char* geom,
                           void (*setup)(construct* con) = nullptr);
// The same without seeking a preloaded copy: always a new construct.
construct* PjtBuildMember(const PjtMember& m, const char* directory, const char* geom,
                          void (*setup)(construct* con) = nullptr);
// The answers every member shares: GETNAME; DESTROY (out of its busy pool, deactivated, freed);
// GETITFCDATA, COPYITFCDATA and SETITFCDATA of the block; any other method answers 0 after the debug
// line "<name>: uk method <n>" (without it for a quiet member).
uintptr_t PjtMember_itfc(const PjtMember& m, construct* con, ItfcMethod method, uintptr_t arg);
// The first billboard of a construct, or null.
bboard* PjtFirstBBoard(const construct* con);
