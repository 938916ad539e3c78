// The shared half of every unit's TICK and of a hit: the per-tick update of the unit record (shade and
// fade, aim wobble, target cycling and lock-on, countdowns, the mission-area autopilot), the hit with
// its shield and structure damage, debris and kill credit, and the bookkeeping of a unit's death.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "objects/UnitShare.h"

struct construct;

constexpr int32_t kLockCountdown = 150;
constexpr int32_t kWobbleTicks = 110;
constexpr int32_t kAutopilotMargin = 16000;
constexpr int32_t kMutualTargetTicks = 300;
constexpr int kMaxShieldHitEffects = 15;
// Key bits of the control record that cycle the lock target forward and backward.
constexpr int kInputNextTarget = 22;
constexpr int kInputPreviousTarget = 23;
// The key code of "SHIFT_KEY": held, the player's target keys do nothing.
constexpr int kShiftKeyCode = 276;

// Once per TICK of a living unit, after its drive and before its weapons.
void TickUnitShare(construct* con, UnitShare* rec, int tickShift, const ControlInput& previous,
                   const ControlInput& current);
// Steps the lock target to the next (previous) hostile entry of the threat list.
void CycleTarget(construct* con, UnitShare* rec, int backwards);
// Makes other the lock target when it is in the unit's threat list.
void SetLockTargetFromThreats(construct* con, UnitShare* rec, construct* other);

// A spark where a unit or element struck a unit without shield.
void SpawnPooledEffect(construct* victim, const StateRecord* victimState, const StateRecord* hitterState,
                       const int32_t point[3]);
// Applies the hitter's damage to the victim's shield (slot 0..3, or negative without a slot) and tells
// the AI; returns the structure damage the caller must apply.
int32_t ApplyHitToUnit(construct* victim, int slot, StateRecord* victimState, const DamageRecord* damage);
// Subtracts the structure damage, throws debris, plays the hit sound of the kind and credits a kill.
void SpawnDebris(construct* victim, int slot, StateRecord* victimState, const int32_t push[3], int32_t damage,
                 int kind);
// The AI bookkeeping of a unit's death.
void NotifyUnitDestroyed(construct* con, UnitShare* rec);
