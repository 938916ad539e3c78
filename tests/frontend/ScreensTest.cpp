// The screen builder over every screen number: the widgets each screen makes and their texts from the
// demo's "Menu.txt", the scales, and the fatal error of a missing text.
#include <gtest/gtest.h>

#include <cstring>

#include "core/Config.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "platform/Font.h"
#include "support/TempDir.h"
#include "tests/frontend/FrontendFixture.h"
#include "game/Level.h"

namespace {

using Screens = kvtest::FrontendTest;

struct Counts {
    int labels, buttons, textboxes, ltextboxes, checkboxes, listboxes, sliders, frames, images, msgboxes;
    bool operator==(const Counts&) const = default;
};

Counts Current() {
    return {Labels.count,     Buttons.count, Textboxes.count, LTextboxes.count, Checkboxes.count,
            Listboxes.count, Sliders.count, Frames.count,    Images.count,     MsgBoxes.count};
}

std::ostream& operator<<(std::ostream& o, const Counts& c) {
    return o << c.labels << " " << c.buttons << " " << c.textboxes << " " << c.ltextboxes << " " << c.checkboxes
             << " " << c.listboxes << " " << c.sliders << " " << c.frames << " " << c.images << " " << c.msgboxes;
}

TEST_F(Screens, EveryScreenMakesItsWidgetsWithTheirTexts) {
    for (Objective& o : PrimaryObjectives) snprintf(o.text, sizeof o.text, "NONE");
    for (Objective& o : SecondaryObjectives) snprintf(o.text, sizeof o.text, "NONE");
    struct Case {
        int screen;
        Counts counts;
        const char* firstButton;
    } cases[] = {
        {0, {2, 9, 0, 0, 0, 0, 0, 0, 4, 1}, "E.M.A. campaign"},
        {4, {0, 2, 0, 1, 0, 3, 0, 0, 1, 0}, "Back"},
        {5, {0, 2, 0, 1, 0, 3, 0, 0, 1, 0}, "Back"},
        {6, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0}, "Back"},
        {8, {4, 2, 0, 0, 0, 0, 0, 0, 0, 0}, "Main menu"},
        {9, {0, 6, 0, 0, 0, 0, 0, 0, 0, 3}, "Resume"},
        {10, {0, 3, 0, 0, 0, 1, 0, 0, 0, 3}, "Back"},
        {11, {0, 3, 0, 0, 0, 1, 0, 0, 0, 2}, "Back"},
        {12, {0, 3, 0, 0, 0, 0, 0, 0, 0, 2}, "Restart mission"},
        {20, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, "Back"},
        {100, {0, 4, 0, 0, 0, 0, 0, 0, 0, 0}, "Host a game"},
        {101, {0, 2, 6, 0, 5, 4, 0, 0, 0, 1}, "Back"},
        {102, {9, 3, 3, 0, 0, 1, 0, 0, 0, 1}, "Back"},  // host, port and password boxes
        {107, {0, 2, 3, 0, 0, 1, 3, 1, 1, 0}, "Back"},
        {200, {0, 5, 0, 0, 0, 0, 0, 0, 0, 0}, "Graphics"},
        {201, {4, 2, 0, 0, 3, 6, 2, 0, 0, 3}, "Back"},
        {202, {1, 1, 0, 0, 3, 1, 2, 0, 0, 0}, "Back"},
        {203, {6, 1, 0, 0, 7, 0, 1, 0, 0, 0}, "Back"},
        {204, {92, 3, 0, 0, 0, 1, 0, 26, 0, 2}, "Back"},
        {7, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
        {13, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
        {250, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
        {-1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
    };
    for (const Case& c : cases) {
        BuildScreen(c.screen);
        EXPECT_EQ(Current(), c.counts) << "screen " << c.screen;
        if (c.firstButton && Buttons.count > 0) {
            EXPECT_STREQ(Buttons[0].text, c.firstButton) << c.screen;
        }
    }
}

TEST_F(Screens, TheMainMenuStandsOnceWithItsTitleAndQuitBox) {
    BuildScreen(0);
    BuildScreen(0);
    EXPECT_EQ(Current(), (Counts{2, 9, 0, 0, 0, 0, 0, 0, 4, 1}));
    EXPECT_STREQ(Buttons[3].text, "Start mission");
    EXPECT_EQ(Buttons[3].left, 258);
    EXPECT_EQ(Buttons[3].top, 148);
    EXPECT_STREQ(Images[0].picture, "Title\\EMA");
    EXPECT_STREQ(Images[3].picture, "Title\\NONE");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Images[i].visible, i == 3) << i;
    EXPECT_EQ(Labels[0].visible + Labels[1].visible, 0);
    EXPECT_STREQ(MsgBoxes[0].text, "Do you really want to quit?");
    EXPECT_EQ(MsgBoxes[0].kind, 2);
    EXPECT_STREQ(MsgBoxes[0].button0, "Yes");
    EXPECT_STREQ(MsgBoxes[0].button1, "No");
    const uint8_t widget[3] = {64, 77, 115};
    EXPECT_EQ(memcmp(WidgetColour, widget, 3), 0);
    EXPECT_EQ(WidgetColour[3], 128) << "the builder sets only red, green and blue";
    // A screen without widgets keeps the colours.
    BuildScreen(7);
    EXPECT_EQ(memcmp(WidgetColour, widget, 3), 0);
}

TEST_F(Screens, ScalesAndTextSizeFollowTheScreen) {
    struct Case {
        int w, h;
        float sx, sy;
        int text;
    } cases[] = {{800, 600, 1.0f, 1.0f, 13}, {1024, 768, 1.28f, 1.28f, 16}, {640, 480, 0.8f, 0.8f, 10},
                 {1280, 1024, 1.6f, 1.7066667f, 22}};
    for (const Case& c : cases) {
        ScreenWidth = c.w;
        ScreenHeight = c.h;
        BuildScreen(100);
        EXPECT_FLOAT_EQ(MenuScaleX, c.sx);
        EXPECT_FLOAT_EQ(MenuScaleY, c.sy);
        EXPECT_EQ(FontSize, c.text) << c.w;
    }
    FontSize = 13;
}

TEST_F(Screens, DebriefingShowsTheNamedObjectivesAndTheVerdict) {
    for (Objective& o : PrimaryObjectives) snprintf(o.text, sizeof o.text, "NONE");
    for (Objective& o : SecondaryObjectives) snprintf(o.text, sizeof o.text, "NONE");
    snprintf(PrimaryObjectives[0].text, 64, "Take the hill");
    PrimaryObjectives[0].number = 1;
    snprintf(PrimaryObjectives[2].text, 64, "Keep the depot");
    PrimaryObjectives[2].number = -1;
    snprintf(SecondaryObjectives[1].text, 64, "Hidden");
    SecondaryObjectives[1].number = -2;  // below -1: an empty slot whatever its name
    MissionLost = 1;
    MissionWon = 1;
    BuildScreen(8);
    MissionLost = MissionWon = 0;
    ASSERT_EQ(Labels.count, 8);
    EXPECT_STREQ(Labels[2].text, "Take the hill");
    EXPECT_EQ(Labels[2].y, 480);
    EXPECT_STREQ(Labels[3].text, "accomplished");
    EXPECT_EQ(Labels[3].y, 466);
    EXPECT_EQ(Labels[3].colour[1], 240);
    EXPECT_EQ(Labels[4].y, 420);
    EXPECT_STREQ(Labels[5].text, "failed");
    EXPECT_EQ(Labels[5].y, 406);
    EXPECT_EQ(Labels[5].colour[0], 240);
    EXPECT_STREQ(Labels[7].text, "Mission failed") << "lost wins over won";
    EXPECT_EQ(Labels[7].colour[0], 240);
}

TEST_F(Screens, ListSelectionsAreCheckedAgainstTheirLists) {
    const int skillWas = skill_level, xresWas = xres;
    const int msgWas = msg_mode;
    skill_level = 7;
    BuildScreen(4);
    EXPECT_EQ(Listboxes[2].selected, 0) << "a skill level outside the list selects the first item";
    skill_level = 2;
    BuildScreen(5);
    EXPECT_EQ(Listboxes[2].selected, 2);
    EXPECT_STREQ(Listboxes[2].items[2], "Hard");
    xres = 1152;
    msg_mode = -3;
    BuildScreen(201);
    EXPECT_EQ(Listboxes[2].selected, 0);
    BuildScreen(202);
    EXPECT_EQ(Listboxes[0].selected, 0);
    skill_level = skillWas;
    xres = xresWas;
    msg_mode = msgWas;
}

TEST_F(Screens, AMissingTextStopsTheBuildNamingItsKey) {
    FreeRules();
    kvtest::TempDir dir;
    std::string text;
    {
        FILE* f = fopen(KV_SOURCE_DIR "/data/app/text/Menu.txt", "rb");
        ASSERT_NE(f, nullptr);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        fclose(f);
    }
    const size_t at = text.find("0.lbl001");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 8, "0.lblXXX");
    dir.Write("Menu.txt", text);
    ReadRules((dir / "Menu.txt").c_str());
    try {
        BuildScreen(0);
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedRule): Rule '0.lbl001' not found");
    }
}

}  // namespace
