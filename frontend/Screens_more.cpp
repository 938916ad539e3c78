// The screen builder's sections of the screens around a mission (campaigns, notice, debriefing, in-game
// menu, load, save, mission lost, credits), the multiplayer screens and the options screens.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "frontend/Campaigns.h"
#include "frontend/Credits.h"
#include "frontend/Frontend.h"
#include "frontend/KeyConfig.h"
#include "frontend/Screens_local.h"
#include "net/Session.h"
#include "platform/Sound.h"
#include "world/Level.h"
#include "world/Player.h"

namespace {

const uint8_t kMenuRed[4] = {240, 0, 0, 0};
const uint8_t kMenuGreen[4] = {0, 240, 0, 0};

struct Colours {
    uint8_t widget[3], widget2[3], text[3];
};
const Colours kEma = {{70, 100, 170}, {70, 100, 170}, {180, 180, 180}};
const Colours kGa = {{200, 70, 70}, {200, 70, 70}, {180, 180, 180}};
const Colours kGreyNotice = {{120, 120, 120}, {120, 120, 120}, {150, 150, 150}};
const Colours kStone = {{140, 130, 120}, {140, 130, 120}, {150, 150, 150}};

void Background(const char* name, const Colours& c, bool setText = true) {
    LoadScreenBackground(&ScreenBackground, name);
    SetScreenColours(c.widget, c.widget2, setText ? c.text : nullptr);
}

void Button(int screen, int i, float l, float t, float r, float b) {
    CreateButton(l, t, r, b, MenuText("%d.but%03d", screen, i));
}

// The status word of an objective: not accomplished and failed in red, accomplished in green.
void ObjectiveRows(const Objective* table, float topY) {
    for (int r = 0; r < 5; ++r) {
        const Objective& o = table[r];
        if (strcmp(o.text, "NONE") == 0 || o.number < -1) continue;
        const float y = topY - 30.0f * static_cast<float>(r);
        CreateLabel(50, y, 12, nullptr, o.text);
        if (o.number == 0)
            CreateLabel(50, y - 14, 12, kMenuRed, MenuText("Obj_not_accomplished"));
        else if (o.number == -1)
            CreateLabel(50, y - 14, 12, kMenuRed, MenuText("Obj_failed"));
        else
            CreateLabel(50, y - 14, 12, kMenuGreen, MenuText("Obj_accomplished"));
    }
}

}  // namespace

void BuildCampaignScreen(int n) {
    Background(n == kScreenCampaignEma ? "UI_4" : "UI_5", n == kScreenCampaignEma ? kEma : kGa);
    Button(n, 0, 20, 60, 160, 30);
    Button(n, 1, 640, 60, 780, 30);
    // The mission lists take the height down to the picture's bottom edge (11 rows from y 580 end at 390;
    // the briefing text begins at 310), so that the mission to play next and the scroll arrows have room.
    const int rows = 11;
    CreateListbox(20, 580, 260, rows, "real names");
    Listboxes[0].enabled = 0;
    CreateListbox(20, 580, 260, rows, MenuText("%d.lst001", n));
    ReadCampaignMissions(&Listboxes[0], &Listboxes[1], n == kScreenCampaignEma ? "Ema" : "Ga");
    Listbox& names = Listboxes[0];
    names.selected = names.count > 0 ? names.count - 1 : 0;
    for (int i = 0; i < names.count; ++i)
        if (strcmp(names.items[i], lastmap) == 0) {
            names.selected = i;
            break;
        }
    Listboxes[1].selected = names.selected;
    // An empty campaign leaves no mission picked and no briefing.
    CopyWidgetText(MenuMission, sizeof MenuMission, names.count > 0 ? names.items[names.selected] : "");
    if (!MenuMission[0]) Buttons[1].enabled = 0;  // nothing to start
    CreateListbox(290, 580, 490, 3, MenuText("%d.lst002", n));
    AddListItems(2, n, 2, 3);
    SelectListItem(2, skill_level);
    CreateLTextbox(20, 310, 780, 80);
    if (MenuMission[0]) snprintf(LTextboxes[0].file, sizeof LTextboxes[0].file, "Brief_%.50s.txt", MenuMission);
    char picture[kWidgetTextSize];
    snprintf(picture, sizeof picture, "Screens%c%.55s", kPathSeparator, MenuMission);
    CreateImage(525, 579, 780, 380, MenuMission[0] ? picture : nullptr, 0, 0);
    if (MenuMission[0]) {
        // One briefing at a time.
        if (BriefingSpeech) dxgl_FreeSound(&BriefingSpeech);
        char speech[160];
        snprintf(speech, sizeof speech, "%s%cBrief_%s.wav", MenuMission, kPathSeparator, MenuMission);
        BriefingSpeech = dxgl_PlaySample(speech, 2, 0, 1, 0);
        if (dxgl_IsSoundValid(BriefingSpeech)) dxgl_UpdateSound3D(BriefingSpeech);
    }
}

