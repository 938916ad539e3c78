// Cost of a world tick on the demo island with 2000 live effects of mixed kinds: smoke drifting with the
// wind (ticked every eighth tick, as the spots make it busy), dust, fires with their lights, fireballs,
// burning splinters laying flames, shell cases falling, missiles laying vapour and rockets laying smoke
// with their hit tests, splashes and sparks. Whatever ends during a tick is taken again between two
// timed ticks, so the count stays at 2000.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "core/Config.h"
#include "objects/EffectBlocks.h"
#include "objects/EffectTypes.h"
#include "objects/Projectile.h"
#include "support/ShotScene.h"
#include "vehicles/modules/PjtThrower.h"
#include "game/Level_local.h"

namespace {

struct Mix {
    SharedPoolId pool;
    int live;   // effects of this kind kept alive
    int level;  // busy level they tick at
    const char* folder;  // where the pool's instances are made from (below the object root)
};

// 2000 in all.
const Mix kMix[] = {
    {SharedPoolId::Smoky, 500, 3, "weapons"},         {SharedPoolId::Dust, 300, 0, "misc"},
    {SharedPoolId::Fire1, 150, 0, "weapons"},         {SharedPoolId::Explode1, 100, 0, "weapons"},
    {SharedPoolId::Shrapnel, 100, 0, "weapons"},      {SharedPoolId::ShellCase, 150, 0, "weapons\\shellcase"},
    {SharedPoolId::Vapour, 200, 0, "weapons\\vapour1"}, {SharedPoolId::MSmoke, 100, 0, "weapons"},
    {SharedPoolId::Missile, 50, 0, "weapons"},        {SharedPoolId::Rocket, 50, 0, "weapons"},
    {SharedPoolId::BulletSplash, 100, 0, "weapons"},  {SharedPoolId::HitSpark, 100, 0, "weapons"},
    {SharedPoolId::Firetail, 100, 0, "weapons"},
};

int Live(SharedPoolId id) {
    ConstructPool* p = SharedPool(id);
    int n = 0;
    for (int i = 0; i < p->count; ++i) n += (p->constructs[i]->flags & (kConActive | kConBusy | kConEventPending)) ? 1 : 0;
    return n;
}

// Starts one effect of the kind at a place over the island: the values its spawner gives it.
void Start(const Mix& m, construct* fx, int n) {
    const int32_t x = 10 * 65536 + (n % 40) * 30000, z = 10 * 65536 + (n / 40 % 40) * 30000;
    const int32_t at[3] = {x, 0, z};
    const int32_t ground = InterpGroundHeight(CurrentMatrix, at, nullptr);
    fx->pos[0] = x;
    fx->pos[1] = ground + 3000;
    fx->pos[2] = z;
    fx->effectPhase = 0;
    switch (m.pool) {
        // Ages and lives spread, so that a tick ends a few of each kind rather than all at once.
        case SharedPoolId::Smoky:
            *static_cast<SmokyBlock*>(fx->itfcData) = {{Random() >> 19, 10000, Random() >> 19}, n % 1400};
            break;
        case SharedPoolId::Dust:
            *static_cast<DustBlock*>(fx->itfcData) = {{Random() >> 19, 10000, Random() >> 19}, 20 + n % 60, 100};
            break;
        case SharedPoolId::Fire1: {
            auto* b = static_cast<Fire1Block*>(fx->itfcData);
            b->age = n % 1900, b->lifetime = 2000, b->generations = 0;
            std::memcpy(b->spawn, fx->pos, sizeof b->spawn);
            break;
        }
        case SharedPoolId::Explode1: static_cast<Explode1Block*>(fx->itfcData)->age = n % 250; break;
        case SharedPoolId::Shrapnel: {
            auto* r = static_cast<ShardRecord*>(fx->itfcData);
            *r = ShardRecord{0, 65, 0, 0, {(Random() & 0x1ffff) - 65536, (Random() & 0xffff) + 65536, (Random() & 0x1ffff) - 65536},
                             {float(Random() >> 21), float(Random() >> 21), float(Random() >> 21)}, 0};
            break;
        }
        case SharedPoolId::ShellCase: {
            auto* c = static_cast<ShellCaseRecord*>(fx->itfcData);
            *c = ShellCaseRecord{250, {}, {20000, 400000, 0}, {0, 0, 0}, {Random() >> 18, Random() >> 18, Random() >> 18}};
            fx->pos[1] = ground + 20000;
            break;
        }
        case SharedPoolId::Vapour: *static_cast<VapourBlock*>(fx->itfcData) = {n % 190, 256}; break;
        case SharedPoolId::Missile:
        case SharedPoolId::Rocket: {
            fx->pos[1] = ground + 60000;
            LaunchRecord launch{};
            launch.speed = 2000;
            launch.acceleration = 100;
            launch.range = 4000000;
            launch.firstOfVolley = n % 8 == 0;
            CallItfc(fx, ItfcMethod::LAUNCH, reinterpret_cast<uintptr_t>(&launch));
            break;
        }
        case SharedPoolId::BulletSplash: static_cast<CountdownBlock*>(fx->itfcData)->countdown = 20 + n % 60; break;
        case SharedPoolId::HitSpark: static_cast<HitSparkBlock*>(fx->itfcData)->countdown = 5 + n % 15; break;
        case SharedPoolId::Firetail: static_cast<FireTailBlock*>(fx->itfcData)->age = 1 + n % 8; break;
        default: break;
    }
}

// Takes effects of every kind until each kind has its count alive.
void Refill(int* serial) {
    for (const Mix& m : kMix) {
        ConstructPool* pool = SharedPool(m.pool);
        for (int live = Live(m.pool); live < m.live; ++live) {
            construct* fx = NextFreeInConstructPool(pool);
            if (!fx) break;
            CreateQZEvent(m.level, fx);
            ActivateConstruct(fx);
            fx->owner = nullptr;
            Start(m, fx, (*serial)++);
            if (QZEventCount > kMaxQZEvents / 2) FlushQZEvents();
        }
    }
    FlushQZEvents();
}

void BM_WorldTick2000Effects(benchmark::State& state) {
    kvtest::ShotScene scene(KV_SOURCE_DIR);
    if (!scene.ok()) {
        state.SkipWithError("the demo tree could not be written");
        return;
    }
    CurrentLevel.dustScale = 100;
    CurrentLevel.windVector[0] = 40000;
    CurrentLevel.windVector[2] = 20000;
    dynamic_lighting = 1;
    // The pools hold the mix (the flames laid by the splinters, the trails of the missiles and rockets
    // come on top of it from their own pools, which are made as large).
    for (const Mix& m : kMix) {
        ConstructPool*& pool = SharedPools[static_cast<int>(m.pool)];
        const SharedPoolDef& def = SharedPoolDefs[static_cast<int>(m.pool)];
        DeleteSharedPool(pool);
        char dir[512];
        std::snprintf(dir, sizeof dir, "%s%c%s", OBJROOT, kPathSeparator, m.folder);
        pool = CreateSharedPool(m.live + m.live / 2, def.name, PoolTypeItfc(def.type), dir);
    }
    // Busy and visible pools with room for them all.
    const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
    for (int i = 0; i < 4; ++i) {
        DeleteConstructPool(BuzyPools[i]);
        BuzyPools[i] = CreateConstructPool(4096, names[i]);
    }
    DeleteConstructPool(VisiblePool);
    VisiblePool = CreateConstructPool(4096, "visible");
    int serial = 0;
    Refill(&serial);
    for (int i = 0; i < 60; ++i) {
        WorldTick(1, 0);
        Refill(&serial);
    }
    int live = 0;
    for (const Mix& m : kMix) live += Live(m.pool);
    for (auto _ : state) {
        WorldTick(1, 0);
        state.PauseTiming();
        Refill(&serial);
        state.ResumeTiming();
    }
    state.counters["live"] = live;
    state.SetItemsProcessed(state.iterations());  // items are ticks: items per second is ticks per second
}
BENCHMARK(BM_WorldTick2000Effects)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
