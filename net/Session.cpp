// The networked session is not built yet: nothing is enumerated or found, and the settings file is
// neither read nor written. The settings keep their defaults.
#include "net/Session.h"

ServiceProviderInfo* ProviderList = nullptr;
int32_t ProviderCount = 0;
ServiceProviderInfo* AdapterList = nullptr;
int32_t AdapterCount = 0;
uint8_t ChosenProvider[16];
uint8_t ChosenAdapter[16];

NetGameInfo* NetGames = nullptr;
int32_t NetGameCount = 0;
uint8_t JoinInstance[16];
char JoinHostName[64] = "";
char JoinPort[64] = "";

char Gamename[64] = "";
char SessionPassword[64] = "";
char MultiplayerLevel[64] = "";
int32_t maxplayers = 8;
float leveltime = 20.0f, roundtime = 5.0f, buytime = 1.0f;
int32_t friendlyfire = 0, chasecamonly = 0, forcebalance = 0, lvlcycle = 0, lvlrandom = 0;

void CreateDirectPlay() {}
void CloseDirectPlay() {}
void EnumServiceProviders() {}
void EnumSPAdapters(const uint8_t* provider) { (void)provider; }
void EnumSessions() {}
void FreeNetGames() { NetGameCount = 0; }
void ReadMultiplayerFile() {}
void WriteMultiplayerFile() {}
