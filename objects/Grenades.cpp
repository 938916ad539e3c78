// Grenades and trailed projectiles: the cluster grenade, lobbed under its weapon's gravity with a vapour
// trail, bursting on impact into twenty bomblets; the bomblet, falling under a fixed gravity and exploding
// on any contact; and the projectile, a straight trailed shot that bursts in the air after 100 ticks when
// it has met nothing.
#include <cstring>
#include <initializer_list>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "objects/WeaponTypes_local.h"
#include "platform/SoundFx.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"

using weapons::Bounded;
using weapons::Clamp32;

namespace {

constexpr int32_t kBombletLift = 15000;  // bomblets start this far above the burst
constexpr int32_t kBombletGravity = 15;
constexpr int32_t kBombletRadius = 1500;
constexpr int32_t kPuffAge = 130;  // a puff of these trails lives 71 ticks (Vapour ends after age 200)
constexpr int32_t kGrenadeSplashCountdown = 95;

GrenadeFlightBlock* Flight(construct* con) { return static_cast<GrenadeFlightBlock*>(con->itfcData); }
GrenadeBlock* Bomblet(construct* con) { return static_cast<GrenadeBlock*>(con->itfcData); }
const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

void SetRow(construct* con, int i, const FixVec& v) {
    con->orient[3 * i] = v.x;
    con->orient[3 * i + 1] = v.y;
    con->orient[3 * i + 2] = v.z;
}
FixVec Cross(const FixVec& a, const FixVec& b) {
    return {static_cast<int32_t>((int64_t(a.y) * b.z - int64_t(a.z) * b.y) >> 15),
            static_cast<int32_t>((int64_t(a.z) * b.x - int64_t(a.x) * b.z) >> 15),
            static_cast<int32_t>((int64_t(a.x) * b.y - int64_t(a.y) * b.x) >> 15)};
}

void Move(construct* con, const int32_t v[3]) {
    for (int i = 0; i < 3; ++i) con->pos[i] = Clamp32(int64_t(con->pos[i]) + v[i]);
}

// ---- The saved forms: the blocks' words in order, the sounds as Bullet's form keeps them.

void WalkFlight(SavedWords& w, void* block) {
    auto* b = static_cast<GrenadeFlightBlock*>(block);
    w.I32s(b->velocity, 3);
    w.I32(&b->lifetime);
    w.I32(&b->gravity);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->pad);
    w.I32(&b->trailCountdown);
    w.I32s(b->lastTrail, 3);
    w.I32s(b->launchOrient, 9);
    weapons::WalkSavedSound(w, &b->groundSound);
    weapons::WalkSavedSound(w, &b->waterSound);
    weapons::WalkSavedSound(w, &b->structureSound);
}

void WalkBomblet(SavedWords& w, void* block) {
    auto* b = static_cast<GrenadeBlock*>(block);
    w.I32s(b->velocity, 3);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->pad);
}

const PjtMember kCluster{"ClusterGrenade", ClusterGrenade_itfc, sizeof(GrenadeFlightBlock), 250.0f, 0x2,
                         kProjectileCollisionClass, 1, {0, 0, 0, 0}, 1, 0, false, WalkFlight,
                         static_cast<int>(kGrenadeFlightSavedSize)};
const PjtMember kProjectile{"Projectile", Projectile_itfc, sizeof(GrenadeFlightBlock), 250.0f, 0x2,
                            kProjectileCollisionClass, 1, {0, 0, 0, 0}, 1, 0, false, WalkFlight,
                            static_cast<int>(kGrenadeFlightSavedSize)};
const PjtMember kGrenade{"Grenade", Grenade_itfc, sizeof(GrenadeBlock), 160.0f, 0x2, kProjectileCollisionClass, 1,
                         {0, 0, 0, 0}, 1, 0, false, WalkBomblet, static_cast<int>(kGrenadeSavedSize)};

// ---- CREATE.

float FlightRadius;  // "ClusterGrenade_BSphereRadius", read before each build

void SetupFlight(construct* con) {
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = TruncateToInt32(FlightRadius);
    GrenadeFlightBlock* b = Flight(con);
    LookupSound(&b->groundSound, "ClusterGrenade_FX_HitGround");
    LookupSound(&b->waterSound, "ClusterGrenade_FX_HitWater");
    LookupSound(&b->structureSound, "ClusterGrenade_FX_HitStructure");
}

