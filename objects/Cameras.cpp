// The scenery cameras. The satellite camera frames a group of up to 32 units from above, orbits it under
// the player's look axes, follows a unit and flies between views along short key-frame paths that skip
// the stretches under the ground. The static camera watches one unit from a spot on the ground and picks
// a new spot when the unit gets too far or something touches it. The watch camera looks at one object
// from the line toward a second one. All three keep their views above the ground with BoxGroundLimits.
#include "objects/Cameras.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ai/UnitAI.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "hud/TFView.h"
#include "objects/ConstructRes.h"
#include "objects/MovieCamera.h"
#include "objects/UnitSaved.h"
#include "objects/UnitShare.h"
#include "objects/WayPointer.h"
#include "platform/Dxgl.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

namespace {

constexpr int kMaxTargets = 32;
constexpr int32_t kStartPitch = 128678;
constexpr int32_t kMaxPitch = 205887;
constexpr int32_t kMaxDistance = 200000;
constexpr int32_t kGroundClearance = 5000;
constexpr int32_t kJumpDistance = 550000;
constexpr int32_t kTurretAhead = 308830;
constexpr int32_t kQuarterTurn = 102943;
constexpr int32_t kReaimDistance = 110000;

struct SatCameraData {
    int32_t look[3];
    uint8_t damage[3];
    uint8_t placed;
    int32_t mode;
    int32_t pitch, yaw;
    int32_t minDistance;
    int32_t yawRate, pitchRate, distanceRate;
    int32_t distance, effectiveDistance;
    int32_t reserved;
    int32_t ticks;
    int32_t targetCount;
    int32_t lookAt[3];
    construct* targets[kMaxTargets];
    int32_t keyCount;
    int32_t keyOrient[3][9];
    int32_t keyPos[3][3];
    float pathParam;  // -1 when no path plays
    float pathStep;
};

// The static and the watch camera.
struct GroundCameraData {
    uint8_t damage[3];
    uint8_t placed;
    construct* watch;   // the watch camera's second object
    construct* target;
};

SatCameraData* Sat(construct* con) { return static_cast<SatCameraData*>(con->itfcData); }
GroundCameraData* Ground(construct* con) { return static_cast<GroundCameraData*>(con->itfcData); }

int32_t Radius(const construct* c) { return c ? c->sphere.radius : 0; }

const FixMatrix* Orient(const construct* c) { return reinterpret_cast<const FixMatrix*>(c->orient); }

void RecomputeMinDistance(construct* con, SatCameraData* d, int32_t extra) {
    int32_t largest = 0;
    for (int i = 0; i < d->targetCount; ++i)
        if (Radius(d->targets[i]) > largest) largest = Radius(d->targets[i]);
    d->minDistance = Radius(con) + extra + largest;
}

// The point back from the look-at point along the view: look-at - third row x distance.
void BackFrom(const int32_t lookAt[3], const FixMatrix& m, int32_t distance, int32_t out[3]) {
    for (int k = 0; k < 3; ++k) out[k] = lookAt[k] - static_cast<int32_t>((int64_t(m.m[6 + k]) * distance) / 32768);
}

// Orientation from the yaw and pitch, position back from the look-at point along the view.
void Frame(construct* con, SatCameraData* d) {
    FixMatrix m;
    MatrixFromYawPitch(&m, d->yaw, d->pitch);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    BackFrom(d->lookAt, m, d->effectiveDistance, con->pos);
}

// The mean of the targets' positions; false without targets.
bool MeanOfTargets(const SatCameraData* d, int32_t out[3]) {
    if (d->targetCount < 1) return false;
    int64_t sum[3] = {0, 0, 0};
    for (int i = 0; i < d->targetCount; ++i)
        for (int k = 0; k < 3; ++k) sum[k] += d->targets[i]->pos[k];
    for (int k = 0; k < 3; ++k) out[k] = static_cast<int32_t>(sum[k] / d->targetCount);
    return true;
}

void UnfocusAll(SatCameraData* d) {
    for (int i = 0; i < d->targetCount; ++i) UnFocusConstruct(d->targets[i]);
    d->targetCount = 0;
}

void Attach(construct* con, SatCameraData* d, construct* unit) {
    UnfocusAll(d);
    if (unit) {
        d->targets[d->targetCount++] = unit;
        FocusConstruct(unit);
    }
    d->minDistance = Radius(con) + Radius(unit);
}

void SetKey(SatCameraData* d, int k, const int32_t orient[9], const int32_t pos[3]) {
    std::memcpy(d->keyOrient[k], orient, sizeof d->keyOrient[k]);
    std::memcpy(d->keyPos[k], pos, sizeof d->keyPos[k]);
}

FixVec Vec(const int32_t p[3]) { return FixVec{p[0], p[1], p[2]}; }

// FRAMETARGETS: the framing of the group as key 1 of a path from the camera's place; returns the
// number of targets in view. *jumped tells that the camera stood too far away and jumped there.
int FrameTargets(construct* con, SatCameraData* d, int resetPitch, bool* jumped) {
    if (resetPitch) d->pitch = kStartPitch;
    d->keyCount = 2;
    d->pathParam = 0.0f;
    SetKey(d, 0, con->orient, con->pos);
    FixMatrix m;
    MatrixFromYawPitch(&m, d->yaw, d->pitch);
    std::memcpy(d->keyOrient[1], m.m, sizeof d->keyOrient[1]);
    // Without targets there is no mean to take: the look-at point stays.
    MeanOfTargets(d, d->lookAt);
    const int32_t focalX = FocalX > 0 ? FocalX : 1024, focalY = FocalY > 0 ? FocalY : 1024;
    int inView = 0;
    int32_t distance = 100000;
    for (;; distance += 500) {
        BackFrom(d->lookAt, m, distance, d->keyPos[1]);
        inView = 0;
        for (int i = 0; i < d->targetCount; ++i) {
            const construct* t = d->targets[i];
            const int64_t v[3] = {int64_t(t->pos[0]) - d->keyPos[1][0], int64_t(t->pos[1]) - d->keyPos[1][1],
                                  int64_t(t->pos[2]) - d->keyPos[1][2]};
            auto row = [&](int r) { return (v[0] * m.m[3 * r] + v[1] * m.m[3 * r + 1] + v[2] * m.m[3 * r + 2]) >> 15; };
            const FixVec cam{static_cast<int32_t>(row(0) * focalX / 1024), static_cast<int32_t>(row(1) * focalY / 1024),
                             static_cast<int32_t>(row(2))};
            if (!PointOutsideFrustum(&cam)) ++inView;
        }
        if (inView == d->targetCount || distance >= kMaxDistance) break;
    }
    d->distance = d->effectiveDistance = distance;
    const FixVec a = Vec(d->keyPos[0]), b = Vec(d->keyPos[1]);
    *jumped = Distance3F(&a, &b) >= kJumpDistance;
    if (*jumped) {
        std::memcpy(con->orient, d->keyOrient[1], sizeof con->orient);
        std::memcpy(con->pos, d->keyPos[1], sizeof con->pos);
        d->pathParam = -1.0f;
        d->keyCount = 0;
    } else {
        d->pathStep = 0.02f;
        d->mode = 3;
        d->ticks = 0;
    }
    return inView;
}

// Yaw and pitch behind the unit, looking the way it faces.
void FaceAlong(SatCameraData* d, const construct* unit) {
    d->yaw = kTurretAhead - FixAtan2(unit->orient[6], unit->orient[8]);
    d->pitch = kStartPitch;
}

void FollowToggle(construct* con, SatCameraData* d, construct* unit) {
    if (!unit) return;
    const bool following = d->targetCount == 1 && d->targets[0] == unit;
    Attach(con, d, unit);
    FaceAlong(d, unit);
    bool jumped = false;
    FrameTargets(con, d, 0, &jumped);
    if (jumped) SetKey(d, 0, con->orient, con->pos), SetKey(d, 1, con->orient, con->pos);
    d->keyCount = 3;
    d->pathParam = 0.0f;
    SetKey(d, 2, unit->orient, unit->pos);
    d->pathStep = 0.01f;
    const FixVec a = Vec(d->keyPos[0]), b = Vec(d->keyPos[1]);
    if (following) {
        SetKey(d, 1, d->keyOrient[2], d->keyPos[2]);
        d->keyCount = 2;
    } else if (Distance3F(&a, &b) > kJumpDistance) {
        SetKey(d, 0, d->keyOrient[1], d->keyPos[1]);
        SetKey(d, 1, d->keyOrient[2], d->keyPos[2]);
        d->keyCount = 2;
    }
    d->mode = 4;
    d->ticks = 0;
}

void FollowUnit(construct* con, SatCameraData* d, construct* unit) {
    if (!unit) return;
    Attach(con, d, unit);
    FaceAlong(d, unit);
    bool jumped = false;
    FrameTargets(con, d, 0, &jumped);
    if (jumped) {
        d->mode = 6;
    } else {
        d->pathStep = 0.02f;
        d->mode = 5;
    }
    d->ticks = 0;
}

// Step 5 of the tick: flies the path, skipping the stretches that run through the ground. True when the
// path has ended.
bool FlyPath(construct* con, SatCameraData* d) {
    if (d->keyCount < 2 || d->pathParam < 0.0f) {
        d->mode = d->mode == 3 ? 0 : 6;
        return true;
    }
    for (;;) {
        CameraPathPoint(d->keyOrient, d->keyPos, d->keyCount, d->pathParam, true, con->orient, con->pos);
        d->pathParam += d->pathStep;
        if (d->pathStep <= 0.0f || d->pathParam >= float(d->keyCount - 1)) {
            d->mode = d->mode == 3 ? 0 : 6;
            d->ticks = 0;
            if (!PlayerUnit) d->yawRate = d->pitchRate = d->distanceRate = 0;
            return true;
        }
        int32_t low = 0, high = 0;
        BoxGroundLimits(con, CurrentMatrix, &low, &high);
        if (con->pos[1] >= int64_t(low) + kGroundClearance && con->pos[1] <= int64_t(high) - kGroundClearance) return false;
    }
}

// Step 6 in modes 1 and 2: the yaw follows a reference orientation.
void FollowReference(construct* con, SatCameraData* d, const FixMatrix& ref, const int32_t delta[3]) {
    if (PlayerUnit) d->distanceRate = delta[2] * 64;
    const int k = d->mode == 2 ? 14 : 12;
    const int64_t q = int64_t(ref.m[0]) * con->orient[6] + int64_t(ref.m[2]) * con->orient[8];
    const int64_t apart = int64_t(ref.m[6]) * con->orient[6] + int64_t(ref.m[8]) * con->orient[8];
    if (apart < 1) d->yawRate = q < 0 ? -(1 << k) : (1 << k);
    else d->yawRate = static_cast<int32_t>(q / (int64_t(1) << (30 - k)));
    int32_t own[3], other[3];
    AnglesFromMatrix(own, Orient(con));
    AnglesFromMatrix(other, &ref);
    d->pitchRate = (own[1] - other[1] + 15000) / 16;
}

// Step 8: raises the view (or pulls it in) until the camera is clear of the ground and the upper surface.
// Returns whether the pitch was raised.
bool AvoidGround(construct* con, SatCameraData* d) {
    bool raised = false;
    for (int guard = 0; guard < 4000; ++guard) {
        int32_t low = 0, high = 0;
        if (!CurrentMatrix) return raised;
        BoxGroundLimits(con, CurrentMatrix, &low, &high);
        const bool tooLow = con->pos[1] < int64_t(low) + kGroundClearance;
        const bool tooHigh = con->pos[1] > int64_t(high) - kGroundClearance;
        if (!tooLow && !tooHigh) return raised;
        if (tooLow && !tooHigh && d->mode != 2 &&
            (!TopTileFieldPresent || int64_t(con->pos[1]) - d->lookAt[1] < 8001)) {
            if (d->pitch + 200 > kMaxPitch) return raised;  // the view as it stands is taken
            d->pitch += 200;
            raised = true;
        } else {
            d->effectiveDistance -= 2000;
            if (d->distanceRate > 500) d->distance -= 2000;
            if (d->effectiveDistance < d->minDistance) {
                d->effectiveDistance = d->minDistance;
                Frame(con, d);
                if (!tooHigh) con->pos[1] = low + kGroundClearance;
                return raised;
            }
        }
        Frame(con, d);
    }
    return raised;
}

void SatTick(construct* con, const TickInput* in) {
    SatCameraData* d = Sat(con);
    int32_t delta[3] = {0, 0, 0};
    if (in)
        for (int k = 0; k < 3; ++k) {
            const int32_t change = (in->records[1].axes[3 + k] - d->look[k]) >> 5;
            d->look[k] += change;
            delta[k] = change;
        }
    ++d->ticks;
    if (d->mode == 2 && d->targetCount > 0) {
        const auto* turret = reinterpret_cast<const int32_t*>(CallItfc(d->targets[0], ItfcMethod::GETTURRETPOS));
        std::memcpy(d->lookAt, turret ? turret : d->targets[0]->pos, sizeof d->lookAt);
    } else {
        MeanOfTargets(d, d->lookAt);
    }
    if (d->mode == 6) return;
    if (d->mode == 3 || d->mode == 5) {
        FixMatrix m;
        MatrixFromYawPitch(&m, d->yaw, d->pitch);
        std::memcpy(d->keyOrient[1], m.m, sizeof d->keyOrient[1]);
        BackFrom(d->lookAt, m, d->distance, d->keyPos[1]);
    } else if (d->mode == 4 && d->targetCount > 0 && d->keyCount > 0) {
        UnitAIInfo info{};
        if (GetUnitAIInfo(d->targets[0], &info, nullptr, nullptr) && info.sensorPoint && info.sensorOrient)
            SetKey(d, d->keyCount - 1, info.sensorOrient, info.sensorPoint);
        else
            SetKey(d, d->keyCount - 1, d->targets[0]->orient, d->targets[0]->pos);
    }
    if (d->mode >= 3 && d->mode <= 5) {
        FlyPath(con, d);
        return;
    }
    if ((d->mode == 1 || d->mode == 2) && (std::abs(delta[0]) > 200 || std::abs(delta[1]) > 200)) d->mode = 0;
    if (d->mode == 1 && d->targetCount > 0) {
        FollowReference(con, d, *Orient(d->targets[0]), delta);
    } else if (d->mode == 2 && PlayerTFView) {
        FollowReference(con, d, *reinterpret_cast<const FixMatrix*>(PlayerTFView->lookMatrix), delta);
    } else if (PlayerUnit) {
        d->yawRate = delta[0] * 64;
        d->pitchRate = delta[1] * 64;
        d->distanceRate = delta[2] * 64;
    }
    if (d->targetCount > 0) {
        if (d->distance > kMaxDistance) d->distance = kMaxDistance;
        if (d->distance < d->minDistance) d->distance = d->minDistance;
    }
    d->pitch = d->pitch < 0 ? 0 : d->pitch > kMaxPitch ? kMaxPitch : d->pitch;
    for (int32_t* r : {&d->yawRate, &d->pitchRate, &d->distanceRate}) {
        *r = static_cast<int32_t>((int64_t(*r) * 240) >> 8);
        if (*r < 0) *r += 1;
    }
    d->effectiveDistance = d->distance;
    Frame(con, d);
    const bool raised = AvoidGround(con, d);
    d->yaw += d->yawRate;
    if (raised && d->pitchRate < 0) d->pitchRate = 0;
    d->pitch += d->pitchRate;
    d->distance -= d->distanceRate;
}

void SatPlace(construct* con) {
    SatCameraData* d = Sat(con);
    d->placed = 1;
    con->collisionClass = 0;
    d->mode = 0;
    std::memset(d->look, 0, sizeof d->look);
    d->pitch = kStartPitch;
    d->yaw = 0;
    d->minDistance = 0;
    d->targetCount = 0;
    d->lookAt[0] = 884736, d->lookAt[1] = 0, d->lookAt[2] = 884736;
    d->yawRate = d->pitchRate = d->distanceRate = 0;
    d->distance = d->effectiveDistance = 28000;
    d->pathParam = -1.0f;
    d->keyCount = 0;
    d->ticks = 0;
    Frame(con, d);
    AvoidGround(con, d);
    MakeBuzy(con, 0);
}

// The construct of a camera without geometry: the camera box and eight ground-test corners.
construct* CreateCamera(ItfcProc itfc, uint32_t flags, int blockSize, const char* purpose) {
    construct* made = CreateConstruct(0, flags);
    made->itfc = itfc;
    void* d = qzAlloc(blockSize, purpose);
    std::memset(d, 0, size_t(blockSize));
    made->itfcData = d;
    SetCameraBounds(made);
    static const uint8_t kCorners[8] = {0, 3, 4, 7, 1, 2, 5, 6};
    std::memcpy(made->sampleCorners, kCorners, sizeof kCorners);
    made->sampleCornerCount = 8;
    return made;
}

// The highest ground or water (x 8) under the construct's eight ground-test corners.
int32_t GroundUnderCorners(const construct* con) {
    int32_t low = INT32_MIN, high = 0;
    BoxGroundLimits(con, CurrentMatrix, &low, &high);
    return low;
}

// The yaw and pitch from the camera toward a point d away; the camera's orientation looks along it.
void AimAlong(construct* con, int32_t dx, int32_t dy, int32_t dz) {
    const int32_t yaw = FixAtan2(dx / 8, dz / 8);
    const double horizontal = std::sqrt(double(dx / 8) * (dx / 8) + double(dz / 8) * (dz / 8));
    const int32_t pitch = FixAtan2(static_cast<int32_t>(horizontal), dy / 8);
    FixMatrix m;
    MatrixFromYawPitch(&m, -kQuarterTurn - yaw, pitch);
    std::memcpy(con->orient, m.m, sizeof con->orient);
}

void StatReaim(construct* con, const int32_t t[3], const construct* target) {
    const int32_t fx = target->orient[6], fz = target->orient[8];
    for (int n = 19; n >= 0; --n) {
        int32_t a = Random() >> 12;
        int32_t b = Random();
        if (n >= 11) {
            a = std::abs(a);
            b >>= 14;
        } else {
            b >>= 12;
        }
        con->pos[0] = t[0] + static_cast<int32_t>((int64_t(fx / 16) * a) / 2048 + (int64_t(fz / 16) * b) / 2048);
        con->pos[2] = t[2] + static_cast<int32_t>((int64_t(fz / 16) * a) / 2048 - (int64_t(fx / 16) * b) / 2048);
        con->pos[1] = GroundUnderCorners(con) + 7000;
        const bool near = std::abs(int64_t(t[0]) - con->pos[0]) <= kReaimDistance &&
                          std::abs(int64_t(t[2]) - con->pos[2]) <= kReaimDistance;
        bool underRoof = false;
        if (TopTileFieldPresent && CurrentMatrix) {
            int32_t low = 0, high = 0;
            BoxGroundLimits(con, CurrentMatrix, &low, &high);
            underRoof = int64_t(con->pos[1]) > int64_t(high) - 6000;
        }
        if (near && !underRoof) return;
    }
}

void StatTick(construct* con) {
    GroundCameraData* d = Ground(con);
    if (!d->target) return;
    int32_t t[3];
    CallItfc(d->target, ItfcMethod::GETPOS, reinterpret_cast<uintptr_t>(t));
    bool touched = false;
    for (construct*& slot : con->hits)
        if (slot) {
            touched = true;
            slot = nullptr;
        }
    if (touched || std::abs(int64_t(t[0]) - con->pos[0]) > kReaimDistance ||
        std::abs(int64_t(t[2]) - con->pos[2]) > kReaimDistance)
        StatReaim(con, t, d->target);
    AimAlong(con, t[0] - con->pos[0], t[1] - con->pos[1], t[2] - con->pos[2]);
}

void WatchTick(construct* con) {
    GroundCameraData* d = Ground(con);
    if (!d->target || !d->watch) return;
    int32_t t[3], w[3];
    CallItfc(d->target, ItfcMethod::GETPOS, reinterpret_cast<uintptr_t>(t));
    CallItfc(d->watch, ItfcMethod::GETPOS, reinterpret_cast<uintptr_t>(w));
    double v[3] = {double(t[0]) - w[0], double(t[1]) - w[1], double(t[2]) - w[2]};
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    // Both objects in one place give no line: the camera looks along the target's own forward row.
    if (length < 1.0) {
        v[0] = d->target->orient[6], v[1] = d->target->orient[7], v[2] = d->target->orient[8];
    }
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const int32_t dx = static_cast<int32_t>(v[0] / n * 65536), dy = static_cast<int32_t>(v[1] / n * 65536),
                  dz = static_cast<int32_t>(v[2] / n * 65536);
    AimAlong(con, dx * 8, dy * 8, dz * 8);
    FixMatrix m;
    std::memcpy(m.m, con->orient, sizeof m.m);
    BackFrom(t, m, 37000, con->pos);
    const int32_t floor = GroundUnderCorners(con) + 7000;
    if (con->pos[1] < floor) con->pos[1] = floor;
}

// ATTACH of the static and the watch camera: the camera jumps to the target and focuses it.
void GroundAttach(construct* con, GroundCameraData* d, construct* target) {
    if (target == d->target) return;
    if (d->target) UnFocusConstruct(d->target);
    d->target = target;
    if (!target) return;
    std::memcpy(con->pos, target->pos, sizeof con->pos);
    FocusConstruct(target);
}

// What the static and the watch camera answer alike; 0 and *handled false for the others.
uintptr_t GroundCameraMethod(construct* con, ItfcMethod method, uintptr_t arg, const char* name, bool* handled) {
    GroundCameraData* d = con ? Ground(con) : nullptr;
    *handled = true;
    switch (method) {
        case ItfcMethod::PLACE:
            if (d->placed) CallItfc(con, ItfcMethod::UNPLACE, 0);
            con->collisionClass = 1;
            d->placed = 1;
            if (d->target) UnFocusConstruct(d->target);
            d->target = d->watch = nullptr;
            std::memset(d->damage, 0, sizeof d->damage);
            MakeBuzy(con, 0);
            return 0;
        case ItfcMethod::ATTACH: GroundAttach(con, d, reinterpret_cast<construct*>(arg)); return 0;
        case ItfcMethod::VIEWINSIDE:
        case ItfcMethod::VIEWOUTSIDE:
            SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, con->pos, Orient(con), 1);
            return 0;
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(d->damage);
        case ItfcMethod::GETSTATE: return 0;
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>(name);
        case ItfcMethod::UNPLACE:
            if (d->placed) {
                UnMakeBuzy(con);
                d->placed = 0;
            }
            return 0;
        case ItfcMethod::DESTROY:
            if (d->placed) FatalError("remove first");
            if (d->target) UnFocusConstruct(d->target);
            FreeConstruct(con);
            return 0;
        default: *handled = false; return 0;
    }
}

}  // namespace

