// The game's session on the in-memory network, beside peers the test drives: the cells through join,
// leave and the host's hand-over, a full session, the password, the search, the messages a host answers,
// the channels, and the network's failures ending only the networked game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "NetGameFixture.h"
#include "ai/Clan.h"
#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "frontend/Widgets.h"
#include "host/Dialog.h"

namespace {

using kvtest::Bytes;
using kvtest::RawPeer;
using host::NetChannel;
using host::NetResult;

Bytes Make(size_t (*write)(uint8_t*)) {
    Bytes b(64);
    b.resize(write(b.data()));
    return b;
}

Bytes Word(ApplMessage number, uint32_t word) {
    Bytes b(8);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(static_cast<uint32_t>(number) >> (8 * i));
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(word >> (8 * i));
    return b;
}

std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (int i = 0; i < PlayerCount; ++i) out.push_back(PlayerTable[i]->name);
    return out;
}

class SessionTest : public kvtest::NetGameTest {};

TEST_F(SessionTest, AHostMakesACellForEveryJoinerAndDropsItWhenItLeaves) {
    GameHosts();
    EXPECT_EQ(OwnPlayer->networkId, 1u);
    EXPECT_EQ(HostPlayer, OwnPlayer);
    EXPECT_NE(OwnPlayer->flags & 0x100, 0u);
    RoundStatus = 1;

    RawPeer& ann = RawJoin("Ann", DirectPlayPeer);
    RawPeer& bob = RawJoin("Bob", DirectPlayPeer);
    Settle();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Me", "Ann", "Bob"}));
    PlayerCell* a = FindIDPlayer(ann.id());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->flags, 0x81u);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"GAMEHOST: Ann has entered the game",
                                                 "GAMEHOST: Bob has entered the game"}));
    // A newcomer learns the round phase, reliably; the host asks nobody (it is the host).
    ASSERT_FALSE(bob.Of(ApplMessage::GameStatus).empty());
    EXPECT_EQ(bob.Of(ApplMessage::GameStatus).back().bytes, Word(ApplMessage::GameStatus, 1));
    EXPECT_EQ(bob.Of(ApplMessage::GameStatus).back().channel, NetChannel::Reliable);
    EXPECT_TRUE(ann.Of(ApplMessage::WantPlayerData).empty());
    const std::string log = Log();
    EXPECT_NE(log.find("CREATEPLAYER BEGIN\n"), std::string::npos);
    EXPECT_NE(log.find("CREATEPLAYER OWNPLAYER\n"), std::string::npos);
    EXPECT_NE(log.find("CREATEPLAYER OTHERPLAYER\n"), std::string::npos);
    EXPECT_NE(log.find("CREATEPLAYER END\n"), std::string::npos);

    // Ann leaves: her unit counts as destroyed and drives on nobody's input.
    construct* unit = GiveUnit(a);
    unit->playerCell = a;
    host::NetClose(ann.peer);
    Settle();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Me", "Bob"}));
    EXPECT_EQ(Shown().back(), "SYSTEM: Ann left the game");
    EXPECT_EQ(static_cast<kvtest::TestUnitData*>(unit->itfcData)->state.structure, 0);
    EXPECT_EQ(unit->playerCell, nullptr);
}

TEST_F(SessionTest, AJoinerMakesTheHostsCellAndAsksTheHostAboutEveryPlayer) {
    RawPeer& hal = RawHost("Hal");
    RawPeer& ann = RawJoin("Ann", hal.peer);
    GameJoins(hal);
    Settle();
    EXPECT_EQ(NetworkGameEnded, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Me", "Hal", "Ann"}));
    ASSERT_NE(HostPlayer, nullptr);
    EXPECT_STREQ(HostPlayer->name, "Hal");
    EXPECT_EQ(IsHost, 0);
    std::vector<uint32_t> asked;
    for (const RawPeer::Message& m : hal.Of(ApplMessage::WantPlayerData)) {
        EXPECT_EQ(m.bytes.size(), 8u);
        asked.push_back(m.bytes[4]);
    }
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<uint32_t>{hal.id(), ann.id()}));
    EXPECT_TRUE(ann.Of(ApplMessage::WantPlayerData).empty());
    EXPECT_NE(Log().find("JOINSESSION 10.0.0."), std::string::npos);
}

