#include <gtest/gtest.h>

#include "WorldFixtures.h"
#include "render/Stamps.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "world/Construct.h"
#include "world/TickCounter.h"

namespace {

using kvtest::MakeGeom;

TEST(Construct, CreationDefaults) {
    kvtest::MemTrack track;
    FrameCounter = 50;
    ViewStamp = 9;
    construct* con = CreateConstruct(3, 0x1234);
    EXPECT_EQ(con->flags, 0x1234u);
    EXPECT_EQ(con->initialFlags, 0x1234u);
    EXPECT_EQ(con->subCapacity, 3);
    ASSERT_NE(con->subs, nullptr);
    EXPECT_EQ(con->orient[0], 32768);
    EXPECT_EQ(con->orient[4], 32768);
    EXPECT_EQ(con->orient[8], 32768);
    EXPECT_EQ(con->orient[1], 0);
    EXPECT_EQ(con->drawStamps[0], 8);
    EXPECT_EQ(con->sphere.stamp, 49);
    EXPECT_EQ(con->kind, 8);
    EXPECT_EQ(con->marker, 255);
    EXPECT_EQ(con->shade, 255);
    EXPECT_EQ(track.Live("construct"), 1);
    EXPECT_EQ(track.Live("SubConstruct list"), 1);
    FreeConstruct(con);
    EXPECT_EQ(track.Live(), 0);
    FrameCounter = 1;
    ViewStamp = 1;
}

TEST(Construct, NoSubListBelowCapacityOne) {
    kvtest::FatalCatcher fatal;
    for (int cap : {0, -4}) {
        construct* parent = CreateConstruct(cap, 0);
        construct* sub = CreateConstruct(0, 0);
        EXPECT_EQ(parent->subs, nullptr);
        EXPECT_EQ(parent->subCapacity, 0);
        try {
            AppendSubConstruct(parent, parent, nullptr, sub, 0);
            ADD_FAILURE();
        } catch (const kvtest::FatalExit& e) {
            EXPECT_STREQ(e.what(), "Error(AppendSubConstruct): Too many subs");
        }
        FreeConstruct(sub);
        FreeConstruct(parent);
    }
}

TEST(Construct, LevelOfDetailByDistance) {
    construct* con = CreateConstruct(0, 0);
    Geom* g[4] = {MakeGeom(1, 0), MakeGeom(1, 0), MakeGeom(1, 0), MakeGeom(1, 0)};
    SetConstructGeoms(con, g[0], g[1], g[2], g[3]);
    struct Case {
        int32_t distance;
        int slot;
    } cases[] = {{-1, 0},     {-2000000, 0}, {0, 0},      {131071, 0}, {131072, 1},
                 {262143, 1}, {262144, 2},   {393215, 2}, {393216, 3}, {0x7fffffff, 3}};
    for (const auto& c : cases) {
        con->distance = c.distance;
        EXPECT_EQ(LODGeomForDistance(con), g[c.slot]) << c.distance;
    }
    FreeConstruct(con);
}

TEST(Construct, GeomsGiveSphereAndBoxOnlyOnce) {
    construct* con = CreateConstruct(0, 0);
    Geom* a = MakeGeom(2, 0);
    a->sphere.radius = 77;
    a->sphere.centre[1] = 5;
    a->box.corners[6][0] = 11;
    SetConstructGeoms(con, a, a, a, a);
    EXPECT_EQ(con->sphere.radius, 77);
    EXPECT_EQ(con->sphere.centre[1], 5);
    EXPECT_EQ(con->box.corners[6][0], 11);
    Geom* b = MakeGeom(2, 0);
    b->sphere.radius = 99;
    Geom* old[4] = {a, a, a, a};
    SetConstructGeoms(con, b, b, b, b);
    EXPECT_EQ(con->sphere.radius, 77) << "a set radius is kept";
    FreeLODGeoms(old);
    FreeConstruct(con);
}

TEST(Construct, CopySharesLodCopiesLikeTheSource) {
    kvtest::MemTrack track;
    construct* src = kvtest::NewTestBox();
    Geom* a = MakeGeom(4, 2);
    Geom* b = MakeGeom(3, 1);
    SetConstructGeoms(src, a, a, b, a);
    static_cast<int32_t*>(src->itfcData)[2] = 1234;
    src->collisionClass = 7;
    src->typeWord = 99;
    src->sampleCornerCount = 2;
    src->sampleCorners[0] = 3;
    src->sampleCorners[1] = 5;
    src->pos[0] = 555;  // positions are not copied

    construct* copy = CopyConstruct(src);
    EXPECT_NE(copy->lod[0], a);
    EXPECT_EQ(copy->lod[0], copy->lod[1]);
    EXPECT_EQ(copy->lod[0], copy->lod[3]);
    EXPECT_NE(copy->lod[2], copy->lod[0]);
    EXPECT_NE(copy->lod[2], b);
    EXPECT_EQ(copy->itfc, src->itfc);
    EXPECT_NE(copy->itfcData, src->itfcData);
    EXPECT_EQ(static_cast<int32_t*>(copy->itfcData)[2], 1234);
    EXPECT_EQ(copy->collisionClass, 7);
    EXPECT_EQ(copy->typeWord, 99u);
    EXPECT_EQ(copy->sampleCornerCount, 2);
    EXPECT_EQ(copy->sampleCorners[1], 5);
    EXPECT_EQ(copy->pos[0], 0);
    EXPECT_EQ(track.Live("geom: CopyGeom"), 2) << "one copy per distinct Geom";
    FreeConstruct(copy);
    FreeConstruct(src);
    EXPECT_EQ(track.Live(), 0);
}

TEST(Construct, CopyIsDeep) {
    construct* src = kvtest::NewTestBox();
    Geom* g = MakeGeom(5, 3);
    SetConstructGeoms(src, g, g, g, g);
    SetConstructShadowGeom(src, MakeGeom(2, 1));
    src->sphereCount = 2;
    src->spheres = static_cast<SphereRecord*>(qzAlloc(64, "bsphere2"));
    src->spheres[1].radius = 42;
    src->spotCount = 1;
    src->spots = static_cast<SpotRecord*>(qzAlloc(36, "spt"));
    src->spots[0].value = 3;
    src->hf = static_cast<hfield*>(qzAlloc(sizeof(hfield), "hfield"));
    src->hf->n = 2;
    src->hf->heights = static_cast<uint16_t*>(qzAlloc(8, "hfield heights"));
    for (int i = 0; i < 4; ++i) src->hf->heights[i] = static_cast<uint16_t>(100 + i);
    src->bboardCount = 1;
    src->bboards = static_cast<bboard**>(qzAlloc(sizeof(bboard*), "bboards"));
    bboard* bb = CreateBBoard();
    bb->vertexCount = 2;
    bb->vertices = static_cast<GeomPoint**>(qzAlloc(2 * sizeof(GeomPoint*), "vtx list"));
    bb->vertices[0] = &g->points[4];
    bb->vertices[1] = &g->points[1];
    bb->faceCount = 1;
    bb->faces = static_cast<uintptr_t*>(qzAlloc(sizeof(uintptr_t), "bbd face list"));
    bb->faces[0] = reinterpret_cast<uintptr_t>(NthFace(g, 2));
    src->bboards[0] = bb;

    construct* copy = CopyConstruct(src);
    ASSERT_NE(copy->shadow, nullptr);
    EXPECT_NE(copy->shadow, src->shadow);
    ASSERT_EQ(copy->sphereCount, 2);
    EXPECT_NE(copy->spheres, src->spheres);
    EXPECT_EQ(copy->spheres[1].radius, 42);
    ASSERT_EQ(copy->spotCount, 1);
    EXPECT_EQ(copy->spots[0].value, 3);
    ASSERT_NE(copy->hf, nullptr);
    EXPECT_EQ(copy->hf->heights[3], 103);
    EXPECT_NE(copy->hf->heights, src->hf->heights);
    ASSERT_EQ(copy->bboardCount, 1);
    bboard* cb = copy->bboards[0];
    EXPECT_EQ(cb->vertices[0], &copy->lod[0]->points[4]) << "vertices refer to the copy's own points";
    EXPECT_EQ(cb->vertices[1], &copy->lod[0]->points[1]);
    EXPECT_EQ(BBoardFace(cb, 0), NthFace(copy->lod[0], 2));
    FreeConstruct(src);
    // The copy lives on its own.
    EXPECT_EQ(FaceVerts(BBoardFace(cb, 0))[0].point, &copy->lod[0]->points[2]);
    FreeConstruct(copy);
}

TEST(Construct, CopyOfATypeWithoutDataCopyIsFatal) {
    kvtest::FatalCatcher fatal;
    construct* src = CreateConstruct(0, 0);
    src->itfc = kvtest::NoCopy_itfc;
    try {
        CopyConstruct(src);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CopyConstruct): itfc 'NoCopy' does not support COPYITFCDATA");
    }
    FreeConstruct(src);
}

