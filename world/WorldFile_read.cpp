// The world file: the file-level reader of both versions, the tile-definition chunk file and the small
// stream helpers.
#include <cstring>
#include <memory>
#include <string>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "platform/Sound.h"
#include "world/Level.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "world/WorldFile_local.h"

using namespace qzwd;

namespace {

struct StreamClose {
    void operator()(FILE* f) const {
        if (f) qzpk_fclose(f);
    }
};
using Stream = std::unique_ptr<FILE, StreamClose>;

// The type and size of the next chunk; false when the file ends inside (or before) the header.
bool ReadHeader(FILE* f, uint32_t* type, uint32_t* size) {
    uint8_t h[8];
    if (qzpk_fread(h, 1, 8, f) != 8) return false;
    *type = uint32_t(h[0]) | uint32_t(h[1]) << 8 | uint32_t(h[2]) << 16 | uint32_t(h[3]) << 24;
    *size = uint32_t(h[4]) | uint32_t(h[5]) << 8 | uint32_t(h[6]) << 16 | uint32_t(h[7]) << 24;
    return true;
}

bool AtEnd(FILE* f) { return StreamLeft(f) <= 0; }

std::string ChunkFilePath() { return std::string("Chunks") + kPathSeparator + MissionName + "_TileDefPool"; }

// Reads the TileDefPool of the chunk file, keeping all of its bits.
void ReadTileDefPoolFile(const std::string& path) {
    Stream f(qzpk_fopen(path.c_str(), "rb"));
    if (!f) Fail("LoadQZWD", path.c_str(), "the tile-definition chunk file wouldn't open");
    uint8_t magic[4];
    uint32_t type = 0, size = 0;
    // The "CHNK" word is not compared.
    if (qzpk_fread(magic, 1, 4, f.get()) != 4 || !ReadHeader(f.get(), &type, &size))
        Fail("LoadQZWD", path.c_str(), "the tile-definition chunk file ends inside its header");
    if (type != kChunkTileDefPool)
        Fail("LoadQZWD", path.c_str(), "the tile-definition chunk file holds a chunk of type %u", type);
    ReadChunk_102(f.get(), type, size, 0, 0, path.c_str());
}

// Adds the version-101 texture base to every texture number of a layer.
void RebaseTextures(const matrix* m, TileFieldEntry* layer, int32_t base) {
    if (!layer) return;
    const int64_t count = static_cast<int64_t>(m->width) * m->height;
    for (int64_t k = 0; k < count; ++k)
        for (uint16_t& t : layer[k].tex)
            if (t != kNoTexture) t = static_cast<uint16_t>(t + base);
}

void ReadRecords101(FILE* f, const char* file) {
    int32_t base = 0;
    uint32_t type, size;
    while (!AtEnd(f) && ReadHeader(f, &type, &size)) {
        dxgl_UpdateStreams();
        ReadChunkBody(f, type, size, 101, 0, 0, file, &base);
    }
    if (CurrentMatrix) {
        RebaseTextures(CurrentMatrix, CurrentMatrix->tileField, base);
        RebaseTextures(CurrentMatrix, CurrentMatrix->topTileField, base);
    }
}

}  // namespace

void ReadQZWD_101(FILE* stream) { ReadRecords101(stream, nullptr); }

void ReadChunk_102(FILE* stream, uint32_t type, uint32_t size, uint32_t clearFlags, uint32_t clearAccess,
                   const char* name) {
    ReadChunkBody(stream, type, size, 102, clearFlags, clearAccess, name, nullptr);
}

