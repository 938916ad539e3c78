// The high-level AI of the clans. The clans' logic and behaviours are not here yet: each clan's think
// step takes its message queue and returns no orders.
#pragma once

#include <cstdint>
#include <cstdio>

struct AIMessage;
struct AIOrder;
struct AIUnitRecord;

// A stand-in for the clan logic that tools and tests may install: it answers a clan's queue in place of
// the empty think step. Null removes it.
using HL_ThinkHook = AIOrder* (*)(int clanIndex, int ticks, AIMessage* queue);
void HL_SetThinkHook(HL_ThinkHook hook);

class HL_hilogic {
public:
    explicit HL_hilogic(int clanCount);
    ~HL_hilogic();
    // The clan's answer to its queue: a list of orders (none yet).
    AIOrder* Think(int clanIndex, int ticks, AIMessage* queue);
    // 1 when a thread of the clan targets the unit (none yet).
    int TargetsUnit(int clanIndex, const AIUnitRecord* rec);
    void DumpClan(int clanNumber);
    void ExportClan(FILE* file, int clanIndex, uint32_t* size);
    void ImportClan(FILE* stream, int clanIndex);

private:
    int clanCount_;
};
