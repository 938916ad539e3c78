// Goto behaviours: the agents move along planned way point lists to a destination, each keeping its place
// in the group. GOTO and SNEAKTO are standing orders (a SNEAKTO may have no destination: its agents stand
// still); CHASE hunts a target out of sight; GOTO_RETURN and SNEAKTO_RETURN bring a unit back to its place
// after an interruption. Going units engage hostile threats that come within reach.
#pragma once

#include <vector>

#include "ai/HiLogic_local.h"

struct wpl;

// Plans the way from start to goal for the access type with the way tree search: depth 25, doubled while
// the search is truncated up to 1600, and the goal corrected once when it lies on blocked ground. The
// list ("way point list", capacity 1024) begins at the start; null when no way was found.
wpl* PlanWayPointList(const int32_t start[3], const int32_t goal[3], int accessType);

class HL_goto : public HL_thread {
public:
    // A new thread of mode GOTO, SNEAKTO, CHASE, GOTO_RETURN or SNEAKTO_RETURN toward the destination; a
    // CHASE hunts the chased unit, a SNEAKTO_RETURN ends after timeLimit ticks (0: none). A SNEAKTO
    // without a destination (openDestination) leaves its agents where they stand.
    HL_goto(int mode, HL_clan* owner, int32_t threadSerial, const int32_t destination[3],
            AIUnitRecord* chased = nullptr, int32_t timeLimit = 0, int32_t openDestination = 0);
    // Reads the thread from a saved game behind its type number.
    HL_goto(HL_clan* owner, int32_t threadType, FILE* stream);
    ~HL_goto() override;

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void RemoveAgent(HL_agent* agent) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    void Export(FILE* file, uint32_t* counter) override;

    // The agent's way point list (null without one) and the index of the point it heads for.
    const wpl* WayOf(int i) const;
    int32_t HopOf(int i) const;
    static void CheckSaved(HL_SavedCheck& in, uint32_t n);

    int32_t destination[3];
    AIUnitRecord* chased;
    int32_t openDestination;
    int32_t timeLimit;

private:
    struct AgentWay {
        wpl* way;            // owned, or null
        int32_t hop;         // the index of the way point the agent heads for
        int32_t fromAttack;  // the agent broke off an attack when it joined
    };
    // Keeps one entry per agent: agents that came without one have no way.
    void Sync();
    bool Current(HL_agent* agent) const { return agent && Holds(agent) && !LinkOf(agent); }
    // The index of the way point the agent heads for, within its way (which has points).
    static int32_t HopPoint(const AgentWay& w);
    // The order to a way point: flag 1 for the way's last point when it lies near and behind the unit.
    void OrderHop(HL_agent* agent, const wpl* way, int32_t hop);
    void ManualControl(AIMessage* msg, HL_agent* agent);

    std::vector<AgentWay> ways_;  // parallel to the agents list
};
