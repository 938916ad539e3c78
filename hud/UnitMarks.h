// The overlay services the object types, the cockpit overlay, the instruments and the view renderer
// share: crosshair and sprite squares on the screen, the same squares and circle markers at a point of the
// world sized by its distance, two segmented gauges, the green tint over the secondary views and the noise
// film over a view whose overlay object is not current.
//
// Screen positions are pixels with y counted up from the bottom edge; world points are three 16.16 words.
// Each call draws at once and leaves its last vertex colour as the text colour. A brightness v gives the
// colour (0, 255 v >> 8, 128 v >> 8): the instrument green at 256.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}
struct TFView;
struct UnitShare;
struct ViewPort;
struct construct;

// Stores whether the player view looks from inside the unit.
void SetUnitViewFlag(TFView* view, int inside);

// The unit's crosshair centred on a screen point / at a world point (nothing without a crosshair).
void DrawUnitCrosshair(UnitShare* rec, int32_t x, int32_t y, int32_t brightness);
void DrawUnitCrosshairAt(UnitShare* rec, const int32_t point[3], int32_t brightness);
// A crosshair surface in the brightness colour: on the screen (opaque), at a world point (alpha 0).
void DrawCrosshair2D(host::GfxSurface* surface, int32_t x, int32_t y, int32_t brightness);
void DrawCrosshairAt(host::GfxSurface* surface, const int32_t point[3], int32_t brightness);
// A textured square 139 pixels across its vertex columns, centred on (x, y), blended, z-buffer off.
void DrawSprite2D(host::GfxSurface* surface, int32_t x, int32_t y, const uint8_t rgb[3]);
// A textured square at a world point of the current view, half size 18000 world units, drawn just in
// front of the point's depth; nothing for a point at or behind the near plane or outside the view.
void DrawSpriteAt(host::GfxSurface* surface, const int32_t point[3], const uint8_t rgba[4]);
// A circle around a world point of the current view, radius size world units, in the brightness colour;
// nothing for a point at or behind the near plane or outside the view.
void DrawMarkerCircleAt(const int32_t point[3], int32_t size, int32_t brightness);

// A stack of slanted bars left of x from y upward, one per 16 units of the maximum: value >> 4 full ones
// coloured by value / maximum (green from 0.4, yellow from 0.2, red below), the rest dark.
void DrawSlantGauge(int32_t x, int32_t y, int32_t value, int32_t maximum);
// A row of bars 10 pixels apart right of x, hanging down from y, one per 16 units of the maximum, the full
// ones coloured by the value itself (green from 40, yellow from 20, red below).
void DrawBarGauge(int32_t x, int32_t y, int32_t value, int32_t maximum);

// The green tint over a view's rectangle (the renderer draws it over every view but the main one).
void DrawViewTint(const ViewPort* view);
// The noise film over a view's rectangle, drifting a little every call.
void DrawViewNoise(const ViewPort* view);
// The film's texture offsets, kept between frames; each wraps back by 1.0 once it passes 1.0.
extern float NoiseScrollU;
extern float NoiseScrollV;

// The brightness colour's red, green and blue.
void BrightnessColour(int32_t brightness, uint8_t rgb[3]);
