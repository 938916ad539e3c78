// The saved forms of the element types: the unit record's saved form (where the type keeps one), then
// the type's own fields, little-endian, with no pointer in them. A form is checked before SETITFCDATA
// takes it, and a saved game runs the same check before a load changes the level.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "core/Memory.h"
#include "objects/Elements_local.h"
#include "objects/UnitSaved.h"
#include "world/Construct.h"

using namespace elements;

namespace {

// Bytes of the records after the unit record: damage (3 bytes and a pad byte), state, maxima.
constexpr size_t kRecordsSize = 4 + 12 + 12;
// Where the alive byte lies in the forms that keep one (buildings, the gate and the lift, MultiScenery).
constexpr size_t kAliveOffset = kUnitSavedSize + kRecordsSize;

constexpr size_t kBuildingSavedSize = kUnitSavedSize + kRecordsSize + 4 + 4;
constexpr size_t kMultiElemSavedSize = kBuildingSavedSize + 16;
constexpr size_t kGateSavedSize = kUnitSavedSize + kRecordsSize + 4 + 8;
constexpr size_t kLiftSavedSize = kUnitSavedSize + kRecordsSize + 4 + 8;
constexpr size_t kNRGGateSavedSize = kUnitSavedSize + 4 + 12 + 4;
constexpr size_t kScenerySavedSize = kUnitSavedSize + 4 + 4;
constexpr size_t kMultiScenerySavedSize = kUnitSavedSize + kRecordsSize + 4 + 4 + 36 + 12 + 8 + 12;
constexpr size_t kLanternSavedSize = 4;

// Largest swing angle and speed a stored part may have (a fallen pole lies at about 9, a bent mast at 2;
// a part swings at most a full turn, 41.2).
constexpr float kMaxSwing = 64.0f;

void WalkDamage(SavedWords& w, DamageRecord* d) {
    uint8_t bytes[4] = {d->physical, d->shield, d->structure, 0};
    for (uint8_t& b : bytes) w.U8(&b);
    *d = DamageRecord{bytes[0], bytes[1], bytes[2]};
}

void WalkState(SavedWords& w, StateRecord* s) {
    w.I32(&s->shield);
    w.I32(&s->structure);
    w.I32(&s->energy);
}

void WalkMaxima(SavedWords& w, MaximaRecord* m) {
    w.I32(&m->shield);
    w.I32(&m->structure);
    w.I32(&m->energy);
}

// Two flag bytes and two pad bytes.
void WalkBytes(SavedWords& w, uint8_t* first, uint8_t* second) {
    uint8_t bytes[4] = {*first, second ? *second : uint8_t{0}, 0, 0};
    for (uint8_t& b : bytes) w.U8(&b);
    *first = bytes[0];
    if (second) *second = bytes[1];
}

void WalkBuilding(SavedWords& w, BuildingBlock* b, BuildingKind kind) {
    WalkDamage(w, &b->damage);
    WalkState(w, &b->state);
    WalkMaxima(w, &b->maxima);
    WalkBytes(w, &b->alive, &b->mode);
    w.I32(&b->animCounter);
    if (kind != BuildingKind::Multi) return;
    w.I32(&b->addonAngle);
    w.I32(&b->turnRate);
    w.I32(&b->turnMax);
    w.I32(&b->lastRigidHit);
}

void WalkGate(SavedWords& w, GateBlock* b) {
    WalkDamage(w, &b->damage);
    WalkState(w, &b->state);
    WalkMaxima(w, &b->maxima);
    WalkBytes(w, &b->alive, &b->mode);
    w.F32(&b->doorPos);
    w.F32(&b->doorSpeed);
}

void WalkLift(SavedWords& w, LiftBlock* b) {
    WalkDamage(w, &b->damage);
    WalkState(w, &b->state);
    WalkMaxima(w, &b->maxima);
    WalkBytes(w, &b->alive, &b->mode);
    w.F32(&b->liftPos);
    w.F32(&b->liftSpeed);
}

void WalkNRGGate(SavedWords& w, NRGGateBlock* b) {
    WalkDamage(w, &b->damage);
    WalkState(w, &b->state);
    WalkBytes(w, &b->mode, nullptr);
}

void WalkScenery(SavedWords& w, SceneryBlock* b) {
    WalkBytes(w, &b->mode, nullptr);
    w.I32(&b->animCounter);
}

void WalkMultiScenery(SavedWords& w, MultiSceneryBlock* b) {
    WalkDamage(w, &b->damage);
    WalkState(w, &b->state);
    WalkMaxima(w, &b->maxima);
    WalkBytes(w, &b->alive, &b->mode);
    w.I32(&b->animCounter);
    w.I32s(b->baseOrient, 9);
    w.I32(&b->moving);
    w.I32(&b->movingSlot);
    w.I32(&b->lastHit);
    w.F32(&b->angle);
    w.F32(&b->velocity);
    w.I32s(b->axis, 3);
}

void WalkLantern(SavedWords& w, LanternBlock* b) {
    uint8_t bytes[4] = {b->start, b->current, b->step, 0};
    for (uint8_t& v : bytes) w.U8(&v);
    b->start = bytes[0];
    b->current = bytes[1];
    b->step = bytes[2];
}

// A fresh, zeroed form of size bytes under the type's purpose, with the unit record first when given.
uint8_t* NewForm(const char* type, size_t size, const UnitShare* unit, uintptr_t sizeOut) {
    char purpose[64];
    std::snprintf(purpose, sizeof purpose, "%s data block", type);
    auto* out = static_cast<uint8_t*>(qzAlloc(static_cast<int>(size), purpose));
    std::memset(out, 0, size);
    if (unit) PutUnitSaved(out, unit);
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = static_cast<int32_t>(size);
    return out;
}

void Closed(const SavedWords& w, const char* type) {
    if (w.pos != w.size) FatalErrorF("Error(%s_itfc): the saved form's fields do not fill it", type);
}

// Blocks headed by a unit record store it first.
template <typename Block>
constexpr bool kHasUnit = requires(Block b) { b.unit; };

// Writes the fields of a copy of the block (the walk reads through mutable records).
template <typename Block, typename Walk>
uint8_t* Save(const Block* b, const char* type, size_t size, uintptr_t sizeOut, Walk walk) {
    auto copy = std::make_unique<Block>(*b);
    const UnitShare* unit = nullptr;
    if constexpr (kHasUnit<Block>) unit = &b->unit;
    uint8_t* out = NewForm(type, size, unit, sizeOut);
    SavedWords w{out, nullptr, unit ? kUnitSavedSize : 0, size};
    walk(w, copy.get());
    Closed(w, type);
    return out;
}

bool Finite(float v, float limit) { return std::isfinite(v) && std::fabs(v) <= limit; }

float ReadF32(const uint8_t* at) {
    const uint32_t u = uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}
int32_t ReadI32(const uint8_t* at) {
    return static_cast<int32_t>(uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24);
}

const char* CheckSize(const uint8_t* block, size_t size, size_t want) {
    return !block || size != want ? "the saved state has the wrong size" : nullptr;
}
const char* CheckAlive(const uint8_t* block) {
    return block[kAliveOffset] > 1 ? "the alive flag is neither 0 nor 1" : nullptr;
}

const char* CheckBuilding(const uint8_t* block, size_t size, size_t want) {
    if (const char* why = CheckSize(block, size, want)) return why;
    return CheckAlive(block);
}
const char* CheckMultiElem(const uint8_t* b, size_t s) { return CheckBuilding(b, s, kMultiElemSavedSize); }
const char* CheckBaseElem(const uint8_t* b, size_t s) { return CheckBuilding(b, s, kBuildingSavedSize); }

// A door or lift position between 0 and 1 and a speed of at most one whole way per tick call.
const char* CheckMover(const uint8_t* block, size_t size, size_t want) {
    if (const char* why = CheckBuilding(block, size, want)) return why;
    const float pos = ReadF32(block + kAliveOffset + 4), speed = ReadF32(block + kAliveOffset + 8);
    if (!std::isfinite(pos) || pos < 0.0f || pos > 1.0f) return "the position lies outside 0..1";
    if (!Finite(speed, 1.0f)) return "the speed is not a number of at most 1";
    return nullptr;
}
const char* CheckGate(const uint8_t* b, size_t s) { return CheckMover(b, s, kGateSavedSize); }
const char* CheckLift(const uint8_t* b, size_t s) { return CheckMover(b, s, kLiftSavedSize); }
const char* CheckNRGGate(const uint8_t* b, size_t s) { return CheckSize(b, s, kNRGGateSavedSize); }
const char* CheckScenery(const uint8_t* b, size_t s) { return CheckSize(b, s, kScenerySavedSize); }
const char* CheckLantern(const uint8_t* b, size_t s) { return CheckSize(b, s, kLanternSavedSize); }

const char* CheckMultiScenery(const uint8_t* block, size_t size) {
    if (const char* why = CheckBuilding(block, size, kMultiScenerySavedSize)) return why;
    const uint8_t* at = block + kAliveOffset + 8;
    for (int i = 0; i < 9; ++i, at += 4) {
        const int32_t v = ReadI32(at);
        if (v < -32768 || v > 32768) return "the standing orientation is no 1.15 matrix";
    }
    const int32_t moving = ReadI32(at), slot = ReadI32(at + 4);
    if (moving != 0 && moving != 1) return "the moving flag is neither 0 nor 1";
    if (slot < -1 || slot > 1 || (moving && slot < 0)) return "the moving resistance is neither -1, 0 nor 1";
    if (!Finite(ReadF32(at + 12), kMaxSwing) || !Finite(ReadF32(at + 16), kMaxSwing))
        return "the swing angle or speed is out of range";
    for (int i = 0; i < 3; ++i) {
        const int32_t v = ReadI32(at + 20 + 4 * i);
        if (v < -32768 || v > 32768) return "the swing axis is no 1.15 vector";
    }
    return nullptr;
}

// The look a stored state gives: a building, gate or scenery object whose stored alive flag is not its
// current one changes to its other look (its wreck) when the form is taken over.
template <typename Block>
const construct* WreckLook(construct* con, const uint8_t* block, size_t size) {
    const auto* b = static_cast<const Block*>(con->itfcData);
    if (!b || !block || size <= kAliveOffset || !b->wreck) return con;
    return block[kAliveOffset] != b->alive ? b->wreck : con;
}

}  // namespace

