// The five building types: MultiElem (rotating add-ons, two resistances, a wreck), BaseElem and
// LBaseElem (plain buildings on 9 x 9 and 17 x 17 footprints), GiantElem (fitted to the terrain) and
// FragElem (bursts into its fragments). One frame serves them; the table of types says where they
// differ.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "ai/UnitAI.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/FixMath.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/Elements_local.h"
#include "objects/UnitRecord.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ObjFile.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

using namespace elements;

namespace {

struct BuildingType {
    const char* name;
    BuildingKind kind;
    float scale;
    ItfcProc itfc;
    ElementForm form;
};

const BuildingType kMulti{"MultiElem", BuildingKind::Multi, kBuildingScale, MultiElem_itfc, ElementForm::MultiElem};
const BuildingType kBase{"BaseElem", BuildingKind::Base, kBuildingScale, BaseElem_itfc, ElementForm::BaseElem};
const BuildingType kLBase{"LBaseElem", BuildingKind::LBase, kLargeBuildingScale, LBaseElem_itfc, ElementForm::LBaseElem};
const BuildingType kGiant{"GiantElem", BuildingKind::Giant, kBuildingScale, GiantElem_itfc, ElementForm::GiantElem};
const BuildingType kFrag{"FragElem", BuildingKind::Frag, kBuildingScale, FragElem_itfc, ElementForm::FragElem};

const int32_t kStill[3] = {0, 0, 0};

BuildingBlock* Block(construct* con) { return static_cast<BuildingBlock*>(con->itfcData); }

bool IsAddon(const char* text) {
    return text && (std::strcmp(text, "rotor") == 0 || std::strcmp(text, "wheel") == 0 || std::strcmp(text, "swing") == 0);
}

// The add-ons the rule "addons" names; each becomes a sub-construct.
int AddonCount(const Unit* unit) {
    const Rule* r = FindUnitRule(unit, "addons");
    int n = 0;
    for (int i = 0; r && i < kRuleInfoSlots; ++i) n += IsAddon(r->info[i]) ? 1 : 0;
    return n;
}

void LoadAddons(construct* con, BuildingBlock* b, const char* path, float scale) {
    const Rule* r = FindUnitRule(con->unit, "addons");
    for (int i = 0; r && i < kRuleInfoSlots; ++i) {
        const char* text = r->info[i];
        if (!IsAddon(text)) continue;
        construct* part = AppendMovingPart(con, path, text, scale);
        if (std::strcmp(text, "rotor") == 0) b->rotor = part;
        else if (std::strcmp(text, "wheel") == 0) b->wheel = part;
        else b->swing = part;
    }
}

construct* Create(const BuildingType& t, Unit* unit, const char* path) {
    const int addons = t.kind == BuildingKind::Multi ? AddonCount(unit) : 0;
    bool directory = false;
    Geom* g = nullptr;
    switch (t.kind) {
        case BuildingKind::Multi:
            directory = qzpk_isdir(path) != 0;
            g = LoadGeom(t.scale, path, directory ? "body" : "", nullptr);
            if (!directory && addons > 0) {
                char text[600];
                std::snprintf(text, sizeof text, "Error(MultiElem_itfc, %s): missing addon", path);
                RefuseLoaded(g, text);
            }
            break;
        case BuildingKind::Frag: g = LoadGeom(t.scale, path, "body", nullptr); break;
        case BuildingKind::Base:
        case BuildingKind::LBase:
        case BuildingKind::Giant: g = LoadGeom(t.scale, path, "", nullptr); break;
    }
    int width = 9;
    if (t.kind == BuildingKind::LBase) width = 17;
    if (t.kind == BuildingKind::Giant) width = 0;
    if (t.kind == BuildingKind::Multi && unit && (unit->extra & kLargeFlag)) width = 17;
    CheckHFields(g, t.name, t.kind == BuildingKind::Frag ? " " : ", ", path, width);
    // Room for every add-on the rule names (a rotor and a swing need two places).
    construct* con = CreateConstruct(addons, kHittableElement);
    con->itfc = t.itfc;
    con->unit = unit;
    auto* b = static_cast<BuildingBlock*>(AllocItfcData(con, sizeof(BuildingBlock)));
    if (t.kind == BuildingKind::Frag) {
        AllocHField(con);
        AllocBSpheres(con);
    } else {
        TakeStaged(con, true);
    }
    SetConstructGeoms(con, g, g, g, g);
    DropStaged();
    if (t.kind == BuildingKind::Multi && directory) {
        b->wreck = AddonWreckAndShards(unit, path, &b->unit.owned, t.scale, true);
        LoadAddons(con, b, path, t.scale);
    }
    if (t.kind == BuildingKind::Frag) AllocShards(&b->unit.owned, path, -1);
    return con;
}

// The footprint given back: the sub-points' bits cleared and the element taken off its tiles.
void ReleaseFootprint(const BuildingType& t, construct* con, BuildingBlock* b) {
    if (!CurrentMatrix) return;
    if (t.kind == BuildingKind::Giant)
        UnstampStaticFootprint(CurrentMatrix, con, 1, kFootprintWordBits, 0);
    else
        RemoveStaticFromTiles(CurrentMatrix, con, 1, b->footprintWordBits, b->footprintByteBits);
}

void Unplace(const BuildingType& t, construct* con) {
    if (!(con->flags & kConstructPlaced)) FatalErrorF("Error(%s_itfc): not moved", t.name);
    BuildingBlock* b = Block(con);
    con->flags &= ~kConstructPlaced;
    FreeUnitShareData(con, &b->unit);
    // A destroyed building with a wreck still stands on its tiles: an unplaced one leaves them in either
    // case, so that nothing is left linked to a building that is gone.
    if (b->alive || (t.kind == BuildingKind::Multi && b->wreck)) ReleaseFootprint(t, con, b);
    RemoveFromTypePools(con);
    StopSound(&b->engine);
    QueueUnbusy(con);
}

// The MultiElem's resistances: the footprint bits they give, or a fatal error for those a building
// cannot have.
void PlaceResistances(construct* con, BuildingBlock* b) {
    ReadResistances(con->unit, b->resistance, b);
    const char* path = con->unit && con->unit->path ? con->unit->path : "";
    switch (StandingResistances(b->resistance)) {
        case 3:
            b->footprintWordBits = kFootprintWordBits;
            b->footprintByteBits = 0;
            b->footprintMark = 1;
            break;
        case 1:
            b->footprintWordBits = 0;
            b->footprintByteBits = kFootprintByteBits;
            b->footprintMark = 0;
            break;
        case 2: FatalErrorF("Error(MultiElem_itfc, '%s'): inconsistent resistance", path); break;
        default:
            b->footprintWordBits = b->footprintByteBits = 0;
            b->footprintMark = 0;
            break;
    }
    for (const ResistanceSlot& s : b->resistance)
        if (IsResistanceMoving(&s.rec)) FatalErrorF("Error(MultiElem_itfc, '%s'): I cannot bend", path);
}

// The add-on angle after one step: held at the maximum of a swing, kept within a turn either way.
int32_t NextAngle(BuildingBlock* b, construct* con) {
    int64_t a = int64_t{b->addonAngle} + b->turnRate;
    if (b->turnMax != 0 && a > b->turnMax) {
        a = b->turnMax;
        b->turnRate = 0;
        PlayAt(con, &b->stop);
        StopSound(&b->engine);
    }
    if (a > kFullTurn) a %= kFullTurn;
    if (a < -kFullTurn) a %= kFullTurn;
    return static_cast<int32_t>(a);
}

// The add-ons at the current angle.
void PlaceAddons(construct* con, BuildingBlock* b) {
    const int32_t a = b->addonAngle;
    FixMatrix turn;
    if (b->rotor) {
        MatrixFromYawPitch(&turn, a, kQuarterTurn);
        PlacePart(con, b->rotor, turn.m, nullptr);
    }
    if (b->wheel) {
        MatrixFromYawPitch(&turn, -kQuarterTurn, a);
        PlacePart(con, b->wheel, turn.m, nullptr);
    }
    if (b->swing) {
        MatrixFromPitchYaw(&turn, -kQuarterTurn, a + kQuarterTurn);
        PlacePart(con, b->swing, turn.m, nullptr);
        if (b->turnRate != 0 && dxgl_DescSound(&b->engine)) dxgl_SetSoundPosition(&b->engine, con->pos, kStill, 0, 0);
    }
}

void TurnAddons(construct* con, BuildingBlock* b) {
    PlaceAddons(con, b);
    b->addonAngle = NextAngle(b, con);
}

void Place(const BuildingType& t, construct* con, PlacementRecord* place) {
    BuildingBlock* b = Block(con);
    if (con->flags & kConstructPlaced) Unplace(t, con);
    const Unit* unit = con->unit;
    // The rules are read first: a fault in them leaves the building unplaced.
    b->footprintWordBits = kFootprintWordBits;
    b->footprintByteBits = 0;
    b->footprintMark = 1;
    if (t.kind == BuildingKind::Multi) {
        PlaceResistances(con, b);
        ReadDamageAndState(unit, place->strength, 2, &b->damage, &b->state, &b->maxima);
    }
    con->flags |= kConstructPlaced;
    con->collisionClass = 0;
    const StaticPlacement at = StepPlacement(place);
    b->accessibleHeight = t.kind == BuildingKind::Base ? 0 : AccessibleHeightRule(unit);
    const uint32_t extra = static_cast<uint32_t>(place->extraFlags);
    if (t.kind == BuildingKind::Giant)
        AlignStaticToTerrain(CurrentMatrix, con, &at, extra, b->accessibleHeight, 1, 1, kFootprintWordBits, 0);
    else
        PutStaticOnTile(CurrentMatrix, con, &at, extra, b->accessibleHeight, b->footprintMark, b->footprintWordBits,
                        b->footprintByteBits);

    if (t.kind != BuildingKind::Multi) {
        b->damage = DamageRecord{100, 2, 0};
        const int32_t structure = t.kind == BuildingKind::Frag
                                      ? TruncateToInt32(static_cast<double>(int64_t{place->strength} * 80 / 100))
                                      : DefaultStructure(place->strength);
        b->state = StateRecord{0, structure, 0};
        b->maxima = MaximaRecord{0, structure, 0};
    }
    b->animCounter = 0;
    b->mode = 0;
    b->alive = 1;
    if (t.kind == BuildingKind::Multi) {
        b->lastRigidHit = static_cast<int32_t>(FrameCounter);
        b->addonAngle = 0;
        const Rule* rate = FindUnitRule(unit, "TurnRate");
        b->turnRate = (b->rotor || b->wheel) ? (rate && rate->count > 0 ? TruncateToInt32(rate->values[0]) : 6000) : 0;
        const Rule* max = FindUnitRule(unit, "TurnMax");
        b->turnMax = b->swing && max && max->count > 0 ? TruncateToInt32(max->values[0]) : 0;
        LookupRuleSound(unit, &b->go, "FX_go");
        LookupRuleSound(unit, &b->stop, "FX_stop");
        LookupRuleSound(unit, &b->engine, "FX_engine");
    }
    if (t.kind == BuildingKind::Frag) LookupRuleSound(unit, &b->explosion, "FX_explosion");
    AddToTypePools(con);
    InitUnitShare(con, &b->unit, 1.0f);
    if (t.kind == BuildingKind::Multi) PlaceAddons(con, b);

    bool busy = false;
    switch (t.kind) {
        case BuildingKind::Multi: busy = con->bboardCount > 0 || HasActiveSpots(con) || con->subCount > 0; break;
        case BuildingKind::Giant: busy = con->bboardCount > 0 || HasActiveSpots(con); break;
        case BuildingKind::Base:
        case BuildingKind::LBase: busy = con->bboardCount > 0; break;
        case BuildingKind::Frag: break;
    }
    if (busy) QueueBusy(con, kElementBusyLevel);
    if (t.kind == BuildingKind::Giant || t.kind == BuildingKind::Multi)
        for (SpotKind k : {SpotKind::BlackSmoke, SpotKind::WhiteSmoke, SpotKind::Reserved2, SpotKind::Reserved3,
                           SpotKind::Fire})
            ResetSpotsOfKind(con, k);
    CreateUnitAIRecords(con, 0);
}

void Destruction(const BuildingType& t, construct* con, BuildingBlock* b) {
    b->alive = 0;
    switch (t.kind) {
        case BuildingKind::Multi:
            BreakApart(con, b->wreck, &b->unit.owned);
            // With a wreck the footprint stays: the wreck keeps blocking.
            if (CurrentMatrix) {
                if (b->wreck)
                    RemoveStaticFromTiles(CurrentMatrix, con, 0, 0, 0);
                else
                    RemoveStaticFromTiles(CurrentMatrix, con, 1, b->footprintWordBits, b->footprintByteBits);
            }
            RemoveFromTypePools(con);
            BusyWhileEffects(con);
            break;
        case BuildingKind::Base:
        case BuildingKind::LBase:
        case BuildingKind::Giant:
            ReleaseFootprint(t, con, b);
            RemoveFromTypePools(con);
            if (con->bboardCount > 0) QueueUnbusy(con);
            break;
        case BuildingKind::Frag:
            BurstIntoShards(con, b->unit.owned.count, b->unit.owned.list, &b->explosion);
            ReleaseFootprint(t, con, b);
            RemoveFromTypePools(con);
            break;
    }
}

void Tick(const BuildingType& t, construct* con) {
    BuildingBlock* b = Block(con);
    b->animCounter += 4 * con->busyLevel;
    if (b->animCounter > 255) b->animCounter = 0;
    con->effectPhase = b->animCounter >> 4;
    if (t.kind == BuildingKind::Giant || t.kind == BuildingKind::Multi) UpdateSpotEffects(con);
    if (t.kind == BuildingKind::Multi) TurnAddons(con, b);
    if (b->alive && b->state.structure <= 0) Destruction(t, con, b);
}

// A MultiElem struck by a unit reacts by the resistance of the unit's access type: a rigid one sounds
// (at most once in 200 ticks), a breaking one gives way at once.
void ApplyResistance(construct* con, BuildingBlock* b, construct* striker) {
    ResistanceSlot& r = b->resistance[ResistanceSlotFor(striker)];
    const int32_t now = static_cast<int32_t>(FrameCounter);
    switch (r.rec.type) {
        case ResistanceType::Rigid:
            if (!(b->lastRigidHit >= now - kQuietTicks && b->lastRigidHit <= now)) PlayAt(con, &r.sound);
            b->lastRigidHit = now;
            break;
        case ResistanceType::Break:
            PlayAt(con, &r.sound);
            b->state.structure = -1;
            break;
        case ResistanceType::Swing:
        case ResistanceType::Bend:
        case ResistanceType::Fall:
        case ResistanceType::Slam: break;  // refused at placement
    }
}

void Hit(const BuildingType& t, construct* con, construct* striker) {
    BuildingBlock* b = Block(con);
    const DamageRecord d = StrikerDamage(striker);
    RecordStriker(con, striker);
    SpawnPooledEffect(con, &b->state, StrikerState(striker), con->hitPoints[0]);
    const FixVec away{con->pos[0] - con->hitPoints[0][0], con->pos[1] - con->hitPoints[0][1],
                      con->pos[2] - con->hitPoints[0][2]};
    FixVec dir{0, 0, 0};
    NormaliseF(&dir, &away);
    int32_t damage = int32_t{d.shield} + d.structure;
    if (t.kind == BuildingKind::Multi) {
        if (d.shield < 2) damage = d.structure;
        if (d.shield < 2 && striker && striker->unit) ApplyResistance(con, b, striker);
    }
    const int32_t before = b->state.structure;
    const int32_t push[3] = {dir.x, dir.y, dir.z};
    SpawnDebris(con, 0, &b->state, push, damage, 0);
    if (t.kind == BuildingKind::Frag) {
        if (before > 0 && b->state.structure < 1) Destruction(t, con, b);
    } else if (b->alive && b->state.structure <= 0) {
        Tick(t, con);
    }
    con->hits[0] = nullptr;
}

void SetMode(const BuildingType& t, construct* con, uintptr_t arg) {
    BuildingBlock* b = Block(con);
    if (t.kind == BuildingKind::Multi && arg == 1 && b->turnMax != 0) {
        PlayAt(con, &b->go);
        LoopAt(con, &b->engine);
        b->turnRate = 350;
    }
    b->mode = static_cast<uint8_t>(b->mode | (arg & 0xFF));
}

void Destroy(const BuildingType& t, construct* con) {
    (void)t;
    if (con->flags & kConstructPlaced) FatalError("remove first");
    BuildingBlock* b = Block(con);
    DestroySubConstructs(&b->unit.owned);
    FreeConstruct(b->wreck);
    b->wreck = nullptr;
    StopSound(&b->engine);
    FreeConstruct(con);
}

void RestoreSaved(const BuildingType& t, construct* con, const uint8_t* in) {
    RequireSaved(t.form, in);
    BuildingBlock* b = Block(con);
    const uint8_t wasAlive = b->alive;
    BuildingRestore(b, t.kind, in);
    if (t.kind == BuildingKind::Multi && wasAlive != b->alive) SwapConstructVisuals(con, b->wreck);
    if (!(con->flags & kConstructPlaced)) return;
    if (b->alive) AddToTypePools(con);
    else RemoveFromTypePools(con);
}

// One dispatcher for the five types: a method a type does not have (FragElem ticks and switches not,
// only MultiElem and FragElem tell their access type) is answered as unknown.
uintptr_t BuildingItfc(const BuildingType& t, construct* con, ItfcMethod method, uintptr_t arg) {
    const bool frag = t.kind == BuildingKind::Frag;
    const bool accessType = t.kind == BuildingKind::Multi || frag;
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(Create(t, EntryOf(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK:
            if (frag) return ItfcUnknownMethod(t.name, method);
            Tick(t, con);
            return 0;
        case ItfcMethod::PLACE: {
            PlacementRecord none{};
            Place(t, con, arg ? reinterpret_cast<PlacementRecord*>(arg) : &none);
            return 0;
        }
        case ItfcMethod::HIT: Hit(t, con, reinterpret_cast<construct*>(arg)); return 0;
        case ItfcMethod::UNPLACE: Unplace(t, con); return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>(t.name);
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(&Block(con)->damage);
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&Block(con)->state);
        case ItfcMethod::GETMAXIMA: return reinterpret_cast<uintptr_t>(&Block(con)->maxima);
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY: Destroy(t, con); return 0;
        case ItfcMethod::GETUNIT: return reinterpret_cast<uintptr_t>(con->itfcData);
        case ItfcMethod::GETACCESSTYPE: return accessType ? 4 : ItfcUnknownMethod(t.name, method);
        case ItfcMethod::SETMODE:
            if (frag) return ItfcUnknownMethod(t.name, method);
            SetMode(t, con, arg);
            return 0;
        case ItfcMethod::GETMODE: return frag ? ItfcUnknownMethod(t.name, method) : Block(con)->mode;
        case ItfcMethod::GETITFCDATA: return reinterpret_cast<uintptr_t>(BuildingSaved(Block(con), t.kind, arg));
        case ItfcMethod::SETITFCDATA: RestoreSaved(t, con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        case ItfcMethod::UPDATEAIUNIT: {
            auto* ai = reinterpret_cast<AIUnitRecord*>(arg);
            ai->weaponPresent[0] = ai->weaponPresent[1] = 0;
            return 1;
        }
        default: return ItfcUnknownMethod(t.name, method);
    }
}

}  // namespace

uintptr_t MultiElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return BuildingItfc(kMulti, con, method, arg); }
uintptr_t BaseElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return BuildingItfc(kBase, con, method, arg); }
uintptr_t LBaseElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return BuildingItfc(kLBase, con, method, arg); }
uintptr_t GiantElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return BuildingItfc(kGiant, con, method, arg); }
uintptr_t FragElem_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return BuildingItfc(kFrag, con, method, arg); }
