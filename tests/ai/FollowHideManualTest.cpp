// Follow, hide and manual behaviours: the wings and slots behind a leader, hops to the wing or the centre
// and giving up, re-forming when the player's control changes units; hiding in stealth and giving up when
// it fails; the player's unit's countdowns to help and close-in calls.
#include "HLFixtures.h"
#include "ai/HL_follow.h"
#include "ai/HL_hide.h"
#include "ai/HL_manual.h"

namespace aitest {
namespace {

using P = std::array<int32_t, 3>;

class FollowHideManual : public HLScene {
protected:
    HL_follow* FollowOf(construct* u) { return dynamic_cast<HL_follow*>(Current(u)); }
    // A follow of the leader by the followers (a FOLLOW message whose first unit is the leader).
    AIMessage* FollowMsg(construct* leader, const std::vector<construct*>& followers) {
        AIMessage* m = Group(ema(), kMsgFollow, followers);
        m->unit = Own(leader);
        return m;
    }
    static std::string Names(const std::vector<HL_agent*>& wing, const HL_clan* c) {
        std::string s;
        for (HL_agent* a : wing) s += std::to_string(c->AgentIndex(a)) + " ";
        return s;
    }
};

// Four followers alternate between the wings; the wings' slots step out sideways and back, the centre
// column interleaves them behind the leader (who faces +z).
TEST_F(FollowHideManual, FollowersFormTwoWingsBehindTheLeader) {
    construct* leader = Member(ema(), 500000, 500000);
    std::vector<construct*> f = {Member(ema(), 100000, 100000), Member(ema(), 120000, 100000),
                                 Member(ema(), 140000, 100000), Member(ema(), 160000, 100000)};
    Step(ema(), {FollowMsg(leader, f)});
    HL_follow* t = FollowOf(f[0]);
    ASSERT_NE(t, nullptr);
    HL_clan* c = Logic(ema());
    EXPECT_EQ(Names(t->wingB, c), "1 3 ");  // followers 0 and 2 (agents 1 and 3)
    EXPECT_EQ(Names(t->wingA, c), "2 4 ");
    const struct Slot {
        bool wingB;
        int k;
        P wing, centre;
    } slots[] = {
        {true, 0, {540000, 0, 460000}, {500000, 0, 470000}},
        {true, 1, {580000, 0, 420000}, {500000, 0, 410000}},
        {false, 0, {460000, 0, 460000}, {500000, 0, 440000}},
        {false, 1, {420000, 0, 420000}, {500000, 0, 380000}},
    };
    for (const Slot& s : slots) {
        P w, ce;
        t->WingSlot(s.wingB, s.k, w.data());
        t->CentreSlot(s.wingB, s.k, ce.data());
        EXPECT_EQ(w, s.wing);
        EXPECT_EQ(ce, s.centre);
    }
    // A fifth joins the smaller wing (wing B when both are as large).
    construct* fifth = Member(ema(), 180000, 100000);
    Step(ema(), {Msg(ema(), kMsgJoinFollow, fifth, leader, 999)});
    EXPECT_EQ(Names(t->wingB, c), "1 3 5 ");
    EXPECT_EQ(Chain(fifth), "CAMP>FOLLOW>");
}

// A follower near enough is left alone; one far behind hops to its wing slot (or to its centre slot when
// the leader cannot reach the wing slot) and waits a second before it looks again; one that can reach
// neither, far from a leader on ground it cannot enter, gives up.
TEST_F(FollowHideManual, FollowersHopToTheirSlotsOrGiveUp) {
    construct* leader = Member(ema(), 500000, 500000);
    construct* f = Member(ema(), 530000, 470000);  // by its wing slot (540000, 460000)
    Step(ema(), {FollowMsg(leader, {f})});
    HL_follow* t = FollowOf(f);
    EXPECT_TRUE(OrdersOf(Step(ema(), {}), Own(f)).empty());
    // Far behind: to the wing slot, flagged as a point not ahead of the leader's heading.
    MoveTo(f, 540000, 200000);
    auto orders = OrdersOf(Step(ema(), {}), Own(f));
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(P({orders[0].point[0], 0, orders[0].point[2]}), P({540000, 0, 460000}));
    EXPECT_EQ(orders[0].param, 0);  // far from it
    EXPECT_STREQ(Own(f)->text, ("FOLLOW_" + std::to_string(t->serial) + " hop to wing").c_str());
    EXPECT_EQ(t->hops[0].timer, 100);
    EXPECT_TRUE(OrdersOf(Step(ema(), {}, 99), Own(f)).empty());  // waiting
    // The wing slot behind an obstacle the leader cannot pass: to the centre slot.
    BlockGround(540000 / 4096 - 1, 460000 / 4096 - 1, 540000 / 4096 + 1, 460000 / 4096 + 1);
    orders = OrdersOf(Step(ema(), {}), Own(f));
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].point[0], 500000);
    EXPECT_STREQ(Own(f)->text, ("FOLLOW_" + std::to_string(t->serial) + " hop to center").c_str());
    EXPECT_EQ(t->hops[0].state, 1);
    // Neither slot: nothing to do but wait; far from a leader on blocked ground, the follower gives up.
    BlockGround(500000 / 4096 - 3, 470000 / 4096 - 1, 500000 / 4096 + 3, 500000 / 4096 + 1);
    Step(ema(), {}, 100);
    EXPECT_STREQ(Own(f)->text, ("FOLLOW_" + std::to_string(t->serial) + " hop impossible").c_str());
    EXPECT_EQ(Chain(f), "CAMP>FOLLOW>");
    Logic(ema())->playerFlag = 1;
    MoveTo(f, 540000, -150000);
    Step(ema(), {}, 100);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].name, "Call_FollowFailed");
    EXPECT_EQ(Chain(f), "CAMP>");
}

