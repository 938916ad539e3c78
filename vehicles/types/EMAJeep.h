// EMAJeep: the E.M.A.'s four-wheeled jeep with one gun on a turret. Its body "base" carries the turret
// part "top" and the two front wheels "frwheel" and "flwheel" that steer; it drives on wheels, fires one
// projectile thrower, lights its way, shows the player's sensor beam, and leaves a wreck when it dies.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/modules/WheelDrive.h"
#include "vehicles/types/VehicleFrame.h"

struct construct;

// The jeep's type data block: the common head, the modules, the object directory last.
struct EMAJeepBlock {
    VehicleHead head;
    UnitLighting lighting;
    WeaponTurret turret;
    WheelDrive drive;
    SensorTip sensor;
    PjtThrower weapon0;
    char directory[kVehicleDirectorySize];
};

uintptr_t EMAJeep_itfc(construct* con, ItfcMethod method, uintptr_t arg);
