// Ambient sound sources of a level (surf, wind, machinery): each is made from a rule and either stands
// at a fixed map position or follows the main camera at ground level.
#pragma once

#include <cstdint>

#include "platform/Sound.h"

struct SceneryFx {
    char name[256];  // the rule it was made from
    uint8_t looped;  // the rule carries the text "LOOPED"
    uint8_t fixed;   // the rule has at least four values: x and z in tiles are values 2 and 3
    uint8_t spare[2];
    int32_t position[3];  // 16.16 world units; y is the ground below
    SoundDesc sound;
};

constexpr int kMaxSceneryFxs = 32;
extern SceneryFx* SceneryFxTable[kMaxSceneryFxs];
extern int SceneryFxCount;

// Creates, starts and registers a source from the rule of that name (fatal when the rule is missing or
// 32 sources exist).
SceneryFx* CreateSceneryFx(const char* ruleName);
// Unregisters a source, releases its sound while that still plays and frees it; one not in the table
// is left alone.
void DeleteSceneryFx(SceneryFx* fx);
// The source made from exactly that rule name, or null.
SceneryFx* NamedSceneryFx(const char* name);
// Moves the sources that follow the camera, and every source's sound.
void UpdateSceneryFxs();

// The terrain's lower ground height at a position (16.16 world units), installed by the terrain
// module; until it is, a source keeps the height it was given.
using GroundHeightFn = int32_t (*)(int32_t x, int32_t z);
void SetSceneryFxGround(GroundHeightFn ground);
