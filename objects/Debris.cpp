// Tumbling debris: fragments flung from a hit (gone at their first touch of the ground), the shards of
// destroyed units and buildings (they tumble, bounce, come to rest and, for units, sink and free
// themselves), burning splinters that leave a flame behind them on every tick of their flight, and those
// flames.
#include <cmath>
#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/EffectTypes_local.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "world/Statics.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kGravity = -700;

const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

void Move(int32_t* pos, int64_t step) { *pos = Clamp32(int64_t(*pos) + step); }

int Sign(int32_t v) { return (v > 0) - (v < 0); }

void WalkShard(SavedWords& w, void* block) {
    auto* b = static_cast<ShardRecord*>(block);
    w.I32(&b->resting);
    w.I32(&b->timer);
    w.I32(&b->lifetime);
    w.I32(&b->sinkDepth);
    w.I32s(b->velocity, 3);
    for (float& s : b->spin) w.F32(&s);
    w.I32(&b->reserved);
}

void WalkFireTail(SavedWords& w, void* block) {
    auto* b = static_cast<FireTailBlock*>(block);
    w.I32(&b->age);
    w.I32s(b->spare, 3);
}

const PjtMember kFragment{"Fragment", Fragment_itfc, sizeof(FragmentBlock), 60.0f, 0x2, 0, 1, {0, 0, 0, 0}, -1, 0,
                          false, nullptr, 0};
const PjtMember kShard{"Shard", Shard_itfc, sizeof(ShardRecord), 160.0f, 0x2, 0, 4, {0, 3, 4, 7}, -1, 0, false,
                       nullptr, 0};
const PjtMember kShrapnel{"Shrapnel", Shrapnel_itfc, sizeof(ShardRecord), 30.0f, 0x2, 0, 4, {0, 3, 4, 7}, -1, 0, false,
                          WalkShard, 44};
const PjtMember kFireTail{"FireTail", FireTail_itfc, sizeof(FireTailBlock), 25.0f, 0, 0, 2, {0, 4, 0, 0}, 1, 1, false,
                          WalkFireTail, 16};

// ---- Fragment.

int g_fragmentShape = 0;  // "fragment1".."fragment4" in turn, shared by all creations

void TickFragment(construct* con) {
    auto* b = static_cast<FragmentBlock*>(con->itfcData);
    construct* struck = nullptr;
    const int32_t level = WaterLevelAt(con->pos[0], con->pos[2]);
    if (CurrentMatrix && CheckMatrixPosition(CurrentMatrix, con->pos, &struck, level) != 0) ReturnToPool(con);
    b->velocity[1] = Clamp32(int64_t(b->velocity[1]) + 8 * kGravity);
    for (int k = 0; k < 3; ++k) b->angles[k] = static_cast<int32_t>(uint32_t(b->angles[k]) + uint32_t(b->spin[k]));
    FixMatrix m;
    MatrixFromEuler(&m, b->angles);
    std::memcpy(con->orient, m.m, sizeof m.m);
    for (int k = 0; k < 3; ++k) Move(&con->pos[k], b->velocity[k] >> 13);
}

// ---- The ground contact and the tumbling motion of shards and splinters.

struct Contact {
    int count;        // probe points within 200 of the ground
    bool underWater;  // a probe point touched ground that lies under water
};

int32_t Scaled15(int64_t a, int64_t b) { return static_cast<int32_t>((a * b) >> 15); }

void PushUp(construct* con, ShardRecord* b, const int32_t p[3], int32_t d) {
    // Lift, then a turn impulse from where the point lies on the piece.
    Move(&con->pos[1], -int64_t(d));
    const int32_t* s = con->orient;
    const int32_t* u = con->orient + 3;
    const int32_t* f = con->orient + 6;
    const int sx = Sign(p[0]), sz = Sign(p[2]);
    const float k = static_cast<float>(d) / 16384.0f;
    b->spin[2] += static_cast<float>(Scaled15(int64_t(f[0]) * s[2], sx) - Scaled15(int64_t(f[2]) * s[0], sx)) * k;
    b->spin[0] += static_cast<float>(Scaled15(int64_t(f[2]) * s[0], sz) - Scaled15(int64_t(f[0]) * s[2], sz)) * k;
    b->spin[1] += static_cast<float>(Scaled15(int64_t(f[2]) * sz + int64_t(s[2]) * sx, u[0]) -
                                     Scaled15(int64_t(f[0]) * sz + int64_t(s[0]) * sx, u[2])) *
                  k;
}

