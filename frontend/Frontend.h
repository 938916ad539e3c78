// The front end: the menu frame with its screen state machine, the screen builder, the drawing of the
// current screen and the transitions between screens. The outer loop builds the current screen and calls
// MenuFrame once per frame until it returns non-zero; the level's frame loop does the same for the
// in-game menu (screen 9) and the mission-lost screen (12).
#pragma once

#include <cstdint>

#include "frontend/Widgets.h"

struct dxgl_SoundStreamBuffer;

// What the menus ask of the game above them: the display closed and opened again (a new resolution), the
// window's messages pumped while a screen waits, a rule's music started and a saved game's mission name
// read for the list of saved games. The game binds them (game/LayerHooks.cpp).
struct MenuGameCalls {
    int (*openDisplay)();
    void (*closeDevices)();
    void (*pumpMessages)();
    void (*startRuleMusic)(const char* ruleName);
    void (*readQZGMHeader)(const char* path, char* name);
};
extern MenuGameCalls MenuGame;

// Screen numbers.
constexpr int32_t kScreenMain = 0;
constexpr int32_t kScreenCampaignEma = 4;
constexpr int32_t kScreenCampaignGa = 5;
constexpr int32_t kScreenNotice = 6;
constexpr int32_t kScreenDebriefing = 8;
constexpr int32_t kScreenInGame = 9;
constexpr int32_t kScreenLoad = 10;
constexpr int32_t kScreenSave = 11;
constexpr int32_t kScreenLost = 12;
constexpr int32_t kScreenCredits = 20;
constexpr int32_t kScreenMultiplayer = 100;
constexpr int32_t kScreenHost = 101;
constexpr int32_t kScreenJoin = 102;
constexpr int32_t kScreenTeam = 107;
constexpr int32_t kScreenOptions = 200;
constexpr int32_t kScreenGraphics = 201;
constexpr int32_t kScreenSound = 202;
constexpr int32_t kScreenControls = 203;
constexpr int32_t kScreenKeys = 204;
constexpr int32_t kScreenCount = 205;  // numbers 0 .. 204

// Front-end state.
extern int32_t MenuScreen;      // the current screen
extern int32_t MenuClan;        // 0 (screen 4) or 1 (screen 5)
extern char MenuMission[64];    // file name of the mission picked in a campaign list
extern int32_t DraggedSlider;   // -1 none
extern int32_t OpenMsgBox;      // -1 none; while one is open only it reacts to the mouse
extern int32_t MouseReleased;   // 1 when the left button was up at the end of the previous frame
extern int32_t DoubleClick;     // 1 from a press completing a double click until the next press
extern double FirstClickTime;   // hundredths of a second; 0 none
extern int32_t FirstClickPos[2];
extern dxgl_SoundStreamBuffer* ClickSound;
namespace host {
struct GfxSurface;
}
extern host::GfxSurface* ScreenBackground;
extern char ScreenBackgroundName[64];

// One frame of the menus: 0 while the menus continue, -1 quit (or leave the level), 1 start the map named
// in MissionName (in a level: play on), 2 a saved game or the restart point was loaded, 3 the running game
// was saved, 4 a tutorial was left from the in-game menu.
int MenuFrame();
// Discards the widgets of the screen before and builds screen n (MenuScreen is the caller's).
void BuildScreen(int n);

// Hit tests of one frame: the index of the widget of the kind that took the press, or -1 (HitMsgBox: 0
// yes or OK, 1 no, -1 nothing).
int HitButtons();
int HitCheckboxes();
int HitListboxes();
int HitTextboxes();
int HitSliders();
int HitFrames();
int HitImages();
int HitMsgBox();
// Plays "mclick.wav" as a one-shot sample.
void PlayClickSound();

// Drawing of the current screen.
void DrawScreen();
void DrawLabel(const Label& w);
void DrawButton(UIButton& w);
void DrawCheckbox(Checkbox& w);
void DrawListbox(const Listbox& w);
void DrawTextbox(const Textbox& w, bool focused);
void DrawLTextbox(const LTextbox& w);
void DrawSlider(const Slider& w);
void DrawFrame(const UIFrame& w);
void DrawImage(UIImage& w);
void DrawMsgBox(const UIMsgBox& w);
// A soft halo reaching 8 units outside the rectangle, its grey level half the glow level.
void DrawGlow(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t level);
// The message box's horizontal extent in pixels (250 .. 549 units, or around a wide text).
void MsgBoxExtent(const UIMsgBox& w, int32_t* left, int32_t* right);

// The screen background: loaded at the screen's size from BITMAPROOT\name (none when it cannot be had).
void LoadScreenBackground(host::GfxSurface** background, const char* name);
void FreeScreenBackground(host::GfxSurface** background);
// The fade transitions around a screen change, with their sounds.
void SwooshIn();
void SwooshOut();

// Records a won mission in the campaign progress file (CAMPAIGNROOT\lastgame): the entry equal to
// lastmap is marked won and lastmap moves on to the entry after it. The file is replaced whole; when it
// cannot be written the failure is reported, the old file stays and lastmap keeps its value.
void WriteCampaignProgress();
// Set by the outer loop when a level ends, cleared when that level's won mission has been recorded: the
// progress is written once per won level, however often the debriefing is built.
extern int32_t CampaignProgressDue;
// WriteCampaignProgress for the level that ended last, when its progress is still due.
void RecordCampaignProgress();

// A team record: a team's name, its colour (R, G, B, A) and its logo.
struct TeamEntry {
    char name[kWidgetTextSize];
    uint8_t colour[4];
    host::GfxSurface* logo;  // null when none is loaded
};

// Reads the default task force ("tf_default_1" .. "tf_default_10", each followed by a number and a unit
// type) of a mission script into TFDefaultNames and TFDefaultCount, before a saved game switches
// missions; returns the count.
int ReadTaskForceDefaults(const char* path);
// The front end's team table (the list of teams).
constexpr int kMaxTeams = 64;
extern TeamEntry* TeamTable[kMaxTeams];
extern int32_t TeamCount;
// Removes a team record (the later entries move down), releases its logo and frees it; fatal
// "Error(DeleteTeam): No more teams to delete" on an empty table, nothing for a record not in it.
void DeleteTeam(TeamEntry* team);
// The local player's team record, made in the team table the first time it is asked for (an empty name,
// black at alpha 80, no logo); null without a local player or when the table is full. The level's
// teardown deletes it with the other teams, and the new player cell starts without one.
TeamEntry* OwnTeam();
