// The marks over the 3D view while the player drives a unit: the arrow at the bottom centre that points
// toward the current navigation point, and the mark of the unit's lock target, a spinning bracket marker
// with the target's name, distance and strength bars on screen, or an arrow at the screen edge with the
// same label when the target lies off screen.
#pragma once

#include <cstdint>

struct UnitShare;
struct construct;

// The marker's spin in degrees (+3 per drawn marker frame, below 360), its zoom (30 when analysing
// starts, down by 1 per drawn marker frame to 1) and the analysing flag as last seen.
extern int32_t TargetSpin;
extern int32_t TargetZoom;
extern int32_t TargetAnalysing;

// The navigation arrow; nothing without a current navigation point.
void DrawNavArrow(construct* unit);
// The lock target's mark: the label on screen, else the edge arrow, which also resets the unit's lock
// (countdown 150, not locked) and stops the lock warning sound. Nothing without a lock target.
void DrawTargetMarks(construct* unit);
// The on-screen marker and label of the record's lock target.
void DrawTargetLabel(UnitShare* rec);
// The edge arrow and label of the record's lock target, seen from the unit's view.
void DrawOffscreenTarget(UnitShare* rec, construct* unit);
