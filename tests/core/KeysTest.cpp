// Key names, characters and the bindings read from rules.
#include <string>

#include "CoreTestEnv.h"
#include "tools/datakit/RulesText.h"

namespace {

using coretest::CoreTest;

class KeysTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        InitKeyNames();
    }
    // Every binding rule bound to F1_KEY, the six turns to MOUSE_X, then the given lines.
    void ReadBindings(const std::string& extra) {
        std::string text;
        for (int i = 0; i < kPilotBindings; ++i) text += std::string(PilotBindingName(i)) + " F1_KEY;\n";
        for (int i = 0; i < kCommandoBindings; ++i) text += std::string(CommandoBindingName(i)) + " F1_KEY;\n";
        for (int i = 0; i < 6; ++i) text += std::string(AxisBindingName(i)) + " 1.0 MOUSE_X;\n";
        text += extra;
        ASSERT_TRUE(datakit::WriteRulesText(tmp / "bindings", text));
        host::FlushDirectoryCache();
        ReadRules((tmp / "bindings").c_str());
        ReadKeyBindings();
    }
};

TEST_F(KeysTest, NamesCodesAndCharacters) {
    EXPECT_EQ(KeyNames.rows, 125);
    struct Case {
        const char* name;
        int code;
        const char* nameOfCode;  // the first row of the code
        uint8_t character, shifted;
    } cases[] = {
        {"ESC_KEY", 1, "ESC_KEY", 0, 0},
        {"SELECT_KEY", 256, "LBUTTON_KEY", 0, 0},
        {"MENU_KEY", 258, "MBUTTON_KEY", 0, 0},
        {"ADJUST_KEY", 257, "RBUTTON_KEY", 0, 0},
        {"GRAVE_KEY", 41, "GRAVE_KEY", '^', 0xB0},
        {"PLUS_KEY", 13, "PLUS_KEY", '=', '+'},
        {"Q_KEY", 16, "Q_KEY", 'q', 'Q'},
        {"QUOTE_KEY", 40, "QUOTE_KEY", '\'', '"'},
        {"BACKSLASH_KEY", 43, "BACKSLASH_KEY", '\\', '|'},
        {"SPACE_KEY", 57, "SPACE_KEY", ' ', ' '},
        {"PADPOINT_KEY", 83, "PADPOINT_KEY", '.', '.'},
        {"CTRL_KEY", 275, "CTRL_KEY", 0, 0},
        {"SHIFT_KEY", 276, "SHIFT_KEY", 0, 0},
        {"ALT_KEY", 274, "ALT_KEY", 0, 0},
        {"JOYPOVRIGHT_KEY", 263, "JOYPOVRIGHT_KEY", 0, 0},
        {"JOYBUTTON1_KEY", 264, "JOYBUTTON1_KEY", 0, 0},
        {"JOYBUTTON10_KEY", 273, "JOYBUTTON10_KEY", 0, 0},
        {"RIGHTCTRL_KEY", 157, "RIGHTCTRL_KEY", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeyIndexByName(c.name), c.code);
        EXPECT_STREQ(NameOfKey(c.code), c.nameOfCode);
        EXPECT_EQ(KeyChar(c.code), c.character);
        EXPECT_EQ(InvKeyChar(c.code), c.shifted);
    }
    EXPECT_EQ(KeyIndexByName("esc_key"), 0);  // names are compared exactly
    EXPECT_EQ(KeyIndexByName(nullptr), 0);
    EXPECT_STREQ(NameOfKey(300), "<uk>");
    EXPECT_EQ(KeyChar(300), 0);
    EXPECT_EQ(KeyStateByte(277), 0);
    EXPECT_EQ(KeyStateByte(-1), 0);
}

TEST_F(KeysTest, EveryRowNameReadsBackToItsCode) {
    for (int i = 0; i < KeyNames.rows; ++i) {
        int code = KeyNames.codes[i];
        EXPECT_EQ(KeyIndexByName(NameOfKey(code)), code) << KeyNames.names[i];
    }
}

