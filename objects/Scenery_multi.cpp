// MultiScenery: a scenery object that can be struck and reacts by its resistance: a tree that swings
// back, a mast that bends and stays bent, a pole that falls over and lies on the ground, a panel that
// slams, a fence that breaks. It can be destroyed like a building and may carry a scenery light.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "ai/UnitAI.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/Elements_local.h"
#include "objects/SceneryLighting.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/Units.h"
#include "render/Light.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

using namespace elements;

namespace {

constexpr const char* kName = "MultiScenery";
// The tip of a falling part in its own frame, and how far above the ground it comes to rest.
constexpr int32_t kTipHeight = 7000;
constexpr int32_t kRestAboveGround = 1250;
constexpr float kStopAngle = 0.01f;
constexpr float kStopBend = 0.001f;
constexpr float kSettleStep = 0.001f;
constexpr float kAngleToRadians = 10000.0f;  // 16.16 radians per unit of swing angle
// One full turn in swing units: a part never swings further (a fallen pole lies at about 9), so a
// stored state from elsewhere cannot spin it round, nor keep the settling below from ending.
constexpr float kFullSwing = 411774.0f / kAngleToRadians;

MultiSceneryBlock* Block(construct* con) { return static_cast<MultiSceneryBlock*>(con->itfcData); }

const char* PathOf(const construct* con) { return con->unit && con->unit->path ? con->unit->path : ""; }

// The scenery height field of the first of the klass bits SCENHF1..SCENHF4 set (1..4), or 0.
int KlassHField(const Unit* unit) {
    static const uint32_t kBits[4] = {kKlassScenHF1, kKlassScenHF2, kKlassScenHF3, kKlassScenHF4};
    const uint32_t klass = unit ? unit->klass : 0;
    for (int i = 0; i < 4; ++i)
        if (klass & kBits[i]) return i + 1;
    return 0;
}

void AllocOwnFrags(const Unit* unit, const char* path, OwnedConstructs* owned) {
    const Rule* addons = qzpk_isdir(path) ? FindUnitRule(unit, "addons") : nullptr;
    if (addons && RuleHasInfo(addons, "ownfrags"))
        AllocShards(owned, path, TruncateToInt32(addons->count > 0 && addons->values ? addons->values[0] : 0.0f));
}

construct* Create(Unit* unit, const char* path) {
    if (construct* copy = ClonePreloaded(MultiScenery_itfc, path)) {
        copy->unit = unit;
        AllocOwnFrags(unit, path, &Block(copy)->unit.owned);
        return copy;
    }
    const bool directory = qzpk_isdir(path) != 0;
    Geom* g0 = LoadGeom(kSceneryScale, path, directory ? "body" : "", nullptr);
    const int sceneryField = CCADHFieldCount >= 1 ? 0 : KlassHField(unit);
    if (CCADHFieldCount < 1 && sceneryField == 0) {
        char text[600];
        std::snprintf(text, sizeof text, "Error(MultiScenery_itfc, %s): no scenery hfield defined", path);
        RefuseLoaded(g0, text);
    }
    construct* con = CreateConstruct(0, kHittableElement);
    con->itfc = MultiScenery_itfc;
    con->unit = unit;
    auto* b = static_cast<MultiSceneryBlock*>(AllocItfcData(con, sizeof(MultiSceneryBlock)));
    if (sceneryField == 0) {
        AllocHField(con);
    } else {
        char name[32];
        std::snprintf(name, sizeof name, "scenhf%d", sceneryField);
        con->hf = CreateSceneryHField(name, 0);
    }
    AllocBBoards(con, 1);
    AllocBSpheres(con);
    AllocSpots(con);
    b->lit.light = TakeStagedLight();
    DropStaged();
    Geom* detail[3] = {g0, g0, g0};
    const Rule* addons = directory ? FindUnitRule(unit, "addons") : nullptr;
    if (addons && RuleHasInfo(addons, "subdetail"))
        for (int k = 0; k < 3; ++k) {
            char name[16];
            std::snprintf(name, sizeof name, "body%.*s", k + 1, "\xB0\xB0\xB0");
            detail[k] = LoadGeom(kSceneryScale, path, name, nullptr);
            DropStaged();
        }
    SetConstructGeoms(con, g0, detail[0], detail[1], detail[2]);
    if (directory) b->wreck = AddonWreckAndShards(unit, path, &b->unit.owned, kSceneryScale, false);
    return con;
}

// Whether it still stands on its tiles: alive (standing or lying), or destroyed into its wreck.
bool OnTiles(const MultiSceneryBlock* b) { return b->alive || b->wreck; }

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalError("Error(MultiScenery_itfc): not moved");
    MultiSceneryBlock* b = Block(con);
    con->flags &= ~kConstructPlaced;
    FreeUnitShareData(con, &b->unit);
    // Unplaced, it leaves its tiles in every case (also as a wreck), so nothing stays linked to it.
    if (OnTiles(b) && CurrentMatrix) UnstampStaticFootprint(CurrentMatrix, con, 1, 0, b->footprintBits);
    SceneryLightOff(con, &b->lit);
    RemoveFromTypePools(con);
    for (ResistanceSlot& s : b->resistance) StopSound(&s.sound);
    QueueUnbusy(con);
}

