// EMASnowMob: the E.M.A.'s snow vehicle. Its body "body" carries the turret "top" with the beam cannon's
// "gun"; the chains are the body's billboards "leftchain" and "rightchain". It fires a beam at its locked
// target, lights its way, shows the player's sensor beam and leaves a wreck.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"
#include "vehicles/modules/BeamCannon.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/types/TrackedFrame.h"
#include "vehicles/types/VehicleForm.h"
#include "vehicles/types/VehicleFrame.h"

struct construct;

struct EMASnowMobBlock {
    VehicleHead head;
    int32_t keyMultipliers[kKeyMultiplierCount];
    int32_t recoil;  // rule "recoil" (required; the gun does not recoil)
    UnitLighting lighting;
    SensorTip sensor;
    ChainDrive drive;
    WeaponTurret turret;
    BeamCannon cannon;
    char directory[kVehicleDirectorySize];
};

uintptr_t EMASnowMob_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The saved form: the head; the key multipliers and the recoil; the lighting, the turret, the chain drive
// and the beam cannon.
const VehicleForm& EMASnowMob_form();
const char* EMASnowMob_checkSaved(const uint8_t* block, size_t size);
