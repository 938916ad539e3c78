// The menu frame's hit tests on a scripted pointer, the press and double-click timing, and the main
// menu's state machine.
#include <gtest/gtest.h>

#include <cstring>

#include "core/Config.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "platform/InputDevices.h"
#include "tests/frontend/FrontendFixture.h"
#include "game/Level.h"
#include "game/Startup.h"

namespace {

class MenuFrameTest : public kvtest::FrontendTest {
protected:
    MenuFrameTest() {
        MouseReleased = 1;
        FirstClickTime = 0.0;
        DoubleClick = 0;
    }
    ~MenuFrameTest() override { memset(KeyStates, 0, sizeof KeyStates); }
};

TEST_F(MenuFrameTest, APressCountsOnceAndTwoCloseQuickPressesAreADoubleClick) {
    struct Step {
        int x, y;
        bool down;
        double now;
        bool press;
        int doubleClick;
    } steps[] = {
        {100, 100, true, 10.0, true, 0},    // first press of a pair
        {100, 100, true, 12.0, false, 0},   // held: no new press
        {100, 100, false, 14.0, false, 0},  // released
        {102, 98, true, 20.0, true, 1},     // second within 30 and 3 pixels: a double click
        {102, 98, false, 22.0, false, 1},
        {102, 98, true, 24.0, true, 0},     // a third press starts a new pair
        {102, 98, false, 26.0, false, 0},
        {102, 98, false, 55.0, false, 0},   // the first press times out after 30
        {102, 98, true, 56.0, true, 0},     // so this one starts a pair again
        {102, 98, false, 58.0, false, 0},
        {105, 98, true, 60.0, true, 0},     // 3 pixels away: no double click
    };
    for (const Step& s : steps) {
        EXPECT_EQ(TrackPress(s.x, s.y, s.down, s.now), s.press) << s.now;
        EXPECT_EQ(DoubleClick, s.doubleClick) << s.now;
        LatchMouse(s.down);
    }
}

TEST_F(MenuFrameTest, ButtonsTakeHoverAndPressesOnlyWhenEnabled) {
    BuildScreen(0);
    // Button 3 spans x 258..398 and y 118..148; its edges belong to it.
    SetMenuPointer(258, 118, false);
    EXPECT_EQ(HitButtons(), -1);
    EXPECT_EQ(Buttons[3].hover, 1);
    EXPECT_EQ(Buttons[0].hover, 0);
    SetMenuPointer(398, 148, true);
    EXPECT_EQ(HitButtons(), 3);
    SetMenuPointer(399, 148, true);
    EXPECT_EQ(HitButtons(), -1);
    EXPECT_EQ(Buttons[3].hover, 0);
    Buttons[3].enabled = 0;
    SetMenuPointer(300, 130, true);
    EXPECT_EQ(HitButtons(), -1);
    EXPECT_EQ(Buttons[3].hover, 0);
}

TEST_F(MenuFrameTest, ListsScrollSelectAndAnswerBelowTheirLastItem) {
    CreateListbox(100, 500, 300, 3, "list");
    for (int i = 0; i < 5; ++i) AddListItem(&Listboxes[0], "item");
    Listbox& l = Listboxes[0];
    // Rows from y 475 down, 15 high: row 1 is y 460 down to 446.
    SetMenuPointer(150, 455, true);
    EXPECT_EQ(HitListboxes(), 0);
    EXPECT_EQ(l.selected, 1);
    // The scroll bar takes the 20 units at the right: down scrolls while items are left below.
    SetMenuPointer(290, 500 - 45 - 10, true);
    EXPECT_EQ(HitListboxes(), -1);
    EXPECT_EQ(l.first, 1);
    HitListboxes();
    EXPECT_EQ(l.first, 2);
    HitListboxes();
    EXPECT_EQ(l.first, 2) << "three rows show the last three items";
    SetMenuPointer(290, 470, true);
    HitListboxes();
    EXPECT_EQ(l.first, 1);
    // A press in the row area below the last item answers the list but keeps the selection.
    CreateListbox(400, 500, 600, 4, "short");
    AddListItem(&Listboxes[1], "only");
    Listboxes[1].selected = 0;
    SetMenuPointer(450, 500 - 25 - 15 * 3 - 2, true);
    EXPECT_EQ(HitListboxes(), 1);
    EXPECT_EQ(Listboxes[1].selected, 0);
    // No press, no answer.
    SetMenuPointer(450, 470, false);
    EXPECT_EQ(HitListboxes(), -1);
}

TEST_F(MenuFrameTest, SlidersReachTheirEndsAndFollowTheDrag) {
    CreateSlider(100, 300, "s", 0, 0, 100);
    CreateCheckbox(400, 300, 600, "c", 0);
    SetMenuPointer(110, 270, true);
    EXPECT_EQ(HitSliders(), 0);
    EXPECT_EQ(Sliders[0].value, 0);
    EXPECT_EQ(DraggedSlider, 0);
    KeyStates[256] = 1;  // the button stays down: the drag follows the pointer at any height
    SetMenuPointer(290, 10, false);
    EXPECT_EQ(HitSliders(), 0);
    EXPECT_EQ(Sliders[0].value, 100);
    SetMenuPointer(200, 10, false);
    HitSliders();
    EXPECT_EQ(Sliders[0].value, 50);
    LatchMouse(false);
    EXPECT_EQ(DraggedSlider, -1);
    // A checkbox toggles on a press inside its box.
    SetMenuPointer(410, 290, true);
    EXPECT_EQ(HitCheckboxes(), 0);
    EXPECT_EQ(Checkboxes[0].checked, 1);
}

TEST_F(MenuFrameTest, MessageBoxesAnswerYesNoAndReturn) {
    BuildScreen(0);
    OpenMsgBox = 0;
    SetMenuPointer(250 + 80, 265, true);
    EXPECT_EQ(HitMsgBox(), 0);
    SetMenuPointer(549 - 80, 265, true);
    EXPECT_EQ(HitMsgBox(), 1);
    SetMenuPointer(400, 265, true);
    EXPECT_EQ(HitMsgBox(), -1);
    BuildScreen(201);
    OpenMsgBox = 0;  // one OK button
    KeyStates[28] = 0x80;
    SetMenuPointer(0, 0, false);
    EXPECT_EQ(HitMsgBox(), 0) << "Return answers while the mouse is not pressed";
    SetMenuPointer(0, 0, true);
    EXPECT_EQ(HitMsgBox(), -1);
}

TEST_F(MenuFrameTest, TheMainMenuReachesEveryScreenAndStartsTheLastMap) {
    snprintf(lastmap, sizeof lastmap, "Ema01");
    struct Case {
        int button;
        int screen;
        int result;
    } cases[] = {{0, 4, 0}, {1, 5, 0}, {2, 10, 0}, {4, 6, 0}, {5, 100, 0}, {6, 200, 0}, {7, 20, 0}, {3, 0, 1}};
    for (const Case& c : cases) {
        MenuScreen = 0;
        BuildScreen(0);
        MenuHits hits;
        hits.button = c.button;
        EXPECT_EQ(RunScreenActions(hits), c.result) << c.button;
        EXPECT_EQ(MenuScreen, c.screen) << c.button;
    }
    EXPECT_STREQ(MissionName, "Ema01");
    EXPECT_EQ(ScreenBackground, nullptr);
    MultiplayerOn = 0;
    lastmap[0] = 0;
}

TEST_F(MenuFrameTest, TheQuitBoxEndsTheMenusOnYesOnly) {
    MenuScreen = 0;
    BuildScreen(0);
    MenuHits quit;
    quit.button = 8;
    EXPECT_EQ(RunScreenActions(quit), 0);
    EXPECT_EQ(OpenMsgBox, 0);
    MenuHits no;
    no.msgbox = 1;
    EXPECT_EQ(RunScreenActions(no), 0);
    EXPECT_EQ(OpenMsgBox, -1);
    RunScreenActions(quit);
    MenuHits yes;
    yes.msgbox = 0;
    EXPECT_EQ(RunScreenActions(yes), -1);
    EXPECT_EQ(OpenMsgBox, -1);
}

TEST_F(MenuFrameTest, TheTitleFollowsTheHoveredButton) {
    MenuScreen = 0;
    BuildScreen(0);
    struct Case {
        int hovered;
        int shown;
    } cases[] = {{0, 0}, {1, 1}, {4, 2}, {2, 3}, {-1, 3}};
    for (const Case& c : cases) {
        for (int i = 0; i < Buttons.count; ++i) Buttons[i].hover = i == c.hovered;
        RunScreenActions(MenuHits{});
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Images[i].visible, i == c.shown) << c.hovered;
    }
    // The titles of the two sides start their campaigns as their buttons do.
    MenuHits image;
    image.image = 1;
    RunScreenActions(image);
    EXPECT_EQ(MenuScreen, 5);
    EXPECT_EQ(MenuClan, 1);
}

}  // namespace
