// The record/replay mission's main view: the shipped scene of the convoy loaded and replayed draws the
// view between two black bars, a ninth of the screen each; the jeeps drive as the scene says; after the
// replay the bars are gone. The picture with the panel over it is written for a look (not compared).
#include <cstdio>
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "ai/RecordReplay.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "support/Bmp24.h"
#include "game/CutScenes.h"
#include "game/Level.h"
#include "render/Snapshot.h"

namespace kvtest {
namespace {

class CutSceneView : public DemoLevel {
public:
    CutSceneView() {
        mission_ = "Cutscene";
        width_ = 180, height_ = 135;
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            WorldTick(1, 1);
            UpdateViewPortCamera(MainViewPort, 1);
        }
    }
    std::vector<uint32_t> Snapshot() const {
        const int number = TakeSnapshot([] { RenderAllViews(); });
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(ReadBmp24(DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        return rgb;
    }
    // Rows of the picture that are black from edge to edge.
    int BlackRows(const std::vector<uint32_t>& rgb, int from, int to) const {
        int rows = 0;
        for (int y = from; y < to; ++y) {
            bool black = true;
            for (int x = 0; x < width_; ++x) black = black && (rgb[size_t(y * width_ + x)] & 0xffffff) == 0;
            rows += black;
        }
        return rows;
    }
};

TEST_F(CutSceneView, AReplayedSceneIsFramedByBarsThatGoWithIt) {
    ASSERT_EQ(LoadScene("demo"), 1);
    construct* jeep = UnitsOf("Cut_Convoy").at(0);
    const int32_t start[3] = {jeep->pos[0], jeep->pos[1], jeep->pos[2]};
    RecordReplay_start(0);
    Ticks(200);
    ASSERT_TRUE(CutScenePlaying());
    EXPECT_GT(std::abs(jeep->pos[0] - start[0]) + std::abs(jeep->pos[2] - start[2]), 10000) << "the jeep drives";
    const std::vector<uint32_t> playing = Snapshot();
    ASSERT_EQ(playing.size(), size_t(width_ * height_));
    const int bar = height_ / 9;
    EXPECT_EQ(BlackRows(playing, 0, bar), bar);
    EXPECT_EQ(BlackRows(playing, height_ - bar, height_), bar);
    EXPECT_LT(BlackRows(playing, bar, height_ - bar), (height_ - 2 * bar) / 2) << "the view shows between them";

    // For a look: the frame with the panel over it, as the frame loop draws it.
    RenderAllViews();
    DrawRecordReplayPanel();
    dxgl_ExportSurface_bmp(BackBuffer, (DemoTree() + "/Snapshots/cutscene_panel.bmp").c_str());

    Ticks(500);
    EXPECT_FALSE(RecordReplayRunning) << "the scene's 600 frames are over";
    const std::vector<uint32_t> after = Snapshot();
    EXPECT_LT(BlackRows(after, 0, bar), bar);
}

}  // namespace
}  // namespace kvtest
