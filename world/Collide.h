// Unit collisions: once per tick the constructs of the four busy pools meet through per-quarter-tile
// lists of the current tick; touching pairs (bounding spheres, then sub-spheres) and touched statics are
// recorded in both constructs' hit slots with a contact point. The lists stay valid for the rest of the
// tick, for the search of objects near a point.
#pragma once

#include <cstdint>

struct construct;
struct matrix;
struct SphereRecord;

// A node of a quarter tile's list of the constructs seen this tick.
struct CollideNode {
    construct* con;
    CollideNode* next;
};

constexpr int kMaxCollideNodes = 1024;
constexpr int kCollideStartLimit = 1015;  // no further construct is started once this many nodes exist
constexpr int kCollideMemory = 31;        // sample points, visited quarters and tested partners per construct
extern CollideNode CollideNodes[kMaxCollideNodes];
extern int32_t CollideNodeCount;

// The number of the latest collision pass: the stamp of the quarters whose lists it made.
uint32_t CollidePassNumber();

// The pass over "buzy0" to "buzy3" on CurrentMatrix.
void CollideUnits();
// The same over a matrix and up to four pools given by the caller (null entries are skipped).
struct ConstructPool;
void CollideUnitsIn(matrix* m, ConstructPool* const pools[4]);
// Tests two constructs; on contact records each in the other's hit slots and returns 1.
int CollideUnitPair(construct* a, construct* b);
// Fills the pool "tmpcollision" with the constructs of this tick's lists that touch the sphere (world
// centre and radius), skipping those of the given class unless it is 255.
void FindObjectsNearPoint(const SphereRecord* sphere, int cls);
// Adds the construct to "tmpcollision" when it touches the sphere; returns 1 on contact.
int SphereHitsConstruct(const SphereRecord* sphere, construct* con);
// The list of constructs seen this tick on the quarter tile that holds (x, z), or null.
CollideNode* QuarterCollisionList(matrix* m, int32_t x, int32_t z);
