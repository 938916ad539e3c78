// The configuration file's round trip and required keys, and the paths file.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "CoreTestEnv.h"
#include "core/Config.h"
#include "platform/Sound.h"
#include "tools/datakit/ConfigFile.h"

namespace {

using coretest::CoreTest;

// Every setting, saved and put back so that other tests see the initial values.
struct Settings {
    int ints[33];
    float floats[9];
    double speed;
    char texts[7][kConfigTextSize];
};

int* const kInts[] = {&fullscreen, &xres, &yres, &texturebpp, &colourdepth, &zbuffer, &lastclan,
                      &MainViewPort_DepthOfView, &ExtViewPort_DepthOfView, &weather_effects,
                      &shadows_and_marks, &dynamic_lighting, &water_reflection, &use_bgdmusic,
                      &use_directsound3d, &swap_stereo, &msg_mode, &mouse_invert_torso, &mouse_invert_aircraft,
                      &auto_target_view, &free_torso_look, &preferred_view, &airborne_auto_recentering,
                      &skill_level, &auto_snapshot_delay, &first_run, &object_texture_shrink,
                      &scape_texture_shrink, &auto_look_forward, &auto_terrain_following};
float* const kFloats[] = {&gamma_brightness, &music_volume, &fx_volume, &DopplerFactor, &joystick_step[0],
                          &joystick_step[1], &joystick_step[2], &joystick_step[3], &joystick_sensitivity};
char* const kTexts[] = {lastmap, lastgame, MainViewPort_ScapeDetail, MainViewPort_MirroredScapeDetail,
                        ExtViewPort_ScapeDetail, ExtViewPort_MirroredScapeDetail, ExtViewPort_reflection};

Settings Save() {
    Settings s{};
    for (size_t i = 0; i < std::size(kInts); ++i) s.ints[i] = *kInts[i];
    for (size_t i = 0; i < std::size(kFloats); ++i) s.floats[i] = *kFloats[i];
    s.floats[8] = mouse_sensitivity;
    s.speed = game_speed;
    for (size_t i = 0; i < std::size(kTexts); ++i) memcpy(s.texts[i], kTexts[i], kConfigTextSize);
    return s;
}

void Restore(const Settings& s) {
    for (size_t i = 0; i < std::size(kInts); ++i) *kInts[i] = s.ints[i];
    for (size_t i = 0; i < std::size(kFloats); ++i) *kFloats[i] = s.floats[i];
    mouse_sensitivity = s.floats[8];
    game_speed = s.speed;
    for (size_t i = 0; i < std::size(kTexts); ++i) memcpy(kTexts[i], s.texts[i], kConfigTextSize);
}

// The link the program installs at start-up between the configuration and the sound layer.
const ConfigSoundLink kSoundLink{dxgl_SetMasterVolume, dxgl_GetMasterVolume, dxgl_SetSoundFactor,
                                 dxgl_GetSoundFactor};

class ConfigTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        saved_ = Save();
        InitKeyNames();
        SetConfigSoundLink(&kSoundLink);
    }
    void TearDown() override {
        SetConfigSoundLink(nullptr);
        Restore(saved_);
        CoreTest::TearDown();
    }
    // Reads a configuration and the bindings it lacks, then the bindings.
    void ReadConfigAndBindings(const std::string& path) {
        host::FlushDirectoryCache();
        ReadConfigFile(path.c_str());
        tmp.Write("other", datakit::OtherBindingRules() + "end\n");
        ReadRules((tmp / "other").c_str());
        ReadKeyBindings();
    }
    Settings saved_;
};

