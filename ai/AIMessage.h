// AI messages and orders: everything a clan's AI learns reaches it as a message in the clan's queue; the
// AI answers with a list of orders that the AI step applies to the units.
#pragma once

#include <cstdint>

#include "ai/UnitAI.h"  // the message types and PostUnitMessage

struct Clan;
struct construct;
struct ConstructPool;
struct PatrolRecord;
struct wpl;

struct AIPath {
    char auName[32];
    wpl* points;  // "ai path wpl", owned by the message
};

struct AIMessage {
    AIMessage* next;
    int32_t type;
    int32_t clanA;  // -1 when none
    int32_t clanB;
    AIUnitRecord* unit;   // in the receiver's view, or null
    AIUnitRecord* other;
    intptr_t param;       // a number, or for message 0 the address of the unit type's name
    int32_t point[3];     // 16.16; left unset when not given
    int32_t point2[3];
    AIUnitRecord** units; // null, or "ai msg units" ending with null
    AIPath* path;         // null, or "ai path"
};

enum : int32_t { kOrderGoto = 0, kOrderTarget = 2, kOrderStealthOn = 3, kOrderStealthOff = 4 };

struct AIOrder {
    AIOrder* next;
    int32_t code;
    AIUnitRecord* agent;   // the unit to act
    AIUnitRecord* target;
    int32_t point[3];
    intptr_t param;
};

// Builders; the caller posts (or frees) the message.
AIMessage* NewAIMessage(Clan* receiver, int type, intptr_t param, construct* unit, construct* other,
                        const int32_t* point, const int32_t* point2);
AIMessage* NewUnitsMessage(Clan* receiver, int type, intptr_t param, ConstructPool* group, construct* unit,
                           construct* other, const int32_t* point);
AIMessage* NewUnitsMessageShort(Clan* receiver, int type, intptr_t param, ConstructPool* group,
                                construct* unit, const int32_t* point);
AIMessage* NewPathMessage(Clan* receiver, int type, intptr_t param, const PatrolRecord* patrol);
AIMessage* NewClanMessage(int type, intptr_t param, Clan* a, Clan* b);
// Appends to the receiver's queue; returns the receiver's index.
int PostAIMessage(Clan* receiver, AIMessage* msg);
void FreeAIMessage(AIMessage* msg);
// Applies each order in list order and frees it.
void FreeAIOrderList(AIOrder* first);
// A new order ("ai order") for the AI to return.
AIOrder* NewAIOrder(int code, AIUnitRecord* agent, AIUnitRecord* target, const int32_t* point, intptr_t param);
void aistubs_ProcessOrder(AIOrder* order);

// The record of a unit in the view of a clan index (null for a null construct or one without a unit
// record).
AIUnitRecord* AIRecordOf(construct* con, int view);
