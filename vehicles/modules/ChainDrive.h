// The tracked drive of the tank-like types (howitzers, tanks, the snow vehicle). The hull rests on its
// contact corners on the terrain, accelerates through a throttle between -1 and 1 and steers through a
// track differential between -1 and 1; it settles into a resting state when it stands still, plays a
// splash when one of its first four contact corners crosses the water line, and ramps its engine power
// down and up when the unit's mode switches the engine off and on (stealth). Its record begins with the
// ground-drive block shared with the wheeled drive, so the shared operations of VehicleModule.h
// (ChainDrive_startSound, ChainDrive_engineView, ChainDrive_status, WheelDrive_stopSound,
// WheelDrive_jolt, WheelDrive_wake, WheelDrive_setMode) take &drive->g.
//
// Physics in fixed point: the speed moves the position along the forward axis by speed >> (15 - k), the
// vertical velocity moves the height by v >> (8 - k); k is the time shift (busy level) of the update.
#pragma once

#include <cstdint>

#include "vehicles/modules/VehicleModule.h"

struct ThreatEntry;
struct FixVec;
struct ConstructPool;

constexpr int kTrackMarks = 72;           // marks in a drive's pool
constexpr int32_t kTrackMarkSpacing = 17000;  // travel of a track between two marks
constexpr int32_t kTrackMarkOpacity = 100;

struct ChainDrive {
    GroundDriveBlock g;        // construct, one-shot flags, rest, mode, class word, "SpeedConstraint", sounds
    int32_t speed;             // along the forward axis
    int32_t verticalVelocity;  // the height moves by it >> (8 - k)
    float throttle;            // -1..1
    float throttleInc[2];      // "ThrottleInc": [0] braking / reverse step, [1] forward step (per tick)
    float differential;        // -1..1: the track differential that turns the hull
    float lockRecenterRate;    // "LockRecenterRate": return of the differential toward 0 per tick
    int32_t turnRate;          // "TurnRate": the most the steering word moves per tick; also the turn gain
    int32_t contacts;          // contact corners touching the ground in the last update; 10 at init
    int32_t dustCounter;
    int32_t groundHeight[8];   // ground height under each box corner, from the last update
    int32_t accessType;        // "AccessType" (its first text)
    uint32_t blockedMask;      // terrain flags that the access type may not enter
    uint8_t blockTest;         // 1: blocked terrain under a contact corner pushes the hull back (1 at init)
    int32_t trackStep[2];      // left and right track animation steps
    float chainAnimScale;      // "ChainAnimScale"
    ConstructPool* markPool;   // the track marks ("trails <serial>", 72 "Trail"s), or null
    int32_t trackPoint[2][3];  // the two track points (anchors of kind 7) in the hull's frame
    int32_t lastMarked[2][3];  // where each track laid its last mark, in the world
    int32_t trackNow[2][3];    // where the track points are now, in the world
    construct* lastMark[2];    // the newest mark of each track, or null
    float wantedThrottle;      // AI: the throttle it steers toward
    float wantedDifferential;  // AI: the differential it steers toward
    int32_t aligned;           // AI: the hull faces its point (class word set)
};

// From PLACE: reads "TurnRate", "LockRecenterRate", "ThrottleInc" (two values), "SpeedConstraint" (two
// values), "AccessType" and "ChainAnimScale" through NamedUnitRule (fatal when missing); clears the state;
// contact count 10; engine power 100; starts the external engine sample. enginePowerWord (may be null)
// receives the engine power after each update; objectFolder names the type's object folder, whose file
// "trail" the track marks are made from when the construct has two track points (anchors of kind 7).
void ChainDrive_init(ChainDrive* d, construct* con, int32_t classWord, int32_t* enginePowerWord,
                     const char* objectFolder);
// From UNPLACE and the unit's death: stops the engine samples and destroys the track marks with their
// pool; a second call does nothing.
void ChainDrive_release(ChainDrive* d);
// One update from TICK: axis is the chassis axis of the control record, steer the unit's smoothed
// steering word, rec the unit record (autopilot flag and direction, velocity for the sound), k the time
// shift, control the control record (its throttle keys are rewritten while the engine is held off).
void ChainDrive_update(ChainDrive* d, int16_t axis, int16_t* steer, UnitShare* rec, int k, ControlInput* control);
// From STEERAI: sets the throttle keys and moves the chassis axis of the control record toward the wanted
// throttle and differential, then works out new wanted values from the unit's destination (aim point;
// its flag byte asks for reversing), else, with the class word set, from the aim record's point or the
// alert point (the hull turns to face it, along heading when given, else along its forward axis).
void ChainDrive_steerAI(ChainDrive* d, ControlInput* control, UnitShare* rec, int k, const ThreatEntry* aim,
                        const FixVec* heading);
// From SETITFCDATA: copies the run-time state of src (not the construct, the sounds or the marks) and
// reconciles the engine sound with it; the marks leave the world and the tracks start new chains.
void ChainDrive_copy(ChainDrive* d, const ChainDrive* src);
