// The projectile family frame on Bullet and Shell: creation from rules and object file, LAUNCH, flights
// ending in each hit kind with their impact effects, flights that run out of range, and the return to the
// pool where the free search finds the projectile again.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/TerrainFixtures.h"
#include "world/WorldFixtures.h"

namespace {

// A struck construct: its state record (null: it keeps none), flag 0x1 or not, and its HIT calls.
struct Target {
    StateRecord state{};
    bool keepsState = true;
    int hits = 0;
};

uintptr_t Target_itfc(construct* con, ItfcMethod method, uintptr_t) {
    auto* t = static_cast<Target*>(con->itfcData);
    if (method == ItfcMethod::GETSTATE) return t->keepsState ? reinterpret_cast<uintptr_t>(&t->state) : 0;
    if (method == ItfcMethod::HIT) ++t->hits;
    return 0;
}

// The effects a projectile spawns: eight data words, no behaviour.
uintptr_t Effect_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("TestEffect");
    return 0;
}

class ProjectileFlight : public kvtest::LevelPools {
protected:
    void SetUp() override {
        LevelPools::SetUp();
        for (SharedPoolId id : {SharedPoolId::HitSpark, SharedPoolId::BulletSplash, SharedPoolId::ShellExpl,
                                SharedPoolId::ShellSplash, SharedPoolId::Bullet}) {
            ConstructPool* pool = CreateConstructPool(4, SharedPoolDefs[static_cast<int>(id)].name);
            SharedPools[static_cast<int>(id)] = pool;
            for (int i = 0; i < 4; ++i) {
                construct* fx = CreateConstruct(0, 0);
                if (id == SharedPoolId::Bullet) {
                    fx->itfc = Bullet_itfc;
                    AllocItfcData(fx, sizeof(ProjectileBlock));
                    fx->collisionClass = kProjectileCollisionClass;
                } else {
                    fx->itfc = Effect_itfc;
                    AllocItfcData(fx, 8 * sizeof(int32_t));
                }
                AppendToConstructPool(pool, fx);
            }
        }
        CurrentMatrix = terrain.m;
        for (int32_t& w : WaterLevel) w = kNoWaterLevel;
    }
    void TearDown() override {
        for (construct* t : targets) FreeConstruct(t);
        for (ConstructPool*& pool : SharedPools) {
            if (!pool) continue;
            while (pool->count > 0) {
                construct* c = pool->constructs[0];
                RemoveFromConstructPool(pool, c);
                FreeConstruct(c);
            }
            pool = nullptr;
        }
        CurrentMatrix = nullptr;
        LevelPools::TearDown();
    }

