// The overlay services for object types: crosshairs and sprites on the screen and at world points, and
// the circle markers. The gauges and the two whole-view effects are in hud/ViewEffects.cpp.
#include "hud/UnitMarks.h"

#include "core/Fix3D.h"
#include "hud/Overlay_local.h"
#include "hud/TFView.h"
#include "objects/UnitShare.h"
#include "render/Immediate.h"
#include "render/View.h"

using namespace hud_local;
using host::RenderState;

namespace {

// Half size of a world-point sprite, world units.
constexpr int32_t kSpriteHalfSize = 18000;
// The world-point shapes are drawn this much nearer than the point itself.
constexpr float kDepthBias = 0.025f;

// The point in the current view: its screen position and depth, and the half size in pixels that size
// world units have at its distance. False for a point at or behind the near plane (whose depth would be
// divided by) and for one outside the view.
bool ProjectMark(const int32_t point[3], int32_t size, ScreenPointF* at, float* half) {
    auto diff = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    };
    FixVec d = {diff(point[0], EyePos.x), diff(point[1], EyePos.y), diff(point[2], EyePos.z)};
    RotateVecF(&d, &ViewMatrix, &d);
    if (d.z <= NearPlane) return false;
    const FixVec edge = {static_cast<int32_t>((static_cast<int64_t>(FocalX) * size) >> 10), 0, d.z};
    ScreenPointF e;
    ProjectToScreen(&e, &edge, 0.0f, 0.0f);
    const FixVec p = {point[0], point[1], point[2]};
    if (!ProjectWorldPoint(at, &p)) return false;
    *half = e.x;
    return true;
}

// The textured square of four corners (x, y, u, v) in one colour at depth z.
void TexturedQuad(host::GfxSurface* surface, const float corners[4][4], float z, uint32_t colour) {
    SetTex(surface);
    for (int i = 0; i < 4; ++i) Put(i, corners[i][0], corners[i][1], z, colour, corners[i][2], corners[i][3]);
    Draw(host::PrimitiveType::TriangleFan, 4);
    SetTex(nullptr);
}

}  // namespace

void SetUnitViewFlag(TFView* view, int inside) {
    if (view) view->insideView = inside ? 1 : 0;
}

void BrightnessColour(int32_t brightness, uint8_t rgb[3]) {
    rgb[0] = 0;
    rgb[1] = static_cast<uint8_t>((255 * brightness) >> 8);
    rgb[2] = static_cast<uint8_t>((128 * brightness) >> 8);
}

void DrawSprite2D(host::GfxSurface* surface, int32_t x, int32_t y, const uint8_t rgb[3]) {
    const uint32_t blendWas = GetRS(RenderState::AlphaBlendEnable), zWas = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    BlendEnable(1);
    const float l = static_cast<float>(x - 70), r = static_cast<float>(x + 69);
    const float t = static_cast<float>(y + 69), b = static_cast<float>(y - 70);
    const float corners[4][4] = {{l, t, 0, 0}, {r, t, 1, 0}, {r, b, 1, 1}, {l, b, 0, 1}};
    TexturedQuad(surface, corners, kOverlayZ, Argb(255, rgb[0], rgb[1], rgb[2]));
    if (!blendWas) BlendEnable(0);
    SetRS(RenderState::ZEnable, zWas);
}

void DrawCrosshair2D(host::GfxSurface* surface, int32_t x, int32_t y, int32_t brightness) {
    uint8_t rgb[3];
    BrightnessColour(brightness, rgb);
    DrawSprite2D(surface, x, y, rgb);
}

void DrawUnitCrosshair(UnitShare* rec, int32_t x, int32_t y, int32_t brightness) {
    if (!rec || !rec->crosshair) return;
    DrawCrosshair2D(static_cast<host::GfxSurface*>(rec->crosshair), x, y, brightness);
}

void DrawSpriteAt(host::GfxSurface* surface, const int32_t point[3], const uint8_t rgba[4]) {
    ScreenPointF p;
    float r = 0.0f;
    if (!point || !ProjectMark(point, kSpriteHalfSize, &p, &r)) return;
    const uint32_t blendWas = GetRS(RenderState::AlphaBlendEnable);
    BlendEnable(1);
    const float corners[4][4] = {{p.x - r, p.y + r, 0, 0},
                                 {p.x + r, p.y + r, 1, 0},
                                 {p.x + r, p.y - r, 1, 1},
                                 {p.x - r, p.y - r, 0, 1}};
    TexturedQuad(surface, corners, p.depth - kDepthBias, Argb(rgba));
    if (!blendWas) BlendEnable(0);
}

void DrawCrosshairAt(host::GfxSurface* surface, const int32_t point[3], int32_t brightness) {
    uint8_t rgb[3];
    BrightnessColour(brightness, rgb);
    const uint8_t rgba[4] = {rgb[0], rgb[1], rgb[2], 0};
    DrawSpriteAt(surface, point, rgba);
}

void DrawUnitCrosshairAt(UnitShare* rec, const int32_t point[3], int32_t brightness) {
    if (!rec || !rec->crosshair) return;
    DrawCrosshairAt(static_cast<host::GfxSurface*>(rec->crosshair), point, brightness);
}

void DrawMarkerCircleAt(const int32_t point[3], int32_t size, int32_t brightness) {
    ScreenPointF p;
    float r = 0.0f;
    if (!point || !ProjectMark(point, size, &p, &r)) return;
    uint8_t rgb[3];
    BrightnessColour(brightness, rgb);
    const uint8_t rgba[4] = {rgb[0], rgb[1], rgb[2], 0};
    const float centre[3] = {p.x, p.y, p.depth - kDepthBias};
    DrawCircle2D(centre, static_cast<int32_t>(r), rgba, 0, 1);
    CurrentColour = Argb(rgba);
}

