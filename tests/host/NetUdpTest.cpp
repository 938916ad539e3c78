// The network over real UDP on 127.0.0.1, in one process: packets above a peer's largest are dropped by the
// network, a flood is handed out at its bound per frame, a search gathers its answers within its time, and
// datagrams replayed on the wire hand out nothing twice and nothing older after newer.
// While a join or a search waits, the host is polled on a thread of its own, as its own process would.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/Net.h"

namespace {

using namespace host;
using Clock = std::chrono::steady_clock;

const uint8_t kApp[16] = {'u', 'd', 'p', 't', 'e', 's', 't', 0, 1, 2, 3, 4, 5, 6, 7, 8};

struct Received {
    NetPlayerId from;
    NetChannel channel;
    std::string data;
};

struct UdpPeer {
    NetPeer* peer = nullptr;
    std::vector<Received> received;
    std::atomic<int> destroyed{0};

    explicit UdpPeer(size_t largest) { peer = CreateNetPeer(Handler, this, largest); }
    ~UdpPeer() { DestroyNetPeer(peer); }
    static void Handler(void* user, const NetEvent& e) {
        UdpPeer* self = static_cast<UdpPeer*>(user);
        if (e.kind == NetEventKind::Receive)
            self->received.push_back({e.player, e.channel, std::string(reinterpret_cast<const char*>(e.data), e.size)});
        if (e.kind == NetEventKind::DestroyPlayer) ++self->destroyed;
    }
    // Polls (a frame each 2 ms) until the test holds or the deadline passes.
    template <typename Test>
    bool PollUntil(Test done, int ms = 3000) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            NetPoll(peer);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
};

// Polls a peer on a thread of its own while it lives.
class Serviced {
public:
    explicit Serviced(UdpPeer& p) : thread_([this, &p] {
        while (!stop_) {
            NetPoll(p.peer);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }) {}
    ~Serviced() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A relay between one joiner and a host on 127.0.0.1: the joiner joins at the relay's port, and every
// datagram goes through it; those of the joiner are kept, so that the test can send them again.
class Relay {
public:
    explicit Relay(uint16_t hostPort) : host_(Address(hostPort)) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a = Address(0);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t n = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~Relay() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    uint16_t port() const { return port_; }
    // The joiner's datagrams so far.
    std::vector<std::string> Kept() {
        std::lock_guard<std::mutex> hold(lock_);
        return kept_;
    }
    // Sends one of them to the host again.
    void Replay(const std::string& datagram) {
        sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&host_), sizeof host_);
    }

private:
    static sockaddr_in Address(uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(kNetLoopback);
        a.sin_port = htons(port);
        return a;
    }
    void Run() {
        char buf[4096];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0) continue;
            sockaddr_in from{};
            socklen_t n = sizeof from;
            const ssize_t got = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &n);
            if (got < 0) continue;
            if (from.sin_port == host_.sin_port) {
                if (joiner_.sin_port) sendto(fd_, buf, got, 0, reinterpret_cast<sockaddr*>(&joiner_), sizeof joiner_);
                continue;
            }
            joiner_ = from;
            {
                std::lock_guard<std::mutex> hold(lock_);
                kept_.emplace_back(buf, static_cast<size_t>(got));
            }
            sendto(fd_, buf, got, 0, reinterpret_cast<sockaddr*>(&host_), sizeof host_);
        }
    }

    int fd_;
    uint16_t port_;
    sockaddr_in host_, joiner_{};
    std::mutex lock_;
    std::vector<std::string> kept_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

NetHostDesc HostDesc(const char* name = "udp") {
    NetHostDesc d;
    memcpy(d.application, kApp, 16);
    snprintf(d.sessionName, sizeof d.sessionName, "%s", name);
    static const uint8_t record[3] = {7, 8, 9};
    d.sessionData = record;
    d.sessionDataSize = sizeof record;
    memcpy(d.provider, kNetProviderGuid, 16);
    NetAdapterOf(kNetLoopback, d.adapter);
    d.anyPort = true;
    return d;
}

NetJoinDesc JoinDesc(const UdpPeer& host) {
    NetJoinDesc d;
    memcpy(d.application, kApp, 16);
    d.host = {kNetLoopback, NetLocalAddress(host.peer).port};
    return d;
}

class NetUdpTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<NetAdapter> adapters;
        ASSERT_EQ(NetEnumAdapters(kNetProviderGuid, &adapters), NetResult::Ok);
        bool loopback = false;
        for (const NetAdapter& a : adapters) loopback = loopback || a.ip == kNetLoopback;
        if (!loopback) GTEST_SKIP() << "no loopback address";
    }
    // A host and a joiner connected to it; the host has seen the joiner arrive.
    void Connect(UdpPeer& host, UdpPeer& joiner) {
        ASSERT_EQ(NetHost(host.peer, HostDesc()), NetResult::Ok);
        {
            Serviced s(host);
            ASSERT_EQ(NetJoin(joiner.peer, JoinDesc(host)), NetResult::Ok);
        }
        NetPoll(joiner.peer);
    }
};

TEST_F(NetUdpTest, APacketAboveTheLargestIsDroppedByTheNetwork) {
    UdpPeer host(100), joiner(4000);
    Connect(host, joiner);
    const NetPlayerId h = NetHostPlayer(joiner.peer);
    // One that fits in a datagram and one that is sent in fragments: both larger than the host takes.
    const std::string one(NetMaxPacketSize(host.peer) + 50, 'a'), fragmented(3000, 'b');
    EXPECT_EQ(NetSend(joiner.peer, h, one.data(), one.size(), NetChannel::Unreliable), NetResult::Ok);
    EXPECT_EQ(NetSend(joiner.peer, h, fragmented.data(), fragmented.size(), NetChannel::Unreliable), NetResult::Ok);
    EXPECT_EQ(NetSend(joiner.peer, h, "after", 5, NetChannel::Reliable), NetResult::Ok);
    ASSERT_TRUE(host.PollUntil([&] { return !host.received.empty(); }));
    ASSERT_EQ(host.received.size(), 1u);
    EXPECT_EQ(host.received[0].data, "after");
    // The host refuses to send what it would not take itself.
    const std::string big(101, 'c');
    EXPECT_EQ(NetSend(host.peer, NetLocalPlayer(joiner.peer), big.data(), big.size(), NetChannel::Unreliable),
              NetResult::SendTooLarge);
}

TEST_F(NetUdpTest, AFloodIsHandedOutAtItsBoundPerFrame) {
    UdpPeer host(1156), joiner(1156), other(1156);
    Connect(host, joiner);
    {
        Serviced s(host);
        Serviced t(joiner);
        ASSERT_EQ(NetJoin(other.peer, JoinDesc(host)), NetResult::Ok);
    }
    const NetPlayerId h = NetHostPlayer(joiner.peer), flooder = NetLocalPlayer(joiner.peer);
    host.received.clear();
    const char input[24] = "single input";
    for (int i = 0; i < 600; ++i) NetSend(joiner.peer, h, input, sizeof input, NetChannel::Unreliable);
    NetSend(other.peer, h, "other", 5, NetChannel::Reliable);

    size_t most = 0, fromFlooder = 0;
    bool other_seen = false;
    host.PollUntil(
        [&] {
            size_t frame = 0;
            for (const Received& r : host.received) {
                frame += r.from == flooder;
                other_seen = other_seen || r.data == "other";
            }
            most = std::max(most, frame);
            fromFlooder += frame;
            host.received.clear();
            return false;
        },
        500);
    EXPECT_TRUE(other_seen);
    EXPECT_LE(most, static_cast<size_t>(kNetMessagesPerFrame));
    EXPECT_GT(fromFlooder, 0u);
    EXPECT_LT(fromFlooder, 600u);
    const NetStats stats = NetGetStats(host.peer);
    EXPECT_GT(stats.droppedFlood, 0u);
    EXPECT_EQ(stats.cutOff, 0u);
}

