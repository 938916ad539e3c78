// Clans: the sides of a mission ("EMA", "GA", "ARAB"), their hostilities, their pools of active units,
// the patrol paths of their action units and their threat lists; the status update (mission countdowns
// and the nearest objects of the player's instruments) and threat detection of every 32nd tick.
#pragma once

#include <cstdint>

#include "ai/AIRecords.h"

struct construct;
struct ConstructPool;
struct AUDef;
struct wpl;

enum : int32_t { kNeutral = 0, kAllied = 1, kHostile = 2 };

constexpr int kMaxClans = 3;
constexpr int kClanPoolCapacity = 150;
constexpr int kClanThreatCapacity = 150;
constexpr int kMaxPatrols = 15;
constexpr int kPatrolPoints = 100;
constexpr int kStatusCountdown = 700;  // ticks from a mission's success or failure to its end

// A patrol path of an action unit (also the patrol description a path message is made from).
struct PatrolRecord {
    int32_t active;  // 1
    AUDef* au;
    int32_t word;    // 0
    wpl* points;     // capacity 100, "wpl(patrol)"
};

struct Clan {
    char name[24];
    ConstructPool* pool;  // "clan '%s' pool": the clan's active units, rebuilt by BuildAUWaypointLists
    int32_t index;        // 0-2, the position at creation
    uint8_t successMark;  // set by the mission's CLANSUCCESS event
    uint8_t failureMark;  // set by CLANFAILURE
    uint8_t unitLighting;    // the AI lights the clan's units while set
    uint8_t searchLight;     // the search lights shine while set
    int32_t area[4];         // 16.16 bounds: minimum x, maximum x, minimum z, maximum z
    int32_t hostility[kMaxClans];  // toward the clan of each index: NEUTRAL, ALLIED, HOSTILE
    int32_t threatCapacity;
    int32_t threatCount;
    ThreatEntry* threats;  // "threat list"
    int32_t patrolCount;
    PatrolRecord patrols[kMaxPatrols];   // "%s_waypoint_%d"
    int32_t patrol2Count;
    PatrolRecord patrols2[kMaxPatrols];  // "%s_waypoint2_%d"
};

extern Clan* ClanTable[kMaxClans];
extern int32_t ClanCount;
// The level's clan of each abstract clan of the world file (the fourth word is spare); null when unmapped.
extern Clan* AbstractClanMap[4];
extern Clan* PlayerClan;  // the local player's clan, or null
// Whether two constructs' clans make them one side: a missing clan is nobody's, not even another
// clanless construct's.
inline bool SameClan(const Clan* a, const Clan* b) { return a && a == b; }

// Level status written by UpdateClanStatus and read by the in-game interface and the level's end (the
// won and lost flags are the level's, world/Level.h).
extern int32_t WinCountdown;   // ticks; 0 when not running
extern int32_t LoseCountdown;
extern AUDef* ActionTargetAU;  // the action unit within action range of the player's unit, or null
extern construct* NearestRadioactive;
extern int32_t NearestRadioactiveDistance;
extern construct* ReloadUnit;
extern int32_t ReloadUnitDistance;
// The construct the local player drives, null when none.
extern construct* PlayerUnit;

// A new clan; fatal "Error(CreateClan): Too many Clans" when three exist. Names longer than 23
// characters are refused.
Clan* CreateClan(const char* name);
// Removes a clan of the table and frees it with its lists and pool; others are left alone.
void DeleteClan(Clan* clan);
// The clan of exactly that name: null / fatal "Error(NamedClan): No such Clan.".
Clan* FindClan(const char* name);
Clan* NamedClan(const char* name);
int ClanIndex(const Clan* clan);
// Makes it the player's clan and posts message 208 to every clan.
void SetPlayerClan(Clan* clan);
// Sets the hostility both ways and posts message 4 to every clan.
void SetClanHostility(Clan* a, Clan* b, int hostility);
// "ALLIED" 1, "NEUTRAL" 0, "HOSTILE" 2 (case counts); anything else is fatal.
int NamedHostility(const char* text);
// 1 when the clan's threat list has an entry for the construct.
int ThreatListHolds(const construct* con, const Clan* clan);
// 1 when the detection record's flags have none of 0x31 and its distance lies strictly inside the band
// (the first and third value of a weapon's range).
int ObjectInBand(const ThreatEntry* record, const int32_t* band);
// con remembers other as the unit it recently hit, for count ticks (a hit passes the hitter, the hit
// unit and 300).
void SetUnitTargetPair(construct* con, construct* other, int32_t count);
// Rebuilds the clan's pool and both patrol tables from its placed action units.
void BuildAUWaypointLists(Clan* clan);
// Area = p1, p3, p2, p4 in 16.16; every unit of the pool gets p1, p2, p3, p4.
void SetClanUnitParams(Clan* clan, float p1, float p2, float p3, float p4);
// Every 32nd tick: mission countdowns and the nearest objects of the player's instruments.
void UpdateClanStatus(Clan* clan);
// Every 32nd tick: ages the threat lists and detects who perceives whom.
void DetectThreats();
void InsertThreat(Clan* clan, const ThreatEntry* entry);
void AgeThreats(Clan* clan);
// Walks from start along dir (length 32768) in steps of 4096 up to length; returns the first other
// construct met (stopAtObjects) or null; out gets the last point.
construct* ProbeLine(construct* self, const int32_t start[3], const int32_t dir[3], int32_t out[3],
                     int32_t length, int stopAtGround, int stopAtObjects);
// Units of non-allied clans near the point get the shooter's position as alert point.
void AlertUnitsNearPoint(construct* shooter, const int32_t point[3], int32_t range);
