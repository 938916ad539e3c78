// The beam cannon (see BeamCannon.h).
#include "vehicles/modules/BeamCannon.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/Clan.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "objects/EffectBlocks.h"
#include "objects/Units.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/QZEvent.h"
#include "world/TickCounter.h"

namespace {

constexpr int32_t kBeamFlash = 255;
constexpr int32_t kSegmentCountdown = 16;
constexpr int32_t kLayMargin = 4000;  // the chain stops short of the target by about this much

int32_t Int(const Rule* r, int i) { return ModuleRuleInt(r, i); }
int32_t Clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v)); }

ConstructPool* Pool(const Rule* r, int i) {
    const char* name = r->info[i];
    return NamedConstructPool(name ? name : "");
}

// Lays the segments of one pool from the point along d while more than their pace is left; the point and
// the distance left move on by the pace whether or not a segment was free.
void LayFrom(BeamCannon* w, ConstructPool* pool, int32_t pace, int64_t* left, int32_t point[3], const FixVec& d) {
    // A pace that never advances would walk without end: nothing is laid with it.
    if (pace <= 0) return;
    const int32_t step[3] = {static_cast<int32_t>((int64_t(d.x) * pace) >> 15),
                             static_cast<int32_t>((int64_t(d.y) * pace) >> 15),
                             static_cast<int32_t>((int64_t(d.z) * pace) >> 15)};
    while (*left - kLayMargin > pace) {
        construct* seg = pool ? NextFreeInConstructPool(pool) : nullptr;
        int64_t steps = 1;
        if (seg) {
            if (w->segmentCount >= kBeamSegments) return;
            w->segments[w->segmentCount++] = seg;
            seg->effectPhase = 255;
            auto* b = static_cast<BeamSegBlock*>(seg->itfcData);
            b->countdown = kSegmentCountdown;
            b->pace = pace;
            CreateQZEvent(QZEventKind::Buzy2, seg);
            ActivateConstruct(seg);
        } else {
            // None free now is none free for the rest of this walk: its remaining steps are taken at once.
            steps = (*left - kLayMargin - pace + pace - 1) / pace;
        }
        for (int c = 0; c < 3; ++c) point[c] = Clamp32(point[c] + steps * step[c]);
        *left -= steps * pace;
    }
}

// The unit deals its own damage again and names nobody as its owner.
void StopFiring(BeamCannon* w) {
    w->pauseCounter = w->pauseDelay;
    w->beamState = kBeamPausing;
    if (w->unitDamage) *w->unitDamage = w->savedDamage;
    if (w->unit) w->unit->owner = nullptr;
}

void Start(BeamCannon* w, construct* target, const int32_t point[3], const FixVec& d, int64_t distance) {
    WeaponSoundAt(&w->fireSound, w->weaponPart);
    WeaponSoundAt(&w->impactSound, target);
    w->segmentCount = 0;
    int32_t at[3] = {point[0], point[1], point[2]};
    int64_t left = distance;
    LayFrom(w, w->nearPool, w->nearPace, &left, at, d);
    LayFrom(w, w->farPool, w->farPace, &left, at, d);
    w->firingCounter = w->firingTime;
    w->beamState = kBeamFiring;
    // The unit's blows are the beam's while it fires.
    if (w->unitDamage) *w->unitDamage = w->beamImpact;
    if (w->unit) w->unit->owner = w->unit;
}

// Every segment along d from the point, each its own pace further.
void Relay(BeamCannon* w, const int32_t point[3], const FixVec& d) {
    FixVec side{-d.y, d.x, 0};
    if (side.x == 0 && side.y == 0) side.x = 32768;
    Normalise(&side, &side);
    const FixVec up{static_cast<int32_t>((int64_t(side.y) * d.z - int64_t(side.z) * d.y) >> 15),
                    static_cast<int32_t>((int64_t(side.z) * d.x - int64_t(side.x) * d.z) >> 15),
                    static_cast<int32_t>((int64_t(side.x) * d.y - int64_t(side.y) * d.x) >> 15)};
    const int32_t rows[9] = {side.x, side.y, side.z, up.x, up.y, up.z, d.x, d.y, d.z};
    int32_t at[3] = {point[0], point[1], point[2]};
    const int n = w->segmentCount < 0 ? 0 : (w->segmentCount > kBeamSegments ? kBeamSegments : w->segmentCount);
    for (int i = 0; i < n; ++i) {
        construct* seg = w->segments[i];
        if (!seg) continue;
        const int32_t pace = static_cast<BeamSegBlock*>(seg->itfcData)->pace;
        // A segment that has run out went back to its pool and may serve another beam now.
        if (seg->flags & kConActive) {
            std::memcpy(seg->pos, at, sizeof seg->pos);
            std::memcpy(seg->orient, rows, sizeof seg->orient);
        }
        const int32_t step[3] = {d.x, d.y, d.z};
        for (int c = 0; c < 3; ++c) at[c] = Clamp32(at[c] + ((int64_t(step[c]) * pace) >> 15));
    }
}

