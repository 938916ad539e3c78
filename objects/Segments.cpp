// Beam and sensor segments: beams are chains of short segments laid end to end by the module that owns
// the beam; the segments live, fade and, some of them, test what they touch. The laser and lightning
// pieces of the beam cannon (and the turret's aiming markers), the pieces of the high-velocity cannon's
// instant beam, the pieces of the player's sensor beam with their two looks, and the car's eye.
#include <cstring>
#include <initializer_list>

#include "core/FixMath.h"
#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "objects/WeaponTypes_local.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

namespace {

constexpr uint32_t kNoHitSlotFlags = 0x2000000;

BeamSegBlock* Beam(construct* con) { return static_cast<BeamSegBlock*>(con->itfcData); }
HVSegmentBlock* HV(construct* con) { return static_cast<HVSegmentBlock*>(con->itfcData); }
SensorBlock* SensorOf(construct* con) { return static_cast<SensorBlock*>(con->itfcData); }
EyeBlock* EyeOf(construct* con) { return static_cast<EyeBlock*>(con->itfcData); }
const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

// Leaves the busy pool when busy and is deactivated; then freed at once (argument 0) or at the next
// event flush.
void DestroyDeferred(construct* con, uintptr_t arg) {
    if (con->flags & kConBusy) UnMakeBuzy(con);
    DeactivateConstruct(con);
    if (arg == 0)
        FreeConstruct(con);
    else
        CreateQZEvent(QZEventKind::Free, con);
}

// ---- Saved forms.

void WalkBeam(SavedWords& w, void* block) {
    auto* b = static_cast<BeamSegBlock*>(block);
    w.I32(&b->countdown);
    w.I32(&b->pace);
}

void WalkHV(SavedWords& w, void* block) {
    auto* b = static_cast<HVSegmentBlock*>(block);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->armed);
    w.U8(&b->zeroImpact.physical);
    w.U8(&b->zeroImpact.shield);
    w.U8(&b->zeroImpact.structure);
    w.U8(&b->touching);
    w.I32s(b->reserved, 2);
}

void WalkSensor(SavedWords& w, void* block) {
    auto* b = static_cast<SensorBlock*>(block);
    for (uint8_t& v : b->head.impact) w.U8(&v);
    w.U8(&b->head.blocked);
    w.I32(&b->head.length);
    w.I32(&b->reserved);
    w.U8(&b->look);
    for (uint8_t& p : b->pad) w.U8(&p);
    weapons::WalkPointerWord(w);  // the second look stays the segment's own
}

void WalkEye(SavedWords& w, void* block) {
    auto* b = static_cast<EyeBlock*>(block);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->pad);
}

const PjtMember kLaser{"LaserSeg", LaserSeg_itfc, sizeof(BeamSegBlock), 250.0f, 0, 0, 2, {0, 4, 0, 0}, 1, 1, true,
                       WalkBeam, 8};
const PjtMember kLightning{"LightningSeg", LightningSeg_itfc, sizeof(BeamSegBlock), 100.0f, 0, 0, 2, {0, 4, 0, 0},
                           1, 1, true, WalkBeam, 8};
const PjtMember kHV{"HVSegment", HVSegment_itfc, sizeof(HVSegmentBlock), 1.0f, 0, kProjectileCollisionClass, 4,
                    {0, 3, 4, 7}, 1, 1, false, WalkHV, static_cast<int>(kHVSegmentSavedSize)};
const PjtMember kSensor{"Sensor", Sensor_itfc, sizeof(SensorBlock), 1.0f, kNoHitSlotFlags, kProjectileCollisionClass,
                        4, {0, 3, 4, 7}, -1, 0, false, WalkSensor, 20};
const PjtMember kEye{"Eye", Eye_itfc, sizeof(EyeBlock), 1.0f, kNoHitSlotFlags, kProjectileCollisionClass, 4,
                     {0, 3, 4, 7}, -1, 0, false, WalkEye, 4};

// A member with the scale of its rule (read first: a missing rule ends the program before anything is
// made).
PjtMember Scaled(const PjtMember& m, const char* rule) {
    PjtMember scaled = m;
    scaled.scale = weapons::RuleValue("%s", rule);
    return scaled;
}

// ---- LaserSeg and LightningSeg.

void TickLaser(construct* con) {
    BeamSegBlock* b = Beam(con);
    // 1. Its last tick sends it back; the rest of the tick still runs.
    if (weapons::CountDown(&b->countdown) <= 0) ReturnToPool(con);
    // 2. It fades over its last ticks.
    if (b->countdown < 4) con->effectPhase = weapons::Clamp32(int64_t(con->effectPhase) - 64);
}

