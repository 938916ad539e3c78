// Little-endian fields of the network's records (the session record, the application messages), written
// and read at their offsets.
#pragma once

#include <cstdint>
#include <cstring>

namespace netwire_fields {

inline void PutU32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}
inline void PutI32(uint8_t* at, int32_t v) { PutU32(at, static_cast<uint32_t>(v)); }
inline int32_t GetI32(const uint8_t* at) { return static_cast<int32_t>(GetU32(at)); }
inline void PutI16(uint8_t* at, int16_t v) {
    at[0] = static_cast<uint8_t>(static_cast<uint16_t>(v));
    at[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
}
inline int16_t GetI16(const uint8_t* at) { return static_cast<int16_t>(uint16_t(at[0]) | uint16_t(at[1]) << 8); }
inline void PutFloat(uint8_t* at, float v) {
    uint32_t bits;
    memcpy(&bits, &v, 4);
    PutU32(at, bits);
}
inline float GetFloat(const uint8_t* at) {
    const uint32_t bits = GetU32(at);
    float v;
    memcpy(&v, &bits, 4);
    return v;
}
// A text into its field of size bytes: cut to size - 1 characters, the rest zero.
inline void PutText(uint8_t* at, const char* text, size_t size) {
    memset(at, 0, size);
    if (text) memcpy(at, text, strnlen(text, size - 1));
}
// A field of size bytes into out (size bytes): terminated whatever the field holds.
inline void GetText(const uint8_t* at, char* out, size_t size) {
    memcpy(out, at, size - 1);
    out[size - 1] = 0;
}

}  // namespace netwire_fields
