#include "core/Memory.h"

#include <gtest/gtest.h>

#include <string>

#include "support/DebugCapture.h"
#include "support/Fatal.h"

namespace {

using kvtest::DebugCapture;
using kvtest::FatalCatcher;
using kvtest::FatalExit;

struct TrackerGuard {
    TrackerGuard(int capacity, int enabled) { MemCheck_init(capacity, enabled); }
    ~TrackerGuard() { MemCheck_exit(); }
};

TEST(MemCheck, StartUpConfigurationRecordsNothing) {
    DebugCapture log;
    TrackerGuard t(0, 0);
    void* a = qzAlloc(16, "rule");
    MemCheck_realloc(a, a, 32, "rule");
    qzFree(a);
    EXPECT_EQ(MemCheck->count, 0);
    EXPECT_EQ(MemCheck->totalSize, 0);
    EXPECT_EQ(MemCheck->warnings, 0);
    MemCheck_PurposeDump();
    EXPECT_EQ(log.text(), "MemCheck: (skipping purpose dump as disabled)\n");
}

TEST(MemCheck, OverflowAndUnknownFreesAreWarnings) {
    DebugCapture log;
    TrackerGuard t(2, 1);
    void* a = qzAlloc(10, "a");
    void* b = qzAlloc(20, "b");
    void* c = qzAlloc(30, "c");  // table full: not stored
    EXPECT_EQ(MemCheck->count, 2);
    EXPECT_EQ(MemCheck->warnings, 1);
    EXPECT_NE(log.text().find("MemCheck: WARNING - entry table overflow\n"), std::string::npos);
    qzFree(c);  // unknown to the tracker
    EXPECT_EQ(MemCheck->warnings, 2);
    EXPECT_NE(log.text().find("MemCheck: WARNING - free called on a nonexisting entry\n"), std::string::npos);
    qzFree(a);
    qzFree(b);
    EXPECT_EQ(MemCheck->count, 0);
    EXPECT_EQ(MemCheck->totalSize, 0);
}

TEST(MemCheck, FreeMovesLastEntryAndDumpGroupsByPurpose) {
    DebugCapture log;
    TrackerGuard t(8, 1);
    void* x1 = qzAlloc(100, "rule");
    void* y = qzAlloc(7, "clan cell");
    void* x2 = qzAlloc(50, "rule");
    void* z = qzAlloc(3, "\xe9t\xe9");  // high bytes sort before plain ASCII
    qzFree(x1);
    EXPECT_EQ(MemCheck->entries[0].block, z);  // the last entry fills the gap
    EXPECT_EQ(MemCheck->totalSize, 60);
    void* grown = malloc(80);  // as a realloc that moved the block
    MemCheck_realloc(grown, x2, 80, "rule");
    free(x2);
    EXPECT_EQ(MemCheck->totalSize, 90);
    log.text().clear();
    MemCheck_PurposeDump();
    const std::string expected =
        "\nMemCheck: PURPOSE DUMP\n"
        "MemCheck:     total entries: 3\n"
        "MemCheck:     total size:    90 bytes (0 K)\n"
        "MemCheck:     private space: 136 bytes (0 K)\n"
        "MemCheck:            1 blocks, total        3 bytes for '\xe9t\xe9'\n"
        "MemCheck:            1 blocks, total        7 bytes for 'clan cell'\n"
        "MemCheck:            1 blocks, total       80 bytes for 'rule'\n"
        "MemCheck: purpose dump complete; total size verified\n";
    EXPECT_EQ(log.text(), expected);
    qzFree(grown);
    qzFree(y);
    qzFree(z);
}

TEST(MemCheck, ReallocOfUnknownBlockWarnsAndExitReportsWarnings) {
    DebugCapture log;
    MemCheck_init(4, 1);
    int dummy1, dummy2;
    MemCheck_realloc(&dummy1, &dummy2, 4, "thing");
    EXPECT_EQ(MemCheck->warnings, 1);
    EXPECT_NE(log.text().find("MemCheck: WARNING - realloc (thing) called on a nonexisting entry"),
              std::string::npos);
    MemCheck_exit();
    EXPECT_EQ(MemCheck, nullptr);
    EXPECT_NE(log.text().find("MemCheck: exiting; 1 warnings\n"), std::string::npos);
    MemCheck_exit();  // no state: nothing happens
}

TEST(MemCheck, ComparePurposeIsSignedBytewise) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"rule", "rule", 0}, {"rule", "rules", -1}, {"b", "a", 1}, {"\x80", "a", -1}, {"", "a", -1},
    };
    for (const auto& c : cases) {
        MemCheckEntry x{nullptr, 0, const_cast<char*>(c.a)}, y{nullptr, 0, const_cast<char*>(c.b)};
        EXPECT_EQ(MemCheck_ComparePurpose(&x, &y), c.expected) << c.a << " vs " << c.b;
    }
}

TEST(FatalExit, ShowsTheBoxTextAndStops) {
    FatalCatcher catcher;
    try {
        FatalError("Error(CreateClan): Too many Clans");
        FAIL() << "FatalError returned";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CreateClan): Too many Clans");
    }
    EXPECT_STREQ(host::LastDialogCaption(), "Karvonel");
    EXPECT_STREQ(host::LastDialogText(),
                 "Karvonel has been terminated prematurely. Please consult the game manual. The engine "
                 "reported:\n\"Error(CreateClan): Too many Clans\"");
}

TEST(FatalExit, FormattedMessageIsCutAt255AndNullFormatReturns) {
    FatalCatcher catcher;
    FatalErrorF(nullptr);  // returns without doing anything
    std::string longText(300, 'x');
    try {
        FatalErrorF("%s", longText.c_str());
        FAIL();
    } catch (const FatalExit& e) {
        EXPECT_EQ(std::string(e.what()), std::string(255, 'x'));
    }
}

TEST(FatalExit, ProcessExitsWithCodeOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    host::SetDialogsHeadless(true, true);
    EXPECT_EXIT(FatalError("Error(WinMain): failed to create window"), testing::ExitedWithCode(1),
                "Error\\(WinMain\\): failed to create window");
}

TEST(QzAlloc, ZeroSizeWarnsAndStillAllocates) {
    DebugCapture log;
    void* p = qzAlloc(0, "empty");
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(log.text(), "WARNING: qzAlloc 0 bytes for 'empty'\n");
    qzFree(p);
}

}  // namespace
