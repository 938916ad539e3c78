// What the high-level AI's files share: the paired list, the agents through which the threads see their
// units, the thread base class with its thread types, the clan logic, the relation rows, the order list
// of one think step, the clan's own messages and the check of a clan's saved form.
//
// Ownership: the clan owns its agents and threads (plain heap); a thread's agents list maps each agent
// to the next thread of that agent's chain (null at its last); the clan's agents list maps each agent to
// the first thread of its chain, which is the CAMP thread the agent got when it joined.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/HiLogic.h"

class HL_clan;
class HL_thread;

// ---- The paired list: a small array of (key, value) pairs searched linearly. Keys and values hold
// pointers or numbers at pointer width.

struct PairList {
    int32_t count;
    int32_t capacity;  // 4 at creation, doubled when full
    uintptr_t* keys;
    uintptr_t* values;
};

void PairList_Init(PairList* list);
// Frees both arrays (not the record); the list is left empty with no arrays.
void PairList_Free(PairList* list);
// Appends the pair (doubling the arrays when full); returns the new count.
int PairList_Append(PairList* list, uintptr_t key, uintptr_t value);
// The index of the first entry with the key, or -1.
int PairList_IndexOf(const PairList* list, uintptr_t key);
// The value of the first entry with the key, or 0.
uintptr_t PairList_Lookup(const PairList* list, uintptr_t key);
// Sets the value of every entry with the key.
void PairList_SetValue(PairList* list, uintptr_t key, uintptr_t value);
// The pair at the index; (0, 0) outside 0 .. count-1. Either out may be null.
void PairList_GetAt(const PairList* list, int index, uintptr_t* key, uintptr_t* value);
// Removes the first entry with the key by moving the last entry into its place (order not kept).
void PairList_Remove(PairList* list, uintptr_t key);
// Removes the first entry with the key; later entries move down one place (order kept).
void PairList_RemoveOrdered(PairList* list, uintptr_t key);
bool PairList_Contains(const PairList* list, uintptr_t key);
// True when some key is a record (of any clan's view) of the same unit as rec.
bool PairList_ContainsUnit(const PairList* list, const AIUnitRecord* rec);
inline int PairList_Count(const PairList* list) {
    return list->count;
}

// Removes the first p of a pointer list by moving the last entry into its place.
template <typename T>
void RemoveByLast(std::vector<T*>& list, const T* p) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == p) {
            list[i] = list.back();
            list.pop_back();
            return;
        }
}

// ---- Thread types.

enum HL_ThreadType : int32_t {
    kHLCamp = 0,
    kHLHold = 1,
    kHLGoto = 2,
    kHLSneakTo = 3,
    kHLAttack = 4,
    kHLChase = 5,
    kHLPatrol = 6,
    kHLGotoReturn = 7,
    kHLSneakToReturn = 8,
    kHLFollow = 9,
    kHLHide = 10,
    kHLManual = 11,
    kHLHoldWhileHearing = 12,
    kHLThreadTypes = 13,
};

// Release reasons of an agent leaving a thread.
enum : int32_t { kHLThreadEnded = 0, kHLTaskDone = 1, kHLConditionLapsed = 2 };

// Message types the clan logic answers or posts beyond those of the senders.
enum : int32_t {
    kMsgHelpCall = 108,
    kMsgCloseIn = 109,
    kMsgIntercept = 107,
    kMsgJoinFollow = 110,
    kMsgManualOn = 150,
    kMsgManualOff = 151,
    kMsgManualOn2 = 152,
    kMsgPatrol = 205,
    kMsgGoto = 350,
    kMsgSneakTo = 351,
    kMsgSneakOpen = 352,
    kMsgHold = 353,
    kMsgHide = 354,
    kMsgHideFlag = 355,
    kMsgFollow = 356,
    kMsgAttack = 358,
    kMsgChase = 361,
    kMsgAttackInRange = 362,
    kMsgGotoReturn = 363,
    kMsgSneakToReturn = 364,
    kMsgHoldWhileHearing = 365,
    kMsgStandByOn = 366,
    kMsgStandByOff = 367,
    kMsgEndThread = 400,
};

constexpr int32_t kHLDefaultAttackRange = 450000;  // 16.16, about 6.87 tiles
constexpr int32_t kHLNoRangeLimit = 0x7fffffff;

// "CAMP" ... "HOLDWHILEHEARING"; "<uk>" for any other number.
const char* HL_TypeName(int type);

