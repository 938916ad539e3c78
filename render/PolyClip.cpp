// The near-plane clipper and the shared face records it writes.
#include "render/PolyClip.h"

#include <cstring>

#include "core/Fix3D.h"
#include "render/View.h"
#include "world/Geom.h"

namespace {

constexpr int kTmpFaceCorners = kClipMaxCorners + 1;
alignas(GeomFace) uint8_t TmpFaceStore[2][FaceBytes(kTmpFaceCorners)];
GeomPoint NewVertices[kClipNewVertices];

uint32_t Pack(const uint8_t c[4]) {
    return uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16 | uint32_t(c[3]) << 24;
}
void Unpack(uint32_t w, uint8_t c[4]) {
    for (int i = 0; i < 4; ++i) c[i] = static_cast<uint8_t>(w >> (8 * i));
}

// The vertex where the edge a-b crosses the near plane, every attribute interpolated.
void Interpolate(GeomPoint* out, const GeomPoint* a, const FaceVertex& ca, const GeomPoint* b, const FaceVertex& cb,
                 float* u, float* v, bool keepUnitRhw) {
    *out = *a;
    ClipVertex pa = {a->view[0], a->view[1], a->view[2], Pack(a->lit)};
    ClipVertex pb = {b->view[0], b->view[1], b->view[2], Pack(b->lit)};
    TexCoord ta = {ca.u, ca.v}, tb = {cb.u, cb.v}, t;
    ClipVertex r;
    ClipEdgeAtZ(&r, &t, &pa, &ta, &pb, &tb, NearPlane);
    out->view[0] = r.x, out->view[1] = r.y, out->view[2] = r.z;
    Unpack(r.colour, out->lit);
    *u = t.u, *v = t.v;
    // The light sum and the sphere-map coordinates go the same way.
    pa.colour = Pack(a->lightSum), pb.colour = Pack(b->lightSum);
    ta = {a->sphere[0], a->sphere[1]}, tb = {b->sphere[0], b->sphere[1]};
    ClipEdgeAtZ(&r, &t, &pa, &ta, &pb, &tb, NearPlane);
    Unpack(r.colour, out->lightSum);
    out->sphere[0] = t.u, out->sphere[1] = t.v;
    FixVec cam = {out->view[0], out->view[1], out->view[2]};
    ScreenPointRhw s;
    ProjectToScreenRhw(&s, &cam, ViewCentreXF, ViewCentreYF);
    out->screen[0] = s.x, out->screen[1] = s.y, out->screen[2] = s.depth, out->screen[3] = s.rhw;
    if (keepUnitRhw && a->screen[3] == 1.0f) out->screen[3] = 1.0f;
}

void Clip(PolyEmit emit, GeomFace* face, bool keepUnitRhw) {
    if (!face || !emit) return;
    const int n = face->vertexCount;
    if (n == 0) return;
    // The input may be the output record itself (a billboard quad): its corners are read from a copy.
    FaceVertex in[256];
    std::memcpy(in, FaceVerts(face), sizeof(FaceVertex) * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        if (!in[i].point) return;
    GeomFace header;
    std::memcpy(&header, face, sizeof header);
    GeomFace* out = TmpFace();
    FaceVertex* ov = FaceVerts(out);
    int count = 0, made = 0;
    auto beyond = [](const FaceVertex& c) { return c.point->view[2] > NearPlane; };
    auto append = [&](GeomPoint* p, float u, float v) {
        if (count >= kClipMaxCorners) return false;
        ov[count++] = {p, u, v};
        return true;
    };
    auto cut = [&](const FaceVertex& prev, const FaceVertex& cur) {
        if (made >= kClipNewVertices || count >= kClipMaxCorners) return false;
        GeomPoint* p = &NewVertices[made++];
        float u, v;
        Interpolate(p, prev.point, prev, cur.point, cur, &u, &v, keepUnitRhw);
        return append(p, u, v);
    };
    for (int i = 0; i < n; ++i) {
        const FaceVertex& prev = in[i == 0 ? n - 1 : i - 1];
        const FaceVertex& cur = in[i];
        const bool pb = beyond(prev), cb = beyond(cur);
        bool ok = true;
        if (pb && cb) ok = append(cur.point, cur.u, cur.v);
        else if (pb) ok = cut(prev, cur);
        else if (cb) ok = cut(prev, cur) && append(cur.point, cur.u, cur.v);
        if (!ok) break;
    }
    if (count < 3) return;
    std::memcpy(out, &header, sizeof header);
    out->vertexCount = static_cast<uint8_t>(count);
    emit(out);
}

}  // namespace

GeomFace* TmpFace() { return reinterpret_cast<GeomFace*>(TmpFaceStore[0]); }
GeomFace* TmpFace2() { return reinterpret_cast<GeomFace*>(TmpFaceStore[1]); }
int IsTmpFace(const GeomFace* face) { return face == TmpFace() || face == TmpFace2(); }

void ClipAndEmitPolygon(PolyEmit emit, GeomFace* face) { Clip(emit, face, true); }
void ClipAndEmitPolygonLight(PolyEmit emit, GeomFace* face) { Clip(emit, face, false); }
