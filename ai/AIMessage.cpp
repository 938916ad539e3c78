// AI messages and orders: the builders of the messages that senders post to a clan's queue, and the
// application of the orders that a clan's AI returns.
#include "ai/AIMessage.h"

#include <cstring>

#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/WayPointList.h"
#include "core/Memory.h"
#include "core/Config.h"
#include "core/Rules.h"
#include "objects/UnitShare.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

AIUnitRecord* AIRecordOf(construct* con, int view) {
    if (!con || view < 0 || view >= kMaxClans) return nullptr;
    UnitShare* rec = GetUnitShare(con);
    return rec ? &rec->ai[view] : nullptr;
}

namespace {

AIMessage* AllocMessage(int type, intptr_t param) {
    AIMessage* msg = static_cast<AIMessage*>(qzAlloc(sizeof(AIMessage), "ai message"));
    std::memset(msg, 0, sizeof *msg);
    msg->type = type;
    msg->clanA = -1;
    msg->clanB = -1;
    msg->param = param;
    return msg;
}

// The null-ended array of the pool's records in the view; null for an empty or missing pool.
AIUnitRecord** UnitsOf(ConstructPool* group, int view) {
    if (!group || group->count <= 0) return nullptr;
    auto** units = static_cast<AIUnitRecord**>(qzAlloc((group->count + 1) * int(sizeof(void*)), "ai msg units"));
    for (int i = 0; i < group->count; ++i) units[i] = AIRecordOf(group->constructs[i], view);
    units[group->count] = nullptr;
    return units;
}

}  // namespace

AIMessage* NewAIMessage(Clan* receiver, int type, intptr_t param, construct* unit, construct* other,
                        const int32_t* point, const int32_t* point2) {
    AIMessage* msg = AllocMessage(type, param);
    int view = ClanIndex(receiver);
    msg->unit = AIRecordOf(unit, view);
    msg->other = AIRecordOf(other, view);
    if (point) std::memcpy(msg->point, point, sizeof msg->point);
    if (point2) std::memcpy(msg->point2, point2, sizeof msg->point2);
    return msg;
}

AIMessage* NewUnitsMessage(Clan* receiver, int type, intptr_t param, ConstructPool* group, construct* unit,
                           construct* other, const int32_t* point) {
    AIMessage* msg = NewAIMessage(receiver, type, param, unit, other, point, nullptr);
    msg->units = UnitsOf(group, ClanIndex(receiver));
    return msg;
}

AIMessage* NewUnitsMessageShort(Clan* receiver, int type, intptr_t param, ConstructPool* group,
                                construct* unit, const int32_t* point) {
    return NewUnitsMessage(receiver, type, param, group, unit, nullptr, point);
}

AIMessage* NewPathMessage(Clan* receiver, int type, intptr_t param, const PatrolRecord* patrol) {
    AIMessage* msg = AllocMessage(type, param);
    if (!patrol) return msg;
    if (!patrol->au || !patrol->au->pool) {
        FreeAIMessage(msg);
        FatalError("Error(NewPathMessage): patrol au not present");
    }
    msg->units = UnitsOf(patrol->au->pool, ClanIndex(receiver));
    AIPath* path = static_cast<AIPath*>(qzAlloc(sizeof(AIPath), "ai path"));
    std::memset(path, 0, sizeof *path);
    const size_t nameLength = strnlen(patrol->au->name, sizeof path->auName - 1);
    std::memcpy(path->auName, patrol->au->name, nameLength);  // the record is zeroed: the name ends
    // The message keeps its own copy of the points: the patrol tables are rebuilt while it waits.
    const wpl* src = patrol->points;
    path->points = CreateWayPointList(src ? src->capacity : 0, "ai path wpl");
    if (src)
        for (int i = 0; i < src->count; ++i) AddWayPoint(path->points, src->points[i]);
    msg->path = path;
    return msg;
}

AIMessage* NewClanMessage(int type, intptr_t param, Clan* a, Clan* b) {
    AIMessage* msg = AllocMessage(type, param);
    if (a) msg->clanA = ClanIndex(a);
    if (b) msg->clanB = ClanIndex(b);
    return msg;
}

void PostUnitMessage(Clan* receiver, int type, intptr_t param, construct* unit, construct* other) {
    if (receiver) PostAIMessage(receiver, NewAIMessage(receiver, type, param, unit, other, nullptr, nullptr));
}

int PostAIMessage(Clan* receiver, AIMessage* msg) {
    int c = ClanIndex(receiver);
    if (c < 0 || c >= kMaxClans) {
        FreeAIMessage(msg);
        FatalErrorF("Error(PostAIMessage): clan index %d out of range", c);
    }
    AIQueue& q = AIQueues[c];
    if (!q.tail) q.tail = &q.head;
    msg->next = nullptr;
    *q.tail = msg;
    q.tail = &msg->next;
    return c;
}

void FreeAIMessage(AIMessage* msg) {
    if (!msg) return;
    qzFree(msg->units);
    if (msg->path) {
        FreeWayPointList(msg->path->points);
        qzFree(msg->path);
    }
    qzFree(msg);
}

AIOrder* NewAIOrder(int code, AIUnitRecord* agent, AIUnitRecord* target, const int32_t* point, intptr_t param) {
    AIOrder* order = static_cast<AIOrder*>(qzAlloc(sizeof(AIOrder), "ai order"));
    std::memset(order, 0, sizeof *order);
    order->code = code;
    order->agent = agent;
    order->target = target;
    if (point) std::memcpy(order->point, point, sizeof order->point);
    order->param = param;
    return order;
}

void FreeAIOrderList(AIOrder* first) {
    while (first) {
        AIOrder* next = first->next;
        aistubs_ProcessOrder(first);
        qzFree(first);
        first = next;
    }
}

void aistubs_ProcessOrder(AIOrder* order) {
    construct* con = order->agent ? order->agent->con : nullptr;
    // An order without a unit to act has nothing to act on.
    if (!con && order->code >= kOrderGoto && order->code <= kOrderStealthOff && order->code != 1) {
        DebugPrintf("aistubs_ProcessOrder: order %d without an agent\n", order->code);
        return;
    }
    switch (order->code) {
        case kOrderGoto:
            SetUnitAimPoint(con, order->point, uint8_t(order->param & 0xFF));
            break;
        case kOrderTarget: {
            construct* target = order->target ? order->target->con : nullptr;
            int32_t delay = 0;
            if (con->clan != PlayerClan) {
                Rule* r = FindRule("TargetAcquireDelay");
                if (r && r->count > 0) {
                    int skill = skill_level < 0 ? 0 : skill_level;
                    if (skill >= r->count) skill = r->count - 1;
                    delay = TruncateToInt32(r->values[skill]);
                }
            }
            SetUnitTarget(con, target, 3, delay);
            break;
        }
        case kOrderStealthOn: SetUnitDriveMode(con, 1); break;
        case kOrderStealthOff: SetUnitDriveMode(con, 0); break;
        default: FatalErrorF("Error(aistubs_ProcessOrder): order %d not implemented", order->code);
    }
}
