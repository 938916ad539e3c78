// The unit view: the player taking a unit's cockpit and leaving it for the tactical map, the outside
// camera handing the view back when its flight ends, and the servicing of units at reload points.
#include <climits>
#include <cstring>
#include <initializer_list>

#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "hud/MousePtr.h"
#include "hud/TFView_local.h"
#include "hud/UnitMarks.h"
#include "hud/ViewInstruments.h"
#include "objects/Cameras.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "platform/ScreenVertex.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "world/WorldTick.h"

namespace {

enum : int32_t { kMsgManualOn = 150, kMsgManualOff = 151, kMsgManualSwitch = 152 };

constexpr int32_t kQuarterTurn = 102943;
constexpr int32_t kThreeQuarterTurn = 308830;
constexpr int32_t kNoTurret = INT32_MIN;
constexpr int kCentreTorsoKey = 21;
constexpr int kMemberCockpitKind = 4;  // extra view windows showing a member's cockpit stay open
constexpr int32_t kServiceTicks = 100;
constexpr int32_t kServiceReach = 20000;
constexpr int32_t kServiceStep = 10;

// The camera takes the main view's camera position and orientation, so that its flight starts where the
// main view stands (nothing before the main view has been drawn once).
void TakeMainViewCamera(construct* cam) {
    if (!cam || !MainViewPort) return;
    const FixMatrix& m = MainViewPort->view;
    bool drawn = false;
    for (int32_t v : m.m) drawn = drawn || v != 0;
    if (!drawn) return;
    cam->pos[0] = MainViewPort->cameraPos.x;
    cam->pos[1] = MainViewPort->cameraPos.y;
    cam->pos[2] = MainViewPort->cameraPos.z;
    std::memcpy(cam->orient, m.m, sizeof cam->orient);
}

// Busy-pool changes while the pools are walked wait for the deferred events.
void MakeBusy(construct* con) {
    if (!con || (con->flags & kConBusy)) return;
    if (BuzyGuard)
        CreateQZEvent(QZEventKind::Buzy0, con);
    else
        MakeBuzy(con, 0);
}

void MakeIdle(construct* con) {
    if (!con || !(con->flags & kConBusy)) return;
    if (BuzyGuard)
        CreateQZEvent(QZEventKind::UnBuzy, con);
    else
        UnMakeBuzy(con);
}

// Flagged highlighted and, when not there yet, appended to the pool "highlighted" while it has room.
void Highlight(construct* con) {
    ConstructPool* highlighted = FindConstructPool("highlighted");
    if (!highlighted) return;
    if (IsInConstructPool(con, highlighted)) {
        con->flags |= kConHighlighted;
    } else if (highlighted->count < highlighted->capacity) {
        con->flags |= kConHighlighted;
        AppendToConstructPool(highlighted, con);
    }
}

void UnflagMembers(TFView* view) {
    if (!view || !view->members) return;
    for (int i = 0; i < view->members->count; ++i) view->members->constructs[i]->flags &= ~kConHighlighted;
}

// The heading of the outside camera behind a unit: along its turret's aim when it has a turret (mode
// 2), else along its forward axis (mode 1).
void CameraHeading(TFView* view, construct* unit) {
    if (!SatCamera || !unit) return;
    const bool turret = static_cast<int32_t>(CallItfc(unit, ItfcMethod::GETTURRETYAW)) != kNoTurret;
    const int32_t* dir = turret && view ? view->aimDir : &unit->orient[6];
    SetSatCameraHeading(SatCamera, kThreeQuarterTurn - FixAtan2(dir[0], dir[2]));
    CallItfc(SatCamera, ItfcMethod::SETMODE, turret ? 2 : 1);
}

}  // namespace

