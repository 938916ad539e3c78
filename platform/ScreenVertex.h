// The renderer's screen vertex, the colour its routines compose and the screen size it draws for. They
// live below the renderer because the platform's text drawer builds its glyph quads from the same vertex,
// colour and screen size.
#pragma once

#include <cstddef>
#include <cstdint>

// The one vertex format of the renderer: pre-transformed and pre-lit, 40 bytes.
struct ScreenVertex {
    float x;            // screen column, pixels
    float y;            // screen row, pixels from the top (routines store ScreenHeightF - caller's y)
    float z;            // depth for the z-buffer
    float rhw;          // reciprocal w; 1.0 unless a routine takes it from its input
    uint32_t diffuse;   // 0xAARRGGBB vertex colour
    uint32_t specular;  // alpha = fog factor (255 none, 0 full fog colour); red, green, blue 0
    float tu0, tv0;     // first texture coordinate pair
    float tu1, tv1;     // second texture coordinate pair
};
static_assert(sizeof(ScreenVertex) == 40);
static_assert(offsetof(ScreenVertex, diffuse) == 16 && offsetof(ScreenVertex, specular) == 20);
static_assert(offsetof(ScreenVertex, tu0) == 24 && offsetof(ScreenVertex, tv1) == 36);

// Flexible vertex format of ScreenVertex: position with rhw, diffuse, specular, two coordinate pairs.
constexpr uint32_t kFvfXyzRhw = 0x004;
constexpr uint32_t kFvfDiffuse = 0x040;
constexpr uint32_t kFvfSpecular = 0x080;
constexpr uint32_t kFvfTex2 = 0x200;
constexpr uint32_t kScreenVertexFvf = kFvfXyzRhw | kFvfDiffuse | kFvfSpecular | kFvfTex2;
static_assert(kScreenVertexFvf == 0x2c4);

// Last diffuse colour composed by a routine; also the colour of drawn text.
extern uint32_t CurrentColour;

// The screen size the renderer draws for (set by InitRenderMode).
extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
