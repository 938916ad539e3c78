// The wheeled drive: steering position and wheel lock, speed under throttle and brake, the unit on its
// contact corners, rest, the stealth engine run-down, brake lights, and the AI's steering.
#include "vehicles/modules/WheelDrive.h"

#include <cmath>
#include <cstring>

#include "ai/AIRecords.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "objects/EffectTypes.h"
#include "objects/UnitServices.h"
#include "objects/UnitShare.h"
#include "vehicles/modules/HullContact_local.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "world/Terrain.h"

namespace {

constexpr int64_t kOne30 = int64_t{1} << 30;
constexpr int32_t kReverseSpell = 70;  // ticks of backing up toward a point that lies behind
constexpr int32_t kForwardSpell = 50;  // ticks of driving forward toward a point ahead while reversing

int32_t ClampAbs(int32_t v, int32_t limit) {
    if (limit < 0) limit = -limit;
    return v > limit ? limit : (v < -limit ? -limit : v);
}

// The wheel lock of one update from the steering change e (or the autopilot's direction).
void SteerWheels(WheelDrive* d, const UnitShare* rec, int32_t e, int k) {
    const int32_t rate = d->wheelRecenterRate << k;
    if (!(rec && rec->autopilot)) {
        d->wheelLock = ClampAbs(static_cast<int32_t>(int64_t{d->wheelLock} - 64 * int64_t{e}), d->maxWheelLock);
        if (e == 0) d->wheelLock = TowardZero(d->wheelLock, rate);
        return;
    }
    const construct* con = d->g.con;
    const int64_t fx = con->orient[6], fz = con->orient[8];
    const int64_t x = rec->autopilotDir[0], z = rec->autopilotDir[2];
    float c = static_cast<float>(static_cast<double>(fz * x - fx * z) / 1073741824.0);
    if (fx * x + fz * z < 0) c = SignOrOne(c);
    const int32_t target = static_cast<int32_t>(std::trunc(-(static_cast<float>(d->maxWheelLock) * c)));
    d->wheelLock = d->wheelLock >= target ? d->wheelLock - rate : d->wheelLock + rate;
    d->wheelLock = ClampAbs(d->wheelLock, d->maxWheelLock);
}

// The speed of one update; returns the brake-light level.
int32_t Accelerate(WheelDrive* d, const UnitShare* rec, const ControlInput* control, int k) {
    const int32_t reverse = d->g.speedConstraint[0], forward = d->g.speedConstraint[1];
    if (rec && rec->autopilot) {
        d->speed = static_cast<int32_t>(std::trunc(static_cast<float>(forward) * 0.7f));
        return 0;
    }
    if (control && InputKeyDown(*control, kInputThrust1) && d->speed < forward) {
        d->speed += d->acceleration[0] << k;
        return 0;
    }
    if (control && InputKeyDown(*control, kInputThrust2) && d->speed > reverse) {
        d->speed -= d->acceleration[1] << k;
        return d->speed > 0 ? kBrakeLightLevel : 0;
    }
    const int32_t slack = 2 << k, fall = 4 << k;
    if (d->speed < 0) d->speed = d->speed < -slack ? d->speed + fall : 0;
    else if (d->speed > 0) d->speed = d->speed > slack ? d->speed - fall : 0;
    return 0;
}

}  // namespace

void WheelDrive_init(WheelDrive* d, construct* con, int32_t classWord, int32_t* light1, int32_t* light2,
                     int32_t* light3, int32_t* light4, int32_t* light5, int32_t* light6, int32_t* enginePowerWord) {
    GroundDrive_initBlock(&d->g, con, classWord, enginePowerWord);
    d->wheelLock = 0;
    d->speed = 0;
    d->verticalVelocity = 0;
    d->contacts = 10;
    d->dustCounter = 0;
    d->wheelAngle = 0;
    d->turnRate = ModuleRuleInt(ModuleUnitRule(con, "TurnRate"), 0);
    const Rule* acc = ModuleUnitRule(con, "acceleration");
    d->acceleration[0] = ModuleRuleInt(acc, 0);
    d->acceleration[1] = ModuleRuleInt(acc, 1);
    d->maxWheelLock = ModuleRuleInt(ModuleUnitRule(con, "MaxWheelLock"), 0);
    d->wheelRecenterRate = ModuleRuleInt(ModuleUnitRule(con, "WheelRecenterRate"), 0);
    d->torqueFactor = ModuleRuleInt(ModuleUnitRule(con, "TorqueFactor"), 0);
    const Rule* access = ModuleUnitRule(con, "AccessType");
    const AccessType type = NamedAccessType(access->info[0] ? access->info[0] : "");
    d->accessType = static_cast<int32_t>(type);
    d->blockedMask = GetBlockedMask(type);
    d->blockTest = 1;
    int32_t* const lights[kWheelLights] = {light1, light2, light3, light4, light5, light6};
    std::memcpy(d->lights, lights, sizeof d->lights);
    d->aiSpeed = d->aiLock = d->aiReverseTimer = 0;
    ChainDrive_engineView(&d->g, 0);
    ChainDrive_startSound(&d->g);
}