// The host leaves (or its machine drops off): the player that joined first becomes the host, and from
// then on the host's messages are taken from it alone, and the messages for the host on it.
TEST_F(SessionTest, WhenTheHostGoesThePlayerThatJoinedFirstTakesOver) {
    for (bool crash : {false, true}) {
        SCOPED_TRACE(crash ? "the host's machine drops off" : "the host leaves");
        ResetGame();
        CloseDirectPlay();
        RawPeer& hal = RawHost("Hal");
        GameJoins(hal);
        RawPeer& ann = RawJoin("Ann", hal.peer);
        Settle();
        ASSERT_EQ(PlayerCount, 3);
        if (crash)
            host::FakeNetworkDrop(net_, hal.peer);
        else
            host::NetClose(hal.peer);
        Settle();
        EXPECT_EQ(Names(), (std::vector<std::string>{"Me", "Ann"}));
        EXPECT_EQ(HostPlayer, OwnPlayer);
        EXPECT_EQ(IsHost, 1);
        const std::vector<std::string> shown = Shown();
        EXPECT_NE(std::find(shown.begin(), shown.end(), "SYSTEM: Hal left the game"), shown.end());
        EXPECT_EQ(shown.back(), "SYSTEM: Me is new host");
        // Ann asks the new host for a side and gets it; the round status is no longer Ann's to send.
        ann.Send(OwnPlayer->networkId, Word(ApplMessage::WantAssign, 1));
        ann.Send(OwnPlayer->networkId, Word(ApplMessage::GameStatus, 2));
        Settle();
        EXPECT_EQ(FindIDPlayer(ann.id())->clan, 1);
        EXPECT_NE(Log().find("GameStatus from " + std::to_string(ann.id()) + " dropped: not the host"),
                  std::string::npos);
        ASSERT_FALSE(ann.Of(ApplMessage::ClanAssignment).empty());
        host::NetClose(ann.peer);
        Settle();
    }
}

TEST_F(SessionTest, AFullSessionRefusesTheNextPlayerAndNoneIsSeatedPastTheTable) {
    maxplayers = 2;
    GameHosts(maxplayers);
    RawJoin("Ann", DirectPlayPeer);
    RawJoin("Bob", DirectPlayPeer, NetResult::SessionFull);
    Settle();
    EXPECT_EQ(PlayerCount, 2);

    // Asked for more than the table seats: 16, the host included; the 17th is refused.
    ResetGame();
    CloseDirectPlay();
    GameHosts(40);
    for (int i = 0; i < 15; ++i) {
        const std::string name = "P" + std::to_string(i);
        RawJoin(name.c_str(), DirectPlayPeer);
        Settle();
    }
    EXPECT_EQ(PlayerCount, 16);
    RawJoin("Seventeen", DirectPlayPeer, NetResult::SessionFull);
    Settle();
    EXPECT_EQ(PlayerCount, 16);
    maxplayers = 8;
}

// The search answer says only that there is a password; the host refuses a joiner without the right one.
TEST_F(SessionTest, APasswordIsNotPublishedAndAWrongOneIsRefused) {
    snprintf(SessionPassword, sizeof SessionPassword, "tiger");
    GameHosts();
    RawPeer& looker = Raw("Looker");
    host::NetSearchDesc d;
    memcpy(d.application, kApplicationGuid, 16);
    const host::NetAddress at = host::NetLocalAddress(DirectPlayPeer);
    snprintf(d.hostName, sizeof d.hostName, "%u.%u.%u.%u", at.ip >> 24, (at.ip >> 16) & 255, (at.ip >> 8) & 255,
             at.ip & 255);
    std::vector<host::NetSessionFound> found;
    ASSERT_EQ(host::NetSearch(looker.peer, d, &found), NetResult::Ok);
    ASSERT_EQ(found.size(), 1u);
    SessionRecord r;
    ASSERT_TRUE(DecodeSessionRecord(found[0].data.data(), found[0].data.size(), &r));
    EXPECT_STREQ(r.password, kPasswordMark);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(found[0].data.data()), found[0].data.size()).find("tiger"),
              std::string::npos);
    RawJoin("Ann", DirectPlayPeer, NetResult::InvalidPassword, "");
    RawJoin("Bob", DirectPlayPeer, NetResult::InvalidPassword, "lion");
    RawJoin("Cid", DirectPlayPeer, NetResult::Ok, "tiger");
    Settle();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Me", "Cid"}));

    // The game as a joiner: the password typed on the join screen goes with the join.
    ResetGame();
    CloseDirectPlay();
    RawPeer& hal = RawHost("Hal", "Locked", "tiger");
    GameJoins(hal);
    EXPECT_EQ(NetworkGameEnded, 1);
    EXPECT_STREQ(host::LastDialogText(), "Reporting a DirectPlay error:\nDPNERR_INVALIDPASSWORD");
    snprintf(JoinPassword, sizeof JoinPassword, "tiger");
    JoinSession();
    PollDirectPlay();
    EXPECT_EQ(NetworkGameEnded, 0);
    EXPECT_EQ(PlayerCount, 2);
}

