// Cost of a world tick on the demo island with 500 armed units firing into each other: the collision
// pass, every unit's tick with its projectile thrower, and the bullets' flights, hits and returns.
#include <benchmark/benchmark.h>

#include "support/ShotScene.h"

namespace {

void BM_WorldTick500Firing(benchmark::State& state) {
    kvtest::ShotScene scene(KV_SOURCE_DIR);
    if (!scene.ok()) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    // 250 pairs facing each other 40000 units apart, on a grid over the middle of the island.
    for (int i = 0; i < 250; ++i) {
        const int32_t x = 12 * 65536 + (i % 16) * 100000;
        const int32_t z = 12 * 65536 + (i / 16) * 150000;
        construct* a = scene.Place(x, z, 1, 0, 1000000, 50);
        construct* b = scene.Place(x + 40000, z, -1, 0, 1000000, 50);
        kvtest::ShotBlock(a)->trigger = 1;
        kvtest::ShotBlock(b)->trigger = 1;
    }
    for (int i = 0; i < 50; ++i) WorldTick(1, 0);  // the guns are firing and the bullets in flight
    for (auto _ : state) WorldTick(1, 0);
    state.SetItemsProcessed(state.iterations());  // items are ticks: items per second is ticks per second
}
BENCHMARK(BM_WorldTick500Firing)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
