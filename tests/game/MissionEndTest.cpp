// Two small missions on the demo island, written with datakit beside the demo mission: in "WinTest" a
// timed DESTROYAU of the G.A. group fires a triggered CLANSUCCESS and the level, run by the frame loop,
// ends with code 1 once the 700-tick countdown is over; a message file of the first second is typed into
// the log meanwhile. In "LoseTest" a DESTROYAU of the player's task force ends the mission lost: the
// mission-lost screen comes up.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Config.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "hud/Icons.h"
#include "hud/MessageLog.h"
#include "objects/Itfc.h"
#include "objects/Units.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/MessageFile.h"
#include "tools/datakit/RulesText.h"
#include "tools/mkdemo/Demo.h"
#include "vehicles/DemoLevel.h"
#include "vehicles/types/VehicleFrame.h"
#include "game/Level.h"
#include "world/Player.h"
#include "game/Startup.h"
#include "game/WorldTick.h"

namespace kvtest {
namespace {

// The rules every level build reads, as the demo mission gives them, and the two sides' groups.
const char* const kLevelRules = R"(
ourclan "EMA"; EMA_hostility "HOSTILE" "GA"; GA_hostility "HOSTILE" "EMA";
eyesight_range 1310720; eyesight_aperture 60; beamsight_range 2621440; beamsight_radius 131072;
TargetAcquireDelay 50; AmbientLighting 96 96 104; WaterLevel 4 4 4 4; WaterMark 32 32;
minutes_per_game_day 24; game_time 10 30;
EMA_TaskForce "activate"; GA_Outpost "activate";
)";

const char* const kMessage = "Clear the outpost.";

class MissionEnd : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureFPTables();
        previous_ = std::filesystem::current_path().string();
        const std::string& tree = DemoTree();
        WriteMission(tree, "WinTest",
                     "event_timed_0 0 10 30 \"MSGOUT\" \"Hello.txt\";"
                     "event_timed_1 0 10 31 \"DESTROYAU\" \"GA_Outpost\";"
                     "event_triggered_0 0 \"Beaten\" \"CLANSUCCESS\" \"EMA\";"
                     "Beaten_A_0 \"DESTROYED\" \"GA_Outpost\";");
        WriteMission(tree, "LoseTest",
                     "event_timed_0 0 10 31 \"DESTROYAU\" \"EMA_TaskForce\";"
                     "event_triggered_0 0 \"Lost\" \"CLANFAILURE\" \"EMA\";"
                     "Lost_A_0 \"DESTROYED\" \"EMA_TaskForce\";");
        host::SetHeadless(true);
        host::SetWorkingDirectory(tree.c_str());
        host::FlushDirectoryCache();
        xres = 320;
        yres = 240;
        fullscreen = 1;
        ReadConfigFile("Vexa.cfg");
        xres = 320;
        yres = 240;
        ReadPathsFile("app/paths");
        OpenDisplay();
        IconsInit();
        RegisterVehicleTypes();
        ReadUnitsFile("app/units");
        FreeRules();
        ReadRules("app/rules");
        ReadRules("app\\text\\Ingame.txt");
        if (!OwnPlayer) OwnPlayer = CreatePlayer("tester");
    }
    void TearDown() override {
        if (MissionName[0]) TeardownLevel();
        host::SetFrameLimit(0);
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

    // A mission on the demo island: its world file, its script and a message file.
    static void WriteMission(const std::string& tree, const std::string& name, const std::string& events) {
        ASSERT_TRUE(datakit::WriteFile(tree + "/Maps/" + name, mkdemo::DemoIslandWorld()));
        ASSERT_TRUE(datakit::WriteRulesText(tree + "/Scripts/" + name + ".txt",
                                            std::string(kLevelRules) + events + "\nend\n"));
        ASSERT_TRUE(datakit::WriteMessageFile(tree + "/app/text/" + name + "/Hello.txt",
                                              datakit::MessageFile{200, 220, 255, "Base", kMessage}));
    }
    static void Start(const char* mission) {
        snprintf(MissionName, sizeof MissionName, "%s", mission);
        InitLevel(0);
    }
    // Frames as the frame loop runs them, without drawing the views: two ticks each.
    static void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            host::PumpEvents();
            WorldTick(2, 1);
            DrawMessageLog();
        }
    }
    static bool Destroyed(const char* au) {
        const AUDef* def = NamedAUDef(au);
        if (!def || !def->pool || def->pool->count == 0) return false;
        for (int i = 0; i < def->pool->count; ++i) {
            const auto* state = reinterpret_cast<StateRecord*>(CallItfc(def->pool->constructs[i], ItfcMethod::GETSTATE));
            if (!state || state->structure > 0) return false;
        }
        return true;
    }

    FatalCatcher fatal_;
    std::string previous_;
};

TEST_F(MissionEnd, TheEnemyDestroyedWinsTheMissionAfterTheCountdown) {
    Start("WinTest");
    Frames(40);
    // The message of the first second, typed in one character a frame under its sender.
    ASSERT_GE(MessageLogCount, 1);
    EXPECT_STREQ(MessageLog[0].sender, "[Base] ");
    std::string typed;
    for (int i = 0; i < MessageLogCount; ++i) typed += MessageLog[i].text;
    EXPECT_EQ(typed, kMessage);
    EXPECT_EQ(MessageArchiveCount, 1);
    EXPECT_FALSE(Destroyed("GA_Outpost"));

    Frames(40);  // past 10:31
    EXPECT_TRUE(Destroyed("GA_Outpost"));
    EXPECT_FALSE(Destroyed("EMA_TaskForce"));
    EXPECT_EQ(PlayerClan->successMark, 1);
    ASSERT_GT(WinCountdown, 0) << "the clans' status started the countdown";
    EXPECT_EQ(WinFlag, 0);
    const int left = WinCountdown;

    // The frame loop runs the rest of the countdown and ends the level with the code of a won mission.
    const int start = host::FramesPumped();
    host::SetFrameLimit(start + 2000);
    EXPECT_EQ(RunGame(), 1);
    EXPECT_EQ(WinFlag, 1);
    EXPECT_EQ(WinCountdown, 0);
    EXPECT_NEAR(host::FramesPumped() - start, left / 2, 2) << "two ticks a frame";
}

TEST_F(MissionEnd, TheTaskForceDestroyedLosesTheMission) {
    Start("LoseTest");
    Frames(80);
    EXPECT_TRUE(Destroyed("EMA_TaskForce"));
    EXPECT_FALSE(Destroyed("GA_Outpost"));
    ASSERT_GT(LoseCountdown, 0);
    const int start = host::FramesPumped();
    host::SetFrameLimit(start + LoseCountdown / 2 + 40);
    // The frame loop opens the mission-lost screen; nobody answers it before the run's frames are over.
    EXPECT_EQ(RunGame(), 0);
    EXPECT_EQ(LoseFlag, 1);
    EXPECT_EQ(WinFlag, 0);
    EXPECT_EQ(MenuScreen, 12);
}

}  // namespace
}  // namespace kvtest
