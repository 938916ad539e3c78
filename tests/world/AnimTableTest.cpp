// The vehicle types' 256-byte animation tables (recoil, cushion and walking-path tables): read whole from
// their folder under the animation-tables root; a missing, a longer and a shorter file are refused, each
// naming the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Config.h"
#include "host/Fs.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "world/WorldFile.h"

namespace {

std::string FatalText(const std::function<void()>& f) {
    try {
        f();
    } catch (const kvtest::FatalExit& e) {
        return e.what();
    }
    return "";
}

TEST(AnimTable, TablesAreReadWholeAndOtherLengthsRefused) {
    kvtest::FatalCatcher fatal;
    kvtest::TempDir dir;
    const std::string old = std::filesystem::current_path().string();
    host::SetWorkingDirectory(dir.path().c_str());
    char savedRoot[sizeof ANIMTABLESROOT];
    std::snprintf(savedRoot, sizeof savedRoot, "%s", ANIMTABLESROOT);
    std::snprintf(ANIMTABLESROOT, sizeof ANIMTABLESROOT, "AnimTables");

    std::vector<uint8_t> whole(kAnimTableSize);
    for (size_t i = 0; i < whole.size(); ++i) whole[i] = uint8_t(255 - i);
    std::vector<uint8_t> longer = whole;
    longer.push_back(1);
    ASSERT_TRUE(datakit::WriteFile("AnimTables/Grand/recoil", whole));
    ASSERT_TRUE(datakit::WriteFile("AnimTables/Grand/long", longer));
    ASSERT_TRUE(datakit::WriteFile("AnimTables/Grand/short", std::vector<uint8_t>(whole.begin() + 1, whole.end())));
    ASSERT_TRUE(datakit::WriteFile("AnimTables/Grand/empty", std::vector<uint8_t>()));
    host::FlushDirectoryCache();

    uint8_t table[kAnimTableSize] = {};
    LoadAnimTable(table, "Grand", "recoil");
    EXPECT_EQ(std::vector<uint8_t>(table, table + kAnimTableSize), whole);
    const struct {
        const char* name;
        const char* message;
    } refused[] = {
        {"missing", "Error(LoadBlock): File AnimTables\\Grand\\missing not found."},
        {"long", "Error(LoadBlock): File AnimTables\\Grand\\long of 257 bytes does not fit its buffer of 256"},
        {"short", "Error(LoadAnimTable): File AnimTables\\Grand\\short holds 255 bytes, not 256"},
        {"empty", "Error(LoadAnimTable): File AnimTables\\Grand\\empty holds 0 bytes, not 256"},
    };
    for (const auto& r : refused) EXPECT_EQ(FatalText([&] { LoadAnimTable(table, "Grand", r.name); }), r.message) << r.name;
    // The reader that leaves the fatal end to its caller gives the same text.
    char error[600] = "";
    EXPECT_FALSE(ReadAnimTable(table, "Grand", "short", error, sizeof error));
    EXPECT_STREQ(error, "Error(LoadAnimTable): File AnimTables\\Grand\\short holds 255 bytes, not 256");

    std::snprintf(ANIMTABLESROOT, sizeof ANIMTABLESROOT, "%s", savedRoot);
    host::SetWorkingDirectory(old.c_str());
    host::FlushDirectoryCache();
}

}  // namespace
