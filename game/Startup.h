// Application start-up and shutdown, the menu and level alternation, and the window's message handling.
#pragma once

#include "game/Level.h"

// Process-wide state of the start-up.
extern int StartingUp;  // 1 until the start-up sequence is complete

// The program: start-up, the menu and level loop, shutdown. Returns 1 after shutdown.
int GameMain();
// Installs the hooks through which the lower layers reach the program (closing the devices on the fatal
// path, the sound settings of the configuration). GameMain calls it first.
void InstallLayerHooks();
// Set by the command line before GameMain: the allocation tracker records from the start, and the
// tracked blocks still live at exit are reported on stderr and counted here.
extern int MemCheckFromStart;
extern int TrackedBlocksAtExit;

// Opens every device and sets the initial render state; returns the graphics device's result.
int OpenDisplay();
// Closes every device (also on the fatal path and before the campaign-end movies).
void CloseDevices();

// The game data that lives from start-up to shutdown.
void InitGameData();
void FreeGameData();

// Shows the numbered bitmaps prefix1, prefix2, ... of the bitmap folder until one is missing; space or a
// mouse button advances one slide per press. Nonzero when ended by Escape (or by closing the window).
int SlideShow(const char* prefix);

namespace host {
struct GfxSurface;
}
// Mode 0: clears the screen and shows the bitmap BITMAPROOT\name.bmp at the screen's size, loading it
// into the slot when the slot is empty (fatal when it cannot be had). Mode -1: releases the slot's
// surface and empties the slot. The fourth argument is not read.
void BannerScreen(host::GfxSurface** slot, const char* name, int mode, int unused);

// The window's message pump: window events, the headless frame count and the quit request.
void PumpMessages();
// Opens, looping, the music piece named by the rule's first text (a file of the sound folder) when the
// rule exists and background music is on.
void StartRuleMusic(const char* ruleName);
// A key pressed in the window (Windows key code): Return, Escape and Space stop a playing movie.
void WindowKeyDown(int virtualKey);

// The menu and level alternation; returns when the menus ask to quit.
void MenuAndLevelLoop();

// State of the outer loop.
extern int LastEndCode;   // end code of the previous level, -1 before the first
extern int LevelsPlayed;  // levels started since start-up

// Chooses the next menu screen from a level's end code and the mission's name; sets the closing-movie
// flags (1: first campaign, 2: second campaign) instead when a campaign was won.
int NextScreenForEndCode(int endCode, const char* missionName, int currentScreen, int* closingMovie);
