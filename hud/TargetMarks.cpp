// The navigation arrow and the lock target's marks over the main view.
#include "hud/TargetMarks.h"
#include "hud/TacticalMap.h"

#include <cstdio>
#include <cstring>

#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "hud/MissionStatus.h"
#include "render/Overlay2D.h"
#include "hud/Overlay_local.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/Font.h"
#include "platform/SoundFx.h"
#include "platform/Texture.h"
#include "render/ScreenText.h"
#include "render/Sky.h"
#include "render/View.h"
#include "world/Construct.h"
#include "world/TickCounter.h"

using namespace hud_local;
using host::RenderState;

int32_t TargetSpin = 0;
int32_t TargetZoom = 1;
int32_t TargetAnalysing = 0;

namespace {

constexpr int32_t kQuarterTurn = 102944;
constexpr int32_t kArrowPitch = 80067;  // the arrow lies tilted back by 1.2217 radians
constexpr float kWorldUnitsPerMetre = 5200.0f;
const uint8_t kLabelColour[4] = {255, 128, 128, 0};
const uint8_t kShieldBar[4] = {32, 200, 80, 128};
const uint8_t kStrengthBar[4] = {64, 128, 240, 128};

FixVec EyeRelative(const int32_t p[3]) {
    auto diff = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    };
    return {diff(p[0], EyePos.x), diff(p[1], EyePos.y), diff(p[2], EyePos.z)};
}

// The label's text: "Analyze_text" blinking while the target is analysed, "NotIdentified_text" for a
// target without a name, else the name and the distance in metres (with the strength bars). The text
// buffer gets the line; the result tells whether the bars belong to it.
bool LabelText(const UnitShare* rec, char* text, size_t size) {
    text[0] = 0;
    if (rec->analysing) {
        const char* analyse = GetRuleText(RuleText::Analyze_text);
        if ((FrameCounter & 0x10) && analyse) std::snprintf(text, size, "%s", analyse);
        return false;
    }
    const char* name = UnitGameNameOf(rec->lockTarget);
    if (!name[0]) {
        const char* unknown = GetRuleText(RuleText::NotIdentified_text);
        std::snprintf(text, size, "%s", unknown ? unknown : "");
        return false;
    }
    const float metres = static_cast<float>(rec->lockEntry->distance) * (1.0f / kWorldUnitsPerMetre);
    std::snprintf(text, size, "%s (%4.1fm)", name, static_cast<double>(metres));
    return true;
}

// One bar: its maximum as a blended background, its value solid over it; 6 pixels high from top down.
void StrengthBar(const uint8_t* colour, int32_t x, int32_t top, int32_t value, int32_t maximum) {
    FillRectAlpha2D(colour, x, top, x + maximum / 4, top - 6);
    FillRect2D(colour, x, top, x + value / 4, top - 6);
}

// The target's strength bar and shield bar with their tops at the two heights.
void StrengthBars(const UnitShare* rec, int32_t x, int32_t strengthTop, int32_t shieldTop) {
    construct* target = rec->lockEntry->con;
    if (!target) return;
    const auto* state = reinterpret_cast<const StateRecord*>(CallItfc(target, ItfcMethod::GETSTATE));
    const auto* maxima = reinterpret_cast<const MaximaRecord*>(CallItfc(target, ItfcMethod::GETMAXIMA));
    if (!state || !maxima) return;
    StrengthBar(kStrengthBar, x, strengthTop, state->structure, maxima->structure);
    StrengthBar(kShieldBar, x, shieldTop, state->shield, maxima->shield);
}

void Triangle(const float (&p)[3][2], uint32_t colour) {
    for (int i = 0; i < 3; ++i) Put(i, p[i][0], p[i][1], kOverlayZ, colour);
    Draw(host::PrimitiveType::TriangleFan, 3);
}

// The points (x, 0, z) turned by the arrow's matrix onto the screen's bottom centre.
void ArrowPoints(const FixMatrix& m, const int32_t (*points)[2], int count, uint32_t colour) {
    for (int i = 0; i < count; ++i) {
        FixVec v = {points[i][0], 0, points[i][1]};
        RotateVec(&v, &m, &v);
        Put(i, static_cast<float>(ScreenWidth / 2 + v.x), static_cast<float>(v.y + 10), kOverlayZ, colour);
    }
}

}  // namespace

