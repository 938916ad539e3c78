// The jeep on the demo island: the level is populated with jeeps of both sides; the methods it answers;
// hits, push and death; the placement rules; the same input giving the same world.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ai/RecordReplay.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "objects/EffectTypes.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "objects/UnitTick.h"
#include "hud/TFView.h"
#include "render/Viewport.h"
#include "support/DebugCapture.h"
#include "vehicles/DemoLevel.h"
#include "vehicles/types/EMAJeep.h"
#include "world/Terrain.h"
#include "game/WorldHash.h"

namespace {

using kvtest::DemoLevel;

EMAJeepBlock* JB(construct* c) { return static_cast<EMAJeepBlock*>(c->itfcData); }

// A jeep made and placed through its units-file entry, outside every action unit.
construct* MakeJeep(int32_t x, int32_t z, int32_t strength = 100, Clan* clan = nullptr) {
    Unit* entry = NamedUnit("EMAJeep");
    auto* c = reinterpret_cast<construct*>(UnitType_itfc(entry, nullptr, ItfcMethod::CREATE, 0));
    c->clan = clan;
    PlacementRecord place{};
    place.x = x;
    place.z = z;
    place.strength = strength;
    UnitType_itfc(entry, c, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&place));
    FlushQZEvents();
    return c;
}

void Remove(construct* c) {
    CallItfc(c, ItfcMethod::UNPLACE, 0);
    FlushQZEvents();
    CallItfc(c, ItfcMethod::DESTROY, 0);
}

TEST_F(DemoLevel, BothSidesOfTheIslandAreJeepsStandingOnTheGround) {
    WorldTick(1, 1);
    const struct {
        const char* au;
        const char* clan;
    } sides[] = {{"EMA_TaskForce", "EMA"}, {"GA_Outpost", "GA"}};
    for (const auto& side : sides) {
        const auto units = UnitsOf(side.au);
        ASSERT_EQ(units.size(), 2u) << side.au;
        for (construct* c : units) {
            EXPECT_EQ(c->itfc, EMAJeep_itfc);
            EXPECT_TRUE(c->flags & kConstructPlaced);
            EXPECT_TRUE(c->flags & kConActive);
            EXPECT_TRUE(c->flags & kConBusy);
            // The tactical map's camera follows the task force's first unit, which runs every tick.
            EXPECT_EQ(c->busyLevel, c == UnitsOf("EMA_TaskForce")[0] ? 0 : 1);
            EXPECT_TRUE(c->flags & kConInputDriven);
            ASSERT_NE(c->clan, nullptr);
            EXPECT_STREQ(c->clan->name, side.clan);
            // Placed on the ground; the wheels then rest it on its contact corners.
            EXPECT_NEAR(c->pos[1], GroundHeight(CurrentMatrix, c->pos, 0, 0, nullptr), 200) << side.au;
            EXPECT_EQ(c->subCount, 3);
            EXPECT_EQ(c->collisionClass, 255);
            EXPECT_EQ(c->sampleCornerCount, 4);
            const EMAJeepBlock* b = JB(c);
            EXPECT_EQ(b->head.state.shield, 60);
            EXPECT_EQ(b->head.state.structure, 80);
            EXPECT_EQ(b->head.state.energy, 100);
            EXPECT_STREQ(b->directory, "Objects\\ema\\jeep");
            EXPECT_NE(b->head.cockpit, nullptr);
            EXPECT_NE(b->head.missileWarning, nullptr);
            EXPECT_NE(b->head.lockWarning, nullptr);
        }
    }
}

