// Converted pixel words land in texture surfaces of every format, row by row.
#include <gtest/gtest.h>

#include "host/Gfx.h"
#include "platform/TexSurface.h"

namespace {

TEST(TexSurface, EveryFormatHoldsTheWordsWhereTheyBelong) {
    for (TexFormat f : {TexFormat::ARGB8888, TexFormat::ARGB4444, TexFormat::ARGB1555, TexFormat::RGB565,
                        TexFormat::XRGB8888, TexFormat::A8}) {
        TexPixels px;
        px.width = 4;  // not square: rows and columns must not be swapped
        px.height = 2;
        px.format = f;
        TexFormatMasks m = MasksOf(f);
        uint32_t all = m.alpha | m.red | m.green | m.blue;
        for (int i = 0; i < 8; ++i) px.words.push_back((0x9e3779b9u * uint32_t(i + 1)) & all);
        host::GfxSurface* s = CreateTextureSurface(px);
        ASSERT_NE(s, nullptr) << int(f);
        EXPECT_EQ(host::SurfaceFormat(s), host::PixelFormat(HostPixelFormat(f)));
        EXPECT_EQ(host::SurfaceWidth(s), 4);
        EXPECT_EQ(host::SurfaceHeight(s), 2);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(host::ReadPixelArgb(s, c, r),
                          host::UnpackPixel(host::PixelFormat(HostPixelFormat(f)), px.words[size_t(r * 4 + c)]))
                    << int(f) << " " << r << "," << c;
        host::DeleteSurface(s);
    }
    TexPixels bad;
    bad.width = 2;
    bad.height = 2;
    bad.words = {1, 2, 3};
    EXPECT_EQ(CreateTextureSurface(bad), nullptr);
}

}  // namespace
