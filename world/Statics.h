// Statics on tiles: the fixed store of stat-link nodes that lists the statics standing on each quarter
// tile, placing a static (linking it, setting its height from the ground and stamping its height field
// into the terrain's sub-points) and removing it again, and a few construct operations on the same
// geometry.
#pragma once

#include <cstdint>

struct construct;
struct matrix;

// A node of a quarter tile's list of statics; free while stat is null.
struct StatLink {
    construct* stat;
    StatLink* next;
};

constexpr int kMaxStatLinks = 5000;
extern StatLink StatLinks[kMaxStatLinks];

// The first free node, or null.
StatLink* AllocStatLink();
// Appends the static at the list's end and returns 1; 0 when head is null or the static is listed.
// Fatal when no node is free.
int LinkStatFromSfc(StatLink** head, construct* stat);
// Removes the static's node from the list and frees it.
void UnlinkStatFromSfc(StatLink** head, construct* stat);
// Frees every node (a new level starts with an empty store).
void ResetStatLinks();

// Where a static stands: x, y, z (16.16), a pitch and the yaw (16.16 radians).
struct StaticPlacement {
    int32_t x, y, z;
    int32_t pitch;
    int32_t yaw;
};

// Placement options (ORed into the static's flags).
enum : uint32_t {
    kStatUpperLevel = 0x2000,      // stands on another static
    kStatMode0 = 0x1000,           // access bits in mode 0 (else mode 1)
    kStatWholeTile = 0x10000,      // a 17 x 17 footprint over the whole tile (else 9 x 9 over a quarter)
    kStatBorderOnly = 0x20000,     // access bits only at the border
    kStatMode2 = 0x200000,         // access bits in mode 2
    kStatOriginalHeight = 0x4000000,  // height from the unit rule "originalheight"
};

// Level state the statics read: set by the level build for its duration and by the teardown.
extern int32_t LevelBuildingFlag;
extern int32_t LevelTeardownFlag;

// Places a static on its quarter tile (or whole tile): links it, sets its height and stamps its height
// field. A height field of another size than the footprint is fatal, as is a static with a height field
// on a flat tile.
void PutStaticOnTile(matrix* m, construct* stat, const StaticPlacement* at, uint32_t options, int32_t threshold,
                     int mark, uint32_t flagBits, uint32_t accessBits);
// Takes the height of a neighbouring building; returns 1 when it did.
int TileNeighbourTest(matrix* m, construct* stat);
// Removes what PutStaticOnTile stamped (and, with unlink, the static from the lists).
void RemoveStaticFromTiles(matrix* m, construct* stat, int unlink, uint32_t flagBits, uint32_t accessBits);
// Re-stamps the height field (gates): first-half / second-half options leave half of it low.
void StampStaticHField(matrix* m, construct* stat, const StaticPlacement* at, int32_t threshold, int keepFlat,
                       int firstHalf, int secondHalf);
// Called with the tiles (x0, z0 to x1, z1) whose heights a static changed outside the level's build, so
// that the terrain's drawing takes them again; the game binds it to the renderer's RefreshBoardTiles
// (game/LayerHooks.cpp).
extern void (*RefreshBoardTilesHook)(int32_t x0, int32_t z0, int32_t x1, int32_t z1);
// Places a static of any footprint size centred on its position.
void AlignStaticToTerrain(matrix* m, construct* stat, const StaticPlacement* at, uint32_t options,
                          int32_t threshold, int setOrientation, int mark, uint32_t flagBits, uint32_t accessBits);
// Removes what AlignStaticToTerrain stamped.
void UnstampStaticFootprint(matrix* m, construct* stat, int unlink, uint32_t flagBits, uint32_t accessBits);
// Lowers the second surface under a static (lifts) and tells the constructs on it.
void LowerSurfaceUnderStatic(matrix* m, construct* stat, const StaticPlacement* at, int32_t threshold,
                             int32_t height);

// Sets the shade byte of the construct, its sub-constructs and all their billboards.
void SetConstructShade(construct* con, uint8_t shade);
// Moves the construct's geometry so that its level-0 Geom's anchor becomes the origin.
void AnchorConstructGeoms(construct* con);
// Ground points under the construct and under two points at distance d along its x and z axes; returns
// the third point's height.
int32_t ComputeGroundPoints(construct* con, const int32_t orient[9], matrix* m, int32_t d, int32_t out[3][3]);

// The highest / lowest y of the construct's world corners, times 1020 / 1024.
int32_t MaxCornerHeight(const construct* con);
int32_t MinCornerHeight(const construct* con);
