// The wreck type: creation from the preloaded template, placing, the lying and sinking phases, the
// stored record and the hand-over from a dying unit.
#include "vehicles/types/DeadBody.h"

#include <cstdio>
#include <cstring>

#include "ai/Clan.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/SharedPools.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"

namespace {

constexpr const char* kTypeName = "DeadBody";
constexpr int kPathSize = 512;
// The box corners tested against the ground: the four lower ones.
constexpr uint8_t kProbeCorners[4] = {0, 3, 4, 7};

DeadBodyData* Data(construct* con) {
    return static_cast<DeadBodyData*>(con->itfcData);
}

const char* UnitName(const construct* con) {
    return con->unit && con->unit->name ? con->unit->name : "?";
}

bool HasFile(const char* directory, const char* name) {
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s%c%s", directory, kPathSeparator, name);
    return qzpk_exists(path) != 0;
}

// Seconds of a level-wide rule in whole ticks.
int32_t RuleTicks(const char* name) {
    const Rule* rule = NamedRulef("%s", name);
    return TruncateToInt32((rule->count > 0 ? rule->values[0] : 0.0f) * 100.0);
}

// Wrecks tick like the units outside the player's clan: every 2nd tick in a single-player game, every
// tick in a networked game or while record/replay is on.
int WreckBusyLevel() {
    const Rule* replay = FindRule("recordreplay_active");
    const bool recording = replay && replay->count > 0 && replay->values[0] != 0.0f;
    return MultiplayerOn || recording ? 0 : 1;
}

construct* Create(const Unit* unit, const char* directory) {
    if (construct* copy = ClonePreloaded(DeadBody_itfc, directory)) {
        copy->unit = const_cast<Unit*>(unit);
        return copy;
    }
    construct* con = CreateConstruct(0, kDeadBodyFlags);
    con->unit = const_cast<Unit*>(unit);
    con->itfc = DeadBody_itfc;
    auto* data = static_cast<DeadBodyData*>(AllocItfcData(con, sizeof(DeadBodyData)));

    const Rule* scaleRule = NamedUnitRule(unit, "scale");
    const float scale = scaleRule->count > 0 ? scaleRule->values[0] : 1.0f;
    Geom* body = LoadGeom(scale, directory, "DeadBody", nullptr);
    AllocBSpheres(con);
    AllocBBoards(con, 1);
    AllocSpots(con);
    SetConstructGeoms(con, body, body, body, body);
    if (HasFile(directory, "shad")) SetConstructShadowGeom(con, LoadGeom(scale, directory, "shad", nullptr));

    LookupSound(&data->crashSound, "FX_DeadBodyCrash");
    con->sampleCornerCount = 4;
    std::memcpy(con->sampleCorners, kProbeCorners, sizeof kProbeCorners);
    return con;
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    CreateQZEvent(QZEventKind::UnBuzy, con);
    DeactivateConstruct(con);
    con->flags &= ~kConstructPlaced;
}

void Place(construct* con) {
    if (con->flags & kConstructPlaced) CallItfc(con, ItfcMethod::UNPLACE, 0);
    con->flags |= kConstructPlaced;
    con->collisionClass = 255;

    DeadBodyData* data = Data(con);
    // The shove divides by this byte: a value that a byte cannot hold, or 0, is refused here rather than
    // dividing by zero (or by a 256 turned into 0) at the first collision.
    const Rule* impact = NamedUnitRule(con->unit, "impactphysical");
    const int32_t physical = TruncateToInt32(impact->count > 0 ? impact->values[0] : 0.0f);
    if (physical < 1 || physical > 255)
        FatalErrorF("Error(DeadBody): unit '%s' has impactphysical %d; the wreck needs 1 to 255", UnitName(con),
                    physical);
    data->damage = DamageRecord{static_cast<uint8_t>(physical), 0, 0};
    data->state = StateRecord{0, -1, 0};
    data->maxima = MaximaRecord{0, -1, 0};
    data->lifetime = RuleTicks("deadbody_lifetime");
    data->sink = 0;
    data->smoke = RuleTicks("deadbody_smoketime");
    data->lastCrash = static_cast<int32_t>(FrameCounter);
    con->opacity = 255;
    DeadBody_physInit(&data->phys, con);

    CreateQZEvent(WreckBusyLevel(), con);
    ActivateConstruct(con);
}

void Destroy(construct* con, uintptr_t deferred) {
    if (con->flags & kConstructPlaced) CallItfc(con, ItfcMethod::UNPLACE, 0);
    // Freeing drops every event still queued for the wreck (FreeConstruct forgets them), so a busy-removal
    // event of the UNPLACE above never runs on freed memory.
    if (deferred) CreateQZEvent(QZEventKind::Free, con);
    else FreeConstruct(con);
}

// One hit slot of the lying wreck: a spark, the shove, the spin, debris and the crash sound.
void TakeHit(construct* con, DeadBodyData* data, int slot) {
    construct* hitter = con->hits[slot];
    const int32_t* p = con->hitPoints[slot];
    DamageRecord dmg{0, 0, 0};
    if (auto* d = reinterpret_cast<const DamageRecord*>(CallItfc(hitter, ItfcMethod::GETDAMAGE))) dmg = *d;
    auto* hitterState = reinterpret_cast<const StateRecord*>(CallItfc(hitter, ItfcMethod::GETSTATE));
    SpawnPooledEffect(con, &data->state, hitterState, p);

    FixVec away{con->pos[0] - p[0], con->pos[1] - p[1], con->pos[2] - p[2]};
    FixVec d{0, 0, 0};
    NormaliseF(&d, &away);
    // A record restored with a physical byte of 0 is not shoved rather than divided by zero.
    const int32_t k = data->damage.physical ? (int32_t{dmg.physical} * 256) / data->damage.physical : 0;
    con->pos[0] += static_cast<int32_t>((int64_t{k} * d.x) >> 12);
    con->pos[2] += static_cast<int32_t>((int64_t{k} * d.z) >> 12);
    if (dmg.physical > 5) {
        const int32_t push[3] = {k * d.x, 0, k * d.z};
        DeadBody_impact(&data->phys, push, p, hitter->pos, k);
    }
    if (!SameClan(hitter->clan, con->clan) && dmg.shield != 0) {
        const int32_t dir[3] = {d.x, d.y, d.z};
        SpawnDebris(con, slot, &data->state, dir, dmg.shield, 0);
    }
    // Units and other wrecks crash into it; projectiles and effects have no units-file entry.
    const int32_t now = static_cast<int32_t>(FrameCounter);
    if (hitter->unit && (now - data->lastCrash > kDeadBodyCrashGap || data->lastCrash > now)) {
        data->lastCrash = now;
        static const int32_t kZero[3] = {0, 0, 0};
        PlaySampleFor(&data->crashSound, 1, 0, 0);
        if (dxgl_DescSound(&data->crashSound)) dxgl_SetSoundPosition(&data->crashSound, con->pos, kZero, 0, 0);
    }
    con->hits[slot] = nullptr;
}

void Tick(construct* con) {
    DeadBodyData* data = Data(con);
    const int shift = con->busyLevel;
    if (data->smoke > 0) UpdateSpotEffects(con);

    if (data->sink != 0) {
        data->sink += kDeadBodySinkStep;
        con->pos[1] -= kDeadBodySinkStep;
        if (con->opacity >= 6) con->opacity = static_cast<uint8_t>(con->opacity - 6);
        if (data->sink >= kDeadBodySinkDepth) {
            if (DeadBodyPool) RemoveFromConstructPool(DeadBodyPool, con);
            CallItfc(con, ItfcMethod::UNPLACE, 0);
            CallItfc(con, ItfcMethod::DESTROY, 1);
        }
        return;
    }

    for (int slot = 0; slot < 4 && con->hits[slot]; ++slot) TakeHit(con, data, slot);
    DeadBody_physUpdate(&data->phys, shift);
    data->lifetime -= 1 << shift;
    if (data->lifetime <= 0) data->sink = 1;
    data->smoke -= 1 << shift;
}

// Little-endian fields of the stored record.
void Put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}
void PutI(uint8_t* at, int32_t v) { Put32(at, static_cast<uint32_t>(v)); }
int32_t GetI(const uint8_t* at) { return static_cast<int32_t>(Get32(at)); }
void PutF(uint8_t* at, float f) {
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    Put32(at, v);
}
float GetF(const uint8_t* at) {
    const uint32_t v = Get32(at);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
}

