// A hand-made scene for the AI tests: the three clans, the AI bridge and units of a small test type
// whose data block is headed by the unit record.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/HiLogic.h"
#include "ai/MissionDesc.h"
#include "ai/WayPointList.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "host/Fs.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"

namespace aitest {

// The test type's data block: the unit record first, then its state and maxima.
struct FakeBlock {
    UnitShare share;
    StateRecord state;
    MaximaRecord maxima;
    int32_t updates;    // UPDATEAIUNIT calls
    int32_t placed;     // PLACE calls
    int32_t unplaced;   // UNPLACE calls
    int32_t params;     // SETPARAMS calls
    PlacementRecord lastPlace;
};

// Set by a test: a message that the next GETUNIT posts to this clan (a unit that reports while an order
// acts on it).
inline Clan* g_postOnGetUnit = nullptr;
inline int g_destroyed = 0;

inline FakeBlock* Block(construct* con) {
    return static_cast<FakeBlock*>(con->itfcData);
}

construct* NewFakeConstruct();

inline uintptr_t Fake_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    using M = ItfcMethod;
    if (method == M::GETNAME) return reinterpret_cast<uintptr_t>("EMAJeep");
    if (method == M::CREATE) return reinterpret_cast<uintptr_t>(NewFakeConstruct());
    if (method == M::GETUNIT) {
        if (g_postOnGetUnit) {
            Clan* c = g_postOnGetUnit;
            g_postOnGetUnit = nullptr;
            PostAIMessage(c, NewClanMessage(999, 0, nullptr, nullptr));
        }
        return reinterpret_cast<uintptr_t>(&Block(con)->share);
    }
    if (method == M::GETSTATE) return reinterpret_cast<uintptr_t>(&Block(con)->state);
    if (method == M::GETMAXIMA) return reinterpret_cast<uintptr_t>(&Block(con)->maxima);
    if (method == M::GETACCESSTYPE) return 1;
    if (method == M::UPDATEAIUNIT) return ++Block(con)->updates, 1;
    if (method == M::PLACE) {
        auto* p = reinterpret_cast<PlacementRecord*>(arg);
        Block(con)->lastPlace = *p;
        con->pos[0] = p->x;
        con->pos[1] = p->y;
        con->pos[2] = p->z;
        std::memcpy(Block(con)->share.insidePos, con->pos, 12);
        con->flags |= kConstructPlaced;
        ++Block(con)->placed;
        CreateUnitAIRecords(con, 0);
    } else if (method == M::UNPLACE) {
        con->flags &= ~kConstructPlaced;
        ++Block(con)->unplaced;
    } else if (method == M::SETPARAMS) {
        ++Block(con)->params;
    } else if (method == M::DESTROY) {
        ++g_destroyed;
        FreeUnitThreatLists(&Block(con)->share);
        FreeConstruct(con);
    }
    return 0;
}

inline construct* NewFakeConstruct() {
    construct* con = CreateConstruct(1, kConInputDriven | kConBusy);
    con->itfc = Fake_itfc;
    auto* b = static_cast<FakeBlock*>(AllocItfcData(con, sizeof(FakeBlock)));
    b->state = {50, 100, 0};
    b->maxima = {80, 120, 0};
    b->share.insideOrient[0] = b->share.insideOrient[4] = b->share.insideOrient[8] = 32768;
    AllocUnitThreatLists(&b->share, 150);
    return con;
}

// A unit of the clan at (x, y, z) in 16.16, in the clan's pool, seeing by radar with the given range.
inline construct* MakeUnit(Clan* clan, int32_t x, int32_t y, int32_t z, int32_t radarRange = 0) {
    construct* con = NewFakeConstruct();
    con->clan = clan;
    con->pos[0] = x;
    con->pos[1] = y;
    con->pos[2] = z;
    UnitShare& s = Block(con)->share;
    std::memcpy(s.insidePos, con->pos, 12);
    s.sightType = kSightRadar;
    s.sightRange = radarRange;
    if (clan) AppendToConstructPool(clan->pool, con);
    CreateUnitAIRecords(con, 0);
    return con;
}

inline void FreeUnit_(construct* con) {
    if (!con) return;
    FreeUnitThreatLists(&Block(con)->share);
    FreeConstruct(con);
}

// The three clans, the bridge and a place for the test's rules.
class AIScene : public ::testing::Test {
protected:
    AIScene() {
        CreateClan("EMA");
        CreateClan("GA");
        CreateClan("ARAB");
        aistubs_Init();
        DrainQueues();
    }
    ~AIScene() override {
        HL_SetThinkHook(nullptr);
        g_postOnGetUnit = nullptr;
        aistubs_Shutdown();
        while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
        for (construct* con : units_) FreeUnit_(con);
        while (ClanCount > 0) DeleteClan(ClanTable[0]);
        while (MDVarCount > 0) FreeMDVar(MDVarTable[0]);
        FreeRules();
        PlayerClan = nullptr;
        PlayerUnit = nullptr;
        WinCountdown = LoseCountdown = MissionWon = MissionLost = 0;
        std::memset(AbstractClanMap, 0, sizeof AbstractClanMap);
    }
    construct* Unit(Clan* clan, int32_t x, int32_t y, int32_t z, int32_t radar = 0) {
        construct* con = MakeUnit(clan, x, y, z, radar);
        units_.push_back(con);
        return con;
    }
    // The types of the messages waiting for a clan, in order.
    static std::vector<int> Queued(int clan) {
        std::vector<int> types;
        for (AIMessage* m = AIQueues[clan].head; m; m = m->next) types.push_back(m->type);
        return types;
    }
    static void DrainQueues() {
        for (AIQueue& q : AIQueues) {
            while (q.head) {
                AIMessage* next = q.head->next;
                FreeAIMessage(q.head);
                q.head = next;
            }
            q.tail = &q.head;
        }
    }
    // Reads the text as the level's rules (added to those already read).
    void Rules(const std::string& text) {
        static int n = 0;
        std::string path = dir_ / ("rules" + std::to_string(n++));
        ASSERT_TRUE(datakit::WriteRulesText(path, text + "end\n"));
        host::FlushDirectoryCache();
        ReadRules(path.c_str());
    }
    template <typename Fn>
    static std::string FatalText(Fn fn) {
        try {
            fn();
        } catch (const kvtest::FatalExit& e) {
            return e.what();
        }
        return "";
    }

    Clan* ema() { return ClanTable[0]; }
    Clan* ga() { return ClanTable[1]; }
    Clan* arab() { return ClanTable[2]; }

    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;
    std::vector<construct*> units_;
};

}  // namespace aitest
