// The level's frame loop: per frame the message pump and display restore, the views, the ticks of the
// elapsed time, the debug overlay, input, snapshots, the in-game menu, one world-tick call, the cameras,
// the networked game's block and the present; the loop ends with the level's end code.
#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <cstring>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "host/Clock.h"
#include "host/Gfx.h"
#include "host/Input.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "hud/MessageLog.h"
#include "hud/MousePtr.h"
#include "hud/TFView.h"
#include "ai/AIStubs.h"
#include "ai/HiLogic.h"
#include "ai/RecordReplay.h"
#include "game/CutScenes.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "platform/Dxgl.h"
#include "platform/InputDevices.h"
#include "platform/Music.h"
#include "platform/ScreenVertex.h"
#include "platform/Sound.h"
#include "core/Fix3D.h"
#include "render/Deferred.h"
#include "render/Immediate.h"
#include "render/ScreenText.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "game/Level.h"
#include "game/Level_local.h"
#include "world/Player.h"
#include "render/Snapshot.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "game/WorldTick.h"

int ResyncTicks = 0;
int InGame = 0;
int InGameMenuOpen = 0;
int DebugOverlay = 0;
int EscapeWasDown = 0;
int RecordReplayExport = 0;
int RecordReplayTicksPerFrame = 4;
int WinFlag = 0;
int LoseFlag = 0;

