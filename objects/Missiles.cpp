// Missiles and rockets: thrown by a projectile thrower, they wait for their motor to ignite (sinking
// along their up axis meanwhile), accelerate to the weapon's speed, carry a point light and a looping
// flight sound, and end in an MExplode burst when they strike or silently at their range. A missile flies
// straight and lays vapour puffs; a rocket homes on its lock target, which it marks as chased by a
// missile, and leaves smoke puffs.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "ai/UnitAI.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/EffectTypes_local.h"
#include "objects/Projectile.h"
#include "objects/SceneryLighting.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitSaved.h"
#include "platform/SoundFx.h"
#include "render/Light.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"

namespace {

const int32_t kZeroVelocity[3] = {0, 0, 0};
constexpr int32_t kBurstBelow = -15000;  // the burst's offset along the up axis
constexpr int32_t kSmokeBehind = -11000;  // a smoke puff's offset along the forward axis

// What tells Missile and Rocket apart.
struct Kind {
    const char* name;
    ItfcProc itfc;
    const char* geom;
    bool rocket;
};
const Kind kMissileKind{"Missile", Missile_itfc, "missile", false};
const Kind kRocketKind{"Rocket", Rocket_itfc, "rocket", true};

MissileBlock* Block(construct* con) { return static_cast<MissileBlock*>(con->itfcData); }

const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

float FirstValue(const char* format, const char* name) {
    char rule[64];
    std::snprintf(rule, sizeof rule, format, name);
    const Rule* r = NamedRule(rule);
    return r->count > 0 && r->values ? r->values[0] : 0.0f;
}

// ---- Light and sound.

void LightOn(construct* con, MissileBlock* b) {
    if (!b->light || b->lightOn) return;
    PlacePointRelativeToOwner(con, b->light->pos, nullptr);
    if (dynamic_lighting) AddActiveLight(b->light, 1);
    b->lightOn = 1;
    LightStamp = 1;
}

void LightOff(MissileBlock* b) {
    if (b->lightOn && b->light) RemoveActiveLight(b->light);
    b->lightOn = 0;
}

void StopFlightSound(MissileBlock* b) {
    if (dxgl_SoundStreamBuffer* s = dxgl_DescSound(&b->flightSound)) dxgl_FreeSound(&s);
    b->flightSound.buffer = nullptr;
}

void PlayAt(const construct* con, SoundDesc* desc) {
    if (PlaySampleFor(desc, 1, 0, 0)) dxgl_SetSoundPosition(desc, con->pos, kZeroVelocity, 0, 0);
}

// A rocket's target holds a missile reference for as long as it is the target.
void ReleaseTarget(MissileBlock* b, bool rocket) {
    if (rocket && b->target) ReleaseMissileRef(b->target);
    b->target = nullptr;
}

// ---- CREATE.

construct* Create(const Kind& k, const char* directory) {
    if (construct* copy = ClonePreloaded(k.itfc, directory)) return copy;
    // The rules first: a missing one ends the program before anything is made.
    const float scale = FirstValue("%s_scale", k.name);
    const float radius = FirstValue("%s_bsphereradius", k.name);
    const float drop = FirstValue("%s_PreIgnitionDropSpeed", k.name);
    const PjtMember m{k.name, k.itfc, sizeof(MissileBlock), scale, 0x2, kProjectileCollisionClass, 2, {0, 4, 0, 0},
                      1, 1, false, nullptr, 0};
    construct* con = PjtCreateMember(m, directory, k.geom);
    MissileBlock* b = Block(con);
    if (CCADLightCount != 1) FatalErrorF("%s wants a Light", k.name);
    b->light = CCADLights[0];
    CCADLights[0] = nullptr;
    CCADLightCount = 0;
    CCADLightFlag = 0;
    b->light->colour[0] = 1000;
    b->light->colour[1] = 100;
    b->light->colour[2] = 100;
    b->light->rangeShift = 16;
    b->lightOn = 0;
    con->effectPhase = 255;
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = TruncateToInt32(radius);
    b->dropSpeed = TruncateToInt32(drop);
    LookupSound(&b->ignitionSound, "%s_FX_ignition", k.name);
    LookupSound(&b->groundSound, "%s_FX_HitGround", k.name);
    LookupSound(&b->waterSound, "%s_FX_HitWater", k.name);
    LookupSound(&b->structureSound, "%s_FX_HitStructure", k.name);
    LookupSound(&b->flightSound, "Rocket_FX_fly");
    return con;
}

// ---- LAUNCH.

void Launch(const Kind& k, construct* con, const LaunchRecord* launch) {
    MissileBlock* b = Block(con);
    // 1.
    b->topSpeed = launch->speed;
    b->speed = launch->firerSpeed;
    b->range = launch->range;
    b->acceleration = launch->acceleration;
    b->ignition = launch->timeToIgnition;
    b->impact = DamageRecord{launch->impact[0], launch->impact[1], launch->impact[2]};
    b->travelled = 0;
    b->age = 0;
    b->smokeCountdown = 0;
    b->reserved = 0;
    // The trail starts where the flight starts (not where the construct's last flight laid its last puff).
    std::memcpy(b->lastTrail, con->pos, sizeof b->lastTrail);
    ReleaseTarget(b, k.rocket);
    if (k.rocket) {
        b->turnRate = launch->turnRate;
    } else {
        b->vapourCountdown = 4;
    }
    // 2. Only the first of a volley that needs no ignition is lit now.
    LightOff(b);
    if (launch->firstOfVolley && launch->timeToIgnition == 0) LightOn(con, b);
    // 3. The motor's billboards show from ignition on.
    con->effectPhase = launch->timeToIgnition == 0 ? 255 : 0;
    // 4. A guided rocket marks its target (the missile warning of the player's unit). A missile keeps no
    // target: it never steers.
    if (k.rocket && b->turnRate != 0 && launch->lockTarget) {
        b->target = launch->lockTarget;
        AddMissileRef(b->target);
    }
    // 5.
    StopFlightSound(b);
    PlaySampleFor(&b->flightSound, 1, 1, 1);
}

// ---- TICK.

void RocketSmoke(construct* con, MissileBlock* b) {
    if (b->ignition != 0) return;
    const int32_t c = b->smokeCountdown;
    b->smokeCountdown = c - (c > INT32_MIN ? 1 : 0);
    if (c >= 1) return;
    b->smokeCountdown = 1;
    construct* puff = SpawnEffect(con, SharedPoolId::MSmoke);
    if (!puff) return;
    const int32_t behind[3] = {0, 0, kSmokeBehind};
    PlaceRelativeToOwner(con, puff, behind);
    puff->effectPhase = 0;
}

FixVec Row(const construct* con, int i) { return {con->orient[3 * i], con->orient[3 * i + 1], con->orient[3 * i + 2]}; }
void SetRow(construct* con, int i, const FixVec& v) {
    con->orient[3 * i] = v.x;
    con->orient[3 * i + 1] = v.y;
    con->orient[3 * i + 2] = v.z;
}

void VapourTrail(construct* con, MissileBlock* b) {
    if (b->vapourCountdown == 0) {
        if (construct* puff = SpawnEffect(con, SharedPoolId::Vapour)) {
            FixVec d = Row(con, 2);
            const FixVec back{b->lastTrail[0] - puff->pos[0], b->lastTrail[1] - puff->pos[1], b->lastTrail[2] - puff->pos[2]};
            NormaliseF(&d, &back);
            FixVec s{-d.y, d.x, 0};
            if (s.x == 0 && s.y == 0) s.x = 32768;
            Normalise(&s, &s);
            const FixVec up{static_cast<int32_t>((int64_t(s.y) * d.z - int64_t(s.z) * d.y) >> 15),
                            static_cast<int32_t>((int64_t(d.x) * s.z - int64_t(s.x) * d.z) >> 15),
                            static_cast<int32_t>((int64_t(s.x) * d.y - int64_t(d.x) * s.y) >> 15)};
            SetRow(puff, 0, s);
            SetRow(puff, 1, up);
            SetRow(puff, 2, d);
            auto* v = static_cast<VapourBlock*>(puff->itfcData);
            v->age = 0;
            v->opacityFactor = 256;
            puff->effectPhase = 0;
            if (bboard* bb = PjtFirstBBoard(puff)) {
                bb->alpha = 0;
                bb->size1 = 8000;
                bb->size2 = 300;
            }
        }
        std::memcpy(b->lastTrail, con->pos, sizeof b->lastTrail);
        b->vapourCountdown = 8 >> (con->busyLevel & 3);
    }
    if (b->vapourCountdown != 0) --b->vapourCountdown;
}

int32_t Limit(int32_t v, int32_t limit) { return v > limit ? limit : (v < -limit ? -limit : v); }

void Home(construct* con, MissileBlock* b) {
    if (!b->target || b->travelled <= b->straightDistance) return;
    // 1. Where the target lies in the rocket's own axes.
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    const FixVec towards{Clamp32(int64_t(b->target->pos[0]) - con->pos[0]), Clamp32(int64_t(b->target->pos[1]) - con->pos[1]),
                         Clamp32(int64_t(b->target->pos[2]) - con->pos[2])};
    FixVec v;
    RotateVecSafe(&v, &o, &towards);
    // 2. At most the turn rate about each axis.
    const int32_t rate = b->turnRate < 0 ? -(b->turnRate == INT32_MIN ? INT32_MAX : b->turnRate) : b->turnRate;
    const int32_t yaw = Limit(v.x >> 5, rate);
    const int32_t pitch = Limit(v.y >> 5, rate);
    // 3. Yaw about the up row, then pitch about the new sideways row.
    FixMatrix turn;
    FixVec up = Row(con, 1), side = Row(con, 0), fwd = Row(con, 2);
    MatrixFromDirection2(&turn, &up, yaw);
    RotateVec(&side, &turn, &side);
    RotateVec(&fwd, &turn, &fwd);
    MatrixFromDirection2(&turn, &side, -pitch);
    RotateVec(&up, &turn, &up);
    RotateVec(&fwd, &turn, &fwd);
    SetRow(con, 0, side);
    SetRow(con, 1, up);
    SetRow(con, 2, fwd);
}

void Burst(construct* con, MissileBlock* b, int kind) {
    switch (kind) {
        case kHitStructure:
        case kHitShield: PlayAt(con, &b->structureSound); break;
        case kHitGround: PlayAt(con, &b->groundSound); break;
        case kHitWater: PlayAt(con, &b->waterSound); break;
        default: break;
    }
    construct* fx = SpawnEffect(con, SharedPoolId::MExplode);
    if (!fx) return;
    const int32_t below[3] = {0, kBurstBelow, 0};
    PlaceRelativeToOwner(con, fx, below);
    fx->effectPhase = 0;
    fx->collisionClass = kProjectileCollisionClass;
    fx->owner = con->owner;
}

void Tick(const Kind& k, construct* con) {
    MissileBlock* b = Block(con);
    if (k.rocket) RocketSmoke(con, b);
    // 1.
    if (b->age < INT32_MAX) ++b->age;
    int expired = b->range < b->travelled;
    // 2.
    if (b->lightOn && b->light) {
        std::memcpy(b->light->pos, con->pos, sizeof b->light->pos);
        LightStamp = 1;
    }
    // 3. Ignition.
    if (b->ignition == 1) {
        LightOn(con, b);
        con->effectPhase = 255;
        PlayAt(con, &b->ignitionSound);
    }
    // 4, 5.
    if (b->ignition > 0) --b->ignition;
    if (b->ignition == 0) {
        if (b->speed < b->topSpeed) b->speed = EffectCount(int64_t(b->speed) + b->acceleration);
        dxgl_SetSoundPosition(&b->flightSound, con->pos, kZeroVelocity, k.rocket ? 255 : 0, 0);
    }
    // 6.
    if (k.rocket)
        Home(con, b);
    else
        VapourTrail(con, b);
    // 7.
    const ProjectileHit hit = ProjectileHitTest(con);
    if (hit.expired) expired = 1;
    // 8, 9.
    int32_t step[3];
    for (int i = 0; i < 3; ++i) {
        step[i] = static_cast<int32_t>((int64_t(con->orient[6 + i]) * b->speed) >> 15);
        con->pos[i] = Clamp32(int64_t(con->pos[i]) + step[i]);
    }
    b->travelled = Clamp32(int64_t(b->travelled) + b->speed);
    if (b->ignition > 0)
        for (int i = 0; i < 3; ++i)
            con->pos[i] = Clamp32(int64_t(con->pos[i]) + ((int64_t(con->orient[3 + i]) * b->dropSpeed) >> 15));
    // 10. It stays where it struck (the drop of this tick stays).
    if (hit.kind != kHitNone) {
        for (int i = 0; i < 3; ++i) con->pos[i] = Clamp32(int64_t(con->pos[i]) - step[i]);
        Burst(con, b, hit.kind);
    }
    // 11.
    if (expired) {
        LightOff(b);
        StopFlightSound(b);
        ReleaseTarget(b, k.rocket);
        ReturnToPool(con);
    }
}

// ---- The saved form: the block's first 76 bytes (no light, the target's word 1 when one is named),
// the five sound descriptors as Bullet's form keeps them, then the target's action unit and index.

constexpr size_t kHeadBytes = 76;
constexpr size_t kSoundBytes = 88;
constexpr size_t kTargetAt = kHeadBytes + 5 * kSoundBytes;

void PutWord(uint8_t* out, int32_t v) {
    for (int k = 0; k < 4; ++k) out[k] = uint8_t(uint32_t(v) >> (8 * k));
}
int32_t GetWord(const uint8_t* in) {
    return int32_t(uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24);
}

// The head's fields in order; the light's word is written 0 and not read.
void WalkHead(SavedWords& w, MissileBlock* b, uint32_t* targetFlag) {
    w.I32(&b->topSpeed);
    w.I32(&b->travelled);
    w.I32(&b->turnRate);
    w.I32(&b->range);
    w.I32(&b->straightDistance);
    w.I32(&b->acceleration);
    w.I32(&b->ignition);
    w.I32(&b->dropSpeed);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->lightOn);
    w.I32(&b->speed);
    w.I32(&b->reserved);
    w.I32(&b->smokeCountdown);
    w.I32(&b->age);
    uint32_t light = 0;
    w.U32(&light);
    w.U32(targetFlag);
    w.I32(&b->vapourCountdown);
    w.I32s(b->lastTrail, 3);
}

