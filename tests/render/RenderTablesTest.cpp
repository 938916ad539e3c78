#include <gtest/gtest.h>

#include <cstring>

#include "render/CellRoutines.h"
#include "render/ObjectPoly.h"
#include "render/RenderTables.h"
#include "render/SkyRoutines.h"
#include "render/SpecialRoutines.h"
#include "support/Fatal.h"

namespace {

// Keeps the render mode, detail level and the marked-cell slot of the process as they were.
struct RenderStateGuard {
    int32_t mode = RenderMode, detail = DetailLevel;
    CellRoutine marked = MarkedCellRoutine;
    ~RenderStateGuard() {
        RenderMode = mode;
        DetailLevel = detail;
        MarkedCellRoutine = marked;
    }
};

void Install(int detail, int layered) {
    RenderMode = 5;
    DetailLevel = detail;
    InstallRenderRoutines(layered);
}

}  // namespace

TEST(InstallRenderRoutines, TerrainAndSkySlotsPerDetail) {
    RenderStateGuard guard;
    const struct {
        int detail;
        CellRoutine land, landLayered, marked, water;
        SkyQuadFn sky;
    } cases[] = {
        {0, DrawCellOutline, DrawCellOutline, DrawCellOutline, DrawCellOutline, DrawSkyQuadOutline},
        {1, DrawCellNothing, DrawCellNothing, DrawCellNothing, DrawCellOutline, DrawSkyQuadFlat},
        {2, DrawLandCell, DrawMarkedLandCell, DrawMarkedCell, DrawWaterCell, DrawSkyQuadShaded},
        {3, DrawLandCell, DrawMarkedLandCell, DrawMarkedCell, DrawWaterCell, DrawSkyQuadShaded},
    };
    for (const auto& c : cases) {
        Install(c.detail, 0);
        EXPECT_EQ(LandCellRoutine, c.land) << c.detail;
        EXPECT_EQ(WaterCellRoutine, c.water) << c.detail;
        EXPECT_EQ(SkyQuadRoutine, c.sky) << c.detail;
        Install(c.detail, 1);
        EXPECT_EQ(LandCellRoutine, c.landLayered) << c.detail;
        EXPECT_EQ(MarkedCellRoutine, c.marked) << c.detail;
        // The per-pass tables RenderView swaps in.
        const int k = RoutineTableIndex();
        EXPECT_EQ(k, 20 + c.detail);
        EXPECT_EQ(DarkWaterRoutineTable[k], c.detail >= 2 ? DrawDarkWaterCell : DrawCellOutline);
        EXPECT_EQ(MirrorRoutineTable[k], c.detail >= 2 ? DrawLandCellMirrored : DrawCellOutlineMirrored);
    }
}

TEST(InstallRenderRoutines, UnlayeredLeavesTheMarkedSlotAlone) {
    RenderStateGuard guard;
    Install(2, 1);
    ASSERT_EQ(MarkedCellRoutine, DrawMarkedCell);
    Install(0, 0);
    EXPECT_EQ(MarkedCellRoutine, DrawMarkedCell);
    EXPECT_EQ(LandCellRoutine, DrawCellOutline);
}

TEST(InstallRenderRoutines, ObjectSetsPerDetail) {
    RenderStateGuard guard;
    for (int detail = 0; detail < 4; ++detail) {
        Install(detail, 0);
        ASSERT_EQ(ObjectRoutines, &ObjectRoutineSetA[20 + detail]);
        ASSERT_EQ(ObjectRoutinesB, &ObjectRoutineSetB[20 + detail]);
        const ObjectPolyRoutine* a = ObjectRoutines->routine;
        const ObjectPolyRoutine* b = ObjectRoutinesB->routine;
        EXPECT_EQ(a[4], nullptr);
        EXPECT_EQ(b[4], nullptr);
        // Translucent faces use the same set at every detail.
        const ObjectPolyRoutine translucent[10] = {
            DrawPolyFlatAlpha, DrawPolyFlatLitAlpha,    DrawPolyGouraudAlpha,    DrawPolyVertexColourAlpha,
            nullptr,           DrawPolyTexFlatLitAlpha, DrawPolyTexGouraudAlpha, DrawPolyTexVertexColourAlpha,
            DrawPolyShadow,    DrawPolyGlowAlpha};
        for (int i = 0; i < 10; ++i) EXPECT_EQ(b[i], translucent[i]) << detail << " slot " << i;
        if (detail == 0) {
            for (int i = 0; i < 10; ++i) EXPECT_EQ(a[i], i == 4 ? nullptr : DrawPolyWire) << i;
            continue;
        }
        // Detail 1 draws the textured face types with the untextured routines of types 1 to 3.
        const ObjectPolyRoutine opaque[10] = {DrawPolyFlat,
                                              DrawPolyFlatLit,
                                              DrawPolyGouraud,
                                              DrawPolyVertexColour,
                                              nullptr,
                                              detail == 1 ? DrawPolyFlatLit : DrawPolyTexFlatLit,
                                              detail == 1 ? DrawPolyGouraud : DrawPolyTexGouraud,
                                              detail == 1 ? DrawPolyVertexColour : DrawPolyTexVertexColour,
                                              DrawPolyShadow,
                                              DrawPolyGlow};
        for (int i = 0; i < 10; ++i) EXPECT_EQ(a[i], opaque[i]) << detail << " slot " << i;
    }
}

