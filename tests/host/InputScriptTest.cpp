#include "host/InputScript.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "host/Input.h"
#include "host/Window.h"
#include "support/TempDir.h"

namespace {

using host::ScriptEvent;
using host::ScriptOp;

TEST(InputScriptParser, ReadsEveryKindOfEvent) {
    const char* text =
        "# a comment line\n"
        "\n"
        "3 down SPACE_KEY   # trailing comment\r\n"
        "  4 up 57\n"
        "5 move 10 -20\n"
        "5 move 0 0 -240\n"
        "6 axis rz -32768\n"
        "7 hat 27000\n"
        "8 hat -1\n";
    std::vector<ScriptEvent> ev;
    std::string error;
    ASSERT_TRUE(host::ParseInputScript(text, &ev, &error)) << error;
    ASSERT_EQ(ev.size(), 7u);
    EXPECT_EQ(ev[0].op, ScriptOp::KeyDown);
    EXPECT_EQ(ev[0].frame, 3);
    EXPECT_EQ(ev[0].line, 3);
    EXPECT_EQ(ev[0].key, "SPACE_KEY");
    EXPECT_EQ(ev[0].code, -1);  // names are resolved later
    EXPECT_EQ(ev[1].op, ScriptOp::KeyUp);
    EXPECT_EQ(ev[1].code, 57);
    EXPECT_EQ(ev[2].op, ScriptOp::MouseMove);
    EXPECT_EQ(ev[2].value[0], 10);
    EXPECT_EQ(ev[2].value[1], -20);
    EXPECT_EQ(ev[2].value[2], 0);
    EXPECT_EQ(ev[3].value[2], -240);
    EXPECT_EQ(ev[4].op, ScriptOp::JoyAxis);
    EXPECT_EQ(ev[4].code, host::kJoyRz);
    EXPECT_EQ(ev[4].value[0], -32768);
    EXPECT_EQ(ev[5].op, ScriptOp::JoyHat);
    EXPECT_EQ(ev[5].value[0], 27000);
    EXPECT_EQ(ev[6].value[0], -1);
}

TEST(InputScriptParser, SortsByFrameKeepingFileOrderWithinAFrame) {
    std::vector<ScriptEvent> ev;
    std::string error;
    ASSERT_TRUE(host::ParseInputScript("9 down 2\n1 down 3\n9 up 2\n1 up 3\n", &ev, &error)) << error;
    ASSERT_EQ(ev.size(), 4u);
    int expected[][2] = {{1, 2}, {1, 4}, {9, 1}, {9, 3}};  // frame, line
    for (size_t i = 0; i < ev.size(); ++i) {
        EXPECT_EQ(ev[i].frame, expected[i][0]);
        EXPECT_EQ(ev[i].line, expected[i][1]);
    }
}

TEST(InputScriptParser, RejectsMalformedLinesWithTheirLineNumber) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"down SPACE_KEY", "line 1: frame number expected, found 'down'"},
        {"-1 down 57", "line 1: frame number expected, found '-1'"},
        {"99999999999999 down 57", "line 1: frame number expected, found '99999999999999'"},
        {"\n\n4", "line 3: event expected after the frame number"},
        {"1 press 57", "line 1: unknown event 'press'"},
        {"1 down", "line 1: 'down' takes one key"},
        {"1 up 57 58", "line 1: 'up' takes one key"},
        {"1 down 0", "line 1: key code out of range: 0"},
        {"1 down 277", "line 1: key code out of range: 277"},
        {"1 down 5x", "line 1: key code out of range: 5x"},
        {"1 move 1", "line 1: 'move' takes DX DY and an optional DZ"},
        {"1 move 1 2 3 4", "line 1: 'move' takes DX DY and an optional DZ"},
        {"1 move 1 two", "line 1: mouse movement out of range: two"},
        {"1 axis w 0", "line 1: unknown joystick axis: w"},
        {"1 axis x 32768", "line 1: axis value out of range: 32768"},
        {"1 axis x", "line 1: 'axis' takes an axis name and a value"},
        {"1 hat 36000", "line 1: hat angle out of range: 36000"},
        {"1 hat -2", "line 1: hat angle out of range: -2"},
    };
    for (const Case& c : cases) {
        std::vector<ScriptEvent> ev;
        std::string error;
        EXPECT_FALSE(host::ParseInputScript(c.text, &ev, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(ev.empty());
    }
}

int FakeLookup(const char* name) {
    if (strcmp(name, "SPACE_KEY") == 0) return 57;
    if (strcmp(name, "LBUTTON_KEY") == 0) return 256;
    return 0;
}

TEST(InputScriptParser, ResolvesKeyNamesAndReportsUnknownOnes) {
    std::vector<ScriptEvent> ev;
    std::string error;
    ASSERT_TRUE(host::ParseInputScript("1 down SPACE_KEY\n2 down LBUTTON_KEY\n3 up 30\n", &ev, &error));
    ASSERT_TRUE(host::ResolveInputScript(&ev, FakeLookup, &error)) << error;
    EXPECT_EQ(ev[0].code, 57);
    EXPECT_EQ(ev[1].code, 256);
    EXPECT_EQ(ev[2].code, 30);

    ASSERT_TRUE(host::ParseInputScript("1 down SPACE_KEY\n2 down space_key\n", &ev, &error));
    EXPECT_FALSE(host::ResolveInputScript(&ev, FakeLookup, &error));
    EXPECT_EQ(error, "line 2: unknown key name 'space_key'");
    ASSERT_TRUE(host::ParseInputScript("1 down SPACE_KEY\n", &ev, &error));
    EXPECT_FALSE(host::ResolveInputScript(&ev, nullptr, &error));
    EXPECT_EQ(error, "line 1: key name 'SPACE_KEY' used before the key names exist");
}

class ScriptedInput : public ::testing::Test {
protected:
    void SetUp() override {
        host::CloseInput();
        host::ClearInputScript();
        host::SetInputFocus(true);
        ASSERT_TRUE(host::AcquireKeyboard());
        ASSERT_TRUE(host::AcquireMouse());
    }
    void TearDown() override {
        host::CloseInput();
        host::ClearInputScript();
    }
    void Load(const char* text) {
        std::string path = dir.path() + "/script.txt";
        std::ofstream(path) << text;
        std::string error;
        ASSERT_TRUE(host::LoadInputScript(path.c_str(), &error)) << error;
        ASSERT_TRUE(host::ResolveLoadedInputScript(FakeLookup, &error)) << error;
    }
    bool KeyDown(int code) {
        uint8_t state[256] = {};
        EXPECT_EQ(host::ReadKeyboard(state), host::InputRead::Ok);
        return state[code] != 0;
    }
    kvtest::TempDir dir;
};

TEST_F(ScriptedInput, EventsArriveAtTheirFrame) {
    int base = host::FramesPumped();
    std::string text = std::to_string(base + 2) + " down SPACE_KEY\n" + std::to_string(base + 4) + " up 57\n";
    Load(text.c_str());
    bool seen[6];
    for (int i = 0; i < 6; ++i) {
        seen[i] = KeyDown(57);
        host::PumpEvents();
    }
    bool expected[6] = {false, false, true, true, false, false};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(seen[i], expected[i]) << "frame " << base + i;
}

// A press and its release within one frame (a quick tap, an automated click) is read as pressed once.
TEST_F(ScriptedInput, APressAndReleaseWithinOneFrameIsSeenOnce) {
    const int f = host::FramesPumped() + 1;
    const std::string at = std::to_string(f);
    Load((at + " down SPACE_KEY\n" + at + " up SPACE_KEY\n" + at + " down LBUTTON_KEY\n" + at +
          " up LBUTTON_KEY\n")
             .c_str());
    host::MouseSample m;
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.buttons[0], 0);
    EXPECT_FALSE(KeyDown(57));
    host::PumpEvents();
    EXPECT_TRUE(KeyDown(57));
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.buttons[0], 0x80);
    // Seen once: the next reads find the key and the button up.
    EXPECT_FALSE(KeyDown(57));
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.buttons[0], 0);
    host::PumpEvents();
    EXPECT_FALSE(KeyDown(57));
}

