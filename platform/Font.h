// The bitmap font: one proportional font in a 16 x 16 glyph grid on one texture, with a width per
// character code. Text is drawn as textured quads of the screen vertex; widths are given for a 16-pixel
// font and scaled by FontSize / 16.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}  // namespace host
struct ScreenVertex;

constexpr int kFontCodes = 256;

// Width of each character code at size 16; 0: no glyph (measured and drawn as '?').
extern int32_t FontWidths[kFontCodes];
// Glyph size in pixels.
extern int32_t FontSize;
// The glyph texture (loaded at start-up); null until then.
extern host::GfxSurface* FontTexture;

// Reads the width file: decimal numbers, one per code from 0, up to the word "end" or the end of the
// file; only the first 256 are stored. Returns the result of closing the stream.
int LoadFontWidths(const char* path);

// Loads the font texture "App\Font\Font" (with its alpha map "App\Font\Font_") and the width file
// "App\Font\Fontset"; a texture loaded before is released first. Called at start-up and whenever the
// display has been closed and opened again.
void LoadFont();
// Releases the font texture.
void FreeFont();

// Pixel width of a text at the current size.
int32_t TextWidth(const char* text);

// The x at which a text of the given width starts: alignment 2 ends it at x, 3 centres it (integer
// halving), anything else starts it at x.
int32_t AlignTextX(int32_t x, int32_t width, int32_t alignment);

// The glyph quad of one character code, a triangle fan of four vertices: left edge at pen, top edge at
// surface row top, size pixels square; texture cell column c & 15, row c >> 4, its rows from 1/256 down
// for 0.06 of the texture.
void GlyphQuad(uint8_t code, float pen, float top, float size, uint32_t diffuse, uint32_t specular,
               ScreenVertex out[4]);

// Draws a text with the font in CurrentColour, top edge at screen row y counted from the top, x aligned
// as AlignTextX says. Returns the number of characters drawn.
int DrawText3D(int32_t x, int32_t y, const char* text, int32_t alignment);
