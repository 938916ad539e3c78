// The networked session: the one peer of the program, the lists of providers and adapters the
// multiplayer screens show, the search for games, hosting, joining and leaving, and the handler that
// turns the network's events into player cells, messages in the log and lines of "MPLog.txt".
//
// The peer does its network work only when polled: the handler runs inside PollDirectPlay on the game
// thread, once per frame, never beside the frame, so the cells and words it changes need no lock.
#include "net/Session.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "ai/AUDef.h"
#include "core/Memory.h"
#include "hud/MessageLog.h"
#include "net/Multiplayer.h"
#include "objects/Itfc.h"
#include "platform/DxError.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"

ServiceProviderInfo* ProviderList = nullptr;
int32_t ProviderCount = 0;
ServiceProviderInfo* AdapterList = nullptr;
int32_t AdapterCount = 0;
uint8_t ChosenProvider[16];
uint8_t ChosenAdapter[16];

SessionRecord* NetGames = nullptr;
NetGameHost* NetGameHosts = nullptr;
int32_t NetGameCount = 0;
int32_t JoinSessionIndex = -1;
char JoinHostName[64] = "";
char JoinPort[64] = "";
char JoinPassword[64] = "";

host::NetPeer* DirectPlayPeer = nullptr;
PlayerCell* HostPlayer = nullptr;

namespace {

using host::NetResult;

// The names the game reports results by, one per result of the network.
const char* const kResultNames[] = {
    "DPN_OK",                     // Ok
    "DPNERR_INVALIDPARAM",        // InvalidParam
    "DPNERR_INVALIDHOSTADDRESS",  // InvalidHostAddress
    "DPNERR_ALREADYCONNECTED",    // AlreadyInSession
    "DPNERR_NOCONNECTION",        // NotInSession
    "DPNERR_ADDRESSING",          // AddressInUse
    "DPNERR_NOCONNECTION",        // NoConnection
    "DPNERR_TIMEDOUT",            // Timeout
    "DPNERR_SESSIONFULL",         // SessionFull
    "DPNERR_INVALIDAPPLICATION",  // InvalidApplication
    "DPNERR_INVALIDVERSION",      // InvalidVersion
    "DPNERR_HOSTREJECTEDCONNECTION",  // HostRejected
    "DPNERR_INVALIDPASSWORD",     // InvalidPassword
    "DPNERR_INVALIDPLAYER",       // InvalidPlayer
    "DPNERR_SENDTOOLARGE",        // SendTooLarge
};
static_assert(std::size(kResultNames) == static_cast<size_t>(NetResult::Count));

constexpr int kPlayerDataSize = 192;  // name, unit type, a third field left empty: 64 bytes each

void FreeList(ServiceProviderInfo** list, int32_t* count) {
    qzFree(*list);
    *list = nullptr;
    *count = 0;
}

// A tracked copy of the network's providers or adapters (each has an identifier and a name).
template <typename Item>
void FillList(const char* purpose, const std::vector<Item>& items, ServiceProviderInfo** list, int32_t* count) {
    FreeList(list, count);
    if (items.empty()) return;
    const int n = static_cast<int>(items.size());
    *list = static_cast<ServiceProviderInfo*>(qzAlloc(static_cast<int>(sizeof(ServiceProviderInfo)) * n, purpose));
    for (int i = 0; i < n; ++i) {
        memcpy((*list)[i].guid, items[i].guid, 16);
        snprintf((*list)[i].name, sizeof (*list)[i].name, "%s", items[i].name);
    }
    *count = n;
}

// The local player's name and data as the others get them: the name, then the 192-byte record of the
// name, the unit type and an empty third field.
void SetPeerInfo() {
    const char* name = OwnPlayer ? OwnPlayer->name : Playername;
    uint8_t data[kPlayerDataSize] = {};
    snprintf(reinterpret_cast<char*>(data), 64, "%s", name);
    if (OwnPlayer) snprintf(reinterpret_cast<char*>(data + 64), 64, "%s", OwnPlayer->unitType);
    host::NetSetPlayerInfo(DirectPlayPeer, name, data, sizeof data);
}

// Leading decimal digits of the typed port: 0 when there are none, -1 past the last port.
int32_t TypedPort(const char* text) {
    int64_t v = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > 65535) return -1;
    }
    return static_cast<int32_t>(v);
}

