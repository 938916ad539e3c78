// Attack: per agent a help call every 80 ticks with the strength of both sides, and a tactic chosen each
// step from the weapon's near limit and range, the target's distance and detection flags and the turret's
// elevation limits. A target out of sight is handed to a chase; a target gone or out of reach ends the
// agent's part.
#include "ai/HL_attack.h"

#include <cstring>
#include <string>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "render/ScreenText.h"

namespace {

constexpr int32_t kHelpInterval = 80;         // ticks
constexpr int32_t kRepositionReach = 800000;  // 16.16, about 12.2 tiles
constexpr int32_t kRetreatStep = -50000;
constexpr int32_t kApproachStep = 50000;
constexpr int32_t kSidestep = 40000;
constexpr int32_t kRepositionSteps = 200;
constexpr int32_t kTacticSteps = 50;

uintptr_t Key(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

}  // namespace

HL_attack::HL_attack(HL_clan* owner, int32_t threadSerial, AIUnitRecord* targetRec, int32_t limit,
                     int32_t flag)
    : target(targetRec), rangeLimit(limit), playerFlag(flag) {
    type = kHLAttack;
    clan = owner;
    serial = threadSerial;
}

HL_attack::HL_attack(HL_clan* owner, int32_t threadType, FILE* stream)
    : target(nullptr), rangeLimit(0), playerFlag(0) {
    static const char* const who = "HL_clan::import";
    ImportHead(owner, threadType, stream);
    target = aistubs_ReadAIUnit(stream, owner->index);
    rangeLimit = int32_t(aistream::GetU32(stream, who));
    playerFlag = int32_t(aistream::GetU32(stream, who));
    enemyStrength = int32_t(aistream::GetU32(stream, who));
    ownStrength = int32_t(aistream::GetU32(stream, who));
    fights_.resize(size_t(agents.count));
    for (AgentFight& f : fights_)
        for (int32_t& v : f.start) v = int32_t(aistream::GetU32(stream, who));
    for (AgentFight& f : fights_) f.tactic = int32_t(aistream::GetU32(stream, who));
    for (AgentFight& f : fights_) {
        uint8_t b = 0;
        aistream::GetBytes(stream, &b, 1, who);
        f.side = b;
    }
    for (AgentFight& f : fights_) f.help = int32_t(aistream::GetU32(stream, who));
    for (AgentFight& f : fights_) f.timer = int32_t(aistream::GetU32(stream, who));
}

void HL_attack::Sync() {
    while (fights_.size() > size_t(agents.count)) fights_.pop_back();
    for (size_t i = fights_.size(); i < size_t(agents.count); ++i) {
        const int32_t* pos = AgentAt(int(i))->unit->pos;
        fights_.push_back({{pos[0], pos[1], pos[2]}, kTacticFireAtWill, 0, kHelpInterval, 0});
    }
}

void HL_attack::NotifyInserted() {
    fights_.clear();
    Sync();
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        if (agent->unit->standBy) RemoveByLast(clan->standBy, agent);
        GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
        GiveAIOrder(kOrderTarget, agent, target, nullptr, 0);
        agent->SetStatus("%s_%d fire at will", TypeName(), serial);
    }
}

void HL_attack::RemoveAgent(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    fights_[size_t(i)] = fights_.back();
    fights_.pop_back();
    // A unit on stand-by may be sent again once its fight is over.
    if (agent->unit->standBy) {
        bool listed = false;
        for (HL_agent* s : clan->standBy) listed = listed || s == agent;
        if (!listed) clan->standBy.push_back(agent);
    }
}

void HL_attack::NotifyResumed(HL_agent* agent) {
    agent->SetStatus("%s_%d", TypeName(), serial);
    if (agent->lastThreadType != kHLChase) return;
    GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
    if (agent->releaseReason != kHLTaskDone) return;
    // The chase gave up: the target is remembered as fought, and this attack lets the agent go.
    if (target && !PairList_Contains(&agent->targets, Key(target)))
        PairList_Append(&agent->targets, Key(target), GetFrameCounter());
    clan->ReleaseAgent(agent, this, kHLTaskDone);
}

