// The scene of the rasterizer's workloads drawn through the graphics device: an 800 x 600 target (or one of
// another size) of 32-bit colour with a 24-bit z-buffer, a 256 x 256 texture filtered bilinearly and modulated by the
// diffuse colour, vertex fog, depth test and write; and the "fill" workload's sixteen full-screen quads.
// bench_raster draws the workloads with it; bench_frame counts the game's frame in its full-screen fills.
#pragma once

#include <cstdint>
#include <vector>

#include "bench/raster/RasterWorkload.h"
#include "host/Gfx.h"

namespace rasterbench {

using namespace host;

struct Scene {
    GfxSurface* colour;
    GfxSurface* depth;
    GfxSurface* texture;
    GfxDevice* device;
};

inline Scene MakeScene(int width = kW, int height = kH) {
    Scene s;
    s.colour = CreateSurface(width, height, PixelFormat::XRGB8888, SurfaceKind::RenderTarget, true);
    s.depth = CreateSurface(width, height, PixelFormat::Z24, SurfaceKind::ZBuffer, true);
    AttachZBuffer(s.colour, s.depth);
    s.texture = CreateSurface(256, 256, PixelFormat::ARGB8888, SurfaceKind::Texture, true);
    GfxLock lock;
    LockSurface(s.texture, nullptr, &lock);
    for (int y = 0; y < 256; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lock.bits) + y * lock.pitch);
        for (int x = 0; x < 256; ++x)
            row[x] = 0xFF000000u | static_cast<uint32_t>(x) << 16 | static_cast<uint32_t>(y) << 8 |
                     static_cast<uint32_t>((x ^ y) & 255);
    }
    UnlockSurface(s.texture);
    s.device = CreateDevice(DeviceKind::Hardware, s.colour);
    GfxDevice* d = s.device;
    SetTexture(d, 0, s.texture);
    SetTextureStageState(d, 0, StageState::MagFilter, GfxFilterLinear);
    SetTextureStageState(d, 0, StageState::MinFilter, GfxFilterLinear);
    SetTextureStageState(d, 0, StageState::Address, GfxAddressWrap);
    SetTextureStageState(d, 0, StageState::ColorOp, static_cast<uint32_t>(TextureOp::Modulate));
    SetTextureStageState(d, 0, StageState::ColorArg1, GfxTaTexture);
    SetTextureStageState(d, 0, StageState::ColorArg2, GfxTaDiffuse);
    SetTextureStageState(d, 0, StageState::AlphaOp, static_cast<uint32_t>(TextureOp::Modulate));
    SetTextureStageState(d, 0, StageState::AlphaArg1, GfxTaTexture);
    SetTextureStageState(d, 0, StageState::AlphaArg2, GfxTaDiffuse);
    SetTextureStageState(d, 1, StageState::ColorOp, static_cast<uint32_t>(TextureOp::Disable));
    SetTextureStageState(d, 1, StageState::AlphaOp, static_cast<uint32_t>(TextureOp::Disable));
    SetRenderState(d, RenderState::FogEnable, 1);
    SetRenderState(d, RenderState::FogColor, 0x4080C0);
    SetRenderState(d, RenderState::ZEnable, 1);
    SetRenderState(d, RenderState::ZFunc, static_cast<uint32_t>(CompareFunc::LessEqual));
    SetRenderState(d, RenderState::ZWriteEnable, 1);
    SetRenderState(d, RenderState::CullMode, GfxCullNone);
    SetRenderState(d, RenderState::AlphaBlendEnable, 0);
    return s;
}

inline void FreeScene(Scene& s) {
    DeleteDevice(s.device);
    DeleteSurface(s.texture);
    DeleteSurface(s.depth);
    DeleteSurface(s.colour);
}

// Sixteen quads over the whole target, nearer and nearer, the texture repeated at one texel per pixel.
inline std::vector<GfxVertex> FillQuads(uint32_t diffuse, int width = kW, int height = kH) {
    std::vector<GfxVertex> v;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float u = w / 256.0f, tv = h / 256.0f;
    for (int k = 0; k < 16; ++k) {
        float z = 1.0f - (k + 1) / 17.0f;
        GfxVertex tl{0, 0, z, 1, diffuse, 0xFF000000u, 0, 0, 0, 0};
        GfxVertex tr{w, 0, z, 1, diffuse, 0x00000000u, u, 0, 0, 0};
        GfxVertex br{w, h, z, 1, diffuse, 0x00000000u, u, tv, 0, 0};
        GfxVertex bl{0, h, z, 1, diffuse, 0xFF000000u, 0, tv, 0, 0};
        v.insert(v.end(), {tl, tr, br, tl, br, bl});
    }
    return v;
}

}  // namespace rasterbench
