// What the tracked drive, the wheeled drive and the wreck physics share: a rigid hull resting on the box
// corners that its construct lists as contact corners. A corner pressed into the ground lifts the hull
// by its depth and tilts it so that the corner rises; the tilts are gathered as three angles (about the
// right, up and forward rows of the orientation) and the orientation is turned by them in that order,
// staying orthonormal. Everything is fixed point: positions 16.16, orientations 1.15, angles 16.16
// radians.
#pragma once

#include <cstdint>

struct construct;
struct GroundDriveBlock;

namespace hull {

constexpr int32_t kGravity = -700;          // the world gravity, added to vertical velocities each tick
constexpr int32_t kContactDepth = 500;      // a corner less than this above its support touches it
constexpr int32_t kRestVertical = 132000;   // |vertical velocity| below this allows rest
constexpr int32_t kRestTurn = 50;           // |turn| below this allows rest
constexpr int32_t kUprightDrift = 20;       // added to the up-axis turn of every moving update
constexpr int32_t kWaterLineMargin = 1000;  // a corner is above the water line 1000 above the surface

// -1, 0 or 1.
inline int32_t Sign(int32_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }
inline int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

// Height of a point above its support, held to +-0x7fffffff (so that lifting by it never overflows).
inline int32_t Depth(int32_t y, int32_t support) {
    const int64_t d = int64_t{y} - support;
    return d > INT32_MAX ? INT32_MAX : (d < -INT32_MAX ? -INT32_MAX : static_cast<int32_t>(d));
}
// A height raised by -depth (depth 0 or below), held to the 32-bit range.
inline int32_t Lift(int32_t y, int32_t depth) {
    const int64_t h = int64_t{y} - depth;
    return h > INT32_MAX ? INT32_MAX : static_cast<int32_t>(h);
}

// The world point of box corner `corner` (0..7) of the construct: its local corner (quarter units)
// turned by the orientation into world units and moved by the position. A corner number out of range
// gives the position.
void CornerWorld(const construct* con, int corner, int32_t out[3]);
// The box corner number of contact corner i of the construct, or -1 when the list entry is not a corner.
int ContactCorner(const construct* con, int i);
// The number of contact corners listed by the construct (at most 8).
int ContactCount(const construct* con);

// Adds to t (right, up, forward) the turn that lifts the box corner `local` (hull frame) pressed dy
// (negative) into the ground: with sx and sz the signs of its x and z and the rows right (m0..m2), up
// (m3..m5) and forward (m6..m8),
//   t[2] += ((m2 m6 sx >> 15) - (m0 m8 sx >> 15)) dy >> 14
//   t[0] += ((m0 m8 sz >> 15) - (m2 m6 sz >> 15)) dy >> 14
//   t[1] += ((((m2 sx + m8 sz) m3) >> 15) - (((m0 sx + m6 sz) m5) >> 15)) dy >> 14
void AddCornerTorque(const int32_t orient[9], const int32_t local[3], int32_t dy, int32_t t[3]);

// Turns row (row + 1) mod 3 of the orientation about row `row` by the angle, removes from it its part
// along that row, normalises it, and rebuilds the third row as their cross product.
void TurnAboutRow(int32_t orient[9], int row, int32_t angle);
// Turns by t[0] about the right row, t[1] about the up row and t[2] about the forward row, in that order;
// a zero angle is skipped.
void TurnHull(int32_t orient[9], const int32_t t[3]);

// The vertical velocity after one update of 2^k ticks: without contact (vy + (gravity << k)) x 1020 >> 10,
// with contact (vy + 8 gravity) x 980 >> 10.
int32_t VerticalVelocity(int32_t vy, int contact, int k);

// Moves a hull by `speed` along its forward row for one update of 2^k ticks. A hull touching the ground
// follows the whole row (up and down slopes); a hull in the air takes only the row's level part, so its
// climb and fall come from its vertical velocity alone: a jeep that leaves the ground pitched up at a
// step would otherwise keep climbing along its frozen nose faster than gravity pulls it down.
void DriveAlongHull(construct* con, int32_t speed, int contacts, int k);

// The interpolated ground height under a world point with its terrain flags; without a terrain matrix
// there is no ground (the lowest height, no flags).
int32_t GroundUnder(const int32_t p[3], uint32_t* flags);

// 1 when a point at height y lies above the water line of its map quadrant (8 x the water level - 1000);
// a quadrant without water keeps every point above it.
int AboveWaterLine(int32_t x, int32_t y, int32_t z);
// The support height of a wreck: the ground, raised to the water surface where the water is higher.
int32_t FloatingSupport(int32_t ground, int32_t x, int32_t z);

// The contact pass of a ground drive: every contact corner measured from the pose at the start of the
// pass; blocked terrain (flags & blockedMask, while blockTest) pushes the hull back; the first four
// corners crossing the water line play the dive sound; pressed-in corners tilt a moving hull (added to t)
// and the hull rises by the deepest. groundHeight (may be null) receives the ground under each box corner.
// Returns the corners less than kContactDepth above the ground.
int32_t TouchGround(GroundDriveBlock* g, uint8_t blockTest, uint32_t blockedMask, int32_t* groundHeight,
                    int32_t t[3]);

}  // namespace hull
