// The task-force view's creation and deletion over a small tree of its files: the creation values, the
// map texture and its fallback, the textures, bitmaps and icons it holds, and what a missing icon does.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/Config.h"
#include "host/Fs.h"
#include "hud/Icons.h"
#include "hud/TFView.h"
#include "platform/ScreenVertex.h"
#include "platform/Texture.h"
#include "support/Fatal.h"
#include "support/InterfaceFiles.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "game/Startup.h"
#include "world/TickCounter.h"

namespace {

class TFViewFiles : public ::testing::Test {
protected:
    TFViewFiles() {
        std::memcpy(roots_[0], TEXROOT, kRootSize);
        std::memcpy(roots_[1], BITMAPROOT, kRootSize);
        std::memcpy(roots_[2], ICONROOT, kRootSize);
        std::memcpy(mission_, MissionName, sizeof mission_);
        EXPECT_TRUE(kvtest::WriteInterfaceFiles(dir_.path()));
        std::snprintf(TEXROOT, kRootSize, "%s/Textures", dir_.path().c_str());
        std::snprintf(BITMAPROOT, kRootSize, "%s/Bitmaps", dir_.path().c_str());
        std::snprintf(ICONROOT, kRootSize, "%s/Icons", dir_.path().c_str());
        std::snprintf(MissionName, sizeof MissionName, "Isle");
        widthWas_ = ScreenWidth;
        ScreenWidth = 800;
        host::FlushDirectoryCache();
    }
    ~TFViewFiles() override {
        IconsFree();
        std::memcpy(TEXROOT, roots_[0], kRootSize);
        std::memcpy(BITMAPROOT, roots_[1], kRootSize);
        std::memcpy(ICONROOT, roots_[2], kRootSize);
        std::memcpy(MissionName, mission_, sizeof mission_);
        ScreenWidth = widthWas_;
    }

    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;

private:
    char roots_[3][kRootSize];
    char mission_[64];
    int32_t widthWas_ = 0;
};

TEST_F(TFViewFiles, CreatedWithItsTexturesBitmapsAndIconsAndFreedWithThem) {
    IconsInit();
    const int32_t textures = TexCount;
    FrameCounter = 500;
    TFView* view = CreateTFView();
    EXPECT_EQ(view->mapPanelSize, 208);
    EXPECT_EQ(view->tfPanelWidth, 144);
    EXPECT_EQ(view->tfPanelTimer, 200);
    EXPECT_EQ(view->mapZoom, 11520);
    EXPECT_EQ(view->archiveIndex, -1);
    EXPECT_EQ(view->restoreViewKind, -1);
    EXPECT_EQ(view->markerTick, 499u);
    // The look starts level and ahead; the stored aim is the look's forward axis.
    EXPECT_EQ(view->lookYaw, 0);
    EXPECT_EQ(view->lookPitch, 102943);
    EXPECT_EQ(std::memcmp(view->aimDir, &view->lookMatrix[6], sizeof view->aimDir), 0);
    EXPECT_NE(view->crosshair, nullptr);
    EXPECT_NE(view->crosshairComb, nullptr);
    // "Isle" has no map texture of its own.
    EXPECT_STREQ(view->mapTex->name, "specials\\scape_test");
    EXPECT_STREQ(view->panelTex->name, "specials\\panel");
    EXPECT_STREQ(view->camPointerTex->name, "specials\\campointer");
    for (int i = 0; i < kSpecialTextureCount; ++i) {
        ASSERT_NE(SpecialTextures[i], nullptr) << i;
        EXPECT_EQ(std::string(SpecialTextures[i]->name), std::string("specials\\") + SpecialTextureNames[i]);
    }
    EXPECT_STREQ(view->iconsA[0]->name, "00");
    EXPECT_STREQ(view->iconsC[9]->name, "25");
    EXPECT_STREQ(view->iconsD[0]->name, "30");
    EXPECT_STREQ(view->iconsE[5]->name, "45");
    EXPECT_EQ(view->iconsE[6], view->iconsF[0]);
    EXPECT_STREQ(view->iconsF[1]->name, "51");
    EXPECT_EQ(TexCount, textures + 3 + kSpecialTextureCount);

    DeleteTFView(view);
    EXPECT_EQ(TexCount, textures);
    for (Tex* t : SpecialTextures) EXPECT_EQ(t, nullptr);
}

TEST_F(TFViewFiles, TheMissionsOwnMapTextureIsTakenWhenThereIsOne) {
    IconsInit();
    dir_.Write("Textures/specials/Isle", dir_.Read("Textures/specials/panel"));
    host::FlushDirectoryCache();
    kvtest::MemTrack memory(4096);
    TFView* view = CreateTFView();
    EXPECT_STREQ(view->mapTex->name, "specials\\Isle");
    EXPECT_EQ(memory.Live("tf view"), 1);
    DeleteTFView(view);
    EXPECT_EQ(memory.Live(), 0);
}

TEST_F(TFViewFiles, AMissingIconEndsTheProgram) {
    dir_.Write("Icons/51", "");
    std::remove((dir_ / "Icons/51").c_str());
    host::FlushDirectoryCache();
    IconsInit();
    const int32_t textures = TexCount;
    try {
        CreateTFView();
        ADD_FAILURE() << "made";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedQZIcon): icon '51' missing");
    }
    // Nothing was made before the icons were found.
    EXPECT_EQ(TexCount, textures);
}

}  // namespace