void TickLightning(construct* con) {
    con->effectPhase = weapons::Clamp32(int64_t(con->effectPhase) - 25);
    if (con->effectPhase < 1) ReturnToPool(con);
}

// Beam pieces copy their block under the one purpose "LaserSeg data block".
uintptr_t BeamCopy(construct* con, uintptr_t sizeOut) {
    return CopyItfcDataBlock(con->itfcData, sizeof(BeamSegBlock), kLaser.name, sizeOut);
}

// ---- HVSegment.

// The high-velocity segment and the eye take the bounding spheres of their object file.
void SetupHV(construct* con) { AllocBSpheres(con); }

void TickHV(construct* con) {
    HVSegmentBlock* b = HV(con);
    // 2. Whether it touches anything where it lies.
    construct* struck = nullptr;
    const int32_t level = WaterLevelAt(con->pos[0], con->pos[2]);
    const int r = CurrentMatrix ? CheckMatrixPosition(CurrentMatrix, con->pos, &struck, level) : 0;
    b->touching = (r != 0 || con->hits[0]) ? 1 : 0;
    // 3. Untested or unarmed, it lives 126 ticks after its test.
    con->effectPhase = weapons::Clamp32(int64_t(con->effectPhase) + 2);
    int expired = con->effectPhase > 250;
    // 4.
    ProjectileHit hit{kHitNone, 0, 0, 0};
    if (b->armed) hit = ProjectileHitTest(con);
    if (hit.expired) expired = 1;
    // 5.
    con->hits[0] = nullptr;
    // 6.
    if (hit.kind == kHitStructure || hit.kind == kHitShield) {
        if (construct* fx = SpawnEffect(con, SharedPoolId::ShellExpl)) {
            static_cast<CountdownBlock*>(fx->itfcData)->countdown = 30;
            fx->effectPhase = hit.kind == kHitStructure ? 255 : 70;
        }
    } else if (hit.kind == kHitGround || hit.kind == kHitWater) {
        if (construct* fx = SpawnEffect(con, SharedPoolId::ShellSplash)) {
            fx->collisionClass = kProjectileCollisionClass;
            fx->owner = con->owner;  // the firer is spared by the splash's blow
            static_cast<SplashBlock*>(fx->itfcData)->countdown = 55;
            fx->effectPhase = hit.kind == kHitGround ? 0 : 200;
        }
    }
    // 7.
    if (expired) ReturnToPool(con);
}

uintptr_t LaunchHV(construct* con, const HVSegmentLaunch* launch) {
    HVSegmentBlock* b = HV(con);
    b->impact = DamageRecord{launch->impact[0], launch->impact[1], launch->impact[2]};
    if (launch->mode == 0) {
        b->armed = 0;
        return 0;
    }
    if (!b->touching) return 0;
    b->armed = 1;
    con->hits[0] = nullptr;
    return 1;
}

// ---- Sensor.

float SensorPace;  // "Sensor_pace", read before each build

void SetupSensor(construct* con) {
    SensorBlock* b = SensorOf(con);
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = TruncateToInt32(weapons::RuleValue("%s", "Sensor_BSphereRadius"));
    b->head.length = TruncateToInt32(SensorPace);
    b->look = 0;
}

construct* CreateSensor(const char* directory) {
    if (construct* copy = ClonePreloaded(Sensor_itfc, directory)) return copy;
    const PjtMember m = Scaled(kSensor, "Sensor_scale");
    SensorPace = weapons::RuleValue("%s", "Sensor_pace");
    weapons::RuleValue("%s", "Sensor_BSphereRadius");
    construct* con = PjtCreateMember(m, directory, "sensor", SetupSensor);
    // The second look: a construct of its own that only trades its geometry with the segment.
    construct* second = CreateConstruct(0, kNoHitSlotFlags);
    Geom* g = LoadGeom(m.scale, directory ? directory : "", "sensorint", nullptr);
    ResetCCADBBoards();
    SetConstructGeoms(second, g, g, g, g);
    SensorOf(con)->secondLook = second;
    return con;
}

void SetLook(construct* con, uint8_t wanted) {
    SensorBlock* b = SensorOf(con);
    if (wanted == b->look) return;
    SwapConstructVisuals(con, b->secondLook);
    b->look = wanted;
}

