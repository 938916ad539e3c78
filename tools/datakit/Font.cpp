#include "tools/datakit/Font.h"

#include <cstdio>
#include <cstring>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"

#if __has_include(<ft2build.h>)
#include <ft2build.h>
#include FT_FREETYPE_H
#define KV_DATAKIT_FREETYPE 1
#endif

namespace datakit {

namespace {

constexpr int kCell = 16;
constexpr int kAtlas = 256;
constexpr int kBaseline = 13;  // glyph rows 1 to 16 of a cell are shown; the baseline leaves room below

bool HasGlyph(int code) { return (code >= 32 && code <= 126) || code >= 160; }

void BlockFont(FontAtlas& atlas) {
    // A plain stand-in when no TrueType renderer is available: each printable code a hollow box whose
    // width varies a little with the code, so measuring and alignment still look like text.
    for (int code = 0; code < 256; ++code) {
        if (!HasGlyph(code)) continue;
        int w = code == 32 || code == 160 ? 4 : 6 + code % 4;
        atlas.widths[size_t(code)] = w;
        if (code == 32 || code == 160) continue;
        int x0 = (code & 15) * kCell, y0 = (code >> 4) * kCell;
        for (int y = 4; y <= kBaseline; ++y)
            for (int x = 0; x < w; ++x)
                if (y == 4 || y == kBaseline || x == 0 || x == w - 1)
                    atlas.coverage[size_t(y0 + y) * kAtlas + size_t(x0 + x)] = 255;
    }
}

#ifdef KV_DATAKIT_FREETYPE
bool FreeTypeFont(FontAtlas& atlas, const std::string& fontFile) {
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) return false;
    FT_Face face;
    if (FT_New_Face(lib, fontFile.c_str(), 0, &face)) {
        FT_Done_FreeType(lib);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, 13);
    for (int code = 0; code < 256; ++code) {
        if (!HasGlyph(code)) continue;
        if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) continue;
        FT_GlyphSlot g = face->glyph;
        int advance = int((g->advance.x + 32) >> 6);
        atlas.widths[size_t(code)] = advance > 1 ? advance - 1 : 1;
        int x0 = (code & 15) * kCell, y0 = (code >> 4) * kCell;
        int left = g->bitmap_left > 0 ? g->bitmap_left : 0;
        int top = kBaseline - g->bitmap_top;
        for (unsigned by = 0; by < g->bitmap.rows; ++by) {
            int y = top + int(by);
            if (y < 0 || y >= kCell) continue;
            for (unsigned bx = 0; bx < g->bitmap.width; ++bx) {
                int x = left + int(bx);
                if (x >= kCell) break;
                uint8_t v = g->bitmap.buffer[by * unsigned(g->bitmap.pitch) + bx];
                uint8_t& dst = atlas.coverage[size_t(y0 + y) * kAtlas + size_t(x0 + x)];
                if (v > dst) dst = v;
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return true;
}
#endif

}  // namespace

FontAtlas RenderFontAtlas(const std::string& fontFile) {
    FontAtlas atlas;
    atlas.coverage.assign(size_t(kAtlas) * kAtlas, 0);
    atlas.widths.fill(0);
#ifdef KV_DATAKIT_FREETYPE
    if (FreeTypeFont(atlas, fontFile)) return atlas;
    atlas.coverage.assign(size_t(kAtlas) * kAtlas, 0);
    atlas.widths.fill(0);
#else
    (void)fontFile;
#endif
    BlockFont(atlas);
    return atlas;
}

std::string FontsetText(const std::array<int32_t, 256>& widths) {
    std::string s;
    char buf[16];
    for (size_t i = 0; i < 256; ++i) {
        snprintf(buf, sizeof buf, "%d", int(widths[i]));
        s += buf;
        s += (i % 16 == 15) ? "\n" : " ";
    }
    s += "end\n";
    return s;
}

bool WriteFont(const std::string& folder, const FontAtlas& atlas) {
    std::vector<uint32_t> grey(atlas.coverage.size());
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint32_t(atlas.coverage[i]) * 0x010101u;
    return WriteFile(folder + "/Font", Bmp24(kAtlas, kAtlas, grey)) &&
           WriteFile(folder + "/Font_", BmpAlphaMap(kAtlas, kAtlas, atlas.coverage)) &&
           WriteTextFile(folder + "/Fontset", FontsetText(atlas.widths));
}

}  // namespace datakit
