// The scenery cameras of a level: the satellite camera (the player's camera construct), the static
// camera and the watch camera.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

uintptr_t SatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t StatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
uintptr_t WatchCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
