#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/TFView.h"
#include "platform/Dxgl.h"
#include "platform/ScreenVertex.h"
#include "platform/Texture.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "render/View.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "game/LevelFixture.h"
#include "game/Level_local.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"

namespace {

std::vector<std::string>& Captions() {
    static std::vector<std::string> captions;
    return captions;
}

class CaptionLog {
public:
    CaptionLog() {
        Captions().clear();
        SetBuzyCaptionSink([](const char* caption) { Captions().push_back(caption); });
    }
    ~CaptionLog() { SetBuzyCaptionSink(nullptr); }
};

}  // namespace

TEST(Level, BuildAndTeardownAnnounceTheirStepsInOrder) {
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    CaptionLog log;
    PlayerCell* before = OwnPlayer;

    InitLevel(0);
    const std::vector<std::string> build = {"init structures", "map data", "water fx", "open viewports",
                                            "create shared pools", "create events, static link pool",
                                            "initalizing"};
    EXPECT_EQ(Captions(), build);
    // Reset to 1, then two ticks.
    EXPECT_EQ(FrameCounter, 3u);
    EXPECT_EQ(BuildingLevel, 0);
    // The level's rules: the water levels and split point, the length of a tick of game time.
    EXPECT_EQ(WaterLevel[0], 5);
    EXPECT_EQ(WaterLevel[3], 8);
    EXPECT_EQ(WaterMark[1], 32);
    EXPECT_FLOAT_EQ(SecondsPerTick, 14.4f / 24.0f);
    ASSERT_NE(CurrentMatrix, nullptr);
    EXPECT_EQ(CurrentMatrix->width, 4);
    EXPECT_EQ(CurrentMatrix->height, 6);
    EXPECT_NE(FindConstructPool("buzy3"), nullptr);
    EXPECT_EQ(BuzyPools[0], FindConstructPool("buzy0"));
    // The constructs of the class DISTANT are drawn from the level's pool "distant".
    ASSERT_NE(DirectDrawPool, nullptr);
    EXPECT_EQ(DirectDrawPool, FindConstructPool("distant"));
    ASSERT_NE(WaterAnim, nullptr);
    EXPECT_STREQ(WaterAnim->name, "water1");
    ASSERT_NE(WaterTex, nullptr);
    EXPECT_STREQ(WaterTex->name, "<watertex>");
    EXPECT_EQ(WaterTex->surface, WaterAnim->frames[0]);

    Captions().clear();
    TeardownLevel();
    const std::vector<std::string> teardown = {
        "remove AUs",   "delete events", "delete shared pools", "delete plts",
        "delete tex anims", "delete textures", "delete matrix", "uninstall AUs",
        "delete structures", "delete construct pools", "evict textures"};
    EXPECT_EQ(Captions(), teardown);
    EXPECT_EQ(TearingDown, 0);
    EXPECT_STREQ(MissionName, "");
    EXPECT_EQ(FindConstructPool("buzy0"), nullptr);
    EXPECT_EQ(BuzyPools[0], nullptr);
    EXPECT_EQ(DirectDrawPool, nullptr);
    EXPECT_EQ(CurrentMatrix, nullptr);
    EXPECT_EQ(TexCount, 0);
    EXPECT_EQ(TexAnimCount, 0);
    // A fresh local player, alone in the table.
    EXPECT_EQ(PlayerCount, 1);
    ASSERT_NE(OwnPlayer, nullptr);
    EXPECT_EQ(PlayerTable[0], OwnPlayer);
    (void)before;
}

TEST(Level, WaterAnimationNamedAfterTheWorldFileIsPreferred) {
    kvtest::LevelTree tree(kvtest::TestScriptRules(), true);
    kvtest::LevelEnvironment env(tree);
    InitLevel(0);
    ASSERT_NE(WaterAnim, nullptr);
    EXPECT_STREQ(WaterAnim->name, "Test_water");
    EXPECT_EQ(WaterAnim->frameCount, 3);
    TeardownLevel();
}

