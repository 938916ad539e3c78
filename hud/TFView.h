// The task-force view (the player's view record with the tactical map), the communication menu and the
// unit view.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}
struct ConstructPool;
struct construct;
struct PlayerCell;
struct QZIcon;
struct Tex;

// The three map pages, each with its own surface while it is open.
enum TFPage : int32_t { kLargeMap = 0, kArchiveMap = 1, kStatusMap = 2, kTFPageCount = 3 };

// A task button: one member's button in the column at the right edge of the screen. It covers
// left <= x < right and bottom <= y < top.
struct TaskButton {
    uint32_t kind;  // 0 unit button
    int32_t left, top, right, bottom;
    uint8_t colour[4];  // R, G, B, A
    construct* unit;
};

struct TFView {
    int32_t panels[kTFPageCount];  // while any is non-zero: no view drawn, no message log, Escape does nothing
    host::GfxSurface* pageSurface[kTFPageCount];  // the page's picture while it is open
    int32_t archiveIndex;  // the archive entry shown, from the newest down; -1 at creation
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

    int32_t mapPanelSize;    // side of the square map panel: screen width x 0.26
    int32_t tfPanelWidth;    // width of the task-button column: 144
    int32_t panelTimer;      // ticks
    int32_t tfPanelTimer;    // ticks; 200 whenever the task-force panel is switched on
    ConstructPool* members;  // the task force in group order; null until the first selection update
    int32_t groupCount;
    ConstructPool* groups[30];  // group 0 holds the members of no formed group
    Tex* panelTex;           // "specials\panel"
    Tex* mapTex;             // "specials\<mission>", else "specials\scape_test"
    Tex* camPointerTex;      // "specials\campointer"
    int32_t mapZoom;         // half the map panel's window in map units: 2048 .. 16256, 11520 at creation
    int32_t mapParams[2];    // the map panel window's centre in map units (0 .. 32768), set as it is drawn
    host::GfxSurface* crosshair;      // bitmap "ov_xh"
    host::GfxSurface* crosshairComb;  // bitmap "ov_xh_comb"
    uint8_t renderFlag;               // the order marker uses the combined crosshair
    uint32_t markerTick;              // the order marker is drawn in the tick it equals FrameCounter
    QZIcon* iconsA[8];   // "00".."07": heading arrows of members
    QZIcon* iconsB[8];   // "08".."15": heading arrows of other units
    QZIcon* iconsC[10];  // "16".."25": member symbols by slot
    QZIcon* iconsD[6];   // "30".."35": symbols by colour index
    QZIcon* iconsE[8];   // "40".."45", "50", "51": symbols by colour index
};

constexpr int kMaxCommMenuEntries = 24;
constexpr int kCommMenuTextSize = 128;  // entry texts of up to 127 characters

struct CommMenuEntry {
    char text[kCommMenuTextSize];
    char keyText[kCommMenuTextSize];
    uint32_t code;     // a task-force command
    int32_t screenY;   // upper edge of the entry's line as last drawn; 0 at creation
};

struct CommMenu {
    int32_t open;  // 0 while closed
    ConstructPool* recipients;  // "recipients": the units the next order goes to
    construct* focus;           // the unit whose key or button opened the menu
    int32_t entryCount;
    CommMenuEntry entries[kMaxCommMenuEntries];
    int32_t highlighted;  // -1 none
};

// Non-zero when the command may not be given to the menu's recipients now.
int IsTFCommandBlocked(TFView* view, CommMenu* menu, uint32_t code);

// The textures of the instruments and the overlay, loaded and freed with the view.
enum SpecialTexture : int32_t {
    kSpecialTwister,
    kSpecialHorizon,
    kSpecialCompass,
    kSpecialRadio,
    kSpecialReload,
    kSpecialDataScan,
    kSpecialObjectScan,
    kSpecialObjectCapture,
    kSpecialUnitCapture,
    kSpecialEnterData,
    kSpecialFragger00,  // the frag counter's pictures 0 .. 10 follow in order
    kSpecialTextureCount = kSpecialFragger00 + 11,
};
extern Tex* SpecialTextures[kSpecialTextureCount];
// The file name of each under the texture root's folder "specials".
extern const char* const SpecialTextureNames[kSpecialTextureCount];

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
