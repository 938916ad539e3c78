// Unit collisions on a small hand-made matrix: touching spheres recorded in both hit slots, the class and
// owner rules, sub-spheres, the slot order, the wrap at the terrain's edge, the node store's bound and
// the search of objects near a point.
#include <gtest/gtest.h>

#include <vector>

#include "TerrainFixtures.h"
#include "world/Collide.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Statics.h"
#include "world/TickCounter.h"

namespace {

using kvtest::HandMatrix;

class Collide : public ::testing::Test {
protected:
    void SetUp() override {
        savedCounter_ = FrameCounter;
        FrameCounter = 1000;
        pool_ = CreateConstructPool(2048, "collide test");
        ResetStatLinks();
    }
    void TearDown() override {
        for (construct* c : made_) FreeConstruct(c);
        DeleteConstructPool(pool_);
        ResetStatLinks();
        FrameCounter = savedCounter_;
    }
    // A unit at (x, y, z) with a bounding sphere of radius r, sampled at its own position.
    construct* Unit(int32_t x, int32_t z, int32_t r, uint8_t cls = 255, bool pooled = true) {
        construct* c = CreateConstruct(0, 0);
        c->pos[0] = x;
        c->pos[1] = 0;
        c->pos[2] = z;
        c->sphere.radius = r;
        c->collisionClass = cls;
        c->sampleCornerCount = 1;
        c->sampleCorners[0] = 0;
        made_.push_back(c);
        if (pooled) AppendToConstructPool(pool_, c);
        return c;
    }
    void Pass() {
        ConstructPool* const pools[4] = {pool_, nullptr, nullptr, nullptr};
        CollideUnitsIn(h_.m, pools);
    }
    HandMatrix h_{2, 2};
    ConstructPool* pool_ = nullptr;
    std::vector<construct*> made_;

private:
    uint32_t savedCounter_ = 0;
};

TEST_F(Collide, TouchingSpheresAreRecordedInBothUnits) {
    construct* a = Unit(10000, 10000, 1000);
    construct* b = Unit(13000, 10000, 3000);
    construct* far = Unit(20000, 10000, 1000);
    Pass();
    EXPECT_EQ(a->hits[0], b);
    EXPECT_EQ(b->hits[0], a);
    // The contact point lies at ra / (ra + rb) from a towards b.
    EXPECT_EQ(a->hitPoints[0][0], 10750);
    EXPECT_EQ(b->hitPoints[0][0], 10750);
    EXPECT_EQ(far->hits[0], nullptr);
    EXPECT_EQ(a->hits[1], nullptr);
    // The lists of the tick hold each unit once.
    int seen = 0;
    for (CollideNode* n = QuarterCollisionList(h_.m, 10000, 10000); n; n = n->next) ++seen;
    EXPECT_EQ(seen, 3);
}

// The tick counter going back (a saved game, a new level) or two passes in one tick: each pass starts
// its lists afresh instead of walking the nodes of an earlier one, which were handed out again.
TEST_F(Collide, APassNeverWalksTheListsOfAnEarlierOne) {
    construct* a = Unit(10000, 10000, 1000);
    for (uint32_t tick : {1000u, 1001u, 1000u, 1000u, 1001u}) {
        FrameCounter = tick;
        Pass();
        int seen = 0;
        for (CollideNode* n = QuarterCollisionList(h_.m, 10000, 10000); n && seen < 10; n = n->next) ++seen;
        EXPECT_EQ(seen, 1) << "tick " << tick;
    }
    EXPECT_EQ(a->hits[0], nullptr);
}

TEST_F(Collide, ClassesOwnersAndOneSidedSlots) {
    const struct {
        uint8_t classA, classB;
        bool owner, noSlotB;
        bool aHit, bHit;
    } cases[] = {
        {3, 3, false, false, false, false},   {3, 4, false, false, true, true},
        {255, 255, false, false, true, true}, {255, 255, true, false, false, false},
        {255, 255, false, true, false, true},
    };
    for (const auto& c : cases) {
        construct* a = Unit(40000, 40000, 1000, c.classA);
        construct* b = Unit(41000, 40000, 1000, c.classB);
        if (c.owner) b->owner = a;
        if (c.noSlotB) b->flags |= kConNoHitSlot;
        ++FrameCounter;
        Pass();
        EXPECT_EQ(a->hits[0] == b, c.aHit) << int(c.classA) << "/" << int(c.classB);
        EXPECT_EQ(b->hits[0] == a, c.bHit) << int(c.classA) << "/" << int(c.classB);
        RemoveFromConstructPool(pool_, a);
        RemoveFromConstructPool(pool_, b);
    }
}

TEST_F(Collide, FiveContactsKeepTheFirstThreeAndTheLast) {
    construct* centre = Unit(10000, 10000, 2000);
    std::vector<construct*> others;
    for (int i = 0; i < 5; ++i) others.push_back(Unit(10000 + 100 * i, 10500, 500));
    // The others among themselves are of one class, so only the centre meets them.
    centre->collisionClass = 1;
    for (construct* o : others) o->collisionClass = 2;
    Pass();
    EXPECT_EQ(centre->hits[0], others[0]);
    EXPECT_EQ(centre->hits[1], others[1]);
    EXPECT_EQ(centre->hits[2], others[2]);
    EXPECT_EQ(centre->hits[3], others[4]);
}

TEST_F(Collide, SubSpheresDecideTheContact) {
    construct* a = Unit(10000, 10000, 1000);
    construct* b = Unit(14000, 10000, 4000);
    b->sphereCount = 1;
    b->spheres = static_cast<SphereRecord*>(qzAlloc(sizeof(SphereRecord), "bsphere2"));
    std::memset(b->spheres, 0, sizeof(SphereRecord));
    b->spheres[0].radius = 500;
    b->spheres[0].centre[0] = 1000 / 4 * 4;  // quarter units: 4000 world units toward +x, away from a
    b->spheres[0].stamp = -1;
    Pass();
    EXPECT_EQ(a->hits[0], nullptr);
    b->spheres[0].radius = 600;
    b->spheres[0].centre[0] = -(2500 / 4);  // 2500 world units toward a: 1500 from a's centre
    b->spheres[0].stamp = -1;
    ++FrameCounter;
    Pass();
    EXPECT_EQ(a->hits[0], b);
    EXPECT_EQ(b->hits[0], a);
}

TEST_F(Collide, SamplePointsWrapAcrossTheEdgeButMeetNoStatics) {
    // A static listed on the first quarter, and a unit there.
    construct* stat = Unit(1000, 1000, 2000, 7, false);
    LinkStatFromSfc(MatrixQuarterListAddr(h_.m, 0, 0), stat);
    construct* near = Unit(1000, 1000, 2000, 5);
    // A unit just past the far x edge (2 tiles): its sample point wraps onto the first quarter.
    construct* across = Unit(2 * 65536 + 1000, 1000, 2000, 6);
    Pass();
    EXPECT_EQ(near->hits[0], stat);
    EXPECT_EQ(stat->hits[0], near);
    // The units meet through the wrapped list (their spheres touch only in the wrapped sense, so no
    // contact is recorded), and the wrapped point never tests the static.
    EXPECT_NE(stat->hits[1], across);
    EXPECT_EQ(across->hits[0], nullptr);
    int listed = 0;
    for (CollideNode* n = QuarterCollisionList(h_.m, 1000, 1000); n; n = n->next) listed += n->con == across;
    EXPECT_EQ(listed, 1);
    UnlinkStatFromSfc(MatrixQuarterListAddr(h_.m, 0, 0), stat);
}

TEST_F(Collide, ACrowdNeverOverrunsTheNodeStore) {
    // 60 units with 31 sample points each over 31 quarters of an 8 x 8 map: far more nodes than the store.
    HandMatrix big(8, 8);
    Geom* g = CreateGeom("geom: crowd");
    g->pointCount = 31;
    g->points = static_cast<GeomPoint*>(qzAlloc(int(sizeof(GeomPoint)) * 31, "geom pt list"));
    std::memset(g->points, 0, sizeof(GeomPoint) * 31);
    g->patchCount = 1;
    g->patches = static_cast<GeomPatch*>(qzAlloc(int(sizeof(GeomPatch)), "patch list"));
    std::memset(g->patches, 0, sizeof(GeomPatch));
    g->patches[0].pointCount = 31;
    g->patches[0].points = static_cast<GeomPoint**>(qzAlloc(int(sizeof(GeomPoint*)) * 31, "patch pts"));
    for (int i = 0; i < 31; ++i) {
        g->points[i].pos[0] = (i % 8) * 32768 / 4;  // quarter units
        g->points[i].pos[2] = (i / 8) * 32768 / 4;
        g->patches[0].points[i] = &g->points[i];
    }
    // 14 units of one node, then the crowd: the 33rd crowd unit starts at 1006 nodes and would end at 1037.
    for (int i = 0; i < 14; ++i) Unit(300000 + i, 300000, 100);
    for (int i = 0; i < 60; ++i) {
        construct* c = Unit(1000 + i, 1000, 100);
        c->lod[0] = g;
    }
    ConstructPool* const pools[4] = {pool_, nullptr, nullptr, nullptr};
    CollideUnitsIn(big.m, pools);
    EXPECT_EQ(CollideNodeCount, kMaxCollideNodes);
    for (construct* c : made_) c->lod[0] = nullptr;
    qzFree(g->patches[0].points);
    g->patches[0].points = nullptr;
    FreeGeom(g);
}

TEST_F(Collide, ObjectsNearAPointFromThisTicksLists) {
    ConstructPool* result = CreateConstructPool(32, "tmpcollision");
    matrix* saved = CurrentMatrix;
    CurrentMatrix = h_.m;
    construct* a = Unit(10000, 10000, 500, 3);
    construct* b = Unit(20000, 10000, 500, 4);
    Unit(40000, 40000, 500, 4);
    Pass();
    SphereRecord probe{};
    probe.world[0] = 10800;
    probe.world[2] = 10000;
    probe.radius = 400;
    FindObjectsNearPoint(&probe, 255);
    ASSERT_EQ(result->count, 1);
    EXPECT_EQ(result->constructs[0], a);
    FindObjectsNearPoint(&probe, 3);  // its own class is left out
    EXPECT_EQ(result->count, 0);
    probe.world[0] = 15000;
    probe.radius = 5000;
    FindObjectsNearPoint(&probe, 255);
    EXPECT_EQ(result->count, 2);
    EXPECT_TRUE(IsInConstructPool(b, result));
    CurrentMatrix = saved;
    DeleteConstructPool(result);
}

}  // namespace
