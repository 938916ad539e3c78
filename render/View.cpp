// View rendering: once per frame every active camera view is drawn. Each view scrolls its scape boards,
// sets up the current view, and draws the sky, the dark water and the reflection, the water surface and
// the terrain with its constructs, back to front by board cells.
#include "render/View.h"

#include <cstdio>

#include "core/Config.h"
#include "platform/Dxgl.h"
#include "platform/SoundFx.h"
#include "platform/Texture.h"
#include "render/Light.h"
#include "render/Render_local.h"
#include "render/ScapeBoard_local.h"
#include "render/View_local.h"
#include "render/ScreenText.h"
#include "render/Sky.h"
#include "render/Stamps.h"
#include "render/Terrain.h"
#include "render/TexStages.h"
#include "render/Viewport.h"
#include "render/Weather.h"
#include "render/ConstructDraw.h"
#include "render/Deferred.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "hud/CockpitOverlay.h"
#include "hud/MessageLog.h"
#include "hud/TFView.h"
#include "hud/UnitMarks.h"
#include "hud/ViewInstruments.h"
#include "objects/UnitRecord.h"
#include "world/Level.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "render/Snapshot.h"
#include "world/WorldTick.h"
#include "render/Overlay2D.h"

using namespace render_local;
using host::RenderState;

FixVec EyePos;
FixMatrix ViewMatrix = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
int32_t ViewCentreX, ViewCentreY;
float ViewCentreXF, ViewCentreYF;
int32_t ViewWidth, ViewHeight;
int32_t NearPlane = 500;

FixMatrix ProjMatrix = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
int32_t FocalX = 1024, FocalY = 1024;
construct* ViewTarget = nullptr;
ViewPort* CurrentViewPort = nullptr;
SkyCell* ViewSkyCell = nullptr;
uint8_t ViewOverlayFlag = 0;
uint8_t ViewEdgeEvents = 0;
int32_t ViewShadowRange = 0;
uint8_t ViewColour[4] = {4, 4, 4, 0};
namespace {
const int32_t kNoLOD[4] = {0, 0, 0, 0};
}
const int32_t* ViewLODTable = kNoLOD;
const int32_t* ViewMorphTable = kNoLOD;
uint8_t ViewWaterColour[3] = {0, 0, 0};
int32_t MainPassFlag = 0;
int32_t ReflectPassFlag = 0;
int32_t ConstructOverflow = 0;
int32_t CollectCount = 0;
ConstructPool* DirectDrawPool = nullptr;

int PointOutsideFrustum(const FixVec* p) {
    if (p->z < NearPlane) return 1;
    // x / z against the half width over a focal length of 1024, without dividing; formed in 64 bits so
    // far points cannot wrap into view.
    int64_t x = static_cast<int64_t>(p->x) * 1024, y = static_cast<int64_t>(p->y) * 1024;
    int64_t halfW = static_cast<int64_t>(ViewWidth / 2) * p->z;
    int64_t halfH = static_cast<int64_t>(ViewHeight / 2) * p->z;
    if (x > halfW || -x > halfW) return 1;
    if (y > halfH || -y > halfH) return 1;
    return 0;
}

void InstallProjectionEye() {
    // Through the projection matrix: the point lands where the view's focal length draws it, and the
    // frustum test's 1024 stands for that focal length.
    static const ProjectionEye eye{&EyePos, &ProjMatrix, &ViewCentreXF, &ViewCentreYF, PointOutsideFrustum};
    SetProjectionEye(&eye);
}

