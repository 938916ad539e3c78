// Scape boards: a camera's moving window onto the terrain matrix. A board is a square grid of tile cells
// centred on the construct the camera follows; each cell holds the 16 x 16 terrain vertices of one
// matrix tile in the form the terrain renderer draws (height, normal, colours, stamps and the per-view
// screen results), the height bounds of the cell, its quarters and its 4 x 4 sub-blocks, the textures and
// statics of its quarter tiles and the point lights that touch it. The board scrolls cell by cell with
// the camera and is refilled where the terrain changes.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"

struct construct;
struct Tex;
struct matrix;
struct PointLight;
struct StatLink;
struct FlatTile;

constexpr int kMaxBoardSize = 64;
constexpr int kCellSide = 16;                          // vertex steps per cell side
constexpr int kCellVertices = kCellSide * kCellSide;  // vertices of an inner cell
constexpr int kEdgeCellVertices = kCellSide + 1;      // vertices of an edge cell of the extra column or row
constexpr int kCornerCellVertices = 2;
constexpr int kMaxCellLights = 3;

// Vertex flag bits.
constexpr uint8_t kVertexCoarse = 0x01;   // fully morphed onto its parent edge this frame
constexpr uint8_t kVertexMorphed = 0x04;  // height or colour blended this frame; counts as land
constexpr uint8_t kVertexSurface = 0x08;  // the vertex has a surface
constexpr uint8_t kVertexMarkMask = 0x0C; // marked for the marked cell routines

// One terrain vertex of a board. Every board keeps the reflection fields, so one record serves the
// plain boards and those of a viewport with full water reflection alike.
struct BoardVertex {
    int16_t height;        // units of 8 world units; -1 no surface
    uint16_t landStamp;    // ViewStamp of the last land transform
    int8_t normal[3];      // 127 = 1.0
    uint8_t flags;         // kVertex* bits
    uint8_t lit[3];        // lit colour; with a top tile field the intensities of the cell's lights
    uint8_t cellStamp;     // CellStamp of the last lighting
    uint8_t colour[3];     // drawn colour
    uint8_t pad;
    ScreenPointF screen;   // screen x, y (from the bottom) and depth; depth -1.0 before the near plane
    uint8_t specular[3];   // the water glint
    uint8_t baseRed;
    uint16_t waterStamp;   // ViewStamp of the last water transform
    uint8_t baseGreen;
    uint8_t baseBlue;
    ScreenPointF mirror;   // the reflection pass's screen position
    uint16_t mirrorStamp;  // ViewStamp of the last reflection transform
    uint8_t mirrorColour[3];
};

// A terrain corner handed to the patch renderers and the cell routines.
struct TerrainCornerRef {
    BoardVertex* vertex;
    int32_t x, y, z;  // eye-space position of the corner's ground point (height 0)
    int32_t u, v;     // grid indices within the cell, 0..16; 8 is one texture repeat
};

// Height bounds of a cell, quarter or block. Water flags: bit 0 some sample above the water level, bit 1
// some sample below it (counted at the water level).
struct CellBounds {
    int16_t lowest, highest;
    uint8_t flags;
};

// This view's list of the constructs anchored in a quarter.
struct ConstructEntry {
    construct* con;
    ConstructEntry* next;
};

struct CellQuarter {
    CellBounds bounds;
    StatLink* statics;         // the tile's stat-link list of this quarter (first construct list)
    ConstructEntry* entries;   // this view's anchored constructs (second construct list)
    ConstructEntry* tail;
    Tex* texture;              // or null
};

struct CellLight {
    int32_t x, y, z;            // relative to the tile's corner; y the light's world height
    const int32_t* colour;      // three signed 32-bit values
    int32_t shift;              // radius 2^shift
};

struct TileCell {
    int32_t level;           // 4 inner cell, 0 edge cell
    BoardVertex* vertices;   // 256, 17 or 2
    CellBounds* bounds;      // whole cell (null in edge cells)
    CellQuarter* quarters;   // four (null in edge cells)
    CellBounds* blocks;      // sixteen, column block + 4 x row block (null in edge cells)
    TerrainCornerRef corner; // the current vertex pointer and this view's eye-space origin of the corner
    int32_t waterU, waterV;  // water texture offsets
    int32_t lightCount;
    CellLight lights[kMaxCellLights + 1];
    int32_t waterLevel;      // height units
    uint8_t flat;            // built from a flat tile or a hole
    uint8_t hole;            // no surface: no pass draws it
    uint8_t mixedStatics;
    uint8_t hasConstructs;   // constructs were anchored in it this view
    uint8_t markedStatic;    // a static with flag 0x10000000 stands on it
};

struct ScapeBoard {
    int32_t originColumn, originRow;  // matrix tile of grid cell (0, 0)
    int32_t width, height;            // inner cells, at most 64 each
    construct* followed;              // the camera's construct
    int32_t padding;                  // cells the camera keeps from each edge
    int32_t topField;                 // 1 for a board built from the top tile field
    TileCell** cells;                 // (width + 1) x (height + 1), index (width + 1) x row + column
    int32_t vertexStride;             // 36, or 56 with full water reflection
};

inline TileCell* BoardCell(const ScapeBoard* b, int column, int row) {
    return b->cells[(b->width + 1) * row + column];
}

// A board whose cells are allocated but not filled. Fatal for a size above 64 or a padding too large.
ScapeBoard* CreateScapeBoard(int32_t width, int32_t height, int32_t padding, int32_t topField,
                             int32_t reflectionType);
void FreeScapeBoard(ScapeBoard* board);  // null accepted
TileCell* CreateTileCell(ScapeBoard* board, int32_t level);
TileCell* CreateEdgeCell(ScapeBoard* board, int32_t count);
void FreeTileCell(TileCell* cell);

// Re-centres the board on its construct and refills every cell.
void UpdateScapeBoard(ScapeBoard* board, matrix* terrain);
// Keeps the board centred on its construct, refilling only what scrolled in.
void ScrollScapeBoard(ScapeBoard* board, matrix* terrain);
// Refills the cells a world rectangle touches (widened by three sub-points).
void RefreshBoardRegion(ScapeBoard* board, matrix* terrain, int32_t x0, int32_t z0, int32_t x1, int32_t z1);
void RefreshBoardTiles(int32_t x0, int32_t z0, int32_t x1, int32_t z1);
void UpdateAllScapeBoards();
// Fills a cell from the matrix tile at origin + (column, row).
void FillBoardCell(ScapeBoard* board, TileCell* cell, int32_t column, int32_t row, matrix* terrain);
// Installs the cell at (column, row), gathers its lights, links neighbours' data and builds its vertices
// from the flat tile when given (else shades the vertices FillBoardCell wrote).
void SetBoardTile(ScapeBoard* board, int32_t column, int32_t row, TileCell* cell, const FlatTile* flat);
void ComputeCellBounds(ScapeBoard* board, int32_t column, int32_t row);
void WidenBoundsRight(ScapeBoard* board, int32_t column, int32_t row);
void WidenBoundsDown(ScapeBoard* board, int32_t column, int32_t row);
// Normal (and light intensities) of a vertex from its height gradient.
void ComputeVertexShading(BoardVertex* v, const FixVec* gradient, int32_t sign, const CellLight* lights,
                          int32_t lightCount, int32_t column, int32_t row, int32_t waterLevel);
