// The input devices: keyboard, mouse and one joystick, polled once per frame (keyboard, joystick, mouse)
// into global state that the key bindings, the player's control input, the mouse pointer and the menus
// read directly.
#pragma once

#include <cstdint>

// The devices fill the key-state array of core/Keys.h (KeyStates) on every poll.
#include "core/Keys.h"

// The mouse state of the last read (16 bytes): movement since the read before, four buttons (0x80 down).
struct MouseStateRecord {
    int32_t lX, lY, lZ;
    uint8_t rgbButtons[4];
};
extern MouseStateRecord MouseState;
extern int MouseHasWheel;  // 1 when the mouse has a wheel axis

// The joystick state of the last read (80 bytes).
struct JoyStateRecord {
    int32_t lX, lY, lZ;      // -10000..10000, dead zone 10 %
    int32_t lRx, lRy;        // -1000..1000
    int32_t lRz;             // -10000..10000, dead zone 10 %
    int32_t rglSlider[2];    // -1000..1000
    uint32_t rgdwPOV[4];     // hundredths of a degree; low word 0xFFFF when centred
    uint8_t rgbButtons[32];  // 0x80 while down
};
static_assert(sizeof(JoyStateRecord) == 80);
extern JoyStateRecord JoyState;
extern uint32_t JoyHat;  // the first hat value of the last read

// The capabilities of the open joystick.
struct JoyCapsRecord {
    int32_t axes;
    int32_t buttons;
    int32_t povs;
};
extern JoyCapsRecord JoyCaps;

// Opens the input layer; fatal "Error(dxgl_InitDI): Failed" when it cannot.
void dxgl_InitDI();
void dxgl_ReleaseDI();
// Opens and acquires the keyboard.
void dxgl_InitKeyboard();
// Opens and acquires the mouse and probes its wheel; returns 0.
int dxgl_InitMouse();
// Opens the first joystick that can be opened, with its axis ranges and dead zones; none is no error.
void dxgl_InitJoy();
// True while a joystick is open (the frame loops read it only then).
bool dxgl_JoyOpen();

// Read the devices into the key-state array and the state records.
void dxgl_UpdateKeyboardState();
void dxgl_UpdateMouseState();
void dxgl_UpdateJoyState();

// Unacquire and close; nothing for a device that is not open.
void dxgl_ReleaseKeyboard();
void dxgl_ReleaseMouse();
void dxgl_ReleaseJoy();

// The hat key codes of a hat value: sets KeyStates 260..263.
void SetHatKeys(uint32_t hat);
