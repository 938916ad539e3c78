// The cockpit overlay's panels drawn from the task-force view: the task-force panel with its buttons, the
// frames of the extra view windows and the comm menu.
#include <cstring>

#include "core/FixMath.h"
#include "hud/CockpitOverlay_local.h"
#include "render/Overlay2D.h"
#include "hud/Overlay_local.h"
#include "hud/TFSelection.h"
#include "hud/TFView.h"
#include "hud/UnitMarks.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/Texture.h"
#include "render/ScreenText.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/TickCounter.h"

using namespace hud_local;
using host::RenderState;

namespace cockpit_local {

namespace {

constexpr int32_t kPanelSlide = 12;  // pixels per frame
constexpr int32_t kFlashSteps = 7;

void StandardBlend(bool on) {
    const auto f = on ? host::BlendFactor::SrcAlpha : host::BlendFactor::One;
    const auto g = on ? host::BlendFactor::InvSrcAlpha : host::BlendFactor::One;
    SetRS(RenderState::SrcBlend, static_cast<uint32_t>(f));
    SetRS(RenderState::DestBlend, static_cast<uint32_t>(g));
    BlendEnable(on ? 1 : 0);
}

// A textured quad of four corners (x, y, u, v) in one colour at the overlay depth.
void TexturedQuad(host::GfxSurface* surface, const float (&c)[4][4], uint32_t colour) {
    SetTex(surface);
    for (int i = 0; i < 4; ++i) Put(i, c[i][0], c[i][1], kOverlayZ, colour, c[i][2], c[i][3]);
    Draw(host::PrimitiveType::TriangleFan, 4);
    SetTex(nullptr);
}

host::GfxSurface* SurfaceOf(const Tex* t) {
    return t ? t->surface : nullptr;
}

const char* NameOf(const construct* unit) {
    const char* name = UnitGameNameOf(unit);
    return name[0] ? name : UnitNameOf(unit);
}

// The status icon of a task button: the flash behind it while its flash frame runs, then the icon in the
// colour of the unit's strength (blinking while the frame is negative) and the stealth mark.
void StatusIcon(UnitShare* rec, const StateRecord* state, const MaximaRecord* maxima, float x, float bottom) {
    auto* icon = static_cast<host::GfxSurface*>(rec->buttonPicture);
    if (!icon) return;
    int32_t& flash = rec->buttonWord;
    if (flash > 0) {
        const float corners[4][2] = {
            {x - 36, bottom - 2}, {x - 3, bottom - 2}, {x - 3, bottom - 34}, {x - 36, bottom - 34}};
        Quad(corners, Argb(64, 255 - 40 * flash, 0, 0));
        if (FrameCounter & 3) ++flash;
        if (flash >= kFlashSteps) flash = 0;
    }
    const uint8_t* tint = kHudGreen;
    if (state && maxima) {
        if (state->structure < static_cast<float>(maxima->structure) * 0.4f) tint = kWarningYellow;
        if (state->structure < static_cast<float>(maxima->structure) * 0.2f) tint = kAlertRed;
    }
    if (flash >= 0 || (FrameCounter & 0x20)) {
        const float c[4][4] = {{x - 36, bottom - 1, 0, 0},
                               {x - 4, bottom - 1, 1, 0},
                               {x - 4, bottom - 33, 1, 1},
                               {x - 36, bottom - 33, 0, 1}};
        TexturedQuad(icon, c, Argb(tint));
    }
    if (rec->stateFlag) {
        SetTextColor(kWhite);
        DrawTextf(static_cast<int32_t>(x) - 34, static_cast<int32_t>(bottom), "S");
    }
}

void TaskButtonMarks(TFView* view, const TaskButton* b, int32_t o) {
    construct* unit = b->unit;
    if (!unit) return;
    const float left = static_cast<float>(b->left + o), bottom = static_cast<float>(b->bottom);
    StandardBlend(true);
    const float panel[4][4] = {{left - 40, bottom + 2, 0.01f, 0},
                               {left, bottom + 2, 1, 0},
                               {left, bottom - 38, 1, 0.22f},
                               {left - 40, bottom - 38, 0.01f, 0.22f}};
    TexturedQuad(SurfaceOf(view->panelTex), panel, Argb(255, 255, 255, 255));

    const int slot = unit->bytes2[0];
    const uint8_t* colour = b->colour;
    if (unit->flags & kConSelected)
        colour = kAlertRed;
    else if (unit == PlayerUnit || (unit->flags & kConHighlighted))
        colour = kWhite;
    SetTextFont(12);
    SetTextColor(colour);
    const int32_t x = ScreenWidth - view->tfPanelWidth + 5 + o, y = b->bottom - 5;
    // A slot past the unit keys has no key label.
    if (const char key = TFSlotKeyLabel(slot)) DrawTextf(x, y, "%c", key);
    DrawTextf(x + 20, y, "%s", NameOf(unit));
    SetTextFont(13);

    const auto* state = reinterpret_cast<const StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE));
    const auto* maxima = reinterpret_cast<const MaximaRecord*>(CallItfc(unit, ItfcMethod::GETMAXIMA));
    UnitShare* rec = GetUnitShare(unit);
    if (rec) StatusIcon(rec, state, maxima, left, bottom);

