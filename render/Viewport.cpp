#include "render/Viewport.h"

#include <cstring>

#include "core/Memory.h"
// What view rendering calls of the viewport, sky and units modules. The viewport table lives here; the
// operations below belong to the viewport and sky modules, which fill them in.
#include "render/Sky.h"
#include "render/Viewport.h"
#include "render/View_local.h"

ViewPort* ViewPortTable[kMaxViewPorts];
int32_t ViewPortCount = 0;
ViewPort* MainViewPort = nullptr;

ViewPort* CreateViewPort(int32_t left, int32_t top, int32_t width, int32_t height, float fieldOfView) {
    (void)left, (void)top, (void)width, (void)height, (void)fieldOfView;
    return nullptr;
}
void DestroyViewPort(ViewPort* vp) { (void)vp; }
void SetViewPortScapeNoOverlay(ViewPort* vp, int flag, matrix* terrain, int value, construct* follows, int detail) {
    (void)vp, (void)flag, (void)terrain, (void)value, (void)follows, (void)detail;
}
void SetViewPortLOD(ViewPort* vp, const float* lod, const float* morph) { (void)vp, (void)lod, (void)morph; }
void DetachViewPort(ViewPort* vp) { (void)vp; }
void ActivateViewPort(ViewPort* vp) { (void)vp; }
void UpdateViewPortCamera(ViewPort* vp, int ticks) { (void)vp, (void)ticks; }
void SetViewPortShadowDepth(ViewPort* vp, int depth) { (void)vp, (void)depth; }
void SetViewPortReflection(ViewPort* vp, int type) { (void)vp, (void)type; }

int NamedReflectionType(const char* name) {
    if (name && strcmp(name, "NONE") == 0) return 0;
    if (name && strcmp(name, "PARTIAL") == 0) return 1;
    if (name && strcmp(name, "FULL") == 0) return 2;
    FatalErrorF("Error(NamedReflectionType): uk reflection type '%s'", name ? name : "");
    return 0;
}
// The sky colour, kept by the time of day; the fog colour of every view.
uint8_t SkyColour[3] = {0, 0, 0};

void DrawSky(SkyCell*) {}
void DrawFlares(SkyCell*) {}
const char* UnitDisplayName(const construct*) { return ""; }