    // A projectile of the type from the pool, launched as a weapon launches it, flying along +x.
    construct* Launch(ItfcProc itfc, int32_t x, int32_t y, int32_t z, int32_t speed, int32_t range) {
        construct* p = itfc == Bullet_itfc ? NextFreeInConstructPool(SharedPool(SharedPoolId::Bullet)) : nullptr;
        if (!p) {
            p = CreateConstruct(0, 0);
            p->itfc = itfc;
            AllocItfcData(p, sizeof(ProjectileBlock));
            targets.push_back(p);
        }
        CreateQZEvent(QZEventKind::Buzy0, p);
        ActivateConstruct(p);
        FlushQZEvents();
        p->pos[0] = x;
        p->pos[1] = y;
        p->pos[2] = z;
        const int32_t m[9] = {0, 0, -32768, 0, 32768, 0, 32768, 0, 0};
        std::memcpy(p->orient, m, sizeof m);
        LaunchRecord launch{};
        launch.speed = speed;
        launch.range = range;
        launch.impact[0] = 3;
        launch.impact[1] = 4;
        launch.impact[2] = 5;
        CallItfc(p, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
        return p;
    }
    construct* NewTarget(int32_t shield, bool element, bool keepsState = true) {
        construct* t = CreateConstruct(0, element ? uint32_t{kConHittable} : 0u);
        t->itfc = Target_itfc;
        auto* rec = static_cast<Target*>(AllocItfcData(t, sizeof(Target)));
        rec->state.shield = shield;
        rec->state.structure = 100;
        rec->keepsState = keepsState;
        targets.push_back(t);
        return t;
    }
    static Target* Rec(construct* t) { return static_cast<Target*>(t->itfcData); }
    // The one effect taken from a pool (active), or null.
    static construct* Spawned(SharedPoolId id) {
        ConstructPool* pool = SharedPool(id);
        construct* found = nullptr;
        for (int i = 0; i < pool->count; ++i)
            if (pool->constructs[i]->flags & kConActive) {
                EXPECT_EQ(found, nullptr) << "more than one effect";
                found = pool->constructs[i];
            }
        return found;
    }
    static int32_t Word(construct* fx, int i) { return static_cast<int32_t*>(fx->itfcData)[i]; }
    static bool Flying(construct* p) { return (p->flags & kConActive) != 0; }

    kvtest::HandMatrix terrain{4, 4};
    std::vector<construct*> targets;
};

TEST_F(ProjectileFlight, LaunchFillsTheBlockAndTheDamageIsTheImpactBytes) {
    construct* p = Launch(Shell_itfc, 60000, 50000, 60000, 700, 9000);
    const auto* b = static_cast<const ProjectileBlock*>(p->itfcData);
    EXPECT_EQ(b->speed, 700);
    EXPECT_EQ(b->range, 9000);
    EXPECT_EQ(b->travelled, 0);
    const auto* d = reinterpret_cast<const DamageRecord*>(CallItfc(p, ItfcMethod::GETDAMAGE));
    ASSERT_EQ(static_cast<const void*>(d), static_cast<const void*>(&b->impact));
    EXPECT_EQ(d->physical, 3);
    EXPECT_EQ(d->shield, 4);
    EXPECT_EQ(d->structure, 5);
    EXPECT_EQ(CallItfc(p, ItfcMethod::GETSTATE), 0u);
    EXPECT_STREQ(ItfcName(Shell_itfc), "Shell");
}

TEST_F(ProjectileFlight, FlightsEndInEachHitKind) {
    struct Case {
        const char* what;
        ItfcProc itfc;
        int32_t y;          // flight height
        int32_t water;      // water level (units of 8) or none
        int32_t slotShield; // -1: nothing in the slot
        bool element;
        bool keepsState;
        SharedPoolId effect;
        int word;           // the countdown word of the effect
        int32_t countdown;
        int32_t phase;      // -1: one of 0, 20, ..., 140
        int32_t splashClass;
    };
    const Case cases[] = {
        {"bullet below ground", Bullet_itfc, -5000, kNoWaterLevel, -1, false, true, SharedPoolId::BulletSplash, 0, 80, 0, 0},
        {"bullet in water", Bullet_itfc, 4000, 1000, -1, false, true, SharedPoolId::BulletSplash, 0, 45, 105, 0},
        {"bullet on a unit without shield", Bullet_itfc, 50000, kNoWaterLevel, 0, false, true, SharedPoolId::HitSpark, 0, 15, -1, 0},
        {"bullet on a shield", Bullet_itfc, 50000, kNoWaterLevel, 30, false, true, SharedPoolId::BulletSplash, 0, 45, 105, 0},
        {"bullet on something that keeps no state", Bullet_itfc, 50000, kNoWaterLevel, 30, false, false, SharedPoolId::HitSpark, 0, 15, -1, 0},
        {"shell on a building", Shell_itfc, 50000, kNoWaterLevel, 0, true, true, SharedPoolId::ShellExpl, 0, 30, 255, 0},
        {"shell on a shield", Shell_itfc, 50000, kNoWaterLevel, 9, false, true, SharedPoolId::ShellExpl, 0, 30, 70, 0},
        {"shell on the ground", Shell_itfc, -5000, kNoWaterLevel, -1, false, true, SharedPoolId::ShellSplash, 1, 105, 0, 1},
        {"shell in water", Shell_itfc, 4000, 1000, -1, false, true, SharedPoolId::ShellSplash, 1, 105, 200, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int32_t& w : WaterLevel) w = c.water;
        construct* p = Launch(c.itfc, 60000, c.y, 60000, 1000, 100000);
        construct* t = nullptr;
        if (c.slotShield >= 0) {
            t = NewTarget(c.slotShield, c.element, c.keepsState);
            p->hits[0] = t;
        }
        CallItfc(p, ItfcMethod::TICK, 0);
        // It stays where it struck, leaves its busy pool at the next flush and is inactive at once.
        EXPECT_EQ(p->pos[0], 60000);
        EXPECT_FALSE(Flying(p));
        EXPECT_EQ(p->hits[0], nullptr);
        if (t) {
            EXPECT_EQ(Rec(t)->hits, c.element ? 1 : 0);  // only elements take HIT
        }
        construct* fx = Spawned(c.effect);
        ASSERT_NE(fx, nullptr);
        EXPECT_EQ(fx->pos[0], 60000);
        EXPECT_EQ(Word(fx, c.word), c.countdown);
        if (c.phase >= 0)
            EXPECT_EQ(fx->effectPhase, c.phase);
        else
            EXPECT_TRUE(fx->effectPhase % 20 == 0 && fx->effectPhase >= 0 && fx->effectPhase <= 140) << fx->effectPhase;
        if (c.effect == SharedPoolId::ShellSplash) {
            EXPECT_EQ(fx->collisionClass, c.splashClass);
        }
        FlushQZEvents();
        // Effects back to their pools for the next case.
        DeactivateConstruct(fx);
        CreateQZEvent(QZEventKind::UnBuzy, fx);
        FlushQZEvents();
    }
}

// A pooled effect never carries the owner of its previous use: the shell's splash, which deals a blow,
// takes the shell's owner (its firer is spared and named by the victims), every other effect none.
TEST_F(ProjectileFlight, SpawnedEffectsCarryNoStaleOwner) {
    construct* firer = NewTarget(0, false);
    construct* stale = NewTarget(0, false);
    for (SharedPoolId id : {SharedPoolId::ShellSplash, SharedPoolId::HitSpark})
        for (int i = 0; i < SharedPool(id)->count; ++i) SharedPool(id)->constructs[i]->owner = stale;
    construct* shell = Launch(Shell_itfc, 60000, -5000, 60000, 1000, 100000);
    shell->owner = firer;
    CallItfc(shell, ItfcMethod::TICK, 0);
    construct* splash = Spawned(SharedPoolId::ShellSplash);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->owner, firer);
    construct* bullet = Launch(Bullet_itfc, 60000, 50000, 60000, 1000, 100000);
    bullet->owner = firer;
    bullet->hits[0] = NewTarget(0, false);
    CallItfc(bullet, ItfcMethod::TICK, 0);
    construct* spark = Spawned(SharedPoolId::HitSpark);
    ASSERT_NE(spark, nullptr);
    EXPECT_EQ(spark->owner, nullptr);
    FlushQZEvents();
}

