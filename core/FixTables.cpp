// Loading and freeing the four fixed-point tables.
//
// Each file is a run of little-endian 32-bit words, read through the package layer (the package first,
// then the disk). The whole file is read into a tracked buffer that is held until FreeFPTables; the sine,
// arc sine and arc tangent words are also decoded into the lookup arrays the trigonometry reads, whose
// sizes are fixed, so no argument can index past a table.
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "core/FixMath.h"
#include "core/FixMath_local.h"
#include "core/Memory.h"
#include "core/Package.h"

namespace {

enum class FPTable { Sine, ArcSine, ArcTangent, Div, Count };

struct FPTableFile {
    const char* path;
    const char* purpose;
    int32_t entries;  // words the file must hold; 0 for any whole number of words
};

constexpr FPTableFile kTableFiles[] = {
    {kSinTablePath, "sine table", kSinTableEntries},
    {kAsinTablePath, "arc sine table", kAsinTableEntries},
    {kAtanTablePath, "arc tangent table", kAtanTableEntries},
    {kDivTablePath, "div table", 0},  // held for the data's sake; no computation reads it
};
static_assert(std::size(kTableFiles) == static_cast<size_t>(FPTable::Count));

// The raw file contents, as loaded (null when not loaded).
uint8_t* LoadedTables[static_cast<size_t>(FPTable::Count)];

inline uint32_t WordAt(const uint8_t* bytes, int index) {
    const uint8_t* b = bytes + 4 * index;
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

// Reads a table file whole (from the package or the disk) into a tracked buffer.
uint8_t* LoadTable(const FPTableFile& table) {
    int size = qzpk_filesize(table.path);
    if (size < 1) DebugPrintf("LoadFPTables: %s has size %d\n", table.path, size);
    FILE* f = qzpk_fopen(table.path, "rb");
    if (!f) FatalErrorF("Error(LoadBlock): File %s not found.", table.path);
    // A file of another size than the table's would be read past its end (or only in part).
    bool fits = table.entries ? size == 4 * table.entries : (size > 0 && size % 4 == 0);
    if (!fits) {
        qzpk_fclose(f);
        if (table.entries)
            FatalErrorF("Error(LoadFPTables): %s has %d bytes instead of %d", table.path, size,
                        4 * table.entries);
        FatalErrorF("Error(LoadFPTables): %s has %d bytes, not a whole number of words", table.path, size);
    }
    uint8_t* buffer = static_cast<uint8_t*>(qzAlloc(size, table.purpose));
    size_t got = qzpk_fread(buffer, 1, static_cast<size_t>(size), f);
    qzpk_fclose(f);
    if (got != static_cast<size_t>(size)) {
        qzFree(buffer);
        FatalErrorF("Error(LoadFPTables): %s could not be read whole", table.path);
    }
    return buffer;
}

void ClearLookups() {
    for (int k = 0; k < kSinTableEntries; ++k) FixSinPositive[k] = FixSinNegative[k] = 0;
    for (int k = 0; k < kAsinTableEntries; ++k) FixAsinEntries[k] = 0;
    for (int k = 0; k < kAtanTableEntries; ++k) FixAtanEntries[k] = 0;
}

}  // namespace

void LoadFPTables() {
    FreeFPTables();
    for (size_t i = 0; i < std::size(kTableFiles); ++i) LoadedTables[i] = LoadTable(kTableFiles[i]);

    const uint8_t* sine = LoadedTables[static_cast<size_t>(FPTable::Sine)];
    for (int k = 0; k < kSinTableEntries; ++k) {
        FixSinPositive[k] = DecodeSinWord(WordAt(sine, k), false);
        FixSinNegative[k] = DecodeSinWord(WordAt(sine, k), true);
    }
    const uint8_t* asine = LoadedTables[static_cast<size_t>(FPTable::ArcSine)];
    for (int k = 0; k < kAsinTableEntries; ++k) FixAsinEntries[k] = static_cast<int32_t>(WordAt(asine, k));
    const uint8_t* atan = LoadedTables[static_cast<size_t>(FPTable::ArcTangent)];
    for (int k = 0; k < kAtanTableEntries; ++k) FixAtanEntries[k] = static_cast<int32_t>(WordAt(atan, k));
}

void FreeFPTables() {
    for (uint8_t*& table : LoadedTables) {
        if (!table) continue;
        qzFree(table);
        table = nullptr;
    }
    ClearLookups();
}

bool FPTablesLoaded() {
    for (size_t i = 0; i < static_cast<size_t>(FPTable::Div); ++i)
        if (!LoadedTables[i]) return false;
    return true;
}
