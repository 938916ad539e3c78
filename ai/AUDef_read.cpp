// Reading an action unit's definition from the body of its world-file chunk: the name, the abstract clan,
// a header word and three lists of units with their places and optional data blocks.
#include <cstring>
#include <cstdlib>
#include <vector>

#include "ai/AIStream.h"
#include "ai/AUDef.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "objects/Units.h"

namespace {

constexpr int32_t kMaxPlaceCoord = 1 << 30;  // 16384 tiles, in 16.16 world units

struct BodyReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
    const char* file;
    const char* au;
};

[[noreturn]] void Fail(const BodyReader& r, const char* what) {
    FatalErrorF("Error(ReadAUDef): %s in action unit '%s' of '%s'", what, r.au, r.file);
    std::abort();
}

void Need(const BodyReader& r, size_t n, const char* what) {
    if (r.size - r.pos < n) Fail(r, what);
}

uint32_t U32(BodyReader& r, const char* what) {
    Need(r, 4, what);
    const uint8_t* p = r.data + r.pos;
    r.pos += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A 32-byte name field that must hold its terminator.
void Name32(BodyReader& r, char out[32], const char* what) {
    Need(r, 32, what);
    std::memcpy(out, r.data + r.pos, 32);
    r.pos += 32;
    if (!std::memchr(out, 0, 32)) Fail(r, "a name without its terminator");
}

void ReadList(BodyReader& r, AUUnitList& list) {
    uint32_t count = U32(r, "a unit count past the end of the chunk");
    // Every entry takes at least 60 bytes (name, percentage, place): a count the body cannot hold is
    // refused before anything is allocated.
    if (uint64_t(count) * 60 > r.size - r.pos) Fail(r, "a unit count larger than the chunk");
    if (count == 0) return;
    const int n = int(count);
    list.units = static_cast<Unit**>(qzAlloc(n * int(sizeof(Unit*)), "unit list"));
    list.percentages = static_cast<int32_t*>(qzAlloc(n * 4, "unit percentage"));
    list.places = static_cast<int32_t(*)[6]>(qzAlloc(n * 24, "unit coord"));
    list.data = static_cast<void**>(qzAlloc(n * int(sizeof(void*)), "unit data"));
    list.dataSizes = static_cast<int32_t*>(qzAlloc(n * 4, "unit data size"));
    std::memset(list.data, 0, size_t(n) * sizeof(void*));
    std::memset(list.dataSizes, 0, size_t(n) * 4);
    for (int i = 0; i < n; ++i) {
        list.count = i;  // entries read so far, so that a failure frees exactly those
        char typeName[32];
        Name32(r, typeName, "a unit entry past the end of the chunk");
        Unit* unit = NamedUnit(typeName);
        if (!unit) FatalErrorF("Error: unit '%s' not found", typeName);
        list.units[i] = unit;
        list.percentages[i] = int32_t(U32(r, "a unit entry past the end of the chunk"));
        for (int w = 0; w < 6; ++w) list.places[i][w] = int32_t(U32(r, "a unit entry past the end of the chunk"));
        // The unit's parts are placed relative to its position: a position far outside any map (more than
        // 16384 tiles from the origin) would overflow there.
        for (int w = 0; w < 3; ++w)
            if (list.places[i][w] < -kMaxPlaceCoord || list.places[i][w] > kMaxPlaceCoord)
                Fail(r, "a place far outside the map");
        list.data[i] = nullptr;
        list.dataSizes[i] = 0;
        if (r.size - r.pos >= 4 && std::memcmp(r.data + r.pos, "DATA", 4) == 0) {
            r.pos += 4;
            uint32_t size = U32(r, "a unit data size past the end of the chunk");
            if (size > r.size - r.pos) Fail(r, "a unit data block larger than the chunk");
            if (size > 0) {
                list.data[i] = qzAlloc(int(size), "unit data");
                std::memcpy(list.data[i], r.data + r.pos, size);
            }
            list.dataSizes[i] = int32_t(size);
            r.pos += size;
        }
    }
    list.count = n;
}

}  // namespace

size_t ReadAUDefBody(AUDef* def, int readerWord, const uint8_t* body, size_t size, const char* fileName) {
    BodyReader r{body, size, 0, fileName ? fileName : "?", "?"};
    char name[32];
    Name32(r, name, "a header past the end of the chunk");
    std::memcpy(def->name, name, sizeof def->name);
    r.au = def->name;
    def->abstractClan = int32_t(U32(r, "a header past the end of the chunk"));
    if (def->abstractClan < 0 || def->abstractClan > 2) Fail(r, "an abstract clan other than 0, 1 or 2");
    def->headerWord = int32_t(U32(r, "a header past the end of the chunk"));
    def->readerWord = readerWord;
    def->chunkSize = int32_t(size);
    for (AUUnitList& list : def->lists) ReadList(r, list);
    return r.pos;
}

void ReadAUDef(AUDef* def, int readerWord, int chunkSize, FILE* stream) {
    // The chunk size counts the chunk's 8-byte header; the stream stands at the body, whose bytes bound
    // the definition. The stream is left just behind the definition.
    const int64_t bodySize = chunkSize >= 8 ? chunkSize - 8 : 0;
    const int64_t left = aistream::BytesLeft(stream);
    const size_t avail = static_cast<size_t>(bodySize < left ? bodySize : left);
    const long start = qzpk_ftell(stream);
    std::vector<uint8_t> body(avail);
    if (avail > 0 && qzpk_fread(body.data(), 1, avail, stream) != avail)
        FatalError("Error(ReadAUDef): action unit chunk could not be read");
    size_t used = ReadAUDefBody(def, readerWord, body.data(), body.size(), "world file");
    def->chunkSize = chunkSize;
    qzpk_fseek(stream, start + static_cast<long>(used), SEEK_SET);
}

int StoreAUUnitData(int32_t au, int32_t list, int32_t unit, const uint8_t* data, int32_t bytes) {
    AUDef* def = au >= 0 && au < AUDefCount && au < kMaxAUDefs ? AUDefTable[au] : nullptr;
    AUUnitList* units = def && list >= 0 && list <= 2 ? &def->lists[list] : nullptr;
    if (!units || unit < 0 || unit >= units->count || !units->data) return 0;
    // The replaced block is freed and the recorded size follows the new block, so that whoever copies
    // the data by its size never reads past it.
    qzFree(units->data[unit]);
    units->data[unit] = nullptr;
    if (bytes > 0) {
        units->data[unit] = qzAlloc(bytes, "unit data");
        std::memcpy(units->data[unit], data, static_cast<size_t>(bytes));
    }
    if (units->dataSizes) units->dataSizes[unit] = bytes;
    return 1;
}
