// The tactical map: the commander's keys and mouse while the player drives no unit (picking and
// highlighting units, selection boxes, move destinations with the way pointer, the comm menu by keys and
// by the pointer, groups, the map pages, the outside camera steered, dragged and zoomed, the jump into a
// unit's cockpit), and the picking it is built on.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "ai/WayTree.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Keys.h"
#include "core/Rules.h"
#include "hud/MapSurfaces.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "hud/MousePtr.h"
#include "hud/TFInput_local.h"
#include "hud/TacticalMap.h"
#include "objects/Cameras.h"
#include "platform/Dxgl.h"
#include "platform/ScreenVertex.h"
#include "render/ConstructDraw.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "world/WorldTick.h"

namespace {

using CK = CommandoKey;
constexpr int Bit(CK key) { return static_cast<int>(key); }
constexpr int kFirstUnitBit = Bit(CK::UNIT1);

constexpr int32_t kThreeQuarterTurn = 308830;
constexpr int32_t kButtonStrip = 34;  // the strip left of a task button that turns the camera to its unit
constexpr int32_t kBoxThreshold = 20;
constexpr int32_t kCameraKeyStep = 300;
constexpr int kGroundSteps = 500;

enum Shape : int32_t {
    kShapeNormal = 0, kShapeLeft = 1, kShapeRight = 2, kShapeUp = 3, kShapeDown = 4, kShapeDragZoom = 5,
    kShapeDragRotate = 6, kShapeOffensive = 7,
};

void Steer(int32_t horizontal, int32_t vertical, int32_t inOut) {
    if (SatCamera) SteerSatCamera(SatCamera, horizontal, vertical, inOut);
}

// The heading along a forward vector (x, z), the steering stopped.
void FaceCameraAlong(int32_t x, int32_t z) {
    SetSatCameraHeading(SatCamera, kThreeQuarterTurn - FixAtan2(x, z));
    StopSatCameraSteering(SatCamera);
}

bool IsMember(const TFView* view, const construct* con) {
    return view->members && IsInConstructPool(con, view->members);
}

void HideWayPointer() {
    WayPointerSet = 0;
    if (WayPointer) DeactivateConstruct(WayPointer);
}

void EndDrag(int32_t* drag, const int32_t start[2]) {
    *drag = 0;
    SetMousePtrShape(kShapeNormal, 0, 0);
    SetMousePtrClip(-6, -6, SurfaceWidth + 6, SurfaceHeight + 6);
    SetMousePtrFlag();
    SetMousePtrPos(start[0], start[1]);
}

void StartDrag(int32_t* drag, int32_t start[2], int32_t x, int32_t y, int32_t shape) {
    *drag = 1;
    start[0] = x;
    start[1] = y;
    SetMousePtrShape(shape, -32, 32);
    SetMousePtrClip(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    ClearMousePtrFlag();
}

void MapZoomBy(TFView* view, int32_t change) {
    const int64_t z = static_cast<int64_t>(view->mapZoom) + change;
    view->mapZoom = static_cast<int32_t>(z < kMinMapZoom ? kMinMapZoom : z > kMaxMapZoom ? kMaxMapZoom : z);
}

// What the pointer is over in this frame: the steps after the panels and the menu leave it alone.
struct PointerOver {
    bool button = false;     // a task button with the select key
    bool taken = false;      // a task button with the rotate key
    bool mapPanel = false;   // the map panel
    bool menu = false;       // the comm menu
    bool edge = false;       // beyond a screen edge
};

// Step of the task-force panel; true when the frame's handling ends.
bool TaskPanel(TFView* view, CommMenu* menu, const KeyPair& keys, int32_t x, int32_t y, PointerOver* over) {
    if (!(PanelWord & 1) || x < ScreenWidth - view->tfPanelWidth - kButtonStrip || y < view->mapPanelSize)
        return false;
    for (int i = 0; i < view->buttonCount; ++i) {
        TaskButton* b = view->buttons[i];
        if (!b || !(b->left - kButtonStrip <= x && x < b->right && b->bottom <= y && y < b->top)) continue;
        construct* unit = b->unit;
        const bool strip = x < b->left;
        if (keys.Held(Bit(CK::SELECT)) || keys.HeldBefore(Bit(CK::SELECT))) over->button = true;
        if (keys.Pressed(Bit(CK::SELECT)) && unit) {
            if (strip) {
                CallIfAny(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(unit));
                if (SatCamera) {
                    FaceCameraAlong(unit->orient[6], unit->orient[8]);
                    CallItfc(SatCamera, ItfcMethod::FRAMETARGETS, 0);
                }
                return true;
            }
            if (b->kind == 0) {
                HighlightTFUnit(view, unit, keys.Held(Bit(CK::MODIFIER)), 0);
                if (!RawKeyDown(kShiftKey)) FrameHighlightedUnits(view);
                CloseCommMenu(view, menu);
            }
        }
        if (keys.Held(Bit(CK::ROTATE)) || keys.HeldBefore(Bit(CK::ROTATE))) over->taken = true;
        if (keys.Pressed(Bit(CK::ROTATE)) && unit && !strip && (PlayerRestrictions & 0x08)) {
            const bool modifier = keys.Held(Bit(CK::MODIFIER));
            menu->focus = unit;
            if (!(unit->flags & kConHighlighted) || modifier) {
                if (!modifier) CloseCommMenuKeepFocus(view, menu);
                ConstructPool* g = FindTFGroupOfUnit(view, unit);
                const bool grouped = g && g != view->groups[0];
                const int n = grouped ? g->count : 1;
                for (int k = 0; k < n; ++k) {
                    construct* con = grouped ? g->constructs[k] : unit;
                    con->flags |= kConSelected;
                    if (!IsInConstructPool(con, menu->recipients)) AppendToConstructPoolIfRoom(menu->recipients, con);
                }
            } else {
                CloseCommMenuKeepFocus(view, menu);
                for (int k = 0; view->members && k < view->members->count; ++k) {
                    construct* con = view->members->constructs[k];
                    if (!(con->flags & kConHighlighted)) continue;
                    con->flags |= kConSelected;
                    if (!IsInConstructPool(con, menu->recipients)) AppendToConstructPoolIfRoom(menu->recipients, con);
                }
            }
            if (menu->recipients->count > 0) OpenCommMenu(menu);
        }
        if (keys.Pressed(Bit(CK::ROTATE)) && unit && strip && (PlayerRestrictions & 0x04)) {
            EnterUnitView(view, unit, 1);
            view->leaveLatch = 1;
            return true;
        }
    }
    return false;
}

// The comm menu's entries under the pointer.
void MenuByPointer(TFView* view, CommMenu* menu, const KeyPair& keys, int32_t x, int32_t y, PointerOver* over) {
    if (!menu->open) return;
    const int32_t pw = view->tfPanelWidth;
    const int32_t m = static_cast<int32_t>(0.01 * ScreenWidth);
    if (!(x > ScreenWidth - 2 * pw - m && x < ScreenWidth - pw - m && y > view->mapPanelSize && y < ScreenHeight))
        return;
    const int32_t line = ScreenHeight / 28;
    for (int i = 0; i < menu->entryCount; ++i) {
        const int32_t top = menu->entries[i].screenY;
        if (y < top && y > top - line) {
            menu->highlighted = i;
            menu->timeout = 600;
        }
    }
    if (keys.Held(Bit(CK::SELECT)) || keys.HeldBefore(Bit(CK::SELECT))) over->menu = true;
    if (keys.Released(Bit(CK::SELECT)) && menu->highlighted >= 0) ExecuteTFCommand(view, menu, menu->highlighted);
}

// Scrolling at the screen edges: the edge's pointer shape, the camera steered while a button is held.
void EdgeScrolling(const KeyPair& keys, int32_t x, int32_t y, int ticks, PointerOver* over) {
    if (RotateDrag || ZoomDrag || MapBoxActive) return;
    const int32_t step = 128 * ticks;
    const bool select = keys.Held(Bit(CK::SELECT)), rotate = keys.Held(Bit(CK::ROTATE));
    const int32_t sign = select ? 1 : rotate ? -1 : 0;
    if (x < 0) {
        SetMousePtrShape(kShapeLeft, -x, 0);
        Steer(-sign * step, 0, 0);
    } else if (x > ScreenWidth) {
        SetMousePtrShape(kShapeRight, ScreenWidth - x - 30, 0);
        Steer(sign * step, 0, 0);
    } else if (y < 0) {
        SetMousePtrShape(kShapeDown, 0, 30 - y);
        Steer(0, -sign * step, 0);
    } else if (y > ScreenHeight) {
        SetMousePtrShape(kShapeUp, 0, ScreenHeight - y);
        Steer(0, sign * step, 0);
    } else {
        return;
    }
    over->edge = true;
}

void MapPanelZoom(TFView* view, const KeyPair& keys, int32_t x, int32_t y, int ticks, PointerOver* over) {
    if (!(PanelWord & 2) || x < ScreenWidth - view->mapPanelSize || y >= view->mapPanelSize) return;
    if (RotateDrag || MapBoxActive || over->edge) return;
    if (keys.Held(Bit(CK::ROTATE))) MapZoomBy(view, 100 * ticks);
    if (keys.Held(Bit(CK::SELECT))) MapZoomBy(view, -100 * ticks);
    for (CK k : {CK::ROTATE, CK::SELECT})
        if (keys.Held(Bit(k)) || keys.HeldBefore(Bit(k))) over->mapPanel = true;
}

void CameraDrags(const KeyPair& keys, int32_t x, int32_t y, int ticks, const PointerOver& over) {
    if (keys.Pressed(Bit(CK::ROTATE)) && !over.taken && !over.mapPanel && !over.edge && !MapBoxActive)
        StartDrag(&RotateDrag, RotateDragStart, x, y, kShapeDragRotate);
    if (keys.Pressed(Bit(CK::ZOOM)) && !MapBoxActive) StartDrag(&ZoomDrag, ZoomDragStart, x, y, kShapeDragZoom);
    if (ZoomDrag) {
        if (!keys.Held(Bit(CK::ZOOM))) {
            EndDrag(&ZoomDrag, ZoomDragStart);
        } else {
            Steer(((x - ZoomDragStart[0]) * ticks) >> 2, 0, ((y - ZoomDragStart[1]) * ticks) >> 2);
        }
    }
    if (RotateDrag) {
        if (!keys.Held(Bit(CK::ROTATE))) {
            EndDrag(&RotateDrag, RotateDragStart);
            return;
        }
        const int32_t dy = ((y - RotateDragStart[1]) * ticks) >> 2;
        Steer(((x - RotateDragStart[0]) * ticks) >> 2, 0, 0);
        if (!keys.Held(Bit(CK::SELECT))) {
            Steer(0, dy, 0);
            SetMousePtrShape(kShapeDragRotate, -32, 32);
        } else {
            Steer(0, 0, dy);
            SetMousePtrShape(kShapeDragZoom, -32, 32);
            HideWayPointer();
        }
    }
}

// The pool "pickable" holds what the pointer can pick on the map: the task force's members that are in the
// world, refreshed each frame (members come and go).
ConstructPool* RefreshPickable(const TFView* view) {
    ConstructPool* pickable = FindConstructPool("pickable");
    if (!pickable) return nullptr;
    pickable->count = 0;
    for (int i = 0; view->members && i < view->members->count; ++i) {
        construct* con = view->members->constructs[i];
        if (con->flags & kConBusy) AppendToConstructPoolIfRoom(pickable, con);
    }
    return pickable;
}

void MapClicks(TFView* view, const KeyPair& keys, int32_t x, int32_t y, int orderKind, const PointerOver& over) {
    if (!(PlayerRestrictions & 0x02)) return;
    ConstructPool* pickable = RefreshPickable(view);
    if (keys.Pressed(Bit(CK::SELECT)) && !keys.Held(Bit(CK::ROTATE)) && !over.button && !over.mapPanel &&
        !over.menu && !over.edge) {
        if (!RotateDrag && !ZoomDrag) {
            MapBoxArmed = 1;
            MapBoxStart[0] = x;
            MapBoxStart[1] = y;
        }
        construct* picked = PickUnitAtPointer(MainViewPort, x, y, pickable);
        if (!picked) {
            int32_t point[3];
            const int hit = PickGroundAtPointer(MainViewPort, x, y, point);
            if ((hit == 1 || hit == 3 || hit == 4) && WayPointer) {
                for (int k = 0; k < 3; ++k) WayPointer->pos[k] = point[k];
                ActivateConstruct(WayPointer);
                WayPointerSet = 1;
            }
        } else if (IsMember(view, picked)) {
            HighlightTFUnit(view, picked, keys.Held(Bit(CK::MODIFIER)), 0);
        }
    }
    if (keys.Held(Bit(CK::SELECT)) && keys.HeldBefore(Bit(CK::SELECT)) && MapBoxArmed && !RotateDrag) {
        if (std::abs(x - MapBoxStart[0]) > kBoxThreshold && !MapBoxActive) {
            MapBoxActive = 1;
            HideWayPointer();
        }
        if (MapBoxActive) {
            const int32_t corners[4][2] = {
                {MapBoxStart[0], MapBoxStart[1]}, {x, MapBoxStart[1]}, {x, y}, {MapBoxStart[0], y}};
            for (int c = 0; c < 4; ++c) PickGroundAtPointer(MainViewPort, corners[c][0], corners[c][1], MapBoxCorners[c]);
        }
    }
    if (keys.Released(Bit(CK::SELECT))) {
        if (!WayPointerSet && MapBoxActive) BoxHighlightTFUnits(view, MapBoxStart[0], MapBoxStart[1], x, y);
        if (WayPointerSet && WayPointer) SendOrderToGroup(FindConstructPool("highlighted"), WayPointer->pos, orderKind);
        MapBoxActive = 0;
        MapBoxArmed = 0;
    }
    if (!keys.Held(Bit(CK::SELECT))) WayPointerSet = 0;
}

// The member the "OurUnit" rule names, else the first (one member) or the second. A rule naming no
// member of the task force is ignored.
construct* CockpitOnlyUnit(const TFView* view) {
    const int count = view->members->count;
    int n = count == 1 ? 0 : 1;
    if (const Rule* rule = FindRule("OurUnit"); rule && rule->count > 0) {
        const double v = rule->values[0];
        if (v >= 0 && v < count && v == std::floor(v)) {
            n = static_cast<int>(v);
        } else {
            static char warned[64];
            char text[64];
            snprintf(text, sizeof text, "%g/%d", v, count);
            if (std::strcmp(text, warned) != 0) {
                DebugPrintf("warning: 'OurUnit' %g names no member of the task force (%d members)\n", v, count);
                snprintf(warned, sizeof warned, "%s", text);
            }
        }
    }
    return view->members->constructs[n];
}

// The way test of the tactical map with the access type of the first selected member (0 without one),
// while the debug overlay is on.
void WayTestStep(TFView* view) {
    if (!DebugOverlay) return;
    int access = 0;
    for (int i = 0; view->members && i < view->members->count; ++i) {
        construct* con = view->members->constructs[i];
        if (!(con->flags & kConHighlighted)) continue;
        access = static_cast<int>(CallItfc(con, ItfcMethod::GETACCESSTYPE));
        break;
    }
    WayTestGrid(access);
}

}  // namespace

void TacticalMapFrame(TFView* view, PlayerCell* player, int ticks) {
    if (!view || !player || !PlayerCommMenu) {
        UpdateMissionCountdowns(ticks);
        return;
    }
    CommMenu* menu = PlayerCommMenu;
    const KeyPair keys{player->mapBefore, player->mapNow};
    const int32_t x = keys.now.axes[0], y = keys.now.axes[1];

    // 1. The pointer's shape and the kind of pointer orders.
    const bool shift = RawKeyDown(kShiftKey);
    const int32_t shape = GetMousePtrShape();
    if (shape != kShapeDragZoom && shape != kShapeDragRotate) SetMousePtrShape(shift ? kShapeOffensive : kShapeNormal, 0, 0);
    const int orderKind = shift ? 1 : 0;

    // 2 - 6. The exclusive modes: pointing, the archive and the status map.
    if (view->pointing) return MapPointingStep(view, menu, ticks);
    if (view->panels[kArchiveMap]) {
        const bool up = RawKeyDown(kPageUpKey), down = RawKeyDown(kPageDownKey);
        if (view->archiveLatch && view->archiveIndex >= 0 && up) {
            view->archiveLatch = 0;
            if (++view->archiveIndex >= MessageArchiveCount) view->archiveIndex = MessageArchiveCount - 1;
        } else if (view->archiveLatch && view->archiveIndex >= 0 && down) {
            view->archiveLatch = 0;
            if (view->archiveIndex > 0) --view->archiveIndex;
        } else if (keys.Pressed(Bit(CK::TOGGLEARCHIVE)) || keys.Pressed(Bit(CK::CLOSE))) {
            CloseArchiveMap(view);
        } else if (keys.Pressed(Bit(CK::TOGGLESTATUS)) && !RecordReplayActive) {
            CloseArchiveMap(view);
            OpenStatusMap(view);
        }
        if (!up && !down) view->archiveLatch = 1;
        return;
    }
    if (keys.Pressed(Bit(CK::TOGGLEARCHIVE))) return OpenArchiveMap(view);
    if (view->panels[kStatusMap]) {
        if (keys.Pressed(Bit(CK::TOGGLESTATUS)) || keys.Pressed(Bit(CK::CLOSE))) CloseStatusMap(view);
        return;
    }
    if (keys.Pressed(Bit(CK::TOGGLESTATUS)) && !RecordReplayActive) return OpenStatusMap(view);

    // 7. The last extra window closed.
    if (keys.Pressed(Bit(CK::TOGGLEEXTERN)) && (keys.Held(Bit(CK::VIEWMODEMOD)) || !menu->open)) DetachLastExtraWindow();

    // 8. The comm menu's keys and the unit keys.
    if (!keys.Held(Bit(CK::VIEWMODEMOD))) {
        if (menu->open && !ChatInputActive && !keys.Held(Bit(CK::ADDRECIPIENT)) &&
            CommMenuEntryKeys(view, menu, keys, kFirstUnitBit, ticks))
            return;
        if ((!menu->open || keys.Held(Bit(CK::ADDRECIPIENT))) && view->members && !ChatInputActive) {
            const int n = view->members->count < 15 ? view->members->count : 15;
            for (int i = 0; i < n; ++i) {
                construct* member = view->members->constructs[i];
                const SelectionKeys bits{UnitKeyBit(kFirstUnitBit, member->bytes2[0]), Bit(CK::ALLUNITS),
                                         Bit(CK::ADDRECIPIENT), (PlayerRestrictions & 0x04) != 0};
                if (MemberSelectionKeys(view, menu, keys, member, bits)) return;
            }
        }
    }

    // 9 - 12. The task-force panel, the comm menu under the pointer, the screen edges, the map panel.
    PointerOver over;
    if (TaskPanel(view, menu, keys, x, y, &over)) return;
    MenuByPointer(view, menu, keys, x, y, &over);
    EdgeScrolling(keys, x, y, ticks, &over);
    MapPanelZoom(view, keys, x, y, ticks, &over);

    // 13 - 14. The camera: drags, the wheel and the keys.
    CameraDrags(keys, x, y, ticks, over);
    const int32_t wheel = keys.now.axes[2] - keys.before.axes[2];
    if (wheel != 0 && FrameCounter > 50) Steer(0, 0, wheel * 8);
    if (keys.Held(Bit(CK::CAMERALEFT))) Steer(-kCameraKeyStep, 0, 0);
    if (keys.Held(Bit(CK::CAMERARIGHT))) Steer(kCameraKeyStep, 0, 0);
    if (keys.Held(Bit(CK::CAMERAUP))) Steer(0, kCameraKeyStep, 0);
    if (keys.Held(Bit(CK::CAMERADOWN))) Steer(0, -kCameraKeyStep, 0);
    if (keys.Held(Bit(CK::CAMERAIN))) Steer(0, 0, kCameraKeyStep);
    if (keys.Held(Bit(CK::CAMERAOUT))) Steer(0, 0, -kCameraKeyStep);

    // 15. Clicks on the map: units picked, destinations placed, boxes drawn.
    MapClicks(view, keys, x, y, orderKind, over);
    WayTestStep(view);

    // 16 - 18. Groups formed and recalled, the camera framing the highlight.
    ConstructPool* highlighted = FindConstructPool("highlighted");
    if (keys.Pressed(Bit(CK::GROUP)) && highlighted) {
        ConstructPool* g = FindExactTFGroup(view, highlighted);
        if (g == view->groups[0]) g = nullptr;
        if (highlighted->count > 1 || g) ToggleTFGroup(view, highlighted, menu);
    }
    for (int g = 1; g <= 4; ++g)
        if (keys.Held(Bit(CK::GROUP1) + g - 1)) HighlightTFGroup(view, g, !keys.Held(Bit(CK::MODIFIER)));
    if (keys.Pressed(Bit(CK::FOCUS))) FrameHighlightedUnits(view);

    // 19 - 21. Panels, member windows, the map zoom.
    if (keys.Pressed(Bit(CK::TOGGLETFVIEW)) && (PlayerRestrictions & 0x10)) {
        PanelWord ^= 1;
        if (PanelWord & 1) view->tfPanelTimer = 200;
    }
    if (keys.Pressed(Bit(CK::TOGGLEMAPVIEW)) && (PlayerRestrictions & 0x20)) PanelWord ^= 2;
    if (keys.Held(Bit(CK::VIEWMODEMOD)) && view->members && !ChatInputActive) {
        const int n = view->members->count < 15 ? view->members->count : 15;
        for (int i = 0; i < n; ++i) {
            construct* member = view->members->constructs[i];
            if (keys.Held(UnitKeyBit(kFirstUnitBit, member->bytes2[0])))
                OpenWatchView(member, ItfcMethod::VIEWINSIDE, 4, nullptr);
        }
    }
    if (keys.Held(Bit(CK::MAPZOOMIN))) MapZoomBy(view, -100 * ticks);
    if (keys.Held(Bit(CK::MAPZOOMOUT))) MapZoomBy(view, 100 * ticks);

    // 22. Into a unit: the highlighted input-driven member, else the unit left last, else the last
    // input-driven member.
    if (PlayerRestrictions & 0x04) {
        if (keys.Pressed(Bit(CK::TOGGLEMODE)) && !view->leaveLatch) {
            // The unit left last counts only while it is still a member (it may have died since).
            construct* choice = LastPlayerUnit && IsMember(view, LastPlayerUnit) ? LastPlayerUnit : nullptr;
            for (int i = 0; view->members && i < view->members->count; ++i) {
                construct* con = view->members->constructs[i];
                if ((con->flags & kConHighlighted) && (con->flags & kConInputDriven)) choice = con;
            }
            if (!choice)
                for (int i = 0; view->members && i < view->members->count; ++i)
                    if (view->members->constructs[i]->flags & kConInputDriven) choice = view->members->constructs[i];
            if (choice) {
                LastPlayerUnit = choice;
                EnterUnitView(view, choice, 1);
                view->leaveLatch = 1;
                return;
            }
        }
        if (!keys.Held(Bit(CK::TOGGLEMODE))) view->leaveLatch = 0;
    }

    // 23. A cockpit-only level puts the player into his unit once it can drive.
    if (LevelCockpitOnly && view->members && view->members->count > 0) {
        construct* unit = CockpitOnlyUnit(view);
        if ((FrameCounter > 20 && CallItfc(unit, ItfcMethod::GETDRIVEFLAG) != 0) || FrameCounter > 500) {
            EnterUnitView(view, unit, 1);
            view->leaveLatch = 1;
        }
    }

    // 24 - 25.
    if (keys.Pressed(Bit(CK::CLOSE))) CloseCommMenu(view, menu);
    UpdateMissionCountdowns(ticks);
}

void FrameHighlightedUnits(TFView* view) {
    if (!view || !view->members || !SatCamera) return;
    int found = 0;
    FixVec sum{0, 0, 0};
    for (int i = 0; i < view->members->count; ++i) {
        construct* con = view->members->constructs[i];
        if (!(con->flags & kConHighlighted)) continue;
        CallItfc(SatCamera, found == 0 ? ItfcMethod::ATTACH : ItfcMethod::ADDTARGET, reinterpret_cast<uintptr_t>(con));
        sum.x += con->orient[6];
        sum.y += con->orient[7];
        sum.z += con->orient[8];
        ++found;
    }
    if (!found) return;
    FixVec dir = sum;
    NormaliseF(&dir, &sum);
    FaceCameraAlong(dir.x, dir.z);
    CallItfc(SatCamera, ItfcMethod::FRAMETARGETS, 0);
}

void HighlightTFUnit(TFView* view, construct* unit, int add, int keep) {
    ConstructPool* highlighted = FindConstructPool("highlighted");
    if (!view || !unit || !highlighted) return;
    ConstructPool* g = FindTFGroupOfUnit(view, unit);
    if (g == view->groups[0]) g = nullptr;
    const int n = g ? g->count : 1;
    if (!add && !keep) ClearHighlighted();
    if (unit->flags & kConHighlighted) {
        if (!add) return;
        for (int k = 0; k < n; ++k) {
            construct* con = g ? g->constructs[k] : unit;
            con->flags &= ~kConHighlighted;
            RemoveFromConstructPool(highlighted, con);
        }
        return;
    }
    for (int k = 0; k < n && highlighted->count < highlighted->capacity; ++k) {
        construct* con = g ? g->constructs[k] : unit;
        if (IsInConstructPool(con, highlighted)) continue;
        con->flags |= kConHighlighted;
        AppendToConstructPool(highlighted, con);
    }
}

construct* PickUnitAtPointer(ViewPort* vp, int32_t x, int32_t y, ConstructPool* pool) {
    (void)vp;  // the projection is the main view's (screen y up from the bottom edge, as the pointer's)
    if (!pool) return nullptr;
    auto holds = [&](construct* con, const SphereRecord* sphere) {
        int16_t s[3];
        ProjectConstruct(con, sphere, s);
        const int64_t dx = x - s[0], dy = y - s[1];
        return dx * dx + dy * dy < int64_t(s[2]) * s[2];
    };
    for (int i = 0; i < pool->count; ++i) {
        construct* con = pool->constructs[i];
        if (!con || !holds(con, &con->sphere)) continue;
        if (con->sphereCount <= 0 || !con->spheres) return con;
        for (int k = 0; k < con->sphereCount; ++k)
            if (holds(con, &con->spheres[k])) return con;
    }
    return nullptr;
}

void BoxHighlightTFUnits(TFView* view, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (!view) return;
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    ClearHighlighted();
    ConstructPool* pickable = FindConstructPool("pickable");
    if (!pickable || !view->members) return;
    for (int i = 0; i < pickable->count; ++i) {
        construct* con = pickable->constructs[i];
        if (!con || !PlayerClan || con->clan != PlayerClan || !IsMember(view, con)) continue;
        int16_t s[3];
        ProjectConstruct(con, &con->sphere, s);
        if (s[0] > x0 && s[0] < x1 && s[1] > y0 && s[1] < y1) HighlightTFUnit(view, con, 0, 1);
    }
}

int PickGroundAtPointer(ViewPort* vp, int32_t x, int32_t y, int32_t point[3]) {
    if (!vp || !CurrentMatrix) return 0;
    const FixVec eye{(x - vp->centreX) * 8, (y - vp->centreY) * 8, vp->focal[0] * 8};
    FixVec unit = eye, dir;
    NormaliseF(&unit, &eye);
    RotateVecTF(&dir, &vp->view, &unit);
    int32_t p[3] = {vp->cameraPos.x, vp->cameraPos.y, vp->cameraPos.z};
    int kind = 0;
    for (int step = 0; step < kGroundSteps; ++step) {
        construct* stacked = nullptr;
        kind = CheckMatrixPosition(CurrentMatrix, p, &stacked, WaterLevelAt(p[0], p[2]));
        if (kind != 0) break;
        p[0] += dir.x >> 4;
        p[1] += dir.y >> 4;
        p[2] += dir.z >> 4;
    }
    for (int k = 0; k < 3; ++k) point[k] = p[k];
    return kind;
}
