// Sky routines: one quad of the sky dome as a closed outline, a flat quad or a shaded quad, and one
// textured quad of a sky layer.
#include "render/SkyRoutines.h"

#include "platform/Texture.h"
#include "render/Render_local.h"
#include "render/Sky.h"

using namespace render_local;

namespace {

ScreenVertex SkyStrip[4];

void FillSkyVertex(ScreenVertex* out, const SkyVertex* s, uint32_t colour) {
    out->x = s->x;
    out->y = ScreenHeightF - s->y;
    out->z = s->z;
    out->rhw = 1.0f;
    out->diffuse = colour;
    out->specular = FogSpecular;
    out->tu0 = out->tv0 = out->tu1 = out->tv1 = 0.0f;
}

uint32_t AverageColour(SkyVertex* const* c) {
    int r = 0, g = 0, b = 0;
    for (int i = 0; i < 4; ++i) {
        r += c[i]->red;
        g += c[i]->green;
        b += c[i]->blue;
    }
    return 0xFF000000u | Rgb(static_cast<uint8_t>(r >> 2), static_cast<uint8_t>(g >> 2), static_cast<uint8_t>(b >> 2));
}

uint32_t OwnColour(const SkyVertex* s) { return 0xFF000000u | Rgb(s->red, s->green, s->blue); }

}  // namespace

void DrawSkyQuadOutline(SkyVertex* const* c) {
    uint32_t colour = AverageColour(c);
    static const int order[5] = {0, 1, 2, 3, 0};
    for (int i = 0; i < 5; ++i) FillSkyVertex(&ScratchVertices[i], c[order[i]], colour);
    EmitPrimitive(kPrimLineStrip, ScratchVertices, 5);
}

void DrawSkyQuadFlat(SkyVertex* const* c) {
    uint32_t colour = AverageColour(c);
    static const int order[4] = {1, 0, 2, 3};
    for (int i = 0; i < 4; ++i) FillSkyVertex(&SkyStrip[i], c[order[i]], colour);
    EmitPrimitive(kPrimTriangleStrip, SkyStrip, 4);
    TriangleCount += 2.0f;
}

void DrawSkyQuadShaded(SkyVertex* const* c) {
    static const int order[4] = {1, 0, 2, 3};
    for (int i = 0; i < 4; ++i) FillSkyVertex(&SkyStrip[i], c[order[i]], OwnColour(c[order[i]]));
    uint32_t z = ZOff();
    EmitPrimitive(kPrimTriangleStrip, SkyStrip, 4);
    SetRS(host::RenderState::ZEnable, z);
    TriangleCount += 2.0f;
}

void DrawSkyTextureQuad(SkyLayer* layer, SkyCorner* const* c, const float* uv) {
    using host::RenderState;
    using host::StageState;
    SetTSS(0, StageState::ColorOp, Op(host::TextureOp::Modulate));
    SetTSS(0, StageState::ColorArg1, host::GfxTaTexture);
    SetTSS(0, StageState::ColorArg2, host::GfxTaDiffuse);
    SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::SrcAlpha));
    SetRS(RenderState::DestBlend, Blend(host::BlendFactor::InvSrcAlpha));
    SetRS(RenderState::AlphaBlendEnable, 1);
    SetTex(0, layer && layer->texture ? layer->texture->surface : nullptr);
    for (int i = 0; i < 4; ++i) {
        ScreenVertex& v = ScratchVertices[i];
        v.x = c[i]->x;
        v.y = ScreenHeightF - c[i]->y;
        v.z = c[i]->z;
        v.rhw = 1.0f;
        v.diffuse = uint32_t(c[i]->alpha) << 24 | Rgb(c[i]->red, c[i]->green, c[i]->blue);
        v.specular = FogSpecular;
        v.tu0 = uv[2 * i];
        v.tv0 = uv[2 * i + 1];
        v.tu1 = v.tv1 = 0.0f;
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, 4);
    TriangleCount += 2.0f;
    SetTex(0, nullptr);
    SetTSS(0, StageState::ColorOp, Op(host::TextureOp::SelectArg1));
    SetRS(RenderState::AlphaBlendEnable, 0);
    SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::One));
    SetRS(RenderState::DestBlend, Blend(host::BlendFactor::One));
}
