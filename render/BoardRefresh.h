// Refreshing the scape boards after a terrain edit. Not built yet: the statics call it from its place.
#pragma once

#include <cstdint>

// Refills the cells of every viewport's boards that the world rectangle (x0, z0)-(x1, z1) touches. Not
// built yet: does nothing.
void RefreshBoardTiles(int32_t x0, int32_t z0, int32_t x1, int32_t z1);
