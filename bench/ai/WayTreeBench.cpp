// Way tree searches on the demo island: 100 fixed pairs of points on land (access type 0, the jeeps'; the
// deep water of the sea, the lake and the river is blocked), each searched with the way test's budget of
// 6400 outline points, the leaves collected and the shortest way built, as the goto behaviours plan.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "ai/WayFinder.h"
#include "ai/WayPointList.h"
#include "ai/WayTree.h"
#include "support/ShotScene.h"
#include "world/Terrain.h"

namespace {

struct Pair {
    int32_t from[3], to[3];
};

// 100 pairs from a fixed sequence: points of the island's inner part (0.15 to 0.85 of its width) on
// ground a land unit may enter.
std::vector<Pair> FixedPairs() {
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xFFFF;
    };
    const double span = 64.0 * 65536.0;
    auto point = [&](int32_t p[3]) {
        for (;;) {
            p[0] = int32_t(span * (0.15 + 0.7 * next() / 65536.0));
            p[1] = 0;
            p[2] = int32_t(span * (0.15 + 0.7 * next() / 65536.0));
            int32_t probe[3] = {p[0], p[1], p[2]};
            SelectAccessTest(0);
            if (!WayPointBlocked(probe)) return;
        }
    };
    std::vector<Pair> pairs(100);
    for (Pair& pr : pairs) {
        point(pr.from);
        point(pr.to);
    }
    return pairs;
}

void BM_WayTreeSearch100Pairs(benchmark::State& state) {
    kvtest::ShotScene scene(KV_SOURCE_DIR);
    if (!scene.ok()) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    const std::vector<Pair> pairs = FixedPairs();
    wpl* way = CreateWayPointList(1024, "bench way");
    int64_t solved = 0, points = 0, searches = 0;
    for (auto _ : state) {
        for (const Pair& pr : pairs) {
            int32_t result = 0, out[3];
            WayTreeNode* tree = TestWay(pr.from, pr.to, 0, 6400, &result, out);
            WayLeaf leaves[kMaxWayLeaves];
            int n = 0;
            CollectWayTreeLeaves(tree, leaves, &n);
            way->count = 0;
            if (n > 0) BuildWayFromPath(tree, leaves[0].path, way);
            FreeWayTree(tree);
            solved += result == kWaySolved;
            points += way->count;
            ++searches;
        }
    }
    FreeWayPointList(way);
    state.SetItemsProcessed(searches);  // items are searches
    state.counters["solved %"] = benchmark::Counter(100.0 * double(solved) / double(searches ? searches : 1));
    state.counters["way points"] = benchmark::Counter(double(points) / double(searches ? searches : 1));
}
BENCHMARK(BM_WayTreeSearch100Pairs)->Unit(benchmark::kMillisecond);

}  // namespace
