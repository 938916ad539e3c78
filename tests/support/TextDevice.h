// A small software device with a font texture for tests that draw text: the render target is the
// back buffer the text routines draw into, and the font has one glyph, code 'A', a block 8 pixels wide
// filling the left half of its cell (every other code is empty), with width 8 in the width table.
#pragma once

#include <cstring>

#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/TexSurface.h"
#include "render/RenderTables.h"

namespace kvtest {

class TextDevice {
public:
    TextDevice(int width = 160, int height = 120) {
        saved_ = Saved{D3DDevice, BackBuffer, SurfaceWidth, SurfaceHeight, ScreenHeight, FontTexture, FontSize,
                       CurrentColour};
        memcpy(savedWidths_, FontWidths, sizeof savedWidths_);
        target_ = host::CreateSurface(width, height, host::PixelFormat::XRGB8888, host::SurfaceKind::RenderTarget,
                                      false);
        device_ = host::CreateDevice(host::DeviceKind::Software, target_);
        D3DDevice = device_;
        BackBuffer = target_;
        SurfaceWidth = width;
        SurfaceHeight = height;
        ScreenHeight = height;
        TexPixels px;
        px.width = px.height = 256;
        px.format = TexFormat::ARGB8888;
        px.words.assign(256 * 256, 0);
        int x0 = ('A' & 15) * 16, y0 = ('A' >> 4) * 16;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x) px.words[size_t(y0 + y) * 256 + size_t(x0 + x)] = 0xffffffffu;
        font_ = CreateTextureSurface(px);
        FontTexture = font_;
        memset(FontWidths, 0, sizeof FontWidths);
        FontWidths[int('A')] = 8;
        FontWidths[int('?')] = 8;
        FontSize = 16;
        CurrentColour = 0xffffffffu;
        host::SetTextureStageState(device_, 0, host::StageState::MagFilter, host::GfxFilterPoint);
        host::SetTextureStageState(device_, 0, host::StageState::MinFilter, host::GfxFilterPoint);
    }
    ~TextDevice() {
        host::DeleteDevice(device_);
        host::DeleteSurface(target_);
        host::DeleteSurface(font_);
        D3DDevice = saved_.device;
        BackBuffer = saved_.back;
        SurfaceWidth = saved_.sw;
        SurfaceHeight = saved_.sh;
        ScreenHeight = saved_.screenH;
        FontTexture = saved_.font;
        FontSize = saved_.size;
        CurrentColour = saved_.colour;
        memcpy(FontWidths, savedWidths_, sizeof savedWidths_);
    }
    host::GfxDevice* device() const { return device_; }
    host::GfxSurface* target() const { return target_; }
    // True when the pixel at column x, row y (from the top) of the back buffer is lit.
    bool Lit(int x, int y) const {
        host::FinishDrawing(device_);
        return (host::ReadPixelArgb(target_, x, y) & 0xffffffu) != 0;
    }
    void Clear() { host::ColourFill(target_, nullptr, 0); }

private:
    struct Saved {
        host::GfxDevice* device;
        host::GfxSurface* back;
        int32_t sw, sh, screenH;
        host::GfxSurface* font;
        int32_t size;
        uint32_t colour;
    } saved_;
    int32_t savedWidths_[kFontCodes];
    host::GfxSurface* target_;
    host::GfxDevice* device_;
    host::GfxSurface* font_;
};

}  // namespace kvtest
