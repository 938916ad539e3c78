// The high-velocity cannon (see HVCannon.h).
#include "vehicles/modules/HVCannon.h"

#include <cstdio>
#include <cstring>

#include "ai/Clan.h"
#include "core/Rules.h"
#include "objects/EffectBlocks.h"
#include "objects/Units.h"
#include "objects/WeaponTypes.h"
#include "platform/SoundFx.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"

namespace {

int32_t Int(const Rule* r, int i) { return ModuleRuleInt(r, i); }

int32_t Clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v)); }

uintptr_t LaunchSegment(const HVCannon* w, construct* seg, uint32_t mode) {
    HVSegmentLaunch launch{{w->impact[0], w->impact[1], w->impact[2]}, 0, mode};
    return CallItfc(seg, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
}

// Asks each segment in turn; the chain is cut behind the first that touches something.
void TestChain(HVCannon* w) {
    const int n = w->segmentCount < 0 ? 0 : (w->segmentCount > kHVCannonSegments ? kHVCannonSegments : w->segmentCount);
    bool hit = false;
    for (int i = 0; i < n; ++i) {
        construct* seg = w->segments[i];
        if (!seg) continue;  // a chain restored without its segments
        if (hit) {
            CreateQZEvent(QZEventKind::UnBuzy, seg);
            DeactivateConstruct(seg);
            continue;
        }
        seg->effectPhase = 0;
        seg->owner = w->unit;
        hit = LaunchSegment(w, seg, 1) != 0;
    }
}

void LayChain(HVCannon* w) {
    construct* part = w->weaponPart;
    w->fireTick = FrameCounter;
    WeaponSoundAt(&w->fireSound, part);
    int32_t point[3];
    MuzzleSet_point(part, w->muzzles.firing, point);
    w->segmentCount = 0;
    int64_t distance = 0;
    while (w->segmentCount < kHVCannonSegments) {
        construct* seg = w->pool ? NextFreeInConstructPool(w->pool) : nullptr;
        if (!seg) break;
        CreateQZEvent(QZEventKind::Buzy0, seg);
        ActivateConstruct(seg);
        std::memcpy(seg->pos, point, sizeof seg->pos);
        std::memcpy(seg->orient, part->orient, sizeof seg->orient);
        w->segments[w->segmentCount++] = seg;
        seg->owner = w->unit;
        seg->effectPhase = kHVSegmentLaidPhase;
        LaunchSegment(w, seg, 0);
        for (int c = 0; c < 3; ++c) point[c] = Clamp32(point[c] + ((int64_t(part->orient[6 + c]) * w->pace) >> 15));
        distance += w->pace;
        if (distance > w->range[2]) break;
    }
}

}  // namespace

void HVCannon_init(HVCannon* w, construct* unit, construct* weaponPart, int index, float scale) {
    const Unit* entry = unit ? unit->unit : nullptr;
    char name[32];
    std::snprintf(name, sizeof name, "HVCannon_%d", index);
    w->active = 1;
    w->unit = unit;
    w->weaponPart = weaponPart;
    const Rule* poolRule = NamedUnitRule(entry, "%s_pool", name);
    w->pool = NamedConstructPool(poolRule->info[0] ? poolRule->info[0] : "");
    const Rule* range = NamedUnitRule(entry, "%s_range", name);
    for (int i = 0; i < 3; ++i) w->range[i] = Int(range, i);
    const Rule* noise = FindUnitRule(entry, "%s_NoiseRange", name);
    w->noiseRange = Int(noise ? noise : NamedRule("WeaponNoise_range"), 0);
    w->ammoCapacity = w->ammo = Int(NamedUnitRule(entry, "%s_ammo", name), 0);
    w->fireDelay = w->fireDelayCounter = Int(NamedUnitRule(entry, "%s_FireDelay", name), 0);
    w->pace = Int(NamedUnitRule(entry, "%s_pace", name), 0);
    LookupRuleSound(entry, &w->fireSound, "%s_FX_fire", name);
    w->impact[0] = static_cast<uint8_t>(Int(NamedUnitRule(entry, "%s_ImpactPhysical", name), 0));
    w->impact[1] = static_cast<uint8_t>(Int(NamedUnitRule(entry, "%s_ImpactShield", name), 0));
    w->impact[2] = static_cast<uint8_t>(Int(NamedUnitRule(entry, "%s_ImpactStructure", name), 0));
    MuzzleSet_read(&w->muzzles, entry, name, weaponPart, scale);
    if (const Rule* shots = FindUnitRule(entry, "%s_SalvoShots", name)) {
        w->salvoShots = w->salvoCounter = Int(shots, 0);
        w->salvoDelay = w->salvoDelayCounter = Int(NamedUnitRule(entry, "%s_SalvoDelay", name), 0);
    } else {
        w->salvoShots = w->salvoCounter = w->salvoDelay = w->salvoDelayCounter = 0;
    }
    w->segmentCount = 0;
    std::memset(w->segments, 0, sizeof w->segments);
    w->beamState = kHVReady;
    w->fireTick = 0;
}

