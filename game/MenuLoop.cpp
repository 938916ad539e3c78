// The outer loop: the menus, then one level, then the menus again, until the user quits.
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "hud/MousePtr.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/InputDevices.h"
#include "platform/Music.h"
#include "platform/Sound.h"
#include "render/RenderTables.h"
#include "game/Level.h"
#include "world/TickCounter.h"
#include "game/Startup.h"
#include "game/WorldHash.h"

int LastEndCode = -1;
int LevelsPlayed = 0;
char MissionName[64] = "";

namespace {

const char* OrdinalSuffix(int n) {
    int tens = n % 100;
    if (tens >= 11 && tens <= 13) return "th";
    switch (n % 10) {
        case 1: return "st";
        case 2: return "nd";
        case 3: return "rd";
        default: return "th";
    }
}

// Before each menu pass: the pointer is shown in its normal shape, clipped to the screen and centred.
void ShowMenuPointer() {
    ShowMousePtr();
    SetMousePtrShape(0, 0, 0);
    CenterMousePtr();
}
// Per menu frame: the keyboard, then the music streams, the background music and the sound volumes,
// the joystick while one is open, the mouse; then the mouse pointer follows the mouse.
void UpdateMenuDevices() {
    dxgl_UpdateKeyboardState();
    dxgl_UpdateStreams();
    HandleBgdMusic();
    dxgl_UpdateSoundVolumes(0);
    if (dxgl_JoyOpen()) dxgl_UpdateJoyState();
    dxgl_UpdateMouseState();
    // The mouse counts y downward; the pointer counts it upward from the bottom edge.
    MoveMousePtr(MouseState.lX, -MouseState.lY, MouseState.lZ);
}
void FreeBriefingSpeech() {
    if (BriefingSpeech) dxgl_FreeSound(&BriefingSpeech);
}
void SetSoundOutput(bool on) {
    if (on)
        dxgl_EnableSound();
    else
        dxgl_DisableSound();
}
void StartSoundtrack() { StartRuleMusic("soundtrack"); }
void StopBackgroundMusic() { StopBgdMusic(); }
// A campaign's closing movie: the devices are closed around it and opened again, the movie plays in a
// media graph of its own, and what lived on the old display is made again.
void PlayClosingMovie(int campaign) {
    DeleteMousePtr();
    IconsFree();
    CloseDevices();
    InitDirectShow();
    const char* movie = campaign == 1 ? "Movies\\VX2" : "Movies\\VX3";
    if (qzpk_exists(movie)) PlayVideo(movie);
    ReleaseDirectShow();
    OpenDisplay();
    InitRenderMode();
    IconsInit();
    CreateMousePtr();
    CenterMousePtr();
    LoadFont();
    if (use_bgdmusic) {
        char path[512];
        snprintf(path, sizeof path, "%s%cTrack1.mp2", SOUNDROOT, kPathSeparator);
        OpenBgdMusic(path, 1);
    }
}
void RestartIntroMusic() { StartRuleMusic("intromusic"); }

// The menu texts "Menu.txt" in the text folder.
void ReadMenuTexts() {
    char path[512];
    snprintf(path, sizeof path, "%s%cMenu.txt", TEXTROOT, kPathSeparator);
    ReadRules(path);
}

void RereadRules() { ReadRules("app/rules"); }

}  // namespace

int NextScreenForEndCode(int endCode, const char* missionName, int currentScreen, int* closingMovie) {
    *closingMovie = 0;
    switch (endCode) {
        case 4: return 100;
        case 3: return 6;
        case 1:
            if (missionName && strcmp(missionName, "Ema12") == 0) {
                *closingMovie = 1;
                return currentScreen;
            }
            if (missionName && strcmp(missionName, "Ga11") == 0) {
                *closingMovie = 2;
                return currentScreen;
            }
            return 8;
        default: return 8;
    }
}

void MenuAndLevelLoop() {
    for (;;) {
        ShowMenuPointer();
        ReadMenuTexts();
        if (LastEndCode == 3) RecordCampaignProgress();
        BuildScreen(MenuScreen);

        int result = 0;
        while (result == 0) {
            PumpMessages();
            // Closing the window, or the end of a headless run, quits as the menu's quit does.
            if (host::QuitRequested()) {
                result = -1;
                break;
            }
            UpdateMenuDevices();
            result = MenuFrame();
        }
        FreeWidgets();
        if (result == -1) return;

        LevelsPlayed++;
        FreeBriefingSpeech();
        if (result == 1) {
            SetSoundOutput(false);
            InitLevel(0);
            SetSoundOutput(true);
            GameFileCommand("__mission_start", 7);
        }
        StartSoundtrack();
        LastEndCode = RunGame();
        // A won mission of this level is recorded once, by the notice or the debriefing that follows.
        CampaignProgressDue = 1;
        if (ReportWorldHash) {
            int constructs = 0;
            const uint64_t hash = WorldStateHash(&constructs);
            printf("world state %016llx (%s, %d constructs, tick %u)\n", static_cast<unsigned long long>(hash),
                   MissionName, constructs, static_cast<unsigned>(FrameCounter));
            fflush(stdout);
        }
        StopBackgroundMusic();
        SetSoundOutput(false);

        int closingMovie = 0;
        MenuScreen = NextScreenForEndCode(LastEndCode, MissionName, MenuScreen, &closingMovie);
        TeardownLevel();
        SetSoundOutput(true);
        if (closingMovie) {
            PlayClosingMovie(closingMovie);
            MenuScreen = 20;
        } else {
            RestartIntroMusic();
        }
        RereadRules();
        DebugPrintf("\nmemcheck dump after %d%s ExitLevel (%s) follows ...\n", LevelsPlayed,
                    OrdinalSuffix(LevelsPlayed), MissionName);
        MemCheck_PurposeDump();
    }
}
