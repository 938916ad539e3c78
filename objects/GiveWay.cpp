// Giving way between two units that block each other, and the front-box test of a detection record.
#include <cstdint>
#include <cstdlib>

#include "objects/Itfc.h"
#include "objects/UnitRecord.h"
#include "objects/Units.h"
#include "world/Construct.h"

namespace {

constexpr int32_t kGiveWayTicks = 120;
constexpr int64_t kSideStepAlong = 20000;
constexpr int64_t kSideStepAcross = 13000;

int32_t Throttle(construct* con) {
    int32_t throttle = 0;
    CallItfc(con, ItfcMethod::GETTHROTTLE, reinterpret_cast<uintptr_t>(&throttle));
    return throttle;
}

// Row r of a 1.15 orientation dotted with a 16.16 vector, in 16.16.
int64_t Dot(const int32_t orient[9], int r, const int64_t v[3]) {
    return (int64_t(orient[r * 3]) * v[0] + int64_t(orient[r * 3 + 1]) * v[1] + int64_t(orient[r * 3 + 2]) * v[2]) >>
           15;
}

// y lies ahead of x in x's direction of travel (row 2 of the orientation is the forward axis).
bool Ahead(const construct* x, int32_t throttleX, const construct* y) {
    const int64_t d[3] = {int64_t(y->pos[0]) - x->pos[0], int64_t(y->pos[1]) - x->pos[1],
                          int64_t(y->pos[2]) - x->pos[2]};
    int64_t along = Dot(x->orient, 2, d);
    if (throttleX < 0) along = -along;
    return along > 0;
}

}  // namespace

void GiveWayBetweenUnits(construct* a, UnitShare* ra, construct* b, UnitShare* rb) {
    if (!ra || !rb || !a || !b) return;
    const uint32_t ka = KlassOf(a), kb = KlassOf(b);
    if (!(ka & (kKlassGlider | kKlassVehicle))) return;
    if (!(kb & kKlassVehicle) && !(ka & kKlassGlider)) return;
    if (ra->giveWayCountdown != 0 || rb->giveWayCountdown != 0) return;
    const int32_t ta = Throttle(a), tb = Throttle(b);
    construct* s = nullptr;
    construct* w = nullptr;
    UnitShare* rs = nullptr;
    UnitShare* rw = nullptr;
    if (ta == 0 && tb != 0) {
        s = a, rs = ra, w = b, rw = rb;
    } else if (ta != 0 && tb == 0) {
        s = b, rs = rb, w = a, rw = ra;
    } else if (ta != 0 && tb != 0) {
        const bool bAheadOfA = Ahead(a, ta, b);
        const bool aAheadOfB = Ahead(b, tb, a);
        if (aAheadOfB && !bAheadOfA)
            w = b, rw = rb;
        else if (bAheadOfA && !aAheadOfB)
            w = a, rw = ra;
    }
    ra->sideStepping = ra->waiting = 0;
    rb->sideStepping = rb->waiting = 0;
    if (s || w) ra->giveWayCountdown = rb->giveWayCountdown = kGiveWayTicks;
    if (s && w) {
        const int64_t d[3] = {int64_t(w->pos[0]) - s->pos[0], int64_t(w->pos[1]) - s->pos[1],
                              int64_t(w->pos[2]) - s->pos[2]};
        const int64_t along = Dot(s->orient, 2, d) > 0 ? -kSideStepAlong : kSideStepAlong;
        const int64_t across = Dot(s->orient, 0, d) > 0 ? -kSideStepAcross : kSideStepAcross;
        int32_t point[3];
        for (int i = 0; i < 3; ++i)
            point[i] = static_cast<int32_t>(s->pos[i] + ((along * s->orient[6 + i] + across * s->orient[i]) >> 15));
        point[1] = s->pos[1];
        SetUnitAimPoint(s, point, 0);
    }
    if (s && w) {
        rs->sideStepping = 1;
        rw->waiting = 1;
    } else if (w) {
        rw->waiting = 1;
    }
}

int PointInFrontBox(const int32_t orient[9], const ThreatEntry* record) {
    if (record->flags & 0x20) return 0;
    const int64_t v[3] = {record->dir[0], record->dir[1], record->dir[2]};
    const int64_t x = Dot(orient, 0, v), y = Dot(orient, 1, v), z = Dot(orient, 2, v);
    if (record->distance == 0 || !record->con) return 0;
    const int64_t limit = (int64_t(record->con->sphere.radius) << 11) / record->distance;
    return std::llabs(x / 16) < limit && std::llabs(y / 16) < limit && z >= 1 ? 1 : 0;
}
