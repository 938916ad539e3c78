#include "render/Stamps.h"

#include "render/View.h"

uint16_t ViewStamp = 1;
uint8_t CellStamp = 1;
int32_t CellStampForce = 1;
int32_t CellStampTick = 0;

void AdvanceViewStamp() {
    if (++ViewStamp == 0) {
        ResetVertexStamps();
        ViewStamp = 1;
    }
}

void AdvanceCellStamp(int32_t tick) {
    if (!CellStampForce && tick - CellStampTick <= 200) return;
    CellStampTick = tick;
    if (++CellStamp == 0) {
        ResetCellStamps();
        CellStamp = 1;
    }
    CellStampForce = 0;
}
