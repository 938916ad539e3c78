// The cockpit overlay's frame: the steps of DrawHUD in their order. The panels drawn from the task-force
// view's records are in hud/CockpitPanels.cpp.
#include "hud/CockpitOverlay.h"

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Fix3D.h"
#include "core/Rules.h"
#include "hud/CockpitOverlay_local.h"
#include "hud/MapPanels.h"
#include "hud/MissionStatus.h"
#include "hud/TacticalMap.h"
#include "render/Overlay2D.h"
#include "hud/Overlay_local.h"
#include "hud/TFView.h"
#include "hud/TargetMarks.h"
#include "hud/UnitMarks.h"
#include "hud/ViewInstruments.h"
#include "net/Multiplayer.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "render/ScreenText.h"
#include "render/Sky.h"
#include "render/View.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "render/Snapshot.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

using namespace hud_local;
using namespace cockpit_local;
using host::RenderState;

namespace cockpit_local {

const uint8_t kHudGreen[4] = {0, 216, 128, 255};
const uint8_t kFrameGreen[4] = {0, 128, 64, 80};
const uint8_t kBlockedGrey[4] = {64, 64, 64, 255};
const uint8_t kMenuBlue[4] = {0, 64, 128, 160};
const uint8_t kWhite[4] = {255, 255, 255, 64};
const uint8_t kAlertRed[4] = {216, 64, 64, 64};
const uint8_t kWarningYellow[4] = {216, 216, 0, 64};

}  // namespace cockpit_local

