// Sky routines: one quad of the sky dome (outline, flat or shaded) and one textured sky-layer quad.
#pragma once

#include "render/RenderTables.h"

void DrawSkyQuadOutline(SkyVertex* const* corners);
void DrawSkyQuadFlat(SkyVertex* const* corners);
void DrawSkyQuadShaded(SkyVertex* const* corners);
void DrawSkyTextureQuad(SkyLayer* layer, SkyCorner* const* corners, const float* uv);
