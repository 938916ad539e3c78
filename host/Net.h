// The network: a peer-to-peer session of players over UDP, in the shape the game's session code expects.
//
// One machine hosts a session; others search for it and join. Every player is connected to every other
// (the host hands a joiner the others' addresses and the joiner connects to each), so a message goes
// straight from its sender to its receivers. The host gives out the player identifiers: never 0 (0 means
// all players) and never used twice in one session. The sender of a received message is the connection
// it came on, never a field of the message. When the host leaves, the remaining player with the lowest
// identifier (the one that joined first) becomes the host; every player reaches the same choice alone.
//
// Nothing runs behind the caller's back: the peer does its network work, and calls its handler, only
// inside the functions below, on the caller's thread (the game polls once per frame). Host, join, search
// and close are synchronous: they wait, with a deadline, until done. Errors come back as results.
//
// Two back ends serve the same functions: UDP (ENet, plus a small request and answer of our own on the
// same socket for the search), and an in-memory network for tests (UseFakeNetwork), on which whole
// sessions of several peers run inside one process with a clock of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

struct NetPeer;      // one machine's end of a session; opaque
struct FakeNetwork;  // an in-memory network for tests; opaque

using NetPlayerId = uint32_t;
constexpr NetPlayerId kNetAllPlayers = 0;  // as a target: every player, the sender included

constexpr uint16_t kNetDefaultPort = 24610;  // where a host listens and a search asks, unless changed
constexpr uint32_t kNetProtocolVersion = 2;  // the layer's own packets; a joiner of another is refused
constexpr int kNetMaxPlayers = 64;           // players of one session, the host included
constexpr int kNetNameSize = 64;             // player and session names, terminator included
constexpr int kNetMaxPlayerData = 256;       // bytes of a player's own data
constexpr int kNetMaxSessionData = 256;      // bytes of the data a host publishes with its session
// Received messages handed to the handler per frame (NetPoll) from one player; what a flooding player
// sends beyond it waits (reliable) or is dropped (unreliable).
constexpr int kNetMessagesPerFrame = 64;
// Reliable messages of one player that may wait for later frames; a player sending more is cut off.
constexpr int kNetBacklog = 256;
constexpr int kNetSearchMs = 1000;  // how long a search gathers answers unless told otherwise
constexpr int kNetJoinMs = 5000;    // how long a join may take unless told otherwise

enum class NetResult {
    Ok,
    InvalidParam,        // a bad argument (no data, an unknown provider or adapter, a name too long)
    InvalidHostAddress,  // the host name typed for a search cannot be resolved
    AlreadyInSession,    // host, join or search while hosting or joined
    NotInSession,        // send or player info without a session
    AddressInUse,        // the port cannot be bound
    NoConnection,        // the host or another player could not be reached
    Timeout,             // the join did not finish in time
    SessionFull,         // refused: the session has its number of players
    InvalidApplication,  // refused: the session is of another application
    InvalidVersion,      // refused: the session speaks another version of the layer
    HostRejected,        // refused: the address is no host, or the host found the join malformed
    InvalidPassword,     // refused: the session has a password and the join named another
    InvalidPlayer,       // no such player in the session
    SendTooLarge,        // a message above the peer's largest message
    Count
};
const char* NetResultName(NetResult result);

// Reliable: delivered once, in the order sent. Unreliable: may be lost; never older after newer.
enum class NetChannel : uint8_t { Reliable = 0, Unreliable = 1 };

// Player flags of a create-player event and of NetPlayerInfo.
constexpr uint32_t kNetPlayerLocal = 0x1;  // the player of this machine
constexpr uint32_t kNetPlayerHost = 0x2;   // the session's host

enum class NetEventKind {
    CreatePlayer,   // player (flags): a player is in the session; the local player's own comes first
    DestroyPlayer,  // player: a player has left (or its connection was lost)
    Receive,        // player = sender; data, size, channel
    HostMigrate,    // player = the new host (after the DestroyPlayer of the old one)
    Terminate,      // the session ended without our closing it (the host cut us off); reason says why
};

