#include "platform/SoundFx.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/Rules.h"

SoundDesc FXSounds[kFXSoundCount];

const char* const FXSoundRuleNames[kFXSoundCount] = {
    "FX_ShieldHit",      "FX_StructureHit",   "FX_WaterHit",        "FX_ToggleTarget",  "FX_MissileWarn",
    "FX_FocusWarn",      "FX_LockTarget",     "FX_TargetLocked",    "FX_CannotFire",    "FX_TriggerClick",
    "FX_ActionFailed",   "FX_radiation1",     "FX_explo1",          "FX_AutoPilotOn",   "FX_AutoPilotOff",
    "FX_AmmoDepleted",   "FX_ObjAccomplished", "FX_ObjFailed",      "FX_ObjAdded",      "FX_MissionSuccess",
    "FX_MissionFailed",  "FX_IncomingMessage", "FX_ToggleLight",    "FX_Message",
};
static_assert(std::size(FXSoundRuleNames) == kFXSoundCount, "one rule name per FX sound");

namespace {

MainCameraPositionFn g_cameraPosition = nullptr;
MainCameraShakeFn g_cameraShake = nullptr;
const int32_t kZero[3] = {0, 0, 0};

// Fills a descriptor from a rule, or zeroes it when there is none.
int FillFromRule(SoundDesc* desc, const Rule* rule) {
    memset(desc, 0, sizeof *desc);
    if (!rule) return 0;
    snprintf(desc->file, sizeof desc->file, "%s", rule->info[0] ? rule->info[0] : "");
    double distance = rule->count > 0 ? rule->values[0] : 0.0;
    desc->minDistance = TruncateToInt32(distance);
    desc->maxDistance = TruncateToInt32(static_cast<double>(static_cast<float>(distance) * 10.0f));
    desc->lowFrequency = rule->count > 1 ? TruncateToInt32(rule->values[1]) : 0;
    desc->highFrequency = rule->count > 2 ? TruncateToInt32(rule->values[2]) : 0;
    return 1;
}

// A positional FX sound at the main view's camera.
void PlayPositionalFX(FXSound which) {
    SoundDesc* desc = FX(which);
    if (!PlaySampleFor(desc, kSoundPositional, 0, 0)) return;
    int32_t at[3];
    if (SoundCameraPosition(at)) dxgl_SetSoundPosition(desc, at, kZero, 0, 0);
}

// A plain FX sound placed at the main view's camera and brought to its volume at once.
void PlayPlainFX(SoundDesc* desc, int keep) {
    if (!PlaySampleForEx(desc, kSoundPlain, 0, 0, keep)) return;
    int32_t at[3];
    if (SoundCameraPosition(at)) dxgl_SetSoundPosition(desc, at, kZero, 0, 0);
    dxgl_UpdateSound3D(desc->buffer);
}

}  // namespace

bool SoundCameraPosition(int32_t out[3]) { return g_cameraPosition && g_cameraPosition(out); }

void SetSoundViewHooks(MainCameraPositionFn position, MainCameraShakeFn shake) {
    g_cameraPosition = position;
    g_cameraShake = shake;
}

int LookupSound(SoundDesc* desc, const char* format, ...) {
    char name[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(name, sizeof name, format, ap);
    va_end(ap);
    return FillFromRule(desc, FindRule(name));
}

int LookupRuleSoundV(const char* unitName, const char* rulePrefix, SoundDesc* desc, const char* format,
                     va_list args) {
    const Rule* rule;
    if (unitName) {
        rule = FindUnitRuleV(unitName, rulePrefix, format, args);
    } else {
        char name[256];
        vsnprintf(name, sizeof name, format, args);
        rule = FindRule(name);
    }
    return FillFromRule(desc, rule);
}

int LookupRuleSound(const char* unitName, const char* rulePrefix, SoundDesc* desc, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const int found = LookupRuleSoundV(unitName, rulePrefix, desc, format, ap);
    va_end(ap);
    return found;
}

void InitFXSounds() {
    for (int i = 0; i < kFXSoundCount; ++i) LookupSound(&FXSounds[i], "%s", FXSoundRuleNames[i]);
}

void PlayActionFailedSound() { PlayPositionalFX(FXSound::ActionFailed); }
void PlayTargetLockedSound() { PlayPositionalFX(FXSound::TargetLocked); }
void PlayCannotFireSound() { PlayPositionalFX(FXSound::CannotFire); }
void PlayToggleLightSound() { PlayPositionalFX(FXSound::ToggleLight); }
void PlayTriggerClickSound() { PlayPositionalFX(FXSound::TriggerClick); }
void PlayRadiationSound() { PlayPositionalFX(FXSound::Radiation1); }

void PlayAmmoDepletedSound() { PlayPlainFX(FX(FXSound::AmmoDepleted), 0); }
void PlayIncomingMessageSound() { PlayPlainFX(FX(FXSound::IncomingMessage), 0); }

void PlayObjectiveSound(int kind) {
    static constexpr FXSound kKinds[] = {FXSound::ObjAccomplished, FXSound::ObjFailed, FXSound::ObjAdded};
    if (kind < 0 || kind >= static_cast<int>(std::size(kKinds))) return;
    PlayPlainFX(FX(kKinds[kind]), 0);
}

void PlayMissionEndSound(int kind) {
    static constexpr FXSound kKinds[] = {FXSound::MissionSuccess, FXSound::MissionFailed};
    if (kind < 0 || kind >= static_cast<int>(std::size(kKinds))) return;
    PlayPlainFX(FX(kKinds[kind]), 0);
}

void PlayMessageSound(const char* file) {
    SoundDesc* desc = FX(FXSound::Message);
    if (dxgl_DescSound(desc)) dxgl_FreeSound(&desc->buffer);
    LookupSound(desc, "FX_Message");
    // The name is copied as it is: a '%' in a file name is part of the name, not a format.
    snprintf(desc->file, sizeof desc->file, "%s", file ? file : "");
    PlayPlainFX(desc, 1);
}

void CameraShakeByDistance(const int32_t point[3], int a, int b, float strength, int32_t range) {
    int32_t eye[3];
    if (!g_cameraShake || !SoundCameraPosition(eye)) return;
    double dx = static_cast<double>(point[0]) - eye[0], dy = static_cast<double>(point[1]) - eye[1],
           dz = static_cast<double>(point[2]) - eye[2];
    double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (d < range) g_cameraShake(a, b, static_cast<float>(strength * (1.0 - d / range)));
}
