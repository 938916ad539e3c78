// The running level's state that every floor reads: the flags of the level's build, run and teardown, the
// level's objects and rules, and the saved-game notices. The game (game/Level.h) builds, runs and tears
// down the level and sets them.
#pragma once

#include <cstdint>

struct CommMenu;
struct Tex;
struct construct;
namespace host {
struct GfxSurface;
}
struct Geom;
struct TFView;

// The mission being played or chosen (the menus set it; the level is built from it).
extern char MissionName[64];
// 0 after the window had to be repainted; the frame loop restores the display.
extern int DisplayOK;

// State of the level and its loops.
extern int BuildingLevel;        // 1 while InitLevel runs
extern int TearingDown;          // 1 while TeardownLevel runs
extern int RestoringGame;        // 1 between BeforeRestoreGame and AfterRestoreGame
extern int ResyncTicks;          // the next frame gets no ticks
extern int InGame;               // 1 while the frame loop runs (the menus are then the in-game menu)
extern int InGameMenuOpen;
extern int DebugOverlay;
extern int EscapeWasDown;
extern int RecordReplayExport;
extern int RecordReplayTicksPerFrame;
extern int WinFlag;              // set when the mission has been won
extern int LoseFlag;             // set when the mission has been lost (screen 12 is up)
// The same two flags under the names the mission logic uses.
inline int& MissionWon = WinFlag;
inline int& MissionLost = LoseFlag;
// The level rule "ShowDayEvents": each day event is shown in the message log as it is carried out.
extern int32_t& LevelShowDayEvents;
// The level rule "CockpitOnly": the player may not leave his unit for the tactical map.
extern int32_t& LevelCockpitOnly;
extern int MultiplayerOn;        // non-zero while a networked game runs
extern int IsHost;               // non-zero while this machine hosts it
extern int32_t NearPlaneDistance;  // the debug overlay's near-plane distance (500)
extern float FieldOfView;          // degrees

// The level's objects (null between levels).
extern TFView* PlayerTFView;
extern CommMenu* PlayerCommMenu;
extern construct* SatCamera;
extern construct* StatCamera;
extern construct* WatchCamera;
extern construct* WayPointer;
extern Geom* DummyGeom;
// The noise film's texture "specials\noise" and the crosshair bitmaps "ov_xh", "ov_xh_air" and
// "ov_xh_air2" (null when missing), loaded with the level.
extern Tex* NoiseTex;
extern host::GfxSurface* CrosshairBitmaps[3];

// The running level's wind and dust rules as the effects and drives read them: "wind_vector" in whole
// world units, "DustEmission" (0 or 1), "DustScale" (100 by default), "DustColour" (white by default).
void LevelWind(int32_t out[3]);
int LevelDustEmission();
int32_t LevelDustScale();
const uint8_t* LevelDustColour();

// The saved-game commands (6 load, 7 save, 8 forced load, 9 load only into the running mission) as the
// menus and the in-game keys give them; the game binds it to its GameFileCommand (game/LayerHooks.cpp).
extern void (*GameFileCommandHook)(const char* name, int command);

// Saved-game state.
extern char GameFileName[256];
extern int32_t SavedNoticeTicks;
extern int32_t LoadedNoticeTicks;
extern char GameFileQuestion[128];
extern char TFDefaultNames[10][32];
extern int32_t TFDefaultCount;
