#include "core/Keys.h"

#include <cstring>
#include <iterator>

#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Input.h"

KeyNameTable KeyNames = {nullptr, nullptr, nullptr, nullptr, 0};
int32_t PilotKeys[kKeyTableSize];
int32_t CommandoKeys[kKeyTableSize];
AxisBinding AxisBindings[static_cast<int>(TurnAxis::Count)];

namespace {

struct KeyRow {
    const char* name;
    int code;
    uint8_t character;
    uint8_t shifted;
};

// Every named code, in table order: the first row of a code gives its name and characters.
constexpr KeyRow kKeyRows[] = {
    {"ESC_KEY", 1, 0, 0}, {"F1_KEY", 59, 0, 0}, {"F2_KEY", 60, 0, 0}, {"F3_KEY", 61, 0, 0},
    {"F4_KEY", 62, 0, 0}, {"F5_KEY", 63, 0, 0}, {"F6_KEY", 64, 0, 0}, {"F7_KEY", 65, 0, 0},
    {"F8_KEY", 66, 0, 0}, {"F9_KEY", 67, 0, 0}, {"F10_KEY", 68, 0, 0}, {"F11_KEY", 87, 0, 0},
    {"F12_KEY", 88, 0, 0}, {"PRINT_KEY", 183, 0, 0}, {"SCROLLLOCK_KEY", 70, 0, 0},
    {"GRAVE_KEY", 41, '^', 0xB0}, {"ONE_KEY", 2, '1', '1'}, {"TWO_KEY", 3, '2', '2'},
    {"THREE_KEY", 4, '3', '3'}, {"FOUR_KEY", 5, '4', '4'}, {"FIVE_KEY", 6, '5', '5'},
    {"SIX_KEY", 7, '6', '6'}, {"SEVEN_KEY", 8, '7', '7'}, {"EIGHT_KEY", 9, '8', '8'},
    {"NINE_KEY", 10, '9', '9'}, {"ZERO_KEY", 11, '0', '0'}, {"MINUS_KEY", 12, '-', '_'},
    {"PLUS_KEY", 13, '=', '+'}, {"BACKSPACE_KEY", 14, 0, 0}, {"TAB_KEY", 15, 0, 0},
    {"Q_KEY", 16, 'q', 'Q'}, {"W_KEY", 17, 'w', 'W'}, {"E_KEY", 18, 'e', 'E'}, {"R_KEY", 19, 'r', 'R'},
    {"T_KEY", 20, 't', 'T'}, {"Y_KEY", 21, 'y', 'Y'}, {"U_KEY", 22, 'u', 'U'}, {"I_KEY", 23, 'i', 'I'},
    {"O_KEY", 24, 'o', 'O'}, {"P_KEY", 25, 'p', 'P'}, {"OPENSQUAREBRACKET_KEY", 26, '[', '{'},
    {"CLOSESQUAREBRACKET_KEY", 27, ']', '}'}, {"CTRL_KEY", 275, 0, 0}, {"LEFTCTRL_KEY", 29, 0, 0},
    {"A_KEY", 30, 'a', 'A'}, {"S_KEY", 31, 's', 'S'}, {"D_KEY", 32, 'd', 'D'}, {"F_KEY", 33, 'f', 'F'},
    {"G_KEY", 34, 'g', 'G'}, {"H_KEY", 35, 'h', 'H'}, {"J_KEY", 36, 'j', 'J'}, {"K_KEY", 37, 'k', 'K'},
    {"L_KEY", 38, 'l', 'L'}, {"SEMICOLON_KEY", 39, ';', ':'}, {"QUOTE_KEY", 40, '\'', '"'},
    {"RETURN_KEY", 28, 0, 0}, {"SHIFT_KEY", 276, 0, 0}, {"LEFTSHIFT_KEY", 42, 0, 0},
    {"BACKSLASH_KEY", 43, '\\', '|'}, {"Z_KEY", 44, 'z', 'Z'}, {"X_KEY", 45, 'x', 'X'},
    {"C_KEY", 46, 'c', 'C'}, {"V_KEY", 47, 'v', 'V'}, {"B_KEY", 48, 'b', 'B'}, {"N_KEY", 49, 'n', 'N'},
    {"M_KEY", 50, 'm', 'M'}, {"COMMA_KEY", 51, ',', '<'}, {"FULLSTOP_KEY", 52, '.', '>'},
    {"SLASH_KEY", 53, '/', '?'}, {"RIGHTSHIFT_KEY", 54, 0, 0}, {"CAPSLOCK_KEY", 58, 0, 0},
    {"ALT_KEY", 274, 0, 0}, {"LEFTALT_KEY", 56, 0, 0}, {"SPACE_KEY", 57, ' ', ' '},
    {"RIGHTALT_KEY", 184, 0, 0}, {"RIGHTCTRL_KEY", 157, 0, 0}, {"INSERT_KEY", 210, 0, 0},
    {"HOME_KEY", 199, 0, 0}, {"PAGEUP_KEY", 201, 0, 0}, {"DELETE_KEY", 211, 0, 0},
    {"PAUSE_KEY", 197, 0, 0}, {"END_KEY", 207, 0, 0}, {"PAGEDOWN_KEY", 209, 0, 0},
    {"UP_KEY", 200, 0, 0}, {"DOWN_KEY", 208, 0, 0}, {"LEFT_KEY", 203, 0, 0}, {"RIGHT_KEY", 205, 0, 0},
    {"NUMLOCK_KEY", 69, 0, 0}, {"PADSLASH_KEY", 181, '/', '/'}, {"PADSTAR_KEY", 55, '*', '*'},
    {"PADMINUS_KEY", 74, '-', '-'}, {"PADPLUS_KEY", 78, '+', '+'}, {"PADSEVEN_KEY", 71, '7', '7'},
    {"PADEIGHT_KEY", 72, '8', '8'}, {"PADNINE_KEY", 73, '9', '9'}, {"PADFOUR_KEY", 75, '4', '4'},
    {"PADFIVE_KEY", 76, '5', '5'}, {"PADSIX_KEY", 77, '6', '6'}, {"PADONE_KEY", 79, '1', '1'},
    {"PADTWO_KEY", 80, '2', '2'}, {"PADTHREE_KEY", 81, '3', '3'}, {"PADZERO_KEY", 82, '0', '0'},
    {"PADPOINT_KEY", 83, '.', '.'}, {"ENTER_KEY", 156, 0, 0}, {"LBUTTON_KEY", 256, 0, 0},
    {"MBUTTON_KEY", 258, 0, 0}, {"RBUTTON_KEY", 257, 0, 0}, {"XBUTTON_KEY", 259, 0, 0},
    {"SELECT_KEY", 256, 0, 0}, {"MENU_KEY", 258, 0, 0}, {"ADJUST_KEY", 257, 0, 0},
    {"JOYPOVUP_KEY", 260, 0, 0}, {"JOYPOVDOWN_KEY", 261, 0, 0}, {"JOYPOVLEFT_KEY", 262, 0, 0},
    {"JOYPOVRIGHT_KEY", 263, 0, 0}, {"JOYBUTTON1_KEY", 264, 0, 0}, {"JOYBUTTON2_KEY", 265, 0, 0},
    {"JOYBUTTON3_KEY", 266, 0, 0}, {"JOYBUTTON4_KEY", 267, 0, 0}, {"JOYBUTTON5_KEY", 268, 0, 0},
    {"JOYBUTTON6_KEY", 269, 0, 0}, {"JOYBUTTON7_KEY", 270, 0, 0}, {"JOYBUTTON8_KEY", 271, 0, 0},
    {"JOYBUTTON9_KEY", 272, 0, 0}, {"JOYBUTTON10_KEY", 273, 0, 0},
};
static_assert(std::size(kKeyRows) == 125);

constexpr const char* kPilotNames[] = {
    "PM_VIEWMODE1_KEY", "PM_VIEWMODE2_KEY", "PM_VIEWMODE3_KEY", "PM_VIEWMODE4_KEY", "PM_VIEWMODEMOD_KEY",
    "PM_TOGGLEEXTERN_KEY", "PM_CLOSE_KEY", "PM_TOGGLETFVIEW_KEY", "PM_TOGGLEMAPVIEW_KEY",
    "PM_TOGGLEARCHIVE_KEY", "PM_TOGGLESTATUS_KEY", "PM_TOGGLELMAP_KEY", "PM_QUICKSAVE_KEY",
    "PM_QUICKLOAD_KEY", "PM_THRUST1_KEY", "PM_THRUST2_KEY", "PM_ASCEND_KEY", "PM_DESCEND_KEY",
    "PM_FIRE1_KEY", "PM_FIRE2_KEY", "PM_LIGHT_KEY", "PM_CENTERTORSO_KEY", "PM_NEXTTARGET_KEY",
    "PM_PREVTARGET_KEY", "PM_STEALTH_KEY", "PM_MAPZOOMIN_KEY", "PM_MAPZOOMOUT_KEY", "PM_TOGGLEMODE_KEY",
    "PM_ADDRECIPIENT_KEY", "PM_GROUP1_KEY", "PM_GROUP2_KEY", "PM_GROUP3_KEY", "PM_GROUP4_KEY",
    "PM_UNIT1_KEY", "PM_UNIT2_KEY", "PM_UNIT3_KEY", "PM_UNIT4_KEY", "PM_UNIT5_KEY", "PM_UNIT6_KEY",
    "PM_UNIT7_KEY", "PM_UNIT8_KEY", "PM_UNIT9_KEY", "PM_UNIT10_KEY", "PM_UNIT11_KEY", "PM_UNIT12_KEY",
    "PM_UNIT13_KEY", "PM_UNIT14_KEY", "PM_UNIT15_KEY", "PM_ALLUNITS_KEY", "PM_ACTION_KEY",
    "PM_SELFDESTRUCT_KEY"};
static_assert(std::size(kPilotNames) == static_cast<size_t>(PilotKey::Count));

constexpr const char* kCommandoNames[] = {
    "CM_TOGGLETFVIEW_KEY", "CM_TOGGLEMAPVIEW_KEY", "CM_TOGGLEARCHIVE_KEY", "CM_TOGGLESTATUS_KEY",
    "CM_SELECT_KEY", "CM_GROUP_KEY", "CM_MODIFIER_KEY", "CM_FOCUS_KEY", "CM_ROTATE_KEY", "CM_ZOOM_KEY",
    "CM_GROUP1_KEY", "CM_GROUP2_KEY", "CM_GROUP3_KEY", "CM_GROUP4_KEY", "CM_CAMERALEFT_KEY",
    "CM_CAMERARIGHT_KEY", "CM_CAMERAUP_KEY", "CM_CAMERADOWN_KEY", "CM_CAMERAIN_KEY", "CM_CAMERAOUT_KEY",
    "CM_TOGGLEMODE_KEY", "CM_CLOSE_KEY", "CM_ADDRECIPIENT_KEY", "CM_VIEWMODEMOD_KEY",
    "CM_TOGGLEEXTERN_KEY", "CM_MAPZOOMIN_KEY", "CM_MAPZOOMOUT_KEY", "CM_UNIT1_KEY", "CM_UNIT2_KEY",
    "CM_UNIT3_KEY", "CM_UNIT4_KEY", "CM_UNIT5_KEY", "CM_UNIT6_KEY", "CM_UNIT7_KEY", "CM_UNIT8_KEY",
    "CM_UNIT9_KEY", "CM_UNIT10_KEY", "CM_UNIT11_KEY", "CM_UNIT12_KEY", "CM_UNIT13_KEY", "CM_UNIT14_KEY",
    "CM_UNIT15_KEY", "CM_ALLUNITS_KEY"};
static_assert(std::size(kCommandoNames) == static_cast<size_t>(CommandoKey::Count));

constexpr const char* kAxisBindingNames[] = {"PM_CHASSIS_HTURN_SCALAR", "PM_TORSO_HTURN_SCALAR",
                                             "PM_TORSO_VTURN_SCALAR",   "PM_CAMERA_HTURN_SCALAR",
                                             "PM_CAMERA_VTURN_SCALAR",  "PM_CAMERA_INOUT_SCALAR"};
static_assert(std::size(kAxisBindingNames) == static_cast<size_t>(TurnAxis::Count));

constexpr const char* kDeviceAxisNames[] = {"MOUSE_X",    "MOUSE_Y",           "MOUSE_WHEEL",    "JOYSTICK_X",
                                            "JOYSTICK_Y", "JOYSTICK_THROTTLE", "JOYSTICK_RUDDER"};
static_assert(std::size(kDeviceAxisNames) == static_cast<size_t>(DeviceAxis::Count));

// The order in which the pilot bindings are read: the toggles of the local map and the quick save and
// load come before the view toggles.
constexpr int kPilotReadOrder[] = {0,  1,  2,  3,  4,  5,  6,  11, 12, 13, 7,  8,  9,  10, 14, 15, 16,
                                   17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33,
                                   34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50};
static_assert(std::size(kPilotReadOrder) == static_cast<size_t>(PilotKey::Count));

int RowOfCode(int code) {
    for (int i = 0; i < KeyNames.rows; ++i)
        if (KeyNames.codes[i] == code) return i;
    return -1;
}

// The code a binding rule names; a rule without a key name binds nothing.
int32_t BoundCode(const Rule* r) { return r->info[0] ? KeyIndexByName(r->info[0]) : 0; }

}  // namespace

