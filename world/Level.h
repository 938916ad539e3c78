// Level building, the frame loop, teardown and the saved-game commands.
#pragma once

// Builds the level of MissionName behind the loading screen.
void InitLevel(int loadingSavedGame);
// Runs the level frame by frame; returns its end code (0, 1, 3 or 4).
int RunGame();
// Tears the level down.
void TeardownLevel();
// Saves, loads or restarts through the saved-game files.
int GameFileCommand(const char* name, int command);
// Copies the 64-character mission name stored in a saved game into name (empty when the file cannot be
// opened, is not a saved game or has another version).
void ReadQZGMHeader(const char* path, char* name);

// State of the running level that the menus read.
extern int InGame;         // non-zero while a level runs (the menus are then the in-game menu)
extern int MissionWon;     // set when the mission has been won
extern int MissionLost;    // set when the mission has been lost (screen 12 is up)
extern int MultiplayerOn;  // non-zero while a networked game runs
extern int IsHost;         // non-zero while this machine hosts it
