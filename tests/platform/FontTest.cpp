// Text measuring and alignment of the bitmap font, and the font that datakit renders.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/Font.h"
#include "platform/TexImage.h"
#include "support/TempDir.h"
#include "tools/datakit/Font.h"
#include "tools/datakit/Texture.h"

namespace {

class FontWidthsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        memcpy(saved_, FontWidths, sizeof saved_);
        savedSize_ = FontSize;
        memset(FontWidths, 0, sizeof FontWidths);
    }
    void TearDown() override {
        memcpy(FontWidths, saved_, sizeof saved_);
        FontSize = savedSize_;
    }
    int32_t saved_[kFontCodes];
    int32_t savedSize_;
};

TEST_F(FontWidthsFixture, TextWidthCases) {
    FontWidths[int('a')] = 8;
    FontWidths[int('b')] = 5;
    FontWidths[int('?')] = 6;
    FontWidths[0xe9] = 7;
    struct Case {
        int32_t size;
        const char* text;
        int32_t want;
    } cases[] = {
        {16, "", 0},
        {16, "aa", 18},       // 8 + 1 each
        {16, "ab", 15},
        {13, "a", 7},         // 8 x 13/16 = 6.5, + 1 = 7.5, truncated
        {13, "aa", 14},       // truncation after every character, not once at the end
        {13, "ab", 12},       // 7 then 7 + 4.0625 + 1 = 12.06
        {16, "x", 7},         // no glyph: measured as '?'
        {16, "\xe9", 8},      // codes above 127 are not negative indices
        {16, "a\x01?", 9 + 7 + 7},
    };
    for (const Case& c : cases) {
        FontSize = c.size;
        EXPECT_EQ(TextWidth(c.text), c.want) << "size " << c.size << " '" << c.text << "'";
    }
    EXPECT_EQ(TextWidth(nullptr), 0);
}

TEST(FontAlign, LeftRightAndCentre) {
    struct Case {
        int32_t x, width, alignment, want;
    } cases[] = {
        {100, 18, 1, 100}, {100, 18, 0, 100}, {100, 18, 7, 100},
        {100, 18, 2, 82},  // right-aligned text ends at x
        {100, 18, 3, 91},  {100, 17, 3, 92},  // centred with integer halving
        {5, 20, 2, -15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AlignTextX(c.x, c.width, c.alignment), c.want) << c.x << " " << c.width << " " << c.alignment;
}

TEST(FontAtlas, GlyphsSitInTheirCellsAndWidthsMatchTheGlyphs) {
    datakit::FontAtlas atlas = datakit::RenderFontAtlas();
    ASSERT_EQ(atlas.coverage.size(), 256u * 256u);
    auto inked = [&](int code) {
        int x0 = (code & 15) * 16, y0 = (code >> 4) * 16, n = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) n += atlas.coverage[size_t(y0 + y) * 256 + size_t(x0 + x)] > 0;
        return n;
    };
    for (int code = 0; code < 256; ++code) {
        bool printable = (code >= 33 && code <= 126);
        if (printable) {
            EXPECT_GT(atlas.widths[size_t(code)], 0) << code;
            EXPECT_GT(inked(code), 0) << code;
        }
        if (code < 32 || (code >= 127 && code < 160)) {
            EXPECT_EQ(atlas.widths[size_t(code)], 0) << code;
            EXPECT_EQ(inked(code), 0) << code;
        }
    }
    EXPECT_GT(atlas.widths[' '], 0) << "a space is measured, not drawn as '?'";
    EXPECT_EQ(inked(' '), 0);
    EXPECT_GT(atlas.widths['W'], atlas.widths['i']);
    // The top row of a cell is never shown (the glyph's texture rows start 1/256 down), so it stays empty.
    for (int code = 0; code < 256; ++code)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(atlas.coverage[size_t((code >> 4) * 16) * 256 + size_t((code & 15) * 16 + x)], 0) << code;
}

TEST(FontAtlas, FilesRoundTripThroughTheGameReaders) {
    datakit::FontAtlas atlas = datakit::RenderFontAtlas();
    auto alphaFile = datakit::BmpAlphaMap(256, 256, atlas.coverage);
    TexImage img;
    ASSERT_EQ(DecodeBmp(alphaFile.data(), alphaFile.size(), &img), nullptr);
    EXPECT_EQ(img.alpha, atlas.coverage);
    std::string text = datakit::FontsetText(atlas.widths);
    EXPECT_EQ(text.substr(text.size() - 4), "end\n");
}

}  // namespace

namespace {

TEST_F(FontWidthsFixture, WidthFileRoundTripAndItsEnd) {
    kvtest::TempDir tmp;
    std::array<int32_t, 256> widths{};
    for (int i = 0; i < 256; ++i) widths[size_t(i)] = (i * 7) % 13;
    tmp.Write("Fontset", datakit::FontsetText(widths));
    LoadFontWidths((tmp / "Fontset").c_str());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(FontWidths[i], widths[size_t(i)]) << i;

    struct Case {
        const char* text;
        std::vector<int32_t> first;  // the first widths after reading
    } cases[] = {
        {"5 6 end 7", {5, 6, 0}},               // reading stops at "end"
        {"1,2;3\n4", {1, 2, 3, 4}},              // delimiters separate like blanks
        {"/* a comment */ 9 10", {9, 10, 0}},
        {"", {0, 0}},
        // Widths near the 32-bit limits are bounded to what a glyph can be, so no text measures past
        // a 32-bit position.
        {"2147483647 -2147483648 99999999999999 1024 -1025", {1024, -1024, 1024, 1024, -1024}},
    };
    for (const Case& c : cases) {
        memset(FontWidths, 0, sizeof FontWidths);
        tmp.Write("set", c.text);
        LoadFontWidths((tmp / "set").c_str());
        for (size_t i = 0; i < c.first.size(); ++i) EXPECT_EQ(FontWidths[i], c.first[i]) << c.text << " " << i;
    }
    // Numbers past the 256th are not stored anywhere.
    std::string many;
    for (int i = 0; i < 300; ++i) many += std::to_string(i + 1) + " ";
    tmp.Write("many", many);
    LoadFontWidths((tmp / "many").c_str());
    EXPECT_EQ(FontWidths[255], 256);

    // A long text of the widest glyphs at a large size: the width saturates instead of wrapping.
    tmp.Write("wide", "0 2147483647 2147483647");
    LoadFontWidths((tmp / "wide").c_str());
    FontSize = 1 << 20;
    std::string text(300, '\x01');
    EXPECT_EQ(TextWidth(text.c_str()), INT32_MAX);
    EXPECT_EQ(AlignTextX(-100, INT32_MAX, 2), INT32_MIN);
}

}  // namespace
