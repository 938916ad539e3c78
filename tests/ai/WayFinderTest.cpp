// The straight-way test over a hand-made terrain: a flat plain 800 units high with a wall of sub-points
// across it (columns X 60 to 62) that carries access bits, or lacks solid ground, as each case needs.
#include <gtest/gtest.h>

#include <array>

#include "ai/AIStubs.h"
#include "ai/WayFinder.h"
#include "support/Fatal.h"
#include "world/TerrainFixtures.h"

namespace {

class WayFinder : public ::testing::Test {
protected:
    WayFinder() : terrain_(16, 16) {
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).height = 100;
        CurrentMatrix = terrain_.m;
    }
    ~WayFinder() override {
        CurrentMatrix = nullptr;
        SetWaySearchMode(0);
    }
    void Wall(uint8_t access, bool solid = true) {
        for (int32_t X = 60; X <= 62; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) {
                SubPoint& sp = terrain_.At(X, Z);
                sp.access = access;
                sp.flags = solid ? kSubSolid : 0;
            }
    }
    kvtest::HandMatrix terrain_;
    kvtest::FatalCatcher fatal_;
};

using P = std::array<int32_t, 3>;

// Along x from 100000 to 500000 at z 100000; the wall starts at x 245760. The walk's first probe in the
// wall is x 247456: it stops one step before, at 245408, from where the correction moves the point nine
// steps back along its (1, 1) diagonal, whose probes keep meeting the wall.
TEST_F(WayFinder, EachAccessTypeIsStoppedByItsOwnFlags) {
    const P start{100000, 0, 100000}, end{500000, 0, 100000};
    // The point reached has the height the test gave the probe that met the wall: none without ground.
    const P stopped{245408 - 9 * 2048, 800, 100000 - 9 * 2048}, stoppedNoGround{stopped[0], 0, stopped[2]};
    const struct Case {
        const char* name;
        int accessType;
        uint8_t access;
        bool solid;
        bool reached;
    } cases[] = {
        {"type 0, bit 0x2", 0, 0x2, true, false},   {"type 0, bit 0x1", 0, 0x1, true, true},
        {"type 1, bit 0x8", 1, 0x8, true, false},   {"type 1, bit 0x4", 1, 0x4, true, true},
        {"type 2, bit 0x1", 2, 0x1, true, false},   {"type 2, bit 0x2", 2, 0x2, true, true},
        {"type 3, every bit", 3, 0xF, false, true}, {"type 4, no solid ground", 4, 0, false, false},
        {"type 4, every bit", 4, 0xF, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Wall(c.access, c.solid);
        P out{};
        int blocked = -1;
        EXPECT_EQ(FindWayTree(start.data(), end.data(), out.data(), &blocked, c.accessType),
                  c.reached ? 1 : 0);
        EXPECT_EQ(blocked, c.reached ? 0 : 1);
        EXPECT_EQ(out, c.reached ? end : c.solid ? stopped : stoppedNoGround);
        Wall(0, true);
    }
}

TEST_F(WayFinder, ABlockedFirstStepAStartOnTheEndAndACorrectedEnd) {
    Wall(0x2);
    P out{};
    int blocked = 0;
    // The first step already lies in the wall: the point reached is the start, pushed back from the wall.
    const P nearWall{244000, 0, 100000};
    EXPECT_EQ(FindWayTree(nearWall.data(), P{400000, 0, 100000}.data(), out.data(), &blocked, 0), 0);
    EXPECT_EQ(blocked, 1);
    EXPECT_EQ(out, (P{244000 - 9 * 2048, 800, 100000 - 9 * 2048}));

    // Start and end on one spot (only the heights differ): reached at once, nothing to correct.
    const P spot{600000, 0, 600000}, spotHigh{600000, 5000, 600000};
    EXPECT_EQ(FindWayTree(spot.data(), spotHigh.data(), out.data(), &blocked, 0), 1);
    EXPECT_EQ(blocked, 0);
    EXPECT_EQ(out, spotHigh);

    // An end within nine steps of the wall on a diagonal is moved away from it: arrived, yet not there.
    const P before{100000, 0, 100000}, beside{240000, 0, 100000};
    EXPECT_EQ(FindWayTree(before.data(), beside.data(), out.data(), &blocked, 0), 0);
    EXPECT_EQ(blocked, 0);
    EXPECT_LT(out[0], beside[0]);
    // The correction uses the test the last call selected: type 3 moves nothing.
    P corrected = beside;
    FindWayTree(before.data(), before.data(), out.data(), &blocked, 3);
    CorrectEndPoint(corrected.data());
    EXPECT_EQ(corrected, beside);
}

TEST_F(WayFinder, AnUnknownAccessTypeStopsTheProgram) {
    P out{};
    int blocked = 0;
    const P a{0, 0, 0}, b{65536, 0, 0};
    try {
        FindWayTree(a.data(), b.data(), out.data(), &blocked, 5);
        FAIL() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(FindWayTree): unknown AccessType");
    }
}

TEST_F(WayFinder, WaysNearTheEndsOfTheCoordinateRangeEndWithoutWrappingAround) {
    CurrentMatrix = nullptr;  // nothing in the way
    P out{};
    int blocked = 0;
    const P a{INT32_MAX - 3000, 0, 0}, b{INT32_MAX - 100, 0, 0};
    EXPECT_EQ(FindWayTree(a.data(), b.data(), out.data(), &blocked, 0), 1);
    EXPECT_EQ(out, b);
    const P c{INT32_MIN + 3000, 0, INT32_MIN + 3000}, d{INT32_MIN, 0, INT32_MIN};
    EXPECT_EQ(FindWayTree(c.data(), d.data(), out.data(), &blocked, 2), 1);
    EXPECT_EQ(out, d);
}

// The terrain at a point for the AI: height by the second-surface rule (the sub-point at the point moved
// by half a sub-point), accessibility by the access type's bits, under water unless flag 0x1000 says not.
TEST_F(WayFinder, TheVertexAtAPointAnswersByAccessType) {
    // The sub-point (10, 20) carries the case's bits; (9, 19), where the point lies unmoved, none.
    const P point{10 * 4096 - 100, 0, 20 * 4096 - 100};
    const struct Case {
        const char* name;
        uint8_t access;
        uint16_t flags;
        std::array<int, 5> accessible;  // by access type 0 .. 4
    } cases[] = {
        {"no bits", 0, 0, {1, 1, 1, 1, 1}},
        {"bit 0x1", 0x1, 0, {1, 1, 0, 1, 1}},
        {"bit 0x2", 0x2, 0, {0, 0, 1, 1, 1}},
        {"bit 0x4", 0x4, 0, {0, 1, 0, 1, 1}},
        {"bit 0x8", 0x8, 0, {0, 0, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        terrain_.At(10, 20).access = c.access;
        for (int type = 0; type < 5; ++type) {
            const AIVertex* v = aistubs_vertex_at(point.data(), type);
            EXPECT_EQ(v->accessible, c.accessible[size_t(type)]) << type;
            EXPECT_EQ(v->height, 800);
        }
    }
    terrain_.At(10, 20).access = 0;
    // Water above the ground (4 x 8 = 32 is below 800; 101 x 8 is above), unless the sub-point says 0x1000.
    WaterLevel[0] = WaterLevel[1] = WaterLevel[2] = WaterLevel[3] = 4;
    EXPECT_EQ(aistubs_vertex_at(point.data(), 0)->underWater, 0);
    WaterLevel[0] = WaterLevel[1] = WaterLevel[2] = WaterLevel[3] = 101;
    EXPECT_EQ(aistubs_vertex_at(point.data(), 0)->underWater, 1);
    terrain_.At(10, 20).flags = kSubSolid | kSubBlocked;
    EXPECT_EQ(aistubs_vertex_at(point.data(), 0)->underWater, 0);
    try {
        aistubs_vertex_at(point.data(), 5);
        FAIL() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(aistubs_vertex_at): unknown AccessType 5");
    }
}

}  // namespace
