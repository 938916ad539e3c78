// The game's own frame: the demo mission "Ema01" built from the demo tree as the game builds it (start-up
// files, display, game data, the level), then run through the frame loop's steps at 800 x 600: the views
// drawn (RenderAllViews), the world ticks, the cameras and the presented frame. Two views: the level's
// first view (the satellite camera where the level puts it, on the coast) and the main view following the
// player's task force over the island (the camera attached to its first jeep). Each runs on one rasterizer
// thread and on all of them; the median frame time is given, with the frame's cost in full-screen fills
// (one 800 x 600 quad, bilinear texture modulated by the diffuse colour, fog, z test and write: the
// rasterizer's "fill" workload of bench/raster/FillScene.h) measured in the same run on the same thread
// count. Before each view's figures, the spans one of its frames draws, counted by the states of the pixel
// pipeline that drew them and the shader that served them.
//
// The demo tree is KV_DEMO, else build/bench/demo (which `make bench` writes), else one written into a
// temporary folder. Options: --frames N (frames timed per view and thread count, default 300), --single
// (one thread only), --threads N (N threads only; 0 one per core), --only first|taskforce, --no-counts,
// --picture PATH (each view's last frame as PATH_<view>.bmp), --general (every span drawn by the general
// shader: the pictures the fast paths must match).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ai/AUDef.h"
#include "bench/raster/FillScene.h"
#include "core/Config.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "host/Gfx_local.h"
#include "host/Window.h"
#include "objects/Itfc.h"
#include "platform/Dxgl.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "tests/support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "world/Player.h"
#include "game/Startup.h"
#include "game/WorldTick.h"

namespace {

constexpr int kW = 800, kH = 600;
// World ticks per frame: the game at 50 frames per second of its clock (100 ticks a second).
constexpr int kTicksPerFrame = 2;

double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- The level ----------------------------------------------------------------------------------------

std::unique_ptr<kvtest::TempDir> g_tempTree;

std::string DemoTree() {
    const char* env = std::getenv("KV_DEMO");
    std::string dir = env && *env ? env : "build/bench/demo";
    if (std::filesystem::exists(dir + "/Scripts/Ema01.txt")) return std::filesystem::absolute(dir).string();
    g_tempTree = std::make_unique<kvtest::TempDir>();
    mkdemo::Context ctx;
    ctx.out = g_tempTree->path();
    ctx.source = std::string(KV_SOURCE_DIR) + "/data";
    if (!mkdemo::BuildDemo(ctx)) return {};
    return g_tempTree->path();
}

// The game's start-up without a window, then the level: false when there is no demo tree.
bool BuildLevel() {
    const std::string dir = DemoTree();
    if (dir.empty()) return false;
    host::SetHeadless(true);
    host::SetWorkingDirectory(dir.c_str());
    host::FlushDirectoryCache();
    InstallLayerHooks();
    qzpk_init("Vexa.qzp");
    ReadConfigFile("Vexa.cfg");
    xres = kW;
    yres = kH;
    ReadRules("app/rules");
    ReadPathsFile("app/paths");
    if (!OpenDisplay()) return false;
    InitGameData();
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    InitLevel(0);
    return MainViewPort != nullptr && SurfaceWidth == kW && SurfaceHeight == kH;
}

// The camera follows the first unit of the player's task force, as the tactical map sets it when the
// level starts; a few frames let it settle.
bool FollowTaskForce() {
    const AUDef* def = NamedAUDef("EMA_TaskForce");
    if (!SatCamera || !def || !def->pool || def->pool->count == 0) return false;
    CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(def->pool->constructs[0]));
    return true;
}

// ---- The frame loop -----------------------------------------------------------------------------------

// The frame loop's steps that a frame without input or menus takes.
void Frame() {
    RenderAllViews();
    WorldTick(kTicksPerFrame, 1);
    for (int i = 0; i < ViewPortCount; ++i) UpdateViewPortCamera(ViewPortTable[i], kTicksPerFrame);
    dxgl_SwapBuffers();
}

