// The map pages' surfaces and the pointing mode.
#include "hud/MapSurfaces.h"

#include <cstdio>

#include "core/Config.h"
#include "core/Memory.h"
#include "hud/MessageLog.h"
#include "hud/MousePtr.h"
#include "hud/TFView_local.h"
#include "platform/Bitmap.h"
#include "platform/ScreenVertex.h"
#include "world/Level.h"
#include "world/Player.h"

namespace {

// Each page's toggle key (pilot-mode bits) and the text of a page opened twice.
constexpr int kToggleKey[kTFPageCount] = {11, 9, 10};
const char* const kNotReleased[kTFPageCount] = {
    "Error: large map not released", "Error: archive map not released", "Error: status map not released"};

// The record with every key bit and axis cleared but the page's toggle key.
void KeepOnlyKey(ControlInput* in, int bit) {
    const bool down = InputKeyDown(*in, bit);
    ClearInput(in);
    SetInputKey(in, bit, down);
}

// The unit and the outside camera take their look from the current record.
void ResetLooks(PlayerCell* cell) {
    const uintptr_t record = reinterpret_cast<uintptr_t>(&cell->unitNow);
    CallIfAny(PlayerUnit, ItfcMethod::SETLOOK, record);
    CallIfAny(SatCamera, ItfcMethod::SETLOOK, record);
}

void OpenPage(TFView* view, TFPage page) {
    if (view->pageSurface[page]) FatalError(kNotReleased[page]);
    char path[512];
    snprintf(path, sizeof path, "%s%c%s_lmap", BITMAPROOT, kPathSeparator, MissionName);
    // A mission without its page picture shows the page without one.
    host::GfxSurface* surface = CreateSurfaceFromBitmap(path, ScreenWidth, ScreenHeight);
    SetBlackColourKey(surface);
    view->pageSurface[page] = surface;
    view->panels[page] = 1;
    if (page == kArchiveMap) view->archiveIndex = MessageArchiveCount - 1;
    if (PlayerUnit && OwnPlayer) {
        KeepOnlyKey(&OwnPlayer->unitBefore, kToggleKey[page]);
        KeepOnlyKey(&OwnPlayer->unitNow, kToggleKey[page]);
        ResetLooks(OwnPlayer);
    }
}

void ClosePage(TFView* view, TFPage page) {
    if (view->pageSurface[page]) dxgl_ReleaseSurface(view->pageSurface[page]);
    view->pageSurface[page] = nullptr;
    view->panels[page] = 0;
    if (page == kLargeMap) view->pointing = 0;
    if (PlayerUnit && OwnPlayer) {
        SampleUnitInput(OwnPlayer, 0);
        ResetLooks(OwnPlayer);
        if (page != kArchiveMap) HideMousePtr();
    }
}

}  // namespace

void OpenLargeMap(TFView* view) {
    OpenPage(view, kLargeMap);
}
void CloseLargeMap(TFView* view) {
    ClosePage(view, kLargeMap);
}
void OpenArchiveMap(TFView* view) {
    OpenPage(view, kArchiveMap);
}
void CloseArchiveMap(TFView* view) {
    ClosePage(view, kArchiveMap);
}
void OpenStatusMap(TFView* view) {
    OpenPage(view, kStatusMap);
}
void CloseStatusMap(TFView* view) {
    ClosePage(view, kStatusMap);
}

void BeginMapPointing(TFView* view) {
    view->pointing = 1;
    ShowMousePtr();
    SetMousePtrPos(ScreenWidth / 2, ScreenHeight / 2);
}
