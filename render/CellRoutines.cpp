// Terrain cell routines: each draws one terrain quad a-b-c-d (d may be null) as the triangles (a, b, c)
// and (a, c, d) from corners the board traversal and the patch renderers have already projected. They
// decide per triangle whether it is drawn: depth reject, the water-level test, the mark test and the
// screen-space winding.
#include "render/CellRoutines.h"

#include <cstring>

#include "render/PolyClip.h"
#include "render/Render_local.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "world/Geom.h"

using namespace render_local;

namespace {

constexpr int kVertexColourFace = 3;  // the object routine sets' vertex-colour position

enum class Winding { Front, Back };  // cross >= 0, cross <= 0

struct CellView {
    bool mirrored;  // read the reflection pass's screen fields and colour
    bool waterTest;
    bool markTest;
    Winding winding;
};

const ScreenPointF& ScreenOf(const TerrainCornerRef* c, bool mirrored) {
    return mirrored ? c->vertex->mirror : c->vertex->screen;
}
const uint8_t* ColourOf(const TerrainCornerRef* c, bool mirrored) {
    return mirrored ? c->vertex->mirrorColour : c->vertex->colour;
}

float Cross(const ScreenPointF& p, const ScreenPointF& q, const ScreenPointF& r) {
    return (r.y - p.y) * (q.x - p.x) - (r.x - p.x) * (q.y - p.y);
}

bool WindingKept(float cross, Winding w) { return w == Winding::Front ? cross >= 0 : cross <= 0; }

bool PassesTests(const CellView& cv, const TerrainCornerRef* p, const TerrainCornerRef* q,
                 const TerrainCornerRef* r) {
    const TerrainCornerRef* t[3] = {p, q, r};
    if (cv.waterTest) {
        bool land = false;
        for (auto* c : t) land = land || c->vertex->height >= CellWaterLevel || (c->vertex->flags & kVertexMorphed);
        if (!land) return false;
    }
    if (cv.markTest) {
        bool marked = false;
        for (auto* c : t) marked = marked || (c->vertex->flags & kVertexMarkMask);
        if (!marked) return false;
    }
    return WindingKept(Cross(ScreenOf(p, cv.mirrored), ScreenOf(q, cv.mirrored), ScreenOf(r, cv.mirrored)),
                       cv.winding);
}

void FillVertex(ScreenVertex* out, const TerrainCornerRef* c, bool mirrored) {
    const ScreenPointF& s = ScreenOf(c, mirrored);
    const uint8_t* col = ColourOf(c, mirrored);
    out->x = s.x;
    out->y = ScreenHeightF - s.y;
    out->z = s.depth;
    out->rhw = 1.0f;
    out->diffuse = 0xFF000000u | Rgb(col[0], col[1], col[2]);
    dxgl_SetDepthFog(c->z);
    out->specular = FogSpecular;
    out->tu0 = static_cast<float>(c->u - (TexWrapU ? 8 : 0)) * 0.12499f;
    out->tv0 = static_cast<float>(c->v - (TexWrapV ? 8 : 0)) * 0.12499f;
    out->tu1 = out->tv1 = 0.0f;
}

// The shaded routines share one body; each keeps its own four-vertex strip.
void DrawShadedCell(const CellView& cv, ScreenVertex* strip, TerrainCornerRef* a, TerrainCornerRef* b,
                    TerrainCornerRef* c, TerrainCornerRef* d, bool singleAsList) {
    if (ScreenOf(a, cv.mirrored).depth < 0 || ScreenOf(b, cv.mirrored).depth < 0 ||
        ScreenOf(c, cv.mirrored).depth < 0)
        return;
    int count = 0;
    bool first = PassesTests(cv, a, b, c);
    if (first) {
        FillVertex(&strip[0], b, cv.mirrored);
        FillVertex(&strip[1], a, cv.mirrored);
        FillVertex(&strip[2], c, cv.mirrored);
        count = 3;
    }
    if (d && ScreenOf(d, cv.mirrored).depth >= 0 && PassesTests(cv, a, c, d)) {
        if (first) {
            FillVertex(&strip[3], d, cv.mirrored);
            count = 4;
        } else {
            FillVertex(&strip[0], d, cv.mirrored);
            FillVertex(&strip[1], a, cv.mirrored);
            FillVertex(&strip[2], c, cv.mirrored);
            count = 3;
        }
    }
    if (!count) return;
    if (singleAsList && !d && first) {
        EmitPrimitive(kPrimTriangleList, strip, 3);
        TriangleCount += 1.0f;
        return;
    }
    EmitPrimitive(kPrimTriangleStrip, strip, count);
    TriangleCount += static_cast<float>(count - 2);
}

void OutlineTriangle(const TerrainCornerRef* p, const TerrainCornerRef* q, const TerrainCornerRef* r, bool mirrored) {
    const uint8_t *cp = ColourOf(p, mirrored), *cq = ColourOf(q, mirrored), *cr = ColourOf(r, mirrored);
    uint32_t colour = 0xFF000000u | Rgb(static_cast<uint8_t>((cp[0] + cq[0] + 2 * cr[0]) >> 2),
                                        static_cast<uint8_t>((cp[1] + cq[1] + 2 * cr[1]) >> 2),
                                        static_cast<uint8_t>((cp[2] + cq[2] + 2 * cr[2]) >> 2));
    const TerrainCornerRef* order[4] = {p, q, r, p};
    for (int i = 0; i < 4; ++i) {
        const ScreenPointF& s = ScreenOf(order[i], mirrored);
        ScreenVertex& v = ScratchVertices[i];
        v.x = s.x;
        v.y = ScreenHeightF - s.y;
        v.z = s.depth;
        v.rhw = 1.0f;
        v.diffuse = colour;
        v.specular = FogSpecular;
    }
    EmitPrimitive(kPrimLineStrip, ScratchVertices, 4);
}

void DrawOutline(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d, bool mirrored) {
    Winding w = mirrored ? Winding::Back : Winding::Front;
    if (ScreenOf(a, mirrored).depth < 0 || ScreenOf(b, mirrored).depth < 0 || ScreenOf(c, mirrored).depth < 0)
        return;
    dxgl_SetDepthFog(a->z);
    if (WindingKept(Cross(ScreenOf(a, mirrored), ScreenOf(b, mirrored), ScreenOf(c, mirrored)), w))
        OutlineTriangle(a, b, c, mirrored);
    if (d && ScreenOf(d, mirrored).depth >= 0 &&
        WindingKept(Cross(ScreenOf(a, mirrored), ScreenOf(c, mirrored), ScreenOf(d, mirrored)), w))
        OutlineTriangle(a, c, d, mirrored);
}

// The water cell's corners in the clipper's vertex layout.
GeomPoint WaterCorners[4];

// Draws a water polygon of 3 or 4 corners on the water plane: each corner becomes a vertex record at its
// place on the water plane, with the screen position the water pass projected, its drawn colour with the
// fog byte as alpha and the glint as its light sum (black without a glint for the dark water), and the
// polygon goes in the cell routines' shared face record to the vertex-colour object routine. That
// routine clips a polygon that reaches before the near plane and keeps the render states of the pass.
void DrawWaterPolygon(TerrainCornerRef* const* corners, int n, bool dark) {
    const ObjectPolyRoutine draw = ObjectRoutines ? ObjectRoutines->routine[kVertexColourFace] : nullptr;
    if (!draw) return;
    GeomFace* face = TmpFace2();
    std::memset(face, 0, sizeof *face);
    FaceVertex* fv = FaceVerts(face);
    for (int i = 0; i < n; ++i) {
        const TerrainCornerRef* c = corners[i];
        const BoardVertex* bv = c->vertex;
        GeomPoint* p = &WaterCorners[i];
        std::memset(p, 0, sizeof *p);
        p->view[0] = c->x + WaterPlaneOffset.x;
        p->view[1] = c->y + WaterPlaneOffset.y;
        p->view[2] = c->z + WaterPlaneOffset.z;
        p->screen[0] = bv->screen.x;
        p->screen[1] = bv->screen.y;
        p->screen[2] = bv->screen.depth;
        p->screen[3] = 1.0f;
        p->lit[3] = static_cast<uint8_t>(dxgl_DepthFogAlpha(p->view[2]));
        if (!dark)
            for (int k = 0; k < 3; ++k) {
                p->lit[k] = bv->colour[k];
                p->lightSum[k] = bv->specular[k];
            }
        fv[i] = {p, static_cast<float>(c->u - (TexWrapU ? 8 : 0)) * 0.12499f,
                 static_cast<float>(c->v - (TexWrapV ? 8 : 0)) * 0.12499f};
    }
    face->type = kVertexColourFace;
    face->vertexCount = static_cast<uint8_t>(n);
    draw(face);
}

ScreenVertex LandStrip[4], MarkedLandStrip[4], MarkedStrip[4], MirroredStrip[4];

}  // namespace

void DrawCellNothing(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}

void DrawCellOutline(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    DrawOutline(a, b, c, d, false);
}

void DrawCellOutlineMirrored(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    DrawOutline(a, b, c, d, true);
}

void DrawLandCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    DrawShadedCell({false, true, false, Winding::Front}, LandStrip, a, b, c, d, false);
}

void DrawMarkedLandCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    DrawShadedCell({false, true, true, Winding::Front}, MarkedLandStrip, a, b, c, d, true);
}

void DrawMarkedCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    DrawShadedCell({false, false, true, Winding::Back}, MarkedStrip, a, b, c, d, true);
}

void DrawLandCellMirrored(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    DrawShadedCell({true, true, false, Winding::Back}, MirroredStrip, a, b, c, d, true);
}

void DrawWaterCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    TerrainCornerRef* corners[4] = {a, b, c, d};
    DrawWaterPolygon(corners, d ? 4 : 3, false);
}

void DrawDarkWaterCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d) {
    TerrainCornerRef* corners[4] = {a, b, c, d};
    DrawWaterPolygon(corners, d ? 4 : 3, true);
}
