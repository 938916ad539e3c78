// The saved forms of the vehicle modules (see ModuleSaved.h).
#include "vehicles/modules/ModuleSaved.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/FixMath.h"
#include "core/Memory.h"
#include "objects/UnitSaved.h"
#include "objects/UnitServices.h"

namespace {

// Four bytes as one word of the form; a null field is written as 0 and not read.
void Bytes(SavedWords& w, uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d) {
    uint8_t zero = 0;
    for (uint8_t* v : {a, b, c, d}) {
        uint8_t scratch = v ? *v : zero;
        w.U8(&scratch);
        if (v) *v = scratch;
    }
}

// One walk over the fields for both directions; the order is the form's layout.
void WalkLighting(SavedWords& w, UnitLighting* l) {
    w.I32s(l->offset, 3);
    w.I32s(l->dir, 3);
    Bytes(w, &l->on, nullptr, nullptr, nullptr);
    w.I32(&l->ramp);
    w.I32(&l->step);
    w.I32(&l->forced);
    w.I32(&l->restore);
    w.I32s(l->colour, 3);
    w.I32s(l->boardIntensity, kUnitLightBoards);
}

void WalkTurret(SavedWords& w, WeaponTurret* t) {
    w.I32(&t->yaw);
    w.I32(&t->pitch);
    Bytes(w, &t->recenterYaw, &t->recenterPitch, &t->onTarget, &t->soundWanted);
    w.I32s(t->turnRate, 2);
    w.I32s(t->recenterRate, 2);
    w.I32(&t->report[static_cast<int>(TurretLimit::PitchLow)].flag);
    w.I32(&t->report[static_cast<int>(TurretLimit::PitchHigh)].flag);
    w.I32s(t->yawLimits, 2);
    w.I32s(t->pitchLimits, 2);
    w.I32s(t->yawLimitsCockpit, 2);
    w.I32s(t->pitchLimitsCockpit, 2);
    w.I32(&t->soundTimer);
    w.I32(&t->spare);
}

// The ground-drive block's part (56 bytes): the sound-on flag is carried for the copy's reconciling.
void WalkGround(SavedWords& w, GroundDriveBlock* g) {
    w.I32(&g->classWord);
    w.I32(&g->jolt);
    w.I32(&g->rest);
    w.I32(&g->modeFlag);
    w.I32(&g->engineOff);
    w.I32s(g->speedConstraint, 2);
    w.F32(&g->enginePower);
    w.F32(&g->modeFactor);
    w.I32s(g->ones, 4);
    Bytes(w, &g->engine.soundOn, nullptr, nullptr, nullptr);
}

void WalkWheelDrive(SavedWords& w, WheelDrive* d) {
    WalkGround(w, &d->g);
    w.I32s(d->acceleration, 2);
    w.I32(&d->verticalVelocity);
    w.I32(&d->contacts);
    w.I32(&d->accessType);
    w.I32(&d->maxWheelLock);
    w.I32(&d->speed);
    w.I32(&d->turnRate);
    w.I32(&d->wheelLock);
    w.I32(&d->wheelAngle);
    w.I32(&d->wheelRecenterRate);
    w.I32(&d->aiSpeed);
    w.I32(&d->aiLock);
    w.I32(&d->aiReverseTimer);
}

void WalkChainDrive(SavedWords& w, ChainDrive* d) {
    WalkGround(w, &d->g);
    w.I32(&d->speed);
    w.I32(&d->verticalVelocity);
    w.F32(&d->throttle);
    w.F32(&d->throttleInc[0]);
    w.F32(&d->throttleInc[1]);
    w.F32(&d->differential);
    w.F32(&d->lockRecenterRate);
    w.I32(&d->turnRate);
    w.I32(&d->contacts);
    w.I32(&d->accessType);
    w.F32(&d->chainAnimScale);
    w.F32(&d->wantedThrottle);
    w.F32(&d->wantedDifferential);
    w.I32s(d->lastMarked[0], 3);
    w.I32s(d->lastMarked[1], 3);
}

void WalkPjtThrower(SavedWords& w, PjtThrower* p) {
    w.I32(&p->ammo);
    w.I32(&p->ammoCapacity);
    w.I32(&p->fireDelayCounter);
    w.I32(&p->fireDelay);
    Bytes(w, &p->impact[0], &p->impact[1], &p->impact[2], nullptr);
    w.I32s(p->range, 3);
    w.I32(&p->speed);
    w.I32(&p->acceleration);
    w.I32(&p->gravity);
    w.I32(&p->straightRange);
    w.I32(&p->turnRate);
    w.I32(&p->salvoDelayCounter);
    w.I32(&p->salvoDelay);
    w.I32(&p->salvoCounter);
    w.I32(&p->salvoShots);
    w.I32(&p->noiseRange);
    w.I32(&p->pitchBias);
}

void WalkHVCannon(SavedWords& w, HVCannon* c) {
    w.I32(&c->ammo);
    w.I32(&c->ammoCapacity);
    w.I32(&c->fireDelayCounter);
    w.I32(&c->fireDelay);
    Bytes(w, &c->impact[0], &c->impact[1], &c->impact[2], nullptr);
    w.I32(&c->muzzles.cursor);
    w.I32(&c->salvoShots);
    w.I32(&c->salvoCounter);
    w.I32(&c->salvoDelay);
    w.I32(&c->salvoDelayCounter);
    w.I32(&c->segmentCount);
    w.I32(&c->beamState);
    w.U32(&c->fireTick);
    w.I32(&c->pace);
    w.I32(&c->noiseRange);
}

void WalkBeamCannon(SavedWords& w, BeamCannon* c) {
    w.I32(&c->apertureCosine);
    w.I32(&c->aperture);
    w.I32(&c->firingCounter);
    w.I32(&c->firingTime);
    w.I32(&c->inAperture);
    Bytes(w, &c->beamImpact.physical, &c->beamImpact.shield, &c->beamImpact.structure, nullptr);
    w.I32s(c->range, 3);
    Bytes(w, &c->active, nullptr, nullptr, nullptr);
    w.I32(&c->nearPace);
    w.I32(&c->farPace);
    w.I32(&c->pauseCounter);
    w.I32(&c->pauseDelay);
    w.I32(&c->warmUpCounter);
    w.I32(&c->warmUpDelay);
    Bytes(w, &c->savedDamage.physical, &c->savedDamage.shield, &c->savedDamage.structure, nullptr);
    w.I32(&c->beamState);
    w.I32(&c->muzzles.cursor);
    w.I32(&c->ammo);
    w.I32(&c->ammoCapacity);
    w.I32(&c->noiseRange);
}

template <typename Rec, void (*Walk)(SavedWords&, Rec*)>
void Put(const Rec* rec, uint8_t* out, size_t size, const char* who) {
    std::memset(out, 0, size);
    Rec copy = *rec;  // the walk reads through a mutable record
    SavedWords w{out, nullptr, 0, size};
    Walk(w, &copy);
    if (w.pos != size) FatalErrorF("Error(%s): the saved form's size is not %zu", who, size);
}

template <typename Rec, void (*Walk)(SavedWords&, Rec*)>
void Get(Rec* src, const uint8_t* in, size_t size) {
    SavedWords w{nullptr, in, 0, size};
    Walk(w, src);
}

template <typename Rec, void (*Walk)(SavedWords&, Rec*)>
Rec Scratch(const uint8_t* in, size_t size) {
    Rec rec{};
    Get<Rec, Walk>(&rec, in, size);
    return rec;
}

bool Flag(int32_t v) { return v == 0 || v == 1; }
bool Within(int64_t v, int64_t low, int64_t high) { return v >= low && v <= high; }
bool KnownAccessType(int32_t v) {
    return Within(v, static_cast<int32_t>(AccessType::Land0), static_cast<int32_t>(AccessType::Air));
}
// The most corners a hull counts as touching (its probe points), and the count it starts with.
constexpr int32_t kMostContacts = 10;
// A drive moves its unit by its speed along the hull every tick: a tile a tick is far past any drive's
// limits, and it keeps a stored position (within 16384 tiles of the origin) from overflowing when it moves.
constexpr int32_t kMostDriveSpeed = 65536;
// A fall gains at most 700 a tick against a drag of 4 in 1024: a free fall never comes near this.
constexpr int32_t kMostVerticalVelocity = 1 << 24;

bool DriveSpeed(int32_t v) { return Within(v, -kMostDriveSpeed, kMostDriveSpeed); }

const char* CheckGround(const GroundDriveBlock& g) {
    if (!Flag(g.jolt) || !Flag(g.rest) || !Flag(g.modeFlag) || !Flag(g.engineOff) || !Flag(g.engine.soundOn))
        return "a drive flag is neither 0 nor 1";
    for (int32_t v : g.ones)
        if (!Flag(v)) return "a drive's water flag is neither 0 nor 1";
    if (!std::isfinite(g.enginePower) || g.enginePower < 0.0f || g.enginePower > kEnginePowerFull)
        return "the engine power is outside 0..100";
    if (!std::isfinite(g.modeFactor) || std::fabs(g.modeFactor) > kEngineModeFactor)
        return "the engine's power change is out of range";
    if (!DriveSpeed(g.speedConstraint[0]) || !DriveSpeed(g.speedConstraint[1]))
        return "a drive's speed limit is out of range";
    return nullptr;
}

}  // namespace

