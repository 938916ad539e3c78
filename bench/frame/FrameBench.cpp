// The game's own frame: the demo mission "Ema01" built from the demo tree as the game builds it (start-up
// files, display, game data, the level), then run through the frame loop's steps at 800 x 600 (or the
// size given): the views drawn (RenderAllViews), the world ticks, the cameras and the presented frame.
// Four views, each with the overlay the frame draws after the views (the task-force panel, the clock, the
// map panel with the units' symbols):
//   first      the level as it starts: the mission's first event puts the player into the task force's
//              first jeep, so the view looks out of its cockpit at the base;
//   taskforce  the player out of the jeep (as the toggle key takes him to the tactical map), the main view
//              following the task force (the satellite camera attached to its first jeep);
//   cockpit    the player in the task force's first jeep again, as entering a unit puts him: the view from
//              its cockpit with the cockpit model and the instruments;
//   fight      the player back out of the jeep, the world run on (ticks alone, not drawn) until the G.A.
//              patrol and the task force fight and a unit has been hit, then 200 ticks more; the
//              satellite camera follows the unit hit. The fight is saved there (the saved game
//              "bench_fight" in the demo tree) and loaded again before each thread count, so that every
//              run draws the same frames of it.
// Each view runs on one rasterizer thread and on all of them; the median frame time is given, with the
// frame's cost in full-screen fills (one quad over the whole target, bilinear texture modulated by the
// diffuse colour, fog, z test and write: the rasterizer's "fill" workload of bench/raster/FillScene.h at the
// frame's size) measured in the same run on the same thread count. Before each view's figures, the spans
// one of its frames draws, counted by the states of the pixel pipeline that drew them and the shader that
// served them.
//
// The demo tree is KV_DEMO, else build/bench/demo (which `make bench` writes), else one written into a
// temporary folder. Options: --size WxH (the display, 800x600 by default), --frames N (frames timed per
// view and thread count, default 300), --single (one thread only), --threads N (N threads only; 0 one per
// core), --cpu (one thread only, timed by the calling thread's processor time: a figure that a busy
// shared machine disturbs less), --only first|taskforce|cockpit|fight, --no-counts, --picture PATH (each view's last frame as
// PATH_<view>.bmp), --general (every span drawn by the general shader: the pictures the fast paths must
// match).
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
#include "ai/DayEvents.h"
#include "bench/raster/FillScene.h"
#include "core/Config.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "game/Level.h"
#include "game/SavedGame.h"
#include "game/Startup.h"
#include "game/WorldTick.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "host/Gfx_local.h"
#include "host/Window.h"
#include "hud/TFView.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "platform/Dxgl.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "tests/support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"
#include "world/ConstructPool.h"
#include "world/Player.h"

namespace {

int g_w = 800, g_h = 600;  // the display
// World ticks per frame: the game at 50 frames per second of its clock (100 ticks a second).
constexpr int kTicksPerFrame = 2;

using rasterbench::NowMs;  // the wall clock, or with --cpu the calling thread's processor time

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
    xres = g_w;
    yres = g_h;
    ReadRules("app/rules");
    ReadPathsFile("app/paths");
    if (!OpenDisplay()) return false;
    InitGameData();
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    InitLevel(0);
    return MainViewPort != nullptr && SurfaceWidth == g_w && SurfaceHeight == g_h;
}

construct* FirstUnitOf(const char* unit) {
    const AUDef* def = NamedAUDef(unit);
    return def && def->pool && def->pool->count > 0 ? def->pool->constructs[0] : nullptr;
}

// The player leaves his unit and the camera follows the first unit of his task force.
bool FollowTaskForce() {
    construct* jeep = FirstUnitOf("EMA_TaskForce");
    if (!SatCamera || !jeep || !PlayerTFView) return false;
    LeaveUnitView(PlayerTFView);
    CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(jeep));
    return true;
}

// The world ticks and the cameras of frames not drawn.
void Undrawn(int frames) {
    for (int f = 0; f < frames; ++f) {
        WorldTick(kTicksPerFrame, 1);
        for (int i = 0; i < ViewPortCount; ++i) UpdateViewPortCamera(ViewPortTable[i], kTicksPerFrame);
    }
}

// The player enters the task force's first jeep as the task-force view puts him into a unit; the camera
// flies into its cockpit (150 frames, undrawn), and the main view looks out of it.
bool EnterJeep() {
    construct* jeep = FirstUnitOf("EMA_TaskForce");
    if (!jeep || !PlayerTFView) return false;
    EnterUnitView(PlayerTFView, jeep, 0);
    Undrawn(150);
    return MainViewPort->insideView != 0;
}

// ---- The frame loop -----------------------------------------------------------------------------------

// The frame loop's steps that a frame without input or menus takes.
void Frame() {
    RenderAllViews();
    host::SubmitDrawing(D3DDevice);
    WorldTick(kTicksPerFrame, 1);
    for (int i = 0; i < ViewPortCount; ++i) UpdateViewPortCamera(ViewPortTable[i], kTicksPerFrame);
    dxgl_SwapBuffers();
}

// ---- The fight ----------------------------------------------------------------------------------------

constexpr const char* kFightSave = "bench_fight";
construct* g_fighter = nullptr;  // the unit the camera follows in the fight

