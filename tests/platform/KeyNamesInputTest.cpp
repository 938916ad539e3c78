// Every named key reaches its state byte: from its name through the key-name table to its code, from the
// code to the SDL scancode and back, and from a scripted press by name to the key-state array.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Keys.h"
#include "host/Input.h"
#include "host/InputScript.h"
#include "platform/InputDevices.h"

namespace {

class NamedKeys : public ::testing::Test {
protected:
    void SetUp() override {
        InitKeyNames();
        host::CloseInput();
        host::ClearInputScript();
        host::SetInputFocus(true);
        host::UseVirtualJoystick(true);
        dxgl_InitDI();
        dxgl_InitKeyboard();
        dxgl_InitMouse();
        dxgl_InitJoy();
        ASSERT_TRUE(dxgl_JoyOpen());
    }
    void TearDown() override {
        dxgl_ReleaseMouse();
        dxgl_ReleaseJoy();
        dxgl_ReleaseKeyboard();
        dxgl_ReleaseDI();
        host::CloseInput();
        host::UseVirtualJoystick(false);
        FreeKeyNames();
    }
    static void Update() {
        dxgl_UpdateKeyboardState();
        dxgl_UpdateJoyState();
        dxgl_UpdateMouseState();
    }
    // Presses or releases a key the way an input script does.
    static void Script(const std::string& line) {
        std::vector<host::ScriptEvent> events;
        std::string error;
        ASSERT_TRUE(host::ParseInputScript(line.c_str(), &events, &error)) << error;
        ASSERT_TRUE(host::ResolveInputScript(&events, KeyIndexByName, &error)) << error;
        for (const host::ScriptEvent& e : events) host::ApplyScriptEvent(e);
    }
};

TEST_F(NamedKeys, EveryNameReachesItsCodeItsScancodeAndItsStateByte) {
    ASSERT_EQ(KeyNames.rows, 125);
    for (int r = 0; r < KeyNames.rows; ++r) {
        const std::string name = KeyNames.names[r];
        const int code = KeyNames.codes[r];
        SCOPED_TRACE(name);
        EXPECT_EQ(KeyIndexByName(name.c_str()), code);
        if (code < 256) {
            int sdl = host::SdlFromScanCode(code);
            EXPECT_NE(sdl, 0);
            EXPECT_EQ(host::ScanCodeFromSdl(sdl), code);
        }
        Script("1 down " + name);
        Update();
        EXPECT_NE(KeyStateByte(code), 0);
        Script("1 up " + name);
        Update();
        EXPECT_EQ(KeyStateByte(code), 0);
    }
}

}  // namespace
