#include "render/Overlay2D.h"

#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "render/RenderTables.h"

namespace {

using host::BlendFactor;
using host::PrimitiveType;
using host::RenderState;

constexpr float kOverlayZ = 0.0001f;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// One vertex at bottom-up (x, y); the texture coordinates keep what the scratch held.
void Put(ScreenVertex* v, int32_t x, int32_t y, uint32_t colour, bool setZ) {
    v->x = static_cast<float>(x);
    v->y = ScreenHeightF - static_cast<float>(y);
    if (setZ) v->z = kOverlayZ;
    v->rhw = 1.0f;
    v->diffuse = colour;
    v->specular = FogSpecular;
}

// Draws the scratch's first count vertices and counts the call in the frame statistics.
void Draw(PrimitiveType type, int count) {
    if (D3DDevice) host::DrawPrimitive(D3DDevice, type, kScreenVertexFvf, ScratchVertices, count);
    DrawCallCount += 1.0f;
    switch (type) {
        case PrimitiveType::TriangleList: TriangleCount += static_cast<float>(count / 3); break;
        case PrimitiveType::TriangleStrip:
        case PrimitiveType::TriangleFan: TriangleCount += static_cast<float>(count - 2); break;
        case PrimitiveType::PointList:
        case PrimitiveType::LineList:
        case PrimitiveType::LineStrip: break;
    }
}

void SetState(RenderState s, uint32_t v) {
    if (D3DDevice) host::SetRenderState(D3DDevice, s, v);
}

void BlendOn() {
    SetState(RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::SrcAlpha));
    SetState(RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::InvSrcAlpha));
    SetState(RenderState::AlphaBlendEnable, 1);
}

void BlendOff() {
    SetState(RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::One));
    SetState(RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::One));
    SetState(RenderState::AlphaBlendEnable, 0);
}

// The opaque primitives draw with the z-buffer off and give it back as it was.
template <typename Fill>
void DrawOpaque(const uint8_t* rgb, PrimitiveType type, int count, Fill fill) {
    const uint32_t zWas = D3DDevice ? host::GetRenderState(D3DDevice, RenderState::ZEnable) : 0;
    SetState(RenderState::ZEnable, 0);
    const uint32_t colour = Argb(255, rgb[0], rgb[1], rgb[2]);
    fill(colour);
    Draw(type, count);
    CurrentColour = colour;
    SetState(RenderState::ZEnable, zWas);
}

// The fan of the translucent rectangles: (x0, y0), (x1 + 1, y0), (x1 + 1, y1 - 1), (x0, y1 - 1).
void TranslucentFan(uint32_t left, uint32_t right, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    Put(&ScratchVertices[0], x0, y0, left, true);
    Put(&ScratchVertices[1], x1 + 1, y0, right, true);
    Put(&ScratchVertices[2], x1 + 1, y1 - 1, right, true);
    Put(&ScratchVertices[3], x0, y1 - 1, left, true);
    Draw(PrimitiveType::TriangleFan, 4);
}

}  // namespace

void DrawLine2D(const uint8_t* rgb, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    DrawOpaque(rgb, PrimitiveType::LineStrip, 2, [&](uint32_t c) {
        Put(&ScratchVertices[0], x0, y0, c, false);
        Put(&ScratchVertices[1], x1, y1, c, false);
    });
}

void DrawRect2D(const uint8_t* rgb, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    DrawOpaque(rgb, PrimitiveType::LineStrip, 5, [&](uint32_t c) {
        Put(&ScratchVertices[0], x1, y0, c, false);
        Put(&ScratchVertices[1], x0, y0, c, false);
        Put(&ScratchVertices[2], x0, y1, c, false);
        Put(&ScratchVertices[3], x1, y1, c, false);
        Put(&ScratchVertices[4], x1, y0, c, false);
    });
}

void FillRect2D(const uint8_t* rgb, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    DrawOpaque(rgb, PrimitiveType::TriangleFan, 4, [&](uint32_t c) {
        Put(&ScratchVertices[0], x1, y0, c, false);
        Put(&ScratchVertices[1], x0, y0, c, false);
        Put(&ScratchVertices[2], x0, y1, c, false);
        Put(&ScratchVertices[3], x1, y1, c, false);
    });
}

void FillRectAlpha2D(const uint8_t* rgba, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const bool blend = rgba[3] != 255;
    if (blend) BlendOn();
    const uint32_t colour = Argb(rgba[3], rgba[0] >> 1, rgba[1] >> 1, rgba[2] >> 1);
    TranslucentFan(colour, colour, x0, y0, x1, y1);
    CurrentColour = colour;
    if (blend) BlendOff();
}

void FillShadedRect2D(const uint8_t* c1, const uint8_t* c2, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const bool blend = c1[3] != 255;
    if (blend) BlendOn();
    const uint32_t left = Argb(192, c1[0], c1[1], c1[2]);
    const uint32_t right = c2 ? Argb(192, c2[0] >> 1, c2[1] >> 1, c2[2] >> 1)
                              : Argb(c1[3], c1[0] >> 1, c1[1] >> 1, c1[2] >> 1);
    TranslucentFan(left, right, x0, y0, x1, y1);
    // The last vertex built is a left one.
    CurrentColour = left;
    if (blend) BlendOff();
}

void DrawBevelPanel2D(const uint8_t* rgba, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const bool blend = rgba[3] != 255;
    const int32_t pts[6][2] = {{left + 8, top},     {right, top},   {right, bottom + 8},
                               {right - 8, bottom}, {left, bottom}, {left, top - 8}};
    if (blend) BlendOn();
    const uint32_t fill = Argb(rgba[3], rgba[0], rgba[1], rgba[2]);
    for (int i = 0; i < 6; ++i) Put(&ScratchVertices[i], pts[i][0], pts[i][1], fill, true);
    Draw(PrimitiveType::TriangleFan, 6);
    if (blend) BlendOff();
    const uint32_t outline = Argb(255, rgba[0], rgba[1], rgba[2]);
    for (int i = 0; i < 7; ++i) Put(&ScratchVertices[i], pts[i % 6][0], pts[i % 6][1], outline, true);
    Draw(PrimitiveType::LineStrip, 7);
    CurrentColour = outline;
}
