// Goto and patrol behaviours on the flat plain of the hand-made AI scene (16 x 16 tiles; the test units
// have access type 1, stopped by access bit 2): way planning, the group's places, hops and arrivals, the
// return after an interruption, the chase's ends, time limits, threats engaged, and the patrol's round.
#include <cmath>

#include "HLFixtures.h"
#include "ai/HL_goto.h"
#include "ai/HL_patrol.h"
#include "ai/WayTree.h"

namespace aitest {
namespace {

class GotoPatrol : public HLScene {
protected:
    static std::vector<std::array<int32_t, 3>> Points(const wpl* w) {
        std::vector<std::array<int32_t, 3>> out;
        for (int i = 0; w && i < w->count; ++i)
            out.push_back({w->points[i][0], w->points[i][1], w->points[i][2]});
        return out;
    }
    HL_goto* GotoOf(construct* u) { return dynamic_cast<HL_goto*>(Current(u)); }
    // The unit's aim point reported done, in one step.
    std::vector<OrderSeen> Arrive(construct* u) { return Step(u->clan, {Msg(u->clan, kMsgAimPointDone, u)}); }
};

using P = std::array<int32_t, 3>;

TEST_F(GotoPatrol, WaysArePlannedAroundObstaclesThroughCorrectedEndsAndDeeperSearches) {
    const P start{60 * 4096, 0, 130 * 4096}, goal{180 * 4096, 0, 130 * 4096};
    // Free ground: the start and the goal.
    wpl* way = PlanWayPointList(start.data(), goal.data(), 1);
    ASSERT_NE(way, nullptr);
    EXPECT_EQ(Points(way), (std::vector<P>{start, goal}));
    EXPECT_EQ(way->capacity, 1024);
    FreeWayPointList(way);
    // A goal on blocked ground: the search is repeated once toward the corrected end.
    BlockGround(170, 120, 200, 140);
    way = PlanWayPointList(start.data(), goal.data(), 1);
    ASSERT_NE(way, nullptr);
    EXPECT_LT(way->points[way->count - 1][0], 170 * 4096);
    FreeWayPointList(way);
    // A wall across the plain ends beyond the grid: 25 outline points do not reach round it, so the
    // search is repeated with a larger budget.
    for (int32_t X = 0; X < 256; ++X)
        for (int32_t Z = 0; Z < 256; ++Z) terrain_.At(X, Z).access = 0;
    BlockGround(100, 0, 102, 255);
    int32_t result = -1, out[3];
    FreeWayTree(TestWay(start.data(), goal.data(), 1, 25, &result, out));
    EXPECT_EQ(result, kWayTruncated);
    way = PlanWayPointList(start.data(), goal.data(), 1);
    ASSERT_NE(way, nullptr);
    EXPECT_EQ(Points(way).back(), goal);
    EXPECT_GT(way->count, 2);
    FreeWayPointList(way);
    // A start on blocked ground: no way.
    const P inside{101 * 4096, 0, 130 * 4096};
    EXPECT_EQ(PlanWayPointList(inside.data(), goal.data(), 1), nullptr);
}

// Four units 200000 apart keep their places around their centre, each offset cut to 55000.
TEST_F(GotoPatrol, AGroupKeepsItsPlacesAroundTheDestination) {
    std::vector<construct*> group = {Member(ema(), 100000, 100000), Member(ema(), 300000, 100000),
                                     Member(ema(), 100000, 300000), Member(ema(), 300000, 300000)};
    const auto orders = Step(ema(), {GroupTo(ema(), kMsgGoto, group, 600000, 600000)});
    const int32_t cut = int32_t(55000 / std::sqrt(2.0));  // per axis of an offset of (100000, 100000)
    const int32_t sx[] = {-1, 1, -1, 1}, sz[] = {-1, -1, 1, 1};
    for (size_t i = 0; i < group.size(); ++i) {
        SCOPED_TRACE(i);
        const P goal{600000 + sx[i] * cut, 0, 600000 + sz[i] * cut};
        const auto mine = OrdersOf(orders, Own(group[i]));
        ASSERT_EQ(mine.size(), 1u);
        EXPECT_EQ(mine[0].code, kOrderGoto);
        EXPECT_EQ(P({mine[0].point[0], mine[0].point[1], mine[0].point[2]}), goal);
        EXPECT_EQ(mine[0].param, 0);
        HL_goto* g = GotoOf(group[i]);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(Points(g->WayOf(int(i))).back(), goal);
        EXPECT_STREQ(Own(group[i])->text, ("GOTO_" + std::to_string(g->serial) + " hop 1").c_str());
    }
}

// Hop after hop as the unit reports its aim point done; at the end a GOTO hands its agent to HOLD, a
// CHASE gives up its agent as done, a return lets its agent go back to the thread below.
TEST_F(GotoPatrol, AgentsHopAlongTheirWaysAndArrive) {
    const struct Case {
        const char* name;
        int type;
        int reason;
        const char* chain;
    } cases[] = {
        {"goto", kMsgGoto, kHLConditionLapsed, "CAMP>HOLD>"},
        {"sneak to", kMsgSneakTo, kHLConditionLapsed, "CAMP>"},
        {"chase", kMsgChase, kHLTaskDone, "CAMP>"},
        {"return", kMsgGotoReturn, kHLConditionLapsed, "CAMP>"},
    };
    BlockGround(40, 0, 42, 60);  // a wall between the unit and its goal, open above z 61
    construct* enemy = Member(ga(), 900000, 900000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        construct* u = Member(ema(), 20 * 4096, 30 * 4096);
        Arm(u, 100000);  // a chase goes on only while its unit can fight
        AIMessage* order = GroupTo(ema(), c.type, {u}, 60 * 4096, 30 * 4096);
        order->other = Rec(enemy, ema());  // the chased unit
        auto orders = Step(ema(), {order});
        HL_goto* g = GotoOf(u);
        ASSERT_NE(g, nullptr);
        const auto way = Points(g->WayOf(0));
        ASSERT_GE(way.size(), 3u);  // round the wall
        auto first = OrdersOf(orders, Own(u));
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(P({first[0].point[0], first[0].point[1], first[0].point[2]}), way[1]);
        // A sneaking unit drops its target as it sets out.
        const bool sneaking = c.type == kMsgSneakTo;
        ASSERT_EQ(first.size(), sneaking ? 2u : 1u);
        if (sneaking) {
            EXPECT_EQ(first[1].code, kOrderTarget);
            EXPECT_EQ(first[1].target, nullptr);
        }
        for (size_t hop = 2; hop < way.size(); ++hop) {
            const auto next = OrdersOf(Arrive(u), Own(u));
            ASSERT_EQ(next.size(), 1u);
            EXPECT_EQ(P({next[0].point[0], next[0].point[1], next[0].point[2]}), way[hop]);
            EXPECT_STREQ(Own(u)->text, (std::string(g->TypeName()) + "_" + std::to_string(g->serial) +
                                        " hop " + std::to_string(hop))
                                           .c_str());
        }
        const int32_t serial = g->serial;
        Posted().clear();
        Arrive(u);  // the thread is gone with its last agent
        // (The HOLD a GOTO hands its agent to notes the CAMP below as the agent's last thread.)
        if (c.type != kMsgGoto) {
            EXPECT_EQ(AgentOfUnit(u)->lastThreadSerial, serial);
            EXPECT_EQ(AgentOfUnit(u)->releaseReason, c.reason);
        }
        EXPECT_EQ(Chain(u), c.chain);
        EXPECT_EQ(PostedOf(kMsgHold).size(), c.type == kMsgGoto ? 1u : 0u);
        BackToCamp(ema());
    }
}

// The flag of an order to a way point: 1 only for the way's last point when it lies less than 60000 from
// the unit and behind it (the unit faces +z).
TEST_F(GotoPatrol, ANearLastPointBehindTheUnitIsBackedOnto) {
    const struct Case {
        const char* name;
        int32_t dz;
        intptr_t flag;
    } cases[] = {{"near, behind", -30000, 1}, {"near, ahead", 30000, 0}, {"far, behind", -90000, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        construct* u = Member(ema(), 500000, 500000);
        const auto orders =
            OrdersOf(Step(ema(), {GroupTo(ema(), kMsgGoto, {u}, 500000, 500000 + c.dz)}), Own(u));
        ASSERT_EQ(orders.size(), 1u);
        EXPECT_EQ(orders[0].point[2], 500000 + c.dz);
        EXPECT_EQ(orders[0].param, c.flag);
        BackToCamp(ema());
    }
}

// A SNEAKTO without a destination stops its agents where they stand; one that comes back from a fight has
// no way point to return to and stays where it stands.
TEST_F(GotoPatrol, ASneakWithoutDestinationStopsItsAgentsWhereTheyStand) {
    construct* u = Member(ema(), 200000, 300000);
    auto orders = OrdersOf(Step(ema(), {Group(ema(), kMsgSneakOpen, {u})}), Own(u));
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].point[0], 200000);
    EXPECT_EQ(orders[0].point[2], 300000);
    HL_goto* g = GotoOf(u);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->type, kHLSneakTo);
    EXPECT_EQ(g->WayOf(0), nullptr);
    PassingThread* fight = Stack(u, kHLAttack);
    MoveTo(u, 210000, 320000);
    fight->releaseReason = kHLTaskDone;
    Posted().clear();
    orders = OrdersOf(Step(ema(), {}), Own(u));
    EXPECT_TRUE(Posted().empty());
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].point[0], 210000);
    EXPECT_EQ(orders[0].point[2], 320000);
    EXPECT_EQ(Chain(u), "CAMP>SNEAKTO>");
    // Its aim point done, the agent has nothing left to do there.
    Arrive(u);
    EXPECT_EQ(Chain(u), "CAMP>");
}