namespace {

constexpr int kKeyEscape = 1;
constexpr int kKeyHome = 199;
constexpr int kKeyPageUp = 201;
constexpr int kKeyEnd = 207;
constexpr int kKeyPageDown = 209;
constexpr HRESULT kNoExclusiveMode = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT kWrongMode = static_cast<HRESULT>(0x88760245u);

bool KeyDown(int code) { return KeyStates[code] != 0; }

// After the window had to be repainted: the surfaces are restored and the icons and the pointer, which
// live on the display, are made again (the pointer keeps its shown state).
void RestoreDisplay() {
    ResyncTicks = 1;
    dxgl_RestoreAllSurfaces();
    ReloadIconsAndMousePtr();
    DisplayOK = 1;
}

// The message pump, repeated while the device is not usable. False when the run is to end (the window
// was closed, or a headless run reached its frame limit).
bool PumpUntilUsable() {
    for (;;) {
        dxgl_UpdateStreams();
        HandleBgdMusic();
        PumpMessages();
        if (host::QuitRequested()) return false;
        if (!DisplayOK) RestoreDisplay();
        const HRESULT hr = dxgl_TestCooperativeLevel();
        if (hr != kNoExclusiveMode && hr != kWrongMode) return true;
        host::Yield(10);
    }
}

void RefreshWaterBoards() { UpdateAllScapeBoards(); }

// The debug overlay's lines, and its keys for the water levels and the near plane.
void DebugOverlayFrame(const TickClock& clock) {
    OverlayLine lines[kOverlayLines];
    const int n = DebugOverlayLines(clock, lines);
    for (int i = 0; i < n; ++i) DrawTextf(24, lines[i].y, "%s", lines[i].text);
    int water = 0;
    if (KeyDown(kKeyPageUp)) water = 100;
    if (KeyDown(kKeyPageDown)) water = -100;
    if (water) {
        for (int32_t& level : WaterLevel) level = std::clamp(level + water, -kMaxWaterLevel, kMaxWaterLevel);
        RefreshWaterBoards();
    }
    if (KeyDown(kKeyHome)) NearPlaneDistance += 100;
    if (KeyDown(kKeyEnd)) NearPlaneDistance -= 100;
}

void SampleDevices() {
    dxgl_UpdateKeyboardState();
    if (dxgl_JoyOpen()) dxgl_UpdateJoyState();
    dxgl_UpdateMouseState();
    MoveMousePtr(MouseState.lX, -MouseState.lY, MouseState.lZ);
}

void RedrawForSnapshot() { RenderAllViews(); }

// Shows the pointer for a menu over the level: shape 0, clipped to the screen, centred.
void ShowMenuPointer() {
    ShowMousePtr();
    SetMousePtrShape(0, 0, 0);
    SetMousePtrFlag();
    CenterMousePtr();
}

void ReadMenuTexts() {
    char path[512];
    snprintf(path, sizeof path, "%s%cMenu.txt", TEXTROOT, kPathSeparator);
    ReadRules(path);
}

// Runs the menu frames of a screen over the level until the menu answers; with escapeCloses, Escape newly
// pressed on screen 9 answers 1. The run's end (window closed, frame limit) answers -1.
int MenuOverLevel(bool escapeCloses) {
    int r = 0;
    int escapeWas = KeyDown(kKeyEscape);
    while (r == 0) {
        PumpMessages();
        if (host::QuitRequested()) return -1;
        dxgl_UpdateKeyboardState();
        dxgl_UpdateStreams();
        HandleBgdMusic();
        dxgl_UpdateSoundVolumes(0);
        if (dxgl_JoyOpen()) dxgl_UpdateJoyState();
        dxgl_UpdateMouseState();
        MoveMousePtr(MouseState.lX, -MouseState.lY, MouseState.lZ);
        r = MenuFrame();
        const int escape = KeyDown(kKeyEscape);
        if (escapeCloses && escape && !escapeWas && MenuScreen == 9) r = 1;
        escapeWas = escape;
    }
    return r;
}

// Where the pointer was before a menu over the level.
struct PointerPlace {
    int32_t x, y, z;
};

PointerPlace TakePointerPlace() {
    PointerPlace p{};
    GetMousePtr(&p.x, &p.y, &p.z);
    return p;
}

void EndMenuOverLevel(const PointerPlace& before) {
    PointerAfterMenu(before.x, before.y);
    FreeWidgets();
    ResyncTicks = 1;
}

// The in-game menu, modal within the frame. Returns the level's end code, or -1 to go on.
int InGameMenu() {
    ActivateViewPort(MainViewPort);
    static const uint8_t kDarken[4] = {16, 16, 112, 128};
    DrawFullScreenQuad(kDarken);
    dxgl_SwapBuffers();
    const PointerPlace pointer = TakePointerPlace();
    ShowMenuPointer();
    ReadMenuTexts();
    MenuScreen = 9;
    BuildScreen(9);
    const int r = MenuOverLevel(true);
    EndMenuOverLevel(pointer);
    switch (r) {
        case -1: return 0;
        case 4: return 3;
        case 1:
        case 2:
        case 3:
            InGameMenuOpen = 0;
            if (PlayerUnit && OwnPlayer) {
                // A fire key held through the menu fires only after it has been released.
                Fire1Armed = Fire2Armed = 0;
                SampleInput(OwnPlayer, 1, 1);
                CallItfc(PlayerUnit, ItfcMethod::SETLOOK, reinterpret_cast<uintptr_t>(&OwnPlayer->unitNow));
                if (SatCamera)
                    CallItfc(SatCamera, ItfcMethod::SETLOOK, reinterpret_cast<uintptr_t>(&OwnPlayer->unitNow));
            }
            return -1;
        default: return -1;  // the menu stays open and is built again next frame
    }
}

// The lost-mission screen. Returns 0 when the player quits, else -1 to go on.
int LostMissionScreen() {
    const PointerPlace pointer = TakePointerPlace();
    ShowMenuPointer();
    ReadMenuTexts();
    InGame = 0;
    MenuScreen = 12;
    BuildScreen(12);
    const int r = MenuOverLevel(false);
    EndMenuOverLevel(pointer);
    if (r == -1) return 0;
    InGame = 1;
    return -1;
}

// The networked game's per-frame block: the round phases, the deferred actions and the screens.
void MultiplayerFrame() {
    const double elapsed = (TimerNow() - PhaseStartTime) * 0.01;
    if (RoundStatus & 0x1) {
        if (IsHost) StartRound();
    } else if (RoundStatus & 0x2) {
        MultiplayerPhase = 0;
        StatusCountdown = static_cast<int32_t>(buytime - elapsed);
        if (IsHost && buytime - elapsed < 0) {
            BeginFightPhase();
            SendGameStatus(RoundStatus);
        }
    } else if (RoundStatus & 0x4) {
        MultiplayerPhase = 3;
        StatusCountdown = static_cast<int32_t>(roundtime * 60 - elapsed);
        if (IsHost && roundtime * 60 - elapsed < 0) SendGameStatus(RoundStatus);
    } else if (RoundStatus & 0x18) {
        StatusCountdown = static_cast<int32_t>(winmsgtime - elapsed);
        if (IsHost && winmsgtime - elapsed < 0) {
            ChooseStartPositions();
            SendStartPositions();
            PlaceAtStartPositions();
            SendGameStatus(RoundStatus);
            FundRaiseAll();
            RoundStatus &= ~0x18u;
        }
    }
    ProcessMPFlags();
    if (OwnPlayer && (OwnPlayer->flags & 0x4)) {
        UpdatePlayersAlive();
        if (!(RoundStatus & 0x18)) CheckRoundEnd();
        if (!PlayerUnit) {
            if (!(OwnPlayer->flags & 0x80)) SetMovieCamera();
            DrawFragsDeaths();
        } else if (!(OwnPlayer->flags & 0x80)) {
            SendSingleInput();
        }
        if (IsHost) SendUpdatedata();
    }
    if (!OwnPlayer) return;
    if (!(OwnPlayer->flags & 0x2))
        DrawWelcomeScreen();
    else if (!(OwnPlayer->flags & 0x4))
        DrawChooseSideMenu();
    else if (RoundStatus & 0x2)
        DrawBuyMenu();
}

bool CommMenuClosed() { return !PlayerCommMenu || PlayerCommMenu->open == 0; }
bool PanelsClosed() {
    return !PlayerTFView ||
           (PlayerTFView->panels[0] == 0 && PlayerTFView->panels[1] == 0 && PlayerTFView->panels[2] == 0);
}

}  // namespace

