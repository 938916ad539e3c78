// The action units' dispatcher: create, place, remove and destroy an action unit's units through their
// units-file entries.
#include <cstring>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Itfc.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

namespace {

const AUUnitList& MappedList(AUDef* au) {
    Clan* clan = au->abstractClan >= 0 && au->abstractClan < 3 ? AbstractClanMap[au->abstractClan] : nullptr;
    if (!clan) FatalError("Error(AUDef): This AU's abstract clan is not mapped");
    return au->lists[ClanIndex(clan)];
}

Clan* MappedClan(AUDef* au) {
    return AbstractClanMap[au->abstractClan];
}

// The construct of list entry i: entries whose type is not built yet made no construct, so the pool is
// walked beside the list and an entry owns the next pool member made from its units-file entry.
template <typename Fn>
void ForEachEntry(AUDef* au, const AUUnitList& list, Fn fn) {
    int k = 0;
    for (int i = 0; i < list.count; ++i) {
        construct* con = nullptr;
        if (k < au->pool->count && au->pool->constructs[k]->unit == list.units[i]) con = au->pool->constructs[k++];
        fn(i, con);
    }
}

// The PLACE / UNPLACE argument: the place record with its first and third words exchanged, then the
// percentage and a zero word.
PlacementRecord PlaceArgument(const AUUnitList& list, int i) {
    PlacementRecord p{};
    const int32_t* w = list.places[i];
    p.x = w[2];
    p.y = w[1];
    p.z = w[0];
    p.spare[0] = w[3];
    p.spare[1] = w[4];
    p.heading = w[5];
    p.strength = list.percentages[i];
    p.extraFlags = 0;
    return p;
}

void Create(AUDef* au) {
    const AUUnitList& list = MappedList(au);
    Clan* clan = MappedClan(au);
    if (au->pool) return;  // already created: its units exist
    char poolName[64];
    std::snprintf(poolName, sizeof poolName, "audef %s pool", au->name);
    au->pool = CreateConstructPool(list.count, poolName);
    au->action = kActionNone;
    if (Rule* r = FindRulef("%s_Action", au->name)) {
        static const char* const kActions[] = {"DATASCAN", "OBJECTSCAN", "OBJECTCAPTURE", "UNITCAPTURE", "ENTERDATA"};
        for (int a = 0; a < 5; ++a)
            if (r->info[0] && std::strcmp(r->info[0], kActions[a]) == 0) au->action = a + 1;
        auto value = [r](int i) { return i < r->count ? TruncateToInt32(r->values[i]) : 0; };
        au->actionValues[0] = value(0);
        au->actionValues[1] = value(1);
        au->actionValues[2] = value(2);
        au->actionValues[3] = value(1);
    }
    for (int i = 0; i < list.count; ++i) {
        auto* con = reinterpret_cast<construct*>(UnitType_itfc(list.units[i], nullptr, ItfcMethod::CREATE, 0));
        if (!con) {
            DebugPrintf("AUDef %s: unit '%s' has no object type yet\n", au->name, list.units[i]->name);
            continue;
        }
        con->clan = clan;
        if (list.data && list.data[i]) {
            // The type reads its whole parameter record: a shorter block is handed over padded with zeros.
            uint8_t params[kMaxParamsRecordSize] = {};
            const int32_t n = list.dataSizes[i] < kMaxParamsRecordSize ? list.dataSizes[i] : kMaxParamsRecordSize;
            if (n > 0) std::memcpy(params, list.data[i], size_t(n));
            UnitType_itfc(list.units[i], con, ItfcMethod::SETPARAMS, reinterpret_cast<uintptr_t>(params));
        }
        AppendToConstructPool(au->pool, con);
    }
}

void Place(AUDef* au) {
    const AUUnitList& list = MappedList(au);
    if (au->placed || !au->pool) return;
    ConstructPool* captured = FindConstructPool("tobecaptured");
    ForEachEntry(au, list, [&](int i, construct* con) {
        if (!con) return;
        if (list.percentages[i] > 0) {
            PlacementRecord p = PlaceArgument(list, i);
            UnitType_itfc(list.units[i], con, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&p));
        }
        if (con->flags & kConInputDriven) {
            if (UnitShare* rec = GetUnitShare(con)) rec->displayWord = 0;
            con->bytes2[1] = con->clan && con->clan == PlayerClan ? 255 : 0;
        }
        if (au->action == kActionUnitCapture && captured && !IsInConstructPool(con, captured))
            AppendToConstructPool(captured, con);
    });
    au->placed = 1;
}

void Unplace(AUDef* au) {
    const AUUnitList& list = MappedList(au);
    if (!au->placed) return;
    if (au->pool)
        ForEachEntry(au, list, [&](int i, construct* con) {
            if (!con) return;
            PlacementRecord p = PlaceArgument(list, i);
            UnitType_itfc(list.units[i], con, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(&p));
        });
    au->placed = 0;
}

void Destroy(AUDef* au) {
    const AUUnitList& list = MappedList(au);
    if (au->placed) Unplace(au);
    if (!au->pool) return;
    ConstructPool* captured = FindConstructPool("tobecaptured");
    ForEachEntry(au, list, [&](int i, construct* con) {
        if (!con) return;
        if (au->action == kActionUnitCapture && captured && IsInConstructPool(con, captured))
            RemoveFromConstructPool(captured, con);
        UnitType_itfc(list.units[i], con, ItfcMethod::DESTROY, 0);
    });
    au->pool->count = 0;
    DeleteConstructPool(au->pool);
    au->pool = nullptr;
    au->action = kActionNone;
}

}  // namespace

uintptr_t AUDef_itfc(AUDef* au, ItfcMethod method, uintptr_t arg) {
    (void)arg;
    if (method == ItfcMethod::CREATE) {
        Create(au);
    } else if (method == ItfcMethod::PLACE) {
        Place(au);
    } else if (method == ItfcMethod::UNPLACE) {
        Unplace(au);
    } else if (method == ItfcMethod::DESTROY) {
        Destroy(au);
    } else {
        DebugPrintf("AUDef: uk method %d\n", static_cast<int>(method));
    }
    return 0;
}

int32_t* AUDef_FindUnitSlot(AUDef* au, const construct* con, int* index) {
    if (!au->pool) return nullptr;
    const AUUnitList& list = MappedList(au);
    int32_t* found = nullptr;
    ForEachEntry(au, list, [&](int i, construct* c) {
        if (!found && c && c == con) {
            found = list.places[i];
            if (index) *index = i;
        }
    });
    return found;
}
