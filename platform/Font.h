// The bitmap font: one proportional font in a 16 x 16 glyph grid on one texture, with a width per
// character code. Text is drawn as textured quads of the screen vertex; widths are given for a 16-pixel
// font and scaled by FontSize / 16.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}  // namespace host

constexpr int kFontCodes = 256;

// Width of each character code at size 16; 0: no glyph (measured and drawn as '?').
extern int32_t FontWidths[kFontCodes];
// Glyph size in pixels.
extern int32_t FontSize;
// The glyph texture (loaded at start-up); null until then.
extern host::GfxSurface* FontTexture;

// Reads the width file: decimal numbers, one per code from 0, up to the word "end" or the end of the
// file; only the first 256 are stored. Returns the result of closing the stream.
// TODO-tokenizer int LoadFontWidths(const char* path);

// Pixel width of a text at the current size.
int32_t TextWidth(const char* text);

// The x at which a text of the given width starts: alignment 2 ends it at x, 3 centres it (integer
// halving), anything else starts it at x.
int32_t AlignTextX(int32_t x, int32_t width, int32_t alignment);
