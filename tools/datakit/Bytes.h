// Little-endian byte building for the file writers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace datakit {

class Bytes {
public:
    void u8(uint8_t v) { data_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v);
    // Raw bytes, and a text in a fixed field padded with zeros (cut to the field, always terminated
    // when terminate is true).
    void raw(const void* p, size_t n);
    void text(std::string_view s) { raw(s.data(), s.size()); }
    void fixedText(std::string_view s, size_t field, bool terminate = true);
    // Overwrites a 32-bit value at an earlier offset (sizes known only after the body is written).
    void patchU32(size_t offset, uint32_t v);

    size_t size() const { return data_.size(); }
    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
};

// Writes a file, creating its folders; false on failure.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteTextFile(const std::string& path, std::string_view text);
bool MakeDirs(const std::string& path);

}  // namespace datakit