// A goto interrupted by a fight sends its agent back to the way point it was heading for by a return
// thread (a GOTO by a sneak, a SNEAKTO by a go); when the return arrives the goto carries on, when the
// return gives up so does the goto.
TEST_F(GotoPatrol, AfterAnInterruptionTheAgentReturnsToItsWayAndGoesOn) {
    for (int mode : {kMsgGoto, kMsgSneakTo}) {
        SCOPED_TRACE(mode);
        construct* u = Member(ema(), 100000, 100000);
        Step(ema(), {GroupTo(ema(), mode, {u}, 700000, 100000)});
        HL_goto* g = GotoOf(u);
        const P head = Points(g->WayOf(0))[1];
        PassingThread* fight = Stack(u, kHLAttack);
        MoveTo(u, 300000, 200000);
        fight->releaseReason = kHLTaskDone;
        Posted().clear();
        Step(ema(), {});
        const int back = mode == kMsgGoto ? kMsgSneakToReturn : kMsgGotoReturn;
        ASSERT_EQ(PostedOf(back).size(), 1u);
        EXPECT_EQ(P({PostedOf(back)[0].point[0], 0, PostedOf(back)[0].point[2]}), head);
        EXPECT_EQ(Chain(u), mode == kMsgGoto ? "CAMP>GOTO>SNEAKTO_RETURN>" : "CAMP>SNEAKTO>GOTO_RETURN>");
        // Back at the way point: the goto orders it on to the same point again.
        const auto orders = OrdersOf(Arrive(u), Own(u));
        EXPECT_EQ(Chain(u), mode == kMsgGoto ? "CAMP>GOTO>" : "CAMP>SNEAKTO>");
        ASSERT_FALSE(orders.empty());
        EXPECT_EQ(P({orders.back().point[0], 0, orders.back().point[2]}), head);
        BackToCamp(ema());
    }
    // A return that finds no way (its unit stands on blocked ground) gives up, and the goto gives up too.
    construct* u = Member(ema(), 100000, 100000);
    Step(ema(), {GroupTo(ema(), kMsgGoto, {u}, 700000, 100000)});
    PassingThread* fight = Stack(u, kHLAttack);
    MoveTo(u, 300000, 200000);
    BlockGround(300000 / 4096, 200000 / 4096, 300000 / 4096, 200000 / 4096);
    fight->releaseReason = kHLTaskDone;
    Step(ema(), {});
    EXPECT_EQ(Chain(u), "CAMP>");
    EXPECT_EQ(AgentOfUnit(u)->releaseReason, kHLTaskDone);
}

