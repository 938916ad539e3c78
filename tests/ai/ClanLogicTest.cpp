// The clan logic: chains of threads (insert, supersede, release, resume), the clan's handler over a
// script of messages, attacks and radio calls, and destruction.
#include <functional>

#include "HLFixtures.h"
#include "core/Rules.h"
#include "support/DebugCapture.h"
#include "support/MemTrack.h"
#include "world/TickCounter.h"

namespace aitest {
namespace {

// A thread of any type that logs what the clan tells it.
class LogThread : public HL_thread {
public:
    LogThread(int t, HL_clan* owner, std::vector<std::string>* log) : log_(log) {
        type = t;
        clan = owner;
        serial = NextHLThreadSerial();
    }
    void NotifySuperseded(HL_agent*) override { Note("superseded"); }
    void NotifyResumed(HL_agent* a) override {
        Note("resumed after " + std::string(HL_TypeName(a->lastThreadType)) + " reason " +
             std::to_string(a->releaseReason));
    }
    void NotifyInserted() override { Note("inserted"); }
    void NotifyAgentAdded(HL_agent*) override { Note("agent added"); }
    void RemoveAgent(HL_agent*) override { Note("removed"); }
    AIUnitRecord* GetTarget() override { return target; }
    AIUnitRecord* target = nullptr;

private:
    void Note(const std::string& what) {
        log_->push_back(std::string(TypeName()) + "_" + std::to_string(serial) + " " + what);
    }
    std::vector<std::string>* log_;
};

class ClanLogic : public HLScene {};

TEST_F(ClanLogic, ChainsStackPassingBehavioursReplaceWhatTheirRowListsAndResumeTheOneBelow) {
    construct* a = Member(ema(), 100000, 100000);
    HL_clan* c = Logic(ema());
    HL_agent* agent = AgentOfUnit(a);
    ASSERT_NE(agent, nullptr);
    std::vector<std::string> log;
    auto start = [&](int type) {
        auto* t = new LogThread(type, c, &log);
        c->StartThread(t, {agent});
        return t;
    };
    auto expectLog = [&](std::vector<std::string> expected) {
        EXPECT_EQ(log, expected);
        log.clear();
    };
    EXPECT_EQ(Picture(ema()), "CAMP_0[0*] | 0:CAMP>");

    start(kHLPatrol);
    expectLog({"PATROL_1 inserted"});  // CAMP is a real camp thread: its supersede does nothing visible
    EXPECT_EQ(agent->lastThreadType, kHLCamp);
    EXPECT_EQ(agent->lastThreadSerial, 0);
    LogThread* attack = start(kHLAttack);
    expectLog({"PATROL_1 superseded", "ATTACK_2 inserted"});
    start(kHLChase);  // CHASE does not list ATTACK: it stacks on it
    expectLog({"ATTACK_2 superseded", "CHASE_3 inserted"});
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] PATROL_1[0] ATTACK_2[0] CHASE_3[0*] | 0:CAMP>PATROL>ATTACK>CHASE>");
    EXPECT_EQ(c->LastThread(agent)->serial, 3);

    // A new ATTACK takes the old one's place and ends the chain there: the CHASE above goes too.
    LogThread* attack2 = start(kHLAttack);
    expectLog({"ATTACK_2 removed", "CHASE_3 removed", "ATTACK_4 inserted"});
    EXPECT_EQ(agent->lastThreadType, kHLChase);
    EXPECT_EQ(agent->releaseReason, 0);
    c->DeleteIdleThreads();
    (void)attack;
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] PATROL_1[0] ATTACK_4[0*] | 0:CAMP>PATROL>ATTACK>");

    // The attack ends its part: the agent is back on patrol, which hears why.
    c->ReleaseAgent(agent, attack2, kHLConditionLapsed);
    expectLog({"PATROL_1 resumed after ATTACK reason 2", "ATTACK_4 removed"});
    c->DeleteIdleThreads();
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] PATROL_1[0*] | 0:CAMP>PATROL>");

    // A second patrol replaces the first (same row); the first is deleted once idle.
    LogThread* patrol2 = start(kHLPatrol);
    expectLog({"PATROL_1 removed", "PATROL_5 inserted"});
    c->DeleteIdleThreads();
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] PATROL_5[0*] | 0:CAMP>PATROL>");

    // Ending the patrol gives the agent back to its camp, which camps where the unit stands now.
    MoveTo(a, 150000, 120000);
    auto orders = Step(ema(), {Msg(ema(), kMsgEndThread, nullptr, nullptr, patrol2->serial)});
    expectLog({"PATROL_5 removed"});
    EXPECT_EQ(Picture(ema()), "CAMP_0[0*] | 0:CAMP>");
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].code, kOrderGoto);
    EXPECT_EQ(orders[0].unit, Own(a));
    EXPECT_EQ(orders[0].point[0], 150000);
    EXPECT_EQ(orders[0].param, 0);
    EXPECT_EQ(static_cast<HL_camp*>(c->threads[0])->CampPoint(0)[0], 150000);
    EXPECT_STREQ(Own(a)->text, "CAMP_0");
}

