// Start-up, shutdown and the long-lived game data, in the fixed order the game relies on: the core
// first, then the window, the devices, the data that lives across levels, and the menus.
#include "game/Startup.h"

#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "frontend/Widgets.h"
#include "host/Dialog.h"
#include "host/Gfx.h"
#include "host/Media.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "hud/MousePtr.h"
#include "objects/Cameras.h"
#include "objects/Elements.h"
#include "objects/Units.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/InputDevices.h"
#include "platform/Music.h"
#include "platform/Sound.h"
#include "render/RenderTables.h"
#include "render/ScreenText.h"
#include "vehicles/types/VehicleFrame.h"
#include "world/Player.h"

int StartingUp = 1;
int DisplayOK = 1;
int MemCheckFromStart = 0;
int TrackedBlocksAtExit = 0;

namespace {

// The product name is both the window class and the window title.
constexpr const char* kProductName = "Karvonel";

// Opens the package "Vexa.qzp" when it exists and reads the configuration "Vexa.cfg".
void OpenCoreFiles() {
    qzpk_init("Vexa.qzp");
    ReadConfigFile("Vexa.cfg");
}

// First run only: pre-reads the paths and the in-game texts and asks which driving aids to switch on.
void FirstRunQuestion() {
    ReadPathsFile("app/paths");
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", TEXTROOT, kPathSeparator, "Ingame.txt");
    ReadRules(path);
    Rule* text = FindRule("FirstRun_text");
    Rule* title = FindRule("FirstRun_title");
    int answer = host::ShowMessageBox(text && text->info[0] ? text->info[0] : "",
                                      title && title->info[0] ? title->info[0] : "", host::DialogKind::YesNo);
    int on = answer == host::kDialogYes ? 1 : 0;
    struct {
        const char* rule;
        int* setting;
    } aids[] = {{"airborne_auto_recentering", &airborne_auto_recentering},
                {"auto_look_forward", &auto_look_forward},
                {"auto_terrain_following", &auto_terrain_following}};
    for (auto& aid : aids) {
        Rule* r = FindRule(aid.rule);
        if (!r) continue;
        if (r->count > 0) r->values[0] = static_cast<float>(on);
        *aid.setting = on;
    }
}

// Reads "app/rules" and "app/paths".
void ReadStartupRules() {
    ReadRules("app/rules");
    ReadPathsFile("app/paths");
}

// Plays the logo and intro movies that exist, each in a media graph of its own.
void PlayStartupMovies() {
    for (const char* movie : {"Movies\\Omber", "Movies\\Hollin", "Movies\\VX1"}) {
        if (!qzpk_exists(movie)) continue;
        InitDirectShow();
        PlayVideo(movie);
        ReleaseDirectShow();
    }
}

// First run only: binds the camera zoom to the mouse wheel, or to the keypad's minus and plus.
void FirstRunZoomBinding() {
    Rule* r = FindRule("PM_CAMERA_INOUT_SCALAR");
    if (!r) return;
    if (MouseHasWheel) {
        SetRuleInfo(r, 0, "MOUSE_WHEEL");
        SetRuleInfo(r, 1, nullptr);
    } else {
        SetRuleInfo(r, 0, "PADMINUS_KEY");
        SetRuleInfo(r, 1, "PADPLUS_KEY");
    }
}

// Starts the intro music when the rule "intromusic" exists and background music is on.
void StartIntroMusic() { StartRuleMusic("intromusic"); }

// Pauses every sound before the closing slide show.
void PauseAllSounds() { dxgl_PauseAllSounds(); }

// Closes the package.
void CloseCoreFiles() { qzpk_close(); }

// Keeps the settings of this run (and a first run's answers) for the next one.
void SaveConfiguration() {
    if (!WriteConfigFile()) fprintf(stderr, "karvonel: the configuration \"Vexa.cfg\" could not be written\n");
}

// A checking run names every tracked block still live at exit. The package is closed only after the
// tracker stops, so its own blocks are still live here and are not counted.
void ReportTrackedBlocksAtExit() {
    TrackedBlocksAtExit = 0;
    if (!MemCheck || !MemCheck->enabled) return;
    for (int i = 0; i < MemCheck->count; ++i) {
        const MemCheckEntry& e = MemCheck->entries[i];
        bool package = false;
        for (const char* purpose : {"qzpk state", "qzpk tag list", "qzpk tag", "qzpk tag name"})
            package = package || strcmp(e.purpose, purpose) == 0;
        if (package) continue;
        ++TrackedBlocksAtExit;
        fprintf(stderr, "karvonel: tracked block left at exit: %d bytes for '%s'\n", e.size, e.purpose);
    }
}

void CreateWindowFromConfig() {
    int x, y, w, h;
    if (fullscreen) {
        x = 0;
        y = 0;
        if (!host::DesktopSize(&w, &h)) x = y = w = h = 0x9001f;
    } else {
        // Centred on a 1152 x 864 screen, as the game was laid out.
        x = 576 - xres / 2;
        y = 432 - yres / 2;
        w = xres;
        h = yres;
    }
    if (!host::CreateMainWindow(kProductName, x, y, w, h, fullscreen != 0))
        FatalError("Error(WinMain): failed to create window");
}

}  // namespace

