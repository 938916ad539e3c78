// Fixed-point scalar mathematics: table trigonometry, divide, square roots, random numbers and small
// text helpers. Table loading lives in FixTables.cpp.
#include "core/FixMath.h"

#include <cmath>
#include <cstdint>

#include "core/FixMath_local.h"

int32_t FixSinPositive[kSinTableEntries];
int32_t FixSinNegative[kSinTableEntries];
int32_t FixAsinEntries[kAsinTableEntries];
int32_t FixAtanEntries[kAtanTableEntries];

namespace {

constexpr uint32_t kRandomSeed = 0x2D72C74A;
constexpr uint32_t kRandomFeedback = 0x1D872B41;

uint32_t RandomState1 = kRandomSeed;
uint32_t RandomState2 = kRandomSeed;
uint32_t Rand15State = 1;

// Maps a 16.16 angle onto 16384 steps per turn and folds it into -4096..12288 (a quarter turn is 4096).
inline int32_t ReduceAngle(int32_t angle) {
    // Bits 12 to 27 of angle * 163 (mod 2^32), read as a signed 16-bit number.
    uint32_t product = static_cast<uint32_t>(angle) * 163u;
    int32_t a = static_cast<int16_t>(static_cast<uint16_t>(product >> 12));
    if (a > 12288) a -= (a + 4095) & ~16383;
    if (a < -4096) a += (12287 - a) & ~16383;
    return a;
}

// Sine of a step in -4096..4096 from the quarter wave.
inline int32_t QuarterWave(int32_t a) {
    return a >= 0 ? FixSinPositive[a] : FixSinNegative[-a];
}

// Sine of a reduced step (-4096..12288): the second quarter mirrors the first.
inline int32_t SinOfReduced(int32_t a) {
    if (a > 4096) a = 8192 - a;
    return QuarterWave(a);
}

// Cosine of a reduced step: the sine a quarter turn further on.
inline int32_t CosOfReduced(int32_t a) {
    int32_t c = a + 4096;
    if (c >= 12289) c -= 16384;
    if (c > 4096) c = 8192 - c;
    return QuarterWave(c);
}

inline int32_t SaturateToInt32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

inline uint64_t Magnitude(int32_t v) {
    return v < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
}

// FixAtan of a 1.15 quotient doubled to 16.16; the doubling saturates so that a huge quotient stays a
// huge ratio of the same sign (and FixAtan turns it into a quarter turn).
inline int32_t AtanOfQuotient(int32_t a, int32_t b) {
    return FixAtan(SaturateToInt32(2 * static_cast<int64_t>(FixDiv(a, b))));
}

// Arc sine argument clamped to the table's domain -1.0..1.0.
inline int32_t ClampUnit(int32_t x) {
    return x > kFixOne ? kFixOne : (x < -kFixOne ? -kFixOne : x);
}

inline uint32_t StepGenerator(uint32_t state) {
    uint32_t next = state << 1;
    if (state & 0x80000000u) next ^= kRandomFeedback;
    return next;
}

}  // namespace

int32_t DecodeSinWord(uint32_t word, bool negate) {
    int32_t mantissa = static_cast<int32_t>(word << 15) >> 15;  // sign-extend bits 0-16
    if (negate) mantissa = -mantissa;
    uint32_t exponent = word >> 24;
    if (exponent < 16) return mantissa * 2;
    uint32_t shift = exponent - 16;
    return mantissa >> (shift > 31 ? 31 : shift);
}

int32_t FixSin(int32_t angle) {
    return SinOfReduced(ReduceAngle(angle));
}

int32_t FixCos(int32_t angle) {
    return CosOfReduced(ReduceAngle(angle));
}

void FixSinCos(int32_t angle, int32_t* sine, int32_t* cosine) {
    int32_t a = ReduceAngle(angle);
    *sine = SinOfReduced(a);
    *cosine = CosOfReduced(a);
}

int32_t FixAtan(int32_t ratio) {
    if (ratio >= 32 * kFixOne) return kFixQuarterTurn;
    // -32.0 itself saturates like +32.0: the table ends at ratio 32, and the negative side reads one
    // entry further out than the positive side.
    if (ratio <= -32 * kFixOne) return -kFixQuarterTurn;
    if (ratio >= 0) return FixAtanEntries[ratio >> 9];
    return -FixAtanEntries[((-ratio) >> 9) + 1];
}

int32_t FixAtan2Fast(int32_t y, int32_t x) {
    if (x > 0) return AtanOfQuotient(y, x);
    if (x < 0) {
        int32_t t = AtanOfQuotient(y, x);
        return y < 0 ? t - kFixHalfTurn : t + kFixHalfTurn;
    }
    if (y > 0) return 102943;
    if (y < 0) return -102943;
    return 0;
}

