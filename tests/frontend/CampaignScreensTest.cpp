// The screens that read the campaign files: the campaign screens' lists, selection and briefing, the save
// lists of the load and save screens over a folder of real, foreign and missing files, and the credits
// roll's fades over a scripted clock.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Files.h"
#include "frontend/Credits.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "host/Clock.h"
#include "platform/Texture.h"
#include "tests/frontend/FrontendFixture.h"
#include "tools/datakit/Campaign.h"
#include "tools/datakit/SavedGame.h"
#include "tools/datakit/Texture.h"

namespace {

class CampaignScreens : public kvtest::FrontendTest {
protected:
    CampaignScreens() { memcpy(lastmapWas_, lastmap, sizeof lastmap); }
    ~CampaignScreens() override { memcpy(lastmap, lastmapWas_, sizeof lastmap); }
    const kvtest::TempDir& dir() const { return tree_.dir(); }
    char lastmapWas_[kConfigTextSize];
};

TEST_F(CampaignScreens, TheCampaignListsItsMissionsAndPicksLastmap) {
    struct Case {
        int screen;
        const char* lastmap;
        int selected;
        const char* mission;
        std::vector<std::string> titles;
    } cases[] = {
        {kScreenCampaignEma, "Ema2", 1, "Ema2", {"First Light", "Harbour"}},
        {kScreenCampaignEma, "Ema1", 0, "Ema1", {"First Light", "Harbour"}},
        {kScreenCampaignEma, "Elsewhere", 1, "Ema2", {"First Light", "Harbour"}},
        {kScreenCampaignEma, "ema2", 1, "Ema2", {"First Light", "Harbour"}},  // the comparison keeps case
        {kScreenCampaignGa, "Ema2", 0, "Ga1", {"Counterstrike"}},
    };
    for (const Case& c : cases) {
        snprintf(lastmap, sizeof lastmap, "%s", c.lastmap);
        BuildScreen(c.screen);
        ASSERT_EQ(Listboxes[1].count, static_cast<int>(c.titles.size())) << c.lastmap;
        for (size_t i = 0; i < c.titles.size(); ++i) EXPECT_STREQ(Listboxes[1].items[i], c.titles[i].c_str());
        EXPECT_EQ(Listboxes[0].selected, c.selected) << c.lastmap;
        EXPECT_EQ(Listboxes[1].selected, c.selected) << c.lastmap;
        EXPECT_STREQ(MenuMission, c.mission) << c.lastmap;
        EXPECT_EQ(LTextboxes[0].file, "Brief_" + std::string(c.mission) + ".txt");
        EXPECT_EQ(Images[0].picture, "Screens\\" + std::string(c.mission));
        // The lists show every row the screen has room for: down to the picture's bottom, above the
        // briefing text, with more rows than a campaign's first missions.
        for (int list : {0, 1}) {
            const Listbox& l = Listboxes[list];
            EXPECT_GE(l.rows, 10) << c.screen;
            EXPECT_GT(l.y - ScaleY(25) - ScaleY(15) * l.rows, LTextboxes[0].top) << c.screen;
            EXPECT_GE(l.y - ScaleY(25) - ScaleY(15) * l.rows, Images[0].bottom - ScaleY(15)) << c.screen;
        }
    }
}

// A side without a mission to play has no start: the button is off, and a start asked for all the same
// (a double click on the empty list) writes no empty lastmap.
TEST_F(CampaignScreens, AnEmptyCampaignHasNoStart) {
    ASSERT_TRUE(datakit::WriteProgressFile(dir() / "Campaigns/VORLE",
                                           {{"Ema_missions:", {{"Ema1", "0"}}},
                                            {"Ga_missions:", {}},
                                            {"Extra_missions:", {}}}));
    snprintf(lastmap, sizeof lastmap, "Ema1");
    MenuScreen = kScreenCampaignGa;
    BuildScreen(kScreenCampaignGa);
    EXPECT_EQ(Listboxes[1].count, 0);
    EXPECT_EQ(Buttons[1].enabled, 0);
    MenuHits start;
    start.button = 1;
    EXPECT_EQ(RunScreenActions(start), 0);
    EXPECT_STREQ(lastmap, "Ema1");
    EXPECT_EQ(MenuScreen, kScreenCampaignGa);
    BuildScreen(kScreenCampaignEma);
    EXPECT_EQ(Buttons[1].enabled, 1);
}

// Sets a file's last-write time to a local date and time.
void Touch(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    const auto sys = std::chrono::system_clock::from_time_t(when);
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(sys));
}

