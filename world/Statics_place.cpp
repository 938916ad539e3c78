// Statics on tiles: placing a static (links, height, the stamp of its height field into the sub-points),
// removing it, the gate and lift stamps, and the construct operations on the same geometry.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Units.h"
#include "world/Collide.h"
#include "world/Construct.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "world/WorldFile.h"

int32_t LevelBuildingFlag = 0;
int32_t LevelTeardownFlag = 0;

namespace {

uint32_t Klass(const construct* c) { return c && c->unit ? c->unit->klass : 0; }

// A square of n x n sub-points from its low corner (world x0, z0).
struct Footprint {
    int32_t x0, z0, n;
};

Footprint PutFootprint(const construct* s) {
    if (s->footprint == 4) return {s->pos[0] & ~0xFFFF, s->pos[2] & ~0xFFFF, 17};
    return {s->pos[0] & ~0x7FFF, s->pos[2] & ~0x7FFF, 9};
}

Footprint AlignFootprint(const construct* s) {
    const int32_t n = s->hf ? s->hf->n : 1;
    const int32_t back = (n - 1) / 2 * 4096;
    return {(s->pos[0] & ~4095) - back, (s->pos[2] & ~4095) - back, n};
}

// The sub-point of a tile definition at a world position; null for flat tiles and the clone tile.
SubPoint* DefinitionAt(matrix* m, int32_t x, int32_t z) {
    const int32_t pos[3] = {x, 0, z};
    if (FlatCellAt(m, pos, 0, 0)) return nullptr;
    return SubPointAt(m, pos, 0, 0);
}

// The height-field sample for sub-point (i along x, j along z) under a quarter turn.
int32_t Sample(const hfield* hf, int turn, int32_t i, int32_t j, int32_t* rowOut = nullptr, int32_t* colOut = nullptr) {
    const int32_t n = hf->n;
    int32_t row = 0, col = 0;
    switch (turn) {
        case 1: row = n - 1 - j; col = n - 1 - i; break;
        case 2: row = i; col = n - 1 - j; break;
        case 3: row = j; col = i; break;
        default: row = n - 1 - i; col = j; break;
    }
    if (rowOut) *rowOut = row;
    if (colOut) *colOut = col;
    return static_cast<int16_t>(hf->heights[row * n + col]);
}

int ExactTurn(int32_t yaw) {
    switch (yaw) {
        case 205886: return 2;
        case 102943: return 1;
        case 308829: return 3;
        default: return 0;
    }
}

uint16_t WithSecondSurface(uint16_t flags, int32_t y, int32_t h) {
    const int32_t v = ((y >> 3) + h) >> 4;
    return static_cast<uint16_t>((flags & 0xF000u) | (static_cast<uint32_t>(v) & 0xFFFu));
}

int16_t GroundFromY(int32_t y) {
    const int32_t h = static_cast<int32_t>((static_cast<int64_t>(y) + 100) >> 3);
    return static_cast<int16_t>(h < -32768 ? -32768 : h > 32767 ? 32767 : h);
}

// 8 x the highest (or, for a lowered unit, the lowest) solid definition height of the footprint; the
// given y when the footprint has none.
int32_t FootprintHeight(matrix* m, const construct* s, const Footprint& f, int32_t fallback) {
    const bool lowest = (Klass(s) & kKlassLowered) != 0;
    bool any = false;
    int32_t best = 0;
    for (int32_t i = 0; i < f.n; ++i)
        for (int32_t j = 0; j < f.n; ++j) {
            const SubPoint* sp = DefinitionAt(m, f.x0 + i * 4096, f.z0 + j * 4096);
            if (!sp || !(sp->flags & kSubSolid)) continue;
            if (!any || (lowest ? sp->height < best : sp->height > best)) best = sp->height;
            any = true;
        }
    return any ? best * 8 : fallback;
}

void SetHeight(matrix* m, construct* s, const Footprint& f, uint32_t options, int32_t fallback) {
    if (options & kStatOriginalHeight) {
        if (const Rule* r = s->unit ? FindUnitRule(s->unit, "originalheight") : nullptr)
            if (r->count > 0) s->pos[1] = static_cast<int32_t>(r->values[0]);
        return;
    }
    if (!TileNeighbourTest(m, s)) s->pos[1] = FootprintHeight(m, s, f, fallback);
}

// The world corners: the local box corners (the level-0 Geom's when the static has no sub-constructs)
// turned by the orientation and moved to the position.
void SetWorldCorners(construct* s) {
    const BoxBlock& box = (s->subCount == 0 && s->lod[0]) ? s->lod[0]->box : s->box;
    FixMatrix o;
    std::memcpy(o.m, s->orient, sizeof o.m);
    for (int k = 0; k < 8; ++k) {
        const FixVec local{box.corners[k][0], box.corners[k][1], box.corners[k][2]};
        FixVec w;
        RotateVecT13Safe(&w, &o, &local);
        s->box.world[k][0] = w.x + s->pos[0];
        s->box.world[k][1] = w.y + s->pos[1];
        s->box.world[k][2] = w.z + s->pos[2];
    }
}

bool PassesAllowed() { return !LevelBuildingFlag || filteraccessiblemap; }

void Refresh(int32_t x, int32_t z, int32_t half) {
    if (LevelBuildingFlag) return;
    if (RefreshBoardTilesHook) RefreshBoardTilesHook(x - half, z - half, x + half, z + half);
}

// The quarters a placed static is linked into (one, or four for a whole tile).
int Quarters(const construct* s, int32_t xq[4], int32_t zq[4]) {
    const int32_t qx = s->pos[0] >> 15, qz = s->pos[2] >> 15;
    if (s->footprint != 4) {
        xq[0] = qx;
        zq[0] = qz;
        return 1;
    }
    for (int k = 0; k < 4; ++k) {
        xq[k] = (qx & ~1) + (k & 1);
        zq[k] = (qz & ~1) + (k >> 1);
    }
    return 4;
}

}  // namespace

