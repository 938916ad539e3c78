// Cost of reading object files, copying preloaded constructs and finding a free construct in a shared pool.
#include <benchmark/benchmark.h>

#include <vector>

#include "tools/datakit/ObjectFile.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/ObjFile.h"

namespace {

// A grid of boxes: 8 x n points and 6 x n faces with a BSP of one leaf per box.
std::vector<uint8_t> Boxes(int n) {
    datakit::ObjectFile obj;
    datakit::ObjBspNode root;
    datakit::ObjBspNode* node = &root;
    for (int i = 0; i < n; ++i) {
        datakit::AddBox(obj, float(i % 16) * 3, 0, float(i / 16) * 3, 1, 1, 1, {100, 120, 140});
        node->back = std::make_unique<datakit::ObjBspNode>();
        node->leaf = true;
        for (uint32_t f = 0; f < 6; ++f) node->faces.push_back(uint32_t(i) * 6 + f);
        node = node->back.get();
    }
    node->leaf = false;
    obj.Bsp(uint32_t(n), root);
    obj.Sphere(0, 2);
    return obj.Bytes();
}

void BM_ReadObject(benchmark::State& state) {
    const std::vector<uint8_t> bytes = Boxes(int(state.range(0)));
    for (auto _ : state) {
        Geom* g = CreateUnnamedGeom();
        ReadCCADObj(bytes.data(), bytes.size(), "bench", 4.0f, g, 0);
        benchmark::DoNotOptimize(g->sphere.radius);
        FreeGeom(g);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 6);
}
BENCHMARK(BM_ReadObject)->Arg(16)->Arg(256);

uintptr_t Copyable_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::COPYITFCDATA) return CopyItfcDataBlock(con->itfcData, 64, "Bench", arg);
    return 0;
}

void BM_CopyConstruct(benchmark::State& state) {
    const std::vector<uint8_t> bytes = Boxes(64);
    construct* src = CreateConstruct(0, 0);
    src->itfc = Copyable_itfc;
    AllocItfcData(src, 64);
    Geom* g = CreateUnnamedGeom();
    ReadCCADObj(bytes.data(), bytes.size(), "bench", 4.0f, g, 0);
    SetConstructGeoms(src, g, g, g, g);
    for (auto _ : state) {
        construct* copy = CopyConstruct(src);
        benchmark::DoNotOptimize(copy->lod[0]);
        FreeConstruct(copy);
    }
    FreeConstruct(src);
}
BENCHMARK(BM_CopyConstruct);

// A shared pool of 256 shots of which all but one are in flight.
void BM_NextFree(benchmark::State& state) {
    ConstructPool* pool = CreateConstructPool(256, "bench shots");
    std::vector<construct*> shots;
    for (int i = 0; i < 256; ++i) {
        shots.push_back(CreateConstruct(0, i == 200 ? 0 : 0xC));
        AppendToConstructPool(pool, shots.back());
    }
    for (auto _ : state) benchmark::DoNotOptimize(NextFreeInConstructPool(pool));
    DeleteConstructPool(pool);
    for (construct* c : shots) FreeConstruct(c);
}
BENCHMARK(BM_NextFree);

}  // namespace

BENCHMARK_MAIN();
