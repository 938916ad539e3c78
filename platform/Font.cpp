#include "platform/Font.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/Rules.h"
#include "core/Tokenizer.h"
#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "platform/ScreenVertex.h"
#include "platform/Texture.h"

int32_t FontWidths[kFontCodes];
int32_t FontSize = 13;
host::GfxSurface* FontTexture = nullptr;

namespace {

// The code actually drawn for a character: one without a glyph stands as '?'.
uint8_t DrawnCode(char ch) {
    uint8_t c = uint8_t(ch);
    return FontWidths[c] ? c : uint8_t('?');
}

// The pen after a glyph, truncated to a whole pixel; saturated at the limits of a 32-bit position.
double Advance(double pen, uint8_t code) {
    return double(TruncateToInt32(pen + double(FontWidths[code]) * double(FontSize) * 0.0625 + 1.0));
}

// A glyph is at most this wide in the width file's units (sixteenths of the font size), either sign:
// far more than any glyph, and small enough that a line of text stays a 32-bit position.
constexpr long kMaxFontWidth = 1024;

}  // namespace

int LoadFontWidths(const char* path) {
    FILE* f = nullptr;
    InputStream s;
    OpenInputStream(path, &f, &s);
    char word[kTokenSize];
    char delim = 0;
    int code = 0;
    while (!AtEndOfStream(&s)) {
        int len = ReadToken(&s, word, sizeof word, nullptr, &delim);
        if (len == 0) {
            if (AtEndOfStream(&s)) break;
            continue;  // a delimiter between numbers
        }
        if (!strcmp(word, "end")) break;
        if (code < kFontCodes)
            FontWidths[code++] = int32_t(std::clamp(strtol(word, nullptr, 10), -kMaxFontWidth, kMaxFontWidth));
    }
    CloseInputStream(f, &s);
    return 0;
}

void LoadFont() {
    char path[64];
    FreeFont();
    snprintf(path, sizeof path, "%s%c%s%c%s", "App", '\\', "Font", '\\', "Font");
    FontTexture = LoadBitmapTexture(path);
    snprintf(path, sizeof path, "%s%c%s%c%s", "App", '\\', "Font", '\\', "Fontset");
    LoadFontWidths(path);
}

void FreeFont() {
    host::DeleteSurface(FontTexture);
    FontTexture = nullptr;
}

int32_t TextWidth(const char* text) {
    if (!text) return 0;
    double width = 0;
    for (const char* p = text; *p; ++p) width = Advance(width, DrawnCode(*p));
    return TruncateToInt32(width);
}

int32_t AlignTextX(int32_t x, int32_t width, int32_t alignment) {
    if (alignment == 2) return TruncateToInt32(double(x) - double(width));
    if (alignment == 3) return TruncateToInt32(double(x) - double(width / 2));
    return x;
}

void GlyphQuad(uint8_t code, float pen, float top, float size, uint32_t diffuse, uint32_t specular,
               ScreenVertex out[4]) {
    float u0 = float(code & 15) / 16.0f;
    float u1 = u0 + 1.0f / 16.0f;
    float v0 = float(code >> 4) / 16.0f + 1.0f / 256.0f;
    float v1 = v0 + 0.06f;
    const float xs[4] = {pen, pen + size, pen + size, pen};
    const float ys[4] = {top, top, top + size, top + size};
    const float us[4] = {u0, u1, u1, u0};
    const float vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i)
        out[i] = ScreenVertex{xs[i], ys[i], 0.0001f, 1.0f, diffuse, specular, us[i], vs[i], 0.0f, 0.0f};
}

int DrawText3D(int32_t x, int32_t y, const char* text, int32_t alignment) {
    if (!text) return 0;
    host::GfxDevice* dev = D3DDevice;
    uint32_t blendWas = 0;
    if (dev) {
        blendWas = host::GetRenderState(dev, host::RenderState::AlphaBlendEnable);
        host::SetRenderState(dev, host::RenderState::AlphaBlendEnable, 1);
        host::SetTexture(dev, 0, FontTexture);
    }
    x = AlignTextX(x, TextWidth(text), alignment);
    // y counts from the top of the screen the renderer draws for; the surface may be taller.
    float top = float(SurfaceHeight - (ScreenHeight - y));
    double pen = x;
    int drawn = 0;
    for (const char* p = text; *p; ++p, ++drawn) {
        uint8_t code = DrawnCode(*p);
        ScreenVertex quad[4];
        GlyphQuad(code, float(pen), top, float(FontSize), CurrentColour, FogSpecular, quad);
        if (dev) host::DrawPrimitive(dev, host::PrimitiveType::TriangleFan, kScreenVertexFvf, quad, 4);
        DrawCallCount += 1.0f;
        TriangleCount += 2.0f;
        pen = Advance(pen, code);
    }
    if (dev) {
        host::SetTexture(dev, 0, nullptr);
        if (!blendWas) host::SetRenderState(dev, host::RenderState::AlphaBlendEnable, 0);
    }
    return drawn;
}
