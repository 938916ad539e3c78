// The player's view input: a table of pilot-mode key sequences against the state they change (views,
// map pages and pointing, selection keys, panels, leaving the unit, quick-save and quick-load, the
// countdowns), and the action key's progress, completion and decay.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "TaskForceFixture.h"
#include "ai/AUDef.h"
#include "hud/MapSurfaces.h"
#include "hud/MissionStatus.h"
#include "hud/MousePtr.h"
#include "hud/TacticalMap.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "game/Level.h"
#include "world/TerrainFixtures.h"
#include "world/TickCounter.h"

namespace hudtest {
namespace {

using Units = std::vector<construct*>;
using PK = PilotKey;

int Bit(PK key) {
    return static_cast<int>(key);
}

std::vector<std::string> g_saved, g_loaded;
int Saver(const char* name) {
    g_saved.emplace_back(name);
    return 1;
}
int Loader(const char* name, int, char*) {
    g_loaded.emplace_back(name);
    return 5;
}

// The task force of four, the player in the first member, the pointer a record of the test's own.
class PilotScene : public TaskForceScene {
public:
    PilotScene() {
        pointerWas_ = MousePointer;
        MousePointer = &pointer_;
        pointer_.clipXMin = pointer_.clipYMin = INT32_MIN;
        pointer_.clipXMax = pointer_.clipYMax = INT32_MAX;
        surfaceWas_ = SurfaceHeight;
        SurfaceHeight = 480;
        ResetPlayerInputState();
        ResetMissionStatus();
        frameWas_ = FrameCounter;
        FrameCounter = 1000;
        SetGameFileHandlers(Saver, Loader);
        g_saved.clear();
        g_loaded.clear();
        u = Members(4);
        UpdateTFSelection(view_);
        EnterUnitView(view_, u[0], 0);
        view_->mapZoom = 11520;
        DrainQueues();
        ClearInput(&OwnPlayer->unitBefore);
        ClearInput(&OwnPlayer->unitNow);
    }
    ~PilotScene() override {
        for (host::GfxSurface*& surface : view_->pageSurface) {
            if (surface) dxgl_ReleaseSurface(surface);
            surface = nullptr;
        }
        SetGameFileHandlers(nullptr, nullptr);
        GameFileName[0] = 0;
        MousePointer = pointerWas_;
        SurfaceHeight = surfaceWas_;
        FrameCounter = frameWas_;
        PlayerUnit = nullptr;
        ResetPlayerInputState();
        ResetMissionStatus();
        SavedNoticeTicks = LoadedNoticeTicks = 0;
        PlayerRestrictions = 0xffffffffu;
        LevelCockpitOnly = 0;
        ActionTargetAU = nullptr;
        CurrentMatrix = nullptr;
        std::memset(KeyStates, 0, sizeof KeyStates);
    }
    // One call with the pilot-mode keys held.
    void Frame(std::initializer_list<int> held, int ticks = 1) {
        ControlInput& now = OwnPlayer->unitNow;
        OwnPlayer->unitBefore = now;
        ClearInput(&now);
        for (int bit : held) SetInputKey(&now, bit, true);
        FrameCounter += uint32_t(ticks);
        PlayerViewInput(view_, OwnPlayer, ticks);
    }

