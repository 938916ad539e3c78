// The way tree search over hand-made terrains: a flat plain of 16 x 16 tiles (256 x 256 sub-points of
// 4096 units) on which each case blocks sub-points for access type 0 (access bit 2); the leaves, the
// joining of a branch's ways and the convex-hull short cuts on hand-made trees and lists.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ai/WayFinder.h"
#include "ai/WayPointList.h"
#include "ai/WayTree.h"
#include "core/Memory.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "world/TerrainFixtures.h"

namespace {

using P = std::array<int32_t, 3>;

class WayTree : public ::testing::Test {
public:
    WayTree() : terrain_(16, 16) {
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).height = 100;
        CurrentMatrix = terrain_.m;
    }
    ~WayTree() override {
        CurrentMatrix = nullptr;
        SetWaySearchMode(0);
    }
    // Blocks the sub-points X0..X1, Z0..Z1 (inclusive) for access type 0.
    void Block(int32_t X0, int32_t Z0, int32_t X1, int32_t Z1) {
        for (int32_t X = X0; X <= X1; ++X)
            for (int32_t Z = Z0; Z <= Z1; ++Z) terrain_.At(X, Z).access = 2;
    }
    static P Sub(double X, double Z) { return {int32_t(X * 4096 + 2048), 0, int32_t(Z * 4096 + 2048)}; }
    static bool Blocked(const P& p) {
        P q = p;
        SelectAccessTest(0);
        return WayPointBlocked(q.data()) != 0;
    }

    struct Found {
        int32_t result = -1;
        P out{};
        std::vector<std::string> leaves;
        std::vector<int32_t> lengths;
        std::vector<P> way;  // of the shortest leaf
    };
    static Found Search(const P& a, const P& b, int32_t budget = 6400) {
        Found f;
        WayTreeNode* tree = TestWay(a.data(), b.data(), 0, budget, &f.result, f.out.data());
        WayLeaf leaves[kMaxWayLeaves];
        int n = 0;
        CollectWayTreeLeaves(tree, leaves, &n);
        for (int i = 0; i < n; ++i) f.leaves.push_back(leaves[i].path), f.lengths.push_back(leaves[i].length);
        if (n > 0) {
            wpl* way = CreateWayPointList(1024, "test way");
            BuildWayFromPath(tree, leaves[0].path, way);
            for (int i = 0; i < way->count; ++i)
                f.way.push_back({way->points[i][0], way->points[i][1], way->points[i][2]});
            FreeWayPointList(way);
        }
        FreeWayTree(tree);
        return f;
    }
    // Whether the straight lines between the way's points stay off blocked ground.
    static bool WayIsFree(const std::vector<P>& way) {
        for (size_t i = 1; i < way.size(); ++i) {
            int32_t out[3];
            int blocked = 0;
            FindWayTree(way[i - 1].data(), way[i].data(), out, &blocked, 0);
            if (blocked) return false;
        }
        return true;
    }

    kvtest::HandMatrix terrain_;
    kvtest::FatalCatcher fatal_;
};

