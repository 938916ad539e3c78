// The terrain matrix on small hand-made matrices: heights, edge modes, interpolation, second surfaces,
// classification, the access passes, the image export and the water levels.
#include <gtest/gtest.h>

#include <vector>

#include "TerrainFixtures.h"
#include "support/Fatal.h"
#include "world/Construct.h"
#include "world/Statics.h"

namespace {

using kvtest::HandMatrix;

int32_t Sub(int32_t s) { return s * 4096; }

TEST(Terrain, NonSquareMapReadsEverySubPointInItsOrientation) {
    // Three tiles along x, five along z: the tile numbering x x width + z must hold in every query.
    HandMatrix h(3, 5);
    for (int32_t X = 0; X < 48; ++X)
        for (int32_t Z = 0; Z < 80; ++Z) {
            const int32_t pos[3] = {Sub(X), 0, Sub(Z)};
            const int32_t centred[3] = {Sub(X) - 2048, 0, Sub(Z) - 2048};
            ASSERT_EQ(GroundHeight(h.m, pos, 0, 0, nullptr), HandMatrix::Height(X, Z) * 8) << X << "," << Z;
            ASSERT_EQ(GroundHeight(h.m, centred, 0, 1, nullptr), HandMatrix::Height(X, Z) * 8) << X << "," << Z;
            ASSERT_EQ(SubPointAt(h.m, pos, 0, 0), &h.At(X, Z));
            ASSERT_EQ(FlatCellAt(h.m, pos, 0, 0), nullptr);
        }
    // Just outside on either axis: the clone tile (the level build's default edge mode).
    const int32_t pastX[3] = {Sub(48), 0, Sub(10)}, pastZ[3] = {Sub(10), 0, Sub(80)};
    EXPECT_EQ(FlatCellAt(h.m, pastX, 0, 0), &h.m->flat[0]);
    EXPECT_EQ(FlatCellAt(h.m, pastZ, 0, 0), &h.m->flat[0]);
    EXPECT_EQ(GroundHeight(h.m, pastZ, 0, 0, nullptr), 56);
    // The image export bounds x by the x extent too.
    std::vector<uint32_t> pixels(48 * 80);
    ExportMatrixPixels(h.m, 0, 0, pixels.data());
    EXPECT_EQ(pixels[size_t(79 * 48 + (47 - 47))] & 0xFF, uint32_t(uint16_t(HandMatrix::Height(47, 79)) >> 8));
}

TEST(Terrain, EdgeModesAddressTilesOutsideTheGrid) {
    HandMatrix h(3, 5);  // x extent 3, z extent 5
    struct Case {
        int32_t mode, xt, zt;
        int32_t x, z;
        int clone, mirX, mirZ, mask;
    } cases[] = {
        {kAddressWrap, -1, 0, 2, 0, 0, 0, 0, 1},      {kAddressWrap, 3, 0, 0, 0, 0, 0, 0, 2},
        {kAddressWrap, -4, -1, 2, 4, 0, 0, 0, 5},     {kAddressWrap, 1, 5, 1, 0, 0, 0, 0, 8},
        {kAddressWrap, 1, 12, 1, 2, 0, 0, 0, 8},      {kAddressMirror, -1, 0, 0, 0, 0, 1, 0, 1},
        {kAddressMirror, -4, 0, 2, 0, 0, 0, 0, 1},    {kAddressMirror, 3, 0, 2, 0, 0, 1, 0, 2},
        {kAddressMirror, 6, 0, 0, 0, 0, 0, 0, 2},     {kAddressMirror, 0, -1, 0, 0, 0, 0, 1, 4},
        {kAddressMirror, 0, 5, 0, 4, 0, 0, 1, 8},     {kAddressClamp, -1, 7, 0, 4, 0, 0, 0, 9},
        {kAddressClamp, 9, -3, 2, 0, 0, 0, 0, 6},     {kAddressClone, -1, 2, -1, 2, 1, 0, 0, 1},
        {kAddressClone, 1, 5, 1, 5, 1, 0, 0, 8},      {kAddressWrap, 2, 4, 2, 4, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (int32_t& m : MatrixAddressModes) m = c.mode;
        int32_t x = 99, z = 99;
        int clone = 9, mirX = 9, mirZ = 9;
        const int mask = MatrixAddress(h.m, c.zt, c.xt, &z, &x, &clone, &mirZ, &mirX);
        EXPECT_EQ(mask, c.mask) << c.mode << " " << c.xt << "," << c.zt;
        EXPECT_EQ(clone, c.clone) << c.mode << " " << c.xt << "," << c.zt;
        EXPECT_EQ(x, c.x) << c.mode << " " << c.xt << "," << c.zt;
        EXPECT_EQ(z, c.z) << c.mode << " " << c.xt << "," << c.zt;
        EXPECT_EQ(mirX, c.mirX) << c.mode << " " << c.xt << "," << c.zt;
        EXPECT_EQ(mirZ, c.mirZ) << c.mode << " " << c.xt << "," << c.zt;
    }
    // Sub-point index 3 of x tile -1: WRAP reads tile 2's index 3, MIRROR tile 0's index 12, CLAMP tile
    // 0's index 3, CLONE the clone tile.
    const int32_t pos[3] = {-65536 + Sub(3), 0, Sub(20)};
    const struct {
        int32_t mode;
        SubPoint* expect;
    } reads[] = {{kAddressWrap, &h.At(35, 20)},
                 {kAddressMirror, &h.At(12, 20)},
                 {kAddressClamp, &h.At(3, 20)},
                 {kAddressClone, &h.m->flat[0].head}};
    for (const auto& r : reads) {
        MatrixAddressModes[kEdgeNorth] = r.mode;
        EXPECT_EQ(SubPointAt(h.m, pos, 0, 0), r.expect) << r.mode;
    }
    // The mode of each edge is its own: south applies past the x extent, west past the z extent.
    ResetMatrixGlobals();
    MatrixAddressModes[kEdgeWest] = kAddressWrap;
    const int32_t west[3] = {Sub(4), 0, Sub(80 + 2)}, east[3] = {Sub(4), 0, -Sub(1)};
    EXPECT_EQ(SubPointAt(h.m, west, 0, 0), &h.At(4, 2));
    EXPECT_EQ(SubPointAt(h.m, east, 0, 0), &h.m->flat[0].head);
}

TEST(Terrain, EdgeModeNamesAndDefaults) {
    kvtest::FatalCatcher fatal;
    EXPECT_EQ(NamedMatrixAddress("WRAP"), kAddressWrap);
    EXPECT_EQ(NamedMatrixAddress("MIRROR"), kAddressMirror);
    EXPECT_EQ(NamedMatrixAddress("CLAMP"), kAddressClamp);
    EXPECT_EQ(NamedMatrixAddress("CLONE"), kAddressClone);
    EXPECT_THROW(
        {
            try {
                NamedMatrixAddress("wrap");
            } catch (const kvtest::FatalExit& e) {
                EXPECT_STREQ(e.what(), "Error(NamedMatrixAddress): uk matrix address");
                throw;
            }
        },
        kvtest::FatalExit);
    ResetMatrixGlobals();
    for (int32_t m : MatrixAddressModes) EXPECT_EQ(m, 3);
    for (int32_t w : WaterLevel) EXPECT_EQ(w, 4);
}

TEST(Terrain, InterpolationBetweenSubPointsAndAcrossTiles) {
    HandMatrix h(3, 5);
    for (int32_t X = 0; X < 47; ++X)
        for (int32_t Z = 0; Z < 79; ++Z) {
            const int32_t exact[3] = {Sub(X), 0, Sub(Z)};
            ASSERT_EQ(InterpGroundHeight(h.m, exact, nullptr), HandMatrix::Height(X, Z) * 8);
            // A quarter of the way along both axes of a plane: 8 h + (24 + 40) / 4.
            const int32_t quarter[3] = {Sub(X) + 1024, 0, Sub(Z) + 1024};
            ASSERT_EQ(InterpGroundHeight(h.m, quarter, nullptr), HandMatrix::Height(X, Z) * 8 + 16) << X << "," << Z;
        }
    // Past the last sub-point of the grid the neighbours come through the edge mode: the clone tile.
    const int32_t edge[3] = {Sub(47) + 2048, 0, Sub(3)};
    EXPECT_EQ(InterpGroundHeight(h.m, edge, nullptr), (HandMatrix::Height(47, 3) * 8 + 56) / 2);
    // A flat tile answers its own height at once.
    h.m->tileField[1].def = -1;
    uint32_t flags = 0;
    const int32_t flat[3] = {Sub(3) + 100, 0, Sub(16 + 3) + 100};
    EXPECT_EQ(InterpGroundHeight(h.m, flat, &flags), 56);
    EXPECT_EQ(flags, uint32_t(kSubSolid));
    // Without an upper layer the two-layer form agrees with the first and reports no upper height.
    int32_t top = 0;
    const int32_t plain[3] = {Sub(5) + 1024, 0, Sub(40) + 1024};
    EXPECT_EQ(InterpGroundHeights(h.m, plain, &top, 1, 1), HandMatrix::Height(5, 40) * 8 + 16);
    EXPECT_EQ(top, kNoUpperBound);
}

TEST(Terrain, SecondSurfaceChoosesUpperOrLowerByHeight) {
    HandMatrix h(1, 1);
    SubPoint& sp = h.At(2, 2);  // ground 16 x 8 = 128
    sp.flags = kSubSolid | kSubSecond | 10;  // second surface at 1280
    sp.access = 0x20;
    struct Case {
        uint16_t extra;
        int32_t y;
        int32_t height;
        uint32_t low4;
    } cases[] = {
        {0, -28000, 1280, 0},           {0, -40000, 128, 15},
        {kSubBlocked, -28000, 1280, 15}, {kSubUpperOption, -40000, 128, 0},
    };
    for (const Case& c : cases) {
        sp.flags = uint16_t(kSubSolid | kSubSecond | 10 | c.extra);
        const int32_t pos[3] = {Sub(2), c.y, Sub(2)};
        uint32_t flags = 0;
        EXPECT_EQ(GroundHeight(h.m, pos, 0, 0, &flags), c.height) << c.y;
        EXPECT_EQ(flags & 15, c.low4) << c.y;
        EXPECT_EQ(flags & 0xF0, 0x20u);
        EXPECT_EQ(InterpGroundHeight(h.m, pos, &flags), c.height) << c.y;
        EXPECT_EQ(flags & 15, c.low4) << c.y;
        EXPECT_EQ(GroundHeightLower(h.m, pos, 0, 0, nullptr), 128);
        EXPECT_EQ(GroundHeightTop(h.m, pos, 0, 0, nullptr), 1280);
    }
    // A negative 12-bit second surface.
    sp.flags = kSubSolid | kSubSecond | 0xFFE;
    const int32_t pos[3] = {Sub(2), 0, Sub(2)};
    EXPECT_EQ(GroundHeightTop(h.m, pos, 0, 0, nullptr), -256);
}

TEST(Terrain, ClassificationOfPositions) {
    HandMatrix h(1, 1);
    h.At(2, 2).flags = 0;  // no solid ground
    auto at = [](int32_t X, int32_t y, int32_t Z) { return std::vector<int32_t>{Sub(X) - 2048, y, Sub(Z) - 2048}; };
    construct* out = reinterpret_cast<construct*>(1);
    EXPECT_EQ(GroundHeight(h.m, at(2, -1, 2).data(), 0, 1, nullptr), 0);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(2, -1, 2).data(), &out, kNoWaterLevel), 1);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(2, 0, 2).data(), &out, kNoWaterLevel), 0);
    // Ground at 8 x (3 + 5) = 64 at (1, 1); water level 10 (80 units).
    EXPECT_EQ(CheckMatrixPosition(h.m, at(1, 63, 1).data(), &out, kNoWaterLevel), 1);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(1, 64, 1).data(), &out, kNoWaterLevel), 0);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(1, 79, 1).data(), &out, 10), 4);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(1, 80, 1).data(), &out, 10), 0);
    // Outside the grid the clone tile's height is the bound.
    EXPECT_EQ(CheckMatrixPosition(h.m, at(-3, 55, 1).data(), &out, kNoWaterLevel), 1);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(-3, 56, 1).data(), &out, kNoWaterLevel), 0);

    // A static listed on the quarter of a sub-point with a second surface: inside its band the result is 3.
    SubPoint& roof = h.At(4, 4);
    roof.flags = kSubSolid | kSubSecond | 40;  // 5120
    construct* s = CreateConstruct(0, 0);
    for (auto& corner : s->box.world) corner[1] = 1024;
    s->box.world[0][1] = 0;
    StatLink** head = MatrixQuarterListAddr(h.m, 0, 0);
    ASSERT_NE(head, nullptr);
    ASSERT_EQ(LinkStatFromSfc(head, s), 1);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(4, 500, 4).data(), &out, kNoWaterLevel), 3);
    EXPECT_EQ(out, s);
    EXPECT_EQ(CheckMatrixPosition(h.m, at(4, 6000, 4).data(), &out, kNoWaterLevel), 0);
    EXPECT_EQ(out, nullptr);
    UnlinkStatFromSfc(head, s);
    EXPECT_EQ(*head, nullptr);
    FreeConstruct(s);
}

