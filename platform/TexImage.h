// Texture images in memory and the pixel formats of texture surfaces.
//
// Two image kinds are read: the engine texture (log2 sizes, an optional 256-entry palette, pixel indices
// stored column by column) and the Windows bitmap. Either decodes into a TexImage held upright (row 0 is
// the top of the surface). A colour image and an optional alpha image then become the pixel words of a
// texture surface in the format the choice table picks. Nothing here touches a device: the loaders of
// platform/Texture.cpp put the words into surfaces.
//
// Engine texture file, little-endian, byte offsets:
//   0  u8  log2 of the height H
//   1  u8  log2 of the width W
//   2  u8  not read
//   3  u8  palette flag: 0 = no palette (indices are grey levels), else a palette follows
//   4  palette, when flagged: 256 entries of 4 bytes (red, green, blue, unused), entry i at 4 + 4i
//   then W x H index bytes, column by column: row r of column c at c x H + r
// As an alpha map, the first byte of the index's palette entry (or the index itself) is the alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// An image decoded from a file, upright.
struct TexImage {
    int32_t width = 0;            // pixels
    int32_t height = 0;           // pixels
    int32_t bitsPerPixel = 8;     // of the file (8 for every engine texture)
    std::vector<uint32_t> colour; // 0x00RRGGBB per pixel, row by row from the top
    std::vector<uint8_t> alpha;   // the alpha each pixel gives when the image serves as an alpha map
};

// Offsets and limits of the engine texture file.
constexpr size_t kTexHeaderSize = 4;
constexpr size_t kTexPaletteSize = 256 * 4;
constexpr int kTexMaxLog2 = 12;  // 4096 pixels on a side

// 1 when exactly one of bits 0 to 29 of n is set.
int IsPowerOfTwo(int32_t n);
// log2 of a power of two (the lowest set bit's index); -1 for 0.
int Log2Of(uint32_t n);

// Decodes an engine texture. Returns null on success, else a short reason (sizes that do not fit the
// file, a size beyond kTexMaxLog2, a file shorter than its header).
const char* DecodeEngineTexture(const uint8_t* data, size_t size, TexImage* out);

// The fields of a bitmap's headers that the decoder uses.
struct BmpHeader {
    uint32_t dataOffset;   // file offset of the pixel rows
    uint32_t infoSize;     // size of the info header (40 or one of its later, longer forms)
    int32_t width;         // pixels
    int32_t height;        // pixels, always positive here
    bool topDown;          // rows stored from the top (negative height in the file)
    uint16_t bitsPerPixel; // 8, 24 or 32 are decoded
    uint32_t compression;  // 0: uncompressed
    uint32_t paletteOffset;
    uint32_t paletteCount; // entries of 4 bytes (blue, green, red, unused)
    uint32_t rowStride;    // bytes per stored row, padded to 4
};

// Reads and checks the headers of a bitmap in memory. Returns null on success, else the reason: not a
// bitmap, compressed, an unsupported depth, a size out of range, or rows or palette beyond the file.
const char* ReadBmpHeader(const uint8_t* data, size_t size, BmpHeader* out);
// Decodes an 8-, 24- or 32-bit uncompressed bitmap. Each pixel's alpha-map value is the first byte of
// its palette entry (blue) for 8-bit images and the blue byte otherwise.
const char* DecodeBmp(const uint8_t* data, size_t size, TexImage* out);

// Pixel formats of texture surfaces.
enum class TexFormat { ARGB8888, ARGB4444, ARGB1555, RGB565, XRGB8888, A8 };

struct TexFormatMasks {
    int32_t bitsPerPixel;
    uint32_t alpha, red, green, blue;
};
TexFormatMasks MasksOf(TexFormat format);

// What the format choice depends on.
struct TexFormatQuery {
    bool colour;            // a colour image is present
    bool alpha;             // an alpha image is present
    bool blackTransparent;  // black pixels become transparent (ignored when an alpha image is present)
    int32_t alphaBits;      // alpha bits of the device's texture formats (4 or 8)
    int32_t texturebpp;     // the configured texture depth
    int32_t displayBpp;     // the display depth
    TexFormat primary;      // the primary surface's own format, used for opaque textures on 16-bit displays
};
// Picks the surface format for a texture.
TexFormat ChooseTextureFormat(const TexFormatQuery& q);

// The pixel words of one texture surface, row by row from the top; one word per pixel whatever the
// format's depth.
struct TexPixels {
    int32_t width = 0;
    int32_t height = 0;
    TexFormat format = TexFormat::ARGB8888;
    std::vector<uint32_t> words;
};

// Converts an image (colour, alpha or both; not neither) into pixel words of the given format, taking
// every 2^mipShift-th pixel in each direction. The alpha image is sampled at the scaled position when
// its size differs from the colour image's. Returns null, or the reason when the mip shift is larger
// than the image allows.
const char* ConvertTexture(const TexImage* colour, const TexImage* alpha, bool blackTransparent,
                           int32_t mipShift, TexFormat format, TexPixels* out);

// Packs an 8-bit component into a channel mask: the top bits of v moved to the mask's position.
uint32_t PackComponent(uint8_t v, uint32_t mask);
// Widens a channel of a pixel back to 8 bits (low bits zero).
uint8_t UnpackComponent(uint32_t pixel, uint32_t mask);
