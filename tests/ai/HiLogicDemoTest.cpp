// The clans' AI on the demo island: every unit joins its clan's AI; the G.A. group holds the outpost; an
// E.M.A. jeep firing at it under scripted control records raises the damage variable and makes the held
// units post attacks and fight back; a G.A. jeep firing at an E.M.A. unit makes one radio call of the player's clan; and
// the clans' AI comes back from a saved game as it was written.
#include <cmath>
#include <string>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/AIStubs.h"
#include "ai/HiLogic.h"
#include "ai/HiLogic_local.h"
#include "ai/MissionDesc.h"
#include "objects/UnitShare.h"
#include "platform/Font.h"
#include "render/View.h"
#include "support/Bmp24.h"
#include "vehicles/DemoLevel.h"
#include "vehicles/types/EMAJeep.h"
#include "game/SavedGame.h"
#include "render/Snapshot.h"

namespace {

using kvtest::DemoLevel;

struct Post {
    int clan, type;
    AIUnitRecord *unit, *other;
};
std::vector<Post> g_posted;
std::vector<std::string> g_calls;

class HiLogicOnTheIsland : public DemoLevel {
public:
    void SetUp() override {
        DemoLevel::SetUp();
        g_posted.clear();
        g_calls.clear();
        HL_SetPostObserver([](int clan, const AIMessage* m) {
            g_posted.push_back({clan, m->type, m->unit, m->other});
        });
        HL_SetCallObserver([](const char* text, const char* label, const char* name, int) {
            g_calls.push_back(std::string(name) + ": " + label + ": " + text);
        });
    }
    void TearDown() override {
        HL_SetPostObserver(nullptr);
        HL_SetCallObserver(nullptr);
        for (construct* c : extra_) {
            RemoveFromConstructPool(c->clan->pool, c);
            CallItfc(c, ItfcMethod::UNPLACE, 0);
            FlushQZEvents();
            CallItfc(c, ItfcMethod::DESTROY, 0);
        }
        DemoLevel::TearDown();
    }
    std::vector<construct*> extra_;
    // The G.A. group on HOLD where it stands. The mission sends it on patrol at its start: the hold takes
    // the patrol's place, and the returns to the path that the patrol asked for are ended.
    void HoldTheOutpost() {
        Clan* ga = NamedClan("GA");
        PostAIMessage(
            ga, NewUnitsMessageShort(ga, kMsgHold, 0, NamedAUDef("GA_Outpost")->pool, nullptr, nullptr));
        WorldTick(1, 1);
        for (HL_thread* t : Logic("GA")->threads)
            if (t->type == kHLGotoReturn)
                PostAIMessage(ga, NewClanMessage(kMsgEndThread, t->serial, nullptr, nullptr));
        WorldTick(1, 1);
    }
    // A jeep of the clan placed at the distance along the target's forward axis, facing the target.
    construct* JeepFacing(construct* target, int32_t distance, Clan* clan) {
        const double fx = target->orient[6] / 32768.0, fz = target->orient[8] / 32768.0;
        Unit* entry = NamedUnit("EMAJeep");
        auto* c = reinterpret_cast<construct*>(UnitType_itfc(entry, nullptr, ItfcMethod::CREATE, 0));
        c->clan = clan;
        PlacementRecord place{};
        place.x = target->pos[0] + int32_t(fx * distance);
        place.z = target->pos[2] + int32_t(fz * distance);
        // A heading h points the jeep's forward axis along (-cos h, -sin h) in x and z.
        place.heading = int32_t(std::atan2(fz, fx) * 65536.0);
        place.strength = 100;
        UnitType_itfc(entry, c, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&place));
        FlushQZEvents();
        // In its clan's pool, as the action units' units are, the AI step keeps its records fresh.
        AppendToConstructPool(clan->pool, c);
        extra_.push_back(c);
        return c;
    }
    HL_clan* Logic(const char* clan) { return HiLogic->GetClan(ClanIndex(NamedClan(clan))); }
    static std::vector<uint8_t> Export(int clan) {
        FILE* f = std::tmpfile();
        uint32_t counter = 0;
        HiLogic->ExportClan(f, clan, &counter);
        std::vector<uint8_t> bytes(counter);
        std::rewind(f);
        EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
        return bytes;
    }
};

