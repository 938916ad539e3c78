// The player view's inside flag, and the unit crosshairs, which the in-game interface does not draw yet.
#include "hud/UnitMarks.h"

#include "hud/TFView.h"

void SetUnitViewFlag(TFView* view, int inside) {
    if (view) view->insideView = inside ? 1 : 0;
}

void DrawUnitCrosshair(UnitShare* rec, int32_t x, int32_t y, int32_t brightness) {
    (void)rec, (void)x, (void)y, (void)brightness;
}

void DrawUnitCrosshairAt(UnitShare* rec, const int32_t point[3], int32_t brightness) {
    (void)rec, (void)point, (void)brightness;
}

void GetWeaponName(construct* unit) { (void)unit; }
