// The weapon turret: the yaw and pitch limits around straight ahead (yaw 308830) and level (pitch 102943),
// limits switched while outside them, recentring, tracking a moving point, the constraint report, the turn
// sound's timer and fade, copy and status, the search light's aim point, and a missing turn sound.
#include <cmath>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "hud/TFView.h"
#include "core/FixMath.h"
#include "objects/UnitShare.h"
#include "support/Fatal.h"
#include "vehicles/modules/ModuleScene.h"
#include "vehicles/modules/WeaponTurret.h"
#include "world/TickCounter.h"

namespace {

// 16.16 radians of a whole number of degrees, as the rules read "<n>°".
int32_t Deg(double d) {
    return TruncateToInt32(static_cast<float>(d * kDegreesTo16_16Radians));
}

class WeaponTurretTest : public modtest::ModuleScene {
protected:
    void SetUp() override {
        ModuleScene::SetUp();
        Rules("Tank_TopTurnRate 100 100; Tank_TopRecenterRate 3000 3000;"
              "Tank_YawConstraint -45° 45°; Tank_PitchConstraint -10° 30°;"
              "Tank_YawConstraint_cockpit -20° 20°; Tank_PitchConstraint_cockpit -5° 5°;"
              "Tank_FX_TopTurn 1000 22050 22050 \"turn.wav\";");
    }
    void TearDown() override {
        Turret_release(&t_);
        ModuleScene::TearDown();
    }
    void Init() { WeaponTurret_init(&t_, 0, con_, con_, gun_ ? gun_ : con_); }
    // One update of the turret toward the wanted axes.
    void Aim(int32_t yawAxis, int32_t pitchAxis, int shift = 0) {
        Turret_aim(&t_, yawAxis, pitchAxis, &yawAxis_, &pitchAxis_, &rec_, shift);
    }
    // The gun's orientation as a type derives it from the turret's angles (hull straight ahead).
    void PoseGun(construct* gun) {
        FixMatrix m;
        MatrixFromYawPitch(&m, t_.yaw, t_.pitch);
        std::memcpy(gun->orient, m.m, sizeof m.m);
    }

