// Camp and hold: answering attacks by reach and hostility, help calls, what a holding unit engages each
// step, the return to the camp point after a passing behaviour, and the saved camp points.
#include "HLFixtures.h"

namespace aitest {
namespace {

class CampHold : public HLScene {
protected:
    // A thread of a given type stacked over the agent's behaviour (the attack and the others are not
    // built here: this one holds its agents and, when told, lets the first go in its next step).
    class Stacked : public HL_thread {
    public:
        Stacked(int t, HL_clan* owner) {
            type = t;
            clan = owner;
            serial = NextHLThreadSerial();
        }
        void Update(int) override {
            if (releaseReason >= 0 && AgentCount() > 0) clan->ReleaseAgent(AgentAt(0), this, releaseReason);
        }
        int releaseReason = -1;
    };
    Stacked* Stack(construct* unit, int type) {
        auto* t = new Stacked(type, Logic(unit->clan));
        Logic(unit->clan)->StartThread(t, {AgentOfUnit(unit)});
        return t;
    }
};

TEST_F(CampHold, AnAttackedCampingUnitAnswersByReachAndHostility) {
    construct* me = Member(ema(), 1000000, 1000000);
    construct* ga1 = Member(ga(), 0, 0);
    construct* arab1 = Member(arab(), 0, 0);
    construct* target = Unit(ga(), 0, 0, 0);
    HL_clan* c = Logic(ema());
    c->hostility = {kAllied, kHostile, kNeutral};
    const struct Case {
        const char* name;
        construct* attacker;
        int32_t dx;
        int32_t weaponRange;  // 0: unarmed
        bool hasTarget;
        bool manual;
        bool answers;
    } cases[] = {
        {"hostile within the default reach", ga1, 440000, 200000, false, false, true},
        {"hostile beyond it", ga1, 460000, 200000, false, false, false},
        {"neutral", arab1, 100000, 200000, false, false, false},
        {"with a target: beyond the weapon's range", ga1, 300000, 250000, true, false, false},
        {"with a target: within the weapon's range", ga1, 300000, 350000, true, false, true},
        {"unarmed", ga1, 100000, 0, false, false, false},
        {"the unit the player drives", ga1, 100000, 200000, false, true, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        BackToCamp(ema());  // the attack an earlier case started
        Posted().clear();
        MoveTo(k.attacker, 1000000 + k.dx, 1000000);
        if (k.weaponRange)
            Arm(me, k.weaponRange);
        else
            for (int v = 0; v < 3; ++v) AIRecordOf(me, v)->weaponPresent[0] = 0;
        Own(me)->target = k.hasTarget ? Rec(target, ema()) : nullptr;
        c->manual = k.manual ? AgentOfUnit(me) : nullptr;
        Step(ema(), {Msg(ema(), kMsgAttacked, me, k.attacker, 1)});
        const auto attacks = PostedOf(kMsgAttackInRange);
        ASSERT_EQ(attacks.size(), k.answers ? 1u : 0u);
        if (k.answers) {
            EXPECT_EQ(attacks[0].unit, Own(me));
            EXPECT_EQ(attacks[0].other, Rec(k.attacker, ema()));
            EXPECT_EQ(attacks[0].param, 0);
        }
    }
}

TEST_F(CampHold, OnlyTheCurrentBehaviourAnswersAndHelpCallsBringNearbyArmedUnits) {
    construct* me = Member(ema(), 0, 0);
    construct* near = Member(ema(), 150000, 0);
    construct* far = Member(ema(), 250000, 0);
    construct* fought = Member(ema(), 0, 150000);
    construct* enemy = Member(ga(), 100000, 0);
    for (construct* u : {me, near, far, fought}) Arm(u, 200000);
    Logic(ema())->hostility[1] = kHostile;
    // Holding over camping: the HOLD thread answers, the CAMP thread below stays quiet.
    Step(ema(), {Group(ema(), kMsgHold, {me})});
    Posted().clear();
    Step(ema(), {Msg(ema(), kMsgAttacked, me, enemy, 1)});
    EXPECT_EQ(PostedOf(kMsgAttackInRange).size(), 1u);

    // A help call of the unit attacking the enemy: armed agents within 200000 join unless they have
    // fought that enemy before.
    PairList_Append(&AgentOfUnit(fought)->targets, reinterpret_cast<uintptr_t>(Rec(enemy, ema())), 1);
    Posted().clear();
    Step(ema(), {Msg(ema(), kMsgHelpCall, me, enemy)});
    const auto joins = PostedOf(kMsgAttackInRange);
    ASSERT_EQ(joins.size(), 1u);
    EXPECT_EQ(joins[0].unit, Own(near));
    EXPECT_EQ(joins[0].other, Rec(enemy, ema()));
    EXPECT_EQ(joins[0].param, kHLDefaultAttackRange);
}

TEST_F(CampHold, HoldingUnitsEngageTheirTargetOrTheNearestHostileThreatCampingOnesDoNot) {
    construct* camper = Member(ema(), 0, 0);
    construct* holder = Member(ema(), 0, 0);
    construct* enemyNear = Member(ga(), 200000, 0);
    construct* enemyNearer = Member(ga(), 0, 150000);
    construct* enemyFar = Member(ga(), 400000, 0);
    construct* neutralNearest = Member(arab(), 50000, 0);
    for (construct* u : {camper, holder}) Arm(u, 200000);
    HL_clan* c = Logic(ema());
    c->hostility = {kAllied, kHostile, kNeutral};
    Posted().clear();
    Step(ema(), {Group(ema(), kMsgHold, {holder}), Msg(ema(), kMsgThreatEntered, enemyFar),
                 Msg(ema(), kMsgThreatEntered, enemyNear), Msg(ema(), kMsgThreatEntered, neutralNearest),
                 Msg(ema(), kMsgThreatEntered, enemyNearer)});
    auto attacks = PostedOf(kMsgAttackInRange);
    ASSERT_EQ(attacks.size(), 1u);  // the camper does nothing in its step
    EXPECT_EQ(attacks[0].unit, Own(holder));
    EXPECT_EQ(attacks[0].other, Rec(enemyNearer, ema()));
    EXPECT_EQ(c->LastThread(AgentOfUnit(holder))->type, kHLAttack);

    // A target of its own closer than 350000 comes first (once the attack just started is over).
    Own(holder)->target = Rec(enemyFar, ema());
    Own(holder)->targetDistance = 340000;
    c->EndThread(c->LastThread(AgentOfUnit(holder)));
    ASSERT_EQ(c->LastThread(AgentOfUnit(holder))->type, kHLHold);
    Posted().clear();
    Step(ema(), {});
    attacks = PostedOf(kMsgAttackInRange);
    ASSERT_EQ(attacks.size(), 1u);
    EXPECT_EQ(attacks[0].other, Rec(enemyFar, ema()));
}

TEST_F(CampHold, HoldWhileHearingHoldsOnlyWhileTheUnitIsAlerted) {
    construct* me = Member(ema(), 0, 0);
    Own(me)->alerted = 1;
    Step(ema(), {Msg(ema(), kMsgHoldWhileHearing, me)});
    Step(ema(), {});
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] HOLDWHILEHEARING_1[0*] | 0:CAMP>HOLDWHILEHEARING>");
    Own(me)->alerted = 0;
    Step(ema(), {});
    EXPECT_EQ(AgentOfUnit(me)->releaseReason, kHLConditionLapsed);
    Step(ema(), {});
    EXPECT_EQ(Picture(ema()), "CAMP_0[0*] | 0:CAMP>");
}

// After an attack the unit returns to its camp point (sneaking from camp, going from a hold) when the
// attack gave it up or its target was lost; an ended attack and a unit of no class post nothing. After a
// standing behaviour the unit camps where it stands.
TEST_F(CampHold, AfterAPassingBehaviourTheUnitReturnsToItsCampPointOrCampsWhereItStands) {
    const struct Case {
        const char* name;
        int mode;  // the behaviour the agent returns to
        int left;  // the behaviour that let it go
        int reason;
        bool classFlag;
        int posted;  // 0 none
        bool order;  // a stop at the present place, which becomes the camp point
    } cases[] = {
        {"camp, attack done", kHLCamp, kHLAttack, kHLTaskDone, true, kMsgSneakToReturn, false},
        {"camp, target lost", kHLCamp, kHLAttack, kHLConditionLapsed, true, kMsgSneakToReturn, false},
        {"camp, attack ended", kHLCamp, kHLAttack, kHLThreadEnded, true, 0, false},
        {"camp, unit of no class", kHLCamp, kHLAttack, kHLTaskDone, false, 0, false},
        {"hold, attack done", kHLHold, kHLAttack, kHLTaskDone, true, kMsgGotoReturn, false},
        {"camp, patrol ended", kHLCamp, kHLPatrol, kHLThreadEnded, true, 0, true},
        {"camp, follow ended", kHLCamp, kHLFollow, kHLTaskDone, true, 0, true},
        {"hold, return done", kHLHold, kHLGotoReturn, kHLTaskDone, true, 0, true},
        {"camp, chase done", kHLCamp, kHLChase, kHLTaskDone, true, 0, false},
    };
    int32_t x = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        x += 1000000;
        construct* me = Member(ema(), x, 0);
        Own(me)->alerted = 1;
        for (int v = 0; v < 3; ++v) AIRecordOf(me, v)->class4 = k.classFlag ? 4 : 0;
        if (k.mode == kHLHold) Step(ema(), {Msg(ema(), kMsgHold, me)});
        Stacked* passing = Stack(me, k.left);
        MoveTo(me, x + 5000, 7000);
        Posted().clear();
        HL_clan* c = Logic(ema());
        passing->releaseReason = k.reason;
        auto orders = Step(ema(), {});
        // The camp thread in the chain (a return it asked for now stands over it).
        HL_thread* t = c->FirstThread(AgentOfUnit(me));
        while (t && t->type != k.mode) t = t->LinkOf(AgentOfUnit(me));
        ASSERT_NE(t, nullptr);
        HL_camp* camp = static_cast<HL_camp*>(t);
        const int32_t* point = camp->CampPoint(HL_IndexOf(camp, AgentOfUnit(me)));
        ASSERT_EQ(Posted().size(), k.posted ? 1u : 0u);
        if (k.posted) {
            EXPECT_EQ(Posted()[0].type, k.posted);
            EXPECT_EQ(Posted()[0].unit, Own(me));
            EXPECT_EQ(Posted()[0].point[0], x);  // the camp point from where it joined
            EXPECT_EQ(Posted()[0].point[2], 0);
            EXPECT_EQ(c->LastThread(AgentOfUnit(me))->type, k.posted == kMsgGotoReturn ? kHLGotoReturn : kHLSneakToReturn);
        }
        // The camp's own order: a stop where the unit stands (the return's orders head for the camp point).
        std::vector<OrderSeen> stops;
        for (const OrderSeen& o : orders)
            if (o.code == kOrderGoto && o.point[0] == x + 5000) stops.push_back(o);
        EXPECT_EQ(stops.size(), k.order ? 1u : 0u);
        EXPECT_EQ(point[0], k.order ? x + 5000 : x);
        if (!k.posted) {
            EXPECT_EQ(std::string(Own(me)->text),
                      std::string(HL_TypeName(k.mode)) + "_" + std::to_string(camp->serial));
        }
    }
}

TEST_F(CampHold, ManualControlEndingStopsStealthAndCampsWhereTheUnitIsNow) {
    construct* me = Member(ema(), 0, 0);
    construct* other = Member(ema(), 65536, 0);
    MoveTo(me, 30000, 40000);
    auto orders = Step(ema(), {Msg(ema(), kMsgManualOff, me), Msg(ema(), kMsgManualOn2, nullptr, other)});
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[0].code, kOrderStealthOff);
    EXPECT_EQ(orders[0].unit, Own(me));
    EXPECT_EQ(orders[1].unit, Own(other));
    auto* camp = static_cast<HL_camp*>(Logic(ema())->FirstThread(AgentOfUnit(me)));
    EXPECT_EQ(camp->CampPoint(0)[0], 30000);
    EXPECT_EQ(camp->CampPoint(0)[2], 40000);
}

}  // namespace
}  // namespace aitest
