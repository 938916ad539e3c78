// Plasma bolts and their splashes: a bolt flies straight along its forward row, the first of each volley
// with a light that cycles through the colours of its ramp; where it strikes the ground it leaves a
// glowing splash laid onto the terrain, which fades.
#include <cstring>
#include <initializer_list>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/Projectile.h"
#include "objects/SceneryLighting.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "objects/WeaponTypes.h"
#include "objects/WeaponTypes_local.h"
#include "platform/Palette.h"
#include "platform/SoundFx.h"
#include "render/Light.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"

using weapons::Clamp32;

namespace {

constexpr uint8_t kBoltReach = 17;
constexpr int32_t kSplashCountdown = 80;

PlasmaBoltBlock* Bolt(construct* con) { return static_cast<PlasmaBoltBlock*>(con->itfcData); }
const char* Dir(uintptr_t arg) { return reinterpret_cast<const char*>(arg); }

void WalkBolt(SavedWords& w, void* block) {
    auto* b = static_cast<PlasmaBoltBlock*>(block);
    w.U8(&b->impact.physical);
    w.U8(&b->impact.shield);
    w.U8(&b->impact.structure);
    w.U8(&b->lightOn);
    w.I32(&b->travelled);
    w.I32(&b->counter);
    w.I32(&b->speed);
    w.I32(&b->range);
    weapons::WalkPointerWord(w);  // the light stays the bolt's own
    weapons::WalkSavedSound(w, &b->groundSound);
    weapons::WalkSavedSound(w, &b->waterSound);
    weapons::WalkSavedSound(w, &b->structureSound);
}

void WalkSplash(SavedWords& w, void* block) { w.I32(&static_cast<PlasmaSplashBlock*>(block)->countdown); }

const PjtMember kBolt{"PlasmaBolt", PlasmaBolt_itfc, sizeof(PlasmaBoltBlock), 1.0f, 0, kProjectileCollisionClass, 1,
                      {0, 0, 0, 0}, 1, 1, false, WalkBolt, static_cast<int>(kPlasmaBoltSavedSize)};
const PjtMember kSplash{"PlasmaSplash", PlasmaSplash_itfc, sizeof(PlasmaSplashBlock), 140.0f, 0, 0, 4, {0, 3, 4, 7},
                        1, 1, false, WalkSplash, 4};

float BoltRadius;  // "PlasmaBolt_BSphereRadius", read before each build

void SetupBolt(construct* con) {
    PlasmaBoltBlock* b = Bolt(con);
    con->effectPhase = 255;
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = TruncateToInt32(BoltRadius);
    b->light = weapons::TakeStagedLight("Plasma Bolt wants a Light");
    b->light->rangeShift = kBoltReach;
    b->speed = b->range = 0;
    LookupSound(&b->groundSound, "PlasmaBolt_FX_HitGround");
    LookupSound(&b->waterSound, "PlasmaBolt_FX_HitWater");
    LookupSound(&b->structureSound, "PlasmaBolt_FX_HitStructure");
}

construct* CreateBolt(const char* directory) {
    construct* con = ClonePreloaded(PlasmaBolt_itfc, directory);
    if (!con) {
        // The rules first: a missing one ends the program before anything is made.
        PjtMember m = kBolt;
        m.scale = weapons::RuleValue("%s_scale", "PlasmaBolt");
        BoltRadius = weapons::RuleValue("%s_BSphereRadius", "PlasmaBolt");
        con = PjtBuildMember(m, directory, "", SetupBolt);
    }
    con->effectPhase = 255;  // a copy does not carry the phase
    return con;
}

void LaunchBolt(construct* con, const LaunchRecord* launch) {
    PlasmaBoltBlock* b = Bolt(con);
    b->speed = launch->speed;
    b->range = launch->range;
    b->counter = 0;
    b->travelled = 0;
    b->impact = DamageRecord{launch->impact[0], launch->impact[1], launch->impact[2]};
    // Only the first of a volley carries its light.
    weapons::LightOut(&b->lightOn, b->light);
    if (launch->firstOfVolley && b->light) {
        PlacePointRelativeToOwner(con, b->light->pos, nullptr);
        if (dynamic_lighting) AddActiveLight(b->light, 1);
        b->lightOn = 1;  // its colour runs also while dynamic lighting is off
    }
}

void TickBolt(construct* con) {
    PlasmaBoltBlock* b = Bolt(con);
    // 1. The light's colour runs through the ramp, one entry per tick.
    if (b->lightOn && b->light) {
        std::memcpy(b->light->pos, con->pos, sizeof b->light->pos);
        if (const Plt* ramp = b->light->palette) {
            const PltEntry& e = ramp->entries[uint32_t(b->counter) & 255];
            b->light->colour[0] = int32_t(e.red) * 16;
            b->light->colour[1] = int32_t(e.green) * 16;
            b->light->colour[2] = int32_t(e.blue) * 16;
        }
        LightStamp = 1;
    }
    // 2.
    if (b->counter < INT32_MAX) ++b->counter;
    const int expired = b->range < b->travelled;
    // 3.
    const ProjectileHit hit = ProjectileHitTest(con);
    // 4.
    int32_t step[3];
    for (int i = 0; i < 3; ++i) {
        step[i] = static_cast<int32_t>((int64_t(con->orient[6 + i]) * b->speed) >> 15);
        con->pos[i] = Clamp32(int64_t(con->pos[i]) + step[i]);
    }
    b->travelled = Clamp32(int64_t(b->travelled) + ProjectileRangeStep(b->speed));
    // 5. It stays where it struck.
    if (hit.kind != kHitNone) {
        for (int i = 0; i < 3; ++i) con->pos[i] = Clamp32(int64_t(con->pos[i]) - step[i]);
        switch (hit.kind) {
            case kHitStructure: PlayProjectileHitSound(con, &b->structureSound); break;
            case kHitGround: PlayProjectileHitSound(con, &b->groundSound); break;
            case kHitWater: PlayProjectileHitSound(con, &b->waterSound); break;
            default: break;
        }
        if (hit.kind == kHitStructure) {
            if (construct* fx = SpawnEffect(con, SharedPoolId::HitSpark)) {
                static_cast<HitSparkBlock*>(fx->itfcData)->countdown = 15;
                fx->effectPhase = 255;
            }
        } else if (hit.kind == kHitGround) {
            // Red and blue bolts alike leave their splash from "PlasmaSplash".
            if (construct* fx = SpawnEffect(con, SharedPoolId::PlasmaSplash)) {
                static_cast<PlasmaSplashBlock*>(fx->itfcData)->countdown = kSplashCountdown;
                fx->effectPhase = 255;
                const int onTop = hit.terrain == 2 || hit.terrain == 3;
                CallItfc(fx, ItfcMethod::ATTACH, onTop ? 1 : 0);
            }
        }
    }
    // 6.
    if (expired || hit.expired) {
        ReturnToPool(con);
        weapons::LightOut(&b->lightOn, b->light);
    }
}

void SetData(construct* con, const uint8_t* in) {
    PlasmaBoltBlock* b = Bolt(con);
    weapons::LightOut(&b->lightOn, b->light);
    if (!in) return;
    PlasmaBoltBlock read = *b;
    SavedWords w{nullptr, in, 0, kPlasmaBoltSavedSize};
    WalkBolt(w, &read);
    b->impact = read.impact;
    b->travelled = read.travelled;
    b->counter = read.counter;
    b->speed = read.speed;
    b->range = read.range;
    b->lightOn = 0;
}

void TickSplash(construct* con) {
    con->effectPhase = Clamp32(int64_t(con->effectPhase) - 4);
    if (weapons::CountDown(&static_cast<PlasmaSplashBlock*>(con->itfcData)->countdown) <= 0) ReturnToPool(con);
}

// Laid flat on the ground (0) or hanging under the top surface (1).
void AttachSplash(construct* con, uintptr_t onTop) {
    FixMatrix m;
    MatrixFromYawPitch(&m, 0, onTop ? -102943 : 102943);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    weapons::DrapeDecal(con, onTop ? weapons::Drape::SplashOnTop : weapons::Drape::SplashOnGround);
}

void SetupSplash(construct* con) {
    if (con->lod[0]) ClearFaceVectors(con->lod[0]);
}

}  // namespace

