// Reference pictures of the render tests: tests/render/data/<name>.bmp, compared with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
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

}  // namespace kvtest
