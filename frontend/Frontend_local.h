// What the menu frame's files share.
#pragma once

#include <cstdint>

// What the hit tests of one frame found (-1: nothing).
struct MenuHits {
    int button = -1, checkbox = -1, list = -1, textbox = -1, slider = -1, frame = -1, image = -1, msgbox = -1;
};

// The pointer and the new-press state the hit tests of this frame use (tests set them directly).
void SetMenuPointer(int32_t x, int32_t y, bool press);
// The press bookkeeping of a frame: whether the left button went down now (it was up at the end of the
// frame before), with the double-click pairing and its time-out; a press commits the focused textbox.
bool TrackPress(int32_t x, int32_t y, bool buttonDown, double now);
// The end of a frame's mouse handling: remembers whether the button is up; a released button ends a drag.
void LatchMouse(bool buttonDown);
// The current screen's actions for this frame's hits; the frame's result.
int RunScreenActions(const MenuHits& hits);
