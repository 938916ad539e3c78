// The unit record: the head of the type data block of every unit, hittable building and the scripted
// camera, reached through the object's GETUNIT. The AI, the in-game interface and the mission conditions
// read it without knowing the type. This module holds the record and the services of it that the AI
// uses: the per-clan AI records, targets and aim points, threat lists, detection and alert data, the
// stealth flags with their AI messages, and the velocity.
#pragma once

#include <cstdint>

#include "ai/UnitAI.h"
#include "objects/ConstructRes.h"

struct construct;
struct AUDef;

struct UnitShare {
    int32_t status;            // copied by the state copy
    int32_t giveWayCountdown;  // ticks
    int32_t shadeRate;
    int32_t fadeRate;
    uint8_t aimPointSet;
    uint8_t aimPointFlag;   // the flag given with the point
    uint8_t sideStepping;
    uint8_t waiting;
    uint8_t stateFlag;      // stealth engaged (SetUnitStateFlag)
    uint8_t driveMode;      // stealth wanted (SetUnitDriveMode)
    uint8_t byte6;
    uint8_t autopilot;
    uint8_t beamFlag;       // handed to the AI by GetUnitAIInfo
    uint8_t beamLit;        // handed to the AI by GetUnitAIInfo
    uint8_t byte7;
    int32_t aimPoint[3];
    int32_t rearTip[3];
    int32_t viewTip[3];
    int32_t insidePos[3];   // the sensor point of the AI
    int32_t insideOrient[9];
    int32_t outsidePos[3];
    int32_t outsideOrient[9];
    int32_t velocity[3];    // world units per tick
    int32_t lastPos[3];
    int32_t autopilotDir[3];
    int32_t beamPoint[3];   // handed to the AI by GetUnitAIInfo
    construct* lockTarget;
    ThreatEntry* lockEntry;
    int32_t lockToggleDelay;
    uint8_t lockCapability[2];
    int32_t lockCountdown;
    int32_t locked;
    int32_t targetedBy;
    int32_t missileCount;
    construct* target;      // the AI's target (SetUnitTarget)
    ThreatEntry detect;     // written by the threat detection (SetUnitDetectInfo)
    int32_t targetParam;
    int32_t targetCountdown;
    int32_t weaponSuits[2];
    int32_t strength;
    int32_t sightType;      // 0 RADAR, 1 EYESIGHT, 2 BEAMSIGHT
    int32_t sightRange;     // world units
    int32_t noiseRange;     // world units
    int32_t actionAUCount;
    AUDef** actionAUs;
    int32_t threatCapacity;
    int32_t threatCount;
    ThreatEntry* threats;       // "threat list"
    int32_t prevThreatCount;
    ThreatEntry* prevThreats;   // "threat list0"
    int32_t alertCountdown;     // ticks
    int32_t alertPoint[3];
    float aimDivergence;
    float aimWobble;
    int32_t wobbleCountdown;
    OwnedConstructs owned;      // fragments made by the type; destroyed with the unit
    int32_t displayWord;        // threat display: 2 known to the player's clan, -1 lost from its list
    int32_t hitFlag;
    void* crosshair;
    AIUnitRecord ai[3];         // the views of clans 0, 1, 2
    int32_t inThreatList[3];    // 1 while the clan of that index holds the unit in its threat list
    int32_t recentHitCountdown; // ticks (SetUnitTargetPair)
    construct* recentHit;       // the unit that recently hit this one
    int32_t area[4];            // mission area: minimum x, minimum z, maximum x, maximum z
    int32_t killCount;
    float scale;
    void* buttonPicture;   // the task button's picture (a surface the task-force view owns), or null
    int32_t buttonWord;    // cleared with the picture
    int32_t serviceTimer;  // ticks to the next servicing at a reload point
    // Read by the cockpit overlay.
    uint8_t symbolShadow;   // the cockpit's unit symbol is drawn with a dark lower edge
    uint8_t analysing;      // the lock target is being analysed
    uint8_t ballistic;      // the impact point below holds the predicted impact of a ballistic shot
    int32_t impactPoint[3];
};

enum : int32_t { kSightRadar = 0, kSightEye = 1, kSightBeam = 2 };

// What GetUnitAIInfo hands the AI.
struct UnitAIInfo {
    int32_t sightType;
    int32_t sightRange;
    int32_t noiseRange;          // 0 while the stealth flag is reported set
    const int32_t* sensorPoint;  // the inside view position
    const int32_t* sensorOrient; // the inside view orientation
    int32_t stealth;             // the state flag; reported 0 for AIRPLANE units
    int32_t beamFlag;
    int32_t beamLit;
    int32_t beamPoint[3];
    construct* recentHit;        // while its countdown runs, else null
};

// The unit record of an object (its GETUNIT answer), or null.
UnitShare* GetUnitShare(construct* con);

// The three per-clan AI records of a new unit; with announce, AI message 0 to the unit's clan with the
// units-file entry's name as parameter.
void CreateUnitAIRecords(construct* con, int announce);
// Fills info for the AI; target and lock target are handed out when asked. Returns the record or null.
UnitShare* GetUnitAIInfo(construct* con, UnitAIInfo* info, construct** target, construct** lockTarget);
// Pointer to the velocity, null without a unit record.
int32_t* GetUnitVelocity(construct* con);
UnitShare* SetUnitTarget(construct* con, construct* target, int32_t param, int32_t countdown);
construct* GetUnitTarget(construct* con);
construct* GetUnitLockTarget(construct* con);
// With a point: stores it and the flag; without: clears it and, outside record/replay, posts message 10.
void SetUnitAimPoint(construct* con, const int32_t* point, uint8_t flag);
void SetUnitDetectInfo(construct* con, const ThreatEntry* info);
// Alert point = point, countdown 500.
void SetUnitAlertPoint(construct* con, const int32_t point[3]);
// Stores the stealth-engaged byte when it changes and posts message 11 (set) or 12 (cleared).
void SetUnitStateFlag(construct* con, UnitShare* rec, uint8_t value);
void SetUnitDriveMode(construct* con, uint8_t value);
uint8_t GetUnitStateFlag(construct* con);
uint8_t GetUnitDriveMode(construct* con);
// Appends an entry to the unit's threat list (0 when it keeps none); posts 103 for a new hostile contact
// and 104 when the previous list was empty. A full list doubles.
int AddThreat(construct* con, const ThreatEntry* entry);
// Current list becomes the previous list; the current one is emptied.
void SnapshotThreatList(construct* con);
// The count, the list through out.
int GetThreatList(construct* con, ThreatEntry** out);
// The unit's threat lists freed (the part of the record's release that the AI needs).
void FreeUnitThreatLists(UnitShare* rec);
// Allocates the two threat lists of capacity entries (tests and the record's set-up).
void AllocUnitThreatLists(UnitShare* rec, int capacity);