// ---- Relation rows: which thread types a new thread of each type supersedes in an agent's chain.

// Writes the types (up to the -1) into the row and ends it with -1.
void SetAIRelationRow(int row, ...);
// True when the row of the new thread's type lists the old thread's type.
bool AIRelationAllows(const HL_thread* newThread, const HL_thread* oldThread);
bool AIRelationAllowsTypes(int newType, int oldType);

// ---- Orders and serial numbers.

// A new order for the agent's unit (null agent: no unit): kind 2 carries the target, kind 0 the point
// and its aim flag. Fatal when the heap is exhausted.
class HL_agent;
AIOrder* CreateAIOrder(int kind, HL_agent* agent, AIUnitRecord* target, const int32_t* point, int flag);
// Appends an order to the list of the running think step.
void AppendAIOrder(AIOrder* order);
// CreateAIOrder and AppendAIOrder in one.
void GiveAIOrder(int kind, HL_agent* agent, AIUnitRecord* target, const int32_t* point, int flag);
// The global thread serial counter: returns it and counts it up.
int32_t NextHLThreadSerial();
extern int32_t HLThreadSerial;

// ---- Messages the clan logic makes for itself ("ai message (HL_clan)").

AIMessage* NewHLMessage(int type, AIUnitRecord* unit, AIUnitRecord* other, const int32_t* point,
                        intptr_t param);
AIMessage* NewHLMessage(int type, HL_agent* agent, AIUnitRecord* other, const int32_t* point, intptr_t param);
AIMessage* NewHLMessage(int type, HL_agent* agent, intptr_t param);
// The message also carries the agents' records, null-ended ("hl msg units").
AIMessage* NewHLUnitsMessage(int type, const std::vector<HL_agent*>& agents, AIUnitRecord* unit,
                             intptr_t param);
void FreeHLMessage(AIMessage* msg);

// ---- Agents: a clan's view of one of its AI units.

class HL_agent {
public:
    HL_agent(AIUnitRecord* rec, const char* typeName);
    ~HL_agent();
    HL_agent(const HL_agent&) = delete;
    HL_agent& operator=(const HL_agent&) = delete;

    const char* TypeName() const { return typeName_; }
    // The straight-line distance (16.16) to the record's unit; 0 when any coordinate differs by more
    // than the limit, when the distance exceeds it, and at the same position.
    int32_t DistanceTo(const AIUnitRecord* rec, int32_t limit) const;
    // The usable weapon group's status block, or null (outs untouched); near limit, second value and
    // range by the block's state.
    const uint32_t* GetWeaponRange(int32_t* nearLimit, int32_t* second, int32_t* range) const;
    // 0 when the line to the unit is clear or the unit is one of this one's attackers; otherwise whether
    // the ground stops a straight way there (out: the point reached).
    int BlockedTowards(AIUnitRecord* rec, int32_t out[3]) const;
    // The horizontal direction to the point has a positive dot product with the unit's forward axis.
    bool IsAhead(const int32_t point[3]) const;
    // The horizontal direction to the point, normalised, has a dot product below 1 with the direction.
    bool IsNotAhead(const int32_t point[3], const float direction[3]) const;
    // base + distance x direction in the horizontal plane at the base's height; with test, whether the
    // unit gets there straight (out: the point reached), else 1.
    int PointAlong(int32_t out[3], const int32_t base[3], const float direction[3], int32_t distance,
                   int test) const;
    // The same with the direction turned by a right angle.
    int PointAside(int32_t out[3], const int32_t base[3], const float direction[3], int32_t distance,
                   int test) const;
    // The unit's status text (cut to the record's text field).
    void SetStatus(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The radio call of the rule named callName, naming the other unit's type where the text asks.
    void Call(const char* callName, const AIUnitRecord* other) const;
    // Records the type and serial of the last thread of the agent's chain and clears the reason.
    void NoteLastThread(const HL_clan* clan);
    // The type of the last thread of the agent's chain, -1 without one.
    int CurrentThreadType(const HL_clan* clan) const;

    AIUnitRecord* unit;
    PairList attackers;  // record -> frame counter of its last attack, oldest first
    PairList targets;    // record -> frame counter when it was entered
    int32_t lastThreadType = -1;
    int32_t releaseReason = 0;
    int32_t lastThreadSerial = -1;

private:
    const char* typeName_;
};

// The call text and the sender label a radio call shows (the text's "<arg1>" replaced).
void HL_FormatCall(const char* callName, const AIUnitRecord* unit, const AIUnitRecord* other,
                   std::string* text, std::string* label);

// ---- Threads.

class HL_thread {
public:
    HL_thread();
    virtual ~HL_thread();
    HL_thread(const HL_thread&) = delete;
    HL_thread& operator=(const HL_thread&) = delete;

