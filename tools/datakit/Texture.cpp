#include "tools/datakit/Texture.h"

#include <cstdio>
#include <stdexcept>

#include "tools/datakit/Bytes.h"

namespace datakit {

namespace {

std::vector<uint8_t> EngineImage(int log2Width, int log2Height, const std::vector<uint8_t>& indices,
                                 const std::vector<Rgb>* palette) {
    size_t w = size_t(1) << log2Width;
    size_t h = size_t(1) << log2Height;
    if (indices.size() != w * h) throw std::invalid_argument("engine texture: index count");
    Bytes b;
    b.u8(uint8_t(log2Height));
    b.u8(uint8_t(log2Width));
    b.u8(0);
    b.u8(palette ? 1 : 0);
    if (palette) {
        for (size_t i = 0; i < 256; ++i) {
            Rgb c = i < palette->size() ? (*palette)[i] : Rgb{0, 0, 0};
            b.u8(c.r);
            b.u8(c.g);
            b.u8(c.b);
            b.u8(0);
        }
    }
    // Column by column: row r of column c at c x H + r.
    for (size_t c = 0; c < w; ++c)
        for (size_t r = 0; r < h; ++r) b.u8(indices[r * w + c]);
    return b.data();
}

// File header and info header of an uncompressed bitmap.
void BmpHeaders(Bytes& b, int width, int height, int bpp, uint32_t paletteCount, bool topDown) {
    uint32_t stride = uint32_t((width * bpp + 31) / 32 * 4);
    uint32_t offset = 54 + 4 * paletteCount;
    uint32_t image = stride * uint32_t(height);
    b.text("BM");
    b.u32(offset + image);
    b.u32(0);
    b.u32(offset);
    b.u32(40);
    b.i32(width);
    b.i32(topDown ? -height : height);
    b.u16(1);
    b.u16(uint16_t(bpp));
    b.u32(0);
    b.u32(image);
    b.u32(2834);
    b.u32(2834);
    b.u32(paletteCount == 256 ? 0 : paletteCount);
    b.u32(0);
}

void PadRow(Bytes& b, size_t written) {
    while (written % 4) {
        b.u8(0);
        ++written;
    }
}

}  // namespace

std::vector<uint8_t> EngineTexture(int log2Width, int log2Height, const std::vector<uint8_t>& indices,
                                   const std::vector<Rgb>* palette) {
    return EngineImage(log2Width, log2Height, indices, palette);
}

std::vector<uint8_t> EngineAlphaMap(int log2Width, int log2Height, const std::vector<uint8_t>& alpha) {
    return EngineImage(log2Width, log2Height, alpha, nullptr);
}

std::vector<uint8_t> Bmp8(int width, int height, const std::vector<uint8_t>& indices,
                          const std::vector<Rgb>& palette, bool topDown) {
    if (indices.size() != size_t(width) * size_t(height)) throw std::invalid_argument("bmp8: index count");
    Bytes b;
    BmpHeaders(b, width, height, 8, 256, topDown);
    for (size_t i = 0; i < 256; ++i) {
        Rgb c = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
        b.u8(c.b);
        b.u8(c.g);
        b.u8(c.r);
        b.u8(0);
    }
    for (int fr = 0; fr < height; ++fr) {
        int r = topDown ? fr : height - 1 - fr;
        for (int c = 0; c < width; ++c) b.u8(indices[size_t(r) * width + c]);
        PadRow(b, size_t(width));
    }
    return b.data();
}

std::vector<uint8_t> Bmp24(int width, int height, const std::vector<uint32_t>& rgb, bool topDown) {
    if (rgb.size() != size_t(width) * size_t(height)) throw std::invalid_argument("bmp24: pixel count");
    Bytes b;
    BmpHeaders(b, width, height, 24, 0, topDown);
    for (int fr = 0; fr < height; ++fr) {
        int r = topDown ? fr : height - 1 - fr;
        for (int c = 0; c < width; ++c) {
            uint32_t p = rgb[size_t(r) * width + c];
            b.u8(uint8_t(p));
            b.u8(uint8_t(p >> 8));
            b.u8(uint8_t(p >> 16));
        }
        PadRow(b, size_t(width) * 3);
    }
    return b.data();
}

std::vector<uint8_t> BmpAlphaMap(int width, int height, const std::vector<uint8_t>& alpha) {
    std::vector<Rgb> grey(256);
    for (int i = 0; i < 256; ++i) grey[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
    return Bmp8(width, height, alpha, grey);
}

bool WriteTexAnimFolder(const std::string& folder, const std::vector<std::vector<uint8_t>>& frames,
                        const std::vector<std::vector<uint8_t>>& alphas) {
    if (!MakeDirs(folder)) return false;
    for (size_t n = 0; n < frames.size(); ++n) {
        char name[16];
        snprintf(name, sizeof name, "%02d", int(n));
        if (!WriteFile(folder + "/" + name, frames[n])) return false;
        if (n < alphas.size() && !alphas[n].empty() &&
            !WriteFile(folder + "/" + name + "_", alphas[n]))
            return false;
    }
    return true;
}

std::vector<uint8_t> PaletteFile(const std::vector<Rgb>& colours) {
    Bytes b;
    for (size_t i = 0; i < 256; ++i) {
        Rgb c = i < colours.size() ? colours[i] : Rgb{0, 0, 0};
        b.u8(0);
        b.u8(0);
        b.u8(0);
        b.u8(c.r);
        b.u8(c.g);
        b.u8(c.b);
    }
    return b.data();
}

}  // namespace datakit
