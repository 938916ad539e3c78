// Way point lists: capacities, the append rule, the length, and the saved form with its bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ai/WayPointList.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/WayPoints.h"

namespace {

wpl* ListOf(int capacity, int count) {
    wpl* list = CreateWayPointList(capacity, "test wpl");
    for (int i = 0; i < count; ++i) {
        const int32_t p[3] = {i * 65536, 7, -i * 65536};
        AddWayPoint(list, p);
    }
    return list;
}

TEST(WayPointList, AddWayPointFillsTheCapacityExactly) {
    kvtest::MemTrack mem;
    const int capacities[] = {0, 1, 2, 100};
    for (int capacity : capacities) {
        wpl* list = CreateWayPointList(capacity, "test wpl");
        const int32_t p[3] = {1, 2, 3};
        for (int i = 0; i < capacity; ++i) EXPECT_EQ(AddWayPoint(list, p), 1) << capacity;
        EXPECT_EQ(AddWayPoint(list, p), 0) << "one past capacity " << capacity;
        EXPECT_EQ(list->count, capacity);
        FreeWayPointList(list);
    }
    FreeWayPointList(nullptr);
    EXPECT_EQ(mem.Live(), 0);
}

TEST(WayPointList, AppendAcceptsAnExactFillAndRefusesMore) {
    kvtest::MemTrack mem;
    struct Case {
        int capacity, held, appended, result;
    } cases[] = {
        {10, 6, 3, 1}, {10, 7, 3, 1}, {10, 8, 3, 0}, {10, 0, 10, 1}, {10, 0, 11, 0}, {0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        wpl* dst = ListOf(c.capacity, c.held);
        wpl* src = ListOf(c.appended, c.appended);
        EXPECT_EQ(AppendWayPointList(dst, src), c.result) << c.capacity << " " << c.held << " " << c.appended;
        EXPECT_EQ(dst->count, c.result ? c.held + c.appended : c.held);
        if (c.result && c.appended > 0) {
            EXPECT_EQ(dst->points[c.held][0], 0);
        }
        FreeWayPointList(dst);
        FreeWayPointList(src);
    }
    EXPECT_EQ(mem.Live(), 0);
}

TEST(WayPointList, LengthIsMeasuredInTheGroundPlane) {
    wpl* list = CreateWayPointList(4, "test wpl");
    EXPECT_EQ(WayPointListLength(list), 0);
    const int32_t a[3] = {0, 0, 0}, b[3] = {3 * 65536, 99 * 65536, 4 * 65536}, c[3] = {3 * 65536, 0, 0};
    AddWayPoint(list, a);
    EXPECT_EQ(WayPointListLength(list), 0);
    AddWayPoint(list, b);
    AddWayPoint(list, c);
    EXPECT_EQ(WayPointListLength(list), 5 * 65536 + 4 * 65536);
    wpl* copy = CreateWayPointList(3, "test wpl");
    CopyWayPointList(copy, list);
    EXPECT_EQ(copy->count, 3);
    EXPECT_EQ(copy->points[1][1], 99 * 65536);
    FreeWayPointList(copy);
    FreeWayPointList(list);
}

class WayPointStream : public ::testing::Test {
protected:
    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;
    std::string path_ = dir_ / "wpl.bin";

    void WriteWords(const std::vector<uint32_t>& words) {
        FILE* f = std::fopen(path_.c_str(), "wb");
        for (uint32_t w : words) std::fwrite(&w, 4, 1, f);
        std::fclose(f);
    }
    wpl* ReadBack() {
        FILE* f = std::fopen(path_.c_str(), "rb");
        wpl* list = nullptr;
        try {
            list = ReadWayPointList(f);
        } catch (...) {
            std::fclose(f);
            throw;
        }
        std::fclose(f);
        return list;
    }
};

TEST_F(WayPointStream, RoundTripKeepsCountCapacityAndPoints) {
    kvtest::MemTrack mem;
    wpl* list = ListOf(100, 5);
    FILE* f = std::fopen(path_.c_str(), "wb");
    uint32_t size = 0;
    WriteWayPointList(f, nullptr, &size);
    EXPECT_EQ(size, 4u);
    WriteWayPointList(f, list, &size);
    EXPECT_EQ(size, 4u + 12 + 60);
    std::fclose(f);
    f = std::fopen(path_.c_str(), "rb");
    EXPECT_EQ(ReadWayPointList(f), nullptr);
    wpl* back = ReadWayPointList(f);
    std::fclose(f);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->count, 5);
    EXPECT_EQ(back->capacity, 100);
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(back->points[i][k], list->points[i][k]);
    EXPECT_EQ(mem.Live("read wpl"), 1);
    FreeWayPointList(back);
    FreeWayPointList(list);
    EXPECT_EQ(mem.Live(), 0);
}

// The test data writer and the game write the same bytes, so files made by either read back alike.
TEST_F(WayPointStream, DatakitWritesTheGamesForm) {
    wpl* list = ListOf(7, 3);
    FILE* f = std::fopen(path_.c_str(), "wb");
    uint32_t size = 0;
    WriteWayPointList(f, nullptr, &size);
    WriteWayPointList(f, list, &size);
    std::fclose(f);
    datakit::WayPointListRecord r;
    r.capacity = 7;
    for (int i = 0; i < 3; ++i) r.points.push_back({list->points[i][0], list->points[i][1], list->points[i][2]});
    std::vector<uint8_t> expected = datakit::WayPointListBytes(std::nullopt);
    std::vector<uint8_t> second = datakit::WayPointListBytes(r);
    expected.insert(expected.end(), second.begin(), second.end());
    std::vector<uint8_t> written(expected.size() + 1);
    f = std::fopen(path_.c_str(), "rb");
    written.resize(std::fread(written.data(), 1, written.size(), f));
    std::fclose(f);
    EXPECT_EQ(written, expected);
    FreeWayPointList(list);
}

TEST_F(WayPointStream, PointsBeyondTheCapacityAreDropped) {
    WriteWords({1, 3, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    wpl* back = ReadBack();
    EXPECT_EQ(back->count, 2);
    EXPECT_EQ(back->capacity, 2);
    EXPECT_EQ(back->points[1][2], 6);
    FreeWayPointList(back);
}

TEST_F(WayPointStream, ForgedCountsAndCapacitiesAreRefused) {
    struct Case {
        const char* name;
        std::vector<uint32_t> words;
        const char* message;
    } cases[] = {
        {"count beyond the bytes left", {1, 1000000, 1000000, 1, 2, 3}, "Error(ReadWayPointList): 1000000 points but only 12 bytes left"},
        {"huge capacity", {1, 0, 0xFFFFFFFFu}, "Error(ReadWayPointList): capacity 4294967295 too large"},
        {"header cut short", {1, 2}, "Error(ReadWayPointList): unexpected end of stream"},
    };
    for (const Case& c : cases) {
        WriteWords(c.words);
        try {
            ReadBack();
            ADD_FAILURE() << c.name;
        } catch (const kvtest::FatalExit& e) {
            EXPECT_STREQ(e.what(), c.message) << c.name;
        }
    }
}

}  // namespace
