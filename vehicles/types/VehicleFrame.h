// The frame every vehicle type is built on: the common head of the type data block (unit record, look
// values, impact, state, maxima, recovery step, stealth mode, cockpit model and its warning lights), the
// steps that every type runs the same way (building the body, its parts, the cockpit model, the box and
// the wreck template at CREATE; placing and reading the combat rules at PLACE; the hits and countdowns at
// the head of TICK; the death with its debris, fragments and wreck; the part matrices and the two views),
// and VehicleFrame_itfc, which answers every method that is the same for all vehicle types.
//
// A type's dispatcher is one switch over ItfcMethod: it answers the methods that are its own and hands
// every other method, through one default:, to the frame with the type's VehicleKind (where its block
// keeps the standard modules):
//
//     uintptr_t EMAJeep_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
//         switch (method) {
//             case ItfcMethod::CREATE: ...
//             ...
//             default:
//                 return VehicleFrame_itfc(kKind, con, method, arg);
//         }
//     }
//
// The frame answers
//   from the head:   GETNAME, GETUNIT, GETDAMAGE, GETSTATE, GETMAXIMA, GETPOS (the construct's position),
//                    SETLOOK (axes 1, 2 and 0 into the look values), GETGAUGES2 (0), DRAWOVERLAY (the
//                    cockpit model with its warning lights, when the type has one) and DESTROY;
//   from the turret: GETTURRETYAW, GETTURRETPITCH, SETTURRETYAW, SETTURRETPITCH, GETTURRETPOS and
//                    GETTURRETMATRIX (the turret's yaw construct), MANUALCONTROL (both recentring flags);
//   from the ground drive: GROUNDCHANGED (the wake) and GETDRIVEFLAG (the rest word);
//   from the sensor tip: PLAYERLEAVE, DRAWVIEWMARKS and DRAWOWNMARKS (the crosshair at the beam's end);
//   VIEWINSIDE, VIEWOUTSIDE and VIEWRELEASE (the unit record's views; on the main viewport the turret's
//                    limits, the engine sample, the sensor beam and the player view's inside flag) and
//                    PLAYERENTER (the sensor beam, the lights brought to the clan's lighting flag), each
//                    with the modules the type has;
//   every other method with the unknown-method answer (VehicleUnknownMethod).
// A method of a module the type lacks goes to the unknown-method answer, except the turret getters,
// which answer as a unit without a turret: 0x80000000 for the angles, 0 for the position and matrix.
//
// A type answers itself CREATE, TICK, PLACE, UNPLACE, STEERAI, GETITFCDATA, SETITFCDATA and UPDATEAIUNIT;
// the methods of its own drive and weapon records (GETGAUGES, GETACCESSTYPE, GETTHROTTLE, ...); and, in a
// case of its own, any method of the frame's that it answers otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/Keys.h"
#include "objects/Itfc.h"
#include "objects/UnitSaved.h"
#include "objects/UnitShare.h"
#include "world/Player.h"

struct construct;
struct Unit;
struct bboard;
struct UnitLighting;
struct WeaponTurret;
struct GroundDriveBlock;
struct SensorTip;

// A quarter turn in 16.16 radians: the pitch of a level orientation.
constexpr int32_t kQuarterTurn = 102943;
// The object directory at the end of every type data block.
constexpr int kVehicleDirectorySize = 256;
// Initial construct flags of ground units (input-driven, 0x40000, among them), of flying and gliding
// units, and of boats, stationary units and the train.
constexpr uint32_t kGroundUnitFlags = 0x840002;
constexpr uint32_t kFlyingUnitFlags = 0x844002;
constexpr uint32_t kFixedUnitFlags = 0x40002;
// Joint kind of a vehicle's parts on its body.
constexpr int kPartJoint = 7;

