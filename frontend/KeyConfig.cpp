// The key configuration screen: the display names of key codes and axes, the rows of the screen, the
// detection of a moved axis and the capture of a new binding while the prompt is open.
#include "frontend/KeyConfig.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "frontend/Frontend.h"
#include "frontend/Screens_local.h"
#include "host/Input.h"
#include "platform/InputDevices.h"

char KeyDisplayNames[kKeyCodeCount][kKeyDisplayNameSize];
int RebindAction = -1;

namespace {

struct NamedCode {
    int code;
    const char* name;
};

// Every code with a name; the others show the empty name. Code 21 is "Z" and 44 "Y" (the keyboard's
// German layout), and the keys right of L and 0 carry the names printed there.
constexpr NamedCode kNamedCodes[] = {
    {0, "unset"},          {1, "ESC"},           {2, "1"},              {3, "2"},
    {4, "3"},              {5, "4"},             {6, "5"},              {7, "6"},
    {8, "7"},              {9, "8"},             {10, "9"},             {11, "0"},
    {12, "-"},             {13, "+"},            {14, "BACKSPACE"},     {15, "TAB"},
    {16, "Q"},             {17, "W"},            {18, "E"},             {19, "R"},
    {20, "T"},             {21, "Z"},            {22, "U"},             {23, "I"},
    {24, "O"},             {25, "P"},            {26, "["},             {27, "]"},
    {28, "RETURN"},        {29, "LEFT CTRL"},    {30, "A"},             {31, "S"},
    {32, "D"},             {33, "F"},            {34, "G"},             {35, "H"},
    {36, "J"},             {37, "K"},            {38, "L"},             {39, ")"},
    {40, "-"},             {41, "'"},            {42, "LEFT SHIFT"},    {43, "\\"},
    {44, "Y"},             {45, "X"},            {46, "C"},             {47, "V"},
    {48, "B"},             {49, "N"},            {50, "M"},             {51, ","},
    {52, "."},             {53, "/"},            {54, "RIGHT SHIFT"},   {55, "NUMPAD *"},
    {56, "LEFT ALT"},      {57, "SPACE"},        {58, "CAPS LOCK"},     {59, "F1"},
    {60, "F2"},            {61, "F3"},           {62, "F4"},            {63, "F5"},
    {64, "F6"},            {65, "F7"},           {66, "F8"},            {67, "F9"},
    {68, "F10"},           {69, "NUM LOCK"},     {70, "ROLL"},          {71, "NUMPAD 7"},
    {72, "NUMPAD 8"},      {73, "NUMPAD 9"},     {74, "NUMPAD -"},      {75, "NUMPAD 4"},
    {76, "NUMPAD 5"},      {77, "NUMPAD 6"},     {78, "NUMPAD +"},      {79, "NUMPAD 1"},
    {80, "NUMPAD 2"},      {81, "NUMPAD 3"},     {82, "NUMPAD 0"},      {83, "NUMPAD ."},
    {87, "F11"},           {88, "F12"},          {100, "F13"},          {101, "F14"},
    {102, "F15"},          {156, "ENTER"},       {157, "RIGHT CTRL"},   {181, "NUMPAD /"},
    {183, "PRINT"},        {184, "RIGHT ALT"},   {197, "PAUSE"},        {199, "POS1"},
    {200, "CURSOR UP"},    {201, "PAGE UP"},     {203, "CURSOR LEFT"},  {205, "CURSOR RIGHT"},
    {207, "END"},          {208, "CURSOR DOWN"}, {209, "PAGE DOWN"},    {210, "INS"},
    {211, "DEL"},          {256, "LEFT MBUTTON"}, {257, "RIGHT MBUTTON"}, {258, "MIDDLE MBUTTON"},
    {259, "???"},          {260, "POV UP"},      {261, "POV DOWN"},     {262, "POV LEFT"},
    {263, "POV RIGHT"},    {264, "JOYBUTTON 1"}, {265, "JOYBUTTON 2"},  {266, "JOYBUTTON 3"},
    {267, "JOYBUTTON 4"},  {268, "JOYBUTTON 5"}, {269, "JOYBUTTON 6"},  {270, "JOYBUTTON 7"},
    {271, "JOYBUTTON 8"},  {272, "JOYBUTTON 9"}, {273, "JOYBUTTON 10"}, {274, "LEFT ALT"},
};
static_assert(std::size(kNamedCodes) == 124);

constexpr const char* kAxisDisplayNames[] = {"MOUSE X",    "MOUSE Y",      "MOUSEWHEEL", "JOYSTICK X",
                                             "JOYSTICK Y", "JOY THROTTLE", "JOYSTICK Z"};
static_assert(std::size(kAxisDisplayNames) == static_cast<size_t>(DeviceAxis::Count));

// The keys the game keeps for itself (function keys, Insert, Delete, Print, Scroll Lock, Pause, Alt).
constexpr int kReservedKeys[] = {59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 87, 88, 210, 211, 183, 70, 197, 56, 184};
static_assert(std::size(kReservedKeys) == 19);

constexpr int kNoKey = kKeyCodeCount;  // no code is down
constexpr int kEscape = 1;

// A changeable row: a pilot key, or one key slot of a turn or zoom control.
struct RebindRow {
    int caption;  // "204.lbl%03d"
    float y;
    bool rightColumn;
    int pilot;    // PilotKey, or -1
    int control;  // TurnAxis, or -1
    int slot;     // key slot of the control
};

constexpr int P(PilotKey k) { return static_cast<int>(k); }
constexpr int T(TurnAxis a) { return static_cast<int>(a); }

constexpr RebindRow kRebindRows[] = {
    {1, 370, false, P(PilotKey::THRUST1), -1, 0},
    {2, 350, false, P(PilotKey::THRUST2), -1, 0},
    {3, 330, false, -1, T(TurnAxis::CHASSIS_HTURN), 1},
    {4, 310, false, -1, T(TurnAxis::CHASSIS_HTURN), 0},
    {5, 290, false, P(PilotKey::ASCEND), -1, 0},
    {6, 270, false, P(PilotKey::DESCEND), -1, 0},
    {7, 250, false, P(PilotKey::FIRE1), -1, 0},
    {8, 230, false, P(PilotKey::FIRE2), -1, 0},
    {9, 210, false, -1, T(TurnAxis::TORSO_HTURN), 1},
    {10, 190, false, -1, T(TurnAxis::TORSO_HTURN), 0},
    {11, 170, false, -1, T(TurnAxis::TORSO_VTURN), 1},
    {12, 150, false, -1, T(TurnAxis::TORSO_VTURN), 0},
    {13, 130, false, P(PilotKey::CENTERTORSO), -1, 0},
    {15, 370, true, -1, T(TurnAxis::CAMERA_HTURN), 1},
    {16, 350, true, -1, T(TurnAxis::CAMERA_HTURN), 0},
    {17, 330, true, -1, T(TurnAxis::CAMERA_VTURN), 1},
    {18, 310, true, -1, T(TurnAxis::CAMERA_VTURN), 0},
    {19, 290, true, -1, T(TurnAxis::CAMERA_INOUT), 1},
    {20, 270, true, -1, T(TurnAxis::CAMERA_INOUT), 0},
    {22, 210, true, P(PilotKey::ACTION), -1, 0},
    {23, 190, true, P(PilotKey::NEXTTARGET), -1, 0},
    {24, 170, true, P(PilotKey::PREVTARGET), -1, 0},
    {25, 150, true, P(PilotKey::LIGHT), -1, 0},
    {26, 130, true, P(PilotKey::STEALTH), -1, 0},
    {27, 110, true, P(PilotKey::TOGGLELMAP), -1, 0},
    {28, 90, true, P(PilotKey::TOGGLEEXTERN), -1, 0},
};
static_assert(std::size(kRebindRows) == kKeyRebindRows);

// A fixed row shows a pilot key, a run of pilot keys ("1 .. 0"), or a key the game reads by its code.
struct FixedRow {
    int caption;
    float x, y, nameX;
    int pilot;  // PilotKey, or -1 for the code below
    int code;
    int lastPilot = -1;  // the run's last PilotKey, or -1
};

constexpr FixedRow kFixedRows[] = {
    {30, 40, 540, 200, P(PilotKey::VIEWMODE1), 0},
    {31, 40, 520, 200, P(PilotKey::VIEWMODE2), 0},
    {32, 40, 500, 200, P(PilotKey::VIEWMODE3), 0},
    {33, 40, 480, 200, P(PilotKey::VIEWMODE4), 0},
    {34, 40, 460, 200, P(PilotKey::QUICKSAVE), 0},
    {35, 40, 440, 200, P(PilotKey::QUICKLOAD), 0},
    {36, 260, 540, 440, P(PilotKey::TOGGLETFVIEW), 0},
    {37, 260, 520, 440, P(PilotKey::TOGGLEMAPVIEW), 0},
    {38, 260, 500, 440, P(PilotKey::MAPZOOMIN), 0},
    {39, 260, 480, 440, P(PilotKey::MAPZOOMOUT), 0},
    {40, 520, 540, 700, P(PilotKey::TOGGLEARCHIVE), 0},
    {41, 520, 520, 700, -1, 201},  // the message archive pages with Page Up and Page Down
    {42, 520, 500, 700, -1, 209},
    {43, 520, 480, 700, P(PilotKey::TOGGLESTATUS), 0},
    // The keys a newcomer needs besides: into and out of a unit, the menu, the units of the task force.
    {44, 260, 460, 440, P(PilotKey::TOGGLEMODE), 0},
    {45, 260, 440, 440, -1, 1},  // Escape opens the in-game menu
    {46, 520, 460, 700, P(PilotKey::UNIT1), 0, P(PilotKey::UNIT10)},
    {47, 520, 440, 700, P(PilotKey::ALLUNITS), 0},
};
static_assert(std::size(kFixedRows) == kKeyFixedRows);

constexpr uint8_t kFixedNameColour[4] = {160, 64, 64, 255};

// The last value of each input DetectAxis reads: joystick X, Y, Z, Z rotation, mouse X, Y, wheel.
constexpr int kDetectInputs = 7;
constexpr int kAxisOfInput[kDetectInputs] = {3, 4, 5, 6, 0, 1, 2};
int64_t LastAxisValue[kDetectInputs];

const char* RowName(const RebindRow& row) {
    if (row.pilot >= 0) return KeyDisplayName(PilotKeys[row.pilot]);
    return BindingName(row.control, row.slot);
}

bool Reserved(int code) {
    for (int k : kReservedKeys)
        if (k == code) return true;
    return false;
}

// The configuration stores a binding by its key name: a code without one would be written as "<uk>"
// and read back as unbound, so such a code is refused as the reserved keys are.
bool Storable(int code) { return strcmp(NameOfKey(code), "<uk>") != 0; }

// Takes a key away from every pilot key and from the key slots of every control driven by keys.
void ClearKey(int code) {
    for (int32_t& k : PilotKeys)
        if (k == code) k = 0;
    for (AxisBinding& b : AxisBindings) {
        if (b.axis >= 0) continue;
        if (b.firstKey == code) b.firstKey = 0;
        if (b.secondKey == code) b.secondKey = 0;
    }
}

void SetSlot(AxisBinding* b, int slot, int code) {
    if (slot == 0)
        b->firstKey = code;
    else
        b->secondKey = code;
}

}  // namespace

