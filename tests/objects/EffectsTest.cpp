// The effects of the projectile family on the demo island, made from the demo's object files into the
// shared pools as a level makes them: the lives of the effect types, the single blow of splashes and
// bursts, shield flashes on a moving unit, shards and fragments on the ground and in water, and missile
// and rocket flights.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/Projectile.h"
#include "objects/UnitRecord.h"
#include "objects/UnitSaved.h"
#include "render/Light.h"
#include "support/Fatal.h"
#include "support/PoolScene.h"
#include "support/ShotScene.h"
#include "game/Level_local.h"

namespace kvtest {
namespace {

class Effects : public PoolScene {
protected:
    void SetUp() override {
        PoolScene::SetUp();
        CurrentLevel.dustScale = 100;
    }

    // A stand-in unit (structure 100, no shield) whose probe points lie at the four corners of its box,
    // so the collision pass meets it in every terrain quarter it covers.
    construct* Unit(int32_t x, int32_t z, int32_t dx) {
        construct* u = scene_->Place(x, z, dx, 0, 100, 0);
        const uint8_t corners[4] = {0, 3, 5, 6};
        std::memcpy(u->sampleCorners, corners, sizeof corners);
        return u;
    }
    static int32_t* Words(construct* c) { return static_cast<int32_t*>(c->itfcData); }
};

// Each effect type with the values its spawner writes: how many ticks it lives, how its phase, frame or
// opacity runs, and that it is free in its pool afterwards.
TEST_F(Effects, EachTypeLivesItsTicksAndReturnsToItsPool) {
    struct Case {
        const char* what;
        SharedPoolId pool;
        std::function<void(construct*)> start;
        int level;  // busy level
        int ticks;
        std::function<void(construct*, int)> each;  // checks after each tick
    };
    auto phase = [](int32_t first, int32_t step) {
        return [=](construct* fx, int t) { EXPECT_EQ(fx->effectPhase, first + step * t) << "tick " << t; };
    };
    auto alpha = [](construct* fx) { return int(PjtFirstBBoard(fx)->alpha); };
    const Case cases[] = {
        {"BulletSplash on the ground", SharedPoolId::BulletSplash, [](construct* fx) { Words(fx)[0] = 80; fx->effectPhase = 0; },
         0, 81, phase(0, 2)},
        {"BulletSplash in water", SharedPoolId::BulletSplash, [](construct* fx) { Words(fx)[0] = 45; fx->effectPhase = 105; },
         0, 46, phase(105, 2)},
        {"ShellExpl", SharedPoolId::ShellExpl, [](construct* fx) { Words(fx)[0] = 30; fx->effectPhase = 255; }, 0, 31,
         phase(255, -8)},
        {"HitSpark", SharedPoolId::HitSpark, [](construct* fx) { Words(fx)[0] = 15; fx->effectPhase = 60; }, 0, 16,
         phase(60, 0)},
        {"ShellSplash", SharedPoolId::ShellSplash,
         [](construct* fx) { Words(fx)[1] = 105; fx->collisionClass = 1; fx->effectPhase = 0; }, 0, 106,
         [](construct* fx, int t) {
             EXPECT_EQ(fx->effectPhase, 5 * t);
             EXPECT_EQ(fx->collisionClass, 0) << "one collision pass only";
         }},
        {"ShellSplash of countdown 1 keeps its class", SharedPoolId::ShellSplash,
         [](construct* fx) { Words(fx)[1] = 1; fx->collisionClass = 1; fx->effectPhase = 0; }, 0, 2,
         [](construct* fx, int) { EXPECT_EQ(fx->collisionClass, 1); }},
        {"GrenadeSplash", SharedPoolId::GrenadeSplash, [](construct* fx) { Words(fx)[1] = 95; fx->effectPhase = 0; }, 0, 96,
         phase(0, 1)},
        {"Explode1", SharedPoolId::Explode1,
         [](construct* fx) { Words(fx)[0] = 0; PjtFirstBBoard(fx)->fixedFrame = 0; }, 0, 258,
         [](construct* fx, int t) {
             if (t == 258) { EXPECT_EQ(PjtFirstBBoard(fx)->fixedFrame, 33); }
         }},
        {"Shockwave", SharedPoolId::Shockwave, [](construct* fx) { Words(fx)[0] = 50; }, 0, 51,
         [](construct* fx, int t) {
             EXPECT_EQ(fx->drawScale, t == 1 ? 0 : 5 * (t - 1)) << "tick " << t;
             EXPECT_EQ(fx->opacity, 5 * (51 - t)) << "tick " << t;
         }},
        {"MExplode", SharedPoolId::MExplode, [](construct* fx) { fx->effectPhase = 0; fx->collisionClass = 1; }, 0, 95,
         [](construct* fx, int t) {
             EXPECT_EQ(fx->effectPhase, 4 * t);
             EXPECT_EQ(fx->collisionClass, 0);
         }},
        {"Smoky every eighth tick", SharedPoolId::Smoky,
         [](construct* fx) {
             auto* b = static_cast<SmokyBlock*>(fx->itfcData);
             *b = SmokyBlock{{0, 10000, 0}, 0};
             PjtFirstBBoard(fx)->size1 = 2500;
         },
         3, 188,
         [&](construct* fx, int t) {
             const int age = 8 * t;
             const int want = age < 50 ? int(age * 5.1) : (age < 1000 ? 255 : std::max(0, int(255 - (age - 1000) * 0.51)));
             EXPECT_EQ(alpha(fx), want) << "tick " << t;
             EXPECT_EQ(PjtFirstBBoard(fx)->size1, 2500 + 120 * t);
         }},
        {"Dust of life 50", SharedPoolId::Dust,
         [](construct* fx) {
             auto* b = static_cast<DustBlock*>(fx->itfcData);
             *b = DustBlock{{0, 10000, 0}, 50, 100};
         },
         0, 51, [&](construct* fx, int t) {
             const int life = 50 - t;
             if (life >= 0) { EXPECT_EQ(alpha(fx), life > 10 ? 200 : life * 20) << "tick " << t; }
         }},
        {"Fire1 shorter than its light's dimming", SharedPoolId::Fire1,
         [](construct* fx) {
             auto* b = static_cast<Fire1Block*>(fx->itfcData);
             b->age = 0;
             b->lifetime = 120;
             b->generations = 0;
             PjtFirstBBoard(fx)->fixedFrame = 0;
         },
         0, 121, [](construct* fx, int t) {
             const auto* b = static_cast<const Fire1Block*>(fx->itfcData);
             EXPECT_EQ(IsActiveLight(b->light), t < 121 ? 1 : 0) << "tick " << t;
         }},
        {"FireTail of age 1", SharedPoolId::Firetail, [](construct* fx) { Words(fx)[0] = 1; }, 0, 9,
         [&](construct* fx, int t) {
             if (t < 9) { EXPECT_EQ(alpha(fx), 200 - 20 * t); }
         }},
        {"FireTail of age 0", SharedPoolId::Firetail, [](construct* fx) { Words(fx)[0] = 0; }, 0, 10, nullptr},
        {"Vapour", SharedPoolId::Vapour,
         [](construct* fx) {
             auto* b = static_cast<VapourBlock*>(fx->itfcData);
             *b = VapourBlock{0, 256};
         },
         0, 201, [&](construct* fx, int t) {
             const int want = t == 1 ? 8 : t == 2 ? 17 : t == 3 ? 25 : t == 30 ? 255 : t == 200 ? 0 : -1;
             if (want >= 0) { EXPECT_EQ(alpha(fx), want) << "tick " << t; }
         }},
        {"MSmoke", SharedPoolId::MSmoke, [](construct* fx) { fx->effectPhase = 0; }, 0, 12,
         [&](construct* fx, int t) {
             if (t == 1) { EXPECT_EQ(alpha(fx), 200); }
             if (t == 2) { EXPECT_EQ(alpha(fx), 185); }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* fx = Take(c.pool, AboveBase(30000));
        ASSERT_NE(fx, nullptr);
        c.start(fx);
        if (c.level != 0) {
            UnMakeBuzy(fx);
            MakeBuzy(fx, c.level);
        }
        EXPECT_EQ(Life(fx, 2000, c.each ? std::function<void(int)>([&](int t) { c.each(fx, t); }) : nullptr), c.ticks);
        EXPECT_FALSE(fx->flags & (kConBusy | kConEventPending));
        // Free again for the next spawner.
        ConstructPool* pool = SharedPool(c.pool);
        bool found = false;
        for (int i = 0; i < pool->count && !found; ++i) found = NextFreeInConstructPool(pool) == fx;
        EXPECT_TRUE(found);
    }
}

// A splash or burst spawned with the projectiles' class deals its blow in the one collision pass before
// its first tick: both units it touches are hurt once, a unit that arrives a tick later not at all, and
// its owner (the firer) is spared.
TEST_F(Effects, SplashesAndBurstsHurtWhatStandsInThemOnce) {
    struct Case {
        const char* what;
        SharedPoolId pool;
        int countdownWord;  // -1: none
        int32_t structureLoss;  // the blow's shield byte goes to the structure of a unit without shield
        bool ownedByA;
    };
    const Case cases[] = {
        {"shell splash", SharedPoolId::ShellSplash, 1, 2, false},
        {"grenade splash", SharedPoolId::GrenadeSplash, 1, 15, false},
        {"missile burst, its firer spared", SharedPoolId::MExplode, -1, 15, true},
    };
    int32_t z = base_.z - base_.radius / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        z += 60000;
        construct* a = Unit(base_.x - 3000, z, 1);
        construct* b = Unit(base_.x + 3000, z, -1);
        construct* late = Unit(base_.x + 40000, z, -1);
        const int32_t at[3] = {base_.x, 0, z};
        construct* fx = SpawnEffect(At(base_.x, InterpGroundHeight(CurrentMatrix, at, nullptr) + 500, z), c.pool);
        ASSERT_NE(fx, nullptr);
        fx->collisionClass = 1;
        fx->effectPhase = 0;
        if (c.countdownWord >= 0) Words(fx)[c.countdownWord] = 100;
        if (c.ownedByA) fx->owner = a;
        FlushQZEvents();
        WorldTick(1, 0);
        // The late one walks into the burst's sphere.
        late->pos[0] = base_.x;
        for (int i = 0; i < 20; ++i) WorldTick(1, 0);
        EXPECT_EQ(ShotBlock(a)->hits, c.ownedByA ? 0 : 1);
        EXPECT_EQ(ShotBlock(b)->hits, 1);
        EXPECT_EQ(ShotBlock(late)->hits, 0);
        EXPECT_EQ(ShotBlock(b)->state.structure, 100 - c.structureLoss);
    }
}

// Fifteen flashes at most, each on the unit's sphere at its own offset, turning a little each tick, while
// the unit drives on; they end when their time is up, or when the unit leaves the world.
TEST_F(Effects, ShieldFlashesFollowAMovingUnitAndEndWithIt) {
    construct* unit = scene_->Place(base_.x, base_.z, 1, 0, 100, 100);
    ShotUnitBlock* b = ShotBlock(unit);
    const DamageRecord blow{0, 40, 0};
    // Struck on its side, 5000 above the ground.
    unit->hitPoints[0][0] = unit->pos[0] + 9000;
    unit->hitPoints[0][1] = unit->pos[1] + 5000;
    unit->hitPoints[0][2] = unit->pos[2];
    ApplyHitToUnit(unit, 0, &b->state, &blow);
    FlushQZEvents();
    ConstructPool* pool = SharedPool(SharedPoolId::ShieldHit);
    std::vector<construct*> flashes;
    for (int i = 0; i < pool->count; ++i)
        if (Alive(pool->constructs[i])) flashes.push_back(pool->constructs[i]);
    ASSERT_EQ(flashes.size(), 15u);
    const int32_t radius = unit->sphere.radius;
    std::vector<int32_t> spread;
    for (int t = 1; t <= 46; ++t) {
        unit->pos[0] += 700;  // the unit drives on
        for (construct* f : flashes) {
            const auto* fb = static_cast<const ShieldHitBlock*>(f->itfcData);
            const std::vector<int32_t> before(fb->offset, fb->offset + 3);
            CallItfc(f, ItfcMethod::TICK, 0);
            if (!Alive(f)) continue;
            const double dx = f->pos[0] - unit->pos[0], dy = f->pos[1] - unit->pos[1], dz = f->pos[2] - unit->pos[2];
            EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), radius, radius * 0.03) << "tick " << t;
            EXPECT_NE(std::vector<int32_t>(fb->offset, fb->offset + 3), before) << "it turns, tick " << t;
            if (t == 20) spread.push_back(int32_t(dx));
        }
        FlushQZEvents();
    }
    for (construct* f : flashes) EXPECT_FALSE(Alive(f)) << "46 ticks";
    std::sort(spread.begin(), spread.end());
    EXPECT_GT(spread.back() - spread.front(), radius / 20) << "each its own spin axis";