void HL_attack::EstimateStrength(HL_agent* agent) {
    PairList enemy, own;
    PairList_Init(&enemy);
    PairList_Init(&own);
    if (target) PairList_Append(&enemy, Key(target), 0);
    PairList_Append(&own, Key(agent->unit), 0);
    HL_clan* other = target && HiLogic ? HiLogic->GetClan(target->ownerClan) : nullptr;
    // Adds the units of the agents of every ATTACK thread of the clan whose target is in the first set to
    // the second set; true when the second set grew.
    auto spread = [](HL_clan* c, const PairList* targets, PairList* into) {
        bool grew = false;
        if (!c) return grew;
        for (size_t t = 0; t < c->threads.size(); ++t) {
            HL_thread* thread = c->threads[t];
            if (thread->type != kHLAttack || !PairList_ContainsUnit(targets, thread->GetTarget())) continue;
            for (int i = 0; i < thread->AgentCount(); ++i) {
                AIUnitRecord* rec = thread->AgentAt(i)->unit;
                if (PairList_ContainsUnit(into, rec)) continue;
                PairList_Append(into, Key(rec), 0);
                grew = true;
            }
        }
        return grew;
    };
    for (;;) {
        const bool enemyGrew = spread(other, &own, &enemy);
        const bool ownGrew = spread(clan, &enemy, &own);
        if (!enemyGrew && !ownGrew) break;
    }
    int64_t e = 0, o = 0;
    for (int i = 0; i < enemy.count; ++i) e += reinterpret_cast<const AIUnitRecord*>(enemy.keys[i])->strength;
    for (int i = 0; i < own.count; ++i) o += reinterpret_cast<const AIUnitRecord*>(own.keys[i])->strength;
    enemyStrength = int32_t(e);
    ownStrength = int32_t(o);
    PairList_Free(&enemy);
    PairList_Free(&own);
}

bool HL_attack::CanChase(HL_agent* agent, int32_t distance) const {
    const AIUnitRecord* rec = agent->unit;
    return aistubs_vertex_at(target->pos, rec->accessType)->accessible && distance < rangeLimit &&
           HL_AnyClassFlag(rec);
}

void HL_attack::Chase(HL_agent* agent, AgentFight& f) {
    clan->PostMessage(NewHLMessage(kMsgChase, agent, target, target->pos, 0));
    f.tactic = kTacticFireAtWill;
    agent->SetStatus("%s_%d fire at will", TypeName(), serial);
}

void HL_attack::EndTactic(HL_agent* agent, AgentFight& f) {
    f.tactic = kTacticFireAtWill;
    GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
    agent->SetStatus("%s_%d fire at will", TypeName(), serial);
}

bool HL_attack::Sidestep(HL_agent* agent, AgentFight& f, int tactic) {
    const AIUnitRecord* rec = agent->unit;
    int32_t point[3];
    if (!agent->PointAside(point, rec->pos, rec->targetDir, f.side == 0 ? kSidestep : -kSidestep, 1)) {
        f.side ^= 1;
        return false;
    }
    GiveAIOrder(kOrderGoto, agent, nullptr, point, agent->IsAhead(point) ? 0 : 1);
    f.tactic = tactic;
    const char* verb = tactic == kTacticEvading ? "evade" : "flank";
    agent->SetStatus("%s_%d %s to %s", TypeName(), serial, verb, f.side == 0 ? "right" : "left");
    return true;
}

