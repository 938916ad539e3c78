// Named 256-colour palettes of a level, in a small table; read from palette files and found by name.
//
// Palette file: 256 entries of 6 bytes (1536 bytes); of each entry the first three bytes are skipped and
// the last three are red, green and blue.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int kPltNameSize = 24;  // names of up to 23 characters
constexpr int kMaxPlts = 16;
constexpr int kPltFileSize = 256 * 6;

struct PltEntry {
    uint8_t red, green, blue;
    uint8_t unused;
};

struct Plt {
    char name[kPltNameSize];  // "anon" when created, the file's name after loading
    PltEntry entries[256];
};

extern Plt* PltTable[kMaxPlts];
extern int32_t PltCount;

// Appends a new palette (tracked allocation "Plt"); fatal past 16.
Plt* CreatePlt();
// Removes a palette from the table (the last entry moves into its slot) and frees it; null or a palette
// not in the table is ignored.
void DeletePlt(Plt* plt);
// Reads a palette file (through the package) into the palette and names it after the file; a file that
// cannot be opened or is shorter than 1536 bytes is fatal.
void LoadPlt(Plt* plt, const char* path);
// Reads the 256 entries from an open file. False when the file ends early.
bool ReadPltEntries(FILE* f, Plt* plt);
// The first palette with exactly this name, or null.
Plt* NamedPlt(const char* name);
// 1 when all 256 colours (the low 24 bits of each entry) equal entry 0's.
int IsUniformPlt(const Plt* plt);
