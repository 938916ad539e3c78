// Immediate drawing routines. Each fills the vertex scratch from the template vertex, sets the device
// states it needs, draws once and puts the states back.
#include "render/Immediate.h"

#include "core/FixMath.h"
#include "platform/Texture.h"
#include "render/ObjectPoly.h"
#include "render/PolyClip.h"
#include "render/Render_local.h"
#include "render/View.h"
#include "world/Geom.h"

using namespace render_local;
using host::BlendFactor;
using host::RenderState;
using host::StageState;
using host::TextureOp;

namespace {

constexpr int kVertexCap = kScratchVertexCount - 1;
ScreenVertex PolyVertices[256];

inline uint32_t Argb(const uint8_t c[4]) { return uint32_t(c[3]) << 24 | Rgb(c[0], c[1], c[2]); }

void StandardBlend() {
    SetRS(RenderState::SrcBlend, Blend(BlendFactor::SrcAlpha));
    SetRS(RenderState::DestBlend, Blend(BlendFactor::InvSrcAlpha));
}
void BlendReset() {
    SetRS(RenderState::AlphaBlendEnable, 0);
    SetRS(RenderState::SrcBlend, Blend(BlendFactor::One));
    SetRS(RenderState::DestBlend, Blend(BlendFactor::One));
}
uint32_t ZWriteOff() {
    uint32_t was = GetRS(RenderState::ZWriteEnable);
    SetRS(RenderState::ZWriteEnable, 0);
    return was;
}
void DiffuseAlpha() {
    SetTSS(0, StageState::AlphaOp, Op(TextureOp::SelectArg1));
    SetTSS(0, StageState::AlphaArg1, host::GfxTaDiffuse);
}

// Appends a vertex to the scratch; past the cap it lands in the last slot and is not counted.
int Put(int n, float x, float y, float z, uint32_t colour) {
    CurrentVertex = {x, ScreenHeightF - y, z, 1.0f, colour, FogSpecular, 0.0f, 0.0f, 0.0f, 0.0f};
    ScratchVertices[n < kVertexCap ? n : kScratchVertexCount - 1] = CurrentVertex;
    return n < kVertexCap ? n + 1 : n;
}

// Rim point at a 16.16 angle around the centre: x + sin a r, y + cos a r.
void RimPoint(const float centre[3], int32_t radius, int32_t angle, float* x, float* y) {
    int32_t s, c;
    FixSinCos(angle, &s, &c);
    *x = centre[0] + static_cast<float>((int64_t(s) * radius) >> 16);
    *y = centre[1] + static_cast<float>((int64_t(c) * radius) >> 16);
}

// 1 when a corner lies before the near plane; -1 when the polygon has no usable corners.
int PolygonState(const GeomFace* f) {
    if (!f || f->vertexCount < 1) return -1;
    const FaceVertex* v = FaceVerts(f);
    int clip = 0;
    for (int k = 0; k < f->vertexCount; ++k) {
        if (!v[k].point) return -1;
        if (v[k].point->view[2] < NearPlane) clip = 1;
    }
    return clip;
}

// Fills the polygon's fan: corner colour (or the flat one), texture coordinates and rhw as asked.
int FillPolygon(const GeomFace* f, bool cornerColour, uint32_t flat, bool textured, bool cornerRhw) {
    const FaceVertex* v = FaceVerts(f);
    for (int k = 0; k < f->vertexCount; ++k) {
        const GeomPoint* p = v[k].point;
        const uint32_t colour = cornerColour ? 0xFF000000u | Rgb(p->lit[0], p->lit[1], p->lit[2]) : flat;
        const float u = textured ? v[k].u : 0.0f, t = textured ? v[k].v : 0.0f;
        CurrentVertex = {p->screen[0], ScreenHeightF - p->screen[1], p->screen[2], cornerRhw ? p->screen[3] : 1.0f,
                         colour, FogSpecular, u, t, u, t};
        PolyVertices[k] = CurrentVertex;
    }
    return f->vertexCount;
}

}  // namespace

