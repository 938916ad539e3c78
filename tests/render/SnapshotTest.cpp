// Snapshots: numbering that never overwrites, the folder made when missing, and the automatic cadence.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/Config.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "render/Snapshot.h"

namespace {

int g_redraws = 0;
int g_renderingSeen = 0;
void Redraw() {
    ++g_redraws;
    g_renderingSeen = SnapshotRendering;
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        ASSERT_TRUE(host::SetWorkingDirectory(tmp.path().c_str()));
        host::FlushDirectoryCache();
        savedBack_ = BackBuffer;
        savedDelay_ = auto_snapshot_delay;
        savedNumber_ = SnapshotNumber;
        BackBuffer = host::CreateSurface(6, 2, host::PixelFormat::RGB565, host::SurfaceKind::RenderTarget, false);
        SnapshotNumber = 0;
        SnapshotCountdown = 0;
        g_redraws = 0;
    }
    void TearDown() override {
        host::DeleteSurface(BackBuffer);
        BackBuffer = savedBack_;
        auto_snapshot_delay = savedDelay_;
        SnapshotNumber = savedNumber_;
        std::filesystem::current_path(old_);
        host::FlushDirectoryCache();
    }
    bool Exists(const std::string& rel) { return std::filesystem::exists(tmp / rel); }

    kvtest::TempDir tmp;
    kvtest::FatalCatcher fatal;
    std::filesystem::path old_;
    host::GfxSurface* savedBack_ = nullptr;
    int savedDelay_ = 0;
    int savedNumber_ = 0;
};

TEST_F(SnapshotTest, MakesTheFolderAndSkipsTakenNumbers) {
    EXPECT_EQ(TakeSnapshot(Redraw), 0);
    EXPECT_TRUE(Exists("Snapshots/sd00000000.bmp"));
    EXPECT_EQ(g_redraws, 1);
    EXPECT_EQ(g_renderingSeen, 1);
    EXPECT_EQ(SnapshotRendering, 0);
    // Files of earlier runs are never overwritten.
    tmp.Write("Snapshots/sd00000001.bmp", "keep");
    tmp.Write("Snapshots/sd00000002.bmp", "keep");
    host::FlushDirectoryCache();
    EXPECT_EQ(TakeSnapshot(nullptr), 3);
    EXPECT_EQ(tmp.Read("Snapshots/sd00000001.bmp"), "keep");
    EXPECT_EQ(tmp.Read("Snapshots/sd00000003.bmp").size(), 54u + 2u * 20u) << "6 pixels: 18 bytes padded to 20";
    EXPECT_EQ(TakeSnapshot(nullptr), 4);
}

TEST_F(SnapshotTest, AutomaticCadenceAndTheKey) {
    auto_snapshot_delay = 0;
    EXPECT_EQ(SnapshotStep(5, false, nullptr), 0);
    EXPECT_EQ(SnapshotStep(5, true, nullptr), 1);
    auto_snapshot_delay = 10;
    SnapshotCountdown = 10;
    struct Step {
        int ticks;
        bool key;
        int taken;
    } steps[] = {{4, true, 0}, {5, false, 0}, {1, false, 1}, {3, false, 0}, {30, false, 1}, {9, false, 0}};
    int n = 0;
    for (const Step& s : steps) EXPECT_EQ(SnapshotStep(s.ticks, s.key, nullptr), s.taken) << "step " << n++;
    EXPECT_EQ(SnapshotNumber, 3);
}

}  // namespace