TEST(InstallRenderRoutines, SpecialSlotsAndDetailTwoEqualsThree) {
    RenderStateGuard guard;
    Install(2, 1);
    const CellRoutine land2 = LandCellRoutine, marked2 = MarkedCellRoutine, water2 = WaterCellRoutine;
    const SkyQuadFn sky2 = SkyQuadRoutine;
    Install(3, 1);
    EXPECT_EQ(LandCellRoutine, land2);
    EXPECT_EQ(MarkedCellRoutine, marked2);
    EXPECT_EQ(WaterCellRoutine, water2);
    EXPECT_EQ(SkyQuadRoutine, sky2);
    EXPECT_EQ(0, memcmp(&ObjectRoutineSetA[22], &ObjectRoutineSetA[23], sizeof(ObjectRoutineSet)));
    EXPECT_EQ(DiscRoutine, DrawFilledDisc);
    EXPECT_EQ(FlareRoutine, DrawFlareQuad);
    EXPECT_EQ(StarRoutine, DrawStarPoint);
    EXPECT_EQ(FillRectRoutine, DrawFilledRect);
    EXPECT_EQ(UnitBracketRoutine, DrawUnitBrackets);
    EXPECT_EQ(ThreatMarkerRoutine, DrawThreatMarker);
    EXPECT_EQ(RadarMarkerRoutine, DrawRadarMarker);
    EXPECT_EQ(BlitRoutine, BlitClipped);
    EXPECT_EQ(SkyTextureQuadRoutine, DrawSkyTextureQuad);
}

TEST(RenderTables, OnlyModeFiveHasRoutines) {
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(LandRoutineTable[k], nullptr) << k;
        EXPECT_EQ(WaterRoutineTable[k], nullptr) << k;
        EXPECT_EQ(DarkWaterRoutineTable[k], nullptr) << k;
        EXPECT_EQ(MarkedLandRoutineTable[k], nullptr) << k;
        EXPECT_EQ(MarkedRoutineTable[k], nullptr) << k;
        EXPECT_EQ(MirrorRoutineTable[k], nullptr) << k;
        EXPECT_EQ(SkyRoutineTable[k], nullptr) << k;
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(ObjectRoutineSetA[k].routine[i], nullptr) << k;
            EXPECT_EQ(ObjectRoutineSetB[k].routine[i], nullptr) << k;
        }
    }
    for (int m = 0; m < 5; ++m) {
        EXPECT_EQ(DiscRoutineTable[m], nullptr);
        EXPECT_EQ(FlareRoutineTable[m], nullptr);
        EXPECT_EQ(StarRoutineTable[m], nullptr);
    }
}

TEST(InstallRenderRoutines, ModeOrDetailOutsideTheTablesIsFatal) {
    RenderStateGuard guard;
    kvtest::FatalCatcher catcher;
    const struct { int mode, detail; } cases[] = {{5, 4}, {5, -1}, {6, 0}, {-1, 3}};
    for (const auto& c : cases) {
        RenderMode = c.mode;
        DetailLevel = c.detail;
        EXPECT_THROW(InstallRenderRoutines(0), kvtest::FatalExit) << c.mode << "/" << c.detail;
    }
}

TEST(InitRenderMode, TakesTheSurfaceSizeAndSelectsModeFive) {
    RenderStateGuard guard;
    const int32_t w = SurfaceWidth, h = SurfaceHeight;
    SurfaceWidth = 800;
    SurfaceHeight = 600;
    RenderMode = 0;
    EXPECT_EQ(InitRenderMode(), 1);
    EXPECT_EQ(RenderMode, 5);
    EXPECT_EQ(ScreenWidth, 800);
    EXPECT_EQ(ScreenHeight, 600);
    EXPECT_EQ(DisplayWidth, 800);
    EXPECT_EQ(DisplayHeight, 600);
    SurfaceWidth = w;
    SurfaceHeight = h;
}
