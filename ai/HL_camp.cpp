// Camp and hold behaviours: each agent keeps a camp point; attacks on a camping or holding unit and
// help calls of attacking units nearby start attacks; holding units engage targets and threats within
// reach each step; a unit coming back from a passing behaviour returns to its camp point or camps where
// it stands.
#include "ai/HL_camp.h"

#include <algorithm>
#include <cstring>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"

namespace {

constexpr int32_t kHelpReach = 200000;  // 16.16, about 3.05 tiles
constexpr int32_t kHoldReach = 350000;  // about 5.34 tiles

bool AnyClassFlag(const AIUnitRecord* rec) {
    return rec->class9 || rec->class4 || rec->class2;
}

}  // namespace

HL_camp::HL_camp(int mode, HL_clan* owner, int32_t threadSerial) {
    type = mode;
    clan = owner;
    serial = threadSerial;
}

HL_camp::HL_camp(HL_clan* owner, int32_t threadType, FILE* stream) {
    ImportHead(owner, threadType, stream);
    points_.resize(size_t(agents.count));
    for (auto& p : points_)
        for (int32_t& v : p) v = int32_t(aistream::GetU32(stream, "HL_clan::import"));
}

void HL_camp::SyncPoints() {
    while (points_.size() > size_t(agents.count)) points_.pop_back();
    for (size_t i = points_.size(); i < size_t(agents.count); ++i) {
        const AIUnitRecord* rec = AgentAt(int(i))->unit;
        points_.push_back({rec->pos[0], rec->pos[1], rec->pos[2]});
    }
}

const int32_t* HL_camp::CampPoint(int i) {
    SyncPoints();
    return i >= 0 && size_t(i) < points_.size() ? points_[size_t(i)].data() : nullptr;
}

void HL_camp::NotifyInserted() {
    points_.clear();
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        const int32_t* pos = agent->unit->pos;
        points_.push_back({pos[0], pos[1], pos[2]});
        GiveAIOrder(kOrderGoto, agent, nullptr, pos, 0);
        agent->SetStatus("%s_%d", TypeName(), serial);
    }
}

void HL_camp::RemoveAgent(HL_agent* agent) {
    SyncPoints();
    const int i = PairList_IndexOf(&agents, reinterpret_cast<uintptr_t>(agent));
    if (i < 0) return;
    points_[size_t(i)] = points_.back();
    points_.pop_back();
}

void HL_camp::NotifyResumed(HL_agent* agent) {
    SyncPoints();
    const int i = PairList_IndexOf(&agents, reinterpret_cast<uintptr_t>(agent));
    if (i < 0) return;
    AIUnitRecord* rec = agent->unit;
    auto& camp = points_[size_t(i)];
    const int last = agent->lastThreadType;
    if (last == kHLAttack && agent->releaseReason != kHLThreadEnded && AnyClassFlag(rec)) {
        if (type == kHLCamp)
            clan->PostMessage(NewHLMessage(kMsgSneakToReturn, agent, nullptr, camp.data(), 0));
        if (type == kHLHold) clan->PostMessage(NewHLMessage(kMsgGotoReturn, agent, nullptr, camp.data(), 0));
    } else if (last == kHLGoto || last == kHLSneakTo || last == kHLPatrol || last == kHLFollow ||
               last == kHLGotoReturn || last == kHLSneakToReturn || last == kHLHoldWhileHearing) {
        GiveAIOrder(kOrderGoto, agent, nullptr, rec->pos, 0);
        camp = {rec->pos[0], rec->pos[1], rec->pos[2]};
    }
    agent->SetStatus("%s_%d", TypeName(), serial);
}

bool HL_camp::Acting(HL_agent* agent) const {
    return agent && !LinkOf(agent) && agent != clan->manual;
}

bool HL_camp::CanHelp(HL_agent* agent, const AIUnitRecord* caller, const AIUnitRecord* target) const {
    int32_t nearLimit = 0, second = 0, range = 0;
    return agent->GetWeaponRange(&nearLimit, &second, &range) && agent->DistanceTo(caller, kHelpReach) >= 1 &&
           !PairList_Contains(&agent->targets, reinterpret_cast<uintptr_t>(target));
}

