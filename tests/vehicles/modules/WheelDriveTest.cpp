// The wheeled drive on hand-made flat and sloped terrain: scripted control records checked on the
// position, heading and pitch after a number of ticks; brake lights; rest; the stealth engine run-down;
// the AI's steering (arrival, reversing spells, facing a target, giving way); copying.
#include <gtest/gtest.h>

#include "ai/AIRecords.h"
#include "vehicles/modules/GroundDriveFixtures.h"
#include "vehicles/modules/WheelDrive.h"
#include "world/Terrain.h"

namespace {

using drivetest::DriveScene;
using drivetest::Phase;

class WheelDriveTest : public DriveScene {
protected:
    construct* Jeep(int32_t x = 4 * 65536, int32_t z = 65536) {
        con_ = Hull("jeep", x, z);
        std::memset(&d_, 0, sizeof d_);
        WheelDrive_init(&d_, con_, 0, &brake_, &halo_, nullptr, nullptr, nullptr, nullptr, &power_);
        return con_;
    }
    void Run(const std::vector<Phase>& phases, int k = 0) {
        for (const Phase& p : phases)
            for (int n = 0; n < p.ticks >> k; ++n) {
                ControlInput in{};
                SetInputKey(&in, kInputThrust1, p.thrust1);
                SetInputKey(&in, kInputThrust2, p.thrust2);
                axis_ = int16_t(axis_ + (p.axisRate << k));
                in.axes[kAxisChassis] = axis_;
                WheelDrive_update(&d_, axis_, &steer_, &rec_, k, &in);
                lastInput_ = in;
            }
    }
    WheelDrive d_{};
    construct* con_ = nullptr;
    int32_t power_ = -1, brake_ = -1, halo_ = -1;
    int16_t axis_ = 0;
    ControlInput lastInput_{};
};

struct WheelCase {
    const char* name;
    bool slope;
    std::vector<Phase> script;
    int32_t minDz, maxDz;     // travel along z
    double minTurn, maxTurn;  // heading change, degrees
    int32_t minSpeed, maxSpeed;  // at the end
    int32_t brakeLight;          // at the end
};

TEST_F(WheelDriveTest, ScriptedControlsOnFlatAndSlopedGround) {
    const WheelCase cases[] = {
        // 60 per tick up to 3600 in 60 ticks (60 x 1830), then about 3600 per tick: held at the limit the
        // throttle adds no more and the speed rolls out by 4 until it is below the limit again.
        {"full throttle on flat ground", false, {{true, false, 0, 100}}, 253000, 256000, -0.5, 0.5, 3596, 3656, 0},
        {"full throttle up the slope", true, {{true, false, 0, 100}}, 249000, 256000, -0.5, 0.5, 3596, 3656, 0},
        // The axis sweeping up turns the wheels by -64 x 10 per tick: the jeep turns right.
        {"steering right", false, {{true, false, 10, 40}}, 40000, 50000, 18.0, 25.0, 2400, 2400, 0},
        {"steering left up the slope", true, {{true, false, -10, 40}}, 40000, 50000, -25.0, -18.0, 2400, 2400, 0},
        // Braking at 120 per tick: 60 x 1830 + 20 x 3600 - 120 x 210, the brake lights on while moving on.
        {"braking", false, {{true, false, 0, 60}, {false, true, 0, 20}}, 156500, 156700, -0.5, 0.5, 1200, 1200, 200},
        {"braking into reverse", false, {{true, false, 0, 60}, {false, true, 0, 40}}, 150000, 170000, -0.5, 0.5,
         -1200, -1200, 0},
        // Rolling out loses 4 per tick: 600 stops after 150 ticks.
        {"rolling out", true, {{true, false, 0, 10}, {false, false, 0, 200}}, 45000, 50000, -0.5, 0.5, 0, 0, 0},
    };
    for (const WheelCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.slope) Slope();
        else Flat();
        Jeep();
        axis_ = steer_ = 0;
        const int32_t z0 = con_->pos[2];
        Run(c.script);
        const int32_t dz = con_->pos[2] - z0;
        EXPECT_GE(dz, c.minDz);
        EXPECT_LE(dz, c.maxDz);
        EXPECT_GE(Heading(con_), c.minTurn);
        EXPECT_LE(Heading(con_), c.maxTurn);
        EXPECT_GE(d_.speed, c.minSpeed);
        EXPECT_LE(d_.speed, c.maxSpeed);
        EXPECT_EQ(brake_, c.brakeLight);
        EXPECT_EQ(halo_, c.brakeLight);
        EXPECT_LT(std::abs(WorstCornerGap(con_)), 1200) << "the unit follows the ground";
        const double pitch = c.slope ? drivetest::kSlope : 0.0;
        EXPECT_NEAR(Pitch(con_), pitch, 0.02) << "the unit lies along the ground";
    }
}