    virtual void Update(int ticks) { (void)ticks; }
    virtual void HandleMessage(AIMessage* msg) { (void)msg; }
    virtual void NotifyAgentAdded(HL_agent* agent) { (void)agent; }
    // Called before the agent leaves the agents list: the class moves the last agent's data into the
    // leaving agent's index, as the list does.
    virtual void RemoveAgent(HL_agent* agent) { (void)agent; }
    virtual void NotifySuperseded(HL_agent* agent) { (void)agent; }
    virtual void NotifyResumed(HL_agent* agent) { (void)agent; }
    virtual void NotifyInserted() {}
    virtual AIUnitRecord* GetTarget() { return nullptr; }
    virtual void Export(FILE* file, uint32_t* counter) { (void)file, (void)counter; }
    virtual void Describe(int column, int row) { (void)column, (void)row; }

    int GetType() const { return type; }
    int GetSerial() const { return serial; }
    const char* TypeName() const { return HL_TypeName(type); }

    int AgentCount() const { return agents.count; }
    HL_agent* AgentAt(int i) const;
    // The next thread of the agent's chain after this one (null at its last, and for agents not here).
    HL_thread* LinkOf(const HL_agent* agent) const;
    void SetLink(const HL_agent* agent, HL_thread* next);
    bool Holds(const HL_agent* agent) const;
    // The agent of this thread that drives the record's unit, or null.
    HL_agent* AgentFor(const AIUnitRecord* rec) const;
    // Appends the agent with its link.
    void AddAgent(HL_agent* agent, HL_thread* link);
    // The agent leaves: RemoveAgent, then removal from the agents list by moving the last entry.
    void DropAgent(HL_agent* agent);

    PairList agents;  // agent -> next thread of its chain
    HL_clan* clan = nullptr;
    int32_t type = -1;
    int32_t serial = -1;

protected:
    // The saved form's head: type, serial, agent count and the agents' indices in the clan's list.
    void ExportHead(FILE* file, uint32_t* counter) const;
    // Reads the serial and the agents (the type was read by the clan); every agent gets "<none>".
    void ImportHead(HL_clan* owner, int32_t threadType, FILE* stream);
};

// ---- The clan logic.

class HL_clan {
public:
    HL_clan(int index, int count);
    ~HL_clan();
    HL_clan(const HL_clan&) = delete;
    HL_clan& operator=(const HL_clan&) = delete;

    void Think(int ticks, AIMessage* messages);
    void HandleMessage(AIMessage* msg);
    void PostMessage(AIMessage* msg);
    void InsertThread(HL_thread* thread, const std::vector<HL_agent*>& list);
    void InsertAgent(HL_thread* thread, HL_agent* agent);
    void ReleaseAgent(HL_agent* agent, HL_thread* thread, int reason);
    void EndThread(HL_thread* thread);
    void DeleteIdleThreads();
    int GetHostility(int clanIndex) const;
    int IsPlayerClan() const { return playerFlag; }
    bool TargetsUnit(const AIUnitRecord* rec);
    void Dump();
    void Export(FILE* file, uint32_t* counter);
    void Import(FILE* stream);

    // The clan's agent that drives the record's unit, or null. A record may still name an agent of an
    // earlier AI (the records outlive it when a saved game replaces it), so the pointer is honoured only
    // when it is one of this clan's agents and drives that record.
    HL_agent* AgentOf(const AIUnitRecord* rec) const;
    // The first thread of the agent's chain, or null.
    HL_thread* FirstThread(const HL_agent* agent) const;
    HL_thread* LastThread(const HL_agent* agent) const;
    int AgentIndex(const HL_agent* agent) const {
        return PairList_IndexOf(&agents, reinterpret_cast<uintptr_t>(agent));
    }
    HL_agent* AgentAt(int i) const;
    int ThreadIndex(const HL_thread* thread) const;
    // A new thread placed in the chains of the agents and appended to the thread list.
    void StartThread(HL_thread* thread, const std::vector<HL_agent*>& list);
    // The agents a message is for: those of its unit array (records without an agent skipped), else the
    // first unit's agent.
    std::vector<HL_agent*> MessageAgents(const AIMessage* msg) const;
    // Deletes every agent and thread (the records the agents drive are not touched).
    void Clear();