void BuildNoticeScreen() {
    Background("UI_6", kGreyNotice);
    CreateLabel(50, 560, 20, nullptr, MenuText("6.lbl000"));
    Button(6, 0, 20, 60, 160, 30);
}

void BuildDebriefingScreen() {
    if (lastclan == 0)
        Background("UI_8e", kEma);
    else if (lastclan == 1)
        Background("UI_8g", kGa);
    Button(8, 0, 40, 60, 180, 30);
    Button(8, 1, 620, 60, 760, 30);
    CreateLabel(300, 560, 20, nullptr, MenuText("8.lbl000"));
    CreateLabel(50, 515, 16, nullptr, MenuText("8.lbl001"));
    ObjectiveRows(PrimaryObjectives, 480);
    CreateLabel(50, 305, 16, nullptr, MenuText("8.lbl002"));
    ObjectiveRows(SecondaryObjectives, 270);
    char verdict[2 * kWidgetTextSize + 2];
    char head[kWidgetTextSize];
    CopyWidgetText(head, sizeof head, MenuText("8.lbl003"));
    const bool won = !MissionLost && MissionWon;
    const char* status = MissionLost ? "Obj_failed" : MissionWon ? "Obj_accomplished" : "Obj_not_accomplished";
    snprintf(verdict, sizeof verdict, "%s %s", head, MenuText("%s", status));
    CreateLabel(50, 105, 16, won ? kMenuGreen : kMenuRed, verdict);
    if (won) RecordCampaignProgress();
}

void BuildInGameMenu() {
    static const Colours kTeal = {{80, 140, 140}, {80, 140, 140}, {150, 150, 150}};
    Background("UI_9", kTeal);
    for (int i = 0; i < 6; ++i) Button(9, i, 310, 450 - 60.0f * i, 490, 420 - 60.0f * i);
    if (MissionLost) Buttons[3].enabled = 0;
    MakeMsgBox(9, 0, 2);
    MakeMsgBox(9, 1, 2);
    MakeMsgBox(9, 2, 1);  // a refused restart
}

