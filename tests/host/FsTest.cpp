#include "host/Fs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/TempDir.h"

namespace {

using kvtest::TempDir;

TEST(HostFs, ResolvesMixedCaseAndBackslashPaths) {
    TempDir dir;
    dir.Write("App/Text/Menu.txt", "menu");
    dir.Write("app2/data.BIN", "x");
    struct Case {
        std::string asked;
        std::string expected;  // relative to the folder; "" when the path must stay as given
    } cases[] = {
        {"App/Text/Menu.txt", "App/Text/Menu.txt"},
        {"app\\text\\menu.TXT", "App/Text/Menu.txt"},
        {"APP\\TEXT/MENU.txt", "App/Text/Menu.txt"},
        {"APP2\\data.bin", "app2/data.BIN"},
        {"app\\missing\\new.txt", "App/missing/new.txt"},  // the existing part keeps its real spelling
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host::ResolvePath(dir.path() + "\\" + c.asked), dir / c.expected) << c.asked;
    }
}

TEST(HostFs, ExactSpellingWinsOverOtherCase) {
    TempDir dir;
    dir.Write("a/File", "upper");
    dir.Write("a/file", "lower");
    EXPECT_EQ(host::ResolvePath(dir / "a/file"), dir / "a/file");
    EXPECT_EQ(host::ResolvePath(dir / "a/File"), dir / "a/File");
    // Neither spelling: the first of the sorted listing.
    EXPECT_EQ(host::ResolvePath(dir / "a/FILE"), dir / "a/File");
}

TEST(HostFs, ListingIsSortedAndSkipsDotEntries) {
    TempDir dir;
    for (const char* n : {"b.txt", "A.txt", "c", ".hidden"}) dir.Write(std::string("d/") + n, "");
    std::vector<std::string> names;
    ASSERT_TRUE(host::ListDir((dir / "D").c_str(), names));
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "A.txt", "b.txt", "c"}));
    EXPECT_FALSE(host::ListDir((dir / "nothere").c_str(), names));
}

TEST(HostFs, ListingCacheSeesNewFiles) {
    TempDir dir;
    dir.Write("d/one", "");
    EXPECT_EQ(host::ResolvePath(dir / "D/ONE"), dir / "d/one");
    dir.Write("d/Two", "");
    EXPECT_EQ(host::ResolvePath(dir / "d/two"), dir / "d/Two");
}

TEST(HostFs, TextModeDropsCarriageReturns) {
    TempDir dir;
    dir.Write("t.txt", "a\r\nb\r\n\rc");
    FILE* f = host::OpenFile((dir / "T.TXT").c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[32] = {};
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    host::CloseFile(f);
    EXPECT_EQ(std::string(buf, n), "a\nb\nc");

    f = host::OpenFile((dir / "t.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    n = fread(buf, 1, sizeof buf - 1, f);
    host::CloseFile(f);
    EXPECT_EQ(std::string(buf, n), "a\r\nb\r\n\rc");
}

TEST(HostFs, ReplacingWriteRenamesOnlyWhenClosed) {
    TempDir dir;
    dir.Write("cfg.txt", "old");
    FILE* f = host::OpenFile((dir / "CFG.TXT").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("new contents", f);
    fflush(f);
    EXPECT_EQ(dir.Read("cfg.txt"), "old");  // the old file stays until the write is complete
    ASSERT_EQ(host::CloseFile(f), 0);
    EXPECT_EQ(dir.Read("cfg.txt"), "new contents");
    // No temporary file is left behind.
    std::vector<std::string> names;
    host::ListDir(dir.path().c_str(), names);
    EXPECT_EQ(names, std::vector<std::string>{"cfg.txt"});
}

TEST(HostFs, DiscardedOrFailedWriteKeepsTheOldFile) {
    TempDir dir;
    dir.Write("save.bin", "precious");
    FILE* f = host::OpenFile((dir / "save.bin").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("half", f);
    host::DiscardFile(f);
    EXPECT_EQ(dir.Read("save.bin"), "precious");
    std::vector<std::string> names;
    host::ListDir(dir.path().c_str(), names);
    EXPECT_EQ(names.size(), 1u);
    // A folder that does not exist cannot take the temporary file: the write fails up front.
    EXPECT_EQ(host::OpenFile((dir / "nofolder/x.bin").c_str(), "wb"), nullptr);
    EXPECT_FALSE(host::WriteFileAtomic((dir / "nofolder/x.bin").c_str(), "a", 1));
}

TEST(HostFs, FileTimesConvertBothWays) {
    struct Case {
        int64_t unixSeconds;
        uint32_t nanos;
        uint64_t fileTime;
    } cases[] = {
        {0, 0, 116444736000000000ULL},             // 1970-01-01
        {-11644473600LL, 0, 0ULL},                 // 1601-01-01, the file time's origin
        {1700000000, 123456700, 133444736001234567ULL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host::FileTimeFromUnix(c.unixSeconds, c.nanos), c.fileTime);
        uint32_t ns = 0;
        EXPECT_EQ(host::UnixSecondsFromFileTime(c.fileTime, &ns), c.unixSeconds);
        EXPECT_EQ(ns, c.nanos);
    }
    TempDir dir;
    dir.Write("f", "1234");
    uint64_t ft = 0;
    ASSERT_TRUE(host::GetWriteTime((dir / "F").c_str(), &ft));
    auto mtime = std::filesystem::last_write_time(dir / "f");
    auto secs = std::chrono::duration_cast<std::chrono::seconds>(
                    std::chrono::file_clock::to_sys(mtime).time_since_epoch())
                    .count();
    EXPECT_EQ(host::UnixSecondsFromFileTime(ft), secs);
    EXPECT_EQ(host::GetFileSize((dir / "F").c_str()), 4);
    EXPECT_EQ(host::GetAttributes((dir / "F").c_str()), host::Attr::File);
    EXPECT_EQ(host::GetAttributes(dir.path().c_str()), host::Attr::Directory);
    EXPECT_EQ(host::GetAttributes((dir / "G").c_str()), host::Attr::Missing);
}

}  // namespace