TEST_F(ConfigTest, SoundSettingsReachTheSoundLayer) {
    datakit::ConfigFile cfg;
    cfg.set("fx_volume", {datakit::Num(0.25)}).set("DopplerFactor", {datakit::Num(2.5)});
    ASSERT_TRUE(cfg.write(tmp / "Vexa.cfg"));
    dxgl_SetMasterVolume(1.0f, 1.0f);
    ReadConfigAndBindings(tmp / "Vexa.cfg");
    EXPECT_EQ(MasterVolumeCurrent, 0.25f);
    EXPECT_EQ(dxgl_GetMasterVolume(), 0.25f);
    EXPECT_EQ(dxgl_GetSoundFactor(), 2.5f);
    // The writer writes what the sound layer holds (the options screens change it there).
    dxgl_SetMasterVolume(0.5f, 0.75f);
    ASSERT_EQ(WriteConfigFileTo((tmp / "out.cfg").c_str()), 1);
    EXPECT_NE(tmp.Read("out.cfg").find("fx_volume\t\t\t0.750000;"), std::string::npos);
    dxgl_SetMasterVolume(1.0f, 1.0f);
    // Without the link the configuration keeps the values as read and the sound layer is not touched.
    SetConfigSoundLink(nullptr);
    ReadConfigAndBindings(tmp / "Vexa.cfg");
    EXPECT_EQ(dxgl_GetMasterVolume(), 1.0f);
    ASSERT_EQ(WriteConfigFileTo((tmp / "out.cfg").c_str()), 1);
    EXPECT_NE(tmp.Read("out.cfg").find("fx_volume\t\t\t0.250000;"), std::string::npos);
    EXPECT_NE(tmp.Read("out.cfg").find("DopplerFactor\t\t\t2.500000;"), std::string::npos);
}

TEST_F(ConfigTest, DatakitConfigurationReadsCompletely) {
    datakit::ConfigFile cfg;
    cfg.set("xres", {datakit::Num(800)}).setText("lastmap", "Isle 2").set("first_run", {datakit::Num(1)});
    ASSERT_TRUE(cfg.write(tmp / "Vexa.cfg"));
    ReadConfigAndBindings(tmp / "Vexa.cfg");
    EXPECT_EQ(xres, 800);
    EXPECT_STREQ(lastmap, "Isle 2");
    EXPECT_STREQ(lastgame, "");
    EXPECT_EQ(first_run, 1);
    EXPECT_EQ(PilotKeyCode(PilotKey::FIRE1), 256);
    EXPECT_EQ(PilotKeyCode(PilotKey::UNIT10), 11);
    EXPECT_EQ(AxisBindings[static_cast<int>(TurnAxis::CAMERA_INOUT)].axis, 2);
}

// The stored file's exact text (section order, tabs, the fixed lines) for datakit's default
// configuration, pinned by tests/core/data/Vexa.cfg. KV_UPDATE_GOLDEN=1 rewrites the file after an
// intended change of the text.
TEST_F(ConfigTest, WrittenTextMatchesTheGoldenFile) {
    ASSERT_TRUE(datakit::ConfigFile().write(tmp / "start.cfg"));
    ReadConfigAndBindings(tmp / "start.cfg");
    ASSERT_EQ(WriteConfigFileTo((tmp / "out.cfg").c_str()), 1);
    const std::string got = tmp.Read("out.cfg");
    const std::string golden = std::string(KV_SOURCE_DIR) + "/tests/core/data/Vexa.cfg";
    if (const char* update = std::getenv("KV_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream(golden, std::ios::binary) << got;
    }
    std::ifstream in(golden, std::ios::binary);
    ASSERT_TRUE(in) << golden;
    const std::string want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, want);
}

TEST_F(ConfigTest, DefaultBindingsBindEveryControl) {
    tmp.Write("default.qzk", datakit::DefaultBindingsText(datakit::ConfigFile()));
    ReadRules((tmp / "default.qzk").c_str());
    ReadKeyBindings();
    for (int i = 0; i < kPilotBindings; ++i) EXPECT_NE(PilotKeys[i], 0) << PilotBindingName(i);
    for (int i = 0; i < kCommandoBindings; ++i) EXPECT_NE(CommandoKeys[i], 0) << CommandoBindingName(i);
    for (int i = 0; i < 6; ++i) {
        const AxisBinding& b = AxisBindings[i];
        EXPECT_TRUE(b.axis >= 0 || (b.firstKey != 0 && b.secondKey != 0)) << AxisBindingName(i);
    }
}

