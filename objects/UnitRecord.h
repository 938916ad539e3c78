// The unit record's own services (the record is objects/UnitShare.h): filling it from the unit's rules at
// placement, freeing, copying and the velocity; target release, threat-list queries, ammunition and
// gauges, crosshair bitmaps and the reference counts of lock targets and homing weapons; the give-way
// rule between two blocked units and the front-box test.
//
// Pointers to other units held by a record (target, lock target, the unit that recently hit it, threat
// entries) and the owner words of projectiles are cleared by ForgetUnitReferences when a unit leaves the
// world (its UNPLACE through FreeUnitShareData, and its death), so a unit that is gone is never read
// through them.
#pragma once

#include <cstdint>

#include "objects/UnitShare.h"

struct construct;
struct Clan;

// Words of a weapon group of an AIUnitRecord (the weapon's status words 0 to 12, then the turret's): the
// ammunition count and the gauge float after it.
constexpr int kAIWeaponAmmoWord = 11;
constexpr int kAIWeaponGaugeWord = 12;
// Degrees to 16.16 radians (411774 / 360).
constexpr float kDegreesTo1616 = 1143.8167f;
// Threat-list capacity of a unit that sees.
constexpr int32_t kUnitThreatCapacity = 150;
constexpr int kMaxActionAUs = 10;

// Fills the record from the unit's rules (through the construct's units-file entry); called from PLACE
// once the construct has its position and clan. Faults of the rules are fatal.
void InitUnitShare(construct* con, UnitShare* rec, float scale);
// Frees the threat lists and the action-unit list, releases the lock target's reference and clears
// every reference to the unit held elsewhere (UNPLACE).
void FreeUnitShareData(construct* con, UnitShare* rec);
// Copies one unit's state into another of the same type (SETITFCDATA); targets are never carried over.
void CopyUnitState(UnitShare* dst, const UnitShare* src);
// velocity = (position - last position) >> tick shift; last position = position.
void UpdateConstructVelocity(construct* con, UnitShare* rec);
// Drops the AI target unless the clan's threat list holds it and it is flagged 0x8; *result = 255
// whenever there was a target, else 0.
void ReleaseUnitTarget(construct* con, UnitShare* rec, uint8_t* result);
// 1 when an entry of the unit's threat list belongs to the clan.
int ThreatListHasClan(construct* con, UnitShare* rec, const Clan* clan);
// Ammunition of weapon group 0 or 1 as the unit reports it through UPDATEAIUNIT; 0 without.
int32_t GetUnitAmmo(construct* con, int group);
// The gauge of weapon group 0 or 1 from the unit's own AI record, as an integer; 0 without.
int32_t GetUnitWeaponGauge(construct* con, int group);
// Draws the line from the unit to its aim point while one is set.
void DrawAimPointLine(construct* con);
// The crosshair bitmap "<bitmap root><sep><type name>_xh"; fatal while one is still held.
void* LoadCrosshairs(construct* con);
void FreeCrosshairs(construct* con);
// Targeted-by and missile counts; the player's unit hears "FX_FocusWarn" / "FX_MissileWarn" when the
// first one arrives. Releases never go below 0 and accept null.
void AddUnitRef(construct* con);
void ReleaseUnitRef(construct* con);
void AddMissileRef(construct* con);
void ReleaseMissileRef(construct* con);
// Clears every pointer to gone held by unit records (targets, lock targets, recent hitter, threat
// entries), clan threat lists, hit slots, owner words and the AI's globals.
void ForgetUnitReferences(construct* gone);

// The rule by which two units that block each other give way (sets aim points and give-way countdowns).
void GiveWayBetweenUnits(construct* a, UnitShare* ra, construct* b, UnitShare* rb);
// 1 when the detection record's point lies in the box ahead of the orientation.
int PointInFrontBox(const int32_t orient[9], const ThreatEntry* record);
