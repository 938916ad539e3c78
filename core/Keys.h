// Key codes, their names and characters, and the key bindings read from rules.
//
// One integer space covers every input that can be bound: keyboard scan codes 0-255, mouse buttons
// 256-259, joystick hat directions 260-263, joystick buttons 264-273 and Alt, Ctrl and Shift of either
// side 274-276, with one pressed-state byte each.
#pragma once

#include <cstdint>

// One byte per key code 0..276, non-zero while down: the keyboard's scan codes 0..255 carry 0x80, the
// mouse buttons (256..259), hat directions (260..263), joystick buttons (264..273) and either-side Alt,
// Ctrl and Shift (274..276) carry 1. The input devices fill it on every poll.
constexpr int kKeyCodeCount = 277;
extern uint8_t KeyStates[kKeyCodeCount];

constexpr int kKeyNameRows = 512;
constexpr int kKeyTableSize = 64;
constexpr int kPilotBindings = 51;
constexpr int kCommandoBindings = 43;

// The state byte of a code (the key-state array of the input devices); 0 for a code outside the space.
uint8_t KeyStateByte(int code);
// The toggle state of Scroll Lock.
bool ScrollLockOn();

// The key name table: four parallel arrays of kKeyNameRows entries and the rows in use.
struct KeyNameTable {
    char** names;         // owned copies ("key name")
    int32_t* codes;
    uint8_t* chars;       // character typed, 0 when none
    uint8_t* shiftChars;  // character typed with Shift
    int32_t rows;
};
extern KeyNameTable KeyNames;

// Builds the 125 named rows; FreeKeyNames gives them back.
void InitKeyNames();
void FreeKeyNames();
void AddKeyName(const char* name, int code, uint8_t character, uint8_t shifted);
// The code of the first row of exactly this name (case counts); 0 when none.
int KeyIndexByName(const char* name);
// The name of the first row with this code; "<uk>" when none.
const char* NameOfKey(int code);
// The character typed by a code, plain and with Shift; 0 when none.
uint8_t KeyChar(int code);
uint8_t InvKeyChar(int code);

// Bound keys of pilot mode and commando mode, indexed by binding (0 = unbound).
extern int32_t PilotKeys[kKeyTableSize];
extern int32_t CommandoKeys[kKeyTableSize];

enum class PilotKey {
    VIEWMODE1, VIEWMODE2, VIEWMODE3, VIEWMODE4, VIEWMODEMOD, TOGGLEEXTERN, CLOSE, TOGGLETFVIEW,
    TOGGLEMAPVIEW, TOGGLEARCHIVE, TOGGLESTATUS, TOGGLELMAP, QUICKSAVE, QUICKLOAD, THRUST1, THRUST2, ASCEND,
    DESCEND, FIRE1, FIRE2, LIGHT, CENTERTORSO, NEXTTARGET, PREVTARGET, STEALTH, MAPZOOMIN, MAPZOOMOUT,
    TOGGLEMODE, ADDRECIPIENT, GROUP1, GROUP2, GROUP3, GROUP4, UNIT1, UNIT2, UNIT3, UNIT4, UNIT5, UNIT6,
    UNIT7, UNIT8, UNIT9, UNIT10, UNIT11, UNIT12, UNIT13, UNIT14, UNIT15, ALLUNITS, ACTION, SELFDESTRUCT,
    Count
};
enum class CommandoKey {
    TOGGLETFVIEW, TOGGLEMAPVIEW, TOGGLEARCHIVE, TOGGLESTATUS, SELECT, GROUP, MODIFIER, FOCUS, ROTATE, ZOOM,
    GROUP1, GROUP2, GROUP3, GROUP4, CAMERALEFT, CAMERARIGHT, CAMERAUP, CAMERADOWN, CAMERAIN, CAMERAOUT,
    TOGGLEMODE, CLOSE, ADDRECIPIENT, VIEWMODEMOD, TOGGLEEXTERN, MAPZOOMIN, MAPZOOMOUT, UNIT1, UNIT2, UNIT3,
    UNIT4, UNIT5, UNIT6, UNIT7, UNIT8, UNIT9, UNIT10, UNIT11, UNIT12, UNIT13, UNIT14, UNIT15, ALLUNITS,
    Count
};
static_assert(static_cast<int>(PilotKey::Count) == kPilotBindings);
static_assert(static_cast<int>(CommandoKey::Count) == kCommandoBindings);

// The rule names of the bindings ("PM_VIEWMODE1_KEY", "CM_TOGGLETFVIEW_KEY", ...), by index.
const char* PilotBindingName(int index);
const char* CommandoBindingName(int index);
int32_t PilotKeyCode(PilotKey key);
int32_t CommandoKeyCode(CommandoKey key);

enum class DeviceAxis { MOUSE_X, MOUSE_Y, MOUSE_WHEEL, JOYSTICK_X, JOYSTICK_Y, JOYSTICK_THROTTLE, JOYSTICK_RUDDER, Count };
enum class TurnAxis {
    CHASSIS_HTURN, TORSO_HTURN, TORSO_VTURN, CAMERA_HTURN, CAMERA_VTURN, CAMERA_INOUT,
    Count
};

// A turn driven by a device axis or by a pair of keys.
struct AxisBinding {
    int32_t axis;       // device axis number, -1 when a key pair drives the turn
    int32_t firstKey;   // key codes of the pair (0 when an axis is bound)
    int32_t secondKey;
    float factor;       // the rule's first value, 1.0 without one
    int32_t scale;      // always 256
};
extern AxisBinding AxisBindings[static_cast<int>(TurnAxis::Count)];
// The rule name of a turn ("PM_CHASSIS_HTURN_SCALAR", ...).
const char* AxisBindingName(int index);

// Fills both key tables and the six turn bindings from RuleList; a missing binding rule is fatal.
void ReadKeyBindings();
void ReadAxisBinding(int index, const char* ruleName);
// The number of a device axis name (case counts); fatal for any other name.
int NamedDeviceAxis(const char* name);
// The name of a device axis number; fatal for any other number.
const char* AxisName(int axis);
