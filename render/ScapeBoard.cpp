// Scape boards: creation, cell installation with shading and lights, height bounds and scrolling.
#include "render/ScapeBoard.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/FixMath.h"
#include "core/Memory.h"
#include "render/Light.h"
#include "render/ScapeBoard_local.h"
#include "render/Stamps.h"

namespace {

template <typename T>
T* AllocZeroed(int count, const char* purpose) {
    auto* p = static_cast<T*>(qzAlloc(static_cast<int>(sizeof(T)) * count, purpose));
    std::memset(static_cast<void*>(p), 0, sizeof(T) * static_cast<size_t>(count));
    return p;
}

int RowLength(const TileCell* cell) { return 1 << cell->level; }

// Height a vertex's shading reads at grid (i, j) of the cell at (column, row), i and j from -1 to 16:
// across the seams from the neighbour cells where they exist, else held at the cell's own edge.
int32_t ShadeHeight(const ScapeBoard* b, int column, int row, int i, int j) {
    if (i < 0 && column > 0) {
        --column;
        i += kCellSide;
    }
    if (j < 0 && row > 0) {
        --row;
        j += kCellSide;
    }
    if (i < 0) i = 0;
    if (j < 0) j = 0;
    if (i >= kCellSide && column + 1 < b->width) {
        ++column;
        i -= kCellSide;
    }
    if (j >= kCellSide && row + 1 < b->height) {
        ++row;
        j -= kCellSide;
    }
    if (i >= kCellSide) i = kCellSide - 1;
    if (j >= kCellSide) j = kCellSide - 1;
    return BoardCell(b, column, row)->vertices[j * kCellSide + i].height;
}

void ShadeVertex(ScapeBoard* b, int column, int row, int i, int j) {
    TileCell* cell = BoardCell(b, column, row);
    if (cell->level != 4 || cell->flat) return;
    BoardVertex* v = &cell->vertices[j * kCellSide + i];
    FixVec g = {ShadeHeight(b, column, row, i - 1, j) - ShadeHeight(b, column, row, i + 1, j), 1024,
                ShadeHeight(b, column, row, i, j - 1) - ShadeHeight(b, column, row, i, j + 1)};
    ComputeVertexShading(v, &g, b->topField ? -1 : 1, cell->lights, cell->lightCount, i, j, cell->waterLevel);
}

// Gathers the active point lights of kind 0 near the cell's centre (at most three).
void GatherCellLights(ScapeBoard* b, TileCell* cell, int column, int row) {
    int32_t lo = 0x7fff, hi = -0x8000;
    for (int k = 0; k < 8; ++k) {  // a handful of samples from the start of the first row
        int32_t h = cell->vertices[k].height;
        if (h < lo) lo = h;
        if (h > hi) hi = h;
    }
    FixVec centre = {((b->originColumn + column) << 16) + 0x8000, (lo + hi) * 4,
                     ((b->originRow + row) << 16) + 0x8000};
    int found = 0;
    for (int i = 0; i < ActiveLightCount && found < kMaxCellLights + 1; ++i) {
        PointLight* l = ActiveLights[i];
        if (l->kind != 0) continue;
        FixVec p = {l->pos[0], l->pos[1], l->pos[2]};
        if (Distance3F(&p, &centre) >= (1 << l->rangeShift) + 0x8000) continue;
        CellLight& cl = cell->lights[found++];
        cl.x = l->pos[0] - ((b->originColumn + column) << 16);
        cl.y = l->pos[1];
        cl.z = l->pos[2] - ((b->originRow + row) << 16);
        cl.colour = l->colour;
        cl.shift = l->rangeShift;
    }
    cell->lightCount = found > kMaxCellLights ? kMaxCellLights : found;
}

void WidenBy(CellBounds* bd, int32_t h) {
    if (h < bd->lowest) bd->lowest = static_cast<int16_t>(h);
    if (h > bd->highest) bd->highest = static_cast<int16_t>(h);
}

// Copies the first 36 bytes (the plain vertex) of a vertex, as the edge cells keep them.
void CopyPlainVertex(BoardVertex* to, const BoardVertex* from) {
    std::memcpy(static_cast<void*>(to), from, 36);
}

// Refreshes the edge cells the cell at (column, row) feeds.
void CopyEdges(ScapeBoard* b, int column, int row) {
    TileCell* cell = BoardCell(b, column, row);
    if (column == b->width - 1) {
        TileCell* edge = BoardCell(b, b->width, row);
        for (int r = 0; r < kCellSide; ++r) CopyPlainVertex(&edge->vertices[r], &cell->vertices[r * kCellSide + 15]);
    }
    if (row == b->height - 1) {
        TileCell* edge = BoardCell(b, column, b->height);
        for (int c = 0; c < kCellSide; ++c) CopyPlainVertex(&edge->vertices[c], &cell->vertices[240 + c]);
    }
    if (column == b->width - 1 && row == b->height - 1)
        CopyPlainVertex(&BoardCell(b, b->width, b->height)->vertices[0], &cell->vertices[255]);
}

}  // namespace

