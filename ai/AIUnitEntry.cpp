// A few geometric helpers shared by the AI's files.
#include <cmath>

#include "ai/AI_local.h"
#include "core/Memory.h"
#include "objects/Itfc.h"
#include "world/Construct.h"
#include "world/Terrain.h"

namespace ai {

namespace {
// The ground flag of a place inside a stacked construct that does not block a line.
constexpr uint32_t kSeeThroughSurface = 0x800;
}

int32_t Length3(const int32_t v[3]) {
    double x = v[0], y = v[1], z = v[2];
    double l = std::sqrt(x * x + y * y + z * z);
    return l >= 2147483647.0 ? INT32_MAX : int32_t(l);
}

void Normalise32768(const int32_t v[3], int32_t out[3]) {
    double x = v[0], y = v[1], z = v[2];
    double l = std::sqrt(x * x + y * y + z * z);
    if (l <= 0) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    for (int k = 0; k < 3; ++k) out[k] = int32_t(double(v[k]) * 32768.0 / l);
}

bool StructureOf(construct* con, int32_t* structure) {
    auto* state = reinterpret_cast<StateRecord*>(CallItfc(con, ItfcMethod::GETSTATE));
    if (!state) return false;
    *structure = state->structure;
    return true;
}

// Without a terrain matrix there is nothing between two points. A place inside a stacked construct
// whose ground flags carry 0x800 does not block the line; every other place that is not free does.
int PointObstructed(const int32_t p[3]) {
    if (!CurrentMatrix) return 0;
    construct* stacked = nullptr;
    const int c = CheckMatrixPosition(CurrentMatrix, p, &stacked, WaterLevelAt(p[0], p[2]));
    if (c == 0) return 0;
    if (c == 3) {
        uint32_t flags = 0;
        GroundHeight(CurrentMatrix, p, 0, 1, &flags);  // the sub-point the classification read
        if (flags & kSeeThroughSurface) return 0;
    }
    return 1;
}

}  // namespace ai
