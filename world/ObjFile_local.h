// What the object-file reader's files share: the bounded byte reader and the per-file state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/ObjFile.h"

namespace objfile {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kMaxNesting = 8;  // billboard objects inside billboard objects
constexpr int kMaxBspDepth = 4096;

inline constexpr uint32_t Tag(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) | uint32_t(uint8_t(t[1])) << 8 | uint32_t(uint8_t(t[2])) << 16 |
           uint32_t(uint8_t(t[3])) << 24;
}

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos;
    const char* name;  // the file, for messages
    float scale;       // s
    float q;           // s x 0.25
    Geom* g;
    int nested;           // 0 for a top-level read
    uint32_t pointCount;  // P from the header
    uint32_t faceCount;   // F from the header
    bboard* current;      // the last billboard made in this file (for "BILL")
    int firstStaged;      // staged billboard count when this file's read began
    std::vector<GeomFace*> faceIndex;  // the faces by number, once they are read
    bool bspSeen;
    bool patchesSeen;
};

// Ends the program with "Error(ReadCCADObj): <text> in '<file>'".
[[noreturn]] void Fail(const Reader& r, const char* format, ...) __attribute__((format(printf, 2, 3)));

inline size_t Remaining(const Reader& r) {
    return r.size - r.pos;
}
void Need(Reader& r, uint64_t bytes);
uint32_t U32(Reader& r);
float F32(Reader& r);
int16_t I16(Reader& r);
uint8_t U8(Reader& r);
void Skip(Reader& r, uint64_t bytes);
// Four bytes ahead as a tag, or 0 when fewer than four remain.
uint32_t PeekTag(const Reader& r);
// A zero-padded 24-byte name, terminated in out.
void Name24(Reader& r, char out[25]);
// A count of records of at least minBytes each that must fit in what remains.
uint32_t Count(Reader& r, uint32_t minBytes, const char* what);
// A tracked block of count elements of elemBytes each; a block past the allocator's 32-bit size limit is
// refused (fatal) rather than wrapped into a small one that would then be written past.
void* AllocBlock(const Reader& r, size_t elemBytes, uint64_t count, const char* purpose);
// A point index below the header's point count.
uint32_t PointIndexOf(Reader& r, uint32_t index, const char* what);

// Float to int32 truncating toward zero; NaN gives 0 and values outside the range saturate.
int32_t Trunc(double v);

// Reads one file at a nesting depth (0 for a top-level read).
void ReadCCADObjNested(const uint8_t* data, size_t size, const char* name, float scale, Geom* g, int nested);

// Face n of the file (n checked against the face count by the caller).
inline GeomFace* FaceAt(const Reader& r, uint32_t n) { return r.faceIndex[n]; }

// One billboard record; section is true in the billboard section after the points.
void ReadBBoard(Reader& r, uint32_t tag, bool section);
// The chunk section up to the first unknown tag.
void ReadChunks(Reader& r);

}  // namespace objfile
