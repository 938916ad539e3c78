// A front end without a display: the menu texts of the demo read into the rule list, a screen of the
// given size, the virtual clock (so that the transitions take frames, not time), a small data folder of
// the front end's own files as the working folder, and every widget freed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/Config.h"
#include "core/Rules.h"
#include "frontend/Credits.h"
#include "frontend/Frontend.h"
#include "host/Clock.h"
#include "host/Fs.h"
#include "render/RenderTables.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Campaign.h"

namespace kvtest {

// The roots the front end reads, pointed at a data folder's own subfolders and put back afterwards.
class FrontendRoots {
public:
    FrontendRoots() {
        for (size_t i = 0; i < kCount; ++i) memcpy(saved_[i], Root(i), kRootSize);
        Set(CAMPAIGNROOT, "Campaigns");
        Set(SCRIPTROOT, "Scripts");
        Set(TEXTROOT, "app\\text");
        Set(TEXROOT, "Textures");
        Set(BITMAPROOT, "Bitmaps");
        Set(SAVEDGAMESROOT, "SavedGames");
    }
    ~FrontendRoots() {
        for (size_t i = 0; i < kCount; ++i) memcpy(Root(i), saved_[i], kRootSize);
    }
    static void Set(char* root, const char* folder) { snprintf(root, kRootSize, "%s", folder); }

private:
    static constexpr size_t kCount = 6;
    static char* Root(size_t i) {
        char* roots[kCount] = {CAMPAIGNROOT, SCRIPTROOT, TEXTROOT, TEXROOT, BITMAPROOT, SAVEDGAMESROOT};
        return roots[i];
    }
    char saved_[kCount][kRootSize];
};

// The working folder of a front-end test: the progress file, the two campaign files, the team list and
// the credits, as small as the screens need them.
class FrontendTree {
public:
    FrontendTree() : previous_(std::filesystem::current_path()) {
        datakit::WriteProgressFile(dir_ / "Campaigns/VORLE",
                                   {{"Ema_missions:", {{"Ema1", "1"}, {"Ema2", "0"}, {"Ema3", "0"}}},
                                    {"Ga_missions:", {{"Ga1", "0"}}},
                                    {"Extra_missions:", {}}});
        datakit::WriteCampaignFile(dir_ / "Scripts/EMA.cpn", {{"Ema1", "First Light"}, {"Ema2", "Harbour"}});
        datakit::WriteCampaignFile(dir_ / "Scripts/GA.cpn", {{"Ga1", "Counterstrike"}});
        datakit::WriteTeamList(dir_ / "app/teams/teamlist", {{"Wolves", "wolflogo", "255", "128", "0", {}},
                                                             {"Bears", "bearlogo", "10", "20", "30", {}}});
        datakit::WriteTextFile(dir_ / "app/text/credits.txt",
                               datakit::CreditsText({"Karvonel", "---CUT---", "end"}));
        std::filesystem::create_directories(dir_ / "SavedGames");
        host::SetWorkingDirectory(dir_.path().c_str());
        host::FlushDirectoryCache();
    }
    ~FrontendTree() {
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
    }
    const TempDir& dir() const { return dir_; }

private:
    std::filesystem::path previous_;
    TempDir dir_;
    FrontendRoots roots_;
};

class FrontendTest : public ::testing::Test {
protected:
    explicit FrontendTest(int width = 800, int height = 600)
        : widthWas_(ScreenWidth), heightWas_(ScreenHeight) {
        ScreenWidth = width;
        ScreenHeight = height;
        host::UseVirtualClock(2.0);
        ReadRules(KV_SOURCE_DIR "/data/app/text/Menu.txt");
    }
    ~FrontendTest() override {
        RunCredits(-1);
        FreeWidgets();
        FreeScreenBackground(&ScreenBackground);
        OpenMsgBox = -1;
        DraggedSlider = -1;
        MenuScreen = 0;
        FreeRules();
        host::UseRealClock();
        ScreenWidth = widthWas_;
        ScreenHeight = heightWas_;
    }
    FatalCatcher fatal_;
    FrontendTree tree_;
    int widthWas_, heightWas_;
};

}  // namespace kvtest
