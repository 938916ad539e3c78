// The high-level AI's frame: the clan logics of a level, the order list of one think step, the thread
// serial numbers, the relation rows that say which behaviour supersedes which, the paired list and the
// messages the clan logic makes for itself.
#include "ai/HiLogic.h"

#include <cstdarg>
#include <cstring>
#include <iterator>

#include "ai/AIStubs.h"
#include "ai/HiLogic_local.h"
#include "core/Memory.h"
#include "world/Construct.h"

int32_t HLThreadSerial = 0;

namespace {

HL_ThinkHook g_thinkHook = nullptr;

// The order list of the running think step.
AIOrder* g_orderHead = nullptr;
AIOrder** g_orderTail = &g_orderHead;

constexpr int kRowLength = 14;  // up to 13 types and the closing -1
int32_t g_relationRows[kHLThreadTypes][kRowLength];

const char* const kTypeNames[] = {
    "CAMP",        "HOLD",           "GOTO",   "SNEAKTO", "ATTACK", "CHASE",           "PATROL",
    "GOTO_RETURN", "SNEAKTO_RETURN", "FOLLOW", "HIDE",    "MANUAL", "HOLDWHILEHEARING"};
static_assert(std::size(kTypeNames) == kHLThreadTypes);

void FillRelationRows() {
    for (auto& row : g_relationRows) row[0] = -1;
    SetAIRelationRow(kHLCamp, 0, 1, 2, 3, 4, 5, 9, 6, 10, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLHold, 1, 2, 3, 4, 5, 9, 6, 10, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLGoto, 2, 3, 1, 4, 5, 9, 6, 10, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLSneakTo, 3, 2, 1, 4, 5, 9, 6, 10, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLPatrol, 6, 1, 2, 3, 4, 5, 9, 10, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLFollow, 9, 2, 3, 1, 4, 5, 6, 10, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLHide, 10, 2, 3, 1, 4, 5, 9, 6, 11, 7, 8, 12, -1);
    SetAIRelationRow(kHLManual, 11, 2, 3, 1, 4, 5, 9, 6, 10, 7, 8, 12, -1);
    SetAIRelationRow(kHLAttack, 4, 7, 8, 12, 5, -1);
    SetAIRelationRow(kHLChase, 5, 7, 8, 12, -1);
    SetAIRelationRow(kHLSneakToReturn, 8, 7, 5, 12, -1);
    SetAIRelationRow(kHLGotoReturn, 7, 8, 5, 12, -1);
    SetAIRelationRow(kHLHoldWhileHearing, 12, -1);
}

// Orders given outside a step (a tool working on the threads) have no step to go with: dropped.
void DropPendingOrders() {
    for (AIOrder* o = g_orderHead; o;) {
        AIOrder* next = o->next;
        qzFree(o);
        o = next;
    }
    g_orderHead = nullptr;
    g_orderTail = &g_orderHead;
}

AIMessage* AllocHLMessage(int type, intptr_t param) {
    auto* msg = static_cast<AIMessage*>(qzAlloc(int(sizeof(AIMessage)), "ai message (HL_clan)"));
    std::memset(msg, 0, sizeof *msg);
    msg->type = type;
    msg->clanA = -1;
    msg->clanB = -1;
    msg->param = param;
    return msg;
}

}  // namespace

void HL_SetThinkHook(HL_ThinkHook hook) {
    g_thinkHook = hook;
}

const char* HL_TypeName(int type) {
    return type >= 0 && type < kHLThreadTypes ? kTypeNames[type] : "<uk>";
}

// ---- The frame.

HL_hilogic::HL_hilogic(int clanCount) : clanCount_(clanCount < 0 ? 0 : clanCount), clans_(nullptr) {
    // Serial numbers need only be unique within a level: each level's AI counts from 0.
    HLThreadSerial = 0;
    clans_ = new HL_clan*[size_t(clanCount_) + 1];
    for (int i = 0; i < clanCount_; ++i) clans_[i] = new HL_clan(i, clanCount_);
    FillRelationRows();
}

