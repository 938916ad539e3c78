// The preloaded pool, the shared pools of projectiles and effects, "frag" and the wreck pool.
#include "objects/SharedPools.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "objects/EffectTypes.h"
#include "objects/Projectile.h"
#include "objects/Units.h"
#include "objects/WeaponTypes.h"
#include "platform/Sound.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

// The types of the pools, in PoolType order.
ItfcProc PoolTypeItfcs[kPoolTypeCount] = {
    Bullet_itfc,         // Bullet
    BulletSplash_itfc,   // BulletSplash
    Shell_itfc,          // Shell
    ShellSplash_itfc,    // ShellSplash
    ShellExpl_itfc,      // ShellExpl
    ShellFlare_itfc,     // ShellFlare
    ShieldHit_itfc,      // ShieldHit
    HitSpark_itfc,       // HitSpark
    Fragment_itfc,       // Fragment
    Shockwave_itfc,      // Shockwave
    Explode1_itfc,       // Explode1
    MExplode_itfc,       // MExplode
    HVSegment_itfc,      // HVSegment
    Missile_itfc,        // Missile
    Rocket_itfc,         // Rocket
    MSmoke_itfc,         // MSmoke
    Smoky_itfc,          // Smoky
    ClusterGrenade_itfc, // ClusterGrenade
    Grenade_itfc,        // Grenade
    GrenadeSplash_itfc,  // GrenadeSplash
    AMCapsule_itfc,      // AMCapsule
    Projectile_itfc,     // Projectile
    NuclearShock_itfc,   // NuclearShock
    Sensor_itfc,         // Sensor
    Fire1_itfc,          // Fire1
    Vapour_itfc,         // Vapour
    ShellCase_itfc,      // ShellCase
    Dust_itfc,           // Dust
    Shrapnel_itfc,       // Shrapnel
    FireTail_itfc,       // FireTail
    LaserSeg_itfc,       // LaserSeg
    LightningSeg_itfc,   // LightningSeg
    PlasmaBolt_itfc,     // PlasmaBolt
    PlasmaSplash_itfc,   // PlasmaSplash
    Shard_itfc,          // Shard
};
ItfcProc DeadBodyItfc = nullptr;

const char* const PoolTypeNames[kPoolTypeCount] = {
    "Bullet",        "BulletSplash", "Shell",        "ShellSplash",  "ShellExpl",      "ShellFlare",
    "ShieldHit",     "HitSpark",     "Fragment",     "Shockwave",    "Explode1",       "MExplode",
    "HVSegment",     "Missile",      "Rocket",       "MSmoke",       "Smoky",          "ClusterGrenade",
    "Grenade",       "GrenadeSplash", "AMCapsule",   "Projectile",   "NuclearShock",   "Sensor",
    "Fire1",         "Vapour",       "ShellCase",    "Dust",         "Shrapnel",       "FireTail",
    "LaserSeg",      "LightningSeg", "PlasmaBolt",   "PlasmaSplash", "Shard",
};
static_assert(std::size(PoolTypeNames) == kPoolTypeCount);

