// Resistance types, access types with their blocking masks, type pools and the cockpit warning values.
#include "objects/UnitServices.h"

#include <cstring>
#include <iterator>

#include "core/Memory.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"


namespace {

construct* NavConstruct = nullptr;

struct ResistanceRow {
    const char* name;
    ResistanceType type;
    int setCount;  // how many of p1..p5 the type sets
    float p[5];
};
constexpr ResistanceRow kResistances[] = {
    {"rigid", ResistanceType::Rigid, 1, {0.0f}},
    {"swing", ResistanceType::Swing, 5, {0.6f, 0.13f, 0.6f, 1.0f, 0.0f}},
    {"bend", ResistanceType::Bend, 5, {1.0f, 0.0f, 0.4f, 1.0f, 0.0f}},
    {"fall", ResistanceType::Fall, 5, {0.6f, 0.13f, 0.6f, 1.0f, 0.22f}},
    {"slam", ResistanceType::Slam, 5, {1.7f, 0.08f, 0.9f, 1.0f, 0.2f}},
    {"break", ResistanceType::Break, 1, {0.0f}},
};

struct AccessRow {
    const char* name;
    AccessType type;
    uint32_t mask;
};
constexpr AccessRow kAccessTypes[] = {
    {"LAND0", AccessType::Land0, 2}, {"LAND1", AccessType::Land1, 2}, {"AMPHI", AccessType::Amphi, 1},
    {"SEA", AccessType::Sea, 0},     {"AIR", AccessType::Air, 0},
};
static_assert(std::size(kAccessTypes) == static_cast<size_t>(AccessType::Air) + 1);

struct TypePool {
    const char* name;
    uint32_t klass;
    bool leavesOnUnplace;
};
constexpr TypePool kTypePools[] = {
    {"radioactive", kKlassRadioactive, true}, {"reload", kKlassReload, false},
    {"target", kKlassTarget, true},           {"icon", kKlassIcon, true},
    {"nav", kKlassNav, true},
};

void ReplaceNavConstruct(const construct* gone) {
    if (NavConstruct != gone) return;
    ConstructPool* nav = FindConstructPool("nav");
    NavConstruct = nav && nav->count > 0 ? nav->constructs[0] : nullptr;
}

void LeaveTypePools(construct* con, bool destroyed) {
    if (!con) return;
    for (const TypePool& t : kTypePools) {
        if (!t.leavesOnUnplace && !destroyed) continue;
        ConstructPool* pool = FindConstructPool(t.name);
        if (pool && IsInConstructPool(con, pool)) RemoveFromConstructPool(pool, con);
    }
    ReplaceNavConstruct(con);
}

}  // namespace

void NamedResistance(ResistanceRecord* record, const char* name, void* owner) {
    for (const ResistanceRow& r : kResistances) {
        if (std::strcmp(r.name, name) != 0) continue;
        record->type = r.type;
        record->owner = owner;
        for (int i = 0; i < r.setCount; ++i) record->p[i] = r.p[i];
        return;
    }
    FatalError("Error(NamedResistance): uk resistance type");
}

int IsResistanceUpright(const ResistanceRecord* record) {
    switch (record->type) {
        case ResistanceType::Rigid:
        case ResistanceType::Swing:
        case ResistanceType::Bend:
            return 1;
        case ResistanceType::Fall:
        case ResistanceType::Slam:
        case ResistanceType::Break:
            return 0;
    }
    return 0;
}

int IsResistanceMoving(const ResistanceRecord* record) {
    switch (record->type) {
        case ResistanceType::Swing:
        case ResistanceType::Bend:
        case ResistanceType::Fall:
        case ResistanceType::Slam:
            return 1;
        case ResistanceType::Rigid:
        case ResistanceType::Break:
            return 0;
    }
    return 0;
}

AccessType NamedAccessType(const char* name) {
    for (const AccessRow& a : kAccessTypes)
        if (std::strcmp(a.name, name) == 0) return a.type;
    FatalErrorF("Error(NamedAccessType): unknown access type '%s'", name);
    return AccessType::Land0;
}

uint32_t GetBlockedMask(int32_t type) {
    for (const AccessRow& a : kAccessTypes)
        if (static_cast<int32_t>(a.type) == type) return a.mask;
    FatalError("Error(GetBlockedMask): unknown AccessType");
    return 0;
}

uint32_t GetBlockedMask(AccessType type) { return GetBlockedMask(static_cast<int32_t>(type)); }

void AddToTypePools(construct* con) {
    if (!con || !con->unit) return;
    const uint32_t klass = con->unit->klass;
    for (const TypePool& t : kTypePools) {
        if (!(klass & t.klass)) continue;
        ConstructPool* pool = FindConstructPool(t.name);
        if (pool && !IsInConstructPool(con, pool)) AppendToConstructPool(pool, con);
    }
    if ((klass & kKlassNav) && !GetNavConstruct()) NavConstruct = con;
}

construct* GetNavConstruct() {
    ConstructPool* nav = FindConstructPool("nav");
    if (!nav || !NavConstruct || !IsInConstructPool(NavConstruct, nav)) NavConstruct = nullptr;
    return NavConstruct;
}

void RemoveFromTypePools(construct* con) { LeaveTypePools(con, false); }

void RemoveDestroyedFromTypePools(construct* con) { LeaveTypePools(con, true); }

int32_t PartBlinkValue(uint32_t tick, int32_t targetedBy) {
    if (targetedBy == 0) return 0;
    const int32_t t = static_cast<int32_t>(tick & 63);
    return t < 32 ? (31 - t) * 8 : (t - 32) * 8;
}

int32_t PartAlarmValue(int32_t missileCount) { return missileCount > 0 ? 255 : 0; }
