// The terrain matrix: the record, edge addressing, sub-point lookup, ground heights and the position
// classification.
#include "world/Terrain.h"

#include <cstring>
#include <iterator>

#include "core/Memory.h"
#include "world/Statics.h"
#include "world/WorldFile.h"

matrix* CurrentMatrix = nullptr;
int32_t TopTileFieldPresent = 0;
int32_t offmatrixclone_idx = 0;
int32_t MatrixAddressModes[4] = {kDefaultMatrixAddress, kDefaultMatrixAddress, kDefaultMatrixAddress,
                                 kDefaultMatrixAddress};
int32_t WaterLevel[4] = {4, 4, 4, 4};
int32_t WaterMark[2] = {0, 0};

namespace {

constexpr const char* kAddressNames[] = {"WRAP", "MIRROR", "CLAMP", "CLONE"};
static_assert(std::size(kAddressNames) == kAddressClone + 1);

struct Addressed {
    int clone;
    int32_t xt, zt;  // inside the grid unless clone
    int mirX, mirZ;
    int mask;
};

// One coordinate against its extent n (n > 0) under the modes for below 0 and beyond the end.
int32_t AddressCoord(int64_t c, int64_t n, int32_t below, int32_t beyond, int* clone, int* mirrored) {
    if (c >= 0 && c < n) return static_cast<int32_t>(c);
    const int32_t mode = c < 0 ? below : beyond;
    switch (mode) {
        case kAddressWrap: return static_cast<int32_t>(((c % n) + n) % n);
        case kAddressMirror:
            if (c < 0) {
                const int64_t m = (-c - 1) % (2 * n);
                if (m < n) {
                    *mirrored = 1;
                    return static_cast<int32_t>(m);
                }
                return static_cast<int32_t>(2 * n - m - 1);
            } else {
                const int64_t m = c % (2 * n);
                if (m >= n) {
                    *mirrored = 1;
                    return static_cast<int32_t>(2 * n - m - 1);
                }
                return static_cast<int32_t>(m);
            }
        case kAddressClamp: return c < 0 ? 0 : static_cast<int32_t>(n - 1);
        case kAddressClone:
        default:
            // An unknown mode (only a hand-set global can hold one) reads the clone tile.
            *clone = 1;
            return static_cast<int32_t>(c);
    }
}

Addressed Address(const matrix* m, int32_t xt, int32_t zt) {
    Addressed a{};
    a.mask = MatrixAddress(m, zt, xt, &a.zt, &a.xt, &a.clone, &a.mirZ, &a.mirX);
    return a;
}

TileFieldEntry* Layer(const matrix* m, int top) { return top ? m->topTileField : m->tileField; }

FlatTile* CloneTile(matrix* m) {
    const int32_t k = offmatrixclone_idx >= 0 && offmatrixclone_idx < kMaxFlatTiles ? offmatrixclone_idx : 0;
    return &m->flat[k];
}

// The flat tile of an entry whose definition word is negative; the clone tile when it names no slot.
FlatTile* FlatOfEntry(matrix* m, const TileFieldEntry* e) {
    const int64_t k = -static_cast<int64_t>(e->def);
    return k >= 1 && k <= kMaxFlatTiles ? &m->flat[k - 1] : CloneTile(m);
}

// The first sub-point of an entry's definition; null when the offset lies outside the pool (the world
// reader refuses such tiles, so this only guards hand-made records).
SubPoint* DefinitionOf(const matrix* m, const TileFieldEntry* e) {
    if (e->def < 0 || !m->tileDefPool) return nullptr;
    const int64_t first = e->def / kSubPointBytes;
    if (first + kTileSubPoints > TileDefPoolEntries(m)) return nullptr;
    return m->tileDefPool + first;
}

int32_t SubIndex(int64_t c, int mirrored) {
    const int32_t i = static_cast<int32_t>((c >> 12) & 15);
    return mirrored ? 15 - i : i;
}

struct Position {
    int64_t x, z;
    int32_t y;
};

Position Pos(const int32_t pos[3], int centred) {
    Position p{pos[0], pos[2], pos[1]};
    if (centred) {
        p.x += 2048;
        p.z += 2048;
    }
    return p;
}

// The sub-point of a layer at an already centred position (x and z in 64 bits).
SubPoint* SubPointAtXZ(matrix* m, int64_t x, int64_t z, int top) {
    TileFieldEntry* layer = Layer(m, top);
    if (!layer) return nullptr;
    const Addressed a = Address(m, static_cast<int32_t>(x >> 16), static_cast<int32_t>(z >> 16));
    if (a.clone) return &CloneTile(m)->head;
    const TileFieldEntry* e = &layer[static_cast<int64_t>(a.xt) * m->width + a.zt];
    if (e->def < 0) return &FlatOfEntry(m, e)->head;
    SubPoint* def = DefinitionOf(m, e);
    if (!def) return &CloneTile(m)->head;
    return def + SubIndex(z, a.mirZ) * 16 + SubIndex(x, a.mirX);
}

uint32_t FlagsWord(const SubPoint* sp) { return (sp->flags & 0xFFF0u) | sp->access; }
void SetLow4(uint32_t* w, uint32_t v) { *w = (*w & ~15u) | v; }

// The four corner sub-points of the cell that holds (x, z) in the first layer, or a flat tile.
struct Corners {
    const SubPoint* c[4];  // (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1)
    const SubPoint* flat;  // set when the position lies on a flat tile (not the clone)
    int clone;
};

Corners FirstLayerCorners(matrix* m, int64_t x, int64_t z) {
    Corners k{};
    const int32_t xi = static_cast<int32_t>((x >> 12) & 15), zi = static_cast<int32_t>((z >> 12) & 15);
    if (xi < 15 && zi < 15 && m->tileField) {
        const Addressed a = Address(m, static_cast<int32_t>(x >> 16), static_cast<int32_t>(z >> 16));
        if (a.clone) {
            k.clone = 1;
            k.c[0] = k.c[1] = k.c[2] = k.c[3] = &CloneTile(m)->head;
            return k;
        }
        const TileFieldEntry* e = &m->tileField[static_cast<int64_t>(a.xt) * m->width + a.zt];
        if (e->def < 0) {
            k.flat = &FlatOfEntry(m, e)->head;
            k.c[0] = k.c[1] = k.c[2] = k.c[3] = k.flat;
            return k;
        }
        const SubPoint* def = DefinitionOf(m, e);
        if (!def) {
            k.c[0] = k.c[1] = k.c[2] = k.c[3] = &CloneTile(m)->head;
            return k;
        }
        const int32_t sx = a.mirX ? 15 - xi : xi, sz = a.mirZ ? 15 - zi : zi;
        const int32_t dx = a.mirX ? -1 : 1, dz = a.mirZ ? -16 : 16;
        const SubPoint* p = def + sz * 16 + sx;
        k.c[0] = p;
        k.c[1] = p + dx;
        k.c[2] = p + dz;
        k.c[3] = p + dz + dx;
        return k;
    }
    k.c[0] = SubPointAtXZ(m, x, z, 0);
    k.c[1] = SubPointAtXZ(m, x + 4096, z, 0);
    k.c[2] = SubPointAtXZ(m, x, z + 4096, 0);
    k.c[3] = SubPointAtXZ(m, x + 4096, z + 4096, 0);
    return k;
}

int32_t Interpolate(const int32_t v[4], int64_t x, int64_t z) {
    const int64_t fx = x & 4095, fz = z & 4095;
    const int64_t w[4] = {((4096 - fx) * (4096 - fz)) >> 12, (fx * (4096 - fz)) >> 12, ((4096 - fx) * fz) >> 12,
                          (fx * fz) >> 12};
    int64_t sum = 0;
    for (int i = 0; i < 4; ++i) sum += static_cast<int64_t>(v[i]) * w[i];
    return static_cast<int32_t>(sum >> 12);
}

int32_t SolidHeight(const SubPoint* sp) { return (sp->flags & kSubSolid) ? sp->height * 8 : 0; }

}  // namespace

