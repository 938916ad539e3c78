// The object-file reader's billboard records and tagged chunks, and the staging tables they fill.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Fix3D.h"
#include "core/Memory.h"
#include "render/Light.h"
#include "world/ObjFile.h"
#include "world/ObjFile_local.h"
#include "world/ObjResources.h"
#include "world/TickCounter.h"

bboard* CCADBBoards[kMaxCCADBBoards];
int CCADBBoardCount = 0;
SphereRecord CCADSpheres[kMaxCCADSpheres];
int CCADSphereCount = 0;
CCADPlane CCADPlanes[kMaxCCADPlanes];
int CCADPlaneCount = 0;
SpotRecord CCADSpots[kMaxCCADSpots];
int CCADSpotCount = 0;
PointLight* CCADLights[kMaxCCADLights];
int CCADLightCount = 0;
int CCADLightFlag = 0;
CCADHField CCADHFields[kMaxCCADHFields];
int CCADHFieldCount = 0;

void ResetCCADBBoards() {
    for (int i = 0; i < CCADBBoardCount; ++i) FreeBBoard(CCADBBoards[i]);
    CCADBBoardCount = 0;
}

void ResetCCADHFields() {
    for (int i = 0; i < CCADHFieldCount; ++i) qzFree(CCADHFields[i].heights);
    CCADHFieldCount = 0;
}

void ResetCCADSpheres() {
    CCADSphereCount = 0;
}
void ResetCCADSpots() {
    CCADSpotCount = 0;
}
void ResetCCADPlanes() {
    CCADPlaneCount = 0;
}

void ResetCCADStaging() {
    ResetCCADBBoards();
    ResetCCADHFields();
    ResetCCADSpheres();
    ResetCCADSpots();
    ResetCCADPlanes();
    ResetCCADLights();
}

void ResetCCADLights() {
    for (int i = 0; i < CCADLightCount; ++i) FreePointLight(CCADLights[i]);
    CCADLightCount = 0;
    CCADLightFlag = 0;
}

namespace objfile {

namespace {

constexpr uint32_t kNameMarker = 0x76453719u;  // 1e33 as a size: a billboard name follows

const int32_t* PointPos(Reader& r, uint32_t index) {
    return r.g->points[index].pos;
}

// Direction from a to b in 1.15, normalised in floating point; out stays as it was for a zero vector.
void Direction(const int32_t a[3], const int32_t b[3], int32_t out[3]) {
    int64_t d64[3];
    for (int k = 0; k < 3; ++k) d64[k] = static_cast<int64_t>(b[k]) - a[k];
    // Far-apart points are brought into range first; the direction stays the same.
    while (d64[0] != static_cast<int32_t>(d64[0]) || d64[1] != static_cast<int32_t>(d64[1]) ||
           d64[2] != static_cast<int32_t>(d64[2]))
        for (int64_t& c : d64) c /= 2;
    const FixVec d{static_cast<int32_t>(d64[0]), static_cast<int32_t>(d64[1]), static_cast<int32_t>(d64[2])};
    FixVec unit{out[0], out[1], out[2]};
    NormaliseF(&unit, &d);
    out[0] = unit.x;
    out[1] = unit.y;
    out[2] = unit.z;
}

// Reads the billboard's own object from the billboards folder into a new Geom of the billboard.
void LoadBBoardObject(Reader& r, bboard* b, const char* objectName) {
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s%c%s", OBJROOT, kPathSeparator, "billboards", kPathSeparator,
                  objectName);
    std::vector<uint8_t> bytes;
    if (!ReadObjectFileBytes(path, bytes)) FatalError("Can't open billboard obj file");
    b->geom = CreateGeom("bboard geom");
    ReadCCADObjNested(bytes.data(), bytes.size(), path, r.q * 16.0f, b->geom, r.nested + 1);
}

}  // namespace

