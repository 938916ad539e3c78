// Filling board cells from the terrain matrix.
#include "render/ScapeBoard.h"
#include "render/ScapeBoard_local.h"
#include "render/View_local.h"

int32_t TopTileFieldPresent = 0;

void FillBoardCell(ScapeBoard*, TileCell*, int32_t, int32_t, matrix*) {}

void WidenCellBoundsByStatics(ScapeBoard*, int, int, CellBounds*) {}

void RefreshBoardTiles(int32_t, int32_t, int32_t, int32_t) {}

void UpdateAllScapeBoards() {}

void ScheduleQuarterStatics(CellQuarter*, int32_t, int32_t) {}

matrix* BoardMatrix() { return nullptr; }
