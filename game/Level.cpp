// Level building: every step is announced on the loading screen, then the level's clans, pools,
// viewports, cameras, rules, world file, water, shared pools, day events and action units are made, and
// two world ticks without day events settle the world.
#include "game/Level.h"
#include "world/Statics.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/RecordReplay.h"
#include "game/CutScenes.h"
#include "core/Config.h"
#include "core/Files.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "host/Fs.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "hud/MousePtr.h"
#include "hud/TFView.h"
#include "hud/TacticalMap.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "objects/Cameras.h"
#include "objects/EffectTypes.h"
#include "objects/SceneryLighting.h"
#include "objects/SharedPools.h"
#include "objects/WayPointer.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/InputDevices.h"
#include "platform/Sound.h"
#include "platform/SoundFx.h"
#include "platform/Texture.h"
#include "render/Light.h"
#include "render/RenderTables.h"
#include "render/ScreenText.h"
#include "render/Terrain.h"
#include "render/TexStages.h"
#include "render/Sky.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "render/Weather.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/SavedGame.h"
#include "world/Geom.h"
#include "game/Level_local.h"
#include "world/ObjFile.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "game/Startup.h"
#include "world/Collide.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"

int BuildingLevel = 0;
int MultiplayerOn = 0;
int IsHost = 0;
int32_t NearPlaneDistance = 500;
float FieldOfView = 65.0f;
TFView* PlayerTFView = nullptr;
CommMenu* PlayerCommMenu = nullptr;
construct* SatCamera = nullptr;
construct* StatCamera = nullptr;
construct* WatchCamera = nullptr;
construct* WayPointer = nullptr;
Geom* DummyGeom = nullptr;
LevelSettings CurrentLevel;
// The renderer's names for the level's water settings.
uint8_t (&LevelWaterColour)[3] = CurrentLevel.waterColour;
uint8_t (&LevelAmbientColour)[3] = CurrentLevel.ambientLighting;
uint8_t (&LevelWaterSpecularBias)[3] = CurrentLevel.waterSpecularBias;
int32_t& LevelWaterTransparent = CurrentLevel.waterTransparent;
int32_t& LevelSpecularWater = CurrentLevel.specularWater;
int32_t& LevelShowDayEvents = CurrentLevel.showDayEvents;
int32_t& LevelCockpitOnly = CurrentLevel.cockpitOnly;
uint8_t* ClusterCells[64];
uint8_t* TmpFaces[2];
Tex* SphereMapTex = nullptr;
Tex* NoiseTex = nullptr;
host::GfxSurface* CrosshairBitmaps[3];

