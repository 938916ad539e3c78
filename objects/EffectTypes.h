// The pooled effects and thrown pieces of the projectile family: what shows where something struck
// (objects/ImpactEffects.cpp), explosions, smoke, dust, shell cases and fire (Explosions.cpp), tumbling
// debris (Debris.cpp), and missiles and rockets with their trails (Missiles.cpp). Each type lives in its
// shared pool (objects/SharedPools.h), is started by a spawner that fills its block
// (objects/EffectBlocks.h), changes its effect phase or its billboards every tick and returns to its pool
// by its own tick; nothing is allocated while a level runs except the shards of a destroyed unit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"

struct construct;

// Impact effects.
uintptr_t BulletSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t ShellSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t GrenadeSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t ShellExpl_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t HitSpark_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t ShieldHit_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The spin angle all shield flashes share (16.16 radians; 0 when a level is built).
extern int32_t ShieldHitSpin;

// Explosions, smoke, dust, shell cases and fire.
uintptr_t Explode1_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Shockwave_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t MExplode_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Smoky_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Dust_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t ShellCase_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Fire1_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// Tumbling debris.
uintptr_t Fragment_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Shard_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Shrapnel_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t FireTail_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// Construct flag set on a shard that has come to rest for good.
constexpr uint32_t kConSettled = 0x400000;

// Missiles, rockets and their trails.
uintptr_t Missile_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Rocket_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t Vapour_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t MSmoke_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// Dust raised by a drive: one puff from the shared pool "Dust" at every dust emitter of the unit (spots
// of kinds 8, 9 and 10, small to large), with the level's dust colour and scale; nothing without a free
// puff.
void EmitDust(construct* unit);

// Drops what the effects hold of a unit that leaves the world: a shield flash on its sphere ends, a
// rocket homing on it flies on straight and gives back its missile reference.
void ForgetEffectReferences(construct* gone);

// Installs the checks of the stored effects' saved forms (the pools a saved game holds) and the lister
// of the unit a stored rocket names, so a load refuses a damaged form before it changes the level.
void RegisterEffectSavedChecks();
// The bytes of the saved forms that are fixed in size.
constexpr size_t kMissileSavedSize = 552;  // the 516-byte block's form and the target's name
constexpr size_t kFire1SavedSize = 36;