BoardVertex* CellVertexAt(const ScapeBoard* b, int column, int row, int i, int j) {
    if (i >= kCellSide) {
        ++column;
        i = 0;
    }
    if (j >= kCellSide) {
        ++row;
        j = 0;
    }
    TileCell* cell = BoardCell(b, column, row);
    return &cell->vertices[j * RowLength(cell) + i];
}

TileCell* CreateTileCell(ScapeBoard*, int32_t level) {
    auto* cell = AllocZeroed<TileCell>(1, "tile cell");
    cell->level = level;
    cell->vertices = AllocZeroed<BoardVertex>(kCellVertices, "scx field");
    cell->bounds = AllocZeroed<CellBounds>(1, "sfc field");
    cell->quarters = AllocZeroed<CellQuarter>(4, "sfc field");
    cell->blocks = AllocZeroed<CellBounds>(16, "sfc field");
    cell->corner.vertex = cell->vertices;
    return cell;
}

TileCell* CreateEdgeCell(ScapeBoard*, int32_t count) {
    auto* cell = AllocZeroed<TileCell>(1, "tile cell");
    cell->level = 0;
    cell->vertices = AllocZeroed<BoardVertex>(count, "scx field");
    cell->corner.vertex = cell->vertices;
    return cell;
}

void FreeTileCell(TileCell* cell) {
    if (!cell) return;
    qzFree(cell->vertices);
    qzFree(cell->bounds);
    qzFree(cell->quarters);
    qzFree(cell->blocks);
    qzFree(cell);
}

ScapeBoard* CreateScapeBoard(int32_t width, int32_t height, int32_t padding, int32_t topField,
                             int32_t reflectionType) {
    if (width > kMaxBoardSize || height > kMaxBoardSize || width < 1 || height < 1)
        FatalError("Error(CreateScapeBoard): Board size too large.");
    bool tooLarge = (width & 1) ? padding > width / 2 : padding >= width / 2;
    if (tooLarge || padding < 0) FatalError("Error(CreateScapeBoard): Camera padding too large.");
    auto* b = AllocZeroed<ScapeBoard>(1, "scape board cell");
    b->width = width;
    b->height = height;
    b->padding = padding;
    b->topField = topField;
    b->vertexStride = reflectionType == 2 ? 56 : 36;
    b->cells = AllocZeroed<TileCell*>((width + 1) * (height + 1), "scape board");
    for (int row = 0; row <= height; ++row)
        for (int column = 0; column <= width; ++column) {
            TileCell*& slot = b->cells[(width + 1) * row + column];
            if (column < width && row < height) slot = CreateTileCell(b, 4);
            else if (column < width || row < height) slot = CreateEdgeCell(b, kEdgeCellVertices);
            else slot = CreateEdgeCell(b, kCornerCellVertices);
        }
    return b;
}

void FreeScapeBoard(ScapeBoard* board) {
    if (!board) return;
    for (int i = 0; i < (board->width + 1) * (board->height + 1); ++i) FreeTileCell(board->cells[i]);
    qzFree(board->cells);
    qzFree(board);
}

void ComputeVertexShading(BoardVertex* v, const FixVec* g, int32_t sign, const CellLight* lights,
                          int32_t lightCount, int32_t column, int32_t row, int32_t waterLevel) {
    if (v->height < waterLevel) {
        v->normal[0] = 0;
        v->normal[1] = 127;
        v->normal[2] = 0;
        return;
    }
    if (v->flags & kVertexSurface) {
        int64_t l = (int64_t(g->x) * g->x >> 15) + (int64_t(g->y) * g->y >> 15) + (int64_t(g->z) * g->z >> 15);
        if (l < 1) return;
        double len = std::sqrt(double(g->x) * g->x + double(g->y) * g->y + double(g->z) * g->z);
        double s = 127.0 * sign / len;
        v->normal[0] = static_cast<int8_t>(g->x * s);
        v->normal[1] = static_cast<int8_t>(g->y * s);
        v->normal[2] = static_cast<int8_t>(g->z * s);
    }
    for (int k = 0; k < lightCount && k < kMaxCellLights; ++k) {
        const CellLight& l = lights[k];
        FixVec d = {l.x - (column << 12), l.y - (v->height << 3), l.z - (row << 12)};
        int32_t dist = NormaliseF(&d, &d);
        int32_t range = 1 << l.shift;
        int32_t in = 0;
        if (dist < range) {
            int32_t dot = (v->normal[0] * d.x + v->normal[1] * d.y + v->normal[2] * d.z) >> 16;
            in = static_cast<int32_t>((int64_t(dot) * (range - dist)) >> l.shift);
        }
        v->lit[k] = static_cast<uint8_t>(in < 0 ? 0 : in > 255 ? 255 : in);
    }
}

