// The map pages: each opens with its picture at the screen's size and closes without it; while one is
// open the player's unit hears only the page's own toggle key; the pointing mode.
#include <cstring>
#include <string>
#include <vector>

#include "TaskForceFixture.h"
#include "host/Fs.h"
#include "hud/MapSurfaces.h"
#include "hud/MessageLog.h"
#include "hud/MousePtr.h"
#include "platform/Bitmap.h"
#include "tools/datakit/Texture.h"
#include "game/Startup.h"

namespace hudtest {
namespace {

// A mission "Pages" whose page picture lies in a bitmap root of the test's own.
class MapPages : public TaskForceScene {
public:
    MapPages() {
        std::memcpy(rootWas_, BITMAPROOT, sizeof rootWas_);
        std::memcpy(missionWas_, MissionName, sizeof missionWas_);
        const std::vector<uint8_t> picture =
            datakit::Bmp24(64, 32, std::vector<uint32_t>(64 * 32, 0x305080u));
        EXPECT_TRUE(datakit::WriteFile(dir_ / "Bitmaps/Pages_lmap", picture));
        host::FlushDirectoryCache();
        std::snprintf(BITMAPROOT, sizeof BITMAPROOT, "%s/Bitmaps", dir_.path().c_str());
        std::snprintf(MissionName, sizeof MissionName, "Pages");
        pointerWas_ = MousePointer;
        MousePointer = &pointer_;
        pointer_.clipXMin = pointer_.clipYMin = INT32_MIN;
        pointer_.clipXMax = pointer_.clipYMax = INT32_MAX;
    }
    ~MapPages() override {
        for (host::GfxSurface*& surface : view_->pageSurface) {
            if (surface) dxgl_ReleaseSurface(surface);
            surface = nullptr;
        }
        MousePointer = pointerWas_;
        std::memcpy(BITMAPROOT, rootWas_, sizeof rootWas_);
        std::memcpy(MissionName, missionWas_, sizeof missionWas_);
        MessageArchiveCount = 0;
        PlayerUnit = nullptr;
    }

    MousePtr pointer_ = {};

private:
    char rootWas_[kRootSize];
    char missionWas_[64];
    MousePtr* pointerWas_ = nullptr;
};

TEST(MapSurfaces, EachPageOpensWithItsPictureAndClosesWithoutIt) {
    struct Page {
        const char* name;
        TFPage page;
        void (*open)(TFView*);
        void (*close)(TFView*);
        const char* twice;
    };
    const Page pages[] = {
        {"large", kLargeMap, OpenLargeMap, CloseLargeMap, "Error: large map not released"},
        {"archive", kArchiveMap, OpenArchiveMap, CloseArchiveMap, "Error: archive map not released"},
        {"status", kStatusMap, OpenStatusMap, CloseStatusMap, "Error: status map not released"},
    };
    for (const Page& p : pages) {
        SCOPED_TRACE(p.name);
        MapPages s;
        // Closing a page that is not open only clears its flags.
        s.view_->pointing = 1;
        p.close(s.view_);
        EXPECT_EQ(s.view_->panels[p.page], 0);
        EXPECT_EQ(s.view_->pointing, p.page == kLargeMap ? 0 : 1);

        p.open(s.view_);
        EXPECT_EQ(s.view_->panels[p.page], 1);
        ASSERT_NE(s.view_->pageSurface[p.page], nullptr);
        int32_t w = 0, h = 0;
        dxgl_GetSurfaceSize(s.view_->pageSurface[p.page], &w, &h);
        EXPECT_EQ(w, 640);
        EXPECT_EQ(h, 480);
        EXPECT_EQ(s.FatalText([&] { p.open(s.view_); }), p.twice);
        p.close(s.view_);
        EXPECT_EQ(s.view_->panels[p.page], 0);
        EXPECT_EQ(s.view_->pageSurface[p.page], nullptr);
    }
}

TEST(MapSurfaces, TheArchiveOpensOnTheNewestMessage) {
    for (int count : {0, 3}) {
        MapPages s;
        MessageArchiveCount = count;
        OpenArchiveMap(s.view_);
        EXPECT_EQ(s.view_->archiveIndex, count - 1);
        CloseArchiveMap(s.view_);
    }
}

TEST(MapSurfaces, WhileAPageIsOpenTheUnitHearsOnlyItsToggleKey) {
    struct Case {
        const char* name;
        void (*open)(TFView*);
        void (*close)(TFView*);
        int toggle;
        bool hidesPointer;
    };
    const Case cases[] = {
        {"large map", OpenLargeMap, CloseLargeMap, 11, true},
        {"archive map", OpenArchiveMap, CloseArchiveMap, 9, false},
        {"status map", OpenStatusMap, CloseStatusMap, 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapPages s;
        const std::vector<construct*> u = s.Members(1);
        PlayerUnit = u[0];
        ControlInput& before = OwnPlayer->unitBefore;
        ControlInput& now = OwnPlayer->unitNow;
        std::memset(&before, 0xff, sizeof before);
        std::memset(&now, 0, sizeof now);
        for (int bit : {c.toggle, 18, 33}) SetInputKey(&now, bit, true);
        now.axes[3] = 500;
        g_cameraCalls.clear();
        c.open(s.view_);
        // The toggle key keeps its state in each record (held now, held before: its release will show).
        ControlInput want{};
        SetInputKey(&want, c.toggle, true);
        EXPECT_EQ(std::memcmp(&now, &want, sizeof want), 0);
        EXPECT_EQ(std::memcmp(&before, &want, sizeof want), 0);
        // The outside camera stops turning with the cleared record.
        const auto calls = TaskForceScene::CallsTo(SatCamera);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].first, ItfcMethod::SETLOOK);
        EXPECT_EQ(calls[0].second, Word(&now));

        s.pointer_.shown = 1;
        c.close(s.view_);
        EXPECT_EQ(s.pointer_.shown, c.hidesPointer ? 0 : 1);
    }
}

TEST(MapSurfaces, PointingShowsThePointerInTheScreensCentre) {
    MapPages s;
    OpenLargeMap(s.view_);
    BeginMapPointing(s.view_);
    EXPECT_EQ(s.view_->pointing, 1);
    EXPECT_EQ(s.pointer_.shown, 1);
    EXPECT_EQ(s.pointer_.x, 320);
    EXPECT_EQ(s.pointer_.y, 240);
    CloseLargeMap(s.view_);
    EXPECT_EQ(s.view_->pointing, 0);
}

}  // namespace
}  // namespace hudtest
