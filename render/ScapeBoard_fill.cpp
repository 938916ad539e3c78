// Filling board cells from the terrain matrix: a cell takes its tile's sub-points (mirrored where the
// edge modes mirror the map), textures and statics, or a flat tile; the boards of every viewport follow
// the terrain.
#include <cstdint>

#include "platform/Texture.h"
#include "render/ScapeBoard.h"
#include "render/ScapeBoard_local.h"
#include "render/Stamps.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "render/View_local.h"
#include "world/Construct.h"
#include "world/Statics.h"
#include "world/Terrain.h"

namespace {

constexpr uint32_t kMarkedStaticFlag = 0x10000000u;

void ClearQuarters(TileCell* cell) {
    for (int q = 0; q < 4; ++q) {
        cell->quarters[q].texture = nullptr;
        cell->quarters[q].statics = nullptr;
        cell->quarters[q].entries = cell->quarters[q].tail = nullptr;
    }
}

Tex* TextureNumber(uint16_t n) {
    if (n == kNoTexture || n >= TexCount) return nullptr;
    return TexTable[n];
}

}  // namespace

void FillBoardCell(ScapeBoard* board, TileCell* cell, int32_t column, int32_t row, matrix* terrain) {
    const int32_t tx = board->originColumn + column, tz = board->originRow + row;
    cell->waterLevel = WaterLevelAt(tx << 16, tz << 16);
    cell->mixedStatics = cell->hasConstructs = cell->markedStatic = 0;
    if (!terrain) {
        ClearQuarters(cell);
        return;
    }
    int32_t ax = 0, az = 0;
    int clone = 0, mirroredZ = 0, mirroredX = 0;
    const int result = MatrixAddress(terrain, tz, tx, &az, &ax, &clone, &mirroredZ, &mirroredX);
    TileFieldEntry* entry = clone ? nullptr : MatrixEntry(terrain, board->topField ? 1 : 0, ax, az);
    if (!entry) {
        ClearQuarters(cell);
        int slot = offmatrixclone_idx;
        if (slot < 0 || slot >= kMaxFlatTiles) slot = 0;
        SetBoardTile(board, column, row, cell, &terrain->flat[slot]);
        return;
    }
    const construct* first = nullptr;
    for (int q = 0; q < 4; ++q) {
        CellQuarter& quarter = cell->quarters[q];
        quarter.texture = TextureNumber(entry->tex[q]);
        quarter.entries = quarter.tail = nullptr;
        quarter.statics = result == 0 ? entry->stats[q] : nullptr;
        for (StatLink* l = quarter.statics; l; l = l->next) {
            if (!l->stat) continue;
            if (l->stat->flags & kMarkedStaticFlag) cell->markedStatic = 1;
            if (!first) first = l->stat;
            else if (l->stat != first) cell->mixedStatics = 1;
        }
    }
    if (entry->def < 0) {
        // A definition word of -k names flat tile k; one outside the sixteen reads as a hole-free clone.
        int slot = -entry->def - 1;
        if (slot < 0 || slot >= kMaxFlatTiles) slot = 0;
        SetBoardTile(board, column, row, cell, &terrain->flat[slot]);
        return;
    }
    const int32_t base = entry->def / kSubPointBytes;
    const bool inPool = base >= 0 && base + kTileSubPoints <= TileDefPoolEntries(terrain);
    const uint16_t viewStamp = static_cast<uint16_t>(ViewStamp - 1);
    const uint8_t cellStamp = static_cast<uint8_t>(CellStamp - 1);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            BoardVertex& v = cell->vertices[r * 16 + c];
            const int rs = mirroredZ ? 15 - r : r, cs = mirroredX ? 15 - c : c;
            // A definition offset past the pool's end reads as no surface rather than past the pool.
            const SubPoint sp = inPool ? terrain->tileDefPool[base + rs * 16 + cs] : SubPoint{-1, 0, 0, 0};
            v.height = sp.height == 1 ? 0 : sp.height;
            if (sp.flags & 0x4000) {
                const uint8_t g = (sp.flags & 0x2000) ? 0x80 : 0xFF;
                v.baseRed = v.baseGreen = v.baseBlue = g;
            } else {
                v.baseRed = static_cast<uint8_t>((sp.flags & 15) << 4);
                v.baseGreen = static_cast<uint8_t>(((sp.flags >> 4) & 15) << 4);
                v.baseBlue = static_cast<uint8_t>(((sp.flags >> 8) & 15) << 4);
            }
            if (sp.flags & kSubSolid) {
                v.flags = static_cast<uint8_t>(v.flags | kVertexSurface);
            } else {
                v.normal[0] = static_cast<int8_t>(v.height & 0xFF);
                v.normal[2] = static_cast<int8_t>((v.height >> 8) & 0xFF);
                v.normal[1] = 0;
                v.height = -1;
                v.flags = static_cast<uint8_t>(v.flags & ~kVertexSurface);
            }
            v.landStamp = v.waterStamp = viewStamp;
            v.cellStamp = cellStamp;
        }
    SetBoardTile(board, column, row, cell, nullptr);
}

void WidenCellBoundsByStatics(ScapeBoard* b, int column, int row, CellBounds* whole) {
    TileCell* cell = BoardCell(b, column, row);
    for (int q = 0; q < 4; ++q)
        for (StatLink* l = cell->quarters[q].statics; l; l = l->next) {
            if (!l->stat || (l->stat->flags & kMarkedStaticFlag)) continue;
            const int32_t lo = MinCornerHeight(l->stat) >> 3, hi = MaxCornerHeight(l->stat) >> 3;
            if (lo < whole->lowest) whole->lowest = static_cast<int16_t>(lo < -0x8000 ? -0x8000 : lo);
            if (hi > whole->highest) whole->highest = static_cast<int16_t>(hi > 0x7FFF ? 0x7FFF : hi);
        }
}

void ScheduleQuarterStatics(CellQuarter* q, int32_t reflect, int32_t terrainDrawn) {
    for (StatLink* l = q->statics; l; l = l->next)
        if (l->stat) ScheduleConstructDraw(l->stat, reflect, terrainDrawn);
}

matrix* BoardMatrix() { return CurrentMatrix; }

void UpdateAllScapeBoards() {
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (!vp || !vp->follows || vp->sharesMainBoards) continue;
        if (vp->board) UpdateScapeBoard(vp->board, CurrentMatrix);
        if (vp->topBoard && TopTileFieldPresent) UpdateScapeBoard(vp->topBoard, CurrentMatrix);
    }
}

void RefreshBoardTiles(int32_t x0, int32_t z0, int32_t x1, int32_t z1) {
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (!vp || !vp->follows || vp->sharesMainBoards) continue;
        if (vp->board) RefreshBoardRegion(vp->board, CurrentMatrix, x0, z0, x1, z1);
        if (vp->topBoard && TopTileFieldPresent) RefreshBoardRegion(vp->topBoard, CurrentMatrix, x0, z0, x1, z1);
    }
}