// The firing unit enters one of the target's hit slots, at the near side of the target's sphere.
void Strike(BeamCannon* w, construct* target, const FixVec& d) {
    SphereRecord& s = target->sphere;
    FixMatrix o;
    std::memcpy(o.m, target->orient, sizeof o.m);
    const FixVec local{s.centre[0], s.centre[1], s.centre[2]};
    FixVec c;
    RotateVecT13(&c, &o, &local);
    s.world[0] = Clamp32(int64_t(c.x) + target->pos[0]);
    s.world[1] = Clamp32(int64_t(c.y) + target->pos[1]);
    s.world[2] = Clamp32(int64_t(c.z) + target->pos[2]);
    s.stamp = static_cast<int32_t>(FrameCounter);
    int slot = 3;
    for (int i = 0; i < 3; ++i)
        if (!target->hits[i]) {
            slot = i;
            break;
        }
    target->hits[slot] = w->unit;
    const int32_t dir[3] = {d.x, d.y, d.z};
    for (int k = 0; k < 3; ++k) target->hitPoints[slot][k] = Clamp32(s.world[k] - ((int64_t(s.radius) * dir[k]) >> 15));
}

}  // namespace

void BeamCannon_init(BeamCannon* w, construct* unit, construct* weaponPart, int index, float scale) {
    const Unit* entry = unit ? unit->unit : nullptr;
    char name[32];
    std::snprintf(name, sizeof name, "BeamCannon_%d", index);
    w->active = 1;
    w->unit = unit;
    w->weaponPart = weaponPart;
    const Rule* pools = NamedUnitRule(entry, "%s_pool", name);
    w->nearPool = Pool(pools, 0);
    w->farPool = Pool(pools, 1);
    const Rule* range = NamedUnitRule(entry, "%s_range", name);
    for (int i = 0; i < 3; ++i) w->range[i] = Int(range, i);
    const Rule* noise = FindUnitRule(entry, "%s_NoiseRange", name);
    w->noiseRange = Int(noise ? noise : NamedRule("WeaponNoise_range"), 0);
    w->ammoCapacity = w->ammo = Int(NamedUnitRule(entry, "%s_ammo", name), 0);
    const double degrees = ModuleRuleValue(NamedUnitRule(entry, "%s_aperture", name), 0);
    w->aperture = TruncateToInt32(degrees * 65536.0 * 0.0174532925);
    w->apertureCosine = TruncateToInt32((1.0 - std::cos(double(w->aperture) / 65536.0)) * 32768.0);
    w->warmUpDelay = w->warmUpCounter = Int(NamedUnitRule(entry, "%s_WarmUpDelay", name), 0);
    w->firingTime = w->firingCounter = Int(NamedUnitRule(entry, "%s_FiringTime", name), 0);
    w->pauseDelay = w->pauseCounter = Int(NamedUnitRule(entry, "%s_PauseDelay", name), 0);
    const Rule* pace = NamedUnitRule(entry, "%s_pace", name);
    w->nearPace = Int(pace, 0);
    w->farPace = Int(pace, 1);
    LookupRuleSound(entry, &w->fireSound, "%s_FX_fire", name);
    LookupRuleSound(entry, &w->warmUpSound, "%s_FX_warmup", name);
    LookupRuleSound(entry, &w->impactSound, "%s_FX_impact", name);
    w->beamImpact.physical = static_cast<uint8_t>(Int(NamedUnitRule(entry, "%s_ImpactPhysical", name), 0));
    w->beamImpact.shield = static_cast<uint8_t>(Int(NamedUnitRule(entry, "%s_ImpactShield", name), 0));
    w->beamImpact.structure = static_cast<uint8_t>(Int(NamedUnitRule(entry, "%s_ImpactStructure", name), 0));
    MuzzleSet_read(&w->muzzles, entry, name, weaponPart, scale);
    w->unitDamage = unit ? reinterpret_cast<DamageRecord*>(CallItfc(unit, ItfcMethod::GETDAMAGE)) : nullptr;
    w->savedDamage = w->unitDamage ? *w->unitDamage : DamageRecord{};
    w->inAperture = 0;
    w->beamState = kBeamIdle;
    w->segmentCount = 0;
    std::memset(w->segments, 0, sizeof w->segments);
}

void BeamCannon_free(BeamCannon* w) {
    if (w->beamState == kBeamFiring) StopFiring(w);
    MuzzleSet_free(&w->muzzles);
    w->active = 0;
}

int BeamCannon_fire(BeamCannon* w, construct* target, int suppress) {
    if (w->beamState == kBeamIdle) {
        // A weapon without muzzles has nowhere to fire from.
        if (!w->muzzles.muzzles) return 0;
        w->warmUpCounter = w->warmUpDelay;
        w->beamState = kBeamWarming;
        w->muzzles.firing = MuzzleSet_next(&w->muzzles);
        if (w->unit && w->weaponPart) AlertUnitsNearPoint(w->unit, w->weaponPart->pos, kBeamAlertDistance);
        return 1;
    }
    if (w->beamState == kBeamArmed && (!target || suppress)) {
        w->beamState = kBeamWarming;
        w->warmUpCounter = 1;
    }
    return 0;
}

