// The gate (LGateElem): a large building whose swinging or sliding doors open and close its passage
// when a mission switches it (SETMODE / CLEARMODE bit 0). It stands on the building frame: creation
// from "body" with a 17 x 17 height field, placement in quarter turns, hits and destruction.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "ai/UnitAI.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Config.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/Elements_local.h"
#include "objects/UnitRecord.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/Statics.h"
#include "world/Terrain.h"

using namespace elements;

namespace {

constexpr const char* kName = "LGateElem";
constexpr float kDoorSpeed = 0.05f;
// The door objects beside "body", by the door's slot, and the order in which they are appended.
constexpr const char* kDoorFiles[4] = {"lswing", "rswing", "lslide", "rslide"};
constexpr int kAppendOrder[4] = {kRightSwing, kLeftSwing, kRightSlide, kLeftSlide};

GateBlock* Block(construct* con) { return static_cast<GateBlock*>(con->itfcData); }

bool DoorFileExists(const char* path, const char* name) {
    char file[512];
    std::snprintf(file, sizeof file, "%s%c%s", path, kPathSeparator, name);
    return qzpk_exists(file) != 0;
}

construct* Create(Unit* unit, const char* path) {
    bool found[4] = {};
    int doors = 0;
    for (int i = 0; i < 4; ++i) doors += (found[i] = DoorFileExists(path, kDoorFiles[i])) ? 1 : 0;
    if (doors == 0) FatalError("Error(LGateElem_itfc): no door files found");
    Geom* g = LoadGeom(kBuildingScale, path, "body", nullptr);
    CheckHFields(g, kName, ", ", path, 17);
    // Room for every door found: a gate may have swing and slide doors on both sides.
    construct* con = CreateConstruct(doors, kHittableElement);
    con->itfc = LGateElem_itfc;
    con->unit = unit;
    auto* b = static_cast<GateBlock*>(AllocItfcData(con, sizeof(GateBlock)));
    TakeStaged(con, true);
    SetConstructGeoms(con, g, g, g, g);
    DropStaged();
    b->wreck = AddonWreckAndShards(unit, path, &b->unit.owned, kBuildingScale, true);
    for (int slot : kAppendOrder)
        if (found[slot]) b->doors[slot] = AppendMovingPart(con, path, kDoorFiles[slot], kBuildingScale);
    return con;
}

// Whether the gate still stands on its tiles: alive, or destroyed into its wreck.
bool OnTiles(const GateBlock* b) { return b->alive || b->wreck; }

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalError("Error(LGateElem_itfc): not moved");
    GateBlock* b = Block(con);
    con->flags &= ~kConstructPlaced;
    FreeUnitShareData(con, &b->unit);
    // An unplaced gate leaves its tiles (wreck or not), its type pools and the busy pool, so that
    // nothing walks it once it is destroyed.
    if (OnTiles(b) && CurrentMatrix) RemoveStaticFromTiles(CurrentMatrix, con, 1, kFootprintWordBits, 0);
    RemoveFromTypePools(con);
    StopSound(&b->openSound);
    StopSound(&b->closeSound);
    QueueUnbusy(con);
}

bool Has(const GateBlock* b, int slot) { return b->doors[slot] != nullptr; }

// The passage when the doors have come fully open: a single door opens its own half, two open it whole.
void OpenPassage(construct* con, GateBlock* b) {
    const bool singleLeft = (Has(b, kLeftSlide) && !Has(b, kRightSlide)) || (Has(b, kLeftSwing) && !Has(b, kRightSwing));
    const bool singleRight = (Has(b, kRightSlide) && !Has(b, kLeftSlide)) || (Has(b, kRightSwing) && !Has(b, kLeftSwing));
    if (singleLeft)
        StampStaticHField(CurrentMatrix, con, &b->placement, b->accessibleHeight, 0, 1, 0);
    else if (singleRight)
        StampStaticHField(CurrentMatrix, con, &b->placement, b->accessibleHeight, 0, 0, 1);
    else
        StampStaticHField(CurrentMatrix, con, &b->placement, b->accessibleHeight, 1, 0, 0);
}

