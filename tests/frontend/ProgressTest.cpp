// The campaign progress file's rewrite: which entry is marked, where lastmap goes, the file's normal
// form, two rewrites in a row, a write that fails, and the once-per-level rule of the debriefing.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <string>
#include <vector>

#include "core/Config.h"
#include "frontend/Frontend.h"
#include "host/Dialog.h"
#include "tests/frontend/FrontendFixture.h"
#include "tools/datakit/Campaign.h"
#include "game/Level.h"

namespace {

class ProgressTest : public kvtest::FrontendTest {
protected:
    ProgressTest() {
        memcpy(lastmapWas_, lastmap, sizeof lastmap);
        memcpy(lastgameWas_, lastgame, sizeof lastgame);
        snprintf(lastgame, sizeof lastgame, "VORLE");
    }
    ~ProgressTest() override {
        memcpy(lastmap, lastmapWas_, sizeof lastmap);
        memcpy(lastgame, lastgameWas_, sizeof lastgame);
        CampaignProgressDue = 0;
    }
    const kvtest::TempDir& dir() const { return tree_.dir(); }
    std::string File() const { return dir().Read("Campaigns/VORLE"); }
    char lastmapWas_[kConfigTextSize], lastgameWas_[kConfigTextSize];
};

// The three sections of a file as the rewrite lays them out.
std::string Layout(const std::vector<std::vector<std::string>>& sections) {
    static const char* const kHeaders[3] = {"Ema_missions:", "Ga_missions:", "Extra_missions:"};
    std::string out;
    for (size_t s = 0; s < sections.size(); ++s) {
        out += std::string(kHeaders[s]) + "\n";
        for (const std::string& entry : sections[s]) out += entry + "\n";
        out += "finale\n\n";
    }
    return out;
}

TEST_F(ProgressTest, TheWonMissionIsMarkedAndLastmapMovesOn) {
    using Sections = std::vector<datakit::ProgressSection>;
    const Sections three = {{"Ema_missions:", {{"Ema1", "1"}, {"Ema2", "0"}, {"Ema3", "0"}}},
                            {"Ga_missions:", {{"Ga1", "0"}, {"Ga2", "0"}}},
                            {"Extra_missions:", {{"X1", "0"}}}};
    struct Case {
        const char* what;
        Sections file;
        const char* lastmap;
        std::string first, second;  // the file after the first and the second rewrite
        const char *lastmapFirst, *lastmapSecond;
    } cases[] = {
        {"the middle of a section", three, "Ema2",
         Layout({{"Ema1 1", "Ema2 1", "Ema3 0"}, {"Ga1 0", "Ga2 0"}, {"X1 0"}}),
         Layout({{"Ema1 1", "Ema2 1", "Ema3 1"}, {"Ga1 0", "Ga2 0"}, {"X1 0"}}), "Ema3", "Ga1"},
        {"the last of a section", three, "Ema3",
         Layout({{"Ema1 1", "Ema2 0", "Ema3 1"}, {"Ga1 0", "Ga2 0"}, {"X1 0"}}),
         Layout({{"Ema1 1", "Ema2 0", "Ema3 1"}, {"Ga1 1", "Ga2 0"}, {"X1 0"}}), "Ga1", "Ga2"},
        {"the last of the file", three, "X1",
         Layout({{"Ema1 1", "Ema2 0", "Ema3 0"}, {"Ga1 0", "Ga2 0"}, {"X1 1"}}),
         Layout({{"Ema1 1", "Ema2 0", "Ema3 0"}, {"Ga1 0", "Ga2 0"}, {"X1 1"}}), "X1", "X1"},
        {"already won", three, "Ema1", Layout({{"Ema1 1", "Ema2 0", "Ema3 0"}, {"Ga1 0", "Ga2 0"}, {"X1 0"}}),
         Layout({{"Ema1 1", "Ema2 1", "Ema3 0"}, {"Ga1 0", "Ga2 0"}, {"X1 0"}}), "Ema2", "Ema3"},
        {"absent: marks in their integer form",
         {{"Ema_missions:", {{"Ema1", "01"}, {"Ema2", "x"}, {"Ema3", "-3"}}},
          {"Ga_missions:", {}},
          {"Extra_missions:", {}}},
         "Nope",
         Layout({{"Ema1 1", "Ema2 0", "Ema3 -3"}, {}, {}}),
         Layout({{"Ema1 1", "Ema2 0", "Ema3 -3"}, {}, {}}),
         "Nope",
         "Nope"},
        {"marked twice",
         {{"Ema_missions:", {{"Ema1", "0"}, {"Ema1", "0"}}}, {"Ga_missions:", {}}, {"Extra_missions:", {}}},
         "Ema1",
         Layout({{"Ema1 1", "Ema1 0"}, {}, {}}),
         Layout({{"Ema1 1", "Ema1 0"}, {}, {}}),
         "Ema1",
         "Ema1"},
        {"a file cut before its last sections",
         {{"Ema_missions:", {{"Ema1", "0"}}, false}},
         "Ema1",
         "Ema_missions:\nEma1 1\nfinale\n\n\nfinale\n\n\nfinale\n\n",
         "Ema_missions:\nEma1 1\nfinale\n\nfinale\nfinale\n\n\nfinale\n\n",
         "Ema1",
         "Ema1"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(datakit::WriteProgressFile(dir() / "Campaigns/VORLE", c.file));
        snprintf(lastmap, sizeof lastmap, "%s", c.lastmap);
        WriteCampaignProgress();
        EXPECT_EQ(File(), c.first) << c.what;
        EXPECT_STREQ(lastmap, c.lastmapFirst) << c.what;
        WriteCampaignProgress();
        EXPECT_EQ(File(), c.second) << c.what;
        EXPECT_STREQ(lastmap, c.lastmapSecond) << c.what;
        std::vector<std::string> names;
        host::FlushDirectoryCache();
        host::ListDir((dir() / "Campaigns").c_str(), names);
        EXPECT_EQ(names, std::vector<std::string>{"VORLE"}) << c.what << ": no temporary file stays";
    }
}

// A write that cannot complete (here: the file size limit) keeps the old file whole, leaves no temporary
// file, reports the failure and keeps lastmap.
TEST_F(ProgressTest, AFailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(datakit::WriteProgressFile(
        dir() / "Campaigns/VORLE",
        {{"Ema_missions:", {{"Ema1", "0"}, {"Ema2", "0"}}}, {"Ga_missions:", {}}, {"Extra_missions:", {}}}));
    const std::string old = File();
    snprintf(lastmap, sizeof lastmap, "Ema1");
    rlimit was{};
    getrlimit(RLIMIT_FSIZE, &was);
    const auto signalWas = signal(SIGXFSZ, SIG_IGN);
    rlimit small = was;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    WriteCampaignProgress();
    setrlimit(RLIMIT_FSIZE, &was);
    signal(SIGXFSZ, signalWas);
    EXPECT_EQ(File(), old);
    EXPECT_STREQ(lastmap, "Ema1");
    EXPECT_NE(std::string(host::LastDialogText()).find("could not be saved"), std::string::npos);
    std::vector<std::string> names;
    host::FlushDirectoryCache();
    host::ListDir((dir() / "Campaigns").c_str(), names);
    EXPECT_EQ(names, std::vector<std::string>{"VORLE"});
    // Without a progress file's name there is nothing to rewrite: reported, nothing changes.
    lastgame[0] = 0;
    WriteCampaignProgress();
    EXPECT_EQ(File(), old);
    EXPECT_STREQ(lastmap, "Ema1");
}

// The debriefing of a won mission records it once, however often it is built; the outer loop's own
// call after a tutorial takes the same one turn.
TEST_F(ProgressTest, AWonLevelIsRecordedOnce) {
    ASSERT_TRUE(datakit::WriteProgressFile(dir() / "Campaigns/VORLE",
                                           {{"Ema_missions:", {{"Ema1", "0"}, {"Ema2", "0"}, {"Ema3", "0"}}},
                                            {"Ga_missions:", {}},
                                            {"Extra_missions:", {}}}));
    for (Objective& o : PrimaryObjectives) snprintf(o.text, sizeof o.text, "NONE");
    for (Objective& o : SecondaryObjectives) snprintf(o.text, sizeof o.text, "NONE");
    snprintf(lastmap, sizeof lastmap, "Ema1");
    MissionWon = 1;
    CampaignProgressDue = 1;
    BuildScreen(kScreenDebriefing);
    BuildScreen(kScreenDebriefing);
    RecordCampaignProgress();
    EXPECT_EQ(File(), Layout({{"Ema1 1", "Ema2 0", "Ema3 0"}, {}, {}}));
    EXPECT_STREQ(lastmap, "Ema2");
    // A lost verdict records nothing, even when due.
    MissionLost = 1;
    CampaignProgressDue = 1;
    BuildScreen(kScreenDebriefing);
    EXPECT_STREQ(lastmap, "Ema2");
    MissionWon = MissionLost = 0;
    RecordCampaignProgress();
    EXPECT_STREQ(lastmap, "Ema3");
    EXPECT_EQ(CampaignProgressDue, 0);
}

}  // namespace
