// The demo island's world file, read by the game's reader: its size, textures, sea, lake, ford, flat
// sites and hill are where the demo's scripts expect them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "render/Sky.h"
#include "host/Fs.h"
#include "objects/Units.h"
#include "platform/Texture.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Sky.h"
#include "tools/mkdemo/Demo.h"
#include "game/Startup.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"

namespace {

TEST(DemoIsland, TheIslandReadsBackWithItsPlaces) {
    kvtest::FatalCatcher fatal;
    kvtest::TempDir dir;
    const std::vector<uint8_t> bytes = mkdemo::DemoIslandWorld();
    ASSERT_TRUE(datakit::WriteFile(dir / "Maps/Ema01", bytes));
    // The objects the island's sky loads (the demo's moon is textured; an untextured one reads alike).
    ASSERT_TRUE(datakit::WriteFile(dir / "Objects/sky/halo", datakit::HaloObject().Bytes()));
    ASSERT_TRUE(datakit::WriteFile(dir / "Objects/sky/moon", datakit::MoonObject().Bytes()));
    char objRoot[kRootSize];
    std::snprintf(objRoot, sizeof objRoot, "%s", OBJROOT);
    std::snprintf(OBJROOT, sizeof OBJROOT, "Objects");
    const std::string old = std::filesystem::current_path().string();
    host::SetWorkingDirectory(dir.path().c_str());
    host::FlushDirectoryCache();
    char mission[64];
    std::snprintf(mission, sizeof mission, "%s", MissionName);
    std::snprintf(MissionName, sizeof MissionName, "Ema01");
    ResetMatrixGlobals();
    // The action units name these entries; their types are not needed to read the definitions.
    std::vector<Unit*> entries;
    for (const char* name : {"EMAJeep", "GAJeep", "Depot", "LBunker", "Bunker", "GABunker", "Tower", "Gate", "Lift",
                             "EnergyGate", "Hut", "Barrier", "Pump", "Lamp", "LampPost", "Crate", "Tree", "Trees", "Pole",
                             "Fence", "Panel", "Mast", "NavPoint"}) {
        entries.push_back(CreateUnit());
        entries.back()->name = qzStrDup(name, "unit name");
    }
    LoadQZWD("Maps\\Ema01");

    matrix* m = CurrentMatrix;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->width, 64);
    EXPECT_EQ(m->height, 64);
    ASSERT_EQ(TexCount, 5);
    EXPECT_STREQ(TexTable[0]->name, "grass");
    EXPECT_STREQ(TexTable[4]->name, "concrete");
    ASSERT_NE(FindQZWDChunk(kChunkSky, 0), nullptr);
    // The sky has the eleven laterals the sky drawing reads.
    ASSERT_NE(WorldSkyCell, nullptr);
    EXPECT_EQ(WorldSkyCell->lateralCount, 11);
    EXPECT_NE(FindQZWDChunk(kChunkAUDef7, 1), nullptr);
    ASSERT_EQ(AUDefCount, 8);
    for (const char* au : {"EMA_TaskForce", "GA_Outpost", "EMA_Base", "GA_Buildings", "Island_Scenery", "EMA_BaseGate",
                           "EMA_NavPoints", "EMA_DataPoint"})
        EXPECT_NE(NamedAUDef(au), nullptr) << au;

    auto ground = [&](int32_t x, int32_t z) {
        const int32_t pos[3] = {x, 0, z};
        return GroundHeight(m, pos, 0, 0, nullptr) / 8;
    };
    const int32_t water = 4;
    // The sea around the island and outside the grid.
    EXPECT_LT(ground(65536, 65536), water);
    EXPECT_EQ(ground(-65536, 20 * 65536), -2000);
    // The lake and the ford: under water, the ford only just.
    const mkdemo::DemoPlace lake = mkdemo::DemoIslandPlace("lake"), ford = mkdemo::DemoIslandPlace("ford");
    EXPECT_LT(ground(lake.x, lake.z), -300);
    EXPECT_LT(ground(ford.x, ford.z), water);
    EXPECT_GT(ground(ford.x, ford.z), -50);
    // The flat sites: level within half their radius.
    const struct {
        const char* name;
        int32_t height;
    } sites[] = {{"ema_base", 800}, {"ga_outpost", 900}, {"camp", 700}};
    for (const auto& s : sites) {
        const mkdemo::DemoPlace p = mkdemo::DemoIslandPlace(s.name);
        for (int32_t dx = -p.radius / 2; dx <= p.radius / 2; dx += 4096)
            for (int32_t dz = -p.radius / 2; dz <= p.radius / 2; dz += 4096)
                if (int64_t(dx) * dx + int64_t(dz) * dz <= int64_t(p.radius / 2) * (p.radius / 2)) {
                    ASSERT_EQ(ground(p.x + dx, p.z + dz), s.height) << s.name;
                }
    }
    const mkdemo::DemoPlace hill = mkdemo::DemoIslandPlace("hill");
    EXPECT_GT(ground(hill.x, hill.z), 10000);
    // The ground textures: every one is used somewhere.
    int used[5] = {};
    for (int32_t k = 0; k < 64 * 64; ++k)
        for (uint16_t t : m->tileField[k].tex) ++used[t];
    for (int t = 0; t < 5; ++t) EXPECT_GT(used[t], 0) << t;

    FreeMatrix(CurrentMatrix);
    CurrentMatrix = nullptr;
    FreeQZWDKeptChunks();
    FreeSkyCell(WorldSkyCell);
    WorldSkyCell = nullptr;
    std::snprintf(OBJROOT, sizeof OBJROOT, "%s", objRoot);
    while (AUDefCount > 0) DeleteAUDef(AUDefTable[0]);
    for (Unit* u : entries) FreeUnit(u);
    while (TexCount) DeleteTex(TexTable[TexCount - 1]);
    offmatrixclone_idx = 0;
    std::snprintf(MissionName, sizeof MissionName, "%s", mission);
    host::SetWorkingDirectory(old.c_str());
    host::FlushDirectoryCache();
}

}  // namespace
