// Cost of the AI step (the bridge refreshing the units' records, each clan's high-level AI handling its
// messages and updating its threads, the orders applied) for the three clans with 500 agents on the demo
// island: E.M.A., G.A. and a third clan, hostile all round, on a grid over the middle of the island with
// their threat lists filled by the threat detection. Every step a few units report attacks. Two scenes:
// G.A. and the third clan hold their places while E.M.A. camps; and E.M.A. patrols in groups of ten while
// G.A. attacks it in groups of five and the third clan holds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "ai/HiLogic.h"
#include "ai/MissionDesc.h"
#include "ai/WayPointList.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "support/ShotScene.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Terrain.h"

namespace {

struct AIUnitBlock {
    UnitShare share;
    StateRecord state;
    MaximaRecord maxima;
};

uintptr_t AIUnit_itfc(construct* con, ItfcMethod method, uintptr_t) {
    auto* b = static_cast<AIUnitBlock*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>("AIUnit");
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(&b->share);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&b->state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&b->maxima);
        case ItfcMethod::UPDATEAIUNIT: {
            // As a vehicle reports its gun: group 1 present, a range of 300000, ammunition left.
            for (AIUnitRecord& r : b->share.ai) {
                r.weaponPresent[0] = 1;
                r.weapon[0][6] = 300000;
                r.weapon[0][11] = 50;
            }
            return 1;
        }
        default:
            return 0;
    }
}