uintptr_t SavedForm(const Kind& k, construct* con, uintptr_t sizeOut) {
    MissileBlock* b = Block(con);
    char purpose[64];
    std::snprintf(purpose, sizeof purpose, "%s data block", kMissileKind.name);
    auto* out = static_cast<uint8_t*>(qzAlloc(static_cast<int>(kMissileSavedSize), purpose));
    std::memset(out, 0, kMissileSavedSize);
    int index = 0;
    AUDef* au = k.rocket && b->target ? FindAUOfUnit(b->target, &index) : nullptr;
    MissileBlock copy = *b;
    uint32_t flag = au ? 1 : 0;
    SavedWords w{out, nullptr, 0, kHeadBytes};
    WalkHead(w, &copy, &flag);
    uint8_t* at = out + kHeadBytes;
    for (const SoundDesc* d : {&b->ignitionSound, &b->groundSound, &b->waterSound, &b->structureSound, &b->flightSound}) {
        std::memcpy(at, d->file, sizeof d->file);
        at[sizeof d->file - 1] = 0;
        at += sizeof d->file;
        for (int32_t v : {d->minDistance, d->maxDistance, d->lowFrequency, d->highFrequency, d->unused}) {
            PutWord(at, v);
            at += 4;
        }
        at += 4;  // the playing sound is not part of the form
    }
    if (au) {
        std::snprintf(reinterpret_cast<char*>(out + kTargetAt), 32, "%s", au->name);
        PutWord(out + kTargetAt + 32, index);
    }
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = static_cast<int32_t>(kMissileSavedSize);
    return reinterpret_cast<uintptr_t>(out);
}