TEST_F(ProjectileFlight, TerrainAndSlotInOneTickHitBothAndTheSlotDecides) {
    // A static standing on the terrain is what the terrain test names; here the slot holds a shielded
    // element while the projectile is under ground.
    construct* p = Launch(Bullet_itfc, 60000, -5000, 60000, 1000, 100000);
    construct* t = NewTarget(50, true);
    p->hits[0] = t;
    CallItfc(p, ItfcMethod::TICK, 0);
    EXPECT_EQ(Rec(t)->hits, 1);
    construct* fx = Spawned(SharedPoolId::BulletSplash);
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(Word(fx, 0), 45);  // a shield hit, not the ground's 80
}

TEST_F(ProjectileFlight, RangeEndsTheFlightTheTickAfterItIsPassed) {
    struct Case {
        int32_t speed, range;
        int ticks;  // ticks flown, the last one included
    };
    // The tick that finds travelled above the range still moves, then the projectile returns.
    const Case cases[] = {{1000, 5000, 7}, {1000, 0, 2}, {1000, 999, 2}, {300, 1200, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.speed) + " / " + std::to_string(c.range));
        construct* p = Launch(Bullet_itfc, 60000, 50000, 60000, c.speed, c.range);
        int ticks = 0;
        while (Flying(p) && ticks < 100) {
            CallItfc(p, ItfcMethod::TICK, 0);
            ++ticks;
        }
        EXPECT_EQ(ticks, c.ticks);
        EXPECT_EQ(p->pos[0], 60000 + c.ticks * c.speed);
        EXPECT_EQ(Spawned(SharedPoolId::BulletSplash), nullptr);  // running out spawns nothing
        EXPECT_EQ(Spawned(SharedPoolId::HitSpark), nullptr);
        FlushQZEvents();
    }
}

