// Level teardown in eleven announced steps, and the hooks around reading a saved game into the level.
#include <cstdio>

#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/MissionDesc.h"
#include "ai/RecordReplay.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "hud/MessageLog.h"
#include "hud/TFView.h"
#include "objects/MovieCamera.h"
#include "objects/SharedPools.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/Music.h"
#include "platform/Palette.h"
#include "platform/Sound.h"
#include "platform/Texture.h"
#include "render/Light.h"
#include "render/Sky.h"
#include "render/TexStages.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "render/Weather.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "game/Level.h"
#include "world/Statics.h"
#include "game/Level_local.h"
#include "world/ObjFile.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "world/SceneryFx.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"

int TearingDown = 0;
int RestoringGame = 0;

namespace {

constexpr int kTeardownSteps = 11;

// The level's pools in the order they are deleted.
constexpr const char* kPoolsToDelete[] = {
    "visible", "buzy0",        "buzy1",  "buzy2", "buzy3", "highlighted", "pickable", "scenery lighting",
    "radioactive", "target", "tobecaptured", "distant", "reload", "icon", "nav", "tmpcollision",
};

// UNPLACE, then DESTROY.
void RemoveObject(construct*& con) {
    if (!con) return;
    CallItfc(con, ItfcMethod::UNPLACE, 0);
    CallItfc(con, ItfcMethod::DESTROY, 0);
    con = nullptr;
}

// The cameras let go of what they follow while it still stands: the shared pools (wrecks, effects) and
// the units are freed before the cameras, whose removal would otherwise unfocus freed constructs.
void ReleaseCameraTargets() {
    for (construct* cam : {SatCamera, StatCamera, WatchCamera})
        if (cam) CallItfc(cam, ItfcMethod::ATTACH, 0);
}

// The run ends and the cut scenes go while their units still stand, so that no unit keeps a track; the
// movie cameras' test waves go with them.
void FreeCutScenes() {
    RecordReplayRunning = RecordReplaySkip = 0;
    RecordedConstruct = nullptr;
    FreeAllCutScenes();
    FreeMovieCameraWaves();
}

void RemoveAUs() {
    for (int i = 0; i < AUDefCount; ++i) {
        if (!AUDefTable[i]->placed) continue;
        AUDef_itfc(AUDefTable[i], ItfcMethod::UNPLACE);
        dxgl_UpdateStreams();
        FlushQZEvents();
    }
}

void DeleteEvents() {
    FlushQZEvents();
    FreeDayEvents();
    while (MDExprCount > 0) FreeMDExpr(MDExprTable[0]);
    while (MDVarCount > 0) FreeMDVar(MDVarTable[0]);
    FreeFlareTextures();
}

void DeleteWaterTextures() {
    DeleteTex(WaterTex);
    DeleteTexAnim(WaterAnim);
    DeleteTex(WaterTex2);
    DeleteTexAnim(WaterAnim2);
    WaterTex = WaterTex2 = nullptr;
    WaterAnim = WaterAnim2 = nullptr;
}

void DeleteSharedObjects() {
    DeleteSharedPools();
    FreePreloaded();
    DeleteDeadBodyPool();
    dxgl_UpdateStreams();
    RemoveObject(WayPointer);
    DeleteWaterTextures();
    for (host::GfxSurface*& bitmap : CrosshairBitmaps) {
        if (bitmap) dxgl_ReleaseSurface(bitmap);
        bitmap = nullptr;
    }
}

void DeleteMatrixAndViews() {
    FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    // The world file's sky and the chunk bodies it kept for their owners.
    FreeSkyCell(WorldSkyCell);
    WorldSkyCell = nullptr;
    FreeQZWDKeptChunks();
    ResetStatLinks();
    FreeDirLight(SunLight);
    SunLight = nullptr;
    StopPrecipitation();
    DeleteCommMenu(PlayerCommMenu);
    PlayerCommMenu = nullptr;
    if (PlayerTFView) {
        // From the last button down, a fixed number of calls: the loop ends whatever the deletion leaves.
        for (int32_t i = PlayerTFView->buttonCount; i > 0; --i)
            DeleteTaskButton(PlayerTFView, PlayerTFView->buttons[i - 1]);
        DeleteTFView(PlayerTFView);
        PlayerTFView = nullptr;
    }
    ClearQZEvents();
    while (ViewPortCount > 0) DestroyViewPort(ViewPortTable[0]);
    MainViewPort = nullptr;
    RemoveObject(StatCamera);
    RemoveObject(WatchCamera);
    RemoveObject(SatCamera);
}

void UninstallAUs() {
    for (int i = 0; i < AUDefCount; ++i)
        if (AUDefTable[i]->pool) AUDef_itfc(AUDefTable[i], ItfcMethod::DESTROY);
    dxgl_UpdateStreams();
    while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
    // What the clans' status pass found near the player's unit lies in the level: the next level's first
    // frames, drawn before its first status pass, must not find it (the instruments read it).
    ActionTargetAU = nullptr;
    NearestRadioactive = ReloadUnit = nullptr;
    NearestRadioactiveDistance = ReloadUnitDistance = INT32_MAX;
}

// The rules and the configuration as they were before the level; the level's structures freed.
void DeleteStructures() {
    FreeRules();
    ReadRules("app/rules");
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", TEXTROOT, kPathSeparator, "Ingame.txt");
    ReadRules(path);
    LoadRuleTexts();
    ReadConfigFile("Vexa.cfg");
    ClearQZEvents();
    while (ClanCount > 0) DeleteClan(ClanTable[0]);
    for (Clan*& clan : AbstractClanMap) clan = nullptr;
    while (SceneryFxCount > 0) DeleteSceneryFx(SceneryFxTable[0]);
    aistubs_Shutdown();
    dxgl_UpdateStreams();
    FreeGeom(DummyGeom);
    DummyGeom = nullptr;
    for (uint8_t*& face : TmpFaces) {
        qzFree(face);
        face = nullptr;
    }
    ResetCCADBBoards();
    ResetCCADHFields();
    ResetCCADSpheres();
    ResetCCADSpots();
    ResetCCADPlanes();
    ResetCCADLights();
    for (uint8_t*& cell : ClusterCells) {
        qzFree(cell);
        cell = nullptr;
    }
}

void DeleteLevelPools() {
    for (const char* name : kPoolsToDelete) DeleteConstructPool(FindConstructPool(name));
    VisiblePool = nullptr;
    DirectDrawPool = nullptr;
    for (ConstructPool*& pool : BuzyPools) pool = nullptr;
    while (PlayerCount > 0) {
        PlayerTable[0]->actionUnit = nullptr;
        DeletePlayer(PlayerTable[0]);
    }
    while (TeamCount > 0) DeleteTeam(TeamTable[0]);
    OwnPlayer = CreatePlayer(Playername);
}

}  // namespace

