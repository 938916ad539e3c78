#include "platform/TexImage.h"

#include <bit>
#include <cstring>

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Shift and width of the run of set bits of a channel mask.
void MaskShape(uint32_t mask, int* shift, int* width) {
    if (!mask) {
        *shift = 0;
        *width = 0;
        return;
    }
    *shift = std::countr_zero(mask);
    *width = std::countr_one(mask >> *shift);
}

constexpr int32_t kBmpMaxSide = 32768;

// A channel of a pixel format, its shape worked out once per conversion: an 8-bit component v becomes
// (v >> drop) << shift.
struct Channel {
    int drop = 8;
    int shift = 0;
    explicit Channel(uint32_t mask) {
        int width;
        MaskShape(mask, &shift, &width);
        drop = width >= 8 ? 0 : 8 - width;
    }
    uint32_t Pack(uint32_t v) const { return drop >= 8 ? 0 : (v >> drop) << shift; }
};

}  // namespace

int IsPowerOfTwo(int32_t n) {
    return std::popcount(uint32_t(n) & 0x3fffffffu) == 1 ? 1 : 0;
}

int Log2Of(uint32_t n) { return n ? std::countr_zero(n) : -1; }

const char* DecodeEngineTexture(const uint8_t* data, size_t size, TexImage* out) {
    if (!data || size < kTexHeaderSize) return "file shorter than its header";
    int log2h = data[0];
    int log2w = data[1];
    // The sizes come from the file: a size beyond the limit or beyond the bytes present is refused
    // rather than read past the end of the block.
    if (log2h > kTexMaxLog2 || log2w > kTexMaxLog2) return "size out of range";
    size_t h = size_t(1) << log2h;
    size_t w = size_t(1) << log2w;
    bool paletted = data[3] != 0;
    size_t pixels = paletted ? kTexHeaderSize + kTexPaletteSize : kTexHeaderSize;
    if (pixels > size || w * h > size - pixels) return "sizes do not fit the file";

    out->width = int32_t(w);
    out->height = int32_t(h);
    out->bitsPerPixel = 8;
    out->colour.assign(w * h, 0);
    out->alpha.assign(w * h, 0);
    uint32_t colours[256];
    uint8_t alphas[256];
    for (int i = 0; i < 256; ++i) {
        if (paletted) {
            // Entry i stands at 4 + 4i: red, green, blue, unused.
            const uint8_t* e = data + kTexHeaderSize + 4 * i;
            colours[i] = uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
            alphas[i] = e[0];
        } else {
            colours[i] = uint32_t(i) * 0x010101u;
            alphas[i] = uint8_t(i);
        }
    }
    const uint8_t* idx = data + pixels;
    for (size_t c = 0; c < w; ++c) {
        for (size_t r = 0; r < h; ++r) {
            uint8_t v = idx[c * h + r];
            out->colour[r * w + c] = colours[v];
            out->alpha[r * w + c] = alphas[v];
        }
    }
    return nullptr;
}

const char* ReadBmpHeader(const uint8_t* data, size_t size, BmpHeader* out) {
    if (!data || size < 18 || data[0] != 'B' || data[1] != 'M') return "not a bitmap";
    BmpHeader h{};
    h.dataOffset = Le32(data + 10);
    h.infoSize = Le32(data + 14);
    if (h.infoSize < 40) return "unsupported bitmap header";
    if (size < 14 + size_t(40)) return "truncated bitmap header";
    h.width = int32_t(Le32(data + 18));
    int32_t height = int32_t(Le32(data + 22));
    h.bitsPerPixel = Le16(data + 28);
    h.compression = Le32(data + 30);
    uint32_t used = Le32(data + 46);
    if (h.compression != 0) return "compressed bitmap";
    if (h.bitsPerPixel != 8 && h.bitsPerPixel != 24 && h.bitsPerPixel != 32) return "unsupported bpp";
    if (h.width <= 0 || h.width > kBmpMaxSide || height == 0 || height < -kBmpMaxSide ||
        height > kBmpMaxSide)
        return "bitmap size out of range";
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.rowStride = uint32_t((uint64_t(h.width) * h.bitsPerPixel + 31) / 32 * 4);
    h.paletteOffset = 14 + h.infoSize;
    h.paletteCount = 0;
    if (h.bitsPerPixel == 8) {
        h.paletteCount = used ? used : 256;
        if (h.paletteCount > 256) return "bad palette size";
        uint64_t end = uint64_t(h.paletteOffset) + 4ull * h.paletteCount;
        if (end > h.dataOffset || end > size) return "truncated bitmap palette";
    }
    if (uint64_t(h.dataOffset) + uint64_t(h.rowStride) * uint64_t(h.height) > size) return "truncated bitmap";
    *out = h;
    return nullptr;
}

