#include "platform/Wave.h"

#include <algorithm>
#include <cstring>

#include "core/Memory.h"
#include "host/Fs.h"

namespace {

bool ReadBytes(WaveFile* f, void* out, size_t n) { return fread(out, 1, n, f->file) == n; }

bool ReadU16(WaveFile* f, uint16_t* v) {
    uint8_t b[2];
    if (!ReadBytes(f, b, 2)) return false;
    *v = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
}

bool ReadU32(WaveFile* f, uint32_t* v) {
    uint8_t b[4];
    if (!ReadBytes(f, b, 4)) return false;
    *v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool Seek(WaveFile* f, int64_t offset) { return offset >= 0 && offset <= f->fileSize && fseek(f->file, static_cast<long>(offset), SEEK_SET) == 0; }

// Looks for the sub-chunk `id` from the current file position up to `end`, skipping other chunks (each
// padded to an even size). On success the file stands at the chunk's data.
int Descend(WaveFile* f, uint32_t id, int64_t end, WaveChunk* out) {
    end = std::min(end, f->fileSize);
    for (;;) {
        int64_t at = ftell(f->file);
        if (at < 0 || at + 8 > end) return kWaveErrChunkNotFound;
        uint32_t ckid, size;
        if (!ReadU32(f, &ckid) || !ReadU32(f, &size)) return kWaveErrCannotRead;
        int64_t dataAt = at + 8;
        if (ckid == id) {
            out->id = ckid;
            out->size = size;
            out->formType = 0;
            out->dataOffset = static_cast<uint32_t>(dataAt);
            out->flags = 0;
            return 0;
        }
        int64_t next = dataAt + size + (size & 1);
        if (next >= end || !Seek(f, next)) return kWaveErrChunkNotFound;
    }
}

void CloseFile(WaveFile** file) {
    if (!file || !*file) return;
    fclose((*file)->file);
    delete *file;
    *file = nullptr;
}

}  // namespace

WaveFormatEx* WaveAlloc(int extraSize) {
    auto* fmt = static_cast<WaveFormatEx*>(qzAlloc(static_cast<int>(sizeof(WaveFormatEx)) + extraSize, "wave_alloc"));
    memset(fmt, 0, sizeof(WaveFormatEx) + static_cast<size_t>(extraSize));
    return fmt;
}

uint8_t* WaveExtraBytes(WaveFormatEx* format) { return reinterpret_cast<uint8_t*>(format) + sizeof(WaveFormatEx); }

int WaveOpen(const char* path, WaveFile** file, WaveFormatEx** format, WaveChunk* riffChunk) {
    *file = nullptr;
    *format = nullptr;
    FILE* fp = path ? host::OpenFile(path, "rb") : nullptr;
    if (!fp) return kWaveErrOpen;
    auto* f = new WaveFile{fp, 0};
    if (fseek(fp, 0, SEEK_END) == 0) f->fileSize = ftell(fp);
    fseek(fp, 0, SEEK_SET);
    *file = f;

    auto fail = [&](int error) {
        if (*format) qzFree(*format);
        *format = nullptr;
        CloseFile(file);
        return error;
    };

    // The RIFF chunk of form type WAVE.
    uint32_t id, size, formType;
    if (!ReadU32(f, &id) || !ReadU32(f, &size)) return fail(kWaveErrNotWave);
    if (id != WaveFourCC("RIFF") || !ReadU32(f, &formType) || formType != WaveFourCC("WAVE"))
        return fail(kWaveErrNotWave);
    riffChunk->id = id;
    riffChunk->size = static_cast<uint32_t>(std::min<int64_t>(size, f->fileSize - 8));
    riffChunk->formType = formType;
    riffChunk->dataOffset = 8;
    riffChunk->flags = 0;
    int64_t riffEnd = 8 + static_cast<int64_t>(riffChunk->size);

    WaveChunk fmtChunk;
    if (int err = Descend(f, WaveFourCC("fmt "), riffEnd, &fmtChunk)) return fail(err);
    if (fmtChunk.size < 16) return fail(kWaveErrNotWave);

    WaveFormatEx head{};
    bool ok = ReadU16(f, &head.formatTag) && ReadU16(f, &head.channels) && ReadU32(f, &head.samplesPerSec) &&
              ReadU32(f, &head.avgBytesPerSec) && ReadU16(f, &head.blockAlign) && ReadU16(f, &head.bitsPerSample);
    if (!ok) return fail(kWaveErrShortFormat);
    uint16_t extra = 0;
    if (head.formatTag != kWaveFormatPcm && fmtChunk.size >= 18) {
        if (!ReadU16(f, &extra)) return fail(kWaveErrShortFormat);
        // The extra bytes must lie within the format chunk.
        if (static_cast<uint32_t>(extra) > fmtChunk.size - 18) return fail(kWaveErrShortFormat);
    }
    *format = WaveAlloc(extra);
    **format = head;
    (*format)->extraSize = extra;
    if (extra && !ReadBytes(f, WaveExtraBytes(*format), extra)) return fail(kWaveErrShortFormat);
    return 0;
}

int WaveFindData(WaveFile** file, WaveChunk* dataChunk, const WaveChunk* riffChunk) {
    if (!file || !*file) return kWaveErrSeek;
    WaveFile* f = *file;
    if (!Seek(f, static_cast<int64_t>(riffChunk->dataOffset) + 4)) return kWaveErrSeek;
    int64_t riffEnd = static_cast<int64_t>(riffChunk->dataOffset) + riffChunk->size;
    if (int err = Descend(f, WaveFourCC("data"), riffEnd, dataChunk)) return err;
    // A data chunk that claims more than the file holds is cut to the bytes that are there, so that
    // reading it ends at its real end instead of failing part-way.
    int64_t present = std::min(riffEnd, f->fileSize) - dataChunk->dataOffset;
    if (present < 0) present = 0;
    if (dataChunk->size > present) dataChunk->size = static_cast<uint32_t>(present);
    return 0;
}

int WaveRead(WaveFile* file, int count, uint8_t* buffer, WaveChunk* dataChunk, int* read) {
    *read = 0;
    if (!file || count <= 0) return 0;
    uint32_t n = std::min(static_cast<uint32_t>(count), dataChunk->size);
    if (n && fread(buffer, 1, n, file->file) != n) return kWaveErrReadData;
    dataChunk->size -= n;
    *read = static_cast<int>(n);
    return 0;
}

int WaveClose(WaveFile** file, WaveFormatEx** format) {
    if (format && *format) {
        qzFree(*format);
        *format = nullptr;
    }
    CloseFile(file);
    return 0;
}