// The unit a form names, or null.
construct* NamedTarget(const uint8_t* in) {
    if (GetWord(in + kHeadBytes - 20) != 1) return nullptr;
    char name[32];
    std::memcpy(name, in + kTargetAt, sizeof name);
    name[31] = 0;
    AUDef* au = NamedAUDef(name);
    const uint32_t index = uint32_t(GetWord(in + kTargetAt + 32));
    if (!au || !au->pool || index >= uint32_t(au->pool->count)) return nullptr;
    return au->pool->constructs[index];
}

void SetData(const Kind& k, construct* con, const uint8_t* in) {
    MissileBlock* b = Block(con);
    // What the rocket held before: its light, its sound and its target's reference are given back.
    LightOff(b);
    StopFlightSound(b);
    ReleaseTarget(b, k.rocket);
    if (!in) return;
    MissileBlock loaded = *b;
    uint32_t flag = 0;
    SavedWords w{nullptr, in, 0, kHeadBytes};
    WalkHead(w, &loaded, &flag);
    b->topSpeed = loaded.topSpeed;
    b->travelled = loaded.travelled;
    b->turnRate = loaded.turnRate;
    b->range = loaded.range;
    b->straightDistance = loaded.straightDistance;
    b->acceleration = loaded.acceleration;
    b->ignition = loaded.ignition;
    b->dropSpeed = loaded.dropSpeed;
    b->impact = loaded.impact;
    b->speed = loaded.speed;
    b->reserved = loaded.reserved;
    b->smokeCountdown = loaded.smokeCountdown;
    b->age = loaded.age;
    b->vapourCountdown = loaded.vapourCountdown;
    std::memcpy(b->lastTrail, loaded.lastTrail, sizeof b->lastTrail);
    b->lightOn = 0;
    // A rocket in flight chases its target again (a load has checked that the unit exists).
    if (k.rocket && b->turnRate != 0) {
        b->target = NamedTarget(in);
        if (b->target) AddMissileRef(b->target);
    }
}

