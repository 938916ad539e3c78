// Saved-game words of the AI: written little-endian field by field, read with bounds.
#include "ai/AIStream.h"

#include "core/Memory.h"
#include "core/Package.h"

namespace aistream {

void PutU32(FILE* file, uint32_t value) {
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    PutBytes(file, b, 4);
}

void PutBytes(FILE* file, const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file) != size) FatalError("Error(WriteSavedGame): write failed");
}

int64_t BytesLeft(FILE* stream) {
    long here = qzpk_ftell(stream);
    if (here < 0) return 0;
    qzpk_fseek(stream, 0, SEEK_END);
    long end = qzpk_ftell(stream);
    qzpk_fseek(stream, here, SEEK_SET);
    return end > here ? int64_t(end) - here : 0;
}

void GetBytes(FILE* stream, void* out, size_t size, const char* who) {
    if (qzpk_fread(out, 1, size, stream) != size) FatalErrorF("Error(%s): unexpected end of stream", who);
}

uint32_t GetU32(FILE* stream, const char* who) {
    uint8_t b[4];
    GetBytes(stream, b, 4, who);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

}  // namespace aistream