void PumpMessages() { host::PumpEvents(); }

void StartRuleMusic(const char* ruleName) {
    Rule* rule = FindRule(ruleName);
    if (!rule || !use_bgdmusic || !rule->info[0]) return;
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", SOUNDROOT, kPathSeparator, rule->info[0]);
    OpenBgdMusic(path, 1);
}

void WindowKeyDown(int virtualKey) {
    // Return, Escape and Space stop a playing movie.
    if (VideoPlaying && (virtualKey == 13 || virtualKey == 27 || virtualKey == 32)) VideoContinue = 0;
}

// The one-shot buffers' format (channels, rate, bits from the rule "StaticBufferFormat"; without it
// the sound layer keeps its own), the sound folder, then the device.
static void OpenSoundDevice() {
    Rule* format = FindRule("StaticBufferFormat");
    if (format && format->count >= 3)
        dxgl_SetStreamFormat(TruncateToInt32(format->values[0]), TruncateToInt32(format->values[1]),
                             TruncateToInt32(format->values[2]));
    dxgl_SetSoundFolder(SOUNDROOT);
    dxgl_InitDS();
}

// DirectInput, then the keyboard, the mouse and the joystick.
static void OpenInputDevices() {
    dxgl_InitDI();
    dxgl_InitKeyboard();
    dxgl_InitMouse();
    dxgl_InitJoy();
}

// The mouse, the joystick, the keyboard, then DirectInput.
static void CloseInputDevices() {
    dxgl_ReleaseMouse();
    dxgl_ReleaseJoy();
    dxgl_ReleaseKeyboard();
    dxgl_ReleaseDI();
}

// The initial render states: z test and z writes as configured, no specular, no culling, dithering,
// additive blend factors; both texture stages filter linearly, each from its own coordinate pair.
static void SetInitialRenderStates() {
    using host::RenderState;
    using host::StageState;
    const auto state = [](RenderState s, uint32_t v) {
        ReportDDError(host::SetRenderState(D3DDevice, s, v));
    };
    const uint32_t z = zbuffer ? 1u : 0u;
    const uint32_t one = static_cast<uint32_t>(host::BlendFactor::One);
    state(RenderState::ZWriteEnable, z);
    state(RenderState::ZEnable, z);
    state(RenderState::SpecularEnable, 0);
    state(RenderState::CullMode, host::GfxCullNone);
    state(RenderState::DitherEnable, 1);
    // Perspective-correct texturing as the rule "perspective_textures" says; without the rule the
    // device keeps its default (on).
    if (const Rule* rule = FindRule("perspective_textures"); rule && rule->count > 0)
        dxgl_SetPerspectiveTextures(TruncateToInt32(rule->values[0]));
    state(RenderState::SrcBlend, one);
    state(RenderState::DestBlend, one);
    for (int stage = 0; stage < 2; ++stage) {
        const auto stageState = [stage](StageState s, uint32_t v) {
            ReportDDError(host::SetTextureStageState(D3DDevice, stage, s, v));
        };
        stageState(StageState::MagFilter, host::GfxFilterLinear);
        stageState(StageState::MinFilter, host::GfxFilterLinear);
        stageState(StageState::TexCoordIndex, static_cast<uint32_t>(stage));
    }
}

