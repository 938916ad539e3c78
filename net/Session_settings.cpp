// The multiplayer settings: the file "Multiplayer" that keeps them between runs, the session record a
// host fills from them, and the multiplayer log "MPLog.txt".
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "core/Files.h"
#include "core/Package.h"
#include "core/Tokenizer.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "net/Wire_local.h"
#include "world/Player.h"

char Gamename[64] = "";
char SessionPassword[64] = "";
char MultiplayerLevel[64] = "";
char Provider[16] = "";
char Connection[16] = "";
char IPAddress[16] = "";
int32_t maxplayers = 8;
float leveltime = 20.0f, roundtime = 5.0f, buytime = 1.0f, freezetime = 0.0f;
int32_t friendlyfire = 0, chasecamonly = 0, forcebalance = 0, lvlcycle = 0, lvlrandom = 0;

using namespace netwire_fields;

namespace {

enum class SettingType { Text, Int, Float };

struct Setting {
    const char* key;
    SettingType type;
    void* target;
    size_t size;  // texts: the field with its terminator
    bool blankAfter;  // the file has an empty line after it
};

// The sixteen keys, in the file's order.
const Setting kSettings[] = {
    {"Playername", SettingType::Text, Playername, sizeof Playername, false},
    {"Gamename", SettingType::Text, Gamename, sizeof Gamename, false},
    {"Provider", SettingType::Text, Provider, sizeof Provider, false},
    {"Connection", SettingType::Text, Connection, sizeof Connection, false},
    {"IPAddress", SettingType::Text, IPAddress, sizeof IPAddress, true},
    {"lvlcycle", SettingType::Int, &lvlcycle, 0, false},
    {"lvlrandom", SettingType::Int, &lvlrandom, 0, true},
    {"maxplayers", SettingType::Int, &maxplayers, 0, false},
    {"leveltime", SettingType::Float, &leveltime, 0, false},
    {"roundtime", SettingType::Float, &roundtime, 0, false},
    {"buytime", SettingType::Float, &buytime, 0, false},
    {"freezetime", SettingType::Float, &freezetime, 0, false},
    {"winmsgtime", SettingType::Float, &winmsgtime, 0, false},
    {"friendlyfire", SettingType::Int, &friendlyfire, 0, false},
    {"chasecamonly", SettingType::Int, &chasecamonly, 0, false},
    {"forcebalance", SettingType::Int, &forcebalance, 0, true},
};
static_assert(std::size(kSettings) == 16);

constexpr const char* kRule = "/*-----------------------------------------*/\n";
constexpr const char* kTitle = "/*             Multiplayer file            */\n";
// Times beyond this (a hand-edited file) are cut to it, so that every later count of seconds stays within
// an integer.
constexpr double kLargestTime = 1e6;

// Decimal conversion stopping at the first character that is no part of a number (none: 0), cut to the
// 32-bit range.
int32_t ReadInt(const char* word) {
    long v = strtol(word, nullptr, 10);
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<int32_t>(v);
}

// A time as the settings keep it: 0 for no finite number, else cut to +-kLargestTime.
float SaneTime(double v) {
    if (!std::isfinite(v)) return 0.0f;
    return static_cast<float>(std::fmax(-kLargestTime, std::fmin(kLargestTime, v)));
}

float ReadFloat(const char* word) { return SaneTime(strtod(word, nullptr)); }

// A text as read: an empty text is written as "" (a blank value would take the next key as its value).
void ReadText(const char* word, char* out, size_t size) {
    size_t n = strlen(word);
    if (n >= 2 && word[0] == '"' && word[n - 1] == '"') {
        ++word;
        n -= 2;
    }
    snprintf(out, size, "%.*s", static_cast<int>(n), word);
}

// A text as written: a character that would change how the rest of the file reads (a quote opens a
// string, a backslash joins the next character, a star may close or open a comment) becomes '_'.
void WriteText(FILE* f, const char* text) {
    if (!text[0]) {
        fputs("\"\"", f);
        return;
    }
    for (const char* p = text; *p; ++p) fputc(*p == '"' || *p == '\\' || *p == '*' ? '_' : *p, f);
}

std::mutex g_logLock;

}  // namespace

void ReadMultiplayerFile(const char* fileName) {
    // A missing file is written with the settings in force; the input stream would end the program.
    if (!qzpk_exists(fileName)) {
        WriteMultiplayerFile();
        return;
    }
    FILE* file = nullptr;
    InputStream s;
    OpenInputStream(fileName, &file, &s);
    char word[kTokenSize];
    char delim = 0;
    while (!AtEndOfStream(&s)) {
        ReadToken(&s, word, sizeof word, nullptr, &delim);
        for (const Setting& key : kSettings) {
            if (strcmp(word, key.key) != 0) continue;
            ReadToken(&s, word, sizeof word, nullptr, &delim);
            switch (key.type) {
                case SettingType::Text: ReadText(word, static_cast<char*>(key.target), key.size); break;
                case SettingType::Int: *static_cast<int32_t*>(key.target) = ReadInt(word); break;
                case SettingType::Float: *static_cast<float*>(key.target) = ReadFloat(word); break;
            }
            break;
        }
    }
    CloseInputStream(file, &s);
    if (OwnPlayer) snprintf(OwnPlayer->name, sizeof OwnPlayer->name, "%s", Playername);
}

