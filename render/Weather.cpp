// Rain and snow. The drops keep absolute world coordinates and are wrapped into the cube ahead of the
// camera whenever a view draws them, so one field serves every view without being moved along.
#include "render/Weather.h"

#include <cstdlib>
#include <cstring>

#include "core/Files.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "platform/Sound.h"
#include "platform/Texture.h"
#include "render/Render_local.h"
#include "render/RenderTables.h"
#include "render/Sky.h"
#include "render/View.h"
#include "render/Viewport.h"

using namespace render_local;
using host::RenderState;

int32_t PrecipitationMode = 0;
int32_t DropCount = 0;
DropCell* DropTable[kMaxDrops];
dxgl_SoundStreamBuffer* RainSound = nullptr;
double DropGrowthTime = 0.0;

namespace {

constexpr int32_t kHalfCube = 65536;
constexpr int32_t kCube = 131072;

void Wrap(int32_t* v, int32_t centre) {
    // Compared in 64 bits: a centre near the end of the world range must not wrap the bounds.
    while (int64_t(*v) < int64_t(centre) - kHalfCube) *v += kCube;
    while (int64_t(*v) > int64_t(centre) + kHalfCube) *v -= kCube;
}

// Screen point of a world point in the current view; false when it lies behind the eye or outside.
bool ProjectDrop(const FixVec& p, float out[3]) {
    auto diff = [](int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); };
    FixVec v = {diff(p.x, EyePos.x), diff(p.y, EyePos.y), diff(p.z, EyePos.z)};
    RotateVecSafe(&v, &ProjMatrix, &v);
    if (PointOutsideFrustum(&v)) return false;
    ScreenPointF s;
    ProjectToScreen(&s, &v, ViewCentreXF, ViewCentreYF);
    out[0] = s.x, out[1] = s.y, out[2] = s.depth;
    return true;
}

void PutVertex(ScreenVertex* v, float x, float y, float z, uint32_t colour, float u, float t) {
    v->x = x;
    v->y = ScreenHeightF - y;
    v->z = z;
    v->rhw = 1.0f;
    v->diffuse = colour;
    v->specular = FogSpecular;
    v->tu0 = u;
    v->tv0 = t;
    v->tu1 = v->tv1 = 0.0f;
}

uint32_t Grey(uint8_t g) { return (CurrentVertex.diffuse & 0xFF000000u) | Rgb(g, g, g); }

// The drops wrapped around the centre one tile ahead of the eye.
void WrapDrops(const FixMatrix* orientation, const FixVec* position) {
    const FixVec c = {position->x + 2 * orientation->m[6], position->y + 2 * orientation->m[7],
                      position->z + 2 * orientation->m[8]};
    for (int i = 0; i < DropCount; ++i) {
        DropCell* d = DropTable[i];
        if (!d) continue;
        Wrap(&d->x, c.x);
        Wrap(&d->y, c.y);
        Wrap(&d->z, c.z);
    }
}

}  // namespace

int32_t DropMaximum() {
    int32_t cap = 400;
    if (const Rule* r = FindRule("drop_maximum"); r && r->count >= 1) cap = static_cast<int32_t>(r->values[0]);
    return cap > kMaxDrops ? kMaxDrops : cap;
}

void SetDropCount(int n) {
    std::srand(static_cast<unsigned>(static_cast<int64_t>(TimerNow())));
    int end = DropCount + n;
    // The table is fixed: the field stops growing at its size.
    if (end > kMaxDrops) end = kMaxDrops;
    for (int i = DropCount; i < end; ++i) {
        auto* d = static_cast<DropCell*>(qzAlloc(sizeof(DropCell), "Drop cell"));
        d->x = (16384 - (std::rand() & 0x7fff)) * 4;
        d->y = (16384 - (std::rand() & 0x7fff)) * 4;
        d->z = (16384 - (std::rand() & 0x7fff)) * 4;
        DropTable[i] = d;
    }
    if (end > DropCount) DropCount = end;
}

void FreeDrops() {
    for (int i = 0; i < DropCount && i < kMaxDrops; ++i) {
        qzFree(DropTable[i]);
        DropTable[i] = nullptr;
    }
}

void StartPrecipitation(int mode) {
    if (dxgl_IsSoundValid(RainSound)) dxgl_FreeSound(&RainSound);
    RainSound = nullptr;
    if (mode == 1 || mode == 2) {
        if (PrecipitationMode != 0) FreeDrops();
        PrecipitationMode = mode;
        DropCount = 0;
        DropGrowthTime = TimerNow();
        SetDropCount(50);
        if (mode == 1) {
            RainSound = dxgl_PlaySample("regen.wav", 2, 1, 1, 0);
            if (RainSound) dxgl_UpdateSound3D(RainSound);
        }
        return;
    }
    PrecipitationMode = 0;
    FreeDrops();
    DropCount = 0;
}

