// The sensor tip: laying the beam from the shared "Sensor" pool within its count and length, moving it,
// hiding what lies behind a blocked segment, and clearing it.
#include "objects/SharedPools.h"
#include "vehicles/modules/ModuleScene.h"
#include "vehicles/modules/SensorTip.h"

namespace {

uintptr_t Seg_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("Sensor");
    return 0;
}

class SensorTipTest : public modtest::ModuleScene {
protected:
    void SetUp() override {
        ModuleScene::SetUp();
        Rules("Tank_SensorTip 10.7 200 1000;");
    }
    void TearDown() override {
        ClearQZEvents();
        if (ConstructPool* pool = SharedPools[static_cast<int>(SharedPoolId::Sensor)]) {
            for (int i = 0; i < pool->count; ++i) FreeConstruct(pool->constructs[i]);
            DeleteConstructPool(pool);
        }
        SharedPools[static_cast<int>(SharedPoolId::Sensor)] = nullptr;
        ModuleScene::TearDown();
    }
    // The shared pool with count segments of the given length.
    void Pool(int count, int32_t length) {
        ConstructPool* pool = CreateConstructPool(count, "Sensor");
        for (int i = 0; i < count; ++i) {
            construct* seg = CreateConstruct(0, 0);
            seg->itfc = Seg_itfc;
            auto* head = static_cast<SensorSegHead*>(AllocItfcData(seg, 20));
            head->length = length;
            AppendToConstructPool(pool, seg);
        }
        SharedPools[static_cast<int>(SharedPoolId::Sensor)] = pool;
    }
    void TearDownPool() {
        ConstructPool*& pool = SharedPools[static_cast<int>(SharedPoolId::Sensor)];
        for (int i = 0; i < pool->count; ++i) FreeConstruct(pool->constructs[i]);
        DeleteConstructPool(pool);
        pool = nullptr;
    }
    static SensorSegHead* Head(construct* seg) { return static_cast<SensorSegHead*>(seg->itfcData); }

    SensorTip s_{};
};

TEST_F(SensorTipTest, TheBeamIsLaidWithinItsCountAndLength) {
    struct Case {
        int poolSize;
        int32_t length;
        int expected;
    } cases[] = {
        {60, 10000, 31},  // laid while at most 300000: 31 segments reach 310000
        {60, 5000, 45},   // never more than 45
        {20, 10000, 20},  // as many as are free
        {0, 10000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Pool(c.poolSize, c.length);
        SensorTip_init(&s_, con_, con_, 2.0f);
        EXPECT_EQ(s_.offset[0], 20);  // each value truncated, then scaled and truncated
        EXPECT_EQ(s_.offset[2], 2000);
        SensorTip_activate(&s_);
        EXPECT_EQ(s_.active, 1);
        ASSERT_EQ(s_.count, c.expected);
        for (int i = 0; i < s_.count; ++i) {
            construct* seg = s_.segments[i];
            EXPECT_EQ(seg->owner, con_);
            EXPECT_EQ(seg->effectPhase, kSensorEffectPhase);
            EXPECT_TRUE(seg->flags & kConActive);
            EXPECT_TRUE(seg->flags & kConEventPending);
            EXPECT_EQ(seg->pos[2], con_->pos[2] + 2000 + i * c.length);
        }
        SensorTip_activate(&s_);  // already active: nothing changes
        EXPECT_EQ(s_.count, c.expected);
        SensorTip_release(&s_);
        EXPECT_EQ(s_.active, 0);
        FlushQZEvents();
        TearDownPool();
    }
}

TEST_F(SensorTipTest, SegmentsBehindABlockedOneDisappearUntilNothingBlocks) {
    Pool(40, 10000);
    SensorTip_init(&s_, con_, con_, 1.0f);
    SensorTip_activate(&s_);
    FlushQZEvents();
    con_->pos[0] += 5000;  // the beam moves with the unit
    SensorTip_update(&s_);
    EXPECT_EQ(s_.segments[10]->pos[0], con_->pos[0] + 10);
    EXPECT_EQ(s_.end[2], s_.segments[s_.count - 1]->pos[2]);

    Head(s_.segments[3])->blocked = 1;
    SensorTip_update(&s_);
    EXPECT_EQ(s_.end[2], s_.segments[3]->pos[2]);
    for (int i = 0; i < s_.count; ++i) EXPECT_EQ((s_.segments[i]->flags & kConActive) != 0, i < 3) << i;

    Head(s_.segments[3])->blocked = 0;
    SensorTip_update(&s_);
    for (int i = 0; i < s_.count; ++i) EXPECT_TRUE(s_.segments[i]->flags & kConActive) << i;

    construct* first = s_.segments[0];
    SensorTip_clear(&s_);
    EXPECT_EQ(s_.count, 0);
    EXPECT_FALSE(first->flags & kConActive);
    ASSERT_GT(QZEventCount, 0);
    EXPECT_EQ(QZEventQueue[0].kind, static_cast<int32_t>(QZEventKind::UnBuzy));
    FlushQZEvents();
    EXPECT_FALSE(first->flags & kConBusy);
    SensorTip_clear(&s_);  // clearing an inactive beam changes nothing
    EXPECT_EQ(QZEventCount, 0);
}

}  // namespace
