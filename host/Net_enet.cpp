// The UDP transport: one ENet host (one socket) per peer. Connections have two channels, 0 reliable and
// ordered, 1 unreliable and sequenced; the search's datagrams share the socket and are taken out of
// ENet's receive path by its intercept callback. Also the provider and the machine's addresses.
#include <arpa/inet.h>
#include <enet/enet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "host/Net_local.h"
#include "host/NetWire.h"

namespace host {

// The provider's identifier, byte for byte as the front end compares it.
const uint8_t kNetProviderGuid[16] = {0xa0, 0x7b, 0xfe, 0xeb, 0x7d, 0x62, 0xd2, 0x11,
                                      0xae, 0x0f, 0x00, 0x60, 0x97, 0xb0, 0x14, 0x11};

namespace {

// Adapter identifiers: these twelve bytes, then the address (a.b.c.d).
constexpr uint8_t kAdapterTag[12] = {'k', 'v', 'n', 'e', 't', '-', 'a', 'd', 'd', 'r', '4', 0};

constexpr int kChannels = 2;
// Connections a host takes: every other player, and a few more in the middle of saying who they are.
constexpr size_t kConnections = kNetMaxPlayers + 8;
// Search datagrams taken per service call; more in one go are dropped (a flood of requests costs no more).
constexpr size_t kMaxDatagrams = 64;
constexpr uint32_t kCloseWaitMs = 300;  // a closing peer waits this long for its goodbyes to be taken

uint32_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool InitEnet() {
    static const bool ok = [] {
        if (enet_initialize() != 0) return false;
        atexit(enet_deinitialize);
        return true;
    }();
    return ok;
}

ENetAddress ToEnet(const NetAddress& a) {
    ENetAddress e;
    e.host = htonl(a.ip);
    e.port = a.port;
    return e;
}

NetAddress FromEnet(const ENetAddress& e) { return {ntohl(e.host), e.port}; }

class UdpTransport;
// The transport inside enet_host_service on this thread (for the intercept, which ENet gives no context).
thread_local UdpTransport* g_servicing = nullptr;

class UdpTransport final : public Transport {
public:
    ~UdpTransport() override { Close(); }

    NetResult Open(uint32_t ip, uint16_t port, bool anyPort, size_t maxPacket) override {
        Close();
        if (!InitEnet()) return NetResult::AddressInUse;
        ENetAddress at;
        at.host = htonl(ip);
        at.port = anyPort ? 0 : port;
        host_ = enet_host_create(&at, kConnections, kChannels, 0, 0);
        if (!host_) return NetResult::AddressInUse;
        // Oversized packets are dropped before they are buffered, and a peer's packets waiting for us are
        // bounded: a flood is refused by the network rather than kept.
        host_->maximumPacketSize = maxPacket;
        host_->maximumWaitingData = maxPacket;
        host_->intercept = Intercept;
        enet_socket_set_option(host_->socket, ENET_SOCKOPT_BROADCAST, 1);
        ENetAddress bound;
        local_ = {ip, at.port};
        if (enet_socket_get_address(host_->socket, &bound) == 0) local_.port = bound.port;
        return NetResult::Ok;
    }

