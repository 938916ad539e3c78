// The menus are not built yet: each frame clears and presents the screen, the screen state stays as it
// is and every frame asks to go on.
#include "frontend/Frontend.h"

#include "platform/Dxgl.h"

int CurrentScreen = 0;

int MenuFrame() {
    // Nothing is drawn while the display is not available (no exclusive mode, or another has it).
    const HRESULT hr = dxgl_TestCooperativeLevel();
    if (hr == static_cast<HRESULT>(0x887600E1u) || hr == static_cast<HRESULT>(0x88760245u)) return 0;
    dxgl_ClearRenderTarget(0xFF000000u, 1);
    // The screen's widgets and the mouse pointer are drawn here once the menus are built.
    dxgl_SwapBuffers();
    return 0;
}
void BuildScreen(int screen) { (void)screen; }
void FreeWidgets() {}
void WriteCampaignProgress() {}
