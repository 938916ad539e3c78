// Geometry of objects: the Geom (points, faces of any vertex count, box, sphere, bricks, patches) and the
// billboard (a textured marker at a point of the geometry, optionally chained to further billboards).
//
// Points, box corners and sphere centres inside a Geom are in quarter world units; a 16.16 world offset
// is shifted right by 2 before it is applied to them.
#pragma once

#include <cstdint>

struct Tex;
struct TexAnim;
struct Plt;
struct construct;

// A point of a Geom.
struct GeomPoint {
    int32_t pos[3];         // quarter world units
    int32_t normal[3];      // 1.15
    uint8_t colour[3];      // red, green, blue
    uint8_t flags;          // 0x40 lit per vertex, 0x80 sphere-mapped (set by the face types)
    int32_t view[3];     // renderer: camera-space position (world units)
    float screen[4];     // renderer: screen x, y (from the bottom), depth and reciprocal depth
    uint8_t lit[4];      // lit colour R, G, B, A; the loader puts the file colour here
    uint8_t clear[3];    // zeroed
    uint8_t marker;      // own-colour byte: 1 for points of faces of type 3 or 7
    uint8_t lightSum[4]; // renderer: the light that reaches the point, R, G, B (>> 8, at most 255)
    float sphere[2];     // renderer: sphere-map u and v
    uint16_t stamps[2];  // renderer frame stamps: normal pass, reflection pass
};

// One vertex of a face.
struct FaceVertex {
    GeomPoint* point;
    float u, v;
};

// A face; its vertexCount FaceVertex records follow it directly in the Geom's face block.
struct GeomFace {
    uint8_t colour[3];
    uint8_t type;  // 0..15
    uint8_t lit[4];     // renderer: lit face colour R, G, B, A
    uint8_t spare[3];   // copied with the face by the clipper
    uint8_t extra;      // the file's extra byte (12 a sprite face, 9 a glow face drawn without depth test)
    int32_t normal[3];  // 1.15
    uint8_t render1[16];
    Tex* texture;  // faces of types 4 to 7, else null
    uint8_t vertexCount;
    uint8_t flags;  // 1 for types 1 and 5 (flat lit), 2 for the option bit (second texture stage)
    uint8_t alpha;  // renderer: the alpha the face is drawn with
    uint8_t spare2;
    int32_t nearZ, farZ;  // renderer: nearest and farthest camera z of the corners
};
static_assert(sizeof(GeomFace) % alignof(FaceVertex) == 0);

// Bytes a face of n vertices takes in a face block.
constexpr int FaceBytes(int n) {
    return static_cast<int>(sizeof(GeomFace) + sizeof(FaceVertex) * n);
}
inline FaceVertex* FaceVerts(GeomFace* f) {
    return reinterpret_cast<FaceVertex*>(f + 1);
}
inline const FaceVertex* FaceVerts(const GeomFace* f) {
    return reinterpret_cast<const FaceVertex*>(f + 1);
}
inline GeomFace* NextFace(GeomFace* f) {
    return reinterpret_cast<GeomFace*>(reinterpret_cast<uint8_t*>(f) + FaceBytes(f->vertexCount));
}

// The box block: eight local corners (order of BoxCornersToFaces), eight corners its users fill, 32 words.
struct BoxBlock {
    int32_t corners[8][3];  // quarter units
    int32_t world[8][3];    // world units, filled when a static is placed
    int32_t words[32];
};

// A bounding-sphere record ("bsphere2" records, the Geom's and the construct's sphere).
struct SphereRecord {
    int32_t stamp;      // tick counter for which the world centre was computed
    int32_t world[3];   // world centre, world units
    int32_t centre[3];  // local centre, quarter units
    int32_t radius;     // world units
};
static_assert(sizeof(SphereRecord) == 32);

struct bboard;

// A group of faces from the file's BSP.
struct GeomBrick {
    int32_t faceCount;
    GeomFace** faces;  // "brick face list"
    bboard* board;     // the billboard nearest to the brick's faces, or null
};

// A patch: either a list of faces or a list of points.
struct GeomPatch {
    int32_t unset;  // left as the file reader found it (zero)
    int32_t faceCount;
    GeomFace** faces;
    int32_t pointCount;
    GeomPoint** points;
};

constexpr int32_t kOffsetUnset = 2147483647;

