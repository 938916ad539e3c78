// What the tracked types (EMATank, EMAHaubitze, EMALinebacker, EMASnowMob and the G.A. tanks) share on
// top of the vehicle frame: the six key multipliers that EXPORTDRIVE hands to the player's turn axes, the
// gun's recoil along its own axis, the ground-following chain parts of the types that hang their chains
// as parts (four support points under the hull whose ground the chains lean to), the AI's target
// cycling, and the answers of the chain drive's methods.
#pragma once

#include <cstdint>


struct construct;
struct ChainDrive;
struct ControlInput;
struct UnitShare;

constexpr int kKeyMultiplierCount = 6;

// The unit rule "KeyMultipliers": six values, each times 256 (signed 24.8); fatal when missing.
void TrackedReadKeyMultipliers(const construct* con, int32_t out[kKeyMultiplierCount]);
// EXPORTDRIVE: the multipliers become the scales of the six turn axes of the player's axis table.
void TrackedExportDrive(const int32_t multipliers[kKeyMultiplierCount]);
// The unit rule "recoil", its first value truncated (fatal when missing).
int32_t TrackedRecoil(const construct* con);
// A gun pulled back along its own forward axis after a shot: each coordinate less (its forward axis
// component x counter x recoil) >> shift.
void TrackedRecoilPart(construct* part, int32_t counter, int32_t recoil, int shift);
// The AI cycles its lock target (PM_NEXTTARGET_KEY) 32 ticks of every 64 while the lock is not the target.
void TrackedNextTargetKey(const UnitShare* rec, ControlInput* in);

// The chains of a type whose four chain parts follow the ground: four support points under the hull
// (quarter units, like the box), the ground height under each (world units) and the box corners they
// stand for (4, 7, 0, 3: front right, front left, rear left, rear right at the hull's base).
struct ChainSupport {
    int32_t points[4][3];
    int32_t ground[4];
    int32_t corners[4];
};
// CREATE: the points from the box corners 4, 7, 0 and 3, the front two moved back by d and the rear two
// forward by d (world units) along the hull.
void ChainSupport_init(ChainSupport* s, const construct* con, int32_t d);
// TICK: the ground under each point, and the pitch of each chain: 0.6 x the hull's pitch less the slope
// between the ground the drive found under the chain's box corner and the ground under its point, less a
// quarter turn (the front chains look the other way).
void ChainSupport_angles(ChainSupport* s, const construct* con, const ChainDrive* drive, int32_t angles[4]);
// Null when a saved support may be used (corner indices of the box, points within reach of the hull,
// ground heights within the world's range), else why not.
const char* ChainSupport_check(const ChainSupport* s);

// GETGAUGES of a chain drive: the top speed through arg, the speed as the answer.
uintptr_t TrackedGauges(const ChainDrive* drive, uintptr_t arg);
// GETTHROTTLE of a chain drive: the AI's wanted throttle, truncated, through arg.
void TrackedThrottle(const ChainDrive* drive, uintptr_t arg);
