// The weapon kinds on the demo island, made from the demo's object files into the shared pools as a level
// makes them: the flights of grenades, projectiles, capsules and flares, the lives of the beam and sensor
// segments and of the decals, the draping of decals on flat, sloped and water-covered ground, the saved
// forms of the stored kinds, and the faults mended on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/Projectile.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "host/Fs.h"
#include "platform/Palette.h"
#include "render/Light.h"
#include "support/Fatal.h"
#include "support/PoolScene.h"
#include "support/ShotScene.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/ObjectFile.h"
#include "world/Geom.h"
#include "game/Level_local.h"
#include "world/ObjFile.h"

namespace kvtest {
namespace {

class Weapons : public PoolScene {
protected:
    void SetUp() override {
        PoolScene::SetUp();
        if (HasFatalFailure()) return;
        lake_ = mkdemo::DemoIslandPlace("lake");
        hill_ = mkdemo::DemoIslandPlace("hill");
        ResetRandomGenerators();
    }
    static int32_t Ground(int32_t x, int32_t z) {
        const int32_t p[3] = {x, 0, z};
        return InterpGroundHeight(CurrentMatrix, p, nullptr);
    }

    // A projectile taken from its pool as a weapon takes it, placed at the spawner and launched.
    static construct* Launch(SharedPoolId pool, const LaunchRecord& launch, construct* at, construct* owner = nullptr) {
        construct* p = NextFreeInConstructPool(SharedPool(pool));
        EXPECT_NE(p, nullptr) << SharedPoolDefs[static_cast<int>(pool)].name;
        if (!p) return nullptr;
        CreateQZEvent(QZEventKind::Buzy0, p);
        ActivateConstruct(p);
        PlaceRelativeToOwner(at, p, nullptr);
        p->owner = owner;
        CallItfc(p, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
        FlushQZEvents();
        return p;
    }
    static LaunchRecord Record(int32_t speed, int32_t gravity = 0, int32_t range = 1 << 30) {
        LaunchRecord r{};
        r.speed = speed;
        r.gravity = gravity;
        r.range = range;
        r.firstOfVolley = 1;
        r.impact[0] = 5;
        r.impact[1] = 6;
        r.impact[2] = 7;
        return r;
    }
    static void Tick(construct* c) {
        CallItfc(c, ItfcMethod::TICK, 0);
        FlushQZEvents();
    }
    static int Active(SharedPoolId id) {
        ConstructPool* p = SharedPool(id);
        int n = 0;
        for (int i = 0; p && i < p->count; ++i) n += Alive(p->constructs[i]);
        return n;
    }
    static std::vector<construct*> ActiveIn(SharedPoolId id) {
        std::vector<construct*> out;
        ConstructPool* p = SharedPool(id);
        for (int i = 0; p && i < p->count; ++i)
            if (Alive(p->constructs[i])) out.push_back(p->constructs[i]);
        return out;
    }
    static std::vector<uint8_t> FormOf(construct* c) {
        int32_t size = 0;
        auto* block = reinterpret_cast<uint8_t*>(CallItfc(c, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
        std::vector<uint8_t> out(block, block + size);
        qzFree(block);
        return out;
    }

    mkdemo::DemoPlace lake_{}, hill_{};
};

// ---- Flights.

// One table of flights: each case launches its kind over the base and checks what it does.
TEST_F(Weapons, ProjectileFlights) {
    struct Case {
        const char* what;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"a projectile launched with speed S moves S/2 a tick and bursts in the air after 101 ticks",
         [&] {
             construct* up = At(base_.x, kFlat + 200000, base_.z);
             const int32_t rows[9] = {32768, 0, 0, 0, 0, -32768, 0, 32768, 0};  // forward: straight up
             std::memcpy(up->orient, rows, sizeof rows);
             construct* p = Launch(SharedPoolId::Projectile, Record(3000), up, up);
             const int32_t y0 = p->pos[1];
             Tick(p);
             EXPECT_EQ(p->pos[1] - y0, 1500);
             const int lived = Life(p, 200);
             EXPECT_EQ(lived, 100) << "101 ticks in all";
             const std::vector<construct*> bursts = ActiveIn(SharedPoolId::MExplode);
             ASSERT_EQ(bursts.size(), 1u);
             EXPECT_EQ(bursts[0]->owner, up) << "the burst carries the projectile's owner";
             EXPECT_EQ(bursts[0]->collisionClass, kProjectileCollisionClass);
             EXPECT_EQ(bursts[0]->pos[1], y0 + 101 * 1500);
             EXPECT_GE(Active(SharedPoolId::Vapour), 25) << "its trail";
         }},
        {"a projectile that strikes the ground ends in a splash, no air burst",
         [&] {
             construct* down = AboveBase(3000);
             const int32_t rows[9] = {32768, 0, 0, 0, 0, 32768, 0, -32768, 0};  // forward: straight down
             std::memcpy(down->orient, rows, sizeof rows);
             construct* p = Launch(SharedPoolId::Projectile, Record(4000), down, down);
             EXPECT_LT(Life(p, 20), 5);
             EXPECT_EQ(Active(SharedPoolId::MExplode), 0);
             const std::vector<construct*> splashes = ActiveIn(SharedPoolId::GrenadeSplash);
             ASSERT_EQ(splashes.size(), 1u);
             EXPECT_EQ(splashes[0]->effectPhase, 0);
             EXPECT_EQ(splashes[0]->owner, down) << "it spares the firer";
         }},
        {"a cluster grenade with no gravity flies straight and bursts into twenty bomblets",
         [&] {
             construct* at = AboveBase(3000);
             const int32_t rows[9] = {0, 0, -32768, 32768, 0, 0, 0, -32768, 0};  // forward: down
             std::memcpy(at->orient, rows, sizeof rows);
             construct* g = Launch(SharedPoolId::ClusterGrenade, Record(1000), at, at);
             const GrenadeFlightBlock before = *static_cast<const GrenadeFlightBlock*>(g->itfcData);
             for (int i : {0, 2}) EXPECT_LE(std::abs(before.velocity[i]), 128) << "the launch scatter";
             EXPECT_LE(std::abs(before.velocity[1] + 1000), 128);
             int32_t last[3] = {};
             int ticks = 0;
             while (Alive(g) && ticks < 50) {
                 std::memcpy(last, g->pos, sizeof last);
                 Tick(g);
                 ++ticks;
             }
             ASSERT_FALSE(Alive(g));
             const std::vector<construct*> bomblets = ActiveIn(SharedPoolId::Grenade);
             ASSERT_EQ(bomblets.size(), size_t(kClusterBomblets));
             std::set<int32_t> spread;
             for (construct* b : bomblets) {
                 EXPECT_EQ(b->owner, at);
                 // Two steps past its last place, then 15000 up.
                 EXPECT_EQ(b->pos[1], last[1] + 2 * before.velocity[1] + 15000);
                 const auto* bb = static_cast<const GrenadeBlock*>(b->itfcData);
                 for (int i = 0; i < 3; ++i) EXPECT_LE(std::abs(bb->velocity[i] - (before.velocity[i] >> 1)), 1024);
                 spread.insert(bb->velocity[0]);
             }
             EXPECT_GT(spread.size(), 15u) << "they fan out";
         }},
        {"the capsule's light pulses through its palette, and its ring leaves in sixteen directions",
         [&] {
             construct* at = AboveBase(20000);
             construct* c = Launch(SharedPoolId::AMCapsule, Record(500, 25), at, at);
             const auto* b = static_cast<const AMCapsuleBlock*>(c->itfcData);
             EXPECT_TRUE(IsActiveLight(b->light));
             EXPECT_EQ(c->effectPhase, 128);
             for (int t = 1; t <= 22 && Alive(c); ++t) {
                 Tick(c);
                 if (t == 21) { EXPECT_EQ(c->effectPhase, 191); }
                 if (t == 22) { EXPECT_EQ(c->effectPhase, 64) << "194 wraps"; }
                 if (Alive(c)) {
                     const PltEntry& e = b->light->palette->entries[c->effectPhase - 3 < 64 ? 191 : c->effectPhase - 3];
                     EXPECT_EQ(b->light->colour[1], e.green << 4);
                 }
             }
             int ticks = 0;
             while (Alive(c) && ticks < 200) {
                 Tick(c);
                 ++ticks;
             }
             ASSERT_FALSE(Alive(c));
             EXPECT_FALSE(IsActiveLight(b->light)) << "the light leaves with it";
             std::vector<construct*> ring = ActiveIn(SharedPoolId::NuclearShock);
             ASSERT_EQ(ring.size(), 16u);
             std::set<int> octants;
             for (construct* s : ring) {
                 EXPECT_EQ(s->pos[1], Ground(s->pos[0], s->pos[2]) + 2000);
                 EXPECT_EQ(s->orient[7], 0) << "level";
                 EXPECT_EQ(static_cast<const NuclearShockBlock*>(s->itfcData)->countdown, kShockCountdown);
                 const double a = std::atan2(-double(s->orient[8]), -double(s->orient[6]));
                 octants.insert(int(std::lround(a / (2 * M_PI / 16))) & 15);
             }
             EXPECT_EQ(octants.size(), 16u) << "a sixteenth of a turn apart";
             EXPECT_EQ(ring[0]->orient[6], -32768) << "the first along (-1, 0, 0)";
         }},
        {"without dynamic lighting capsules and bolts fly without their lights",
         [&] {
             dynamic_lighting = 0;
             construct* at = AboveBase(30000);
             construct* c = Launch(SharedPoolId::AMCapsule, Record(500), at);
             construct* bolt = Launch(SharedPoolId::PlasmaBolt, Record(500), at);
             EXPECT_FALSE(IsActiveLight(static_cast<const AMCapsuleBlock*>(c->itfcData)->light));
             EXPECT_FALSE(IsActiveLight(static_cast<const PlasmaBoltBlock*>(bolt->itfcData)->light));
             Tick(c);
             Tick(bolt);
             EXPECT_TRUE(Alive(c));
             dynamic_lighting = 1;
         }},
        {"a shell flare flies its 31 ticks, its flash falling by 8 a tick",
         [&] {
             construct* flare = Take(SharedPoolId::ShellFlare, AboveBase(5000));
             LaunchRecord r = Record(600, 0, 18000);
             CallItfc(flare, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&r));
             const auto* b = static_cast<const ShellFlareBlock*>(flare->itfcData);
             EXPECT_TRUE(IsActiveLight(b->light));
             bboard* flash = NamedBBoard(flare, "flare");
             const int lived = Life(flare, 100, [&](int t) {
                 EXPECT_EQ(flash->time, std::max(0, 160 - 8 * t)) << t;
                 EXPECT_EQ(NamedBBoard(flare, "ex")->time, 6 * t);
             });
             EXPECT_EQ(lived, 31);
             EXPECT_FALSE(IsActiveLight(b->light));
         }},
        {"a plasma bolt's light runs through its ramp; only the first of a volley is lit",
         [&] {
             construct* at = AboveBase(40000);
             construct* bolt = Launch(SharedPoolId::PlasmaBolt, Record(300), at);
             LaunchRecord second = Record(300);
             second.firstOfVolley = 0;
             construct* other = Launch(SharedPoolId::BluePlasmaBolt, second, at);
             const auto* b = static_cast<const PlasmaBoltBlock*>(bolt->itfcData);
             EXPECT_FALSE(static_cast<const PlasmaBoltBlock*>(other->itfcData)->lightOn);
             for (int n = 1; n <= 5; ++n) {
                 Tick(bolt);
                 EXPECT_EQ(b->light->colour[0], b->light->palette->entries[n - 1].red * 16) << "tick " << n;
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.run();
        // Every pool free again for the next case.
        ClearQZEvents();
        for (ConstructPool* p : SharedPools)
            for (int i = 0; p && i < p->count; ++i) {
                construct* k = p->constructs[i];
                if (k->flags & kConBusy) UnMakeBuzy(k);
                DeactivateConstruct(k);
            }
        ActiveLightCount = 0;
    }
}

// A trailed projectile starts its trail where it is launched: its first puff spans back to the launch
// point, not to where this pooled construct laid its last puff in an earlier flight.
TEST_F(Weapons, TheTrailStartsAtTheLaunchPoint) {
    for (SharedPoolId pool : {SharedPoolId::ClusterGrenade, SharedPoolId::Projectile}) {
        SCOPED_TRACE(SharedPoolDefs[static_cast<int>(pool)].name);
        construct* p = Launch(pool, Record(4000), AboveBase(60000));
        // An earlier flight far away.
        auto* b = static_cast<GrenadeFlightBlock*>(p->itfcData);
        EXPECT_EQ(std::vector<int32_t>(b->lastTrail, b->lastTrail + 3), std::vector<int32_t>(p->pos, p->pos + 3));
        const int32_t launchX = p->pos[0];
        Tick(p);
        EXPECT_EQ(Active(SharedPoolId::Vapour), 0) << "nothing to span on the first tick";
        Tick(p);
        Tick(p);
        const std::vector<construct*> puffs = ActiveIn(SharedPoolId::Vapour);
        ASSERT_EQ(puffs.size(), 1u);
        // The puff lies at the projectile and points back (-x) toward the launch point.
        EXPECT_GT(puffs[0]->pos[0], launchX);
        EXPECT_LT(puffs[0]->orient[6], -32000);
        ClearQZEvents();
        for (construct* q : ActiveIn(SharedPoolId::Vapour)) DeactivateConstruct(q);
        DeactivateConstruct(p);
        UnMakeBuzy(p);
    }
}

// The nuclear shock hurts a unit standing in its way on every tick of the overlap, not once.
TEST_F(Weapons, TheShockHurtsAUnitOnEveryTickOfTheOverlap) {
    construct* unit = scene_->Place(base_.x + 6000, base_.z, 1, 0, 5000, 0);
    construct* at = At(base_.x, Ground(base_.x, base_.z) + 2000, base_.z);
    construct* s = Take(SharedPoolId::NuclearShock, at);
    const int32_t east[9] = {0, 0, 32768, 0, 32768, 0, 32768, 0, 0};  // forward +x: through the unit
    std::memcpy(s->orient, east, sizeof east);
    static_cast<NuclearShockBlock*>(s->itfcData)->countdown = kShockCountdown;
    int hurt = 0, run = 0, longest = 0;
    int32_t last = ShotBlock(unit)->state.structure;
    for (int t = 0; t < 120; ++t) {
        WorldTick(1, 0);
        const int32_t now = ShotBlock(unit)->state.structure;
        if (now < last) {
            ++hurt;
            longest = std::max(longest, ++run);
            EXPECT_EQ(last - now, 31) << "100, 30, 1 (the shield byte goes to the structure), tick " << t;
        } else {
            run = 0;
        }
        last = now;
    }
    EXPECT_GT(hurt, 20);
    EXPECT_EQ(longest, hurt) << "every tick of one overlap";
}

// ---- Segments.

// One table of segment lives: spawned with the values their modules write, how their phase runs and
// when they go back to their pools.
TEST_F(Weapons, SegmentLives) {
    struct Case {
        const char* what;
        SharedPoolId pool;
        std::function<void(construct*)> start;
        int ticks;
        std::function<void(construct*, int)> each;
    };
    const Case cases[] = {
        {"a laser piece of countdown 16", SharedPoolId::RLaserSeg,
         [](construct* s) {
             static_cast<BeamSegBlock*>(s->itfcData)->countdown = 16;
             s->effectPhase = 255;
         },
         17,
         [](construct* s, int t) {
             const int32_t want[] = {191, 127, 63, -1, -65};
             EXPECT_EQ(s->effectPhase, t <= 12 ? 255 : want[t - 13]) << t;
         }},
        {"a lightning piece of phase 255", SharedPoolId::SLightningSeg, [](construct* s) { s->effectPhase = 255; }, 11,
         [](construct* s, int t) { EXPECT_EQ(s->effectPhase, 255 - 25 * t); }},
        {"an untested high-velocity piece", SharedPoolId::HVSegment, [](construct* s) { s->effectPhase = 0; }, 126,
         [](construct* s, int t) {
             EXPECT_EQ(s->effectPhase, 2 * t);
             EXPECT_EQ(static_cast<const DamageRecord*>(reinterpret_cast<const void*>(CallItfc(s, ItfcMethod::GETDAMAGE)))->shield, 0)
                 << "unarmed: harmless";
         }},
        {"a plasma splash from a bolt", SharedPoolId::PlasmaSplash,
         [](construct* s) {
             static_cast<PlasmaSplashBlock*>(s->itfcData)->countdown = 80;
             s->effectPhase = 255;
         },
         81, [](construct* s, int t) { EXPECT_EQ(s->effectPhase, 255 - 4 * t); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* s = Take(c.pool, AboveBase(80000));
        c.start(s);
        if (c.pool == SharedPoolId::HVSegment) {
            HVSegmentLaunch lay{{10, 20, 30}, 0, 0};
            CallItfc(s, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&lay));
        }
        EXPECT_EQ(Life(s, 400, [&](int t) { c.each(s, t); }), c.ticks);
    }
}

// A high-velocity piece armed inside the terrain strikes the ground on its next tick; one that touches
// nothing stays unarmed.
TEST_F(Weapons, AHighVelocityPieceArmsOnlyWhereItTouches) {
    construct* low = Take(SharedPoolId::HVSegment, AboveBase(-1500));
    construct* high = Take(SharedPoolId::HVSegment, AboveBase(30000));
    for (construct* s : {low, high}) {
        s->effectPhase = kHVSegmentLaidPhase;
        HVSegmentLaunch lay{{10, 20, 30}, 0, 0};
        EXPECT_EQ(CallItfc(s, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&lay)), 0u);
        Tick(s);
        s->effectPhase = 0;
    }
    HVSegmentLaunch test{{10, 20, 30}, 0, 1};
    EXPECT_EQ(CallItfc(low, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&test)), 1u);
    EXPECT_EQ(CallItfc(high, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&test)), 0u);
    EXPECT_EQ(static_cast<const HVSegmentBlock*>(high->itfcData)->armed, 0);
    Tick(low);
    EXPECT_FALSE(Alive(low)) << "struck the ground";
    const std::vector<construct*> splashes = ActiveIn(SharedPoolId::ShellSplash);
    ASSERT_EQ(splashes.size(), 1u);
    EXPECT_EQ(splashes[0]->effectPhase, 0);
    EXPECT_EQ(static_cast<const SplashBlock*>(splashes[0]->itfcData)->countdown, 55);
    EXPECT_EQ(Life(high, 200), 126) << "126 ticks after its test";
}

// A sensor piece is blocked by terrain and by any construct but its owner; its looks trade places with
// SETMODE, and a restored piece shows the look its form names.
TEST_F(Weapons, SensorPiecesReportBlockingAndSwitchTheirLooks) {
    construct* owner = scene_->Place(base_.x, base_.z, 1, 0, 100, 0);
    construct* stranger = scene_->Place(base_.x + 60000, base_.z, 1, 0, 100, 0);
    construct* s = Take(SharedPoolId::Sensor, AboveBase(20000));
    s->owner = owner;
    auto* b = static_cast<SensorBlock*>(s->itfcData);
    EXPECT_EQ(b->head.length, 6000) << "\"Sensor_pace\"";
    Tick(s);
    EXPECT_EQ(b->head.blocked, 0);
    s->hits[0] = owner;
    Tick(s);
    EXPECT_EQ(b->head.blocked, 0) << "its owner never blocks it";
    s->hits[0] = stranger;
    Tick(s);
    EXPECT_EQ(b->head.blocked, 1);
    EXPECT_EQ(s->hits[0], nullptr);
    s->pos[1] = kFlat - 500;
    Tick(s);
    EXPECT_EQ(b->head.blocked, 1) << "in the terrain";

    Geom* first = s->lod[0];
    CallItfc(s, ItfcMethod::SETMODE, 0);
    EXPECT_EQ(s->lod[0], first) << "the current look: nothing changes";
    CallItfc(s, ItfcMethod::SETMODE, 1);
    Geom* second = s->lod[0];
    EXPECT_NE(second, first);
    CallItfc(s, ItfcMethod::SETMODE, 0);
    EXPECT_EQ(s->lod[0], first);
    // A form naming the second look brings it along, so that SETMODE 0 shows the first look again.
    CallItfc(s, ItfcMethod::SETMODE, 1);
    std::vector<uint8_t> form = FormOf(s);
    CallItfc(s, ItfcMethod::SETMODE, 0);
    CallItfc(s, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form.data()));
    EXPECT_EQ(s->lod[0], second);
    CallItfc(s, ItfcMethod::SETMODE, 0);
    EXPECT_EQ(s->lod[0], first);
}

// ---- Decals.

// A splash, a track mark and the wave laid onto flat ground, a slope and the lake: every point of the
// decal comes to lie on the ground under it (or on the water, or above it by the kind's lift).
TEST_F(Weapons, DecalsAreDrapedOnFlatSlopedAndWaterCoveredGround) {
    struct Case {
        const char* what;
        int32_t x, z;
        std::function<construct*(construct* at)> make;
        int32_t lift;     // above the surface
        bool water;       // the surface is the water's where the ground lies below it
    };
    auto splash = [](uintptr_t onTop) {
        return [onTop](construct* at) {
            construct* fx = Take(SharedPoolId::PlasmaSplash, at);
            CallItfc(fx, ItfcMethod::ATTACH, onTop);
            return fx;
        };
    };
    auto mark = [](construct* at) {
        // A mark as the tracked drive lays it: its own construct of the type, from its object folder.
        auto* m = reinterpret_cast<construct*>(Trail_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>("Objects\\weapons")));
        PlaceRelativeToOwner(at, m, nullptr);
        CallItfc(m, ItfcMethod::ATTACH, 100);
        return m;
    };
    const int32_t slopeX = hill_.x - hill_.radius / 2;
    const Case cases[] = {
        {"a splash on flat ground", base_.x, base_.z, splash(0), 0, false},
        {"a splash on the slope", slopeX, hill_.z, splash(0), 0, false},
        {"a splash in the lake", lake_.x, lake_.z, splash(0), 0, true},
        {"a splash on a top surface where there is none stays on the ground", base_.x, base_.z, splash(1), 0, false},
        {"a track mark on the slope", slopeX, hill_.z, mark, 500, false},
    };
    std::vector<construct*> marks;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* at = At(c.x, Ground(c.x, c.z) + 3000, c.z);
        construct* d = c.make(at);
        if (d->itfc == Trail_itfc) marks.push_back(d);
        const Geom* g = d->lod[0];
        ASSERT_GT(g->pointCount, 3);
        FixMatrix o;
        std::memcpy(o.m, d->orient, sizeof o.m);
        std::set<int32_t> heights;
        for (int i = 0; i < g->pointCount; ++i) {
            const FixVec local{g->points[i].pos[0], g->points[i].pos[1], g->points[i].pos[2]};
            FixVec w;
            RotateVecT13(&w, &o, &local);
            const int32_t x = d->pos[0] + w.x, y = d->pos[1] + w.y, z = d->pos[2] + w.z;
            int32_t surface = Ground(x, z);
            if (c.water) surface = std::max(surface, WaterLevelAt(x, z) * 8);
            EXPECT_NEAR(y, surface + c.lift, 40) << "point " << i;
            heights.insert(y / 10);
        }
        if (c.x == slopeX) { EXPECT_GT(heights.size(), 1u) << "it follows the slope"; }
    }
    for (construct* m : marks) {
        EXPECT_EQ(m->opacity, 0) << "a mark fades in from nothing";
        CallItfc(m, ItfcMethod::DESTROY, 0);
    }
    FlushQZEvents();
}

// Forty marks linked into one chain: the newest thirty rest at their opacity, the older ones fade out
// and go back to their pool.
TEST_F(Weapons, AChainOfFortyTrackMarks) {
    std::vector<construct*> marks;
    construct* at = AboveBase(0);
    construct* previous = nullptr;
    for (int n = 0; n < 40; ++n) {
        auto* m = reinterpret_cast<construct*>(Trail_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>("Objects\\weapons")));
        marks.push_back(m);
        CreateQZEvent(QZEventKind::Buzy2, m);
        ActivateConstruct(m);
        PlaceRelativeToOwner(at, m, nullptr);
        CallItfc(m, ItfcMethod::ATTACH, 100);
        CallItfc(m, ItfcMethod::SETPARAMS, reinterpret_cast<uintptr_t>(previous));
        previous = m;
        FlushQZEvents();
        // Each mark's tick while it is busy (as the busy pool of level 2 would run it).
        for (int k = 0; k < 8; ++k) {
            for (construct* c : marks)
                if (c->flags & kConBusy) CallItfc(c, ItfcMethod::TICK, 0);
            FlushQZEvents();
        }
    }
    // The chain from the newest holds thirty marks.
    int length = 0;
    for (construct* c = previous; c; c = static_cast<const TrailBlock*>(c->itfcData)->next) ++length;
    EXPECT_EQ(length, kTrailChainLength);
    for (int k = 0; k < 100; ++k) {
        for (construct* c : marks)
            if (c->flags & kConBusy) CallItfc(c, ItfcMethod::TICK, 0);
        FlushQZEvents();
    }
    for (int n = 0; n < 40; ++n) {
        SCOPED_TRACE(n);
        if (n >= 10) {
            EXPECT_EQ(marks[size_t(n)]->opacity, 100);
            EXPECT_TRUE(Alive(marks[size_t(n)]));
            EXPECT_FALSE(marks[size_t(n)]->flags & kConBusy) << "at rest without ticking";
        } else {
            EXPECT_EQ(marks[size_t(n)]->opacity, 0);
            EXPECT_FALSE(Alive(marks[size_t(n)])) << "faded and back in its pool";
        }
    }
    for (construct* m : marks) CallItfc(m, ItfcMethod::DESTROY, 0);
    FlushQZEvents();
}

