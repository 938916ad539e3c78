// The clan logic: one clan's step over its AI messages, the chains of threads that each agent belongs
// to (a new thread replaces the behaviours its relation row lists or stacks on top of them; a released
// agent returns to the thread below), and the clan's own reactions to the messages.
#include <cmath>

#include "ai/AIStubs.h"
#include "ai/AI_local.h"
#include "objects/Units.h"
#include "ai/Clan.h"
#include "ai/HL_attack.h"
#include "ai/HL_camp.h"
#include "ai/HL_follow.h"
#include "ai/HL_goto.h"
#include "ai/HL_hide.h"
#include "ai/HL_manual.h"
#include "ai/HL_patrol.h"
#include "ai/WayPointList.h"
#include "ai/HiLogic_local.h"
#include "core/Memory.h"

namespace {

HL_PostObserver g_postObserver = nullptr;

template <typename T>
uintptr_t Key(const T* p) {
    return reinterpret_cast<uintptr_t>(p);
}

double Distance(const int32_t a[3], const int32_t b[3]) {
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
        const double d = double(b[k]) - double(a[k]);
        sum += d * d;
    }
    return std::sqrt(sum);
}

}  // namespace

void HL_SetPostObserver(HL_PostObserver observer) {
    g_postObserver = observer;
}

HL_clan::HL_clan(int clanIndex, int clanCount)
    : index(clanIndex),
      count(clanCount),
      hostility(size_t(clanCount), kNeutral),
      damage(size_t(clanCount), 0) {
    PairList_Init(&agents);
    PairList_Init(&threats);
}

HL_clan::~HL_clan() {
    Clear();
    EmptyPosted();
    PairList_Free(&agents);
    PairList_Free(&threats);
}

void HL_clan::Clear() {
    for (HL_thread* t : threads) delete t;
    threads.clear();
    for (int i = 0; i < agents.count; ++i) delete AgentAt(i);
    agents.count = 0;
    standBy.clear();
    manual = nullptr;
}

// ---- Lookups.

HL_agent* HL_clan::AgentAt(int i) const {
    uintptr_t key = 0;
    PairList_GetAt(&agents, i, &key, nullptr);
    return reinterpret_cast<HL_agent*>(key);
}

HL_agent* HL_clan::AgentOf(const AIUnitRecord* rec) const {
    if (!rec || !rec->agent) return nullptr;
    const int i = PairList_IndexOf(&agents, Key(rec->agent));
    if (i < 0) return nullptr;
    HL_agent* agent = AgentAt(i);
    return agent->unit == rec ? agent : nullptr;
}

HL_thread* HL_clan::FirstThread(const HL_agent* agent) const {
    return reinterpret_cast<HL_thread*>(PairList_Lookup(&agents, Key(agent)));
}

HL_thread* HL_clan::LastThread(const HL_agent* agent) const {
    HL_thread* last = nullptr;
    // A chain is never longer than the thread list; the bound keeps a damaged chain from looping.
    size_t steps = 0;
    for (HL_thread* t = FirstThread(agent); t && steps <= threads.size(); t = t->LinkOf(agent), ++steps)
        last = t;
    return last;
}

int HL_clan::ThreadIndex(const HL_thread* thread) const {
    for (size_t i = 0; i < threads.size(); ++i)
        if (threads[i] == thread) return int(i);
    return -1;
}

int HL_clan::GetHostility(int clanIndex) const {
    return clanIndex >= 0 && clanIndex < count ? hostility[size_t(clanIndex)] : kNeutral;
}

bool HL_clan::TargetsUnit(const AIUnitRecord* rec) {
    for (size_t i = 0; i < threads.size(); ++i)
        if (threads[i]->GetTarget() == rec) return true;
    return false;
}

std::vector<HL_agent*> HL_clan::MessageAgents(const AIMessage* msg) const {
    std::vector<HL_agent*> list;
    if (msg->units) {
        for (AIUnitRecord** r = msg->units; *r; ++r)
            if (HL_agent* a = AgentOf(*r)) list.push_back(a);
    } else if (HL_agent* a = AgentOf(msg->unit)) {
        list.push_back(a);
    }
    return list;
}

// ---- The step.

void HL_clan::EmptyPosted() {
    for (AIMessage* m = postedHead; m;) {
        AIMessage* next = m->next;
        FreeHLMessage(m);
        m = next;
    }
    postedHead = nullptr;
    postedTail = &postedHead;
}