void UnitLighting_putSaved(const UnitLighting* l, uint8_t* out) {
    Put<UnitLighting, WalkLighting>(l, out, kLightingSavedSize, "UnitLighting_putSaved");
}
void Turret_putSaved(const WeaponTurret* t, uint8_t* out) {
    Put<WeaponTurret, WalkTurret>(t, out, kTurretSavedSize, "Turret_putSaved");
}
void WheelDrive_putSaved(const WheelDrive* d, uint8_t* out) {
    Put<WheelDrive, WalkWheelDrive>(d, out, kWheelDriveSavedSize, "WheelDrive_putSaved");
}
void ChainDrive_putSaved(const ChainDrive* d, uint8_t* out) {
    Put<ChainDrive, WalkChainDrive>(d, out, kChainDriveSavedSize, "ChainDrive_putSaved");
}
void PjtThrower_putSaved(const PjtThrower* w, uint8_t* out) {
    Put<PjtThrower, WalkPjtThrower>(w, out, kPjtThrowerSavedSize, "PjtThrower_putSaved");
}
void HVCannon_putSaved(const HVCannon* w, uint8_t* out) {
    Put<HVCannon, WalkHVCannon>(w, out, kHVCannonSavedSize, "HVCannon_putSaved");
}
void BeamCannon_putSaved(const BeamCannon* w, uint8_t* out) {
    Put<BeamCannon, WalkBeamCannon>(w, out, kBeamCannonSavedSize, "BeamCannon_putSaved");
}