// Offsets of the stored record.
enum : int {
    kOffDamage = 0, kOffState = 4, kOffMaxima = 16, kOffLifetime = 28, kOffSink = 32, kOffSmoke = 36,
    kOffLastCrash = 40, kOffSound = 44, kOffSoundHandle = 128, kOffPhys = 132,
};
static_assert(kOffSound + 64 + 5 * 4 == kOffSoundHandle, "the sound descriptor's fields end at its handle");
static_assert(kOffPhys + 76 == kDeadBodyRecordSize, "the physics record closes the 208 bytes");

}  // namespace

void WriteDeadBodyRecord(const DeadBodyData* data, uint8_t out[kDeadBodyRecordSize]) {
    std::memset(out, 0, kDeadBodyRecordSize);
    out[kOffDamage + 0] = data->damage.physical;
    out[kOffDamage + 1] = data->damage.shield;
    out[kOffDamage + 2] = data->damage.structure;
    const int32_t words[9] = {data->state.shield,  data->state.structure,  data->state.energy,
                              data->maxima.shield, data->maxima.structure, data->maxima.energy,
                              data->lifetime,      data->sink,             data->smoke};
    for (int i = 0; i < 9; ++i) PutI(out + kOffState + 4 * i, words[i]);
    PutI(out + kOffLastCrash, data->lastCrash);
    const SoundDesc& s = data->crashSound;
    std::memcpy(out + kOffSound, s.file, sizeof s.file);
    out[kOffSound + sizeof s.file - 1] = 0;
    const int32_t sound[5] = {s.minDistance, s.maxDistance, s.lowFrequency, s.highFrequency, s.unused};
    for (int i = 0; i < 5; ++i) PutI(out + kOffSound + 64 + 4 * i, sound[i]);
    // The playing sound's handle (offset 128) and the construct reference (offset 132) mean nothing in a
    // stored record: both are written 0.
    const DeadBodyPhys& p = data->phys;
    uint8_t* q = out + kOffPhys + 4;
    for (int32_t v : p.velocity) PutI(q, v), q += 4;
    for (int32_t v : p.words) PutI(q, v), q += 4;
    for (int32_t v : p.spin) PutI(q, v), q += 4;
    PutI(q, p.spinDecay), q += 4;
    PutI(q, p.impactPending), q += 4;
    for (int32_t v : p.impact) PutI(q, v), q += 4;
    q += 4;  // reserved
    PutI(q, p.verticalVelocity), q += 4;
    PutI(q, p.contacts), q += 4;
    PutF(q, p.damping);
}

