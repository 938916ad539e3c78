// What the weapon modules share beyond the projectile thrower's own record: the set of muzzles of the
// high-velocity cannon and the beam cannon (one typed interface for both, which their types release
// through HVCannon_free and BeamCannon_free), and the rate of fire the AI status reports.
#pragma once

#include <cstdint>

#include "vehicles/modules/PjtThrower.h"

struct Unit;

// The muzzles of a weapon: "<weapon>_MuzzleNo" entries of "<weapon>_muzzle_<n>" on the weapon part.
struct MuzzleSet {
    int32_t count;
    Muzzle* muzzles;   // "muzzle array", or null without muzzles
    int32_t combined;  // "<weapon>_MuzzlesCombined": read and kept
    int32_t cursor;    // the muzzle that fires next (round robin)
    Muzzle* firing;    // the muzzle chosen by the last fire, or null
};

// Reads "<weapon>_MuzzleNo", each "<weapon>_muzzle_<n>" (x, y, z truncated and times the scale; the
// flash billboard named by its first text on the weapon part; no patch) and "<weapon>_MuzzlesCombined".
// A count of 0 or less keeps no array: such a weapon never fires.
void MuzzleSet_read(MuzzleSet* m, const Unit* entry, const char* weapon, construct* weaponPart, float scale);
// Frees the array (a second call does nothing).
void MuzzleSet_free(MuzzleSet* m);
// The muzzle at the cursor, the cursor moved on; null without muzzles. A cursor that a copy or a saved
// game left outside the array starts again at the first muzzle.
Muzzle* MuzzleSet_next(MuzzleSet* m);
// Sets the flash level of a muzzle (null: nothing).
void MuzzleSet_flash(Muzzle* muzzle, int32_t level);
// Fades every flash that is not yet negative by 5 per tick.
void MuzzleSet_fade(MuzzleSet* m, int ticks);
// The muzzle's point in the world: the weapon part's position plus its offset turned by the part's
// orientation (the part's position without a muzzle).
void MuzzleSet_point(const construct* weaponPart, const Muzzle* muzzle, int32_t out[3]);

// Volleys per second as a weapon's status reports it: 100 / fire delay without salvos, salvo shots x 100
// / (fire delay x salvo shots + salvo delay) with them. The divisor counts at least one tick.
float WeaponVolleysPerSecond(int32_t fireDelay, int32_t salvoShots, int32_t salvoDelay);
// Plays a weapon's sound at a construct with zero velocity.
void WeaponSoundAt(SoundDesc* sound, const construct* at);
