// The muzzle set of the cannons and the rate of fire of the weapon status (see WeaponCommon.h).
#include "vehicles/modules/WeaponCommon.h"

#include <cstring>

#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/Geom.h"

void MuzzleSet_read(MuzzleSet* m, const Unit* entry, const char* weapon, construct* weaponPart, float scale) {
    m->count = ModuleRuleInt(NamedUnitRule(entry, "%s_MuzzleNo", weapon), 0);
    m->muzzles = nullptr;
    m->cursor = 0;
    m->firing = nullptr;
    if (m->count > 0) {
        const int64_t bytes = int64_t(m->count) * int64_t(sizeof(Muzzle));
        if (bytes > INT32_MAX) FatalErrorF("Error: No %lld bytes for '%s'", static_cast<long long>(bytes), "muzzle array");
        m->muzzles = static_cast<Muzzle*>(qzAlloc(static_cast<int>(bytes), "muzzle array"));
    }
    for (int i = 0; i < m->count; ++i) {
        Muzzle& mz = m->muzzles[i];
        const Rule* r = NamedUnitRule(entry, "%s_muzzle_%d", weapon, i);
        for (int k = 0; k < 3; ++k) mz.offset[k] = TruncateToInt32(double(ModuleRuleInt(r, k)) * scale);
        mz.patch = -1;
        mz.flashLevel = nullptr;
        if (r->info[0] && weaponPart)
            if (bboard* b = FindBBoard(weaponPart, r->info[0])) mz.flashLevel = &b->time;
    }
    m->combined = ModuleRuleInt(NamedUnitRule(entry, "%s_MuzzlesCombined", weapon), 0);
}

void MuzzleSet_free(MuzzleSet* m) {
    qzFree(m->muzzles);
    m->muzzles = nullptr;
    m->firing = nullptr;
}

Muzzle* MuzzleSet_next(MuzzleSet* m) {
    if (!m->muzzles || m->count < 1) return nullptr;
    if (m->cursor < 0 || m->cursor >= m->count) m->cursor = 0;
    Muzzle* muzzle = &m->muzzles[m->cursor];
    m->cursor = (m->cursor + 1) % m->count;
    return muzzle;
}

void MuzzleSet_flash(Muzzle* muzzle, int32_t level) {
    if (muzzle && muzzle->flashLevel) *muzzle->flashLevel = level;
}

void MuzzleSet_fade(MuzzleSet* m, int ticks) {
    for (int i = 0; m->muzzles && i < m->count; ++i)
        if (int32_t* level = m->muzzles[i].flashLevel)
            if (*level >= 0) *level -= 5 * ticks;
}

void MuzzleSet_point(const construct* weaponPart, const Muzzle* muzzle, int32_t out[3]) {
    std::memcpy(out, weaponPart->pos, 3 * sizeof(int32_t));
    if (!muzzle) return;
    const FixVec local{muzzle->offset[0], muzzle->offset[1], muzzle->offset[2]};
    FixVec world;
    RotateVecTSafe(&world, reinterpret_cast<const FixMatrix*>(weaponPart->orient), &local);
    out[0] += world.x;
    out[1] += world.y;
    out[2] += world.z;
}

float WeaponVolleysPerSecond(int32_t fireDelay, int32_t salvoShots, int32_t salvoDelay) {
    if (salvoShots > 0) {
        int64_t ticks = int64_t(fireDelay) * salvoShots + salvoDelay;
        if (ticks < 1) ticks = 1;
        return float(salvoShots) * 100.0f / float(ticks);
    }
    return 100.0f / float(fireDelay > 0 ? fireDelay : 1);
}

void WeaponSoundAt(SoundDesc* sound, const construct* at) {
    static const int32_t kZero[3] = {0, 0, 0};
    if (PlaySampleFor(sound, 1, 0, 0) && at) dxgl_SetSoundPosition(sound, at->pos, kZero, 0, 0);
}
