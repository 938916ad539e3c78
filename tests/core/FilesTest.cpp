#include "core/Files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/Config.h"
#include "host/Fs.h"
#include "support/TempDir.h"

namespace {

using kvtest::TempDir;

TEST(Files, SplitPathAtLastBackslash) {
    struct Case {
        const char* in;
        const char* path;
        const char* name;
    } cases[] = {
        {"maps\\island\\world.qzw", "maps\\island", "world.qzw"},
        {"world.qzw", "", "world.qzw"},
        {"\\root", "", "root"},
        {"folder\\", "folder", ""},
    };
    for (const auto& c : cases) {
        char path[64], name[64];
        strcpy(path, c.in);
        SplitPath(path, name);
        EXPECT_STREQ(path, c.path) << c.in;
        EXPECT_STREQ(name, c.name) << c.in;
    }
}

TEST(Files, TextCleanUp) {
    char two[] = "first\nsecond\n";
    StripNewlines(two);
    EXPECT_STREQ(two, "first");
    char p[] = "a/b/c";
    ReplaceChars(p, '/', '\\');
    EXPECT_STREQ(p, "a\\b\\c");
}

TEST(Files, CompareFileTimesHighWordFirst) {
    struct Case {
        FileTime a, b;
        int expected;
    } cases[] = {
        {{0, 2}, {0, 1}, 1},
        {{0xFFFFFFFF, 1}, {0, 2}, 0},  // smaller high word, larger low word
        {{5, 1}, {4, 1}, 1},
        {{4, 1}, {4, 1}, 0},
        {{0x80000000u, 0}, {1, 0}, 1},  // words compare unsigned
    };
    for (const auto& c : cases) EXPECT_EQ(CompareFileTimes(&c.a, &c.b), c.expected);
}

TEST(Files, FindFilesListsNamesSkipsDotsAndKeepsWorkingDirectory) {
    TempDir dir;
    dir.Write("Sub/b.txt", "");
    dir.Write("Sub/a.txt", "");
    dir.Write("Sub/.hidden", "");
    char before[512];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    std::vector<std::string> got;
    int cursor = 0;
    char name[256];
    while (true) {
        int len = FindFiles((dir.path() + "\\sub").c_str(), &cursor, name);
        if (cursor == -1) break;
        EXPECT_EQ(len, static_cast<int>(strlen(name)) + 1);
        got.push_back(name);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"a.txt", "b.txt"}));
    char after[512];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);

    cursor = 0;
    EXPECT_EQ(FindFiles((dir / "missing").c_str(), &cursor, name), 0);
    EXPECT_EQ(cursor, -1);
}

TEST(Files, U32RoundTripIsLittleEndian) {
    TempDir dir;
    FILE* f = host::OpenFile((dir / "w.bin").c_str(), "wb");
    WriteU32(f, 0x11223344u);
    WriteU32(f, 0xFFFFFFFEu);
    ASSERT_EQ(host::CloseFile(f), 0);
    EXPECT_EQ(dir.Read("w.bin"), std::string("\x44\x33\x22\x11\xFE\xFF\xFF\xFF", 8));
    f = host::OpenFile((dir / "w.bin").c_str(), "rb");
    EXPECT_EQ(ReadU32(f), 0x11223344u);
    EXPECT_EQ(ReadU32(f), 0xFFFFFFFEu);
    EXPECT_EQ(ReadU32(f), 0u);  // past the end
    host::CloseFile(f);
}

TEST(Files, DatesAndLengths) {
    TempDir dir;
    dir.Write("x.dat", "12345");
    EXPECT_EQ(FileExists((dir / "X.DAT").c_str()), 1);
    EXPECT_EQ(FileExists((dir / "y.dat").c_str()), 0);
    EXPECT_EQ(IsDirectory(dir.path().c_str()), 1);
    EXPECT_EQ(IsDirectory((dir / "x.dat").c_str()), 0);
    EXPECT_EQ(GetFileLength((dir / "x.dat").c_str()), 5);
    FileTime t;
    EXPECT_EQ(GetFileWriteTime((dir / "x.dat").c_str(), &t), 0);
    EXPECT_EQ(GetFileWriteTime((dir / "nope").c_str(), &t), -2);
    int year = 0, month = 0, day = 0;
    EXPECT_EQ(GetFileDate((dir / "x.dat").c_str(), &year, &month, nullptr, &day, nullptr, nullptr, nullptr,
                          nullptr),
              0);
    EXPECT_GE(year, 2024);
    EXPECT_GE(month, 1);
    EXPECT_LE(month, 12);
    EXPECT_GE(day, 1);
}

TEST(Files, JoystickAccumulatorsScaleAndInvertY) {
    for (auto& a : JoystickAccumulators) a = 0;
    JoystickAxesSample = {1000, 1000, -500, 300, 9000};
    // The initial configuration has every step at 0: nothing moves.
    int32_t x, y, t, r, hat;
    GetJoystickAxes(&x, &y, &t, &r, &hat);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(hat, 9000);
    float saved[4];
    memcpy(saved, joystick_step, sizeof saved);
    joystick_step[0] = 0.5f;
    joystick_step[1] = 0.25f;
    joystick_step[2] = 0.1f;
    joystick_step[3] = -1.0f;
    GetJoystickAxes(&x, &y, &t, &r, &hat);
    GetJoystickAxes(&x, &y, &t, &r, &hat);
    EXPECT_EQ(x, 1000);
    EXPECT_EQ(y, -500);  // y is inverted
    EXPECT_EQ(t, -100);  // -50.000000745 truncates toward zero each step
    EXPECT_EQ(r, -600);

    // A stick held over for long with a large step (from the configuration) stops at the 32-bit limits,
    // and a step that is not a number leaves its accumulator as it is.
    JoystickAxesSample = {10000, 10000, 10000, 10000, -1};
    joystick_step[0] = 3.0e38f;
    joystick_step[1] = 1.0e6f;
    joystick_step[2] = std::nanf("");
    joystick_step[3] = 1.0e6f;
    for (int i = 0; i < 300; ++i) GetJoystickAxes(&x, &y, &t, &r, &hat);
    EXPECT_EQ(x, INT32_MAX);
    EXPECT_EQ(y, INT32_MIN);
    EXPECT_EQ(t, -100);
    EXPECT_EQ(r, INT32_MAX);
    JoystickAxesSample = {-10000, 0, 0, -10, -1};
    GetJoystickAxes(&x, &y, &t, &r, &hat);
    EXPECT_EQ(r, INT32_MAX - 10000000);  // it comes back at once
    memcpy(joystick_step, saved, sizeof saved);
    for (auto& a : JoystickAccumulators) a = 0;
}

}  // namespace
