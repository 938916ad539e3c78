// Clans: the table of the level's sides with their hostilities, pools, patrol tables and threat lists,
// the player's clan, and the rebuilding of the clans' pools and patrol paths from the action units.
#include "ai/Clan.h"

#include <cstring>

#include "ai/AIMessage.h"
#include "ai/AI_local.h"
#include "ai/AUDef.h"
#include "ai/WayPointList.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

Clan* ClanTable[kMaxClans] = {};
int32_t ClanCount = 0;
Clan* AbstractClanMap[4] = {};
Clan* PlayerClan = nullptr;

namespace {

void FreePatrols(PatrolRecord* patrols, int32_t* count) {
    for (int i = 0; i < *count; ++i) {
        FreeWayPointList(patrols[i].points);
        patrols[i] = PatrolRecord{};
    }
    *count = 0;
}

// The patrol of an action unit from its rules "<au><key>0", "<au><key>1", ... while they exist.
void AddPatrol(PatrolRecord* patrols, int32_t* count, AUDef* au, const char* key) {
    if (*count >= kMaxPatrols || !FindRulef("%s_%s_0", au->name, key)) return;
    PatrolRecord& p = patrols[(*count)++];
    p.active = 1;
    p.au = au;
    p.word = 0;
    p.points = CreateWayPointList(kPatrolPoints, "wpl(patrol)");
    for (int i = 0;; ++i) {
        Rule* r = FindRulef("%s_%s_%d", au->name, key, i);
        if (!r) break;
        float x = r->count > 0 ? r->values[0] : 0.0f;
        float z = r->count > 1 ? r->values[1] : 0.0f;
        const int32_t point[3] = {TruncateToInt32(double(x) * 65536.0), 0, TruncateToInt32(double(z) * 65536.0)};
        AddWayPoint(p.points, point);  // points past the capacity are dropped
    }
}

}  // namespace

Clan* CreateClan(const char* name) {
    if (ClanCount >= kMaxClans) FatalError("Error(CreateClan): Too many Clans");
    if (std::strlen(name) >= sizeof(Clan::name)) FatalErrorF("Error(CreateClan): clan name '%s' too long", name);
    Clan* clan = static_cast<Clan*>(qzAlloc(sizeof(Clan), "clan cell"));
    std::memset(clan, 0, sizeof *clan);
    std::strcpy(clan->name, name);
    char poolName[64];
    std::snprintf(poolName, sizeof poolName, "clan '%s' pool", name);
    clan->pool = CreateConstructPool(kClanPoolCapacity, poolName);
    clan->threatCapacity = kClanThreatCapacity;
    clan->threats = static_cast<ThreatEntry*>(qzAlloc(kClanThreatCapacity * int(sizeof(ThreatEntry)), "threat list"));
    std::memset(clan->threats, 0, kClanThreatCapacity * sizeof(ThreatEntry));
    clan->area[0] = 10;
    clan->area[1] = 720896;
    clan->area[2] = 10;
    clan->area[3] = 720896;
    clan->index = ClanCount;
    ClanTable[ClanCount++] = clan;
    return clan;
}

void DeleteClan(Clan* clan) {
    for (int i = 0; i < ClanCount; ++i) {
        if (ClanTable[i] != clan) continue;
        ClanTable[i] = ClanTable[--ClanCount];
        ClanTable[ClanCount] = nullptr;
        if (PlayerClan == clan) PlayerClan = nullptr;
        for (Clan*& mapped : AbstractClanMap)
            if (mapped == clan) mapped = nullptr;
        qzFree(clan->threats);
        FreePatrols(clan->patrols, &clan->patrolCount);
        FreePatrols(clan->patrols2, &clan->patrol2Count);
        DeleteConstructPool(clan->pool);
        qzFree(clan);
        return;
    }
}

Clan* FindClan(const char* name) {
    for (int i = 0; i < ClanCount; ++i)
        if (std::strcmp(ClanTable[i]->name, name) == 0) return ClanTable[i];
    return nullptr;
}

