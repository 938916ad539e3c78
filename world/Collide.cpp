// Unit collisions: the per-tick pass over the busy pools, the pair test by bounding spheres and
// sub-spheres, and the search of objects near a point.
#include "world/Collide.h"

#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

CollideNode CollideNodes[kMaxCollideNodes];
int32_t CollideNodeCount = 0;

namespace {

// The number of the collision pass; a quarter's list is valid while its stamp equals it. The node store
// is refilled by every pass: a stamp taken from the tick counter would let a later pass at the same
// count (two passes in one tick, the counter set back by a saved game or a new level) walk a list into
// nodes that were handed out again, into a loop.
uint32_t CollidePass = 0;

// A small set of remembered pointers (visited quarters, tested partners); full sets forget new entries.
template <typename T>
struct Memory {
    T items[kCollideMemory];
    int count = 0;
    bool has(const T& v) const {
        for (int i = 0; i < count; ++i)
            if (items[i] == v) return true;
        return false;
    }
    void add(const T& v) {
        if (count < kCollideMemory) items[count++] = v;
    }
};

struct QuarterRef {
    TileFieldEntry* tile;
    int quarter;
    bool operator==(const QuarterRef& o) const { return tile == o.tile && quarter == o.quarter; }
};

// The sphere's world centre for this tick.
void Refresh(const construct* con, SphereRecord* s) {
    if (s->stamp == static_cast<int32_t>(FrameCounter)) return;
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    const FixVec local{s->centre[0], s->centre[1], s->centre[2]};
    FixVec w;
    RotateVecT13(&w, &o, &local);
    s->world[0] = w.x + con->pos[0];
    s->world[1] = w.y + con->pos[1];
    s->world[2] = w.z + con->pos[2];
    s->stamp = static_cast<int32_t>(FrameCounter);
}

int32_t Dist(const SphereRecord& a, const SphereRecord& b) {
    const FixVec va{a.world[0], a.world[1], a.world[2]}, vb{b.world[0], b.world[1], b.world[2]};
    return Distance3F(&va, &vb);
}

int64_t Sum(int32_t a, int32_t b) { return static_cast<int64_t>(a) + b; }

// The point between two centres at the fraction ra / (ra + rb).
void Between(const SphereRecord& a, const SphereRecord& b, int32_t ra, int32_t rb, int32_t out[3]) {
    const int64_t total = Sum(ra, rb);
    const int32_t f = total > 0 && total <= INT32_MAX ? FixDiv(ra, static_cast<int32_t>(total)) : 16384;
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<int32_t>(a.world[k] + ((static_cast<int64_t>(b.world[k]) - a.world[k]) * f >> 15));
}

int HitSlot(const construct* c) {
    for (int i = 0; i < 3; ++i)
        if (!c->hits[i]) return i;
    return 3;
}

// Wraps a coordinate into [0, extent) by whole extents; returns true when it moved.
bool Wrap(int64_t* v, int64_t extent) {
    if (extent <= 0 || (*v >= 0 && *v < extent)) return false;
    *v = ((*v % extent) + extent) % extent;
    return true;
}

ConstructPool* ResultPool() { return FindConstructPool("tmpcollision"); }

// The sample points of a construct in local quarter units; 0 when it has none.
int SamplePoints(const construct* con, const int32_t* points[kCollideMemory]) {
    int n = 0;
    const Geom* g = con->lod[0];
    if (g && g->patchCount > 0 && g->patches && g->patches[0].pointCount > 0 && g->patches[0].points) {
        for (int i = 0; i < g->patches[0].pointCount && n < kCollideMemory; ++i)
            if (g->patches[0].points[i]) points[n++] = g->patches[0].points[i]->pos;
        return n;
    }
    for (int i = 0; i < con->sampleCornerCount && i < 8 && n < kCollideMemory; ++i)
        points[n++] = con->box.corners[con->sampleCorners[i] & 7];
    return n;
}

bool StaticCollides(const construct* con, const construct* s) {
    if (s->flags & 0x40000000u) return true;
    if ((s->flags & 0x20000000u) && (con->flags & 0x4000u)) return true;
    return s->collisionClass != 0 && (con->collisionClass == 255 || s->collisionClass != con->collisionClass);
}

void CollideConstruct(matrix* m, construct* con) {
    const int32_t* points[kCollideMemory];
    const int n = SamplePoints(con, points);
    if (n == 0) return;
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    Memory<QuarterRef> visited;
    Memory<construct*> tested;
    const int64_t extentX = static_cast<int64_t>(MatrixTilesX(m)) * 65536, extentZ = static_cast<int64_t>(MatrixTilesZ(m)) * 65536;
    for (int p = 0; p < n; ++p) {
        const FixVec local{points[p][0], points[p][1], points[p][2]};
        FixVec w;
        RotateVecT13(&w, &o, &local);
        int64_t x = static_cast<int64_t>(w.x) + con->pos[0], z = static_cast<int64_t>(w.z) + con->pos[2];
        // Both coordinates are wrapped, whichever of them moved.
        const bool wrappedX = Wrap(&x, extentX);
        const bool wrappedZ = Wrap(&z, extentZ);
        const bool wrapped = wrappedX || wrappedZ;
        TileFieldEntry* tile = MatrixEntry(m, 0, static_cast<int32_t>(x >> 16), static_cast<int32_t>(z >> 16));
        if (!tile) continue;
        const int q = static_cast<int>(((x >> 15) & 1) + 2 * ((z >> 15) & 1));
        const QuarterRef ref{tile, q};
        if (visited.has(ref)) continue;
        visited.add(ref);
        // The store never grows past its size: a construct near the limit meets fewer quarters.
        if (CollideNodeCount >= kMaxCollideNodes) return;
        CollideNode* node = &CollideNodes[CollideNodeCount++];
        node->con = con;
        node->next = nullptr;
        if (tile->stamps[q] != CollidePass) {
            tile->collide[q] = node;
            tile->stamps[q] = CollidePass;
        } else {
            CollideNode* last = nullptr;
            for (CollideNode* c = tile->collide[q]; c; c = c->next) {
                last = c;
                construct* other = c->con;
                if (other == con || tested.has(other)) continue;
                if (con->collisionClass != 255 && other->collisionClass == con->collisionClass) continue;
                tested.add(other);
                CollideUnitPair(con, other);
            }
            if (last) last->next = node;
            else tile->collide[q] = node;
        }
        if (wrapped) continue;
        for (StatLink* s = tile->stats[q]; s; s = s->next) {
            construct* stat = s->stat;
            if (!stat || stat == con || tested.has(stat) || !StaticCollides(con, stat)) continue;
            tested.add(stat);
            CollideUnitPair(con, stat);
        }
    }
}

}  // namespace

