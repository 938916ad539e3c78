// Lit projectiles and the nuclear shock: the capsule, a ballistic projectile whose light pulses through
// its palette and which on impact releases a ring of sixteen shock segments that sweep outward over the
// ground hurting what they pass; and the shell flare, a lit muzzle flash flying straight for a short range.
#include <cstring>
#include <initializer_list>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/SceneryLighting.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "objects/WeaponTypes_local.h"
#include "platform/Palette.h"
#include "platform/SoundFx.h"
#include "render/Light.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

using weapons::Bounded;
using weapons::Clamp32;

namespace {

constexpr int32_t kQuarterTurn = 102943;
constexpr int32_t kShockStep = 25735;     // a sixteenth of a turn
constexpr int32_t kShockRingEnd = 411694;  // the angles stop below this: sixteen of them
constexpr int32_t kShockLift = 2000;      // a shock hugs the ground this high
constexpr uint8_t kCapsuleReach = 0x13;
constexpr uint8_t kFlareReach = 0x10;

AMCapsuleBlock* Capsule(construct* con) { return static_cast<AMCapsuleBlock*>(con->itfcData); }
NuclearShockBlock* Shock(construct* con) { return static_cast<NuclearShockBlock*>(con->itfcData); }
ShellFlareBlock* Flare(construct* con) { return static_cast<ShellFlareBlock*>(con->itfcData); }
const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

int32_t GroundUnder(const int32_t pos[3]) {
    return CurrentMatrix ? InterpGroundHeight(CurrentMatrix, pos, nullptr) : 0;
}

// ---- Saved forms.

void WalkCapsule(SavedWords& w, void* block) {
    auto* b = static_cast<AMCapsuleBlock*>(block);
    w.I32s(b->velocity, 3);
    w.I32(&b->gravity);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->pad);
    weapons::WalkPointerWord(w);  // the light stays the capsule's own
    weapons::WalkSavedSound(w, &b->groundSound);
    weapons::WalkSavedSound(w, &b->waterSound);
    weapons::WalkSavedSound(w, &b->structureSound);
}

void WalkShock(SavedWords& w, void* block) {
    auto* b = static_cast<NuclearShockBlock*>(block);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->pad);
    w.I32(&b->countdown);
}

// The flare is never stored; its form is only ever handed out, pointer-free like the others.
void WalkFlare(SavedWords& w, void* block) {
    auto* b = static_cast<ShellFlareBlock*>(block);
    w.I32(&b->speed);
    w.I32(&b->travelled);
    w.I32(&b->range);
    w.U8(&b->lit);
    for (uint8_t& p : b->pad) w.U8(&p);
    weapons::WalkPointerWord(w);
}

const PjtMember kCapsule{"AMCapsule", AMCapsule_itfc, sizeof(AMCapsuleBlock), 100.0f, 0x2, kProjectileCollisionClass,
                         1, {0, 0, 0, 0}, 1, 0, false, WalkCapsule, static_cast<int>(kAMCapsuleSavedSize)};
const PjtMember kShock{"NuclearShock", NuclearShock_itfc, sizeof(NuclearShockBlock), 250.0f, 0,
                       kProjectileCollisionClass, 4, {0, 3, 4, 7}, 1, 0, false, WalkShock,
                       static_cast<int>(kNuclearShockSavedSize)};
const PjtMember kFlare{"ShellFlare", ShellFlare_itfc, sizeof(ShellFlareBlock), 200.0f, 0, 0, 1, {0, 0, 0, 0}, 0, 1,
                       false, WalkFlare, 20};

// ---- AMCapsule.

float CapsuleRadius;  // "AMCapsule_BSphereRadius", read before each build

void SetupCapsule(construct* con) {
    AMCapsuleBlock* b = Capsule(con);
    b->light = weapons::TakeStagedLight("AM Capsule wants a Light");
    // The light takes its colour from its palette every tick: a capsule without one is refused.
    if (!b->light->palette) {
        FreePointLight(b->light);
        b->light = nullptr;
        FreeConstruct(con);
        FatalError("Error(AMCapsule_itfc): the capsule's light names no palette");
    }
    b->light->rangeShift = kCapsuleReach;
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = TruncateToInt32(CapsuleRadius);
    LookupSound(&b->groundSound, "ClusterGrenade_FX_HitGround");
    LookupSound(&b->waterSound, "ClusterGrenade_FX_HitWater");
    LookupSound(&b->structureSound, "ClusterGrenade_FX_HitStructure");
}

construct* CreateCapsule(const char* directory) {
    if (construct* copy = ClonePreloaded(AMCapsule_itfc, directory)) return copy;
    CapsuleRadius = weapons::RuleValue("%s_BSphereRadius", "AMCapsule");
    return PjtCreateMember(kCapsule, directory, "amcapsule", SetupCapsule);
}

// Whether the capsule's light is in the active list (the capsule keeps no flag of its own).
uint8_t CapsuleLit(const AMCapsuleBlock* b) { return b->light && IsActiveLight(b->light) ? 1 : 0; }