    void Close() override {
        if (!host_) return;
        ReleasePacket();
        // Connections still open are ended; the goodbyes (with those asked for before) go out, and a short
        // wait lets them be acknowledged.
        for (auto& [conn, peer] : conns_) {
            peer->data = nullptr;
            enet_peer_disconnect_later(peer, 0);
        }
        conns_.clear();
        enet_host_flush(host_);
        const uint32_t start = SteadyMs();
        ENetEvent ev;
        while (Connected() && SteadyMs() - start < kCloseWaitMs) {
            g_servicing = this;
            const int r = enet_host_service(host_, &ev, 10);
            g_servicing = nullptr;
            if (r < 0) break;
            if (r > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
        }
        enet_host_destroy(host_);
        host_ = nullptr;
        conns_.clear();
        datagrams_.clear();
    }

    bool IsOpen() const override { return host_ != nullptr; }
    NetAddress LocalAddress() const override { return local_; }

    uint32_t Connect(const NetAddress& to) override {
        if (!host_) return 0;
        ENetAddress at = ToEnet(to);
        ENetPeer* peer = enet_host_connect(host_, &at, kChannels, 0);
        if (!peer) return 0;
        return Adopt(peer);
    }

    bool Send(uint32_t conn, NetChannel channel, const uint8_t* data, size_t size) override {
        ENetPeer* peer = Find(conn);
        if (!peer || size > host_->maximumPacketSize) return false;
        const bool reliable = channel == NetChannel::Reliable;
        // An unreliable message larger than a datagram stays unreliable in its fragments.
        ENetPacket* packet =
            enet_packet_create(data, size, reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNRELIABLE_FRAGMENT);
        if (!packet) return false;
        if (enet_peer_send(peer, reliable ? 0 : 1, packet) < 0) {
            enet_packet_destroy(packet);
            return false;
        }
        return true;
    }

    void Disconnect(uint32_t conn, uint32_t reason) override {
        ENetPeer* peer = Find(conn);
        if (!peer) return;
        conns_.erase(conn);
        peer->data = nullptr;
        // A player that leaves says goodbye after what it sent before: a plain disconnect would drop the
        // messages not yet acknowledged, and the other side drops those it has not handed out yet.
        if (reason == static_cast<uint32_t>(netwire::Reason::Leaving))
            enet_peer_disconnect_later(peer, reason);
        else
            enet_peer_disconnect(peer, reason);
    }

    NetAddress RemoteAddress(uint32_t conn) const override {
        auto it = conns_.find(conn);
        return it == conns_.end() ? NetAddress{0, 0} : FromEnet(it->second->address);
    }

    bool SendDatagram(const NetAddress& to, const uint8_t* data, size_t size) override {
        if (!host_) return false;
        ENetAddress at = ToEnet(to);
        ENetBuffer buffer;
        buffer.data = const_cast<uint8_t*>(data);
        buffer.dataLength = size;
        return enet_socket_send(host_->socket, &at, &buffer, 1) >= 0;
    }

    bool Next(TransportEvent* out, uint32_t waitMs) override {
        ReleasePacket();
        datagram_.clear();
        if (!host_) return false;
        if (TakeDatagram(out)) return true;
        for (;;) {
            ENetEvent ev;
            g_servicing = this;
            const int r = enet_host_service(host_, &ev, waitMs);
            g_servicing = nullptr;
            if (r <= 0) return TakeDatagram(out);
            if (Translate(ev, out)) return true;
            waitMs = 0;
        }
    }

    void Flush() override {
        if (host_) enet_host_flush(host_);
    }

    uint32_t NowMs() const override { return SteadyMs(); }

    bool Resolve(const char* name, uint32_t* ip) override {
        if (!InitEnet()) return false;
        ENetAddress at;
        if (enet_address_set_host(&at, name) != 0) return false;
        *ip = ntohl(at.host);
        return true;
    }

private:
    struct Datagram {
        NetAddress from;
        std::vector<uint8_t> bytes;
    };

    static int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent*) {
        if (!g_servicing || g_servicing->host_ != host) return 0;
        if (!netwire::IsSearchDatagram(host->receivedData, host->receivedDataLength)) return 0;
        // Ours: kept for the session, never seen by ENet's protocol.
        if (g_servicing->datagrams_.size() < kMaxDatagrams &&
            host->receivedDataLength <= netwire::kLargestSearchDatagram)
            g_servicing->datagrams_.push_back(
                {FromEnet(host->receivedAddress),
                 std::vector<uint8_t>(host->receivedData, host->receivedData + host->receivedDataLength)});
        return 1;
    }

    bool Connected() const {
        for (size_t i = 0; i < host_->peerCount; ++i)
            if (host_->peers[i].state != ENET_PEER_STATE_DISCONNECTED) return true;
        return false;
    }

    uint32_t Adopt(ENetPeer* peer) {
        const uint32_t conn = nextConn_++;
        peer->data = reinterpret_cast<void*>(static_cast<uintptr_t>(conn));
        conns_[conn] = peer;
        return conn;
    }

    ENetPeer* Find(uint32_t conn) const {
        auto it = conns_.find(conn);
        return it == conns_.end() ? nullptr : it->second;
    }