void DrawNavArrow(construct* unit) {
    (void)unit;
    if (!CurrentNavPoint) return;
    FixVec d = EyeRelative(CurrentNavPoint->pos);
    RotateVecSafe(&d, &ViewMatrix, &d);
    int32_t a = FixAtan2(d.x / 256, d.z / 256);
    if (d.z < 0) a = d.x >= 1 ? kQuarterTurn : -kQuarterTurn;  // behind: the arrow points sideways
    FixMatrix m;
    MatrixFromYawPitch(&m, kQuarterTurn - a, kArrowPitch);

    static const int32_t kHead[3][2] = {{0, 90}, {-20, 60}, {20, 60}};
    static const int32_t kOutline[9][2] = {{0, 90},  {20, 60}, {8, 60},   {8, 50}, {0, 50},
                                           {-8, 50}, {-8, 60}, {-20, 60}, {0, 90}};
    static const int32_t kLeft[5][2] = {{8, 70}, {-4, 60}, {4, 60}, {4, 50}, {8, 50}};
    static const int32_t kRight[5][2] = {{-8, 50}, {4, 60}, {-4, 60}, {-4, 70}, {-8, 70}};
    const uint32_t zWas = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    ArrowPoints(m, kHead, 3, Argb(0, 0, 0, 255));
    Draw(host::PrimitiveType::TriangleFan, 3);
    ArrowPoints(m, kOutline, 9, Argb(0, 10, 10, 80));
    Draw(host::PrimitiveType::LineStrip, 9);
    ArrowPoints(m, kLeft, 5, Argb(0, 128, 190, 255));
    Draw(host::PrimitiveType::TriangleFan, 5);
    ArrowPoints(m, kRight, 5, Argb(0, 128, 190, 255));
    Draw(host::PrimitiveType::TriangleFan, 5);
    SetRS(RenderState::ZEnable, zWas);
}

void DrawTargetMarks(construct* unit) {
    UnitShare* rec = unit ? GetUnitShare(unit) : nullptr;
    if (!rec || !rec->lockTarget || !rec->lockEntry) return;
    ScreenPointF at;
    const FixVec p = {rec->lockTarget->pos[0], rec->lockTarget->pos[1], rec->lockTarget->pos[2]};
    if (ProjectWorldPoint(&at, &p)) {
        DrawTargetLabel(rec);
        return;
    }
    DrawOffscreenTarget(rec, unit);
    rec->lockCountdown = 150;
    rec->locked = 0;
    SoundDesc* warning = FX(FXSound::LockTarget);
    if (warning->buffer && dxgl_IsSoundValid(warning->buffer)) dxgl_FreeSound(&warning->buffer);
}

void DrawTargetLabel(UnitShare* rec) {
    if (!rec || !rec->lockTarget || !rec->lockEntry) return;
    if (!rec->analysing) {
        TargetAnalysing = 0;
    } else if (!TargetAnalysing) {
        TargetAnalysing = 1;
        TargetZoom = 30;
    }
    const bool yellow = rec->locked && (FrameCounter & 0x10);
    const uint32_t colour = yellow ? Argb(255, 255, 255, 0) : Argb(255, 255, 0, 0);

    // The centre of the target's bounding sphere in the camera frame, projected.
    const construct* target = rec->lockTarget;
    FixMatrix orient;
    std::memcpy(orient.m, target->orient, sizeof orient.m);
    const FixVec centre = {target->sphere.centre[0], target->sphere.centre[1], target->sphere.centre[2]};
    FixVec c;
    RotateVecT13(&c, &orient, &centre);
    FixVec rel = EyeRelative(target->pos);
    rel = {rel.x + c.x, rel.y + c.y, rel.z + c.z};
    RotateVecF(&rel, &ProjMatrix, &rel);
    ScreenPointF s;
    ProjectToScreen(&s, &rel, ViewCentreXF, ViewCentreYF);
    // The marker is 15 pixels across at the focal length the projections assume, scaled with the view's.
    const float f = static_cast<float>(FocalX) / 1024.0f;
    const int32_t half = static_cast<int32_t>(15.0f * f);
    const int32_t px = static_cast<int32_t>(s.x), py = static_cast<int32_t>(s.y);

    const uint32_t zWas = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    BlendEnable(1);
    const Tex* flare = FlareTexture(1);
    SetTex(flare ? flare->surface : nullptr);
    const float l = float(px - half), r = float(px + half), b = float(py - half), t = float(py + half);
    const float corners[4][4] = {{l, b, 0, 1}, {r, b, 1, 1}, {r, t, 1, 0}, {l, t, 0, 0}};
    for (int i = 0; i < 4; ++i)
        Put(i, corners[i][0], corners[i][1], kOverlayZ, colour, corners[i][2], corners[i][3]);
    Draw(host::PrimitiveType::TriangleFan, 4);
    SetTex(nullptr);
    static const int32_t kHeads[4][3][2] = {{{-20, 25}, {-15, 15}, {-25, 20}},
                                            {{20, 25}, {15, 15}, {25, 20}},
                                            {{-20, -25}, {-15, -15}, {-25, -20}},
                                            {{20, -25}, {15, -15}, {25, -20}}};
    int32_t sn, cs;
    FixSinCos(static_cast<int32_t>(static_cast<int64_t>(TargetSpin) * 411774 / 360), &sn, &cs);
    const float sine = static_cast<float>(sn) / 65536.0f, cosine = static_cast<float>(cs) / 65536.0f;
    for (const auto& head : kHeads) {
        float p[3][2];
        for (int i = 0; i < 3; ++i) {
            const float x = static_cast<float>(head[i][0]), y = static_cast<float>(head[i][1]);
            p[i][0] = static_cast<float>(px) + (x * cosine - y * sine) * static_cast<float>(TargetZoom);
            p[i][1] = static_cast<float>(py) + (x * sine + y * cosine) * static_cast<float>(TargetZoom);
        }
        Triangle(p, colour);
    }
    BlendEnable(0);

    char text[kScreenTextBufferSize];
    if (LabelText(rec, text, sizeof text)) StrengthBars(rec, px - 30, py - half - 12, py - half - 20);
    const int32_t size = GetTextFont();
    SetTextFont(10);
    SetTextColor(kLabelColour);
    DrawTextf3(px, py - half, "%s", text);
    SetTextFont(size);
    SetRS(RenderState::ZEnable, zWas);

    TargetSpin += 3;
    if (TargetSpin >= 360) TargetSpin -= 360;
    if (TargetZoom > 1) --TargetZoom;
}

