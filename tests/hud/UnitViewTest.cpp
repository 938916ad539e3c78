// The unit view: the player entering and leaving units (the clan's messages, the cameras, the input, the
// fire keys, the highlighted units) and the servicing of units at reload points.
#include <string>
#include <utility>
#include <vector>

#include "TaskForceFixture.h"

namespace hudtest {
namespace {

using Units = std::vector<construct*>;
using Calls = std::vector<std::pair<ItfcMethod, uintptr_t>>;

TEST(UnitView, EnteringAndLeavingTellTheClanAndMoveTheCameras) {
    struct Case {
        const char* name;
        int preferred;
        ItfcMethod follow;
    };
    for (const Case& c : {Case{"the outside camera flies in", 0, ItfcMethod::FOLLOWTOGGLE},
                          Case{"the outside camera follows", 2, ItfcMethod::FOLLOWUNIT}}) {
        SCOPED_TRACE(c.name);
        TaskForceScene s;
        preferred_view = c.preferred;
        const Units u = s.Members(3);
        UpdateTFSelection(s.view_);
        s.Form({u[1], u[2]});
        TaskForceScene::DrainQueues();
        g_cameraCalls.clear();

        // From the map into the first unit.
        EnterUnitView(s.view_, u[0], 1);
        EXPECT_EQ(PlayerUnit, u[0]);
        EXPECT_EQ(u[0]->playerCell, OwnPlayer);
        EXPECT_EQ(MainViewSource, SatCamera);
        EXPECT_TRUE(StatCamera->flags & kConBusy);
        // Attached to the unit, and told of it again with every camera of the busy pools.
        EXPECT_EQ(TaskForceScene::CallsTo(StatCamera),
                  (Calls{{ItfcMethod::ATTACH, Word(u[0])}, {ItfcMethod::ATTACH, Word(u[0])}}));
        EXPECT_EQ(TaskForceScene::CallsTo(SatCamera),
                  (Calls{{ItfcMethod::VIEWINSIDE, 0}, {c.follow, Word(u[0])}}));
        // (Letting go of a unit's aim point tells its clan too: message 10.)
        std::vector<Posted> posted = OfType(TaskForceScene::Take(0), 150);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].unit, u[0]);
        EXPECT_EQ(posted[0].other, nullptr);

        // From it into the second: the clan hears of both.
        EnterUnitView(s.view_, u[1], 1);
        EXPECT_EQ(PlayerUnit, u[1]);
        posted = OfType(TaskForceScene::Take(0), 152);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].unit, u[1]);
        EXPECT_EQ(posted[0].other, u[0]);

        // Back to the map: the unit's whole group is highlighted, the cameras let go.
        g_cameraCalls.clear();
        Fire1Armed = Fire2Armed = 1;
        LeaveUnitView(s.view_);
        EXPECT_EQ(PlayerUnit, nullptr);
        EXPECT_EQ(u[1]->playerCell, nullptr);
        EXPECT_EQ(Fire1Armed, 0);
        EXPECT_EQ(Fire2Armed, 0);
        EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[1], u[2]}));
        EXPECT_TRUE(u[2]->flags & kConHighlighted);
        EXPECT_FALSE(StatCamera->flags & kConBusy);
        EXPECT_EQ(TaskForceScene::CallsTo(StatCamera), (Calls{{ItfcMethod::ATTACH, 0}}));
        EXPECT_EQ(TaskForceScene::CallsTo(WatchCamera), (Calls{{ItfcMethod::ATTACH, 0}}));
        EXPECT_EQ(TaskForceScene::CallsTo(SatCamera), (Calls{{ItfcMethod::ATTACH, Word(u[1])},
                                                             {ItfcMethod::VIEWINSIDE, 0},
                                                             {ItfcMethod::SETMODE, 0},
                                                             {ItfcMethod::FRAMETARGETS, 1}}));
        posted = OfType(TaskForceScene::Take(0), 151);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].unit, u[1]);

        // Entering the next unit clears the highlighting; without a unit, leaving takes the first member
        // (alone in group 0) and tells the clan nothing.
        EnterUnitView(s.view_, u[0], 0);
        EXPECT_EQ(s.highlighted_->count, 0);
        EXPECT_FALSE(u[1]->flags & kConHighlighted);
        EXPECT_TRUE(OfType(TaskForceScene::Take(0), 150).empty());
        LeaveUnitView(s.view_);
        TaskForceScene::DrainQueues();
        LeaveUnitView(s.view_);
        // Still in the pool from before, the unit is flagged again.
        EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[0]}));
        EXPECT_TRUE(u[0]->flags & kConHighlighted);
        EXPECT_TRUE(OfType(TaskForceScene::Take(0), 151).empty());
    }
}