HL_hilogic::~HL_hilogic() {
    for (int i = 0; i < clanCount_; ++i) delete clans_[i];
    delete[] clans_;
    DropPendingOrders();
}

AIOrder* HL_hilogic::Think(int clanIndex, int ticks, AIMessage* queue) {
    if (g_thinkHook) return g_thinkHook(clanIndex, ticks, queue);
    DropPendingOrders();
    if (clanIndex < 0 || clanIndex >= clanCount_) return nullptr;
    clans_[clanIndex]->Think(ticks, queue);
    AIOrder* orders = g_orderHead;
    g_orderHead = nullptr;
    g_orderTail = &g_orderHead;
    return orders;
}

HL_clan* HL_hilogic::GetClan(int clanIndex) const {
    return clanIndex >= 0 && clanIndex < clanCount_ ? clans_[clanIndex] : nullptr;
}

int HL_hilogic::TargetsUnit(int clanIndex, const AIUnitRecord* rec) {
    if (clanIndex < 0 || clanIndex >= clanCount_) return 0;
    return clans_[clanIndex]->TargetsUnit(rec) ? 1 : 0;
}

void HL_hilogic::DumpClan(int clanNumber) {
    if (clanNumber >= 0 && clanNumber < clanCount_) clans_[clanNumber]->Dump();
}

void HL_hilogic::ExportClan(FILE* file, int clanIndex, uint32_t* size) {
    if (clanIndex < 0 || clanIndex >= clanCount_) {
        FatalErrorF("Error(HL_hilogic::ExportClan): clan %d does not exist", clanIndex);
        return;
    }
    clans_[clanIndex]->Export(file, size);
}

void HL_hilogic::ImportClan(FILE* stream, int clanIndex) {
    if (clanIndex < 0 || clanIndex >= clanCount_) {
        FatalErrorF("Error(HL_hilogic::ImportClan): clan %d does not exist", clanIndex);
        return;
    }
    clans_[clanIndex]->Import(stream);
}

// ---- Orders and serial numbers.

AIOrder* CreateAIOrder(int kind, HL_agent* agent, AIUnitRecord* target, const int32_t* point, int flag) {
    return NewAIOrder(kind, agent ? agent->unit : nullptr, target, point, flag);
}

void AppendAIOrder(AIOrder* order) {
    order->next = nullptr;
    *g_orderTail = order;
    g_orderTail = &order->next;
}

void GiveAIOrder(int kind, HL_agent* agent, AIUnitRecord* target, const int32_t* point, int flag) {
    AppendAIOrder(CreateAIOrder(kind, agent, target, point, flag));
}

int32_t NextHLThreadSerial() {
    return HLThreadSerial++;
}

// ---- Relation rows.

void SetAIRelationRow(int row, ...) {
    if (row < 0 || row >= kHLThreadTypes) return;
    va_list args;
    va_start(args, row);
    int n = 0;
    for (int type = va_arg(args, int); type != -1 && n < kRowLength - 1; type = va_arg(args, int))
        g_relationRows[row][n++] = type;
    va_end(args);
    g_relationRows[row][n] = -1;
}

bool AIRelationAllowsTypes(int newType, int oldType) {
    if (newType < 0 || newType >= kHLThreadTypes) return false;
    for (const int32_t* t = g_relationRows[newType]; *t != -1; ++t)
        if (*t == oldType) return true;
    return false;
}

bool AIRelationAllows(const HL_thread* newThread, const HL_thread* oldThread) {
    return AIRelationAllowsTypes(newThread->type, oldThread->type);
}

// ---- The paired list.

void PairList_Init(PairList* list) {
    list->count = 0;
    list->capacity = 4;
    list->keys = new uintptr_t[4];
    list->values = new uintptr_t[4];
}

void PairList_Free(PairList* list) {
    delete[] list->keys;
    delete[] list->values;
    list->keys = list->values = nullptr;
    list->count = list->capacity = 0;
}