namespace {

// The main view's camera position for the sound effects; false while no main view is drawn.
bool MainCameraPosition(int32_t position[3]) {
    if (!MainViewPort || !MainViewPort->follows) return false;
    position[0] = MainViewPort->cameraPos.x;
    position[1] = MainViewPort->cameraPos.y;
    position[2] = MainViewPort->cameraPos.z;
    return true;
}

void SetCurrentView(ViewPort* vp) {
    ViewCentreX = vp->centreX;
    ViewCentreY = vp->centreY;
    ViewCentreXF = static_cast<float>(vp->centreX);
    ViewCentreYF = static_cast<float>(vp->centreY);
    ViewWidth = vp->right - vp->left;
    ViewHeight = vp->bottom - vp->top;
    // Looking out of the target's own eye: the target is not drawn, its overlay is.
    ViewOverlayFlag = vp->insideView;
    ViewLODTable = vp->lod;
    ViewMorphTable = vp->morph;
    for (int i = 0; i < 4; ++i) ViewColour[i] = vp->colour[i];
    for (int i = 0; i < 3; ++i) LightAmbient[i] = vp->colour[i];
    ViewShadowRange = vp->shadowRange;
    ViewEdgeEvents = vp->edgeEvents;
    CurrentViewPort = vp;
    FogScale = vp->boardRadius > 0 ? 1152 / vp->boardRadius : 0;
    ViewMatrix = vp->view;
    FocalX = FocalY = vp->focal[0];
    vp->focal[1] = vp->focal[0];
    ProjMatrix = ViewMatrix;
    for (int c = 0; c < 3; ++c) {
        ProjMatrix.m[c] = static_cast<int32_t>((int64_t(ViewMatrix.m[c]) * FocalX) >> 10);
        ProjMatrix.m[3 + c] = static_cast<int32_t>((int64_t(ViewMatrix.m[3 + c]) * FocalY) >> 10);
    }
    ViewTarget = vp->follows;
    EyePos = vp->cameraPos;
    ViewSkyCell = vp->sky;
}

void SetWaterColour() {
    if (TopTileFieldPresent) {
        for (int c = 0; c < 3; ++c) ViewWaterColour[c] = LevelWaterColour[c];
        return;
    }
    int32_t e = SunLight ? (SunLight->dir[1] * 127) >> 16 : 0;
    for (int c = 0; c < 3; ++c) {
        int32_t v = ViewColour[c];
        if (e > 0) v += static_cast<int32_t>((int64_t(SunLight->colour[c]) * LevelWaterColour[c] * e) >> 16);
        ViewWaterColour[c] = static_cast<uint8_t>(v >= 255 ? 255 : v);
    }
}

// On the tactical map's 3D view (no player unit): brackets over the tactical units in view and, when
// switched on, their aim lines.
void DrawTacticalBrackets() {
    if (PlayerUnit || !PlayerTFView || PlayerTFView->tacticalMap) return;
    ConstructPool* pool = PlayerTFView->tacticalPool;
    if (!pool || !pool->constructs) return;
    for (int i = 0; i < pool->count; ++i) {
        construct* c = pool->constructs[i];
        if (!c || !(c->flags & 0x400)) continue;
        int16_t at[3];
        ProjectConstruct(c, &c->sphere, at);
        if (UnitBracketRoutine) UnitBracketRoutine(c, at[0], at[1], at[2]);
        c->flags &= ~0x400u;
    }
    if (PlayerTFView->aimLine)
        for (int i = 0; i < pool->count; ++i)
            if (pool->constructs[i]) DrawAimPointLine(pool->constructs[i]);
}

void SetFogColour() {
    SetRS(RenderState::FogEnable, 1);
    SetRS(RenderState::FogColor, Rgb(SkyFogColour[0], SkyFogColour[1], SkyFogColour[2]));
}

// The water surface. Transparent water ("WaterTransparent") is blended over what lies behind it by the
// alpha of its vertex colours (the fog byte), without fog and, under a reflection, without the depth
// test; with specular water on as well, the specular texture lit by the glint is added to the water
// colour on two texture stages. Opaque water has only the water texture on stage 0.
void WaterSurfacePass(ScapeBoard* board, ScapeBoard* top, int32_t reflection) {
    using host::StageState;
    const bool transparent = LevelWaterTransparent != 0;
    const bool specular = transparent && LevelSpecularWater;
    uint32_t zWas = 1;
    if (specular) {
        SetWaterSpecularStages(WaterTex, WaterTex2);
    } else {
        SetTex(0, WaterTex ? WaterTex->surface : nullptr);
        if (transparent) {
            SetTSS(0, StageState::AlphaArg1, host::GfxTaDiffuse);
            SetTSS(0, StageState::AlphaOp, Op(host::TextureOp::SelectArg1));
        }
    }
    if (transparent) {
        SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::SrcAlpha));
        SetRS(RenderState::DestBlend, Blend(host::BlendFactor::InvSrcAlpha));
        SetRS(RenderState::AlphaBlendEnable, 1);
        SetRS(RenderState::FogEnable, 0);
        if (reflection != kReflectNone) {
            zWas = GetRS(RenderState::ZEnable);
            SetRS(RenderState::ZEnable, 0);
        }
    }
    TraverseBoard(board, top, reflection, DrawCellWater);
    if (specular) ResetTextureStages();
    else SetTex(0, nullptr);
    if (transparent) {
        SetTSS(0, StageState::AlphaOp, Op(host::TextureOp::SelectArg1));
        SetTSS(0, StageState::AlphaArg1, host::GfxTaTexture);
        SetRS(RenderState::SrcBlend, Blend(host::BlendFactor::One));
        SetRS(RenderState::DestBlend, Blend(host::BlendFactor::One));
        SetRS(RenderState::AlphaBlendEnable, 0);
        SetRS(RenderState::FogEnable, 1);
        if (reflection != kReflectNone) SetRS(RenderState::ZEnable, zWas);
    }
}

}  // namespace