void SetBoardTile(ScapeBoard* b, int32_t column, int32_t row, TileCell* cell, const FlatTile* flat) {
    if (column >= b->width || row >= b->height || column < 0 || row < 0)
        FatalError("Error(SetBoardTile): Tile location out of range");
    b->cells[(b->width + 1) * row + column] = cell;
    cell->hole = 0;
    int32_t sign = b->topField ? -1 : 1;
    cell->lightCount = 0;
    if (TopTileFieldPresent) GatherCellLights(b, cell, column, row);
    if (!flat) {
        cell->flat = 0;
        for (int j = 0; j < kCellSide; ++j)
            for (int i = 0; i < kCellSide; ++i) ShadeVertex(b, column, row, i, j);
    } else if (flat->head.height == -1) {
        cell->hole = 1;
        cell->flat = 1;
        for (int k = 0; k < kCellVertices; ++k) {
            cell->vertices[k].height = -1;
            cell->vertices[k].flags &= static_cast<uint8_t>(~kVertexSurface);
        }
    } else {
        cell->flat = 1;
        int32_t h = flat->head.height == 1 ? 0 : flat->head.height;
        // Colour byte 0: red in bits 0..3, green in 4..7; colour byte 1: blue in bits 0..3.
        const uint8_t colour0 = static_cast<uint8_t>(flat->head.flags & 0xFF);
        const uint8_t colour1 = static_cast<uint8_t>(flat->head.flags >> 8);
        auto noise = [](int width) {
            int32_t r = Random();
            width = std::min(width, 32);  // the world file's noise width is a byte: more than 32 bits is all
            return std::abs(width ? r >> (32 - width) : r >> 31);
        };
        for (int k = 0; k < kCellVertices; ++k) {
            BoardVertex* v = &cell->vertices[k];
            v->normal[0] = 0;
            v->normal[1] = static_cast<int8_t>(sign * 127);
            v->normal[2] = 0;
            v->height = static_cast<int16_t>(sign * h);
            v->flags = kVertexSurface;
            v->baseRed = static_cast<uint8_t>(((colour0 & 15) << 4) + noise(flat->noise[0]));
            v->baseGreen = static_cast<uint8_t>((colour0 & 0xf0) + noise(flat->noise[1]));
            v->baseBlue = static_cast<uint8_t>(((colour1 & 15) << 4) + noise(flat->noise[2]));
            v->landStamp = v->waterStamp = static_cast<uint16_t>(ViewStamp - 1);
            v->cellStamp = static_cast<uint8_t>(CellStamp - 1);
        }
    }
    CopyEdges(b, column, row);
    // Seam normals: the neighbours' facing edges take this cell's heights across the seam.
    if (column > 0)
        for (int j = 0; j < kCellSide; ++j) ShadeVertex(b, column - 1, row, 15, j);
    if (row > 0)
        for (int i = 0; i < kCellSide; ++i) ShadeVertex(b, column, row - 1, i, 15);
    if (column + 1 < b->width)
        for (int j = 0; j < kCellSide; ++j) ShadeVertex(b, column + 1, row, 0, j);
    if (row + 1 < b->height)
        for (int i = 0; i < kCellSide; ++i) ShadeVertex(b, column, row + 1, i, 0);
    if (column > 0 && row > 0) ShadeVertex(b, column - 1, row - 1, 15, 15);
    if (column + 1 < b->width && row > 0) ShadeVertex(b, column + 1, row - 1, 0, 15);
    if (column > 0 && row + 1 < b->height) ShadeVertex(b, column - 1, row + 1, 15, 0);
    if (column + 1 < b->width && row + 1 < b->height) ShadeVertex(b, column + 1, row + 1, 0, 0);
    if (column > 0) CopyEdges(b, column - 1, row);
    if (row > 0) CopyEdges(b, column, row - 1);
}

