// The session of peers over a transport: hosting, joining, the connections between all players, the
// player identifiers, the host's hand-over, the search's answers, and the events handed to the handler.
#include "host/Net.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>

#include "host/Net_local.h"

namespace host {

namespace {

using netwire::Kind;
using netwire::Reason;

constexpr uint32_t kHelloWaitMs = 5000;   // an incoming connection must say who it is within this
constexpr uint32_t kSearchResendMs = 250;  // a search asks again (datagrams get lost)
constexpr uint32_t kWaitStepMs = 10;       // the synchronous calls wait on the network in steps of this
constexpr size_t kPumpSlack = 64;          // transport events per pump beyond the players' bounds

uint16_t g_defaultPort = kNetDefaultPort;

const char* const kResultNames[] = {
    "Ok",           "InvalidParam",       "InvalidHostAddress", "AlreadyInSession", "NotInSession",
    "AddressInUse", "NoConnection",       "Timeout",            "SessionFull",      "InvalidApplication",
    "InvalidVersion", "HostRejected",     "InvalidPassword",    "InvalidPlayer",    "SendTooLarge",
};
static_assert(std::size(kResultNames) == static_cast<size_t>(NetResult::Count));

uint32_t RandomWord() {
    thread_local std::mt19937 rng{std::random_device{}()};
    return static_cast<uint32_t>(rng());
}

void CopyName(char* out, const char* in) { snprintf(out, kNetNameSize, "%s", in ? in : ""); }

bool IsLoopback(uint32_t ip) { return (ip >> 24) == 127; }

uint32_t Now(const NetPeer* p) { return p->transport->NowMs(); }

NetPlayerEntry* FindPlayer(NetPeer* p, NetPlayerId id) {
    for (NetPlayerEntry& e : p->players)
        if (e.id == id) return &e;
    return nullptr;
}

NetLink* FindLink(NetPeer* p, uint32_t conn) {
    for (NetLink& l : p->links)
        if (l.conn == conn) return &l;
    return nullptr;
}

void EraseLink(NetPeer* p, uint32_t conn) {
    std::erase_if(p->links, [conn](const NetLink& l) { return l.conn == conn; });
}

void Queue(NetPeer* p, NetEventKind kind, NetPlayerId player, uint32_t flags = 0,
           NetResult reason = NetResult::Ok) {
    QueuedEvent e{};
    e.kind = kind;
    e.player = player;
    e.flags = flags;
    e.reason = reason;
    p->events.push_back(std::move(e));
}

void SendControl(NetPeer* p, uint32_t conn) {
    p->transport->Send(conn, NetChannel::Reliable, p->scratch.data(), p->scratch.size());
}

// Ends a connection that is no player's (yet) and forgets it.
void Refuse(NetPeer* p, uint32_t conn, Reason reason) {
    p->transport->Disconnect(conn, static_cast<uint32_t>(reason));
    EraseLink(p, conn);
}

NetPlayerEntry MakeEntry(NetPlayerId id, const char* name, const uint8_t* data, uint16_t size) {
    NetPlayerEntry e{};
    e.id = id;
    CopyName(e.name, name);
    e.dataSize = std::min<uint16_t>(size, kNetMaxPlayerData);
    if (e.dataSize) memcpy(e.data, data, e.dataSize);
    return e;
}

NetPlayerEntry LocalEntry(const NetPeer* p, NetPlayerId id) {
    NetPlayerEntry e = MakeEntry(id, p->myName, p->myData, p->myDataSize);
    e.local = true;
    return e;
}

// Forgets the session: players, connections (already ended by the caller) and the events not yet polled.
void ResetSession(NetPeer* p) {
    p->players.clear();
    p->links.clear();
    p->events.clear();
    p->phase = NetPhase::Idle;
    p->isHost = false;
    p->self = p->host = p->nextId = 0;
    p->welcomed = false;
    p->joinExpected = p->joinAnnounced = p->joinAccepted = 0;
    p->joinFailure = NetResult::Ok;
    ++p->generation;
}

NetResult ReasonResult(uint32_t reason) {
    switch (static_cast<Reason>(reason)) {
        case Reason::Full: return NetResult::SessionFull;
        case Reason::Application: return NetResult::InvalidApplication;
        case Reason::Version: return NetResult::InvalidVersion;
        case Reason::Password: return NetResult::InvalidPassword;
        case Reason::NotHost:
        case Reason::Protocol:
        case Reason::Flood: return NetResult::HostRejected;
        default: return NetResult::NoConnection;
    }
}

void JoinFail(NetPeer* p, NetResult result) {
    if (p->phase == NetPhase::Joining && p->joinFailure == NetResult::Ok) p->joinFailure = result;
}

// ---- the players of a session ------------------------------------------------------------------------

// The address of a player as another player should use it: a player on the host's own machine, seen by
// the host on the loopback address, is reached by others at the host's address (sent as 0).
netwire::Announce AnnounceOf(NetPeer* p, const NetPlayerEntry& about, uint32_t receiverConn) {
    netwire::Announce a{};
    a.id = about.id;
    a.ip = about.address.ip;
    if (IsLoopback(a.ip) && !IsLoopback(p->transport->RemoteAddress(receiverConn).ip)) a.ip = 0;
    a.port = about.address.port;
    CopyName(a.name, about.name);
    a.dataSize = about.dataSize;
    memcpy(a.data, about.data, about.dataSize);
    a.nextId = p->nextId;
    return a;
}

void Migrate(NetPeer* p) {
    // Players announced by the old host and not yet connected go with it: their joins cannot finish.
    std::erase_if(p->players, [](const NetPlayerEntry& e) { return !e.local && e.conn == 0; });
    NetPlayerId next = 0, highest = 0;
    for (const NetPlayerEntry& e : p->players) {
        if (next == 0 || e.id < next) next = e.id;
        highest = std::max(highest, e.id);
    }
    p->host = next;
    if (next == p->self) {
        p->isHost = true;
        p->nextId = std::max(p->nextId, highest + 1);
    }
    Queue(p, NetEventKind::HostMigrate, next);
}

// The host ended our connection on purpose: the session is over for us.
void Terminate(NetPeer* p, NetResult reason) {
    for (const NetPlayerEntry& e : p->players) {
        if (e.local || !e.conn) continue;
        p->transport->Disconnect(e.conn, static_cast<uint32_t>(Reason::Leaving));
        Queue(p, NetEventKind::DestroyPlayer, e.id);
    }
    Queue(p, NetEventKind::Terminate, 0, 0, reason);
    std::deque<QueuedEvent> keep;
    keep.swap(p->events);
    ResetSession(p);
    p->events.swap(keep);
}

// A player's connection has ended (or it was reported gone): it leaves the session.
void PlayerLost(NetPeer* p, NetPlayerId id, uint32_t reason) {
    auto it = std::find_if(p->players.begin(), p->players.end(),
                           [id](const NetPlayerEntry& e) { return e.id == id && !e.local; });
    if (it == p->players.end()) return;
    const bool established = it->conn != 0;
    p->players.erase(it);
    if (!established) return;  // announced only: no create-player was given for it
    Queue(p, NetEventKind::DestroyPlayer, id);
    if (p->isHost) {
        netwire::Encode(netwire::PlayerGone{id}, &p->scratch);
        for (const NetPlayerEntry& e : p->players)
            if (e.conn) SendControl(p, e.conn);
    }
    if (id != p->host) return;
    if (p->phase == NetPhase::Joining) {
        JoinFail(p, NetResult::NoConnection);
        return;
    }
    const Reason why = static_cast<Reason>(reason);
    if (why == Reason::Protocol || why == Reason::Flood || why == Reason::NotHost)
        Terminate(p, NetResult::HostRejected);
    else
        Migrate(p);
}

// ---- packets ------------------------------------------------------------------------------------------

void OnHello(NetPeer* p, uint32_t conn, const uint8_t* data, size_t size) {
    netwire::Hello h;
    if (!netwire::Decode(data, size, &h)) {
        ++p->stats.droppedMalformed;
        return Refuse(p, conn, Reason::Protocol);
    }
    if (p->phase != NetPhase::InSession || !p->isHost) return Refuse(p, conn, Reason::NotHost);
    if (memcmp(h.application, p->application, 16) != 0) return Refuse(p, conn, Reason::Application);
    if (h.version != p->version) return Refuse(p, conn, Reason::Version);
    if (strcmp(h.password, p->password) != 0) return Refuse(p, conn, Reason::Password);
    if (p->players.size() >= p->maxPlayers) return Refuse(p, conn, Reason::Full);

    NetPlayerEntry joiner = MakeEntry(p->nextId++, h.name, h.data, h.dataSize);
    joiner.address = p->transport->RemoteAddress(conn);
    joiner.conn = conn;
    NetLink* link = FindLink(p, conn);
    link->state = LinkState::Player;
    link->player = joiner.id;

    netwire::Welcome w{};
    w.yourId = joiner.id;
    w.hostId = p->self;
    w.nextId = p->nextId;
    memcpy(w.instance, p->instance, 16);
    w.maxPlayers = p->maxPlayers;
    CopyName(w.sessionName, p->sessionName);
    w.sessionDataSize = p->sessionDataSize;
    memcpy(w.sessionData, p->sessionData, p->sessionDataSize);
    CopyName(w.hostName, p->myName);
    w.hostDataSize = p->myDataSize;
    memcpy(w.hostData, p->myData, p->myDataSize);
    for (const NetPlayerEntry& e : p->players) w.players += e.conn != 0;
    netwire::Encode(w, &p->scratch);
    SendControl(p, conn);
    // The joiner gets every player's address, and every player the joiner's.
    for (const NetPlayerEntry& e : p->players) {
        if (!e.conn) continue;
        netwire::Encode(AnnounceOf(p, e, conn), &p->scratch);
        SendControl(p, conn);
        netwire::Encode(AnnounceOf(p, joiner, e.conn), &p->scratch);
        SendControl(p, e.conn);
    }
    p->players.push_back(joiner);
    Queue(p, NetEventKind::CreatePlayer, joiner.id);
}

// Takes a connection whose hello named an announced player.
void AcceptMesh(NetPeer* p, uint32_t conn, NetPlayerEntry* e) {
    NetLink* link = FindLink(p, conn);
    link->state = LinkState::Player;
    link->player = e->id;
    link->heldHello = false;
    e->conn = conn;
    netwire::Encode(netwire::MeshAccept{p->self}, &p->scratch);
    SendControl(p, conn);
    Queue(p, NetEventKind::CreatePlayer, e->id);
}

void OnMeshHello(NetPeer* p, uint32_t conn, const uint8_t* data, size_t size) {
    netwire::MeshHello m;
    if (!netwire::Decode(data, size, &m) || m.id == 0) {
        ++p->stats.droppedMalformed;
        return Refuse(p, conn, Reason::Protocol);
    }
    if (p->phase == NetPhase::Idle || (p->phase == NetPhase::Joining && !p->welcomed))
        return Refuse(p, conn, Reason::NotHost);
    if (memcmp(m.application, p->application, 16) != 0) return Refuse(p, conn, Reason::Application);
    if (m.version != p->version) return Refuse(p, conn, Reason::Version);
    if (memcmp(m.instance, p->instance, 16) != 0) return Refuse(p, conn, Reason::NotHost);
    NetPlayerEntry* e = FindPlayer(p, m.id);
    if (e && (e->local || e->conn != 0)) return Refuse(p, conn, Reason::Protocol);
    if (e) return AcceptMesh(p, conn, e);
    // Not announced yet: the host's word may still be on its way. The hello waits for it (as long as an
    // incoming connection may wait for its hello).
    NetLink* link = FindLink(p, conn);
    link->heldHello = true;
    link->player = m.id;
}

void OnWelcome(NetPeer* p, NetLink* link, const uint8_t* data, size_t size) {
    netwire::Welcome w;
    const bool ok = netwire::Decode(data, size, &w) && w.yourId != 0 && w.hostId != 0 && w.yourId != w.hostId &&
                    w.nextId > std::max(w.yourId, w.hostId) && w.players <= kNetMaxPlayers - 2 &&
                    w.maxPlayers <= kNetMaxPlayers;
    if (!ok) {
        ++p->stats.droppedMalformed;
        JoinFail(p, NetResult::HostRejected);
        return Refuse(p, link->conn, Reason::Protocol);
    }
    p->self = w.yourId;
    p->host = w.hostId;
    p->nextId = w.nextId;
    memcpy(p->instance, w.instance, 16);
    p->maxPlayers = w.maxPlayers;
    CopyName(p->sessionName, w.sessionName);
    p->sessionDataSize = w.sessionDataSize;
    memcpy(p->sessionData, w.sessionData, w.sessionDataSize);
    p->players.clear();
    p->players.push_back(LocalEntry(p, p->self));
    NetPlayerEntry host = MakeEntry(w.hostId, w.hostName, w.hostData, w.hostDataSize);
    host.address = p->transport->RemoteAddress(link->conn);
    host.conn = link->conn;
    p->players.push_back(host);
    link->state = LinkState::Player;
    link->player = w.hostId;
    p->welcomed = true;
    p->joinExpected = w.players;
    Queue(p, NetEventKind::CreatePlayer, p->self, kNetPlayerLocal);
    Queue(p, NetEventKind::CreatePlayer, w.hostId, kNetPlayerHost);
}

void OnAnnounce(NetPeer* p, uint32_t conn, const uint8_t* data, size_t size) {
    netwire::Announce a;
    if (!netwire::Decode(data, size, &a) || a.id == 0 || FindPlayer(p, a.id) || a.port == 0) {
        ++p->stats.droppedMalformed;
        return;
    }
    p->nextId = std::max({p->nextId, a.nextId, a.id + 1});
    NetPlayerEntry e = MakeEntry(a.id, a.name, a.data, a.dataSize);
    e.address = {a.ip ? a.ip : p->transport->RemoteAddress(conn).ip, a.port};
    p->players.push_back(e);
    if (p->phase == NetPhase::Joining && p->joinAnnounced < p->joinExpected) {
        // One of the players already in the session: we connect to it.
        ++p->joinAnnounced;
        const uint32_t c = p->transport->Connect(e.address);
        if (!c) return JoinFail(p, NetResult::NoConnection);
        p->links.push_back({c, LinkState::Connecting, a.id, Now(p), false});
        return;
    }
    // A newer joiner: it connects to us. Its hello may already be here.
    for (NetLink& l : p->links)
        if (l.state == LinkState::AwaitHello && l.heldHello && l.player == a.id)
            return AcceptMesh(p, l.conn, FindPlayer(p, a.id));
}

void OnMeshAccept(NetPeer* p, NetLink* link, const uint8_t* data, size_t size) {
    netwire::MeshAccept m;
    NetPlayerEntry* e = nullptr;
    if (!netwire::Decode(data, size, &m) || m.id != link->player || !(e = FindPlayer(p, m.id))) {
        ++p->stats.droppedMalformed;
        JoinFail(p, NetResult::HostRejected);
        return Refuse(p, link->conn, Reason::Protocol);
    }
    link->state = LinkState::Player;
    e->conn = link->conn;
    ++p->joinAccepted;
    Queue(p, NetEventKind::CreatePlayer, e->id);
}

void OnPlayerGone(NetPeer* p, const NetLink& link, const uint8_t* data, size_t size) {
    netwire::PlayerGone g;
    if (!netwire::Decode(data, size, &g) || link.player != p->host || g.id == p->self) {
        ++p->stats.droppedMalformed;
        return;
    }
    NetPlayerEntry* e = FindPlayer(p, g.id);
    if (!e) return;
    if (e->conn) {
        const uint32_t conn = e->conn;
        p->transport->Disconnect(conn, static_cast<uint32_t>(Reason::Leaving));
        EraseLink(p, conn);
    }
    PlayerLost(p, g.id, static_cast<uint32_t>(Reason::Leaving));
}

// Cuts off a player that sends more reliable messages than can wait for the handler.
void CutOff(NetPeer* p, NetPlayerId id) {
    NetPlayerEntry* e = FindPlayer(p, id);
    if (!e || e->local) return;
    const uint32_t conn = e->conn;
    ++p->stats.cutOff;
    p->transport->Disconnect(conn, static_cast<uint32_t>(Reason::Flood));
    EraseLink(p, conn);
    PlayerLost(p, id, static_cast<uint32_t>(Reason::Flood));
}

void OnApp(NetPeer* p, NetPlayerId from, NetChannel channel, const uint8_t* data, size_t size) {
    NetPlayerEntry* e = FindPlayer(p, from);
    if (!e || size == 0 || size > p->maxMessage) {
        ++p->stats.droppedMalformed;
        return;
    }
    if (e->waiting >= kNetBacklog) {
        if (channel == NetChannel::Unreliable) {
            ++p->stats.droppedFlood;
            return;
        }
        return CutOff(p, from);
    }
    ++e->waiting;
    QueuedEvent q{};
    q.kind = NetEventKind::Receive;
    q.player = from;
    q.channel = channel;
    q.data.assign(data, data + size);
    p->events.push_back(std::move(q));
}

void OnReceived(NetPeer* p, const TransportEvent& ev) {
    NetLink* link = FindLink(p, ev.conn);
    if (!link || ev.size == 0) {
        ++p->stats.droppedMalformed;
        return;
    }
    const NetChannel channel = ev.channel == 0 ? NetChannel::Reliable : NetChannel::Unreliable;
    const Kind kind = static_cast<Kind>(ev.data[0]);
    if (kind == Kind::App || channel == NetChannel::Unreliable) {
        if (kind != Kind::App || link->state != LinkState::Player) {
            ++p->stats.droppedMalformed;
            return;
        }
        return OnApp(p, link->player, channel, ev.data + 1, ev.size - 1);
    }
    // Each control packet belongs to one state of its connection.
    const LinkState state = link->state;
    bool fits = false;
    switch (kind) {
        case Kind::Hello:
            if ((fits = state == LinkState::AwaitHello && !link->heldHello)) OnHello(p, ev.conn, ev.data, ev.size);
            break;
        case Kind::MeshHello:
            if ((fits = state == LinkState::AwaitHello && !link->heldHello)) OnMeshHello(p, ev.conn, ev.data, ev.size);
            break;
        case Kind::Welcome:
            if ((fits = state == LinkState::AwaitWelcome)) OnWelcome(p, link, ev.data, ev.size);
            break;
        case Kind::MeshAccept:
            if ((fits = state == LinkState::AwaitAccept)) OnMeshAccept(p, link, ev.data, ev.size);
            break;
        case Kind::Announce:
            if ((fits = state == LinkState::Player && link->player == p->host)) OnAnnounce(p, ev.conn, ev.data, ev.size);
            break;
        case Kind::PlayerGone:
            if ((fits = state == LinkState::Player)) OnPlayerGone(p, *link, ev.data, ev.size);
            break;
        default: break;
    }
    if (fits) return;
    ++p->stats.droppedMalformed;
    // A connection that is no player yet and says something out of place is ended; a player's stray
    // packet is only dropped.
    if (state != LinkState::Player) {
        if (state == LinkState::AwaitWelcome || state == LinkState::AwaitAccept) JoinFail(p, NetResult::HostRejected);
        Refuse(p, ev.conn, Reason::Protocol);
    }
}

void OnConnected(NetPeer* p, uint32_t conn) {
    NetLink* link = FindLink(p, conn);
    if (!link) {
        // Another machine connects: it has a while to say who it is.
        p->links.push_back({conn, LinkState::AwaitHello, 0, Now(p), false});
        return;
    }
    if (link->state != LinkState::Connecting) return;
    if (link->player == 0) {
        // Our connection to the host: ask to join.
        netwire::Hello h{};
        h.version = p->version;
        memcpy(h.application, p->application, 16);
        CopyName(h.name, p->myName);
        h.dataSize = p->myDataSize;
        memcpy(h.data, p->myData, p->myDataSize);
        CopyName(h.password, p->password);
        netwire::Encode(h, &p->scratch);
        link->state = LinkState::AwaitWelcome;
    } else {
        netwire::MeshHello m{};
        m.version = p->version;
        memcpy(m.application, p->application, 16);
        memcpy(m.instance, p->instance, 16);
        m.id = p->self;
        netwire::Encode(m, &p->scratch);
        link->state = LinkState::AwaitAccept;
    }
    SendControl(p, conn);
}

void OnDisconnected(NetPeer* p, uint32_t conn, uint32_t reason) {
    NetLink* link = FindLink(p, conn);
    if (!link) return;  // one we ended ourselves
    const NetLink was = *link;
    EraseLink(p, conn);
    if (was.state == LinkState::Player) return PlayerLost(p, was.player, reason);
    // A connection of our join (to the host or to a player) that ends before it is taken fails the join.
    if (was.state != LinkState::AwaitHello) JoinFail(p, ReasonResult(reason));
}

void OnDatagram(NetPeer* p, const TransportEvent& ev) {
    if (!netwire::IsSearchDatagram(ev.data, ev.size)) {
        ++p->stats.droppedMalformed;
        return;
    }
    netwire::SearchRequest req;
    if (netwire::Decode(ev.data, ev.size, &req)) {
        if (p->phase != NetPhase::InSession || !p->isHost || req.version != p->version ||
            memcmp(req.application, p->application, 16) != 0)
            return;
        netwire::SearchAnswer a{};
        a.version = p->version;
        memcpy(a.application, p->application, 16);
        a.nonce = req.nonce;
        memcpy(a.instance, p->instance, 16);
        a.maxPlayers = p->maxPlayers;
        a.players = static_cast<uint32_t>(p->players.size());
        CopyName(a.name, p->sessionName);
        a.dataSize = p->sessionDataSize;
        memcpy(a.data, p->sessionData, p->sessionDataSize);
        netwire::Encode(a, &p->scratch);
        p->transport->SendDatagram(ev.from, p->scratch.data(), p->scratch.size());
        return;
    }
    netwire::SearchAnswer ans;
    if (!netwire::Decode(ev.data, ev.size, &ans)) {
        ++p->stats.droppedMalformed;
        return;
    }
    if (!p->searchFound || ans.nonce != p->searchNonce || ans.version != p->version ||
        memcmp(ans.application, p->application, 16) != 0)
        return;
    for (const NetSessionFound& f : *p->searchFound)
        if (memcmp(f.instance, ans.instance, 16) == 0) return;
    NetSessionFound f{};
    f.address = ev.from;
    memcpy(f.instance, ans.instance, 16);
    CopyName(f.name, ans.name);
    f.maxPlayers = ans.maxPlayers;
    f.players = ans.players;
    f.data.assign(ans.data, ans.data + ans.dataSize);
    p->searchFound->push_back(std::move(f));
}

void Handle(NetPeer* p, const TransportEvent& ev) {
    switch (ev.kind) {
        case TransportEventKind::Connected: OnConnected(p, ev.conn); break;
        case TransportEventKind::Disconnected: OnDisconnected(p, ev.conn, ev.reason); break;
        case TransportEventKind::Received: OnReceived(p, ev); break;
        case TransportEventKind::Datagram: OnDatagram(p, ev); break;
    }
}

// Connections that never said who they are are ended.
void Housekeeping(NetPeer* p) {
    const uint32_t now = Now(p);
    std::vector<uint32_t> late;
    for (const NetLink& l : p->links)
        if (l.state == LinkState::AwaitHello && now - l.since > kHelloWaitMs) late.push_back(l.conn);
    for (uint32_t conn : late) Refuse(p, conn, Reason::Protocol);
}

// Opens the transport for a search or a join unless it is open: on the default port when it is free
// (so that a later host of the session listens where searches ask), else on any.
NetResult EnsureOpen(NetPeer* p) {
    if (p->transport->IsOpen()) return NetResult::Ok;
    const size_t packet = NetMaxPacketSize(p);
    if (p->transport->Open(0, g_defaultPort, false, packet) == NetResult::Ok) return NetResult::Ok;
    return p->transport->Open(0, 0, true, packet);
}

// Hands out the queued events: receives up to the per-frame bound of each player, reliable ones over it
// kept for the next frame, unreliable ones dropped.
void Deliver(NetPeer* p) {
    for (NetPlayerEntry& e : p->players) e.deliveredThisFrame = 0;
    std::deque<QueuedEvent> batch, later;
    batch.swap(p->events);
    const uint32_t generation = p->generation;
    while (!batch.empty()) {
        QueuedEvent q = std::move(batch.front());
        batch.pop_front();
        if (q.kind == NetEventKind::Receive) {
            NetPlayerEntry* e = FindPlayer(p, q.player);
            if (e && e->deliveredThisFrame >= kNetMessagesPerFrame) {
                if (q.channel == NetChannel::Reliable) {
                    ++p->stats.deferred;
                    later.push_back(std::move(q));
                } else {
                    --e->waiting;
                    ++p->stats.droppedFlood;
                }
                continue;
            }
            if (e) {
                ++e->deliveredThisFrame;
                --e->waiting;
            }
            ++p->stats.delivered;
        } else if (q.kind == NetEventKind::DestroyPlayer) {
            const NetPlayerId gone = q.player;
            std::erase_if(later, [gone](const QueuedEvent& l) { return l.player == gone; });
        }
        NetEvent ev{};
        ev.kind = q.kind;
        ev.player = q.player;
        ev.flags = q.flags;
        ev.data = q.data.data();
        ev.size = q.data.size();
        ev.channel = q.channel;
        ev.reason = q.reason;
        if (p->handler) p->handler(p->user, ev);
        if (p->generation != generation) return;  // the handler closed the session
    }
    // What waits goes before what the handler queued meanwhile.
    for (QueuedEvent& q : p->events) later.push_back(std::move(q));
    p->events.swap(later);
}

}  // namespace

// ---- the transport's events -------------------------------------------------------------------------

void PumpNetPeer(NetPeer* p, uint32_t waitMs) {
    if (p->pumping || !p->transport->IsOpen()) return;
    p->pumping = true;
    const size_t cap = kNetMessagesPerFrame * (p->players.size() + 1) + kPumpSlack;
    TransportEvent ev;
    uint32_t wait = waitMs;
    for (size_t n = 0; n < cap && p->transport->IsOpen() && p->transport->Next(&ev, wait); ++n) {
        wait = 0;
        Handle(p, ev);
    }
    if (p->transport->IsOpen()) Housekeeping(p);
    p->pumping = false;
}

void FeedNetPeer(NetPeer* p, const TransportEvent& event) { Handle(p, event); }

// ---- the interface -----------------------------------------------------------------------------------

const char* NetResultName(NetResult result) {
    const size_t i = static_cast<size_t>(result);
    return i < std::size(kResultNames) ? kResultNames[i] : "?";
}

void SetNetDefaultPort(uint16_t port) { g_defaultPort = port ? port : kNetDefaultPort; }
uint16_t NetDefaultPort() { return g_defaultPort; }

NetPeer* CreateNetPeer(NetHandler handler, void* user, size_t maxMessageSize) {
    NetPeer* p = new NetPeer{};
    p->handler = handler;
    p->user = user;
    p->maxMessage = std::max<size_t>(maxMessageSize, 1);
    p->fake = CurrentFakeNetwork();
    p->transport = p->fake ? CreateFakeTransport(p->fake, p) : CreateUdpTransport();
    ResetSession(p);
    return p;
}

void DestroyNetPeer(NetPeer* p) {
    if (!p) return;
    NetClose(p);
    p->transport.reset();
    delete p;
}

NetResult NetSetPlayerInfo(NetPeer* p, const char* name, const uint8_t* data, size_t size) {
    if (size > kNetMaxPlayerData || (size && !data)) return NetResult::InvalidParam;
    CopyName(p->myName, name);
    p->myDataSize = static_cast<uint16_t>(size);
    if (size) memcpy(p->myData, data, size);
    return NetResult::Ok;
}

NetResult NetHost(NetPeer* p, const NetHostDesc& desc) {
    if (p->phase != NetPhase::Idle) return NetResult::AlreadyInSession;
    std::vector<NetAdapter> adapters;
    if (NetEnumAdapters(desc.provider, &adapters) != NetResult::Ok) return NetResult::InvalidParam;
    const NetAdapter* adapter = nullptr;
    for (const NetAdapter& a : adapters)
        if (memcmp(a.guid, desc.adapter, 16) == 0) adapter = &a;
    if (!adapter || desc.maxPlayers < 0 || desc.maxPlayers > kNetMaxPlayers ||
        desc.sessionDataSize > kNetMaxSessionData || (desc.sessionDataSize && !desc.sessionData))
        return NetResult::InvalidParam;
    // The socket may be bound from a search: a host binds where it was told.
    p->transport->Close();
    const NetResult opened =
        p->transport->Open(adapter->ip, desc.port ? desc.port : g_defaultPort, desc.anyPort, NetMaxPacketSize(p));
    if (opened != NetResult::Ok) return opened;
    ResetSession(p);
    p->isHost = true;
    p->self = p->host = 1;
    p->nextId = 2;
    memcpy(p->application, desc.application, 16);
    p->version = desc.version;
    for (int i = 0; i < 4; ++i) {
        const uint32_t w = RandomWord();
        memcpy(p->instance + 4 * i, &w, 4);
    }
    p->maxPlayers = desc.maxPlayers ? desc.maxPlayers : kNetMaxPlayers;
    CopyName(p->sessionName, desc.sessionName);
    CopyName(p->password, desc.password);
    p->sessionDataSize = static_cast<uint16_t>(desc.sessionDataSize);
    if (desc.sessionDataSize) memcpy(p->sessionData, desc.sessionData, desc.sessionDataSize);
    p->players.push_back(LocalEntry(p, p->self));
    p->phase = NetPhase::InSession;
    Queue(p, NetEventKind::CreatePlayer, p->self, kNetPlayerLocal | kNetPlayerHost);
    return NetResult::Ok;
}

NetResult StartNetJoin(NetPeer* p, const NetJoinDesc& desc) {
    if (p->phase != NetPhase::Idle) return NetResult::AlreadyInSession;
    const NetResult opened = EnsureOpen(p);
    if (opened != NetResult::Ok) return opened;
    ResetSession(p);
    memcpy(p->application, desc.application, 16);
    p->version = desc.version;
    // Kept: should this player become the host, it asks later joiners for the same password.
    CopyName(p->password, desc.password);
    p->phase = NetPhase::Joining;
    p->players.push_back(LocalEntry(p, 0));
    const uint32_t conn = p->transport->Connect(desc.host);
    if (!conn) return NetResult::NoConnection;
    p->links.push_back({conn, LinkState::Connecting, 0, Now(p), false});
    return NetResult::Ok;
}

bool NetJoinDone(const NetPeer* p) {
    return p->phase != NetPhase::Joining || p->joinFailure != NetResult::Ok ||
           (p->welcomed && p->joinAnnounced == p->joinExpected && p->joinAccepted == p->joinExpected);
}

NetResult EndNetJoin(NetPeer* p, NetResult result) {
    if (result == NetResult::Ok) result = p->joinFailure;
    if (result == NetResult::Ok && !NetJoinDone(p)) result = NetResult::Timeout;
    if (result == NetResult::Ok && p->phase == NetPhase::Joining) {
        p->phase = NetPhase::InSession;
        return NetResult::Ok;
    }
    for (const NetLink& l : p->links) p->transport->Disconnect(l.conn, static_cast<uint32_t>(Reason::Leaving));
    p->transport->Flush();
    ResetSession(p);
    return result == NetResult::Ok ? NetResult::NoConnection : result;
}

NetResult NetJoin(NetPeer* p, const NetJoinDesc& desc) {
    const NetResult started = StartNetJoin(p, desc);
    if (started == NetResult::AlreadyInSession) return started;
    if (started != NetResult::Ok) return EndNetJoin(p, started);
    const uint32_t start = Now(p);
    const uint32_t limit = static_cast<uint32_t>(std::max(desc.timeoutMs, 0));
    while (!NetJoinDone(p) && Now(p) - start < limit) PumpNetPeer(p, kWaitStepMs);
    return EndNetJoin(p, NetResult::Ok);
}

NetResult StartNetSearch(NetPeer* p, const NetSearchDesc& desc, std::vector<NetSessionFound>* found,
                         NetAddress* target) {
    if (!found) return NetResult::InvalidParam;
    if (p->phase != NetPhase::Idle) return NetResult::AlreadyInSession;
    const NetResult opened = EnsureOpen(p);
    if (opened != NetResult::Ok) return opened;
    target->ip = kNetBroadcast;
    target->port = desc.port ? desc.port : g_defaultPort;
    if (desc.hostName[0] && !p->transport->Resolve(desc.hostName, &target->ip))
        return NetResult::InvalidHostAddress;
    found->clear();
    memcpy(p->application, desc.application, 16);
    p->version = desc.version;
    p->searchNonce = RandomWord() | 1;
    p->searchFound = found;
    return NetResult::Ok;
}

void EndNetSearch(NetPeer* p) { p->searchFound = nullptr; }

NetResult NetSearch(NetPeer* p, const NetSearchDesc& desc, std::vector<NetSessionFound>* found) {
    NetAddress target;
    const NetResult started = StartNetSearch(p, desc, found, &target);
    if (started != NetResult::Ok) return started;
    netwire::SearchRequest req{};
    req.version = p->version;
    memcpy(req.application, p->application, 16);
    req.nonce = p->searchNonce;
    netwire::Bytes request;
    netwire::Encode(req, &request);
    const uint32_t start = Now(p), limit = static_cast<uint32_t>(std::max(desc.timeMs, 0));
    uint32_t nextAsk = start;
    for (uint32_t now = start; now - start < limit; now = Now(p)) {
        if (static_cast<int32_t>(now - nextAsk) >= 0) {
            p->transport->SendDatagram(target, request.data(), request.size());
            nextAsk = now + kSearchResendMs;
        }
        PumpNetPeer(p, std::min(kWaitStepMs, limit - (now - start)));
    }
    EndNetSearch(p);
    return NetResult::Ok;
}

NetResult NetSend(NetPeer* p, NetPlayerId to, const void* data, size_t size, NetChannel channel) {
    if (p->phase != NetPhase::InSession) return NetResult::NotInSession;
    if (!data || size == 0) return NetResult::InvalidParam;
    if (size > p->maxMessage) return NetResult::SendTooLarge;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    const bool toSelf = to == kNetAllPlayers || to == p->self;
    std::vector<uint8_t>& packet = p->scratch;
    packet.assign(1, static_cast<uint8_t>(Kind::App));
    packet.insert(packet.end(), bytes, bytes + size);
    if (to == kNetAllPlayers) {
        for (const NetPlayerEntry& e : p->players)
            if (e.conn) p->transport->Send(e.conn, channel, packet.data(), packet.size());
    } else if (!toSelf) {
        const NetPlayerEntry* e = FindPlayer(p, to);
        if (!e || !e->conn) return NetResult::InvalidPlayer;
        p->transport->Send(e->conn, channel, packet.data(), packet.size());
    }
    p->transport->Flush();
    if (toSelf) OnApp(p, p->self, channel, bytes, size);
    return NetResult::Ok;
}

NetResult NetGetPlayerInfo(NetPeer* p, NetPlayerId player, NetPlayerInfo* out) {
    if (p->phase != NetPhase::InSession) return NetResult::NotInSession;
    const NetPlayerEntry* e = FindPlayer(p, player);
    if (!e || (!e->local && !e->conn) || !out) return NetResult::InvalidPlayer;
    *out = NetPlayerInfo{};
    out->id = e->id;
    out->flags = (e->local ? kNetPlayerLocal : 0) | (e->id == p->host ? kNetPlayerHost : 0);
    CopyName(out->name, e->name);
    memcpy(out->data, e->data, e->dataSize);
    out->dataSize = e->dataSize;
    out->address = e->address;
    return NetResult::Ok;
}

NetResult NetClose(NetPeer* p) {
    if (p->phase == NetPhase::Idle) {
        p->events.clear();
        return NetResult::Ok;
    }
    for (const NetLink& l : p->links) p->transport->Disconnect(l.conn, static_cast<uint32_t>(Reason::Leaving));
    // The transport sends the goodbyes before it lets the socket go.
    p->transport->Close();
    ResetSession(p);
    return NetResult::Ok;
}

void NetPoll(NetPeer* p) {
    PumpNetPeer(p, 0);
    Deliver(p);
}

bool NetInSession(const NetPeer* p) { return p->phase == NetPhase::InSession; }
bool NetIsHost(const NetPeer* p) { return p->phase == NetPhase::InSession && p->isHost; }
NetPlayerId NetLocalPlayer(const NetPeer* p) { return p->phase == NetPhase::InSession ? p->self : 0; }
NetPlayerId NetHostPlayer(const NetPeer* p) { return p->phase == NetPhase::InSession ? p->host : 0; }
NetAddress NetLocalAddress(const NetPeer* p) {
    return p->transport->IsOpen() ? p->transport->LocalAddress() : NetAddress{0, 0};
}
NetStats NetGetStats(const NetPeer* p) { return p->stats; }
size_t NetMaxPacketSize(const NetPeer* p) { return std::max(p->maxMessage + 1, netwire::kLargestControlPacket); }

void NetAddressText(const NetAddress& a, char* text, size_t size) {
    snprintf(text, size, "%u.%u.%u.%u:%u", a.ip >> 24, (a.ip >> 16) & 255, (a.ip >> 8) & 255, a.ip & 255,
             static_cast<unsigned>(a.port));
}

}  // namespace host