// Every datagram of the joiner sent to the host once more, newest first: the host hands out no message
// twice, no unreliable one older than one it handed out, and keeps the joiner.
TEST_F(NetUdpTest, DatagramsReplayedOnTheWireHandOutNothingAgain) {
    UdpPeer host(1156), joiner(1156);
    ASSERT_EQ(NetHost(host.peer, HostDesc()), NetResult::Ok);
    Relay relay(NetLocalAddress(host.peer).port);
    {
        Serviced s(host);
        NetJoinDesc d = JoinDesc(host);
        d.host.port = relay.port();
        ASSERT_EQ(NetJoin(joiner.peer, d), NetResult::Ok);
    }
    const NetPlayerId h = NetHostPlayer(joiner.peer);
    host.received.clear();
    for (const char* m : {"r1", "r2"}) NetSend(joiner.peer, h, m, 2, NetChannel::Reliable);
    for (const char* m : {"u1", "u2"}) NetSend(joiner.peer, h, m, 2, NetChannel::Unreliable);
    NetSend(joiner.peer, h, "r3", 2, NetChannel::Reliable);
    ASSERT_TRUE(host.PollUntil([&] { NetPoll(joiner.peer); return host.received.size() >= 5; }));
    std::vector<std::string> kept = relay.Kept();
    ASSERT_FALSE(kept.empty());
    std::reverse(kept.begin(), kept.end());
    for (const std::string& datagram : kept) relay.Replay(datagram);
    host.PollUntil([&] { NetPoll(joiner.peer); return false; }, 500);
    std::vector<std::string> got;
    for (const Received& r : host.received) got.push_back(r.data);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"r1", "r2", "r3", "u1", "u2"}));
    EXPECT_EQ(host.destroyed.load(), 0);
    EXPECT_TRUE(NetInSession(joiner.peer));
}

// A player that sends and closes at once: the others get what it sent before they learn it left (a plain
// disconnect would drop the messages the host had received but not handed out yet).
TEST_F(NetUdpTest, WhatALeaverSentArrivesBeforeItsLeaving) {
    UdpPeer host(1156), joiner(1156);
    Connect(host, joiner);
    const NetPlayerId h = NetHostPlayer(joiner.peer), leaver = NetLocalPlayer(joiner.peer);
    host.received.clear();
    std::vector<std::string> order;
    {
        Serviced s(host);
        for (int i = 0; i < 10; ++i) {
            const std::string m = "bye" + std::to_string(i);
            NetSend(joiner.peer, h, m.data(), m.size(), NetChannel::Reliable);
        }
        NetClose(joiner.peer);
        const auto end = Clock::now() + std::chrono::seconds(3);
        while (Clock::now() < end && host.destroyed == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(host.destroyed.load(), 1);
    ASSERT_EQ(host.received.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(host.received[i].data, "bye" + std::to_string(i));
        EXPECT_EQ(host.received[i].from, leaver);
    }
}

TEST_F(NetUdpTest, ASearchGathersItsAnswersWithinItsTime) {
    UdpPeer host(1156), other(1156), searcher(1156);
    ASSERT_EQ(NetHost(host.peer, HostDesc("found me")), NetResult::Ok);
    NetHostDesc elsewhere = HostDesc("other game");
    elsewhere.application[0] ^= 1;
    ASSERT_EQ(NetHost(other.peer, elsewhere), NetResult::Ok);
    Serviced s(host), t(other);
    for (const UdpPeer* target : {&host, &other}) {
        NetSearchDesc desc;
        memcpy(desc.application, kApp, 16);
        snprintf(desc.hostName, sizeof desc.hostName, "127.0.0.1");
        desc.port = NetLocalAddress(target->peer).port;
        desc.timeMs = 400;
        std::vector<NetSessionFound> found;
        const auto start = Clock::now();
        ASSERT_EQ(NetSearch(searcher.peer, desc, &found), NetResult::Ok);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        // It asks for its whole time (the clocks' milliseconds may part by one), and not much longer.
        EXPECT_GE(took, 398);
        EXPECT_LT(took, 3000);
        if (target == &other) {
            EXPECT_TRUE(found.empty());  // another application's host does not answer
            continue;
        }
        ASSERT_EQ(found.size(), 1u);
        EXPECT_STREQ(found[0].name, "found me");
        EXPECT_EQ(found[0].data, (std::vector<uint8_t>{7, 8, 9}));
        EXPECT_EQ(found[0].address.port, desc.port);
        EXPECT_EQ(found[0].address.ip, kNetLoopback);
        EXPECT_EQ(found[0].players, 1u);
    }
}

}  // namespace