TEST_F(ClanLogic, OneAgentJoiningAThreadOfSeveralIsPlacedInItsOwnChain) {
    construct* a = Member(ema(), 0, 0);
    construct* b = Member(ema(), 65536, 0);
    HL_clan* c = Logic(ema());
    std::vector<std::string> log;
    auto* hide = new LogThread(kHLHide, c, &log);
    c->StartThread(hide, {AgentOfUnit(a)});
    auto* attack = new LogThread(kHLAttack, c, &log);
    c->StartThread(attack, {AgentOfUnit(b)});
    log.clear();
    c->InsertAgent(hide, AgentOfUnit(b));  // HIDE replaces b's ATTACK
    EXPECT_EQ(log, (std::vector<std::string>{"ATTACK_3 removed", "HIDE_2 agent added"}));
    c->DeleteIdleThreads();
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] CAMP_1[1] HIDE_2[0*,1*] | 0:CAMP>HIDE> 1:CAMP>HIDE>");
}

// One clan's handler through a script of messages: the threads made, the chains and lists after each.
TEST_F(ClanLogic, TheHandlerStartsEndsAndRearrangesThreadsAndKeepsItsLists) {
    kvtest::MemTrack mem;
    construct* a = Member(ema(), 0, 0);
    construct* b = Member(ema(), 100000, 0);
    construct* g = Unit(ga(), 300000, 0, 0);
    HL_clan* c = Logic(ema());
    const struct ScriptStep {
        const char* name;
        std::function<std::vector<AIMessage*>()> messages;
        std::string picture;
        size_t orders;
    } script[] = {
        {"joined", [] { return std::vector<AIMessage*>{}; }, "CAMP_0[0*] CAMP_1[1*] | 0:CAMP> 1:CAMP>", 0},
        {"hold",
         [&] {
             return std::vector<AIMessage*>{Group(ema(), kMsgHold, {a, b})};
         },
         "CAMP_0[0] CAMP_1[1] HOLD_2[0*,1*] | 0:CAMP>HOLD> 1:CAMP>HOLD>", 2},
        // Not alerted: the thread lets the agent go in its first step, back to holding.
        {"hold while hearing", [&] { return std::vector<AIMessage*>{Msg(ema(), kMsgHoldWhileHearing, a)}; },
         "CAMP_0[0] CAMP_1[1] HOLD_2[0*,1*] HOLDWHILEHEARING_3[] | 0:CAMP>HOLD> 1:CAMP>HOLD>", 2},
        {"stand-by twice",
         [&] {
             return std::vector<AIMessage*>{Group(ema(), kMsgStandByOn, {a, b}),
                                            Group(ema(), kMsgStandByOn, {b})};
         },
         "CAMP_0[0] CAMP_1[1] HOLD_2[0*,1*] | 0:CAMP>HOLD> 1:CAMP>HOLD> | standby 0 1", 0},
        {"stand-by off", [&] { return std::vector<AIMessage*>{Group(ema(), kMsgStandByOff, {a})}; },
         "CAMP_0[0] CAMP_1[1] HOLD_2[0*,1*] | 0:CAMP>HOLD> 1:CAMP>HOLD> | standby 1", 0},
        {"end a serial nobody has",
         [&] { return std::vector<AIMessage*>{Msg(ema(), kMsgEndThread, nullptr, nullptr, 77)}; },
         "CAMP_0[0] CAMP_1[1] HOLD_2[0*,1*] | 0:CAMP>HOLD> 1:CAMP>HOLD> | standby 1", 0},
        {"end the hold",
         [&] { return std::vector<AIMessage*>{Msg(ema(), kMsgEndThread, nullptr, nullptr, 2)}; },
         "CAMP_0[0*] CAMP_1[1*] | 0:CAMP> 1:CAMP> | standby 1", 0},
        {"manual control", [&] { return std::vector<AIMessage*>{Msg(ema(), kMsgManualOn, a)}; },
         "CAMP_0[0] CAMP_1[1*] MANUAL_4[0*] | 0:CAMP>MANUAL> 1:CAMP> | standby 1 | manual 0", 0},
        {"a unit announcing itself again keeps its agent",
         [&] {
             return std::vector<AIMessage*>{
                 Msg(ema(), kMsgUnitJoins, b, nullptr, reinterpret_cast<intptr_t>("EMAJeep"))};
         },
         "CAMP_0[0] CAMP_1[1*] MANUAL_4[0*] | 0:CAMP>MANUAL> 1:CAMP> | standby 1 | manual 0", 0},
        {"the manual agent destroyed", [&] { return std::vector<AIMessage*>{Msg(ema(), kMsgDestroyed, a)}; },
         "CAMP_1[0*] | 0:CAMP> | standby 0", 0},
        {"a unit without agent destroyed",
         [&] { return std::vector<AIMessage*>{Msg(ema(), kMsgDestroyed, g)}; },
         "CAMP_1[0*] | 0:CAMP> | standby 0", 0},
    };
    for (const ScriptStep& s : script) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(Step(ema(), s.messages()).size(), s.orders);
        EXPECT_EQ(Picture(ema()), s.picture);
    }
    EXPECT_EQ(Own(a)->agent, nullptr);
    EXPECT_EQ(Own(a)->standBy, 0);
    EXPECT_EQ(Own(b)->standBy, 1);
    EXPECT_STREQ(Own(b)->text, "CAMP_1");

    // Clan bookkeeping: hostility, threats, the player flag.
    Step(ema(), {NewClanMessage(kMsgHostility, kHostile, ga(), ema()),
                 NewClanMessage(kMsgPlayerClan, 0, ga(), nullptr), Msg(ema(), kMsgThreatEntered, g),
                 Msg(ema(), kMsgThreatEntered, b)});
    EXPECT_EQ(c->GetHostility(1), kHostile);
    EXPECT_EQ(c->GetHostility(2), kNeutral);
    EXPECT_EQ(c->IsPlayerClan(), 0);
    EXPECT_EQ(c->threats.count, 2);
    Step(ema(), {NewClanMessage(kMsgPlayerClan, 0, ema(), nullptr), Msg(ema(), kMsgThreatLeft, g),
                 NewClanMessage(kMsgHostility, kAllied, ema(), ema())});
    EXPECT_EQ(c->IsPlayerClan(), 1);
    EXPECT_EQ(c->GetHostility(0), kAllied);
    ASSERT_EQ(c->threats.count, 1);
    EXPECT_EQ(c->threats.keys[0], reinterpret_cast<uintptr_t>(Rec(b, ema())));
    EXPECT_EQ(mem.Live("ai message (HL_clan)"), 0);
    EXPECT_EQ(mem.Live("ai order"), 0);
}

