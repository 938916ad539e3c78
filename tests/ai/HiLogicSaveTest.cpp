// A clan's AI in saved games: written, read into a fresh AI and written again it gives the same bytes
// and the same orders; damaged forms are refused with their reason before anything is built.
#include <cstdio>
#include <functional>

#include "HLFixtures.h"
#include "tools/datakit/SavedGame.h"

namespace aitest {
namespace {

class HiLogicSave : public HLScene {
protected:
    std::vector<uint8_t> Export(int clan) {
        FILE* f = std::tmpfile();
        uint32_t counter = 12;  // a chunk's header and clan index come first
        HiLogic->ExportClan(f, clan, &counter);
        std::vector<uint8_t> bytes(size_t(std::ftell(f)));
        std::rewind(f);
        EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
        EXPECT_EQ(counter, 12 + bytes.size());
        return bytes;
    }
    void Import(int clan, const std::vector<uint8_t>& bytes) {
        FILE* f = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::rewind(f);
        HiLogic->ImportClan(f, clan);
        std::fclose(f);
    }
    // The AI made anew, as before a saved game is read into a running level.
    static void RestartAI() {
        aistubs_Shutdown();
        aistubs_Init();
        DrainQueues();
    }
};

struct Probe {
    std::vector<int32_t> orders;
    std::vector<int32_t> posted;
    bool operator==(const Probe&) const = default;
};

TEST_F(HiLogicSave, WrittenReadAndWrittenAgainTheClanGivesTheSameBytesAndTheSameOrders) {
    construct* a = Member(ema(), 0, 0);
    construct* b = Member(ema(), 200000, 0);
    construct* c = Member(ema(), 0, 200000);
    construct* enemy = Member(ga(), 300000, 0);
    PlacedAU("outpost", {a, b, c});
    PlacedAU("enemy", {enemy});
    for (construct* u : {a, b, c}) Arm(u, 300000);
    Own(c)->alerted = 1;
    Step(ema(), {NewClanMessage(kMsgHostility, kHostile, ema(), ga()),
                 NewClanMessage(kMsgPlayerClan, 0, ema(), nullptr), Group(ema(), kMsgHold, {a, b}),
                 Msg(ema(), kMsgHoldWhileHearing, c), Group(ema(), kMsgStandByOn, {b, c}),
                 Msg(ema(), kMsgManualOn, a), Msg(ema(), kMsgAttacked, b, enemy, 6)});
    MoveTo(b, 210000, 5000);
    Step(ema(), {Msg(ema(), kMsgManualOn2, nullptr, b)});  // b camps where it stands now
    const std::string picture = Picture(ema());
    // a is the player's now; b, attacked, fights back and, without a target in sight, chases the enemy
    // along a planned way; the attack took it off stand-by.
    ASSERT_EQ(picture,
              "CAMP_0[0] CAMP_1[1] CAMP_2[2] HOLD_4[1] HOLDWHILEHEARING_5[2*] MANUAL_6[0*] ATTACK_7[1] "
              "CHASE_8[1*] | 0:CAMP>MANUAL> 1:CAMP>HOLD>ATTACK>CHASE> 2:CAMP>HOLDWHILEHEARING> | standby 2 | "
              "manual 0");
    const std::vector<uint8_t> saved = Export(0);

    // What the clan does next: an attack on the unit holding while it hears, the end of manual control, a
    // step (in which b's chase goes on).
    auto probe = [&] {
        Probe p;
        Posted().clear();
        for (const OrderSeen& o :
             Step(ema(), {Msg(ema(), kMsgAttacked, c, enemy, 1), Msg(ema(), kMsgManualOff, a)}))
            p.orders.insert(p.orders.end(), {o.code, int32_t(o.unit == Own(a)), o.point[0], o.point[2]});
        for (const PostSeen& m : Posted())
            p.posted.insert(p.posted.end(), {m.type, int32_t(m.unit == Own(c))});
        return p;
    };
    const Probe before = probe();
    EXPECT_FALSE(before.orders.empty());
    EXPECT_FALSE(before.posted.empty());

    RestartAI();
    Import(0, saved);
    EXPECT_EQ(Picture(ema()), picture);
    EXPECT_EQ(Export(0), saved);
    HL_clan* logic = Logic(ema());
    EXPECT_EQ(logic->damage, (std::vector<int32_t>{0, 6, 0}));
    EXPECT_EQ(logic->GetHostility(1), kHostile);
    EXPECT_EQ(logic->IsPlayerClan(), 1);
    EXPECT_STREQ(Own(a)->text, "<none>");
    auto* hold = static_cast<HL_camp*>(logic->threads[3]);
    EXPECT_EQ(hold->CampPoint(0)[0], 210000);
    EXPECT_EQ(hold->CampPoint(0)[2], 5000);
    // The HOLDWHILEHEARING thread is read back as a camp thread of that mode.
    EXPECT_NE(dynamic_cast<HL_camp*>(logic->threads[4]), nullptr);
    EXPECT_EQ(logic->threads[4]->type, kHLHoldWhileHearing);
    // The serial counter goes on from where it was.
    EXPECT_EQ(NextHLThreadSerial(), 9);
    --HLThreadSerial;
    // The same messages give the same orders and posts; the enemy's record still names an agent of the
    // AI that was replaced, which no clan takes for its own.
    Logic(ga())->hostility[0] = kHostile;
    Step(ga(), {Msg(ga(), kMsgAttacked, enemy, a, 2)});
    EXPECT_EQ(probe(), before);
}

// The forms below are written by the datakit's writer; each names the units of the placed "outpost".
class HiLogicSavedForms : public HiLogicSave {
protected:
    void SetUp() override {
        a_ = Member(ema(), 0, 0);
        b_ = Member(ema(), 100000, 0);
        PlacedAU("outpost", {a_, b_});
        PlacedAU("depot", {});
        aus_.back()->placed = 0;
    }
    static datakit::SavedHLClanState Good() {
        datakit::SavedHLClanState s;
        s.serialCounter = 3;
        s.agents = {datakit::SavedUnitRef{"outpost", 0}, datakit::SavedUnitRef{"outpost", 1}};
        s.standBy = {1};
        s.threads = {{kHLCamp, 0, {0}, {1, 2, 3}, {}},
                     {kHLCamp, 1, {1}, {4, 5, 6}, {}},
                     {kHLHold, 2, {0, 1}, {7, 8, 9, 10, 11, 12}, {}}};
        s.chains = {{0, 2}, {1, 2}};
        return s;
    }
    construct* a_ = nullptr;
    construct* b_ = nullptr;
};

TEST_F(HiLogicSavedForms, EachDamagedFormIsRefusedWithItsReasonAndTheClanStaysAsItWas) {
    EXPECT_EQ(HL_CheckSavedClan(datakit::SavedHLClanStateBytes(Good()).data(),
                                datakit::SavedHLClanStateBytes(Good()).size(), 3, nullptr, nullptr),
              "");
    using State = datakit::SavedHLClanState;
    const struct Case {
        const char* name;
        std::function<void(State&)> change;
        int trim;  // bytes cut from the end (negative: zero bytes added)
        const char* reason;
    } cases[] = {
        {"cut short", [](State&) {}, 4, "the clan's AI is cut short"},
        {"bytes after it", [](State&) {}, -4, "4 bytes follow the clan's AI"},
        {"agents beyond the bytes", [](State& s) { s.agentCount = 1000000; }, 0, "1000000 agents do not fit"},
        {"an agent without a unit", [](State& s) { s.agents[1].reset(); }, 0, "an agent names no unit"},
        {"an agent of no action unit", [](State& s) { s.agents[0]->au = "nowhere"; }, 0,
         "an agent: au 'nowhere' not present"},
        {"an agent of an action unit not placed", [](State& s) { s.agents[0]->au = "depot"; }, 0,
         "an agent: au 'depot' not moved"},
        {"an agent beyond its action unit", [](State& s) { s.agents[1]->index = 2; }, 0,
         "an agent: au 'outpost' has too few units"},
        {"two agents for one unit", [](State& s) { s.agents[1] = s.agents[0]; }, 0,
         "agent 1 drives a unit named before"},
        {"stand-by index", [](State& s) { s.standBy = {2}; }, 0, "a stand-by agent 2 is out of range (2)"},
        {"manual index", [](State& s) { s.manual = 2; }, 0, "manual agent 2 is out of range (2)"},
        {"threads beyond the bytes", [](State& s) { s.threadCount = 99999; }, 0, "99999 threads do not fit"},
        {"unknown thread type", [](State& s) { s.threads[2].type = 13; }, 0, "uk thread id '13'"},
        {"a thread's body read by another class", [](State& s) { s.threads[2].type = kHLGoto; }, 0,
         "a chase's unit has a bad unit reference"},
        {"a thread's agent index",
         [](State& s) {
             s.threads[2].agents = {0, 2};
         },
         0, "a thread's agent 2 is out of range (2)"},
        {"a thread holding an agent twice",
         [](State& s) {
             s.threads[2].agents = {0, 0};
         },
         0, "thread 2 holds agent 0 twice"},
        {"camp points cut short", [](State& s) { s.threads[2].body.clear(), s.chains.clear(); }, 0,
         "the camp points of 2 agents are cut short"},
        {"a chain index",
         [](State& s) {
             s.chains[0] = {0, 5};
         },
         0, "agent 0: thread index 5 is out of range (3)"},
        {"a chain through a thread twice",
         [](State& s) {
             s.chains[0] = {0, 2, 0};
         },
         0, "agent 0: thread 0 stands twice in its chain"},
        {"a chain through a thread without the agent",
         [](State& s) {
             s.chains[0] = {1, 2};
         },
         0, "agent 0: thread 1 of its chain does not hold it"},
        {"an empty chain", [](State& s) { s.chains[0] = {}; }, 0, "agent 0 has no thread"},
        {"a thread holding an agent outside its chain", [](State& s) { s.chains[0] = {0}; }, 0,
         "thread 2 holds agent 0 outside its chain"},
    };
    const std::string picture = Picture(ema());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        State s = Good();
        c.change(s);
        std::vector<uint8_t> bytes = datakit::SavedHLClanStateBytes(s);
        if (c.trim > 0) bytes.erase(bytes.end() - c.trim, bytes.end());
        for (int i = c.trim; i < 0; ++i) bytes.push_back(0);
        const std::string why = HL_CheckSavedClan(bytes.data(), bytes.size(), 3, nullptr, nullptr);
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_EQ(FatalText([&] { Import(0, bytes); }), "Error(HL_clan::import): clan 0: " + why);
        EXPECT_EQ(Picture(ema()), picture);
    }
    // The good form is taken.
    Import(0, datakit::SavedHLClanStateBytes(Good()));
    EXPECT_EQ(Picture(ema()), "CAMP_0[0] CAMP_1[1] HOLD_2[0*,1*] | 0:CAMP>HOLD> 1:CAMP>HOLD> | standby 1");
    EXPECT_EQ(static_cast<HL_camp*>(Logic(ema())->threads[2])->CampPoint(1)[2], 12);
}

// The reference check given by the saved-game reader decides over the action units.
TEST_F(HiLogicSavedForms, UnitReferencesAreCheckedByTheCallersRule) {
    const std::vector<uint8_t> bytes = datakit::SavedHLClanStateBytes(Good());
    std::vector<std::string> asked;
    auto refuseSecond = [](const char* au, uint32_t index, std::string* why, void* user) {
        static_cast<std::vector<std::string>*>(user)->push_back(std::string(au) + "#" +
                                                                std::to_string(index));
        if (index == 1) return *why = "gone in this file", false;
        return true;
    };
    EXPECT_EQ(HL_CheckSavedClan(bytes.data(), bytes.size(), 3, refuseSecond, &asked),
              "an agent: gone in this file");
    EXPECT_EQ(asked, (std::vector<std::string>{"outpost#0", "outpost#1"}));
}

}  // namespace
}  // namespace aitest
