#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/Fix3D.h"
#include "core/Memory.h"
#include "platform/Dxgl.h"
#include "render/Deferred.h"
#include "render/View.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "game/Level_local.h"
#include "world/QZEvent.h"
#include "world/WorldFixtures.h"
#include "game/WorldTick.h"

namespace {

// The four busy pools of a level, each holding one counting construct.
class BusyPools : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) {
            char name[16];
            snprintf(name, sizeof name, "buzy%d", i);
            BuzyPools[i] = CreateConstructPool(16, name);
            boxes_[i] = kvtest::NewTestBox();
            AppendToConstructPool(BuzyPools[i], boxes_[i]);
        }
    }
    void TearDown() override {
        for (int i = 0; i < 4; ++i) {
            DeleteConstructPool(BuzyPools[i]);
            BuzyPools[i] = nullptr;
            FreeConstruct(boxes_[i]);
        }
        for (construct* c : extra_) FreeConstruct(c);
        FrameCounter = 1;
    }
    static int Ticks(construct* c) { return static_cast<int32_t*>(c->itfcData)[0]; }

    construct* boxes_[4] = {};
    std::vector<construct*> extra_;
};

}  // namespace

TEST_F(BusyPools, EightTicksFromZeroTickEachPoolAtItsCadence) {
    FrameCounter = 0;
    WorldTick(8, 0);
    EXPECT_EQ(FrameCounter, 8u);
    EXPECT_EQ(HalfTick, 4);
    EXPECT_EQ(Ticks(boxes_[0]), 8);
    EXPECT_EQ(Ticks(boxes_[1]), 4);
    EXPECT_EQ(Ticks(boxes_[2]), 2);
    EXPECT_EQ(Ticks(boxes_[3]), 1);
    EXPECT_EQ(TickIndex, -1);
    EXPECT_EQ(TickCount, -1);
    EXPECT_EQ(BuzyGuard, 0);
}

TEST_F(BusyPools, CadenceFollowsTheCounterHoweverTicksFallIntoCalls) {
    FrameCounter = 0;
    for (int ticks : {3, 0, 1, 4, 2, 6})  // 16 ticks in six calls
        WorldTick(ticks, 0);
    EXPECT_EQ(FrameCounter, 16u);
    EXPECT_EQ(Ticks(boxes_[0]), 16);
    EXPECT_EQ(Ticks(boxes_[1]), 8);
    EXPECT_EQ(Ticks(boxes_[2]), 4);
    EXPECT_EQ(Ticks(boxes_[3]), 2);
}

TEST_F(BusyPools, NoTicksRunOnlyThePerCallWork) {
    FrameCounter = 5;
    WorldTick(0, 1);
    EXPECT_EQ(FrameCounter, 5u);
    for (construct* c : boxes_) EXPECT_EQ(Ticks(c), 0);
}

namespace {

construct* Spawned = nullptr;
// A type whose first TICK appends a counting construct to the pool "buzy0".
uintptr_t Spawner_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::TICK && !Spawned) {
        Spawned = kvtest::NewTestBox();
        AppendToConstructPool(BuzyPools[0], Spawned);
        return 0;
    }
    return kvtest::TestBox_itfc(con, method, arg);
}

// Records the control records each TICK is given.
std::vector<TickInput> Seen;
uintptr_t Recorder_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    if (method == ItfcMethod::TICK) {
        Seen.push_back(*reinterpret_cast<const TickInput*>(arg));
        return 0;
    }
    if (method == ItfcMethod::STEERAI) {
        auto* record = reinterpret_cast<ControlInput*>(arg);
        ClearInput(record);
        SetInputKey(record, 3, true);
        return 1;
    }
    return kvtest::TestBox_itfc(con, method, arg);
}

}  // namespace

TEST_F(BusyPools, ConstructsAppendedDuringTheWalkAreTickedInTheSameStep) {
    construct* spawner = kvtest::NewTestBox();
    spawner->itfc = Spawner_itfc;
    extra_.push_back(spawner);
    AppendToConstructPool(BuzyPools[0], spawner);
    Spawned = nullptr;
    FrameCounter = 0;
    WorldTick(1, 0);
    ASSERT_NE(Spawned, nullptr);
    extra_.push_back(Spawned);
    EXPECT_EQ(Ticks(Spawned), 1);
    Spawned = nullptr;
}

TEST_F(BusyPools, InputDrivenConstructsSeeKeyEdgesOnTheFirstTickOfACallOnly) {
    PlayerCell* cell = CreatePlayer("driver");
    construct* driven = kvtest::NewTestBox();
    driven->itfc = Recorder_itfc;
    driven->flags |= 0x40000;
    driven->playerCell = cell;
    construct* ai = kvtest::NewTestBox();
    ai->itfc = Recorder_itfc;
    ai->flags |= 0x40000;
    extra_.push_back(driven);
    extra_.push_back(ai);
    AppendToConstructPool(BuzyPools[0], driven);
    ClearInput(&cell->unitBefore);
    ClearInput(&cell->unitNow);
    SetInputKey(&cell->unitNow, kInputFire1, true);
    Seen.clear();
    FrameCounter = 0;
    WorldTick(3, 0);
    ASSERT_EQ(Seen.size(), 3u);
    EXPECT_TRUE(InputKeyPressed(Seen[0].records[0], Seen[0].records[1], kInputFire1));
    EXPECT_FALSE(InputKeyPressed(Seen[1].records[0], Seen[1].records[1], kInputFire1));
    EXPECT_TRUE(InputKeyDown(Seen[2].records[1], kInputFire1));

    // An AI unit: "before" is cleared, "now" is filled by its steering.
    RemoveFromConstructPool(BuzyPools[0], driven);
    AppendToConstructPool(BuzyPools[0], ai);
    Seen.clear();
    WorldTick(1, 0);
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_FALSE(InputKeyDown(Seen[0].records[0], 3));
    EXPECT_TRUE(InputKeyDown(Seen[0].records[1], 3));
    DeletePlayer(cell);
}

