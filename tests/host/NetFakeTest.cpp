// The network's session on the in-memory network: identifiers, the players' events, messages on both
// channels, leaving and the host's hand-over, refused joins, the per-frame bound, and the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Net.h"

namespace {

using namespace host;

const uint8_t kApp[16] = {0x4b, 0x56, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e};
constexpr size_t kLargest = 1156;

struct Seen {
    NetEventKind kind;
    NetPlayerId player;
    uint32_t flags;
    std::string data;
    NetChannel channel;
    NetResult reason;
};

std::string Describe(const Seen& s) {
    static const char* const kinds[] = {"create", "destroy", "receive", "migrate", "terminate"};
    std::string out = std::string(kinds[static_cast<int>(s.kind)]) + " " + std::to_string(s.player);
    if (s.kind == NetEventKind::CreatePlayer) out += " flags " + std::to_string(s.flags);
    if (s.kind == NetEventKind::Receive)
        out += (s.channel == NetChannel::Reliable ? " reliable " : " unreliable ") + s.data;
    if (s.kind == NetEventKind::Terminate) out += std::string(" ") + NetResultName(s.reason);
    return out;
}

// A peer of a test: its events as they come, and its own name.
struct TestPeer {
    NetPeer* peer = nullptr;
    std::vector<Seen> seen;
    std::function<void(const NetEvent&)> onEvent;

    static void Handler(void* user, const NetEvent& e) {
        TestPeer* self = static_cast<TestPeer*>(user);
        self->seen.push_back({e.kind, e.player, e.flags, std::string(reinterpret_cast<const char*>(e.data), e.size),
                              e.channel, e.reason});
        if (self->onEvent) self->onEvent(e);
    }
    // The events of one poll, described.
    std::vector<std::string> Poll() {
        seen.clear();
        NetPoll(peer);
        std::vector<std::string> out;
        for (const Seen& s : seen) out.push_back(Describe(s));
        return out;
    }
};

using Lines = std::vector<std::string>;

class NetFakeTest : public ::testing::Test {
protected:
    NetFakeTest() : net_(CreateFakeNetwork()) { UseFakeNetwork(net_); }
    ~NetFakeTest() override {
        for (auto& p : peers_) DestroyNetPeer(p->peer);
        peers_.clear();
        UseFakeNetwork(nullptr);
        DestroyFakeNetwork(net_);
    }

    TestPeer& Peer(const char* name) {
        peers_.push_back(std::make_unique<TestPeer>());
        TestPeer& p = *peers_.back();
        p.peer = CreateNetPeer(TestPeer::Handler, &p, kLargest);
        const std::string data = std::string("data of ") + name;
        NetSetPlayerInfo(p.peer, name, reinterpret_cast<const uint8_t*>(data.data()), data.size());
        return p;
    }

    static NetHostDesc HostDesc(int maxPlayers = 0, const char* session = "Duel") {
        NetHostDesc d;
        memcpy(d.application, kApp, 16);
        d.maxPlayers = maxPlayers;
        snprintf(d.sessionName, sizeof d.sessionName, "%s", session);
        static const uint8_t record[4] = {1, 2, 3, 4};
        d.sessionData = record;
        d.sessionDataSize = sizeof record;
        memcpy(d.provider, kNetProviderGuid, 16);
        NetAdapterOf(0, d.adapter);
        return d;
    }

    static NetJoinDesc JoinDesc(const NetPeer* host) {
        NetJoinDesc d;
        memcpy(d.application, kApp, 16);
        d.host = NetLocalAddress(host);
        return d;
    }

    TestPeer& Hosting(const char* name, int maxPlayers = 0) {
        TestPeer& h = Peer(name);
        EXPECT_EQ(NetHost(h.peer, HostDesc(maxPlayers)), NetResult::Ok);
        return h;
    }

    TestPeer& Joined(const char* name, const TestPeer& host) {
        TestPeer& j = Peer(name);
        EXPECT_EQ(NetJoin(j.peer, JoinDesc(host.peer)), NetResult::Ok);
        return j;
    }

