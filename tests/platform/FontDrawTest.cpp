// Text drawn through the device lands where its alignment and the font's widths put it.
#include <gtest/gtest.h>

#include "platform/Font.h"
#include "render/RenderTables.h"
#include "support/TextDevice.h"

namespace {

// Lit columns of one row, as a string of '#' and '.' from x0 to x1 inclusive.
std::string Row(const kvtest::TextDevice& d, int y, int x0, int x1) {
    std::string s;
    for (int x = x0; x <= x1; ++x) s += d.Lit(x, y) ? '#' : '.';
    return s;
}

TEST(DrawText3D, AlignmentsPlaceTheGlyphs) {
    kvtest::TextDevice d;
    struct Case {
        int alignment;
        int firstLit;  // left edge of the first glyph: text width 18 ("AA" at size 16)
    } cases[] = {{1, 100}, {0, 100}, {2, 82}, {3, 91}};
    for (const Case& c : cases) {
        d.Clear();
        EXPECT_EQ(DrawText3D(100, 40, "AA", c.alignment), 2);
        // Each glyph lights 8 columns; the second starts 9 further on (width 8 + 1).
        std::string want = "." + std::string(8, '#') + "." + std::string(8, '#') + ".";
        EXPECT_EQ(Row(d, 48, c.firstLit - 1, c.firstLit + 17), want) << "alignment " << c.alignment;
    }
}

TEST(DrawText3D, TopEdgeIsTheRowCountedFromTheTopAndStatesAreRestored) {
    kvtest::TextDevice d;
    float calls = DrawCallCount, tris = TriangleCount;
    host::SetRenderState(d.device(), host::RenderState::AlphaBlendEnable, 0);
    DrawText3D(10, 30, "A", 1);
    EXPECT_FALSE(d.Lit(12, 29));
    EXPECT_TRUE(d.Lit(12, 30));
    EXPECT_TRUE(d.Lit(12, 44));
    EXPECT_FALSE(d.Lit(12, 47));
    EXPECT_EQ(DrawCallCount - calls, 1.0f);
    EXPECT_EQ(TriangleCount - tris, 2.0f);
    EXPECT_EQ(host::GetRenderState(d.device(), host::RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(host::GetTexture(d.device(), 0), nullptr);
    host::SetRenderState(d.device(), host::RenderState::AlphaBlendEnable, 1);
    DrawText3D(10, 30, "A", 1);
    EXPECT_EQ(host::GetRenderState(d.device(), host::RenderState::AlphaBlendEnable), 1u);
}

TEST(DrawText3D, CharactersWithoutGlyphAreDrawnAsQuestionMarks) {
    kvtest::TextDevice d;
    // '?' has a width but its cell is empty here; an unknown code advances by '?'s width.
    DrawText3D(20, 10, "\x01" "A", 1);
    EXPECT_FALSE(d.Lit(20, 15));
    EXPECT_TRUE(d.Lit(29, 15));
    EXPECT_EQ(DrawText3D(0, 0, nullptr, 1), 0);
}

}  // namespace
