// The game's sound effects: sound descriptors filled from sound rules, the fixed set of interface and
// event sounds looked up at each level start and played at the player's view, and camera shakes that
// fade with distance.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "platform/Sound.h"

// The interface and event sounds, in the order they are looked up.
enum class FXSound {
    ShieldHit, StructureHit, WaterHit, ToggleTarget, MissileWarn, FocusWarn, LockTarget, TargetLocked,
    CannotFire, TriggerClick, ActionFailed, Radiation1, Explo1, AutoPilotOn, AutoPilotOff, AmmoDepleted,
    ObjAccomplished, ObjFailed, ObjAdded, MissionSuccess, MissionFailed, IncomingMessage, ToggleLight,
    Message,
    Count
};
constexpr int kFXSoundCount = static_cast<int>(FXSound::Count);
extern SoundDesc FXSounds[kFXSoundCount];
// The rule name of each FX sound ("FX_ShieldHit", ...).
extern const char* const FXSoundRuleNames[kFXSoundCount];
inline SoundDesc* FX(FXSound s) { return &FXSounds[static_cast<int>(s)]; }

// Fills a descriptor from the global sound rule of a printf-formatted name: its first text is the wave
// file, its values the distance, the low and the high frequency. A missing rule zeroes the descriptor
// and returns 0.
int LookupSound(SoundDesc* desc, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The same in a unit's rules ("<unit name>_<key>", else "<rule prefix>_<key>"); without a unit name,
// in the global rules.
int LookupRuleSound(const char* unitName, const char* rulePrefix, SoundDesc* desc, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int LookupRuleSoundV(const char* unitName, const char* rulePrefix, SoundDesc* desc, const char* format,
                     va_list args);

// Looks up the FX sounds in table order; called when a level is built.
void InitFXSounds();

// Positional sounds at the main view's camera.
void PlayActionFailedSound();
void PlayTargetLockedSound();
void PlayCannotFireSound();
void PlayToggleLightSound();
void PlayTriggerClickSound();
void PlayRadiationSound();
// Plain sounds at the main view's camera.
void PlayAmmoDepletedSound();
void PlayIncomingMessageSound();
void PlayObjectiveSound(int kind);   // 0 accomplished, 1 failed, 2 added; others play nothing
void PlayMissionEndSound(int kind);  // 0 success, 1 failure; others play nothing
// Plays a message's own wave file with the "FX_Message" sound's settings.
void PlayMessageSound(const char* file);

// Starts a camera shake on the main view, scaled by 1 - distance / range, when the point is nearer than
// range (16.16 world units) to its camera.
void CameraShakeByDistance(const int32_t point[3], int a, int b, float strength, int32_t range);

// What the sound effects need of the views: the main view's camera position (false while no main view
// is active) and its camera shake. The view module installs them; until then the effects that need a
// place are not placed (positional ones stay silent) and nothing shakes.
using MainCameraPositionFn = bool (*)(int32_t position[3]);
using MainCameraShakeFn = void (*)(int a, int b, float strength);
void SetSoundViewHooks(MainCameraPositionFn position, MainCameraShakeFn shake);
// The main view's camera position through the hook; false while there is none.
bool SoundCameraPosition(int32_t position[3]);
