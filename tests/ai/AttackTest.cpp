// Attack: the tactic an agent picks from its weapon's near limit and range, the target's distance and
// detection flags and the turret's elevation flags; how long each tactic lasts; help calls, the strength
// of both sides and reinforcements; turning on attackers; the ends of an agent's part in the fight.
#include "HLFixtures.h"
#include "ai/HL_attack.h"
#include "world/TickCounter.h"

namespace aitest {
namespace {

using P = std::array<int32_t, 3>;

class Attack : public HLScene {
protected:
    // The unit at (300000, 300000), facing +z, armed with near limit 20000, second value 100000 and range
    // 200000, fighting the enemy; its record sees the enemy along +x.
    void SetUp() override {
        me_ = Member(ema(), 300000, 300000);
        enemy_ = Member(ga(), 400000, 300000);
        Arm(me_, 200000, 20000);
        Logic(ema())->hostility[1] = kHostile;
    }
    HL_attack* Start(int32_t flags = kThreatNewTarget, intptr_t rangeLimit = 0) {
        AIUnitRecord* r = Own(me_);
        r->target = Rec(enemy_, ema());
        r->targetFlags = flags;
        r->targetDistance = 100000;
        r->targetDir[0] = 1.0f, r->targetDir[1] = 0.0f, r->targetDir[2] = 0.0f;
        Step(ema(), {Msg(ema(), rangeLimit ? kMsgAttackInRange : kMsgAttack, me_, enemy_, rangeLimit)});
        return dynamic_cast<HL_attack*>(Current(me_));
    }
    std::string Status() const { return Own(me_)->text; }
    construct* me_ = nullptr;
    construct* enemy_ = nullptr;
};

// The first step of an agent firing at will. D is the distance to the target, F the detection flags.
TEST_F(Attack, AnAgentFiringAtWillPicksItsTactic) {
    const struct Case {
        const char* name;
        int32_t distance;
        int32_t flags;
        std::function<void()> setup;
        int32_t tactic;
        const char* status;     // after "ATTACK_<serial> "; <f> stands for the frame counter
        std::vector<P> orders;  // points of the kind 0 orders
        intptr_t flag;          // of the first order
    } cases[] = {
        {"in range: fires where it stands", 100000, 0, nullptr, kTacticFireAtWill, "fire at will", {}, 0},
        {"too close, a flyer: repositions past the target",
         10000,
         0,
         [this] { Own(me_)->class9 = 1; },
         kTacticRepositioning,
         "reposition <f>",
         {{1100000, 0, 300000}},
         0},
        {"too close: backs off",
         10000,
         0,
         nullptr,
         kTacticRetreating,
         "retreat <f>",
         {{250000, 0, 300000}},
         1},
        {"too close, no room behind: fires",
         10000,
         0,
         [this] { BlockGround(60, 70, 62, 76); },
         kTacticFireAtWill,
         "fire at will",
         {},
         0},
        {"turret cannot pitch down: closes in",
         100000,
         0,
         [this] { Own(me_)->weapon[0][21] = 1; },
         kTacticApproaching,
         "approach <f> (target underpitched)",
         {{350000, 0, 300000}},
         0},
        {"turret cannot pitch up: closes in",
         100000,
         0,
         [this] { Own(me_)->weapon[0][20] = 1; },
         kTacticApproaching,
         "approach <f> (target overpitched)",
         {{350000, 0, 300000}},
         0},
        // Aside to the right of a target along +x lies -z, behind the unit.
        {"a friend in the line: evades",
         100000,
         kThreatFriendInLine,
         nullptr,
         kTacticEvading,
         "evade to right",
         {{300000, 0, 260000}},
         1},
        {"a friend in the line, no room aside: flips its side",
         100000,
         kThreatFriendInLine,
         [this] { BlockGround(72, 62, 74, 64); },
         kTacticFireAtWill,
         "fire at will",
         {},
         0},
        {"free to flank: flanks",
         100000,
         0,
         [this] {
             Own(me_)->driveByte = 0;
             Logic(ema())->playerFlag = 1;
         },
         kTacticFlanking,
         "flank to right",
         {{300000, 0, 260000}},
         1},
        {"out of range: closes in",
         250000,
         0,
         nullptr,
         kTacticApproaching,
         "approach <f> (out of range)",
         {{1100000, 0, 300000}},
         0},
        {"the line blocked: closes in",
         100000,
         kThreatObstructed,
         nullptr,
         kTacticApproaching,
         "approach <f> (blocked)",
         {{1100000, 0, 300000}},
         0},
        {"the line blocked, a ballistic gun: fires",
         100000,
         kThreatObstructed,
         [this] { Own(me_)->weapon[0][0] = 1; },
         kTacticFireAtWill,
         "fire at will",
         {},
         0},
        {"a new target: waits", 250000, kThreatNewTarget, nullptr, kTacticFireAtWill, "fire at will", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int32_t X = 0; X < 256; ++X)
            for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).access = 0;
        BackToCamp(ema());
        Logic(ema())->playerFlag = 0;
        Arm(me_, 200000, 20000);
        Own(me_)->weapon[0][20] = Own(me_)->weapon[0][21] = 0;
        Own(me_)->class9 = 0;
        Own(me_)->driveByte = 1;
        HL_attack* a = Start(kThreatNewTarget, 0);
        ASSERT_NE(a, nullptr);
        if (c.setup) c.setup();
        a->playerFlag = Logic(ema())->playerFlag;  // flanking is the player's side's
        Own(me_)->targetFlags = c.flags;
        Own(me_)->targetDistance = c.distance;
        FrameCounter = 1234;
        const auto orders = OrdersOf(Step(ema(), {}), Own(me_));
        EXPECT_EQ(a->FightOf(0).tactic, c.tactic);
        std::string status = std::string("ATTACK_") + std::to_string(a->serial) + " " + c.status;
        if (status.find("<f>") != std::string::npos) status.replace(status.find("<f>"), 3, "1234");
        EXPECT_EQ(Status(), status);
        ASSERT_EQ(orders.size(), c.orders.size());
        for (size_t i = 0; i < orders.size(); ++i) {
            EXPECT_EQ(orders[i].code, kOrderGoto);
            EXPECT_EQ(P({orders[i].point[0], 0, orders[i].point[2]}), c.orders[i]);
        }
        if (!orders.empty()) {
            EXPECT_EQ(orders[0].param, c.flag);
        }
    }
    FrameCounter = 0;
}

// A side that could not be reached is flipped: the next try goes to the other side, ahead of the unit.
TEST_F(Attack, AnUnreachableSideIsFlippedForTheNextTry) {
    HL_attack* a = Start();
    BlockGround(72, 62, 74, 64);
    Own(me_)->targetFlags = kThreatFriendInLine;
    Step(ema(), {});
    EXPECT_EQ(a->FightOf(0).side, 1);
    const auto orders = OrdersOf(Step(ema(), {}), Own(me_));
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].point[2], 340000);
    EXPECT_EQ(orders[0].param, 0);  // ahead
    EXPECT_EQ(Status(), "ATTACK_" + std::to_string(a->serial) + " evade to left");
}

