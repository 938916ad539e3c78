// The networked session as the front end sees it: the DirectPlay service providers and adapters to pick
// from, the games found by a search, and the multiplayer settings kept in the file "Multiplayer".
#pragma once

#include <cstdint>

constexpr int kNetNameSize = 256;

// A service provider or an adapter: its identifier and its name.
struct ServiceProviderInfo {
    uint8_t guid[16];
    char name[kNetNameSize];
};
extern ServiceProviderInfo* ProviderList;  // null until enumerated
extern int32_t ProviderCount;
extern ServiceProviderInfo* AdapterList;  // null until enumerated
extern int32_t AdapterCount;
extern uint8_t ChosenProvider[16];
extern uint8_t ChosenAdapter[16];

// A game found by a search.
struct NetGameInfo {
    uint8_t instance[16];
    char password[64];
    int32_t maxplayers;
    float leveltime, roundtime, buytime;
    int32_t friendlyfire, chasecamonly, forcebalance;
    char map[64];
};
extern NetGameInfo* NetGames;
extern int32_t NetGameCount;
extern uint8_t JoinInstance[16];  // the game to join
extern char JoinHostName[64];
extern char JoinPort[64];

// The multiplayer settings.
extern char Gamename[64];
extern char SessionPassword[64];
extern char MultiplayerLevel[64];
extern int32_t maxplayers;
extern float leveltime, roundtime, buytime;
extern int32_t friendlyfire, chasecamonly, forcebalance, lvlcycle, lvlrandom;

void CreateDirectPlay();
void CloseDirectPlay();
void EnumServiceProviders();
void EnumSPAdapters(const uint8_t* provider);
void EnumSessions();
// Frees the table of games found and sets its count to 0.
void FreeNetGames();
void ReadMultiplayerFile();
void WriteMultiplayerFile();
