// The network's own packets on a connection (the hello of a joiner, the host's welcome, the players'
// addresses, the hello between players and its acceptance, a player gone) and the application messages
// among them. The input is a script: its first byte picks the peer that receives, then records of
// [target, channel, length (2 bytes), bytes] hand it packets, connections and disconnections:
//
// - 0: a host with a joiner in its session; target 0 is the joiner's connection, 1 a connection that
//   has just come in, 2 a disconnection of the latter.
// - 1: a peer in the middle of a join; target 0 is its connection to the host, 1 the connection it made
//   last (to a player the host announced), 2 that connection coming up, 3 a disconnection of it.
//
// Afterwards the peer's events are polled (the handler answers every message, to its sender and to
// all), the join ends if it is under way, and the session is closed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/NetForms.h"
#include "host/Net_local.h"
#include "net/Session.h"

namespace {

const uint8_t* const kApp = kvfuzz::kPacketApp;

host::NetPeer* g_peer = nullptr;

void Answer(void*, const host::NetEvent& e) {
    if (e.kind != host::NetEventKind::Receive || !g_peer) return;
    host::NetSend(g_peer, e.player, e.data, e.size, e.channel);
    host::NetSend(g_peer, host::kNetAllPlayers, e.data, e.size, host::NetChannel::Unreliable);
    host::NetPlayerInfo info;
    host::NetGetPlayerInfo(g_peer, e.player, &info);
}

host::NetHostDesc HostDesc() {
    host::NetHostDesc desc;
    memcpy(desc.application, kApp, 16);
    memcpy(desc.provider, host::kNetProviderGuid, 16);
    host::NetAdapterOf(0, desc.adapter);
    return desc;
}

void Feed(host::NetPeer* p, host::TransportEventKind kind, uint32_t conn, uint8_t channel, const uint8_t* data,
          size_t size) {
    host::TransportEvent ev{};
    ev.kind = kind;
    ev.conn = conn;
    ev.reason = channel;
    ev.channel = channel & 1;
    ev.data = data;
    ev.size = size;
    host::FeedNetPeer(p, ev);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    if (size < 1) return 0;
    host::FakeNetwork* net = host::CreateFakeNetwork();
    host::UseFakeNetwork(net);
    const bool joining = data[0] & 1;
    host::NetPeer* hostPeer = host::CreateNetPeer(Answer, nullptr, kLargestApplMessage);
    host::NetPeer* joiner = host::CreateNetPeer(Answer, nullptr, kLargestApplMessage);
    host::NetPeer* peer = joining ? joiner : hostPeer;
    g_peer = peer;
    uint32_t first = 0;
    if (joining) {
        // A join of a host that is not there: the packets of the script stand in for the host's.
        host::NetJoinDesc join;
        memcpy(join.application, kApp, 16);
        join.host = {0x0A0000FE, 1};
        host::StartNetJoin(joiner, join);
        if (!joiner->links.empty()) {
            first = joiner->links[0].conn;
            Feed(joiner, host::TransportEventKind::Connected, first, 0, nullptr, 0);
        }
    } else {
        host::NetHost(hostPeer, HostDesc());
        host::NetJoinDesc join;
        memcpy(join.application, kApp, 16);
        join.host = host::NetLocalAddress(hostPeer);
        host::NetJoin(joiner, join);
        first = hostPeer->links.empty() ? 0 : hostPeer->links[0].conn;
    }
    const uint32_t incoming = 0x7FFF0000;
    size_t at = 1;
    while (at + 4 <= size) {
        const uint8_t target = data[at], channel = data[at + 1];
        const size_t length = std::min<size_t>(data[at + 2] | data[at + 3] << 8, size - at - 4);
        const uint8_t* bytes = data + at + 4;
        at += 4 + length;
        const uint32_t last = peer->links.empty() ? 0 : peer->links.back().conn;
        switch (target % 4) {
            case 0: Feed(peer, host::TransportEventKind::Received, first, channel, bytes, length); break;
            case 1:
                if (joining) {
                    Feed(peer, host::TransportEventKind::Received, last, channel, bytes, length);
                } else {
                    Feed(peer, host::TransportEventKind::Connected, incoming, 0, nullptr, 0);
                    Feed(peer, host::TransportEventKind::Received, incoming, channel, bytes, length);
                }
                break;
            case 2:
                if (joining)
                    Feed(peer, host::TransportEventKind::Connected, last, 0, nullptr, 0);
                else
                    Feed(peer, host::TransportEventKind::Disconnected, incoming, channel, nullptr, 0);
                break;
            default: Feed(peer, host::TransportEventKind::Disconnected, last, channel, nullptr, 0); break;
        }
    }
    if (joining && peer->phase == host::NetPhase::Joining) host::EndNetJoin(peer, host::NetResult::Ok);
    host::NetPoll(peer);
    host::NetPoll(peer);
    g_peer = nullptr;
    host::DestroyNetPeer(joiner);
    host::DestroyNetPeer(hostPeer);
    host::UseFakeNetwork(nullptr);
    host::DestroyFakeNetwork(net);
    return 0;
}
