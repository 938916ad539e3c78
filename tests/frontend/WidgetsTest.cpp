// Widget records: creation scaled from the 800 x 600 frame, texts cut to their fields, list limits, the
// number check of text fields and keyboard editing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Keys.h"
#include "frontend/Widgets.h"
#include "platform/InputDevices.h"
#include "support/Fatal.h"

namespace {

class Widgets : public ::testing::Test {
protected:
    ~Widgets() override {
        FreeWidgets();
        MenuScaleX = MenuScaleY = 1.0f;
        memset(KeyStates, 0, sizeof KeyStates);
    }
    kvtest::FatalCatcher fatal_;
};

TEST_F(Widgets, CreatorsScaleFromTheFrameAndTruncate) {
    struct Case {
        float sx, sy;
        int32_t left, top, right, bottom;
    } cases[] = {
        {1.0f, 1.0f, 88, 388, 228, 358},
        {1.28f, 1.28f, 112, 496, 291, 458},         // 1024 x 768
        {0.8f, 0.8f, 70, 310, 182, 286},            // 640 x 480
        {1.6f, 1.7066667f, 140, 662, 364, 610},     // 1280 x 1024
    };
    for (const Case& c : cases) {
        MenuScaleX = c.sx;
        MenuScaleY = c.sy;
        const int n = CreateButton(88, 388, 228, 358, "x");
        const UIButton& b = Buttons[n - 1];
        EXPECT_EQ(b.left, c.left) << c.sx;
        EXPECT_EQ(b.top, c.top) << c.sx;
        EXPECT_EQ(b.right, c.right) << c.sx;
        EXPECT_EQ(b.bottom, c.bottom) << c.sx;
    }
    EXPECT_EQ(Buttons.count, 4);
    // A list's rows and the values stay unscaled; a label without a colour takes the text colour.
    CreateListbox(100, 100, 200, 7, "t");
    EXPECT_EQ(Listboxes[0].rows, 7);
    CreateLabel(10, 10, 16, nullptr, "l");
    EXPECT_EQ(memcmp(Labels[0].colour, TextColour, 4), 0);
    EXPECT_EQ(Labels[0].height, 27) << "1.7066667 x 16, truncated";
}

TEST_F(Widgets, TextsAreCutToTheirFields) {
    const std::string longText(300, 'w');
    CreateButton(0, 0, 1, 1, longText.c_str());
    EXPECT_EQ(strlen(Buttons[0].text), 63u);
    CreateMsgBox(longText.c_str(), 2);
    EXPECT_EQ(strlen(MsgBoxes[0].text), 127u) << "a box has room for a refused load's reason";
    CreateListbox(0, 0, 1, 1, "t");
    AddListItem(&Listboxes[0], longText.c_str());
    EXPECT_EQ(strlen(Listboxes[0].items[0]), 255u);
}

TEST_F(Widgets, ListsHoldFiftyItemsAndLoseTheirLastOne) {
    CreateListbox(0, 0, 1, 1, "t");
    Listbox* list = &Listboxes[0];
    RemoveListItem(list);
    EXPECT_EQ(list->count, 0);
    for (int i = 0; i < kListItems; ++i) AddListItem(list, "item");
    try {
        AddListItem(list, "one too many");
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(AddListItem): Too many list items");
    }
    list->selected = 49;
    RemoveListItem(list);
    EXPECT_EQ(list->count, 49);
    EXPECT_STREQ(list->items[49], "");
    EXPECT_EQ(list->selected, 49) << "the selection is left as it was";
}

TEST_F(Widgets, TextFieldsAreCheckedByKind) {
    struct Case {
        const char* text;
        int32_t kind;
        int ok;
        const char* after;
    } cases[] = {
        {"12abc", kTextWholeNumber, 1, "12"},
        {"abc", kTextWholeNumber, 0, "abc"},
        {" -7", kTextWholeNumber, 1, "-7"},
        {"3", kTextDecimal, 1, "3.00"},
        {"2.5x", kTextDecimal, 1, "2.50"},
        {"x", kTextDecimal, 0, "x"},
        {"1e39", kTextDecimal, 0, "1e39"},  // beyond a float: not a number that can be shown
        {"inf", kTextDecimal, 0, "inf"},
        {"-3.4e38", kTextDecimal, 1, "-339999995214436424907732413799364296704.00"},
        {"any text", kTextFree, 1, "any text"},
    };
    for (const Case& c : cases) {
        char text[kWidgetTextSize];
        snprintf(text, sizeof text, "%s", c.text);
        EXPECT_EQ(ParseTextField(text, c.kind), c.ok) << c.text;
        EXPECT_STREQ(text, c.after) << c.text;
    }
}

TEST_F(Widgets, TypingWritesOncePerPressAndStopsAtSixtyThreeCharacters) {
    InitKeyNames();
    CreateTextbox(0, 0, "caption", kTextWholeNumber);
    FocusedTextbox = 0;
    Textbox& box = Textboxes[0];
    const int kOne = 2, kTwo = 3, kBackspace = 14, kReturn = 28;
    const auto frame = [](std::initializer_list<int> down) {
        memset(KeyStates, 0, sizeof KeyStates);
        for (int k : down) KeyStates[k] = 0x80;
        EditTextField();
    };
    frame({kOne});
    frame({kOne});  // held: no second character
    frame({});
    frame({kTwo});
    EXPECT_STREQ(box.edit, "12");
    frame({kBackspace});
    EXPECT_STREQ(box.edit, "1");
    frame({});
    // Backspace and a key together: the character lands at the end of what is left.
    frame({kBackspace, kTwo});
    EXPECT_STREQ(box.edit, "2");
    for (int i = 0; i < 80; ++i) {
        frame({kOne});
        frame({});
    }
    EXPECT_EQ(strlen(box.edit), 63u);
    frame({kBackspace});
    EXPECT_EQ(strlen(box.edit), 62u);
    // Return commits the text when it is a number, else brings the saved text back.
    snprintf(box.edit, sizeof box.edit, "x1");
    snprintf(box.saved, sizeof box.saved, "5");
    frame({kReturn});
    EXPECT_STREQ(box.edit, "5") << "refused: the saved text comes back";
    EXPECT_EQ(FocusedTextbox, 0);
    snprintf(box.edit, sizeof box.edit, "42abc");
    frame({});
    frame({kReturn});
    EXPECT_STREQ(box.saved, "42");
    EXPECT_EQ(FocusedTextbox, -1);
    FreeKeyNames();
}

}  // namespace
