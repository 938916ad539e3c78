// Hand-made terrain matrices for the terrain, statics and collision tests.
#pragma once

#include <cstring>

#include "core/Memory.h"
#include "world/Terrain.h"

namespace kvtest {

// A matrix of tilesX x tilesZ tiles, tile (x, z) with its own definition number x x tilesZ + z, and every
// sub-point's height (units of 8) 3 X + 5 Z of its global sub-point coordinates (X = x tile x 16 + x
// index). The edge modes and water levels are put back afterwards.
class HandMatrix {
public:
    HandMatrix(int32_t tilesX, int32_t tilesZ) {
        ResetMatrixGlobals();
        m = CreateMatrix();
        m->width = tilesZ;
        m->height = tilesX;
        const int32_t tiles = tilesX * tilesZ;
        m->tileField = static_cast<TileFieldEntry*>(qzAlloc(int(sizeof(TileFieldEntry)) * tiles, "matrix tile field"));
        std::memset(m->tileField, 0, sizeof(TileFieldEntry) * size_t(tiles));
        m->tileDefPool = static_cast<SubPoint*>(qzAlloc(tiles * kTileSubPoints * kSubPointBytes, "tile def pool"));
        m->tileDefPoolSize = tiles * kTileSubPoints * kSubPointBytes;
        for (int32_t x = 0; x < tilesX; ++x)
            for (int32_t z = 0; z < tilesZ; ++z) {
                const int32_t k = x * tilesZ + z;
                m->tileField[k].def = k * kTileSubPoints * kSubPointBytes;
                for (uint16_t& t : m->tileField[k].tex) t = kNoTexture;
                for (int32_t zi = 0; zi < 16; ++zi)
                    for (int32_t xi = 0; xi < 16; ++xi) {
                        SubPoint& sp = m->tileDefPool[k * kTileSubPoints + zi * 16 + xi];
                        sp.height = int16_t(3 * (x * 16 + xi) + 5 * (z * 16 + zi));
                        sp.flags = kSubSolid;
                        sp.access = 0;
                    }
            }
        // Flat tile 1 is the clone tile, height 7.
        m->flatCount = 1;
        m->flat[0].head.height = 7;
        m->flat[0].head.flags = kSubSolid;
        offmatrixclone_idx = 0;
    }
    ~HandMatrix() {
        FreeMatrix(m);
        ResetMatrixGlobals();
        offmatrixclone_idx = 0;
    }
    HandMatrix(const HandMatrix&) = delete;
    HandMatrix& operator=(const HandMatrix&) = delete;

    // The sub-point at global sub-point coordinates inside the grid.
    SubPoint& At(int32_t X, int32_t Z) {
        const int32_t k = (X / 16) * m->width + Z / 16;
        return m->tileDefPool[k * kTileSubPoints + (Z % 16) * 16 + X % 16];
    }
    static int32_t Height(int32_t X, int32_t Z) { return 3 * X + 5 * Z; }

    matrix* m;
};

}  // namespace kvtest
