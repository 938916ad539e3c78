// Special routines; filled in with the special drawing.
#include "render/SpecialRoutines.h"

void DrawFilledDisc(const float*, int32_t, const uint8_t*) {}
void DrawFlareQuad(int32_t, int32_t, int32_t, int32_t, const uint8_t*, host::GfxSurface*) {}
void DrawStarPoint(const float*, int32_t) {}
void DrawFilledRect(const uint8_t*, int32_t, int32_t, int32_t, int32_t) {}
void DrawUnitBrackets(Construct*, int16_t, int16_t, int32_t) {}
void DrawThreatMarker(Tex*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void DrawRadarMarker(Tex*, const uint8_t*, const int16_t*) {}
void BlitClipped(Bitmap*, int32_t, int32_t) {}
