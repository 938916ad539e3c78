// A running level for the harnesses whose data drives one: the demo tree (mkdemo's build steps) written
// once into the harness's folder, the devices opened headless, the vehicle types registered and the units
// file read; the level is the mission "Fuzz", the demo mission's script over a small world of its own
// (8 x 8 tiles of one tile definition, the demo's sky, the demo's two action units of two jeeps each, the
// player's with a unit of every other vehicle type besides), so
// that its saved games stay small. Its state is saved as a restart point that each input starts from.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "objects/Units.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Sky.h"
#include "tools/datakit/WorldFile.h"
#include "tools/mkdemo/Demo.h"
#include "vehicles/types/VehicleFrame.h"
#include "vehicles/types/VehicleTypes.h"
#include "game/Level.h"
#include "world/Player.h"
#include "game/SavedGame.h"
#include "game/Startup.h"

namespace kvfuzz {

constexpr const char* kDemoMission = "Fuzz";
constexpr const char* kDemoStart = "__fuzz_start";

// The small world of the mission "Fuzz": gently rolling ground well above the water, the demo's sky and
// action units (the E.M.A. task force in one corner, the G.A. group in the other, the data point empty).
inline std::vector<uint8_t> FuzzWorld() {
    datakit::WorldFile w;
    datakit::WorldTileLayer layer;
    layer.width = layer.height = 8;
    layer.tiles.resize(64);
    w.TileField(layer);
    std::vector<datakit::WorldSubPoint> points(256);
    for (int i = 0; i < 256; ++i) points[size_t(i)].height = static_cast<int16_t>(100 + (i % 16) + (i / 16));
    w.TileDefPool(points);
    w.Sky(datakit::DaySky("sky.halo", "sky.moon"));
    auto place = [](double x, double z) {
        return std::array<int32_t, 6>{int32_t(z * 65536), 0, int32_t(x * 65536), 0, 0, 0};
    };
    datakit::WorldAUDef ema;
    ema.name = "EMA_TaskForce";
    ema.abstractClan = 0;
    ema.lists[0] = {{"EMAJeep", 100, place(2.0, 2.0), std::nullopt}, {"EMAJeep", 100, place(2.4, 2.0), std::nullopt}};
    // One unit of every other vehicle type behind the jeeps (the saved-form harness hands each its form).
    int rowCount = 0;
    const VehicleTypeRow* rows = VehicleTypeRows(&rowCount);
    for (int i = 0; i < rowCount; ++i)
        if (std::string(rows[i].name) != "EMAJeep")
            ema.lists[0].push_back({rows[i].name, 100, place(3.0 + 0.6 * i, 3.0), std::nullopt});
    w.AUDef(ema, 7);
    datakit::WorldAUDef ga;
    ga.name = "GA_Outpost";
    ga.abstractClan = 1;
    ga.lists[1] = {{"EMAJeep", 100, place(5.5, 5.5), std::nullopt}, {"EMAJeep", 100, place(5.5, 5.9), std::nullopt}};
    w.AUDef(ga, 7);
    // The action unit the mission's jeeps may work (the script's "ActionAU" rule names it), here empty.
    datakit::WorldAUDef data;
    data.name = "EMA_DataPoint";
    data.abstractClan = 0;
    w.AUDef(data, 7);
    return w.Bytes();
}

// The start-up of the game as far as a level needs it, in the harness's folder holding the demo tree.
inline void OpenDemoGame() {
    static bool opened = [] {
        const std::string& dir = Setup();
        mkdemo::Context ctx;
        ctx.out = dir;
        ctx.source = std::string(KV_SOURCE_DIR) + "/data";
        if (!mkdemo::BuildDemo(ctx)) std::abort();
        // The mission "Fuzz": the demo mission's script over the small world.
        std::error_code ec;
        std::filesystem::copy_file(dir + "/Scripts/Ema01.txt", dir + "/Scripts/Fuzz.txt",
                                   std::filesystem::copy_options::overwrite_existing, ec);
        if (ec || !datakit::WriteFile(dir + "/Maps/Fuzz", FuzzWorld())) std::abort();
        host::FlushDirectoryCache();
        host::SetHeadless(true);
        LoadFPTables();
        ReadConfigFile("Vexa.cfg");
        xres = 160;
        yres = 120;
        fullscreen = 1;
        ReadPathsFile("app/paths");
        OpenDisplay();
        IconsInit();  // the level's task-force view takes its icon sets from the registry
        RegisterVehicleTypes();
        ReadUnitsFile("app/units");
        FreeRules();
        ReadRules("app/rules");
        if (!OwnPlayer) OwnPlayer = CreatePlayer("fuzz");
        return true;
    }();
    (void)opened;
}

// Builds the demo mission's level from the files as they stand (a package mounted over the tree may
// replace one of them). False when the build ended by a fatal error; what it had made is torn down.
inline bool BuildDemoLevel() {
    OpenDemoGame();
    std::snprintf(MissionName, sizeof MissionName, "%s", kDemoMission);
    if (Run([] { InitLevel(0); })) return true;
    Run([] { TeardownLevel(); });
    FreeRules();
    ReadRules("app/rules");
    return false;
}

inline void TeardownDemoLevel() {
    if (!Run([] { TeardownLevel(); })) std::abort();  // the demo level tears down cleanly
}

// Once per process: the demo level built and its restart point saved.
inline void DemoLevel() {
    static bool built = [] {
        if (!BuildDemoLevel()) std::abort();
        if (!SaveQZGM(kDemoStart)) std::abort();
        return true;
    }();
    (void)built;
}

// Puts the level back to its restart point.
inline void ResetDemoLevel() {
    char other[64] = "";
    if (LoadQZGM(kDemoStart, 1, other) != kQZGMLoaded) std::abort();
}

}  // namespace kvfuzz