void BuildSaveListScreen(int n) {
    // The save screen keeps the text colour of the screen before.
    Background(n == kScreenLoad ? "UI_10" : "UI_11", kStone, n == kScreenLoad);
    Button(n, 0, 40, 60, 180, 30);
    Button(n, 1, 40, 450, 180, 420);
    Buttons[1].enabled = 0;
    Button(n, 2, 40, 155, 180, 125);
    if (n == kScreenLoad) Buttons[2].enabled = 0;
    CreateListbox(200, 450, 750, 20, MenuText("%d.lst000", n));
    Listbox* list = &Listboxes[0];
    char path[512], mission[64], display[64], item[kListItemSize];
    snprintf(path, sizeof path, "%s%cquicksave", SAVEDGAMESROOT, kPathSeparator);
    if (qzpk_exists(path)) {
        MenuGame.readQZGMHeader(path, mission);
        ReadCampaignFile(mission, display, sizeof display);
        snprintf(item, sizeof item, "[QUICK] (%s) %s", strstr(mission, "Ema") ? "EMA" : "GA", display);
        AddListItem(list, item);
        if (n == kScreenLoad) Buttons[1].enabled = 1;
    } else {
        AddListItem(list, " - [QUICK]");
    }
    for (int slot = 1; slot <= 19; ++slot) {
        snprintf(path, sizeof path, "%s%csavegame%02d", SAVEDGAMESROOT, kPathSeparator, slot);
        if (!qzpk_exists(path)) {
            AddListItem(list, " - ");
            continue;
        }
        MenuGame.readQZGMHeader(path, mission);
        // A game only in the package has no file date: it shows as 00.00.0000 - 00:00:00.
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        GetFileDate(path, &year, &month, nullptr, &day, &hour, &minute, &second, nullptr);
        ReadCampaignFile(mission, display, sizeof display);
        snprintf(item, sizeof item, "%02d.%02d.%04d - %02d:%02d:%02d (%s) %s", day, month, year, hour, minute, second,
                 strstr(mission, "Ema") ? "EMA" : "GA", display);
        AddListItem(list, item);
    }
    list->selected = n == kScreenLoad ? 0 : 1;
    if (n == kScreenSave) {
        // Saving into the selected slot is offered at once, as a press on its row offers it: an empty slot
        // is just where a game is saved without asking, and a slot holding one may be deleted.
        const char* text = list->items[list->selected];
        Buttons[1].enabled = !strstr(text, "[QUICK]");
        Buttons[2].enabled = strcmp(text, " - ") != 0 && !strstr(text, "[QUICK]");
    }
    MakeMsgBox(n, 0, 2);
    MakeMsgBox(n, 1, n == kScreenSave ? 2 : 1);  // delete, or a refused load
    if (n == kScreenLoad) MakeMsgBox(n, 2, 2);    // a saved game of another version: load it anyway?
}

void BuildLostScreen() {
    Background("UI_12", kGreyNotice);
    Button(12, 0, 310, 450, 490, 420);
    Button(12, 1, 310, 400, 490, 370);
    Button(12, 2, 310, 350, 490, 320);
    MakeMsgBox(12, 0, 2);
    MakeMsgBox(12, 1, 1);  // a refused restart
}

void BuildCreditsScreen() {
    static const Colours kGreen = {{100, 120, 100}, {100, 120, 100}, {150, 150, 150}};
    Background("UI_20", kGreen);
    Button(20, 0, 40, 60, 180, 30);
    RunCredits(1);
}

void BuildMultiplayerScreen() {
    static const Colours kOrange = {{204, 123, 66}, {204, 123, 66}, {240, 104, 8}};
    Background("UI_1", kOrange);
    Button(100, 0, 330, 310, 470, 280);
    Button(100, 1, 330, 270, 470, 240);
    Button(100, 2, 330, 230, 470, 200);
    Button(100, 3, 330, 100, 470, 70);
}

namespace {

// A textbox showing a value: both its text and its saved copy.
void TextboxValue(int box, const char* value) {
    CopyWidgetText(Textboxes[box].edit, kWidgetTextSize, value);
    CopyWidgetText(Textboxes[box].saved, kWidgetTextSize, value);
}

void TextboxFormat(int box, const char* format, double value) {
    char text[kListItemSize];
    snprintf(text, sizeof text, format, value);
    TextboxValue(box, text);
}

}  // namespace