void PutStaticOnTile(matrix* m, construct* s, const StaticPlacement* at, uint32_t options, int32_t threshold, int mark,
                     uint32_t flagBits, uint32_t accessBits) {
    const bool whole = (options & kStatWholeTile) != 0;
    const int32_t n = whole ? 17 : 9;
    const int32_t probe[3] = {at->x, at->y, at->z};
    if (s->hf && FlatCellAt(m, probe, 0, 0))
        FatalError("Error(PutStaticOnTile): This static cannot be put onto a clone tile");
    // The stamp reads n x n samples: a height field of another size would be read past its end.
    if (s->hf && s->hf->n != n)
        FatalErrorF("Error(PutStaticOnTile): height field of %d x %d does not fit a footprint of %d x %d", s->hf->n,
                    s->hf->n, n, n);
    s->flags |= options;
    s->footprint = whole ? 4 : 1;
    s->sampleCornerCount = s->footprint;
    if (whole) {
        s->pos[0] = (at->x & ~0xFFFF) + 32768;
        s->pos[2] = (at->z & ~0xFFFF) + 32768;
    } else {
        s->pos[0] = (at->x & ~0x7FFF) + 16384;
        s->pos[2] = (at->z & ~0x7FFF) + 16384;
    }
    s->pos[1] = at->y;
    int32_t xq[4], zq[4];
    const int count = Quarters(s, xq, zq);
    for (int k = 0; k < count; ++k) {
        LinkStatFromSfc(MatrixQuarterListAddr(m, xq[k], zq[k]), s);
        LinkStatFromSfc(MatrixUpperQuarterListAddr(m, xq[k], zq[k]), s);
    }
    const Footprint f = PutFootprint(s);
    SetHeight(m, s, f, options, at->y);
    const int32_t y = s->pos[1];
    if (s->hf) {
        const int turn = ExactTurn(at->yaw);
        const uint32_t mode = (options & kStatMode2) ? 2 : (options & kStatMode0) ? 0 : 1;
        const bool border = (options & kStatBorderOnly) != 0;
        for (int32_t i = 0; i < n; ++i)
            for (int32_t j = 0; j < n; ++j) {
                SubPoint* sp = DefinitionAt(m, f.x0 + i * 4096, f.z0 + j * 4096);
                if (!sp) continue;
                int32_t row, col;
                const int32_t h = Sample(s->hf, turn, i, j, &row, &col);
                if ((options & kStatUpperLevel) && !(sp->flags & kSubSecond)) sp->flags |= kSubUpperOption;
                const bool raised = h > threshold || (options & kStatUpperLevel);
                if (raised && mark) sp->flags |= kSubSecond;
                bool stamp = false;
                if (raised) switch (mode) {
                        case 0: stamp = !border; break;
                        case 1: stamp = !border || col < 2 || col > n - 3; break;
                        default: stamp = !border || col < 2 || row < 2; break;
                    }
                if (stamp) {
                    sp->flags = static_cast<uint16_t>(sp->flags | flagBits);
                    sp->access = static_cast<uint8_t>(sp->access | accessBits);
                }
                if (sp->flags & kSubSecond) sp->flags = WithSecondSurface(sp->flags, y, h);
                if (!(options & (kStatUpperLevel | kStatOriginalHeight)) && !(Klass(s) & kKlassLowered))
                    sp->height = GroundFromY(y);
            }
    }
    FixMatrix o;
    MatrixFromYawPitch(&o, at->yaw, at->pitch);
    std::memcpy(s->orient, o.m, sizeof o.m);
    SetWorldCorners(s);
    if ((flagBits || accessBits) && PassesAllowed())
        RunAccessPasses(m, s->pos[0], s->pos[2], whole ? 65536 : 32768, 1, 1, 1);
    Refresh(s->pos[0], s->pos[2], n * 4096);
}

