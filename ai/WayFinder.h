// The wayfinder's straight-way test: can a unit of a given access type drive in a straight line from one
// point to another, and if not, how far does it get. The same accessibility tests and the end-point
// correction serve the way tree search.
//
// Access types and the surface flags that block them: 0 any of 0xE, 1 any of 0xA, 2 any of 0xD, 3 never,
// 4 a clear 0x8000 (no solid ground).
#pragma once

#include <cstdint>

// Walks from start toward end in steps of 2048 units along the ground plane, each probe placed on the
// ground; *blocked = 1 when blocked ground stopped the walk. out = the point reached (after
// CorrectEndPoint). Returns 1 when out is the end itself. Access types other than 0-4 are fatal
// "Error(FindWayTree): unknown AccessType". Start and end on one spot count as reached.
int FindWayTree(const int32_t start[3], const int32_t end[3], int32_t out[3], int* blocked, int accessType);
// Moves the point up to nine steps of 2048 units away from blocked ground on its diagonals, by the
// test of the access type the last FindWayTree call selected (type 0 before any call).
void CorrectEndPoint(int32_t p[3]);
// Selects the access type's test for the tests below (fatal "Error(FindWayTree): unknown AccessType"
// for types other than 0-4), as FindWayTree does.
void SelectAccessTest(int accessType);
// The selected access type's test on a probe point: sets its y to the ground height (type 3 leaves it)
// and returns 1 when the point is blocked.
int WayPointBlocked(int32_t p[3]);
// The way tree search's mode: while set, the tests of types 0, 1 and 2 probe from height 500000.
void SetWaySearchMode(int on);
