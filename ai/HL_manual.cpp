// Manual: the countdowns after the player's unit is hit or hits, and the help and close-in calls they end
// in; the thread ends when the unit leaves the player's control.
#include "ai/HL_manual.h"

#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "core/Memory.h"

namespace {
constexpr int32_t kHelpTicks = 40;
constexpr int32_t kCloseInTicks = 80;

uintptr_t Key(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}
}  // namespace

HL_manual::HL_manual(HL_clan* owner, int32_t threadSerial) {
    type = kHLManual;
    clan = owner;
    serial = threadSerial;
    PairList_Init(&reportedAttackers);
    PairList_Init(&reportedTargets);
}

HL_manual::HL_manual(HL_clan* owner, int32_t threadType, FILE* stream) {
    ImportHead(owner, threadType, stream);
    PairList_Init(&reportedAttackers);
    PairList_Init(&reportedTargets);
}

HL_manual::~HL_manual() {
    PairList_Free(&reportedAttackers);
    PairList_Free(&reportedTargets);
}

void HL_manual::Clear() {
    helpCountdown = closeInCountdown = 0;
    attacker = target = nullptr;
    reportedAttackers.count = 0;
    reportedTargets.count = 0;
}

void HL_manual::NotifyInserted() {
    if (agents.count > 1)
        return FatalErrorF("Error(HL_manual::NotifyInserted): wrong number of agents (%d)", agents.count);
    if (agents.count == 1) AgentAt(0)->SetStatus("%s_%d", TypeName(), serial);
    Clear();
}

void HL_manual::NotifyResumed(HL_agent* agent) {
    agent->SetStatus("%s_%d", TypeName(), serial);
}

void HL_manual::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgAttacked: {
            AIUnitRecord* victim = msg->unit;
            AIUnitRecord* hitter = msg->other;
            if (!victim || !hitter) return;
            // Hits between the player's unit and its own side or its allies start nothing.
            auto other = [this](const AIUnitRecord* rec) {
                return rec->ownerClan != clan->index && clan->GetHostility(rec->ownerClan) != kAllied;
            };
            if (AgentFor(victim) && other(hitter) && helpCountdown == 0) {
                helpCountdown = kHelpTicks;
                attacker = hitter;
            }
            if (AgentFor(hitter) && other(victim) && !PairList_Contains(&reportedTargets, Key(victim)) &&
                closeInCountdown == 0) {
                closeInCountdown = kCloseInTicks;
                target = victim;
            }
            return;
        }
        case kMsgManualOff:
        case kMsgManualOn2:
            if (HL_agent* agent = AgentFor(msg->type == kMsgManualOff ? msg->unit : msg->other))
                clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            return;
        default:
            return;
    }
}

void HL_manual::Update(int ticks) {
    if (agents.count != 1) return;
    HL_agent* agent = AgentAt(0);
    if (helpCountdown != 0) {
        helpCountdown -= ticks;
        if (helpCountdown < 1) {
            clan->PostMessage(NewHLMessage(kMsgHelpCall, agent, attacker, nullptr, 0));
            PairList_Append(&reportedAttackers, Key(attacker), GetFrameCounter());
            helpCountdown = 0;
            attacker = nullptr;
        }
    }
    if (closeInCountdown != 0) {
        closeInCountdown -= ticks;
        if (closeInCountdown <= 0) {
            clan->PostMessage(NewHLMessage(kMsgCloseIn, agent, target, nullptr, 0));
            PairList_Append(&reportedTargets, Key(target), GetFrameCounter());
            closeInCountdown = 0;
            target = nullptr;
        }
    }
}

void HL_manual::Export(FILE* file, uint32_t* counter) {
    ExportHead(file, counter);
}
