#include "tools/datakit/Package.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tools/datakit/Bytes.h"

namespace datakit {

std::string PackName(const std::string& path) {
    std::string s = path;
    for (char& c : s) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return s;
}

std::vector<uint8_t> BuildPackage(std::vector<PackEntry> entries, bool keepOrder) {
    for (auto& e : entries) e.name = PackName(e.name);
    if (!keepOrder)
        std::stable_sort(entries.begin(), entries.end(),
                         [](const PackEntry& a, const PackEntry& b) { return a.name < b.name; });
    Bytes b;
    b.text("QZPK");
    b.u32(100);
    b.u32(static_cast<uint32_t>(entries.size()));
    uint32_t offset = 0;
    for (const auto& e : entries) {
        b.u32(static_cast<uint32_t>(e.name.size() + 1));
        b.text(e.name);
        b.u8(0);
        b.u32(offset);
        b.u32(static_cast<uint32_t>(e.data.size()));
        b.u32(static_cast<uint32_t>(e.fileTime));
        b.u32(static_cast<uint32_t>(e.fileTime >> 32));
        offset += static_cast<uint32_t>(e.data.size());
    }
    for (const auto& e : entries) b.raw(e.data.data(), e.data.size());
    return b.data();
}

bool WritePackage(const std::string& path, const std::vector<PackEntry>& entries, bool keepOrder) {
    return WriteFile(path, BuildPackage(entries, keepOrder));
}

namespace {

bool ReadBytes(const std::filesystem::path& p, std::vector<uint8_t>& out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

}  // namespace

bool PackFiles(const std::string& root, const std::vector<std::string>& files, const std::string& out,
               uint64_t fileTime) {
    std::vector<PackEntry> entries;
    for (const auto& rel : files) {
        PackEntry e;
        e.name = rel;
        e.fileTime = fileTime;
        if (!ReadBytes(std::filesystem::path(root) / rel, e.data)) return false;
        entries.push_back(std::move(e));
    }
    return WritePackage(out, entries);
}

bool PackFolder(const std::string& root, const std::string& out, uint64_t fileTime,
                const std::vector<std::string>& skip) {
    std::error_code ec;
    std::vector<std::string> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        std::string rel = std::filesystem::relative(it->path(), root).generic_string();
        if (std::find(skip.begin(), skip.end(), rel) != skip.end()) continue;
        files.push_back(rel);
    }
    if (ec) return false;
    std::sort(files.begin(), files.end());
    return PackFiles(root, files, out, fileTime);
}

}  // namespace datakit
