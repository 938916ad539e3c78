// Recursive terrain patches: a board cell is walked as a quadtree of patches, each drawn whole when its
// centre lies beyond its level's distance, else split into four. New edge and centre vertices are
// geomorphed in from the coarser level, lit and projected once per pass (stamps), cracks toward coarser
// neighbours are closed by a fan, children are drawn back to front, and each quarter cell's constructs
// are scheduled when the quarter is finished. One algorithm serves every pass; the pass record says
// where each member differs.
#include "platform/Dxgl.h"
#include "platform/Texture.h"
#include "render/Render_local.h"
#include "render/ScapeBoard_local.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/View.h"

using namespace render_local;

namespace {

enum class Pass { Land, Mirror, Morph, Morph2, Water };

struct PassCfg {
    Pass pass;
    const CurrentCellState* cell;
};

bool IsWater(const PassCfg& p) { return p.pass == Pass::Water; }
bool IsMirror(const PassCfg& p) { return p.pass == Pass::Mirror; }
bool IsListLit(const PassCfg& p) { return p.pass == Pass::Morph || p.pass == Pass::Morph2; }

CellRoutine SlotOf(const PassCfg& p) {
    switch (p.pass) {
        case Pass::Land:
        case Pass::Mirror:
        case Pass::Morph: return LandCellRoutine;
        case Pass::Morph2: return MarkedCellRoutine;
        case Pass::Water: return WaterCellRoutine;
    }
    return LandCellRoutine;
}

void Emit(const PassCfg& p, TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    CellRoutine r = SlotOf(p);
    if (r) r(a, b, c, d);
}

BoardVertex* VertexOf(const CurrentCellState& st, int i, int j) {
    if (i >= kCellSide) return &st.right->vertices[j * (1 << st.right->level)];
    if (j >= kCellSide) return &st.lower->vertices[i];
    return &st.cell->vertices[j * kCellSide + i];
}

int OwnerOf(int i, int j) { return i >= kCellSide ? 1 : j >= kCellSide ? 2 : 0; }

// The sub-tile exit: device back to its resting texture states, then the quarter's constructs.
void SubTileExit(const PassCfg& p, int quarter, int32_t drawn, bool schedule) {
    SetTex(0, nullptr);
    SetTSS(0, host::StageState::Address, host::GfxAddressWrap);
    SetRS(host::RenderState::SrcBlend, Blend(host::BlendFactor::One));
    SetRS(host::RenderState::DestBlend, Blend(host::BlendFactor::One));
    SetRS(host::RenderState::AlphaBlendEnable, 0);
    if (!schedule) return;
    CellQuarter* q = &p.cell->cell->quarters[quarter];
    int32_t reflect = IsMirror(p) ? 1 : 0;
    ScheduleQuarterStatics(q, reflect, drawn);
    for (ConstructEntry* e = q->entries; e; e = e->next) ScheduleConstructDraw(e->con, reflect, drawn);
    q->entries = nullptr;
    q->tail = nullptr;
}

bool HasExit(const PassCfg& p) { return p.pass == Pass::Land || p.pass == Pass::Mirror || p.pass == Pass::Morph; }

// Lights, morphs and projects a new vertex of child level L. Returns true when it ends coarse.
bool ProcessVertex(const PassCfg& p, TerrainCornerRef* r, int32_t L, const BoardVertex* A, const BoardVertex* B,
                   bool centre) {
    BoardVertex* v = r->vertex;
    if (IsWater(p)) {
        if (!centre && v->waterStamp == ViewStamp) return false;
        v->flags &= static_cast<uint8_t>(~(centre ? kVertexMorphed : kVertexMorphed | kVertexCoarse));
        int32_t fog = LevelWaterTransparent ? dxgl_DepthFogAlpha(r->z) : 255;
        for (int c = 0; c < 3; ++c) v->colour[c] = static_cast<uint8_t>((ViewWaterColour[c] * fog) >> 8);
        LightWaterVertex(r);
        FixVec w = {r->x + WaterPlaneOffset.x, r->y + WaterPlaneOffset.y, r->z + WaterPlaneOffset.z};
        if (w.z > NearPlane) ProjectToScreen(&v->screen, &w, ViewCentreXF, ViewCentreYF);
        if (!centre) v->waterStamp = ViewStamp;
        return false;
    }
    uint16_t& stamp = IsMirror(p) ? v->mirrorStamp : v->landStamp;
    if (!centre && stamp == ViewStamp) return (v->flags & kVertexCoarse) != 0;
    v->flags &= static_cast<uint8_t>(~(centre ? kVertexMorphed : kVertexMorphed | kVertexCoarse));
    int32_t h = v->height;
    bool coarse = false;
    if (IsMirror(p)) {
        int32_t dist = ViewMorphTable[L - 1] - r->z;
        uint8_t c[3] = {v->lit[0], v->lit[1], v->lit[2]};
        if (dist < (1 << (17 - L))) coarse = MorphVertex(&h, c, v, dist, L, A, B) != 0;
        for (int k = 0; k < 3; ++k) v->mirrorColour[k] = c[k];
        ProjectCornerVertex(r, 2 * CellWaterLevel - h, &v->mirror);
    } else {
        int32_t dist = ViewLODTable[L - 1] - r->z;
        if (IsListLit(p)) {
            if (p.pass == Pass::Morph) LightVertexFromLists(r, OwnerOf(r->u, r->v));
            else LightVertexFromLists2(r, OwnerOf(r->u, r->v));
            if (dist < (1 << (17 - L))) coarse = MorphVertex2(&h, v, dist, L, A, B) != 0;
        } else {
            if (v->cellStamp != CellStamp) LightPatchVertex(r);
            uint8_t c[3] = {v->lit[0], v->lit[1], v->lit[2]};
            if (dist < (1 << (17 - L))) coarse = MorphVertex(&h, c, v, dist, L, A, B) != 0;
            for (int k = 0; k < 3; ++k) v->colour[k] = c[k];
        }
        ProjectCornerVertex(r, h, &v->screen);
    }
    if (centre) return false;
    if (coarse) v->flags |= kVertexCoarse;
    stamp = ViewStamp;
    return coarse;
}

// The child order, back to front, for a patch at (x, z) of the given size.
void ChildOrder(int32_t x, int32_t z, int32_t size, int order[4]) {
    int32_t sx = CellEyeX + (2 * x + size) * 2048;
    int32_t sz = CellEyeZ + (2 * z + size) * 2048;
    // Children: 0 (lo, lo), 1 (lo x, hi z), 2 (hi x, lo z), 3 (hi, hi).
    static const int kOrders[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {2, 3, 0, 1}, {3, 1, 2, 0}};
    const int* o = kOrders[(sx > 0 ? 2 : 0) + (sz > 0 ? 1 : 0)];
    for (int i = 0; i < 4; ++i) order[i] = o[i];
}

void DrawFan(const PassCfg& p, TerrainCornerRef* const* C, TerrainCornerRef* E[4], TerrainCornerRef* M,
             const bool coarse[4]) {
    for (int i = 0; i < 4; ++i) {
        int n = (i + 1) & 3, pv = (i + 3) & 3;
        if (coarse[i]) {
            Emit(p, C[n], M, C[i], nullptr);
            if (!coarse[n]) Emit(p, C[n], E[n], M, nullptr);
            if (!coarse[pv]) Emit(p, C[i], M, E[pv], nullptr);
        } else if (!coarse[n]) {
            if ((i & 1) == 0) Emit(p, E[n], M, E[i], C[n]);
            else Emit(p, M, E[i], C[n], E[n]);
        }
    }
}

void Patch(const PassCfg& p, int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* C);

// Runs the four sub-tiles' exits of a cell whose terrain is done (level 0 after a whole draw, or a cell
// that draws nothing): in each the gate finds the cell done.
void ExitsOnly(const PassCfg& p) {
    int order[4];
    ChildOrder(0, 0, 16, order);
    static const int kQuarter[4] = {0, 2, 1, 3};  // child index to sub-tile index
    for (int k = 0; k < 4; ++k) {
        if (!HasExit(p)) continue;
        SubTileExit(p, kQuarter[order[k]], p.pass == Pass::Morph ? 1 : 0, true);
    }
}

// Level-1 gate: 0 stop, 1 go on.
bool SubTileGate(const PassCfg& p, int32_t x, int32_t z, TerrainCornerRef* const* C) {
    int q = (x >> 3) + 2 * (z >> 3);
    const CellQuarter& quarter = p.cell->cell->quarters[q];
    if (IsWater(p)) {
        if (!ClipWaterPatch(1, C[0], CellWaterLevel) || quarter.bounds.flags == 1) return false;
        TexWrapU = x < 8 ? 0 : 0x8000;
        TexWrapV = z < 8 ? 0 : 0x8000;
        return true;
    }
    int32_t lo = quarter.bounds.lowest, hi = quarter.bounds.highest;
    if (IsMirror(p)) {
        lo = 2 * CellWaterLevel - quarter.bounds.highest;
        hi = 2 * CellWaterLevel - quarter.bounds.lowest;
    }
    bool doneTest = p.pass != Pass::Morph2 && CellDone;
    if (doneTest || !ClipTerrainPatch(1, C[0], lo, hi)) {
        if (HasExit(p)) SubTileExit(p, q, p.pass == Pass::Morph ? 1 : 0, true);
        return false;
    }
    Tex* tex = quarter.texture;
    if ((tex && tex->flag2) || quarter.bounds.flags == 2) {
        // The terrain of this quarter is not drawn; its constructs count as standing on drawn terrain.
        if (HasExit(p)) SubTileExit(p, q, 0, true);
        return false;
    }
    if (tex) {
        if (DetailLevel == 3) {
            SetTex(0, tex->surface);
            SetTSS(0, host::StageState::Address, host::GfxAddressClamp);
            if (tex->blackTransparent) {
                SetTSS(0, host::StageState::AlphaOp, Op(host::TextureOp::SelectArg1));
                SetTSS(0, host::StageState::AlphaArg1, host::GfxTaTexture);
                SetRS(host::RenderState::SrcBlend, Blend(host::BlendFactor::SrcAlpha));
                SetRS(host::RenderState::DestBlend, Blend(host::BlendFactor::InvSrcAlpha));
                SetRS(host::RenderState::AlphaBlendEnable, 1);
            }
        }
        TexWrapU = x < 8 ? 0 : 0x8000;
        TexWrapV = z < 8 ? 0 : 0x8000;
    }
    return true;
}

// After a drawn sub-tile.
void SubTileDone(const PassCfg& p, int32_t x, int32_t z) {
    int q = (x >> 3) + 2 * (z >> 3);
    if (HasExit(p)) SubTileExit(p, q, 1, true);
    else if (p.pass == Pass::Morph2) SubTileExit(p, q, 1, false);
}

void Patch(const PassCfg& p, int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* C) {
    // 1. Gates.
    if (level == 0) {
        if (IsWater(p)) {
            if (p.cell->cell->bounds->flags == 1) return;
        } else if (CellDone) {
            ExitsOnly(p);
            return;
        }
    } else if (level == 1) {
        if (!SubTileGate(p, x, z, C)) return;
    } else if (level == 2) {
        const CellBounds& bk = p.cell->cell->blocks[(x >> 2) + 4 * (z >> 2)];
        if (IsWater(p)) {
            if (!ClipWaterPatch(2, C[0], CellWaterLevel) || bk.flags == 1) return;
        } else {
            int32_t lo = bk.lowest, hi = bk.highest;
            if (IsMirror(p)) {
                lo = 2 * CellWaterLevel - bk.highest;
                hi = 2 * CellWaterLevel - bk.lowest;
            }
            if (!ClipTerrainPatch(2, C[0], lo, hi)) return;
        }
    }
    // 2. Depth test.
    int32_t d = (C[0]->z + C[2]->z) >> 1;
    if (d > ViewLODTable[level] || (IsWater(p) && level == 2)) {
        Emit(p, C[0], C[1], C[2], C[3]);
        if (level == 0) {
            if (!IsWater(p)) {
                CellDone = 1;
                ExitsOnly(p);
            }
        } else if (level == 1) {
            SubTileDone(p, x, z);
        }
        return;
    }
    // 3. Split.
    const CurrentCellState& st = *p.cell;
    int32_t half = 1 << (3 - level), L = level + 1;
    TerrainCornerRef e[4], m;
    const int ex[4] = {x + half, x + 2 * half, x + half, x};
    const int ez[4] = {z, z + half, z + 2 * half, z + half};
    const int pa[4] = {0, 1, 3, 0}, pb[4] = {1, 2, 2, 3};
    for (int i = 0; i < 4; ++i) {
        const TerrainCornerRef *a = C[pa[i]], *b = C[pb[i]];
        e[i] = {VertexOf(st, ex[i], ez[i]), (a->x + b->x) >> 1, (a->y + b->y) >> 1, (a->z + b->z) >> 1, ex[i], ez[i]};
    }
    m = {VertexOf(st, x + half, z + half), (C[0]->x + C[2]->x) >> 1, (C[0]->y + C[2]->y) >> 1,
         (C[0]->z + C[2]->z) >> 1, x + half, z + half};
    // 4, 5. The centre, then the edge midpoints.
    ProcessVertex(p, &m, L, C[0]->vertex, C[2]->vertex, true);
    bool coarse[4];
    bool anyCoarse = false;
    for (int i = 0; i < 4; ++i) {
        coarse[i] = ProcessVertex(p, &e[i], L, C[i]->vertex, C[(i + 1) & 3]->vertex, false);
        anyCoarse = anyCoarse || coarse[i];
    }
    TerrainCornerRef* E[4] = {&e[0], &e[1], &e[2], &e[3]};
    // 7. A coarse midpoint: draw as a fan around the centre and stop splitting.
    if (anyCoarse) {
        DrawFan(p, C, E, &m, coarse);
        if (level == 0) {
            CellDone = 1;
            ExitsOnly(p);
        } else if (level == 1) {
            SubTileDone(p, x, z);
        }
        return;
    }
    TerrainCornerRef* kids[4][4] = {{C[0], E[0], &m, E[3]},
                                    {E[3], &m, E[2], C[3]},
                                    {E[0], C[1], E[1], &m},
                                    {&m, E[1], C[2], E[2]}};
    const int kx[4] = {x, x, x + half, x + half}, kz[4] = {z, z + half, z, z + half};
    int order[4];
    ChildOrder(x, z, 2 * half, order);
    for (int k = 0; k < 4; ++k) {
        int c = order[k];
        if (L == 4) Emit(p, kids[c][0], kids[c][1], kids[c][2], kids[c][3]);
        else Patch(p, kx[c], kz[c], L, kids[c]);
    }
    // 8.
    if (level == 1) SubTileDone(p, x, z);
}

}  // namespace