const SharedPoolDef SharedPoolDefs[kSharedPoolCount] = {
    {"Bullet", PoolType::Bullet, 20, PoolDir::Weapons, nullptr},
    {"BulletSplash", PoolType::BulletSplash, 20, PoolDir::Weapons, nullptr},
    {"Shell", PoolType::Shell, 24, PoolDir::Weapons, nullptr},
    {"ShellSplash", PoolType::ShellSplash, 24, PoolDir::Weapons, nullptr},
    {"ShellExpl", PoolType::ShellExpl, 24, PoolDir::Weapons, nullptr},
    {"ShellFlare", PoolType::ShellFlare, 24, PoolDir::Weapons, nullptr},
    {"ShieldHit", PoolType::ShieldHit, 20, PoolDir::Weapons, nullptr},
    {"HitSpark", PoolType::HitSpark, 20, PoolDir::Weapons, nullptr},
    {"Fragment", PoolType::Fragment, 20, PoolDir::Weapons, nullptr},
    {"Shockwave", PoolType::Shockwave, 10, PoolDir::Weapons, nullptr},
    {"Explode1", PoolType::Explode1, 30, PoolDir::Weapons, nullptr},
    {"MExplode", PoolType::MExplode, 24, PoolDir::Weapons, nullptr},
    {"HVSegment", PoolType::HVSegment, 70, PoolDir::Weapons, nullptr},
    {"Missile", PoolType::Missile, 24, PoolDir::Weapons, nullptr},
    {"Rocket", PoolType::Rocket, 20, PoolDir::Weapons, nullptr},
    {"MSmoke", PoolType::MSmoke, 30, PoolDir::Weapons, nullptr},
    {"Smoky", PoolType::Smoky, 180, PoolDir::Weapons, nullptr},
    {"ClusterGrenade", PoolType::ClusterGrenade, 6, PoolDir::Weapons, nullptr},
    {"Grenade", PoolType::Grenade, 24, PoolDir::Weapons, nullptr},
    {"GrenadeSplash", PoolType::GrenadeSplash, 24, PoolDir::Weapons, nullptr},
    {"AMCapsule", PoolType::AMCapsule, 4, PoolDir::Weapons, nullptr},
    {"Projectile", PoolType::Projectile, 20, PoolDir::Weapons, nullptr},
    {"NuclearShock", PoolType::NuclearShock, 20, PoolDir::Weapons, nullptr},
    {"Sensor", PoolType::Sensor, 32, PoolDir::Weapons, nullptr},
    {"Fire1", PoolType::Fire1, 32, PoolDir::Weapons, nullptr},
    {"Vapour", PoolType::Vapour, 120, PoolDir::WeaponsSub, "vapour1"},
    {"ShellCase", PoolType::ShellCase, 120, PoolDir::WeaponsSub, "shellcase"},
    {"Dust", PoolType::Dust, 120, PoolDir::Misc, nullptr},
    {"Shrapnel", PoolType::Shrapnel, 30, PoolDir::Weapons, nullptr},
    {"Firetail", PoolType::FireTail, 120, PoolDir::Weapons, nullptr},
    {"RLaserSeg", PoolType::LaserSeg, 15, PoolDir::WeaponsSub, "rlaserseg"},
    {"RSLaserSeg", PoolType::LaserSeg, 6, PoolDir::WeaponsSub, "rlasersegs"},
    {"BLaserSeg", PoolType::LaserSeg, 15, PoolDir::WeaponsSub, "blaserseg"},
    {"BSLaserSeg", PoolType::LaserSeg, 6, PoolDir::WeaponsSub, "blasersegs"},
    {"LightningSeg", PoolType::LightningSeg, 15, PoolDir::WeaponsSub, "lightningseg"},
    {"SLightningSeg", PoolType::LightningSeg, 6, PoolDir::WeaponsSub, "lightningsegs"},
    {"PlasmaBolt", PoolType::PlasmaBolt, 35, PoolDir::WeaponsSub, "plasmabolt"},
    {"PlasmaSplash", PoolType::PlasmaSplash, 35, PoolDir::WeaponsSub, "plasplash"},
    {"BluePlasmaBolt", PoolType::PlasmaBolt, 35, PoolDir::WeaponsSub, "bplasmabolt"},
    {"BluePlasmaSplash", PoolType::PlasmaSplash, 35, PoolDir::WeaponsSub, "bplasplash"},
};
static_assert(std::size(SharedPoolDefs) == kSharedPoolCount);

const SharedPoolId SavedSharedPools[kSavedSharedPoolCount] = {
    SharedPoolId::Bullet,     SharedPoolId::Shell,          SharedPoolId::PlasmaBolt, SharedPoolId::BluePlasmaBolt,
    SharedPoolId::Explode1,   SharedPoolId::MExplode,       SharedPoolId::HVSegment,  SharedPoolId::Missile,
    SharedPoolId::Rocket,     SharedPoolId::MSmoke,         SharedPoolId::Smoky,      SharedPoolId::ClusterGrenade,
    SharedPoolId::Grenade,    SharedPoolId::AMCapsule,      SharedPoolId::Projectile, SharedPoolId::NuclearShock,
    SharedPoolId::Fire1,      SharedPoolId::Dust,           SharedPoolId::Shrapnel,   SharedPoolId::Firetail,
};
static_assert(std::size(SavedSharedPools) == kSavedSharedPoolCount);

ConstructPool* SharedPools[kSharedPoolCount];
ConstructPool* FragPool = nullptr;
ConstructPool* PreloadedPool = nullptr;
ConstructPool* DeadBodyPool = nullptr;

