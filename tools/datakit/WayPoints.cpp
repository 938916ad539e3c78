#include "tools/datakit/WayPoints.h"

#include "tools/datakit/Bytes.h"

namespace datakit {

std::vector<uint8_t> WayPointListBytes(const std::optional<WayPointListRecord>& record) {
    Bytes b;
    if (!record) {
        b.u32(0);
        return b.data();
    }
    b.u32(1);
    b.u32(record->rawCount ? *record->rawCount : uint32_t(record->points.size()));
    b.u32(record->capacity);
    for (const auto& p : record->points)
        for (int32_t v : p) b.i32(v);
    return b.data();
}

}  // namespace datakit
