// The options screens: the widgets show the configuration as it stands (values outside a list's table
// select the first item, values outside a slider's range are shown as they are), the screens' actions
// write the player's changes back, in a level the graphics screen changes the main view at once, and the
// team screen gives the local player's team its name, colour and logo.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "core/Config.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "platform/Dxgl.h"
#include "platform/Sound.h"
#include "render/Viewport.h"
#include "tests/frontend/FrontendFixture.h"
#include "tests/game/LevelFixture.h"
#include "game/Level.h"
#include "world/Player.h"

namespace {

// Every setting the options screens show or change, saved and put back.
struct Settings {
    int weather, shadows, lighting, reflection, width, colours, shrink, objectShrink, textureBits, depth;
    float gamma;
    char detail[kConfigTextSize], mirrored[kConfigTextSize];
    int music, swap, d3d, msg;
    float musicVolume, master;
    int target, torso, terrain, recentre, lookForward, invertTorso, invertAircraft;
    float mouse;
    int alphaBits;

    static Settings Take() {
        Settings s{weather_effects, shadows_and_marks, dynamic_lighting, water_reflection, ::xres, ::colourdepth,
                   scape_texture_shrink, object_texture_shrink, ::texturebpp, MainViewPort_DepthOfView,
                   gamma_brightness, {}, {}, use_bgdmusic, swap_stereo, use_directsound3d, msg_mode,
                   music_volume, dxgl_GetMasterVolume(), auto_target_view, free_torso_look,
                   auto_terrain_following, airborne_auto_recentering, auto_look_forward, mouse_invert_torso,
                   mouse_invert_aircraft, mouse_sensitivity, AlphaBits};
        memcpy(s.detail, MainViewPort_ScapeDetail, kConfigTextSize);
        memcpy(s.mirrored, MainViewPort_MirroredScapeDetail, kConfigTextSize);
        return s;
    }
    void Put() const {
        weather_effects = weather;
        shadows_and_marks = shadows;
        dynamic_lighting = lighting;
        water_reflection = reflection;
        xres = width;
        colourdepth = colours;
        scape_texture_shrink = shrink;
        object_texture_shrink = objectShrink;
        texturebpp = textureBits;
        MainViewPort_DepthOfView = depth;
        gamma_brightness = gamma;
        memcpy(MainViewPort_ScapeDetail, detail, kConfigTextSize);
        memcpy(MainViewPort_MirroredScapeDetail, mirrored, kConfigTextSize);
        use_bgdmusic = music;
        swap_stereo = swap;
        use_directsound3d = d3d;
        msg_mode = msg;
        music_volume = musicVolume;
        dxgl_SetMasterVolume(master, master);
        auto_target_view = target;
        free_torso_look = torso;
        auto_terrain_following = terrain;
        airborne_auto_recentering = recentre;
        auto_look_forward = lookForward;
        mouse_invert_torso = invertTorso;
        mouse_invert_aircraft = invertAircraft;
        mouse_sensitivity = mouse;
        AlphaBits = alphaBits;
    }
};

class Options : public kvtest::FrontendTest {
protected:
    Options() : saved_(Settings::Take()) {}
    ~Options() override {
        saved_.Put();
        InGame = 0;
    }
    Settings saved_;
};

void SetText(char* setting, const char* text) { snprintf(setting, kConfigTextSize, "%s", text); }

TEST_F(Options, TheWidgetsShowTheConfiguration) {
    struct Case {
        const char* what;
        int screen;
        std::function<void()> set;
        std::function<int()> shown;
        int expected;
    } cases[] = {
        {"detail by name", 201, [] { SetText(MainViewPort_ScapeDetail, "lod_high"); }, [] { return Listboxes[0].selected; }, 2},
        {"detail maximum", 201, [] { SetText(MainViewPort_ScapeDetail, "lod_maximum"); }, [] { return Listboxes[0].selected; }, 4},
        {"detail names are case-sensitive", 201, [] { SetText(MainViewPort_ScapeDetail, "LOD_HIGH"); },
         [] { return Listboxes[0].selected; }, 0},
        {"full reflection", 201, [] { water_reflection = 1; }, [] { return Listboxes[1].selected; }, 0},
        {"no reflection", 201, [] { water_reflection = -1; }, [] { return Listboxes[1].selected; }, 1},
        {"recommended reflection", 201, [] { water_reflection = 0; }, [] { return Listboxes[1].selected; }, 2},
        {"reflection outside the table", 201, [] { water_reflection = 7; }, [] { return Listboxes[1].selected; }, 0},
        {"1280 wide", 201, [] { xres = 1280; }, [] { return Listboxes[2].selected; }, 3},
        {"1152 wide is not listed", 201, [] { xres = 1152; }, [] { return Listboxes[2].selected; }, 0},
        {"16-bit display", 201, [] { colourdepth = 16; }, [] { return Listboxes[3].selected; }, 0},
        {"24-bit display", 201, [] { colourdepth = 24; }, [] { return Listboxes[3].selected; }, 1},
        {"terrain textures halved", 201, [] { scape_texture_shrink = 1; }, [] { return Listboxes[4].selected; }, 1},
        {"terrain textures shrunk further", 201, [] { scape_texture_shrink = 5; }, [] { return Listboxes[4].selected; }, 2},
        {"32-bit textures", 201, [] { texturebpp = 32; }, [] { return Listboxes[5].selected; }, 1},
        {"weather", 201, [] { weather_effects = 0; }, [] { return Checkboxes[0].checked; }, 0},
        {"lighting", 201, [] { dynamic_lighting = 3; }, [] { return Checkboxes[2].checked; }, 3},
        {"gamma 1.0", 201, [] { gamma_brightness = 1.0f; }, [] { return Sliders[0].value; }, 75},
        {"gamma 2.0", 201, [] { gamma_brightness = 2.0f; }, [] { return Sliders[0].value; }, 41},
        {"gamma 0.25", 201, [] { gamma_brightness = 0.25f; }, [] { return Sliders[0].value; }, 100},
        {"gamma 3.25", 201, [] { gamma_brightness = 3.25f; }, [] { return Sliders[0].value; }, 0},
        {"depth of view 6", 201, [] { MainViewPort_DepthOfView = 6; }, [] { return Sliders[1].value; }, 0},
        {"depth of view beyond the slider", 201, [] { MainViewPort_DepthOfView = 19; }, [] { return Sliders[1].value; }, 13},
        {"messages spoken", 202, [] { msg_mode = 2; }, [] { return Listboxes[0].selected; }, 2},
        {"messages outside the list", 202, [] { msg_mode = 5; }, [] { return Listboxes[0].selected; }, 0},
        {"music volume", 202, [] { music_volume = 0.75f; }, [] { return Sliders[0].value; }, 75},
        {"master volume 1", 202, [] { dxgl_SetMasterVolume(1.0f, 1.0f); }, [] { return Sliders[1].value; }, 100},
        {"master volume 0.5", 202, [] { dxgl_SetMasterVolume(0.5f, 0.5f); }, [] { return Sliders[1].value; }, 9},
        {"master volume 0", 202, [] { dxgl_SetMasterVolume(0.0f, 0.0f); }, [] { return Sliders[1].value; }, 0},
        {"swap stereo", 202, [] { swap_stereo = 1; }, [] { return Checkboxes[1].checked; }, 1},
        {"3D sound cannot be changed", 202, [] { use_directsound3d = 1; }, [] { return int{Checkboxes[2].enabled}; }, 0},
        {"free torso look", 203, [] { free_torso_look = 0; }, [] { return Checkboxes[1].checked; }, 0},
        {"airborne recentring", 203, [] { airborne_auto_recentering = 1; }, [] { return Checkboxes[3].checked; }, 1},
        {"inverted aircraft", 203, [] { mouse_invert_aircraft = 1; }, [] { return Checkboxes[6].checked; }, 1},
        {"mouse sensitivity 1.0", 203, [] { mouse_sensitivity = 1.0f; }, [] { return Sliders[0].value; }, 50},
        {"mouse sensitivity beyond the slider", 203, [] { mouse_sensitivity = 256.0f; }, [] { return Sliders[0].value; }, 12800},
    };
    for (const Case& c : cases) {
        saved_.Put();
        c.set();
        BuildScreen(c.screen);
        EXPECT_EQ(c.shown(), c.expected) << c.what;
    }
}

TEST_F(Options, TheScreensWriteTheChangesBack) {
    // A widget set as the player left it and reported pressed; the setting expected afterwards.
    enum Kind { kList, kCheck, kSlider };
    struct Case {
        const char* what;
        int screen;
        Kind kind;
        int index, value;
        std::function<bool()> holds;
    } cases[] = {
        {"detail maximum, mirrored at most high", 201, kList, 0, 4,
         [] { return !strcmp(MainViewPort_ScapeDetail, "lod_maximum") && !strcmp(MainViewPort_MirroredScapeDetail, "lod_high"); }},
        {"detail low, mirrored low", 201, kList, 0, 1,
         [] { return !strcmp(MainViewPort_ScapeDetail, "lod_low") && !strcmp(MainViewPort_MirroredScapeDetail, "lod_low"); }},
        {"no reflection", 201, kList, 1, 1, [] { return water_reflection == -1; }},
        {"recommended reflection", 201, kList, 1, 2, [] { return water_reflection == 0; }},
        {"small terrain textures", 201, kList, 4, 2, [] { return scape_texture_shrink == 2 && object_texture_shrink == 1; }},
        {"medium terrain textures", 201, kList, 4, 1, [] { return scape_texture_shrink == 1 && object_texture_shrink == 0; }},
        {"16-bit textures with 4 alpha bits", 201, kList, 5, 0, [] { return texturebpp == 16 && AlphaBits == 4; }},
        {"32-bit textures with 8 alpha bits", 201, kList, 5, 1, [] { return texturebpp == 32 && AlphaBits == 8; }},
        {"shadows off", 201, kCheck, 1, 0, [] { return shadows_and_marks == 0; }},
        {"brightness 75", 201, kSlider, 0, 75, [] { return std::fabs(gamma_brightness - 1.0f) < 1e-6f; }},
        {"brightness 0", 201, kSlider, 0, 0, [] { return std::fabs(gamma_brightness - 3.25f) < 1e-6f; }},
        {"view distance 4", 201, kSlider, 1, 4, [] { return MainViewPort_DepthOfView == 10; }},
        {"messages as text", 202, kList, 0, 0, [] { return msg_mode == 0; }},
        {"swap stereo", 202, kCheck, 1, 1, [] { return swap_stereo == 1; }},
        {"music volume", 202, kSlider, 0, 40, [] { return std::fabs(music_volume - 0.4f) < 1e-6f; }},
        {"effects volume", 202, kSlider, 1, 50,
         [] { return std::fabs(dxgl_GetMasterVolume() - static_cast<float>(std::pow(0.5, 0.3))) < 1e-6f; }},
        {"free torso look off", 203, kCheck, 1, 0, [] { return free_torso_look == 0; }},
        {"airborne recentring off", 203, kCheck, 3, 0, [] { return airborne_auto_recentering == 0; }},
        {"inverted torso", 203, kCheck, 5, 1, [] { return mouse_invert_torso == 1; }},
        {"mouse sensitivity", 203, kSlider, 0, 50, [] { return std::fabs(mouse_sensitivity - 1.0f) < 1e-6f; }},
    };
    for (const Case& c : cases) {
        saved_.Put();
        use_bgdmusic = 0;
        MenuScreen = c.screen;
        BuildScreen(c.screen);
        MenuHits h;
        switch (c.kind) {
            case kList: Listboxes[c.index].selected = c.value; h.list = c.index; break;
            case kCheck: Checkboxes[c.index].checked = c.value; h.checkbox = c.index; break;
            case kSlider: Sliders[c.index].value = c.value; h.slider = c.index; break;
        }
        RunScreenActions(h);
        EXPECT_TRUE(c.holds()) << c.what;
        EXPECT_EQ(OpenMsgBox, -1) << c.what;
    }
}

TEST_F(Options, TexturesWaitForTheMainMenu) {
    InGame = 1;
    for (int list : {4, 5}) {
        saved_.Put();
        MenuScreen = 201;
        BuildScreen(201);
        Listboxes[list].selected = 0;
        MenuHits h;
        h.list = list;
        RunScreenActions(h);
        EXPECT_EQ(OpenMsgBox, 1) << list;
        EXPECT_EQ(texturebpp, saved_.textureBits);
        EXPECT_EQ(scape_texture_shrink, saved_.shrink);
        MenuHits ok;
        ok.msgbox = 0;
        RunScreenActions(ok);
        EXPECT_EQ(OpenMsgBox, -1);
    }
}

// A level of the level tests: the graphics screen of the in-game menu rebuilds the main view's board for
// the reflection and the view distance, and takes the detail rules at once.
TEST(OptionsInALevel, TheMainViewFollowsTheGraphicsScreenAtOnce) {
    kvtest::FatalCatcher fatal;
    const Settings saved = Settings::Take();
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    InitLevel(0);
    ReadRules(KV_SOURCE_DIR "/data/app/text/Menu.txt");
    tree.dir().Write("extra", "lod_minimum 4000 3000 2000 1000;\nlod_low 8000 6000 4000 2000;\n"
                              "RecommendedReflection \"PARTIAL\";\nend\n");
    ReadRules((tree.dir() / "extra").c_str());
    InGame = 1;
    ASSERT_NE(MainViewPort, nullptr);
    ASSERT_NE(MainViewPort->board, nullptr);
    ASSERT_NE(MainViewPort->follows, nullptr);
    MenuScreen = 201;
    BuildScreen(201);
    auto list = [](int index, int row) {
        Listboxes[index].selected = row;
        MenuHits h;
        h.list = index;
        RunScreenActions(h);
    };
    list(1, 0);
    EXPECT_EQ(MainViewPort->reflectionType, kReflectFull);
    EXPECT_EQ(MainViewPort->vertexStride, 56);
    list(1, 2);
    EXPECT_EQ(MainViewPort->reflectionType, kReflectPartial) << "the level's recommendation";
    list(1, 1);
    EXPECT_EQ(MainViewPort->reflectionType, kReflectNone);
    Sliders[1].value = 5;
    MenuHits slider;
    slider.slider = 1;
    RunScreenActions(slider);
    EXPECT_EQ(MainViewPort->boardRadius, 11);
    list(0, 0);
    // The nearest detail distance is raised to the view's reach (radius x 200000 / 3).
    EXPECT_EQ(MainViewPort->lod[0], static_cast<int32_t>(11 * 66666.667));
    EXPECT_EQ(MainViewPort->lod[1], 3000);
    EXPECT_EQ(MainViewPort->morph[1], 3000);
    list(0, 1);
    EXPECT_EQ(MainViewPort->lod[3], 2000);
    EXPECT_EQ(MainViewPort->morph[3], 2000);
    FreeWidgets();
    InGame = 0;
    TeardownLevel();
    saved.Put();
}

// The team screen keeps the local player's team: the picked team's name, the sliders' colour and the
// logo (the default logo when the team's own cannot be had).
TEST_F(Options, TheTeamScreenSetsTheOwnTeam) {
    PlayerCell* had = OwnPlayer;
    OwnPlayer = CreatePlayer("tester");
    MenuScreen = kScreenTeam;
    BuildScreen(kScreenTeam);
    AddListItem(&Listboxes[0], "Wolves");
    Listboxes[0].selected = 0;
    MenuHits pick;
    pick.list = 0;
    RunScreenActions(pick);
    ASSERT_NE(OwnPlayer->team, nullptr);
    EXPECT_STREQ(OwnPlayer->team->name, "Wolves");
    EXPECT_EQ(OwnPlayer->team->logo, nullptr) << "no logo in this tree";
    for (int i = 0; i < 3; ++i) {
        Sliders[i].value = 300 + i;
        MenuHits h;
        h.slider = i;
        RunScreenActions(h);
    }
    const uint8_t colour[4] = {44, 45, 46, 80};
    EXPECT_EQ(memcmp(OwnPlayer->team->colour, colour, 4), 0);
    EXPECT_EQ(TeamCount, 1);
    EXPECT_EQ(OwnTeam(), OwnPlayer->team) << "one record for the player";
    DeleteTeam(TeamTable[0]);
    EXPECT_EQ(OwnPlayer->team, nullptr);
    EXPECT_EQ(TeamCount, 0);
    try {
        DeleteTeam(nullptr);
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(DeleteTeam): No more teams to delete");
    }
    DeletePlayer(OwnPlayer);
    OwnPlayer = had;
}

}  // namespace
