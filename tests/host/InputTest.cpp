#include "host/Input.h"

#include <gtest/gtest.h>

#include <set>

#include "host/InputScript.h"

namespace {

// Every keyboard code that the game's key-name table names, from Escape to the keypad's Enter.
constexpr int kNamedKeyboardCodes[] = {
    1,  59,  60, 61, 62, 63, 64, 65, 66,  67,  68,  87,  88,  183, 70,  41,  2,   3,   4,   5,   6,
    7,  8,   9,  10, 11, 12, 13, 14, 15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,
    29, 30,  31, 32, 33, 34, 35, 36, 37,  38,  39,  40,  28,  42,  43,  44,  45,  46,  47,  48,  49,
    50, 51,  52, 53, 54, 58, 56, 57, 184, 157, 210, 199, 201, 211, 197, 207, 209, 200, 208, 203, 205,
    69, 181, 55, 74, 78, 71, 72, 73, 75,  76,  77,  79,  80,  81,  82,  83,  156};

TEST(ScanCodeTable, EveryNamedKeyboardKeyRoundTripsThroughItsSdlScancode) {
    std::set<int> sdlSeen;
    for (int code : kNamedKeyboardCodes) {
        int sdl = host::SdlFromScanCode(code);
        ASSERT_NE(sdl, 0) << "no SDL scancode for key code " << code;
        EXPECT_EQ(host::ScanCodeFromSdl(sdl), code) << "key code " << code;
        EXPECT_TRUE(sdlSeen.insert(sdl).second) << "two key codes share SDL scancode " << sdl;
    }
}

TEST(ScanCodeTable, PositionsFollowTheBoardNotTheLetters) {
    // SDL scancodes are USB usage positions: A is 4, Z is 29, Y is 28; the game's codes are board positions
    // of the PC keyboard, so the key in Y's place is 21 and the key in Z's place is 44 on every layout.
    struct Case {
        int sdl, code;
    } cases[] = {{4, 30},    {28, 21},   {29, 44},  {40, 28}, {41, 1},   {44, 57},  {88, 156}, {224, 29},
                 {228, 157}, {230, 184}, {70, 183}, {71, 70}, {72, 197}, {82, 200}, {84, 181}};
    for (const Case& c : cases) EXPECT_EQ(host::ScanCodeFromSdl(c.sdl), c.code) << "sdl " << c.sdl;
}

TEST(ScanCodeTable, KeysWithoutCodeGiveZero) {
    for (int sdl : {0, 3, 104 /* F13 */, 400, -1}) EXPECT_EQ(host::ScanCodeFromSdl(sdl), 0) << sdl;
    for (int code : {0, 84, 255, 300}) EXPECT_EQ(host::SdlFromScanCode(code), 0) << code;
}

// A layout's key names as the key screen shows them: in capitals, in Latin-1, or not at all.
TEST(LayoutKeyNames, AreCapitalsInLatin1OrRefused) {
    struct Case {
        const char* name;
        int size;
        const char* shown;  // null: refused
    } cases[] = {
        {"Home", 15, "HOME"},
        {"z", 15, "Z"},
        {"Keypad 8", 15, "KEYPAD 8"},
        {"\xc3\xbc", 15, "\xdc"},         // u with diaeresis: U with diaeresis in Latin-1
        {"\xc3\x9f", 15, "\xdf"},         // the sharp s has no capital of its own
        {"\xe2\x82\xac", 15, nullptr},    // the euro sign is not Latin-1
        {"\xc3", 15, nullptr},             // a cut sequence
        {"", 15, nullptr},
        {"Application", 8, nullptr},       // does not fit
        {"Application", 12, "APPLICATION"},
    };
    for (const Case& c : cases) {
        char out[32] = "unchanged";
        EXPECT_EQ(host::LayoutNameToLatin1(c.name, out, c.size), c.shown != nullptr) << c.name;
        if (c.shown) {
            EXPECT_STREQ(out, c.shown) << c.name;
        }
    }
    // Without a window no layout is known, and the key screen keeps its own names.
    char out[16];
    EXPECT_FALSE(host::KeyboardLayoutKeyName(30, out, sizeof out));
}

TEST(JoystickAxis, RangeAndDeadZone) {
    struct Case {
        int32_t raw, min, max, deadZone, expected;
    } cases[] = {
        {0, -10000, 10000, 1000, 0},           {32767, -10000, 10000, 1000, 10000},
        {-32768, -10000, 10000, 1000, -10000}, {3276, -10000, 10000, 1000, 0},     // 9.99 %: inside
        {-3276, -10000, 10000, 1000, 0},       {3277, -10000, 10000, 1000, 0},     // exactly 10 %: inside
        {3310, -10000, 10000, 1000, 11},       {-3310, -10000, 10000, 1000, -11},  // just beyond: no jump
        {16384, -10000, 10000, 1000, 4444},    {-16384, -10000, 10000, 1000, -4444},
        {32767, -1000, 1000, 0, 1000},         {-32768, -1000, 1000, 0, -1000},
        {16384, -1000, 1000, 0, 500},          {0, 0, 65535, 0, 32767},
        {32767, 0, 65535, 0, 65535},           {-32768, 0, 65535, 0, 0},
        {32767, -10000, 10000, 10000, 0},  // a dead zone over the whole travel rests at the centre
    };
    for (const Case& c : cases)
        EXPECT_EQ(host::ScaleJoystickAxis(c.raw, c.min, c.max, c.deadZone), c.expected)
            << c.raw << " in [" << c.min << ", " << c.max << "] dz " << c.deadZone;
}

TEST(JoystickHat, SdlPositionsBecomeHundredthsOfADegreeClockwiseFromUp) {
    // SDL hat bits: up 1, right 2, down 4, left 8.
    struct Case {
        int bits;
        uint32_t angle;
    } cases[] = {{0, 0xFFFFFFFFu}, {1, 0},      {3, 4500},  {2, 9000}, {6, 13500},
                 {4, 18000},       {12, 22500}, {8, 27000}, {9, 31500}};
    for (const Case& c : cases) EXPECT_EQ(host::HatAngle(c.bits), c.angle) << c.bits;
}

class HostInput : public ::testing::Test {
protected:
    void SetUp() override {
        host::CloseInput();
        host::ClearInputScript();
        host::SetInputFocus(true);
    }
    void TearDown() override {
        host::CloseInput();
        host::SetInputFocus(true);
    }
};

TEST_F(HostInput, KeyboardIsLostWithTheFocusAndCannotBeAcquiredUntilItReturns) {
    ASSERT_TRUE(host::AcquireKeyboard());
    host::InjectKey(30, true);
    uint8_t state[256] = {};
    ASSERT_EQ(host::ReadKeyboard(state), host::InputRead::Ok);
    EXPECT_EQ(state[30], 0x80);

    host::SetInputFocus(false);
    EXPECT_EQ(host::ReadKeyboard(state), host::InputRead::InputLost);
    EXPECT_EQ(host::ReadKeyboard(state), host::InputRead::NotAcquired);
    EXPECT_FALSE(host::AcquireKeyboard());

    host::SetInputFocus(true);
    EXPECT_TRUE(host::AcquireKeyboard());
    EXPECT_EQ(host::ReadKeyboard(state), host::InputRead::Ok);
}

TEST_F(HostInput, MouseReportsMovementSinceTheLastReadAndItsButtons) {
    ASSERT_TRUE(host::AcquireMouse());
    host::InjectMouseMotion(3, -4, 0);
    host::InjectMouseMotion(2, 1, 120);
    host::InjectMouseButton(1, true);
    host::InjectMouseButton(4, true);  // no fifth button: ignored
    host::MouseSample m;
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.x, 5);
    EXPECT_EQ(m.y, -3);
    EXPECT_EQ(m.z, 120);
    EXPECT_EQ(m.buttons[0], 0);
    EXPECT_EQ(m.buttons[1], 0x80);
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.x, 0);
    EXPECT_EQ(m.y, 0);
    EXPECT_EQ(m.z, 0);
    EXPECT_EQ(m.buttons[1], 0x80);  // still held
}

