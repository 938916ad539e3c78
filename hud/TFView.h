// The task-force view: the level-long record behind the player's command of the own side's units (the
// tactical map's state and pages, the task-force groups, the task buttons at the right screen edge), the
// comm menu through which orders go to the chosen units (the recipients) with its table of task-force
// commands, the textures and icons the cockpit overlay and the panels draw, and the unit view: the player
// taking a unit's cockpit and giving it back for the tactical map.
//
// Screen coordinates in these records have their origin at the lower left corner, y growing upward.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

namespace host {
struct GfxSurface;
}
struct ConstructPool;
struct PlayerCell;
struct QZIcon;
struct Tex;
struct ViewPort;
struct construct;

constexpr int kMaxTFGroups = 30;
constexpr int kMaxTaskButtons = 40;
constexpr int kMaxCommMenuEntries = 24;
constexpr int kCommMenuTextSize = 128;  // entry texts of up to 127 characters
constexpr int kTFButtonPictures = 64;   // distinct unit names whose task-button picture the view keeps

// The three map pages, each with its own surface while it is open.
enum TFPage : int32_t { kLargeMap = 0, kArchiveMap = 1, kStatusMap = 2, kTFPageCount = 3 };

// Construct flags of the task force.
constexpr uint32_t kConHighlighted = 0x100000;  // in the pool "highlighted" of the tactical map
constexpr uint32_t kConSelected = 0x1000000;    // chosen as a recipient
constexpr uint32_t kConCentreTorso = 0x4000;    // the unit asks for a centred torso when entered

// A task button: one member's button in the column at the right edge of the screen. It covers
// left <= x < right and bottom <= y < top.
struct TaskButton {
    uint32_t kind;  // 0 unit button
    int32_t left, top, right, bottom;
    uint8_t colour[4];  // R, G, B, A
    construct* unit;
};

// A task-button picture the view loaded, kept for every member of that unit name.
struct TFButtonPicture {
    char name[64];
    host::GfxSurface* surface;  // null when the unit has no picture
};

struct TFView {
    // The three map pages' open flags (TFPage order). While any is non-zero no view is drawn, the message
    // log is not drawn, Escape does not toggle the in-game menu and the unit hears only the page keys.
    int32_t panels[kTFPageCount];
    host::GfxSurface* pageSurface[kTFPageCount];  // the page's picture while it is open
    int32_t pointing;      // 1 while the player picks an order's destination on the large map
    int32_t archiveIndex;  // the archive entry shown, from the newest down; -1 at creation
    int32_t archiveLatch;  // the archive's page keys repeat only after a release
    uint8_t marksHidden;
    uint8_t insideView;   // 1 while the player view looks from inside the unit (SetUnitViewFlag)
    int32_t tacticalMap;  // the map frame ran in this world-tick call
    ConstructPool* tacticalPool;
    int32_t aimLine;
    float nearestDistance;
    construct* current;  // the tactical map's current construct, or null

    int32_t mapPanelSize;    // side of the square map panel: screen width x 0.26
    int32_t tfPanelWidth;    // width of the task-button column: 144
    int32_t panelTimer;      // ticks
    int32_t tfPanelTimer;    // ticks; 200 whenever the task-force panel is switched on
    int32_t nextSlot;        // the slot number the next new member gets (at most 254)
    uint8_t leaveLatch;      // the player was just put into a unit: the same key press does not leave it
    uint8_t orderKind;       // 1 move orders go as message 350, 0 as 351 (sneak)
    uint8_t selectionLatch;  // armed by a unit-key press, consumed by its release

    ConstructPool* members;  // the task force in group order; null until the first selection update
    int32_t groupCount;
    ConstructPool* groups[kMaxTFGroups];  // group 0 holds the members of no formed group
    int32_t buttonCount;
    TaskButton* buttons[kMaxTaskButtons];
    int32_t pictureCount;
    TFButtonPicture pictures[kTFButtonPictures];

    Tex* panelTex;       // "specials\panel"
    Tex* mapTex;         // "specials\<mission>", else "specials\scape_test"
    Tex* camPointerTex;  // "specials\campointer"
    int32_t mapZoom;     // half the map panel's window in map units: 2048 .. 16256, 11520 at creation
    int32_t mapParams[2];  // the map panel window's centre in map units (0 .. 32768), set as it is drawn

    construct* closedWatchTarget;  // the watch window's target the player last closed by hand
    int32_t restoreViewKind;       // extra window kind to reopen after a watch window, -1 none

    // The player's look and aim. The turret of the player's unit writes them each tick; entering a unit
    // sets the look from the unit's orientation.
    int32_t lookYaw;        // the torso yaw offset, 16.16 radians; 0 is ahead of the unit
    int32_t lookPitch;      // 16.16 radians; 102943 (a quarter turn) is level
    int32_t lookMatrix[9];  // 1.15, from the look yaw and pitch; its third row is the look forward axis
    int32_t aimDir[3];      // 1.15, the stored aim direction
    int32_t aimPoint[3];    // world position the look meets
    uint8_t aimOnTarget;    // the turret's on-target flag
    uint8_t cameraHit;      // the camera's own line met a construct
    uint32_t aimTick;       // FrameCounter of the last aim update

