// The menus are not built yet: each frame clears the screen, draws the pointer and presents.
#include "frontend/Frontend.h"

#include "hud/MousePtr.h"
#include "platform/Dxgl.h"

int32_t MenuScreen = 0;

int MenuFrame() {
    // Nothing is drawn while the display is not available (no exclusive mode, or another has it).
    const HRESULT hr = dxgl_TestCooperativeLevel();
    if (hr == static_cast<HRESULT>(0x887600E1u) || hr == static_cast<HRESULT>(0x88760245u)) return 0;
    dxgl_ClearRenderTarget(0xFF000000u, 1);
    DrawMousePtr();
    dxgl_SwapBuffers();
    return 0;
}
void BuildScreen(int n) { (void)n; }
void WriteCampaignProgress() {}

// Widgets, backgrounds and teams are not built yet.
TeamEntry* TeamTable[kMaxTeams];
int32_t TeamCount = 0;

void LoadScreenBackground(int slot, const char* name) { (void)slot, (void)name; }
void FreeScreenBackground(int slot) { (void)slot; }
int ReadTeamFlags(const char* path) {
    (void)path;
    return 0;
}
void DeleteTeam(TeamEntry* team) { (void)team; }
