// The cockpit overlay: once per frame, after the 3D scene, every 2D element over the player's view (the
// task-force view's full-screen pages, the task-force panel with its buttons, the clock, the map panel,
// the target marks, the frames of the extra view windows, the control-mode line, the action prompt and
// its progress bar, the view notice, the mission notices, the comm menu, the map view's selection box
// and the order marker). Apart from the panels' animation counters it changes no game state.
#pragma once

struct TFView;

// Draws the overlay of the view (the level's task-force view; null draws what needs no view). Leaves fog
// and alpha blending off and texture stage 0 empty.
void DrawHUD(TFView* view);
