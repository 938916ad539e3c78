// Action units: the table of definitions, their lookups by name and by unit, and their deletion.
#include "ai/AUDef.h"

#include <cstring>

#include "ai/Clan.h"
#include "core/Memory.h"
#include "world/ConstructPool.h"

AUDef* AUDefTable[kMaxAUDefs] = {};
int32_t AUDefCount = 0;

AUDef* CreateAUDef() {
    if (AUDefCount >= kMaxAUDefs) FatalError("Error(CreateAUDef): Too many AUDefs");
    AUDef* au = static_cast<AUDef*>(qzAlloc(sizeof(AUDef), "AUdef cell"));
    std::memset(au, 0, sizeof *au);
    std::strcpy(au->name, "noname");
    au->abstractClan = -1;
    AUDefTable[AUDefCount++] = au;
    return au;
}

AUDef* NamedAUDef(const char* name) {
    for (int i = 0; i < AUDefCount; ++i)
        if (std::strcmp(AUDefTable[i]->name, name) == 0) return AUDefTable[i];
    return nullptr;
}

AUDef* FindAUOfUnit(const construct* con, int* index) {
    for (int i = 0; i < AUDefCount; ++i) {
        ConstructPool* pool = AUDefTable[i]->pool;
        if (!pool) continue;
        for (int k = 0; k < pool->count; ++k)
            if (pool->constructs[k] == con) {
                if (index) *index = k;
                return AUDefTable[i];
            }
    }
    return nullptr;
}

namespace {

void FreeList(AUUnitList& list) {
    for (int i = 0; i < list.count; ++i)
        if (list.data) qzFree(list.data[i]);
    qzFree(list.units);
    qzFree(list.percentages);
    qzFree(list.places);
    qzFree(list.data);
    qzFree(list.dataSizes);
    list = AUUnitList{};
}

}  // namespace

void DeleteAUDef(AUDef* au) {
    if (!au) return;
    for (int i = 0; i < AUDefCount; ++i)
        if (AUDefTable[i] == au) {
            AUDefTable[i] = AUDefTable[--AUDefCount];
            AUDefTable[AUDefCount] = nullptr;
            break;
        }
    if (au->placed) AUDef_itfc(au, ItfcMethod::UNPLACE);
    if (au->pool) AUDef_itfc(au, ItfcMethod::DESTROY);
    for (AUUnitList& list : au->lists) FreeList(list);
    qzFree(au);
}
