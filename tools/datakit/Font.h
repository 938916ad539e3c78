// Writer of the bitmap font: the glyph texture (a 256 x 256 24-bit bitmap "Font" with its 8-bit alpha map
// "Font_", glyphs in a 16 x 16 grid of 16-pixel cells, character code c in column c & 15 and row c >> 4)
// and the width file "Fontset" (256 decimal widths for a 16-pixel font, then "end"). The colour image is
// the coverage as grey (white glyphs on black), so text reads right whether it is blended by its alpha
// or added onto the screen.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

struct FontAtlas {
    std::vector<uint8_t> coverage;   // 256 x 256 alpha values, row by row from the top
    std::array<int32_t, 256> widths; // advance of each code at size 16 less the 1-pixel gap; 0: no glyph
};

// Renders the codes 32 to 126 and 160 to 255 (Latin-1) from a TrueType font with FreeType when the
// build has it and the font file exists, else from a small block font of our own. The result is the
// same for the same font file.
FontAtlas RenderFontAtlas(const std::string& fontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");

// The width file's text: 16 numbers per line, then "end".
std::string FontsetText(const std::array<int32_t, 256>& widths);

// Writes "Font", "Font_" and "Fontset" into a folder. False when a file cannot be written.
bool WriteFont(const std::string& folder, const FontAtlas& atlas);

}  // namespace datakit
