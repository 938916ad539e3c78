// The AI bridge: the clans' message queues, the AI step of each world-tick call, the mission's damage
// variables and the services the AI asks of the world (line of sight, the tick counter, unit references
// in saved games).
#include "ai/AIStubs.h"

#include <cstring>
#include <new>

#include "ai/AIMessage.h"
#include "ai/AIStream.h"
#include "ai/AI_local.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/HiLogic.h"
#include "ai/MissionDesc.h"
#include "ai/WayTree.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

HL_hilogic* HiLogic = nullptr;
AIQueue AIQueues[3] = {};

namespace {

void EmptyQueue(AIQueue& q) {
    AIMessage* m = q.head;
    q.head = nullptr;
    q.tail = &q.head;
    while (m) {
        AIMessage* next = m->next;
        FreeAIMessage(m);
        m = next;
    }
}

// The unit's records of its own clan's view and of every clan that holds it in its threat list.
void RefreshViews(construct* con, int ownView, uint8_t captureFlag) {
    UnitShare* rec = GetUnitShare(con);
    if (!rec) return;
    for (int k = 0; k < kMaxClans; ++k)
        if (k == ownView || rec->inThreatList[k]) aistubs_UpdateAIUnit(&rec->ai[k], captureFlag);
}

}  // namespace

int aistubs_Init() {
    HiLogic = new (std::nothrow) HL_hilogic(kMaxClans);
    // Messages posted before the bridge starts (a hostility set early) stay queued instead of being lost.
    for (AIQueue& q : AIQueues)
        if (!q.head) q.tail = &q.head;
    for (int a = 0; a < kMaxClans; ++a)
        for (int b = 0; b < kMaxClans; ++b) CreateDamageVar(a, b, 0);
    return HiLogic ? 1 : 0;
}

void aistubs_Shutdown() {
    for (AIQueue& q : AIQueues) EmptyQueue(q);
    delete HiLogic;
    HiLogic = nullptr;
    // The way test's tree and way belong to the level.
    ResetWayTest();
}

void aistubs_Tick(int ticks) {
    if (ConstructPool* captured = FindConstructPool("tobecaptured"))
        for (int i = 0; i < captured->count; ++i) {
            construct* con = captured->constructs[i];
            RefreshViews(con, ClanIndex(con->clan), 1);
        }
    for (int c = 0; c < kMaxClans; ++c) {
        if (c < ClanCount) {
            Clan* clan = ClanTable[c];
            for (int i = 0; i < clan->pool->count; ++i) RefreshViews(clan->pool->constructs[i], c, 0);
        }
        AIQueue& q = AIQueues[c];
        if (!q.tail) q.tail = &q.head;
        AIOrder* orders = HiLogic ? HiLogic->Think(c, ticks, q.head) : nullptr;
        // The handled messages are taken out before the orders act: a message that an order posts to
        // this clan waits in the queue for the next step instead of being freed unread.
        AIQueue handled = q;
        if (!handled.head) handled.tail = &handled.head;
        q.head = nullptr;
        q.tail = &q.head;
        FreeAIOrderList(orders);
        EmptyQueue(handled);
    }
}

void aistubs_CreateAIUnit(AIUnitRecord* rec, construct* unit) {
    std::memset(rec, 0, sizeof *rec);
    rec->agent = nullptr;
    rec->con = unit;
    rec->ownerClan = ClanIndex(unit->clan);
    std::strcpy(rec->text, "none");
    std::memcpy(rec->pos, unit->pos, sizeof rec->pos);
    std::memcpy(rec->orient, unit->orient, sizeof rec->orient);
    rec->unitNumber = -1;
    rec->callSign = ' ';
    rec->speed = 0;
    if (auto* state = reinterpret_cast<StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE))) {
        rec->shield = state->shield;
        rec->structure = state->structure;
    }
    UnitAIInfo info{};
    if (UnitShare* share = GetUnitAIInfo(unit, &info, nullptr, nullptr)) {
        rec->stealthEngaged = share->stateFlag;
        rec->stealthWanted = share->driveMode;
        rec->sightRange = info.sightRange;
    }
    rec->standBy = 0;
    rec->driveWord = 0;
    rec->accessType = int32_t(CallItfc(unit, ItfcMethod::GETACCESSTYPE));
    const uint32_t klass = KlassOf(unit);
    rec->class9 = (klass & (kKlassGlider | kKlassAirplane)) ? 1 : 0;
    rec->class4 = int32_t(klass & kKlassVehicle);
    rec->class2 = int32_t(klass & kKlassShip);
    rec->driveByte = 1;
    if (auto* maxima = reinterpret_cast<MaximaRecord*>(CallItfc(unit, ItfcMethod::GETMAXIMA))) {
        rec->maxShield = maxima->shield;
        rec->maxStructure = maxima->structure;
    }
    rec->factor = 0.0234375f;
    rec->driveValue = 0;
    if (!CallItfc(unit, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(rec)))
        FatalErrorF("Error(aistubs_CreateAIUnit): itfc '%s' does not support UPDATEAIUNIT",
                    reinterpret_cast<const char*>(CallItfc(unit, ItfcMethod::GETNAME)));
}