void LoadQZWD(const char* path) {
    FileTime worldDate{};
    qzpk_filedate(path, &worldDate);
    Stream f(qzpk_fopen(path, "rb"));
    if (!f) FatalError("Error(LoadQZWD): QZWD file wouldn't open");
    FreeQZWDKeptChunks();
    uint8_t h[8];
    const size_t got = qzpk_fread(h, 1, 8, f.get());
    const uint32_t magic = got >= 4 ? uint32_t(h[0]) | uint32_t(h[1]) << 8 | uint32_t(h[2]) << 16 | uint32_t(h[3]) << 24 : 0;
    if (magic != kQZWDMagic) FatalError("Error(LoadQZWD): This is not an QZWD file.");
    const uint32_t version =
        got == 8 ? uint32_t(h[4]) | uint32_t(h[5]) << 8 | uint32_t(h[6]) << 16 | uint32_t(h[7]) << 24 : 0;
    if (version == kQZWDVersion101) {
        ReadRecords101(f.get(), path);
        CheckMatrixTiles(CurrentMatrix, path);
        return;
    }
    if (version != kQZWDVersion102) FatalError("Error(LoadQZWD): unknown QZWD file format");

    const std::string chunkPath = ChunkFilePath();
    uint32_t type, size;
    while (!AtEnd(f.get())) {
        dxgl_UpdateStreams();
        if (!ReadHeader(f.get(), &type, &size)) break;
        bool fromChunkFile = false;
        if (type == kChunkTileDefPool && qzpk_exists(chunkPath.c_str())) {
            FileTime chunkDate{};
            const int code = qzpk_filedate(chunkPath.c_str(), &chunkDate);
            if (code != 0) FatalErrorF("Error(LoadQZWD): %d on getting file date of '%s'", code, chunkPath.c_str());
            fromChunkFile = CompareFileTimes(&chunkDate, &worldDate) != 0;
        }
        if (fromChunkFile) {
            ReadTileDefPoolFile(chunkPath);
            // The world file's own definitions are stepped over, checked against the file like any body.
            ReadChunkBody(f.get(), 0xFFFFFFFFu, size, 102, 0, 0, path, nullptr);
        } else {
            ReadChunk_102(f.get(), type, size, 0x1000, 0xfc, path);
        }
    }
    if (!CurrentMatrix || !CurrentMatrix->tileDefPool) {
        if (!qzpk_exists(chunkPath.c_str())) FatalError("Error(LoadQZWD): failed to postload TileDefPool");
        ReadTileDefPoolFile(chunkPath);
    }
    CheckMatrixTiles(CurrentMatrix, path);
    // The flat tile that closes the load: white and solid (a flat height of exactly 1 is drawn as 0).
    matrix* m = CurrentMatrix;
    FlatTile& t = m->flat[m->flatCount++];
    std::memset(&t, 0, sizeof t);
    t.head.height = 1;
    t.head.flags = 0x8fff;
    t.head.access = 0xff;
}

void WriteChunk_TileDefPool(FILE* stream, const matrix* m) {
    const int32_t n = m ? TileDefPoolEntries(m) : 0;
    WriteU32(stream, kChunkTileDefPool);
    WriteU32(stream, static_cast<uint32_t>(n) * 8 + 12);
    WriteU32(stream, 5);
    for (int32_t i = 0; i < n; ++i) {
        const SubPoint& sp = m->tileDefPool[i];
        const uint8_t e[8] = {static_cast<uint8_t>(sp.height), static_cast<uint8_t>(static_cast<uint16_t>(sp.height) >> 8),
                              static_cast<uint8_t>(sp.flags), static_cast<uint8_t>(sp.flags >> 8), sp.access, 0, 0, 0};
        std::fwrite(e, 1, sizeof e, stream);
    }
}

void WriteTileDefPoolFile(const matrix* m) {
    char path[256];
    std::snprintf(path, sizeof path, "chunks%c%s_TileDefPool", kPathSeparator, MissionName);
    // The folder is made when the data tree lacks it, so that the debug menu's save never fails for that.
    if (!qzpk_isdir("chunks")) host::MakeDirectory("chunks");
    FILE* f = qzpk_fopen(path, "wb");
    if (!f) FatalErrorF("Error(WriteTileDefPoolFile): can't create '%s'", path);
    WriteU32(f, kCHNKMagic);
    WriteChunk_TileDefPool(f, m);
    if (qzpk_fclose(f) != 0) FatalErrorF("Error(WriteTileDefPoolFile): can't write '%s'", path);
}

int32_t LoadBlock(void* buffer, int32_t capacity, const char* path) {
    Stream f(qzpk_fopen(path, "rb"));
    if (!f) {
        char msg[256];
        std::snprintf(msg, sizeof msg, "Error(LoadBlock): File %s not found.", path);
        DebugPrintf("%s\n", msg);
        RunFatalExit(msg);
    }
    const int32_t size = qzpk_filesize(path);
    if (size < 0 || size > capacity)
        FatalErrorF("Error(LoadBlock): File %s of %d bytes does not fit its buffer of %d", path, size, capacity);
    const size_t got = size > 0 ? qzpk_fread(buffer, 1, static_cast<size_t>(size), f.get()) : 0;
    return static_cast<int32_t>(got);
}

bool ReadAnimTable(uint8_t table[kAnimTableSize], const char* folder, const char* name, char* error, size_t errorSize) {
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s%c%s", ANIMTABLESROOT, kPathSeparator, folder ? folder : "", kPathSeparator,
                  name ? name : "");
    const int32_t got = LoadBlock(table, kAnimTableSize, path);
    if (got == kAnimTableSize) return true;
    std::snprintf(error, errorSize, "Error(LoadAnimTable): File %s holds %d bytes, not %d", path, got, kAnimTableSize);
    return false;
}

void LoadAnimTable(uint8_t table[kAnimTableSize], const char* folder, const char* name) {
    char error[600];
    if (!ReadAnimTable(table, folder, name, error, sizeof error)) FatalError(error);
}

int32_t ReadInt32(FILE* stream) {
    uint8_t b[4] = {0, 0, 0, 0};
    qzpk_fread(b, 1, 4, stream);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

float ReadFloat(FILE* stream) {
    const int32_t bits = ReadInt32(stream);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
