// Screen text: formatting front ends over the font's DrawText3D. Positions handed in count y from the
// bottom of the screen, except the character grid, which counts rows from the top.
#pragma once

#include <cstdint>

constexpr int kScreenTextBufferSize = 256;  // formatted texts are cut to 255 characters

// The text grid's cell size in pixels and the line height of stacked text, set at start-up.
extern int32_t TextGridCell;
extern int32_t TextLineHeight;
void SetScreenTextMetrics(int32_t gridCell, int32_t lineHeight);

// The font number of the HUD's texts.
extern int32_t TextFont;

// printf-style text at (x, y), y counted from the bottom: left-aligned, right-aligned (ending at x) and
// centred on x. A null format draws nothing.
void DrawTextf(int32_t x, int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void DrawTextf2(int32_t x, int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void DrawTextf3(int32_t x, int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4)));
// printf-style text in the grid cell (column, row), rows counted from the top.
void DrawTextGridf(int32_t column, int32_t row, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Receives every formatted text as it is drawn: x, y counted from the bottom, the alignment (1 left, 2
// right, 3 centred) and the text (tests); null for none.
using ScreenTextSink = void (*)(int32_t x, int32_t y, int32_t style, const char* text);
void SetScreenTextSink(ScreenTextSink sink);

// The text colour from four bytes red, green, blue, alpha.
void SetTextColor(const uint8_t* rgba);
// The text size: a glyph height in pixels (the font's FontSize), until the next call.
void SetTextFont(int32_t n);
int32_t GetTextFont();
// Colours the text row at y (counted from the bottom) of a text menu: the highlight colour and 1 when
// its line index equals selected, else the normal colour and 0.
int SetMenuLineColor(int32_t y, int32_t selected);