void CollideUnitsIn(matrix* m, ConstructPool* const pools[4]) {
    CollideNodeCount = 0;
    if (++CollidePass == 0) CollidePass = 1;  // 0 is the stamp of a quarter never visited
    if (!m || !m->tileField) return;
    for (int k = 0; k < 4; ++k) {
        ConstructPool* pool = pools[k];
        if (!pool) continue;
        for (int i = 0; i < pool->count && CollideNodeCount < kCollideStartLimit; ++i) {
            construct* con = pool->constructs[i];
            if (!con || con->collisionClass == 0 || (con->flags & kConHittable)) continue;
            CollideConstruct(m, con);
        }
    }
}

void CollideUnits() {
    ConstructPool* const pools[4] = {FindConstructPool("buzy0"), FindConstructPool("buzy1"),
                                     FindConstructPool("buzy2"), FindConstructPool("buzy3")};
    CollideUnitsIn(CurrentMatrix, pools);
}

int CollideUnitPair(construct* a, construct* b) {
    if (a->owner == b || b->owner == a) return 0;
    if (a->sphereCount > b->sphereCount) {
        construct* t = a;
        a = b;
        b = t;
    }
    Refresh(a, &a->sphere);
    Refresh(b, &b->sphere);
    const int32_t ra = a->sphere.radius;
    if (Dist(a->sphere, b->sphere) >= Sum(ra, b->sphere.radius)) return 0;
    int32_t point[3];
    if (a->sphereCount <= 0 && b->sphereCount <= 0) {
        Between(a->sphere, b->sphere, ra, b->sphere.radius, point);
    } else {
        SphereRecord* hit = nullptr;
        for (int j = 0; j < b->sphereCount && !hit; ++j) {
            SphereRecord* sb = &b->spheres[j];
            Refresh(b, sb);
            if (Dist(a->sphere, *sb) < Sum(sb->radius, ra)) hit = sb;
        }
        if (!hit) return 0;
        if (a->sphereCount <= 0) {
            Between(a->sphere, *hit, ra, hit->radius, point);
        } else {
            bool found = false;
            for (int i = 0; i < a->sphereCount && !found; ++i) {
                SphereRecord* sa = &a->spheres[i];
                Refresh(a, sa);
                for (int j = 0; j < b->sphereCount && !found; ++j) {
                    SphereRecord* sb = &b->spheres[j];
                    Refresh(b, sb);
                    if (Dist(*sa, *sb) < Sum(sa->radius, sb->radius)) {
                        Between(*sa, *sb, sa->radius, sb->radius, point);
                        found = true;
                    }
                }
            }
            if (!found) return 0;
        }
    }
    const int slotA = HitSlot(a), slotB = HitSlot(b);
    if (!(b->flags & kConNoHitSlot)) {
        a->hits[slotA] = b;
        std::memcpy(a->hitPoints[slotA], point, sizeof point);
    }
    if (!(a->flags & kConNoHitSlot)) {
        b->hits[slotB] = a;
        std::memcpy(b->hitPoints[slotB], point, sizeof point);
    }
    return 1;
}

