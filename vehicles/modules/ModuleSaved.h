// The saved forms of the vehicle modules: the run-time state that each module's copy carries, written
// field by field, little-endian, at a fixed size and with no pointer in it (construct, light, sound and
// pool references stay those of the record that takes the form over). A type's saved data block is its
// head's form followed by its modules' forms; SETITFCDATA reads each form into a copy of the own record
// and hands that copy to the module's own copy step, so that the copy's sound and light reconciling runs.
//
// Every form is checked before it is taken over: flags must be 0 or 1, indexes (the access type) must
// name an entry, counters and ramps must lie within what the module itself ever produces. A check
// answers null for a good form, else why it is refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vehicles/modules/BeamCannon.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/HVCannon.h"
#include "vehicles/modules/PjtThrower.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/modules/WheelDrive.h"

// Bytes of each form.
constexpr size_t kLightingSavedSize = 88;
constexpr size_t kTurretSavedSize = 76;
constexpr size_t kWheelDriveSavedSize = 112;
constexpr size_t kChainDriveSavedSize = 132;
constexpr size_t kPjtThrowerSavedSize = 76;
constexpr size_t kHVCannonSavedSize = 60;
constexpr size_t kBeamCannonSavedSize = 88;

// Writes the record's form (the size above) to out.
void UnitLighting_putSaved(const UnitLighting* l, uint8_t* out);
void Turret_putSaved(const WeaponTurret* t, uint8_t* out);
void WheelDrive_putSaved(const WheelDrive* d, uint8_t* out);
void ChainDrive_putSaved(const ChainDrive* d, uint8_t* out);
void PjtThrower_putSaved(const PjtThrower* w, uint8_t* out);
void HVCannon_putSaved(const HVCannon* w, uint8_t* out);
void BeamCannon_putSaved(const BeamCannon* w, uint8_t* out);

// Reads a form into src, a copy of the record that will take it over: the fields the form carries are
// replaced, the rest (pointers, sounds, rule values the copy leaves alone) stay the record's own. The
// drives' terrain mask is derived again from the stored access type.
void UnitLighting_getSaved(UnitLighting* src, const uint8_t* in);
void Turret_getSaved(WeaponTurret* src, const uint8_t* in);
void WheelDrive_getSaved(WheelDrive* src, const uint8_t* in);
void ChainDrive_getSaved(ChainDrive* src, const uint8_t* in);
void PjtThrower_getSaved(PjtThrower* src, const uint8_t* in);
void HVCannon_getSaved(HVCannon* src, const uint8_t* in);
void BeamCannon_getSaved(BeamCannon* src, const uint8_t* in);

// Null when the form may be taken over, else why not.
const char* UnitLighting_checkSaved(const uint8_t* in);
const char* Turret_checkSaved(const uint8_t* in);
const char* WheelDrive_checkSaved(const uint8_t* in);
const char* ChainDrive_checkSaved(const uint8_t* in);
const char* PjtThrower_checkSaved(const uint8_t* in);
const char* HVCannon_checkSaved(const uint8_t* in);
const char* BeamCannon_checkSaved(const uint8_t* in);

// Offsets of single fields within the forms (tests and tools that change one field of a saved game).
constexpr size_t kLightingSavedRamp = 28;
constexpr size_t kTurretSavedYaw = 0;
constexpr size_t kWheelDriveSavedEnginePower = 28;
constexpr size_t kWheelDriveSavedAccessType = 72;
constexpr size_t kPjtThrowerSavedFireDelayCounter = 8;
constexpr size_t kHVCannonSavedBeamState = 44;
constexpr size_t kBeamCannonSavedState = 68;