TEST_F(WheelDriveTest, OneUpdateAtBusyLevelThreeCoversEightTicks) {
    // Rolling out from 3000: 4 per tick over 80 ticks, or 32 per update over 10 updates.
    Jeep();
    Run({{false, false, 0, 60}});
    const int32_t start[3] = {con_->pos[0], con_->pos[1], con_->pos[2]};
    WheelDrive saved = d_;
    saved.speed = 3000;
    d_ = saved;
    Run({{false, false, 0, 80}}, 0);
    const int32_t dz0 = con_->pos[2] - start[2];
    std::memcpy(con_->pos, start, sizeof start);
    d_ = saved;
    Run({{false, false, 0, 80}}, 3);
    const int32_t dz3 = con_->pos[2] - start[2];
    EXPECT_NEAR(dz0, 80 * 3000 - 4 * 3240, 100);
    EXPECT_NEAR(dz3, dz0, dz0 / 100);
    EXPECT_EQ(d_.speed, 3000 - 80 * 4);
}

TEST_F(WheelDriveTest, TheLockFollowsTheSteeringChangeAndRecentres) {
    Jeep();
    Run({{false, false, 20, 1}});
    EXPECT_EQ(d_.wheelLock, -64 * 20);
    Run({{false, false, 1000, 1}});  // the steering position moves at most TurnRate (300) per tick
    EXPECT_EQ(steer_, 20 + 300);
    EXPECT_EQ(d_.wheelLock, -64 * 320);
    Run({{false, false, 1000, 1}});
    EXPECT_EQ(d_.wheelLock, -30000) << "held to MaxWheelLock";
    Run({{false, false, 0, 80}});  // the position catches up with the axis, then the lock returns by 500
    EXPECT_EQ(steer_, axis_);
    EXPECT_EQ(d_.wheelLock, 0);
}

TEST_F(WheelDriveTest, AUnitInTheAirNeitherAcceleratesNorBrakes) {
    Jeep();
    con_->pos[1] += 200000;
    d_.contacts = 0;
    Run({{true, false, 0, 10}});
    EXPECT_EQ(d_.speed, 0);
    EXPECT_LT(d_.verticalVelocity, 0);
    EXPECT_EQ(d_.contacts, 0);
}

// Nose up at 45 degrees, far above the ground, at the speed a jeep leaves a step with: the level part of the
// push carries it on, gravity alone decides its height (it used to climb along its nose for ever).
TEST_F(WheelDriveTest, AJeepInTheAirPitchedUpFallsInsteadOfClimbingAlongItsNose) {
    Jeep();
    con_->pos[1] += 2000000;
    const int32_t pitched[9] = {32768, 0, 0, 0, 23170, -23170, 0, 23170, 23170};
    std::memcpy(con_->orient, pitched, sizeof pitched);
    d_.contacts = 0;
    d_.speed = 3584;
    const int32_t y0 = con_->pos[1], z0 = con_->pos[2];
    Run({{false, false, 0, 20}});
    EXPECT_EQ(d_.contacts, 0);
    EXPECT_LT(con_->pos[1], y0);
    EXPECT_GT(con_->pos[2] - z0, 20 * 2400);
}