void AddressText(const host::NetAddress& address, char* text, size_t size) {
    host::NetAddressText(address, text, size);
}

// ---- the handler's cases ------------------------------------------------------------------------------

void PlayerCreated(uint32_t id, uint32_t flags) {
    MPLog("CREATEPLAYER BEGIN");
    host::NetPlayerInfo info{};
    char name[32] = "unknown";
    if (host::NetGetPlayerInfo(DirectPlayPeer, id, &info) == NetResult::Ok && info.name[0])
        snprintf(name, sizeof name, "%.31s", info.name);  // a cell's name holds 31 characters
    if (flags & host::kNetPlayerLocal) {
        MPLog("CREATEPLAYER OWNPLAYER");
        if (OwnPlayer) {
            OwnPlayer->networkId = id;
            if (flags & host::kNetPlayerHost) HostPlayer = OwnPlayer;
            OwnPlayer->flags |= 0x100;
        }
    } else if (FindIDPlayer(id)) {
        // Identifiers are never given out twice in a session: a second event for one changes nothing.
        MPLog("CREATEPLAYER %u dropped: a player has it already", id);
    } else if (PlayerCount >= kMaxPlayers) {
        // The host refuses joiners past the session's limit; a host that announces more anyway gets no
        // cell for them, and their messages are dropped as from no player.
        MPLog("CREATEPLAYER %u dropped: the player table is full", id);
    } else {
        PlayerCell* cell = CreatePlayer(name);
        cell->networkId = id;
        if (flags & host::kNetPlayerHost) {
            MPLog("CREATEPLAYER HOSTPLAYER");
            HostPlayer = cell;
        } else {
            MPLog("CREATEPLAYER OTHERPLAYER");
        }
        AssignAUToPlayer(cell);
        SendWantPlayerData(id);
        cell->flags |= 0x80;
        char text[96];
        snprintf(text, sizeof text, "%s has entered the game", cell->name);
        ShowMessage(text, "GAMEHOST");
    }
    if (IsHost) SendGameStatus(RoundStatus);
    MPLog("CREATEPLAYER END");
}

void PlayerDestroyed(uint32_t id) {
    PlayerCell* cell = FindIDPlayer(id);
    if (!cell || cell == OwnPlayer) {
        MPLog("DESTROYPLAYER %u dropped: no such player", id);
        return;
    }
    char text[96];
    snprintf(text, sizeof text, "%s left the game", cell->name);
    ShowMessage(text, "SYSTEM");
    // The player's unit counts as destroyed, and drives on nobody's input.
    AUDef* au = cell->actionUnit;
    if (au && au->pool) {
        for (int i = 0; i < au->pool->count; ++i) {
            construct* con = au->pool->constructs[i];
            if (con && con->playerCell == cell) con->playerCell = nullptr;
        }
        if (au->pool->count > 0 && au->pool->constructs[0]) {
            auto* state = reinterpret_cast<StateRecord*>(CallItfc(au->pool->constructs[0], ItfcMethod::GETSTATE));
            if (state) state->structure = 0;
        }
    }
    if (cell == HostPlayer) HostPlayer = nullptr;
    DeletePlayer(cell);
}

void HostMigrated(uint32_t id) {
    PlayerCell* cell = FindIDPlayer(id);
    if (!cell) {
        MPLog("HOSTMIGRATE %u dropped: no such player", id);
        return;
    }
    char text[96];
    snprintf(text, sizeof text, "%s is new host", cell->name);
    ShowMessage(text, "SYSTEM");
    HostPlayer = cell;
    if (cell == OwnPlayer) IsHost = 1;
}

}  // namespace

// ---- what a search found ------------------------------------------------------------------------------

