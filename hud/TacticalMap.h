// The tactical map's picking and framing (the unit and the ground under the pointer, the selection box,
// the highlight, the outside camera turned onto the highlighted units), its state across frames, the
// extra view windows that both the map and the player's view open, and the player view's own state.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

struct AUDef;
struct ConstructPool;
struct TFView;
struct ViewPort;
struct construct;

// The tactical map's state across frames (screen pixels, y up from the bottom edge).
extern int32_t WayPointerSet;        // a destination was placed by the current press
extern int32_t RotateDrag, RotateDragStart[2];
extern int32_t ZoomDrag, ZoomDragStart[2];
extern int32_t MapBoxArmed, MapBoxStart[2];
extern int32_t MapBoxActive;          // a selection box is being drawn
extern int32_t MapBoxCorners[4][3];   // the ground points under the box's corners
extern int32_t PointConfirmLatch, PointCancelLatch;

// The player view's state.
extern construct* LastPlayerUnit;   // the unit the player last left by hand
extern int32_t ActionActive;        // the player works on ActionTargetAU in this call
extern int32_t ActionIndicator;     // -1 while an action progresses, 100 when it completed
extern int32_t RadiationClickTimer; // ticks to the next radiation click
extern construct* CurrentNavPoint;  // the selected construct of the pool "nav", or null

// What the player's view needs of the networked game, installed by the level build: the chat line's
// sender and the two countdowns to a networked level's end (null: none).
extern void (*ChatLineSender)(const char* text, intptr_t user);
extern int32_t* NetEndCountdowns;  // two counters
// Both frames' state as a level starts: no drag, no box, no latch, no nav point, no action.
void ResetPlayerInputState();

// Turns the outside camera onto the highlighted members, looking along their mean heading.
void FrameHighlightedUnits(TFView* view);
// Highlights the unit (or the formed group it is in). Without add and keep the highlight is cleared
// first; with add an already highlighted unit (or group) is taken out of the highlight instead.
void HighlightTFUnit(TFView* view, construct* unit, int add, int keep);
// The construct of the pool whose projected bounding sphere (and, with sub-spheres, one of those) holds
// the screen point; null when none does.
construct* PickUnitAtPointer(ViewPort* vp, int32_t x, int32_t y, ConstructPool* pool);
// Highlights the player clan's members whose projected centre lies strictly inside the rectangle.
void BoxHighlightTFUnits(TFView* view, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Follows the ray through the screen point from the camera in steps of 2048 world units (at most 500):
// the first non-zero terrain classification (1 under ground, 2 over the upper surface, 3 inside a stacked
// construct, 4 under water) with the point reached, or 0 when the ray met nothing.
int PickGroundAtPointer(ViewPort* vp, int32_t x, int32_t y, int32_t point[3]);
// OpenWatchView with the target the window watches (drawn over it); null when a window of this
// construct, kind and target is open already or no window is free.
ViewPort* OpenWatchViewWithOverlay(construct* con, ItfcMethod method, int kind, ViewPort* share,
                                   construct* target);
// The point of a move order picked at a screen point on the large map (the map's page is a square of
// the surface's height, x and z running from the far edge), held on the terrain.
void MapPagePoint(int32_t x, int32_t y, int32_t point[3]);