namespace {

constexpr int32_t kNormalSize = 13;
constexpr int32_t kLargeSize = 20;

// The panel word of the view the player looks through: the cockpit's while he drives a unit, the map
// view's otherwise.
int32_t PanelBits() {
    return PlayerUnit ? CockpitPanels : PanelWord;
}

int32_t Percent(int32_t total, float share) {
    return static_cast<int32_t>(static_cast<float>(total) * share);
}

// A large white text centred on (x, y); the normal size afterwards.
void LargeText(int32_t x, int32_t y, const char* text) {
    SetTextFont(kLargeSize);
    SetTextColor(kWhite);
    DrawTextf3(x, y, "%s", text);
    SetTextFont(kNormalSize);
}

// The first text of a notice rule; fatal when the rule is missing ("Error(NamedRule): ...").
const char* NoticeText(const char* rule) {
    const Rule* r = NamedRulef("%s", rule);
    return r->info[0] ? r->info[0] : "";
}

void ClockBox() {
    FillRectAlpha2D(kFrameGreen, 10, 30, 65, 9);
    DrawRect2D(kFrameGreen, 10, 30, 65, 9);
    DrawRect2D(kFrameGreen, 11, 29, 64, 10);
    SetTextColor(kHudGreen);
}

void Clock() {
    if (!MultiplayerOn) {
        if (RecordReplayActive || SnapshotRendering) return;
        ClockBox();
        DrawTextf(18, 25, "%02d:%d0", GameHour, GameMinute / 10);
        return;
    }
    if (!(RoundStatus & 0x4) || SnapshotRendering) return;
    ClockBox();
    const float seconds = static_cast<float>(StatusCountdown);
    DrawTextf(16, 25, "%02d:%02d", TimeMinutes(seconds), TimeSecondsPart(seconds));
}

void MapPanel(TFView* view) {
    int32_t at[3] = {0, 0, 0};
    if (PlayerUnit) {
        at[0] = PlayerUnit->pos[0], at[2] = PlayerUnit->pos[2];
    } else if (SatCamera) {
        CallItfc(SatCamera, ItfcMethod::GETLOOKAT, reinterpret_cast<uintptr_t>(at));
    }
    const int64_t tilesX = CurrentMatrix ? MatrixTilesX(CurrentMatrix) : 1;
    const int64_t tilesZ = CurrentMatrix ? MatrixTilesZ(CurrentMatrix) : 1;
    view->mapParams[0] = static_cast<int32_t>(int64_t(at[0]) * 32768 / (tilesX * 65536));
    view->mapParams[1] = static_cast<int32_t>(int64_t(at[2]) * 32768 / (tilesZ * 65536));
    const int32_t s = view->mapPanelSize, W = ScreenWidth;
    if (W == 640) {
        DrawThreats(660 - s, 10, 630, s - 20, view);
        DrawRect2D(kFrameGreen, 660 - s, s - 20, 630, 10);
        DrawRect2D(kFrameGreen, 659 - s, s - 19, 629, 11);
    } else {
        DrawThreats(W - s - 10, 10, W - 10, s + 10, view);
        DrawRect2D(kFrameGreen, W - s - 10, s + 10, W - 10, 10);
        DrawRect2D(kFrameGreen, W - s - 11, s + 11, W - 11, 11);
    }
}

void ControlModeLine(const TFView* view) {
    const char* text = nullptr;
    if (view && view->panelTimer > 0) {
        text = "MANUAL CONTROL";
    } else if (const UnitShare* rec = PlayerUnit ? GetUnitShare(PlayerUnit) : nullptr) {
        const int stealth = (rec->stateFlag ? 1 : 0) + (rec->driveMode ? 1 : 0);
        if (stealth == 2 || (stealth == 1 && !(FrameCounter & 0x10)))
            text = "STEALTH MODE";
        else if (stealth == 0 && rec->autopilot)
            text = "AUTOPILOT";
    }
    if (!text) return;
    SetTextColor(kWhite);
    DrawTextf3(ScreenWidth / 2, Percent(ScreenHeight, 0.35f), "%s", text);
}

// The action kind's prompt and its progress label.
const char* ActionText(int32_t kind, bool prompt) {
    if (kind < 1 || kind > 5) return nullptr;
    const int slot = static_cast<int>(RuleText::DATASCAN_in_range_text) + 2 * (kind - 1) + (prompt ? 0 : 1);
    return GetRuleText(static_cast<RuleText>(slot));
}

void ActionPrompt() {
    const AUDef* au = ActionTargetAU;
    if (!au || ActionActive || au->action == kActionDone || !(FrameCounter & 0x10) || WinCountdown ||
        LoseCountdown)
        return;
    if (const char* text = ActionText(au->action, true))
        LargeText(ScreenWidth / 2, Percent(ScreenHeight, 0.35f), text);
}

void ActionProgress() {
    const AUDef* au = ActionTargetAU;
    if (!au || !ActionActive || ActionIndicator >= 0) return;
    const int32_t start = au->actionValues[1], target = au->actionValues[2], progress = au->actionValues[3];
    const int32_t d = (target > start ? target - start : start - target) / 2;
    const int32_t yc = Percent(ScreenHeight, 0.35f), mid = ScreenWidth / 2;
    DrawRect2D(kWhite, mid - d - 2, yc - 7, mid + d + 2, yc + 7);
    FillRect2D(kWhite, mid - d, yc - 5, mid - d + progress, yc + 5);
    if (const char* text = ActionText(au->action, false)) {
        SetTextFont(kNormalSize);
        SetTextColor(kWhite);
        DrawTextf3(mid, yc + 22, "%s", text);
    }
}

void Notices() {
    const int32_t W = ScreenWidth, H = ScreenHeight;
    if (ViewNoticeTimer > 0) LargeText(W / 2, H / 2, ViewNoticeText);
    SetTextColor(kWhite);
    if (LoadedNoticeTicks > 0) {
        SetTextFont(kNormalSize);
        DrawTextf(2, H - 2, "%s", NoticeText("Miss_loaded"));
    }
    if (SavedNoticeTicks > 0) {
        SetTextFont(kNormalSize);
        DrawTextf(2, H - 2, "%s", NoticeText("Miss_saved"));
    }
    const int32_t y = Percent(H, 0.65f);
    if (WinCountdown > 0) LargeText(W / 2, y, NoticeText("Miss_accomplished"));
    if (LoseCountdown > 0) LargeText(W / 2, y, NoticeText("Miss_failed"));
    if (MPEndCounter[0] > 0) LargeText(W / 2, y, "YOU WIN");
    if (MPEndCounter[1] > 0) LargeText(W / 2, y, "YOU HAVE BEEN DEFEATED");
}

void SelectionBox() {
    if (!MapBoxActive) return;
    for (int i = 0; i < 4; ++i) DrawSegment3D(MapBoxCorners[i], MapBoxCorners[(i + 1) % 4]);
}

// The order marker, in the one tick the view marks for it, at the view's aim point.
void OrderMarker(const TFView* view) {
    if (view->markerTick != FrameCounter) return;
    host::GfxSurface* marker = view->renderFlag ? view->crosshairComb : view->crosshair;
    static const uint8_t kOpaqueWhite[4] = {255, 255, 255, 255};
    if (!view->insideView) {
        DrawSpriteAt(marker, view->aimPoint, kOpaqueWhite);
        return;
    }
    const FixVec p = {view->aimPoint[0], view->aimPoint[1], view->aimPoint[2]};
    ScreenPointF at;
    if (ProjectWorldPoint(&at, &p))
        DrawSprite2D(marker, static_cast<int32_t>(at.x), static_cast<int32_t>(at.y), kOpaqueWhite);
}

// Leaves the device as the overlay promises: fog and blending off, no texture on stage 0.
void Finish() {
    SetRS(RenderState::FogEnable, 0);
    BlendEnable(0);
    SetTex(nullptr);
}

}  // namespace

void DrawHUD(TFView* view) {
    SetRS(RenderState::FogEnable, 0);
    if (view) {
        if (view->panels[kLargeMap]) {
            DrawRadarMap(view);
            return Finish();
        }
        if (view->panels[kArchiveMap]) {
            DrawMapPanel(view);
            return Finish();
        }
        if (view->panels[kStatusMap]) {
            DrawObjectivesPanel(view);
            return Finish();
        }
        if (PanelBits() & 1) DrawTaskForcePanel(view);
    }
    Clock();
    if (view && (PanelBits() & 2)) MapPanel(view);
    if (PlayerUnit && !SnapshotRendering) {
        DrawNavArrow(PlayerUnit);
        DrawTargetMarks(PlayerUnit);
    }
    if (view) DrawViewFrames(view);
    ControlModeLine(view);
    ActionPrompt();
    ActionProgress();
    Notices();
    if (view && PlayerCommMenu && PlayerCommMenu->open) DrawCommMenu(view, PlayerCommMenu);
    SelectionBox();
    if (view) OrderMarker(view);
    Finish();
}
