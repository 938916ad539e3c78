// The cockpit overlay's frame on an 800 x 600 screen: a map page draws alone, the notices and the clock
// by their countdowns and the clean snapshot frame, the map panel's place by the screen width, the task
// buttons' kill insignia and status icon flash, the comm menu's anchor, the action prompt and its bar, the
// extra windows' frames swinging, and a missing notice rule.
#include <gtest/gtest.h>

#include <cstring>

#include "HudFixture.h"
#include "ai/AIRecords.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/RecordReplay.h"
#include "core/Rules.h"
#include "hud/CockpitOverlay.h"
#include "hud/MissionStatus.h"
#include "hud/TacticalMap.h"
#include "hud/TFView.h"
#include "net/Multiplayer.h"
#include "objects/Units.h"
#include "render/RenderTables.h"
#include "render/Sky.h"
#include "render/Viewport.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "render/Snapshot.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "game/WorldTick.h"

namespace kvtest {
namespace {

struct MapRect {
    int32_t x0, y0, x1, y1;
};
std::vector<MapRect>& MapRects() {
    static std::vector<MapRect> r;
    return r;
}

class CockpitOverlay : public HudScreen {
protected:
    CockpitOverlay() : HudScreen(800, 600) {
        EXPECT_TRUE(datakit::WriteRulesText(
            dir_ / "rules",
            "Miss_loaded \"Loaded\";\nMiss_saved \"Saved\";\n"
            "Miss_accomplished \"Won\";\nMiss_failed \"Lost\";\n"
            "DATASCAN_in_range_text \"Scan it\";\nDATASCAN_perform_text \"scanning\";\nend\n"));
        ReadRules((dir_ / "rules").c_str());
        LoadRuleTexts();
        saved_.tick = FrameCounter, saved_.unit = PlayerUnit, saved_.menu = PlayerCommMenu;
        saved_.cockpit = CockpitPanels, saved_.word = PanelWord, saved_.win = WinCountdown,
        saved_.lose = LoseCountdown;
        saved_.loaded = LoadedNoticeTicks, saved_.savedTicks = SavedNoticeTicks,
        saved_.snapshot = SnapshotRendering;
        saved_.mp = MultiplayerOn, saved_.replay = RecordReplayActive, saved_.hour = GameHour,
        saved_.minute = GameMinute;
        saved_.action = ActionTargetAU, saved_.active = ActionActive, saved_.indicator = ActionIndicator;
        saved_.notice = ViewNoticeTimer, saved_.end[0] = MPEndCounter[0], saved_.end[1] = MPEndCounter[1];
        saved_.box = MapBoxActive, saved_.viewports = ViewPortCount, saved_.main = MainViewPort;
        saved_.map = ThreatMarkerRoutine, saved_.sat = SatCamera, saved_.nav = CurrentNavPoint;
        saved_.terrain = CurrentMatrix;
        CurrentMatrix = nullptr;
        std::memcpy(saved_.table, ViewPortTable, sizeof saved_.table);
        std::memcpy(saved_.specials, SpecialTextures, sizeof saved_.specials);
        FrameCounter = 0;
        PlayerUnit = nullptr;
        PlayerCommMenu = nullptr;
        CockpitPanels = PanelWord = 0;
        WinCountdown = LoseCountdown = LoadedNoticeTicks = SavedNoticeTicks = SnapshotRendering = 0;
        MultiplayerOn = RecordReplayActive = 0;
        GameHour = 12, GameMinute = 34;
        ActionTargetAU = nullptr;
        ActionActive = ActionIndicator = ViewNoticeTimer = MapBoxActive = 0;
        MPEndCounter[0] = MPEndCounter[1] = 0;
        ViewPortCount = 0;
        MainViewPort = nullptr;
        SatCamera = nullptr;
        CurrentNavPoint = nullptr;
        ThreatMarkerRoutine = [](Tex*, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t, int32_t,
                                 int32_t, int32_t) {
            MapRects().push_back({x0, y0, x1, y1});
        };
        MapRects().clear();
        for (int i = 0; i < kSpecialTextureCount; ++i)
            SpecialTextures[i] = PlainTexture(0xff000000u | (10u * i));
        view_ = new TFView{};
        view_->mapPanelSize = 208;
        view_->tfPanelWidth = 144;
        view_->mapZoom = 11520;
        view_->markerTick = 0xffffffffu;
        unit_ = Unit(20 * 65536, 0, 20 * 65536);
        button_ = {0, 656, 582, 800, 564, {0, 128, 64, 80}, unit_};
    }
    ~CockpitOverlay() override {
        delete view_;
        delete menu_;
        FreeRules();
        LoadRuleTexts();
        FrameCounter = saved_.tick, PlayerUnit = saved_.unit, PlayerCommMenu = saved_.menu;
        CockpitPanels = saved_.cockpit, PanelWord = saved_.word, WinCountdown = saved_.win,
        LoseCountdown = saved_.lose;
        LoadedNoticeTicks = saved_.loaded, SavedNoticeTicks = saved_.savedTicks,
        SnapshotRendering = saved_.snapshot;
        MultiplayerOn = saved_.mp, RecordReplayActive = saved_.replay, GameHour = saved_.hour,
        GameMinute = saved_.minute;
        ActionTargetAU = saved_.action, ActionActive = saved_.active, ActionIndicator = saved_.indicator;
        ViewNoticeTimer = saved_.notice, MPEndCounter[0] = saved_.end[0], MPEndCounter[1] = saved_.end[1];
        MapBoxActive = saved_.box, ViewPortCount = saved_.viewports, MainViewPort = saved_.main;
        ThreatMarkerRoutine = saved_.map, SatCamera = saved_.sat, CurrentNavPoint = saved_.nav;
        CurrentMatrix = saved_.terrain;
        std::memcpy(ViewPortTable, saved_.table, sizeof saved_.table);
        std::memcpy(SpecialTextures, saved_.specials, sizeof saved_.specials);
    }
    void WithButton() {
        view_->buttonCount = 1;
        view_->buttons[0] = &button_;
    }
    void Draw() {
        Texts().clear();
        MapRects().clear();
        Clear();
        DrawHUD(view_);
    }

