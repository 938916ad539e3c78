// A temporary folder for one test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kvtest {

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("KV_TEST_TMP");
        std::filesystem::path root = base && *base ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string templ = (root / "kvtest-XXXXXX").string();
        char* made = mkdtemp(templ.data());
        path_ = made ? made : templ;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // Writes a file (creating its folders) with the given bytes.
    void Write(const std::string& rel, const std::string& bytes) const {
        std::filesystem::path p = std::filesystem::path(path_) / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out << bytes;
    }
    std::string Read(const std::string& rel) const {
        std::ifstream in(std::filesystem::path(path_) / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};

}  // namespace kvtest
