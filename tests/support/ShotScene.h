// The demo island with armed units: the island, the demo's rules and object files written into a
// temporary tree, the busy pools and the shared projectile pools made as a level makes them, and a small
// stand-in unit type that carries one projectile thrower. The stand-in does what a vehicle's TICK does
// for a shot: its AI (STEERAI) holds the fire key while told to, its TICK hands the fire bit to
// PjtThrower_fire, counts the weapon's delays down and takes the hits that the collision pass put into
// its slots through ApplyHitToUnit and SpawnDebris. Used by the end-to-end shot test and the benchmark.
#pragma once

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/Itfc.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/Texture.h"
#include "render/Sky.h"
#include "support/FPTables.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"
#include "tools/mkdemo/Demo.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"

namespace kvtest {

struct ShotUnitBlock {
    UnitShare share;
    StateRecord state;
    MaximaRecord maxima;
    PjtThrower weapon;
    int32_t trigger;  // the AI holds the fire key while set
    int32_t volleys;  // volleys thrown
    int32_t hits;     // hits taken
};

inline ShotUnitBlock* ShotBlock(construct* con) { return static_cast<ShotUnitBlock*>(con->itfcData); }

inline uintptr_t ShotUnit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("ShotUnit");
    ShotUnitBlock* b = ShotBlock(con);
    if (method == ItfcMethod::GETUNIT) return reinterpret_cast<uintptr_t>(&b->share);
    if (method == ItfcMethod::GETSTATE) return reinterpret_cast<uintptr_t>(&b->state);
    if (method == ItfcMethod::GETMAXIMA) return reinterpret_cast<uintptr_t>(&b->maxima);
    if (method == ItfcMethod::STEERAI) {
        SetInputKey(reinterpret_cast<ControlInput*>(arg), kInputFire1, b->trigger != 0);
        return 1;
    }
    if (method != ItfcMethod::TICK) return 0;
    const auto* input = reinterpret_cast<const TickInput*>(arg);
    for (int slot = 0; slot < 4; ++slot) {
        construct* h = con->hits[slot];
        if (!h) continue;
        const auto* damage = reinterpret_cast<const DamageRecord*>(CallItfc(h, ItfcMethod::GETDAMAGE));
        if (damage) {
            const int32_t push[3] = {0, 0, 0};
            const int32_t structure = ApplyHitToUnit(con, slot, &b->state, damage);
            SpawnDebris(con, slot, &b->state, push, structure, 1);
            ++b->hits;
        }
        con->hits[slot] = nullptr;
    }
    PjtThrower_tick(&b->weapon, 1 << con->busyLevel);
    if (b->state.structure > 0 && InputKeyDown(input->records[1], kInputFire1))
        b->volleys += PjtThrower_fire(&b->weapon, nullptr, b->share.velocity);
    return 0;
}

// The weapon of the stand-in: a two-muzzle machine gun throwing from the pool "Bullet".
inline const char* ShotUnitRules() {
    return "ShotUnit_PjtThrower_0_pool \"Bullet\";\n"
           "ShotUnit_PjtThrower_0_range 150000 150000 150000;\n"
           "ShotUnit_PjtThrower_0_speed 6000;\n"
           "ShotUnit_PjtThrower_0_ammo -1;\n"
           "ShotUnit_PjtThrower_0_FireDelay 10;\n"
           "ShotUnit_PjtThrower_0_ImpactPhysical 2;\n"
           "ShotUnit_PjtThrower_0_ImpactShield 4;\n"
           "ShotUnit_PjtThrower_0_ImpactStructure 6;\n"
           "ShotUnit_PjtThrower_0_MuzzleNo 2;\n"
           "ShotUnit_PjtThrower_0_muzzle_0 -1500 2000 14000;\n"
           "ShotUnit_PjtThrower_0_muzzle_1 1500 2000 14000;\n"
           "ShotUnit_PjtThrower_0_MuzzlesCombined 1;\n"
           "end\n";
}