    PairList agents;                 // agent -> first thread of its chain
    std::vector<HL_agent*> standBy;  // agents that may be sent to intercept
    HL_agent* manual = nullptr;      // the agent under the player's direct control (not owned)
    PairList threats;                // record of a threatening unit -> frame counter of its entry
    std::vector<HL_thread*> threads;
    int32_t index;
    int32_t count;
    std::vector<int32_t> hostility;  // NEUTRAL, ALLIED, HOSTILE toward each clan
    std::vector<int32_t> damage;     // suffered from each clan
    int32_t playerFlag = 0;
    AIMessage* postedHead = nullptr;
    AIMessage** postedTail = &postedHead;

private:
    // The new thread takes the place of the first thread of the agent's chain that its relation row
    // lists (the agent leaves every listed one), or is stacked on the chain's end.
    void PlaceInChain(HL_thread* thread, HL_agent* agent);
    void DispatchMessage(AIMessage* msg);
    void EmptyPosted();
    // A radio call of the clan's handler: only in the player's clan and not by the manual agent.
    void HandlerCall(HL_agent* agent, const char* callName, const AIUnitRecord* other);
    void UnitJoins(AIMessage* msg);
    void Attacked(AIMessage* msg);
    void Destroyed(AIMessage* msg);
    void Intercept(AIMessage* msg);
    void StartFollow(AIMessage* msg);
    void StartPatrol(AIMessage* msg);
    void StartAttack(const std::vector<HL_agent*>& list, AIUnitRecord* target, int32_t rangeLimit);
};

// ---- What the behaviour classes share.

constexpr int32_t kHLHelpReach = 200000;    // 16.16: a help call reaches agents this near the caller
constexpr int32_t kHLThreatReach = 350000;  // hostile threats this near are engaged

bool HL_AnyClassFlag(const AIUnitRecord* rec);
// The straight-line distance between two points (16.16), truncated.
int32_t HL_Distance(const int32_t a[3], const int32_t b[3]);
// Whether the agent may fight back the attacker of a message 2: its clan holds the attacker's clan
// HOSTILE, the unit has a usable weapon, the attacker lies within reach (the weapon's range when the unit
// has a target, else 450000) and the line to it is not blocked.
bool HL_CanAnswerAttack(const HL_clan* clan, HL_agent* agent, AIUnitRecord* attacker);
// The nearest of the clan's threats of a HOSTILE clan within reach of the agent towards which the way is
// not blocked (the first of equals), or null.
AIUnitRecord* HL_NearestHostileThreat(const HL_clan* clan, HL_agent* agent, int32_t reach);
// The answer of a thread's current agents to a help call (108: they join the attack on the message's
// second unit) or a close-in call (109: they say they are ready): armed agents within 200000 of the
// caller that have not fought that unit before.
void HL_AnswerHelpCall(HL_thread* thread, const AIMessage* msg);
// Releases the thread's agents one by one with the reason until it has none.
void HL_ReleaseAll(HL_thread* thread, int reason);
// The index of the agent in the thread's agents list, or -1.
int HL_IndexOf(const HL_thread* thread, const HL_agent* agent);

// ---- Saved forms: the check of a clan's bytes before a level changes.

class HL_SavedCheck {
public:
    HL_SavedCheck(const uint8_t* data, size_t size, HL_UnitRefCheck refCheck, void* user)
        : data_(data), size_(size), refCheck_(refCheck), user_(user) {}
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    size_t Left() const { return ok() ? size_ - pos_ : 0; }
    uint32_t U32();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    void Skip(size_t n);
    // A count of records of at least minBytes each that must fit in what is left.
    uint32_t Count(uint32_t minBytes, const char* what);
    // A unit reference; an absent one is refused unless allowed. key gets the unit's name and index.
    void UnitRef(const char* what, bool allowNull, std::string* key);
    // An index into a list of n entries.
    uint32_t Index(uint32_t n, const char* what);
    // A way point list's saved form (present word, count, capacity, points); an absent one is refused
    // unless allowed. Returns the points the list keeps (at most its capacity).
    uint32_t WayList(const char* what, bool allowNull);
    // A block of n records of size bytes each.
    void Block(uint32_t n, uint32_t size, const char* what);
    // A 32-byte name field, which must end within its bytes.
    void NameField(const char* what);

    int clanCount = 0;
    uint32_t agentCount = 0;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    HL_UnitRefCheck refCheck_;
    void* user_;
    std::string error_;
};
