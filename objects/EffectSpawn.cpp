// Effects thrown into the world: the spots of units and buildings (smoke, explosions, fire), parts and
// fragments launched from an owner, and the shard lists of bursting buildings.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/SharedPools.h"
#include "platform/Sound.h"
#include "platform/SoundFx.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace {

constexpr int32_t kLaunchSpeedLimit = 100000;
constexpr int32_t kSmokeRepeat = 100;
constexpr int32_t kShardTimer = 65;
constexpr uint32_t kConNoFire = 0x4000;  // construct flag: its explosions leave no fire

// The type data block as words, null when the construct has none or a smaller one than asked.
int32_t* DataWords(construct* con) {
    return con ? static_cast<int32_t*>(con->itfcData) : nullptr;
}

// A free instance of a shared pool, queued busy at the level, activated and placed at the owner with the
// offset; null when the pool does not exist or none is free.
construct* TakeEffect(SharedPoolId id, int level, construct* owner, const int32_t* offset) {
    ConstructPool* pool = SharedPool(id);
    construct* fx = pool ? NextFreeInConstructPool(pool) : nullptr;
    if (!fx) return nullptr;
    CreateQZEvent(level, fx);
    ActivateConstruct(fx);
    PlaceRelativeToOwner(owner, fx, offset);
    fx->owner = nullptr;  // a pooled effect keeps no owner of an earlier use
    return fx;
}

bboard* FirstBBoard(construct* con) {
    return con->bboardCount > 0 && con->bboards ? con->bboards[0] : nullptr;
}

void SpawnSmoke(construct* con, const SpotRecord& spot) {
    construct* fx = TakeEffect(SharedPoolId::Smoky, 3, con, spot.offset);
    if (!fx) return;
    if (int32_t* w = DataWords(fx)) {
        w[3] = 0;
        w[0] = Random() >> 19;
        w[2] = Random() >> 19;
        w[1] = 10000;
    }
    if (bboard* b = FirstBBoard(fx)) {
        b->size1 = 2500;
        const uint8_t grey = spot.kind == static_cast<int32_t>(SpotKind::BlackSmoke) ? 0 : 255;
        b->colour[0] = b->colour[1] = b->colour[2] = grey;
        b->time = 0;
    }
}

void SpawnFire(construct* con, const SpotRecord& spot) {
    construct* fx = TakeEffect(SharedPoolId::Fire1, 0, con, spot.offset);
    if (!fx) return;
    if (int32_t* w = DataWords(fx)) {
        w[0] = 0;
        w[1] = 2000;
        w[2] = 20;
        w[3] = con->pos[0];
        w[4] = con->pos[1];
        w[5] = con->pos[2];
    }
    fx->effectPhase = 0;
    if (bboard* b = FirstBBoard(fx)) b->fixedFrame = 0;
}

void SpawnExplosion(construct* con, const SpotRecord& spot) {
    PlayUnitSoundAt(con, FX(FXSound::Explo1));
    if (construct* fx = TakeEffect(SharedPoolId::Explode1, 0, con, spot.offset)) {
        if (int32_t* w = DataWords(fx)) w[0] = 0;
        if (bboard* b = FirstBBoard(fx)) b->fixedFrame = 0;
    }
    if (construct* fx = TakeEffect(SharedPoolId::Shockwave, 0, con, spot.offset)) {
        if (int32_t* w = DataWords(fx)) w[0] = 50;
    }
    if (spot.kind == static_cast<int32_t>(SpotKind::ExplosionWithFire) && !(con->flags & kConNoFire))
        SpawnFire(con, spot);
    for (int i = 0; i < 5; ++i) {
        construct* fx = TakeEffect(SharedPoolId::Shrapnel, 0, con, spot.offset);
        if (!fx || !fx->itfcData) continue;
        auto* piece = static_cast<ShardRecord*>(fx->itfcData);
        piece->velocity[0] = (Random() & 0x1ffff) - 65536;
        piece->velocity[1] = (Random() & 0xffff) + 65536;
        piece->velocity[2] = (Random() & 0x1ffff) - 65536;
        for (float& s : piece->spin) s = static_cast<float>(Random() >> 21);
        piece->timer = kShardTimer;
        piece->resting = 0;
    }
}

// A random integer from 0 to n - 1 (n at least 1).
int RandomBelow(int n) {
    return static_cast<int>(static_cast<uint32_t>(Random()) % static_cast<uint32_t>(n));
}

// Starts one launched piece: busy at level 0, active, placed at the owner with its anchor as offset,
// velocity along the anchor turned into the world times the factor of each axis.
void LaunchOne(construct* owner, construct* part, const float factor[3], const float spin[3], int32_t lifetime) {
    CreateQZEvent(QZEventKind::Buzy0, part);
    ActivateConstruct(part);
    const Geom* g = part->lod[0];
    const int32_t anchor[3] = {g ? g->anchor[0] : 0, g ? g->anchor[1] : 0, g ? g->anchor[2] : 0};
    PlaceRelativeToOwner(owner, part, anchor);
    FixVec local{anchor[0], anchor[1], anchor[2]};
    FixVec dir{};
    RotateVecTSafe(&dir, reinterpret_cast<const FixMatrix*>(owner->orient), &local);
    if (!part->itfcData) return;
    auto* piece = static_cast<ShardRecord*>(part->itfcData);
    const int32_t d[3] = {dir.x, dir.y, dir.z};
    for (int k = 0; k < 3; ++k) {
        const double v = static_cast<double>(factor ? factor[k] : 1.0f) * d[k];
        // Only the upper limit belongs to the launch; far below it the value is held to the word's range.
        piece->velocity[k] = v > kLaunchSpeedLimit ? kLaunchSpeedLimit : TruncateToInt32(v);
        piece->spin[k] = spin ? spin[k] : 0.0f;
    }
    piece->resting = 0;
    piece->timer = kShardTimer;
    piece->lifetime = lifetime;
    piece->sinkDepth = 0;
}

