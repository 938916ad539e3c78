// The jeep on the demo island under scripted control records: it drives, turns, fires, is shot to death
// and leaves a wreck that settles; an AI jeep drives to its aim point by itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/Fix3D.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "ai/AIRecords.h"
#include "vehicles/DemoLevel.h"
#include "vehicles/types/DeadBody.h"
#include "vehicles/types/EMAJeep.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace {

using kvtest::DemoLevel;

EMAJeepBlock* JB(construct* c) { return static_cast<EMAJeepBlock*>(c->itfcData); }

double Horizontal(const int32_t a[3], const int32_t b[3]) {
    return std::hypot(double(a[0]) - b[0], double(a[2]) - b[2]);
}

// Heading of the forward row (third row) in degrees.
double Heading(const construct* c) { return std::atan2(double(c->orient[6]), double(c->orient[8])) * 180.0 / M_PI; }

class JeepRoad : public DemoLevel {
public:
    void SetUp() override {
        DemoLevel::SetUp();
        jeep_ = UnitsOf("EMA_TaskForce")[0];
        Drive(jeep_);
        FrameCounter = 1;
        Run(40, ControlInput{});  // it settles on its wheels
    }
    construct* jeep_ = nullptr;
};

// Full throttle for 100 ticks: 60 ticks of acceleration (15 per tick up to the limit of 900) and 40 at
// top speed make 27500 + 36000 world units straight ahead. Braking (30 per tick) stops it within about 31
// ticks and 14000 units more (the last brake step may roll it back a little); then it stands.
TEST_F(JeepRoad, DrivesAKnownDistanceStraightAheadAndBrakesToAStop) {
    const int32_t start[3] = {jeep_->pos[0], jeep_->pos[1], jeep_->pos[2]};
    const double heading = Heading(jeep_);
    Run(100, Keys({kKeyThrust1}));
    int32_t topSpeed = 0;
    auto speed = [&] {
        return static_cast<int32_t>(CallItfc(jeep_, ItfcMethod::GETGAUGES, reinterpret_cast<uintptr_t>(&topSpeed)));
    };
    EXPECT_GE(speed(), 900);
    EXPECT_LT(speed(), 900 + 30);
    EXPECT_EQ(topSpeed, 900);
    EXPECT_NEAR(Horizontal(start, jeep_->pos), 63500.0, 63500.0 * 0.08);
    EXPECT_NEAR(Heading(jeep_), heading, 1.0);
    int braking = 0;
    while (speed() > 0 && braking < 200) {
        Step(Keys({kKeyThrust2}));
        ++braking;
    }
    EXPECT_NEAR(braking, 31, 2);
    const double stopped = Horizontal(start, jeep_->pos);
    EXPECT_NEAR(stopped, 77500.0, 77500.0 * 0.08);
    Run(50, ControlInput{});
    EXPECT_EQ(speed(), 0);
    EXPECT_NEAR(Horizontal(start, jeep_->pos), stopped, 3000.0);
    EXPECT_NEAR(Heading(jeep_), heading, 1.0);
}

TEST_F(JeepRoad, SteeringWhileDrivingTurnsTheJeepAndItsFrontWheels) {
    const double heading = Heading(jeep_);
    Run(40, Keys({kKeyThrust1}));
    Run(60, Keys({kKeyThrust1}, 20000));
    EXPECT_NE(JB(jeep_)->drive.wheelLock, 0);
    EXPECT_NE(std::memcmp(jeep_->subs[1]->orient, jeep_->orient, sizeof jeep_->orient), 0);
    double turned = std::fabs(Heading(jeep_) - heading);
    if (turned > 180) turned = 360 - turned;
    EXPECT_GT(turned, 20.0);
}

TEST_F(JeepRoad, HoldingFireShootsAtTheGunsPace) {
    const int32_t ammo = JB(jeep_)->weapon0.ammo;
    Run(120, Keys({kKeyFire1}));
    const int32_t shots = ammo - JB(jeep_)->weapon0.ammo;
    // One shot every 12 ticks.
    EXPECT_GE(shots, 9);
    EXPECT_LE(shots, 11);
}

