// The sensor tip: the player's sensor beam, a chain of up to 45 segments of the shared "Sensor" pool laid
// from a tip point on the unit along the carrier's forward axis. Each segment tests itself against the
// world in its own tick; the sensor tip places the chain with the unit every update, hides every segment
// behind the first blocked one and records where the beam ends. The beam exists while the player drives
// the unit (activated by PLAYERENTER and the player's TICK, cleared by PLAYERLEAVE, UNPLACE and death).
#pragma once

#include <cstdint>

struct construct;

constexpr int kSensorMaxSegments = 45;
constexpr int32_t kSensorMaxLength = 300000;  // world units laid at most (plus one segment)
constexpr int32_t kSensorEffectPhase = 10;

// The head of a "Sensor" segment's data block that the sensor tip reads: the segment sets blocked in its
// own tick; length is the segment's length along the beam (world units).
struct SensorSegHead {
    uint8_t impact[3];
    uint8_t blocked;
    int32_t length;
};

struct SensorTip {
    construct* con;      // the unit; owner of every segment
    construct* carrier;  // the construct whose frame holds the tip
    int32_t offset[3];   // tip offset in the carrier's frame, world units
    int32_t tip[3];      // tip position in the world, recomputed each update
    int32_t active;
    int32_t count;  // segments laid, at most 45
    construct* segments[kSensorMaxSegments];
    int32_t end[3];  // where the beam ends
};

// Tip offset = each value of the unit rule "SensorTip" truncated, times the scale, truncated; inactive.
void SensorTip_init(SensorTip* s, construct* con, construct* carrier, float scale);
// Clears the beam when active.
void SensorTip_release(SensorTip* s);
// Sends SETMODE with the value to every segment.
void SensorTip_notify(SensorTip* s, uintptr_t value);
// When active: every segment leaves its busy pool (deferred) and the visible pool; inactive, no segments.
void SensorTip_clear(SensorTip* s);
// When inactive: lays the beam from the tip.
void SensorTip_activate(SensorTip* s);
// When active: moves the beam with the carrier and finds where it ends.
void SensorTip_update(SensorTip* s);