TEST_F(DemoLevel, MethodsAnswerAsTheFrameSaysAndOthersAreUnknown) {
    construct* c = UnitsOf("EMA_TaskForce")[0];
    EMAJeepBlock* b = JB(c);
    kvtest::DebugCapture debug;
    EXPECT_STREQ(reinterpret_cast<const char*>(EMAJeep_itfc(nullptr, ItfcMethod::GETNAME, 0)), "EMAJeep");
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETUNIT), reinterpret_cast<uintptr_t>(b));
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETDAMAGE), reinterpret_cast<uintptr_t>(&b->head.impact));
    EXPECT_EQ(b->head.impact.physical, 40);
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETSTATE), reinterpret_cast<uintptr_t>(&b->head.state));
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETMAXIMA), reinterpret_cast<uintptr_t>(&b->head.maxima));
    int32_t pos[3] = {};
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETPOS, reinterpret_cast<uintptr_t>(pos)), 0u);
    EXPECT_EQ(std::memcmp(pos, c->pos, sizeof pos), 0);
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETTURRETPOS), reinterpret_cast<uintptr_t>(c->subs[0]->pos));
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETTURRETMATRIX), reinterpret_cast<uintptr_t>(c->subs[0]->orient));
    ControlInput look{};
    look.axes[0] = -5;
    look.axes[1] = 7;
    look.axes[2] = 9;
    CallItfc(c, ItfcMethod::SETLOOK, reinterpret_cast<uintptr_t>(&look));
    EXPECT_EQ(b->head.look[0], 7);
    EXPECT_EQ(b->head.look[1], 9);
    EXPECT_EQ(b->head.look[2], -5);
    int32_t untouched = 1234;
    EXPECT_EQ(CallItfc(c, ItfcMethod::GETGAUGES2, reinterpret_cast<uintptr_t>(&untouched)), 0u);
    EXPECT_EQ(untouched, 1234);
    EXPECT_EQ(debug.text(), "");

    const int unknown[] = {3, 4, 5, 6, 7, 8, 11, 12, 15, 21, 22, 23, 24, 25, 26, 28, 40, 41, 42,
                           43, 44, 46, 49, 50, 51, 57, 58, 62, 65, 99};
    for (int m : unknown) {
        debug.text().clear();
        EXPECT_EQ(CallItfc(c, static_cast<ItfcMethod>(m), 0), 0u) << m;
        EXPECT_EQ(debug.text(), "EMAJeep: uk method " + std::to_string(m) + "\n");
    }
}

// The cockpit model is drawn at the inside view with the body's orientation; its warning lights show
// the unit record's targeted-by and missile counts.
TEST_F(DemoLevel, TheOverlaySetsTheCockpitWarningsFromTheUnitRecord) {
    construct* c = UnitsOf("EMA_TaskForce")[0];
    EMAJeepBlock* b = JB(c);
    const struct {
        int32_t targetedBy, missiles;
        uint32_t tick;
        int32_t lock, missile;
    } cases[] = {{0, 0, 5, 0, 0}, {1, 0, 0, 248, 0}, {2, 0, 40, 64, 0}, {0, 3, 7, 0, 255}};
    for (const auto& k : cases) {
        b->head.unit.targetedBy = k.targetedBy;
        b->head.unit.missileCount = k.missiles;
        FrameCounter = k.tick;
        EXPECT_EQ(CallItfc(c, ItfcMethod::DRAWOVERLAY, 0), 0u);
        EXPECT_EQ(*b->head.lockWarning, k.lock) << k.tick;
        EXPECT_EQ(*b->head.missileWarning, k.missile) << k.tick;
        EXPECT_EQ(std::memcmp(b->head.cockpit->pos, b->head.unit.insidePos, sizeof b->head.unit.insidePos), 0);
        EXPECT_EQ(std::memcmp(b->head.cockpit->orient, c->orient, sizeof c->orient), 0);
    }
    b->head.unit.targetedBy = b->head.unit.missileCount = 0;
}

// Each view answers its own: inside, the turret takes its cockpit limits and the player view is told it
// looks from inside; outside and on release, the normal limits and an outside player view.
TEST_F(DemoLevel, InsideAndOutsideViewsEachReportTheirOwnView) {
    construct* c = UnitsOf("EMA_TaskForce")[0];
    EMAJeepBlock* b = JB(c);
    ViewPort vp{};
    ViewPort* savedMain = MainViewPort;
    MainViewPort = &vp;
    TFView view{};
    TFView* saved = PlayerTFView;
    PlayerTFView = &view;
    const struct {
        ItfcMethod method;
        uint8_t inside;
    } steps[] = {{ItfcMethod::VIEWINSIDE, 1}, {ItfcMethod::VIEWOUTSIDE, 0}, {ItfcMethod::VIEWINSIDE, 1},
                 {ItfcMethod::VIEWRELEASE, 0}};
    for (const auto& st : steps) {
        EXPECT_EQ(CallItfc(c, st.method, reinterpret_cast<uintptr_t>(&vp)), 0u);
        EXPECT_EQ(view.insideView, st.inside) << static_cast<int>(st.method);
        EXPECT_EQ(b->turret.cockpitLimits, st.inside) << static_cast<int>(st.method);
    }
    // Another viewport leaves the unit's own state alone.
    ViewPort other{};
    CallItfc(c, ItfcMethod::VIEWINSIDE, reinterpret_cast<uintptr_t>(&other));
    EXPECT_EQ(view.insideView, 0);
    EXPECT_EQ(b->turret.cockpitLimits, 0);
    PlayerTFView = saved;
    MainViewPort = savedMain;
}

