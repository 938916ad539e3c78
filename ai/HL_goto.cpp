// Goto behaviours: way planning with the way tree search, the group's places kept around its centre, hop
// by hop along the planned lists as the units report their aim points done, the return after an
// interruption, the chase of a target out of sight and the engagement of threats in reach.
#include "ai/HL_goto.h"

#include <cmath>
#include <cstring>
#include <string>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "ai/WayPointList.h"
#include "ai/WayTree.h"

namespace {

constexpr int32_t kFirstDepth = 25;
constexpr int32_t kLastDoubledDepth = 1023;  // depths 25, 50, ... 1600 are tried
constexpr int32_t kGroupRadius = 55000;      // 16.16: an agent's place in the group is at most this far out
constexpr int32_t kNearHop = 60000;          // a last point this near and behind the unit is backed onto
constexpr int kWayListCapacity = 1024;

bool Returning(int mode) {
    return mode == kHLGotoReturn || mode == kHLSneakToReturn;
}
bool Sneaking(int mode) {
    return mode == kHLSneakTo || mode == kHLSneakToReturn;
}

}  // namespace

wpl* PlanWayPointList(const int32_t start[3], const int32_t goal[3], int accessType) {
    int32_t to[3] = {goal[0], goal[1], goal[2]};
    int32_t depth = kFirstDepth;
    bool corrected = false;
    for (;;) {
        int32_t result = kWayImpossible, out[3];
        WayTreeNode* tree = TestWay(start, to, accessType, depth, &result, out);
        if (tree) {
            WayLeaf leaves[kMaxWayLeaves];
            int n = 0;
            CollectWayTreeLeaves(tree, leaves, &n);
            wpl* list = nullptr;
            if (n > 0) {
                list = CreateWayPointList(kWayListCapacity, "way point list");
                BuildWayFromPath(tree, leaves[0].path, list);
                if (list->count == 0) {
                    FreeWayPointList(list);
                    list = nullptr;
                }
            }
            FreeWayTree(tree);
            return list;
        }
        if (result == kWayEndInaccessible && !corrected) {
            corrected = true;
            std::memcpy(to, out, sizeof to);
        } else if (result == kWayTruncated && depth <= kLastDoubledDepth) {
            depth *= 2;
        } else {
            return nullptr;
        }
    }
}

HL_goto::HL_goto(int mode, HL_clan* owner, int32_t threadSerial, const int32_t dest[3],
                 AIUnitRecord* chasedUnit, int32_t limit, int32_t open)
    : chased(chasedUnit), openDestination(open), timeLimit(limit) {
    type = mode;
    clan = owner;
    serial = threadSerial;
    for (int k = 0; k < 3; ++k) destination[k] = dest ? dest[k] : 0;
}

HL_goto::HL_goto(HL_clan* owner, int32_t threadType, FILE* stream)
    : chased(nullptr), openDestination(0), timeLimit(0) {
    static const char* const who = "HL_clan::import";
    ImportHead(owner, threadType, stream);
    for (int32_t& v : destination) v = int32_t(aistream::GetU32(stream, who));
    chased = aistubs_ReadAIUnit(stream, owner->index);
    openDestination = int32_t(aistream::GetU32(stream, who));
    timeLimit = int32_t(aistream::GetU32(stream, who));
    ways_.resize(size_t(agents.count));
    for (AgentWay& w : ways_) w.way = ReadWayPointList(stream);
    for (AgentWay& w : ways_) w.hop = int32_t(aistream::GetU32(stream, who));
    for (AgentWay& w : ways_) w.fromAttack = int32_t(aistream::GetU32(stream, who));
}

HL_goto::~HL_goto() {
    for (AgentWay& w : ways_) FreeWayPointList(w.way);
}

void HL_goto::Sync() {
    while (ways_.size() > size_t(agents.count)) {
        FreeWayPointList(ways_.back().way);
        ways_.pop_back();
    }
    while (ways_.size() < size_t(agents.count)) ways_.push_back({nullptr, 0, 0});
}

const wpl* HL_goto::WayOf(int i) const {
    return i >= 0 && size_t(i) < ways_.size() ? ways_[size_t(i)].way : nullptr;
}

int32_t HL_goto::HopOf(int i) const {
    return i >= 0 && size_t(i) < ways_.size() ? ways_[size_t(i)].hop : 0;
}

int32_t HL_goto::HopPoint(const AgentWay& w) {
    // A hop index from a saved game may lie outside the list: the nearest end of the list stands for it.
    return w.hop < 0 ? 0 : w.hop >= w.way->count ? w.way->count - 1 : w.hop;
}

void HL_goto::OrderHop(HL_agent* agent, const wpl* way, int32_t hop) {
    const int32_t* point = way->points[hop];
    const int flag =
        hop == way->count - 1 && HL_Distance(agent->unit->pos, point) < kNearHop && !agent->IsAhead(point);
    GiveAIOrder(kOrderGoto, agent, nullptr, point, flag);
}

