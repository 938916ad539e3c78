#include "world/TickCounter.h"

uint32_t FrameCounter = 1;
