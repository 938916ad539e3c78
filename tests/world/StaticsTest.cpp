// Statics on tiles: the stat-link store, placing a static on a quarter or a whole tile and removing it,
// the quarter turns of the height field, the neighbour height and the corner heights.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "TerrainFixtures.h"
#include "objects/Units.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "world/Construct.h"
#include "world/Collide.h"
#include "world/Statics.h"
#include "world/TickCounter.h"

namespace {

using kvtest::HandMatrix;

std::string Fatal(const std::function<void()>& f) {
    try {
        f();
    } catch (const kvtest::FatalExit& e) {
        return e.what();
    }
    return "";
}

// A static with an n x n height field of zeros, except the listed samples (row, column, value).
construct* MakeStatic(int32_t n, std::vector<std::array<int, 3>> raised = {}) {
    construct* s = CreateConstruct(0, 0);
    s->hf = static_cast<hfield*>(qzAlloc(sizeof(hfield), "hfield"));
    s->hf->n = n;
    s->hf->heights = static_cast<uint16_t*>(qzAlloc(int(sizeof(uint16_t)) * n * n, "hfield heights"));
    std::memset(s->hf->heights, 0, sizeof(uint16_t) * size_t(n * n));
    for (const auto& r : raised) s->hf->heights[r[0] * n + r[1]] = uint16_t(r[2]);
    for (int k = 0; k < 8; ++k) {
        s->box.corners[k][0] = (k & 1) ? 1024 : -1024;
        s->box.corners[k][1] = (k & 2) ? 1024 : -1024;
        s->box.corners[k][2] = (k & 4) ? 1024 : -1024;
    }
    return s;
}

class Statics : public ::testing::Test {
protected:
    void SetUp() override {
        kvtest::EnsureFPTables();
        ResetStatLinks();
    }
    void TearDown() override { ResetStatLinks(); }
    kvtest::FatalCatcher fatal_;
};

TEST_F(Statics, StatLinkListsAndTheirStore) {
    construct* a = CreateConstruct(0, 0);
    construct* b = CreateConstruct(0, 0);
    StatLink* head = nullptr;
    EXPECT_EQ(LinkStatFromSfc(&head, a), 1);
    EXPECT_EQ(LinkStatFromSfc(&head, b), 1);
    EXPECT_EQ(LinkStatFromSfc(&head, a), 0);
    EXPECT_EQ(LinkStatFromSfc(nullptr, a), 0);
    int used = 0;
    for (const StatLink& n : StatLinks) used += n.stat != nullptr;
    EXPECT_EQ(used, 2);
    UnlinkStatFromSfc(&head, a);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->stat, b);
    EXPECT_EQ(head->next, nullptr);
    UnlinkStatFromSfc(&head, b);
    EXPECT_EQ(head, nullptr);
    // 5000 nodes, then the 5001st link is fatal.
    std::vector<StatLink*> heads(kMaxStatLinks, nullptr);
    for (int i = 0; i < kMaxStatLinks; ++i) ASSERT_EQ(LinkStatFromSfc(&heads[size_t(i)], a), 1);
    StatLink* more = nullptr;
    EXPECT_EQ(Fatal([&] { LinkStatFromSfc(&more, a); }), "Error(LinkStatFromSfc): too many stat links");
    FreeConstruct(a);
    FreeConstruct(b);
}

TEST_F(Statics, CornerHeights) {
    construct* s = CreateConstruct(0, 0);
    for (auto& c : s->box.world) c[1] = 1024;
    s->box.world[3][1] = -2048;
    EXPECT_EQ(MaxCornerHeight(s), 1020);
    EXPECT_EQ(MinCornerHeight(s), -2040);
    FreeConstruct(s);
}

