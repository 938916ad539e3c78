// Levels are not built yet: these do nothing, and the menus never start one.
#include "world/Level.h"

void InitLevel(int loadingSavedGame) { (void)loadingSavedGame; }
int RunGame() { return 0; }
void TeardownLevel() {}
int GameFileCommand(const char* name, int command) {
    (void)name;
    (void)command;
    return 0;
}
