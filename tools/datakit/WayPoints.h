// Way point lists in their saved-game form: u32 present (0: no list, nothing follows), u32 count,
// u32 capacity, count points of three int32.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace datakit {

struct WayPointListRecord {
    std::vector<std::array<int32_t, 3>> points;
    uint32_t capacity = 0;                // below the point count: the reader drops the surplus
    std::optional<uint32_t> rawCount;     // written instead of the point count
};

// An absent list when record is empty.
std::vector<uint8_t> WayPointListBytes(const std::optional<WayPointListRecord>& record);

}  // namespace datakit
