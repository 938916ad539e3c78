// The scenery cameras. The satellite camera frames a group of units from above and orbits it under the
// player's look axes; it keeps its view above the ground. The static and the watch camera are not built
// yet: their dispatchers answer 0 to every method, so no such camera is made.
#include "objects/Cameras.h"

#include <cstdlib>
#include <initializer_list>
#include <cstring>

#include "ai/UnitAI.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "render/Viewport.h"
#include "world/Construct.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

namespace {

constexpr int kMaxTargets = 32;
constexpr int32_t kStartPitch = 128678;
constexpr int32_t kMaxPitch = 205887;
constexpr int32_t kMaxDistance = 200000;

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
    int32_t state[3];  // GETSTATE: none
};

SatCameraData* Data(construct* con) { return static_cast<SatCameraData*>(con->itfcData); }

int32_t Radius(const construct* c) { return c ? c->sphere.radius : 0; }

void RecomputeMinDistance(construct* con, SatCameraData* d, int32_t extra) {
    int32_t largest = 0;
    for (int i = 0; i < d->targetCount; ++i)
        if (Radius(d->targets[i]) > largest) largest = Radius(d->targets[i]);
    d->minDistance = Radius(con) + extra + largest;
}

// Orientation from the yaw and pitch, position back from the look-at point along the view.
void Frame(construct* con, SatCameraData* d) {
    FixMatrix m;
    MatrixFromYawPitch(&m, d->yaw, d->pitch);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    for (int k = 0; k < 3; ++k)
        con->pos[k] = d->lookAt[k] - static_cast<int32_t>((int64_t(m.m[6 + k]) * d->effectiveDistance) / 32768);
}

// The highest ground or water under the camera's box (its lower corners).
int32_t GroundUnder(const construct* con) {
    if (!CurrentMatrix) return INT32_MIN;
    int32_t low = INT32_MIN;
    for (int k : {0, 3, 4, 7}) {
        FixVec local = {con->box.corners[k][0], con->box.corners[k][1], con->box.corners[k][2]}, w;
        FixMatrix m;
        std::memcpy(m.m, con->orient, sizeof m.m);
        RotateVecT(&w, &m, &local);
        const int32_t p[3] = {con->pos[0] + w.x, con->pos[1] + w.y, con->pos[2] + w.z};
        const int32_t g = InterpGroundHeight(CurrentMatrix, p, nullptr);
        const int32_t water = WaterLevelAt(p[0], p[2]) * 8;
        if (g > low) low = g;
        if (water > low) low = water;
    }
    return low;
}

// Raises the view (or pulls it in) until the camera stands 5000 above the ground.
void AvoidGround(construct* con, SatCameraData* d) {
    for (int guard = 0; guard < 2000; ++guard) {
        const int32_t low = GroundUnder(con);
        if (low == INT32_MIN || con->pos[1] >= low + 5000) return;
        if (d->pitch + 200 <= kMaxPitch) {
            d->pitch += 200;
        } else {
            d->effectiveDistance -= 2000;
            if (d->effectiveDistance < d->minDistance) {
                d->effectiveDistance = d->minDistance;
                Frame(con, d);
                con->pos[1] = low + 5000;
                return;
            }
        }
        Frame(con, d);
    }
}

void Tick(construct* con, const TickInput* in) {
    SatCameraData* d = Data(con);
    int32_t delta[3] = {0, 0, 0};
    if (in)
        for (int k = 0; k < 3; ++k) {
            const int32_t change = (in->records[1].axes[3 + k] - d->look[k]) >> 5;
            d->look[k] += change;
            delta[k] = change;
        }
    ++d->ticks;
    if (d->targetCount > 0) {
        int64_t sum[3] = {0, 0, 0};
        for (int i = 0; i < d->targetCount; ++i)
            for (int k = 0; k < 3; ++k) sum[k] += d->targets[i]->pos[k];
        for (int k = 0; k < 3; ++k) d->lookAt[k] = static_cast<int32_t>(sum[k] / d->targetCount);
    }
    if (d->mode == 6) return;
    if (PlayerUnit) {
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
        *r = (*r * 240) >> 8;
        if (*r < 0) *r += 1;
    }
    d->effectiveDistance = d->distance;
    Frame(con, d);
    AvoidGround(con, d);
    d->yaw += d->yawRate;
    d->pitch += d->pitchRate;
    d->distance -= d->distanceRate;
}

