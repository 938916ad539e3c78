// The network layer under a fight phase's traffic, over UDP on 127.0.0.1 with every peer in this process:
// each frame every player sends a SingleInput-sized message (24 bytes) to all, unreliable, and the host
// sends the units' state of every player (an Updatedata: 4 + 72 bytes per player) to all, unreliable;
// then every peer polls once.
//
// - FightPhase/16: the whole session of sixteen (a host and fifteen peers); messages handed to the
//   handlers per second.
// - HostFrame/N: the host's own work of a frame (its sends and its poll) with N players, timed alone;
//   the game runs 50 frames a second, so a host holds N players while this stays well under 20 ms.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "host/Net.h"

namespace {

using namespace host;

const uint8_t kApp[16] = {'n', 'e', 't', '-', 'b', 'e', 'n', 'c', 'h', 0, 0, 0, 0, 0, 0, 1};
constexpr size_t kInputSize = 24;
constexpr size_t UpdateSize(int players) { return 4 + 72 * static_cast<size_t>(players); }

struct Counted {
    NetPeer* peer = nullptr;
    uint64_t received = 0;
    static void Handler(void* user, const NetEvent& e) {
        if (e.kind == NetEventKind::Receive) ++static_cast<Counted*>(user)->received;
    }
};

// A session of n players on 127.0.0.1, made once per size and kept for the process.
struct Session {
    std::vector<std::unique_ptr<Counted>> peers;  // the host first
    bool ok = false;

    explicit Session(int n) {
        const size_t largest = UpdateSize(n);
        for (int i = 0; i < n; ++i) {
            peers.push_back(std::make_unique<Counted>());
            peers.back()->peer = CreateNetPeer(Counted::Handler, peers.back().get(), largest);
        }
        NetHostDesc d;
        memcpy(d.application, kApp, 16);
        memcpy(d.provider, kNetProviderGuid, 16);
        NetAdapterOf(kNetLoopback, d.adapter);
        d.anyPort = true;
        if (NetHost(peers[0]->peer, d) != NetResult::Ok) return;
        NetJoinDesc j;
        memcpy(j.application, kApp, 16);
        j.host = {kNetLoopback, NetLocalAddress(peers[0]->peer).port};
        for (int i = 1; i < n; ++i) {
            // The players already in the session are polled meanwhile, as their own processes would be.
            std::atomic<bool> stop{false};
            std::thread others([&] {
                while (!stop) {
                    for (int k = 0; k < i; ++k) NetPoll(peers[k]->peer);
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            });
            const NetResult r = NetJoin(peers[i]->peer, j);
            stop = true;
            others.join();
            if (r != NetResult::Ok) return;
        }
        Frame();  // the create-player events out of the way
        ok = true;
    }
    void Send(int i) {
        static const uint8_t input[kInputSize] = {};
        NetSend(peers[i]->peer, kNetAllPlayers, input, sizeof input, NetChannel::Unreliable);
        if (i == 0) {
            static std::vector<uint8_t> update;
            update.assign(UpdateSize(static_cast<int>(peers.size())), 6);
            NetSend(peers[0]->peer, kNetAllPlayers, update.data(), update.size(), NetChannel::Unreliable);
        }
    }
    void Frame() {
        for (size_t i = 0; i < peers.size(); ++i) Send(static_cast<int>(i));
        for (auto& p : peers) NetPoll(p->peer);
    }
    uint64_t Received() const {
        uint64_t n = 0;
        for (const auto& p : peers) n += p->received;
        return n;
    }
};

// The sessions are left to the process's end: closing a peer waits a moment for its goodbyes to be taken,
// which nobody polls for here.
Session& SessionOf(int n) {
    static std::map<int, Session*> sessions;
    Session*& s = sessions[n];
    if (!s) s = new Session(n);
    return *s;
}

void FightPhase(benchmark::State& state) {
    Session& s = SessionOf(static_cast<int>(state.range(0)));
    if (!s.ok) {
        state.SkipWithError("the session could not be made");
        return;
    }
    const uint64_t before = s.Received();
    for (auto _ : state) s.Frame();
    const double n = static_cast<double>(s.peers.size());
    // Sent per frame: each of n players to n - 1 others (and its own copy), and the host's update to all.
    state.counters["messages/s"] = benchmark::Counter(static_cast<double>(s.Received() - before),
                                                      benchmark::Counter::kIsRate);
    state.counters["delivered"] = static_cast<double>(s.Received() - before) /
                                  (static_cast<double>(state.iterations()) * (n * n + n));
}
BENCHMARK(FightPhase)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

void HostFrame(benchmark::State& state) {
    Session& s = SessionOf(static_cast<int>(state.range(0)));
    if (!s.ok) {
        state.SkipWithError("the session could not be made");
        return;
    }
    using Clock = std::chrono::steady_clock;
    const uint64_t before = s.peers[0]->received;
    for (auto _ : state) {
        for (size_t i = 1; i < s.peers.size(); ++i) s.Send(static_cast<int>(i));
        const auto start = Clock::now();
        s.Send(0);
        NetPoll(s.peers[0]->peer);
        const auto end = Clock::now();
        for (size_t i = 1; i < s.peers.size(); ++i) NetPoll(s.peers[i]->peer);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    const double n = static_cast<double>(s.peers.size());
    // The host's share of the frame's messages that it was handed (its own two copies included).
    state.counters["delivered"] =
        static_cast<double>(s.peers[0]->received - before) / (static_cast<double>(state.iterations()) * (n + 1));
}
BENCHMARK(HostFrame)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
