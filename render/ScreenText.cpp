#include "render/ScreenText.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "render/RenderTables.h"

int32_t TextGridCell = 12;
int32_t TextLineHeight = 16;
int32_t TextFont = 0;

namespace {

ScreenTextSink TextSink = nullptr;

// Formats into the fixed buffer; an overlong text is cut at 255 characters.
void DrawFormatted(int32_t x, int32_t y, int32_t style, const char* format, va_list args) {
    char text[kScreenTextBufferSize];
    vsnprintf(text, sizeof text, format, args);
    if (TextSink) TextSink(x, ScreenHeight - y, style, text);
    DrawText3D(x, y, text, style);
}

}  // namespace

void SetScreenTextSink(ScreenTextSink sink) { TextSink = sink; }

void SetScreenTextMetrics(int32_t gridCell, int32_t lineHeight) {
    if (gridCell > 0) TextGridCell = gridCell;
    if (lineHeight > 0) TextLineHeight = lineHeight;
}

#define KV_SCREEN_TEXT(name, style, xArg, yExpr)        \
    void name(int32_t x, int32_t y, const char* format, ...) { \
        if (!format) return;                            \
        va_list args;                                   \
        va_start(args, format);                         \
        DrawFormatted(xArg, yExpr, style, format, args); \
        va_end(args);                                   \
    }
KV_SCREEN_TEXT(DrawTextf, 1, x, ScreenHeight - y)
KV_SCREEN_TEXT(DrawTextf2, 2, x, ScreenHeight - y)
KV_SCREEN_TEXT(DrawTextf3, 3, x, ScreenHeight - y)
KV_SCREEN_TEXT(DrawTextGridf, 1, x * TextGridCell, y * TextGridCell)
#undef KV_SCREEN_TEXT

void SetTextColor(const uint8_t* rgba) {
    if (!rgba) return;
    CurrentColour = uint32_t(rgba[3]) << 24 | uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
}

void SetTextFont(int32_t n) {
    TextFont = n;
    // The number is the glyph height in pixels that the text is drawn at.
    if (n > 0) FontSize = n;
}
int32_t GetTextFont() { return TextFont; }

int SetMenuLineColor(int32_t y, int32_t selected) {
    // Both colours are opaque.
    static const uint8_t kHighlight[4] = {0xD0, 0xFF, 0xFF, 0xFF};
    static const uint8_t kNormal[4] = {0x9A, 0x9A, 0xFF, 0xFF};
    int32_t line = (SurfaceHeight - y) / TextGridCell;
    bool hit = line == selected;
    SetTextColor(hit ? kHighlight : kNormal);
    return hit ? 1 : 0;
}
