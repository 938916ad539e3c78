// Scenery height-field files "app/hfields/<name>": the magic "HFLD", the grid size n, two 12-byte vectors
// the game does not read, and n x n float heights row after row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datakit {

struct HFieldFile {
    int32_t n = 0;
    std::vector<float> heights;          // n x n, row after row
    float low[3] = {0, 0, 0};            // the two vectors: written, never read by the game
    float high[3] = {0, 0, 0};
    std::optional<int32_t> rawN;         // written instead of n (tests of sizes the file cannot hold)
    std::optional<uint32_t> rawMagic;    // written instead of "HFLD"
};

std::vector<uint8_t> HFieldBytes(const HFieldFile& file);
bool WriteHField(const std::string& path, const HFieldFile& file);

}  // namespace datakit