void aistubs_UpdateAIUnit(AIUnitRecord* rec, uint8_t captureFlag) {
    construct* unit = rec->con;
    std::memcpy(rec->pos, unit->pos, sizeof rec->pos);
    std::memcpy(rec->orient, unit->orient, sizeof rec->orient);
    if (const int32_t* v = GetUnitVelocity(unit)) rec->speed = ai::Length3(v);
    rec->unitNumber = unit->bytes2[0];
    static const char kCallSigns[] = "1234567890QWERT";
    rec->callSign = rec->unitNumber >= 0 && rec->unitNumber < 15 ? kCallSigns[rec->unitNumber] : ' ';
    if (auto* state = reinterpret_cast<StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE))) {
        rec->shield = state->shield;
        rec->structure = state->structure;
    }
    if (UnitShare* share = GetUnitShare(unit)) {
        rec->stealthEngaged = share->stateFlag;
        rec->stealthWanted = share->driveMode;
        rec->aimPointSet = share->aimPointSet;
        rec->strength = share->strength;
        if (share->target) {
            rec->target = AIRecordOf(share->target, ClanIndex(unit->clan));
            rec->targetFlags = share->detect.flags;
            rec->targetDistance = share->detect.distance;
            for (int k = 0; k < 3; ++k) rec->targetDir[k] = float(share->detect.dir[k]) / 32768.0f;
        } else {
            rec->target = nullptr;
        }
        rec->alerted = share->alertCountdown > 0 ? 1 : 0;
        for (int k = 0; k < 3; ++k) rec->alertPoint[k] = float(share->alertPoint[k]);
    }
    rec->captureCandidate = captureFlag;
    if (!CallItfc(unit, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(rec)))
        FatalErrorF("Error(aistubs_UpdateAIUnit): itfc '%s' does not support UPDATEAIUNIT",
                    reinterpret_cast<const char*>(CallItfc(unit, ItfcMethod::GETNAME)));
}

void CreateDamageVar(int a, int b, int value) {
    if (a < 0 || a >= ClanCount || b < 0 || b >= ClanCount)
        FatalErrorF("Error(CreateDamageVar): clan %d or %d does not exist", a, b);
    char name[64];
    std::snprintf(name, sizeof name, "%s_DAMAGE_FROM_%s", ClanTable[a]->name, ClanTable[b]->name);
    MDVar* var = NamedMDVar(name);
    if (!var) var = CreateMDVar(name);
    var->value = float(value);
}

void CopyAIUnitRecord(AIUnitRecord* dst, const AIUnitRecord* src) {
    std::memcpy(dst->pos, src->pos, sizeof dst->pos);
    std::memcpy(dst->orient, src->orient, sizeof dst->orient);
    dst->speed = src->speed;
    dst->unitNumber = src->unitNumber;
    dst->callSign = src->callSign;
    dst->shield = src->shield;
    dst->structure = src->structure;
    dst->captureCandidate = src->captureCandidate;
    dst->aimPointSet = src->aimPointSet;
    dst->stealthEngaged = src->stealthEngaged;
    dst->stealthWanted = src->stealthWanted;
    dst->standBy = src->standBy;
    for (int g = 0; g < 2; ++g) {
        for (int w = 8; w <= 12; ++w) dst->weapon[g][w] = src->weapon[g][w];
        dst->weapon[g][20] = src->weapon[g][20];
        dst->weapon[g][21] = src->weapon[g][21];
    }
    dst->target = nullptr;
    dst->alerted = 0;
    if (!src->agent) dst->agent = nullptr;
}

void aistubs_WriteAIUnit(FILE* file, const AIUnitRecord* rec, uint32_t* size) {
    if (!rec) {
        aistream::PutU32(file, 0);
        *size += 4;
        return;
    }
    aistream::PutU32(file, 1);
    *size += 4;
    int index = 0;
    AUDef* au = FindAUOfUnit(rec->con, &index);
    if (!au) {
        const char* name = reinterpret_cast<const char*>(CallItfc(rec->con, ItfcMethod::GETNAME));
        FatalErrorF("Error(aistubs_WriteAIUnit): au %s not found", name ? name : "?");
    }
    char field[32] = {};
    std::memcpy(field, au->name, strnlen(au->name, sizeof field - 1));  // zero-filled: the name ends
    aistream::PutBytes(file, field, sizeof field);
    *size += 32;
    aistream::PutU32(file, uint32_t(index));
    *size += 4;
}

