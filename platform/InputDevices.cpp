#include "platform/InputDevices.h"

#include <cstring>
#include <string>

#include "core/Files.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "host/Input.h"
#include "host/InputScript.h"
#include "platform/DxError.h"

MouseStateRecord MouseState;
int MouseHasWheel = 0;
JoyStateRecord JoyState;
uint32_t JoyHat = 0xFFFFFFFFu;
JoyCapsRecord JoyCaps;

namespace {

constexpr int kKeyMouseButton0 = 256;
constexpr int kKeyHatUp = 260, kKeyHatDown = 261, kKeyHatLeft = 262, kKeyHatRight = 263;
constexpr int kKeyJoyButton0 = 264;
constexpr int kKeyEitherAlt = 274, kKeyEitherCtrl = 275, kKeyEitherShift = 276;

bool g_diOpen = false;
bool g_keyboardOpen = false;
bool g_mouseOpen = false;
bool g_joyOpen = false;

constexpr int kScanLeftAlt = 56, kScanRightAlt = 184;
constexpr int kScanLeftCtrl = 29, kScanRightCtrl = 157;
constexpr int kScanLeftShift = 42, kScanRightShift = 54;

// The script's key names can only be resolved once the key-name table exists, which is after the devices
// open; the first keyboard read does it.
void ResolveScriptKeys() {
    if (!host::InputScriptLoaded()) return;
    std::string error;
    if (!host::ResolveLoadedInputScript(KeyNames.rows > 0 ? KeyIndexByName : nullptr, &error))
        FatalErrorF("Error(InputScript): %s", error.c_str());
}

// Reads a keyboard or mouse; a device that lost its acquisition is acquired again and read once more, as
// long as acquiring succeeds (a bounded number of times). False leaves the caller's previous state.
template <typename Read, typename Acquire>
bool ReadWithRecovery(Read read, Acquire acquire) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        host::InputRead r = read();
        if (r == host::InputRead::Ok) return true;
        if (!acquire()) return false;
    }
    return false;
}

}  // namespace

void dxgl_InitDI() {
    host::OpenInput();
    g_diOpen = true;
}

void dxgl_ReleaseDI() {
    g_diOpen = false;
}

void dxgl_InitKeyboard() {
    if (!g_diOpen) FatalError("Error(dxgl_InitKeyboard): CreateDevice failed");
    g_keyboardOpen = true;
    // Without the input focus the keyboard cannot be acquired yet; the first read acquires it then.
    host::AcquireKeyboard();
}

int dxgl_InitMouse() {
    if (!g_diOpen) FatalError("Error(dxgl_InitMouse): CreateDevice failed");
    g_mouseOpen = true;
    host::AcquireMouse();
    MouseHasWheel = host::MouseHasWheel() ? 1 : 0;
    return 0;
}

void dxgl_InitJoy() {
    if (!g_diOpen) return;
    int count = host::JoystickCount();
    host::JoystickCaps caps = {0, 0, 0};
    for (int i = 0; i < count && !g_joyOpen; ++i) {
        if (host::OpenJoystick(i, &caps))
            g_joyOpen = true;
        else
            dxgl_Notify("could not get joystick access");
    }
    if (!g_joyOpen) return;
    for (int axis = 0; axis < host::kJoyAxisCount; ++axis) host::SetJoystickAxisRange(axis, -1000, 1000);
    JoyCaps = {caps.axes, caps.buttons, caps.povs};
    for (int axis : {host::kJoyX, host::kJoyY, host::kJoyZ, host::kJoyRz}) {
        host::SetJoystickAxisRange(axis, -10000, 10000);
        host::SetJoystickDeadZone(axis, 1000);
    }
}

bool dxgl_JoyOpen() {
    return g_joyOpen;
}

void dxgl_UpdateKeyboardState() {
    if (!g_keyboardOpen) return;
    ResolveScriptKeys();
    uint8_t keys[256];
    if (ReadWithRecovery([&] { return host::ReadKeyboard(keys); }, [] { return host::AcquireKeyboard(); }))
        memcpy(KeyStates, keys, 256);
    KeyStates[kKeyEitherAlt] = (KeyStates[kScanLeftAlt] | KeyStates[kScanRightAlt]) ? 1 : 0;
    KeyStates[kKeyEitherCtrl] = (KeyStates[kScanLeftCtrl] | KeyStates[kScanRightCtrl]) ? 1 : 0;
    KeyStates[kKeyEitherShift] = (KeyStates[kScanLeftShift] | KeyStates[kScanRightShift]) ? 1 : 0;
}