void UnitLighting_getSaved(UnitLighting* src, const uint8_t* in) {
    Get<UnitLighting, WalkLighting>(src, in, kLightingSavedSize);
}
void Turret_getSaved(WeaponTurret* src, const uint8_t* in) { Get<WeaponTurret, WalkTurret>(src, in, kTurretSavedSize); }
void WheelDrive_getSaved(WheelDrive* src, const uint8_t* in) {
    Get<WheelDrive, WalkWheelDrive>(src, in, kWheelDriveSavedSize);
    src->blockedMask = GetBlockedMask(src->accessType);
}
void ChainDrive_getSaved(ChainDrive* src, const uint8_t* in) {
    Get<ChainDrive, WalkChainDrive>(src, in, kChainDriveSavedSize);
    src->blockedMask = GetBlockedMask(src->accessType);
}
void PjtThrower_getSaved(PjtThrower* src, const uint8_t* in) {
    Get<PjtThrower, WalkPjtThrower>(src, in, kPjtThrowerSavedSize);
}
void HVCannon_getSaved(HVCannon* src, const uint8_t* in) { Get<HVCannon, WalkHVCannon>(src, in, kHVCannonSavedSize); }
void BeamCannon_getSaved(BeamCannon* src, const uint8_t* in) {
    Get<BeamCannon, WalkBeamCannon>(src, in, kBeamCannonSavedSize);
}

const char* UnitLighting_checkSaved(const uint8_t* in) {
    const UnitLighting l = Scratch<UnitLighting, WalkLighting>(in, kLightingSavedSize);
    if (!Flag(l.on) || !Flag(l.forced) || !Flag(l.restore)) return "a light flag is neither 0 nor 1";
    if (!Within(l.ramp, 0, kLightRampFull)) return "the light ramp is outside 0..255";
    if (l.step != 0 && l.step != kLightRampStep && l.step != -kLightRampStep) return "the light ramp's step is not -8, 0 or 8";
    for (int32_t v : l.boardIntensity)
        if (!Within(v, 0, kLightRampFull)) return "a light board's intensity is outside 0..255";
    return nullptr;
}