const ElementSavedForm ElementSavedForms[kElementFormCount] = {
    {"MultiElem", MultiElem_itfc, kMultiElemSavedSize, CheckMultiElem},
    {"BaseElem", BaseElem_itfc, kBuildingSavedSize, CheckBaseElem},
    {"LBaseElem", LBaseElem_itfc, kBuildingSavedSize, CheckBaseElem},
    {"GiantElem", GiantElem_itfc, kBuildingSavedSize, CheckBaseElem},
    {"FragElem", FragElem_itfc, kBuildingSavedSize, CheckBaseElem},
    {"LGateElem", LGateElem_itfc, kGateSavedSize, CheckGate},
    {"LiftElem", LiftElem_itfc, kLiftSavedSize, CheckLift},
    {"NRGGate", NRGGate_itfc, kNRGGateSavedSize, CheckNRGGate},
    {"Scenery", Scenery_itfc, kScenerySavedSize, CheckScenery},
    {"MultiScenery", MultiScenery_itfc, kMultiScenerySavedSize, CheckMultiScenery},
    {"Lantern", Lantern_itfc, kLanternSavedSize, CheckLantern},
};
static_assert(std::size(ElementSavedForms) == kElementFormCount);

namespace elements {

namespace {

const ElementSavedForm& Form(ElementForm f) { return ElementSavedForms[static_cast<int>(f)]; }

ElementForm FormOf(BuildingKind kind) {
    switch (kind) {
        case BuildingKind::Multi: return ElementForm::MultiElem;
        case BuildingKind::Base: return ElementForm::BaseElem;
        case BuildingKind::LBase: return ElementForm::LBaseElem;
        case BuildingKind::Giant: return ElementForm::GiantElem;
        case BuildingKind::Frag: return ElementForm::FragElem;
    }
    return ElementForm::BaseElem;
}

// Reads the unit record and then the type's fields straight into the block (the form was checked).
template <typename Block, typename Walk>
void Restore(Block* b, const uint8_t* in, size_t size, Walk walk) {
    size_t start = 0;
    if constexpr (kHasUnit<Block>) {
        GetUnitSaved(&b->unit, in);
        start = kUnitSavedSize;
    }
    SavedWords w{nullptr, in, start, size};
    walk(w, b);
}

}  // namespace

uint8_t* BuildingSaved(const BuildingBlock* b, BuildingKind kind, uintptr_t sizeOut) {
    const ElementSavedForm& f = Form(FormOf(kind));
    return Save(b, f.type, f.size, sizeOut, [kind](SavedWords& w, BuildingBlock* c) { WalkBuilding(w, c, kind); });
}
void BuildingRestore(BuildingBlock* b, BuildingKind kind, const uint8_t* in) {
    Restore(b, in, Form(FormOf(kind)).size, [kind](SavedWords& w, BuildingBlock* c) { WalkBuilding(w, c, kind); });
}
uint8_t* GateSaved(const GateBlock* b, uintptr_t sizeOut) {
    return Save(b, "LGateElem", kGateSavedSize, sizeOut, WalkGate);
}
void GateRestore(GateBlock* b, const uint8_t* in) { Restore(b, in, kGateSavedSize, WalkGate); }
uint8_t* LiftSaved(const LiftBlock* b, uintptr_t sizeOut) {
    return Save(b, "LiftElem", kLiftSavedSize, sizeOut, WalkLift);
}
void LiftRestore(LiftBlock* b, const uint8_t* in) { Restore(b, in, kLiftSavedSize, WalkLift); }
uint8_t* NRGGateSaved(const NRGGateBlock* b, uintptr_t sizeOut) {
    return Save(b, "NRGGate", kNRGGateSavedSize, sizeOut, WalkNRGGate);
}
void NRGGateRestore(NRGGateBlock* b, const uint8_t* in) { Restore(b, in, kNRGGateSavedSize, WalkNRGGate); }
uint8_t* ScenerySaved(const SceneryBlock* b, uintptr_t sizeOut) {
    return Save(b, "Scenery", kScenerySavedSize, sizeOut, WalkScenery);
}
void SceneryRestore(SceneryBlock* b, const uint8_t* in) { Restore(b, in, kScenerySavedSize, WalkScenery); }
uint8_t* MultiScenerySaved(const MultiSceneryBlock* b, uintptr_t sizeOut) {
    return Save(b, "MultiScenery", kMultiScenerySavedSize, sizeOut, WalkMultiScenery);
}
void MultiSceneryRestore(MultiSceneryBlock* b, const uint8_t* in) {
    Restore(b, in, kMultiScenerySavedSize, WalkMultiScenery);
}
uint8_t* LanternSaved(const LanternBlock* b, uintptr_t sizeOut) {
    return Save(b, "Lantern", kLanternSavedSize, sizeOut, WalkLantern);
}
void LanternRestore(LanternBlock* b, const uint8_t* in) { Restore(b, in, kLanternSavedSize, WalkLantern); }

void RequireSaved(ElementForm form, const uint8_t* block) {
    const ElementSavedForm& f = Form(form);
    if (const char* why = f.check(block, f.size)) FatalErrorF("Error(%s_itfc): the saved state is damaged: %s", f.type, why);
}

}  // namespace elements

