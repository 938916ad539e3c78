// Decoding of engine textures and bitmaps, the texture format choice and the pixel conversion.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/TexImage.h"
#include "tools/datakit/Texture.h"

namespace {

using datakit::Rgb;

std::vector<uint8_t> Ramp(size_t n, int step = 1) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * step);
    return v;
}

uint32_t Pixel(const TexImage& img, int r, int c) { return img.colour[size_t(r) * img.width + c]; }

TEST(EngineTexture, NonSquarePalettedRoundTripKeepsRowsColumnsAndColours) {
    // 8 wide, 2 high: the file stores columns, the decoder must give rows back.
    std::vector<uint8_t> idx = Ramp(16);
    std::vector<Rgb> pal(256);
    for (int i = 0; i < 256; ++i) pal[i] = Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)};
    auto file = datakit::EngineTexture(3, 1, idx, &pal);
    ASSERT_EQ(file.size(), 4u + 1024u + 16u);
    TexImage img;
    ASSERT_EQ(DecodeEngineTexture(file.data(), file.size(), &img), nullptr);
    EXPECT_EQ(img.width, 8);
    EXPECT_EQ(img.height, 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 8; ++c) {
            int i = r * 8 + c;
            uint32_t want = uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(uint8_t(i * 3));
            EXPECT_EQ(Pixel(img, r, c), want) << r << "," << c;
            EXPECT_EQ(img.alpha[size_t(i)], uint8_t(i)) << "alpha is the entry's first byte";
        }
}

TEST(EngineTexture, PaletteEntryIStandsAtFourPlusFourI) {
    // A hand-made 1 x 2 file (height 2, width 1): palette entry 1 at offset 8, entry 2 at offset 12.
    std::vector<uint8_t> f(4 + 1024 + 2, 0);
    f[0] = 1;  // log2 height
    f[1] = 0;  // log2 width
    f[3] = 1;  // palette
    const uint8_t e1[4] = {10, 20, 30, 0}, e2[4] = {200, 100, 50, 0};
    memcpy(&f[8], e1, 4);
    memcpy(&f[12], e2, 4);
    f[1028] = 1;  // row 0
    f[1029] = 2;  // row 1
    TexImage img;
    ASSERT_EQ(DecodeEngineTexture(f.data(), f.size(), &img), nullptr);
    EXPECT_EQ(Pixel(img, 0, 0), 0x0a141eu);
    EXPECT_EQ(Pixel(img, 1, 0), 0xc86432u);
    EXPECT_EQ(img.alpha[1], 200);
    // The writer puts the entries at the same place.
    std::vector<Rgb> pal = {{0, 0, 0}, {10, 20, 30}, {200, 100, 50}};
    auto w = datakit::EngineTexture(0, 1, {1, 2}, &pal);
    EXPECT_EQ(w, f);
}

TEST(EngineTexture, GreyWithoutPaletteAndAlphaMap) {
    auto file = datakit::EngineAlphaMap(1, 1, {0, 80, 160, 255});
    ASSERT_EQ(file.size(), 8u);
    TexImage img;
    ASSERT_EQ(DecodeEngineTexture(file.data(), file.size(), &img), nullptr);
    EXPECT_EQ(Pixel(img, 0, 1), 80u * 0x010101u);
    EXPECT_EQ(img.alpha[3], 255);
}

TEST(EngineTexture, SizesThatDoNotFitTheFileAreRefused) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"shorter than the header", {2, 2, 0}},
        {"log2 beyond the limit", [] {
             std::vector<uint8_t> v(4 + (1u << 13), 0);
             v[0] = 13;
             return v;
         }()},
        {"pixels cut short", [] {
             std::vector<uint8_t> v(4 + 63, 0);
             v[0] = 3;
             v[1] = 3;
             return v;
         }()},
        {"palette flagged but absent", [] {
             std::vector<uint8_t> v(4 + 16, 0);
             v[0] = 2;
             v[1] = 2;
             v[3] = 1;
             return v;
         }()},
        {"huge sizes", {30, 30, 0, 0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        TexImage img;
        EXPECT_NE(DecodeEngineTexture(c.bytes.data(), c.bytes.size(), &img), nullptr) << c.what;
    }
}

