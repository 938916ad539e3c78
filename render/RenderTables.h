// The renderer's screen vertex, its shared vertex scratch, the render mode and detail level, and the
// draw slots that every primitive goes through. The slots are filled from constant selection tables
// indexed by render mode and detail level; callers never choose a drawing routine themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/Dxgl.h"
#include "platform/ScreenVertex.h"

// Primitive kinds, valued as the device numbers them.
constexpr int32_t kPrimPointList = 1;
constexpr int32_t kPrimLineList = 2;
constexpr int32_t kPrimLineStrip = 3;
constexpr int32_t kPrimTriangleList = 4;
constexpr int32_t kPrimTriangleStrip = 5;
constexpr int32_t kPrimTriangleFan = 6;

// Shared scratch (game thread only).
constexpr int kScratchVertexCount = 128;  // routines that append stop at 127
extern ScreenVertex CurrentVertex;        // template a routine fills and copies into the scratch
extern ScreenVertex ScratchVertices[kScratchVertexCount];
extern int32_t LastPrimitiveType;  // primitive kind of the list being built
extern int32_t LastVertexCount;    // vertices in the list being built

// The render mode (only mode 5 has routines) and the detail level (0 outlines .. 3 full).
constexpr int32_t kRenderModeCount = 6;
constexpr int32_t kDetailLevelCount = 4;
constexpr int32_t kRenderModeD3D = 5;
extern int32_t RenderMode;
extern int32_t DetailLevel;

// The copy of the screen size (ScreenWidth, ScreenHeight) that the tactical map and the start-up code read.
extern int32_t DisplayWidth;
extern int32_t DisplayHeight;

// Records the routines draw from; their owners define them.
struct TerrainCornerRef;  // a terrain corner: board vertex, eye-space position, grid u, v
struct SkyVertex;         // a projected vertex of the sky dome
struct SkyCorner;         // a projected corner of a textured sky layer
struct SkyLayer;          // a textured sky layer
struct GeomFace;          // a lit and projected object face (world/Geom.h)
using ObjectFace = GeomFace;
struct construct;         // a placed object
struct Tex;               // an entry of the texture table
struct Bitmap;            // an off-screen bitmap with its surface

// Call forms of the slots.
using CellRoutine = void (*)(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c,
                             TerrainCornerRef* d);
using SkyQuadFn = void (*)(SkyVertex* const* corners);
using ObjectPolyRoutine = void (*)(ObjectFace* face);
using DiscFn = void (*)(const float* centre, int32_t radius, const uint8_t* rgb);
using FlareFn = void (*)(int32_t x, int32_t y, int32_t half, int32_t unused, const uint8_t* rgb,
                         host::GfxSurface* texture);
using StarFn = void (*)(const float* position, int32_t brightness);
using FillRectFn = void (*)(const uint8_t* rgba, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
using UnitBracketFn = void (*)(construct* unit, int16_t x, int16_t y, int32_t half);
using ThreatMarkerFn = void (*)(Tex* texture, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t s1,
                                int32_t t1, int32_t s0, int32_t t0);
using RadarMarkerFn = void (*)(Tex* texture, const uint8_t* rgba, const int16_t* corners);
using BlitFn = void (*)(Bitmap* bitmap, int32_t x, int32_t y);
using SkyTextureQuadFn = void (*)(SkyLayer* layer, SkyCorner* const* corners, const float* uv);

// One routine per object face type 0..9; position 4 is always null.
constexpr int kObjectFaceTypes = 10;
struct ObjectRoutineSet {
    ObjectPolyRoutine routine[kObjectFaceTypes];
};

// Selection tables: 24 entries indexed RenderMode * 4 + DetailLevel, or 6 indexed RenderMode.
constexpr int kRoutineTableSize = kRenderModeCount * kDetailLevelCount;
extern const std::array<CellRoutine, kRoutineTableSize> LandRoutineTable;
extern const std::array<CellRoutine, kRoutineTableSize> WaterRoutineTable;
extern const std::array<CellRoutine, kRoutineTableSize> DarkWaterRoutineTable;
extern const std::array<CellRoutine, kRoutineTableSize> MarkedLandRoutineTable;
extern const std::array<CellRoutine, kRoutineTableSize> MarkedRoutineTable;
extern const std::array<CellRoutine, kRoutineTableSize> MirrorRoutineTable;
extern const std::array<SkyQuadFn, kRoutineTableSize> SkyRoutineTable;
extern const std::array<ObjectRoutineSet, kRoutineTableSize> ObjectRoutineSetA;
extern const std::array<ObjectRoutineSet, kRoutineTableSize> ObjectRoutineSetB;
extern const std::array<DiscFn, kRenderModeCount> DiscRoutineTable;
extern const std::array<FlareFn, kRenderModeCount> FlareRoutineTable;
extern const std::array<StarFn, kRenderModeCount> StarRoutineTable;

// The draw slots.
extern CellRoutine LandCellRoutine;
extern CellRoutine MarkedCellRoutine;
extern CellRoutine WaterCellRoutine;
extern SkyQuadFn SkyQuadRoutine;
extern const ObjectRoutineSet* ObjectRoutines;
extern const ObjectRoutineSet* ObjectRoutinesB;
extern DiscFn DiscRoutine;
extern FlareFn FlareRoutine;
extern StarFn StarRoutine;
extern FillRectFn FillRectRoutine;
extern UnitBracketFn UnitBracketRoutine;
extern ThreatMarkerFn ThreatMarkerRoutine;
extern RadarMarkerFn RadarMarkerRoutine;
extern BlitFn BlitRoutine;
extern SkyTextureQuadFn SkyTextureQuadRoutine;

// Takes the screen size from the graphics device and selects render mode 5. Returns 1.
int InitRenderMode();
// The index of the 24-entry tables for the current render mode and detail level.
int RoutineTableIndex();
// Fills the draw slots for the current render mode and detail level; layered: the terrain has a top
// tile field (land from the marked tables, and the marked-cell slot is set; otherwise it keeps its value).
void InstallRenderRoutines(int layered);
// Sets the viewport and 2D clip rectangle (bottom-up corners x0, y0, x1, y1).
void SetViewportRect(int x0, int y0, int x1, int y1);
