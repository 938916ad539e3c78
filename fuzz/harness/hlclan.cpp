// A clan's high-level AI in its saved form (the state behind the clan index of a SAVEDHLCLAN chunk), read
// into a fresh AI from a package stream as a saved game is read; an accepted form then runs a step of the
// clan over a few messages (an attack, a hold, a thread's end, an aim point reached, a unit destroyed)
// with its orders applied, and is written again. The level: the clans "EMA", "GA" and "ARAB" and the
// placed action unit "outpost" of three units of clan 0. The seeds (fuzz/seeds) name the same units.
#include <cstring>

#include "ai/AIMessage.h"
#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/HiLogic.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

namespace {

struct FuzzUnitBlock {
    UnitShare share;
    StateRecord state;
    MaximaRecord maxima;
};

uintptr_t FuzzUnit_itfc(construct* con, ItfcMethod method, uintptr_t) {
    auto* b = static_cast<FuzzUnitBlock*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>("FuzzUnit");
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(&b->share);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&b->state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&b->maxima);
        case ItfcMethod::UPDATEAIUNIT:
            return 1;
        default:
            return 0;
    }
}

construct* g_units[4];

void BuildLevel() {
    // The radio calls of a player's clan.
    const char rules[] =
        "Call_attacked \"Under fire from <arg1>\";\nCall_destroyed \"Down\";\n"
        "Call_killed \"<arg1> killed\";\nCall_ReadyToCloseIn \"<arg1> ready\";\nCall_OutOfAmmo \"<arg1> dry\";\n"
        "Call_FollowFailed \"Lost\";\nCall_HideFailed \"No cover\";\nCall_SneakStopped \"Stop\";\nend\n";
    kvfuzz::WriteDiskFile("callrules.txt", reinterpret_cast<const uint8_t*>(rules), sizeof rules - 1);
    ReadRules("callrules.txt");
    for (const char* name : {"EMA", "GA", "ARAB"}) CreateClan(name);
    SetClanHostility(ClanTable[0], ClanTable[1], kHostile);
    AUDef* au = CreateAUDef();
    snprintf(au->name, sizeof au->name, "%s", "outpost");
    au->pool = CreateConstructPool(4, "audef outpost pool");
    au->placed = 1;
    for (int i = 0; i < 4; ++i) {
        construct* con = CreateConstruct(1, kConInputDriven);
        con->itfc = FuzzUnit_itfc;
        auto* b = static_cast<FuzzUnitBlock*>(AllocItfcData(con, sizeof(FuzzUnitBlock)));
        b->state = {50, 100, 0};
        b->maxima = {50, 100, 0};
        con->clan = ClanTable[i < 3 ? 0 : 1];
        con->pos[0] = 100000 * i;
        std::memcpy(b->share.insidePos, con->pos, sizeof con->pos);
        CreateUnitAIRecords(con, 0);
        for (AIUnitRecord& r : b->share.ai) {
            r.weaponPresent[0] = 1;
            r.weapon[0][6] = 300000;
            r.weapon[0][11] = 10;
        }
        if (i < 3) AppendToConstructPool(au->pool, con);
        g_units[i] = con;
    }
}

void Free(AIMessage* m) {
    while (m) {
        AIMessage* next = m->next;
        FreeAIMessage(m);
        m = next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        BuildLevel();
        return true;
    }();
    (void)once;
    kvfuzz::Mount("save/hlclan", data, size);
    FILE* f = qzpk_fopen("save/hlclan", "rb");
    if (!f) std::abort();
    aistubs_Init();
    kvfuzz::Run([&] {
        HiLogic->ImportClan(f, 0);
        Clan* ema = ClanTable[0];
        AIMessage* m = NewAIMessage(ema, 2, 5, g_units[0], g_units[3], nullptr, nullptr);
        m->next = NewUnitsMessage(ema, 353, 0, NamedAUDef("outpost")->pool, nullptr, nullptr, nullptr);
        m->next->next = NewAIMessage(ema, 400, 2, nullptr, nullptr, nullptr, nullptr);
        m->next->next->next = NewAIMessage(ema, 10, 0, g_units[0], nullptr, nullptr, nullptr);
        m->next->next->next->next = NewAIMessage(ema, 3, 0, g_units[2], nullptr, nullptr, nullptr);
        AIOrder* orders = HiLogic->Think(0, 3, m);
        Free(m);
        FreeAIOrderList(orders);
        FILE* out = std::tmpfile();
        uint32_t counter = 0;
        if (out) {
            HiLogic->ExportClan(out, 0, &counter);
            std::fclose(out);
        }
    });
    aistubs_Shutdown();
    qzpk_fclose(f);
    qzpk_close();
    return 0;
}
