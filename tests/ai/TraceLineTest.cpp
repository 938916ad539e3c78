// Line tracing: the march stops at the ground, covers its length in the open, and ignores the terrain
// when asked to.
#include <gtest/gtest.h>

#include "ai/AI_local.h"
#include "ai/TraceLine.h"
#include "world/Construct.h"
#include "world/Statics.h"
#include "world/TerrainFixtures.h"

namespace {

class TraceLineTest : public ::testing::Test {
protected:
    TraceLineTest() : terrain_(16, 16) {
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).height = 100;  // 800 world units
        for (int32_t& w : WaterLevel) w = kNoWaterLevel;
        CurrentMatrix = terrain_.m;
    }
    ~TraceLineTest() override { CurrentMatrix = nullptr; }
    kvtest::HandMatrix terrain_;
};

TEST_F(TraceLineTest, StopsBeforeTheGroundOrWhereItsLengthIsCovered) {
    const int32_t start[3] = {500000, 20800, 500000};
    const int32_t down[3] = {0, -23170, 23170};
    const int32_t level[3] = {0, 0, 32768};
    struct Case {
        const char* name;
        const int32_t* dir;
        int stopTerrain;
        int32_t endY, endZ;
    } cases[] = {
        // Steps of (0, -2897, 2896) (shifts round down): the 7th would reach 521, below the ground at 800.
        {"down into the ground", down, 1, 20800 - 6 * 2897, 500000 + 6 * 2896},
        {"level: the whole length", level, 1, 20800, 500000 + 10 * 4096},
        {"through the ground when told", down, 0, 20800 - 10 * 2897, 500000 + 10 * 2896},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t end[3];
        EXPECT_EQ(TraceLine(nullptr, start, c.dir, end, 10 * 4096, c.stopTerrain, 0), nullptr);
        EXPECT_EQ(end[0], 500000);
        EXPECT_EQ(end[1], c.endY);
        EXPECT_EQ(end[2], c.endZ);
    }
}

// Inside a construct stacked under a second surface, the line is blocked unless the place's ground flags
// carry 0x800: one test for the lines of sight and the traced lines alike.
TEST_F(TraceLineTest, AStackedConstructBlocksUnlessItsGroundFlagsCarry0x800) {
    construct* s = CreateConstruct(0, 0);
    for (auto& corner : s->box.world) corner[1] = 1024;
    s->box.world[0][1] = -1000;
    StatLink** head = MatrixQuarterListAddr(terrain_.m, 0, 0);
    ASSERT_NE(head, nullptr);
    ASSERT_EQ(LinkStatFromSfc(head, s), 1);
    const struct {
        const char* name;
        uint16_t flags;  // of the sub-point, with a 12-bit second surface
        int32_t y;
        int obstructed;
    } cases[] = {
        {"second surface at 5120, no 0x800", kSubSolid | kSubSecond | 40, 500, 1},
        {"second surface at -256 with 0x800", kSubSolid | kSubSecond | 0xFFE, -500, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        terrain_.At(4, 4).flags = c.flags;
        const int32_t p[3] = {4 * 4096 - 2048 + 100, c.y, 4 * 4096 - 2048 + 100};
        construct* stacked = nullptr;
        ASSERT_EQ(CheckMatrixPosition(CurrentMatrix, p, &stacked, kNoWaterLevel), 3);
        EXPECT_EQ(ai::PointObstructed(p), c.obstructed);
        // One step of 1 unit along x: stopped at once, or taken.
        const int32_t dir[3] = {8, 0, 0};
        int32_t end[3];
        TraceLine(nullptr, p, dir, end, 4096, 1, 0);
        EXPECT_EQ(end[0], p[0] + (c.obstructed ? 0 : 1));
    }
    UnlinkStatFromSfc(head, s);
    FreeConstruct(s);
}

}  // namespace
