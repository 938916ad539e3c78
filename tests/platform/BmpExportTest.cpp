// The 24-bit bitmap of snapshots: byte layout, row padding and channel widening, checked against a
// hand-written layout and by an independent reader (Python's struct).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/BmpExport.h"
#include "support/TempDir.h"

namespace {

TEST(BmpExport, ThreeByTwoThirtyTwoBitLayout) {
    // Rows top first: (r0c0 r0c1 r0c2) (r1c0 r1c1 r1c2); the file stores row 1 first.
    const uint32_t px[6] = {0x00a1a2a3, 0x00b1b2b3, 0x00c1c2c3, 0x00d1d2d3, 0x00e1e2e3, 0xfff1f2f3};
    SurfacePixels s{reinterpret_cast<const uint8_t*>(px), 12, 3, 2, 32, 0, 0, 0};
    std::vector<uint8_t> f;
    ASSERT_TRUE(EncodeBmp24(s, &f));
    const uint8_t want[] = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                 // file header: size 54 + 2 x 12
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,  // 3 x 2, 1 plane, 24 bits, none
        24, 0, 0, 0, 0x12, 0x0b, 0, 0, 0x12, 0x0b, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0xd3, 0xd2, 0xd1, 0xe3, 0xe2, 0xe1, 0xf3, 0xf2, 0xf1, 0, 0, 0,  // bottom row, 3 bytes of padding
        0xa3, 0xa2, 0xa1, 0xb3, 0xb2, 0xb1, 0xc3, 0xc2, 0xc1, 0, 0, 0,
    };
    ASSERT_EQ(f.size(), sizeof want);
    EXPECT_EQ(memcmp(f.data(), want, sizeof want), 0);
}

TEST(BmpExport, SixteenBitChannelsAreWidened) {
    const uint16_t px[4] = {0xffff, 0xf800, 0x07e0, 0x001f};  // one row of RGB565, width 4 needs no padding
    SurfacePixels s{reinterpret_cast<const uint8_t*>(px), 8, 4, 1, 16, 0xf800, 0x07e0, 0x001f};
    std::vector<uint8_t> f;
    ASSERT_TRUE(EncodeBmp24(s, &f));
    ASSERT_EQ(f.size(), 54u + 12u);
    const uint8_t want[12] = {0xf8, 0xfc, 0xf8, 0, 0, 0xf8, 0, 0xfc, 0, 0xf8, 0, 0};
    EXPECT_EQ(memcmp(f.data() + 54, want, 12), 0);
}

TEST(BmpExport, OtherDepthsAreRefused) {
    uint8_t px[16] = {};
    for (int bpp : {8, 24, 15, 0}) {
        SurfacePixels s{px, 4, 4, 1, bpp, 0, 0, 0};
        std::vector<uint8_t> f;
        EXPECT_FALSE(EncodeBmp24(s, &f)) << bpp;
    }
}

TEST(BmpExport, EveryWidthGivesAFileAnIndependentReaderAccepts) {
    const char* script = R"(
import struct, sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
d = open(path, 'rb').read()
assert d[:2] == b'BM', 'magic'
size, res, off, hsize, bw, bh, planes, bpp, comp, isize = struct.unpack('<IIIIiiHHII', d[2:38])
stride = (w * 3 + 3) // 4 * 4
assert size == len(d) == 54 + stride * h, 'file size'
assert (res, off, hsize, bw, bh, planes, bpp, comp, isize) == (0, 54, 40, w, h, 1, 24, 0, stride * h), 'header'
for fr in range(h):
    r = h - 1 - fr
    row = d[54 + fr * stride: 54 + (fr + 1) * stride]
    assert row[w * 3:] == bytes(stride - w * 3), 'padding'
    for c in range(w):
        v = (r * 64 + c) * 0x030107 & 0xffffff
        assert row[c * 3: c * 3 + 3] == bytes((v & 255, v >> 8 & 255, v >> 16)), ('pixel', r, c)
)";
    kvtest::TempDir dir;
    std::ofstream(dir / "check.py") << script;
    for (int w = 1; w <= 9; ++w) {
        int h = 3;
        std::vector<uint32_t> px(size_t(w) * h);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) px[size_t(r) * w + c] = ((r * 64 + c) * 0x030107u) & 0xffffffu;
        SurfacePixels s{reinterpret_cast<const uint8_t*>(px.data()), w * 4, w, h, 32, 0, 0, 0};
        std::vector<uint8_t> f;
        ASSERT_TRUE(EncodeBmp24(s, &f));
        std::string path = dir / ("w" + std::to_string(w) + ".bmp");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
        std::string cmd = "python3 " + (dir / "check.py") + " " + path + " " + std::to_string(w) + " " +
                          std::to_string(h);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << "width " << w;
    }
}

}  // namespace