void EnumHostsResponse(const host::NetSessionFound& found) {
    SessionRecord record;
    char where[32];
    AddressText(found.address, where, sizeof where);
    if (!DecodeSessionRecord(found.data.data(), found.data.size(), &record)) {
        MPLog("ENUMHOSTS answer of %s dropped: %zu bytes are no session record", where, found.data.size());
        return;
    }
    const int n = NetGameCount + 1;
    auto* games = static_cast<SessionRecord*>(qzAlloc(static_cast<int>(sizeof(SessionRecord) * n), "NetGames"));
    auto* hosts = static_cast<NetGameHost*>(qzAlloc(static_cast<int>(sizeof(NetGameHost) * n), "NetGames"));
    if (NetGameCount) {
        memcpy(games, NetGames, sizeof(SessionRecord) * NetGameCount);
        memcpy(hosts, NetGameHosts, sizeof(NetGameHost) * NetGameCount);
    }
    qzFree(NetGames);
    qzFree(NetGameHosts);
    NetGames = games;
    NetGameHosts = hosts;
    NetGames[NetGameCount] = record;
    NetGameHost& h = NetGameHosts[NetGameCount];
    h.address = found.address;
    snprintf(h.sessionName, sizeof h.sessionName, "%s", found.name[0] ? found.name : "unknown");
    NetGameCount = n;
    MPLog("ENUMHOSTS %s at %s", h.sessionName, where);
}

// ---- the peer and its lists ---------------------------------------------------------------------------

void CreateDirectPlay() {
    // The screens call this each time a session screen opens: the one peer is made once.
    if (DirectPlayPeer) return;
    DirectPlayPeer = host::CreateNetPeer(DirectPlayMessageHandler, nullptr, kLargestApplMessage);
    if (!DirectPlayPeer) dxgl_Notify("Cannot create directplay object");
}

void CloseDirectPlay() {
    FreeList(&ProviderList, &ProviderCount);
    FreeList(&AdapterList, &AdapterCount);
    host::DestroyNetPeer(DirectPlayPeer);
    DirectPlayPeer = nullptr;
    HostPlayer = nullptr;
}

void EnumServiceProviders() {
    std::vector<host::NetProvider> providers;
    host::NetEnumProviders(&providers);
    FillList("SProvider", providers, &ProviderList, &ProviderCount);
}

void EnumSPAdapters(const uint8_t* provider) {
    std::vector<host::NetAdapter> adapters;
    const NetResult r = provider ? host::NetEnumAdapters(provider, &adapters) : NetResult::InvalidParam;
    FillList("SPAdapter", adapters, &AdapterList, &AdapterCount);
    ReportDPError(r);
}

void FreeNetGames() {
    qzFree(NetGames);
    qzFree(NetGameHosts);
    NetGames = nullptr;
    NetGameHosts = nullptr;
    NetGameCount = 0;
}

void EnumSessions() {
    // Every search starts afresh and keeps every host that answers; the join goes to the one chosen.
    FreeNetGames();
    if (!DirectPlayPeer) return;
    host::NetSearchDesc desc;
    memcpy(desc.application, kApplicationGuid, 16);
    snprintf(desc.hostName, sizeof desc.hostName, "%s", JoinHostName);
    const int32_t port = TypedPort(JoinPort);
    if (port < 0) {
        ReportDPError(NetResult::InvalidParam);
        return;
    }
    desc.port = static_cast<uint16_t>(port);
    std::vector<host::NetSessionFound> found;
    if (ReportDPError(host::NetSearch(DirectPlayPeer, desc, &found))) return;
    for (const host::NetSessionFound& f : found) EnumHostsResponse(f);
}

// ---- the session --------------------------------------------------------------------------------------

