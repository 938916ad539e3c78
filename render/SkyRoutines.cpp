// Sky routines; filled in with the sky drawing.
#include "render/SkyRoutines.h"

void DrawSkyQuadOutline(SkyVertex* const*) {}
void DrawSkyQuadFlat(SkyVertex* const*) {}
void DrawSkyQuadShaded(SkyVertex* const*) {}
void DrawSkyTextureQuad(SkyLayer*, SkyCorner* const*, const float*) {}
