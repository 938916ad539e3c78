// Drawing of the current screen: the background picture, every widget kind by kind, the open message box;
// the loading of the background and the two fade transitions between screens.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Package.h"
#include "frontend/Credits.h"
#include "frontend/Frontend.h"
#include "host/Gfx.h"
#include "render/Overlay2D.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/Sound.h"
#include "render/RenderTables.h"
#include "render/ScreenText.h"

host::GfxSurface* ScreenBackground = nullptr;
char ScreenBackgroundName[64] = "";

namespace {

// The bevel colours of the widget being drawn, derived from WidgetColour (all alpha 128).
struct Bevel {
    uint8_t dark[4] = {100, 100, 100, 128};
    uint8_t face[4] = {180, 180, 180, 128};
    uint8_t darker[4] = {50, 50, 50, 128};
};

Bevel CurrentBevel() {
    Bevel b;
    const uint8_t r = WidgetColour[0], g = WidgetColour[1], bl = WidgetColour[2];
    const uint8_t dark[4] = {uint8_t(r / 2), uint8_t(g / 2), uint8_t(bl / 2), 128};
    const uint8_t face[4] = {r, g, bl, 128};
    const uint8_t darker[4] = {uint8_t(r / 3), uint8_t(g / 3), uint8_t(bl / 3), 128};
    memcpy(b.dark, dark, 4);
    memcpy(b.face, face, 4);
    memcpy(b.darker, darker, 4);
    return b;
}

// The bevel's lines: dark along the left and top edges, face one pixel inside them, dark one pixel inside
// the bottom and right edges, darker on the bottom and right edges.
void BevelLines(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const Bevel b = CurrentBevel();
    DrawLine2D(b.dark, left, bottom, left, top);
    DrawLine2D(b.dark, left, top, right, top);
    DrawLine2D(b.face, left + 1, bottom + 1, left + 1, top - 1);
    DrawLine2D(b.face, left + 1, top - 1, right - 1, top - 1);
    DrawLine2D(b.dark, left + 1, bottom + 1, right - 1, bottom + 1);
    DrawLine2D(b.dark, right - 1, bottom + 1, right - 1, top - 1);
    DrawLine2D(b.darker, left, bottom, right, bottom);
    DrawLine2D(b.darker, right, bottom, right, top);
}

// The standard bevel: its lines and the inside shaded from the face colour to WidgetColour2.
void StandardBevel(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    BevelLines(left, top, right, bottom);
    const Bevel b = CurrentBevel();
    FillShadedRect2D(b.face, WidgetColour2, left + 2, bottom + 2, right - 3, top - 1);
}

// Alpha fill of a rectangle given by its corners (any y order), inclusive of its pixels.
void AlphaFill(const uint8_t* rgba, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    FillRectAlpha2D(rgba, left, bottom, right - 1, top + 1);
}

void Text(int32_t x, int32_t y, const char* text) { DrawTextf(x, y, "%s", text); }
void TextCentred(int32_t x, int32_t y, const char* text) { DrawTextf3(x, y, "%s", text); }

// The glow level of a hovered button or checkbox rises by 3 per frame to 250, else falls by 1 to 0.
void StepGlow(uint8_t* glow, bool hover) {
    if (hover)
        *glow = *glow >= 248 ? 250 : static_cast<uint8_t>(*glow + 3);
    else if (*glow > 0)
        --*glow;
}

// The longest beginning of a text (at most 63 characters) whose width is below the given width.
void FitText(const char* text, int32_t width, char* out, int size) {
    CopyWidgetText(out, size < kWidgetTextSize ? size : kWidgetTextSize, text);
    for (size_t n = strlen(out); n > 0 && TextWidth(out) >= width; --n) out[n - 1] = 0;
}

void DrawStandardFrameText(int32_t x, int32_t y, const char* text) {
    SetTextColor(TextColour);
    Text(x, y, text);
}

// The additive halo of a glow: a fan per side from the rectangle's edge, grey level at the edge, black
// 8 units out.
void GlowSide(const int32_t (&inner)[2][2], const int32_t (&outer)[2][2], uint32_t grey) {
    const uint32_t in = 0xff000000u | grey << 16 | grey << 8 | grey;
    const uint32_t out = 0xff000000u;
    const int32_t* pts[4] = {inner[0], inner[1], outer[1], outer[0]};
    const uint32_t colours[4] = {in, in, out, out};
    for (int i = 0; i < 4; ++i) {
        ScreenVertex& v = ScratchVertices[i];
        v.x = static_cast<float>(pts[i][0]);
        v.y = ScreenHeightF - static_cast<float>(pts[i][1]);
        v.z = 0.0001f;
        v.rhw = 1.0f;
        v.diffuse = colours[i];
        v.specular = FogSpecular;
    }
    if (D3DDevice) host::DrawPrimitive(D3DDevice, host::PrimitiveType::TriangleFan, kScreenVertexFvf, ScratchVertices, 4);
    DrawCallCount += 1.0f;
    TriangleCount += 2.0f;
}

// The whole of a text file through the package (empty when it cannot be opened: false).
bool ReadWholeFile(const char* path, std::string* out) {
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return false;
    for (;;) {
        const int c = qzpk_fgetc(f);
        if (c == EOF || (c == 0 && qzpk_feof(f))) break;
        out->push_back(static_cast<char>(c));
    }
    qzpk_fclose(f);
    return true;
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Description text of an ltextbox: the words of a text file, wrapped in the box, until the word "end".
void DrawDescription(const LTextbox& w) {
    SetTextColor(TextColour);
    const int32_t startX = w.left + ScaleX(10);
    int32_t penX = startX, penY = w.top - ScaleY(10);
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", TEXTROOT, kPathSeparator, w.file);
    std::string text;
    if (!w.file[0] || !ReadWholeFile(path, &text)) {
        Text(penX, penY, "Keine Missionsbeschreibung verf\xfcgbar.");
        return;
    }
    size_t i = 0;
    for (;;) {
        // Blanks; each newline starts a new line 12 units down.
        for (; i < text.size() && Blank(text[i]); ++i)
            if (text[i] == '\n') {
                penX = startX;
                penY -= ScaleY(12);
            }
        if (i >= text.size()) break;
        // The word, cut to the 255 characters of the buffer (the rest of an overlong word is skipped).
        char word[256];
        size_t n = 0;
        for (; i < text.size() && !Blank(text[i]); ++i)
            if (n < sizeof word - 1) word[n++] = text[i];
        word[n] = 0;
        if (strcmp(word, "end") == 0) break;
        const int32_t width = TextWidth(word);
        if (penX + width > w.right - ScaleX(10)) {
            penX = startX;
            penY -= ScaleY(14);
        }
        Text(penX, penY, word);
        penX += width + ScaleX(7);
        if (i < text.size() && text[i] == '\n') {
            penX = startX;
            penY -= ScaleY(14);
            ++i;
        }
    }
}

}  // namespace

void DrawGlow(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t level) {
    if (level <= 0) return;
    const uint32_t grey = static_cast<uint32_t>(level / 2);
    const int32_t dx = ScaleX(8), dy = ScaleY(8);
    host::GfxDevice* dev = D3DDevice;
    uint32_t zWas = 0, src = 0, dst = 0, blend = 0;
    if (dev) {
        zWas = host::GetRenderState(dev, host::RenderState::ZEnable);
        src = host::GetRenderState(dev, host::RenderState::SrcBlend);
        dst = host::GetRenderState(dev, host::RenderState::DestBlend);
        blend = host::GetRenderState(dev, host::RenderState::AlphaBlendEnable);
        host::SetRenderState(dev, host::RenderState::ZEnable, 0);
        host::SetRenderState(dev, host::RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::One));
        host::SetRenderState(dev, host::RenderState::DestBlend, static_cast<uint32_t>(host::BlendFactor::One));
        host::SetRenderState(dev, host::RenderState::AlphaBlendEnable, 1);
    }
    GlowSide({{left, top}, {right, top}}, {{left - dx, top + dy}, {right + dx, top + dy}}, grey);
    GlowSide({{right, top}, {right, bottom}}, {{right + dx, top + dy}, {right + dx, bottom - dy}}, grey);
    GlowSide({{right, bottom}, {left, bottom}}, {{right + dx, bottom - dy}, {left - dx, bottom - dy}}, grey);
    GlowSide({{left, bottom}, {left, top}}, {{left - dx, bottom - dy}, {left - dx, top + dy}}, grey);
    if (dev) {
        host::SetRenderState(dev, host::RenderState::SrcBlend, src);
        host::SetRenderState(dev, host::RenderState::DestBlend, dst);
        host::SetRenderState(dev, host::RenderState::AlphaBlendEnable, blend);
        host::SetRenderState(dev, host::RenderState::ZEnable, zWas);
    }
}

