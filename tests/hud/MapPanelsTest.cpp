// The map panels with the renderer's map blit and bitmap blit recorded: the map panel's window held
// inside the map, the symbols' places and icons (members by slot, at most 11; the threat list's hostile,
// targeted and lost units; a symbol past its icon set drawn nowhere; symbols kept inside the panel), and
// the status and archive pages' rows.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "HudFixture.h"
#include "ai/AIRecords.h"
#include "ai/Clan.h"
#include "core/Rules.h"
#include "hud/Icons.h"
#include "hud/MapPanels.h"
#include "hud/MessageLog.h"
#include "hud/MissionStatus.h"
#include "hud/TacticalMap.h"
#include "hud/TFView.h"
#include "objects/Units.h"
#include "render/RenderTables.h"
#include "render/SpecialRoutines.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "world/Player.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"
#include "game/WorldTick.h"

namespace kvtest {
namespace {

struct Blit {
    host::GfxSurface* surface;
    int32_t x, y;  // lower-left corner
    int32_t w, h;
};
std::vector<Blit>& Blits() {
    static std::vector<Blit> b;
    return b;
}
struct MapBlit {
    int32_t x0, y0, x1, y1, s1, t1, s0, t0;
};
std::vector<MapBlit>& MapBlits() {
    static std::vector<MapBlit> b;
    return b;
}

constexpr int32_t kTile = 65536;

class MapPanels : public HudScreen {
protected:
    MapPanels() : HudScreen(800, 600) {
        saved_ = {BlitRoutine, ThreatMarkerRoutine, RadarMarkerRoutine, CurrentMatrix,      PlayerClan,
                  PlayerUnit,  FrameCounter,        CurrentNavPoint,    PlayerRestrictions, MultiplayerOn};
        BlitRoutine = [](Bitmap* b, int32_t x, int32_t y) {
            Blits().push_back({b->surface, x, y, b->width, b->height});
        };
        ThreatMarkerRoutine = [](Tex*, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t s1, int32_t t1,
                                 int32_t s0, int32_t t0) {
            MapBlits().push_back({x0, y0, x1, y1, s1, t1, s0, t0});
        };
        RadarMarkerRoutine = nullptr;
        Blits().clear();
        MapBlits().clear();
        terrain_ = new matrix{};
        terrain_->width = terrain_->height = 64;
        CurrentMatrix = terrain_;
        FrameCounter = 0;
        CurrentNavPoint = nullptr;
        PlayerUnit = nullptr;
        PlayerRestrictions = 0xffffffffu;
        MultiplayerOn = 0;
        ours_ = CreateClan("Ours");
        theirs_ = CreateClan("Theirs");
        ours_->hostility[theirs_->index] = 2;
        theirs_->hostility[ours_->index] = 2;
        PlayerClan = ours_;
        view_ = new TFView{};
        view_->mapPanelSize = 200;
        view_->mapZoom = 11520;
        view_->archiveIndex = -1;
        // Every icon a picture of its own, told apart by its surface.
        auto icons = [&](QZIcon** set, int n) {
            for (int i = 0; i < n; ++i) {
                icons_.push_back(QZIcon{8, 8, "", PlainTexture(0xffffffffu)->surface});
                set[i] = nullptr;
            }
        };
        icons(view_->iconsA, 8);
        icons(view_->iconsB, 8);
        icons(view_->iconsC, 10);
        icons(view_->iconsD, 6);
        icons(view_->iconsE, 8);
        // The pointers are taken once the vector has stopped growing.
        int k = 0;
        for (QZIcon** set : {view_->iconsA, view_->iconsB, view_->iconsC, view_->iconsD, view_->iconsE}) {
            const int n = set == view_->iconsC ? 10 : set == view_->iconsD ? 6 : 8;
            for (int i = 0; i < n; ++i) set[i] = &icons_[k++];
        }
    }
    ~MapPanels() override {
        if (view_->members) DeleteConstructPool(view_->members);
        for (ConstructPool* p : pools_) DeleteConstructPool(p);
        delete view_;
        DeleteClan(ours_);
        DeleteClan(theirs_);
        delete terrain_;
        BlitRoutine = saved_.blit;
        ThreatMarkerRoutine = saved_.map;
        RadarMarkerRoutine = saved_.radar;
        CurrentMatrix = saved_.terrain;
        PlayerClan = saved_.clan;
        PlayerUnit = saved_.unit;
        FrameCounter = saved_.tick;
        CurrentNavPoint = saved_.nav;
        PlayerRestrictions = saved_.restrictions;
        MultiplayerOn = saved_.mp;
    }
    // The icon a blit drew, as (set, index): set 'A' .. 'E'.
    std::pair<char, int> IconOf(const Blit& b) const {
        const char* sets = "ABCDE";
        const int sizes[] = {8, 8, 10, 6, 8};
        int k = 0;
        for (int s = 0; s < 5; ++s)
            for (int i = 0; i < sizes[s]; ++i, ++k)
                if (icons_[k].surface == b.surface) return {sets[s], i};
        return {'?', -1};
    }
    ConstructPool* Pool(const char* name, int capacity = 32) {
        ConstructPool* p = CreateConstructPool(capacity, name);
        pools_.push_back(p);
        return p;
    }
    construct* UnitAt(int32_t x, int32_t z, Clan* clan) {
        construct* c = Unit(x, 0, z);
        c->clan = clan;
        return c;
    }
    // The map panel at the lower right corner of an 800-wide screen around a map centre.
    void Panel(int32_t cx, int32_t cz) {
        view_->mapParams[0] = cx, view_->mapParams[1] = cz;
        Blits().clear();
        MapBlits().clear();
        Texts().clear();
        DrawThreats(590, 10, 790, 210, view_);
    }