    // A unit that leaves the world takes its flashes with it.
    const DamageRecord small{0, 3, 0};
    ApplyHitToUnit(unit, 0, &b->state, &small);
    FlushQZEvents();
    int alive = 0;
    for (int i = 0; i < pool->count; ++i) alive += Alive(pool->constructs[i]);
    EXPECT_EQ(alive, 3);
    ForgetUnitReferences(unit);
    for (int i = 0; i < pool->count; ++i) CallItfc(pool->constructs[i], ItfcMethod::TICK, 0);
    FlushQZEvents();
    for (int i = 0; i < pool->count; ++i) EXPECT_FALSE(Alive(pool->constructs[i]));
    // A unit without shield gets none.
    b->state.shield = 0;
    ApplyHitToUnit(unit, 0, &b->state, &blow);
    alive = 0;
    for (int i = 0; i < pool->count; ++i) alive += Alive(pool->constructs[i]);
    EXPECT_EQ(alive, 0);
}

// Debris of a structure hit: damage >> 2 fragments from the pool, each at the hit with phase 255 and its
// countdown byte -6.
TEST_F(Effects, StructureDamageThrowsFragmentsWithTheirCountdownByte) {
    construct* unit = scene_->Place(base_.x, base_.z, 1, 0, 100, 0);
    const int32_t push[3] = {0, 0, 32768};
    SpawnDebris(unit, -1, &ShotBlock(unit)->state, push, 12, 1);
    EXPECT_EQ(ShotBlock(unit)->state.structure, 88);
    ConstructPool* pool = SharedPool(SharedPoolId::Fragment);
    int thrown = 0;
    for (int i = 0; i < pool->count; ++i) {
        construct* f = pool->constructs[i];
        if (!Alive(f)) continue;
        ++thrown;
        EXPECT_EQ(static_cast<const FragmentBlock*>(f->itfcData)->countdown, -6);
        EXPECT_EQ(f->effectPhase, 255);
        EXPECT_EQ(std::vector<int32_t>(f->pos, f->pos + 3), std::vector<int32_t>(unit->pos, unit->pos + 3));
    }
    EXPECT_EQ(thrown, 3);
}

// A thrown shard tumbles, lands and rests: a building's (lifetime 0) stays drawn for good and leaves its
// busy pool, a unit's sinks away and is freed from the pool "frag"; one that lands in water vanishes and
// keeps its place. A fragment goes at its first touch of the ground.
TEST_F(Effects, ShardsRestOnFlatAndSlopedGroundSinkAndVanishInWater) {
    const mkdemo::DemoPlace hill = mkdemo::DemoIslandPlace("hill");
    const mkdemo::DemoPlace lake = mkdemo::DemoIslandPlace("lake");
    struct Case {
        const char* what;
        int32_t x, z;
        int32_t lifetime;
        bool water;
    };
    const Case cases[] = {
        {"a building's shard on flat ground", base_.x, base_.z, 0, false},
        {"a building's shard on the hillside", hill.x + hill.radius * 2, hill.z, 0, false},
        {"a unit's shard on flat ground", base_.x + 20000, base_.z, 1000, false},
        {"a shard over the lake", lake.x, lake.z, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t at[3] = {c.x, 0, c.z};
        const int32_t ground = InterpGroundHeight(CurrentMatrix, at, nullptr);
        construct* owner = At(c.x, ground + 3000, c.z);
        auto* shard = reinterpret_cast<construct*>(
            Shard_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>("Objects\\frags\\ema\\frag1")));
        ASSERT_NE(shard, nullptr);
        AppendToConstructPool(FragPool, shard);
        const float factor[3] = {1, 16, 1}, spin[3] = {300, 500, 200};
        LaunchParts(owner, 1, &shard, factor, spin);
        auto* rec = static_cast<ShardRecord*>(shard->itfcData);
        rec->lifetime = c.lifetime;
        FlushQZEvents();
        int ticks = 0;
        bool rested = false, freed = false;
        while (ticks < 4000) {
            CallItfc(shard, ItfcMethod::TICK, 0);
            ++ticks;
            FlushQZEvents();
            if (!IsInConstructPool(shard, FragPool)) {
                freed = true;  // sunk, taken out of "frag" and freed at the flush
                break;
            }
            if (!rested && (shard->flags & kConSettled || rec->resting)) {
                rested = true;
                EXPECT_GE(ticks, 64) << "it flies at least 64 ticks";
                const int32_t below = InterpGroundHeight(CurrentMatrix, shard->pos, nullptr);
                EXPECT_NEAR(shard->pos[1], below, 3000);
            }
            if (!(shard->flags & kConBusy)) break;
        }
        if (c.water) {
            EXPECT_FALSE(Alive(shard)) << "gone from the view";
            EXPECT_TRUE(IsInConstructPool(shard, FragPool)) << "keeps its place until the level ends";
            RemoveFromConstructPool(FragPool, shard);
            FreeConstruct(shard);
        } else if (c.lifetime == 0) {
            EXPECT_TRUE(rested);
            EXPECT_TRUE(shard->flags & kConSettled);
            EXPECT_TRUE(Alive(shard)) << "stays drawn";
            RemoveFromConstructPool(FragPool, shard);
            FreeConstruct(shard);
        } else {
            EXPECT_TRUE(rested);
            EXPECT_TRUE(freed) << "sunk and freed after " << ticks << " ticks";
            EXPECT_GT(ticks, 1066 + 1000 + 800);
        }
    }

    // Fragments: one falls until it touches the ground; one spawned below the ground goes at once but
    // still moves that tick.
    construct* high = Take(SharedPoolId::Fragment, AboveBase(2000));
    *static_cast<FragmentBlock*>(high->itfcData) = FragmentBlock{{0, 0, 0}, {0, 0, 0}, {100, 0, 0}, -6, {}};
    const int fell = Life(high, 1000);
    EXPECT_GT(fell, 30);
    EXPECT_LT(fell, 200);
    construct* low = Take(SharedPoolId::Fragment, AboveBase(-2000));
    *static_cast<FragmentBlock*>(low->itfcData) = FragmentBlock{{8192 * 10, 0, 0}, {0, 0, 0}, {0, 0, 0}, -6, {}};
    const int32_t x = low->pos[0];
    EXPECT_EQ(Life(low, 10), 1);
    EXPECT_EQ(low->pos[0], x + 10);
}

// ---- Missiles and rockets.

class Flights : public Effects {
protected:
    // A missile or rocket taken from its pool, placed high over the base flying along +x, launched.
    construct* Launch(SharedPoolId pool, LaunchRecord launch, construct* owner = nullptr, int32_t height = 40000) {
        ConstructPool* p = SharedPool(pool);
        construct* m = NextFreeInConstructPool(p);
        EXPECT_NE(m, nullptr);
        CreateQZEvent(QZEventKind::Buzy0, m);
        ActivateConstruct(m);
        PlaceRelativeToOwner(AboveBase(height), m, nullptr);
        m->owner = owner;
        CallItfc(m, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
        FlushQZEvents();
        return m;
    }
    static LaunchRecord Record(int32_t speed, int32_t accel, int32_t ignition, int32_t range) {
        LaunchRecord r{};
        r.speed = speed;
        r.acceleration = accel;
        r.timeToIgnition = ignition;
        r.range = range;
        r.firstOfVolley = 1;
        r.impact[0] = 5;
        r.impact[1] = 6;
        r.impact[2] = 7;
        return r;
    }
    static MissileBlock* M(construct* m) { return static_cast<MissileBlock*>(m->itfcData); }
    static void Tick(construct* m) {
        CallItfc(m, ItfcMethod::TICK, 0);
        FlushQZEvents();
    }
    static int ActiveIn(SharedPoolId id) {
        ConstructPool* p = SharedPool(id);
        int n = 0;
        for (int i = 0; i < p->count; ++i) n += Alive(p->constructs[i]);
        return n;
    }
};

TEST_F(Flights, IgnitionAccelerationRangeAndTheLightOfAVolley) {
    // Ignition 0: lit from the launch, accelerating from the first tick with an overshoot of one step.
    construct* m = Launch(SharedPoolId::Missile, Record(100, 7, 0, 1 << 30));
    EXPECT_EQ(m->effectPhase, 255);
    EXPECT_TRUE(IsActiveLight(M(m)->light));
    const int32_t y = m->pos[1];
    std::vector<int32_t> speeds;
    for (int t = 0; t < 16; ++t) {
        Tick(m);
        speeds.push_back(M(m)->speed);
    }
    EXPECT_EQ(speeds[0], 7);
    EXPECT_EQ(speeds[13], 98);
    EXPECT_EQ(speeds[14], 105);
    EXPECT_EQ(speeds[15], 105);
    EXPECT_EQ(m->pos[1], y) << "no drop without a wait for ignition";

    // Ignition 5, not the first of its volley: dark, sinking on four ticks, lit on the fifth, when it
    // also starts to accelerate.
    LaunchRecord second = Record(100, 10, 5, 1 << 30);
    second.firstOfVolley = 0;
    construct* n = Launch(SharedPoolId::Missile, second);
    EXPECT_EQ(n->effectPhase, 0);
    EXPECT_FALSE(IsActiveLight(M(n)->light));
    const int32_t drop = M(n)->dropSpeed;
    ASSERT_LT(drop, 0) << "the demo's missiles sink along their up axis";
    for (int t = 1; t <= 5; ++t) {
        const int32_t before = n->pos[1];
        Tick(n);
        EXPECT_EQ(n->pos[1] - before, t < 5 ? drop : 0) << "tick " << t;
        EXPECT_EQ(IsActiveLight(M(n)->light), t == 5 ? 1 : 0) << "tick " << t;
        EXPECT_EQ(M(n)->speed, t == 5 ? 10 : 0);
    }
    EXPECT_EQ(n->effectPhase, 255);

    // Only the first of a volley is lit at launch.
    LaunchRecord third = Record(100, 10, 0, 1 << 30);
    third.firstOfVolley = 0;
    construct* o = Launch(SharedPoolId::Missile, third);
    EXPECT_FALSE(IsActiveLight(M(o)->light));

    // Expiry by range: silent, the light out, no burst.
    construct* r = Launch(SharedPoolId::Rocket, Record(1000, 0, 0, 3000));
    M(r)->speed = 1000;
    int ticks = 0;
    while (Alive(r) && ticks < 100) {
        Tick(r);
        ++ticks;
    }
    EXPECT_EQ(ticks, 5);
    EXPECT_FALSE(IsActiveLight(M(r)->light));
    EXPECT_EQ(ActiveIn(SharedPoolId::MExplode), 0);
}

// A guided rocket turns toward its lock target by at most its turn rate a tick about each axis, marks the
// target as chased and lets go of it at its end; without a target or turn rate it flies straight.
TEST_F(Flights, ARocketHomesWithinItsTurnRateAndReleasesItsTarget) {
    // Ahead, some 18 degrees to the side and below.
    construct* target = scene_->Place(base_.x + 150000, base_.z + 50000, 1, 0, 100, 0);
    UnitShare* rec = &ShotBlock(target)->share;
    LaunchRecord guided = Record(1500, 100, 0, 1 << 30);
    guided.turnRate = 3000;
    guided.lockTarget = target;
    construct* r = Launch(SharedPoolId::Rocket, guided, nullptr, 8000);
    EXPECT_EQ(rec->missileCount, 1);
    double angle = 180;
    int ticks = 0;
    while (Alive(r) && ticks < 400) {
        const FixVec before{r->orient[6], r->orient[7], r->orient[8]};
        Tick(r);
        ++ticks;
        const FixVec after{r->orient[6], r->orient[7], r->orient[8]};
        const double dot = (double(before.x) * after.x + double(before.y) * after.y + double(before.z) * after.z) /
                           (std::sqrt(double(before.x) * before.x + double(before.y) * before.y + double(before.z) * before.z) *
                            std::sqrt(double(after.x) * after.x + double(after.y) * after.y + double(after.z) * after.z));
        EXPECT_LE(std::acos(std::min(1.0, dot)), 3000.0 / 65536.0 * 1.5) << "tick " << ticks;
        if (ticks == 25) {
            const double tx = target->pos[0] - r->pos[0], tz = target->pos[2] - r->pos[2];
            angle = std::fabs(std::atan2(tz, tx) - std::atan2(double(after.z), double(after.x))) * 180 / M_PI;
        }
    }
    EXPECT_LT(angle, 10.0) << "it has turned toward the target";
    EXPECT_FALSE(Alive(r)) << "it struck";
    EXPECT_EQ(rec->missileCount, 0);
    EXPECT_EQ(ActiveIn(SharedPoolId::MExplode), 1);

    // A target that leaves the world: the rocket flies on straight and holds no reference.
    construct* r2 = Launch(SharedPoolId::Rocket, guided, nullptr, 60000);
    EXPECT_EQ(rec->missileCount, 1);
    ForgetUnitReferences(target);
    EXPECT_EQ(rec->missileCount, 0);
    EXPECT_EQ(M(r2)->target, nullptr);
    const FixVec heading{r2->orient[6], r2->orient[7], r2->orient[8]};
    for (int t = 0; t < 20; ++t) Tick(r2);
    EXPECT_EQ(r2->orient[6], heading.x);
    EXPECT_EQ(r2->orient[8], heading.z);

    // Unguided (turn rate 0): no reference, straight.
    LaunchRecord straight = guided;
    straight.turnRate = 0;
    construct* r3 = Launch(SharedPoolId::Rocket, straight, nullptr, 60000);
    EXPECT_EQ(rec->missileCount, 0);
    EXPECT_EQ(M(r3)->target, nullptr);
}

// A strike: the burst 15000 below the centre along the up axis, at phase 0 with the projectiles' class and
// the rocket's owner; with empty trail and burst pools the flight goes on and ends as well.
TEST_F(Flights, TheBurstAndEmptyTrailAndBurstPools) {
    construct* owner = scene_->Place(base_.x - 90000, base_.z, 1, 0, 100, 0);
    LaunchRecord down = Record(2000, 0, 0, 1 << 30);
    construct* r = Launch(SharedPoolId::Rocket, down, owner, 3000);
    M(r)->speed = 2000;
    // Pitched down: it strikes the ground.
    const int32_t pitched[9] = {0, 0, -32768, 23170, 23170, 0, 23170, -23170, 0};
    std::memcpy(r->orient, pitched, sizeof pitched);
    int ticks = 0;
    while (Alive(r) && ticks < 100) {
        Tick(r);
        ++ticks;
    }
    ASSERT_FALSE(Alive(r));
    ConstructPool* bursts = SharedPool(SharedPoolId::MExplode);
    construct* burst = nullptr;
    for (int i = 0; i < bursts->count; ++i)
        if (Alive(bursts->constructs[i])) burst = bursts->constructs[i];
    ASSERT_NE(burst, nullptr);
    EXPECT_EQ(burst->effectPhase, 0);
    EXPECT_EQ(burst->collisionClass, 1);
    EXPECT_EQ(burst->owner, owner);
    int32_t expect[3];
    const int32_t below[3] = {0, -15000, 0};
    PlacePointRelativeToOwner(r, expect, below);
    EXPECT_EQ(std::vector<int32_t>(burst->pos, burst->pos + 3), std::vector<int32_t>(expect, expect + 3));
    EXPECT_GT(ActiveIn(SharedPoolId::MSmoke), 0) << "a rocket leaves smoke";

    // Every trail puff and burst in use: missiles and rockets fly and end all the same.
    for (SharedPoolId id : {SharedPoolId::Vapour, SharedPoolId::MSmoke, SharedPoolId::MExplode}) {
        ConstructPool* p = SharedPool(id);
        for (int i = 0; i < p->count; ++i) ActivateConstruct(p->constructs[i]);
    }
    construct* m = Launch(SharedPoolId::Missile, down, owner, 30000);
    M(m)->speed = 2000;
    std::memcpy(m->orient, pitched, sizeof pitched);
    for (int t = 0; t < 4; ++t) Tick(m);
    EXPECT_EQ(M(m)->vapourCountdown, 0);
    const std::vector<int32_t> where(m->pos, m->pos + 3);
    Tick(m);
    EXPECT_EQ(M(m)->vapourCountdown, 7) << "renewed without a puff";
    EXPECT_EQ(std::vector<int32_t>(M(m)->lastTrail, M(m)->lastTrail + 3), where) << "and the trail point";
    ticks = 0;
    while (Alive(m) && ticks < 100) {
        Tick(m);
        ++ticks;
    }
    EXPECT_FALSE(Alive(m)) << "it struck without a burst";
}

}  // namespace
}  // namespace kvtest

