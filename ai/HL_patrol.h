// Patrol: the agents are led round the points of an action unit's path again and again, keeping their
// formation around the group's centre; the group moves on to the next point when all have arrived.
// Patrolling units engage hostile threats that come within reach and return to the path after a fight.
#pragma once

#include <array>
#include <vector>

#include "ai/HiLogic_local.h"

class HL_patrol : public HL_thread {
public:
    // A new thread that takes over the path (freed with the thread); the path has at least one point.
    HL_patrol(HL_clan* owner, int32_t threadSerial, AIPath* path);
    // Reads the thread from a saved game behind its type number.
    HL_patrol(HL_clan* owner, int32_t threadType, FILE* stream);
    ~HL_patrol() override;

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void RemoveAgent(HL_agent* agent) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    void Export(FILE* file, uint32_t* counter) override;

    // The agent's offset from the group's centre (height 0).
    const int32_t* OffsetOf(int i);
    static void CheckSaved(HL_SavedCheck& in, uint32_t n);

    AIPath* path;
    int32_t current;  // the index of the path point the group heads for
    int32_t skip;     // the next step does nothing but clear it

private:
    void Sync();
    // The current path point plus the agent's offset.
    void Target(int i, int32_t out[3]);

    std::vector<std::array<int32_t, 3>> offsets_;  // parallel to the agents list
};