void SetBoardEyeTransform(ScapeBoard* board, ScapeBoard* topBoard) {
    if (!board) return;
    FixVec d = {(board->originColumn << 16) - EyePos.x, -EyePos.y, (board->originRow << 16) - EyePos.z}, o;
    RotateVecF(&o, &ProjMatrix, &d);
    const int32_t* m = ProjMatrix.m;
    const FixVec col = {m[0] * 2, m[3] * 2, m[6] * 2}, row = {m[2] * 2, m[5] * 2, m[8] * 2};
    for (int r = 0; r <= board->height; ++r)
        for (int c = 0; c <= board->width; ++c) {
            TileCell* cell = BoardCell(board, c, r);
            cell->corner.x = o.x + c * col.x + r * row.x;
            cell->corner.y = o.y + c * col.y + r * row.y;
            cell->corner.z = o.z + c * col.z + r * row.z;
            cell->corner.vertex = cell->vertices;
            if (topBoard && TopTileFieldPresent) {
                TileCell* t = BoardCell(topBoard, c, r);
                t->corner = cell->corner;
                t->corner.vertex = t->vertices;
            }
        }
}

void TraverseBoard(ScapeBoard* board, ScapeBoard* other, int32_t reflection, BoardCellRoutine routine) {
    if (!board || !routine) return;
    int32_t W = board->width - 1, H = board->height - 1;
    int32_t cx = (EyePos.x >> 16) - board->originColumn, cz = (EyePos.z >> 16) - board->originRow;
    cx = cx < 0 ? 0 : cx > W ? W : cx;
    cz = cz < 0 ? 0 : cz > H ? H : cz;
    auto rowsOf = [&](int column) {
        for (int r = H; r > cz; --r) routine(board, other, column, r, reflection);
        for (int r = 0; r <= cz; ++r) routine(board, other, column, r, reflection);
    };
    auto columnsOf = [&](int row) {
        for (int c = W; c > cx; --c) routine(board, other, c, row, reflection);
        for (int c = 0; c <= cx; ++c) routine(board, other, c, row, reflection);
    };
    int32_t rz = ViewMatrix.m[2] < 0 ? -ViewMatrix.m[2] : ViewMatrix.m[2];
    int32_t rx = ViewMatrix.m[0] < 0 ? -ViewMatrix.m[0] : ViewMatrix.m[0];
    if (rz < rx) {
        for (int r = H; r > cz; --r) columnsOf(r);
        for (int r = 0; r <= cz; ++r) columnsOf(r);
    } else {
        for (int c = W; c > cx; --c) rowsOf(c);
        for (int c = 0; c <= cx; ++c) rowsOf(c);
    }
}

namespace {

ConstructEntry EntryStore[kConstructEntryStore];

// Clears every quarter's entry list of the board.
void ClearBoardEntries(ScapeBoard* board) {
    for (int r = 0; r < board->height; ++r)
        for (int c = 0; c < board->width; ++c) {
            TileCell* cell = BoardCell(board, c, r);
            for (int q = 0; q < 4; ++q) cell->quarters[q].entries = cell->quarters[q].tail = nullptr;
        }
}

}  // namespace

