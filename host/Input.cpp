#include "host/Input.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "host/InputScript.h"
#include "host/Window.h"

namespace host {
namespace {

// SDL scancodes (USB usage positions) and the keyboard scan codes the game numbers its keys by. Both
// name a key by its position on the board, not by what it types.
struct ScanPair {
    SDL_Scancode sdl;
    uint8_t code;
};
constexpr ScanPair kScanTable[] = {
    {SDL_SCANCODE_ESCAPE, 1},
    {SDL_SCANCODE_1, 2},
    {SDL_SCANCODE_2, 3},
    {SDL_SCANCODE_3, 4},
    {SDL_SCANCODE_4, 5},
    {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7},
    {SDL_SCANCODE_7, 8},
    {SDL_SCANCODE_8, 9},
    {SDL_SCANCODE_9, 10},
    {SDL_SCANCODE_0, 11},
    {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13},
    {SDL_SCANCODE_BACKSPACE, 14},
    {SDL_SCANCODE_TAB, 15},
    {SDL_SCANCODE_Q, 16},
    {SDL_SCANCODE_W, 17},
    {SDL_SCANCODE_E, 18},
    {SDL_SCANCODE_R, 19},
    {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21},
    {SDL_SCANCODE_U, 22},
    {SDL_SCANCODE_I, 23},
    {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25},
    {SDL_SCANCODE_LEFTBRACKET, 26},
    {SDL_SCANCODE_RIGHTBRACKET, 27},
    {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},
    {SDL_SCANCODE_A, 30},
    {SDL_SCANCODE_S, 31},
    {SDL_SCANCODE_D, 32},
    {SDL_SCANCODE_F, 33},
    {SDL_SCANCODE_G, 34},
    {SDL_SCANCODE_H, 35},
    {SDL_SCANCODE_J, 36},
    {SDL_SCANCODE_K, 37},
    {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39},
    {SDL_SCANCODE_APOSTROPHE, 40},
    {SDL_SCANCODE_GRAVE, 41},
    {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43},
    {SDL_SCANCODE_Z, 44},
    {SDL_SCANCODE_X, 45},
    {SDL_SCANCODE_C, 46},
    {SDL_SCANCODE_V, 47},
    {SDL_SCANCODE_B, 48},
    {SDL_SCANCODE_N, 49},
    {SDL_SCANCODE_M, 50},
    {SDL_SCANCODE_COMMA, 51},
    {SDL_SCANCODE_PERIOD, 52},
    {SDL_SCANCODE_SLASH, 53},
    {SDL_SCANCODE_RSHIFT, 54},
    {SDL_SCANCODE_KP_MULTIPLY, 55},
    {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57},
    {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_F1, 59},
    {SDL_SCANCODE_F2, 60},
    {SDL_SCANCODE_F3, 61},
    {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_F5, 63},
    {SDL_SCANCODE_F6, 64},
    {SDL_SCANCODE_F7, 65},
    {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67},
    {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69},
    {SDL_SCANCODE_SCROLLLOCK, 70},
    {SDL_SCANCODE_KP_7, 71},
    {SDL_SCANCODE_KP_8, 72},
    {SDL_SCANCODE_KP_9, 73},
    {SDL_SCANCODE_KP_MINUS, 74},
    {SDL_SCANCODE_KP_4, 75},
    {SDL_SCANCODE_KP_5, 76},
    {SDL_SCANCODE_KP_6, 77},
    {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79},
    {SDL_SCANCODE_KP_2, 80},
    {SDL_SCANCODE_KP_3, 81},
    {SDL_SCANCODE_KP_0, 82},
    {SDL_SCANCODE_KP_PERIOD, 83},
    {SDL_SCANCODE_NONUSBACKSLASH, 86},
    {SDL_SCANCODE_F11, 87},
    {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_KP_ENTER, 156},
    {SDL_SCANCODE_RCTRL, 157},
    {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183},
    {SDL_SCANCODE_RALT, 184},
    {SDL_SCANCODE_PAUSE, 197},
    {SDL_SCANCODE_HOME, 199},
    {SDL_SCANCODE_UP, 200},
    {SDL_SCANCODE_PAGEUP, 201},
    {SDL_SCANCODE_LEFT, 203},
    {SDL_SCANCODE_RIGHT, 205},
    {SDL_SCANCODE_END, 207},
    {SDL_SCANCODE_DOWN, 208},
    {SDL_SCANCODE_PAGEDOWN, 209},
    {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211},
    {SDL_SCANCODE_LGUI, 219},
    {SDL_SCANCODE_RGUI, 220},
    {SDL_SCANCODE_APPLICATION, 221},
};

struct DeviceState {
    bool created = false;
    bool acquired = false;
    bool lost = false;  // acquisition was taken away since the last read
};

struct AxisSetting {
    int32_t min = 0;
    int32_t max = 65535;
    int32_t deadZone = 0;
};

struct InputState {
    bool listening = false;
    bool focused = true;
    uint8_t keys[256] = {};
    // Presses since the last read of the device: a key or button pressed and released again between two
    // reads still reads as pressed once (a quick tap, a click of an automated run at a low frame rate).
    uint8_t keyPressed[256] = {};
    uint8_t mousePressed[4] = {};
    uint8_t joyPressed[32] = {};
    bool scrollLockToggle = false;
    DeviceState keyboard, mouse;
    int32_t mouseMove[3] = {};
    uint8_t mouseButtons[4] = {};
    // Joystick: the raw positions and the settings of the open device.
    SDL_Joystick* joystick = nullptr;
    bool joystickOpen = false;
    bool joystickSubsystem = false;
    bool virtualJoystick = false;
    int32_t rawAxes[kJoyAxisCount] = {};
    uint32_t hat = 0xFFFFFFFFu;
    uint8_t joyButtons[32] = {};
    AxisSetting axes[kJoyAxisCount];
};
InputState g;

bool HasFocus() {
    return g.focused;
}

void OnEvent(const void* raw) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (!e.key.repeat) {
                int code = ScanCodeFromSdl(e.key.keysym.scancode);
                if (code) InjectKey(code, e.type == SDL_KEYDOWN);
            }
            break;
        case SDL_MOUSEMOTION:
            if (g.mouse.acquired) InjectMouseMotion(e.motion.xrel, e.motion.yrel, 0);
            break;
        case SDL_MOUSEWHEEL:
            if (g.mouse.acquired) {
                int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
                InjectMouseMotion(0, 0, y * 120);
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            bool down = e.type == SDL_MOUSEBUTTONDOWN;
            switch (e.button.button) {
                case SDL_BUTTON_LEFT:
                    InjectMouseButton(0, down);
                    break;
                case SDL_BUTTON_RIGHT:
                    InjectMouseButton(1, down);
                    break;
                case SDL_BUTTON_MIDDLE:
                    InjectMouseButton(2, down);
                    break;
                case SDL_BUTTON_X1:
                    InjectMouseButton(3, down);
                    break;
                default:
                    break;
            }
            break;
        }
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) SetInputFocus(false);
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) SetInputFocus(true);
            break;
        default:
            break;
    }
}

