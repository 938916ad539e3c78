// Special routines: discs, flares, stars, filled rectangles, unit brackets, threat and radar markers and
// the clipped bitmap blit. Positions are screen pixels counted from the bottom.
#pragma once

#include "render/RenderTables.h"

// An off-screen bitmap: its size and its surface.
struct Bitmap {
    int32_t width, height;
    host::GfxSurface* surface;
};

// Bracket lines and group key labels: red, green, blue, alpha.
extern const uint8_t BracketColour[4];
// The colour of the threat count at a bracket (set by level building).
extern uint8_t ThreatCountColour[4];

void DrawFilledDisc(const float* centre, int32_t radius, const uint8_t* rgb);
void DrawFlareQuad(int32_t x, int32_t y, int32_t half, int32_t unused, const uint8_t* rgb,
                   host::GfxSurface* texture);
void DrawStarPoint(const float* position, int32_t brightness);
void DrawFilledRect(const uint8_t* rgba, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void DrawUnitBrackets(construct* unit, int16_t x, int16_t y, int32_t half);
void DrawThreatMarker(Tex* texture, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t s1, int32_t t1,
                      int32_t s0, int32_t t0);
void DrawRadarMarker(Tex* texture, const uint8_t* rgba, const int16_t* corners);
void BlitClipped(Bitmap* bitmap, int32_t x, int32_t y);
