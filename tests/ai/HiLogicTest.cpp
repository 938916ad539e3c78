// The high-level AI's frame: the paired list, the relation rows, the type names and the frame's answers
// for clans that do not exist or have nothing to do.
#include <gtest/gtest.h>

#include <vector>

#include "ai/AIRecords.h"
#include "ai/HiLogic.h"
#include "ai/HiLogic_local.h"

namespace {

std::vector<uintptr_t> Keys(const PairList& l) {
    return std::vector<uintptr_t>(l.keys, l.keys + l.count);
}
std::vector<uintptr_t> Values(const PairList& l) {
    return std::vector<uintptr_t>(l.values, l.values + l.count);
}

// One list through a sequence of operations; after each, its keys, values and capacity.
TEST(PairListTest, OperationsKeepTheirOrderGrowAndAnswerAbsentKeysQuietly) {
    PairList l;
    PairList_Init(&l);
    enum Op { kAppend, kRemove, kRemoveOrdered, kSetValue };
    const uintptr_t big = uintptr_t(0xFEDCBA9876543210ull & UINTPTR_MAX);  // pointer-wide keys and values
    const struct Step {
        const char* name;
        Op op;
        uintptr_t key, value;
        std::vector<uintptr_t> keys, values;
        int capacity;
    } steps[] = {
        {"first", kAppend, 1, 10, {1}, {10}, 4},
        {"second", kAppend, 2, 20, {1, 2}, {10, 20}, 4},
        {"a key twice", kAppend, 1, 30, {1, 2, 1}, {10, 20, 30}, 4},
        {"fourth fills", kAppend, big, big, {1, 2, 1, big}, {10, 20, 30, big}, 4},
        {"fifth doubles", kAppend, 5, 50, {1, 2, 1, big, 5}, {10, 20, 30, big, 50}, 8},
        {"set value sets every entry", kSetValue, 1, 7, {1, 2, 1, big, 5}, {7, 20, 7, big, 50}, 8},
        {"remove moves the last", kRemove, 1, 0, {5, 2, 1, big}, {50, 20, 7, big}, 8},
        {"ordered removal keeps the order", kRemoveOrdered, 5, 0, {2, 1, big}, {20, 7, big}, 8},
        {"removing an absent key", kRemove, 99, 0, {2, 1, big}, {20, 7, big}, 8},
        {"ordered removal of an absent key", kRemoveOrdered, 99, 0, {2, 1, big}, {20, 7, big}, 8},
        {"ordered removal of the last", kRemoveOrdered, big, 0, {2, 1}, {20, 7}, 8},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        switch (s.op) {
            case kAppend:
                EXPECT_EQ(PairList_Append(&l, s.key, s.value), int(s.keys.size()));
                break;
            case kRemove:
                PairList_Remove(&l, s.key);
                break;
            case kRemoveOrdered:
                PairList_RemoveOrdered(&l, s.key);
                break;
            case kSetValue:
                PairList_SetValue(&l, s.key, s.value);
                break;
        }
        EXPECT_EQ(Keys(l), s.keys);
        EXPECT_EQ(Values(l), s.values);
        EXPECT_EQ(l.capacity, s.capacity);
    }
    // Lookups: the first entry of a key, 0 or -1 when absent, (0, 0) outside the list.
    PairList_Append(&l, 2, 99);
    EXPECT_EQ(PairList_IndexOf(&l, 2), 0);
    EXPECT_EQ(PairList_Lookup(&l, 2), 20u);
    EXPECT_EQ(PairList_IndexOf(&l, 42), -1);
    EXPECT_EQ(PairList_Lookup(&l, 42), 0u);
    EXPECT_TRUE(PairList_Contains(&l, 1));
    EXPECT_FALSE(PairList_Contains(&l, 42));
    for (int index : {-1, PairList_Count(&l), 1000}) {
        uintptr_t k = 1, v = 1;
        PairList_GetAt(&l, index, &k, &v);
        EXPECT_EQ(k, 0u) << index;
        EXPECT_EQ(v, 0u) << index;
    }
    uintptr_t k = 0, v = 0;
    PairList_GetAt(&l, 1, &k, &v);
    EXPECT_EQ(k, 1u);
    EXPECT_EQ(v, 7u);
    PairList_Free(&l);
}

TEST(PairListTest, ContainsUnitComparesTheConstructWhateverTheView) {
    construct* a = reinterpret_cast<construct*>(uintptr_t(0x1000));
    construct* b = reinterpret_cast<construct*>(uintptr_t(0x2000));
    AIUnitRecord views[3] = {}, other{};
    for (AIUnitRecord& r : views) r.con = a;
    other.con = b;
    PairList l;
    PairList_Init(&l);
    PairList_Append(&l, reinterpret_cast<uintptr_t>(&views[0]), 1);
    EXPECT_TRUE(PairList_ContainsUnit(&l, &views[2]));
    EXPECT_FALSE(PairList_ContainsUnit(&l, &other));
    EXPECT_FALSE(PairList_ContainsUnit(&l, nullptr));
    PairList_Free(&l);
}

TEST(RelationRows, StandingBehavioursReplaceAllButCampAndPassingOnesOnlyPassingOnes) {
    HL_hilogic frame(3);  // fills the rows
    const std::vector<int> standing = {kHLHold,   kHLGoto, kHLSneakTo, kHLPatrol,
                                       kHLFollow, kHLHide, kHLManual};
    const std::vector<int> passing = {kHLAttack, kHLChase, kHLGotoReturn, kHLSneakToReturn,
                                      kHLHoldWhileHearing};
    for (int old = 0; old < kHLThreadTypes; ++old) {
        EXPECT_TRUE(AIRelationAllowsTypes(kHLCamp, old)) << old;
        for (int s : standing)
            EXPECT_EQ(AIRelationAllowsTypes(s, old), old != kHLCamp) << s << " over " << old;
    }
    const struct {
        int newType, oldType;
        bool allows;
    } cases[] = {
        {kHLAttack, kHLPatrol, false},
        {kHLAttack, kHLChase, true},
        {kHLAttack, kHLAttack, true},
        {kHLAttack, kHLHoldWhileHearing, true},
        {kHLChase, kHLAttack, false},
        {kHLChase, kHLSneakToReturn, true},
        {kHLGotoReturn, kHLSneakToReturn, true},
        {kHLSneakToReturn, kHLHold, false},
        {kHLHoldWhileHearing, kHLHoldWhileHearing, true},
        {kHLHoldWhileHearing, kHLChase, false},
        {13, kHLCamp, false},
        {kHLHold, 13, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AIRelationAllowsTypes(c.newType, c.oldType), c.allows)
            << c.newType << " over " << c.oldType;
    for (int p : passing)
        for (int s : standing) EXPECT_FALSE(AIRelationAllowsTypes(p, s)) << p << " over " << s;
}

TEST(RelationRows, TypeNamesAndAnUnknownNumber) {
    EXPECT_STREQ(HL_TypeName(kHLCamp), "CAMP");
    EXPECT_STREQ(HL_TypeName(kHLSneakToReturn), "SNEAKTO_RETURN");
    EXPECT_STREQ(HL_TypeName(kHLHoldWhileHearing), "HOLDWHILEHEARING");
    EXPECT_STREQ(HL_TypeName(13), "<uk>");
    EXPECT_STREQ(HL_TypeName(-1), "<uk>");
}

TEST(HiLogicFrame, AQuietClanGivesNoOrdersAndClansThatDoNotExistAnswerNothing) {
    HL_hilogic frame(3);
    EXPECT_EQ(frame.ClanCount(), 3);
    EXPECT_EQ(frame.Think(0, 1, nullptr), nullptr);
    EXPECT_EQ(frame.Think(3, 1, nullptr), nullptr);
    AIUnitRecord rec{};
    EXPECT_EQ(frame.TargetsUnit(3, &rec), 0);
    EXPECT_EQ(frame.TargetsUnit(-1, &rec), 0);
    EXPECT_EQ(frame.TargetsUnit(1, &rec), 0);
    EXPECT_EQ(frame.GetClan(3), nullptr);
    EXPECT_NE(frame.GetClan(2), nullptr);
    frame.DumpClan(3);  // nothing to print
    // Each level's AI numbers its threads anew.
    NextHLThreadSerial();
    HL_hilogic next(3);
    EXPECT_EQ(NextHLThreadSerial(), 0);
    EXPECT_EQ(NextHLThreadSerial(), 1);
}

}  // namespace