void HL_goto::NotifyInserted() {
    Sync();
    const int n = agents.count;
    int64_t sum[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i) {
        HL_agent* agent = AgentAt(i);
        agent->SetStatus("%s_%d hop 1", TypeName(), serial);
        for (int k = 0; k < 3; ++k) sum[k] += agent->unit->pos[k];
    }
    int32_t centre[3];
    for (int k = 0; k < 3; ++k) centre[k] = n > 1 ? int32_t(sum[k] / n) : int32_t(sum[k]);
    for (int i = 0; i < n; ++i) {
        HL_agent* agent = AgentAt(i);
        AIUnitRecord* rec = agent->unit;
        AgentWay& w = ways_[size_t(i)];
        FreeWayPointList(w.way);
        w = {nullptr, 0, 0};
        if (openDestination) {
            GiveAIOrder(kOrderGoto, agent, nullptr, rec->pos, 0);
            continue;
        }
        // The agent keeps its place around the group's centre, at most 55000 out.
        double offset[3];
        double length = 0;
        for (int k = 0; k < 3; ++k) {
            offset[k] = double(rec->pos[k]) - double(centre[k]);
            length += offset[k] * offset[k];
        }
        length = std::sqrt(length);
        if (length > kGroupRadius)
            for (double& v : offset) v = v * kGroupRadius / length;
        int32_t goal[3];
        for (int k = 0; k < 3; ++k) {
            const double g = double(destination[k]) + std::trunc(offset[k]);
            goal[k] = g > 2147483647.0 ? INT32_MAX : g < -2147483648.0 ? INT32_MIN : int32_t(g);
        }
        w.way = PlanWayPointList(rec->pos, goal, rec->accessType);
        w.hop = 1;
        if (w.way) {
            const int32_t* head = w.way->points[w.way->count > 1 ? 1 : 0];
            const int flag =
                w.way->count == 2 && HL_Distance(rec->pos, head) < kNearHop && !agent->IsAhead(head);
            GiveAIOrder(kOrderGoto, agent, nullptr, head, flag);
            if (Sneaking(type)) GiveAIOrder(kOrderTarget, agent, nullptr, nullptr, 0);
        }
        w.fromAttack = agent->lastThreadType == kHLAttack ? 1 : 0;
    }
    if (openDestination) return;
    // Agents for which no way was found leave at once.
    for (;;) {
        HL_agent* lost = nullptr;
        for (int i = 0; i < agents.count && !lost; ++i)
            if (!ways_[size_t(i)].way) lost = AgentAt(i);
        if (!lost) return;
        clan->ReleaseAgent(lost, this, kHLTaskDone);
    }
}

void HL_goto::RemoveAgent(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    FreeWayPointList(ways_[size_t(i)].way);
    ways_[size_t(i)] = ways_.back();
    ways_.pop_back();
}

void HL_goto::NotifyResumed(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    const int last = agent->lastThreadType;
    const AgentWay& w = ways_[size_t(i)];
    const bool hasWay = w.way && w.way->count > 0;
    // A SNEAKTO without a destination has no way point to go back to: its agent stays where it stands.
    if (last == kHLAttack) {
        if (!hasWay)
            GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
        else if (type == kHLGoto)
            clan->PostMessage(NewHLMessage(kMsgSneakToReturn, agent, nullptr, w.way->points[HopPoint(w)], 0));
        else if (type == kHLSneakTo)
            clan->PostMessage(NewHLMessage(kMsgGotoReturn, agent, nullptr, w.way->points[HopPoint(w)], 0));
    } else if (last == kHLGotoReturn || last == kHLSneakToReturn || last == kHLHoldWhileHearing) {
        if (agent->releaseReason != kHLConditionLapsed) {
            agent->SetStatus("%s_%d hop %d", TypeName(), serial, w.hop);
            clan->ReleaseAgent(agent, this, kHLTaskDone);
            return;
        }
        if (hasWay)
            OrderHop(agent, w.way, HopPoint(w));
        else
            GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
    }
    agent->SetStatus("%s_%d hop %d", TypeName(), serial, ways_[size_t(i)].hop);
}

void HL_goto::Update(int ticks) {
    Sync();
    if (timeLimit > 0) {
        timeLimit -= ticks;
        if (timeLimit <= 0) {
            HL_ReleaseAll(this, kHLConditionLapsed);
            return;
        }
    }
    int32_t nearLimit = 0, second = 0, range = 0;
    if (Returning(type))
        for (int i = 0; i < agents.count; ++i) {
            HL_agent* agent = AgentAt(i);
            const AIUnitRecord* rec = agent->unit;
            if (!LinkOf(agent) && rec->alerted && !rec->target &&
                agent->GetWeaponRange(&nearLimit, &second, &range))
                clan->PostMessage(NewHLMessage(kMsgHoldWhileHearing, agent, 0));
        }
    if (type == kHLGoto || type == kHLGotoReturn)
        for (int i = 0; i < agents.count; ++i) {
            HL_agent* agent = AgentAt(i);
            if (LinkOf(agent) || ways_[size_t(i)].fromAttack || agent->unit->target ||
                !agent->GetWeaponRange(&nearLimit, &second, &range))
                continue;
            if (AIUnitRecord* threat = HL_NearestHostileThreat(clan, agent, kHLThreatReach))
                clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, threat, nullptr, 0));
        }
    if (type != kHLChase) return;
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        if (LinkOf(agent)) continue;
        const AIUnitRecord* rec = agent->unit;
        if (!agent->GetWeaponRange(&nearLimit, &second, &range))
            return clan->ReleaseAgent(agent, this, kHLTaskDone);
        if (rec->target) {
            // The target is seen in range again: the attack below takes over.
            if (!(rec->targetFlags & (kThreatObstructed | kThreatFriendInLine)) &&
                rec->targetDistance < range)
                return clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            continue;
        }
        if (!chased || chased->structure <= 0) return clan->ReleaseAgent(agent, this, kHLTaskDone);
        if (PairList_Contains(&clan->threats, reinterpret_cast<uintptr_t>(chased))) {
            GiveAIOrder(kOrderTarget, agent, chased, nullptr, 0);
            return clan->ReleaseAgent(agent, this, kHLConditionLapsed);
        }
    }
}