const char* Turret_checkSaved(const uint8_t* in) {
    const WeaponTurret t = Scratch<WeaponTurret, WalkTurret>(in, kTurretSavedSize);
    if (!Within(t.yaw, kTurretYawInit, kTurretYawTop)) return "the turret's yaw is out of range";
    if (!Within(t.pitch, -kFixFullTurn, kFixFullTurn)) return "the turret's pitch is out of range";
    if (!Flag(t.recenterYaw) || !Flag(t.recenterPitch) || !Flag(t.onTarget) || !Flag(t.soundWanted) ||
        !Flag(t.report[static_cast<int>(TurretLimit::PitchLow)].flag) ||
        !Flag(t.report[static_cast<int>(TurretLimit::PitchHigh)].flag))
        return "a turret flag is neither 0 nor 1";
    if (!Within(t.soundTimer, 0, kTurretSoundTicks)) return "the turret's sound time is out of range";
    // Limits and rates are angles: past a turn they push the look by billions and overflow it.
    for (const int32_t* pair : {t.turnRate, t.recenterRate, t.yawLimits, t.pitchLimits, t.yawLimitsCockpit,
                                t.pitchLimitsCockpit})
        if (!Within(pair[0], -kFixFullTurn, kFixFullTurn) || !Within(pair[1], -kFixFullTurn, kFixFullTurn))
            return "a turret limit or rate is past a turn";
    return nullptr;
}

const char* WheelDrive_checkSaved(const uint8_t* in) {
    const WheelDrive d = Scratch<WheelDrive, WalkWheelDrive>(in, kWheelDriveSavedSize);
    if (const char* why = CheckGround(d.g)) return why;
    if (!KnownAccessType(d.accessType)) return "the drive's access type is unknown";
    if (!Within(d.contacts, 0, kMostContacts)) return "the drive's contact count is out of range";
    if (!Within(d.wheelAngle, 0, kFixFullTurn - 1)) return "the wheel angle is outside one turn";
    if (std::abs(int64_t{d.wheelLock}) > std::abs(int64_t{d.maxWheelLock})) return "the wheel lock is beyond its limit";
    if (!DriveSpeed(d.speed) || !DriveSpeed(d.aiSpeed) || !DriveSpeed(d.acceleration[0]) ||
        !DriveSpeed(d.acceleration[1]))
        return "the drive's speed or acceleration is out of range";
    if (!Within(d.verticalVelocity, -kMostVerticalVelocity, kMostVerticalVelocity))
        return "the drive's vertical velocity is out of range";
    return nullptr;
}

const char* ChainDrive_checkSaved(const uint8_t* in) {
    const ChainDrive d = Scratch<ChainDrive, WalkChainDrive>(in, kChainDriveSavedSize);
    if (const char* why = CheckGround(d.g)) return why;
    if (!KnownAccessType(d.accessType)) return "the drive's access type is unknown";
    if (!Within(d.contacts, 0, kMostContacts)) return "the drive's contact count is out of range";
    for (float v : {d.throttleInc[0], d.throttleInc[1], d.lockRecenterRate, d.chainAnimScale})
        if (!std::isfinite(v)) return "a drive rate is not a number";
    for (float v : {d.throttle, d.differential, d.wantedThrottle, d.wantedDifferential})
        if (!std::isfinite(v) || std::fabs(v) > 1.0f) return "the throttle or differential is outside -1..1";
    if (!DriveSpeed(d.speed)) return "the drive's speed is out of range";
    if (!Within(d.verticalVelocity, -kMostVerticalVelocity, kMostVerticalVelocity))
        return "the drive's vertical velocity is out of range";
    return nullptr;
}