class ShotScene {
public:
    explicit ShotScene(const std::string& sourceDir) {
        EnsureFPTables();
        previous_ = std::filesystem::current_path().string();
        mkdemo::Context ctx{dir_.path(), sourceDir + "/data", false};
        datakit::WriteFile(dir_ / "Maps/Ema01", mkdemo::DemoIslandWorld());
        ok_ = mkdemo::BuildCoreFiles(ctx) && mkdemo::BuildObjects(ctx) && mkdemo::BuildTextures(ctx) &&
              datakit::WriteRulesText(dir_ / "shotunit.txt", ShotUnitRules());
        host::SetWorkingDirectory(dir_.path().c_str());
        host::FlushDirectoryCache();
        if (!ok_) return;
        ReadPathsFile("app/paths");
        FreeRules();
        ReadRules("app/rules");
        ReadRules("shotunit.txt");
        std::snprintf(mission_, sizeof mission_, "%s", MissionName);
        std::snprintf(MissionName, sizeof MissionName, "Ema01");
        ResetMatrixGlobals();
        // The action units name the entries of the demo's units file (their types are not needed here).
        ReadUnitsFile("app/units");
        shotEntry_ = Entry("ShotUnit");
        LoadQZWD("Maps\\Ema01");
        VisiblePool = CreateConstructPool(2048, "visible");
        const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
        for (int i = 0; i < 4; ++i) BuzyPools[i] = CreateConstructPool(1024, names[i]);
        CreateSharedPools();
    }
    ~ShotScene() {
        BuzyGuard = 0;
        ClearQZEvents();
        for (construct* con : units_) {
            PjtThrower_free(&ShotBlock(con)->weapon);
            FreeConstruct(con);
        }
        DeleteSharedPools();
        while (ConstructPoolCount > 0) DeleteConstructPool(ConstructPoolTable[0]);
        VisiblePool = nullptr;
        for (auto& p : BuzyPools) p = nullptr;
        if (CurrentMatrix) FreeMatrix(CurrentMatrix);
        CurrentMatrix = nullptr;
        FreeQZWDKeptChunks();
        // The island's sky: a scene made again in the same process reads the world file again.
        FreeSkyCell(WorldSkyCell);
        WorldSkyCell = nullptr;
        while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
        while (TexCount) DeleteTex(TexTable[TexCount - 1]);
        offmatrixclone_idx = 0;
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        FreeRules();
        std::snprintf(MissionName, sizeof MissionName, "%s", mission_);
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
    }
    bool ok() const { return ok_; }

    // A stand-in unit standing on the ground at (x, z), facing along (dx, dz) (any length), busy at level
    // 0, with the given structure and shield.
    construct* Place(int32_t x, int32_t z, int32_t dx, int32_t dz, int32_t structure, int32_t shield) {
        construct* con = CreateConstruct(0, kConInputDriven);
        con->itfc = ShotUnit_itfc;
        con->unit = shotEntry_;
        auto* b = static_cast<ShotUnitBlock*>(AllocItfcData(con, sizeof(ShotUnitBlock)));
        b->state = {shield, structure, 0};
        b->maxima = {shield, structure, 0};
        const int32_t at[3] = {x, 0, z};
        con->pos[0] = x;
        con->pos[1] = GroundHeight(CurrentMatrix, at, 0, 0, nullptr);
        con->pos[2] = z;
        // Forward (dx, 0, dz), up y, sideways their cross product.
        const double len = std::sqrt(double(dx) * dx + double(dz) * dz);
        const int32_t fx = int32_t(dx / len * 32767), fz = int32_t(dz / len * 32767);
        const int32_t m[9] = {fz, 0, -fx, 0, 32767, 0, fx, 0, fz};
        std::memcpy(con->orient, m, sizeof m);
        con->sphere.radius = 12000;
        for (int k = 0; k < 8; ++k)
            for (int a = 0; a < 3; ++a) con->box.corners[k][a] = ((k >> a) & 1) ? 2500 : -2500;
        con->sampleCornerCount = 4;
        for (uint8_t k = 0; k < 4; ++k) con->sampleCorners[k] = static_cast<uint8_t>(k * 2);
        con->collisionClass = 2;
        std::memcpy(b->share.lastPos, con->pos, sizeof con->pos);
        PjtThrower_init(&b->weapon, con, con, 0, 1.0f);
        ActivateConstruct(con);
        MakeBuzy(con, 0);
        units_.push_back(con);
        return con;
    }

private:
    static Unit* Entry(const char* name) {
        Unit* u = CreateUnit();
        u->name = qzStrDup(name, "unit name");
        u->rulePrefix = qzStrDup(name, "unit name");
        return u;
    }

    TempDir dir_;
    std::string previous_;
    char mission_[64] = {};
    bool ok_ = false;
    Unit* shotEntry_ = nullptr;
    std::vector<construct*> units_;
};

}  // namespace kvtest
