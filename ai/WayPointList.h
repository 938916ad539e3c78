// Way point lists: fixed-capacity lists of 16.16 world points that the AI moves units along (patrol
// paths, the path of a patrol message, the ways of the wayfinder). A list never grows.
#pragma once

#include <cstdint>
#include <cstdio>

struct wpl {
    int32_t count;       // points in use
    int32_t capacity;    // fixed at creation
    int32_t (*points)[3];  // capacity points (x, y, z, 16.16), "way point list array"; null for capacity 0
};

// An empty list of that capacity (below 0 counts as 0), tracked under the given purpose.
wpl* CreateWayPointList(int capacity, const char* purpose);
// Frees the points and the list; null is ignored.
void FreeWayPointList(wpl* list);
// Appends a point: 1 when appended, 0 (nothing changed) when the list is full.
int AddWayPoint(wpl* list, const int32_t point[3]);
// dst's points become src's; fatal when dst cannot hold them.
void CopyWayPointList(wpl* dst, const wpl* src);
// Appends all of src's points: 1 when done, 0 with a debug warning and nothing changed when they do not
// fit in what dst has left.
int AppendWayPointList(wpl* dst, const wpl* src);
// The summed integer distances between consecutive points in the x-z plane; 0 below two points.
int32_t WayPointListLength(const wpl* list);

// Saved-game form: u32 present (0: no list, nothing follows), u32 count, u32 capacity, count points of
// three int32. The bytes written are added to *size.
void WriteWayPointList(FILE* file, const wpl* list, uint32_t* size);
// Reads the saved form; null for an absent list. Count and capacity are bounded by the bytes left in the
// stream; points beyond the capacity are read and dropped.
wpl* ReadWayPointList(FILE* stream);
