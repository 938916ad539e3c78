#include <gtest/gtest.h>

#include "game/Startup.h"

namespace {

TEST(OuterLoop, NextScreenFromEndCode) {
    struct Case {
        int endCode;
        const char* mission;
        int screen;
        int movie;
    } cases[] = {
        {4, "Ema12", 100, 0},
        {3, "Tut01", 6, 0},
        {1, "Ema12", 42, 1},  // the first campaign's closing movie; the screen is set after it
        {1, "Ga11", 42, 2},
        {1, "Ema12b", 8, 0},  // the comparison is exact
        {1, "ema12", 8, 0},
        {0, "Ema12", 8, 0},
        {-1, "", 8, 0},
    };
    for (const auto& c : cases) {
        int movie = -1;
        EXPECT_EQ(NextScreenForEndCode(c.endCode, c.mission, 42, &movie), c.screen) << c.endCode << c.mission;
        EXPECT_EQ(movie, c.movie) << c.endCode << c.mission;
    }
}

}  // namespace
