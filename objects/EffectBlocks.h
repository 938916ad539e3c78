// The type data blocks of the pooled effects and thrown pieces, as their spawners fill them and their
// types read them: one definition for both sides (the weapons, the unit hit code, the spots of units
// and buildings, the drives, and the types in objects/ImpactEffects.cpp, Explosions.cpp, Debris.cpp and
// Missiles.cpp).
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "platform/Sound.h"
#include "vehicles/modules/SensorTip.h"

struct construct;
struct Plt;
struct PointLight;
struct SphereRecord;

// BulletSplash and ShellExpl.
struct CountdownBlock {
    int32_t countdown;  // ticks left; the effect lives countdown + 1 ticks
};

// HitSpark.
struct HitSparkBlock {
    int32_t countdown;
    int32_t spare;  // copied with the block, not read
};

// ShellSplash and GrenadeSplash: the blow they deal once (GETDAMAGE) and their countdown.
struct SplashBlock {
    DamageRecord impact;
    uint8_t pad;
    int32_t countdown;
};

// ShieldHit: a flash that clings to a unit's bounding sphere and circles over it.
struct ShieldHitBlock {
    int8_t countdown;
    uint8_t pad[3];
    SphereRecord* sphere;  // the struck unit's bounding sphere; null once the unit has left the world
    construct* unit;       // the struck unit (ATTACH's argument), null once it has left the world
    int32_t hit[3];        // the hit point, world units
    int32_t offset[3];     // from the sphere's centre, world units
    int32_t spin[9];       // the turn applied each tick, 1.15
};

// Fragment: a small piece of debris flung from a hit.
struct FragmentBlock {
    int32_t velocity[3];  // 1/8192 world units per tick
    int32_t angles[3];    // Euler angles of its orientation, 16.16 radians
    int32_t spin[3];      // added to the angles each tick
    int8_t countdown;     // set to -6 by the hit code, not read by the fragment
    uint8_t pad[3];
};
static_assert(sizeof(FragmentBlock) == 40);

// Shard and Shrapnel (lifetime and sink depth serve the shard only).
struct ShardRecord {
    int32_t resting;      // 1 once the piece has come to rest
    int32_t timer;        // counts down every tick; ground contact is tested once below 1
    int32_t lifetime;     // Shard: ticks of rest before sinking; 0 keeps it for good
    int32_t sinkDepth;    // Shard: 0 while not sinking
    int32_t velocity[3];  // 1/256 world units per tick
    float spin[3];        // 16.16 radians per tick about the sideways, up and forward rows
    int32_t reserved;
};
static_assert(sizeof(ShardRecord) == 44);

// FireTail: the flame a splinter leaves behind.
struct FireTailBlock {
    int32_t age;
    int32_t spare[3];
};

// Explode1: the animated fireball.
struct Explode1Block {
    int32_t age;
};

// Shockwave: the expanding ring with its light.
struct ShockwaveBlock {
    int32_t countdown;
    int32_t reserved[3];  // copied with the block
    uint8_t lightOn;      // 1 while the light is in the active list
    uint8_t pad[3];
    PointLight* light;
};

// MExplode: the burst of a missile or rocket, which deals its blow once.
struct MExplodeBlock {
    DamageRecord impact;
};

// Smoky: drifting smoke.
struct SmokyBlock {
    int32_t velocity[3];  // 1/256 world units per tick
    int32_t age;          // ticks
};

// Dust: raised by moving vehicles.
struct DustBlock {
    int32_t velocity[3];  // 1/256 world units per tick
    int32_t life;         // ticks left
    int32_t growth;       // billboard length added per tick
};

// ShellCase: an empty case thrown from a gun.
struct ShellCaseRecord {
    uint8_t mark;  // 250 from the weapon (not read by the case)
    uint8_t pad[3];
    int32_t velocity[3];  // 8192ths of a unit per tick
    int32_t angles[3];    // 16.16 radians
    int32_t spin[3];      // added to the angles per tick
};
static_assert(sizeof(ShellCaseRecord) == 40);

// Fire1: a flickering fire that may kindle its successor.
struct Fire1Block {
    int32_t age;
    int32_t lifetime;     // ticks
    int32_t generations;  // how many further fires may follow
    int32_t spawn[3];     // where its successors start, world units
    int32_t restLength;   // the first billboard's length when the fire is taken
    uint8_t lightOn;
    uint8_t pad[3];
    PointLight* light;
};

// Missile and Rocket.
struct MissileBlock {
    int32_t topSpeed;          // acceleration stops once the speed has reached it
    int32_t travelled;         // sum of the per-tick speeds since LAUNCH
    int32_t turnRate;          // Rocket: the largest turn step per tick (16.16 radians)
    int32_t range;
    int32_t straightDistance;  // Rocket: homes only while travelled is above it
    int32_t acceleration;      // added per tick after ignition
    int32_t ignition;          // ticks until the motor ignites
    int32_t dropSpeed;         // step along the up axis per tick before ignition
    DamageRecord impact;
    uint8_t lightOn;           // 1 while the light is in the active list
    int32_t speed;             // current speed along the forward row
    int32_t reserved;
    int32_t smokeCountdown;    // Rocket: ticks until the next smoke puff
    int32_t age;               // ticks since LAUNCH
    PointLight* light;
    construct* target;         // Rocket: what it homes on, holding a missile reference; null when none
    int32_t vapourCountdown;   // Missile: ticks until the next vapour puff
    int32_t lastTrail[3];      // Missile: where the last puff was laid
    SoundDesc ignitionSound;
    SoundDesc groundSound;
    SoundDesc waterSound;
    SoundDesc structureSound;
    SoundDesc flightSound;     // looping while it flies
};

