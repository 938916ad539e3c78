// The wreck's rigid-body step: spin decay, impacts, rest, corners on the ground or the water surface,
// gravity, damping and turning (see DeadBodyPhysics.h).
#include "vehicles/modules/DeadBodyPhysics.h"

#include <cstring>

#include "vehicles/modules/HullContact_local.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kRestDrift = 200;  // |velocity x| and |velocity z| below this allow rest

int32_t Narrow(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace

void DeadBody_physInit(DeadBodyPhys* d, construct* con) {
    d->con = con;
    std::memset(d->velocity, 0, sizeof d->velocity);
    std::memset(d->words, 0, sizeof d->words);
    std::memset(d->spin, 0, sizeof d->spin);
    d->spinDecay = kDeadBodySpinDecay;
    d->impactPending = 0;
    std::memset(d->impact, 0, sizeof d->impact);
    d->verticalVelocity = 0;
    d->contacts = 0;
    d->damping = kDeadBodyDamping;
}

void DeadBody_impact(DeadBodyPhys* d, const int32_t vec[3], const int32_t contact[3], const int32_t other[3],
                     int32_t strength) {
    d->impactPending = 1;
    std::memcpy(d->impact, vec, sizeof d->impact);
    const int64_t x = d->con->pos[0], z = d->con->pos[2];
    const int64_t lever = ((other[2] - z) * (contact[0] - x) - (contact[2] - z) * (other[0] - x)) >> 15;
    d->spin[1] = Narrow((lever * strength) >> 8);
}

void DeadBody_physUpdate(DeadBodyPhys* d, int k) {
    k = ClampTickShift(k);
    construct* con = d->con;

    // This step turns by the stored spins; the stored spins decay, and this step's torques stay here.
    int32_t t[3];
    for (int i = 0; i < 3; ++i) {
        t[i] = d->spin[i];
        d->spin[i] = Narrow((int64_t{d->spin[i]} * d->spinDecay) >> 10);
    }

    if (d->impactPending) {
        d->velocity[0] += d->impact[0] >> 10;
        d->velocity[2] += d->impact[2] >> 10;
    }

    const bool rest = d->contacts == 4 && hull::Abs(d->velocity[0]) < kRestDrift &&
                      hull::Abs(d->velocity[2]) < kRestDrift &&
                      hull::Abs(d->verticalVelocity) < hull::kRestVertical && hull::Abs(t[0]) < hull::kRestTurn &&
                      hull::Abs(t[1]) < hull::kRestTurn && hull::Abs(t[2]) < hull::kRestTurn && !d->impactPending;
    if (rest) {
        d->velocity[0] = d->velocity[2] = 0;
        if (d->velocity[1] < 0) d->velocity[1] = 0;
    }

    // Every corner is measured from the pose at the start of the pass; the wreck rises by the deepest.
    d->contacts = 0;
    const int n = hull::ContactCount(con);
    int32_t points[8][3];
    for (int i = 0; i < n; ++i) hull::CornerWorld(con, hull::ContactCorner(con, i), points[i]);
    int32_t deepest = 0;
    for (int i = 0; i < n; ++i) {
        const int corner = hull::ContactCorner(con, i);
        if (corner < 0) continue;
        const int32_t* p = points[i];
        const int32_t ground = hull::GroundUnder(p, nullptr);
        const int32_t support = hull::FloatingSupport(ground, p[0], p[2]);
        const int32_t dy = hull::Depth(p[1], support);
        if (dy < hull::kContactDepth) ++d->contacts;
        if (dy < 0) {
            if (dy < deepest) deepest = dy;
            if (!rest) hull::AddCornerTorque(con->orient, con->box.corners[corner], dy, t);
        }
    }
    // A resting wreck is lifted too (without tilting), out of the sinking of its last moving update.
    con->pos[1] = hull::Lift(con->pos[1], deepest);

    if (!rest) {
        d->verticalVelocity = hull::VerticalVelocity(d->verticalVelocity, d->contacts != 0, k);
        for (int i = 0; i < 3; ++i) con->pos[i] += d->velocity[i] >> (8 - k);
        con->pos[1] += d->verticalVelocity >> (8 - k);
        for (int tick = 0; tick < (1 << k); ++tick)
            for (int32_t& v : d->velocity) v = static_cast<int32_t>(static_cast<float>(v) * d->damping);
        t[1] += hull::kUprightDrift;
        hull::TurnHull(con->orient, t);
    }

    d->impactPending = 0;
}

void DeadBody_physCopy(DeadBodyPhys* d, const DeadBodyPhys* src) {
    std::memcpy(d->velocity, src->velocity, sizeof d->velocity);
    std::memcpy(d->words, src->words, sizeof d->words);
    std::memcpy(d->spin, src->spin, sizeof d->spin);
    d->impactPending = src->impactPending;
    std::memcpy(d->impact, src->impact, sizeof d->impact);
    d->verticalVelocity = src->verticalVelocity;
    d->contacts = src->contacts;
    d->damping = src->damping;
}
