// What the vehicle types call of the in-game interface: the player view's inside-the-unit flag and the
// unit's crosshair at a screen point or a world point.
#pragma once

#include <cstdint>

struct TFView;
struct UnitShare;
struct construct;

// Stores whether the player view looks from inside the unit.
void SetUnitViewFlag(TFView* view, int inside);
// Draws the unit's crosshair centred on a screen point / at a world point.
void DrawUnitCrosshair(UnitShare* rec, int32_t x, int32_t y, int32_t brightness);
void DrawUnitCrosshairAt(UnitShare* rec, const int32_t point[3], int32_t brightness);
// Copies the names of the unit's two weapon groups into the instruments' name buffers (not drawn yet:
// does nothing).
void GetWeaponName(construct* unit);
