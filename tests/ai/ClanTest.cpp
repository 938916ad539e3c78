// Clans: the table, hostilities and their messages, the status countdowns, the pools and patrols built
// from action units, and threat detection and ageing on a hand-made scene.
#include "AIFixtures.h"
#include "support/MemTrack.h"
#include "world/Collide.h"
#include "world/TickCounter.h"
#include "world/TerrainFixtures.h"

namespace aitest {
namespace {

constexpr int32_t kTile = 65536;

class Clans : public AIScene {};

TEST_F(Clans, TableNamesAndHostilityWords) {
    EXPECT_EQ(ClanCount, 3);
    EXPECT_EQ(NamedClan("GA"), ga());
    EXPECT_EQ(ClanIndex(arab()), 2);
    EXPECT_EQ(FindClan("ga"), nullptr);  // names compare exactly
    EXPECT_EQ(FatalText([] { NamedClan("MERC"); }), "Error(NamedClan): No such Clan.");
    EXPECT_EQ(FatalText([] { CreateClan("MERC"); }), "Error(CreateClan): Too many Clans");
    EXPECT_EQ(ema()->area[1], 720896);

    struct Case {
        const char* text;
        int value;
        const char* fatal;
    } cases[] = {
        {"ALLIED", 1, ""}, {"NEUTRAL", 0, ""}, {"HOSTILE", 2, ""},
        {"hostile", -1, "Error(NamedHostility): uk hostility"}, {"", -1, "Error(NamedHostility): uk hostility"},
    };
    for (const Case& c : cases) {
        int got = -1;
        EXPECT_EQ(FatalText([&] { got = NamedHostility(c.text); }), c.fatal) << c.text;
        EXPECT_EQ(got, c.value) << c.text;
    }
}

TEST_F(Clans, HostilityIsSetBothWaysAndAnnouncedToEveryClan) {
    SetClanHostility(ema(), ga(), kHostile);
    SetClanHostility(ga(), arab(), kAllied);
    EXPECT_EQ(ema()->hostility[1], kHostile);
    EXPECT_EQ(ga()->hostility[0], kHostile);
    EXPECT_EQ(ga()->hostility[2], kAllied);
    EXPECT_EQ(arab()->hostility[1], kAllied);
    EXPECT_EQ(ema()->hostility[2], kNeutral);
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(Queued(c), (std::vector<int>{4, 4})) << c;
        AIMessage* first = AIQueues[c].head;
        EXPECT_EQ(first->clanA, 0);
        EXPECT_EQ(first->clanB, 1);
        EXPECT_EQ(first->param, kHostile);
    }
    SetPlayerClan(ga());
    EXPECT_EQ(PlayerClan, ga());
    EXPECT_EQ(Queued(2), (std::vector<int>{4, 4, 208}));
    EXPECT_EQ(FatalText([&] { SetClanHostility(ema(), ga(), 3); }), "Error(SetClanHostility): uk hostility type");
}

TEST_F(Clans, SuccessAndFailureTogetherStartOnlyTheSuccessCountdown) {
    SetPlayerClan(ema());
    ema()->successMark = 1;
    ema()->failureMark = 1;
    UpdateClanStatus(ema());
    EXPECT_EQ(WinCountdown, 700);
    EXPECT_EQ(LoseCountdown, 0);
    WinCountdown = 0;
    MissionWon = 1;  // a decided mission starts nothing
    UpdateClanStatus(ema());
    EXPECT_EQ(WinCountdown, 0);
    EXPECT_EQ(LoseCountdown, 0);
    MissionWon = 0;
    ema()->successMark = 0;
    UpdateClanStatus(ga());  // another clan's marks are not the player's
    EXPECT_EQ(LoseCountdown, 0);
    UpdateClanStatus(ema());
    EXPECT_EQ(LoseCountdown, 700);
}

TEST_F(Clans, StatusFindsTheNearestReloadAndTheActionUnitInReach) {
    SetPlayerClan(ema());
    construct* near = Unit(ema(), 0, 0, 0);
    construct* far = Unit(ema(), 50 * kTile, 0, 0);
    construct* depot = MakeUnit(nullptr, 48 * kTile, 0, 0);
    units_.push_back(depot);
    ConstructPool* reload = CreateConstructPool(32, "reload");
    AppendToConstructPool(reload, depot);
    AUDef* au = CreateAUDef();
    au->pool = CreateConstructPool(2, "audef scan pool");
    AppendToConstructPool(au->pool, far);
    au->placed = 1;
    au->action = kActionDataScan;
    au->actionValues[0] = 3 * kTile;
    PlayerUnit = near;
    UpdateClanStatus(ema());
    EXPECT_EQ(ReloadUnit, far);
    EXPECT_EQ(ReloadUnitDistance, 2 * kTile);
    EXPECT_EQ(ActionTargetAU, nullptr);
    PlayerUnit = depot;
    UpdateClanStatus(ema());
    EXPECT_EQ(ActionTargetAU, au);
    au->pool->count = 0;
    au->placed = 0;
    DeleteConstructPool(au->pool);
    au->pool = nullptr;
    DeleteConstructPool(reload);
}

TEST_F(Clans, PoolsAndPatrolsAreBuiltFromPlacedActionUnits) {
    kvtest::MemTrack mem;
    Rules("outpost_waypoint_0 10 20; outpost_waypoint_1 30.5 40; outpost_waypoint2_0 1 1;");
    construct* alive = Unit(nullptr, 0, 0, 0);
    construct* dead = Unit(nullptr, 0, 0, 0);
    Block(dead)->state.structure = 0;
    AUDef* au = CreateAUDef();
    std::strcpy(au->name, "outpost");
    au->abstractClan = 2;
    AbstractClanMap[2] = ga();
    au->pool = CreateConstructPool(2, "audef outpost pool");
    AppendToConstructPool(au->pool, alive);
    AppendToConstructPool(au->pool, dead);
    BuildAUWaypointLists(ga());
    EXPECT_EQ(ga()->pool->count, 0);  // not placed yet
    au->placed = 1;
    for (int pass = 0; pass < 2; ++pass) {  // rebuilding frees the old lists
        BuildAUWaypointLists(ga());
        ASSERT_EQ(ga()->pool->count, 1);
        EXPECT_EQ(ga()->pool->constructs[0], alive);
        ASSERT_EQ(ga()->patrolCount, 1);
        const PatrolRecord& p = ga()->patrols[0];
        EXPECT_EQ(p.au, au);
        EXPECT_EQ(p.points->capacity, 100);
        ASSERT_EQ(p.points->count, 2);
        EXPECT_EQ(p.points->points[1][0], 30 * kTile + kTile / 2);
        EXPECT_EQ(p.points->points[1][2], 40 * kTile);
        EXPECT_EQ(ga()->patrol2Count, 1);
        EXPECT_EQ(mem.Live("wpl(patrol)"), 2);
    }
    BuildAUWaypointLists(ema());
    EXPECT_EQ(ema()->patrolCount, 0);
    au->pool->count = 0;
    au->placed = 0;
    DeleteConstructPool(au->pool);
    au->pool = nullptr;
}

// Threat detection on two or three units with radar, eyes, stealth and recent hits.
class Threats : public AIScene {
protected:
    Threats() {
        Rules("eyesight_range 200000; eyesight_aperture 8000; beamsight_range 100000; beamsight_radius 30000;"
              "allhostilesvisible 0;");
        SetClanHostility(ema(), ga(), kHostile);
        SetPlayerClan(ema());
        DrainQueues();
    }
    static ThreatEntry* EntryFor(construct* seer, construct* seen) {
        ThreatEntry* list = nullptr;
        int n = GetThreatList(seer, &list);
        for (int i = 0; i < n; ++i)
            if (list[i].con == seen) return &list[i];
        return nullptr;
    }
};

TEST_F(Threats, RadarContactIsReportedToTheUnitAndItsClan) {
    construct* a = Unit(ema(), 0, 0, 0, 10 * kTile);
    construct* b = Unit(ga(), 5 * kTile, 0, 0);
    DetectThreats();
    ThreatEntry* e = EntryFor(a, b);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags, kThreatRadar);
    EXPECT_EQ(e->distance, 5 * kTile);
    EXPECT_EQ(e->dir[0], 32768);
    EXPECT_EQ(EntryFor(b, a), nullptr);  // b has no radar range and a lies beyond its eyes
    EXPECT_TRUE(ThreatListHolds(b, ema()));
    EXPECT_FALSE(ThreatListHolds(a, ga()));
    EXPECT_EQ(Block(b)->share.inThreatList[0], 1);
    EXPECT_EQ(Block(b)->share.displayWord, 2);  // the player's clan knows it
    EXPECT_EQ(Queued(0), (std::vector<int>{103, 104, 100}));
    EXPECT_EQ(AIQueues[0].head->other, &Block(b)->share.ai[0]);
}