TEST(Level, WithoutWaterLevelRuleTheLevelsStayAtFour) {
    auto rules = kvtest::TestScriptRules();
    rules.erase("WaterLevel");
    kvtest::LevelTree tree(rules);
    kvtest::LevelEnvironment env(tree);
    InitLevel(0);
    for (int32_t level : WaterLevel) EXPECT_EQ(level, 4);
    TeardownLevel();
}

TEST(Level, BuildTeardownBuildLeavesNoTrackedAllocation) {
    // Tracked from before the environment: the local player and the rules are tracked blocks too.
    kvtest::MemTrack track;
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    const int live = track.Live();
    for (int round = 0; round < 2; ++round) {
        snprintf(MissionName, sizeof MissionName, "Test");
        InitLevel(0);
        EXPECT_EQ(track.Live("cluster cell"), 64);
        EXPECT_EQ(track.Live("tmp face"), 2);
        TeardownLevel();
        EXPECT_EQ(track.Live(), live) << "round " << round;
    }
    EXPECT_EQ(track.Live("cluster cell"), 0);
    EXPECT_EQ(track.Live("tmp face"), 0);
}

// The teardown deletes the task buttons by index, a fixed number of calls: it cannot spin on a count that
// the deletion leaves as it was, and every button goes.
TEST(Level, TeardownEndsWithTaskButtonsLeft) {
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    kvtest::MemTrack track;
    InitLevel(0);
    ASSERT_NE(PlayerTFView, nullptr);
    CreateTaskButton(PlayerTFView);
    CreateTaskButton(PlayerTFView);
    EXPECT_EQ(track.Live("tfbutton"), 2);
    TeardownLevel();
    EXPECT_EQ(PlayerTFView, nullptr);
    EXPECT_EQ(track.Live("tfbutton"), 0);
}

// What the clans' status pass found near the player's unit (the action unit in reach, the nearest
// radioactive object and reload unit) goes with the level: the next level's first frames, drawn before
// its first status pass, read it.
TEST(Level, TeardownForgetsWhatTheStatusPassFoundNearThePlayer) {
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    InitLevel(0);
    ASSERT_NE(SatCamera, nullptr);
    AUDef au{};  // stands for one of the level's action units, which the teardown frees
    ActionTargetAU = &au;
    NearestRadioactive = ReloadUnit = SatCamera;
    NearestRadioactiveDistance = ReloadUnitDistance = 1000;
    TeardownLevel();
    EXPECT_EQ(ActionTargetAU, nullptr);
    EXPECT_EQ(NearestRadioactive, nullptr);
    EXPECT_EQ(ReloadUnit, nullptr);
    EXPECT_EQ(NearestRadioactiveDistance, INT32_MAX);
    EXPECT_EQ(ReloadUnitDistance, INT32_MAX);
}

// The loading screen shows its background "ui_7" behind every step's caption.
TEST(Level, TheLoadingScreenShowsItsBackground) {
    kvtest::LevelTree tree;
    datakit::MakeDirs(tree.dir() / "Bitmaps");
    datakit::WriteFile(tree.dir() / "Bitmaps/ui_7", datakit::Bmp24(32, 24, std::vector<uint32_t>(32 * 24, 0xC83028u)));
    kvtest::LevelEnvironment env(tree);
    // The screen's size as start-up sets it (the background is loaded at that size).
    ScreenWidth = 32;
    ScreenHeight = 24;
    static std::vector<std::string> seen;
    seen.clear();
    SetBuzyCaptionSink([](const char* caption) {
        uint8_t rgb[3];
        dxgl_ReadBackBuffer(2, 2, rgb);
        char text[64];
        snprintf(text, sizeof text, "%s %d %d %d", caption, rgb[0], rgb[1], rgb[2]);
        seen.push_back(text);
    });
    InitLevel(0);
    TeardownLevel();
    SetBuzyCaptionSink(nullptr);
    ScreenWidth = ScreenHeight = 0;
    ASSERT_GE(seen.size(), 18u);
    for (const std::string& s : seen) EXPECT_NE(s.find(" 200 48 40"), std::string::npos) << s;
}