void HL_clan::PostMessage(AIMessage* msg) {
    msg->next = nullptr;
    *postedTail = msg;
    postedTail = &msg->next;
    if (g_postObserver) g_postObserver(index, msg);
}

void HL_clan::DispatchMessage(AIMessage* msg) {
    // Handlers may add threads: the count is read again at every turn.
    for (size_t i = 0; i < threads.size(); ++i) threads[i]->HandleMessage(msg);
    HandleMessage(msg);
}

void HL_clan::Think(int ticks, AIMessage* messages) {
    EmptyPosted();
    for (AIMessage* m = messages; m; m = m->next) DispatchMessage(m);
    DeleteIdleThreads();
    for (size_t i = 0; i < threads.size(); ++i) threads[i]->Update(ticks);
    // Messages posted while these are handled join the end of the list and are handled too.
    while (postedHead) {
        AIMessage* m = postedHead;
        DispatchMessage(m);
        postedHead = m->next;
        if (!postedHead) postedTail = &postedHead;
        FreeHLMessage(m);
    }
    EmptyPosted();
}

// ---- Chains.

void HL_clan::InsertAgent(HL_thread* thread, HL_agent* agent) {
    PlaceInChain(thread, agent);
    thread->NotifyAgentAdded(agent);
}

void HL_clan::PlaceInChain(HL_thread* thread, HL_agent* agent) {
    agent->NoteLastThread(this);
    HL_thread* prev = nullptr;
    bool placed = false;
    size_t steps = 0;
    for (HL_thread* t = FirstThread(agent); t && steps <= threads.size() + 1; ++steps) {
        HL_thread* next = t->LinkOf(agent);
        if (t != thread && AIRelationAllows(thread, t)) {
            if (!placed) {
                if (prev)
                    prev->SetLink(agent, thread);
                else
                    PairList_SetValue(&agents, Key(agent), Key(thread));
                thread->AddAgent(agent, nullptr);
                placed = true;
            }
            t->DropAgent(agent);
        } else {
            prev = t;
        }
        t = next;
    }
    if (placed) return;
    if (HL_thread* last = LastThread(agent)) {
        last->NotifySuperseded(agent);
        last->SetLink(agent, thread);
    } else {
        // An agent without a chain (its CAMP thread was ended) gets the new thread as its first.
        PairList_SetValue(&agents, Key(agent), Key(thread));
    }
    thread->AddAgent(agent, nullptr);
}

void HL_clan::InsertThread(HL_thread* thread, const std::vector<HL_agent*>& list) {
    for (HL_agent* agent : list) PlaceInChain(thread, agent);
    thread->NotifyInserted();
}

void HL_clan::StartThread(HL_thread* thread, const std::vector<HL_agent*>& list) {
    InsertThread(thread, list);
    threads.push_back(thread);
}

void HL_clan::ReleaseAgent(HL_agent* agent, HL_thread* thread, int reason) {
    agent->lastThreadType = thread->type;
    agent->lastThreadSerial = thread->serial;
    agent->releaseReason = reason;
    HL_thread* prev = nullptr;
    size_t steps = 0;
    for (HL_thread* t = FirstThread(agent); t && steps <= threads.size(); t = t->LinkOf(agent), ++steps) {
        if (t == thread) {
            HL_thread* link = t->LinkOf(agent);
            if (prev) {
                prev->SetLink(agent, link);
                if (!link) prev->NotifyResumed(agent);
            } else {
                PairList_SetValue(&agents, Key(agent), Key(link));
            }
            break;
        }
        prev = t;
    }
    thread->DropAgent(agent);
}

void HL_clan::EndThread(HL_thread* thread) {
    while (thread->AgentCount() > 0) ReleaseAgent(thread->AgentAt(0), thread, kHLThreadEnded);
}

void HL_clan::DeleteIdleThreads() {
    for (;;) {
        size_t i = 0;
        while (i < threads.size() && threads[i]->AgentCount() > 0) ++i;
        if (i == threads.size()) return;
        HL_thread* idle = threads[i];
        threads[i] = threads.back();
        threads.pop_back();
        delete idle;
    }
}

// ---- The clan's own reactions.

void HL_clan::HandlerCall(HL_agent* agent, const char* callName, const AIUnitRecord* other) {
    if (playerFlag && agent != manual) agent->Call(callName, other);
}

