// The tracked drive: throttle and track differential, the hull on its contact corners, rest, the engine
// power ramp of the stealth mode, and the AI's steering toward a destination or a point to face.
#include "vehicles/modules/ChainDrive.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "objects/EffectTypes.h"
#include "objects/WeaponTypes.h"
#include "objects/UnitServices.h"
#include "objects/UnitShare.h"
#include "vehicles/modules/HullContact_local.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/Level.h"
#include "world/Terrain.h"

namespace {

float Clamp1(float v) { return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v); }

// The steering word's step of this update: axis - word as a signed 16-bit value, no longer than
// TurnRate << k.
int32_t SteeringStep(int16_t axis, int16_t word, int32_t turnRate, int k) {
    int32_t d = static_cast<int16_t>(axis - word);
    const int64_t limit = int64_t{turnRate < 0 ? -turnRate : turnRate} << k;
    if (d > limit) d = static_cast<int32_t>(limit);
    if (d < -limit) d = static_cast<int32_t>(-limit);
    return d;
}

// The AI's turn toward a point: s and c of the bearing of the horizontal direction dir (1.15) against
// the heading (hx, hz) (1.15), each x 2^-30.
void Bearing(int64_t hx, int64_t hz, const FixVec& dir, float* s, float* c) {
    *s = static_cast<float>(static_cast<double>(hz * dir.x - hx * dir.z) / 1073741824.0);
    *c = static_cast<float>(static_cast<double>(hz * dir.z + hx * dir.x) / 1073741824.0);
}

constexpr int32_t kTrackPointKind = 7;  // the anchors of the two tracks

// The track point's place in the world now.
void TrackPointNow(const construct* con, const int32_t local[3], int32_t out[3]) {
    const FixVec v{local[0], local[1], local[2]};
    FixVec w;
    RotateVecTSafe(&w, reinterpret_cast<const FixMatrix*>(con->orient), &v);
    out[0] = w.x + con->pos[0];
    out[1] = w.y + con->pos[1];
    out[2] = w.z + con->pos[2];
}

// With two track points the drive gets a pool of marks made from the type's object folder.
void CreateMarkPool(ChainDrive* d, construct* con, const char* objectFolder) {
    d->markPool = nullptr;
    d->lastMark[0] = d->lastMark[1] = nullptr;
    int found = 0;
    for (int i = 0; i < con->spotCount && con->spots && found < 2; ++i)
        if (con->spots[i].kind == kTrackPointKind) std::memcpy(d->trackPoint[found++], con->spots[i].offset, sizeof d->trackPoint[0]);
    if (found < 2) return;
    char name[64];
    std::snprintf(name, sizeof name, "trails %d", NewConstructSerial());
    d->markPool = CreateConstructPool(kTrackMarks, name);
    for (int i = 0; i < kTrackMarks; ++i) {
        auto* mark = reinterpret_cast<construct*>(
            Trail_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(objectFolder ? objectFolder : "")));
        if (mark) AppendToConstructPool(d->markPool, mark);
    }
    for (int t = 0; t < 2; ++t) TrackPointNow(con, d->trackPoint[t], d->lastMarked[t]);
}

// A mark where a track has moved far enough from its last one, flat along the way it came, linked in as
// the newest of its track's chain.
void LayTrackMarks(ChainDrive* d, construct* con) {
    for (int t = 0; t < 2; ++t) {
        TrackPointNow(con, d->trackPoint[t], d->trackNow[t]);
        const FixVec back{d->lastMarked[t][0] - d->trackNow[t][0], d->lastMarked[t][1] - d->trackNow[t][1],
                          d->lastMarked[t][2] - d->trackNow[t][2]};
        if (Length3F(&back) <= kTrackMarkSpacing) continue;
        construct* mark = NextFreeInConstructPool(d->markPool);
        if (!mark) continue;
        CreateQZEvent(QZEventKind::Buzy2, mark);
        ActivateConstruct(mark);
        PlaceRelativeToOwner(con, mark, d->trackPoint[t]);
        FixVec f{0, 0, 32768};
        NormaliseF(&f, &back);
        FixVec r{-f.z, 0, f.x};
        Normalise(&r, &r);
        const FixVec up{static_cast<int32_t>((int64_t(r.y) * f.z - int64_t(r.z) * f.y) >> 15),
                        static_cast<int32_t>((int64_t(r.z) * f.x - int64_t(r.x) * f.z) >> 15),
                        static_cast<int32_t>((int64_t(r.x) * f.y - int64_t(r.y) * f.x) >> 15)};
        const int32_t rows[9] = {r.x, r.y, r.z, up.x, up.y, up.z, f.x, f.y, f.z};
        std::memcpy(mark->orient, rows, sizeof rows);
        std::memcpy(d->lastMarked[t], mark->pos, sizeof d->lastMarked[t]);
        CallItfc(mark, ItfcMethod::ATTACH, kTrackMarkOpacity);
        CallItfc(mark, ItfcMethod::SETPARAMS, reinterpret_cast<uintptr_t>(d->lastMark[t]));
        d->lastMark[t] = mark;
    }
}

}  // namespace

