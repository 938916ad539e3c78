// View rendering: frames per second of a 17 x 17-tile board of rolling hills around lakes, drawn at
// 800 x 600 through RenderView from a fixed camera path (a slow arc over the board), headless, once on
// one rasterizer thread and once on all of them. Each frame clears colour and z, draws the view (water
// surface and terrain with geomorphing, fog and vertex lighting) and waits for every pixel.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "host/Gfx.h"
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

}  // namespace

int main(int argc, char** argv) {
    int frames = 60;
    bool singleOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--single") == 0) singleOnly = true;
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
    }
    const int32_t dir[3] = {12000, 28000, 11000}, colour[3] = {1100, 1050, 950};
    SunLight = CreateDirLight(0, 0, 0);
    SetDirLight(SunLight, dir, colour);
    SkyFogColour[0] = 64, SkyFogColour[1] = 80, SkyFogColour[2] = 112;
    LevelWaterColour[0] = 40, LevelWaterColour[1] = 90, LevelWaterColour[2] = 160;
    Run(1, frames);
    if (!singleOnly && std::thread::hardware_concurrency() > 1) Run(0, frames);
    FreeDirLight(SunLight);
    SunLight = nullptr;
    return 0;
}
