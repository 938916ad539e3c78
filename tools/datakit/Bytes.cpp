#include "tools/datakit/Bytes.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace datakit {

void Bytes::f32(float v) {
    uint32_t u;
    memcpy(&u, &v, 4);
    u32(u);
}

void Bytes::raw(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.end(), b, b + n);
}

void Bytes::fixedText(std::string_view s, size_t field, bool terminate) {
    size_t limit = terminate && field > 0 ? field - 1 : field;
    size_t n = s.size() < limit ? s.size() : limit;
    raw(s.data(), n);
    for (size_t i = n; i < field; ++i) u8(0);
}

void Bytes::patchU32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.at(offset + i) = static_cast<uint8_t>(v >> (8 * i));
}

bool MakeDirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !MakeDirs(parent.string())) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteTextFile(const std::string& path, std::string_view text) {
    return WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace datakit