TEST_F(KeysTest, BindingsFromRules) {
    ReadBindings("PM_FIRE1_KEY LBUTTON_KEY;\n"
                 "PM_QUICKSAVE_KEY F5_KEY;\n"
                 "PM_THRUST1_KEY not_a_key;\n"
                 "PM_THRUST2_KEY 5;\n"  // no key name: unbound
                 "CM_ALLUNITS_KEY \"A_KEY\";\n"
                 "PM_CHASSIS_HTURN_SCALAR 1.0 LEFT_KEY RIGHT_KEY;\n"
                 "PM_CAMERA_INOUT_SCALAR 1.0 MOUSE_WHEEL;\n"
                 "PM_TORSO_VTURN_SCALAR JOYSTICK_RUDDER;\n"
                 "PM_CAMERA_VTURN_SCALAR -2.5 MOUSE_Y;\n");
    EXPECT_EQ(PilotKeyCode(PilotKey::FIRE1), 256);
    EXPECT_EQ(PilotKeyCode(PilotKey::QUICKSAVE), 63);
    EXPECT_EQ(PilotKeyCode(PilotKey::THRUST1), 0);
    EXPECT_EQ(PilotKeyCode(PilotKey::THRUST2), 0);
    EXPECT_EQ(PilotKeyCode(PilotKey::SELFDESTRUCT), 59);
    EXPECT_EQ(PilotKeys[51], 0);
    EXPECT_EQ(CommandoKeyCode(CommandoKey::ALLUNITS), 30);
    EXPECT_EQ(CommandoKeyCode(CommandoKey::TOGGLETFVIEW), 59);

    struct Case {
        TurnAxis turn;
        int axis, first, second;
        float factor;
    } cases[] = {
        {TurnAxis::CHASSIS_HTURN, -1, 203, 205, 1.0f}, {TurnAxis::CAMERA_INOUT, 2, 0, 0, 1.0f},
        {TurnAxis::TORSO_VTURN, 6, 0, 0, 1.0f},        {TurnAxis::CAMERA_VTURN, 1, 0, 0, -2.5f},
        {TurnAxis::TORSO_HTURN, 0, 0, 0, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(AxisBindingName(static_cast<int>(c.turn)));
        const AxisBinding& b = AxisBindings[static_cast<int>(c.turn)];
        EXPECT_EQ(b.axis, c.axis);
        EXPECT_EQ(b.firstKey, c.first);
        EXPECT_EQ(b.secondKey, c.second);
        EXPECT_EQ(b.factor, c.factor);
        EXPECT_EQ(b.scale, 256);
    }
}

TEST_F(KeysTest, MissingBindingAndUnknownAxisAreFatal) {
    EXPECT_EQ(FatalText([&] { ReadBindings("PM_TORSO_HTURN_SCALAR 1.0 MOUSE_Q;\n"); }),
              "Error(NamedDeviceAxis): Unknown device axis");
    FreeRules();
    ASSERT_TRUE(datakit::WriteRulesText(tmp / "few", "PM_VIEWMODE1_KEY F1_KEY;\n"));
    host::FlushDirectoryCache();
    ReadRules((tmp / "few").c_str());
    EXPECT_EQ(FatalText([] { ReadKeyBindings(); }), "Error(NamedRule): Rule 'pm_viewmode2_key' not found");
    EXPECT_EQ(FatalText([] { AxisName(7); }), "Error(AxisName): Unknown device axis");
    EXPECT_STREQ(AxisName(2), "MOUSE_WHEEL");
    EXPECT_EQ(NamedDeviceAxis("JOYSTICK_THROTTLE"), 5);
    EXPECT_EQ(FatalText([] { NamedDeviceAxis("mouse_x"); }), "Error(NamedDeviceAxis): Unknown device axis");
}

}  // namespace
