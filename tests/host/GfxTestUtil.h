// A small render target with a z-buffer and a device, for pixel-exact tests of the rasterizer.
#pragma once

#include <cstdint>
#include <vector>

#include "host/Gfx.h"

namespace gfxtest {

struct Target {
    host::GfxSurface* colour = nullptr;
    host::GfxSurface* depth = nullptr;
    host::GfxDevice* device = nullptr;

    Target(int w, int h, host::PixelFormat fmt = host::PixelFormat::XRGB8888,
           host::PixelFormat zfmt = host::PixelFormat::Z24) {
        colour = host::CreateSurface(w, h, fmt, host::SurfaceKind::RenderTarget, false);
        depth = host::CreateSurface(w, h, zfmt, host::SurfaceKind::ZBuffer, false);
        host::AttachZBuffer(colour, depth);
        device = host::CreateDevice(host::DeviceKind::Hardware, colour);
        host::SetRenderState(device, host::RenderState::CullMode, host::GfxCullNone);
        host::SetRenderState(device, host::RenderState::ZEnable, 0);
        // stage 0 without a texture: the result is the diffuse colour
        host::SetTextureStageState(device, 0, host::StageState::ColorArg2, host::GfxTaDiffuse);
        host::SetTextureStageState(device, 0, host::StageState::AlphaArg2, host::GfxTaDiffuse);
        host::SetTextureStageState(device, 0, host::StageState::AlphaOp,
                                   static_cast<uint32_t>(host::TextureOp::Modulate));
        host::Clear(device, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0, 1.0f, 0);
    }
    ~Target() {
        host::DeleteDevice(device);
        host::DeleteSurface(colour);
        host::DeleteSurface(depth);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    uint32_t Rgb(int x, int y) const { return host::ReadPixelArgb(colour, x, y) & 0xFFFFFF; }
    int Width() const { return host::SurfaceWidth(colour); }
    int Height() const { return host::SurfaceHeight(colour); }
    // The pixels as rows of 0xRRGGBB.
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> out;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) out.push_back(Rgb(x, y));
        return out;
    }
};

inline host::GfxVertex V(float x, float y, uint32_t diffuse = 0xFFFFFFFF, float z = 0.5f, float u = 0,
                         float v = 0, uint32_t specular = 0xFF000000u, float rhw = 1.0f) {
    return host::GfxVertex{x, y, z, rhw, diffuse, specular, u, v, u, v};
}

inline host::GfxResult Draw(host::GfxDevice* d, host::PrimitiveType t,
                            const std::vector<host::GfxVertex>& v) {
    return host::DrawPrimitive(d, t, host::kGfxVertexFormat, v.data(), static_cast<int>(v.size()));
}

}  // namespace gfxtest
