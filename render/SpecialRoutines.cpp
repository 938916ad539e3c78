// Special routines: the sky passes' filled disc and star point, the flare quad, the front end's filled
// rectangle, the views' unit brackets, the HUD's threat and radar markers and the clipped bitmap blit.
// Positions are screen pixels counted from the bottom.
#include "render/SpecialRoutines.h"

#include "core/FixMath.h"
#include "platform/Bitmap.h"
#include "platform/Texture.h"
#include "ai/Clan.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "render/Render_local.h"
#include "render/ScreenText.h"
#include "world/Construct.h"
#include "world/TickCounter.h"

using namespace render_local;
using host::RenderState;
using host::StageState;

const uint8_t BracketColour[4] = {0x00, 0xD8, 0x80, 0x80};
uint8_t ThreatCountColour[4] = {0xFF, 0x80, 0x80, 0x00};

namespace {

// Sets the position, colour, fog and rhw of scratch vertex i from CurrentVertex.
ScreenVertex* PutVertex(int i, float x, float y, uint32_t colour) {
    ScreenVertex& v = ScratchVertices[i];
    v = CurrentVertex;
    v.x = x;
    v.y = ScreenHeightF - y;
    v.rhw = 1.0f;
    v.diffuse = colour;
    v.specular = FogSpecular;
    return &v;
}

}  // namespace

void DrawFilledDisc(const float* centre, int32_t radius, const uint8_t* rgb) {
    CurrentColour = 0xFF000000u | Rgb(rgb[0], rgb[1], rgb[2]);
    int count = 0;
    for (float a = 0; a < 411774.0f && count < kScratchVertexCount - 1; a += 30000.0f) {
        int32_t s, c;
        FixSinCos(static_cast<int32_t>(a), &s, &c);
        float x = centre[0] + static_cast<float>((int64_t(s) * radius) >> 16);
        float y = centre[1] + static_cast<float>((int64_t(c) * radius) >> 16);
        PutVertex(count++, x, y, CurrentColour)->z = centre[2];
    }
    if (!count) return;
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, count);
    TriangleCount += static_cast<float>(count - 2);
}

void DrawFlareQuad(int32_t x, int32_t y, int32_t h, int32_t, const uint8_t* rgb, host::GfxSurface* texture) {
    SetRS(RenderState::AlphaBlendEnable, 1);
    uint32_t z = ZOff();
    SetTex(0, texture);
    uint32_t colour = 0xFF000000u | Rgb(rgb[0], rgb[1], rgb[2]);
    const float pts[4][4] = {{float(x - h), float(y - h), 0, 0},
                             {float(x + h), float(y - h), 1, 0},
                             {float(x + h), float(y + h), 1, 1},
                             {float(x - h), float(y + h), 0, 1}};
    for (int i = 0; i < 4; ++i) {
        ScreenVertex* v = PutVertex(i, pts[i][0], pts[i][1], colour);
        v->tu0 = pts[i][2];
        v->tv0 = pts[i][3];
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, 4);
    TriangleCount += 2.0f;
    SetTex(0, nullptr);
    SetRS(RenderState::ZEnable, z);
    SetRS(RenderState::AlphaBlendEnable, 0);
}

void DrawStarPoint(const float* p, int32_t b) {
    SetRS(RenderState::AlphaBlendEnable, 1);
    int count = 0;
    uint8_t bb = static_cast<uint8_t>(b);
    PutVertex(count++, p[0], p[1], Rgb(bb, bb, bb))->z = p[2];
    int k = 1;
    for (int e = b - 32; e > 0 && count + 4 <= kScratchVertexCount - 1; e -= 32, ++k) {
        uint8_t eb = static_cast<uint8_t>(e);
        uint32_t colour = 0xFF000000u | Rgb(eb, eb, eb);
        const float d[4][2] = {{float(k), 0}, {float(-k), 0}, {0, float(k)}, {0, float(-k)}};
        for (auto& o : d) PutVertex(count++, p[0] + o[0], p[1] + o[1], colour)->z = p[2];
    }
    EmitPrimitive(kPrimPointList, ScratchVertices, count);
    SetRS(RenderState::AlphaBlendEnable, 0);
}

void DrawFilledRect(const uint8_t* rgba, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    uint32_t z = ZOff();
    bool blend = rgba[3] != 0xFF;
    if (blend) {
        SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::SrcAlpha));
        SetRS(RenderState::DestBlend, Blend(host::BlendFactor::InvSrcAlpha));
        SetRS(RenderState::AlphaBlendEnable, 1);
    }
    uint32_t colour = uint32_t(rgba[3]) << 24 | Rgb(rgba[0], rgba[1], rgba[2]);
    PutVertex(0, float(x0), float(y0), colour);
    PutVertex(1, float(x0), float(y1), colour);
    PutVertex(2, float(x1), float(y1), colour);
    PutVertex(3, float(x1), float(y0), colour);
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, 4);
    TriangleCount += 2.0f;
    if (blend) {
        SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::One));
        SetRS(RenderState::DestBlend, Blend(host::BlendFactor::One));
        SetRS(RenderState::AlphaBlendEnable, 0);
    }
    SetRS(RenderState::ZEnable, z);
}