// Key bits of the control record that the vehicle types read (the bit is the pilot binding's index).
constexpr int kKeyThrust1 = static_cast<int>(PilotKey::THRUST1);
constexpr int kKeyThrust2 = static_cast<int>(PilotKey::THRUST2);
constexpr int kKeyAscend = static_cast<int>(PilotKey::ASCEND);
constexpr int kKeyFire1 = static_cast<int>(PilotKey::FIRE1);
constexpr int kKeyFire2 = static_cast<int>(PilotKey::FIRE2);
constexpr int kKeyLight = static_cast<int>(PilotKey::LIGHT);
constexpr int kKeyCenterTorso = static_cast<int>(PilotKey::CENTERTORSO);
constexpr int kKeyStealth = static_cast<int>(PilotKey::STEALTH);
constexpr int kKeySelfDestruct = static_cast<int>(PilotKey::SELFDESTRUCT);
static_assert(kKeyFire1 == 18 && kKeyLight == 20 && kKeyCenterTorso == 21 && kKeyStealth == 24 &&
              kKeySelfDestruct == 50);
// Axes of the control record: steering, turret yaw, turret pitch.
constexpr int kAxisSteer = 0;
constexpr int kAxisYaw = 1;
constexpr int kAxisPitch = 2;

// The head of every vehicle type's data block, in this order; the type's module records follow and the
// object directory (kVehicleDirectorySize characters) ends the block.
struct VehicleHead {
    UnitShare unit;          // GETUNIT returns the block itself
    int32_t look[3];         // smoothed turret yaw, turret pitch and steering axes
    DamageRecord impact;     // what the unit deals when it rams: GETDAMAGE
    StateRecord state;       // GETSTATE; alive while structure is above 0
    MaximaRecord maxima;     // the state at placement: GETMAXIMA
    int32_t recovery[3];     // added to the state every 128 ticks: 3, 0, 0
    uint32_t stealthMode;    // the unit's wish, toggled by the stealth key
    construct* cockpit;      // a free construct drawn by DRAWOVERLAY
    int32_t* missileWarning; // level word of the cockpit's "warn_missile"
    int32_t* lockWarning;    // level word of the cockpit's "warn_lock"
    uint32_t dead;           // set by the death, which runs once
};

// The saved form of the head that GETITFCDATA hands out and SETITFCDATA takes back (a saved game stores
// it): the unit record's saved form, then the look axes, the impact bytes, state, maxima, recovery, the
// stealth wish and the death flag, little-endian with no pointer. A type's saved block is this head
// followed by its modules' saved forms (vehicles/modules/ModuleSaved.h) in the order its SETITFCDATA
// copies them.
constexpr size_t kVehicleSavedSize = kUnitSavedSize + 60;
// GETITFCDATA: a tracked block ("<type> data block") of size bytes (at least kVehicleSavedSize) holding
// the head's saved form, the rest zero for the type's modules; size goes through sizeOut when that is
// not 0.
uint8_t* VehicleSavedBlock(const VehicleHead* head, const char* typeName, size_t size, uintptr_t sizeOut);
// SETITFCDATA: the head takes a saved form over as a state copy does.
void VehicleRestoreSaved(VehicleHead* head, const void* block);
// The head's part of a type's check of its saved block: null when it may be taken over, else why not.
const char* VehicleCheckSaved(const uint8_t* block);

// The level word of a billboard (light or halo intensity, or an animation counter).
int32_t* BBoardLevelWord(bboard* board);
// The level word of the construct's billboard of that name; fatal when missing.
int32_t* NamedBBoardLevel(const construct* con, const char* name);

// CREATE, step by step.
// The unit's construct with its flags, entry and dispatcher.
construct* VehicleCreateConstruct(Unit* entry, ItfcProc itfc, int subSlots, uint32_t flags);
// The type data block of size bytes ("itfc data") with the object directory in its last 256 characters.
void* VehicleAllocBlock(construct* con, int size, const char* directory);
// The object directory of a block of size bytes.
const char* VehicleDirectory(const construct* con, int size);
// The body geometry of that name with its spheres, billboards and spots, and the shadow "shad".
void VehicleLoadBody(construct* con, float scale, const char* directory, const char* bodyName, bool shadow);
// A part: geometry by name, a construct of its own taking the geometry's billboards (follow the part's
// effect phase when followPhase is set), appended to the body with the vehicles' joint kind.
construct* VehicleLoadPart(construct* body, float scale, const char* directory, const char* name,
                           int followPhase);
// A part that sits on another part at that part's anchor (a gun on its turret): appended to the body's
// list like every part, its offset taken from the parent's anchor, so VehiclePlacePart on the parent
// places it.
construct* VehicleLoadPartOn(construct* body, construct* parent, float scale, const char* directory,
                             const char* name, int followPhase);
