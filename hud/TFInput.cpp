// What the tactical map and the player's view share of their key handling: the comm menu's entry keys,
// the unit-key selection, the pointing mode on the large map, the extra view windows and the outside
// camera's heading; the state both keep from call to call.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Keys.h"
#include "core/Rules.h"
#include "hud/MapSurfaces.h"
#include "hud/MousePtr.h"
#include "hud/TFInput_local.h"
#include "hud/TacticalMap.h"
#include "objects/Cameras.h"
#include "platform/Dxgl.h"
#include "platform/ScreenVertex.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "world/WorldTick.h"

int32_t WayPointerSet = 0;
int32_t RotateDrag = 0, RotateDragStart[2] = {0, 0};
int32_t ZoomDrag = 0, ZoomDragStart[2] = {0, 0};
int32_t MapBoxArmed = 0, MapBoxStart[2] = {0, 0};
int32_t MapBoxActive = 0;
int32_t MapBoxCorners[4][3] = {};
int32_t PointConfirmLatch = 0, PointCancelLatch = 0;
uint32_t UnitKeyPressTick = 0;

construct* LastPlayerUnit = nullptr;
int32_t ActionActive = 0;
int32_t ActionIndicator = 0;
int32_t RadiationClickTimer = 0;
construct* CurrentNavPoint = nullptr;
void (*ChatLineSender)(const char* text, intptr_t user) = nullptr;
int32_t* NetEndCountdowns = nullptr;

namespace {

constexpr int32_t kThreeQuarterTurn = 308830;
constexpr int32_t kNoTurret = INT32_MIN;
constexpr int32_t kLongPressTicks = 50;
constexpr int kMaxExtraWindows = 3;

void SelectMember(construct* con) {
    con->flags |= kConSelected;
}

void ClearSelected(TFView* view) {
    if (!view->members) return;
    for (int i = 0; i < view->members->count; ++i) view->members->constructs[i]->flags &= ~kConSelected;
}

}  // namespace

bool RawKeyDown(int code) {
    return KeyStateByte(code) != 0;
}

void ResetPlayerInputState() {
    WayPointerSet = RotateDrag = ZoomDrag = MapBoxArmed = MapBoxActive = 0;
    PointConfirmLatch = PointCancelLatch = 0;
    UnitKeyPressTick = 0;
    LastPlayerUnit = nullptr;
    ActionActive = ActionIndicator = RadiationClickTimer = 0;
    CurrentNavPoint = nullptr;
}

bool CommMenuEntryKeys(TFView* view, CommMenu* menu, const KeyPair& keys, int firstUnitBit, int ticks) {
    for (int i = 0; i < menu->entryCount; ++i) {
        const int bit = UnitKeyBit(firstUnitBit, i);
        if (bit < 0) break;
        if (keys.Pressed(bit)) menu->pressLatch = 1;
        if (keys.Held(bit) && menu->pressLatch) menu->highlighted = i;
        if (keys.Released(bit) && menu->pressLatch) {
            menu->pressLatch = 0;
            ExecuteTFCommand(view, menu, i);
            return true;
        }
    }
    menu->timeout -= ticks;
    if (menu->timeout < 0) CloseCommMenu(view, menu);
    return false;
}

bool MemberSelectionKeys(TFView* view, CommMenu* menu, const KeyPair& keys, construct* member,
                         const SelectionKeys& bits) {
    const bool adding = keys.Held(bits.addRecipientBit);
    if (keys.Pressed(bits.unitBit)) {
        UnitKeyPressTick = FrameCounter;
        view->selectionLatch = 1;
        if (!adding) ClearSelected(view);
        menu->focus = member;
        ConstructPool* group = FindTFGroupOfUnit(view, member);
        if (!group || group == view->groups[0]) {
            SelectMember(member);
        } else {
            for (int k = 0; k < group->count; ++k) SelectMember(group->constructs[k]);
        }
    } else if (keys.Pressed(bits.allUnitsBit)) {
        SelectMember(member);
        view->selectionLatch = 1;
    }
    if ((PlayerRestrictions & 0x08) && view->selectionLatch &&
        (keys.Released(bits.unitBit) || keys.Released(bits.allUnitsBit))) {
        view->selectionLatch = 0;
        if (!(adding && menu->open)) menu->recipients->count = 0;
        for (int k = 0; k < view->members->count; ++k) {
            construct* con = view->members->constructs[k];
            if ((con->flags & kConSelected) && !IsInConstructPool(con, menu->recipients))
                AppendToConstructPoolIfRoom(menu->recipients, con);
        }
        OpenCommMenu(menu);
    }
    if (bits.jumpAllowed && keys.Held(bits.unitBit) && view->selectionLatch &&
        FrameCounter - UnitKeyPressTick > static_cast<uint32_t>(kLongPressTicks)) {
        view->selectionLatch = 0;
        if (member->flags & kConInputDriven) {
            for (int k = 0; k < view->members->count; ++k)
                view->members->constructs[k]->flags &= ~(kConHighlighted | kConSelected);
            EnterUnitView(view, member, 1);
            CloseCommMenu(view, menu);
            view->leaveLatch = 1;
            return true;
        }
    }
    return false;
}