TEST_F(SessionTest, EverySearchStartsAfreshAndListsEveryHost) {
    RawPeer& first = RawHost("Hal", "First");
    RawHost("Ivy", "Second");
    // A host of another game's record is not listed.
    RawPeer& odd = Raw("Odd");
    const Bytes notARecord = {1, 2, 3};
    ASSERT_EQ(host::NetHost(odd.peer, RawHostDesc(notARecord)), NetResult::Ok);
    CreateDirectPlay();
    EnumSessions();
    ASSERT_EQ(NetGameCount, 2);
    std::vector<std::string> games = {NetGames[0].gameName, NetGames[1].gameName};
    std::sort(games.begin(), games.end());
    EXPECT_EQ(games, (std::vector<std::string>{"First", "Second"}));
    EXPECT_STREQ(NetGameHosts[0].sessionName, "Raw game");
    EXPECT_NE(Log().find("no session record"), std::string::npos);

    host::NetClose(first.peer);
    EnumSessions();
    ASSERT_EQ(NetGameCount, 1);
    EXPECT_STREQ(NetGames[0].gameName, "Second");

    // The join goes to the game chosen, not to the first that answered.
    RawHost("Joe", "Third");
    EnumSessions();
    ASSERT_EQ(NetGameCount, 2);
    JoinSessionIndex = strcmp(NetGames[0].gameName, "Third") == 0 ? 0 : 1;
    IsHost = 0;
    JoinSession();
    PollDirectPlay();
    ASSERT_NE(HostPlayer, nullptr);
    EXPECT_STREQ(HostPlayer->name, "Joe");

    // A port past the last one is refused before anything is sent.
    CloseSession();
    snprintf(JoinPort, sizeof JoinPort, "70000");
    EnumSessions();
    EXPECT_EQ(NetGameCount, 0);
    EXPECT_STREQ(host::LastDialogText(), "Reporting a DirectPlay error:\nDPNERR_INVALIDPARAM");
}

// The join screen's Search lists every game found and enables Join; a search that finds nothing leaves
// nothing to join.
TEST_F(SessionTest, TheJoinScreenListsTheGamesFoundAndJoinsOnlyOneOfThem) {
    RawHost("Hal", "First");
    RawHost("Ivy", "Second");
    CreateDirectPlay();
    ReadRules(KV_SOURCE_DIR "/data/app/text/Menu.txt");
    MenuScreen = kScreenJoin;
    BuildScreen(kScreenJoin);
    MenuHits search;
    search.button = 2;
    RunScreenActions(search);
    EXPECT_EQ(Listboxes[0].count, 2);
    EXPECT_EQ(Buttons[1].enabled, 1);
    snprintf(Textboxes[1].edit, sizeof Textboxes[1].edit, "70000");
    RunScreenActions(search);
    EXPECT_EQ(Listboxes[0].count, 0);
    EXPECT_EQ(Buttons[1].enabled, 0);
    MenuHits join;
    join.button = 1;
    EXPECT_EQ(RunScreenActions(join), 0);
    FreeWidgets();
    MenuScreen = 0;
    FreeRules();
}