void BoxGroundLimits(const construct* con, matrix* terrain, int32_t* low, int32_t* high) {
    *low = INT32_MIN;
    *high = kNoUpperBound;
    if (!terrain) return;
    FixMatrix m;
    std::memcpy(m.m, con->orient, sizeof m.m);
    for (int k : {0, 3, 4, 7}) {
        const FixVec local = {con->box.corners[k][0], con->box.corners[k][1], con->box.corners[k][2]};
        FixVec w;
        RotateVecT(&w, &m, &local);
        const int32_t p[3] = {con->pos[0] + w.x, con->pos[1] + w.y, con->pos[2] + w.z};
        int32_t top = kNoUpperBound;
        const int32_t g = InterpGroundHeights(terrain, p, &top, 0, 0);
        const int32_t water = WaterLevelAt(p[0], p[2]);
        if (g > *low) *low = g;
        if (water != kNoWaterLevel && water * 8 > *low) *low = water * 8;
    }
    if (!TopTileFieldPresent) return;
    for (int k : {1, 2, 5, 6}) {
        const FixVec local = {con->box.corners[k][0], con->box.corners[k][1], con->box.corners[k][2]};
        FixVec w;
        RotateVecT(&w, &m, &local);
        const int32_t p[3] = {con->pos[0] + w.x, con->pos[1] + w.y, con->pos[2] + w.z};
        int32_t top = kNoUpperBound;
        InterpGroundHeights(terrain, p, &top, 0, 0);
        if (top < *high) *high = top;
    }
}