TEST(UnitView, AFireKeyHeldWhileEnteringFiresOnlyAfterItsRelease) {
    // The table: which fire keys are held as the unit is entered.
    const struct { bool fire1, fire2; } cases[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.fire1) + std::to_string(c.fire2));
        TaskForceScene s;
        const Units u = s.Members(1);
        PilotKeys[kInputFire1] = 57;
        PilotKeys[kInputFire2] = 29;
        KeyStates[57] = c.fire1 ? 0x80 : 0;
        KeyStates[29] = c.fire2 ? 0x80 : 0;
        EnterUnitView(s.view_, u[0], 1);
        EXPECT_EQ(Fire1Armed, c.fire1 ? 0 : 1);
        EXPECT_EQ(Fire2Armed, c.fire2 ? 0 : 1);
        EXPECT_FALSE(InputKeyDown(OwnPlayer->unitNow, kInputFire1));
        EXPECT_FALSE(InputKeyDown(OwnPlayer->unitNow, kInputFire2));

        // Held on, the gate keeps the key off; released and pressed again, it fires.
        SampleUnitInput(OwnPlayer, 1);
        GateFireKey(&OwnPlayer->unitNow, kInputFire1, &Fire1Armed, &Fire1Seen);
        EXPECT_EQ(InputKeyDown(OwnPlayer->unitNow, kInputFire1), false);
        KeyStates[57] = 0;
        SampleUnitInput(OwnPlayer, 1);
        GateFireKey(&OwnPlayer->unitNow, kInputFire1, &Fire1Armed, &Fire1Seen);
        KeyStates[57] = 0x80;
        SampleUnitInput(OwnPlayer, 1);
        GateFireKey(&OwnPlayer->unitNow, kInputFire1, &Fire1Armed, &Fire1Seen);
        EXPECT_TRUE(InputKeyDown(OwnPlayer->unitNow, kInputFire1));
        PlayerUnit = nullptr;
    }
}

TEST(UnitView, TheUnitNearestAReloadPointIsServicedEvery100Ticks) {
    struct Case {
        const char* name;
        int32_t distance;
        int32_t timer;  // the unit's service timer before the call
        StateRecord state;
        int ticks;
        StateRecord after;
        int32_t timerAfter;
    };
    // The test type's maxima: shield 80, structure 120, energy 0.
    const Case cases[] = {
        {"near and due: each value up by 10", 10000, 0, {50, 100, 0}, 1, {60, 110, 0}, 100},
        {"up to the maxima, not beyond", 10000, 0, {75, 115, 0}, 1, {80, 120, 0}, 100},
        {"too far", 20000, 0, {50, 100, 0}, 1, {50, 100, 0}, -1},
        {"not due yet", 10000, 50, {50, 100, 0}, 30, {50, 100, 0}, 20},
        {"due after the ticks", 10000, 20, {50, 100, 0}, 30, {60, 110, 0}, 100},
        {"full: the timer starts again", 10000, 0, {80, 120, 0}, 1, {80, 120, 0}, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskForceScene s;
        const Units u = s.Members(1);
        aitest::FakeBlock* b = aitest::Block(u[0]);
        b->state = c.state;
        b->share.serviceTimer = c.timer;
        ReloadUnit = u[0];
        ReloadUnitDistance = c.distance;
        UpdateStandStillTimer(c.ticks);
        EXPECT_EQ(b->state.shield, c.after.shield);
        EXPECT_EQ(b->state.structure, c.after.structure);
        EXPECT_EQ(b->state.energy, c.after.energy);
        EXPECT_EQ(b->share.serviceTimer, c.timerAfter);
    }
    // Without a unit near a reload point nothing happens.
    ReloadUnit = nullptr;
    UpdateStandStillTimer(5);
}

}  // namespace
}  // namespace hudtest
