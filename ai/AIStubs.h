// The AI bridge: keeps every unit's per-clan AI records, runs each clan's AI once per world-tick call
// over the clan's message queue, applies the returned orders and empties the queue. It also serves the
// AI a line-of-sight test, the terrain vertex test by access type and the saved form of a unit reference.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ai/UnitAI.h"  // the creation, refresh and copy of a unit's AI records

struct AIMessage;
struct Clan;
class HL_hilogic;

// The high-level AI of the three clans, or null.
extern HL_hilogic* HiLogic;

// One clan's message queue: head and the place of the last next field.
struct AIQueue {
    AIMessage* head;
    AIMessage** tail;
};
extern AIQueue AIQueues[3];

// Creates the high-level AI and the nine damage variables; the three clans must exist. 1 when the
// high-level AI was made, 0 when its allocation failed (the bridge then runs without it).
int aistubs_Init();
// Frees every queued message and the high-level AI.
void aistubs_Shutdown();
// The AI step of one world-tick call.
void aistubs_Tick(int ticks);
// The variable "<a>_DAMAGE_FROM_<b>" found or created and set to value.
void CreateDamageVar(int a, int b, int value);
// Saved form of a unit reference: u32 0 for none, else u32 1, the action unit's 32-byte name and the
// unit's u32 index in its pool. The bytes written are added to *size.
void aistubs_WriteAIUnit(FILE* file, const AIUnitRecord* rec, uint32_t* size);
AIUnitRecord* aistubs_ReadAIUnit(FILE* stream, int view);
// 1 when the line between the two units is obstructed, 0 when clear; *computed 1 when worked out now.
int aistubs_InLineOfSight(AIUnitRecord* a, AIUnitRecord* b, int* computed);
// The game name of the unit's units-file entry ("" without one).
const char* aistubs_UnitTypeInfo(const AIUnitRecord* rec);
int aistubs_IsPlayerClan(int clanIndex);
int aistubs_KnownToOtherClan(construct* unit);
uint32_t GetFrameCounter();

// The terrain at a point for an access type: the ground height (second-surface rule), whether the access
// type may stand there and whether it lies under water. One record, overwritten by every call.
struct AIVertex {
    int32_t height;
    int32_t accessible;  // 0 or 1
    int32_t underWater;  // 0 or 1
};
// Fatal "Error(aistubs_vertex_at): unknown AccessType %d" for types other than 0-4.
const AIVertex* aistubs_vertex_at(const int32_t point[3], int accessType);

