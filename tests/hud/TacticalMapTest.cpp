// The tactical map: picking units and ground under the pointer over a hand-made scene, box selection,
// the highlight and its pool limits, the order point of the pointing mode, and the commander's keys
// against the state they change.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "TaskForceFixture.h"
#include "hud/MapSurfaces.h"
#include "hud/MissionStatus.h"
#include "hud/MousePtr.h"
#include "hud/TacticalMap.h"
#include "game/Level.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "render/Viewport.h"
#include "world/TerrainFixtures.h"
#include "world/TickCounter.h"

namespace hudtest {
namespace {

using Units = std::vector<construct*>;
constexpr int32_t kTile = 65536;

// The task force with a main view of its own: the camera at the origin looking along +z (screen x along
// world x, screen y up), focal length 1024 about the screen's centre (320, 240), the pointer a record of
// the test's own, and the pool "pickable".
class MapScene : public TaskForceScene {
public:
    MapScene() {
        std::memset(&vp_, 0, sizeof vp_);
        vp_.main = 1;
        vp_.view.m[0] = vp_.view.m[4] = vp_.view.m[8] = 32768;
        vp_.focal[0] = vp_.focal[1] = 1024;
        vp_.centreX = 320;
        vp_.centreY = 240;
        mainWas_ = MainViewPort;
        MainViewPort = &vp_;
        surfaceWas_[0] = SurfaceWidth, surfaceWas_[1] = SurfaceHeight;
        SurfaceWidth = 640, SurfaceHeight = 480;
        pickable_ = CreateConstructPool(90, "pickable");
        pointerWas_ = MousePointer;
        MousePointer = &pointer_;
        pointer_.clipXMin = pointer_.clipYMin = INT32_MIN;
        pointer_.clipXMax = pointer_.clipYMax = INT32_MAX;
        ResetPlayerInputState();
        PanelWord = 3;
        frameWas_ = FrameCounter;
        FrameCounter = 1000;
        ClearInput(&OwnPlayer->mapBefore);
        ClearInput(&OwnPlayer->mapNow);
    }
    ~MapScene() override {
        MainViewPort = mainWas_;
        SurfaceWidth = surfaceWas_[0], SurfaceHeight = surfaceWas_[1];
        DeleteConstructPool(pickable_);
        for (host::GfxSurface*& surface : view_->pageSurface) {
            if (surface) dxgl_ReleaseSurface(surface);
            surface = nullptr;
        }
        MousePointer = pointerWas_;
        FrameCounter = frameWas_;
        PlayerUnit = nullptr;
        LastPlayerUnit = nullptr;
        ResetPlayerInputState();
        PanelWord = CockpitPanels = 3;
        PlayerRestrictions = 0xffffffffu;
        CurrentMatrix = nullptr;
    }

    // A member at (x, y, z) in tiles with a bounding sphere of the radius (world units).
    construct* At(double x, double y, double z, int32_t radius) {
        construct* con = Members(1)[0];
        con->pos[0] = int32_t(x * kTile), con->pos[1] = int32_t(y * kTile), con->pos[2] = int32_t(z * kTile);
        std::memset(con->orient, 0, sizeof con->orient);
        con->orient[0] = con->orient[4] = con->orient[8] = 32768;
        con->sphere.radius = radius;
        return con;
    }
    // One frame of the map with the keys held (commander-mode bits) and the pointer at (x, y).
    void Frame(std::initializer_list<int> held, int32_t x = 320, int32_t y = 240, int ticks = 1) {
        ControlInput& now = OwnPlayer->mapNow;
        OwnPlayer->mapBefore = now;
        ClearInput(&now);
        for (int bit : held) SetInputKey(&now, bit, true);
        now.axes[0] = int16_t(x), now.axes[1] = int16_t(y);
        FrameCounter += uint32_t(ticks);
        TacticalMapFrame(view_, OwnPlayer, ticks);
    }

