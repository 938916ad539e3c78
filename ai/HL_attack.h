// Attack: the agents fight one target unit. Each step an agent picks a tactic from its weapon's ranges,
// the target's distance and the turret's elevation limits (fire at will where it stands, approach,
// retreat, reposition, evade to a side, flank); nearby units are called to help, reinforcements are asked
// for when the enemy side is stronger, and a target lost from sight is handed to a chase.
#pragma once

#include <array>
#include <vector>

#include "ai/HiLogic_local.h"

enum HL_AttackTactic : int32_t {
    kTacticFireAtWill = 0,
    kTacticEvading = 1,
    kTacticApproaching = 2,
    kTacticRetreating = 3,
    kTacticRepositioning = 4,
    kTacticFlanking = 5,
};

class HL_attack : public HL_thread {
public:
    // A new thread against the target within rangeLimit (kHLNoRangeLimit for none); flanking is allowed
    // with playerFlag.
    HL_attack(HL_clan* owner, int32_t threadSerial, AIUnitRecord* target, int32_t rangeLimit,
              int32_t playerFlag);
    // Reads the thread from a saved game behind its type number.
    HL_attack(HL_clan* owner, int32_t threadType, FILE* stream);

    void Update(int ticks) override;
    void HandleMessage(AIMessage* msg) override;
    void RemoveAgent(HL_agent* agent) override;
    void NotifyResumed(HL_agent* agent) override;
    void NotifyInserted() override;
    AIUnitRecord* GetTarget() override { return target; }
    void Export(FILE* file, uint32_t* counter) override;
    void Describe(int column, int row) override;

    // The strengths of the two sides of the agent's fight: the target and every unit attacking one of the
    // own side's units, against the agent and every unit attacking one of the enemy side's units.
    void EstimateStrength(HL_agent* agent);
    static void CheckSaved(HL_SavedCheck& in, uint32_t n);

    struct AgentFight {
        std::array<int32_t, 3> start;  // where the unit stood when it joined
        int32_t tactic;
        uint8_t side;   // 0 right, 1 left
        int32_t help;   // ticks to the next help call
        int32_t timer;  // steps left of the tactic
    };
    const AgentFight& FightOf(int i) const { return fights_[size_t(i)]; }
    AgentFight& FightOf(int i) { return fights_[size_t(i)]; }

    AIUnitRecord* target;
    int32_t rangeLimit;
    int32_t playerFlag;
    int32_t enemyStrength = 0;
    int32_t ownStrength = 0;

private:
    void Sync();
    // Whether the unit may chase the target: it can stand where the target is, the target's distance lies
    // within the range limit and the unit has a class.
    bool CanChase(HL_agent* agent, int32_t distance) const;
    void Chase(HL_agent* agent, AgentFight& f);
    // Picks the next tactic of an agent firing at will; false when the agent was released (the step ends).
    bool FireAtWill(HL_agent* agent, AgentFight& f, const uint32_t* weapon, int32_t nearLimit, int32_t range);
    // Evades or flanks to the fight's side (tactic kTacticEvading or kTacticFlanking); an unreachable side
    // flips for the next try.
    bool Sidestep(HL_agent* agent, AgentFight& f, int tactic);
    void EndTactic(HL_agent* agent, AgentFight& f);

    std::vector<AgentFight> fights_;  // parallel to the agents list
};
