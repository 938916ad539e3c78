// The world tick counter: +1 per tick of the world, reset when a level is built. Stamps of spheres are set
// to the counter minus 1 so that they count as stale.
#pragma once

#include <cstdint>

extern uint32_t FrameCounter;
