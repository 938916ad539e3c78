// Construct pools and their registry.
#include "world/ConstructPool.h"

#include <cstring>

#include "core/Memory.h"
#include "world/Construct.h"

ConstructPool* ConstructPoolTable[kMaxConstructPools];
int ConstructPoolCount = 0;

namespace {

int32_t g_serial = 0;

int PoolSlot(const ConstructPool* pool) {
    for (int i = 0; i < ConstructPoolCount; ++i)
        if (ConstructPoolTable[i] == pool) return i;
    return -1;
}

int Append(ConstructPool* pool, construct* con, const char* name) {
    if (pool->count >= pool->capacity)
        FatalErrorF("Error(AppendToConstructPool '%s'): Too many constructs", pool->name);
    pool->constructs[pool->count] = con;
    pool->names[pool->count] = name ? qzStrDup(name, "pool con name") : nullptr;
    return ++pool->count;
}

}  // namespace

ConstructPool* CreateConstructPool(int capacity, const char* name) {
    // The table is full: the pool is refused, naming it, before anything is written (weapons make pools
    // of their own per number, so a level with many weapons meets this limit).
    if (ConstructPoolCount >= kMaxConstructPools)
        FatalErrorF("Error(CreateConstructPool): Too many construct pools (max is %d) for '%s'", kMaxConstructPools,
                    name);
    if (FindConstructPool(name)) FatalErrorF("Error(CreateConstructPool): ambiguous pool name '%s'", name);
    auto* pool = static_cast<ConstructPool*>(qzAlloc(sizeof(ConstructPool), "Construct Pool Cell"));
    std::memset(pool, 0, sizeof *pool);
    std::strncpy(pool->name, name, sizeof pool->name - 1);
    if (capacity >= 1) {
        pool->capacity = capacity;
        const int bytes = static_cast<int>(sizeof(void*)) * capacity;
        pool->constructs = static_cast<construct**>(qzAlloc(bytes, "construct list"));
        pool->names = static_cast<char**>(qzAlloc(bytes, "construct name list"));
        std::memset(pool->constructs, 0, static_cast<size_t>(bytes));
        std::memset(pool->names, 0, static_cast<size_t>(bytes));
    }
    ConstructPoolTable[ConstructPoolCount++] = pool;
    return pool;
}

void DeleteConstructPool(ConstructPool* pool) {
    const int slot = pool ? PoolSlot(pool) : -1;
    if (slot < 0) return;
    // The name copies still held belong to the pool and go with it.
    for (int i = 0; i < pool->count; ++i) qzFree(pool->names[i]);
    qzFree(pool->constructs);
    qzFree(pool->names);
    qzFree(pool);
    ConstructPoolTable[slot] = ConstructPoolTable[--ConstructPoolCount];
    ConstructPoolTable[ConstructPoolCount] = nullptr;
}

int AppendToConstructPool(ConstructPool* pool, construct* con) {
    return Append(pool, con, nullptr);
}

int AppendNamedToConstructPool(ConstructPool* pool, construct* con, const char* name) {
    return Append(pool, con, name);
}

void AppendToConstructPoolIfRoom(ConstructPool* pool, construct* con) {
    if (pool->count < pool->capacity) Append(pool, con, nullptr);
}

void RemoveFromConstructPool(ConstructPool* pool, construct* con) {
    int i = 0;
    while (i < pool->count && pool->constructs[i] != con) ++i;
    if (i >= pool->count) return;
    const int last = pool->count - 1;
    pool->constructs[i] = pool->constructs[last];
    qzFree(pool->names[i]);
    pool->names[i] = pool->names[last];
    pool->constructs[last] = nullptr;
    pool->names[last] = nullptr;
    pool->count = last;
    if (pool->cursor >= pool->count) --pool->cursor;
    if (pool->cursor < 0) pool->cursor = 0;
}

int IsInConstructPool(const construct* con, const ConstructPool* pool) {
    for (int i = 0; i < pool->count; ++i)
        if (pool->constructs[i] == con) return 1;
    return 0;
}

construct* NextFreeInConstructPool(ConstructPool* pool) {
    if (pool->count <= 0) return nullptr;
    if (pool->cursor < 0 || pool->cursor >= pool->count) pool->cursor = 0;
    for (int n = 0; n < pool->count; ++n) {
        construct* con = pool->constructs[pool->cursor];
        if (++pool->cursor >= pool->count) pool->cursor = 0;
        if (!(con->flags & (kConActive | kConBusy | kConEventPending))) return con;
    }
    return nullptr;
}

construct* NamedConstructInPool(const ConstructPool* pool, ItfcProc itfc, const char* name) {
    for (int i = 0; i < pool->count; ++i)
        if (pool->names[i] && std::strcmp(pool->names[i], name) == 0 && pool->constructs[i]->itfc == itfc)
            return pool->constructs[i];
    return nullptr;
}

ConstructPool* FindConstructPool(const char* name) {
    for (int i = 0; i < ConstructPoolCount; ++i)
        if (std::strcmp(ConstructPoolTable[i]->name, name) == 0) return ConstructPoolTable[i];
    return nullptr;
}

ConstructPool* NamedConstructPool(const char* name) {
    ConstructPool* pool = FindConstructPool(name);
    if (!pool) FatalErrorF("Error(NamedConstructPool): no such construct pool '%s'", name);
    return pool;
}

int32_t NewConstructSerial() {
    return ++g_serial;
}
