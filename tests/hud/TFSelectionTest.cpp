// The task-force selection: groups and slot numbers as members come and go, groups formed and dissolved,
// the task buttons' column, the members highlighted.
#include <functional>
#include <string>
#include <vector>

#include "TaskForceFixture.h"
#include "ai/RecordReplay.h"
#include "hud/Icons.h"

namespace hudtest {
namespace {

using Units = std::vector<construct*>;

// The slot byte of each unit; -1 for a unit whose slot is not looked at.
std::vector<int> Slots(const Units& units, const std::vector<int>& wanted) {
    std::vector<int> out;
    for (size_t i = 0; i < units.size(); ++i) out.push_back(wanted[i] < 0 ? -1 : units[i]->bytes2[0]);
    return out;
}

TEST(TFSelection, GroupsSlotsButtonsAndMessagesFollowTheMembers) {
    struct Case {
        const char* name;
        int units;
        // Changes made to the task force before the last update; the scene's units by index.
        std::function<void(TaskForceScene&, const Units&)> change;
        std::vector<std::vector<int>> groups;  // after the last update, by unit index
        std::vector<int> slots;                // by unit index; -1 not looked at
        int nextSlot;
    };
    const Case cases[] = {
        {"new members get the next slots in pool order",
         3,
         [](TaskForceScene&, const Units&) {},
         {{0, 1, 2}},
         {0, 1, 2},
         3},
        {"a member gone leaves its group and the others keep their slots",
         3,
         [](TaskForceScene& s, const Units& u) { s.Drop(u[1]); },
         {{0, 2}},
         {0, -1, 2},
         3},
        {"a member that left and comes back gets a new number",
         3,
         [](TaskForceScene& s, const Units& u) {
             s.Drop(u[2]);
             s.Drop(u[0]);
             UpdateTFSelection(s.view_);
             AppendToConstructPool(s.ema()->pool, u[2]);
         },
         {{1, 2}},
         {-1, 1, 3},
         4},
        {"a formed group's units are sorted by slot",
         4,
         [](TaskForceScene& s, const Units& u) {
             s.Form({u[3], u[1]});
         },
         {{0, 2}, {1, 3}},
         {0, 1, 2, 3},
         4},
        {"a formed group shrunk to one gives its unit back to group 0",
         4,
         [](TaskForceScene& s, const Units& u) {
             s.Form({u[1], u[2]});
             s.Drop(u[2]);
         },
         {{0, 1, 3}},
         {0, 1, -1, 3},
         4},
        {"a sixth group is merged into the fifth",
         12,
         [](TaskForceScene& s, const Units& u) {
             for (int g = 0; g < 5; ++g) s.Form({u[size_t(2 * g)], u[size_t(2 * g + 1)]});
         },
         {{10, 11}, {0, 1}, {2, 3}, {4, 5}, {6, 7, 8, 9}},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
         12},
        {"in record/replay without a replayed action unit the task force is empty",
         3,
         [](TaskForceScene&, const Units&) { RecordReplayActive = 1; },
         {{}},
         {0, 1, 2},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskForceScene s;
        ScreenHeight = 1200;  // a button for every member
        const Units u = s.Members(c.units);
        UpdateTFSelection(s.view_);
        c.change(s, u);
        TaskForceScene::DrainQueues();
        UpdateTFSelection(s.view_);
        RecordReplayActive = 0;

        std::vector<std::vector<construct*>> want;
        Units order;
        for (const auto& g : c.groups) {
            want.emplace_back();
            for (int i : g) want.back().push_back(u[size_t(i)]), order.push_back(u[size_t(i)]);
        }
        EXPECT_EQ(s.Groups(), want);
        EXPECT_EQ(Slots(u, c.slots), c.slots);
        EXPECT_EQ(s.view_->nextSlot, c.nextSlot);
        // The members pool and the buttons follow the groups' order.
        EXPECT_EQ(s.Pool(s.view_->members), order);
        ASSERT_EQ(s.view_->buttonCount, int(order.size()));
        for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(s.view_->buttons[i]->unit, order[i]) << i;
        // The clan's AI hears of every group: its index and its units.
        const std::vector<Posted> posted = TaskForceScene::Take(0);
        ASSERT_EQ(posted.size(), want.size());
        for (size_t g = 0; g < posted.size(); ++g) {
            EXPECT_EQ(posted[g].type, 357);
            EXPECT_EQ(posted[g].param, intptr_t(g));
            EXPECT_EQ(posted[g].units, want[g]);
        }
    }
}

TEST(TFSelection, GroupsAreFormedAndDissolved) {
    TaskForceScene s;
    const Units u = s.Members(4);
    UpdateTFSelection(s.view_);

    OpenCommMenu(s.menu_);
    s.Form({u[0], u[1]});
    EXPECT_EQ(s.Groups(), (std::vector<Units>{{u[2], u[3]}, {u[0], u[1]}}));
    EXPECT_EQ(s.menu_->open, 0);
    EXPECT_EQ(s.menu_->recipients->count, 0);
    EXPECT_EQ(FindTFGroupOfUnit(s.view_, u[1]), s.view_->groups[1]);
    s.Recipients({u[1], u[0]});
    EXPECT_EQ(FindExactTFGroup(s.view_, s.menu_->recipients), s.view_->groups[1]);
    s.Recipients({u[1]});
    EXPECT_EQ(FindExactTFGroup(s.view_, s.menu_->recipients), nullptr);

    // The recipients are exactly the formed group: it is dissolved.
    s.Form({u[1], u[0]});
    EXPECT_EQ(s.Groups(), (std::vector<Units>{{u[0], u[1], u[2], u[3]}}));

    // Exactly group 0 forms a group of its own.
    s.Form(u);
    EXPECT_EQ(s.Groups(), (std::vector<Units>{{}, {u[0], u[1], u[2], u[3]}}));

    // With 30 groups no group can be made: the menu only closes.
    s.Form(u);
    while (CreateTFGroup(s.view_)) {
    }
    ASSERT_EQ(s.view_->groupCount, 30);
    OpenCommMenu(s.menu_);
    s.Form({u[0], u[1]});
    EXPECT_EQ(s.menu_->open, 0);
    EXPECT_EQ(s.view_->groupCount, 30);
    EXPECT_EQ(s.Pool(s.view_->groups[0]), u);

    // A group deleted that the table does not hold still goes; the table stays.
    ConstructPool* stray = CreateConstructPool(4, "stray group");
    DeleteTFGroup(s.view_, stray);
    EXPECT_EQ(FindConstructPool("stray group"), nullptr);
    EXPECT_EQ(s.view_->groupCount, 30);
}

TEST(TFSelection, TheButtonColumnTakesWhatFitsDownTheRightEdge) {
    struct Case {
        const char* name;
        int height;
        int members;
        int buttons;
    };
    const Case cases[] = {
        {"a column as high as the screen", 480, 20, 13},
        {"40 buttons at most, however many members", 4000, 45, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskForceScene s;
        ScreenHeight = c.height;
        s.Members(c.members);
        UpdateTFSelection(s.view_);
        EXPECT_EQ(s.view_->buttonCount, c.buttons);
        EXPECT_GE(s.view_->buttons[c.buttons - 1]->bottom, 0);
    }

    // Two groups of two: 18 pixels below the top, 37 apart, 18 more between groups, the groups' colours.
    TaskForceScene s;
    const Units u = s.Members(4);
    UpdateTFSelection(s.view_);
    s.Form({u[2], u[3]});
    ASSERT_EQ(s.view_->buttonCount, 4);
    const int tops[] = {462, 425, 370, 333};
    const uint8_t colours[2][4] = {{0, 128, 64, 80}, {0, 32, 128, 80}};
    for (int i = 0; i < 4; ++i) {
        const TaskButton* b = s.view_->buttons[i];
        EXPECT_EQ(b->kind, 0u);
        EXPECT_EQ(b->left, 640 - 144);
        EXPECT_EQ(b->right, 640);
        EXPECT_EQ(b->top, tops[i]) << i;
        EXPECT_EQ(b->bottom, tops[i] - 18) << i;
        EXPECT_EQ(std::vector<uint8_t>(b->colour, b->colour + 4),
                  std::vector<uint8_t>(colours[i / 2], colours[i / 2] + 4))
            << i;
    }
}

TEST(TFSelection, SlotNumbersStopBelowUnassignedAndGetNoKeyPastTheLabels) {
    TaskForceScene s;
    s.view_->nextSlot = 253;
    const Units u = s.Members(3);
    UpdateTFSelection(s.view_);
    EXPECT_EQ(Slots(u, {0, 0, 0}), (std::vector<int>{253, 254, 254}));
    UpdateTFSelection(s.view_);
    EXPECT_EQ(Slots(u, {0, 0, 0}), (std::vector<int>{253, 254, 254}));

    QZIcon icons[18] = {};
    for (int i = 0; i < 10; ++i) s.view_->iconsC[i] = &icons[i];
    for (int i = 0; i < 8; ++i) s.view_->iconsE[i] = &icons[10 + i];
    const struct {
        int slot;
        char key;
        QZIcon* symbol;
    } table[] = {{0, '1', &icons[0]},   {9, '0', &icons[9]}, {10, 'Q', &icons[14]},
                 {14, 'T', &icons[14]}, {15, 0, &icons[14]}, {254, 0, &icons[14]}};
    for (const auto& t : table) {
        EXPECT_EQ(TFSlotKeyLabel(t.slot), t.key) << t.slot;
        EXPECT_EQ(TFMemberSymbol(s.view_, t.slot), t.symbol) << t.slot;
    }
}

TEST(TFSelection, AGroupIsHighlightedWhileThePoolHasRoom) {
    TaskForceScene s;
    const Units u = s.Members(100);
    UpdateTFSelection(s.view_);
    HighlightTFGroup(s.view_, 0, 1);
    EXPECT_EQ(s.highlighted_->count, 90);
    EXPECT_TRUE(u[89]->flags & kConHighlighted);
    EXPECT_FALSE(u[90]->flags & kConHighlighted);

    s.Form({u[95], u[96]});
    HighlightTFGroup(s.view_, 1, 1);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[95], u[96]}));
    EXPECT_FALSE(u[0]->flags & kConHighlighted);
    // Without clearing, units already there are not added twice.
    HighlightTFGroup(s.view_, 1, 0);
    EXPECT_EQ(s.highlighted_->count, 2);
}

}  // namespace
}  // namespace hudtest