    WeaponTurret t_{};
    UnitShare rec_{};
    construct* gun_ = nullptr;
    int32_t yawAxis_ = 0, pitchAxis_ = 0;
};

TEST_F(WeaponTurretTest, InitStartsStraightAheadAndLevel) {
    Init();
    EXPECT_EQ(t_.yaw, -102944);
    EXPECT_EQ(t_.pitch, kTurretPitchLevel);
    EXPECT_EQ(t_.yawLimits[0], Deg(-45));
    EXPECT_EQ(t_.pitchLimits[1], Deg(30));
    EXPECT_TRUE(t_.ready);
    EXPECT_TRUE(t_.soundWanted);
    Aim(0, 0);
    EXPECT_EQ(t_.yaw, kTurretYawAhead);  // brought into 0..514717
}

TEST_F(WeaponTurretTest, TheTurretStopsAtItsLimits) {
    struct Case {
        const char* name;
        int32_t yawAxis, pitchAxis;  // held for 200 updates
        int cockpit;
        int32_t yaw, pitch;
    } cases[] = {
        {"right to the yaw limit", 30000, 0, 0, kTurretYawAhead + Deg(-45), kTurretPitchLevel},
        {"left to the yaw limit", -30000, 0, 0, kTurretYawAhead + Deg(45), kTurretPitchLevel},
        {"up to the elevation limit", 0, 30000, 0, kTurretYawAhead, kTurretPitchLevel - Deg(30)},
        {"down to the depression limit", 0, -30000, 0, kTurretYawAhead, kTurretPitchLevel + Deg(10)},
        {"cockpit yaw", 30000, 0, 1, kTurretYawAhead + Deg(-20), kTurretPitchLevel},
        {"cockpit pitch", 0, 30000, 1, kTurretYawAhead, kTurretPitchLevel - Deg(5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Turret_release(&t_);
        Init();
        yawAxis_ = pitchAxis_ = 0;
        Aim(0, 0);
        Turret_setAltLimits(&t_, c.cockpit);
        for (int i = 0; i < 200; ++i) Aim(c.yawAxis, c.pitchAxis);
        EXPECT_EQ(t_.yaw, c.yaw);
        EXPECT_EQ(t_.pitch, c.pitch);
    }
}

TEST_F(WeaponTurretTest, ALowLimitOfZeroLeavesTheAngleFree) {
    Rules("Tank_YawConstraint 0 45°;");
    Init();
    Aim(0, 0);
    for (int i = 0; i < 10; ++i) Aim(30000, 0);
    EXPECT_LT(t_.yaw, kTurretYawAhead + Deg(-45));
    EXPECT_GE(t_.yaw, 0);
    EXPECT_LE(t_.yaw, kTurretYawTop);
}

TEST_F(WeaponTurretTest, AnAngleOutsideNewLimitsIsClampedOnlyOnceBackInside) {
    Init();
    Aim(0, 0);
    for (int i = 0; i < 200; ++i) Aim(10000, 0);
    ASSERT_EQ(t_.yaw, kTurretYawAhead + Deg(-45));
    Turret_setAltLimits(&t_, 1);  // the cockpit allows only 20 degrees
    Aim(10100, 0);
    EXPECT_LT(t_.yaw, kTurretYawAhead + Deg(-45));  // outside the range: turning further out is not stopped
    for (int i = 0; i < 400; ++i) Aim(-10000, 0);
    EXPECT_EQ(t_.yaw, kTurretYawAhead + Deg(20));
}

TEST_F(WeaponTurretTest, ARecentringTurretStopsWithinOneStepOfStraightAhead) {
    Init();
    Aim(0, 0);
    t_.yaw = kTurretYawAhead + 10000;
    t_.pitch = kTurretPitchLevel - 7000;
    t_.recenterYaw = t_.recenterPitch = 1;
    for (int i = 0; i < 10; ++i) Aim(0, 0);
    EXPECT_EQ(t_.yaw, kTurretYawAhead + 1000);
    EXPECT_EQ(t_.pitch, kTurretPitchLevel - 1000);
    EXPECT_FALSE(t_.recenterYaw);
    EXPECT_FALSE(t_.recenterPitch);
    // At busy level 1 each step is twice as long.
    t_.yaw = kTurretYawAhead - 20000;
    t_.recenterYaw = 1;
    Aim(0, 0, 1);
    EXPECT_EQ(t_.yaw, kTurretYawAhead - 14000);
}

TEST_F(WeaponTurretTest, TheTurretFollowsAMovingPoint) {
    gun_ = CreateConstruct(0, 0);
    std::memcpy(gun_->pos, con_->pos, sizeof gun_->pos);
    Init();
    Aim(0, 0);
    ControlInput ctl{};
    int onTarget = 0;
    for (int tick = 0; tick < 400; ++tick) {
        PoseGun(gun_);
        // A point crossing from left to right and rising, 150000 ahead.
        const int32_t point[3] = {gun_->pos[0] - 60000 + 300 * tick, gun_->pos[1] + 20 * tick,
                                  gun_->pos[2] + 150000};
        int32_t ya = ctl.axes[1] = static_cast<int16_t>(yawAxis_);
        int32_t pa = ctl.axes[2] = static_cast<int16_t>(pitchAxis_);
        Turret_trackPoint(&t_, &ya, &pa, 0, nullptr, point, 2000, 150000, 0.0f);
        Aim(ya, pa);
        if (tick < 150) continue;
        // Once caught up the gun stays on the point: the angle between them stays small.
        FixVec to{point[0] - gun_->pos[0], point[1] - gun_->pos[1], point[2] - gun_->pos[2]};
        FixVec dir;
        NormaliseF(&dir, &to);
        const double cosine = (double(dir.x) * gun_->orient[6] + double(dir.y) * gun_->orient[7] +
                               double(dir.z) * gun_->orient[8]) / (32768.0 * 32768.0);
        EXPECT_GT(cosine, std::cos(2.0 * M_PI / 180.0)) << "tick " << tick;
        onTarget += t_.onTarget;
    }
    EXPECT_GT(onTarget, 200);
    FreeConstruct(gun_);
}

// Aiming at the unit's target judges "on target" by the target's size over the distance the threat
// detection recorded for it: a target recorded far away needs a finer aim.
TEST_F(WeaponTurretTest, AimingAtTheTargetUsesTheRecordedTargetDistance) {
    gun_ = CreateConstruct(0, 0);
    std::memcpy(gun_->pos, con_->pos, sizeof gun_->pos);
    Init();
    Aim(0, 0);
    PoseGun(gun_);
    construct* target = CreateConstruct(0, 0);
    // Slightly off the gun's line, 150000 ahead.
    target->pos[0] = gun_->pos[0] + 200;
    target->pos[1] = gun_->pos[1];
    target->pos[2] = gun_->pos[2] + 150000;
    target->sphere.radius = 2000;
    rec_.target = target;
    rec_.aimDivergence = 0.0f;
    for (const auto& c : {std::pair<int32_t, int>{150000, 1}, {15000000, 0}}) {
        rec_.detect.distance = c.first;
        ControlInput ctl{};
        Turret_aimAtUnit(&t_, &ctl, &rec_, 0);
        EXPECT_EQ(t_.onTarget, c.second) << c.first;
    }
    rec_.target = nullptr;
    FreeConstruct(target);
    FreeConstruct(gun_);
}

TEST_F(WeaponTurretTest, TheReportSaysHowFarTheWantedAimLiesBeyondTheLimits) {
    gun_ = CreateConstruct(0, 0);
    SetIdentity(gun_);
    Init();
    Aim(0, 0);
    t_.yaw = kTurretYawAhead;
    struct Case {
        const char* name;
        int32_t point[3];
        bool pitchLow, pitchHigh, yawLow, yawHigh;
    } cases[] = {
        {"ahead", {0, 0, 100000}, false, false, false, false},
        {"steeply above", {0, 100000, 50000}, true, false, false, false},
        {"below", {0, -100000, 100000}, false, true, false, false},
        {"far right", {100000, 0, 10000}, false, false, true, false},
        {"far left", {-100000, 0, 10000}, false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t ya = 0, pa = 0;
        Turret_trackPoint(&t_, &ya, &pa, 0, nullptr, c.point, 1000, 100000, 0.0f);
        EXPECT_EQ(t_.report[0].flag, c.pitchLow);
        EXPECT_EQ(t_.report[1].flag, c.pitchHigh);
        EXPECT_EQ(t_.report[2].flag, c.yawLow);
        EXPECT_EQ(t_.report[3].flag, c.yawHigh);
        for (const TurretReport& r : t_.report) EXPECT_EQ(r.flag, r.amount > 0);
    }
    // A point behind the gun moves the yaw axis a fixed step toward its side.
    int32_t ya = 0, pa = 0;
    const int32_t behindRight[3] = {1000, 0, -100000};
    Turret_trackPoint(&t_, &ya, &pa, 0, nullptr, behindRight, 1000, 100000, 0.0f);
    EXPECT_EQ(std::abs(ya), 512);
    EXPECT_EQ(pa, 0);
    EXPECT_FALSE(t_.onTarget);
    FreeConstruct(gun_);
}

TEST_F(WeaponTurretTest, TheTurnSoundRunsThirtyTicksThenFadesOut) {
    Init();
    Aim(0, 0);
    Aim(1, 0);  // a turn of 64: too small to be heard
    EXPECT_EQ(t_.soundTimer, 0);
    Aim(100, 0);
    EXPECT_EQ(t_.soundTimer, kTurretSoundTicks);
    EXPECT_FLOAT_EQ(t_.soundGain, 1.0f);
    int updates = 0;
    while (t_.soundTimer > 0) {
        Aim(100, 0, 1);
        ++updates;
    }
    EXPECT_EQ(updates, 15);  // 2 ticks each at busy level 1
    int fading = 0;
    while (t_.soundGain > 0.0f) {
        Aim(100, 0);
        ++fading;
    }
    // 0.86 per update until below 0.02: 26 updates, the first of them the one that ran the timer out.
    EXPECT_EQ(fading, 25);
}

TEST_F(WeaponTurretTest, CopyAndStatus) {
    Init();
    WeaponTurret src{};
    WeaponTurret_init(&src, 0, con_, con_, con_);
    src.yaw = 300000;
    src.pitch = 90000;
    src.recenterYaw = 1;
    src.report[0].flag = 1;
    src.soundTimer = 12;
    Turret_stopSound(&src);
    Turret_copy(&t_, &src);
    EXPECT_EQ(t_.yaw, 300000);
    EXPECT_EQ(t_.pitch, 90000);
    EXPECT_EQ(t_.recenterYaw, 1);
    EXPECT_EQ(t_.report[0].flag, 1);
    EXPECT_EQ(t_.soundTimer, 12);
    EXPECT_FALSE(t_.soundWanted);  // the source is silent: so is the copy
    Turret_wantSound(&src);
    Turret_copy(&t_, &src);
    EXPECT_TRUE(t_.soundWanted);

    uint32_t words[9];
    Turret_status(&t_, words);
    const uint32_t expected[9] = {uint32_t(Deg(-45)), uint32_t(Deg(45)), uint32_t(Deg(-10)), uint32_t(Deg(30)),
                                  1, 0, 0, 1, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(words[i], expected[i]) << i;
    Turret_release(&src);
    Turret_release(&src);  // a second release does nothing
}

TEST_F(WeaponTurretTest, TheSearchLightDropsAnAimPointItStandsOn) {
    Init();
    ControlInput ctl{};
    rec_.aimPointSet = 1;
    rec_.aimPoint[0] = con_->pos[0] + 3000;
    rec_.aimPoint[2] = con_->pos[2];
    Turret_aimAtPoint(&t_, &ctl, &rec_, 0);
    EXPECT_EQ(rec_.aimPointSet, 0);
    // Without a point nothing moves.
    Turret_aimAtPoint(&t_, &ctl, &rec_, 0);
    EXPECT_EQ(ctl.axes[1], 0);
}

TEST_F(WeaponTurretTest, ThePlayersTurretFollowsTheLookAndPushesItBackInsideTheLimits) {
    FlatTerrain(800);
    gun_ = CreateConstruct(0, 0);
    std::memcpy(gun_->pos, con_->pos, sizeof gun_->pos);
    const int savedFree = free_torso_look;
    free_torso_look = 0;
    Init();
    TFView view{};
    ControlInput before{}, now{};
    SetInputKey(&now, 21, true);  // centre the look first
    Turret_playerAim(&t_, &view, nullptr, before, now, &yawAxis_, &pitchAxis_, &rec_, 0);
    EXPECT_EQ(view.lookYaw, 0);
    EXPECT_NEAR(view.lookMatrix[8], 32768, 2);  // looking straight ahead of the unit
    EXPECT_EQ(view.aimPoint[2], gun_->pos[2] + 74 * 4096);  // nothing met: steps until 300000 is covered
    EXPECT_EQ(view.aimTick, FrameCounter);

    // The mouse turns the look by 50 per axis unit; the turret follows it.
    before = ControlInput{};
    now = ControlInput{};
    now.axes[1] = -100;
    Turret_playerAim(&t_, &view, nullptr, before, now, &yawAxis_, &pitchAxis_, &rec_, 0);
    EXPECT_EQ(view.lookYaw, 5000);
    for (int i = 0; i < 100; ++i) {
        PoseGun(gun_);
        Turret_playerAim(&t_, &view, nullptr, now, now, &yawAxis_, &pitchAxis_, &rec_, 0);
    }
    EXPECT_NEAR(t_.yaw, kTurretYawAhead + 5000, 400);

    // Looking 60 degrees aside, past the 45-degree limit: the look is pushed back toward the limit.
    before = now;
    now.axes[1] = static_cast<int16_t>(-100 - (Deg(55) / 50));
    Turret_playerAim(&t_, &view, nullptr, before, now, &yawAxis_, &pitchAxis_, &rec_, 0);
    EXPECT_LT(view.lookYaw, Deg(60));
    free_torso_look = savedFree;
    FreeConstruct(gun_);
}

TEST_F(WeaponTurretTest, AMissingTurnSoundIsFatal) {
    FreeRules();
    Rules("Tank_TopTurnRate 2000 2000; Tank_TopRecenterRate 300 300; Tank_YawConstraint 0 0;"
          "Tank_PitchConstraint 0 0; Tank_YawConstraint_cockpit 0 0; Tank_PitchConstraint_cockpit 0 0;");
    kvtest::FatalCatcher fatal;
    try {
        Init();
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(WeaponTurret_init): rule Tank_FX_TopTurn not found");
    }
}

}  // namespace
