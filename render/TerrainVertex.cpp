// Per-vertex and per-patch services of the terrain renderer: the geomorph, the view-volume tests of land
// and water patches, land lighting by the sun and the point lights near the cell, the water glint, and
// lighting from the cells' light lists.
#include <cstring>

#include "render/Light.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/View.h"

CurrentCellState CurCell;
CurrentCellState CurCell2;
int32_t CellCulled = 0, CellDone = 0, Cell2Culled = 0;
FixVec CellCorner;
int32_t CellEyeX = 0, CellEyeZ = 0;
int32_t CellWaterLevel = 0;
FixVec WaterPlaneOffset;
PatchLightList PatchLights, PatchLights2;
int32_t TexWrapU = 0, TexWrapV = 0;
uint8_t LightAmbient[3] = {4, 4, 4};
int32_t PatchState[2];

DirLight* SunLight = nullptr;

namespace {

uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(v >= 255 ? 255 : v < 0 ? 0 : v); }

// Blends value toward its parents' average by the factor f (0..255); f < 0 means fully onto the average.
int MorphCommon(int32_t* height, uint8_t* colour, int32_t dist, int32_t level, const BoardVertex* a,
                const BoardVertex* b, const uint8_t* ca, const uint8_t* cb) {
    int32_t avg = (a->height + b->height) >> 1;
    int32_t avgc[3];
    for (int k = 0; k < 3; ++k) avgc[k] = (ca[k] + cb[k]) >> 1;
    int32_t band = 1 << (16 - level);
    if (dist < band) {
        *height = avg;
        for (int k = 0; k < 3; ++k) colour[k] = static_cast<uint8_t>(avgc[k]);
        return 1;
    }
    int32_t f = (dist - band) >> (8 - level);
    *height = avg + (((*height - avg) * f) >> 8);
    for (int k = 0; k < 3; ++k) colour[k] = static_cast<uint8_t>(avgc[k] + (((colour[k] - avgc[k]) * f) >> 8));
    return 0;
}

// The eye-space column and row steps of a patch of the level.
void PatchSteps(int32_t level, FixVec* col, FixVec* row) {
    const int32_t* m = ProjMatrix.m;
    if (level == 0) {
        *col = {m[0] * 2, m[3] * 2, m[6] * 2};
        *row = {m[2] * 2, m[5] * 2, m[8] * 2};
    } else {
        int s = level - 1;
        *col = {m[0] >> s, m[3] >> s, m[6] >> s};
        *row = {m[2] >> s, m[5] >> s, m[8] >> s};
    }
}

// 0 when every corner lies before the near plane or beyond one side of the view.
int CornersMayShow(const FixVec* c, int n) {
    int64_t hw = ViewWidth >> 1, hh = ViewHeight >> 1;
    bool allNear = true, allRight = true, allLeft = true, allUp = true, allDown = true;
    for (int i = 0; i < n; ++i) {
        int64_t x = int64_t(c[i].x) * 1024, y = int64_t(c[i].y) * 1024, z = c[i].z;
        allNear = allNear && c[i].z <= NearPlane;
        allRight = allRight && x > z * hw;
        allLeft = allLeft && -x > z * hw;
        allUp = allUp && y > z * hh;
        allDown = allDown && -y > z * hh;
    }
    return allNear || allRight || allLeft || allUp || allDown ? 0 : 1;
}

// Adds the gathered point lights' effect on a vertex at grid (u, v) to the sums.
void AddPointLights(const PatchLightList& list, const BoardVertex* v, int32_t u, int32_t vv, int32_t* sum,
                    const uint8_t* base) {
    for (int i = list.count - 1; i >= 0; --i) {
        const PatchLight& l = list.light[i];
        FixVec d = {l.pos[0] - (u << 12), l.pos[1] - (v->height << 3), l.pos[2] - (vv << 12)};
        int32_t len = NormaliseF(&d, &d);
        int32_t range = 1 << l.shift;
        if (len >= range) continue;
        int32_t dot = (v->normal[2] * d.z + v->normal[1] * d.y + v->normal[0] * d.x) >> 16;
        int32_t k = static_cast<int32_t>((int64_t(dot) * (range - len)) >> l.shift);
        if (k <= 0) continue;
        for (int c = 0; c < 3; ++c) sum[c] += static_cast<int32_t>((int64_t(base[c]) * l.colour[c] * k) >> 16);
    }
}

void LightFromLists(const CurrentCellState& st, const TerrainCornerRef* corner, int32_t owner) {
    BoardVertex* v = corner->vertex;
    const uint8_t base[3] = {v->baseRed, v->baseGreen, v->baseBlue};
    int32_t sum[3] = {LightAmbient[0], LightAmbient[1], LightAmbient[2]};
    if (owner >= 0 && owner < 3) {
        const CellLightList& list = st.lists[owner];
        for (int j = 0; j < list.count && j < kMaxCellLights; ++j) {
            int32_t in = static_cast<int8_t>(v->lit[j]);
            if (in <= 0) continue;
            for (int c = 0; c < 3; ++c) sum[c] += (base[c] * in * list.lights[j].colour[c]) >> 15;
        }
    }
    if (st.patchLights) AddPointLights(*st.patchLights, v, corner->u, corner->v, sum, base);
    for (int c = 0; c < 3; ++c) v->colour[c] = Clamp255(sum[c]);
}

}  // namespace

int MorphVertex(int32_t* height, uint8_t* colour, BoardVertex* v, int32_t dist, int32_t level,
                const BoardVertex* a, const BoardVertex* b) {
    v->flags |= kVertexMorphed;
    return MorphCommon(height, colour, dist, level, a, b, a->lit, b->lit);
}

