// A small terrain scene for the view tests: a software device with a z-buffer and the game's resting
// render states, a hand-made scape board of rolling hills around a lake, a sun and a viewport looking
// over it. Everything it changes of the process is put back when it goes.
#pragma once

#include <cmath>
#include <cstring>
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

namespace kvtest {

// Height of the test terrain at a grid point (16 per tile), in height units (8 world units).
inline int16_t HillHeight(int gx, int gz) {
    double x = gx / 16.0, z = gz / 16.0;
    double h = 3600.0 * std::sin(x * 0.9) * std::cos(z * 0.7) + 1500.0 * std::sin(z * 1.7 + 1.0) + 1200.0;
    return static_cast<int16_t>(h);
}

// Fills every inner cell of the board with the hills, water level 300, and computes the bounds.
inline void FillHillBoard(ScapeBoard* b) {
    for (int row = 0; row < b->height; ++row)
        for (int column = 0; column < b->width; ++column) {
            TileCell* cell = BoardCell(b, column, row);
            cell->waterLevel = 300;
            for (int j = 0; j < 16; ++j)
                for (int i = 0; i < 16; ++i) {
                    BoardVertex& v = cell->vertices[j * 16 + i];
                    int gx = (b->originColumn + column) * 16 + i, gz = (b->originRow + row) * 16 + j;
                    v.height = HillHeight(gx, gz);
                    v.flags = kVertexSurface;
                    bool rock = v.height > 4000;
                    v.baseRed = rock ? 150 : 70;
                    v.baseGreen = rock ? 140 : 150;
                    v.baseBlue = rock ? 130 : 60;
                    v.landStamp = v.waterStamp = static_cast<uint16_t>(ViewStamp - 1);
                    v.cellStamp = static_cast<uint8_t>(CellStamp - 1);
                }
            SetBoardTile(b, column, row, cell, nullptr);
        }
    for (int row = 0; row < b->height; ++row)
        for (int column = 0; column < b->width; ++column) ComputeCellBounds(b, column, row);
}

// Lowers every vertex of the board well below the water level (300): open sea.
inline void SinkBoard(ScapeBoard* b) {
    for (int row = 0; row < b->height; ++row)
        for (int column = 0; column < b->width; ++column)
            for (int k = 0; k < kCellVertices; ++k) BoardCell(b, column, row)->vertices[k].height = -800;
    for (int row = 0; row < b->height; ++row)
        for (int column = 0; column < b->width; ++column) ComputeCellBounds(b, column, row);
}

// A camera orientation: heading 0 (looking along +z), pitched down by the angle (radians).
inline FixMatrix PitchedDown(double pitch) {
    int32_t c = static_cast<int32_t>(std::cos(pitch) * 32768), s = static_cast<int32_t>(std::sin(pitch) * 32768);
    return FixMatrix{{32768, 0, 0, 0, c, s, 0, -s, c}};
}

class TerrainScene {
public:
    TerrainScene(int width, int height, int boardSize = 9) {
        saved_ = {D3DDevice, BackBuffer, ZBufferSurface, SurfaceWidth, SurfaceHeight, ScreenHeightF, SunLight,
                  ViewPortCount, MainViewPort, ViewStamp, CellStamp};
        std::memcpy(savedTable_, ViewPortTable, sizeof savedTable_);
        target_ = host::CreateSurface(width, height, host::PixelFormat::XRGB8888, host::SurfaceKind::RenderTarget,
                                      false);
        z_ = host::CreateSurface(width, height, host::PixelFormat::Z24, host::SurfaceKind::ZBuffer, false);
        host::AttachZBuffer(target_, z_);
        device_ = host::CreateDevice(host::DeviceKind::Software, target_);
        D3DDevice = device_;
        BackBuffer = target_;
        ZBufferSurface = z_;
        SurfaceWidth = width;
        SurfaceHeight = height;
        ScreenHeightF = static_cast<float>(height);
        using host::RenderState;
        host::SetRenderState(device_, RenderState::CullMode, host::GfxCullNone);
        host::SetRenderState(device_, RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::One));
        host::SetRenderState(device_, RenderState::DestBlend, static_cast<uint32_t>(host::BlendFactor::One));
        RenderMode = 5;
        DetailLevel = 3;
        const int32_t dir[3] = {12000, 28000, 11000}, colour[3] = {1100, 1050, 950};
        sun_ = CreateDirLight(0, 0, 0);
        SetDirLight(sun_, dir, colour);
        SunLight = sun_;
        std::memcpy(savedSky_, SkyFogColour, 3);
        SkyFogColour[0] = 64, SkyFogColour[1] = 80, SkyFogColour[2] = 112;
        board_ = CreateScapeBoard(boardSize, boardSize, boardSize / 2, 0, 0);
        FillHillBoard(board_);
        std::memset(&vp_, 0, sizeof vp_);
        vp_.right = width;
        vp_.bottom = height;
        vp_.centreX = width / 2;
        vp_.centreY = height / 2;
        vp_.focal[0] = vp_.focal[1] = width / 2;
        vp_.boardRadius = boardSize / 2;
        vp_.colour[0] = vp_.colour[1] = vp_.colour[2] = 20;
        vp_.sharesMainBoards = 1;  // the board is filled by hand, not scrolled over a terrain
        vp_.board = board_;
        vp_.follows = nullptr;
        MainViewPort = &vp_;  // the scene's view is the main view: no tint over it
        const int32_t lod[4] = {300000, 150000, 90000, 60000};
        std::memcpy(vp_.lod, lod, sizeof lod);
        std::memcpy(vp_.morph, lod, sizeof lod);
        SetCamera({4 * 65536 + 20000, 7000 * 8, 65536}, PitchedDown(0.35));
    }
    ~TerrainScene() {
        FreeScapeBoard(board_);
        FreeDirLight(sun_);
        host::DeleteDevice(device_);
        host::DeleteSurface(target_);
        host::DeleteSurface(z_);
        D3DDevice = saved_.device;
        BackBuffer = saved_.back;
        ZBufferSurface = saved_.z;
        SurfaceWidth = saved_.w;
        SurfaceHeight = saved_.h;
        ScreenHeightF = saved_.hf;
        SunLight = saved_.sun;
        std::memcpy(SkyFogColour, savedSky_, 3);
        ViewPortCount = saved_.count;
        MainViewPort = saved_.main;
        ViewStamp = saved_.stamp;
        CellStamp = saved_.cellStamp;
        std::memcpy(ViewPortTable, savedTable_, sizeof savedTable_);
    }
    void SetCamera(FixVec eye, FixMatrix m) {
        vp_.cameraPos = eye;
        vp_.view = m;
    }
    // Clears the target and the depth and draws the view.
    void Draw() {
        host::Clear(device_, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0xFF405070u, 1.0f, 0);
        AdvanceViewStamp();
        RenderView(&vp_, 0);
        host::FinishDrawing(device_);
    }
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> p;
        for (int y = 0; y < SurfaceHeight; ++y)
            for (int x = 0; x < SurfaceWidth; ++x) p.push_back(host::ReadPixelArgb(target_, x, y) & 0xFFFFFF);
        return p;
    }
    ScapeBoard* board() { return board_; }
    // Draws this board instead of the hills (the scene frees it).
    void UseBoard(ScapeBoard* b) {
        FreeScapeBoard(board_);
        board_ = b;
        vp_.board = b;
    }
    ViewPort* viewport() { return &vp_; }
    host::GfxDevice* device() { return device_; }

private:
    struct Saved {
        host::GfxDevice* device;
        host::GfxSurface *back, *z;
        int32_t w, h;
        float hf;
        DirLight* sun;
        int32_t count;
        ViewPort* main;
        uint16_t stamp;
        uint8_t cellStamp;
    } saved_;
    ViewPort* savedTable_[kMaxViewPorts];
    uint8_t savedSky_[3];
    host::GfxSurface *target_, *z_;
    host::GfxDevice* device_;
    DirLight* sun_;
    ScapeBoard* board_;
    ViewPort vp_;
};

}  // namespace kvtest
