// Way point lists: a count, a fixed capacity and the points, with their saved-game form.
#include "ai/WayPointList.h"

#include <cmath>
#include <cstring>

#include "ai/AIStream.h"
#include "core/Memory.h"

namespace {
constexpr uint32_t kMaxReadCapacity = 65536;
}

wpl* CreateWayPointList(int capacity, const char* purpose) {
    if (capacity < 0) capacity = 0;
    wpl* list = static_cast<wpl*>(qzAlloc(sizeof(wpl), purpose));
    list->count = 0;
    list->capacity = capacity;
    list->points = nullptr;
    if (capacity > 0) {
        if (capacity > (1 << 24)) FatalErrorF("Error(CreateWayPointList): capacity %d too large", capacity);
        list->points = static_cast<int32_t(*)[3]>(qzAlloc(capacity * 12, "way point list array"));
        std::memset(list->points, 0, size_t(capacity) * 12);
    }
    return list;
}

void FreeWayPointList(wpl* list) {
    if (!list) return;
    qzFree(list->points);
    qzFree(list);
}

int AddWayPoint(wpl* list, const int32_t point[3]) {
    if (list->count >= list->capacity) return 0;
    std::memcpy(list->points[list->count], point, 12);
    ++list->count;
    return 1;
}

void CopyWayPointList(wpl* dst, const wpl* src) {
    // The callers size the destination; a smaller one would be written past its end.
    if (src->count > dst->capacity)
        FatalErrorF("Error(CopyWayPointList): %d points do not fit a list of %d", src->count, dst->capacity);
    if (src->count > 0) std::memcpy(dst->points, src->points, size_t(src->count) * 12);
    dst->count = src->count;
}

int AppendWayPointList(wpl* dst, const wpl* src) {
    // An append that fills the list exactly is accepted, as AddWayPoint accepts its last point.
    if (int64_t(dst->count) + src->count > dst->capacity) {
        DebugPrintf("Warning(AppendWayPointList): wpl too small\n");
        return 0;
    }
    if (src->count > 0) std::memcpy(dst->points[dst->count], src->points, size_t(src->count) * 12);
    dst->count += src->count;
    return 1;
}

int32_t WayPointListLength(const wpl* list) {
    int64_t total = 0;
    for (int i = 1; i < list->count; ++i) {
        double dx = double(list->points[i][0]) - list->points[i - 1][0];
        double dz = double(list->points[i][2]) - list->points[i - 1][2];
        total += int64_t(std::sqrt(dx * dx + dz * dz));
    }
    return total > INT32_MAX ? INT32_MAX : int32_t(total);
}

void WriteWayPointList(FILE* file, const wpl* list, uint32_t* size) {
    if (!list) {
        aistream::PutU32(file, 0);
        *size += 4;
        return;
    }
    aistream::PutU32(file, 1);
    aistream::PutU32(file, uint32_t(list->count));
    aistream::PutU32(file, uint32_t(list->capacity));
    for (int i = 0; i < list->count; ++i)
        for (int k = 0; k < 3; ++k) aistream::PutU32(file, uint32_t(list->points[i][k]));
    *size += 12 + 12 * uint32_t(list->count);
}

wpl* ReadWayPointList(FILE* stream) {
    const char* who = "ReadWayPointList";
    if (aistream::GetU32(stream, who) == 0) return nullptr;
    uint32_t count = aistream::GetU32(stream, who);
    uint32_t capacity = aistream::GetU32(stream, who);
    // Both words come from the file: the points must be there, and a forged capacity must not take any
    // amount of memory (the game's lists hold at most a few hundred points).
    int64_t left = aistream::BytesLeft(stream);
    if (int64_t(count) * 12 > left)
        FatalErrorF("Error(ReadWayPointList): %u points but only %lld bytes left", count, (long long)left);
    if (capacity > kMaxReadCapacity) FatalErrorF("Error(ReadWayPointList): capacity %u too large", capacity);
    wpl* list = CreateWayPointList(int(capacity), "read wpl");
    for (uint32_t i = 0; i < count; ++i) {
        int32_t p[3];
        for (int k = 0; k < 3; ++k) p[k] = int32_t(aistream::GetU32(stream, who));
        AddWayPoint(list, p);  // points past the capacity are dropped
    }
    return list;
}