TEST_F(HiLogicOnTheIsland, EveryUnitJoinsItsClansAIAndTheHeldOutpostAnswersAnAttack) {
    WorldTick(1, 1);
    HL_clan* ema = Logic("EMA");
    HL_clan* ga = Logic("GA");
    ASSERT_EQ(ema->agents.count, 2);
    ASSERT_EQ(ga->agents.count, 2);
    EXPECT_EQ(ema->IsPlayerClan(), 1);
    EXPECT_EQ(ga->GetHostility(ClanIndex(NamedClan("EMA"))), kHostile);
    HoldTheOutpost();
    ASSERT_EQ(ga->threads.size(), 3u);
    EXPECT_EQ(ga->threads[2]->type, kHLHold);
    for (construct* g : UnitsOf("GA_Outpost"))
        EXPECT_STREQ(AIRecordOf(g, 1)->text, ("HOLD_" + std::to_string(ga->threads[2]->serial)).c_str());

    construct* target = UnitsOf("GA_Outpost")[0];
    construct* shooter = JeepFacing(target, 90000, NamedClan("EMA"));
    Drive(shooter);
    FrameCounter = 1;
    Run(10, ControlInput{});
    ASSERT_EQ(ema->agents.count, 3);  // the new jeep joined too
    const float damageBefore = NamedMDVar("GA_DAMAGE_FROM_EMA")->value;
    g_posted.clear();
    // The behaviours the outpost's jeep goes through meanwhile, by their status texts.
    std::vector<std::string> behaviours;
    for (int i = 0; i < 150; ++i) {
        Step(Keys({kKeyFire1}));
        std::string text = AIRecordOf(target, 1)->text;
        text = text.substr(0, text.find('_'));
        if (behaviours.empty() || behaviours.back() != text) behaviours.push_back(text);
    }
    EXPECT_GT(NamedMDVar("GA_DAMAGE_FROM_EMA")->value, damageBefore);
    EXPECT_EQ(ga->damage[0], int32_t(NamedMDVar("GA_DAMAGE_FROM_EMA")->value));
    int attacks = 0;
    for (const Post& p : g_posted)
        if (p.clan == 1 && p.type == kMsgAttackInRange && p.other == AIRecordOf(shooter, 1)) ++attacks;
    EXPECT_GT(attacks, 0);
    // The hit jeep turns on the shooter and fires back until it is destroyed; the shooter, of the player's
    // clan, calls in the attack on it. G.A.'s units make no calls.
    ASSERT_GE(behaviours.size(), 2u);
    EXPECT_EQ(behaviours[0], "HOLD");
    EXPECT_EQ(behaviours[1], "ATTACK");
    EXPECT_LE(static_cast<EMAJeepBlock*>(target->itfcData)->head.state.structure, 0);
    EXPECT_LT(AIRecordOf(shooter, 0)->structure, 80);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0], "Call_attacked: Unit " + std::string(1, AIRecordOf(shooter, 0)->callSign) +
                              ": Taking fire from a " + aistubs_UnitTypeInfo(AIRecordOf(target, 0)) + "!");
    for (const std::string& call : g_calls) EXPECT_EQ(call.find(": Unit " + std::string(1, AIRecordOf(shooter, 0)->callSign)), call.find(':'));
}

TEST_F(HiLogicOnTheIsland, AnEMAUnitShotByAGAJeepCallsItInOnce) {
    WorldTick(1, 1);
    construct* shooter = UnitsOf("GA_Outpost")[0];
    construct* victim = JeepFacing(shooter, 90000, NamedClan("EMA"));
    Drive(shooter);
    FrameCounter = 1;
    Run(10, ControlInput{});
    Run(150, Keys({kKeyFire1}));
    EXPECT_GT(Logic("EMA")->damage[1], 0);
    std::vector<std::string> attacked;
    for (const std::string& c : g_calls)
        if (c.rfind("Call_attacked", 0) == 0) attacked.push_back(c);
    ASSERT_EQ(attacked.size(), 1u);
    EXPECT_EQ(attacked[0], "Call_attacked: Unit " + std::string(1, AIRecordOf(victim, 0)->callSign) +
                               ": Taking fire from a " + aistubs_UnitTypeInfo(AIRecordOf(shooter, 0)) + "!");
}

TEST_F(HiLogicOnTheIsland, TheClansAIComesBackFromASavedGameAsItWasWritten) {
    WorldTick(1, 1);
    HoldTheOutpost();
    Run(20, ControlInput{});
    std::vector<std::vector<uint8_t>> before;
    for (int c = 0; c < 3; ++c) before.push_back(Export(c));
    ASSERT_EQ(SaveQZGM("ai"), 1) << SavedGameRefusal();
    TeardownLevel();
    FreeRules();
    ReadRules("app/rules");
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    InitDemoLevel();
    char other[64] = "";
    ASSERT_EQ(LoadQZGM("ai", 0, other), kQZGMLoaded) << SavedGameRefusal();
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Export(c), before[size_t(c)]) << c;
    EXPECT_EQ(Logic("GA")->threads[2]->type, kHLHold);
}

// The clan dump over the main view, as the frame loop draws it when the level rule "hilogicinfo" is set:
// the G.A. clan's threads and agents in the view's top left corner.
class HiLogicDumpOnTheIsland : public HiLogicOnTheIsland {
public:
    HiLogicDumpOnTheIsland() { width_ = 640, height_ = 480; }
    std::vector<uint32_t> Picture(void (*draw)()) const {
        const int number = TakeSnapshot(draw);
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(kvtest::ReadBmp24(kvtest::DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        // KV_KEEP_DUMP=<path.bmp> keeps the last picture for a look at it.
        if (std::getenv("KV_KEEP_DUMP"))
            std::filesystem::copy_file(kvtest::DemoTree() + "/" + name, std::getenv("KV_KEEP_DUMP"),
                                       std::filesystem::copy_options::overwrite_existing);
        return rgb;
    }
};

TEST_F(HiLogicDumpOnTheIsland, TheClanDumpPrintsTheThreadsAndAgentsOverTheView) {
    LoadFont();
    WorldTick(1, 1);
    HoldTheOutpost();
    const std::vector<uint32_t> plain = Picture([] { RenderAllViews(); });
    const std::vector<uint32_t> dumped = Picture([] {
        RenderAllViews();
        HiLogic->DumpClan(1);
    });
    ASSERT_EQ(plain.size(), 640u * 480u);
    ASSERT_EQ(dumped.size(), plain.size());
    // Text in the rows of the first 14 character cells (12 pixels each) and nowhere below them.
    int above = 0, below = 0;
    for (size_t i = 0; i < plain.size(); ++i)
        if (plain[i] != dumped[i]) ++(i / 640 < 14 * 12 + 12 ? above : below);
    EXPECT_GT(above, 500);
    EXPECT_EQ(below, 0);
    FreeFont();
}

}  // namespace
