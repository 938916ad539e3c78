// Terrain drawing: the current cell that the board cell routines publish, the per-vertex services
// (geomorph, view-volume tests, lighting, the water glint), lighting from light lists, the recursive
// patch renderers and the board cell routines that the traversal calls.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"
#include "render/ScapeBoard.h"

struct DirLight;

// ---- Current cell (valid from a cell routine's start to the end of its patch call) -----------------

constexpr int kMaxPatchLights = 200;

// A point light gathered near the current cell.
struct PatchLight {
    uint8_t shift;       // range 2^shift world units
    int32_t pos[3];      // relative to the cell's world corner at height 0
    int32_t colour[3];
};

struct PatchLightList {
    int32_t count;
    PatchLight light[kMaxPatchLights];
};

// Static light list of a cell, as the light-list lighting reads it.
struct CellLightList {
    int32_t count;
    const CellLight* lights;
};

// One board's current cell: the cell, its neighbours and its bounds.
struct CurrentCellState {
    TileCell* cell;
    TileCell* right;
    TileCell* lower;
    TileCell* lowerRight;
    CellLightList lists[3];  // own, right neighbour, lower neighbour
    PatchLightList* patchLights;
};

extern CurrentCellState CurCell;   // the primary board's
extern CurrentCellState CurCell2;  // the secondary board's (two-surface routine)
extern int32_t CellCulled, CellDone, Cell2Culled;
extern FixVec CellCorner;              // the cell's world corner (column x 65536, 0, row x 65536)
extern int32_t CellEyeX, CellEyeZ;     // that corner minus EyePos, along x and z
extern int32_t CellWaterLevel;         // height units
extern FixVec WaterPlaneOffset;        // eye-space offset from a ground point to the water plane
extern PatchLightList PatchLights, PatchLights2;
extern int32_t TexWrapU, TexWrapV;     // the cell routines' texture coordinates start at the sub-tile
extern uint8_t LightAmbient[3];        // ambient colour of the light-list lighting
extern int32_t PatchState[2];

// The level's sun; null until the level makes it.
extern DirLight* SunLight;
// The level's water as the water passes read it: the colour bytes of the level rules "WaterColour" and
// "WaterSpecularBias", the rule "WaterTransparent", and whether two-texture (specular) water is on.
// They are the level's own settings under the renderer's names, so what the level build reads and what
// a loaded saved game restores is what is drawn. The water textures are the level's WaterTex and
// WaterTex2.
extern uint8_t (&LevelWaterColour)[3];
// The level rule "AmbientLighting": the base colour every view starts its lighting from (the time of
// day hands it to the viewports with the sun).
extern uint8_t (&LevelAmbientColour)[3];
extern uint8_t (&LevelWaterSpecularBias)[3];
extern int32_t& LevelWaterTransparent;
extern int32_t& LevelSpecularWater;

// ---- Vertex morph, clip and light ------------------------------------------------------------------

// Blends a new vertex of the given level between its parents A and B by dist; 1 when it was placed on
// the parents' midpoint (coarse). Height and colour (three bytes) are in-out; the lit colours of A and B
// are blended.
int MorphVertex(int32_t* height, uint8_t* colour, BoardVertex* v, int32_t dist, int32_t level,
                const BoardVertex* a, const BoardVertex* b);
// The same, blending the drawn colours in place.
int MorphVertex2(int32_t* height, BoardVertex* v, int32_t dist, int32_t level, const BoardVertex* a,
                 const BoardVertex* b);
// 1 when a patch of side 65536 >> level at eye-space corner origin, spanning heights lowest..highest,
// may be visible.
int ClipTerrainPatch(int32_t level, const TerrainCornerRef* origin, int32_t lowest, int32_t highest);
int ClipWaterPatch(int32_t level, const TerrainCornerRef* origin, int32_t waterLevel);
// Lights a land vertex by the view's ambient colour, the sun and PatchLights.
void LightPatchVertex(const TerrainCornerRef* corner);
// The sun's glint on a water vertex.
void LightWaterVertex(const TerrainCornerRef* corner);
// Lights a vertex from the ambient colour, the owner cell's static lights (0 own, 1 right, 2 lower) and
// the gathered point lights; the second form uses the secondary board's lists.
void LightVertexFromLists(const TerrainCornerRef* corner, int32_t owner);
void LightVertexFromLists2(const TerrainCornerRef* corner, int32_t owner);
// Eye-space position of a corner's vertex (ground point raised by its height) and its projection into
// the given screen fields; screen depth -1.0 before the near plane.
void ProjectCornerVertex(const TerrainCornerRef* c, int32_t height, ScreenPointF* out);

// ---- Recursive patches: (x, z, level, corners) ------------------------------------------------------

void DrawTerrainPatch(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
void DrawTerrainPatch2(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
void DrawTerrainPatch3(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
void DrawTerrainPatchMorph(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
void DrawTerrainPatchMorph2(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
void DrawWaterPatch(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
void DrawWaterPatch2(int32_t x, int32_t z, int32_t level, TerrainCornerRef* const* corners);
// The level-0 split of one surface of a two-surface cell (second: the secondary board's): the centre
// e[4] and the edge midpoints e[0..3] (between corners k and k + 1) are lit from the light lists,
// geomorphed and projected; when a midpoint is coarse the surface is drawn at once as the crack-free fan
// around the centre through its slot. Returns true when it drew the fan.
bool SplitCellSurface(bool second, TerrainCornerRef* const* corners, TerrainCornerRef* e);

// ---- Board cell routines ---------------------------------------------------------------------------

void DrawCellMain(ScapeBoard* board, ScapeBoard* other, int32_t column, int32_t row, int32_t reflection);
void DrawCellVariant2(ScapeBoard* board, ScapeBoard* other, int32_t column, int32_t row, int32_t reflection);
void DrawCellVariant3(ScapeBoard* board, ScapeBoard* other, int32_t column, int32_t row, int32_t reflection);
void DrawCellWater(ScapeBoard* board, ScapeBoard* other, int32_t column, int32_t row, int32_t reflection);
