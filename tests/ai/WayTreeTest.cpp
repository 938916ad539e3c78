// The way tree search over hand-made terrains: a flat plain of 16 x 16 tiles (256 x 256 sub-points of
// 4096 units) on which each case blocks sub-points for access type 0 (access bit 2).
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ai/WayFinder.h"
#include "ai/WayPointList.h"
#include "ai/WayTree.h"
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
    static P Sub(int32_t X, int32_t Z) { return {X * 4096 + 2048, 0, Z * 4096 + 2048}; }

    struct Found {
        int32_t result = -1;
        P out{};
        std::vector<std::string> leaves;
        std::vector<P> way;
    };
    Found Search(const P& a, const P& b, int32_t budget = 6400, int accessType = 0) {
        Found f;
        WayTreeNode* tree = TestWay(a.data(), b.data(), accessType, budget, &f.result, f.out.data());
        WayLeaf leaves[kMaxWayLeaves];
        int n = 0;
        CollectWayTreeLeaves(tree, leaves, &n);
        for (int i = 0; i < n; ++i) f.leaves.push_back(leaves[i].path);
        if (n > 0) {
            wpl* way = CreateWayPointList(1024, "test way");
            BuildWayFromPath(tree, leaves[0].path, way);
            for (int i = 0; i < way->count; ++i) f.way.push_back({way->points[i][0], way->points[i][1], way->points[i][2]});
            FreeWayPointList(way);
        }
        FreeWayTree(tree);
        return f;
    }
    // Whether the straight lines between the way's points stay off blocked ground.
    bool WayIsFree(const std::vector<P>& way) {
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

void Show(const char* name, const WayTree::Found& f) {
    std::printf("%s: result %s out (%.1f %.1f) leaves", name, WayResultName(f.result), f.out[0] / 4096.0, f.out[2] / 4096.0);
    for (auto& l : f.leaves) std::printf(" '%s'", l.c_str());
    std::printf("\nway:");
    for (auto& p : f.way) std::printf(" (%.1f %.1f)", p[0] / 4096.0, p[2] / 4096.0);
    std::printf("\n");
}

TEST_F(WayTree, Explore) {
    Block(100, 100, 110, 160);
    Found f = Search(Sub(60, 130), Sub(180, 130));
    Show("one", f);
    f = Search(Sub(60, 130), Sub(180, 130), 3);
    Show("budget 3", f);
    f = Search(Sub(105, 130), Sub(180, 130));
    Show("blocked start", f);
    f = Search(Sub(60, 130), Sub(105, 130));
    Show("blocked end", f);
    Block(100, 60, 110, 99);
    Block(100, 161, 110, 255);
    Block(100, 0, 110, 59);
    f = Search(Sub(60, 130), Sub(180, 130));
    Show("wall", f);
}

}  // namespace
