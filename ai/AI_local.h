// What the AI module's files share.
#pragma once

#include <cstdint>

struct construct;

namespace ai {

// Integer length of a vector of three 16.16 words.
int32_t Length3(const int32_t v[3]);
// v scaled to length 32768 (zero stays zero).
void Normalise32768(const int32_t v[3], int32_t out[3]);
// The structure word of the construct's GETSTATE, or 0 when it keeps no state.
bool StructureOf(construct* con, int32_t* structure);
// 1 when a probe point is obstructed for a line of sight: the terrain or the water says anything but
// free, except a stacked construct whose surface flags carry 0x800.
int PointObstructed(const int32_t p[3]);


}  // namespace ai
