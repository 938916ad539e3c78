// The render routine tables and their installer. Only render mode 5 has routines: the rows of modes 0 to
// 4 are empty and that mode is never selected.
#include "render/RenderTables.h"

#include <iterator>

#include "core/Memory.h"
#include "host/Gfx.h"
#include "render/CellRoutines.h"
#include "render/ObjectPoly.h"
#include "render/SkyRoutines.h"
#include "render/SpecialRoutines.h"
#include "render/View.h"

// The device reads ScratchVertices as its own vertex records.
static_assert(sizeof(ScreenVertex) == sizeof(host::GfxVertex));
static_assert(offsetof(ScreenVertex, rhw) == offsetof(host::GfxVertex, rhw));
static_assert(offsetof(ScreenVertex, specular) == offsetof(host::GfxVertex, specular));
static_assert(offsetof(ScreenVertex, tu1) == offsetof(host::GfxVertex, tu1));
static_assert(kScreenVertexFvf == host::kGfxVertexFormat);

ScreenVertex CurrentVertex;
ScreenVertex ScratchVertices[kScratchVertexCount];
int32_t LastPrimitiveType = 0;
int32_t LastVertexCount = 0;

int32_t RenderMode = 0;
int32_t DetailLevel = 0;

int32_t DisplayWidth = 0;
int32_t DisplayHeight = 0;

namespace {

// The do-nothing entry of the cell tables.
constexpr CellRoutine kNone = DrawCellNothing;

// A 24-entry table whose mode-5 row holds the routines of detail levels 0 to 3; the other rows are empty.
template <typename Fn>
constexpr std::array<Fn, kRoutineTableSize> ModeFiveRow(Fn d0, Fn d1, Fn d2, Fn d3) {
    std::array<Fn, kRoutineTableSize> table{};
    const int row = kRenderModeD3D * kDetailLevelCount;
    table[row + 0] = d0;
    table[row + 1] = d1;
    table[row + 2] = d2;
    table[row + 3] = d3;
    return table;
}

// A 6-entry table whose mode-5 entry holds the routine.
template <typename Fn>
constexpr std::array<Fn, kRenderModeCount> ModeFiveOnly(Fn routine) {
    std::array<Fn, kRenderModeCount> table{};
    table[kRenderModeD3D] = routine;
    return table;
}

constexpr ObjectRoutineSet kSetWire = {{DrawPolyWire, DrawPolyWire, DrawPolyWire, DrawPolyWire, nullptr,
                                        DrawPolyWire, DrawPolyWire, DrawPolyWire, DrawPolyWire,
                                        DrawPolyWire}};
constexpr ObjectRoutineSet kSetUntextured = {{DrawPolyFlat, DrawPolyFlatLit, DrawPolyGouraud,
                                              DrawPolyVertexColour, nullptr, DrawPolyFlatLit, DrawPolyGouraud,
                                              DrawPolyVertexColour, DrawPolyShadow, DrawPolyGlow}};
constexpr ObjectRoutineSet kSetTextured = {
    {DrawPolyFlat, DrawPolyFlatLit, DrawPolyGouraud, DrawPolyVertexColour, nullptr, DrawPolyTexFlatLit,
     DrawPolyTexGouraud, DrawPolyTexVertexColour, DrawPolyShadow, DrawPolyGlow}};
constexpr ObjectRoutineSet kSetTranslucent = {{DrawPolyFlatAlpha, DrawPolyFlatLitAlpha, DrawPolyGouraudAlpha,
                                               DrawPolyVertexColourAlpha, nullptr, DrawPolyTexFlatLitAlpha,
                                               DrawPolyTexGouraudAlpha, DrawPolyTexVertexColourAlpha,
                                               DrawPolyShadow, DrawPolyGlowAlpha}};

}  // namespace

const std::array<CellRoutine, kRoutineTableSize> LandRoutineTable =
    ModeFiveRow<CellRoutine>(DrawCellOutline, kNone, DrawLandCell, DrawLandCell);
const std::array<CellRoutine, kRoutineTableSize> WaterRoutineTable =
    ModeFiveRow<CellRoutine>(DrawCellOutline, DrawCellOutline, DrawWaterCell, DrawWaterCell);
const std::array<CellRoutine, kRoutineTableSize> DarkWaterRoutineTable =
    ModeFiveRow<CellRoutine>(DrawCellOutline, DrawCellOutline, DrawDarkWaterCell, DrawDarkWaterCell);
const std::array<CellRoutine, kRoutineTableSize> MarkedLandRoutineTable =
    ModeFiveRow<CellRoutine>(DrawCellOutline, kNone, DrawMarkedLandCell, DrawMarkedLandCell);
