// The vehicle module frame: what every vehicle module (drives, weapon turret, weapons, unit lighting,
// sensor tip, dead-body physics) shares.
//
// A module is a plain record embedded in its vehicle type's data block (after the unit record UnitShare)
// with free functions named after the module and the slot: `ChainDrive_init`, `PjtThrower_fire`,
// `WheelDrive_steerAI`. It keeps a pointer to the construct that carries it and never owns it. The type's
// dispatcher calls the slots from fixed methods, in this order (a kind leaves out the slots it lacks):
//
//   slot        method                          arguments
//   init        PLACE (2)                       record, construct, kind-specific words; returns the
//                                               result of the sound start
//   release     UNPLACE (10), the unit's death  record; a second call does nothing where a ready flag is kept
//   startSound  init, copy                      record
//   stopSound   release, copy, death            record
//   push        TICK's hit handling             record, vector   (collide: record, other, contact data)
//   view        VIEWINSIDE (9) with 1;          record, view flag
//               VIEWOUTSIDE (29), VIEWRELEASE (39) with 0, when the unit's view is the main viewport
//   update      TICK (1)                        record, steering axis (int16), the unit's smoothed steering
//                                               word, unit record, time shift k, control record
//   steerAI     STEERAI (14)                    record, control record to fill, current steering value,
//                                               unit record
//   copy        SETITFCDATA (47)                record, source record of the same kind
//   status      UPDATEAIUNIT (52)               record, AI unit record
//
// The time step: a construct in busy pool k (0..3) is ticked every 2^k world ticks and its TICK covers
// 2^k ticks. The dispatcher passes k to the update as the time shift: per-tick increments are shifted left
// by k (StepScale), per-tick damping runs 2^k times (DampTicks), integration shifts shrink by k
// (IntegrationShift: velocity >> 8 per tick becomes velocity >> (8 - k)).
//
// Modules run on the game thread inside the world tick, in fixed point (positions 16.16, orientations
// 1.15, angles 16.16 radians) and allocate nothing per update.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"
#include "platform/Sound.h"
#include "world/Player.h"

struct construct;
struct UnitShare;
struct AIUnitRecord;
struct Unit;

// ---- Rule values ---------------------------------------------------------------------------------------

struct Rule;
// Value i of a rule read by a module; a value the rule does not have reads as 0 (never past its values).
float ModuleRuleValue(const Rule* rule, int i);
// The same truncated toward zero to an integer, as the modules keep most rule values.
int32_t ModuleRuleInt(const Rule* rule, int i);
// NamedUnitRule on the construct's units-file entry: the rule "<name>_<key>" or "<rule prefix>_<key>";
// fatal when neither exists (or when the construct has no entry).
Rule* ModuleUnitRule(const construct* con, const char* key);

// ---- Slots ---------------------------------------------------------------------------------------------

enum class ModuleSlot : int {
    Init, Release, StartSound, StopSound, Push, View, Update, SteerAI, Copy, Status,
    Count
};
constexpr int kModuleSlotCount = static_cast<int>(ModuleSlot::Count);
// The slot names as the module functions end ("init", "release", ... "status").
extern const char* const ModuleSlotNames[kModuleSlotCount];
// The dispatcher method that calls a slot; StartSound and StopSound answer the method of the slot that
// calls them (PLACE and UNPLACE), View answers VIEWINSIDE.
ItfcMethod ModuleSlotMethod(ModuleSlot slot);

// ---- The control record bits and axes the modules read or write ------------------------------------------

constexpr int kInputThrust1 = 14;  // PM_THRUST1_KEY: accelerate
constexpr int kInputThrust2 = 15;  // PM_THRUST2_KEY: brake or reverse
constexpr int kInputAscend = 16;   // PM_ASCEND_KEY
constexpr int kInputDescend = 17;  // PM_DESCEND_KEY
// kInputFire1 (18) and kInputFire2 (19): world/Player.h
constexpr int kInputLight = 20;        // PM_LIGHT_KEY
constexpr int kInputCenterTorso = 21;  // PM_CENTERTORSO_KEY
constexpr int kInputStealth = 24;      // PM_STEALTH_KEY
constexpr int kAxisChassis = 0;     // PM_CHASSIS_HTURN_SCALAR: steers the chassis
constexpr int kAxisTorsoYaw = 1;    // PM_TORSO_HTURN_SCALAR
constexpr int kAxisTorsoPitch = 2;  // PM_TORSO_VTURN_SCALAR

// ---- The time step of a busy level ------------------------------------------------------------------------

constexpr int kMaxBusyLevel = 3;

// The time shift of a construct's ticks: its busy level, held to 0..3 so that no shift count goes
// negative or past the integration shifts.
int TickShiftOf(const construct* con);
inline int ClampTickShift(int k) { return k < 0 ? 0 : (k > kMaxBusyLevel ? kMaxBusyLevel : k); }

