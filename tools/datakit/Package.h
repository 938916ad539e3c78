// Writer of the package file: many files in one, read-only to the game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

struct PackEntry {
    std::string name;           // path in the tree; stored lower case with backslashes
    std::vector<uint8_t> data;  // the file's bytes
    uint64_t fileTime = 0;      // last-write time (100 ns units since 1601)
};

// The stored form of a path: lower case, '/' turned into '\\'.
std::string PackName(const std::string& path);

// The package bytes: header, the tags, then the data area. Entries are sorted by their stored names
// (which keeps every folder's files next to each other) unless keepOrder is set.
std::vector<uint8_t> BuildPackage(std::vector<PackEntry> entries, bool keepOrder = false);
bool WritePackage(const std::string& path, const std::vector<PackEntry>& entries, bool keepOrder = false);

// Packs the named files (paths relative to root). Every entry gets fileTime (deterministic output).
bool PackFiles(const std::string& root, const std::vector<std::string>& files, const std::string& out,
               uint64_t fileTime);
// Packs every file under root except those whose relative path is listed in skip.
bool PackFolder(const std::string& root, const std::string& out, uint64_t fileTime,
                const std::vector<std::string>& skip = {});

}  // namespace datakit