// On the host: the messages for the host are answered, each to whom it should go and on its channel.
TEST_F(SessionTest, TheHostAnswersWhatIsAskedOfIt) {
    GameHosts();
    RawPeer& ann = RawJoin("Ann", DirectPlayPeer);
    RawPeer& bob = RawJoin("Bob", DirectPlayPeer);
    Settle();
    ann.received.clear();
    bob.received.clear();

    ann.Send(1, Word(ApplMessage::WantPlayerData, bob.id()));
    Settle();
    ASSERT_EQ(ann.Of(ApplMessage::Playerdata).size(), 1u);
    PlayerdataMsg pd;
    const Bytes b = ann.Of(ApplMessage::Playerdata)[0].bytes;
    ASSERT_TRUE(ReadPlayerdataMsg(b.data(), b.size(), &pd));
    EXPECT_EQ(pd.player, bob.id());
    EXPECT_STREQ(pd.name, "Bob");
    EXPECT_EQ(pd.flags, 0x81u);
    EXPECT_EQ(ann.Of(ApplMessage::Playerdata)[0].channel, NetChannel::Reliable);
    EXPECT_TRUE(bob.Of(ApplMessage::Playerdata).empty());

    // A side while the sides' units differ by two: refused, to the asker alone.
    ConstructPool* ema = CreateConstructPool(4, "clan test pool");
    construct* units[2] = {CreateConstruct(0, 0), CreateConstruct(0, 0)};
    for (construct* u : units) AppendToConstructPool(ema, u);
    Clan emaClan{};
    emaClan.pool = ema;
    Clan* savedTable[2] = {ClanTable[0], ClanTable[1]};
    const int32_t savedCount = ClanCount;
    ClanTable[0] = &emaClan;
    ClanTable[1] = nullptr;
    ClanCount = 2;
    ann.Send(1, Word(ApplMessage::WantAssign, 0));
    Settle();
    EXPECT_EQ(ann.Of(ApplMessage::RefuseAssignment).size(), 1u);
    EXPECT_TRUE(bob.Of(ApplMessage::RefuseAssignment).empty());
    EXPECT_EQ(FindIDPlayer(ann.id())->flags & 0x4, 0u);
    // Within one: granted, and every machine is told.
    RemoveFromConstructPool(ema, units[1]);
    ann.Send(1, Word(ApplMessage::WantAssign, 1));
    bob.Send(1, Make([](uint8_t* o) { return WriteNumberOnly(ApplMessage::AutoAssign, o); }));
    Settle();
    EXPECT_EQ(FindIDPlayer(ann.id())->clan, 1);
    EXPECT_EQ(FindIDPlayer(bob.id())->clan, 0);  // side 1 has no fewer players than side 0
    for (RawPeer* p : {&ann, &bob}) {
        ASSERT_EQ(p->Of(ApplMessage::ClanAssignment).size(), 2u);
        EXPECT_EQ(p->Of(ApplMessage::ClanAssignment)[0].channel, NetChannel::Reliable);
    }
    ClanTable[0] = savedTable[0];
    ClanTable[1] = savedTable[1];
    ClanCount = savedCount;
    for (construct* u : units) FreeConstruct(u);
    DeleteConstructPool(ema);

    // A purchase the host cannot charge changes nothing and sends nothing.
    ann.received.clear();
    Bytes want(kWantChangeUnitSize);
    want.resize(WriteWantChangeUnit("GAJeep", want.data()));
    ann.Send(1, want);
    ann.Send(1, Make([](uint8_t* o) { return WriteNumberOnly(ApplMessage::ByeBye, o); }));
    Settle();
    EXPECT_TRUE(ann.Of(ApplMessage::UnitChange).empty());
    EXPECT_STREQ(FindIDPlayer(ann.id())->unitType, "MovieCamera");
    EXPECT_NE(Log().find("WANTCHANGE Ann(GAJeep)\n"), std::string::npos);
    EXPECT_NE(Log().find("BYEBYE 1\n"), std::string::npos);
}