void EnterUnitView(TFView* view, construct* unit, int announce) {
    if (!unit) return;
    if (WayPointer) DeactivateConstruct(WayPointer);
    if (OwnPlayer) {
        ClearInput(&OwnPlayer->unitBefore);
        ClearInput(&OwnPlayer->unitNow);
    }
    construct* old = PlayerUnit;
    if (old) {
        SetUnitAimPoint(old, nullptr, 0);
        CallItfc(old, ItfcMethod::PLAYERLEAVE);
        FlushQZEvents();
        FreeCrosshairs(old);
    }
    ClearHighlighted();
    UnflagMembers(view);
    PlayerUnit = unit;
    if (RecordedConstruct && RecordedConstruct != unit) RecordedConstruct = nullptr;
    SetInputConstruct(unit, OwnPlayer);
    if (announce) PostUnitMessage(unit->clan, old ? kMsgManualSwitch : kMsgManualOn, 0, unit, old);

    // A fire key held while entering fires only after it was released: it is disarmed until then.
    if (OwnPlayer) {
        SampleUnitInput(OwnPlayer, 0);
        ControlInput& now = OwnPlayer->unitNow;
        int32_t* armed[2] = {&Fire1Armed, &Fire2Armed};
        ControlInput* seen[2] = {&Fire1Seen, &Fire2Seen};
        const int bits[2] = {kInputFire1, kInputFire2};
        const ControlInput sampled = now;
        for (int k = 0; k < 2; ++k) {
            if (!InputKeyDown(now, bits[k])) *armed[k] = 1;
            if (!*armed[k]) SetInputKey(&now, bits[k], false);
            // The fire gate hears the key as held already: no refusal sound for this press.
            *seen[k] = sampled;
        }
        CallItfc(unit, ItfcMethod::SETLOOK, reinterpret_cast<uintptr_t>(&now));
    }
    CallItfc(unit, ItfcMethod::PLAYERENTER);
    LoadCrosshairs(unit);
    GetWeaponName(unit);

    MakeBusy(StatCamera);
    CallIfAny(StatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(unit));
    if (SatCamera) {
        TakeMainViewCamera(SatCamera);
        CallItfc(SatCamera, ItfcMethod::VIEWINSIDE, reinterpret_cast<uintptr_t>(MainViewPort));
        CallItfc(SatCamera, preferred_view == 2 ? ItfcMethod::FOLLOWUNIT : ItfcMethod::FOLLOWTOGGLE,
                 reinterpret_cast<uintptr_t>(unit));
    }
    MainViewSource = SatCamera;
    SwitchCameraObjects(unit);

    if (view) {
        int32_t angles[3];
        AnglesFromMatrix(angles, reinterpret_cast<const FixMatrix*>(unit->orient));
        const bool follows = MainViewPort && MainViewPort->follows == unit;
        view->lookYaw = free_torso_look && !follows ? angles[2] : 0;
        view->lookPitch = kQuarterTurn - angles[1];
    }
    CallItfc(unit, ItfcMethod::MANUALCONTROL, 0);
    if (MainViewPort) ActivateViewPort(MainViewPort);
    HideMousePtr();
    SetMousePtrClip(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    if ((unit->flags & kConCentreTorso) && OwnPlayer) SetInputKey(&OwnPlayer->unitNow, kCentreTorsoKey, true);
}

void LeaveUnitView(TFView* view) {
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (vp != MainViewPort && vp->follows && vp->cameraKind != kMemberCockpitKind) DetachViewPort(vp);
    }
    UnflagMembers(view);
    construct* unit = PlayerUnit;
    if (unit) {
        SetUnitAimPoint(unit, nullptr, 0);
        if (RecordReplayActive) SetUnitAimPoint(unit, nullptr, 0);
        PostUnitMessage(unit->clan, kMsgManualOff, 0, unit, nullptr);
    } else if (view && view->members && view->members->count > 0) {
        unit = view->members->constructs[0];
    }
    if (unit) {
        CallIfAny(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(unit));
        ConstructPool* group = view ? FindTFGroupOfUnit(view, unit) : nullptr;
        if (!group || group == view->groups[0]) {
            Highlight(unit);
        } else {
            for (int i = 0; i < group->count; ++i) Highlight(group->constructs[i]);
        }
        CallItfc(unit, ItfcMethod::PLAYERLEAVE);
        FlushQZEvents();
        FreeCrosshairs(unit);
        SetInputConstruct(unit, nullptr);
    }
    if (LevelCockpitOnly)
        HideMousePtr();
    else
        ShowMousePtr();
    SetMousePtrClip(-6, -6, ScreenWidth + 6, ScreenHeight + 6);

    for (construct* cam : {StatCamera, WatchCamera}) {
        CallIfAny(cam, ItfcMethod::ATTACH, 0);
        MakeIdle(cam);
    }
    SwitchCameraObjects(nullptr);

    if (SatCamera) {
        TakeMainViewCamera(SatCamera);
        CallItfc(SatCamera, ItfcMethod::VIEWINSIDE, reinterpret_cast<uintptr_t>(MainViewPort));
        CallItfc(SatCamera, ItfcMethod::SETMODE, 0);
        if (unit && SatCameraTargetCount(SatCamera) > 0)
            SetSatCameraHeading(SatCamera, kThreeQuarterTurn - FixAtan2(unit->orient[6], unit->orient[8]));
        CallItfc(SatCamera, ItfcMethod::FRAMETARGETS, 1);
    }
    MainViewSource = SatCamera;
    PlayerUnit = nullptr;
    SetMousePtrPos(ScreenWidth / 2, ScreenHeight / 2);
    if (OwnPlayer) {
        ClearInput(&OwnPlayer->mapBefore);
        ClearInput(&OwnPlayer->mapNow);
    }
    Fire1Armed = Fire2Armed = 0;
}

