// What the world file reader's files share: the bounded reader over one chunk body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qzwd {

// One chunk or record body held in memory.
struct Body {
    const uint8_t* data;
    size_t size;
    size_t pos;
    uint32_t type;
    int version;       // 101 or 102
    const char* fn;    // "ReadChunk_102" or "ReadQZWD_101", for messages
    const char* file;  // the file, for messages
};

// Ends the program with "Error(<fn>): <text> in '<file>'".
[[noreturn]] void Fail(const char* fn, const char* file, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[noreturn]] void Fail(const Body& b, const char* format, ...) __attribute__((format(printf, 2, 3)));

inline size_t Left(const Body& b) { return b.size - b.pos; }
void Need(const Body& b, uint64_t bytes, const char* what);
uint32_t U32(Body& b);
int16_t I16(Body& b);
uint16_t U16(Body& b);
uint8_t U8(Body& b);

// Bytes between the stream's position and its end (package streams and disk files alike).
int64_t StreamLeft(FILE* f);

// Reads one record (101) or chunk (102) of the given type and size from the stream standing behind its
// header: the body is checked against the bytes left, read whole and parsed; the stream ends at the
// body's end. texBase is the version-101 texture base (null for 102).
void ReadChunkBody(FILE* stream, uint32_t type, uint32_t size, int version, uint32_t clearFlags,
                   uint32_t clearAccess, const char* file, int32_t* texBase);

}  // namespace qzwd