const char* PjtThrower_checkSaved(const uint8_t* in) {
    const PjtThrower w = Scratch<PjtThrower, WalkPjtThrower>(in, kPjtThrowerSavedSize);
    if (w.ammoCapacity > 0 && !Within(w.ammo, 0, w.ammoCapacity)) return "the weapon holds more ammunition than it takes";
    if (!Within(w.fireDelayCounter, std::min(0, w.fireDelay), std::max(0, w.fireDelay)))
        return "the weapon's fire delay count is out of range";
    if (!Within(w.salvoDelayCounter, std::min(0, w.salvoDelay), std::max(0, w.salvoDelay)))
        return "the weapon's salvo delay count is out of range";
    if (!Within(w.salvoCounter, std::min(0, w.salvoShots), std::max(1, w.salvoShots)))
        return "the weapon's salvo count is out of range";
    return nullptr;
}

namespace {

// Delays of a rule stay well within the counters' words.
constexpr int32_t kDelayLimit = 1 << 24;
// The ammunition of a weapon that counts it lies within its capacity.
bool AmmoFits(int32_t ammo, int32_t capacity) { return capacity <= 0 || Within(ammo, 0, capacity); }
// A counter that runs down from its delay by the ticks of an update (at most 8) and stops at or below 0:
// it ends up to one update below 0, or below the delay when that is negative.
bool CounterFits(int32_t counter, int32_t delay) {
    constexpr int32_t kMostTicks = 8;
    return Within(counter, std::min<int64_t>(0, delay) - kMostTicks, std::max<int64_t>(1, delay));
}

}  // namespace

const char* HVCannon_checkSaved(const uint8_t* in) {
    const HVCannon w = Scratch<HVCannon, WalkHVCannon>(in, kHVCannonSavedSize);
    if (!AmmoFits(w.ammo, w.ammoCapacity)) return "the weapon holds more ammunition than it takes";
    if (!Within(w.fireDelayCounter, std::min(0, w.fireDelay), std::max(0, w.fireDelay)))
        return "the weapon's fire delay count is out of range";
    if (!Within(w.salvoDelayCounter, std::min(0, w.salvoDelay), std::max(0, w.salvoDelay)))
        return "the weapon's salvo delay count is out of range";
    if (!Within(w.salvoCounter, std::min(0, w.salvoShots), std::max(1, w.salvoShots)))
        return "the weapon's salvo count is out of range";
    if (!Within(w.muzzles.cursor, 0, INT32_MAX)) return "the weapon's muzzle cursor is negative";
    if (!Within(w.segmentCount, 0, kHVCannonSegments)) return "the cannon's chain holds more than 32 segments";
    if (!Within(w.beamState, kHVFired, kHVReady)) return "the cannon's beam state is unknown";
    return nullptr;
}

const char* BeamCannon_checkSaved(const uint8_t* in) {
    const BeamCannon w = Scratch<BeamCannon, WalkBeamCannon>(in, kBeamCannonSavedSize);
    if (!Flag(w.active) || !Flag(w.inAperture)) return "a beam flag is neither 0 nor 1";
    if (!Within(w.beamState, kBeamIdle, kBeamPausing)) return "the beam's state is unknown";
    if (!AmmoFits(w.ammo, w.ammoCapacity)) return "the weapon holds more ammunition than it takes";
    if (!Within(w.apertureCosine, 0, 2 * 32768)) return "the beam's aperture is out of range";
    for (int32_t delay : {w.warmUpDelay, w.firingTime, w.pauseDelay})
        if (!Within(delay, -kDelayLimit, kDelayLimit)) return "a beam delay is out of range";
    if (!CounterFits(w.warmUpCounter, w.warmUpDelay) || !CounterFits(w.firingCounter, w.firingTime) ||
        !CounterFits(w.pauseCounter, w.pauseDelay))
        return "a beam count is out of range";
    // The counter of the running state is one that state goes on counting down: at least 0 while warming
    // up, 1 while firing and while pausing (or the delay it started from, when that is lower).
    if ((w.beamState == kBeamWarming && w.warmUpCounter < std::min(0, w.warmUpDelay)) ||
        (w.beamState == kBeamFiring && w.firingCounter < 1) ||
        (w.beamState == kBeamPausing && w.pauseCounter < std::min(1, w.pauseDelay)))
        return "the beam's state and its count do not go together";
    if (!Within(w.muzzles.cursor, 0, INT32_MAX)) return "the weapon's muzzle cursor is negative";
    return nullptr;
}
