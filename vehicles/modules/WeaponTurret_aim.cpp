// The weapon turret: the player's look and aim, and the howitzers' shot probes with their trail markers.
#include <cstdio>
#include <cstring>

#include "ai/Clan.h"
#include "ai/TraceLine.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "hud/TFView.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "render/Viewport.h"
#include "vehicles/modules/SensorTip.h"
#include "vehicles/modules/VehicleModule.h"
#include "vehicles/modules/WeaponTurret.h"
#include "vehicles/modules/WeaponTurret_local.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace {

constexpr int32_t kLookReach = 300000;
constexpr int32_t kCameraReach = 600000;
constexpr int32_t kMaxShotSteps = 10000;
constexpr int32_t kAimSize = 5000;

const FixMatrix* Orient(const construct* con) {
    return reinterpret_cast<const FixMatrix*>(con->orient);
}

bool AnyLimitFlag(const WeaponTurret* t) {
    for (const TurretReport& r : t->report)
        if (r.flag) return true;
    return false;
}

int32_t Amount(const WeaponTurret* t, TurretLimit which) {
    const TurretReport& r = t->report[static_cast<int>(which)];
    return r.flag ? r.amount : 0;
}

// The main view follows the unit: the look is taken relative to the unit's heading.
bool ViewFollows(const construct* con) {
    return MainViewPort && MainViewPort->follows == con;
}

void BuildLookMatrix(TFView* view, const construct* con, int32_t heading) {
    const int32_t yaw = !free_torso_look || ViewFollows(con) ? view->lookYaw + heading : view->lookYaw;
    FixMatrix m;
    MatrixFromYawPitch(&m, yaw, view->lookPitch);
    std::memcpy(view->lookMatrix, m.m, sizeof view->lookMatrix);
}

// Tracks a direction from the current smoothed axes and turns the turret; 1 when no limit was met.
bool AimAlong(WeaponTurret* t, TFView* view, const int32_t dir[3], const int32_t point[3], int32_t* yawAxis,
              int32_t* pitchAxis, UnitShare* rec, int shift) {
    int32_t wantedYaw = *yawAxis, wantedPitch = *pitchAxis;
    const FixVec d{dir[0], dir[1], dir[2]};
    Turret_trackPoint(t, &wantedYaw, &wantedPitch, shift, &d, point, kAimSize, 1, 0.0f);
    view->aimOnTarget = t->onTarget;
    Turret_aim(t, wantedYaw, wantedPitch, yawAxis, pitchAxis, rec, shift);
    return !AnyLimitFlag(t);
}

// Forward axis of an orientation whose third row points along dir (1.15).
void MatrixAlong(FixMatrix* m, const FixVec& dir) {
    const int32_t yaw = FixAtan2(-dir.z, -dir.x);
    const int32_t pitch = FixAcos(2 * dir.y);
    MatrixFromYawPitch(m, yaw, pitch);
}

bool ShotStops(const int32_t p[3]) {
    if (!CurrentMatrix) return false;
    return CheckMatrixPosition(CurrentMatrix, p, nullptr, WaterLevelAt(p[0], p[2])) != 0;
}

// Flies the shot from the gun's muzzle until the world stops it; places a marker every 10th step when a
// pool is given. Returns the end point in end.
void TraceShot(const WeaponTurret* t, const TurretShot* shot, ConstructPool* markers, int32_t end[3]) {
    const construct* gun = t->gun;
    FixVec muzzle{shot->muzzle[0], shot->muzzle[1], shot->muzzle[2]};
    FixVec offset;
    RotateVecT(&offset, Orient(gun), &muzzle);
    int32_t p[3] = {gun->pos[0] + offset.x, gun->pos[1] + offset.y, gun->pos[2] + offset.z};
    int32_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = static_cast<int32_t>((int64_t{gun->orient[6 + c]} * shot->speed) >> 15);
    int32_t last[3] = {p[0], p[1], p[2]};
    int used = 0;
    for (int32_t n = 1; n <= kMaxShotSteps; ++n) {
        v[1] -= shot->gravity;
        for (int c = 0; c < 3; ++c) p[c] += v[c];
        if (ShotStops(p)) break;
        if (!markers || n % 10 != 0 || used >= markers->count) continue;
        construct* marker = markers->constructs[used++];
        FixVec along{p[0] - last[0], p[1] - last[1], p[2] - last[2]};
        FixVec dir{0, 0, 32768};
        NormaliseF(&dir, &along);
        FixMatrix m;
        MatrixAlong(&m, dir);
        std::memcpy(marker->orient, m.m, sizeof marker->orient);
        if (!(marker->flags & kConActive)) ActivateConstruct(marker);
        std::memcpy(marker->pos, p, sizeof marker->pos);
        std::memcpy(last, p, sizeof last);
    }
    if (markers)
        for (int i = used; i < markers->count; ++i) DeactivateConstruct(markers->constructs[i]);
    std::memcpy(end, p, sizeof p);
}