void HVCannon_free(HVCannon* w) {
    MuzzleSet_free(&w->muzzles);
    w->active = 0;
}

int HVCannon_fire(HVCannon* w) {
    // A weapon without muzzles has nowhere to fire from.
    if (w->fireDelayCounter >= 1 || w->ammo == 0 || w->beamState != kHVReady || !w->muzzles.muzzles) return 0;
    w->muzzles.firing = MuzzleSet_next(&w->muzzles);
    if (w->ammo > 0 && --w->ammo == 0 && w->unit && w->unit == PlayerUnit) PlayAmmoDepletedSound();
    MuzzleSet_flash(w->muzzles.firing, kMuzzleFlashLevel);
    w->fireDelayCounter = w->fireDelay;
    w->beamState = kHVFired;
    if (w->unit && w->weaponPart) AlertUnitsNearPoint(w->unit, w->weaponPart->pos, kWeaponAlertDistance);
    return 1;
}

void HVCannon_update(HVCannon* w, int ticks) {
    if (!w->active) return;
    if (ticks < 1) ticks = 1;
    // 1.
    w->fireDelayCounter = w->fireDelayCounter > ticks ? w->fireDelayCounter - ticks : 0;
    MuzzleSet_fade(&w->muzzles, ticks);
    // 2. The chain laid in an earlier tick is tested.
    if (w->beamState == kHVLaid && FrameCounter - w->fireTick > 1) {
        TestChain(w);
        w->beamState = kHVReady;
    }
    // 3. A fired shot lays its chain.
    if (w->beamState == kHVFired && w->weaponPart) {
        LayChain(w);
        w->beamState = kHVLaid;
    }
}

void HVCannon_copy(HVCannon* w, const HVCannon* src) {
    w->ammo = src->ammo;
    w->ammoCapacity = src->ammoCapacity;
    w->fireDelayCounter = src->fireDelayCounter;
    w->fireDelay = src->fireDelay;
    std::memcpy(w->impact, src->impact, sizeof w->impact);
    w->muzzles.cursor = src->muzzles.cursor;
    w->salvoShots = src->salvoShots;
    w->salvoCounter = src->salvoCounter;
    w->salvoDelay = src->salvoDelay;
    w->salvoDelayCounter = src->salvoDelayCounter;
    w->segmentCount = src->segmentCount;
    w->beamState = src->beamState;
    w->fireTick = src->fireTick;
    w->pace = src->pace;
    w->noiseRange = src->noiseRange;
}

void HVCannon_status(const HVCannon* w, uint32_t* entry) {
    auto put = [entry](int i, int32_t v) { entry[i] = static_cast<uint32_t>(v); };
    auto putF = [entry](int i, float f) { std::memcpy(&entry[i], &f, sizeof f); };
    put(0, 0);
    put(1, w->impact[1]);
    put(2, w->ammoCapacity > 0 ? 1 : 0);
    putF(3, WeaponVolleysPerSecond(w->fireDelay, w->salvoShots, w->salvoDelay));
    put(4, w->range[0]);
    put(5, w->range[1]);
    put(6, w->range[2]);
    put(7, 0x7fffffff);  // no finite speed
    static const int32_t kZero[3] = {0, 0, 0};
    const int32_t* fwd = w->weaponPart ? &w->weaponPart->orient[6] : kZero;
    put(8, fwd[0]);
    put(9, fwd[1]);
    put(10, fwd[2]);
    put(11, w->ammo);
    putF(12, static_cast<float>(w->fireDelayCounter));
}