// A unit of the own clan standing in the line of fire toward the target sets the friend-in-line flag of
// the aiming unit's detection record; the aiming probe stops at it. Both find the constructs near a point
// from this tick's collision lists.
TEST_F(Threats, AFriendInTheLineOfFireIsReportedAndStopsTheProbe) {
    kvtest::HandMatrix terrain(16, 16);
    CurrentMatrix = terrain.m;
    for (int32_t& w : WaterLevel) w = kNoWaterLevel;
    ConstructPool* near = CreateConstructPool(32, "tmpcollision");
    ConstructPool* moving = CreateConstructPool(8, "collide test");
    construct* a = Unit(ema(), 100000, 100000, 100000);
    construct* b = Unit(ga(), 300000, 100000, 100000);
    construct* f = Unit(ema(), 200000, 100000, 100000);
    for (construct* c : {a, b, f}) {
        c->sphere.radius = 2000;
        c->collisionClass = 255;
        c->sampleCornerCount = 1;
        c->sampleCorners[0] = 0;
        AppendToConstructPool(moving, c);
    }
    SetUnitTarget(a, b, 0, 0);
    const uint32_t tick = FrameCounter;
    for (bool inLine : {true, false}) {
        SCOPED_TRACE(inLine ? "friend in the line" : "friend aside");
        f->pos[2] = inLine ? 100000 : 200000;
        ++FrameCounter;  // one collision pass per tick
        ConstructPool* const pools[4] = {moving, nullptr, nullptr, nullptr};
        CollideUnitsIn(terrain.m, pools);
        DetectThreats();
        EXPECT_EQ((Block(a)->share.detect.flags & kThreatFriendInLine) != 0, inLine);
        int32_t end[3];
        const int32_t east[3] = {32768, 0, 0};
        EXPECT_EQ(ProbeLine(a, a->pos, east, end, 150000, 0, 1), inLine ? f : nullptr);
    }
    FrameCounter = tick;
    CurrentMatrix = nullptr;
    DeleteConstructPool(moving);
    DeleteConstructPool(near);
}

