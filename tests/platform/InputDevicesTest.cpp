#include "platform/InputDevices.h"

#include <gtest/gtest.h>

#include "core/Files.h"
#include "host/Input.h"
#include "host/InputScript.h"
#include "support/Fatal.h"

namespace {

constexpr int kHatUp = 260, kHatDown = 261, kHatLeft = 262, kHatRight = 263;
constexpr int kEitherAlt = 274, kEitherCtrl = 275, kEitherShift = 276;

TEST(HatKeys, BoundariesBelongToBothNeighbours) {
    struct Case {
        uint32_t hat;
        bool up, down, left, right;
    } cases[] = {
        {0, true, false, false, false},
        {4499, true, false, false, false},
        {4500, true, false, false, true},
        {4501, false, false, false, true},
        {9000, false, false, false, true},
        {13500, false, true, false, true},
        {18000, false, true, false, false},
        {22500, false, true, true, false},
        {27000, false, false, true, false},
        {31499, false, false, true, false},
        {31500, true, false, true, false},
        {35999, true, false, false, false},
        {0xFFFFFFFFu, false, false, false, false},
        {0x0000FFFFu, false, false, false, false},
    };
    for (const Case& c : cases) {
        SetHatKeys(c.hat);
        EXPECT_EQ(KeyStates[kHatUp] != 0, c.up) << c.hat;
        EXPECT_EQ(KeyStates[kHatDown] != 0, c.down) << c.hat;
        EXPECT_EQ(KeyStates[kHatLeft] != 0, c.left) << c.hat;
        EXPECT_EQ(KeyStates[kHatRight] != 0, c.right) << c.hat;
    }
    SetHatKeys(0xFFFFFFFFu);
}

class InputDevices : public ::testing::Test {
protected:
    void SetUp() override {
        host::CloseInput();
        host::ClearInputScript();
        host::SetInputFocus(true);
        dxgl_InitDI();
        dxgl_InitKeyboard();
        dxgl_InitMouse();
    }
    void TearDown() override {
        dxgl_ReleaseMouse();
        dxgl_ReleaseJoy();
        dxgl_ReleaseKeyboard();
        dxgl_ReleaseDI();
        host::CloseInput();
        host::UseVirtualJoystick(false);
        host::SetInputFocus(true);
        for (uint8_t& k : KeyStates) k = 0;
    }
};

TEST_F(InputDevices, EitherSideModifierCodesFollowTheKeyboard) {
    struct Case {
        int scan;
        int derived;
    } cases[] = {{56, kEitherAlt},   {184, kEitherAlt},  {29, kEitherCtrl},
                 {157, kEitherCtrl}, {42, kEitherShift}, {54, kEitherShift}};
    for (const Case& c : cases) {
        host::InjectKey(c.scan, true);
        dxgl_UpdateKeyboardState();
        EXPECT_EQ(KeyStates[c.scan], 0x80) << c.scan;
        for (int d : {kEitherAlt, kEitherCtrl, kEitherShift})
            EXPECT_EQ(KeyStates[d], d == c.derived ? 1 : 0) << "scan " << c.scan << " code " << d;
        host::InjectKey(c.scan, false);
        dxgl_UpdateKeyboardState();
        EXPECT_EQ(KeyStates[c.derived], 0) << c.scan;
    }
}

TEST_F(InputDevices, KeyboardKeepsItsOldStateWhileItCannotBeReacquired) {
    host::InjectKey(17, true);
    dxgl_UpdateKeyboardState();
    ASSERT_EQ(KeyStates[17], 0x80);

    host::SetInputFocus(false);
    host::InjectKey(17, false);
    host::InjectKey(30, true);
    dxgl_UpdateKeyboardState();
    EXPECT_EQ(KeyStates[17], 0x80);  // the previous state remains
    EXPECT_EQ(KeyStates[30], 0);

    host::SetInputFocus(true);
    dxgl_UpdateKeyboardState();  // acquired again and read at once
    EXPECT_EQ(KeyStates[17], 0);
    EXPECT_EQ(KeyStates[30], 0x80);
}

TEST_F(InputDevices, MouseButtonsBecomeCodes256To259) {
    host::InjectMouseButton(0, true);
    host::InjectMouseButton(3, true);
    host::InjectMouseMotion(4, 5, -120);
    dxgl_UpdateMouseState();
    EXPECT_EQ(MouseState.lX, 4);
    EXPECT_EQ(MouseState.lY, 5);
    EXPECT_EQ(MouseState.lZ, -120);
    const uint8_t expected[4] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(KeyStates[256 + i], expected[i]) << i;
    EXPECT_EQ(MouseHasWheel, 1);
    host::InjectMouseButton(0, false);
    host::InjectMouseButton(3, false);
    dxgl_UpdateMouseState();
    EXPECT_EQ(MouseState.lX, 0);
    EXPECT_EQ(KeyStates[256], 0);
}

TEST_F(InputDevices, WithoutJoystickNothingOpensAndUpdatesDoNothing) {
    host::UseVirtualJoystick(false);
    kvtest::FatalCatcher fatal;
    dxgl_InitJoy();
    EXPECT_FALSE(dxgl_JoyOpen());
    KeyStates[264] = 7;
    dxgl_UpdateJoyState();
    EXPECT_EQ(KeyStates[264], 7);
}

TEST_F(InputDevices, JoystickAxesHatAndButtonsFillStateKeysAndTheAccumulatorSample) {
    host::UseVirtualJoystick(true);
    dxgl_InitJoy();
    ASSERT_TRUE(dxgl_JoyOpen());
    host::InjectJoystickAxis(host::kJoyX, 32767);
    host::InjectJoystickAxis(host::kJoyY, 2000);  // inside the dead zone
    host::InjectJoystickAxis(host::kJoyZ, -16384);
    host::InjectJoystickAxis(host::kJoyRx, 32767);
    host::InjectJoystickAxis(host::kJoyRz, -32768);
    host::InjectJoystickAxis(host::kJoySlider1, -32768);
    host::InjectJoystickHat(13500);
    host::InjectJoystickButton(0, true);
    host::InjectJoystickButton(9, true);
    host::InjectJoystickButton(10, true);  // beyond the ten button codes
    dxgl_UpdateJoyState();
    EXPECT_EQ(JoyState.lX, 10000);
    EXPECT_EQ(JoyState.lY, 0);
    EXPECT_EQ(JoyState.lZ, -4444);
    EXPECT_EQ(JoyState.lRx, 1000);
    EXPECT_EQ(JoyState.lRy, 0);
    EXPECT_EQ(JoyState.lRz, -10000);
    EXPECT_EQ(JoyState.rglSlider[1], -1000);
    EXPECT_EQ(JoyHat, 13500u);
    EXPECT_EQ(KeyStates[kHatDown], 1);
    EXPECT_EQ(KeyStates[kHatRight], 1);
    EXPECT_EQ(KeyStates[264], 1);
    EXPECT_EQ(KeyStates[273], 1);
    EXPECT_EQ(KeyStates[265], 0);
    EXPECT_EQ(JoyState.rgbButtons[10], 0x80);
    EXPECT_EQ(JoystickAxesSample.x, 10000);
    EXPECT_EQ(JoystickAxesSample.z, -4444);
    EXPECT_EQ(JoystickAxesSample.rz, -10000);
    EXPECT_EQ(JoystickAxesSample.hat, 13500);

    dxgl_ReleaseJoy();  // a released joystick rests centred
    EXPECT_EQ(JoystickAxesSample.x, 0);
    EXPECT_EQ(JoystickAxesSample.hat, -1);
    EXPECT_EQ(KeyStates[264], 0);
    EXPECT_EQ(KeyStates[kHatDown], 0);
}

}  // namespace