double MedianFrameMs(int frames) {
    for (int i = 0; i < 5; ++i) Frame();  // warms up the caches and the worker threads
    std::vector<double> times;
    for (int f = 0; f < frames; ++f) {
        const double t0 = NowMs();
        Frame();
        times.push_back(NowMs() - t0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void WritePicture(const std::string& path) {
    host::GfxLock lock;
    if (host::LockSurface(BackBuffer, nullptr, &lock) != host::GfxOk) return;
    std::vector<uint32_t> rgb(static_cast<size_t>(kW) * kH);
    for (int y = 0; y < kH; ++y)
        std::memcpy(&rgb[static_cast<size_t>(y) * kW],
                    static_cast<const uint8_t*>(lock.bits) + y * lock.pitch, kW * 4);
    host::UnlockSurface(BackBuffer);
    for (uint32_t& p : rgb) p &= 0xFFFFFF;
    datakit::WriteFile(path, datakit::Bmp24(kW, kH, rgb, true));
}

// The spans of one frame by the states that drew them.
void PrintCounts(const char* view) {
    host::SetRasterThreads(1);
    Frame();
    host::CountSpans(true);
    Frame();
    std::vector<host::GfxSpanCount> counts = host::TakeSpanCounts();
    host::CountSpans(false);
    uint64_t total = 0;
    for (const auto& c : counts) total += c.pixels;
    std::printf("spans of one frame, %s view: %.2f Mpixels (%.2f screens)\n", view, total / 1e6,
                total / double(kW * kH));
    for (const auto& c : counts) {
        if (c.pixels == 0) continue;
        std::printf("  %5.1f%% %9llu px %7llu spans  %-7s %s\n",
                    100.0 * c.pixels / std::max<uint64_t>(total, 1),
                    static_cast<unsigned long long>(c.pixels), static_cast<unsigned long long>(c.spans),
                    c.shader, c.states.c_str());
    }
}

// ---- The full-screen fill -----------------------------------------------------------------------------

// One full-screen bilinear fill, in milliseconds: the median of frames of the rasterizer benchmark's
// sixteen "fill" quads, divided by 16.
double FillMs(int frames) {
    rasterbench::Scene scene = rasterbench::MakeScene();
    const std::vector<host::GfxVertex> quads = rasterbench::FillQuads(0xFFFFFFFF);
    std::vector<double> times;
    for (int f = 0; f < frames + 1; ++f) {
        host::Clear(scene.device, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0, 1.0f, 0);
        host::FinishDrawing(scene.device);
        const double t0 = NowMs();
        host::DrawPrimitive(scene.device, host::PrimitiveType::TriangleList, host::kGfxVertexFormat,
                            quads.data(), static_cast<int>(quads.size()));
        host::FinishDrawing(scene.device);
        if (f > 0) times.push_back((NowMs() - t0) / 16);  // the first warms up
    }
    rasterbench::FreeScene(scene);
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void RunView(const char* view, int threads, int frames) {
    host::SetRasterThreads(threads);
    const double fill = FillMs(std::max(3, frames / 10));
    const double ms = MedianFrameMs(frames);
    std::printf("frame %s: %.1f frames/s (%.3f ms/frame, %d threads, %.1f full-screen fills of %.3f ms)\n",
                view, 1000.0 / ms, ms, host::RasterThreads(), ms / fill, fill);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool singleOnly = false, counts = true;
    int onlyThreads = -1;
    int frames = 300;
    const char* only = nullptr;
    const char* picture = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--single") == 0) singleOnly = true;
        if (std::strcmp(argv[i], "--no-counts") == 0) counts = false;
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            onlyThreads = std::max(0, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
        if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) picture = argv[++i];
        if (std::strcmp(argv[i], "--general") == 0) host::ForceGeneralShader(true);
    }
    if (!BuildLevel()) {
        std::fprintf(stderr, "bench_frame: the demo level could not be built\n");
        return 1;
    }
    const bool all = !singleOnly && std::thread::hardware_concurrency() > 1;
    for (const char* view : {"first", "taskforce"}) {
        if (std::strcmp(view, "taskforce") == 0 && !FollowTaskForce()) {
            std::fprintf(stderr, "bench_frame: the task force was not found\n");
            return 1;
        }
        if (only && std::strcmp(only, view) != 0) continue;
        if (counts) PrintCounts(view);
        if (onlyThreads >= 0) {
            RunView(view, onlyThreads, frames);
        } else {
            RunView(view, 1, frames);
            if (all) RunView(view, 0, frames);
        }
        if (picture) WritePicture(std::string(picture) + "_" + view + ".bmp");
    }
    return 0;
}
