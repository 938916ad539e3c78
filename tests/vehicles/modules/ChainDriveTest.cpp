// The tracked drive on hand-made flat and sloped terrain: scripted control records checked on the
// position, heading and pitch after a number of ticks; rest; the stealth engine run-down; the water
// line; the AI's steering to a destination and toward a point to face; copying; missing rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "vehicles/modules/ChainDrive.h"
#include "host/Fs.h"
#include "objects/EffectBlocks.h"
#include "objects/WeaponTypes.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/ObjectFile.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "vehicles/modules/GroundDriveFixtures.h"
#include "world/Terrain.h"

namespace {

using drivetest::DriveScene;
using drivetest::Phase;

class ChainDriveTest : public DriveScene {
protected:
    construct* Tank(int32_t x = 4 * 65536, int32_t z = 65536) {
        con_ = Hull("tank", x, z);
        std::memset(&d_, 0, sizeof d_);
        ChainDrive_init(&d_, con_, 0, &power_, "tank");
        return con_;
    }
    // Runs the phases at time shift k (ticks / 2^k updates each).
    void Run(const std::vector<Phase>& phases, int k = 0) {
        for (const Phase& p : phases)
            for (int n = 0; n < p.ticks >> k; ++n) {
                ControlInput in{};
                SetInputKey(&in, kInputThrust1, p.thrust1);
                SetInputKey(&in, kInputThrust2, p.thrust2);
                axis_ = int16_t(axis_ + (p.axisRate << k));
                in.axes[kAxisChassis] = axis_;
                ChainDrive_update(&d_, axis_, &steer_, &rec_, k, &in);
                lastInput_ = in;
            }
    }
    ChainDrive d_{};
    construct* con_ = nullptr;
    int32_t power_ = -1;
    int16_t axis_ = 0;
    ControlInput lastInput_{};
};

// Each script starts on the ground at rest, facing +z.
struct ChainCase {
    const char* name;
    bool slope;
    std::vector<Phase> script;
    int32_t minDz, maxDz;        // travel along z
    double minTurn, maxTurn;     // heading change, degrees
    int32_t speed;               // speed at the end
};

TEST_F(ChainDriveTest, ScriptedControlsOnFlatAndSlopedGround) {
    const ChainCase cases[] = {
        // Throttle 0.02 per tick up to 1 in 50 ticks, then 3000 per tick: 73500 + 51 x 3000.
        {"full throttle on flat ground", false, {{true, false, 0, 100}}, 226000, 227000, -0.5, 0.5, 3000},
        // The same along the slope: the travel is along the tilted hull (cos 7.1 degrees).
        {"full throttle up the slope", true, {{true, false, 0, 100}}, 223000, 226000, -0.5, 0.5, 3000},
        // A steady sweep of the chassis axis holds the differential near 1: the tank turns on the spot.
        {"turning left under throttle", false, {{true, false, -100, 100}}, 500, 8000, -16.0, -10.0, 60},
        {"turning right up the slope", true, {{true, false, 100, 100}}, 500, 8000, 10.0, 16.0, 60},
        // Braking runs the throttle past 0 into reverse (-1 x 1500).
        {"braking into reverse", false, {{true, false, 0, 60}, {false, true, 0, 60}}, 80000, 100000, -0.5, 0.5,
         -1500},
        // Released, the throttle returns by 0.01 per tick and the tank stops.
        {"rolling out", false, {{true, false, 0, 50}, {false, false, 0, 120}}, 215000, 235000, -0.5, 0.5, 0},
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.slope) Slope();
        else Flat();
        Tank();
        axis_ = steer_ = 0;
        const int32_t z0 = con_->pos[2];
        Run(c.script);
        const int32_t dz = con_->pos[2] - z0;
        EXPECT_GE(dz, c.minDz);
        EXPECT_LE(dz, c.maxDz);
        EXPECT_GE(Heading(con_), c.minTurn);
        EXPECT_LE(Heading(con_), c.maxTurn);
        EXPECT_NEAR(d_.speed, c.speed, 1);
        EXPECT_LT(std::abs(WorstCornerGap(con_)), 1200) << "the hull follows the ground";
        const double pitch = c.slope ? drivetest::kSlope : 0.0;
        EXPECT_NEAR(Pitch(con_), pitch, 0.02) << "the hull lies along the ground";
    }
}

