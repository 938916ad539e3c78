// The weapon turret: rules, turning within the limits, tracking a point, the turn sound, copy and status.
// The player's aiming and the howitzers' shot probes are in WeaponTurret_aim.cpp.
#include "vehicles/modules/WeaponTurret.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ai/AIMessage.h"
#include "ai/RecordReplay.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "vehicles/modules/VehicleModule.h"
#include "vehicles/modules/WeaponTurret_local.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Player.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace {

constexpr int32_t kTurn = kFixFullTurn;  // 411774
constexpr int32_t kYawHalf = 205887;
constexpr int32_t kMoveBehind = 512;

int32_t Report(const WeaponTurret* t, TurretLimit which) {
    return t->report[static_cast<int>(which)].flag;
}

void SetReport(WeaponTurret* t, TurretLimit which, int32_t amount) {
    TurretReport& r = t->report[static_cast<int>(which)];
    r.amount = amount;
    r.flag = amount > 0;
}

void ReadLimit(const Unit* unit, const char* key, int32_t out[2]) {
    const Rule* rule = NamedUnitRule(unit, "%s", key);
    out[0] = rule->count > 0 ? TruncateToInt32(rule->values[0]) : 0;
    out[1] = rule->count > 1 ? TruncateToInt32(rule->values[1]) : 0;
}

int16_t Wrap16(int32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// The turn sound for one call of Turret_aim: full gain while the timer runs, then fading out.
void UpdateTurnSound(WeaponTurret* t, int32_t yawChange, int32_t pitchChange, UnitShare* rec, int shift) {
    if (std::abs(yawChange) > 100 || std::abs(pitchChange) > 100) t->soundTimer = kTurretSoundTicks;
    else if (t->soundTimer > 0) t->soundTimer = std::max(0, t->soundTimer - (1 << shift));

    static const int32_t kZero[3] = {0, 0, 0};
    const int32_t* velocity = rec ? rec->velocity : kZero;
    dxgl_SoundStreamBuffer* live = dxgl_DescSound(&t->turnSound);
    if (t->soundTimer > 0) {
        t->soundGain = 1.0f;
        if (live) {
            live->volumeFactor = t->soundGain;
            dxgl_SetSoundPosition(&t->turnSound, t->con->pos, velocity, std::abs(yawChange) * 256 / 960, 0);
        } else if (t->soundWanted && PlaySampleFor(&t->turnSound, kSoundPositional, 1, 1)) {  // looping: deferred
            dxgl_SetSoundPosition(&t->turnSound, t->con->pos, velocity, 0, 0);
            if (dxgl_SoundStreamBuffer* b = dxgl_DescSound(&t->turnSound)) {
                b->volumeFactor = t->soundGain;
                dxgl_UpdateSound3D(b);
            }
        }
        return;
    }
    if (t->soundGain <= 0.0f) return;
    t->soundGain *= 0.86f;
    if (t->soundGain < 0.02f) {
        t->soundGain = 0.0f;
        if (live) dxgl_FreeSound(&t->turnSound.buffer);
    } else if (live) {
        live->volumeFactor = t->soundGain;
    }
}

}  // namespace

namespace turret {

const int32_t* YawLimits(const WeaponTurret* t) {
    return t->cockpitLimits && !RecordReplayActive ? t->yawLimitsCockpit : t->yawLimits;
}
const int32_t* PitchLimits(const WeaponTurret* t) {
    return t->cockpitLimits && !RecordReplayActive ? t->pitchLimitsCockpit : t->pitchLimits;
}

}  // namespace turret

void WeaponTurret_init(WeaponTurret* t, int markers, construct* con, construct* turretPart, construct* gun) {
    std::memset(t, 0, sizeof *t);
    t->con = con;
    t->turret = turretPart ? turretPart : con;
    t->gun = gun ? gun : t->turret;
    const Unit* unit = con->unit;
    const Rule* rate = NamedUnitRule(unit, "TopTurnRate");
    const Rule* recenter = NamedUnitRule(unit, "TopRecenterRate");
    for (int i = 0; i < 2; ++i) {
        t->turnRate[i] = rate->count > i ? TruncateToInt32(rate->values[i]) : 0;
        t->recenterRate[i] = recenter->count > i ? TruncateToInt32(recenter->values[i]) : 0;
    }
    ReadLimit(unit, "YawConstraint", t->yawLimits);
    ReadLimit(unit, "PitchConstraint", t->pitchLimits);
    ReadLimit(unit, "YawConstraint_cockpit", t->yawLimitsCockpit);
    ReadLimit(unit, "PitchConstraint_cockpit", t->pitchLimitsCockpit);
    const char* prefix = unit->rulePrefix ? unit->rulePrefix : unit->name;
    if (!LookupSound(&t->turnSound, "%s_FX_TopTurn", prefix))
        FatalErrorF("Error(WeaponTurret_init): rule %s_FX_TopTurn not found", prefix);
    t->yaw = kTurretYawInit;
    t->pitch = kTurretPitchLevel;
    if (markers) t->markers = turret::CreateMarkerPool();
    t->ready = 1;
    Turret_wantSound(t);
}