uint8_t KeyStates[kKeyCodeCount];

uint8_t KeyStateByte(int code) { return code >= 0 && code < kKeyCodeCount ? KeyStates[code] : 0; }

bool ScrollLockOn() { return host::ScrollLockOn(); }

void InitKeyNames() {
    FreeKeyNames();
    KeyNames.names = static_cast<char**>(qzAlloc(kKeyNameRows * sizeof(char*), "key name field"));
    KeyNames.codes = static_cast<int32_t*>(qzAlloc(kKeyNameRows * sizeof(int32_t), "key index field"));
    KeyNames.chars = static_cast<uint8_t*>(qzAlloc(kKeyNameRows, "key char field"));
    KeyNames.shiftChars = static_cast<uint8_t*>(qzAlloc(kKeyNameRows, "inv key char field"));
    KeyNames.rows = 0;
    for (const KeyRow& row : kKeyRows) AddKeyName(row.name, row.code, row.character, row.shifted);
}

void FreeKeyNames() {
    if (KeyNames.names)
        for (int i = 0; i < KeyNames.rows; ++i) qzFree(KeyNames.names[i]);
    qzFree(KeyNames.names);
    qzFree(KeyNames.codes);
    qzFree(KeyNames.chars);
    qzFree(KeyNames.shiftChars);
    KeyNames = {nullptr, nullptr, nullptr, nullptr, 0};
}

