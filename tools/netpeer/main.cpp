// netpeer: one peer of the network layer as a process, for the end-to-end tests. It reads commands from
// its standard input, one a line, and writes what happens to its standard output, one line each:
//
//   host PORT                        -> "hosting PORT"   (0: a free port; the line says which)
//   search HOST PORT MS              -> "found NAME PLAYERS A.B.C.D:PORT DATA" for each, then "searched N"
//   join HOST PORT [PASSWORD]        -> "joined ID PORT" (our identifier and local port) or "join-failed RESULT"
//   send TO reliable|unreliable TEXT -> "sent RESULT"    (TO 0: all players)
//   raw TO reliable|unreliable HEX   -> "sent RESULT"    (the bytes written in hexadecimal)
//   flood TO COUNT HEX               -> "flooded N"      (COUNT reliable copies at once, N of them taken)
//   close                            -> "closed"
//   quit
//
// and the session's events as they are polled (every 5 ms):
//
//   create ID FLAGS NAME, destroy ID, recv FROM reliable|unreliable TEXT, migrate ID, terminate RESULT
//
// Options: --name NAME, --version N (the layer's version it claims), --other-application (a GUID of
// another application), --game (the game's own application, as a machine of a networked game would
// be), --hex (received messages shown in hexadecimal), --largest N (the largest message it sends and takes;
// 1156 unless given).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/Net.h"
#include "net/Session.h"

namespace {

using namespace host;

uint8_t g_application[16] = {'n', 'e', 't', 'p', 'e', 'e', 'r', 0, 9, 8, 7, 6, 5, 4, 3, 2};
uint32_t g_version = kNetProtocolVersion;
NetPeer* g_peer = nullptr;
bool g_hex = false;
size_t g_largest = kLargestApplMessage;

void Say(const std::string& line) { std::cout << line << std::endl; }

std::string Hex(const uint8_t* data, size_t size) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < size; ++i) {
        snprintf(two, sizeof two, "%02x", data[i]);
        out += two;
    }
    return out.empty() ? "-" : out;
}

void Handler(void*, const NetEvent& e) {
    switch (e.kind) {
        case NetEventKind::CreatePlayer: {
            NetPlayerInfo info{};
            NetGetPlayerInfo(g_peer, e.player, &info);
            Say("create " + std::to_string(e.player) + " " + std::to_string(e.flags) + " " + info.name);
            break;
        }
        case NetEventKind::DestroyPlayer: Say("destroy " + std::to_string(e.player)); break;
        case NetEventKind::Receive:
            Say("recv " + std::to_string(e.player) +
                (e.channel == NetChannel::Reliable ? " reliable " : " unreliable ") +
                (g_hex ? Hex(e.data, e.size) : std::string(reinterpret_cast<const char*>(e.data), e.size)));
            break;
        case NetEventKind::HostMigrate: Say("migrate " + std::to_string(e.player)); break;
        case NetEventKind::Terminate: Say(std::string("terminate ") + NetResultName(e.reason)); break;
    }
}

std::vector<uint8_t> Unhex(const std::string& text) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < text.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return out;
}

NetAddress Address(const std::string& host, int port) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    sscanf(host.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
    return {a << 24 | b << 16 | c << 8 | d, static_cast<uint16_t>(port)};
}