void ReadDeadBodyRecord(DeadBodyData* data, const uint8_t in[kDeadBodyRecordSize]) {
    data->damage = DamageRecord{in[kOffDamage], in[kOffDamage + 1], in[kOffDamage + 2]};
    data->state = StateRecord{GetI(in + 4), GetI(in + 8), GetI(in + 12)};
    data->maxima = MaximaRecord{GetI(in + 16), GetI(in + 20), GetI(in + 24)};
    data->lifetime = GetI(in + kOffLifetime);
    data->sink = GetI(in + kOffSink);
    data->smoke = GetI(in + kOffSmoke);
    data->lastCrash = GetI(in + kOffLastCrash);
    DeadBodyPhys stored{};
    const uint8_t* q = in + kOffPhys + 4;
    for (int32_t& v : stored.velocity) v = GetI(q), q += 4;
    for (int32_t& v : stored.words) v = GetI(q), q += 4;
    for (int32_t& v : stored.spin) v = GetI(q), q += 4;
    stored.spinDecay = GetI(q), q += 4;
    stored.impactPending = GetI(q), q += 4;
    for (int32_t& v : stored.impact) v = GetI(q), q += 4;
    q += 4;
    stored.verticalVelocity = GetI(q), q += 4;
    stored.contacts = GetI(q), q += 4;
    stored.damping = GetF(q);
    DeadBody_physCopy(&data->phys, &stored);
}

