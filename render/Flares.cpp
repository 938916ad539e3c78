// Lens flares: a halo around the sun and six sprites along the line from the sun through the view's
// centre, as bright as the sun is unhidden. Whether the scene hides the sun is judged from the picture:
// eight pixels around the sun are read after the sky is drawn and read again after the scene.
#include <cstdlib>

#include "platform/Dxgl.h"
#include "platform/Texture.h"
#include "render/Immediate.h"
#include "render/Render_local.h"
#include "render/RenderTables.h"
#include "render/Sky.h"
#include "render/View.h"
#include "world/Geom.h"

using namespace render_local;
using host::RenderState;

int32_t SunDarkeningBias = 0;
int32_t SunDarkening = 0;
int32_t FlareVisibility = -1;
uint8_t FlareSamples[8][3];

namespace {

// The sun is up or near the horizon.
bool GateOpen(const SkyCell* sky) { return sky->sunAngle <= 218754 || sky->sunAngle >= 398907; }

void SamplePoints(const SkyCell* sky, int32_t out[8][2]) {
    const int32_t R = (FocalX * 16) >> 10, R2 = R >> 1;
    const float x = sky->sunScreen[0], y = sky->sunScreen[1];
    const float d[8][2] = {{float(R), 0},   {float(-R), 0}, {0, float(R)},     {0, float(-R)},
                           {float(R2), float(R2)}, {float(R2), float(-R2)}, {float(-R2), float(R2)}, {float(-R2), float(-R2)}};
    for (int k = 0; k < 8; ++k) {
        out[k][0] = static_cast<int32_t>(x + d[k][0]);
        out[k][1] = static_cast<int32_t>(y + d[k][1]);
    }
}

struct Sprite {
    int texture, k, half;
    uint8_t factor[3];
};
constexpr Sprite kSprites[6] = {{1, 130, 17, {88, 64, 112}}, {1, 150, 25, {160, 32, 16}}, {2, 234, 40, {64, 32, 64}},
                                {3, 260, 32, {160, 32, 16}}, {4, 377, 50, {0, 0, 144}}, {5, 416, 80, {112, 0, 0}}};

}  // namespace

void CaptureFlareSamples(SkyCell* sky) {
    if (!sky || !GateOpen(sky)) return;
    SunDarkening = SunDarkeningBias;
    int32_t pts[8][2];
    SamplePoints(sky, pts);
    for (int k = 0; k < 8; ++k) {
        dxgl_ReadBackBuffer(pts[k][0], pts[k][1], FlareSamples[k]);
        SunDarkening += ColourDistance(FlareSamples[k], sky->colour);
    }
}

void CountFlareSamples(SkyCell* sky) {
    if (!sky || !GateOpen(sky)) return;
    FlareVisibility = 0;
    int32_t pts[8][2];
    SamplePoints(sky, pts);
    for (int k = 0; k < 8; ++k) {
        uint8_t now[3];
        dxgl_ReadBackBuffer(pts[k][0], pts[k][1], now);
        if (ColoursNear(now, FlareSamples[k])) FlareVisibility += 32;
    }
    FlareVisibility -= 1;
}

void DrawFlares(SkyCell* sky) {
    if (!sky || !GateOpen(sky) || sky->starCount < 1) return;
    CountFlareSamples(sky);
    const int32_t I = FlareVisibility - SunDarkening / 4;
    if (sky->stars[0].viewDir.z <= 500 || I <= 0 || sky->colour[2] <= 16) return;
    const float x = sky->sunScreen[0], y = sky->sunScreen[1];
    const int32_t f = FocalX;
    if (Geom* halo = sky->flare) {
        for (int i = 0; i < halo->pointCount; ++i) {
            GeomPoint& p = halo->points[i];
            p.screen[0] = x + static_cast<float>((int64_t(f) * p.pos[0]) >> 8);
            p.screen[1] = y + static_cast<float>((int64_t(p.pos[1]) * f) >> 8);
            p.screen[2] = 0.0f;
            p.view[2] = NearPlane + 1;
            const int32_t c = (p.colour[0] * sky->colour[2] * I) >> 16;
            for (int k = 0; k < 3; ++k) {
                const int32_t ch = (sky->colour[k] * c) >> 8;
                p.lit[k] = static_cast<uint8_t>(ch < 8 ? 4 : ch > 255 ? 255 : ch);
            }
        }
        GeomFace* face = halo->faces;
        for (int i = 0; i < halo->faceCount; ++i, face = NextFace(face)) EmitSegmentPolygon(face);
    }
    SetRS(RenderState::FogEnable, 0);
    const int32_t b = (sky->colour[2] * I) >> 9;
    const int32_t dx = static_cast<int32_t>(x - ViewCentreX), dy = static_cast<int32_t>(y - ViewCentreY);
    for (const Sprite& s : kSprites) {
        const int32_t px = static_cast<int32_t>(x - static_cast<float>((dx * s.k) >> 8));
        const int32_t py = static_cast<int32_t>(y - static_cast<float>((dy * s.k) >> 8));
        uint8_t colour[3];
        for (int k = 0; k < 3; ++k) {
            const int32_t v = (s.factor[k] * b) >> 8;
            colour[k] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
        Tex* t = FlareTexture(s.texture);
        if (FlareRoutine) FlareRoutine(px, py, s.half, 0, colour, t ? t->surface : nullptr);
    }
}