// A free part drawn by the type itself (the cockpit's gun or barrels): not appended to the body.
construct* VehicleLoadFreePart(float scale, const char* directory, const char* name);
// The free cockpit model of the unit rule "CockpitModel" (scale, then its geometry path).
construct* VehicleLoadCockpit(construct* con);
// The box of "bcube" (times scale times 0.25), the sphere about its middle with the radius of
// "BsphereRadius", and the four lower corners as probe points.
void VehicleSetBox(construct* con, float scale);
// Preloads the wreck of the directory once (when "<directory>\deadbody" exists).
void VehiclePreloadWreck(construct* con, const char* directory);

// The first value of the unit rule "scale" (fatal when missing).
float VehicleScale(const construct* con);

// PLACE, step by step.
// The common beginning of every type's PLACE: the impact rule checked before anything changes, a placed
// unit unplaced first, the body placed on the ground, the type pools joined, the unit record made, the
// look values, the stealth wish and the death flag cleared, the combat rules read and the cockpit's
// warning lights found. Returns the scale.
float VehiclePlaceHead(construct* con, VehicleHead* head, const PlacementRecord* place);
// Unplaces first when placed, then sets the flag "placed".
void VehicleBeginPlace(construct* con, uintptr_t arg);
// Position from the record (on the ground when asked), orientation from the heading, collision class 255.
void VehiclePlaceBody(construct* con, const PlacementRecord* place, bool onGround);
// Fatal, naming the unit, when its "impactphysical" gives no byte above 0: the push of every hit divides
// by it. PLACE checks it before it changes anything.
void VehicleCheckImpact(const construct* con);
// Impact bytes, state, maxima and recovery step from the unit rules; the strength scales shield and
// energy.
void VehicleReadCombatRules(construct* con, VehicleHead* head, const PlacementRecord* place);
// The warning lights of the cockpit model.
void VehicleFindWarnings(VehicleHead* head);
// Queues the unit busy at the unit busy level of its clan and activates it.
void VehicleMakeBusy(construct* con);
// The busy level of units: 1 (every second tick) in a single-player level, 0 while recording or
// replaying and in a networked game.
int VehicleBusyLevel(const construct* con);

// UNPLACE and DESTROY, the steps common to every type.
// The end of UNPLACE: type pools left, busy pool left, inactive, flag cleared.
void VehicleEndUnplace(construct* con);
// DESTROY: fatal "remove first" while placed; frees the cockpit model, the owned fragments and the unit.
void VehicleDestroy(construct* con, VehicleHead* head);

// TICK, the steps common to every type.
// The hits of the four slots, stopping at the first empty one; a hit pushes the unit by the hitter's
// physical impact over its own, shifted right by pushShift (12 for most types, 14 for the heavy tracked
// ones). Returns how many hits should jolt the drive (physical impact above 5).
int VehicleApplyHits(construct* con, VehicleHead* head, int pushShift = 12);
// The status word counts down by 1, the give-way countdown by 2^k.
void VehicleCountdowns(VehicleHead* head, int k);
// Every 128th world tick the state gains the recovery step, each component held at its maximum.
void VehicleRecover(VehicleHead* head);
// The stealth key toggles the unit's wish (an edge, or the drive's throttle while in stealth); returns
// true when it changed. The unit record's drive-mode byte follows.
bool VehicleStealthToggle(construct* con, VehicleHead* head, const TickInput* in, int throttleHeld);
// The first half of the death: lock target released, owned fragments thrown, "frags" spawned, the AI
// told, the unit out of the busy and active pools.
void VehicleDieDebris(construct* con, VehicleHead* head);
// The wreck: with "<directory>\deadbody" and room in the dead-body pool a wreck takes the unit's place;
// without the file the unit burns where it stands; with a full pool nothing happens.
void VehicleLeaveWreck(construct* con, const char* directory);
// A part at its parent's position (the body or the part it sits on) plus its offset from the parent (its
// geometry anchor, less the parent's anchor for a part on a part) turned by the parent's orientation, with
// the parent's orientation times MatrixFromYawPitch(yaw, pitch); raise lifts the offset along the
// parent's up axis (world units).
void VehiclePlacePart(const construct* body, construct* part, int32_t yaw, int32_t pitch, int32_t raise = 0);
// The steps of the alive tick after the drive and the unit record's tick, the same for every ground
// type: the centre-torso key recentres the turret, the self-destruct key kills while recording or
// replaying, the stealth key toggles the drive's mode, the unit-state flag follows the drive's stopped
// engine (lights switched, the player's sensor beam laid or cleared), and the lights update. The sensor
// may be null.
void VehicleControlSteps(construct* con, VehicleHead* head, WeaponTurret* turret, GroundDriveBlock* drive,
                         UnitLighting* lighting, SensorTip* sensor, TickInput* in, int k);