void DrawFullScreenQuad(const uint8_t rgba[4]) {
    StandardBlend();
    const uint32_t z = ZOff();
    SetRS(RenderState::AlphaBlendEnable, 1);
    const uint32_t c = Argb(rgba);
    const float w = static_cast<float>(SurfaceWidth), h = static_cast<float>(SurfaceHeight);
    int n = 0;
    n = Put(n, 0.0f, 0.0f, 0.0f, c);
    n = Put(n, w, 0.0f, 0.0f, c);
    n = Put(n, w, h, 0.0f, c);
    n = Put(n, 0.0f, h, 0.0f, c);
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, n);
    TriangleCount += 2.0f;
    SetRS(RenderState::ZEnable, z);
    BlendReset();
}

void EmitSegmentPolygon(GeomFace* f) {
    const int state = PolygonState(f);
    if (state < 0) return;
    if (state > 0) {
        ClipAndEmitPolygon(EmitSegmentPolygon, f);
        return;
    }
    SetRS(RenderState::AlphaBlendEnable, 1);
    SetRS(RenderState::FogEnable, 0);
    const uint32_t z = ZOff();
    DrawFanSplit(kPrimTriangleFan, PolyVertices, FillPolygon(f, true, 0, false, false));
    SetRS(RenderState::AlphaBlendEnable, 0);
    SetRS(RenderState::FogEnable, 1);
    SetRS(RenderState::ZEnable, z);
}

void DrawSkyPolygon(GeomFace* f) {
    const int state = PolygonState(f);
    if (state < 0) return;
    if (state > 0) {
        ClipAndEmitPolygon(DrawSkyPolygon, f);
        return;
    }
    if (f->texture && f->texture->blackTransparent) {
        SetTSS(0, StageState::AlphaOp, Op(TextureOp::SelectArg1));
        SetTSS(0, StageState::AlphaArg1, host::GfxTaTexture);
        StandardBlend();
        SetRS(RenderState::AlphaBlendEnable, 1);
    }
    if (f->type >= 10) {
        SetRS(RenderState::AlphaBlendEnable, 1);
        SetRS(RenderState::FogEnable, 0);
    }
    SetTex(0, f->texture ? f->texture->surface : nullptr);
    dxgl_SetDepthFog(f->nearZ);
    const uint32_t z = ZOff();
    const uint32_t flat = 0xFF000000u | Rgb(f->colour[0], f->colour[1], f->colour[2]);
    DrawFanSplit(kPrimTriangleFan, PolyVertices, FillPolygon(f, false, flat, true, false));
    BlendReset();
    SetRS(RenderState::FogEnable, 1);
    SetTex(0, nullptr);
    SetRS(RenderState::ZEnable, z);
}

