// Terrain cell routines. The do-nothing routine fills the slots of detail levels that draw no land; the
// drawing routines are filled in with the terrain cell drawing.
#include "render/CellRoutines.h"

void DrawCellNothing(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawCellOutline(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawCellOutlineMirrored(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawLandCell(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawMarkedLandCell(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawMarkedCell(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawLandCellMirrored(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawWaterCell(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
void DrawDarkWaterCell(TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*, TerrainCornerRef*) {}