void DrawUnitBrackets(construct* unit, int16_t x, int16_t y, int32_t h) {
    uint32_t z = ZOff();
    float L = float(x - h), B = float(y - h), R = float(x + h), T = float(y + h);
    float arm = float(h >> 1), tick = float(h >> 3);
    uint32_t colour = 0xFF000000u | Rgb(BracketColour[0], BracketColour[1], BracketColour[2]);
    const float lines[8][4] = {{L, B, L + arm, B}, {R - arm, B, R, B}, {L, T, L + arm, T}, {R - arm, T, R, T},
                               {L, B, L, B + tick}, {L, T - tick, L, T}, {R, B, R, B + tick}, {R, T - tick, R, T}};
    int n = 0;
    for (auto& l : lines) {
        PutVertex(n++, l[0], l[1], colour);
        PutVertex(n++, l[2], l[3], colour);
    }
    EmitPrimitive(kPrimLineList, ScratchVertices, 16);
    // The labels of the player's own units: the group key, the threat count and the stealth state.
    if (unit && unit->clan && unit->clan == PlayerClan) {
        static const char kGroupKeys[] = "1234567890QWERT";
        const int32_t L = x - h, Bi = y - h, Ri = x + h, Ti = y + h;
        SetTextColor(BracketColour);
        const int group = unit->bytes2[0];
        // Group numbers past the fifteen keys (up to 30) give an empty label.
        if (group <= 30) DrawTextf(L, Ti - 2, "%c", group < 15 ? kGroupKeys[group] : '\0');
        if (const auto* rec = reinterpret_cast<const UnitShare*>(CallItfc(unit, ItfcMethod::GETUNIT))) {
            if (rec->threatCount) {
                SetTextColor(ThreatCountColour);
                DrawTextf(Ri - 2 * TextGridCell, Ti, "%d", rec->threatCount);
            }
            // Stealth engaged and wanted: steady; only one of them: blinking with bit value 16 of the tick.
            const bool engaged = rec->stateFlag != 0, wanted = rec->driveMode != 0;
            const bool shown = engaged == wanted ? engaged : (FrameCounter & 16) == 0;
            DrawTextf(L, Bi + 2 * TextGridCell, "%s", shown ? "stealth mode" : "");
        }
    }
    SetRS(RenderState::ZEnable, z);
}

void DrawThreatMarker(Tex* texture, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t s1, int32_t t1,
                      int32_t s0, int32_t t0) {
    SetTSS(0, StageState::AlphaOp, Op(host::TextureOp::SelectArg1));
    SetTSS(0, StageState::AlphaArg1, host::GfxTaDiffuse);
    SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::SrcAlpha));
    SetRS(RenderState::DestBlend, Blend(host::BlendFactor::InvSrcAlpha));
    SetRS(RenderState::AlphaBlendEnable, 1);
    SetTex(0, texture ? texture->surface : nullptr);
    uint32_t z = ZOff();
    const float k = 1.0f / 32768.0f;
    const float c[4][4] = {{float(x0), float(y0), s0 * k, t0 * k},
                           {float(x1), float(y0), s1 * k, t0 * k},
                           {float(x1), float(y1), s1 * k, t1 * k},
                           {float(x0), float(y1), s0 * k, t1 * k}};
    for (int i = 0; i < 4; ++i) {
        ScreenVertex* v = PutVertex(i, c[i][0], c[i][1], 0xB0FFFFFFu);
        v->tu0 = c[i][2];
        v->tv0 = c[i][3];
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, 4);
    TriangleCount += 2.0f;
    SetTex(0, nullptr);
    SetRS(RenderState::ZEnable, z);
    SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::One));
    SetRS(RenderState::DestBlend, Blend(host::BlendFactor::One));
    SetRS(RenderState::AlphaBlendEnable, 0);
}

void DrawRadarMarker(Tex* texture, const uint8_t* rgba, const int16_t* p) {
    uint32_t z = ZOff();
    SetRS(RenderState::AlphaBlendEnable, 1);
    SetTex(0, texture ? texture->surface : nullptr);
    uint32_t colour = uint32_t(rgba[3]) << 24 | Rgb(rgba[0], rgba[1], rgba[2]);
    const float uv[4][2] = {{0.96875f, 0.96875f}, {0.03125f, 0.96875f}, {0.03125f, 0.03125f}, {0.96875f, 0.03125f}};
    for (int i = 0; i < 4; ++i) {
        ScreenVertex* v = PutVertex(i, p[2 * i], p[2 * i + 1], colour);
        v->tu0 = uv[i][0];
        v->tv0 = uv[i][1];
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, 4);
    TriangleCount += 2.0f;
    SetTex(0, nullptr);
    SetRS(RenderState::AlphaBlendEnable, 0);
    SetRS(RenderState::ZEnable, z);
}

void BlitClipped(Bitmap* bitmap, int32_t x, int32_t y) {
    if (!bitmap || !bitmap->surface) return;
    int32_t w = bitmap->width, h = bitmap->height;
    BltRect src = {0, 0, w, h};
    int32_t x1 = x + w, y1 = y + h;
    if (x >= ClipRect.xmax || y >= ClipRect.ymax || x1 <= ClipRect.xmin || y1 <= ClipRect.ymin) return;
    if (x < ClipRect.xmin) {
        src.left = ClipRect.xmin - x;
        x = ClipRect.xmin;
    }
    if (y < ClipRect.ymin) src.bottom = h + (y - ClipRect.ymin);
    if (x1 > ClipRect.xmax) src.right = w + (ClipRect.xmax - x1);
    if (y1 > ClipRect.ymax) {
        src.top = y1 - ClipRect.ymax;
        y1 = ClipRect.ymax;
    }
    dxgl_BltKeyed(x, y1, bitmap->surface, &src);
}
