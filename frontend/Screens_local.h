// What the screen builder's files share.
#pragma once

#include <cstdint>

// The first text of the rule named by the formatted key, copied (cut to 255 characters) into a work
// buffer that the next call overwrites; fatal "Error(NamedRule): Rule '%s' not found" when missing.
const char* MenuText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Sets the R, G and B of the three screen colours (the alpha bytes keep theirs).
void SetScreenColours(const uint8_t* widget, const uint8_t* widget2, const uint8_t* text);
// A message box with its text and its captions from the key "n.msgNNN" (".0" and ".1").
void MakeMsgBox(int screen, int number, int buttons);
// A listbox's fixed items "n.lstNNN.i" for i from 0 to count - 1.
void AddListItems(int list, int screen, int number, int count);
// Selects a list's item; an index outside the list leaves item 0 selected.
void SelectListItem(int list, int item);

// The screens' sections.
void BuildMainMenu();
void BuildCampaignScreen(int n);
void BuildNoticeScreen();
void BuildDebriefingScreen();
void BuildInGameMenu();
void BuildSaveListScreen(int n);
void BuildLostScreen();
void BuildCreditsScreen();
void BuildMultiplayerScreen();
void BuildHostScreen();
void BuildJoinScreen();
void BuildTeamScreen();
void BuildOptionsScreen();
void BuildGraphicsScreen();
void BuildSoundScreen();
void BuildControlsScreen();
void BuildKeysScreen();