void Turret_release(WeaponTurret* t) {
    if (!t->ready) return;
    Turret_stopSound(t);
    if (t->markers) {
        turret::DeleteMarkerPool(t->markers);
        t->markers = nullptr;
    }
    t->ready = 0;
}

void Turret_wantSound(WeaponTurret* t) {
    t->soundWanted = 1;
}

void Turret_stopSound(WeaponTurret* t) {
    if (dxgl_DescSound(&t->turnSound)) dxgl_FreeSound(&t->turnSound.buffer);
    t->turnSound.buffer = nullptr;
    t->soundGain = 0.0f;
    t->soundWanted = 0;
}

void Turret_setAltLimits(WeaponTurret* t, int cockpit) {
    t->cockpitLimits = cockpit ? 1 : 0;
}

void Turret_aim(WeaponTurret* t, int32_t wantedYawAxis, int32_t wantedPitchAxis, int32_t* yawAxis,
                int32_t* pitchAxis, UnitShare* rec, int shift) {
    // 1. The smoothed axes follow the wanted ones at most at the turn rate.
    int32_t dy = Wrap16(wantedYawAxis - *yawAxis);
    int32_t dp = Wrap16(wantedPitchAxis - *pitchAxis);
    const int32_t limit = t->turnRate[0] << shift;
    FixVec d{dy, dp, 0};
    const int32_t length = Length2(&d);
    if (length > limit) {
        const int32_t f = FixDiv(limit, length);
        dy = static_cast<int32_t>((int64_t{dy} * f) >> 15);
        dp = static_cast<int32_t>((int64_t{dp} * f) >> 15);
    }
    *yawAxis += dy;
    *pitchAxis += dp;

    // 2. The first call only takes the axes in.
    if (!t->axesSeen) {
        t->lastYawAxis = wantedYawAxis;
        t->lastPitchAxis = wantedPitchAxis;
        t->axesSeen = 1;
    }

    const int32_t oldYaw = t->yaw, oldPitch = t->pitch;
    if (!t->recenterYaw && !t->recenterPitch) {
        // 3. Turning within the selected limits. An angle outside its range (limits just switched) is
        // not clamped until it has come back inside.
        int32_t yaw = oldYaw - 64 * dy;
        int32_t pitch = oldPitch - 64 * dp;
        const int32_t* yl = turret::YawLimits(t);
        const int32_t* pl = turret::PitchLimits(t);
        if (yl[0] != 0) {
            const int32_t lo = kTurretYawAhead + yl[0], hi = kTurretYawAhead + yl[1];
            if (oldYaw >= lo && oldYaw <= hi) yaw = std::clamp(yaw, lo, hi);
        }
        if (pl[0] != 0) {
            const int32_t lo = kTurretPitchLevel - pl[1], hi = kTurretPitchLevel - pl[0];
            if (oldPitch >= lo && oldPitch <= hi) pitch = std::clamp(pitch, lo, hi);
        }
        t->yaw = yaw;
        t->pitch = pitch;
    } else {
        // 4. Recentring: stops within one step of straight ahead without snapping to it.
        const int32_t ry = t->recenterRate[0] << shift;
        const int32_t rp = t->recenterRate[1] << shift;
        if (t->recenterYaw) {
            if (t->yaw > kTurretYawAhead + ry || t->yaw < kTurretPitchLevel) t->yaw -= ry;
            else if (t->yaw < kTurretYawAhead - ry) t->yaw += ry;
            else t->recenterYaw = 0;
        }
        if (t->recenterPitch) {
            if (t->pitch > kTurretPitchLevel + rp) t->pitch -= rp;
            else if (t->pitch < kTurretPitchLevel - rp) t->pitch += rp;
            else t->recenterPitch = 0;
        }
    }

    // 5. The yaw stays in 0..514717; the turn sound hears the turn, not the wrap.
    const int32_t yawChange = t->yaw - oldYaw, pitchChange = t->pitch - oldPitch;
    while (t->yaw < 0) t->yaw += kTurn;
    while (t->yaw > kTurretYawTop) t->yaw -= kTurn;
    t->lastYawAxis = wantedYawAxis;
    t->lastPitchAxis = wantedPitchAxis;

    // 6. The turn sound.
    UpdateTurnSound(t, yawChange, pitchChange, rec, shift);
}