void HL_camp::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgAttacked: {
            HL_agent* agent = AgentFor(msg->unit);
            AIUnitRecord* attacker = msg->other;
            if (!Acting(agent) || !attacker || clan->GetHostility(attacker->ownerClan) != kHostile) return;
            int32_t nearLimit = 0, second = 0, range = 0;
            if (!agent->GetWeaponRange(&nearLimit, &second, &range)) return;
            const int32_t reach = agent->unit->target ? range : kHLDefaultAttackRange;
            int32_t reached[3];
            if (agent->DistanceTo(attacker, reach) >= 1 && agent->BlockedTowards(attacker, reached) == 0)
                clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, attacker, nullptr, 0));
            return;
        }
        case kMsgHelpCall:
        case kMsgCloseIn: {
            if (!msg->unit || !msg->other) return;
            for (int i = 0; i < agents.count; ++i) {
                HL_agent* agent = AgentAt(i);
                if (LinkOf(agent) || !CanHelp(agent, msg->unit, msg->other)) continue;
                if (msg->type == kMsgHelpCall)
                    clan->PostMessage(
                        NewHLMessage(kMsgAttackInRange, agent, msg->other, nullptr, kHLDefaultAttackRange));
                else
                    agent->Call("Call_ReadyToCloseIn", agent->unit);
            }
            return;
        }
        case kMsgManualOff:
        case kMsgManualOn2: {
            HL_agent* agent = AgentFor(msg->type == kMsgManualOff ? msg->unit : msg->other);
            if (!agent) return;
            GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
            SyncPoints();
            const int i = PairList_IndexOf(&agents, reinterpret_cast<uintptr_t>(agent));
            const int32_t* pos = agent->unit->pos;
            points_[size_t(i)] = {pos[0], pos[1], pos[2]};
            return;
        }
        default:
            return;
    }
}

void HL_camp::Update(int ticks) {
    (void)ticks;
    if (type == kHLCamp) return;
    // The clan's hostile threats in list order, gathered once for all agents of the step.
    std::vector<AIUnitRecord*> hostile;
    for (int k = 0; k < clan->threats.count; ++k) {
        auto* threat = reinterpret_cast<AIUnitRecord*>(clan->threats.keys[k]);
        if (threat && clan->GetHostility(threat->ownerClan) == kHostile) hostile.push_back(threat);
    }
    struct Candidate {
        int32_t distance;
        int order;
        AIUnitRecord* rec;
    };
    std::vector<Candidate> candidates;
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        if (!Acting(agent)) continue;
        AIUnitRecord* rec = agent->unit;
        if (type == kHLHoldWhileHearing && !rec->alerted) {
            clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            return;
        }
        if (rec->target && rec->targetDistance < kHoldReach) {
            clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, rec->target, nullptr, 0));
            continue;
        }
        int32_t nearLimit = 0, second = 0, range = 0;
        if (!agent->GetWeaponRange(&nearLimit, &second, &range)) continue;
        // The nearest hostile threat in reach that the unit can fight: candidates by distance (list order
        // among equals), the first one not blocked wins, so the costly line test runs only as needed.
        candidates.clear();
        for (size_t k = 0; k < hostile.size(); ++k) {
            const int32_t d = agent->DistanceTo(hostile[k], kHoldReach);
            if (d >= 1) candidates.push_back({d, int(k), hostile[k]});
        }
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.distance != b.distance ? a.distance < b.distance : a.order < b.order;
        });
        for (const Candidate& c : candidates) {
            int32_t reached[3];
            if (agent->BlockedTowards(c.rec, reached) != 0) continue;
            clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, c.rec, nullptr, 0));
            break;
        }
    }
}

void HL_camp::Export(FILE* file, uint32_t* counter) {
    ExportHead(file, counter);
    SyncPoints();
    for (const auto& p : points_)
        for (int32_t v : p) {
            aistream::PutU32(file, uint32_t(v));
            *counter += 4;
        }
}

void HL_camp::CheckSaved(HL_SavedCheck& in, uint32_t n) {
    if (in.ok() && uint64_t(n) * 12 > in.Left())
        return in.Fail("the camp points of %u agents are cut short", n);
    in.Skip(size_t(n) * 12);
}
