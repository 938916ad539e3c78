// Patrol: the group's formation taken from where its units stand, the first way to the path by return
// threads, the step to the next point once every agent has arrived, and the engagement of threats.
#include "ai/HL_patrol.h"

#include <cstring>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "ai/WayPointList.h"
#include "core/Memory.h"

HL_patrol::HL_patrol(HL_clan* owner, int32_t threadSerial, AIPath* takenPath)
    : path(takenPath), current(0), skip(0) {
    type = kHLPatrol;
    clan = owner;
    serial = threadSerial;
}

HL_patrol::HL_patrol(HL_clan* owner, int32_t threadType, FILE* stream) : path(nullptr), current(0), skip(0) {
    static const char* const who = "HL_clan::import";
    ImportHead(owner, threadType, stream);
    path = static_cast<AIPath*>(qzAlloc(int(sizeof(AIPath)), "ai path"));
    aistream::GetBytes(stream, path->auName, sizeof path->auName, who);
    path->auName[sizeof path->auName - 1] = 0;
    path->points = ReadWayPointList(stream);
    current = int32_t(aistream::GetU32(stream, who));
    skip = int32_t(aistream::GetU32(stream, who));
    offsets_.resize(size_t(agents.count));
    for (auto& o : offsets_)
        for (int32_t& v : o) v = int32_t(aistream::GetU32(stream, who));
}

HL_patrol::~HL_patrol() {
    if (!path) return;
    FreeWayPointList(path->points);
    qzFree(path);
}

void HL_patrol::Sync() {
    while (offsets_.size() > size_t(agents.count)) offsets_.pop_back();
    while (offsets_.size() < size_t(agents.count)) offsets_.push_back({0, 0, 0});
}

const int32_t* HL_patrol::OffsetOf(int i) {
    Sync();
    return i >= 0 && size_t(i) < offsets_.size() ? offsets_[size_t(i)].data() : nullptr;
}

void HL_patrol::Target(int i, int32_t out[3]) {
    const wpl* points = path->points;
    // Before the group's first step the index stands past the path: its first point is the one the
    // agents were sent to.
    const int32_t k = current >= 0 && current < points->count ? current : 0;
    for (int c = 0; c < 3; ++c)
        out[c] = int32_t(int64_t(points->points[k][c]) + offsets_[size_t(i)][size_t(c)]);
}

void HL_patrol::NotifyInserted() {
    Sync();
    const int n = agents.count;
    int64_t sx = 0, sz = 0;
    for (int i = 0; i < n; ++i) {
        sx += AgentAt(i)->unit->pos[0];
        sz += AgentAt(i)->unit->pos[2];
    }
    if (n > 1) sx /= n, sz /= n;
    for (int i = 0; i < n; ++i) {
        const int32_t* pos = AgentAt(i)->unit->pos;
        offsets_[size_t(i)] = {int32_t(pos[0] - sx), 0, int32_t(pos[2] - sz)};
    }
    current = path->points->count;
    skip = 0;
    for (int i = 0; i < n; ++i) {
        HL_agent* agent = AgentAt(i);
        GiveAIOrder(kOrderGoto, agent, nullptr, agent->unit->pos, 0);
        GiveAIOrder(kOrderTarget, agent, nullptr, nullptr, 0);
        int32_t first[3];
        Target(i, first);
        clan->PostMessage(NewHLMessage(kMsgGotoReturn, agent, nullptr, first, 0));
        agent->SetStatus("%s_%d", TypeName(), serial);
    }
}

void HL_patrol::RemoveAgent(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    offsets_[size_t(i)] = offsets_.back();
    offsets_.pop_back();
}

void HL_patrol::NotifyResumed(HL_agent* agent) {
    Sync();
    const int i = HL_IndexOf(this, agent);
    if (i < 0) return;
    const int last = agent->lastThreadType;
    if (last == kHLAttack || last == kHLHoldWhileHearing) {
        int32_t back[3];
        Target(i, back);
        clan->PostMessage(NewHLMessage(kMsgGotoReturn, agent, nullptr, back, 0));
        skip = 1;
    } else if (last == kHLGotoReturn && agent->releaseReason == kHLTaskDone) {
        agent->SetStatus("%s_%d hop %d", TypeName(), serial, current);
        clan->ReleaseAgent(agent, this, kHLTaskDone);
        return;
    }
    agent->SetStatus("%s_%d hop %d", TypeName(), serial, current);
}

void HL_patrol::Update(int ticks) {
    (void)ticks;
    Sync();
    if (skip) {
        skip = 0;
        return;
    }
    bool arrived = agents.count > 0;
    for (int i = 0; i < agents.count && arrived; ++i)
        arrived = !LinkOf(AgentAt(i)) && AgentAt(i)->unit->aimPointSet == 0;
    if (arrived) {
        if (++current >= path->points->count) current = 0;
        for (int i = 0; i < agents.count; ++i) {
            int32_t next[3];
            Target(i, next);
            GiveAIOrder(kOrderGoto, AgentAt(i), nullptr, next, 0);
            AgentAt(i)->SetStatus("%s_%d hop %d", TypeName(), serial, current);
        }
    }
    int32_t nearLimit = 0, second = 0, range = 0;
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        const AIUnitRecord* rec = agent->unit;
        if (!LinkOf(agent) && rec->alerted && !rec->target &&
            agent->GetWeaponRange(&nearLimit, &second, &range))
            clan->PostMessage(NewHLMessage(kMsgHoldWhileHearing, agent, 0));
    }
    for (int i = 0; i < agents.count; ++i) {
        HL_agent* agent = AgentAt(i);
        if (LinkOf(agent) || agent->unit->target || !agent->GetWeaponRange(&nearLimit, &second, &range))
            continue;
        if (AIUnitRecord* threat = HL_NearestHostileThreat(clan, agent, kHLThreatReach))
            clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, threat, nullptr, 0));
    }
}

void HL_patrol::HandleMessage(AIMessage* msg) {
    switch (msg->type) {
        case kMsgAttacked: {
            HL_agent* agent = AgentFor(msg->unit);
            if (!agent || LinkOf(agent) || agent == clan->manual) return;
            if (HL_CanAnswerAttack(clan, agent, msg->other))
                clan->PostMessage(NewHLMessage(kMsgAttackInRange, agent, msg->other, nullptr, 0));
            return;
        }
        case kMsgHelpCall:
        case kMsgCloseIn:
            HL_AnswerHelpCall(this, msg);
            return;
        default:
            return;
    }
}

void HL_patrol::Export(FILE* file, uint32_t* counter) {
    Sync();
    auto put = [&](uint32_t v) {
        aistream::PutU32(file, v);
        *counter += 4;
    };
    ExportHead(file, counter);
    char name[32] = {};
    std::memcpy(name, path->auName, strnlen(path->auName, sizeof name - 1));
    aistream::PutBytes(file, name, sizeof name);
    *counter += sizeof name;
    WriteWayPointList(file, path->points, counter);
    put(uint32_t(current));
    put(uint32_t(skip));
    for (const auto& o : offsets_)
        for (int32_t v : o) put(uint32_t(v));
}

void HL_patrol::CheckSaved(HL_SavedCheck& in, uint32_t n) {
    in.NameField("a patrol's path");
    // The patrol heads for its path's points: a path without any cannot be patrolled.
    if (in.ok() && in.WayList("a patrol's path", false) == 0 && in.ok())
        in.Fail("a patrol's path has no points");
    in.Block(2, 4, "a patrol's index and skip flag");
    in.Block(n, 12, "a patrol's offsets");
}
