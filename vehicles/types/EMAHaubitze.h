// EMAHaubitze: the E.M.A.'s howitzer. Its gun "gun" is fixed to the hull "body" and only elevates; four
// chain parts "flchain", "frchain", "blchain", "brchain" lean to the ground under them. It aims by
// probing its shell's flight, turns its whole hull to face its target, shows the player's clan the
// shell's path with aiming markers, and fires one projectile thrower. It has no sensor beam.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/types/TrackedFrame.h"
#include "vehicles/types/VehicleForm.h"
#include "vehicles/types/VehicleFrame.h"

struct construct;
struct TurretShot;

// How far the chains' support points lie inside the box's front and rear (world units).
constexpr int32_t kHaubitzeSupportInset = 5000;
// The AI fires once the probed shell falls this near the target's range (world units).
constexpr int32_t kHaubitzeRangeTolerance = 10000;

struct EMAHaubitzeBlock {
    VehicleHead head;
    construct* cockpitGun;  // "cp_gun"
    int32_t chainAngles[4];  // pitch of each chain part (16.16 radians)
    ChainSupport support;
    int32_t recoil;  // rule "recoil"
    int32_t keyMultipliers[kKeyMultiplierCount];
    WeaponTurret turret;  // with the aiming markers
    UnitLighting lighting;
    ChainDrive drive;
    PjtThrower weapon0;
    char directory[kVehicleDirectorySize];
};

uintptr_t EMAHaubitze_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The howitzer's saved form: the head, then the lighting, the turret, the chain drive and the gun.
const VehicleForm& EMAHaubitze_form();
const char* EMAHaubitze_checkSaved(const uint8_t* block, size_t size);
// What the turret's shot probes fly: the gun's first muzzle, its shell's speed and fall per tick.
TurretShot EMAHaubitze_shot(const EMAHaubitzeBlock* b);