matrix* CreateMatrix() {
    auto* m = static_cast<matrix*>(qzAlloc(static_cast<int>(sizeof(matrix)), "matrix cell"));
    std::memset(m, 0, sizeof *m);
    TopTileFieldPresent = 0;
    return m;
}

void FreeMatrix(matrix* m) {
    if (!m) return;
    qzFree(m->tileField);
    qzFree(m->topTileField);
    qzFree(m->tileDefPool);
    qzFree(m);
}

int32_t NamedMatrixAddress(const char* name) {
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kAddressNames)); ++i)
        if (name && std::strcmp(name, kAddressNames[i]) == 0) return i;
    FatalError("Error(NamedMatrixAddress): uk matrix address");
}

void ResetMatrixGlobals() {
    for (int32_t& mode : MatrixAddressModes) mode = kDefaultMatrixAddress;
    for (int32_t& level : WaterLevel) level = 4;
    WaterMark[0] = WaterMark[1] = 0;
    offmatrixclone_idx = 0;
    filteraccessiblemap = 0;
}

int MatrixAddress(const matrix* m, int32_t zt, int32_t xt, int32_t* outZ, int32_t* outX, int* clone,
                  int* mirroredZ, int* mirroredX) {
    int mask = 0;
    const int64_t nx = m ? m->height : 0, nz = m ? m->width : 0;
    if (xt < 0) mask |= 1;
    if (xt >= nx) mask |= 2;
    if (zt < 0) mask |= 4;
    if (zt >= nz) mask |= 8;
    int c = 0, mx = 0, mz = 0;
    int32_t x = xt, z = zt;
    if (nx <= 0 || nz <= 0) {
        c = 1;  // no tiles: every position reads the clone tile
    } else {
        x = AddressCoord(xt, nx, MatrixAddressModes[kEdgeNorth], MatrixAddressModes[kEdgeSouth], &c, &mx);
        z = AddressCoord(zt, nz, MatrixAddressModes[kEdgeEast], MatrixAddressModes[kEdgeWest], &c, &mz);
    }
    if (outX) *outX = x;
    if (outZ) *outZ = z;
    if (clone) *clone = c;
    if (mirroredX) *mirroredX = mx;
    if (mirroredZ) *mirroredZ = mz;
    return mask;
}

