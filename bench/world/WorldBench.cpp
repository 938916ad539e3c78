// Cost of loading the demo island's world file and of one collision pass over 500 units spread over it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "host/Fs.h"
#include "objects/Units.h"
#include "platform/Texture.h"
#include "render/Sky.h"
#include "tests/support/FPTables.h"
#include "tests/support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/mkdemo/Demo.h"
#include "world/Collide.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "world/WorldFile.h"

namespace {

// The demo island written once into a temporary tree that becomes the working directory, with the demo's
// core files, objects and textures that its world file names (the sky's dome, flare and cloud geometry,
// the ground textures).
struct DemoTree {
    kvtest::TempDir dir;
    bool ok = false;
    DemoTree() {
        kvtest::EnsureFPTables();
        mkdemo::Context ctx{dir.path(), std::string(KV_SOURCE_DIR) + "/data", false};
        ok = datakit::WriteFile(dir / "Maps/Ema01", mkdemo::DemoIslandWorld()) && mkdemo::BuildCoreFiles(ctx) &&
             mkdemo::BuildObjects(ctx) && mkdemo::BuildTextures(ctx);
        host::SetWorkingDirectory(dir.path().c_str());
        host::FlushDirectoryCache();
        if (!ok) return;
        ReadPathsFile("app/paths");
        std::snprintf(MissionName, sizeof MissionName, "Ema01");
        // The island's action units name the units file's entries (jeeps, buildings, scenery); their types
        // are not needed to read them.
        ReadUnitsFile("app/units");
    }
};

DemoTree& Tree() {
    static DemoTree tree;
    return tree;
}

void Unload() {
    FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    FreeQZWDKeptChunks();
    FreeSkyCell(WorldSkyCell);
    WorldSkyCell = nullptr;
    while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
    offmatrixclone_idx = 0;
}

void BM_LoadDemoWorld(benchmark::State& state) {
    if (!Tree().ok) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    for (auto _ : state) {
        LoadQZWD("Maps\\Ema01");
        benchmark::DoNotOptimize(CurrentMatrix->tileDefPoolSize);
        state.PauseTiming();
        Unload();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadDemoWorld)->Unit(benchmark::kMillisecond);

void BM_CollideUnits500(benchmark::State& state) {
    if (!Tree().ok) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    LoadQZWD("Maps\\Ema01");
    ConstructPool* pool = CreateConstructPool(1024, "bench units");
    std::vector<construct*> units;
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFF;
    };
    // 500 units of radius 2048 spread over the middle of the island (40 x 40 tiles), four sample corners each.
    for (int i = 0; i < 500; ++i) {
        construct* c = CreateConstruct(0, 0);
        c->pos[0] = int32_t(12 * 65536 + next() * 40);
        c->pos[2] = int32_t(12 * 65536 + next() * 40);
        c->sphere.radius = 2048;
        c->collisionClass = 255;
        for (int k = 0; k < 8; ++k)
            for (int a = 0; a < 3; ++a) c->box.corners[k][a] = ((k >> a) & 1) ? 400 : -400;
        c->sampleCornerCount = 4;
        for (uint8_t k = 0; k < 4; ++k) c->sampleCorners[k] = uint8_t(k * 2);
        AppendToConstructPool(pool, c);
        units.push_back(c);
    }
    ConstructPool* const pools[4] = {pool, nullptr, nullptr, nullptr};
    for (auto _ : state) {
        ++FrameCounter;
        CollideUnitsIn(CurrentMatrix, pools);
        benchmark::DoNotOptimize(CollideNodeCount);
    }
    state.SetItemsProcessed(state.iterations() * 500);
    for (construct* c : units) FreeConstruct(c);
    DeleteConstructPool(pool);
    Unload();
}
BENCHMARK(BM_CollideUnits500)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