    Units u;
    MousePtr pointer_ = {};

private:
    MousePtr* pointerWas_ = nullptr;
    int32_t surfaceWas_ = 0;
    uint32_t frameWas_ = 0;
};

TEST(PlayerViewInput, PilotKeysChangeTheirState) {
    struct Case {
        const char* name;
        std::function<void(PilotScene&)> play;
        std::function<void(PilotScene&)> check;
    };
    const Case cases[] = {
        {"the view keys choose the view source and the preferred view",
         [](PilotScene& s) {
             s.Frame({Bit(PK::VIEWMODE2)});
             EXPECT_EQ(preferred_view, 1);
             EXPECT_EQ(MainViewSource, s.u[0]);
             s.Frame({});
             s.Frame({Bit(PK::VIEWMODE4)});
             EXPECT_EQ(MainViewSource, StatCamera);
             EXPECT_EQ(preferred_view, 3);
             s.Frame({});
             s.Frame({Bit(PK::VIEWMODE3)});
             EXPECT_EQ(MainViewSource, SatCamera);
             EXPECT_EQ(preferred_view, 2);
             s.Frame({});
             s.Frame({Bit(PK::VIEWMODE1)});
         },
         [](PilotScene& s) {
             EXPECT_EQ(MainViewSource, s.u[0]);
             EXPECT_EQ(preferred_view, 0);
         }},
        {"quick-save saves \"quicksave\"; quick-load loads it",
         [](PilotScene& s) {
             s.Frame({Bit(PK::QUICKSAVE)});
             s.Frame({});
             s.Frame({Bit(PK::QUICKLOAD)});
         },
         [](PilotScene&) {
             EXPECT_EQ(g_saved, std::vector<std::string>{"quicksave"});
             EXPECT_EQ(g_loaded, std::vector<std::string>{"quicksave"});
         }},
        {"quick-save is refused while a countdown runs or the mission is decided",
         [](PilotScene& s) {
             for (int32_t* word : {&WinCountdown, &LoseCountdown}) {
                 *word = 500;
                 s.Frame({Bit(PK::QUICKSAVE)});
                 s.Frame({});
                 *word = 0;
             }
             for (int* flag : {&MissionWon, &MissionLost}) {
                 *flag = 1;
                 s.Frame({Bit(PK::QUICKSAVE)});
                 s.Frame({});
                 *flag = 0;
             }
             // Quick-load never is.
             LoseCountdown = 300;
             s.Frame({Bit(PK::QUICKLOAD)});
         },
         [](PilotScene&) {
             EXPECT_TRUE(g_saved.empty());
             EXPECT_EQ(g_loaded.size(), 1u);
         }},
        {"the countdowns reach 0: the mission is won, the notices go",
         [](PilotScene& s) {
             WinCountdown = 15;
             SavedNoticeTicks = 100;
             LoadedNoticeTicks = 7;
             SetViewNotice("x", 12);
             s.Frame({}, 10);
             EXPECT_EQ(MissionWon, 0);
             s.Frame({}, 10);
         },
         [](PilotScene&) {
             EXPECT_EQ(WinCountdown, 0);
             EXPECT_EQ(MissionWon, 1);
             EXPECT_EQ(SavedNoticeTicks, 80);
             EXPECT_EQ(LoadedNoticeTicks, 0);
             EXPECT_EQ(ViewNoticeTimer, 0);
         }},
        {"the lose countdown reaching 0 loses it",
         [](PilotScene& s) {
             LoseCountdown = 3;
             s.Frame({}, 3);
         },
         [](PilotScene&) {
             EXPECT_EQ(MissionLost, 1);
             EXPECT_EQ(MissionWon, 0);
         }},
        {"the map pages open and close by their keys; one page leads to another",
         [](PilotScene& s) {
             s.Frame({Bit(PK::TOGGLELMAP)});
             EXPECT_EQ(s.view_->panels[kLargeMap], 1);
             s.Frame({});
             s.Frame({Bit(PK::TOGGLEARCHIVE)});
             EXPECT_EQ(s.view_->panels[kLargeMap], 0);
             EXPECT_EQ(s.view_->panels[kArchiveMap], 1);
             s.Frame({});
             s.Frame({Bit(PK::CLOSE)});
         },
         [](PilotScene& s) {
             for (int p = 0; p < kTFPageCount; ++p) EXPECT_EQ(s.view_->panels[p], 0);
         }},
        {"the pointing mode swallows every other key and sends the order on the release",
         [](PilotScene& s) {
             kvtest::HandMatrix terrain(8, 8);
             CurrentMatrix = terrain.m;
             s.Recipients({s.u[2]});
             OpenCommMenu(s.menu_);
             s.view_->orderKind = 1;
             OpenLargeMap(s.view_);
             BeginMapPointing(s.view_);
             s.pointer_.x = 240, s.pointer_.y = 230;
             KeyStates[256] = 1;  // the pointer button
             KeyStates[200] = 0x80;  // the up arrow: one pixel a tick
             s.Frame({Bit(PK::TOGGLETFVIEW)}, 10);
             EXPECT_EQ(CockpitPanels, 3);
             EXPECT_EQ(s.pointer_.y, 240);
             EXPECT_TRUE(TaskForceScene::Take(0).empty());
             KeyStates[256] = KeyStates[200] = 0;
             s.Frame({});
             const std::vector<Posted> posted = TaskForceScene::Take(0);
             ASSERT_EQ(posted.size(), 1u);
             EXPECT_EQ(posted[0].type, 350);
             EXPECT_EQ(posted[0].units, (Units{s.u[2]}));
             EXPECT_EQ(posted[0].point[0], 4 * 65536);
             EXPECT_EQ(posted[0].point[2], 4 * 65536);
             CurrentMatrix = nullptr;
         },
         [](PilotScene& s) {
             EXPECT_EQ(s.view_->pointing, 0);
             EXPECT_EQ(s.view_->panels[kLargeMap], 0);
             EXPECT_EQ(s.menu_->open, 0);
         }},
        {"a unit key's short press opens the comm menu with that member",
         [](PilotScene& s) {
             s.Frame({Bit(PK::UNIT3)});
             s.Frame({});
         },
         [](PilotScene& s) {
             EXPECT_EQ(s.menu_->open, 1);
             EXPECT_EQ(s.Pool(s.menu_->recipients), (Units{s.u[2]}));
             EXPECT_EQ(PlayerUnit, s.u[0]);
         }},
        {"a unit key held past 50 ticks jumps into that member",
         [](PilotScene& s) {
             s.Frame({Bit(PK::UNIT2)});
             s.Frame({Bit(PK::UNIT2)}, 60);
         },
         [](PilotScene& s) {
             EXPECT_EQ(PlayerUnit, s.u[1]);
             EXPECT_EQ(s.menu_->open, 0);
             EXPECT_EQ(s.view_->leaveLatch, 1);
         }},
        {"the player's own unit key selects nothing",
         [](PilotScene& s) {
             s.Frame({Bit(PK::UNIT1)});
             s.Frame({});
         },
         [](PilotScene& s) { EXPECT_EQ(s.menu_->open, 0); }},
        {"a group key gives the group's members but the player's unit to the menu",
         [](PilotScene& s) {
             s.Form({s.u[0], s.u[2], s.u[3]});
             s.Frame({Bit(PK::GROUP1)});
             s.Frame({});
         },
         [](PilotScene& s) {
             EXPECT_EQ(s.menu_->open, 1);
             EXPECT_EQ(s.Pool(s.menu_->recipients), (Units{s.u[2], s.u[3]}));
             EXPECT_EQ(s.menu_->focus, s.u[2]);
         }},
        {"the panel keys toggle the cockpit panels, within the restrictions",
         [](PilotScene& s) {
             s.Frame({Bit(PK::TOGGLETFVIEW), Bit(PK::TOGGLEMAPVIEW)});
             EXPECT_EQ(CockpitPanels, 0);
             s.Frame({});
             s.view_->tfPanelTimer = 0;
             s.Frame({Bit(PK::TOGGLETFVIEW)});
             EXPECT_EQ(s.view_->tfPanelTimer, 200);
             s.Frame({});
             PlayerRestrictions &= ~0x30u;
             s.Frame({Bit(PK::TOGGLETFVIEW), Bit(PK::TOGGLEMAPVIEW)});
         },
         [](PilotScene&) { EXPECT_EQ(CockpitPanels, 1); }},
        {"the map zoom stays within its bounds",
         [](PilotScene& s) { s.Frame({Bit(PK::MAPZOOMOUT)}, 1000); },
         [](PilotScene& s) {
             EXPECT_EQ(s.view_->mapZoom, 16256);
             s.Frame({Bit(PK::MAPZOOMIN)}, 1000);
             EXPECT_EQ(s.view_->mapZoom, 2048);
         }},
        {"the toggle-mode key leaves the unit for the map and remembers it",
         [](PilotScene& s) { s.Frame({Bit(PK::TOGGLEMODE)}); },
         [](PilotScene& s) {
             EXPECT_EQ(PlayerUnit, nullptr);
             EXPECT_EQ(LastPlayerUnit, s.u[0]);
         }},
        {"a cockpit-only level keeps the player in his unit",
         [](PilotScene& s) {
             LevelCockpitOnly = 1;
             s.Frame({Bit(PK::TOGGLEMODE)});
         },
         [](PilotScene& s) { EXPECT_EQ(PlayerUnit, s.u[0]); }},
        {"the same press that entered the unit does not leave it",
         [](PilotScene& s) {
             s.view_->leaveLatch = 1;
             s.Frame({Bit(PK::TOGGLEMODE)});
             EXPECT_EQ(PlayerUnit, s.u[0]);
             s.Frame({});
             s.Frame({Bit(PK::TOGGLEMODE)});
         },
         [](PilotScene&) { EXPECT_EQ(PlayerUnit, nullptr); }},
        {"the player's unit gone: back to the map",
         [](PilotScene& s) {
             s.u[0]->flags &= ~kConBusy;
             LastPlayerUnit = s.u[0];
             s.Frame({});
             s.u[0]->flags |= kConBusy;
         },
         [](PilotScene&) {
             EXPECT_EQ(PlayerUnit, nullptr);
             EXPECT_EQ(LastPlayerUnit, nullptr);
         }},
        {"navigation points cycle with Shift, through none at the ends",
         [](PilotScene& s) {
             ConstructPool* nav = CreateConstructPool(4, "nav");
             AppendToConstructPool(nav, s.u[2]);
             AppendToConstructPool(nav, s.u[3]);
             KeyStates[276] = 1;
             std::vector<construct*> seen;
             for (PK key : {PK::NEXTTARGET, PK::NEXTTARGET, PK::NEXTTARGET, PK::PREVTARGET, PK::PREVTARGET}) {
                 s.Frame({Bit(key)});
                 seen.push_back(CurrentNavPoint);
                 s.Frame({});
             }
             EXPECT_EQ(seen, (Units{s.u[2], s.u[3], nullptr, s.u[3], s.u[2]}));
             KeyStates[276] = 0;
             s.Frame({Bit(PK::NEXTTARGET)});
             EXPECT_EQ(CurrentNavPoint, s.u[2]);
             DeleteConstructPool(nav);
         },
         [](PilotScene&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PilotScene s;
        c.play(s);
        c.check(s);
    }
}

TEST(PlayerViewInput, TheActionKeyProgressesOneStepACallAndCompletes) {
    PilotScene s;
    AUDef* au = CreateAUDef();
    au->action = kActionDataScan;
    au->actionValues[0] = 100000;  // the reach
    au->actionValues[1] = 10;      // start
    au->actionValues[2] = 7;       // target, below the start: progress counts down
    au->actionValues[3] = 10;
    ActionTargetAU = au;
    UnitShare* rec = GetUnitShare(s.u[0]);
    AUDef* allowed[1] = {au};
    rec->actionAUs = allowed;
    rec->actionAUCount = 1;
    const int action = Bit(PK::ACTION);

    s.Frame({action}, 40);
    EXPECT_EQ(au->actionValues[3], 9);
    EXPECT_EQ(ActionActive, 1);
    EXPECT_EQ(ActionIndicator, -1);
    s.Frame({action}, 1);
    s.Frame({action}, 1);
    EXPECT_EQ(au->actionValues[3], 7);
    EXPECT_EQ(au->action, kActionDone);
    EXPECT_EQ(ActionIndicator, 100);
    // Done: the key does nothing more.
    s.Frame({action}, 1);
    EXPECT_EQ(au->actionValues[3], 7);
    EXPECT_EQ(ActionActive, 0);
    rec->actionAUs = nullptr;
    rec->actionAUCount = 0;
}

TEST(PlayerViewInput, AnActionUnitTheUnitMayNotActOnIsRefusedAndCapturesDecay) {
    PilotScene s;
    AUDef* capture = CreateAUDef();
    capture->action = kActionObjectCapture;
    capture->actionValues[0] = 100000;
    capture->actionValues[1] = 0;
    capture->actionValues[2] = 5;
    capture->actionValues[3] = 0;
    ActionTargetAU = capture;
    UnitShare* rec = GetUnitShare(s.u[0]);
    AUDef* allowed[1] = {capture};

    // Not in the unit's list: nothing moves.
    s.Frame({Bit(PK::ACTION)});
    EXPECT_EQ(capture->actionValues[3], 0);
    EXPECT_EQ(ActionActive, 0);
    s.Frame({});
    // In it: three steps toward 5, then the key let go: the capture falls back a step per call.
    rec->actionAUs = allowed;
    rec->actionAUCount = 1;
    for (int i = 0; i < 3; ++i) s.Frame({Bit(PK::ACTION)});
    EXPECT_EQ(capture->actionValues[3], 3);
    s.Frame({});
    EXPECT_EQ(capture->actionValues[3], 2);
    s.Frame({}, 50);
    s.Frame({});
    s.Frame({});
    EXPECT_EQ(capture->actionValues[3], 0);
    // Without structure the unit cannot act.
    reinterpret_cast<StateRecord*>(CallItfc(s.u[0], ItfcMethod::GETSTATE))->structure = 0;
    s.Frame({Bit(PK::ACTION)});
    EXPECT_EQ(capture->actionValues[3], 0);
    rec->actionAUs = nullptr;
    rec->actionAUCount = 0;
}

TEST(PlayerViewInput, ACompletedUnitCaptureTakesItsUnitsOffTheCaptureList) {
    PilotScene s;
    construct* enemy = s.Unit(s.ga(), 0, 0, 0);
    ConstructPool* captured = CreateConstructPool(8, "tobecaptured");
    ConstructPool* pool = CreateConstructPool(4, "audef Captives pool");
    AppendToConstructPool(captured, enemy);
    AppendToConstructPool(pool, enemy);
    AUDef* au = CreateAUDef();
    au->action = kActionUnitCapture;
    au->actionValues[0] = 100000;
    au->actionValues[1] = 0;
    au->actionValues[2] = 2;
    au->pool = pool;
    ActionTargetAU = au;
    UnitShare* rec = GetUnitShare(s.u[0]);
    AUDef* allowed[1] = {au};
    rec->actionAUs = allowed;
    rec->actionAUCount = 1;
    s.Frame({Bit(PK::ACTION)});
    EXPECT_EQ(captured->count, 1);
    s.Frame({Bit(PK::ACTION)});
    EXPECT_EQ(captured->count, 0);
    EXPECT_EQ(au->action, kActionDone);
    EXPECT_EQ(ActionIndicator, 100);
    rec->actionAUs = nullptr;
    rec->actionAUCount = 0;
    au->pool = nullptr;
    DeleteConstructPool(pool);
    DeleteConstructPool(captured);
}

TEST(PlayerViewInput, ThePointingModeIsCancelledOnTheReleaseOfSpaceOrEscape) {
    for (int key : {57, 1}) {
        SCOPED_TRACE(key == 57 ? "Space" : "Escape");
        PilotScene s;
        s.Recipients({s.u[2]});
        OpenCommMenu(s.menu_);
        OpenLargeMap(s.view_);
        BeginMapPointing(s.view_);
        KeyStates[key] = 0x80;
        s.Frame({});
        EXPECT_EQ(s.view_->pointing, 1);
        KeyStates[key] = 0;
        s.Frame({});
        EXPECT_EQ(s.view_->pointing, 0);
        EXPECT_EQ(s.view_->panels[kLargeMap], 0);
        EXPECT_EQ(s.menu_->open, 0);
        EXPECT_TRUE(TaskForceScene::Take(0).empty());
    }
}

TEST(PlayerViewInput, TheRadiationClicksComeFasterNearerTheSource) {
    PilotScene s;
    NearestRadioactive = s.u[3];
    // Near: a click, and the next one within distance >> 12 ticks.
    NearestRadioactiveDistance = 409600;
    RadiationClickTimer = 0;
    s.Frame({}, 5);
    EXPECT_GE(RadiationClickTimer, 0);
    EXPECT_LE(RadiationClickTimer, 100);
    // Out of reach the timer only runs down.
    NearestRadioactiveDistance = 600000;
    RadiationClickTimer = 50;
    s.Frame({}, 10);
    EXPECT_EQ(RadiationClickTimer, 40);
    s.Frame({}, 60);
    EXPECT_EQ(RadiationClickTimer, -20);
    NearestRadioactive = nullptr;
    NearestRadioactiveDistance = INT32_MAX;
}

}  // namespace
}  // namespace hudtest
