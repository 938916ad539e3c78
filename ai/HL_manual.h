// Manual: holds the one unit the player drives. It does not steer it; it turns what happens to it into
// calls to the clan: after the player's unit is attacked, nearby units are asked to help against the
// attacker, and after it attacks, nearby units say they are ready to close in.
#pragma once

#include "ai/HiLogic_local.h"

class HL_manual : public HL_thread {
public:
    HL_manual(HL_clan* owner, int32_t threadSerial);
    // Reads the thread from a saved game behind its type number (the countdowns start again at 0).
    HL_manual(HL_clan* owner, int32_t threadType, FILE* stream);
    ~HL_manual() override;

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    void Export(FILE* file, uint32_t* counter) override;

    int32_t helpCountdown = 0;  // ticks before the help call about the attacker
    AIUnitRecord* attacker = nullptr;
    PairList reportedAttackers;    // record -> frame counter
    int32_t closeInCountdown = 0;  // ticks before the close-in call about the target
    AIUnitRecord* target = nullptr;
    PairList reportedTargets;  // record -> frame counter

private:
    void Clear();
};
