// Levels are not built yet: these do nothing, and the menus never start one.
#include "world/Level.h"

int InGame = 0;
int MissionWon = 0;
int MissionLost = 0;
int MultiplayerOn = 0;
int IsHost = 0;

void InitLevel(int loadingSavedGame) { (void)loadingSavedGame; }
int RunGame() { return 0; }
void TeardownLevel() {}
int GameFileCommand(const char* name, int command) {
    (void)name;
    (void)command;
    return 0;
}
void ReadQZGMHeader(const char* path, char* name) {
    (void)path;
    if (name) name[0] = 0;
}
