// View rendering: frames per second of a 17 x 17-tile board of rolling hills around lakes, drawn at
// 800 x 600 through RenderView from a fixed camera path (a slow arc over the board), headless, once on
// one rasterizer thread and once on all of them. Each frame clears colour and z, draws the view (water
// surface and terrain with geomorphing, fog and vertex lighting) and waits for every pixel.
//
// Then the demo island with 200 placed objects (boxes of flat-lit, Gouraud, vertex-coloured and
// textured faces, some translucent) in view around the camp, the camera turning slowly over them: the
// same frame with construct collection, transform, lighting, sorting and the object routines.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/Fs.h"
#include "host/Gfx.h"
#include "objects/Units.h"
#include "core/Memory.h"
#include "tests/render/ObjectScene.h"
#include "tests/support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/Startup.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "platform/Dxgl.h"
#include "render/Light.h"
#include "render/RenderTables.h"
#include "render/ScapeBoard.h"
#include "render/Sky.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "render/Viewport.h"

namespace {

constexpr int kW = 800, kH = 600, kBoard = 17;

int16_t Height(int gx, int gz) {
    double x = gx / 16.0, z = gz / 16.0;
    return static_cast<int16_t>(3600.0 * std::sin(x * 0.9) * std::cos(z * 0.7) + 1500.0 * std::sin(z * 1.7 + 1.0) +
                                1200.0);
}

void FillBoard(ScapeBoard* b) {
    for (int row = 0; row < b->height; ++row)
        for (int column = 0; column < b->width; ++column) {
            TileCell* cell = BoardCell(b, column, row);
            cell->waterLevel = 300;
            for (int k = 0; k < 256; ++k) {
                BoardVertex& v = cell->vertices[k];
                v.height = Height(column * 16 + (k & 15), row * 16 + (k >> 4));
                v.flags = kVertexSurface;
                v.baseRed = 70, v.baseGreen = 150, v.baseBlue = 60;
            }
            SetBoardTile(b, column, row, cell, nullptr);
        }
    for (int row = 0; row < b->height; ++row)
        for (int column = 0; column < b->width; ++column) ComputeCellBounds(b, column, row);
}

struct Scene {
    host::GfxSurface *colour, *depth;
    host::GfxDevice* device;
    ScapeBoard* board;
    ViewPort vp;
};

void MakeScene(Scene& s) {
    s.colour = host::CreateSurface(kW, kH, host::PixelFormat::XRGB8888, host::SurfaceKind::RenderTarget, true);
    s.depth = host::CreateSurface(kW, kH, host::PixelFormat::Z24, host::SurfaceKind::ZBuffer, true);
    host::AttachZBuffer(s.colour, s.depth);
    s.device = host::CreateDevice(host::DeviceKind::Hardware, s.colour);
    D3DDevice = s.device;
    BackBuffer = s.colour;
    ZBufferSurface = s.depth;
    SurfaceWidth = kW;
    SurfaceHeight = kH;
    ScreenHeightF = kH;
    host::SetRenderState(s.device, host::RenderState::CullMode, host::GfxCullNone);
    host::SetRenderState(s.device, host::RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::One));
    host::SetRenderState(s.device, host::RenderState::DestBlend, static_cast<uint32_t>(host::BlendFactor::One));
    RenderMode = 5;
    DetailLevel = 3;
    s.board = CreateScapeBoard(kBoard, kBoard, kBoard / 2, 0, 0);
    FillBoard(s.board);
    std::memset(&s.vp, 0, sizeof s.vp);
    s.vp.right = kW;
    s.vp.bottom = kH;
    s.vp.centreX = kW / 2;
    s.vp.centreY = kH / 2;
    s.vp.focal[0] = s.vp.focal[1] = kW / 2;
    s.vp.boardRadius = kBoard / 2;
    s.vp.colour[0] = s.vp.colour[1] = s.vp.colour[2] = 20;
    s.vp.sharesMainBoards = 1;
    s.vp.board = s.board;
    const int32_t lod[4] = {300000, 150000, 90000, 60000};
    std::memcpy(s.vp.lod, lod, sizeof lod);
    std::memcpy(s.vp.morph, lod, sizeof lod);
}

void FreeScene(Scene& s) {
    FreeScapeBoard(s.board);
    host::DeleteDevice(s.device);
    host::DeleteSurface(s.depth);
    host::DeleteSurface(s.colour);
    D3DDevice = nullptr;
    BackBuffer = nullptr;
    ZBufferSurface = nullptr;
}