construct* CreateFlight(const PjtMember& m, const char* directory, const char* geom) {
    if (construct* copy = ClonePreloaded(m.itfc, directory)) return copy;
    // The rule first: a missing one ends the program before anything is made.
    FlightRadius = weapons::RuleValue("%s_BSphereRadius", "ClusterGrenade");
    return PjtCreateMember(m, directory, geom, SetupFlight);
}

void SetupBomblet(construct* con) {
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = kBombletRadius;
    Bomblet(con)->impact = DamageRecord{40, 20, 0};
}

// ---- LAUNCH.

void LaunchFlight(construct* con, const LaunchRecord* launch, bool cluster) {
    GrenadeFlightBlock* b = Flight(con);
    for (int i = 0; i < 3; ++i) {
        const int64_t along = int64_t(con->orient[6 + i]) * launch->speed;
        b->velocity[i] = cluster ? Bounded((Random() >> 24) + (along >> 15)) : Bounded(along >> 16);
    }
    b->gravity = Bounded(launch->gravity);
    b->impact = DamageRecord{launch->impact[0], launch->impact[1], launch->impact[2]};
    b->trailCountdown = 0;
    if (cluster)
        std::memcpy(b->launchOrient, con->orient, sizeof b->launchOrient);
    else
        b->lifetime = kProjectileLifetime;
    // The trail starts where the flight starts, not where this pooled construct laid its last puff in an
    // earlier flight.
    std::memcpy(b->lastTrail, con->pos, sizeof b->lastTrail);
}

// ---- The vapour trail, at the start of each tick.

void LayTrail(construct* con, GrenadeFlightBlock* b, bool cluster) {
    if (b->trailCountdown == 0) {
        const FixVec back{Clamp32(int64_t(b->lastTrail[0]) - con->pos[0]), Clamp32(int64_t(b->lastTrail[1]) - con->pos[1]),
                          Clamp32(int64_t(b->lastTrail[2]) - con->pos[2])};
        // A puff spans back to the previous one: none is laid before the projectile has left that point.
        construct* puff = (back.x || back.y || back.z) ? SpawnEffect(con, SharedPoolId::Vapour) : nullptr;
        if (puff) {
            FixVec f{0, 0, 0};
            NormaliseF(&f, &back);
            FixVec s{-f.y, f.x, 0};
            Normalise(&s, &s);
            SetRow(puff, 0, s);
            SetRow(puff, 1, Cross(s, f));
            SetRow(puff, 2, f);
            auto* v = static_cast<VapourBlock*>(puff->itfcData);
            v->age = kPuffAge;
            v->opacityFactor = 256;
            puff->effectPhase = 0;
            if (bboard* bb = PjtFirstBBoard(puff)) {
                bb->alpha = 0;
                bb->size1 = 8000;
                bb->size2 = 100;
            }
            // The canister points along its path.
            if (cluster) {
                std::memcpy(con->orient, puff->orient, sizeof con->orient);
                for (int i : {0, 1, 2, 6, 7, 8}) con->orient[i] = -con->orient[i];
            }
        }
        std::memcpy(b->lastTrail, con->pos, sizeof b->lastTrail);
        b->trailCountdown = 2 >> (con->busyLevel & 3);
    }
    if (b->trailCountdown > 0) --b->trailCountdown;
}

void PlayHitSound(construct* con, GrenadeFlightBlock* b, int kind) {
    switch (kind) {
        case kHitStructure: PlayProjectileHitSound(con, &b->structureSound); break;
        case kHitGround: PlayProjectileHitSound(con, &b->groundSound); break;
        case kHitWater: PlayProjectileHitSound(con, &b->waterSound); break;
        default: break;  // a shield hit sounds through the unit
    }
}

// Twenty bomblets start above the burst with half the canister's velocity, spread evenly about it.
void Burst(construct* con, const GrenadeFlightBlock* b) {
    ConstructPool* pool = SharedPool(SharedPoolId::Grenade);
    for (int n = 0; n < kClusterBomblets; ++n) {
        construct* g = pool ? NextFreeInConstructPool(pool) : nullptr;
        if (!g) continue;
        CreateQZEvent(QZEventKind::Buzy0, g);
        ActivateConstruct(g);
        PlaceRelativeToOwner(con, g, nullptr);
        std::memcpy(g->orient, b->launchOrient, sizeof g->orient);
        g->pos[1] = Clamp32(int64_t(g->pos[1]) + kBombletLift);
        g->owner = con->owner;
        const FixVec random{Random() >> 15, Random() >> 15, Random() >> 15};
        FixVec r{0, 0, 0};
        NormaliseF(&r, &random);
        const int32_t spread[3] = {r.x, r.y, r.z};
        GrenadeBlock* gb = Bomblet(g);
        for (int i = 0; i < 3; ++i) gb->velocity[i] = Bounded((b->velocity[i] >> 1) + (spread[i] >> 5));
    }
}

