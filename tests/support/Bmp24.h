// Reads the 24-bit bitmaps that the game's snapshots and the tests' reference pictures are stored in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvtest {

// An uncompressed 24-bit bitmap stored bottom row first, as rows from the top of 0xRRGGBB pixels. False
// when the file is missing or not such a bitmap.
inline bool ReadBmp24(const std::string& path, int* w, int* h, std::vector<uint32_t>* rgb) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> b;
    int c;
    while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t(b[at + size_t(i)]) << (8 * i);
        return v;
    };
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || le(28, 2) != 24) return false;
    size_t offset = le(10, 4);
    *w = int(le(18, 4)), *h = int(le(22, 4));
    if (*w <= 0 || *h <= 0 || *w > 4096 || *h > 4096) return false;
    size_t stride = (size_t(*w) * 3 + 3) & ~size_t(3);
    if (offset + stride * size_t(*h) > b.size()) return false;
    rgb->assign(size_t(*w) * size_t(*h), 0);
    for (int y = 0; y < *h; ++y)
        for (int x = 0; x < *w; ++x)
            (*rgb)[size_t(y * *w + x)] = le(offset + stride * size_t(*h - 1 - y) + size_t(x) * 3, 3);
    return true;
}

}  // namespace kvtest