TEST_F(ProjectileFlight, AProjectileThatDoesNotMoveStillRunsOutOfRange) {
    for (int32_t speed : {0, -2000}) {
        construct* p = Launch(Bullet_itfc, 60000, 50000, 60000, speed, 50);
        int ticks = 0;
        while (Flying(p) && ticks < 1000) {
            CallItfc(p, ItfcMethod::TICK, 0);
            ++ticks;
        }
        EXPECT_FALSE(Flying(p)) << speed;
        EXPECT_LE(ticks, 52) << speed;
        FlushQZEvents();
    }
}

TEST_F(ProjectileFlight, AnExhaustedEffectPoolStillEndsTheFlightAtTheImpact) {
    ConstructPool* sparks = SharedPool(SharedPoolId::HitSpark);
    for (int i = 0; i < sparks->count; ++i) ActivateConstruct(sparks->constructs[i]);
    construct* p = Launch(Bullet_itfc, 60000, 50000, 60000, 1000, 100000);
    p->hits[0] = NewTarget(0, true);
    CallItfc(p, ItfcMethod::TICK, 0);
    EXPECT_FALSE(Flying(p));
    EXPECT_EQ(p->pos[0], 60000);
}

TEST_F(ProjectileFlight, AReturnedProjectileIsFoundAgainByTheFreeSearch) {
    ConstructPool* pool = SharedPool(SharedPoolId::Bullet);
    std::vector<construct*> taken;
    for (int i = 0; i < pool->count; ++i) taken.push_back(Launch(Bullet_itfc, 60000, 50000, 60000, 1000, 100000));
    EXPECT_EQ(NextFreeInConstructPool(pool), nullptr);
    construct* p = taken[2];
    p->hits[0] = NewTarget(0, false);
    CallItfc(p, ItfcMethod::TICK, 0);
    // Inactive at once, but still busy until the event flush.
    EXPECT_EQ(NextFreeInConstructPool(pool), nullptr);
    FlushQZEvents();
    EXPECT_FALSE(p->flags & kConBusy);
    EXPECT_EQ(NextFreeInConstructPool(pool), p);
}

