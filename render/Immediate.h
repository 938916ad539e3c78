// Immediate drawing routines: shapes that callers draw at once rather than through the draw slots: a
// full-screen tint, the polygon emitters that send polygons crossing the near plane through the
// clipper, a camera-facing sprite and the 2D overlay shapes of the interface. Each sets the device
// states it needs and puts them back. Positions are screen pixels with y counted from the bottom.
#pragma once

#include <cstdint>

struct GeomFace;
namespace host {
struct GfxSurface;
}

// A translucent colour (red, green, blue, alpha) over the whole surface, without depth test.
void DrawFullScreenQuad(const uint8_t rgba[4]);
// A polygon in its corners' own colours, blended, without fog or depth test.
void EmitSegmentPolygon(GeomFace* polygon);
// A textured sky polygon in its flat colour, without depth test.
void DrawSkyPolygon(GeomFace* polygon);
// A textured square of half size `half` around a projected centre (x, y, z, rhw). Mode 0 additive grey
// of the intensity, 2 blended by the colour's alpha times the intensity, 4 additive without depth test;
// any other mode draws it opaque and white.
void DrawSprite(host::GfxSurface* texture, int32_t mode, const float centre[4], int32_t fogDepth, float half,
                const uint8_t rgba[4], int32_t intensity);
// A textured polygon: mode 0 additive in colour0 times the intensity, mode 2 blended by colour2's alpha
// times the intensity, other modes white. Polygons crossing the near plane are drawn clipped.
void DrawFaceBlended(GeomFace* polygon, int32_t mode, const uint8_t colour0[4], const uint8_t colour2[4],
                     int32_t intensity);
// A blended disc (centre colour fading to the rim colour), a sector of it toward a direction (width a
// 16.16 angle; below 4 nothing is drawn), a circle outline and a blended line.
void DrawGlowDisc(const float centre[3], int32_t radius, const uint8_t centreColour[4], const uint8_t rimColour[4]);
void DrawSector2D(const float centre[3], int32_t radius, const int32_t direction[3], int32_t width,
                  const uint8_t centreColour[4], const uint8_t rimColour[4]);
void DrawCircle2D(const float centre[3], int32_t radius, const uint8_t rgba[4], int32_t blend, int32_t zTest);
// The radar sign of the maps: a disc of the radius glowing from the centre colour to the rim colour,
// ringed in the centre colour, with a cross of two lines in the rim colour through the centre.
void DrawHudSymbolA(const float centre[3], int32_t radius, const uint8_t centreColour[4], const uint8_t rimColour[4]);
void DrawBlendedLine(const float from[3], const float to[3], const uint8_t rgba[4]);