struct NetEvent {
    NetEventKind kind;
    NetPlayerId player;
    uint32_t flags;       // CreatePlayer: kNetPlayerLocal, kNetPlayerHost
    const uint8_t* data;  // Receive: valid during the handler call only
    size_t size;
    NetChannel channel;
    NetResult reason;  // Terminate
};

// Called by NetPoll for each event, in order. It may send and read player info; it must not destroy
// the peer. After it closes the session, the remaining events of the poll are dropped.
using NetHandler = void (*)(void* user, const NetEvent& event);

// An IPv4 address and port; ip is a.b.c.d as (a << 24) | (b << 16) | (c << 8) | d.
struct NetAddress {
    uint32_t ip;
    uint16_t port;
};
constexpr uint32_t kNetBroadcast = 0xFFFFFFFFu;
constexpr uint32_t kNetLoopback = 0x7F000001u;

// The one provider the layer offers: IPv4 over UDP, under the identifier the front end looks for.
struct NetProvider {
    uint8_t guid[16];
    char name[kNetNameSize];
};
// A local address to host on: one for all of the machine's addresses, then each IPv4 address it has.
struct NetAdapter {
    uint8_t guid[16];  // made from the address, so it names the same address in every run
    char name[kNetNameSize];
    uint32_t ip;  // 0 for all addresses
};
extern const uint8_t kNetProviderGuid[16];
void NetEnumProviders(std::vector<NetProvider>* out);
// InvalidParam for a provider other than the layer's.
NetResult NetEnumAdapters(const uint8_t provider[16], std::vector<NetAdapter>* out);
// The identifier NetEnumAdapters gives the adapter of an address (0: all addresses).
void NetAdapterOf(uint32_t ip, uint8_t guid[16]);

// The port a host listens on and a search asks (kNetDefaultPort until changed; the game's command line
// changes it for tests). 0 goes back to kNetDefaultPort.
void SetNetDefaultPort(uint16_t port);
uint16_t NetDefaultPort();

struct NetHostDesc {
    uint8_t application[16];  // searchers and joiners must name the same
    uint32_t version = kNetProtocolVersion;
    int maxPlayers = 0;  // the host included; 0: kNetMaxPlayers
    char sessionName[kNetNameSize] = {};
    const uint8_t* sessionData = nullptr;  // published to searchers and joiners (up to kNetMaxSessionData)
    size_t sessionDataSize = 0;
    uint8_t provider[16];  // kNetProviderGuid
    uint8_t adapter[16];   // one of NetEnumAdapters
    uint16_t port = 0;     // 0: NetDefaultPort()
    bool anyPort = false;  // tests: a free port of the system's choosing (NetLocalAddress tells it)
    // Empty: anyone may join; else a joiner must name the same. Searchers are never told it.
    char password[kNetNameSize] = {};
};

struct NetJoinDesc {
    uint8_t application[16];
    uint32_t version = kNetProtocolVersion;
    NetAddress host;  // as a search found it
    int timeoutMs = kNetJoinMs;
    char password[kNetNameSize] = {};  // the session's password, when it has one
};

struct NetSearchDesc {
    uint8_t application[16];
    uint32_t version = kNetProtocolVersion;
    char hostName[kNetNameSize] = {};  // a name or dotted address; empty: broadcast on the local network
    uint16_t port = 0;                 // 0: NetDefaultPort()
    int timeMs = kNetSearchMs;         // answers are gathered for this long
};

// A session that answered a search.
struct NetSessionFound {
    NetAddress address;    // where to join it
    uint8_t instance[16];  // the session's own identifier: a host answering twice is listed once
    char name[kNetNameSize];
    uint32_t maxPlayers;
    uint32_t players;
    std::vector<uint8_t> data;  // the host's published session data
};