int32_t GroundUnder(construct* con) {
    if (!CurrentMatrix) return con->pos[1];
    const uint32_t klass = con->unit ? con->unit->klass : 0;
    const int top = TopTileFieldPresent && (klass & kKlassRaised) ? 1 : 0;
    return GroundHeightLower(CurrentMatrix, con->pos, top, 1, nullptr);
}

void Place(construct* con, const PlacementRecord* place) {
    MultiSceneryBlock* b = Block(con);
    if (con->flags & kConstructPlaced) Unplace(con);
    const Unit* unit = con->unit;
    // The rules are read first: a fault in them leaves the object unplaced.
    ReadResistances(unit, b->resistance, b);
    switch (StandingResistances(b->resistance)) {
        case 3: b->footprintBits = 12; break;
        case 1: b->footprintBits = 4; break;
        case 2: FatalErrorF("Error(MultiScenery_itfc, '%s'): inconsistent resistance", PathOf(con)); break;
        default: b->footprintBits = 0; break;
    }
    ReadDamageAndState(unit, place->strength, 0, &b->damage, &b->state, &b->maxima);
    con->collisionClass = 0;
    const uint32_t extra = static_cast<uint32_t>(place->extraFlags);
    con->flags |= kConstructPlaced | extra;
    con->pos[0] = place->x;
    con->pos[1] = place->y;
    con->pos[2] = place->z;
    // Any heading turns the same way; the footprint takes it within one turn.
    int32_t heading = place->heading % kFullTurn;
    if (heading < 0) heading += kFullTurn;
    FixMatrix m;
    const int32_t angles[3] = {kQuarterTurn, heading, 0};
    MatrixFromEuler(&m, angles);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    std::memcpy(b->baseOrient, m.m, sizeof b->baseOrient);

    b->accessibleHeight = AccessibleHeightRule(unit);
    if (CurrentMatrix) {
        const StaticPlacement at{place->x, place->y, place->z, place->spare[1], heading};
        AlignStaticToTerrain(CurrentMatrix, con, &at, extra, b->accessibleHeight, 0, 0, 0, b->footprintBits);
        con->pos[1] = GroundUnder(con);
    }
    b->animCounter = 0;
    b->mode = 0;
    b->alive = 1;
    b->moving = 0;
    b->angle = b->velocity = 0.0f;
    b->movingSlot = -1;
    b->lastHit = static_cast<int32_t>(FrameCounter);
    AddToTypePools(con);
    InitUnitShare(con, &b->unit, 1.0f);
    PlaceSceneryLight(con, &b->lit);
    if (SceneryAnimated(con, &b->lit)) QueueBusy(con, kElementBusyLevel);
    for (SpotKind k : {SpotKind::BlackSmoke, SpotKind::WhiteSmoke, SpotKind::Reserved2, SpotKind::Reserved3,
                       SpotKind::Fire})
        ResetSpotsOfKind(con, k);
    CreateUnitAIRecords(con, 0);
}

// The orientation for the swing angle: each row of the standing orientation turned about the axis.
void Lean(construct* con, MultiSceneryBlock* b, float amplitude) {
    FixMatrix turn;
    const FixVec axis{b->axis[0], b->axis[1], b->axis[2]};
    MatrixFromDirection2(&turn, &axis, TruncateToInt32(static_cast<double>(amplitude) * b->angle * kAngleToRadians));
    for (int row = 0; row < 3; ++row) {
        const FixVec v{b->baseOrient[row * 3], b->baseOrient[row * 3 + 1], b->baseOrient[row * 3 + 2]};
        FixVec out;
        RotateVec(&out, &turn, &v);
        con->orient[row * 3] = out.x;
        con->orient[row * 3 + 1] = out.y;
        con->orient[row * 3 + 2] = out.z;
    }
}