TEST_F(GotoPatrol, AReturnWithATimeLimitEndsWhenItRunsOut) {
    construct* u = Member(ema(), 100000, 100000);
    Step(ema(), {GroupTo(ema(), kMsgSneakToReturn, {u}, 900000, 100000, 500)});
    EXPECT_EQ(Chain(u), "CAMP>SNEAKTO_RETURN>");
    Step(ema(), {}, 498);  // with the step that made it, 499 ticks
    EXPECT_EQ(Chain(u), "CAMP>SNEAKTO_RETURN>");
    Step(ema(), {}, 1);
    EXPECT_EQ(Chain(u), "CAMP>");
    EXPECT_EQ(AgentOfUnit(u)->releaseReason, kHLConditionLapsed);
}

// A chase ends when its unit sees the target in range again (the attack takes over), when the target is
// known again as a threat (it becomes the unit's target), when the target is destroyed, or when the unit
// has no weapon left.
TEST_F(GotoPatrol, AChaseEndsByWhatItsUnitSeesAndHas) {
    construct* enemy = Member(ga(), 800000, 100000);
    const struct Case {
        const char* name;
        bool armed;
        bool target;
        int32_t flags, distance;
        int32_t structure;
        bool threat;
        int reason;  // -1: the chase goes on
        bool targetOrder;
    } cases[] = {
        {"target in range", true, true, 0, 150000, 100, false, kHLConditionLapsed, false},
        {"target blocked", true, true, kThreatObstructed, 150000, 100, false, -1, false},
        {"target beyond the range", true, true, 0, 250000, 100, false, -1, false},
        {"no target, chased one destroyed", true, false, 0, 0, 0, false, kHLTaskDone, false},
        {"no target, chased one a threat again", true, false, 0, 0, 100, true, kHLConditionLapsed, true},
        {"no target, chased one unseen", true, false, 0, 0, 100, false, -1, false},
        {"unarmed", false, false, 0, 0, 100, false, kHLTaskDone, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        construct* u = Member(ema(), 100000, 100000);
        Arm(u, 200000);
        Rec(enemy, ema())->structure = 100;
        Step(ema(), {Msg(ema(), kMsgChase, u, enemy, 0, enemy->pos)});
        ASSERT_EQ(Chain(u), "CAMP>CHASE>");
        if (!c.armed)
            for (int v = 0; v < 3; ++v) AIRecordOf(u, v)->weaponPresent[0] = 0;
        Own(u)->target = c.target ? Rec(enemy, ema()) : nullptr;
        Own(u)->targetFlags = c.flags;
        Own(u)->targetDistance = c.distance;
        Rec(enemy, ema())->structure = c.structure;
        if (c.threat)
            PairList_Append(&Logic(ema())->threats, reinterpret_cast<uintptr_t>(Rec(enemy, ema())), 1);
        const auto orders = OrdersOf(Step(ema(), {}), Own(u));
        if (c.reason < 0) {
            EXPECT_EQ(Chain(u), "CAMP>CHASE>");
        } else {
            EXPECT_EQ(Chain(u), "CAMP>");
            EXPECT_EQ(AgentOfUnit(u)->releaseReason, c.reason);
        }
        bool targeted = false;
        for (const OrderSeen& o : orders)
            targeted = targeted || (o.code == kOrderTarget && o.target == Rec(enemy, ema()));
        EXPECT_EQ(targeted, c.targetOrder);
        Logic(ema())->threats.count = 0;
        BackToCamp(ema());
    }
}

// Going units engage the nearest hostile threat in reach, unless they broke off a fight to go; a unit
// returning to its place holds while it hears the enemy.
TEST_F(GotoPatrol, GoingUnitsEngageThreatsInReachAndReturningOnesHoldWhileTheyHear) {
    construct* near = Member(ga(), 400000, 100000);
    construct* nearer = Member(ga(), 100000, 350000);
    construct* neutral = Member(arab(), 150000, 150000);
    HL_clan* c = Logic(ema());
    c->hostility = {kAllied, kHostile, kNeutral};
    for (construct* t : {near, nearer, neutral})
        PairList_Append(&c->threats, reinterpret_cast<uintptr_t>(Rec(t, ema())), 1);
    construct* u = Member(ema(), 100000, 100000);
    Arm(u, 200000);
    Posted().clear();
    Step(ema(), {GroupTo(ema(), kMsgGoto, {u}, 900000, 900000)});
    ASSERT_EQ(PostedOf(kMsgAttackInRange).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgAttackInRange)[0].other, Rec(nearer, ema()));
    BackToCamp(ema());
    // Out of a fight: the goto does not engage.
    Stack(u, kHLAttack);
    Posted().clear();
    Step(ema(), {GroupTo(ema(), kMsgGoto, {u}, 900000, 900000)});
    EXPECT_EQ(Chain(u), "CAMP>GOTO>");
    EXPECT_TRUE(PostedOf(kMsgAttackInRange).empty());
    BackToCamp(ema());
    c->threats.count = 0;
    Own(u)->alerted = 1;
    Step(ema(), {GroupTo(ema(), kMsgSneakToReturn, {u}, 900000, 900000)});
    EXPECT_EQ(Chain(u), "CAMP>SNEAKTO_RETURN>HOLDWHILEHEARING>");
}