    void Send(TestPeer& from, NetPlayerId to, const std::string& text, NetChannel channel) {
        EXPECT_EQ(NetSend(from.peer, to, text.data(), text.size(), channel), NetResult::Ok);
    }

    FakeNetwork* net_;
    std::vector<std::unique_ptr<TestPeer>> peers_;
};

// One provider under the identifier the front end picks; all addresses first among the adapters, then the
// machine's own (the loopback among them); a host binds only to one of them.
TEST_F(NetFakeTest, TheProviderAndItsAdapters) {
    std::vector<NetProvider> providers;
    NetEnumProviders(&providers);
    ASSERT_EQ(providers.size(), 1u);
    EXPECT_EQ(memcmp(providers[0].guid, kNetProviderGuid, 16), 0);
    std::vector<NetAdapter> adapters;
    uint8_t other[16] = {};
    EXPECT_EQ(NetEnumAdapters(other, &adapters), NetResult::InvalidParam);
    ASSERT_EQ(NetEnumAdapters(kNetProviderGuid, &adapters), NetResult::Ok);
    ASSERT_GE(adapters.size(), 1u);
    uint8_t guid[16];
    NetAdapterOf(0, guid);
    EXPECT_EQ(adapters[0].ip, 0u);
    EXPECT_EQ(memcmp(adapters[0].guid, guid, 16), 0);
    for (const NetAdapter& a : adapters) {
        NetAdapterOf(a.ip, guid);
        EXPECT_EQ(memcmp(a.guid, guid, 16), 0) << a.name;
    }
    TestPeer& h = Peer("Hal");
    NetHostDesc d = HostDesc();
    NetAdapterOf(0xC0000201, d.adapter);  // 192.0.2.1: no address of this machine
    EXPECT_EQ(NetHost(h.peer, d), NetResult::InvalidParam);
    d = HostDesc();
    d.provider[0] ^= 1;
    EXPECT_EQ(NetHost(h.peer, d), NetResult::InvalidParam);
    d = HostDesc();
    d.maxPlayers = kNetMaxPlayers + 1;
    EXPECT_EQ(NetHost(h.peer, d), NetResult::InvalidParam);
    EXPECT_FALSE(NetInSession(h.peer));
}

TEST_F(NetFakeTest, AJoinGivesEveryPlayerItsEventsAndInfo) {
    TestPeer& h = Hosting("Hal");
    EXPECT_EQ(h.Poll(), (Lines{"create 1 flags 3"}));
    TestPeer& a = Joined("Ann", h);
    EXPECT_EQ(a.Poll(), (Lines{"create 2 flags 1", "create 1 flags 2"}));
    EXPECT_EQ(h.Poll(), (Lines{"create 2 flags 0"}));
    TestPeer& b = Joined("Bob", h);
    EXPECT_EQ(b.Poll(), (Lines{"create 3 flags 1", "create 1 flags 2", "create 2 flags 0"}));
    EXPECT_EQ(a.Poll(), (Lines{"create 3 flags 0"}));
    EXPECT_EQ(h.Poll(), (Lines{"create 3 flags 0"}));

    // Every player knows every other: name, data and flags as the player gave them.
    for (TestPeer* p : {&h, &a, &b}) {
        const struct {
            NetPlayerId id;
            const char* name;
        } players[] = {{1, "Hal"}, {2, "Ann"}, {3, "Bob"}};
        for (const auto& want : players) {
            NetPlayerInfo info;
            ASSERT_EQ(NetGetPlayerInfo(p->peer, want.id, &info), NetResult::Ok);
            EXPECT_STREQ(info.name, want.name);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.data), info.dataSize),
                      std::string("data of ") + want.name);
            EXPECT_EQ(info.flags, (want.id == NetLocalPlayer(p->peer) ? kNetPlayerLocal : 0u) |
                                      (want.id == 1 ? kNetPlayerHost : 0u));
        }
        NetPlayerInfo info;
        EXPECT_EQ(NetGetPlayerInfo(p->peer, 4, &info), NetResult::InvalidPlayer);
    }
    EXPECT_EQ(NetHostPlayer(b.peer), 1u);
    EXPECT_FALSE(NetIsHost(b.peer));
    EXPECT_TRUE(NetIsHost(h.peer));
}