    ViewPort vp_;
    MousePtr pointer_ = {};
    ConstructPool* pickable_ = nullptr;

private:
    ViewPort* mainWas_ = nullptr;
    MousePtr* pointerWas_ = nullptr;
    int32_t surfaceWas_[2] = {};
    uint32_t frameWas_ = 0;
};

int Bit(CommandoKey key) {
    return static_cast<int>(key);
}

TEST(TacticalMap, ThePointerPicksTheUnitWhoseProjectedSphereHoldsIt) {
    MapScene s;
    // Ten tiles ahead: a tile projects to 1024 / 10 = 102.4 pixels; a radius of 20000 to about 31.
    construct* a = s.At(0, 0, 10, 20000);
    construct* b = s.At(3, 1, 10, 20000);
    for (construct* c : {a, b}) AppendToConstructPool(s.pickable_, c);
    struct Case {
        const char* name;
        int32_t x, y;
        construct* want;
    };
    const Case cases[] = {
        {"the centre of the first", 320, 240, a},
        {"inside its sphere's edge", 345, 250, a},
        {"outside it", 360, 240, nullptr},
        {"the second, right and up (screen y grows upward)", 627, 342, b},
        {"where the second would stand with y down", 627, 138, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PickUnitAtPointer(MainViewPort, c.x, c.y, s.pickable_), c.want);
    }
    // With sub-spheres the point must lie in one of them as well: one small sub-sphere 15000 to the right.
    SphereRecord sub{};
    sub.centre[0] = 15000 / 4;  // geometry units of four world units
    sub.radius = 5000;
    a->spheres = &sub;
    a->sphereCount = 1;
    EXPECT_EQ(PickUnitAtPointer(MainViewPort, 320, 240, s.pickable_), nullptr);
    EXPECT_EQ(PickUnitAtPointer(MainViewPort, 343, 240, s.pickable_), a);
    a->spheres = nullptr;
    a->sphereCount = 0;
    EXPECT_EQ(PickUnitAtPointer(MainViewPort, 320, 240, nullptr), nullptr);
}

TEST(TacticalMap, TheGroundRayStopsAtTheFirstHitOrAfterFiveHundredSteps) {
    MapScene s;
    kvtest::HandMatrix terrain(8, 8);
    CurrentMatrix = terrain.m;
    // The camera three tiles up over the terrain's middle, looking straight down (view z = world -y).
    s.vp_.cameraPos = FixVec{4 * kTile, 3 * kTile, 4 * kTile};
    FixMatrix& m = s.vp_.view;
    m = FixMatrix{{32768, 0, 0, 0, 0, 32768, 0, -32768, 0}};
    int32_t p[3];
    EXPECT_EQ(PickGroundAtPointer(&s.vp_, 320, 240, p), 1);
    // Straight down: x and z stay, y is within a step under the ground (4096 there: sub-point (64, 64)).
    EXPECT_EQ(p[0], 4 * kTile);
    EXPECT_EQ(p[2], 4 * kTile);
    EXPECT_LT(p[1], 4096);
    EXPECT_GE(p[1], 4096 - 2048);
    // The pointer right of the centre tilts the ray toward +x.
    EXPECT_EQ(PickGroundAtPointer(&s.vp_, 420, 240, p), 1);
    EXPECT_GT(p[0], 4 * kTile);
    // Looking up, the ray meets nothing within its 500 steps.
    m = FixMatrix{{32768, 0, 0, 0, 0, -32768, 0, 32768, 0}};
    EXPECT_EQ(PickGroundAtPointer(&s.vp_, 320, 240, p), 0);
    EXPECT_EQ(p[1], 3 * kTile + 500 * 2048);
    // No terrain, no hit.
    CurrentMatrix = nullptr;
    EXPECT_EQ(PickGroundAtPointer(&s.vp_, 320, 240, p), 0);
}

TEST(TacticalMap, BoxSelectionHighlightsTheMembersInsideOnly) {
    MapScene s;
    construct* a = s.At(0, 0, 10, 20000);   // (320, 240)
    construct* b = s.At(1, 0, 10, 20000);   // (422, 240)
    construct* c = s.At(-1, 0, 10, 20000);  // (218, 240)
    construct* enemy = s.Unit(s.ga(), 0, 0, 10 * kTile);
    enemy->sphere.radius = 20000;
    for (construct* con : {a, b, c, enemy}) AppendToConstructPool(s.pickable_, con);
    UpdateTFSelection(s.view_);
    // Corners in any order; the enemy in the box is never highlighted.
    BoxHighlightTFUnits(s.view_, 450, 200, 300, 280);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{a, b}));
    // A centre on the box's edge does not count; a new box replaces the highlight.
    BoxHighlightTFUnits(s.view_, 218, 200, 300, 280);
    EXPECT_EQ(s.Pool(s.highlighted_), Units{});
    BoxHighlightTFUnits(s.view_, 100, 100, 250, 300);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{c}));
    EXPECT_TRUE(c->flags & kConHighlighted);
    EXPECT_FALSE(a->flags & kConHighlighted);
}