void ReadBBoard(Reader& r, uint32_t tag, bool section) {
    if (CCADBBoardCount >= kMaxCCADBBoards)
        FatalErrorF("Error(ReadCCADObj): too many bboards (max is %d)", kMaxCCADBBoards);
    bboard* b = CreateBBoard();
    if (tag == Tag("FBLL")) {
        CCADBBoards[CCADBBoardCount++] = b;
    } else {
        // A chained billboard needs one before it in this file.
        if (!r.current) {
            FreeBBoard(b);
            Fail(r, "BILL with no billboard before it");
        }
        r.current->next = b;
    }
    r.current = b;

    const uint32_t a = U32(r);
    const uint32_t bIndex = U32(r);
    if (a != kNone) PointIndexOf(r, a, "a billboard");
    if (bIndex != kNone) PointIndexOf(r, bIndex, "a billboard's direction");
    uint32_t sizeBits = U32(r);
    if (sizeBits == kNameMarker) {
        char name[25];
        Name24(r, name);
        std::memcpy(b->name, name, sizeof b->name - 1);
        b->name[sizeof b->name - 1] = 0;
        sizeBits = U32(r);
    }
    float size1, size2;
    std::memcpy(&size1, &sizeBits, sizeof size1);
    size2 = F32(r);
    char animName[25], objectName[25], paletteName[25];
    Name24(r, animName);
    const uint8_t extra = U8(r);
    Name24(r, objectName);
    Name24(r, paletteName);
    const uint32_t value1 = U32(r);
    const uint32_t value2 = U32(r);

    if (a != kNone) std::memcpy(b->pos, PointPos(r, a), sizeof b->pos);
    if (a != kNone && bIndex != kNone) Direction(PointPos(r, a), PointPos(r, bIndex), b->dir);
    b->size1 = Trunc(size1 * r.q * 4.0f);
    b->size2 = Trunc(size2 * r.q * 4.0f);
    b->options[0] = static_cast<uint8_t>(value1);
    b->options[1] = static_cast<uint8_t>(value2);
    b->options[2] = extra;

    if (!section) {
        if (objectName[0]) {
            LoadBBoardObject(r, b, objectName);
            if (paletteName[0]) b->palette = ObjPalette(paletteName);
        } else if (animName[0]) {
            b->anim = ObjTexAnim(animName);
        }
        return;
    }
    if (objectName[0]) LoadBBoardObject(r, b, objectName);
    if (paletteName[0]) b->palette = ObjPalette(paletteName);
    if (animName[0]) b->anim = ObjTexAnim(animName);
    if (a != kNone) return;
    if (animName[0]) {
        if (Tex* tex = b->anim ? ObjDummyTexture(b->anim, animName) : nullptr) b->dummy = CreateDummyTex(tex);
        return;
    }
    // A polygon billboard: a list of faces ("PLST") or of points.
    const uint32_t word = U32(r);
    if (word == Tag("PLST")) {
        b->listValue = static_cast<int32_t>(U32(r));
        const uint32_t n = Count(r, 4, "billboard face");
        b->faceCount = static_cast<int32_t>(n);
        if (n > 0) {
            b->faces =
                static_cast<uintptr_t*>(AllocBlock(r, sizeof(uintptr_t), n, "bbd face list"));
            for (uint32_t i = 0; i < n; ++i) b->faces[i] = U32(r);
        }
        b->resolve = 1;
        return;
    }
    r.pos -= 4;
    const uint32_t n = Count(r, 4, "billboard point");
    if (n == 0) return;
    b->vertices = static_cast<GeomPoint**>(AllocBlock(r, sizeof(GeomPoint*), n, "vtx list"));
    std::memset(b->vertices, 0, sizeof(GeomPoint*) * n);
    b->vertexCount = static_cast<int32_t>(n);
    for (uint32_t i = 0; i < n; ++i) b->vertices[i] = &r.g->points[PointIndexOf(r, U32(r), "a billboard")];
}

