// The terrain matrix: quarter-tile lists, the access fix-up passes, the image export and the water levels.
#include <cstring>
#include <climits>
#include <vector>

#include "core/Memory.h"
#include "platform/Texture.h"
#include "world/Terrain.h"

namespace {

// The entry of a layer that holds a quarter tile, through the edge modes; null for the clone tile.
TileFieldEntry* QuarterEntry(matrix* m, int top, int32_t xq, int32_t zq, int* quarter) {
    TileFieldEntry* layer = m ? (top ? m->topTileField : m->tileField) : nullptr;
    if (!layer) return nullptr;
    int32_t xt, zt;
    int clone, mirZ, mirX;
    MatrixAddress(m, zq >> 1, xq >> 1, &zt, &xt, &clone, &mirZ, &mirX);
    if (clone) return nullptr;
    // A mirrored tile shows its quarters in mirrored order.
    *quarter = QuarterIndex(mirX ? ~xq : xq, mirZ ? ~zq : zq);
    return &layer[static_cast<int64_t>(xt) * m->width + zt];
}

// The sub-point of a definition at a world position of the first layer, or null for flat tiles and
// positions that read the clone tile.
SubPoint* DefinitionSubPoint(matrix* m, int32_t x, int32_t z) {
    if (!m || !m->tileField) return nullptr;
    int32_t xt, zt;
    int clone, mirZ, mirX;
    MatrixAddress(m, z >> 16, x >> 16, &zt, &xt, &clone, &mirZ, &mirX);
    if (clone) return nullptr;
    const TileFieldEntry* e = &m->tileField[static_cast<int64_t>(xt) * m->width + zt];
    if (e->def < 0 || !m->tileDefPool) return nullptr;
    const int64_t first = e->def / kSubPointBytes;
    if (first + kTileSubPoints > TileDefPoolEntries(m)) return nullptr;
    int32_t xi = (x >> 12) & 15, zi = (z >> 12) & 15;
    if (mirX) xi = 15 - xi;
    if (mirZ) zi = 15 - zi;
    return m->tileDefPool + first + zi * 16 + xi;
}

}  // namespace

StatLink* MatrixQuarterList(matrix* m, int32_t xq, int32_t zq) {
    StatLink** head = MatrixQuarterListAddr(m, xq, zq);
    return head ? *head : nullptr;
}

StatLink** MatrixQuarterListAddr(matrix* m, int32_t xq, int32_t zq) {
    int q = 0;
    TileFieldEntry* e = QuarterEntry(m, 0, xq, zq, &q);
    return e ? &e->stats[q] : nullptr;
}

StatLink** MatrixUpperQuarterListAddr(matrix* m, int32_t xq, int32_t zq) {
    int q = 0;
    TileFieldEntry* e = QuarterEntry(m, 1, xq, zq, &q);
    return e ? &e->stats[q] : nullptr;
}

int AccessBlocked(matrix* m, int32_t x, int32_t z, uint32_t flagMask, uint32_t accessMask) {
    const int32_t pos[3] = {x, 0, z};
    const SubPoint* sp = SubPointAt(m, pos, 0, 0);
    if (!sp) return 0;
    return ((sp->flags & flagMask) || (sp->access & accessMask)) ? 1 : 0;
}

int MarkAccess(matrix* m, int32_t x, int32_t z, uint32_t flagBits, uint32_t accessBits) {
    SubPoint* sp = DefinitionSubPoint(m, x, z);
    if (!sp) return 0;
    uint32_t flags = sp->flags | flagBits;
    sp->access = static_cast<uint8_t>(sp->access | accessBits);
    if (flagBits & kSubBlocked) {
        // A blocking mark becomes a second surface at the ground's own height.
        flags = ((flags & 0xF000u) | kSubSecond) ^ (static_cast<uint32_t>(sp->height / 16) & 0xFFFu);
        if (flags & kSubSecond) flags |= kSubBlocked;
    }
    sp->flags = static_cast<uint16_t>(flags);
    return 1;
}

namespace {

struct Pass {
    matrix* m;
    uint32_t mask;
    uint32_t mark;
    int marks;
    bool blocked(int32_t x, int32_t z) const { return AccessBlocked(m, x, z, kSubBlocked, mask) != 0; }
    void put(int32_t x, int32_t z) { marks += MarkAccess(m, x, z, 0, mark); }
};

// Rows along z (alongZ) or columns along x; mode 1 marks the free sub-point before a lone blocked one,
// mode 0 fills a lone free sub-point between two blocked ones.
void LinePass(Pass& p, int mode, bool alongZ, int64_t x0, int64_t z0, int64_t x1, int64_t z1) {
    const int64_t outerEnd = alongZ ? x1 : z1, innerEnd = (alongZ ? z1 : x1) - 8192;
    for (int64_t o = alongZ ? x0 : z0; o < outerEnd; o += 4096)
        for (int64_t i = alongZ ? z0 : x0; i < innerEnd; i += 4096) {
            auto at = [&](int64_t step, bool mark) {
                const int32_t x = static_cast<int32_t>(alongZ ? o : i + step);
                const int32_t z = static_cast<int32_t>(alongZ ? i + step : o);
                if (mark) {
                    p.put(x, z);
                    return true;
                }
                return p.blocked(x, z);
            };
            const bool b0 = at(0, false), b1 = at(4096, false), b2 = at(8192, false);
            if (mode == 1 && b1 && !b0 && !b2) at(0, true);
            if (mode == 0 && b0 && b2 && !b1) at(4096, true);
        }
}

void DiagonalPass(Pass& p, int64_t x0, int64_t z0, int64_t x1, int64_t z1) {
    for (int64_t x = x0; x < x1 - 8192; x += 4096)
        for (int64_t z = z0; z < z1 - 8192; z += 4096) {
            auto b = [&](int64_t dx, int64_t dz) {
                return p.blocked(static_cast<int32_t>(x + dx), static_cast<int32_t>(z + dz));
            };
            const bool a = b(0, 0), d = b(8192, 8192), c = b(4096, 4096), bx = b(8192, 0), bz = b(0, 8192);
            if (!a && !d && c) {
                if (bx && bz) p.put(static_cast<int32_t>(x), static_cast<int32_t>(z));
            } else if (!bx && !bz && c && a && d) {
                p.put(static_cast<int32_t>(x + 8192), static_cast<int32_t>(z));
            }
        }
}

}  // namespace