void ComputeCellBounds(ScapeBoard* b, int32_t column, int32_t row) {
    TileCell* cell = BoardCell(b, column, row);
    if (cell->level != 4) return;
    int32_t w = cell->waterLevel;
    for (int bz = 0; bz < 4; ++bz)
        for (int bx = 0; bx < 4; ++bx) {
            CellBounds bd = {0x7fff, -0x8000, 0};
            for (int j = bz * 4; j <= bz * 4 + 4; ++j)
                for (int i = bx * 4; i <= bx * 4 + 4; ++i) {
                    int32_t h = CellVertexAt(b, column, row, i, j)->height;
                    if (h < w) {
                        h = w;
                        bd.flags |= 2;
                    } else {
                        bd.flags |= 1;
                    }
                    WidenBy(&bd, h);
                }
            cell->blocks[bx + 4 * bz] = bd;
        }
    CellBounds whole = {0x7fff, -0x8000, 0};
    for (int q = 0; q < 4; ++q) {
        CellBounds qb = {0x7fff, -0x8000, 0};
        int qx = (q & 1) * 2, qz = (q >> 1) * 2;
        for (int k = 0; k < 4; ++k) {
            const CellBounds& s = cell->blocks[(qx + (k & 1)) + 4 * (qz + (k >> 1))];
            WidenBy(&qb, s.lowest);
            WidenBy(&qb, s.highest);
            qb.flags |= s.flags;
        }
        cell->quarters[q].bounds = qb;
        WidenBy(&whole, qb.lowest);
        WidenBy(&whole, qb.highest);
        whole.flags |= qb.flags;
    }
    WidenCellBoundsByStatics(b, column, row, &whole);
    *cell->bounds = whole;
}

void WidenBoundsRight(ScapeBoard* b, int32_t column, int32_t row) {
    TileCell* cell = BoardCell(b, column, row);
    if (cell->level != 4) return;
    for (int bz = 0; bz < 4; ++bz)
        for (int j = bz * 4; j <= bz * 4 + 4; ++j) {
            int32_t h = CellVertexAt(b, column, row, 16, j)->height;
            WidenBy(&cell->blocks[3 + 4 * bz], h);
            WidenBy(&cell->quarters[1 + 2 * (bz >> 1)].bounds, h);
            WidenBy(cell->bounds, h);
        }
}

void WidenBoundsDown(ScapeBoard* b, int32_t column, int32_t row) {
    TileCell* cell = BoardCell(b, column, row);
    if (cell->level != 4) return;
    for (int bx = 0; bx < 4; ++bx)
        for (int i = bx * 4; i <= bx * 4 + 4; ++i) {
            int32_t h = CellVertexAt(b, column, row, i, 16)->height;
            WidenBy(&cell->blocks[12 + bx], h);
            WidenBy(&cell->quarters[2 + (bx >> 1)].bounds, h);
            WidenBy(cell->bounds, h);
        }
}

void UpdateScapeBoard(ScapeBoard* b, matrix* terrain) {
    if (b->followed) {
        b->originColumn = (ConstructPosX(b->followed) >> 16) - b->width / 2;
        b->originRow = (ConstructPosZ(b->followed) >> 16) - b->height / 2;
    }
    for (int column = 0; column < b->width; ++column)
        for (int row = 0; row < b->height; ++row) FillBoardCell(b, BoardCell(b, column, row), column, row, terrain);
    for (int column = 0; column < b->width; ++column)
        for (int row = 0; row < b->height; ++row) ComputeCellBounds(b, column, row);
}

