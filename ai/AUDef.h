// Action units: named groups of units that the mission places, removes and commands together. The world
// file defines each against an abstract clan 0-2 with one list of units per level clan; the level maps the
// abstract clans to its clans and activates the action units.
#pragma once

#include <cstdint>
#include <cstdio>

struct construct;
struct ConstructPool;
struct Clan;
struct Unit;
enum class ItfcMethod : uint32_t;  // objects/Itfc.h

constexpr int kMaxAUDefs = 99;

enum : int32_t {
    kActionNone = 0, kActionDataScan = 1, kActionObjectScan = 2, kActionObjectCapture = 3,
    kActionUnitCapture = 4, kActionEnterData = 5, kActionDone = 99,
};


// One list of units: five parallel arrays of count entries (null when count is 0).
struct AUUnitList {
    int32_t count;
    Unit** units;          // "unit list"
    int32_t* percentages;  // "unit percentage"
    int32_t (*places)[6];  // "unit coord": x, y, z, two words, heading
    void** data;           // "unit data": a block or null
    int32_t* dataSizes;    // "unit data size"
};

struct AUDef {
    char name[32];          // "noname" at creation
    int32_t abstractClan;   // 0-2, -1 at creation
    int32_t headerWord;
    int32_t readerWord;     // the chunk type the world-file reader passes along
    int32_t chunkSize;
    AUUnitList lists[3];    // per level clan index
    int32_t action;         // kActionNone .. kActionEnterData, kActionDone
    int32_t actionValues[4];
    int32_t placed;         // 1 while its units are in the world
    ConstructPool* pool;    // "audef %s pool", null until created
};

extern AUDef* AUDefTable[kMaxAUDefs];
extern int32_t AUDefCount;

// A new empty action unit appended to the table; fatal past 99.
AUDef* CreateAUDef();
// Reads one definition from the stream, which stands at the body of a world-file action-unit chunk of
// type readerWord and chunkSize bytes (its 8-byte header included); the definition must lie within the
// body, and the stream is left just behind it.
void ReadAUDef(AUDef* def, int readerWord, int chunkSize, FILE* stream);
// The same from a body in memory (fileName names the file in messages); returns the bytes it took.
size_t ReadAUDefBody(AUDef* def, int readerWord, const uint8_t* body, size_t size, const char* fileName);
// A world file's unit data chunk: bytes become the data block of the unit of list `list` (0..2) of the
// au-th action unit, replacing the block there; 0 (nothing stored) when there is no such unit.
int StoreAUUnitData(int32_t au, int32_t list, int32_t unit, const uint8_t* data, int32_t bytes);
AUDef* NamedAUDef(const char* name);
// The first action unit whose pool holds the construct, with its position there; null when none.
AUDef* FindAUOfUnit(const construct* con, int* index);
// The place record of the construct in the mapped clan's list, with its index; null when not found.
int32_t* AUDef_FindUnitSlot(AUDef* au, const construct* con, int* index);
// CREATE makes the pool and the units, PLACE places them, UNPLACE takes them out of the world, DESTROY
// frees them and the pool; other methods are ignored. Returns 0.
uintptr_t AUDef_itfc(AUDef* au, ItfcMethod method, uintptr_t arg = 0);
// Removes it from the table, takes its units out of the world, destroys them and frees it; null ignored.
void DeleteAUDef(AUDef* au);