void HL_clan::UnitJoins(AIMessage* msg) {
    AIUnitRecord* rec = msg->unit;
    if (!rec) return;
    // A unit placed again announces itself again: it keeps the agent it has instead of getting a second
    // one that would drive the same unit beside it.
    for (int i = 0; i < agents.count; ++i)
        if (AgentAt(i)->unit == rec) {
            rec->agent = AgentAt(i);
            return;
        }
    const char* typeName = msg->param ? reinterpret_cast<const char*>(msg->param) : UnitNameOf(rec->con);
    auto* agent = new HL_agent(rec, typeName);
    auto* camp = new HL_camp(kHLCamp, this, NextHLThreadSerial());
    PairList_Append(&agents, Key(agent), Key(camp));
    camp->AddAgent(agent, nullptr);
    camp->NotifyInserted();
    threads.push_back(camp);
}

void HL_clan::Attacked(AIMessage* msg) {
    HL_agent* agent = AgentOf(msg->unit);
    AIUnitRecord* attacker = msg->other;
    if (!agent || !attacker) return;
    const int from = attacker->ownerClan;
    if (from < 0 || from >= count) return;
    damage[size_t(from)] += int32_t(msg->param);
    CreateDamageVar(index, from, damage[size_t(from)]);
    if (hostility[size_t(from)] != kHostile) return;
    const uintptr_t key = Key(attacker);
    if (PairList_Contains(&agent->attackers, key)) {
        PairList_RemoveOrdered(&agent->attackers, key);
    } else if (agent->CurrentThreadType(this) != kHLAttack) {
        HandlerCall(agent, "Call_attacked", attacker);
    }
    PairList_Append(&agent->attackers, key, GetFrameCounter());
}

void HL_clan::Destroyed(AIMessage* msg) {
    HL_agent* agent = AgentOf(msg->unit);
    if (!agent) return;
    HandlerCall(agent, "Call_destroyed", nullptr);
    for (size_t i = 0; i < threads.size(); ++i)
        if (threads[i]->Holds(agent)) threads[i]->DropAgent(agent);
    RemoveByLast(standBy, agent);
    PairList_Remove(&agents, Key(agent));
    // The manual agent is not owned: it must not name a deleted agent.
    if (manual == agent) manual = nullptr;
    agent->unit->agent = nullptr;
    delete agent;
}

void HL_clan::Intercept(AIMessage* msg) {
    if (!AgentOf(msg->unit) || !msg->other) return;
    HL_agent* nearest = nullptr;
    double best = 0;
    for (HL_agent* a : standBy) {
        const double d = Distance(a->unit->pos, msg->other->pos);
        if (!nearest || d < best) nearest = a, best = d;
    }
    if (nearest) StartAttack({nearest}, msg->other, kHLNoRangeLimit);
}

void HL_clan::StartAttack(const std::vector<HL_agent*>& list, AIUnitRecord* target, int32_t rangeLimit) {
    // An attack needs a unit to fight.
    if (list.empty() || !target) return;
    StartThread(new HL_attack(this, NextHLThreadSerial(), target, rangeLimit, aistubs_IsPlayerClan(index)), list);
}

void HL_clan::StartPatrol(AIMessage* msg) {
    // A path without points gives the patrol nothing to head for: no thread is made.
    if (!msg->path || !msg->path->points || msg->path->points->count < 1) {
        DebugPrintf("HL_clan: a patrol message without path points starts no thread\n");
        return;
    }
    auto* patrol = new HL_patrol(this, NextHLThreadSerial(), msg->path);
    msg->path = nullptr;
    StartThread(patrol, MessageAgents(msg));
}

void HL_clan::StartFollow(AIMessage* msg) {
    if (!msg->unit) return;
    std::vector<HL_agent*> followers;
    for (AIUnitRecord** r = msg->units; r && *r; ++r)
        if (HL_agent* a = AgentOf(*r); a && a != manual) followers.push_back(a);
    StartThread(new HL_follow(this, NextHLThreadSerial(), msg->unit), followers);
}

