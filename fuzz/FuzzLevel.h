// The demo mission as a running level for the harnesses whose data drives one: the demo tree (mkdemo's
// build steps) written once into the harness's folder, the devices opened headless, the vehicle types
// registered, the units file read and the mission "Ema01" built; its state is saved as a restart point
// that each input starts from again.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "objects/Units.h"
#include "tools/mkdemo/Demo.h"
#include "vehicles/types/VehicleFrame.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/SavedGame.h"
#include "world/Startup.h"

namespace kvfuzz {

constexpr const char* kDemoMission = "Ema01";
constexpr const char* kDemoStart = "__fuzz_start";

// The start-up of the game as far as a level needs it, in the harness's folder holding the demo tree.
inline void OpenDemoGame() {
    static bool opened = [] {
        const std::string& dir = Setup();
        mkdemo::Context ctx;
        ctx.out = dir;
        ctx.source = std::string(KV_SOURCE_DIR) + "/data";
        if (!mkdemo::BuildDemo(ctx)) std::abort();
        host::FlushDirectoryCache();
        host::SetHeadless(true);
        LoadFPTables();
        ReadConfigFile("Vexa.cfg");
        xres = 160;
        yres = 120;
        fullscreen = 1;
        ReadPathsFile("app/paths");
        OpenDisplay();
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