    TempDir dir_;
    struct {
        uint32_t tick;
        construct* unit;
        CommMenu* menu;
        int32_t cockpit, word, win, lose, loaded, savedTicks;
        int snapshot, mp;
        int32_t replay, hour, minute;
        AUDef* action;
        int32_t active, indicator, notice, end[2], box, viewports;
        ViewPort* main;
        ThreatMarkerFn map;
        construct* sat;
        construct* nav;
        matrix* terrain;
        ViewPort* table[kMaxViewPorts];
        Tex* specials[kSpecialTextureCount];
    } saved_;
    TFView* view_;
    CommMenu* menu_ = nullptr;
    construct* unit_;
    TaskButton button_;
};

TEST_F(CockpitOverlay, AnOpenMapPageIsDrawnAlone) {
    WinCountdown = 100;
    LoadedNoticeTicks = 10;
    Draw();
    EXPECT_NE(Text("Won"), nullptr);
    EXPECT_NE(Text("12:30"), nullptr) << "the clock shows hours and tens of minutes";
    for (TFPage page : {kLargeMap, kArchiveMap, kStatusMap}) {
        view_->panels[0] = view_->panels[1] = view_->panels[2] = 0;
        view_->panels[page] = 1;
        Draw();
        EXPECT_EQ(Text("Won"), nullptr) << page;
        EXPECT_EQ(Text("Loaded"), nullptr) << page;
        EXPECT_EQ(Text("12:30"), nullptr) << page;
    }
    // What the overlay leaves behind.
    EXPECT_EQ(host::GetRenderState(Device(), host::RenderState::FogEnable), 0u);
    EXPECT_EQ(host::GetRenderState(Device(), host::RenderState::AlphaBlendEnable), 0u);
}

TEST_F(CockpitOverlay, NoticesFollowTheirCountdownsAndTheSnapshotFrameLeavesOutTheClock) {
    WinCountdown = LoseCountdown = 100;
    SavedNoticeTicks = 3;
    SetTextFont(13);
    Draw();
    ASSERT_GE(Texts().size(), 3u);
    const DrawnText* won = Text("Won");
    const DrawnText* lost = Text("Lost");
    ASSERT_NE(won, nullptr);
    ASSERT_NE(lost, nullptr);
    EXPECT_LT(won, lost) << "the success text first";
    EXPECT_EQ(won->x, 400);
    EXPECT_EQ(won->y, 390);
    EXPECT_EQ(lost->y, 390);
    EXPECT_EQ(won->size, 20);
    const DrawnText* saved = Text("Saved");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->x, 2);
    EXPECT_EQ(saved->y, 598);
    EXPECT_EQ(FontSize, 13) << "each large text gives the normal size back";

