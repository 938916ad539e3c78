#include "platform/TexSurface.h"

#include <cstring>

#include "host/Gfx.h"

int HostPixelFormat(TexFormat f) {
    switch (f) {
        case TexFormat::ARGB8888: return int(host::PixelFormat::ARGB8888);
        case TexFormat::ARGB4444: return int(host::PixelFormat::ARGB4444);
        case TexFormat::ARGB1555: return int(host::PixelFormat::ARGB1555);
        case TexFormat::RGB565: return int(host::PixelFormat::RGB565);
        case TexFormat::XRGB8888: return int(host::PixelFormat::XRGB8888);
        case TexFormat::A8: return int(host::PixelFormat::A8);
    }
    return int(host::PixelFormat::Unknown);
}

host::GfxSurface* CreateTextureSurface(const TexPixels& px) {
    if (px.width <= 0 || px.height <= 0 || px.words.size() != size_t(px.width) * size_t(px.height)) return nullptr;
    auto format = host::PixelFormat(HostPixelFormat(px.format));
    host::GfxSurface* s = host::CreateSurface(px.width, px.height, format, host::SurfaceKind::Texture, true);
    if (!s) return nullptr;
    host::GfxLock lock;
    if (host::LockSurface(s, nullptr, &lock) != host::GfxOk) {
        host::DeleteSurface(s);
        return nullptr;
    }
    int bytes = host::BytesPerPixel(lock.format);
    for (int32_t r = 0; r < px.height; ++r) {
        uint8_t* row = static_cast<uint8_t*>(lock.bits) + size_t(r) * size_t(lock.pitch);
        const uint32_t* src = px.words.data() + size_t(r) * size_t(px.width);
        // The surface holds each pixel as a native word of its depth: 32-bit rows copy whole, narrower
        // ones take the low bits of each word.
        if (bytes == 4) {
            memcpy(row, src, size_t(px.width) * 4);
        } else if (bytes == 2) {
            for (int32_t c = 0; c < px.width; ++c) {
                uint16_t h = uint16_t(src[c]);
                memcpy(row + size_t(c) * 2, &h, 2);
            }
        } else {
            for (int32_t c = 0; c < px.width; ++c) row[c] = uint8_t(src[c]);
        }
    }
    host::UnlockSurface(s);
    return s;
}
