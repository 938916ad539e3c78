// Rain and snow: a field of drops in a cube of two tiles one tile ahead of every camera, falling or
// drifting with the world tick, drawn into every view as grey streaks (rain) or small flakes (snow).
#pragma once

#include <cstdint>

#include "core/Fix3D.h"

struct ViewPort;
struct dxgl_SoundStreamBuffer;

// The drop table's fixed size: the field never grows past it.
constexpr int kMaxDrops = 1500;

// A drop cell: world position, 16.16.
struct DropCell {
    int32_t x, y, z;
};

// 0 none, 1 rain, 2 snow; kept by the saved world state.
extern int32_t PrecipitationMode;
extern int32_t DropCount;
extern DropCell* DropTable[kMaxDrops];
extern dxgl_SoundStreamBuffer* RainSound;
extern double DropGrowthTime;

// Starts rain (1) or snow (2) with 50 drops; any other mode stops the precipitation.
void StartPrecipitation(int mode);
// Frees all drops and the rain sound (level teardown).
void StopPrecipitation();
// Adds n new drops (never past the table).
void SetDropCount(int n);
// Frees every drop of the table.
void FreeDrops();
// Lets rain drops fall and snow flakes drift for the given ticks.
void MoveDrops(int ticks);
// The weather of one view: grows the field and draws it (when the mode is rain or snow).
void DrawWeather(const FixMatrix* orientation, const FixVec* position, ViewPort* vp);
// The drawing of the rain and of the snow.
void DrawDrops(const FixMatrix* orientation, const FixVec* position, ViewPort* vp);
void DrawDropsAlt(const FixMatrix* orientation, const FixVec* position, ViewPort* vp);
// The cap of the field: the rule "drop_maximum" (400 without it), never above the table.
int32_t DropMaximum();
