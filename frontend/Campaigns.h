// Campaigns and team lists: the missions of a side's campaign file, the display names of missions, the
// teams of the multiplayer team screen, and the campaign progress file.
#pragma once

#include <cstdint>

struct Listbox;
struct Textbox;
struct Slider;

// Fills the two lists in step, one item per mission of the side's campaign ("Ema" or "Ga"): the file
// name in the first, the display name in the second.
void ReadCampaignMissions(Listbox* fileNames, Listbox* displayNames, const char* sidePrefix);
// The display name of a mission from its side's campaign file (the mission's own name when unknown).
void ReadCampaignFile(const char* missionName, char* displayName, int size);
// Fills the list with the team names.
void ReadTeamList(Listbox* list);
// Puts the team's logo file name into the textbox and its colour into the three sliders.
void FindTeamEntry(const char* team, Textbox* logo, Slider* red, Slider* green, Slider* blue);