// A per-tick increment over the 2^k ticks of one update (perTick << k, defined for negative values).
inline int32_t StepScale(int32_t perTick, int k) { return perTick * (int32_t{1} << ClampTickShift(k)); }
inline float StepScaleF(float perTick, int k) { return perTick * static_cast<float>(1 << ClampTickShift(k)); }
// An integration shift of a per-tick step, reduced by k (never below 0).
inline int IntegrationShift(int perTickShift, int k) {
    const int s = perTickShift - ClampTickShift(k);
    return s < 0 ? 0 : s;
}
// value >> IntegrationShift(perTickShift, k): the part of a velocity covered by one update.
inline int32_t IntegrateStep(int32_t value, int perTickShift, int k) {
    return static_cast<int32_t>(static_cast<int64_t>(value) >> IntegrationShift(perTickShift, k));
}
// Per-tick damping (value * factor >> shift) applied 2^k times.
int32_t DampTicks(int32_t value, int32_t factor, int shift, int k);
void DampTicks3(int32_t v[3], int32_t factor, int shift, int k);
// Smoothed steering: word += (axis - word, as a signed 16-bit difference) >> (baseShift - k).
int32_t SmoothSteering(int32_t word, int16_t axis, int k, int baseShift = 5);
// Moves value toward 0 by step without passing it.
int32_t TowardZero(int32_t value, int32_t step);
float TowardZeroF(float value, float step);

// ---- The pending push ----------------------------------------------------------------------------------

// Set by the push slot (TICK's hit handling); the next update adds it at its start and clears it at its end.
struct PendingPush {
    int32_t flag;
    int32_t vec[3];
};
void PendingPush_set(PendingPush* p, const int32_t vec[3]);
// When a push is pending: velocity[i] += vec[i] >> shift. Returns 1 when one was pending. The flag stays
// set until PendingPush_clear (the end of the update), so a zero push is still consumed once.
int PendingPush_apply(const PendingPush* p, int32_t velocity[3], int shift);
void PendingPush_clear(PendingPush* p);

// ---- Engine sounds --------------------------------------------------------------------------------------

// The engine-sound block: the sample heard from outside ("<rule prefix>_FX_engine") and in the cockpit
// ("<rule prefix>_FX_engine_internal"); each descriptor keeps the handle of its playing sample.
struct EngineSound {
    SoundDesc external;
    SoundDesc internal;
    uint8_t view;     // 0 outside, 1 cockpit
    uint8_t soundOn;  // 1 while the engine is meant to be heard
};

// Looks both descriptors up from the global sound rules named after the unit's rule prefix (all zero
// when a rule is missing: it then plays nothing). Leaves the flags alone.
void EngineSound_lookup(EngineSound* s, const Unit* unit);
// Plays the sample of the current view (through EngineSound_view) and sets the sound-on flag.
void EngineSound_start(EngineSound* s, const construct* con);
// Frees the external and the internal sample when live; clears the sound-on flag.
void EngineSound_stop(EngineSound* s);
// 1: frees the external sample and plays the internal one unless it is live; 0: the other way round.
// Stores the flag. A new sample is placed at the construct and the sound volumes are applied.
void EngineSound_view(EngineSound* s, const construct* con, int view);
// Each live sample follows the construct with the unit's velocity (null: at rest) and the blend value
// (0..255, |speed| x 256 / top speed for the engines).
void EngineSound_follow(EngineSound* s, const construct* con, const int32_t velocity[3], int blend);
// After a copy: source on and own off starts the sound; source off and own on stops it.
void EngineSound_reconcile(EngineSound* s, const construct* con, int sourceOn);
// |speed| x 256 / top speed, 0 for a top speed of 0.
int EngineBlend(int32_t speed, int32_t topSpeed);
// 1 while the descriptor's own sample still plays.
int SampleLive(const SoundDesc* desc);
// Frees the descriptor's sample when it is live.
void FreeSample(SoundDesc* desc);

// ---- AI steering toward the unit's destination ----------------------------------------------------------

struct DriveAIState {
    int32_t dest[3];     // the destination taken from the unit record
    int32_t wantedTurn;
};

// Where the destination lies from the unit, in the horizontal plane.
struct DriveBearing {
    int32_t centre[3];  // the bounding sphere's world centre
    int32_t distance;   // horizontal, world units
    int32_t dir[3];     // normalised horizontal direction (1.15; y 0), zero when the unit stands on it
    float sine;         // forward z x dir x - forward x x dir z, x 2^-30
    float cosine;       // forward x x dir x + forward z x dir z, x 2^-30
};

