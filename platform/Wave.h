// RIFF WAVE files: the format chunk, the data chunk and its sample bytes, read in pieces from disk for
// the streaming sound buffers.
#pragma once

#include <cstdint>
#include <cstdio>

// The format of a wave file as the sound buffers take it: the 16 bytes of the format chunk and the
// extra-size word, laid out without padding; `extraSize` bytes follow the record in the same block.
#pragma pack(push, 1)
struct WaveFormatEx {
    uint16_t formatTag;       // 1: PCM
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;      // bytes per frame
    uint16_t bitsPerSample;
    uint16_t extraSize;       // bytes that follow the record (0 for PCM)
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18, "the format record is 18 bytes");

constexpr uint16_t kWaveFormatPcm = 1;

// A chunk as found in the file: its identifier, size, form type (RIFF chunks), the file offset of its
// data and flags. The data chunk's size counts down as its bytes are read.
struct WaveChunk {
    uint32_t id;
    uint32_t size;
    uint32_t formType;
    uint32_t dataOffset;
    uint32_t flags;
};

// An open wave file (buffered reads from disk).
struct WaveFile {
    FILE* file;
    int64_t fileSize;  // bytes
};

// Results of the wave functions (0 is success).
constexpr int kWaveErrOpen = 0xE100;        // the file did not open
constexpr int kWaveErrNotWave = 0xE101;     // not RIFF/WAVE, or a format chunk under 16 bytes
constexpr int kWaveErrShortFormat = 0xE102; // the format could not be read in full
constexpr int kWaveErrReadData = 0xE103;    // sample bytes could not be read
constexpr int kWaveErrNoMemory = 0xE000;    // no memory for the format
constexpr int kWaveErrSeek = 99;            // the seek to the first sub-chunk failed
constexpr int kWaveErrChunkNotFound = 265;  // a chunk asked for is not in its parent
constexpr int kWaveErrCannotRead = 260;     // a chunk header could not be read

// The four-character code of a chunk identifier ("RIFF", "WAVE", "fmt ", "data").
constexpr uint32_t WaveFourCC(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

// A format block of 18 + extra bytes (tracked, purpose "wave_alloc").
WaveFormatEx* WaveAlloc(int extraSize);
// The extra bytes that follow a format record.
uint8_t* WaveExtraBytes(WaveFormatEx* format);

// Opens a wave file and reads its format. On any error the format is freed and the file closed, and
// both are left null.
int WaveOpen(const char* path, WaveFile** file, WaveFormatEx** format, WaveChunk* riffChunk);
// Finds the data chunk (again, for looping) and leaves the file at its first sample byte.
int WaveFindData(WaveFile** file, WaveChunk* dataChunk, const WaveChunk* riffChunk);
// Reads min(count, bytes left in the data chunk) bytes and counts them off the chunk; read = 0 on error.
int WaveRead(WaveFile* file, int count, uint8_t* buffer, WaveChunk* dataChunk, int* read);
// Frees the format (clearing the pointer) and closes the file (clearing the handle).
int WaveClose(WaveFile** file, WaveFormatEx** format);