    struct {
        BlitFn blit;
        ThreatMarkerFn map;
        RadarMarkerFn radar;
        ::matrix* terrain;
        Clan* clan;
        construct* unit;
        uint32_t tick;
        construct* nav;
        uint32_t restrictions;
        int mp;
    } saved_;
    matrix* terrain_;
    Clan* ours_;
    Clan* theirs_;
    TFView* view_;
    std::vector<QZIcon> icons_ = std::vector<QZIcon>();
    std::vector<ConstructPool*> pools_;
};

TEST_F(MapPanels, TheWindowIsHeldInsideTheMap) {
    view_->mapZoom = 100;
    struct Case {
        int32_t cx, cz;
        int32_t u0, u1, t0, t1;
    } cases[] = {{50, 16384, 128, 328, 16284, 16484},
                 {32700, 32700, 32440, 32640, 32440, 32640},
                 {5000, 6000, 4900, 5100, 5900, 6100}};
    for (const Case& c : cases) {
        Panel(c.cx, c.cz);
        ASSERT_EQ(MapBlits().size(), 1u);
        const MapBlit& m = MapBlits()[0];
        EXPECT_EQ(m.x0, 590);
        EXPECT_EQ(m.y1, 210);
        // The larger map coordinate lies at the left and lower edge.
        EXPECT_EQ(m.s0, c.u1) << c.cx;
        EXPECT_EQ(m.s1, c.u0) << c.cx;
        EXPECT_EQ(m.t0, c.t1) << c.cz;
        EXPECT_EQ(m.t1, c.t0) << c.cz;
    }
}

TEST_F(MapPanels, MembersShowTheirSlotSymbolsUpToEleven) {
    view_->members = CreateConstructPool(15, "members");
    for (int i = 0; i < 15; ++i) {
        construct* c = UnitAt(32 * kTile, 32 * kTile, ours_);
        c->bytes2[0] = static_cast<uint8_t>(i);
        AppendToConstructPool(view_->members, c);
    }
    Panel(16384, 16384);
    std::vector<int> slots;
    for (const Blit& b : Blits()) {
        const auto icon = IconOf(b);
        if (icon.first == 'C') slots.push_back(icon.second);
    }
    // Members 0 .. 10 are drawn; slot 10 lies past the ten member symbols and shows nothing.
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(MapPanels, ThreatListUnitsShowAsHostileTargetedOrLost) {
    construct* player = UnitAt(30 * kTile, 30 * kTile, ours_);
    PlayerUnit = player;
    construct* enemy = UnitAt(34 * kTile, 30 * kTile, theirs_);
    construct* friendUnit = UnitAt(30 * kTile, 34 * kTile, ours_);
    construct* gone = UnitAt(20 * kTile, 20 * kTile, theirs_);
    ThreatEntry* t = ours_->threats;
    t[0] = {}, t[0].con = enemy;
    t[1] = {}, t[1].con = friendUnit;
    t[2] = {}, t[2].con = gone, t[2].age = 3, t[2].pos[0] = 40 * kTile, t[2].pos[2] = 24 * kTile;
    ours_->threatCount = 3;
    Block(player)->unit.lockTarget = enemy;
    Block(player)->unit.lockEntry = &t[0];
    Block(player)->unit.threatCount = 3;
    struct Case {
        uint32_t tick;
        int enemyIndex;
    } cases[] = {{0, kSymbolHostile}, {0x20, kSymbolHostileTarget}};
    for (const Case& c : cases) {
        FrameCounter = c.tick;
        Panel(16384, 16384);
        std::vector<std::pair<char, int>> drawn;
        for (const Blit& b : Blits()) drawn.push_back(IconOf(b));
        // Vehicles without klass bits take icon set E; the lost unit stands at its last seen position.
        ASSERT_GE(drawn.size(), 3u);
        EXPECT_EQ(drawn[0], std::make_pair('E', c.enemyIndex)) << c.tick;
        EXPECT_EQ(drawn[1], std::make_pair('E', int(kSymbolFriend)));
        EXPECT_EQ(drawn[2], std::make_pair('E', int(kSymbolHostileLost)));
    }
    // Map x 40 tiles of 64 over the window 16384 +- 11520: (1 - 40 / 64) of the way... as the symbol
    // formula places it: x0 - offset + size scale (1 - mx / 32768), centred.
    const Blit& lost = Blits()[2];
    const float scale = 32768.0f / 23040.0f, span = 200 * scale;
    const float off = span * (1.0f - 27904.0f / 32768.0f);
    EXPECT_EQ(lost.x + 4, int16_t(590 - off + span * (1.0f - 20480.0f / 32768.0f)));
    EXPECT_EQ(lost.y + 4, int16_t(10 - off + span * (1.0f - 12288.0f / 32768.0f)));
    const DrawnText* count = Text("Threats: 3");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->x, 594);
    EXPECT_EQ(count->y, -5);
}

TEST_F(MapPanels, ASymbolPastItsIconSetShowsNothing) {
    construct* tank = UnitAt(32 * kTile, 32 * kTile, theirs_);
    ::Unit entry{};
    entry.klass = 0x4;  // a vehicle: icon set D of six symbols
    tank->unit = &entry;
    for (int colour : {0, 5, 6, 7}) {
        Blits().clear();
        DrawUnitSymbol(tank, nullptr, 0, 0, colour, 0, 0, 1, 200, 0, 0, view_);
        EXPECT_EQ(Blits().size(), colour < 6 ? 1u : 0u) << colour;
    }
    tank->unit = nullptr;
}

TEST_F(MapPanels, NavigationPointsStayInsideThePanelAndTheCurrentOneBlinks) {
    ConstructPool* nav = Pool("nav");
    construct* far = UnitAt(2 * kTile, 2 * kTile, nullptr);
    construct* near = UnitAt(32 * kTile, 32 * kTile, nullptr);
    AppendToConstructPool(nav, far);
    AppendToConstructPool(nav, near);
    CurrentNavPoint = near;
    for (uint32_t tick : {0u, 0x20u}) {
        FrameCounter = tick;
        Panel(16384, 16384);
        ASSERT_GE(Blits().size(), 2u);
        // The far point lies off the panel's window: held half a picture inside its clip rectangle.
        EXPECT_EQ(Blits()[0].x, 790 - 8);
        EXPECT_EQ(Blits()[0].y, 210 - 8);
        EXPECT_EQ(IconOf(Blits()[1]),
                  std::make_pair('E', tick ? int(kSymbolCurrentNavPoint) : int(kSymbolNavPoint)));
    }
}

class StatusPages : public MapPanels {
protected:
    StatusPages() {
        EXPECT_TRUE(datakit::WriteRulesText(dir_ / "rules",
                                            "MissionStatus_text \"Status\";\nObj_primary \"Primary\";\n"
                                            "Obj_secondary \"Secondary\";\nNoMessages_text \"None yet\";\n"
                                            "Obj_not_accomplished \"open\";\nObj_failed \"failed\";\n"
                                            "Obj_accomplished \"done\";\nend\n"));
        ReadRules((dir_ / "rules").c_str());
        LoadRuleTexts();
        std::memcpy(savedPrimary_, PrimaryObjectives, sizeof savedPrimary_);
        std::memcpy(savedSecondary_, SecondaryObjectives, sizeof savedSecondary_);
    }
    ~StatusPages() override {
        std::memcpy(PrimaryObjectives, savedPrimary_, sizeof savedPrimary_);
        std::memcpy(SecondaryObjectives, savedSecondary_, sizeof savedSecondary_);
        FreeRules();
        LoadRuleTexts();
    }
    TempDir dir_;
    Objective savedPrimary_[5], savedSecondary_[5];
};

TEST_F(StatusPages, ObjectivesKeepTheirRowsAndHiddenOnesLeaveThemEmpty) {
    const Objective primary[5] = {
        {0, "Find the base"}, {-2, "Hidden"}, {1, "Cross the river"}, {-1, "Keep the jeeps"}, {0, "NONE"}};
    std::memcpy(PrimaryObjectives, primary, sizeof primary);
    for (Objective& o : SecondaryObjectives) o = {0, "NONE"};
    Texts().clear();
    DrawObjectivesPanel(view_);
    struct Row {
        const char* text;
        int32_t y;
    } rows[] = {{"Find the base", 490},  {"open", 475},   {"Cross the river", 410}, {"done", 395},
                {"Keep the jeeps", 370}, {"failed", 355}, {"Primary", 520},         {"Secondary", 270}};
    for (const Row& r : rows) {
        const DrawnText* t = Text(r.text);
        ASSERT_NE(t, nullptr) << r.text;
        EXPECT_EQ(t->x, 50) << r.text;
        EXPECT_EQ(t->y, r.y) << r.text;
    }
    EXPECT_EQ(Text("Hidden"), nullptr);
    EXPECT_EQ(Text("NONE"), nullptr);
    EXPECT_EQ(Text("failed")->colour, 0x00f00000u);
    EXPECT_EQ(Text("done")->colour, 0x0000f000u);
}

TEST_F(StatusPages, TheMultiplayerTablePutsTheNinthPlayerAtTheScreenEdge) {
    MultiplayerOn = 1;
    const int32_t before = PlayerCount;
    std::vector<PlayerCell*> made;
    while (PlayerCount < 9) made.push_back(CreatePlayer(("p" + std::to_string(PlayerCount)).c_str()));
    Texts().clear();
    DrawObjectivesPanel(view_);
    const DrawnText* title = Text("Multiplayer Status");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, 300);
    const DrawnText* ninth = Text(PlayerTable[8]->name);
    ASSERT_NE(ninth, nullptr);
    EXPECT_EQ(ninth->x, 800);
    EXPECT_EQ(ninth->y, 330);
    for (PlayerCell* p : made) DeletePlayer(p);
    EXPECT_EQ(PlayerCount, before);
}

TEST_F(StatusPages, AnEmptyArchiveShowsOnlyItsNotice) {
    const int32_t count = MessageArchiveCount;
    MessageArchiveCount = 0;
    Texts().clear();
    DrawMapPanel(view_);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0].text, "None yet");
    EXPECT_EQ(Texts()[0].y, 550);
    EXPECT_EQ(view_->archiveIndex, -1);
    MessageArchiveCount = count;
}

}  // namespace
}  // namespace kvtest
