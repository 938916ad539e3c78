// What the unit record's files share: the player's unit test and the sounds they play.
#pragma once

#include <cstdint>

#include "platform/SoundFx.h"

struct construct;

namespace unitrec {

// True for the construct the local player drives.
bool IsPlayerUnit(const construct* con);
// Plays an FX sound at a point (null: at the main view's camera) with zero velocity.
void PlayFX(FXSound which, const int32_t* point);
// Stops a running "FX_LockTarget".
void StopLockTargetSound();
// A random value from 0 to 200 added to the lock toggle delay of 50.
int32_t LockToggleDelay();

}  // namespace unitrec
