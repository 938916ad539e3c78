// The straight-way test by access type and the end-point correction.
#include "ai/WayFinder.h"

#include <cmath>

#include "core/Memory.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kStepShift = 4;  // a 32768-long direction shifted by 4: steps of 2048 units
constexpr int32_t kCorrectStep = 2048;
constexpr int32_t kSearchProbeHeight = 500000;

int g_searchMode = 0;

// Sets the probe's y to the ground height (first-surface rule) and returns the surface flags; without a
// terrain nothing is in the way.
bool ProbeFlags(int32_t p[3], uint32_t* flags) {
    if (!CurrentMatrix) return false;
    if (g_searchMode) p[1] = kSearchProbeHeight;
    p[1] = GroundHeight(CurrentMatrix, p, 0, 0, flags);
    return true;
}

int BlockedType0(int32_t p[3]) {
    uint32_t flags = 0;
    return ProbeFlags(p, &flags) && (flags & 0xE) ? 1 : 0;
}
int BlockedType1(int32_t p[3]) {
    uint32_t flags = 0;
    return ProbeFlags(p, &flags) && (flags & 0xA) ? 1 : 0;
}
int BlockedType2(int32_t p[3]) {
    uint32_t flags = 0;
    return ProbeFlags(p, &flags) && (flags & 0xD) ? 1 : 0;
}
int BlockedType3(int32_t p[3]) {
    (void)p;
    return 0;
}
int BlockedType4(int32_t p[3]) {
    if (!CurrentMatrix) return 0;
    uint32_t flags = 0;
    p[1] = GroundHeight(CurrentMatrix, p, 0, 0, &flags);
    return (flags & 0x8000) ? 0 : 1;
}

using AccessTest = int (*)(int32_t p[3]);
constexpr AccessTest kTests[] = {BlockedType0, BlockedType1, BlockedType2, BlockedType3, BlockedType4};
// The test of the last FindWayTree call; the end-point correction and the way tree search use it.
AccessTest g_test = BlockedType0;

// v scaled to length 32768 in the ground plane (y 0); a null vector stays null.
void Direction(const int32_t from[3], const int32_t to[3], int32_t d[3]) {
    const double x = double(to[0]) - double(from[0]);
    const double z = double(to[2]) - double(from[2]);
    const double l = std::sqrt(x * x + z * z);
    d[0] = d[1] = d[2] = 0;
    if (l <= 0) return;
    d[0] = int32_t(x * 32768.0 / l);
    d[2] = int32_t(z * 32768.0 / l);
}

// Positions near the ends of the coordinate range are held inside it instead of wrapping around.
int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

}  // namespace

void SetWaySearchMode(int on) {
    g_searchMode = on ? 1 : 0;
}

void SelectAccessTest(int accessType) {
    if (accessType < 0 || accessType > 4) FatalError("Error(FindWayTree): unknown AccessType");
    g_test = kTests[accessType];
}

int WayPointBlocked(int32_t p[3]) {
    return g_test(p);
}

void CorrectEndPoint(int32_t p[3]) {
    static const int32_t kDiagonals[4][2] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}};
    for (int32_t r = 1; r <= 9; ++r)
        for (const auto& d : kDiagonals) {
            int32_t probe[3] = {Clamp32(int64_t(p[0]) + d[0] * r * kCorrectStep), p[1],
                                Clamp32(int64_t(p[2]) + d[1] * r * kCorrectStep)};
            if (g_test(probe)) {
                p[0] = Clamp32(int64_t(p[0]) - d[0] * kCorrectStep);
                p[2] = Clamp32(int64_t(p[2]) - d[1] * kCorrectStep);
            }
        }
}

int FindWayTree(const int32_t start[3], const int32_t end[3], int32_t out[3], int* blocked, int accessType) {
    SelectAccessTest(accessType);
    *blocked = 0;
    int32_t d[3];
    Direction(start, end, d);
    if (d[0] == 0 && d[2] == 0) {
        // Start and end on one spot: a zero direction would step by nothing for ever; the end is reached.
        for (int k = 0; k < 3; ++k) out[k] = end[k];
    } else {
        const int32_t step[3] = {d[0] >> kStepShift, 0, d[2] >> kStepShift};
        int64_t x = int64_t(start[0]) + step[0], z = int64_t(start[2]) + step[2];
        int32_t p[3] = {Clamp32(x), start[1], Clamp32(z)};
        for (;;) {
            if (g_test(p)) {
                out[0] = Clamp32(x - step[0]);
                out[1] = p[1];
                out[2] = Clamp32(z - step[2]);
                *blocked = 1;
                break;
            }
            int32_t e[3];
            Direction(p, end, e);
            if (int64_t(e[0]) * d[0] + int64_t(e[2]) * d[2] < 0 || x != p[0] || z != p[2]) {
                for (int k = 0; k < 3; ++k) out[k] = end[k];
                break;
            }
            x += step[0];
            z += step[2];
            p[0] = Clamp32(x);
            p[2] = Clamp32(z);
        }
    }
    CorrectEndPoint(out);
    return out[0] == end[0] && out[1] == end[1] && out[2] == end[2] ? 1 : 0;
}
