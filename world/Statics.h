// Statics on tiles: the fixed store of stat-link nodes that lists the statics standing on each quarter
// tile, placing a static (linking it, setting its height from the ground and stamping its height field
// into the terrain's sub-points) and removing it again, and a few construct operations on the same
// geometry.
#pragma once

#include <cstdint>

struct construct;
struct matrix;

// A node of a quarter tile's list of statics; free while stat is null.
struct StatLink {
    construct* stat;
    StatLink* next;
};

constexpr int kMaxStatLinks = 5000;
extern StatLink StatLinks[kMaxStatLinks];

// The first free node, or null.
StatLink* AllocStatLink();
// Appends the static at the list's end and returns 1; 0 when head is null or the static is listed.
// Fatal when no node is free.
int LinkStatFromSfc(StatLink** head, construct* stat);
// Removes the static's node from the list and frees it.
void UnlinkStatFromSfc(StatLink** head, construct* stat);
// Frees every node (a new level starts with an empty store).
void ResetStatLinks();

// The highest / lowest y of the construct's world corners, times 1020 / 1024.
int32_t MaxCornerHeight(const construct* con);
int32_t MinCornerHeight(const construct* con);
