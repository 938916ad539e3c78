// The demo mission "Ema01" built from the demo tree (written once per test program by mkdemo's build
// steps): the island with both sides' action units activated, the vehicle types registered. A test
// drives a unit with scripted control records through a player cell of its own and advances the world
// one tick at a time.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "ai/DayEvents.h"
#include "ai/Clan.h"
#include "core/Config.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "objects/Cameras.h"
#include "objects/Elements.h"
#include "objects/Itfc.h"
#include "objects/Units.h"
#include "render/RenderTables.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/mkdemo/Demo.h"
#include "vehicles/types/VehicleFrame.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "game/Startup.h"
#include "game/WorldTick.h"

namespace kvtest {

// The demo tree, written on first use and kept for the program's life.
inline const std::string& DemoTree() {
    static std::unique_ptr<TempDir> dir;
    if (!dir) {
        dir = std::make_unique<TempDir>();
        mkdemo::Context ctx;
        ctx.out = dir->path();
        ctx.source = std::string(KV_SOURCE_DIR) + "/data";
        if (!mkdemo::BuildDemo(ctx)) ADD_FAILURE() << "the demo tree could not be written";
    }
    return dir->path();
}

class DemoLevel : public ::testing::Test {
public:
    void SetUp() override {
        EnsureFPTables();
        previous_ = std::filesystem::current_path().string();
        const std::string& tree = DemoTree();
        host::SetHeadless(true);
        host::SetWorkingDirectory(tree.c_str());
        host::FlushDirectoryCache();
        xres = width_;
        yres = height_;
        fullscreen = 1;
        ReadConfigFile("Vexa.cfg");
        xres = width_;
        yres = height_;
        ReadPathsFile("app/paths");
        OpenDisplay();
        InitRenderMode();  // the screen's size, as the start-up leaves it for every level
        IconsInit();
        RegisterVehicleTypes();
        RegisterCameraTypes();
        RegisterElementTypes();
        ReadUnitsFile("app/units");
        FreeRules();
        ReadRules("app/rules");
        if (!OwnPlayer) OwnPlayer = CreatePlayer("tester");
        std::snprintf(MissionName, sizeof MissionName, "%s", mission_);
        InitDemoLevel(playerEnters_);
        // The level keeps only the local player: the driver's cell is made afterwards.
        driver_ = CreatePlayer("driver");
        FrameCounter = 0;
    }
    void TearDown() override {
        TeardownLevel();
        DeletePlayer(driver_);
        IconsFree();
        CloseDevices();
        while (UnitCount > 0) FreeUnit(UnitTable[0]);
        FreeRules();
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        OwnPlayer = nullptr;
        MissionName[0] = 0;
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
    }

    // Builds the level of MissionName. Its first timed event puts the player into the task force's first
    // jeep; the jeep tests drive the jeeps themselves, so the player stays on the map unless asked for.
    static void InitDemoLevel(bool playerEnters = false) {
        InitLevel(0);
        if (!playerEnters && DayEventCount[kTimedEvents] > 0 && DayEventList[kTimedEvents][0]->type == kDEEnterUnit)
            TimedEventCursor = 1;
    }

    // The units of an action unit's pool, in pool order.
    static std::vector<construct*> UnitsOf(const char* au) {
        std::vector<construct*> out;
        const AUDef* def = NamedAUDef(au);
        for (int i = 0; def && def->pool && i < def->pool->count; ++i) out.push_back(def->pool->constructs[i]);
        return out;
    }
    // Hands the unit to the scripted driver: its TICKs get the driver's records instead of STEERAI.
    void Drive(construct* unit) { unit->playerCell = driver_; }
    // One world tick with the driver's current record (the previous one becomes "before").
    void Step(const ControlInput& now) {
        driver_->unitBefore = driver_->unitNow;
        driver_->unitNow = now;
        WorldTick(1, 1);
    }
    void Run(int ticks, const ControlInput& now) {
        for (int i = 0; i < ticks; ++i) Step(now);
    }
    static ControlInput Keys(std::initializer_list<int> bits, int16_t steer = 0) {
        ControlInput in{};
        for (int b : bits) SetInputKey(&in, b, true);
        in.axes[kAxisSteer] = steer;
        return in;
    }

    PlayerCell* driver_ = nullptr;
    FatalCatcher fatal_;

protected:
    // The screen the level is built for; a test that looks at the view sets a larger one before SetUp.
    int width_ = 32, height_ = 24;
    // The mission built.
    const char* mission_ = "Ema01";
    // The script's ENTERUNIT at the start is carried out (set before SetUp).
    bool playerEnters_ = false;

private:
    std::string previous_;
};

}  // namespace kvtest
