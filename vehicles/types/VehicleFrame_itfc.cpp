// The frame's dispatcher: the methods that every vehicle type answers the same way, from the head of its
// block and from the standard modules whose place its VehicleKind gives (see VehicleFrame.h).
#include <cstddef>
#include <cstring>

#include "ai/Clan.h"
#include "core/Fix3D.h"
#include "hud/UnitMarks.h"
#include "objects/UnitServices.h"
#include "render/Viewport.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/UnitLighting.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/modules/WheelDrive.h"
#include "vehicles/types/VehicleFrame.h"
#include "world/Construct.h"
#include "world/Level.h"

// The frame reaches either ground drive through the block it begins with.
static_assert(offsetof(WheelDrive, g) == 0 && offsetof(ChainDrive, g) == 0);

namespace {

// A turret angle of a unit without a turret.
constexpr uintptr_t kNoTurretAngle = 0x80000000u;

VehicleHead* Head(construct* con) {
    return static_cast<VehicleHead*>(con->itfcData);
}

template <typename T>
T* ModuleAt(construct* con, ptrdiff_t at) {
    return at == kNoModule ? nullptr : reinterpret_cast<T*>(static_cast<char*>(con->itfcData) + at);
}

struct Modules {
    WeaponTurret* turret;
    GroundDriveBlock* drive;
    SensorTip* sensor;
    UnitLighting* lighting;
};

// None for a construct without a block: an unknown method never touches it.
Modules ModulesOf(const VehicleKind& kind, construct* con) {
    if (!con || !con->itfcData) return {nullptr, nullptr, nullptr, nullptr};
    return {ModuleAt<WeaponTurret>(con, kind.turret), ModuleAt<GroundDriveBlock>(con, kind.drive),
            ModuleAt<SensorTip>(con, kind.sensor), ModuleAt<UnitLighting>(con, kind.lighting)};
}

// The modules' part of a view on the main viewport: the turret's limits (the cockpit ones from inside),
// the engine sample, the sensor beam and the player view's inside flag.
void ViewModules(const VehicleKind& kind, const Modules& m, int inside) {
    if (m.turret) Turret_setAltLimits(m.turret, inside);
    if (m.drive) ChainDrive_engineView(m.drive, inside);
    if (m.sensor) SensorTip_notify(m.sensor, static_cast<uintptr_t>(inside));
    if (!kind.noViewFlag) SetUnitViewFlag(PlayerTFView, inside);
}

void View(const VehicleKind& kind, construct* con, const Modules& m, ViewPort* vp, int inside) {
    UnitShare* rec = &Head(con)->unit;
    if (inside)
        SetViewPortTarget(vp, con, rec->insidePos, reinterpret_cast<const FixMatrix*>(rec->insideOrient), 1);
    else
        SetViewPortTarget(vp, con, rec->outsidePos, reinterpret_cast<const FixMatrix*>(rec->outsideOrient),
                          0);
    if (vp == MainViewPort) ViewModules(kind, m, inside);
}

// The sensor beam while the unit is not in stealth; the lights brought to the clan's lighting flag (a
// fade reverses the ramp).
void PlayerEnter(construct* con, const Modules& m) {
    if (m.sensor && Head(con)->unit.stateFlag == 0) SensorTip_activate(m.sensor);
    if (!m.lighting) return;
    const bool clanLights = con->clan && con->clan->unitLighting;
    if ((clanLights && m.lighting->ramp == 0) || (!clanLights && m.lighting->ramp > 0))
        UnitLighting_fade(m.lighting, 0);
}

// The crosshair at the projected end of the sensor beam, unless the unit is in stealth or the end lies
// behind the eye.
void DrawViewMarks(construct* con, const SensorTip* sensor) {
    UnitShare* rec = &Head(con)->unit;
    if (rec->stateFlag != 0) return;
    const FixVec end{sensor->end[0], sensor->end[1], sensor->end[2]};
    ScreenPointF p;
    if (ProjectWorldPoint(&p, &end))
        DrawUnitCrosshair(rec, static_cast<int32_t>(p.x), static_cast<int32_t>(p.y), 255);
}

}  // namespace