// Input and the units' state go unreliably, sequenced; everything the machines must agree on goes
// reliably. A message to all comes back to its sender and is not read there.
TEST_F(SessionTest, MessagesGoOnTheirChannelsAndTheSenderDoesNotReadItsOwn) {
    GameHosts();
    RawPeer& ann = RawJoin("Ann", DirectPlayPeer);
    Settle();
    ann.received.clear();
    SetInputKey(&OwnPlayer->unitNow, 14, true);
    SetInputKey(&OwnPlayer->unitNow, 24, true);
    OwnPlayer->unitNow.axes[1] = -300;
    SendSingleInput();
    GiveUnit(OwnPlayer);
    SendUpdatedata();
    SendGameStatus(4);
    SendStartPositions();
    SendChatLine("good luck", 0);
    Settle();
    ASSERT_EQ(ann.Of(ApplMessage::SingleInput).size(), 1u);
    SingleInputMsg in;
    const Bytes b = ann.Of(ApplMessage::SingleInput)[0].bytes;
    ASSERT_TRUE(ReadSingleInputMsg(b.data(), b.size(), &in));
    EXPECT_EQ(in.buttons, 0x401u);
    EXPECT_EQ(in.axes[1], -300);
    EXPECT_EQ(ann.Of(ApplMessage::SingleInput)[0].channel, NetChannel::Unreliable);
    ASSERT_EQ(ann.Of(ApplMessage::Updatedata).size(), 1u);
    EXPECT_EQ(ann.Of(ApplMessage::Updatedata)[0].bytes.size(), 4u + 72 * 2);
    EXPECT_EQ(ann.Of(ApplMessage::Updatedata)[0].channel, NetChannel::Unreliable);
    for (ApplMessage m : {ApplMessage::GameStatus, ApplMessage::StartPositions, ApplMessage::Chat}) {
        ASSERT_EQ(ann.Of(m).size(), 1u) << ApplMessageName(static_cast<uint32_t>(m));
        EXPECT_EQ(ann.Of(m)[0].channel, NetChannel::Reliable);
    }
    const std::vector<std::string> shown = Shown();
    EXPECT_EQ(shown.back(), "Me: good luck");
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Me: good luck"), 1);
    ann.Send(0, Bytes{1, 0, 0, 0, 'h', 'i', 0});
    Settle();
    EXPECT_EQ(Shown().back(), "Ann: hi");
}

TEST_F(SessionTest, NetworkFailuresEndOnlyTheNetworkedGame) {
    kvtest::FatalCatcher fatal;
    EXPECT_EQ(ReportDPError(NetResult::Ok), 0);
    EXPECT_EQ(NetworkGameEnded, 0);
    EXPECT_STREQ(DPErrorName(static_cast<NetResult>(200)), "0x000000C8");

    // No game chosen, and a game whose host has gone.
    CreateDirectPlay();
    IsHost = 0;
    JoinSession();
    EXPECT_EQ(NetworkGameEnded, 1);
    RawPeer& hal = RawHost("Hal");
    GameJoins(hal);
    ASSERT_EQ(NetworkGameEnded, 0);
    CloseSession();
    host::NetClose(hal.peer);
    JoinSession();
    EXPECT_EQ(NetworkGameEnded, 1);
    EXPECT_STREQ(host::LastDialogText(), "Reporting a DirectPlay error:\nDPNERR_NOCONNECTION");
    EXPECT_FALSE(host::NetInSession(DirectPlayPeer));
}

// A joiner that floods the host is cut off: it is told, loses the others' cells and its game ends.
TEST_F(SessionTest, AJoinerTheHostCutsOffEndsItsGame) {
    RawPeer& hal = RawHost("Hal");
    RawJoin("Ann", hal.peer);
    GameJoins(hal);
    Settle();
    ASSERT_EQ(PlayerCount, 3);
    for (int i = 0; i < host::kNetBacklog + 10; ++i) SendChat("spam");
    hal.Poll();
    PollDirectPlay();
    EXPECT_EQ(NetworkGameEnded, 1);
    EXPECT_STREQ(host::LastDialogText(), "Host has terminated session");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Me"}));
    EXPECT_EQ(HostPlayer, nullptr);
    EXPECT_NE(Log().find("TERMINATESESSION DPNERR_HOSTREJECTEDCONNECTION"), std::string::npos);
}

}  // namespace