const char* CheckForm(const uint8_t* in, size_t size) {
    if (!in || size != kMissileSavedSize) return "the saved state has the wrong size";
    const int32_t topSpeed = GetWord(in), turnRate = GetWord(in + 8), acceleration = GetWord(in + 20);
    const int32_t ignition = GetWord(in + 24), drop = GetWord(in + 28), speed = GetWord(in + 36);
    const int32_t smoke = GetWord(in + 44), age = GetWord(in + 48), flag = GetWord(in + 56);
    const int32_t vapour = GetWord(in + 60);
    constexpr int32_t kSpeedLimit = kEffectWordLimit;  // the tick holds the speed within it
    auto within = [](int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; };
    if (!within(topSpeed, -kSpeedLimit, kSpeedLimit) || !within(speed, -kSpeedLimit, kSpeedLimit) ||
        !within(acceleration, -kSpeedLimit, kSpeedLimit) || !within(drop, -kSpeedLimit, kSpeedLimit))
        return "a speed out of range";
    if (!within(turnRate, 0, 411774)) return "a turn rate out of range";
    if (!within(ignition, 0, kEffectWordLimit) || !within(age, 0, INT32_MAX) || !within(smoke, -1, kEffectWordLimit) ||
        !within(vapour, 0, 8))
        return "a countdown out of range";
    if (in[35] > 1) return "a light flag that is neither 0 nor 1";
    if (flag != 0 && flag != 1) return "a target flag that is neither 0 nor 1";
    const uint8_t* name = in + kTargetAt;
    if (!std::memchr(name, 0, 32)) return "the target's action unit has no end";
    if (flag == 0 && name[0] != 0) return "a target named without its flag";
    if (flag == 1 && name[0] == 0) return "a target flag without a name";
    return nullptr;
}