void LaunchCapsule(construct* con, const LaunchRecord* launch) {
    AMCapsuleBlock* b = Capsule(con);
    for (int i = 0; i < 3; ++i)
        b->velocity[i] = Bounded((Random() >> 24) + ((int64_t(con->orient[6 + i]) * launch->speed) >> 15));
    b->gravity = Bounded(launch->gravity);
    b->impact = DamageRecord{launch->impact[0], launch->impact[1], launch->impact[2]};
    uint8_t lit = CapsuleLit(b);
    weapons::LightIn(&lit, b->light);
    con->effectPhase = 128;
}

// The ring: sixteen segments leave the capsule a sixteenth of a turn apart, the first along (-1, 0, 0).
void ShockRing(construct* con) {
    ConstructPool* pool = SharedPool(SharedPoolId::NuclearShock);
    const int32_t ground = GroundUnder(con->pos);
    for (int32_t a = 0; a < kShockRingEnd; a += kShockStep) {
        construct* s = pool ? NextFreeInConstructPool(pool) : nullptr;
        if (!s) continue;
        CreateQZEvent(QZEventKind::Buzy0, s);
        ActivateConstruct(s);
        PlaceRelativeToOwner(con, s, nullptr);
        s->pos[1] = Clamp32(int64_t(ground) + kShockLift);
        const int32_t angles[3] = {kQuarterTurn, a, 0};
        FixMatrix m;
        MatrixFromEuler(&m, angles);
        std::memcpy(s->orient, m.m, sizeof s->orient);
        // The ring spares its firer, who is named by what it hurts.
        s->owner = con->owner;
        Shock(s)->countdown = kShockCountdown;
    }
}

void TickCapsule(construct* con) {
    AMCapsuleBlock* b = Capsule(con);
    // 1. The light follows and takes the palette entry of the phase.
    if (PointLight* light = b->light) {
        std::memcpy(light->pos, con->pos, sizeof light->pos);
        if (light->palette) {
            const int32_t p = con->effectPhase;
            const PltEntry& e = light->palette->entries[p < 0 ? 0 : (p > 255 ? 255 : p)];
            light->colour[0] = int32_t(e.red) << 4;
            light->colour[1] = int32_t(e.green) << 4;
            light->colour[2] = int32_t(e.blue) << 4;
        }
        LightStamp = 1;
    }
    // 2.
    const ProjectileHit hit = ProjectileHitTest(con);
    // 3. The light cycles through the palette's entries 64 to 191.
    b->velocity[1] = Bounded(int64_t(b->velocity[1]) - b->gravity);
    const int64_t phase = int64_t(con->effectPhase) + 3;
    con->effectPhase = phase > 191 ? 64 : static_cast<int32_t>(phase);
    // 4.
    for (int i = 0; i < 3; ++i) con->pos[i] = Clamp32(int64_t(con->pos[i]) + b->velocity[i]);
    // 5.
    if (hit.kind != kHitNone) {
        for (int i = 0; i < 3; ++i) con->pos[i] = Clamp32(int64_t(con->pos[i]) + b->velocity[i]);
        switch (hit.kind) {
            case kHitStructure: PlayProjectileHitSound(con, &b->structureSound); break;
            case kHitGround: PlayProjectileHitSound(con, &b->groundSound); break;
            case kHitWater: PlayProjectileHitSound(con, &b->waterSound); break;
            default: break;
        }
        ShockRing(con);
    }
    // 6.
    if (hit.expired) {
        if (b->light) RemoveActiveLight(b->light);
        ReturnToPool(con);
    }
}

// ---- NuclearShock.

void SetupShock(construct* con) { Shock(con)->impact = DamageRecord{100, 30, 1}; }

void TickShock(construct* con) {
    NuclearShockBlock* b = Shock(con);
    // 1.
    const int32_t c = weapons::CountDown(&b->countdown);
    // 2. Buildings it passes are struck on every tick it meets them.
    construct* struck = nullptr;
    const int32_t level = WaterLevelAt(con->pos[0], con->pos[2]);
    if (CurrentMatrix && CheckMatrixPosition(CurrentMatrix, con->pos, &struck, level) != 0 && struck) {
        CallItfc(struck, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(con));
        CallItfc(struck, ItfcMethod::GETSTATE);
    }
    // 3. It does not end on a hit: a unit it overlaps is entered again by every collision pass.
    if (construct* h = con->hits[0]) {
        if (h->flags & kConHittable) CallItfc(h, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(con));
        CallItfc(h, ItfcMethod::GETSTATE);
        con->hits[0] = nullptr;
    }
    // 4. It fades in over its first ticks, holds, and fades out over its last.
    const int32_t n = b->countdown;
    con->effectPhase = n < 128 ? 2 * n : (n < 273 ? 255 : Clamp32((int64_t(kShockCountdown) - n) * 2));
    // 5. 256 units outward per tick, hugging the ground.
    for (int i = 0; i < 3; ++i) con->pos[i] = Clamp32(int64_t(con->pos[i]) + (con->orient[6 + i] >> 7));
    con->pos[1] = Clamp32(int64_t(GroundUnder(con->pos)) + kShockLift);
    // 6.
    if (c <= 0) ReturnToPool(con);
}