TEST_F(Threats, HostilityDecidesWhoDetectsWhom) {
    struct Case {
        int hostility;
        bool detected;
        std::vector<int> messages;
    } cases[] = {
        {kAllied, false, {}}, {kNeutral, true, {100}}, {kHostile, true, {103, 104, 100}},
    };
    for (const Case& c : cases) {
        construct* a = Unit(ema(), 0, 0, 0, 10 * kTile);
        construct* b = Unit(ga(), 5 * kTile, 0, 0);
        ema()->hostility[1] = ga()->hostility[0] = c.hostility;
        DetectThreats();
        EXPECT_EQ(EntryFor(a, b) != nullptr, c.detected) << c.hostility;
        EXPECT_EQ(Queued(0), c.messages) << c.hostility;
        DrainQueues();
        RemoveFromConstructPool(ema()->pool, a);
        RemoveFromConstructPool(ga()->pool, b);
        ema()->threatCount = 0;
    }
}

TEST_F(Threats, AHillBetweenHidesFromEyesButNotFromRadar) {
    kvtest::HandMatrix terrain(4, 4);
    CurrentMatrix = terrain.m;
    for (int32_t X = 30; X < 34; ++X)
        for (int32_t Z = 0; Z < 64; ++Z) terrain.At(X, Z).height = 10000;  // a ridge across the map
    construct* a = Unit(ema(), kTile / 2, 20000, 2 * kTile, 10 * kTile);
    construct* b = Unit(ga(), 3 * kTile + kTile / 2, 20000, 2 * kTile);
    DetectThreats();
    ThreatEntry* e = EntryFor(a, b);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags, kThreatRadar | kThreatObstructed);
    int computed = 0;
    AIUnitRecord* ra = &Block(a)->share.ai[0];
    AIUnitRecord* rb = &Block(b)->share.ai[0];
    EXPECT_EQ(aistubs_InLineOfSight(ra, rb, &computed), 1);  // from the threat list
    EXPECT_EQ(computed, 0);
    EXPECT_EQ(aistubs_InLineOfSight(rb, ra, &computed), 1);  // probed now
    EXPECT_EQ(computed, 1);

    Block(a)->share.sightType = kSightEye;
    Block(a)->share.insideOrient[6] = 32768;  // looking along +x, toward b
    Block(a)->share.insideOrient[8] = 0;
    DetectThreats();
    EXPECT_EQ(EntryFor(a, b), nullptr);
    for (int32_t X = 30; X < 34; ++X)
        for (int32_t Z = 0; Z < 64; ++Z) terrain.At(X, Z).height = 0;
    DetectThreats();
    ASSERT_NE(EntryFor(a, b), nullptr);
    EXPECT_EQ(EntryFor(a, b)->flags, kThreatSight);
    CurrentMatrix = nullptr;
}

TEST_F(Threats, StealthHidesFromRadarButNotFromEyes) {
    construct* radar = Unit(ema(), 0, 0, 0, 10 * kTile);
    construct* sneaky = Unit(ga(), 0, 0, 2 * kTile);
    Block(sneaky)->share.stateFlag = 1;
    DetectThreats();
    EXPECT_EQ(EntryFor(radar, sneaky), nullptr);

    Block(radar)->share.sightType = kSightEye;  // eyes look along +z (the orientation's third row)
    DetectThreats();
    ThreatEntry* e = EntryFor(radar, sneaky);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags, kThreatSight);

    sneaky->pos[2] = -2 * kTile;  // behind the eyes
    std::memcpy(Block(sneaky)->share.insidePos, sneaky->pos, 12);
    DetectThreats();
    EXPECT_EQ(EntryFor(radar, sneaky), nullptr);
}

