// Shared set-up of the engine-core tests: a temporary folder, fatal errors turned into exceptions, and
// the package, rules and key names emptied after each test.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "core/Keys.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "support/Fatal.h"
#include "support/TempDir.h"

namespace coretest {

// A temporary folder whose writes are seen at once by the game's case-insensitive lookups.
class TempFolder : public kvtest::TempDir {
public:
    ~TempFolder() { host::FlushDirectoryCache(); }
    // Writes a file and returns its path.
    std::string Write(const std::string& rel, const std::string& bytes) const {
        kvtest::TempDir::Write(rel, bytes);
        host::FlushDirectoryCache();
        return *this / rel;
    }
};

// Fatal errors throw; the package, rules and key names are freed afterwards.
class CoreTest : public ::testing::Test {
protected:
    void TearDown() override {
        qzpk_close();
        FreeRules();
        FreeKeyNames();
    }
    // The message of the fatal error fn raises, or "" when it returns.
    template <typename Fn>
    static std::string FatalText(Fn fn) {
        try {
            fn();
        } catch (const kvtest::FatalExit& e) {
            return e.what();
        }
        return "";
    }
    kvtest::FatalCatcher fatal;
    TempFolder tmp;
};

}  // namespace coretest
