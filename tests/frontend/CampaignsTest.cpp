// The readers of the campaign screens, the team screen and the saved-game switch: the missions a progress
// file lists and their titles, the team list and a team's entry, and a mission script's default task
// force; each over small files written by datakit.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Config.h"
#include "frontend/Campaigns.h"
#include "frontend/Frontend.h"
#include "tests/frontend/FrontendFixture.h"
#include "tools/datakit/Campaign.h"
#include "tools/datakit/RulesText.h"
#include "game/Level.h"
#include "world/Player.h"

namespace {

class CampaignsTest : public kvtest::FrontendTest {
protected:
    const kvtest::TempDir& dir() const { return tree_.dir(); }
    void Progress(const std::vector<datakit::ProgressSection>& sections) {
        ASSERT_TRUE(datakit::WriteProgressFile(dir() / "Campaigns/VORLE", sections));
    }
    void Titles(const char* file, const std::vector<datakit::CampaignTitle>& titles) {
        ASSERT_TRUE(datakit::WriteCampaignFile(dir() / (std::string("Scripts/") + file), titles));
    }
    static std::vector<std::string> Items(const Listbox& l) {
        std::vector<std::string> v;
        for (int i = 0; i < l.count; ++i) v.push_back(l.items[i]);
        return v;
    }
};

using Strings = std::vector<std::string>;

// The section's marks decide how far the list goes: every won mission and the first one not won.
TEST_F(CampaignsTest, ACampaignListsItsWonMissionsAndTheNextOne) {
    const std::string longName(254, 'E');
    // A lone double quote is a word of one character only at the end of the file.
    Titles("EMA.cpn", {{"Ema1", "Harbour"},
                       {"Ema4", "Dock", false},
                       {"Ema5", std::string(100, 'T')},
                       {longName, "Far"},
                       {"Ema3", "\"", false}});
    Titles("GA.cpn", {{"Ga1", "Counterstrike"}});
    struct Case {
        const char* what;
        std::vector<datakit::ProgressSection> file;
        const char* side;
        Strings names, titles;
    } cases[] = {
        {"first entry not won",
         {{"Ema_missions:", {{"Ema1", "0"}, {"Ema2", "1"}}}},
         "Ema",
         {"Ema1"},
         {"Harbour"}},
        {"1 1 0 1 stops at the first not won",
         {{"Ema_missions:", {{"Ema1", "1"}, {"Ema2", "1"}, {"Ema3", "0"}, {"Ema4", "1"}}}},
         "Ema",
         {"Ema1", "Ema2", "Ema3"},
         {"Harbour", "Ema2", ""}},
        {"all won stops at finale",
         {{"Ema_missions:", {{"Ema4", "1"}, {"Ema5", "1"}}}, {"Ga_missions:", {{"Ga1", "1"}}}},
         "Ema",
         {"Ema4", "Ema5"},
         {"oc", std::string(63, 'T')}},
        {"the other side's section",
         {{"Ema_missions:", {{"Ema1", "1"}}}, {"Ga_missions:", {{"Ga1", "1"}}}},
         "Ga",
         {"Ga1"},
         {"Counterstrike"}},
        {"no section of the side", {{"Ema_missions:", {{"Ema1", "1"}}}}, "Ga", {}, {}},
        {"the header is the last word", {{"Ga_missions:", {}, false}}, "Ga", {}, {}},
        {"a file cut after a won mark",
         {{"Ema_missions:", {{"Ema1", "1"}}, false}},
         "Ema",
         {"Ema1"},
         {"Harbour"}},
        {"a name longer than a list's mission name",
         {{"Ema_missions:", {{longName, "0"}}}},
         "Ema",
         {std::string(63, 'E')},
         {std::string(63, 'E')}},
        {"a mark of 01 is not won",
         {{"Ema_missions:", {{"Ema1", "01"}, {"Ema2", "0"}}}},
         "Ema",
         {"Ema1"},
         {"Harbour"}},
    };
    for (const Case& c : cases) {
        Progress(c.file);
        auto names = std::make_unique<Listbox>();
        auto titles = std::make_unique<Listbox>();
        ReadCampaignMissions(names.get(), titles.get(), c.side);
        EXPECT_EQ(Items(*names), c.names) << c.what;
        EXPECT_EQ(Items(*titles), c.titles) << c.what;
    }
}

TEST_F(CampaignsTest, TitlesComeFromTheSidesFileOrTheMissionsOwnName) {
    // The same names in both files, with different titles, show which file was read.
    Titles("EMA.cpn",
           {{"Ema7", "Harbour"}, {"Ga7", "wrong file"}, {"Tut1", "wrong file"}, {"Ema8", "A long way"}});
    Titles("GA.cpn", {{"Ema7", "wrong file"}, {"Ga7", "Bridgehead"}, {"Tut1", "Basics"}, {"Last", "unread"}});
    struct Case {
        const char* mission;
        int size;
        const char* title;
    } cases[] = {
        {"Ema7", 64, "Harbour"},
        {"Ga7", 64, "Bridgehead"},
        {"Tut1", 64, "Basics"},
        {"Ema9", 64, "Ema9"},
        {"", 64, ""},
        {"Ema8", 6, "A lon"},
        {"Gazebo", 4, "Gaz"},
    };
    for (const Case& c : cases) {
        char title[80];
        memset(title, '#', sizeof title);
        ReadCampaignFile(c.mission, title, c.size);
        EXPECT_STREQ(title, c.title) << c.mission;
        EXPECT_EQ(title[c.size], '#') << c.mission << ": nothing past the buffer";
    }
    // A mission that is the file's last word has no title after it: it keeps its name.
    ASSERT_TRUE(datakit::WriteTextFile(dir() / "Scripts/GA.cpn", "Ga7 \"Bridgehead\"\nLast"));
    char title[64];
    ReadCampaignFile("Last", title, sizeof title);
    EXPECT_STREQ(title, "Last");
}

TEST_F(CampaignsTest, AMissingFileEndsTheProgramNamingIt) {
    std::filesystem::remove(dir() / "Campaigns/VORLE");
    std::filesystem::remove(dir() / "Scripts/GA.cpn");
    host::FlushDirectoryCache();
    auto list = std::make_unique<Listbox>();
    struct Case {
        std::function<void()> call;
        const char* message;
    } cases[] = {
        {[&] { ReadCampaignMissions(list.get(), list.get(), "Ema"); },
         "Error(OpenInputStream): can't open input file Campaigns\\VORLE\n"},
        {[&] {
             char t[64];
             ReadCampaignFile("Ga1", t, sizeof t);
         },
         "Error(OpenInputStream): can't open input file Scripts\\GA.cpn\n"},
    };
    for (const Case& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.message;
        } catch (const kvtest::FatalExit& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST_F(CampaignsTest, TheTeamListAndATeamsEntry) {
    const std::string longLogo(100, 'L');
    ASSERT_TRUE(datakit::WriteTeamList(dir() / "app/teams/teamlist",
                                       {{"Wolves", "wolflogo", "255", "128", "0", {}},
                                        {"Bears", "bearlogo", "300", "abc", "-5", {"spare", "words"}},
                                        {"Owls", longLogo, "99999999999", "7", "8", {}}}));
    auto teams = std::make_unique<Listbox>();
    ReadTeamList(teams.get());
    EXPECT_EQ(Items(*teams), (Strings{"Wolves", "Bears", "Owls"}));

    PlayerCell* had = OwnPlayer;
    OwnPlayer = CreatePlayer("tester");
    Textbox logo{};
    Slider sliders[3]{};
    struct Case {
        const char* team;
        std::string logo;
        int32_t values[3];
        uint8_t colour[3];
    } cases[] = {
        {"Wolves", "wolflogo", {255, 128, 0}, {255, 128, 0}},
        {"Bears", "bearlogo", {300, 0, -5}, {44, 0, 251}},
        {"Owls", std::string(63, 'L'), {INT32_MAX, 7, 8}, {255, 7, 8}},
        {"Nobody", std::string(63, 'L'), {INT32_MAX, 7, 8}, {255, 7, 8}},  // no entry: nothing changes
    };
    for (const Case& c : cases) {
        FindTeamEntry(c.team, &logo, &sliders[0], &sliders[1], &sliders[2]);
        EXPECT_EQ(logo.edit, c.logo) << c.team;
        EXPECT_EQ(logo.saved, c.logo) << c.team;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(sliders[i].value, c.values[i]) << c.team << " " << i;
            EXPECT_EQ(OwnPlayer->team->colour[i], c.colour[i]) << c.team << " " << i;
        }
        EXPECT_EQ(OwnPlayer->team->colour[3], 80) << "the team's alpha is its own";
    }
    // The last word of the file is not a team: it has nothing after it.
    ASSERT_TRUE(datakit::WriteTextFile(dir() / "app/teams/teamlist", "Wolves wolflogo 1 2 3 end Lonely"));
    auto again = std::make_unique<Listbox>();
    ReadTeamList(again.get());
    EXPECT_EQ(Items(*again), (Strings{"Wolves"}));
    while (TeamCount > 0) DeleteTeam(TeamTable[0]);
    DeletePlayer(OwnPlayer);
    OwnPlayer = had;
}

TEST_F(CampaignsTest, TheDefaultTaskForceOfAMissionScript) {
    const std::string longType(40, 'J');
    struct Case {
        const char* what;
        std::string script;
        int count;
        std::vector<std::pair<int, std::string>> slots;  // slot, name
    } cases[] = {
        {"keys in any order",
         "tf_default_2 1 EMAJeep;\ntf_default_1 1 \"EMATank\";\nother 4;\nend\ntf_default_5 1 Late;\n",
         2,
         {{1, "EMAJeep"}, {0, "\"EMATank\""}}},
        {"a key twice", "tf_default_3 1 A;\ntf_default_3 2 B;\nend\n", 2, {{2, "B"}}},
        {"a unit type longer than a slot",
         "tf_default_1 1 " + longType + ";\n",
         1,
         {{0, std::string(31, 'J')}}},
        {"a key at the very end", "tf_default_4", 0, {}},
        {"no keys", "ourclan \"EMA\";\nend\n", 0, {}},
    };
    for (const Case& c : cases) {
        for (auto& name : TFDefaultNames) name[0] = 0;
        ASSERT_TRUE(datakit::WriteTextFile(dir() / "Scripts/M.txt", c.script));
        EXPECT_EQ(ReadTaskForceDefaults("Scripts\\M.txt"), c.count) << c.what;
        EXPECT_EQ(TFDefaultCount, c.count) << c.what;
        for (const auto& [slot, name] : c.slots)
            EXPECT_EQ(TFDefaultNames[slot], name) << c.what << " " << slot;
    }
    // Twelve entries fill the table and stop counting at its ten slots.
    std::string many;
    for (int i = 0; i < 12; ++i) many += "tf_default_1 1 Jeep" + std::to_string(i) + ";\n";
    ASSERT_TRUE(datakit::WriteTextFile(dir() / "Scripts/M.txt", many));
    EXPECT_EQ(ReadTaskForceDefaults("Scripts\\M.txt"), 10);
    EXPECT_STREQ(TFDefaultNames[0], "Jeep11");
    TFDefaultCount = 0;
}

}  // namespace
