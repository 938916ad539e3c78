// View rendering on the demo island (the world file, ground textures, water animations and water rules of
// the demo tree that tools/mkdemo writes), drawn at 800 x 600 through RenderView on the board the main
// view has (19 x 19 tiles, level-of-detail distances "lod_high"), headless, once on one rasterizer thread
// and once on all of them. Each frame clears colour and z, draws the view and waits for every pixel.
//
// First the terrain alone: the camera flies a fixed arc along the island's south-west coast, looking in
// over the beach, the hills and the sea (transparent specular water, terrain with geomorphing, fog,
// vertex lighting and ground textures). Then the same island with 200 placed objects (boxes of
// flat-lit, Gouraud, vertex-coloured and textured faces, some translucent) in view around the camp, the
// camera turning slowly over them: the same frame with construct collection, transform, lighting,
// sorting and the object routines. Last the same objects scene seen from the player's jeep with the
// cockpit overlay on: the jeep's cockpit model, the instruments, the task-force panel, the clock, the map
// panel with the radar symbols of the 200 units (every object answers as a unit with its sight area) and
// the target marks of one of them, drawn as the frame loop draws them after the view.
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

#include "core/Config.h"
#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "hud/CockpitOverlay.h"
#include "hud/Icons.h"
#include "hud/MissionStatus.h"
#include "hud/TFView.h"
#include "hud/ViewInstruments.h"
#include "objects/Itfc.h"
#include "objects/UnitServices.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/Font.h"
#include "platform/Texture.h"
#include "tests/render/ObjectScene.h"
#include "tests/support/FPTables.h"
#include "tests/support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"
#include "tools/mkdemo/Demo.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "world/Construct.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"
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

constexpr int kW = 800, kH = 600;
constexpr int kRadius = 9, kBoard = 2 * kRadius + 1;  // the main view's board

// ---- The demo island ----------------------------------------------------------------------------------

// The demo tree's files that the view needs, the island read from its world file, the level's water (its
// animations' first frames and the mission's water rules) and the unit entries its action units name.
struct Island {
    kvtest::TempDir dir;
    bool ok = false;
    TexAnim* waterAnim[2] = {nullptr, nullptr};
    mkdemo::DemoPlace camp{};
};

Tex* WaterFrame(const char* animName, const char* texName, TexAnim** anim) {
    *anim = CreateTexAnim();
    LoadTexAnim(*anim, animName);
    Tex* t = CreateTex();
    std::snprintf(t->name, sizeof t->name, "%s", texName);
    t->shared = 1;
    t->surface = (*anim)->frameCount > 0 ? (*anim)->frames[0] : nullptr;
    return t;
}

void RuleBytes(const char* name, uint8_t* out) {
    if (const Rule* r = FindRule(name))
        for (int i = 0; i < 3 && i < r->count; ++i) out[i] = static_cast<uint8_t>(r->values[i]);
}

bool MakeIsland(Island& is) {
    kvtest::EnsureFPTables();
    mkdemo::Context ctx{is.dir.path(), std::string(KV_SOURCE_DIR) + "/data", false};
    datakit::WriteFile(is.dir / "Maps/Ema01", mkdemo::DemoIslandWorld());
    if (!mkdemo::BuildCoreFiles(ctx) || !mkdemo::BuildObjects(ctx) || !mkdemo::BuildTextures(ctx)) return false;
    host::SetWorkingDirectory(is.dir.path().c_str());
    host::FlushDirectoryCache();
    ReadPathsFile("app/paths");
    FreeRules();
    ReadRules("app/rules");
    ReadRules("Scripts\\Ema01.txt");
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    ResetMatrixGlobals();
    // The island's action units name the entries of the demo's units file; their types are not needed to
    // read them.
    static bool units = false;
    if (!units) ReadUnitsFile("app/units");
    units = true;
    LoadQZWD("Maps\\Ema01");
    // The water as the level sets it up: transparent, with the specular stages, in the mission's colours.
    WaterTex = WaterFrame("water1", "<watertex>", &is.waterAnim[0]);
    WaterTex2 = WaterFrame("waterspecular1", "<waterspecular>", &is.waterAnim[1]);
    RuleBytes("WaterColour", LevelWaterColour);
    RuleBytes("WaterSpecularBias", LevelWaterSpecularBias);
    const Rule* transparent = FindRule("WaterTransparent");
    LevelWaterTransparent = transparent && transparent->count > 0 ? static_cast<int32_t>(transparent->values[0]) : 0;
    LevelSpecularWater = 1;
    is.camp = mkdemo::DemoIslandPlace("camp");
    return is.ok = CurrentMatrix != nullptr;
}