AIUnitRecord* aistubs_ReadAIUnit(FILE* stream, int view) {
    const char* who = "aistubs_ReadAIUnit";
    if (aistream::GetU32(stream, who) == 0) return nullptr;
    char name[33] = {};
    aistream::GetBytes(stream, name, 32, who);
    uint32_t index = aistream::GetU32(stream, who);
    AUDef* au = NamedAUDef(name);
    if (!au) FatalErrorF("Error(aistubs_ReadAIUnit): au '%s' not present", name);
    if (!au->pool || !au->placed) FatalErrorF("Error(aistubs_ReadAIUnit): au '%s' not moved", name);
    if (index >= uint32_t(au->pool->count)) FatalErrorF("Error(aistubs_ReadAIUnit): au '%s' has too few units", name);
    if (view < 0 || view >= kMaxClans) FatalErrorF("Error(aistubs_ReadAIUnit): view %d out of range", view);
    AIUnitRecord* rec = AIRecordOf(au->pool->constructs[index], view);
    if (!rec) FatalErrorF("Error(aistubs_ReadAIUnit): au '%s' unit %u keeps no AI record", name, index);
    return rec;
}

int aistubs_InLineOfSight(AIUnitRecord* a, AIUnitRecord* b, int* computed) {
    *computed = 0;
    ThreatEntry* list = nullptr;
    int n = GetThreatList(a->con, &list);
    for (int i = 0; i < n; ++i)
        if (list[i].con == b->con) return list[i].flags & kThreatObstructed;
    UnitAIInfo ia{}, ib{};
    if (!GetUnitAIInfo(a->con, &ia, nullptr, nullptr) || !GetUnitAIInfo(b->con, &ib, nullptr, nullptr)) {
        *computed = 1;
        return 0;
    }
    int32_t d[3];
    for (int k = 0; k < 3; ++k) d[k] = ib.sensorPoint[k] - ia.sensorPoint[k];
    int64_t left = ai::Length3(d);
    int32_t dir[3];
    ai::Normalise32768(d, dir);
    int32_t p[3] = {ia.sensorPoint[0], ia.sensorPoint[1], ia.sensorPoint[2]};
    for (; left > 0; left -= 2048) {
        if (ai::PointObstructed(p)) {
            *computed = 1;
            return 1;
        }
        for (int k = 0; k < 3; ++k) p[k] += dir[k] >> 4;
    }
    *computed = 1;
    return 0;
}

const char* aistubs_UnitTypeInfo(const AIUnitRecord* rec) {
    return UnitGameNameOf(rec->con);
}

int aistubs_IsPlayerClan(int clanIndex) {
    if (clanIndex >= 0 && clanIndex < ClanCount && ClanTable[clanIndex] == PlayerClan) return 1;
    return skill_level >= 1 ? 1 : 0;
}

int aistubs_KnownToOtherClan(construct* unit) {
    if (!HiLogic) return 0;
    int own = ClanIndex(unit->clan);
    for (int c = 0; c < ClanCount; ++c) {
        if (c == own) continue;
        AIUnitRecord* rec = AIRecordOf(unit, c);
        if (rec && HiLogic->TargetsUnit(c, rec)) return 1;
    }
    return 0;
}

uint32_t GetFrameCounter() {
    return FrameCounter;
}

const AIVertex* aistubs_vertex_at(const int32_t point[3], int accessType) {
    static AIVertex vertex;
    uint32_t flags = 0;
    vertex.height = CurrentMatrix ? GroundHeight(CurrentMatrix, point, 0, 1, &flags) : 0;
    vertex.underWater =
        int64_t(WaterLevelAt(point[0], point[2])) * 8 > vertex.height && !(flags & kSubBlocked) ? 1 : 0;
    switch (accessType) {
        case 0: vertex.accessible = (flags & 0xE) ? 0 : 1; break;
        case 1: vertex.accessible = (flags & 0xA) ? 0 : 1; break;
        case 2: vertex.accessible = (flags & 0xD) ? 0 : 1; break;
        case 3:
        case 4: vertex.accessible = 1; break;
        default: FatalErrorF("Error(aistubs_vertex_at): unknown AccessType %d", accessType);
    }
    return &vertex;
}