uintptr_t PlasmaBolt_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateBolt(Dir(arg)));
        case ItfcMethod::TICK:
            TickBolt(con);
            return 0;
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Bolt(con)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::DESTROY:
            weapons::LightOut(&Bolt(con)->lightOn, Bolt(con)->light);
            FreePointLight(Bolt(con)->light);
            Bolt(con)->light = nullptr;
            return PjtMember_itfc(kBolt, con, method, arg);
        case ItfcMethod::COPYITFCDATA: {
            const uintptr_t copy = CopyItfcDataBlock(con->itfcData, sizeof(PlasmaBoltBlock), kBolt.name, arg);
            auto* c = reinterpret_cast<PlasmaBoltBlock*>(copy);
            c->light = c->light ? CopyPointLight(c->light) : nullptr;
            c->lightOn = 0;
            return copy;
        }
        case ItfcMethod::SETITFCDATA:
            SetData(con, reinterpret_cast<const uint8_t*>(arg));
            return 0;
        case ItfcMethod::LAUNCH:
            if (const auto* launch = reinterpret_cast<const LaunchRecord*>(arg)) LaunchBolt(con, launch);
            return 0;
        default:
            return PjtMember_itfc(kBolt, con, method, arg);
    }
}

uintptr_t PlasmaSplash_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(PjtCreateMember(kSplash, Dir(arg), "", SetupSplash));
        case ItfcMethod::TICK:
            TickSplash(con);
            return 0;
        case ItfcMethod::ATTACH:
            AttachSplash(con, arg);
            return 0;
        default:
            return PjtMember_itfc(kSplash, con, method, arg);
    }
}