void FreeIsland(Island& is) {
    WaterTex = WaterTex2 = nullptr;
    for (TexAnim*& a : is.waterAnim) {
        DeleteTexAnim(a);
        a = nullptr;
    }
    if (CurrentMatrix) FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    FreeQZWDKeptChunks();
    FreeSkyCell(WorldSkyCell);
    WorldSkyCell = nullptr;
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
    FreeRules();
}

// ---- The view ---------------------------------------------------------------------------------------

// A headless 800 x 600 device (32-bit colour, 24-bit z) with the game's resting render states, and a
// viewport on a board that follows the camera over the island.
struct Scene {
    host::GfxSurface *colour, *depth;
    host::GfxDevice* device;
    construct* camera;
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
    s.camera = CreateConstruct(1, 0);
    s.board = nullptr;
    std::memset(&s.vp, 0, sizeof s.vp);
    s.vp.right = kW;
    s.vp.bottom = kH;
    s.vp.centreX = kW / 2;
    s.vp.centreY = kH / 2;
    s.vp.focal[0] = s.vp.focal[1] = kW / 2;
    s.vp.boardRadius = kRadius;
    s.vp.colour[0] = s.vp.colour[1] = s.vp.colour[2] = 20;
    s.vp.sharesMainBoards = 1;  // the board is scrolled here, before the view
    MainViewPort = &s.vp;       // the main view: no green tint over it
    const int32_t lod[4] = {300000, 150000, 90000, 60000};
    std::memcpy(s.vp.lod, lod, sizeof lod);
    std::memcpy(s.vp.morph, lod, sizeof lod);
}

// The board is made once the island is read.
void OpenBoard(Scene& s) {
    s.board = CreateScapeBoard(kBoard, kBoard, kRadius, 0, 0);
    s.board->followed = s.camera;
    s.vp.board = s.board;
}

void FreeScene(Scene& s) {
    FreeScapeBoard(s.board);
    FreeConstruct(s.camera);
    host::DeleteDevice(s.device);
    host::DeleteSurface(s.depth);
    host::DeleteSurface(s.colour);
    D3DDevice = nullptr;
    BackBuffer = nullptr;
    ZBufferSurface = nullptr;
    MainViewPort = nullptr;
}

// Orientation: heading a (0 looks along +z), pitched down by p.
void Orient(ViewPort& vp, double a, double p) {
    const double ca = std::cos(a), sa = std::sin(a), cp = std::cos(p), sp = std::sin(p);
    const double m[9] = {ca, 0, -sa, sa * sp, cp, ca * sp, sa * cp, -sp, ca * cp};
    for (int i = 0; i < 9; ++i) vp.view.m[i] = static_cast<int32_t>(m[i] * 32767);
}

// Moves the camera (and the board with it) and points the view.
void PlaceCamera(Scene& s, int32_t x, int32_t y, int32_t z, double heading, double pitch) {
    s.camera->pos[0] = x;
    s.camera->pos[1] = y;
    s.camera->pos[2] = z;
    s.vp.cameraPos = {x, y, z};
    Orient(s.vp, heading, pitch);
    ScrollScapeBoard(s.board, CurrentMatrix);
}

// Draws frames + 1 frames (the first is not timed), placing the camera for each; the median frame time.
void (*AfterView)() = nullptr;  // the overlay the frame loop draws after the view, when set