void HostSession(int32_t players) {
    NetworkGameEnded = 0;
    HostPlayer = nullptr;
    CreateDirectPlay();
    if (!DirectPlayPeer) {
        NetworkGameEnded = 1;
        return;
    }
    SessionRecord record;
    FillSessionRecord(&record);
    if (record.password[0]) snprintf(record.password, sizeof record.password, "%s", kPasswordMark);
    uint8_t published[kSessionRecordSize];
    EncodeSessionRecord(record, published);
    SetPeerInfo();
    host::NetHostDesc desc;
    memcpy(desc.application, kApplicationGuid, 16);
    // The player table holds 16 cells: a session never takes more players than it can seat.
    desc.maxPlayers = players < 1 ? kMaxPlayers : players > kMaxPlayers ? kMaxPlayers : players;
    snprintf(desc.sessionName, sizeof desc.sessionName, "%s", record.gameName);
    desc.sessionData = published;
    desc.sessionDataSize = sizeof published;
    memcpy(desc.provider, ChosenProvider, 16);
    memcpy(desc.adapter, ChosenAdapter, 16);
    snprintf(desc.password, sizeof desc.password, "%s", SessionPassword);
    if (ReportDPError(host::NetHost(DirectPlayPeer, desc))) return;
    char where[32];
    AddressText(host::NetLocalAddress(DirectPlayPeer), where, sizeof where);
    MPLog("HOSTSESSION %s for %d players", where, desc.maxPlayers);
}

void JoinSession() {
    NetworkGameEnded = 0;
    HostPlayer = nullptr;
    CreateDirectPlay();
    if (!DirectPlayPeer) {
        NetworkGameEnded = 1;
        return;
    }
    if (JoinSessionIndex < 0 || JoinSessionIndex >= NetGameCount || !NetGameHosts) {
        MPLog("JOINSESSION: no game chosen");
        ReportDPError(NetResult::NoConnection);
        return;
    }
    SetPeerInfo();
    host::NetJoinDesc desc;
    memcpy(desc.application, kApplicationGuid, 16);
    desc.host = NetGameHosts[JoinSessionIndex].address;
    snprintf(desc.password, sizeof desc.password, "%s", JoinPassword);
    char where[32];
    AddressText(desc.host, where, sizeof where);
    if (ReportDPError(host::NetJoin(DirectPlayPeer, desc))) {
        MPLog("JOINSESSION %s failed", where);
        return;
    }
    MPLog("JOINSESSION %s from port %u", where, host::NetLocalAddress(DirectPlayPeer).port);
}

void CloseSession() {
    if (DirectPlayPeer) host::NetClose(DirectPlayPeer);
    HostPlayer = nullptr;
}

void PollDirectPlay() {
    if (DirectPlayPeer) host::NetPoll(DirectPlayPeer);
}

void DirectPlayMessageHandler(void* user, const host::NetEvent& e) {
    (void)user;
    switch (e.kind) {
        case host::NetEventKind::CreatePlayer: PlayerCreated(e.player, e.flags); break;
        case host::NetEventKind::DestroyPlayer: PlayerDestroyed(e.player); break;
        case host::NetEventKind::Receive:
            // A message sent to all comes back to its sender: that copy is not read.
            if (e.player != host::NetLocalPlayer(DirectPlayPeer)) HandleApplMessage(e.data, e.size, e.player);
            break;
        case host::NetEventKind::HostMigrate: HostMigrated(e.player); break;
        case host::NetEventKind::Terminate:
            // The host cut this machine off: the networked game ends here, back at the multiplayer menu.
            MPLog("TERMINATESESSION %s", DPErrorName(e.reason));
            dxgl_Notify("Host has terminated session");
            HostPlayer = nullptr;
            NetworkGameEnded = 1;
            break;
        default: dxgl_Notify("System-message %d", static_cast<int>(e.kind)); break;
    }
}

int32_t ReportDPError(NetResult result) {
    if (result == NetResult::Ok) return 0;
    // A network that fails ends the networked game, not the program.
    MPLog("DirectPlay error %s", DPErrorName(result));
    dxgl_Notify("Reporting a DirectPlay error:\n%s", DPErrorName(result));
    NetworkGameEnded = 1;
    return 1;
}

const char* DPErrorName(NetResult result) {
    const size_t i = static_cast<size_t>(result);
    if (i < std::size(kResultNames)) return kResultNames[i];
    static char text[16];
    snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(i));
    return text;
}