int TileNeighbourTest(matrix* m, construct* s) {
    const int32_t qx = s->pos[0] >> 15, qz = s->pos[2] >> 15;
    int32_t nx[8], nz[8];
    int count;
    if (s->footprint != 4) {
        const int32_t q[4][2] = {{qx - 1, qz}, {qx + 1, qz}, {qx, qz - 1}, {qx, qz + 1}};
        for (int k = 0; k < 4; ++k) nx[k] = q[k][0], nz[k] = q[k][1];
        count = 4;
    } else {
        const int32_t x = qx & ~1, z = qz & ~1;
        const int32_t q[8][2] = {{x - 1, z}, {x - 1, z + 1}, {x + 2, z}, {x + 2, z + 1},
                                 {x, z - 1}, {x + 1, z - 1}, {x, z + 2}, {x + 1, z + 2}};
        for (int k = 0; k < 8; ++k) nx[k] = q[k][0], nz[k] = q[k][1];
        count = 8;
    }
    for (int k = 0; k < count; ++k) {
        StatLink* first = MatrixQuarterList(m, nx[k], nz[k]);
        if (!first || !first->stat || !(Klass(first->stat) & (kKlassQuadBuilding | kKlassLargeBuilding))) continue;
        const construct* nb = first->stat;
        if (s->flags & kStatUpperLevel) {
            if (nb->flags & kStatUpperLevel) {
                s->pos[1] = nb->pos[1];
            } else {
                const StatLink* last = first;
                while (last->next && last->next->stat) last = last->next;
                s->pos[1] = last->stat->pos[1];
            }
            return 1;
        }
        if (!(nb->flags & kStatUpperLevel)) {
            s->pos[1] = nb->pos[1];
            return 1;
        }
        // Down from the upper static in steps of the static's own height until within half a step of the
        // ground; computed at once, so a ground above the start (or a zero step) ends it without a step.
        int64_t largest = 0;
        for (const auto& c : s->box.corners) largest = std::max<int64_t>(largest, std::llabs(c[1]));
        const int64_t step = 4 * largest * 255 / 256;
        const int32_t pos[3] = {s->pos[0], s->pos[1], s->pos[2]};
        const int64_t ground = GroundHeight(m, pos, 0, 1, nullptr);
        int64_t y = nb->pos[1];
        if (step > 0 && y - ground > step / 2) y -= ((y - ground - step / 2 + step - 1) / step) * step;
        s->pos[1] = static_cast<int32_t>(y);
        return 1;
    }
    return 0;
}

void RemoveStaticFromTiles(matrix* m, construct* s, int unlink, uint32_t flagBits, uint32_t accessBits) {
    const Footprint f = PutFootprint(s);
    for (int32_t i = 0; i < f.n; ++i)
        for (int32_t j = 0; j < f.n; ++j) {
            SubPoint* sp = DefinitionAt(m, f.x0 + i * 4096, f.z0 + j * 4096);
            if (!sp) continue;
            if (sp->flags & kSubSecond) sp->flags = 0x8FFF;
            sp->flags = static_cast<uint16_t>(sp->flags & ~flagBits);
            sp->access = static_cast<uint8_t>(sp->access & ~accessBits);
        }
    if (unlink) {
        int32_t xq[4], zq[4];
        const int count = Quarters(s, xq, zq);
        for (int k = 0; k < count; ++k) {
            UnlinkStatFromSfc(MatrixUpperQuarterListAddr(m, xq[k], zq[k]), s);
            UnlinkStatFromSfc(MatrixQuarterListAddr(m, xq[k], zq[k]), s);
        }
    }
    const bool whole = s->footprint == 4;
    if ((flagBits || accessBits) && !LevelTeardownFlag)
        RunAccessPasses(m, s->pos[0], s->pos[2], whole ? 65536 : 32768, 1, 1, 1);
    Refresh(s->pos[0], s->pos[2], whole ? 69632 : 36864);
}