TEST(TacticalMap, HighlightingTakesGroupsWholeAndStopsAtThePoolsCapacity) {
    MapScene s;
    const Units u = s.Members(4);
    UpdateTFSelection(s.view_);
    s.Form({u[1], u[2], u[3]});
    // A unit alone, then a grouped unit brings its group; with add the group leaves again.
    HighlightTFUnit(s.view_, u[0], 0, 0);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[0]}));
    HighlightTFUnit(s.view_, u[2], 1, 0);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[0], u[1], u[2], u[3]}));
    HighlightTFUnit(s.view_, u[3], 1, 0);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[0]}));
    EXPECT_FALSE(u[1]->flags & kConHighlighted);
    // Without add a highlighted unit clears the rest and stays.
    HighlightTFUnit(s.view_, u[0], 0, 0);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[0]}));
    // A full pool takes no more: two places left for a group of three.
    std::vector<construct*> fillers;
    while (s.highlighted_->count < s.highlighted_->capacity - 2) {
        construct* f = CreateConstruct(1, 0);
        fillers.push_back(f);
        AppendToConstructPool(s.highlighted_, f);
    }
    HighlightTFUnit(s.view_, u[1], 1, 0);
    EXPECT_EQ(s.highlighted_->count, s.highlighted_->capacity);
    EXPECT_TRUE(u[1]->flags & kConHighlighted);
    EXPECT_TRUE(u[2]->flags & kConHighlighted);
    EXPECT_FALSE(u[3]->flags & kConHighlighted);
    ClearHighlighted();
    for (construct* f : fillers) FreeConstruct(f);
}