// The fire gate, one case per row: the latch and the restriction before, whether the bit was set in the
// saved copy and is set now; whether the press passes and the latch after.
TEST(WorldTick, FireKeysPassOnlyWhenArmedAndAllowed) {
    struct Case {
        int armed;
        uint32_t restrictions;
        bool seenBefore, down;
        bool passes;
        int armedAfter;
    } cases[] = {
        {1, 0xffffffffu, false, true, true, 1},   // an armed, allowed press passes
        {0, 0xffffffffu, false, true, false, 0},  // a press still held after the menu is refused
        {0, 0xffffffffu, true, false, false, 1},  // releasing re-arms
        {1, ~0x200u, false, true, false, 1},      // firing forbidden by the mission
        {1, ~0x200u, true, true, false, 1},       // held through a refusal: refused again
    };
    const uint32_t saved = PlayerRestrictions;
    for (const Case& c : cases) {
        PlayerRestrictions = c.restrictions;
        int32_t armed = c.armed;
        ControlInput now, seen;
        ClearInput(&now);
        ClearInput(&seen);
        SetInputKey(&now, kInputFire1, c.down);
        SetInputKey(&seen, kInputFire1, c.seenBefore);
        GateFireKey(&now, kInputFire1, &armed, &seen);
        EXPECT_EQ(InputKeyDown(now, kInputFire1), c.passes) << c.armed << " " << c.down;
        EXPECT_EQ(armed, c.armedAfter);
        // The saved copy is the record as sampled.
        EXPECT_EQ(InputKeyDown(seen, kInputFire1), c.down);
    }
    PlayerRestrictions = saved;
}

// The ticks of a frame over a scripted clock: each row is a frame ending at a time (centiseconds),
// with the game speed and the resync flag; the ticks it gets and the fraction carried after it.
TEST(FrameLoop, TicksOfAFrameFromTheClock) {
    struct Frame {
        double now;
        double speed;
        int resync;
        int ticks;
        double carry;
    };
    struct Script {
        const char* name;
        double start;
        std::vector<Frame> frames;
    } scripts[] = {
        {"half speed carries the half tick", 0, {{3, 0.5, 0, 1, 0.5}, {6, 0.5, 0, 2, 0.0}}},
        {"short frames accumulate", 100, {{100.4, 1, 0, 0, 0.4}, {100.8, 1, 0, 0, 0.8}, {101.2, 1, 0, 1, 0.2}}},
        {"resync drops the ticks, keeps the fraction", 0, {{2.5, 1, 1, 0, 0.5}, {4.0, 1, 0, 2, 0.0}}},
        {"double speed", 10, {{13, 2, 0, 6, 0.0}}},
        {"a stall is capped, the fraction kept", 0, {{500.5, 1, 0, 100, 0.5}, {501, 1, 0, 1, 0.0}}},
        {"the cap grows with the speed", 0, {{1000.25, 20, 0, 2000, 0.0}}},
    };
    for (const Script& s : scripts) {
        SCOPED_TRACE(s.name);
        TickClock clock;
        StartTickClock(&clock, s.start, s.frames[0].speed);
        for (const Frame& f : s.frames) {
            int resync = f.resync;
            EXPECT_EQ(FrameTicks(&clock, f.now, f.speed, &resync), f.ticks) << f.now;
            EXPECT_NEAR(clock.carry, f.carry, 1e-9) << f.now;
            EXPECT_EQ(resync, 0);
        }
    }
    EXPECT_EQ(MaxFrameTicks(1.0), 100);
    EXPECT_EQ(MaxFrameTicks(0.25), 100);
    EXPECT_EQ(MaxFrameTicks(20.0), 2000);
}

// The debug overlay shows this frame's draw counts, the video memory in use, the depth factor, the peek
// word and, at the top of the screen, each overflow the renderer flagged.
TEST(FrameLoop, DebugOverlayShowsCountsMemoryDepthAndOverflows) {
    TickClock clock{};
    clock.rate = 0.5;
    TriangleCount = 120.0f;
    DrawCallCount = 7.0f;
    const int32_t height = SurfaceHeight;
    SurfaceHeight = 600;
    const float depthScale = DepthScale;
    DepthScale = 0.0000005f;
    DeferredFaceOverflow = 1;
    ConstructOverflow = 0;
    DeferredBBoardOverflow = 1;
    OverlayLine lines[kOverlayLines];
    const int n = DebugOverlayLines(clock, lines);
    std::map<int32_t, std::string> shown;
    for (int i = 0; i < n; ++i) shown[lines[i].y] = lines[i].text;
    EXPECT_EQ(shown[60], "50.0 fps (120 tris, 7 dpcs)");
    EXPECT_EQ(shown[90].rfind("vidmem usage ", 0), 0u) << shown[90];
    EXPECT_EQ(shown[150], "ztodepth 0.50000000");
    EXPECT_EQ(shown[230].rfind("peek= ", 0), 0u) << shown[230];
    EXPECT_EQ(shown[570], "WARNING: postponed face list overflow");
    EXPECT_EQ(shown.count(540), 0u);
    EXPECT_EQ(shown[510], "WARNING: postponed bboard list overflow");
    DeferredFaceOverflow = DeferredBBoardOverflow = 0;
    SurfaceHeight = height;
    DepthScale = depthScale;
    TriangleCount = DrawCallCount = 0.0f;
}
