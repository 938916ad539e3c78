// Board cell drawing: the cell routines the traversal calls, one per pass. Each rejects its cell against
// the view with the height bounds, publishes the current cell, brings the cell's four corner vertices up
// to date for this view, gathers the point lights near the cell and hands the corners to the patch
// renderer of its pass. Cells out of view are still handed on when constructs stand in them.
#include <cstdlib>

#include "platform/Dxgl.h"
#include "render/Light.h"
#include "render/Render_local.h"
#include "render/ScapeBoard_local.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "render/Viewport.h"

namespace {

// Publishes the cell at (column, row) of the board into the state record.
void PublishCell(CurrentCellState* st, ScapeBoard* b, int column, int row) {
    st->cell = BoardCell(b, column, row);
    st->right = BoardCell(b, column + 1, row);
    st->lower = BoardCell(b, column, row + 1);
    st->lowerRight = BoardCell(b, column + 1, row + 1);
}

void PublishCommon(ScapeBoard* b, int column, int row) {
    PublishCell(&CurCell, b, column, row);
    CellCorner = {(b->originColumn + column) << 16, 0, (b->originRow + row) << 16};
    CellEyeX = CellCorner.x - EyePos.x;
    CellEyeZ = CellCorner.z - EyePos.z;
    CellWaterLevel = CurCell.cell->waterLevel;
    const int32_t* m = ProjMatrix.m;
    WaterPlaneOffset = {static_cast<int32_t>((int64_t(m[1]) * CellWaterLevel) >> 12),
                        static_cast<int32_t>((int64_t(m[4]) * CellWaterLevel) >> 12),
                        static_cast<int32_t>((int64_t(m[7]) * CellWaterLevel) >> 12)};
}

// The cell's, right, lower-right and lower neighbours' corner references with their grid indices.
void SetCorners(const CurrentCellState& st, TerrainCornerRef out[4], TerrainCornerRef* ptr[4]) {
    out[0] = st.cell->corner;
    out[1] = st.right->corner;
    out[2] = st.lowerRight->corner;
    out[3] = st.lower->corner;
    out[0].vertex = st.cell->vertices;
    out[1].vertex = st.right->vertices;
    out[2].vertex = st.lowerRight->vertices;
    out[3].vertex = st.lower->vertices;
    const int uv[4][2] = {{0, 0}, {16, 0}, {16, 16}, {0, 16}};
    for (int i = 0; i < 4; ++i) {
        out[i].u = uv[i][0];
        out[i].v = uv[i][1];
        ptr[i] = &out[i];
    }
}

// Gathers the active point lights of kind 1 within reach of the cell's centre into the list.
void GatherPatchLights(PatchLightList* list, const CellBounds* bounds) {
    list->count = 0;
    FixVec test = {CellCorner.x + 0x8000, (bounds->lowest + bounds->highest) * 4, CellCorner.z + 0x8000};
    for (int i = 0; i < ActiveLightCount && list->count < kMaxPatchLights; ++i) {
        const PointLight* l = ActiveLights[i];
        if (l->kind != 1) continue;
        int32_t reach = (1 << l->rangeShift) + 0x8000;
        if (std::abs(l->pos[0] - test.x) >= reach || std::abs(l->pos[1] - test.y) >= reach ||
            std::abs(l->pos[2] - test.z) >= reach)
            continue;
        FixVec p = {l->pos[0], l->pos[1], l->pos[2]};
        if (Distance3F(&p, &test) >= reach) continue;
        PatchLight& pl = list->light[list->count++];
        pl.shift = l->rangeShift;
        pl.pos[0] = l->pos[0] - CellCorner.x;
        pl.pos[1] = l->pos[1];
        pl.pos[2] = l->pos[2] - CellCorner.z;
        for (int c = 0; c < 3; ++c) pl.colour[c] = l->colour[c];
    }
}

void PrepareLandCorner(TerrainCornerRef* c) {
    BoardVertex* v = c->vertex;
    if (v->landStamp == ViewStamp) return;
    if (v->cellStamp != CellStamp) LightPatchVertex(c);
    for (int k = 0; k < 3; ++k) v->colour[k] = v->lit[k];
    ProjectCornerVertex(c, v->height, &v->screen);
    v->landStamp = ViewStamp;
}

void PublishLightLists(CurrentCellState* st) {
    st->lists[0] = {st->cell->lightCount, st->cell->lights};
    st->lists[1] = {st->right->level == 4 ? st->right->lightCount : 0, st->right->lights};
    st->lists[2] = {st->lower->level == 4 ? st->lower->lightCount : 0, st->lower->lights};
}

void PrepareListCorner(TerrainCornerRef* c, int owner, bool second) {
    BoardVertex* v = c->vertex;
    if (v->landStamp == ViewStamp) return;
    if (second) LightVertexFromLists2(c, owner);
    else LightVertexFromLists(c, owner);
    ProjectCornerVertex(c, v->height, &v->screen);
    v->landStamp = ViewStamp;
}

// The two-surface renderer of a cell at level 0: draws both surfaces whole when far, else splits each
// visible surface once itself (centre and edge midpoints geomorphed, a fan where a midpoint is coarse)
// and hands the quadrants to the light-list patch renderers, which also schedule the constructs.
void DrawCellVariant3Inner(TerrainCornerRef* const* C1, TerrainCornerRef* const* C2) {
    const bool anySurface = !CellDone || !Cell2Culled;
    bool far = false;
    if (anySurface) {
        const bool v1 = !CellCulled, v2 = !Cell2Culled;
        TerrainCornerRef* const* C = v1 ? C1 : C2;
        if (ViewLODTable[0] < (C[0]->z + C[2]->z) / 2) {
            far = true;
            if (v1 && LandCellRoutine) LandCellRoutine(C1[0], C1[1], C1[2], C1[3]);
            if (v2 && MarkedCellRoutine) MarkedCellRoutine(C2[0], C2[1], C2[2], C2[3]);
            CellDone = 1;
            if (v2) Cell2Culled = 1;
        }
    }
    // The edge midpoints (between corners k and k + 1) and the centre of each surface; a midpoint on
    // column 16 is the right neighbour's vertex, on row 16 the lower neighbour's.
    TerrainCornerRef e1[5], e2[5];
    auto build = [](TerrainCornerRef* const* C, const CurrentCellState& st, TerrainCornerRef* e) {
        const int ex[4] = {8, 16, 8, 0}, ez[4] = {0, 8, 16, 8};
        for (int i = 0; i < 4; ++i) {
            const TerrainCornerRef *a = C[i], *b = C[(i + 1) & 3];
            BoardVertex* v = ex[i] == 16 ? &st.right->vertices[ez[i] * (1 << st.right->level)]
                             : ez[i] == 16 ? &st.lower->vertices[ex[i]]
                                           : &st.cell->vertices[ez[i] * 16 + ex[i]];
            e[i] = {v, (a->x + b->x) >> 1, (a->y + b->y) >> 1, (a->z + b->z) >> 1, ex[i], ez[i]};
        }
        e[4] = {&st.cell->vertices[8 * 16 + 8], (C[0]->x + C[2]->x) >> 1, (C[0]->y + C[2]->y) >> 1,
                (C[0]->z + C[2]->z) >> 1, 8, 8};
    };
    build(C1, CurCell, e1);
    build(C2, CurCell2, e2);
    if (anySurface && !far) {
        // A surface drawn as a fan is done: the quadrants below only schedule its constructs.
        if (!CellCulled && SplitCellSurface(false, C1, e1)) CellDone = 1;
        if (!Cell2Culled && SplitCellSurface(true, C2, e2)) Cell2Culled = 1;
    }
    auto quads = [](TerrainCornerRef* const* C, TerrainCornerRef* e, TerrainCornerRef* q[4][4]) {
        TerrainCornerRef* M = &e[4];
        TerrainCornerRef* k[4][4] = {{C[0], &e[0], M, &e[3]},
                                     {&e[3], M, &e[2], C[3]},
                                     {&e[0], C[1], &e[1], M},
                                     {M, &e[1], C[2], &e[2]}};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) q[i][j] = k[i][j];
    };
    TerrainCornerRef* q1[4][4];
    TerrainCornerRef* q2[4][4];
    quads(C1, e1, q1);
    quads(C2, e2, q2);
    int32_t sx = CellEyeX + 16 * 2048, sz = CellEyeZ + 16 * 2048;
    static const int kOrders[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {2, 3, 0, 1}, {3, 1, 2, 0}};
    const int* order = kOrders[(sx > 0 ? 2 : 0) + (sz > 0 ? 1 : 0)];
    const int kx[4] = {0, 0, 8, 8}, kz[4] = {0, 8, 0, 8};
    for (int k = 0; k < 4; ++k) {
        int c = order[k];
        if (!Cell2Culled) DrawTerrainPatchMorph2(kx[c], kz[c], 1, q2[c]);
        DrawTerrainPatchMorph(kx[c], kz[c], 1, q1[c]);
    }
}

}  // namespace

