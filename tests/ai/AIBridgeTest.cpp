// The AI bridge and its messages: queues handed to each clan's AI in one step, orders applied, the
// per-clan records refreshed, damage variables, and unit references saved as indices.
#include <cstdio>

#include "AIFixtures.h"
#include "core/Package.h"
#include "support/MemTrack.h"

namespace aitest {
namespace {

struct Seen {
    std::vector<std::vector<int>> perClan{3};
    AIOrder* ordersFor[3] = {};
    Clan* postDuringThinkOf0 = nullptr;
    Clan* armAfterThinkOf1 = nullptr;
} g_seen;

AIOrder* RecordingThink(int clan, int, AIMessage* queue) {
    for (AIMessage* m = queue; m; m = m->next) g_seen.perClan[clan].push_back(m->type);
    if (clan == 0 && g_seen.postDuringThinkOf0) {
        PostAIMessage(g_seen.postDuringThinkOf0, NewClanMessage(777, 0, nullptr, nullptr));
        g_seen.postDuringThinkOf0 = nullptr;
    }
    if (clan == 1 && g_seen.armAfterThinkOf1) {
        g_postOnGetUnit = g_seen.armAfterThinkOf1;
        g_seen.armAfterThinkOf1 = nullptr;
    }
    AIOrder* orders = g_seen.ordersFor[clan];
    g_seen.ordersFor[clan] = nullptr;
    return orders;
}

class AIBridge : public AIScene {
protected:
    AIBridge() {
        g_seen = Seen{};
        HL_SetThinkHook(RecordingThink);
    }
};

TEST_F(AIBridge, InitCreatesNineDamageVariablesAndEmptyQueues) {
    EXPECT_EQ(MDVarCount, 9);
    ASSERT_NE(NamedMDVar("EMA_DAMAGE_FROM_EMA"), nullptr);
    ASSERT_NE(NamedMDVar("GA_DAMAGE_FROM_ARAB"), nullptr);
    NamedMDVar("GA_DAMAGE_FROM_ARAB")->value = 5;
    CreateDamageVar(1, 2, 40);
    EXPECT_EQ(MDVarCount, 9);
    EXPECT_EQ(NamedMDVar("GA_DAMAGE_FROM_ARAB")->value, 40.0f);
    for (const AIQueue& q : AIQueues) EXPECT_EQ(q.head, nullptr);
}

TEST_F(AIBridge, MessagesPostedBeforeTheBridgeStartsAreKept) {
    aistubs_Shutdown();
    SetClanHostility(ema(), ga(), kHostile);
    aistubs_Init();
    aistubs_Tick(1);
    EXPECT_EQ(g_seen.perClan[2], (std::vector<int>{4}));
    EXPECT_EQ(MDVarCount, 9);
}

TEST_F(AIBridge, EachClanGetsItsQueueInOrderAndMessagesOfEarlierTurnsArriveTheSameStep) {
    kvtest::MemTrack mem;
    PostAIMessage(ga(), NewClanMessage(4, 2, ema(), ga()));
    PostAIMessage(ema(), NewClanMessage(208, 0, ema(), nullptr));
    PostAIMessage(ga(), NewClanMessage(208, 0, ema(), nullptr));
    g_seen.postDuringThinkOf0 = arab();  // posted while clan 0 thinks: clan 2 reads it in this step
    aistubs_Tick(2);
    EXPECT_EQ(g_seen.perClan[0], (std::vector<int>{208}));
    EXPECT_EQ(g_seen.perClan[1], (std::vector<int>{4, 208}));
    EXPECT_EQ(g_seen.perClan[2], (std::vector<int>{777}));
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(Queued(c).empty());
    EXPECT_EQ(mem.Live("ai message"), 0);
}

TEST_F(AIBridge, AMessagePostedWhileItsClansOrdersActWaitsForTheNextStep) {
    construct* u = Unit(ga(), 0, 0, 0);
    const int32_t point[3] = {65536, 0, 131072};
    g_seen.ordersFor[1] = NewAIOrder(kOrderGoto, AIRecordOf(u, 1), nullptr, point, 0x101);
    g_seen.armAfterThinkOf1 = ga();  // the unit reports to its clan while the order acts on it
    aistubs_Tick(1);
    EXPECT_EQ(Block(u)->share.aimPointSet, 1);
    EXPECT_EQ(Block(u)->share.aimPointFlag, 1);
    EXPECT_EQ(Block(u)->share.aimPoint[2], 131072);
    EXPECT_EQ(Queued(1), (std::vector<int>{999}));
    aistubs_Tick(1);
    EXPECT_EQ(g_seen.perClan[1], (std::vector<int>{999}));
}

TEST_F(AIBridge, OrdersSetTargetAndStealthAndUnknownCodesAreFatal) {
    Rules("TargetAcquireDelay 30 60 90;");
    construct* a = Unit(ga(), 0, 0, 0);
    construct* b = Unit(ema(), 0, 0, 0);
    PlayerClan = ema();
    AIOrder* list = NewAIOrder(kOrderTarget, AIRecordOf(a, 1), AIRecordOf(b, 1), nullptr, 0);
    list->next = NewAIOrder(kOrderStealthOn, AIRecordOf(a, 1), nullptr, nullptr, 0);
    list->next->next = NewAIOrder(kOrderTarget, AIRecordOf(b, 0), AIRecordOf(a, 0), nullptr, 0);
    FreeAIOrderList(list);
    EXPECT_EQ(Block(a)->share.target, b);
    EXPECT_EQ(Block(a)->share.targetParam, 3);
    EXPECT_EQ(Block(a)->share.targetCountdown, 30);  // skill 0 of the rule
    EXPECT_EQ(Block(a)->share.detect.flags, kThreatNewTarget);
    EXPECT_EQ(Block(a)->share.driveMode, 1);
    EXPECT_EQ(Block(b)->share.targetCountdown, 0);  // the player's clan acquires at once
    AIOrder* bad = NewAIOrder(1, AIRecordOf(a, 1), nullptr, nullptr, 0);
    EXPECT_EQ(FatalText([&] { aistubs_ProcessOrder(bad); }), "Error(aistubs_ProcessOrder): order 1 not implemented");
    qzFree(bad);
}

TEST_F(AIBridge, MessagesTakeTheReceiversViewAndCopyTheirPaths) {
    kvtest::MemTrack mem;
    construct* a = Unit(ga(), 0, 0, 0);
    AIMessage* m = NewAIMessage(arab(), 2, 7, a, nullptr, nullptr, nullptr);
    EXPECT_EQ(m->unit, &Block(a)->share.ai[2]);
    EXPECT_EQ(m->other, nullptr);
    EXPECT_EQ(m->clanA, -1);
    FreeAIMessage(m);

    ConstructPool* empty = CreateConstructPool(4, "test group");
    m = NewUnitsMessageShort(ema(), 353, 0, empty, nullptr, nullptr);
    EXPECT_EQ(m->units, nullptr);  // an empty group gives no array
    FreeAIMessage(m);
    AppendToConstructPool(empty, a);
    m = NewUnitsMessage(ema(), 358, 0, empty, nullptr, a, nullptr);
    ASSERT_NE(m->units, nullptr);
    EXPECT_EQ(m->units[0], &Block(a)->share.ai[0]);
    EXPECT_EQ(m->units[1], nullptr);
    FreeAIMessage(m);

    AUDef* au = CreateAUDef();
    std::strcpy(au->name, "patrol1");
    au->pool = empty;
    PatrolRecord patrol{1, au, 0, CreateWayPointList(100, "wpl(patrol)")};
    const int32_t p[3] = {1, 2, 3};
    AddWayPoint(patrol.points, p);
    m = NewPathMessage(ga(), 205, 0, &patrol);
    FreeWayPointList(patrol.points);  // the message keeps its own copy
    ASSERT_NE(m->path, nullptr);
    EXPECT_STREQ(m->path->auName, "patrol1");
    EXPECT_EQ(m->path->points->capacity, 100);
    EXPECT_EQ(m->path->points->points[0][2], 3);
    EXPECT_EQ(m->units[0], &Block(a)->share.ai[1]);
    FreeAIMessage(m);
    au->pool = nullptr;
    DeleteConstructPool(empty);
    PatrolRecord missing{1, au, 0, nullptr};
    EXPECT_EQ(FatalText([&] { NewPathMessage(ga(), 205, 0, &missing); }), "Error(NewPathMessage): patrol au not present");
    EXPECT_EQ(mem.Live("ai message"), 0);
    EXPECT_EQ(mem.Live("ai path"), 0);
    EXPECT_EQ(mem.Live("ai msg units"), 0);
}

TEST_F(AIBridge, TheStepRefreshesOwnViewsAndViewsOfClansThatKnowTheUnit) {
    construct* u = Unit(ga(), 65536, 0, 0);
    for (int k = 0; k < 3; ++k) aistubs_CreateAIUnit(&Block(u)->share.ai[k], u);
    const AIUnitRecord& own = Block(u)->share.ai[1];
    EXPECT_EQ(own.ownerClan, 1);
    EXPECT_STREQ(own.text, "none");
    EXPECT_EQ(own.unitNumber, -1);
    EXPECT_EQ(own.callSign, ' ');
    EXPECT_EQ(own.maxStructure, 120);
    EXPECT_EQ(own.structure, 100);
    EXPECT_EQ(own.accessType, 1);
    EXPECT_EQ(own.factor, 0.0234375f);

    u->pos[0] = 3 * 65536;
    u->bytes2[0] = 10;
    Block(u)->share.inThreatList[2] = 1;
    aistubs_Tick(1);
    EXPECT_EQ(Block(u)->share.ai[1].pos[0], 3 * 65536);
    EXPECT_EQ(Block(u)->share.ai[1].callSign, 'Q');
    EXPECT_EQ(Block(u)->share.ai[2].pos[0], 3 * 65536);
    EXPECT_EQ(Block(u)->share.ai[0].pos[0], 65536);  // clan 0 does not know it: its view keeps its values

    // A unit to be captured that is also in its clan's pool is refreshed twice: first as a candidate.
    ConstructPool* captured = CreateConstructPool(32, "tobecaptured");
    AppendToConstructPool(captured, u);
    int before = Block(u)->updates;
    aistubs_Tick(1);
    EXPECT_EQ(Block(u)->updates - before, 4);
    EXPECT_EQ(Block(u)->share.ai[1].captureCandidate, 0);
    DeleteConstructPool(captured);
}

class AIUnitReference : public AIScene {
protected:
    std::string path_ = dir_ / "refs.bin";
};

TEST_F(AIUnitReference, ReferencesAreWrittenAsActionUnitNameAndIndex) {
    construct* a = Unit(ga(), 0, 0, 0);
    construct* b = Unit(ga(), 0, 0, 0);
    AUDef* au = CreateAUDef();
    std::strcpy(au->name, "outpost");
    au->pool = CreateConstructPool(4, "audef outpost pool");
    AppendToConstructPool(au->pool, a);
    AppendToConstructPool(au->pool, b);
    au->placed = 1;

    FILE* f = std::fopen(path_.c_str(), "wb");
    uint32_t size = 0;
    aistubs_WriteAIUnit(f, nullptr, &size);
    EXPECT_EQ(size, 4u);
    aistubs_WriteAIUnit(f, &Block(b)->share.ai[1], &size);
    EXPECT_EQ(size, 44u);
    std::fclose(f);
    f = std::fopen(path_.c_str(), "rb");
    EXPECT_EQ(aistubs_ReadAIUnit(f, 0), nullptr);
    EXPECT_EQ(aistubs_ReadAIUnit(f, 2), &Block(b)->share.ai[2]);
    std::fclose(f);

    construct* stray = Unit(arab(), 0, 0, 0);
    f = std::fopen(path_.c_str(), "wb");
    EXPECT_EQ(FatalText([&] { aistubs_WriteAIUnit(f, &Block(stray)->share.ai[0], &size); }),
              "Error(aistubs_WriteAIUnit): au EMAJeep not found");
    std::fclose(f);
    au->pool->count = 0;
    au->placed = 0;
    DeleteConstructPool(au->pool);
    au->pool = nullptr;
}

TEST_F(AIUnitReference, ReferencesThatNoLongerResolveAreRefused) {
    construct* a = Unit(ga(), 0, 0, 0);
    AUDef* au = CreateAUDef();
    std::strcpy(au->name, "outpost");
    auto write = [&](const char* name, uint32_t index) {
        FILE* f = std::fopen(path_.c_str(), "wb");
        uint32_t one = 1;
        char field[32] = {};
        std::strncpy(field, name, 31);
        std::fwrite(&one, 4, 1, f);
        std::fwrite(field, 32, 1, f);
        std::fwrite(&index, 4, 1, f);
        std::fclose(f);
    };
    auto read = [&]() {
        FILE* f = std::fopen(path_.c_str(), "rb");
        std::string text = FatalText([&] { aistubs_ReadAIUnit(f, 0); });
        std::fclose(f);
        return text;
    };
    write("nowhere", 0);
    EXPECT_EQ(read(), "Error(aistubs_ReadAIUnit): au 'nowhere' not present");
    write("outpost", 0);
    EXPECT_EQ(read(), "Error(aistubs_ReadAIUnit): au 'outpost' not moved");
    au->pool = CreateConstructPool(4, "audef outpost pool");
    AppendToConstructPool(au->pool, a);
    au->placed = 1;
    write("outpost", 1);
    EXPECT_EQ(read(), "Error(aistubs_ReadAIUnit): au 'outpost' has too few units");
    FILE* f = std::fopen(path_.c_str(), "wb");
    uint32_t one = 1;
    std::fwrite(&one, 4, 1, f);
    std::fclose(f);
    EXPECT_EQ(read(), "Error(aistubs_ReadAIUnit): unexpected end of stream");
    au->pool->count = 0;
    au->placed = 0;
    DeleteConstructPool(au->pool);
    au->pool = nullptr;
}

}  // namespace
}  // namespace aitest