void CameraPathPoint(const int32_t orients[][9], const int32_t positions[][3], int count, float param,
                     bool turn, int32_t orientOut[9], int32_t posOut[3]) {
    if (count < 1) return;
    int i = static_cast<int>(param);
    if (i < 0) i = 0;
    if (i > count - 2) i = count > 1 ? count - 2 : 0;
    const float s = count > 1 ? param - float(i) : 0.0f;
    const int next = count > 1 ? i + 1 : i;
    if (turn) {
        Quaternion a, b, q;
        FixedToD3DMatrix(&a, reinterpret_cast<const FixMatrix*>(orients[i]));
        FixedToD3DMatrix(&b, reinterpret_cast<const FixMatrix*>(orients[next]));
        QuaternionSlerp(&q, a, b, s);
        D3DToFixedMatrix(reinterpret_cast<FixMatrix*>(orientOut), q);
    }
    const int before = i > 0 ? i - 1 : 0;
    const int after = next + 1 < count ? next + 1 : next;
    float p1[3], p2[3], t1[3], t2[3], out[3];
    for (int k = 0; k < 3; ++k) {
        p1[k] = float(positions[i][k]);
        p2[k] = float(positions[next][k]);
        t1[k] = (float(positions[next][k]) - float(positions[before][k])) * 0.5f;
        t2[k] = (float(positions[after][k]) - float(positions[i][k])) * 0.5f;
    }
    Vec3Hermite(out, p1, t1, p2, t2, s);
    for (int k = 0; k < 3; ++k) posOut[k] = static_cast<int32_t>(out[k]);
}