void DrawLabel(const Label& w) {
    if (!w.visible) return;
    SetTextFont(w.height);
    SetTextColor(w.colour);
    Text(w.x, w.y, w.text);
    SetTextFont(ScaleY(13.0f));
}

void DrawButton(UIButton& w) {
    if (!w.enabled) return;
    StandardBevel(w.left, w.top, w.right, w.bottom);
    SetTextColor(TextColour);
    TextCentred(w.left + (w.right - w.left) / 2, w.top - (w.top - w.bottom) / 2 + 6, w.text);
    StepGlow(&w.glow, w.hover != 0);
    if (w.glow) DrawGlow(w.left, w.top, w.right, w.bottom, w.glow);
}

void DrawCheckbox(Checkbox& w) {
    if (!w.enabled) return;
    StandardBevel(w.x + ScaleX(22), w.y, w.right, w.y - ScaleY(22));
    DrawStandardFrameText(w.x + ScaleX(26), w.y - 5, w.text);
    const int32_t bl = w.x, br = w.x + ScaleX(20), bt = w.y, bb = w.y - ScaleY(21);
    BevelLines(bl, bt, br, bb);
    AlphaFill(WidgetColour, bl + 2, bt - 2, br - 2, bb + 2);
    if (w.checked) {
        // A tick: two strokes, each drawn twice for weight.
        const int32_t mx = bl + (br - bl) * 2 / 5, my = bb + (bt - bb) / 4;
        for (int k = 0; k < 2; ++k) {
            DrawLine2D(TextColour, bl + 4 + k, bb + (bt - bb) / 2, mx + k, my);
            DrawLine2D(TextColour, mx + k, my, br - 3 + k, bt - 4);
        }
    }
    StepGlow(&w.glow, w.hover != 0);
    if (w.glow) DrawGlow(w.x, w.y, w.right, w.y - ScaleY(22), w.glow);
}