void Turret_trackPoint(WeaponTurret* t, int32_t* yawAxis, int32_t* pitchAxis, int shift, const FixVec* dir,
                       const int32_t point[3], int32_t size, int32_t distance, float divergence) {
    const construct* gun = t->gun;
    const auto* gunOrient = reinterpret_cast<const FixMatrix*>(gun->orient);

    // 1. The direction, turned by the divergence about the gun's up axis, taken into the gun's frame.
    FixVec world{0, 0, 0};
    if (dir) {
        world = *dir;
    } else {
        FixVec to{point[0] - gun->pos[0], point[1] - gun->pos[1], point[2] - gun->pos[2]};
        NormaliseF(&world, &to);
    }
    if (divergence != 0.0f) {
        FixVec up{gun->orient[3], gun->orient[4], gun->orient[5]};
        FixMatrix turn;
        MatrixFromDirection2(&turn, &up, TruncateToInt32(divergence));
        FixVec turned;
        RotateVec(&turned, &turn, &world);
        world = turned;
    }
    FixVec local;
    RotateVec(&local, gunOrient, &world);

    // 2. Pitch.
    const int32_t* pl = turret::PitchLimits(t);
    const int32_t wantedPitch = t->pitch - FixAsin(2 * local.y);
    if (pl[0] != 0) {
        SetReport(t, TurretLimit::PitchLow, kTurretPitchLevel - pl[1] - wantedPitch);
        SetReport(t, TurretLimit::PitchHigh, pl[0] + wantedPitch - kTurretPitchLevel);
    } else {
        SetReport(t, TurretLimit::PitchLow, 0);
        SetReport(t, TurretLimit::PitchHigh, 0);
    }

    // 3. Yaw, never through the back of a limited turret.
    const int32_t own = t->yaw - kTurretYawAhead;
    int32_t wanted = own - FixAtan2(local.x, local.z);
    while (wanted > kYawHalf) wanted -= kTurn;
    while (wanted < -kYawHalf) wanted += kTurn;
    if (own >= kFixQuarterTurn && wanted < -kTurretPitchLevel) wanted += kTurn;
    else if (own < -kTurretPitchLevel && wanted >= kFixQuarterTurn) wanted -= kTurn;
    const int32_t* yl = turret::YawLimits(t);
    if (yl[0] != 0) {
        SetReport(t, TurretLimit::YawLow, yl[0] - wanted);
        SetReport(t, TurretLimit::YawHigh, wanted - yl[1]);
    } else {
        SetReport(t, TurretLimit::YawLow, 0);
        SetReport(t, TurretLimit::YawHigh, 0);
    }

    // 4. The long way round: a limited turret whose way to the point passes the back turns the other way.
    t->longWayPrev = t->longWayNow;
    t->longWayNow = 0;
    if (t->longWayCountdown > 0) {
        --t->longWayCountdown;
    } else if (yl[0] != 0 && ((own >= 0) == (wanted >= 0)) && std::abs(own) + std::abs(wanted) > kYawHalf) {
        t->longWayNow = 1;
    }
    if (t->longWayPrev && !t->longWayNow) t->longWayCountdown = 10 << shift;

    // 5. Axis moves, in 16-bit arithmetic.
    const int32_t sense = t->longWayNow ? -1 : 1;
    if (local.z < 0) {
        if (local.x > 0) *yawAxis = Wrap16(*yawAxis + sense * kMoveBehind);
        else if (local.x < 0) *yawAxis = Wrap16(*yawAxis - sense * kMoveBehind);
    } else {
        *yawAxis = Wrap16(*yawAxis + sense * (local.x >> 6));
        *pitchAxis = Wrap16(*pitchAxis + (local.y >> 6));
    }

    // 6. On target.
    const int32_t tolerance = distance != 0 ? static_cast<int32_t>((int64_t{size} * 2048) / distance) : 100;
    t->onTarget = std::abs(local.x >> 4) < tolerance && std::abs(local.y >> 4) < tolerance && local.z >= 1;
}

