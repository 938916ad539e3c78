// The front end's entry points that the outer loop and the level's frame loop call.
#pragma once

#include <cstdint>

#include "frontend/Widgets.h"

extern int32_t MenuScreen;  // the current menu screen number

// One frame of the menus: 0 while the menus continue, -1 quit, 1 start the map named in MissionName,
// 2 a saved game or the restart point was loaded, 3 the running game was saved, 4 a tutorial was left.
int MenuFrame();
// Discards the widgets of the screen before and builds screen n.
void BuildScreen(int n);
// Records a won mission in the campaign progress file.
void WriteCampaignProgress();

struct TeamEntry;

// Loads a screen background image into a slot, and frees it.
void LoadScreenBackground(int slot, const char* name);
void FreeScreenBackground(int slot);
// Reads the task-force defaults of a mission script before a saved game switches missions.
int ReadTeamFlags(const char* path);
// The front end's team table (the list of teams).
constexpr int kMaxTeams = 64;
extern TeamEntry* TeamTable[kMaxTeams];
extern int32_t TeamCount;
// Removes a team record (the later entries move down) and frees it.
void DeleteTeam(TeamEntry* team);