void DrawListbox(const Listbox& w) {
    if (!w.enabled) return;
    StandardBevel(w.x, w.y, w.right, w.y - ScaleY(20));
    DrawStandardFrameText(w.x + 4, w.y - ScaleY(5), w.title);
    const int32_t rowH = ScaleY(15);
    const int32_t areaTop = w.y - ScaleY(22), areaBottom = w.y - ScaleY(26) - rowH * w.rows;
    AlphaFill(WidgetColour, w.x, areaTop, w.right, areaBottom);
    int32_t rowRight = w.right;
    if (w.count > w.rows) {
        rowRight = w.right - ScaleX(20);
        const int32_t bx0 = w.right - ScaleX(20), bx1 = w.right;
        const int32_t upTop = areaTop, upBottom = areaTop - ScaleY(21);
        const int32_t downBottom = areaBottom, downTop = areaBottom + ScaleY(21);
        const int32_t boxes[2][2] = {{upTop, upBottom}, {downTop, downBottom}};
        for (const auto& box : boxes) {
            AlphaFill(WidgetColour, bx0, box[0], bx1, box[1]);
            DrawRect2D(WidgetColour, bx0, box[1], bx1, box[0]);
        }
        // The arrows: a chevron up in the upper box, down in the lower one.
        const int32_t cx = (bx0 + bx1) / 2, ax = ScaleX(6), ay = ScaleY(5);
        const int32_t upMid = (upTop + upBottom) / 2, downMid = (downTop + downBottom) / 2;
        DrawLine2D(TextColour, cx - ax, upMid - ay, cx, upMid + ay);
        DrawLine2D(TextColour, cx, upMid + ay, cx + ax, upMid - ay);
        DrawLine2D(TextColour, cx - ax, downMid + ay, cx, downMid - ay);
        DrawLine2D(TextColour, cx, downMid - ay, cx + ax, downMid + ay);
        // The thumb in the track between the boxes.
        const int32_t track = rowH * w.rows - ScaleY(42);
        const int32_t start = w.y - ScaleY(23) - static_cast<int32_t>(int64_t(w.first) * track / w.count);
        int32_t length = static_cast<int32_t>(int64_t(w.rows) * track / w.count);
        if (length < 3) length = 3;
        const int32_t tx0 = w.right - ScaleX(18), tx1 = w.right - ScaleX(3);
        const int32_t thumbTop = start - ScaleY(21);
        AlphaFill(WidgetColour, tx0, thumbTop, tx1, thumbTop - length);
        DrawRect2D(WidgetColour, tx0, thumbTop - length, tx1, thumbTop);
    }
    SetTextColor(TextColour);
    const int32_t textWidth = rowRight - w.x - 4 - 2;
    for (int i = 0; i < w.rows; ++i) {
        const int r = w.first + i;
        if (r < 0 || r >= w.count || r >= kListItems) break;
        const int32_t top = w.y - ScaleY(25) - rowH * i;
        if (r == w.selected) {
            uint8_t bar[4] = {WidgetColour[0], WidgetColour[1], WidgetColour[2], 255};
            FillRect2D(bar, w.x + 1, top - ScaleY(14), rowRight - 1, top);
            SetTextColor(TextColour);
        }
        char shown[kWidgetTextSize];
        FitText(w.items[r], textWidth, shown, sizeof shown);
        Text(w.x + 4, top, shown);
    }
}