void RewriteElementSaved(ElementForm form, const uint8_t* in, uint8_t* out) {
    const ElementSavedForm& f = ElementSavedForms[static_cast<int>(form)];
    uint8_t* written = nullptr;
    switch (form) {
        case ElementForm::MultiElem:
        case ElementForm::BaseElem:
        case ElementForm::LBaseElem:
        case ElementForm::GiantElem:
        case ElementForm::FragElem: {
            const BuildingKind kind = form == ElementForm::MultiElem ? BuildingKind::Multi
                                      : form == ElementForm::LBaseElem ? BuildingKind::LBase
                                      : form == ElementForm::GiantElem ? BuildingKind::Giant
                                      : form == ElementForm::FragElem  ? BuildingKind::Frag
                                                                       : BuildingKind::Base;
            auto b = std::make_unique<BuildingBlock>();
            BuildingRestore(b.get(), kind, in);
            written = BuildingSaved(b.get(), kind, 0);
            break;
        }
        case ElementForm::LGateElem: {
            auto b = std::make_unique<GateBlock>();
            GateRestore(b.get(), in);
            written = GateSaved(b.get(), 0);
            break;
        }
        case ElementForm::LiftElem: {
            auto b = std::make_unique<LiftBlock>();
            LiftRestore(b.get(), in);
            written = LiftSaved(b.get(), 0);
            break;
        }
        case ElementForm::NRGGate: {
            auto b = std::make_unique<NRGGateBlock>();
            NRGGateRestore(b.get(), in);
            written = NRGGateSaved(b.get(), 0);
            break;
        }
        case ElementForm::Scenery: {
            auto b = std::make_unique<SceneryBlock>();
            SceneryRestore(b.get(), in);
            written = ScenerySaved(b.get(), 0);
            break;
        }
        case ElementForm::MultiScenery: {
            auto b = std::make_unique<MultiSceneryBlock>();
            MultiSceneryRestore(b.get(), in);
            written = MultiScenerySaved(b.get(), 0);
            break;
        }
        case ElementForm::Lantern: {
            auto b = std::make_unique<LanternBlock>();
            LanternRestore(b.get(), in);
            written = LanternSaved(b.get(), 0);
            break;
        }
        case ElementForm::Count: return;
    }
    std::memcpy(out, written, f.size);
    qzFree(written);
}

void RegisterElementTypes() {
    for (const ElementSavedForm& f : ElementSavedForms) SetSavedBlockCheck(f.itfc, f.check);
    SetSavedLook(MultiElem_itfc, WreckLook<BuildingBlock>);
    SetSavedLook(LGateElem_itfc, WreckLook<GateBlock>);
    SetSavedLook(MultiScenery_itfc, WreckLook<MultiSceneryBlock>);
}