int32_t DistanceBetween(const int32_t a[3], const int32_t b[3]) {
    FixVec va{a[0], a[1], a[2]}, vb{b[0], b[1], b[2]};
    return Distance3F(&va, &vb);
}

}  // namespace

namespace turret {

ConstructPool* CreateMarkerPool() {
    char name[64];
    std::snprintf(name, sizeof name, "trails %d", NewConstructSerial());
    ConstructPool* pool = CreateConstructPool(kTurretMarkers, name);
    ItfcProc laser = PoolTypeItfc(PoolType::LaserSeg);
    if (!laser) return pool;  // the marker type is not built yet: the turret traces without markers
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s%c%s", OBJROOT, kPathSeparator, "weapons", kPathSeparator, "glaser");
    for (int i = 0; i < kTurretMarkers; ++i) {
        auto* marker = reinterpret_cast<construct*>(laser(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
        if (marker) AppendToConstructPool(pool, marker);
    }
    return pool;
}

void DeleteMarkerPool(ConstructPool* pool) {
    while (pool->count > 0) {
        construct* marker = pool->constructs[0];
        RemoveFromConstructPool(pool, marker);
        CallItfc(marker, ItfcMethod::DESTROY, 1);
    }
    DeleteConstructPool(pool);
}

}  // namespace turret

void Turret_playerAim(WeaponTurret* t, TFView* view, SensorTip* sensor, const ControlInput& previous,
                      const ControlInput& current, int32_t* yawAxis, int32_t* pitchAxis, UnitShare* rec,
                      int shift) {
    construct* con = t->con;
    if (!view) {
        // Without a player view record the turret follows the control record's own axes.
        Turret_aim(t, current.axes[kAxisTorsoYaw], current.axes[kAxisTorsoPitch], yawAxis, pitchAxis, rec, shift);
        return;
    }
    int32_t angles[3];
    AnglesFromMatrix(angles, Orient(con));
    const int32_t heading = angles[2];

    // 1. The look angles follow axes 1 and 2.
    view->lookYaw += 50 * (previous.axes[kAxisTorsoYaw] - current.axes[kAxisTorsoYaw]);
    const int32_t pitchMove = 50 * (previous.axes[kAxisTorsoPitch] - current.axes[kAxisTorsoPitch]);
    view->lookPitch += mouse_invert_torso ? -pitchMove : pitchMove;
    if (view->lookYaw < 0) view->lookYaw += kFixFullTurn;
    else if (view->lookYaw > kFixFullTurn) view->lookYaw -= kFixFullTurn;
    if (view->lookPitch < 0) view->lookPitch += kFixFullTurn;

    // 2. Centring.
    const bool centre = InputKeyDown(current, kInputCenterTorso) ||
                        (auto_look_forward && InputKeyDown(current, kInputThrust1));
    if (centre) {
        view->lookYaw = !free_torso_look || ViewFollows(con) ? 0 : heading;
        if (InputKeyDown(current, kInputCenterTorso)) view->lookPitch = kTurretPitchLevel - angles[1];
    }

    // 3. The look matrix.
    BuildLookMatrix(view, con, heading);

    // 4. The aim point: where the look meets the world, or a construct the camera sees on the way.
    const int32_t* start = sensor ? sensor->tip : t->gun->pos;
    const int32_t* forward = &view->lookMatrix[6];
    TraceLine(con, start, forward, view->aimPoint, kLookReach, 1, 1);
    std::memcpy(view->aimDir, forward, sizeof view->aimDir);
    if (!ViewFollows(con) && MainViewPort) {
        const int32_t cam[3] = {MainViewPort->cameraPos.x, MainViewPort->cameraPos.y, MainViewPort->cameraPos.z};
        FixVec to{view->aimPoint[0] - cam[0], view->aimPoint[1] - cam[1], view->aimPoint[2] - cam[2]};
        FixVec dir{0, 0, 0};
        if (NormaliseF(&dir, &to) > 0) {
            const int32_t d[3] = {dir.x, dir.y, dir.z};
            int32_t hit[3];
            if (TraceLine(con, cam, d, hit, kCameraReach, 0, 1)) {
                std::memcpy(view->aimPoint, hit, sizeof hit);
                FixVec fromTip{hit[0] - start[0], hit[1] - start[1], hit[2] - start[2]};
                FixVec aim{0, 0, 0};
                NormaliseF(&aim, &fromTip);
                view->aimDir[0] = aim.x;
                view->aimDir[1] = aim.y;
                view->aimDir[2] = aim.z;
                view->cameraHit = 1;
            }
        }
    }

    // 5. The camera's construct first, while the turret can reach it.
    if (view->cameraHit) {
        if (AimAlong(t, view, view->aimDir, view->aimPoint, yawAxis, pitchAxis, rec, shift)) {
            view->aimTick = FrameCounter;
            return;
        }
        view->cameraHit = 0;
    }

    // 6. The look direction.
    if (AimAlong(t, view, forward, view->aimPoint, yawAxis, pitchAxis, rec, shift)) {
        view->aimTick = FrameCounter;
        return;
    }

    // 7. The look is pushed back inside the limits and tracked again.
    view->lookPitch += Amount(t, TurretLimit::PitchLow) - Amount(t, TurretLimit::PitchHigh);
    view->lookYaw += Amount(t, TurretLimit::YawLow) - Amount(t, TurretLimit::YawHigh);
    BuildLookMatrix(view, con, heading);
    AimAlong(t, view, forward, view->aimPoint, yawAxis, pitchAxis, rec, shift);
    view->aimTick = FrameCounter;
}

void Turret_probeShot(WeaponTurret* t, const TurretShot* shot, ControlInput* ctl, UnitShare* rec, int shift) {
    Turret_probeShotAt(t, shot, ctl, shift, rec ? rec->aimPoint : nullptr);
}

void Turret_probeShotAt(WeaponTurret* t, const TurretShot* shot, ControlInput* ctl, int shift,
                        const int32_t aim[3]) {
    const construct* con = t->con;
    const bool ownClan = OwnPlayer && con->clan && con->clan->index == OwnPlayer->clan;
    int32_t end[3];
    TraceShot(t, shot, ownClan ? t->markers : nullptr, end);

    const int32_t* gun = t->gun->pos;
    t->aimDistance = aim ? DistanceBetween(gun, aim) : 0;
    t->impactDistance = DistanceBetween(gun, end);
    FixVec flat{end[0] - gun[0], 0, end[2] - gun[2]};
    FixVec dir{0, 0, 0};
    NormaliseF(&dir, &flat);
    t->impactDir[0] = dir.x;
    t->impactDir[1] = dir.y;
    t->impactDir[2] = dir.z;

    const int32_t e = t->impactDistance - t->aimDistance + 5000;
    const int32_t move = 1 << (shift + 7);
    if (e > 4000) ctl->axes[kAxisTorsoPitch] = static_cast<int16_t>(ctl->axes[kAxisTorsoPitch] - move);
    else if (e < -4000) ctl->axes[kAxisTorsoPitch] = static_cast<int16_t>(ctl->axes[kAxisTorsoPitch] + move);
    // At the highest elevation with the shot still short the target is out of reach.
    TurretReport& low = t->report[static_cast<int>(TurretLimit::PitchLow)];
    low.flag = t->pitch <= kTurretPitchLevel - turret::PitchLimits(t)[1] && e < 0;
}

void Turret_releaseEvents(WeaponTurret* t) {
    if (!t->markers) return;
    for (int i = 0; i < t->markers->count; ++i) {
        construct* marker = t->markers->constructs[i];
        if (!(marker->flags & kConActive)) break;
        DeactivateConstruct(marker);
    }
}

int32_t Turret_probeLine(WeaponTurret* t, const TurretShot* shot, TurretImpact* impact) {
    int32_t end[3];
    TraceShot(t, shot, nullptr, end);
    const int32_t distance = DistanceBetween(t->gun->pos, end);
    if (impact) {
        impact->flag = 1;
        std::memcpy(impact->point, end, sizeof end);
        impact->distance = distance;
    }
    return distance;
}