uint32_t CollidePassNumber() { return CollidePass; }

CollideNode* QuarterCollisionList(matrix* m, int32_t x, int32_t z) {
    int64_t wx = x, wz = z;
    if (!m) return nullptr;
    Wrap(&wx, static_cast<int64_t>(MatrixTilesX(m)) * 65536);
    Wrap(&wz, static_cast<int64_t>(MatrixTilesZ(m)) * 65536);
    TileFieldEntry* tile = MatrixEntry(m, 0, static_cast<int32_t>(wx >> 16), static_cast<int32_t>(wz >> 16));
    if (!tile) return nullptr;
    const int q = static_cast<int>(((wx >> 15) & 1) + 2 * ((wz >> 15) & 1));
    return tile->stamps[q] == CollidePass ? tile->collide[q] : nullptr;
}

int SphereHitsConstruct(const SphereRecord* sphere, construct* con) {
    Refresh(con, &con->sphere);
    if (Dist(*sphere, con->sphere) >= Sum(sphere->radius, con->sphere.radius)) return 0;
    if (con->sphereCount > 0) {
        bool hit = false;
        for (int j = 0; j < con->sphereCount && !hit; ++j) {
            Refresh(con, &con->spheres[j]);
            hit = Dist(*sphere, con->spheres[j]) < Sum(con->spheres[j].radius, sphere->radius);
        }
        if (!hit) return 0;
    }
    if (ConstructPool* pool = ResultPool())
        if (!IsInConstructPool(con, pool)) AppendToConstructPoolIfRoom(pool, con);
    return 1;
}

void FindObjectsNearPoint(const SphereRecord* sphere, int cls) {
    ConstructPool* pool = ResultPool();
    while (pool && pool->count > 0) RemoveFromConstructPool(pool, pool->constructs[pool->count - 1]);
    const int32_t r = sphere->radius, x = sphere->world[0], z = sphere->world[2];
    const int64_t corners[4][2] = {{int64_t(x) - r, int64_t(z) - r},
                                   {int64_t(x) + r, int64_t(z) - r},
                                   {int64_t(x) + r, int64_t(z) + r},
                                   {int64_t(x) - r, int64_t(z) + r}};
    Memory<construct*> tested;
    for (const auto& c : corners) {
        int64_t cx = c[0], cz = c[1];
        if (!CurrentMatrix) return;
        Wrap(&cx, static_cast<int64_t>(MatrixTilesX(CurrentMatrix)) * 65536);
        Wrap(&cz, static_cast<int64_t>(MatrixTilesZ(CurrentMatrix)) * 65536);
        for (CollideNode* n = QuarterCollisionList(CurrentMatrix, static_cast<int32_t>(cx), static_cast<int32_t>(cz)); n;
             n = n->next) {
            construct* con = n->con;
            if (con->collisionClass == cls && cls != 255) continue;
            if (tested.has(con)) continue;
            tested.add(con);
            SphereHitsConstruct(sphere, con);
        }
    }
}
