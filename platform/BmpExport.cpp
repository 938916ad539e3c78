#include "platform/BmpExport.h"

#include <cstring>

#include "platform/TexImage.h"

namespace {

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

}  // namespace

bool EncodeBmp24(const SurfacePixels& px, std::vector<uint8_t>* out) {
    if (px.bitsPerPixel != 16 && px.bitsPerPixel != 32) return false;
    if (!px.bits || px.width <= 0 || px.height <= 0) return false;
    // Every row is padded to 4 bytes, so widths that are not multiples of 4 still give a valid file.
    size_t stride = (size_t(px.width) * 3 + 3) & ~size_t(3);
    size_t image = stride * size_t(px.height);
    std::vector<uint8_t> f(54 + image, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, uint32_t(54 + image));
    Put32(f, 10, 54);
    Put32(f, 14, 40);
    Put32(f, 18, uint32_t(px.width));
    Put32(f, 22, uint32_t(px.height));
    Put16(f, 26, 1);
    Put16(f, 28, 24);
    Put32(f, 34, uint32_t(image));
    Put32(f, 38, 2834);
    Put32(f, 42, 2834);
    for (int32_t fr = 0; fr < px.height; ++fr) {
        const uint8_t* src = px.bits + size_t(px.height - 1 - fr) * size_t(px.pitch);
        uint8_t* dst = f.data() + 54 + size_t(fr) * stride;
        for (int32_t c = 0; c < px.width; ++c, dst += 3) {
            if (px.bitsPerPixel == 32) {
                memcpy(dst, src + size_t(c) * 4, 3);
            } else {
                uint16_t p;
                memcpy(&p, src + size_t(c) * 2, 2);
                dst[0] = UnpackComponent(p, px.blueMask);
                dst[1] = UnpackComponent(p, px.greenMask);
                dst[2] = UnpackComponent(p, px.redMask);
            }
        }
    }
    *out = std::move(f);
    return true;
}