TEST_F(ChainDriveTest, OneUpdateAtBusyLevelThreeCoversEightTicks) {
    Tank();
    Run({{true, false, 0, 80}});  // full speed
    const int32_t start[3] = {con_->pos[0], con_->pos[1], con_->pos[2]};
    ChainDrive saved = d_;
    Run({{true, false, 0, 160}}, 0);
    const int32_t dz0 = con_->pos[2] - start[2];
    std::memcpy(con_->pos, start, sizeof start);
    d_ = saved;
    Run({{true, false, 0, 160}}, 3);
    const int32_t dz3 = con_->pos[2] - start[2];
    EXPECT_NEAR(dz0, 160 * 3000, 500);
    EXPECT_NEAR(dz3, dz0, dz0 / 100);
}

TEST_F(ChainDriveTest, StandingTankComesToRestAndStaysUntilWoken) {
    Tank();
    Run({{false, false, 0, 60}});
    EXPECT_EQ(d_.g.rest, 1);
    EXPECT_EQ(d_.contacts, 4);
    const int32_t at[3] = {con_->pos[0], con_->pos[1], con_->pos[2]};
    int32_t orient[9];
    std::memcpy(orient, con_->orient, sizeof orient);
    Run({{false, false, 0, 30}});
    EXPECT_EQ(0, std::memcmp(at, con_->pos, sizeof at)) << "a resting hull is not integrated";
    EXPECT_EQ(0, std::memcmp(orient, con_->orient, sizeof orient));

    WheelDrive_wake(&d_.g);
    Run({{false, false, 0, 1}});
    EXPECT_EQ(d_.g.wake, 0) << "the wake is consumed";
    EXPECT_NE(at[1], con_->pos[1]) << "the woken hull sinks under gravity for one update";
    Run({{false, false, 0, 10}});
    EXPECT_EQ(d_.g.rest, 1);

    WheelDrive_jolt(&d_.g);
    Run({{false, false, 0, 1}});
    EXPECT_EQ(d_.g.jolt, 0);
    Run({{true, false, 0, 5}});
    EXPECT_EQ(d_.g.rest, 0) << "throttle ends the rest";
}

TEST_F(ChainDriveTest, AHullRestingAtBusyLevelThreeStandsOnItsCorners) {
    for (bool slope : {false, true}) {
        SCOPED_TRACE(slope ? "slope" : "flat");
        if (slope) Slope();
        else Flat();
        Tank();
        Run({{true, false, 0, 80}, {false, false, 0, 800}}, 3);
        EXPECT_EQ(d_.g.rest, 1);
        EXPECT_LT(std::abs(WorstCornerGap(con_)), 600) << "not sunk into the ground";
    }
}

// A tank that leaves the ground at full throttle with its nose pitched up falls while it keeps its level way.
TEST_F(ChainDriveTest, ATankInTheAirPitchedUpFallsInsteadOfClimbingAlongItsNose) {
    Tank();
    con_->pos[1] += 2000000;
    const int32_t pitched[9] = {32768, 0, 0, 0, 23170, -23170, 0, 23170, 23170};
    std::memcpy(con_->orient, pitched, sizeof pitched);
    d_.contacts = 0;
    d_.throttle = 1.0f;
    const int32_t y0 = con_->pos[1], z0 = con_->pos[2];
    Run({{false, false, 0, 20}});
    EXPECT_EQ(d_.contacts, 0);
    EXPECT_LT(con_->pos[1], y0);
    EXPECT_GT(con_->pos[2], z0);
}