// A world file's clone slot and accessible-map filter belong to its own level: the next mission built
// starts without them.
TEST(Level, ASecondMissionStartsWithoutTheFirstOnesCloneSlotAndAccessFilter) {
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    datakit::WorldFile first = kvtest::LevelTree::World();
    first.chunks.clear();
    first.TileClone({0, 0x8000, 0, {}});
    first.TileClone({0, 0x8000 | 0x2000, 0, {}});
    datakit::WorldTileLayer layer;
    layer.width = 4;
    layer.height = 6;
    layer.tiles.resize(24);
    first.TileField(layer);
    first.TileDefPool(std::vector<datakit::WorldSubPoint>(256), 4);
    datakit::WriteFile(tree.dir() / "Maps/Test", first.Bytes());
    host::FlushDirectoryCache();
    InitLevel(0);
    EXPECT_EQ(offmatrixclone_idx, 1);
    EXPECT_EQ(filteraccessiblemap, 1);
    TeardownLevel();

    datakit::WriteFile(tree.dir() / "Maps/Test", kvtest::LevelTree::World().Bytes());
    host::FlushDirectoryCache();
    snprintf(MissionName, sizeof MissionName, "Test");
    InitLevel(0);
    EXPECT_EQ(offmatrixclone_idx, 0);
    EXPECT_EQ(filteraccessiblemap, 0);
    TeardownLevel();
}

