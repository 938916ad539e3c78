// Flat 2D shapes drawn at once over the screen: lines, rectangle outlines, opaque, translucent and shaded
// rectangles, and a bevelled panel. Coordinates are pixels with y counted up from the bottom edge (a point
// at y lies on surface row ScreenHeightF - y). Colours are byte records R, G, B (opaque primitives) or
// R, G, B, A (A 255 opaque). Texture stage 0 is the caller's: normally no texture.
//
// Each call leaves the last vertex colour it built as the current text colour (CurrentColour), so text
// drawn next without a SetTextColor takes that colour. The z-buffer state is restored; the blend states
// are touched only when the colour asks for blending and are then reset to ONE / ONE, blending off.
#pragma once

#include <cstdint>

// Line from (x0, y0) to (x1, y1), opaque, z-buffer off.
void DrawLine2D(const uint8_t* rgb, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Closed outline of the rectangle, opaque, z-buffer off.
void DrawRect2D(const uint8_t* rgb, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Filled rectangle, opaque, z-buffer off.
void FillRect2D(const uint8_t* rgb, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Filled rectangle at half brightness, blended when A < 255; it reaches x1 + 1 and y1 - 1.
void FillRectAlpha2D(const uint8_t* rgba, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Filled rectangle with a left-to-right ramp from c1 (alpha 192) to c2 at half brightness (alpha 192), or,
// without c2, to c1 at half brightness with c1's alpha; blended when c1's A < 255.
void FillShadedRect2D(const uint8_t* c1, const uint8_t* c2, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Panel with the top-left and bottom-right corners cut by 8 pixels, filled (blended when A < 255), then
// outlined opaquely. left < right, top > bottom.
void DrawBevelPanel2D(const uint8_t* rgba, int32_t left, int32_t top, int32_t right, int32_t bottom);