// A wait holds the later events, however many frames pass, until its file exists; they then keep their
// distance from the wait.
TEST_F(ScriptedInput, AWaitHoldsTheLaterEventsUntilItsFileExists) {
    const int base = host::FramesPumped();
    const std::string flag = dir / "go";
    const std::string text = std::to_string(base + 1) + " down SPACE_KEY\n" + std::to_string(base + 2) +
                             " wait " + flag + "\n" + std::to_string(base + 4) + " up SPACE_KEY\n" +
                             std::to_string(base + 4) + " down 28\n";
    Load(text.c_str());
    for (int i = 0; i < 10; ++i) host::PumpEvents();
    EXPECT_TRUE(KeyDown(57));
    EXPECT_FALSE(KeyDown(28));
    EXPECT_TRUE(host::MoreInputCanArrive() || !host::IsHeadless());
    dir.Write("go", "");
    host::PumpEvents();  // the wait ends at this frame
    EXPECT_TRUE(KeyDown(57));
    host::PumpEvents();
    EXPECT_TRUE(KeyDown(57));  // one frame after the wait: still down
    host::PumpEvents();        // two frames after it, as in the script
    EXPECT_FALSE(KeyDown(57));
    EXPECT_TRUE(KeyDown(28));
}

TEST(InputScriptParser, AWaitNamesAFile) {
    std::vector<ScriptEvent> ev;
    std::string error;
    ASSERT_TRUE(host::ParseInputScript("4 wait go.flag\n", &ev, &error)) << error;
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].op, ScriptOp::Wait);
    EXPECT_EQ(ev[0].key, "go.flag");
    EXPECT_FALSE(host::ParseInputScript("4 wait\n", &ev, &error));
    EXPECT_EQ(error, "line 1: 'wait' takes a file name");
}