namespace {

struct OverlayText {
    OverlayLine* out;
    int n;
    void operator()(int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4))) {
        out[n].y = y;
        va_list args;
        va_start(args, format);
        vsnprintf(out[n].text, sizeof out[n].text, format, args);
        va_end(args);
        ++n;
    }
};

}  // namespace

void PointerAfterMenu(int32_t x, int32_t y) {
    // Not merely hidden, which left the tactical map without a pointer.
    if (PlayerUnit) {
        SetMousePtrClip(static_cast<int32_t>(0x80000000u), static_cast<int32_t>(0x80000000u), 0x7fffffff,
                        0x7fffffff);
        HideMousePtr();
        return;
    }
    if (LevelCockpitOnly)
        HideMousePtr();
    else
        ShowMousePtr();
    SetMousePtrShape(0, 0, 0);
    SetMousePtrFlag();
    SetMousePtrClip(-6, -6, ScreenWidth + 6, ScreenHeight + 6);
    SetMousePtrPos(x, y);
}

int DebugOverlayLines(const TickClock& clock, OverlayLine* out) {
    OverlayText line{out, 0};
    // The counts are those of this frame's views, drawn just before.
    line(60, "%3.1f fps (%1.0f tris, %1.0f dpcs)", clock.rate * 100.0, double(TriangleCount), double(DrawCallCount));
    uint32_t total = 0, free = 0;
    dxgl_GetVideoMemory(&total, &free);
    line(90, "vidmem usage %d (%d)", int((total - free) >> 10), int(total >> 10));
    const int seconds = static_cast<int>(GameClockSeconds);
    line(120, "game time: %02d:%02d:%02d on day %d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60,
         seconds / 86400);
    // Camera-space z to depth; shown per million so that the start-up factor reads 0.5.
    line(150, "ztodepth %8.8f", double(DepthScale) * 1000000.0);
    line(180, "clipz= %d", NearPlaneDistance);
    line(210, "WaterLevel= %d %d %d %d", WaterLevel[0], WaterLevel[1], WaterLevel[2], WaterLevel[3]);
    // The peek word: the main view's four detail bytes as bits, then its board and view radius.
    char bits[33];
    uint32_t word = 0;
    int32_t a = 0, b = 0;
    if (MainViewPort) {
        word = uint32_t(MainViewPort->colour[0]) << 24 | uint32_t(MainViewPort->colour[1]) << 16 |
               uint32_t(MainViewPort->colour[2]) << 8 | MainViewPort->colour[3];
        a = MainViewPort->boardRadius;
        b = MainViewPort->viewRadius;
    }
    for (int i = 0; i < 32; ++i) bits[i] = (word >> (31 - i) & 1) ? '1' : '0';
    bits[32] = 0;
    line(230, "peek= %s %d %d", bits, a, b);
    if (OwnPlayer) line(250, "OurPlayer scalars: %8d %8d", OwnPlayer->unitNow.axes[0], OwnPlayer->unitNow.axes[1]);
    if (DeferredFaceOverflow) line(SurfaceHeight - 30, "WARNING: postponed face list overflow");
    if (ConstructOverflow) line(SurfaceHeight - 60, "WARNING: construct link list overflow");
    if (DeferredBBoardOverflow) line(SurfaceHeight - 90, "WARNING: postponed bboard list overflow");
    return line.n;
}

