// Fixed-point scalar mathematics: trigonometry from the tables loaded at start-up, the arc tangent over
// the full circle, the fixed-point divide, integer and reciprocal square roots, the two pseudo-random
// generators, rounding and saturating truncation, lower-casing and a bit-string formatter.
//
// Units: angles are 16.16 radians (a full turn is 411774); sines and cosines are 16.16 (65536 is 1.0);
// arc tangent ratios and arc sine arguments are 16.16; FixDiv and FixInvSqrt work in 1.15 (32768 is 1.0).
#pragma once

#include <cstdint>

constexpr int32_t kFixFullTurn = 411774;     // 2 pi in 16.16 radians
constexpr int32_t kFixHalfTurn = 205887;     // pi
constexpr int32_t kFixQuarterTurn = 102944;  // pi / 2 (some results use 102943)
constexpr int32_t kFixOne = 65536;           // 1.0 in 16.16
constexpr int32_t kFixUnit15 = 32768;        // 1.0 in 1.15

// The four table files, read from the data tree (or the package) by LoadFPTables.
constexpr const char* kSinTablePath = "app\\fptables\\sintab";
constexpr const char* kAsinTablePath = "app\\fptables\\asntab";
constexpr const char* kAtanTablePath = "app\\fptables\\atntab";
constexpr const char* kDivTablePath = "app\\fptables\\divtab";

// Entries of the tables: the quarter-wave sine, the arc sine over 0..1.0 and the arc tangent over
// ratios 0..32.0 all hold 4097 words (both ends included). The div table holds any whole number of words.
constexpr int kSinTableEntries = 4097;
constexpr int kAsinTableEntries = 4097;
constexpr int kAtanTableEntries = 4097;

// Sine of a 16.16 angle, in 16.16.
int32_t FixSin(int32_t angle);
// Cosine of a 16.16 angle, in 16.16.
int32_t FixCos(int32_t angle);
// Sine and cosine of one angle from a single reduction.
void FixSinCos(int32_t angle, int32_t* sine, int32_t* cosine);

// Arc tangent of a 16.16 ratio, in 16.16 radians; ratios of +-32.0 and beyond give +-102944.
int32_t FixAtan(int32_t ratio);
// Full-circle angle of the vector (x, y), dividing the smaller magnitude by the larger.
int32_t FixAtan2(int32_t y, int32_t x);
// Cheaper full-circle angle of (x, y): always divides y by x, so steep vectors saturate at a quarter turn.
int32_t FixAtan2Fast(int32_t y, int32_t x);

// a / b in 1.15 (b = 0 returns a). Quotients too large for 32 bits saturate at +-0x7fffffff.
int32_t FixDiv(int32_t a, int32_t b);

// Arc sine and arc cosine of a 16.16 argument (65536 is 1.0), in 16.16 radians; arguments beyond +-1.0
// are taken as +-1.0.
int32_t FixAsin(int32_t x);
int32_t FixAcos(int32_t x);

// floor(sqrt(v)) for every 32-bit unsigned v (callers pass non-negative int32 values).
int32_t FixSqrt(uint32_t v);
// 1 / sqrt(x) in 1.15 for a 1.15 x below 1.0, rounded down (Normalise asks 8192..32767, giving
// 32768..65536); *root receives sqrt(x) in 1.15 (x * result / 32768, rounded down). x >= 32768 gives
// 32768 with *root = x; x <= 0 gives 0 with *root = 0. root may be null.
int32_t FixInvSqrt(int32_t x, int32_t* root);

// Next value of the first generator (seeded with 0x2D72C74A at start-up).
int32_t Random();
// A float between low and high from the second generator (same seed, its own state).
float RandomInRange(float low, float high);
// A value from 0 to 32767 of a third, linear congruential generator of our own (seed 1 at start-up): the
// small generator that effects draw their jitter from.
int32_t Rand15();
// The three generators back to their start-up seeds (tests that need a known sequence).
void ResetRandomGenerators();

// Nearest int32 to x; halves round toward zero (2.5 gives 2, -2.5 gives -2). Out-of-range values
// saturate and NaN gives 0.
int32_t RoundToNearest(float x);
// A value truncated toward zero, held to the int32 range (NaN gives 0).
int32_t TruncateToInt32(double v);

// Lower-cases 'A' to 'Z' of a text in place; other bytes are left as they are. Null is ignored.
void StrLower(char* text);

// The 32 bits of value as '0'/'1', most significant first, with '.' after bits 24, 16 and 8 (35
// characters). The text lives in one static buffer that the next call overwrites.
const char* FormatBits32(uint32_t value);

// Loads the four tables (fatal when a file is missing or has the wrong size).
void LoadFPTables();
// Frees every loaded table and clears its pointer; safe to call when nothing is loaded.
void FreeFPTables();
// True when the three tables the trigonometry reads are loaded.
bool FPTablesLoaded();
