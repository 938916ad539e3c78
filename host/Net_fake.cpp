// The fake network: transports in one process that hand each other their packets in memory. Every
// transport has an address of its own (10.0.0.n); packets arrive at once and in order on both channels;
// a packet above the receiver's largest is dropped, as UDP's receiver would. Time is the network's own:
// it moves only while a peer waits (a join, a search), and while one waits the others do their work, so
// that a whole session runs on one thread.
#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "host/Net_local.h"

namespace host {

struct FakeNetwork {
    std::vector<class FakeTransport*> transports;
    uint32_t nowMs = 0;
    uint32_t nextHost = 1;
    uint16_t nextPort = 40000;
    uint32_t nextConn = 1;
};

namespace {

FakeNetwork* g_current = nullptr;

constexpr size_t kConnections = kNetMaxPlayers + 8;

}  // namespace

class FakeTransport final : public Transport {
public:
    FakeTransport(FakeNetwork* net, NetPeer* owner) : net_(net), owner_(owner) {
        ip_ = 0x0A000000u | net_->nextHost++;
        net_->transports.push_back(this);
    }
    ~FakeTransport() override {
        Close();
        std::erase(net_->transports, this);
    }

    NetResult Open(uint32_t, uint16_t port, bool anyPort, size_t maxPacket) override {
        Close();
        if (anyPort || port == 0) port = net_->nextPort++;
        local_ = {ip_, port};
        maxPacket_ = maxPacket;
        open_ = true;
        return NetResult::Ok;
    }

    void Close() override {
        for (auto& [conn, pair] : conns_) pair.remote->Dropped(pair.remoteConn, 0);
        conns_.clear();
        inbox_.clear();
        open_ = false;
    }

    bool IsOpen() const override { return open_; }
    NetAddress LocalAddress() const override { return local_; }

    uint32_t Connect(const NetAddress& to) override {
        if (!open_) return 0;
        const uint32_t conn = net_->nextConn++;
        FakeTransport* target = nullptr;
        for (FakeTransport* t : net_->transports)
            if (t != this && t->open_ && t->local_.ip == to.ip && t->local_.port == to.port) target = t;
        if (!target || target->conns_.size() >= kConnections) {
            // Nobody there: the attempt fails as a timed-out connect would.
            Push({TransportEventKind::Disconnected, conn, 0, 0, {}, {}});
            return conn;
        }
        const uint32_t remote = net_->nextConn++;
        conns_[conn] = {target, remote};
        target->conns_[remote] = {this, conn};
        Push({TransportEventKind::Connected, conn, 0, 0, {}, {}});
        target->Push({TransportEventKind::Connected, remote, 0, 0, {}, {}});
        return conn;
    }

    bool Send(uint32_t conn, NetChannel channel, const uint8_t* data, size_t size) override {
        auto it = conns_.find(conn);
        if (it == conns_.end() || size > maxPacket_) return false;
        FakeTransport* remote = it->second.remote;
        if (size > remote->maxPacket_) return true;  // lost on the way, as the receiver refuses it
        remote->Push({TransportEventKind::Received, it->second.remoteConn, 0, static_cast<uint8_t>(channel),
                      {}, std::vector<uint8_t>(data, data + size)});
        return true;
    }

    void Disconnect(uint32_t conn, uint32_t reason) override {
        auto it = conns_.find(conn);
        if (it == conns_.end()) return;
        it->second.remote->Dropped(it->second.remoteConn, reason);
        conns_.erase(it);
    }

    NetAddress RemoteAddress(uint32_t conn) const override {
        auto it = conns_.find(conn);
        return it == conns_.end() ? NetAddress{0, 0} : it->second.remote->local_;
    }

    bool SendDatagram(const NetAddress& to, const uint8_t* data, size_t size) override {
        if (!open_ || size > netwire::kLargestSearchDatagram) return false;
        for (FakeTransport* t : net_->transports)
            if (t != this && t->open_ && (to.ip == kNetBroadcast || to.ip == t->local_.ip) &&
                to.port == t->local_.port)
                t->Push({TransportEventKind::Datagram, 0, 0, 0, local_, std::vector<uint8_t>(data, data + size)});
        return true;
    }

    bool Next(TransportEvent* out, uint32_t waitMs) override {
        if (!open_) return false;
        if (inbox_.empty() && waitMs > 0) {
            // While we wait, the others do their work (and may answer us).
            std::vector<FakeTransport*> others = net_->transports;
            for (FakeTransport* t : others)
                if (t != this && t->open_ && t->owner_) PumpNetPeer(t->owner_, 0);
            if (inbox_.empty()) net_->nowMs += waitMs;
        }
        if (inbox_.empty()) return false;
        current_ = std::move(inbox_.front());
        inbox_.pop_front();
        *out = TransportEvent{};
        out->kind = current_.kind;
        out->conn = current_.conn;
        out->reason = current_.reason;
        out->channel = current_.channel;
        out->from = current_.from;
        out->data = current_.data.data();
        out->size = current_.data.size();
        return true;
    }

    void Flush() override {}
    uint32_t NowMs() const override { return net_->nowMs; }

    bool Resolve(const char* name, uint32_t* ip) override {
        unsigned a, b, c, d;
        char rest;
        if (sscanf(name, "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) != 4 || a > 255 || b > 255 || c > 255 || d > 255)
            return false;
        *ip = a << 24 | b << 16 | c << 8 | d;
        return true;
    }

private:
    struct Event {
        TransportEventKind kind;
        uint32_t conn, reason;
        uint8_t channel;
        NetAddress from;
        std::vector<uint8_t> data;
    };
    struct Pair {
        FakeTransport* remote;
        uint32_t remoteConn;
    };

    void Push(Event e) {
        if (open_) inbox_.push_back(std::move(e));
    }

    // The other side ended the connection.
    void Dropped(uint32_t conn, uint32_t reason) {
        if (conns_.erase(conn)) Push({TransportEventKind::Disconnected, conn, reason, 0, {}, {}});
    }

    FakeNetwork* net_;
    NetPeer* owner_;
    uint32_t ip_;
    bool open_ = false;
    NetAddress local_{0, 0};
    size_t maxPacket_ = 0;
    std::deque<Event> inbox_;
    std::unordered_map<uint32_t, Pair> conns_;
    Event current_;
};

std::unique_ptr<Transport> CreateFakeTransport(FakeNetwork* net, NetPeer* owner) {
    return std::make_unique<FakeTransport>(net, owner);
}

FakeNetwork* CurrentFakeNetwork() { return g_current; }

FakeNetwork* CreateFakeNetwork() { return new FakeNetwork; }

void DestroyFakeNetwork(FakeNetwork* net) {
    if (!net) return;
    if (g_current == net) g_current = nullptr;
    delete net;
}

void UseFakeNetwork(FakeNetwork* net) { g_current = net; }

void FakeNetworkDrop(FakeNetwork*, NetPeer* peer) {
    if (peer && peer->fake) peer->transport->Close();
}

uint32_t FakeNetworkNowMs(const FakeNetwork* net) { return net->nowMs; }

}  // namespace host
