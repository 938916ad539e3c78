// Keyboard, mouse and the first joystick, read the way the game's input layer expects of its devices:
// the keyboard as 256 bytes by scan code, the mouse as movement since the last read with four buttons,
// the joystick as a polled state record with ranged, dead-zoned axes. Devices lose their acquisition when
// the window loses the input focus and must be acquired again. Headless runs take everything from a
// scripted input file instead (host/InputScript.h).
#pragma once

#include <cstdint>

namespace host {

// Scan codes of the keys this layer itself looks at.
constexpr int kScanScrollLock = 70;
constexpr int kScanPrintScreen = 183;

// What a device read reports.
enum class InputRead {
    Ok,
    InputLost,    // the device was taken away (focus lost) since it was acquired
    NotAcquired,  // the device is not acquired
};

// Starts the input layer: registers for window events. Safe to call more than once.
void OpenInput();
// Closes every device and forgets all state.
void CloseInput();

// Keyboard: 256 state bytes by scan code, 0x80 while down. A key (as a mouse or joystick button) that was
// pressed since the previous read of its device reads 0x80 once even when it was released again.
bool AcquireKeyboard();  // false while the window does not have the input focus
void UnacquireKeyboard();
InputRead ReadKeyboard(uint8_t state[256]);

// Mouse: movement since the last read (x, y; z is the wheel, 120 per notch) and four buttons
// (left, right, middle, fourth), 0x80 while down.
struct MouseSample {
    int32_t x, y, z;
    uint8_t buttons[4];
};
bool MouseHasWheel();
bool AcquireMouse();
void UnacquireMouse();
InputRead ReadMouse(MouseSample* out);

// Joystick axes, in the order of the state record.
enum JoystickAxis { kJoyX, kJoyY, kJoyZ, kJoyRx, kJoyRy, kJoyRz, kJoySlider0, kJoySlider1, kJoyAxisCount };
struct JoystickSample {
    int32_t axes[kJoyAxisCount];  // scaled to each axis's range
    uint32_t pov[4];              // hundredths of a degree clockwise from up; 0xFFFFFFFF centred
    uint8_t buttons[32];          // 0x80 while down
};
struct JoystickCaps {
    int axes;
    int buttons;
    int povs;
};
// Number of joysticks attached (1 with the virtual joystick).
int JoystickCount();
// Opens joystick `index`; false when it cannot be opened. Only one joystick is open at a time.
bool OpenJoystick(int index, JoystickCaps* caps);
void CloseJoystick();
bool JoystickOpen();
// A joystick that exists only in the injected state: headless runs whose script moves a joystick have
// one; tests switch it on.
void UseVirtualJoystick(bool on);
// Axis range and dead zone (dead zone in hundredths of a percent of the travel from the centre).
// Until set, an axis reports 0..65535 with no dead zone.
void SetJoystickAxisRange(int axis, int32_t min, int32_t max);
void SetJoystickDeadZone(int axis, int32_t deadZone);
bool PollJoystick();
bool ReadJoystick(JoystickSample* out);

// The toggle state of Scroll Lock, and whether Print Screen is held at this moment.
bool ScrollLockOn();
bool PrintScreenDown();

// Window focus: devices lose their acquisition when it is lost; acquiring fails until it returns.
// Called from the window events; tests call it directly.
void SetInputFocus(bool focused);

// Raw state changes, as the window events (or the input script) deliver them.
void InjectKey(int scanCode, bool down);
// Told of every key press that InjectKey sees (a movie listens for the keys that stop it); null: none.
using KeyPressObserver = void (*)(int scanCode);
void SetKeyPressObserver(KeyPressObserver observer);
void InjectMouseMotion(int32_t dx, int32_t dy, int32_t dz);
void InjectMouseButton(int button, bool down);
void InjectJoystickAxis(int axis, int32_t raw);  // raw stick position -32768..32767
void InjectJoystickHat(uint32_t angle);          // hundredths of a degree, 0xFFFFFFFF centred
void InjectJoystickButton(int button, bool down);

// The scan-code table: SDL scancode <-> keyboard scan code (0 when the key has none).
int ScanCodeFromSdl(int sdlScancode);
int SdlFromScanCode(int scanCode);
// The name the player's keyboard layout gives the key of a scan code, in capitals and Latin-1 (size bytes
// with the terminator): false when no layout is known (no window, headless) or the layout's name of the
// key is empty or holds a character outside Latin-1.
bool KeyboardLayoutKeyName(int scanCode, char* out, int size);
// Converts a UTF-8 key name to capitals in Latin-1; false for an empty name, a character outside
// Latin-1 or a name that does not fit.
bool LayoutNameToLatin1(const char* utf8, char* out, int size);

// A raw stick position (-32768..32767) scaled to [min, max] with a dead zone around the centre.
int32_t ScaleJoystickAxis(int32_t raw, int32_t min, int32_t max, int32_t deadZone);
// An SDL hat position (bits up 1, right 2, down 4, left 8) as hundredths of a degree, or 0xFFFFFFFF.
uint32_t HatAngle(int sdlHat);

}  // namespace host