void SetRelativeMouse(bool on) {
    if (HasWindow()) SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

bool Acquire(DeviceState& d) {
    if (!HasFocus()) return false;
    d.created = true;
    d.acquired = true;
    d.lost = false;
    return true;
}

InputRead ReadState(DeviceState& d) {
    if (d.lost) {
        d.lost = false;
        return InputRead::InputLost;
    }
    return d.acquired ? InputRead::Ok : InputRead::NotAcquired;
}

}  // namespace

void OpenInput() {
    if (g.listening) return;
    AddEventListener(OnEvent);
    g.listening = true;
}

void CloseInput() {
    UnacquireKeyboard();
    UnacquireMouse();
    CloseJoystick();
    bool listening = g.listening;
    bool virtualJoystick = g.virtualJoystick;
    g = InputState();
    g.listening = listening;
    g.virtualJoystick =
        virtualJoystick;  // the window keeps the listener; it is harmless while nothing is acquired
}

bool AcquireKeyboard() {
    if (!Acquire(g.keyboard)) return false;
    memset(g.keyPressed, 0, sizeof g.keyPressed);  // presses before the acquisition are not reported
    return true;
}
void UnacquireKeyboard() {
    g.keyboard.acquired = false;
}

InputRead ReadKeyboard(uint8_t state[256]) {
    InputRead r = ReadState(g.keyboard);
    if (r != InputRead::Ok) return r;
    if (InputScriptLoaded()) AdvanceInputScript(true);
    for (int i = 0; i < 256; ++i) state[i] = g.keys[i] | g.keyPressed[i];
    memset(g.keyPressed, 0, sizeof g.keyPressed);
    return r;
}

bool MouseHasWheel() {
    return true;
}

bool AcquireMouse() {
    if (!Acquire(g.mouse)) return false;
    memset(g.mousePressed, 0, sizeof g.mousePressed);
    SetRelativeMouse(true);
    return true;
}

void UnacquireMouse() {
    if (g.mouse.acquired) SetRelativeMouse(false);
    g.mouse.acquired = false;
}

