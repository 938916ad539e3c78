// The screen builder: the steps of every build, the dispatch over the screen numbers, and the main menu.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "frontend/Screens_local.h"
#include "render/RenderTables.h"
#include "render/ScreenText.h"

namespace {

char WorkText[kListItemSize];

}  // namespace

const char* MenuText(const char* format, ...) {
    char key[128];
    va_list args;
    va_start(args, format);
    vsnprintf(key, sizeof key, format, args);
    va_end(args);
    const Rule* rule = NamedRulef("%s", key);
    CopyWidgetText(WorkText, sizeof WorkText, rule && rule->info[0] ? rule->info[0] : "");
    return WorkText;
}

void SetScreenColours(const uint8_t* widget, const uint8_t* widget2, const uint8_t* text) {
    memcpy(WidgetColour, widget, 3);
    memcpy(WidgetColour2, widget2, 3);
    if (text) memcpy(TextColour, text, 3);
}

void MakeMsgBox(int screen, int number, int buttons) {
    CreateMsgBox(MenuText("%d.msg%03d", screen, number), buttons);
    UIMsgBox& box = MsgBoxes[MsgBoxes.count - 1];
    if (buttons >= 1) CopyWidgetText(box.button0, sizeof box.button0, MenuText("%d.msg%03d.0", screen, number));
    if (buttons >= 2) CopyWidgetText(box.button1, sizeof box.button1, MenuText("%d.msg%03d.1", screen, number));
}

void AddListItems(int list, int screen, int number, int count) {
    for (int i = 0; i < count; ++i) AddListItem(&Listboxes[list], MenuText("%d.lst%03d.%d", screen, number, i));
}

void SelectListItem(int list, int item) {
    Listbox& l = Listboxes[list];
    l.selected = item >= 0 && item < l.count ? item : 0;
}

void BuildScreen(int n) {
    MenuScaleX = static_cast<float>(ScreenWidth) * 0.00125f;
    MenuScaleY = static_cast<float>(ScreenHeight) * 0.0016666667f;
    SetTextFont(static_cast<int32_t>(MenuScaleY * 13.0f));
    FreeWidgets();
    // The frame's references into the widgets go with them.
    OpenMsgBox = -1;
    DraggedSlider = -1;
    if (n < 0 || n >= kScreenCount) return;
    switch (n) {
        case kScreenMain: BuildMainMenu(); break;
        case kScreenCampaignEma:
        case kScreenCampaignGa: BuildCampaignScreen(n); break;
        case kScreenNotice: BuildNoticeScreen(); break;
        case kScreenDebriefing: BuildDebriefingScreen(); break;
        case kScreenInGame: BuildInGameMenu(); break;
        case kScreenLoad:
        case kScreenSave: BuildSaveListScreen(n); break;
        case kScreenLost: BuildLostScreen(); break;
        case kScreenCredits: BuildCreditsScreen(); break;
        case kScreenMultiplayer: BuildMultiplayerScreen(); break;
        case kScreenHost: BuildHostScreen(); break;
        case kScreenJoin: BuildJoinScreen(); break;
        case kScreenTeam: BuildTeamScreen(); break;
        case kScreenOptions: BuildOptionsScreen(); break;
        case kScreenGraphics: BuildGraphicsScreen(); break;
        case kScreenSound: BuildSoundScreen(); break;
        case kScreenControls: BuildControlsScreen(); break;
        case kScreenKeys: BuildKeysScreen(); break;
        default: break;  // no screen: no widgets, background and colours kept
    }
}

void BuildMainMenu() {
    LoadScreenBackground(&ScreenBackground, "UI_0");
    static const uint8_t kWidget[3] = {64, 77, 115}, kWidget2[3] = {44, 150, 77}, kText[3] = {150, 150, 150};
    SetScreenColours(kWidget, kWidget2, kText);
    static const float kButtons[9][4] = {
        {88, 388, 228, 358}, {88, 340, 228, 310}, {88, 244, 228, 214}, {258, 148, 398, 118}, {88, 436, 228, 406},
        {258, 100, 398, 70}, {88, 196, 228, 166}, {88, 148, 228, 118}, {88, 100, 228, 70},
    };
    for (int i = 0; i < 9; ++i)
        CreateButton(kButtons[i][0], kButtons[i][1], kButtons[i][2], kButtons[i][3], MenuText("0.but%03d", i));
    for (const char* title : {"EMA", "GA", "TUT", "NONE"}) {
        char name[32];
        snprintf(name, sizeof name, "Title%c%s", kPathSeparator, title);
        CreateImage(260, 450, 516, 194, name, 0, 0);
    }
    for (int i = 0; i < 3; ++i) Images[i].visible = 0;
    CreateLabel(50, 370, 16, nullptr, MenuText("0.lbl000"));
    CreateLabel(570, 370, 16, nullptr, MenuText("0.lbl001"));
    Labels[0].visible = 0;
    Labels[1].visible = 0;
    // Going on with the last mission needs one that can be built (a configuration may name none).
    if (!MissionPlayable(lastmap)) Buttons[3].enabled = 0;
    MakeMsgBox(0, 0, 2);
    SwooshIn();
}
