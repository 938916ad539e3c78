// Camp and hold: the behaviour every agent gets when it joins the AI (CAMP, at the bottom of its chain),
// the standing order to hold a place (HOLD) and the passing one to hold while alerted (HOLDWHILEHEARING).
// Camping and holding units answer attacks on themselves and come to the help of attacked units nearby;
// holding units also engage enemies that come within reach.
#pragma once

#include <array>
#include <vector>

#include "ai/HiLogic_local.h"

class HL_camp : public HL_thread {
public:
    // A new thread of mode CAMP, HOLD or HOLDWHILEHEARING (the mode is its type).
    HL_camp(int mode, HL_clan* owner, int32_t threadSerial);
    // Reads the thread from a saved game behind its type number.
    HL_camp(HL_clan* owner, int32_t threadType, FILE* stream);

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void RemoveAgent(HL_agent* agent) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    void Export(FILE* file, uint32_t* counter) override;

    // The camp point of the agent at the index (16.16).
    const int32_t* CampPoint(int i);
    // Checks the class's part of a saved form for n agents.
    static void CheckSaved(HL_SavedCheck& in, uint32_t n);

private:
    // Keeps one camp point per agent: agents that came without one camp where their unit stands.
    void SyncPoints();
    // An agent of this thread whose current behaviour it is, and not the player's.
    bool Acting(HL_agent* agent) const;
    // Whether the agent may fight the record's unit: it has a weapon and stands within the limit.
    bool CanHelp(HL_agent* agent, const AIUnitRecord* caller, const AIUnitRecord* target) const;

    std::vector<std::array<int32_t, 3>> points_;  // parallel to the agents list
};
