// Geoms: creation, deep copies, freeing, lookups and the box corner order.
#include "world/Geom.h"

#include <cstring>
#include <utility>

#include "core/Memory.h"
#include "world/Construct.h"
#include "world/TickCounter.h"

namespace {

// Total bytes of the face block of g.
int FaceBlockBytes(const Geom* g) {
    int bytes = 0;
    const auto* p = reinterpret_cast<const uint8_t*>(g->faces);
    for (int i = 0; i < g->faceCount; ++i) {
        const auto* f = reinterpret_cast<const GeomFace*>(p + bytes);
        bytes += FaceBytes(f->vertexCount);
    }
    return bytes;
}

// The face of `to` at the same place in the block as face f of `from` (the blocks have the same layout).
GeomFace* SameFace(const Geom* from, Geom* to, const GeomFace* f) {
    const auto offset = reinterpret_cast<const uint8_t*>(f) - reinterpret_cast<const uint8_t*>(from->faces);
    return reinterpret_cast<GeomFace*>(reinterpret_cast<uint8_t*>(to->faces) + offset);
}

}  // namespace

Geom* CreateGeom(const char* purpose) {
    auto* g = static_cast<Geom*>(qzAlloc(sizeof(Geom), purpose));
    std::memset(g, 0, sizeof *g);
    for (int32_t& w : g->parentOffset) w = kOffsetUnset;
    return g;
}

Geom* CreateUnnamedGeom() {
    return CreateGeom("<uk>");
}

Geom* CopyGeom(const Geom* src) {
    if (!src) return nullptr;
    Geom* g = CreateGeom("geom: CopyGeom");
    if (src->pointCount > 0) {
        g->pointCount = src->pointCount;
        g->points = static_cast<GeomPoint*>(
            qzAlloc(static_cast<int>(sizeof(GeomPoint)) * src->pointCount, "geom pt list"));
        std::memcpy(g->points, src->points, sizeof(GeomPoint) * static_cast<size_t>(src->pointCount));
    }
    if (src->faceCount > 0) {
        const int bytes = FaceBlockBytes(src);
        g->faceCount = src->faceCount;
        g->faces = static_cast<GeomFace*>(qzAlloc(bytes, "geom face list"));
        std::memcpy(g->faces, src->faces, static_cast<size_t>(bytes));
        GeomFace* f = g->faces;
        for (int i = 0; i < g->faceCount; ++i, f = NextFace(f)) {
            FaceVertex* v = FaceVerts(f);
            for (int k = 0; k < f->vertexCount; ++k)
                if (v[k].point) v[k].point = g->points + (v[k].point - src->points);
        }
    }
    g->box = src->box;
    g->sphere = src->sphere;
    if (src->patchCount > 0) {
        g->patchCount = src->patchCount;
        g->patches = static_cast<GeomPatch*>(
            qzAlloc(static_cast<int>(sizeof(GeomPatch)) * src->patchCount, "patch list"));
        for (int i = 0; i < src->patchCount; ++i) {
            const GeomPatch& sp = src->patches[i];
            GeomPatch& dp = g->patches[i];
            dp = GeomPatch{sp.unset, sp.faceCount, nullptr, sp.pointCount, nullptr};
            if (sp.pointCount > 0) {
                dp.points = static_cast<GeomPoint**>(
                    qzAlloc(static_cast<int>(sizeof(GeomPoint*)) * sp.pointCount, "pt list"));
                for (int k = 0; k < sp.pointCount; ++k)
                    dp.points[k] = g->points + (sp.points[k] - src->points);
            }
            if (sp.faceCount > 0) {
                dp.faces = static_cast<GeomFace**>(
                    qzAlloc(static_cast<int>(sizeof(GeomFace*)) * sp.faceCount, "face list"));
                for (int k = 0; k < sp.faceCount; ++k) dp.faces[k] = SameFace(src, g, sp.faces[k]);
            }
        }
    }
    std::memcpy(g->anchor, src->anchor, sizeof g->anchor);
    std::memcpy(g->parentOffset, src->parentOffset, sizeof g->parentOffset);
    g->attachRadius = src->attachRadius;
    return g;
}

void FreeGeom(Geom* g) {
    if (!g) return;
    qzFree(g->points);
    qzFree(g->faces);
    for (int i = 0; i < g->brickCount; ++i) qzFree(g->bricks[i].faces);
    qzFree(g->bricks);
    for (int i = 0; i < g->patchCount; ++i) {
        qzFree(g->patches[i].faces);
        qzFree(g->patches[i].points);
    }
    qzFree(g->patches);
    qzFree(g->brickPtrs);
    qzFree(g);
}

void FreeLODGeoms(Geom* slots[4]) {
    for (int i = 0; i < 4; ++i) {
        Geom* g = slots[i];
        if (!g) continue;
        for (int j = i; j < 4; ++j)
            if (slots[j] == g) slots[j] = nullptr;
        FreeGeom(g);
    }
}

void SwapLODGeoms(Geom* a[4], Geom* b[4]) {
    for (int i = 0; i < 4; ++i) std::swap(a[i], b[i]);
}

GeomBrick* AddGeomBrick(Geom* g) {
    // The list holds the count the file declared; one more brick would be written past it.
    if (g->brickCount >= g->brickCapacity) FatalError("Error(AddGeomBrick): brick list full");
    GeomBrick* b = &g->bricks[g->brickCount++];
    std::memset(b, 0, sizeof *b);
    return b;
}

GeomFace* NthFace(Geom* g, int n) {
    if (!g->faces || g->faceCount < 1) return nullptr;
    if (n < 1) return g->faces;
    if (n >= g->faceCount) return nullptr;
    GeomFace* f = g->faces;
    for (int i = 0; i < n; ++i) f = NextFace(f);
    return f;
}

GeomPoint* NthPoint(Geom* g, int n) {
    if (n < 0 || n >= g->pointCount) return nullptr;
    return &g->points[n];
}

int FaceIndex(const Geom* g, const GeomFace* face) {
    const GeomFace* f = g->faces;
    for (int i = 0; i < g->faceCount; ++i) {
        if (f == face) return i;
        f = NextFace(const_cast<GeomFace*>(f));
    }
    return -1;
}

int PointIndex(const Geom* g, const GeomPoint* p) {
    for (int i = 0; i < g->pointCount; ++i)
        if (&g->points[i] == p) return i;
    return -1;
}

void BoxCornersToFaces(int32_t c[8][3], const int32_t mn[3], const int32_t mx[3]) {
    // (min x, min y, min z), (min x, max y, min z), (max x, max y, min z), (max x, min y, min z), then the
    // same four at max z.
    static const int pick[8][3] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0},
                                   {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}};
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 3; ++k) c[i][k] = pick[i][k] ? mx[k] : mn[k];
}

void SetBrickPlane(SphereRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    rec->centre[0] = a;
    rec->centre[1] = b;
    rec->centre[2] = c;
    rec->radius = d;
    rec->stamp = static_cast<int32_t>(FrameCounter - 1);
}

void SwapBBoardLists(construct* a, construct* b) {
    std::swap(a->bboardCount, b->bboardCount);
    std::swap(a->bboards, b->bboards);
}

void SwapConstructPair1(construct* a, construct* b) {
    std::swap(a->sphereCount, b->sphereCount);
    std::swap(a->spheres, b->spheres);
}

void SwapConstructPair2(construct* a, construct* b) {
    std::swap(a->spotCount, b->spotCount);
    std::swap(a->spots, b->spots);
}