void DrawTextbox(const Textbox& w, bool focused) {
    if (!w.enabled) return;
    const int32_t right = w.x + ScaleX(200), h = ScaleY(22);
    BevelLines(w.x, w.y, right, w.y - h);
    BevelLines(w.x, w.y - 24, right, w.y - 24 - h);
    AlphaFill(WidgetColour, w.x + 2, w.y - 24 - 2, right - 2, w.y - 24 - h + 2);
    SetTextColor(TextColour);
    Text(w.x + 4, w.y - 5, w.caption);
    SetTextColor(TextColour);
    if (focused)
        DrawTextf(w.x + 4, w.y - 28, "%s_", w.edit);
    else
        Text(w.x + 4, w.y - 28, w.edit);
}

void DrawLTextbox(const LTextbox& w) {
    if (!w.visible) return;
    BevelLines(w.left, w.top, w.right, w.bottom);
    AlphaFill(WidgetColour, w.left + 2, w.top - 2, w.right - 2, w.bottom + 2);
    DrawDescription(w);
}

void DrawSlider(const Slider& w) {
    if (!w.enabled) return;
    StandardBevel(w.x, w.y, w.x + ScaleX(158), w.y - ScaleY(22));
    AlphaFill(WidgetColour, w.x + ScaleX(25), w.y - ScaleY(35), w.x + ScaleX(175), w.y - ScaleY(45));
    // A slider without a range shows its knob at the start.
    const int32_t range = w.maximum - w.minimum;
    const int32_t pos = range ? static_cast<int32_t>(int64_t(150) * w.value / range) : 0;
    const int32_t kx = w.x + ScaleX(static_cast<float>(22 + pos));
    AlphaFill(WidgetColour, kx, w.y - ScaleY(28), kx + ScaleX(9), w.y - ScaleY(53));
    SetTextColor(TextColour);
    Text(w.x, w.y - ScaleY(5), w.text);
    SetTextColor(TextColour);
    DrawTextf(w.x + ScaleX(164), w.y - ScaleY(5), "%d", w.value);
}

