// The renderer's frame stamps. ViewStamp is advanced once per drawn view; points, constructs and vertices
// keep the stamp of their last transform so that each is transformed once per view. New records take
// the stamp minus 1 so that their first view transforms them. CellStamp is the lighting generation of
// the terrain vertices: a vertex whose cell stamp differs is lit again.
#pragma once

#include <cstdint>

extern uint16_t ViewStamp;      // starts at 1; never 0
extern uint8_t CellStamp;       // starts at 1; never 0
extern int32_t CellStampForce;  // set by whoever changes the lighting; the next frame advances CellStamp
extern int32_t CellStampTick;   // world tick of the last CellStamp advance

// Advances ViewStamp; on wrap every stored copy is cleared (ResetVertexStamps) and the stamp restarts at 1.
void AdvanceViewStamp();
// Advances CellStamp when forced or when more than 200 ticks passed since the last advance; on wrap the
// stored copies are cleared (ResetCellStamps) and the stamp restarts at 1.
void AdvanceCellStamp(int32_t tick);
