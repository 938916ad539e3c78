// The high-level AI of the clans: one clan logic per clan decides, from the clan's AI messages, what its
// AI-driven units do. Behaviours run as threads of agents; each world-tick call a clan's step hands the
// messages to the threads and to the clan's own handler, updates the threads and returns the orders
// they gave. The AI bridge owns the one object of a level (HiLogic).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct AIMessage;
struct AIOrder;
struct AIUnitRecord;
class HL_clan;

// A stand-in for the clan logic that tools and tests may install: it answers a clan's queue in place of
// the clan's step. Null removes it.
using HL_ThinkHook = AIOrder* (*)(int clanIndex, int ticks, AIMessage* queue);
void HL_SetThinkHook(HL_ThinkHook hook);

// Observers for tests and tools (null removes them): every message a clan's threads post to their clan,
// and every radio call with its text, sender label, call name and the unit number that picks its sound.
using HL_PostObserver = void (*)(int clanIndex, const AIMessage* msg);
void HL_SetPostObserver(HL_PostObserver observer);
using HL_CallObserver = void (*)(const char* text, const char* label, const char* callName, int unitNumber);
void HL_SetCallObserver(HL_CallObserver observer);

class HL_hilogic {
public:
    // The clan logics of clans 0 .. count-1 and the relation rows.
    explicit HL_hilogic(int clanCount);
    ~HL_hilogic();
    HL_hilogic(const HL_hilogic&) = delete;
    HL_hilogic& operator=(const HL_hilogic&) = delete;

    // One clan's step over its message queue (which stays the caller's); returns the orders given, which
    // the caller applies and frees (null when none).
    AIOrder* Think(int clanIndex, int ticks, AIMessage* queue);
    HL_clan* GetClan(int clanIndex) const;
    int ClanCount() const { return clanCount_; }
    // 1 when a thread of the clan targets the unit; 0 for a clan index that does not exist.
    int TargetsUnit(int clanIndex, const AIUnitRecord* rec);
    // Prints the clan's threads, agents and threats over the view (nothing for a clan that does not exist).
    void DumpClan(int clanNumber);
    // The clan's saved form; every word written advances *size. Fatal for a clan that does not exist.
    void ExportClan(FILE* file, int clanIndex, uint32_t* size);
    // Replaces the clan's state by a saved form read from the stream. The form is checked first (as the
    // saved-game reader checks it before the level changes): a damaged one is fatal with the reason.
    void ImportClan(FILE* stream, int clanIndex);

private:
    int clanCount_;
    HL_clan** clans_;
};

// The check of a unit reference of a clan's saved form (the action unit's name, terminated, and the
// unit's index in its pool): true when it names a placed unit, else false with the reason in *why.
using HL_UnitRefCheck = bool (*)(const char* auName, uint32_t index, std::string* why, void* user);
// Checks a clan's saved form (the bytes ImportClan would read) for clanCount clans without changing
// anything; empty when ImportClan can take it, else the reason. Without a reference check, references
// are checked against the running level's action units.
std::string HL_CheckSavedClan(const uint8_t* data, size_t size, int clanCount, HL_UnitRefCheck refCheck,
                              void* user);