// The first unit of the two sides that has been hit, or null.
construct* HitUnit() {
    for (const char* side : {"GA_Outpost", "EMA_TaskForce"}) {
        const AUDef* def = NamedAUDef(side);
        if (!def || !def->pool) continue;
        for (int i = 0; i < def->pool->count; ++i) {
            construct* unit = def->pool->constructs[i];
            const UnitShare* rec = GetUnitShare(unit);
            if (rec && rec->hitFlag) return unit;
        }
    }
    return nullptr;
}

// The player leaves the jeep for the tactical map; the world runs on, undrawn, until a unit of either side
// has been hit, and 200 ticks more; the fight is saved there. False when no fight came within 30000 ticks
// or the save failed.
bool StartFight() {
    LeaveUnitView(PlayerTFView);
    // The mission holds the task force by the player; without him in it, it is sent onto the G.A.
    // patrol's path (a point of its way between the outpost and the ford), where the two sides meet.
    DayEvent meet{};
    meet.type = kDEAIGoto;
    meet.values[0] = 38.4f;
    meet.values[1] = 34.9f;
    std::snprintf(meet.attribute1, sizeof meet.attribute1, "%s", "EMA");
    std::snprintf(meet.attribute2, sizeof meet.attribute2, "%s", "EMA_TaskForce");
    std::snprintf(meet.expression, sizeof meet.expression, "%s", "<none>");
    ExecuteDayEvent(&meet);
    int ticks = 0;
    while (!(g_fighter = HitUnit()) && ticks < 30000) Undrawn(1), ticks += kTicksPerFrame;
    if (!g_fighter) return false;
    Undrawn(100);
    return SaveQZGM(kFightSave) == 1;
}

// Back to the fight's saved moment, the satellite camera on the unit hit.
bool ResumeFight() {
    char other[64] = {};
    if (LoadQZGM(kFightSave, 1, other) != kQZGMLoaded) {
        std::fprintf(stderr, "bench_frame: the fight could not be loaded: %s\n", SavedGameRefusal());
        return false;
    }
    CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(g_fighter));
    return true;
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
    std::vector<uint32_t> rgb(static_cast<size_t>(g_w) * g_h);
    for (int y = 0; y < g_h; ++y)
        std::memcpy(&rgb[static_cast<size_t>(y) * g_w],
                    static_cast<const uint8_t*>(lock.bits) + y * lock.pitch, static_cast<size_t>(g_w) * 4);
    host::UnlockSurface(BackBuffer);
    for (uint32_t& p : rgb) p &= 0xFFFFFF;
    datakit::WriteFile(path, datakit::Bmp24(g_w, g_h, rgb, true));
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
                total / (double(g_w) * g_h));
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
// sixteen "fill" quads at the frame's size, divided by 16.
double FillMs(int frames) {
    rasterbench::Scene scene = rasterbench::MakeScene(g_w, g_h);
    const std::vector<host::GfxVertex> quads = rasterbench::FillQuads(0xFFFFFFFF, g_w, g_h);
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

bool RunView(const char* view, int threads, int frames) {
    host::SetRasterThreads(threads);
    const double fill = FillMs(std::max(3, frames / 10));
    if (std::strcmp(view, "fight") == 0 && !ResumeFight()) return false;
    const double ms = MedianFrameMs(frames);
    std::printf("frame %s %dx%d: %.1f frames/s (%.3f ms/frame, %d threads, %.1f full-screen fills of %.3f ms)\n",
                view, g_w, g_h, 1000.0 / ms, ms, host::RasterThreads(), ms / fill, fill);
    std::fflush(stdout);
    return true;
}

// Puts the level in the state the view is drawn in (the views follow each other in this order).
bool PrepareView(const char* view) {
    if (std::strcmp(view, "taskforce") == 0) return FollowTaskForce();
    if (std::strcmp(view, "cockpit") == 0) return EnterJeep();
    if (std::strcmp(view, "fight") == 0) return StartFight() && ResumeFight();
    return true;
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
        if (std::strcmp(argv[i], "--cpu") == 0) rasterbench::g_cpuTime = singleOnly = true;
        if (std::strcmp(argv[i], "--no-counts") == 0) counts = false;
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            onlyThreads = std::max(0, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
        if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) picture = argv[++i];
        if (std::strcmp(argv[i], "--general") == 0) host::ForceGeneralShader(true);
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &g_w, &g_h) != 2 || g_w < 64 || g_h < 64 || g_w > 4096 ||
                g_h > 4096) {
                std::fprintf(stderr, "bench_frame: --size takes WxH (64x64 to 4096x4096)\n");
                return 1;
            }
        }
    }
    if (!BuildLevel()) {
        std::fprintf(stderr, "bench_frame: the demo level could not be built\n");
        return 1;
    }
    const bool all = !singleOnly && std::thread::hardware_concurrency() > 1;
    for (const char* view : {"first", "taskforce", "cockpit", "fight"}) {
        if (!PrepareView(view)) {
            std::fprintf(stderr, "bench_frame: the %s view could not be set up\n", view);
            return 1;
        }
        if (only && std::strcmp(only, view) != 0) continue;
        if (counts) PrintCounts(view);
        bool ran = true;
        if (onlyThreads >= 0) {
            ran = RunView(view, onlyThreads, frames);
        } else {
            ran = RunView(view, 1, frames) && (!all || RunView(view, 0, frames));
        }
        if (!ran) return 1;
        if (picture) WritePicture(std::string(picture) + "_" + view + ".bmp");
    }
    return 0;
}