TEST(TacticalMap, TheOrderPointOfThePointingModeStaysOnTheTerrain) {
    MapScene s;
    kvtest::HandMatrix terrain(8, 8);
    CurrentMatrix = terrain.m;
    const int32_t span = 8 * kTile;
    struct Case {
        const char* name;
        int32_t x, y;
        int32_t wantX, wantZ;
    };
    // The page is a square of the surface's height (480): a wide screen's pointer right of it once gave
    // a point beyond the map's edge.
    const Case cases[] = {
        {"the page's far corner", 0, 0, span - 1, span - 1},
        {"its middle", 240, 240, span / 2, span / 2},
        {"its near corner", 480, 480, 0, 0},
        {"right of the page on a wide screen", 800, 120, 0, span * 3 / 4},
        {"below and left of the screen", -50, -10, span - 1, span - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t p[3];
        MapPagePoint(c.x, c.y, p);
        EXPECT_EQ(p[0], c.wantX);
        EXPECT_EQ(p[2], c.wantZ);
        EXPECT_EQ(p[1], InterpGroundHeight(terrain.m, p, nullptr));
    }
}

TEST(TacticalMap, CommanderKeysChangeTheirState) {
    using CK = CommandoKey;
    struct Case {
        const char* name;
        std::function<void(MapScene&, const Units&)> play;
        std::function<void(MapScene&, const Units&)> check;
    };
    const Case cases[] = {
        {"the task-force panel toggled twice is as before",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::TOGGLETFVIEW)});
             EXPECT_EQ(PanelWord, 2);
             s.Frame({});
             s.view_->tfPanelTimer = 0;
             s.Frame({Bit(CK::TOGGLETFVIEW)});
         },
         [](MapScene& s, const Units&) {
             EXPECT_EQ(PanelWord, 3);
             EXPECT_EQ(s.view_->tfPanelTimer, 200);
         }},
        {"the map panel toggle, refused without its restriction bit",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::TOGGLEMAPVIEW)});
             s.Frame({});
             PlayerRestrictions &= ~0x20u;
             s.Frame({Bit(CK::TOGGLEMAPVIEW)});
         },
         [](MapScene&, const Units&) { EXPECT_EQ(PanelWord, 1); }},
        {"the map zoom stays within its bounds for any frame length",
         [](MapScene& s, const Units&) { s.Frame({Bit(CK::MAPZOOMIN)}, 320, 240, 5000); },
         [](MapScene& s, const Units&) {
             EXPECT_EQ(s.view_->mapZoom, 2048);
             s.Frame({Bit(CK::MAPZOOMOUT)}, 320, 240, 90000);
             EXPECT_EQ(s.view_->mapZoom, 16256);
         }},
        {"a unit key's short press selects and opens the comm menu on release",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::UNIT2)});
             s.Frame({});
         },
         [](MapScene& s, const Units& u) {
             EXPECT_EQ(s.menu_->open, 1);
             EXPECT_EQ(s.Pool(s.menu_->recipients), (Units{u[1]}));
             EXPECT_EQ(s.menu_->focus, u[1]);
             EXPECT_EQ(PlayerUnit, nullptr);
         }},
        {"a unit key held past 50 ticks enters the unit",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::UNIT3)});
             s.Frame({Bit(CK::UNIT3)}, 320, 240, 51);
         },
         [](MapScene& s, const Units& u) {
             EXPECT_EQ(PlayerUnit, u[2]);
             EXPECT_EQ(s.view_->leaveLatch, 1);
             EXPECT_EQ(s.menu_->open, 0);
         }},
        {"with the menu open the unit keys carry out its entries: 7 holds",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::UNIT1)});
             s.Frame({});
             s.Frame({Bit(CK::UNIT7)});
             EXPECT_EQ(s.menu_->highlighted, 6);
             TaskForceScene::DrainQueues();
             s.Frame({});
         },
         [](MapScene& s, const Units& u) {
             EXPECT_EQ(s.menu_->open, 0);
             const std::vector<Posted> hold = OfType(TaskForceScene::Take(0), 353);
             ASSERT_EQ(hold.size(), 1u);
             EXPECT_EQ(hold[0].units, (Units{u[0]}));
         }},
        {"the comm menu times out",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::UNIT1)});
             s.Frame({});
             s.Frame({}, 320, 240, 601);
         },
         [](MapScene& s, const Units&) { EXPECT_EQ(s.menu_->open, 0); }},
        {"the group key forms a group of the highlighted units, and dissolves it",
         [](MapScene& s, const Units& u) {
             HighlightTFUnit(s.view_, u[0], 1, 0);
             HighlightTFUnit(s.view_, u[1], 1, 0);
             s.Frame({Bit(CK::GROUP)});
             EXPECT_EQ(s.view_->groupCount, 2);
             s.Frame({});
             s.Frame({Bit(CK::GROUP)});
         },
         [](MapScene& s, const Units&) { EXPECT_EQ(s.view_->groupCount, 1); }},
        {"a group key recalls its group into the highlight",
         [](MapScene& s, const Units& u) {
             s.Form({u[1], u[2]});
             HighlightTFUnit(s.view_, u[0], 0, 0);
             s.Frame({Bit(CK::GROUP1)});
         },
         [](MapScene& s, const Units& u) { EXPECT_EQ(s.Pool(s.highlighted_), (Units{u[1], u[2]})); }},
        {"the toggle-mode key enters the highlighted input-driven member",
         [](MapScene& s, const Units& u) {
             HighlightTFUnit(s.view_, u[1], 0, 0);
             s.Frame({Bit(CK::TOGGLEMODE)});
         },
         [](MapScene&, const Units& u) {
             EXPECT_EQ(PlayerUnit, u[1]);
             EXPECT_EQ(LastPlayerUnit, u[1]);
         }},
        {"without a highlight it takes the last input-driven member",
         [](MapScene& s, const Units&) { s.Frame({Bit(CK::TOGGLEMODE)}); },
         [](MapScene&, const Units& u) { EXPECT_EQ(PlayerUnit, u[3]); }},
        {"the close key closes the comm menu",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::UNIT1)});
             s.Frame({});
             s.Frame({Bit(CK::ADDRECIPIENT), Bit(CK::CLOSE)});
         },
         [](MapScene& s, const Units&) { EXPECT_EQ(s.menu_->open, 0); }},
        {"the pointer beyond each edge takes that edge's shape",
         [](MapScene& s, const Units&) {
             s.Frame({}, -3, 240);
             EXPECT_EQ(GetMousePtrShape(), 1);
             s.Frame({}, 643, 240);
             EXPECT_EQ(GetMousePtrShape(), 2);
             s.Frame({}, 320, 483);
             EXPECT_EQ(GetMousePtrShape(), 3);
             s.Frame({}, 320, -2);
         },
         [](MapScene&, const Units&) { EXPECT_EQ(GetMousePtrShape(), 4); }},
        {"a zoom drag shows its shape until released, then the pointer returns",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::ZOOM)}, 100, 100);
             EXPECT_EQ(ZoomDrag, 1);
             EXPECT_EQ(GetMousePtrShape(), 5);
             s.Frame({Bit(CK::ZOOM)}, 150, 120);
             EXPECT_EQ(GetMousePtrShape(), 5);
             s.Frame({}, 170, 130);
         },
         [](MapScene& s, const Units&) {
             EXPECT_EQ(ZoomDrag, 0);
             EXPECT_EQ(GetMousePtrShape(), 0);
             EXPECT_EQ(s.pointer_.x, 100);
             EXPECT_EQ(s.pointer_.y, 100);
         }},
        {"the archive and the status map hold the other keys",
         [](MapScene& s, const Units&) {
             s.Frame({Bit(CK::TOGGLEARCHIVE)});
             EXPECT_EQ(s.view_->panels[kArchiveMap], 1);
             s.Frame({Bit(CK::TOGGLETFVIEW)});
             EXPECT_EQ(PanelWord, 3);
             s.Frame({Bit(CK::TOGGLESTATUS)});
             EXPECT_EQ(s.view_->panels[kArchiveMap], 0);
             EXPECT_EQ(s.view_->panels[kStatusMap], 1);
             s.Frame({});
             s.Frame({Bit(CK::CLOSE)});
         },
         [](MapScene& s, const Units&) { EXPECT_EQ(s.view_->panels[kStatusMap], 0); }},
        {"the win countdown reaches 0 and wins the mission",
         [](MapScene& s, const Units&) {
             WinCountdown = 30;
             s.Frame({}, 320, 240, 20);
             EXPECT_EQ(MissionWon, 0);
             s.Frame({}, 320, 240, 20);
         },
         [](MapScene&, const Units&) {
             EXPECT_EQ(WinCountdown, 0);
             EXPECT_EQ(MissionWon, 1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapScene s;
        const Units u = s.Members(4);
        UpdateTFSelection(s.view_);
        c.play(s, u);
        c.check(s, u);
    }
}

TEST(TacticalMap, AClickOnTheGroundSendsTheHighlightedUnitsThere) {
    for (bool shift : {false, true}) {
        SCOPED_TRACE(shift ? "with Shift: a move order" : "a sneak order");
        MapScene s;
        kvtest::HandMatrix terrain(8, 8);
        CurrentMatrix = terrain.m;
        construct* way = CreateConstruct(1, 0);
        WayPointer = way;
        ConstructPool* visibleWas = VisiblePool;
        VisiblePool = CreateConstructPool(8, "visible");
        s.vp_.cameraPos = FixVec{4 * kTile, 3 * kTile, 4 * kTile};
        s.vp_.view = FixMatrix{{32768, 0, 0, 0, 0, 32768, 0, -32768, 0}};
        const Units u = s.Members(2);
        UpdateTFSelection(s.view_);
        HighlightTFUnit(s.view_, u[1], 0, 0);
        TaskForceScene::DrainQueues();
        KeyStates[276] = shift ? 1 : 0;
        s.Frame({Bit(CommandoKey::SELECT)});
        EXPECT_EQ(WayPointerSet, 1);
        EXPECT_TRUE(way->flags & kConActive);
        s.Frame({});
        const std::vector<Posted> posted = TaskForceScene::Take(0);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].type, shift ? 350 : 351);
        EXPECT_EQ(posted[0].units, (Units{u[1]}));
        EXPECT_EQ(posted[0].point[0], 4 * kTile);
        EXPECT_EQ(posted[0].point[2], 4 * kTile);
        EXPECT_EQ(WayPointerSet, 0);
        KeyStates[276] = 0;
        DeactivateConstruct(way);
        WayPointer = nullptr;
        FreeConstruct(way);
        DeleteConstructPool(VisiblePool);
        VisiblePool = visibleWas;
    }
}

