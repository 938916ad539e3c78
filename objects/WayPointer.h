// The way pointer: the marker the tactical map shows at an order's destination.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

uintptr_t WayPointer_itfc(construct* con, ItfcMethod method, uintptr_t arg);