void DrawOffscreenTarget(UnitShare* rec, construct* unit) {
    (void)unit;
    if (!rec || !rec->lockTarget || !rec->lockEntry) return;
    const int32_t W = ScreenWidth, H = ScreenHeight;
    FixVec d = EyeRelative(rec->lockTarget->pos);
    RotateVecSafe(&d, &ViewMatrix, &d);
    const int32_t sx = W / 2 + d.x / 128, sy = H / 2 + d.y / 128;
    auto clampY = [H](int32_t y) { return y < 43 ? 43 : y > H - 47 ? H - 47 : y; };

    enum { kLeftEdge, kRightEdge, kBottomEdge, kTopEdge } edge;
    const bool behind = d.z < 0;
    if ((behind && sx > W / 2) || (!behind && sx >= W - 25))
        edge = kRightEdge;
    else if (behind || sx < 26)
        edge = kLeftEdge;
    else
        edge = sy < H / 2 ? kBottomEdge : kTopEdge;

    int32_t y = 0;
    float arrow[3][2];
    switch (edge) {
        case kRightEdge:
            y = clampY(sy);
            arrow[0][0] = arrow[1][0] = float(W - 25), arrow[2][0] = float(W - 15);
            arrow[0][1] = float(y + 15), arrow[1][1] = float(y - 15), arrow[2][1] = float(y);
            break;
        case kLeftEdge:
            y = clampY(sy);
            arrow[0][0] = arrow[1][0] = 25, arrow[2][0] = 15;
            arrow[0][1] = float(y + 15), arrow[1][1] = float(y - 15), arrow[2][1] = float(y);
            break;
        case kBottomEdge:
        case kTopEdge:
            y = edge == kBottomEdge ? 25 : H - 25;
            arrow[0][0] = float(sx - 15), arrow[1][0] = float(sx + 15), arrow[2][0] = float(sx);
            arrow[0][1] = arrow[1][1] = float(y), arrow[2][1] = float(edge == kBottomEdge ? y - 10 : y + 10);
            break;
    }
    const uint32_t zWas = GetRS(RenderState::ZEnable);
    SetRS(RenderState::ZEnable, 0);
    Triangle(arrow, Argb(kLabelColour));

    char text[kScreenTextBufferSize];
    const bool named = LabelText(rec, text, sizeof text);
    int32_t left = sx - 30 < 30 ? 30 : sx - 30, right = left + 60;
    if (sx + 30 > W - 30) left = W - 110, right = W - 30;
    const int32_t labelY = y < 30 ? y + 33 : y > H - 30 ? y - 5 : y + 14;
    if (named) StrengthBars(rec, left, labelY - 15, labelY - 22);
    const int32_t size = GetTextFont();
    SetTextFont(10);
    SetTextColor(kLabelColour);
    switch (edge) {
        case kLeftEdge:
            DrawTextf(left, labelY, "%s", text);
            break;
        case kRightEdge:
            DrawTextf2(right, labelY, "%s", text);
            break;
        case kBottomEdge:
        case kTopEdge:
            DrawTextf3((left + right) / 2, labelY, "%s", text);
            break;
    }
    SetTextFont(size);
    SetRS(RenderState::ZEnable, zWas);
}
