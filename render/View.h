// The current view: what RenderView sets for each view and the drawing of that view reads.
#pragma once

#include <cstdint>

#include "core/Fix3D.h"

// Camera position, 16.16 world units.
extern FixVec EyePos;
// Camera orientation, 1.15; row 0 is the camera's right axis in world coordinates.
extern FixMatrix ViewMatrix;
// The viewport's screen centre, as integers and as floats.
extern int32_t ViewCentreX, ViewCentreY;
extern float ViewCentreXF, ViewCentreYF;
// Right minus left and bottom minus top of the viewport rectangle.
extern int32_t ViewWidth, ViewHeight;
// Camera-space depth below which nothing is drawn (500).
extern int32_t NearPlane;

// 1 when a camera-space point lies outside the view frustum (before the near plane or beyond the side,
// top or bottom planes of a focal length of 1024), else 0.
int PointOutsideFrustum(const FixVec* p);
// Installs this view state as the eye that ProjectWorldPoint looks through: the eye position, the
// projection matrix (so a point lands where the view's focal length draws it) and the screen centre.
void InstallProjectionEye();

// Draws a ribbon 3000 units wide between two world points (16.16) in the current view, clipped at the
// near plane: dark blue along the points, grey along the far edge.
void DrawSegment3D(const int32_t from[3], const int32_t to[3]);

// ---- The rest of the current view, set by RenderView for each view ----------------------------------

struct ViewPort;
struct SkyCell;
struct ScapeBoard;
struct construct;
struct TerrainCornerRef;

// ViewMatrix with row 0 times FocalX and row 1 times FocalY (each >> 10): an eye-relative vector times
// it gives (x times focal, y times focal, depth).
extern FixMatrix ProjMatrix;
extern int32_t FocalX, FocalY;
extern construct* ViewTarget;
extern ViewPort* CurrentViewPort;
extern SkyCell* ViewSkyCell;
extern uint8_t ViewOverlayFlag;
extern uint8_t ViewEdgeEvents;
extern int32_t ViewShadowRange;
extern uint8_t ViewColour[4];        // base ambient colour red, green, blue
extern const int32_t* ViewLODTable;    // four level-of-detail depths, levels 0..3
extern const int32_t* ViewMorphTable;  // the reflection pass's four morph distances
extern uint8_t ViewWaterColour[3];   // the colour of the water surface in this view

// Pass flags.
extern int32_t MainPassFlag;
extern int32_t ReflectPassFlag;
extern int32_t ConstructOverflow;

// Construct collection of the current view.
constexpr int kConstructEntryStore = 1024;
constexpr int kConstructEntryLimit = 1014;
extern int32_t CollectCount;
// The constructs flagged 0x8000000, drawn directly rather than with the terrain (made by level building).
struct ConstructPool;
extern ConstructPool* DirectDrawPool;

// A board cell routine of the traversal.
using BoardCellRoutine = void (*)(ScapeBoard* board, ScapeBoard* other, int32_t column, int32_t row,
                                  int32_t reflection);

// Refreshes every scape board from the terrain (after the terrain or the water levels changed).
void UpdateAllScapeBoards();
// Draws every active camera's view (kind 0), once per frame.
void RenderAllViews(int32_t kind = 0);
// Draws one view.
void RenderView(ViewPort* vp, int32_t kind);
// Sets each cell's eye-space origin for the current view (and the top board's alike).
void SetBoardEyeTransform(ScapeBoard* board, ScapeBoard* topBoard);
// Visits every inner cell of the board once, back to front; the camera's cell last.
void TraverseBoard(ScapeBoard* board, ScapeBoard* other, int32_t reflection, BoardCellRoutine routine);
// Links the visible constructs into the board's cell quarters.
void CollectBoardConstructs(ScapeBoard* board, int32_t reflect);
// Links a construct into the board's quarters under its anchor points; returns the quarters it got.
// The entry store is fixed: when it is full the anchor is dropped and ConstructOverflow is set.
int AnchorConstruct(ScapeBoard* board, construct* con);
// Draws a construct when the last quarter it is anchored in has been finished.
void ScheduleConstructDraw(construct* con, int32_t reflect, int32_t terrainDrawn);
// Clear every stored copy of CellStamp, ViewStamp, and the two stamps of a point list.
void ResetCellStamps();
void ResetVertexStamps();
void ClearListStamps(void* list);