void InitKeyDisplayNames() {
    memset(KeyDisplayNames, 0, sizeof KeyDisplayNames);
    for (const NamedCode& n : kNamedCodes) CopyWidgetText(KeyDisplayNames[n.code], kKeyDisplayNameSize, n.name);
    // The table's names are those printed on one keyboard; where the player's own layout is known, each
    // key takes the name that layout gives it (the keys of Z and Y trade places, Home is HOME).
    for (int code = 1; code < 256; ++code) {
        char name[kKeyDisplayNameSize];
        if (host::KeyboardLayoutKeyName(code, name, sizeof name))
            CopyWidgetText(KeyDisplayNames[code], sizeof name, name);
    }
}

const char* KeyDisplayName(int code) {
    return code >= 0 && code < kKeyCodeCount ? KeyDisplayNames[code] : "";
}

const char* BindingName(int control, int slot) {
    if (control < 0 || control >= static_cast<int>(TurnAxis::Count)) return "???";
    const AxisBinding& b = AxisBindings[control];
    if (b.axis < 0) return KeyDisplayName(slot == 0 ? b.firstKey : b.secondKey);
    return b.axis < static_cast<int>(std::size(kAxisDisplayNames)) ? kAxisDisplayNames[b.axis] : "???";
}

void BuildKeyScreen() {
    static const struct {
        int caption;
        float x, y;
    } kHeaders[] = {{0, 40, 400}, {14, 420, 400}, {21, 420, 240}, {29, 40, 570}};
    for (const auto& h : kHeaders) CreateLabel(h.x, h.y, 18, nullptr, MenuText("204.lbl%03d", h.caption));
    for (const RebindRow& row : kRebindRows) {
        const float captionX = row.rightColumn ? 420 : 40;
        const float nameX = row.rightColumn ? 600 : 200;
        CreateLabel(captionX, row.y, 12, nullptr, MenuText("204.lbl%03d", row.caption));
        CreateLabel(nameX, row.y, 12, nullptr, RowName(row));
        CreateFrame(nameX - 2, row.y + 2, nameX + 135, row.y - 13, 1);
    }
    for (const FixedRow& row : kFixedRows) {
        CreateLabel(row.x, row.y, 12, nullptr, MenuText("204.lbl%03d", row.caption));
        char name[2 * kKeyDisplayNameSize + 8];
        snprintf(name, sizeof name, "%s", KeyDisplayName(row.pilot >= 0 ? PilotKeys[row.pilot] : row.code));
        if (row.lastPilot >= 0)
            snprintf(name, sizeof name, "%s .. %s", KeyDisplayName(PilotKeys[row.pilot]),
                     KeyDisplayName(PilotKeys[row.lastPilot]));
        CreateLabel(row.nameX, row.y, 12, kFixedNameColour, name);
    }
}