void BuildHostScreen() {
    Button(101, 0, 20, 70, 140, 40);
    Button(101, 1, 640, 70, 780, 40);
    static const float kBoxes[6][2] = {{20, 570}, {20, 510}, {20, 450}, {300, 570}, {300, 510}, {300, 450}};
    static const int32_t kKinds[6] = {kTextFree, kTextFree, kTextWholeNumber, kTextWholeNumber, kTextDecimal,
                                      kTextWholeNumber};
    for (int i = 0; i < 6; ++i) CreateTextbox(kBoxes[i][0], kBoxes[i][1], MenuText("101.txt%03d", i), kKinds[i]);
    TextboxValue(0, Gamename);
    char players[16];  // an integer: "%d" through TextboxFormat's double would read garbage
    snprintf(players, sizeof players, "%d", maxplayers);
    TextboxValue(2, players);
    TextboxFormat(3, "%1.0f", leveltime);
    TextboxFormat(4, "%3.1f", roundtime);
    TextboxFormat(5, "%1.0f", buytime);
    static const float kChecks[5][3] = {{575, 545, 775}, {575, 500, 775}, {575, 455, 775}, {300, 110, 500}, {300, 50, 500}};
    const int32_t checked[5] = {friendlyfire, chasecamonly, forcebalance, lvlcycle, lvlrandom};
    for (int i = 0; i < 5; ++i)
        CreateCheckbox(kChecks[i][0], kChecks[i][1], kChecks[i][2], MenuText("101.chk%03d", i), checked[i]);
    CreateListbox(20, 320, 220, 5, MenuText("101.lst000"));
    CreateListbox(20, 200, 220, 3, MenuText("101.lst001"));
    CreateListbox(300, 390, 500, 15, MenuText("101.lst002"));
    CreateListbox(575, 390, 757, 15, MenuText("101.lst003"));
    // Service providers: the TCP/IP provider is chosen when there is one, else the first.
    static const uint8_t kTcpIp[16] = {0xa0, 0x7b, 0xfe, 0xeb, 0x7d, 0x62, 0xd2, 0x11,
                                       0xae, 0x0f, 0x00, 0x60, 0x97, 0xb0, 0x14, 0x11};
    if (!ProviderList) EnumServiceProviders();
    for (int i = 0; i < ProviderCount && ProviderList; ++i) {
        AddListItem(&Listboxes[0], ProviderList[i].name);
        if (memcmp(ProviderList[i].guid, kTcpIp, 16) == 0) Listboxes[0].selected = Listboxes[0].count - 1;
    }
    if (ProviderList && Listboxes[0].selected < ProviderCount)
        memcpy(ChosenProvider, ProviderList[Listboxes[0].selected].guid, 16);
    if (!AdapterList && ProviderList && ProviderCount > 0) EnumSPAdapters(ChosenProvider);
    for (int i = 0; i < AdapterCount && AdapterList; ++i) {
        char name[65];
        CopyWidgetText(name, sizeof name, AdapterList[i].name);
        AddListItem(&Listboxes[1], name);
    }
    if (AdapterList && AdapterCount > 0) memcpy(ChosenAdapter, AdapterList[0].guid, 16);
    // Maps: the world files whose names begin with "Multi".
    char name[256];
    int cursor = 0;
    while (qzpk_findfiles(QZWDROOT, &cursor, name, sizeof name) > 0 && cursor != -1)
        if (strncmp(name, "Multi", 5) == 0 && Listboxes[2].count < kListItems) AddListItem(&Listboxes[2], name);
    MakeMsgBox(101, 0, 1);  // a map that cannot be played
}

void BuildJoinScreen() {
    Button(102, 0, 20, 100, 140, 70);
    Button(102, 1, 640, 100, 780, 70);
    Buttons[1].enabled = 0;
    Button(102, 2, 265, 400, 465, 370);
    CreateTextbox(20, 580, MenuText("102.txt000"), kTextFree);
    CreateTextbox(20, 530, MenuText("102.txt001"), kTextFree);
    CreateListbox(265, 580, 465, 10, MenuText("102.lst000"));
    // The password of a game that has one (its details say "password enabled").
    CreateTextbox(20, 480, MenuText("102.txt002"), kTextFree);
    static const char* const kDetails[9] = {"password: ",      "max. players: ", "leveltime: ",
                                            "roundtime: ",     "buytime: ",      "friendly fire: ",
                                            "freelook: ",      "balance: ",      "map: "};
    for (int i = 0; i < 9; ++i) {
        CreateLabel(600, 580 - 20.0f * i, 13, nullptr, kDetails[i]);
        Labels[i].visible = 0;
    }
    MakeMsgBox(102, 0, 1);  // a game whose map cannot be played here
}