TEST_F(HostInput, MouseMovementSaturatesInsteadOfWrapping) {
    ASSERT_TRUE(host::AcquireMouse());
    for (int i = 0; i < 3; ++i) host::InjectMouseMotion(INT32_MAX, INT32_MIN, 0);
    host::MouseSample m;
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.x, INT32_MAX);
    // The same bound downward, so that the pointer's -y stays a number.
    EXPECT_EQ(m.y, -INT32_MAX);
}

TEST_F(HostInput, ScrollLockTogglesOnEachPressAndPrintScreenIsReadLive) {
    EXPECT_FALSE(host::ScrollLockOn());
    host::InjectKey(host::kScanScrollLock, true);
    host::InjectKey(host::kScanScrollLock, true);  // held: no second toggle
    EXPECT_TRUE(host::ScrollLockOn());
    host::InjectKey(host::kScanScrollLock, false);
    host::InjectKey(host::kScanScrollLock, true);
    EXPECT_FALSE(host::ScrollLockOn());

    EXPECT_FALSE(host::PrintScreenDown());
    host::InjectKey(host::kScanPrintScreen, true);
    EXPECT_TRUE(host::PrintScreenDown());
}

TEST_F(HostInput, VirtualJoystickScalesItsAxesAndReportsHatAndButtons) {
    host::UseVirtualJoystick(true);
    ASSERT_EQ(host::JoystickCount(), 1);
    host::JoystickCaps caps;
    ASSERT_TRUE(host::OpenJoystick(0, &caps));
    EXPECT_EQ(caps.povs, 1);
    host::SetJoystickAxisRange(host::kJoyX, -10000, 10000);
    host::SetJoystickDeadZone(host::kJoyX, 1000);
    host::SetJoystickAxisRange(host::kJoyRx, -1000, 1000);
    host::InjectJoystickAxis(host::kJoyX, 32767);
    host::InjectJoystickAxis(host::kJoyRx, -32768);
    host::InjectJoystickHat(9000);
    host::InjectJoystickButton(2, true);
    host::JoystickSample s;
    ASSERT_TRUE(host::PollJoystick());
    ASSERT_TRUE(host::ReadJoystick(&s));
    EXPECT_EQ(s.axes[host::kJoyX], 10000);
    EXPECT_EQ(s.axes[host::kJoyRx], -1000);
    EXPECT_EQ(s.axes[host::kJoyY], 32767);  // unset range: 0..65535, centred
    EXPECT_EQ(s.pov[0], 9000u);
    EXPECT_EQ(s.buttons[2], 0x80);
    host::CloseJoystick();
    EXPECT_FALSE(host::ReadJoystick(&s));
    host::UseVirtualJoystick(false);
}

}  // namespace