Contact GroundContact(construct* con, ShardRecord* b) {
    Contact c{0, false};
    if (!CurrentMatrix) return c;
    // The probe set: the points of the first patch when the piece's geometry has one, else its box.
    const Geom* g0 = con->lod[0];
    const GeomPatch* patch = g0 && g0->patchCount > 0 && g0->patches ? &g0->patches[0] : nullptr;
    const bool usePatch = patch && patch->pointCount > 0 && patch->points;
    const int n = usePatch ? patch->pointCount : 8;
    for (int i = 0; i < n; ++i) {
        const int32_t* p = usePatch ? (patch->points[i] ? patch->points[i]->pos : nullptr) : con->box.corners[i];
        if (!p) continue;
        FixMatrix o;
        std::memcpy(o.m, con->orient, sizeof o.m);
        const FixVec local{p[0], p[1], p[2]};
        FixVec t;
        RotateVecT13(&t, &o, &local);
        const int32_t w[3] = {Clamp32(int64_t(con->pos[0]) + t.x), Clamp32(int64_t(con->pos[1]) + t.y),
                              Clamp32(int64_t(con->pos[2]) + t.z)};
        const int32_t ground = InterpGroundHeight(CurrentMatrix, w, nullptr);
        const int64_t d = int64_t(w[1]) - ground;
        if (d < 200) ++c.count;
        if (d >= 0) continue;
        PushUp(con, b, p, Clamp32(d));
        if (int64_t(ground) < 8 * int64_t(WaterLevelAt(w[0], w[2]))) c.underWater = true;
    }
    return c;
}

// Turns the rows by the spin about row i: row a = R row a, square to row i and normalised; row b = row i
// x row a.
void TurnAbout(int32_t* rows, int i, float spin) {
    const int32_t angle = TruncateToInt32(spin);
    if (angle == 0) return;
    FixVec* r = reinterpret_cast<FixVec*>(rows);
    const int a = (i + 1) % 3, b = (i + 2) % 3;
    FixMatrix turn;
    MatrixFromDirection(&turn, &r[i], angle);
    FixVec ra;
    RotateVec(&ra, &turn, &r[a]);
    RemoveComponent(&ra, &r[i]);
    Normalise(&ra, &ra);
    r[a] = ra;
    r[b] = {static_cast<int32_t>((int64_t(r[i].y) * ra.z - int64_t(r[i].z) * ra.y) >> 15),
            static_cast<int32_t>((int64_t(r[i].z) * ra.x - int64_t(r[i].x) * ra.z) >> 15),
            static_cast<int32_t>((int64_t(r[i].x) * ra.y - int64_t(r[i].y) * ra.x) >> 15)};
}

void Tumble(construct* con, ShardRecord* b, bool contact) {
    const int32_t vx = b->velocity[0];
    const int64_t vy = contact ? (int64_t(b->velocity[1]) + 4 * kGravity) * 980 : (int64_t(b->velocity[1]) + kGravity) * 1020;
    b->velocity[1] = Clamp32(vy >> 10);
    b->velocity[0] = Clamp32((int64_t(b->velocity[0]) * 1020) >> 10);
    b->velocity[2] = Clamp32((int64_t(b->velocity[2]) * 1020) >> 10);
    Move(&con->pos[0], (int64_t(vx) * 1020) >> 18);
    Move(&con->pos[1], b->velocity[1] >> 8);
    Move(&con->pos[2], b->velocity[2] >> 8);
    static_assert(sizeof(FixVec) == 3 * sizeof(int32_t));
    for (int i = 0; i < 3; ++i)
        if (b->spin[i] != 0.0f) TurnAbout(con->orient, i, b->spin[i]);
}

int32_t StepDown(int32_t timer) { return EffectCount(int64_t(timer) - 1); }

// ---- Shard.