// Step 1: while the unit record's destination-pending flag (aimPointSet) is set, the destination is
// copied into the drive's state. Returns the flag.
int DriveAI_takeDestination(DriveAIState* ai, const UnitShare* rec);
// Step 2: distance and bearing from the bounding sphere's centre (its local centre turned into the world
// and moved by the position) to the point, against the unit's forward axis.
void DriveAI_bearing(const construct* con, const int32_t point[3], DriveBearing* out);
// Step 4: when the destination is pending and the distance is below the bounding radius, clears the flag
// and posts AI message 10 (destination reached; the unit as sender) to the unit's clan. Returns 1 then.
int DriveAI_arrive(construct* con, UnitShare* rec, int32_t distance);
// Sign of a value as the steering rules use it: -1 below 0, else 1.
inline float SignOrOne(float v) { return v < 0 ? -1.0f : 1.0f; }

// ---- Status ------------------------------------------------------------------------------------------

// The drive's fields of the AI unit record: the top speed, a word set to 0 and the mobility flag (1 for
// boats, hovercraft and cars; the class word for ground drives).
void DriveStatus_write(AIUnitRecord* ai, int32_t topSpeed, uint8_t flag);

// ---- The ground-drive block ---------------------------------------------------------------------------

// The head that the tracked drive (ChainDrive) and the wheeled drive (WheelDrive) share, so that one set
// of operations serves both: each of their records begins with this block.
struct GroundDriveBlock {
    construct* con;
    int32_t jolt;       // set by WheelDrive_jolt, consumed by the next update
    int32_t wake;       // set by WheelDrive_wake, consumed by the next update
    int32_t rest;       // the drive's rest flag
    int32_t modeFlag;   // engine off wanted (WheelDrive_setMode)
    int32_t engineOff;  // the engine has stopped
    int32_t classWord;  // the dispatcher's init word; reported by the status
    int32_t speedConstraint[2];  // "SpeedConstraint": [0] reverse, [1] forward limit (the top speed)
    int32_t* enginePowerWord;    // the type's word that receives the engine power, or null
    float enginePower;           // 0..100; 100 at init
    float modeFactor;            // power change per tick: 0 at init, +-0.9 through WheelDrive_setMode
    SoundDesc dive;              // "FX_dive"
    EngineSound engine;          // view flag and sound-on flag inside
    uint8_t ready;               // set by init, cleared by release
    uint8_t soundState;          // the throttle-key flag; cleared by the sound start
    int32_t ones[4];             // set to 1 at init (the four above-water flags)
};

constexpr float kEnginePowerFull = 100.0f;
constexpr float kEngineModeFactor = 0.9f;

// The block's part of an init: construct and class word stored, flags and power state cleared, engine
// power 100, mode factor 0, the four words 1, "SpeedConstraint" read through NamedUnitRule (fatal when
// missing), the three descriptors looked up. The drive starts the sound itself when its init is done.
void GroundDrive_initBlock(GroundDriveBlock* g, construct* con, int32_t classWord, int32_t* enginePowerWord);
// Plays the sample of the current view, sets sound on, clears the sound state.
void ChainDrive_startSound(GroundDriveBlock* g);
// The view slot of both ground drives.
void ChainDrive_engineView(GroundDriveBlock* g, int view);
// The status slot of both ground drives: forward limit, 0, the class word.
void ChainDrive_status(GroundDriveBlock* g, AIUnitRecord* ai);
// Stops both engine samples, clears sound on.
void WheelDrive_stopSound(GroundDriveBlock* g);
void WheelDrive_jolt(GroundDriveBlock* g);
void WheelDrive_wake(GroundDriveBlock* g);
// Stores the mode flag; the mode factor becomes -0.9 when it is set and +0.9 when it is cleared.
void WheelDrive_setMode(GroundDriveBlock* g, int mode);
// The engine-off handling of an update: while the mode flag or the engine-off state is set, THRUST2 is
// set in the control record when moving (cleared otherwise) and THRUST1 cleared; at power 0 the engine
// is off and both samples stop. With the mode flag clear and the power at 100, the engine-off state
// clears and the sample of the current view starts unless it is live. Returns 1 while the engine is
// being held off (the caller then ignores steering).
int GroundDrive_engineMode(GroundDriveBlock* g, ControlInput* control, int moving);
// Power += 2^k x mode factor, held to 0..100 (the factor becomes 0 at either end); the power goes,
// truncated, to the type's engine-power word.
void GroundDrive_rampPower(GroundDriveBlock* g, int k);
// The release of the block: stops the engine samples while ready and clears ready (a second call does
// nothing).
void GroundDrive_releaseBlock(GroundDriveBlock* g);
// The block's part of a drive's copy: class word, jolt, rest, mode flag, engine-off state, speed
// constraint, engine power, mode factor and the four words. The drive reconciles the engine sound itself
// once its own fields are copied.
void GroundDrive_copyBlock(GroundDriveBlock* g, const GroundDriveBlock* s);