const char* DecodeBmp(const uint8_t* data, size_t size, TexImage* out) {
    BmpHeader h;
    if (const char* why = ReadBmpHeader(data, size, &h)) return why;
    size_t w = size_t(h.width);
    size_t rows = size_t(h.height);
    out->width = h.width;
    out->height = h.height;
    out->bitsPerPixel = h.bitsPerPixel;
    out->colour.assign(w * rows, 0);
    out->alpha.assign(w * rows, 0);
    uint32_t colours[256] = {};
    uint8_t alphas[256] = {};
    for (uint32_t i = 0; i < h.paletteCount; ++i) {
        const uint8_t* e = data + h.paletteOffset + 4 * i;
        colours[i] = uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        alphas[i] = e[0];
    }
    for (size_t fr = 0; fr < rows; ++fr) {
        // Rows are stored bottom row first unless the height was negative.
        size_t r = h.topDown ? fr : rows - 1 - fr;
        const uint8_t* src = data + h.dataOffset + fr * h.rowStride;
        uint32_t* dst = out->colour.data() + r * w;
        uint8_t* adst = out->alpha.data() + r * w;
        for (size_t c = 0; c < w; ++c) {
            if (h.bitsPerPixel == 8) {
                dst[c] = colours[src[c]];
                adst[c] = alphas[src[c]];
            } else {
                const uint8_t* p = src + c * (h.bitsPerPixel / 8);
                dst[c] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                adst[c] = p[0];
            }
        }
    }
    return nullptr;
}

TexFormatMasks MasksOf(TexFormat format) {
    switch (format) {
        case TexFormat::ARGB8888: return {32, 0xff000000u, 0xff0000u, 0xff00u, 0xffu};
        case TexFormat::ARGB4444: return {16, 0xf000u, 0x0f00u, 0x00f0u, 0x000fu};
        case TexFormat::ARGB1555: return {16, 0x8000u, 0x7c00u, 0x03e0u, 0x001fu};
        case TexFormat::RGB565: return {16, 0, 0xf800u, 0x07e0u, 0x001fu};
        case TexFormat::XRGB8888: return {32, 0, 0xff0000u, 0xff00u, 0xffu};
        case TexFormat::A8: return {8, 0xffu, 0, 0, 0};
    }
    return {32, 0xff000000u, 0xff0000u, 0xff00u, 0xffu};
}

TexFormat ChooseTextureFormat(const TexFormatQuery& q) {
    if (q.colour && q.alpha) return q.alphaBits == 4 ? TexFormat::ARGB4444 : TexFormat::ARGB8888;
    if (!q.colour) return TexFormat::A8;
    if (q.blackTransparent)
        return q.texturebpp == 16 || q.displayBpp == 16 ? TexFormat::ARGB1555 : TexFormat::ARGB8888;
    if (q.displayBpp == 16) return q.primary;
    return q.texturebpp == 16 ? TexFormat::RGB565 : TexFormat::XRGB8888;
}

uint32_t PackComponent(uint8_t v, uint32_t mask) {
    int shift, width;
    MaskShape(mask, &shift, &width);
    if (!width) return 0;
    if (width >= 8) return uint32_t(v) << shift;
    return uint32_t(v >> (8 - width)) << shift;
}

uint8_t UnpackComponent(uint32_t pixel, uint32_t mask) {
    int shift, width;
    MaskShape(mask, &shift, &width);
    if (!width) return 0;
    uint32_t v = (pixel & mask) >> shift;
    return width >= 8 ? uint8_t(v) : uint8_t(v << (8 - width));
}

const char* ConvertTexture(const TexImage* colour, const TexImage* alpha, bool blackTransparent,
                           int32_t mipShift, TexFormat format, TexPixels* out) {
    const TexImage* main = colour ? colour : alpha;
    if (!main || main->width <= 0 || main->height <= 0) return "no image";
    if (mipShift < 0 || mipShift > 30 || (main->width >> mipShift) < 1 || (main->height >> mipShift) < 1)
        return "mip shift larger than the image";
    if (alpha && (alpha->width <= 0 || alpha->height <= 0)) return "empty alpha image";
    TexFormatMasks m = MasksOf(format);
    const Channel red(m.red), green(m.green), blue(m.blue), alphaChannel(m.alpha);
    int32_t w = main->width >> mipShift;
    int32_t h = main->height >> mipShift;
    out->width = w;
    out->height = h;
    out->format = format;
    out->words.assign(size_t(w) * size_t(h), 0);
    uint32_t fullAlpha = m.alpha;
    for (int32_t r = 0; r < h; ++r) {
        int64_t sr = int64_t(r) << mipShift;
        for (int32_t c = 0; c < w; ++c) {
            int64_t sc = int64_t(c) << mipShift;
            uint32_t word = 0;
            uint32_t rgb = colour ? colour->colour[size_t(sr * main->width + sc)] : 0;
            if (colour) word = red.Pack((rgb >> 16) & 0xff) | green.Pack((rgb >> 8) & 0xff) | blue.Pack(rgb & 0xff);
            if (alpha) {
                // The alpha image may be larger or smaller than the colour image by powers of two.
                int64_t ar = sr * alpha->height / main->height;
                int64_t ac = sc * alpha->width / main->width;
                word |= alphaChannel.Pack(alpha->alpha[size_t(ar * alpha->width + ac)]);
            } else if (blackTransparent) {
                if (rgb & 0xffffffu) word |= fullAlpha;
            } else {
                word |= fullAlpha;
            }
            out->words[size_t(r) * size_t(w) + size_t(c)] = word;
        }
    }
    return nullptr;
}
