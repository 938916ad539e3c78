// The fixed-point tables for tests: datakit writes them to a temporary data tree once per program, and
// LoadFPTables reads them from there as the game reads its own.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/FixMath.h"
#include "host/Fs.h"
#include "support/TempDir.h"
#include "tools/datakit/FPTables.h"

namespace kvtest {

// Runs in another working directory while alive.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// Loads the tables unless they are loaded already.
inline void EnsureFPTables() {
    if (FPTablesLoaded()) return;
    static TempDir tree;
    static bool written = datakit::WriteFPTables(tree.path());
    if (!written) throw std::runtime_error("cannot write the fixed-point tables");
    host::FlushDirectoryCache();
    WorkingDirectory cwd(tree.path());
    LoadFPTables();
}

}  // namespace kvtest
