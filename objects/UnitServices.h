// Small services that several object types and vehicle modules share: the resistance types of scenery
// parts, the way-finding access types of drives with their terrain blocking masks, the type pools that
// collect constructs by klass, and the warning-light values of a cockpit part.
#pragma once

#include <cstdint>

struct construct;

// How a scenery part reacts to hits. Parameters a type does not use keep what the record held.
enum class ResistanceType : int32_t { Rigid = 0, Swing = 1, Bend = 2, Fall = 3, Slam = 4, Break = 5 };
struct ResistanceRecord {
    ResistanceType type;
    void* owner;  // the caller's pointer
    float p[5];   // p1..p5, read by the scenery types
};
// Fills the record of the named type ("rigid", "swing", "bend", "fall", "slam", "break"); any other
// name is fatal ("Error(NamedResistance): uk resistance type").
void NamedResistance(ResistanceRecord* record, const char* name, void* owner);
// 1 for rigid, swing and bend; 1 for swing, bend, fall and slam.
int IsResistanceUpright(const ResistanceRecord* record);
int IsResistanceMoving(const ResistanceRecord* record);

// Way-finding access types of the drives' rule "AccessType".
enum class AccessType : int32_t { Land0 = 0, Land1 = 1, Amphi = 2, Sea = 3, Air = 4 };
// The type of an exact name ("LAND0", "LAND1", "AMPHI", "SEA", "AIR"); fatal for any other.
AccessType NamedAccessType(const char* name);
// The terrain blocking bits that stop a unit of the access type; fatal for a value not in the table.
uint32_t GetBlockedMask(AccessType type);
uint32_t GetBlockedMask(int32_t type);

// The type pools of a level: "radioactive", "target", "icon", "nav" and "reload", 32 constructs each,
// selected by the klass flags of a construct's units-file entry. A pool the level has not made is
// skipped.
void AddToTypePools(construct* con);
// Takes the construct out of "radioactive", "target", "icon" and "nav" (a reload point stays in
// "reload" while it is only unplaced); when it was the navigation construct, the first remaining member
// of "nav" takes its place.
void RemoveFromTypePools(construct* con);
// A construct that is about to be freed (a vehicle's DESTROY): also leaves "reload", so that no unit is
// serviced by it later.
void RemoveDestroyedFromTypePools(construct* con);
// The level's navigation construct: the first NAV construct added, while it is still in "nav" (a
// pool deleted with its level leaves none), else null.
construct* GetNavConstruct();

// The warning-light values of a cockpit part: a triangle wave over the tick counter (248 down to 0 and
// back over 64 ticks) while targetedBy is not 0, else 0; and 255 while missiles are locked on, else 0.
int32_t PartBlinkValue(uint32_t tick, int32_t targetedBy);
int32_t PartAlarmValue(int32_t missileCount);
struct UnitShare;
// Places the part at the unit record's inside view position with the orientation, sets its warning
// words (blink, alarm; either may be null) from the record, then transforms and draws it for the current
// view.
void DrawPartAt(construct* part, const int32_t orient[9], const UnitShare* rec, int32_t* blink, int32_t* alarm);
