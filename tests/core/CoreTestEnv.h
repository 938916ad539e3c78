// Shared set-up of the engine-core tests: a temporary folder, fatal errors turned into exceptions, and
// the package, rules and key names emptied after each test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "host/Dialog.h"
#include "host/Fs.h"

namespace coretest {

struct Fatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void ThrowFatal(const char* message) { throw Fatal(message); }

// A fresh folder under KV_TEST_TMP (or the system's temporary folder), removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("KV_TEST_TMP");
        std::filesystem::path root = base && *base ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string templ = (root / "core-XXXXXX").string();
        path_ = mkdtemp(templ.data()) ? templ : (root / "core-fallback").string();
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        host::FlushDirectoryCache();
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }
    std::string Write(const std::string& rel, const std::string& bytes) const {
        std::filesystem::path p = std::filesystem::path(path_) / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        host::FlushDirectoryCache();
        return p.string();
    }
    std::string Read(const std::string& rel) const {
        std::ifstream in(std::filesystem::path(path_) / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};

// Fatal errors throw coretest::Fatal; the package, rules and key names are freed afterwards.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetFatalHook(ThrowFatal);
        host::SetDialogsHeadless(true, true);
        host::SetDialogsQuiet(true);
    }
    void TearDown() override {
        qzpk_close();
        FreeRules();
        FreeKeyNames();
        SetFatalHook(nullptr);
        host::SetDialogsQuiet(false);
    }
    // The message of the fatal error fn raises, or "" when it returns.
    template <typename Fn>
    static std::string FatalText(Fn fn) {
        try {
            fn();
        } catch (const Fatal& e) {
            return e.what();
        }
        return "";
    }
    TempFolder tmp;
};

}  // namespace coretest