int DetectAxis() {
    // Joystick axes read -10000 .. 10000 and are taken at a tenth; the mouse's counts are 64-bit here so
    // that a huge movement neither overflows nor loses its sign.
    const int64_t current[kDetectInputs] = {
        JoyState.lX / 10,  JoyState.lY / 10,  JoyState.lZ / 10,  JoyState.lRz / 10,
        int64_t{MouseState.lX} * 100, int64_t{MouseState.lY} * 100, int64_t{MouseState.lZ} * 100};
    int64_t best = 0;
    int winner = -1;
    for (int i = 0; i < kDetectInputs; ++i) {
        const int64_t now = std::llabs(current[i]);
        const int64_t change = now - std::llabs(LastAxisValue[i]);
        if (change > 500 && change > best) {
            best = now;
            winner = i;
        }
        LastAxisValue[i] = current[i];
    }
    return winner < 0 ? -1 : kAxisOfInput[winner];
}

void ResetDetectAxis() { memset(LastAxisValue, 0, sizeof LastAxisValue); }

int CaptureKey() {
    int code = kNoKey;
    for (int c = 0; c < kKeyCodeCount; ++c)
        if (KeyStateByte(c)) {
            code = c;
            break;
        }
    const int axis = DetectAxis();
    if (code == kNoKey && axis < 0) return 0;
    if (code == kEscape) {
        OpenMsgBox = -1;
        return 0;
    }
    if (code != kNoKey && (Reserved(code) || !Storable(code))) {
        OpenMsgBox = 1;
        return 0;
    }
    if (RebindAction < 0 || RebindAction >= kKeyRebindRows) return 1;
    const RebindRow& row = kRebindRows[RebindAction];
    // A row takes the input that fits it: a key row the key, a turn or zoom row the axis before the key.
    // The other input of the same frame is dropped and clears nothing, so no key the player did not
    // mean to touch loses its action.
    if (row.control >= 0 && axis >= 0) {
        for (AxisBinding& b : AxisBindings)
            if (b.axis == axis) b = {-1, 0, 0, b.factor, b.scale};
        AxisBindings[row.control].axis = axis;
        return 1;
    }
    // An axis on a key row is not what the row takes: the prompt stays open for a key. (The mouse moved
    // by the hand that clicked the row must not close it.)
    if (code == kNoKey) return row.pilot >= 0 ? 0 : 1;
    ClearKey(code);
    if (row.pilot >= 0) {
        PilotKeys[row.pilot] = code;
    } else {
        AxisBinding& b = AxisBindings[row.control];
        SetSlot(&b, row.slot, code);
        b.axis = -1;
    }
    return 1;
}
