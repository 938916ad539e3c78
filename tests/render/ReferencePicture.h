// Reference pictures of the render tests: tests/render/data/<name>.bmp, compared with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/Bmp24.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"

namespace kvtest {

// Compares with tests/render/data/<name>.bmp; KV_UPDATE_SCENES=1 writes the reference instead. A pixel
// may differ by 3 per channel; at most 0.5% of the pixels may differ more (edges of triangles).
inline void CompareWithReference(const std::string& name, int w, int h, const std::vector<uint32_t>& pixels) {
    std::string path = std::string(KV_SOURCE_DIR) + "/tests/render/data/" + name + ".bmp";
    const char* update = std::getenv("KV_UPDATE_SCENES");
    if (update && std::string(update) == "1") {
        ASSERT_TRUE(datakit::WriteFile(path, datakit::Bmp24(w, h, pixels)));
        return;
    }
    int rw = 0, rh = 0;
    std::vector<uint32_t> ref;
    ASSERT_TRUE(ReadBmp24(path, &rw, &rh, &ref)) << path;
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);
    int bad = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        for (int sh = 0; sh < 24; sh += 8)
            if (std::abs(int((pixels[i] >> sh) & 0xFF) - int((ref[i] >> sh) & 0xFF)) > 3) {
                ++bad;
                break;
            }
    EXPECT_LE(bad, int(pixels.size()) / 200) << name;
}

// The picture reduced to blocks of 4 x 4 pixels (their mean colour), so that the small differences of
// glyph and line rasterisation do not count.
inline std::vector<uint32_t> ReduceToBlocks(int w, int h, const std::vector<uint32_t>& pixels) {
    std::vector<uint32_t> out;
    for (int by = 0; by < h / 4; ++by)
        for (int bx = 0; bx < w / 4; ++bx) {
            uint32_t acc[3] = {0, 0, 0};
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const uint32_t p = pixels[size_t(by * 4 + y) * size_t(w) + size_t(bx * 4 + x)];
                    for (int c = 0; c < 3; ++c) acc[c] += p >> (16 - 8 * c) & 0xFF;
                }
            out.push_back((acc[0] / 16) << 16 | (acc[1] / 16) << 8 | acc[2] / 16);
        }
    return out;
}

// Compares the picture, reduced to 4 x 4 blocks, with tests/render/data/<name>.bmp (a reduced picture;
// KV_UPDATE_SCENES=1 writes it): the mean difference of all block channels may be at most 6 and 98 % of
// the blocks must lie within 48 of the reference in every channel (the tolerance of the end-to-end
// picture checks).
inline void CompareWithReducedReference(const std::string& name, int w, int h, const std::vector<uint32_t>& pixels) {
    const std::vector<uint32_t> blocks = ReduceToBlocks(w, h, pixels);
    const int bw = w / 4, bh = h / 4;
    std::string path = std::string(KV_SOURCE_DIR) + "/tests/render/data/" + name + ".bmp";
    const char* update = std::getenv("KV_UPDATE_SCENES");
    if (update && std::string(update) == "1") {
        ASSERT_TRUE(datakit::WriteFile(path, datakit::Bmp24(bw, bh, blocks)));
        return;
    }
    int rw = 0, rh = 0;
    std::vector<uint32_t> ref;
    ASSERT_TRUE(ReadBmp24(path, &rw, &rh, &ref)) << path;
    ASSERT_EQ(rw, bw);
    ASSERT_EQ(rh, bh);
    double sum = 0;
    int near = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        int worst = 0;
        for (int sh = 0; sh < 24; sh += 8) {
            const int d = std::abs(int((blocks[i] >> sh) & 0xFF) - int((ref[i] >> sh) & 0xFF));
            sum += d;
            worst = std::max(worst, d);
        }
        near += worst <= 48;
    }
    EXPECT_LE(sum / (3.0 * double(blocks.size())), 6.0) << name;
    EXPECT_GE(near, int(blocks.size() * 98 / 100)) << name;
}

}  // namespace kvtest