TEST_F(NetFakeTest, IdentifiersAreNeverZeroAndNeverUsedTwice) {
    TestPeer& h = Hosting("Hal");
    TestPeer& a = Joined("Ann", h);
    TestPeer& b = Joined("Bob", h);
    EXPECT_EQ(NetLocalPlayer(h.peer), 1u);
    EXPECT_EQ(NetLocalPlayer(a.peer), 2u);
    EXPECT_EQ(NetLocalPlayer(b.peer), 3u);
    NetClose(a.peer);
    TestPeer& c = Joined("Cid", h);
    EXPECT_EQ(NetLocalPlayer(c.peer), 4u);  // not 2 again
    // The host leaves; the next host goes on counting where the old one stopped.
    NetClose(h.peer);
    b.Poll();
    c.Poll();
    ASSERT_TRUE(NetIsHost(b.peer));
    TestPeer& d = Joined("Dan", b);
    EXPECT_EQ(NetLocalPlayer(d.peer), 5u);
    EXPECT_EQ(d.Poll(), (Lines{"create 5 flags 1", "create 3 flags 2", "create 4 flags 0"}));
    // Ann comes back as a new player.
    EXPECT_EQ(NetJoin(a.peer, JoinDesc(b.peer)), NetResult::Ok);
    EXPECT_EQ(NetLocalPlayer(a.peer), 6u);
}

TEST_F(NetFakeTest, MessagesGoToOneOrToAllOnBothChannels) {
    TestPeer& h = Hosting("Hal");
    TestPeer& a = Joined("Ann", h);
    TestPeer& b = Joined("Bob", h);
    for (TestPeer* p : {&h, &a, &b}) p->Poll();

    Send(a, 3, "to bob", NetChannel::Reliable);
    Send(a, kNetAllPlayers, "to all", NetChannel::Unreliable);
    Send(h, 2, "from host", NetChannel::Unreliable);
    Send(b, kNetAllPlayers, "bob to all", NetChannel::Reliable);
    // A player's own copy is there at once; the others' messages come off the network at the poll.
    EXPECT_EQ(b.Poll(), (Lines{"receive 3 reliable bob to all", "receive 2 reliable to bob",
                               "receive 2 unreliable to all"}));
    // The sender of a message to all gets its own copy, as every other player does.
    EXPECT_EQ(a.Poll(), (Lines{"receive 2 unreliable to all", "receive 1 unreliable from host",
                               "receive 3 reliable bob to all"}));
    EXPECT_EQ(h.Poll(), (Lines{"receive 2 unreliable to all", "receive 3 reliable bob to all"}));

    const std::string big(kLargest + 1, 'x');
    EXPECT_EQ(NetSend(a.peer, 3, big.data(), big.size(), NetChannel::Reliable), NetResult::SendTooLarge);
    EXPECT_EQ(NetSend(a.peer, 3, big.data(), kLargest, NetChannel::Reliable), NetResult::Ok);
    EXPECT_EQ(NetSend(a.peer, 9, "x", 1, NetChannel::Reliable), NetResult::InvalidPlayer);
    EXPECT_EQ(NetSend(a.peer, 3, "x", 0, NetChannel::Reliable), NetResult::InvalidParam);
    TestPeer& idle = Peer("Ida");
    EXPECT_EQ(NetSend(idle.peer, kNetAllPlayers, "x", 1, NetChannel::Reliable), NetResult::NotInSession);
    EXPECT_EQ(b.Poll().size(), 1u);
}