// The leader's own unit among the followers is let go at once; followers fire back at their attackers
// without leaving the formation.
TEST_F(FollowHideManual, TheLeaderDoesNotFollowItselfAndFollowersShootBack) {
    construct* leader = Member(ema(), 500000, 500000);
    construct* f = Member(ema(), 530000, 470000);
    construct* enemy = Member(ga(), 600000, 470000);
    Arm(f, 200000);
    Logic(ema())->hostility[1] = kHostile;
    Step(ema(), {FollowMsg(leader, {leader, f})});
    EXPECT_EQ(Chain(leader), "CAMP>");
    EXPECT_EQ(Chain(f), "CAMP>FOLLOW>");
    const auto orders = OrdersOf(Step(ema(), {Msg(ema(), kMsgAttacked, f, enemy, 1)}), Own(f));
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].code, kOrderTarget);
    EXPECT_EQ(orders[0].target, Rec(enemy, ema()));
    EXPECT_EQ(Chain(f), "CAMP>FOLLOW>");
}

// The player takes over a follower: the group, with the old leader, re-forms behind the new unit. The
// player gives the leader back: the follow ends. A new follow of the same leader leaves out some
// followers: they join the leader's new follow all the same.
TEST_F(FollowHideManual, TheGroupReFormsWhenThePlayersControlChangesUnits) {
    construct* leader = Member(ema(), 500000, 500000);
    construct* a = Member(ema(), 530000, 470000);
    construct* b = Member(ema(), 470000, 470000);
    Step(ema(), {FollowMsg(leader, {a, b})});
    Posted().clear();
    Step(ema(), {Msg(ema(), kMsgManualOn2, a, leader)});
    ASSERT_EQ(PostedOf(kMsgFollow).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgFollow)[0].unit, Own(a));
    EXPECT_EQ(Chain(leader), "CAMP>FOLLOW>");
    EXPECT_EQ(Chain(b), "CAMP>FOLLOW>");
    EXPECT_EQ(FollowOf(b)->leader, Own(a));
    // Manual control of a ends: its followers stop following.
    Step(ema(), {Msg(ema(), kMsgManualOff, a)});
    EXPECT_EQ(Chain(b), "CAMP>");
    EXPECT_EQ(Chain(leader), "CAMP>");
    // A second follow of the leader for b only: a, left out of the old one, joins the new one.
    Step(ema(), {FollowMsg(leader, {a, b})});
    HL_follow* old = FollowOf(a);
    Step(ema(), {FollowMsg(leader, {b})});
    EXPECT_EQ(Chain(a), "CAMP>FOLLOW>");
    EXPECT_NE(FollowOf(a), old);
    EXPECT_EQ(FollowOf(a), FollowOf(b));
}