TEST_F(WheelDriveTest, StealthBrakesWithTheBrakeLightsAndStopsTheEngine) {
    Jeep();
    Run({{true, false, 0, 60}});
    ASSERT_EQ(d_.speed, 3600);
    WheelDrive_setMode(&d_.g, 1);
    Run({{true, false, 0, 5}});  // 100 - 5 x 0.9, braking 120 per tick
    EXPECT_EQ(power_, 95);
    EXPECT_EQ(d_.speed, 3600 - 5 * 120);
    EXPECT_EQ(brake_, 200);
    EXPECT_TRUE(InputKeyDown(lastInput_, kInputThrust2));
    EXPECT_FALSE(InputKeyDown(lastInput_, kInputThrust1));
    Run({{true, false, 0, 40}});
    EXPECT_EQ(d_.speed, 0);
    EXPECT_EQ(brake_, 0);
    EXPECT_FALSE(InputKeyDown(lastInput_, kInputThrust2)) << "no braking once stopped";
    Run({{true, false, 0, 70}});
    EXPECT_EQ(power_, 0);
    EXPECT_EQ(d_.g.engineOff, 1);
    EXPECT_EQ(d_.speed, 0);
    WheelDrive_setMode(&d_.g, 0);
    Run({{true, false, 0, 112}});
    EXPECT_EQ(power_, 100);
    EXPECT_EQ(d_.speed, 0) << "the throttle waits for the engine";
    Run({{true, false, 0, 2}});
    EXPECT_EQ(d_.g.engineOff, 0);
    EXPECT_GT(d_.speed, 0);
}

TEST_F(WheelDriveTest, StandingJeepRestsAndTheWheelAngleWraps) {
    Jeep();
    Run({{false, false, 0, 60}});
    EXPECT_EQ(d_.g.rest, 1);
    Run({{true, false, 0, 300}});
    EXPECT_EQ(d_.g.rest, 0);
    EXPECT_GE(d_.wheelAngle, 0);
    EXPECT_LT(d_.wheelAngle, 411774);
}

TEST_F(WheelDriveTest, ReachingTheAimPointIsHeardOnceByTheClan) {
    Jeep();
    DrainQueues();
    rec_.aimPointSet = 1;
    std::memcpy(rec_.aimPoint, con_->pos, sizeof rec_.aimPoint);
    ControlInput in{};
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(rec_.aimPointSet, 0);
    EXPECT_EQ(Queued(0), std::vector<int>{10});
    EXPECT_FALSE(InputKeyDown(in, kInputThrust1)) << "an arrived unit does not accelerate";
}

TEST_F(WheelDriveTest, AIDrivesToItsAimPoint) {
    struct Case {
        const char* name;
        bool slope;
        int32_t dx, dz;
        uint8_t reverse;
    } cases[] = {
        {"ahead and to the right", false, 70000, 160000, 0},
        {"ahead and to the left up the slope", true, -60000, 140000, 0},
        {"behind: reversing spells, then forward", false, 30000, -120000, 0},
        {"behind, driving in reverse", false, 10000, -120000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.slope) Slope();
        else Flat();
        Jeep(4 * 65536, 3 * 65536);
        DrainQueues();
        std::memset(&rec_, 0, sizeof rec_);
        rec_.aimPointSet = 1;
        rec_.aimPointFlag = c.reverse;
        rec_.aimPoint[0] = con_->pos[0] + c.dx;
        rec_.aimPoint[2] = con_->pos[2] + c.dz;
        ControlInput in{};
        int ticks = 0;
        for (; ticks < 2000 && rec_.aimPointSet; ++ticks) {
            std::memset(in.keys, 0, sizeof in.keys);
            WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
            WheelDrive_update(&d_, in.axes[kAxisChassis], &steer_, &rec_, 0, &in);
        }
        EXPECT_EQ(rec_.aimPointSet, 0) << "not there after " << ticks << " ticks";
        EXPECT_EQ(Queued(0), std::vector<int>{10});
    }
}

TEST_F(WheelDriveTest, AnAimPointBehindStartsAReversingSpellOfSeventyTicks) {
    Jeep();
    rec_.aimPointSet = 1;
    rec_.aimPoint[0] = con_->pos[0] + 5000;
    rec_.aimPoint[2] = con_->pos[2] - 100000;
    ControlInput in{};
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiReverseTimer, 69);
    EXPECT_EQ(d_.aiSpeed, -1500);
    EXPECT_TRUE(InputKeyDown(in, kInputThrust2));
    // The point comes ahead: the running spell still ends first.
    rec_.aimPoint[2] = con_->pos[2] + 100000;
    for (int i = 0; i < 68; ++i) WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiReverseTimer, 1);
    EXPECT_EQ(d_.aiSpeed, -1500);
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiReverseTimer, 0);
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiSpeed, 3600);
    // At busy level 2 a spell counts 4 ticks per update.
    rec_.aimPoint[2] = con_->pos[2] - 100000;
    WheelDrive_steerAI(&d_, &in, &rec_, 2, &rec_.detect);
    EXPECT_EQ(d_.aiReverseTimer, 66);
}