// A sneaking unit of the player's clan that detects an enemy the clan did not know of stops and says so;
// the whole sneak ends.
TEST_F(GotoPatrol, ASneakOfThePlayersClanStopsAtAnUnknownEnemy) {
    construct* a = Member(ema(), 100000, 100000);
    construct* b = Member(ema(), 150000, 100000);
    construct* known = Member(ga(), 300000, 300000);
    construct* unknown = Member(ga(), 400000, 300000);
    PairList_Append(&Logic(ema())->threats, reinterpret_cast<uintptr_t>(Rec(known, ema())), 1);
    Step(ema(), {GroupTo(ema(), kMsgSneakTo, {a, b}, 900000, 900000)});
    // Not the player's clan yet: no call, nothing ends.
    Step(ema(), {Msg(ema(), kMsgHostileDetected, a, unknown)});
    EXPECT_EQ(Chain(b), "CAMP>SNEAKTO>");
    Step(ema(),
         {NewClanMessage(kMsgPlayerClan, 0, ema(), nullptr), Msg(ema(), kMsgHostileDetected, a, known)});
    EXPECT_EQ(Chain(b), "CAMP>SNEAKTO>");
    EXPECT_TRUE(Calls().empty());
    Step(ema(), {Msg(ema(), kMsgHostileDetected, a, unknown)});
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].name, "Call_SneakStopped");
    EXPECT_EQ(Chain(a), "CAMP>");
    EXPECT_EQ(Chain(b), "CAMP>");
    EXPECT_EQ(AgentOfUnit(b)->releaseReason, kHLTaskDone);
}

