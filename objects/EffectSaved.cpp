// The checks of the stored effects' saved forms: a saved game holds the pools "Explode1", "MExplode",
// "Missile", "Rocket", "MSmoke", "Smoky", "Fire1", "Dust", "Shrapnel" and "Firetail", and a load refuses
// a form that these types never write before it changes the level. The bounds leave room far beyond what
// a running level produces and keep every step of the effects' ticks within their words.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "objects/EffectTypes.h"
#include "objects/EffectTypes_local.h"
#include "objects/UnitSaved.h"

namespace {

constexpr int32_t kBig = kEffectWordLimit;

int32_t Word(const uint8_t* in, size_t at) {
    return int32_t(uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 |
                   uint32_t(in[at + 3]) << 24);
}

bool Within(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

const char* Size(const uint8_t* in, size_t size, size_t want) {
    return in && size == want ? nullptr : "the saved state has the wrong size";
}

const char* Velocity(const uint8_t* in, size_t at) {
    for (size_t k = 0; k < 3; ++k)
        if (!Within(Word(in, at + 4 * k), -kBig, kBig)) return "a velocity out of range";
    return nullptr;
}

const char* CheckExplode1(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, 4)) return why;
    return Within(Word(in, 0), 0, kBig) ? nullptr : "an age out of range";
}

const char* CheckMExplode(const uint8_t* in, size_t size) { return Size(in, size, 3); }

const char* CheckMSmoke(const uint8_t* in, size_t size) { return Size(in, size, 1); }

const char* CheckSmoky(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, 16)) return why;
    if (const char* why = Velocity(in, 0)) return why;
    return Within(Word(in, 12), 0, kBig) ? nullptr : "an age out of range";
}

const char* CheckDust(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, 20)) return why;
    if (const char* why = Velocity(in, 0)) return why;
    if (!Within(Word(in, 12), -kBig, kBig)) return "a life out of range";
    return Within(Word(in, 16), -kBig, kBig) ? nullptr : "a growth out of range";
}

const char* CheckFire1(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, kFire1SavedSize)) return why;
    if (!Within(Word(in, 0), 0, kBig) || !Within(Word(in, 4), -kBig, kBig)) return "an age or lifetime out of range";
    if (!Within(Word(in, 8), 0, kBig)) return "generations out of range";
    if (!Within(Word(in, 24), -kBig, kBig)) return "a rest length out of range";
    if (Word(in, 28) != 0 && Word(in, 28) != 1) return "a light flag that is neither 0 nor 1";
    return Word(in, 32) == 0 ? nullptr : "a light's word that is not 0";
}

const char* CheckShrapnel(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, 44)) return why;
    const int32_t resting = Word(in, 0);
    if (resting != 0 && resting != 1) return "a resting flag that is neither 0 nor 1";
    for (size_t at : {4u, 8u, 12u})
        if (!Within(Word(in, at), -kBig, kBig)) return "a countdown out of range";
    if (const char* why = Velocity(in, 16)) return why;
    for (size_t k = 0; k < 3; ++k) {
        float spin;
        const uint32_t bits = uint32_t(Word(in, 28 + 4 * k));
        std::memcpy(&spin, &bits, sizeof spin);
        if (!std::isfinite(spin) || std::fabs(spin) > float(kBig)) return "a spin out of range";
    }
    return nullptr;
}

const char* CheckFireTail(const uint8_t* in, size_t size) {
    if (const char* why = Size(in, size, 16)) return why;
    return Within(Word(in, 0), 0, kBig) ? nullptr : "an age out of range";
}

}  // namespace

void RegisterEffectSavedChecks() {
    SetSavedBlockCheck(Explode1_itfc, CheckExplode1);
    SetSavedBlockCheck(MExplode_itfc, CheckMExplode);
    SetSavedBlockCheck(MSmoke_itfc, CheckMSmoke);
    SetSavedBlockCheck(Smoky_itfc, CheckSmoky);
    SetSavedBlockCheck(Dust_itfc, CheckDust);
    SetSavedBlockCheck(Fire1_itfc, CheckFire1);
    SetSavedBlockCheck(Shrapnel_itfc, CheckShrapnel);
    SetSavedBlockCheck(FireTail_itfc, CheckFireTail);
    RegisterMissileSavedChecks();
}
