// Level building, the frame loop, teardown and the saved-game commands.
#pragma once

#include <cstdint>

#include "world/Level.h"

struct construct;

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
// Saved-game commands: 6 load (switching missions when needed), 7 save, 8 forced load, 9 load only
// into the running mission. A null name keeps the previous one.
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