TEST_F(WheelDriveTest, WithoutAnAimPointAFacingTypeTurnsToItsTargetOrAlertPoint) {
    Jeep();
    ControlInput in{};
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiSpeed, 0);
    EXPECT_EQ(d_.aiLock, 0);
    d_.g.classWord = 1;
    rec_.alertCountdown = 100;
    rec_.alertPoint[0] = con_->pos[0] + 100000;  // due right
    rec_.alertPoint[2] = con_->pos[2];
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiLock, 30000);
    EXPECT_EQ(d_.aiSpeed, -3000) << "it backs while it turns";
    // A target known to the detection record takes precedence (flag 0x20 clear); due left.
    construct* other = Hull("jeep", con_->pos[0] - 100000, con_->pos[2]);
    rec_.target = other;
    std::memcpy(rec_.detect.pos, other->pos, sizeof rec_.detect.pos);
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiLock, -30000);
    // Standing on the point gives no direction: nothing is wanted.
    std::memcpy(rec_.detect.pos, con_->pos, sizeof rec_.detect.pos);
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiLock, 0);
    EXPECT_EQ(d_.aiSpeed, 0);
}

TEST_F(WheelDriveTest, GivingWayStopsTheUnit) {
    Jeep();
    rec_.aimPointSet = 1;
    rec_.aimPoint[0] = con_->pos[0];
    rec_.aimPoint[2] = con_->pos[2] + 200000;
    rec_.giveWayCountdown = 30;
    rec_.waiting = 1;
    ControlInput in{};
    WheelDrive_steerAI(&d_, &in, &rec_, 0, &rec_.detect);
    EXPECT_EQ(d_.aiSpeed, 0);
    EXPECT_FALSE(InputKeyDown(in, kInputThrust1));
}

TEST_F(WheelDriveTest, CopyTakesTheStateAndReconcilesTheSound) {
    Jeep();
    Run({{true, false, 20, 40}});
    WheelDrive other{};
    construct* second = Hull("jeep", con_->pos[0] + 60000, con_->pos[2]);
    WheelDrive_init(&other, second, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    WheelDrive_stopSound(&other.g);
    ChainDrive_status(&other.g, nullptr);  // a null record is ignored
    WheelDrive_copy(&other, &d_);
    EXPECT_EQ(other.g.con, second);
    EXPECT_EQ(other.speed, d_.speed);
    EXPECT_EQ(other.wheelLock, d_.wheelLock);
    EXPECT_EQ(other.wheelAngle, d_.wheelAngle);
    EXPECT_EQ(other.g.classWord, 0);
    EXPECT_EQ(other.g.engine.soundOn, 1) << "the source's running engine starts the copy's";
    EXPECT_EQ(other.lights[0], nullptr) << "the own light words stay";
    WheelDrive_release(&other);
    EXPECT_EQ(other.g.ready, 0);
}

TEST_F(WheelDriveTest, MissingRulesAreFatalNamingTheRule) {
    Rules("half_SpeedConstraint -100 100; half_TurnRate 10; half_acceleration 1 1; half_MaxWheelLock 5;"
          "half_WheelRecenterRate 1; half_AccessType LAND1;");
    construct* half = Hull("half", 65536, 65536);
    WheelDrive d{};
    EXPECT_EQ(FatalText([&] { WheelDrive_init(&d, half, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr); }),
              "Error(NamedUnitRule): Rule 'half_TorqueFactor' not found");
}

TEST_F(WheelDriveTest, AZeroForwardLimitGivesASilentBlendInsteadOfADivision) {
    Rules("still_SpeedConstraint 0 0; still_TurnRate 10; still_acceleration 1 1; still_MaxWheelLock 5;"
          "still_WheelRecenterRate 1; still_TorqueFactor 1; still_AccessType LAND1;");
    con_ = Hull("still", 4 * 65536, 65536);
    WheelDrive d{};
    WheelDrive_init(&d, con_, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ControlInput in{};
    SetInputKey(&in, kInputThrust2, true);
    for (int i = 0; i < 5; ++i) WheelDrive_update(&d, 0, &steer_, &rec_, 0, &in);
    EXPECT_EQ(d.speed, 0);
}

}  // namespace
