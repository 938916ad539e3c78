// The fixed-point tables, computed in double precision and rounded to the nearest integer.
//
// sintab (quarter wave): entry k = sin(k/4096 * pi/2) in 16.16, k = 0..4096, so the angle steps are a
//   sixteen-thousandth of a turn and entry 4096 is 1.0. The game folds every angle into this quarter.
//   Each word holds a signed 17-bit mantissa in bits 0-16 and an exponent in bits 24-31: for an exponent
//   e >= 16 the value is the mantissa shifted right by e - 16, below 16 it is the mantissa times 2. The
//   values 0..65535 are stored exactly as mantissa with e = 16; 1.0 (65536) does not fit 17 signed bits
//   and is stored as the mantissa 32768 with e = 0.
// asntab: entry k = asin(k/4096) in units of a quarter turn / 4096 (entry 4096 is 4096), k = 0..4096.
//   The game indexes it by a 16.16 argument shifted right by 4 and turns the entry into 16.16 radians by
//   * 6434 / 256 (~ (pi/2) * 65536 / 4096).
// atntab: entry k = atan(k/128) in 16.16 radians, k = 0..4096: a 16.16 ratio shifted right by 9 indexes
//   it, so it covers ratios 0..32.0 in steps of 1/128.
// divtab: entry k = 1/k in 16.16, k = 0..4096 (entry 0 holds the largest word). The game loads it but
//   computes nothing from it.
#include "tools/datakit/FPTables.h"

#include <cmath>

#include "tools/datakit/Bytes.h"

namespace datakit {

namespace {

constexpr int kEntries = 4097;
const double kPi = std::acos(-1.0);

int32_t RoundToInt(double v) {
    return static_cast<int32_t>(std::lround(v));
}

std::vector<uint8_t> WordsFile(uint32_t (*word)(int)) {
    Bytes b;
    for (int k = 0; k < kEntries; ++k) b.u32(word(k));
    return b.data();
}

}  // namespace

int32_t SinTableValue(int k) {
    return RoundToInt(65536.0 * std::sin(k / 4096.0 * kPi / 2.0));
}

int32_t AsinTableValue(int k) {
    return RoundToInt(std::asin(k / 4096.0) * 4096.0 / (kPi / 2.0));
}

int32_t AtanTableValue(int k) {
    return RoundToInt(65536.0 * std::atan(k / 128.0));
}

int32_t DivTableValue(int k) {
    return k == 0 ? 0x7fffffff : RoundToInt(65536.0 / k);
}

uint32_t EncodeSinWord(int32_t value) {
    const uint32_t mantissaMask = 0x1ffff;
    if (value >= -65536 && value <= 65535) return (static_cast<uint32_t>(value) & mantissaMask) | (16u << 24);
    // 65536 only: half of it with an exponent below 16 (the reader doubles it).
    return static_cast<uint32_t>(value / 2) & mantissaMask;
}

std::vector<uint8_t> SinTableFile() {
    return WordsFile([](int k) { return EncodeSinWord(SinTableValue(k)); });
}
std::vector<uint8_t> AsinTableFile() {
    return WordsFile([](int k) { return static_cast<uint32_t>(AsinTableValue(k)); });
}
std::vector<uint8_t> AtanTableFile() {
    return WordsFile([](int k) { return static_cast<uint32_t>(AtanTableValue(k)); });
}
std::vector<uint8_t> DivTableFile() {
    return WordsFile([](int k) { return static_cast<uint32_t>(DivTableValue(k)); });
}

bool WriteFPTables(const std::string& root) {
    const std::string dir = root + "/app/fptables/";
    return WriteFile(dir + "sintab", SinTableFile()) && WriteFile(dir + "asntab", AsinTableFile()) &&
           WriteFile(dir + "atntab", AtanTableFile()) && WriteFile(dir + "divtab", DivTableFile());
}

}  // namespace datakit