uintptr_t SatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: return reinterpret_cast<uintptr_t>(CreateCamera(SatCamera_itfc, 0x80040000u, sizeof(SatCameraData), "SatCamera data"));
        case ItfcMethod::PLACE:
            if (Sat(con)->placed) SatCamera_itfc(con, ItfcMethod::UNPLACE, 0);
            SatPlace(con);
            return 0;
        case ItfcMethod::TICK: SatTick(con, reinterpret_cast<const TickInput*>(arg)); return 0;
        case ItfcMethod::ATTACH: Attach(con, Sat(con), reinterpret_cast<construct*>(arg)); return 0;
        case ItfcMethod::ADDTARGET: {
            SatCameraData* d = Sat(con);
            auto* c = reinterpret_cast<construct*>(arg);
            if (!c || d->targetCount >= kMaxTargets) return 0;
            for (int i = 0; i < d->targetCount; ++i)
                if (d->targets[i] == c) return 0;
            d->targets[d->targetCount++] = c;
            FocusConstruct(c);
            RecomputeMinDistance(con, d, 1000);
            return 0;
        }
        case ItfcMethod::REMOVETARGET: {
            SatCameraData* d = Sat(con);
            for (int i = 0; i < d->targetCount; ++i)
                if (d->targets[i] == reinterpret_cast<construct*>(arg)) {
                    UnFocusConstruct(d->targets[i]);
                    d->targets[i] = d->targets[--d->targetCount];
                    RecomputeMinDistance(con, d, 1000);
                    break;
                }
            return 0;
        }
        case ItfcMethod::FRAMETARGETS: {
            bool jumped = false;
            return static_cast<uintptr_t>(FrameTargets(con, Sat(con), arg != 0, &jumped));
        }
        case ItfcMethod::FOLLOWTOGGLE: FollowToggle(con, Sat(con), reinterpret_cast<construct*>(arg)); return 0;
        case ItfcMethod::FOLLOWUNIT: FollowUnit(con, Sat(con), reinterpret_cast<construct*>(arg)); return 0;
        case ItfcMethod::GETLOOKAT:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), Sat(con)->lookAt, sizeof(int32_t) * 3);
            return 0;
        case ItfcMethod::SETLOOK: {
            SatCameraData* d = Sat(con);
            if (const auto* rec = reinterpret_cast<const ControlInput*>(arg))
                for (int k = 0; k < 3; ++k) d->look[k] = rec->axes[3 + k];
            d->yawRate = d->pitchRate = d->distanceRate = 0;
            return 0;
        }
        case ItfcMethod::SETMODE: {
            SatCameraData* d = Sat(con);
            d->mode = static_cast<int32_t>(arg);
            if (d->mode == 3 || d->mode == 4) d->pathParam = 0.0f;
            d->ticks = 0;
            return 0;
        }
        case ItfcMethod::CYCLEMODE: {
            SatCameraData* d = Sat(con);
            const int32_t before = d->mode;
            if (d->mode == 0) d->mode = arg ? 2 : 1;
            else if (d->mode == 1) d->mode = 2;
            else if (d->mode == 2) d->mode = 1;
            if (d->mode != before) d->ticks = 0;
            return 0;
        }
        case ItfcMethod::GETMODE: return static_cast<uintptr_t>(Sat(con)->mode);
        case ItfcMethod::VIEWINSIDE:
        case ItfcMethod::VIEWOUTSIDE:
            SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, con->pos, Orient(con), 1);
            return 0;
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(Sat(con)->damage);
        case ItfcMethod::GETSTATE: return 0;
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>("SatCamera");
        case ItfcMethod::UNPLACE:
            if (Sat(con)->placed) {
                UnMakeBuzy(con);
                Sat(con)->placed = 0;
            }
            return 0;
        case ItfcMethod::DESTROY:
            if (Sat(con)->placed) FatalError("remove first");
            UnfocusAll(Sat(con));
            FreeConstruct(con);
            return 0;
        default: break;
    }
    return ItfcUnknownMethod("SatCamera", method);
}