TEST_F(Statics, PlacedAndRemovedLeavesTheTilesAsTheyWere) {
    for (const bool whole : {false, true}) {
        HandMatrix h(2, 2);
        const int32_t n = whole ? 17 : 9;
        const std::vector<SubPoint> before(h.m->tileDefPool, h.m->tileDefPool + TileDefPoolEntries(h.m));
        construct* s = MakeStatic(n, {{1, 1, 40}, {2, 2, 40}});
        Unit lowered{};
        lowered.klass = kKlassLowered;  // keeps the ground heights
        s->unit = &lowered;
        // Quarter (1, 1) of tile (0, 0): sub-points 8..16 on both axes; the whole tile 0..16.
        const StaticPlacement at{40000, 0, 40000, 0, 10};
        PutStaticOnTile(h.m, s, &at, whole ? uint32_t(kStatWholeTile) : 0u, 20, 1, 0x1000, 8);
        const int32_t first = whole ? 0 : 8;
        EXPECT_EQ(s->pos[0], whole ? 32768 : 49152);
        EXPECT_EQ(s->pos[1], HandMatrix::Height(first, first) * 8);  // the lowest of the footprint
        EXPECT_EQ(s->footprint, whole ? 4 : 1);
        int linked = 0;
        for (int32_t xq = 0; xq < 4; ++xq)
            for (int32_t zq = 0; zq < 4; ++zq) linked += MatrixQuarterList(h.m, xq, zq) != nullptr;
        EXPECT_EQ(linked, whole ? 4 : 1);
        // Sample (row 1, column 1) is sub-point i = n - 2, j = 1 without a turn.
        const SubPoint& hit = h.At(first + n - 2, first + 1);
        EXPECT_EQ(hit.flags & 0xF000, kSubSolid | kSubSecond | kSubBlocked);
        EXPECT_EQ(SecondSurfaceHeight(&hit), ((s->pos[1] >> 3) + 40) >> 4 << 7);
        EXPECT_EQ(hit.access & 8, 8);
        EXPECT_EQ(h.At(first + n - 1, first).flags, kSubSolid);  // sample (0, 0) is not raised
        // The world corners follow the position.
        EXPECT_EQ(MinCornerHeight(s), ((s->pos[1] - 4096) * 1020) >> 10);

        // The fix-up passes marked the neighbours with all three of their bits; marks outside the
        // footprint stay (they carry 0x80), everything else is as it was.
        RemoveStaticFromTiles(h.m, s, 1, 0x1000, 8 | 4 | 1 | 0x80);
        for (size_t i = 0; i < before.size(); ++i) {
            const SubPoint& now = h.m->tileDefPool[i];
            EXPECT_EQ(now.height, before[i].height) << i;
            EXPECT_EQ(now.flags & 0xF000, before[i].flags & 0xF000) << i;
            if (!(now.access & 0x80)) {
                EXPECT_EQ(now.access, before[i].access) << i;
            }
        }
        for (int32_t xq = 0; xq < 4; ++xq)
            for (int32_t zq = 0; zq < 4; ++zq) EXPECT_EQ(MatrixQuarterList(h.m, xq, zq), nullptr);
        s->unit = nullptr;
        FreeConstruct(s);
    }
}

TEST_F(Statics, HalfATurnReadsTheHeightFieldTurnedTwice) {
    const struct {
        int32_t yaw;
        int32_t i, j;  // the sub-point that sample (0, 0) lands on
    } cases[] = {{10, 8, 0}, {205886, 0, 8}, {102943, 8, 8}, {308829, 0, 0}};
    for (const auto& c : cases) {
        HandMatrix h(1, 1);
        construct* s = MakeStatic(9, {{0, 0, 100}});
        const StaticPlacement at{0, 0, 0, 0, c.yaw};
        PutStaticOnTile(h.m, s, &at, 0, 50, 0, 0, 4);
        int found = 0;
        for (int32_t i = 0; i < 9; ++i)
            for (int32_t j = 0; j < 9; ++j)
                if ((h.At(i, j).access & 0x84) == 4) {  // stamped, not a fix-up mark
                    ++found;
                    EXPECT_EQ(i, c.i) << c.yaw;
                    EXPECT_EQ(j, c.j) << c.yaw;
                }
        EXPECT_EQ(found, 1) << c.yaw;
        // Without a unit the ground under the footprint takes the static's height.
        EXPECT_EQ(h.At(4, 4).height, (s->pos[1] + 100) >> 3);
        RemoveStaticFromTiles(h.m, s, 1, 0, 4);
        FreeConstruct(s);
    }
}