TEST(TacticalMap, DraggingBecomesABoxOnlyAfterTwentyPixelsAcross) {
    MapScene s;
    construct* a = s.At(0, 0, 10, 20000);
    construct* b = s.At(1, 0, 10, 20000);
    UpdateTFSelection(s.view_);
    const int select = Bit(CommandoKey::SELECT);
    // Vertical movement alone never starts a box.
    s.Frame({select}, 100, 100);
    s.Frame({select}, 100, 400);
    EXPECT_EQ(MapBoxActive, 0);
    s.Frame({}, 100, 400);
    EXPECT_EQ(s.highlighted_->count, 0);
    // Across more than 20 pixels it does, and the release highlights the members inside.
    s.Frame({select}, 300, 200);
    s.Frame({select}, 320, 280);
    EXPECT_EQ(MapBoxActive, 0);
    s.Frame({select}, 450, 280);
    EXPECT_EQ(MapBoxActive, 1);
    s.Frame({}, 450, 280);
    EXPECT_EQ(MapBoxActive, 0);
    EXPECT_EQ(s.Pool(s.highlighted_), (Units{a, b}));
}

TEST(TacticalMap, ACockpitOnlyLevelPutsThePlayerIntoTheUnitOurUnitNames) {
    struct Case {
        const char* name;
        const char* rule;
        int members;
        int want;
    };
    // An index outside the task force is ignored: the level takes the unit it takes without the rule.
    const Case cases[] = {
        {"no rule, one member: the first", "", 1, 0},
        {"no rule, more: the second", "", 3, 1},
        {"the rule's member", "OurUnit 2;", 3, 2},
        {"the first by the rule", "OurUnit 0;", 3, 0},
        {"an index past the task force", "OurUnit 7;", 3, 1},
        {"a negative index", "OurUnit -1;", 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapScene s;
        if (*c.rule) s.Rules(c.rule);
        const Units u = s.Members(c.members);
        UpdateTFSelection(s.view_);
        LevelCockpitOnly = 1;
        // Early in the level only a unit that can drive is entered (the test units never say so).
        FrameCounter = 100;
        s.Frame({});
        EXPECT_EQ(PlayerUnit, nullptr);
        FrameCounter = 600;
        s.Frame({});
        EXPECT_EQ(PlayerUnit, u[size_t(c.want)]);
        EXPECT_EQ(s.view_->leaveLatch, 1);
        LevelCockpitOnly = 0;
    }
}

}  // namespace
}  // namespace hudtest
