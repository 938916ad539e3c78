// What the fixed-point modules share: the lookup arrays the table loader fills.
#pragma once

#include <cstdint>

#include "core/FixMath.h"

// Quarter-wave sine, decoded from the sine table's words: FixSinPositive[k] is the entry's value,
// FixSinNegative[k] the value of its negated mantissa (what a negative angle reads). Zero until loaded.
extern int32_t FixSinPositive[kSinTableEntries];
extern int32_t FixSinNegative[kSinTableEntries];
// Arc sine entries in quarter-turn/4096 units and arc tangent entries in 16.16 radians.
extern int32_t FixAsinEntries[kAsinTableEntries];
extern int32_t FixAtanEntries[kAtanTableEntries];

// Value of a sine table word: bits 0-16 a signed mantissa, bits 24-31 an exponent e; the value is the
// mantissa shifted right by e - 16 when e >= 16, else the mantissa times 2. negate flips the mantissa's
// sign before the shift.
int32_t DecodeSinWord(uint32_t word, bool negate);