// How far the tip of the part lies above the ground under it (negative below).
int32_t TipClearance(construct* con) {
    const FixVec tip{0, kTipHeight, 0};
    FixVec w;
    RotateVecT(&w, reinterpret_cast<const FixMatrix*>(con->orient), &tip);
    const int32_t p[3] = {con->pos[0] + w.x, con->pos[1] + w.y, con->pos[2] + w.z};
    const int32_t ground = CurrentMatrix ? InterpGroundHeight(CurrentMatrix, p, nullptr) : 0;
    return p[1] - ground;
}

void Stop(construct* con, MultiSceneryBlock* b) {
    b->moving = 0;
    QueueUnbusy(con);
}

void Swing(construct* con, MultiSceneryBlock* b) {
    if (b->movingSlot < 0 || b->movingSlot > 1) {
        b->moving = 0;
        return;
    }
    const ResistanceRecord& r = b->resistance[b->movingSlot].rec;
    const float spring = r.p[1], damping = r.p[2], amplitude = r.p[3], gravity = r.p[4];
    b->angle = std::clamp(b->angle + b->velocity, -kFullSwing, kFullSwing);
    const float s = b->angle > 0.0f ? 1.0f : b->angle < 0.0f ? -1.0f : 0.0f;
    b->velocity -= s * spring;
    b->velocity += std::fabs(b->angle) * gravity;
    b->velocity = std::clamp(b->velocity * damping, -kFullSwing, kFullSwing);
    Lean(con, b, amplitude);
    if (std::fabs(b->angle) < kStopAngle || (r.type == ResistanceType::Bend && b->velocity < kStopBend)) {
        Stop(con, b);
        return;
    }
    if (gravity == 0.0f || TipClearance(con) >= kRestAboveGround) return;
    // It has come down: it lies where its tip rests on the ground and gives back what it blocked.
    Stop(con, b);
    con->flags &= ~kSuperForceCollision;
    if (CurrentMatrix) UnstampStaticFootprint(CurrentMatrix, con, 0, 0, b->footprintBits);
    while (b->angle > 0.0f && TipClearance(con) < kRestAboveGround) {
        b->angle -= kSettleStep;
        Lean(con, b, amplitude);
    }
}

void Destruction(construct* con, MultiSceneryBlock* b) {
    b->alive = 0;
    BreakApart(con, b->wreck, &b->unit.owned);
    if (CurrentMatrix) {
        if (b->wreck) UnstampStaticFootprint(CurrentMatrix, con, 0, 0, 0);
        else UnstampStaticFootprint(CurrentMatrix, con, 1, 0, b->footprintBits);
    }
    SceneryLightOff(con, &b->lit);
    RemoveFromTypePools(con);
    BusyWhileEffects(con);
}

void Tick(construct* con) {
    MultiSceneryBlock* b = Block(con);
    AnimateScenery(con, &b->lit, &b->animCounter);
    if (b->moving) Swing(con, b);
    if (b->alive && b->state.structure < 1) Destruction(con, b);
}

// The axis of a blow: in the ground plane, across the line from the part to the striker.
void AxisFromStriker(construct* con, MultiSceneryBlock* b, const construct* striker) {
    const FixVec across{-(striker->pos[2] - con->pos[2]), 0, striker->pos[0] - con->pos[0]};
    FixVec axis{32768, 0, 0};
    NormaliseF(&axis, &across);
    b->axis[0] = axis.x;
    b->axis[1] = axis.y;
    b->axis[2] = axis.z;
}

void StartMoving(construct* con, MultiSceneryBlock* b, int slot, const construct* striker) {
    b->moving = 1;
    b->movingSlot = slot;
    QueueBusy(con, kElementBusyLevel);
    AxisFromStriker(con, b, striker);
}

void React(construct* con, MultiSceneryBlock* b, construct* striker) {
    const int slot = ResistanceSlotFor(striker);
    ResistanceSlot& r = b->resistance[slot];
    const int32_t now = static_cast<int32_t>(FrameCounter);
    const float kick = r.rec.p[0];
    switch (r.rec.type) {
        case ResistanceType::Rigid:
            if (!(b->lastHit >= now - kQuietTicks && b->lastHit <= now)) PlayAt(con, &r.sound);
            b->lastHit = now;
            break;
        case ResistanceType::Swing:
        case ResistanceType::Fall:
        case ResistanceType::Slam:
            if (b->moving) break;
            PlayAt(con, &r.sound);
            b->angle = 0.0f;
            b->velocity = kick;
            StartMoving(con, b, slot, striker);
            break;
        case ResistanceType::Bend:
            if (now - b->lastHit > kQuietTicks || b->lastHit > now) {
                PlayAt(con, &r.sound);
                if (b->angle == 0.0f) b->velocity = kick;
                StartMoving(con, b, slot, striker);
            }
            b->lastHit = now;
            break;
        case ResistanceType::Break:
            PlayAt(con, &r.sound);
            b->state.structure = -1;
            break;
    }
}

