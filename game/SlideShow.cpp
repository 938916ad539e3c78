// The slide show at start-up and shutdown, and the full-screen banner it shows each slide with.
#include <cstdio>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "host/InputScript.h"
#include "host/Window.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/InputDevices.h"
#include "platform/Music.h"
#include "platform/Sound.h"
#include "game/Startup.h"

namespace {

constexpr int kKeyEscape = 1;
constexpr int kKeySpace = 57;
constexpr int kMouseButton0 = 256;
constexpr int kMouseButton1 = 257;

bool AdvanceKeyDown() {
    return KeyStates[kKeySpace] || KeyStates[kMouseButton0] || KeyStates[kMouseButton1] || KeyStates[kKeyEscape];
}

// Waits until the advance keys are down (down true) or all up (down false). False when the wait was cut
// short because the program is asked to quit (the window closed, a headless run reached its last frame)
// or, in a headless run, no input can arrive any more, so a show never waits forever.
bool WaitForAdvanceKeys(bool down) {
    for (;;) {
        PumpMessages();
        if (host::QuitRequested()) return false;
        // The music streams and the background music keep going; the mouse pointer follows here once it
        // exists.
        dxgl_UpdateStreams();
        HandleBgdMusic();
        dxgl_UpdateKeyboardState();
        dxgl_UpdateMouseState();
        if (AdvanceKeyDown() == down) return true;
        if (!host::MoreInputCanArrive()) return false;
    }
}

}  // namespace

void BannerScreen(host::GfxSurface** slot, const char* name, int mode, int unused) {
    (void)unused;
    if (mode == -1) {
        dxgl_ReleaseSurface(*slot);
        *slot = nullptr;
        return;
    }
    dxgl_ClearRenderTarget(0xff000000u, 0);
    if (!*slot) {
        char path[kRootSize + 160];
        snprintf(path, sizeof path, "%s%c%s.bmp", BITMAPROOT, '\\', name);
        // Loaded at the screen's size, so a slide fills the screen whatever the resolution.
        *slot = CreateSurfaceFromBitmap(path, SurfaceWidth, SurfaceHeight);
        SetBlackColourKey(*slot);
    }
    if (!*slot || dxgl_BltKeyed(0, SurfaceHeight, *slot, nullptr) != 0)
        FatalError("Error(BannerScreen): can't blit banner surface");
    // The full-screen quad of colour (0, 0, 0, mode) over it is drawn here once the immediate drawing
    // routines exist; for mode 0 it is fully transparent.
}

int SlideShow(const char* prefix) {
    for (int n = 1;; ++n) {
        char path[kRootSize + 160], name[128];
        snprintf(path, sizeof path, "%s%c%s%d.bmp", BITMAPROOT, '\\', prefix, n);
        if (!qzpk_exists(path)) return 0;
        snprintf(name, sizeof name, "%s%d", prefix, n);
        host::GfxSurface* slide = nullptr;
        BannerScreen(&slide, name, 0, 0);
        dxgl_SwapBuffers();
        if (!WaitForAdvanceKeys(true) || KeyStates[kKeyEscape]) {
            BannerScreen(&slide, name, -1, 0);
            return 1;
        }
        // One press advances one slide: wait for the release first.
        bool released = WaitForAdvanceKeys(false);
        BannerScreen(&slide, name, -1, 0);
        if (!released) return 1;
    }
}
