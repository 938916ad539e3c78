// The weapon turret: turns a unit's weapon in yaw and pitch within the unit's limits. It is steered by
// axes 1 and 2 of the control record: a player's unit gets them from the player's look direction, an AI
// unit from the aiming operations here. It plays the turn sound, reports how far a wanted aim lies outside
// the limits, and for howitzers traces the ballistic path of a shot and marks it with markers.
//
// Angles are 16.16 radians. A yaw of 308830 (three quarters of a turn) is straight ahead and is kept in
// 0..514717 so that a range around it never wraps; a pitch of 102943 is level and a smaller pitch raises
// the gun.
#pragma once

#include <cstdint>

#include "platform/Sound.h"

struct construct;
struct ConstructPool;
struct ControlInput;
struct UnitShare;
struct FixVec;
struct TFView;
struct SensorTip;

constexpr int32_t kTurretYawAhead = 308830;
constexpr int32_t kTurretPitchLevel = 102943;
constexpr int32_t kTurretYawInit = -102944;  // the same direction as 308830, one turn lower
constexpr int32_t kTurretYawTop = 514717;    // the yaw is kept in 0..514717
constexpr int32_t kTurretMarkers = 50;
constexpr int32_t kTurretSoundTicks = 30;

// The constraint report, in this order.
enum class TurretLimit : int { PitchLow = 0, PitchHigh = 1, YawLow = 2, YawHigh = 3, Count };

struct TurretReport {
    int32_t flag;    // 1 when amount > 0
    int32_t amount;  // how far the wanted aim lies beyond the limit, 16.16 radians
};

struct WeaponTurret {
    construct* con;     // the unit
    construct* turret;  // turns in yaw
    construct* gun;     // turns in pitch; origin and frame of all aiming
    int32_t yaw;
    int32_t pitch;
    int32_t lastYawAxis, lastPitchAxis;  // the last wanted axis values
    TurretReport report[static_cast<int>(TurretLimit::Count)];
    int32_t turnRate[2];      // "TopTurnRate": yaw, pitch
    int32_t recenterRate[2];  // "TopRecenterRate": yaw, pitch
    int32_t yawLimits[2];     // "YawConstraint": low, high (a low of 0 leaves the yaw free)
    int32_t pitchLimits[2];   // "PitchConstraint"
    int32_t yawLimitsCockpit[2];    // "YawConstraint_cockpit"
    int32_t pitchLimitsCockpit[2];  // "PitchConstraint_cockpit"
    uint8_t recenterYaw, recenterPitch, onTarget, ready, axesSeen, soundWanted, cockpitLimits;
    int32_t soundTimer;  // ticks the turn sound still plays at full gain
    int32_t spare;       // cleared at init, copied
    ConstructPool* markers;  // the howitzer's trail markers, or null
    uint8_t longWayPrev, longWayNow;
    int32_t longWayCountdown;
    SoundDesc turnSound;  // "%s_FX_TopTurn"
    float soundGain;      // gain of the live turn sample
    // Written by Turret_probeShot: distances from the gun to the aim point and to the impact, and the
    // horizontal direction to the impact (1.15).
    int32_t aimDistance, impactDistance;
    int32_t impactDir[3];
};

// What the howitzer's weapon hands to the shot probes.
struct TurretShot {
    int32_t muzzle[3];  // muzzle offset in the gun's frame, world units
    int32_t speed;      // muzzle speed, world units per step in 1.15 of the forward axis
    int32_t gravity;    // fall per step
};

// What Turret_probeLine stores in the unit: a flag, the impact point and its distance.
struct TurretImpact {
    int32_t flag;
    int32_t point[3];
    int32_t distance;
};

// Reads the rate and limit rules and the turn sound ("Error(WeaponTurret_init): rule %s_FX_TopTurn not
// found" when missing), yaw -102944, pitch 102943; with markers set, a pool of 50 trail markers.
void WeaponTurret_init(WeaponTurret* t, int markers, construct* con, construct* turret, construct* gun);
// Stops the turn sound, destroys the markers; a second call does nothing.
void Turret_release(WeaponTurret* t);
void Turret_wantSound(WeaponTurret* t);
void Turret_stopSound(WeaponTurret* t);
// 1: the cockpit limits, 0: the normal ones.
void Turret_setAltLimits(WeaponTurret* t, int cockpit);
// Turns the turret toward the wanted axis values; the smoothed axes follow them at the turn rate.
void Turret_aim(WeaponTurret* t, int32_t wantedYawAxis, int32_t wantedPitchAxis, int32_t* yawAxis,
                int32_t* pitchAxis, UnitShare* rec, int shift);
// Moves the axis values toward a world point (or along a world direction when dir is given), fills the
// constraint report and the on-target flag.
void Turret_trackPoint(WeaponTurret* t, int32_t* yawAxis, int32_t* pitchAxis, int shift, const FixVec* dir,
                       const int32_t point[3], int32_t size, int32_t distance, float divergence);
// STEERAI: writes axes 1 and 2 of the control record toward the unit's AI target.
void Turret_aimAtUnit(WeaponTurret* t, ControlInput* ctl, UnitShare* rec, int shift);
// STEERAI of the search light: toward the unit's aim point; once on it the point is dropped (message 10).
void Turret_aimAtPoint(WeaponTurret* t, ControlInput* ctl, UnitShare* rec, int shift);
// TICK of the player's own unit: the look angles of the view, the aim point and the turret.
void Turret_playerAim(WeaponTurret* t, TFView* view, SensorTip* sensor, const ControlInput& previous,
                      const ControlInput& current, int32_t* yawAxis, int32_t* pitchAxis, UnitShare* rec,
                      int shift);
// Howitzers: traces the shot, places markers, corrects the pitch axis of the control record toward the
// unit record's aim point.
void Turret_probeShot(WeaponTurret* t, const TurretShot* shot, ControlInput* ctl, UnitShare* rec, int shift);
// The same toward another point (the AI's howitzer aims at its target's detected position).
void Turret_probeShotAt(WeaponTurret* t, const TurretShot* shot, ControlInput* ctl, int shift,
                        const int32_t aim[3]);
// Deactivates the active markers in pool order, stopping at the first inactive one.
void Turret_releaseEvents(WeaponTurret* t);
// The same trace without markers; stores the impact and returns its distance.
int32_t Turret_probeLine(WeaponTurret* t, const TurretShot* shot, TurretImpact* impact);
// SETITFCDATA: copies the turret's state and reconciles the sound with the source.
void Turret_copy(WeaponTurret* t, const WeaponTurret* src);
// UPDATEAIUNIT: the turret's nine words (the limits, 1, 0, 0, the pitch flags) from the pointer on; the
// dispatcher passes &ai->weapon[group][kTurretStatusWord], words 13..21 of the weapon group's status block.
void Turret_status(WeaponTurret* t, uint32_t* weaponWords);
constexpr int kTurretStatusWord = 13;
