// Cost of a world tick on the demo island with 500 tracked units driving and firing: the showroom level
// (the mission "Showroom" of the demo tree in KV_DEMO, by default build/bench/demo, which `make bench`
// writes) with 125 units of each tracked type on the land of a grid over the island, every unit driven
// through one player cell holding its throttle and both fire keys and turning a little: each tick runs
// their chain drives over the terrain, their turrets, weapons and chain parts, the collision pass, and the
// flights of what they throw. A level holds at most 128 construct pools, and every tracked unit has one
// for its track marks (the howitzers a second for their aiming markers): the units of the benchmark give
// theirs up when they are placed and run without marks. They are busy every tick, as in a networked game
// (in a single-player level the pool of the units ticked every second tick holds 256).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Config.h"
#include "core/Keys.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "objects/Units.h"
#include "vehicles/types/EMAHaubitze.h"
#include "vehicles/types/EMALinebacker.h"
#include "vehicles/types/EMASnowMob.h"
#include "vehicles/types/EMATank.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "game/WorldTick.h"

namespace {

constexpr const char* kTypes[] = {"EMATank", "EMAHaubitze", "EMALinebacker", "EMASnowMob"};

PlayerCell* Driver = nullptr;

// Destroys a pool of marks and everything in it.
void DropPool(ConstructPool*& pool, uintptr_t destroyArg) {
    if (!pool) return;
    while (pool->count > 0) {
        construct* mark = pool->constructs[0];
        RemoveFromConstructPool(pool, mark);
        CallItfc(mark, ItfcMethod::DESTROY, destroyArg);
    }
    DeleteConstructPool(pool);
    pool = nullptr;
}

// A structure no hit wears down (the recovery holds the state to its maxima).
void Unbreakable(construct* c) {
    auto* head = static_cast<VehicleHead*>(c->itfcData);
    head->state.structure = head->maxima.structure = 1 << 30;
}

void DropMarks(construct* c) {
    const std::string name = reinterpret_cast<const char*>(CallItfc(c, ItfcMethod::GETNAME));
    if (name == "EMATank") DropPool(static_cast<EMATankBlock*>(c->itfcData)->drive.markPool, 0);
    if (name == "EMALinebacker") DropPool(static_cast<EMALinebackerBlock*>(c->itfcData)->drive.markPool, 0);
    if (name == "EMASnowMob") DropPool(static_cast<EMASnowMobBlock*>(c->itfcData)->drive.markPool, 0);
    if (name == "EMAHaubitze") {
        auto* b = static_cast<EMAHaubitzeBlock*>(c->itfcData);
        DropPool(b->drive.markPool, 0);
        DropPool(b->turret.markers, 1);
    }
}

// Enters the demo tree, builds the showroom and places the 500 units once for all benchmarks.
bool BuildScene() {
    static int built = -1;
    if (built >= 0) return built == 1;
    const char* env = std::getenv("KV_DEMO");
    const std::string dir = std::filesystem::absolute(env && *env ? env : "build/bench/demo").string();
    built = 0;
    if (!std::filesystem::exists(dir + "/Scripts/Showroom.txt")) return false;
    host::SetHeadless(true);
    host::SetWorkingDirectory(dir.c_str());
    qzpk_init("Vexa.qzp");
    ReadConfigFile("Vexa.cfg");
    ReadRules("app/rules");
    ReadPathsFile("app/paths");
    OpenDisplay();
    InitGameData();
    snprintf(MissionName, sizeof MissionName, "Showroom");
    InitLevel(0);
    Driver = CreatePlayer("driver");
    const int multiplayer = MultiplayerOn;
    MultiplayerOn = 1;  // the units' busy level: every tick
    // 500 units 80000 apart (a tile and a quarter) on the land of a grid over the island, none in the sea,
    // the lake or the river (a unit that drowns would leave the scene).
    int placed = 0;
    for (int cell = 0; placed < 500 && cell < 48 * 48; ++cell) {
        PlacementRecord place{};
        place.x = 6 * 65536 + (cell % 48) * 80000;
        place.z = 6 * 65536 + (cell / 48) * 80000;
        const int32_t at[3] = {place.x, 0, place.z};
        if (GroundHeight(CurrentMatrix, at, 0, 0, nullptr) < 2000) continue;
        Unit* entry = NamedUnit(kTypes[placed % 4]);
        auto* c = reinterpret_cast<construct*>(UnitType_itfc(entry, nullptr, ItfcMethod::CREATE, 0));
        c->clan = PlayerClan;
        place.heading = (placed * 37000) % 411774;
        place.strength = 100;
        UnitType_itfc(entry, c, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&place));
        DropMarks(c);
        // Their shots strike each other: so that the scene stays the same while it is timed, none dies.
        Unbreakable(c);
        c->playerCell = Driver;
        FlushQZEvents();  // each placing queues the unit's entry into its busy pool
        ++placed;
    }
    MultiplayerOn = multiplayer;
    // The showroom's own two groups fight the benchmark's units where they meet: none of them dies either.
    for (const char* au : {"Showroom_EMA", "Showroom_GA"})
        if (const AUDef* def = NamedAUDef(au))
            for (int i = 0; def->pool && i < def->pool->count; ++i)
                Unbreakable(def->pool->constructs[i]);
    built = 1;
    return true;
}

void BM_WorldTick500Tracked(benchmark::State& state) {
    if (!BuildScene()) {
        state.SkipWithError("no demo tree: run mkdemo --out build/bench/demo or set KV_DEMO");
        return;
    }
    ControlInput in{};
    for (PilotKey k : {PilotKey::THRUST1, PilotKey::FIRE1, PilotKey::FIRE2}) SetInputKey(&in, static_cast<int>(k), true);
    int tick = 0;
    const auto step = [&] {
        // The steering axis sweeps slowly, so the hulls turn while they drive.
        in.axes[0] = static_cast<int16_t>((tick++ * 64) & 0xFFFF);
        Driver->unitBefore = Driver->unitNow;
        Driver->unitNow = in;
        WorldTick(1, 1);
    };
    for (int i = 0; i < 100; ++i) step();  // the units under way, the first shots in the air
    for (auto _ : state) step();
    state.SetItemsProcessed(state.iterations());  // items are ticks: items per second is ticks per second
}
BENCHMARK(BM_WorldTick500Tracked)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