TEST_F(ScriptedInput, AWaitLoopThatNeverPumpsStillSeesPressAndRelease) {
    // A loop that waits for a press and then for the release, reading the keyboard without pumping
    // messages, must end: each read without a frame in between moves the script on.
    int base = host::FramesPumped();
    std::string text =
        std::to_string(base + 50) + " down SPACE_KEY\n" + std::to_string(base + 60) + " up SPACE_KEY\n";
    Load(text.c_str());
    int reads = 0;
    while (!KeyDown(57) && reads < 1000) ++reads;
    while (KeyDown(57) && reads < 1000) ++reads;
    EXPECT_LT(reads, 1000);
    EXPECT_EQ(host::InputScriptClock(), base + 60);
    // Later frames catch up with the clock instead of jumping further ahead.
    host::PumpEvents();
    KeyDown(57);
    EXPECT_EQ(host::InputScriptClock(), base + 60);
}

TEST_F(ScriptedInput, MouseButtonsAndMovementAndJoystickKeysFeedTheirDevices) {
    int f = host::FramesPumped();
    std::string text = std::to_string(f) + " down LBUTTON_KEY\n" + std::to_string(f) + " move 7 -3 120\n" +
                       std::to_string(f) + " down 265\n" + std::to_string(f) + " down 263\n" +
                       std::to_string(f) + " down 276\n";
    Load(text.c_str());
    EXPECT_TRUE(KeyDown(42));  // either-side Shift presses the left one
    host::MouseSample m;
    ASSERT_EQ(host::ReadMouse(&m), host::InputRead::Ok);
    EXPECT_EQ(m.buttons[0], 0x80);
    EXPECT_EQ(m.x, 7);
    EXPECT_EQ(m.y, -3);
    EXPECT_EQ(m.z, 120);
    host::UseVirtualJoystick(true);
    ASSERT_TRUE(host::OpenJoystick(0, nullptr));
    host::JoystickSample s;
    ASSERT_TRUE(host::ReadJoystick(&s));
    EXPECT_EQ(s.buttons[1], 0x80);
    EXPECT_EQ(s.pov[0], 9000u);  // hat right
    host::CloseJoystick();
    host::UseVirtualJoystick(false);
}

TEST_F(ScriptedInput, AScriptThatMovesAJoystickOrNamesAJoystickKeyNeedsOne) {
    struct Case {
        const char* text;
        bool uses;
    } cases[] = {{"1 axis x 5", true}, {"1 hat 0", true},           {"1 down JOYBUTTON2_KEY", true},
                 {"1 down 260", true}, {"1 down SPACE_KEY", false}, {"1 move 1 1", false},
                 {"1 down 259", false}};
    for (const Case& c : cases) {
        std::string path = dir.path() + "/j.txt";
        std::ofstream(path) << c.text;
        std::string error;
        ASSERT_TRUE(host::LoadInputScript(path.c_str(), &error)) << error;
        EXPECT_EQ(host::InputScriptUsesJoystick(), c.uses) << c.text;
    }
}

TEST_F(ScriptedInput, AHeadlessRunKnowsWhenItsScriptIsSpent) {
    host::SetHeadless(false);  // other tests of this program may have left the headless mode on
    EXPECT_TRUE(host::MoreInputCanArrive());  // with a window input can always come
    host::SetHeadless(true);
    EXPECT_FALSE(host::MoreInputCanArrive());  // no script: nothing will ever be pressed
    int f = host::FramesPumped();
    std::string text = std::to_string(f + 2) + " down 57\n" + std::to_string(f + 3) + " up 57\n";
    Load(text.c_str());
    bool sawPress = false;
    int reads = 0;
    // A wait for a press and its release that also ends when the input is spent.
    while (host::MoreInputCanArrive() && reads++ < 100) sawPress |= KeyDown(57);
    EXPECT_TRUE(sawPress);
    EXPECT_FALSE(KeyDown(57));
    EXPECT_LT(reads, 10);
    host::SetHeadless(false);
}

TEST_F(ScriptedInput, AMissingFileIsReported) {
    std::string error;
    EXPECT_FALSE(host::LoadInputScript((dir.path() + "/none.txt").c_str(), &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_FALSE(host::InputScriptLoaded());
}

}  // namespace
