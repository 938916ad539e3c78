// Writers of the texture formats the game reads: engine textures, 8- and 24-bit bitmaps, alpha maps of
// both kinds, texture-animation folders and palette files.
//
// Engine texture palette order: entry i is written at offset 4 + 4i as red, green, blue and a zero byte;
// the pixel indices follow at 1028 (without a palette at 4), stored column by column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

struct Rgb {
    uint8_t r, g, b;
};

// An engine texture of 2^log2Width x 2^log2Height indices given row by row from the top. With a palette
// (at most 256 colours; missing entries are black) the indices select colours; without one they are grey
// levels.
std::vector<uint8_t> EngineTexture(int log2Width, int log2Height, const std::vector<uint8_t>& indices,
                                   const std::vector<Rgb>* palette = nullptr);
// An engine-texture alpha map: no palette, each index is the alpha (0 transparent, 255 opaque).
std::vector<uint8_t> EngineAlphaMap(int log2Width, int log2Height, const std::vector<uint8_t>& alpha);

// An uncompressed 8-bit bitmap; indices row by row from the top; rows padded to 4 bytes. Stored bottom
// row first unless topDown (negative height).
std::vector<uint8_t> Bmp8(int width, int height, const std::vector<uint8_t>& indices,
                          const std::vector<Rgb>& palette, bool topDown = false);
// An uncompressed 24-bit bitmap of 0xRRGGBB pixels row by row from the top.
std::vector<uint8_t> Bmp24(int width, int height, const std::vector<uint32_t>& rgb, bool topDown = false);
// A bitmap alpha map: 8-bit with a grey palette, so that the first (blue) byte of each pixel's entry,
// which the game takes as the alpha, equals the pixel's alpha.
std::vector<uint8_t> BmpAlphaMap(int width, int height, const std::vector<uint8_t>& alpha);

// A texture animation folder: frame files "00", "01", ... and, where alphas[n] is not empty, the alpha
// map "NN_". False when a file cannot be written.
bool WriteTexAnimFolder(const std::string& folder, const std::vector<std::vector<uint8_t>>& frames,
                        const std::vector<std::vector<uint8_t>>& alphas = {});

// A palette file: 256 entries of 6 bytes, three zero bytes then red, green, blue (missing colours black).
std::vector<uint8_t> PaletteFile(const std::vector<Rgb>& colours);

}  // namespace datakit