// How long a tactic lasts: each ends when its condition lapses, its step timer runs out or the unit has
// arrived (its aim point is no longer set), with a stop and back to firing at will.
TEST_F(Attack, ATacticLastsWhileItsConditionHolds) {
    const struct Case {
        const char* name;
        int32_t tactic, timer;
        int32_t distance, flags;
        uint8_t aimSet;
        bool kept;
    } cases[] = {
        {"approaching, still out of range", kTacticApproaching, 10, 250000, 0, 1, true},
        {"approaching, in range", kTacticApproaching, 10, 150000, 0, 1, false},
        {"approaching, time up", kTacticApproaching, 1, 250000, 0, 1, false},
        {"approaching, arrived", kTacticApproaching, 10, 250000, 0, 0, false},
        {"retreating, still too close", kTacticRetreating, 10, 10000, 0, 1, true},
        {"retreating, far enough", kTacticRetreating, 10, 30000, 0, 1, false},
        {"repositioning, short of the middle", kTacticRepositioning, 10, 140000, 0, 1, true},
        {"repositioning, past the middle", kTacticRepositioning, 10, 150000, 0, 1, false},
        {"evading, a friend still in the line", kTacticEvading, 0, 100000, kThreatFriendInLine, 1, true},
        {"evading, the line clear", kTacticEvading, 0, 100000, 0, 1, false},
        {"flanking, on the way", kTacticFlanking, 0, 100000, 0, 1, true},
        {"flanking, arrived", kTacticFlanking, 0, 100000, 0, 0, false},
    };
    HL_attack* a = Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        a->FightOf(0).tactic = c.tactic;
        a->FightOf(0).timer = c.timer;
        Own(me_)->targetDistance = c.distance;
        Own(me_)->targetFlags = c.flags;
        Own(me_)->aimPointSet = c.aimSet;
        const auto orders = OrdersOf(Step(ema(), {}), Own(me_));
        if (c.kept) {
            EXPECT_EQ(a->FightOf(0).tactic, c.tactic);
            EXPECT_TRUE(orders.empty());
        } else {
            EXPECT_EQ(a->FightOf(0).tactic, kTacticFireAtWill);
            ASSERT_EQ(orders.size(), 1u);
            EXPECT_EQ(orders[0].point[0], 300000);  // a stop where it stands
            EXPECT_EQ(Status(), "ATTACK_" + std::to_string(a->serial) + " fire at will");
        }
    }
}

