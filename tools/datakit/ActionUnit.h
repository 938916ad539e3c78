// Writer of an action unit's definition: the body of the world file's action-unit chunk. A name of 32
// bytes, the abstract clan, a header word, then three lists (one per level clan) of units, each a units-file
// name of 32 bytes, a percentage, a place record of six words and optionally "DATA", a size and the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datakit {

struct ActionUnitEntry {
    std::string type;          // units-file entry name
    int32_t percentage = 100;  // 0 or less: created but not placed
    // x, y, z (16.16; the game swaps x and z when it places the unit), two spare words, heading.
    std::array<int32_t, 6> place{};
    std::optional<std::vector<uint8_t>> data;  // the unit data block, when the entry has one
};

struct ActionUnitDef {
    std::string name;
    int32_t abstractClan = 0;
    int32_t headerWord = 0;
    std::array<std::vector<ActionUnitEntry>, 3> lists;
};

// The chunk body of one definition.
std::vector<uint8_t> ActionUnitBody(const ActionUnitDef& def);

}  // namespace datakit
