// The key configuration screen: the display names, the names of the turn and zoom controls, the axis
// detection over sequences of device states, the capture of a key or axis into the bindings, the screen's
// rows, and the screen's actions through to the configuration file and back.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Keys.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "frontend/KeyConfig.h"
#include "host/Fs.h"
#include "platform/InputDevices.h"
#include "support/TempDir.h"
#include "tests/frontend/FrontendFixture.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/ConfigFile.h"

namespace {

constexpr int kFire1 = static_cast<int>(PilotKey::FIRE1);
constexpr int kFire2 = static_cast<int>(PilotKey::FIRE2);
constexpr int kToggleMode = static_cast<int>(PilotKey::TOGGLEMODE);
constexpr int kThrust1 = static_cast<int>(PilotKey::THRUST1);
constexpr int kChassis = static_cast<int>(TurnAxis::CHASSIS_HTURN);
constexpr int kTorsoH = static_cast<int>(TurnAxis::TORSO_HTURN);
constexpr int kTorsoV = static_cast<int>(TurnAxis::TORSO_VTURN);
constexpr int kCameraV = static_cast<int>(TurnAxis::CAMERA_VTURN);
constexpr int kZoom = static_cast<int>(TurnAxis::CAMERA_INOUT);

// Key codes used below.
constexpr int kEsc = 1, kA = 30, kSpace = 57, kF5 = 63, kLeft = 203, kRight = 205, kLButton = 256;

// The key names, the display names and a set of bindings like the demo's; the devices at rest.
class KeyConfigTest : public kvtest::FrontendTest {
protected:
    KeyConfigTest() {
        InitKeyNames();
        InitKeyDisplayNames();
        DemoBindings();
        ClearDevices();
        ResetDetectAxis();
        RebindAction = -1;
        OpenMsgBox = -1;
    }
    ~KeyConfigTest() override {
        ClearDevices();
        ResetDetectAxis();
        memset(PilotKeys, 0, sizeof PilotKeys);
        for (AxisBinding& b : AxisBindings) b = {-1, 0, 0, 1.0f, 256};
        FreeKeyNames();
        RebindAction = -1;
    }
    static void ClearDevices() {
        memset(KeyStates, 0, sizeof KeyStates);
        JoyState = {};
        MouseState = {};
    }
    static void DemoBindings() {
        memset(PilotKeys, 0, sizeof PilotKeys);
        PilotKeys[kFire1] = kLButton;
        PilotKeys[kFire2] = 257;
        PilotKeys[kToggleMode] = kSpace;
        PilotKeys[kThrust1] = 200;
        AxisBindings[kChassis] = {-1, kLeft, kRight, 1.0f, 256};
        AxisBindings[kTorsoH] = {0, 0, 0, 1.0f, 256};
        AxisBindings[kTorsoV] = {1, 0, 0, 1.0f, 256};
        AxisBindings[static_cast<int>(TurnAxis::CAMERA_HTURN)] = {-1, 75, 77, 1.0f, 256};
        AxisBindings[kCameraV] = {5, 72, 80, 1.0f, 256};  // on the throttle, with its old keys kept
        AxisBindings[kZoom] = {2, 0, 0, 1.0f, 256};
    }
};

TEST_F(KeyConfigTest, DisplayNamesFollowTheKeyboardPrintAndStayInTheirTable) {
    struct Case {
        int code;
        const char* name;
    } cases[] = {
        {0, "unset"},          {1, "ESC"},          {12, "-"},           {13, "+"},
        {21, "Z"},             {39, ")"},           {40, "-"},           {41, "'"},
        {43, "\\"},            {44, "Y"},           {57, "SPACE"},       {84, ""},
        {100, "F13"},          {183, "PRINT"},      {202, ""},           {256, "LEFT MBUTTON"},
        {259, "???"},          {273, "JOYBUTTON 10"}, {274, "LEFT ALT"}, {275, ""},
        {276, ""},             {-1, ""},            {277, ""},           {INT_MIN, ""},
        {INT_MAX, ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(KeyDisplayName(c.code), c.name) << c.code;
    for (int code = 0; code < kKeyCodeCount; ++code)
        EXPECT_LT(strlen(KeyDisplayNames[code]), static_cast<size_t>(kKeyDisplayNameSize)) << code;
}

TEST_F(KeyConfigTest, BindingNamesShowTheKeyOfTheirSlotOrTheAxis) {
    struct Case {
        AxisBinding binding;
        int control, slot;
        const char* name;
    } cases[] = {
        {{-1, kLeft, kRight, 1, 256}, kChassis, 0, "CURSOR LEFT"},
        {{-1, kLeft, kRight, 1, 256}, kChassis, 1, "CURSOR RIGHT"},
        {{-1, 0, kRight, 1, 256}, kChassis, 0, "unset"},
        {{-1, 9999, -4, 1, 256}, kChassis, 1, ""},  // codes outside the table show nothing
        {{5, kLeft, kRight, 1, 256}, kZoom, 0, "JOY THROTTLE"},
        {{5, kLeft, kRight, 1, 256}, kZoom, 1, "JOY THROTTLE"},
        {{0, 0, 0, 1, 256}, kTorsoH, 1, "MOUSE X"},
        {{2, 0, 0, 1, 256}, kTorsoH, 0, "MOUSEWHEEL"},
        {{6, 0, 0, 1, 256}, kTorsoH, 0, "JOYSTICK Z"},
        {{7, 0, 0, 1, 256}, kTorsoH, 0, "???"},
        {{INT_MAX, 0, 0, 1, 256}, kTorsoH, 0, "???"},
    };
    for (const Case& c : cases) {
        AxisBindings[c.control] = c.binding;
        EXPECT_STREQ(BindingName(c.control, c.slot), c.name) << c.binding.axis << " " << c.slot;
    }
    EXPECT_STREQ(BindingName(-1, 0), "???");
    EXPECT_STREQ(BindingName(6, 0), "???");
}

TEST_F(KeyConfigTest, AnAxisCountsWhenItMovesFarOutQuicklyAndTheFarthestWins) {
    // One device state per frame: joystick x, y, z (throttle), z rotation (-10000 .. 10000), mouse x, y,
    // wheel (counts of the frame); the axis expected.
    struct Frame {
        int32_t jx, jy, jz, jrz, mx, my, mz;
        int axis;
    };
    struct Case {
        const char* what;
        std::vector<Frame> frames;
    } cases[] = {
        {"the throttle pushed fully out", {{0, 0, 10000, 0, 0, 0, 0, 5}}},
        {"the rudder to the left", {{0, 0, 0, -10000, 0, 0, 0, 6}}},
        {"half-way is not yet enough", {{5000, 0, 0, 0, 0, 0, 0, -1}, {0, 5100, 0, 0, 0, 0, 0, 4}}},
        {"a slow move never counts",
         {{4000, 0, 0, 0, 0, 0, 0, -1}, {8000, 0, 0, 0, 0, 0, 0, -1}, {10000, 0, 0, 0, 0, 0, 0, -1}}},
        {"returning to the centre does not count",
         {{0, 10000, 0, 0, 0, 0, 0, 4}, {0, 0, 0, 0, 0, 0, 0, -1}, {0, -4000, 0, 0, 0, 0, 0, -1}}},
        {"a mouse move of six counts, not of five", {{0, 0, 0, 0, 5, 0, 0, -1}, {0, 0, 0, 0, 0, -6, 0, 1}}},
        {"one wheel notch", {{0, 0, 0, 0, 0, 0, 120, 2}}},
        {"the larger move wins", {{6000, 0, 0, 0, 9, 0, 0, 0}}},
        // The joystick goes from 300 to 1000 units (700), the mouse 800: the mouse moved more but stays
        // below the joystick's distance from the centre.
        {"the farthest out wins, not the largest change",
         {{3000, 0, 0, 0, 0, 0, 0, -1}, {10000, 0, 0, 0, 8, 0, 0, 3}}},
        {"a huge mouse movement keeps its sign", {{0, 0, 0, 0, INT_MIN, 0, 0, 0}, {0, 0, 0, 0, INT_MAX, 0, 0, -1}}},
    };
    for (const Case& c : cases) {
        ResetDetectAxis();
        for (size_t step = 0; step < c.frames.size(); ++step) {
            const Frame& f = c.frames[step];
            JoyState.lX = f.jx;
            JoyState.lY = f.jy;
            JoyState.lZ = f.jz;
            JoyState.lRz = f.jrz;
            MouseState.lX = f.mx;
            MouseState.lY = f.my;
            MouseState.lZ = f.mz;
            EXPECT_EQ(DetectAxis(), f.axis) << c.what << ", frame " << step;
        }
    }
}

TEST_F(KeyConfigTest, CaptureTakesTheFittingInputIntoTheBindings) {
    // One frame of the prompt on a row: the codes down, the throttle and mouse x of the frame; what the
    // capture answers, the box left open, and the bindings changed from the demo set.
    struct Case {
        const char* what;
        int row;
        std::vector<int> down;
        int32_t throttle, mouseX;
        int result, box;
        std::function<void()> expected;
    } cases[] = {
        {"nothing pressed or moved", 6, {}, 0, 0, 0, 0, [] {}},
        {"Escape cancels", 6, {kEsc}, 0, 0, 0, -1, [] {}},
        {"Escape before a key", 6, {kEsc, kSpace}, 0, 0, 0, -1, [] {}},
        {"F5 is reserved", 6, {kF5}, 0, 0, 0, 1, [] {}},
        {"right Alt is reserved", 6, {184}, 0, 0, 0, 1, [] {}},
        {"a code without a key name is refused", 6, {84}, 0, 0, 0, 1, [] {}},
        {"F13 has a display name but no key name", 6, {100}, 0, 0, 0, 1, [] {}},
        {"a key on a key row; its old action loses it", 6, {kSpace}, 0, 0, 1, 0,
         [] {
             PilotKeys[kFire1] = kSpace;
             PilotKeys[kToggleMode] = 0;
         }},
        {"the lower of two keys", 6, {kSpace, kA}, 0, 0, 1, 0, [] { PilotKeys[kFire1] = kA; }},
        {"a mouse button", 7, {kLButton}, 0, 0, 1, 0,
         [] {
             PilotKeys[kFire2] = kLButton;
             PilotKeys[kFire1] = 0;
         }},
        {"a key a turn uses leaves the turn's slot", 0, {kLeft}, 0, 0, 1, 0,
         [] {
             PilotKeys[kThrust1] = kLeft;
             AxisBindings[kChassis].firstKey = 0;
         }},
        {"a key into a turn's slot", 2, {kA}, 0, 0, 1, 0, [] { AxisBindings[kChassis].secondKey = kA; }},
        {"a key into a turn driven by an axis drives it by keys", 10, {kSpace}, 0, 0, 1, 0,
         [] {
             PilotKeys[kToggleMode] = 0;
             AxisBindings[kTorsoV] = {-1, 0, kSpace, 1.0f, 256};
         }},
        {"the throttle on a zoom row; its old control goes back to keys", 17, {}, 10000, 0, 1, 0,
         [] {
             AxisBindings[kZoom].axis = 5;
             AxisBindings[kCameraV] = {-1, 0, 0, 1.0f, 256};
         }},
        {"the mouse on a torso row", 11, {}, 0, 9, 1, 0,
         [] {
             AxisBindings[kTorsoV].axis = 0;
             AxisBindings[kTorsoH] = {-1, 0, 0, 1.0f, 256};
         }},
        {"an axis on a key row is not taken: the prompt waits for a key", 6, {}, 10000, 0, 0, 0, [] {}},
        {"nor is the mouse moved by the hand that clicked", 6, {}, 0, 9, 0, 0, [] {}},
        {"a key and an axis on a key row: the key", 6, {kSpace}, 10000, 0, 1, 0,
         [] {
             PilotKeys[kFire1] = kSpace;
             PilotKeys[kToggleMode] = 0;
         }},
        {"a key and an axis on a zoom row: the axis, and the key keeps its action", 17, {kSpace}, 10000, 0, 1, 0,
         [] {
             AxisBindings[kZoom].axis = 5;
             AxisBindings[kCameraV] = {-1, 0, 0, 1.0f, 256};
         }},
        {"no row to rebind", -1, {kSpace}, 0, 0, 1, 0, [] {}},
    };
    for (const Case& c : cases) {
        DemoBindings();
        c.expected();
        std::vector<int32_t> keys(PilotKeys, PilotKeys + kKeyTableSize);
        std::vector<AxisBinding> axes(std::begin(AxisBindings), std::end(AxisBindings));
        DemoBindings();
        ClearDevices();
        ResetDetectAxis();
        for (int code : c.down) KeyStates[code] = code < 256 ? 0x80 : 1;
        JoyState.lZ = c.throttle;
        MouseState.lX = c.mouseX;
        RebindAction = c.row;
        OpenMsgBox = 0;
        EXPECT_EQ(CaptureKey(), c.result) << c.what;
        EXPECT_EQ(OpenMsgBox, c.box) << c.what;
        for (int i = 0; i < kKeyTableSize; ++i) EXPECT_EQ(PilotKeys[i], keys[size_t(i)]) << c.what << ", key " << i;
        for (int i = 0; i < static_cast<int>(TurnAxis::Count); ++i) {
            const AxisBinding& b = AxisBindings[i];
            const AxisBinding& e = axes[size_t(i)];
            EXPECT_EQ(b.axis, e.axis) << c.what << ", control " << i;
            EXPECT_EQ(b.firstKey, e.firstKey) << c.what << ", control " << i;
            EXPECT_EQ(b.secondKey, e.secondKey) << c.what << ", control " << i;
        }
    }
}

TEST_F(KeyConfigTest, TheScreenShowsEveryRowWithItsBinding) {
    AxisBindings[kZoom].axis = 5;
    AxisBindings[kCameraV] = {-1, 72, 80, 1.0f, 256};
    PilotKeys[static_cast<int>(PilotKey::TOGGLESTATUS)] = 88;
    PilotKeys[static_cast<int>(PilotKey::UNIT1)] = 2;
    PilotKeys[static_cast<int>(PilotKey::UNIT10)] = 11;
    PilotKeys[static_cast<int>(PilotKey::ALLUNITS)] = 41;
    BuildScreen(kScreenKeys);
    ASSERT_EQ(Labels.count, 4 + 2 * kKeyRebindRows + 2 * kKeyFixedRows);
    ASSERT_EQ(Frames.count, kKeyRebindRows);
    EXPECT_STREQ(Labels[0].text, "Driving");
    EXPECT_STREQ(Labels[3].text, "Fixed keys");
    EXPECT_EQ(Labels[3].height, 18);
    // The name label of changeable row r is label 4 + 2r + 1, its frame frame r.
    auto name = [](int row) { return Labels[4 + 2 * row + 1].text; };
    EXPECT_STREQ(Labels[4 + 2 * 6].text, "Fire primary");
    EXPECT_STREQ(name(6), "LEFT MBUTTON");
    EXPECT_STREQ(name(0), "CURSOR UP");
    EXPECT_STREQ(name(2), "CURSOR RIGHT");
    EXPECT_STREQ(name(3), "CURSOR LEFT");
    EXPECT_STREQ(name(8), "MOUSE X");
    EXPECT_STREQ(name(15), "NUMPAD 2");
    EXPECT_STREQ(name(16), "NUMPAD 8");
    EXPECT_STREQ(name(17), "JOY THROTTLE");
    EXPECT_STREQ(name(18), "JOY THROTTLE");
    EXPECT_STREQ(name(19), "unset");
    EXPECT_EQ(Labels[4 + 2 * 13 + 1].x, 600);
    EXPECT_EQ(Labels[4 + 2 * 13 + 1].y, 370);
    EXPECT_EQ(Frames[0].left, 198);
    EXPECT_EQ(Frames[0].top, 372);
    EXPECT_EQ(Frames[0].right, 335);
    EXPECT_EQ(Frames[0].bottom, 357);
    EXPECT_EQ(Frames[25].left, 598);
    EXPECT_EQ(Frames[25].top, 92);
    // Fixed rows: Page Up and Page Down by their codes, the status toggle by its binding, in red.
    const int fixed = 4 + 2 * kKeyRebindRows;
    EXPECT_STREQ(Labels[fixed + 2 * 11 + 1].text, "PAGE UP");
    EXPECT_STREQ(Labels[fixed + 2 * 12 + 1].text, "PAGE DOWN");
    EXPECT_STREQ(Labels[fixed + 2 * 13 + 1].text, "F12");
    EXPECT_EQ(Labels[fixed + 2 * 13 + 1].x, 700);
    const uint8_t red[4] = {160, 64, 64, 255};
    EXPECT_EQ(memcmp(Labels[fixed + 1].colour, red, 4), 0);
    EXPECT_EQ(Labels[fixed].colour[0], 150) << "captions in the screen's text colour";
    // The keys a newcomer needs besides: Space into and out of a unit, Escape for the menu, the unit keys.
    EXPECT_STREQ(Labels[fixed + 2 * 14 + 1].text, "SPACE");
    EXPECT_STREQ(Labels[fixed + 2 * 15 + 1].text, "ESC");
    EXPECT_STREQ(Labels[fixed + 2 * 16 + 1].text, "1 .. 0");
    EXPECT_STREQ(Labels[fixed + 2 * 17 + 1].text, "'");
}

// The screen's actions through the menu frame's state machine, in a folder holding "default.qzk": a row
// pressed opens the prompt, a key pressed names it at once, "Defaults" brings the default bindings back,
// and "Back" writes the configuration, which reads back into the same bindings.
TEST_F(KeyConfigTest, RebindingReachesTheConfigurationAndReadsBack) {
    kvtest::TempDir dir;
    datakit::WriteTextFile(dir / "default.qzk", datakit::DefaultBindingsText(datakit::ConfigFile()));
    const std::string previous = std::filesystem::current_path().string();
    host::SetWorkingDirectory(dir.path().c_str());
    host::FlushDirectoryCache();
    ReadRules("default.qzk");
    ReadKeyBindings();
    MenuScreen = kScreenKeys;
    BuildScreen(kScreenKeys);

    auto press = [](auto field, int index) {
        MenuHits h;
        h.*field = index;
        return RunScreenActions(h);
    };
    auto frame = [&](int row) {
        ClearDevices();
        press(&MenuHits::frame, row);
        EXPECT_EQ(OpenMsgBox, 0);
        EXPECT_EQ(RebindAction, row);
        RunScreenActions(MenuHits{});  // the prompt waits
        EXPECT_EQ(OpenMsgBox, 0);
    };
    frame(6);
    KeyStates[kSpace] = 0x80;
    RunScreenActions(MenuHits{});
    EXPECT_EQ(OpenMsgBox, -1);
    EXPECT_STREQ(Labels[4 + 2 * 6 + 1].text, "SPACE") << "the screen shows the new binding at once";
    frame(17);
    JoyState.lZ = 10000;
    RunScreenActions(MenuHits{});
    EXPECT_STREQ(Labels[4 + 2 * 18 + 1].text, "JOY THROTTLE");

    press(&MenuHits::button, 0);
    EXPECT_EQ(MenuScreen, kScreenOptions);
    const std::string config = dir.Read("Vexa.cfg");
    EXPECT_NE(config.find("PM_FIRE1_KEY\t\t\tSPACE_KEY;"), std::string::npos) << config;
    EXPECT_NE(config.find("PM_TOGGLEMODE_KEY\t\t<uk>;"), std::string::npos);
    EXPECT_NE(config.find("PM_CAMERA_INOUT_SCALAR\t\t1.0\tJOYSTICK_THROTTLE;"), std::string::npos);

    memset(PilotKeys, 0, sizeof PilotKeys);
    ReadConfigFile("Vexa.cfg");
    ReadKeyBindings();
    EXPECT_EQ(PilotKeys[kFire1], kSpace);
    EXPECT_EQ(PilotKeys[kToggleMode], 0);
    EXPECT_EQ(AxisBindings[kZoom].axis, 5);

    MenuScreen = kScreenKeys;
    BuildScreen(kScreenKeys);
    press(&MenuHits::button, 1);
    EXPECT_EQ(PilotKeys[kFire1], kLButton) << "Defaults";
    EXPECT_EQ(PilotKeys[kToggleMode], kSpace);
    EXPECT_EQ(AxisBindings[kZoom].axis, 2);
    EXPECT_STREQ(Labels[4 + 2 * 6 + 1].text, "LEFT MBUTTON");

    // A reserved key opens the notice; its OK closes it.
    frame(6);
    KeyStates[kF5] = 0x80;
    RunScreenActions(MenuHits{});
    EXPECT_EQ(OpenMsgBox, 1);
    EXPECT_EQ(PilotKeys[kFire1], kLButton);
    press(&MenuHits::msgbox, 0);
    EXPECT_EQ(OpenMsgBox, -1);

    host::SetWorkingDirectory(previous.c_str());
    host::FlushDirectoryCache();
}

}  // namespace