int AnchorConstruct(ScapeBoard* board, construct* con) {
    con->anchorQuarters = 0;
    const int count = con->sampleCornerCount > 8 ? 8 : con->sampleCornerCount;
    const Geom* g = con->lod[0];
    for (int i = 0; i < count; ++i) {
        const int index = con->sampleCorners[i];
        FixVec local;
        if (con->subCount > 0) {
            if (index >= 8) continue;
            local = {con->box.corners[index][0], con->box.corners[index][1], con->box.corners[index][2]};
        } else {
            if (!g || index >= g->pointCount) continue;
            local = {g->points[index].pos[0], g->points[index].pos[1], g->points[index].pos[2]};
        }
        FixVec p;
        FixMatrix m;
        for (int k = 0; k < 9; ++k) m.m[k] = con->orient[k];
        RotateVecT13(&p, &m, &local);
        p = {p.x + con->pos[0], p.y + con->pos[1], p.z + con->pos[2]};
        const int32_t column = (p.x >> 16) - board->originColumn, row = (p.z >> 16) - board->originRow;
        if (column < 0 || row < 0 || column >= board->width || row >= board->height) continue;
        TileCell* cell = BoardCell(board, column, row);
        if (cell->hole) continue;
        // The store is fixed: an anchor that finds it full is dropped, never written past its end.
        if (CollectCount >= kConstructEntryStore) {
            ConstructOverflow = 1;
            break;
        }
        ConstructEntry* e = &EntryStore[CollectCount++];
        e->con = con;
        e->next = nullptr;
        cell->hasConstructs = 1;
        CellQuarter& q = cell->quarters[((p.x >> 15) & 1) + 2 * ((p.z >> 15) & 1)];
        if (q.tail) q.tail->next = e;
        else q.entries = e;
        q.tail = e;
        ++con->anchorQuarters;
    }
    con->drawnQuarters = 128;
    return con->anchorQuarters;
}

void CollectBoardConstructs(ScapeBoard* board, int32_t reflect) {
    CollectCount = 0;
    if (!board) return;
    ClearBoardEntries(board);
    if (!VisiblePool || !VisiblePool->constructs) return;
    for (int i = 0; i < VisiblePool->count; ++i) {
        construct* con = VisiblePool->constructs[i];
        if (!con) continue;
        const int32_t column = (con->pos[0] >> 16) - board->originColumn;
        const int32_t row = (con->pos[2] >> 16) - board->originRow;
        if (column < 2 || column >= board->width - 2 || row < 2 || row >= board->height - 2) {
            if (ViewEdgeEvents && (con->flags & 0x400000)) CreateQZEvent(QZEventKind::Deactivate, con);
            if (!(con->flags & 0x8000000)) continue;
        }
        if (!TransformConstruct(con, reflect, 0)) continue;
        if (CollectCount > kConstructEntryLimit) {
            ConstructOverflow = 1;
            break;
        }
        con->anchorQuarters = 0;
        if (con->flags & 0x8000000) {
            if (DirectDrawPool) AppendToConstructPoolIfRoom(DirectDrawPool, con);
            con->drawnQuarters = 128;
            continue;
        }
        AnchorConstruct(board, con);
    }
}

void ScheduleConstructDraw(construct* con, int32_t reflect, int32_t terrainDrawn) {
    if (!con) return;
    const int pass = reflect ? 1 : 0;
    if ((con->flags & 0x1) && con->drawStamps[pass] == ViewStamp) return;
    if (con->anchorQuarters) --con->anchorQuarters;
    if (terrainDrawn && con->drawnQuarters) --con->drawnQuarters;
    if (con->anchorQuarters) return;
    if (!reflect && con->shadow && shadows_and_marks && con->distance < ViewShadowRange && con->drawnQuarters < 128)
        CollectShadowFaces(con);
    if ((con->drawStamps[pass] == ViewStamp && (con->flags & 0x400)) || TransformConstruct(con, reflect, 0) == 1)
        DrawConstruct(con, reflect, 0);
    con->anchorQuarters = static_cast<uint8_t>(con->sampleCornerCount > 8 ? 8 : con->sampleCornerCount);
}

