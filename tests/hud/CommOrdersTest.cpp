// The comm menu and its commands: the entries from the rules, which commands are refused when, and the
// AI messages the orders post to the player clan's AI.
#include <functional>
#include <string>
#include <vector>

#include "TaskForceFixture.h"
#include "hud/MapSurfaces.h"
#include "hud/MessageLog.h"

namespace hudtest {
namespace {

using Units = std::vector<construct*>;

TEST(CommMenu, EntriesAreNumberedFromTheRulesAndCutToTheirFields) {
    TaskForceScene s;
    ASSERT_EQ(s.menu_->entryCount, 8);
    EXPECT_STREQ(s.menu_->entries[3].text, "4 Sneak to");
    EXPECT_STREQ(s.menu_->entries[3].keyText, "4 Sneak");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(s.menu_->entries[i].code, uint32_t(i));
    EXPECT_EQ(s.menu_->open, 0);
    EXPECT_EQ(s.menu_->highlighted, -1);

    // A text longer than its field is cut, terminated.
    const std::string long200(200, 'x');
    CreateCommMenuEntry(s.menu_, long200.c_str(), "k", 6);
    EXPECT_EQ(std::string(s.menu_->entries[8].text), long200.substr(0, 127));
    for (int i = 9; i < 24; ++i) CreateCommMenuEntry(s.menu_, "more", "m", 6);
    EXPECT_EQ(s.FatalText([&] { CreateCommMenuEntry(s.menu_, "25th", "m", 6); }),
              "Error(CreateCommMenuEntry): too many com menu entries");

    // Opening shows nothing highlighted for 600 ticks; closing lets go of the recipients, the focus unit
    // and every member's selection.
    const Units u = s.Members(2);
    UpdateTFSelection(s.view_);
    s.menu_->highlighted = 3;
    OpenCommMenu(s.menu_);
    EXPECT_EQ(s.menu_->highlighted, -1);
    EXPECT_EQ(s.menu_->timeout, 600);
    s.Recipients(u);
    s.menu_->focus = u[0];
    u[1]->flags |= kConSelected;
    CloseCommMenu(s.view_, s.menu_);
    EXPECT_EQ(s.menu_->open, 0);
    EXPECT_EQ(s.menu_->recipients->count, 0);
    EXPECT_EQ(s.menu_->focus, nullptr);
    EXPECT_FALSE(u[1]->flags & kConSelected);
}

TEST(CommMenu, AMissingEntryRuleEndsTheProgram) {
    struct Bare : aitest::AIScene {
        void TestBody() override {}
        using aitest::AIScene::FatalText;
        using aitest::AIScene::Rules;
    } bare;
    bare.Rules("Comm_entry1 \"a\" \"b\"; Comm_entry2 \"a\" \"b\";");
    EXPECT_EQ(bare.FatalText([] { CreateCommMenu(); }), "Error(NamedRule): Rule 'comm_entry3' not found");
    // Nothing was made before the rules were found.
    EXPECT_EQ(FindConstructPool("recipients"), nullptr);
}

TEST(CommOrders, EachCommandPostsItsOrderOrIsRefused) {
    struct Case {
        const char* name;
        int entry;
        std::vector<int> recipients;
        int player;  // the unit the player drives, -1 none
        bool lockTarget;
        std::vector<int> formed;  // a formed group of the task force
        int type;                 // the message posted; 0 none
    };
    const Case cases[] = {
        {"follow", 4, {1, 2}, 0, false, {}, 356},
        {"follow without a player unit", 4, {1, 2}, -1, false, {}, 0},
        {"hold", 6, {1, 2}, -1, false, {}, 353},
        {"hide", 7, {2}, -1, false, {}, 354},
        {"attack the locked target", 5, {1}, 0, true, {}, 358},
        {"attack without a locked target", 5, {1}, 0, false, {}, 0},
        {"hold for the player's own formed group", 6, {2}, 0, false, {0, 2}, 0},
        {"hold beside the player in group 0", 6, {2}, 0, false, {1, 3}, 353},
        {"hold without recipients", 6, {}, -1, false, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskForceScene s;
        const Units u = s.Members(4);
        construct* target = s.Unit(s.ga(), 20 * 65536, 0, 0);
        UpdateTFSelection(s.view_);
        if (!c.formed.empty()) s.Form({u[size_t(c.formed[0])], u[size_t(c.formed[1])]});
        construct* player = c.player >= 0 ? u[size_t(c.player)] : nullptr;
        PlayerUnit = player;
        if (c.lockTarget) aitest::Block(player)->share.lockTarget = target;
        Units recipients;
        for (int i : c.recipients) recipients.push_back(u[size_t(i)]);
        s.Recipients(recipients);
        OpenCommMenu(s.menu_);
        TaskForceScene::DrainQueues();

        ExecuteTFCommand(s.view_, s.menu_, c.entry);
        EXPECT_EQ(s.menu_->open, 0);
        const std::vector<Posted> posted = TaskForceScene::Take(0);
        if (!c.type) {
            EXPECT_TRUE(posted.empty());
        } else {
            ASSERT_EQ(posted.size(), 1u);
            EXPECT_EQ(posted[0].type, c.type);
            EXPECT_EQ(posted[0].units, recipients);
            EXPECT_EQ(posted[0].unit, c.type == 356 ? player : nullptr);
            EXPECT_EQ(posted[0].other, c.type == 358 ? target : nullptr);
        }
        aitest::Block(u[0])->share.lockTarget = nullptr;
        PlayerUnit = nullptr;
    }
}

TEST(CommOrders, MoveAndSneakPickTheirPointOnTheLargeMap) {
    for (int entry : {2, 3}) {
        TaskForceScene s;
        const Units u = s.Members(2);
        UpdateTFSelection(s.view_);
        s.Recipients(u);
        OpenCommMenu(s.menu_);
        TaskForceScene::DrainQueues();
        ExecuteTFCommand(s.view_, s.menu_, entry);
        EXPECT_EQ(s.view_->orderKind, entry == 2 ? 1 : 0);
        EXPECT_EQ(s.view_->panels[kLargeMap], 1);
        EXPECT_EQ(s.view_->pointing, 1);
        EXPECT_EQ(s.menu_->open, 1);

        // The point picked on the map goes with the order.
        const int32_t point[3] = {3 * 65536, 800, 5 * 65536};
        SendOrderToGroup(s.menu_->recipients, point, s.view_->orderKind);
        const std::vector<Posted> posted = TaskForceScene::Take(0);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].type, entry == 2 ? 350 : 351);
        EXPECT_EQ(posted[0].units, u);
        EXPECT_EQ(std::vector<int32_t>(posted[0].point, posted[0].point + 3),
                  std::vector<int32_t>(point, point + 3));
        CloseLargeMap(s.view_);
        EXPECT_EQ(s.view_->pointing, 0);
    }
}

TEST(CommOrders, TakingControlAndWatchingActOnOneUnitOrOneFormedGroup) {
    struct Case {
        const char* name;
        int entry;
        std::vector<int> recipients;
        std::vector<int> formed;
        bool inputDriven;
        bool blocked;
        bool entered;
        bool menuOpen;
    };
    const Case cases[] = {
        {"control of the one recipient", 0, {1}, {}, true, false, true, false},
        {"control of a formed group's focus unit", 0, {1, 2}, {1, 2}, true, false, true, false},
        {"control of two recipients that are no group", 0, {1, 2}, {}, true, true, false, false},
        {"control of a unit that takes no input", 0, {1}, {}, false, false, false, true},
        {"watch one recipient", 1, {1}, {}, true, false, false, false},
        {"watch two recipients", 1, {1, 2}, {}, true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskForceScene s;
        const Units u = s.Members(3);
        UpdateTFSelection(s.view_);
        if (!c.formed.empty()) s.Form({u[size_t(c.formed[0])], u[size_t(c.formed[1])]});
        if (!c.inputDriven) u[1]->flags &= ~kConInputDriven;
        Units recipients;
        for (int i : c.recipients) recipients.push_back(u[size_t(i)]);
        s.Recipients(recipients);
        s.menu_->focus = u[1];
        OpenCommMenu(s.menu_);
        EXPECT_EQ(IsTFCommandBlocked(s.view_, s.menu_, uint32_t(c.entry)) != 0, c.blocked);
        ExecuteTFCommand(s.view_, s.menu_, c.entry);
        EXPECT_EQ(PlayerUnit, c.entered ? u[1] : nullptr);
        EXPECT_EQ(s.menu_->open, c.menuOpen ? 1 : 0);
        if (c.entered) {
            EXPECT_EQ(s.menu_->focus, u[1]);
            EXPECT_EQ(s.view_->leaveLatch, 1);
            EXPECT_EQ(s.menu_->recipients->count, 0);
        }
        PlayerUnit = nullptr;
    }
}

TEST(CommOrders, SimpleOrdersOutsideTheTableAreRefused) {
    TaskForceScene s;
    const Units u = s.Members(1);
    s.Recipients(u);
    ClearMessages();
    SendSimpleCommOrder(s.menu_->recipients, 10);
    ASSERT_GE(MessageLogCount, 1);
    EXPECT_STREQ(MessageLog[0].text, "NOT IMPLEMENTED");
    EXPECT_TRUE(TaskForceScene::Take(0).empty());
    EXPECT_EQ(s.FatalText([&] { SendSimpleCommOrder(s.menu_->recipients, 5); }),
              "Error(SendSimpleCommOrder): not implemented");
    ClearMessages();
}

}  // namespace
}  // namespace hudtest