// Vapour: a puff of a missile's trail.
struct VapourBlock {
    int32_t age;
    int32_t opacityFactor;  // 256 for full opacity
};

// MSmoke: a puff of a rocket's trail (its age is its effect phase).
struct MSmokeBlock {
    uint8_t spare;
};

// ---- The weapons' projectiles and segments (objects/Grenades.cpp, LitProjectiles.cpp, Segments.cpp,
// Plasma.cpp, Decals.cpp) and what their launchers write into them.

// ClusterGrenade and Projectile: a lobbed canister or a straight shot on a velocity of its own.
struct GrenadeFlightBlock {
    int32_t velocity[3];      // world units per tick
    int32_t lifetime;         // Projectile: ticks left before the air burst
    int32_t gravity;          // ClusterGrenade: taken from the vertical velocity each tick
    DamageRecord impact;      // from the LaunchRecord
    uint8_t pad;
    int32_t trailCountdown;   // ticks until the next vapour puff
    int32_t lastTrail[3];     // where the previous puff was laid
    int32_t launchOrient[9];  // ClusterGrenade: its orientation at LAUNCH, given to the bomblets (1.15)
    SoundDesc groundSound;     // "ClusterGrenade_FX_HitGround"
    SoundDesc waterSound;      // "ClusterGrenade_FX_HitWater"
    SoundDesc structureSound;  // "ClusterGrenade_FX_HitStructure"
};

// Grenade: a bomblet of a bursting cluster grenade.
struct GrenadeBlock {
    int32_t velocity[3];  // world units per tick
    DamageRecord impact;  // 40, 20, 0 from creation
    uint8_t pad;
};

// AMCapsule: a glowing ballistic capsule whose light pulses through its palette.
struct AMCapsuleBlock {
    int32_t velocity[3];  // world units per tick
    int32_t gravity;
    DamageRecord impact;
    uint8_t pad;
    PointLight* light;  // the capsule's own, taken from its object file; it carries the palette
    SoundDesc groundSound;
    SoundDesc waterSound;
    SoundDesc structureSound;
};

// NuclearShock: a segment of the capsule's ring, sweeping outward along the ground.
struct NuclearShockBlock {
    DamageRecord impact;  // 100, 30, 1 from creation
    uint8_t pad;
    int32_t countdown;    // ticks left; 400 from the capsule
};

// ShellFlare: a muzzle flash flying straight with its light.
struct ShellFlareBlock {
    int32_t speed;
    int32_t travelled;
    int32_t range;
    uint8_t lit;  // 1 while the light is in the active list
    uint8_t pad[3];
    PointLight* light;  // owned by the flare
};

// LaserSeg and LightningSeg: a piece of a beam.
struct BeamSegBlock {
    int32_t countdown;  // LaserSeg: ticks left (the beam cannon writes 16)
    int32_t pace;       // written by the beam cannon: how far the next segment lies along the beam
};

// HVSegment: a piece of the high-velocity cannon's instant beam.
struct HVSegmentBlock {
    DamageRecord impact;      // dealt once armed
    uint8_t armed;            // 1 once a test found it touching something
    DamageRecord zeroImpact;  // always 0: what it deals while unarmed
    uint8_t touching;         // its last tick found terrain or a construct
    int32_t reserved[2];
};

// What the high-velocity cannon hands a segment with LAUNCH.
struct HVSegmentLaunch {
    uint8_t impact[3];  // physical, shield, structure
    uint8_t pad;
    uint32_t mode;  // 0: laid; otherwise: test for a hit (LAUNCH answers 1 when the segment touches)
};

// Sensor: a piece of the player's sensor beam; its head is what the sensor tip reads.
struct SensorBlock {
    SensorSegHead head;  // zero impact, blocked, length ("Sensor_pace")
    int32_t reserved;
    uint8_t look;  // 0 or 1: which of its two looks it shows
    uint8_t pad[3];
    construct* secondLook;  // the look it does not show; never placed
};

// Eye: the car's passive marker.
struct EyeBlock {
    DamageRecord impact;  // always 0
    uint8_t pad;
};

// PlasmaBolt: a launched bolt whose light cycles through its colour ramp.
struct PlasmaBoltBlock {
    DamageRecord impact;
    uint8_t lightOn;    // 1 while the light is in the active list
    int32_t travelled;  // since LAUNCH
    int32_t counter;    // ticks since LAUNCH: picks the light's colour
    int32_t speed;
    int32_t range;
    PointLight* light;  // taken from its object file; its palette is the colour ramp
    SoundDesc groundSound;     // "PlasmaBolt_FX_HitGround"
    SoundDesc waterSound;      // "PlasmaBolt_FX_HitWater"
    SoundDesc structureSound;  // "PlasmaBolt_FX_HitStructure"
};

// PlasmaSplash: the glowing decal a bolt leaves on the ground.
struct PlasmaSplashBlock {
    int32_t countdown;
};

// Wave: the test decal of the movie camera, its texture coordinates running through two ramps.
constexpr int kWaveRampSize = 256;
struct WaveBlock {
    int32_t counter;  // 0..1249: the place in its cycle
    uint8_t startRamp[kWaveRampSize];
    uint8_t endRamp[kWaveRampSize];
};

// Trail: a track mark, kept in a chain from the newest to the oldest.
struct TrailBlock {
    int32_t targetOpacity;  // where its opacity fades to
    construct* next;        // the next older mark of its chain, or null
};
