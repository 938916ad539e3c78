// The scenery light level (0..65280, 8.8 fixed point) and its rate, sent to the scenery-lighting pool,
// and the scenery height-field files.
#pragma once

#include <cstdint>

struct hfield;

// The level and the rate per tick; both are reset by the level.
extern int32_t SceneryLightingLevel;
extern int32_t SceneryLightingRate;
// Set to 1 by whatever moves or recolours a light, so that the terrain lighting is redone next frame.
extern int32_t LightStamp;

// Moves the level by its rate per tick (held to 0..65280, the rate stopping at either end) and sends
// SETBRIGHTNESS (level >> 8) to every construct of "scenery lighting" when it changed.
void UpdateSceneryLighting(int ticks);
// Sets the level at once and tells the scenery.
void SetSceneryLightingLevel(int level);

// The largest grid an "HFLD" file may hold (n x n heights).
constexpr int32_t kMaxSceneryHFieldSize = 1024;
// Reads "app\hfields\<name>" (package or disk) into a new height field ("scenery hfield", "hfield
// heights"); each float height is stored as the integer part of value x 21.5625 in 16 bits. A missing,
// foreign or short file, or a grid size out of range, is fatal.
hfield* CreateSceneryHField(const char* name, int unused);
// Frees a height field made by CreateSceneryHField; null is ignored.
void FreeSceneryHField(hfield* hf);