int FormUnits(const uint8_t* in, size_t size, SavedUnitName* out, int max) {
    if (CheckForm(in, size) || max < 1 || GetWord(in + 56) != 1) return 0;
    std::memcpy(out->au, in + kTargetAt, sizeof out->au);
    out->au[31] = 0;
    out->index = uint32_t(GetWord(in + kTargetAt + 32));
    return 1;
}

uintptr_t Dispatch(const Kind& k, construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(Create(k, Dir(arg)));
        case ItfcMethod::TICK:
            Tick(k, con);
            return 0;
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>(k.name);
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Block(con)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::DESTROY: {
            MissileBlock* b = Block(con);
            if (con->flags & kConBusy) UnMakeBuzy(con);
            DeactivateConstruct(con);
            LightOff(b);
            StopFlightSound(b);
            FreePointLight(b->light);
            FreeConstruct(con);
            return 0;
        }
        case ItfcMethod::GETITFCDATA:
            return SavedForm(k, con, arg);
        case ItfcMethod::COPYITFCDATA: {
            MissileBlock* b = Block(con);
            const uintptr_t copy = CopyItfcDataBlock(b, sizeof(MissileBlock), kMissileKind.name, arg);
            auto* c = reinterpret_cast<MissileBlock*>(copy);
            c->light = b->light ? CopyPointLight(b->light) : nullptr;
            c->lightOn = 0;
            c->target = nullptr;
            c->flightSound.buffer = nullptr;
            return copy;
        }
        case ItfcMethod::SETITFCDATA:
            SetData(k, con, reinterpret_cast<const uint8_t*>(arg));
            return 0;
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const LaunchRecord*>(arg)) Launch(k, con, launch);
            return 0;
        default:
            return ItfcUnknownMethod(k.name, method);
    }
}

// ---- The trails.

void TickVapour(construct* con) {
    auto* b = static_cast<VapourBlock*>(con->itfcData);
    const int32_t a = b->age;
    if (a < INT32_MAX) b->age = a + 1;
    if (a >= 200) ReturnToPool(con);
    bboard* bb = PjtFirstBBoard(con);
    if (!bb) return;
    bb->size1 = Clamp32(int64_t(bb->size1) + 10);
    bb->size2 = Clamp32(int64_t(bb->size2) + 5);
    const int32_t t = b->age;
    const double f = t < 30 ? std::trunc(8.5 * t) : std::trunc(255.0 - 1.5 * (t - 30));
    const int64_t opacity = (int64_t(b->opacityFactor) * static_cast<int64_t>(f)) >> 8;
    bb->alpha = static_cast<uint8_t>(opacity > 255 ? 255 : (opacity < 0 ? 0 : opacity));
}

