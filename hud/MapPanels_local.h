// What the map panels' files share: the placement of the map on the screen and the drawing every map
// does (the symbol sets, the own view marker, the page picture).
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}
struct TFView;

// Where the map lands on the screen: a map point (mx, mz) is drawn at x0 - offsetX + size scale (1 - mx
// / 32768), y0 - offsetY + size scale (1 - mz / 32768).
struct MapFrame {
    float offsetX, offsetY;
    float scale;
    int32_t size;
    int32_t x0, y0;
};

// The screen point of a world position (16.16 x and z).
void MapPoint(const MapFrame& f, int32_t x, int32_t z, float* sx, float* sy);
// The navigation points, icon objects, task-force members (at most 11) and the hostile units the player's
// side knows of (every unit of the other sides with the level rule "allhostilesvisible"). On the map panel
// the navigation points, icons and members stay inside the clip rectangle, the current navigation point
// blinks and the icons are coloured by side.
void DrawSymbolSets(TFView* view, const MapFrame& f, bool mapPanel);
// The main view's camera as a square turned along its view direction, 64 pixels from corner to corner.
void DrawOwnViewMarker(TFView* view, const MapFrame& f);
// A page's picture with its top-left corner at the screen's.
void DrawPageSurface(host::GfxSurface* surface);
// The full-screen maps: the terrain over a square of the screen's height at the left edge.
MapFrame FullScreenMapFrame();