TEST_F(ConfigTest, WrittenConfigurationReadsBackTheSame) {
    datakit::ConfigFile cfg;
    ASSERT_TRUE(cfg.write(tmp / "start.cfg"));
    ReadConfigAndBindings(tmp / "start.cfg");

    // Distinct values in every setting, texts that an unquoted word would lose or misread.
    for (size_t i = 0; i < std::size(kInts); ++i) *kInts[i] = static_cast<int>(i) * 3 - 7;
    for (size_t i = 0; i < std::size(kFloats); ++i) *kFloats[i] = 0.25f * static_cast<float>(i) - 1.5f;
    mouse_sensitivity = 300.5f;
    game_speed = 1.75;
    // The master volume and the Doppler factor are held by the sound layer, which the writer asks.
    dxgl_SetMasterVolume(fx_volume, fx_volume);
    dxgl_SetSoundFactor(DopplerFactor);
    const char* texts[] = {"", "save game 3", "lod_maximum", "12abc", "a;b,c", "50%", "C:\\games\\x"};
    for (size_t i = 0; i < std::size(kTexts); ++i) snprintf(kTexts[i], kConfigTextSize, "%s", texts[i]);
    first_run = 1;
    PilotKeys[static_cast<int>(PilotKey::FIRE2)] = KeyIndexByName("SPACE_KEY");
    CommandoKeys[static_cast<int>(CommandoKey::TOGGLESTATUS)] = 0;  // unbound: written as "<uk>"
    AxisBindings[static_cast<int>(TurnAxis::TORSO_HTURN)] = {-1, 203, 205, 1.0f, 256};
    const Settings written = Save();
    int32_t pilot[kKeyTableSize], commando[kKeyTableSize];
    memcpy(pilot, PilotKeys, sizeof pilot);
    memcpy(commando, CommandoKeys, sizeof commando);
    AxisBinding axes[6];
    memcpy(axes, AxisBindings, sizeof axes);

    ASSERT_EQ(WriteConfigFileTo((tmp / "Vexa.cfg").c_str()), 1);
    Restore(saved_);
    FreeRules();
    ReadConfigAndBindings(tmp / "Vexa.cfg");

    Settings read = Save();
    for (size_t i = 0; i < std::size(kInts); ++i) {
        if (kInts[i] == &first_run) {
            EXPECT_EQ(read.ints[i], 0) << "first_run is always written as 0";
        } else {
            EXPECT_EQ(read.ints[i], written.ints[i]) << "int setting " << i;
        }
    }
    for (size_t i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(read.floats[i], written.floats[i]) << "float setting " << i;
    EXPECT_DOUBLE_EQ(read.speed, 1.75);
    for (size_t i = 0; i < std::size(kTexts); ++i) EXPECT_STREQ(read.texts[i], texts[i]);
    for (int i = 0; i < kKeyTableSize; ++i) {
        // Lines the file does not carry come from the other bindings; the fixed commando lines stay fixed.
        EXPECT_EQ(PilotKeys[i], pilot[i]) << PilotBindingName(i);
        if (i != static_cast<int>(CommandoKey::TOGGLESTATUS)) {
            EXPECT_EQ(CommandoKeys[i], commando[i]) << i;
        }
    }
    EXPECT_EQ(CommandoKeyCode(CommandoKey::TOGGLESTATUS), 0);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(AxisBindings[i].axis, axes[i].axis) << AxisBindingName(i);
        EXPECT_EQ(AxisBindings[i].firstKey, axes[i].firstKey) << AxisBindingName(i);
        EXPECT_EQ(AxisBindings[i].secondKey, axes[i].secondKey) << AxisBindingName(i);
    }
}

TEST_F(ConfigTest, TextsThatCannotBeQuotedAreWrittenSoTheyStillReadBack) {
    datakit::ConfigFile().write(tmp / "start.cfg");
    ReadConfigAndBindings(tmp / "start.cfg");
    snprintf(lastmap, kConfigTextSize, "%s", "say \"hi\"");
    snprintf(lastgame, kConfigTextSize, "%s", "folder\\");
    std::string longText(254, 'x');
    snprintf(MainViewPort_ScapeDetail, kConfigTextSize, "%s", longText.c_str());
    ASSERT_EQ(WriteConfigFileTo((tmp / "Vexa.cfg").c_str()), 1);
    FreeRules();
    ReadConfigAndBindings(tmp / "Vexa.cfg");
    EXPECT_STREQ(lastmap, "say hi");
    EXPECT_STREQ(lastgame, "folder");
    EXPECT_EQ(strlen(MainViewPort_ScapeDetail), 252u);
}

