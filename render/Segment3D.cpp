// Ribbons between two world points (aim lines and the like), drawn through the segment emitter in the
// shared face record of segment drawing.
#include <cstring>

#include "core/Fix3D.h"
#include "render/Immediate.h"
#include "render/PolyClip.h"
#include "render/View.h"
#include "world/Geom.h"

namespace {
GeomPoint SegmentPoints[4];
}  // namespace

void DrawSegment3D(const int32_t a[3], const int32_t b[3]) {
    const int64_t dx = int64_t(b[0]) - a[0], dz = int64_t(b[2]) - a[2];
    const bool alongZ = (dx < 0 ? -dx : dx) < (dz < 0 ? -dz : dz);
    const int32_t off[3] = {alongZ ? 3000 : 0, 0, alongZ ? 0 : 3000};
    const int32_t* ends[4] = {a, a, b, b};
    const int32_t shifted[4] = {0, 1, 1, 0};
    GeomFace* f = TmpFace2();
    std::memset(f, 0, sizeof *f);
    FaceVertex* v = FaceVerts(f);
    for (int i = 0; i < 4; ++i) {
        GeomPoint* p = &SegmentPoints[i];
        std::memset(p, 0, sizeof *p);
        FixVec rel = {ends[i][0] + off[0] * shifted[i] - EyePos.x, ends[i][1] - EyePos.y,
                      ends[i][2] + off[2] * shifted[i] - EyePos.z};
        FixVec cam;
        RotateVecF(&cam, &ProjMatrix, &rel);
        p->view[0] = cam.x, p->view[1] = cam.y, p->view[2] = cam.z;
        if (cam.z > NearPlane) {
            ScreenPointF s;
            ProjectToScreen(&s, &cam, ViewCentreXF, ViewCentreYF);
            p->screen[0] = s.x, p->screen[1] = s.y, p->screen[2] = s.depth;
        }
        p->screen[3] = 1.0f;
        const uint8_t rgb[3] = {uint8_t(shifted[i] ? 32 : 8), uint8_t(shifted[i] ? 32 : 8), uint8_t(shifted[i] ? 32 : 64)};
        for (int c = 0; c < 3; ++c) p->lit[c] = rgb[c];
        p->lit[3] = 255;
        v[i] = {p, 0.0f, 0.0f};
    }
    f->vertexCount = 4;
    EmitSegmentPolygon(f);
}