void TeardownLevel() {
    TearingDown = 1;
    LevelTeardownFlag = 1;  // statics removed while tearing down leave the tiles as they are
    dxgl_PauseAllSounds();
    LoadScreenBackground(&ScreenBackground, "ui_7");
    ShowBuzyScreen(1, 1, 0, kTeardownSteps, "remove AUs");
    FreeCutScenes();
    ReleaseCameraTargets();
    RemoveAUs();
    ShowBuzyScreen(0, 1, 1, kTeardownSteps, "delete events");
    DeleteEvents();
    ShowBuzyScreen(0, 1, 2, kTeardownSteps, "delete shared pools");
    DeleteSharedObjects();
    ShowBuzyScreen(0, 1, 3, kTeardownSteps, "delete plts");
    while (PltCount > 0) DeletePlt(PltTable[PltCount - 1]);
    ShowBuzyScreen(0, 1, 4, kTeardownSteps, "delete tex anims");
    while (TexAnimCount > 0) DeleteTexAnim(TexAnimTable[TexAnimCount - 1]);
    ShowBuzyScreen(0, 1, 5, kTeardownSteps, "delete textures");
    while (TexCount > 0) DeleteTex(TexTable[TexCount - 1]);
    SphereMapTex = NoiseTex = nullptr;
    SecondStageTexture = nullptr;
    dxgl_UpdateStreams();
    ShowBuzyScreen(0, 1, 6, kTeardownSteps, "delete matrix");
    DeleteMatrixAndViews();
    ShowBuzyScreen(0, 1, 7, kTeardownSteps, "uninstall AUs");
    UninstallAUs();
    ShowBuzyScreen(0, 1, 8, kTeardownSteps, "delete structures");
    DeleteStructures();
    ShowBuzyScreen(0, 1, 9, kTeardownSteps, "delete construct pools");
    DeleteLevelPools();
    ShowBuzyScreen(0, 1, 10, kTeardownSteps, "evict textures");
    dxgl_EvictManagedTextures();
    FreeScreenBackground(&ScreenBackground);
    TearingDown = 0;
    LevelTeardownFlag = 0;
    MissionName[0] = 0;
}

int BeforeRestoreGame() {
    while (SceneryFxCount > 0) DeleteSceneryFx(SceneryFxTable[0]);
    LeaveUnitView(PlayerTFView);
    for (int i = 0; i < ViewPortCount; ++i)
        if (ViewPortTable[i] != MainViewPort) DetachViewPort(ViewPortTable[i]);
    if (ConstructPool* highlighted = FindConstructPool("highlighted")) {
        for (int i = 0; i < highlighted->count; ++i) highlighted->constructs[i]->flags &= ~0x100000u;
        while (highlighted->count > 0) RemoveFromConstructPool(highlighted, highlighted->constructs[0]);
    }
    if (DeadBodyPool) {
        while (DeadBodyPool->count > 0) {
            construct* wreck = DeadBodyPool->constructs[0];
            RemoveFromConstructPool(DeadBodyPool, wreck);
            RemoveObject(wreck);
            FlushQZEvents();
        }
    }
    ClearMessageLog();
    aistubs_Shutdown();
    const int restarted = aistubs_Init();
    RestoringGame = 1;
    return restarted;
}

void AfterRestoreGame(construct* unit) {
    for (int i = 0; i < ClanCount; ++i) {
        BuildAUWaypointLists(ClanTable[i]);
        UpdateTFSelection(PlayerTFView);
    }
    LeaveUnitView(PlayerTFView);
    UpdateAllScapeBoards();
    ClearMessageLog();
    if (ConstructPool* frag = FindConstructPool("frag")) {
        while (frag->count > 0) {
            construct* con = frag->constructs[0];
            RemoveFromConstructPool(frag, con);
            CallItfc(con, ItfcMethod::DESTROY, 1);
        }
    }
    // The mission's end as the level had it before the load: no countdown runs toward a win or a loss.
    WinFlag = LoseFlag = 0;
    WinCountdown = LoseCountdown = 0;
    if (unit) EnterUnitView(PlayerTFView, unit, 1);
    RestoringGame = 0;
}
