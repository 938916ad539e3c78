#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WorldFixtures.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace {

class Events : public kvtest::LevelPools {
protected:
    void TearDown() override {
        LevelPools::TearDown();
        for (construct* c : cons_) FreeConstruct(c);
    }
    construct* Con() {
        cons_.push_back(CreateConstruct(0, 0));
        return cons_.back();
    }
    // How many times busy pool `level` holds the construct.
    static int Count(int level, const construct* c) {
        int n = 0;
        for (int k = 0; k < BuzyPools[level]->count; ++k) n += BuzyPools[level]->constructs[k] == c;
        return n;
    }
    kvtest::FatalCatcher fatal_;
    std::vector<construct*> cons_;
};

TEST_F(Events, MakeBusyEventsMoveBetweenLevels) {
    construct* c = Con();
    CreateQZEvent(QZEventKind::Buzy0, c);
    EXPECT_TRUE(c->flags & kConEventPending);
    EXPECT_EQ(Count(0, c), 0) << "nothing happens before the queue runs";
    FlushQZEvents();
    EXPECT_EQ(Count(0, c), 1);
    EXPECT_EQ(c->flags & 0x1F8, kConBusy | 0x10);
    EXPECT_EQ(c->busyLevel, 0);

    CreateQZEvent(QZEventKind::Buzy2, c);
    FlushQZEvents();
    EXPECT_EQ(Count(0, c), 0);
    EXPECT_EQ(Count(2, c), 1);
    EXPECT_EQ(c->flags & 0x1F8, kConBusy | 0x40);
    EXPECT_EQ(c->busyLevel, 2);

    CreateQZEvent(QZEventKind::UnBuzy, c);
    FlushQZEvents();
    EXPECT_EQ(Count(2, c), 0);
    EXPECT_EQ(c->flags & 0x1F8, 0u);
    EXPECT_EQ(QZEventCount, 0);
}

TEST_F(Events, TwoMakeBusyEventsLeaveOneMembership) {
    construct* c = Con();
    CreateQZEvent(0, c);
    CreateQZEvent(0, c);
    FlushQZEvents();
    EXPECT_EQ(Count(0, c), 1);
    EXPECT_EQ(BuzyPools[0]->count, 1);
}

TEST_F(Events, MakeBuzyOnABusyConstructLeavesItWhereItWas) {
    construct* c = Con();
    MakeBuzy(c, 1);
    MakeBuzy(c, 3);
    EXPECT_EQ(Count(1, c), 1);
    EXPECT_EQ(Count(3, c), 0);
    EXPECT_EQ(c->busyLevel, 1);
}

TEST_F(Events, EventsRunInQueueOrder) {
    construct* c = Con();
    // busy at 3, then out again, then busy at 1: only the last state remains.
    CreateQZEvent(3, c);
    CreateQZEvent(4, c);
    CreateQZEvent(1, c);
    ActivateConstruct(c);
    CreateQZEvent(QZEventKind::Deactivate, c);
    FlushQZEvents();
    EXPECT_EQ(Count(3, c), 0);
    EXPECT_EQ(Count(1, c), 1);
    EXPECT_FALSE(c->flags & kConEventPending);
    EXPECT_FALSE(c->flags & kConActive);
    EXPECT_EQ(IsInConstructPool(c, VisiblePool), 0);
    // Unknown kinds are ignored.
    CreateQZEvent(7, c);
    CreateQZEvent(-1, c);
    FlushQZEvents();
    EXPECT_EQ(Count(1, c), 1);
}

TEST_F(Events, FreeEventEndsTheMembershipsOfABusyConstruct) {
    kvtest::MemTrack track;
    construct* c = CreateConstruct(0, 0);
    CreateQZEvent(0, c);
    ActivateConstruct(c);
    CreateQZEvent(QZEventKind::Free, c);
    FlushQZEvents();
    EXPECT_EQ(BuzyPools[0]->count, 0);
    EXPECT_EQ(VisiblePool->count, 0);
    EXPECT_EQ(track.Live("construct"), 0);
}