void TickShard(construct* con) {
    auto* b = static_cast<ShardRecord*>(con->itfcData);
    // 1.
    b->timer = StepDown(b->timer);
    Contact c{0, false};
    if (b->timer < 1 && !b->resting) {
        c = GroundContact(con, b);
        if (c.count >= 3 || b->timer < -1000) {
            if (b->lifetime == 0) {
                CreateQZEvent(QZEventKind::UnBuzy, con);
                con->flags |= kConSettled;
            } else {
                b->resting = 1;
            }
        }
        if (c.underWater) {
            CreateQZEvent(QZEventKind::UnBuzy, con);
            DeactivateConstruct(con);
        }
    }
    // 2.
    if (!b->resting) Tumble(con, b, c.count > 0);
    // 3.
    if (b->lifetime != 0 && (c.count >= 3 || b->timer < -1000)) {
        b->lifetime = Clamp32(int64_t(b->lifetime) - (1 << (con->busyLevel & 3)));
        if (b->lifetime <= 0 && b->sinkDepth == 0) b->sinkDepth = 1;
    }
    // 4. It sinks out of sight, leaves the pool "frag" and is freed at the next event flush.
    if (b->sinkDepth != 0) {
        b->sinkDepth = Clamp32(int64_t(b->sinkDepth) + 8);
        Move(&con->pos[1], -8);
        if (b->sinkDepth >= 6500) {
            if (FragPool && IsInConstructPool(con, FragPool)) RemoveFromConstructPool(FragPool, con);
            CallItfc(con, ItfcMethod::DESTROY, 1);
        }
    }
}

// DESTROY of Shard and Shrapnel: a non-zero argument frees the piece at the next event flush.
void DestroyPiece(construct* con, uintptr_t later) {
    if (con->flags & kConBusy) CreateQZEvent(QZEventKind::UnBuzy, con);
    DeactivateConstruct(con);
    if (later)
        CreateQZEvent(QZEventKind::Free, con);
    else
        FreeConstruct(con);
}

// ---- Shrapnel and its flames.

void SpawnFireTail(construct* splinter) {
    construct* flame = SpawnEffect(splinter, SharedPoolId::Firetail);
    if (!flame) return;
    static_cast<FireTailBlock*>(flame->itfcData)->age = 1;
    if (bboard* bb = PjtFirstBBoard(flame)) bb->fixedFrame = static_cast<uint8_t>(Random() & 3);
}

void TickShrapnel(construct* con) {
    auto* b = static_cast<ShardRecord*>(con->itfcData);
    b->timer = StepDown(b->timer);
    Contact c{0, false};
    if (b->timer <= 0) {
        if (b->resting) return;
        c = GroundContact(con, b);
        if (c.count >= 3 || b->timer <= -1001 || c.underWater) {
            b->resting = 1;
            ReturnToPool(con);
        }
    }
    if (b->resting) return;
    Tumble(con, b, c.count > 0);
    SpawnFireTail(con);
}

void TickFireTail(construct* con) {
    auto* b = static_cast<FireTailBlock*>(con->itfcData);
    bboard* bb = PjtFirstBBoard(con);
    const int32_t a = b->age;
    if (bb && (a & 3) == 0) ++bb->fixedFrame;
    if (bb) bb->alpha = static_cast<uint8_t>(200 - 20 * int64_t(a));
    b->age = EffectCount(int64_t(a) + 1);
    if (a > 8) {
        ReturnToPool(con);
        if (bb) bb->alpha = 200;
    }
}

}  // namespace

uintptr_t Fragment_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            char geom[32];
            std::snprintf(geom, sizeof geom, "fragment%d", g_fragmentShape + 1);
            g_fragmentShape = (g_fragmentShape + 1) % 4;
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kFragment, Dir(arg), geom));
        }
        case ItfcMethod::TICK:
            TickFragment(con);
            return 0;
        default:
            return PjtMember_itfc(kFragment, con, method, arg);
    }
}

uintptr_t Shard_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            // The piece turns about its anchor: its geometry is moved by minus the anchor.
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kShard, Dir(arg), "", AnchorConstructGeoms));
        case ItfcMethod::TICK:
            TickShard(con);
            return 0;
        case ItfcMethod::DESTROY:
            DestroyPiece(con, arg);
            return 0;
        default:
            return PjtMember_itfc(kShard, con, method, arg);
    }
}

uintptr_t Shrapnel_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kShrapnel, Dir(arg), "shrapnel"));
        case ItfcMethod::TICK:
            TickShrapnel(con);
            return 0;
        case ItfcMethod::DESTROY:
            DestroyPiece(con, arg);
            return 0;
        default:
            return PjtMember_itfc(kShrapnel, con, method, arg);
    }
}

uintptr_t FireTail_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kFireTail, Dir(arg), "firetail", [](construct* c) {
                if (bboard* bb = PjtFirstBBoard(c)) bb->alpha = 200;
            }));
        case ItfcMethod::TICK:
            TickFireTail(con);
            return 0;
        case ItfcMethod::GETSTATE:
            return 0;
        default:
            return PjtMember_itfc(kFireTail, con, method, arg);
    }
}
