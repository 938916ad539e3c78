// The overlay services' two gauges and the two whole-view effects: the green tint over the secondary
// views and the drifting noise film.
#include "hud/Overlay_local.h"
#include "hud/UnitMarks.h"
#include "platform/Texture.h"
#include "render/Viewport.h"
#include "world/Level.h"

using namespace hud_local;
using host::RenderState;

float NoiseScrollU = 0.0f;
float NoiseScrollV = 0.0f;

namespace {

const uint8_t kGaugeGreen[4] = {0, 255, 128, 128};
const uint8_t kGaugeYellow[4] = {255, 224, 0, 128};
const uint8_t kGaugeRed[4] = {255, 0, 0, 128};
const uint8_t kSlantEmpty[4] = {0, 128, 64, 128};
const uint8_t kBarEmpty[4] = {0, 64, 32, 128};

// Full bars 0 .. value >> 4 - 1 in the full colour, then the empty ones up to maximum >> 4 - 1.
template <typename Bar>
void Segments(int32_t value, int32_t maximum, const uint8_t* full, const uint8_t* empty, Bar bar) {
    const int32_t n = value >> 4, total = maximum >> 4;
    for (int32_t k = 0; k < n; ++k) bar(k, Argb(full));
    for (int32_t k = n < 0 ? 0 : n; k < total; ++k) bar(k, Argb(empty));
}

// Steps a texture offset of the film: it wraps back by 1.0 once it has passed 1.0.
float Drift(float v, float step) {
    v += step;
    if (v > 1.0f) v -= 1.0f;
    return v;
}

}  // namespace

void DrawSlantGauge(int32_t x, int32_t y, int32_t value, int32_t maximum) {
    // No maximum has no ratio: the gauge then counts as empty.
    const float ratio = maximum != 0 ? static_cast<float>(value) / static_cast<float>(maximum) : 0.0f;
    const uint8_t* full = ratio >= 0.4f ? kGaugeGreen : ratio >= 0.2f ? kGaugeYellow : kGaugeRed;
    Segments(value, maximum, full, kSlantEmpty, [&](int32_t k, uint32_t colour) {
        const float yk = static_cast<float>(y + 5 * k);
        const float a = static_cast<float>(5 * k) * 0.025f, b = static_cast<float>(5 * k + 4) * 0.025f;
        const float fx = static_cast<float>(x);
        const float corners[4][2] = {
            {fx - 45 * a - 30, yk}, {fx - 60 * a, yk}, {fx - 60 * b, yk + 4}, {fx - 45 * b - 30, yk + 4}};
        Quad(corners, colour);
    });
}

void DrawBarGauge(int32_t x, int32_t y, int32_t value, int32_t maximum) {
    const uint8_t* full = value >= 40 ? kGaugeGreen : value >= 20 ? kGaugeYellow : kGaugeRed;
    Segments(value, maximum, full, kBarEmpty, [&](int32_t k, uint32_t colour) {
        const float l = static_cast<float>(x + 10 * k), r = l + 8;
        const float top = static_cast<float>(y), bottom = top - 10;
        const float corners[4][2] = {{l, top}, {r, top}, {r, bottom}, {l, bottom}};
        Quad(corners, colour);
    });
}

void DrawViewTint(const ViewPort* view) {
    if (!view) return;
    BlendEnable(1);
    const float x0 = static_cast<float>(view->left), y0 = static_cast<float>(view->top);
    const float x1 = static_cast<float>(view->right), y1 = static_cast<float>(view->bottom);
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    Quad(corners, Argb(255, 0, 64, 32));
    BlendEnable(0);
}

void DrawViewNoise(const ViewPort* view) {
    if (!view) return;
    NoiseScrollU = Drift(NoiseScrollU, 0.27f);
    NoiseScrollV = Drift(NoiseScrollV, 0.21f);
    const float su = NoiseScrollU, sv = NoiseScrollV;
    SetTex(NoiseTex ? NoiseTex->surface : nullptr);
    const uint32_t zWas = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    const float x0 = static_cast<float>(view->left), y0 = static_cast<float>(view->top);
    const float x1 = static_cast<float>(view->right), y1 = static_cast<float>(view->bottom);
    const float corners[4][4] = {
        {x0, y0, su, sv}, {x1, y0, su + 2, sv}, {x1, y1, su + 2, sv + 2}, {x0, y1, su, sv + 2}};
    const uint32_t colour = Argb(96, 96, 96, 96);
    for (int i = 0; i < 4; ++i)
        Put(i, corners[i][0], corners[i][1], kOverlayZ, colour, corners[i][2], corners[i][3]);
    Draw(host::PrimitiveType::TriangleFan, 4);
    SetTex(nullptr);
    SetRS(RenderState::ZEnable, zWas);
}
