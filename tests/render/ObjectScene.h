// Hand-made object geometry for the construct drawing tests: boxes of one face type, single faces,
// textures and texture animations from generated pixels, and constructs that own such geometry.
#pragma once

#include <array>
#include <cstring>
#include <vector>

#include "core/Memory.h"
#include "host/Gfx.h"
#include "platform/Texture.h"
#include "world/Construct.h"
#include "world/Geom.h"

namespace kvtest {

struct FaceSpec {
    std::vector<int> points;
    uint8_t type = 1;
    std::array<uint8_t, 3> rgb{200, 200, 200};
    std::array<int32_t, 3> normal{0, 0, -32768};
    Tex* texture = nullptr;
    uint8_t extra = 0;
    bool option = false;
    std::vector<std::array<float, 2>> uv;  // per corner; missing ones 0, 0
};

// A Geom in tracked memory (FreeGeom frees it), its point and face flags set as the loader sets them.
inline Geom* MakeGeom(const std::vector<GeomPoint>& points, const std::vector<FaceSpec>& faces) {
    Geom* g = CreateUnnamedGeom();
    g->pointCount = static_cast<int32_t>(points.size());
    if (!points.empty()) {
        g->points = static_cast<GeomPoint*>(qzAlloc(int(sizeof(GeomPoint) * points.size()), "geom pt list"));
        std::memcpy(g->points, points.data(), sizeof(GeomPoint) * points.size());
        for (int i = 0; i < g->pointCount; ++i)
            for (int c = 0; c < 3; ++c) g->points[i].lit[c] = g->points[i].colour[c];
    }
    int bytes = 0;
    for (const FaceSpec& f : faces) bytes += FaceBytes(int(f.points.size()));
    g->faceCount = static_cast<int32_t>(faces.size());
    if (bytes > 0) {
        g->faces = static_cast<GeomFace*>(qzAlloc(bytes, "geom face list"));
        std::memset(g->faces, 0, size_t(bytes));
    }
    GeomFace* f = g->faces;
    int32_t lo[3] = {INT32_MAX, INT32_MAX, INT32_MAX}, hi[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
    for (const GeomPoint& p : points)
        for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], p.pos[c]), hi[c] = std::max(hi[c], p.pos[c]);
    for (const FaceSpec& s : faces) {
        f->vertexCount = static_cast<uint8_t>(s.points.size());
        f->type = s.type;
        for (int c = 0; c < 3; ++c) f->colour[c] = s.rgb[c], f->normal[c] = s.normal[c];
        f->texture = s.texture;
        f->extra = s.extra;
        f->flags = static_cast<uint8_t>(((s.type == 1 || s.type == 5) ? 1 : 0) | (s.option ? 2 : 0));
        FaceVertex* v = FaceVerts(f);
        for (size_t k = 0; k < s.points.size(); ++k) {
            GeomPoint* p = &g->points[s.points[k]];
            v[k].point = p;
            v[k].u = k < s.uv.size() ? s.uv[k][0] : 0.0f;
            v[k].v = k < s.uv.size() ? s.uv[k][1] : 0.0f;
            if (s.type == 2 || s.type == 3 || s.type == 6 || s.type == 7) p->flags |= 0x40;
            if (s.type == 3 || s.type == 7) p->marker = 1;
            if (s.option) p->flags |= 0x80;
        }
        f = NextFace(f);
    }
    if (!points.empty()) BoxCornersToFaces(g->box.corners, lo, hi);
    return g;
}

inline GeomPoint Point(int32_t x, int32_t y, int32_t z, std::array<uint8_t, 3> rgb = {255, 255, 255},
                       std::array<int32_t, 3> normal = {0, 32767, 0}) {
    GeomPoint p{};
    p.pos[0] = x, p.pos[1] = y, p.pos[2] = z;
    for (int c = 0; c < 3; ++c) p.normal[c] = normal[c], p.colour[c] = rgb[c];
    return p;
}

// A box from -h to +h (quarter units) with six faces of one type and colour; corner normals point out.
inline Geom* MakeBox(int32_t hx, int32_t hy, int32_t hz, uint8_t type, std::array<uint8_t, 3> rgb, Tex* tex = nullptr,
                     int32_t y0 = 0) {
    std::vector<GeomPoint> pts;
    for (int i = 0; i < 8; ++i) {
        const int sx = (i & 1) ? 1 : -1, sy = (i & 2) ? 1 : -1, sz = (i & 4) ? 1 : -1;
        pts.push_back(Point(sx * hx, y0 + sy * hy, sz * hz, rgb, {sx * 18918, sy * 18918, sz * 18918}));
    }
    struct Side {
        int c[4];
        int32_t n[3];
    } sides[6] = {
        {{0, 2, 3, 1}, {0, 0, -32767}}, {{4, 5, 7, 6}, {0, 0, 32767}},  {{0, 4, 6, 2}, {-32767, 0, 0}},
        {{1, 3, 7, 5}, {32767, 0, 0}},  {{0, 1, 5, 4}, {0, -32767, 0}}, {{2, 6, 7, 3}, {0, 32767, 0}},
    };
    std::vector<FaceSpec> faces;
    for (const Side& s : sides) {
        FaceSpec f;
        f.points = {s.c[0], s.c[1], s.c[2], s.c[3]};
        f.type = type;
        f.rgb = rgb;
        f.normal = {s.n[0], s.n[1], s.n[2]};
        f.texture = tex;
        f.uv = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        faces.push_back(f);
    }
    return MakeGeom(pts, faces);
}

// A construct at a world position owning the geom as all four levels of detail.
inline construct* MakeObject(Geom* g, int32_t x, int32_t y, int32_t z, uint32_t flags = 0x2) {
    construct* c = CreateConstruct(1, flags);
    c->pos[0] = x, c->pos[1] = y, c->pos[2] = z;
    SetConstructGeoms(c, g, g, g, g);
    c->sampleCornerCount = 1;
    c->sampleCorners[0] = 0;
    return c;
}

// A surface of generated pixels: a checker of two colours in 8-pixel squares.
inline host::GfxSurface* CheckerSurface(int size, uint32_t a, uint32_t b, bool alpha = false) {
    host::GfxSurface* s = host::CreateSurface(size, size, alpha ? host::PixelFormat::ARGB8888 : host::PixelFormat::XRGB8888,
                                              host::SurfaceKind::Texture, false);
    host::GfxLock lock;
    host::LockSurface(s, nullptr, &lock);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lock.bits) + y * lock.pitch);
            row[x] = (((x >> 3) ^ (y >> 3)) & 1) ? a : b;
        }
    host::UnlockSurface(s);
    return s;
}

}  // namespace kvtest
