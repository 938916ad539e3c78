// The game window (SDL2) and the event pump. Headless runs have no window: events come from nothing and
// the run ends after a fixed number of frames.
#pragma once

namespace host {

// Headless mode: no window, no dialogs, the virtual clock. Set once at start-up, before anything opens.
void SetHeadless(bool headless);
bool IsHeadless();

// Headless runs stop after this many frames (0: no limit).
void SetFrameLimit(int frames);
int FramesPumped();

// The desktop's pixel size. False when it cannot be had (headless, or no display).
bool DesktopSize(int* width, int* height);

// Creates the borderless main window. Full screen: a desktop-sized window that scales the back buffer;
// windowed: width x height at (x, y). Headless: nothing is created and true is returned.
bool CreateMainWindow(const char* title, int x, int y, int width, int height, bool fullscreen);
void DestroyMainWindow();
// Moves a windowed main window to (x, y) and gives it the size width x height; nothing without a window.
void PlaceMainWindow(int x, int y, int width, int height);
bool HasWindow();
void* NativeWindow();  // the SDL_Window, for the other host modules

// The system's mouse cursor over the window (shown at start); the game draws its own pointer and hides it
// while a level runs. Headless runs keep the state only.
void ShowSystemCursor(bool show);
bool SystemCursorShown();

// Handles pending window events; one call per frame. Counts frames, advances the virtual clock, and
// raises the quit request when the window is closed or the headless frame limit is reached.
void PumpEvents();
bool QuitRequested();
void RequestQuit();

// Listeners for raw SDL events (input and media use this); the argument is an SDL_Event*.
using EventListener = void (*)(const void* sdlEvent);
void AddEventListener(EventListener listener);

}  // namespace host