namespace {

void ReadBspNode(Reader& r, int depth) {
    if (depth > kMaxBspDepth) Fail(r, "BSP deeper than %d", kMaxBspDepth);
    Skip(r, 16);  // the node's plane; nodes are not kept after reading
    const uint8_t front = U8(r);
    const uint8_t back = U8(r);
    const uint8_t leaf = U8(r);
    U8(r);
    if (front) ReadBspNode(r, depth + 1);
    if (back) ReadBspNode(r, depth + 1);
    if (!leaf) return;
    Geom* g = r.g;
    // Each leaf is one brick of the list the chunk declared; more leaves would be written past it.
    if (g->brickCount >= g->brickCapacity)
        Fail(r, "more BSP leaves than the %d bricks declared", g->brickCapacity);
    U32(r);
    const uint32_t n = Count(r, 4, "BSP leaf face");
    GeomBrick* brick = AddGeomBrick(g);
    if (n == 0) return;
    brick->faces =
        static_cast<GeomFace**>(AllocBlock(r, sizeof(GeomFace*), n, "brick face list"));
    std::memset(brick->faces, 0, sizeof(GeomFace*) * n);
    brick->faceCount = static_cast<int32_t>(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t f = U32(r);
        if (f >= static_cast<uint32_t>(g->faceCount))
            Fail(r, "a BSP leaf names face %u of %d", f, g->faceCount);
        brick->faces[i] = FaceAt(r, f);
    }
}

void ReadBsp(Reader& r) {
    if (r.bspSeen) Fail(r, "a second BSPT chunk");
    r.bspSeen = true;
    // A leaf takes at least 28 bytes.
    const uint32_t count = Count(r, 28, "brick");
    Geom* g = r.g;
    if (count > 0) {
        g->bricks =
            static_cast<GeomBrick*>(AllocBlock(r, sizeof(GeomBrick), count, "brick list"));
        std::memset(g->bricks, 0, sizeof(GeomBrick) * count);
    }
    g->brickCapacity = static_cast<int32_t>(count);
    ReadBspNode(r, 0);
}

void ReadPatches(Reader& r) {
    if (r.patchesSeen) Fail(r, "a second PSET chunk");
    r.patchesSeen = true;
    const uint32_t count = Count(r, 8, "patch");
    Geom* g = r.g;
    if (count == 0) return;
    g->patches = static_cast<GeomPatch*>(AllocBlock(r, sizeof(GeomPatch), count, "patch list"));
    std::memset(g->patches, 0, sizeof(GeomPatch) * count);
    g->patchCount = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
        GeomPatch& p = g->patches[i];
        const uint32_t kind = U32(r);
        const uint32_t m = Count(r, 4, "patch entry");
        if (m == 0) continue;
        if (kind == 3) {
            p.points = static_cast<GeomPoint**>(AllocBlock(r, sizeof(GeomPoint*), m, "pt list"));
            std::memset(p.points, 0, sizeof(GeomPoint*) * m);
            p.pointCount = static_cast<int32_t>(m);
            for (uint32_t k = 0; k < m; ++k) p.points[k] = &g->points[PointIndexOf(r, U32(r), "a patch")];
        } else {
            p.faces =
                static_cast<GeomFace**>(AllocBlock(r, sizeof(GeomFace*), m, "patch face list"));
            std::memset(p.faces, 0, sizeof(GeomFace*) * m);
            p.faceCount = static_cast<int32_t>(m);
            for (uint32_t k = 0; k < m; ++k) {
                const uint32_t f = U32(r);
                if (f >= static_cast<uint32_t>(g->faceCount))
                    Fail(r, "a patch names face %u of %d", f, g->faceCount);
                p.faces[k] = FaceAt(r, f);
            }
        }
    }
}

void ReadPlane(Reader& r) {
    if (CCADPlaneCount >= kMaxCCADPlanes)
        FatalErrorF("Error(ReadCCADObj): too many planes (max is %d)", kMaxCCADPlanes);
    Skip(r, 12);
    CCADPlane& p = CCADPlanes[CCADPlaneCount];
    p.a = Trunc(F32(r) * 32768.0f);
    p.b = Trunc(F32(r) * 32768.0f);
    p.c = Trunc(F32(r) * 32768.0f);
    p.d = Trunc(F32(r) * r.q);
    ++CCADPlaneCount;
}

void ReadSphere(Reader& r) {
    if (CCADSphereCount >= kMaxCCADSpheres)
        FatalErrorF("Error(ReadCCADObj): too many spheres (max is %d)", kMaxCCADSpheres);
    const uint32_t point = PointIndexOf(r, U32(r), "a sphere");
    const float radius = F32(r);
    SphereRecord& s = CCADSpheres[CCADSphereCount];
    s = SphereRecord{};
    s.stamp = static_cast<int32_t>(FrameCounter - 1);
    std::memcpy(s.centre, PointPos(r, point), sizeof s.centre);
    s.radius = Trunc(radius * r.q * 4.0f);
    ++CCADSphereCount;
}

