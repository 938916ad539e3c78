// Preloaded objects and shared pools. Projectiles and effects are never loaded while a level runs: at the
// level's build step "create shared pools" one instance of each kind is loaded into the pool "preloaded",
// then each kind gets a named pool of a fixed number of deep copies; fragment shards get the empty pool
// "frag" and wrecks the empty pool "deadbody". Users take a free instance with the cyclic search
// (NextFreeInConstructPool) and let it deactivate itself when it ends.
#pragma once

#include <cstdint>

#include "objects/Itfc.h"

struct ConstructPool;
struct construct;

// The projectile and effect types that live in the pools, reached by their dispatcher directly (they are
// not in the units-file registry). A slot stays null until its type is built; a pool of a type not built
// yet is made empty.
enum class PoolType : int {
    Bullet, BulletSplash, Shell, ShellSplash, ShellExpl, ShellFlare, ShieldHit, HitSpark, Fragment,
    Shockwave, Explode1, MExplode, HVSegment, Missile, Rocket, MSmoke, Smoky, ClusterGrenade, Grenade,
    GrenadeSplash, AMCapsule, Projectile, NuclearShock, Sensor, Fire1, Vapour, ShellCase, Dust, Shrapnel,
    FireTail, LaserSeg, LightningSeg, PlasmaBolt, PlasmaSplash, Shard,
    Count
};
constexpr int kPoolTypeCount = static_cast<int>(PoolType::Count);
// Each type fills its slot when it is built.
extern ItfcProc PoolTypeItfcs[kPoolTypeCount];
// The type names, in enum order.
extern const char* const PoolTypeNames[kPoolTypeCount];
inline ItfcProc PoolTypeItfc(PoolType t) { return PoolTypeItfcs[static_cast<int>(t)]; }

// The shared pools, in the order of creation.
enum class SharedPoolId : int {
    Bullet, BulletSplash, Shell, ShellSplash, ShellExpl, ShellFlare, ShieldHit, HitSpark, Fragment,
    Shockwave, Explode1, MExplode, HVSegment, Missile, Rocket, MSmoke, Smoky, ClusterGrenade, Grenade,
    GrenadeSplash, AMCapsule, Projectile, NuclearShock, Sensor, Fire1, Vapour, ShellCase, Dust, Shrapnel,
    Firetail, RLaserSeg, RSLaserSeg, BLaserSeg, BSLaserSeg, LightningSeg, SLightningSeg, PlasmaBolt,
    PlasmaSplash, BluePlasmaBolt, BluePlasmaSplash,
    Count
};
constexpr int kSharedPoolCount = static_cast<int>(SharedPoolId::Count);

// Where a pool's instances are loaded from: the weapons folder of the object root, one of its
// subfolders, or the object root's folder "misc".
enum class PoolDir : int { Weapons, WeaponsSub, Misc };

struct SharedPoolDef {
    const char* name;    // the pool's name
    PoolType type;       // the type of its instances
    int32_t capacity;    // instances made
    PoolDir dir;         // CREATE argument
    const char* sub;     // the weapons subfolder for PoolDir::WeaponsSub, else null
};
// The table of the shared pools, in the order of creation.
extern const SharedPoolDef SharedPoolDefs[kSharedPoolCount];

// The pools of a level; every one is null outside a level.
extern ConstructPool* SharedPools[kSharedPoolCount];
extern ConstructPool* FragPool;       // "frag", 200, filled by SpawnFrags
extern ConstructPool* PreloadedPool;  // "preloaded", 300
extern ConstructPool* DeadBodyPool;   // "deadbody", 40
inline ConstructPool* SharedPool(SharedPoolId id) { return SharedPools[static_cast<int>(id)]; }

// The wreck type's dispatcher ("DeadBody"): the wreck type fills it when it is built; null until then.
// CREATE takes the units-file entry as its construct argument and the entry's path as its argument and
// answers a new wreck; PLACE (argument 0) places it. A saved game makes its wrecks through it.
extern ItfcProc DeadBodyItfc;

constexpr int kPreloadedCapacity = 300;
constexpr int kFragPoolCapacity = 200;
constexpr int kDeadBodyPoolCapacity = 40;

// The shared pools a saved game holds, in the order it writes and reads them.
constexpr int kSavedSharedPoolCount = 20;
extern const SharedPoolId SavedSharedPools[kSavedSharedPoolCount];

// Creates "preloaded" and loads one instance of each kind, the fragment directories and the entries
// "e9fir1".."e9fir4" into it. A missing e9fir entry is fatal.
void PreloadWeapons();
// Appends a Shard of each fragment file "<directory>\frag1", "frag2", ... up to the first missing one.
void PreloadFragments(const char* directory);
// A deep copy of the preloaded construct of that dispatcher and path; 0 when there is none.
construct* ClonePreloaded(ItfcProc itfc, const char* path);
// DESTROYs every preloaded construct and deletes the pool.
void FreePreloaded();

// Creates the shared pools of the table and the pool "frag".
void CreateSharedPools();
// A pool of count instances made by the dispatcher's CREATE with the argument; the music streams are
// serviced between two creations. A null dispatcher (a type not built yet) leaves the pool empty.
ConstructPool* CreateSharedPool(int count, const char* name, ItfcProc itfc, const char* argument);
// Deletes the shared pools and "frag", each global becoming null.
void DeleteSharedPools();
// DESTROYs and removes every construct of the pool, then deletes it.
void DeleteSharedPool(ConstructPool* pool);

// The wreck pool: created empty; deleting it unplaces and destroys every wreck.
void CreateDeadBodyPool();
void DeleteDeadBodyPool();
