// What view rendering calls of the viewport, sky and units modules. The viewport table lives here; the
// operations below belong to the viewport and sky modules, which fill them in.
#include "render/Sky.h"
#include "render/Viewport.h"
#include "render/View_local.h"

ViewPort* ViewPortTable[kMaxViewPorts];
int32_t ViewPortCount = 0;
ViewPort* MainViewPort = nullptr;

// The sky colour, kept by the time of day; the fog colour of every view.
uint8_t SkyColour[3] = {0, 0, 0};

void ActivateViewPort(ViewPort*) {}
void DetachViewPort(ViewPort*) {}
void DrawSky(SkyCell*) {}
void DrawFlares(SkyCell*) {}
const char* UnitDisplayName(const construct*) { return ""; }