std::vector<uint32_t> Colours(int w, int h) {
    std::vector<uint32_t> v(size_t(w) * h);
    for (int i = 0; i < w * h; ++i) v[size_t(i)] = uint32_t(i * 0x030507 + 0x102030) & 0xffffff;
    return v;
}

TEST(Bmp, RoundTripsEveryWidthAndRowOrder) {
    for (int width : {1, 2, 3, 4, 5, 7, 16}) {
        for (bool topDown : {false, true}) {
            int height = 3;
            auto rgb = Colours(width, height);
            auto file24 = datakit::Bmp24(width, height, rgb, topDown);
            TexImage img;
            ASSERT_EQ(DecodeBmp(file24.data(), file24.size(), &img), nullptr) << width;
            EXPECT_EQ(img.colour, rgb) << "24-bit width " << width << " topDown " << topDown;

            std::vector<Rgb> pal(256);
            for (int i = 0; i < 256; ++i) pal[i] = Rgb{uint8_t(i), uint8_t(i ^ 0x55), uint8_t(255 - i)};
            auto idx = Ramp(size_t(width) * height, 7);
            auto file8 = datakit::Bmp8(width, height, idx, pal, topDown);
            ASSERT_EQ(DecodeBmp(file8.data(), file8.size(), &img), nullptr);
            for (size_t i = 0; i < idx.size(); ++i) {
                Rgb p = pal[idx[i]];
                EXPECT_EQ(img.colour[i], uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
                EXPECT_EQ(img.alpha[i], p.b) << "alpha is the entry's first (blue) byte";
            }
        }
    }
}

// A 3 x 2 24-bit bitmap written out by hand: bottom row first, each row padded from 9 to 12 bytes.
std::vector<uint8_t> HandBmp24() {
    std::vector<uint8_t> f = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                              40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                              24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t bottom[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
    const uint8_t top[12] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    f.insert(f.end(), bottom, bottom + 12);
    f.insert(f.end(), top, top + 12);
    return f;
}

TEST(Bmp, HandWrittenPaddedFileDecodesUpright) {
    auto f = HandBmp24();
    TexImage img;
    ASSERT_EQ(DecodeBmp(f.data(), f.size(), &img), nullptr);
    EXPECT_EQ(Pixel(img, 0, 0), 0x0c0b0au);
    EXPECT_EQ(Pixel(img, 0, 2), 0x121110u);
    EXPECT_EQ(Pixel(img, 1, 0), 0x030201u);
    EXPECT_EQ(Pixel(img, 1, 2), 0x090807u);
}

TEST(Bmp, BrokenFilesAreRefused) {
    auto put32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
    };
    struct Case {
        const char* what;
        void (*edit)(std::vector<uint8_t>&);
    };
    static decltype(put32)* p32 = &put32;
    Case cases[] = {
        {"not BM", [](std::vector<uint8_t>& f) { f[1] = 'X'; }},
        {"run-length compressed", [](std::vector<uint8_t>& f) { (*p32)(f, 30, 1); }},
        {"bit-field compressed", [](std::vector<uint8_t>& f) { (*p32)(f, 30, 3); }},
        {"16 bits per pixel", [](std::vector<uint8_t>& f) { f[28] = 16; }},
        {"last byte missing", [](std::vector<uint8_t>& f) { f.pop_back(); }},
        {"core header", [](std::vector<uint8_t>& f) { (*p32)(f, 14, 12); }},
        {"data offset past the end", [](std::vector<uint8_t>& f) { (*p32)(f, 10, 1000); }},
        {"zero width", [](std::vector<uint8_t>& f) { (*p32)(f, 18, 0); }},
        {"negative width", [](std::vector<uint8_t>& f) { (*p32)(f, 18, 0xfffffffdu); }},
        {"zero height", [](std::vector<uint8_t>& f) { (*p32)(f, 22, 0); }},
        {"huge height", [](std::vector<uint8_t>& f) { (*p32)(f, 22, 0x80000000u); }},
        {"header only", [](std::vector<uint8_t>& f) { f.resize(20); }},
    };
    for (const Case& c : cases) {
        auto f = HandBmp24();
        c.edit(f);
        TexImage img;
        EXPECT_NE(DecodeBmp(f.data(), f.size(), &img), nullptr) << c.what;
    }
    // An 8-bit file whose palette would run into the pixel rows.
    auto f8 = datakit::Bmp8(4, 1, {0, 1, 2, 3}, {});
    put32(f8, 10, 54 + 512);
    TexImage img;
    EXPECT_NE(DecodeBmp(f8.data(), f8.size(), &img), nullptr);
}

TEST(TextureFormat, ChoiceTable) {
    struct Case {
        bool colour, alpha, black;
        int alphaBits, texturebpp, display;
        TexFormat want;
    } cases[] = {
        {true, true, false, 8, 16, 16, TexFormat::ARGB8888},
        {true, true, true, 8, 32, 32, TexFormat::ARGB8888},
        {true, true, false, 4, 32, 32, TexFormat::ARGB4444},
        {true, true, true, 4, 16, 16, TexFormat::ARGB4444},
        {false, true, false, 8, 16, 16, TexFormat::A8},
        {false, true, true, 4, 32, 32, TexFormat::A8},
        {true, false, true, 8, 16, 32, TexFormat::ARGB1555},
        {true, false, true, 8, 32, 16, TexFormat::ARGB1555},
        {true, false, true, 8, 32, 32, TexFormat::ARGB8888},
        {true, false, false, 8, 32, 16, TexFormat::XRGB8888},  // the primary format given below
        {true, false, false, 8, 16, 32, TexFormat::RGB565},
        {true, false, false, 8, 32, 32, TexFormat::XRGB8888},
        {true, false, false, 8, 24, 32, TexFormat::XRGB8888},
    };
    for (const Case& c : cases) {
        TexFormatQuery q{c.colour, c.alpha, c.black, c.alphaBits, c.texturebpp, c.display,
                         TexFormat::XRGB8888};
        EXPECT_EQ(ChooseTextureFormat(q), c.want)
            << c.colour << c.alpha << c.black << " ab" << c.alphaBits << " tb" << c.texturebpp << " d"
            << c.display;
    }
    TexFormatQuery q{true, false, false, 8, 32, 16, TexFormat::RGB565};
    EXPECT_EQ(ChooseTextureFormat(q), TexFormat::RGB565);
}

TexImage Solid(int w, int h, std::vector<uint32_t> colour, std::vector<uint8_t> alpha = {}) {
    TexImage img;
    img.width = w;
    img.height = h;
    img.colour = std::move(colour);
    img.alpha = alpha.empty() ? std::vector<uint8_t>(size_t(w) * h, 0) : std::move(alpha);
    return img;
}

TEST(TextureConvert, MipShiftTakesEverySecondPixel) {
    std::vector<uint8_t> idx(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) idx[size_t(r) * 256 + c] = uint8_t((r * 3 + c) & 0xff);
    auto file = datakit::EngineTexture(8, 8, idx);
    TexImage img;
    ASSERT_EQ(DecodeEngineTexture(file.data(), file.size(), &img), nullptr);
    TexPixels px;
    ASSERT_EQ(ConvertTexture(&img, nullptr, false, 1, TexFormat::XRGB8888, &px), nullptr);
    ASSERT_EQ(px.width, 128);
    ASSERT_EQ(px.height, 128);
    for (int r : {0, 1, 77, 127})
        for (int c : {0, 5, 127}) {
            uint32_t g = uint32_t((2 * r * 3 + 2 * c) & 0xff);
            EXPECT_EQ(px.words[size_t(r) * 128 + c], g * 0x010101u) << r << "," << c;
        }
    EXPECT_NE(ConvertTexture(&img, nullptr, false, 9, TexFormat::XRGB8888, &px), nullptr);
    EXPECT_NE(ConvertTexture(&img, nullptr, false, -1, TexFormat::XRGB8888, &px), nullptr);
}

TEST(TextureConvert, PackingPerFormat) {
    TexImage colour = Solid(2, 1, {0xf1e2d3, 0x000000});
    TexImage alpha = Solid(2, 1, {0, 0}, {0xb7, 0x4c});
    struct Case {
        TexFormat format;
        bool withAlpha, black;
        uint32_t want0, want1;
    } cases[] = {
        {TexFormat::ARGB4444, true, false, 0xbfedu, 0x4000u},
        {TexFormat::ARGB8888, true, false, 0xb7f1e2d3u, 0x4c000000u},
        {TexFormat::ARGB1555, false, true, 0x8000u | (0x1eu << 10) | (0x1cu << 5) | 0x1au, 0x0000u},
        {TexFormat::ARGB8888, false, true, 0xfff1e2d3u, 0x00000000u},
        {TexFormat::RGB565, false, false, (0x1eu << 11) | (0x38u << 5) | 0x1au, 0u},
        {TexFormat::XRGB8888, false, false, 0xf1e2d3u, 0u},
        {TexFormat::ARGB1555, false, false, 0xfb9au, 0x8000u},  // opaque: every pixel keeps its alpha bit
    };
    for (const Case& c : cases) {
        TexPixels px;
        ASSERT_EQ(ConvertTexture(&colour, c.withAlpha ? &alpha : nullptr, c.black, 0, c.format, &px), nullptr);
        EXPECT_EQ(px.words[0], c.want0) << int(c.format);
        EXPECT_EQ(px.words[1], c.want1) << int(c.format);
    }
    TexPixels px;
    ASSERT_EQ(ConvertTexture(nullptr, &alpha, false, 0, TexFormat::A8, &px), nullptr);
    EXPECT_EQ(px.words, (std::vector<uint32_t>{0xb7, 0x4c}));
}

TEST(TextureConvert, BlackTransparentClearsTheAlphaBitOnlyForBlack) {
    // Nearly-black pixels that vanish in 5-bit channels are still not black.
    TexImage colour = Solid(4, 1, {0x000000, 0x000001, 0x010000, 0xffffff});
    TexPixels px;
    ASSERT_EQ(ConvertTexture(&colour, nullptr, true, 0, TexFormat::ARGB1555, &px), nullptr);
    EXPECT_EQ(px.words[0] & 0x8000u, 0u);
    EXPECT_EQ(px.words[1] & 0x8000u, 0x8000u);
    EXPECT_EQ(px.words[2] & 0x8000u, 0x8000u);
    EXPECT_EQ(px.words[3], 0xffffu);
}

TEST(TextureConvert, AlphaImageOfAnotherSizeIsScaled) {
    std::vector<uint32_t> c(4 * 4, 0xffffff);
    TexImage colour = Solid(4, 4, c);
    std::vector<uint8_t> big(8 * 8), small(2 * 2);
    for (int i = 0; i < 64; ++i) big[size_t(i)] = uint8_t(i);
    for (int i = 0; i < 4; ++i) small[size_t(i)] = uint8_t(100 + i);
    TexImage alphaBig = Solid(8, 8, std::vector<uint32_t>(64), big);
    TexImage alphaSmall = Solid(2, 2, std::vector<uint32_t>(4), small);
    TexPixels px;
    ASSERT_EQ(ConvertTexture(&colour, &alphaBig, false, 0, TexFormat::ARGB8888, &px), nullptr);
    EXPECT_EQ(px.words[1 * 4 + 3] >> 24, uint32_t(2 * 8 + 6));
    ASSERT_EQ(ConvertTexture(&colour, &alphaSmall, false, 0, TexFormat::ARGB8888, &px), nullptr);
    EXPECT_EQ(px.words[3 * 4 + 1] >> 24, uint32_t(100 + 2));
    EXPECT_EQ(px.words[0 * 4 + 3] >> 24, uint32_t(100 + 1));
}

TEST(TextureConvert, PowerOfTwoAndComponents) {
    struct {
        int32_t n;
        int want;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 0}, {64, 1}, {100, 0}, {1 << 29, 1}, {1 << 30, 0}, {-1, 0}};
    for (auto c : cases) EXPECT_EQ(IsPowerOfTwo(c.n), c.want) << c.n;
    EXPECT_EQ(UnpackComponent(0xf800, 0xf800), 0xf8);
    EXPECT_EQ(UnpackComponent(0x07e0, 0x07e0), 0xfc);
    EXPECT_EQ(UnpackComponent(0x12345678, 0x0000ff00), 0x56);
}

TEST(Palette, FileHasSixBytesPerEntryColourLast) {
    auto f = datakit::PaletteFile({{1, 2, 3}, {250, 251, 252}});
    ASSERT_EQ(f.size(), 1536u);
    const uint8_t want[12] = {0, 0, 0, 1, 2, 3, 0, 0, 0, 250, 251, 252};
    EXPECT_EQ(memcmp(f.data(), want, 12), 0);
}

}  // namespace
