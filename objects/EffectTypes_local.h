// What the effect types' files share.
#pragma once

// The checks and the unit lister of the missiles' and rockets' saved forms (objects/Missiles.cpp).
void RegisterMissileSavedChecks();

#include <cstdint>

// The ages, lives and timers of the stored effects stay within this many ticks either way: the checks of
// their saved forms hold them to it, and the ticks count no further, so a form the game writes is one a
// load accepts.
constexpr int32_t kEffectWordLimit = 1 << 24;
inline int32_t EffectCount(int64_t v) {
    return v > kEffectWordLimit ? kEffectWordLimit : (v < -kEffectWordLimit ? -kEffectWordLimit : static_cast<int32_t>(v));
}