void StampStaticHField(matrix* m, construct* s, const StaticPlacement* at, int32_t threshold, int keepFlat,
                       int firstHalf, int secondHalf) {
    if (!s->hf) return;
    const Footprint f = PutFootprint(s);
    const int32_t n = s->hf->n < f.n ? s->hf->n : f.n;
    const int turn = ExactTurn(at->yaw);
    const int32_t y = s->pos[1];
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j) {
            SubPoint* sp = DefinitionAt(m, f.x0 + i * 4096, f.z0 + j * 4096);
            if (!sp) continue;
            const int32_t h = Sample(s->hf, turn, i, j);
            bool raised = h > threshold;
            if (firstHalf && j < n / 2) raised = false;
            if (secondHalf && j > n / 2) raised = false;
            if (!keepFlat && raised)
                sp->flags = WithSecondSurface(static_cast<uint16_t>(sp->flags | kSubSecond | kSubBlocked), y, h);
            else
                sp->flags = static_cast<uint16_t>((sp->flags & 0x8FFF) | 0xFFF);
            sp->height = GroundFromY(y);
        }
    Refresh(s->pos[0], s->pos[2], n * 4096);
}

void AlignStaticToTerrain(matrix* m, construct* s, const StaticPlacement* at, uint32_t options, int32_t threshold,
                          int setOrientation, int mark, uint32_t flagBits, uint32_t accessBits) {
    if (setOrientation) {
        FixMatrix o;
        MatrixFromYawPitch(&o, at->yaw, at->pitch);
        std::memcpy(s->orient, o.m, sizeof o.m);
    }
    int64_t turn = (static_cast<int64_t>(at->yaw) * 4) / 411774;
    if (at->yaw < 0 && (static_cast<int64_t>(at->yaw) * 4) % 411774) --turn;  // floor
    if (turn == 4) turn = 0;
    if (turn < 0 || turn > 3) FatalError("wrong stat orientation");
    s->flags |= options;
    s->pos[0] = at->x & ~4095;
    s->pos[1] = at->y;
    s->pos[2] = at->z & ~4095;
    const Footprint f = AlignFootprint(s);
    SetHeight(m, s, f, options, at->y);
    const int32_t y = s->pos[1];
    for (int32_t i = 0; i < f.n; ++i)
        for (int32_t j = 0; j < f.n; ++j) {
            const int32_t x = f.x0 + i * 4096, z = f.z0 + j * 4096;
            SubPoint* sp = DefinitionAt(m, x, z);
            if (!sp) continue;
            const int32_t h = s->hf ? Sample(s->hf, static_cast<int>(turn), i, j) : 0;
            if (h != 0) {
                if ((options & kStatUpperLevel) && !(sp->flags & kSubSecond)) sp->flags |= kSubUpperOption;
                if (mark) sp->flags |= kSubSecond;
                if (!(options & kStatBorderOnly) && h > threshold) {
                    sp->flags = static_cast<uint16_t>(sp->flags | flagBits);
                    sp->access = static_cast<uint8_t>(sp->access | accessBits);
                }
            }
            if (sp->flags & kSubSecond) sp->flags = WithSecondSurface(sp->flags, y, h);
            if (!(Klass(s) & kKlassLowered) && !(options & kStatOriginalHeight)) sp->height = GroundFromY(y);
            LinkStatFromSfc(MatrixQuarterListAddr(m, x >> 15, z >> 15), s);
            LinkStatFromSfc(MatrixUpperQuarterListAddr(m, x >> 15, z >> 15), s);
        }
    s->sampleCornerCount = 1;
    s->footprint = 1;
    SetWorldCorners(s);
    if (PassesAllowed())
        RunAccessPasses(m, s->pos[0], s->pos[2], (f.n + 8) * 4096, (flagBits & 0x1000) || (accessBits & 8),
                        (flagBits & 0x1000) || (accessBits & 12), (flagBits & 0x1000) || (accessBits & 12));
    Refresh(s->pos[0], s->pos[2], f.n * 4096);
}