const std::array<CellRoutine, kRoutineTableSize> MarkedRoutineTable =
    ModeFiveRow<CellRoutine>(DrawCellOutline, kNone, DrawMarkedCell, DrawMarkedCell);
const std::array<CellRoutine, kRoutineTableSize> MirrorRoutineTable = ModeFiveRow<CellRoutine>(
    DrawCellOutlineMirrored, DrawCellOutlineMirrored, DrawLandCellMirrored, DrawLandCellMirrored);
const std::array<SkyQuadFn, kRoutineTableSize> SkyRoutineTable =
    ModeFiveRow<SkyQuadFn>(DrawSkyQuadOutline, DrawSkyQuadFlat, DrawSkyQuadShaded, DrawSkyQuadShaded);
const std::array<ObjectRoutineSet, kRoutineTableSize> ObjectRoutineSetA =
    ModeFiveRow<ObjectRoutineSet>(kSetWire, kSetUntextured, kSetTextured, kSetTextured);
const std::array<ObjectRoutineSet, kRoutineTableSize> ObjectRoutineSetB =
    ModeFiveRow<ObjectRoutineSet>(kSetTranslucent, kSetTranslucent, kSetTranslucent, kSetTranslucent);
const std::array<DiscFn, kRenderModeCount> DiscRoutineTable = ModeFiveOnly<DiscFn>(DrawFilledDisc);
const std::array<FlareFn, kRenderModeCount> FlareRoutineTable = ModeFiveOnly<FlareFn>(DrawFlareQuad);
const std::array<StarFn, kRenderModeCount> StarRoutineTable = ModeFiveOnly<StarFn>(DrawStarPoint);

CellRoutine LandCellRoutine = nullptr;
CellRoutine MarkedCellRoutine = nullptr;
CellRoutine WaterCellRoutine = nullptr;
SkyQuadFn SkyQuadRoutine = nullptr;
const ObjectRoutineSet* ObjectRoutines = nullptr;
const ObjectRoutineSet* ObjectRoutinesB = nullptr;
DiscFn DiscRoutine = nullptr;
FlareFn FlareRoutine = nullptr;
StarFn StarRoutine = nullptr;
FillRectFn FillRectRoutine = nullptr;
UnitBracketFn UnitBracketRoutine = nullptr;
ThreatMarkerFn ThreatMarkerRoutine = nullptr;
RadarMarkerFn RadarMarkerRoutine = nullptr;
BlitFn BlitRoutine = nullptr;
SkyTextureQuadFn SkyTextureQuadRoutine = nullptr;

int InitRenderMode() {
    ScreenWidth = SurfaceWidth;
    ScreenHeight = SurfaceHeight;
    DisplayWidth = SurfaceWidth;
    DisplayHeight = SurfaceHeight;
    RenderMode = kRenderModeD3D;
    InstallProjectionEye();
    return 1;
}

int RoutineTableIndex() {
    return RenderMode * kDetailLevelCount + DetailLevel;
}

void InstallRenderRoutines(int layered) {
    // A mode or detail outside the tables would index past them; only mode 5 has routines at all.
    if (RenderMode < 0 || RenderMode >= kRenderModeCount || DetailLevel < 0 ||
        DetailLevel >= kDetailLevelCount)
        FatalErrorF("Error(InstallRenderRoutines): bad render mode %d or detail level %d", RenderMode,
                    DetailLevel);
    const int k = RoutineTableIndex();
    if (layered) {
        LandCellRoutine = MarkedLandRoutineTable[k];
        MarkedCellRoutine = MarkedRoutineTable[k];
    } else {
        LandCellRoutine = LandRoutineTable[k];
    }
    WaterCellRoutine = WaterRoutineTable[k];
    SkyQuadRoutine = SkyRoutineTable[k];
    ObjectRoutines = &ObjectRoutineSetA[k];
    ObjectRoutinesB = &ObjectRoutineSetB[k];
    DiscRoutine = DiscRoutineTable[RenderMode];
    FlareRoutine = FlareRoutineTable[RenderMode];
    StarRoutine = StarRoutineTable[RenderMode];
    if (RenderMode == kRenderModeD3D) {
        FillRectRoutine = DrawFilledRect;
        UnitBracketRoutine = DrawUnitBrackets;
        ThreatMarkerRoutine = DrawThreatMarker;
        RadarMarkerRoutine = DrawRadarMarker;
        BlitRoutine = BlitClipped;
        SkyTextureQuadRoutine = DrawSkyTextureQuad;
    }
}

void SetViewportRect(int x0, int y0, int x1, int y1) {
    dxgl_SetViewport(x0, y0, x1, y1);
}
