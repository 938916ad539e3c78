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

// Draws a 3D line between two world points (16.16) in the current view. Not drawn yet: the view loop's
// line drawing is not built.
void DrawSegment3D(const int32_t from[3], const int32_t to[3]);

// Draws every active camera's view of the frame, with the overlays of the main view.
void RenderAllViews();
// Refreshes every scape board from the terrain (after the terrain or the water levels changed).
void UpdateAllScapeBoards();