TEST_F(ProjectileFlight, SetItfcDataRestoresTheFlightButNotTheSounds) {
    construct* p = Launch(Bullet_itfc, 60000, 50000, 60000, 1000, 100000);
    auto* b = static_cast<ProjectileBlock*>(p->itfcData);
    std::snprintf(b->groundSound.file, sizeof b->groundSound.file, "own.wav");
    ProjectileBlock saved{};
    saved.impact = {7, 8, 9};
    saved.speed = 11;
    saved.range = 12;
    saved.travelled = 13;
    std::snprintf(saved.groundSound.file, sizeof saved.groundSound.file, "other.wav");
    CallItfc(p, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(&saved));
    EXPECT_EQ(b->impact.structure, 9);
    EXPECT_EQ(b->travelled, 13);
    EXPECT_STREQ(b->groundSound.file, "own.wav");
    uintptr_t size = 0;
    auto* copy = reinterpret_cast<ProjectileBlock*>(CallItfc(p, ItfcMethod::COPYITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    EXPECT_EQ(size, sizeof(ProjectileBlock));
    EXPECT_EQ(copy->speed, 11);
    qzFree(copy);
}

// GETITFCDATA hands out the saved form: fixed size, little-endian, no address of a playing sound in it,
// and SETITFCDATA takes it back.
TEST_F(ProjectileFlight, TheSavedFormHoldsNoPointerAndComesBack) {
    construct* p = Launch(Bullet_itfc, 60000, 50000, 60000, 1000, 100000);
    auto* b = static_cast<ProjectileBlock*>(p->itfcData);
    b->impact = {7, 8, 9};
    b->speed = 0x01020304;
    b->travelled = 77;
    std::snprintf(b->waterSound.file, sizeof b->waterSound.file, "splash.wav");
    b->waterSound.maxDistance = 5000;
    b->waterSound.buffer = reinterpret_cast<dxgl_SoundStreamBuffer*>(uintptr_t{0x12345678});
    b->waterSound.serial = 31;
    int32_t size = 0;
    auto* form = reinterpret_cast<uint8_t*>(CallItfc(p, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    ASSERT_EQ(size, kProjectileSavedSize);
    const uint8_t head[8] = {7, 8, 9, 0, 4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(form, head, sizeof head), 0);
    const uint8_t* water = form + 16 + 88;
    EXPECT_STREQ(reinterpret_cast<const char*>(water), "splash.wav");
    EXPECT_EQ(water[68], 0x88);  // maxDistance 5000, little-endian
    EXPECT_EQ(water[69], 0x13);
    for (int k = 84; k < 88; ++k) EXPECT_EQ(water[k], 0) << k;  // the playing sound is not written
    b->waterSound.buffer = nullptr;
    b->speed = 1;
    b->travelled = 0;
    CallItfc(p, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form));
    EXPECT_EQ(b->speed, 0x01020304);
    EXPECT_EQ(b->travelled, 77);
    qzFree(form);
}

// CREATE from the rules and the object file of a weapons folder.
TEST(ProjectileCreate, MadeFromItsRulesAndObjectFile) {
    kvtest::FatalCatcher fatal;
    kvtest::TempDir dir;
    ASSERT_TRUE(datakit::WriteFile(dir / "weapons/bullet", datakit::BoxObject(0.05f, 0.05f, 0.05f, {1, 2, 3}).Bytes()));
    ASSERT_TRUE(datakit::WriteRulesText(dir / "rules",
                                        "Bullet_scale 8192;\nBullet_BSphereRadius 2000.7;\n"
                                        "Bullet_FX_HitWater 1000 0 0 \"splash.wav\";\nend\n"));
    host::FlushDirectoryCache();
    ReadRules((dir / "rules").c_str());
    const std::string weapons = dir / "weapons";
    auto* con = reinterpret_cast<construct*>(Bullet_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(weapons.c_str())));
    ASSERT_NE(con, nullptr);
    EXPECT_EQ(con->itfc, Bullet_itfc);
    EXPECT_EQ(con->collisionClass, 1);
    EXPECT_EQ(con->effectPhase, 255);
    EXPECT_EQ(con->sphere.radius, 2000);
    EXPECT_EQ(con->sphere.centre[0], 0);
    EXPECT_EQ(con->sampleCornerCount, 1);
    EXPECT_EQ(con->sampleCorners[0], 0);
    EXPECT_NE(con->lod[0], nullptr);
    EXPECT_EQ(con->lod[3], con->lod[0]);
    const auto* b = static_cast<const ProjectileBlock*>(con->itfcData);
    EXPECT_STREQ(b->waterSound.file, "splash.wav");
    EXPECT_EQ(b->groundSound.file[0], 0);  // missing: plays nothing
    CallItfc(con, ItfcMethod::DESTROY, 0);

    // The shell's rules are missing: fatal through the rule lookup.
    try {
        Shell_itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(weapons.c_str()));
        FAIL() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedRule): Rule 'shell_scale' not found");
    }
    FreeRules();
}

}  // namespace