void UnstampStaticFootprint(matrix* m, construct* s, int unlink, uint32_t flagBits, uint32_t accessBits) {
    const Footprint f = AlignFootprint(s);
    for (int32_t i = 0; i < f.n; ++i)
        for (int32_t j = 0; j < f.n; ++j) {
            const int32_t x = f.x0 + i * 4096, z = f.z0 + j * 4096;
            SubPoint* sp = DefinitionAt(m, x, z);
            if (!sp) continue;
            if ((sp->flags & kSubSecond) && (!(sp->flags & kSubBlocked) || (flagBits & 0x1000))) sp->flags = 0x8FFF;
            sp->flags = static_cast<uint16_t>(sp->flags & ~flagBits);
            sp->access = static_cast<uint8_t>(sp->access & ~accessBits);
            if (unlink) {
                UnlinkStatFromSfc(MatrixQuarterListAddr(m, x >> 15, z >> 15), s);
                UnlinkStatFromSfc(MatrixUpperQuarterListAddr(m, x >> 15, z >> 15), s);
            }
        }
    if (!LevelTeardownFlag)
        RunAccessPasses(m, s->pos[0], s->pos[2], (f.n + 8) * 4096, (flagBits & 0x1000) || (accessBits & 8),
                        (flagBits & 0x1000) || (accessBits & 12), (flagBits & 0x1000) || (accessBits & 12));
    Refresh(s->pos[0], s->pos[2], f.n * 4096);
}

void LowerSurfaceUnderStatic(matrix* m, construct* s, const StaticPlacement* at, int32_t threshold, int32_t height) {
    if (!s->hf) return;
    const Footprint f = AlignFootprint(s);
    int64_t turn = (static_cast<int64_t>(at->yaw) * 4) / 411774;
    turn = ((turn % 4) + 4) % 4;
    const int32_t y = s->pos[1];
    for (int32_t i = 0; i < f.n; ++i)
        for (int32_t j = 0; j < f.n; ++j) {
            const int32_t x = f.x0 + i * 4096, z = f.z0 + j * 4096;
            SubPoint* sp = DefinitionAt(m, x, z);
            if (!sp) continue;
            if (Sample(s->hf, static_cast<int>(turn), i, j) < threshold && (sp->flags & kSubSecond))
                sp->flags = WithSecondSurface(sp->flags, y, height);
            for (CollideNode* c = QuarterCollisionList(m, x, z); c; c = c->next)
                if (c->con && c->con->itfc) c->con->itfc(c->con, ItfcMethod::GROUNDCHANGED, 0);
        }
}

void SetConstructShade(construct* con, uint8_t shade) {
    if (!con) return;
    con->shade = shade;
    for (int i = 0; i < con->bboardCount; ++i)
        for (bboard* b = con->bboards[i]; b; b = b->next) b->shade = shade;
    for (int i = 0; i < con->subCount; ++i) SetConstructShade(con->subs[i], shade);
}

void AnchorConstructGeoms(construct* con) {
    Geom* g0 = con->lod[0];
    if (!g0) return;
    const int32_t d[3] = {g0->anchor[0] >> 2, g0->anchor[1] >> 2, g0->anchor[2] >> 2};
    for (int i = 0; i < con->bboardCount; ++i)
        for (bboard* b = con->bboards[i]; b; b = b->next)
            if (b->pos[0] != kUnsetCoord)
                for (int k = 0; k < 3; ++k) b->pos[k] -= d[k];
    for (int l = 0; l < 4; ++l) {
        Geom* g = con->lod[l];
        bool seen = false;
        for (int e = 0; e < l; ++e) seen = seen || con->lod[e] == g;
        if (!g || seen) continue;
        for (int i = 0; i < g->pointCount; ++i)
            for (int k = 0; k < 3; ++k) g->points[i].pos[k] -= d[k];
        for (auto& corner : g->box.corners)
            for (int k = 0; k < 3; ++k) corner[k] -= d[k];
        for (int k = 0; k < 3; ++k) g->sphere.centre[k] -= d[k];
    }
    con->sphere = g0->sphere;
    con->box = g0->box;
}

int32_t ComputeGroundPoints(construct* con, const int32_t orient[9], matrix* m, int32_t d, int32_t out[3][3]) {
    FixMatrix o;
    std::memcpy(o.m, orient, sizeof o.m);
    const FixVec axes[3] = {{0, 0, 0}, {d, 0, 0}, {0, 0, d}};
    for (int k = 0; k < 3; ++k) {
        FixVec w;
        RotateVecT(&w, &o, &axes[k]);
        out[k][0] = w.x + con->pos[0];
        out[k][1] = w.y + con->pos[1];
        out[k][2] = w.z + con->pos[2];
        out[k][1] = InterpGroundHeight(m, out[k], nullptr);
    }
    return out[2][1];
}