void Turret_aimAtUnit(WeaponTurret* t, ControlInput* ctl, UnitShare* rec, int shift) {
    construct* target = rec ? rec->target : nullptr;
    if (!target) return;
    // The target's bounding-sphere centre, recomputed once per tick.
    SphereRecord& sphere = target->sphere;
    if (sphere.stamp != static_cast<int32_t>(FrameCounter)) {
        FixVec local{sphere.centre[0], sphere.centre[1], sphere.centre[2]};
        FixVec world;
        RotateVecT13(&world, reinterpret_cast<const FixMatrix*>(target->orient), &local);
        sphere.world[0] = world.x + target->pos[0];
        sphere.world[1] = world.y + target->pos[1];
        sphere.world[2] = world.z + target->pos[2];
        sphere.stamp = static_cast<int32_t>(FrameCounter);
    }
    // The aim sweeps from +D to -D while the unit's aiming counter runs from 0 to 110.
    const float c = static_cast<float>(rec->wobbleCountdown);
    const float divergence = (2.0f * (1.0f - c / 110.0f) - 1.0f) * rec->aimDivergence;
    // The distance is the one the threat detection recorded for the target (sensor to sensor).
    const int32_t distance = rec->detect.distance;
    int32_t yawAxis = ctl->axes[kAxisTorsoYaw], pitchAxis = ctl->axes[kAxisTorsoPitch];
    Turret_trackPoint(t, &yawAxis, &pitchAxis, shift, nullptr, sphere.world, sphere.radius, distance, divergence);
    ctl->axes[kAxisTorsoYaw] = Wrap16(yawAxis);
    ctl->axes[kAxisTorsoPitch] = Wrap16(pitchAxis);
}

void Turret_aimAtPoint(WeaponTurret* t, ControlInput* ctl, UnitShare* rec, int shift) {
    if (!rec || !rec->aimPointSet) return;
    int32_t point[3] = {rec->aimPoint[0], t->con->pos[1], rec->aimPoint[2]};
    FixVec own{t->con->pos[0], t->con->pos[1], t->con->pos[2]};
    FixVec p{point[0], point[1], point[2]};
    const int32_t distance = Distance3F(&own, &p);
    if (distance >= 10000) {
        if (CurrentMatrix) point[1] = InterpGroundHeight(CurrentMatrix, point, nullptr);
        int32_t yawAxis = ctl->axes[kAxisTorsoYaw], pitchAxis = ctl->axes[kAxisTorsoPitch];
        Turret_trackPoint(t, &yawAxis, &pitchAxis, shift, nullptr, point, 5000, distance, 0.0f);
        ctl->axes[kAxisTorsoYaw] = Wrap16(yawAxis);
        ctl->axes[kAxisTorsoPitch] = Wrap16(pitchAxis);
    } else {
        t->onTarget = 1;
    }
    if (!t->onTarget) return;
    rec->aimPointSet = 0;
    construct* con = t->con;
    if (con->clan) PostAIMessage(con->clan, NewAIMessage(con->clan, 10, 0, con, nullptr, nullptr, nullptr));
}

void Turret_copy(WeaponTurret* t, const WeaponTurret* src) {
    t->yaw = src->yaw;
    t->pitch = src->pitch;
    t->recenterYaw = src->recenterYaw;
    t->recenterPitch = src->recenterPitch;
    t->onTarget = src->onTarget;
    std::memcpy(t->turnRate, src->turnRate, sizeof t->turnRate);
    std::memcpy(t->recenterRate, src->recenterRate, sizeof t->recenterRate);
    t->report[static_cast<int>(TurretLimit::PitchLow)].flag = Report(src, TurretLimit::PitchLow);
    t->report[static_cast<int>(TurretLimit::PitchHigh)].flag = Report(src, TurretLimit::PitchHigh);
    std::memcpy(t->yawLimits, src->yawLimits, sizeof t->yawLimits);
    std::memcpy(t->pitchLimits, src->pitchLimits, sizeof t->pitchLimits);
    std::memcpy(t->yawLimitsCockpit, src->yawLimitsCockpit, sizeof t->yawLimitsCockpit);
    std::memcpy(t->pitchLimitsCockpit, src->pitchLimitsCockpit, sizeof t->pitchLimitsCockpit);
    t->soundTimer = src->soundTimer;
    t->spare = src->spare;
    if (src->soundWanted && !t->soundWanted) Turret_wantSound(t);
    else if (!src->soundWanted && t->soundWanted) Turret_stopSound(t);
}

void Turret_status(WeaponTurret* t, uint32_t* words) {
    const uint32_t part[9] = {
        static_cast<uint32_t>(t->yawLimits[0]),   static_cast<uint32_t>(t->yawLimits[1]),
        static_cast<uint32_t>(t->pitchLimits[0]), static_cast<uint32_t>(t->pitchLimits[1]),
        1u, 0u, 0u,
        static_cast<uint32_t>(Report(t, TurretLimit::PitchLow)),
        static_cast<uint32_t>(Report(t, TurretLimit::PitchHigh)),
    };
    std::memcpy(words, part, sizeof part);
}
