// EMALinebacker: the E.M.A.'s twin-barrelled gun carrier. Its base "base" carries the turret "top" with the
// barrels "lbarrel" and "rbarrel", which fire a high-velocity cannon in turns (the barrel that fired
// recoils) and a projectile thrower; four chain parts "flchain", "frchain", "blchain", "brchain" lean to
// the ground under them. It lights its way, shows the player's sensor beam and leaves a wreck.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/HVCannon.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/types/TrackedFrame.h"
#include "vehicles/types/VehicleForm.h"
#include "vehicles/types/VehicleFrame.h"

struct construct;

// How far the chains' support points lie inside the box's front and rear (world units).
constexpr int32_t kLinebackerSupportInset = 3200;

struct EMALinebackerBlock {
    VehicleHead head;
    construct* cockpitBarrels[2];  // "cp_barrel" twice: drawn where the left and the right barrel stand
    int32_t chainAngles[4];
    int32_t* acquireLight;  // level word of the top's "acquire"
    int32_t keyMultipliers[kKeyMultiplierCount];
    int32_t recoil;  // rule "recoil"
    ChainSupport support;
    UnitLighting lighting;
    ChainDrive drive;
    WeaponTurret turret;
    HVCannon cannon;     // weapon 0, from either barrel
    PjtThrower weapon1;  // weapon 1
    SensorTip sensor;
    char directory[kVehicleDirectorySize];
};

uintptr_t EMALinebacker_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The saved form: the head; the chain angles, key multipliers, recoil, support points, ground heights and
// corner indices; the lighting, the turret, the chain drive, the cannon and the projectile thrower.
const VehicleForm& EMALinebacker_form();
const char* EMALinebacker_checkSaved(const uint8_t* block, size_t size);
