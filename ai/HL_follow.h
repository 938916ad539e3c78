// Follow: the agents escort a leader unit (often the player's) in two wings behind it. An agent that falls
// behind hops to its wing slot, or to its slot in the centre column when the wing slot cannot be reached,
// and gives up when neither can and the leader stands far away on ground it cannot enter. Followers fire
// at their attackers without leaving the formation, and the group re-forms when the player's control
// passes from one unit to another.
#pragma once

#include <vector>

#include "ai/HiLogic_local.h"

class HL_follow : public HL_thread {
public:
    // A new thread following the leader's unit.
    HL_follow(HL_clan* owner, int32_t threadSerial, AIUnitRecord* leader);
    // Reads the thread from a saved game behind its type number.
    HL_follow(HL_clan* owner, int32_t threadType, FILE* stream);

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void NotifyAgentAdded(HL_agent* agent) override;
    void RemoveAgent(HL_agent* agent) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    void Export(FILE* file, uint32_t* counter) override;

    // The slots of the agent at index k of a wing (wing B is the one filled first): behind the leader at
    // the side, and in the centre column.
    void WingSlot(bool wingB, int k, int32_t out[3]) const;
    void CentreSlot(bool wingB, int k, int32_t out[3]) const;
    static void CheckSaved(HL_SavedCheck& in, uint32_t n);

    AIUnitRecord* leader;
    int32_t formation;       // 0, and kept so in saved games
    int32_t leaderIsManual;  // the leader was the player's unit when the thread was made
    std::vector<HL_agent*> wingA, wingB;

    struct Hop {
        int32_t state;  // 0 heading for the wing slot, 1 for the centre slot
        int32_t timer;  // ticks before the next try
    };
    std::vector<Hop> hops;  // parallel to the agents list

private:
    void Sync();
    // The step of one follower at index k of its wing.
    void Follow(HL_agent* agent, bool wingB, int k, int ticks);
    // Sends the agent toward a slot the leader can reach; false when the leader cannot reach it.
    bool HopTo(HL_agent* agent, Hop& h, const int32_t slot[3], int state, const char* status);
    void Regroup(AIMessage* msg);
};
