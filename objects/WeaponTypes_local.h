// What the weapon types' files share (objects/WeaponTypes.h).
#pragma once

#include <cstdint>

#include "objects/EffectTypes_local.h"

struct construct;
struct PointLight;
struct SavedWords;
struct SoundDesc;

namespace weapons {

inline int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}
// v + d held within the words the saved forms accept (kEffectWordLimit either way).
inline int32_t Bounded(int64_t v) { return EffectCount(v); }
// A countdown step: the word drops by one (not below -kEffectWordLimit); answers the value before.
inline int32_t CountDown(int32_t* word) {
    const int32_t c = *word;
    *word = EffectCount(int64_t(c) - 1);
    return c;
}

// The first value of a global rule whose name is formatted with the type name; a missing rule is fatal.
float RuleValue(const char* format, const char* name);

// A sound descriptor in a saved form as Bullet's form keeps it: the file name (64 bytes), its five
// words and a zero word where a playing sound would be named. Read back, the 88 bytes are skipped: a
// projectile keeps its own sounds.
void WalkSavedSound(SavedWords& w, SoundDesc* desc);
// A word that holds a pointer in memory: written 0, not read.
void WalkPointerWord(SavedWords& w);

// The one light the object file just read staged, taken over (the reader's clean-up leaves it); any
// other number of staged lights ends the program with the message.
PointLight* TakeStagedLight(const char* message);
// Enters / removes the light of an object from the active list as its flag says; the flag follows.
void LightIn(uint8_t* flag, PointLight* light);
void LightOut(uint8_t* flag, PointLight* light);

// How a decal is laid onto the ground under it.
enum class Drape { SplashOnGround, SplashOnTop, Wave, Trail };
// Rewrites the decal's first detail-level geometry so that each point lies on the terrain below it.
void DrapeDecal(construct* con, Drape how);

}  // namespace weapons
