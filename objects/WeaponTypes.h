// The projectiles and beam pieces the weapons throw and lay, and the decals left on the ground: grenades
// and trailed projectiles (objects/Grenades.cpp), the lit capsule with its nuclear shock ring and the
// muzzle flare (LitProjectiles.cpp), beam and sensor segments and the car's eye (Segments.cpp), plasma
// bolts and their splashes (Plasma.cpp), and the track marks and the test wave (Decals.cpp). Each lives in
// a shared pool (objects/SharedPools.h) or in its owner's pool, is started by its launcher or spawner
// (the blocks it reads are in objects/EffectBlocks.h), and returns to its pool by its own tick or by its
// owner; nothing is allocated while a level runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"

struct construct;

// Grenades and trailed projectiles.
uintptr_t ClusterGrenade_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Grenade_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Projectile_itfc(construct* con, ItfcMethod method, uintptr_t arg);
constexpr int kClusterBomblets = 20;
constexpr int32_t kProjectileLifetime = 100;

// Lit projectiles and the nuclear shock.
uintptr_t AMCapsule_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t NuclearShock_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t ShellFlare_itfc(construct* con, ItfcMethod method, uintptr_t arg);
constexpr int32_t kShockCountdown = 400;

// Beam and sensor segments, and the car's eye (made by the car for itself; no pool).
uintptr_t LaserSeg_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t LightningSeg_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t HVSegment_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Sensor_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Eye_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The effect phase an HVSegment is laid with, and the one it is tested with.
constexpr int32_t kHVSegmentLaidPhase = -1000;

// Plasma bolts and their splashes; track marks and the test wave, draped on the ground.
uintptr_t PlasmaBolt_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t PlasmaSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Trail_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Wave_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// A chain of track marks keeps this many at their target opacity; the one behind them fades.
constexpr int kTrailChainLength = 30;
// The cycle of a test wave, in ticks.
constexpr int32_t kWaveCycle = 1250;

// Installs the checks of the saved forms of the stored pools these types fill ("HVSegment",
// "ClusterGrenade", "Grenade", "AMCapsule", "Projectile", "NuclearShock", "PlasmaBolt", "BluePlasmaBolt").
void RegisterWeaponSavedChecks();
// Bytes of their saved forms.
constexpr size_t kGrenadeFlightSavedSize = 340;  // ClusterGrenade and Projectile
constexpr size_t kGrenadeSavedSize = 16;
constexpr size_t kAMCapsuleSavedSize = 288;
constexpr size_t kNuclearShockSavedSize = 8;
constexpr size_t kHVSegmentSavedSize = 16;
constexpr size_t kPlasmaBoltSavedSize = 288;
