#include "host/Fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_map>

namespace host {
namespace {

// Cached listings, keyed by the real folder path, checked against the folder's change time.
struct CachedListing {
    timespec mtime{};
    std::vector<std::string> names;
};
std::mutex g_cacheLock;
std::unordered_map<std::string, CachedListing> g_listings;

bool ReadListing(const std::string& dir, std::vector<std::string>& names) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    names.clear();
    while (dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

// The listing of a real folder, from the cache while the folder has not changed.
bool CachedNames(const std::string& dir, std::vector<std::string>& out) {
    struct stat st;
    if (stat(dir.empty() ? "." : dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = g_listings.find(dir);
    if (it != g_listings.end() && it->second.mtime.tv_sec == st.st_mtim.tv_sec &&
        it->second.mtime.tv_nsec == st.st_mtim.tv_nsec) {
        out = it->second.names;
        return true;
    }
    CachedListing entry;
    entry.mtime = st.st_mtim;
    if (!ReadListing(dir, entry.names)) return false;
    out = entry.names;
    g_listings[dir] = std::move(entry);
    return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

std::string Join(const std::string& dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    if (dir.back() == '/') return dir + std::string(name);
    return dir + "/" + std::string(name);
}

// Replacing writes in progress: the open stream, its temporary file and its target.
struct PendingWrite {
    std::string temp, target;
};
std::mutex g_writeLock;
std::unordered_map<FILE*, PendingWrite> g_writes;

// Text-mode reading: a cookie stream over the real file that drops carriage returns.
ssize_t TextRead(void* cookie, char* buf, size_t size) {
    FILE* f = static_cast<FILE*>(cookie);
    size_t n = 0;
    while (n < size) {
        int c = fgetc(f);
        if (c == EOF) break;
        if (c == '\r') continue;
        buf[n++] = static_cast<char>(c);
    }
    if (n == 0 && ferror(f)) return -1;
    return static_cast<ssize_t>(n);
}
int TextClose(void* cookie) { return fclose(static_cast<FILE*>(cookie)); }

}  // namespace

std::string ResolvePath(std::string_view path) {
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.empty()) return p;
    std::string result;
    size_t pos = 0;
    if (p[0] == '/') {
        result = "/";
        pos = 1;
    }
    bool exists = true;  // false once a component is missing: the rest is taken as given
    while (pos <= p.size()) {
        size_t next = p.find('/', pos);
        if (next == std::string::npos) next = p.size();
        std::string_view comp(p.data() + pos, next - pos);
        pos = next + 1;
        if (comp.empty()) continue;
        if (comp == "." || comp == "..") {
            result = Join(result, comp);
            continue;
        }
        std::string exact = Join(result, comp);
        if (!exists) {
            result = exact;
            continue;
        }
        struct stat st;
        if (lstat(exact.c_str(), &st) == 0) {
            result = exact;
            continue;
        }
        std::vector<std::string> names;
        std::string found;
        if (CachedNames(result, names)) {
            for (const auto& n : names)
                if (EqualNoCase(n, comp)) {
                    found = n;
                    break;
                }
        }
        if (found.empty()) {
            exists = false;
            result = exact;
        } else {
            result = Join(result, found);
        }
    }
    if (result.empty()) result = ".";
    return result;
}

FILE* OpenFile(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    std::string real = ResolvePath(path);
    std::string m(mode);
    bool replacing = (m == "w" || m == "wb" || m == "wt");
    if (replacing) {
        std::string temp = real + ".tmpXXXXXX";
        int fd = mkstemp(temp.data());
        if (fd < 0) return nullptr;
        fchmod(fd, 0644);
        FILE* f = fdopen(fd, m == "wb" ? "wb" : "w");
        if (!f) {
            close(fd);
            unlink(temp.c_str());
            return nullptr;
        }
        std::lock_guard<std::mutex> lock(g_writeLock);
        g_writes[f] = PendingWrite{temp, real};
        return f;
    }
    if (m == "r" || m == "rt") {
        FILE* raw = fopen(real.c_str(), "rb");
        if (!raw) return nullptr;
        cookie_io_functions_t io{TextRead, nullptr, nullptr, TextClose};
        FILE* f = fopencookie(raw, "r", io);
        if (!f) fclose(raw);
        return f;
    }
    return fopen(real.c_str(), mode);
}

int CloseFile(FILE* f) {
    if (!f) return EOF;
    PendingWrite pw;
    bool replacing = false;
    {
        std::lock_guard<std::mutex> lock(g_writeLock);
        auto it = g_writes.find(f);
        if (it != g_writes.end()) {
            pw = it->second;
            replacing = true;
            g_writes.erase(it);
        }
    }
    if (!replacing) return fclose(f);
    bool ok = fflush(f) == 0 && !ferror(f);
    ok = ok && fsync(fileno(f)) == 0;
    ok = (fclose(f) == 0) && ok;
    if (ok) ok = rename(pw.temp.c_str(), pw.target.c_str()) == 0;
    if (!ok) {
        unlink(pw.temp.c_str());
        return EOF;
    }
    return 0;
}

void DiscardFile(FILE* f) {
    if (!f) return;
    std::string temp;
    {
        std::lock_guard<std::mutex> lock(g_writeLock);
        auto it = g_writes.find(f);
        if (it != g_writes.end()) {
            temp = it->second.temp;
            g_writes.erase(it);
        }
    }
    fclose(f);
    if (!temp.empty()) unlink(temp.c_str());
}

bool WriteFileAtomic(const char* path, const void* data, size_t size) {
    FILE* f = OpenFile(path, "wb");
    if (!f) return false;
    if (size && fwrite(data, 1, size, f) != size) {
        DiscardFile(f);
        return false;
    }
    return CloseFile(f) == 0;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out) {
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    out.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool ListDir(const char* path, std::vector<std::string>& names) {
    std::string real = ResolvePath(path ? path : ".");
    return ReadListing(real, names);
}

Attr GetAttributes(const char* path) {
    struct stat st;
    if (!path || stat(ResolvePath(path).c_str(), &st) != 0) return Attr::Missing;
    return S_ISDIR(st.st_mode) ? Attr::Directory : Attr::File;
}

bool GetWriteTime(const char* path, uint64_t* fileTime) {
    struct stat st;
    if (!path || stat(ResolvePath(path).c_str(), &st) != 0) return false;
    if (fileTime) *fileTime = FileTimeFromUnix(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    return true;
}

int64_t GetFileSize(const char* path) {
    struct stat st;
    if (!path || stat(ResolvePath(path).c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool RemoveFile(const char* path) { return path && unlink(ResolvePath(path).c_str()) == 0; }

bool MakeDirectory(const char* path) {
    if (!path) return false;
    std::string real = ResolvePath(path);
    return mkdir(real.c_str(), 0755) == 0 || errno == EEXIST;
}

bool SetWorkingDirectory(const char* path) { return path && chdir(ResolvePath(path).c_str()) == 0; }

// 1601-01-01 to 1970-01-01 is 11644473600 seconds.
constexpr int64_t kEpochDelta = 11644473600LL;

uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    return static_cast<uint64_t>((seconds + kEpochDelta) * 10000000LL + nanoseconds / 100);
}

int64_t UnixSecondsFromFileTime(uint64_t fileTime, uint32_t* nanoseconds) {
    if (nanoseconds) *nanoseconds = static_cast<uint32_t>(fileTime % 10000000ULL) * 100;
    return static_cast<int64_t>(fileTime / 10000000ULL) - kEpochDelta;
}

bool FileTimeToLocalTime(uint64_t fileTime, LocalTime* out) {
    uint32_t ns = 0;
    time_t secs = static_cast<time_t>(UnixSecondsFromFileTime(fileTime, &ns));
    struct tm tmv;
    if (!localtime_r(&secs, &tmv) || !out) return false;
    out->year = tmv.tm_year + 1900;
    out->month = tmv.tm_mon + 1;
    out->dayOfWeek = tmv.tm_wday;
    out->day = tmv.tm_mday;
    out->hour = tmv.tm_hour;
    out->minute = tmv.tm_min;
    out->second = tmv.tm_sec;
    out->milliseconds = static_cast<int>(ns / 1000000);
    return true;
}

void FlushDirectoryCache() {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    g_listings.clear();
}

}  // namespace host