void DrawTerrainPatch(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Land, &CurCell}, x, z, level, corners);
}

// Every board keeps the reflection fields in its vertices, so the full-reflection layout draws alike.
void DrawTerrainPatch2(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Land, &CurCell}, x, z, level, corners);
}

void DrawTerrainPatch3(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Mirror, &CurCell}, x, z, level, corners);
}

void DrawTerrainPatchMorph(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Morph, &CurCell}, x, z, level, corners);
}

void DrawTerrainPatchMorph2(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Morph2, &CurCell2}, x, z, level, corners);
}

bool SplitCellSurface(bool second, TerrainCornerRef* const* C, TerrainCornerRef* e) {
    const PassCfg p{second ? Pass::Morph2 : Pass::Morph, second ? &CurCell2 : &CurCell};
    ProcessVertex(p, &e[4], 1, C[0]->vertex, C[2]->vertex, true);
    bool coarse[4];
    bool anyCoarse = false;
    for (int i = 0; i < 4; ++i) {
        coarse[i] = ProcessVertex(p, &e[i], 1, C[i]->vertex, C[(i + 1) & 3]->vertex, false);
        anyCoarse = anyCoarse || coarse[i];
    }
    if (!anyCoarse) return false;
    TerrainCornerRef* E[4] = {&e[0], &e[1], &e[2], &e[3]};
    DrawFan(p, C, E, &e[4], coarse);
    return true;
}

void DrawWaterPatch(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Water, &CurCell}, x, z, level, corners);
}

void DrawWaterPatch2(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners) {
    Patch({Pass::Water, &CurCell}, x, z, level, corners);
}
