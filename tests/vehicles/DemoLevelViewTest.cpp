// The demo level's main view with its units in it: the satellite camera is attached to the first unit of
// the player's task force (a jeep at the E.M.A. base), as the tactical map does when the level starts, the
// world runs a few ticks, and the snapshot step writes the view as the frame loop draws it. The jeep must
// show in the picture: it differs from the same view with the task force taken out of the world, and it
// matches its reference picture.
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "render/ReferencePicture.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "game/Level.h"
#include "render/Snapshot.h"

namespace kvtest {
namespace {

class DemoLevelView : public DemoLevel {
public:
    DemoLevelView() { width_ = 160, height_ = 120; }
    // The level starts with the camera framing the whole task force from far out; this view is the
    // camera's own, close by, as it stands when it is placed.
    void SetUp() override {
        DemoLevel::SetUp();
        CallItfc(SatCamera, ItfcMethod::ATTACH, 0);
        CallItfc(SatCamera, ItfcMethod::PLACE, 0);
    }

    // The camera is attached to the unit; the world runs so that it settles on it.
    static void Attach(construct* unit) {
        ASSERT_NE(SatCamera, nullptr);
        CallItfc(SatCamera, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(unit));
        for (int i = 0; i < 4; ++i) {
            WorldTick(1, 1);
            UpdateViewPortCamera(MainViewPort, 1);
        }
    }

    // The main view through the frame loop's snapshot step, read back from the file it wrote.
    std::vector<uint32_t> Snapshot() const {
        const int number = TakeSnapshot([] { RenderAllViews(); });
        char name[64];
        std::snprintf(name, sizeof name, "Snapshots/sd%08d.bmp", number);
        int w = 0, h = 0;
        std::vector<uint32_t> rgb;
        EXPECT_TRUE(ReadBmp24(DemoTree() + "/" + name, &w, &h, &rgb)) << name;
        EXPECT_EQ(w, width_);
        EXPECT_EQ(h, height_);
        return rgb;
    }
};

TEST_F(DemoLevelView, TheTaskForceShowsInTheMainViewSnapshot) {
    const std::vector<construct*> jeeps = UnitsOf("EMA_TaskForce");
    ASSERT_EQ(jeeps.size(), 2u);
    Attach(jeeps[0]);
    const std::vector<uint32_t> with = Snapshot();
    ASSERT_EQ(with.size(), 160u * 120u);
    CompareWithReference("demo_level_task_force", 160, 120, with);

    // The same view without the jeeps: the camera stays where it is (it keeps no target).
    CallItfc(SatCamera, ItfcMethod::ATTACH, 0);
    for (construct* c : jeeps) CallItfc(c, ItfcMethod::UNPLACE, reinterpret_cast<uintptr_t>(c->pos));
    FlushQZEvents();
    const std::vector<uint32_t> without = Snapshot();
    ASSERT_EQ(without.size(), with.size());
    int changed = 0;
    for (size_t i = 0; i < with.size(); ++i) changed += with[i] != without[i];
    // The jeep, seen from the camera's distance, covers some hundreds of pixels of the view.
    EXPECT_GT(changed, 200);
}

}  // namespace
}  // namespace kvtest
