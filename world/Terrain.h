// The terrain matrix: a grid of tiles, each either one of sixteen flat tiles or a tile definition of
// 16 x 16 sub-points in the TileDefPool, with an optional second tile layer (the TopTileField) above it.
// Every sub-point carries a ground height, an optional second surface, surface flags and access bits.
// The queries here answer for any position: outside the grid the four edge modes apply.
//
// Units: a tile is 65536 world units (16.16), a sub-point 4096, a quarter tile 32768. Positions are
// (x, y, z) with y up. Tile entries are numbered x x width + z, so x runs over the matrix's height
// (MatrixTilesX) and z over its width (MatrixTilesZ); every function here holds to that, whatever the
// shape of the map.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}
struct construct;
struct StatLink;
struct CollideNode;

// Sub-point flag bits.
enum : uint16_t {
    kSubSolid = 0x8000,       // solid ground present
    kSubSecond = 0x4000,      // a second surface exists; bits 0..11 hold its height
    kSubUpperOption = 0x2000, // surface option (statics standing on statics)
    kSubBlocked = 0x1000,     // surface option (blocked for movement)
};

// A sub-point of a tile definition, also the head of a flat tile.
struct SubPoint {
    int16_t height;  // ground height in units of 8 world units
    uint16_t flags;  // kSub* bits; bits 0..11 the second surface (signed, units of 128) with kSubSecond
    uint8_t access;  // access bits for movement; 0x80 marks a sub-point set by the fix-up passes
    uint8_t unset;
};
static_assert(sizeof(SubPoint) == 6);

// A flat tile: one sub-point for the whole tile and the noise widths of its colour.
struct FlatTile {
    SubPoint head;
    uint8_t noise[3];  // red, green, blue noise widths
    uint8_t unset;
};

constexpr int kMaxFlatTiles = 16;
constexpr int kTileSubPoints = 256;       // 16 x 16 sub-points per definition
constexpr int32_t kSubPointBytes = 6;     // a definition's byte offsets count 6 bytes per sub-point
constexpr uint16_t kNoTexture = 0xFFFF;

// One tile of a tile layer.
struct TileFieldEntry {
    int32_t def;              // byte offset of the definition in the TileDefPool, or -k for flat tile k
    uint16_t tex[4];          // texture table number per quarter (quarter order below), kNoTexture none
    StatLink* stats[4];       // per quarter: the statics standing on it
    uint32_t stamps[4];       // per quarter: the collision pass for which collide[] is valid
    CollideNode* collide[4];  // per quarter: the constructs the collision pass saw in that tick
};

// Quarter index of a quarter tile: (x half-tile & 1) + 2 x (z half-tile & 1).
inline int QuarterIndex(int32_t xq, int32_t zq) { return (xq & 1) + 2 * (zq & 1); }

struct matrix {
    int32_t width;      // tiles along z
    int32_t height;     // tiles along x
    int32_t flatCount;  // flat tiles in use
    FlatTile flat[kMaxFlatTiles];  // flat tile k in slot k - 1
    TileFieldEntry* tileField;     // width x height entries ("matrix tile field")
    TileFieldEntry* topTileField;  // the upper layer, same layout, or null
    int32_t tileDefPoolSize;       // bytes, 6 per sub-point
    int32_t accessKind;            // read with the tile definitions
    SubPoint* tileDefPool;         // per definition 256 sub-points, index = z sub-index x 16 + x sub-index
};

inline int32_t MatrixTilesX(const matrix* m) { return m->height; }
inline int32_t MatrixTilesZ(const matrix* m) { return m->width; }
inline int32_t TileDefPoolEntries(const matrix* m) { return m->tileDefPoolSize / kSubPointBytes; }

// Edge modes, by the level rules "matrix_address_north" (x below 0), "..._south" (x at or beyond the
// end), "..._west" (z at or beyond the end) and "..._east" (z below 0).
enum MatrixAddressMode : int32_t { kAddressWrap = 0, kAddressMirror = 1, kAddressClamp = 2, kAddressClone = 3 };
enum MatrixEdge : int { kEdgeNorth = 0, kEdgeSouth = 1, kEdgeWest = 2, kEdgeEast = 3 };
constexpr int32_t kDefaultMatrixAddress = kAddressClone;  // the level build's default for all four edges

extern matrix* CurrentMatrix;
extern int32_t TopTileFieldPresent;       // the level has a TopTileField
extern int32_t offmatrixclone_idx;        // slot (0..15) of the flat tile read outside the grid
extern int32_t MatrixAddressModes[4];     // by MatrixEdge
extern int32_t WaterLevel[4];             // per quadrant, units of 8 world units
extern int32_t WaterMark[2];              // the quadrants' split point (x, z)

constexpr int32_t kNoWaterLevel = static_cast<int32_t>(0x80000000u);
// The largest water level (units of 8 world units) a level takes: far above any terrain, and 8 times it
// still leaves room for the arithmetic on heights.
constexpr int32_t kMaxWaterLevel = 1 << 20;
constexpr int32_t kNoUpperBound = 2147483647;

