// Follow: two wings behind the leader (agents alternate between them), slots turned by the leader's
// orientation, hops to the wing or the centre column checked with the straight-way test, and the
// re-forming of the group when the player's control passes to another unit.
#include "ai/HL_follow.h"

#include <algorithm>
#include <string>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "ai/WayFinder.h"

namespace {

constexpr int32_t kWingStep = 40000;    // 16.16: sideways and back per place in a wing
constexpr int32_t kCentreStep = 30000;  // back per place in the centre column
constexpr int32_t kSlotSlack = 20000;   // a follower this much further than its slot is left alone
constexpr int32_t kNearHop = 60000;
constexpr int32_t kGiveUpDistance = 600000;
constexpr int32_t kHopTicks = 100;
constexpr int32_t kReturnTicks =
    500;  // a follower that cannot get to its slot straight returns for this long

// The leader's position plus the local vector (x right, z forward) turned into world axes.
void Slot(const AIUnitRecord* leader, double lx, double lz, int32_t out[3]) {
    const int32_t* m = leader->orient;
    for (int k = 0; k < 3; ++k) {
        const double w = (lx * m[k] + lz * m[6 + k]) / 32768.0;
        const double v = double(leader->pos[k]) + w;
        out[k] = v > 2147483647.0 ? INT32_MAX : v < -2147483648.0 ? INT32_MIN : int32_t(v);
    }
}

void RemoveOrdered(std::vector<HL_agent*>& wing, const HL_agent* agent) {
    auto it = std::find(wing.begin(), wing.end(), agent);
    if (it != wing.end()) wing.erase(it);
}

}  // namespace

HL_follow::HL_follow(HL_clan* owner, int32_t threadSerial, AIUnitRecord* leaderRec)
    : leader(leaderRec), formation(0), leaderIsManual(0) {
    type = kHLFollow;
    clan = owner;
    serial = threadSerial;
    leaderIsManual = owner->manual && owner->manual->unit == leaderRec ? 1 : 0;
}

HL_follow::HL_follow(HL_clan* owner, int32_t threadType, FILE* stream)
    : leader(nullptr), formation(0), leaderIsManual(0) {
    static const char* const who = "HL_clan::import";
    ImportHead(owner, threadType, stream);
    leader = aistubs_ReadAIUnit(stream, owner->index);
    formation = int32_t(aistream::GetU32(stream, who));
    leaderIsManual = int32_t(aistream::GetU32(stream, who));
    for (std::vector<HL_agent*>* wing : {&wingA, &wingB}) {
        const uint32_t n = aistream::GetU32(stream, who);
        for (uint32_t i = 0; i < n; ++i) wing->push_back(AgentAt(int(aistream::GetU32(stream, who))));
    }
    hops.resize(size_t(agents.count));
    for (Hop& h : hops) h.state = int32_t(aistream::GetU32(stream, who));
    for (Hop& h : hops) h.timer = int32_t(aistream::GetU32(stream, who));
}

void HL_follow::Sync() {
    while (hops.size() > size_t(agents.count)) hops.pop_back();
    while (hops.size() < size_t(agents.count)) hops.push_back({0, 0});
}

void HL_follow::WingSlot(bool onWingB, int k, int32_t out[3]) const {
    Slot(leader, double(onWingB ? kWingStep : -kWingStep) * (k + 1), -double(kWingStep) * (k + 1), out);
}

void HL_follow::CentreSlot(bool onWingB, int k, int32_t out[3]) const {
    Slot(leader, 0, -double(kCentreStep) * (onWingB ? 2 * k + 1 : 2 * k + 2), out);
}

void HL_follow::NotifyInserted() {
    hops.clear();
    wingA.clear();
    wingB.clear();
    for (int i = 0; i < agents.count; ++i)
        if (AgentAt(i)->unit == leader) {
            clan->ReleaseAgent(AgentAt(i), this, kHLTaskDone);
            break;
        }
    Sync();
    for (int i = 0; i < agents.count; ++i) {
        (i % 2 ? wingA : wingB).push_back(AgentAt(i));
        AgentAt(i)->SetStatus("%s_%d", TypeName(), serial);
    }
}

