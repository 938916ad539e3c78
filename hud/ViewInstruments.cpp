// The view instruments over the main view, drawn in one call per frame in a fixed order, with the weapon
// group names they show and the overlay's clock arithmetic.
#include "hud/ViewInstruments.h"

#include <cstdio>
#include <cstring>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "render/Overlay2D.h"
#include "hud/Overlay_local.h"
#include "hud/TFView.h"
#include "hud/UnitMarks.h"
#include "objects/Itfc.h"
#include "objects/UnitRecord.h"
#include "objects/Units.h"
#include "platform/Texture.h"
#include "render/ScreenText.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/TickCounter.h"

using namespace hud_local;
using host::RenderState;

char WeaponNames[2][kWeaponNameSize] = {"NONE", "NONE"};
int32_t RadiationBlink = 0;

namespace {

const uint8_t kBrightGreen[4] = {0, 255, 128, 128};
const uint8_t kDarkGreen[4] = {0, 64, 32, 128};
const uint8_t kDarkRed[4] = {128, 0, 0, 128};
const uint8_t kShadowBlack[4] = {0, 0, 0, 128};
const uint8_t kYellow[4] = {255, 224, 0, 128};
const uint8_t kRed[4] = {255, 0, 0, 128};
const uint8_t kPanelGreen[4] = {0, 128, 64, 80};

constexpr int32_t kNoTurret = INT32_MIN;
constexpr int32_t kThreeQuarterTurn = 308830;
constexpr int32_t kQuarterTurn = 102943;
constexpr int32_t kDialPitch = 80067;  // the turret indicator and compass lie tilted back by about 70 degrees

host::GfxSurface* Special(int which) {
    const Tex* t = SpecialTextures[which];
    return t ? t->surface : nullptr;
}

struct Corner {
    float x, y, u, v;
    uint32_t colour;
};

// A textured fan of four corners at the overlay depth (untextured with a null surface).
void TexturedQuad(host::GfxSurface* surface, const Corner (&c)[4]) {
    SetTex(surface);
    for (int i = 0; i < 4; ++i) Put(i, c[i].x, c[i].y, kOverlayZ, c[i].colour, c[i].u, c[i].v);
    Draw(host::PrimitiveType::TriangleFan, 4);
    SetTex(nullptr);
}

// The icon square of the radiation, reload and action icons at the lower left.
void IconQuad(host::GfxSurface* surface, const uint8_t* colour) {
    const uint32_t c = Argb(colour);
    TexturedQuad(surface, {{20, 72, 0, 1, c}, {52, 72, 1, 1, c}, {52, 40, 1, 0, c}, {20, 40, 0, 0, c}});
}

void Triangle(const float (&p)[3][2], const uint8_t* colour) {
    for (int i = 0; i < 3; ++i) Put(i, p[i][0], p[i][1], kOverlayZ, Argb(colour));
    Draw(host::PrimitiveType::TriangleFan, 3);
}

// A square of half size `half` lying in the ground plane, turned by the yaw and tilted by the dial pitch,
// drawn at the screen's bottom centre: the turret indicator and the compass.
void Dial(host::GfxSurface* surface, int32_t yaw, int32_t half, const float (&uv)[4][2],
          const uint32_t (&colour)[4], int32_t cx) {
    FixMatrix m;
    MatrixFromYawPitch(&m, yaw, kDialPitch);
    const int32_t corners[4][2] = {{half, -half}, {half, half}, {-half, half}, {-half, -half}};
    Corner c[4];
    for (int i = 0; i < 4; ++i) {
        FixVec v = {corners[i][0], 0, corners[i][1]};
        RotateVec(&v, &m, &v);
        c[i] = {static_cast<float>(cx + v.x), static_cast<float>(v.y + 10), uv[i][0], uv[i][1], colour[i]};
    }
    TexturedQuad(surface, c);
}

void FragCounter(const UnitShare* rec) {
    const int32_t n = MultiplayerOn && OwnPlayer ? OwnPlayer->frags : rec->killCount;
    FillRectAlpha2D(kPanelGreen, 70, 30, 120, 9);
    DrawRect2D(kPanelGreen, 70, 30, 120, 9);
    DrawRect2D(kPanelGreen, 71, 29, 119, 10);
    // In the colour the last outline left: opaque panel green.
    DrawTextf3(105, 25, "%d", n);
    const int32_t k = n - 1 > 10 ? 10 : n - 1;
    if (k < 0) return;
    BlendEnable(1);
    const uint32_t c = Argb(kBrightGreen);
    TexturedQuad(
        Special(kSpecialFragger00 + k),
        {{75, 28, 0.05f, 0, c}, {91, 28, 1.05f, 0, c}, {91, 11, 1.05f, 1, c}, {75, 11, 0.05f, 1, c}});
}

void UnitSymbol(const UnitShare* rec, const StateRecord* state, const MaximaRecord* maxima, int32_t cx) {
    const uint8_t* colour = kBrightGreen;
    if (state->structure < static_cast<int32_t>(static_cast<float>(maxima->structure) * 0.4f))
        colour = kYellow;
    if (state->structure < static_cast<int32_t>(static_cast<float>(maxima->structure) * 0.2f)) colour = kRed;
    auto* symbol = static_cast<host::GfxSurface*>(rec->buttonPicture);
    if (!symbol || (state->structure <= 20 && !(FrameCounter & 0x20))) return;
    const uint32_t c = Argb(colour), low = rec->symbolShadow ? Argb(kShadowBlack) : c;
    const float l = static_cast<float>(cx - 32), r = static_cast<float>(cx + 32);
    TexturedQuad(symbol, {{l, 110, 0, 0, c}, {r, 110, 1, 0, c}, {r, 46, 1, 1, low}, {l, 46, 0, 1, low}});
}

void DriveGauge(construct* unit, int32_t speed, int32_t cx) {
    int32_t maximum = 0;
    const auto drive =
        static_cast<int32_t>(CallItfc(unit, ItfcMethod::GETGAUGES, reinterpret_cast<uintptr_t>(&maximum)));
    float f = maximum != 0 ? static_cast<float>(drive) / static_cast<float>(maximum) : 0.0f;
    const uint8_t* colour = kBrightGreen;
    if (f < 0) {
        f = -f;
        speed = -speed;
        colour = kDarkRed;  // reversing
    }
    const float x = static_cast<float>(cx);
    const float bar[4][2] = {
        {x - 170, 10}, {x - 170 + 60 * f, 10 + 40 * f}, {x - 140 + 45 * f, 10 + 40 * f}, {x - 140, 10}};
    Quad(bar, Argb(colour));
    if (f < 1) {
        const float rest[4][2] = {
            {x - 170 + 60 * f, 10 + 40 * f}, {x - 110, 50}, {x - 95, 50}, {x - 140 + 45 * f, 10 + 40 * f}};
        Quad(rest, Argb(kDarkGreen));
    }
    SetTextColor(kBrightGreen);
    DrawTextf2(cx - 175, 20, "%d mph", speed / 3);
}

void AltitudeBlock(construct* unit, const int32_t angles[3], int32_t cx, int32_t cy) {
    const int32_t a = static_cast<int32_t>(CallItfc(unit, ItfcMethod::GETGAUGES2)) >> 12;
    const int32_t t = cy + 40;
    SetTextColor(a < 3 ? kDarkRed : kBrightGreen);
    DrawTextf(cx + 92, t - 36, "%d0", a);
    const float l = static_cast<float>(cx + 72), r = static_cast<float>(cx + 90);
    for (int32_t i = 0; i < 140; i += 16) {
        const int32_t e = t - i - (a & 15);
        const int32_t hi = e < t - 8 ? e : t - 8, lo = e - 2 > t - 75 ? e - 2 : t - 75;
        if (hi <= lo) continue;
        const float tape[4][2] = {{r, float(hi)}, {l, float(hi)}, {l, float(lo)}, {r, float(lo)}};
        Quad(tape, Argb(kBrightGreen));
    }
    const int32_t C = static_cast<int32_t>((static_cast<int64_t>(FixCos(angles[0])) * 92) >> 16);
    const int32_t S = static_cast<int32_t>((static_cast<int64_t>(FixSin(angles[0])) * 92) >> 16);
    const uint32_t g = Argb(kBrightGreen);
    TexturedQuad(Special(kSpecialHorizon), {{float(cx + C), float(S - 13), 0, 1, g},
                                            {float(cx - C), float(-13 - S), 0, 0, g},
                                            {float(cx - C), float(36 - S), 1, 0, g},
                                            {float(cx + C), float(36 + S), 1, 1, g}});
    const float x = static_cast<float>(cx), y = static_cast<float>(cy);
    Triangle({{x - 70, y - 5}, {x - 77, y - 1}, {x - 70, y + 2}}, kDarkGreen);
    Triangle({{x - 70, y - 4}, {x - 77, y}, {x - 70, y + 3}}, kBrightGreen);
    int32_t p = static_cast<int32_t>(static_cast<float>(angles[1]) / 65536.0f * 35.0f);
    p = p < -23 ? -23 : p > 23 ? 23 : p;
    const float fp = static_cast<float>(p);
    Triangle({{x - 85, y + fp - 4}, {x - 77, y + fp}, {x - 85, y + fp + 4}},
             p != 0 ? kDarkRed : kBrightGreen);
}

void WeaponGroups(construct* unit, int32_t cx) {
    const int32_t nameX[2] = {cx - 140, cx + 90}, ammoX[2] = {cx - 145, cx + 85};
    for (int g = 0; g < 2; ++g) {
        if (std::strcmp(WeaponNames[g], "NONE") == 0) continue;
        const int32_t ammo = GetUnitAmmo(unit, g);
        SetTextColor(ammo == 0 ? kRed : GetUnitWeaponGauge(unit, g) != 0 ? kYellow : kBrightGreen);
        DrawTextf(nameX[g], 70, "%s", WeaponNames[g]);
        if (ammo == -1)
            DrawTextf2(ammoX[g], 70, "~");
        else
            DrawTextf2(ammoX[g], 70, "%d", ammo);
    }
}

void StatusIcons() {
    if (NearestRadioactive) {
        const int32_t n = NearestRadioactiveDistance >> 14;
        if (--RadiationBlink <= -n) RadiationBlink = n;
        if (NearestRadioactiveDistance < 500000 && RadiationBlink <= 0)
            IconQuad(Special(kSpecialRadio), kYellow);
    }
    const UnitShare* reloading = ReloadUnit ? GetUnitShare(ReloadUnit) : nullptr;
    if (reloading && ReloadUnitDistance < 20000 && reloading->serviceTimer > 50)
        IconQuad(Special(kSpecialReload), kBrightGreen);
    if (ActionTargetAU && ActionTargetAU->action != kActionDone && (FrameCounter & 0x10)) {
        static const int kIcons[5] = {kSpecialDataScan, kSpecialObjectScan, kSpecialObjectCapture,
                                      kSpecialUnitCapture, kSpecialEnterData};
        const int32_t kind = ActionTargetAU->action;
        IconQuad(kind >= 1 && kind <= 5 ? Special(kIcons[kind - 1]) : nullptr, kBrightGreen);
    }
}

}  // namespace