void StopPrecipitation() {
    FreeDrops();
    if (RainSound) dxgl_FreeSound(&RainSound);
    RainSound = nullptr;
}

void MoveDrops(int ticks) {
    switch (PrecipitationMode) {
        case 1:
            for (int i = 0; i < DropCount; ++i)
                if (DropTable[i]) DropTable[i]->y -= 2000 * ticks;
            break;
        case 2:
            for (int i = 0; i < DropCount; ++i) {
                DropCell* d = DropTable[i];
                if (!d) continue;
                int32_t step = 32 - (std::rand() & 31);
                if (step == 32) step = 0;
                d->x += step * ticks;
                d->z += step * ticks;
                d->y -= 100 * ticks;
            }
            break;
        default: break;
    }
}

void DrawWeather(const FixMatrix* orientation, const FixVec* position, ViewPort* vp) {
    if (PrecipitationMode != 1 && PrecipitationMode != 2) return;
    if (DropCount < DropMaximum() && TimerNow() - DropGrowthTime > 200.0) {
        DropGrowthTime = TimerNow();
        SetDropCount(20);
    }
    if (PrecipitationMode == 1) DrawDrops(orientation, position, vp);
    else DrawDropsAlt(orientation, position, vp);
}

void DrawDrops(const FixMatrix* orientation, const FixVec* position, ViewPort* vp) {
    const uint32_t blend = GetRS(RenderState::AlphaBlendEnable);
    SetRS(RenderState::AlphaBlendEnable, 1);
    WrapDrops(orientation, position);
    const float w = vp == MainViewPort ? 2.0f : 1.0f;
    for (int i = 0; i < DropCount; ++i) {
        const DropCell* d = DropTable[i];
        if (!d) continue;
        float s[3], t[3];
        if (!ProjectDrop(FixVec{d->x, d->y, d->z}, s)) continue;
        if (!ProjectDrop(FixVec{d->x, d->y - 4000, d->z}, t)) continue;
        int32_t g = static_cast<uint8_t>(static_cast<int32_t>(70.0f - 1000.0f * s[2]));
        if (g < 20 || g > 70) g = 20;
        const uint32_t colour = Grey(static_cast<uint8_t>(g));
        ScreenVertex v[3];
        PutVertex(&v[0], s[0], s[1], s[2], colour, 0, 0);
        PutVertex(&v[1], t[0], t[1], s[2], colour, 0, 0);
        PutVertex(&v[2], t[0] + w, t[1], s[2], colour, 0, 0);
        EmitPrimitive(kPrimTriangleFan, v, 3);
    }
    if (!blend) SetRS(RenderState::AlphaBlendEnable, 0);
}

void DrawDropsAlt(const FixMatrix* orientation, const FixVec* position, ViewPort* vp) {
    const uint32_t blend = GetRS(RenderState::AlphaBlendEnable);
    SetRS(RenderState::AlphaBlendEnable, 1);
    WrapDrops(orientation, position);
    const float size = vp == MainViewPort ? 7.0f : 3.0f;
    Tex* flare = FlareTexture(1);
    SetTex(0, flare ? flare->surface : nullptr);
    for (int i = 0; i < DropCount; ++i) {
        const DropCell* d = DropTable[i];
        if (!d) continue;
        float s[3];
        if (!ProjectDrop(FixVec{d->x, d->y, d->z}, s)) continue;
        const float h = static_cast<float>(static_cast<int32_t>(size - 8.0f * size * s[2]));
        // Far flakes would take a grey below zero: they stay black instead of wrapping to white.
        int32_t g = static_cast<int32_t>(255.0f - 3000.0f * s[2]);
        g = g < 0 ? 0 : g > 255 ? 255 : g;
        const uint32_t colour = Grey(static_cast<uint8_t>(g));
        ScreenVertex v[4];
        PutVertex(&v[0], s[0], s[1], s[2], colour, 0, 0);
        PutVertex(&v[1], s[0] + h, s[1], s[2], colour, 1, 0);
        PutVertex(&v[2], s[0] + h, s[1] + h, s[2], colour, 1, 1);
        PutVertex(&v[3], s[0], s[1] + h, s[2], colour, 0, 1);
        EmitPrimitive(kPrimTriangleFan, v, 4);
    }
    SetTex(0, nullptr);
    if (!blend) SetRS(RenderState::AlphaBlendEnable, 0);
}
