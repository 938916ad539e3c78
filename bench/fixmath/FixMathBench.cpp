// Cost of the hot fixed-point operations: rotating and projecting points, matrix products, square roots
// and arc tangents.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "render/View.h"
#include "tools/datakit/FPTables.h"

namespace {

// The tables are written by datakit to a temporary tree and loaded as the game loads them.
void LoadTables() {
    if (FPTablesLoaded()) return;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "kv-bench-fixmath";
    datakit::WriteFPTables(dir.string());
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    LoadFPTables();
    std::filesystem::current_path(previous);
}

// 1024 points of a model a few tiles across, in quarter world units.
std::vector<FixVec> Points() {
    std::vector<FixVec> v(1024);
    uint32_t s = 12345;
    for (FixVec& p : v) {
        auto next = [&s] {
            s = s * 1664525u + 1013904223u;
            return static_cast<int32_t>(s >> 16) - 32768;
        };
        p = {next(), next(), next()};
    }
    return v;
}

FixMatrix Orientation() {
    FixMatrix m;
    const int32_t angles[3] = {102943, 123456, 7890};
    MatrixFromEuler(&m, angles);
    return m;
}

void BM_RotateVec(benchmark::State& state) {
    LoadTables();
    std::vector<FixVec> pts = Points(), out(pts.size());
    FixMatrix m = Orientation();
    for (auto _ : state) {
        for (size_t i = 0; i < pts.size(); ++i) RotateVec(&out[i], &m, &pts[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_RotateVec);

void BM_RotateVecT13Safe(benchmark::State& state) {
    LoadTables();
    std::vector<FixVec> pts = Points(), out(pts.size());
    for (FixVec& p : pts) p.x *= 8;  // half of them take the long-vector fallback
    FixMatrix m = Orientation();
    for (auto _ : state) {
        for (size_t i = 0; i < pts.size(); ++i) RotateVecT13Safe(&out[i], &m, &pts[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_RotateVecT13Safe);

void BM_RotateVecF(benchmark::State& state) {
    LoadTables();
    std::vector<FixVec> pts = Points(), out(pts.size());
    FixMatrix m = Orientation();
    for (auto _ : state) {
        for (size_t i = 0; i < pts.size(); ++i) RotateVecF(&out[i], &m, &pts[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_RotateVecF);

void BM_ProjectToScreenRhw(benchmark::State& state) {
    std::vector<FixVec> pts = Points();
    for (FixVec& p : pts) p.z = (p.z & 0xffff) + 500;
    std::vector<ScreenPointRhw> out(pts.size());
    for (auto _ : state) {
        for (size_t i = 0; i < pts.size(); ++i) ProjectToScreenRhw(&out[i], &pts[i], 320.0f, 240.0f);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_ProjectToScreenRhw);

void BM_ProjectWorldPoint(benchmark::State& state) {
    LoadTables();
    std::vector<FixVec> pts = Points();
    ViewMatrix = Orientation();
    ProjMatrix = ViewMatrix;  // a focal length of 1024
    EyePos = {0, 0, 0};
    ViewWidth = 640;
    ViewHeight = 480;
    ViewCentreXF = 320.0f;
    ViewCentreYF = 240.0f;
    InstallProjectionEye();
    ScreenPointF out{};
    for (auto _ : state) {
        int inView = 0;
        for (const FixVec& p : pts) inView += ProjectWorldPoint(&out, &p);
        benchmark::DoNotOptimize(inView);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_ProjectWorldPoint);

void BM_MulMatrix(benchmark::State& state) {
    LoadTables();
    FixMatrix a = Orientation(), b, out;
    MatrixFromYawPitch(&b, 40000, -20000);
    for (auto _ : state) {
        MulMatrix(&out, &a, &b);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MulMatrix);

void BM_FixSqrt(benchmark::State& state) {
    uint32_t v = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FixSqrt(v));
        v = v * 2654435761u + 1;
    }
}
BENCHMARK(BM_FixSqrt);

void BM_Normalise(benchmark::State& state) {
    LoadTables();
    std::vector<FixVec> pts = Points(), out(pts.size());
    for (auto _ : state) {
        for (size_t i = 0; i < pts.size(); ++i) Normalise(&out[i], &pts[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_Normalise);

void BM_FixAtan2(benchmark::State& state) {
    LoadTables();
    std::vector<FixVec> pts = Points();
    for (auto _ : state) {
        int32_t sum = 0;
        for (const FixVec& p : pts) sum += FixAtan2(p.y, p.x);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_FixAtan2);

void BM_FixSinCos(benchmark::State& state) {
    LoadTables();
    int32_t angle = 0;
    for (auto _ : state) {
        int32_t s, c;
        FixSinCos(angle, &s, &c);
        benchmark::DoNotOptimize(s);
        benchmark::DoNotOptimize(c);
        angle += 9973;
    }
}
BENCHMARK(BM_FixSinCos);

}  // namespace

BENCHMARK_MAIN();
