// Terrain cell routines: each draws one terrain quad a-b-c-d (d may be null) as the triangles (a, b, c)
// and (a, c, d), reached through the cell slots of the render routine tables.
#pragma once

#include "render/RenderTables.h"

void DrawCellNothing(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawCellOutline(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawCellOutlineMirrored(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c,
                             TerrainCornerRef* d);
void DrawLandCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawMarkedLandCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawMarkedCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawLandCellMirrored(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawWaterCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
void DrawDarkWaterCell(TerrainCornerRef* a, TerrainCornerRef* b, TerrainCornerRef* c, TerrainCornerRef* d);
