// The extra view windows: opening one on a construct (once per construct, kind and target), the last one
// giving way when all are taken, and the toggle key closing only the last window that shows something.
#include <cstring>
#include <vector>

#include "TaskForceFixture.h"
#include "hud/TFInput_local.h"
#include "hud/TacticalMap.h"
#include "render/Viewport.h"

namespace hudtest {
namespace {

// A construct that shows its eye in a viewport when asked.
uintptr_t Eye_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::VIEWINSIDE || method == ItfcMethod::VIEWOUTSIDE)
        SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, con->pos,
                          reinterpret_cast<const FixMatrix*>(con->orient), method == ItfcMethod::VIEWINSIDE);
    return 0;
}

// The main view and three windows in the viewport table, hand-made; the rules the windows' detail names.
class WindowScene : public TaskForceScene {
public:
    WindowScene() {
        std::memcpy(tableWas_, ViewPortTable, sizeof tableWas_);
        countWas_ = ViewPortCount;
        mainWas_ = MainViewPort;
        std::memset(ports_, 0, sizeof ports_);
        for (int i = 0; i < 4; ++i) {
            ports_[i].cameraKind = 255;
            ViewPortTable[i] = &ports_[i];
        }
        ports_[0].main = 1;
        ViewPortCount = 4;
        MainViewPort = &ports_[0];
        std::memcpy(detailWas_, ExtViewPort_ScapeDetail, sizeof detailWas_);
        std::memcpy(mirroredWas_, ExtViewPort_MirroredScapeDetail, sizeof mirroredWas_);
        std::snprintf(ExtViewPort_ScapeDetail, sizeof ExtViewPort_ScapeDetail, "lod_window");
        std::snprintf(ExtViewPort_MirroredScapeDetail, sizeof ExtViewPort_MirroredScapeDetail, "lod_window");
        Rules("lod_window 1 2 3 4;");
        for (int i = 0; i < 5; ++i) {
            construct* c = CreateConstruct(1, 0);
            c->itfc = Eye_itfc;
            eyes.push_back(c);
        }
    }
    ~WindowScene() override {
        for (int i = 1; i < 4; ++i) DetachViewPort(&ports_[i]);
        for (construct* c : eyes) FreeConstruct(c);
        std::memcpy(ViewPortTable, tableWas_, sizeof tableWas_);
        ViewPortCount = countWas_;
        MainViewPort = mainWas_;
        std::memcpy(ExtViewPort_ScapeDetail, detailWas_, sizeof detailWas_);
        std::memcpy(ExtViewPort_MirroredScapeDetail, mirroredWas_, sizeof mirroredWas_);
    }
    std::vector<construct*> Shown() const {
        std::vector<construct*> out;
        for (int i = 1; i < 4; ++i) out.push_back(ports_[i].follows);
        return out;
    }

    ViewPort ports_[4];
    std::vector<construct*> eyes;

private:
    ViewPort* tableWas_[kMaxViewPorts];
    int32_t countWas_ = 0;
    ViewPort* mainWas_ = nullptr;
    char detailWas_[sizeof ExtViewPort_ScapeDetail];
    char mirroredWas_[sizeof ExtViewPort_MirroredScapeDetail];
};

using Shown = std::vector<construct*>;

TEST(ExtraWindows, EachWindowOpensOnceAndTheLastGivesWayWhenAllAreTaken) {
    WindowScene s;
    construct* const* e = s.eyes.data();
    ViewPort* first = OpenWatchView(e[0], ItfcMethod::VIEWINSIDE, 4, MainViewPort);
    ASSERT_EQ(first, &s.ports_[1]);
    EXPECT_EQ(first->cameraKind, 4);
    EXPECT_EQ(first->fade, 15);
    EXPECT_EQ(first->sharesMainBoards, 1);
    EXPECT_EQ(first->lod[1], 2);
    // The same construct, kind and target again: nothing new.
    EXPECT_EQ(OpenWatchView(e[0], ItfcMethod::VIEWINSIDE, 4, MainViewPort), nullptr);
    // Another kind, or a target to watch, is another window.
    EXPECT_EQ(OpenWatchViewWithOverlay(e[0], ItfcMethod::VIEWINSIDE, 5, MainViewPort, e[1]), &s.ports_[2]);
    EXPECT_EQ(s.ports_[2].overlayObject, e[1]);
    EXPECT_EQ(OpenWatchView(e[2], ItfcMethod::VIEWOUTSIDE, 1, MainViewPort), &s.ports_[3]);
    EXPECT_EQ(s.Shown(), (Shown{e[0], e[0], e[2]}));
    // All taken: the last one shows the new construct.
    EXPECT_EQ(OpenWatchView(e[3], ItfcMethod::VIEWINSIDE, 3, MainViewPort), &s.ports_[3]);
    EXPECT_EQ(s.Shown(), (Shown{e[0], e[0], e[3]}));
    EXPECT_EQ(s.ports_[3].cameraKind, 3);
    // Detaching takes the last window that shows something, one at a time.
    EXPECT_EQ(DetachLastExtraWindow(), &s.ports_[3]);
    EXPECT_EQ(s.Shown(), (Shown{e[0], e[0], nullptr}));
    EXPECT_EQ(s.ports_[3].cameraKind, 255);
    s.ports_[1].follows = nullptr;
    EXPECT_EQ(DetachLastExtraWindow(), &s.ports_[2]);
    EXPECT_EQ(DetachLastExtraWindow(), nullptr);
}

TEST(ExtraWindows, TheToggleKeyClosesOnlyTheLastWindowShowingSomething) {
    WindowScene s;
    const std::vector<construct*> u = s.Members(2);
    UpdateTFSelection(s.view_);
    EnterUnitView(s.view_, u[0], 0);
    OpenWatchView(s.eyes[0], ItfcMethod::VIEWINSIDE, 4, MainViewPort);
    OpenWatchView(s.eyes[1], ItfcMethod::VIEWINSIDE, 4, MainViewPort);
    ClearInput(&OwnPlayer->unitBefore);
    ClearInput(&OwnPlayer->unitNow);
    SetInputKey(&OwnPlayer->unitNow, static_cast<int>(PilotKey::TOGGLEEXTERN), true);
    PlayerViewInput(s.view_, OwnPlayer, 1);
    EXPECT_EQ(s.Shown(), (Shown{s.eyes[0], nullptr, nullptr}));
    PlayerUnit = nullptr;
}

}  // namespace
}  // namespace hudtest