TEST_F(ChainDriveTest, StealthRunsTheEngineDownByPointNinePerTickAndBrakes) {
    Tank();
    Run({{true, false, 0, 80}});
    ASSERT_EQ(d_.speed, 3000);
    EXPECT_EQ(power_, 100);
    WheelDrive_setMode(&d_.g, 1);
    Run({{true, false, 0, 5}});  // 100 - 5 x 0.9
    EXPECT_EQ(power_, 95);
    EXPECT_FALSE(InputKeyDown(lastInput_, kInputThrust1)) << "the throttle key is taken away";
    EXPECT_TRUE(InputKeyDown(lastInput_, kInputThrust2)) << "and the unit brakes";
    EXPECT_NEAR(d_.throttle, 0.75f, 0.001f);
    Run({{true, false, 0, 20}});  // 100 - 25 x 0.9
    EXPECT_EQ(power_, 77);
    EXPECT_FALSE(InputKeyDown(lastInput_, kInputThrust2)) << "no braking once the throttle is at 0";
    EXPECT_EQ(d_.speed, 0);
    Run({{true, false, 0, 95}});
    EXPECT_EQ(power_, 0);
    EXPECT_EQ(d_.g.engineOff, 1);
    EXPECT_LE(d_.speed, 0);
    const int32_t z = con_->pos[2];
    Run({{true, false, 0, 40}});
    EXPECT_EQ(d_.g.engineOff, 1) << "the throttle does not restart a stopped engine";
    EXPECT_LE(con_->pos[2], z);

    WheelDrive_setMode(&d_.g, 0);
    Run({{false, false, 0, 25}});  // 0 + 25 x 0.9
    EXPECT_EQ(power_, 22);
    EXPECT_EQ(d_.g.engineOff, 1) << "off until the power is full again";
    Run({{false, false, 0, 90}});
    EXPECT_EQ(power_, 100);
    Run({{false, false, 0, 1}});
    EXPECT_EQ(d_.g.engineOff, 0);
    Run({{true, false, 0, 60}});
    EXPECT_EQ(d_.speed, 3000);
}

TEST_F(ChainDriveTest, StealthRunDownScalesWithTheBusyLevel) {
    Tank();
    WheelDrive_setMode(&d_.g, 1);
    Run({{false, false, 0, 22}}, 1);  // eleven updates of 1.8
    EXPECT_EQ(power_, 80);
}

TEST_F(ChainDriveTest, CornersCrossingTheWaterLineFlipTheirDiveStates) {
    Tank();
    Run({{false, false, 0, 20}});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d_.g.ones[i], 1);
    // Water 2000 above the corners: the line (8 x level - 1000) lies above them.
    for (int32_t& level : WaterLevel) level = (drivetest::kGround + 3000) / 8;
    WheelDrive_wake(&d_.g);
    Run({{false, false, 0, 1}});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d_.g.ones[i], 0);
    for (int32_t& level : WaterLevel) level = kNoWaterLevel;
    Run({{false, false, 0, 1}});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d_.g.ones[i], 1) << "a quadrant without water holds no corner under";
}

TEST_F(ChainDriveTest, CreepingOntoBlockedTerrainIsHeldBack) {
    Tank();
    // A band of terrain that LAND0 may not enter, 20000 ahead.
    const int32_t band = (con_->pos[2] + 20000) / 4096;
    for (int32_t x = 0; x < drivetest::kSubPoints; ++x)
        for (int32_t z = band; z < band + 4; ++z) terrain_.At(x, z).access = 2;
    // A slow creep: throttle held briefly, then released into a steady 60 per tick.
    Run({{true, false, 0, 2}, {false, false, 0, 0}});
    d_.throttleInc[1] = 0.0f;
    d_.throttle = 0.02f;
    for (int n = 0; n < 2000; ++n) {
        ControlInput in{};
        d_.throttle = 0.02f;
        ChainDrive_update(&d_, 0, &steer_, &rec_, 0, &in);
    }
    EXPECT_LT(con_->pos[2] + drivetest::kHalfLength * 4, (band + 1) * 4096) << "the front stays out of the band";
}