TileFieldEntry* MatrixEntry(const matrix* m, int top, int32_t xt, int32_t zt) {
    TileFieldEntry* layer = m ? Layer(m, top) : nullptr;
    if (!layer || xt < 0 || zt < 0 || xt >= m->height || zt >= m->width) return nullptr;
    return &layer[static_cast<int64_t>(xt) * m->width + zt];
}

FlatTile* FlatCellAt(matrix* m, const int32_t pos[3], int top, int centred) {
    const Position p = Pos(pos, centred);
    const int64_t xt = p.x >> 16, zt = p.z >> 16;
    // Bounds in the same orientation as the tile numbering: x against the height, z against the width.
    TileFieldEntry* e = MatrixEntry(m, top, static_cast<int32_t>(xt), static_cast<int32_t>(zt));
    if (xt != static_cast<int32_t>(xt) || zt != static_cast<int32_t>(zt) || !e) {
        if (!Layer(m, top)) return nullptr;
        return CloneTile(m);
    }
    return e->def < 0 ? FlatOfEntry(m, e) : nullptr;
}

SubPoint* SubPointAt(matrix* m, const int32_t pos[3], int top, int centred) {
    const Position p = Pos(pos, centred);
    return SubPointAtXZ(m, p.x, p.z, top);
}

int32_t GroundHeight(matrix* m, const int32_t pos[3], int top, int centred, uint32_t* flags) {
    uint32_t w = 0;
    int32_t h = 0;
    if (const SubPoint* sp = SubPointAt(m, pos, top, centred)) {
        w = FlagsWord(sp);
        if (sp->flags & kSubSolid) {
            h = sp->height * 8;
            if (sp->flags & kSubSecond) {
                const int32_t h2 = SecondSurfaceHeight(sp);
                if (static_cast<int64_t>(pos[1]) >= static_cast<int64_t>(h2) - 30000) {
                    SetLow4(&w, (sp->flags & kSubBlocked) ? 15 : 0);
                    h = h2;
                } else if (!(sp->flags & kSubUpperOption)) {
                    SetLow4(&w, 15);
                }
            }
        }
    }
    if (flags) *flags = w;
    return h;
}

