// The player's keys while he drives a unit: quick-save and quick-load, the empty trigger, the action key,
// the radiation click, navigation points, the chat line, the map pages and the pointing mode, leaving the
// unit, the outside camera, the extra view windows and the automatic target view, the view keys, the
// selection by unit and group keys with the comm menu, the map zoom, the cockpit panels and the
// countdowns to the notices' and the mission's end.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Keys.h"
#include "core/Rules.h"
#include "hud/MapSurfaces.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "hud/TFInput_local.h"
#include "hud/TacticalMap.h"
#include "objects/Cameras.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"
#include "world/WorldTick.h"

namespace {

using PK = PilotKey;
constexpr int Bit(PK key) { return static_cast<int>(key); }
constexpr int kFirstUnitBit = Bit(PK::UNIT1);

constexpr int32_t kRadiationReach = 500000;
constexpr int32_t kZoomThrough = 700;
constexpr int32_t kWreckViewTicks = 300;
constexpr uint32_t kNoWatchKlass = 0x1000000;  // units the automatic target view never watches
constexpr int kWatchKind = 5;
enum : int { kModeWreck = 7 };

uintptr_t Word(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

void LookReset(construct* con, PlayerCell* player) {
    CallIfAny(con, ItfcMethod::SETLOOK, Word(&player->unitNow));
}

void ViewThrough(construct* source, ItfcMethod method) {
    MainViewSource = source;
    CallIfAny(source, method, Word(MainViewPort));
}

int32_t Less(int32_t value, int ticks) {
    return value > ticks ? value - ticks : 0;
}

bool HasTurret(construct* con) {
    return con && static_cast<int32_t>(CallItfc(con, ItfcMethod::GETTURRETYAW)) != INT32_MIN;
}

// The SatCamera's mode for the construct it follows: 2 behind a turret, else 1.
void SatModeForFollowed() {
    SatCameraState st{};
    const bool turret = SatCamera && GetSatCameraState(SatCamera, &st) && HasTurret(st.followed);
    CallIfAny(SatCamera, ItfcMethod::SETMODE, turret ? 2 : 1);
}

// Opens one of the windows the player may ask for again after a watch window: 1 his unit from outside,
// 2 the outside camera, 3 the fixed camera.
void OpenRestoredWindow(int kind) {
    switch (kind) {
        case 1:
            OpenWatchView(PlayerUnit, ItfcMethod::VIEWOUTSIDE, 1, MainViewPort);
            break;
        case 2:
            OpenWatchView(SatCamera, ItfcMethod::VIEWINSIDE, 2, MainViewPort);
            CallIfAny(SatCamera, ItfcMethod::SETMODE, 1);
            break;
        case 3:
            OpenWatchView(StatCamera, ItfcMethod::VIEWINSIDE, 3, MainViewPort);
            break;
        default:
            break;
    }
}

// The watch window on the target, its camera attached to it and watching from the player's unit.
void OpenTargetWatch(construct* target) {
    if (!WatchCamera) return;
    // Already watched: the camera is not attached again (the automatic view asks every frame).
    ViewPort* windows[3];
    for (int i = ExtraWindows(windows) - 1; i >= 0; --i)
        if (windows[i]->follows == WatchCamera && windows[i]->cameraKind == kWatchKind &&
            windows[i]->overlayObject == target)
            return;
    if (!(WatchCamera->flags & kConBusy)) MakeBuzy(WatchCamera, 0);
    CallItfc(WatchCamera, ItfcMethod::ATTACH, Word(target));
    CallItfc(WatchCamera, ItfcMethod::SETWATCHVALUE, Word(PlayerUnit));
    OpenWatchViewWithOverlay(WatchCamera, ItfcMethod::VIEWINSIDE, kWatchKind, MainViewPort, target);
}

ViewPort* FirstExtraWindow() {
    ViewPort* windows[3];
    return ExtraWindows(windows) > 0 ? windows[0] : nullptr;
}

// Step 5: the action key on the action unit in reach, one step of progress per call.
void ActionKey(TFView* view, const KeyPair& keys, UnitShare* rec) {
    ActionActive = 0;
    const auto* state = reinterpret_cast<const StateRecord*>(CallItfc(PlayerUnit, ItfcMethod::GETSTATE));
    if (!(PlayerRestrictions & 0x80) || !state || state->structure < 1 || !keys.Held(Bit(PK::ACTION))) return;
    const bool press = keys.Pressed(Bit(PK::ACTION));
    AUDef* au = ActionTargetAU;
    bool allowed = false;
    for (int i = 0; au && rec && i < rec->actionAUCount; ++i) allowed = allowed || rec->actionAUs[i] == au;
    if (!au || !allowed || au->action == kActionDone) {
        if (press) PlayActionFailedSound();
        return;
    }
    ActionActive = 1;
    const int32_t start = au->actionValues[1], target = au->actionValues[2];
    int32_t& progress = au->actionValues[3];
    if (progress != target) {
        progress += target < start ? -1 : 1;
        ActionIndicator = -1;
    }
    if (progress != target) return;
    if (au->action == kActionUnitCapture && au->pool) {
        if (ConstructPool* captured = FindConstructPool("tobecaptured"))
            for (int k = 0; k < au->pool->count; ++k) RemoveFromConstructPool(captured, au->pool->constructs[k]);
        if (PlayerUnit->clan) BuildAUWaypointLists(PlayerUnit->clan);
        UpdateTFSelection(view);
    }
    au->action = kActionDone;
    ActionIndicator = 100;
    for (int k = 0; au->pool && k < au->pool->count; ++k) CallItfc(au->pool->constructs[k], ItfcMethod::SETMODE, 1);
}

// Step 6: captures left unfinished fall back toward their start.
void ActionDecay() {
    const AUDef* worked = ActionActive ? ActionTargetAU : nullptr;
    for (int i = 0; i < AUDefCount; ++i) {
        AUDef* au = AUDefTable[i];
        if (!au || au == worked || au->actionValues[0] == 0 || au->action != kActionObjectCapture) continue;
        const int32_t start = au->actionValues[1];
        int32_t& progress = au->actionValues[3];
        if (progress != start) progress += progress < start ? 1 : -1;
    }
}

void RadiationClick(int ticks) {
    if (!NearestRadioactive) return;
    RadiationClickTimer -= ticks;
    if (NearestRadioactiveDistance >= kRadiationReach || RadiationClickTimer >= 1) return;
    PlayRadiationSound();
    RadiationClickTimer = static_cast<int32_t>(RandomInRange(0.0f, static_cast<float>(NearestRadioactiveDistance >> 12)));
}

void NavPoints(const KeyPair& keys) {
    if (!RawKeyDown(kShiftKey)) return;
    ConstructPool* nav = FindConstructPool("nav");
    if (!nav) return;
    int at = -1;
    for (int i = 0; CurrentNavPoint && i < nav->count; ++i)
        if (nav->constructs[i] == CurrentNavPoint) at = i;
    if (keys.Pressed(Bit(PK::NEXTTARGET))) {
        const int next = at + 1;
        CurrentNavPoint = next < nav->count ? nav->constructs[next] : nullptr;
    } else if (keys.Pressed(Bit(PK::PREVTARGET))) {
        const int prev = at < 0 ? nav->count - 1 : at - 1;
        CurrentNavPoint = prev >= 0 ? nav->constructs[prev] : nullptr;
    }
}

// Steps 12 - 15: the map pages; true when one was open or has been opened (the call ends).
bool MapPages(TFView* view, const KeyPair& keys) {
    const bool archive = keys.Pressed(Bit(PK::TOGGLEARCHIVE)), status = keys.Pressed(Bit(PK::TOGGLESTATUS));
    const bool large = keys.Pressed(Bit(PK::TOGGLELMAP)), close = keys.Pressed(Bit(PK::CLOSE));
    const bool statusAllowed = status && !RecordReplayActive;
    if (view->panels[kArchiveMap]) {
        const bool up = RawKeyDown(kPageUpKey), down = RawKeyDown(kPageDownKey);
        if (up && view->archiveLatch && view->archiveIndex >= 0) {
            view->archiveLatch = 0;
            if (view->archiveIndex < MessageArchiveCount - 1) ++view->archiveIndex;
        } else if (down && view->archiveLatch && view->archiveIndex >= 0) {
            view->archiveLatch = 0;
            if (view->archiveIndex > 0) --view->archiveIndex;
        }
        if (archive || close) {
            CloseArchiveMap(view);
        } else if (statusAllowed) {
            CloseArchiveMap(view);
            OpenStatusMap(view);
        } else if (large) {
            CloseArchiveMap(view);
            OpenLargeMap(view);
        }
        if (!up && !down) view->archiveLatch = 1;
        return true;
    }
    if (view->panels[kStatusMap]) {
        if (status || close) {
            CloseStatusMap(view);
        } else if (archive) {
            CloseStatusMap(view);
            OpenArchiveMap(view);
        } else if (large) {
            CloseStatusMap(view);
            OpenLargeMap(view);
        }
        return true;
    }
    if (view->panels[kLargeMap]) {
        if (large || close) {
            CloseLargeMap(view);
        } else if (archive) {
            CloseLargeMap(view);
            OpenArchiveMap(view);
        } else if (statusAllowed) {
            CloseLargeMap(view);
            OpenStatusMap(view);
        }
        return true;
    }
    if (archive) {
        OpenArchiveMap(view);
        return true;
    }
    if (statusAllowed) {
        OpenStatusMap(view);
        return true;
    }
    if (large) {
        OpenLargeMap(view);
        return true;
    }
    return false;
}

// Step 18 of a cockpit-only level whose player unit is gone: the outside camera circles the wreck, then
// the player takes the first member.
void WreckView(TFView* view, PlayerCell* player, const KeyPair& keys, int ticks) {
    if (MainViewSource == SatCamera && SatCamera && CallItfc(SatCamera, ItfcMethod::GETMODE) == kModeWreck) {
        for (ControlInput* in : {&player->unitBefore, &player->unitNow})
            in->axes[3] = static_cast<int16_t>(in->axes[3] + ticks * 6);
        SatCameraState st{};
        GetSatCameraState(SatCamera, &st);
        if ((st.modeTicks > kWreckViewTicks || keys.Held(Bit(PK::TOGGLEMODE))) && view->members &&
            view->members->count > 0) {
            EnterUnitView(view, view->members->constructs[0], 1);
            view->leaveLatch = 1;
        }
        return;
    }
    MainViewSource = SatCamera;
    CallIfAny(SatCamera, ItfcMethod::SETMODE, kModeWreck);
    LookReset(SatCamera, player);
    CallIfAny(SatCamera, ItfcMethod::VIEWINSIDE, Word(MainViewPort));
    while (DetachLastExtraWindow()) {
    }
}

// Step 19: zooming the outside camera into the cockpit, and out of it.
void ZoomThroughCockpit(TFView* view, PlayerCell* player) {
    SatCameraState st{};
    if (!SatCamera || !GetSatCameraState(SatCamera, &st)) return;
    if (MainViewSource == SatCamera && st.distance <= st.minDistance && st.zoomSpeed > kZoomThrough) {
        ViewThrough(PlayerUnit, ItfcMethod::VIEWINSIDE);
        CallItfc(SatCamera, ItfcMethod::SETMODE, 0);
        preferred_view = 0;
    } else if (MainViewSource == PlayerUnit && st.zoomSpeed < -kZoomThrough) {
        MainViewSource = SatCamera;
        SetSatCameraDistance(SatCamera, st.minDistance);
        LookReset(SatCamera, player);
        OutsideCameraHeading(view);
        CallItfc(SatCamera, ItfcMethod::VIEWINSIDE, Word(MainViewPort));
    }
}

// Steps 21 - 24: the extra windows by hand and the automatic target view.
void ExtraWindowKeys(TFView* view, const KeyPair& keys) {
    bool watchClosed = false;
    if (keys.Pressed(Bit(PK::TOGGLEEXTERN))) {
        ViewPort* windows[3];
        const int n = ExtraWindows(windows);
        for (int i = n - 1; i >= 0; --i) {
            ViewPort* vp = windows[i];
            if (!vp->follows) continue;
            const int kind = vp->cameraKind;
            view->closedWatchTarget = vp->overlayObject;
            DetachViewPort(vp);
            if (kind == kWatchKind && PlayerUnit) {
                watchClosed = true;
                OpenRestoredWindow(view->restoreViewKind);
            }
            break;
        }
    }
    construct* lock = PlayerUnit ? GetUnitLockTarget(PlayerUnit) : nullptr;
    const bool watchable = lock && !(KlassOf(lock) & kNoWatchKlass);
    if (auto_target_view && watchable && lock != view->closedWatchTarget && (FrameCounter & 0x20)) {
        ViewPort* first = FirstExtraWindow();
        const int kind = first && first->follows ? first->cameraKind : -1;
        OpenTargetWatch(lock);
        view->closedWatchTarget = nullptr;
        if (kind != kWatchKind) view->restoreViewKind = kind;
    }
    if (keys.Pressed(Bit(PK::TOGGLEEXTERN)) && lock) {
        if (lock == view->closedWatchTarget) {
            if (!auto_target_view || !watchable || !watchClosed) view->closedWatchTarget = nullptr;
        } else {
            OpenTargetWatch(lock);
            view->closedWatchTarget = nullptr;
            view->restoreViewKind = -1;
        }
    }
    ViewPort* first = FirstExtraWindow();
    if (first && first->follows && first->cameraKind == kWatchKind && first->overlayObject != lock) {
        DetachViewPort(first);
        if (PlayerUnit) OpenRestoredWindow(view->restoreViewKind);
    }
}

// The watch target shown in extra window 0 counts as closed by hand when another window replaces it.
void NoteWatchTarget(TFView* view) {
    ViewPort* first = FirstExtraWindow();
    if (first && first->follows && first->overlayObject) view->closedWatchTarget = first->overlayObject;
}

void ToggleFreeTorsoLook(TFView* view) {
    int32_t angles[3];
    AnglesFromMatrix(angles, reinterpret_cast<const FixMatrix*>(PlayerUnit->orient));
    free_torso_look = !free_torso_look;
    view->lookYaw += free_torso_look ? angles[2] : -angles[2];
    const Rule* rule = FindRule(free_torso_look ? "EnableFreeTorsoLook_text" : "DisableFreeTorsoLook_text");
    SetViewNotice(rule && rule->info[0] ? rule->info[0] : "", 100);
}

// Steps 25 - 26: the view keys.
void ViewKeys(TFView* view, PlayerCell* player, const KeyPair& keys) {
    if (keys.Held(Bit(PK::VIEWMODEMOD))) {
        if (keys.Pressed(Bit(PK::VIEWMODE2))) {
            NoteWatchTarget(view);
            OpenWatchView(PlayerUnit, ItfcMethod::VIEWOUTSIDE, 1, MainViewPort);
        }
        if (keys.Pressed(Bit(PK::VIEWMODE3))) {
            NoteWatchTarget(view);
            OpenWatchView(SatCamera, ItfcMethod::VIEWINSIDE, 2, MainViewPort);
            SatModeForFollowed();
        }
        if (keys.Pressed(Bit(PK::VIEWMODE4))) {
            NoteWatchTarget(view);
            OpenWatchView(StatCamera, ItfcMethod::VIEWINSIDE, 3, MainViewPort);
        }
        if (!ChatInputActive && view->members) {
            const int n = view->members->count < 15 ? view->members->count : 15;
            for (int i = 0; i < n; ++i) {
                construct* member = view->members->constructs[i];
                if (member != PlayerUnit && keys.Held(UnitKeyBit(kFirstUnitBit, i)))
                    OpenWatchView(member, ItfcMethod::VIEWINSIDE, 4, MainViewPort);
            }
        }
        return;
    }
    const bool busy = (PlayerUnit->flags & kConBusy) != 0;
    if (keys.Pressed(Bit(PK::VIEWMODE1))) {
        if (busy) {
            ViewThrough(PlayerUnit, ItfcMethod::VIEWINSIDE);
            CallIfAny(SatCamera, ItfcMethod::SETMODE, 0);
        }
        preferred_view = 0;
    }
    if (keys.Pressed(Bit(PK::VIEWMODE2))) {
        if (busy) ViewThrough(PlayerUnit, ItfcMethod::VIEWOUTSIDE);
        preferred_view = 1;
    }
    if (keys.Pressed(Bit(PK::VIEWMODE3)) && SatCamera) {
        if (MainViewSource == SatCamera) {
            if (HasTurret(PlayerUnit) && CallItfc(SatCamera, ItfcMethod::GETMODE) == 2) ToggleFreeTorsoLook(view);
            CallItfc(SatCamera, ItfcMethod::SETMODE, HasTurret(PlayerUnit) ? 2 : 1);
        } else {
            MainViewSource = SatCamera;
            OutsideCameraHeading(view);
        }
        LookReset(SatCamera, player);
        CallItfc(SatCamera, ItfcMethod::VIEWINSIDE, Word(MainViewPort));
        preferred_view = 2;
    }
    if (keys.Pressed(Bit(PK::VIEWMODE4)) && StatCamera) {
        ViewThrough(StatCamera, ItfcMethod::VIEWINSIDE);
        preferred_view = 3;
    }
}

// Step 28: the unit and group keys select members and open the comm menu.
void UnitAndGroupKeys(TFView* view, CommMenu* menu, const KeyPair& keys) {
    if (ChatInputActive || !view->members) return;
    const int n = view->members->count < 15 ? view->members->count : 15;
    for (int i = 0; i < n; ++i) {
        construct* member = view->members->constructs[i];
        if (member == PlayerUnit) continue;
        const SelectionKeys bits{UnitKeyBit(kFirstUnitBit, member->bytes2[0]), Bit(PK::ALLUNITS),
                                   Bit(PK::ADDRECIPIENT), true};
        if (MemberSelectionKeys(view, menu, keys, member, bits)) return;
    }
    const bool adding = keys.Held(Bit(PK::ADDRECIPIENT));
    for (int g = 1; g <= 4 && g < view->groupCount; ++g) {
        const int bit = Bit(PK::GROUP1) + g - 1;
        ConstructPool* group = view->groups[g];
        if (keys.Pressed(bit))
            for (int k = 0; k < group->count; ++k) group->constructs[k]->flags |= kConSelected;
        if ((PlayerRestrictions & 0x08) && keys.Released(bit)) {
            if (!(adding && menu->open)) menu->recipients->count = 0;
            for (int k = 0; k < group->count; ++k) {
                construct* con = group->constructs[k];
                if (con != PlayerUnit && !IsInConstructPool(con, menu->recipients))
                    AppendToConstructPoolIfRoom(menu->recipients, con);
            }
            if (menu->recipients->count > 0) {
                menu->focus = menu->recipients->constructs[0];
                OpenCommMenu(menu);
            }
        }
    }
}

void Countdowns(int ticks) {
    if (ticks <= 0) return;
    UpdateMissionCountdowns(ticks);
    LoadedNoticeTicks = Less(LoadedNoticeTicks, ticks);
    SavedNoticeTicks = Less(SavedNoticeTicks, ticks);
    for (int k = 0; NetEndCountdowns && k < 2; ++k) NetEndCountdowns[k] = Less(NetEndCountdowns[k], ticks);
}

}  // namespace

void PlayerViewInput(TFView* view, PlayerCell* player, int ticks) {
    if (!view || !player || !PlayerUnit || !PlayerCommMenu) {
        Countdowns(ticks);
        return;
    }
    CommMenu* menu = PlayerCommMenu;
    const KeyPair keys{player->unitBefore, player->unitNow};

    // 1 - 3.
    view->tacticalMap = 0;
    UnitShare* rec = GetUnitShare(PlayerUnit);
    if (keys.Pressed(Bit(PK::QUICKSAVE)) && !WinCountdown && !LoseCountdown && !MissionLost && !MissionWon)
        return GameFileCommandHook("quicksave", 7);
    if (keys.Pressed(Bit(PK::QUICKLOAD))) return GameFileCommandHook("quicksave", 9);

    // 4 - 10.
    if (keys.Pressed(Bit(PK::FIRE1)) && GetUnitAmmo(PlayerUnit, 0) == 0) PlayTriggerClickSound();
    if (keys.Pressed(Bit(PK::FIRE2)) && GetUnitAmmo(PlayerUnit, 1) == 0) PlayTriggerClickSound();
    ActionKey(view, keys, rec);
    ActionDecay();
    RadiationClick(ticks);
    NavPoints(keys);
    if (MultiplayerOn && RawKeyDown(kTKey) && !ChatInputActive && ChatLineSender)
        BeginChatInput(ChatLineSender, "say:", 0);
    if (view->panelTimer > 0) view->panelTimer = Less(view->panelTimer, ticks);

    // 11 - 15: the pointing mode and the map pages hold every other key.
    if (view->pointing) return MapPointingStep(view, menu, ticks);
    if (MapPages(view, keys)) return;

    // 16. Out of the unit for the tactical map.
    if (!LevelCockpitOnly && (PlayerRestrictions & 0x04) && keys.Pressed(Bit(PK::TOGGLEMODE)) && !view->leaveLatch &&
        !MultiplayerOn) {
        LastPlayerUnit = PlayerUnit;
        LeaveUnitView(view);
        view->leaveLatch = 1;
        return;
    }

    // 17 - 18: the outside camera's flight ended; the unit gone.
    HandBackOutsideCamera(player);
    if (!(PlayerUnit->flags & kConBusy)) {
        LastPlayerUnit = nullptr;
        if (!LevelCockpitOnly) return LeaveUnitView(view);
        // Nothing else of the unit is handled; the countdowns still run, so that a lost mission ends.
        WreckView(view, player, keys, ticks);
        return Countdowns(ticks);
    }

    // 19 - 20.
    ZoomThroughCockpit(view, player);
    if (!keys.Held(Bit(PK::TOGGLEMODE))) view->leaveLatch = 0;

    // 21 - 26: the windows and the views.
    ExtraWindowKeys(view, keys);
    ViewKeys(view, player, keys);

    // 27 - 28: the comm menu and the selection.
    bool menuHolds = false;
    if (!keys.Held(Bit(PK::VIEWMODEMOD))) {
        if (menu->open && !ChatInputActive && !keys.Held(Bit(PK::ADDRECIPIENT))) {
            if (CommMenuEntryKeys(view, menu, keys, kFirstUnitBit, ticks)) return;
            menuHolds = menu->open && !keys.Held(Bit(PK::ADDRECIPIENT));
        }
        if (!menuHolds) UnitAndGroupKeys(view, menu, keys);
    }

    // 29 - 32.
    if (keys.Held(Bit(PK::MAPZOOMIN))) view->mapZoom = std::max(kMinMapZoom, view->mapZoom - 100 * ticks);
    if (keys.Held(Bit(PK::MAPZOOMOUT))) view->mapZoom = std::min(kMaxMapZoom, view->mapZoom + 100 * ticks);
    if ((PlayerRestrictions & 0x10) && keys.Pressed(Bit(PK::TOGGLETFVIEW))) {
        CockpitPanels ^= 1;
        if (CockpitPanels & 1) view->tfPanelTimer = 200;
    }
    if ((PlayerRestrictions & 0x20) && keys.Pressed(Bit(PK::TOGGLEMAPVIEW))) CockpitPanels ^= 2;
    if (keys.Pressed(Bit(PK::CLOSE))) CloseCommMenu(view, menu);
    Countdowns(ticks);
}
