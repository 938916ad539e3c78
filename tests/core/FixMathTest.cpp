// Scalar fixed-point mathematics against double precision, and its edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/FixMath.h"
#include "support/FPTables.h"

namespace {

const double kPi = std::acos(-1.0);

class FixMathTest : public ::testing::Test {
protected:
    void SetUp() override { kvtest::EnsureFPTables(); }
};

// 16.16 radians of an angle in radians.
double Fix(double v) {
    return v * 65536.0;
}

// The angle reduction maps 411705.4 units (16384 * 4096 / 163) onto a turn, a little less than the true
// 411774, and truncates to 16384 steps: an angle is off by at most one step plus the mapping's drift,
// which grows with the angle's size.
double SinCosTolerance(int32_t angle) {
    const double step = 2 * kPi / 16384;
    const double drift = std::fabs(angle / 65536.0) * (163.0 * 411774.0 / (4096.0 * 16384.0) - 1.0);
    return Fix(step + drift) + 2;
}

TEST_F(FixMathTest, SineAndCosineFollowDoublePrecisionOverTwoTurnsEachWay) {
    for (int32_t angle = -2 * kFixFullTurn; angle <= 2 * kFixFullTurn; angle += 97) {
        double radians = angle / 65536.0;
        double tol = SinCosTolerance(angle);
        ASSERT_NEAR(FixSin(angle), Fix(std::sin(radians)), tol) << "angle " << angle;
        ASSERT_NEAR(FixCos(angle), Fix(std::cos(radians)), tol) << "angle " << angle;
        int32_t s, c;
        FixSinCos(angle, &s, &c);
        ASSERT_EQ(s, FixSin(angle));
        ASSERT_EQ(c, FixCos(angle));
    }
}

TEST_F(FixMathTest, SineAndCosineAtTheTableEnds) {
    EXPECT_EQ(FixSin(0), 0);
    EXPECT_EQ(FixSin(kFixQuarterTurn), 65536);
    EXPECT_EQ(FixCos(0), FixSin(kFixQuarterTurn));
    EXPECT_EQ(FixSin(-kFixQuarterTurn), -65536);
    EXPECT_EQ(FixCos(kFixHalfTurn), -65536);
    // Two full turns land a few steps past 0 because of the mapping's rounding.
    EXPECT_NEAR(FixSin(2 * kFixFullTurn), 0, 10 * Fix(2 * kPi / 16384));
    EXPECT_NEAR(FixCos(2 * kFixFullTurn), 65536, 2);
}

// The reduction floors to 16384 steps a turn, so a and -a may land one step (26 units) apart; a sign or
// quadrant mistake would be off by far more.
TEST_F(FixMathTest, SineIsOddAndCosineEvenInEveryQuadrant) {
    const int32_t angles[] = {1,      5000,   51472,  102943, 150000, 205887,
                              250000, 308830, 400000, 411773, 1000000};
    for (int32_t a : angles) {
        EXPECT_NEAR(FixSin(-a), -FixSin(a), 26) << a;
        EXPECT_NEAR(FixCos(-a), FixCos(a), 26) << a;
    }
    // Angles whose product with 163 is a whole number of steps are exactly symmetric.
    for (int32_t a = 4096; a < 2 * kFixFullTurn; a += 4096 * 7) {
        EXPECT_EQ(FixSin(-a), -FixSin(a)) << a;
        EXPECT_EQ(FixCos(-a), FixCos(a)) << a;
    }
}

TEST_F(FixMathTest, QuadrantSigns) {
    struct Case {
        int32_t angle;
        int sinSign, cosSign;
    };
    const Case cases[] = {
        {51472, 1, 1}, {154415, 1, -1}, {257359, -1, -1}, {360302, -1, 1}, {-51472, -1, 1}, {-154415, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FixSin(c.angle) > 0 ? 1 : -1, c.sinSign) << c.angle;
        EXPECT_EQ(FixCos(c.angle) > 0 ? 1 : -1, c.cosSign) << c.angle;
    }
}

// atan has a slope of at most 1 and the table steps by 1/128 of a ratio: within 1/128 rad (512 units).
TEST_F(FixMathTest, ArcTangentFollowsDoublePrecisionUpToRatio32) {
    for (int32_t r = -32 * 65536 + 1; r < 32 * 65536; r += 331) {
        ASSERT_NEAR(FixAtan(r), Fix(std::atan(r / 65536.0)), 513) << "ratio " << r;
    }
}

TEST_F(FixMathTest, ArcTangentSaturatesFrom32On) {
    const int32_t big[] = {32 * 65536, 32 * 65536 + 1, 1000 * 65536, INT32_MAX};
    for (int32_t r : big) {
        EXPECT_EQ(FixAtan(r), 102944) << r;
        EXPECT_EQ(FixAtan(r == INT32_MAX ? INT32_MIN : -r), -102944) << r;
    }
    EXPECT_EQ(FixAtan(0), 0);
    // Just inside -32.0 the negative side reads the last entry.
    EXPECT_NEAR(FixAtan(-32 * 65536 + 1), -Fix(std::atan(32.0)), 2);
}

TEST_F(FixMathTest, Atan2CoversTheFullCircleAtEveryScale) {
    // Includes world-scale vectors whose components exceed 16 bits.
    const double radii[] = {50.0, 30000.0, 5.0e6, 1.0e9};
    for (double radius : radii) {
        for (int i = 0; i < 720; ++i) {
            double theta = -kPi + i * (2 * kPi / 720) + 0.001;
            int32_t x = static_cast<int32_t>(std::lround(radius * std::cos(theta)));
            int32_t y = static_cast<int32_t>(std::lround(radius * std::sin(theta)));
            double want = std::atan2(static_cast<double>(y), static_cast<double>(x));
            double got = FixAtan2(y, x) / 65536.0;
            double diff = std::remainder(got - want, 2 * kPi);
            ASSERT_LT(std::fabs(diff), 600 / 65536.0) << "radius " << radius << " theta " << theta;
            // The fast form divides y by x; it is accurate while |y/x| stays below 32.
            if (std::fabs(static_cast<double>(y)) < 31.0 * std::fabs(static_cast<double>(x))) {
                double fast = std::remainder(FixAtan2Fast(y, x) / 65536.0 - want, 2 * kPi);
                ASSERT_LT(std::fabs(fast), 600 / 65536.0) << "radius " << radius << " theta " << theta;
            }
        }
    }
}

TEST_F(FixMathTest, Atan2EdgeCases) {
    struct Case {
        int32_t y, x;
        int32_t want;
    };
    const Case exact[] = {
        {0, 0, 0},         // both forms
        {5, 0, 102943},    // straight up
        {-5, 0, -102944},  // straight down (steep branch with x >= 0)
        {0, 7, 0},         // along +x
    };
    for (const Case& c : exact) EXPECT_EQ(FixAtan2(c.y, c.x), c.want) << c.y << "," << c.x;
    EXPECT_EQ(FixAtan2Fast(0, 0), 0);
    EXPECT_EQ(FixAtan2Fast(5, 0), 102943);
    EXPECT_EQ(FixAtan2Fast(-5, 0), -102943);
    // Steep vectors saturate at a quarter turn in the fast form (ratio 32 and more), also when the
    // doubled quotient would not fit 32 bits.
    EXPECT_EQ(FixAtan2Fast(1000, 1), 102944);
    EXPECT_EQ(FixAtan2Fast(INT32_MAX, 1), 102944);
    EXPECT_EQ(FixAtan2Fast(-INT32_MAX, 1), -102944);
    EXPECT_EQ(FixAtan2Fast(1000, -1), 102943);
    // Steep and below the x axis on the left: given between 5/8 and 3/4 of a turn.
    int32_t a = FixAtan2(-1000, -10);
    EXPECT_GT(a, 411774 * 5 / 8);
    EXPECT_LE(a, 308831);
}

TEST_F(FixMathTest, DivideInOneFifteen) {
    struct Case {
        int32_t a, b, want;
    };
    const Case cases[] = {
        {1, 0, 1},  // division by 0 returns the numerator
        {-7, 0, -7},
        {-16384, 32768, -16384},
        {16384, 32768, 16384},
        {1, 3, 10922},
        {-1, 3, -10922},  // truncates toward zero
        {1, -3, -10922},
        {-1, -3, 10922},
        {5, -2, -81920},
        {0, -9, 0},
        {65536, 65536, 32768},  // would lose the numerator's high bits in 32 bits
        {100000, 200000, 16384},
        {-3000000, 1000000, -98304},
        {INT32_MAX, 1, 0x7fffffff},  // saturates
        {INT32_MIN, 1, -0x7fffffff},
        {INT32_MIN, -1, 0x7fffffff},
        {INT32_MIN, INT32_MIN, 32768},
    };
    for (const Case& c : cases) EXPECT_EQ(FixDiv(c.a, c.b), c.want) << c.a << " / " << c.b;
}

// The table steps by 1/4096 of the argument, so the error is the arc sine's rise over one step (large
// next to 1.0, where the slope is unbounded) plus half a table unit (25 units of 16.16).
double AsinTolerance(int32_t x) {
    double lo = (std::abs(x) >> 4) / 4096.0;
    double hi = std::min(1.0, lo + 1.0 / 4096.0);
    return Fix(std::asin(hi) - std::asin(lo)) + 26;
}

TEST_F(FixMathTest, ArcSineAndArcCosineFollowDoublePrecision) {
    for (int32_t x = -65536; x <= 65536; x += 7) {
        double v = x / 65536.0;
        ASSERT_NEAR(FixAsin(x), Fix(std::asin(v)), AsinTolerance(x)) << x;
        ASSERT_NEAR(FixAcos(x), Fix(std::acos(v)), AsinTolerance(x)) << x;
        // Odd up to the flooring shift of the negated product.
        int32_t sum = FixAsin(x) + FixAsin(-x);
        ASSERT_TRUE(sum == 0 || sum == -1 || sum == 1) << x;
    }
}

TEST_F(FixMathTest, ArcSineArgumentsBeyondOneAreClampedToTheTable) {
    const int32_t above[] = {65536, 65537, 65551, 65552, 70000, 1 << 30, INT32_MAX};
    for (int32_t x : above) {
        EXPECT_EQ(FixAsin(x), 102944) << x;
        EXPECT_EQ(FixAcos(x), 0) << x;
        EXPECT_EQ(FixAsin(x == INT32_MAX ? INT32_MIN : -x), -102944) << x;
        EXPECT_EQ(FixAcos(x == INT32_MAX ? INT32_MIN : -x), 205888) << x;
    }
}

TEST_F(FixMathTest, SquareRootIsTheFloorForEveryWidth) {
    struct Case {
        uint32_t v;
        int32_t want;
    };
    const Case cases[] = {{0, 0},
                          {1, 1},
                          {2, 1},
                          {3, 1},
                          {4, 2},
                          {17, 4},
                          {65535, 255},
                          {65536, 256},
                          {2147483647u, 46340},
                          {2147483648u, 46340},
                          {4294967295u, 65535}};
    for (const Case& c : cases) EXPECT_EQ(FixSqrt(c.v), c.want) << c.v;
    // Around every square: k*k - 1, k*k and k*k + 1.
    for (uint32_t k = 1; k < 65536; ++k) {
        uint32_t sq = k * k;
        ASSERT_EQ(FixSqrt(sq), static_cast<int32_t>(k));
        ASSERT_EQ(FixSqrt(sq - 1), static_cast<int32_t>(k - 1));
        ASSERT_EQ(FixSqrt(sq + 1), static_cast<int32_t>(k)) << k;
    }
}

TEST_F(FixMathTest, InverseSquareRootOverItsRange) {
    for (int32_t x = 8192; x < 32768; ++x) {
        int32_t root = -1;
        int32_t r = FixInvSqrt(x, &root);
        double exact = 32768.0 / std::sqrt(x / 32768.0);
        ASSERT_NEAR(r, exact, 2) << x;
        ASSERT_NEAR(root, 32768.0 * std::sqrt(x / 32768.0), 2) << x;
    }
    int32_t root = 0;
    EXPECT_NEAR(FixInvSqrt(16384, &root), 46340, 1);
    EXPECT_NEAR(root, 23170, 1);
}

TEST_F(FixMathTest, InverseSquareRootOutsideItsRange) {
    int32_t root = -1;
    EXPECT_EQ(FixInvSqrt(32768, &root), 32768);
    EXPECT_EQ(root, 32768);
    EXPECT_EQ(FixInvSqrt(100000, &root), 32768);
    EXPECT_EQ(root, 100000);
    EXPECT_EQ(FixInvSqrt(0, &root), 0);
    EXPECT_EQ(root, 0);
    EXPECT_EQ(FixInvSqrt(-5, nullptr), 0);
    // Below 0.25 the root is still exact to a unit (the reciprocal exceeds 2.0).
    const int32_t small[] = {1, 2, 100, 2048, 8191};
    for (int32_t x : small) {
        EXPECT_NEAR(FixInvSqrt(x, &root), 32768.0 / std::sqrt(x / 32768.0), 1) << x;
        EXPECT_NEAR(root, 32768.0 * std::sqrt(x / 32768.0), 1) << x;
    }
}

TEST(FixRandom, FirstValuesFromTheSeed) {
    ResetRandomGenerators();
    EXPECT_EQ(static_cast<uint32_t>(Random()), 0x5AE58E94u);
    // The second step has the old top bit clear as well; the third shifts out a set bit and folds the
    // feedback in.
    EXPECT_EQ(static_cast<uint32_t>(Random()), 0xB5CB1D28u);
    EXPECT_EQ(static_cast<uint32_t>(Random()), (0xB5CB1D28u << 1) ^ 0x1D872B41u);
}

TEST(FixRandom, TheTwoGeneratorsAreIndependent) {
    ResetRandomGenerators();
    int32_t plain[5];
    for (int32_t& v : plain) v = Random();
    ResetRandomGenerators();
    // The second generator's first value: 0x5AE58E94 / 2^31 of the range.
    EXPECT_NEAR(RandomInRange(0.0f, 10.0f), 10.0 * 0x5AE58E94u / 2147483648.0, 1e-4);
    for (int i = 0; i < 5; ++i) {
        RandomInRange(-1.0f, 1.0f);
        EXPECT_EQ(Random(), plain[i]) << i;
    }
}

TEST(FixRandom, RangeValuesStayBetweenTheBounds) {
    ResetRandomGenerators();
    for (int i = 0; i < 10000; ++i) {
        float v = RandomInRange(-3.0f, 5.0f);
        ASSERT_GE(v, -3.0f);
        ASSERT_LE(v, 5.0f);
        float w = RandomInRange(5.0f, -3.0f);  // reversed bounds
        ASSERT_GE(w, -3.0f);
        ASSERT_LE(w, 5.0f);
    }
}

TEST(FixRound, HalvesRoundTowardZero) {
    struct Case {
        float x;
        int32_t want;
    };
    const Case cases[] = {
        {0.0f, 0},   {0.5f, 0},          {0.51f, 1},          {1.6f, 2},   {2.5f, 2},
        {3.0f, 3},   {-0.5f, 0},         {-0.51f, -1},        {-1.5f, -1}, {-2.5f, -2},
        {-2.6f, -3}, {1e10f, INT32_MAX}, {-1e10f, INT32_MIN}, {NAN, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(RoundToNearest(c.x), c.want) << c.x;
}

TEST(FixText, StrLowerChangesOnlyCapitals) {
    char text[] = "Hello WORLD_09 @[`{\xC4\xE4";
    StrLower(text);
    EXPECT_STREQ(text, "hello world_09 @[`{\xC4\xE4");
    StrLower(nullptr);
}

TEST(FixText, FormatBits32) {
    struct Case {
        uint32_t v;
        const char* want;
    };
    const Case cases[] = {
        {1, "00000000.00000000.00000000.00000001"},
        {0x80000000u, "10000000.00000000.00000000.00000000"},
        {0x01FF00A5u, "00000001.11111111.00000000.10100101"},
        {0xFFFFFFFFu, "11111111.11111111.11111111.11111111"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(FormatBits32(c.v), c.want);
        EXPECT_EQ(strlen(FormatBits32(c.v)), 35u);
    }
}

}  // namespace