int OpenDisplay() {
    InitDirectShow();
    const int result = dxgl_InitD3D();
    // Without a display (the full-screen mode could not be set) the device steps are skipped; the frame
    // loops skip drawing while dxgl_TestCooperativeLevel reports it.
    if (result) dxgl_ClearRenderTarget(0xFF000000u, 0);
    OpenInputDevices();
    OpenSoundDevice();
    // The D3DX context needs nothing.
    if (result) {
        dxgl_SwapBuffers();
        SetInitialRenderStates();
        dxgl_EvictManagedTextures();
    }
    return result;
}

void CloseDevices() {
    CloseInputDevices();
    // The D3DX context needs nothing.
    dxgl_ReleaseAllSounds();
    dxgl_ShutdownD3D();
    ReleaseDirectShow();
}

void InitGameData() {
    RegisterCameraTypes();
    LoadFPTables();
    RegisterVehicleTypes();
    RegisterElementTypes();
    ReadUnitsFile("app/units");
    ResetWidgets();
    // The render mode for the current screen size, and the draw routines of detail level 0.
    InitRenderMode();
    InstallRenderRoutines(0);
    SetScreenTextMetrics(12, 16);
    LoadFont();
    OwnPlayer = CreatePlayer(Playername);
    InitKeyNames();
    ReadKeyBindings();
    IconsInit();
    CreateMousePtr();
}

void FreeGameData() {
    DeleteMousePtr();
    IconsFree();
    // The font texture is released with the rest of the long-lived data, before the device closes.
    FreeFont();
    FreeRules();
    FreeKeyNames();
    // Player cells: always the first, until none is left.
    while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
    OwnPlayer = nullptr;
    while (TeamCount > 0) DeleteTeam(TeamTable[0]);
    while (UnitCount > 0) FreeUnit(UnitTable[0]);
    FreeFPTables();
}

void InstallLayerHooks() {
    // The fatal path of the lower layers closes the devices; the configuration hands the master volume
    // and the Doppler factor to the sound layer and asks it for them when it is written.
    static const ConfigSoundLink kSoundLink{dxgl_SetMasterVolume, dxgl_GetMasterVolume, dxgl_SetSoundFactor,
                                            dxgl_GetSoundFactor};
    SetCloseDevicesHook(CloseDevices);
    SetConfigSoundLink(&kSoundLink);
}

int GameMain() {
    StartingUp = 1;
    DisplayOK = 1;

    // The game starts the tracker switched off; a checking run (--memcheck) has it record everything.
    if (MemCheckFromStart)
        MemCheck_init(1000000, 1);
    else
        MemCheck_init(0, 0);
    host::SetMovieKeyHandler(WindowKeyDown);
    InstallLayerHooks();
    OpenCoreFiles();
    if (first_run) FirstRunQuestion();
    CreateWindowFromConfig();
    ReadStartupRules();
    PlayStartupMovies();
    OpenDisplay();
    if (first_run) FirstRunZoomBinding();
    InitGameData();
    // The first run's answers (the driving aids, the zoom binding) are written at once: each level's
    // teardown reads the configuration file again, which would otherwise undo them.
    if (first_run) SaveConfiguration();
    StartIntroMusic();
    SlideShow("slide");

    PumpMessages();
    StartingUp = 0;
    LastEndCode = -1;
    MenuAndLevelLoop();

    PauseAllSounds();
    SlideShow("extro");
    SaveConfiguration();
    FreeGameData();
    CloseDevices();
    DebugPrintf("\nmemcheck dump on termination follows ...\n");
    MemCheck_PurposeDump();
    ReportTrackedBlocksAtExit();
    MemCheck_exit();
    CloseCoreFiles();
    host::DestroyMainWindow();
    return 1;
}