void HL_goto::ManualControl(AIMessage* msg, HL_agent* agent) {
    (void)msg;
    if (!agent) return;
    clan->ReleaseAgent(agent, this, kHLTaskDone);
    if (type == kHLGoto) clan->PostMessage(NewHLMessage(kMsgHold, agent, 0));
}

void HL_goto::HandleMessage(AIMessage* msg) {
    Sync();
    switch (msg->type) {
        case kMsgAimPointDone: {
            HL_agent* agent = AgentFor(msg->unit);
            if (!Current(agent)) return;
            AgentWay& w = ways_[size_t(HL_IndexOf(this, agent))];
            if (!w.way) return clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            if (++w.hop < w.way->count) {
                OrderHop(agent, w.way, w.hop);
                agent->SetStatus("%s_%d hop %d", TypeName(), serial, w.hop);
                return;
            }
            // Arrived.
            clan->ReleaseAgent(agent, this, type == kHLChase ? kHLTaskDone : kHLConditionLapsed);
            if (type == kHLGoto) clan->PostMessage(NewHLMessage(kMsgHold, agent, 0));
            return;
        }
        case kMsgAttacked: {
            HL_agent* agent = AgentFor(msg->unit);
            if (!Current(agent) || ways_[size_t(HL_IndexOf(this, agent))].fromAttack) return;
            if (HL_CanAnswerAttack(clan, agent, msg->other))
                clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, msg->other, nullptr, 0));
            return;
        }
        case kMsgHostileDetected: {
            HL_agent* agent = AgentFor(msg->unit);
            if (type != kHLSneakTo || !Current(agent) || !clan->IsPlayerClan() ||
                PairList_Contains(&clan->threats, reinterpret_cast<uintptr_t>(msg->other)))
                return;
            agent->Call("Call_SneakStopped", agent->unit);
            HL_ReleaseAll(this, kHLTaskDone);
            return;
        }
        case kMsgHelpCall:
        case kMsgCloseIn:
            if (type == kHLGoto || type == kHLSneakTo) HL_AnswerHelpCall(this, msg);
            return;
        case kMsgManualOff:
            if (HL_agent* agent = AgentFor(msg->unit))
                GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
            return;
        case kMsgManualOn2:
            if (HL_agent* agent = AgentFor(msg->other))
                GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
            ManualControl(msg, AgentFor(msg->unit));
            return;
        case kMsgManualOn:
            ManualControl(msg, AgentFor(msg->unit));
            return;
        default:
            return;
    }
}

void HL_goto::Export(FILE* file, uint32_t* counter) {
    Sync();
    auto put = [&](uint32_t v) {
        aistream::PutU32(file, v);
        *counter += 4;
    };
    ExportHead(file, counter);
    for (int32_t v : destination) put(uint32_t(v));
    aistubs_WriteAIUnit(file, chased, counter);
    put(uint32_t(openDestination));
    put(uint32_t(timeLimit));
    for (const AgentWay& w : ways_) WriteWayPointList(file, w.way, counter);
    for (const AgentWay& w : ways_) put(uint32_t(w.hop));
    for (const AgentWay& w : ways_) put(uint32_t(w.fromAttack));
}

void HL_goto::CheckSaved(HL_SavedCheck& in, uint32_t n) {
    in.Block(1, 12, "a goto's destination");
    std::string key;
    in.UnitRef("a chase's unit", true, &key);
    in.Block(2, 4, "a goto's flags");
    std::vector<uint32_t> kept;
    for (uint32_t i = 0; i < n && in.ok(); ++i) kept.push_back(in.WayList("a goto's way", true));
    if (in.ok() && uint64_t(n) * 8 > in.Left()) return in.Fail("the hops of %u agents are cut short", n);
    // A hop names the point an agent heads for: within its list, or just past it.
    for (uint32_t i = 0; i < n && in.ok(); ++i)
        if (const uint32_t hop = in.U32(); in.ok() && hop > kept[i])
            in.Fail("agent %u of a goto heads for point %u of %u", i, hop, kept[i]);
    in.Block(n, 4, "a goto's from-attack flags");
}