TEST_F(Threats, ARecentHitIsKnownAtAnyRangeAndNoiseAlerts) {
    construct* a = Unit(ema(), 0, 0, 0);
    construct* b = Unit(ga(), 500 * kTile, 0, 0);
    SetUnitTargetPair(b, a, 300);  // b hit a
    DetectThreats();
    ThreatEntry* e = EntryFor(a, b);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags, kThreatRecentHit);
    EXPECT_EQ(EntryFor(b, a), nullptr);

    Block(b)->share.noiseRange = 600 * kTile;  // b is heard: a turns toward it
    DetectThreats();
    EXPECT_EQ(Block(a)->share.alertCountdown, 500);
    EXPECT_EQ(Block(a)->share.alertPoint[0], 500 * kTile);
    EXPECT_EQ(Block(b)->share.alertCountdown, 0);
}

TEST_F(Threats, EntriesAgeOutAfterTheirLastDetectionOrWhenTheUnitLeavesTheBusyPools) {
    construct* a = Unit(ema(), 0, 0, 0, 10 * kTile);
    construct* b = Unit(ga(), 5 * kTile, 0, 0);
    construct* c = Unit(ga(), 6 * kTile, 0, 0);
    DetectThreats();
    ASSERT_EQ(ema()->threatCount, 2);
    DrainQueues();
    RemoveFromConstructPool(ga()->pool, b);  // b is no longer detected
    RemoveFromConstructPool(ga()->pool, c);
    c->flags &= ~kConBusy;                  // c left the busy pools
    DetectThreats();                         // c goes at once
    EXPECT_EQ(ema()->threatCount, 1);
    EXPECT_TRUE(ThreatListHolds(b, ema()));
    EXPECT_EQ(Block(c)->share.inThreatList[0], 0);
    EXPECT_EQ(Block(c)->share.displayWord, -1);
    EXPECT_EQ(Queued(0), (std::vector<int>{102}));
    DetectThreats();
    EXPECT_TRUE(ThreatListHolds(b, ema()));
    DetectThreats();
    EXPECT_FALSE(ThreatListHolds(b, ema()));
    EXPECT_EQ(EntryFor(a, b), nullptr);
}

TEST_F(Threats, TheClanListDoublesAndTargetsWithoutAClanAreSkipped) {
    kvtest::MemTrack mem;
    std::vector<construct*> many;
    for (int i = 0; i < 151; ++i) {
        many.push_back(Unit(nullptr, i, 0, 0));
        ThreatEntry e{kThreatRadar, many.back(), 1, 0, {}, {}};
        InsertThreat(ga(), &e);
    }
    EXPECT_EQ(ga()->threatCount, 151);
    EXPECT_EQ(ga()->threatCapacity, 300);
    ThreatEntry again{kThreatSight, many[7], 9, 5, {}, {}};
    InsertThreat(ga(), &again);
    EXPECT_EQ(ga()->threatCount, 151);
    EXPECT_EQ(ga()->threats[7].flags, kThreatSight);
    EXPECT_EQ(ga()->threats[7].age, 0);
    EXPECT_EQ(Queued(1).size(), 151u);

    ConstructPool* targets = CreateConstructPool(32, "target");
    Unit(ema(), 0, 0, 0, 10 * kTile);
    AppendToConstructPool(targets, many[0]);  // a target of no clan
    DetectThreats();
    EXPECT_EQ(ema()->threatCount, 0);
    DeleteConstructPool(targets);
}

TEST_F(Threats, AlertReachesUnitsOfClansThatAreNotAllied) {
    construct* shooter = Unit(ema(), 0, 0, 0);
    construct* enemy = Unit(ga(), 2 * kTile, 0, 0);
    construct* friendOfEma = Unit(arab(), 2 * kTile, 0, 0);
    construct* distant = Unit(ga(), 20 * kTile, 0, 0);
    SetClanHostility(ema(), arab(), kAllied);
    const int32_t point[3] = {kTile, 0, 0};
    AlertUnitsNearPoint(shooter, point, 3 * kTile);
    EXPECT_EQ(Block(enemy)->share.alertCountdown, 500);
    EXPECT_EQ(Block(friendOfEma)->share.alertCountdown, 0);
    EXPECT_EQ(Block(distant)->share.alertCountdown, 0);
}

}  // namespace
}  // namespace aitest