    static uint32_t ConnOf(const ENetPeer* peer) {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(peer->data));
    }

    bool TakeDatagram(TransportEvent* out) {
        if (datagrams_.empty()) return false;
        Datagram& d = datagrams_.front();
        datagram_.swap(d.bytes);
        *out = TransportEvent{};
        out->kind = TransportEventKind::Datagram;
        out->from = d.from;
        out->data = datagram_.data();
        out->size = datagram_.size();
        datagrams_.pop_front();
        return true;
    }

    // ENet's event as ours; false for one of a connection already ended here.
    bool Translate(const ENetEvent& ev, TransportEvent* out) {
        *out = TransportEvent{};
        switch (ev.type) {
            case ENET_EVENT_TYPE_CONNECT:
                out->kind = TransportEventKind::Connected;
                out->conn = ev.peer->data ? ConnOf(ev.peer) : Adopt(ev.peer);
                return true;
            case ENET_EVENT_TYPE_DISCONNECT: {
                if (!ev.peer->data) return false;
                const uint32_t conn = ConnOf(ev.peer);
                conns_.erase(conn);
                ev.peer->data = nullptr;
                out->kind = TransportEventKind::Disconnected;
                out->conn = conn;
                out->reason = ev.data;
                return true;
            }
            case ENET_EVENT_TYPE_RECEIVE:
                if (!ev.peer->data) {
                    enet_packet_destroy(ev.packet);
                    return false;
                }
                packet_ = ev.packet;
                out->kind = TransportEventKind::Received;
                out->conn = ConnOf(ev.peer);
                out->channel = ev.channelID;
                out->data = ev.packet->data;
                out->size = ev.packet->dataLength;
                return true;
            case ENET_EVENT_TYPE_NONE: return false;
        }
        return false;
    }

    void ReleasePacket() {
        if (packet_) enet_packet_destroy(packet_);
        packet_ = nullptr;
    }

    ENetHost* host_ = nullptr;
    NetAddress local_{0, 0};
    uint32_t nextConn_ = 1;
    std::unordered_map<uint32_t, ENetPeer*> conns_;
    std::deque<Datagram> datagrams_;
    std::vector<uint8_t> datagram_;  // the datagram handed out last
    ENetPacket* packet_ = nullptr;   // the packet handed out last
};

void AdapterGuid(uint32_t ip, uint8_t guid[16]) {
    memcpy(guid, kAdapterTag, 12);
    for (int i = 0; i < 4; ++i) guid[12 + i] = static_cast<uint8_t>(ip >> (24 - 8 * i));
}

}  // namespace

void NetAdapterOf(uint32_t ip, uint8_t guid[16]) { AdapterGuid(ip, guid); }

std::unique_ptr<Transport> CreateUdpTransport() { return std::make_unique<UdpTransport>(); }

void NetEnumProviders(std::vector<NetProvider>* out) {
    out->clear();
    NetProvider p{};
    memcpy(p.guid, kNetProviderGuid, 16);
    snprintf(p.name, sizeof p.name, "IPv4 network (UDP)");
    out->push_back(p);
}

NetResult NetEnumAdapters(const uint8_t provider[16], std::vector<NetAdapter>* out) {
    out->clear();
    if (!provider || memcmp(provider, kNetProviderGuid, 16) != 0) return NetResult::InvalidParam;
    NetAdapter all{};
    AdapterGuid(0, all.guid);
    snprintf(all.name, sizeof all.name, "all addresses");
    out->push_back(all);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return NetResult::Ok;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        NetAdapter a{};
        a.ip = ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        AdapterGuid(a.ip, a.guid);
        char text[32];
        NetAddressText({a.ip, 0}, text, sizeof text);
        *strrchr(text, ':') = 0;
        snprintf(a.name, sizeof a.name, "%.20s %s", i->ifa_name ? i->ifa_name : "", text);
        bool seen = false;
        for (const NetAdapter& b : *out) seen = seen || b.ip == a.ip;
        if (!seen) out->push_back(a);
    }
    freeifaddrs(list);
    return NetResult::Ok;
}

}  // namespace host