uintptr_t StatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateCamera(StatCamera_itfc, 0x80000000u, sizeof(GroundCameraData), "StatCamera data"));
        case ItfcMethod::TICK: StatTick(con); return 0;
        default: {
            bool handled = false;
            const uintptr_t r = GroundCameraMethod(con, method, arg, "StatCamera", &handled);
            return handled ? r : ItfcUnknownMethod("StatCamera", method);
        }
    }
}

uintptr_t WatchCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateCamera(WatchCamera_itfc, 0x80000000u, sizeof(GroundCameraData), "WatchCamera data"));
        case ItfcMethod::TICK: WatchTick(con); return 0;
        case ItfcMethod::SETWATCHVALUE: Ground(con)->watch = reinterpret_cast<construct*>(arg); return 0;
        default: {
            bool handled = false;
            const uintptr_t r = GroundCameraMethod(con, method, arg, "WatchCamera", &handled);
            return handled ? r : ItfcUnknownMethod("WatchCamera", method);
        }
    }
}

void RegisterCameraTypes() {
    const struct {
        const char* name;
        ItfcProc itfc;
    } types[] = {{"WayPointer", WayPointer_itfc}, {"StatCamera", StatCamera_itfc}, {"SatCamera", SatCamera_itfc},
                 {"MovieCamera", MovieCamera_itfc}};
    for (const auto& t : types)
        for (int i = 0; i < kItfcNamedSlotCount; ++i)
            if (std::strcmp(ItfcSlotNames[i], t.name) == 0) ItfcRegistry[i] = t.itfc;
    // Record/replay keeps a movie camera's saved form in its segments: a scene file's copy is checked.
    SetSavedBlockCheck(MovieCamera_itfc, MovieCamera_checkSaved);
}