TEST_F(DemoLevel, GetAndSetItfcDataCarryTheStateInAPointerFreeFormAndKeepTheOwnCockpit) {
    construct* a = UnitsOf("EMA_TaskForce")[0];
    construct* b = UnitsOf("EMA_TaskForce")[1];
    JB(a)->head.state.shield = 17;
    JB(a)->head.look[1] = 555;
    JB(a)->head.stealthMode = 1;
    JB(a)->head.unit.killCount = 3;
    JB(a)->turret.yaw = 12345;
    JB(a)->drive.speed = 777;
    JB(a)->drive.wheelLock = JB(a)->drive.maxWheelLock / 2;
    JB(a)->weapon0.fireDelayCounter = JB(a)->weapon0.fireDelay - 1;
    JB(a)->weapon0.ammo -= 2;
    JB(a)->lighting.ramp = 100;
    JB(a)->lighting.step = kLightRampStep;
    int32_t size = 0;
    auto* saved = reinterpret_cast<uint8_t*>(CallItfc(a, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(size, static_cast<int32_t>(kEMAJeepSavedSize));
    EXPECT_EQ(EMAJeep_checkSaved(saved, size_t(size)), nullptr);
    // No address is part of the form: another cockpit and target give the same bytes.
    construct* ownCockpit = JB(a)->head.cockpit;
    JB(a)->head.cockpit = nullptr;
    JB(a)->head.unit.target = b;
    int32_t size2 = 0;
    auto* again = reinterpret_cast<uint8_t*>(CallItfc(a, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size2)));
    ASSERT_EQ(size2, size);
    EXPECT_EQ(std::memcmp(saved, again, size_t(size)), 0);
    qzFree(again);
    JB(a)->head.unit.target = nullptr;
    JB(a)->head.cockpit = ownCockpit;
    construct* cockpit = JB(b)->head.cockpit;
    CallItfc(b, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(saved));
    qzFree(saved);
    EXPECT_EQ(JB(b)->head.state.shield, 17);
    EXPECT_EQ(JB(b)->head.look[1], 555);
    EXPECT_EQ(JB(b)->head.stealthMode, 1u);
    EXPECT_EQ(JB(b)->head.unit.killCount, 3);
    EXPECT_EQ(JB(b)->head.cockpit, cockpit);
    // The modules' states come over through their own copies; their constructs stay b's.
    EXPECT_EQ(JB(b)->turret.yaw, 12345);
    EXPECT_EQ(JB(b)->turret.con, b);
    EXPECT_EQ(JB(b)->drive.speed, 777);
    EXPECT_EQ(JB(b)->drive.wheelLock, JB(a)->drive.wheelLock);
    EXPECT_EQ(JB(b)->drive.g.con, b);
    EXPECT_EQ(JB(b)->weapon0.fireDelayCounter, JB(a)->weapon0.fireDelayCounter);
    EXPECT_EQ(JB(b)->weapon0.ammo, JB(a)->weapon0.ammo);
    EXPECT_EQ(JB(b)->weapon0.unit, b);
    EXPECT_EQ(JB(b)->lighting.ramp, 100);
    EXPECT_EQ(JB(b)->lighting.step, kLightRampStep);
    EXPECT_EQ(JB(b)->lighting.con, b);
}

// A jeep that is not placed has released its sounds and lights; taking over the form of a running jeep
// (engine heard, turret sound wanted, lights on) starts none of them, since nothing would stop them.
TEST_F(DemoLevel, AnUnplacedJeepTakesARunningJeepsFormWithoutStartingSoundsOrLights) {
    construct* a = UnitsOf("EMA_TaskForce")[0];
    construct* b = UnitsOf("EMA_TaskForce")[1];
    ASSERT_EQ(JB(a)->drive.g.engine.soundOn, 1);
    ASSERT_EQ(JB(a)->turret.soundWanted, 1);
    JB(a)->lighting.on = 1;
    int32_t size = 0;
    auto* form = reinterpret_cast<uint8_t*>(CallItfc(a, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    JB(a)->lighting.on = 0;
    CallItfc(b, ItfcMethod::UNPLACE, 0);
    FlushQZEvents();
    ASSERT_EQ(JB(b)->drive.g.engine.soundOn, 0);
    CallItfc(b, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form));
    qzFree(form);
    EXPECT_EQ(JB(b)->drive.g.engine.soundOn, 0);
    EXPECT_EQ(SampleLive(&JB(b)->drive.g.engine.external), 0);
    EXPECT_EQ(JB(b)->turret.soundWanted, 0);
    EXPECT_EQ(JB(b)->lighting.on, 0);
    EXPECT_EQ(JB(b)->drive.speed, JB(a)->drive.speed);  // the state itself is taken over
}

// A hit by another clan's unit pushes, damages (shield first) and sets the status word; one by the own
// clan pushes and gives way but deals no damage. A missing clan is nobody's: two units without a clan
// are not one side.
TEST_F(DemoLevel, HitsPushAndOnlyHostileOnesDamage) {
    construct* me = UnitsOf("EMA_TaskForce")[0];
    construct* friendly = UnitsOf("EMA_TaskForce")[1];
    construct* hostile = UnitsOf("GA_Outpost")[0];
    Clan* const own = me->clan;
    const struct {
        const char* name;
        construct* hitter;
        bool clanless;
        int32_t shieldLoss;
        bool status;
    } cases[] = {{"hostile", hostile, false, JB(hostile)->head.impact.shield, true},
                 {"friendly", friendly, false, 0, false},
                 {"both without a clan", friendly, true, JB(friendly)->head.impact.shield, true}};
    FrameCounter = 1;  // no shield recovery in these ticks
    for (const auto& c : cases) {
        me->clan = friendly->clan = c.clanless ? nullptr : own;
        EMAJeepBlock* b = JB(me);
        b->head.unit.status = 0;
        const int32_t shield = b->head.state.shield;
        const int32_t x = me->pos[0], z = me->pos[2];
        me->hits[0] = c.hitter;
        // The hit point lies on the unit's -x side: the push goes toward +x by 256 x 32768 >> 12.
        me->hitPoints[0][0] = x - 65536;
        me->hitPoints[0][1] = me->pos[1];
        me->hitPoints[0][2] = z;
        me->hits[1] = nullptr;
        CallItfc(me, ItfcMethod::TICK, reinterpret_cast<uintptr_t>(&InputBlock));
        EXPECT_EQ(me->hits[0], nullptr) << c.name;
        EXPECT_EQ(me->pos[0] - x, 2048) << c.name;
        EXPECT_EQ(me->pos[2], z) << c.name;
        EXPECT_EQ(shield - b->head.state.shield, c.shieldLoss) << c.name;
        if (c.status)
            EXPECT_EQ(b->head.unit.status, ((256 - 30) >> me->busyLevel) - 1) << c.name;
        else
            EXPECT_EQ(b->head.unit.status, 0) << c.name;
    }
    me->clan = friendly->clan = own;
}

TEST_F(DemoLevel, SelfDestructKillsOnlyWhileRecordingAndTheDeadJeepLeavesTheWorld) {
    // The second jeep: the first is the tactical map camera's, which runs every tick.
    construct* me = UnitsOf("EMA_TaskForce")[1];
    Drive(me);
    Run(4, Keys({kKeySelfDestruct}));
    EXPECT_GT(JB(me)->head.state.structure, 0);

    RecordReplayActive = 1;
    Run(4, Keys({kKeySelfDestruct}));
    RecordReplayActive = 0;
    EXPECT_EQ(JB(me)->head.state.structure, 0);
    // The next tick of the unit found it dead: out of the busy and the visible pools, still placed, its
    // fragments thrown.
    EXPECT_EQ(JB(me)->head.dead, 1u);
    EXPECT_FALSE(me->flags & kConBusy);
    EXPECT_FALSE(me->flags & kConActive);
    EXPECT_TRUE(me->flags & kConstructPlaced);
    const OwnedConstructs& owned = JB(me)->head.unit.owned;
    for (int i = 0; i < owned.count; ++i) EXPECT_TRUE(owned.list[i]->flags & kConBusy) << i;
    // Its wreck stands where it died.
    ASSERT_EQ(DeadBodyPool->count, 1);
    EXPECT_EQ(std::memcmp(DeadBodyPool->constructs[0]->pos, me->pos, sizeof me->pos), 0);
}

// With 40 wrecks standing, a dying jeep leaves none and simply stops.
TEST_F(DemoLevel, AFullDeadBodyPoolLeavesNoWreck) {
    std::vector<construct*> fillers;
    while (DeadBodyPool->count < DeadBodyPool->capacity) {
        fillers.push_back(CreateConstruct(1, 0));
        AppendToConstructPool(DeadBodyPool, fillers.back());
    }
    construct* me = UnitsOf("GA_Outpost")[0];
    JB(me)->head.state.structure = 0;
    WorldTick(2, 1);
    EXPECT_EQ(JB(me)->head.dead, 1u);
    EXPECT_EQ(DeadBodyPool->count, DeadBodyPool->capacity);
    for (construct* f : fillers) {
        RemoveFromConstructPool(DeadBodyPool, f);
        FreeConstruct(f);
    }
}

TEST_F(DemoLevel, StrengthScalesShieldAndEnergyAndRecoveryStopsAtTheMaximum) {
    construct* c = MakeJeep(UnitsOf("EMA_TaskForce")[0]->pos[0] + 200000, UnitsOf("EMA_TaskForce")[0]->pos[2], 50);
    EMAJeepBlock* b = JB(c);
    EXPECT_EQ(b->head.state.shield, 30);
    EXPECT_EQ(b->head.state.energy, 50);
    EXPECT_EQ(b->head.state.structure, 80);
    EXPECT_EQ(b->head.maxima.shield, 30);
    EXPECT_EQ(b->head.maxima.structure, 80);
    EXPECT_EQ(b->head.maxima.energy, 50);
    b->head.state.shield = 25;
    b->head.state.energy = 10;
    b->head.state.structure = 40;
    Drive(c);
    // 3 points every 128 world ticks, whatever the busy level: 256 ticks give 6, held at 30.
    FrameCounter = 1;
    Run(256, ControlInput{});
    EXPECT_EQ(b->head.state.shield, 30);
    EXPECT_EQ(b->head.state.structure, 40);
    Remove(c);
}

// A physical impact of 0 would divide every push by zero, and 256 wraps to 0 in its byte: PLACE refuses
// both, naming the unit, and leaves the unit unplaced.
TEST_F(DemoLevel, AnImpactThatIsNoByteAboveZeroIsRefusedAtPlacement) {
    Rule* rule = FindRule("EMAJeep_impactphysical");
    ASSERT_NE(rule, nullptr);
    const float kept = rule->values[0];
    for (float bad : {0.0f, 0.5f, -3.0f, 256.0f}) {
        rule->values[0] = bad;
        Unit* entry = NamedUnit("EMAJeep");
        auto* c = reinterpret_cast<construct*>(UnitType_itfc(entry, nullptr, ItfcMethod::CREATE, 0));
        PlacementRecord place{};
        place.strength = 100;
        try {
            UnitType_itfc(entry, c, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&place));
            ADD_FAILURE() << "accepted " << bad;
        } catch (const kvtest::FatalExit& e) {
            EXPECT_NE(std::string(e.what()).find("unit 'EMAJeep' has impactphysical"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(c->flags & kConstructPlaced);
        CallItfc(c, ItfcMethod::DESTROY, 0);
    }
    rule->values[0] = kept;
}

// A vehicle that is a reload point stays in "reload" while it is only unplaced, and leaves it when it is
// destroyed: no unit is serviced by a freed construct.
TEST_F(DemoLevel, AReloadVehicleLeavesTheReloadPoolWhenDestroyed) {
    Unit* entry = NamedUnit("EMAJeep");
    const uint32_t klass = entry->klass;
    entry->klass |= kKlassReload;
    construct* c = MakeJeep(UnitsOf("EMA_TaskForce")[0]->pos[0] + 200000, UnitsOf("EMA_TaskForce")[0]->pos[2]);
    ConstructPool* reload = FindConstructPool("reload");
    ASSERT_NE(reload, nullptr);
    EXPECT_TRUE(IsInConstructPool(c, reload));
    CallItfc(c, ItfcMethod::UNPLACE, 0);
    FlushQZEvents();
    EXPECT_TRUE(IsInConstructPool(c, reload));
    const int before = reload->count;
    CallItfc(c, ItfcMethod::DESTROY, 0);
    EXPECT_EQ(reload->count, before - 1);
    entry->klass = klass;
}

TEST_F(DemoLevel, DestroyOfAPlacedJeepIsFatalAndUnplaceTwiceIsHarmless) {
    construct* c = MakeJeep(UnitsOf("EMA_TaskForce")[0]->pos[0] + 200000, UnitsOf("EMA_TaskForce")[0]->pos[2]);
    try {
        CallItfc(c, ItfcMethod::DESTROY, 0);
        ADD_FAILURE() << "destroyed while placed";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "remove first");
    }
    CallItfc(c, ItfcMethod::UNPLACE, 0);
    CallItfc(c, ItfcMethod::UNPLACE, 0);
    FlushQZEvents();
    EXPECT_FALSE(c->flags & (kConstructPlaced | kConActive | kConBusy));
    CallItfc(c, ItfcMethod::DESTROY, 0);
}

// The world after the same scripted input is the same: positions, orientations and the jeeps' records.
uint64_t ScriptedRun(DemoLevel* level, int ticks) {
    for (int t = 0; t < ticks; ++t) {
        ControlInput in{};
        if ((t / 200) % 2 == 0) SetInputKey(&in, kKeyThrust1, true);
        in.axes[kAxisSteer] = static_cast<int16_t>((t % 600) < 300 ? 4000 : -4000);
        if (t % 50 < 10) SetInputKey(&in, kKeyFire1, true);
        level->Step(in);
    }
    int count = 0;
    uint64_t hash = WorldStateHash(&count);
    for (const char* au : {"EMA_TaskForce", "GA_Outpost"})
        for (construct* c : DemoLevel::UnitsOf(au)) {
            const EMAJeepBlock* b = JB(c);
            const int32_t words[] = {b->head.state.shield, b->head.state.structure, b->head.state.energy,
                                     b->head.look[0], b->head.look[1], b->head.look[2], b->head.unit.status,
                                     b->head.unit.velocity[0], b->head.unit.velocity[1], b->head.unit.velocity[2]};
            for (int32_t w : words) hash = (hash ^ static_cast<uint32_t>(w)) * 1099511628211ULL;
        }
    return hash;
}

TEST_F(DemoLevel, TheSameInputForTwoThousandTicksGivesTheSameWorld) {
    uint64_t hashes[2];
    for (uint64_t& h : hashes) {
        ResetRandomGenerators();
        FrameCounter = 0;
        Drive(UnitsOf("EMA_TaskForce")[0]);
        h = ScriptedRun(this, 2000);
        TeardownLevel();
        DeletePlayer(driver_);
        std::snprintf(MissionName, sizeof MissionName, "Ema01");
        InitDemoLevel();
        driver_ = CreatePlayer("driver");
    }
    EXPECT_EQ(hashes[0], hashes[1]);
}

// The shield flashes share one spin that every flash turns on: a level built again starts it afresh, so
// the same blow with the same random numbers flashes the same way in both builds (a spin left over from
// the first level turned the second level's flashes, and moved them, differently).
TEST_F(DemoLevel, AShieldFlashInALevelBuiltAgainTurnsAsInTheFirst) {
    std::vector<int32_t> flashes[2];
    for (std::vector<int32_t>& out : flashes) {
        ResetRandomGenerators();
        construct* jeep = UnitsOf("EMA_TaskForce")[0];
        EMAJeepBlock* b = JB(jeep);
        ASSERT_GT(b->head.state.shield, 0);
        const DamageRecord blow{0, 5, 0};
        jeep->hitPoints[0][0] = jeep->pos[0] + 9000;
        jeep->hitPoints[0][1] = jeep->pos[1] + 5000;
        jeep->hitPoints[0][2] = jeep->pos[2];
        ApplyHitToUnit(jeep, 0, &b->head.state, &blow);
        FlushQZEvents();
        const ConstructPool* pool = SharedPool(SharedPoolId::ShieldHit);
        for (int i = 0; i < pool->count; ++i)
            if (const construct* f = pool->constructs[i]; f->flags & kConActive)
                out.insert(out.end(), f->orient, f->orient + 9);
        EXPECT_EQ(out.size(), 5u * 9);
        EXPECT_NE(ShieldHitSpin, 0);
        TeardownLevel();
        DeletePlayer(driver_);
        std::snprintf(MissionName, sizeof MissionName, "Ema01");
        InitDemoLevel();
        driver_ = CreatePlayer("driver");
    }
    EXPECT_EQ(flashes[0], flashes[1]);
}

}  // namespace
