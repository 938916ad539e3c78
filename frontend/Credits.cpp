// The credits roll: "credits.txt" read a block at a time, each block shown for 0.8 s per line plus a second
// of fade in and a second of fade out, and the slides the file names cross-fading over four seconds.
#include "frontend/Credits.h"

#include <cstring>

#include "core/Config.h"
#include "core/Files.h"
#include "frontend/Widgets.h"
#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "platform/Texture.h"
#include "render/RenderTables.h"
#include "render/ScreenText.h"

CreditsRoll CreditsState{};

namespace {

// One line of the stream, up to a newline or its end (the newline is not kept); only the first 63
// characters are kept, however long the line is.
void ReadLine(InputStream* s, char* line) {
    int n = 0;
    while (!AtEndOfStream(s)) {
        const char c = GetChar(s);
        if (c == '\n' || c == 0) {
            if (c == '\n' || AtEndOfStream(s)) break;
            continue;
        }
        if (n < kCreditsLineSize - 1) line[n++] = c;
    }
    line[n] = 0;
}

void StartSlide(const char* name, float now) {
    CreditsRoll& r = CreditsState;
    r.newest = 1 - r.newest;
    if (r.slides[r.newest]) DeleteTex(r.slides[r.newest]);
    r.slides[r.newest] = CreateTex();
    char path[kCreditsLineSize + 16];
    snprintf(path, sizeof path, "credits%c%s", kPathSeparator, name);
    LoadTex(r.slides[r.newest], path, 0);
    r.slideStart = now;
}

// Reads lines into the block until a line ends it; a slide line starts its picture and leaves the block
// to be read on from the next frame.
void ReadBlock() {
    CreditsRoll& r = CreditsState;
    r.lineCount = 0;
    const float now = static_cast<float>(TimerNow());
    while (r.open && !AtEndOfStream(&r.stream)) {
        char line[kCreditsLineSize];
        ReadLine(&r.stream, line);
        if (strcmp(line, "---CUT---") == 0) {
            r.blockStart = now;
            r.layout = 1 - r.layout;
            return;
        }
        if (strcmp(line, "end") == 0) {
            // The next block starts at the top of the file again.
            r.stream.cursor = r.stream.buffer;
            r.stream.line = 1;
            r.blockStart = now;
            return;
        }
        if (strncmp(line, "---SLIDE:", 9) == 0) {
            StartSlide(line + 9, now);
            return;
        }
        // Lines past the block's sixteen are dropped.
        if (r.lineCount < kCreditsLines) memcpy(r.lines[r.lineCount++], line, sizeof line);
    }
}

// The text's grey level at now: up over a second, held for 0.8 s a line, down over a second.
int TextLevel(double now) {
    CreditsRoll& r = CreditsState;
    const double shown = r.lineCount * 80.0;
    if (now > shown + r.blockStart + 200.0) {
        r.blockStart = 0.0f;
        return 0;
    }
    int t = static_cast<int>(now - r.blockStart);
    if (t > r.lineCount * 80 + 100) t = r.lineCount * 80 - t + 200;
    t = t < 0 ? 0 : t > 100 ? 100 : t;
    return 2 * t;
}

void DrawBlock(int level) {
    const CreditsRoll& r = CreditsState;
    const uint8_t colour[4] = {uint8_t(level), uint8_t(level), uint8_t(level), 128};
    SetTextColor(colour);
    for (int i = 0; i < r.lineCount; ++i) {
        if (r.layout == 1)
            DrawTextf(ScaleX(80), ScaleY(static_cast<float>(450 - 20 * i)), "%s", r.lines[i]);
        else
            DrawTextf2(ScaleX(720), ScaleY(static_cast<float>(110 + 20 * (r.lineCount - i))), "%s",
                       r.lines[i]);
    }
}

// A slide as one quad over x 144 .. 656, y 44 .. 556 of the menu frame, tinted and at the given alpha.
void DrawSlide(const Tex* tex, int alpha) {
    host::GfxDevice* dev = D3DDevice;
    if (!dev || !tex || !tex->surface) return;
    const float left = static_cast<float>(ScaleX(144)), right = static_cast<float>(ScaleX(656));
    const float top = ScreenHeightF - static_cast<float>(ScaleY(556));
    const float bottom = ScreenHeightF - static_cast<float>(ScaleY(44));
    const uint32_t colour = static_cast<uint32_t>(alpha) << 24 | 200u << 16 | 200u << 8 | 165u;
    // The fan starts at the top-right corner; u runs down the picture and v across it.
    const float corners[4][4] = {
        {right, top, 0, 1}, {right, bottom, 1, 1}, {left, bottom, 1, 0}, {left, top, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        ScreenVertex& v = ScratchVertices[i];
        v.x = corners[i][0];
        v.y = corners[i][1];
        v.z = 0.0001f;
        v.rhw = 1.0f;
        v.diffuse = colour;
        v.specular = FogSpecular;
        v.tu0 = v.tu1 = corners[i][2];
        v.tv0 = v.tv1 = corners[i][3];
    }
    using host::RenderState;
    using host::StageState;
    const uint32_t zWas = host::GetRenderState(dev, RenderState::ZEnable);
    const uint32_t colourOp[3] = {host::GetTextureStageState(dev, 0, StageState::ColorOp),
                                  host::GetTextureStageState(dev, 0, StageState::ColorArg1),
                                  host::GetTextureStageState(dev, 0, StageState::ColorArg2)};
    const uint32_t alphaOp[3] = {host::GetTextureStageState(dev, 0, StageState::AlphaOp),
                                 host::GetTextureStageState(dev, 0, StageState::AlphaArg1),
                                 host::GetTextureStageState(dev, 0, StageState::AlphaArg2)};
    host::SetTexture(dev, 0, tex->surface);
    host::SetTextureStageState(dev, 0, StageState::ColorOp, static_cast<uint32_t>(host::TextureOp::Modulate));
    host::SetTextureStageState(dev, 0, StageState::ColorArg1, host::GfxTaTexture);
    host::SetTextureStageState(dev, 0, StageState::ColorArg2, host::GfxTaDiffuse);
    host::SetTextureStageState(dev, 0, StageState::AlphaOp, static_cast<uint32_t>(host::TextureOp::Modulate));
    host::SetTextureStageState(dev, 0, StageState::AlphaArg1, host::GfxTaTexture);
    host::SetTextureStageState(dev, 0, StageState::AlphaArg2, host::GfxTaDiffuse);
    host::SetTextureStageState(dev, 0, StageState::Address, host::GfxAddressClamp);
    host::SetRenderState(dev, RenderState::FogEnable, 0);
    host::SetRenderState(dev, RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::SrcAlpha));
    host::SetRenderState(dev, RenderState::DestBlend, static_cast<uint32_t>(host::BlendFactor::InvSrcAlpha));
    host::SetRenderState(dev, RenderState::AlphaBlendEnable, 1);
    host::SetRenderState(dev, RenderState::ZEnable, 0);
    host::DrawPrimitive(dev, host::PrimitiveType::TriangleFan, kScreenVertexFvf, ScratchVertices, 4);
    DrawCallCount += 1.0f;
    TriangleCount += 2.0f;
    host::SetTextureStageState(dev, 0, StageState::Address, host::GfxAddressWrap);
    host::SetTexture(dev, 0, nullptr);
    host::SetRenderState(dev, RenderState::ZEnable, zWas);
    host::SetRenderState(dev, RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::One));
    host::SetRenderState(dev, RenderState::DestBlend, static_cast<uint32_t>(host::BlendFactor::One));
    host::SetRenderState(dev, RenderState::AlphaBlendEnable, 0);
    const StageState colourStates[3] = {StageState::ColorOp, StageState::ColorArg1, StageState::ColorArg2};
    const StageState alphaStates[3] = {StageState::AlphaOp, StageState::AlphaArg1, StageState::AlphaArg2};
    for (int i = 0; i < 3; ++i) {
        host::SetTextureStageState(dev, 0, colourStates[i], colourOp[i]);
        host::SetTextureStageState(dev, 0, alphaStates[i], alphaOp[i]);
    }
}