void ChainDrive_init(ChainDrive* d, construct* con, int32_t classWord, int32_t* enginePowerWord,
                     const char* objectFolder) {
    (void)objectFolder;  // names the track marks' object folder once the marks are laid
    GroundDrive_initBlock(&d->g, con, classWord, enginePowerWord);
    d->turnRate = ModuleRuleInt(ModuleUnitRule(con, "TurnRate"), 0);
    d->lockRecenterRate = ModuleRuleValue(ModuleUnitRule(con, "LockRecenterRate"), 0);
    const Rule* inc = ModuleUnitRule(con, "ThrottleInc");
    d->throttleInc[0] = ModuleRuleValue(inc, 0);
    d->throttleInc[1] = ModuleRuleValue(inc, 1);
    const Rule* access = ModuleUnitRule(con, "AccessType");
    const AccessType type = NamedAccessType(access->info[0] ? access->info[0] : "");
    d->accessType = static_cast<int32_t>(type);
    d->blockedMask = GetBlockedMask(type);
    d->chainAnimScale = ModuleRuleValue(ModuleUnitRule(con, "ChainAnimScale"), 0);
    d->speed = 0;
    d->verticalVelocity = 0;
    d->throttle = 0.0f;
    d->differential = 0.0f;
    d->wantedThrottle = 0.0f;
    d->wantedDifferential = 0.0f;
    d->aligned = 0;
    d->contacts = 10;
    d->dustCounter = 0;
    std::memset(d->groundHeight, 0, sizeof d->groundHeight);
    d->trackStep[0] = d->trackStep[1] = 0;
    d->blockTest = 1;
    CreateMarkPool(d, con, objectFolder);
    ChainDrive_engineView(&d->g, 0);
    ChainDrive_startSound(&d->g);
}

void ChainDrive_release(ChainDrive* d) {
    if (!d->g.ready) return;
    GroundDrive_releaseBlock(&d->g);
    if (ConstructPool* pool = d->markPool) {
        while (pool->count > 0) {
            construct* mark = pool->constructs[0];
            RemoveFromConstructPool(pool, mark);
            CallItfc(mark, ItfcMethod::DESTROY, 0);
        }
        DeleteConstructPool(pool);
        d->markPool = nullptr;
    }
    d->lastMark[0] = d->lastMark[1] = nullptr;
}

