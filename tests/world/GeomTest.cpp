#include <gtest/gtest.h>

#include <cstring>

#include "WorldFixtures.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "world/Construct.h"
#include "world/Geom.h"

namespace {

using kvtest::MakeGeom;

TEST(Geom, FreeLODGeomsFreesEachDistinctGeomOnce) {
    kvtest::MemTrack track;
    Geom* a = MakeGeom(2, 1);
    Geom* b = MakeGeom(2, 1);
    Geom* slots[4] = {a, a, b, a};
    FreeLODGeoms(slots);
    EXPECT_EQ(track.Live(), 0);
    for (Geom* s : slots) EXPECT_EQ(s, nullptr);
    Geom* none[4] = {};
    FreeLODGeoms(none);
}

TEST(Geom, FaceAndPointLookups) {
    Geom* g = MakeGeom(4, 3);
    Geom* other = MakeGeom(4, 3);
    struct Case {
        int n, index;
    } cases[] = {{-5, 0}, {0, 0}, {1, 1}, {2, 2}};
    for (const auto& c : cases) EXPECT_EQ(FaceIndex(g, NthFace(g, c.n)), c.index) << c.n;
    EXPECT_EQ(NthFace(g, 3), nullptr) << "past the last face";
    EXPECT_EQ(FaceIndex(g, NthFace(other, 1)), -1);
    EXPECT_EQ(PointIndex(g, NthPoint(g, 3)), 3);
    EXPECT_EQ(PointIndex(g, NthPoint(other, 3)), -1);
    EXPECT_EQ(NthPoint(g, 4), nullptr);
    EXPECT_EQ(NthPoint(g, -1), nullptr);
    FreeGeom(g);
    FreeGeom(other);
}

TEST(Geom, BoxCornerOrder) {
    const int32_t mn[3] = {-1, -2, -3}, mx[3] = {1, 2, 3};
    int32_t c[8][3];
    BoxCornersToFaces(c, mn, mx);
    const int32_t expected[8][3] = {{-1, -2, -3}, {-1, 2, -3}, {1, 2, -3}, {1, -2, -3},
                                    {-1, -2, 3},  {-1, 2, 3},  {1, 2, 3},  {1, -2, 3}};
    EXPECT_EQ(std::memcmp(c, expected, sizeof c), 0);
}

TEST(Geom, CopyRefersOnlyToItsOwnPointsAndFaces) {
    kvtest::MemTrack track;
    Geom* g = MakeGeom(5, 4);
    g->anchor[1] = 77;
    g->parentOffset[0] = 5;
    g->attachRadius = 9;
    g->patchCount = 2;
    g->patches = static_cast<GeomPatch*>(qzAlloc(2 * sizeof(GeomPatch), "patch list"));
    std::memset(g->patches, 0, 2 * sizeof(GeomPatch));
    g->patches[0].pointCount = 2;
    g->patches[0].points = static_cast<GeomPoint**>(qzAlloc(2 * sizeof(GeomPoint*), "pt list"));
    g->patches[0].points[0] = &g->points[4];
    g->patches[0].points[1] = &g->points[0];
    g->patches[1].faceCount = 2;
    g->patches[1].faces = static_cast<GeomFace**>(qzAlloc(2 * sizeof(GeomFace*), "patch face list"));
    g->patches[1].faces[0] = NthFace(g, 3);
    g->patches[1].faces[1] = NthFace(g, 1);

    Geom* c = CopyGeom(g);
    FreeGeom(g);  // the copy must not lean on the source
    EXPECT_EQ(c->pointCount, 5);
    EXPECT_EQ(c->faceCount, 4);
    EXPECT_EQ(c->anchor[1], 77);
    EXPECT_EQ(c->parentOffset[0], 5);
    EXPECT_EQ(c->parentOffset[1], kOffsetUnset);
    EXPECT_EQ(c->attachRadius, 9);
    GeomFace* f = c->faces;
    for (int i = 0; i < 4; ++i, f = NextFace(f))
        for (int k = 0; k < 3; ++k) EXPECT_EQ(FaceVerts(f)[k].point, &c->points[(i + k) % 5]);
    EXPECT_EQ(c->patches[0].points[0], &c->points[4]);
    EXPECT_EQ(c->patches[0].points[1], &c->points[0]);
    EXPECT_EQ(c->patches[1].faces[0], NthFace(c, 3));
    EXPECT_EQ(c->patches[1].faces[1], NthFace(c, 1));
    FreeGeom(c);
    EXPECT_EQ(track.Live(), 0);
}

TEST(Geom, BrickListHoldsItsDeclaredCount) {
    kvtest::FatalCatcher fatal;
    Geom* g = CreateUnnamedGeom();
    g->brickCapacity = 2;
    g->bricks = static_cast<GeomBrick*>(qzAlloc(2 * sizeof(GeomBrick), "brick list"));
    EXPECT_EQ(AddGeomBrick(g), &g->bricks[0]);
    EXPECT_EQ(AddGeomBrick(g), &g->bricks[1]);
    EXPECT_THROW(AddGeomBrick(g), kvtest::FatalExit);
    EXPECT_EQ(g->brickCount, 2);
    FreeGeom(g);
}

TEST(BBoard, ChainIsCopiedAndFreedWholeWithOneDummyTexture) {
    kvtest::MemTrack track;
    Geom* g = MakeGeom(3, 2);
    bboard* head = CreateBBoard();
    EXPECT_STREQ(head->name, "<noname>");
    EXPECT_EQ(head->pos[0], kUnsetCoord);
    EXPECT_EQ(head->dir[0], kUnsetCoord);
    EXPECT_EQ(head->shade, 255);
    head->next = CreateBBoard();
    head->next->next = CreateBBoard();
    std::strcpy(head->next->next->name, "third");
    head->next->next->geom = MakeGeom(2, 1);
    head->dummy = CreateDummyTex(nullptr);
    head->vertexCount = 1;
    head->vertices = static_cast<GeomPoint**>(qzAlloc(sizeof(GeomPoint*), "vtx list"));
    head->vertices[0] = &g->points[2];
    Geom* gc = CopyGeom(g);

    bboard* copy = CopyBBoard(g, gc, head);
    ASSERT_NE(copy->next, nullptr);
    ASSERT_NE(copy->next->next, nullptr);
    EXPECT_NE(copy->next, head->next);
    EXPECT_STREQ(copy->next->next->name, "third");
    EXPECT_NE(copy->next->next->geom, head->next->next->geom);
    EXPECT_EQ(copy->next->next->next, nullptr);
    EXPECT_EQ(copy->dummy, head->dummy);
    EXPECT_EQ(copy->vertices[0], &gc->points[2]);

    // Freeing the original leaves the copy's shared dummy texture alive; the last holder frees it.
    FreeBBoard(head);
    EXPECT_EQ(track.Live("dummy tex"), 1);
    EXPECT_EQ(copy->dummy->refs, 1);
    FreeBBoard(copy);
    FreeGeom(g);
    FreeGeom(gc);
    EXPECT_EQ(track.Live(), 0);
}

TEST(BBoard, ResolveTurnsNumbersIntoFaces) {
    kvtest::FatalCatcher fatal;
    Geom* g = MakeGeom(3, 3);
    bboard* b = CreateBBoard();
    b->resolve = 1;
    b->faceCount = 2;
    b->faces = static_cast<uintptr_t*>(qzAlloc(2 * sizeof(uintptr_t), "bbd face list"));
    b->faces[0] = 2;
    b->faces[1] = 0;
    ResolveBBoard(g, b);
    EXPECT_EQ(b->resolve, 0);
    EXPECT_EQ(BBoardFace(b, 0), NthFace(g, 2));
    EXPECT_EQ(BBoardFace(b, 1), NthFace(g, 0));

    b->faces[0] = 1;
    b->faces[1] = 3;  // one past the last face
    try {
        ResolveBBoard(g, b);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(ResolveBBoard): nonexisting face");
    }
    FreeBBoard(b);
    FreeGeom(g);
}

TEST(BBoard, LookupByExactName) {
    kvtest::FatalCatcher fatal;
    construct* con = CreateConstruct(0, 0);
    con->bboardCount = 2;
    con->bboards = static_cast<bboard**>(qzAlloc(2 * sizeof(bboard*), "bboards"));
    con->bboards[0] = CreateBBoard();
    con->bboards[1] = CreateBBoard();
    std::strcpy(con->bboards[1]->name, "Light");
    EXPECT_EQ(FindBBoard(con, "Light"), con->bboards[1]);
    EXPECT_EQ(NamedBBoard(con, "<noname>"), con->bboards[0]);
    EXPECT_EQ(FindBBoard(con, "light"), nullptr);
    try {
        NamedBBoard(con, "light");
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedBBoard): bboard named 'light' not present");
    }
    construct* other = CreateConstruct(0, 0);
    SwapBBoardLists(con, other);
    EXPECT_EQ(con->bboardCount, 0);
    EXPECT_EQ(FindBBoard(other, "Light"), other->bboards[1]);
    FreeConstruct(con);
    FreeConstruct(other);
}

}  // namespace
