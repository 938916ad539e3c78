// The demo level "Ema01" built from the demo tree (KV_DEMO, by default build/bench/demo, which `make bench`
// writes): the time of a build, and world ticks per second with no view drawn, the world advanced by
// WorldTick alone, one tick per call and twenty ticks per call (a frame at twenty times real time).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "game/Level.h"
#include "world/Player.h"
#include "game/Startup.h"
#include "game/WorldTick.h"

namespace {

// Enters the demo tree and builds its level once for all benchmarks; false when there is no tree.
bool BuildDemoLevel() {
    static int built = -1;
    if (built >= 0) return built == 1;
    const char* env = std::getenv("KV_DEMO");
    const std::string dir = std::filesystem::absolute(env && *env ? env : "build/bench/demo").string();
    built = 0;
    if (!std::filesystem::exists(dir + "/Scripts/Ema01.txt")) return false;
    host::SetHeadless(true);
    host::SetWorkingDirectory(dir.c_str());
    qzpk_init("Vexa.qzp");
    ReadConfigFile("Vexa.cfg");
    ReadRules("app/rules");
    ReadPathsFile("app/paths");
    OpenDisplay();
    InitGameData();
    snprintf(MissionName, sizeof MissionName, "Ema01");
    InitLevel(0);
    built = 1;
    return true;
}

// The build of the level "Ema01" (InitLevel: the world file, the shared pools, the action units with
// the base's buildings and the island's scenery) in milliseconds; the teardown between builds is not
// timed.
void BM_DemoLevelBuild(benchmark::State& state) {
    if (!BuildDemoLevel()) {
        state.SkipWithError("no demo tree: run mkdemo --out build/bench/demo or set KV_DEMO");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        TeardownLevel();
        snprintf(MissionName, sizeof MissionName, "Ema01");
        state.ResumeTiming();
        InitLevel(0);
    }
}
BENCHMARK(BM_DemoLevelBuild)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DemoLevelTicks(benchmark::State& state) {
    if (!BuildDemoLevel()) {
        state.SkipWithError("no demo tree: run mkdemo --out build/bench/demo or set KV_DEMO");
        return;
    }
    const int ticksPerCall = static_cast<int>(state.range(0));
    for (auto _ : state) WorldTick(ticksPerCall, 1);
    state.SetItemsProcessed(state.iterations() * ticksPerCall);
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * ticksPerCall), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DemoLevelTicks)->Arg(1)->Arg(20);

}  // namespace

BENCHMARK_MAIN();
