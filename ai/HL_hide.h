// Hide: the agents stay still at their hiding places with their stealth mode wanted. An attacked hider
// switches to HOLD; a hider whose stealth is still not engaged when its time runs out gives up (unless it
// was told to hide whatever happens).
#pragma once

#include <array>
#include <vector>

#include "ai/HiLogic_local.h"

class HL_hide : public HL_thread {
public:
    // A new thread; with hidingFlag 1 the hiders never give up.
    HL_hide(HL_clan* owner, int32_t threadSerial, int32_t hidingFlag);
    // Reads the thread from a saved game behind its type number.
    HL_hide(HL_clan* owner, int32_t threadType, FILE* stream);

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void RemoveAgent(HL_agent* agent) override;
    void NotifySuperseded(HL_agent* agent) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    void Export(FILE* file, uint32_t* counter) override;

    static void CheckSaved(HL_SavedCheck& in, uint32_t n);

    int32_t hidingFlag;
    struct Hider {
        int32_t timer;                 // ticks left for the stealth to engage
        std::array<int32_t, 3> place;  // where the unit hides
    };
    std::vector<Hider> hiders;  // parallel to the agents list

private:
    void Sync();
};