void DrawCellMain(ScapeBoard* board, ScapeBoard*, int32_t column, int32_t row, int32_t reflection) {
    TileCell* cell = BoardCell(board, column, row);
    if (cell->hole) return;
    PublishCommon(board, column, row);
    CurCell.patchLights = &PatchLights;
    int visible = ClipTerrainPatch(0, &cell->corner, cell->bounds->lowest, cell->bounds->highest);
    CellCulled = CellDone = !visible;
    TerrainCornerRef refs[4];
    TerrainCornerRef* C[4];
    SetCorners(CurCell, refs, C);
    if (visible) {
        GatherPatchLights(&PatchLights, cell->bounds);
        for (auto* c : C) PrepareLandCorner(c);
    } else if (!cell->hasConstructs && !cell->markedStatic) {
        return;
    }
    PatchState[0] = PatchState[1] = 0;
    if (reflection == kReflectFull) DrawTerrainPatch2(0, 0, 0, C);
    else DrawTerrainPatch(0, 0, 0, C);
    cell->hasConstructs = 0;
}

void DrawCellVariant2(ScapeBoard* board, ScapeBoard*, int32_t column, int32_t row, int32_t reflection) {
    TileCell* cell = BoardCell(board, column, row);
    if (cell->hole) return;
    PublishCommon(board, column, row);
    int32_t w2 = 2 * CellWaterLevel;
    int visible = ClipTerrainPatch(0, &cell->corner, w2 - cell->bounds->highest, w2 - cell->bounds->lowest);
    CellCulled = !visible;
    CellDone = !visible || cell->flat || reflection != kReflectFull;
    TerrainCornerRef refs[4];
    TerrainCornerRef* C[4];
    SetCorners(CurCell, refs, C);
    if (visible && reflection == kReflectFull) {
        for (auto* c : C) {
            BoardVertex* v = c->vertex;
            if (v->mirrorStamp == ViewStamp) continue;
            for (int k = 0; k < 3; ++k) v->mirrorColour[k] = v->lit[k];
            ProjectCornerVertex(c, w2 - v->height, &v->mirror);
            v->mirrorStamp = ViewStamp;
        }
    }
    if (!visible && !cell->hasConstructs && !cell->markedStatic) return;
    PatchState[0] = PatchState[1] = 0;
    DrawTerrainPatch3(0, 0, 0, C);
    cell->hasConstructs = 0;
}