// ---- Hide.

TEST_F(FollowHideManual, HidersWaitInStealthAndGiveUpWhenItFails) {
    const struct Case {
        const char* name;
        int msg;
        uint8_t engaged;
        bool stays;
    } cases[] = {
        {"stealth engaged", kMsgHide, 1, true},
        {"stealth not engaged", kMsgHide, 0, false},
        {"told to hide whatever happens", kMsgHideFlag, 0, true},
    };
    Logic(ema())->playerFlag = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Calls().clear();
        construct* u = Member(ema(), 300000, 300000);
        const auto orders = OrdersOf(Step(ema(), {Group(ema(), c.msg, {u})}), Own(u));
        ASSERT_EQ(orders.size(), 2u);
        EXPECT_EQ(orders[0].code, kOrderGoto);
        EXPECT_EQ(orders[0].point[0], 300000);
        EXPECT_EQ(orders[1].code, kOrderStealthOn);
        Own(u)->stealthEngaged = c.engaged;
        Step(ema(), {}, 1598);
        EXPECT_EQ(Chain(u), "CAMP>HIDE>");
        const auto after = OrdersOf(Step(ema(), {}, 1), Own(u));
        EXPECT_EQ(Chain(u), c.stays ? "CAMP>HIDE>" : "CAMP>");
        EXPECT_EQ(Calls().size(), c.stays ? 0u : 1u);
        if (!c.stays) {
            EXPECT_EQ(Calls()[0].name, "Call_HideFailed");
            // Leaving the hide switches the stealth off.
            ASSERT_FALSE(after.empty());
            EXPECT_EQ(after[0].code, kOrderStealthOff);
        }
        BackToCamp(ema());
    }
}

TEST_F(FollowHideManual, AnAttackedHiderHoldsAndStealthEndsWithTheHide) {
    construct* u = Member(ema(), 300000, 300000);
    construct* enemy = Member(ga(), 400000, 300000);
    construct* neutral = Member(arab(), 400000, 300000);
    Logic(ema())->hostility = {kAllied, kHostile, kNeutral};
    Step(ema(), {Group(ema(), kMsgHide, {u})});
    Posted().clear();
    Step(ema(), {Msg(ema(), kMsgAttacked, u, neutral, 1)});
    EXPECT_EQ(Chain(u), "CAMP>HIDE>");
    // A stacked behaviour switches the stealth off; coming back from a return it hides again.
    PassingThread* back = Stack(u, kHLSneakToReturn);
    back->releaseReason = kHLTaskDone;
    const auto orders = OrdersOf(Step(ema(), {}), Own(u));
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[0].code, kOrderGoto);
    EXPECT_EQ(orders[1].code, kOrderStealthOn);
    // A hostile attack: the hider holds (HOLD takes the hide's place, with the stealth off).
    const auto held = OrdersOf(Step(ema(), {Msg(ema(), kMsgAttacked, u, enemy, 1)}), Own(u));
    EXPECT_EQ(PostedOf(kMsgHold).size(), 1u);
    EXPECT_EQ(Chain(u), "CAMP>HOLD>");
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(held[0].code, kOrderStealthOff);
}

