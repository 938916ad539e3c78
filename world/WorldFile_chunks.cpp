// The world file's chunk bodies: tile clones, the two tile layers, the tile definitions, textures, the
// owners' chunks (sky, action units, unit data) and the check of the tiles against what they name.
#include <cstdarg>
#include <cstring>
#include <vector>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "platform/Texture.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "world/WorldFile.h"
#include "world/WorldFile_local.h"

QZWDChunk* QZWDKeptChunks = nullptr;
int32_t QZWDKeptChunkCount = 0;
int32_t filteraccessiblemap = 0;

namespace {

int32_t g_keptCapacity = 0;

}  // namespace

const QZWDChunk* FindQZWDChunk(uint32_t type, int n) {
    for (int32_t i = 0; i < QZWDKeptChunkCount; ++i)
        if (QZWDKeptChunks[i].type == type && n-- == 0) return &QZWDKeptChunks[i];
    return nullptr;
}

void FreeQZWDKeptChunks() {
    for (int32_t i = 0; i < QZWDKeptChunkCount; ++i) qzFree(QZWDKeptChunks[i].body);
    qzFree(QZWDKeptChunks);
    QZWDKeptChunks = nullptr;
    QZWDKeptChunkCount = 0;
    g_keptCapacity = 0;
}

namespace qzwd {

void Fail(const char* fn, const char* file, const char* format, ...) {
    char what[200];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(what, sizeof what, format, ap);
    va_end(ap);
    char msg[256];
    std::snprintf(msg, sizeof msg, "Error(%s): %s in '%s'", fn, what, file ? file : "stream");
    FatalError(msg);
}

void Fail(const Body& b, const char* format, ...) {
    char what[200];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(what, sizeof what, format, ap);
    va_end(ap);
    Fail(b.fn, b.file, "%s", what);
}

void Need(const Body& b, uint64_t bytes, const char* what) {
    if (bytes > Left(b))
        Fail(b, "chunk type %u: %s needs %llu bytes, the chunk holds %zu more", b.type, what,
             static_cast<unsigned long long>(bytes), Left(b));
}

uint32_t U32(Body& b) {
    Need(b, 4, "a word");
    const uint8_t* p = b.data + b.pos;
    b.pos += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t U16(Body& b) {
    Need(b, 2, "a half-word");
    const uint8_t* p = b.data + b.pos;
    b.pos += 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

int16_t I16(Body& b) { return static_cast<int16_t>(U16(b)); }

uint8_t U8(Body& b) {
    Need(b, 1, "a byte");
    return b.data[b.pos++];
}

int64_t StreamLeft(FILE* f) {
    const long at = qzpk_ftell(f);
    if (at < 0) return 0;
    qzpk_fseek(f, 0, SEEK_END);
    const long end = qzpk_ftell(f);
    qzpk_fseek(f, at, SEEK_SET);
    return end > at ? end - at : 0;
}

}  // namespace qzwd

using namespace qzwd;

namespace {

matrix* EnsureMatrix() {
    if (!CurrentMatrix) CurrentMatrix = CreateMatrix();
    return CurrentMatrix;
}

void TileClone(Body& b) {
    matrix* m = EnsureMatrix();
    Need(b, b.version == 101 ? 8 : 12, "the tile clone");
    // The last slot stays free for the flat tile that closes the load.
    if (m->flatCount >= kMaxFlatTiles - 1)
        Fail(b, "more than %d tile clones (the matrix holds %d flat tiles)", kMaxFlatTiles - 1, kMaxFlatTiles);
    FlatTile& t = m->flat[m->flatCount];
    std::memset(&t, 0, sizeof t);
    t.head.height = I16(b);
    uint16_t flags = U16(b);
    if (b.version == 101) {
        t.head.access = (flags & kSubBlocked) ? 15 : 0;
    } else {
        t.head.access = U8(b);
        b.pos += 3;
    }
    for (uint8_t& n : t.noise) n = U8(b);
    if (flags & kSubUpperOption) offmatrixclone_idx = m->flatCount;
    t.head.flags = flags & 0x9fff;
    ++m->flatCount;
}

// Types 1 and 3: a tile layer of width x height records.
void TileLayer(Body& b, bool top) {
    matrix* m = EnsureMatrix();
    if (top) TopTileFieldPresent = 1;
    TileFieldEntry*& layer = top ? m->topTileField : m->tileField;
    if (layer)
        FatalErrorF("Error(%s): Redundant matrix %s found", b.fn, top ? "TopTileField" : "TileField");
    const int32_t width = static_cast<int32_t>(U32(b)), height = static_cast<int32_t>(U32(b));
    if (width <= 0 || height <= 0) Fail(b, "%s of %d x %d tiles", top ? "TopTileField" : "TileField", width, height);
    const TileFieldEntry* other = top ? m->tileField : m->topTileField;
    // Both layers share the matrix's size: a second layer of another size would not fit the first.
    if (other && (width != m->width || height != m->height))
        Fail(b, "%s of %d x %d tiles does not match the other layer's %d x %d", top ? "TopTileField" : "TileField",
             width, height, m->width, m->height);
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    Need(b, count * 12, "the tile records");
    if (count * sizeof(TileFieldEntry) > 0x7fffffffull) Fail(b, "%d x %d tiles are too many", width, height);
    m->width = width;
    m->height = height;
    layer = static_cast<TileFieldEntry*>(
        qzAlloc(static_cast<int>(count * sizeof(TileFieldEntry)), "matrix tile field"));
    std::memset(layer, 0, count * sizeof(TileFieldEntry));
    const int shift = b.version == 101 ? 2 : 3;
    for (uint64_t k = 0; k < count; ++k) {
        TileFieldEntry& e = layer[k];
        const uint64_t def = static_cast<uint64_t>(U32(b) >> shift) * kSubPointBytes;
        if (def > 0x7fffffffull) Fail(b, "tile %llu names a definition beyond any TileDefPool", (unsigned long long)k);
        e.def = static_cast<int32_t>(def);
        for (uint16_t& t : e.tex) t = U16(b);
        for (uint32_t& stamp : e.stamps) stamp = FrameCounter - 1;
    }
}

void TileDefPool(Body& b, uint32_t clearFlags, uint32_t clearAccess) {
    matrix* m = EnsureMatrix();
    if (b.version == 101 && m->tileDefPool) FatalError("Error(ReadQZWD_101): Redundant matrix TileDefPool found");
    // A body without its access kind has no entry count.
    Need(b, 4, "the TileDefPool's access kind");
    const size_t entrySize = b.version == 101 ? 4 : 8;
    const int32_t accessKind = static_cast<int32_t>(U32(b));
    const uint64_t n = Left(b) / entrySize;
    if (n * kSubPointBytes > 0x7fffffffull) Fail(b, "TileDefPool of %llu sub-points is too large", (unsigned long long)n);
    qzFree(m->tileDefPool);
    m->tileDefPool = nullptr;
    m->tileDefPoolSize = 0;
    m->accessKind = accessKind;
    if (accessKind == 4) {
        filteraccessiblemap = 1;
        if (b.version == 101) FatalError("Error(ReadQZWD_101): accessible map from QZEditor in release version");
    }
    if (n > 0) {
        m->tileDefPool = static_cast<SubPoint*>(qzAlloc(static_cast<int>(n * kSubPointBytes), "tile def pool"));
        std::memset(m->tileDefPool, 0, n * sizeof(SubPoint));
    }
    m->tileDefPoolSize = static_cast<int32_t>(n * kSubPointBytes);
    for (uint64_t i = 0; i < n; ++i) {
        SubPoint& sp = m->tileDefPool[i];
        sp.height = I16(b);
        const uint16_t flags = U16(b);
        if (b.version == 101) {
            sp.access = (flags & kSubBlocked) ? 15 : 0;
            sp.flags = flags & ~kSubBlocked;
        } else {
            sp.flags = static_cast<uint16_t>(flags & ~clearFlags);
            sp.access = static_cast<uint8_t>(U8(b) & ~clearAccess);
            b.pos += 3;
        }
    }
}

void Textures(Body& b, int32_t* texBase) {
    int32_t k = 0;
    while (Left(b) > 0) {
        const uint32_t s = U32(b);
        Need(b, 24, "a texture's name");
        char name[kTexNameSize];
        std::memcpy(name, b.data + b.pos, kTexNameSize - 1);
        name[kTexNameSize - 1] = 0;
        b.pos += 24;
        if (s > Left(b)) Fail(b, "texture '%s' of %u bytes runs past the chunk's end", name, s);
        if (s == 0) Fail(b, "texture '%s' is empty", name);
        if (b.version == 101 && k == 0 && texBase) *texBase = TexCount;
        Tex* tex = b.version == 101 ? CreateTex() : CreateTexAt(k);
        std::memcpy(tex->name, name, sizeof name);
        if (b.version == 102 && std::strchr(name, '{')) tex->blackTransparent = 1;
        const uint8_t* image = b.data + b.pos;
        std::memcpy(CurrentTexName, name, sizeof name);
        const bool bmp = s >= 2 && image[0] == 'B' && image[1] == 'M';
        tex->surface = bmp ? dxgl_LoadBMPTexture(image, s, tex->blackTransparent, nullptr, 0, scape_texture_shrink)
                           : LoadCCADTexture(image, s, tex->blackTransparent, nullptr, 0, scape_texture_shrink);
        if (b.version == 102 && std::strstr(name, "{{")) tex->flag2 = 1;
        b.pos += s;
        ++k;
    }
}

void KeepChunk(const Body& b, uint32_t size) {
    if (QZWDKeptChunkCount >= g_keptCapacity) {
        const int32_t capacity = g_keptCapacity ? g_keptCapacity * 2 : 16;
        auto* grown = static_cast<QZWDChunk*>(
            qzAlloc(static_cast<int>(sizeof(QZWDChunk)) * capacity, "world chunk list"));
        if (QZWDKeptChunkCount) std::memcpy(grown, QZWDKeptChunks, sizeof(QZWDChunk) * QZWDKeptChunkCount);
        qzFree(QZWDKeptChunks);
        QZWDKeptChunks = grown;
        g_keptCapacity = capacity;
    }
    QZWDChunk& c = QZWDKeptChunks[QZWDKeptChunkCount++];
    c.type = b.type;
    c.size = size;
    c.bodySize = static_cast<int32_t>(b.size);
    c.body = nullptr;
    if (b.size > 0) {
        c.body = static_cast<uint8_t*>(qzAlloc(static_cast<int>(b.size), "world chunk body"));
        std::memcpy(c.body, b.data, b.size);
    }
}

// Type 11: one unit's data block of an action unit.
void UnitData(Body& b) {
    Need(b, 12, "the unit data's indexes");
    const int32_t au = static_cast<int32_t>(U32(b)), list = static_cast<int32_t>(U32(b)),
                  unit = static_cast<int32_t>(U32(b));
    const int32_t bytes = static_cast<int32_t>(Left(b));
    if (!WorldChunkOwners.storeUnitData(au, list, unit, b.data + b.pos, bytes)) {
        DebugPrintf("ReadChunk: unit data for AU %d list %d unit %d skipped\n", au, list, unit);
        return;
    }
    b.pos += static_cast<size_t>(bytes);
}

// Hands an owner's chunk to its reader on the stream (standing at the body's start) and checks that the
// reader stays within the body.
template <typename Read>
void HandToOwner(FILE* stream, long start, const Body& b, const char* what, Read read) {
    qzpk_fseek(stream, start, SEEK_SET);
    read();
    const long end = start + static_cast<long>(b.size);
    if (qzpk_ftell(stream) > end) Fail(b, "the %s reader went past the chunk's end", what);
}

}  // namespace

void qzwd::ReadChunkBody(FILE* stream, uint32_t type, uint32_t size, int version, uint32_t clearFlags,
                         uint32_t clearAccess, const char* file, int32_t* texBase) {
    const char* fn = version == 101 ? "ReadQZWD_101" : "ReadChunk_102";
    if (size < 8) Fail(fn, file, "chunk type %u has size %u, less than its header", type, size);
    const uint32_t bodySize = size - 8;
    const long start = qzpk_ftell(stream);
    if (static_cast<int64_t>(bodySize) > StreamLeft(stream))
        Fail(fn, file, "chunk type %u of %u bytes runs past the end of the file", type, size);
    const bool known = type <= kChunkSky || type == kChunkAUDef7 || type == kChunkAUDef8 || type == kChunkUnitData;
    if (!known) {
        // Types without a reader here (and the saved game's own chunks) are stepped over.
        DebugPrintf("ReadChunk: chunk type %u (%u bytes) skipped\n", type, size);
        qzpk_fseek(stream, start + static_cast<long>(bodySize), SEEK_SET);
        return;
    }
    std::vector<uint8_t> data(bodySize);
    if (bodySize && qzpk_fread(data.data(), 1, bodySize, stream) != bodySize)
        Fail(fn, file, "chunk type %u could not be read", type);
    Body b{data.data(), data.size(), 0, type, version, fn, file};
    switch (static_cast<QZWDChunkType>(type)) {
        case kChunkTileClone: TileClone(b); break;
        case kChunkTileField: TileLayer(b, false); break;
        case kChunkTopTileField: TileLayer(b, true); break;
        case kChunkTileDefPool: TileDefPool(b, clearFlags, clearAccess); break;
        case kChunkTextures: Textures(b, texBase); break;
        case kChunkSky:
            if (FindQZWDChunk(kChunkSky, 0) || WorldChunkOwners.hasSky())
                FatalErrorF("Error(%s): Redundant sky found", fn);
            KeepChunk(b, size);
            // The sky is built from the body already read, so its reader cannot run past the chunk.
            WorldChunkOwners.readSky(b.data, b.size, file);
            break;
        case kChunkAUDef7:
        case kChunkAUDef8:
            KeepChunk(b, size);
            HandToOwner(stream, start, b, "action unit", [&] {
                WorldChunkOwners.readAUDef(static_cast<int32_t>(type), static_cast<int32_t>(size), stream);
            });
            break;
        case kChunkUnitData:
            KeepChunk(b, size);
            UnitData(b);
            break;
    }
    qzpk_fseek(stream, start + static_cast<long>(bodySize), SEEK_SET);
}

void CheckMatrixTiles(const matrix* m, const char* name) {
    if (!m) return;
    const int64_t entries = TileDefPoolEntries(m);
    for (int layer = 0; layer < 2; ++layer) {
        const TileFieldEntry* field = layer ? m->topTileField : m->tileField;
        if (!field) continue;
        const char* what = layer ? "TopTileField" : "TileField";
        const int64_t count = static_cast<int64_t>(m->width) * m->height;
        for (int64_t k = 0; k < count; ++k) {
            const TileFieldEntry& e = field[k];
            if (e.def >= 0 && e.def / kSubPointBytes + kTileSubPoints > entries)
                Fail("LoadQZWD", name, "%s tile %lld names a definition at sub-point %d, the TileDefPool holds %lld",
                     what, static_cast<long long>(k), e.def / kSubPointBytes, static_cast<long long>(entries));
            if (e.def < 0 && -static_cast<int64_t>(e.def) > m->flatCount)
                Fail("LoadQZWD", name, "%s tile %lld names flat tile %lld of %d", what, static_cast<long long>(k),
                     -static_cast<long long>(e.def), m->flatCount);
            for (const uint16_t t : e.tex)
                if (t != kNoTexture && t >= TexCount)
                    Fail("LoadQZWD", name, "%s tile %lld names texture %u of %d", what, static_cast<long long>(k), t,
                         TexCount);
        }
    }
}

void WriteAUChunkFile(AUDef* au) { (void)au; }