void dxgl_UpdateMouseState() {
    if (!g_mouseOpen) return;
    host::MouseSample m;
    if (ReadWithRecovery([&] { return host::ReadMouse(&m); }, [] { return host::AcquireMouse(); })) {
        MouseState.lX = m.x;
        MouseState.lY = m.y;
        MouseState.lZ = m.z;
        memcpy(MouseState.rgbButtons, m.buttons, 4);
    }
    for (int i = 0; i < 4; ++i) KeyStates[kKeyMouseButton0 + i] = (MouseState.rgbButtons[i] & 0x80) ? 1 : 0;
}

void SetHatKeys(uint32_t hat) {
    KeyStates[kKeyHatUp] = KeyStates[kKeyHatDown] = KeyStates[kKeyHatLeft] = KeyStates[kKeyHatRight] = 0;
    if ((hat & 0xFFFF) == 0xFFFF) return;  // centred
    // Boundaries belong to both neighbours: 4500 is up and right at once.
    if (hat <= 4500 || hat >= 31500) KeyStates[kKeyHatUp] = 1;
    if (hat >= 4500 && hat <= 13500) KeyStates[kKeyHatRight] = 1;
    if (hat >= 13500 && hat <= 22500) KeyStates[kKeyHatDown] = 1;
    if (hat >= 22500 && hat <= 31500) KeyStates[kKeyHatLeft] = 1;
}

void dxgl_UpdateJoyState() {
    if (!g_joyOpen) return;
    if (!host::PollJoystick() && !host::PollJoystick()) {
        // The joystick was unplugged: it is closed and the game goes on without it rather than ending.
        dxgl_ReleaseJoy();
        return;
    }
    host::JoystickSample s;
    if (!host::ReadJoystick(&s)) FatalError("Error(dxgl_UpdateJoyState): GetDeviceState failed");
    JoyState.lX = s.axes[host::kJoyX];
    JoyState.lY = s.axes[host::kJoyY];
    JoyState.lZ = s.axes[host::kJoyZ];
    JoyState.lRx = s.axes[host::kJoyRx];
    JoyState.lRy = s.axes[host::kJoyRy];
    JoyState.lRz = s.axes[host::kJoyRz];
    JoyState.rglSlider[0] = s.axes[host::kJoySlider0];
    JoyState.rglSlider[1] = s.axes[host::kJoySlider1];
    memcpy(JoyState.rgdwPOV, s.pov, sizeof s.pov);
    memcpy(JoyState.rgbButtons, s.buttons, sizeof s.buttons);
    if (JoyCaps.povs == 0) JoyState.rgdwPOV[0] = 0xFFFFFFFFu;
    JoyHat = JoyState.rgdwPOV[0];
    SetHatKeys(JoyHat);
    for (int i = 0; i < 10; ++i) KeyStates[kKeyJoyButton0 + i] = (JoyState.rgbButtons[i] & 0x80) ? 1 : 0;
    // The sample the joystick accumulators read.
    JoystickAxesSample = {JoyState.lX, JoyState.lY, JoyState.lZ, JoyState.lRz, static_cast<int32_t>(JoyHat)};
}

void dxgl_ReleaseKeyboard() {
    if (!g_keyboardOpen) return;
    host::UnacquireKeyboard();
    g_keyboardOpen = false;
}

void dxgl_ReleaseMouse() {
    if (!g_mouseOpen) return;
    host::UnacquireMouse();
    g_mouseOpen = false;
}

void dxgl_ReleaseJoy() {
    if (!g_joyOpen) return;
    host::CloseJoystick();
    g_joyOpen = false;
    // A joystick that is gone rests centred, so nothing keeps integrating its last deflection.
    JoyState = JoyStateRecord{};
    for (uint32_t& pov : JoyState.rgdwPOV) pov = 0xFFFFFFFFu;
    JoyHat = 0xFFFFFFFFu;
    SetHatKeys(JoyHat);
    for (int i = 0; i < 10; ++i) KeyStates[kKeyJoyButton0 + i] = 0;
    JoystickAxesSample = {0, 0, 0, 0, -1};
}
