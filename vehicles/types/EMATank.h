// EMATank: the E.M.A.'s battle tank. Its body "body" carries the turret "top", and on the top the main
// gun "gun", a spinning radar dish "radar" and a rocket pod "rockets" that rises while a target is
// locked. It runs on chains, fires its gun (a muzzle flare, smoke puffs, recoil) and its guided rockets
// at a locked target, lights its way, shows the player's sensor beam and leaves a wreck.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"
#include "platform/Sound.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/types/TrackedFrame.h"
#include "vehicles/types/VehicleForm.h"
#include "vehicles/types/VehicleFrame.h"

struct construct;

// The smoke of a main-gun shot: puffs and the ticks between them.
constexpr int32_t kTankSmokePuffs = 4;
constexpr int32_t kTankPuffInterval = 16;
// The rocket pod rises and sinks by this much per tick (0..255).
constexpr int32_t kTankRocketRate = 10;
// The radar turns by this much per tick (16.16 radians).
constexpr int32_t kTankRadarStep = 2000;

// The tank's type data block: the common head, its own fields, the modules, the object directory last.
struct EMATankBlock {
    VehicleHead head;
    construct* cockpitGun;    // "cp_gun", drawn by DRAWOVERLAY where the gun stands
    int32_t recoil;           // rule "recoil"
    int32_t radarAngle;       // 16.16 radians
    int32_t* acquireLight;    // level word of the top's "acquire"
    int32_t rocketElevation;  // 0..255
    int32_t rocketRate;       // -10, 0 or 10 per tick
    int32_t smokePuffs;       // puffs left of the last main-gun shot
    int32_t puffCountdown;    // ticks to the next puff
    int32_t muzzleOffset[3];  // the muzzle of the last main-gun shot, in the gun's frame
    int32_t keyMultipliers[kKeyMultiplierCount];
    WeaponTurret turret;
    UnitLighting lighting;
    ChainDrive drive;
    PjtThrower weapon0;  // the main gun
    PjtThrower weapon1;  // the rockets
    SensorTip sensor;
    SoundDesc rocketSound;  // "<prefix>_FX_rockets_elevate"
    char directory[kVehicleDirectorySize];
};

uintptr_t EMATank_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The tank's saved form: the head; the key multipliers, the rocket elevation and rate, the smoke puffs,
// their countdown and the muzzle offset; the lighting, the turret, the chain drive and both weapons.
const VehicleForm& EMATank_form();
// The check of a saved form of size bytes (installed for the saved-game reader).
const char* EMATank_checkSaved(const uint8_t* block, size_t size);
