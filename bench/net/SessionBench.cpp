// The game's session over the network layer: what it costs to take the application messages, and a
// fight phase's frame with the game's own messages.
//
// - HandleApplMessage/<kind>: one legal message of each kind handed to the receiver again and again, on a
//   machine of sixteen players with a unit each (the host's messages come from the host, the messages for
//   the host reach the host); messages per second. Most kinds write their line to "MPLog.txt", which is
//   opened, appended and closed per line.
// - SessionFightPhase/16: the game hosting sixteen players on 127.0.0.1 (fifteen peers of the network layer
//   in this process): each frame the fifteen send a real SingleInput to all, the game sends its own and
//   the Updatedata of sixteen units, consumes one queued input per player as a tick does, and everyone
//   polls; messages handed out per second, and the share of those sent that arrived.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ai/AUDef.h"
#include "core/Memory.h"
#include "host/Dialog.h"
#include "host/Fs.h"
#include "host/Net.h"
#include "net/Messages.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "objects/Itfc.h"
#include "tools/datakit/ApplMessages.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/TickCounter.h"

namespace {

constexpr int kPlayers = 16;

struct UnitData {
    StateRecord state;
    int32_t pitch, yaw;
};

uintptr_t Unit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    auto* d = static_cast<UnitData*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&d->state);
        case ItfcMethod::GETTURRETPITCH: return static_cast<uint32_t>(d->pitch);
        case ItfcMethod::GETTURRETYAW: return static_cast<uint32_t>(d->yaw);
        case ItfcMethod::SETTURRETPITCH: d->pitch = static_cast<int32_t>(arg); return 0;
        case ItfcMethod::SETTURRETYAW: d->yaw = static_cast<int32_t>(arg); return 0;
        default: return 0;
    }
}

void GiveUnit(PlayerCell* cell) {
    AUDef* au = new AUDef{};
    static int made = 0;  // pool names are unique
    const std::string name = "bench au " + std::to_string(++made);
    au->pool = CreateConstructPool(1, name.c_str());
    construct* con = CreateConstruct(0, 0);
    con->itfc = Unit_itfc;
    con->itfcData = qzAlloc(sizeof(UnitData), "bench unit");
    memset(con->itfcData, 0, sizeof(UnitData));
    con->orient[0] = con->orient[4] = con->orient[8] = 32768;
    AppendToConstructPool(au->pool, con);
    cell->actionUnit = au;
}

// A working folder of its own for "MPLog.txt", and quiet dialogs.
void Prepare() {
    static bool done = [] {
        const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kv-bench-net";
        std::filesystem::create_directories(dir);
        host::SetWorkingDirectory(dir.c_str());
        host::SetDialogsHeadless(true, true);
        host::SetDialogsQuiet(true);
        return true;
    }();
    (void)done;
}

// Sixteen cells with units, this machine's own first (identifiers 1 to 16). The fight phase's session
// leaves such a table too.
void MakeTable() {
    if (PlayerCount == kPlayers && PlayerTable[0]->actionUnit) return;
    while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
    OwnPlayer = CreatePlayer("Me");
    for (int i = 1; i <= kPlayers; ++i) {
        PlayerCell* c = i == 1 ? OwnPlayer : CreatePlayer(("P" + std::to_string(i)).c_str());
        c->networkId = static_cast<uint32_t>(i);
        GiveUnit(c);
    }
}

struct Kind {
    const char* name;
    datakit::Message message;
    bool fromHost;
};

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = [] {
        std::vector<datakit::UnitUpdate> units;
        std::vector<datakit::StartPosition> starts;
        for (int i = 1; i <= kPlayers; ++i) {
            units.push_back({static_cast<uint32_t>(i), {i << 16, 0, 3 << 16}, {32768, 0, 0, 0, 32768, 0, 0, 0, 32768},
                             100, 200, {10, 50, 7}});
            starts.push_back({static_cast<uint32_t>(i), {i, 0, i, 0, 0, 0}});
        }
        return std::vector<Kind>{
            {"SingleInput", datakit::SingleInputMessage(40, 0x21, -300, 5, 0), false},
            {"Chat", datakit::ChatMessage("good luck, have fun"), false},
            {"WantPlayerData", datakit::WordMessage(2, 3), false},
            {"Playerdata", datakit::PlayerdataMessage(3, "P3", "GAJeep", 1, 0x5), true},
            {"FundRaise", datakit::WordMessage(4, 1500), true},
            {"StartPositions", datakit::StartPositionsMessage(starts), true},
            {"Updatedata", datakit::UpdatedataMessage(units), true},
            {"ByeBye", datakit::NumberMessage(8), false},
            {"GameStatus", datakit::WordMessage(9, 4), true},
            {"WantAssign", datakit::WordMessage(10, 1), false},
            {"AutoAssign", datakit::NumberMessage(11), false},
            {"RefuseAssignment", datakit::NumberMessage(12), true},
            {"ClanAssignment", datakit::ClanAssignmentMessage(3, 1), true},
            {"WantChangeUnit", datakit::WantChangeUnitMessage("EMATank"), false},
            {"UnitChange", datakit::UnitChangeMessage(3, "GAMech"), true},
            {"unknown", datakit::WordMessage(256, 0), false},
        };
    }();
    return kinds;
}