bool HL_attack::FireAtWill(HL_agent* agent, AgentFight& f, const uint32_t* weapon, int32_t nearLimit,
                           int32_t range) {
    const AIUnitRecord* rec = agent->unit;
    const int32_t flags = rec->targetFlags, distance = rec->targetDistance;
    const bool blocked = (flags & kThreatObstructed) && int32_t(weapon[0]) != 1;
    const uint32_t frame = GetFrameCounter();
    int32_t point[3];
    if (!blocked && distance <= range) {
        if (distance < nearLimit) {
            if (rec->class9) {
                agent->PointAlong(point, rec->pos, rec->targetDir, kRepositionReach, 0);
                GiveAIOrder(kOrderGoto, agent, nullptr, point, 0);
                f.tactic = kTacticRepositioning;
                f.timer = kRepositionSteps;
                agent->SetStatus("%s_%d reposition %u", TypeName(), serial, frame);
                return true;
            }
            if (agent->PointAlong(point, rec->pos, rec->targetDir, kRetreatStep, 1)) {
                GiveAIOrder(kOrderGoto, agent, nullptr, point, 1);
                f.tactic = kTacticRetreating;
                f.timer = kTacticSteps;
                agent->SetStatus("%s_%d retreat %u", TypeName(), serial, frame);
                return true;
            }
        }
        const bool over = weapon[20] != 0, under = weapon[21] != 0;
        if ((over || under) && agent->PointAlong(point, rec->pos, rec->targetDir, kApproachStep, 1)) {
            GiveAIOrder(kOrderGoto, agent, nullptr, point, 0);
            f.tactic = kTacticApproaching;
            f.timer = kTacticSteps;
            agent->SetStatus("%s_%d approach %u (target %s)", TypeName(), serial, frame,
                             over ? "overpitched" : "underpitched");
            return true;
        }
        bool moved = false;
        if (flags & kThreatFriendInLine) moved = Sidestep(agent, f, kTacticEvading);
        if (!moved && rec->driveByte == 0 && playerFlag) Sidestep(agent, f, kTacticFlanking);
        return true;
    }
    if (agent->PointAlong(point, rec->pos, rec->targetDir, distance, 1)) {
        agent->PointAlong(point, rec->pos, rec->targetDir, kRepositionReach, 0);
        GiveAIOrder(kOrderGoto, agent, nullptr, point, 0);
        f.tactic = kTacticApproaching;
        f.timer = kTacticSteps;
        agent->SetStatus("%s_%d approach %u (%s)", TypeName(), serial, frame,
                         (flags & kThreatObstructed) ? "blocked" : "out of range");
        return true;
    }
    if (CanChase(agent, distance)) {
        Chase(agent, f);
        return true;
    }
    clan->ReleaseAgent(agent, this, kHLTaskDone);
    return false;
}

void HL_attack::Update(int ticks) {
    Sync();
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        const AIUnitRecord* rec = agent->unit;
        AgentFight& f = fights_[size_t(i)];
        f.help -= ticks;
        if (f.help <= 0) {
            f.help = kHelpInterval;
            if (!rec->standBy) clan->PostMessage(NewHLMessage(kMsgHelpCall, agent, target, nullptr, 0));
            EstimateStrength(agent);
            const int32_t excess = int32_t(double(enemyStrength) * 1.5 - double(ownStrength));
            if (excess > 0) clan->PostMessage(NewHLMessage(kMsgIntercept, agent, target, nullptr, excess));
        }
        if (LinkOf(agent)) continue;
        int32_t nearLimit = 0, second = 0, range = 0;
        const uint32_t* weapon = agent->GetWeaponRange(&nearLimit, &second, &range);
        if (!weapon) {
            if (clan->IsPlayerClan()) agent->Call("Call_OutOfAmmo", agent->unit);
            return clan->ReleaseAgent(agent, this, kHLTaskDone);
        }
        if (!rec->target) {
            if (!target || target->structure < 1) return clan->ReleaseAgent(agent, this, kHLConditionLapsed);
            if (CanChase(agent, HL_Distance(rec->pos, target->pos))) return Chase(agent, f);
            return clan->ReleaseAgent(agent, this, kHLTaskDone);
        }
        const int32_t flags = rec->targetFlags, distance = rec->targetDistance;
        if (flags & kThreatNewTarget) continue;
        const bool blocked = (flags & kThreatObstructed) && int32_t(weapon[0]) != 1;
        bool keep = true;
        switch (f.tactic) {
            case kTacticFireAtWill:
                if (!FireAtWill(agent, f, weapon, nearLimit, range)) return;
                continue;
            case kTacticEvading:
                keep = (flags & kThreatFriendInLine) && rec->aimPointSet;
                break;
            case kTacticApproaching:
                --f.timer;
                keep = f.timer > 0 && rec->aimPointSet &&
                       (blocked || distance > range || weapon[20] || weapon[21]);
                break;
            case kTacticRetreating:
                --f.timer;
                keep = f.timer > 0 && rec->aimPointSet && distance < nearLimit;
                break;
            case kTacticRepositioning:
                --f.timer;
                keep = f.timer > 0 && rec->aimPointSet && distance < (second + range) / 2;
                break;
            case kTacticFlanking:
                keep = rec->aimPointSet != 0;
                break;
            default:
                keep = false;
                break;
        }
        if (!keep) EndTactic(agent, f);
    }
}

