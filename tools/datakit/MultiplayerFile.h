// Writer of the multiplayer settings file "Multiplayer": its three comment lines, then the sixteen keys
// in a column of 20 characters and their values, in groups separated by empty lines, as the game
// writes it. Texts are written as given (an empty one as ""), numbers with one decimal.
#pragma once

#include <string>

namespace datakit {

struct MultiplayerSettings {
    std::string playername, gamename, provider, connection, ipaddress;
    int lvlcycle = 0, lvlrandom = 0, maxplayers = 8;
    double leveltime = 20, roundtime = 5, buytime = 1, freezetime = 0, winmsgtime = 0;
    int friendlyfire = 0, chasecamonly = 0, forcebalance = 0;
};

std::string MultiplayerFileText(const MultiplayerSettings& settings);
bool WriteMultiplayerFile(const std::string& path, const MultiplayerSettings& settings);

}  // namespace datakit