// The ends of an agent's part: no weapon (the player's units say so), the target destroyed, the target
// out of sight (handed to a chase when it can be followed there, given up when not). An agent let go with
// a reason other than the attack's end is sent back to its camp point by its camp; a unit of no class is
// not, and shows the reason.
TEST_F(Attack, AnAgentLeavesTheFightWhenItCannotGoOn) {
    auto classless = [this](bool yes) {
        for (int v = 0; v < 3; ++v) AIRecordOf(me_, v)->class4 = yes ? 0 : int32_t(kKlassVehicle);
    };
    // Out of ammunition, not the player's clan: no call.
    classless(true);
    Start();
    Own(me_)->weapon[0][11] = 0;
    Step(ema(), {});
    EXPECT_EQ(Chain(me_), "CAMP>");
    EXPECT_EQ(AgentOfUnit(me_)->releaseReason, kHLTaskDone);
    EXPECT_TRUE(Calls().empty());
    Arm(me_, 200000, 20000);
    Logic(ema())->playerFlag = 1;
    Start();
    Own(me_)->weapon[0][11] = 0;
    Step(ema(), {});
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].name, "Call_OutOfAmmo");
    EXPECT_EQ(Calls()[0].text, "Jeep dry");
    Arm(me_, 200000, 20000);
    // The target gone from sight, destroyed.
    Start();
    Own(me_)->target = nullptr;
    Rec(enemy_, ema())->structure = 0;
    Step(ema(), {});
    EXPECT_EQ(Chain(me_), "CAMP>");
    EXPECT_EQ(AgentOfUnit(me_)->releaseReason, kHLConditionLapsed);
    // Gone from sight but alive: chased to where it is.
    classless(false);
    Rec(enemy_, ema())->structure = 100;
    Start();
    Own(me_)->target = nullptr;
    Posted().clear();
    Step(ema(), {});
    ASSERT_EQ(PostedOf(kMsgChase).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgChase)[0].other, Rec(enemy_, ema()));
    EXPECT_EQ(PostedOf(kMsgChase)[0].point[0], 400000);
    EXPECT_EQ(Chain(me_), "CAMP>ATTACK>CHASE>");
    BackToCamp(ema());
    // ... unless it stands beyond the attack's range limit (the camp then sends the unit back), or the
    // unit has no class to follow it with.
    Start(kThreatNewTarget, 50000);
    Own(me_)->target = nullptr;
    Step(ema(), {});
    EXPECT_EQ(Chain(me_), "CAMP>SNEAKTO_RETURN>");
    BackToCamp(ema());
    classless(true);
    Start();
    Own(me_)->target = nullptr;
    Step(ema(), {});
    EXPECT_EQ(Chain(me_), "CAMP>");
    EXPECT_EQ(AgentOfUnit(me_)->releaseReason, kHLTaskDone);
}