int FixAccessFlags(matrix* m, uint32_t testMask, uint32_t markBits, int32_t x0, int32_t z0, int32_t x1,
                   int32_t z1) {
    Pass p{m, testMask, markBits | 0x80u, 0};
    DiagonalPass(p, x0, z0, x1, z1);
    LinePass(p, 1, true, x0, z0, x1, z1);
    LinePass(p, 1, false, x0, z0, x1, z1);
    LinePass(p, 0, true, x0, z0, x1, z1);
    LinePass(p, 0, false, x0, z0, x1, z1);
    return p.marks;
}

void RunAccessPasses(matrix* m, int32_t x, int32_t z, int32_t halfSide, int pass8, int pass4, int pass1) {
    const int64_t x0 = static_cast<int64_t>(x) - halfSide, x1 = static_cast<int64_t>(x) + halfSide;
    const int64_t z0 = static_cast<int64_t>(z) - halfSide, z1 = static_cast<int64_t>(z) + halfSide;
    auto clamp = [](int64_t v) {
        return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    };
    const struct {
        int on;
        uint32_t mask, mark;
    } passes[] = {{pass8, 10, 8}, {pass4, 14, 4}, {pass1, 13, 1}};
    for (const auto& pass : passes)
        if (pass.on)
            for (int i = 0; i < 20; ++i)
                if (FixAccessFlags(m, pass.mask, pass.mark, clamp(x0), clamp(z0), clamp(x1), clamp(z1)) == 0)
                    break;
}

void ExportMatrixPixels(matrix* m, uint32_t flagMask, uint32_t accessMask, uint32_t* pixels) {
    const int32_t w = MatrixTilesZ(m) * 16, h = MatrixTilesX(m) * 16;
    // One row per z sub-point; x runs from the image's right edge.
    for (int32_t zs = 0; zs < w; ++zs)
        for (int32_t xs = 0; xs < h; ++xs) {
            const int32_t pos[3] = {xs * 4096, 0, zs * 4096};
            SubPoint* sp = SubPointAt(m, pos, 0, 0);
            uint32_t r = 0, g = 0, b = 0;
            if (sp) {
                r = g = b = static_cast<uint16_t>(sp->height) >> 8;
                if (sp->access & 0x80) {
                    r = g = b = 255;
                } else if ((sp->flags & flagMask) || (sp->access & accessMask)) {
                    g = g + 30 > 255 ? 255 : g + 30;
                    b = b + 100 > 255 ? 255 : b + 100;
                }
                sp->access = static_cast<uint8_t>(sp->access & ~0x80u);
            }
            pixels[static_cast<int64_t>(zs) * h + (h - 1 - xs)] = 0xFF000000u | r << 16 | g << 8 | b;
        }
}

host::GfxSurface* ExportMatrixImage(matrix* m, uint32_t flagMask, uint32_t accessMask) {
    const int64_t w = int64_t(MatrixTilesX(m)) * 16, h = int64_t(MatrixTilesZ(m)) * 16;
    if (w <= 0 || h <= 0) return nullptr;
    // The pixel block is one tracked allocation (an int of bytes), and every sub-point's position must
    // be a 16.16 coordinate: a matrix beyond either gets no image rather than an overflowed size.
    if (w * 4096 > INT32_MAX || h * 4096 > INT32_MAX || w * h * 4 > INT32_MAX) {
        DebugPrintf("ExportMatrixImage: %lld x %lld sub-points are too many for an image\n", static_cast<long long>(w),
                    static_cast<long long>(h));
        return nullptr;
    }
    auto* pixels = static_cast<uint32_t*>(qzAlloc(static_cast<int>(w * h * 4), "export image"));
    ExportMatrixPixels(m, flagMask, accessMask, pixels);
    host::GfxSurface* s = CreateSurface_raw888(pixels, static_cast<int>(w), static_cast<int>(h));
    qzFree(pixels);
    return s;
}

int32_t WaterLevelAt(int32_t x, int32_t z) {
    const int q = (x > WaterMark[0] ? 2 : 0) + (z > WaterMark[1] ? 1 : 0);
    return WaterLevel[q];
}