int ExtraWindows(ViewPort* out[3]) {
    int n = 0;
    for (int i = 0; i < ViewPortCount && n < kMaxExtraWindows; ++i)
        if (ViewPortTable[i] && ViewPortTable[i] != MainViewPort) out[n++] = ViewPortTable[i];
    return n;
}

ViewPort* DetachLastExtraWindow() {
    ViewPort* windows[kMaxExtraWindows];
    for (int i = ExtraWindows(windows) - 1; i >= 0; --i)
        if (windows[i]->follows) {
            DetachViewPort(windows[i]);
            return windows[i];
        }
    return nullptr;
}

ViewPort* OpenWatchViewWithOverlay(construct* con, ItfcMethod method, int kind, ViewPort* share,
                                   construct* target) {
    if (!con) return nullptr;
    ViewPort* windows[kMaxExtraWindows];
    const int n = ExtraWindows(windows);
    for (int i = 0; i < n; ++i)
        if (windows[i]->follows == con && windows[i]->cameraKind == kind && windows[i]->overlayObject == target)
            return nullptr;
    // Every window busy: the last one gives way to the new view.
    ViewPort* free = nullptr;
    for (int i = 0; i < n && !free; ++i)
        if (!windows[i]->follows) free = windows[i];
    if (!free) DetachLastExtraWindow();
    for (int i = 0; i < n && !free; ++i)
        if (!windows[i]->follows) free = windows[i];
    if (!free) return nullptr;
    if (!TopTileFieldPresent && ExtViewPort_reflection[0]) NamedReflectionType(ExtViewPort_reflection);
    SetViewPortScape(free, share != nullptr, nullptr, ExtViewPort_DepthOfView, con, target,
                     static_cast<int>(method));
    const Rule* lod = NamedRule(ExtViewPort_ScapeDetail);
    const Rule* morph = NamedRule(ExtViewPort_MirroredScapeDetail);
    SetViewPortLOD(free, lod->count >= 4 ? lod->values : nullptr, morph->count >= 4 ? morph->values : nullptr);
    free->cameraKind = static_cast<uint8_t>(kind);
    free->fade = 15;
    return free;
}

ViewPort* OpenWatchView(construct* con, ItfcMethod method, int kind, ViewPort* share) {
    return OpenWatchViewWithOverlay(con, method, kind, share, nullptr);
}

void OutsideCameraHeading(TFView* view) {
    SatCameraState st{};
    if (!SatCamera || !GetSatCameraState(SatCamera, &st) || !st.followed) return;
    const bool turret = static_cast<int32_t>(CallItfc(st.followed, ItfcMethod::GETTURRETYAW)) != kNoTurret;
    const int32_t* dir = turret && view ? view->aimDir : &st.followed->orient[6];
    SetSatCameraHeading(SatCamera, kThreeQuarterTurn - FixAtan2(dir[0], dir[2]));
    CallItfc(SatCamera, ItfcMethod::SETMODE, turret ? 2 : 1);
}

void MapPagePoint(int32_t x, int32_t y, int32_t point[3]) {
    const int32_t tiles = CurrentMatrix ? CurrentMatrix->width : 0;
    const double span = static_cast<double>(tiles) * 65536.0;
    const double h = SurfaceHeight > 0 ? static_cast<double>(SurfaceHeight) : 1.0;
    // The page is a square of the surface's height: a pointer beside it (a wide screen) would name a
    // point off the map, so the point is held on the terrain.
    auto along = [&](int32_t v) {
        const double p = (1.0 - v / h) * span;
        return static_cast<int32_t>(std::clamp(p, 0.0, std::max(0.0, span - 1.0)));
    };
    point[0] = along(x);
    point[2] = along(y);
    point[1] = CurrentMatrix ? InterpGroundHeight(CurrentMatrix, point, nullptr) : 0;
}

void MapPointingStep(TFView* view, CommMenu* menu, int ticks) {
    if (RawKeyDown(kUpKey)) SetMousePtrY(GetMousePtrY() + ticks);
    if (RawKeyDown(kDownKey)) SetMousePtrY(GetMousePtrY() - ticks);
    if (RawKeyDown(kLeftKey)) SetMousePtrX(GetMousePtrX() - ticks);
    if (RawKeyDown(kRightKey)) SetMousePtrX(GetMousePtrX() + ticks);
    const bool confirm = RawKeyDown(kLButtonKey) || RawKeyDown(kReturnKey);
    const bool cancel = RawKeyDown(kSpaceKey) || RawKeyDown(kEscKey);
    if (PointConfirmLatch && !confirm) {
        CloseLargeMap(view);
        int32_t point[3];
        MapPagePoint(GetMousePtrX(), GetMousePtrY(), point);
        SendOrderToGroup(menu->recipients, point, view->orderKind);
        CloseCommMenu(view, menu);
        PointConfirmLatch = 0;
        return;
    }
    if (PointCancelLatch && !cancel) {
        CloseLargeMap(view);
        CloseCommMenu(view, menu);
        PointCancelLatch = 0;
        return;
    }
    PointConfirmLatch = confirm;
    PointCancelLatch = cancel;
}
