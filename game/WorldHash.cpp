#include "game/WorldHash.h"

#include <cstring>

#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/TickCounter.h"

int ReportWorldHash = 0;

namespace {

constexpr uint64_t kOffset = 14695981039346656037ull;
constexpr uint64_t kPrime = 1099511628211ull;

void Mix(uint64_t* h, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) *h = (*h ^ p[i]) * kPrime;
}
void MixWord(uint64_t* h, int32_t v) {
    // Little-endian bytes, whatever the machine.
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Mix(h, b, 4);
}

}  // namespace

uint64_t WorldStateHash(int* constructs) {
    uint64_t h = kOffset;
    int n = 0;
    MixWord(&h, static_cast<int32_t>(FrameCounter));
    for (int p = 0; p < ConstructPoolCount; ++p) {
        const ConstructPool* pool = ConstructPoolTable[p];
        Mix(&h, pool->name, strlen(pool->name) + 1);
        MixWord(&h, pool->count);
        for (int i = 0; i < pool->count; ++i) {
            const construct* con = pool->constructs[i];
            for (int32_t v : con->pos) MixWord(&h, v);
            for (int32_t v : con->orient) MixWord(&h, v);
            ++n;
        }
    }
    if (constructs) *constructs = n;
    return h;
}