TEST_F(NetFakeTest, LeavingIsReportedAndTheLowestIdentifierTakesOver) {
    TestPeer& h = Hosting("Hal");
    TestPeer& a = Joined("Ann", h);
    TestPeer& b = Joined("Bob", h);
    TestPeer& c = Joined("Cid", h);
    for (TestPeer* p : {&h, &a, &b, &c}) p->Poll();

    // A player leaves: everyone is told.
    NetClose(c.peer);
    EXPECT_EQ(h.Poll(), (Lines{"destroy 4"}));
    EXPECT_EQ(a.Poll(), (Lines{"destroy 4"}));
    EXPECT_EQ(b.Poll(), (Lines{"destroy 4"}));
    EXPECT_EQ(c.Poll(), Lines{});

    // The host leaves: the player that joined first (the lowest identifier) is the new host, on every
    // machine alike.
    NetClose(h.peer);
    EXPECT_EQ(a.Poll(), (Lines{"destroy 1", "migrate 2"}));
    EXPECT_EQ(b.Poll(), (Lines{"destroy 1", "migrate 2"}));
    EXPECT_TRUE(NetIsHost(a.peer));
    EXPECT_FALSE(NetIsHost(b.peer));
    EXPECT_EQ(NetHostPlayer(b.peer), 2u);
    NetPlayerInfo info;
    ASSERT_EQ(NetGetPlayerInfo(b.peer, 2, &info), NetResult::Ok);
    EXPECT_EQ(info.flags, kNetPlayerHost);

    // The new host vanishes without a word: the same rule again.
    TestPeer& d = Joined("Dan", a);
    for (TestPeer* p : {&a, &b, &d}) p->Poll();
    FakeNetworkDrop(net_, a.peer);
    EXPECT_EQ(b.Poll(), (Lines{"destroy 2", "migrate 3"}));
    EXPECT_EQ(d.Poll(), (Lines{"destroy 2", "migrate 3"}));
    EXPECT_TRUE(NetIsHost(b.peer));
    // The last player left hosts a session of one.
    NetClose(d.peer);
    EXPECT_EQ(b.Poll(), (Lines{"destroy 5"}));
    EXPECT_TRUE(NetIsHost(b.peer));
}

// A session with a password takes only joiners that name it; a joiner that does keeps it, so that as the
// next host it asks the same of later joiners.
TEST_F(NetFakeTest, APasswordIsAskedOfEveryJoinerAndKeptByTheNextHost) {
    TestPeer& h = Peer("Hal");
    NetHostDesc hd = HostDesc();
    snprintf(hd.password, sizeof hd.password, "tiger");
    ASSERT_EQ(NetHost(h.peer, hd), NetResult::Ok);
    h.Poll();
    const struct {
        const char* password;
        NetResult result;
    } cases[] = {{"", NetResult::InvalidPassword}, {"Tiger", NetResult::InvalidPassword},
                 {"tiger2", NetResult::InvalidPassword}, {"tiger", NetResult::Ok}};
    TestPeer* in = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        TestPeer& j = Peer("Joe");
        NetJoinDesc d = JoinDesc(h.peer);
        snprintf(d.password, sizeof d.password, "%s", c.password);
        EXPECT_EQ(NetJoin(j.peer, d), c.result);
        EXPECT_EQ(NetInSession(j.peer), c.result == NetResult::Ok);
        if (c.result == NetResult::Ok) in = &j;
    }
    ASSERT_NE(in, nullptr);
    h.Poll();
    in->Poll();
    NetClose(h.peer);
    in->Poll();
    ASSERT_TRUE(NetIsHost(in->peer));
    NetJoinDesc d = JoinDesc(in->peer);
    TestPeer& late = Peer("Lou");
    EXPECT_EQ(NetJoin(late.peer, d), NetResult::InvalidPassword);
    snprintf(d.password, sizeof d.password, "tiger");
    EXPECT_EQ(NetJoin(late.peer, d), NetResult::Ok);
}

