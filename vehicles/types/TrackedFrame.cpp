// What the tracked types share on top of the vehicle frame (see TrackedFrame.h).
#include "vehicles/types/TrackedFrame.h"

#include <cmath>
#include <cstdlib>
#include <iterator>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Keys.h"
#include "core/Rules.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "vehicles/modules/ChainDrive.h"
#include "world/Construct.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace {

constexpr int kKeyNextTarget = static_cast<int>(PilotKey::NEXTTARGET);
static_assert(std::size(AxisBindings) == kKeyMultiplierCount);
// The corners of the box the four chains stand for.
constexpr int32_t kChainCorners[4] = {4, 7, 0, 3};
// A support point lies within the reach of the hull's box (quarter units: 64 tiles).
constexpr int32_t kMostSupportOffset = 1 << 22;

float FirstValue(const Rule* r) { return r && r->count > 0 ? r->values[0] : 0.0f; }

}  // namespace

void TrackedReadKeyMultipliers(const construct* con, int32_t out[kKeyMultiplierCount]) {
    const Rule* r = NamedUnitRule(con->unit, "KeyMultipliers");
    for (int i = 0; i < kKeyMultiplierCount; ++i)
        out[i] = TruncateToInt32((i < r->count ? r->values[i] : 0.0f) * 256.0f);
}

void TrackedExportDrive(const int32_t multipliers[kKeyMultiplierCount]) {
    for (int i = 0; i < kKeyMultiplierCount; ++i) AxisBindings[i].scale = multipliers[i];
}

int32_t TrackedRecoil(const construct* con) { return TruncateToInt32(FirstValue(NamedUnitRule(con->unit, "recoil"))); }

void TrackedRecoilPart(construct* part, int32_t counter, int32_t recoil, int shift) {
    if (shift < 0) shift = 0;
    for (int c = 0; c < 3; ++c) {
        const int64_t back = (int64_t{part->orient[6 + c]} * counter * recoil) >> shift;
        part->pos[c] = static_cast<int32_t>(part->pos[c] - back);
    }
}

void TrackedNextTargetKey(const UnitShare* rec, ControlInput* in) {
    if ((FrameCounter & 32) && rec->lockTarget != rec->target) SetInputKey(in, kKeyNextTarget, true);
}

void ChainSupport_init(ChainSupport* s, const construct* con, int32_t d) {
    // The box is held at a quarter of the world scale, as the points are.
    const int32_t q = d / 4;
    for (int i = 0; i < 4; ++i) {
        s->corners[i] = kChainCorners[i];
        for (int c = 0; c < 3; ++c) s->points[i][c] = con->box.corners[kChainCorners[i]][c];
        s->points[i][2] += i < 2 ? -q : q;
        s->ground[i] = 0;
    }
}

void ChainSupport_angles(ChainSupport* s, const construct* con, const ChainDrive* drive, int32_t angles[4]) {
    const auto* m = reinterpret_cast<const FixMatrix*>(con->orient);
    for (int i = 0; i < 4; ++i) {
        const FixVec local{s->points[i][0], s->points[i][1], s->points[i][2]};
        FixVec off;
        RotateVecT13(&off, m, &local);
        const int32_t at[3] = {con->pos[0] + off.x, con->pos[1] + off.y, con->pos[2] + off.z};
        s->ground[i] = CurrentMatrix ? GroundHeight(CurrentMatrix, at, 0, 0, nullptr) : at[1];
    }
    int32_t euler[3];
    AnglesFromMatrix(euler, m);
    for (int i = 0; i < 4; ++i) {
        const int32_t c = s->corners[i] & 7;
        int64_t a = int64_t{drive->groundHeight[c]} - s->ground[i];
        int64_t b = 4 * (int64_t{con->box.corners[c][2]} - s->points[i][2]);
        if (i < 2) a = -a, b = -b;
        // The slope's two legs fit the arc tangent's words: both are well within a tile.
        const auto clamp = [](int64_t v) { return static_cast<int32_t>(v > (1 << 30) ? (1 << 30) : (v < -(1 << 30) ? -(1 << 30) : v)); };
        angles[i] = TruncateToInt32(0.6 * euler[1]) - FixAtan2(clamp(a), clamp(b)) - 102943;
    }
}

const char* ChainSupport_check(const ChainSupport* s) {
    for (int i = 0; i < 4; ++i) {
        if (s->corners[i] < 0 || s->corners[i] > 7) return "a chain's box corner is not one of the box's eight";
        for (int32_t v : s->points[i])
            if (std::abs(int64_t{v}) > kMostSupportOffset) return "a chain's support point lies far off the hull";
        if (std::abs(int64_t{s->ground[i]}) > (int64_t{1} << 30)) return "a chain's ground height is out of range";
    }
    return nullptr;
}

uintptr_t TrackedGauges(const ChainDrive* drive, uintptr_t arg) {
    *reinterpret_cast<int32_t*>(arg) = drive->g.speedConstraint[1];
    return static_cast<uintptr_t>(static_cast<uint32_t>(drive->speed));
}

void TrackedThrottle(const ChainDrive* drive, uintptr_t arg) {
    *reinterpret_cast<int32_t*>(arg) = static_cast<int32_t>(std::trunc(drive->wantedThrottle));
}
