// The menus are not built yet: the screen state stays as it is and every frame asks to go on.
#include "frontend/Frontend.h"

int CurrentScreen = 0;

int MenuFrame() { return 0; }
void BuildScreen(int screen) { (void)screen; }
void FreeWidgets() {}
void WriteCampaignProgress() {}