template <typename Place>
double MedianFrameMs(Scene& s, int frames, Place place) {
    std::vector<double> times;
    TriangleCount = 0;
    for (int f = 0; f < frames + 1; ++f) {
        place(f);
        auto t0 = std::chrono::steady_clock::now();
        host::Clear(s.device, 0, nullptr, host::GfxClearTarget | host::GfxClearZBuffer, 0xFF405070u, 1.0f, 0);
        AdvanceViewStamp();
        RenderView(&s.vp, 0);
        if (AfterView) AfterView();
        host::FinishDrawing(s.device);
        auto t1 = std::chrono::steady_clock::now();
        if (f > 0) times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

const char* PicturePath = nullptr;  // --picture: each scene's last frame, "<path>_terrain.bmp" and "<path>_objects.bmp"

void WritePicture(const Scene& s, const char* scene) {
    if (!PicturePath) return;
    std::vector<uint32_t> px;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px.push_back(host::ReadPixelArgb(s.colour, x, y) & 0xFFFFFF);
    datakit::WriteFile(std::string(PicturePath) + "_" + scene + ".bmp", datakit::Bmp24(kW, kH, px));
}

// Camera k of the terrain path: on a circle around the island's centre just off the east coast, by the
// river's mouth, 20000 world units up, looking in over the beach (and along the coast out to sea),
// 0.01 radians of arc a frame.
void PlaceCoastCamera(Scene& s, int k) {
    const double centre = mkdemo::kDemoIslandTiles * 65536 / 2.0, r = 26.0 * 65536;
    const double a = 1.2 + k * 0.01;  // around the centre, from +z towards +x
    const int32_t x = static_cast<int32_t>(centre + r * std::sin(a)), z = static_cast<int32_t>(centre + r * std::cos(a));
    PlaceCamera(s, x, 30000, z, a + M_PI + 0.3, 0.25);
}

void RunTerrain(int threads, int frames) {
    host::SetRasterThreads(threads);
    Scene s;
    MakeScene(s);
    Island is;
    if (!MakeIsland(is)) {
        std::printf("view terrain: the demo island could not be written or read\n");
        FreeScene(s);
        return;
    }
    OpenBoard(s);
    const double ms = MedianFrameMs(s, frames, [&](int f) { PlaceCoastCamera(s, f); });
    WritePicture(s, "terrain");
    std::printf("view island terrain: %.1f frames/s (%.3f ms/frame, %d threads, %.0f triangles/frame)\n",
                1000.0 / ms, ms, host::RasterThreads(), TriangleCount / (frames + 1));
    std::fflush(stdout);
    FreeScene(s);
    FreeIsland(is);
}

// ---- The demo island with 200 objects -------------------------------------------------------------

struct Objects {
    ConstructPool* pool = nullptr;
    std::vector<construct*> objects;
    host::GfxSurface* checker = nullptr;
    Tex tex{};
};

void MakeObjects(Objects& ob, const mkdemo::DemoPlace& camp) {
    ob.pool = CreateConstructPool(256, "visible");
    VisiblePool = ob.pool;
    ob.checker = kvtest::CheckerSurface(64, 0xFFE0D0B0, 0xFF705030);
    ob.tex.surface = ob.checker;
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
                                  t >= 5 ? &ob.tex : nullptr);
        const double a = (next() / 65536.0 - 0.5) * 1.1, r = (1.0 + 5.5 * next() / 65536.0) * 65536;
        const int32_t x = camp.x + int32_t(r * std::sin(a)), z = camp.z + int32_t(r * std::cos(a));
        int32_t low = 0;
        for (auto& c : g->box.corners) low = std::min(low, c[1]);
        const int32_t at[3] = {x, 0, z};
        construct* c = kvtest::MakeObject(g, x, InterpGroundHeight(CurrentMatrix, at, nullptr) - low * 4, z);
        if (i % 10 == 9) c->opacity = 160;
        AppendToConstructPool(ob.pool, c);
        ob.objects.push_back(c);
    }
}

void FreeObjects(Objects& ob) {
    for (construct* c : ob.objects) FreeConstruct(c);
    DeleteConstructPool(ob.pool);
    VisiblePool = nullptr;
    host::DeleteSurface(ob.checker);
}

