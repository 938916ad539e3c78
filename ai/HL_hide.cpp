// Hide: stealth wanted at the hiding place, the hiders' countdowns, the switch to HOLD under attack, and
// the stealth cleared whenever a hider leaves or another behaviour is stacked over the hide.
#include "ai/HL_hide.h"

#include "ai/AIStream.h"
#include "ai/Clan.h"

namespace {
constexpr int32_t kHideTicks = 1600;  // 16 seconds at game speed 1
}

HL_hide::HL_hide(HL_clan* owner, int32_t threadSerial, int32_t flag) : hidingFlag(flag) {
    type = kHLHide;
    clan = owner;
    serial = threadSerial;
}

HL_hide::HL_hide(HL_clan* owner, int32_t threadType, FILE* stream) : hidingFlag(0) {
    static const char* const who = "HL_clan::import";
    ImportHead(owner, threadType, stream);
    hidingFlag = int32_t(aistream::GetU32(stream, who));
    hiders.resize(size_t(agents.count));
    for (Hider& h : hiders) h.timer = int32_t(aistream::GetU32(stream, who));
    for (Hider& h : hiders)
        for (int32_t& v : h.place) v = int32_t(aistream::GetU32(stream, who));
}

void HL_hide::Sync() {
    while (hiders.size() > size_t(agents.count)) hiders.pop_back();
    for (size_t i = hiders.size(); i < size_t(agents.count); ++i) {
        const int32_t* pos = AgentAt(int(i))->unit->pos;
        hiders.push_back({kHideTicks, {pos[0], pos[1], pos[2]}});
    }
}

void HL_hide::NotifyInserted() {
    hiders.clear();
    Sync();
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        GiveAIOrder(kOrderGoto, agent, nullptr, hiders[size_t(i)].place.data(), 0);
        GiveAIOrder(kOrderStealthOn, agent, nullptr, nullptr, 0);
        agent->SetStatus("%s_%d", TypeName(), serial);
    }
}

void HL_hide::RemoveAgent(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    hiders[size_t(i)] = hiders.back();
    hiders.pop_back();
    GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
}

void HL_hide::NotifySuperseded(HL_agent* agent) {
    GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
}

void HL_hide::NotifyResumed(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    const int last = agent->lastThreadType;
    if (last == kHLAttack && HL_AnyClassFlag(agent->unit)) {
        clan->PostMessage(NewHLMessage(kMsgSneakToReturn, agent, nullptr, hiders[size_t(i)].place.data(), 0));
    } else if (last == kHLGotoReturn || last == kHLSneakToReturn) {
        GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
        GiveAIOrder(kOrderStealthOn, agent, nullptr, nullptr, 0);
        hiders[size_t(i)].timer = kHideTicks;
    }
    agent->SetStatus("%s_%d", TypeName(), serial);
}

void HL_hide::Update(int ticks) {
    Sync();
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        Hider& h = hiders[size_t(i)];
        if (LinkOf(agent) || h.timer == 0) continue;
        h.timer -= ticks;
        if (h.timer >= 1) continue;
        h.timer = 0;
        if (agent->unit->stealthEngaged || hidingFlag) continue;
        // The stealth did not engage in time: the hide has failed.
        if (clan->IsPlayerClan()) agent->Call("Call_HideFailed", agent->unit);
        return clan->ReleaseAgent(agent, this, kHLTaskDone);
    }
}

void HL_hide::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgAttacked: {
            HL_agent* agent = AgentFor(msg->unit);
            if (agent && !LinkOf(agent) && agent != clan->manual && msg->other &&
                clan->GetHostility(msg->other->ownerClan) == kHostile)
                clan->PostMessage(NewHLMessage(kMsgHold, agent, 0));
            return;
        }
        case kMsgManualOff:
        case kMsgManualOn2: {
            HL_agent* agent = AgentFor(msg->type == kMsgManualOff ? msg->unit : msg->other);
            if (agent && !(agent->unit->stealthEngaged && agent->unit->stealthWanted))
                clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            return;
        }
        default:
            return;
    }
}

void HL_hide::Export(FILE* file, uint32_t* counter) {
    Sync();
    auto put = [&](uint32_t v) {
        aistream::PutU32(file, v);
        *counter += 4;
    };
    ExportHead(file, counter);
    put(uint32_t(hidingFlag));
    for (const Hider& h : hiders) put(uint32_t(h.timer));
    for (const Hider& h : hiders)
        for (int32_t v : h.place) put(uint32_t(v));
}

void HL_hide::CheckSaved(HL_SavedCheck& in, uint32_t n) {
    in.Block(1, 4, "a hide's flag");
    in.Block(n, 16, "a hide's hiders");
}