class AIScene {
public:
    AIScene(kvtest::ShotScene& scene, bool patrolAndFight) : scene_(scene) {
        for (const char* name : {"EMA", "GA", "ARAB"}) CreateClan(name);
        for (int a = 0; a < 3; ++a)
            for (int b = a + 1; b < 3; ++b) SetClanHostility(ClanTable[a], ClanTable[b], kHostile);
        aistubs_Init();
        // 170 E.M.A., 170 G.A. and 160 of the third clan, interleaved on a grid of 100000-unit cells so
        // that every unit has enemies in reach. A clan's pool holds 150 units: the AI step refreshes the
        // records of those; the others keep the records they were made with.
        for (int n = 0; n < 500; ++n) {
            const int c = n < 480 ? n % 3 : n % 2;
            const int32_t x = 10 * 65536 + (n % 25) * 100000;
            const int32_t z = 10 * 65536 + (n / 25) * 100000;
            construct* con = MakeUnit(ClanTable[c], x, z);
            if (ClanTable[c]->pool->count < ClanTable[c]->pool->capacity)
                AppendToConstructPool(ClanTable[c]->pool, con);
            units_.push_back(con);
        }
        aistubs_Tick(1);  // every unit joins its clan's AI
        for (int c = patrolAndFight ? 2 : 1; c < 3; ++c)
            PostAIMessage(ClanTable[c], NewUnitsMessage(ClanTable[c], 353, 0, ClanTable[c]->pool, nullptr,
                                                        nullptr, nullptr));
        if (patrolAndFight) {
            std::vector<construct*> ema, ga;
            // Only the units in their clan's pool have their records kept fresh: the groups are made of
            // those.
            for (construct* con : units_) {
                if (con->clan == ClanTable[0] && IsInConstructPool(con, ClanTable[0]->pool))
                    ema.push_back(con);
                if (con->clan == ClanTable[1] && IsInConstructPool(con, ClanTable[1]->pool))
                    ga.push_back(con);
            }
            for (size_t g = 0; g < ema.size(); g += 10)
                Patrol(std::vector<construct*>(ema.begin() + long(g),
                                               ema.begin() + long(std::min(g + 10, ema.size()))));
            for (size_t g = 0; g < ga.size(); g += 5) {
                std::vector<construct*> group(ga.begin() + long(g),
                                              ga.begin() + long(std::min(g + 5, ga.size())));
                Attack(group, ema[g % ema.size()]);
            }
        }
        aistubs_Tick(1);
        DetectThreats();
        aistubs_Tick(1);
    }
    ~AIScene() {
        aistubs_Shutdown();
        for (construct* con : units_) {
            FreeUnitThreatLists(&static_cast<AIUnitBlock*>(con->itfcData)->share);
            FreeConstruct(con);
        }
        while (ClanCount > 0) DeleteClan(ClanTable[0]);
        while (MDVarCount > 0) FreeMDVar(MDVarTable[0]);
    }
    // One AI step after a few units reported attacks by their neighbours of another clan.
    void Step(int i) {
        for (int k = 0; k < 6; ++k) {
            construct* victim = units_[size_t((i * 7 + k * 83) % int(units_.size()))];
            construct* attacker = units_[size_t((i * 7 + k * 83 + 1) % int(units_.size()))];
            if (victim->clan == attacker->clan) continue;
            PostAIMessage(victim->clan, NewAIMessage(victim->clan, 2, 1, victim, attacker, nullptr, nullptr));
        }
        aistubs_Tick(1);
    }

private:
    // A message whose unit array holds the units' records in the clan's view.
    static AIMessage* GroupMessage(Clan* clan, int type, const std::vector<construct*>& group) {
        AIMessage* m = NewAIMessage(clan, type, 0, nullptr, nullptr, nullptr, nullptr);
        auto** list =
            static_cast<AIUnitRecord**>(qzAlloc(int((group.size() + 1) * sizeof(void*)), "ai msg units"));
        for (size_t i = 0; i < group.size(); ++i) list[i] = AIRecordOf(group[i], ClanIndex(clan));
        list[group.size()] = nullptr;
        m->units = list;
        return m;
    }
    // The group patrols a square of 400000 a side round where its first unit stands.
    void Patrol(const std::vector<construct*>& group) {
        Clan* clan = group[0]->clan;
        AIMessage* m = GroupMessage(clan, 205, group);
        m->path = static_cast<AIPath*>(qzAlloc(int(sizeof(AIPath)), "ai path"));
        std::memset(m->path, 0, sizeof(AIPath));
        m->path->points = CreateWayPointList(4, "ai path wpl");
        const int32_t* at = group[0]->pos;
        const int32_t corners[4][2] = {{0, 0}, {400000, 0}, {400000, 400000}, {0, 400000}};
        for (const auto& c : corners) {
            const int32_t p[3] = {at[0] + c[0], 0, at[2] + c[1]};
            AddWayPoint(m->path->points, p);
        }
        PostAIMessage(clan, m);
    }
    // The group attacks the target (the task-force attack order).
    void Attack(const std::vector<construct*>& group, construct* target) {
        Clan* clan = group[0]->clan;
        AIMessage* m = GroupMessage(clan, 358, group);
        m->other = AIRecordOf(target, ClanIndex(clan));
        PostAIMessage(clan, m);
    }
    construct* MakeUnit(Clan* clan, int32_t x, int32_t z) {
        construct* con = CreateConstruct(1, kConInputDriven);
        con->itfc = AIUnit_itfc;
        con->clan = clan;
        auto* b = static_cast<AIUnitBlock*>(AllocItfcData(con, sizeof(AIUnitBlock)));
        b->state = {50, 100, 0};
        b->maxima = {50, 100, 0};
        con->pos[0] = x;
        con->pos[2] = z;
        con->pos[1] = GroundHeight(CurrentMatrix, con->pos, 0, 0, nullptr) + 2000;
        std::memcpy(b->share.insidePos, con->pos, sizeof con->pos);
        b->share.insideOrient[0] = b->share.insideOrient[4] = b->share.insideOrient[8] = 32768;
        b->share.sightType = kSightRadar;
        b->share.sightRange = 400000;
        AllocUnitThreatLists(&b->share, 150);
        CreateUnitAIRecords(con, 1);
        return con;
    }
    kvtest::ShotScene& scene_;
    std::vector<construct*> units_;
};

void BM_AIStep500Agents(benchmark::State& state) {
    kvtest::ShotScene scene(KV_SOURCE_DIR);
    if (!scene.ok()) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    AIScene ai(scene, false);
    int i = 0;
    for (auto _ : state) ai.Step(i++);
    state.SetItemsProcessed(state.iterations());  // items are AI steps: items per second is steps per second
}
BENCHMARK(BM_AIStep500Agents)->Unit(benchmark::kMicrosecond);

void BM_AIStep500AgentsPatrolAndFight(benchmark::State& state) {
    kvtest::ShotScene scene(KV_SOURCE_DIR);
    if (!scene.ok()) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    AIScene ai(scene, true);
    int i = 0;
    for (auto _ : state) ai.Step(i++);

    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AIStep500AgentsPatrolAndFight)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
