// The networked session as the front end sees it: the service providers and adapters to pick from, the
// games found by a search, the multiplayer settings kept in the file "Multiplayer", the record a host
// publishes with its session, and the multiplayer log "MPLog.txt".
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/Net.h"
#include "net/Messages.h"

struct PlayerCell;

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

// The settings of a session: the host fills it from the multiplayer settings and publishes it; a search
// hands back each host's. On the network it is 244 bytes (EncodeSessionRecord).
struct SessionRecord {
    char gameName[64];     // the session's name
    char password[64];     // empty: none
    char missionName[64];  // the mission every machine loads
    int32_t maxplayers;
    uint32_t gameStatus;  // the round status word
    uint32_t mpFlags;     // the deferred-action word
    float leveltime;      // seconds
    float roundtime;      // minutes
    float buytime;        // seconds
    float freezetime;     // seconds
    float winmsgtime;     // seconds
    int32_t friendlyfire;
    int32_t chasecamonly;
    int32_t forcebalance;
    int32_t lvlcycle;
    int32_t lvlrandom;
};
constexpr size_t kSessionRecordSize = 244;
// Writes the record field by field, little-endian, texts as their 64-byte fields.
void EncodeSessionRecord(const SessionRecord& record, uint8_t out[kSessionRecordSize]);
// Reads a record; false (out untouched) when size is not kSessionRecordSize. Texts are terminated.
bool DecodeSessionRecord(const uint8_t* data, size_t size, SessionRecord* out);
// The record of the settings in force (with the round status and deferred-action words).
void FillSessionRecord(SessionRecord* out);

// A published record carries this in place of its password: searchers learn only that there is one.
constexpr char kPasswordMark[] = "*";

// The games found by a search: each host's record, and beside it (the same row of NetGameHosts) where it
// answered from and its session's name.
struct NetGameHost {
    host::NetAddress address;
    char sessionName[64];  // "unknown" when it has none
};
extern SessionRecord* NetGames;
extern NetGameHost* NetGameHosts;
extern int32_t NetGameCount;
extern int32_t JoinSessionIndex;  // the game to join: its row of NetGames
extern char JoinHostName[64];
extern char JoinPort[64];
extern char JoinPassword[64];  // the password the join names (typed on the join screen)

// The session's end of the network, while the front end has made one.
extern host::NetPeer* DirectPlayPeer;
// The cell of the session's host on this machine; null while there is none (between a host's leaving and
// the next host's taking over).
extern PlayerCell* HostPlayer;
// The identifier every host, searcher and joiner of this game names.
inline constexpr uint8_t kApplicationGuid[16] = {0x4b, 0x61, 0x72, 0x76, 0x6f, 0x6e, 0x65, 0x6c,
                                                 0x2d, 0x6d, 0x70, 0x00, 0x5d, 0x17, 0xb0, 0x45};

// The multiplayer settings.
extern char Gamename[64];
extern char SessionPassword[64];
extern char MultiplayerLevel[64];
extern char Provider[16];    // read and written back, used by nothing else
extern char Connection[16];  // read and written back, used by nothing else
extern char IPAddress[16];   // read and written back, used by nothing else
extern int32_t maxplayers;
extern float leveltime, roundtime, buytime, freezetime;
extern int32_t friendlyfire, chasecamonly, forcebalance, lvlcycle, lvlrandom;

// Makes the session's peer (once; the multiplayer screens call it each time they open a session screen).
void CreateDirectPlay();
// Frees the lists and the peer.
void CloseDirectPlay();
// Lists the network's providers into ProviderList, and a provider's adapters into AdapterList.
void EnumServiceProviders();
void EnumSPAdapters(const uint8_t* provider);
// Searches afresh for games at JoinHostName (empty: the local network) and JoinPort (empty: the game's
// port): every host that answers gets a row of NetGames and NetGameHosts.
void EnumSessions();
// Takes one answer of a search into a new row of NetGames and NetGameHosts; an answer without a session
// record is dropped with a line in "MPLog.txt".
void EnumHostsResponse(const host::NetSessionFound& found);
// Frees the table of games found and sets its count to 0.
void FreeNetGames();
// Takes the network's events of this frame (the session's handler runs here, on the game thread).
void PollDirectPlay();
// What the session's handler does with one event of the network (PollDirectPlay hands them over).
void DirectPlayMessageHandler(void* user, const host::NetEvent& event);
// A result of the network: 0 for Ok; else the notice "Reporting a DirectPlay error:" with the result's
// name, and the networked game ends (NetworkGameEnded) back at the multiplayer menu.
int32_t ReportDPError(host::NetResult result);
// The name of a result as the game reports it ("DPN_OK", "DPNERR_SESSIONFULL", ...; "0x%08X" past them).
const char* DPErrorName(host::NetResult result);

// Reads the settings from the file (the front end passes "multiplayer"); a missing file is written with
// the settings in force instead.
void ReadMultiplayerFile(const char* fileName);
// Writes the settings to "Multiplayer" in the working folder; 0 when the file cannot be written.
int32_t WriteMultiplayerFile();
// Appends "<seconds> <message>" to "MPLog.txt". The log stops growing at kMPLogLimit bytes.
void MPLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
constexpr long kMPLogLimit = 1 << 20;