void AddKeyName(const char* name, int code, uint8_t character, uint8_t shifted) {
    if (!KeyNames.names || KeyNames.rows >= kKeyNameRows) return;
    int i = KeyNames.rows++;
    KeyNames.names[i] = qzStrDup(name, "key name");
    KeyNames.codes[i] = code;
    KeyNames.chars[i] = character;
    KeyNames.shiftChars[i] = shifted;
}

int KeyIndexByName(const char* name) {
    if (!name) return 0;
    for (int i = 0; i < KeyNames.rows; ++i)
        if (strcmp(KeyNames.names[i], name) == 0) return KeyNames.codes[i];
    return 0;
}

const char* NameOfKey(int code) {
    int i = RowOfCode(code);
    return i < 0 ? "<uk>" : KeyNames.names[i];
}

uint8_t KeyChar(int code) {
    int i = RowOfCode(code);
    return i < 0 ? 0 : KeyNames.chars[i];
}

uint8_t InvKeyChar(int code) {
    int i = RowOfCode(code);
    return i < 0 ? 0 : KeyNames.shiftChars[i];
}

const char* PilotBindingName(int index) {
    return index >= 0 && index < kPilotBindings ? kPilotNames[index] : nullptr;
}
const char* CommandoBindingName(int index) {
    return index >= 0 && index < kCommandoBindings ? kCommandoNames[index] : nullptr;
}
const char* AxisBindingName(int index) {
    return index >= 0 && index < static_cast<int>(TurnAxis::Count) ? kAxisBindingNames[index] : nullptr;
}
int32_t PilotKeyCode(PilotKey key) { return PilotKeys[static_cast<int>(key)]; }
int32_t CommandoKeyCode(CommandoKey key) { return CommandoKeys[static_cast<int>(key)]; }

