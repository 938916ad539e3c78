// Shared pieces of the libFuzzer harnesses: a data folder of the process's own, the input bytes mounted
// as one file of the package "Vexa.qzp" in it (so the reader under test opens it by name through the
// package layer, as the game does), and the fatal exit turned into a return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/Memory.h"
#include "core/Package.h"
#include "host/Dialog.h"
#include "host/Fs.h"
#include "tools/datakit/Package.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace kvfuzz {

// Thrown by the fatal hook; a harness catches it and returns: a clean fatal error is an accepted answer
// to bad input.
struct Fatal {};

inline void ThrowFatal(const char*) { throw Fatal{}; }

// Once per process: a fresh working folder (the game's data folder), quiet headless dialogs, and fatal
// errors that throw.
inline const std::string& Setup() {
    static const std::string dir = [] {
        // Every input is written to a file: in memory (/dev/shm) unless TMPDIR says otherwise, as a disk
        // write per input would slow the runs tenfold.
        const char* tmpdir = std::getenv("TMPDIR");
        std::error_code ec;
        std::filesystem::path base = tmpdir && *tmpdir ? std::filesystem::path(tmpdir)
                                     : std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string templ = (base / "kvfuzz-XXXXXX").string();
        char* made = mkdtemp(templ.data());
        if (!made) std::abort();
        std::filesystem::path root = made;
        host::SetDialogsHeadless(true, true);
        host::SetDialogsQuiet(true);
        SetFatalHook(ThrowFatal);
        if (!host::SetWorkingDirectory(root.c_str())) std::abort();
        // Removed when the process ends normally (a crash keeps it for a look).
        static std::string keep = root.string();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(keep, ec);
        });
        return root.string();
    }();
    return dir;
}

// Writes bytes as a plain file of the working folder (for readers the game points at the disk).
inline void WriteDiskFile(const std::string& name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    host::FlushDirectoryCache();
}

// Closes any package, then packs the given files into "Vexa.qzp" of the working folder and opens it the
// way start-up does.
inline void MountFiles(const std::vector<datakit::PackEntry>& files) {
    qzpk_close();
    std::vector<uint8_t> pack = datakit::BuildPackage(files);
    WriteDiskFile("Vexa.qzp", pack.data(), pack.size());
    if (qzpk_init("Vexa.qzp") <= 0) std::abort();  // datakit's packages always open
}

// One file of the package: name is the game's path of it (any case, either separator).
inline void Mount(const std::string& name, const uint8_t* data, size_t size) {
    MountFiles({{name, std::vector<uint8_t>(data, data + size), 0}});
}

// Runs fn; a fatal error ends it early. Returns false when it ended by a fatal error.
template <typename Fn>
bool Run(Fn&& fn) {
    try {
        fn();
        return true;
    } catch (const Fatal&) {
        return false;
    }
}

// The "visible" pool and the four busy pools a harness's constructs are made busy and visible in, as a
// level has them (64 each).
inline void CreateVisibleAndBusyPools() {
    VisiblePool = CreateConstructPool(64, "visible");
    const char* names[4] = {"buzy0", "buzy1", "buzy2", "buzy3"};
    for (int i = 0; i < 4; ++i) BuzyPools[i] = CreateConstructPool(64, names[i]);
}

}  // namespace kvfuzz
