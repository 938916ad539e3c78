// Refreshing the scape boards after a terrain edit. Not built yet.
#include "render/BoardRefresh.h"

void RefreshBoardTiles(int32_t x0, int32_t z0, int32_t x1, int32_t z1) {
    (void)x0;
    (void)z0;
    (void)x1;
    (void)z1;
}