// The player takes over a going unit: it leaves the goto (a GOTO's agent holding afterwards); the one it
// gives back has its stealth switched off.
TEST_F(GotoPatrol, ManualControlTakesAUnitOutOfItsGoto) {
    construct* a = Member(ema(), 100000, 100000);
    construct* b = Member(ema(), 150000, 100000);
    Step(ema(), {GroupTo(ema(), kMsgGoto, {a, b}, 900000, 900000)});
    Posted().clear();
    const auto orders = Step(ema(), {Msg(ema(), kMsgManualOn2, a, b)});
    // The HOLD posted for it is made after the clan made the MANUAL thread, and takes its place; the
    // clan's manual agent stays, and the hold leaves it alone.
    EXPECT_EQ(Chain(a), "CAMP>HOLD>");
    EXPECT_EQ(Logic(ema())->manual, AgentOfUnit(a));
    ASSERT_FALSE(OrdersOf(orders, Own(b)).empty());
    EXPECT_EQ(OrdersOf(orders, Own(b))[0].code, kOrderStealthOff);
    EXPECT_EQ(Chain(b), "CAMP>GOTO>");
}

// ---- Patrol.

class Patrol : public GotoPatrol {
protected:
    // A patrol message for the units along the points (16.16).
    AIMessage* PatrolMsg(const std::vector<construct*>& units, const std::vector<P>& points) {
        AIMessage* m = Group(ema(), kMsgPatrol, units);
        m->path = static_cast<AIPath*>(qzAlloc(int(sizeof(AIPath)), "ai path"));
        std::memset(m->path, 0, sizeof(AIPath));
        std::snprintf(m->path->auName, sizeof m->path->auName, "%s", "outpost");
        m->path->points = CreateWayPointList(int(points.size()), "ai path wpl");
        for (const P& p : points) AddWayPoint(m->path->points, p.data());
        return m;
    }
    HL_patrol* PatrolOf(construct* u) {
        const HL_agent* a = AgentOfUnit(u);
        for (HL_thread* t = Logic(ema())->FirstThread(a); t; t = t->LinkOf(a))
            if (auto* p = dynamic_cast<HL_patrol*>(t)) return p;
        return nullptr;
    }
    // Every unit reports its return done.
    void ReturnsDone(const std::vector<construct*>& units) {
        for (construct* u : units)
            while (Current(u)->type == kHLGotoReturn) Arrive(u);
    }
};