bool Launchable(const construct* part) {
    return part && !(part->flags & (kConBusy | kConEventPending));
}

}  // namespace

void UpdateSpotEffects(construct* con) {
    for (int i = 0; i < con->spotCount; ++i) {
        SpotRecord& spot = con->spots[i];
        bool fires = false;
        if (spot.countdown > 0) {
            spot.countdown -= 1 << con->busyLevel;
            if (spot.countdown <= 0) {
                spot.countdown = 0;
                fires = true;
            }
        }
        if (!fires) continue;
        switch (spot.kind) {
            case 0:
            case 1:
                SpawnSmoke(con, spot);
                spot.countdown = kSmokeRepeat;
                break;
            case 4:
            case 5:
                SpawnExplosion(con, spot);
                break;
            case 6:
                SpawnFire(con, spot);
                break;
            default:
                break;
        }
    }
}

void LaunchParts(construct* owner, int count, construct** parts, const float factor[3], const float spin[3]) {
    for (int i = 0; i < count; ++i)
        if (Launchable(parts[i])) LaunchOne(owner, parts[i], factor, spin, 0);
}

void SpawnFrags(construct* owner, const char* name, int count, int available, const float factor[3],
                const float spin[3]) {
    // Without a fragment file there is nothing to make; with one, every piece is made from it.
    if (available < 1 || count < 1 || !name) return;
    char dir[256];
    std::snprintf(dir, sizeof dir, "%s", name);
    for (char* c = dir; *c; ++c)
        if (*c == '/') *c = '\\';
    int k = available > 1 ? RandomBelow(available - 1) : 0;
    ItfcProc shard = PoolTypeItfc(PoolType::Shard);
    for (int n = 0; n < count; ++n) {
        char path[300];
        std::snprintf(path, sizeof path, "app\\objects\\%s\\frag%d", dir, k + 1);
        k = (k + 1 + RandomBelow(5)) % available;
        if (!shard || !FragPool || FragPool->count >= FragPool->capacity) continue;
        auto* piece = reinterpret_cast<construct*>(shard(reinterpret_cast<construct*>(owner->unit),
                                                         ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
        if (!piece) continue;
        AppendToConstructPool(FragPool, piece);
        LaunchOne(owner, piece, factor, spin, 1000);
    }
}

void AllocShards(OwnedConstructs* owned, const char* directory, int count) {
    DestroySubConstructs(owned);
    if (count == -1) {
        count = 0;
        for (;; ++count) {
            char path[300];
            std::snprintf(path, sizeof path, "%s%cfrag%d", directory, kPathSeparator, count + 1);
            if (!qzpk_exists(path)) break;
        }
    }
    ItfcProc shard = PoolTypeItfc(PoolType::Shard);
    if (count < 1) return;
    if (!shard) {
        DebugPrintf("AllocShards: type Shard is not built yet: no shards of %s\n", directory);
        return;
    }
    owned->list = static_cast<construct**>(qzAlloc(static_cast<int>(sizeof(construct*)) * count, "shard list"));
    owned->count = 0;
    for (int n = 1; n <= count; ++n) {
        char path[300];
        std::snprintf(path, sizeof path, "%s%cfrag%d", directory, kPathSeparator, n);
        auto* piece = reinterpret_cast<construct*>(shard(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
        if (piece) owned->list[owned->count++] = piece;
    }
}

void BurstIntoShards(construct* building, int count, construct** shards, SoundDesc* sound) {
    static const int32_t kZeroVelocity[3] = {0, 0, 0};
    if (sound && PlaySampleFor(sound, kSoundPositional, 0, 0))
        dxgl_SetSoundPosition(sound, building->pos, kZeroVelocity, 0, 0);
    for (int i = 0; i < count; ++i) {
        construct* piece = shards[i];
        if (!Launchable(piece)) continue;
        CreateQZEvent(QZEventKind::Buzy0, piece);
        ActivateConstruct(piece);
        const Geom* g = piece->lod[0];
        const int32_t anchor[3] = {g ? g->anchor[0] : 0, g ? g->anchor[1] : 0, g ? g->anchor[2] : 0};
        PlaceRelativeToOwner(building, piece, anchor);
        if (!piece->itfcData) continue;
        FixVec local{anchor[0], anchor[1], anchor[2]};
        FixVec v{};
        RotateVecT(&v, reinterpret_cast<const FixMatrix*>(building->orient), &local);
        auto* rec = static_cast<ShardRecord*>(piece->itfcData);
        rec->velocity[0] = v.x;
        rec->velocity[1] = v.y + std::abs(Random() >> 16);
        rec->velocity[2] = v.z;
        for (float& s : rec->spin) s = static_cast<float>(Random() >> 23);
        rec->timer = kShardTimer;
        rec->resting = 0;
        rec->lifetime = 0;
        rec->sinkDepth = 0;
    }
}

void DestroySubConstructs(OwnedConstructs* owned) {
    if (!owned) return;
    for (int i = 0; i < owned->count; ++i)
        if (owned->list[i]) CallItfc(owned->list[i], ItfcMethod::DESTROY, 0);
    qzFree(owned->list);
    owned->list = nullptr;
    owned->count = 0;
}