TEST_F(ChainDriveTest, ReachingTheDestinationIsHeardOnceByTheClan) {
    Tank();
    DrainQueues();
    rec_.aimPointSet = 1;
    std::memcpy(rec_.aimPoint, con_->pos, sizeof rec_.aimPoint);
    rec_.aimPoint[0] += 1000;  // inside the bounding radius
    ControlInput in{};
    ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
    ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
    EXPECT_EQ(rec_.aimPointSet, 0);
    EXPECT_EQ(Queued(0), std::vector<int>{10});
}

// The AI steers: keys and axis each tick from steerAI, then the update, until the clan hears of arrival.
TEST_F(ChainDriveTest, AIDrivesToADestinationForwardOrInReverse) {
    struct Case {
        const char* name;
        bool slope;
        int32_t dx, dz;
        uint8_t reverse;
    } cases[] = {
        {"ahead and to the right", false, 60000, 150000, 0},
        {"to the left up the slope", true, -80000, 120000, 0},
        {"behind, backing up", false, 20000, -90000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.slope) Slope();
        else Flat();
        Tank(4 * 65536, 3 * 65536);
        DrainQueues();
        std::memset(&rec_, 0, sizeof rec_);
        rec_.aimPointSet = 1;
        rec_.aimPointFlag = c.reverse;
        rec_.aimPoint[0] = con_->pos[0] + c.dx;
        rec_.aimPoint[2] = con_->pos[2] + c.dz;
        ControlInput in{};
        int ticks = 0;
        for (; ticks < 1500 && rec_.aimPointSet; ++ticks) {
            std::memset(in.keys, 0, sizeof in.keys);
            ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
            ChainDrive_update(&d_, in.axes[kAxisChassis], &steer_, &rec_, 0, &in);
        }
        EXPECT_EQ(rec_.aimPointSet, 0) << "not there after " << ticks << " ticks";
        EXPECT_EQ(Queued(0), std::vector<int>{10});
        if (c.reverse) {
            EXPECT_LT(d_.throttle, 0.0f) << "it backed up to the point";
        }
    }
}

TEST_F(ChainDriveTest, AIOfAFacingTypeTurnsTheHullToItsTargetAndRaisesAligned) {
    Tank();
    d_.g.classWord = 1;
    construct* other = Hull("tank", con_->pos[0] + 100000, con_->pos[2]);  // due +x: 90 degrees right
    rec_.target = other;
    rec_.detect.flags = 0;
    std::memcpy(rec_.detect.pos, other->pos, sizeof rec_.detect.pos);
    ControlInput in{};
    int ticks = 0;
    for (; ticks < 1500 && !d_.aligned; ++ticks) {
        std::memset(in.keys, 0, sizeof in.keys);
        ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
        ChainDrive_update(&d_, in.axes[kAxisChassis], &steer_, &rec_, 0, &in);
    }
    EXPECT_EQ(d_.aligned, 1);
    const double bearing =
        std::atan2(double(other->pos[0] - con_->pos[0]), double(other->pos[2] - con_->pos[2])) * 180.0 / M_PI;
    EXPECT_GT(bearing, 45.0) << "the target lies well to the right";
    EXPECT_NEAR(Heading(con_), bearing, 6.0) << "the hull faces it";

    // Flag 0x20 on the aim record: the target is not faced, nothing is wanted.
    rec_.detect.flags = 0x20;
    ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
    EXPECT_EQ(d_.wantedThrottle, 0.0f);
    EXPECT_EQ(d_.wantedDifferential, 0.0f);
    EXPECT_EQ(d_.aligned, 0);
}