void WheelDrive_release(WheelDrive* d) { GroundDrive_releaseBlock(&d->g); }

void WheelDrive_update(WheelDrive* d, int16_t axis, int16_t* steer, UnitShare* rec, int k, ControlInput* control) {
    k = ClampTickShift(k);
    GroundDriveBlock& g = d->g;
    construct* con = g.con;
    int32_t t[3] = {0, g.jolt ? (Random() >> 25) : 0, 0};  // pitch (right row), yaw (up row), roll (forward row)

    EngineSound_follow(&g.engine, con, rec ? rec->velocity : nullptr, EngineBlend(d->speed, g.speedConstraint[1]));

    // The steering position follows the axis by at most TurnRate per tick; its change turns the wheels.
    const int16_t word = steer ? *steer : axis;
    int32_t e = static_cast<int16_t>(axis - word);
    const int64_t limit = int64_t{d->turnRate < 0 ? -d->turnRate : d->turnRate} << k;
    if (e > limit) e = static_cast<int32_t>(limit);
    if (e < -limit) e = static_cast<int32_t>(-limit);
    if (steer) *steer = static_cast<int16_t>(word + e);
    SteerWheels(d, rec, e, k);

    const bool thrust1 = control && InputKeyDown(*control, kInputThrust1);
    const bool ascend = control && InputKeyDown(*control, kInputAscend);
    g.soundState = (thrust1 || ascend) ? 1 : 0;

    // Stealth: the unit brakes to a stop and its engine stops once the power has run down.
    GroundDrive_engineMode(&g, control, d->speed > 0);
    GroundDrive_rampPower(&g, k);

    int32_t light = 0;
    if (d->contacts != 0) {
        light = Accelerate(d, rec, control, k);
        t[1] += static_cast<int32_t>(-(int64_t{d->torqueFactor} * d->speed * d->wheelLock) >> (20 - k));
    }
    for (int32_t* level : d->lights)
        if (level) *level = light;

    const int64_t angle = (int64_t{d->wheelAngle} + (int64_t{d->speed} << (k + 5))) % kFixFullTurn;
    d->wheelAngle = static_cast<int32_t>(angle < 0 ? angle + kFixFullTurn : angle);

    g.rest = (d->contacts == 4 && d->speed == 0 && hull::Abs(d->verticalVelocity) < hull::kRestVertical &&
              hull::Abs(t[1]) < hull::kRestTurn)
                 ? 1
                 : 0;
    if (g.jolt || g.wake) g.rest = 0;

    d->contacts = hull::TouchGround(&d->g, d->blockTest, d->blockedMask, nullptr, t);

    if (!g.rest) {
        d->verticalVelocity = hull::VerticalVelocity(d->verticalVelocity, d->contacts != 0, k);
        hull::DriveAlongHull(con, d->speed, d->contacts, k);
        con->pos[1] += d->verticalVelocity >> (8 - k);
        t[1] += hull::kUprightDrift;
        hull::TurnHull(con->orient, t);
    }

    // Dust behind a jeep that drives forward, every sixth such update.
    if (d->speed > 150 && LevelDustEmission() && ++d->dustCounter > 5) {
        EmitDust(con);
        d->dustCounter = 0;
    }

    g.jolt = 0;
    g.wake = 0;
}