void HL_follow::NotifyAgentAdded(HL_agent* agent) {
    Sync();
    (wingB.size() > wingA.size() ? wingA : wingB).push_back(agent);
    agent->SetStatus("%s_%d", TypeName(), serial);
}

void HL_follow::RemoveAgent(HL_agent* agent) {
    Sync();
    RemoveOrdered(wingA, agent);
    RemoveOrdered(wingB, agent);
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    hops[size_t(i)] = hops.back();
    hops.pop_back();
}

void HL_follow::NotifyResumed(HL_agent* agent) {
    agent->SetStatus("%s_%d", TypeName(), serial);
}

bool HL_follow::HopTo(HL_agent* agent, Hop& h, const int32_t slot[3], int state, const char* status) {
    const AIUnitRecord* rec = agent->unit;
    int32_t reachable[3], reached[3];
    int blocked = 0;
    FindWayTree(leader->pos, slot, reachable, &blocked, rec->accessType);
    if (blocked) return false;
    FindWayTree(rec->pos, reachable, reached, &blocked, rec->accessType);
    if (blocked) {
        clan->PostMessage(NewHLMessage(kMsgSneakToReturn, agent, nullptr, reachable, kReturnTicks));
        return true;
    }
    const float heading[3] = {float(leader->orient[6]) / 32768.0f, float(leader->orient[7]) / 32768.0f,
                              float(leader->orient[8]) / 32768.0f};
    const int flag =
        agent->IsNotAhead(reached, heading) && HL_Distance(rec->pos, reached) <= kNearHop ? 1 : 0;
    GiveAIOrder(kOrderGoto, agent, nullptr, reached, flag);
    h.state = state;
    h.timer = kHopTicks;
    agent->SetStatus("%s_%d %s", TypeName(), serial, status);
    return true;
}

void HL_follow::Follow(HL_agent* agent, bool onWingB, int k, int ticks) {
    Hop& h = hops[size_t(HL_IndexOf(this, agent))];
    h.timer -= ticks;
    if (h.timer > 0) return;
    h.timer = 0;
    const AIUnitRecord* rec = agent->unit;
    int32_t wing[3], centre[3];
    WingSlot(onWingB, k, wing);
    CentreSlot(onWingB, k, centre);
    const int32_t behind = HL_Distance(leader->pos, rec->pos);
    const int32_t* slot = h.state == 0 ? wing : centre;
    if (int64_t(behind) <= int64_t(HL_Distance(leader->pos, slot)) + kSlotSlack) {
        agent->SetStatus("%s_%d", TypeName(), serial);
        return;
    }
    if (HopTo(agent, h, wing, 0, "hop to wing") || HopTo(agent, h, centre, 1, "hop to center")) return;
    h.timer = kHopTicks;
    agent->SetStatus("%s_%d hop impossible", TypeName(), serial);
    if (behind > kGiveUpDistance && !aistubs_vertex_at(leader->pos, rec->accessType)->accessible) {
        agent->Call("Call_FollowFailed", agent->unit);
        clan->ReleaseAgent(agent, this, kHLTaskDone);
    }
}

void HL_follow::Update(int ticks) {
    Sync();
    if (!leader) return;
    // Wing B first, then wing A; the slots count every agent of the wing, whether it acts or not. The wings
    // are taken as they stand now: an agent that gives up leaves them meanwhile.
    for (bool onWingB : {true, false}) {
        const std::vector<HL_agent*> wing = onWingB ? wingB : wingA;
        for (size_t k = 0; k < wing.size(); ++k)
            if (Holds(wing[k]) && !LinkOf(wing[k])) Follow(wing[k], onWingB, int(k), ticks);
    }
}

