// The wheeled drive of the jeeps, launchers and the six- and eight-wheeled carriers. It turns the control
// record (throttle and brake keys, the chassis axis) into a wheel lock, a speed and a vertical velocity;
// rests the unit on its contact corners on the terrain, tilts it with the terrain and lifts it out of the
// ground, keeps it off blocked terrain, runs the engine down in stealth mode, plays the engine and splash
// sounds and lights the brake lights. Its AI slot fills the control record so that an AI unit drives to
// its aim point (reversing in spells when the point lies behind) or turns on the spot to face its target.
// The record begins with the ground-drive block shared with the tracked drive (VehicleModule.h); the
// status slot is ChainDrive_status.
#pragma once

#include <cstdint>

#include "vehicles/modules/VehicleModule.h"

struct ThreatEntry;

constexpr int kWheelLights = 6;
constexpr int32_t kBrakeLightLevel = 200;

struct WheelDrive {
    GroundDriveBlock g;         // "SpeedConstraint" there: [0] the reverse (negative), [1] the forward limit
    int32_t wheelLock;          // within +-MaxWheelLock
    int32_t speed;              // along the forward axis; the position moves by speed >> (15 - k)
    int32_t verticalVelocity;   // the height moves by it >> (8 - k)
    int32_t acceleration[2];    // "acceleration": [0] gain per tick under throttle, [1] loss under brake
    int32_t maxWheelLock;       // "MaxWheelLock"
    int32_t wheelRecenterRate;  // "WheelRecenterRate": return of the lock per tick
    int32_t torqueFactor;       // "TorqueFactor": turn produced by lock and speed
    int32_t turnRate;           // "TurnRate": the most the steering position moves per tick
    int32_t contacts;           // contact corners less than 500 above the ground last update; 10 at init
    int32_t dustCounter;
    int32_t accessType;         // "AccessType" (its first text)
    uint32_t blockedMask;       // terrain flags that the access type may not enter
    uint8_t blockTest;          // 1: blocked terrain under a contact corner pushes the unit back (1 at init)
    int32_t wheelAngle;         // rolling angle of the wheels, 16.16 radians in 0..411773
    int32_t* lights[kWheelLights];  // brightness words of the brake lights and halos; null entries skipped
    int32_t aiSpeed;            // AI: wanted speed
    int32_t aiLock;             // AI: wanted wheel lock
    int32_t aiReverseTimer;     // AI: ticks left of a reversing spell
};

// From PLACE: reads "TurnRate", "acceleration" (two values), "MaxWheelLock", "WheelRecenterRate",
// "TorqueFactor", "SpeedConstraint" (two values) and "AccessType" through NamedUnitRule (fatal when
// missing; numbers truncated), stores the brake-light words and the engine-power word (each may be null),
// and starts the engine sound.
void WheelDrive_init(WheelDrive* d, construct* con, int32_t classWord, int32_t* light1, int32_t* light2,
                     int32_t* light3, int32_t* light4, int32_t* light5, int32_t* light6, int32_t* enginePowerWord);
// From UNPLACE and the unit's death: stops the engine samples; a second call does nothing.
void WheelDrive_release(WheelDrive* d);
// One update of 2^k ticks from TICK: axis is the chassis axis of the control record, steer the unit's
// steering position, rec the unit record (autopilot flag and direction, velocity for the sound), control
// the control record (its throttle keys are rewritten while the engine is held off).
void WheelDrive_update(WheelDrive* d, int16_t axis, int16_t* steer, UnitShare* rec, int k, ControlInput* control);
// From STEERAI: works out the wanted speed and lock from the aim point (its flag byte asks for driving in
// reverse), else, with the class word set, from the detection record's point or the alert point; then
// sets the throttle keys and moves the chassis axis of the control record toward them.
void WheelDrive_steerAI(WheelDrive* d, ControlInput* control, UnitShare* rec, int k, const ThreatEntry* detect);
// From SETITFCDATA: copies the run-time state of src and reconciles the engine sound with it.
void WheelDrive_copy(WheelDrive* d, const WheelDrive* src);