TEST_F(Events, EventsOfAFreedConstructAreDropped) {
    kvtest::MemTrack track;
    construct* c = CreateConstruct(1, 0);
    construct* sub = CreateConstruct(0, 0);
    AppendSubConstruct(c, c, nullptr, sub, 0);
    CreateQZEvent(QZEventKind::Free, c);
    CreateQZEvent(QZEventKind::Buzy0, c);    // queued after the free: must not touch freed memory
    CreateQZEvent(QZEventKind::Buzy1, sub);  // the sub goes with its parent
    FlushQZEvents();
    EXPECT_EQ(BuzyPools[0]->count, 0);
    EXPECT_EQ(BuzyPools[1]->count, 0);
    EXPECT_EQ(track.Live("construct"), 0);

    construct* d = CreateConstruct(0, 0);
    CreateQZEvent(QZEventKind::Buzy2, d);
    FreeConstruct(d);  // freed directly while an event is queued
    FlushQZEvents();
    EXPECT_EQ(BuzyPools[2]->count, 0);
}

TEST_F(Events, QueueHolds512) {
    construct* c = Con();
    for (int i = 0; i < kMaxQZEvents; ++i) CreateQZEvent(5, c);
    try {
        CreateQZEvent(5, c);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CreateQZEvent): Too many qzevents");
    }
    ClearQZEvents();
    EXPECT_EQ(QZEventCount, 0);
}

TEST_F(Events, PendingConstructIsNotHandedOut) {
    ConstructPool* shots = CreateConstructPool(2, "shots");
    construct* a = Con();
    construct* b = Con();
    AppendToConstructPool(shots, a);
    AppendToConstructPool(shots, b);
    construct* first = NextFreeInConstructPool(shots);
    CreateQZEvent(0, first);
    construct* second = NextFreeInConstructPool(shots);
    EXPECT_NE(second, first);
    CreateQZEvent(0, second);
    EXPECT_EQ(NextFreeInConstructPool(shots), nullptr) << "both wait for their events";
    FlushQZEvents();
    EXPECT_EQ(NextFreeInConstructPool(shots), nullptr) << "both busy now";
}

TEST_F(Events, BusyPoolsDoNotChangeWhileTheyAreWalked) {
    // Every member of "buzy0", while the pools are walked, asks to move to "buzy1" and brings a
    // newcomer to "buzy0"; the pools keep their members until the walk has ended and the queue runs.
    std::vector<construct*> members, newcomers;
    for (int i = 0; i < 3; ++i) {
        members.push_back(Con());
        MakeBuzy(members.back(), 0);
        newcomers.push_back(Con());
    }
    BuzyGuard = 1;
    for (int i = 0; i < BuzyPools[0]->count; ++i) {
        construct* c = BuzyPools[0]->constructs[i];
        CreateQZEvent(QZEventKind::Buzy1, c);
        CreateQZEvent(QZEventKind::Buzy0, newcomers[static_cast<size_t>(i)]);
        EXPECT_EQ(BuzyPools[0]->count, 3);
        EXPECT_EQ(BuzyPools[1]->count, 0);
    }
    // Direct changes while walking are refused.
    for (auto [what, expected] :
         {std::pair{0, "Error: MakeBuzy called"}, std::pair{1, "Error: UnMakeBuzy called"},
          std::pair{2, "Error: UnMakeBuzy called"}}) {
        try {
            if (what == 0) MakeBuzy(newcomers[0], 2);
            if (what == 1) UnMakeBuzy(members[0]);
            if (what == 2) FreeConstruct(members[0]);
            ADD_FAILURE() << what;
        } catch (const kvtest::FatalExit& e) {
            EXPECT_STREQ(e.what(), expected);
        }
    }
    EXPECT_EQ(BuzyPools[0]->count, 3);
    BuzyGuard = 0;
    FlushQZEvents();
    EXPECT_EQ(BuzyPools[1]->count, 3);
    EXPECT_EQ(BuzyPools[0]->count, 3);
    for (construct* c : members) EXPECT_EQ(Count(1, c), 1);
    for (construct* c : newcomers) EXPECT_EQ(Count(0, c), 1);
}

TEST_F(Events, ActivationIsIdempotent) {
    construct* c = Con();
    ActivateConstruct(c);
    ActivateConstruct(c);
    EXPECT_EQ(VisiblePool->count, 1);
    DeactivateConstruct(c);
    DeactivateConstruct(c);
    EXPECT_EQ(VisiblePool->count, 0);
    EXPECT_FALSE(c->flags & kConActive);
}

}  // namespace