// Faulty missions end the build with the system's own error text.
TEST(Level, FaultyMissionsAreRefused) {
    struct Case {
        const char* name;
        const char* rule;   // the script rule changed ...
        const char* value;  // ... to this (null: dropped)
        const char* removed;  // a file or folder of the tree removed
        const char* message;
    } cases[] = {
        {"day of no length", "minutes_per_game_day", "0", nullptr,
         "Error(InitLevel): strange 'minutes_per_game_day'"},
        {"day of negative length", "minutes_per_game_day", "-5", nullptr,
         "Error(InitLevel): strange 'minutes_per_game_day'"},
        {"three water levels", "WaterLevel", "4 4 4", nullptr, "Error(InitLevel): strange 'WaterLevel'"},
        {"a water level beyond any height", "WaterLevel", "4 4 300000000 4", nullptr,
         "Error(InitLevel): strange 'WaterLevel'"},
        {"one water mark", "WaterMark", "3", nullptr, "Error(InitLevel): strange 'WaterMark'"},
        {"no script", nullptr, nullptr, "Scripts/Test.txt", "Error: No scriptfile existing"},
        {"no world file", nullptr, nullptr, "Maps/Test", "Error(LoadQZWD): QZWD file wouldn't open"},
        {"no water animation", nullptr, nullptr, "TexAnims/water1",
         "Error(LoadQZWD): failed to load water tex anim 'water1'"},
        {"no specular water animation", nullptr, nullptr, "TexAnims/waterspecular1",
         "Error(LoadQZWD): failed to load water specular anim 'waterspecular1'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rules = kvtest::TestScriptRules();
        if (c.rule) rules[c.rule] = c.value;
        kvtest::LevelTree tree(rules);
        if (c.removed) tree.Remove(c.removed);
        kvtest::LevelEnvironment env(tree);
        {
            kvtest::FatalCatcher catcher;
            try {
                InitLevel(0);
                ADD_FAILURE() << "built";
            } catch (const kvtest::FatalExit& e) {
                EXPECT_STREQ(e.what(), c.message);
            }
        }
        // The fatal road closed the devices; what was built is torn down on a fresh display.
        OpenDisplay();
        TeardownLevel();
        EXPECT_EQ(FindConstructPool("visible"), nullptr);
    }
}

namespace {

int Saves = 0;
std::string LastSaved;
int Loads = 0;
int SaveOk(const char* name) {
    ++Saves;
    LastSaved = name;
    return 1;
}
// Every saved game belongs to the mission "Test", whatever runs.
int LoadOtherMission(const char*, int, char* other) {
    ++Loads;
    snprintf(other, 64, "Test");
    return 1;
}
int LoadMissing(const char*, int, char*) {
    ++Loads;
    return 5;
}

class GameFileHandlers {
public:
    GameFileHandlers(GameFileSaver save, GameFileLoader load) {
        Saves = Loads = 0;
        LastSaved.clear();
        SetGameFileHandlers(save, load);
    }
    ~GameFileHandlers() {
        SetGameFileHandlers(nullptr, nullptr);
        GameFileName[0] = 0;
    }
};

}  // namespace

TEST(GameFile, SavesNeedANameAndNeverOverwriteTheRestartPoint) {
    GameFileHandlers handlers(SaveOk, LoadMissing);
    GameFileName[0] = 0;
    GameFileCommand(nullptr, 7);
    GameFileCommand("\nmenu", 7);
    EXPECT_EQ(Saves, 0);

    // The restart point right after a level start; a later save without a name of its own does nothing.
    GameFileCommand(kMissionStartName, 7);
    EXPECT_EQ(Saves, 1);
    EXPECT_EQ(LastSaved, kMissionStartName);
    GameFileCommand(nullptr, 7);
    EXPECT_EQ(Saves, 1);
    // "Restart mission" loads the restart point; a quick save after it still leaves it alone.
    GameFileCommand(kMissionStartName, 6);
    GameFileCommand(nullptr, 7);
    EXPECT_EQ(Saves, 1);

    GameFileCommand("quick", 7);
    GameFileCommand(nullptr, 7);
    EXPECT_EQ(Saves, 3);
    EXPECT_EQ(LastSaved, "quick");
    EXPECT_EQ(SavedNoticeTicks, 100);
    // Unknown commands do nothing but keep the name.
    GameFileCommand("other", 5);
    EXPECT_EQ(Saves, 3);
    EXPECT_STREQ(GameFileName, "other");
}

TEST(GameFile, LoadFailuresAreReportedAsSystemMessages) {
    GameFileHandlers handlers(SaveOk, LoadMissing);
    kvtest::DebugCapture debug;
    InGameMenuOpen = 1;
    GameFileCommand("missing", 6);
    EXPECT_NE(debug.text().find("system: failed to open"), std::string::npos);
    EXPECT_EQ(InGameMenuOpen, 0);
    GameFileCommand(nullptr, 9);
    GameFileCommand(nullptr, 8);
    EXPECT_EQ(Loads, 3);
}

TEST(GameFile, CommandNineNeverSwitchesMissions) {
    GameFileHandlers handlers(SaveOk, LoadOtherMission);
    snprintf(MissionName, sizeof MissionName, "Running");
    GameFileCommand("other", 9);
    EXPECT_EQ(Loads, 1);
    EXPECT_EQ(Saves, 0);
    EXPECT_STREQ(MissionName, "Running");
    MissionName[0] = 0;
}

// A saved game whose mission still differs after one rebuild is reported, not rebuilt again and again.
TEST(GameFile, LoadOfAnotherMissionRebuildsOnce) {
    kvtest::LevelTree tree;
    kvtest::LevelEnvironment env(tree);
    GameFileHandlers handlers(SaveOk, LoadOtherMission);
    kvtest::DebugCapture debug;
    MissionName[0] = 0;
    GameFileCommand("elsewhere", 6);
    EXPECT_EQ(Loads, 2);
    // The rebuilt level's restart point was saved, and the name asked for is kept.
    EXPECT_EQ(Saves, 1);
    EXPECT_EQ(LastSaved, kMissionStartName);
    EXPECT_STREQ(GameFileName, "elsewhere");
    EXPECT_STREQ(MissionName, "Test");
    EXPECT_NE(debug.text().find("system: failed, change map to Test"), std::string::npos);
    TeardownLevel();
}
