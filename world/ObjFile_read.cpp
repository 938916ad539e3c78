// The object-file reader: the bounded byte reader, points, faces, bounds and the finishing steps.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "host/Fs.h"
#include "render/Stamps.h"
#include "world/ObjFile.h"
#include "world/ObjFile_local.h"
#include "world/ObjResources.h"
#include "world/TickCounter.h"

namespace objfile {

void Fail(const Reader& r, const char* format, ...) {
    char what[200];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(what, sizeof what, format, ap);
    va_end(ap);
    char msg[256];
    std::snprintf(msg, sizeof msg, "Error(ReadCCADObj): %s in '%s'", what, r.name ? r.name : "");
    FatalError(msg);
}

void Need(Reader& r, uint64_t bytes) {
    if (bytes > Remaining(r)) Fail(r, "unexpected end of file at byte %zu", r.pos);
}

uint32_t U32(Reader& r) {
    Need(r, 4);
    const uint8_t* p = r.data + r.pos;
    r.pos += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float F32(Reader& r) {
    const uint32_t bits = U32(r);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

int16_t I16(Reader& r) {
    Need(r, 2);
    const uint8_t* p = r.data + r.pos;
    r.pos += 2;
    return static_cast<int16_t>(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

uint8_t U8(Reader& r) {
    Need(r, 1);
    return r.data[r.pos++];
}

void Skip(Reader& r, uint64_t bytes) {
    Need(r, bytes);
    r.pos += static_cast<size_t>(bytes);
}

uint32_t PeekTag(const Reader& r) {
    if (Remaining(r) < 4) return 0;
    const uint8_t* p = r.data + r.pos;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Name24(Reader& r, char out[25]) {
    Need(r, 24);
    std::memcpy(out, r.data + r.pos, 24);
    out[24] = 0;
    r.pos += 24;
}

uint32_t Count(Reader& r, uint32_t minBytes, const char* what) {
    const uint32_t n = U32(r);
    if (static_cast<uint64_t>(n) * minBytes > Remaining(r))
        Fail(r, "%s count %u does not fit the file", what, n);
    return n;
}

void* AllocBlock(const Reader& r, size_t elemBytes, uint64_t count, const char* purpose) {
    if (count > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) / elemBytes)
        Fail(r, "%s of %llu entries is too large", purpose, static_cast<unsigned long long>(count));
    return qzAlloc(static_cast<int>(elemBytes * count), purpose);
}

uint32_t PointIndexOf(Reader& r, uint32_t index, const char* what) {
    if (index >= r.pointCount) Fail(r, "%s names point %u of %u", what, index, r.pointCount);
    return index;
}

int32_t Trunc(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace objfile

using namespace objfile;

namespace {

// Face types 4 and 10 to 15 have no drawing routine.
bool DrawableFaceType(int type) {
    return type <= 9 && type != 4;
}

void ReadPoints(Reader& r) {
    const float q = r.q;
    Geom* g = r.g;
    if (r.pointCount > 0) {
        g->points = static_cast<GeomPoint*>(
            AllocBlock(r, sizeof(GeomPoint), r.pointCount, "geom pt list"));
        std::memset(g->points, 0, sizeof(GeomPoint) * r.pointCount);
    }
    g->pointCount = static_cast<int32_t>(r.pointCount);
    const uint16_t stamp = static_cast<uint16_t>(ViewStamp - 1);
    for (uint32_t i = 0; i < r.pointCount; ++i) {
        GeomPoint& p = g->points[i];
        const uint32_t k = Count(r, 4, "skipped word");
        Skip(r, 4ull * k);
        for (int32_t& c : p.pos) c = Trunc(F32(r) * q);
        for (int32_t& n : p.normal) n = Trunc(F32(r) * -32768.0f);
        for (int c = 0; c < 3; ++c) p.colour[c] = p.lit[c] = U8(r);
        U8(r);
        p.stamps[0] = p.stamps[1] = stamp;
    }
}

// First pass over the faces: checks every count, index and type and returns the face block's size.
int MeasureFaces(Reader& r) {
    uint64_t bytes = 0;
    for (uint32_t i = 0; i < r.faceCount; ++i) {
        // The vertex count is stored in 32 bits but held in a byte.
        const uint32_t n = U32(r);
        if (n > 255) Fail(r, "face %u has %u vertices (max is 255)", i, n);
        Need(r, 8ull * n);
        for (uint32_t k = 0; k < n; ++k) {
            PointIndexOf(r, U32(r), "a face");
            Skip(r, 4);
        }
        Skip(r, 12);
        const int type = U8(r) & 15;
        if (!DrawableFaceType(type)) Fail(r, "face %u has type %d, which cannot be drawn", i, type);
        U8(r);
        if (type >= 4 && type <= 7) Skip(r, 24);
        Skip(r, 4);
        bytes += static_cast<uint64_t>(FaceBytes(static_cast<int>(n)));
    }
    if (bytes > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) Fail(r, "faces too large");
    return static_cast<int>(bytes);
}

void ReadFaces(Reader& r) {
    Geom* g = r.g;
    // Every face needs at least its count, normal, type, extra byte and colour.
    if (static_cast<uint64_t>(r.faceCount) * 22 > Remaining(r))
        Fail(r, "face count %u does not fit the file", r.faceCount);
    const size_t first = r.pos;
    const int bytes = MeasureFaces(r);
    r.pos = first;
    g->faceCount = static_cast<int32_t>(r.faceCount);
    if (r.faceCount == 0) return;
    g->faces = static_cast<GeomFace*>(qzAlloc(bytes, "geom face list"));
    std::memset(g->faces, 0, static_cast<size_t>(bytes));
    r.faceIndex.reserve(r.faceCount);
    GeomFace* f = g->faces;
    for (uint32_t i = 0; i < r.faceCount; ++i, f = NextFace(f)) {
        r.faceIndex.push_back(f);
        f->vertexCount = static_cast<uint8_t>(U32(r));
        FaceVertex* v = FaceVerts(f);
        for (int k = 0; k < f->vertexCount; ++k) {
            v[k].point = &g->points[U32(r)];
            v[k].u = I16(r) / 32768.0f;
            v[k].v = I16(r) / 32768.0f;
        }
        for (int32_t& n : f->normal) n = Trunc(F32(r) * -32768.0f);
        const uint8_t typeByte = U8(r);
        f->type = typeByte & 15;
        f->extra = U8(r);
        if (f->type >= 4 && f->type <= 7) {
            char name[25];
            Name24(r, name);
            for (char* c = name; *c; ++c)
                if (*c == '.') *c = kPathSeparator;
            f->texture = ObjFaceTexture(name);
        }
        for (uint8_t& c : f->colour) c = U8(r);
        U8(r);
        if (f->type == 2 || f->type == 3 || f->type == 6 || f->type == 7)
            for (int k = 0; k < f->vertexCount; ++k) {
                v[k].point->flags |= 0x40;
                if (f->type == 3 || f->type == 7) v[k].point->marker = 1;
            }
        f->flags =
            static_cast<uint8_t>(((f->type == 1 || f->type == 5) ? 1 : 0) | ((typeByte & 0x10) ? 2 : 0));
    }
    f = g->faces;
    for (uint32_t i = 0; i < r.faceCount; ++i, f = NextFace(f))
        for (int k = 0; k < f->vertexCount; ++k) {
            if (f->type == 9) FaceVerts(f)[k].point->flags &= ~0x40;
            if (f->flags & 2) FaceVerts(f)[k].point->flags |= 0x80;
        }
}

int32_t Dist(const int32_t a[3], const int32_t b[3]) {
    const FixVec va{a[0], a[1], a[2]}, vb{b[0], b[1], b[2]};
    return Distance3(&va, &vb);
}

// Gives each staged billboard the brick that holds the face with the vertex nearest to it.
void AssignBricks(Geom* g) {
    for (int i = 0; i < CCADBBoardCount; ++i) {
        bboard* b = CCADBBoards[i];
        if (b->pos[0] == kUnsetCoord || g->faceCount == 0) continue;
        const GeomFace* nearest = nullptr;
        int32_t best = 0;
        const GeomFace* f = g->faces;
        for (int n = 0; n < g->faceCount; ++n, f = NextFace(const_cast<GeomFace*>(f)))
            for (int k = 0; k < f->vertexCount; ++k) {
                const int32_t d = Dist(FaceVerts(f)[k].point->pos, b->pos);
                if (!nearest || d < best) {
                    nearest = f;
                    best = d;
                }
            }
        for (int k = 0; k < g->brickCount && nearest; ++k) {
            GeomBrick& brick = g->bricks[k];
            bool holds = false;
            for (int m = 0; m < brick.faceCount && !holds; ++m) holds = brick.faces[m] == nearest;
            if (holds) {
                brick.board = b;
                break;
            }
        }
    }
}

void ComputeBounds(Geom* g) {
    int32_t mn[3] = {0, 0, 0}, mx[3] = {0, 0, 0};
    for (int i = 0; i < g->pointCount; ++i)
        for (int k = 0; k < 3; ++k) {
            const int32_t c = g->points[i].pos[k];
            if (i == 0 || c < mn[k]) mn[k] = c;
            if (i == 0 || c > mx[k]) mx[k] = c;
        }
    BoxCornersToFaces(g->box.corners, mn, mx);
    for (int k = 0; k < 3; ++k)
        g->sphere.centre[k] = static_cast<int32_t>((static_cast<int64_t>(mn[k]) + mx[k]) >> 1);
    int64_t radius = 0;
    for (int i = 0; i < g->pointCount; ++i) {
        const int64_t d = Dist(g->sphere.centre, g->points[i].pos);
        if (d > radius) radius = d;
    }
    g->sphere.radius = static_cast<int32_t>(radius * 4 > INT32_MAX ? INT32_MAX : radius * 4);
    g->sphere.stamp = static_cast<int32_t>(FrameCounter - 1);
}

// The finishing steps for the billboards this file made: their points lose the per-vertex lighting
// mark and their face numbers become faces of this file's Geom.
void FinishBBoards(Reader& r, bool resolve) {
    for (int i = r.firstStaged; i < CCADBBoardCount; ++i)
        for (bboard* b = CCADBBoards[i]; b; b = b->next) {
            if (!resolve) {
                for (int k = 0; k < b->vertexCount; ++k) b->vertices[k]->flags &= ~0x40;
            } else if (b->resolve) {
                ResolveBBoard(r.g, b);
            }
        }
}

}  // namespace

void objfile::ReadCCADObjNested(const uint8_t* data, size_t size, const char* name, float scale, Geom* g,
                                int nested) {
    if (!nested) ResetCCADStaging();
    Reader r{};
    r.data = data;
    r.size = size;
    r.name = name;
    r.scale = scale;
    r.q = scale * 0.25f;
    r.g = g;
    r.nested = nested;
    r.firstStaged = CCADBBoardCount;
    if (nested > kMaxNesting) Fail(r, "billboard objects nested deeper than %d", kMaxNesting);

    r.pointCount = U32(r);
    r.faceCount = U32(r);
    // Every point needs at least its skip count, position, normal and colour.
    if (static_cast<uint64_t>(r.pointCount) * 32 > Remaining(r))
        Fail(r, "point count %u does not fit the file", r.pointCount);
    ReadPoints(r);
    for (uint32_t tag = PeekTag(r); tag == Tag("FBLL") || tag == Tag("BILL"); tag = PeekTag(r)) {
        r.pos += 4;
        ReadBBoard(r, tag, true);
    }
    ReadFaces(r);
    ReadChunks(r);

    FinishBBoards(r, false);
    if (g->brickCount > 0) {
        g->brickPtrs = static_cast<GeomBrick**>(
            AllocBlock(r, sizeof(GeomBrick*), static_cast<uint64_t>(g->brickCount), "brick list"));
        std::memset(g->brickPtrs, 0, sizeof(GeomBrick*) * static_cast<size_t>(g->brickCount));
        g->brickPtrCount = 0;
        if (!nested) AssignBricks(g);
    }
    ComputeBounds(g);
    FinishBBoards(r, true);
}

void ReadCCADObj(const uint8_t* data, size_t size, const char* name, float scale, Geom* g, int nested) {
    ReadCCADObjNested(data, size, name, scale, g, nested ? 1 : 0);
}

void LoadCCADObj(const char* path, float scale, Geom* g) {
    std::vector<uint8_t> bytes;
    if (!ReadObjectFileBytes(path, bytes)) {
        DebugPrintf("error on attempt to load object %s\n", path);
        FatalError("Error(LoadCCADObj): Can't open file.");
    }
    ReadCCADObj(bytes.data(), bytes.size(), path, scale, g, 0);
}