void HL_attack::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgAttacked: {
            // Turning on an attacker: only an agent not already fighting one of its attackers.
            HL_agent* agent = AgentFor(msg->unit);
            AIUnitRecord* attacker = msg->other;
            if (!agent || LinkOf(agent) || !attacker || clan->GetHostility(attacker->ownerClan) != kHostile ||
                PairList_Contains(&agent->attackers, Key(target)))
                return;
            int32_t nearLimit = 0, second = 0, range = 0, reached[3];
            if (agent->GetWeaponRange(&nearLimit, &second, &range) &&
                agent->DistanceTo(attacker, range) >= 1 && agent->BlockedTowards(attacker, reached) == 0)
                clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, attacker, nullptr, 0));
            return;
        }
        case kMsgManualOff:
            if (HL_agent* agent = AgentFor(msg->unit))
                GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
            return;
        case kMsgManualOn2:
            if (HL_agent* agent = AgentFor(msg->other))
                GiveAIOrder(kOrderStealthOff, agent, nullptr, nullptr, 0);
            return;
        default:
            return;
    }
}

void HL_attack::Describe(int column, int row) {
    if (agents.count != 1) return;
    Sync();
    const AgentFight& f = fights_[0];
    switch (f.tactic) {
        case kTacticFireAtWill:
            DrawTextGridf(column, row, "FiringAtWill (%d / %d)", ownStrength, enemyStrength);
            break;
        case kTacticEvading:
            DrawTextGridf(column, row, "%s", f.side == 1 ? "Evading(Right)" : "Evading(Left)");
            break;
        case kTacticApproaching:
            DrawTextGridf(column, row, "Approaching");
            break;
        case kTacticRetreating:
            DrawTextGridf(column, row, "Retreating");
            break;
        case kTacticRepositioning:
            DrawTextGridf(column, row, "Repositioning");
            break;
        default:
            break;
    }
}

void HL_attack::Export(FILE* file, uint32_t* counter) {
    Sync();
    auto put = [&](uint32_t v) {
        aistream::PutU32(file, v);
        *counter += 4;
    };
    ExportHead(file, counter);
    aistubs_WriteAIUnit(file, target, counter);
    put(uint32_t(rangeLimit));
    put(uint32_t(playerFlag));
    put(uint32_t(enemyStrength));
    put(uint32_t(ownStrength));
    for (const AgentFight& f : fights_)
        for (int32_t v : f.start) put(uint32_t(v));
    for (const AgentFight& f : fights_) put(uint32_t(f.tactic));
    for (const AgentFight& f : fights_) {
        aistream::PutBytes(file, &f.side, 1);
        *counter += 1;
    }
    for (const AgentFight& f : fights_) put(uint32_t(f.help));
    for (const AgentFight& f : fights_) put(uint32_t(f.timer));
}

void HL_attack::CheckSaved(HL_SavedCheck& in, uint32_t n) {
    std::string key;
    in.UnitRef("an attack's target", false, &key);
    in.Block(4, 4, "an attack's words");
    in.Block(n, 12 + 4 + 1 + 4 + 4, "an attack's agents");
}
