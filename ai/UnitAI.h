// The AI as the object layer sees it: the one header of ai/ that objects/ includes. It brings the records
// that the object layer reads (a unit's per-clan AI records and threat entries, the clans, the action
// units) and declares the calls through which a unit reaches the AI: a message about the unit posted to a
// clan, and the creation, refresh and copy of the unit's AI records. Neither this header nor the headers
// it includes include anything of objects/, so the two layers never include each other in a circle.
#pragma once

#include <cstdint>

#include "ai/AIRecords.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"

struct construct;

// Message types (the receiving clan's reaction is the clan logic's).
enum : int32_t {
    kMsgUnitJoins = 0, kMsgAttacked = 2, kMsgDestroyed = 3, kMsgHostility = 4, kMsgAimPointDone = 10,
    kMsgStealthOn = 11, kMsgStealthOff = 12, kMsgTargetReleased = 14, kMsgThreatEntered = 100,
    kMsgThreatLeft = 102, kMsgHostileDetected = 103, kMsgFirstHostile = 104, kMsgStructureDamage = 106,
    kMsgPlayerClan = 208,
};

// Posts a message of that type about unit (and other, which may be null) with the number param to the
// receiver's queue; nothing happens without a receiver.
void PostUnitMessage(Clan* receiver, int type, intptr_t param, construct* unit, construct* other);
// Fills a new record of view rec for the unit; fatal when the unit's type does not answer UPDATEAIUNIT.
void aistubs_CreateAIUnit(AIUnitRecord* rec, construct* unit);
// Refreshes a record from its unit; captureFlag becomes the record's capture-candidate flag.
void aistubs_UpdateAIUnit(AIUnitRecord* rec, uint8_t captureFlag);
// Copies the moving parts of a record when a unit record is copied.
void CopyAIUnitRecord(AIUnitRecord* dst, const AIUnitRecord* src);
