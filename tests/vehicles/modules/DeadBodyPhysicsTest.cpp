// The wreck's physics on hand-made ground: a dropped, tilted wreck settles level on flat ground and along
// a slope, floats on deep water, is woken by an impact and spun by an off-centre one; copying keeps the
// target's spin decay.
#include <gtest/gtest.h>

#include "core/Fix3D.h"
#include "vehicles/modules/DeadBodyPhysics.h"
#include "vehicles/modules/GroundDriveFixtures.h"
#include "world/Terrain.h"

namespace {

using drivetest::DriveScene;

class DeadBodyPhysicsTest : public DriveScene {
protected:
    // A wreck dropped from `above` over its resting height, rolled and pitched.
    construct* Wreck(int32_t above, int32_t roll, int32_t pitch) {
        con_ = Hull("wreck", 4 * 65536, 4 * 65536);
        con_->pos[1] += above;
        int32_t* o = con_->orient;
        if (roll) TurnRow(o, 2, roll);
        if (pitch) TurnRow(o, 0, pitch);
        DeadBody_physInit(&d_, con_);
        return con_;
    }
    // Turns the orientation about one of its rows (a small exact rotation for the set-up).
    static void TurnRow(int32_t o[9], int row, int32_t angle) {
        FixMatrix r;
        FixVec axis{o[3 * row], o[3 * row + 1], o[3 * row + 2]};
        MatrixFromDirection2(&r, &axis, angle);
        FixMatrix m, out;
        std::memcpy(m.m, o, sizeof m.m);
        MulMatrix(&out, &r, &m);
        std::memcpy(o, out.m, sizeof out.m);
    }
    void Run(int updates, int k = 0) {
        for (int i = 0; i < updates; ++i) DeadBody_physUpdate(&d_, k);
    }
    // True when another update leaves position and orientation as they are.
    bool Still() {
        int32_t pos[3], orient[9];
        std::memcpy(pos, con_->pos, sizeof pos);
        std::memcpy(orient, con_->orient, sizeof orient);
        Run(1);
        return std::memcmp(pos, con_->pos, sizeof pos) == 0 && std::memcmp(orient, con_->orient, sizeof orient) == 0;
    }
    DeadBodyPhys d_{};
    construct* con_ = nullptr;
};

TEST_F(DeadBodyPhysicsTest, ADroppedWreckSettlesOnFlatAndSlopedGround) {
    struct Case {
        const char* name;
        bool slope;
        int k;
    } cases[] = {{"flat ground", false, 0}, {"the slope", true, 0}, {"flat ground at busy level 2", false, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.slope) Slope();
        else Flat();
        Wreck(30000, 9000, -6000);
        Run(600 >> c.k, c.k);
        EXPECT_EQ(d_.contacts, 4);
        EXPECT_TRUE(Still()) << "at rest";
        // Corners count as touching up to 500 above the ground: at rest the wreck may lean by that much
        // over its length (6400) and width (4000).
        EXPECT_LT(std::abs(WorstCornerGap(con_)), 600) << "on its corners";
        EXPECT_NEAR(Pitch(con_), c.slope ? drivetest::kSlope : 0.0, 0.09) << "lying along the ground";
        EXPECT_NEAR(con_->orient[1] / 32768.0, 0.0, 0.13) << "not rolled over";
    }
}

TEST_F(DeadBodyPhysicsTest, AWreckOverDeepWaterRestsOnTheSurface) {
    const int32_t surface = drivetest::kGround + 40000;
    for (int32_t& level : WaterLevel) level = surface / 8;
    Wreck(60000, 0, 4000);
    Run(600);
    EXPECT_EQ(d_.contacts, 4);
    EXPECT_TRUE(Still());
    EXPECT_NEAR(con_->pos[1] - drivetest::kBelow, surface, 600) << "its corners on the water";
}

TEST_F(DeadBodyPhysicsTest, AnImpactWakesARestingWreckAndAnOffCentreOneSpinsIt) {
    Wreck(0, 0, 0);
    Run(300);
    ASSERT_TRUE(Still());
    const int32_t x = con_->pos[0];
    const int32_t push[3] = {400000, 0, 0};
    const int32_t centre[3] = {con_->pos[0], con_->pos[1], con_->pos[2]};
    DeadBody_impact(&d_, push, centre, centre, 256);
    EXPECT_EQ(d_.spin[1], 0) << "a push through the centre does not spin";
    Run(1);
    EXPECT_EQ(d_.impactPending, 0);
    EXPECT_GT(con_->pos[0], x) << "the impact woke it for that update";
    Run(400);
    EXPECT_TRUE(Still()) << "and it settles again";

    // Struck at its front from the side: (0 - 0)(0) - (8000)(-8000 ... ) gives a turn about the up axis.
    const double heading = Heading(con_);
    const int32_t contact[3] = {con_->pos[0], con_->pos[1], con_->pos[2] + 8000};
    const int32_t from[3] = {con_->pos[0] - 8000, con_->pos[1], con_->pos[2] + 8000};
    DeadBody_impact(&d_, push, contact, from, 256);
    EXPECT_EQ(d_.spin[1], ((int64_t(8000) * 0 - int64_t(8000) * -8000) >> 15) * 256 >> 8);
    Run(200);
    EXPECT_GT(std::abs(Heading(con_) - heading), 10.0) << "the wreck turned";
    Run(400);
    EXPECT_TRUE(Still());
}

TEST_F(DeadBodyPhysicsTest, CopyKeepsTheTargetsSpinDecayAndConstruct) {
    Wreck(20000, 3000, 0);
    Run(10);
    d_.words[1] = 77;
    DeadBodyPhys other{};
    construct* second = Hull("wreck", 65536, 65536);
    DeadBody_physInit(&other, second);
    other.spinDecay = 500;
    DeadBody_physCopy(&other, &d_);
    EXPECT_EQ(other.con, second);
    EXPECT_EQ(other.spinDecay, 500);
    EXPECT_EQ(0, std::memcmp(other.velocity, d_.velocity, sizeof d_.velocity));
    EXPECT_EQ(other.words[1], 77);
    EXPECT_EQ(other.verticalVelocity, d_.verticalVelocity);
    EXPECT_EQ(other.contacts, d_.contacts);
    EXPECT_EQ(other.damping, d_.damping);
}

}  // namespace
