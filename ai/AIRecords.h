// The plain records shared by the AI and the unit record: the view that one clan's AI has of one unit
// (three per unit, inside its unit record) and the threat entry of the clans' and the units' threat lists.
#pragma once

#include <cstdint>

struct construct;

// One clan's view of one unit, refreshed by the AI step and filled by the unit type's UPDATEAIUNIT.
struct AIUnitRecord {
    int32_t ownerClan;     // index 0-2 of the clan that owns the unit
    int32_t strength;      // the unit record's strength, refreshed on every update
    int32_t driveValue;    // written by the unit's drive module
    int32_t spare;         // not written by the bridge
    int32_t maxShield;     // GETMAXIMA word 0
    int32_t maxStructure;  // GETMAXIMA word 1
    int32_t driveWord;     // 0 at creation; the drive modules write 0
    int32_t sightRange;    // world units
    float factor;          // 0.0234375 at creation
    int32_t class9;        // 1 when the klass flags have 1 or 8, else 0
    int32_t class4;        // klass flags & 4
    int32_t accessType;    // way-finding access type 0-4 (GETACCESSTYPE)
    int32_t class2;        // klass flags & 2
    uint8_t driveByte;     // 1 at creation; the drive modules write their own
    int32_t pos[3];        // 16.16 world position
    int32_t orient[9];     // 1.15, row by row
    int32_t speed;         // integer length of the velocity
    int32_t unitNumber;    // the construct's number within its group; -1 at creation
    char callSign;         // "1234567890QWERT"[unit number]; a blank at creation
    int32_t weaponPresent[2];  // 1 once UPDATEAIUNIT has filled weapon group 1 / 2
    uint32_t weapon[2][22];    // weapon group status blocks (words and floats as the modules write them)
    int32_t shield;            // GETSTATE word 0
    int32_t structure;         // GETSTATE word 1
    AIUnitRecord* target;      // the target's record in the view of this unit's own clan, or null
    int32_t targetFlags;       // detection record flags: 1 obstructed, 16 friend in the line, 32 new target
    int32_t targetDistance;
    float targetDir[3];        // detection record direction / 32768
    float alertPoint[3];       // the unit record's alert point, 16.16 values unscaled
    uint8_t aimPointSet;
    uint8_t stealthEngaged;
    uint8_t stealthWanted;
    uint8_t standBy;           // set and cleared by the clan logic
    uint8_t alerted;           // 1 while the alert countdown runs
    uint8_t captureCandidate;  // 1 when last refreshed from the pool "tobecaptured"
    char text[102];            // "none" at creation
    construct* con;            // the unit's construct
    void* agent;               // the clan logic's agent that drives this unit, or null
};

// Flags of a threat entry (word 0).
enum : int32_t {
    kThreatObstructed = 1,  // the straight line between the two units is obstructed
    kThreatRadar = 2,
    kThreatSight = 4,
    kThreatRecentHit = 8,   // the detected unit has recently hit the detecting unit
    kThreatFriendInLine = 16,
    kThreatNewTarget = 32,  // stored by SetUnitTarget in the detection record
};

// One entry of a threat list (also the unit record's detection record).
struct ThreatEntry {
    int32_t flags;
    construct* con;     // the detected construct
    int32_t distance;   // between the two units' sensor points
    int32_t age;        // detection passes since inserted or refreshed
    int32_t pos[3];     // the detected construct's position (16.16)
    int32_t dir[3];     // from the detecting to the detected unit, length 32768
};