namespace {

// Moves the grid one column: the cells of the leaving column are re-used for the entering one.
void ShiftColumns(ScapeBoard* b, int dir) {
    const int W = b->width, H = b->height, stride = W + 1;
    if (dir > 0) {
        for (int row = 0; row <= H; ++row) {
            TileCell** line = &b->cells[stride * row];
            TileCell* first = line[0];
            if (row < H) {
                for (int c = 0; c < W - 1; ++c) line[c] = line[c + 1];
                line[W - 1] = first;
            } else {
                // The edge row's inner positions move left; its first cell fills the last inner place.
                for (int c = 0; c < W - 1; ++c) line[c] = line[c + 1];
                line[W - 1] = first;
            }
        }
    } else {
        for (int row = 0; row <= H; ++row) {
            TileCell** line = &b->cells[stride * row];
            TileCell* last = line[W - 1];
            for (int c = W - 1; c > 0; --c) line[c] = line[c - 1];
            line[0] = last;
        }
    }
}

void ShiftRows(ScapeBoard* b, int dir) {
    const int W = b->width, H = b->height, stride = W + 1;
    TileCell* keep[kMaxBoardSize + 1];
    if (dir > 0) {
        for (int c = 0; c <= W; ++c) keep[c] = b->cells[c];
        for (int r = 0; r < H - 1; ++r)
            for (int c = 0; c <= W; ++c) b->cells[stride * r + c] = b->cells[stride * (r + 1) + c];
        for (int c = 0; c <= W; ++c) b->cells[stride * (H - 1) + c] = keep[c];
    } else {
        for (int c = 0; c <= W; ++c) keep[c] = b->cells[stride * (H - 1) + c];
        for (int r = H - 1; r > 0; --r)
            for (int c = 0; c <= W; ++c) b->cells[stride * r + c] = b->cells[stride * (r - 1) + c];
        for (int c = 0; c <= W; ++c) b->cells[c] = keep[c];
    }
}

}  // namespace

void ScrollScapeBoard(ScapeBoard* b, matrix* terrain) {
    if (!b->followed) return;
    int32_t dx = (ConstructPosX(b->followed) >> 16) - b->originColumn;
    int32_t dz = (ConstructPosZ(b->followed) >> 16) - b->originRow;
    const int W = b->width, H = b->height, P = b->padding;
    if (P - W + dx > W / 2 || P - dx > W / 2 || P - H + dz > H / 2 || P - dz > H / 2) {
        UpdateScapeBoard(b, terrain);
        return;
    }
    while (dx >= W - P) {
        ++b->originColumn;
        --dx;
        ShiftColumns(b, 1);
        for (int row = 0; row < H; ++row) FillBoardCell(b, BoardCell(b, W - 1, row), W - 1, row, terrain);
        for (int row = 0; row < H; ++row) ComputeCellBounds(b, W - 1, row);
        if (W >= 2)
            for (int row = 0; row < H; ++row) WidenBoundsRight(b, W - 2, row);
    }
    while (dx < P) {
        --b->originColumn;
        ++dx;
        ShiftColumns(b, -1);
        for (int row = 0; row < H; ++row) FillBoardCell(b, BoardCell(b, 0, row), 0, row, terrain);
        for (int row = 0; row < H; ++row) CopyEdges(b, W - 1, row);
        for (int row = 0; row < H; ++row) ComputeCellBounds(b, 0, row);
    }
    while (dz >= H - P) {
        ++b->originRow;
        --dz;
        ShiftRows(b, 1);
        for (int column = 0; column < W; ++column)
            FillBoardCell(b, BoardCell(b, column, H - 1), column, H - 1, terrain);
        for (int column = 0; column < W; ++column) ComputeCellBounds(b, column, H - 1);
        if (H >= 2)
            for (int column = 0; column < W; ++column) WidenBoundsDown(b, column, H - 2);
    }
    while (dz < P) {
        --b->originRow;
        ++dz;
        ShiftRows(b, -1);
        for (int column = 0; column < W; ++column) FillBoardCell(b, BoardCell(b, column, 0), column, 0, terrain);
        for (int column = 0; column < W; ++column) CopyEdges(b, column, H - 1);
        for (int column = 0; column < W; ++column) ComputeCellBounds(b, column, 0);
    }
}

void RefreshBoardRegion(ScapeBoard* b, matrix* terrain, int32_t x0, int32_t z0, int32_t x1, int32_t z1) {
    int32_t c0 = ((x0 - 0x3000) >> 16) - b->originColumn, c1 = ((x1 + 0x3000) >> 16) - b->originColumn;
    int32_t r0 = ((z0 - 0x3000) >> 16) - b->originRow, r1 = ((z1 + 0x3000) >> 16) - b->originRow;
    if (c0 < 0) c0 = 0;
    if (r0 < 0) r0 = 0;
    if (c1 > b->width - 1) c1 = b->width - 1;
    if (r1 > b->height - 1) r1 = b->height - 1;
    for (int column = c0; column <= c1; ++column)
        for (int row = r0; row <= r1; ++row) FillBoardCell(b, BoardCell(b, column, row), column, row, terrain);
    for (int column = c0; column <= c1; ++column)
        for (int row = r0; row <= r1; ++row) ComputeCellBounds(b, column, row);
}