// ---- ShellFlare.

void SetupFlare(construct* con) {
    ShellFlareBlock* b = Flare(con);
    b->light = CreatePointLight();
    b->light->colour[0] = 500;
    b->light->colour[1] = 500;
    b->light->colour[2] = 300;
    b->light->rangeShift = kFlareReach;
    b->lit = 0;
}

void LaunchFlare(construct* con, const LaunchRecord* launch) {
    ShellFlareBlock* b = Flare(con);
    b->speed = launch->speed;
    b->range = launch->range;
    b->travelled = 0;
    NamedBBoard(con, "flare")->time = 160;
    NamedBBoard(con, "ex")->time = 0;
    if (b->light) PlacePointRelativeToOwner(con, b->light->pos, nullptr);
    weapons::LightIn(&b->lit, b->light);
}

void TickFlare(construct* con) {
    ShellFlareBlock* b = Flare(con);
    // 1.
    if (bboard* flare = FindBBoard(con, "flare"))
        if (flare->time > 7) flare->time -= 8;
    if (bboard* ex = FindBBoard(con, "ex")) ex->time = Clamp32(int64_t(ex->time) + 6);
    // 2. It passes through everything and hurts nothing.
    for (int i = 0; i < 3; ++i)
        con->pos[i] = Clamp32(int64_t(con->pos[i]) + ((int64_t(con->orient[6 + i]) * b->speed) >> 15));
    b->travelled = Clamp32(int64_t(b->travelled) + ProjectileRangeStep(b->speed));
    // 3.
    if (b->lit && b->light) {
        std::memcpy(b->light->pos, con->pos, sizeof b->light->pos);
        LightStamp = 1;
    }
    // 4.
    if (b->travelled > b->range) {
        ReturnToPool(con);
        weapons::LightOut(&b->lit, b->light);
    }
}

// A copy of a block that owns a light gets a light of its own (the two are freed apart).
template <typename Block>
uintptr_t CopyWithOwnLight(construct* con, const char* name, uintptr_t sizeOut) {
    const uintptr_t copy = CopyItfcDataBlock(con->itfcData, sizeof(Block), name, sizeOut);
    auto* c = reinterpret_cast<Block*>(copy);
    c->light = c->light ? CopyPointLight(c->light) : nullptr;
    return copy;
}

}  // namespace

uintptr_t AMCapsule_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateCapsule(Dir(arg)));
        case ItfcMethod::TICK:
            TickCapsule(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Capsule(con)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::DESTROY:
            FreePointLight(Capsule(con)->light);  // out of the active list first
            Capsule(con)->light = nullptr;
            return PjtMember_itfc(kCapsule, con, method, arg);
        case ItfcMethod::COPYITFCDATA:
            return CopyWithOwnLight<AMCapsuleBlock>(con, kCapsule.name, arg);
        case ItfcMethod::SETITFCDATA:
            // A restored capsule flies without its light in the active list until its next launch.
            if (Capsule(con)->light) RemoveActiveLight(Capsule(con)->light);
            return PjtMember_itfc(kCapsule, con, method, arg);
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const LaunchRecord*>(arg)) LaunchCapsule(con, launch);
            return 0;
        default:
            return PjtMember_itfc(kCapsule, con, method, arg);
    }
}

uintptr_t NuclearShock_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kShock, Dir(arg), "nshock", SetupShock));
        case ItfcMethod::TICK:
            TickShock(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Shock(con)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        default:
            return PjtMember_itfc(kShock, con, method, arg);
    }
}

uintptr_t ShellFlare_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kFlare, Dir(arg), "shellflare", SetupFlare));
        case ItfcMethod::TICK:
            TickFlare(con);
            return 0;
        case ItfcMethod::DESTROY:
            weapons::LightOut(&Flare(con)->lit, Flare(con)->light);
            FreePointLight(Flare(con)->light);
            Flare(con)->light = nullptr;
            return PjtMember_itfc(kFlare, con, method, arg);
        case ItfcMethod::COPYITFCDATA: {
            const uintptr_t copy = CopyWithOwnLight<ShellFlareBlock>(con, kFlare.name, arg);
            reinterpret_cast<ShellFlareBlock*>(copy)->lit = 0;
            return copy;
        }
        case ItfcMethod::SETITFCDATA: {
            // Speed, travelled and range; the flare flies on without its light in the active list.
            ShellFlareBlock* b = Flare(con);
            weapons::LightOut(&b->lit, b->light);
            if (const auto* in = reinterpret_cast<const uint8_t*>(arg)) {
                ShellFlareBlock read = *b;
                SavedWords w{nullptr, in, 0, 12};
                WalkFlare(w, &read);
                b->speed = read.speed;
                b->travelled = read.travelled;
                b->range = read.range;
            }
            return 0;
        }
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const LaunchRecord*>(arg)) LaunchFlare(con, launch);
            return 0;
        default:
            return PjtMember_itfc(kFlare, con, method, arg);
    }
}
