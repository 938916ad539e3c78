// The task force of the demo mission "Ema01", commanded as the tactical map and the day events do it: the
// script puts the player into the first jeep, he leaves it for the map, the two jeeps become recipients
// and form a group, the group is ordered to hold and stops, and a day event puts the player into the
// other jeep with his fire key held, which fires only after a release.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/AIStubs.h"
#include "ai/DayEvents.h"
#include "core/Keys.h"
#include "hud/TFView.h"
#include "objects/Cameras.h"
#include "objects/UnitShare.h"
#include "vehicles/DemoLevel.h"
#include "vehicles/types/EMAJeep.h"

namespace {

using kvtest::DemoLevel;

EMAJeepBlock* JB(construct* c) {
    return static_cast<EMAJeepBlock*>(c->itfcData);
}

double Horizontal(const int32_t a[3], const int32_t b[3]) {
    return std::hypot(double(a[0]) - b[0], double(a[2]) - b[2]);
}

// Whether a message of the type waits in the clan's queue.
bool Queued(int clan, int type) {
    for (AIMessage* m = AIQueues[clan].head; m; m = m->next)
        if (m->type == type) return true;
    return false;
}

class TaskForceOnTheIsland : public DemoLevel {
public:
    TaskForceOnTheIsland() {
        playerEnters_ = true;
        width_ = 640, height_ = 480;  // the task buttons' column
    }
    void TearDown() override {
        std::memset(KeyStates, 0, sizeof KeyStates);
        PilotKeys[kInputFire1] = fireWas_;
        DemoLevel::TearDown();
    }
    int32_t fireWas_ = PilotKeys[kInputFire1];
    static std::vector<construct*> Pool(const ConstructPool* p) {
        return std::vector<construct*>(p->constructs, p->constructs + p->count);
    }
};

TEST_F(TaskForceOnTheIsland, FromTheMapTheGroupHoldsAndADayEventPutsThePlayerIntoTheOtherJeep) {
    const std::vector<construct*> tf = UnitsOf("EMA_TaskForce");
    ASSERT_EQ(tf.size(), 2u);
    TFView* view = PlayerTFView;
    CommMenu* menu = PlayerCommMenu;
    // Built on the map: the task force is group 0 with the slots 0 and 1 and a button each.
    EXPECT_EQ(PlayerUnit, nullptr);
    EXPECT_EQ(Pool(view->members), tf);
    EXPECT_EQ(tf[0]->bytes2[0], 0);
    EXPECT_EQ(tf[1]->bytes2[0], 1);
    EXPECT_EQ(view->buttonCount, 2);

    // The mission's first event: the player sits in the first jeep.
    WorldTick(1, 1);
    EXPECT_EQ(PlayerUnit, tf[0]);
    EXPECT_EQ(tf[0]->playerCell, OwnPlayer);
    EXPECT_EQ(MainViewSource, SatCamera);

    // He leaves it for the map view: the jeep goes back to the clan's AI.
    LeaveUnitView(view);
    EXPECT_EQ(PlayerUnit, nullptr);
    EXPECT_EQ(tf[0]->playerCell, nullptr);
    EXPECT_TRUE(Queued(0, 151));
    EXPECT_EQ(SatCameraTargetCount(SatCamera), 1);

    // The script's standing orders of the start (hold the base, follow the player) are ended, so that
    // the jeeps go where they are sent.
    EndStandingOrders("EMA");

    // Both jeeps drive off across the base.
    int32_t start[2][3];
    for (int i = 0; i < 2; ++i) {
        std::memcpy(start[i], tf[size_t(i)]->pos, sizeof start[i]);
        int32_t goal[3] = {tf[size_t(i)]->pos[0] + 400000, tf[size_t(i)]->pos[1], tf[size_t(i)]->pos[2]};
        SetUnitAimPoint(tf[size_t(i)], goal, 0);
    }
    Run(200, ControlInput{});
    for (int i = 0; i < 2; ++i) EXPECT_GT(Horizontal(tf[size_t(i)]->pos, start[i]), 30000.0) << i;

    // The two become the recipients and form a group.
    for (construct* c : tf) AppendToConstructPool(menu->recipients, c);
    ToggleTFGroup(view, menu->recipients, menu);
    ASSERT_EQ(view->groupCount, 2);
    EXPECT_EQ(Pool(view->groups[1]), tf);
    EXPECT_EQ(view->groups[0]->count, 0);
    EXPECT_EQ(Pool(view->members), tf);

    // The group is ordered to hold: the clan's AI takes the order and the jeeps stop where they are.
    for (construct* c : tf) AppendToConstructPool(menu->recipients, c);
    OpenCommMenu(menu);
    ASSERT_EQ(menu->entries[6].code, uint32_t(kTFHold));
    ExecuteTFCommand(view, menu, 6);
    EXPECT_EQ(menu->open, 0);
    EXPECT_TRUE(Queued(0, 353));
    int32_t held[2][3];
    for (int i = 0; i < 2; ++i) std::memcpy(held[i], tf[size_t(i)]->pos, sizeof held[i]);
    Run(400, ControlInput{});
    EXPECT_FALSE(Queued(0, 353));
    for (int i = 0; i < 2; ++i) {
        const int32_t* v = GetUnitVelocity(tf[size_t(i)]);
        EXPECT_LT(std::hypot(double(v[0]), double(v[2])), 200.0) << i;
        EXPECT_LT(Horizontal(tf[size_t(i)]->pos, held[i]), 65536.0) << i;
    }

    // A day event puts the player into the second jeep while he holds the fire key.
    const int fireKey = 57;
    PilotKeys[kInputFire1] = fireKey;
    KeyStates[fireKey] = 0x80;
    DayEvent* list[1] = {};
    int32_t count = 0;
    const float unit[1] = {1.0f};
    DayEvent* enter =
        CreateNamedDayEvent("ENTERUNIT", nullptr, "EMA_TaskForce", "", unit, 1, 0.0f, list, &count);
    ExecuteDayEvent(enter);
    RemoveDayEvent(enter, list, &count);
    EXPECT_EQ(PlayerUnit, tf[1]);
    EXPECT_EQ(tf[1]->playerCell, OwnPlayer);
    EXPECT_EQ(Fire1Armed, 0);
    EXPECT_TRUE(Queued(0, 150));

    // The outside camera follows the new unit.
    WorldTick(1, 1);
    int32_t lookAt[3] = {};
    CallItfc(SatCamera, ItfcMethod::GETLOOKAT, reinterpret_cast<uintptr_t>(lookAt));
    EXPECT_LT(Horizontal(lookAt, tf[1]->pos), 1000.0);

    // Held through the entry, the key does not fire; released and pressed again, it does.
    const int32_t ammo = JB(tf[1])->weapon0.ammo;
    Run(30, ControlInput{});
    EXPECT_EQ(JB(tf[1])->weapon0.ammo, ammo);
    KeyStates[fireKey] = 0;
    Run(2, ControlInput{});
    KeyStates[fireKey] = 0x80;
    Run(30, ControlInput{});
    EXPECT_LT(JB(tf[1])->weapon0.ammo, ammo);
}

}  // namespace