TEST_F(NetFakeTest, RefusedJoinsLeaveTheSessionAsItWas) {
    TestPeer& h = Hosting("Hal", 2);
    TestPeer& a = Joined("Ann", h);
    h.Poll();
    a.Poll();
    struct Case {
        const char* what;
        std::function<NetJoinDesc()> desc;
        NetResult result;
    } cases[] = {
        {"a full session", [&] { return JoinDesc(h.peer); }, NetResult::SessionFull},
        {"another application",
         [&] {
             NetJoinDesc d = JoinDesc(h.peer);
             d.application[15] ^= 1;
             return d;
         },
         NetResult::InvalidApplication},
        {"another version",
         [&] {
             NetJoinDesc d = JoinDesc(h.peer);
             d.version = kNetProtocolVersion + 1;
             return d;
         },
         NetResult::InvalidVersion},
        {"an address that is no host", [&] { return JoinDesc(a.peer); }, NetResult::HostRejected},
        {"an address where nobody is",
         [&] {
             NetJoinDesc d = JoinDesc(h.peer);
             d.host.port = 1;
             return d;
         },
         NetResult::NoConnection},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPeer& j = Peer("Joe");
        EXPECT_EQ(NetJoin(j.peer, c.desc()), c.result);
        EXPECT_FALSE(NetInSession(j.peer));
        EXPECT_EQ(j.Poll(), Lines{});
        EXPECT_EQ(h.Poll(), Lines{});
        EXPECT_EQ(a.Poll(), Lines{});
    }
    // A place frees up: the next join is taken.
    NetClose(a.peer);
    h.Poll();
    TestPeer& j = Peer("Joe");
    EXPECT_EQ(NetJoin(j.peer, JoinDesc(h.peer)), NetResult::Ok);
    EXPECT_EQ(NetJoin(j.peer, JoinDesc(h.peer)), NetResult::AlreadyInSession);
    EXPECT_EQ(NetHost(j.peer, HostDesc()), NetResult::AlreadyInSession);
}

TEST_F(NetFakeTest, AFloodingPlayerIsHandedOutAtItsBoundPerFrame) {
    TestPeer& h = Hosting("Hal");
    TestPeer& a = Joined("Ann", h);
    TestPeer& b = Joined("Bob", h);
    for (TestPeer* p : {&h, &a, &b}) p->Poll();

    auto count = [](const Lines& lines, const std::string& what) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(what) == 0; });
    };
    // Unreliable beyond the bound is dropped; the other player's message gets through in the same frame.
    for (int i = 0; i < 200; ++i) Send(a, 1, "u" + std::to_string(i), NetChannel::Unreliable);
    Send(b, 1, "hello", NetChannel::Reliable);
    Lines frame = h.Poll();
    EXPECT_EQ(count(frame, "receive 2 unreliable"), kNetMessagesPerFrame);
    EXPECT_EQ(count(frame, "receive 3 reliable hello"), 1);
    EXPECT_EQ(h.Poll(), Lines{});
    EXPECT_EQ(NetGetStats(h.peer).droppedFlood, static_cast<uint64_t>(200 - kNetMessagesPerFrame));

    // Reliable beyond the bound waits for the next frames, in order.
    for (int i = 0; i < 100; ++i) Send(a, 1, "r" + std::to_string(i), NetChannel::Reliable);
    frame = h.Poll();
    ASSERT_EQ(count(frame, "receive 2 reliable"), kNetMessagesPerFrame);
    EXPECT_EQ(frame.front(), "receive 2 reliable r0");
    frame = h.Poll();
    ASSERT_EQ(count(frame, "receive 2 reliable"), 100 - kNetMessagesPerFrame);
    EXPECT_EQ(frame.front(), "receive 2 reliable r" + std::to_string(kNetMessagesPerFrame));

    // More reliable messages than may wait: the flooding player is cut off, and told so.
    for (int i = 0; i < 1000; ++i) Send(a, 1, "f", NetChannel::Reliable);
    for (int i = 0; i < 20 && NetGetStats(h.peer).cutOff == 0; ++i) h.Poll();
    EXPECT_EQ(NetGetStats(h.peer).cutOff, 1u);
    EXPECT_EQ(a.Poll(), (Lines{"destroy 1", "destroy 3", "terminate 0 HostRejected"}));
    EXPECT_FALSE(NetInSession(a.peer));
    EXPECT_EQ(b.Poll(), (Lines{"destroy 2"}));
}

