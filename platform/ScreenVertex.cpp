#include "platform/ScreenVertex.h"

uint32_t CurrentColour = 0;
int32_t ScreenWidth = 0;
int32_t ScreenHeight = 0;