    host::GfxSurface* crosshair;      // bitmap "ov_xh"
    host::GfxSurface* crosshairComb;  // bitmap "ov_xh_comb"
    uint8_t renderFlag;               // the order marker uses the combined crosshair
    uint32_t markerTick;              // the order marker is drawn in the tick it equals FrameCounter

    QZIcon* iconsA[8];   // "00".."07": heading arrows of members
    QZIcon* iconsB[8];   // "08".."15": heading arrows of other units
    QZIcon* iconsC[10];  // "16".."25": member symbols by slot
    QZIcon* iconsD[6];   // "30".."35": symbols by colour index
    QZIcon* iconsE[8];   // "40".."45", "50", "51": symbols by colour index
    QZIcon* iconsF[2];   // "50", "51"
};

// The task-force commands that the comm menu's entries carry.
enum TFCommand : uint32_t {
    kTFTakeControl = 0,
    kTFWatch = 1,
    kTFMove = 2,
    kTFSneak = 3,
    kTFFollow = 4,
    kTFAttack = 5,
    kTFHold = 6,
    kTFHide = 7,
};

struct CommMenuEntry {
    char text[kCommMenuTextSize];
    char keyText[kCommMenuTextSize];
    uint32_t code;    // a TFCommand
    int32_t screenY;  // upper edge of the entry's line as last drawn; 0 at creation
};

struct CommMenu {
    int32_t open;               // 1 while the menu is shown
    ConstructPool* recipients;  // "recipients": the units the next order goes to
    construct* focus;           // the unit whose key or button opened the menu
    int32_t entryCount;
    CommMenuEntry entries[kMaxCommMenuEntries];
    int32_t highlighted;  // -1 none
    int32_t timeout;      // ticks before the menu closes by itself
    int32_t pressLatch;   // a new press of an entry key, consumed by its release
};

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

// The construct through which the main viewport currently looks: the player's unit, the SatCamera or
// the StatCamera.
extern construct* MainViewSource;
// The unit the player drives, or null on the tactical map (defined with the clans' status).
extern construct* PlayerUnit;

// The level's view, with its textures, bitmaps and icons; a missing icon is fatal.
TFView* CreateTFView();
// Frees the view with its groups, textures and bitmaps; the task buttons go first (the level's teardown).
void DeleteTFView(TFView* view);
// A new empty group ("tf group"), or null when 30 exist.
ConstructPool* CreateTFGroup(TFView* view);
// Takes the group out of the table (the last takes its place) and deletes the pool in any case.
void DeleteTFGroup(TFView* view, ConstructPool* group);
// A new button appended to the table; the caller fills it. Fatal at 40.
TaskButton* CreateTaskButton(TFView* view);
// Takes the button out of the table (the last takes its place) and frees it in any case.
void DeleteTaskButton(TFView* view, TaskButton* button);

// The level's comm menu with the eight entries of the rules "Comm_entry1" .. "Comm_entry8".
CommMenu* CreateCommMenu();
// Appends an entry (texts cut to 127 characters); fatal at 24 entries.
void CreateCommMenuEntry(CommMenu* menu, const char* text, const char* keyText, uint32_t code);
void DeleteCommMenu(CommMenu* menu);
void OpenCommMenu(CommMenu* menu);
// Closes the menu: no recipients, no focus unit, no member selected.
void CloseCommMenu(TFView* view, CommMenu* menu);
// Carries out the command of an entry, or only closes the menu when the command is blocked now.
void ExecuteTFCommand(TFView* view, CommMenu* menu, int entry);
// Non-zero when the command may not be given to the menu's recipients now.
int IsTFCommandBlocked(TFView* view, CommMenu* menu, uint32_t code);
// True when a recipient is in the formed group (not group 0) of the player's unit.
bool RecipientsShareGroupWithPlayer(TFView* view, CommMenu* menu);
// Posts the order of a comm code to the player clan's AI for the recipients: 4 follow (356), 6 hold
// (353), 7 hide (354); 10 shows "NOT IMPLEMENTED"; any other code is fatal. Nothing without recipients.
void SendSimpleCommOrder(ConstructPool* recipients, int code);
// Posts the move (350, kind set) or sneak (351) order to the point for the recipients.
void SendOrderToGroup(ConstructPool* recipients, const int32_t point[3], int kind);

// One world-tick call of the tactical map, while the player drives no unit.
void TacticalMapFrame(TFView* view, PlayerCell* player, int ticks);
// The keys of the player's 3D view for one world-tick call.
void PlayerViewInput(TFView* view, PlayerCell* player, int ticks);
// Opens an extra view window on the construct (view method VIEWINSIDE or VIEWOUTSIDE, the window's
// kind, the viewport whose boards it shares); the window, or null.
ViewPort* OpenWatchView(construct* con, ItfcMethod method, int kind, ViewPort* share);

// The player takes the unit: its cockpit, the cameras following it, his input; with announce the unit's
// clan hears of it (150, or 152 naming the unit left). The fire keys held now fire only after a release.
void EnterUnitView(TFView* view, construct* unit, int announce);
// The player leaves his unit (or, without one, the first member) for the tactical map; the unit's clan
// hears of it (151).
void LeaveUnitView(TFView* view);
// Once per world-tick call: the player clan's unit nearest a reload point, when near enough, gets its
// shield, structure and energy raised by 10 every 100 ticks up to their maxima.
void UpdateStandStillTimer(int ticks);

#include "hud/TFSelection.h"
