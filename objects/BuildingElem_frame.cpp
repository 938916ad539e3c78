// The frame the element types share: placement in quarter turns, damage and state from the unit rules,
// the resistances, the striker's records, sounds at the element, busy events, the object files' staged
// resources, the "deadbody" look and moving parts, and the break-up of a destroyed element.
#include <cstdio>
#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/Elements_local.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/Level.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"

namespace elements {

namespace {

const int32_t kStill[3] = {0, 0, 0};

float RuleNumber(const Rule* r, int i) { return r && i < r->count && r->values ? r->values[i] : 0.0f; }

uint8_t RuleByte(const Unit* unit, const char* key) {
    return static_cast<uint8_t>(TruncateToInt32(RuleNumber(NamedUnitRule(unit, "%s", key), 0)));
}

template <typename T>
T* CopyList(const T* src, int count, const char* purpose) {
    if (!src || count < 1) return nullptr;
    T* out = static_cast<T*>(qzAlloc(static_cast<int>(sizeof(T)) * count, purpose));
    std::memcpy(out, src, sizeof(T) * static_cast<size_t>(count));
    return out;
}

}  // namespace

int32_t QuarterTurnHeading(int32_t heading) {
    int32_t h = heading % kFullTurn;
    if (h < 0) h += kFullTurn;
    // Four quarter turns fall 2 short of a full turn: the last 2 of the turn still count as the third.
    const int32_t quarter = h / kQuarterTurn;
    return (quarter > 3 ? 3 : quarter) * kQuarterTurn;
}

StaticPlacement StepPlacement(PlacementRecord* place) {
    place->heading = QuarterTurnHeading(place->heading);
    place->y = INT32_MIN;  // the height is found from the ground under the footprint
    place->spare[1] = kQuarterTurn;
    return StaticPlacement{place->x, place->y, place->z, place->spare[1], place->heading};
}

int32_t AccessibleHeightRule(const Unit* unit) {
    const Rule* r = FindUnitRule(unit, "AccessibleHeight");
    return TruncateToInt32(RuleNumber(r, 0));
}

int32_t DefaultStructure(int32_t strength) {
    if (strength == 100) return 1000000;
    return TruncateToInt32(static_cast<double>(static_cast<int64_t>(strength) * 60 / 100));
}

void ReadDamageAndState(const Unit* unit, int32_t strength, uint8_t defaultShieldDamage, DamageRecord* damage,
                        StateRecord* state, MaximaRecord* maxima) {
    if (FindUnitRule(unit, "impactphysical")) {
        damage->physical = RuleByte(unit, "impactphysical");
        damage->shield = RuleByte(unit, "impactshield");
        damage->structure = RuleByte(unit, "impactstructure");
        const double s = strength;
        state->shield = TruncateToInt32(s * RuleNumber(NamedUnitRule(unit, "shield"), 0) * 0.01);
        state->energy = TruncateToInt32(s * RuleNumber(NamedUnitRule(unit, "energy"), 0) * 0.01);
        state->structure = TruncateToInt32(RuleNumber(NamedUnitRule(unit, "structure"), 0));
    } else {
        *damage = DamageRecord{100, defaultShieldDamage, 0};
        *state = StateRecord{0, DefaultStructure(strength), 0};
    }
    *maxima = MaximaRecord{state->shield, state->structure, state->energy};
}

void ReadResistances(const Unit* unit, ResistanceSlot slots[2], void* owner) {
    const Rule* r = FindUnitRule(unit, "resistance");
    for (int i = 0; i < 2; ++i) {
        const char* name = r && r->info[i] ? r->info[i] : "rigid";
        NamedResistance(&slots[i].rec, name, owner);
        if (!LookupRuleSound(unit, &slots[i].sound, "resistance_fx_%d", i))
            LookupSound(&slots[i].sound, "FX_resistance_%s", name);
    }
}

int StandingResistances(const ResistanceSlot slots[2]) {
    return (IsResistanceUpright(&slots[0].rec) ? 1 : 0) | (IsResistanceUpright(&slots[1].rec) ? 2 : 0);
}

DamageRecord StrikerDamage(construct* striker) {
    const auto* d = striker ? reinterpret_cast<const DamageRecord*>(CallItfc(striker, ItfcMethod::GETDAMAGE)) : nullptr;
    return d ? *d : DamageRecord{0, 0, 0};
}

const StateRecord* StrikerState(construct* striker) {
    return striker ? reinterpret_cast<const StateRecord*>(CallItfc(striker, ItfcMethod::GETSTATE)) : nullptr;
}

int32_t ResistanceSlotFor(construct* striker) {
    return CallItfc(striker, ItfcMethod::GETACCESSTYPE) == 1 ? 1 : 0;
}

void RecordStriker(construct* con, construct* striker) {
    con->hits[0] = striker;
    // The slot's contact point is the striker's: a point left from an earlier contact would put the
    // spark and the debris where the element was struck before.
    if (striker) std::memcpy(con->hitPoints[0], striker->pos, sizeof con->hitPoints[0]);
}

void PlayAt(const construct* con, SoundDesc* sound) {
    if (!sound->file[0]) return;
    PlayUnitSoundAt(con, sound);
}

void LoopAt(const construct* con, SoundDesc* sound) {
    if (!sound->file[0]) return;
    if (!dxgl_DescSound(sound) && !PlaySampleFor(sound, kSoundPositional, 1, 1)) return;
    dxgl_SetSoundPosition(sound, con->pos, kStill, 0, 0);
}

void StopSound(SoundDesc* sound) {
    if (dxgl_SoundStreamBuffer* b = dxgl_DescSound(sound)) dxgl_FreeSound(&b);
    sound->buffer = nullptr;
    sound->serial = 0;
}

bool BusyOrPending(const construct* con) { return (con->flags & (kConBusy | kConEventPending)) != 0; }

void QueueBusy(construct* con, int level) {
    if (!BusyOrPending(con)) CreateQZEvent(level, con);
}

void QueueUnbusy(construct* con) {
    if (BusyOrPending(con)) CreateQZEvent(QZEventKind::UnBuzy, con);
}

void RefuseLoaded(Geom* g, const char* text) {
    FreeGeom(g);
    DropStaged();
    FatalError(text);
}

void CheckHFields(Geom* g, const char* typeName, const char* separator, const char* path, int width) {
    char text[600];
    if (CCADHFieldCount != 1) {
        std::snprintf(text, sizeof text, "Error(%s_itfc%s%s): want one HField!", typeName, separator, path);
        RefuseLoaded(g, text);
    }
    if (width != 0 && CCADHFields[0].n != width) {
        std::snprintf(text, sizeof text, "Error(%s_itfc%s%s): HField must have width %d!", typeName, separator, path,
                      width);
        RefuseLoaded(g, text);
    }
}

void TakeStaged(construct* con, bool spots) {
    AllocHField(con);
    AllocBSpheres(con);
    AllocBBoards(con, 1);
    if (spots) AllocSpots(con);
}

void DropStaged() { ResetCCADStaging(); }

construct* CreateWreck(const char* directory, float scale, bool hfield) {
    construct* wreck = CreateConstruct(0, kHittableElement);
    Geom* g = LoadGeom(scale, directory, "deadbody", nullptr);
    if (hfield) AllocHField(wreck);
    AllocBSpheres(wreck);
    AllocBBoards(wreck, 1);
    AllocSpots(wreck);
    SetConstructGeoms(wreck, g, g, g, g);
    DropStaged();
    return wreck;
}

construct* AddonWreckAndShards(const Unit* unit, const char* directory, OwnedConstructs* owned, float scale,
                               bool hfield) {
    const Rule* addons = FindUnitRule(unit, "addons");
    if (!addons) return nullptr;
    construct* wreck = nullptr;
    if (RuleHasInfo(addons, "deadbody")) wreck = CreateWreck(directory, scale, hfield);
    if (RuleHasInfo(addons, "ownfrags")) AllocShards(owned, directory, TruncateToInt32(RuleNumber(addons, 0)));
    return wreck;
}

construct* AppendMovingPart(construct* parent, const char* directory, const char* name, float scale) {
    Geom* g = LoadGeom(scale, directory, name, nullptr);
    construct* part = CreateConstruct(0, kLitPart);
    AllocBBoards(part, 1);
    SetConstructGeoms(part, g, g, g, g);
    DropStaged();
    AppendSubConstruct(parent, nullptr, nullptr, part, kMovingPart);
    return part;
}

void PlacePart(const construct* parent, construct* part, const int32_t turn[9], const int32_t anchorTurn[9]) {
    FixMatrix t, p, m;
    std::memcpy(t.m, turn, sizeof t.m);
    std::memcpy(p.m, parent->orient, sizeof p.m);
    // The part turns in its parent's frame (each of its rows is the turn's row carried by the parent), so
    // a part looks the same whatever way its building faces.
    MulMatrix(&m, &p, &t);
    std::memcpy(part->orient, m.m, sizeof part->orient);
    FixMatrix a;
    if (anchorTurn) std::memcpy(a.m, anchorTurn, sizeof a.m);
    else a = m;
    const Geom* g = part->lod[0];
    const FixVec anchor{g ? g->anchor[0] : 0, g ? g->anchor[1] : 0, g ? g->anchor[2] : 0};
    FixVec offset;
    RotateVecT(&offset, &a, &anchor);
    part->pos[0] = parent->pos[0] + offset.x;
    part->pos[1] = parent->pos[1] + offset.y;
    part->pos[2] = parent->pos[2] + offset.z;
}

void BreakApart(construct* con, construct* wreck, OwnedConstructs* owned) {
    if (wreck) SwapConstructVisuals(con, wreck);
    ResetSpots(con);
    UpdateSpotEffects(con);
    const float spin[3] = {static_cast<float>(Random() >> 21), static_cast<float>(Random() >> 21),
                           static_cast<float>(Random() >> 21)};
    static const float kShardVelocity[3] = {4.0f, 32.0f, 4.0f};
    LaunchParts(con, owned->count, owned->list, kShardVelocity, spin);
    if (const Rule* frags = FindUnitRule(con->unit, "frags")) {
        const float velocity[3] = {RuleNumber(frags, 2), RuleNumber(frags, 3), RuleNumber(frags, 2)};
        SpawnFrags(con, frags->info[0], TruncateToInt32(RuleNumber(frags, 0)), TruncateToInt32(RuleNumber(frags, 1)),
                   velocity, spin);
    }
}

void BusyWhileEffects(construct* con) {
    if (con->bboardCount == 0 && !HasActiveSpots(con))
        QueueUnbusy(con);
    else
        QueueBusy(con, kElementBusyLevel);
}

construct* CopyWreck(const construct* src) {
    if (!src) return nullptr;
    construct* con = CreateConstruct(0, src->initialFlags);
    for (int i = 0; i < 4; ++i) {
        int same = -1;
        for (int j = 0; j < i && same < 0; ++j)
            if (src->lod[j] == src->lod[i]) same = j;
        con->lod[i] = same >= 0 ? con->lod[same] : CopyGeom(src->lod[i]);
    }
    con->sphereCount = src->sphereCount;
    con->spheres = CopyList(src->spheres, src->sphereCount, "bsphere2");
    con->spotCount = src->spotCount;
    con->spots = CopyList(src->spots, src->spotCount, "spt");
    if (src->bboardCount > 0 && src->bboards) {
        con->bboardCount = src->bboardCount;
        con->bboards = static_cast<bboard**>(qzAlloc(static_cast<int>(sizeof(bboard*)) * src->bboardCount, "bboards"));
        for (int i = 0; i < src->bboardCount; ++i) con->bboards[i] = CopyBBoard(src->lod[0], con->lod[0], src->bboards[i]);
    }
    if (src->hf) {
        con->hf = static_cast<hfield*>(qzAlloc(sizeof(hfield), "hfield"));
        con->hf->n = src->hf->n;
        con->hf->heights = CopyList(src->hf->heights, src->hf->n * src->hf->n, "hfield heights");
    }
    con->box = src->box;
    con->sphere = src->sphere;
    return con;
}

}  // namespace elements

int LiftBusyLevel() { return MultiplayerOn ? 0 : 1; }