int32_t FixAtan2(int32_t y, int32_t x) {
    if (Magnitude(x) <= Magnitude(y)) {
        if (y == 0) return 0;  // and so x == 0
        int32_t t = AtanOfQuotient(x, y);
        if (y > 0) return 102943 - t;
        // y < 0: a steep vector below the x axis. With x < 0 the angle is given between 5/8 and 3/4 of
        // a turn, with x >= 0 as a negative angle.
        if (x < 0) return 308830 - t;
        return -kFixQuarterTurn - t;
    }
    int32_t t = AtanOfQuotient(y, x);
    if (x > 0) return t;
    return y < 0 ? t - kFixHalfTurn : t + kFixHalfTurn;
}

int32_t FixDiv(int32_t a, int32_t b) {
    if (b == 0) return a;
    // The quotient is (|a| << 16) / |b| >> 1. It is formed in 64 bits: a 32-bit shift would drop the
    // numerator's high bits for |a| >= 65536 and return a meaningless value; a quotient that does not
    // fit 31 bits saturates instead.
    uint64_t q = ((Magnitude(a) << 16) / Magnitude(b)) >> 1;
    if (q > 0x7fffffffu) q = 0x7fffffffu;
    int32_t r = static_cast<int32_t>(q);
    return ((a < 0) != (b < 0)) ? -r : r;
}

int32_t FixAsin(int32_t x) {
    x = ClampUnit(x);
    if (x >= 0) return static_cast<int32_t>((static_cast<int64_t>(FixAsinEntries[x >> 4]) * 6434) >> 8);
    // The product is negated before the (flooring) shift.
    return static_cast<int32_t>((-static_cast<int64_t>(FixAsinEntries[(-x) >> 4]) * 6434) >> 8);
}

int32_t FixAcos(int32_t x) {
    x = ClampUnit(x);
    if (x >= 0)
        return static_cast<int32_t>(((4096 - static_cast<int64_t>(FixAsinEntries[x >> 4])) * 6434) >> 8);
    return static_cast<int32_t>(((4096 + static_cast<int64_t>(FixAsinEntries[(-x) >> 4])) * 6434) >> 8);
}

int32_t FixSqrt(uint32_t v) {
    // floor(sqrt(v)). The double square root is correctly rounded and a 32-bit v is exact in a double;
    // sqrt of a non-square lies more than 1/(2 sqrt(v)) from the next integer, far beyond the rounding,
    // so truncation gives the same result as the digit-by-digit integer root, at a fraction of its cost.
    return static_cast<int32_t>(std::sqrt(static_cast<double>(v)));
}

int32_t FixInvSqrt(int32_t x, int32_t* root) {
    if (x >= kFixUnit15) {
        if (root) *root = x;
        return kFixUnit15;
    }
    if (x <= 0) {
        if (root) *root = 0;
        return 0;
    }
    // r = 1/sqrt(x) in 1.15 is the largest r with r * r * x <= 2^45, and root = x * r / 32768. The double
    // estimate is within a unit of r; the integer checks settle the last unit exactly.
    const uint64_t limit = uint64_t{1} << 45;
    const uint64_t ux = static_cast<uint64_t>(x);
    uint64_t r = static_cast<uint64_t>(std::sqrt(static_cast<double>(limit) / static_cast<double>(x)));
    while (r * r * ux > limit) --r;
    while ((r + 1) * (r + 1) * ux <= limit) ++r;
    if (root) *root = static_cast<int32_t>((ux * r) >> 15);
    return static_cast<int32_t>(r);
}

int32_t Random() {
    RandomState1 = StepGenerator(RandomState1);
    return static_cast<int32_t>(RandomState1);
}

float RandomInRange(float low, float high) {
    RandomState2 = StepGenerator(RandomState2);
    float u = static_cast<float>(Magnitude(static_cast<int32_t>(RandomState2))) * (1.0f / 2147483648.0f);
    return u * (high - low) + low;
}

int32_t Rand15() {
    Rand15State = Rand15State * 1103515245u + 12345u;
    return static_cast<int32_t>((Rand15State >> 16) & 0x7FFF);
}

void ResetRandomGenerators() {
    RandomState1 = kRandomSeed;
    RandomState2 = kRandomSeed;
    Rand15State = 1;
}

int32_t TruncateToInt32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t RoundToNearest(float x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483648.0f) return INT32_MAX;
    if (x <= -2147483648.0f) return INT32_MIN;
    int32_t i = static_cast<int32_t>(x);
    if (x > 0) return (x - static_cast<float>(i) > 0.5f) ? i + 1 : i;
    return (static_cast<float>(i) - x > 0.5f) ? i - 1 : i;
}

void StrLower(char* text) {
    if (!text) return;
    for (char* c = text; *c; ++c)
        if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
}

const char* FormatBits32(uint32_t value) {
    static char text[36];
    int o = 0;
    for (int bit = 31; bit >= 0; --bit) {
        text[o++] = (value >> bit) & 1u ? '1' : '0';
        if (bit == 24 || bit == 16 || bit == 8) text[o++] = '.';
    }
    text[o] = 0;
    return text;
}