struct NetPlayerInfo {
    NetPlayerId id;
    uint32_t flags;  // kNetPlayerLocal, kNetPlayerHost
    char name[kNetNameSize];
    uint8_t data[kNetMaxPlayerData];
    size_t dataSize;
    NetAddress address;  // where this machine reaches the player (0 for the local one)
};

// Counts of what the peer dropped, for tests and the benchmark.
struct NetStats {
    uint64_t delivered;        // Receive events handed to the handler
    uint64_t deferred;         // reliable messages held for a later frame by the per-frame bound
    uint64_t droppedFlood;     // unreliable messages over the per-frame bound
    uint64_t droppedMalformed; // packets of the layer that did not read, or came where they do not belong
    uint64_t cutOff;           // players cut off for flooding
};

// A peer on the UDP network, or on the fake network in use (UseFakeNetwork). maxMessageSize is the largest
// message the caller will send or accept; the network drops anything larger before buffering it.
NetPeer* CreateNetPeer(NetHandler handler, void* user, size_t maxMessageSize);
// Closes the session (NetClose) and frees the peer; null is ignored.
void DestroyNetPeer(NetPeer* peer);

// The local player's name and data, sent to the others when hosting or joining.
NetResult NetSetPlayerInfo(NetPeer* peer, const char* name, const uint8_t* data, size_t size);

// Starts a session with the local player as its host (a CreatePlayer for it, with kNetPlayerHost, is
// queued).
NetResult NetHost(NetPeer* peer, const NetHostDesc& desc);
// Joins the session at desc.host and connects to each of its players; returns when connected to all,
// refused, or out of time. The CreatePlayer events (the local player's, the host's, the others') are
// queued for the next NetPoll.
NetResult NetJoin(NetPeer* peer, const NetJoinDesc& desc);
// Asks for sessions and gathers the answers for desc.timeMs; every host that answers is listed once.
NetResult NetSearch(NetPeer* peer, const NetSearchDesc& desc, std::vector<NetSessionFound>* found);
// Sends to one player or to all (kNetAllPlayers; the sender gets its own copy like any other player).
NetResult NetSend(NetPeer* peer, NetPlayerId to, const void* data, size_t size, NetChannel channel);
NetResult NetGetPlayerInfo(NetPeer* peer, NetPlayerId player, NetPlayerInfo* out);
// Leaves the session: the others are told, events not yet polled are dropped. Ok without a session.
NetResult NetClose(NetPeer* peer);
// Does the network's work of this frame and hands the events to the handler: at most
// kNetMessagesPerFrame received messages per player.
void NetPoll(NetPeer* peer);

bool NetInSession(const NetPeer* peer);
bool NetIsHost(const NetPeer* peer);
NetPlayerId NetLocalPlayer(const NetPeer* peer);  // 0 without a session
NetPlayerId NetHostPlayer(const NetPeer* peer);   // 0 without a session
// The address and port the peer's socket is bound to (port 0 while it has none).
NetAddress NetLocalAddress(const NetPeer* peer);
NetStats NetGetStats(const NetPeer* peer);
// The largest packet the network carries for this peer (its largest message and the layer's framing).
size_t NetMaxPacketSize(const NetPeer* peer);

// The fake network. While one is in use, CreateNetPeer makes peers on it: each gets an address of its
// own (10.0.0.n), messages arrive at once and in order, and time passes only while a peer waits (a join,
// a search, a close), so that timeouts cost no real time.
FakeNetwork* CreateFakeNetwork();
void DestroyFakeNetwork(FakeNetwork* net);  // its peers must be destroyed first
void UseFakeNetwork(FakeNetwork* net);      // null: back to UDP
// Cuts the peer off the network without a word, as a crash or a pulled cable would: the others see its
// connections drop.
void FakeNetworkDrop(FakeNetwork* net, NetPeer* peer);
uint32_t FakeNetworkNowMs(const FakeNetwork* net);

// "a.b.c.d:port" into text (at least 22 bytes).
void NetAddressText(const NetAddress& address, char* text, size_t size);

}  // namespace host