void TickMSmoke(construct* con) {
    bboard* b = PjtFirstBBoard(con);
    bboard* c = b ? b->next : nullptr;
    const int32_t p = con->effectPhase;
    if (b) {
        b->size1 += 300;
        b->size2 += 100;
    }
    if (c) c->size1 += 50;
    con->pos[1] = Clamp32(int64_t(con->pos[1]) + 100);
    if (p == 0) {
        if (b) {
            b->size1 = 3000;
            b->size2 = 1000;
            b->alpha = 200;
            b->colour[0] = b->colour[1] = 255;
            b->colour[2] = 200;
        }
        if (c) {
            c->size1 = 1000;
            c->alpha = 100;
            c->colour[0] = c->colour[1] = 255;
            c->colour[2] = 200;
        }
    } else {
        if (b) {
            b->alpha = static_cast<uint8_t>(205 - 20 * int64_t(p));
            b->colour[2] = static_cast<uint8_t>(5 * (int64_t(p) + 30));
        }
        if (c) {
            c->alpha = static_cast<uint8_t>(105 - 10 * int64_t(p));
            c->colour[2] = static_cast<uint8_t>(5 * (int64_t(p) + 30));
        }
    }
    if (p < INT32_MAX) con->effectPhase = p + 1;
    if (p > 10) ReturnToPool(con);
}

void WalkVapour(SavedWords& w, void* block) {
    auto* b = static_cast<VapourBlock*>(block);
    w.I32(&b->age);
    w.I32(&b->opacityFactor);
}

void WalkMSmoke(SavedWords& w, void* block) { w.U8(&static_cast<MSmokeBlock*>(block)->spare); }

const PjtMember kVapour{"Vapour", Vapour_itfc, sizeof(VapourBlock), 120.0f, 0, 0, 1, {0, 0, 0, 0}, 1, 0, true,
                        WalkVapour, 8};
const PjtMember kMSmoke{"MSmoke", MSmoke_itfc, sizeof(MSmokeBlock), 150.0f, 0, 0, 2, {0, 4, 0, 0}, 1, 0, false,
                        WalkMSmoke, 1};

}  // namespace

uintptr_t Missile_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return Dispatch(kMissileKind, con, method, arg); }
uintptr_t Rocket_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return Dispatch(kRocketKind, con, method, arg); }

uintptr_t Vapour_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kVapour, Dir(arg), "", [](construct* c) { c->effectPhase = 0; }));
        case ItfcMethod::TICK:
            TickVapour(con);
            return 0;
        default:
            return PjtMember_itfc(kVapour, con, method, arg);
    }
}

uintptr_t MSmoke_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kMSmoke, Dir(arg), "MSmoke"));
        case ItfcMethod::TICK:
            TickMSmoke(con);
            return 0;
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::SETITFCDATA:
            return 0;  // the block's byte is not read
        default:
            return PjtMember_itfc(kMSmoke, con, method, arg);
    }
}

void ForgetEffectReferences(construct* gone) {
    if (!gone) return;
    if (ConstructPool* flashes = SharedPool(SharedPoolId::ShieldHit))
        for (int i = 0; i < flashes->count; ++i) {
            auto* b = static_cast<ShieldHitBlock*>(flashes->constructs[i]->itfcData);
            if (b && (b->unit == gone || b->sphere == &gone->sphere)) {
                b->unit = nullptr;
                b->sphere = nullptr;
            }
        }
    for (SharedPoolId id : {SharedPoolId::Missile, SharedPoolId::Rocket}) {
        ConstructPool* pool = SharedPool(id);
        for (int i = 0; pool && i < pool->count; ++i) {
            auto* b = static_cast<MissileBlock*>(pool->constructs[i]->itfcData);
            if (b && b->target == gone) ReleaseTarget(b, id == SharedPoolId::Rocket);
        }
    }
}

void RegisterMissileSavedChecks() {
    for (ItfcProc itfc : {Missile_itfc, Rocket_itfc}) {
        SetSavedBlockCheck(itfc, CheckForm);
        SetSavedBlockUnits(itfc, FormUnits);
    }
}
