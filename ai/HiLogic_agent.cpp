// Agents and the thread base: the operations that every behaviour shares on its units (distances,
// weapon ranges, side tests, points along and aside, status texts, radio calls) and the agents list
// through which a thread holds its units and links each one to the next thread of its chain.
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "ai/AIStream.h"
#include "ai/AIStubs.h"
#include "ai/HiLogic_local.h"
#include "ai/WayFinder.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/MessageLog.h"

namespace {

HL_CallObserver g_callObserver = nullptr;

// The horizontal direction from a to b as doubles of length 1; false when the two stand on one spot.
bool HorizontalDirection(const int32_t a[3], const int32_t b[3], double* dx, double* dz) {
    const double x = double(b[0]) - double(a[0]);
    const double z = double(b[2]) - double(a[2]);
    const double l = std::sqrt(x * x + z * z);
    if (l <= 0) return false;
    *dx = x / l;
    *dz = z / l;
    return true;
}

int32_t ClampToInt32(double v) {
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

}  // namespace

void HL_SetCallObserver(HL_CallObserver observer) {
    g_callObserver = observer;
}

// ---- Agents.

HL_agent::HL_agent(AIUnitRecord* rec, const char* typeName) : unit(rec), typeName_(typeName ? typeName : "") {
    PairList_Init(&attackers);
    PairList_Init(&targets);
    if (unit) unit->agent = this;
}

// The record's pointer back to the agent is cleared by the clan where the unit is known to live (a
// destroyed unit's message); at the end of a level the units are gone before the AI.
HL_agent::~HL_agent() {
    PairList_Free(&attackers);
    PairList_Free(&targets);
}

int32_t HL_agent::DistanceTo(const AIUnitRecord* rec, int32_t limit) const {
    double sum = 0;
    const double l = double(limit);
    for (int k = 0; k < 3; ++k) {
        const double d = double(rec->pos[k]) - double(unit->pos[k]);
        if (d > l || d < -l) return 0;
        sum += d * d;
    }
    if (sum > l * l) return 0;
    return ClampToInt32(std::sqrt(sum));
}

const uint32_t* HL_agent::GetWeaponRange(int32_t* nearLimit, int32_t* second, int32_t* range) const {
    const uint32_t* block = nullptr;
    for (int g = 0; g < 2 && !block; ++g)
        if (unit->weaponPresent[g] && unit->weapon[g][11]) block = unit->weapon[g];
    if (!block) return nullptr;
    auto word = [block](int i) { return static_cast<int32_t>(block[i]); };
    switch (word(0)) {
        case 0:
        case 3:
            *nearLimit = word(4), *second = word(5), *range = word(6);
            break;
        case 2:
            *nearLimit = word(5), *second = word(6), *range = word(7);
            break;
        case 1:
            *nearLimit = 0, *second = 0, *range = 0x7fffffff;
            break;
        default:
            break;
    }
    return block;
}

int HL_agent::BlockedTowards(AIUnitRecord* rec, int32_t out[3]) const {
    int computed = 0;
    if (aistubs_InLineOfSight(unit, rec, &computed) == 0) return 0;
    if (PairList_Contains(&attackers, reinterpret_cast<uintptr_t>(rec))) return 0;
    int blocked = 0;
    FindWayTree(unit->pos, rec->pos, out, &blocked, unit->accessType);
    return blocked;
}

bool HL_agent::IsAhead(const int32_t point[3]) const {
    double dx, dz;
    if (!HorizontalDirection(unit->pos, point, &dx, &dz)) return false;
    return dx * double(unit->orient[6]) + dz * double(unit->orient[8]) > 0;
}

bool HL_agent::IsNotAhead(const int32_t point[3], const float direction[3]) const {
    double dx = 0, dz = 0;
    HorizontalDirection(unit->pos, point, &dx, &dz);
    return dx * double(direction[0]) + dz * double(direction[2]) < 1.0;
}

int HL_agent::PointAlong(int32_t out[3], const int32_t base[3], const float direction[3], int32_t distance,
                         int test) const {
    const int32_t p[3] = {ClampToInt32(double(base[0]) + double(distance) * double(direction[0])), base[1],
                          ClampToInt32(double(base[2]) + double(distance) * double(direction[2]))};
    if (!test) {
        std::memcpy(out, p, sizeof p);
        return 1;
    }
    int blocked = 0;
    return FindWayTree(base, p, out, &blocked, unit->accessType);
}

int HL_agent::PointAside(int32_t out[3], const int32_t base[3], const float direction[3], int32_t distance,
                         int test) const {
    const float turned[3] = {direction[2], 0.0f, -direction[0]};
    return PointAlong(out, base, turned, distance, test);
}

void HL_agent::SetStatus(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Formatted with the field's bound: a long text is cut, never written past the record's field.
    std::vsnprintf(unit->text, sizeof unit->text, format, args);
    va_end(args);
}

void HL_agent::Call(const char* callName, const AIUnitRecord* other) const {
    std::string text, label;
    HL_FormatCall(callName, unit, other, &text, &label);
    ShowMessage(text.c_str(), label.c_str());
    PlayFxSound(callName, unit->unitNumber);
    if (g_callObserver) g_callObserver(text.c_str(), label.c_str(), callName, unit->unitNumber);
}

void HL_FormatCall(const char* callName, const AIUnitRecord* unit, const AIUnitRecord* other,
                   std::string* text, std::string* label) {
    const Rule* rule = NamedRulef("%s", callName);
    *text = rule && rule->info[0] ? rule->info[0] : "";
    static const char kMarker[] = "<arg1>";
    const size_t at = text->find(kMarker);
    if (at != std::string::npos)
        text->replace(at, sizeof kMarker - 1, other ? aistubs_UnitTypeInfo(other) : "");
    // Without the rule "Unit_text" the label's first word is empty instead of a null text.
    const char* word = GetRuleText(RuleText::Unit_text);
    *label = std::string(word ? word : "") + " " + unit->callSign;
}

void HL_agent::NoteLastThread(const HL_clan* clan) {
    const HL_thread* last = clan->LastThread(this);
    lastThreadType = last ? last->type : -1;
    lastThreadSerial = last ? last->serial : -1;
    releaseReason = 0;
}

int HL_agent::CurrentThreadType(const HL_clan* clan) const {
    const HL_thread* last = clan->LastThread(this);
    return last ? last->type : -1;
}

// ---- The thread base.

HL_thread::HL_thread() {
    PairList_Init(&agents);
}

HL_thread::~HL_thread() {
    PairList_Free(&agents);
}

HL_agent* HL_thread::AgentAt(int i) const {
    uintptr_t key = 0;
    PairList_GetAt(&agents, i, &key, nullptr);
    return reinterpret_cast<HL_agent*>(key);
}

HL_thread* HL_thread::LinkOf(const HL_agent* agent) const {
    return reinterpret_cast<HL_thread*>(PairList_Lookup(&agents, reinterpret_cast<uintptr_t>(agent)));
}

void HL_thread::SetLink(const HL_agent* agent, HL_thread* next) {
    PairList_SetValue(&agents, reinterpret_cast<uintptr_t>(agent), reinterpret_cast<uintptr_t>(next));
}

bool HL_thread::Holds(const HL_agent* agent) const {
    return PairList_Contains(&agents, reinterpret_cast<uintptr_t>(agent));
}

// The record's agent pointer is only compared, never followed, until it is found in this thread.
HL_agent* HL_thread::AgentFor(const AIUnitRecord* rec) const {
    if (!rec || !rec->agent) return nullptr;
    const auto* agent = static_cast<const HL_agent*>(rec->agent);
    if (!Holds(agent) || agent->unit != rec) return nullptr;
    return const_cast<HL_agent*>(agent);
}

void HL_thread::AddAgent(HL_agent* agent, HL_thread* link) {
    PairList_Append(&agents, reinterpret_cast<uintptr_t>(agent), reinterpret_cast<uintptr_t>(link));
}

void HL_thread::DropAgent(HL_agent* agent) {
    RemoveAgent(agent);
    PairList_Remove(&agents, reinterpret_cast<uintptr_t>(agent));
}

void HL_thread::ExportHead(FILE* file, uint32_t* counter) const {
    auto put = [&](uint32_t v) {
        aistream::PutU32(file, v);
        *counter += 4;
    };
    put(uint32_t(type));
    put(uint32_t(serial));
    put(uint32_t(agents.count));
    for (int i = 0; i < agents.count; ++i) put(uint32_t(clan->AgentIndex(AgentAt(i))));
}

void HL_thread::ImportHead(HL_clan* owner, int32_t threadType, FILE* stream) {
    static const char* const who = "HL_clan::import";
    clan = owner;
    type = threadType;
    serial = int32_t(aistream::GetU32(stream, who));
    const uint32_t n = aistream::GetU32(stream, who);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t k = aistream::GetU32(stream, who);
        HL_agent* agent = owner->AgentAt(int(k));
        if (k >= uint32_t(owner->agents.count) || !agent) {
            FatalError("Error(HL_camp::HL_camp): agent index out of range");
            return;
        }
        AddAgent(agent, nullptr);
        agent->SetStatus("<none>");
    }
}
