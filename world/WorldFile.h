// The world file ("QZWD"): a mission's terrain, textures, sky and action units. Version 101 is a sequence
// of records, version 102 a sequence of chunks; both share the framing (u32 type, u32 size with the
// 8-byte header included, body). The terrain goes into CurrentMatrix, the textures into the texture
// table, the sky to its owner (WorldSkyCell) and the action units to AUDefTable. The tile definitions may
// come from a newer tile-definition chunk file "Chunks\<mission>_TileDefPool".
//
// Every body is checked against its chunk's size, and every count, offset and texture number against what
// it names: a bad file ends in a fatal error naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct matrix;

constexpr uint32_t kQZWDMagic = 0x44575A51;  // "QZWD" read as a little-endian word
constexpr uint32_t kCHNKMagic = 0x4B4E4843;  // "CHNK"
constexpr uint32_t kQZWDVersion101 = 101;
constexpr uint32_t kQZWDVersion102 = 102;

// Chunk and record types.
enum QZWDChunkType : uint32_t {
    kChunkTileClone = 0,
    kChunkTileField = 1,
    kChunkTileDefPool = 2,
    kChunkTopTileField = 3,
    kChunkTextures = 4,
    kChunkSky = 5,
    kChunkAUDef7 = 7,
    kChunkAUDef8 = 8,
    kChunkUnitData = 11,
};

// A chunk body kept for the subsystem that owns it (the sky, action-unit definitions and their unit
// data), in file order, so that no owner's data is lost while its reader is not there yet.
struct QZWDChunk {
    uint32_t type;
    uint32_t size;      // the chunk's size field (header included)
    uint8_t* body;      // size - 8 bytes ("world chunk body"), null when empty
    int32_t bodySize;
};
extern QZWDChunk* QZWDKeptChunks;  // "world chunk list"
extern int32_t QZWDKeptChunkCount;
// The n-th kept chunk (counting from 0) of a type, or null.
const QZWDChunk* FindQZWDChunk(uint32_t type, int n);
// Frees the kept chunk bodies (the level's teardown; LoadQZWD starts with none).
void FreeQZWDKeptChunks();

// The chunks whose contents other floors own are handed to those floors' readers: the level's sky (type
// 5), an action unit's definition (7 and 8) and one unit's data block of an action unit (11). The game
// binds them to the sky's and the action units' own readers (game/LayerHooks.cpp).
struct WorldChunkReaders {
    // Nonzero when the level has its sky already (a second sky chunk is fatal).
    int (*hasSky)();
    // Makes the level's sky from a sky chunk's body (read whole, so the reader cannot run past it).
    void (*readSky)(const uint8_t* body, size_t size, const char* file);
    // Makes an action unit and reads its definition (the chunk's type and size, header included) from the
    // stream standing at the chunk's body.
    void (*readAUDef)(int readerWord, int chunkSize, FILE* stream);
    // Stores bytes as the data block of a unit of an action unit's list; 0 when there is no such unit.
    int (*storeUnitData)(int32_t au, int32_t list, int32_t unit, const uint8_t* data, int32_t bytes);
};
extern WorldChunkReaders WorldChunkOwners;

// The level's flag that access bits are fixed up by the statics' passes while the level is built; set
// by a TileDefPool whose access kind is 4.
extern int32_t filteraccessiblemap;

// Reads the world file; every failure is fatal.
void LoadQZWD(const char* path);
// Reads the records of a version-101 file from behind its header to its end.
void ReadQZWD_101(FILE* stream);
// Reads one chunk body (the stream stands behind the chunk's header) clearing the given flag and access
// bits of the tile definitions (world file 0x1000 and 0xfc, chunk file and saved games 0 and 0). name is
// the file for messages (null: "stream").
void ReadChunk_102(FILE* stream, uint32_t type, uint32_t size, uint32_t clearFlags, uint32_t clearAccess,
                   const char* name = nullptr);
// Writes the tile-definition chunk file of the running mission ("chunks\<MissionName>_TileDefPool").
void WriteTileDefPoolFile(const matrix* m);
// Writes one TileDefPool chunk (type 2, access kind 5, 8-byte entries).
void WriteChunk_TileDefPool(FILE* stream, const matrix* m);
// Checks every tile entry of both layers against the TileDefPool, the flat tiles and the texture table;
// fatal naming the file on the first that names something that is not there.
void CheckMatrixTiles(const matrix* m, const char* name);

// Reads a whole file into buffer, which holds capacity bytes; returns the bytes read. A missing file
// ends the program (exit code 1, no box; the text goes to the debug print); a file larger than the
// buffer is fatal.
int32_t LoadBlock(void* buffer, int32_t capacity, const char* path);

// The animation tables of the vehicle types (recoil, cushion and walking-path tables): 256 bytes each,
// the file "<ANIMTABLESROOT>\<folder>\<name>" read whole.
constexpr int kAnimTableSize = 256;
// Reads a table; a missing or a longer file ends the program through LoadBlock. Answers false for a
// shorter one (which would leave the table partly unset), with the error naming the file in error.
bool ReadAnimTable(uint8_t table[kAnimTableSize], const char* folder, const char* name, char* error, size_t errorSize);
// The same, fatal for a shorter file too: "Error(LoadAnimTable): File <path> holds <n> bytes, not 256".
void LoadAnimTable(uint8_t table[kAnimTableSize], const char* folder, const char* name);
// One little-endian 32-bit integer / float from a stream (0 past its end).
int32_t ReadInt32(FILE* stream);
float ReadFloat(FILE* stream);

struct AUDef;
// Writes the action unit to its chunk file "chunks\\<mission>_<action unit>". Not built yet: writes nothing.
void WriteAUChunkFile(AUDef* au);