TEST_F(NetFakeTest, TheSearchListsEveryHostThatAnswers) {
    TestPeer& h1 = Peer("Hal");
    ASSERT_EQ(NetHost(h1.peer, HostDesc(4, "First")), NetResult::Ok);
    TestPeer& h2 = Peer("Hub");
    ASSERT_EQ(NetHost(h2.peer, HostDesc(8, "Second")), NetResult::Ok);
    Joined("Ann", h2);
    TestPeer& other = Peer("Oz");
    NetHostDesc otherApp = HostDesc(2, "Elsewhere");
    otherApp.application[0] ^= 0xff;
    ASSERT_EQ(NetHost(other.peer, otherApp), NetResult::Ok);

    TestPeer& s = Peer("Sue");
    NetSearchDesc desc;
    memcpy(desc.application, kApp, 16);
    std::vector<NetSessionFound> found;
    const uint32_t start = FakeNetworkNowMs(net_);
    ASSERT_EQ(NetSearch(s.peer, desc, &found), NetResult::Ok);
    EXPECT_GE(FakeNetworkNowMs(net_) - start, static_cast<uint32_t>(kNetSearchMs));
    EXPECT_LT(FakeNetworkNowMs(net_) - start, static_cast<uint32_t>(kNetSearchMs) + 50);
    // Asked several times, each host is listed once.
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) { return strcmp(x.name, y.name) < 0; });
    EXPECT_STREQ(found[0].name, "First");
    EXPECT_EQ(found[0].maxPlayers, 4u);
    EXPECT_EQ(found[0].players, 1u);
    EXPECT_EQ(found[0].data, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_STREQ(found[1].name, "Second");
    EXPECT_EQ(found[1].players, 2u);
    // The address of an answer is where to join.
    EXPECT_EQ(NetJoin(s.peer, [&] {
                  NetJoinDesc d = JoinDesc(h1.peer);
                  d.host = found[0].address;
                  return d;
              }()),
              NetResult::Ok);
    EXPECT_EQ(NetSearch(s.peer, desc, &found), NetResult::AlreadyInSession);

    // A search at one host's address finds that host only; an address that cannot be read is refused.
    TestPeer& t = Peer("Tom");
    char text[32];
    NetAddressText(NetLocalAddress(h2.peer), text, sizeof text);
    *strchr(text, ':') = 0;
    snprintf(desc.hostName, sizeof desc.hostName, "%s", text);
    desc.port = NetLocalAddress(h2.peer).port;
    ASSERT_EQ(NetSearch(t.peer, desc, &found), NetResult::Ok);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].name, "Second");
    snprintf(desc.hostName, sizeof desc.hostName, "no.such.host.");
    EXPECT_EQ(NetSearch(t.peer, desc, &found), NetResult::InvalidHostAddress);
}

TEST_F(NetFakeTest, AHandlerThatClosesTheSessionEndsThePoll) {
    TestPeer& h = Hosting("Hal");
    TestPeer& a = Joined("Ann", h);
    h.Poll();
    a.Poll();
    Send(h, 2, "one", NetChannel::Reliable);
    Send(h, 2, "two", NetChannel::Reliable);
    a.onEvent = [&](const NetEvent&) { NetClose(a.peer); };
    EXPECT_EQ(a.Poll(), (Lines{"receive 1 reliable one"}));
    EXPECT_EQ(a.Poll(), Lines{});
    EXPECT_EQ(h.Poll(), (Lines{"destroy 2"}));
}

}  // namespace
