// The movie camera: the free-flying camera driven by the player's control records like a unit. It flies
// with thrust, turns with the look axes, fires test shots from a projectile thrower, drops test waves,
// edits the units of an action unit it locks, and while record/replay is active records and plays paths
// of key frames. Its overlay prints its state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Itfc.h"

constexpr int kMovieKeyFrames = 49;

// One key frame of a path.
struct MovieKeyFrame {
    int32_t orient[9];  // 1.15
    int32_t pos[3];     // 16.16
    int32_t frame;      // the record/replay frame it was taken at
};

// The saved form that GETITFCDATA hands out and SETITFCDATA takes (little-endian, no pointers): the
// flight state, damage, state, maxima, gauges, the key frames and the composite flag, then the weapon's
// saved form. A record/replay segment keeps it as its data copy; the key frames are written into it in
// place at these offsets while a path is recorded.
constexpr size_t kMovieSavedKeyCount = 124;
constexpr size_t kMovieSavedKeyFrames = kMovieSavedKeyCount + 4;
constexpr size_t kMovieSavedKeyFrameSize = 13 * 4;
constexpr size_t kMovieSavedComposite = kMovieSavedKeyFrames + kMovieKeyFrames * kMovieSavedKeyFrameSize;
constexpr size_t kMovieSavedWeapon = kMovieSavedComposite + 4;

uintptr_t MovieCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg);
// The size of the saved form.
size_t MovieCameraSavedSize();
// Null when a saved form may be taken over, else why not.
const char* MovieCamera_checkSaved(const uint8_t* block, size_t size);
// Destroys every test wave the movie cameras dropped (level teardown).
void FreeMovieCameraWaves();
// The test waves standing in the level.
int MovieCameraWaveCount();
