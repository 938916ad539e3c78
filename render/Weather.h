// Rain and snow.
#pragma once

// Stops precipitation and its sound.
void StopPrecipitation();
// Starts precipitation of a kind: 1 rain, 2 snow, any other value none. Not built yet: does nothing.
void StartPrecipitation(int kind);
// Lets rain drops fall and snow flakes drift.
void MoveDrops(int ticks);