namespace {

constexpr int kPathSize = 512;

// "<object root>\<folder>" / "<object root>\<folder>\<name>".
void RootPath(char* out, const char* folder) {
    std::snprintf(out, kPathSize, "%s%c%s", OBJROOT, kPathSeparator, folder);
}
void SubPath(char* out, const char* folder, const char* name) {
    std::snprintf(out, kPathSize, "%s%c%s%c%s", OBJROOT, kPathSeparator, folder, kPathSeparator, name);
}

void PoolArgument(char* out, const SharedPoolDef& def) {
    switch (def.dir) {
        case PoolDir::Weapons:
            RootPath(out, "weapons");
            return;
        case PoolDir::WeaponsSub:
            SubPath(out, "weapons", def.sub);
            return;
        case PoolDir::Misc:
            RootPath(out, "misc");
            return;
    }
}

construct* Create(ItfcProc itfc, construct* arg, const char* path) {
    return reinterpret_cast<construct*>(itfc(arg, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
}

// Refuses a preloaded object past the pool's capacity before it is made, naming it.
void CheckPreloadedRoom(const char* path) {
    if (PreloadedPool->count >= PreloadedPool->capacity)
        FatalErrorF("Error(PreloadWeapons): more than %d preloaded objects, no room for '%s'",
                    PreloadedPool->capacity, path);
}

// One preloaded instance of a type, appended under its path; a type not built yet is left out.
void Preload(PoolType type, const char* path) {
    ItfcProc itfc = PoolTypeItfc(type);
    if (!itfc) {
        DebugPrintf("preloaded: type %s is not built yet\n", PoolTypeNames[static_cast<int>(type)]);
        return;
    }
    CheckPreloadedRoom(path);
    if (construct* con = Create(itfc, nullptr, path)) AppendNamedToConstructPool(PreloadedPool, con, path);
}

}  // namespace

void PreloadWeapons() {
    PreloadedPool = CreateConstructPool(kPreloadedCapacity, "preloaded");
    char weapons[kPathSize];
    RootPath(weapons, "weapons");
    for (PoolType t : {PoolType::Missile, PoolType::Rocket, PoolType::Bullet, PoolType::BulletSplash, PoolType::Shell,
                       PoolType::ShellSplash, PoolType::ShellExpl, PoolType::ShieldHit, PoolType::HitSpark,
                       PoolType::Shockwave, PoolType::Explode1, PoolType::MExplode, PoolType::HVSegment,
                       PoolType::MSmoke, PoolType::ClusterGrenade, PoolType::Grenade, PoolType::GrenadeSplash,
                       PoolType::AMCapsule, PoolType::Projectile, PoolType::NuclearShock, PoolType::Fire1})
        Preload(t, weapons);

    struct Own {
        PoolType type;
        PoolDir dir;
        const char* sub;
    };
    static constexpr Own kOwn[] = {
        {PoolType::Vapour, PoolDir::WeaponsSub, "vapour1"},
        {PoolType::ShellCase, PoolDir::WeaponsSub, "shellcase"},
        {PoolType::Dust, PoolDir::Misc, nullptr},
        {PoolType::Shrapnel, PoolDir::Weapons, nullptr},
        {PoolType::FireTail, PoolDir::Weapons, nullptr},
        {PoolType::LaserSeg, PoolDir::WeaponsSub, "rlaserseg"},
        {PoolType::LaserSeg, PoolDir::WeaponsSub, "rlasersegs"},
        {PoolType::LaserSeg, PoolDir::WeaponsSub, "blaserseg"},
        {PoolType::LaserSeg, PoolDir::WeaponsSub, "blasersegs"},
        {PoolType::LightningSeg, PoolDir::WeaponsSub, "lightningseg"},
        {PoolType::LightningSeg, PoolDir::WeaponsSub, "lightningsegs"},
        {PoolType::PlasmaBolt, PoolDir::WeaponsSub, "plasmabolt"},
        {PoolType::PlasmaBolt, PoolDir::WeaponsSub, "bplasmabolt"},
        {PoolType::PlasmaSplash, PoolDir::WeaponsSub, "plasplash"},
        {PoolType::PlasmaSplash, PoolDir::WeaponsSub, "bplasplash"},
    };
    for (const Own& own : kOwn) {
        char path[kPathSize];
        PoolArgument(path, SharedPoolDef{"", own.type, 0, own.dir, own.sub});
        Preload(own.type, path);
    }

    static constexpr const char* kFragDirs[] = {"ema",      "ga",     "merc",   "e1post", "e9fir", "eurotree", "g4bush",
                                                "g4stree", "g4tree", "metal",  "phone",  "stone", "wheel",    "wood"};
    for (const char* name : kFragDirs) {
        char dir[kPathSize];
        SubPath(dir, "frags", name);
        PreloadFragments(dir);
    }

    // The firs are placed by the world files in numbers; their one preloaded instance is cloned.
    for (const char* name : {"e9fir1", "e9fir2", "e9fir3", "e9fir4"}) {
        Unit* unit = NamedUnit(name);
        if (!unit) FatalErrorF("Error(PreloadWeapons): the units file has no entry '%s'", name);
        CheckPreloadedRoom(unit->path);
        auto* con = reinterpret_cast<construct*>(UnitType_itfc(unit, nullptr, ItfcMethod::CREATE, 0));
        if (con) AppendNamedToConstructPool(PreloadedPool, con, unit->path);
    }
}

void PreloadFragments(const char* directory) {
    ItfcProc shard = PoolTypeItfc(PoolType::Shard);
    for (int n = 1;; ++n) {
        char path[kPathSize];
        std::snprintf(path, sizeof path, "%s%cfrag%d", directory, kPathSeparator, n);
        if (!qzpk_exists(path)) return;
        if (!shard) {
            DebugPrintf("preloaded: type Shard is not built yet: fragments of %s left out\n", directory);
            return;
        }
        CheckPreloadedRoom(path);
        if (construct* con = Create(shard, nullptr, path)) AppendNamedToConstructPool(PreloadedPool, con, path);
    }
}

construct* ClonePreloaded(ItfcProc itfc, const char* path) {
    if (!PreloadedPool || !itfc || !path) return nullptr;
    const construct* found = NamedConstructInPool(PreloadedPool, itfc, path);
    return found ? CopyConstruct(found) : nullptr;
}

void FreePreloaded() {
    DeleteSharedPool(PreloadedPool);
    PreloadedPool = nullptr;
}

ConstructPool* CreateSharedPool(int count, const char* name, ItfcProc itfc, const char* argument) {
    ConstructPool* pool = CreateConstructPool(count, name);
    if (!itfc) {
        DebugPrintf("shared pool %s: its type is not built yet, the pool stays empty\n", name);
        return pool;
    }
    for (int i = 0; i < count; ++i) {
        if (i > 0) dxgl_UpdateStreams();
        if (construct* con = Create(itfc, nullptr, argument)) AppendToConstructPool(pool, con);
    }
    return pool;
}

void CreateSharedPools() {
    // The stored effects' and projectiles' forms are checked by a load of a saved game of this level.
    RegisterEffectSavedChecks();
    RegisterWeaponSavedChecks();
    for (int i = 0; i < kSharedPoolCount; ++i) {
        const SharedPoolDef& def = SharedPoolDefs[i];
        char argument[kPathSize];
        PoolArgument(argument, def);
        SharedPools[i] = CreateSharedPool(def.capacity, def.name, PoolTypeItfc(def.type), argument);
    }
    FragPool = CreateConstructPool(kFragPoolCapacity, "frag");
}

void DeleteSharedPool(ConstructPool* pool) {
    if (!pool) return;
    while (pool->count > 0) {
        construct* con = pool->constructs[0];
        RemoveFromConstructPool(pool, con);
        CallItfc(con, ItfcMethod::DESTROY, 0);
    }
    DeleteConstructPool(pool);
}

void DeleteSharedPools() {
    for (ConstructPool*& pool : SharedPools) {
        DeleteSharedPool(pool);
        pool = nullptr;
    }
    DeleteSharedPool(FragPool);
    FragPool = nullptr;
}

void CreateDeadBodyPool() {
    DeadBodyPool = CreateConstructPool(kDeadBodyPoolCapacity, "deadbody");
}

void DeleteDeadBodyPool() {
    if (!DeadBodyPool) return;
    while (DeadBodyPool->count > 0) {
        construct* wreck = DeadBodyPool->constructs[0];
        RemoveFromConstructPool(DeadBodyPool, wreck);
        CallItfc(wreck, ItfcMethod::UNPLACE, 0);
        CallItfc(wreck, ItfcMethod::DESTROY, 0);
    }
    DeleteConstructPool(DeadBodyPool);
    DeadBodyPool = nullptr;
}