struct Geom {
    int32_t pointCount;
    GeomPoint* points;  // "geom pt list"
    int32_t faceCount;
    GeomFace* faces;  // "geom face list": variable-size face records one after another
    BoxBlock box;
    SphereRecord sphere;
    int32_t brickCount;
    GeomBrick* bricks;      // "brick list"
    int32_t brickCapacity;  // entries of the brick list (the count the file declared)
    int32_t patchCount;
    GeomPatch* patches;       // "patch list"
    int32_t brickPtrCount;    // 0 after reading
    GeomBrick** brickPtrs;    // brickCount entries ("brick list")
    int32_t anchor[3];        // world units
    int32_t parentOffset[3];  // kOffsetUnset until a sub-construct attachment sets it
    int32_t attachRadius;     // distance of the anchor from the attachment point
};

// A texture made for an animated polygon billboard; shared by a billboard and its copies and deleted
// with the last of them.
struct DummyTex {
    Tex* tex;
    int32_t refs;
};

struct bboard {
    char name[24];                     // "<noname>" at creation
    int32_t pos[3];                    // quarter units; 0x80000000 in pos[0] when unset
    int32_t camPos[3];                 // renderer: camera position
    int32_t dir[3];                    // unit direction (1.15); 0x80000000 in dir[0] when none
    int32_t words[7];                  // renderer: camera-space direction, screen point, ...
    uint8_t colour[8];                 // 255 at creation: colour, then the lit colour
    TexAnim* anim;                     // shared, not owned
    Geom* geom;                        // the billboard's own geometry (owned) or null
    Plt* palette;                      // shared
    int32_t size1, size2;              // world units
    uint8_t options[3];                // the file's value 1, value 2 and extra byte
    uint8_t followPhase;               // zero at creation
    uint8_t alpha, shade, fixedFrame;  // 255 at creation
    uint8_t fixedColour;               // zero
    int32_t listValue;                 // the value read after "PLST"
    int32_t resolve;                   // 1 while the face list holds face numbers
    int32_t time, lastTime;            // zero at creation
    DummyTex* dummy;                   // shared texture for an animated polygon billboard, or null
    int32_t vertexCount;
    GeomPoint** vertices;  // points of the owning Geom ("vtx list")
    int32_t faceCount;
    uintptr_t* faces;   // face numbers until resolved, then GeomFace pointers
    int32_t drawAlpha;  // 255 at creation
    bboard* next;       // chained billboard (owned) or null
};

constexpr int32_t kUnsetCoord = static_cast<int32_t>(0x80000000u);

// Geoms.
Geom* CreateGeom(const char* purpose);
Geom* CreateUnnamedGeom();
// A deep copy (bricks are not copied).
Geom* CopyGeom(const Geom* g);
// Frees points, faces, bricks, patches, brick pointers and the record; null is ignored.
void FreeGeom(Geom* g);
// Frees each distinct non-null Geom of four slots once and clears the slots.
void FreeLODGeoms(Geom* slots[4]);
void SwapLODGeoms(Geom* a[4], Geom* b[4]);
// Appends a zeroed brick to the brick list the reader sized; fatal past that size.
GeomBrick* AddGeomBrick(Geom* g);
// The n-th face (n below 1 gives the first) / point; null past the end.
GeomFace* NthFace(Geom* g, int n);
GeomPoint* NthPoint(Geom* g, int n);
// The number of a face / point of g, or -1 when it is not one of g's.
int FaceIndex(const Geom* g, const GeomFace* f);
int PointIndex(const Geom* g, const GeomPoint* p);
// Writes the eight corners of the box between min and max in the corner order of the Geom's box.
void BoxCornersToFaces(int32_t corners[8][3], const int32_t min[3], const int32_t max[3]);
// Stores (a, b, c) and d after the record's first four words and stamps it with the tick counter - 1.
void SetBrickPlane(SphereRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);

// Billboards.
bboard* CreateBBoard();
// Frees the billboard with its own Geom, its chain, its lists and its share of the dummy texture.
void FreeBBoard(bboard* b);
// Copies a billboard chain; vertex and face references are mapped from src's Geom to the copy's Geom.
bboard* CopyBBoard(const Geom* src, const Geom* copy, const bboard* b);
// Turns the face numbers of b into faces of g; a number out of range is fatal.
void ResolveBBoard(Geom* g, bboard* b);
// The construct's billboard of exactly that name: null / fatal when missing.
bboard* FindBBoard(const construct* con, const char* name);
bboard* NamedBBoard(const construct* con, const char* name);
// Face i of a resolved billboard.
inline GeomFace* BBoardFace(const bboard* b, int i) {
    return reinterpret_cast<GeomFace*>(b->faces[i]);
}

// Exchanges the billboard lists / the sphere lists / the spot lists of two constructs.
void SwapBBoardLists(construct* a, construct* b);
void SwapConstructPair1(construct* a, construct* b);
void SwapConstructPair2(construct* a, construct* b);

// Wraps a texture into a shared dummy reference (one reference).
DummyTex* CreateDummyTex(Tex* tex);
