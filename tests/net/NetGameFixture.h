// A networked game in one test process: the game's own session (net/, with the program's player table,
// round status and deferred flags) on the in-memory network, beside peers of the network layer that the
// test drives by hand (raw peers: another machine's game as its bytes show it, or a hostile one).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ai/AUDef.h"
#include "host/Dialog.h"
#include "host/Fs.h"
#include "host/Net.h"
#include "hud/MessageLog.h"
#include "net/Messages.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "objects/Itfc.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"

namespace kvtest {

using Bytes = std::vector<uint8_t>;

// A peer of the network layer that the test drives: what it received, and who it is.
struct RawPeer {
    host::NetPeer* peer = nullptr;
    struct Message {
        uint32_t sender;
        Bytes bytes;
        host::NetChannel channel;
    };
    std::vector<Message> received;
    std::vector<std::string> events;                   // "create ID", "destroy ID", "migrate ID", "terminate"

    static void Handler(void* user, const host::NetEvent& e) {
        RawPeer* self = static_cast<RawPeer*>(user);
        switch (e.kind) {
            case host::NetEventKind::Receive:
                self->received.push_back({e.player, Bytes(e.data, e.data + e.size), e.channel});
                break;
            case host::NetEventKind::CreatePlayer: self->events.push_back("create " + std::to_string(e.player)); break;
            case host::NetEventKind::DestroyPlayer: self->events.push_back("destroy " + std::to_string(e.player)); break;
            case host::NetEventKind::HostMigrate: self->events.push_back("migrate " + std::to_string(e.player)); break;
            default: self->events.push_back("terminate"); break;
        }
    }
    uint32_t id() const { return host::NetLocalPlayer(peer); }
    void Poll() { host::NetPoll(peer); }
    void Send(uint32_t to, const Bytes& m, host::NetChannel channel = host::NetChannel::Reliable) {
        EXPECT_EQ(host::NetSend(peer, to, m.data(), m.size(), channel), host::NetResult::Ok);
    }
    // The messages received of one number, in order.
    std::vector<Message> Of(ApplMessage number) const {
        std::vector<Message> out;
        for (const Message& m : received) {
            uint32_t n;
            if (ReadMessageNumber(m.bytes.data(), m.bytes.size(), &n) && n == static_cast<uint32_t>(number))
                out.push_back(m);
        }
        return out;
    }
};

// A unit type of the tests: a state record and a turret, through GETSTATE and the turret methods.
struct TestUnitData {
    StateRecord state;
    int32_t pitch, yaw;
};
inline uintptr_t TestUnit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    auto* d = static_cast<TestUnitData*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&d->state);
        case ItfcMethod::GETTURRETPITCH: return static_cast<uint32_t>(d->pitch);
        case ItfcMethod::GETTURRETYAW: return static_cast<uint32_t>(d->yaw);
        case ItfcMethod::SETTURRETPITCH: d->pitch = static_cast<int32_t>(arg); return 0;
        case ItfcMethod::SETTURRETYAW: d->yaw = static_cast<int32_t>(arg); return 0;
        default: return 0;
    }
}

// Every message the log is given, as "SENDER: TEXT".
inline std::vector<std::string>& ShownMessages() {
    static std::vector<std::string> shown;
    return shown;
}
inline void RecordMessage(const char* sender, const char* text) {
    ShownMessages().push_back(std::string(sender) + ": " + text);
}

class NetGameTest : public ::testing::Test {
protected:
    NetGameTest() : previous_(std::filesystem::current_path()), net_(host::CreateFakeNetwork()) {
        host::SetWorkingDirectory(dir_.path().c_str());
        host::FlushDirectoryCache();
        host::UseFakeNetwork(net_);
        host::SetDialogsHeadless(true, true);
        host::SetDialogsQuiet(true);
        ResetGame();
        memcpy(ChosenProvider, host::kNetProviderGuid, 16);
        host::NetAdapterOf(0, ChosenAdapter);
    }
    ~NetGameTest() override {
        CloseDirectPlay();
        for (auto& p : raws_) host::DestroyNetPeer(p->peer);
        raws_.clear();
        for (AUDef* au : aus_) {
            if (!au->pool) continue;
            for (int i = 0; i < au->pool->count; ++i) FreeConstruct(au->pool->constructs[i]);
            DeleteConstructPool(au->pool);
            delete au;
        }
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        OwnPlayer = nullptr;
        ResetGlobals();
        MessageEcho = nullptr;
        host::UseFakeNetwork(nullptr);
        host::DestroyFakeNetwork(net_);
        host::SetDialogsQuiet(false);
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
    }

    static void ResetGlobals() {
        HostPlayer = nullptr;
        IsHost = 0;
        MultiplayerOn = 0;
        RoundStatus = 0;
        MPDeferredFlags = 0;
        NetworkGameEnded = 0;
        FreeNetGames();
        JoinSessionIndex = -1;
        JoinHostName[0] = JoinPort[0] = JoinPassword[0] = 0;
        SessionPassword[0] = 0;
        ClearMessages();
        ShownMessages().clear();
        MessageEcho = RecordMessage;
    }