    const int32_t kills = MultiplayerOn && OwnPlayer ? OwnPlayer->frags : rec ? rec->killCount : 0;
    const int32_t n = kills - 1 > 10 ? 10 : kills - 1;
    if (n >= 0) {
        StandardBlend(true);
        const float r = static_cast<float>(b->right + o);
        const float c[4][4] = {{r - 18, bottom - 4, 0, 0},
                               {r - 2, bottom - 4, 1, 0},
                               {r - 2, bottom - 20, 1, 1},
                               {r - 18, bottom - 20, 0, 1}};
        TexturedQuad(SurfaceOf(SpecialTextures[kSpecialFragger00 + n]), c, Argb(255, 255, 255, 255));
    }
    StandardBlend(false);
    if (state && maxima) DrawBarGauge(b->left + o + 3, b->top - 7, state->shield, maxima->shield);
}

}  // namespace

void DrawTaskForcePanel(TFView* view) {
    view->tfPanelTimer = view->tfPanelTimer > kPanelSlide ? view->tfPanelTimer - kPanelSlide : 0;
    const int32_t o = view->tfPanelTimer;
    for (int i = 0; i < view->buttonCount; ++i)
        if (view->buttons[i]) TaskButtonMarks(view, view->buttons[i], o);
    StandardBlend(false);
}

void DrawViewFrames(TFView* view) {
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (!vp || vp == MainViewPort || (!vp->follows && vp->fade >= 0)) continue;
        const int32_t n = vp->fade;
        // The frame swings about the left screen edge: its x offsets shrink by the sine of the yaw, its far
        // corners draw together by m pixels.
        float shrink = 1.0f;
        int32_t m = 0;
        if (n > 0) {
            shrink =
                -static_cast<float>(FixSin(static_cast<int32_t>(-(15 - n) * 0.1f * 65536.0f))) / 65536.0f;
            m = n;
            --vp->fade;
        } else if (n < 0) {
            shrink = -static_cast<float>(FixSin(static_cast<int32_t>((n - 1) * 0.1f * 65536.0f))) / 65536.0f;
            m = n + 15;
            ++vp->fade;
        }
        const float far = static_cast<float>(vp->right + 5) * shrink;
        const float top = static_cast<float>(vp->bottom + 3), low = static_cast<float>(vp->top - 2);
        const float c[4][4] = {{0, top, 0.01f, 0.22f},
                               {far, top - m, 1, 0.22f},
                               {far, low + m, 1, 0.93f},
                               {0, low, 0.01f, 0.93f}};
        StandardBlend(true);
        TexturedQuad(SurfaceOf(view->panelTex), c, Argb(255, 255, 255, 255));
        StandardBlend(false);
    }
}

void DrawCommMenu(TFView* view, CommMenu* menu) {
    SetTextFont(11);
    const int32_t h = GetTextFont() + 6;
    // The menu stands beside the first task button; without one, where the first button would stand.
    int32_t left = ScreenWidth - view->tfPanelWidth, bottom = ScreenHeight - 36;
    if (view->buttonCount > 0 && view->buttons[0])
        left = view->buttons[0]->left, bottom = view->buttons[0]->bottom;
    const int32_t recipients = menu->recipients ? menu->recipients->count : 0;
    DrawBevelPanel2D(kMenuBlue, left - 170, bottom, left - 45,
                     bottom - 24 - h * (recipients + menu->entryCount));
    const int32_t x = left - 162;
    int32_t y = bottom - 8;
    SetTextColor(kAlertRed);
    for (int i = 0; i < recipients; ++i, y -= h)
        DrawTextf(x, y, " %s", NameOf(menu->recipients->constructs[i]));
    y -= 8;
    const ConstructPool* group = menu->recipients ? FindExactTFGroup(view, menu->recipients) : nullptr;
    for (int i = 0; i < menu->entryCount; ++i, y -= h) {
        CommMenuEntry& e = menu->entries[i];
        const uint8_t* colour = i == menu->highlighted ? kWhite : kHudGreen;
        if (IsTFCommandBlocked(view, menu, e.code)) colour = kBlockedGrey;
        bool key = group != nullptr;
        if (e.code == 8) key = key && group != view->groups[0];
        if (e.code == 0) key = key && recipients > 1;
        SetTextColor(colour);
        DrawTextf(x, y, "%s", key ? e.keyText : e.text);
        e.screenY = y;
    }
    SetTextColor(kHudGreen);
    SetTextFont(13);
}

}  // namespace cockpit_local