TEST(Terrain, AccessPassesMarkAroundALoneBlockedSubPoint) {
    HandMatrix h(1, 1);
    h.At(5, 8).access = 8;  // blocked for the test mask 10
    const int marks = FixAccessFlags(h.m, 10, 8, 0, 0, 65536, 65536);
    EXPECT_GT(marks, 0);
    EXPECT_EQ(h.At(5, 7).access, 0x88);  // the row pass marks the free sub-point before it
    EXPECT_EQ(h.At(4, 8).access, 0x88);  // the column pass likewise
    int rounds = 1;
    while (FixAccessFlags(h.m, 10, 8, 0, 0, 65536, 65536) != 0 && rounds < 40) ++rounds;
    EXPECT_LT(rounds, 40);
    EXPECT_EQ(FixAccessFlags(h.m, 10, 8, 0, 0, 65536, 65536), 0);
    // A gap of one free sub-point between two blocked ones is filled by mode 0.
    HandMatrix g(1, 1);
    g.At(3, 2).access = 4;
    g.At(3, 4).access = 4;
    FixAccessFlags(g.m, 14, 4, 0, 0, 65536, 65536);
    EXPECT_NE(g.At(3, 3).access & 0x80, 0);
    // Blocking marks turn the ground into a blocked second surface at its own height; flat tiles and
    // positions outside the grid are never marked.
    EXPECT_EQ(MarkAccess(g.m, Sub(3), Sub(3), kSubBlocked, 0), 1);
    EXPECT_EQ(g.At(3, 3).flags, kSubSolid | kSubSecond | kSubBlocked | ((3 * 3 + 5 * 3) / 16));
    EXPECT_EQ(MarkAccess(g.m, -Sub(1), Sub(3), 0, 1), 0);
    EXPECT_EQ(g.m->flat[0].head.access, 0);
}

