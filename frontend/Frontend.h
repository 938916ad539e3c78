// The front end's entry points that the outer loop calls.
#pragma once

extern int CurrentScreen;  // the current menu screen number

// One frame of the menus: 0 while the menus continue, -1 quit, 1 start the chosen map, any other value
// when a level was already built from a saved game.
int MenuFrame();
void BuildScreen(int screen);
void FreeWidgets();
void WriteCampaignProgress();