// The formation is taken from where the units stand; each is sent to the first point by a return thread;
// then the group steps from point to point once every unit has arrived, round and round: 0, 1, 2, 0, 1.
TEST_F(Patrol, TheGroupGoesRoundThePathInFormationWhenAllHaveArrived) {
    construct* a = Member(ema(), 100000, 100000);
    construct* b = Member(ema(), 140000, 100000);
    const std::vector<P> path = {{400000, 0, 400000}, {600000, 0, 400000}, {600000, 0, 600000}};
    Posted().clear();
    const auto orders = Step(ema(), {PatrolMsg({a, b}, path)});
    HL_patrol* p = PatrolOf(a);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->OffsetOf(0)[0], -20000);
    EXPECT_EQ(p->OffsetOf(1)[0], 20000);
    EXPECT_EQ(p->OffsetOf(1)[1], 0);
    ASSERT_EQ(PostedOf(kMsgGotoReturn).size(), 2u);
    EXPECT_EQ(PostedOf(kMsgGotoReturn)[0].point[0], 380000);
    EXPECT_EQ(PostedOf(kMsgGotoReturn)[1].point[0], 420000);
    // Each stops and drops its target first.
    const auto mine = OrdersOf(orders, Own(a));
    ASSERT_GE(mine.size(), 2u);
    EXPECT_EQ(mine[0].code, kOrderGoto);
    EXPECT_EQ(mine[0].point[0], 100000);
    EXPECT_EQ(mine[1].code, kOrderTarget);
    EXPECT_EQ(Chain(a), "CAMP>PATROL>GOTO_RETURN>");

    // The group waits while one unit is still on its way back; the step in which the last one arrives
    // sends the group on to point 1; it waits again while one unit is still moving.
    // Its index starts past the path's end: the step that made it, before the returns were made, took it
    // to point 0, where the returns lead.
    EXPECT_EQ(p->current, 0);
    ReturnsDone({a});
    EXPECT_TRUE(OrdersOf(Step(ema(), {}), Own(a)).empty());
    const int32_t visit[] = {1, 2, 0, 1};
    for (int32_t k : visit) {
        SCOPED_TRACE(k);
        std::vector<OrderSeen> step;
        if (k == 1 && Current(b)->type == kHLGotoReturn) {
            step = Arrive(b);
        } else {
            Own(b)->aimPointSet = 1;
            EXPECT_TRUE(OrdersOf(Step(ema(), {}), Own(a)).empty());
            Own(b)->aimPointSet = 0;
            step = Step(ema(), {});
        }
        ASSERT_EQ(OrdersOf(step, Own(a)).size(), 1u);
        EXPECT_EQ(OrdersOf(step, Own(a))[0].point[0], path[size_t(k)][0] - 20000);
        EXPECT_EQ(OrdersOf(step, Own(b))[0].point[0], path[size_t(k)][0] + 20000);
        EXPECT_EQ(OrdersOf(step, Own(b))[0].point[2], path[size_t(k)][2]);
        EXPECT_EQ(p->current, k);
        EXPECT_STREQ(Own(a)->text,
                     ("PATROL_" + std::to_string(p->serial) + " hop " + std::to_string(k)).c_str());
    }
}