// An empty record (sizes and pointers 0, purpose "matrix cell"); clears TopTileFieldPresent.
matrix* CreateMatrix();
// Frees TileField, TopTileField, TileDefPool and the record; null is ignored.
void FreeMatrix(matrix* m);
// The edge mode of a name: "WRAP", "MIRROR", "CLAMP", "CLONE"; anything else is fatal.
int32_t NamedMatrixAddress(const char* name);
// Puts the edge modes, water levels, split point, clone slot and the accessible-map filter back to the
// level's start values.
void ResetMatrixGlobals();

// Maps tile coordinates into the grid by the edge modes; returns the crossed-edge mask (1 x below 0,
// 2 x beyond, 4 z below 0, 8 z beyond). A clone result (or a matrix without tiles) sets *clone.
int MatrixAddress(const matrix* m, int32_t zt, int32_t xt, int32_t* outZ, int32_t* outX, int* clone,
                  int* mirroredZ, int* mirroredX);

// The tile entry of a layer (0 first, 1 top) at tile coordinates inside the grid, else null.
TileFieldEntry* MatrixEntry(const matrix* m, int top, int32_t xt, int32_t zt);
// The second surface's height of a sub-point with kSubSecond, in world units.
inline int32_t SecondSurfaceHeight(const SubPoint* sp) {
    return static_cast<int32_t>(static_cast<int16_t>(static_cast<uint16_t>(sp->flags << 4)) >> 4) * 128;
}

// The flat tile at a position, or null when the tile has a definition; outside the grid the clone tile.
FlatTile* FlatCellAt(matrix* m, const int32_t pos[3], int top, int centred);
// The sub-point at a position (flat tiles give their head); null when the layer does not exist.
SubPoint* SubPointAt(matrix* m, const int32_t pos[3], int top, int centred);

// Classifies a position: 0 free, 1 below the ground, 2 above the upper layer's bound, 3 inside the band
// of a static (returned in *out), 4 under water (waterLevel in units of 8, kNoWaterLevel for none).
int CheckMatrixPosition(matrix* m, const int32_t pos[3], construct** out, int32_t waterLevel);

// Sub-point heights in world units; *flags (may be null) receives the ground flags word.
int32_t GroundHeight(matrix* m, const int32_t pos[3], int top, int centred, uint32_t* flags);
int32_t GroundHeightLower(matrix* m, const int32_t pos[3], int top, int centred, uint32_t* flags);
int32_t GroundHeightTop(matrix* m, const int32_t pos[3], int top, int centred, uint32_t* flags);
// The ground height interpolated between the four sub-points around the position.
int32_t InterpGroundHeight(matrix* m, const int32_t pos[3], uint32_t* flags);
// The first layer's interpolated height; *top receives the TopTileField's (kNoUpperBound without one).
int32_t InterpGroundHeights(matrix* m, const int32_t pos[3], int32_t* top, int lowerOption, int upperOption);

// Stat-link lists of quarter tiles (half-tile coordinates, through the edge modes); null when the
// quarter reads the clone tile or the layer does not exist.
StatLink* MatrixQuarterList(matrix* m, int32_t xq, int32_t zq);
StatLink** MatrixQuarterListAddr(matrix* m, int32_t xq, int32_t zq);
StatLink** MatrixUpperQuarterListAddr(matrix* m, int32_t xq, int32_t zq);

// Access passes (first layer, world x and z).
int AccessBlocked(matrix* m, int32_t x, int32_t z, uint32_t flagMask, uint32_t accessMask);
// ORs the bits into a definition's sub-point; returns 1 when it marked one (flat tiles are left alone).
int MarkAccess(matrix* m, int32_t x, int32_t z, uint32_t flagBits, uint32_t accessBits);
// One round of the five fix-up passes over the rectangle; returns the number of marks.
int FixAccessFlags(matrix* m, uint32_t testMask, uint32_t markBits, int32_t x0, int32_t z0, int32_t x1,
                   int32_t z1);
// Repeats FixAccessFlags with (10, 8), then (14, 4), then (13, 1), each until it marks nothing or 20
// times, over the square of half-side around (x, z); the three passes are chosen by the mask bits.
void RunAccessPasses(matrix* m, int32_t x, int32_t z, int32_t halfSide, int pass8, int pass4, int pass1);

// The image of the matrix, one pixel per sub-point (fix-up marks white, masked sub-points tinted);
// clears every fix-up mark. Returns a new surface.
host::GfxSurface* ExportMatrixImage(matrix* m, uint32_t flagMask, uint32_t accessMask);
// The same pixels (0xAARRGGBB, row by row by z, x from the right edge) without a surface.
void ExportMatrixPixels(matrix* m, uint32_t flagMask, uint32_t accessMask, uint32_t* pixels);

// The water level (units of 8 world units) of the quadrant that holds (x, z).
int32_t WaterLevelAt(int32_t x, int32_t z);
