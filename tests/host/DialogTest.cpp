// The message box the host draws itself when the system's cannot be shown: its text broken into lines
// and its font.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host/Dialog_local.h"

namespace {

TEST(DrawnDialog, TextIsBrokenAtBlanksAndLineFeeds) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* text;
        size_t columns;
        Lines lines;
    } cases[] = {
        {"short", 10, {"short"}},
        {"", 10, {""}},
        {"two words here", 9, {"two words", "here"}},
        {"a\nb", 10, {"a", "b"}},
        {"a\n\nb", 10, {"a", "", "b"}},
        {"abcdefghijkl", 5, {"abcde", "fghij", "kl"}},  // a word longer than a line is cut
        {"ab cdefghijkl", 5, {"ab", "cdefg", "hijkl"}},
        {"exactly ten", 11, {"exactly ten"}},
        {"x", 0, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(host::WrapDialogText(c.text, c.columns), c.lines) << c.text;
}

TEST(DrawnDialog, EveryPrintableCharacterHasAGlyphOfItsOwn) {
    std::set<std::vector<uint8_t>> seen;
    for (int c = 33; c <= 126; ++c) {
        const uint8_t* rows = host::DialogGlyph(static_cast<unsigned char>(c));
        std::vector<uint8_t> glyph(rows, rows + host::kDialogGlyphHeight);
        for (uint8_t row : glyph) EXPECT_EQ(row & ~0x1f, 0) << c << " stays in its five columns";
        EXPECT_NE(glyph, std::vector<uint8_t>(host::kDialogGlyphHeight, 0)) << c;
        EXPECT_TRUE(seen.insert(glyph).second) << char(c) << " looks like another character";
    }
    // A blank is empty; control characters and bytes past ASCII show the question mark.
    const uint8_t* blank = host::DialogGlyph(' ');
    for (int r = 0; r < host::kDialogGlyphHeight; ++r) EXPECT_EQ(blank[r], 0);
    for (int c : {0, 9, 10, 31, 127, 0xe9, 0xff}) {
        EXPECT_EQ(host::DialogGlyph(static_cast<unsigned char>(c)), host::DialogGlyph('?')) << c;
    }
}

}  // namespace