// A chase that gave up its target makes the attack give it up too, the target noted as fought.
TEST_F(Attack, AChaseThatGaveUpEndsTheAttack) {
    HL_attack* a = Start();
    (void)a;
    PassingThread* chase = Stack(me_, kHLChase);
    chase->releaseReason = kHLTaskDone;
    const auto orders = OrdersOf(Step(ema(), {}), Own(me_));
    EXPECT_EQ(Chain(me_), "CAMP>SNEAKTO_RETURN>");  // the camp sends it back
    EXPECT_TRUE(
        PairList_Contains(&AgentOfUnit(me_)->targets, reinterpret_cast<uintptr_t>(Rec(enemy_, ema()))));
    ASSERT_FALSE(orders.empty());
    EXPECT_EQ(orders[0].point[0], 300000);  // a stop where it stands
}

// Every 80 ticks: a help call (not from a unit on stand-by) and the strengths of both sides; when the
// enemy side is the stronger by half again, the clan is asked to send reinforcements.
TEST_F(Attack, HelpIsCalledAndReinforcementsAskedForWhenTheEnemyIsStronger) {
    construct* g2 = Member(ga(), 420000, 300000);
    Logic(ga())->hostility[0] = kHostile;
    for (construct* u : {me_, enemy_, g2})
        for (int v = 0; v < 3; ++v) AIRecordOf(u, v)->strength = 10;
    Arm(enemy_, 200000);
    Arm(g2, 200000);
    HL_attack* a = Start();
    // Both G.A. units fight the E.M.A. unit.
    Step(ga(), {Msg(ga(), kMsgAttack, enemy_, me_), Msg(ga(), kMsgAttack, g2, me_)});
    Posted().clear();
    Step(ema(), {}, 78);  // 79 ticks with the first step
    EXPECT_TRUE(Posted().empty());
    Step(ema(), {}, 1);
    ASSERT_EQ(PostedOf(kMsgHelpCall).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgHelpCall)[0].other, Rec(enemy_, ema()));
    EXPECT_EQ(a->enemyStrength, 20);
    EXPECT_EQ(a->ownStrength, 10);
    ASSERT_EQ(PostedOf(kMsgIntercept).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgIntercept)[0].param, 20);  // 20 x 1.5 - 10
    // On stand-by: no help call; the fight takes the agent off the stand-by list and gives it back.
    BackToCamp(ema());
    Step(ema(), {Group(ema(), kMsgStandByOn, {me_})});
    a = Start();
    EXPECT_TRUE(Logic(ema())->standBy.empty());
    Posted().clear();
    Step(ema(), {}, 80);
    EXPECT_TRUE(PostedOf(kMsgHelpCall).empty());
    BackToCamp(ema());
    EXPECT_EQ(Logic(ema())->standBy.size(), 1u);
}

// An attacked agent turns on its attacker when it is within its gun's range and the way is open, and not
// while it already fights one of its attackers.
TEST_F(Attack, AnAttackedAgentTurnsOnItsAttacker) {
    construct* near = Member(ga(), 400000, 380000);
    construct* far = Member(ga(), 300000, 700000);
    Start();
    Posted().clear();
    Step(ema(), {Msg(ema(), kMsgAttacked, me_, far, 1)});
    EXPECT_TRUE(PostedOf(kMsgAttackInRange).empty());
    Step(ema(), {Msg(ema(), kMsgAttacked, me_, near, 1)});
    ASSERT_EQ(PostedOf(kMsgAttackInRange).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgAttackInRange)[0].other, Rec(near, ema()));
    EXPECT_EQ(Current(me_)->GetTarget(), Rec(near, ema()));
    // Now fighting one of its attackers: another attack does not turn it.
    Posted().clear();
    Step(ema(), {Msg(ema(), kMsgAttacked, me_, enemy_, 1)});
    EXPECT_TRUE(PostedOf(kMsgAttackInRange).empty());
}

}  // namespace
}  // namespace aitest