uintptr_t VehicleFrame_itfc(const VehicleKind& kind, construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>(kind.name);
    const Modules m = ModulesOf(kind, con);
    switch (method) {
        // The head.
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(con->itfcData);
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Head(con)->impact);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&Head(con)->state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&Head(con)->maxima);
        case ItfcMethod::GETPOS:
            std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::SETLOOK: {
            const auto* look = reinterpret_cast<const ControlInput*>(arg);
            VehicleHead* h = Head(con);
            h->look[0] = look->axes[kAxisYaw];
            h->look[1] = look->axes[kAxisPitch];
            h->look[2] = look->axes[kAxisSteer];
            return 0;
        }
        case ItfcMethod::GETGAUGES2:
            return 0;
        case ItfcMethod::DRAWOVERLAY: {
            VehicleHead* h = Head(con);
            if (h->cockpit) DrawPartAt(h->cockpit, con->orient, &h->unit, h->lockWarning, h->missileWarning);
            return 0;
        }
        case ItfcMethod::DESTROY:
            VehicleDestroy(con, Head(con));
            return 0;

        // The turret.
        case ItfcMethod::GETTURRETYAW:
            return m.turret ? static_cast<uintptr_t>(static_cast<uint32_t>(m.turret->yaw)) : kNoTurretAngle;
        case ItfcMethod::GETTURRETPITCH:
            return m.turret ? static_cast<uintptr_t>(static_cast<uint32_t>(m.turret->pitch)) : kNoTurretAngle;
        case ItfcMethod::GETTURRETPOS:
            return m.turret && m.turret->turret ? reinterpret_cast<uintptr_t>(m.turret->turret->pos) : 0;
        case ItfcMethod::GETTURRETMATRIX:
            return m.turret && m.turret->turret ? reinterpret_cast<uintptr_t>(m.turret->turret->orient) : 0;
        case ItfcMethod::SETTURRETYAW:
            if (!m.turret) break;
            m.turret->yaw = static_cast<int32_t>(arg);
            return 0;
        case ItfcMethod::SETTURRETPITCH:
            if (!m.turret) break;
            m.turret->pitch = static_cast<int32_t>(arg);
            return 0;
        case ItfcMethod::MANUALCONTROL:
            if (!m.turret) break;
            m.turret->recenterYaw = m.turret->recenterPitch = 1;
            return 0;

        // The ground drive.
        case ItfcMethod::GROUNDCHANGED:
            if (!m.drive) break;
            WheelDrive_wake(m.drive);
            return 0;
        case ItfcMethod::GETDRIVEFLAG:
            if (!m.drive) break;
            return static_cast<uintptr_t>(static_cast<uint32_t>(m.drive->rest));

        // The sensor tip.
        case ItfcMethod::PLAYERLEAVE:
            if (!m.sensor) break;
            SensorTip_clear(m.sensor);
            return 0;
        case ItfcMethod::DRAWVIEWMARKS:
            if (!m.sensor) break;
            DrawViewMarks(con, m.sensor);
            return 0;
        case ItfcMethod::DRAWOWNMARKS:
            if (!m.sensor) break;
            if (Head(con)->unit.stateFlag == 0) DrawUnitCrosshairAt(&Head(con)->unit, m.sensor->end, 255);
            return 0;

        // The views and the player's entry, with the modules the type has.
        case ItfcMethod::VIEWINSIDE:
            View(kind, con, m, reinterpret_cast<ViewPort*>(arg), 1);
            return 0;
        case ItfcMethod::VIEWOUTSIDE:
            View(kind, con, m, reinterpret_cast<ViewPort*>(arg), 0);
            return 0;
        case ItfcMethod::VIEWRELEASE:
            if (reinterpret_cast<ViewPort*>(arg) == MainViewPort) ViewModules(kind, m, 0);
            return 0;
        case ItfcMethod::PLAYERENTER:
            if (!m.sensor && !m.lighting) break;
            PlayerEnter(con, m);
            return 0;

        default:
            break;
    }
    return VehicleUnknownMethod(kind.name, method);
}
