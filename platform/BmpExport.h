// The 24-bit bitmap written for snapshots and exported surfaces.
#pragma once

#include <cstdint>
#include <vector>

// Pixel rows of a locked 16- or 32-bit surface, top row first.
struct SurfacePixels {
    const uint8_t* bits;   // first byte of the top row
    int32_t pitch;         // bytes from one row to the next
    int32_t width, height; // pixels
    int32_t bitsPerPixel;  // 16 or 32
    uint32_t redMask, greenMask, blueMask;  // used for 16-bit surfaces
};

// Encodes the pixels as an uncompressed 24-bit bitmap: a 54-byte header, then the rows from the bottom
// of the surface to the top as blue, green, red, each row padded with zeros to a multiple of 4 bytes.
// 16-bit channels are widened with their masks; 32-bit pixels give bytes 0, 1 and 2 as blue, green, red.
// False (out untouched) for any other depth or an empty surface.
bool EncodeBmp24(const SurfacePixels& px, std::vector<uint8_t>* out);
