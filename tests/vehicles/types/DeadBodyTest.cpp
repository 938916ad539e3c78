// The wreck: one template per object directory, the hand-over from a dying unit, the full pool, lying,
// sinking and removing itself, shoves and crash sounds, the 208-byte stored record, the refused
// "impactphysical" values, and events queued for a wreck that is freed.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/Fix3D.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/ObjectFixtures.h"
#include "objects/Units.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/types/DeadBody.h"
#include "world/TerrainFixtures.h"
#include "world/TickCounter.h"

namespace {

constexpr const char* kTankDir = "Objects\\units\\tank";
constexpr const char* kBareDir = "Objects\\units\\bare";

// What strikes a wreck: its damage bytes, with or without a units-file entry.
DamageRecord g_hitterDamage{};
StateRecord g_hitterState{};
uintptr_t Hitter_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("Hitter");
    if (method == ItfcMethod::GETDAMAGE) return reinterpret_cast<uintptr_t>(&g_hitterDamage);
    if (method == ItfcMethod::GETSTATE) return reinterpret_cast<uintptr_t>(&g_hitterState);
    return 0;
}

class DeadBodyTest : public kvtest::ObjectLevel {
protected:
    void SetUp() override {
        ObjectLevel::SetUp();
        kvtest::EnsureFPTables();
        old_ = std::filesystem::current_path().string();
        host::SetWorkingDirectory(dir_.path().c_str());
        datakit::ObjectFile wreck = datakit::BoxObject(1, 1, 1, {90, 90, 90});
        wreck.Spot(0, 0, 40);  // a black-smoke spot
        const std::vector<uint8_t> body = wreck.Bytes();
        dir_.Write("Objects/units/tank/deadbody", std::string(body.begin(), body.end()));
        dir_.Write("Objects/units/bare/body", std::string(body.begin(), body.end()));
        host::FlushDirectoryCache();
        Rules("Tank_scale 1; Tank_impactphysical 50; deadbody_lifetime 2; deadbody_smoketime 1;");
        unit_ = AddUnit("Tank", kTankDir);
        PreloadedPool = CreateConstructPool(kPreloadedCapacity, "preloaded");
        CreateDeadBodyPool();
        FrameCounter = 1000;
        g_hitterDamage = DamageRecord{};
    }
    void TearDown() override {
        ObjectLevel::TearDown();  // wrecks, templates and pools
        ClearQZEvents();
        for (construct* c : loose_) FreeConstruct(c);
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        FreeRules();
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    void Rules(const std::string& text) {
        static int n = 0;
        const std::string path = (std::filesystem::path(dir_.path()) / ("rules" + std::to_string(n++))).string();
        ASSERT_TRUE(datakit::WriteRulesText(path, text + "end\n"));
        ReadRules(path.c_str());
    }
    static Unit* AddUnit(const char* name, const char* path) {
        Unit* u = CreateUnit();
        u->name = qzStrDup(name, "unit name");
        u->rulePrefix = qzStrDup(name, "unit prefix");
        u->gameName = qzStrDup(name, "unit game name");
        u->path = qzStrDup(path, "unit path");
        return u;
    }
    // A dying unit of the entry at a known place, facing along x.
    construct* DyingUnit(Unit* unit) {
        construct* c = CreateConstruct(0, 0);
        c->unit = unit;
        c->pos[0] = 300000, c->pos[1] = 5000, c->pos[2] = 400000;
        std::memset(c->orient, 0, sizeof c->orient);
        c->orient[2] = 32768, c->orient[4] = 32768, c->orient[6] = -32768;
        loose_.push_back(c);
        return c;
    }
    construct* Wreck() {
        construct* w = LeaveDeadBody(DyingUnit(unit_), kTankDir);
        FlushQZEvents();
        return w;
    }
    construct* Hitter(bool withUnit) {
        construct* h = CreateConstruct(0, 0);
        h->itfc = Hitter_itfc;
        if (withUnit) h->unit = unit_;
        loose_.push_back(h);
        return h;
    }
    static DeadBodyData* Data(construct* w) { return static_cast<DeadBodyData*>(w->itfcData); }
    static void Strike(construct* w, construct* h, const int32_t p[3]) {
        w->hits[0] = h;
        std::memcpy(w->hitPoints[0], p, 12);
    }

    kvtest::TempDir dir_;
    std::string old_;
    Unit* unit_ = nullptr;
    std::vector<construct*> loose_;
};

TEST_F(DeadBodyTest, OneTemplatePerDirectoryAndNoneWithoutAWreckFile) {
    PreloadDeadBody(unit_, kTankDir);
    PreloadDeadBody(AddUnit("Tank2", kTankDir), kTankDir);
    PreloadDeadBody(unit_, kBareDir);
    ASSERT_EQ(PreloadedPool->count, 1);
    construct* tmpl = PreloadedPool->constructs[0];
    EXPECT_STREQ(PreloadedPool->names[0], kTankDir);
    EXPECT_EQ(tmpl->itfc, &DeadBody_itfc);
    EXPECT_FALSE(tmpl->flags & kConstructPlaced);
    EXPECT_EQ(tmpl->flags, kDeadBodyFlags);
    EXPECT_EQ(LeaveDeadBody(DyingUnit(unit_), kBareDir), nullptr);
    EXPECT_EQ(DeadBodyPool->count, 0);
}

TEST_F(DeadBodyTest, ADyingUnitLeavesAPlacedCopyWhereItDied) {
    PreloadDeadBody(unit_, kTankDir);
    construct* dying = DyingUnit(unit_);
    construct* w = LeaveDeadBody(dying, kTankDir);
    ASSERT_NE(w, nullptr);
    EXPECT_NE(w, PreloadedPool->constructs[0]);
    EXPECT_EQ(w->unit, unit_);
    EXPECT_TRUE(IsInConstructPool(w, DeadBodyPool));
    EXPECT_TRUE(w->flags & kConstructPlaced);
    EXPECT_TRUE(w->flags & kConActive);
    EXPECT_EQ(w->collisionClass, 255);
    EXPECT_EQ(w->opacity, 255);
    EXPECT_EQ(w->sampleCornerCount, 4);
    EXPECT_EQ(std::memcmp(w->sampleCorners, "\0\3\4\7", 4), 0);
    EXPECT_EQ(std::memcmp(w->pos, dying->pos, sizeof w->pos), 0);
    EXPECT_EQ(std::memcmp(w->orient, dying->orient, sizeof w->orient), 0);
    const DeadBodyData* d = Data(w);
    EXPECT_EQ(d->damage.physical, 50);
    EXPECT_EQ(d->state.structure, -1);
    EXPECT_EQ(d->maxima.structure, -1);
    EXPECT_EQ(d->lifetime, 200);
    EXPECT_EQ(d->smoke, 100);
    EXPECT_EQ(d->lastCrash, 1000);
    FlushQZEvents();
    EXPECT_TRUE(w->flags & (kConBusyPool0 << 1));  // busy every 2nd tick in a single-player game

    // GETNAME needs no construct; GETPOS gives the position itself.
    EXPECT_STREQ(reinterpret_cast<const char*>(DeadBody_itfc(nullptr, ItfcMethod::GETNAME, 0)), "DeadBody");
    int32_t pos[3];
    DeadBody_itfc(w, ItfcMethod::GETPOS, reinterpret_cast<uintptr_t>(pos));
    EXPECT_EQ(std::memcmp(pos, dying->pos, sizeof pos), 0);
    EXPECT_EQ(DeadBody_itfc(w, ItfcMethod::GETUNIT, 0), 0u);
}

TEST_F(DeadBodyTest, AFullPoolLeavesNoWreckUntilOneHasGone) {
    for (int i = 0; i < kDeadBodyPoolCapacity; ++i) ASSERT_NE(LeaveDeadBody(DyingUnit(unit_), kTankDir), nullptr);
    EXPECT_EQ(LeaveDeadBody(DyingUnit(unit_), kTankDir), nullptr);
    construct* first = DeadBodyPool->constructs[0];
    RemoveFromConstructPool(DeadBodyPool, first);
    DeadBody_itfc(first, ItfcMethod::DESTROY, 0);
    EXPECT_NE(LeaveDeadBody(DyingUnit(unit_), kTankDir), nullptr);
}

TEST_F(DeadBodyTest, TheWreckLiesSinksForThreeHundredTicksAndRemovesItself) {
    kvtest::MemTrack track;
    Rules("deadbody_lifetime 0; deadbody_smoketime 0;");
    const int before = track.Live();
    construct* w = Wreck();
    const int32_t y = w->pos[1];
    DeadBody_itfc(w, ItfcMethod::TICK, 0);  // the first TICK lies (only the wreck's physics moves it)
    EXPECT_EQ(Data(w)->sink, 1);
    const int32_t lying = w->pos[1];
    EXPECT_NEAR(lying, y, 100);
    for (int i = 1; i <= 42; ++i) DeadBody_itfc(w, ItfcMethod::TICK, 0);
    EXPECT_EQ(w->pos[1], lying - 42 * 100);
    EXPECT_EQ(w->opacity, 3);
    for (int i = 43; i < 300; ++i) DeadBody_itfc(w, ItfcMethod::TICK, 0);
    ASSERT_TRUE(IsInConstructPool(w, DeadBodyPool));
    DeadBody_itfc(w, ItfcMethod::TICK, 0);  // the 300th sinking TICK: progress 30001
    EXPECT_EQ(DeadBodyPool->count, 0);
    EXPECT_FALSE(w->flags & kConstructPlaced);
    FlushQZEvents();  // the deferred free
    EXPECT_EQ(track.Live(), before + 1);  // only the dead unit's own construct is left
}

TEST_F(DeadBodyTest, CountdownsRunByTheBusyLevel) {
    construct* w = Wreck();
    ASSERT_EQ(w->busyLevel, 1);
    DeadBody_itfc(w, ItfcMethod::TICK, 0);
    EXPECT_EQ(Data(w)->lifetime, 198);
    EXPECT_EQ(Data(w)->smoke, 98);
    for (int i = 0; i < 99; ++i) DeadBody_itfc(w, ItfcMethod::TICK, 0);
    EXPECT_EQ(Data(w)->sink, 1);
    EXPECT_EQ(Data(w)->smoke, -100);  // counts on below 0
}

TEST_F(DeadBodyTest, SpotsBurnWhileTheSmokeTimeLastsEvenWhileSinking) {
    struct Case {
        const char* name;
        const char* rules;
        bool burning;
    } cases[] = {
        {"no smoke time: no smoke at all", "deadbody_lifetime 0; deadbody_smoketime 0;", false},
        {"smoke longer than the lifetime: burns while sinking", "deadbody_lifetime 0; deadbody_smoketime 10;", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rules(c.rules);
        construct* w = Wreck();
        ASSERT_EQ(w->spotCount, 1);
        const int32_t armed = w->spots[0].value;
        ASSERT_EQ(w->spots[0].countdown, armed);  // the hand-over re-arms the spots
        for (int i = 0; i < 10; ++i) DeadBody_itfc(w, ItfcMethod::TICK, 0);
        EXPECT_GT(Data(w)->sink, 1);
        EXPECT_EQ(w->spots[0].countdown != armed, c.burning);
    }
}

TEST_F(DeadBodyTest, ShovesAndCrashSounds) {
    construct* w = Wreck();
    const int32_t p[3] = {w->pos[0] - 10000, w->pos[1], w->pos[2]};
    struct Case {
        const char* name;
        uint8_t physical;
        bool unit;
        uint32_t tick;
        int32_t moved;      // along x: (physical x 256 / 50 x 32768) >> 12
        int32_t lastCrash;  // after the hit
    } cases[] = {
        {"a projectile slides it, silently", 5, false, 1100, (5 * 256 / 50 * 32768) >> 12, 1000},
        {"a unit 200 ticks after the last crash is silent", 6, true, 1200, (6 * 256 / 50 * 32768) >> 12, 1000},
        {"201 ticks after it crashes", 6, true, 1201, (6 * 256 / 50 * 32768) >> 12, 1201},
        {"a clock behind the last crash crashes", 6, true, 900, (6 * 256 / 50 * 32768) >> 12, 900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameCounter = c.tick;
        g_hitterDamage.physical = c.physical;
        const int32_t x = w->pos[0], z = w->pos[2];
        // A blow above 5 also sets the wreck sliding: its impact joins the velocity (>> 10), which moves
        // it by velocity >> 7 at busy level 1. The slide of earlier blows is stopped first.
        std::memset(Data(w)->phys.velocity, 0, sizeof Data(w)->phys.velocity);
        const int32_t slide = c.physical > 5 ? ((int32_t{c.physical} * 256 / 50 * 32768) >> 10) >> 7 : 0;
        Strike(w, Hitter(c.unit), p);
        DeadBody_itfc(w, ItfcMethod::TICK, 0);
        // The wreck falls a little meanwhile, which turns the shove's direction by a hair: a unit either way.
        EXPECT_NEAR(w->pos[0] - x, c.moved + slide, 1);
        EXPECT_EQ(w->pos[2], z);
        EXPECT_EQ(Data(w)->lastCrash, c.lastCrash);
        EXPECT_EQ(w->hits[0], nullptr);
    }
}

TEST_F(DeadBodyTest, TheStoredRecordIs208LittleEndianBytesAndRestoresThePhase) {
    construct* w = Wreck();
    DeadBodyData* d = Data(w);
    d->lifetime = 0x01020304;
    d->sink = 500;
    d->smoke = -7;
    d->state.structure = -3;
    int32_t size = 0;
    auto* rec = reinterpret_cast<uint8_t*>(DeadBody_itfc(w, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(size, kDeadBodyRecordSize);
    EXPECT_EQ(rec[0], 50);
    EXPECT_EQ(rec[8], 0xFD);  // structure -3
    EXPECT_EQ(rec[28], 0x04);
    EXPECT_EQ(rec[31], 0x01);
    EXPECT_EQ(rec[32], 0xF4);  // sink 500
    EXPECT_EQ(rec[33], 0x01);
    EXPECT_EQ(rec[36], 0xF9);  // smoke -7

    // Restored into a freshly placed wreck, it goes on sinking at once.
    construct* fresh = Wreck();
    const int32_t y = fresh->pos[1];
    DeadBody_itfc(fresh, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(rec));
    EXPECT_EQ(Data(fresh)->lifetime, 0x01020304);
    EXPECT_EQ(Data(fresh)->sink, 500);
    EXPECT_EQ(Data(fresh)->state.structure, -3);
    DeadBody_itfc(fresh, ItfcMethod::TICK, 0);
    EXPECT_EQ(fresh->pos[1], y - 100);
    EXPECT_EQ(Data(fresh)->sink, 600);

    // Written again, the restored wreck gives the same bytes.
    auto* again = reinterpret_cast<uint8_t*>(DeadBody_itfc(fresh, ItfcMethod::GETITFCDATA, 0));
    Data(fresh)->sink = 500;
    qzFree(again);
    again = reinterpret_cast<uint8_t*>(DeadBody_itfc(fresh, ItfcMethod::GETITFCDATA, 0));
    EXPECT_EQ(std::memcmp(rec, again, kDeadBodyRecordSize), 0);
    qzFree(again);
    qzFree(rec);
}

TEST_F(DeadBodyTest, AnImpactOfZeroOrBeyondAByteIsRefusedAtPlace) {
    kvtest::FatalCatcher fatal;
    for (const char* value : {"0", "256", "0.5"}) {
        SCOPED_TRACE(value);
        Rules(std::string("Tank_impactphysical ") + value + ";");
        auto* w = reinterpret_cast<construct*>(DeadBody_itfc(reinterpret_cast<construct*>(unit_), ItfcMethod::CREATE,
                                                             reinterpret_cast<uintptr_t>(kTankDir)));
        loose_.push_back(w);
        try {
            DeadBody_itfc(w, ItfcMethod::PLACE, 0);
            FAIL();
        } catch (const kvtest::FatalExit& e) {
            const std::string expected = std::string("Error(DeadBody): unit 'Tank' has impactphysical ") +
                                         (value[0] == '2' ? "256" : "0") + "; the wreck needs 1 to 255";
            EXPECT_EQ(e.what(), expected);
        }
        ClearQZEvents();
    }
}

TEST_F(DeadBodyTest, UnplaceAndDestroyDropWhatIsQueuedForTheWreck) {
    construct* w = Wreck();
    RemoveFromConstructPool(DeadBodyPool, w);
    DeadBody_itfc(w, ItfcMethod::UNPLACE, 0);
    ASSERT_EQ(QZEventCount, 1);
    DeadBody_itfc(w, ItfcMethod::UNPLACE, 0);  // not placed: nothing
    EXPECT_EQ(QZEventCount, 1);
    DeadBody_itfc(w, ItfcMethod::DESTROY, 0);
    FlushQZEvents();  // the busy-removal event of the freed wreck is not run

    // DESTROY of a placed wreck unplaces it first; deferred, the free runs with the events.
    construct* v = Wreck();
    RemoveFromConstructPool(DeadBodyPool, v);
    DeadBody_itfc(v, ItfcMethod::DESTROY, 1);
    EXPECT_FALSE(v->flags & kConActive);
    ASSERT_EQ(QZEventCount, 2);
    FlushQZEvents();
}

// With the wreck physics: a wreck left in the air falls, comes to rest on the ground and stays there.
TEST_F(DeadBodyTest, AWreckLeftInTheAirFallsAndSettles) {
    Rules("Tank_scale 4096; deadbody_lifetime 100;");
    kvtest::HandMatrix ground(16, 16);
    for (int32_t X = 0; X < 256; ++X)
        for (int32_t Z = 0; Z < 256; ++Z) ground.At(X, Z).height = 100;  // 800 world units
    for (int32_t& w : WaterLevel) w = kNoWaterLevel;
    CurrentMatrix = ground.m;
    construct* w = Wreck();
    w->pos[1] = 60000;
    int32_t settled = 0;
    for (int i = 0; i < 600; ++i) {
        const int32_t y = w->pos[1];
        DeadBody_itfc(w, ItfcMethod::TICK, 0);
        settled = w->pos[1] == y ? settled + 1 : 0;
    }
    EXPECT_LT(w->pos[1], 60000);
    EXPECT_GT(settled, 50);  // at rest for the last updates
    EXPECT_EQ(Data(w)->phys.contacts, 4);
    // Its lower corners stand on the ground, within the contact band.
    for (int k : {0, 3, 4, 7}) {
        FixVec local{w->box.corners[k][0], w->box.corners[k][1], w->box.corners[k][2]};
        FixVec world;
        RotateVecT13(&world, reinterpret_cast<const FixMatrix*>(w->orient), &local);
        EXPECT_NEAR(w->pos[1] + world.y, 800, 500) << k;
    }
    CurrentMatrix = nullptr;
}

// The stored record carries the motion: a falling wreck restored elsewhere writes the same bytes, and
// keeps its own spin decay.
TEST_F(DeadBodyTest, TheStoredRecordCarriesTheMotion) {
    construct* w = Wreck();
    DeadBodyData* d = Data(w);
    d->phys.velocity[0] = -1234;
    d->phys.spin[1] = 77;
    d->phys.verticalVelocity = -56000;
    d->phys.impactPending = 1;
    d->phys.impact[2] = 999;
    d->phys.damping = 0.5f;
    auto* rec = reinterpret_cast<uint8_t*>(DeadBody_itfc(w, ItfcMethod::GETITFCDATA, 0));
    construct* fresh = Wreck();
    Data(fresh)->phys.spinDecay = 800;
    DeadBody_itfc(fresh, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(rec));
    EXPECT_EQ(Data(fresh)->phys.velocity[0], -1234);
    EXPECT_EQ(Data(fresh)->phys.spin[1], 77);
    EXPECT_EQ(Data(fresh)->phys.verticalVelocity, -56000);
    EXPECT_EQ(Data(fresh)->phys.impact[2], 999);
    EXPECT_FLOAT_EQ(Data(fresh)->phys.damping, 0.5f);
    EXPECT_EQ(Data(fresh)->phys.spinDecay, 800);
    EXPECT_EQ(Data(fresh)->phys.con, fresh);
    Data(fresh)->phys.spinDecay = d->phys.spinDecay;
    auto* again = reinterpret_cast<uint8_t*>(DeadBody_itfc(fresh, ItfcMethod::GETITFCDATA, 0));
    EXPECT_EQ(std::memcmp(rec, again, kDeadBodyRecordSize), 0);
    qzFree(again);
    qzFree(rec);
}

}  // namespace