// The five results, the branches that survive and the way of the shortest one. The searches travel along
// x at Z 130.5 from sub-point 60 to 180; the obstacles stand across that line.
TEST_F(WayTree, SearchesAroundObstaclesGiveTheirResultsAndWays) {
    const P start = Sub(60, 130), end = Sub(180, 130);
    const struct Case {
        const char* name;
        std::function<void(WayTree&)> terrain;
        P from, to;
        int32_t budget;
        int32_t result;
        std::vector<std::string> leaves;  // by length, shortest first
        std::function<void(const Found&)> check;
    } cases[] = {
        {"a free straight way",
         [](WayTree&) {},
         start,
         end,
         6400,
         kWaySolved,
         {""},
         [&](const Found& f) {
             EXPECT_EQ(f.way, (std::vector<P>{start, end}));
         }},
        // The obstacle reaches 10 sub-points above the line and 30 below: the left branch (toward +z,
        // left of the travel direction) is the shorter; both stay off the obstacle.
        {"an obstacle passed on either side",
         [](WayTree& t) { t.Block(100, 100, 110, 140); },
         start,
         end,
         6400,
         kWaySolved,
         {"L", "R"},
         [&](const Found& f) {
             EXPECT_LT(f.lengths[0], f.lengths[1]);
             EXPECT_TRUE(WayIsFree(f.way));
             ASSERT_GE(f.way.size(), 3u);
             EXPECT_EQ(f.way.front(), start);
             EXPECT_EQ(f.way.back(), end);
             int32_t top = 0;
             for (const P& p : f.way) top = std::max(top, p[2]);
             EXPECT_GT(top, 141 * 4096);  // round the obstacle's upper end
         }},
        // Half of the start's sub-points may be blocked; so is the end's, which is moved back toward the
        // start onto free ground.
        {"a blocked start",
         [](WayTree& t) { t.Block(100, 100, 110, 140); },
         Sub(105, 130),
         end,
         6400,
         kWayStartInaccessible,
         {},
         [](const Found& f) { EXPECT_EQ(f.out, Sub(105, 130)); }},
        {"a blocked end, corrected",
         [](WayTree& t) { t.Block(100, 100, 110, 140); },
         start,
         Sub(105, 130),
         6400,
         kWayEndInaccessible,
         {},
         [](const Found& f) {
             EXPECT_FALSE(Blocked(f.out));
             EXPECT_LT(f.out[0], 100 * 4096);
             EXPECT_GT(f.out[0], 60 * 4096);
         }},
        // A branch that runs out of budget makes the search TRUNCATED, the branch that reached the end
        // stays in the tree; with still less, no branch survives.
        {"truncated, a branch found",
         [](WayTree& t) { t.Block(100, 100, 110, 140); },
         start,
         end,
         10,
         kWayTruncated,
         {"L"},
         [](const Found& f) { EXPECT_TRUE(WayIsFree(f.way)); }},
        {"truncated, nothing found",
         [](WayTree& t) { t.Block(100, 100, 110, 140); },
         start,
         end,
         3,
         kWayTruncated,
         {},
         nullptr},
        // The start and the end on one spot: reached at once instead of walking a null step for ever.
        {"start and end on one spot",
         [](WayTree&) {},
         start,
         P{start[0], 5000, start[2]},
         6400,
         kWaySolved,
         {""},
         [&](const Found& f) { EXPECT_EQ(f.way, (std::vector<P>{start})); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).access = 0;
        c.terrain(*this);
        const Found f = Search(c.from, c.to, c.budget);
        EXPECT_EQ(f.result, c.result) << WayResultName(f.result);
        EXPECT_EQ(f.leaves, c.leaves);
        if (c.check) c.check(f);
    }
}

// The outline of an obstacle whose edge runs along the travel line never crosses that line: the walk
// comes back to where it began, and the search goes through the obstacle's edge.
TEST_F(WayTree, ADeadCircleIsGoneThrough) {
    Block(100, 90, 110, 130);
    kvtest::DebugCapture debug;
    const Found f = Search(Sub(60, 130), Sub(180, 130));
    EXPECT_EQ(f.result, kWaySolved);
    EXPECT_NE(kvtest::DebugCapture::text().find("dead circle - go through"), std::string::npos);
    ASSERT_EQ(f.way.size(), 3u);
    // Past the obstacle along the line, moved off it by the end-point correction.
    EXPECT_GT(f.way[1][0], 110 * 4096);
    EXPECT_FALSE(Blocked(f.way[1]));
}

TEST_F(WayTree, ResultNamesAndAnUnknownAccessType) {
    const char* names[] = {"IMPOSSIBLE", "STARTPOINTINACCESSIBLE", "ENDPOINTINACCESSIBLE", "TRUNCATED",
                           "SOLVED"};
    for (int r = 0; r < kWayResults; ++r) EXPECT_STREQ(WayResultName(r), names[r]);
    EXPECT_STREQ(WayResultName(-1), "<none>");
    int32_t result = 0, out[3];
    const P a = Sub(1, 1), b = Sub(9, 9);
    try {
        TestWay(a.data(), b.data(), 5, 100, &result, out);
        FAIL() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(FindWayTree): unknown AccessType");
    }
    // Without a terrain there is nothing to search.
    CurrentMatrix = nullptr;
    EXPECT_EQ(TestWay(a.data(), b.data(), 0, 100, &result, out), nullptr);
    EXPECT_EQ(result, kWayImpossible);
}

// ---- Hand-made trees and lists (on free ground, where the end-point correction moves nothing).

WayTreeNode* Node(int32_t kind, int32_t length, std::vector<P> points, WayTreeNode* left = nullptr,
                  WayTreeNode* right = nullptr) {
    auto* n = static_cast<WayTreeNode*>(qzAlloc(int(sizeof(WayTreeNode)), "way tree node"));
    n->way = CreateWayPointList(1024, "wpl(wayfinder a)");
    for (const P& p : points) AddWayPoint(n->way, p.data());
    n->length = length;
    n->kind = kind;
    n->left = left;
    n->right = right;
    n->parent = nullptr;
    return n;
}

std::vector<P> Points(const wpl* w) {
    std::vector<P> out;
    for (int i = 0; i < w->count; ++i) out.push_back({w->points[i][0], w->points[i][1], w->points[i][2]});
    return out;
}

TEST_F(WayTree, LeavesAreCollectedDepthFirstAtMostSixteenAndSortedByLength) {
    // A chain of 19 left children, each with a right leaf, ending in a left leaf: 20 leaves. Depth first,
    // the bottom leaf comes first, then the right leaves from the deepest up; the first 16 are kept. A
    // deeper right leaf is shorter (its length is 100 - 2 x its depth), the bottom leaf shortest.
    WayTreeNode* chain = Node(kWayLeft, 1, {Sub(1, 1)});
    for (int depth = 18; depth >= 0; --depth)
        chain = Node(kWayLeft, 0, {Sub(1, 1)}, chain, Node(kWayRight, 100 - 2 * depth, {Sub(1, 1)}));
    // Two leaves of equal length keep their depth-first order.
    WayTreeNode* n = chain;
    for (int depth = 0; depth < 17; ++depth) n = n->left;
    n->right->length = n->left->right->length;  // depth 17 as long as depth 18
    WayLeaf leaves[kMaxWayLeaves];
    int count = 0;
    CollectWayTreeLeaves(chain, leaves, &count);
    ASSERT_EQ(count, kMaxWayLeaves);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) paths.push_back(leaves[i].path);
    EXPECT_EQ(paths[0], std::string(19, 'L'));
    EXPECT_EQ(leaves[0].length, 1);
    EXPECT_EQ(paths[1], std::string(18, 'L') + "R");
    EXPECT_EQ(paths[2], std::string(17, 'L') + "R");
    EXPECT_EQ(leaves[1].length, leaves[2].length);
    EXPECT_EQ(paths[15], "LLLLR");
    for (int i = 1; i < count; ++i) EXPECT_LE(leaves[i - 1].length, leaves[i].length);
    FreeWayTree(chain);
}

