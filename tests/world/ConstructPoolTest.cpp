#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WorldFixtures.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

namespace {

class Pools : public ::testing::Test {
protected:
    void TearDown() override {
        while (ConstructPoolCount > 0) DeleteConstructPool(ConstructPoolTable[0]);
        for (construct* c : cons_) FreeConstruct(c);
    }
    construct* Con(uint32_t flags = 0) {
        cons_.push_back(CreateConstruct(0, flags));
        return cons_.back();
    }
    kvtest::FatalCatcher fatal_;
    std::vector<construct*> cons_;
};

std::string FatalText(void (*f)()) {
    try {
        f();
    } catch (const kvtest::FatalExit& e) {
        return e.what();
    }
    return "(no fatal error)";
}

TEST_F(Pools, RegistryHolds128AndFillsGapsWithTheLast) {
    std::vector<ConstructPool*> pools;
    for (int i = 0; i < kMaxConstructPools; ++i)
        pools.push_back(CreateConstructPool(1, ("p" + std::to_string(i)).c_str()));
    EXPECT_EQ(FatalText([] { CreateConstructPool(1, "one too many"); }),
              "Error(CreateConstructPool): Too many construct pools (max is 128) for 'one too many'");
    DeleteConstructPool(pools[5]);
    EXPECT_EQ(ConstructPoolCount, 127);
    EXPECT_EQ(ConstructPoolTable[5], pools[127]) << "the last pool takes the deleted one's place";
    EXPECT_NE(CreateConstructPool(1, "room again"), nullptr);
}

TEST_F(Pools, NamesAreComparedExactly) {
    ConstructPool* lower = CreateConstructPool(4, "buzy0");
    ConstructPool* upper = CreateConstructPool(4, "BUZY0");
    EXPECT_NE(lower, upper);
    EXPECT_EQ(NamedConstructPool("buzy0"), lower);
    EXPECT_EQ(NamedConstructPool("BUZY0"), upper);
    EXPECT_EQ(FatalText([] { CreateConstructPool(2, "buzy0"); }),
              "Error(CreateConstructPool): ambiguous pool name 'buzy0'");
    EXPECT_EQ(FatalText([] { NamedConstructPool("Buzy0"); }),
              "Error(NamedConstructPool): no such construct pool 'Buzy0'");
    // A long name keeps its first 63 characters.
    const std::string longName(80, 'x');
    ConstructPool* p = CreateConstructPool(1, longName.c_str());
    EXPECT_EQ(std::string(p->name), std::string(63, 'x'));
}

TEST_F(Pools, DeletingAnUnregisteredPoolDoesNothing) {
    ConstructPool fake{};
    DeleteConstructPool(&fake);
    DeleteConstructPool(nullptr);
    EXPECT_EQ(ConstructPoolCount, 0);
}

TEST_F(Pools, DeleteFreesTheNameCopies) {
    kvtest::MemTrack track;
    ConstructPool* p = CreateConstructPool(8, "named");
    construct* a = CreateConstruct(0, 0);
    AppendNamedToConstructPool(p, a, "first");
    AppendNamedToConstructPool(p, a, "second");
    AppendToConstructPool(p, a);
    EXPECT_EQ(track.Live("pool con name"), 2);
    DeleteConstructPool(p);
    FreeConstruct(a);
    EXPECT_EQ(track.Live(), 0);
}

TEST_F(Pools, CapacityZeroAcceptsNothing) {
    static ConstructPool* p;
    p = CreateConstructPool(0, "empty");
    EXPECT_EQ(p->constructs, nullptr);
    static construct* c;
    c = Con();
    AppendToConstructPoolIfRoom(p, c);
    EXPECT_EQ(p->count, 0);
    EXPECT_EQ(FatalText([] { AppendToConstructPool(p, c); }),
              "Error(AppendToConstructPool 'empty'): Too many constructs");
    EXPECT_EQ(FatalText([] { AppendNamedToConstructPool(p, c, "n"); }),
              "Error(AppendToConstructPool 'empty'): Too many constructs");
    EXPECT_EQ(NextFreeInConstructPool(p), nullptr);
}

TEST_F(Pools, AppendRemoveAndMembership) {
    ConstructPool* p = CreateConstructPool(3, "pool");
    construct* a = Con();
    construct* b = Con();
    construct* c = Con();
    EXPECT_EQ(AppendToConstructPool(p, a), 1);
    EXPECT_EQ(AppendNamedToConstructPool(p, b, "bee"), 2);
    EXPECT_EQ(AppendNamedToConstructPool(p, c, "sea"), 3);
    AppendToConstructPoolIfRoom(p, a);  // full: silently ignored
    EXPECT_EQ(p->count, 3);
    EXPECT_EQ(IsInConstructPool(b, p), 1);
    RemoveFromConstructPool(p, a);
    EXPECT_EQ(IsInConstructPool(a, p), 0);
    EXPECT_EQ(p->constructs[0], c) << "the last entry fills the gap";
    EXPECT_STREQ(p->names[0], "sea") << "with its name";
    RemoveFromConstructPool(p, a);  // absent: nothing changes
    EXPECT_EQ(p->count, 2);
}

TEST_F(Pools, CursorAfterRemoval) {
    struct Case {
        int cursor, removed, after;
    } cases[] = {{4, 0, 3}, {4, 2, 3}, {4, 4, 3}, {2, 0, 2}, {2, 2, 2}, {2, 4, 2}, {3, 1, 3}, {0, 0, 0}};
    for (const auto& c : cases) {
        ConstructPool* p = CreateConstructPool(5, "cursor");
        std::vector<construct*> members;
        for (int i = 0; i < 5; ++i) {
            members.push_back(Con());
            AppendToConstructPool(p, members.back());
        }
        p->cursor = c.cursor;
        RemoveFromConstructPool(p, members[c.removed]);
        EXPECT_EQ(p->cursor, c.after) << "cursor " << c.cursor << " removing " << c.removed;
        DeleteConstructPool(p);
    }
    // A pool emptied from a cursor of 0 keeps the cursor at 0.
    ConstructPool* p = CreateConstructPool(1, "single");
    construct* only = Con();
    AppendToConstructPool(p, only);
    RemoveFromConstructPool(p, only);
    EXPECT_EQ(p->cursor, 0);
}

TEST_F(Pools, RoundRobinSkipsConstructsInUse) {
    ConstructPool* p = CreateConstructPool(5, "shots");
    construct* c[5];
    for (auto& x : c) {
        x = Con();
        AppendToConstructPool(p, x);
    }
    c[1]->flags = kConActive;
    c[2]->flags = kConBusy;
    c[4]->flags = kConEventPending;
    // Free ones are handed out in turn, starting at the cursor.
    EXPECT_EQ(NextFreeInConstructPool(p), c[0]);
    EXPECT_EQ(NextFreeInConstructPool(p), c[3]);
    EXPECT_EQ(p->cursor, 4);
    EXPECT_EQ(NextFreeInConstructPool(p), c[0]) << "wraps round";
    EXPECT_EQ(p->cursor, 1);
    c[0]->flags = c[3]->flags = kConBusy | kConActive;
    EXPECT_EQ(NextFreeInConstructPool(p), nullptr);
    EXPECT_EQ(p->cursor, 1) << "a full round ends where it began";
    c[3]->flags = 0x2 | 0x80000;  // other bits do not count as in use
    EXPECT_EQ(NextFreeInConstructPool(p), c[3]);
}

TEST_F(Pools, NamedConstructNeedsNameAndDispatcher) {
    ConstructPool* p = CreateConstructPool(4, "named");
    construct* a = Con();
    construct* b = Con();
    a->itfc = kvtest::NoCopy_itfc;
    b->itfc = kvtest::TestBox_itfc;
    AppendNamedToConstructPool(p, a, "gate");
    AppendNamedToConstructPool(p, b, "gate");
    AppendToConstructPool(p, Con());
    EXPECT_EQ(NamedConstructInPool(p, kvtest::TestBox_itfc, "gate"), b);
    EXPECT_EQ(NamedConstructInPool(p, kvtest::NoCopy_itfc, "gate"), a);
    EXPECT_EQ(NamedConstructInPool(p, kvtest::NoCopy_itfc, "Gate"), nullptr);
    EXPECT_EQ(NamedConstructInPool(p, nullptr, "gate"), nullptr);
}

TEST_F(Pools, SerialsCountUp) {
    const int32_t first = NewConstructSerial();
    EXPECT_EQ(NewConstructSerial(), first + 1);
}

}  // namespace
