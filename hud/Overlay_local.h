// Device helpers shared by the overlay's drawing files (cockpit overlay, instruments, target marks, map
// panels, overlay services). Positions are screen pixels with y counted up from the bottom edge; a vertex
// lands on surface row ScreenHeightF - y. Every draw call counts in the frame statistics.
#pragma once

#include <cstdint>

#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "render/RenderTables.h"

namespace hud_local {

// The depth of the translucent overlay shapes: next to the near end of the depth range.
constexpr float kOverlayZ = 0.0001f;

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}
// A colour record R, G, B, A as a vertex colour.
inline uint32_t Argb(const uint8_t rgba[4]) {
    return Argb(rgba[3], rgba[0], rgba[1], rgba[2]);
}

inline void SetRS(host::RenderState s, uint32_t v) {
    if (D3DDevice) host::SetRenderState(D3DDevice, s, v);
}
inline uint32_t GetRS(host::RenderState s) {
    return D3DDevice ? host::GetRenderState(D3DDevice, s) : 0;
}
inline void SetTex(host::GfxSurface* t) {
    if (D3DDevice) host::SetTexture(D3DDevice, 0, t);
}

// Scratch vertex i at bottom-up (x, y) with depth z, rhw 1, the colour and the current fog value; the
// texture coordinates are set when given (u >= 0), else left as the scratch holds them.
inline ScreenVertex* Put(int i, float x, float y, float z, uint32_t colour, float u = -1.0f, float v = 0.0f) {
    ScreenVertex& s = ScratchVertices[i];
    s.x = x;
    s.y = ScreenHeightF - y;
    s.z = z;
    s.rhw = 1.0f;
    s.diffuse = colour;
    s.specular = FogSpecular;
    if (u >= 0.0f) {
        s.tu0 = s.tu1 = u;
        s.tv0 = s.tv1 = v;
    }
    return &s;
}

// Draws the scratch's first count vertices and counts the call; the last colour built becomes the text
// colour, as with the 2D primitives.
inline void Draw(host::PrimitiveType type, int count) {
    if (count <= 0) return;
    if (D3DDevice) host::DrawPrimitive(D3DDevice, type, kScreenVertexFvf, ScratchVertices, count);
    DrawCallCount += 1.0f;
    switch (type) {
        case host::PrimitiveType::TriangleList:
            TriangleCount += static_cast<float>(count / 3);
            break;
        case host::PrimitiveType::TriangleStrip:
        case host::PrimitiveType::TriangleFan:
            TriangleCount += static_cast<float>(count - 2);
            break;
        case host::PrimitiveType::PointList:
        case host::PrimitiveType::LineList:
        case host::PrimitiveType::LineStrip:
            break;
    }
    CurrentColour = ScratchVertices[count - 1].diffuse;
}

// A fan of four corners (x, y) in one colour at the overlay depth, untextured coordinates left alone.
inline void Quad(const float corners[4][2], uint32_t colour) {
    for (int i = 0; i < 4; ++i) Put(i, corners[i][0], corners[i][1], kOverlayZ, colour);
    Draw(host::PrimitiveType::TriangleFan, 4);
}

// Alpha blending on and off, the blend factors left as they are.
inline void BlendEnable(uint32_t on) {
    SetRS(host::RenderState::AlphaBlendEnable, on);
}

}  // namespace hud_local
