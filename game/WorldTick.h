// The world tick: advances the world by a number of ticks (10 ms of game time each at game_speed 1) in
// one call, and drives every construct of a busy pool through its dispatcher for one tick.
#pragma once

#include "world/WorldTick.h"

struct ConstructPool;

// Advances the world by ticks (0: only the per-call work); runDayEvents 0 skips the mission's events.
void WorldTick(int ticks, int runDayEvents);
// One tick for every construct of the pool, members appended during the walk included.
void UpdateConstructPool(ConstructPool* pool);

// The fire-key gate on the current record: a press passes while the latch is armed and the player may
// fire; otherwise the bit is cleared (with the cannot-fire sound once per press).
void GateFireKey(ControlInput* now, int bit, int32_t* armed, ControlInput* seen);