TEST_F(ChainDriveTest, GivingWayHoldsTheThrottle) {
    Tank();
    rec_.aimPointSet = 1;
    rec_.aimPoint[2] = con_->pos[2] + 200000;
    rec_.aimPoint[0] = con_->pos[0];
    rec_.giveWayCountdown = 20;
    rec_.waiting = 1;
    ControlInput in{};
    ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
    EXPECT_EQ(d_.wantedThrottle, 0.0f);
    rec_.waiting = 0;
    ChainDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect, nullptr);
    EXPECT_EQ(d_.wantedThrottle, 1.0f);
}

TEST_F(ChainDriveTest, CopyTakesTheStateAndSilencesWhenTheSourceIsSilent) {
    Tank();
    Run({{true, false, 0, 70}});
    ChainDrive other{};
    construct* second = Hull("tank", con_->pos[0] + 50000, con_->pos[2]);
    ChainDrive_init(&other, second, 1, nullptr, "tank");
    ChainDrive_copy(&other, &d_);
    EXPECT_EQ(other.g.con, second) << "the own construct stays";
    EXPECT_EQ(other.speed, d_.speed);
    EXPECT_EQ(other.throttle, d_.throttle);
    EXPECT_EQ(other.g.classWord, 0);
    EXPECT_EQ(other.g.engine.soundOn, 1);
    WheelDrive_stopSound(&d_.g);
    ChainDrive_copy(&other, &d_);
    EXPECT_EQ(other.g.engine.soundOn, 0);
    ChainDrive_release(&other);
    ChainDrive_release(&other);  // a second release does nothing
    EXPECT_EQ(other.g.ready, 0);
}

TEST_F(ChainDriveTest, StatusReportsTheForwardLimitAndTheClassWord) {
    Tank();
    d_.g.classWord = 1;
    AIUnitRecord ai{};
    ai.driveWord = 7;
    ChainDrive_status(&d_.g, &ai);
    EXPECT_EQ(ai.driveValue, 3000);
    EXPECT_EQ(ai.driveWord, 0);
    EXPECT_EQ(ai.driveByte, 1);
}

TEST_F(ChainDriveTest, MissingRulesAndUnknownAccessTypesAreFatal) {
    construct* bare = Hull("bare", 65536, 65536);
    ChainDrive d{};
    EXPECT_EQ(FatalText([&] { ChainDrive_init(&d, bare, 0, nullptr, "bare"); }),
              "Error(NamedUnitRule): Rule 'bare_SpeedConstraint' not found");
    Rules("odd_TurnRate 1; odd_LockRecenterRate 1; odd_ThrottleInc 1 1; odd_SpeedConstraint 1 1;"
          "odd_AccessType WATER; odd_ChainAnimScale 1;");
    construct* odd = Hull("odd", 65536, 65536);
    EXPECT_EQ(FatalText([&] { ChainDrive_init(&d, odd, 0, nullptr, "odd"); }),
              "Error(NamedAccessType): unknown access type 'WATER'");
}

}  // namespace

#include "core/Config.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/SharedPools.h"
#include "world/ConstructPool.h"
#include "game/Level_local.h"
#include "world/QZEvent.h"