InputRead ReadMouse(MouseSample* out) {
    InputRead r = ReadState(g.mouse);
    if (r != InputRead::Ok) return r;
    if (InputScriptLoaded()) AdvanceInputScript(false);
    out->x = g.mouseMove[0];
    out->y = g.mouseMove[1];
    out->z = g.mouseMove[2];
    for (int i = 0; i < 4; ++i) out->buttons[i] = g.mouseButtons[i] | g.mousePressed[i];
    memset(g.mousePressed, 0, sizeof g.mousePressed);
    g.mouseMove[0] = g.mouseMove[1] = g.mouseMove[2] = 0;
    return r;
}

static bool VirtualJoystick() {
    return g.virtualJoystick || (IsHeadless() && InputScriptUsesJoystick());
}

int JoystickCount() {
    if (VirtualJoystick()) return 1;
    if (IsHeadless()) return 0;
    if (!g.joystickSubsystem) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return 0;
        g.joystickSubsystem = true;
    }
    int n = SDL_NumJoysticks();
    return n > 0 ? n : 0;
}

bool OpenJoystick(int index, JoystickCaps* caps) {
    CloseJoystick();
    JoystickCaps c = {0, 0, 0};
    if (VirtualJoystick()) {
        if (index != 0) return false;
        c = {kJoyAxisCount, 32, 1};
    } else {
        if (index < 0 || index >= JoystickCount()) return false;
        g.joystick = SDL_JoystickOpen(index);
        if (!g.joystick) return false;
        c.axes = std::min(SDL_JoystickNumAxes(g.joystick), static_cast<int>(kJoyAxisCount));
        c.buttons = std::min(SDL_JoystickNumButtons(g.joystick), 32);
        c.povs = std::min(SDL_JoystickNumHats(g.joystick), 4);
    }
    for (AxisSetting& a : g.axes) a = AxisSetting();
    g.joystickOpen = true;
    if (caps) *caps = c;
    return true;
}

void CloseJoystick() {
    if (g.joystick) SDL_JoystickClose(g.joystick);
    g.joystick = nullptr;
    g.joystickOpen = false;
}

bool JoystickOpen() {
    return g.joystickOpen;
}
void UseVirtualJoystick(bool on) {
    g.virtualJoystick = on;
}

void SetJoystickAxisRange(int axis, int32_t min, int32_t max) {
    if (axis < 0 || axis >= kJoyAxisCount || min >= max) return;
    g.axes[axis].min = min;
    g.axes[axis].max = max;
}

void SetJoystickDeadZone(int axis, int32_t deadZone) {
    if (axis < 0 || axis >= kJoyAxisCount) return;
    g.axes[axis].deadZone = std::clamp(deadZone, 0, 10000);
}

bool PollJoystick() {
    if (!g.joystickOpen) return false;
    if (g.joystick) {
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(g.joystick)) return false;
    }
    return true;
}

bool ReadJoystick(JoystickSample* out) {
    if (!g.joystickOpen) return false;
    if (InputScriptLoaded()) AdvanceInputScript(false);
    if (g.joystick) {
        int axes = std::min(SDL_JoystickNumAxes(g.joystick), static_cast<int>(kJoyAxisCount));
        for (int i = 0; i < axes; ++i) g.rawAxes[i] = SDL_JoystickGetAxis(g.joystick, i);
        g.hat =
            SDL_JoystickNumHats(g.joystick) > 0 ? HatAngle(SDL_JoystickGetHat(g.joystick, 0)) : 0xFFFFFFFFu;
        int buttons = std::min(SDL_JoystickNumButtons(g.joystick), 32);
        for (int i = 0; i < buttons; ++i) g.joyButtons[i] = SDL_JoystickGetButton(g.joystick, i) ? 0x80 : 0;
    }
    for (int i = 0; i < kJoyAxisCount; ++i)
        out->axes[i] = ScaleJoystickAxis(g.rawAxes[i], g.axes[i].min, g.axes[i].max, g.axes[i].deadZone);
    out->pov[0] = g.hat;
    out->pov[1] = out->pov[2] = out->pov[3] = 0xFFFFFFFFu;
    for (int i = 0; i < 32; ++i) out->buttons[i] = g.joyButtons[i] | g.joyPressed[i];
    memset(g.joyPressed, 0, sizeof g.joyPressed);
    return true;
}

bool ScrollLockOn() {
    if (HasWindow()) return (SDL_GetModState() & KMOD_SCROLL) != 0;
    return g.scrollLockToggle;
}

bool PrintScreenDown() {
    return (g.keys[kScanPrintScreen] & 0x80) != 0;
}

void SetInputFocus(bool focused) {
    g.focused = focused;
    if (focused) return;
    for (DeviceState* d : {&g.keyboard, &g.mouse}) {
        if (d->acquired) d->lost = true;
        d->acquired = false;
    }
    SetRelativeMouse(false);
    g.mouseMove[0] = g.mouseMove[1] = g.mouseMove[2] = 0;
    memset(g.keyPressed, 0, sizeof g.keyPressed);
    memset(g.mousePressed, 0, sizeof g.mousePressed);
}