TEST_F(ConfigTest, EveryKeyIsRequired) {
    for (int i = 0; i < kConfigKeyCount; ++i) {
        SCOPED_TRACE(ConfigKeyName(i));
        datakit::ConfigFile cfg;
        cfg.remove(ConfigKeyName(i));
        cfg.write(tmp / "Vexa.cfg");
        host::FlushDirectoryCache();
        std::string lower = ConfigKeyName(i);
        for (char& c : lower) c = static_cast<char>(tolower(c));
        EXPECT_EQ(FatalText([&] { ReadConfigFile((tmp / "Vexa.cfg").c_str()); }),
                  "Error(NamedRule): Rule '" + lower + "' not found");
        FreeRules();
    }
}

TEST_F(ConfigTest, KeysInAnyOrderAndCaseAndNumberKeysNeedValues) {
    tmp.Write("base.cfg", datakit::ConfigFile().text());
    // Later lines redefine a key in its place: the odd spellings come last and win.
    std::string text = tmp.Read("base.cfg");
    text.insert(text.rfind("end"), "XRES 1024;\nJoyStick_Step 1 2 3 4;\n");
    tmp.Write("Vexa.cfg", text);
    ReadConfigFile((tmp / "Vexa.cfg").c_str());
    EXPECT_EQ(xres, 1024);
    EXPECT_EQ(joystick_step[3], 4.0f);
    FreeRules();

    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"xres \"wide\";\n", "Error(ReadConfigFile): Rule 'xres' has too few values"},
        {"joystick_step 1 2 3;\n", "Error(ReadConfigFile): Rule 'joystick_step' has too few values"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::string bad = tmp.Read("base.cfg");
        bad.insert(bad.rfind("end"), c.line);
        tmp.Write("Vexa.cfg", bad);
        EXPECT_EQ(FatalText([&] { ReadConfigFile((tmp / "Vexa.cfg").c_str()); }), c.message);
        FreeRules();
    }
}

TEST_F(ConfigTest, FailedWriteKeepsTheOldFileAndSaysSo) {
    EXPECT_EQ(WriteConfigFileTo((tmp / "no/such/folder/Vexa.cfg").c_str()), 0);
    tmp.Write("Vexa.cfg", "old");
    ASSERT_EQ(WriteConfigFileTo((tmp / "Vexa.cfg").c_str()), 1);
    EXPECT_NE(tmp.Read("Vexa.cfg").find("first_run                               0;\n"), std::string::npos);
}

TEST_F(ConfigTest, PathsFile) {
    char before[kRootSize];
    snprintf(before, sizeof before, "%s", TEXTROOT);
    tmp.Write("paths",
              "/* roots */\n"
              "QZWDROOT:\tMaps\n"
              "TEXTROOT:  app\\text\n"
              "textroot: ignored\n"
              "OBJROOT: First\nOBJROOT: Second\n"
              "SOUNDROOT: Sounds\\\nMore\n"
              "unknown words; BITMAPROOT: \"Bit maps\"\n");
    ReadPathsFile((tmp / "paths").c_str());
    EXPECT_STREQ(QZWDROOT, "Maps");
    EXPECT_STREQ(TEXTROOT, "app\\text");
    EXPECT_STREQ(OBJROOT, "Second");
    EXPECT_STREQ(SOUNDROOT, "Sounds\\\nMore");  // a trailing backslash joins the next line
    EXPECT_STREQ(BITMAPROOT, "\"Bit maps\"");
    for (char* root : {QZWDROOT, TEXTROOT, OBJROOT, SOUNDROOT, BITMAPROOT}) root[0] = 0;
    snprintf(TEXTROOT, kRootSize, "%s", before);
}

}  // namespace