void BeamCannon_update(BeamCannon* w, construct* target, int suppress, int ticks) {
    if (!w->active || !w->weaponPart) return;
    if (ticks < 1) ticks = 1;
    Muzzle* muzzle = w->muzzles.firing;
    // 1.
    MuzzleSet_flash(muzzle, 0);
    // 2. Aim.
    int32_t point[3];
    MuzzleSet_point(w->weaponPart, muzzle, point);
    FixVec d{w->weaponPart->orient[6], w->weaponPart->orient[7], w->weaponPart->orient[8]};
    int64_t distance = 0;
    w->inAperture = 0;
    const bool aiming = w->beamState == kBeamArmed || w->beamState == kBeamWarming || w->beamState == kBeamFiring;
    if (target && aiming) {
        const FixVec to{Clamp32(int64_t(target->pos[0]) - point[0]), Clamp32(int64_t(target->pos[1]) - point[1]),
                        Clamp32(int64_t(target->pos[2]) - point[2])};
        distance = NormaliseF(&d, &to);
        const FixVec fwd{w->weaponPart->orient[6], w->weaponPart->orient[7], w->weaponPart->orient[8]};
        const int64_t dot = (int64_t(fwd.x) * d.x + int64_t(fwd.y) * d.y + int64_t(fwd.z) * d.z) >> 15;
        w->inAperture = dot >= int64_t(32768) - w->apertureCosine ? 1 : 0;
    }
    // 3.
    switch (w->beamState) {
        case kBeamWarming:
            MuzzleSet_flash(muzzle, kBeamFlash);
            if (w->warmUpCounter == w->warmUpDelay) WeaponSoundAt(&w->warmUpSound, w->weaponPart);
            w->warmUpCounter -= ticks;
            if (w->warmUpCounter < 0) w->beamState = kBeamArmed;
            break;
        case kBeamArmed:
            if (!target || distance > w->range[2] || !w->inAperture || suppress) {
                w->beamState = kBeamIdle;
                break;
            }
            Start(w, target, point, d, distance);
            [[fallthrough]];
        case kBeamFiring:
            w->firingCounter -= ticks;
            if (!target || !w->inAperture || w->firingCounter < 1) {
                StopFiring(w);
                break;
            }
            MuzzleSet_flash(muzzle, kBeamFlash);
            Relay(w, point, d);
            if (FrameCounter % kBeamHitEvery == 0 && w->unit) Strike(w, target, d);
            break;
        case kBeamPausing:
            MuzzleSet_flash(muzzle, 0);
            w->pauseCounter -= ticks;
            if (w->pauseCounter <= 0) w->beamState = kBeamIdle;
            break;
        default:
            break;
    }
}

void BeamCannon_copy(BeamCannon* w, const BeamCannon* src) {
    w->apertureCosine = src->apertureCosine;
    w->aperture = src->aperture;
    w->firingCounter = src->firingCounter;
    w->firingTime = src->firingTime;
    w->inAperture = src->inAperture;
    w->beamImpact = src->beamImpact;
    std::memcpy(w->range, src->range, sizeof w->range);
    w->active = src->active;
    w->nearPace = src->nearPace;
    w->farPace = src->farPace;
    w->pauseCounter = src->pauseCounter;
    w->pauseDelay = src->pauseDelay;
    w->warmUpCounter = src->warmUpCounter;
    w->warmUpDelay = src->warmUpDelay;
    w->savedDamage = src->savedDamage;
    w->beamState = src->beamState;
    w->muzzles.cursor = src->muzzles.cursor;
    w->ammo = src->ammo;
    w->ammoCapacity = src->ammoCapacity;
    w->noiseRange = src->noiseRange;
}

void BeamCannon_status(const BeamCannon* w, uint32_t* entry) {
    auto put = [entry](int i, int32_t v) { entry[i] = static_cast<uint32_t>(v); };
    auto putF = [entry](int i, float f) { std::memcpy(&entry[i], &f, sizeof f); };
    put(0, 3);
    put(1, w->beamImpact.shield);
    put(2, 0);
    // A beam whose pause, firing time and warm-up add up to nothing counts one tick per beam.
    int64_t cycle = int64_t(w->pauseDelay) + w->firingTime + w->warmUpDelay;
    if (cycle < 1) cycle = 1;
    putF(3, 100.0f / float(cycle));
    put(4, w->range[0]);
    put(5, w->range[1]);
    put(6, w->range[2]);
    put(7, w->aperture);
    static const int32_t kZero[3] = {0, 0, 0};
    const int32_t* fwd = w->weaponPart ? &w->weaponPart->orient[6] : kZero;
    put(8, fwd[0]);
    put(9, fwd[1]);
    put(10, fwd[2]);
    put(11, w->ammo);
    float wait = 0.0f;
    switch (w->beamState) {
        case kBeamWarming: wait = float(w->warmUpCounter); break;
        case kBeamFiring: wait = float(int64_t(w->pauseDelay) + w->firingCounter + w->warmUpDelay); break;
        case kBeamPausing: wait = float(int64_t(w->pauseCounter) + w->warmUpDelay); break;
        default: break;
    }
    putF(12, wait);
}