TEST(Construct, FreeingTakesSubConstructsAlong) {
    kvtest::MemTrack track;
    construct* root = CreateConstruct(2, 0);
    construct* mid = CreateConstruct(1, 0);
    construct* leaf = CreateConstruct(0, 0);
    AppendSubConstruct(mid, mid, nullptr, leaf, 0);
    AppendSubConstruct(root, root, nullptr, mid, 0);
    AppendSubConstruct(root, root, nullptr, CreateConstruct(0, 0), 0);
    EXPECT_EQ(root->subCount, 2);
    FreeConstruct(root);
    EXPECT_EQ(track.Live(), 0);
}

TEST(Construct, SubConstructIsRebasedOnItsAnchorOnce) {
    construct* parent = CreateConstruct(2, 0);
    parent->pos[0] = 1000;
    parent->pos[1] = 2000;
    parent->pos[2] = 3000;
    // Two constructs share one preloaded Geom, as instances of one object do.
    Geom* shared = MakeGeom(3, 1);
    shared->anchor[0] = 400;
    shared->anchor[1] = -800;
    shared->anchor[2] = 40;
    shared->box.corners[0][0] = 100;
    shared->sphere.centre[2] = 50;
    construct* a = CreateConstruct(0, 0);
    construct* b = CreateConstruct(0, 0);
    SetConstructGeoms(a, shared, shared, nullptr, nullptr);
    SetConstructGeoms(b, shared, shared, nullptr, nullptr);
    a->bboardCount = 1;
    a->bboards = static_cast<bboard**>(qzAlloc(sizeof(bboard*), "bboards"));
    a->bboards[0] = CreateBBoard();
    a->bboards[0]->pos[0] = 10;
    a->bboards[0]->pos[1] = 10;
    a->bboards[0]->pos[2] = 10;
    a->bboards[0]->next = CreateBBoard();  // unset position: stays unset

    AppendSubConstruct(parent, parent, nullptr, a, 0);
    EXPECT_EQ(a->pos[0], 1400);
    EXPECT_EQ(a->pos[1], 1200);
    EXPECT_EQ(a->pos[2], 3040);
    // Points shift by the anchor in quarter units, once although two slots hold the Geom.
    EXPECT_EQ(shared->points[2].pos[0], 2 - 100);
    EXPECT_EQ(shared->points[2].pos[1], 4 + 200);
    EXPECT_EQ(shared->points[2].pos[2], 6 - 10);
    EXPECT_EQ(shared->box.corners[0][0], 0);
    EXPECT_EQ(shared->sphere.centre[2], 40);
    EXPECT_EQ(a->bboards[0]->pos[0], 10 - 100);
    EXPECT_EQ(a->bboards[0]->next->pos[0], kUnsetCoord);
    EXPECT_EQ(shared->parentOffset[0], 400);

    AppendSubConstruct(parent, parent, nullptr, b, 0);
    EXPECT_EQ(b->pos[0], 1400);
    EXPECT_EQ(shared->points[2].pos[0], 2 - 100) << "the shared Geom is not shifted twice";

    parent->subCount = 0;  // a and b are freed below, the Geom once
    FreeConstruct(a);
    b->lod[0] = b->lod[1] = nullptr;
    FreeConstruct(b);
    FreeConstruct(parent);
}