// Kept apart from the device state: closing the devices does not forget it.
KeyPressObserver g_keyPressObserver = nullptr;

void SetKeyPressObserver(KeyPressObserver observer) { g_keyPressObserver = observer; }

void InjectKey(int scanCode, bool down) {
    if (scanCode <= 0 || scanCode > 255) return;
    if (down && g_keyPressObserver && !(g.keys[scanCode] & 0x80)) g_keyPressObserver(scanCode);
    if (down && scanCode == kScanScrollLock && !(g.keys[scanCode] & 0x80))
        g.scrollLockToggle = !g.scrollLockToggle;
    g.keys[scanCode] = down ? 0x80 : 0;
    if (down) g.keyPressed[scanCode] = 0x80;
}

void InjectMouseMotion(int32_t dx, int32_t dy, int32_t dz) {
    // Saturating sums: a flood of motion between two reads must not wrap around. The bound is the same
    // both ways, so that a reader may negate a sum (the pointer's y) without overflow.
    auto add = [](int32_t& acc, int32_t d) {
        int64_t s = static_cast<int64_t>(acc) + d;
        acc = static_cast<int32_t>(std::clamp<int64_t>(s, -INT32_MAX, INT32_MAX));
    };
    add(g.mouseMove[0], dx);
    add(g.mouseMove[1], dy);
    add(g.mouseMove[2], dz);
}

void InjectMouseButton(int button, bool down) {
    if (button < 0 || button >= 4) return;
    g.mouseButtons[button] = down ? 0x80 : 0;
    if (down) g.mousePressed[button] = 0x80;
}

void InjectJoystickAxis(int axis, int32_t raw) {
    if (axis >= 0 && axis < kJoyAxisCount) g.rawAxes[axis] = std::clamp(raw, -32768, 32767);
}

void InjectJoystickHat(uint32_t angle) {
    g.hat = angle;
}

void InjectJoystickButton(int button, bool down) {
    if (button < 0 || button >= 32) return;
    g.joyButtons[button] = down ? 0x80 : 0;
    if (down) g.joyPressed[button] = 0x80;
}

int ScanCodeFromSdl(int sdlScancode) {
    for (const ScanPair& p : kScanTable)
        if (p.sdl == sdlScancode) return p.code;
    return 0;
}

int SdlFromScanCode(int scanCode) {
    for (const ScanPair& p : kScanTable)
        if (p.code == scanCode) return p.sdl;
    return 0;
}

bool LayoutNameToLatin1(const char* utf8, char* out, int size) {
    if (!utf8 || !out || size < 2) return false;
    int n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
        unsigned int c = *p++;
        if (c >= 0x80) {
            // Only the two-byte forms of U+0080..U+00FF fit Latin-1.
            if ((c & 0xFE) != 0xC2 || (*p & 0xC0) != 0x80) return false;
            c = ((c & 0x1F) << 6) | (*p++ & 0x3F);
        }
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return false;
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        // The Latin-1 small letters (except the sharp s and the y with diaeresis) have their capitals 0x20 below.
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7) c -= 0x20;
        if (n + 1 >= size) return false;
        out[n++] = static_cast<char>(c);
    }
    out[n] = 0;
    return n > 0;
}

bool KeyboardLayoutKeyName(int scanCode, char* out, int size) {
    // The layout is known once the window's video system is up.
    if (!HasWindow() || !SDL_WasInit(SDL_INIT_VIDEO)) return false;
    const int sdl = SdlFromScanCode(scanCode);
    if (sdl == 0) return false;
    const SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sdl));
    if (key == SDLK_UNKNOWN) return false;
    return LayoutNameToLatin1(SDL_GetKeyName(key), out, size);
}

int32_t ScaleJoystickAxis(int32_t raw, int32_t min, int32_t max, int32_t deadZone) {
    int64_t r = std::clamp(raw, -32767, 32767);
    int64_t travel = r * 10000 / 32767;  // -10000..10000 of the travel from the centre
    int64_t mag = travel < 0 ? -travel : travel;
    int64_t dz = std::clamp(deadZone, 0, 10000);
    // Inside the dead zone the axis rests at its centre; beyond it the rest of the travel is stretched
    // over the whole half range, so the value does not jump at the edge of the dead zone.
    int64_t offset = (mag <= dz || dz >= 10000) ? 0 : (mag - dz) * 10000 / (10000 - dz);
    if (travel < 0) offset = -offset;
    int64_t span = static_cast<int64_t>(max) - min;
    return static_cast<int32_t>(min + span * (10000 + offset) / 20000);
}

uint32_t HatAngle(int sdlHat) {
    switch (sdlHat) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return 0xFFFFFFFFu;
    }
}

}  // namespace host