TEST_F(Statics, RefusedPlacements) {
    HandMatrix h(1, 1);
    construct* s = MakeStatic(5);
    const StaticPlacement at{0, 0, 0, 0, 0};
    EXPECT_EQ(Fatal([&] { PutStaticOnTile(h.m, s, &at, 0, 0, 0, 0, 0); }),
              "Error(PutStaticOnTile): height field of 5 x 5 does not fit a footprint of 9 x 9");
    const StaticPlacement outside{-65536, 0, 0, 0, 0};
    EXPECT_EQ(Fatal([&] { PutStaticOnTile(h.m, s, &outside, 0, 0, 0, 0, 0); }),
              "Error(PutStaticOnTile): This static cannot be put onto a clone tile");
    const StaticPlacement backwards{0, 0, 0, 0, -5};
    EXPECT_EQ(Fatal([&] { AlignStaticToTerrain(h.m, s, &backwards, 0, 0, 1, 0, 0, 0); }), "wrong stat orientation");
    FreeConstruct(s);
}

TEST_F(Statics, NeighbourHeightDescendsInBoundedSteps) {
    HandMatrix h(1, 1);
    Unit building{};
    building.klass = kKlassQuadBuilding;
    construct* nb = CreateConstruct(0, 0);
    nb->unit = &building;
    nb->flags = kStatUpperLevel;
    nb->pos[1] = 100000;
    LinkStatFromSfc(MatrixQuarterListAddr(h.m, 0, 0), nb);
    construct* s = MakeStatic(9);
    s->pos[0] = 32768 + 16384;
    s->pos[2] = 16384;
    s->footprint = 1;
    ASSERT_EQ(TileNeighbourTest(h.m, s), 1);
    const int32_t pos[3] = {s->pos[0], 0, s->pos[2]};
    const int32_t ground = GroundHeight(h.m, pos, 0, 1, nullptr);
    const int32_t step = 4 * 1024 * 255 / 256;
    EXPECT_LE(s->pos[1] - ground, step / 2);
    EXPECT_EQ((100000 - s->pos[1]) % step, 0);
    // A neighbour below the ground: no step can come near it, and none is taken.
    nb->pos[1] = -900000;
    ASSERT_EQ(TileNeighbourTest(h.m, s), 1);
    EXPECT_EQ(s->pos[1], -900000);
    UnlinkStatFromSfc(MatrixQuarterListAddr(h.m, 0, 0), nb);
    nb->unit = nullptr;
    FreeConstruct(nb);
    FreeConstruct(s);
}

TEST_F(Statics, AlignedStaticStampsAroundItsPositionAndUnstamps) {
    HandMatrix h(1, 1);
    construct* s = MakeStatic(5, {{2, 2, 60}});
    const StaticPlacement at{8 * 4096 + 100, 0, 8 * 4096 + 100, 0, 0};
    AlignStaticToTerrain(h.m, s, &at, 0, 10, 1, 1, 0, 8);
    EXPECT_EQ(s->pos[0], 8 * 4096);
    // Sample (2, 2) is the centre: i = n - 1 - 2 = 2, j = 2 from the low corner 6.
    EXPECT_NE(h.At(8, 8).access & 8, 0);
    EXPECT_NE(h.At(8, 8).flags & kSubSecond, 0);
    EXPECT_NE(MatrixQuarterList(h.m, 0, 0), nullptr);
    UnstampStaticFootprint(h.m, s, 1, 0, 8 | 0x80);
    EXPECT_EQ(h.At(8, 8).access, 0);
    EXPECT_EQ(h.At(8, 8).flags & 0xF000, kSubSolid);
    EXPECT_EQ(MatrixQuarterList(h.m, 0, 0), nullptr);
    FreeConstruct(s);
}

}  // namespace

namespace {

int g_groundChanged = 0;
uintptr_t GroundListener_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GROUNDCHANGED) ++g_groundChanged;
    return 0;
}

