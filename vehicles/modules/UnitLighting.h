// Unit lighting: a ground unit's two headlights (point lights cast ahead of it onto the terrain) and its
// glowing billboards, or for the search light one beam light where its beam meets the ground. The lights
// fade in and out over a brightness ramp of 0..255, toggle on the light key, and can be forced off and
// restored by the unit. The record lives in the unit's data block; the unit's dispatcher calls these
// operations from PLACE (init), TICK (update), SETITFCDATA (draw), UNPLACE and the death path (free).
#pragma once

#include <cstdint>

struct construct;
struct PointLight;
struct ControlInput;
struct UnitShare;

constexpr int kUnitLightBoards = 8;
// Active-list kinds of the near and far headlight (the beam light uses the far kind).
constexpr int kNearLightKind = 15;
constexpr int kFarLightKind = 16;
constexpr int32_t kLightRampStep = 8;     // per tick, so a full fade lasts 32 ticks
constexpr int32_t kLightRampFull = 255;
constexpr int32_t kHeadlightReach = 140000;  // world units probed ahead of the headlights
constexpr int32_t kBeamReach = 350000;       // world units probed along the search light's beam
constexpr int32_t kBeamLightRaise = 18000;   // the beam light stands this far above the spot

// One listed billboard: the word the renderer reads its intensity from, and its full intensity.
struct UnitLightBoard {
    int32_t* level;     // null: an empty slot
    int32_t intensity;  // 0..255
};

struct UnitLighting {
    construct* con;      // the unit
    construct* carrier;  // the construct the lights follow (the unit or one of its parts)
    PointLight* nearLight;
    PointLight* farLight;  // null for the beam type
    int32_t offset[3];     // light origin in the carrier's frame, world units
    int32_t dir[3];        // light direction in the carrier's frame, 1.15
    uint8_t on;            // the lights are in the active list
    uint8_t beam;          // the search light's beam type
    int32_t ramp;          // brightness 0..255
    int32_t step;          // +8, -8 or 0 per tick
    int32_t forced;        // 1: forced off by the unit
    int32_t restore;       // the lights were on when forced off
    int32_t colour[3];     // red, green, blue
    int32_t* boardLevel[kUnitLightBoards];
    int32_t boardIntensity[kUnitLightBoards];
};

// Reads the rules "LightType" (fatal "Error(UnitLighting_init, %s): uk lighting type" for an unknown
// string) and "LightColour" (optional) and creates the lights. boards may be null (no billboards).
void UnitLighting_init(UnitLighting* l, construct* con, construct* carrier, const int32_t offset[3],
                       const UnitLightBoard boards[kUnitLightBoards]);
// Takes lights that are on out of the active list and frees both lights.
void UnitLighting_free(UnitLighting* l);
// When off: enters the lights into the active list (while dynamic_lighting is on, or for the beam).
void UnitLighting_on(UnitLighting* l);
// When on: removes the lights from the active list and darkens every listed billboard.
void UnitLighting_off(UnitLighting* l);
// Forces the lights off (state 1, remembering whether they were on) or releases them (any other state:
// they fade back in when they were on).
void UnitLighting_switch(UnitLighting* l, int32_t state);
// Unless forced: fades in from dark, else fades out.
void UnitLighting_fade(UnitLighting* l, int32_t unused);
// One TICK: the light key, the ramp, the billboards, the placement of the lights and their colours.
void UnitLighting_update(UnitLighting* l, const ControlInput& current, const ControlInput& previous,
                         UnitShare* rec, int shift);
// SETITFCDATA: takes over the source's light state, entering or leaving the active list to match.
void UnitLighting_draw(UnitLighting* l, const UnitLighting* src);
