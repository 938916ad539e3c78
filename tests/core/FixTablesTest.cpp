// The fixed-point table files: datakit's encoding against the game's reading, and bad files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/FixMath.h"
#include "core/FixMath_local.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/FPTables.h"
#include "tools/datakit/Package.h"

namespace {

TEST(FixTables, EverySineValueSurvivesTheWordEncoding) {
    for (int32_t v = -65536; v <= 65536; ++v) {
        uint32_t word = datakit::EncodeSinWord(v);
        ASSERT_EQ(DecodeSinWord(word, false), v) << v;
        ASSERT_EQ(DecodeSinWord(word, true), -v) << v;
    }
}

TEST(FixTables, WordsWithOtherExponentsDecodeAsTheirFormatSays) {
    struct Case {
        uint32_t word;
        int32_t value, negated;
    };
    const Case cases[] = {
        {(17u << 24) | 5, 2, -3},              // shifted right by 1: the negated mantissa floors
        {(20u << 24) | 0x10000, -4096, 4096},  // bit 16 is the mantissa's sign
        {(3u << 24) | 100, 200, -200},         // exponent below 16: doubled
        {(255u << 24) | 0xffff, 0, -1},        // a huge exponent shifts everything out
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeSinWord(c.word, false), c.value) << std::hex << c.word;
        EXPECT_EQ(DecodeSinWord(c.word, true), c.negated) << std::hex << c.word;
    }
}

TEST(FixTables, EntriesFollowTheirDefinitions) {
    struct Case {
        int k;
        int32_t sine, asine, atan;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {2048, 46341, 1365, 98853},   // sin(pi/4); asin(0.5) = a third of a quarter turn; atan(16)
        {4096, 65536, 4096, 100896},  // 1.0; a quarter turn; atan(32)
        {128, 3216, 82, 51472},       // atan(1) = pi/4
    };
    for (const Case& c : cases) {
        EXPECT_EQ(datakit::SinTableValue(c.k), c.sine) << c.k;
        EXPECT_EQ(datakit::AsinTableValue(c.k), c.asine) << c.k;
        EXPECT_EQ(datakit::AtanTableValue(c.k), c.atan) << c.k;
    }
    EXPECT_EQ(datakit::SinTableFile().size(), 4u * kSinTableEntries);
    EXPECT_EQ(datakit::AsinTableFile().size(), 4u * kAsinTableEntries);
    EXPECT_EQ(datakit::AtanTableFile().size(), 4u * kAtanTableEntries);
    // The sine table is monotonic over the quarter wave (a swapped or shifted entry would break it).
    for (int k = 1; k <= 4096; ++k) ASSERT_GE(datakit::SinTableValue(k), datakit::SinTableValue(k - 1));
}

class FixTablesLoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(datakit::WriteFPTables(dir.path())); }
    void TearDown() override {
        FreeFPTables();
        kvtest::EnsureFPTables();  // leave the program's other tests their tables
    }

    // Loads in the temporary tree and returns the fatal message, or "" when loading succeeded.
    std::string Load() {
        host::FlushDirectoryCache();
        kvtest::FatalCatcher catcher;
        kvtest::WorkingDirectory cwd(dir.path());
        try {
            LoadFPTables();
        } catch (const kvtest::FatalExit& e) {
            return e.what();
        }
        return "";
    }
    void Replace(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(datakit::WriteFile(dir / ("app/fptables/" + name), bytes));
    }

    kvtest::TempDir dir;
};

TEST_F(FixTablesLoad, LoadsTheWrittenTablesAndFreesThem) {
    EXPECT_EQ(Load(), "");
    EXPECT_TRUE(FPTablesLoaded());
    EXPECT_EQ(FixSin(kFixQuarterTurn), 65536);
    EXPECT_EQ(FixAtan(65536), 51472);
    EXPECT_EQ(FixAsin(32768), 34306);  // asin(0.5) = pi/6: 1365 table units * 6434 / 256
    FreeFPTables();
    EXPECT_FALSE(FPTablesLoaded());
    EXPECT_EQ(FixSin(kFixQuarterTurn), 0);  // nothing left to read
    FreeFPTables();                         // a second free is harmless
}