void DrawFrame(const UIFrame& w) {
    if (!w.enabled) return;
    if (w.filled) {
        AlphaFill(w.colour, w.left, w.top, w.right, w.bottom);
    } else {
        const uint8_t third[4] = {uint8_t(w.colour[0] / 3), uint8_t(w.colour[1] / 3), uint8_t(w.colour[2] / 3), 128};
        DrawRect2D(third, w.left, w.bottom, w.right, w.top);
    }
}

void DrawImage(UIImage& w) {
    if (!w.visible) return;
    const int n = w.animated ? w.frames : 1;
    if (w.frame < 0 || w.frame >= n) w.frame = 0;
    host::GfxSurface* picture = n > 0 ? w.pictures[w.frame] : nullptr;
    if (picture) {
        dxgl_Blt(w.left, w.top, picture, nullptr);
    } else {
        AlphaFill(WidgetColour, w.left, w.top, w.right, w.bottom);
        SetTextColor(TextColour);
        TextCentred(w.left + (w.right - w.left) / 2, w.bottom + (w.top - w.bottom) / 2 + 7, "empty");
    }
    if (w.animated && n > 0) {
        const float now = static_cast<float>(TimerNow());
        if (now - w.timers[2] > 16.0f) {
            w.frame = (w.frame + 1) % n;
            w.timers[2] = now;
        }
    }
}

void MsgBoxExtent(const UIMsgBox& w, int32_t* left, int32_t* right) {
    const int32_t width = TextWidth(w.text);
    if (width > ScaleX(260)) {
        const int32_t centre = ScreenWidth / 2;
        *left = centre - width / 2 - ScaleX(20);
        *right = centre + width / 2 + ScaleX(20);
    } else {
        *left = ScaleX(250);
        *right = ScaleX(549);
    }
}

namespace {

void MsgButton(int32_t left, int32_t right, int32_t textX, const char* text) {
    const int32_t top = ScaleY(280), bottom = ScaleY(250);
    for (int inset : {0, 1, 3}) {
        const int32_t ix = ScaleX(static_cast<float>(inset)), iy = ScaleY(static_cast<float>(inset));
        DrawRect2D(WidgetColour, left + ix, bottom + iy, right - ix, top - iy);
    }
    AlphaFill(WidgetColour, left + ScaleX(4), top - ScaleY(4), right - ScaleX(4), bottom + ScaleY(4));
    SetTextColor(TextColour);
    char shown[kMsgButtonTextSize];
    CopyWidgetText(shown, sizeof shown, text);
    TextCentred(textX, ScaleY(270), shown);
}

}  // namespace

void DrawMsgBox(const UIMsgBox& w) {
    uint8_t colour[4] = {WidgetColour[0], WidgetColour[1], WidgetColour[2], 220};
    int32_t left, right;
    MsgBoxExtent(w, &left, &right);
    const int32_t top = ScaleY(359), bottom = ScaleY(240);
    AlphaFill(colour, left, top, right, bottom);
    DrawRect2D(colour, left, bottom, right, top);
    SetTextColor(TextColour);
    TextCentred(ScreenWidth / 2, ScaleY(325), w.text);
    if (w.kind == 1) {
        MsgButton(ScaleX(330), ScaleX(469), ScreenWidth / 2, w.button0);
    } else if (w.kind == 2) {
        MsgButton(left + ScaleX(30), left + ScaleX(130), left + ScaleX(80), w.button0);
        MsgButton(right - ScaleX(130), right - ScaleX(30), right - ScaleX(80), w.button1);
    }
}

