// The task-force view (the player's view record with the tactical map), the communication menu and the
// unit view.
#pragma once

#include <cstdint>

struct ConstructPool;
struct construct;
struct PlayerCell;
struct TaskButton;

struct TFView {
    int32_t panels[3];  // while any is non-zero: no view drawn, no message log, Escape does nothing
    uint8_t marksHidden;
    int32_t tacticalMap;
    ConstructPool* tacticalPool;
    int32_t aimLine;
    float nearestDistance;
    construct* current;  // the tactical map's current construct, or null
    int32_t buttonCount;
    TaskButton** buttons;
};

struct CommMenu {
    int32_t open;  // 0 while closed
};

// The unit the player drives, or null on the tactical map (defined with the clans' status).
extern construct* PlayerUnit;

TFView* CreateTFView();
void DeleteTFView(TFView* view);
void DeleteTaskButton(TFView* view, TaskButton* button);
CommMenu* CreateCommMenu();
void DeleteCommMenu(CommMenu* menu);
// One world-tick call of the tactical map, while the player drives no unit.
void TacticalMapFrame(TFView* view, PlayerCell* player, int ticks);
// The keys of the player's 3D view for one world-tick call.
void PlayerViewInput(TFView* view, PlayerCell* player, int ticks);
// Rebuilds the current group's selection and its task buttons (hud/TFSelection.h).
#include "hud/TFSelection.h"
// Returns from a unit's view to the tactical map; takes manual control of a unit.
void LeaveUnitView(TFView* view);
void EnterUnitView(TFView* view, construct* unit, int flag);
// Keeps the stand-still timer of the tracked unit.
void UpdateStandStillTimer(int ticks);