// Only a satellite camera's block is read or written.
static bool IsSatCamera(const construct* con) { return con && con->itfc == SatCamera_itfc && con->itfcData; }

int32_t SatCameraTargetCount(construct* con) { return IsSatCamera(con) ? Sat(con)->targetCount : 0; }

void SetSatCameraHeading(construct* con, int32_t heading) {
    if (IsSatCamera(con)) Sat(con)->yaw = heading;
}

void SteerSatCamera(construct* con, int32_t horizontal, int32_t vertical, int32_t inOut) {
    if (!IsSatCamera(con)) return;
    SatCameraData* d = Sat(con);
    d->yawRate += horizontal;
    d->pitchRate += vertical;
    d->distanceRate += inOut;
}

void StopSatCameraSteering(construct* con) {
    if (IsSatCamera(con)) Sat(con)->yawRate = Sat(con)->pitchRate = Sat(con)->distanceRate = 0;
}

bool GetSatCameraState(construct* con, SatCameraState* out) {
    if (!IsSatCamera(con) || !out) return false;
    const SatCameraData* d = Sat(con);
    out->distance = d->distance;
    out->minDistance = d->minDistance;
    out->zoomSpeed = d->distanceRate;
    out->modeTicks = d->ticks;
    out->followed = d->targetCount > 0 ? d->targets[0] : nullptr;
    return true;
}

void SetSatCameraDistance(construct* con, int32_t distance) {
    if (IsSatCamera(con)) Sat(con)->distance = distance;
}