    SnapshotRendering = 1;
    Draw();
    EXPECT_EQ(Text("12:30"), nullptr);
    EXPECT_NE(Text("Won"), nullptr);
    SnapshotRendering = 0;
    RecordReplayActive = 1;
    Draw();
    EXPECT_EQ(Text("12:30"), nullptr) << "no clock in record/replay";
}

TEST_F(CockpitOverlay, TheMapPanelIsThirtyPixelsSmallerOnAScreen640Wide) {
    PlayerUnit = unit_;
    CockpitPanels = 2;
    Draw();
    ASSERT_EQ(MapRects().size(), 1u);
    const MapRect wide = MapRects()[0];
    EXPECT_EQ(wide.x0, 800 - 208 - 10);
    EXPECT_EQ(wide.y1, 218);
    ScreenWidth = 640;
    Draw();
    ASSERT_EQ(MapRects().size(), 1u);
    const MapRect narrow = MapRects()[0];
    EXPECT_EQ(narrow.x1 - narrow.x0, wide.x1 - wide.x0 - 30);
    EXPECT_EQ(narrow.y1 - narrow.y0, wide.y1 - wide.y0 - 30);
    // The panel's centre is the player's unit: 20 tiles of 1 map the whole way across.
    EXPECT_EQ(view_->mapParams[0], 20 * 32768);
    ScreenWidth = 800;
}

TEST_F(CockpitOverlay, TaskButtonsShowTheKillInsigniaAndTheStatusFlash) {
    WithButton();
    CockpitPanels = 1;
    PlayerUnit = unit_;
    HudUnitBlock* b = Block(unit_);
    b->state = {50, 100, 0};
    b->maxima = {100, 100, 0};
    struct Case {
        int32_t kills;
        int frame;  // -1 none
    } cases[] = {{0, -1}, {1, 0}, {11, 10}, {40, 10}};
    for (const Case& c : cases) {
        b->unit.killCount = c.kills;
        Draw();
        const uint32_t p = Pixel(790, 552);
        EXPECT_EQ(p, c.frame < 0 ? 0u : 10u * (kSpecialFragger00 + c.frame)) << c.kills;
    }
    // A flash frame of 1 runs through six steps and stops at 0, stepping on ticks not a multiple of 4.
    Tex* icon = PlainTexture(0xffffffffu);
    b->unit.buttonPicture = icon->surface;
    b->unit.buttonWord = 1;
    FrameCounter = 4;
    Draw();
    EXPECT_EQ(b->unit.buttonWord, 1);
    FrameCounter = 1;
    for (int step = 2; step <= 7; ++step) {
        Draw();
        EXPECT_EQ(b->unit.buttonWord, step == 7 ? 0 : step);
    }
    // The icon in HUD green; with a negative flash frame only while bit 5 of the tick is set.
    EXPECT_EQ(Pixel(636, 548), 0x00d880u);
    b->unit.buttonWord = -1;
    FrameCounter = 0;
    Draw();
    EXPECT_NE(Pixel(636, 548), 0x00d880u);
    FrameCounter = 0x20;
    Draw();
    EXPECT_EQ(Pixel(636, 548), 0x00d880u);
    // Below 40 % of its structure the icon turns yellow, below 20 % red.
    b->state.structure = 30;
    Draw();
    EXPECT_EQ(Pixel(636, 548), 0xd8d800u);
    b->state.structure = 10;
    Draw();
    EXPECT_EQ(Pixel(636, 548), 0xd84040u);
}

TEST_F(CockpitOverlay, TheCommMenuStandsBesideTheFirstButtonOrWhereItWouldBe) {
    menu_ = new CommMenu{};
    menu_->open = 1;
    menu_->highlighted = -1;
    menu_->recipients = CreateConstructPool(4, "recipients");
    AppendToConstructPool(menu_->recipients, unit_);
    menu_->entryCount = 3;
    for (int i = 0; i < 3; ++i) {
        std::snprintf(menu_->entries[i].text, kCommMenuTextSize, "%d entry", i + 1);
        menu_->entries[i].code = static_cast<uint32_t>(i);
    }
    PlayerCommMenu = menu_;
    for (bool button : {true, false}) {
        view_->buttonCount = 0;
        if (button) {
            WithButton();
            button_.left = 600, button_.bottom = 500;
        }
        const int32_t left = button ? 600 : 656, bottom = button ? 500 : 564;
        Draw();
        // The recipient's line, then 8 pixels lower the entries 17 pixels apart; their places kept.
        ASSERT_GE(Texts().size(), 4u);
        const size_t first = Texts().size() - 4;
        EXPECT_EQ(Texts()[first].x, left - 162) << button;
        EXPECT_EQ(Texts()[first].y, bottom - 8) << button;
        EXPECT_EQ(Texts()[first].colour, 0x40d84040u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(menu_->entries[i].screenY, bottom - 8 - 17 - 8 - 17 * i) << button;
            EXPECT_EQ(Texts()[first + 1 + i].text, menu_->entries[i].text);
        }
    }
    DeleteConstructPool(menu_->recipients);
}

TEST_F(CockpitOverlay, TheActionPromptBlinksAndItsBarShowsTheProgress) {
    AUDef au{};
    au.action = kActionDataScan;
    au.actionValues[1] = 0, au.actionValues[2] = 100, au.actionValues[3] = 40;
    ActionTargetAU = &au;
    FrameCounter = 0x10;
    Draw();
    const DrawnText* prompt = Text("Scan it");
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->x, 400);
    EXPECT_EQ(prompt->y, 210);
    EXPECT_EQ(prompt->size, 20);
    FrameCounter = 0;
    Draw();
    EXPECT_EQ(Text("Scan it"), nullptr);

