// The interactive way test on the demo island (the screen shows the whole island): points set with the
// mouse buttons, the search between the first two from the E.M.A. base to the G.A. outpost round the lake,
// the reset, and the report drawn over the view.
#include <filesystem>

#include "ai/WayFinder.h"
#include "ai/WayPointList.h"
#include "ai/WayTree.h"
#include "core/Keys.h"
#include "hud/MousePtr.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "render/View.h"
#include "support/Bmp24.h"
#include "vehicles/DemoLevel.h"
#include "render/Snapshot.h"
#include "world/Terrain.h"

namespace {

class WayTestOnTheIsland : public kvtest::DemoLevel {
public:
    WayTestOnTheIsland() { width_ = 640, height_ = 480; }
    void SetUp() override {
        DemoLevel::SetUp();
        saved_ = MousePointer;
        MousePointer = &pointer_;
    }
    void TearDown() override {
        for (int code : {256, 257, 258, 14}) KeyStates[code] = 0;
        MousePointer = saved_;
        ResetWayTest();
        DemoLevel::TearDown();
    }
    // One frame of the test with the pointer at the screen position and the button held.
    void Frame(int32_t x, int32_t y, int button = -1) {
        pointer_.x = x;
        pointer_.y = y;
        for (int code : {256, 257, 258, 14}) KeyStates[code] = 0;
        if (button >= 0) KeyStates[button] = 0x80;
        WayTestGrid(0);
    }
    void Click(int32_t x, int32_t y, int button) {
        Frame(x, y, button);
        Frame(x, y);
    }
    // The screen position of a world point under the default mapping (the whole matrix on the screen).
    static int32_t Px(double tiles) { return int32_t(tiles * 65536.0 / (64.0 * 65536.0 / 480.0) + 0.5); }

    MousePtr pointer_{};
    MousePtr* saved_ = nullptr;
};

TEST_F(WayTestOnTheIsland, TwoPointsGiveAWayRoundTheLakeAndBackspaceStartsAgain) {
    LoadFont();
    // The E.M.A. base (16, 48) and the open ground before the G.A. outpost (50, 24), outside its fences
    // and buildings; the lake lies between them.
    Click(Px(16), Px(48), 256);
    ASSERT_EQ(WayTest.count, 1);
    EXPECT_EQ(WayTest.points[0][1], 2147483647);
    EXPECT_NEAR(WayTest.points[0][0] / 65536.0, 16, 0.2);
    EXPECT_NEAR(WayTest.points[0][2] / 65536.0, 48, 0.2);
    EXPECT_EQ(WayTest.result, -1);
    Frame(Px(50), Px(24), 256);  // held over two frames: one point
    Frame(Px(50), Px(24), 256);
    ASSERT_EQ(WayTest.count, 2);
    EXPECT_EQ(WayTest.result, kWaySolved);
    ASSERT_NE(WayTest.way, nullptr);
    EXPECT_GT(WayTest.way->count, 2);
    // The way keeps off the deep water: no leg of it is blocked for a land unit.
    for (int i = 1; i < WayTest.way->count; ++i) {
        int32_t out[3];
        int blocked = 0;
        FindWayTree(WayTest.way->points[i - 1], WayTest.way->points[i], out, &blocked, 0);
        EXPECT_EQ(blocked, 0) << i << " of " << WayTest.way->count << " from " << WayTest.way->points[i-1][0]/65536.0 << "," << WayTest.way->points[i-1][2]/65536.0 << " to " << WayTest.way->points[i][0]/65536.0 << "," << WayTest.way->points[i][2]/65536.0 << " out " << out[0]/65536.0 << "," << out[2]/65536.0;
    }
    // The report over the view: points, rings, the way and the tree, in the view's pixels.
    auto picture = [](void (*draw)()) {
        const int number = TakeSnapshot(draw);
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(kvtest::ReadBmp24(kvtest::DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        if (std::getenv("KV_KEEP_WAYTEST"))
            std::filesystem::copy_file(kvtest::DemoTree() + "/" + name, std::getenv("KV_KEEP_WAYTEST"),
                                       std::filesystem::copy_options::overwrite_existing);
        return rgb;
    };
    const std::vector<uint32_t> plain = picture([] { RenderAllViews(); });
    const std::vector<uint32_t> reported = picture([] {
        RenderAllViews();
        WayTestReport();
    });
    ASSERT_EQ(plain.size(), reported.size());
    int changed = 0;
    for (size_t i = 0; i < plain.size(); ++i) changed += plain[i] != reported[i];
    EXPECT_GT(changed, 500);
    // A third point searches nothing more; Backspace clears it all.
    Click(Px(30), Px(30), 257);
    ASSERT_EQ(WayTest.count, 3);
    EXPECT_EQ(WayTest.points[2][1], int32_t(-2147483647 - 1));
    Frame(0, 0, 14);
    EXPECT_EQ(WayTest.count, 0);
    EXPECT_EQ(WayTest.result, -1);
    EXPECT_EQ(WayTest.way, nullptr);
    EXPECT_EQ(WayTest.tree, nullptr);
    // At most 63 points.
    for (int i = 0; i < 70; ++i) Click(Px(10), Px(10), 257);
    EXPECT_EQ(WayTest.count, 63);
    FreeFont();
}

}  // namespace
