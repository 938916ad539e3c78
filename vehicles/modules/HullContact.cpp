// The contact and turning scheme of the ground drives and the wreck physics (see HullContact_local.h).
#include "vehicles/modules/HullContact_local.h"

#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "platform/Sound.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/Terrain.h"

namespace hull {

namespace {

int32_t Narrow(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

FixVec Row(const int32_t orient[9], int r) { return FixVec{orient[3 * r], orient[3 * r + 1], orient[3 * r + 2]}; }

void SetRow(int32_t orient[9], int r, const FixVec& v) {
    orient[3 * r] = v.x;
    orient[3 * r + 1] = v.y;
    orient[3 * r + 2] = v.z;
}

// a x b >> 15 for 1.15 vectors.
FixVec Cross15(const FixVec& a, const FixVec& b) {
    return FixVec{Narrow((int64_t{a.y} * b.z - int64_t{a.z} * b.y) >> 15),
                  Narrow((int64_t{a.z} * b.x - int64_t{a.x} * b.z) >> 15),
                  Narrow((int64_t{a.x} * b.y - int64_t{a.y} * b.x) >> 15)};
}

}  // namespace

int ContactCount(const construct* con) {
    return con->sampleCornerCount > 8 ? 8 : con->sampleCornerCount;
}

int ContactCorner(const construct* con, int i) {
    const int c = con->sampleCorners[i];
    return c < 8 ? c : -1;
}

void CornerWorld(const construct* con, int corner, int32_t out[3]) {
    if (corner < 0 || corner > 7) {
        std::memcpy(out, con->pos, 3 * sizeof(int32_t));
        return;
    }
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    const FixVec local{con->box.corners[corner][0], con->box.corners[corner][1], con->box.corners[corner][2]};
    FixVec w;
    RotateVecT13(&w, &o, &local);
    out[0] = Narrow(int64_t{w.x} + con->pos[0]);
    out[1] = Narrow(int64_t{w.y} + con->pos[1]);
    out[2] = Narrow(int64_t{w.z} + con->pos[2]);
}

void AddCornerTorque(const int32_t m[9], const int32_t local[3], int32_t dy, int32_t t[3]) {
    const int64_t sx = Sign(local[0]), sz = Sign(local[2]);
    const int64_t m0 = m[0], m2 = m[2], m3 = m[3], m5 = m[5], m6 = m[6], m8 = m[8];
    const int64_t roll = ((m2 * m6 * sx) >> 15) - ((m0 * m8 * sx) >> 15);
    const int64_t pitch = ((m0 * m8 * sz) >> 15) - ((m2 * m6 * sz) >> 15);
    const int64_t yaw = (((m2 * sx + m8 * sz) * m3) >> 15) - (((m0 * sx + m6 * sz) * m5) >> 15);
    t[0] = Narrow(int64_t{t[0]} + ((pitch * dy) >> 14));
    t[1] = Narrow(int64_t{t[1]} + ((yaw * dy) >> 14));
    t[2] = Narrow(int64_t{t[2]} + ((roll * dy) >> 14));
}

void TurnAboutRow(int32_t orient[9], int row, int32_t angle) {
    const int next = (row + 1) % 3, third = (row + 2) % 3;
    const FixVec a = Row(orient, row);
    const FixVec v = Row(orient, next);
    int32_t s16 = 0, c16 = 0;
    FixSinCos(angle, &s16, &c16);
    const int64_t s = s16 >> 1, c = c16 >> 1;  // 1.15
    const FixVec av = Cross15(a, v);
    FixVec turned{Narrow((int64_t{v.x} * c + int64_t{av.x} * s) >> 15),
                  Narrow((int64_t{v.y} * c + int64_t{av.y} * s) >> 15),
                  Narrow((int64_t{v.z} * c + int64_t{av.z} * s) >> 15)};
    RemoveComponent(&turned, &a);
    Normalise(&turned, &turned);
    SetRow(orient, next, turned);
    SetRow(orient, third, Cross15(a, turned));
}

void TurnHull(int32_t orient[9], const int32_t t[3]) {
    for (int r = 0; r < 3; ++r)
        if (t[r] != 0) TurnAboutRow(orient, r, t[r]);
}

int32_t VerticalVelocity(int32_t vy, int contact, int k) {
    const int64_t v = contact ? ((int64_t{vy} + 8 * kGravity) * 980) >> 10
                              : ((int64_t{vy} + (int64_t{kGravity} << k)) * 1020) >> 10;
    return Narrow(v);
}

void DriveAlongHull(construct* con, int32_t speed, int contacts, int k) {
    for (int i = 0; i < 3; ++i) {
        if (i == 1 && contacts == 0) continue;
        con->pos[i] += static_cast<int32_t>((int64_t{con->orient[6 + i]} * speed) >> (15 - k));
    }
}

int32_t GroundUnder(const int32_t p[3], uint32_t* flags) {
    if (!CurrentMatrix) {
        if (flags) *flags = 0;
        return INT32_MIN;
    }
    return InterpGroundHeight(CurrentMatrix, p, flags);
}

int AboveWaterLine(int32_t x, int32_t y, int32_t z) {
    const int32_t level = WaterLevelAt(x, z);
    // A quadrant without water holds the marker word; taken as a level it would overflow the line.
    if (level == kNoWaterLevel) return 1;
    return int64_t{y} > int64_t{level} * 8 - kWaterLineMargin ? 1 : 0;
}

int32_t FloatingSupport(int32_t ground, int32_t x, int32_t z) {
    const int32_t level = WaterLevelAt(x, z);
    if (level == kNoWaterLevel) return ground;
    const int64_t surface = int64_t{level} * 8;
    return surface > ground ? Narrow(surface) : ground;
}

int32_t TouchGround(GroundDriveBlock* g, uint8_t blockTest, uint32_t blockedMask, int32_t* groundHeight,
                    int32_t t[3]) {
    static const int32_t kStill[3] = {0, 0, 0};
    construct* con = g->con;
    int32_t contacts = 0;
    // Every corner is measured from the pose at the start of the pass; the hull then rises by the
    // deepest corner. (Lifting corner by corner would leave only the first-listed corners pressed in, and
    // their tilt alone would keep the hull leaning toward them.)
    const int n = ContactCount(con);
    int32_t points[8][3];
    for (int i = 0; i < n; ++i) CornerWorld(con, ContactCorner(con, i), points[i]);
    int32_t deepest = 0;
    for (int i = 0; i < n; ++i) {
        const int corner = ContactCorner(con, i);
        if (corner < 0) continue;
        const int32_t* p = points[i];
        uint32_t flags = 0;
        const int32_t ground = GroundUnder(p, &flags);
        if (groundHeight) groundHeight[corner] = ground;
        if (blockTest && (flags & blockedMask)) {
            con->pos[0] -= (p[0] - con->pos[0]) >> 4;
            con->pos[2] -= (p[2] - con->pos[2]) >> 4;
        }
        const int32_t dy = Depth(p[1], ground);
        if (dy < kContactDepth) ++contacts;
        if (i < 4) {
            const int above = AboveWaterLine(p[0], p[1], p[2]);
            if (above != g->ones[i] && g->dive.file[0] && PlaySampleFor(&g->dive, kSoundPositional, 0, 0))
                dxgl_SetSoundPosition(&g->dive, p, kStill, 0, 0);
            g->ones[i] = above;
        }
        if (dy < 0) {
            if (dy < deepest) deepest = dy;
            if (!g->rest) AddCornerTorque(con->orient, con->box.corners[corner], dy, t);
        }
    }
    // A resting hull is lifted too (without tilting): the last moving update sank it by its vertical
    // velocity, up to 2^k times 485 units, and it would otherwise stay sunk in the ground while it rests.
    con->pos[1] = Lift(con->pos[1], deepest);
    return contacts;
}

}  // namespace hull