void Hit(construct* con, construct* striker) {
    MultiSceneryBlock* b = Block(con);
    const DamageRecord d = StrikerDamage(striker);
    RecordStriker(con, striker);
    if (d.shield < 2 && striker && striker->unit) React(con, b, striker);
    const int32_t damage = int32_t{d.structure} + (d.shield >= 2 ? d.shield : 0);
    b->state.structure = TruncateToInt32(static_cast<double>(b->state.structure) - damage);
    if (b->alive && b->state.structure < 1) Tick(con);
    con->hits[0] = nullptr;
}

void Destroy(construct* con) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    MultiSceneryBlock* b = Block(con);
    FreePointLight(b->lit.light);
    b->lit.light = nullptr;
    DestroySubConstructs(&b->unit.owned);
    FreeConstruct(b->wreck);
    b->wreck = nullptr;
    FreeConstruct(con);
}

// COPYITFCDATA: the block for a copy of a preloaded instance, with a light and a wreck of its own; the
// copy starts without a unit record's state, shards or playing sounds.
uintptr_t CopyBlock(construct* con, uintptr_t sizeOut) {
    const MultiSceneryBlock* b = Block(con);
    auto* copy = static_cast<MultiSceneryBlock*>(qzAlloc(sizeof(MultiSceneryBlock), "MultiScenery data block"));
    std::memcpy(static_cast<void*>(copy), b, sizeof *copy);
    std::memset(static_cast<void*>(&copy->unit), 0, sizeof copy->unit);
    copy->lit.light = b->lit.light ? CopyPointLight(b->lit.light) : nullptr;
    copy->wreck = CopyWreck(b->wreck);
    for (ResistanceSlot& s : copy->resistance) {
        s.sound.buffer = nullptr;
        s.sound.serial = 0;
    }
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = static_cast<int32_t>(sizeof *copy);
    return reinterpret_cast<uintptr_t>(copy);
}

void RestoreSaved(construct* con, const uint8_t* in) {
    RequireSaved(ElementForm::MultiScenery, in);
    MultiSceneryBlock* b = Block(con);
    const uint8_t wasAlive = b->alive;
    MultiSceneryRestore(b, in);
    if (wasAlive != b->alive) SwapConstructVisuals(con, b->wreck);
    if (!(con->flags & kConstructPlaced)) return;
    if (b->alive) AddToTypePools(con);
    else RemoveFromTypePools(con);
}

}  // namespace

uintptr_t MultiScenery_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(Create(EntryOf(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK: Tick(con); return 0;
        case ItfcMethod::PLACE: {
            PlacementRecord none{};
            Place(con, arg ? reinterpret_cast<const PlacementRecord*>(arg) : &none);
            return 0;
        }
        case ItfcMethod::HIT: Hit(con, reinterpret_cast<construct*>(arg)); return 0;
        case ItfcMethod::UNPLACE: Unplace(con); return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>(kName);
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(&Block(con)->damage);
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&Block(con)->state);
        case ItfcMethod::GETMAXIMA: return reinterpret_cast<uintptr_t>(&Block(con)->maxima);
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY: Destroy(con); return 0;
        case ItfcMethod::GETUNIT: return reinterpret_cast<uintptr_t>(con->itfcData);
        case ItfcMethod::SETBRIGHTNESS: SetSceneryBrightness(&Block(con)->lit, con, static_cast<int>(arg)); return 0;
        case ItfcMethod::SETMODE: Block(con)->mode = static_cast<uint8_t>(Block(con)->mode | (arg & 0xFF)); return 0;
        case ItfcMethod::GETMODE: return Block(con)->mode;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(MultiScenerySaved(Block(con), arg));
        case ItfcMethod::COPYITFCDATA: return CopyBlock(con, arg);
        case ItfcMethod::SETITFCDATA: RestoreSaved(con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        case ItfcMethod::UPDATEAIUNIT:
            if (auto* ai = reinterpret_cast<AIUnitRecord*>(arg)) ai->weaponPresent[0] = ai->weaponPresent[1] = 0;
            return 1;
        default: return ItfcUnknownMethod(kName, method);
    }
}