namespace kvtest {
namespace {

std::vector<uint8_t> FormOf(construct* con) {
    int32_t size = 0;
    auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    std::vector<uint8_t> out(block, block + size);
    qzFree(block);
    return out;
}

void PutWord(std::vector<uint8_t>& form, size_t at, int32_t v) {
    for (int k = 0; k < 4; ++k) form[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
}

// The stored effects' forms: each is accepted by its check as it stands in its pool and comes back the
// same; a form at the edge of what the check accepts is still accepted after the effect ran on from it
// (the fuzz harness "effectsaved" found a dust puff near the lowest life and a rocket slowing by a
// negative acceleration whose next forms were refused).
TEST_F(Effects, StoredFormsAreAcceptedAndStayAcceptedAfterTheyRunOn) {
    struct Case {
        const char* what;
        SharedPoolId pool;
        std::function<void(std::vector<uint8_t>&)> edit;
        int ticks;
        int level = 0;  // busy level
    };
    const Case cases[] = {
        {"Explode1", SharedPoolId::Explode1, nullptr, 1},
        {"MExplode", SharedPoolId::MExplode, nullptr, 1},
        {"Missile", SharedPoolId::Missile, nullptr, 1},
        {"Rocket", SharedPoolId::Rocket, nullptr, 1},
        {"MSmoke", SharedPoolId::MSmoke, nullptr, 1},
        {"Smoky", SharedPoolId::Smoky, nullptr, 1},
        {"Fire1", SharedPoolId::Fire1, nullptr, 1},
        {"Dust", SharedPoolId::Dust, nullptr, 1},
        {"Shrapnel", SharedPoolId::Shrapnel, nullptr, 1},
        {"FireTail", SharedPoolId::Firetail, nullptr, 1},
        {"a dust puff at the lowest life, every eighth tick", SharedPoolId::Dust,
         [](std::vector<uint8_t>& f) { PutWord(f, 12, -(1 << 24) + 3); }, 1, 3},
        {"a rocket slowing down", SharedPoolId::Rocket,
         [](std::vector<uint8_t>& f) {
             PutWord(f, 0, 3000);     // top speed
             PutWord(f, 20, -327679); // acceleration
             PutWord(f, 12, 1 << 30); // range
         },
         80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* fx = Take(c.pool, AboveBase(200000));
        if (c.level) {
            UnMakeBuzy(fx);
            MakeBuzy(fx, c.level);
        }
        std::vector<uint8_t> form = FormOf(fx);
        EXPECT_EQ(CheckSavedBlock(fx->itfc, form.data(), form.size()), nullptr);
        if (c.edit) c.edit(form);
        ASSERT_EQ(CheckSavedBlock(fx->itfc, form.data(), form.size()), nullptr);
        CallItfc(fx, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form.data()));
        const std::vector<uint8_t> back = FormOf(fx);
        CallItfc(fx, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(back.data()));
        EXPECT_EQ(FormOf(fx), back);
        for (int t = 0; t < c.ticks && (fx->flags & kConBusy); ++t) {
            CallItfc(fx, ItfcMethod::TICK, 0);
            FlushQZEvents();
        }
        const std::vector<uint8_t> after = FormOf(fx);
        EXPECT_EQ(CheckSavedBlock(fx->itfc, after.data(), after.size()), nullptr);
        DeactivateConstruct(fx);
        CreateQZEvent(QZEventKind::UnBuzy, fx);
        FlushQZEvents();
    }
}

// Every type answers GETNAME without a construct, and a method it does not know with 0.
TEST(EffectTypes, NamesAndUnknownMethods) {
    const struct {
        ItfcProc itfc;
        const char* name;
    } types[] = {
        {BulletSplash_itfc, "BulletSplash"}, {ShellSplash_itfc, "ShellSplash"}, {GrenadeSplash_itfc, "GrenadeSplash"},
        {ShellExpl_itfc, "ShellExpl"},       {HitSpark_itfc, "HitSpark"},       {ShieldHit_itfc, "ShieldHit"},
        {Explode1_itfc, "Explode1"},         {Shockwave_itfc, "Shockwave"},     {MExplode_itfc, "MExplode"},
        {Smoky_itfc, "Smoky"},               {Dust_itfc, "Dust"},               {ShellCase_itfc, "ShellCase"},
        {Fire1_itfc, "Fire1"},               {Fragment_itfc, "Fragment"},       {Shard_itfc, "Shard"},
        {Shrapnel_itfc, "Shrapnel"},         {FireTail_itfc, "FireTail"},       {Missile_itfc, "Missile"},
        {Rocket_itfc, "Rocket"},             {Vapour_itfc, "Vapour"},           {MSmoke_itfc, "MSmoke"},
    };
    for (const auto& t : types) {
        EXPECT_STREQ(ItfcName(t.itfc), t.name);
        EXPECT_EQ(t.itfc(nullptr, ItfcMethod::GETTURRETYAW, 0), 0u) << t.name;
    }
}

}  // namespace
}  // namespace kvtest