TEST(Construct, AnchorVectorGivesParentOffsetAndAttachRadius) {
    struct Case {
        int mask;
        int32_t radius;
    } cases[] = {{0, 0}, {1, 300}, {2, 400}, {3, 500}, {4, 1200}, {7, 1300}};
    for (const auto& c : cases) {
        construct* parent = CreateConstruct(1, 0);
        construct* receiver = CreateConstruct(0, 0);
        Geom* rg = MakeGeom(1, 0);
        SetConstructGeoms(receiver, rg, rg, rg, rg);
        construct* sub = CreateConstruct(0, 0);
        Geom* g = MakeGeom(1, 0);
        g->anchor[0] = 1000;
        g->anchor[1] = 2000;
        g->anchor[2] = 5000;
        SetConstructGeoms(sub, g, g, g, g);
        const int32_t vec[3] = {700, 1600, 3800};
        AppendSubConstruct(parent, receiver, vec, sub, c.mask);
        EXPECT_EQ(g->parentOffset[0], 300);
        EXPECT_EQ(g->parentOffset[1], 400);
        EXPECT_EQ(g->parentOffset[2], 1200);
        EXPECT_EQ(rg->attachRadius, c.radius) << c.mask;
        FreeConstruct(parent);
        FreeConstruct(receiver);
    }
}

}  // namespace