void MoveDoors(construct* con, GateBlock* b) {
    const FixMatrix* gate = reinterpret_cast<const FixMatrix*>(con->orient);
    // Swing doors turn only as a pair; a single one stands closed at the gate (it is placed all the same,
    // else it would be drawn where it was made, away from the gate).
    const bool pair = Has(b, kLeftSwing) && Has(b, kRightSwing);
    const int32_t swung = pair ? static_cast<int32_t>(b->doorPos * kQuarterTurn) : 0;
    FixMatrix turn;
    if (Has(b, kRightSwing)) {
        MatrixFromYawPitch(&turn, swung - kQuarterTurn, kQuarterTurn);
        PlacePart(con, b->doors[kRightSwing], turn.m, gate->m);
    }
    if (Has(b, kLeftSwing)) {
        MatrixFromYawPitch(&turn, -kQuarterTurn - swung, kQuarterTurn);
        PlacePart(con, b->doors[kLeftSwing], turn.m, gate->m);
    }
    const int32_t d = static_cast<int32_t>(b->doorPos * 65536.0f);
    const bool both = Has(b, kLeftSlide) && Has(b, kRightSlide);
    for (int slot : {kLeftSlide, kRightSlide}) {
        construct* door = b->doors[slot];
        if (!door) continue;
        const Geom* g = door->lod[0];
        FixVec anchor{g ? g->anchor[0] : 0, g ? g->anchor[1] : 0, g ? g->anchor[2] : 0};
        if (both) anchor.z += slot == kLeftSlide ? d / 4 : -(d / 4);
        else anchor.z -= d / 2;
        FixVec offset;
        RotateVecT(&offset, gate, &anchor);
        std::memcpy(door->orient, con->orient, sizeof door->orient);
        door->pos[0] = con->pos[0] + offset.x;
        door->pos[1] = con->pos[1] + offset.y;
        door->pos[2] = con->pos[2] + offset.z;
    }
}

void Place(construct* con, PlacementRecord* place) {
    GateBlock* b = Block(con);
    if (con->flags & kConstructPlaced) Unplace(con);
    ReadDamageAndState(con->unit, place->strength, 2, &b->damage, &b->state, &b->maxima);
    con->flags |= kConstructPlaced;
    con->collisionClass = 0;
    b->placement = StepPlacement(place);
    b->alive = 1;
    b->mode = 0;
    b->doorPos = b->doorSpeed = 0.0f;
    b->accessibleHeight = AccessibleHeightRule(con->unit);
    PutStaticOnTile(CurrentMatrix, con, &b->placement, static_cast<uint32_t>(place->extraFlags), b->accessibleHeight, 1,
                    kFootprintWordBits, 0);
    LookupRuleSound(con->unit, &b->openSound, "FX_open");
    LookupRuleSound(con->unit, &b->closeSound, "FX_close");
    InitUnitShare(con, &b->unit, 1.0f);
    MoveDoors(con, b);
    QueueBusy(con, kElementBusyLevel);
    CreateUnitAIRecords(con, 0);
}

void Destruction(construct* con, GateBlock* b) {
    b->alive = 0;
    BreakApart(con, b->wreck, &b->unit.owned);
    if (CurrentMatrix) {
        if (b->wreck)
            RemoveStaticFromTiles(CurrentMatrix, con, 0, 0, 0);
        else
            RemoveStaticFromTiles(CurrentMatrix, con, 1, kFootprintWordBits, 0);
    }
    RemoveFromTypePools(con);
    BusyWhileEffects(con);
}

