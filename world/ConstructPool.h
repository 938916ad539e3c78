// Construct pools: named, fixed-capacity lists of constructs with an optional name per entry and a
// round-robin cursor, all listed in one global registry. Names are compared exactly (case matters).
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

struct construct;

struct ConstructPool {
    char name[64];   // at most 63 characters
    int32_t cursor;  // round-robin position of NextFreeInConstructPool
    int32_t count;
    int32_t capacity;
    construct** constructs;  // "construct list", null when the capacity is below 1
    char** names;            // "construct name list": null or an owned copy ("pool con name")
};

constexpr int kMaxConstructPools = 128;
extern ConstructPool* ConstructPoolTable[kMaxConstructPools];
extern int ConstructPoolCount;

// A new pool, registered; fatal when the table is full or the name is taken.
ConstructPool* CreateConstructPool(int capacity, const char* name);
// Frees the pool with its lists and name copies and removes it from the table; a pool not in the table
// is left alone.
void DeleteConstructPool(ConstructPool* pool);
// Appends with a null name and returns the new count; fatal when full.
int AppendToConstructPool(ConstructPool* pool, construct* con);
// Appends with an owned copy of the name; fatal when full.
int AppendNamedToConstructPool(ConstructPool* pool, construct* con, const char* name);
// Appends when there is room, else does nothing.
void AppendToConstructPoolIfRoom(ConstructPool* pool, construct* con);
// Removes the first entry holding the construct (the last entry fills the gap).
void RemoveFromConstructPool(ConstructPool* pool, construct* con);
// 1 when the pool holds the construct, else 0.
int IsInConstructPool(const construct* con, const ConstructPool* pool);
// The next construct from the cursor that is neither active, busy nor pending; null after a full round.
construct* NextFreeInConstructPool(ConstructPool* pool);
// The first construct whose entry name is name and whose dispatcher is itfc, or null.
construct* NamedConstructInPool(const ConstructPool* pool, ItfcProc itfc, const char* name);
// The pool of exactly that name: null / fatal when missing.
ConstructPool* FindConstructPool(const char* name);
ConstructPool* NamedConstructPool(const char* name);
// The next construct serial number.
int32_t NewConstructSerial();