// Messages that leave a behaviour nothing to work on make no thread: a patrol without path points, an
// attack without a unit to fight, a follow without followers (its thread goes with the idle ones).
TEST_F(ClanLogic, MessagesThatGiveABehaviourNothingToWorkOnStartNoThread) {
    construct* a = Member(ema(), 0, 0);
    kvtest::DebugCapture debug;
    AIMessage* emptyPath = Group(ema(), kMsgPatrol, {a});
    emptyPath->path = static_cast<AIPath*>(qzAlloc(int(sizeof(AIPath)), "ai path"));
    std::memset(emptyPath->path, 0, sizeof(AIPath));
    emptyPath->path->points = CreateWayPointList(4, "ai path wpl");
    Step(ema(), {Group(ema(), kMsgPatrol, {a}), emptyPath, Msg(ema(), kMsgAttack, a),
                 Msg(ema(), kMsgAttackInRange, a), Msg(ema(), kMsgFollow, a)});
    Step(ema(), {});
    EXPECT_EQ(Picture(ema()), "CAMP_0[0*] | 0:CAMP>");
    EXPECT_NE(kvtest::DebugCapture::text().find("HL_clan: a patrol message without path points starts no thread"),
              std::string::npos);
}

// An attack on a unit of the player's clan: the damage variable, the attacker list and one radio call.
TEST_F(ClanLogic, AttacksCountDamageAndTheHostileOnesAreCalledInOnceAndListedByAge) {
    Rules(
        "Call_attacked \"Taking fire from a <arg1>!\";\nCall_destroyed \"Going down!\";\n"
        "Call_killed \"<arg1> destroyed.\";\nUnit_text \"Unit\" \"ignored\";\n");
    LoadRuleTexts();
    construct* me = Member(ema(), 0, 0);
    construct* hostile = Member(ga(), 500000, 0);
    construct* neutral = Member(arab(), 600000, 0);
    Block(me)->share.ai[0].unitNumber = 4;
    Own(me)->callSign = '5';
    HL_clan* c = Logic(ema());
    Step(ema(), {NewClanMessage(kMsgPlayerClan, 0, ema(), nullptr),
                 NewClanMessage(kMsgHostility, kHostile, ema(), ga())});
    FrameCounter = 10;
    Step(ema(), {Msg(ema(), kMsgAttacked, me, hostile, 4)});
    FrameCounter = 20;
    Step(ema(), {Msg(ema(), kMsgAttacked, me, neutral, 3)});
    FrameCounter = 30;
    Step(ema(), {Msg(ema(), kMsgAttacked, me, hostile, 5)});
    EXPECT_EQ(NamedMDVar("EMA_DAMAGE_FROM_GA")->value, 9.0f);
    EXPECT_EQ(NamedMDVar("EMA_DAMAGE_FROM_ARAB")->value, 3.0f);
    EXPECT_EQ(c->damage, (std::vector<int32_t>{0, 9, 3}));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].text, "Taking fire from a Jeep!");
    EXPECT_EQ(Calls()[0].label, "Unit 5");
    EXPECT_EQ(Calls()[0].name, "Call_attacked");
    EXPECT_EQ(Calls()[0].number, 4);
    HL_agent* agent = AgentOfUnit(me);
    ASSERT_EQ(agent->attackers.count, 1);  // the neutral attacker is not listed
    EXPECT_EQ(agent->attackers.keys[0], reinterpret_cast<uintptr_t>(Rec(hostile, ema())));
    EXPECT_EQ(agent->attackers.values[0], 30u);

    // The killer's call names its victim; the destroyed unit's call names nobody.
    Step(ema(), {Msg(ema(), kMsgStructureDamage, me, hostile), Msg(ema(), kMsgDestroyed, me)});
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[1].text, "Jeep destroyed.");
    EXPECT_EQ(Calls()[2].text, "Going down!");
    // Units of a clan that is not the player's make no calls.
    construct* other = Member(ga(), 700000, 0);
    Step(ga(),
         {NewClanMessage(kMsgHostility, kHostile, ga(), ema()), Msg(ga(), kMsgAttacked, other, hostile, 1)});
    EXPECT_EQ(Calls().size(), 3u);
    FrameCounter = 0;
}

