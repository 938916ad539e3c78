// The checks of the saved forms of the weapons' stored pools: a saved game holds "HVSegment",
// "ClusterGrenade", "Grenade", "AMCapsule", "Projectile", "NuclearShock", "PlasmaBolt" and
// "BluePlasmaBolt", and a load refuses a form these types never write before it changes the level. The
// bounds are those the types' ticks keep their words within.
#include <cstring>

#include "objects/EffectTypes_local.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"

namespace {

constexpr int32_t kBig = kEffectWordLimit;
constexpr int32_t kUnitRow = 32768;  // the largest component of a 1.15 orientation row

int32_t Word(const uint8_t* in, size_t at) {
    return int32_t(uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 |
                   uint32_t(in[at + 3]) << 24);
}

bool Within(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

const char* Size(const uint8_t* in, size_t size, size_t want) {
    return in && size == want ? nullptr : "the saved state has the wrong size";
}

const char* Words(const uint8_t* in, size_t at, int count, int32_t low, int32_t high, const char* why) {
    for (int k = 0; k < count; ++k)
        if (!Within(Word(in, at + 4 * size_t(k)), low, high)) return why;
    return nullptr;
}

// ClusterGrenade and Projectile: velocity, lifetime, gravity, impact, trail countdown, last trail point,
// launch orientation, three sounds.
const char* CheckFlight(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kGrenadeFlightSavedSize)) return why;
    if (const char* why = Words(in, 0, 3, -kBig, kBig, "a velocity out of range")) return why;
    if (const char* why = Words(in, 12, 1, -kBig, kBig, "a lifetime out of range")) return why;
    if (const char* why = Words(in, 16, 1, -kBig, kBig, "a gravity out of range")) return why;
    if (const char* why = Words(in, 24, 1, 0, kBig, "a trail countdown out of range")) return why;
    return Words(in, 40, 9, -kUnitRow, kUnitRow, "a launch orientation that is no rotation");
}

const char* CheckGrenade(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kGrenadeSavedSize)) return why;
    return Words(in, 0, 3, -kBig, kBig, "a velocity out of range");
}

const char* CheckCapsule(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kAMCapsuleSavedSize)) return why;
    if (const char* why = Words(in, 0, 4, -kBig, kBig, "a velocity or gravity out of range")) return why;
    return Word(in, 20) == 0 ? nullptr : "a light's word that is not 0";
}

const char* CheckShock(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kNuclearShockSavedSize)) return why;
    return Words(in, 4, 1, -kBig, kBig, "a countdown out of range");
}

const char* CheckHVSegment(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kHVSegmentSavedSize)) return why;
    if (in[3] > 1 || in[7] > 1) return "an armed or touching flag that is neither 0 nor 1";
    if (in[4] || in[5] || in[6]) return "an unarmed segment that deals damage";
    return nullptr;
}

const char* CheckBolt(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kPlasmaBoltSavedSize)) return why;
    if (in[3] > 1) return "a light flag that is neither 0 nor 1";
    if (const char* why = Words(in, 12, 1, -kBig, kBig, "a speed out of range")) return why;
    return Word(in, 20) == 0 ? nullptr : "a light's word that is not 0";
}

}  // namespace

void RegisterWeaponSavedChecks() {
    SetSavedBlockCheck(ClusterGrenade_itfc, CheckFlight);
    SetSavedBlockCheck(Projectile_itfc, CheckFlight);
    SetSavedBlockCheck(Grenade_itfc, CheckGrenade);
    SetSavedBlockCheck(AMCapsule_itfc, CheckCapsule);
    SetSavedBlockCheck(NuclearShock_itfc, CheckShock);
    SetSavedBlockCheck(HVSegment_itfc, CheckHVSegment);
    SetSavedBlockCheck(PlasmaBolt_itfc, CheckBolt);
}