Clan* NamedClan(const char* name) {
    Clan* clan = FindClan(name);
    if (!clan) FatalError("Error(NamedClan): No such Clan.");
    return clan;
}

int ClanIndex(const Clan* clan) {
    return clan ? clan->index : -1;
}

void SetPlayerClan(Clan* clan) {
    PlayerClan = clan;
    for (int i = 0; i < ClanCount; ++i) PostAIMessage(ClanTable[i], NewClanMessage(kMsgPlayerClan, 0, clan, nullptr));
}

void SetClanHostility(Clan* a, Clan* b, int hostility) {
    if (hostility < kNeutral || hostility > kHostile) FatalError("Error(SetClanHostility): uk hostility type");
    a->hostility[ClanIndex(b)] = hostility;
    b->hostility[ClanIndex(a)] = hostility;
    for (int i = 0; i < ClanCount; ++i) PostAIMessage(ClanTable[i], NewClanMessage(kMsgHostility, hostility, a, b));
}

int NamedHostility(const char* text) {
    if (std::strcmp(text, "ALLIED") == 0) return kAllied;
    if (std::strcmp(text, "NEUTRAL") == 0) return kNeutral;
    if (std::strcmp(text, "HOSTILE") == 0) return kHostile;
    FatalError("Error(NamedHostility): uk hostility");
}

int ThreatListHolds(const construct* con, const Clan* clan) {
    if (!clan) return 0;
    for (int i = 0; i < clan->threatCount; ++i)
        if (clan->threats[i].con == con) return 1;
    return 0;
}

int ObjectInBand(const ThreatEntry* record, const int32_t* band) {
    return (record->flags & 0x31) == 0 && record->distance > band[0] && record->distance < band[2];
}

void SetUnitTargetPair(construct* con, construct* other, int32_t count) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    rec->recentHit = other;
    rec->recentHitCountdown = count;
}

void BuildAUWaypointLists(Clan* clan) {
    clan->pool->count = 0;
    FreePatrols(clan->patrols, &clan->patrolCount);
    FreePatrols(clan->patrols2, &clan->patrol2Count);
    ConstructPool* captured = FindConstructPool("tobecaptured");
    for (int i = 0; i < AUDefCount; ++i) {
        AUDef* au = AUDefTable[i];
        if (au->abstractClan < 0 || au->abstractClan > 2 || AbstractClanMap[au->abstractClan] != clan) continue;
        if (!au->pool || !au->placed) continue;
        for (int k = 0; k < au->pool->count; ++k) {
            construct* con = au->pool->constructs[k];
            if (!(con->flags & kConInputDriven)) continue;
            if (captured && IsInConstructPool(con, captured)) continue;
            if (KlassOf(con) & kKlassNeutral2) continue;
            int32_t structure = 0;
            if (!ai::StructureOf(con, &structure) || structure <= 0) continue;
            AppendToConstructPoolIfRoom(clan->pool, con);
        }
        AddPatrol(clan->patrols, &clan->patrolCount, au, "waypoint");
        AddPatrol(clan->patrols2, &clan->patrol2Count, au, "waypoint2");
    }
}

void SetClanUnitParams(Clan* clan, float p1, float p2, float p3, float p4) {
    clan->area[0] = TruncateToInt32(double(p1) * 65536.0);
    clan->area[1] = TruncateToInt32(double(p3) * 65536.0);
    clan->area[2] = TruncateToInt32(double(p2) * 65536.0);
    clan->area[3] = TruncateToInt32(double(p4) * 65536.0);
    const int32_t values[4] = {TruncateToInt32(double(p1) * 65536.0), TruncateToInt32(double(p2) * 65536.0),
                               TruncateToInt32(double(p3) * 65536.0), TruncateToInt32(double(p4) * 65536.0)};
    for (int i = 0; i < clan->pool->count; ++i) {
        UnitShare* rec = GetUnitShare(clan->pool->constructs[i]);
        if (rec) std::memcpy(rec->area, values, sizeof values);
    }
}
