// Rain and snow.
#pragma once

// Stops precipitation and its sound.
void StopPrecipitation();
// Lets rain drops fall and snow flakes drift.
void MoveDrops(int ticks);
