// Billboard drawing: lights, animates and draws the billboards of a construct: dummy-texture
// animations, point-list sprites facing the screen, point lists and textured quads along a direction,
// screen sprites; flares are queued and drawn after the scene where the depth buffer shows them.
#pragma once

#include <cstdint>

struct construct;
struct bboard;

// Colours, transforms and animates the construct's billboards and appends them to the list (at most
// the billboard list limit).
void CollectBBoards(construct* con, bboard** list, int* count);
// Draws one billboard (or queues it: flares always, sprites while the main pass runs).
void DrawBBoard(bboard* b);
// Draws a queued flare when the depth buffer does not hide its centre.
void DrawDeferredFlare(bboard* b);

// The billboard's renderer words: camera-space direction, screen point (x, y from the bottom, depth)
// and reciprocal depth.
const int32_t* BBoardCamDir(const bboard* b);
void BBoardScreen(const bboard* b, float out[4]);
