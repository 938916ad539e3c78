// What the behaviour classes share: answering an attacker, the nearest hostile threat in reach, help and
// close-in calls, releasing a thread's agents.
#include <algorithm>
#include <cmath>

#include "ai/Clan.h"
#include "ai/HiLogic_local.h"

bool HL_AnyClassFlag(const AIUnitRecord* rec) {
    return rec->class9 || rec->class4 || rec->class2;
}

int32_t HL_Distance(const int32_t a[3], const int32_t b[3]) {
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
        const double d = double(b[k]) - double(a[k]);
        sum += d * d;
    }
    const double l = std::sqrt(sum);
    return l >= 2147483647.0 ? INT32_MAX : int32_t(l);
}

bool HL_CanAnswerAttack(const HL_clan* clan, HL_agent* agent, AIUnitRecord* attacker) {
    if (!attacker || clan->GetHostility(attacker->ownerClan) != kHostile) return false;
    int32_t nearLimit = 0, second = 0, range = 0;
    if (!agent->GetWeaponRange(&nearLimit, &second, &range)) return false;
    const int32_t reach = agent->unit->target ? range : kHLDefaultAttackRange;
    int32_t reached[3];
    return agent->DistanceTo(attacker, reach) >= 1 && agent->BlockedTowards(attacker, reached) == 0;
}

AIUnitRecord* HL_NearestHostileThreat(const HL_clan* clan, HL_agent* agent, int32_t reach) {
    struct Candidate {
        int32_t distance;
        int order;
        AIUnitRecord* rec;
    };
    std::vector<Candidate> candidates;
    for (int k = 0; k < clan->threats.count; ++k) {
        auto* threat = reinterpret_cast<AIUnitRecord*>(clan->threats.keys[k]);
        if (!threat || clan->GetHostility(threat->ownerClan) != kHostile) continue;
        const int32_t d = agent->DistanceTo(threat, reach);
        if (d >= 1) candidates.push_back({d, k, threat});
    }
    // Nearest first (list order among equals): the first one not blocked is the nearest such, and the
    // costly line test runs only as far as needed.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.order < b.order;
    });
    for (const Candidate& c : candidates) {
        int32_t reached[3];
        if (agent->BlockedTowards(c.rec, reached) == 0) return c.rec;
    }
    return nullptr;
}

void HL_AnswerHelpCall(HL_thread* thread, const AIMessage* msg) {
    if (!msg->unit || !msg->other) return;
    for (int i = 0; i < thread->AgentCount(); ++i) {
        HL_agent* agent = thread->AgentAt(i);
        if (thread->LinkOf(agent)) continue;
        int32_t nearLimit = 0, second = 0, range = 0;
        if (!agent->GetWeaponRange(&nearLimit, &second, &range) ||
            agent->DistanceTo(msg->unit, kHLHelpReach) < 1 ||
            PairList_Contains(&agent->targets, reinterpret_cast<uintptr_t>(msg->other)))
            continue;
        if (msg->type == kMsgHelpCall)
            thread->clan->PostMessage(
                NewHLMessage(kMsgAttackInRange, agent, msg->other, nullptr, kHLDefaultAttackRange));
        else
            agent->Call("Call_ReadyToCloseIn", agent->unit);
    }
}

void HL_ReleaseAll(HL_thread* thread, int reason) {
    while (thread->AgentCount() > 0) thread->clan->ReleaseAgent(thread->AgentAt(0), thread, reason);
}

int HL_IndexOf(const HL_thread* thread, const HL_agent* agent) {
    return PairList_IndexOf(&thread->agents, reinterpret_cast<uintptr_t>(agent));
}
