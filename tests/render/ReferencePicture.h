// Reference pictures of the render tests: tests/render/data/<name>.bmp, compared with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"

namespace kvtest {

inline bool ReadBmp24(const std::string& path, int* w, int* h, std::vector<uint32_t>* rgb) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> b;
    int c;
    while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t(b[at + size_t(i)]) << (8 * i);
        return v;
    };
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || le(28, 2) != 24) return false;
    size_t offset = le(10, 4);
    *w = int(le(18, 4)), *h = int(le(22, 4));
    if (*w <= 0 || *h <= 0 || *w > 4096 || *h > 4096) return false;
    size_t stride = (size_t(*w) * 3 + 3) & ~size_t(3);
    if (offset + stride * size_t(*h) > b.size()) return false;
    rgb->assign(size_t(*w) * size_t(*h), 0);
    for (int y = 0; y < *h; ++y)
        for (int x = 0; x < *w; ++x)
            (*rgb)[size_t(y * *w + x)] = le(offset + stride * size_t(*h - 1 - y) + size_t(x) * 3, 3);
    return true;
}

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

}  // namespace kvtest
