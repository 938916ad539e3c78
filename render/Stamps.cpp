#include "render/Stamps.h"

uint16_t ViewStamp = 1;