void BuildTeamScreen() {
    Button(107, 0, 20, 100, 140, 70);
    Button(107, 1, 20, 300, 220, 270);
    CreateTextbox(20, 380, MenuText("107.txt000"), kTextFree);
    TextboxValue(0, Playername);
    CreateTextbox(300, 220, MenuText("107.txt001"), kTextFree);
    Textboxes[1].enabled = 0;
    CreateTextbox(300, 270, MenuText("107.txt002"), kTextFree);
    CreateListbox(300, 380, 500, 5, MenuText("107.lst000"));
    ReadTeamList(&Listboxes[0]);
    for (int i = 0; i < 3; ++i) CreateSlider(580, 300 - 80.0f * i, MenuText("107.sld%03d", i), 0, 0, 255);
    const Listbox& teams = Listboxes[0];
    FindTeamEntry(teams.count > 0 ? teams.items[teams.selected] : "", &Textboxes[2], &Sliders[0], &Sliders[1],
                  &Sliders[2]);
    CreateFrame(367, 201, 433, 135, 0);
    char logo[kWidgetTextSize];
    snprintf(logo, sizeof logo, "App%cteams%c%.50s", kPathSeparator, kPathSeparator, Textboxes[2].edit);
    CreateImage(368, 200, 432, 136, Textboxes[2].edit[0] ? logo : nullptr, 0, 0);
    UIImage& image = Images[Images.count - 1];
    if (!image.pictures[0]) {
        snprintf(logo, sizeof logo, "App%cteams%cdefaultlogo", kPathSeparator, kPathSeparator);
        image.pictures[0] = LoadMenuPicture(logo);
    }
}

void BuildOptionsScreen() {
    static const Colours kSea = {{60, 140, 120}, {60, 140, 120}, {150, 150, 150}};
    Background("ui_200", kSea);
    static const float kY[5] = {390, 330, 270, 210, 100};
    for (int i = 0; i < 5; ++i) Button(200, i, 330, kY[i], 470, kY[i] - 30);
}

namespace {

int IndexOf(int value, const int* table, int count) {
    for (int i = 0; i < count; ++i)
        if (table[i] == value) return i;
    return 0;
}

}  // namespace

void BuildGraphicsScreen() {
    Background("ui_201", kStone);
    CreateLabel(350, 560, 20, nullptr, MenuText("201.lbl000"));
    CreateLabel(550, 470, 13, nullptr, MenuText("201.lbl001"));
    CreateLabel(550, 410, 13, nullptr, MenuText("201.lbl002"));
    CreateLabel(550, 350, 13, nullptr, MenuText("201.lbl003"));
    Button(201, 0, 40, 60, 180, 30);
    Button(201, 1, 300, 320, 500, 290);
    CreateCheckbox(550, 450, 750, MenuText("201.chk000"), weather_effects);
    CreateCheckbox(550, 390, 750, MenuText("201.chk001"), shadows_and_marks);
    CreateCheckbox(550, 330, 750, MenuText("201.chk002"), dynamic_lighting);
    static const char* const kDetail[5] = {"lod_minimum", "lod_low", "lod_high", "lod_very_high", "lod_maximum"};
    int detail = 0;
    for (int i = 0; i < 5; ++i)
        if (strcmp(MainViewPort_ScapeDetail, kDetail[i]) == 0) detail = i;
    static const int kReflection[3] = {1, -1, 0}, kXres[4] = {640, 800, 1024, 1280};
    struct {
        float x, y, right;
        int rows, items, selected;
    } lists[6] = {
        {50, 490, 250, 5, 5, detail},
        {50, 360, 250, 3, 3, IndexOf(water_reflection, kReflection, 3)},
        {300, 490, 500, 4, 4, IndexOf(xres, kXres, 4)},
        {300, 390, 500, 2, 2, colourdepth == 16 ? 0 : 1},
        {300, 250, 500, 3, 3, scape_texture_shrink == 0 ? 0 : scape_texture_shrink == 1 ? 1 : 2},
        {300, 160, 500, 2, 2, texturebpp == 16 ? 0 : 1},
    };
    for (int i = 0; i < 6; ++i) {
        CreateListbox(lists[i].x, lists[i].y, lists[i].right, lists[i].rows, MenuText("201.lst%03d", i));
        AddListItems(i, 201, i, lists[i].items);
        SelectListItem(i, lists[i].selected);
    }
    const int gamma = static_cast<int>(100.0f - (gamma_brightness - 0.25f) * 33.333332f);
    CreateSlider(550, 250, MenuText("201.sld000"), gamma, 0, 100);
    // The view distance and the mouse sensitivity show the configured values themselves, on a scale that
    // holds them (a value beyond the usual scale widens it): a slider never shows a number it cannot
    // set, and a move sets what the configuration means.
    CreateSlider(50, 250, MenuText("201.sld001"), MainViewPort_DepthOfView, std::min(6, MainViewPort_DepthOfView),
                 std::max(16, MainViewPort_DepthOfView));
    MakeMsgBox(201, 0, 1);
    MakeMsgBox(201, 1, 1);
    MakeMsgBox(201, 2, 2);
}

