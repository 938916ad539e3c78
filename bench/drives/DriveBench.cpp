// Cost of one update of the ground drives and the wreck physics on a sloped terrain: the contact pass
// (four corners, interpolated ground heights), the turning of the orientation and the integration.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "tools/datakit/FPTables.h"
#include "tools/datakit/RulesText.h"
#include "vehicles/modules/ChainDrive.h"
#include "vehicles/modules/DeadBodyPhysics.h"
#include "vehicles/modules/WheelDrive.h"
#include "world/Construct.h"
#include "world/Terrain.h"

namespace {

constexpr int32_t kTiles = 8;

// Tables, rules and an 8 x 8 tile terrain rising along z, made once.
void Scene() {
    static bool made = false;
    if (made) return;
    made = true;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kv-bench-drives";
    std::filesystem::create_directories(dir);
    datakit::WriteFPTables(dir.string());
    datakit::WriteRulesText((dir / "rules").string(),
                            "tank_TurnRate 200; tank_LockRecenterRate 0.02; tank_ThrottleInc 0.05 0.02;"
                            "tank_SpeedConstraint -1500 3000; tank_AccessType LAND0; tank_ChainAnimScale 0.01;"
                            "jeep_TurnRate 300; jeep_acceleration 60 120; jeep_MaxWheelLock 30000;"
                            "jeep_WheelRecenterRate 500; jeep_TorqueFactor 30; jeep_SpeedConstraint -1500 3600;"
                            "jeep_AccessType LAND0; end\n");
    host::FlushDirectoryCache();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    LoadFPTables();
    std::filesystem::current_path(previous);
    ReadRules((dir / "rules").string().c_str());

    matrix* m = CreateMatrix();
    m->width = m->height = kTiles;
    const int32_t tiles = kTiles * kTiles;
    m->tileField = static_cast<TileFieldEntry*>(qzAlloc(int(sizeof(TileFieldEntry)) * tiles, "matrix tile field"));
    std::memset(m->tileField, 0, sizeof(TileFieldEntry) * size_t(tiles));
    m->tileDefPool = static_cast<SubPoint*>(qzAlloc(tiles * kTileSubPoints * kSubPointBytes, "tile def pool"));
    m->tileDefPoolSize = tiles * kTileSubPoints * kSubPointBytes;
    for (int32_t x = 0; x < kTiles; ++x)
        for (int32_t z = 0; z < kTiles; ++z) {
            const int32_t k = x * kTiles + z;
            m->tileField[k].def = k * kTileSubPoints * kSubPointBytes;
            for (uint16_t& t : m->tileField[k].tex) t = kNoTexture;
            for (int32_t zi = 0; zi < 16; ++zi)
                for (int32_t xi = 0; xi < 16; ++xi) {
                    SubPoint& sp = m->tileDefPool[k * kTileSubPoints + zi * 16 + xi];
                    sp.height = int16_t(1000 + 16 * (z * 16 + zi) + 3 * xi);
                    sp.flags = kSubSolid;
                    sp.access = 0;
                }
        }
    CurrentMatrix = m;
}

construct* Hull(const char* name) {
    Unit* u = CreateUnit();
    u->name = qzStrDup(name, "unit name");
    u->rulePrefix = qzStrDup(name, "unit prefix");
    construct* con = CreateConstruct(0, 0);
    con->unit = u;
    const int32_t corners[8][3] = {{-500, -250, -800}, {-500, 250, -800}, {500, 250, -800}, {500, -250, -800},
                                   {-500, -250, 800},  {-500, 250, 800},  {500, 250, 800},  {500, -250, 800}};
    std::memcpy(con->box.corners, corners, sizeof corners);
    con->sampleCornerCount = 4;
    const uint8_t contact[4] = {0, 3, 4, 7};
    std::memcpy(con->sampleCorners, contact, sizeof contact);
    con->sphere.radius = 4000;
    con->orient[0] = con->orient[4] = con->orient[8] = 32768;
    con->pos[0] = con->pos[2] = 4 * 65536;
    con->pos[1] = InterpGroundHeight(CurrentMatrix, con->pos, nullptr) + 1000;
    return con;
}

// Puts the hull back to the middle of the terrain now and then so that it never leaves it.
void Recentre(construct* con) {
    if (con->pos[2] < 7 * 65536 && con->pos[2] > 65536 && con->pos[0] < 7 * 65536 && con->pos[0] > 65536) return;
    con->pos[0] = con->pos[2] = 4 * 65536;
    con->pos[1] = InterpGroundHeight(CurrentMatrix, con->pos, nullptr) + 1000;
}

void BM_ChainDriveUpdate(benchmark::State& state) {
    Scene();
    construct* con = Hull("tank");
    static ChainDrive d;
    static UnitShare rec;
    ChainDrive_init(&d, con, 0, nullptr, "tank");
    int16_t steer = 0, axis = 0;
    for (auto _ : state) {
        ControlInput in{};
        SetInputKey(&in, kInputThrust1, true);
        axis = int16_t(axis + 20);
        ChainDrive_update(&d, axis, &steer, &rec, int(state.range(0)), &in);
        Recentre(con);
        benchmark::DoNotOptimize(con->pos[2]);
    }
    ChainDrive_release(&d);
}
BENCHMARK(BM_ChainDriveUpdate)->Arg(0)->Arg(3);

void BM_WheelDriveUpdate(benchmark::State& state) {
    Scene();
    construct* con = Hull("jeep");
    static WheelDrive d;
    static UnitShare rec;
    WheelDrive_init(&d, con, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    int16_t steer = 0, axis = 0;
    for (auto _ : state) {
        ControlInput in{};
        SetInputKey(&in, kInputThrust1, true);
        axis = int16_t(axis + 5);
        WheelDrive_update(&d, axis, &steer, &rec, int(state.range(0)), &in);
        Recentre(con);
        benchmark::DoNotOptimize(con->pos[2]);
    }
    WheelDrive_release(&d);
}
BENCHMARK(BM_WheelDriveUpdate)->Arg(0)->Arg(3);

// A wreck kept tumbling by an impact every 64 updates.
void BM_DeadBodyUpdate(benchmark::State& state) {
    Scene();
    construct* con = Hull("wreck");
    DeadBodyPhys d;
    DeadBody_physInit(&d, con);
    int n = 0;
    for (auto _ : state) {
        if ((n++ & 63) == 0) {
            const int32_t push[3] = {200000, 0, 100000};
            const int32_t off[3] = {con->pos[0] + 4000, con->pos[1], con->pos[2] + 4000};
            DeadBody_impact(&d, push, off, con->pos, 256);
        }
        DeadBody_physUpdate(&d, 0);
        Recentre(con);
        benchmark::DoNotOptimize(con->pos[1]);
    }
}
BENCHMARK(BM_DeadBodyUpdate);

}  // namespace
BENCHMARK_MAIN();