    ActionActive = 1;
    ActionIndicator = -1;
    Draw();
    EXPECT_EQ(Text("Scan it"), nullptr);
    ASSERT_NE(Text("scanning"), nullptr);
    EXPECT_EQ(Text("scanning")->y, 232);
    // Half the way from start to target across 100 pixels: 40 of them filled from x 350.
    EXPECT_EQ(Pixel(360, 210), 0xffffffu);
    EXPECT_EQ(Pixel(420, 210), 0u);
    EXPECT_TRUE(Pixel(451, 210) != 0u || Pixel(452, 210) != 0u) << "the outline";
}

TEST_F(CockpitOverlay, ExtraWindowFramesSwingOpenAndShut) {
    ViewPort shown{}, closing{}, idle{};
    for (ViewPort* vp : {&shown, &closing, &idle})
        vp->left = 12, vp->top = 42, vp->right = 172, vp->bottom = 162;
    shown.follows = unit_;
    shown.fade = 15;
    closing.fade = -15;
    float calls = DrawCallCount;
    Draw();
    const float without = DrawCallCount - calls;
    ViewPortTable[0] = &shown, ViewPortTable[1] = &closing, ViewPortTable[2] = &idle;
    ViewPortCount = 3;
    calls = DrawCallCount;
    Draw();
    EXPECT_EQ(DrawCallCount - calls, without + 2.0f) << "the idle window has no frame";
    EXPECT_EQ(shown.fade, 14);
    EXPECT_EQ(closing.fade, -14);
    for (int i = 0; i < 20; ++i) Draw();
    EXPECT_EQ(shown.fade, 0);
    EXPECT_EQ(closing.fade, 0);
    // At rest the frame reaches from the left edge to 5 pixels beyond the window (the panel texture's
    // plain white, untextured here).
    Draw();
    EXPECT_NE(Pixel(170, 100), 0u);
    EXPECT_EQ(Pixel(180, 100), 0u);
    ViewPortCount = 0;
}

TEST_F(CockpitOverlay, AMissingNoticeRuleIsFatalWhenItsNoticeIsDue) {
    FatalCatcher fatal;
    FreeRules();
    LoadRuleTexts();
    Draw();
    LoadedNoticeTicks = 5;
    try {
        Draw();
        FAIL() << "the loaded notice needs its rule";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedRule): Rule 'miss_loaded' not found");
    }
    LoadedNoticeTicks = 0;
}

}  // namespace
}  // namespace kvtest