int MaxFrameTicks(double speed) {
    // A stall (a debugger, a slow disk, the machine's sleep) must not turn into one huge catch-up: a frame
    // counts at most one second of real time, that is 100 ticks at game_speed 1 and more when faster.
    return static_cast<int>(std::ceil(100.0 * std::max(1.0, speed)));
}

void StartTickClock(TickClock* clock, double nowCentiseconds, double speed) {
    *clock = TickClock{};
    clock->previous = nowCentiseconds * speed;
}

int FrameTicks(TickClock* clock, double nowCentiseconds, double speed, int* resync) {
    const double now = nowCentiseconds * speed;
    const double delta = now - clock->previous;
    clock->previous = now;
    const double x = delta + clock->carry;
    int ticks = static_cast<int>(std::trunc(x));
    clock->carry = x - ticks;
    ticks = std::min(ticks, MaxFrameTicks(speed));
    if (*resync) {
        ticks = 0;
        *resync = 0;
    }
    clock->timeSum += delta;
    if (clock->timeSum > 100.0) {
        clock->rate = clock->frames / clock->timeSum;
        clock->frames = 0;
        clock->timeSum -= 100.0;
    }
    return ticks;
}

int RunGame() {
    // The game draws its own pointer: the system's cursor stays hidden over the level.
    host::ShowSystemCursor(false);
    InGame = 1;
    TickClock clock;
    StartTickClock(&clock, TimerNow(), game_speed);
    int code = 0;
    for (;;) {
        if (!PumpUntilUsable()) {
            code = 0;  // the window was closed or the run ended: the level is left as through the menu
            break;
        }
        RenderAllViews();
        DrawMousePtr();
        const int ticks = FrameTicks(&clock, TimerNow(), game_speed, &ResyncTicks);
        if (DebugOverlay && !SnapshotRendering) DebugOverlayFrame(clock);
        // The clan-dump switch is the level rule "hilogicinfo": n prints clan n - 1's AI over the view.
        if (CurrentLevel.hiLogicInfo > 0 && HiLogic) HiLogic->DumpClan(CurrentLevel.hiLogicInfo - 1);
        SampleDevices();
        if (RecordReplayActive) DrawRecordReplayPanel();
        SnapshotStep(ticks, host::PrintScreenDown(), RedrawForSnapshot);

        const int escape = KeyDown(kKeyEscape);
        if (escape && !EscapeWasDown && CommMenuClosed() && PanelsClosed()) {
            InGameMenuOpen = !InGameMenuOpen;
            if (!InGameMenuOpen) EndChatInput();
        }
        EscapeWasDown = escape;

        // The frame's drawing goes to the rasterizer's worker threads, which draw it while the world ticks.
        if (D3DDevice) host::SubmitDrawing(D3DDevice);
        if (RecordReplayExport && host::ScrollLockOn())
            WorldTick(RecordReplayTicksPerFrame, 1);
        else if (!InGameMenuOpen)
            WorldTick(ticks, 1);
        else
            ChatInputKeys();

        if (InGameMenuOpen) {
            const int end = InGameMenu();
            if (end >= 0) {
                code = end;
                break;
            }
        }
        for (int i = 0; i < ViewPortCount; ++i) UpdateViewPortCamera(ViewPortTable[i], ticks);
        if (MultiplayerOn) {
            PollDirectPlay();  // the network's events of the frame, before the step that reads them
            MultiplayerFrame();
        }
        dxgl_SwapBuffers();
        clock.frames += 1;

        if (WinFlag) {
            code = strstr(MissionName, "Tut") ? 3 : 1;
            break;
        }
        if (LoseFlag && LostMissionScreen() == 0) {
            code = 0;
            break;
        }
        // A networked game also ends when the network can no longer carry it (the notice has been shown).
        if (MultiplayerOn && (MPEndCounter[0] == 1 || MPEndCounter[1] == 1 || NetworkGameEnded)) {
            code = 4;
            break;
        }
    }
    InGame = 0;
    if (MultiplayerOn) {
        SendByeBye();
        CloseSession();
        code = 4;
    }
    return code;
}
