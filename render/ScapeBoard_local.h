// What the scape board's files share with the terrain drawing.
#pragma once

#include <cstdint>

#include "render/ScapeBoard.h"
#include "world/Construct.h"
#include "world/Terrain.h"


// The vertex at grid (i, j), 0..16, of the cell at (column, row): index 16 reads the right, lower or
// lower-right neighbour's first column, row or vertex.
BoardVertex* CellVertexAt(const ScapeBoard* b, int column, int row, int i, int j);

// Widens a cell's whole bounds by the anchor heights of the statics standing on its quarters.
void WidenCellBoundsByStatics(ScapeBoard* b, int column, int row, CellBounds* whole);

inline int32_t ConstructPosX(const construct* c) { return c->pos[0]; }
inline int32_t ConstructPosZ(const construct* c) { return c->pos[2]; }

// Schedules the statics standing on a quarter (its first construct list) for drawing.
void ScheduleQuarterStatics(CellQuarter* q, int32_t reflect, int32_t terrainDrawn);
