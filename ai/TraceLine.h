// Line tracing: a march from a point along a direction that stops at the terrain or water, at an object,
// or where its length is covered.
#pragma once

#include <cstdint>

struct construct;

// Steps from start along the 1.15 direction in steps of one eighth of it (4096 units for a unit vector)
// until length is covered. With stopTerrain it ends where the terrain or water test reports anything but
// free, except a place inside a stacked construct whose ground flags carry 0x800 (it does not block a
// line, as for the AI's lines of sight); with
// stopObjects at the first construct other than own whose bounding sphere holds the point. Writes the
// last point into end and returns the construct met, else null.
construct* TraceLine(construct* own, const int32_t start[3], const int32_t dir[3], int32_t end[3], int32_t length,
                     int stopTerrain, int stopObjects);
