// The projectile thrower: rules to record at placement, volleys and salvos from the shared pools and the
// muzzles, shell cases, the delays and flashes per tick, the copy and the AI status words.
#include "vehicles/modules/PjtThrower.h"

#include <cstdio>
#include <cstring>

#include "ai/Clan.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"

namespace {

const int32_t kZero[3] = {0, 0, 0};
constexpr uint8_t kFaceHidden = 0x80;  // bit 7 of a face's type byte: never drawn
constexpr uint8_t kShellCaseMark = 250;

// Shows (show non-zero) or hides every face of patch p in the four detail levels of the part.
void ShowPatch(construct* part, int32_t p, int show) {
    const Geom* done[4] = {};
    for (int l = 0; l < 4; ++l) {
        Geom* g = part->lod[l];
        bool again = false;
        for (int k = 0; k < l; ++k) again = again || done[k] == g;
        done[l] = g;
        // Detail levels may share one geometry: each is touched once.
        if (!g || again || p < 0 || p >= g->patchCount || !g->patches) continue;
        const GeomPatch& patch = g->patches[p];
        for (int i = 0; i < patch.faceCount; ++i) {
            GeomFace* f = patch.faces ? patch.faces[i] : nullptr;
            if (!f) continue;
            f->type = static_cast<uint8_t>(show ? f->type & ~kFaceHidden : f->type | kFaceHidden);
        }
    }
}

int32_t Int(const Rule* r, int i) { return ModuleRuleInt(r, i); }

uint8_t ImpactByte(const Unit* unit, const char* weapon, const char* key) {
    return static_cast<uint8_t>(Int(NamedUnitRule(unit, "%s_%s", weapon, key), 0));
}

int32_t Saturate(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

// A case leaves the weapon part: sideways by the side factor, upward, spinning.
void EjectShellCase(PjtThrower* w) {
    if (w->shellCaseOffset[0] == kNoShellCases || !w->weaponPart) return;
    ConstructPool* pool = SharedPool(SharedPoolId::ShellCase);
    construct* q = pool ? NextFreeInConstructPool(pool) : nullptr;
    if (!q) return;
    CreateQZEvent(QZEventKind::Buzy0, q);
    ActivateConstruct(q);
    int32_t offset[3] = {w->shellCaseOffset[0], w->shellCaseOffset[1], w->shellCaseOffset[2]};
    int32_t side = w->shellCaseSide;
    // The case of the first of two muzzles leaves on the other side.
    if (w->muzzleCount == 2 && w->muzzleCursor == 1) {
        offset[0] = -offset[0];
        side = -side;
    }
    PlaceRelativeToOwner(w->weaponPart, q, offset);
    q->effectPhase = 255;
    if (auto* rec = static_cast<ShellCaseRecord*>(q->itfcData)) {
        rec->mark = kShellCaseMark;
        const int32_t* m = w->weaponPart->orient;
        for (int i = 0; i < 3; ++i)
            rec->velocity[i] = Saturate((static_cast<int64_t>(m[i]) * side + m[3 + i]) * 20);
        for (int32_t& a : rec->angles) a = Random() >> 14;
        for (int32_t& s : rec->spin) s = Random() >> 18;
    }
}

// Turns the projectile's orientation down by the pitch bias about the weapon part's sideways axis.
void ApplyPitchBias(const PjtThrower* w, construct* p) {
    const FixVec axis{w->weaponPart->orient[0], w->weaponPart->orient[1], w->weaponPart->orient[2]};
    FixMatrix rot;
    MatrixFromDirection2(&rot, &axis, -w->pitchBias);
    for (int r = 0; r < 3; ++r) {
        const FixVec row{p->orient[3 * r], p->orient[3 * r + 1], p->orient[3 * r + 2]};
        FixVec out;
        RotateVec(&out, &rot, &row);
        p->orient[3 * r] = out.x;
        p->orient[3 * r + 1] = out.y;
        p->orient[3 * r + 2] = out.z;
    }
}

}  // namespace

void PjtThrower_init(PjtThrower* w, construct* unit, construct* weaponPart, int index, float scale) {
    const Unit* entry = unit ? unit->unit : nullptr;
    char name[32];
    std::snprintf(name, sizeof name, "PjtThrower_%d", index);
    // 1.
    w->active = 1;
    w->unit = unit;
    w->weaponPart = weaponPart;
    w->lastProjectile = nullptr;
    // 2.
    const Rule* poolRule = NamedUnitRule(entry, "%s_pool", name);
    w->pool = NamedConstructPool(poolRule->info[0] ? poolRule->info[0] : "");
    // 3.
    const Rule* range = NamedUnitRule(entry, "%s_range", name);
    for (int i = 0; i < 3; ++i) w->range[i] = Int(range, i);
    const Rule* noise = FindUnitRule(entry, "%s_NoiseRange", name);
    w->noiseRange = Int(noise ? noise : NamedRule("WeaponNoise_range"), 0);
    w->timeToIgnition = Int(FindUnitRule(entry, "%s_TimeToIgnition", name), 0);
    w->straightRange = Int(FindUnitRule(entry, "%s_StraightRange", name), 0);
    w->speed = Int(NamedUnitRule(entry, "%s_speed", name), 0);
    w->acceleration = Int(FindUnitRule(entry, "%s_acceleration", name), 0);
    w->turnRate = Int(FindUnitRule(entry, "%s_TurnRate", name), 0);
    if (w->turnRate != 0 && unit)
        if (UnitShare* rec = GetUnitShare(unit)) rec->lockCapability[index == 0 ? 0 : 1] = 1;
    // 4.
    w->gravity = Int(FindUnitRule(entry, "%s_gravity", name), 0);
    w->ammoCapacity = w->ammo = Int(NamedUnitRule(entry, "%s_ammo", name), 0);
    w->fireDelay = w->fireDelayCounter = Int(NamedUnitRule(entry, "%s_FireDelay", name), 0);
    LookupRuleSound(entry, &w->fireSound, "%s_FX_fire", name);
    w->impact[0] = ImpactByte(entry, name, "ImpactPhysical");
    w->impact[1] = ImpactByte(entry, name, "ImpactShield");
    w->impact[2] = ImpactByte(entry, name, "ImpactStructure");
    w->muzzleCount = Int(NamedUnitRule(entry, "%s_MuzzleNo", name), 0);
    // 5. A weapon without muzzles keeps no array and is never ready (PjtThrower_ready).
    w->muzzles = nullptr;
    if (w->muzzleCount > 0) {
        const int64_t bytes = static_cast<int64_t>(w->muzzleCount) * static_cast<int64_t>(sizeof(Muzzle));
        if (bytes > INT32_MAX) FatalErrorF("Error: No %lld bytes for '%s'", static_cast<long long>(bytes), "muzzle array");
        w->muzzles = static_cast<Muzzle*>(qzAlloc(static_cast<int>(bytes), "muzzle array"));
    }
    for (int i = 0; i < w->muzzleCount; ++i) {
        Muzzle& m = w->muzzles[i];
        const Rule* r = NamedUnitRule(entry, "%s_muzzle_%d", name, i);
        for (int k = 0; k < 3; ++k) m.offset[k] = TruncateToInt32(static_cast<double>(Int(r, k)) * scale);
        m.patch = -1;
        const Geom* g = weaponPart ? weaponPart->lod[0] : nullptr;
        if (r->count > 3 && g) {
            const int32_t p = Int(r, 3);
            if (p >= 0 && p < g->patchCount) {
                m.patch = p;
                ShowPatch(weaponPart, p, 1);
            }
        }
        m.flashLevel = nullptr;
        if (r->info[0] && weaponPart)
            if (bboard* b = FindBBoard(weaponPart, r->info[0])) m.flashLevel = &b->time;
    }
    // 6.
    w->muzzlesCombined = Int(NamedUnitRule(entry, "%s_MuzzlesCombined", name), 0);
    w->muzzleCursor = 0;
    // 7.
    if (const Rule* eject = FindUnitRule(entry, "%s_ShellCaseEject", name)) {
        for (int k = 0; k < 3; ++k)
            w->shellCaseOffset[k] = TruncateToInt32(static_cast<double>(ModuleRuleValue(eject, k)) * scale);
        w->shellCaseSide = Int(eject, 3);
    } else {
        w->shellCaseOffset[0] = kNoShellCases;
        w->shellCaseOffset[1] = w->shellCaseOffset[2] = 0;
        w->shellCaseSide = 0;
    }
    // 8.
    if (const Rule* shots = FindUnitRule(entry, "%s_SalvoShots", name)) {
        w->salvoShots = w->salvoCounter = Int(shots, 0);
        w->salvoDelay = w->salvoDelayCounter = Int(NamedUnitRule(entry, "%s_SalvoDelay", name), 0);
    } else {
        w->salvoShots = w->salvoCounter = w->salvoDelay = w->salvoDelayCounter = 0;
    }
    // 9.
    const Rule* bias = FindUnitRule(entry, "%s_PitchBias", name);
    w->pitchBias = bias ? TruncateToInt32(static_cast<double>(ModuleRuleValue(bias, 0)) * kDegreesTo1616) : 0;
}

void PjtThrower_free(PjtThrower* w) {
    if (w->active && w->muzzles) {
        qzFree(w->muzzles);
        w->muzzles = nullptr;
    }
    w->active = 0;
}

int PjtThrower_ready(const PjtThrower* w) {
    // A weapon without muzzles has nowhere to throw from: it never fires (the round robin would take
    // its muzzle modulo zero).
    return w->fireDelayCounter <= 0 && w->ammo != 0 && w->salvoCounter != 0 && w->muzzleCount > 0 && w->muzzles;
}

int PjtThrower_fire(PjtThrower* w, construct* lockTarget, const int32_t* velocity) {
    // 1.
    if (!PjtThrower_ready(w)) return 0;
    int32_t firerSpeed = 0;
    if (velocity) {
        const FixVec v{velocity[0], velocity[1], velocity[2]};
        firerSpeed = Length3(&v);
    }
    // 2.
    construct* last = nullptr;
    for (int k = 0; k < w->muzzlesCombined; ++k) {
        construct* p = w->pool ? NextFreeInConstructPool(w->pool) : nullptr;
        last = p;
        if (p) {
            Muzzle& m = w->muzzles[w->muzzleCursor];
            w->muzzleCursor = (w->muzzleCursor + 1) % w->muzzleCount;
            CreateQZEvent(QZEventKind::Buzy0, p);
            ActivateConstruct(p);
            if (w->weaponPart) PlaceRelativeToOwner(w->weaponPart, p, m.offset);
            if (w->pitchBias != 0 && w->weaponPart) ApplyPitchBias(w, p);
            LaunchRecord launch{};
            launch.range = w->range[2];
            launch.straightRange = w->straightRange;
            launch.firerSpeed = firerSpeed;
            launch.speed = w->speed;
            launch.acceleration = w->acceleration;
            launch.turnRate = w->turnRate;
            launch.gravity = w->gravity;
            launch.timeToIgnition = w->timeToIgnition;
            launch.firstOfVolley = k == 0 ? 1 : 0;
            launch.weaponPart = w->weaponPart;
            launch.lockTarget = lockTarget;
            std::memcpy(launch.impact, w->impact, sizeof launch.impact);
            p->owner = w->unit;
            CallItfc(p, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
            if (w->ammo > 0 && --w->ammo == 0 && w->unit && w->unit == PlayerUnit) PlayAmmoDepletedSound();
            if (m.patch >= 0 && w->weaponPart) ShowPatch(w->weaponPart, m.patch, 0);
            if (m.flashLevel) *m.flashLevel = kMuzzleFlashLevel;
            if (w->unit && w->weaponPart) AlertUnitsNearPoint(w->unit, w->weaponPart->pos, kWeaponAlertDistance);
        }
        EjectShellCase(w);
    }
    // 3.
    if (last) {
        w->lastProjectile = last;
        if (PlaySampleFor(&w->fireSound, 1, 0, 0) && w->weaponPart)
            dxgl_SetSoundPosition(&w->fireSound, w->weaponPart->pos, kZero, 0, 0);
    }
    // 4.
    w->fireDelayCounter = w->fireDelay;
    if (w->salvoShots > 0) {
        w->salvoDelayCounter = w->salvoDelay;
        if (++w->salvoCounter > w->salvoShots) w->salvoCounter = 0;
    }
    return 1;
}

void PjtThrower_tick(PjtThrower* w, int ticks) {
    if (!w->active) return;
    // Every call covers at least one tick, so the delays always run out.
    if (ticks < 1) ticks = 1;
    // 1, 2.
    w->fireDelayCounter = w->fireDelayCounter > ticks ? w->fireDelayCounter - ticks : 0;
    w->salvoDelayCounter = w->salvoDelayCounter > ticks ? w->salvoDelayCounter - ticks : 0;
    if (w->salvoDelayCounter == 0) w->salvoCounter = 1;
    // 3. A flash lasts 20 ticks, then rests at a negative level.
    for (int i = 0; i < w->muzzleCount && w->muzzles; ++i)
        if (int32_t* level = w->muzzles[i].flashLevel)
            if (*level >= 0) *level -= 5 * ticks;
    // 4.
    if (w->lastProjectile && !(w->lastProjectile->flags & kConBusy)) w->lastProjectile = nullptr;
}

void PjtThrower_copy(PjtThrower* w, const PjtThrower* src) {
    w->ammo = src->ammo;
    w->ammoCapacity = src->ammoCapacity;
    w->fireDelayCounter = src->fireDelayCounter;
    w->fireDelay = src->fireDelay;
    std::memcpy(w->impact, src->impact, sizeof w->impact);
    std::memcpy(w->range, src->range, sizeof w->range);
    w->speed = src->speed;
    w->acceleration = src->acceleration;
    w->gravity = src->gravity;
    w->straightRange = src->straightRange;
    w->turnRate = src->turnRate;
    w->salvoDelayCounter = src->salvoDelayCounter;
    w->salvoDelay = src->salvoDelay;
    w->salvoCounter = src->salvoCounter;
    w->salvoShots = src->salvoShots;
    w->noiseRange = src->noiseRange;
    w->pitchBias = src->pitchBias;
    w->muzzleCursor = 0;
}

float PjtThrower_volleysPerSecond(const PjtThrower* w) {
    // A delay of 0 fires on every tick: the divisor counts at least one tick, so neither a fire delay of
    // 0 nor delays adding up to 0 or less divide by zero.
    if (w->salvoShots > 0) {
        int64_t ticks = static_cast<int64_t>(w->fireDelay) * w->salvoShots + w->salvoDelay;
        if (ticks < 1) ticks = 1;
        return static_cast<float>(w->salvoShots) * 100.0f / static_cast<float>(ticks);
    }
    return 100.0f / static_cast<float>(w->fireDelay > 0 ? w->fireDelay : 1);
}

void PjtThrower_status(const PjtThrower* w, uint32_t* entry) {
    auto put = [entry](int i, int32_t v) { entry[i] = static_cast<uint32_t>(v); };
    auto putF = [entry](int i, float f) { std::memcpy(&entry[i], &f, sizeof f); };
    const int32_t kind = w->turnRate >= 1 ? 2 : (w->gravity >= 1 ? 1 : 0);
    put(0, kind);
    put(1, w->impact[1]);
    put(2, w->ammoCapacity > 0 ? 1 : 0);
    putF(3, PjtThrower_volleysPerSecond(w));
    switch (kind) {
        case 0:
            put(4, w->range[0]);
            put(5, w->range[1]);
            put(6, w->range[2]);
            put(7, w->speed);
            break;
        case 1:
            put(4, w->speed);
            put(5, w->gravity);
            break;
        default:
            put(4, w->speed);
            put(5, w->range[0]);
            put(6, w->range[1]);
            put(7, w->range[2]);
            break;
    }
    const int32_t* fwd = w->weaponPart ? &w->weaponPart->orient[6] : kZero;
    put(8, fwd[0]);
    put(9, fwd[1]);
    put(10, fwd[2]);
    put(11, w->ammo);
    putF(12, static_cast<float>(w->fireDelayCounter));
}