// Runs one command; false for quit.
bool Command(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "quit") return false;
    if (word == "host") {
        int port = 0;
        in >> port;
        NetHostDesc d;
        memcpy(d.application, g_application, 16);
        d.version = g_version;
        snprintf(d.sessionName, sizeof d.sessionName, "Duel");
        static const uint8_t record[4] = {0xde, 0xad, 0xbe, 0xef};
        d.sessionData = record;
        d.sessionDataSize = sizeof record;
        memcpy(d.provider, kNetProviderGuid, 16);
        NetAdapterOf(0, d.adapter);  // all addresses
        d.port = static_cast<uint16_t>(port);
        d.anyPort = port == 0;
        const NetResult r = NetHost(g_peer, d);
        Say(r == NetResult::Ok ? "hosting " + std::to_string(NetLocalAddress(g_peer).port)
                               : std::string("host-failed ") + NetResultName(r));
    } else if (word == "search") {
        std::string host;
        int port = 0, ms = 0;
        in >> host >> port >> ms;
        NetSearchDesc d;
        memcpy(d.application, g_application, 16);
        d.version = g_version;
        snprintf(d.hostName, sizeof d.hostName, "%s", host.c_str());
        d.port = static_cast<uint16_t>(port);
        d.timeMs = ms;
        std::vector<NetSessionFound> found;
        const NetResult r = NetSearch(g_peer, d, &found);
        for (const NetSessionFound& f : found) {
            char address[32];
            NetAddressText(f.address, address, sizeof address);
            Say(std::string("found ") + f.name + " " + std::to_string(f.players) + " " + address + " " +
                Hex(f.data.data(), f.data.size()));
        }
        Say(r == NetResult::Ok ? "searched " + std::to_string(found.size())
                               : std::string("search-failed ") + NetResultName(r));
    } else if (word == "join") {
        std::string host, password;
        int port = 0;
        in >> host >> port >> password;
        NetJoinDesc d;
        memcpy(d.application, g_application, 16);
        d.version = g_version;
        d.host = Address(host, port);
        snprintf(d.password, sizeof d.password, "%s", password.c_str());
        const NetResult r = NetJoin(g_peer, d);
        Say(r == NetResult::Ok ? "joined " + std::to_string(NetLocalPlayer(g_peer)) + " " +
                                     std::to_string(NetLocalAddress(g_peer).port)
                               : std::string("join-failed ") + NetResultName(r));
    } else if (word == "send") {
        unsigned to = 0;
        std::string channel, text;
        in >> to >> channel;
        std::getline(in >> std::ws, text);
        const NetResult r = NetSend(g_peer, to, text.data(), text.size(),
                                    channel == "reliable" ? NetChannel::Reliable : NetChannel::Unreliable);
        Say(std::string("sent ") + NetResultName(r));
    } else if (word == "raw") {
        unsigned to = 0;
        std::string channel, hex;
        in >> to >> channel >> hex;
        const std::vector<uint8_t> bytes = Unhex(hex);
        const NetResult r = NetSend(g_peer, to, bytes.data(), bytes.size(),
                                    channel == "reliable" ? NetChannel::Reliable : NetChannel::Unreliable);
        Say(std::string("sent ") + NetResultName(r));
    } else if (word == "flood") {
        unsigned to = 0;
        int count = 0;
        std::string hex;
        in >> to >> count >> hex;
        const std::vector<uint8_t> bytes = Unhex(hex);
        int taken = 0;
        for (int i = 0; i < count; ++i)
            taken += NetSend(g_peer, to, bytes.data(), bytes.size(), NetChannel::Reliable) == NetResult::Ok;
        Say("flooded " + std::to_string(taken));
    } else if (word == "close") {
        NetClose(g_peer);
        Say("closed");
    } else {
        Say("unknown command " + word);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string name = "peer";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--name" && i + 1 < argc) {
            name = argv[++i];
        } else if (a == "--version" && i + 1 < argc) {
            g_version = static_cast<uint32_t>(atoi(argv[++i]));
        } else if (a == "--other-application") {
            g_application[15] ^= 0xff;
        } else if (a == "--game") {
            memcpy(g_application, kApplicationGuid, 16);
        } else if (a == "--hex") {
            g_hex = true;
        } else if (a == "--largest" && i + 1 < argc) {
            g_largest = static_cast<size_t>(atoi(argv[++i]));
        } else {
            fprintf(stderr, "netpeer: unknown option '%s'\n", a.c_str());
            return 2;
        }
    }
    g_peer = CreateNetPeer(Handler, nullptr, g_largest);
    NetSetPlayerInfo(g_peer, name.c_str(), nullptr, 0);

    // Commands come from a reader thread; the main thread polls and runs them, so the peer lives on one.
    std::mutex lock;
    std::deque<std::string> commands;
    bool ended = false;
    std::thread reader([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::lock_guard<std::mutex> hold(lock);
            commands.push_back(line);
        }
        std::lock_guard<std::mutex> hold(lock);
        ended = true;
    });
    reader.detach();
    for (;;) {
        NetPoll(g_peer);
        std::string line;
        bool have = false, over = false;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (!commands.empty()) {
                line = commands.front();
                commands.pop_front();
                have = true;
            }
            over = ended && commands.empty() && !have;
        }
        if (have && !Command(line)) break;
        if (over) break;
        if (!have) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    DestroyNetPeer(g_peer);
    std::_Exit(0);  // the reader may still wait on its input
}