// A fight or a hold while hearing sends the unit back to the patrol's current point (and the next step
// waits); a return that gives up takes the unit out of the patrol. A patrol does not step on while one of
// its units is busy with a stacked behaviour.
TEST_F(Patrol, InterruptionsSendTheUnitBackOrLetItGo) {
    construct* a = Member(ema(), 100000, 100000);
    construct* b = Member(ema(), 140000, 100000);
    const std::vector<P> path = {{400000, 0, 400000}, {600000, 0, 400000}};
    Step(ema(), {PatrolMsg({a, b}, path)});
    ReturnsDone({a, b});  // and on to point 1
    HL_patrol* p = PatrolOf(a);
    ASSERT_EQ(p->current, 1);
    PassingThread* fight = Stack(a, kHLAttack);
    EXPECT_TRUE(OrdersOf(Step(ema(), {}), Own(b)).empty());  // a is busy: no step
    EXPECT_EQ(p->current, 1);
    fight->releaseReason = kHLConditionLapsed;
    Posted().clear();
    Step(ema(), {});
    ASSERT_EQ(PostedOf(kMsgGotoReturn).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgGotoReturn)[0].point[0], 580000);
    EXPECT_EQ(Chain(a), "CAMP>PATROL>GOTO_RETURN>");
    // The return finds no way: the unit leaves the patrol.
    BackToCamp(ema());
    BlockGround(100000 / 4096, 100000 / 4096, 100000 / 4096, 100000 / 4096);
    Step(ema(), {PatrolMsg({a}, path)});
    EXPECT_EQ(Chain(a), "CAMP>");
    EXPECT_EQ(AgentOfUnit(a)->lastThreadType, kHLPatrol);
    EXPECT_EQ(AgentOfUnit(a)->releaseReason, kHLTaskDone);
}

TEST_F(Patrol, PatrollingUnitsEngageHostileThreatsAndHoldWhileTheyHear) {
    construct* a = Member(ema(), 100000, 100000);
    construct* enemy = Member(ga(), 300000, 100000);
    Arm(a, 200000);
    HL_clan* c = Logic(ema());
    c->hostility[1] = kHostile;
    Step(ema(), {PatrolMsg({a}, {{400000, 0, 400000}})});
    ReturnsDone({a});
    Own(a)->alerted = 1;
    PairList_Append(&c->threats, reinterpret_cast<uintptr_t>(Rec(enemy, ema())), 1);
    Posted().clear();
    Step(ema(), {});
    EXPECT_EQ(PostedOf(kMsgHoldWhileHearing).size(), 1u);
    ASSERT_EQ(PostedOf(kMsgAttackInRange).size(), 1u);
    EXPECT_EQ(PostedOf(kMsgAttackInRange)[0].other, Rec(enemy, ema()));
    EXPECT_EQ(Chain(a), "CAMP>PATROL>ATTACK>");
}

}  // namespace
}  // namespace aitest
