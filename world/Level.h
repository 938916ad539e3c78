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
