// Action units: named groups of units that the world file defines and the mission places, removes and
// commands together. Until the action units are built, the world file reader's calls land on the empty
// functions here and the definitions' chunk bodies are kept by the reader (world/WorldFile.h).
#pragma once

#include <cstdint>
#include <cstdio>

struct Unit;
struct ConstructPool;

// One clan's list of units of an action unit; every array has count entries.
struct AUUnitList {
    int32_t count;
    Unit** types;           // "unit list"
    int32_t* percentages;   // "unit percentage"
    int32_t (*coords)[6];   // "unit coord": place records, six words each
    void** data;            // "unit data": per unit a data block or null
    int32_t* dataSizes;     // "unit data size"
};

struct AUDef {
    char name[32];         // "noname" at creation
    int32_t abstractClan;  // 0..2, -1 at creation
    int32_t headerWord;
    int32_t readerWord;    // the chunk type the world file reader passes along
    int32_t chunkSize;     // the chunk size the world file reader passes along
    AUUnitList lists[3];   // per level clan index
    int32_t action;
    int32_t actionValues[4];
    int32_t placed;
    ConstructPool* pool;
};

constexpr int kMaxAUDefs = 99;
extern AUDef* AUDefTable[kMaxAUDefs];
extern int32_t AUDefCount;

// A new action unit appended to AUDefTable. Not built yet: returns null.
AUDef* CreateAUDef();
// Reads a definition chunk's body from the stream (standing behind the chunk header). Not built yet:
// does nothing.
void ReadAUDef(AUDef* def, int32_t type, int32_t size, FILE* stream);