TEST_F(CampaignScreens, TheSaveListsShowDateSideAndTitle) {
    datakit::SavedGame ema;
    ema.mission = "Ema1";
    datakit::SavedGame ga;
    ga.mission = "Ga1";
    datakit::SavedGame old = ga;
    old.version = 117;
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/quicksave", ema.Bytes()));
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/savegame07", ga.Bytes()));
    ASSERT_TRUE(datakit::WriteTextFile(dir() / "SavedGames/savegame02", "not a saved game"));
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/savegame19", old.Bytes()));
    Touch(dir() / "SavedGames/savegame07", 2002, 3, 3, 9, 5, 1);
    Touch(dir() / "SavedGames/savegame02", 2010, 12, 31, 23, 59, 58);
    Touch(dir() / "SavedGames/savegame19", 1999, 1, 2, 3, 4, 5);
    host::FlushDirectoryCache();
    for (int screen : {kScreenLoad, kScreenSave}) {
        BuildScreen(screen);
        const Listbox& list = Listboxes[0];
        ASSERT_EQ(list.count, 20);
        EXPECT_STREQ(list.items[0], "[QUICK] (EMA) First Light");
        EXPECT_STREQ(list.items[1], " - ");
        // A file that is no saved game still shows its date; its mission is empty, so its side is GA.
        EXPECT_STREQ(list.items[2], "31.12.2010 - 23:59:58 (GA) ");
        EXPECT_STREQ(list.items[7], "03.03.2002 - 09:05:01 (GA) Counterstrike");
        EXPECT_STREQ(list.items[19], "02.01.1999 - 03:04:05 (GA) ");
        EXPECT_EQ(list.selected, screen == kScreenLoad ? 0 : 1);
        // The load screen can load the quick save; the save screen can save into its empty slot 1 at
        // once, and has nothing there to delete.
        EXPECT_EQ(Buttons[1].enabled, 1) << screen;
        EXPECT_EQ(Buttons[2].enabled, 0) << screen;
    }
    // No quick save: the load screen has nothing to load yet; a saved slot 1 may be saved over or deleted.
    std::filesystem::remove(dir() / "SavedGames/quicksave");
    ASSERT_TRUE(datakit::WriteFile(dir() / "SavedGames/savegame01", ema.Bytes()));
    host::FlushDirectoryCache();
    BuildScreen(kScreenLoad);
    EXPECT_STREQ(Listboxes[0].items[0], " - [QUICK]");
    EXPECT_EQ(Buttons[1].enabled, 0);
    BuildScreen(kScreenSave);
    EXPECT_EQ(Buttons[1].enabled, 1);
    EXPECT_EQ(Buttons[2].enabled, 1);
}

// The credits: a block of three lines fades in over a second, stays 2.4 s, fades out over a second; the
// slides cross-fade over four seconds; "end" starts the file over.
TEST_F(CampaignScreens, TheCreditsRollTheirBlocksAndCrossFadeTheirSlides) {
    std::vector<uint32_t> pixels(64 * 64, 0x808080u);
    ASSERT_TRUE(datakit::WriteFile(dir() / "Textures/credits/one", datakit::Bmp24(64, 64, pixels)));
    const std::string longLine(70, 'x');
    std::vector<std::string> lines = {"---SLIDE:one", "Line A", "", "Line C", "---CUT---", longLine};
    for (int i = 0; i < 18; ++i) lines.push_back("row " + std::to_string(i));
    lines.push_back("end");
    ASSERT_TRUE(datakit::WriteTextFile(dir() / "app/text/credits.txt", datakit::CreditsText(lines)));
    host::FlushDirectoryCache();
    const CreditsRoll& roll = CreditsState;
    host::AdvanceVirtualClockBy(1000.0 - TimerNow());
    const int texWas = TexCount;
    RunCredits(1);
    // The slide line starts the picture at once; its block follows on the next frame.
    EXPECT_EQ(roll.newest, 1);
    ASSERT_NE(roll.slides[1], nullptr);
    EXPECT_EQ(roll.slides[0], nullptr);
    EXPECT_EQ(TexCount, texWas + 1);
    EXPECT_EQ(roll.blockStart, 0.0f);
    struct Step {
        double at;
        int level;
        int newAlpha, oldAlpha;  // of the newest slide and of the other slot
    } steps[] = {{1000, 0, 0, 255},    {1050, 100, 31, 223}, {1100, 200, 63, 191}, {1200, 200, 127, 127},
                 {1340, 200, 216, 38}, {1390, 100, 248, 6},  {1400, 80, 255, 0},   {1440, 0, 255, 0}};
    for (const Step& s : steps) {
        host::AdvanceVirtualClockBy(s.at - TimerNow());
        RunCredits(0);
        EXPECT_EQ(roll.textLevel, s.level) << s.at;
        EXPECT_EQ(roll.slideAlpha[1], s.newAlpha) << s.at;
        EXPECT_EQ(roll.slideAlpha[0], s.oldAlpha) << s.at;
    }
    EXPECT_EQ(roll.layout, 1) << "the first cut block is drawn upper left";
    ASSERT_EQ(roll.lineCount, 3);
    EXPECT_STREQ(roll.lines[1], "") << "an empty line is a line of its own";
    // Past its time the next block is read: the long line cut, the rows past sixteen dropped.
    host::AdvanceVirtualClockBy(1441 - TimerNow());
    RunCredits(0);
    EXPECT_EQ(roll.textLevel, 0);
    RunCredits(0);
    ASSERT_EQ(roll.lineCount, 16);
    EXPECT_EQ(std::string(roll.lines[0]), std::string(63, 'x'));
    EXPECT_STREQ(roll.lines[15], "row 14");
    EXPECT_EQ(roll.layout, 1) << "a block ended by end keeps the layout";
    // After "end" the file starts over: the slide goes into the other slot.
    host::AdvanceVirtualClockBy(1441 + 16 * 80 + 201 - TimerNow());
    RunCredits(0);
    RunCredits(0);
    EXPECT_EQ(roll.newest, 0);
    ASSERT_NE(roll.slides[0], nullptr);
    ASSERT_NE(roll.slides[1], nullptr);
    EXPECT_EQ(TexCount, texWas + 2);
    RunCredits(-1);
    EXPECT_EQ(roll.slides[0], nullptr);
    EXPECT_EQ(roll.slides[1], nullptr);
    EXPECT_EQ(TexCount, texWas);
    EXPECT_FALSE(roll.open);
}

}  // namespace