void WheelDrive_steerAI(WheelDrive* d, ControlInput* control, UnitShare* rec, int k, const ThreatEntry* detect) {
    k = ClampTickShift(k);
    construct* con = d->g.con;
    const int32_t reverse = d->g.speedConstraint[0], forward = d->g.speedConstraint[1];
    if (rec && !rec->aimPointSet) {
        d->aiSpeed = d->aiLock = 0;
        const int32_t* point = nullptr;
        if (d->g.classWord) {
            if (rec->target && detect && !(detect->flags & 0x20)) point = detect->pos;
            else if (rec->alertCountdown > 0) point = rec->alertPoint;
        }
        DriveBearing b;
        if (point) DriveAI_bearing(con, point, &b);
        // Standing on the point leaves no direction to turn to.
        if (point && b.distance != 0) {
            float c = b.sine;
            if (b.cosine < 0.0f) c = SignOrOne(c);
            d->aiLock = static_cast<int32_t>(std::trunc(static_cast<float>(d->maxWheelLock) * c));
            d->aiSpeed = static_cast<int32_t>(std::trunc(2.0f * std::fabs(c) * static_cast<float>(reverse)));
        }
    } else if (rec) {
        DriveBearing b;
        DriveAI_bearing(con, rec->aimPoint, &b);
        if (DriveAI_arrive(con, rec, b.distance)) {
            // Arrived: nothing more to drive toward.
            d->aiSpeed = d->aiLock = 0;
        } else {
            const int64_t fx = con->orient[6], fz = con->orient[8];
            const int64_t q = fz * b.dir[0] - fx * b.dir[2];
            const int64_t p = fz * b.dir[2] + fx * b.dir[0];
            const int64_t full = q < 0 ? -kOne30 : kOne30;
            const int64_t a = p < 0 ? full : q;
            const int64_t bb = p >= 0 ? full : q;
            const int32_t tick = 1 << k;
            if (!rec->aimPointFlag) {
                if (p < 0 && d->aiReverseTimer == 0) d->aiReverseTimer = kReverseSpell;
                if (d->aiReverseTimer > 0) {
                    d->aiLock = static_cast<int32_t>(a >> 14);
                    d->aiSpeed = reverse;
                    d->aiReverseTimer = d->aiReverseTimer > tick ? d->aiReverseTimer - tick : 0;
                } else {
                    d->aiLock = static_cast<int32_t>(-a >> 14);
                    d->aiSpeed = forward;
                }
            } else {
                if (p > 0 && d->aiReverseTimer == 0) d->aiReverseTimer = kForwardSpell;
                if (d->aiReverseTimer > 0) {
                    d->aiLock = static_cast<int32_t>(bb >> 14);
                    d->aiSpeed = forward;
                    d->aiReverseTimer = d->aiReverseTimer > tick ? d->aiReverseTimer - tick : 0;
                } else {
                    d->aiLock = static_cast<int32_t>(-bb >> 14);
                    d->aiSpeed = reverse;
                }
            }
            if (rec->giveWayCountdown != 0 && rec->waiting) d->aiSpeed = 0;
        }
    }

    const int64_t ds = int64_t{d->aiSpeed} - d->speed;
    if (ds >= 11) SetInputKey(control, kInputThrust1, true);
    else if (ds < 0) SetInputKey(control, kInputThrust2, true);
    const int64_t dl = int64_t{d->aiLock} - d->wheelLock;
    const int32_t nudge = 16 << k;
    if (dl > 10) control->axes[kAxisChassis] = static_cast<int16_t>(control->axes[kAxisChassis] - nudge);
    else if (dl < -10) control->axes[kAxisChassis] = static_cast<int16_t>(control->axes[kAxisChassis] + nudge);
}

void WheelDrive_copy(WheelDrive* d, const WheelDrive* src) {
    GroundDriveBlock& g = d->g;
    const GroundDriveBlock& s = src->g;
    GroundDrive_copyBlock(&g, &s);
    d->acceleration[0] = src->acceleration[0];
    d->acceleration[1] = src->acceleration[1];
    d->verticalVelocity = src->verticalVelocity;
    d->contacts = src->contacts;
    d->accessType = src->accessType;
    d->blockedMask = src->blockedMask;
    d->maxWheelLock = src->maxWheelLock;
    d->speed = src->speed;
    d->turnRate = src->turnRate;
    d->wheelLock = src->wheelLock;
    d->wheelAngle = src->wheelAngle;
    d->wheelRecenterRate = src->wheelRecenterRate;
    d->aiSpeed = src->aiSpeed;
    d->aiLock = src->aiLock;
    d->aiReverseTimer = src->aiReverseTimer;
    EngineSound_reconcile(&g.engine, g.con, s.engine.soundOn);
}
