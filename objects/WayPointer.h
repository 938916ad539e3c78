// The way pointer: the marker the tactical map shows at an order's destination.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

uintptr_t WayPointer_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The marker's pulse at a tick: 159 down to 33, then 32 up to 158, in steps of 2, once every 128 ticks.
int32_t WayPointerPhase(uint32_t tick);