void HandleAppl(benchmark::State& state) {
    Prepare();
    MakeTable();
    const Kind& k = Kinds()[static_cast<size_t>(state.range(0))];
    state.SetLabel(k.name);
    // The host's messages come from player 2, which hosts; the messages for the host reach this machine.
    HostPlayer = k.fromHost ? PlayerTable[1] : OwnPlayer;
    RoundStatus = 4;
    for (int i = 0; i < PlayerCount; ++i) PlayerTable[i]->flags = 0x45;
    for (auto _ : state) {
        HandleApplMessage(k.message.data(), k.message.size(), 2);
        MPDeferredFlags = 0;
    }
    state.counters["messages/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    HostPlayer = nullptr;
}
BENCHMARK(HandleAppl)->Name("HandleApplMessage")->DenseRange(0, 15)->Unit(benchmark::kMicrosecond);

struct Counted {
    host::NetPeer* peer = nullptr;
    uint64_t received = 0;
    static void Handler(void* user, const host::NetEvent& e) {
        if (e.kind == host::NetEventKind::Receive) ++static_cast<Counted*>(user)->received;
    }
};

// The game hosts on 127.0.0.1, the fifteen others join; made once and kept for the process.
struct GameSession {
    std::vector<Counted> others = std::vector<Counted>(kPlayers - 1);
    bool ok = false;

    GameSession() {
        Prepare();
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        OwnPlayer = CreatePlayer("Host");
        MultiplayerOn = 1;
        CreateDirectPlay();
        memcpy(ChosenProvider, host::kNetProviderGuid, 16);
        host::NetAdapterOf(host::kNetLoopback, ChosenAdapter);
        IsHost = 1;
        // A port of its own: another run may hold the game's.
        for (uint16_t port = 41000; port < 41100; ++port) {
            host::SetNetDefaultPort(port);
            HostSession(kPlayers);
            if (!NetworkGameEnded) break;
        }
        if (NetworkGameEnded) return;
        PollDirectPlay();
        host::NetJoinDesc j;
        memcpy(j.application, kApplicationGuid, 16);
        j.host = {host::kNetLoopback, host::NetLocalAddress(DirectPlayPeer).port};
        for (size_t i = 0; i < others.size(); ++i) {
            others[i].peer = host::CreateNetPeer(Counted::Handler, &others[i], kLargestApplMessage);
            host::NetSetPlayerInfo(others[i].peer, ("P" + std::to_string(i + 2)).c_str(), nullptr, 0);
            std::atomic<bool> stop{false};
            std::thread polling([&] {
                while (!stop) {
                    PollDirectPlay();
                    for (size_t k = 0; k < i; ++k) host::NetPoll(others[k].peer);
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            });
            const host::NetResult r = host::NetJoin(others[i].peer, j);
            stop = true;
            polling.join();
            if (r != host::NetResult::Ok) return;
        }
        Frame();
        if (PlayerCount != kPlayers) return;
        for (int i = 0; i < PlayerCount; ++i) {
            GiveUnit(PlayerTable[i]);
            PlayerTable[i]->flags = 0x45;
        }
        RoundStatus = 4;
        ok = true;
    }
    void Frame() {
        for (size_t i = 0; i < others.size(); ++i) {
            const datakit::Message m = datakit::SingleInputMessage(static_cast<int32_t>(FrameCounter), 0x21, 0, 0, 0);
            host::NetSend(others[i].peer, host::kNetAllPlayers, m.data(), m.size(), host::NetChannel::Unreliable);
        }
        SendSingleInput();
        SendUpdatedata();
        ++FrameCounter;
        PollDirectPlay();
        for (int i = 0; i < PlayerCount; ++i)
            if (PlayerTable[i] != OwnPlayer) ReplayRemoteInput(PlayerTable[i]);
        for (Counted& c : others) host::NetPoll(c.peer);
    }
    uint64_t Received() const {
        uint64_t n = 0;
        for (const Counted& c : others) n += c.received;
        return n;
    }
};

void SessionFightPhase(benchmark::State& state) {
    static GameSession* s = new GameSession;  // left to the process's end, as the layer's benchmark does
    if (!s->ok) {
        state.SkipWithError("the session could not be made");
        return;
    }
    const uint64_t before = s->Received();
    for (auto _ : state) s->Frame();
    const double n = kPlayers;
    // Each of the n - 1 others takes per frame the n - 1 inputs of the others (its own copy among them)
    // and the game's input and units' state.
    const double sent = static_cast<double>(state.iterations()) * (n - 1) * (n + 1);
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(s->Received() - before), benchmark::Counter::kIsRate);
    state.counters["delivered"] = static_cast<double>(s->Received() - before) / sent;
}
BENCHMARK(SessionFightPhase)->Arg(kPlayers)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
