#include "core/Files.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "host/Clock.h"
#include "host/Fs.h"

JoystickSample JoystickAxesSample = {0, 0, 0, 0, -1};
int32_t JoystickAccumulators[4] = {0, 0, 0, 0};

namespace {
// The one listing in progress: all listings share it, so a new listing (cursor 0) ends the one before.
std::string g_listFolder;
std::vector<std::string> g_listNames;
}  // namespace

int FindFiles(const char* folder, int* cursor, char* nameOut, int nameSize) {
    if (!cursor) return 0;
    if (*cursor == 0) {
        // A fresh listing; the working directory is left alone, and a missing folder lists nothing.
        g_listFolder = folder ? folder : "";
        g_listNames.clear();
        std::vector<std::string> all;
        if (host::ListDir(g_listFolder.c_str(), all))
            for (auto& n : all)
                if (!n.empty() && n[0] != '.') g_listNames.push_back(n);
    }
    if (*cursor < 0 || *cursor >= static_cast<int>(g_listNames.size())) {
        *cursor = -1;
        return 0;
    }
    const std::string& name = g_listNames[*cursor];
    *cursor += 1;
    if (nameOut && nameSize > 0) {
        size_t n = name.size() < static_cast<size_t>(nameSize - 1) ? name.size() : nameSize - 1;
        memcpy(nameOut, name.data(), n);
        nameOut[n] = 0;
    }
    return static_cast<int>(name.size()) + 1;
}

void StripNewlines(char* text) {
    if (!text) return;
    for (; *text; ++text)
        if (*text == '\n') *text = 0;
}

void ReplaceChars(char* text, char a, char b) {
    if (!text) return;
    for (; *text; ++text)
        if (*text == a) *text = b;
}

int FileExists(const char* path) { return host::GetAttributes(path) != host::Attr::Missing ? 1 : 0; }
int IsDirectory(const char* path) { return host::GetAttributes(path) == host::Attr::Directory ? 1 : 0; }

int GetFileWriteTime(const char* path, FileTime* out) {
    if (host::GetAttributes(path) != host::Attr::File) return -2;
    uint64_t ft;
    if (!host::GetWriteTime(path, &ft)) return -1;
    if (out) {
        out->low = static_cast<uint32_t>(ft);
        out->high = static_cast<uint32_t>(ft >> 32);
    }
    return 0;
}

int GetFileDate(const char* path, int* year, int* month, int* dayOfWeek, int* day, int* hour, int* minute,
                int* second, int* milliseconds) {
    FileTime ft;
    int r = GetFileWriteTime(path, &ft);
    if (r != 0) return r;
    host::LocalTime t;
    if (!host::FileTimeToLocalTime((static_cast<uint64_t>(ft.high) << 32) | ft.low, &t)) return -1;
    if (year) *year = t.year;
    if (month) *month = t.month;
    if (dayOfWeek) *dayOfWeek = t.dayOfWeek;
    if (day) *day = t.day;
    if (hour) *hour = t.hour;
    if (minute) *minute = t.minute;
    if (second) *second = t.second;
    if (milliseconds) *milliseconds = t.milliseconds;
    return 0;
}

int CompareFileTimes(const FileTime* a, const FileTime* b) {
    if (a->high != b->high) return a->high > b->high ? 1 : 0;
    return a->low > b->low ? 1 : 0;
}

int GetFileLength(const char* path) {
    int64_t n = host::GetFileSize(path);
    return n < 0 ? 0 : static_cast<int>(n);
}

void SplitPath(char* path, char* nameOut) {
    if (!path) return;
    char* sep = strrchr(path, '\\');
    if (!sep) {
        if (nameOut) memmove(nameOut, path, strlen(path) + 1);
        path[0] = 0;
        return;
    }
    if (nameOut) memmove(nameOut, sep + 1, strlen(sep + 1) + 1);
    *sep = 0;
}

void WriteU32(FILE* f, uint32_t value) {
    uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                    static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    fwrite(b, 1, 4, f);
}

uint32_t ReadU32(FILE* f) {
    uint8_t b[4] = {0, 0, 0, 0};
    if (fread(b, 1, 4, f) != 4) return 0;
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

double TimerNow() { return host::NowCentiseconds(); }

void GetJoystickAxes(int32_t* x, int32_t* y, int32_t* throttle, int32_t* rudder, int32_t* hat) {
    const JoystickSample& s = JoystickAxesSample;
    int32_t* acc = JoystickAccumulators;
    // Each accumulator integrates its axis for as long as the stick is held over: it stops at the
    // 32-bit limits instead of wrapping (and a step that is not a number adds nothing).
    auto add = [](int32_t a, double d) { return TruncateToInt32(std::isnan(d) ? double(a) : double(a) + d); };
    acc[0] = add(acc[0], s.x * static_cast<double>(joystick_step[0]));
    acc[1] = add(acc[1], -(s.y * static_cast<double>(joystick_step[1])));
    acc[2] = add(acc[2], s.z * static_cast<double>(joystick_step[2]));
    acc[3] = add(acc[3], s.rz * static_cast<double>(joystick_step[3]));
    if (x) *x = acc[0];
    if (y) *y = acc[1];
    if (throttle) *throttle = acc[2];
    if (rudder) *rudder = acc[3];
    if (hat) *hat = s.hat;
}

int PassThroughInt(int value) { return value; }

void DebugPrintVec3(int a, int b, int c) { DebugPrintf("%d %d %d\n", a, b, c); }