void DrawCellVariant3(ScapeBoard* board, ScapeBoard* other, int32_t column, int32_t row, int32_t) {
    TileCell* cell = BoardCell(board, column, row);
    if (cell->hole || !other) return;
    PublishCommon(board, column, row);
    PublishCell(&CurCell2, other, column, row);
    CurCell.patchLights = &PatchLights;
    CurCell2.patchLights = &PatchLights2;
    TileCell* cell2 = CurCell2.cell;
    int vis1 = ClipTerrainPatch(0, &cell->corner, cell->bounds->lowest, cell->bounds->highest);
    int vis2 = ClipTerrainPatch(0, &cell2->corner, cell2->bounds->lowest, cell2->bounds->highest);
    CellCulled = CellDone = !vis1;
    Cell2Culled = !vis2;
    TerrainCornerRef refs1[4], refs2[4];
    TerrainCornerRef *C1[4], *C2[4];
    SetCorners(CurCell, refs1, C1);
    SetCorners(CurCell2, refs2, C2);
    static const int kOwner[4] = {0, 1, 2, 2};
    if (vis1) {
        PublishLightLists(&CurCell);
        GatherPatchLights(&PatchLights, cell->bounds);
        for (int i = 0; i < 4; ++i) PrepareListCorner(C1[i], kOwner[i], false);
    }
    if (vis2) {
        PublishLightLists(&CurCell2);
        GatherPatchLights(&PatchLights2, cell->bounds);
        for (int i = 0; i < 4; ++i) PrepareListCorner(C2[i], kOwner[i], true);
    }
    if (vis1 || vis2 || cell->hasConstructs || cell->markedStatic) {
        PatchState[0] = PatchState[1] = 0;
        DrawCellVariant3Inner(C1, C2);
        cell->hasConstructs = 0;
    }
}

void DrawCellWater(ScapeBoard* board, ScapeBoard*, int32_t column, int32_t row, int32_t reflection) {
    TileCell* cell = BoardCell(board, column, row);
    if (cell->hole) return;
    PublishCommon(board, column, row);
    int visible = ClipWaterPatch(0, &cell->corner, CellWaterLevel);
    CellCulled = !visible;
    if (!visible) return;
    TerrainCornerRef refs[4];
    TerrainCornerRef* C[4];
    SetCorners(CurCell, refs, C);
    for (auto* c : C) {
        BoardVertex* v = c->vertex;
        if (v->waterStamp == ViewStamp) continue;
        int32_t fog = LevelWaterTransparent ? dxgl_DepthFogAlpha(c->z) : 255;
        for (int k = 0; k < 3; ++k) v->colour[k] = static_cast<uint8_t>((ViewWaterColour[k] * fog) >> 8);
        LightWaterVertex(c);
        FixVec w = {c->x + WaterPlaneOffset.x, c->y + WaterPlaneOffset.y, c->z + WaterPlaneOffset.z};
        if (w.z > NearPlane) ProjectToScreen(&v->screen, &w, ViewCentreXF, ViewCentreYF);
        else v->screen.depth = -1.0f;
        v->waterStamp = ViewStamp;
    }
    PatchState[0] = PatchState[1] = 0;
    if (reflection == kReflectFull) DrawWaterPatch2(0, 0, 0, C);
    else DrawWaterPatch(0, 0, 0, C);
}
