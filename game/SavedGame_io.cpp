// The byte writer and the bounded reader of saved games, and temporary streams for the readers and
// writers of other modules that work on streams.
#include <cstdarg>
#include <cstring>

#include "game/SavedGame_local.h"

namespace qzgm {

void Out::U32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    bytes_.insert(bytes_.end(), b, b + 4);
}

void Out::F32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    U32(u);
}

void Out::Raw(const void* p, size_t n) {
    if (n == 0) return;
    const auto* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
}

void Out::Text(const char* s, size_t field) {
    const size_t n = s ? strnlen(s, field) : 0;
    Raw(s, n);
    Zeros(field - n);
}

void Out::Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }

size_t Out::Begin(uint32_t type) {
    U32(type);
    const size_t at = bytes_.size();
    U32(0);
    return at;
}

void Out::End(size_t at) {
    const uint32_t size = static_cast<uint32_t>(bytes_.size() - at + 4);
    for (int k = 0; k < 4; ++k) bytes_[at + size_t(k)] = uint8_t(size >> (8 * k));
}

void In::Fail(const char* format, ...) {
    if (!ok()) return;
    char text[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    error_ = text;
    if (error_.empty()) error_ = "refused";
}

void In::Raw(void* out, size_t n) {
    if (n == 0) return;
    if (ok() && n > size_ - pos_) {
        if (body_)
            Fail("%s is cut short", body_);
        else
            Fail("the file is cut short");
    }
    if (!ok()) {
        std::memset(out, 0, n);
        return;
    }
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
}

void In::Skip(size_t n) {
    if (ok() && n > size_ - pos_) Fail("%s is cut short", body_ ? body_ : "the file");
    if (ok()) pos_ += n;
}

uint32_t In::U32() {
    uint8_t b[4];
    Raw(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

float In::F32() {
    const uint32_t u = U32();
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

void In::Name(char* out, size_t n, const char* what) {
    Raw(out, n);
    if (ok() && !std::memchr(out, 0, n)) Fail("%s is not terminated", what);
    if (!ok()) out[0] = 0;
}

uint32_t In::Count(uint32_t minBytes, const char* what) {
    const uint32_t n = U32();
    if (ok() && minBytes && n > Left() / minBytes) Fail("%s %u do not fit the bytes left", what, n);
    return ok() ? n : 0;
}

void In::Enter(size_t n, const char* what) {
    if (ok() && n > size_ - pos_) Fail("%s runs past the end of the file", what);
    if (!ok()) return;
    outerSize_ = size_;
    size_ = pos_ + n;
    body_ = what;
}

void In::Leave() {
    if (ok() && pos_ != size_) Fail("%s holds %zu bytes more than its fields", body_, size_ - pos_);
    if (body_) size_ = outerSize_;
    body_ = nullptr;
}

FILE* StreamOfBytes(const uint8_t* data, size_t size) {
    FILE* f = std::tmpfile();
    if (!f) return nullptr;
    if ((size && std::fwrite(data, 1, size, f) != size) || std::fflush(f) != 0) {
        std::fclose(f);
        return nullptr;
    }
    std::rewind(f);
    return f;
}

bool BytesOfStream(FILE* f, std::vector<uint8_t>* out) {
    if (std::fflush(f) != 0 || std::fseek(f, 0, SEEK_END) != 0) return false;
    const long n = std::ftell(f);
    if (n < 0) return false;
    std::rewind(f);
    out->resize(size_t(n));
    return n == 0 || std::fread(out->data(), 1, size_t(n), f) == size_t(n);
}

}  // namespace qzgm
