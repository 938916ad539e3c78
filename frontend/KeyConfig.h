// The key configuration screen (204): the names shown for key codes and device axes, the rows of
// actions, and the capture of a new key or axis for the action being rebound.
#pragma once

#include <cstdint>

#include "core/Keys.h"

// The name shown for each key code 0 .. 276 (14 characters at most); entry 0 "unset" stands for an
// unbound action, a code without a name of its own shows the empty name.
constexpr int kKeyDisplayNameSize = 15;
extern char KeyDisplayNames[kKeyCodeCount][kKeyDisplayNameSize];

// The changeable rows (frames 0 .. 25) and the fixed rows of the screen.
constexpr int kKeyRebindRows = 26;
constexpr int kKeyFixedRows = 18;

// Fills KeyDisplayNames; every code without a name gets the empty name.
void InitKeyDisplayNames();
// The display name of a code; the empty name for a code outside 0 .. 276.
const char* KeyDisplayName(int code);
// What turn or zoom control `control` (0 .. 5, AxisBindings) is bound to, as shown in its row for key
// slot `slot` (0 firstKey, 1 secondKey): the key's display name while keys drive it, else the name of
// its device axis ("???" for an axis outside 0 .. 6, and for a control outside 0 .. 5).
const char* BindingName(int control, int slot);
// Creates the screen's headers, its 26 changeable rows (caption, name, click frame) and its 14 fixed
// rows after the screen's own widgets.
void BuildKeyScreen();
// The number of a mouse or joystick axis (DeviceAxis) that moved away from its centre by more than 500
// units since the last call (joystick -1000 .. 1000, mouse counts of the last frame x 100), the
// farthest out winning; -1 when none. Remembers the positions for the next call.
int DetectAxis();
// Forgets the positions DetectAxis remembers (all at the centre).
void ResetDetectAxis();
// One frame of the key prompt: 1 once a new key or axis has been taken for the row RebindAction, 0 while
// waiting, after Escape (the prompt closes) or when the key cannot be assigned (the notice opens).
int CaptureKey();
// The changeable row (frame index 0 .. 25) whose binding is taken next.
extern int RebindAction;