void Tick(construct* con) {
    GateBlock* b = Block(con);
    const bool wasOpen = b->doorPos == 1.0f;
    b->doorPos += b->doorSpeed;
    if (b->doorPos >= 1.0f) {
        b->doorPos = 1.0f;
        b->doorSpeed = 0.0f;
    } else if (b->doorPos < 0.0f) {
        b->doorPos = 0.0f;
        b->doorSpeed = 0.0f;
    }
    const bool open = b->doorPos == 1.0f;
    if (b->alive && CurrentMatrix) {
        if (wasOpen && !open) StampStaticHField(CurrentMatrix, con, &b->placement, b->accessibleHeight, 0, 0, 0);
        if (!wasOpen && open) OpenPassage(con, b);
    }
    MoveDoors(con, b);
    if (b->alive && b->state.structure <= 0) Destruction(con, b);
}

void Hit(construct* con, construct* striker) {
    GateBlock* b = Block(con);
    const DamageRecord d = StrikerDamage(striker);
    RecordStriker(con, striker);
    SpawnPooledEffect(con, &b->state, StrikerState(striker), con->hitPoints[0]);
    const FixVec away{con->pos[0] - con->hitPoints[0][0], con->pos[1] - con->hitPoints[0][1],
                      con->pos[2] - con->hitPoints[0][2]};
    FixVec dir{0, 0, 0};
    NormaliseF(&dir, &away);
    const int32_t push[3] = {dir.x, dir.y, dir.z};
    SpawnDebris(con, 0, &b->state, push, int32_t{d.shield} + d.structure, 0);
    if (b->alive && b->state.structure <= 0) Tick(con);
    con->hits[0] = nullptr;
}

// The doors start opening (SETMODE) or closing (CLEARMODE) with the sound of what they do; the mode's
// bit 0 says which way they were sent last.
void Switch(construct* con, uintptr_t arg, bool open) {
    GateBlock* b = Block(con);
    if (arg & 1) {
        b->doorSpeed = open ? kDoorSpeed : -kDoorSpeed;
        PlayAt(con, open ? &b->openSound : &b->closeSound);
    }
    if (open) b->mode = static_cast<uint8_t>(b->mode | (arg & 0xFF));
    else b->mode = static_cast<uint8_t>(b->mode & ~(arg & 0xFF));
}

void Destroy(construct* con) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    GateBlock* b = Block(con);
    DestroySubConstructs(&b->unit.owned);
    FreeConstruct(b->wreck);
    b->wreck = nullptr;
    FreeConstruct(con);
}

void RestoreSaved(construct* con, const uint8_t* in) {
    RequireSaved(ElementForm::LGateElem, in);
    GateBlock* b = Block(con);
    const uint8_t wasAlive = b->alive;
    GateRestore(b, in);
    if (wasAlive != b->alive) SwapConstructVisuals(con, b->wreck);
    MoveDoors(con, b);
    if (!(con->flags & kConstructPlaced)) return;
    if (b->alive) AddToTypePools(con);
    else RemoveFromTypePools(con);
}

}  // namespace

uintptr_t LGateElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(Create(EntryOf(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK: Tick(con); return 0;
        case ItfcMethod::PLACE: {
            PlacementRecord none{};
            Place(con, arg ? reinterpret_cast<PlacementRecord*>(arg) : &none);
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
        case ItfcMethod::GETACCESSTYPE: return 4;
        case ItfcMethod::SETMODE: Switch(con, arg, true); return 0;
        case ItfcMethod::CLEARMODE: Switch(con, arg, false); return 0;
        case ItfcMethod::GETMODE: return Block(con)->mode;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(GateSaved(Block(con), arg));
        case ItfcMethod::SETITFCDATA: RestoreSaved(con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        case ItfcMethod::UPDATEAIUNIT:
            if (auto* ai = reinterpret_cast<AIUnitRecord*>(arg)) ai->weaponPresent[0] = ai->weaponPresent[1] = 0;
            return 1;
        default: return ItfcUnknownMethod(kName, method);
    }
}