void Draw() {
    CreditsRoll& r = CreditsState;
    const double now = TimerNow();
    r.textLevel = TextLevel(now);
    DrawBlock(r.textLevel);
    double f = (now - r.slideStart) * 0.0025;
    if (f > 1.0) f = 1.0;
    r.slideAlpha[r.newest] = static_cast<int32_t>(f * 255.0);
    r.slideAlpha[1 - r.newest] = static_cast<int32_t>(255.0 - f * 255.0);
    for (int slot = 0; slot < 2; ++slot)
        if (r.slides[slot]) DrawSlide(r.slides[slot], r.slideAlpha[slot]);
}

void Stop() {
    CreditsRoll& r = CreditsState;
    if (r.open) CloseInputStream(r.file, &r.stream);
    r.file = nullptr;
    r.open = false;
    for (Tex*& slide : r.slides) {
        if (slide) DeleteTex(slide);
        slide = nullptr;
    }
    r.newest = 0;
}

}  // namespace

void RunCredits(int mode) {
    CreditsRoll& r = CreditsState;
    switch (mode) {
        case 1: {
            // A roll still running gives its file and slides back first.
            Stop();
            char path[kRootSize + 16];
            snprintf(path, sizeof path, "%s%ccredits.txt", TEXTROOT, kPathSeparator);
            OpenInputStream(path, &r.file, &r.stream);
            r.open = true;
            r.blockStart = 0.0f;
            r.lineCount = 0;
            r.layout = 0;
            r.newest = 0;
            r.slideStart = 0.0f;
            ReadBlock();
            Draw();
            break;
        }
        case 0:
            if (!r.open) break;
            if (r.blockStart == 0.0f) ReadBlock();
            Draw();
            break;
        case -1:
            Stop();
            break;
        default:
            break;
    }
}