TEST_F(WayTree, ABranchIsJoinedRunByRunAndStraightened) {
    // Root [A]; left kind 4 [B, C]; its left kind 4 [D, E]; its left kind 16 [F]; its right kind 8 [G].
    const P A = Sub(10, 10), B = Sub(20, 10), C = Sub(30, 15), D = Sub(25, 11), E = Sub(40, 10),
            F = Sub(50, 10), G = Sub(60, 10);
    WayTreeNode* tree =
        Node(kWayKindNone, 0, {A},
             Node(kWayLeft, 0, {B, C},
                  Node(kWayLeft, 0, {D, E}, Node(kWayThrough, 0, {F}), Node(kWayRight, 0, {G}))));
    wpl* out = CreateWayPointList(64, "test way");
    // The two left ways form one run, straightened: C and D lie inside the hull's edge from B to E.
    BuildWayFromPath(tree, "LLL", out);
    EXPECT_EQ(Points(out), (std::vector<P>{A, B, E, F}));
    out->count = 0;
    BuildWayFromPath(tree, "LLR", out);
    EXPECT_EQ(Points(out), (std::vector<P>{A, B, E, G}));
    // With the straight edge from B to E blocked, the points of the run between them stay.
    Block(33, 8, 34, 10);
    out->count = 0;
    BuildWayFromPath(tree, "LLR", out);
    EXPECT_EQ(Points(out), (std::vector<P>{A, B, C, D, E, G}));
    FreeWayPointList(out);
    FreeWayTree(tree);
}

TEST_F(WayTree, ShortCutsFollowTheHullTheShorterWayRound) {
    auto run = [](const std::vector<P>& in, std::vector<P>* result) {
        wpl* list = CreateWayPointList(64, "test way");
        for (const P& p : in) AddWayPoint(list, p.data());
        wpl* out = CreateWayPointList(64, "test way");
        const P marker = Sub(99, 99);
        AddWayPoint(out, marker.data());
        const int ok = TraceShortCuts(out, list);
        *result = Points(out);
        FreeWayPointList(out);
        FreeWayPointList(list);
        return ok;
    };
    std::vector<P> result;
    // Round an obstacle: the outline's points bulge; the hull keeps the outer ones, in order.
    EXPECT_EQ(run({Sub(10, 10), Sub(12, 14), Sub(14, 15), Sub(16, 18), Sub(20, 19), Sub(24, 14), Sub(26, 10)},
                  &result),
              1);
    EXPECT_EQ(result, (std::vector<P>{Sub(10, 10), Sub(26, 10)}));
    // The first point inside the hull: nothing is changed.
    EXPECT_EQ(run({Sub(15, 12), Sub(10, 10), Sub(20, 20), Sub(26, 10)}, &result), 0);
    EXPECT_EQ(result, (std::vector<P>{Sub(99, 99)}));
    // Points on one line make no hull.
    EXPECT_EQ(run({Sub(10, 10), Sub(20, 10), Sub(30, 10)}, &result), 0);
}

}  // namespace