    void ResetGame() {
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        ResetGlobals();
        OwnPlayer = CreatePlayer("Me");
        MultiplayerOn = 1;
    }

    RawPeer& Raw(const char* name) {
        raws_.push_back(std::make_unique<RawPeer>());
        RawPeer& r = *raws_.back();
        r.peer = host::CreateNetPeer(RawPeer::Handler, &r, kLargestApplMessage + 64);
        host::NetSetPlayerInfo(r.peer, name, nullptr, 0);
        return r;
    }

    host::NetHostDesc RawHostDesc(const Bytes& record, const char* password = "") const {
        host::NetHostDesc d;
        memcpy(d.application, kApplicationGuid, 16);
        snprintf(d.sessionName, sizeof d.sessionName, "Raw game");
        d.sessionData = record.data();
        d.sessionDataSize = record.size();
        memcpy(d.provider, host::kNetProviderGuid, 16);
        host::NetAdapterOf(0, d.adapter);
        snprintf(d.password, sizeof d.password, "%s", password);
        return d;
    }

    static Bytes RecordBytes(const char* game, const char* mission = "Multi01") {
        SessionRecord r{};
        snprintf(r.gameName, sizeof r.gameName, "%s", game);
        snprintf(r.missionName, sizeof r.missionName, "%s", mission);
        r.maxplayers = 8;
        r.roundtime = 5;
        Bytes b(kSessionRecordSize);
        EncodeSessionRecord(r, b.data());
        return b;
    }

    // A raw peer hosting a game of this application.
    RawPeer& RawHost(const char* name, const char* game = "Raw game", const char* password = "") {
        RawPeer& r = Raw(name);
        const Bytes record = RecordBytes(game);
        EXPECT_EQ(host::NetHost(r.peer, RawHostDesc(record, password)), host::NetResult::Ok);
        return r;
    }

    // A raw peer joining the session at a peer's address.
    RawPeer& RawJoin(const char* name, host::NetPeer* at, host::NetResult expected = host::NetResult::Ok,
                     const char* password = "") {
        RawPeer& r = Raw(name);
        host::NetJoinDesc d;
        memcpy(d.application, kApplicationGuid, 16);
        d.host = host::NetLocalAddress(at);
        snprintf(d.password, sizeof d.password, "%s", password);
        EXPECT_EQ(host::NetJoin(r.peer, d), expected) << name;
        return r;
    }

    // The game hosts (with the settings of the test) and takes its own player's event.
    void GameHosts(int32_t players = 8) {
        CreateDirectPlay();
        IsHost = 1;
        HostSession(players);
        PollDirectPlay();
    }

    // The game searches the raw host's address and joins the first game found.
    void GameJoins(const RawPeer& hostPeer) {
        CreateDirectPlay();
        char where[32];
        const host::NetAddress a = host::NetLocalAddress(hostPeer.peer);
        snprintf(where, sizeof where, "%u.%u.%u.%u", a.ip >> 24, (a.ip >> 16) & 255, (a.ip >> 8) & 255, a.ip & 255);
        snprintf(JoinHostName, sizeof JoinHostName, "%s", where);
        EnumSessions();
        ASSERT_GE(NetGameCount, 1);
        JoinSessionIndex = 0;
        IsHost = 0;
        JoinSession();
        PollDirectPlay();
    }

    // Polls the game and every raw peer a few times, so that what was sent has arrived and been handled.
    void Settle() {
        for (int i = 0; i < 4; ++i) {
            PollDirectPlay();
            for (auto& p : raws_) p->Poll();
        }
    }

    // An action unit for a cell, with one unit of the test type.
    construct* GiveUnit(PlayerCell* cell) {
        AUDef* au = new AUDef{};
        snprintf(au->name, sizeof au->name, "test au %zu", aus_.size());
        au->pool = CreateConstructPool(2, au->name);
        construct* con = CreateConstruct(0, 0);
        con->itfc = TestUnit_itfc;
        con->itfcData = qzAlloc(sizeof(TestUnitData), "test unit");
        memset(con->itfcData, 0, sizeof(TestUnitData));
        auto* d = static_cast<TestUnitData*>(con->itfcData);
        d->state = {100, 200, 300};
        con->orient[0] = con->orient[4] = con->orient[8] = 32768;
        AppendToConstructPool(au->pool, con);
        cell->actionUnit = au;
        aus_.push_back(au);
        return con;
    }

    std::string Log() const { return dir_.Read("MPLog.txt"); }
    // The messages the log was given.
    static std::vector<std::string> Shown() { return ShownMessages(); }

    TempDir dir_;
    std::filesystem::path previous_;
    host::FakeNetwork* net_;
    std::vector<std::unique_ptr<RawPeer>> raws_;
    std::vector<AUDef*> aus_;
};

}  // namespace kvtest