// Shot by G.A. until its structure is gone: the jeep dies once, leaves a wreck from the "deadbody" pool at
// its place, and the wreck comes to rest on the ground.
TEST_F(JeepRoad, ShotToDeathItLeavesAWreckThatSettles) {
    construct* enemy = UnitsOf("GA_Outpost")[0];
    EMAJeepBlock* b = JB(jeep_);
    const int before = DeadBodyPool->count;
    for (int i = 0; i < 400 && !b->head.dead; ++i) {
        jeep_->hits[0] = enemy;
        std::memcpy(jeep_->hitPoints[0], jeep_->pos, sizeof jeep_->hitPoints[0]);
        jeep_->hitPoints[0][0] -= 1000;
        Step(ControlInput{});
    }
    ASSERT_EQ(b->head.dead, 1u);
    EXPECT_LE(b->head.state.structure, 0);
    EXPECT_FALSE(jeep_->flags & kConBusy);
    ASSERT_EQ(DeadBodyPool->count, before + 1);
    construct* wreck = DeadBodyPool->constructs[DeadBodyPool->count - 1];
    EXPECT_EQ(wreck->itfc, DeadBody_itfc);
    EXPECT_LT(Horizontal(wreck->pos, jeep_->pos), 1.0);
    Run(600, ControlInput{});
    const int32_t settled[3] = {wreck->pos[0], wreck->pos[1], wreck->pos[2]};
    Run(100, ControlInput{});
    EXPECT_EQ(std::memcmp(settled, wreck->pos, sizeof settled), 0);
    EXPECT_NEAR(wreck->pos[1], GroundHeight(CurrentMatrix, wreck->pos, 0, 0, nullptr), 4000);
}

// The task force's second jeep, once the script's standing orders of the start (hold, follow) are ended.
TEST_F(DemoLevel, AnAIJeepDrivesToItsAimPoint) {
    WorldTick(1, 1);
    EndStandingOrders("EMA");
    construct* ai = UnitsOf("EMA_TaskForce")[1];
    int32_t goal[3] = {ai->pos[0] + 160000, ai->pos[1], ai->pos[2]};
    SetUnitAimPoint(ai, goal, 0);
    const double before = Horizontal(ai->pos, goal);
    FrameCounter = 1;
    Run(600, ControlInput{});
    EXPECT_LT(Horizontal(ai->pos, goal), before * 0.5);
}

}  // namespace

namespace {

// The methods that answer from the jeep's modules.
TEST_F(JeepRoad, MethodsAnswerFromTheModules) {
    EMAJeepBlock* b = JB(jeep_);
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::SETTURRETYAW, 12345), 0u);
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::SETTURRETPITCH, 100000), 0u);
    EXPECT_EQ(static_cast<int32_t>(CallItfc(jeep_, ItfcMethod::GETTURRETYAW)), 12345);
    EXPECT_EQ(static_cast<int32_t>(CallItfc(jeep_, ItfcMethod::GETTURRETPITCH)), 100000);
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::GETACCESSTYPE), 0u);  // LAND0
    b->drive.aiSpeed = 777;
    int32_t throttle = 0;
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::GETTHROTTLE, reinterpret_cast<uintptr_t>(&throttle)), 0u);
    EXPECT_EQ(throttle, 777);
    b->drive.g.rest = 1;
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::GETDRIVEFLAG), 1u);
    b->turret.recenterYaw = b->turret.recenterPitch = 0;
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::MANUALCONTROL), 0u);
    EXPECT_EQ(b->turret.recenterYaw, 1);
    EXPECT_EQ(b->turret.recenterPitch, 1);
    b->drive.g.wake = 0;
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::GROUNDCHANGED), 0u);
    EXPECT_EQ(b->drive.g.wake, 1);
    AIUnitRecord ai{};
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(&ai)), 1u);
    EXPECT_EQ(ai.weaponPresent[0], 1);
    EXPECT_EQ(static_cast<int32_t>(ai.weapon[0][kAIWeaponAmmoWord]), b->weapon0.ammo);
    // The AI reads the gun's kind and range band in words 0 and 4 to 6, the turret's part from word 13 on
    // (its has-turret flag in word 17, its pitch flags in words 20 and 21).
    EXPECT_EQ(ai.weapon[0][0], 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(static_cast<int32_t>(ai.weapon[0][4 + i]), b->weapon0.range[i]) << i;
    EXPECT_EQ(ai.weapon[0][17], 1u);
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::PLAYERENTER), 0u);
    EXPECT_EQ(b->sensor.active, 1);
    EXPECT_EQ(CallItfc(jeep_, ItfcMethod::PLAYERLEAVE), 0u);
    EXPECT_EQ(b->sensor.active, 0);
}

// The stealth key toggles once per press; the drive runs the engine down and then the unit counts as in
// stealth: it does not fire. Accelerating ends the stealth mode.
TEST_F(JeepRoad, StealthStopsTheEngineAndTheGunAndThrottleEndsIt) {
    EMAJeepBlock* b = JB(jeep_);
    Run(30, Keys({kKeyStealth}));
    EXPECT_EQ(b->head.stealthMode, 1u);
    EXPECT_EQ(b->head.unit.driveMode, 1);
    Run(300, ControlInput{});
    EXPECT_EQ(b->head.unit.stateFlag, 1);
    const int32_t ammo = b->weapon0.ammo;
    Run(60, Keys({kKeyFire1}));
    EXPECT_EQ(b->weapon0.ammo, ammo);
    Run(4, Keys({kKeyThrust1}));
    EXPECT_EQ(b->head.stealthMode, 0u);
    Run(300, ControlInput{});
    EXPECT_EQ(b->head.unit.stateFlag, 0);
}

}  // namespace