TEST_F(ClanLogic, TheCallLabelAndTheStatusTextKeepToTheirBounds) {
    Rules("Call_FollowFailed \"Lost you, <arg1>.\";\nCall_HideFailed \"No cover\";\n");
    LoadRuleTexts();  // without "Unit_text"
    construct* me = Member(ema(), 0, 0);
    Own(me)->callSign = 'Q';
    std::string text, label;
    HL_FormatCall("Call_HideFailed", Own(me), Own(me), &text, &label);
    EXPECT_EQ(text, "No cover");
    EXPECT_EQ(label, " Q");
    HL_FormatCall("Call_FollowFailed", Own(me), nullptr, &text, &label);
    EXPECT_EQ(text, "Lost you, .");
    EXPECT_EQ(FatalText([&] { HL_FormatCall("Call_Missing", Own(me), nullptr, &text, &label); }),
              "Error(NamedRule): Rule 'call_missing' not found");
    // A status longer than the record's text field is cut to it.
    HL_agent* agent = AgentOfUnit(me);
    const std::string longName(300, 'x');
    AIUnitRecord* rec = Own(me);
    const char guard = reinterpret_cast<const char*>(&rec->con)[0];
    agent->SetStatus("%s_%d", longName.c_str(), 7);
    EXPECT_EQ(std::strlen(rec->text), sizeof rec->text - 1);
    EXPECT_EQ(reinterpret_cast<const char*>(&rec->con)[0], guard);
}

TEST_F(ClanLogic, ClansThatDoNotExistCannotBeSavedOrRead) {
    EXPECT_EQ(FatalText([&] { HiLogic->ExportClan(nullptr, 3, nullptr); }),
              "Error(HL_hilogic::ExportClan): clan 3 does not exist");
    EXPECT_EQ(FatalText([&] { HiLogic->ImportClan(nullptr, -1); }),
              "Error(HL_hilogic::ImportClan): clan -1 does not exist");
}

TEST_F(ClanLogic, TargetsUnitAsksEveryThreadOfTheClan) {
    construct* a = Member(ema(), 0, 0);
    construct* g = Unit(ga(), 0, 0, 0);
    std::vector<std::string> log;
    auto* t = new LogThread(kHLAttack, Logic(ema()), &log);
    t->target = Rec(g, ema());
    Logic(ema())->StartThread(t, {AgentOfUnit(a)});
    EXPECT_EQ(HiLogic->TargetsUnit(0, Rec(g, ema())), 1);
    EXPECT_EQ(HiLogic->TargetsUnit(0, Rec(a, ema())), 0);
    EXPECT_EQ(aistubs_KnownToOtherClan(g), 1);
    EXPECT_EQ(aistubs_KnownToOtherClan(a), 0);
}

}  // namespace
}  // namespace aitest