void TickCluster(construct* con) {
    GrenadeFlightBlock* b = Flight(con);
    LayTrail(con, b, true);
    // 1.
    const ProjectileHit hit = ProjectileHitTest(con);
    // 2.
    b->velocity[1] = Bounded(int64_t(b->velocity[1]) - b->gravity);
    Move(con, b->velocity);
    // 3. In the tick of impact it moves a second step and does not step back.
    if (hit.kind != kHitNone) {
        Move(con, b->velocity);
        PlayHitSound(con, b, hit.kind);
        Burst(con, b);
    }
    // 4.
    if (hit.expired) ReturnToPool(con);
}

// An effect of the grenade family where it struck: a flash on a structure or a shield, a splash (which
// deals its blow once, sparing the firer) on ground or water.
void Impact(construct* con, int kind) {
    if (kind == kHitStructure || kind == kHitShield) {
        if (construct* fx = SpawnEffect(con, SharedPoolId::ShellExpl)) {
            static_cast<CountdownBlock*>(fx->itfcData)->countdown = 30;
            fx->effectPhase = kind == kHitStructure ? 255 : 70;
        }
    } else if (kind == kHitGround || kind == kHitWater) {
        if (construct* fx = SpawnEffect(con, SharedPoolId::GrenadeSplash)) {
            fx->collisionClass = kProjectileCollisionClass;
            fx->owner = con->owner;
            static_cast<SplashBlock*>(fx->itfcData)->countdown = kGrenadeSplashCountdown;
            fx->effectPhase = kind == kHitGround ? 0 : 100;
        }
    }
}

void TickBomblet(construct* con) {
    GrenadeBlock* b = Bomblet(con);
    // 1.
    const ProjectileHit hit = ProjectileHitTest(con);
    // 2.
    b->velocity[1] = Bounded(int64_t(b->velocity[1]) - kBombletGravity);
    Move(con, b->velocity);
    // 3.
    if (hit.kind != kHitNone) {
        Move(con, b->velocity);
        Impact(con, hit.kind);
    }
    // 4.
    if (hit.shake) CameraShakeByDistance(con->pos, 0, 80, 1.1f, 150000);
    // 5.
    if (hit.kind != kHitNone) ReturnToPool(con);
}

void TickProjectile(construct* con) {
    GrenadeFlightBlock* b = Flight(con);
    LayTrail(con, b, false);
    // 1.
    const ProjectileHit hit = ProjectileHitTest(con);
    // 2.
    Move(con, b->velocity);
    // 3.
    if (hit.kind != kHitNone) {
        Move(con, b->velocity);
        Impact(con, hit.kind);
        PlayHitSound(con, b, hit.kind);
    }
    // 4. Met nothing for its lifetime: it bursts in the air.
    const int32_t c = weapons::CountDown(&b->lifetime);
    if (c < 1) {
        if (construct* fx = SpawnEffect(con, SharedPoolId::MExplode)) {
            fx->effectPhase = 0;
            fx->collisionClass = kProjectileCollisionClass;
            fx->owner = con->owner;
        }
        ReturnToPool(con);
    } else if (hit.expired) {
        ReturnToPool(con);
    }
}

// What the three share beyond the frame's answers: a projectile keeps no state.
uintptr_t Common(const PjtMember& m, construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETSTATE) return 0;
    return PjtMember_itfc(m, con, method, arg);
}

}  // namespace

uintptr_t ClusterGrenade_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateFlight(kCluster, Dir(arg), "cgrenade"));
        case ItfcMethod::TICK:
            TickCluster(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Flight(con)->impact);
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const LaunchRecord*>(arg)) LaunchFlight(con, launch, true);
            return 0;
        default:
            return Common(kCluster, con, method, arg);
    }
}

uintptr_t Projectile_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateFlight(kProjectile, Dir(arg), "projectile"));
        case ItfcMethod::TICK:
            TickProjectile(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Flight(con)->impact);
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const LaunchRecord*>(arg)) LaunchFlight(con, launch, false);
            return 0;
        default:
            return Common(kProjectile, con, method, arg);
    }
}

uintptr_t Grenade_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kGrenade, Dir(arg), "grenade", SetupBomblet));
        case ItfcMethod::TICK:
            TickBomblet(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Bomblet(con)->impact);
        default:
            return Common(kGrenade, con, method, arg);
    }
}