int PairList_Append(PairList* list, uintptr_t key, uintptr_t value) {
    if (list->count >= list->capacity) {
        const int32_t capacity = list->capacity > 0 ? list->capacity * 2 : 4;
        auto* keys = new uintptr_t[size_t(capacity)];
        auto* values = new uintptr_t[size_t(capacity)];
        for (int i = 0; i < list->count; ++i) {
            keys[i] = list->keys[i];
            values[i] = list->values[i];
        }
        delete[] list->keys;
        delete[] list->values;
        list->keys = keys;
        list->values = values;
        list->capacity = capacity;
    }
    list->keys[list->count] = key;
    list->values[list->count] = value;
    return ++list->count;
}

int PairList_IndexOf(const PairList* list, uintptr_t key) {
    for (int i = 0; i < list->count; ++i)
        if (list->keys[i] == key) return i;
    return -1;
}

uintptr_t PairList_Lookup(const PairList* list, uintptr_t key) {
    const int i = PairList_IndexOf(list, key);
    return i >= 0 ? list->values[i] : 0;
}

void PairList_SetValue(PairList* list, uintptr_t key, uintptr_t value) {
    for (int i = 0; i < list->count; ++i)
        if (list->keys[i] == key) list->values[i] = value;
}

void PairList_GetAt(const PairList* list, int index, uintptr_t* key, uintptr_t* value) {
    const bool in = index >= 0 && index < list->count;
    if (key) *key = in ? list->keys[index] : 0;
    if (value) *value = in ? list->values[index] : 0;
}

void PairList_Remove(PairList* list, uintptr_t key) {
    const int i = PairList_IndexOf(list, key);
    if (i < 0) return;
    const int last = --list->count;
    list->keys[i] = list->keys[last];
    list->values[i] = list->values[last];
}

void PairList_RemoveOrdered(PairList* list, uintptr_t key) {
    const int i = PairList_IndexOf(list, key);
    if (i < 0) return;
    for (int k = i + 1; k < list->count; ++k) {
        list->keys[k - 1] = list->keys[k];
        list->values[k - 1] = list->values[k];
    }
    --list->count;
}

bool PairList_Contains(const PairList* list, uintptr_t key) {
    return PairList_IndexOf(list, key) >= 0;
}

bool PairList_ContainsUnit(const PairList* list, const AIUnitRecord* rec) {
    if (!rec) return false;
    for (int i = 0; i < list->count; ++i) {
        const auto* k = reinterpret_cast<const AIUnitRecord*>(list->keys[i]);
        if (k && k->con == rec->con) return true;
    }
    return false;
}

// ---- The clan logic's own messages.

AIMessage* NewHLMessage(int type, AIUnitRecord* unit, AIUnitRecord* other, const int32_t* point,
                        intptr_t param) {
    AIMessage* msg = AllocHLMessage(type, param);
    msg->unit = unit;
    msg->other = other;
    if (point) std::memcpy(msg->point, point, sizeof msg->point);
    return msg;
}

AIMessage* NewHLMessage(int type, HL_agent* agent, AIUnitRecord* other, const int32_t* point,
                        intptr_t param) {
    return NewHLMessage(type, agent ? agent->unit : nullptr, other, point, param);
}

AIMessage* NewHLMessage(int type, HL_agent* agent, intptr_t param) {
    return NewHLMessage(type, agent, nullptr, nullptr, param);
}

AIMessage* NewHLUnitsMessage(int type, const std::vector<HL_agent*>& agents, AIUnitRecord* unit,
                             intptr_t param) {
    AIMessage* msg = NewHLMessage(type, unit, nullptr, nullptr, param);
    auto** units = static_cast<AIUnitRecord**>(
        qzAlloc(int((agents.size() + 1) * sizeof(AIUnitRecord*)), "hl msg units"));
    for (size_t i = 0; i < agents.size(); ++i) units[i] = agents[i]->unit;
    units[agents.size()] = nullptr;
    msg->units = units;
    return msg;
}

void FreeHLMessage(AIMessage* msg) {
    FreeAIMessage(msg);
}