TEST_F(FixTablesLoad, AMissingTableIsFatal) {
    std::filesystem::remove(dir / "app/fptables/atntab");
    EXPECT_EQ(Load(), "Error(LoadBlock): File app\\fptables\\atntab not found.");
}

TEST_F(FixTablesLoad, ATableOfTheWrongSizeIsFatalAndNamesTheFile) {
    struct Case {
        const char* name;
        size_t bytes;
        const char* message;
    };
    const Case cases[] = {
        {"sintab", 4 * 4096, "Error(LoadFPTables): app\\fptables\\sintab has 16384 bytes instead of 16388"},
        {"asntab", 4 * 4098, "Error(LoadFPTables): app\\fptables\\asntab has 16392 bytes instead of 16388"},
        {"atntab", 0, "Error(LoadFPTables): app\\fptables\\atntab has 0 bytes instead of 16388"},
        {"divtab", 6, "Error(LoadFPTables): app\\fptables\\divtab has 6 bytes, not a whole number of words"},
        {"divtab", 0, "Error(LoadFPTables): app\\fptables\\divtab has 0 bytes, not a whole number of words"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(datakit::WriteFPTables(dir.path()));
        Replace(c.name, std::vector<uint8_t>(c.bytes, 0x11));
        EXPECT_EQ(Load(), c.message) << c.name;
    }
}

TEST_F(FixTablesLoad, TheDivTableMayHoldAnyNumberOfWords) {
    Replace("divtab", std::vector<uint8_t>(4 * 10, 0));
    EXPECT_EQ(Load(), "");
    EXPECT_TRUE(FPTablesLoaded());
}

TEST_F(FixTablesLoad, TablesAreReadLittleEndian) {
    // An arc tangent table whose entry k is k + 0x01020300: a reader of the wrong byte order or a shifted
    // entry would show at once.
    datakit::Bytes b;
    for (int k = 0; k < kAtanTableEntries; ++k) b.i32(k + 0x01020300);
    Replace("atntab", b.data());
    ASSERT_EQ(Load(), "");
    EXPECT_EQ(FixAtan(0), 0x01020300);
    EXPECT_EQ(FixAtan(5 << 9), 0x01020305);
    EXPECT_EQ(FixAtan(-(5 << 9)), -0x01020306);
}

// The package is opened for the test and closed after it.
class OpenPackage {
public:
    explicit OpenPackage(const std::string& path) { qzpk_init(path.c_str()); }
    ~OpenPackage() { qzpk_close(); }
    OpenPackage(const OpenPackage&) = delete;
    OpenPackage& operator=(const OpenPackage&) = delete;
};

std::vector<datakit::PackEntry> PackedTables() {
    return {{"app/fptables/sintab", datakit::SinTableFile()},
            {"app/fptables/asntab", datakit::AsinTableFile()},
            {"app/fptables/atntab", datakit::AtanTableFile()},
            {"app/fptables/divtab", datakit::DivTableFile()}};
}

TEST_F(FixTablesLoad, TablesComeFromThePackageBeforeTheDisk) {
    // On disk an arc tangent table that reads 7 everywhere; the package holds the true one.
    datakit::Bytes sevens;
    for (int k = 0; k < kAtanTableEntries; ++k) sevens.i32(7);
    Replace("atntab", sevens.data());
    kvtest::TempDir packDir;
    ASSERT_TRUE(datakit::WritePackage(packDir / "Vexa.qzp", PackedTables()));
    OpenPackage package(packDir / "Vexa.qzp");
    ASSERT_EQ(Load(), "");
    EXPECT_EQ(FixAtan(65536), 51472);
    EXPECT_EQ(FixSin(kFixQuarterTurn), 65536);
}

TEST_F(FixTablesLoad, APackedTableOfTheWrongSizeIsFatal) {
    std::vector<datakit::PackEntry> entries = PackedTables();
    entries[1].data.resize(100);
    kvtest::TempDir packDir;
    ASSERT_TRUE(datakit::WritePackage(packDir / "Vexa.qzp", entries));
    OpenPackage package(packDir / "Vexa.qzp");
    EXPECT_EQ(Load(), "Error(LoadFPTables): app\\fptables\\asntab has 100 bytes instead of 16388");
}

}  // namespace