uintptr_t DeadBody_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(
                Create(reinterpret_cast<const Unit*>(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK:
            Tick(con);
            return 0;
        case ItfcMethod::PLACE:
            Place(con);
            return 0;
        case ItfcMethod::UNPLACE:
            Unplace(con);
            return 0;
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>(kTypeName);
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Data(con)->damage);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&Data(con)->state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&Data(con)->maxima);
        case ItfcMethod::GETPOS:
            std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::DESTROY:
            Destroy(con, arg);
            return 0;
        case ItfcMethod::GETITFCDATA: {
            if (arg) *reinterpret_cast<int32_t*>(arg) = kDeadBodyRecordSize;
            auto* record = static_cast<uint8_t*>(qzAlloc(kDeadBodyRecordSize, "DeadBody data block1"));
            WriteDeadBodyRecord(Data(con), record);
            return reinterpret_cast<uintptr_t>(record);
        }
        case ItfcMethod::COPYITFCDATA: {
            if (arg) *reinterpret_cast<int32_t*>(arg) = kDeadBodyRecordSize;
            auto* copy = static_cast<DeadBodyData*>(qzAlloc(sizeof(DeadBodyData), "DeadBody data block2"));
            *copy = *Data(con);
            copy->crashSound.buffer = nullptr;  // the copy has played nothing yet
            copy->crashSound.serial = 0;
            return reinterpret_cast<uintptr_t>(copy);
        }
        case ItfcMethod::SETITFCDATA:
            ReadDeadBodyRecord(Data(con), reinterpret_cast<const uint8_t*>(arg));
            return 0;
        default:
            break;
    }
    return ItfcUnknownMethod(kTypeName, method);
}

void PreloadDeadBody(Unit* unit, const char* directory) {
    if (!PreloadedPool || !HasFile(directory, "deadbody")) return;
    if (NamedConstructInPool(PreloadedPool, DeadBody_itfc, directory)) return;
    auto* tmpl = reinterpret_cast<construct*>(
        DeadBody_itfc(reinterpret_cast<construct*>(unit), ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(directory)));
    AppendNamedToConstructPool(PreloadedPool, tmpl, directory);
}

construct* LeaveDeadBody(construct* unit, const char* directory) {
    if (!DeadBodyPool || DeadBodyPool->count >= DeadBodyPool->capacity) return nullptr;
    if (!HasFile(directory, "deadbody")) return nullptr;
    auto* wreck = reinterpret_cast<construct*>(DeadBody_itfc(reinterpret_cast<construct*>(unit->unit),
                                                             ItfcMethod::CREATE,
                                                             reinterpret_cast<uintptr_t>(directory)));
    DeadBody_itfc(wreck, ItfcMethod::PLACE, 0);
    AppendToConstructPool(DeadBodyPool, wreck);
    ResetSpots(wreck);
    std::memcpy(wreck->pos, unit->pos, sizeof wreck->pos);
    std::memcpy(wreck->orient, unit->orient, sizeof wreck->orient);
    return wreck;
}