// Camera k: above the camp, swinging slowly from side to side, pitched down over the objects.
void PlaceCampCamera(Scene& s, const mkdemo::DemoPlace& camp, int k) {
    const int32_t at[3] = {camp.x, 0, camp.z};
    PlaceCamera(s, camp.x, InterpGroundHeight(CurrentMatrix, at, nullptr) + 45000, camp.z, 0.2 * std::sin(k * 0.05), 0.35);
}

void RunObjects(int threads, int frames) {
    host::SetRasterThreads(threads);
    Scene s;
    MakeScene(s);
    Island is;
    if (!MakeIsland(is)) {
        std::printf("view island, 200 objects: the demo island could not be written or read\n");
        FreeScene(s);
        return;
    }
    OpenBoard(s);
    Objects ob;
    MakeObjects(ob, is.camp);
    const double ms = MedianFrameMs(s, frames, [&](int f) { PlaceCampCamera(s, is.camp, f); });
    WritePicture(s, "objects");
    int drawn = 0;
    for (construct* c : ob.objects) drawn += (c->flags & 0x400) != 0;
    std::printf("view island, 200 objects: %.1f frames/s (%.3f ms/frame, %d threads, %.0f triangles/frame, %d objects in view)\n",
                1000.0 / ms, ms, host::RasterThreads(), TriangleCount / (frames + 1), drawn);
    std::fflush(stdout);
    FreeObjects(ob);
    FreeScene(s);
    FreeIsland(is);
}

// ---- The objects scene from the jeep's cockpit, with the overlay --------------------------------------

// What a unit answers the overlay: its record first (GETUNIT), its state and maxima, the drive gauge.
struct BenchUnit {
    UnitShare unit;
    StateRecord state;
    MaximaRecord maxima;
};

construct* CockpitModel = nullptr;  // the jeep's cockpit, drawn over the view from inside

uintptr_t BenchUnit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    auto* b = static_cast<BenchUnit*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(&b->unit);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&b->state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&b->maxima);
        case ItfcMethod::GETGAUGES:
            *reinterpret_cast<int32_t*>(arg) = 100;
            return 40;
        case ItfcMethod::GETTURRETYAW:
            return 30000;
        case ItfcMethod::DRAWOVERLAY:
            DrawPartAt(CockpitModel, con->orient, &b->unit, nullptr, nullptr);
            return 0;
        default:
            return 0;
    }
}

void MakeUnit(construct* c, int32_t sightType, int32_t sightRange) {
    c->itfc = BenchUnit_itfc;
    auto* b = static_cast<BenchUnit*>(AllocItfcData(c, sizeof(BenchUnit)));
    b->state = {60, 200, 0};
    b->maxima = {80, 250, 0};
    b->unit.sightType = sightType;
    b->unit.sightRange = sightRange;
}

struct Cockpit {
    construct* jeep = nullptr;
    ConstructPool* icons = nullptr;
    ConstructPool* members = nullptr;
    ThreatEntry entry{};
    TFView view{};
    TaskButton buttons[5]{};
    std::vector<QZIcon*> loaded;
};

// "specials\<name>" of the demo tree as a new texture record.
Tex* SpecialTex(const char* name) {
    char path[64];
    std::snprintf(path, sizeof path, "specials\\%s", name);
    Tex* t = CreateTex();
    LoadTex(t, path, 0);
    return t;
}

// The icons named "<first + i>" into the set.
void LoadIcons(Cockpit& ck, QZIcon** set, int count, const int* numbers) {
    for (int i = 0; i < count; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", numbers[i]);
        QZIcon* icon = CreateQZIcon();
        LoadQZIcon(icon, name);
        set[i] = icon;
        ck.loaded.push_back(icon);
    }
}
Cockpit* TheCockpit = nullptr;

// The frame loop's overlay after the main view (the view itself drew the cockpit model and instruments).
void DrawCockpitOverlay() {
    DrawHUD(&TheCockpit->view);
}