TEST(Terrain, ImageExportShowsMarksOnce) {
    HandMatrix h(1, 1);
    h.At(0, 0).access = 0x81;
    h.At(1, 0).access = 0x01;
    std::vector<uint32_t> px(256);
    ExportMatrixPixels(h.m, 0, 1, px.data());
    EXPECT_EQ(px[15], 0xFFFFFFFFu);  // x runs from the right edge: sub-point (0, 0) is column 15
    EXPECT_EQ(px[14], 0xFF001E64u);  // masked: green + 30, blue + 100 over height 3 (high byte 0)
    EXPECT_EQ(h.At(0, 0).access, 0x01);
    ExportMatrixPixels(h.m, 0, 0, px.data());
    EXPECT_EQ(px[15], 0xFF000000u);
}

// A matrix whose image would not fit one allocation (or whose sub-points lie beyond 16.16 coordinates)
// gets no image; the size is never computed in a wrapping int.
TEST(Terrain, ImageExportRefusesAMatrixTooLargeForAnImage) {
    matrix* m = CreateMatrix();
    const struct {
        int32_t width, height;
    } cases[] = {{3000, 3000}, {1 << 20, 1}, {1, 1 << 20}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (const auto& c : cases) {
        m->width = c.width;
        m->height = c.height;
        EXPECT_EQ(ExportMatrixImage(m, 0, 0), nullptr) << c.width << " x " << c.height;
    }
    m->width = m->height = 0;
    FreeMatrix(m);
}

TEST(Terrain, WaterLevelByQuadrant) {
    ResetMatrixGlobals();
    WaterMark[0] = 100;
    WaterMark[1] = 200;
    const int32_t levels[4] = {1, 2, 3, 4};
    for (int i = 0; i < 4; ++i) WaterLevel[i] = levels[i];
    EXPECT_EQ(WaterLevelAt(0, 0), 1);
    EXPECT_EQ(WaterLevelAt(100, 200), 1);
    EXPECT_EQ(WaterLevelAt(0, 201), 2);
    EXPECT_EQ(WaterLevelAt(101, 0), 3);
    EXPECT_EQ(WaterLevelAt(101, 201), 4);
    ResetMatrixGlobals();
}

}  // namespace