void HL_follow::Regroup(AIMessage* msg) {
    HL_agent* first = clan->AgentOf(msg->unit);
    if (!first || !Holds(first)) return HL_ReleaseAll(this, kHLConditionLapsed);
    // The player took over one of the followers: the group, with the old leader, follows that unit now.
    std::vector<HL_agent*> group;
    if (HL_agent* old = clan->AgentOf(leader)) group.push_back(old);
    for (int i = 0; i < agents.count; ++i)
        if (AgentAt(i) != first) group.push_back(AgentAt(i));
    HL_ReleaseAll(this, kHLConditionLapsed);
    clan->PostMessage(NewHLUnitsMessage(kMsgFollow, group, msg->unit, 0));
}

void HL_follow::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgAttacked: {
            // The follower shoots back without leaving the formation.
            HL_agent* agent = AgentFor(msg->unit);
            if (agent && !LinkOf(agent) && HL_CanAnswerAttack(clan, agent, msg->other))
                GiveAIOrder(kOrderTarget, agent, msg->other, nullptr, 0);
            return;
        }
        case kMsgHelpCall:
        case kMsgCloseIn:
            HL_AnswerHelpCall(this, msg);
            return;
        case kMsgJoinFollow: {
            HL_agent* agent = clan->AgentOf(msg->unit);
            if (msg->other && msg->other == leader && int32_t(msg->param) != serial && agent && !Holds(agent))
                clan->InsertAgent(this, agent);
            return;
        }
        case kMsgManualOn:
            if (HL_agent* agent = AgentFor(msg->unit)) clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            return;
        case kMsgManualOff:
            if (msg->unit && msg->unit == leader && clan->AgentOf(msg->unit))
                HL_ReleaseAll(this, kHLConditionLapsed);
            return;
        case kMsgManualOn2:
            if (msg->other && msg->other == leader) Regroup(msg);
            return;
        case kMsgFollow: {
            if (!msg->unit || msg->unit != leader) return;
            // Followers left out of the new group go to the leader's other FOLLOW thread.
            for (bool again = true; again;) {
                again = false;
                for (int i = 0; i < agents.count && !again; ++i) {
                    HL_agent* agent = AgentAt(i);
                    bool listed = false;
                    for (AIUnitRecord** r = msg->units; r && *r && !listed; ++r) listed = *r == agent->unit;
                    if (listed) continue;
                    clan->ReleaseAgent(agent, this, kHLConditionLapsed);
                    clan->PostMessage(NewHLMessage(kMsgJoinFollow, agent->unit, leader, nullptr, serial));
                    again = true;
                }
            }
            return;
        }
        default:
            return;
    }
}

void HL_follow::Export(FILE* file, uint32_t* counter) {
    Sync();
    auto put = [&](uint32_t v) {
        aistream::PutU32(file, v);
        *counter += 4;
    };
    ExportHead(file, counter);
    aistubs_WriteAIUnit(file, leader, counter);
    put(uint32_t(formation));
    put(uint32_t(leaderIsManual));
    for (const std::vector<HL_agent*>* wing : {&wingA, &wingB}) {
        put(uint32_t(wing->size()));
        for (HL_agent* a : *wing) put(uint32_t(HL_IndexOf(this, a)));
    }
    for (const Hop& h : hops) put(uint32_t(h.state));
    for (const Hop& h : hops) put(uint32_t(h.timer));
}

void HL_follow::CheckSaved(HL_SavedCheck& in, uint32_t n) {
    std::string key;
    in.UnitRef("a follow's leader", false, &key);
    in.Block(2, 4, "a follow's words");
    // Every follower stands in one wing, once.
    std::vector<bool> placed(n, false);
    uint32_t total = 0;
    for (int wing = 0; wing < 2 && in.ok(); ++wing) {
        const uint32_t count = in.Count(4, "wing agents");
        if (in.ok() && count > n) return in.Fail("a wing of %u agents in a follow of %u", count, n);
        for (uint32_t i = 0; i < count && in.ok(); ++i) {
            const uint32_t k = in.Index(n, "a wing's agent");
            if (in.ok() && placed[k]) return in.Fail("agent %u stands in a follow's wings twice", k);
            if (in.ok()) placed[k] = true;
        }
        total += count;
    }
    if (in.ok() && total != n) return in.Fail("%u of a follow's %u agents stand in no wing", n - total, n);
    in.Block(n, 8, "a follow's hops");
}