void HL_clan::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgUnitJoins:
            UnitJoins(msg);
            break;
        case kMsgAttacked:
            Attacked(msg);
            break;
        case kMsgDestroyed:
            Destroyed(msg);
            break;
        case kMsgHostility:
            if (msg->clanA == index) {
                if (msg->clanB >= 0 && msg->clanB < count)
                    hostility[size_t(msg->clanB)] = int32_t(msg->param);
                if (msg->clanB == index) hostility[size_t(msg->clanA)] = int32_t(msg->param);
            } else if (msg->clanB == index && msg->clanA >= 0 && msg->clanA < count) {
                hostility[size_t(msg->clanA)] = int32_t(msg->param);
            }
            break;
        case kMsgThreatEntered:
            if (msg->unit) PairList_Append(&threats, Key(msg->unit), GetFrameCounter());
            break;
        case kMsgThreatLeft:
            PairList_Remove(&threats, Key(msg->unit));
            break;
        case kMsgStructureDamage:
            if (HL_agent* agent = AgentOf(msg->unit); agent && msg->other)
                HandlerCall(agent, "Call_killed", msg->other);
            break;
        case kMsgIntercept:
            Intercept(msg);
            break;
        case kMsgManualOn:
        case kMsgManualOn2:
            if (HL_agent* agent = AgentOf(msg->unit)) {
                manual = agent;
                StartThread(new HL_manual(this, NextHLThreadSerial()), {agent});
            }
            break;
        case kMsgManualOff:
            manual = nullptr;
            break;
        case kMsgPatrol:
            StartPatrol(msg);
            break;
        case kMsgPlayerClan:
            if (msg->clanA == index) playerFlag = 1;
            break;
        case kMsgGoto:
            StartThread(new HL_goto(kHLGoto, this, NextHLThreadSerial(), msg->point), MessageAgents(msg));
            break;
        case kMsgSneakTo:
            StartThread(new HL_goto(kHLSneakTo, this, NextHLThreadSerial(), msg->point), MessageAgents(msg));
            break;
        case kMsgSneakOpen:
            StartThread(new HL_goto(kHLSneakTo, this, NextHLThreadSerial(), nullptr, nullptr, 0, 1),
                        MessageAgents(msg));
            break;
        case kMsgHold:
            StartThread(new HL_camp(kHLHold, this, NextHLThreadSerial()), MessageAgents(msg));
            break;
        case kMsgHide:
        case kMsgHideFlag:
            StartThread(new HL_hide(this, NextHLThreadSerial(), msg->type == kMsgHideFlag ? 1 : 0),
                        MessageAgents(msg));
            break;
        case kMsgFollow:
            StartFollow(msg);
            break;
        case kMsgAttack:
            StartAttack(MessageAgents(msg), msg->other, kHLNoRangeLimit);
            break;
        case kMsgAttackInRange:
            StartAttack(MessageAgents(msg), msg->other, msg->param ? int32_t(msg->param) : kHLDefaultAttackRange);
            break;
        case kMsgChase:
            StartThread(new HL_goto(kHLChase, this, NextHLThreadSerial(), msg->point, msg->other),
                        MessageAgents(msg));
            break;
        case kMsgGotoReturn:
            StartThread(new HL_goto(kHLGotoReturn, this, NextHLThreadSerial(), msg->point), MessageAgents(msg));
            break;
        case kMsgSneakToReturn:
            StartThread(new HL_goto(kHLSneakToReturn, this, NextHLThreadSerial(), msg->point, nullptr,
                                    int32_t(msg->param)),
                        MessageAgents(msg));
            break;
        case kMsgHoldWhileHearing:
            StartThread(new HL_camp(kHLHoldWhileHearing, this, NextHLThreadSerial()), MessageAgents(msg));
            break;
        case kMsgStandByOn:
            for (HL_agent* a : MessageAgents(msg)) {
                a->unit->standBy = 1;
                // Listed once: a second stand-by order would leave the agent listed after stand-by off.
                bool listed = false;
                for (HL_agent* s : standBy) listed = listed || s == a;
                if (!listed) standBy.push_back(a);
            }
            break;
        case kMsgStandByOff:
            for (HL_agent* a : MessageAgents(msg)) {
                a->unit->standBy = 0;
                RemoveByLast(standBy, a);
            }
            break;
        case kMsgEndThread:
            for (size_t i = 0; i < threads.size(); ++i)
                if (threads[i]->serial == int32_t(msg->param)) {
                    EndThread(threads[i]);
                    DeleteIdleThreads();
                    break;
                }
            break;
        default:
            break;
    }
}
