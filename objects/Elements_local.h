// What the element types' files share: their type data blocks, the building frame (creation from the
// object files, placement in quarter turns on the tiles, damage and state, hits, the footprint), the
// resistances, the scenery lights and the saved forms.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/Elements.h"
#include "objects/UnitServices.h"
#include "objects/UnitShare.h"
#include "platform/Sound.h"
#include "world/Statics.h"

struct Geom;
struct PointLight;
struct Unit;

namespace elements {

constexpr int32_t kQuarterTurn = 102943;
constexpr int32_t kFullTurn = 411774;
// A rigid resistance (and a bending mast) sounds again only after this many ticks.
constexpr int32_t kQuietTicks = 200;
// Footprint bits: the sub-points' flag word (blocked) and access byte.
constexpr uint32_t kFootprintWordBits = 4096;
constexpr uint32_t kFootprintByteBits = 4;
constexpr float kBuildingScale = 171.6f;
constexpr float kLargeBuildingScale = 170.8f;
constexpr float kSceneryScale = 171.5f;
// Construct flags.
constexpr uint32_t kHittableElement = 3;  // takes hits, lit
constexpr uint32_t kLitPart = 2;
constexpr uint32_t kLargeFlag = 0x10000;
constexpr uint32_t kOriginalHeightFlag = 0x4000000;
constexpr uint32_t kSuperForceCollision = 0x40000000;
// The joint kind of moving sub-constructs.
constexpr int kMovingPart = 7;

// How a part reacts to a strike, with the sound it makes.
struct ResistanceSlot {
    ResistanceRecord rec;
    SoundDesc sound;
};

// The five building types. Each uses the fields its type has; the rest stay 0.
enum class BuildingKind : int { Multi, Base, LBase, Giant, Frag };
struct BuildingBlock {
    UnitShare unit;  // must stay first: GETUNIT answers the block
    DamageRecord damage;
    StateRecord state;
    MaximaRecord maxima;
    ResistanceSlot resistance[2];  // MultiElem: 0 for strikers of access type other than 1, 1 for type 1
    int32_t animCounter;           // 0..255
    int32_t accessibleHeight;      // height-field values above it block
    uint32_t footprintWordBits;
    uint32_t footprintByteBits;
    int32_t footprintMark;
    int32_t addonAngle;    // 16.16 radians
    int32_t turnRate;      // added per tick call
    int32_t turnMax;       // 0: turn for ever
    int32_t lastRigidHit;  // tick counter
    uint8_t alive;
    uint8_t mode;
    construct* wreck;  // the "deadbody" look, or null
    construct* rotor;
    construct* wheel;
    construct* swing;
    SoundDesc go, stop, engine;  // the engine loops while a swing moves
    SoundDesc explosion;         // FragElem
};

// LGateElem: doors in the order left swing, right swing, left slide, right slide.
enum : int { kLeftSwing = 0, kRightSwing = 1, kLeftSlide = 2, kRightSlide = 3 };
struct GateBlock {
    UnitShare unit;
    StaticPlacement placement;  // where it was put, for the re-stamps of the passage
    DamageRecord damage;
    StateRecord state;
    MaximaRecord maxima;
    construct* doors[4];
    int32_t accessibleHeight;
    float doorPos;    // 0 closed .. 1 open
    float doorSpeed;  // per tick call
    uint8_t alive;
    uint8_t mode;
    construct* wreck;
    SoundDesc openSound, closeSound;
};

struct LiftBlock {
    UnitShare unit;
    DamageRecord damage;
    StateRecord state;
    MaximaRecord maxima;
    construct* platform;
    int32_t accessibleHeight;
    uint8_t alive;
    uint8_t mode;
    float liftPos;    // 0 down .. 1 up
    float liftSpeed;  // per tick call
    float speed;      // rule "speed"
    int32_t ascendHeight;
    int32_t heightBias;
    StaticPlacement placement;
    SoundDesc go, stop, engine;
};

struct NRGGateBlock {
    UnitShare unit;  // only its shard list is used
    DamageRecord damage;
    StateRecord state;
    uint8_t mode;  // bit 0: the barrier is on
    SoundDesc hum;
    Geom* second[4];  // the other look ("nrggateo" while on)
};

// The scenery light: a point light taken from the object file, its colour and the animation flags.
struct SceneryLight {
    PointLight* light;
    uint8_t colour[3];      // the file's red, green and blue
    uint8_t paletteAnim;    // a billboard's palette changes colour
    uint8_t bboardAnim;     // a billboard has animation frames
};

struct SceneryBlock {
    UnitShare unit;  // only its shard list is used
    SceneryLight lit;
    int32_t animCounter;
    uint8_t mode;
};

struct MultiSceneryBlock {
    UnitShare unit;
    DamageRecord damage;
    StateRecord state;
    MaximaRecord maxima;
    construct* wreck;
    SceneryLight lit;
    int32_t accessibleHeight;
    int32_t animCounter;
    uint8_t alive;
    uint8_t mode;
    int32_t baseOrient[9];  // the orientation at placement
    ResistanceSlot resistance[2];
    int32_t movingSlot;      // the resistance that moves it, -1 none
    uint32_t footprintBits;  // access bits: 12, 4 or 0
    int32_t lastHit;         // tick of the last rigid or bend hit
    int32_t moving;
    float angle;
    float velocity;
    int32_t axis[3];  // 1.15, in the ground plane across the blow
};

struct LanternBlock {
    PointLight* light;
    int32_t on;
    uint8_t start, current, step;
    uint8_t ramp[256][3];
};

// ---- The building frame (BuildingElem.cpp) ----

// The units-file entry handed to CREATE as its construct argument.
inline Unit* EntryOf(construct* argument) { return reinterpret_cast<Unit*>(argument); }
// The heading in 0..411773, stepped down to a quarter turn.
int32_t QuarterTurnHeading(int32_t heading);
// Steps the record's heading and writes back what the statics read: y to be found, pitch level.
StaticPlacement StepPlacement(PlacementRecord* place);
// Rule "AccessibleHeight" as an integer, 0 when missing.
int32_t AccessibleHeightRule(const Unit* unit);
// Damage, state and maxima from "impactphysical" and its companions, else the defaults (physical
// 100, shield damage 2 for buildings, structure 1000000 at full strength, else strength x 60 / 100).
void ReadDamageAndState(const Unit* unit, int32_t strength, uint8_t defaultShieldDamage, DamageRecord* damage,
                        StateRecord* state, MaximaRecord* maxima);
// The default structure of a placement strength.
int32_t DefaultStructure(int32_t strength);
// The two resistances of the rule "resistance" ("rigid" without it) with their sounds.
void ReadResistances(const Unit* unit, ResistanceSlot slots[2], void* owner);
// Which of the two stand: 3 both, 1 only the first, 2 only the second, 0 neither.
int StandingResistances(const ResistanceSlot slots[2]);
// The striker's records (zeros when it answers none) and its access type.
DamageRecord StrikerDamage(construct* striker);
const StateRecord* StrikerState(construct* striker);
int32_t ResistanceSlotFor(construct* striker);
// The striker goes into the first hit slot, its position as the contact point.
void RecordStriker(construct* con, construct* striker);
// Plays a descriptor at the construct's position (nothing without a file).
void PlayAt(const construct* con, SoundDesc* sound);
// Starts a looping sound at the construct when it does not play; moves a playing one there.
void LoopAt(const construct* con, SoundDesc* sound);
void StopSound(SoundDesc* sound);
// Busy events: made busy at the level unless busy or waiting; taken out when busy or waiting.
void QueueBusy(construct* con, int level);
void QueueUnbusy(construct* con);
bool BusyOrPending(const construct* con);
// Checks the number of height fields the last object file brought and the width (0: any); a fault frees
// the geometry just read (nothing half-built is left) and is fatal.
void CheckHFields(Geom* g, const char* typeName, const char* separator, const char* path, int width);
// Frees the geometry just read and what its file staged, then ends the program with the text.
[[noreturn]] void RefuseLoaded(Geom* g, const char* text);
// Takes the height field, spheres and billboards (and spots) staged by the last object file.
void TakeStaged(construct* con, bool spots);
// Frees what the last object file staged and no construct took.
void DropStaged();
// The "deadbody" look of a directory: flags 3, no sub-constructs.
construct* CreateWreck(const char* directory, float scale, bool hfield);
// The "addons" rule's "deadbody" and "ownfrags": the wreck and the shard list.
construct* AddonWreckAndShards(const Unit* unit, const char* directory, OwnedConstructs* owned, float scale,
                               bool hfield);
// A moving sub-construct from the directory's object of that name.
construct* AppendMovingPart(construct* parent, const char* directory, const char* name, float scale);
// Places a sub-construct: the turn carried by the parent's orientation, at the parent plus its anchor
// turned by the given matrix (null: by the part's new orientation).
void PlacePart(const construct* parent, construct* part, const int32_t turn[9], const int32_t anchorTurn[9]);
// The destruction shared by the wreck-holding types: look swap, spots, shards and fragments.
void BreakApart(construct* con, construct* wreck, OwnedConstructs* owned);
// Made busy at the element level while billboards or spot effects run, else taken out.
void BusyWhileEffects(construct* con);
// A copy of a wreck look (its visuals; it has no type of its own).
construct* CopyWreck(const construct* wreck);

// ---- The scenery light (Scenery.cpp) ----

// Takes the light the last object file brought (null when none).
PointLight* TakeStagedLight();
// At placement: the light to the scenery, its colour stored, in the scenery-light pool; the animation
// flags from the billboards.
void PlaceSceneryLight(construct* con, SceneryLight* lit);
void SetSceneryBrightness(SceneryLight* lit, construct* con, int level);
void SceneryLightOff(construct* con, SceneryLight* lit);
bool SceneryAnimated(const construct* con, const SceneryLight* lit);
void AnimateScenery(construct* con, const SceneryLight* lit, int32_t* counter);

// ---- Saved forms (Elements_saved.cpp) ----

uint8_t* BuildingSaved(const BuildingBlock* b, BuildingKind kind, uintptr_t sizeOut);
void BuildingRestore(BuildingBlock* b, BuildingKind kind, const uint8_t* in);
uint8_t* GateSaved(const GateBlock* b, uintptr_t sizeOut);
void GateRestore(GateBlock* b, const uint8_t* in);
uint8_t* LiftSaved(const LiftBlock* b, uintptr_t sizeOut);
void LiftRestore(LiftBlock* b, const uint8_t* in);
uint8_t* NRGGateSaved(const NRGGateBlock* b, uintptr_t sizeOut);
void NRGGateRestore(NRGGateBlock* b, const uint8_t* in);
uint8_t* ScenerySaved(const SceneryBlock* b, uintptr_t sizeOut);
void SceneryRestore(SceneryBlock* b, const uint8_t* in);
uint8_t* MultiScenerySaved(const MultiSceneryBlock* b, uintptr_t sizeOut);
void MultiSceneryRestore(MultiSceneryBlock* b, const uint8_t* in);
uint8_t* LanternSaved(const LanternBlock* b, uintptr_t sizeOut);
void LanternRestore(LanternBlock* b, const uint8_t* in);
// Fatal with the type's message when the form is damaged.
void RequireSaved(ElementForm form, const uint8_t* block);

}  // namespace elements
