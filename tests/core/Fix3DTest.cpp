// Fixed-point vectors and orientations: rotations, products, builders, projection and lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "render/View.h"
#include "support/FPTables.h"

namespace {

const double kPi = std::acos(-1.0);
constexpr int32_t kOne = 32768;
const FixMatrix kIdentity = {{kOne, 0, 0, 0, kOne, 0, 0, 0, kOne}};
// A quarter turn about z: x goes to y, y to -x.
const FixMatrix kQuarterZ = {{0, -kOne, 0, kOne, 0, 0, 0, 0, kOne}};
// A quarter turn about x: y goes to z, z to -y.
const FixMatrix kQuarterX = {{kOne, 0, 0, 0, 0, -kOne, 0, kOne, 0}};

class Fix3DTest : public ::testing::Test {
protected:
    void SetUp() override { kvtest::EnsureFPTables(); }
};

::testing::AssertionResult VecNear(const FixVec& got, const FixVec& want, double tol) {
    if (std::fabs(double(got.x) - want.x) <= tol && std::fabs(double(got.y) - want.y) <= tol &&
        std::fabs(double(got.z) - want.z) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << got.x << ", " << got.y << ", " << got.z << ") is not within " << tol << " of (" << want.x
           << ", " << want.y << ", " << want.z << ")";
}

::testing::AssertionResult MatNear(const FixMatrix& got, const double want[9], double tol) {
    for (int i = 0; i < 9; ++i)
        if (std::fabs(got.m[i] - want[i]) > tol) {
            auto f = ::testing::AssertionFailure()
                     << "entry " << i << ": " << got.m[i] << " vs " << want[i] << "; got";
            for (int j = 0; j < 9; ++j) f << " " << got.m[j];
            return f;
        }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult MatNear(const FixMatrix& got, const FixMatrix& want, double tol) {
    double w[9];
    for (int i = 0; i < 9; ++i) w[i] = want.m[i];
    return MatNear(got, w, tol);
}

// The rotation by angle (radians) about the unit axis (x, y, z), in 1.15.
void Rodrigues(double out[9], double x, double y, double z, double angle) {
    double c = std::cos(angle), s = std::sin(angle), r = 1 - c;
    const double m[9] = {c + r * x * x,     r * x * y - s * z, r * x * z + s * y,  //
                         r * x * y + s * z, c + r * y * y,     r * y * z - s * x,  //
                         r * x * z - s * y, r * y * z + s * x, c + r * z * z};
    for (int i = 0; i < 9; ++i) out[i] = m[i] * kOne;
}

FixVec UnitVec(double x, double y, double z) {
    double len = std::sqrt(x * x + y * y + z * z);
    return {int32_t(std::lround(x / len * kOne)), int32_t(std::lround(y / len * kOne)),
            int32_t(std::lround(z / len * kOne))};
}

using RotateFn = void (*)(FixVec*, const FixMatrix*, const FixVec*);

TEST(Fix3DRotate, EveryVariantOnAQuarterTurn) {
    struct Case {
        const char* name;
        RotateFn fn;
        FixVec want;
    };
    const FixVec v = {1000, 2000, 3000};
    const Case cases[] = {
        {"RotateVec", RotateVec, {-2000, 1000, 3000}},
        {"RotateVecT", RotateVecT, {2000, -1000, 3000}},
        {"RotateVec13", RotateVec13, {-8000, 4000, 12000}},
        {"RotateVecT13", RotateVecT13, {8000, -4000, 12000}},
        {"RotateVecSafe", RotateVecSafe, {-2000, 1000, 3000}},
        {"RotateVecTSafe", RotateVecTSafe, {2000, -1000, 3000}},
        {"RotateVecT13Safe", RotateVecT13Safe, {8000, -4000, 12000}},
        {"RotateVecF", RotateVecF, {-2000, 1000, 3000}},
        {"RotateVecTF", RotateVecTF, {2000, -1000, 3000}},
    };
    for (const Case& c : cases) {
        FixVec out;
        c.fn(&out, &kQuarterZ, &v);
        EXPECT_TRUE(VecNear(out, c.want, 0)) << c.name;
        // The output may be the input.
        FixVec same = v;
        c.fn(&same, &kQuarterZ, &same);
        EXPECT_TRUE(VecNear(same, c.want, 0)) << c.name << " in place";
    }
}

TEST(Fix3DRotate, ShiftsFloorAndFloatFormsTruncate) {
    const FixMatrix half = {{16384, 0, 0, 0, 16384, 0, 0, 0, 16384}};
    const FixVec v = {-1, 1, -3};
    FixVec out;
    RotateVec(&out, &half, &v);
    EXPECT_TRUE(VecNear(out, {-1, 0, -2}, 0));
    RotateVecF(&out, &half, &v);
    EXPECT_TRUE(VecNear(out, {0, 0, -1}, 0));
    RotateVecTF(&out, &half, &v);
    EXPECT_TRUE(VecNear(out, {0, 0, -1}, 0));
}

TEST(Fix3DRotate, LongVectors) {
    FixVec out;
    const FixVec v = {1000, -2000, 3000};
    RotateVec(&out, &kIdentity, &v);
    EXPECT_TRUE(VecNear(out, v, 0));
    RotateVec13(&out, &kIdentity, &v);
    EXPECT_TRUE(VecNear(out, {4000, -8000, 12000}, 0));
    // The safe forms fall back to a lower precision outside -32768..32767: the low 5 bits go (and -1
    // floors to -32).
    const FixVec big = {40000, 0, 0};
    RotateVecSafe(&out, &kIdentity, &big);
    EXPECT_TRUE(VecNear(out, {40000, 0, 0}, 0));
    const FixVec odd = {40031, -1, 33};
    RotateVecSafe(&out, &kIdentity, &odd);
    EXPECT_TRUE(VecNear(out, {40000, -32, 32}, 0));
    RotateVecTSafe(&out, &kQuarterZ, &odd);
    EXPECT_TRUE(VecNear(out, {-32, -40000, 32}, 0));
    RotateVecT13Safe(&out, &kIdentity, &odd);
    EXPECT_TRUE(VecNear(out, {160000, -128, 128}, 0));
    // The plain forms keep every bit of world-scale vectors.
    const FixVec world = {3000000, -2000000, 123457};
    RotateVec(&out, &kQuarterZ, &world);
    EXPECT_TRUE(VecNear(out, {2000000, 3000000, 123457}, 0));
    RotateVecT13(&out, &kIdentity, &world);
    EXPECT_TRUE(VecNear(out, {12000000, -8000000, 493828}, 0));
}

TEST(Fix3DRotate, DotSafe) {
    struct Case {
        FixVec v, u;
        int32_t want;
    };
    const Case cases[] = {
        {{1000, 2000, 3000}, {kOne, 0, 0}, 1000}, {{1000, 2000, 3000}, {0, 0, -kOne}, -3000},
        {{-1, 0, 0}, {kOne, 0, 0}, -1},          // floors
        {{100000, 7, 0}, {kOne, 0, 0}, 100000},  // fallback: (100000 >> 5) * 32768 >> 10
        {{100031, 0, 0}, {kOne, 0, 0}, 100000},
    };
    for (const Case& c : cases) EXPECT_EQ(DotSafe(&c.v, &c.u), c.want);
}

TEST(Fix3DMatrix, ProductsApplyTheFirstArgumentFirst) {
    // MulMatrix(out, a, b) = b a: rotating by the product rotates by a, then by b.
    FixMatrix ab;
    MulMatrix(&ab, &kQuarterZ, &kQuarterX);
    const FixVec v = {1000, 2000, 3000};
    FixVec viaProduct, step;
    RotateVec(&viaProduct, &ab, &v);
    RotateVec(&step, &kQuarterZ, &v);
    RotateVec(&step, &kQuarterX, &step);
    EXPECT_TRUE(VecNear(viaProduct, step, 0));
    // MulMatrixT(out, a, b) = b transpose(a).
    FixMatrix abt;
    MulMatrixT(&abt, &kQuarterZ, &kQuarterX);
    RotateVec(&viaProduct, &abt, &v);
    RotateVecT(&step, &kQuarterZ, &v);
    RotateVec(&step, &kQuarterX, &step);
    EXPECT_TRUE(VecNear(viaProduct, step, 0));
    // Any output may be an input.
    FixMatrix a = kQuarterZ, b = kQuarterX;
    MulMatrix(&a, &a, &b);
    EXPECT_TRUE(MatNear(a, ab, 0));
    a = kQuarterZ;
    MulMatrixT(&b, &a, &b);
    EXPECT_TRUE(MatNear(b, abt, 0));
    // Each product is shifted before the sum: three halves of one unit each floor away.
    const FixMatrix tiny = {{1, 1, 1, 0, 0, 0, 0, 0, 0}};
    const FixMatrix halfs = {{16384, 0, 0, 16384, 0, 0, 16384, 0, 0}};
    FixMatrix out;
    MulMatrix(&out, &halfs, &tiny);
    EXPECT_EQ(out.m[0], 0);
}

TEST_F(Fix3DTest, BuiltOrientationsAreOrthonormalAndTheirTransposeIsTheInverse) {
    const FixVec v = {12345, -23456, 7890};
    for (int32_t a = -411774; a <= 411774; a += 23456) {
        for (int32_t b = -205887; b <= 205887; b += 19876) {
            FixMatrix ms[3];
            MatrixFromYawPitch(&ms[0], a, b);
            MatrixFromPitchYaw(&ms[1], a, b);
            const int32_t angles[3] = {a, b, a / 3 + b};
            MatrixFromEuler(&ms[2], angles);
            for (int i = 0; i < 3; ++i) {
                FixMatrix product;
                MulMatrixT(&product, &ms[i], &ms[i]);  // M transpose(M)
                ASSERT_TRUE(MatNear(product, kIdentity, 12)) << "builder " << i << " a " << a << " b " << b;
                FixVec there, back;
                RotateVec(&there, &ms[i], &v);
                RotateVecT(&back, &ms[i], &there);
                ASSERT_TRUE(VecNear(back, v, 25)) << "builder " << i << " a " << a << " b " << b;
            }
        }
    }
}

TEST_F(Fix3DTest, BuildersAtKnownAngles) {
    FixMatrix m;
    MatrixFromYawPitch(&m, 0, 0);
    const double yawPitchZero[9] = {0, 0, kOne, kOne, 0, 0, 0, kOne, 0};
    EXPECT_TRUE(MatNear(m, yawPitchZero, 1));
    // The vehicles' placement: (a quarter turn, heading, 0) gives sideways (-sin h, 0, cos h), up
    // (0, 1, 0) and forward (-cos h, 0, -sin h).
    for (double h : {0.0, 0.5, 1.9, 3.0, -2.2}) {
        const int32_t angles[3] = {102943, int32_t(h * 65536), 0};
        MatrixFromEuler(&m, angles);
        const double want[9] = {-std::sin(h) * kOne, 0, std::cos(h) * kOne, 0, kOne, 0,
                                -std::cos(h) * kOne, 0, -std::sin(h) * kOne};
        EXPECT_TRUE(MatNear(m, want, 30)) << h;
    }
    MatrixFromPitchYaw(&m, 0, 0);
    const double pitchYawZero[9] = {0, kOne, 0, 0, 0, -kOne, -kOne, 0, 0};
    EXPECT_TRUE(MatNear(m, pitchYawZero, 1));
}

TEST_F(Fix3DTest, RotationAboutAnAxisFollowsTheRightHandRule) {
    struct Case {
        FixVec axis, from, to;
    };
    const Case cases[] = {
        {{0, 0, kOne}, {kOne, 0, 0}, {0, kOne, 0}},
        {{kOne, 0, 0}, {0, kOne, 0}, {0, 0, kOne}},
        {{0, kOne, 0}, {0, 0, kOne}, {kOne, 0, 0}},
        {{0, 0, -kOne}, {kOne, 0, 0}, {0, -kOne, 0}},
    };
    for (const Case& c : cases) {
        FixMatrix m;
        MatrixFromDirection2(&m, &c.axis, 102944);
        FixVec out;
        RotateVec(&out, &m, &c.from);
        EXPECT_TRUE(VecNear(out, c.to, 40)) << c.axis.x << "," << c.axis.y << "," << c.axis.z;
    }
}

TEST_F(Fix3DTest, RotationAboutAnyAxisKeepsTheAxisAndMatchesTheExactRotation) {
    const double axes[][3] = {{0, 0, 1},          {1, 0, 0},          {0, 1, 0},         {0.6, 0.8, 0},
                              {0.48, 0.6, -0.64}, {-0.36, 0.48, 0.8}, {-0.7, -0.1, 0.7}, {0.2, -0.9, -0.4},
                              {-1, 0, 0},         {0, -0.6, -0.8}};
    const double turns[] = {0.1, 0.25, 0.5, 0.8, 1.0, -0.3};
    for (const auto& a : axes) {
        FixVec d = UnitVec(a[0], a[1], a[2]);
        double len = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        for (double t : turns) {
            FixMatrix m;
            int32_t angle = int32_t(std::lround(t * kFixFullTurn));
            MatrixFromDirection2(&m, &d, angle);
            double want[9];
            Rodrigues(want, a[0] / len, a[1] / len, a[2] / len, angle / 65536.0);
            ASSERT_TRUE(MatNear(m, want, 80)) << a[0] << "," << a[1] << "," << a[2] << " turn " << t;
            FixVec out;
            RotateVec(&out, &m, &d);
            ASSERT_TRUE(VecNear(out, d, 80)) << a[0] << "," << a[1] << "," << a[2] << " turn " << t;
        }
        // A full turn is the identity; two rotations add up.
        FixMatrix full, m1, m2, sum, product;
        MatrixFromDirection2(&full, &d, kFixFullTurn);
        EXPECT_TRUE(MatNear(full, kIdentity, 60));
        MatrixFromDirection2(&m1, &d, 50000);
        MatrixFromDirection2(&m2, &d, 70000);
        MatrixFromDirection2(&sum, &d, 120000);
        MulMatrix(&product, &m1, &m2);
        EXPECT_TRUE(MatNear(product, sum, 80));
    }
}

TEST_F(Fix3DTest, FirstOrderRotationMatchesForSmallAngles) {
    const double axes[][3] = {{0, 0, 1}, {0.6, 0.8, 0}, {0.48, 0.6, -0.64}, {-0.36, 0.48, 0.8}};
    for (const auto& a : axes) {
        FixVec d = UnitVec(a[0], a[1], a[2]);
        FixMatrix m;
        MatrixFromDirection(&m, &d, 2000);  // 0.03 rad
        double want[9];
        Rodrigues(want, a[0], a[1], a[2], 2000 / 65536.0);
        // Only the first-order terms: the diagonal stays 1.0, and the second-order terms (0.0005) are
        // missing.
        EXPECT_TRUE(MatNear(m, want, 0.0005 * kOne + 30)) << a[0] << "," << a[1] << "," << a[2];
        EXPECT_EQ(m.m[0], kOne);
        EXPECT_EQ(m.m[4], kOne);
        EXPECT_EQ(m.m[8], kOne);
    }
}

TEST_F(Fix3DTest, AnglesFromMatrixReturnsTheHeadingOfAPlacedVehicle) {
    for (int32_t h = 0; h < kFixFullTurn; h += 4567) {
        const int32_t in[3] = {102943, h, 0};
        FixMatrix m;
        MatrixFromEuler(&m, in);
        int32_t out[3];
        AnglesFromMatrix(out, &m);
        double dh = std::remainder(double(out[2] - h), double(kFixFullTurn));
        EXPECT_LT(std::fabs(dh), 300) << h << " gave " << out[2];
        EXPECT_LT(std::fabs(std::remainder(double(out[0]), double(kFixFullTurn))), 300) << h;
        EXPECT_LT(std::abs(out[1]), 300) << h;
    }
}

TEST_F(Fix3DTest, AnglesFromMatrixStaysInRangeForAnyOrientation) {
    // Orientations all round, near straight up and down, and matrices whose entries exceed what the
    // pitch allows (the arc sine arguments then lie beyond 1.0 and are clamped).
    FixMatrix ms[64];
    int n = 0;
    for (int i = 0; i < 40; ++i) {
        FixVec d = UnitVec(std::sin(i * 1.3), std::cos(i * 0.7), std::sin(i * 2.1 + 0.5));
        MatrixFromDirection2(&ms[n++], &d, i * 10301);
    }
    for (int32_t p : {102943, 102000, -102943, -101000}) {
        for (int32_t h : {0, 60000, 200000, 300000}) MatrixFromYawPitch(&ms[n++], h, p);
    }
    ms[n++] = {{30000, 20000, -20000, 5000, 10000, 32768, 0, 32000, 100}};
    ms[n++] = {{-32768, -32768, 32768, 32768, -32768, -32768, 0, -31000, 0}};
    ms[n++] = {{0, 0, 0, -20000, 0, -5000, 0, 32768, 0}};
    ms[n++] = {{0, 0, 0, 20000, 0, 5000, 0, -32768, 0}};
    for (int i = 0; i < n; ++i) {
        int32_t out[3];
        AnglesFromMatrix(out, &ms[i]);
        EXPECT_GE(out[0], 0) << i;
        EXPECT_LT(out[0], kFixFullTurn) << i;
        EXPECT_GE(out[2], 0) << i;
        EXPECT_LT(out[2], kFixFullTurn) << i;
        EXPECT_LE(std::abs(out[1]), kFixQuarterTurn) << i;
    }
}

TEST(Fix3DProject, PointsOnTheAxisProjectToTheCentre) {
    for (int32_t z : {1, 500, 16383, 16384, 20000, 1000000}) {
        const FixVec v = {0, 0, z};
        ScreenPointF f;
        ProjectToScreen(&f, &v, 320.0f, 240.0f);
        EXPECT_EQ(f.x, 320.0f);
        EXPECT_EQ(f.y, 240.0f);
        EXPECT_FLOAT_EQ(f.depth, DepthScale * z);
        ScreenPointRhw r;
        ProjectToScreenRhw(&r, &v, 320.0f, 240.0f);
        EXPECT_FLOAT_EQ(r.rhw, 0.08f / (DepthScale * z));
        ScreenPoint16 s;
        ProjectToScreen16(&s, &v, 320.0f, 240.0f);
        EXPECT_EQ(s.x, 320);
        EXPECT_EQ(s.y, 240);
        EXPECT_EQ(s.depth, z < 16384 ? z : 32767) << z;
    }
}

TEST(Fix3DProject, AFocalLengthOf1024) {
    struct Case {
        FixVec v;
        float x, y;
    };
    const Case cases[] = {
        {{1000, 0, 1000}, 1344, 240},  // 45 degrees right: 1024 pixels off centre
        {{-1000, 0, 1000}, -704, 240},
        {{0, 500, 1000}, 320, 752},
        {{0, -3, 2048}, 320, 238.5f},
    };
    for (const Case& c : cases) {
        ScreenPointF f;
        ProjectToScreen(&f, &c.v, 320.0f, 240.0f);
        EXPECT_FLOAT_EQ(f.x, c.x);
        EXPECT_FLOAT_EQ(f.y, c.y);
        ScreenPoint16 s;
        ProjectToScreen16(&s, &c.v, 320.0f, 240.0f);
        EXPECT_EQ(s.x, int16_t(c.x));
        EXPECT_EQ(s.y, int16_t(c.y));  // truncated
    }
    // A point at or behind the eye is projected as at z = 1 instead of dividing by 0, and the 16-bit
    // form holds its pixels to 16 bits.
    const FixVec onEye = {100, 0, 0};
    ScreenPoint16 s;
    ProjectToScreen16(&s, &onEye, 0.0f, 0.0f);
    EXPECT_EQ(s.x, 32767);
    ScreenPointF f;
    ProjectToScreen(&f, &onEye, 0.0f, 0.0f);
    EXPECT_TRUE(std::isfinite(f.x));
}

TEST_F(Fix3DTest, ProjectWorldPointLooksThroughTheCurrentEye) {
    EyePos = {5000000, 100000, -3000000};
    const int32_t angles[3] = {102943, 150000, 0};
    MatrixFromEuler(&ViewMatrix, angles);
    ProjMatrix = ViewMatrix;  // a focal length of 1024
    ViewCentreXF = 320.0f;
    ViewCentreYF = 240.0f;
    ViewWidth = 640;
    ViewHeight = 480;
    NearPlane = 500;
    InstallProjectionEye();
    auto along = [](int32_t row, int64_t distance) {
        const int32_t* r = ViewMatrix.m + 3 * row;
        return FixVec{int32_t(EyePos.x + r[0] * distance / kOne), int32_t(EyePos.y + r[1] * distance / kOne),
                      int32_t(EyePos.z + r[2] * distance / kOne)};
    };
    ScreenPointF out;
    for (int64_t distance : {1000, 30000, 200000, 3000000}) {
        FixVec ahead = along(2, distance);
        ASSERT_EQ(ProjectWorldPoint(&out, &ahead), 1) << distance;
        // The point and the orientation are whole units: a unit or two off the axis.
        float tol = 1.0f + 2048.0f * 2 / distance;
        EXPECT_NEAR(out.x, 320.0f, tol) << distance;
        EXPECT_NEAR(out.y, 240.0f, tol) << distance;
    }
    // A point to the right of the view axis lands right of the centre (row 0 is the camera's right).
    FixVec right = along(2, 10000);
    right.x += ViewMatrix.m[0] / 32;
    right.y += ViewMatrix.m[1] / 32;
    right.z += ViewMatrix.m[2] / 32;
    ASSERT_EQ(ProjectWorldPoint(&out, &right), 1);
    EXPECT_NEAR(out.x, 320.0f + 1024.0f * 1024 / 10000, 2.0f);
    // Through a view of focal length 512 (the projection matrix's first two rows halved) the point lies
    // half as far from the centre, where the 3D view draws it.
    for (int c = 0; c < 6; ++c) ProjMatrix.m[c] = ViewMatrix.m[c] / 2;
    ASSERT_EQ(ProjectWorldPoint(&out, &right), 1);
    EXPECT_NEAR(out.x, 320.0f + 512.0f * 1024 / 10000, 2.0f);
    ProjMatrix = ViewMatrix;
    // Behind the eye, too near, or off to the side: 0, and out is untouched.
    const FixVec outside[] = {along(2, -10000), along(2, 400), along(0, 10000)};
    for (const FixVec& p : outside) {
        out = {-7.0f, -7.0f, -7.0f};
        EXPECT_EQ(ProjectWorldPoint(&out, &p), 0);
        EXPECT_EQ(out.x, -7.0f);
        EXPECT_EQ(out.depth, -7.0f);
    }
    // Without an installed eye nothing is in view.
    SetProjectionEye(nullptr);
    FixVec ahead = along(2, 30000);
    EXPECT_EQ(ProjectWorldPoint(&out, &ahead), 0);
    InstallProjectionEye();
    EXPECT_EQ(ProjectWorldPoint(&out, &ahead), 1);
}

TEST(Fix3DLength, IntegerAndFloatLengths) {
    struct Case {
        FixVec v;
        int32_t len3, len2;
    };
    const Case cases[] = {
        {{3, 4, 12}, 13, 5},
        {{1, 1, 1}, 1, 1},
        {{2, 2, 1}, 3, 2},
        {{-30000, 40000, 0}, 50000, 50000},  // squares beyond 32 bits
        {{100000, 0, 0}, 100000, 100000},
        {{INT32_MIN, INT32_MIN, INT32_MIN}, INT32_MAX, INT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Length3(&c.v), c.len3);
        EXPECT_EQ(Length2(&c.v), c.len2);
        EXPECT_EQ(Length3F(&c.v), c.len3);
    }
    const FixVec a = {1, 2, 3}, b = {4, 6, 15};
    EXPECT_EQ(Distance3(&a, &b), 13);
    EXPECT_EQ(Distance3(&b, &a), 13);
    EXPECT_EQ(Distance3F(&a, &b), 13);
    const FixVec lo = {INT32_MIN, 0, 0}, hi = {INT32_MAX, 0, 0};
    EXPECT_EQ(Distance3(&lo, &hi), INT32_MAX);
}

TEST_F(Fix3DTest, NormaliseScalesToOneFifteen) {
    FixVec out = {7, 8, 9};
    const FixVec zero = {0, 0, 0};
    Normalise(&out, &zero);
    EXPECT_TRUE(VecNear(out, {7, 8, 9}, 0));
    const FixVec tiny = {1, 0, 0};  // its squared length rounds to 0
    Normalise(&out, &tiny);
    EXPECT_TRUE(VecNear(out, {7, 8, 9}, 0));
    const FixVec half = {16384, 0, 0};
    Normalise(&out, &half);
    EXPECT_TRUE(VecNear(out, {kOne, 0, 0}, 4));
    // Lengths from 0.05 to 3.5 (length 2 and more takes more than one step down).
    const double lengths[] = {0.05, 0.3, 0.99, 1.0, 1.5, 1.99, 2.5, 3.5};
    for (double len : lengths) {
        for (int i = 0; i < 12; ++i) {
            double x = std::sin(i * 1.7), y = std::cos(i * 0.9), z = std::sin(i * 0.4 + 1);
            double n = std::sqrt(x * x + y * y + z * z);
            FixVec v = {int32_t(x / n * len * kOne), int32_t(y / n * len * kOne),
                        int32_t(z / n * len * kOne)};
            double vl = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
            FixVec unit = {int32_t(v.x / vl * kOne), int32_t(v.y / vl * kOne), int32_t(v.z / vl * kOne)};
            Normalise(&out, &v);
            // The squared length is summed from truncated squares: short vectors lose precision.
            double tol = 8 + 1.5 / (len * len);
            ASSERT_TRUE(VecNear(out, unit, tol)) << len << " " << i;
            FixVec f;
            ASSERT_EQ(NormaliseF(&f, &v), int32_t(vl));
            ASSERT_TRUE(VecNear(f, unit, 1)) << len << " " << i;
        }
    }
    out = {7, 8, 9};
    EXPECT_EQ(NormaliseF(&out, &zero), 0);
    EXPECT_TRUE(VecNear(out, {7, 8, 9}, 0));
}

TEST(Fix3DVector, RemoveComponentLeavesNothingAlongTheAxis) {
    struct Case {
        FixVec v;
        FixVec u;
    };
    const Case cases[] = {
        {{1000, 2000, 3000}, {kOne, 0, 0}},
        {{-5000, 7000, 100}, UnitVec(1, 1, 0)},
        {{20000, -3000, 9000}, UnitVec(0.3, -0.5, 0.8)},
        {{300000, 5000, -2000}, {kOne, 0, 0}},  // world scale: the dot product exceeds 16 bits
        {{-900000, 400000, 2500000}, UnitVec(-0.2, 0.9, 0.1)},
    };
    for (const Case& c : cases) {
        FixVec v = c.v;
        RemoveComponent(&v, &c.u);
        double along = (double(v.x) * c.u.x + double(v.y) * c.u.y + double(v.z) * c.u.z) / kOne;
        double scale = std::max({std::abs(c.v.x), std::abs(c.v.y), std::abs(c.v.z)});
        EXPECT_LT(std::fabs(along), 4 + scale * 3e-4) << c.v.x;
        // What was taken away lies along u.
        FixVec taken = {c.v.x - v.x, c.v.y - v.y, c.v.z - v.z};
        double cx = double(taken.y) * c.u.z - double(taken.z) * c.u.y;
        double cy = double(taken.z) * c.u.x - double(taken.x) * c.u.z;
        double cz = double(taken.x) * c.u.y - double(taken.y) * c.u.x;
        EXPECT_LT(std::sqrt(cx * cx + cy * cy + cz * cz) / kOne, 4 + scale * 3e-4) << c.v.x;
    }
}

TEST(Fix3DClip, EdgeCrossingADepthPlane) {
    const ClipVertex a = {100, -201, 100, 0x10FF8040u}, b = {300, 200, 900, 0x30007F80u};
    const TexCoord ta = {0.0f, 1.0f}, tb = {1.0f, 0.0f};
    ClipVertex out;
    TexCoord tout;
    ClipEdgeAtZ(&out, &tout, &a, &ta, &b, &tb, 500);
    EXPECT_EQ(out.x, 200);
    EXPECT_EQ(out.y, 0);  // -0.5 truncates toward zero
    EXPECT_EQ(out.z, 500);
    EXPECT_EQ(out.colour, 0x207F7F60u);  // each channel by itself, truncated
    EXPECT_FLOAT_EQ(tout.u, 0.5f);
    EXPECT_FLOAT_EQ(tout.v, 0.5f);
    ClipEdgeAtZ(&out, &tout, &a, &ta, &b, &tb, 300);  // a quarter of the way
    EXPECT_EQ(out.x, 150);
    EXPECT_EQ(out.colour, 0x18BF7F50u);
    // An edge in a plane of constant depth gives its first corner.
    const ClipVertex flat = {900, 900, 100, 0};
    ClipEdgeAtZ(&out, &tout, &a, &ta, &flat, &tb, 500);
    EXPECT_EQ(out.x, 100);
    EXPECT_EQ(out.z, 500);
    // The output may be an input.
    ClipVertex same = a;
    TexCoord sameUv = ta;
    ClipEdgeAtZ(&same, &sameUv, &same, &sameUv, &b, &tb, 500);
    EXPECT_EQ(same.x, 200);
    EXPECT_EQ(same.colour, 0x207F7F60u);
}

}  // namespace
