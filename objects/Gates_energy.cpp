// The energy gate (NRGGate): a barrier that stands on the ground without a footprint, meets every unit
// while it is on (collision class 255) and lets them through while it is off. Switching swaps its two
// looks, "nrggate" and "nrggateo"; it hums while on.
#include <cstdint>
#include <cstring>

#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/Elements_local.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

using namespace elements;

namespace {

constexpr const char* kName = "NRGGate";
constexpr int kGateBusyLevel = 1;
constexpr uint8_t kSampleCorners[4] = {0, 3, 4, 7};

NRGGateBlock* Block(construct* con) { return static_cast<NRGGateBlock*>(con->itfcData); }

uint8_t RuleByte(const Unit* unit, const char* key) {
    const Rule* r = NamedUnitRule(unit, "%s", key);
    return static_cast<uint8_t>(TruncateToInt32(r->count > 0 && r->values ? r->values[0] : 0.0f));
}
int32_t RuleInt(const Unit* unit, const char* key) {
    const Rule* r = NamedUnitRule(unit, "%s", key);
    return TruncateToInt32(r->count > 0 && r->values ? r->values[0] : 0.0f);
}

construct* Create(Unit* unit, const char* path) {
    construct* con = CreateConstruct(0, kLitPart);
    con->itfc = NRGGate_itfc;
    con->unit = unit;
    auto* b = static_cast<NRGGateBlock*>(AllocItfcData(con, sizeof(NRGGateBlock)));
    Geom* on = LoadGeom(kSceneryScale, path, "nrggate", nullptr);
    AllocBSpheres(con);
    AllocBBoards(con, 1);
    SetConstructGeoms(con, on, on, on, on);
    DropStaged();
    Geom* off = LoadGeom(kSceneryScale, path, "nrggateo", nullptr);
    DropStaged();
    for (Geom*& g : b->second) g = off;
    con->sampleCornerCount = 4;
    std::memcpy(con->sampleCorners, kSampleCorners, sizeof kSampleCorners);
    AllocShards(&b->unit.owned, path, -1);
    b->mode = 1;  // the first look is the barrier's
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalError("Error(NRGGate_itfc): not moved");
    con->flags &= ~kConstructPlaced;
    StopSound(&Block(con)->hum);
    QueueUnbusy(con);
    DeactivateConstruct(con);
}

void Place(construct* con, const PlacementRecord* place) {
    NRGGateBlock* b = Block(con);
    if (con->flags & kConstructPlaced) Unplace(con);
    const Unit* unit = con->unit;
    b->damage = DamageRecord{RuleByte(unit, "impactphysical"), RuleByte(unit, "impactshield"),
                             RuleByte(unit, "impactstructure")};
    b->state = StateRecord{RuleInt(unit, "shield"), RuleInt(unit, "structure"), RuleInt(unit, "energy")};
    con->flags |= kConstructPlaced;
    con->collisionClass = 255;
    con->pos[0] = place->x;
    con->pos[1] = place->y;
    con->pos[2] = place->z;
    if (CurrentMatrix) con->pos[1] = GroundHeight(CurrentMatrix, con->pos, 0, 1, nullptr);
    FixMatrix m;
    const int32_t angles[3] = {kQuarterTurn, place->heading, 0};
    MatrixFromEuler(&m, angles);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    con->effectPhase = 128;
    // Placed again after it was switched off: the barrier's look comes back with it.
    if (!(b->mode & 1)) SwapLODGeoms(con->lod, b->second);
    b->mode |= 1;
    LookupRuleSound(unit, &b->hum, "FX_hum");
    QueueBusy(con, kGateBusyLevel);
    ActivateConstruct(con);
}

void Tick(construct* con) {
    NRGGateBlock* b = Block(con);
    con->effectPhase += 2;
    if (con->effectPhase > 182) con->effectPhase -= 180;
    if (b->mode & 1) LoopAt(con, &b->hum);
    else StopSound(&b->hum);
}

// The barrier on (SETMODE) or off (CLEARMODE): the other look, and units meet it only while it is on.
void Switch(construct* con, uintptr_t arg, bool on) {
    NRGGateBlock* b = Block(con);
    if (!(arg & 1) || ((b->mode & 1) != 0) == on) return;
    b->mode = static_cast<uint8_t>(on ? (b->mode | 1) : (b->mode & ~1));
    SwapLODGeoms(con->lod, b->second);
    con->collisionClass = on ? 255 : 0;
}

void Destroy(construct* con) {
    if (con->flags & kConstructPlaced) FatalError("remove first");
    NRGGateBlock* b = Block(con);
    DestroySubConstructs(&b->unit.owned);
    FreeLODGeoms(b->second);
    StopSound(&b->hum);
    FreeConstruct(con);
}

void RestoreSaved(construct* con, const uint8_t* in) {
    RequireSaved(ElementForm::NRGGate, in);
    NRGGateBlock* b = Block(con);
    const bool wasOn = (b->mode & 1) != 0;
    NRGGateRestore(b, in);
    const bool on = (b->mode & 1) != 0;
    if (on != wasOn) SwapLODGeoms(con->lod, b->second);
    con->collisionClass = on ? 255 : 0;
}

}  // namespace

uintptr_t NRGGate_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(Create(EntryOf(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK: Tick(con); return 0;
        case ItfcMethod::PLACE: {
            PlacementRecord none{};
            Place(con, arg ? reinterpret_cast<const PlacementRecord*>(arg) : &none);
            return 0;
        }
        case ItfcMethod::UNPLACE: Unplace(con); return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>(kName);
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(&Block(con)->damage);
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&Block(con)->state);
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY: Destroy(con); return 0;
        case ItfcMethod::SETMODE: Switch(con, arg, true); return 0;
        case ItfcMethod::CLEARMODE: Switch(con, arg, false); return 0;
        case ItfcMethod::GETMODE: return Block(con)->mode;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(NRGGateSaved(Block(con), arg));
        case ItfcMethod::SETITFCDATA: RestoreSaved(con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        default: return ItfcUnknownMethod(kName, method);
    }
}
