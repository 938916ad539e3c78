// Little-endian words of the saved-game streams that the AI writes and reads, with the bytes left in a
// stream for the readers' bounds.
#pragma once

#include <cstdint>
#include <cstdio>

namespace aistream {

void PutU32(FILE* file, uint32_t value);
void PutBytes(FILE* file, const void* data, size_t size);
// Bytes between the stream's position and its end (0 when it cannot be told).
int64_t BytesLeft(FILE* stream);
// A u32 from the stream; fatal "Error(<who>): unexpected end of stream" when fewer than four bytes remain.
uint32_t GetU32(FILE* stream, const char* who);
void GetBytes(FILE* stream, void* out, size_t size, const char* who);

}  // namespace aistream