int32_t GroundHeightLower(matrix* m, const int32_t pos[3], int top, int centred, uint32_t* flags) {
    const SubPoint* sp = SubPointAt(m, pos, top, centred);
    if (flags) *flags = sp ? FlagsWord(sp) : 0;
    return sp ? SolidHeight(sp) : 0;
}

int32_t GroundHeightTop(matrix* m, const int32_t pos[3], int top, int centred, uint32_t* flags) {
    const SubPoint* sp = SubPointAt(m, pos, top, centred);
    if (flags) *flags = sp ? FlagsWord(sp) : 0;
    if (!sp || !(sp->flags & kSubSolid)) return 0;
    return (sp->flags & kSubSecond) ? SecondSurfaceHeight(sp) : sp->height * 8;
}

int32_t InterpGroundHeight(matrix* m, const int32_t pos[3], uint32_t* flags) {
    const int64_t x = pos[0], z = pos[2];
    const Corners k = FirstLayerCorners(m, x, z);
    uint32_t w = 0;
    if (!k.c[0]) {
        if (flags) *flags = 0;
        return 0;
    }
    if (k.flat) {
        if (flags) *flags = FlagsWord(k.flat);
        return k.flat->height * 8;
    }
    int32_t lower[4], upper[4];
    bool second = false;
    int64_t highest = INT64_MIN;
    for (int i = 0; i < 4; ++i) {
        const SubPoint* c = k.c[i];
        w |= FlagsWord(c);
        if (c->flags & kSubSecond) {
            lower[i] = c->height * 8;
            upper[i] = SecondSurfaceHeight(c);
            if (upper[i] > highest) highest = upper[i];
            second = true;
        } else {
            lower[i] = upper[i] = SolidHeight(c);
        }
    }
    int32_t h;
    if (!second) {
        h = Interpolate(lower, x, z);
    } else if (pos[1] < highest - 30000) {
        if (!(w & kSubUpperOption)) SetLow4(&w, 15);
        h = Interpolate(lower, x, z);
    } else {
        SetLow4(&w, (w & kSubBlocked) ? 15 : 0);
        h = Interpolate(upper, x, z);
    }
    if (flags) *flags = w;
    return h;
}

int32_t InterpGroundHeights(matrix* m, const int32_t pos[3], int32_t* top, int lowerOption, int upperOption) {
    int32_t out = kNoUpperBound;
    const int64_t x = pos[0], z = pos[2], y = pos[1];
    const Corners k = FirstLayerCorners(m, x, z);
    const bool hasTop = m->topTileField != nullptr;
    if (k.clone) {
        if (top) *top = hasTop ? 0 : out;
        return 0;
    }
    if (!k.c[0]) {
        if (top) *top = out;
        return 0;
    }
    auto counts = [&](const SubPoint* c) {
        if (!(c->flags & kSubSecond) || y < static_cast<int64_t>(SecondSurfaceHeight(c)) - 30000) return false;
        const bool upperCorner = (c->flags & kSubUpperOption) != 0;
        return (lowerOption && !upperCorner) || (upperOption && upperCorner);
    };
    auto value = [&](const SubPoint* c) {
        if (!(c->flags & kSubSolid)) return 0;
        return counts(c) ? SecondSurfaceHeight(c) : c->height * 8;
    };
    int32_t first[4];
    for (int i = 0; i < 4; ++i) first[i] = value(k.c[i]);
    if (hasTop) {
        const int64_t cx[4] = {x, x + 4096, x, x + 4096}, cz[4] = {z, z, z + 4096, z + 4096};
        int32_t upper[4];
        for (int i = 0; i < 4; ++i) {
            const SubPoint* c = SubPointAtXZ(m, cx[i], cz[i], 1);
            if (!(c->flags & kSubSolid)) {
                upper[i] = 0;
                continue;
            }
            // A counting second surface of the upper layer is the floor here; the layer's own top is its
            // ground height either way.
            if (counts(c)) first[i] = SecondSurfaceHeight(c);
            upper[i] = c->height * 8;
        }
        out = Interpolate(upper, x, z);
    }
    if (top) *top = out;
    return Interpolate(first, x, z);
}

