// Shared set-up of the texture, palette and bitmap tests: a temporary data folder, fatal errors as
// exceptions, the display figures the format choice reads, and every palette made by a test deleted
// afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Package.h"
#include "host/Fs.h"
#include "host/Gfx.h"
#include "platform/Dxgl.h"
#include "platform/Palette.h"
#include "support/Fatal.h"
#include "support/TempDir.h"

namespace textest {

inline std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

class TexTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = {DisplayBits, AlphaBits, texturebpp, BackBuffer};
        DisplayBits = 32;
        AlphaBits = 8;
        texturebpp = 32;
        BackBuffer = nullptr;
    }
    void TearDown() override {
        while (PltCount) DeletePlt(PltTable[PltCount - 1]);
        qzpk_close();
        DisplayBits = saved_.display;
        AlphaBits = saved_.alpha;
        texturebpp = saved_.tbpp;
        BackBuffer = saved_.back;
        host::FlushDirectoryCache();
    }
    // Writes a file under the temporary folder.
    std::string Put(const std::string& rel, const std::vector<uint8_t>& bytes) {
        tmp.Write(rel, Str(bytes));
        host::FlushDirectoryCache();
        return tmp / rel;
    }

    kvtest::TempDir tmp;
    kvtest::FatalCatcher fatal;

private:
    struct {
        int32_t display, alpha;
        int tbpp;
        host::GfxSurface* back;
    } saved_{};
};

// The message of the fatal exit a statement ends in, or "" when it returns.
#define KV_FATAL_TEXT(stmt)                                     \
    [&]() -> std::string {                                      \
        try {                                                   \
            stmt;                                               \
        } catch (const kvtest::FatalExit& e) {                  \
            return e.what();                                    \
        }                                                       \
        return "";                                              \
    }()

}  // namespace textest
