// Device helpers shared by the renderer's drawing routines.
#pragma once

#include <cstdint>

#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "render/RenderTables.h"

namespace render_local {

// Draws count screen vertices as one primitive (nothing while no device exists) and counts the call.
inline void EmitPrimitive(int32_t type, const ScreenVertex* v, int count) {
    LastPrimitiveType = type;
    LastVertexCount = count;
    if (D3DDevice) host::DrawPrimitive(D3DDevice, static_cast<host::PrimitiveType>(type), kScreenVertexFvf, v, count);
    DrawCallCount += 1.0f;
}

inline void SetRS(host::RenderState s, uint32_t v) {
    if (D3DDevice) host::SetRenderState(D3DDevice, s, v);
}
inline uint32_t GetRS(host::RenderState s) { return D3DDevice ? host::GetRenderState(D3DDevice, s) : 0; }
inline void SetTSS(int stage, host::StageState s, uint32_t v) {
    if (D3DDevice) host::SetTextureStageState(D3DDevice, stage, s, v);
}
inline void SetTex(int stage, host::GfxSurface* t) {
    if (D3DDevice) host::SetTexture(D3DDevice, stage, t);
}
inline uint32_t Blend(host::BlendFactor f) { return static_cast<uint32_t>(f); }
inline uint32_t Op(host::TextureOp o) { return static_cast<uint32_t>(o); }

// Turns the z test off and gives back the value it had.
inline uint32_t ZOff() {
    uint32_t was = GetRS(host::RenderState::ZEnable);
    SetRS(host::RenderState::ZEnable, 0);
    return was;
}

inline uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

}  // namespace render_local