// Camera k of the path: an arc around the board's centre, looking inward and pitched down.
void PlaceCamera(ViewPort& vp, int k) {
    double a = k * 0.01, centre = kBoard * 65536 / 2.0, r = 5.5 * 65536;
    vp.cameraPos = {static_cast<int32_t>(centre - r * std::sin(a)), 7000 * 8, static_cast<int32_t>(centre - r * std::cos(a))};
    // Forward (sin a cos p, -sin p, cos a cos p), right (cos a, 0, -sin a), up = forward x right turned.
    double p = 0.3, ca = std::cos(a), sa = std::sin(a), cp = std::cos(p), sp = std::sin(p);
    const double m[9] = {ca, 0, -sa, sa * sp, cp, ca * sp, sa * cp, -sp, ca * cp};
    for (int i = 0; i < 9; ++i) vp.view.m[i] = static_cast<int32_t>(m[i] * 32767);
}

double MedianFrameMs(Scene& s, int frames) {
    std::vector<double> times;
    for (int f = 0; f < frames + 1; ++f) {
        PlaceCamera(s.vp, f);
        auto t0 = std::chrono::steady_clock::now();
        host::Clear(s.device, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0xFF405070u, 1.0f, 0);
        AdvanceViewStamp();
        RenderView(&s.vp, 0);
        host::FinishDrawing(s.device);
        auto t1 = std::chrono::steady_clock::now();
        if (f > 0) times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Run(int threads, int frames) {
    host::SetRasterThreads(threads);
    Scene s;
    MakeScene(s);
    TriangleCount = 0;
    double ms = MedianFrameMs(s, frames);
    std::printf("view terrain: %.1f frames/s (%.3f ms/frame, %d threads, %.0f triangles/frame)\n", 1000.0 / ms, ms,
                host::RasterThreads(), TriangleCount / (frames + 1));
    std::fflush(stdout);
    FreeScene(s);
}

// ---- The demo island with 200 objects -------------------------------------------------------------

struct Island {
    kvtest::TempDir dir;
    construct* camera = nullptr;
    ConstructPool* pool = nullptr;
    std::vector<construct*> objects;
    host::GfxSurface* checker = nullptr;
    Tex tex{};
    mkdemo::DemoPlace camp{};
};

void MakeIsland(Island& is) {
    datakit::WriteFile(is.dir / "Maps/Ema01", mkdemo::DemoIslandWorld());
    host::SetWorkingDirectory(is.dir.path().c_str());
    host::FlushDirectoryCache();
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    // The island's action units name these entries; their types are not needed to read them.
    static bool units = false;
    if (!units)
        for (const char* name : {"EMAJeep", "GAJeep"}) CreateUnit()->name = qzStrDup(name, "unit name");
    units = true;
    LoadQZWD("Maps\\Ema01");
    is.camp = mkdemo::DemoIslandPlace("camp");
    is.camera = CreateConstruct(1, 0);
    is.camera->pos[0] = is.camp.x;
    is.camera->pos[2] = is.camp.z;
    is.pool = CreateConstructPool(256, "visible");
    VisiblePool = is.pool;
    is.checker = kvtest::CheckerSurface(64, 0xFFE0D0B0, 0xFF705030);
    is.tex.surface = is.checker;
    // 200 objects standing on the ground in the wedge the camera looks over, 1 to 6.5 tiles away.
    uint32_t seed = 7;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFF;
    };
    const uint8_t types[] = {1, 2, 3, 5, 6, 7};
    for (int i = 0; i < 200; ++i) {
        const uint8_t t = types[i % 6];
        const int32_t h = 1200 + int32_t(next() % 2400);
        Geom* g = kvtest::MakeBox(h, h + int32_t(next() % 3000), h, t, {uint8_t(120 + next() % 120), uint8_t(next() % 200), 90},
                                  t >= 5 ? &is.tex : nullptr);
        const double a = (next() / 65536.0 - 0.5) * 1.1, r = (1.0 + 5.5 * next() / 65536.0) * 65536;
        const int32_t x = is.camp.x + int32_t(r * std::sin(a)), z = is.camp.z + int32_t(r * std::cos(a));
        int32_t low = 0;
        for (auto& c : g->box.corners) low = std::min(low, c[1]);
        const int32_t at[3] = {x, 0, z};
        construct* c = kvtest::MakeObject(g, x, InterpGroundHeight(CurrentMatrix, at, nullptr) - low * 4, z);
        if (i % 10 == 9) c->opacity = 160;
        AppendToConstructPool(is.pool, c);
        is.objects.push_back(c);
    }
}

void FreeIsland(Island& is) {
    for (construct* c : is.objects) FreeConstruct(c);
    DeleteConstructPool(is.pool);
    VisiblePool = nullptr;
    FreeConstruct(is.camera);
    host::DeleteSurface(is.checker);
    FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    FreeQZWDKeptChunks();
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
}

// Camera k: above the camp, swinging slowly from side to side, pitched down over the objects.
void PlaceIslandCamera(ViewPort& vp, const Island& is, int k) {
    const double a = 0.2 * std::sin(k * 0.05), p = 0.35;
    const int32_t at[3] = {is.camp.x, 0, is.camp.z};
    vp.cameraPos = {is.camp.x, InterpGroundHeight(CurrentMatrix, at, nullptr) + 45000, is.camp.z};
    double ca = std::cos(a), sa = std::sin(a), cp = std::cos(p), sp = std::sin(p);
    const double m[9] = {ca, 0, -sa, sa * sp, cp, ca * sp, sa * cp, -sp, ca * cp};
    for (int i = 0; i < 9; ++i) vp.view.m[i] = static_cast<int32_t>(m[i] * 32767);
}

const char* PicturePath = nullptr;  // --picture: the island's last frame is written there as a BMP

void RunIsland(int threads, int frames) {
    host::SetRasterThreads(threads);
    Scene s;
    MakeScene(s);
    Island is;
    MakeIsland(is);
    FreeScapeBoard(s.board);
    s.board = CreateScapeBoard(kBoard, kBoard, kBoard / 2, 0, 0);
    s.board->followed = is.camera;
    UpdateScapeBoard(s.board, CurrentMatrix);
    s.vp.board = s.board;
    std::vector<double> times;
    TriangleCount = 0;
    for (int f = 0; f < frames + 1; ++f) {
        PlaceIslandCamera(s.vp, is, f);
        auto t0 = std::chrono::steady_clock::now();
        host::Clear(s.device, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0xFF405070u, 1.0f, 0);
        AdvanceViewStamp();
        RenderView(&s.vp, 0);
        host::FinishDrawing(s.device);
        auto t1 = std::chrono::steady_clock::now();
        if (f > 0) times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    if (PicturePath) {
        std::vector<uint32_t> px;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) px.push_back(host::ReadPixelArgb(s.colour, x, y) & 0xFFFFFF);
        datakit::WriteFile(PicturePath, datakit::Bmp24(kW, kH, px));
    }
    std::sort(times.begin(), times.end());
    const double ms = times[times.size() / 2];
    int drawn = 0;
    for (construct* c : is.objects) drawn += (c->flags & 0x400) != 0;
    std::printf("view island, 200 objects: %.1f frames/s (%.3f ms/frame, %d threads, %.0f triangles/frame, %d objects in view)\n",
                1000.0 / ms, ms, host::RasterThreads(), TriangleCount / (frames + 1), drawn);
    std::fflush(stdout);
    FreeIsland(is);
    FreeScene(s);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 60;
    bool singleOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--single") == 0) singleOnly = true;
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) PicturePath = argv[++i];
    }
    const int32_t dir[3] = {12000, 28000, 11000}, colour[3] = {1100, 1050, 950};
    SunLight = CreateDirLight(0, 0, 0);
    SetDirLight(SunLight, dir, colour);
    SkyFogColour[0] = 64, SkyFogColour[1] = 80, SkyFogColour[2] = 112;
    LevelWaterColour[0] = 40, LevelWaterColour[1] = 90, LevelWaterColour[2] = 160;
    Run(1, frames);
    if (!singleOnly && std::thread::hardware_concurrency() > 1) Run(0, frames);
    const std::string cwd = std::filesystem::current_path().string();
    RunIsland(1, frames);
    if (!singleOnly && std::thread::hardware_concurrency() > 1) RunIsland(0, frames);
    host::SetWorkingDirectory(cwd.c_str());
    FreeDirLight(SunLight);
    SunLight = nullptr;
    return 0;
}
