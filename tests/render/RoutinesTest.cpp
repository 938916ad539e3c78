// Lights, the terrain cell routines, the sky routines and the special routines, drawn into a small
// software device.
#include <gtest/gtest.h>

#include <cstring>

#include "host/Gfx.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "ai/Clan.h"
#include "objects/UnitShare.h"
#include "render/CellRoutines.h"
#include "render/Light.h"
#include "render/RenderTables.h"
#include "render/ScapeBoard.h"
#include "render/Sky.h"
#include "render/SkyRoutines.h"
#include "render/SpecialRoutines.h"
#include "render/Terrain.h"
#include "support/MemTrack.h"
#include "world/Construct.h"
#include "world/TickCounter.h"
#include "support/TextDevice.h"

namespace {

// A small device with the game's resting states: no culling, additive blend factors.
struct Dev : kvtest::TextDevice {
    float savedHeight = ScreenHeightF;
    ~Dev() { ScreenHeightF = savedHeight; }
    Dev(int w, int h) : TextDevice(w, h) {
        ScreenHeightF = static_cast<float>(h);
        host::SetRenderState(device(), host::RenderState::CullMode, host::GfxCullNone);
        host::SetRenderState(device(), host::RenderState::SrcBlend, static_cast<uint32_t>(host::BlendFactor::One));
        host::SetRenderState(device(), host::RenderState::DestBlend, static_cast<uint32_t>(host::BlendFactor::One));
    }
};

// ---- Lights ------------------------------------------------------------------------------------------

struct ActiveListGuard {
    ~ActiveListGuard() {
        while (ActiveLightCount) RemoveActiveLight(ActiveLights[0]);
    }
};

TEST(Lights, ActiveListKeepsTwoHundredAndFillsGapsFromTheEnd) {
    ActiveListGuard guard;
    PointLight* lights[201];
    for (auto& l : lights) l = CreatePointLight();
    for (int i = 0; i < 200; ++i) AddActiveLight(lights[i], 1);
    EXPECT_EQ(ActiveLightCount, 200);
    lights[200]->kind = 7;
    AddActiveLight(lights[200], 1);
    EXPECT_EQ(ActiveLightCount, 200);
    EXPECT_EQ(lights[200]->kind, 7);
    EXPECT_EQ(IsActiveLight(lights[200]), 0);
    // Removing the first moves the last into its place.
    RemoveActiveLight(lights[0]);
    EXPECT_EQ(ActiveLights[0], lights[199]);
    EXPECT_EQ(ActiveLightCount, 199);
    RemoveActiveLight(lights[0]);  // absent: nothing happens
    EXPECT_EQ(ActiveLightCount, 199);
    // Freeing an active light takes it out of the list; an inactive one is only freed.
    FreePointLight(lights[5]);
    EXPECT_EQ(ActiveLightCount, 198);
    FreePointLight(lights[0]);
    FreePointLight(nullptr);
    EXPECT_EQ(ActiveLightCount, 198);
    for (int i = 1; i < 201; ++i)
        if (i != 5) FreePointLight(lights[i]);
    EXPECT_EQ(ActiveLightCount, 0);
}

TEST(Lights, DefaultsAndCopies) {
    PointLight* l = CreatePointLight();
    EXPECT_EQ(l->rangeShift, 8);
    EXPECT_EQ(l->objPos[1], 15000);
    EXPECT_EQ(l->colour[0], 256);
    Plt* palette = reinterpret_cast<Plt*>(&l);  // any non-null pointer: the copy shares it
    l->palette = palette;
    l->pos[2] = 77;
    PointLight* c = CopyPointLight(l);
    EXPECT_EQ(c->palette, palette);
    EXPECT_EQ(c->pos[2], 77);
    FreePointLight(c);
    FreePointLight(l);
    const int32_t dir[3] = {0, 32768, 0}, col[3] = {1, 2, 3};
    DirLight* sun = CreateDirLight(9, 8, 7);
    EXPECT_EQ(sun->colour[2], 7);
    SetDirLight(sun, dir, col);
    EXPECT_EQ(sun->dir[1], 32768);
    EXPECT_EQ(sun->colour[1], 2);
    FreeDirLight(sun);
}

// ---- Terrain cell routines -----------------------------------------------------------------------

struct Corner {
    BoardVertex v{};
    TerrainCornerRef ref{};
    Corner(float x, float y, float z, int16_t height, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0, uint8_t flags = 8) {
        v.height = height;
        v.flags = flags;
        v.screen = {x, y, z};
        v.mirror = {x, y, z};
        v.colour[0] = v.mirrorColour[0] = r;
        v.colour[1] = v.mirrorColour[1] = g;
        v.colour[2] = v.mirrorColour[2] = b;
        ref.vertex = &v;
        ref.z = 1000;
    }
};

struct Counts {
    float calls, triangles;
};

Counts Draw(CellRoutine r, Corner& a, Corner& b, Corner& c, Corner* d) {
    DrawCallCount = 0;
    TriangleCount = 0;
    r(&a.ref, &b.ref, &c.ref, d ? &d->ref : nullptr);
    return {DrawCallCount, TriangleCount};
}

TEST(CellRoutines, TrianglesAreKeptByDepthWaterMarkAndWinding) {
    Dev dev(64, 64);
    CellWaterLevel = 10;
    // A quad whose (a, b, c) winds with cross >= 0 on the bottom-up screen: a (10, 10), b (50, 10), c (50, 50).
    struct Case {
        const char* name;
        CellRoutine routine;
        int16_t height;   // of every corner
        uint8_t flags;    // of every corner
        float dz;         // screen z of d
        bool withD;
        float triangles;  // expected
        int vertices;     // vertex count of the draw (0 none)
    } cases[] = {
        {"land quad", DrawLandCell, 20, 8, 0.5f, true, 2, 4},
        {"land: fourth corner behind the eye", DrawLandCell, 20, 8, -1.0f, true, 1, 3},
        {"land: null fourth corner", DrawLandCell, 20, 8, 0.5f, false, 1, 3},
        {"land: all under water", DrawLandCell, 5, 8, 0.5f, true, 0, 0},
        {"land: under water but morphed counts as land", DrawLandCell, 5, 4, 0.5f, true, 2, 4},
        {"marked land: unmarked", DrawMarkedLandCell, 20, 0, 0.5f, true, 0, 0},
        {"marked land: single triangle as a list", DrawMarkedLandCell, 20, 8, 0.5f, false, 1, 3},
        {"marked: under water and marked", DrawMarkedCell, 5, 8, 0.5f, true, 0, 0},  // opposite winding
        {"mirrored: opposite winding", DrawLandCellMirrored, 20, 8, 0.5f, true, 0, 0},
        {"nothing", DrawCellNothing, 20, 8, 0.5f, true, 0, 0},
    };
    for (const Case& c : cases) {
        Corner a(10, 10, 0.5f, c.height, 0, 0, 0, c.flags), b(50, 10, 0.5f, c.height, 0, 0, 0, c.flags),
            cc(50, 50, 0.5f, c.height, 0, 0, 0, c.flags), d(10, 50, c.dz, c.height, 0, 0, 0, c.flags);
        LastVertexCount = 0;
        Counts n = Draw(c.routine, a, b, cc, c.withD ? &d : nullptr);
        EXPECT_EQ(n.triangles, c.triangles) << c.name;
        if (c.vertices) EXPECT_EQ(LastVertexCount, c.vertices) << c.name;
        else EXPECT_EQ(n.calls, 0) << c.name;
    }
    // With the corners mirrored on the screen the marked and mirrored routines draw what land rejects.
    Corner a(10, 10, 0.5f, 5), b(10, 50, 0.5f, 5), c(50, 50, 0.5f, 5), d(50, 10, 0.5f, 5);
    EXPECT_EQ(Draw(DrawMarkedCell, a, b, c, &d).triangles, 2);
    EXPECT_EQ(Draw(DrawLandCell, a, b, c, &d).triangles, 0);
    CellWaterLevel = 0;
}

TEST(CellRoutines, OnlyTheSecondTriangleIsDrawnAsDAC) {
    Dev dev(64, 64);
    CellWaterLevel = 10;
    // (a, b, c) all under water, d above: the first triangle fails the water test, the second passes.
    Corner a(10, 10, 0.5f, 5), b(50, 10, 0.5f, 5), c(50, 50, 0.5f, 5), d(10, 50, 0.5f, 20);
    Counts n = Draw(DrawLandCell, a, b, c, &d);
    EXPECT_EQ(n.triangles, 1);
    EXPECT_EQ(LastVertexCount, 3);
    CellWaterLevel = 0;
}

TEST(CellRoutines, OutlineWeightsTheThirdCornerTwice) {
    Dev dev(64, 64);
    Corner a(10, 10, 0.5f, 0, 0), b(50, 10, 0.5f, 0, 0), c(50, 50, 0.5f, 0, 255);
    Draw(DrawCellOutline, a, b, c, nullptr);
    EXPECT_EQ(LastPrimitiveType, kPrimLineStrip);
    EXPECT_EQ(ScratchVertices[0].diffuse, 0xFF7F0000u);
    EXPECT_EQ(ScratchVertices[3].x, ScratchVertices[0].x);  // closed: a, b, c, a
}

TEST(CellRoutines, LandCellDrawsPerCornerColoursIntoTheTarget) {
    Dev dev(64, 64);
    Corner a(8, 8, 0.5f, 20, 255, 0, 0), b(56, 8, 0.5f, 20, 255, 0, 0), c(56, 56, 0.5f, 20, 255, 0, 0),
        d(8, 56, 0.5f, 20, 255, 0, 0);
    FogSpecular = 0xFF000000u;
    Draw(DrawLandCell, a, b, c, &d);
    host::FinishDrawing(dev.device());
    EXPECT_EQ(host::ReadPixelArgb(dev.target(), 32, 32) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(host::ReadPixelArgb(dev.target(), 2, 2) & 0xFFFFFF, 0u);
}

// ---- Sky routines ------------------------------------------------------------------------------

TEST(SkyRoutines, FlatOutlineAndShadedQuads) {
    Dev dev(64, 64);
    SkyVertex v[4] = {{0, 0, 0.5f, 40, 0, 0, 0, 0},
                      {64, 0, 0.5f, 0, 80, 0, 0, 0},
                      {64, 64, 0.5f, 0, 0, 120, 0, 0},
                      {0, 64, 0.5f, 0, 0, 0, 0, 0}};
    SkyVertex* c[4] = {&v[0], &v[1], &v[2], &v[3]};
    DrawSkyQuadFlat(c);
    EXPECT_EQ(LastVertexCount, 4);
    EXPECT_EQ(LastPrimitiveType, kPrimTriangleStrip);
    host::FinishDrawing(dev.device());
    EXPECT_EQ(host::ReadPixelArgb(dev.target(), 10, 50) & 0xFFFFFF, 0x0A141Eu);  // one average colour
    EXPECT_EQ(host::ReadPixelArgb(dev.target(), 50, 10) & 0xFFFFFF, 0x0A141Eu);
    DrawSkyQuadOutline(c);
    EXPECT_EQ(LastVertexCount, 5);
    EXPECT_EQ(LastPrimitiveType, kPrimLineStrip);
    uint32_t z = host::GetRenderState(dev.device(), host::RenderState::ZEnable);
    DrawSkyQuadShaded(c);
    EXPECT_EQ(host::GetRenderState(dev.device(), host::RenderState::ZEnable), z);
}

TEST(SkyRoutines, TexturedQuadLeavesTheRestingStates) {
    Dev dev(64, 64);
    SkyCorner k[4] = {{0, 0, 0.5f, 255, 255, 255, 255},
                      {64, 0, 0.5f, 255, 255, 255, 255},
                      {64, 64, 0.5f, 255, 255, 255, 255},
                      {0, 64, 0.5f, 255, 255, 255, 255}};
    SkyCorner* c[4] = {&k[0], &k[1], &k[2], &k[3]};
    const float uv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    SkyLayer layer{nullptr};
    DrawSkyTextureQuad(&layer, c, uv);
    EXPECT_EQ(LastPrimitiveType, kPrimTriangleFan);
    EXPECT_EQ(host::GetRenderState(dev.device(), host::RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(host::GetTextureStageState(dev.device(), 0, host::StageState::ColorOp),
              static_cast<uint32_t>(host::TextureOp::SelectArg1));
    EXPECT_EQ(host::GetTexture(dev.device(), 0), nullptr);
}

// ---- Special routines ----------------------------------------------------------------------------

TEST(SpecialRoutines, DiscStarAndBrackets) {
    Dev dev(64, 64);
    const float centre[3] = {32, 32, 0.5f};
    const uint8_t rgb[3] = {1, 2, 3};
    DrawFilledDisc(centre, 0, rgb);  // radius 0: still its 14 coincident rim points
    EXPECT_EQ(LastVertexCount, 14);
    EXPECT_EQ(LastPrimitiveType, kPrimTriangleFan);
    struct {
        int brightness, points;
    } stars[] = {{32, 1}, {33, 5}, {255, 1 + 4 * 7}, {0, 1}};
    for (auto s : stars) {
        DrawStarPoint(centre, s.brightness);
        EXPECT_EQ(LastVertexCount, s.points) << s.brightness;
    }
    EXPECT_EQ(ScratchVertices[0].diffuse >> 24, 0u);  // the star's centre has no alpha byte
    EXPECT_EQ(host::GetRenderState(dev.device(), host::RenderState::AlphaBlendEnable), 0u);
    DrawUnitBrackets(nullptr, 32, 32, 7);  // half size below 8: ticks of length 0
    EXPECT_EQ(LastVertexCount, 16);
    EXPECT_EQ(LastPrimitiveType, kPrimLineList);
    EXPECT_EQ(ScratchVertices[8].y, ScratchVertices[9].y);
    EXPECT_EQ(ScratchVertices[0].diffuse, 0xFF00D880u);
}

// The brackets of a unit of the player's clan carry its group key, its threat count and "stealth mode"
// (steady with both stealth bytes set, blinking with one); other clans' units get the lines alone. Each
// drawn character is one draw call.
UnitShare BracketRecord;
uintptr_t BracketUnit_itfc(construct*, ItfcMethod method, uintptr_t) {
    return method == ItfcMethod::GETUNIT ? reinterpret_cast<uintptr_t>(&BracketRecord) : 0;
}

TEST(SpecialRoutines, BracketsOfTheOwnClanCarryTheirLabels) {
    Dev dev(64, 64);
    Clan own{}, other{};
    Clan* savedPlayer = PlayerClan;
    const uint32_t savedTick = FrameCounter;
    PlayerClan = &own;
    construct unit{};
    unit.itfc = BracketUnit_itfc;
    struct Case {
        const char* name;
        Clan* clan;
        uint8_t group;
        int32_t threats;
        uint8_t engaged, wanted;
        uint32_t tick;
        int glyphs;  // characters drawn besides the bracket lines
    } cases[] = {
        {"another clan", &other, 0, 3, 1, 1, 0, 0},
        {"group key only", &own, 0, 0, 0, 0, 0, 1},
        {"group 14 is T", &own, 14, 0, 0, 0, 0, 1},
        {"groups 15 to 30 have an empty key", &own, 20, 0, 0, 0, 0, 0},
        {"past 30 no key", &own, 31, 0, 0, 0, 0, 0},
        {"threat count", &own, 2, 12, 0, 0, 0, 1 + 2},
        {"stealth engaged and wanted", &own, 2, 0, 1, 1, 16, 1 + 12},
        {"one stealth byte, blink off", &own, 2, 0, 1, 0, 16, 1},
        {"one stealth byte, blink on", &own, 2, 0, 0, 1, 32, 1 + 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unit.clan = c.clan;
        unit.bytes2[0] = c.group;
        BracketRecord = UnitShare{};
        BracketRecord.threatCount = c.threats;
        BracketRecord.stateFlag = c.engaged;
        BracketRecord.driveMode = c.wanted;
        FrameCounter = c.tick;
        DrawCallCount = 0.0f;
        DrawUnitBrackets(&unit, 32, 32, 16);
        EXPECT_EQ(int(DrawCallCount), 1 + c.glyphs);
    }
    // The threat count is drawn in its own colour.
    unit.clan = &own;
    BracketRecord = UnitShare{};
    BracketRecord.threatCount = 2;
    DrawUnitBrackets(&unit, 32, 32, 16);
    EXPECT_EQ(CurrentColour, 0x00FF8080u);
    PlayerClan = savedPlayer;
    FrameCounter = savedTick;
}

TEST(SpecialRoutines, FilledRectBlendsOnlyWhenTranslucent) {
    Dev dev(64, 64);
    const uint8_t opaque[4] = {255, 0, 0, 255}, half[4] = {0, 255, 0, 128};
    DrawFilledRect(opaque, 0, 0, 32, 32);
    host::FinishDrawing(dev.device());
    EXPECT_EQ(host::ReadPixelArgb(dev.target(), 10, 50) & 0xFFFFFF, 0xFF0000u);  // bottom-up
    EXPECT_EQ(host::ReadPixelArgb(dev.target(), 10, 10) & 0xFFFFFF, 0u);
    // Alpha from the diffuse colour, as the front end's transitions draw it.
    host::SetTextureStageState(dev.device(), 0, host::StageState::AlphaOp, static_cast<uint32_t>(host::TextureOp::SelectArg1));
    host::SetTextureStageState(dev.device(), 0, host::StageState::AlphaArg1, host::GfxTaDiffuse);
    DrawFilledRect(half, 0, 0, 32, 32);
    host::FinishDrawing(dev.device());
    uint32_t p = host::ReadPixelArgb(dev.target(), 10, 50);
    EXPECT_GT((p >> 8) & 0xFF, 100u);
    EXPECT_GT((p >> 16) & 0xFF, 100u);
    EXPECT_EQ(host::GetRenderState(dev.device(), host::RenderState::AlphaBlendEnable), 0u);
}

TEST(SpecialRoutines, BlitOutsideOrTouchingTheClipRectangleIsSkipped) {
    Dev dev(64, 64);
    host::GfxSurface* s = host::CreateSurface(8, 8, host::PixelFormat::XRGB8888, host::SurfaceKind::OffscreenPlain, false);
    host::ColourFill(s, nullptr, 0xFF00FF00u);
    Bitmap bm{8, 8, s};
    ClipRect = {0, 64, 0, 64};
    struct {
        int x, y;
        bool drawn;
    } cases[] = {{64, 10, false}, {-8, 10, false}, {10, -8, false}, {10, 64, false}, {10, 10, true}, {-4, 10, true}};
    for (auto c : cases) {
        dev.Clear();
        BlitClipped(&bm, c.x, c.y);
        bool any = false;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) any = any || dev.Lit(x, y);
        EXPECT_EQ(any, c.drawn) << c.x << "," << c.y;
    }
    // Cut at the left edge: the visible part starts at column 0.
    dev.Clear();
    BlitClipped(&bm, -4, 10);
    EXPECT_TRUE(dev.Lit(0, 64 - 18));
    EXPECT_TRUE(dev.Lit(3, 64 - 18));
    EXPECT_FALSE(dev.Lit(4, 64 - 18));
    host::DeleteSurface(s);
}

}  // namespace