// ---- Saved forms.

void PutWord(std::vector<uint8_t>& form, size_t at, int32_t v) {
    for (int k = 0; k < 4; ++k) form[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
}

// The stored kinds' forms come back the same and hold no pointer; damaged ones are refused.
TEST_F(Weapons, StoredFormsComeBackAndDamagedOnesAreRefused) {
    struct Case {
        const char* what;
        SharedPoolId pool;
        size_t size;
        std::function<void(std::vector<uint8_t>&)> damage;  // null: none
        bool velocity = false;  // the form starts with a velocity
    };
    const Case cases[] = {
        {"ClusterGrenade", SharedPoolId::ClusterGrenade, kGrenadeFlightSavedSize, nullptr, true},
        {"Projectile", SharedPoolId::Projectile, kGrenadeFlightSavedSize, nullptr, true},
        {"Grenade", SharedPoolId::Grenade, kGrenadeSavedSize, nullptr, true},
        {"AMCapsule", SharedPoolId::AMCapsule, kAMCapsuleSavedSize, nullptr, true},
        {"NuclearShock", SharedPoolId::NuclearShock, kNuclearShockSavedSize, nullptr},
        {"HVSegment", SharedPoolId::HVSegment, kHVSegmentSavedSize, nullptr},
        {"PlasmaBolt", SharedPoolId::PlasmaBolt, kPlasmaBoltSavedSize, nullptr},
        {"BluePlasmaBolt", SharedPoolId::BluePlasmaBolt, kPlasmaBoltSavedSize, nullptr},
        {"a velocity beyond the bounds", SharedPoolId::ClusterGrenade, kGrenadeFlightSavedSize,
         [](std::vector<uint8_t>& f) { PutWord(f, 4, 1 << 30); }},
        {"a launch orientation that is no rotation", SharedPoolId::Projectile, kGrenadeFlightSavedSize,
         [](std::vector<uint8_t>& f) { PutWord(f, 40, 70000); }},
        {"a capsule naming a light", SharedPoolId::AMCapsule, kAMCapsuleSavedSize,
         [](std::vector<uint8_t>& f) { PutWord(f, 20, 0x1234); }},
        {"an armed flag of 2", SharedPoolId::HVSegment, kHVSegmentSavedSize, [](std::vector<uint8_t>& f) { f[3] = 2; }},
        {"an unarmed piece that deals damage", SharedPoolId::HVSegment, kHVSegmentSavedSize,
         [](std::vector<uint8_t>& f) { f[5] = 9; }},
        {"a shock countdown beyond the bounds", SharedPoolId::NuclearShock, kNuclearShockSavedSize,
         [](std::vector<uint8_t>& f) { PutWord(f, 4, -(1 << 28)); }},
        {"a short form", SharedPoolId::PlasmaBolt, kPlasmaBoltSavedSize,
         [](std::vector<uint8_t>& f) { f.pop_back(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        construct* k = NextFreeInConstructPool(SharedPool(c.pool));
        ASSERT_NE(k, nullptr);
        std::vector<uint8_t> form = FormOf(k);
        ASSERT_EQ(form.size(), c.size);
        EXPECT_EQ(CheckSavedBlock(k->itfc, form.data(), form.size()), nullptr);
        if (c.damage) {
            c.damage(form);
            EXPECT_NE(CheckSavedBlock(k->itfc, form.data(), form.size()), nullptr);
            continue;
        }
        // A form with values of a flight in it comes back the same.
        if (c.velocity)
            for (size_t i = 0; i < 12; i += 4) PutWord(form, i, int32_t(1000 + i));
        ASSERT_EQ(CheckSavedBlock(k->itfc, form.data(), form.size()), nullptr);
        CallItfc(k, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form.data()));
        EXPECT_EQ(FormOf(k), form);
    }
}

// ---- Mended faults.

// A capsule whose light names no palette cannot take its colours: it is refused when it is made. A wave
// whose ramp table is short is refused instead of running on half-set values.
TEST_F(Weapons, ACapsuleLightWithoutPaletteAndAShortWaveRampAreRefused) {
    datakit::ObjectFile capsule = datakit::BoxObject(2, 2, 2, {100, 200, 100});
    datakit::ObjPoint tip;
    capsule.points.push_back(tip);
    capsule.Light(8, {255, 255, 255}, 0, "");
    ASSERT_TRUE(datakit::WriteFile("Objects/bare/amcapsule", capsule.Bytes()));
    host::FlushDirectoryCache();
    try {
        AMCapsule_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>("Objects\\bare"));
        ADD_FAILURE() << "no fatal error";
    } catch (const FatalExit& e) {
        EXPECT_NE(std::string(e.what()).find("names no palette"), std::string::npos) << e.what();
    }
    ResetCCADStaging();

    ASSERT_TRUE(datakit::WriteFile("AnimTables/wave/endmot", std::vector<uint8_t>(255, 7)));
    host::FlushDirectoryCache();
    try {
        Wave_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>("Objects\\wavetest"));
        ADD_FAILURE() << "no fatal error";
    } catch (const FatalExit& e) {
        EXPECT_NE(std::string(e.what()).find("holds 255 bytes, not 256"), std::string::npos) << e.what();
    }
    ResetCCADStaging();
}

// The test wave cycles in 1250 ticks: it fades in, holds and fades out, its texture running between the
// ramps.
TEST_F(Weapons, TheTestWaveCycles) {
    auto* w = reinterpret_cast<construct*>(FindItfc("Wave")(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>("Objects\\wavetest")));
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(ItfcName(w->itfc), "Wave");
    construct* at = AboveBase(0);
    PlaceRelativeToOwner(at, w, nullptr);
    CallItfc(w, ItfcMethod::ATTACH, 0);
    MakeBuzy(w, 0);
    ActivateConstruct(w);
    const auto* b = static_cast<const WaveBlock*>(w->itfcData);
    for (int t = 1; t <= kWaveCycle + 10; ++t) {
        CallItfc(w, ItfcMethod::TICK, 0);
        const int32_t c = b->counter;
        ASSERT_EQ(c, t % kWaveCycle);
        if (c == 0) { EXPECT_EQ(w->opacity, 0); }
        if (c >= 380 && c <= 1010) { EXPECT_EQ(w->opacity, 255); }
        if (c == 1249) { EXPECT_EQ(w->opacity, 2); }
    }
    const GeomFace* f = w->lod[0]->faces;
    const float end = 2.0f - float(b->endRamp[static_cast<int>(std::trunc(b->counter * 0.0008 * 256))]) / 255.0f;
    float largest = -10;
    for (int i = 0; i < w->lod[0]->faceCount; ++i, f = NextFace(const_cast<GeomFace*>(f)))
        for (int k = 0; k < f->vertexCount; ++k) largest = std::max(largest, FaceVerts(f)[k].u);
    EXPECT_NEAR(largest, end, 1e-4) << "the far edge runs at the end ramp's value";
    CallItfc(w, ItfcMethod::DESTROY, 0);
}

// Every type answers GETNAME without a construct, and a method it does not know with 0.
TEST(WeaponTypes, NamesAndUnknownMethods) {
    const struct {
        ItfcProc itfc;
        const char* name;
    } types[] = {
        {ClusterGrenade_itfc, "ClusterGrenade"}, {Grenade_itfc, "Grenade"}, {Projectile_itfc, "Projectile"},
        {AMCapsule_itfc, "AMCapsule"}, {NuclearShock_itfc, "NuclearShock"}, {ShellFlare_itfc, "ShellFlare"},
        {LaserSeg_itfc, "LaserSeg"}, {LightningSeg_itfc, "LightningSeg"}, {HVSegment_itfc, "HVSegment"},
        {Sensor_itfc, "Sensor"}, {Eye_itfc, "Eye"}, {PlasmaBolt_itfc, "PlasmaBolt"},
        {PlasmaSplash_itfc, "PlasmaSplash"}, {Trail_itfc, "Trail"}, {Wave_itfc, "Wave"},
    };
    for (const auto& t : types) {
        EXPECT_STREQ(ItfcName(t.itfc), t.name);
        EXPECT_EQ(t.itfc(nullptr, ItfcMethod::GETTURRETYAW, 0), 0u) << t.name;
    }
    EXPECT_EQ(FindItfc("Wave"), Wave_itfc) << "the movie camera finds it by name";
}

}  // namespace
}  // namespace kvtest