int32_t WriteMultiplayerFile() {
    FILE* f = qzpk_fopen("Multiplayer", "w");
    if (!f) return 0;
    fputs(kRule, f);
    fputs(kTitle, f);
    fputs(kRule, f);
    fputs("\n", f);
    for (const Setting& key : kSettings) {
        fprintf(f, "%-20s", key.key);
        switch (key.type) {
            case SettingType::Text: WriteText(f, static_cast<const char*>(key.target)); break;
            case SettingType::Int: fprintf(f, "%d", *static_cast<const int32_t*>(key.target)); break;
            case SettingType::Float:
                fprintf(f, "%3.1f", static_cast<double>(*static_cast<const float*>(key.target)));
                break;
        }
        fputs(key.blankAfter ? "\n\n" : "\n", f);
    }
    return qzpk_fclose(f) == 0 ? 1 : 0;
}

void MPLog(const char* format, ...) {
    char message[256];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    char line[320];
    int length = snprintf(line, sizeof line, "%2.2f %s\n", TimerNow() * 0.01, message);
    if (length >= static_cast<int>(sizeof line)) {
        length = sizeof line - 1;
        line[length - 1] = '\n';
    }
    std::lock_guard<std::mutex> hold(g_logLock);
    FILE* f = qzpk_fopen("MPLog.txt", "a");
    if (!f) return;
    // The log is bounded: a peer sending message after message must not fill the disk. It keeps its
    // first kMPLogLimit bytes; a line that does not fit any more is dropped.
    fseek(f, 0, SEEK_END);
    const long size = ftell(f);
    if (size >= 0 && length > 0 && size + length <= kMPLogLimit) fputs(line, f);
    qzpk_fclose(f);
}

void EncodeSessionRecord(const SessionRecord& r, uint8_t out[kSessionRecordSize]) {
    PutText(out + 0, r.gameName, 64);
    PutText(out + 64, r.password, 64);
    PutText(out + 128, r.missionName, 64);
    PutU32(out + 192, static_cast<uint32_t>(r.maxplayers));
    PutU32(out + 196, r.gameStatus);
    PutU32(out + 200, r.mpFlags);
    PutFloat(out + 204, r.leveltime);
    PutFloat(out + 208, r.roundtime);
    PutFloat(out + 212, r.buytime);
    PutFloat(out + 216, r.freezetime);
    PutFloat(out + 220, r.winmsgtime);
    PutU32(out + 224, static_cast<uint32_t>(r.friendlyfire));
    PutU32(out + 228, static_cast<uint32_t>(r.chasecamonly));
    PutU32(out + 232, static_cast<uint32_t>(r.forcebalance));
    PutU32(out + 236, static_cast<uint32_t>(r.lvlcycle));
    PutU32(out + 240, static_cast<uint32_t>(r.lvlrandom));
}

// A host's record comes from the network: its times are kept within what the settings file allows, so
// that a joiner that takes them never converts a non-finite or huge time to an integer.
bool DecodeSessionRecord(const uint8_t* data, size_t size, SessionRecord* out) {
    if (!data || size != kSessionRecordSize) return false;
    SessionRecord r{};
    GetText(data + 0, r.gameName, 64);
    GetText(data + 64, r.password, 64);
    GetText(data + 128, r.missionName, 64);
    r.maxplayers = static_cast<int32_t>(GetU32(data + 192));
    r.gameStatus = GetU32(data + 196);
    r.mpFlags = GetU32(data + 200);
    r.leveltime = SaneTime(GetFloat(data + 204));
    r.roundtime = SaneTime(GetFloat(data + 208));
    r.buytime = SaneTime(GetFloat(data + 212));
    r.freezetime = SaneTime(GetFloat(data + 216));
    r.winmsgtime = SaneTime(GetFloat(data + 220));
    r.friendlyfire = static_cast<int32_t>(GetU32(data + 224));
    r.chasecamonly = static_cast<int32_t>(GetU32(data + 228));
    r.forcebalance = static_cast<int32_t>(GetU32(data + 232));
    r.lvlcycle = static_cast<int32_t>(GetU32(data + 236));
    r.lvlrandom = static_cast<int32_t>(GetU32(data + 240));
    *out = r;
    return true;
}

void FillSessionRecord(SessionRecord* out) {
    SessionRecord r{};
    snprintf(r.gameName, sizeof r.gameName, "%s", Gamename);
    snprintf(r.password, sizeof r.password, "%s", SessionPassword);
    snprintf(r.missionName, sizeof r.missionName, "%s", MultiplayerLevel);
    r.maxplayers = maxplayers;
    r.gameStatus = RoundStatus;
    r.mpFlags = MPDeferredFlags;
    r.leveltime = leveltime;
    r.roundtime = roundtime;
    r.buytime = buytime;
    r.freezetime = freezetime;
    r.winmsgtime = winmsgtime;
    r.friendlyfire = friendlyfire;
    r.chasecamonly = chasecamonly;
    r.forcebalance = forcebalance;
    r.lvlcycle = lvlcycle;
    r.lvlrandom = lvlrandom;
    *out = r;
}