namespace {

// One bound of the classification from a layer: returns 3 with *out set when y lies in the band of a
// static listed on the position's quarter; else writes the bound.
int LayerBound(matrix* m, const Position& p, int top, int32_t* bound, construct** out) {
    const SubPoint* sp = SubPointAtXZ(m, p.x, p.z, top);
    if (!sp) {
        *bound = top ? kNoUpperBound : 0;
        return 0;
    }
    const Addressed a = Address(m, static_cast<int32_t>(p.x >> 16), static_cast<int32_t>(p.z >> 16));
    // Flat tiles (the clone tile among them) and every position outside the grid give their height.
    const bool flatOrOutside =
        a.mask != 0 || a.clone || Layer(m, top)[static_cast<int64_t>(a.xt) * m->width + a.zt].def < 0;
    if (!flatOrOutside && !(sp->flags & kSubSolid)) {
        *bound = 0;
        return 0;
    }
    if (flatOrOutside || !(sp->flags & kSubSecond)) {
        *bound = sp->height * 8;
        return 0;
    }
    const int32_t h2 = SecondSurfaceHeight(sp);
    const int32_t xq = static_cast<int32_t>(p.x >> 15), zq = static_cast<int32_t>(p.z >> 15);
    StatLink** head = top ? MatrixUpperQuarterListAddr(m, xq, zq) : MatrixQuarterListAddr(m, xq, zq);
    if (!head || !*head) {
        const bool bit2 = ((p.x >> 12) & 4) != 0;
        head = top ? MatrixUpperQuarterListAddr(m, bit2 ? xq : xq - 1, bit2 ? zq - 1 : zq)
                   : MatrixQuarterListAddr(m, bit2 ? xq : xq - 1, bit2 ? zq - 1 : zq);
    }
    for (StatLink* s = head ? *head : nullptr; s; s = s->next) {
        if (!s->stat) continue;
        const int32_t low = top ? MaxCornerHeight(s->stat) : MinCornerHeight(s->stat);
        const int32_t high = s->next && s->next->stat
                                 ? (top ? MaxCornerHeight(s->next->stat) : MinCornerHeight(s->next->stat))
                                 : h2;
        if (p.y > low && p.y <= high) {
            *out = s->stat;
            return 3;
        }
    }
    *bound = sp->height * 8;
    return 0;
}

}  // namespace

int CheckMatrixPosition(matrix* m, const int32_t pos[3], construct** out, int32_t waterLevel) {
    const Position p = Pos(pos, 1);
    construct* found = nullptr;
    int32_t lower = 0, upper = kNoUpperBound;
    if (LayerBound(m, p, 0, &lower, &found) == 3 ||
        (m->topTileField && LayerBound(m, p, 1, &upper, &found) == 3)) {
        if (out) *out = found;
        return 3;
    }
    if (out) *out = nullptr;
    if (waterLevel != kNoWaterLevel && static_cast<int64_t>(p.y) < static_cast<int64_t>(waterLevel) * 8) return 4;
    if (p.y < lower) return 1;
    if (p.y > upper) return 2;
    return 0;
}