void ReadSpot(Reader& r) {
    if (CCADSpotCount >= kMaxCCADSpots)
        FatalErrorF("Error(ReadCCADObj): too many spots (max is %d)", kMaxCCADSpots);
    const uint32_t point = PointIndexOf(r, U32(r), "a spot");
    const uint32_t type = U32(r);
    const uint32_t value = U32(r);
    Skip(r, 508);
    SpotRecord& s = CCADSpots[CCADSpotCount];
    s = SpotRecord{};
    s.kind = static_cast<int32_t>(type);
    // Explosion spots keep their value (0 meaning 1); every other kind fires with 1.
    s.value = (type == 4 || type == 5) ? (value == 0 ? 1 : static_cast<int32_t>(value)) : 1;
    for (int k = 0; k < 3; ++k) s.offset[k] = Trunc(PointPos(r, point)[k] * 4.0);
    ++CCADSpotCount;
}

void ReadLight(Reader& r) {
    if (CCADLightCount >= kMaxCCADLights)
        FatalErrorF("Error(ReadCCADObj): too many lights (max is %d)", kMaxCCADLights);
    const uint32_t point = PointIndexOf(r, U32(r), "a light");
    uint8_t rgb[3];
    for (uint8_t& c : rgb) c = U8(r);
    const uint8_t option = U8(r);
    char palette[25];
    Name24(r, palette);
    PointLight* light = CreatePointLight();
    CCADLights[CCADLightCount++] = light;
    CCADLightFlag = 1;
    std::memcpy(light->objPos, PointPos(r, point), sizeof light->objPos);
    for (int k = 0; k < 3; ++k) light->colour[k] = rgb[k] * 16;
    light->rangeShift = option;
    if (palette[0]) light->palette = ObjPalette(palette);
}

void ReadHField(Reader& r) {
    if (CCADHFieldCount >= kMaxCCADHFields)
        FatalErrorF("Error(ReadCCADObj): too many hfields (max is %d)", kMaxCCADHFields);
    const uint32_t n = U32(r);
    Skip(r, 24);
    if (n > 4096 || static_cast<uint64_t>(n) * n * 4 > Remaining(r))
        Fail(r, "height field of size %u does not fit the file", n);
    CCADHField& h = CCADHFields[CCADHFieldCount++];
    h.n = static_cast<int32_t>(n);
    h.heights = nullptr;
    if (n == 0) return;
    h.heights = static_cast<uint16_t*>(AllocBlock(r, 2, static_cast<uint64_t>(n) * n, "hfield heights"));
    for (uint32_t i = 0; i < n * n; ++i) h.heights[i] = static_cast<uint16_t>(Trunc(F32(r) * r.q / 8.0f));
}

}  // namespace

void ReadChunks(Reader& r) {
    for (;;) {
        const uint32_t tag = PeekTag(r);
        if (tag == Tag("BSPT")) {
            r.pos += 4;
            ReadBsp(r);
        } else if (tag == Tag("ANCH")) {
            r.pos += 4;
            for (int32_t& c : r.g->anchor) c = Trunc(F32(r) * r.q * 4.0f);
        } else if (tag == Tag("PSET")) {
            r.pos += 4;
            ReadPatches(r);
        } else if (tag == Tag("SPLN")) {
            r.pos += 4;
            ReadPlane(r);
        } else if (tag == Tag("SPHR")) {
            r.pos += 4;
            ReadSphere(r);
        } else if (tag == Tag("SPOT")) {
            r.pos += 4;
            ReadSpot(r);
        } else if (tag == Tag("LGHT")) {
            r.pos += 4;
            ReadLight(r);
        } else if (tag == Tag("HFLD")) {
            r.pos += 4;
            ReadHField(r);
        } else if (tag == Tag("FBLL") || tag == Tag("BILL")) {
            r.pos += 4;
            ReadBBoard(r, tag, false);
        } else {
            return;  // the end of the file, or bytes that are no chunk
        }
    }
}

}  // namespace objfile