void Place(construct* con) {
    SatCameraData* d = Data(con);
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
    d->ticks = 0;
    Frame(con, d);
    AvoidGround(con, d);
    MakeBuzy(con, 0);
}

}  // namespace

uintptr_t SatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = CreateConstruct(0, 0x80040000u);
            made->itfc = SatCamera_itfc;
            auto* d = static_cast<SatCameraData*>(qzAlloc(sizeof(SatCameraData), "SatCamera data"));
            std::memset(d, 0, sizeof *d);
            made->itfcData = d;
            SetCameraBounds(made);
            static const uint8_t kCorners[8] = {0, 3, 4, 7, 1, 2, 5, 6};
            std::memcpy(made->sampleCorners, kCorners, sizeof kCorners);
            made->sampleCornerCount = 8;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::PLACE:
            if (Data(con)->placed) SatCamera_itfc(con, ItfcMethod::UNPLACE, 0);
            Place(con);
            return 0;
        case ItfcMethod::TICK: Tick(con, reinterpret_cast<const TickInput*>(arg)); return 0;
        case ItfcMethod::ATTACH: {
            SatCameraData* d = Data(con);
            for (int i = 0; i < d->targetCount; ++i) UnFocusConstruct(d->targets[i]);
            d->targetCount = 0;
            if (auto* unit = reinterpret_cast<construct*>(arg)) {
                d->targets[d->targetCount++] = unit;
                FocusConstruct(unit);
            }
            d->minDistance = Radius(con) + Radius(reinterpret_cast<construct*>(arg));
            return 0;
        }
        case ItfcMethod::ADDTARGET: {
            SatCameraData* d = Data(con);
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
            SatCameraData* d = Data(con);
            for (int i = 0; i < d->targetCount; ++i)
                if (d->targets[i] == reinterpret_cast<construct*>(arg)) {
                    UnFocusConstruct(d->targets[i]);
                    d->targets[i] = d->targets[--d->targetCount];
                    RecomputeMinDistance(con, d, 1000);
                    break;
                }
            return 0;
        }
        case ItfcMethod::GETLOOKAT:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), Data(con)->lookAt, sizeof(int32_t) * 3);
            return 0;
        case ItfcMethod::SETLOOK: {
            SatCameraData* d = Data(con);
            if (const auto* rec = reinterpret_cast<const ControlInput*>(arg))
                for (int k = 0; k < 3; ++k) d->look[k] = rec->axes[3 + k];
            d->yawRate = d->pitchRate = d->distanceRate = 0;
            return 0;
        }
        case ItfcMethod::SETMODE: {
            SatCameraData* d = Data(con);
            d->mode = static_cast<int32_t>(arg);
            d->ticks = 0;
            return 0;
        }
        case ItfcMethod::GETMODE: return static_cast<uintptr_t>(Data(con)->mode);
        case ItfcMethod::VIEWINSIDE:
        case ItfcMethod::VIEWOUTSIDE:
            SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, con->pos,
                              reinterpret_cast<const FixMatrix*>(con->orient), 1);
            return 0;
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(Data(con)->damage);
        case ItfcMethod::GETSTATE: return 0;
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>("SatCamera");
        case ItfcMethod::UNPLACE:
            if (Data(con)->placed) {
                UnMakeBuzy(con);
                Data(con)->placed = 0;
            }
            return 0;
        case ItfcMethod::DESTROY:
            if (Data(con)->placed) {
                DebugPrintf("SatCamera: remove first\n");
                return 0;
            }
            FreeConstruct(con);
            return 0;
        default:
            break;
    }
    return ItfcUnknownMethod("SatCamera", method);
}

uintptr_t StatCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con, (void)method, (void)arg;
    return 0;
}
uintptr_t WatchCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    (void)con, (void)method, (void)arg;
    return 0;
}

// Only a satellite camera's block is read or written.
static bool IsSatCamera(const construct* con) { return con && con->itfc == SatCamera_itfc && con->itfcData; }

int32_t SatCameraTargetCount(construct* con) { return IsSatCamera(con) ? Data(con)->targetCount : 0; }

void SetSatCameraHeading(construct* con, int32_t heading) {
    if (IsSatCamera(con)) Data(con)->yaw = heading;
}