void DrawSprite(host::GfxSurface* texture, int32_t mode, const float centre[4], int32_t fogDepth, float half,
                const uint8_t rgba[4], int32_t intensity) {
    uint32_t colour = 0xFFFFFFFFu, zWas = 1;
    switch (mode) {
        case 0: {
            SetRS(RenderState::AlphaBlendEnable, 1);
            SetRS(RenderState::FogEnable, 0);
            zWas = ZWriteOff();
            const uint32_t g = static_cast<uint32_t>(intensity) & 0xFF;
            colour = 0xFF000000u | g << 16 | g << 8 | g;
            break;
        }
        case 2:
            SetTSS(0, StageState::AlphaOp, Op(TextureOp::Modulate));
            SetTSS(0, StageState::AlphaArg1, host::GfxTaTexture);
            SetTSS(0, StageState::AlphaArg2, host::GfxTaDiffuse);
            StandardBlend();
            SetRS(RenderState::AlphaBlendEnable, 1);
            zWas = ZWriteOff();
            dxgl_SetDepthFog(fogDepth);
            colour = ((uint32_t(rgba[3]) * static_cast<uint32_t>(intensity)) >> 8 & 0xFF) << 24 |
                     Rgb(rgba[0], rgba[1], rgba[2]);
            break;
        case 4:
            SetRS(RenderState::AlphaBlendEnable, 1);
            SetRS(RenderState::FogEnable, 0);
            zWas = ZOff();
            colour = 0xFF000000u | Rgb(rgba[0], rgba[1], rgba[2]);
            break;
        default: break;
    }
    SetTex(0, texture);
    const float cx = centre[0], cy = centre[1], z = centre[2], rhw = centre[3], s = half;
    const float corners[4][4] = {{cx - s, cy - s, 0.992f, 0.008f},
                                 {cx + s, cy - s, 0.992f, 0.992f},
                                 {cx + s, cy + s, 0.008f, 0.992f},
                                 {cx - s, cy + s, 0.008f, 0.008f}};
    for (int i = 0; i < 4; ++i) {
        CurrentVertex = {corners[i][0], ScreenHeightF - corners[i][1], z, rhw, colour, FogSpecular,
                         corners[i][2], corners[i][3], corners[i][2], corners[i][3]};
        ScratchVertices[i] = CurrentVertex;
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, 4);
    TriangleCount += 2.0f;
    SetTex(0, nullptr);
    switch (mode) {
        case 0:
            SetRS(RenderState::AlphaBlendEnable, 0);
            SetRS(RenderState::FogEnable, 1);
            SetRS(RenderState::ZWriteEnable, zWas);
            break;
        case 2:
            SetTSS(0, StageState::AlphaOp, Op(TextureOp::SelectArg1));
            BlendReset();
            SetRS(RenderState::ZWriteEnable, zWas);
            break;
        case 4:
            SetRS(RenderState::AlphaBlendEnable, 0);
            SetRS(RenderState::FogEnable, 1);
            SetRS(RenderState::ZEnable, zWas);
            break;
        default: break;
    }
}

void DrawFaceBlended(GeomFace* f, int32_t mode, const uint8_t colour0[4], const uint8_t colour2[4],
                     int32_t intensity) {
    const int state = PolygonState(f);
    if (state < 0) return;
    if (state > 0) {
        // The clipped part is drawn by the textured flat-lit routine, lit by the face's own colour.
        ClipAndEmitPolygon(DrawPolyTexFlatLit, f);
        return;
    }
    const uint32_t zWas = ZWriteOff();
    const uint32_t k = static_cast<uint32_t>(intensity);
    uint32_t colour = 0xFFFFFFFFu;
    if (mode == 0) {
        SetRS(RenderState::AlphaBlendEnable, 1);
        SetRS(RenderState::FogEnable, 0);
        colour = 0xFF000000u | Rgb(static_cast<uint8_t>((colour0[0] * k) >> 8), static_cast<uint8_t>((colour0[1] * k) >> 8),
                                   static_cast<uint8_t>((colour0[2] * k) >> 8));
    } else if (mode == 2) {
        SetTSS(0, StageState::AlphaOp, Op(TextureOp::Modulate));
        SetTSS(0, StageState::AlphaArg1, host::GfxTaTexture);
        SetTSS(0, StageState::AlphaArg2, host::GfxTaDiffuse);
        StandardBlend();
        SetRS(RenderState::AlphaBlendEnable, 1);
        colour = ((colour2[3] * k) >> 8 & 0xFF) << 24 | Rgb(colour2[0], colour2[1], colour2[2]);
    }
    if (mode == 0 || mode == 2) SetTex(0, f->texture ? f->texture->surface : nullptr);
    dxgl_SetDepthFog(f->nearZ);
    DrawFanSplit(kPrimTriangleFan, PolyVertices, FillPolygon(f, false, colour, true, true));
    if (mode == 0 || mode == 2) SetTex(0, nullptr);
    if (mode == 0) {
        SetRS(RenderState::AlphaBlendEnable, 0);
        SetRS(RenderState::FogEnable, 1);
    } else if (mode == 2) {
        SetTSS(0, StageState::AlphaOp, Op(TextureOp::SelectArg1));
        BlendReset();
    }
    SetRS(RenderState::ZWriteEnable, zWas);
}

