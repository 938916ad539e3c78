// The projectile family frame (creation from the preloaded pool, the hit test, the hit sound, spawning
// an effect, the return to the pool) and its two plainest members, Bullet and Shell.
#include "objects/Projectile.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "platform/SoundFx.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"

namespace {

void StoreWord(uint8_t* out, int32_t v) {
    for (int k = 0; k < 4; ++k) out[k] = uint8_t(uint32_t(v) >> (8 * k));
}

int32_t LoadWord(const uint8_t* in) {
    return int32_t(uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24);
}

// GETITFCDATA: the block's saved form (see kProjectileSavedSize).
uintptr_t SavedForm(const ProjectileBlock* b, const char* typeName, uintptr_t sizeOut) {
    char purpose[256];
    std::snprintf(purpose, sizeof purpose, "%s data block", typeName);
    auto* out = static_cast<uint8_t*>(qzAlloc(kProjectileSavedSize, purpose));
    std::memset(out, 0, kProjectileSavedSize);
    out[0] = b->impact.physical;
    out[1] = b->impact.shield;
    out[2] = b->impact.structure;
    out[3] = b->pad;
    StoreWord(out + 4, b->speed);
    StoreWord(out + 8, b->range);
    StoreWord(out + 12, b->travelled);
    uint8_t* at = out + 16;
    for (const SoundDesc* d : {&b->groundSound, &b->waterSound, &b->structureSound}) {
        std::memcpy(at, d->file, sizeof d->file);
        at[sizeof d->file - 1] = 0;
        at += sizeof d->file;
        for (int32_t v : {d->minDistance, d->maxDistance, d->lowFrequency, d->highFrequency, d->unused}) {
            StoreWord(at, v);
            at += 4;
        }
        at += 4;  // the playing sound is not part of the form
    }
    if (at != out + kProjectileSavedSize) FatalError("Error(Projectile_itfc): the saved form's size is not 280");
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = kProjectileSavedSize;
    return reinterpret_cast<uintptr_t>(out);
}

const int32_t kZeroVelocity[3] = {0, 0, 0};

// What tells Bullet and Shell apart.
struct ProjectileKind {
    const char* name;       // type name, rule prefix
    const char* geomName;   // the object file in the directory
    ItfcProc itfc;
    bool shell;
};

const ProjectileKind kBullet{"Bullet", "bullet", Bullet_itfc, false};
const ProjectileKind kShell{"Shell", "shell", Shell_itfc, true};

ProjectileBlock* Block(construct* con) { return static_cast<ProjectileBlock*>(con->itfcData); }

float FirstValue(const char* name) {
    const Rule* r = NamedRule(name);
    return r->count > 0 && r->values ? r->values[0] : 0.0f;
}

construct* CreateProjectile(const ProjectileKind& kind, const char* directory) {
    // 1. A copy of the preloaded instance made from the same directory.
    if (construct* copy = ClonePreloaded(kind.itfc, directory)) return copy;
    // The rules first: a missing one ends the program before anything is made.
    char rule[64];
    std::snprintf(rule, sizeof rule, "%s_scale", kind.name);
    const float scale = FirstValue(rule);
    std::snprintf(rule, sizeof rule, "%s_BSphereRadius", kind.name);
    const float radius = FirstValue(rule);
    // 2.
    construct* con = CreateConstruct(0, 0);
    con->itfc = kind.itfc;
    auto* b = static_cast<ProjectileBlock*>(AllocItfcData(con, sizeof(ProjectileBlock)));
    std::memset(&b->impact, 0, sizeof b->impact);
    b->speed = b->range = 0;
    // 3. One probe point: corner 0 of the box.
    con->sampleCornerCount = 1;
    con->sampleCorners[0] = 0;
    // 4.
    Geom* g = LoadGeom(scale, directory ? directory : "", kind.geomName, nullptr);
    AllocBBoards(con, 1, 1);
    SetConstructGeoms(con, g, g, g, g);
    // 5.
    con->effectPhase = kProjectilePhase;
    std::memset(con->sphere.centre, 0, sizeof con->sphere.centre);
    con->sphere.radius = TruncateToInt32(radius);
    con->collisionClass = kProjectileCollisionClass;
    // 6.
    LookupSound(&b->groundSound, "%s_FX_HitGround", kind.name);
    LookupSound(&b->waterSound, "%s_FX_HitWater", kind.name);
    LookupSound(&b->structureSound, "%s_FX_HitStructure", kind.name);
    return con;
}

// Classifies a struck construct by its shield; a construct that keeps no state (a projectile or an
// effect reaching the test through some other class) is taken as structure, never read as a record.
int StruckKind(construct* struck) {
    const auto* state = reinterpret_cast<const StateRecord*>(CallItfc(struck, ItfcMethod::GETSTATE));
    return state && state->shield != 0 ? kHitShield : kHitStructure;
}

int32_t AddSaturated(int32_t a, int32_t b) {
    const int64_t s = static_cast<int64_t>(a) + b;
    return s > INT32_MAX ? INT32_MAX : (s < INT32_MIN ? INT32_MIN : static_cast<int32_t>(s));
}

// Writes a spawned effect's countdown word (the effect's data block holds it) and its phase.
void StartEffect(construct* fx, int word, int32_t countdown, int32_t phase) {
    if (!fx) return;
    if (auto* w = static_cast<int32_t*>(fx->itfcData)) w[word] = countdown;
    fx->effectPhase = phase;
}

void BulletImpact(construct* con, int kind) {
    switch (kind) {
        case kHitStructure:
            StartEffect(SpawnEffect(con, SharedPoolId::HitSpark), 0, 15, (Random() & 7) * 20);
            break;
        case kHitGround:
            StartEffect(SpawnEffect(con, SharedPoolId::BulletSplash), 0, 80, 0);
            break;
        case kHitShield:
        case kHitWater:
            StartEffect(SpawnEffect(con, SharedPoolId::BulletSplash), 0, 45, 105);
            break;
        default:
            break;
    }
}

void ShellImpact(construct* con, int kind) {
    switch (kind) {
        case kHitStructure:
        case kHitShield:
            StartEffect(SpawnEffect(con, SharedPoolId::ShellExpl), 0, 30, kind == kHitStructure ? 255 : 70);
            break;
        case kHitGround:
        case kHitWater:
            // The splash deals its own blow once: it carries the projectiles' class into the next pass.
            if (construct* fx = SpawnEffect(con, SharedPoolId::ShellSplash)) {
                fx->collisionClass = kProjectileCollisionClass;
                fx->owner = con->owner;  // its firer is spared and named by the victims
                StartEffect(fx, 1, 105, kind == kHitGround ? 0 : 200);
            }
            break;
        default:
            break;
    }
}

void TickProjectile(construct* con, const ProjectileKind& kind) {
    ProjectileBlock* b = Block(con);
    // 1.
    int expired = b->travelled > b->range;
    // 2, 3.
    const ProjectileHit hit = ProjectileHitTest(con);
    if (hit.expired) expired = 1;
    // 4.
    int32_t step[3];
    for (int i = 0; i < 3; ++i) {
        step[i] = static_cast<int32_t>((static_cast<int64_t>(con->orient[6 + i]) * b->speed) >> 15);
        con->pos[i] += step[i];
    }
    b->travelled = AddSaturated(b->travelled, ProjectileRangeStep(b->speed));
    // 5. It stays where it struck.
    if (hit.kind != kHitNone) {
        for (int i = 0; i < 3; ++i) con->pos[i] -= step[i];
        switch (hit.kind) {
            case kHitStructure: PlayProjectileHitSound(con, &b->structureSound); break;
            case kHitGround: PlayProjectileHitSound(con, &b->groundSound); break;
            case kHitWater: PlayProjectileHitSound(con, &b->waterSound); break;
            default: break;
        }
        if (kind.shell)
            ShellImpact(con, hit.kind);
        else
            BulletImpact(con, hit.kind);
    }
    if (kind.shell && hit.shake) CameraShakeByDistance(con->pos, 0, 80, 1.1f, 150000);
    // 6.
    if (expired) ReturnToPool(con);
}

uintptr_t ProjectileItfc(const ProjectileKind& kind, construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(CreateProjectile(kind, reinterpret_cast<const char*>(arg)));
        case ItfcMethod::TICK:
            TickProjectile(con, kind);
            return 0;
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>(kind.name);
        case ItfcMethod::GETDAMAGE:
            return reinterpret_cast<uintptr_t>(&Block(con)->impact);
        case ItfcMethod::GETSTATE:
            return 0;
        case ItfcMethod::DESTROY:
            if (con->flags & kConBusy) UnMakeBuzy(con);
            DeactivateConstruct(con);
            FreeConstruct(con);
            return 0;
        case ItfcMethod::GETITFCDATA:
            return SavedForm(Block(con), kind.name, arg);
        case ItfcMethod::COPYITFCDATA:
            return CopyItfcDataBlock(con->itfcData, sizeof(ProjectileBlock), kind.name, arg);
        case ItfcMethod::SETITFCDATA: {
            const auto* src = reinterpret_cast<const uint8_t*>(arg);
            if (!src) return 0;
            ProjectileBlock* b = Block(con);
            b->impact = DamageRecord{src[0], src[1], src[2]};
            b->pad = src[3];
            b->speed = LoadWord(src + 4);
            b->range = LoadWord(src + 8);
            b->travelled = LoadWord(src + 12);
            return 0;
        }
        case ItfcMethod::LAUNCH: {
            const auto* launch = reinterpret_cast<const LaunchRecord*>(arg);
            if (!launch) return 0;
            ProjectileBlock* b = Block(con);
            b->travelled = 0;
            b->speed = launch->speed;
            b->range = launch->range;
            b->impact.physical = launch->impact[0];
            b->impact.shield = launch->impact[1];
            b->impact.structure = launch->impact[2];
            return 0;
        }
        default:
            break;
    }
    return ItfcUnknownMethod(kind.name, method);
}

}  // namespace