void ChainDrive_update(ChainDrive* d, int16_t axis, int16_t* steer, UnitShare* rec, int k, ControlInput* control) {
    k = ClampTickShift(k);
    GroundDriveBlock& g = d->g;
    construct* con = g.con;
    const float ticks = static_cast<float>(1 << k);
    int32_t t[3] = {0, g.jolt ? (Random() >> 25) : 0, 0};  // right, up, forward

    EngineSound_follow(&g.engine, con, rec ? rec->velocity : nullptr,
                       static_cast<int>(std::fabs(d->throttle) * 256.0f));

    int16_t word = steer ? *steer : axis;
    const int32_t step = SteeringStep(axis, word, d->turnRate, k);
    word = static_cast<int16_t>(word + step);

    const bool autopilot = rec && rec->autopilot;
    if (!autopilot) {
        d->differential = Clamp1(d->differential - 0.002f * static_cast<float>(step));
        d->differential = TowardZeroF(d->differential, ticks * d->lockRecenterRate);
    } else {
        const int64_t x = rec->autopilotDir[0], z = rec->autopilotDir[2];
        const int64_t fx = con->orient[6], fz = con->orient[8];
        float s = static_cast<float>(static_cast<double>(x * fz - z * fx) / 1073741824.0);
        const float c = static_cast<float>(static_cast<double>(x * fx + z * fz) / 1073741824.0);
        if (c < 0.0f) s = SignOrOne(s);
        const float rate = ticks * d->lockRecenterRate;
        d->differential += d->differential >= -s ? -rate : rate;
        d->differential = Clamp1(d->differential);
    }

    const bool thrust1 = control && InputKeyDown(*control, kInputThrust1);
    const bool ascend = control && InputKeyDown(*control, kInputAscend);
    g.soundState = (thrust1 || ascend) ? 1 : 0;

    // Stealth: the unit brakes, ignores steering, and its engine stops once the power has run down.
    if (GroundDrive_engineMode(&g, control, d->throttle > 0.0f)) word = axis;
    GroundDrive_rampPower(&g, k);
    if (steer) *steer = word;

    const float turn = std::trunc(-(static_cast<float>(d->turnRate) * d->differential * d->throttle));
    float trackStep = 0.0f;
    if (d->contacts != 0) {
        if (autopilot) {
            d->throttle = 1.0f;
        } else if (control && InputKeyDown(*control, kInputThrust1)) {
            d->throttle = std::fmin(1.0f, d->throttle + ticks * d->throttleInc[1]);
        } else if (control && InputKeyDown(*control, kInputThrust2)) {
            d->throttle = std::fmax(-1.0f, d->throttle - ticks * d->throttleInc[0]);
        } else if (std::fabs(d->differential) < 0.3f) {
            d->throttle = TowardZeroF(d->throttle, ticks * 0.01f);
        }
        trackStep = std::trunc(static_cast<float>(d->speed) * static_cast<float>(3 << k) * d->chainAnimScale);
        t[1] += static_cast<int32_t>(turn) * (1 << k);
    }
    d->trackStep[0] = static_cast<int32_t>(std::trunc(trackStep + turn * d->chainAnimScale * ticks));
    d->trackStep[1] = static_cast<int32_t>(std::trunc(trackStep - turn * d->chainAnimScale * ticks));

    const float limit = d->throttle > 0.0f ? static_cast<float>(g.speedConstraint[1])
                                           : -static_cast<float>(g.speedConstraint[0]);
    d->speed = static_cast<int32_t>(std::trunc((1.0f - std::fabs(d->differential)) * limit * d->throttle));

    g.rest = (d->contacts == 4 && d->speed == 0 && hull::Abs(d->verticalVelocity) < hull::kRestVertical &&
              hull::Abs(t[1]) < hull::kRestTurn)
                 ? 1
                 : 0;
    if (g.jolt || g.wake) g.rest = 0;

    d->contacts = hull::TouchGround(&d->g, d->blockTest, d->blockedMask, d->groundHeight, t);

    if (!g.rest) {
        d->verticalVelocity = hull::VerticalVelocity(d->verticalVelocity, d->contacts != 0, k);
        hull::DriveAlongHull(con, d->speed, d->contacts, k);
        con->pos[1] += d->verticalVelocity >> (8 - k);
        t[1] += hull::kUprightDrift;
        hull::TurnHull(con->orient, t);
    }

    if (d->markPool && shadows_and_marks) LayTrackMarks(d, con);

    // Dust while the throttle is well open, every sixth such update (not without marks and dust).
    if (d->throttle > 0.6f && shadows_and_marks && LevelDustEmission() && ++d->dustCounter > 5) {
        d->dustCounter = 0;
        EmitDust(con);
    }

    g.jolt = 0;
    g.wake = 0;
}

