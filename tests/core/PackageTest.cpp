// The package: lookups, streams, listings and damaged files.
#include <string>
#include <vector>

#include "CoreTestEnv.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Package.h"

namespace {

using coretest::CoreTest;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class PackageTest : public CoreTest {
protected:
    // Packs the entries in the given order and opens the package.
    void Open(const std::vector<datakit::PackEntry>& entries, bool keepOrder = false) {
        ASSERT_TRUE(datakit::WritePackage(tmp / "test.qzp", entries, keepOrder));
        host::FlushDirectoryCache();
        ASSERT_GT(qzpk_init((tmp / "test.qzp").c_str()), 12);
    }
    std::vector<std::string> List(const char* folder) {
        std::vector<std::string> names;
        int cursor = 0;
        char name[256];
        for (int guard = 0; guard < 100; ++guard) {
            if (!qzpk_findfiles(folder, &cursor, name)) break;
            names.push_back(name);
        }
        EXPECT_EQ(cursor, -1);
        return names;
    }
};

TEST_F(PackageTest, NoPackageFileMeansEverythingFromDisk) {
    EXPECT_EQ(qzpk_init((tmp / "absent.qzp").c_str()), 0);
    tmp.Write("disk.bin", "abc");
    FILE* f = qzpk_fopen((tmp / "disk.bin").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(qzpk_ispackstream(f));
    char buf[8] = {};
    EXPECT_EQ(qzpk_fread(buf, 1, 8, f), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(qzpk_fclose(f), 0);
    EXPECT_EQ(qzpk_filesize((tmp / "disk.bin").c_str()), 3);
}

TEST_F(PackageTest, LookupsNormaliseTheAskedPath) {
    Open({{"app/Rules", Bytes("r"), 0}, {"App/Maps/Isle.wld", Bytes("w"), 0x0000000500000007ULL}});
    struct Case {
        const char* path;
        bool found;
    } cases[] = {
        {"app\\rules", true},       {"APP/RULES", true},       {"App/Maps/ISLE.WLD", true},
        {"app\\maps\\isle.wld", true}, {"app/maps", false},     {"app/rules/", false},
        {"pp/rules", false},        {"app/rules.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(qzpk_find(c.path) != nullptr, c.found);
        EXPECT_EQ(qzpk_exists(c.path), c.found ? 1 : 0);
    }
    FileTime date;
    EXPECT_EQ(qzpk_filedate("APP/MAPS/isle.wld", &date), 0);
    EXPECT_EQ(date.low, 7u);
    EXPECT_EQ(date.high, 5u);
    EXPECT_EQ(qzpk_isdir("app/maps"), 1);
    EXPECT_EQ(qzpk_isdir("app/maps/isle.wld"), 0);
    EXPECT_EQ(qzpk_isdir((tmp / "neither").c_str()), 0);
    EXPECT_NE(qzpk_isdir(tmp.path().c_str()), 0);
}

TEST_F(PackageTest, StreamsReadTheirOwnBytesAlternately) {
    Open({{"a.bin", Bytes("0123456789"), 0}, {"b.bin", Bytes("abcdefghij"), 0}});
    FILE* a = qzpk_fopen("a.bin", "rb");
    FILE* b = qzpk_fopen("B.BIN", "r");
    ASSERT_TRUE(qzpk_ispackstream(a));
    ASSERT_TRUE(qzpk_ispackstream(b));
    std::string got;
    char two[2];
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(qzpk_fread(two, 1, 2, a), 2u);
        got.append(two, 2);
        got += static_cast<char>(qzpk_fgetc(b));
        got += static_cast<char>(qzpk_fgetc(b));
    }
    EXPECT_EQ(got, "01ab23cd45ef67gh89ij");
    EXPECT_TRUE(qzpk_feof(a));
    EXPECT_EQ(qzpk_fgetc(b), 0);  // at the end: 0, no advance
    EXPECT_EQ(qzpk_ftell(b), 10);
    EXPECT_EQ(qzpk_fclose(a), 1);
    EXPECT_EQ(qzpk_fclose(b), 1);
    EXPECT_EQ(QZPK->streamCount, 0);
}

// A stream left open when its package closes reads nothing and is freed by its own close, also after
// another package has opened (before, the close passed freed memory to the file layer).
TEST_F(PackageTest, ClosingThePackageLeavesNoStreamDangling) {
    Open({{"a.bin", Bytes("0123"), 0}});
    FILE* f = qzpk_fopen("a.bin", "rb");
    ASSERT_TRUE(qzpk_ispackstream(f));
    qzpk_close();
    char buf[4];
    EXPECT_TRUE(qzpk_ispackstream(f));
    EXPECT_EQ(qzpk_fread(buf, 1, 4, f), 0u);
    EXPECT_EQ(qzpk_fgetc(f), 0);
    EXPECT_EQ(qzpk_fseek(f, 1, SEEK_SET), 0);
    EXPECT_TRUE(qzpk_feof(f));

    Open({{"b.bin", Bytes("wxyz"), 0}});
    FILE* g = qzpk_fopen("b.bin", "rb");
    EXPECT_EQ(qzpk_fclose(f), 1);
    EXPECT_FALSE(qzpk_ispackstream(f));
    EXPECT_EQ(QZPK->streamCount, 1);
    EXPECT_EQ(qzpk_fread(buf, 1, 4, g), 4u);
    EXPECT_EQ(std::string(buf, 4), "wxyz");
    EXPECT_EQ(qzpk_fclose(g), 1);
}

TEST_F(PackageTest, ReadCountsBytesAndSeekKeepsInsideTheFile) {
    Open({{"pad.bin", Bytes("xxxx"), 0}, {"data.bin", Bytes("0123456789ABCDEFGHIJ"), 0}});
    FILE* f = qzpk_fopen("data.bin", "rb");
    char buf[32];
    EXPECT_EQ(qzpk_fseek(f, 10, SEEK_SET), 1);
    EXPECT_EQ(qzpk_fread(buf, 4, 3, f), 10u);  // bytes, not items
    EXPECT_EQ(std::string(buf, 10), "ABCDEFGHIJ");
    EXPECT_EQ(qzpk_fread(buf, 1, 1, f), 0u);
    EXPECT_EQ(qzpk_fseek(f, -3, SEEK_END), 1);
    EXPECT_EQ(qzpk_fgetc(f), 'H');
    EXPECT_EQ(qzpk_fseek(f, -2, SEEK_CUR), 1);
    EXPECT_EQ(qzpk_fgetc(f), 'G');
    // Before the first byte: refused, the position stays (no read of the neighbouring file).
    EXPECT_EQ(qzpk_fseek(f, -100, SEEK_CUR), 0);
    EXPECT_EQ(qzpk_ftell(f), 17);
    EXPECT_EQ(qzpk_fseek(f, 0, 7), 1);  // unknown origin leaves the position
    EXPECT_EQ(qzpk_ftell(f), 17);
    qzpk_fclose(f);
}

TEST_F(PackageTest, WriteModesNeverGiveAPackageStream) {
    Open({{"vexa.cfg", Bytes("packed"), 0}});
    std::string disk = tmp / "vexa.cfg";
    // The packed name is relative; a write to it goes to the disk through a replacing write.
    FILE* f = qzpk_fopen("vexa.cfg", "w");
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(qzpk_ispackstream(f));
    qzpk_fclose(f);
    std::remove("vexa.cfg");
    f = qzpk_fopen(disk.c_str(), "w");
    fputs("disk", f);
    EXPECT_EQ(qzpk_fclose(f), 0);
    EXPECT_EQ(tmp.Read("vexa.cfg"), "disk");
}

TEST_F(PackageTest, TooManyStreamsIsFatal) {
    Open({{"one", Bytes("1"), 0}});
    std::vector<FILE*> open;
    for (int i = 0; i < kQZPKMaxStreams; ++i) open.push_back(qzpk_fopen("one", "rb"));
    EXPECT_EQ(FatalText([] { qzpk_fopen("one", "rb"); }), "Error(CreateQZPKStream): too many streams");
    for (FILE* f : open) qzpk_fclose(f);
}

TEST_F(PackageTest, ListingsOfNestedFolders) {
    Open({{"f/x", Bytes("1"), 0},
          {"f/y/1", Bytes("2"), 0},
          {"f/y/2", Bytes("3"), 0},
          {"f/z", Bytes("4"), 0},
          {"g/w", Bytes("5"), 0}},
         true);
    EXPECT_EQ(List("F"), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(List("f\\y\\"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(List("f/y"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(List("g"), (std::vector<std::string>{"w"}));
    // Nothing packed under the folder: the disk is listed.
    tmp.Write("disk/b", "");
    tmp.Write("disk/a", "");
    EXPECT_EQ(List((tmp / "disk").c_str()), (std::vector<std::string>{"a", "b"}));
}

TEST_F(PackageTest, PackedFolderWritesSortedGroupedEntries) {
    tmp.Write("tree/app/rules", "end\n");
    tmp.Write("tree/app/text/Menu.txt", "m");
    tmp.Write("tree/app.txt", "t");
    tmp.Write("tree/Vexa.cfg", "c");
    ASSERT_TRUE(datakit::PackFolder(tmp / "tree", tmp / "out.qzp", 42, {"Vexa.cfg"}));
    ASSERT_GT(qzpk_init((tmp / "out.qzp").c_str()), 0);
    std::vector<std::string> names;
    for (int i = 0; i < QZPK->tagCount; ++i) names.push_back(QZPK->tags[i]->name);
    EXPECT_EQ(names, (std::vector<std::string>{"app.txt", "app\\rules", "app\\text\\menu.txt"}));
    EXPECT_EQ(List("app"), (std::vector<std::string>{"rules", "text"}));
}

// A package index whose words are given one by one.
std::vector<uint8_t> RawPackage(std::initializer_list<int64_t> words, const std::string& tail = "") {
    datakit::Bytes b;
    b.text("QZPK");
    b.u32(100);
    for (int64_t w : words) b.u32(static_cast<uint32_t>(w));
    b.text(tail);
    return b.data();
}

TEST_F(PackageTest, DamagedPackagesAreFatal) {
    const std::string bad = "Error(qzpk_init): This is not an QZPK file.";
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string message;
    } cases[] = {
        {"wrong magic", Bytes("QZPX\x64\0\0\0\0\0\0\0"), bad},
        {"wrong version", Bytes(std::string("QZPK\x65\0\0\0\0\0\0\0", 12)),
         "Error(qzpk_init): QZPK version not supported"},
        {"cut in the header", Bytes("QZPK"), "Error(qzpk_init): QZPK version not supported"},
        {"more tags than the file can hold", RawPackage({1000000}),
         "Error(qzpk_init): This is not an QZPK file (entry -1 is damaged)."},
        {"negative tag count", RawPackage({-1}), "Error(qzpk_init): This is not an QZPK file (entry -1 is damaged)."},
        {"name past the end of the index", RawPackage({1, 200}, std::string(20, 'n')),
         "Error(qzpk_init): This is not an QZPK file (entry 0 is damaged)."},
        {"zero name length", RawPackage({1, 0, 0, 0, 0, 0}, "pad"),
         "Error(qzpk_init): This is not an QZPK file (entry 0 is damaged)."},
        {"size past the end of the file",
         RawPackage({1, 2}, std::string("a\0", 2) + std::string("\0\0\0\0\x03\0\0\0", 8) + std::string(8, '\0') + "xy"),
         "Error(qzpk_init): This is not an QZPK file (entry 0 is damaged)."},
        {"offset past the end of the file",
         RawPackage({1, 2}, std::string("a\0", 2) + std::string("\x05\0\0\0\x01\0\0\0", 8) + std::string(8, '\0') + "z"),
         "Error(qzpk_init): This is not an QZPK file (entry 0 is damaged)."},
        {"negative size",
         RawPackage({1, 2}, std::string("a\0", 2) + std::string("\0\0\0\0\xff\xff\xff\xff", 8) + std::string(8, '\0')),
         "Error(qzpk_init): This is not an QZPK file (entry 0 is damaged)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = tmp / "bad.qzp";
        ASSERT_TRUE(datakit::WriteFile(path, c.bytes));
        host::FlushDirectoryCache();
        EXPECT_EQ(FatalText([&] { qzpk_init(path.c_str()); }), c.message);
        EXPECT_EQ(QZPK, nullptr) << "a damaged package leaves no state";
        qzpk_close();
    }
}

}  // namespace
