// The screen-text front ends: bottom-up positions, the character grid, colours and menu lines.
#include <gtest/gtest.h>

#include "render/RenderTables.h"
#include "render/ScreenText.h"
#include "support/TextDevice.h"

namespace {

TEST(ScreenText, DrawTextfCountsUpFromTheBottomAndGridFromTheTop) {
    kvtest::TextDevice d(160, 120);
    DrawTextf(4, 40, "%c", 'A');  // top edge at row 120 - 40
    EXPECT_FALSE(d.Lit(6, 79));
    EXPECT_TRUE(d.Lit(6, 80));
    d.Clear();
    DrawTextGridf(2, 3, "A");  // top-left corner of cell (2, 3): (24, 36)
    EXPECT_TRUE(d.Lit(24, 36));
    EXPECT_FALSE(d.Lit(23, 40));
    EXPECT_FALSE(d.Lit(28, 35));
    d.Clear();
    DrawTextf2(60, 40, "AA");  // right-aligned: ends at 60
    EXPECT_TRUE(d.Lit(42, 85));
    EXPECT_FALSE(d.Lit(41, 85));
    d.Clear();
    DrawTextf3(60, 40, "AA");  // centred: starts at 60 - 9
    EXPECT_TRUE(d.Lit(51, 85));
    EXPECT_FALSE(d.Lit(50, 85));
    d.Clear();
    DrawTextf(4, 40, nullptr);
    for (int x = 0; x < 40; ++x) EXPECT_FALSE(d.Lit(x, 85));
}

TEST(ScreenText, OverlongTextIsCutAt255Characters) {
    kvtest::TextDevice d(8000, 40);
    std::string s(400, 'A');
    DrawTextf(0, 40, "%s", s.c_str());
    EXPECT_TRUE(d.Lit(254 * 9 + 2, 5));
    EXPECT_FALSE(d.Lit(255 * 9 + 2, 5));
}

TEST(ScreenText, TextColourAndMenuLines) {
    kvtest::TextDevice d(160, 120);
    const uint8_t rgba[4] = {0x11, 0x22, 0x33, 0x44};
    SetTextColor(rgba);
    EXPECT_EQ(CurrentColour, 0x44112233u);
    struct Case {
        int y, selected, want;
    } cases[] = {
        {120 - 12 * 3 - 11, 3, 1}, {120 - 12 * 4, 3, 0}, {120 - 12 * 3, 3, 1}, {120, 0, 1},
        {120 - 11, 0, 1},          {120 - 12, 0, 0},     {5, 9, 1},            {130, 0, 1},  // -10 / 12 is 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SetMenuLineColor(c.y, c.selected), c.want) << c.y << " " << c.selected;
        EXPECT_EQ(CurrentColour & 0xffffffu, c.want ? 0xD0FFFFu : 0x9A9AFFu);
    }
    SetTextFont(3);
    EXPECT_EQ(GetTextFont(), 3);
    EXPECT_EQ(FontSize, 3) << "the number is the glyph height";
    SetTextFont(13);
}

}  // namespace
