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
    uint8_t insideView;  // 1 while the player view looks from inside the unit (SetUnitViewFlag)
    int32_t tacticalMap;
    ConstructPool* tacticalPool;
    int32_t aimLine;
    float nearestDistance;
    construct* current;  // the tactical map's current construct, or null
    int32_t buttonCount;
    TaskButton** buttons;
    // The player's look and aim, written by the turret of the player's unit each tick, read by the HUD.
    int32_t lookYaw, lookPitch;  // 16.16 radians; look yaw 0 is ahead of the unit, look pitch 102943 level
    int32_t lookMatrix[9];       // 1.15; its third row is the look forward axis
    int32_t aimDir[3];           // 1.15
    int32_t aimPoint[3];         // world position the look meets
    uint8_t aimOnTarget;         // the turret's on-target flag
    uint8_t cameraHit;           // the camera's own line met a construct
    uint32_t aimTick;            // FrameCounter of the last aim update
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