void BuildSoundScreen() {
    Background("ui_202", kStone);
    CreateLabel(380, 560, 20, nullptr, MenuText("202.lbl000"));
    Button(202, 0, 40, 60, 180, 30);
    CreateCheckbox(300, 430, 500, MenuText("202.chk000"), use_bgdmusic);
    CreateCheckbox(300, 480, 500, MenuText("202.chk001"), swap_stereo);
    CreateCheckbox(300, 530, 500, MenuText("202.chk002"), use_directsound3d);
    Checkboxes[2].enabled = 0;
    CreateListbox(300, 220, 500, 3, MenuText("202.lst000"));
    AddListItems(0, 202, 0, 3);
    SelectListItem(0, msg_mode);
    CreateSlider(300, 370, MenuText("202.sld000"), static_cast<int32_t>(music_volume * 100.0f), 0, 100);
    const double master = dxgl_GetMasterVolume();
    CreateSlider(300, 300, MenuText("202.sld001"),
                 static_cast<int32_t>(std::pow(master, 3.3333332008785725) * 100.0), 0, 100);
}

void BuildControlsScreen() {
    Background("ui_203", kStone);
    static const float kLabels[6][3] = {{350, 550, 16}, {130, 334, 13}, {130, 274, 13},
                                        {130, 214, 13}, {445, 390, 13}, {445, 330, 13}};
    for (int i = 0; i < 6; ++i) CreateLabel(kLabels[i][0], kLabels[i][1], kLabels[i][2], nullptr, MenuText("203.lbl%03d", i));
    Button(203, 0, 40, 60, 180, 30);
    const int32_t values[7] = {auto_target_view,   free_torso_look,    auto_terrain_following, airborne_auto_recentering,
                               auto_look_forward,  mouse_invert_torso, mouse_invert_aircraft};
    static const float kChecks[7][3] = {{125, 434, 370}, {125, 374, 370}, {125, 314, 370}, {125, 254, 370},
                                        {125, 194, 370}, {440, 370, 620}, {440, 310, 620}};
    for (int i = 0; i < 7; ++i)
        CreateCheckbox(kChecks[i][0], kChecks[i][1], kChecks[i][2], MenuText("203.chk%03d", i), values[i]);
    const int32_t sensitivity = static_cast<int32_t>(std::lround(std::clamp(mouse_sensitivity, 0.0f, 65536.0f)));
    CreateSlider(430, 250, MenuText("203.sld000"), sensitivity, 0, std::max(512, sensitivity));
}

void BuildKeysScreen() {
    Background("ui_204", kStone);
    Button(204, 0, 40, 60, 180, 30);
    Button(204, 1, 560, 60, 760, 30);
    Button(204, 2, 560, 480, 760, 450);
    Buttons[2].enabled = 0;
    CreateListbox(560, 580, 760, 4, MenuText("204.lst000"));
    Listboxes[0].enabled = 0;
    InitKeyDisplayNames();
    BuildKeyScreen();
    DetectAxis();
    MakeMsgBox(204, 0, 0);
    MakeMsgBox(204, 1, 1);
}