int MorphVertex2(int32_t* height, BoardVertex* v, int32_t dist, int32_t level, const BoardVertex* a,
                 const BoardVertex* b) {
    v->flags |= kVertexMorphed;
    return MorphCommon(height, v->colour, dist, level, a, b, a->colour, b->colour);
}

int ClipTerrainPatch(int32_t level, const TerrainCornerRef* o, int32_t lowest, int32_t highest) {
    FixVec col, row;
    PatchSteps(level, &col, &row);
    const int32_t* m = ProjMatrix.m;
    FixVec c[8];
    int n = 0;
    for (int h = 0; h < 2; ++h) {
        int32_t ht = h ? highest : lowest;
        FixVec up = {static_cast<int32_t>((int64_t(m[1]) * ht) >> 12), static_cast<int32_t>((int64_t(m[4]) * ht) >> 12),
                     static_cast<int32_t>((int64_t(m[7]) * ht) >> 12)};
        for (int k = 0; k < 4; ++k) {
            FixVec& p = c[n++];
            p = {o->x + up.x, o->y + up.y, o->z + up.z};
            if (k & 1) p = {p.x + col.x, p.y + col.y, p.z + col.z};
            if (k & 2) p = {p.x + row.x, p.y + row.y, p.z + row.z};
        }
    }
    return CornersMayShow(c, 8);
}

int ClipWaterPatch(int32_t level, const TerrainCornerRef* o, int32_t waterLevel) {
    FixVec col, row;
    PatchSteps(level, &col, &row);
    const int32_t* m = ProjMatrix.m;
    FixVec up = {static_cast<int32_t>((int64_t(m[1]) * waterLevel) >> 12),
                 static_cast<int32_t>((int64_t(m[4]) * waterLevel) >> 12),
                 static_cast<int32_t>((int64_t(m[7]) * waterLevel) >> 12)};
    FixVec c[4];
    for (int k = 0; k < 4; ++k) {
        FixVec& p = c[k];
        p = {o->x + up.x, o->y + up.y, o->z + up.z};
        if (k & 1) p = {p.x + col.x, p.y + col.y, p.z + col.z};
        if (k & 2) p = {p.x + row.x, p.y + row.y, p.z + row.z};
    }
    return CornersMayShow(c, 4);
}

void LightPatchVertex(const TerrainCornerRef* corner) {
    BoardVertex* v = corner->vertex;
    const uint8_t base[3] = {v->baseRed, v->baseGreen, v->baseBlue};
    int32_t sum[3];
    if (v->height == 0 || v->height == 1) {
        sum[0] = 4;
        sum[1] = 4;
        sum[2] = 54;
    } else {
        for (int c = 0; c < 3; ++c) sum[c] = ViewColour[c];
    }
    if (SunLight) {
        int32_t d = static_cast<int32_t>((int64_t(SunLight->dir[0]) * v->normal[0] + int64_t(SunLight->dir[1]) * v->normal[1] +
                                          int64_t(SunLight->dir[2]) * v->normal[2]) >> 16);
        if (d > 0)
            for (int c = 0; c < 3; ++c)
                sum[c] += static_cast<int32_t>((int64_t(base[c]) * SunLight->colour[c] * d) >> 16);
    }
    AddPointLights(PatchLights, v, corner->u, corner->v, sum, base);
    for (int c = 0; c < 3; ++c) v->lit[c] = Clamp255(sum[c]);
    v->cellStamp = CellStamp;
}

void LightWaterVertex(const TerrainCornerRef* corner) {
    BoardVertex* v = corner->vertex;
    int32_t sum[3] = {LevelWaterSpecularBias[0], LevelWaterSpecularBias[1], LevelWaterSpecularBias[2]};
    if (SunLight) {
        FixVec e = {-corner->x, -corner->y, -corner->z};
        NormaliseF(&e, &e);
        FixVec sun = {-SunLight->dir[0], SunLight->dir[1], -SunLight->dir[2]}, s;
        RotateVec(&s, &ViewMatrix, &sun);
        int64_t dot = (int64_t(s.x) * e.x + int64_t(s.y) * e.y + int64_t(s.z) * e.z) >> 15;
        if (dot > 0) {
            int64_t p = dot;
            for (int i = 0; i < 5; ++i) p = (p * p) >> 15;
            for (int c = 0; c < 3; ++c) sum[c] += static_cast<int32_t>((SunLight->colour[c] * p) >> 15);
        }
    }
    for (int c = 0; c < 3; ++c) v->specular[c] = Clamp255(sum[c]);
}

void LightVertexFromLists(const TerrainCornerRef* corner, int32_t owner) { LightFromLists(CurCell, corner, owner); }

void LightVertexFromLists2(const TerrainCornerRef* corner, int32_t owner) {
    LightFromLists(CurCell2, corner, owner);
}

void ProjectCornerVertex(const TerrainCornerRef* c, int32_t height, ScreenPointF* out) {
    const int32_t* m = ProjMatrix.m;
    FixVec p = {c->x + static_cast<int32_t>((int64_t(m[1]) * height) >> 12),
                c->y + static_cast<int32_t>((int64_t(m[4]) * height) >> 12),
                c->z + static_cast<int32_t>((int64_t(m[7]) * height) >> 12)};
    if (p.z > NearPlane) ProjectToScreen(out, &p, ViewCentreXF, ViewCentreYF);
    else out->depth = -1.0f;
}
