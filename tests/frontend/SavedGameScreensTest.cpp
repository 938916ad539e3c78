// What the in-game menu, the load, save and mission-lost screens do with their buttons and boxes: a load
// that the game refuses keeps the screen with the game's reason, each box's answer does what that box
// asks, and the lost-mission screen is only gone back to while a lost level exists.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Config.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "game/Level.h"
#include "game/SavedGame.h"
#include "game/Startup.h"
#include "tests/frontend/FrontendFixture.h"
#include "tools/datakit/SavedGame.h"
#include "world/Level.h"

namespace {

struct Call {
    std::string name;
    int force;
};
std::vector<Call>& Loads() {
    static std::vector<Call> calls;
    return calls;
}
std::vector<std::string>& Saves() {
    static std::vector<std::string> names;
    return names;
}
// The answers the stand-in loader gives: the first for an ordinary load, the second for a forced one.
int Answer = kQZGMLoaded;
int ForcedAnswer = kQZGMLoaded;

int Load(const char* name, int force, char*) {
    Loads().push_back({name, force});
    return force ? ForcedAnswer : Answer;
}
int Save(const char* name) {
    Saves().push_back(name);
    return 1;
}

class SavedGameScreens : public kvtest::FrontendTest {
protected:
    SavedGameScreens() {
        Loads().clear();
        Saves().clear();
        Answer = ForcedAnswer = kQZGMLoaded;
        SetGameFileHandlers(Save, Load);
        MissionName[0] = 0;
        InGame = 0;
        MissionLost = 0;
    }
    ~SavedGameScreens() override {
        SetGameFileHandlers(nullptr, nullptr);
        GameFileName[0] = 0;
        MissionName[0] = 0;
        InGame = 0;
        MissionLost = 0;
    }
    static int Press(int button) {
        MenuHits h;
        h.button = button;
        return RunScreenActions(h);
    }
    static int Reply(int answer) {
        MenuHits h;
        h.msgbox = answer;
        return RunScreenActions(h);
    }
    static void Open(int screen) {
        MenuScreen = screen;
        BuildScreen(screen);
    }
    const kvtest::TempDir& dir() const { return tree_.dir(); }
};

TEST_F(SavedGameScreens, ARefusedLoadStaysOnTheLoadScreenWithTheGamesReason) {
    datakit::SavedGame game;
    game.mission = "Ema1";
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/savegame02", game.Bytes()));
    host::FlushDirectoryCache();
    struct Case {
        int answer;
        int result;     // of the menu frame
        int box;        // open afterwards
        const char* text;  // the box's text begins with it
    } cases[] = {
        {kQZGMLoaded, 2, -1, nullptr},
        {kQZGMCannotOpen, 0, 1, "failed to open"},
        {kQZGMNotASavedGame, 0, 1, "failed, not an QZGM"},
        {kQZGMRefused, 0, 1, "failed, damaged QZGM: "},
        {kQZGMObsolete, 0, 2, "QZGM version obsolete. attempt anyway?"},
        {kQZGMWorldNewer, 0, 2, "qzwd file too new. attempt anyway?"},
        {kQZGMScriptNewer, 0, 2, "script file too new. attempt anyway?"},
    };
    for (const Case& c : cases) {
        Answer = c.answer;
        Open(kScreenLoad);
        Listboxes[0].selected = 2;
        EXPECT_EQ(Press(1), c.result) << c.answer;
        if (c.result != 0) continue;
        EXPECT_EQ(MenuScreen, kScreenLoad) << c.answer;
        EXPECT_EQ(Listboxes[0].selected, 2) << "the row picked stays picked";
        EXPECT_EQ(Buttons[1].enabled, 1) << c.answer;
        ASSERT_EQ(OpenMsgBox, c.box) << c.answer;
        EXPECT_EQ(std::string(MsgBoxes[c.box].text).rfind(c.text, 0), 0u) << MsgBoxes[c.box].text;
        // The notice's OK only closes it; nothing runs.
        if (c.box == 1) {
            EXPECT_EQ(Reply(0), 0);
            EXPECT_EQ(OpenMsgBox, -1);
            EXPECT_EQ(MenuScreen, kScreenLoad);
        }
    }
    for (const Call& call : Loads()) EXPECT_EQ(call.name, "savegame02");
}

TEST_F(SavedGameScreens, AGameOfAnotherVersionIsLoadedAnywayOnlyOnYes) {
    datakit::SavedGame game;
    game.mission = "Ema1";
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/quicksave", game.Bytes()));
    host::FlushDirectoryCache();
    Answer = kQZGMObsolete;
    Open(kScreenLoad);
    Press(1);
    ASSERT_EQ(OpenMsgBox, 2);
    EXPECT_EQ(Reply(1), 0) << "no: nothing is loaded";
    EXPECT_EQ(Loads().size(), 1u);
    Press(1);
    ForcedAnswer = kQZGMCannotOpen;
    EXPECT_EQ(Reply(0), 0) << "yes, but the forced load fails too";
    ASSERT_EQ(Loads().size(), 3u);
    EXPECT_EQ(Loads()[2].force, 1);
    EXPECT_EQ(OpenMsgBox, 1);
    EXPECT_STREQ(MsgBoxes[1].text, "failed to open");
    Press(1);
    ForcedAnswer = kQZGMLoaded;
    EXPECT_EQ(Reply(0), 2) << "yes: loaded without the question";
}

// A loaded game's side is its mission's: after a G.A. mission, an E.M.A. game loaded from the menus is
// debriefed, and its "Campaign" button opens, on the E.M.A. side.
TEST_F(SavedGameScreens, ALoadedGameTakesItsMissionsSide) {
    datakit::SavedGame game;
    game.mission = "Ema1";
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/quicksave", game.Bytes()));
    host::FlushDirectoryCache();
    const int clanWas = lastclan;
    for (const char* mission : {"Ema1", "Ga1"}) {
        lastclan = mission[0] == 'E' ? 1 : 0;
        snprintf(MissionName, sizeof MissionName, "%s", mission);  // as the load leaves it
        Open(kScreenLoad);
        EXPECT_EQ(Press(1), 2);
        EXPECT_EQ(lastclan, mission[0] == 'E' ? 0 : 1) << mission;
        // The level's teardown reads the configuration again: the side is there too.
        lastclan = 7;
        ReadConfigFile("Vexa.cfg");
        EXPECT_EQ(lastclan, mission[0] == 'E' ? 0 : 1) << mission;
    }
    lastclan = clanWas;
}

// Every box's answer belongs to that box: "No" closes it and changes nothing, "Yes" does what it asks.
TEST_F(SavedGameScreens, EachBoxDoesWhatItAsksAndNothingOnNo) {
    datakit::SavedGame game;
    game.mission = "Ema1";
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/savegame01", game.Bytes()));
    host::FlushDirectoryCache();
    snprintf(MissionName, sizeof MissionName, "Ema1");
    InGame = 1;
    struct Case {
        int screen;
        int button;  // opens the box
        int answer;
        int result;
        size_t loads, saves;
        bool slotKept;
    } cases[] = {
        {kScreenInGame, 1, 1, 0, 0, 0, true},   // restart? no
        {kScreenInGame, 1, 0, 2, 1, 0, true},   // restart? yes: the restart point is loaded
        {kScreenInGame, 5, 1, 0, 0, 0, true},   // quit? no
        {kScreenInGame, 5, 0, -1, 0, 0, true},  // quit? yes
        {kScreenSave, 1, 1, 0, 0, 0, true},     // overwrite slot 1? no
        {kScreenSave, 2, 1, 0, 0, 0, true},     // delete slot 1? no
        {kScreenSave, 1, 0, 3, 0, 1, true},     // overwrite? yes
        {kScreenSave, 2, 0, 0, 0, 0, false},    // delete? yes
    };
    for (const Case& c : cases) {
        Loads().clear();
        Saves().clear();
        ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/savegame01", game.Bytes()));
        host::FlushDirectoryCache();
        Open(c.screen);
        Press(c.button);
        ASSERT_GE(OpenMsgBox, 0) << c.screen << " " << c.button;
        EXPECT_EQ(Reply(c.answer), c.result) << c.screen << " " << c.button << " " << c.answer;
        EXPECT_EQ(OpenMsgBox, -1);
        EXPECT_EQ(Loads().size(), c.loads) << c.screen << " " << c.button << " " << c.answer;
        if (c.loads) {
            EXPECT_EQ(Loads()[0].name, kMissionStartName);
        }
        EXPECT_EQ(Saves().size(), c.saves) << c.screen << " " << c.button << " " << c.answer;
        host::FlushDirectoryCache();
        EXPECT_EQ(std::filesystem::exists(dir() / "SavedGames/savegame01"), c.slotKept)
            << c.screen << " " << c.button << " " << c.answer;
    }
}

TEST_F(SavedGameScreens, ARefusedRestartKeepsTheMenuWithTheReason) {
    Answer = kQZGMCannotOpen;
    snprintf(MissionName, sizeof MissionName, "Ema1");
    InGame = 1;
    Open(kScreenInGame);
    Press(1);
    EXPECT_EQ(Reply(0), 0);
    EXPECT_EQ(MenuScreen, kScreenInGame);
    ASSERT_EQ(OpenMsgBox, 2);
    EXPECT_STREQ(MsgBoxes[2].text, "failed to open");
    InGame = 0;
    MissionLost = 1;
    Open(kScreenLost);
    EXPECT_EQ(Press(0), 0);
    EXPECT_EQ(MenuScreen, kScreenLost);
    ASSERT_EQ(OpenMsgBox, 1);
    EXPECT_STREQ(MsgBoxes[1].text, "failed to open");
}

// The load screen's Back returns to the lost-mission screen only while the lost level exists: after its
// teardown (no mission) the main menu is where a player who lost and quit comes back to.
TEST_F(SavedGameScreens, BackFromLoadingGoesWhereTheScreenWasOpenedFrom) {
    struct Case {
        int inGame;
        int lost;
        const char* mission;
        int screen;
    } cases[] = {
        {1, 0, "Ema1", kScreenInGame},
        {0, 1, "Ema1", kScreenLost},
        {0, 1, "", kScreenMain},  // lost, quit through the debriefing, then Load from the main menu
        {0, 0, "", kScreenMain},
    };
    for (const Case& c : cases) {
        InGame = c.inGame;
        MissionLost = c.lost;
        snprintf(MissionName, sizeof MissionName, "%s", c.mission);
        Open(kScreenLoad);
        Press(0);
        EXPECT_EQ(MenuScreen, c.screen) << c.inGame << c.lost << c.mission;
    }
}

}  // namespace
