#include "host/Window.h"

#include <SDL.h>

#include <vector>

#include "host/Clock.h"
#include "host/Dialog.h"

namespace host {
namespace {
bool g_headless = false;
int g_frameLimit = 0;
int g_frames = 0;
bool g_quit = false;
SDL_Window* g_window = nullptr;
bool g_videoInit = false;
bool g_cursorShown = true;
std::vector<EventListener> g_listeners;

bool InitVideo() {
    if (g_videoInit) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    g_videoInit = true;
    return true;
}
}  // namespace

void SetHeadless(bool headless) {
    g_headless = headless;
    SetDialogsHeadless(headless, true);
    if (headless)
        UseVirtualClock(2.0);  // 50 frames per second of game time
    else
        UseRealClock();
}

bool IsHeadless() { return g_headless; }

void ShowSystemCursor(bool show) {
    g_cursorShown = show;
    if (g_window) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool SystemCursorShown() { return g_cursorShown; }
void SetFrameLimit(int frames) { g_frameLimit = frames; }
int FramesPumped() { return g_frames; }

bool DesktopSize(int* width, int* height) {
    if (g_headless || !InitVideo()) return false;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    if (width) *width = mode.w;
    if (height) *height = mode.h;
    return true;
}

bool CreateMainWindow(const char* title, int x, int y, int width, int height, bool fullscreen) {
    if (g_headless) return true;
    if (!InitVideo()) return false;
    Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
    if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    g_window = SDL_CreateWindow(title, x, y, width > 0 ? width : 1, height > 0 ? height : 1, flags);
    if (g_window) SetDialogsHeadless(false, true);
    if (g_window && !g_cursorShown) SDL_ShowCursor(SDL_DISABLE);
    return g_window != nullptr;
}

void DestroyMainWindow() {
    if (g_window) SDL_DestroyWindow(g_window);
    g_window = nullptr;
}

void PlaceMainWindow(int x, int y, int width, int height) {
    if (!g_window) return;
    SDL_SetWindowSize(g_window, width > 0 ? width : 1, height > 0 ? height : 1);
    SDL_SetWindowPosition(g_window, x, y);
}

bool HasWindow() { return g_window != nullptr; }
void* NativeWindow() { return g_window; }

void PumpEvents() {
    ++g_frames;
    AdvanceVirtualClock();
    if (g_headless) {
        if (g_frameLimit > 0 && g_frames >= g_frameLimit) g_quit = true;
        return;
    }
    if (!g_videoInit) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) g_quit = true;
        for (EventListener l : g_listeners) l(&e);
    }
}

bool QuitRequested() { return g_quit; }
void RequestQuit() { g_quit = true; }
void AddEventListener(EventListener listener) { g_listeners.push_back(listener); }

}  // namespace host
