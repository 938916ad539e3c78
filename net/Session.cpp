// The networked session. The peer object, the lists of providers and adapters and the search are not
// built yet: nothing is enumerated or found. The frame loop's poll hands the network's events of a frame
// to the session once a peer exists.
#include "net/Session.h"

#include "core/Memory.h"
#include "host/Net.h"

ServiceProviderInfo* ProviderList = nullptr;
int32_t ProviderCount = 0;
ServiceProviderInfo* AdapterList = nullptr;
int32_t AdapterCount = 0;
uint8_t ChosenProvider[16];
uint8_t ChosenAdapter[16];

SessionRecord* NetGames = nullptr;
int32_t NetGameCount = 0;
int32_t JoinSessionIndex = -1;
char JoinHostName[64] = "";
char JoinPort[64] = "";

host::NetPeer* DirectPlayPeer = nullptr;

void CreateDirectPlay() {}
void CloseDirectPlay() {}
void EnumServiceProviders() {}
void EnumSPAdapters(const uint8_t* provider) { (void)provider; }
void EnumSessions() {}

void FreeNetGames() {
    qzFree(NetGames);
    NetGames = nullptr;
    NetGameCount = 0;
}

void PollDirectPlay() {
    if (DirectPlayPeer) host::NetPoll(DirectPlayPeer);
}