// ---- Manual.

// After the player's unit is hit by an enemy, nearby units are asked to help after 40 ticks; after it
// hits an enemy, they say they are ready to close in after 80 ticks, once per victim. Hits among friends
// start nothing.
TEST_F(FollowHideManual, ThePlayersUnitsHitsTurnIntoHelpAndCloseInCalls) {
    construct* me = Member(ema(), 300000, 300000);
    construct* mate = Member(ema(), 350000, 300000);
    construct* enemy = Member(ga(), 500000, 300000);
    construct* other = Member(ga(), 500000, 400000);
    construct* ally = Member(arab(), 500000, 300000);
    Arm(mate, 200000);
    Logic(ema())->hostility = {kAllied, kHostile, kAllied};
    Step(ema(), {Msg(ema(), kMsgManualOn, me)});
    auto* manual = dynamic_cast<HL_manual*>(Current(me));
    ASSERT_NE(manual, nullptr);
    // Friends' hits start nothing.
    Step(ema(), {Msg(ema(), kMsgAttacked, me, mate, 1), Msg(ema(), kMsgAttacked, me, ally, 1),
                 Msg(ema(), kMsgAttacked, ally, me, 1)});
    EXPECT_EQ(manual->helpCountdown, 0);
    EXPECT_EQ(manual->closeInCountdown, 0);
    // Hit by the enemy; a second hit during the countdown changes nothing.
    Step(ema(), {Msg(ema(), kMsgAttacked, me, enemy, 1)});
    EXPECT_EQ(manual->helpCountdown, 39);
    Step(ema(), {Msg(ema(), kMsgAttacked, me, other, 1)});
    EXPECT_EQ(manual->attacker, Rec(enemy, ema()));
    Posted().clear();
    Step(ema(), {}, 38);
    ASSERT_EQ(PostedOf(kMsgHelpCall).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgHelpCall)[0].other, Rec(enemy, ema()));
    EXPECT_EQ(Chain(mate), "CAMP>ATTACK>");  // the mate in reach joins against the attacker
    // The same attacker can start it again.
    Step(ema(), {Msg(ema(), kMsgAttacked, me, enemy, 1)});
    EXPECT_GT(manual->helpCountdown, 0);
    // The player's unit hits the enemy: 80 ticks on, the units near it are ready to close in.
    BackToCamp(ema());
    Step(ema(), {Msg(ema(), kMsgManualOn, me)});
    manual = dynamic_cast<HL_manual*>(Current(me));
    Step(ema(), {Msg(ema(), kMsgAttacked, enemy, me, 1)});
    Calls().clear();
    Step(ema(), {}, 79);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].name, "Call_ReadyToCloseIn");
    // A victim once reported never starts the countdown again.
    Step(ema(), {Msg(ema(), kMsgAttacked, enemy, me, 1)});
    EXPECT_EQ(manual->closeInCountdown, 0);
    Step(ema(), {Msg(ema(), kMsgAttacked, other, me, 1)});
    EXPECT_EQ(manual->closeInCountdown, 79);
    // The player gives the unit back: the thread ends.
    Step(ema(), {Msg(ema(), kMsgManualOff, me)});
    EXPECT_EQ(Chain(me), "CAMP>");
}

TEST_F(FollowHideManual, AManualThreadHoldsOneUnit) {
    construct* a = Member(ema(), 300000, 300000);
    construct* b = Member(ema(), 350000, 300000);
    auto* t = new HL_manual(Logic(ema()), NextHLThreadSerial());
    t->AddAgent(AgentOfUnit(a), nullptr);
    t->AddAgent(AgentOfUnit(b), nullptr);
    EXPECT_EQ(FatalText([&] { t->NotifyInserted(); }),
              "Error(HL_manual::NotifyInserted): wrong number of agents (2)");
    delete t;
}

}  // namespace
}  // namespace aitest