// The lights, shining from between the body's billboards "fronthalo1" and "fronthalo2": the torch and the
// two front halos at full level, and with rear lights also "rearlight" (full) and the two rear halos
// (half); the other slots empty.
void VehicleInitLighting(construct* con, UnitLighting* lighting, bool rearLights);
// The inside view at the view tip turned by the eye's carrier (the body unless given) from the carrier's
// position (orientation: the eye's), the outside view at the rear tip behind the body (the body's
// orientation turned half a turn).
void VehicleSetViews(const construct* body, VehicleHead* head, const int32_t eyeOrient[9],
                     const construct* eyeCarrier = nullptr);

// The death, once (the head's death flag): debris, fragments, the AI told, the wreck; then the turret's
// and the drive's sounds, the lights and the sensor beam stop (each may be null).
void VehicleDie(construct* con, VehicleHead* head, const char* directory, WeaponTurret* turret,
                GroundDriveBlock* drive, UnitLighting* lighting, SensorTip* sensor);

// STEERAI, the steps common to every type.
// The record cleared and given the smoothed axes; the stealth key pressed while the AI's wish differs
// (32 ticks of every 64); the target released when the clan no longer holds it (acquire, when given,
// receives 255 while there is a target, else 0). Returns whether the unit has a target to fight (its
// target set and its detection record not flagged 0x20).
bool VehicleSteerBegin(construct* con, VehicleHead* head, ControlInput* in, int32_t* acquire);
// Without a target: the turret tracks the alert point while it lasts, else every 512th tick the turret
// recentres unless a push holds the unit.
void VehicleSteerIdle(VehicleHead* head, WeaponTurret* turret, ControlInput* in, int k);
// Every 128th tick the lights follow the clan's lighting flag (off while fighting).
void VehicleSteerLights(const construct* con, const UnitLighting* lighting, bool target, ControlInput* in);
// Weapon group n may fire: its bit in the target parameter and ammunition left.
bool VehicleMayFire(const UnitShare* rec, int group, int32_t ammo);
// Ready to fire: the turret on target, the target countdown run out and the target within the range band.
bool VehicleReadyToFire(const WeaponTurret* turret, UnitShare* rec, const int32_t range[3]);

// Writes the type's name and the method number to the debug print and answers 0.
uintptr_t VehicleUnknownMethod(const char* typeName, ItfcMethod method);

// ---- The frame's dispatcher --------------------------------------------------------------------------

// The place of a module that a type does not have.
constexpr ptrdiff_t kNoModule = -1;
// What the frame must know of a type: its name and where its block keeps the standard modules (offsetof
// in the type's block, which begins with the VehicleHead), or kNoModule.
struct VehicleKind {
    const char* name;    // GETNAME and the unknown-method line
    ptrdiff_t turret;    // WeaponTurret
    ptrdiff_t drive;     // WheelDrive or ChainDrive: the record that begins with its GroundDriveBlock
    ptrdiff_t sensor;    // SensorTip
    ptrdiff_t lighting;  // UnitLighting
    bool noViewFlag = false;  // the views leave the player view's inside flag alone
};
// Answers the methods that every vehicle type answers the same way (see the top of this header) for a
// type described by kind, and every other method with the unknown-method answer. GETNAME works with a
// null construct.
uintptr_t VehicleFrame_itfc(const VehicleKind& kind, construct* con, ItfcMethod method, uintptr_t arg);

// Fills the registry slots of the vehicle types that exist and installs their saved-form checks (called
// once at start-up, before the units file is read). The types are the rows of VehicleTypes.h.
void RegisterVehicleTypes();
