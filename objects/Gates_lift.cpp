// The lift (LiftElem): a building fitted to the terrain whose platform ("upslide") rises and sinks when a
// mission switches it, carrying the walkable surface of its footprint with it. It ticks only while it
// moves.
#include <cstdint>
#include <cstring>

#include "ai/UnitAI.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
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

constexpr const char* kName = "LiftElem";

LiftBlock* Block(construct* con) { return static_cast<LiftBlock*>(con->itfcData); }

float Number(const Rule* r) { return r && r->count > 0 && r->values ? r->values[0] : 0.0f; }

construct* Create(Unit* unit, const char* path) {
    Geom* g = LoadGeom(kBuildingScale, path, "body", nullptr);
    CheckHFields(g, kName, ", ", path, 0);
    construct* con = CreateConstruct(1, kHittableElement);
    con->itfc = LiftElem_itfc;
    con->unit = unit;
    auto* b = static_cast<LiftBlock*>(AllocItfcData(con, sizeof(LiftBlock)));
    TakeStaged(con, false);
    SetConstructGeoms(con, g, g, g, g);
    DropStaged();
    b->platform = AppendMovingPart(con, path, "upslide", kBuildingScale);
    return con;
}

// The walkable surface over the platform's part of the footprint: at the platform's height. (The lift's
// own height is part of every stamped surface already; it is not added a second time.)
void CarrySurface(construct* con, LiftBlock* b) {
    if (!CurrentMatrix) return;
    const int32_t h = TruncateToInt32((static_cast<double>(b->heightBias) + b->ascendHeight * static_cast<double>(b->liftPos)) / 8.0);
    LowerSurfaceUnderStatic(CurrentMatrix, con, &b->placement, b->accessibleHeight, h);
}

void PlacePlatform(construct* con, LiftBlock* b) {
    construct* p = b->platform;
    if (!p) return;
    std::memcpy(p->orient, con->orient, sizeof p->orient);
    p->pos[0] = con->pos[0];
    p->pos[1] = con->pos[1] + TruncateToInt32(b->ascendHeight * static_cast<double>(b->liftPos));
    p->pos[2] = con->pos[2];
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalError("Error(LiftElem_itfc): not moved");
    LiftBlock* b = Block(con);
    con->flags &= ~kConstructPlaced;
    FreeUnitShareData(con, &b->unit);
    if (b->alive && CurrentMatrix) UnstampStaticFootprint(CurrentMatrix, con, 1, kFootprintWordBits, 0);
    RemoveFromTypePools(con);
    StopSound(&b->engine);
    QueueUnbusy(con);
}

void Place(construct* con, PlacementRecord* place) {
    LiftBlock* b = Block(con);
    if (con->flags & kConstructPlaced) Unplace(con);
    const Unit* unit = con->unit;
    b->ascendHeight = TruncateToInt32(Number(NamedUnitRule(unit, "AscendHeight")));
    b->heightBias = TruncateToInt32(Number(NamedUnitRule(unit, "HeightBias")));
    b->speed = Number(NamedUnitRule(unit, "speed"));
    con->flags |= kConstructPlaced;
    con->collisionClass = 0;
    b->placement = StepPlacement(place);
    b->liftPos = b->liftSpeed = 0.0f;
    b->accessibleHeight = AccessibleHeightRule(unit);
    AlignStaticToTerrain(CurrentMatrix, con, &b->placement, static_cast<uint32_t>(place->extraFlags), b->accessibleHeight,
                         1, 1, kFootprintWordBits, 0);
    CarrySurface(con, b);
    PlacePlatform(con, b);
    b->damage = DamageRecord{100, 2, 0};
    b->state = StateRecord{0, DefaultStructure(place->strength), 0};
    b->maxima = MaximaRecord{0, b->state.structure, 0};
    b->alive = 1;
    b->mode = 0;
    AddToTypePools(con);
    LookupRuleSound(unit, &b->go, "FX_go");
    LookupRuleSound(unit, &b->stop, "FX_stop");
    LookupRuleSound(unit, &b->engine, "FX_engine");
    InitUnitShare(con, &b->unit, 1.0f);
    CreateUnitAIRecords(con, 0);
}

void Destruction(construct* con, LiftBlock* b) {
    b->alive = 0;
    if (CurrentMatrix) UnstampStaticFootprint(CurrentMatrix, con, 1, kFootprintWordBits, 0);
    RemoveFromTypePools(con);
    StopSound(&b->engine);
    QueueUnbusy(con);
}

void Tick(construct* con) {
    LiftBlock* b = Block(con);
    const bool moving = b->liftSpeed != 0.0f;
    b->liftPos += b->liftSpeed;
    if (b->liftPos >= 1.0f) {
        b->liftPos = 1.0f;
        b->liftSpeed = 0.0f;
    } else if (b->liftPos < 0.0f) {
        b->liftPos = 0.0f;
        b->liftSpeed = 0.0f;
    }
    if (moving && b->alive) {
        // The surface follows the platform, also onto its last step at either end.
        CarrySurface(con, b);
        if (b->liftPos > 0.0f && b->liftPos < 1.0f) {
            if (construct* p = b->platform) LoopAt(p, &b->engine);
        } else {
            PlayAt(con, &b->stop);
            StopSound(&b->engine);
            QueueUnbusy(con);
        }
    }
    PlacePlatform(con, b);
    if (b->alive && b->state.structure <= 0) Destruction(con, b);
}

void Hit(construct* con, construct* striker) {
    LiftBlock* b = Block(con);
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

// SETMODE sends the platform up, CLEARMODE down; either starts the engine and the ticks.
void Switch(construct* con, uintptr_t arg, bool up) {
    LiftBlock* b = Block(con);
    if (arg & 1) {
        b->liftSpeed = up ? b->speed : -b->speed;
        PlayAt(con, &b->go);
        LoopAt(con, &b->engine);
        QueueBusy(con, LiftBusyLevel());
    }
    if (up) b->mode = static_cast<uint8_t>(b->mode | (arg & 0xFF));
    else b->mode = static_cast<uint8_t>(b->mode & ~(arg & 0xFF));
}

void Destroy(construct* con) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    LiftBlock* b = Block(con);
    DestroySubConstructs(&b->unit.owned);
    StopSound(&b->engine);
    FreeConstruct(con);
}

void RestoreSaved(construct* con, const uint8_t* in) {
    RequireSaved(ElementForm::LiftElem, in);
    LiftBlock* b = Block(con);
    LiftRestore(b, in);
    PlacePlatform(con, b);
    if (!(con->flags & kConstructPlaced)) return;
    if (b->alive) AddToTypePools(con);
    else RemoveFromTypePools(con);
}

}  // namespace

uintptr_t LiftElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
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
        case ItfcMethod::SETMODE: Switch(con, arg, true); return 0;
        case ItfcMethod::CLEARMODE: Switch(con, arg, false); return 0;
        case ItfcMethod::GETMODE: return Block(con)->mode;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(LiftSaved(Block(con), arg));
        case ItfcMethod::SETITFCDATA: RestoreSaved(con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        case ItfcMethod::UPDATEAIUNIT:
            if (auto* ai = reinterpret_cast<AIUnitRecord*>(arg)) ai->weaponPresent[0] = ai->weaponPresent[1] = 0;
            return 1;
        default: return ItfcUnknownMethod(kName, method);
    }
}