void MakeCockpit(Cockpit& ck, Scene& s, Objects& ob, Island& is) {
    // The interface's pictures of the demo tree: the cockpit's textures, the panel, the island's map and the
    // map symbols.
    mkdemo::Context ctx{is.dir.path(), std::string(KV_SOURCE_DIR) + "/data", false};
    mkdemo::BuildInterfacePictures(ctx);
    host::FlushDirectoryCache();
    for (int i = 0; i < kSpecialTextureCount; ++i) SpecialTextures[i] = SpecialTex(SpecialTextureNames[i]);
    ck.view.panelTex = SpecialTex("panel");
    ck.view.mapTex = SpecialTex("Ema01");
    static const int kA[8] = {0, 1, 2, 3, 4, 5, 6, 7}, kB[8] = {8, 9, 10, 11, 12, 13, 14, 15};
    static const int kC[10] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 25}, kD[6] = {30, 31, 32, 33, 34, 35};
    static const int kE[8] = {40, 41, 42, 43, 44, 45, 50, 51};
    LoadIcons(ck, ck.view.iconsA, 8, kA);
    LoadIcons(ck, ck.view.iconsB, 8, kB);
    LoadIcons(ck, ck.view.iconsC, 10, kC);
    LoadIcons(ck, ck.view.iconsD, 6, kD);
    LoadIcons(ck, ck.view.iconsE, 8, kE);
    LoadFont();
    InstallProjectionEye();  // the game installs it with its render mode: the target marks project through it
    ScreenWidth = kW;
    ScreenHeight = kH;
    // The 200 objects answer as units: half with radar, half with eyes, as the map panel's symbols.
    ck.icons = CreateConstructPool(256, "icon");
    for (size_t i = 0; i < ob.objects.size(); ++i) {
        MakeUnit(ob.objects[i], i % 2 ? kSightEye : kSightRadar, 3 * 65536);
        AppendToConstructPool(ck.icons, ob.objects[i]);
    }
    // The player's jeep: its cockpit model from the demo tree, looking out where the camera looks.
    Geom* g = LoadGeom(1400, "Objects\\ema\\jeep\\cockpit", "", nullptr);
    CockpitModel = CreateConstruct(0, 2);
    AllocBBoards(CockpitModel, 0);
    SetConstructGeoms(CockpitModel, g, g, g, g);
    ck.jeep = CreateConstruct(0, 0);
    MakeUnit(ck.jeep, kSightRadar, 4 * 65536);
    ck.jeep->flags |= 0x8;
    std::snprintf(WeaponNames[0], sizeof WeaponNames[0], "MG");
    std::snprintf(WeaponNames[1], sizeof WeaponNames[1], "NONE");
    PlayerUnit = ck.jeep;
    PlayerRestrictions |= 0x400;
    s.vp.follows = ck.jeep;
    s.vp.insideView = 1;
    // The lock target: an object near the middle of the view.
    ck.entry.con = ob.objects[100];
    ck.entry.distance = 3 * 65536;
    auto* rec = static_cast<BenchUnit*>(ck.jeep->itfcData);
    rec->unit.lockTarget = ob.objects[100];
    rec->unit.lockEntry = &ck.entry;
    // Both panels on: the map panel at a quarter of the screen width, zoomed as the level starts.
    ck.view.mapPanelSize = static_cast<int32_t>(kW * 0.26f);
    ck.view.tfPanelWidth = 144;
    ck.view.mapZoom = 11520;
    // Five members with their task buttons down the right screen edge, as the task-force view lays them out.
    ck.members = CreateConstructPool(8, "bench members");
    ck.view.members = ck.members;
    for (int i = 0; i < 5; ++i) {
        construct* c = i == 0 ? ck.jeep : ob.objects[i];
        c->bytes2[0] = static_cast<uint8_t>(i);
        AppendToConstructPool(ck.members, c);
        TaskButton& b = ck.buttons[i];
        const int32_t y = 18 + 37 * i;
        b = {0, kW - 144, kH - y, kW, kH - y - 18, {0, 128, 64, 80}, c};
        ck.view.buttons[ck.view.buttonCount++] = &b;
    }
    CockpitPanels = 3;
    TheCockpit = &ck;
    AfterView = DrawCockpitOverlay;
}

