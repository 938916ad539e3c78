// The demo level seen from the cockpit of the task force's first jeep, as the frame loop draws it: the
// cockpit model and the overlay over the main view (clock, instruments, the navigation arrow and the
// target marks), with the lock target on screen and off screen, the won notice, and the status map over
// the whole screen. Each snapshot is compared with its reference picture, reduced to blocks of 4 x 4
// pixels (tolerance in tests/render/ReferencePicture.h).
#include <cstdio>
#include <string>
#include <vector>

#include "DemoLevel.h"
#include "host/Gfx.h"
#include "hud/MapSurfaces.h"
#include "hud/TFView.h"
#include "hud/ViewInstruments.h"
#include "objects/UnitRecord.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "render/ReferencePicture.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "game/Level.h"
#include "world/Terrain.h"

namespace kvtest {
namespace {

class CockpitView : public DemoLevel {
public:
    CockpitView() { width_ = 640, height_ = 480; }

    void SetUp() override {
        DemoLevel::SetUp();
        LoadFont();
    }
    void TearDown() override {
        if (PlayerUnit) FreeCrosshairs(PlayerUnit);
        PlayerUnit = nullptr;
        FreeFont();
        DemoLevel::TearDown();
    }

    // The player takes the jeep as entering a unit does: his input drives it, its sensor beam is on, its
    // crosshair and weapon names are loaded, and the main view looks out of its cockpit.
    void Enter(construct* jeep) {
        PlayerUnit = jeep;
        Drive(jeep);
        CallItfc(jeep, ItfcMethod::PLAYERENTER);
        LoadCrosshairs(jeep);
        GetWeaponName(jeep);
        CallItfc(jeep, ItfcMethod::VIEWINSIDE, reinterpret_cast<uintptr_t>(MainViewPort));
        Run(8, ControlInput{});
        UpdateViewPortCamera(MainViewPort, 1);
    }

    // The unit stands on the ground at `tiles` tiles along the jeep's forward axis (negative: behind) and
    // becomes the jeep's lock target.
    void Target(construct* jeep, construct* unit, double tiles) {
        for (int k = 0; k < 3; k += 2)
            unit->pos[k] = jeep->pos[k] + static_cast<int32_t>(jeep->orient[6 + k] * 2 * tiles);
        unit->pos[1] = InterpGroundHeight(CurrentMatrix, unit->pos, nullptr);
        UnitShare* rec = GetUnitShare(jeep);
        entry_ = ThreatEntry{};
        entry_.con = unit;
        entry_.distance = static_cast<int32_t>(std::abs(tiles) * 65536);
        rec->lockTarget = unit;
        rec->lockEntry = &entry_;
    }

    // A frame as the frame loop draws it (a snapshot's frame would leave out the clock and the target
    // marks), read from the back buffer.
    std::vector<uint32_t> Frame() const {
        host::Clear(D3DDevice, 0, nullptr, host::GfxClearTarget, 0, 1.0f, 0);
        RenderAllViews();
        host::FinishDrawing(D3DDevice);
        std::vector<uint32_t> rgb;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) rgb.push_back(host::ReadPixelArgb(BackBuffer, x, y) & 0xFFFFFFu);
        if (const char* dir = std::getenv("KV_SNAPSHOT_DIR")) {
            static int n = 0;
            datakit::WriteFile(std::string(dir) + "/frame" + std::to_string(n++) + ".bmp",
                               datakit::Bmp24(width_, height_, rgb));
        }
        return rgb;
    }

    ThreatEntry entry_{};
};

TEST_F(CockpitView, TheJeepsCockpitShowsTheOverlayAndTheTargetMarks) {
    const std::vector<construct*> jeeps = UnitsOf("EMA_TaskForce");
    const std::vector<construct*> enemies = UnitsOf("GA_Outpost");
    ASSERT_FALSE(jeeps.empty());
    ASSERT_FALSE(enemies.empty());
    construct* jeep = jeeps[0];
    Enter(jeep);
    ASSERT_TRUE(MainViewPort->insideView);

    Target(jeep, enemies[0], 3.0);
    const std::vector<uint32_t> ahead = Frame();
    ASSERT_EQ(ahead.size(), size_t(640 * 480));
    CompareWithReducedReference("cockpit_target_ahead", 640, 480, ahead);

    Target(jeep, enemies[0], -3.0);
    const std::vector<uint32_t> behind = Frame();
    CompareWithReducedReference("cockpit_target_behind", 640, 480, behind);
    EXPECT_EQ(GetUnitShare(jeep)->lockCountdown, 150) << "a target off screen resets the lock";

    WinCountdown = 600;
    const std::vector<uint32_t> won = Frame();
    CompareWithReducedReference("cockpit_won_notice", 640, 480, won);
    WinCountdown = 0;

    // The status map covers the screen: no view under it, only the page with the mission's objectives.
    ASSERT_NE(PlayerTFView, nullptr);
    OpenStatusMap(PlayerTFView);
    const std::vector<uint32_t> status = Frame();
    CloseStatusMap(PlayerTFView);
    CompareWithReducedReference("status_map", 640, 480, status);
}

}  // namespace
}  // namespace kvtest
