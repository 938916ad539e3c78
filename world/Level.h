// Level building, the frame loop, teardown and the saved-game commands.
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

// Builds the level of MissionName behind the loading screen; a nonzero argument gives the player the
// other side than the mission's "ourclan".
void InitLevel(int swapSides);
// Runs the level frame by frame; returns its end code (0, 1, 3 or 4).
int RunGame();
// Tears the level down: rules and configuration read again, a fresh OwnPlayer, no mission.
void TeardownLevel();
// Around the reading of a saved game into the running level. BeforeRestoreGame answers the AI bridge's
// restart (1 with the high-level AI, 0 without); AfterRestoreGame clears the mission's end state (the
// won and lost flags and their countdowns) and enters the unit's view when a unit is given.
int BeforeRestoreGame();
void AfterRestoreGame(construct* unit);
// Saved-game commands: 6 load (switching missions when needed), 7 save, 8 forced load (no version
// questions; between levels the game's own mission is built for it), 9 load only into the running
// mission. A null name keeps the previous one. GameFileDone tells whether the command saved or loaded;
// a load refused after its mission was built from between levels tears that level down again.
void GameFileCommand(const char* name, int command);
// The saved-game file's writer and reader that the commands use (tests replace them; null restores the
// saved-game module's own).
using GameFileSaver = int (*)(const char* name);
using GameFileLoader = int (*)(const char* name, int force, char* otherMission);
void SetGameFileHandlers(GameFileSaver save, GameFileLoader load);
// The player's side gets its default task force ("tf_default_%d") at "friendposition1".
void RedefineTF();
// Copies the 64-character mission name stored in a saved game into name (empty when the file cannot be
// opened, is not a saved game or has another version).
void ReadQZGMHeader(const char* path, char* name);

// Draws the loading screen for one step of building or teardown: the background, the progress of step
// index out of count and the caption (printf style). A null caption only retires the current caption.
void ShowBuzyScreen(int first, int background, int index, int count, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
// Receives every caption shown, with its loading screen drawn but not yet presented (tests and the debug
// print); null for none.
using BuzyCaptionSink = void (*)(const char* caption);
void SetBuzyCaptionSink(BuzyCaptionSink sink);

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

// Saved-game state.
extern char GameFileName[256];
extern int32_t SavedNoticeTicks;
extern int32_t LoadedNoticeTicks;
extern char GameFileQuestion[128];  // a load's version question ("none" when it asked none)
extern int GameFileDone;            // 1 when the last command saved or loaded, 0 when it did not
extern char GameFileRefusal[128];   // why the last command's load was refused ("" when it was not)
extern char TFDefaultNames[10][32];
extern int32_t TFDefaultCount;

// The restart point saved right after a level is built.
constexpr const char* kMissionStartName = "__mission_start";

// Frame timing: the scaled time of the previous frame, the carried tick fraction and the frame rate.
struct TickClock {
    double previous;  // centiseconds x game_speed
    double carry;     // the fraction of a tick carried to the next frame
    double frames;
    double timeSum;
    double rate;  // frames per centisecond
};
// A frame never counts more ticks than this: one second of game time, more when the game runs faster.
int MaxFrameTicks(double speed);
void StartTickClock(TickClock* clock, double nowCentiseconds, double speed);
// The ticks of a frame ending at nowCentiseconds; with *resync set the frame gets none (the fraction is
// kept) and the flag is cleared.
int FrameTicks(TickClock* clock, double nowCentiseconds, double speed, int* resync);
