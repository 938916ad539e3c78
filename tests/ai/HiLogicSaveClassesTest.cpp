// Every behaviour class in saved games: a clan running a thread of each class, written, read into a fresh
// AI and written again, gives the same bytes and the same orders; the damaged forms of each class's part
// are refused with their reason.
#include <cstdio>
#include <functional>

#include "HLFixtures.h"
#include "ai/HL_attack.h"
#include "ai/HL_follow.h"
#include "ai/HL_goto.h"
#include "ai/HL_hide.h"
#include "ai/HL_patrol.h"
#include "tools/datakit/SavedGame.h"

namespace aitest {
namespace {

class SaveClasses : public HLScene {
protected:
    std::vector<uint8_t> Export(int clan) {
        FILE* f = std::tmpfile();
        uint32_t counter = 0;
        HiLogic->ExportClan(f, clan, &counter);
        std::vector<uint8_t> bytes(size_t(std::ftell(f)));
        std::rewind(f);
        EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
        EXPECT_EQ(counter, bytes.size());
        return bytes;
    }
    void Import(int clan, const std::vector<uint8_t>& bytes) {
        FILE* f = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::rewind(f);
        HiLogic->ImportClan(f, clan);
        std::fclose(f);
    }
    static void RestartAI() {
        aistubs_Shutdown();
        aistubs_Init();
        DrainQueues();
    }
};

TEST_F(SaveClasses, EveryClassComesBackAsItWasWrittenAndGivesTheSameOrders) {
    std::vector<construct*> u;
    for (int i = 0; i < 12; ++i)
        u.push_back(Member(ema(), 100000 + 60000 * (i % 4), 100000 + 60000 * (i / 4)));
    construct* enemy = Member(ga(), 500000, 200000);
    PlacedAU("outpost", u);
    PlacedAU("enemy", {enemy});
    for (construct* c : u) Arm(c, 300000);
    HL_clan* c = Logic(ema());
    c->hostility[1] = kHostile;
    BlockGround(60, 0, 62, 40);  // so that the goto's way has more than two points
    // The chase's and the attack's units see their target; the follow's leader stands apart.
    Own(u[2])->target = Rec(enemy, ema());
    Own(u[2])->targetDistance = 250000;
    Own(u[2])->targetDir[0] = 1.0f;
    AIMessage* patrol = Group(ema(), kMsgPatrol, {u[3], u[4]});
    patrol->path = static_cast<AIPath*>(qzAlloc(int(sizeof(AIPath)), "ai path"));
    std::memset(patrol->path, 0, sizeof(AIPath));
    std::snprintf(patrol->path->auName, sizeof patrol->path->auName, "%s", "outpost");
    patrol->path->points = CreateWayPointList(8, "ai path wpl");
    for (const auto& p :
         {std::array<int32_t, 3>{700000, 0, 700000}, std::array<int32_t, 3>{800000, 0, 700000}})
        AddWayPoint(patrol->path->points, p.data());
    AIMessage* follow = Group(ema(), kMsgFollow, {u[5], u[6], u[7]});
    follow->unit = Own(u[11]);
    Step(ema(),
         {NewClanMessage(kMsgPlayerClan, 0, ema(), nullptr), GroupTo(ema(), kMsgGoto, {u[0]}, 400000, 100000),
          Group(ema(), kMsgSneakOpen, {u[1]}), Msg(ema(), kMsgAttack, u[2], enemy), patrol, follow,
          Group(ema(), kMsgHide, {u[8]}), Msg(ema(), kMsgManualOn, u[9]),
          GroupTo(ema(), kMsgSneakToReturn, {u[10]}, 900000, 900000, 500),
          Msg(ema(), kMsgChase, u[11], enemy, 0, enemy->pos)});
    Step(ema(), {Msg(ema(), kMsgAimPointDone, u[0])}, 30);
    const std::string picture = Picture(ema());
    for (const char* type : {"GOTO_", "SNEAKTO_", "ATTACK_", "PATROL_", "GOTO_RETURN_", "FOLLOW_", "HIDE_",
                             "MANUAL_", "SNEAKTO_RETURN_", "CHASE_"})
        EXPECT_NE(picture.find(type), std::string::npos) << type << " in " << picture;
    const std::vector<uint8_t> saved = Export(0);

    // What the clan does next: a unit's aim point done, attacks, the end of manual control, a long step.
    auto probe = [&] {
        std::vector<int32_t> seen;
        Posted().clear();
        for (const OrderSeen& o :
             Step(ema(),
                  {Msg(ema(), kMsgAimPointDone, u[0]), Msg(ema(), kMsgAttacked, u[8], enemy, 1),
                   Msg(ema(), kMsgAttacked, u[9], enemy, 1), Msg(ema(), kMsgManualOff, u[9])},
                  90))
            seen.insert(seen.end(), {o.code, o.point[0], o.point[2], int32_t(o.target != nullptr)});
        for (const PostSeen& m : Posted()) seen.insert(seen.end(), {m.type, m.point[0]});
        seen.push_back(int32_t(Picture(ema()).size()));
        return seen;
    };
    const std::vector<int32_t> before = probe();
    RestartAI();
    Import(0, saved);
    EXPECT_EQ(Picture(ema()), picture);
    EXPECT_EQ(Export(0), saved);
    // The classes' own state came back.
    for (HL_thread* t : Logic(ema())->threads) {
        SCOPED_TRACE(t->TypeName());
        auto* g = dynamic_cast<HL_goto*>(t);
        if (g && t->type == kHLGoto) {
            EXPECT_GT(g->WayOf(0)->count, 2);
        } else if (g && t->type == kHLChase) {
            EXPECT_EQ(g->chased, Rec(enemy, ema()));
        } else if (g && t->type == kHLSneakToReturn) {
            EXPECT_EQ(g->timeLimit, 469);  // 500 less the 31 ticks of two steps
        } else if (auto* a = dynamic_cast<HL_attack*>(t)) {
            EXPECT_EQ(a->target, Rec(enemy, ema()));
        } else if (auto* p = dynamic_cast<HL_patrol*>(t)) {
            EXPECT_EQ(p->path->points->count, 2);
        } else if (auto* f = dynamic_cast<HL_follow*>(t)) {
            EXPECT_EQ(f->wingA.size() + f->wingB.size(), 3u);
        }
    }
    Logic(ga())->hostility[0] = kHostile;
    EXPECT_EQ(probe(), before);
}

// The forms below are written by the datakit's writer over two units of the placed "outpost" and one of
// "enemy"; each case gives one thread of a class a body.
class SavedClassForms : public SaveClasses {
protected:
    void SetUp() override {
        a_ = Member(ema(), 0, 0);
        b_ = Member(ema(), 100000, 0);
        PlacedAU("outpost", {a_, b_});
        PlacedAU("enemy", {Member(ga(), 300000, 0)});
    }
    // Two agents, each camping (3 words of camp point) with a thread of the type over both.
    static datakit::SavedHLClanState With(int32_t type, const datakit::SavedHLBody& body) {
        datakit::SavedHLClanState s;
        s.serialCounter = 3;
        s.agents = {datakit::SavedUnitRef{"outpost", 0}, datakit::SavedUnitRef{"outpost", 1}};
        s.threads = {{kHLCamp, 0, {0}, {1, 2, 3}, {}},
                     {kHLCamp, 1, {1}, {4, 5, 6}, {}},
                     {type, 2, {0, 1}, {}, body.bytes()}};
        s.chains = {{0, 2}, {1, 2}};
        return s;
    }
    using Points = std::vector<std::array<int32_t, 3>>;
    static datakit::SavedHLBody Goto(const std::optional<Points>& way, uint32_t hop,
                                     uint32_t capacity = 1024) {
        datakit::SavedHLBody b;
        b.i32(1).i32(2).i32(3).unit(datakit::SavedUnitRef{"enemy", 0}).u32(0).u32(0);
        b.way(way, capacity).way(Points{{0, 0, 0}, {9, 9, 9}}, 8);
        b.u32(hop).u32(1).u32(0).u32(0);
        return b;
    }
    construct* a_ = nullptr;
    construct* b_ = nullptr;
};

TEST_F(SavedClassForms, EachClassPartIsCheckedBeforeAnythingIsBuilt) {
    using datakit::SavedHLBody;
    using datakit::SavedUnitRef;
    const Points two{{0, 0, 0}, {5, 5, 5}};
    auto attack = [](std::optional<SavedUnitRef> target, int agents) {
        SavedHLBody b;
        b.unit(target).u32(450000).u32(0).u32(0).u32(0);
        for (int i = 0; i < agents; ++i) b.i32(1).i32(2).i32(3);
        for (int i = 0; i < agents; ++i) b.u32(0);
        for (int i = 0; i < agents; ++i) b.u8(1);
        for (int i = 0; i < agents; ++i) b.u32(80);
        for (int i = 0; i < agents; ++i) b.u32(0);
        return b;
    };
    auto patrol = [](const std::optional<Points>& path, bool terminated = true) {
        SavedHLBody b;
        b.name(terminated ? "outpost" : std::string(40, 'x'), terminated).way(path, 100).u32(1).u32(0);
        for (int i = 0; i < 2; ++i) b.i32(-5).i32(0).i32(5);
        return b;
    };
    auto follow = [](std::optional<SavedUnitRef> leader, std::vector<uint32_t> wingA,
                     std::vector<uint32_t> wingB) {
        SavedHLBody b;
        b.unit(leader).u32(0).u32(0).u32(uint32_t(wingA.size()));
        for (uint32_t k : wingA) b.u32(k);
        b.u32(uint32_t(wingB.size()));
        for (uint32_t k : wingB) b.u32(k);
        for (int i = 0; i < 4; ++i) b.u32(0);
        return b;
    };
    auto hide = [](int agents) {
        SavedHLBody b;
        b.u32(0);
        for (int i = 0; i < agents; ++i) b.u32(1600);
        for (int i = 0; i < agents; ++i) b.i32(1).i32(2).i32(3);
        return b;
    };
    const struct Case {
        const char* name;
        int32_t type;
        SavedHLBody body;
        const char* reason;  // empty: accepted
    } cases[] = {
        {"a goto", kHLGoto, Goto(two, 1), ""},
        {"a goto heading past its way's end", kHLGoto, Goto(two, 3),
         "agent 0 of a goto heads for point 3 of 2"},
        {"a goto's way beyond the bytes", kHLGoto,
         SavedHLBody().i32(1).i32(2).i32(3).unit(std::nullopt).u32(0).u32(0).way(two, 8, 900),
         "a goto's way: 900 way points do not fit"},
        {"a goto's way of a huge capacity", kHLGoto, Goto(two, 1, 70000),
         "a goto's way: a way point list of capacity 70000"},
        {"a chase of a unit not there", kHLChase,
         SavedHLBody().i32(1).i32(2).i32(3).unit(SavedUnitRef{"enemy", 4}),
         "a chase's unit: au 'enemy' has too few units"},
        {"an attack", kHLAttack, attack(SavedUnitRef{"enemy", 0}, 2), ""},
        {"an attack without a target", kHLAttack, attack(std::nullopt, 2),
         "an attack's target names no unit"},
        {"an attack's agents cut short", kHLAttack, attack(SavedUnitRef{"enemy", 0}, 1),
         "an attack's agents (2 x 25 bytes) are cut short"},
        {"a patrol", kHLPatrol, patrol(two), ""},
        {"a patrol without path points", kHLPatrol, patrol(Points{}), "a patrol's path has no points"},
        {"a patrol without a path", kHLPatrol, patrol(std::nullopt), "a patrol's path has no way point list"},
        {"a patrol's name not terminated", kHLPatrol, patrol(two, false),
         "a patrol's path: a name is not terminated"},
        {"a follow", kHLFollow, follow(SavedUnitRef{"enemy", 0}, {1}, {0}), ""},
        {"a follow without a leader", kHLFollow, follow(std::nullopt, {1}, {0}),
         "a follow's leader names no unit"},
        {"an agent in both wings", kHLFollow, follow(SavedUnitRef{"enemy", 0}, {0}, {0}),
         "agent 0 stands in a follow's wings twice"},
        {"an agent in no wing", kHLFollow, follow(SavedUnitRef{"enemy", 0}, {}, {0}),
         "1 of a follow's 2 agents stand in no wing"},
        {"a wing index beyond the agents", kHLFollow, follow(SavedUnitRef{"enemy", 0}, {2}, {0}),
         "a wing's agent 2 is out of range (2)"},
        {"a hide", kHLHide, hide(2), ""},
        // (The chains that follow hold enough bytes for the hiders' block: the form ends too early.)
        {"a hide cut short", kHLHide, hide(1), "the clan's AI is cut short"},
        {"a manual", kHLManual, SavedHLBody(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = datakit::SavedHLClanStateBytes(With(c.type, c.body));
        const std::string why = HL_CheckSavedClan(bytes.data(), bytes.size(), 3, nullptr, nullptr);
        if (*c.reason == 0) {
            EXPECT_EQ(why, "");
            Import(0, bytes);
            EXPECT_EQ(Logic(ema())->threads[2]->type, c.type);
            EXPECT_EQ(Export(0), bytes);
        } else {
            EXPECT_NE(why.find(c.reason), std::string::npos) << why;
            EXPECT_EQ(FatalText([&] { Import(0, bytes); }), "Error(HL_clan::import): clan 0: " + why);
        }
    }
}

}  // namespace
}  // namespace aitest