int NamedDeviceAxis(const char* name) {
    for (size_t i = 0; name && i < std::size(kDeviceAxisNames); ++i)
        if (strcmp(kDeviceAxisNames[i], name) == 0) return static_cast<int>(i);
    FatalError("Error(NamedDeviceAxis): Unknown device axis");
}

const char* AxisName(int axis) {
    if (axis < 0 || axis >= static_cast<int>(std::size(kDeviceAxisNames)))
        FatalError("Error(AxisName): Unknown device axis");
    return kDeviceAxisNames[axis];
}

void ReadAxisBinding(int index, const char* ruleName) {
    if (index < 0 || index >= static_cast<int>(TurnAxis::Count)) return;
    Rule* r = NamedRulef("%s", ruleName);
    AxisBinding& b = AxisBindings[index];
    if (!r->info[0]) {
        // A turn rule that names nothing is left unbound rather than looked up by a missing name.
        b.axis = -1;
        b.firstKey = 0;
        b.secondKey = 0;
    } else if (r->info[1]) {
        b.axis = -1;
        b.firstKey = BoundCode(r);
        b.secondKey = KeyIndexByName(r->info[1]);
    } else {
        b.axis = NamedDeviceAxis(r->info[0]);
        b.firstKey = 0;
        b.secondKey = 0;
    }
    b.factor = r->count > 0 ? r->values[0] : 1.0f;
    b.scale = 256;
}

void ReadKeyBindings() {
    memset(PilotKeys, 0, sizeof PilotKeys);
    for (int index : kPilotReadOrder) PilotKeys[index] = BoundCode(NamedRulef("%s", kPilotNames[index]));
    for (AxisBinding& b : AxisBindings) b = {-1, 0, 0, b.factor, 256};
    for (int i = 0; i < static_cast<int>(TurnAxis::Count); ++i) ReadAxisBinding(i, kAxisBindingNames[i]);
    memset(CommandoKeys, 0, sizeof CommandoKeys);
    for (int i = 0; i < kCommandoBindings; ++i) CommandoKeys[i] = BoundCode(NamedRulef("%s", kCommandoNames[i]));
}