void DrawGlowDisc(const float centre[3], int32_t radius, const uint8_t centreColour[4], const uint8_t rimColour[4]) {
    const uint32_t z = ZOff();
    StandardBlend();
    DiffuseAlpha();
    SetRS(RenderState::AlphaBlendEnable, 1);
    int n = Put(0, centre[0], centre[1], centre[2], Argb(centreColour));
    const uint32_t rim = Argb(rimColour);
    for (int i = 0; i <= 14; ++i) {
        float x, y;
        RimPoint(centre, radius, i < 14 ? i * 30000 : 0, &x, &y);
        n = Put(n, x, y, centre[2], rim);
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, n);
    TriangleCount += static_cast<float>(n - 2);
    BlendReset();
    SetRS(RenderState::ZEnable, z);
}

void DrawSector2D(const float centre[3], int32_t radius, const int32_t direction[3], int32_t width,
                  const uint8_t centreColour[4], const uint8_t rimColour[4]) {
    // Five rim points a quarter of the width apart; a width below 4 has no step and draws nothing.
    if (width < 4) return;
    const int32_t d = FixAtan2(-direction[0], -direction[2]);
    const int32_t half = width / 2, step = width / 4;
    const uint32_t z = ZOff();
    StandardBlend();
    DiffuseAlpha();
    SetRS(RenderState::AlphaBlendEnable, 1);
    int n = Put(0, centre[0], centre[1], centre[2], Argb(centreColour));
    const uint32_t rim = Argb(rimColour);
    for (int i = 0; i <= 4; ++i) {
        const int32_t a = d - half + i * step;
        if (a > d + half) break;
        float x, y;
        RimPoint(centre, radius, a, &x, &y);
        n = Put(n, x, y, centre[2], rim);
    }
    EmitPrimitive(kPrimTriangleFan, ScratchVertices, n);
    TriangleCount += static_cast<float>(n - 2);
    BlendReset();
    SetRS(RenderState::ZEnable, z);
}

void DrawCircle2D(const float centre[3], int32_t radius, const uint8_t rgba[4], int32_t blend, int32_t zTest) {
    uint32_t z = 1;
    if (zTest == 0) z = ZOff();
    if (blend) {
        DiffuseAlpha();
        StandardBlend();
    }
    SetRS(RenderState::AlphaBlendEnable, 1);
    const uint32_t c = Argb(rgba);
    int n = 0;
    for (int i = 0; i <= 28; ++i) {
        float x, y;
        RimPoint(centre, radius, i < 28 ? i * 15000 : 0, &x, &y);
        n = Put(n, x, y, centre[2], c);
    }
    EmitPrimitive(kPrimLineStrip, ScratchVertices, n);
    BlendReset();
    if (zTest == 0) SetRS(RenderState::ZEnable, z);
}

void DrawBlendedLine(const float from[3], const float to[3], const uint8_t rgba[4]) {
    const uint32_t z = ZOff();
    StandardBlend();
    DiffuseAlpha();
    SetRS(RenderState::AlphaBlendEnable, 1);
    const uint32_t c = Argb(rgba);
    int n = Put(0, from[0], from[1], from[2], c);
    n = Put(n, to[0], to[1], to[2], c);
    EmitPrimitive(kPrimLineList, ScratchVertices, n);
    BlendReset();
    SetRS(RenderState::ZEnable, z);
}

void DrawHudSymbolA(const float centre[3], int32_t radius, const uint8_t centreColour[4], const uint8_t rimColour[4]) {
    DrawGlowDisc(centre, radius, centreColour, rimColour);
    DrawCircle2D(centre, radius, centreColour, 1, 0);
    const float r = static_cast<float>(radius);
    const float ends[2][2][3] = {{{centre[0] - r, centre[1], centre[2]}, {centre[0] + r, centre[1], centre[2]}},
                                 {{centre[0], centre[1] - r, centre[2]}, {centre[0], centre[1] + r, centre[2]}}};
    for (const auto& line : ends) DrawBlendedLine(line[0], line[1], rimColour);
}