void DrawScreen() {
    if (ScreenBackground) dxgl_Blt(0, ScreenHeight, ScreenBackground, nullptr);
    // Records are reached by index each time: drawing never creates widgets, but a loop over one kind
    // must not keep a pointer across another kind's call.
    for (int i = 0; i < Frames.count; ++i) DrawFrame(Frames[i]);
    for (int i = 0; i < Images.count; ++i) DrawImage(Images[i]);
    for (int i = 0; i < Labels.count; ++i) DrawLabel(Labels[i]);
    for (int i = 0; i < Buttons.count; ++i) DrawButton(Buttons[i]);
    for (int i = 0; i < Checkboxes.count; ++i) DrawCheckbox(Checkboxes[i]);
    for (int i = 0; i < Listboxes.count; ++i) DrawListbox(Listboxes[i]);
    for (int i = 0; i < Textboxes.count; ++i) DrawTextbox(Textboxes[i], i == FocusedTextbox);
    for (int i = 0; i < LTextboxes.count; ++i) DrawLTextbox(LTextboxes[i]);
    for (int i = 0; i < Sliders.count; ++i) DrawSlider(Sliders[i]);
    if (OpenMsgBox >= 0 && OpenMsgBox < MsgBoxes.count) DrawMsgBox(MsgBoxes[OpenMsgBox]);
    if (MenuScreen == kScreenCredits) RunCredits(0);
}

void LoadScreenBackground(host::GfxSurface** background, const char* name) {
    FreeScreenBackground(background);
    dxgl_ClearRenderTarget(0xff000000u, 0);
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", BITMAPROOT, kPathSeparator, name ? name : "");
    // A picture that cannot be had leaves the screen black.
    *background = CreateSurfaceFromBitmap(path, ScreenWidth, ScreenHeight);
    CopyWidgetText(ScreenBackgroundName, sizeof ScreenBackgroundName, name);
}

void FreeScreenBackground(host::GfxSurface** background) {
    if (background && *background) {
        dxgl_ReleaseSurface(*background);
        *background = nullptr;
    }
}

namespace {

void FadeFrame(int alpha) {
    const uint8_t black[4] = {0, 0, 0, static_cast<uint8_t>(alpha)};
    FillRectAlpha2D(black, 0, 0, ScreenWidth, ScreenHeight + 1);
}

// Frames for a third of a second: the screen under black of the given alpha, then presented. The window's
// messages are pumped each frame (the clock of a headless run is the frames).
template <typename Alpha>
void Fade(const char* sound, Alpha alpha) {
    dxgl_SoundStreamBuffer* s = dxgl_PlaySample(sound, 2, 0, 1, 0);
    if (dxgl_IsSoundValid(s)) dxgl_UpdateSound3D(s);
    const int64_t start = static_cast<int64_t>(TimerNow());
    for (;;) {
        const int64_t t = static_cast<int64_t>(TimerNow()) - start;
        if (t >= 32) break;
        dxgl_ClearRenderTarget(0xff000000u, 1);
        DrawScreen();
        dxgl_UpdateStreams();
        FadeFrame(alpha(static_cast<uint8_t>(t)));
        dxgl_SwapBuffers();
        MenuGame.pumpMessages();
    }
}

}  // namespace

void SwooshIn() {
    Fade("swoosh_in.wav", [](uint8_t t) { return 255 - 8 * t; });
}

void SwooshOut() {
    Fade("swoosh_out.wav", [](uint8_t t) { return 8 * t; });
    dxgl_ClearRenderTarget(0xff000000u, 1);
    DrawScreen();
    FadeFrame(255);
    dxgl_SwapBuffers();
}