void HandBackOutsideCamera(PlayerCell* player) {
    if (!SatCamera || !PlayerUnit || MainViewSource != SatCamera) return;
    if (CallItfc(SatCamera, ItfcMethod::GETMODE) != 6) return;
    const uintptr_t look = player ? reinterpret_cast<uintptr_t>(&player->unitNow) : 0;
    const uintptr_t main = reinterpret_cast<uintptr_t>(MainViewPort);
    switch (preferred_view) {
        case 0:
        case 1:
            MainViewSource = PlayerUnit;
            CallItfc(PlayerUnit, preferred_view == 0 ? ItfcMethod::VIEWINSIDE : ItfcMethod::VIEWOUTSIDE,
                     main);
            CallItfc(SatCamera, ItfcMethod::SETMODE, 0);
            CallItfc(SatCamera, ItfcMethod::SETLOOK, look);
            break;
        case 2:
            CallItfc(SatCamera, ItfcMethod::SETLOOK, look);
            CameraHeading(PlayerTFView, PlayerUnit);
            break;
        case 3:
            if (!StatCamera) break;
            MainViewSource = StatCamera;
            CallItfc(StatCamera, ItfcMethod::VIEWINSIDE, main);
            CallItfc(SatCamera, ItfcMethod::SETMODE, 0);
            CallItfc(SatCamera, ItfcMethod::SETLOOK, look);
            break;
        default:
            break;
    }
}

void UpdateStandStillTimer(int ticks) {
    construct* unit = ReloadUnit;
    UnitShare* rec = unit ? GetUnitShare(unit) : nullptr;
    if (!rec) return;
    rec->serviceTimer -= ticks;
    auto* state = reinterpret_cast<StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE));
    const auto* maxima = reinterpret_cast<const MaximaRecord*>(CallItfc(unit, ItfcMethod::GETMAXIMA));
    if (!state || !maxima) return;
    int32_t* values[3] = {&state->shield, &state->structure, &state->energy};
    const int32_t limits[3] = {maxima->shield, maxima->structure, maxima->energy};
    bool full = true;
    for (int k = 0; k < 3; ++k) full = full && *values[k] == limits[k];
    if (full) rec->serviceTimer = kServiceTicks;
    if (ReloadUnitDistance >= kServiceReach || rec->serviceTimer >= 1) return;
    for (int k = 0; k < 3; ++k)
        if (*values[k] < limits[k])
            *values[k] = *values[k] + kServiceStep > limits[k] ? limits[k] : *values[k] + kServiceStep;
    rec->serviceTimer = kServiceTicks;
}
