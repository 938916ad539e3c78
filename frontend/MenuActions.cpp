// The screen state machine: what each screen does with the widgets pressed in a frame.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Keys.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "frontend/Campaigns.h"
#include "frontend/Credits.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "frontend/KeyConfig.h"
#include "host/Fs.h"
#include "host/InputScript.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "hud/MousePtr.h"
#include "net/Session.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/InputDevices.h"
#include "platform/Music.h"
#include "platform/Sound.h"
#include "render/RenderTables.h"
#include "render/Viewport.h"
#include "world/Level.h"
#include "world/Player.h"

namespace {

// Commands of the saved-game files.
constexpr int kGameLoad = 6;
constexpr int kGameSave = 7;
constexpr int kGameForcedLoad = 8;
// The restart point the game saves right after a level is built.
constexpr const char* kMissionStart = "__mission_start";

void Build(int n) {
    MenuScreen = n;
    BuildScreen(n);
}

// Swoosh out, build, swoosh in.
int Switch(int n) {
    SwooshOut();
    Build(n);
    SwooshIn();
    return 0;
}

void StopBriefing() {
    if (BriefingSpeech) dxgl_FreeSound(&BriefingSpeech);
}

// A name longer than a mission name is cut to fit.
void CopyMission(const char* name) {
    const size_t length = name ? strnlen(name, sizeof MissionName - 1) : 0;
    if (length) memcpy(MissionName, name, length);
    MissionName[length] = 0;
}

bool Selectable(int list) { return list >= 0 && list < Listboxes.count; }

const char* SelectedItem(int list) {
    if (!Selectable(list)) return "";
    const Listbox& l = Listboxes[list];
    return l.selected >= 0 && l.selected < l.count ? l.items[l.selected] : "";
}

void RestartMusic(const char* rule) { MenuGame.startRuleMusic(rule); }

// ---- screen 0: the main menu -----------------------------------------------------------------------

int MainMenu(const MenuHits& h) {
    // Exactly one title picture: the side's while its button is hovered, the tutorial's, or none.
    if (Images.count >= 4 && Buttons.count >= 5) {
        const int shown = Buttons[0].hover ? 0 : Buttons[1].hover ? 1 : Buttons[4].hover ? 2 : 3;
        for (int i = 0; i < 4; ++i) Images[i].visible = i == shown;
    }
    const int pressed = h.button >= 0 ? h.button : h.image == 0 ? 0 : h.image == 1 ? 1 : -1;
    switch (pressed) {
        case 0:
        case 1:
            SwooshOut();
            MenuClan = pressed;
            Build(pressed == 0 ? kScreenCampaignEma : kScreenCampaignGa);
            SwooshIn();
            return 0;
        case 2: return Switch(kScreenLoad);
        case 3:
            CopyMission(lastmap);
            SwooshOut();
            FreeScreenBackground(&ScreenBackground);
            return 1;
        case 4:
            SwooshOut();
            MenuClan = 1;
            Build(kScreenNotice);
            SwooshIn();
            return 0;
        case 5:
            SwooshOut();
            ReadMultiplayerFile("multiplayer");
            Build(kScreenMultiplayer);
            MultiplayerOn = 1;
            SwooshIn();
            return 0;
        case 6: return Switch(kScreenOptions);
        case 7: return Switch(kScreenCredits);
        case 8: OpenMsgBox = 0; return 0;
        default: break;
    }
    if (h.msgbox == 0) {
        OpenMsgBox = -1;
        return -1;
    }
    if (h.msgbox == 1) OpenMsgBox = -1;
    return 0;
}

// ---- screens 4 and 5: the campaigns ----------------------------------------------------------------

int StartCampaignMission() {
    // An empty campaign has nothing to start, and lastmap never becomes empty.
    if (!MenuMission[0]) return 0;
    StopBriefing();
    SwooshOut();
    FreeScreenBackground(&ScreenBackground);
    CopyMission(MenuMission);
    snprintf(lastmap, sizeof lastmap, "%s", MissionName);
    lastclan = MenuClan;
    WriteConfigFile();
    return 1;
}

int Campaign(const MenuHits& h) {
    if (h.button == 0) {
        StopBriefing();
        SwooshOut();
        Build(kScreenMain);
        return 0;
    }
    if (h.button == 1) return StartCampaignMission();
    if (h.list == 1 && Listboxes.count >= 3) {
        Listbox& names = Listboxes[0];
        const Listbox& shown = Listboxes[1];
        if (names.selected != shown.selected && shown.selected >= 0 && shown.selected < names.count) {
            names.selected = shown.selected;
            snprintf(MenuMission, sizeof MenuMission, "%s", names.items[names.selected]);
            if (LTextboxes.count > 0)
                snprintf(LTextboxes[0].file, sizeof LTextboxes[0].file, "Brief_%.50s.txt", MenuMission);
            if (Images.count > 0) {
                UIImage& image = Images[0];
                if (image.pictures[0]) dxgl_ReleaseSurface(image.pictures[0]);
                char picture[kWidgetTextSize];
                snprintf(picture, sizeof picture, "Screens%c%.55s", kPathSeparator, MenuMission);
                CopyWidgetText(image.picture, sizeof image.picture, picture);
                image.pictures[0] = LoadMenuPicture(picture);
            }
            StopBriefing();
            char speech[160];
            snprintf(speech, sizeof speech, "%s%cBrief_%s.wav", MenuMission, kPathSeparator, MenuMission);
            BriefingSpeech = dxgl_PlaySample(speech, 2, 0, 1, 0);
            if (dxgl_IsSoundValid(BriefingSpeech)) dxgl_UpdateSound3D(BriefingSpeech);
        }
        if (DoubleClick) {
            skill_level = Listboxes[2].selected;
            return StartCampaignMission();
        }
    }
    if (h.list == 2 && Listboxes.count >= 3) skill_level = Listboxes[2].selected;
    return 0;
}

// ---- screens 6, 8: notice and debriefing -----------------------------------------------------------

int Notice(const MenuHits& h) {
    if (h.button == 0) {
        StopBriefing();
        SwooshOut();
        Build(kScreenMain);
    }
    return 0;
}

int Debriefing(const MenuHits& h) {
    if (h.button == 0) {
        SwooshOut();
        FreeScreenBackground(&ScreenBackground);
        Build(kScreenMain);
    } else if (h.button == 1) {
        MenuClan = lastclan;
        Build(MenuClan == 0 ? kScreenCampaignEma : MenuClan == 1 ? kScreenCampaignGa : kScreenDebriefing);
    }
    return 0;
}

// ---- screens 9 to 12: in-game menu, load, save, mission lost ---------------------------------------

// Message boxes of screens 9 to 12: each answer belongs to the box that is open.
constexpr int kBoxQuit = 0;              // screens 9 and 12
constexpr int kBoxRestart = 1;           // screen 9
constexpr int kBoxRestartFailed = 2;     // screen 9
constexpr int kBoxLostRestartFailed = 1; // screen 12
constexpr int kBoxDelete = 0;            // screen 10
constexpr int kBoxLoadFailed = 1;        // screen 10
constexpr int kBoxLoadAnyway = 2;        // screen 10
constexpr int kBoxOverwrite = 0;         // screen 11
constexpr int kBoxSaveDelete = 1;        // screen 11
constexpr int kYes = 0;                  // an answer of HitMsgBox: yes or OK

// Opens a screen's box with a text of the game's own in place of its caption (the caption stays when
// there is none).
void OpenBoxWithText(int box, const char* text) {
    if (box < 0 || box >= MsgBoxes.count) return;
    if (text && text[0]) CopyWidgetText(MsgBoxes[box].text, sizeof MsgBoxes[box].text, text);
    OpenMsgBox = box;
}

// A game was loaded: the menus leave, and the side whose debriefing and campaign follow the mission is
// the loaded mission's (by its name, as the save lists tell the side), not the campaign played before.
// It is written to the configuration at once: the level's teardown reads the configuration again.
int Loaded() {
    lastclan = strstr(MissionName, "Ema") ? 0 : 1;
    WriteConfigFile();
    FreeScreenBackground(&ScreenBackground);
    if (!InGame) FreeWidgets();
    return 2;
}

// The load screen's Load and Delete for a selected row: a saved game may be loaded, a numbered one deleted.
void LoadButtonsFor(const char* text) {
    Buttons[1].enabled = strcmp(text, " - ") != 0 && strcmp(text, " - [QUICK]") != 0;
    Buttons[2].enabled = strcmp(text, " - ") != 0 && !strstr(text, "[QUICK]");
}

// The load screen built again after a refused load keeps the row the player picked, with its buttons.
void KeepLoadSelection(int selected) {
    if (MenuScreen != kScreenLoad || !Selectable(0) || Buttons.count < 3) return;
    Listbox& l = Listboxes[0];
    if (selected < 0 || selected >= l.count) return;
    l.selected = selected;
    if (selected >= l.rows) l.first = selected - l.rows + 1;
    LoadButtonsFor(l.items[selected]);
}

// Loads a saved game (or the restart point) with the given command; 2 when it was loaded. A load that
// was refused runs nothing: the screen is built again (a refused switch of missions may have torn a level
// down under it) with the game's reason in its notice box, or, for a game of another version, with the
// question whether to load it anyway.
int LoadGame(const char* name, int command, int noticeBox, int questionBox) {
    SwooshOut();
    GameFileCommandHook(name, command);
    if (GameFileDone) return Loaded();
    const int screen = MenuScreen;
    const int selected = Selectable(0) ? Listboxes[0].selected : -1;
    Build(screen);
    KeepLoadSelection(selected);
    SwooshIn();
    if (questionBox >= 0 && strcmp(GameFileQuestion, "none") != 0)
        OpenBoxWithText(questionBox, GameFileQuestion);
    else
        OpenBoxWithText(noticeBox, GameFileRefusal);
    return 0;
}

int InGameMenu(const MenuHits& h) {
    switch (h.button) {
        case 0:
            SwooshOut();
            FreeScreenBackground(&ScreenBackground);
            return 1;
        case 1: OpenMsgBox = kBoxRestart; return 0;
        case 2: return Switch(kScreenLoad);
        case 3: return Switch(kScreenSave);
        case 4: Build(kScreenOptions); return 0;
        case 5: OpenMsgBox = kBoxQuit; return 0;
        default: break;
    }
    if (h.msgbox < 0) return 0;
    const int box = OpenMsgBox;
    OpenMsgBox = -1;
    if (h.msgbox != kYes) return 0;
    if (box == kBoxQuit) {
        SwooshOut();
        FreeScreenBackground(&ScreenBackground);
        WriteConfigFile();
        return strstr(MissionName, "Tut") ? 4 : -1;
    }
    if (box == kBoxRestart) return LoadGame(kMissionStart, kGameLoad, kBoxRestartFailed, -1);
    return 0;
}

// The saved-game name of the list's selection: the quick save in row 0, "savegameNN" below.
void SlotName(char* name, size_t size) {
    const int sel = Selectable(0) ? Listboxes[0].selected : 0;
    if (sel < 1)
        snprintf(name, size, "quicksave");
    else
        snprintf(name, size, "savegame%02d", sel);
}

void DeleteSlot() {
    const int sel = Selectable(0) ? Listboxes[0].selected : 0;
    // Only the numbered slots are deleted, never the quick save.
    if (sel < 1 || sel > 19) return;
    char path[512];
    snprintf(path, sizeof path, "%s%csavegame%02d", SAVEDGAMESROOT, kPathSeparator, sel);
    host::RemoveFile(path);
}

int LoadSelected() {
    char name[32];
    SlotName(name, sizeof name);
    return LoadGame(name, kGameLoad, kBoxLoadFailed, kBoxLoadAnyway);
}

// The version question answered yes: the same game, loaded without the question.
int LoadAnyway() {
    SwooshOut();
    GameFileCommandHook(nullptr, kGameForcedLoad);
    if (GameFileDone) return Loaded();
    const int selected = Selectable(0) ? Listboxes[0].selected : -1;
    Build(MenuScreen);
    KeepLoadSelection(selected);
    SwooshIn();
    OpenBoxWithText(kBoxLoadFailed, GameFileRefusal);
    return 0;
}

int LoadScreen(const MenuHits& h) {
    switch (h.button) {
        case 0:
            // The lost-mission screen is where this one was opened from while a lost level still runs.
            if (InGame)
                Build(kScreenInGame);
            else if (MissionLost && MissionName[0])
                Build(kScreenLost);
            else {
                SwooshOut();
                Build(kScreenMain);
            }
            return 0;
        case 1: return LoadSelected();
        case 2: OpenMsgBox = kBoxDelete; return 0;
        default: break;
    }
    if (h.list == 0 && Buttons.count >= 3) {
        LoadButtonsFor(SelectedItem(0));
        if (DoubleClick && Buttons[1].enabled) return LoadSelected();
    }
    if (h.msgbox < 0) return 0;
    const int box = OpenMsgBox;
    OpenMsgBox = -1;
    if (h.msgbox != kYes) return 0;
    if (box == kBoxDelete) {
        DeleteSlot();
        Build(kScreenLoad);
    } else if (box == kBoxLoadAnyway) {
        return LoadAnyway();
    }
    return 0;
}

int SaveSelected(bool numbered) {
    char name[32];
    if (numbered) {
        const int sel = Selectable(0) ? Listboxes[0].selected : 1;
        snprintf(name, sizeof name, "savegame%02d", sel);
    } else {
        SlotName(name, sizeof name);
    }
    SwooshOut();
    GameFileCommandHook(name, kGameSave);
    FreeScreenBackground(&ScreenBackground);
    return 3;
}

int SaveScreen(const MenuHits& h) {
    switch (h.button) {
        case 0: return Switch(kScreenInGame);
        case 1:
            if (strcmp(SelectedItem(0), " - ") == 0) return SaveSelected(false);
            OpenMsgBox = kBoxOverwrite;
            return 0;
        case 2: OpenMsgBox = kBoxSaveDelete; return 0;
        default: break;
    }
    if (h.list == 0 && Buttons.count >= 3) {
        const char* text = SelectedItem(0);
        Buttons[1].enabled = !strstr(text, "[QUICK]");
        Buttons[2].enabled = strcmp(text, " - ") != 0 && !strstr(text, "[QUICK]");
        if (DoubleClick && Buttons[1].enabled) {
            if (strcmp(text, " - ") == 0) return SaveSelected(true);
            OpenMsgBox = kBoxOverwrite;
            return 0;
        }
    }
    if (h.msgbox < 0) return 0;
    const int box = OpenMsgBox;
    OpenMsgBox = -1;
    if (h.msgbox != kYes) return 0;
    if (box == kBoxOverwrite) return SaveSelected(true);
    if (box == kBoxSaveDelete) {
        DeleteSlot();
        Build(kScreenSave);
    }
    return 0;
}

int LostScreen(const MenuHits& h) {
    switch (h.button) {
        case 0: return LoadGame(kMissionStart, kGameLoad, kBoxLostRestartFailed, -1);
        case 1: return Switch(kScreenLoad);
        case 2: OpenMsgBox = kBoxQuit; return 0;
        default: break;
    }
    if (h.msgbox < 0) return 0;
    const int box = OpenMsgBox;
    OpenMsgBox = -1;
    if (h.msgbox == kYes && box == kBoxQuit) {
        SwooshOut();
        FreeScreenBackground(&ScreenBackground);
        WriteConfigFile();
        return -1;
    }
    return 0;
}

// ---- screen 20: credits ----------------------------------------------------------------------------

int Credits(const MenuHits& h) {
    if (h.button == 0) {
        RunCredits(-1);
        SwooshOut();
        if (use_bgdmusic) RestartMusic("intromusic");
        Build(kScreenMain);
    }
    return 0;
}

// ---- screens 100 to 107: multiplayer ---------------------------------------------------------------

int Multiplayer(const MenuHits& h) {
    switch (h.button) {
        case 0: CreateDirectPlay(); Build(kScreenHost); break;
        case 1: CreateDirectPlay(); Build(kScreenJoin); break;
        case 2: ReadMultiplayerFile("multiplayer"); Build(kScreenTeam); break;
        case 3:
            CloseDirectPlay();
            MultiplayerOn = 0;
            SwooshOut();
            Build(kScreenMain);
            break;
        default: break;
    }
    return 0;
}

int HostScreen(const MenuHits& h) {
    if (h.msgbox >= 0) OpenMsgBox = -1;
    if (h.button == 0 && Textboxes.count >= 1) {
        snprintf(Gamename, sizeof Gamename, "%s", Textboxes[0].edit);
        WriteMultiplayerFile();
        Build(kScreenMultiplayer);
        return 0;
    }
    if ((h.button == 1 || (h.list == 2 && DoubleClick)) && Textboxes.count >= 6 && Listboxes.count >= 3) {
        // A map that cannot be built is said so; the screen stays (no map listed, or one without script).
        if (!MissionPlayable(SelectedItem(2))) {
            OpenMsgBox = 0;
            return 0;
        }
        if (OwnPlayer) snprintf(OwnPlayer->unitType, sizeof OwnPlayer->unitType, "MovieCamera");
        snprintf(Gamename, sizeof Gamename, "%s", Textboxes[0].edit);
        snprintf(SessionPassword, sizeof SessionPassword, "%s", Textboxes[1].edit);
        snprintf(MultiplayerLevel, sizeof MultiplayerLevel, "%s", SelectedItem(2));
        maxplayers = atoi(Textboxes[2].edit);
        leveltime = static_cast<float>(atof(Textboxes[3].edit));
        roundtime = static_cast<float>(atof(Textboxes[4].edit));
        buytime = static_cast<float>(atoi(Textboxes[5].edit));
        IsHost = 1;
        CopyMission(MultiplayerLevel);
        FreeScreenBackground(&ScreenBackground);
        WriteMultiplayerFile();
        return 1;
    }
    if (h.list == 0 && ProviderList && Listboxes[0].selected < ProviderCount) {
        memcpy(ChosenProvider, ProviderList[Listboxes[0].selected].guid, 16);
        EnumSPAdapters(ChosenProvider);
        while (Listboxes[1].count > 0) RemoveListItem(&Listboxes[1]);
        Listboxes[1].selected = 0;
        for (int i = 0; i < AdapterCount && AdapterList; ++i) {
            char name[65];
            CopyWidgetText(name, sizeof name, AdapterList[i].name);
            AddListItem(&Listboxes[1], name);
        }
        if (AdapterList && AdapterCount > 0) memcpy(ChosenAdapter, AdapterList[0].guid, 16);
    }
    if (h.list == 1 && AdapterList && Listboxes[1].selected < AdapterCount)
        memcpy(ChosenAdapter, AdapterList[Listboxes[1].selected].guid, 16);
    if (h.checkbox >= 0 && h.checkbox < 5) {
        int32_t* settings[5] = {&friendlyfire, &chasecamonly, &forcebalance, &lvlcycle, &lvlrandom};
        *settings[h.checkbox] = Checkboxes[h.checkbox].checked;
    }
    return 0;
}

void ShowSessionDetails(int index) {
    if (index < 0 || index >= NetGameCount || !NetGames || Labels.count < 9) return;
    const SessionRecord& g = NetGames[index];
    char text[kWidgetTextSize];
    CopyWidgetText(Labels[0].text, kWidgetTextSize, g.password[0] ? "password enabled" : "no password");
    snprintf(text, sizeof text, "max. players: %d", g.maxplayers);
    CopyWidgetText(Labels[1].text, kWidgetTextSize, text);
    snprintf(text, sizeof text, "leveltime: %3.1f", static_cast<double>(g.leveltime));
    CopyWidgetText(Labels[2].text, kWidgetTextSize, text);
    snprintf(text, sizeof text, "roundtime: %3.1f", static_cast<double>(g.roundtime));
    CopyWidgetText(Labels[3].text, kWidgetTextSize, text);
    snprintf(text, sizeof text, "buytime: %3.1f", static_cast<double>(g.buytime));
    CopyWidgetText(Labels[4].text, kWidgetTextSize, text);
    CopyWidgetText(Labels[5].text, kWidgetTextSize, g.friendlyfire ? "ff on" : "ff off");
    CopyWidgetText(Labels[6].text, kWidgetTextSize, g.chasecamonly ? "chasecam only" : "freelook");
    CopyWidgetText(Labels[7].text, kWidgetTextSize, g.forcebalance ? "balance on" : "no balance");
    snprintf(text, sizeof text, "map: %.50s", g.missionName);
    CopyWidgetText(Labels[8].text, kWidgetTextSize, text);
}

int JoinSelected(bool byButton) {
    const int sel = Selectable(0) ? Listboxes[0].selected : -1;
    if (sel < 0 || sel >= NetGameCount || !NetGames) return 0;
    const SessionRecord& g = NetGames[sel];
    // A game on a map this machine cannot build is said so; the screen stays.
    if (!MissionPlayable(g.missionName)) {
        OpenMsgBox = 0;
        return 0;
    }
    snprintf(MultiplayerLevel, sizeof MultiplayerLevel, "%s", g.missionName);
    maxplayers = g.maxplayers;
    leveltime = g.leveltime;
    roundtime = g.roundtime;
    buytime = g.buytime;
    friendlyfire = g.friendlyfire;
    chasecamonly = g.chasecamonly;
    if (byButton) forcebalance = g.forcebalance;
    if (Textboxes.count >= 3) snprintf(JoinPassword, sizeof JoinPassword, "%s", Textboxes[2].edit);
    IsHost = 0;
    JoinSessionIndex = sel;
    CopyMission(MultiplayerLevel);
    FreeScreenBackground(&ScreenBackground);
    return 1;
}

int JoinScreen(const MenuHits& h) {
    if (h.msgbox >= 0) OpenMsgBox = -1;
    switch (h.button) {
        case 0: WriteMultiplayerFile(); Build(kScreenMultiplayer); return 0;
        case 1: return JoinSelected(true);
        case 2:
            if (Textboxes.count >= 2) {
                snprintf(JoinHostName, sizeof JoinHostName, "%s", Textboxes[0].edit);
                snprintf(JoinPort, sizeof JoinPort, "%s", Textboxes[1].edit);
            }
            FreeNetGames();
            while (Listboxes.count > 0 && Listboxes[0].count > 0) RemoveListItem(&Listboxes[0]);
            for (int i = 0; i < Labels.count; ++i) Labels[i].visible = 0;
            EnumSessions();
            // Every game found is listed; a game to join enables Join.
            for (int i = 0; i < NetGameCount && NetGameHosts && Listboxes.count > 0; ++i) {
                char name[kWidgetTextSize];
                CopyWidgetText(name, sizeof name, NetGameHosts[i].sessionName);
                AddListItem(&Listboxes[0], name);
            }
            // A search that finds nothing leaves nothing to join.
            if (Buttons.count >= 2) Buttons[1].enabled = NetGameCount > 0;
            if (NetGameCount > 0) {
                ShowSessionDetails(0);
                for (int i = 0; i < Labels.count; ++i) Labels[i].visible = 1;
            }
            return 0;
        default: break;
    }
    if (h.list == 0) {
        if (DoubleClick && Buttons.count >= 2 && Buttons[1].enabled) return JoinSelected(false);
        if (NetGameCount > 0) ShowSessionDetails(Listboxes[0].selected);
    }
    return 0;
}

// Loads a team logo (BITMAPROOT\name, as the screen's logo image) into the team's logo surface and into
// the screen's last image; false when the picture cannot be had (both are then empty).
bool LoadTeamLogo(TeamEntry* team, const char* name) {
    if (team) {
        if (team->logo) dxgl_ReleaseSurface(team->logo);
        char path[512];
        snprintf(path, sizeof path, "%s%c%s", BITMAPROOT, kPathSeparator, name);
        team->logo = dxgl_ReloadBitmap(path);
    }
    host::GfxSurface* picture = nullptr;
    if (Images.count > 0) {
        UIImage& image = Images[Images.count - 1];
        if (image.pictures[0]) dxgl_ReleaseSurface(image.pictures[0]);
        image.pictures[0] = picture = LoadMenuPicture(name);
    }
    return team ? team->logo != nullptr : picture != nullptr;
}

int TeamScreen(const MenuHits& h) {
    if (h.button == 0 && Textboxes.count >= 1) {
        CopyWidgetText(Playername, sizeof Playername, Textboxes[0].edit);
        WriteMultiplayerFile();
        Build(kScreenMultiplayer);
        return 0;
    }
    if (h.list == 0 && Textboxes.count >= 3 && Sliders.count >= 3) {
        FindTeamEntry(SelectedItem(0), &Textboxes[2], &Sliders[0], &Sliders[1], &Sliders[2]);
        TeamEntry* team = OwnTeam();
        if (team) CopyWidgetText(team->name, sizeof team->name, SelectedItem(0));
        char logo[kWidgetTextSize];
        snprintf(logo, sizeof logo, "App%cteams%c%.50s", kPathSeparator, kPathSeparator, Textboxes[2].edit);
        if (!Textboxes[2].edit[0] || !LoadTeamLogo(team, logo)) {
            snprintf(logo, sizeof logo, "App%cteams%cdefaultlogo", kPathSeparator, kPathSeparator);
            LoadTeamLogo(team, logo);
        }
    }
    // The team's colour, one byte each.
    if (h.slider >= 0 && h.slider < 3 && h.slider < Sliders.count)
        if (TeamEntry* team = OwnTeam()) team->colour[h.slider] = static_cast<uint8_t>(Sliders[h.slider].value);
    return 0;
}

// ---- screens 200 to 204: options -------------------------------------------------------------------

int Options(const MenuHits& h) {
    if (h.button >= 0 && h.button <= 3) return Switch(kScreenGraphics + h.button);
    if (h.button == 4) {
        WriteConfigFile();
        if (InGame)
            Build(kScreenInGame);
        else {
            SwooshOut();
            Build(kScreenMain);
        }
    }
    return 0;
}

// The resolution and colour depth of the graphics screen's lists 2 and 3.
void ListedMode(int* width, int* height, int* depth) {
    static const int kModes[4][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    const int row = Selectable(2) ? Listboxes[2].selected : 1;
    const int r = row >= 0 && row < 4 ? row : 1;
    *width = kModes[r][0];
    *height = kModes[r][1];
    *depth = Selectable(3) && Listboxes[3].selected == 0 ? 16 : 32;
}

void ApplyGraphicsMode() {
    int width, height, depth;
    ListedMode(&width, &height, &depth);
    if (width == xres && height == yres && depth == colourdepth) return;
    FreeScreenBackground(&ScreenBackground);
    DeleteMousePtr();
    IconsFree();
    MenuGame.closeDevices();
    const int oldW = xres, oldH = yres, oldD = colourdepth;
    xres = width;
    yres = height;
    colourdepth = depth;
    // A window takes the new size, centred on a 1152 x 864 screen as at start-up.
    if (!fullscreen) host::PlaceMainWindow(576 - xres / 2, 432 - yres / 2, xres, yres);
    if (!MenuGame.openDisplay()) {
        MenuGame.closeDevices();
        xres = oldW;
        yres = oldH;
        colourdepth = oldD;
        if (!fullscreen) host::PlaceMainWindow(576 - xres / 2, 432 - yres / 2, xres, yres);
        MenuGame.openDisplay();
    }
    InitRenderMode();
    IconsInit();
    CreateMousePtr();
    CenterMousePtr();
    LoadFont();
    if (use_bgdmusic) RestartMusic("intromusic");
    LoadScreenBackground(&ScreenBackground, "ui_201");
    BuildScreen(MenuScreen);
}

bool ModeUnchanged() {
    static const int kWidths[4] = {640, 800, 1024, 1280};
    int row = -1;
    for (int i = 0; i < 4; ++i)
        if (xres == kWidths[i]) row = i;
    const bool sameWidth = row < 0 || (Selectable(2) && Listboxes[2].selected == row);
    const bool sameDepth = Selectable(3) && Listboxes[3].selected == (colourdepth == 16 ? 0 : 1);
    return sameWidth && sameDepth;
}

// In a level the main view takes its level of detail at once from the rules the two detail settings name
// (a setting without its rule keeps that half of the table).
void SetMainViewDetail() {
    if (!InGame || !MainViewPort) return;
    const Rule* lod = MainViewPort_ScapeDetail[0] ? FindRule(MainViewPort_ScapeDetail) : nullptr;
    const Rule* morph = MainViewPort_MirroredScapeDetail[0] ? FindRule(MainViewPort_MirroredScapeDetail) : nullptr;
    SetViewPortLOD(MainViewPort, lod && lod->count >= 4 ? lod->values : nullptr,
                   morph && morph->count >= 4 ? morph->values : nullptr);
}

// In a level the main view's water reflection follows the list at once: full, none, or the level's
// recommendation.
void SetMainViewReflection(int row) {
    if (!InGame || !MainViewPort) return;
    int type = kReflectNone;
    if (row == 0) {
        type = kReflectFull;
    } else if (row == 2) {
        if (const Rule* r = FindRule("RecommendedReflection"); r && r->info[0]) type = NamedReflectionType(r->info[0]);
    }
    SetScapeDetail(MainViewPort, type);
}

int Graphics(const MenuHits& h) {
    static const char* const kDetail[5] = {"lod_minimum", "lod_low", "lod_high", "lod_very_high", "lod_maximum"};
    if (h.button == 0) {
        if (ModeUnchanged() || InGame) {
            WriteConfigFile();
            return Switch(kScreenOptions);
        }
        OpenMsgBox = 2;
        return 0;
    }
    if (h.button == 1) {
        if (InGame)
            OpenMsgBox = 0;
        else
            ApplyGraphicsMode();
        return 0;
    }
    if (h.list == 0) {
        const int row = Listboxes[0].selected;
        if (row >= 0 && row < 5) {
            snprintf(MainViewPort_ScapeDetail, sizeof MainViewPort_ScapeDetail, "%s", kDetail[row]);
            snprintf(MainViewPort_MirroredScapeDetail, sizeof MainViewPort_MirroredScapeDetail, "%s",
                     kDetail[row < 2 ? row : 2]);
            SetMainViewDetail();
        }
    }
    if (h.list == 1) {
        static const int kReflection[3] = {1, -1, 0};
        const int row = Listboxes[1].selected;
        if (row >= 0 && row < 3) {
            water_reflection = kReflection[row];
            SetMainViewReflection(row);
        }
    }
    if (h.list == 4) {
        if (InGame) {
            OpenMsgBox = 1;
        } else {
            const int row = Listboxes[4].selected;
            scape_texture_shrink = row <= 0 ? 0 : row == 1 ? 1 : 2;
            object_texture_shrink = row <= 1 ? 0 : 1;
        }
    }
    if (h.list == 5) {
        if (InGame)
            OpenMsgBox = 1;
        else if (Listboxes[5].selected == 0) {
            texturebpp = 16;
            AlphaBits = 4;
        } else {
            texturebpp = 32;
            AlphaBits = 8;
        }
    }
    if (h.checkbox >= 0 && h.checkbox < 3) {
        int* settings[3] = {&weather_effects, &shadows_and_marks, &dynamic_lighting};
        *settings[h.checkbox] = Checkboxes[h.checkbox].checked;
    }
    if (h.slider == 0) {
        gamma_brightness = static_cast<float>(100 - Sliders[0].value) * 0.01f * 3.0f + 0.25f;
        dxgl_SetGamma(gamma_brightness);
    }
    if (h.slider == 1) {
        MainViewPort_DepthOfView = Sliders[1].value;  // the slider shows the distance itself
        if (InGame && MainViewPort) {
            SetViewRadius(MainViewPort, MainViewPort_DepthOfView);
            SetMainViewDetail();
        }
    }
    if (h.msgbox == 0 && (OpenMsgBox == 0 || OpenMsgBox == 1)) OpenMsgBox = -1;
    if (h.msgbox >= 0 && OpenMsgBox == 2) {
        OpenMsgBox = -1;
        if (h.msgbox == 0) {
            ApplyGraphicsMode();
            Build(kScreenOptions);
            SwooshIn();
        } else {
            WriteConfigFile();
            return Switch(kScreenOptions);
        }
    }
    return 0;
}

int Sound(const MenuHits& h) {
    if (h.button == 0) {
        WriteConfigFile();
        return Switch(kScreenOptions);
    }
    if (h.list == 0) msg_mode = Listboxes[0].selected;
    if (h.checkbox == 0) {
        use_bgdmusic = Checkboxes[0].checked;
        if (!use_bgdmusic)
            StopBgdMusic();
        else
            RestartMusic(InGame ? "soundtrack" : "intromusic");
    }
    if (h.checkbox == 1) swap_stereo = Checkboxes[1].checked;
    if (h.checkbox == 2) use_directsound3d = Checkboxes[2].checked;
    if (h.slider == 0) {
        music_volume = static_cast<float>(Sliders[0].value) * 0.01f;
        SetBgdMusicVolume(music_volume);
    }
    if (h.slider == 1) {
        const float v = static_cast<float>(std::pow(static_cast<double>(Sliders[1].value) * 0.01, 0.3));
        dxgl_SetMasterVolume(v, v);
    }
    return 0;
}

int Controls(const MenuHits& h) {
    if (h.button == 0) {
        WriteConfigFile();
        return Switch(kScreenOptions);
    }
    if (h.checkbox >= 0 && h.checkbox < 7) {
        const int v = Checkboxes[h.checkbox].checked;
        int* settings[7] = {&auto_target_view,  &free_torso_look,    &auto_terrain_following, &airborne_auto_recentering,
                            &auto_look_forward, &mouse_invert_torso, &mouse_invert_aircraft};
        *settings[h.checkbox] = v;
    }
    if (h.slider == 0) mouse_sensitivity = static_cast<float>(Sliders[0].value);  // the configured value itself
    return 0;
}

int Keys(const MenuHits& h) {
    if (OpenMsgBox == 0) {
        if (CaptureKey()) {
            OpenMsgBox = -1;
            Build(kScreenKeys);
        }
        return 0;
    }
    if (h.button == 0) {
        WriteConfigFile();
        return Switch(kScreenOptions);
    }
    if (h.button == 1) {
        ReadRules("default.qzk");
        ReadKeyBindings();
        Build(kScreenKeys);
        return 0;
    }
    if (h.frame >= 0 && h.frame <= 25) {
        // The rebinding starts once the button is up again.
        while (KeyStateByte(256) && host::MoreInputCanArrive() && !host::QuitRequested()) {
            MenuGame.pumpMessages();
            dxgl_UpdateKeyboardState();
            dxgl_UpdateMouseState();
            MoveMousePtr(MouseState.lX, -MouseState.lY, MouseState.lZ);
        }
        RebindAction = h.frame;
        OpenMsgBox = 0;
        // Axes are measured from the moment the prompt opens: the click's own movement is not a choice.
        DetectAxis();
    }
    if (h.msgbox == 0 && OpenMsgBox == 1) OpenMsgBox = -1;
    return 0;
}

}  // namespace

int RunScreenActions(const MenuHits& hits) {
    switch (MenuScreen) {
        case kScreenMain: return MainMenu(hits);
        case kScreenCampaignEma:
        case kScreenCampaignGa: return Campaign(hits);
        case kScreenNotice: return Notice(hits);
        case kScreenDebriefing: return Debriefing(hits);
        case kScreenInGame: return InGameMenu(hits);
        case kScreenLoad: return LoadScreen(hits);
        case kScreenSave: return SaveScreen(hits);
        case kScreenLost: return LostScreen(hits);
        case kScreenCredits: return Credits(hits);
        case kScreenMultiplayer: return Multiplayer(hits);
        case kScreenHost: return HostScreen(hits);
        case kScreenJoin: return JoinScreen(hits);
        case kScreenTeam: return TeamScreen(hits);
        case kScreenOptions: return Options(hits);
        case kScreenGraphics: return Graphics(hits);
        case kScreenSound: return Sound(hits);
        case kScreenControls: return Controls(hits);
        case kScreenKeys: return Keys(hits);
        default: return 0;
    }
}

bool MissionPlayable(const char* mission) {
    if (!mission || !mission[0]) return false;
    char path[512];
    snprintf(path, sizeof path, "%s%c%s.txt", SCRIPTROOT, kPathSeparator, mission);
    if (!qzpk_exists(path)) return false;
    snprintf(path, sizeof path, "%s%c%s", QZWDROOT, kPathSeparator, mission);
    return qzpk_exists(path);
}