void ChainDrive_steerAI(ChainDrive* d, ControlInput* control, UnitShare* rec, int k, const ThreatEntry* aim,
                        const FixVec* heading) {
    k = ClampTickShift(k);
    construct* con = d->g.con;
    const float dt = d->wantedThrottle - d->throttle;
    if (dt > 0.01f) SetInputKey(control, kInputThrust1, true);
    else if (dt < 0.0f) SetInputKey(control, kInputThrust2, true);
    const float dd = d->wantedDifferential - d->differential;
    const int32_t nudge = 16 << k;
    if (dd > 0.01f) control->axes[kAxisChassis] = static_cast<int16_t>(control->axes[kAxisChassis] - nudge);
    else if (dd < -0.01f) control->axes[kAxisChassis] = static_cast<int16_t>(control->axes[kAxisChassis] + nudge);

    if (!rec) return;
    if (rec->aimPointSet) {
        d->aligned = 0;
        DriveBearing b;
        DriveAI_bearing(con, rec->aimPoint, &b);
        if (DriveAI_arrive(con, rec, b.distance)) return;
        float turnValue;
        if (!rec->aimPointFlag) {
            d->wantedThrottle = 1.0f;
            turnValue = b.cosine >= 0.0f ? b.sine : SignOrOne(b.sine);
        } else {
            d->wantedThrottle = -1.0f;
            turnValue = b.cosine >= 0.0f ? SignOrOne(b.sine) : b.sine;
        }
        d->wantedDifferential = -2.0f * turnValue;
        if (rec->giveWayCountdown != 0 && rec->waiting) d->wantedThrottle = 0.0f;
        return;
    }

    d->wantedThrottle = 0.0f;
    d->wantedDifferential = 0.0f;
    d->aligned = 0;
    if (!d->g.classWord) return;
    const int32_t* point = nullptr;
    if (rec->target && aim && !(aim->flags & 0x20)) point = aim->pos;
    else if (rec->alertCountdown > 0) point = rec->alertPoint;
    if (!point) return;
    DriveBearing b;
    DriveAI_bearing(con, point, &b);
    if (b.distance == 0) return;  // standing on the point: no direction to turn to
    const FixVec dir{b.dir[0], 0, b.dir[2]};
    const int64_t hx = heading ? heading->x : con->orient[6];
    const int64_t hz = heading ? heading->z : con->orient[8];
    float s, c;
    Bearing(hx, hz, dir, &s, &c);
    if (c < 0.0f) s = SignOrOne(s);
    d->wantedDifferential = 4.0f * s;
    d->wantedThrottle = -3.0f * std::fabs(s);
    if (c >= 0.0f && std::fabs(s) < 0.1f) d->aligned = 1;
}

void ChainDrive_copy(ChainDrive* d, const ChainDrive* src) {
    GroundDriveBlock& g = d->g;
    const GroundDriveBlock& s = src->g;
    GroundDrive_copyBlock(&g, &s);
    d->speed = src->speed;
    d->verticalVelocity = src->verticalVelocity;
    d->throttle = src->throttle;
    d->throttleInc[0] = src->throttleInc[0];
    d->throttleInc[1] = src->throttleInc[1];
    d->differential = src->differential;
    d->lockRecenterRate = src->lockRecenterRate;
    d->turnRate = src->turnRate;
    d->contacts = src->contacts;
    d->accessType = src->accessType;
    d->blockedMask = src->blockedMask;
    d->chainAnimScale = src->chainAnimScale;
    d->wantedThrottle = src->wantedThrottle;
    d->wantedDifferential = src->wantedDifferential;
    std::memcpy(d->lastMarked, src->lastMarked, sizeof d->lastMarked);
    EngineSound_reconcile(&g.engine, g.con, s.engine.soundOn);
    // The marks of the state before leave the world; each track starts a new chain. Only a mark that is
    // busy (fading in or out) is queued out of its busy pool: queueing every mark of every tracked unit
    // of a level that is loaded overran the event queue.
    d->lastMark[0] = d->lastMark[1] = nullptr;
    for (int i = 0; d->markPool && i < d->markPool->count; ++i) {
        construct* mark = d->markPool->constructs[i];
        if (mark->flags & kConBusy) CreateQZEvent(QZEventKind::UnBuzy, mark);
        DeactivateConstruct(mark);
    }
}