namespace {

// Dust rises from every dust emitter of the hull (its spots of kinds 8, 9 and 10, growing by the level's
// dust scale, one and a half times it and twice it) every sixth update with the throttle well open, and
// only while the level's "DustEmission" and the configuration's shadows_and_marks are on.
TEST_F(ChainDriveTest, DustRisesFromTheEmittersOnlyWithDustEmissionAndMarks) {
    VisiblePool = CreateConstructPool(64, "visible");
    ConstructPool* dust = CreateConstructPool(24, "Dust");
    SharedPools[static_cast<int>(SharedPoolId::Dust)] = dust;
    for (int i = 0; i < 24; ++i) {
        construct* puff = CreateConstruct(0, 0);
        puff->itfc = Dust_itfc;
        AllocItfcData(puff, sizeof(DustBlock));
        AppendToConstructPool(dust, puff);
    }
    const int marks = shadows_and_marks;
    const LevelSettings level = CurrentLevel;
    struct Case {
        const char* what;
        float emission;
        int marks;
        bool thrust;
        int puffs;  // after 60 updates: the throttle passes 0.6 after 30, then every sixth update
    };
    const Case cases[] = {
        {"emission and marks on, throttle open", 1, 1, true, 15},
        {"no DustEmission", 0, 1, true, 0},
        {"no marks and dust", 1, 0, true, 0},
        {"throttle closed", 1, 1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tank();
        con_->spotCount = 3;
        con_->spots = static_cast<SpotRecord*>(qzAlloc(3 * sizeof(SpotRecord), "spt"));
        std::memset(con_->spots, 0, 3 * sizeof(SpotRecord));
        for (int k = 0; k < 3; ++k) {
            con_->spots[k].kind = 8 + k;
            con_->spots[k].offset[0] = 1000 * k;
            con_->spots[k].offset[2] = -3000;
        }
        CurrentLevel.dustEmission = c.emission;
        CurrentLevel.dustScale = 100;
        shadows_and_marks = c.marks;
        Run({{c.thrust, false, 0, 60}});
        int active = 0;
        for (int i = 0; i < dust->count; ++i) {
            construct* puff = dust->constructs[i];
            if (!(puff->flags & kConActive)) continue;
            const auto* b = static_cast<const DustBlock*>(puff->itfcData);
            const int kind = b->growth == 100 ? 8 : b->growth == 150 ? 9 : 10;
            EXPECT_EQ(b->growth, kind == 8 ? 100 : kind == 9 ? 150 : 200);
            EXPECT_EQ(b->life, 50);
            EXPECT_EQ(b->velocity[1], 10000);
            ++active;
            DeactivateConstruct(puff);
        }
        EXPECT_EQ(active, c.puffs);
        ClearQZEvents();
        for (int i = 0; i < dust->count; ++i) dust->constructs[i]->flags &= ~kConEventPending;
    }
    shadows_and_marks = marks;
    CurrentLevel = level;
    SharedPools[static_cast<int>(SharedPoolId::Dust)] = nullptr;
    while (dust->count > 0) {
        construct* puff = dust->constructs[0];
        RemoveFromConstructPool(dust, puff);
        FreeConstruct(puff);
    }
    DeleteConstructPool(dust);
    DeleteConstructPool(VisiblePool);
    VisiblePool = nullptr;
}

// Track marks: a hull with two track points (anchors of kind 7) gets a pool of 72 marks made from its
// object folder's "trail"; each track lays a mark every 17000 of travel, flat on the ground along the way
// it came, linked to the track's chain; none without shadows and marks, none for a hull with fewer than
// two track points; a copy takes the marks out of the world and the release frees them with the pool.
TEST_F(ChainDriveTest, TrackMarksAreLaidEvery17000OfTravelPerTrack) {
    kvtest::TempDir dir;
    datakit::WriteFile(dir / "tank/trail", datakit::BoxObject(2, 0, 6, {40, 35, 30}).Bytes());
    const std::string previous = std::filesystem::current_path().string();
    host::SetWorkingDirectory(dir.path().c_str());
    host::FlushDirectoryCache();
    VisiblePool = CreateConstructPool(256, "visible");
    const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
    for (int i = 0; i < 4; ++i) BuzyPools[i] = CreateConstructPool(256, names[i]);
    const int marksConfig = shadows_and_marks;

    struct Case {
        const char* what;
        int anchors;  // track points on the hull
        int marks;    // shadows_and_marks
    };
    const Case cases[] = {{"two track points", 2, 1}, {"marks switched off", 2, 0}, {"one track point", 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        con_ = Hull("tank", 4 * 65536, 65536);
        con_->spotCount = c.anchors;
        con_->spots = static_cast<SpotRecord*>(qzAlloc(int(sizeof(SpotRecord)) * c.anchors, "spt"));
        std::memset(con_->spots, 0, sizeof(SpotRecord) * size_t(c.anchors));
        for (int k = 0; k < c.anchors; ++k) {
            con_->spots[k].kind = 7;
            con_->spots[k].offset[0] = k == 0 ? -1500 : 1500;
            con_->spots[k].offset[1] = -drivetest::kBelow;
            con_->spots[k].offset[2] = -3000;
        }
        std::memset(&d_, 0, sizeof d_);
        ChainDrive_init(&d_, con_, 0, &power_, "tank");
        if (c.anchors < 2) {
            EXPECT_EQ(d_.markPool, nullptr);
            ChainDrive_release(&d_);
            continue;
        }
        ASSERT_NE(d_.markPool, nullptr);
        EXPECT_EQ(d_.markPool->count, kTrackMarks);
        EXPECT_EQ(d_.markPool->constructs[0]->itfc, Trail_itfc);
        shadows_and_marks = c.marks;
        const int32_t z0 = con_->pos[2];
        for (int t = 0; t < 150; ++t) {
            Run({{true, false, 0, 1}});
            FlushQZEvents();
        }
        const int32_t travelled = con_->pos[2] - z0;
        int laid = 0;
        for (int i = 0; i < d_.markPool->count; ++i) laid += (d_.markPool->constructs[i]->flags & kConActive) ? 1 : 0;
        if (!c.marks) {
            EXPECT_EQ(laid, 0);
        } else {
            // A mark once a track is more than 17000 from its last one, at most one speed step (3000) beyond.
            const int perTrack = laid / 2;
            EXPECT_EQ(laid % 2, 0);
            EXPECT_LE(perTrack, travelled / kTrackMarkSpacing) << "travelled " << travelled;
            EXPECT_GE(perTrack, travelled / (kTrackMarkSpacing + 3000)) << "travelled " << travelled;
            // The newest mark of each track heads a chain of the marks before it, flat along the track.
            for (construct* head : d_.lastMark) {
                ASSERT_NE(head, nullptr);
                int chain = 0;
                for (construct* m = head; m; m = static_cast<const TrailBlock*>(m->itfcData)->next) ++chain;
                EXPECT_EQ(chain, std::min(perTrack, kTrailChainLength));
                EXPECT_LT(head->orient[8], -32000) << "forward points back along the way it came";
                EXPECT_NEAR(head->orient[4], 32768, 10) << "flat";
                EXPECT_EQ(static_cast<const TrailBlock*>(head->itfcData)->targetOpacity, kTrackMarkOpacity);
            }
            EXPECT_EQ(d_.lastMark[0]->pos[0] - d_.lastMark[1]->pos[0], -3000) << "one mark per track";
            // A copy takes them out of the world; each track starts a new chain.
            ChainDrive copy = d_;
            ChainDrive_copy(&d_, &copy);
            FlushQZEvents();
            EXPECT_EQ(d_.lastMark[0], nullptr);
            for (int i = 0; i < d_.markPool->count; ++i) EXPECT_FALSE(d_.markPool->constructs[i]->flags & kConActive);
        }
        ChainDrive_release(&d_);
        FlushQZEvents();
        EXPECT_EQ(d_.markPool, nullptr);
    }
    shadows_and_marks = marksConfig;
    for (ConstructPool*& p : BuzyPools) {
        DeleteConstructPool(p);
        p = nullptr;
    }
    DeleteConstructPool(VisiblePool);
    VisiblePool = nullptr;
    host::SetWorkingDirectory(previous.c_str());
    host::FlushDirectoryCache();
}

}  // namespace