namespace {

constexpr int kBuildSteps = 15;

// The level's construct pools and their capacities, in the order they are made.
struct PoolDef {
    const char* name;
    int capacity;
};
constexpr PoolDef kLevelPools[] = {
    {"visible", 2048},  {"buzy0", 1024},      {"buzy1", 256},  {"buzy2", 256},
    {"buzy3", 256},     {"highlighted", 90},  {"pickable", 90}, {"scenery lighting", 140},
    {"distant", 64},    {"radioactive", 32},  {"target", 32},   {"tobecaptured", 32},
    {"reload", 32},     {"icon", 32},         {"nav", 32},      {"tmpcollision", 32},
};

BuzyCaptionSink CaptionSink = nullptr;
char CurrentCaption[256];
char PreviousCaption[256];
double StepStart = 0;
double BuildStart = 0;

// Every level-scoped value back to its start.
void ResetLevelState() {
    SecondsPerTick = 5.0f;
    GameClockSeconds = 0.0f;
    ResetSavedWorldWords();
    ResetMissionStatus();
    ResetPlayerInputState();
    ChatLineSender = SendChatLine;
    NetEndCountdowns = MPEndCounter;
    // A mission without an objective's rule has no such objective, whatever the mission before had: the
    // rules read below fill only the slots they name.
    for (Objective* table : {PrimaryObjectives, SecondaryObjectives})
        for (int i = 0; i < 5; ++i) table[i] = Objective{-2, "NONE"};
    FrameCounter = 1;
    HalfTick = 0;
    ResyncTicks = WinFlag = LoseFlag = InGameMenuOpen = 0;
    Fire1Armed = Fire2Armed = 0;
    ClearInput(&Fire1Seen);
    ClearInput(&Fire2Seen);
    RecordReplayActive = RecordReplayRunning = RecordReplaySkip = 0;
    RecordReplayExport = 0;
    RecordedConstruct = nullptr;
    ResetRecordReplayPanel();
    // The four water levels 4, the split point (0, 0), the edge modes CLONE, no clone slot and no
    // accessible-map filter: a world file sets the last two only when it holds them.
    ResetMatrixGlobals();
    NearPlaneDistance = 500;
    FieldOfView = 65.0f;
    MultiplayerPhase = 3;
    CurrentLevel = LevelSettings{};
    CurrentLevel.dustScale = 100;
    for (uint8_t& c : CurrentLevel.dustColour) c = 255;
    CurrentLevel.cloudAlpha = CurrentLevel.starAlpha = 0xff00;
    CurrentLevel.cloudSpeed = 1.0f;
    CurrentLevel.specularWater = 1;
    CurrentLevel.sphereMapping = 1;
    for (uint8_t& c : CurrentLevel.waterSpecularBias) c = 20;
    for (uint8_t& c : CurrentLevel.caveFogColour) c = 64;
    SceneryLightingRate = 0;
    WaterAnim = WaterAnim2 = nullptr;
    WaterTex = WaterTex2 = nullptr;
    WaterFrame = WaterFrame2 = 0;
    MainViewPort = nullptr;
    PlayerTFView = nullptr;
    PlayerCommMenu = nullptr;
    SatCamera = StatCamera = WatchCamera = WayPointer = nullptr;
    WorldSkyCell = nullptr;
    for (int32_t& p : ListenerPosition) p = 0;
    // The shield flashes' shared spin turns on with every flash: left as the last level left it, the same
    // hits in a level built again would flash (and move) otherwise.
    ShieldHitSpin = 0;
}

// Optional rules keep the reset value when missing.
void OptionalFloat(const char* name, float* out, float scale = 1.0f) {
    if (const Rule* r = FindRule(name); r && r->count > 0) *out = r->values[0] * scale;
}
void OptionalInt(const char* name, int32_t* out) {
    if (const Rule* r = FindRule(name); r && r->count > 0) *out = TruncateToInt32(r->values[0]);
}
void OptionalBytes(const char* name, uint8_t* out, int n) {
    const Rule* r = FindRule(name);
    if (!r) return;
    for (int i = 0; i < n && i < r->count; ++i) out[i] = static_cast<uint8_t>(TruncateToInt32(r->values[i]));
}
float RequiredFloat(const char* name) {
    const Rule* r = NamedRule(name);
    return r->count > 0 ? r->values[0] : 0.0f;
}
void RequiredBytes(const char* name, uint8_t* out, int n) {
    const Rule* r = NamedRule(name);
    for (int i = 0; i < n && i < r->count; ++i) out[i] = static_cast<uint8_t>(TruncateToInt32(r->values[i]));
}

void LoadingScreenStart() {
    LoadScreenBackground(&ScreenBackground, "ui_7");
    CurrentCaption[0] = PreviousCaption[0] = 0;
    BuildStart = StepStart = TimerNow();
}

void CreateLevelPools() {
    for (const PoolDef& def : kLevelPools) CreateConstructPool(def.capacity, def.name);
    VisiblePool = NamedConstructPool("visible");
    // Constructs of the class DISTANT are drawn directly, not anchored on the board.
    DirectDrawPool = NamedConstructPool("distant");
    for (int i = 0; i < 4; ++i) {
        char name[16];
        snprintf(name, sizeof name, "buzy%d", i);
        BuzyPools[i] = NamedConstructPool(name);
    }
}

// Step 3: the clans, the AI bridge, the pools, the scratch buffers and the dummy geometry.
void InitStructures() {
    CreateClan("EMA");
    CreateClan("GA");
    CreateClan("ARAB");
    aistubs_Init();
    CreateLevelPools();
    for (uint8_t*& cell : ClusterCells) {
        cell = static_cast<uint8_t*>(qzAlloc(4, "cluster cell"));
        memset(cell, 0, 4);
    }
    for (uint8_t*& face : TmpFaces) {
        face = static_cast<uint8_t*>(qzAlloc(452, "tmp face"));
        memset(face, 0, 452);
    }
    DummyGeom = CreateUnnamedGeom();
    char path[512];
    snprintf(path, sizeof path, "%s%c%s%c%s", OBJROOT, kPathSeparator, "misc", kPathSeparator, "dummy");
    LoadCCADObj(path, 1.0f, DummyGeom);
}

// Step 4: the rules, the mission script and the mission's texts.
void ReadLevelRules() {
    FreeRules();
    ReadRules("app/rules");
    ReadRules_unit();
    ReadRules_weapon();
    char path[512];
    snprintf(path, sizeof path, "%s%c%s.txt", SCRIPTROOT, kPathSeparator, MissionName);
    if (!qzpk_exists(path)) FatalError("Error: No scriptfile existing");
    ReadRules(path);
    snprintf(path, sizeof path, "app\\text\\Text_%s.txt", MissionName);
    if (qzpk_exists(path)) ReadRules(path);
    snprintf(path, sizeof path, "%s%c%s", TEXTROOT, kPathSeparator, "Ingame.txt");
    ReadRules(path);
    LoadRuleTexts();
}

// Step 5: the sides.
void SetUpSides(int swap) {
    const Rule* ourclan = NamedRule("ourclan");
    const char* ours = ourclan->info[0] ? ourclan->info[0] : "";
    const char* other = strcmp(ours, "EMA") == 0 ? "GA" : "EMA";
    for (int i = 0; i < ClanCount; ++i) {
        Clan* clan = ClanTable[i];
        if (const Rule* r = FindRulef("%s_hostility", clan->name); r && r->info[0] && r->info[1])
            SetClanHostility(clan, NamedClan(r->info[1]), NamedHostility(r->info[0]));
        if (const Rule* r = FindRulef("%s_unit_lighting", clan->name); r && r->count > 0)
            clan->unitLighting = static_cast<uint8_t>(TruncateToInt32(r->values[0]));
        if (const Rule* r = FindRulef("%s_beam_lighting", clan->name); r && r->count > 0)
            clan->searchLight = static_cast<uint8_t>(TruncateToInt32(r->values[0]));
    }
    // The world file's abstract clans: 0 the mission's own side, 1 the other side, 2 "ARAB"; a swap
    // changes only the side the player takes.
    AbstractClanMap[0] = NamedClan(ours);
    AbstractClanMap[1] = NamedClan(other);
    AbstractClanMap[2] = NamedClan("ARAB");
    SetPlayerClan(NamedClan(swap ? other : ours));
}

// Step 6: the level's own rules.
void ReadLevelSettings() {
    static const char* const kEdges[] = {"matrix_address_north", "matrix_address_south", "matrix_address_west",
                                         "matrix_address_east"};
    for (int i = 0; i < 4; ++i)
        if (const Rule* r = FindRule(kEdges[i]); r && r->info[0]) MatrixAddressModes[i] = NamedMatrixAddress(r->info[0]);
    LevelSettings& L = CurrentLevel;
    L.eyesightRange = RequiredFloat("eyesight_range");
    L.eyesightAperture = RequiredFloat("eyesight_aperture");
    L.beamsightRange = RequiredFloat("beamsight_range");
    L.beamsightRadius = RequiredFloat("beamsight_radius");
    OptionalFloat("cloud_speed", &L.cloudSpeed, 0.00001f);
    OptionalInt("cloud_alpha", &L.cloudAlpha);
    OptionalInt("star_alpha", &L.starAlpha);
    OptionalInt("scenery_lighting", &L.sceneryLighting);
    OptionalFloat("SunDarkeningBias", &L.sunDarkeningBias);
    if (const Rule* r = FindRule("wind_vector"))
        for (int i = 0; i < 3 && i < r->count; ++i) L.windVector[i] = TruncateToInt32(r->values[i]);
    OptionalInt("recordreplay_active", &RecordReplayActive);
    OptionalInt("allhostilesvisible", &L.allHostilesVisible);
    OptionalInt("showunitpaths", &L.showUnitPaths);
    OptionalInt("showunitnames", &L.showUnitNames);
    OptionalInt("hilogictrace", &L.hiLogicTrace);
    OptionalInt("hilogicinfo", &L.hiLogicInfo);
    OptionalInt("showdayevents", &L.showDayEvents);
    OptionalInt("showunitbounding", &L.showUnitBounding);
    OptionalInt("showunitbsphere", &L.showUnitBSphere);
    OptionalFloat("DustEmission", &L.dustEmission);
    OptionalInt("DustScale", &L.dustScale);
    OptionalBytes("DustColour", L.dustColour, 3);
    OptionalInt("CockpitOnly", &L.cockpitOnly);
    L.targetAcquireDelay = RequiredFloat("TargetAcquireDelay");
    dxgl_SetMasterVolume(dxgl_GetMasterVolume(), dxgl_GetMasterVolume());
}

// The sky's share of the level settings: clouds, stars, the sun's darkening; no precipitation yet.
void HandSkySettings() {
    ResetSkyState();
    // The sky's ramps keep both within 0 .. kSkyRampTop; a rule beyond would overflow the cloud alpha.
    CurrentLevel.cloudAlpha = std::clamp(CurrentLevel.cloudAlpha, 0, kSkyRampTop);
    CurrentLevel.starAlpha = std::clamp(CurrentLevel.starAlpha, 0, kSkyRampTop);
    CloudCover = CurrentLevel.cloudAlpha;
    SkyFade = CurrentLevel.starAlpha;
    CloudSpeed = CurrentLevel.cloudSpeed;
    SunDarkeningBias = static_cast<int32_t>(CurrentLevel.sunDarkeningBias);
    LastLightAngle = 0x7fffffff;
    StartPrecipitation(0);
}

// Step 7: the main viewport over the whole screen and three external ones.
void CreateLevelViewPorts() {
    int mainReflection = 0;
    if (water_reflection > 0) {
        mainReflection = 2;
    } else if (water_reflection == 0) {
        if (const Rule* r = FindRule("RecommendedReflection"); r && r->info[0])
            mainReflection = NamedReflectionType(r->info[0]);
    }
    MainViewPort = CreateViewPort(0, 0, SurfaceWidth, SurfaceHeight);
    MainViewPort->main = 1;
    int32_t depth = 0;
    OptionalInt("MainViewPort_MaxShadowDepth", &depth);
    SetViewPortShadowDepth(MainViewPort, depth);
    SetViewPortReflection(MainViewPort, mainReflection);
    OptionalInt("ExtViewPort_MaxNo", &CurrentLevel.extViewPorts);
    int32_t extDepth = 0;
    OptionalInt("ExtViewPort_MaxShadowDepth", &extDepth);
    const int extReflection = ExtViewPort_reflection[0] ? NamedReflectionType(ExtViewPort_reflection) : 0;
    // Left, right, top and bottom in percent of the screen.
    static const float kExtRects[3][4] = {{1.5f, 21.5f, 7.0f, 27.0f}, {1.5f, 21.5f, 29.5f, 49.5f},
                                          {1.5f, 21.5f, 54.0f, 74.0f}};
    for (const auto& rect : kExtRects) {
        const int32_t left = static_cast<int32_t>(SurfaceWidth * rect[0] / 100.0f);
        const int32_t right = static_cast<int32_t>(SurfaceWidth * rect[1] / 100.0f);
        const int32_t top = static_cast<int32_t>(SurfaceHeight * rect[2] / 100.0f);
        const int32_t bottom = static_cast<int32_t>(SurfaceHeight * rect[3] / 100.0f);
        ViewPort* vp = CreateViewPort(left, top, right, bottom);
        SetViewPortShadowDepth(vp, extDepth);
        SetViewPortReflection(vp, extReflection);
    }
}

// Step 9: the water and the light of the level.
void ReadWaterRules() {
    OptionalBytes("WaterColour", CurrentLevel.waterColour, 3);
    OptionalBytes("WaterSpecularBias", CurrentLevel.waterSpecularBias, 3);
    OptionalInt("WaterTransparent", &CurrentLevel.waterTransparent);
    RequiredBytes("AmbientLighting", CurrentLevel.ambientLighting, 3);
    if (const Rule* r = FindRule("WaterLevel")) {
        if (r->count != 4) FatalError("Error(InitLevel): strange 'WaterLevel'");
        for (int i = 0; i < 4; ++i) {
            WaterLevel[i] = TruncateToInt32(r->values[i]);
            // A level beyond the range heights are computed in is as strange as a missing one.
            if (WaterLevel[i] < -kMaxWaterLevel || WaterLevel[i] > kMaxWaterLevel)
                FatalError("Error(InitLevel): strange 'WaterLevel'");
        }
    }
    if (const Rule* r = FindRule("WaterMark")) {
        if (r->count != 2) FatalError("Error(InitLevel): strange 'WaterMark'");
        for (int i = 0; i < 2; ++i) WaterMark[i] = TruncateToInt32(r->values[i]);
    }
}

construct* CreateAndPlace(ItfcProc itfc, const char* name) {
    auto* con = reinterpret_cast<construct*>(itfc(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(name)));
    if (con) CallItfc(con, ItfcMethod::PLACE, 0);
    return con;
}

// The name of the world file without its folders.
const char* WorldBaseName() {
    const char* name = MissionName;
    for (const char* p = MissionName; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

bool TexAnimExists(const char* name) {
    char path[512];
    snprintf(path, sizeof path, "%s%c%s%c00", TEXANIMROOT, kPathSeparator, name, kPathSeparator);
    return qzpk_exists(path) != 0;
}

// A water animation named after the world file, else the default one; fatal when neither exists. The
// texture of the given name shows its first frame.
void LoadWaterAnim(const char* suffix, const char* fallback, const char* texName, const char* error,
                   TexAnim** anim, Tex** tex) {
    char name[128];
    snprintf(name, sizeof name, "%s%s", WorldBaseName(), suffix);
    if (!TexAnimExists(name)) {
        snprintf(name, sizeof name, "%s", fallback);
        if (!TexAnimExists(name)) FatalErrorF(error, name);
    }
    *anim = CreateTexAnim();
    LoadTexAnim(*anim, name);
    *tex = CreateTex();
    snprintf((*tex)->name, sizeof (*tex)->name, "%s", texName);
    // The texture borrows the animation's frames.
    (*tex)->shared = 1;
    (*tex)->surface = (*anim)->frameCount > 0 ? (*anim)->frames[0] : nullptr;
}

// Step 12: water, the sphere map, the noise and the crosshairs.
void LoadWaterFx() {
    LoadWaterAnim("_water", "water1", "<watertex>", "Error(LoadQZWD): failed to load water tex anim '%s'",
                  &WaterAnim, &WaterTex);
    OptionalInt("filteraccessiblemap", &filteraccessiblemap);
    if (CurrentLevel.specularWater) {
        LoadWaterAnim("_waterspecular", "waterspecular1", "<waterspecular>",
                      "Error(LoadQZWD): failed to load water specular anim '%s'", &WaterAnim2, &WaterTex2);
        // The device must draw the two-texture water stages, else the water goes without its highlight.
        SetWaterSpecularStages(WaterTex, WaterTex2);
        const bool refused = dxgl_ValidateDevice() != 0;
        ResetTextureStages();
        if (refused) {
            CurrentLevel.specularWater = 0;
            DeleteTex(WaterTex2);
            DeleteTexAnim(WaterAnim2);
            WaterTex2 = nullptr;
            WaterAnim2 = nullptr;
        }
    }
    char path[512];
    SphereMapTex = CreateTex();
    snprintf(path, sizeof path, "flares%csky", kPathSeparator);
    LoadTex(SphereMapTex, path, 0);
    // The textured object routines blend the sphere map on a second stage where the device can draw it.
    TwoStageBlendOp = kTwoStageBlendOn;
    SetTwoStageBlend(SphereMapTex, SphereMapTex);
    if (dxgl_ValidateDevice() != 0) {
        CurrentLevel.sphereMapping = 0;
        TwoStageBlendOp = kTwoStageBlendOff;
        DebugPrintf("warning(InitLevel): system weakness - disabling sphere mapping\n");
    }
    ResetTextureStages();
    SecondStageTexture = SphereMapTex;
    NoiseTex = CreateTex();
    snprintf(path, sizeof path, "specials%cnoise", kPathSeparator);
    LoadTex(NoiseTex, path, 0);
    static const char* const kCrosshairs[] = {"ov_xh", "ov_xh_air", "ov_xh_air2"};
    for (int i = 0; i < 3; ++i) {
        snprintf(path, sizeof path, "%s%c%s", BITMAPROOT, kPathSeparator, kCrosshairs[i]);
        CrosshairBitmaps[i] = dxgl_ReloadBitmap(path);
    }
}

// Step 13: the main view on the terrain, the way pointer, the clans' map size, the tactical map.
void OpenViewPorts() {
    if (MainViewPort) {
        SetViewPortScapeNoOverlay(MainViewPort, 0, nullptr, 9, SatCamera, static_cast<int>(ItfcMethod::VIEWINSIDE));
        const Rule* lod = MainViewPort_ScapeDetail[0] ? FindRule(MainViewPort_ScapeDetail) : nullptr;
        const Rule* morph =
            MainViewPort_MirroredScapeDetail[0] ? FindRule(MainViewPort_MirroredScapeDetail) : nullptr;
        SetViewPortLOD(MainViewPort, lod && lod->count >= 4 ? lod->values : nullptr,
                       morph && morph->count >= 4 ? morph->values : nullptr);
    }
    OptionalBytes("CaveFogColour", CurrentLevel.caveFogColour, 3);
    for (int c = 0; c < 3; ++c) CaveFogColour[c] = CurrentLevel.caveFogColour[c];
    char path[512];
    snprintf(path, sizeof path, "%s%cmisc", OBJROOT, kPathSeparator);
    WayPointer = CreateAndPlace(WayPointer_itfc, path);
    const float width = CurrentMatrix ? static_cast<float>(CurrentMatrix->width) : 0.0f;
    const float height = CurrentMatrix ? static_cast<float>(CurrentMatrix->height) : 0.0f;
    for (int i = 0; i < ClanCount; ++i)
        SetClanUnitParams(ClanTable[i], 0.0f, 0.0f, width, height);
    LeaveUnitView(PlayerTFView);
}

// Step 15: the day events, the game time and the length of a game day.
void CreateEvents() {
    ClearMessages();
    CreateDayEvents();
    if (const Rule* r = FindRule("game_time"); r && r->count >= 2)
        SetGameTime(0, TruncateToInt32(r->values[0]), TruncateToInt32(r->values[1]), 0);
    CutSceneCount = 0;
    const Rule* day = NamedRule("minutes_per_game_day");
    // A day of no (or negative) length would divide by zero or run the clock backwards.
    if (day->count < 1 || !(day->values[0] > 0.0f)) FatalError("Error(InitLevel): strange 'minutes_per_game_day'");
    SecondsPerTick = 14.4f / day->values[0];
}

bool ActivatedByDayEvents(const AUDef* au) {
    for (int i = 0; i < kDayEventLists; ++i)
        if (FindActivateAUEvent(DayEventList[i], au->name, DayEventCount[i])) return true;
    return false;
}

// Step 16: the action units that the mission activates.
void ActivateAUs() {
    for (int i = 0; i < AUDefCount; ++i) {
        AUDef* au = AUDefTable[i];
        ShowBuzyScreen(0, 1, 6, kBuildSteps, "activate AU %s", au->name);
        const Rule* r = FindRule(au->name);
        if (r && r->info[0] && strcmp(r->info[0], "activate") == 0) {
            if (!au->pool) AUDef_itfc(au, ItfcMethod::CREATE);
            if (!au->placed) AUDef_itfc(au, ItfcMethod::PLACE);
            if (RecordReplayActive && r->info[1] && strcmp(r->info[1], "cutscene") == 0) CreateCutScene(au);
        }
        if (!au->pool && ActivatedByDayEvents(au)) AUDef_itfc(au, ItfcMethod::CREATE);
    }
}

// Step 18, networked: the player's action unit and the session.
void CreateMultiplayerEnvironment() {
    ShowBuzyScreen(0, 1, -1, 20, "creating multiplayer environment");
    host::RemoveFile("MPLog.txt");
    PlayerRestrictions = 0;
    AssignAUToPlayer(OwnPlayer);
    if (OwnPlayer && OwnPlayer->actionUnit) OwnPlayer->actionUnit->abstractClan = 2;
    SetMovieCamera();
    MPDeferredFlags = 0;
    if (!IsHost) {
        JoinSession();
    } else {
        if (OwnPlayer) OwnPlayer->flags |= 0x2;
        HostSession(maxplayers);
        RoundStatus = 1;
        StatusCountdown = static_cast<int32_t>(buytime);
    }
}

}  // namespace

void SetBuzyCaptionSink(BuzyCaptionSink sink) { CaptionSink = sink; }

void ShowBuzyScreen(int first, int background, int index, int count, const char* format, ...) {
    (void)first;
    snprintf(PreviousCaption, sizeof PreviousCaption, "%s", CurrentCaption);
    if (!format) {
        CurrentCaption[0] = 0;
        return;
    }
    va_list args;
    va_start(args, format);
    vsnprintf(CurrentCaption, sizeof CurrentCaption, format, args);
    va_end(args);
    const double now = TimerNow();
    DebugPrintf("ShowBuzyScreen: %2.2fs (total %2.2fs) for %s, '%s: %s'\n", (now - StepStart) / 100.0,
                (now - BuildStart) / 100.0, PreviousCaption, MissionName, CurrentCaption);
    StepStart = now;
    // The background ("ui_7", loaded when the build or teardown began), the progress and the caption.
    dxgl_ClearRenderTarget(0xFF000000u, 1);
    if (background && ScreenBackground) dxgl_Blt(0, ScreenHeight, ScreenBackground, nullptr);
    DrawTextf(24, 60, "%s", CurrentCaption);
    if (count > 0 && index >= 0) DrawTextf(24, 30, "%d / %d", index + 1, count);
    // The sink sees the screen as it is about to be shown.
    if (CaptionSink) CaptionSink(CurrentCaption);
    dxgl_SwapBuffers();
}

void InitLevel(int swapSides) {
    BuildingLevel = 1;
    LevelBuildingFlag = 1;  // statics placed while building leave the access passes to the build's end
    LoadingScreenStart();
    ShowBuzyScreen(1, 1, 0, kBuildSteps, "init structures");
    dxgl_UpdateStreams();
    ResetLevelState();
    InitStructures();
    ReadLevelRules();
    SetUpSides(swapSides);
    ReadLevelSettings();
    CreateLevelViewPorts();
    HandSkySettings();
    PlayerTFView = CreateTFView();
    PlayerCommMenu = CreateCommMenu();
    InitFXSounds();
    SunLight = CreateDirLight(0, 0, 0);
    ReadWaterRules();
    SatCamera = CreateAndPlace(SatCamera_itfc, nullptr);
    StatCamera = CreateAndPlace(StatCamera_itfc, nullptr);
    WatchCamera = CreateAndPlace(WatchCamera_itfc, nullptr);
    if (SatCamera) SetInputConstruct(SatCamera, OwnPlayer);

    ShowBuzyScreen(0, 1, 1, kBuildSteps, "map data");
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", QZWDROOT, kPathSeparator, MissionName);
    LoadQZWD(path);

    ShowBuzyScreen(0, 1, 2, kBuildSteps, "water fx");
    LoadWaterFx();

    ShowBuzyScreen(0, 1, 3, kBuildSteps, "open viewports");
    OpenViewPorts();

    ShowBuzyScreen(0, 1, 4, kBuildSteps, "create shared pools");
    CreateDeadBodyPool();
    PreloadWeapons();
    CreateSharedPools();
    SetGameTime(0, 0, 0, 0);
    LoadFlareTextures();
    OptionalInt("offmatrixclone_idx", &offmatrixclone_idx);
    OptionalFloat("earth_axis_pitch", &CurrentLevel.earthAxisPitch);

    ShowBuzyScreen(0, 1, 5, kBuildSteps, "create events, static link pool");
    CreateEvents();
    ActivateAUs();

    ShowBuzyScreen(0, 1, 14, kBuildSteps, "initalizing");
    dxgl_UpdateSoundVolumes(0);
    FlushQZEvents();
    static const uint8_t kWhite[4] = {255, 255, 255, 255};
    SetTextColor(kWhite);
    const int draws = static_cast<int>(static_cast<int64_t>(TimerNow()) % 256);
    for (int i = 0; i < draws; ++i) RandomInRange(0.0f, 100.0f);

    if (!MultiplayerOn) {
        PlayerRestrictions = 0xffffffffu;
        RedefineTF();
        for (int i = 0; i < ClanCount; ++i) {
            BuildAUWaypointLists(ClanTable[i]);
            UpdateTFSelection(PlayerTFView);
        }
    } else {
        CreateMultiplayerEnvironment();
    }

    dxgl_EnableSound();
    FlushQZEvents();
    LeaveUnitView(PlayerTFView);
    dxgl_UpdateMouseState();
    dxgl_UpdateKeyboardState();
    WorldTick(1, 0);
    WorldTick(1, 0);

    if (MultiplayerOn) {
        AUDef* au = OwnPlayer ? OwnPlayer->actionUnit : nullptr;
        if (au && au->pool && au->pool->count > 0) EnterUnitView(PlayerTFView, au->pool->constructs[0], 1);
        ShowMousePtr();
        CenterMousePtr();
        PhaseStartTime = TimerNow();
    }

    SetSceneryLightingLevel(CurrentLevel.sceneryLighting);
    UpdateAllScapeBoards();
    InitRenderMode();
    // Every level is drawn at the full detail: shaded and textured.
    DetailLevel = 3;
    FreeScreenBackground(&ScreenBackground);
    BuildingLevel = 0;
    LevelBuildingFlag = 0;
}

void LevelWind(int32_t out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = TruncateToInt32(CurrentLevel.windVector[i]);
}

int LevelDustEmission() { return CurrentLevel.dustEmission != 0.0f ? 1 : 0; }

int32_t LevelDustScale() { return CurrentLevel.dustScale; }

const uint8_t* LevelDustColour() { return CurrentLevel.dustColour; }
