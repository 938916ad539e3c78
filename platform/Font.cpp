#include "platform/Font.h"

int32_t FontWidths[kFontCodes];
int32_t FontSize = 13;
host::GfxSurface* FontTexture = nullptr;

namespace {

// The code actually drawn for a character: one without a glyph stands as '?'.
uint8_t DrawnCode(char ch) {
    uint8_t c = uint8_t(ch);
    return FontWidths[c] ? c : uint8_t('?');
}

double Advance(double pen, uint8_t code) {
    return double(int32_t(pen + double(FontWidths[code]) * double(FontSize) * 0.0625 + 1.0));
}

}  // namespace

int32_t TextWidth(const char* text) {
    if (!text) return 0;
    double width = 0;
    for (const char* p = text; *p; ++p) width = Advance(width, DrawnCode(*p));
    return int32_t(width);
}

int32_t AlignTextX(int32_t x, int32_t width, int32_t alignment) {
    if (alignment == 2) return x - width;
    if (alignment == 3) return x - width / 2;
    return x;
}
