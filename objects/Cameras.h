// The scenery cameras of a level: the satellite camera (the player's camera construct), the static
// camera and the watch camera.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

uintptr_t SatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t StatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t WatchCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);

// The satellite camera's number of targets, and its heading (16.16 radians), which the in-game interface
// points along a unit it hands the view to.
int32_t SatCameraTargetCount(construct* con);
void SetSatCameraHeading(construct* con, int32_t heading);