namespace {

void ForBoardVertices(ScapeBoard* b, void (*fn)(BoardVertex*)) {
    if (!b) return;
    for (int r = 0; r < b->height; ++r)
        for (int c = 0; c < b->width; ++c) {
            TileCell* cell = BoardCell(b, c, r);
            for (int k = 0; k < kCellVertices; ++k) fn(&cell->vertices[k]);
        }
}

// A map page of the task-force view covers the screen: no view is drawn under it.
bool PageOpen() {
    return PlayerTFView && (PlayerTFView->panels[0] || PlayerTFView->panels[1] || PlayerTFView->panels[2]);
}

// Over the main view: the cockpit overlay (not during a cut scene), the message log (not while a page
// covers the view, a cut scene plays or a snapshot frame is drawn again) and the chat line.
void DrawMainViewOverlay() {
    const bool cutScene = CutScenePlaying();
    if (!cutScene) DrawHUD(PlayerTFView);
    if (!PageOpen() && !cutScene && !SnapshotRendering) DrawMessageLog();
    DrawChatInput();
}

bool MarksHidden() { return PlayerTFView && PlayerTFView->marksHidden; }

// The whole-view effects: the noise film over a view whose overlay object was not drawn in it, and the
// green tint over every view but the main one.
void DrawViewEffects(ViewPort* vp) {
    if (vp->overlayObject && vp->overlayObject->drawStamps[0] != ViewStamp) DrawViewNoise(vp);
    if (vp != MainViewPort) DrawViewTint(vp);
}

// Over the main view: the followed construct's own overlay (its cockpit) and view marks when the view
// looks out of its eye, then the player's instruments and, when no overlay was drawn, his unit's marks.
void DrawViewOverlays(ViewPort* vp) {
    if (vp != MainViewPort) return;
    bool overlaid = false;
    construct* followed = vp->follows;
    if (ViewOverlayFlag && followed && !(followed->flags & 0x80000000u)) {
        CallItfc(followed, ItfcMethod::DRAWOVERLAY, reinterpret_cast<uintptr_t>(vp));
        if (!MarksHidden()) CallItfc(followed, ItfcMethod::DRAWVIEWMARKS, 0);
        overlaid = true;
    }
    SetRS(RenderState::FogEnable, 0);
    construct* unit = PlayerUnit;
    if (!unit || (unit->flags & 0x80000000u) || !(unit->flags & 0x8) || !(PlayerRestrictions & 0x400)) return;
    DrawViewInstruments(unit);
    if (!overlaid && !MarksHidden()) CallItfc(unit, ItfcMethod::DRAWOWNMARKS, 0);
}

}  // namespace

// On a wrap every stored copy goes, in the boards and skies of every view that has its own (not only
// the one activated last): a view drawn later would otherwise skip a vertex whose old stamp matches.
void ResetCellStamps() {
    if (TopTileFieldPresent) return;
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (!vp || vp->sharesMainBoards) continue;
        ForBoardVertices(vp->board, [](BoardVertex* v) { v->cellStamp = 0; });
    }
}

void ResetVertexStamps() {
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (!vp || vp->sharesMainBoards) continue;
        ForBoardVertices(vp->board, [](BoardVertex* v) { v->landStamp = v->waterStamp = v->mirrorStamp = 0; });
        if (TopTileFieldPresent)
            ForBoardVertices(vp->topBoard, [](BoardVertex* v) { v->landStamp = v->waterStamp = 0; });
        if (SkyCell* sky = vp->sky) {
            for (int k = 0; k < sky->vertexCount && sky->vertices; ++k) sky->vertices[k].stamp = 0;
            ClearListStamps(sky->flare);
            ClearListStamps(sky->moon);
            ClearListStamps(sky->dome);
        }
    }
    ResetConstructStamps();
}

