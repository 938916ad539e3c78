// What the network's files share: the transport beneath the session (ENet on UDP, or the fake network)
// and the peer's session state.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "host/Net.h"
#include "host/NetWire.h"

namespace host {

// What the transport reports.
enum class TransportEventKind {
    Connected,     // conn: a connection we asked for is up, or another machine connected to us
    Disconnected,  // conn, reason: a connection ended (reason: the other side's netwire::Reason, 0 when lost)
    Received,      // conn, channel, data: a packet of a connection
    Datagram,      // from, data: a search datagram
};

struct TransportEvent {
    TransportEventKind kind;
    uint32_t conn;
    uint32_t reason;
    uint8_t channel;
    NetAddress from;
    const uint8_t* data;  // valid until the next call of the transport
    size_t size;
};

// Connections with their reliable and unreliable channels, and loose datagrams, on one socket.
class Transport {
public:
    virtual ~Transport() = default;
    // Binds the socket (ip 0: every address; anyPort: a free port). maxPacket: larger packets are
    // refused on sending and dropped on receiving.
    virtual NetResult Open(uint32_t ip, uint16_t port, bool anyPort, size_t maxPacket) = 0;
    // Drops every connection at once (the others see them lost) and unbinds.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual NetAddress LocalAddress() const = 0;
    // Starts a connection; a Connected or Disconnected event follows. 0 when none can be started.
    virtual uint32_t Connect(const NetAddress& to) = 0;
    virtual bool Send(uint32_t conn, NetChannel channel, const uint8_t* data, size_t size) = 0;
    // Ends a connection with a reason the other side receives; no event follows for it here. A connection
    // ended as Leaving first delivers what was sent on it (as far as the close's wait allows).
    virtual void Disconnect(uint32_t conn, uint32_t reason) = 0;
    virtual NetAddress RemoteAddress(uint32_t conn) const = 0;
    virtual bool SendDatagram(const NetAddress& to, const uint8_t* data, size_t size) = 0;
    // The next event, waiting up to waitMs for one; false when none came.
    virtual bool Next(TransportEvent* event, uint32_t waitMs) = 0;
    // Sends what is queued.
    virtual void Flush() = 0;
    virtual uint32_t NowMs() const = 0;
    // A host name or dotted address; false when it cannot be resolved.
    virtual bool Resolve(const char* name, uint32_t* ip) = 0;
};

std::unique_ptr<Transport> CreateUdpTransport();
// A transport on the fake network, owned by the peer (which the network pumps while another waits).
std::unique_ptr<Transport> CreateFakeTransport(FakeNetwork* net, NetPeer* owner);
// The fake network in use, or null.
FakeNetwork* CurrentFakeNetwork();

// A player as this machine knows it.
struct NetPlayerEntry {
    NetPlayerId id;
    char name[kNetNameSize];
    uint8_t data[kNetMaxPlayerData];
    uint16_t dataSize;
    NetAddress address;  // where this machine reaches it
    uint32_t conn;       // its connection once established, 0 before (and for the local player)
    bool local;
    int deliveredThisFrame;
    int waiting;  // its received messages queued and not yet handed out
};

enum class LinkState {
    Connecting,    // we asked for the connection; no Connected yet
    AwaitHello,    // another machine connected to us; its hello has not come
    AwaitWelcome,  // joining: our hello went to the host
    AwaitAccept,   // joining: our hello went to a player
    Player,        // the connection of a player
};

struct NetLink {
    uint32_t conn;
    LinkState state;
    NetPlayerId player;  // Player, AwaitAccept (the one we connect to), AwaitHello with a held hello
    uint32_t since;      // ms
    bool heldHello;      // a MeshHello for a player not yet announced: taken when the announcement comes
};

struct QueuedEvent {
    NetEventKind kind;
    NetPlayerId player;
    uint32_t flags;
    NetChannel channel;
    NetResult reason;
    std::vector<uint8_t> data;
};

enum class NetPhase { Idle, Joining, InSession };

struct NetPeer {
    NetHandler handler;
    void* user;
    size_t maxMessage;
    std::unique_ptr<Transport> transport;
    FakeNetwork* fake;  // the network it was made on, or null for UDP

    char myName[kNetNameSize];
    uint8_t myData[kNetMaxPlayerData];
    uint16_t myDataSize;

    NetPhase phase;
    bool isHost;
    NetPlayerId self, host, nextId;
    uint8_t application[16];
    uint32_t version;
    uint8_t instance[16];
    uint32_t maxPlayers;
    char sessionName[kNetNameSize];
    char password[kNetNameSize];  // the session's; empty for none
    uint8_t sessionData[kNetMaxSessionData];
    uint16_t sessionDataSize;

    std::vector<NetPlayerEntry> players;  // the local player first
    std::vector<NetLink> links;
    std::deque<QueuedEvent> events;
    uint32_t generation;  // raised by every close: a poll stops handing out events of an older session

    // Joining: the players the host said follow its welcome, how many were announced and accepted.
    uint32_t joinExpected, joinAnnounced, joinAccepted;
    bool welcomed;
    NetResult joinFailure;
    // Searching: the nonce of the running search and where its answers go.
    uint32_t searchNonce;
    std::vector<NetSessionFound>* searchFound;

    NetStats stats;
    bool pumping;
    std::vector<uint8_t> scratch;
};

// Takes the transport's events (the protocol's work) without calling the handler; waits up to waitMs
// for the first. The fake network runs this for the other peers while one waits.
void PumpNetPeer(NetPeer* peer, uint32_t waitMs);
// Hands one transport event to the peer as if its transport had reported it (the fuzz harnesses).
void FeedNetPeer(NetPeer* peer, const TransportEvent& event);

// The synchronous join and search in their steps: NetJoin starts, pumps until NetJoinDone or its time is
// up, and ends (a join that is not done by then fails, and everything it started is undone); NetSearch
// starts, asks and pumps for its time, and ends.
NetResult StartNetJoin(NetPeer* peer, const NetJoinDesc& desc);
bool NetJoinDone(const NetPeer* peer);
NetResult EndNetJoin(NetPeer* peer, NetResult result);
NetResult StartNetSearch(NetPeer* peer, const NetSearchDesc& desc, std::vector<NetSessionFound>* found,
                         NetAddress* target);
void EndNetSearch(NetPeer* peer);

}  // namespace host
