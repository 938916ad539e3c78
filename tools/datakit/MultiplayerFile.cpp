// Writer of the multiplayer settings file.
#include "tools/datakit/MultiplayerFile.h"

#include <cstdio>

#include "tools/datakit/Bytes.h"

namespace datakit {

namespace {

std::string Key(const char* key) {
    std::string k = key;
    k.resize(20, ' ');
    return k;
}

std::string Text(const char* key, const std::string& value) {
    return Key(key) + (value.empty() ? "\"\"" : value) + "\n";
}

std::string Int(const char* key, int value) { return Key(key) + std::to_string(value) + "\n"; }

std::string Number(const char* key, double value) {
    char text[64];
    snprintf(text, sizeof text, "%3.1f", value);
    return Key(key) + text + "\n";
}

}  // namespace

std::string MultiplayerFileText(const MultiplayerSettings& s) {
    const std::string rule = "/*-----------------------------------------*/\n";
    std::string out = rule + "/*             Multiplayer file            */\n" + rule + "\n";
    out += Text("Playername", s.playername) + Text("Gamename", s.gamename) + Text("Provider", s.provider) +
           Text("Connection", s.connection) + Text("IPAddress", s.ipaddress) + "\n";
    out += Int("lvlcycle", s.lvlcycle) + Int("lvlrandom", s.lvlrandom) + "\n";
    out += Int("maxplayers", s.maxplayers) + Number("leveltime", s.leveltime) + Number("roundtime", s.roundtime) +
           Number("buytime", s.buytime) + Number("freezetime", s.freezetime) + Number("winmsgtime", s.winmsgtime) +
           Int("friendlyfire", s.friendlyfire) + Int("chasecamonly", s.chasecamonly) +
           Int("forcebalance", s.forcebalance) + "\n";
    return out;
}

bool WriteMultiplayerFile(const std::string& path, const MultiplayerSettings& settings) {
    return WriteTextFile(path, MultiplayerFileText(settings));
}

}  // namespace datakit