void RenderView(ViewPort* vp, int32_t) {
    if (zbuffer) dxgl_ClearZRect(vp->left, vp->top, vp->right, vp->bottom);
    SetRS(RenderState::FogEnable, 1);
    if (!vp->sharesMainBoards) {
        ScrollScapeBoard(vp->board, BoardMatrix());
        if (vp->topBoard) ScrollScapeBoard(vp->topBoard, BoardMatrix());
    }
    InstallRenderRoutines(TopTileFieldPresent);
    if (DirectDrawPool) DirectDrawPool->count = 0;  // its entries carry no names
    ClearFlareList();
    if (vp == MainViewPort && VisibleUnitsPool) VisibleUnitsPool->count = 0;  // its entries carry no names
    SetCurrentView(vp);
    DrawSky(ViewSkyCell);
    const int k = RoutineTableIndex();
    ScapeBoard* primary = vp->board;
    ScapeBoard* secondary = vp->topBoard;
    if (!TopTileFieldPresent) {
        secondary = nullptr;
        LandCellRoutine = LandRoutineTable[k];
    } else if (EyePos.y <= 0) {
        LandCellRoutine = MarkedLandRoutineTable[k];
        MarkedCellRoutine = MarkedRoutineTable[k];
    } else {
        primary = vp->topBoard;
        secondary = vp->board;
        LandCellRoutine = MarkedRoutineTable[k];
        MarkedCellRoutine = MarkedLandRoutineTable[k];
    }
    SetFogColour();
    SetWaterColour();
    SetBoardEyeTransform(vp->board, vp->topBoard);
    const int32_t reflection = vp->reflectionType;
    if (reflection != kReflectNone) {
        SetRS(RenderState::FogEnable, 0);
        SetRS(RenderState::AlphaBlendEnable, 1);
        WaterCellRoutine = DarkWaterRoutineTable[k];
        TraverseBoard(vp->board, vp->topBoard, reflection, DrawCellWater);
        WaterCellRoutine = WaterRoutineTable[k];
        SetRS(RenderState::AlphaBlendEnable, 0);
        SetRS(RenderState::FogEnable, 1);

        ReflectPassFlag = 1;
        SetRS(RenderState::ZFunc, static_cast<uint32_t>(host::CompareFunc::Greater));
        uint32_t zWrite = GetRS(RenderState::ZWriteEnable);
        SetRS(RenderState::ZWriteEnable, 0);
        LandCellRoutine = MirrorRoutineTable[k];
        CollectBoardConstructs(primary, 1);
        TraverseBoard(primary, secondary, reflection, DrawCellVariant2);
        LandCellRoutine = LandRoutineTable[k];
        SetRS(RenderState::ZFunc, static_cast<uint32_t>(host::CompareFunc::LessEqual));
        SetRS(RenderState::ZWriteEnable, zWrite);
        ReflectPassFlag = 0;
    }
    WaterSurfacePass(vp->board, vp->topBoard, reflection);
    MainPassFlag = 1;
    ClearDeferredLists();
    ConstructOverflow = 0;
    CollectBoardConstructs(primary, 0);
    if (DirectDrawPool)
        for (int i = 0; i < DirectDrawPool->count; ++i) DrawConstruct(DirectDrawPool->constructs[i], 0, 0);
    if (TopTileFieldPresent) TraverseBoard(primary, secondary, reflection, DrawCellVariant3);
    else TraverseBoard(primary, secondary, reflection, DrawCellMain);
    SetRS(RenderState::FogEnable, 0);
    DrawTacticalBrackets();
    if (weather_effects) DrawWeather(&ViewMatrix, &EyePos, vp);
    if (!TopTileFieldPresent) DrawFlares(ViewSkyCell);
    DrawViewEffects(vp);
    SetRS(RenderState::FogEnable, 1);
    MainPassFlag = 0;
    DrawDeferredLists();
    SetRS(RenderState::FogEnable, 0);
    DrawViewOverlays(vp);
    DrawFlareList();
    // A playing cut scene is framed by black bars, a ninth of the screen each, at the top and the bottom.
    if (CutScenePlaying()) {
        static const uint8_t kBlack[4] = {0, 0, 0, 0};
        const int32_t bar = SurfaceHeight / 9;
        SetRS(RenderState::FogEnable, 0);
        FillRect2D(kBlack, 0, 0, SurfaceWidth, bar);
        FillRect2D(kBlack, 0, SurfaceHeight - bar, SurfaceWidth, SurfaceHeight);
    }
}

void RenderAllViews(int32_t kind) {
    static bool hooked = false;
    if (!hooked) {
        SetSoundViewHooks(MainCameraPosition, ShakeMainViewPort);
        hooked = true;
    }
    if (DetailLevel == 0 || DetailLevel == 1) {
        if (D3DDevice) host::Clear(D3DDevice, 0, nullptr, host::GfxClearTarget, 0, 1.0f, 0);
    }
    AdvanceCellStamp(ViewTickCounter());
    for (int i = 0; i < ViewPortCount; ++i) {
        ViewPort* vp = ViewPortTable[i];
        if (!vp || !vp->follows) continue;
        AdvanceViewStamp();
        if (!vp->active) ActivateViewPort(vp);
        if (!PageOpen() && !vp->hidden) {
            RenderView(vp, kind);
            if (vp != MainViewPort) DrawViewCaption(vp);
        }
        if (vp != MainViewPort && !(vp->follows->flags & 0x8)) {
            DetachViewPort(vp);
            break;
        }
        if (vp == MainViewPort) DrawMainViewOverlay();
    }
}