void TickSensor(construct* con) {
    SensorBlock* b = SensorOf(con);
    construct* struck = nullptr;
    const int32_t level = WaterLevelAt(con->pos[0], con->pos[2]);
    const int r = CurrentMatrix ? CheckMatrixPosition(CurrentMatrix, con->pos, &struck, level) : 0;
    construct* h = con->hits[0];
    con->hits[0] = nullptr;
    // Terrain, or any construct but its owner, blocks it.
    b->head.blocked = (r != 0 || (h && h != con->owner)) ? 1 : 0;
}

// A copy gets a second look of its own (a look is its geometry alone).
uintptr_t CopySensor(construct* con, uintptr_t sizeOut) {
    const uintptr_t copy = CopyItfcDataBlock(con->itfcData, sizeof(SensorBlock), kSensor.name, sizeOut);
    auto* c = reinterpret_cast<SensorBlock*>(copy);
    if (c->secondLook) {
        construct* made = CreateConstruct(0, kNoHitSlotFlags);
        Geom* g = c->secondLook->lod[0] ? CopyGeom(c->secondLook->lod[0]) : nullptr;
        SetConstructGeoms(made, g, g, g, g);
        c->secondLook = made;
    }
    return copy;
}

}  // namespace

uintptr_t LaserSeg_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = PjtCreateMember(kLaser, Dir(arg), "");
            made->effectPhase = 255;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::TICK:
            TickLaser(con);
            return 0;
        case ItfcMethod::DESTROY:
            DestroyDeferred(con, arg);
            return 0;
        case ItfcMethod::GETITFCDATA:
        case ItfcMethod::COPYITFCDATA:
            return BeamCopy(con, arg);
        default:
            return PjtMember_itfc(kLaser, con, method, arg);
    }
}

uintptr_t LightningSeg_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            construct* made = PjtCreateMember(kLightning, Dir(arg), "");
            made->effectPhase = 600;
            return reinterpret_cast<uintptr_t>(made);
        }
        case ItfcMethod::TICK:
            TickLightning(con);
            return 0;
        case ItfcMethod::GETITFCDATA:
        case ItfcMethod::COPYITFCDATA:
            return BeamCopy(con, arg);
        default:
            return PjtMember_itfc(kLightning, con, method, arg);
    }
}

uintptr_t HVSegment_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE: {
            const char* dir = Dir(arg);
            if (construct* copy = ClonePreloaded(HVSegment_itfc, dir)) return reinterpret_cast<uintptr_t>(copy);
            return reinterpret_cast<uintptr_t>(PjtCreateMember(Scaled(kHV, "HVSegment_scale"), dir, "HVBullet", SetupHV));
        }
        case ItfcMethod::TICK:
            TickHV(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(HV(con)->armed ? &HV(con)->impact : &HV(con)->zeroImpact);
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const HVSegmentLaunch*>(arg)) return LaunchHV(con, launch);
            return 0;
        default:
            return PjtMember_itfc(kHV, con, method, arg);
    }
}

uintptr_t Sensor_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateSensor(Dir(arg)));
        case ItfcMethod::TICK:
            TickSensor(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(SensorOf(con)->head.impact);
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::SETMODE:
            SetLook(con, arg ? 1 : 0);
            return 0;
        case ItfcMethod::DESTROY:
            FreeConstruct(SensorOf(con)->secondLook);
            SensorOf(con)->secondLook = nullptr;
            return PjtMember_itfc(kSensor, con, method, arg);
        case ItfcMethod::COPYITFCDATA:
            return CopySensor(con, arg);
        case ItfcMethod::SETITFCDATA: {
            // The look is taken over with the visuals that go with it, so that a later SETMODE shows
            // what it asks for.
            SensorBlock* b = SensorOf(con);
            const uint8_t shown = b->look;
            PjtMember_itfc(kSensor, con, method, arg);
            const uint8_t wanted = b->look ? 1 : 0;
            b->look = shown;
            SetLook(con, wanted);
            return 0;
        }
        default:
            return PjtMember_itfc(kSensor, con, method, arg);
    }
}

uintptr_t Eye_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            // Every car makes its own: no preloaded copy is sought.
            return reinterpret_cast<uintptr_t>(PjtBuildMember(Scaled(kEye, "Eye_scale"), Dir(arg), "eye", SetupHV));
        case ItfcMethod::TICK:
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&EyeOf(con)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        default:
            return PjtMember_itfc(kEye, con, method, arg);
    }
}