TEST_F(Statics, GateStampLeavesHalfLowAndLiftLowersTheSurface) {
    HandMatrix h(1, 1);
    // Every sample raised: the first half (j below 4) stays low.
    std::vector<std::array<int, 3>> all;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) all.push_back({r, c, 50});
    construct* gate = MakeStatic(9, all);
    const StaticPlacement at{0, 0, 0, 0, 0};
    PutStaticOnTile(h.m, gate, &at, 0, 10, 0, 0, 0);
    StampStaticHField(h.m, gate, &at, 10, 0, 1, 0);
    const int32_t y = gate->pos[1];
    EXPECT_EQ(h.At(3, 3).flags, kSubSolid | 0xFFF);
    EXPECT_EQ(h.At(3, 5).flags & 0xF000, kSubSolid | kSubSecond | kSubBlocked);
    EXPECT_EQ(SecondSurfaceHeight(&h.At(3, 5)), (((y >> 3) + 50) >> 4) * 128);
    EXPECT_EQ(h.At(3, 3).height, (y + 100) >> 3);
    FreeConstruct(gate);

    // A lift: its surface comes down to the given height, and what stands on it is told.
    HandMatrix g(1, 1);
    construct* lift = MakeStatic(3, {{0, 0, 30}, {0, 1, 30}, {0, 2, 30}, {1, 0, 30}, {1, 1, 30},
                                     {1, 2, 30}, {2, 0, 30}, {2, 1, 30}, {2, 2, 30}});
    const StaticPlacement spot{8 * 4096, 0, 8 * 4096, 0, 0};
    AlignStaticToTerrain(g.m, lift, &spot, 0, 10, 1, 1, 0, 0);
    construct* rider = CreateConstruct(0, 0);
    rider->itfc = GroundListener_itfc;
    CollideNode node{rider, nullptr};
    TileFieldEntry* tile = MatrixEntry(g.m, 0, 0, 0);
    tile->stamps[QuarterIndex(1, 1)] = CollidePassNumber();
    tile->collide[QuarterIndex(1, 1)] = &node;
    g_groundChanged = 0;
    LowerSurfaceUnderStatic(g.m, lift, &spot, 100, 0);
    EXPECT_EQ(SecondSurfaceHeight(&g.At(8, 8)), ((lift->pos[1] >> 3) >> 4) * 128);
    EXPECT_EQ(g_groundChanged, 4);  // the footprint's sub-points (8..9) x (8..9) on quarter (1, 1)
    tile->collide[QuarterIndex(1, 1)] = nullptr;
    UnstampStaticFootprint(g.m, lift, 1, 0, 0);
    FreeConstruct(lift);
    FreeConstruct(rider);
}

TEST_F(Statics, AnchoringAndShade) {
    construct* c = CreateConstruct(1, 0);
    Geom* g = CreateGeom("geom: anchor");
    g->pointCount = 1;
    g->points = static_cast<GeomPoint*>(qzAlloc(int(sizeof(GeomPoint)), "geom pt list"));
    std::memset(g->points, 0, sizeof(GeomPoint));
    g->points[0].pos[0] = 500;
    g->box.corners[0][0] = 200;
    g->sphere.centre[0] = 300;
    g->sphere.radius = 77;
    g->anchor[0] = 400;  // world units: 100 quarter units
    c->lod[0] = c->lod[1] = g;
    AnchorConstructGeoms(c);
    EXPECT_EQ(g->points[0].pos[0], 400);  // shifted once, though two slots share the Geom
    EXPECT_EQ(c->box.corners[0][0], 100);
    EXPECT_EQ(c->sphere.centre[0], 200);
    EXPECT_EQ(c->sphere.radius, 77);
    construct* sub = CreateConstruct(0, 0);
    c->subs[0] = sub;
    c->subCount = 1;
    SetConstructShade(c, 40);
    EXPECT_EQ(c->shade, 40);
    EXPECT_EQ(sub->shade, 40);
    c->lod[1] = nullptr;
    FreeConstruct(c);
}

}  // namespace