void DrawViewInstruments(construct* unit) {
    if (!unit) return;
    const auto* state = reinterpret_cast<const StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE));
    const auto* maxima = reinterpret_cast<const MaximaRecord*>(CallItfc(unit, ItfcMethod::GETMAXIMA));
    const UnitShare* rec = GetUnitShare(unit);
    if (!state || !maxima || !rec) return;
    const int32_t cx = ScreenWidth / 2, cy = ScreenHeight / 2;
    const int32_t* v = GetUnitVelocity(unit);
    const FixVec flat = {v ? v[0] : 0, 0, v ? v[2] : 0};
    const int32_t speed = Length3(&flat) >> 2;
    int32_t angles[3];
    FixMatrix orient;
    std::memcpy(orient.m, unit->orient, sizeof orient.m);
    AnglesFromMatrix(angles, &orient);
    const auto yaw = static_cast<int32_t>(static_cast<uint32_t>(CallItfc(unit, ItfcMethod::GETTURRETYAW)));

    const uint32_t zWas = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    SetTextColor(kBrightGreen);
    if (ScreenWidth != 640) FragCounter(rec);
    BlendEnable(1);
    DrawSlantGauge(cx + 170, 10, state->shield, maxima->shield);
    UnitSymbol(rec, state, maxima, cx);
    DriveGauge(unit, speed, cx);
    if (unit->flags & 0x4000) AltitudeBlock(unit, angles, cx, cy);
    BlendEnable(0);
    WeaponGroups(unit, cx);
    BlendEnable(1);
    StatusIcons();
    if (yaw != kNoTurret) {
        const uint32_t g = Argb(kBrightGreen), d = Argb(kDarkGreen);
        Dial(Special(kSpecialTwister), yaw - kThreeQuarterTurn, 90, {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
             {g, g, d, d}, cx);
    }
    const uint32_t g = Argb(kBrightGreen);
    Dial(Special(kSpecialCompass), kQuarterTurn - angles[2], 110, {{0, 0}, {0, 1}, {1, 1}, {1, 0}},
         {g, g, g, g}, cx);
    BlendEnable(0);
    SetRS(RenderState::ZEnable, zWas);
}

void GetWeaponName(construct* unit) {
    if (!unit || !unit->unit) return;
    const Rule* rule = NamedUnitRule(unit->unit, "WeaponName");
    // A name longer than its buffer is cut; a rule with one text gives the second group an empty name.
    for (int g = 0; g < 2; ++g)
        std::snprintf(WeaponNames[g], sizeof WeaponNames[g], "%s", rule->info[g] ? rule->info[g] : "");
}

int32_t TimeMinutes(float seconds) {
    return static_cast<int32_t>(seconds * 0.016666668f);
}

int32_t TimeSecondsPart(float seconds) {
    return static_cast<int32_t>(seconds - 60.0f * static_cast<float>(TimeMinutes(seconds)));
}
