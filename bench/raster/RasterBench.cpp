// The rasterizer workloads "fill", "blend" and "small": each frame clears colour and z, draws the workload
// through the device's own calls and waits until every pixel is written; the median frame time is
// reported, once on one thread and once on all of the rasterizer's worker threads.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "host/Gfx.h"

using namespace host;

#include "bench/raster/FillScene.h"
#include "bench/raster/RasterWorkload.h"

namespace {

using namespace rasterbench;

std::vector<GfxVertex> SmallTriangles() {
    g_rng = 0x12345678;
    std::vector<GfxVertex> v;
    v.reserve(300000);
    for (int t = 0; t < 100000; ++t) {
        double cx = FRand() * kW, cy = FRand() * kH;
        for (int i = 0; i < 3; ++i) {
            GfxVertex p{};
            p.x = static_cast<float>(cx + (FRand() * 16 - 8));
            p.y = static_cast<float>(cy + (FRand() * 16 - 8));
            double z = FRand();
            p.z = static_cast<float>(z);
            p.tu0 = static_cast<float>(FRand() * 4);
            p.tv0 = static_cast<float>(FRand() * 4);
            p.tu1 = p.tu0, p.tv1 = p.tv0;
            p.diffuse = 0xFF000000u | (R() & 0xFFFFFF);
            p.specular = (R() & 255) << 24;
            p.rhw = static_cast<float>(1.0 / (1.0 + 3.0 * z));
            v.push_back(p);
        }
    }
    return v;
}

double MedianFrameMs(Scene& s, const std::vector<GfxVertex>& v, int frames) {
    std::vector<double> times;
    for (int f = 0; f < frames + 1; ++f) {
        const double t0 = NowMs();
        Clear(s.device, 0, nullptr, GfxClearTarget | GfxClearZBuffer, 0, 1.0f, 0);
        DrawPrimitive(s.device, PrimitiveType::TriangleList, kGfxVertexFormat, v.data(),
                      static_cast<int>(v.size()));
        FinishDrawing(s.device);
        const double t1 = NowMs();
        if (f > 0)
            times.push_back(t1 - t0);  // first warms up
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int g_frames = 21;  // frames timed per workload ("--frames n" changes it, e.g. for instruction counts)
const char* g_only = nullptr;  // "--only name" runs one workload

bool Wanted(const char* name) {
    return !g_only || std::strcmp(g_only, name) == 0;
}

void RunAll(int threads) {
    SetRasterThreads(threads);
    int shown = RasterThreads();
    Scene s = MakeScene();
    double ms = 0;
    if (Wanted("fill")) {
        std::vector<GfxVertex> fill = FillQuads(0xFFFFFFFF);
        ms = MedianFrameMs(s, fill, g_frames);
        std::printf("raster fill: %.2f Mpixels/s (%.3f ms/frame, %d threads)\n", 16 * 480000 / (ms * 1000),
                    ms, shown);
    }

    SetRenderState(s.device, RenderState::AlphaBlendEnable, 1);
    SetRenderState(s.device, RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::SrcAlpha));
    SetRenderState(s.device, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::InvSrcAlpha));
    SetRenderState(s.device, RenderState::ZWriteEnable, 0);
    if (Wanted("blend")) {
        std::vector<GfxVertex> blend = FillQuads(0x80FFFFFF);
        ms = MedianFrameMs(s, blend, g_frames);
        std::printf("raster blend: %.2f Mpixels/s (%.3f ms/frame, %d threads)\n", 16 * 480000 / (ms * 1000),
                    ms, shown);
    }

    SetRenderState(s.device, RenderState::AlphaBlendEnable, 0);
    SetRenderState(s.device, RenderState::SrcBlend, static_cast<uint32_t>(BlendFactor::One));
    SetRenderState(s.device, RenderState::DestBlend, static_cast<uint32_t>(BlendFactor::Zero));
    SetRenderState(s.device, RenderState::ZWriteEnable, 1);
    if (Wanted("small")) {
        std::vector<GfxVertex> small = SmallTriangles();
        ms = MedianFrameMs(s, small, (g_frames + 1) / 2);
        std::printf("raster small: %.2f Mtriangles/s (%.3f ms/frame, %d threads)\n", 100000 / (ms * 1000), ms,
                    shown);
    }
    std::fflush(stdout);
    FreeScene(s);
}

}  // namespace

int main(int argc, char** argv) {
    bool singleOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--single") == 0) singleOnly = true;
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            g_frames = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) g_only = argv[++i];
        if (std::strcmp(argv[i], "--cpu") == 0) g_cpuTime = singleOnly = true;  // thread time: one thread only
    }
    RunAll(1);
    if (!singleOnly && std::thread::hardware_concurrency() > 1) RunAll(0);
    return 0;
}