uintptr_t Bullet_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return ProjectileItfc(kBullet, con, method, arg); }
uintptr_t Shell_itfc(construct* con, ItfcMethod method, uintptr_t arg) { return ProjectileItfc(kShell, con, method, arg); }

ProjectileHit ProjectileHitTest(construct* con) {
    ProjectileHit hit{kHitNone, 0, 0, 0};
    // Terrain part.
    const int32_t level = WaterLevelAt(con->pos[0], con->pos[2]);
    construct* struck = nullptr;
    const int r = CurrentMatrix ? CheckMatrixPosition(CurrentMatrix, con->pos, &struck, level) : 0;
    hit.terrain = r;
    if (r != 0) {
        if (!struck) {
            hit.kind = r == 4 ? kHitWater : kHitGround;
            if (hit.kind == kHitGround) hit.shake = 1;
        } else {
            CallItfc(struck, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(con));
            hit.kind = StruckKind(struck);
            hit.shake = 1;
        }
        hit.expired = 1;
    }
    // Hit-slot part: the slot's construct decides the kind.
    if (construct* h = con->hits[0]) {
        if (h->flags & kConHittable) {
            CallItfc(h, ItfcMethod::HIT, reinterpret_cast<uintptr_t>(con));
            hit.shake = 1;
        }
        hit.kind = StruckKind(h);
        hit.expired = 1;
        con->hits[0] = nullptr;
    }
    return hit;
}

void PlayProjectileHitSound(const construct* con, SoundDesc* desc) {
    if (PlaySampleFor(desc, 1, 0, 0)) dxgl_SetSoundPosition(desc, con->pos, kZeroVelocity, 0, 0);
}

construct* SpawnEffect(const construct* spawner, SharedPoolId id) {
    ConstructPool* pool = SharedPool(id);
    construct* fx = pool ? NextFreeInConstructPool(pool) : nullptr;
    if (!fx) return nullptr;
    CreateQZEvent(QZEventKind::Buzy0, fx);
    ActivateConstruct(fx);
    PlaceRelativeToOwner(spawner, fx, nullptr);
    fx->owner = nullptr;  // a pooled effect keeps no owner of an earlier use
    return fx;
}

void ReturnToPool(construct* con) {
    CreateQZEvent(QZEventKind::UnBuzy, con);
    DeactivateConstruct(con);
}

int32_t ProjectileRangeStep(int32_t speed) {
    if (speed > 0) return speed;
    if (speed == INT32_MIN) return INT32_MAX;
    return speed < 0 ? -speed : 1;
}