// Keeps the jeep (and so the cockpit and the instruments) at the camera, facing where it looks.
void PlaceJeep(Cockpit& ck, const Scene& s) {
    const int32_t at[3] = {s.vp.cameraPos.x, s.vp.cameraPos.y, s.vp.cameraPos.z};
    std::memcpy(ck.jeep->pos, at, sizeof at);
    std::memcpy(ck.jeep->orient, s.vp.view.m, sizeof ck.jeep->orient);
    std::memcpy(static_cast<BenchUnit*>(ck.jeep->itfcData)->unit.insidePos, at, sizeof at);
}

void FreeCockpit(Cockpit& ck, Scene& s, Objects& ob) {
    AfterView = nullptr;
    TheCockpit = nullptr;
    CockpitPanels = 0;
    PlayerUnit = nullptr;
    s.vp.follows = nullptr;
    DeleteConstructPool(ck.members);
    ck.jeep->flags &= ~0x8u;
    FreeConstruct(ck.jeep);
    FreeConstruct(CockpitModel);
    CockpitModel = nullptr;
    DeleteConstructPool(ck.icons);
    for (construct* c : ob.objects) c->itfc = nullptr;
    for (QZIcon* icon : ck.loaded) DeleteQZIcon(icon);
    // The textures go with the island.
    for (Tex*& t : SpecialTextures) t = nullptr;
    FreeFont();
}

void RunCockpit(int threads, int frames) {
    host::SetRasterThreads(threads);
    Scene s;
    MakeScene(s);
    Island is;
    if (!MakeIsland(is)) {
        std::printf("view island, 200 objects, cockpit overlay: the demo island could not be written or read\n");
        FreeScene(s);
        return;
    }
    OpenBoard(s);
    Objects ob;
    MakeObjects(ob, is.camp);
    Cockpit ck;
    MakeCockpit(ck, s, ob, is);
    const double ms = MedianFrameMs(s, frames, [&](int f) {
        PlaceCampCamera(s, is.camp, f);
        PlaceJeep(ck, s);
    });
    WritePicture(s, "cockpit");
    std::printf("view island, 200 objects, cockpit overlay: %.1f frames/s (%.3f ms/frame, %d threads, %.0f triangles/frame)\n",
                1000.0 / ms, ms, host::RasterThreads(), TriangleCount / (frames + 1));
    std::fflush(stdout);
    FreeCockpit(ck, s, ob);
    FreeObjects(ob);
    FreeScene(s);
    FreeIsland(is);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 60;
    bool singleOnly = false;
    const char* only = "";  // --only terrain / objects / cockpit: one scene (for profiling)
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
        if (std::strcmp(argv[i], "--single") == 0) singleOnly = true;
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) PicturePath = argv[++i];
    }
    const int32_t dir[3] = {12000, 28000, 11000}, colour[3] = {1100, 1050, 950};
    SunLight = CreateDirLight(0, 0, 0);
    SetDirLight(SunLight, dir, colour);
    SkyFogColour[0] = 64, SkyFogColour[1] = 80, SkyFogColour[2] = 112;
    const std::string cwd = std::filesystem::current_path().string();
    const bool all = !singleOnly && std::thread::hardware_concurrency() > 1;
    auto scene = [&](const char* name) { return !*only || std::strcmp(only, name) == 0; };
    if (scene("terrain")) {
        RunTerrain(1, frames);
        if (all) RunTerrain(0, frames);
    }
    if (scene("objects")) {
        RunObjects(1, frames);
        if (all) RunObjects(0, frames);
    }
    if (scene("cockpit")) {
        RunCockpit(1, frames);
        if (all) RunCockpit(0, frames);
    }
    host::SetWorkingDirectory(cwd.c_str());
    FreeDirLight(SunLight);
    SunLight = nullptr;
    return 0;
}
