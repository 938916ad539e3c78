// The application messages as a machine of a networked game receives them. The game hosts a session on
// the in-memory network with two other players (2 and 3); the input is a script:
//
//   byte 0: the round status the machine starts from (its low five bits) and, with bit 7, whether player 2
//           is the host instead of this machine (so the host's messages come from 2, and the messages for
//           the host reach a machine that is not it);
//   then records [handler, sender, length (2 bytes), bytes]: handler 0-15 puts that message number in
//           front of the bytes (every handler is reached whatever the bytes are), any other value hands
//           the bytes over as they are; sender picks this machine's own player, player 2 or 3, or an
//           identifier without a cell.
//
// Each message goes through HandleApplMessage; what the accepted ones make the machine send goes out over
// the network. After each, the player table, the round status, the deferred flags and the input queues
// must hold only what legal messages make, and the units only what the game can move.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "host/Net.h"
#include "net/Messages.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "ai/AUDef.h"
#include "objects/Itfc.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"

namespace {

struct UnitData {
    StateRecord state;
    int32_t pitch, yaw;
};

uintptr_t Unit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    auto* d = static_cast<UnitData*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&d->state);
        case ItfcMethod::SETTURRETPITCH: d->pitch = static_cast<int32_t>(arg); return 0;
        case ItfcMethod::SETTURRETYAW: d->yaw = static_cast<int32_t>(arg); return 0;
        case ItfcMethod::GETTURRETPITCH: return static_cast<uint32_t>(d->pitch);
        default: return 0;
    }
}

void Ignore(void*, const host::NetEvent&) {}

struct Game {
    host::NetPeer* others[2];
    PlayerCell* cells[3];  // this machine's own, player 2, player 3
    construct* units[3];
};

Game* Make() {
    static Game g;
    host::UseFakeNetwork(host::CreateFakeNetwork());
    OwnPlayer = CreatePlayer("Me");
    MultiplayerOn = 1;
    CreateDirectPlay();
    memcpy(ChosenProvider, host::kNetProviderGuid, 16);
    host::NetAdapterOf(0, ChosenAdapter);
    IsHost = 1;
    HostSession(8);
    PollDirectPlay();
    for (int i = 0; i < 2; ++i) {
        g.others[i] = host::CreateNetPeer(Ignore, nullptr, kLargestApplMessage);
        host::NetSetPlayerInfo(g.others[i], i ? "Bob" : "Ann", nullptr, 0);
        host::NetJoinDesc d;
        memcpy(d.application, kApplicationGuid, 16);
        d.host = host::NetLocalAddress(DirectPlayPeer);
        if (host::NetJoin(g.others[i], d) != host::NetResult::Ok) std::abort();
        PollDirectPlay();
    }
    if (PlayerCount != 3 || HostPlayer != OwnPlayer) std::abort();
    for (int i = 0; i < 3; ++i) {
        g.cells[i] = PlayerTable[i];
        AUDef* au = new AUDef{};
        const char* const poolNames[3] = {"fuzz au 0", "fuzz au 1", "fuzz au 2"};  // pool names are unique
        au->pool = CreateConstructPool(1, poolNames[i]);
        construct* con = CreateConstruct(0, 0);
        con->itfc = Unit_itfc;
        con->itfcData = qzAlloc(sizeof(UnitData), "fuzz unit");
        AppendToConstructPool(au->pool, con);
        g.cells[i]->actionUnit = au;
        g.units[i] = con;
    }
    return &g;
}

// The state every input starts from.
void Reset(Game& g, uint8_t first) {
    const char* const names[3] = {"Me", "Ann", "Bob"};
    for (int i = 0; i < 3; ++i) {
        PlayerCell* c = g.cells[i];
        snprintf(c->name, sizeof c->name, "%s", names[i]);
        snprintf(c->unitType, sizeof c->unitType, "MovieCamera");
        c->flags = i ? 0x1 : 0x105;
        c->clan = 0;
        c->funds = 0;
        c->remoteCount = 0;
        c->inputApplied = 0;
        memset(c->startPosition, 0, sizeof c->startPosition);
        construct* u = g.units[i];
        memset(u->pos, 0, sizeof u->pos);
        memset(u->orient, 0, sizeof u->orient);
        u->orient[0] = u->orient[4] = u->orient[8] = 32768;
        memset(u->itfcData, 0, sizeof(UnitData));
    }
    RoundStatus = first & 0x1F;
    MPDeferredFlags = 0;
    HostPlayer = (first & 0x80) ? g.cells[1] : g.cells[0];
}

bool Terminated(const char* text, size_t size) { return strnlen(text, size) < size; }

// What legal messages can make of the machine.
void Check(const Game& g) {
    if (PlayerCount != 3) std::abort();
    for (int i = 0; i < 3; ++i) {
        const PlayerCell* c = g.cells[i];
        if (PlayerTable[i] != c || c->networkId != static_cast<uint32_t>(i + 1)) std::abort();
        if ((c->flags & ~kPlayerFlagBits) || (c->clan != 0 && c->clan != 1)) std::abort();
        if (!Terminated(c->name, sizeof c->name) || !Terminated(c->unitType, sizeof c->unitType)) std::abort();
        if (c->remoteCount < 0 || c->remoteCount > kRemoteInputQueueSize) std::abort();
        if (c == OwnPlayer && c->remoteCount != 0) std::abort();
        for (int q = 0; q < c->remoteCount; ++q) {
            if (c->remoteQueue[q].buttons & ~0x7FFu) std::abort();
            if (q && c->remoteQueue[q - 1].tick < c->remoteQueue[q].tick) std::abort();
        }
        const construct* u = g.units[i];
        for (int32_t v : u->pos)
            if (v < -(1 << 30) || v > (1 << 30)) std::abort();
        for (int32_t v : u->orient)
            if (v < -65536 || v > 65536) std::abort();
    }
    if (RoundStatus & ~kRoundStatusBits) std::abort();
    if (MPDeferredFlags & ~(kDeferChangeUnit | kDeferPlaceAtStart | kDeferBeginFight)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static Game* g = Make();
    if (size < 1) return 0;
    Reset(*g, data[0]);
    size_t at = 1;
    std::vector<uint8_t> message;
    while (at + 4 <= size) {
        const uint8_t handler = data[at];
        const uint8_t who = data[at + 1];
        size_t n = data[at + 2] | size_t(data[at + 3]) << 8;
        at += 4;
        n = std::min(n, size - at);
        message.clear();
        if (handler < static_cast<uint8_t>(ApplMessage::Count)) message.insert(message.end(), {handler, 0, 0, 0});
        message.insert(message.end(), data + at, data + at + n);
        at += n;
        const uint32_t sender = (who & 3) == 3 ? 0x100u + who : (who & 3) + 1u;
        // The copy of a message this machine sent to all is not handed over; a sender of its own is, for
        // the receiver's own guard.
        HandleApplMessage(message.data(), message.size(), sender);
        Check(*g);
        // Remote inputs are consumed as the world tick does.
        if (who & 0x80)
            for (int i = 0; i < 3; ++i) ReplayRemoteInput(g->cells[i]);
    }
    // What the machine sent arrives, and is dropped by the others.
    for (host::NetPeer* p : g->others) host::NetPoll(p);
    PollDirectPlay();
    return 0;
}
