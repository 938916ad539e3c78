// EMAJeep: the E.M.A.'s four-wheeled jeep with one gun on a turret. Its body "base" carries the turret
// part "top" and the two front wheels "frwheel" and "flwheel" that steer; it drives on wheels, fires one
// projectile thrower, lights its way, shows the player's sensor beam, and leaves a wreck when it dies.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "vehicles/modules/ModuleSaved.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/modules/WheelDrive.h"
#include "vehicles/types/VehicleForm.h"
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

// The jeep's saved form (GETITFCDATA, SETITFCDATA): the vehicle head, then the lighting, the turret, the
// wheel drive and weapon 0 in the order SETITFCDATA copies them. The sensor beam is not part of it: it is
// laid again when the player takes the jeep.
constexpr size_t kEMAJeepSavedLighting = kVehicleSavedSize;
constexpr size_t kEMAJeepSavedTurret = kEMAJeepSavedLighting + kLightingSavedSize;
constexpr size_t kEMAJeepSavedDrive = kEMAJeepSavedTurret + kTurretSavedSize;
constexpr size_t kEMAJeepSavedWeapon0 = kEMAJeepSavedDrive + kWheelDriveSavedSize;
constexpr size_t kEMAJeepSavedSize = kEMAJeepSavedWeapon0 + kPjtThrowerSavedSize;

uintptr_t EMAJeep_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The jeep's saved form (the offsets above follow from it).
const VehicleForm& EMAJeep_form();
// The check of a saved form of size bytes (installed for the saved-game reader): null when SETITFCDATA
// may take it over, else why not.
const char* EMAJeep_checkSaved(const uint8_t* block, size_t size);
