// The application messages: each written and read back at its offsets, the remote input queue, what a
// joiner does with each message of the host and the others, and a table of messages that must be dropped
// with a line in the log and no change.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "net/Messages.h"
#include "NetGameFixture.h"

namespace {

using kvtest::Bytes;

uint32_t U32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

Bytes Make(const std::function<size_t(uint8_t*)>& write) {
    Bytes b(kLargestApplMessage + 16);
    b.resize(write(b.data()));
    return b;
}

TEST(ApplMessages, EachKindHasItsSizeAndItsFieldsAtTheirOffsets) {
    SingleInputMsg in{-7, 0x405, {-1, 2, 32767}};
    Bytes b = Make([&](uint8_t* o) { return WriteSingleInput(in, o); });
    ASSERT_EQ(b.size(), 24u);
    EXPECT_EQ(U32(b, 0), 0u);
    EXPECT_EQ(U32(b, 4), uint32_t(-7));
    EXPECT_EQ(U32(b, 8), 0x405u);
    EXPECT_EQ(b[12], 0xff);
    EXPECT_EQ(b[13], 0xff);
    EXPECT_EQ(b[14], 2);
    EXPECT_EQ(b[17], 0x7f);
    EXPECT_EQ(Bytes(b.begin() + 18, b.end()), Bytes(6, 0));
    SingleInputMsg back{};
    ASSERT_TRUE(ReadSingleInputMsg(b.data(), b.size(), &back));
    EXPECT_EQ(back.tick, -7);
    EXPECT_EQ(back.buttons, 0x405u);
    EXPECT_EQ(back.axes[0], -1);
    EXPECT_EQ(back.axes[2], 32767);

    PlayerdataMsg pd{77, "Anna", "GAJeep", 1, 0x245};
    b = Make([&](uint8_t* o) { return WritePlayerdata(pd, o); });
    ASSERT_EQ(b.size(), 112u);
    EXPECT_EQ(U32(b, 0), 3u);
    EXPECT_EQ(U32(b, 4), 77u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[8])), "Anna");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[40])), "GAJeep");
    EXPECT_EQ(U32(b, 104), 1u);
    EXPECT_EQ(U32(b, 108), 0x245u);
    PlayerdataMsg pdBack{};
    ASSERT_TRUE(ReadPlayerdataMsg(b.data(), b.size(), &pdBack));
    EXPECT_STREQ(pdBack.name, "Anna");
    EXPECT_STREQ(pdBack.unitType, "GAJeep");
    EXPECT_EQ(pdBack.clan, 1);
    EXPECT_EQ(pdBack.flags, 0x245u);

    UpdateEntry ue[2] = {};
    ue[0].player = 5;
    for (int k = 0; k < 3; ++k) ue[0].pos[k] = 1000 * (k + 1);
    for (int k = 0; k < 9; ++k) ue[0].orient[k] = k - 4;
    ue[0].pitch = kNoTurret;
    ue[0].yaw = 12;
    ue[0].state[0] = 1, ue[0].state[1] = -2, ue[0].state[2] = 3;
    ue[1].player = 6;
    b = Make([&](uint8_t* o) { return WriteUpdatedata(ue, 2, o); });
    ASSERT_EQ(b.size(), 4u + 2 * 72);
    EXPECT_EQ(U32(b, 0), 6u);
    EXPECT_EQ(U32(b, 4), 5u);
    EXPECT_EQ(U32(b, 8), 1000u);
    EXPECT_EQ(U32(b, 20), uint32_t(-4));
    EXPECT_EQ(U32(b, 56), 0x80000000u);
    EXPECT_EQ(U32(b, 60), 12u);
    EXPECT_EQ(U32(b, 68), uint32_t(-2));
    EXPECT_EQ(U32(b, 76), 6u);
    UpdateEntry ueBack[16];
    int count = 0;
    ASSERT_TRUE(ReadUpdatedataMsg(b.data(), b.size(), ueBack, &count));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(memcmp(&ueBack[0], &ue[0], sizeof ue[0]), 0);
    EXPECT_EQ(ueBack[1].player, 6u);

    StartPositionEntry sp[1] = {{9, {1, 2, 3, 4, 5, -6}}};
    b = Make([&](uint8_t* o) { return WriteStartPositions(sp, 1, o); });
    ASSERT_EQ(b.size(), 32u);
    EXPECT_EQ(U32(b, 4), 9u);
    EXPECT_EQ(U32(b, 28), uint32_t(-6));
    StartPositionEntry spBack[16];
    ASSERT_TRUE(ReadStartPositionsMsg(b.data(), b.size(), spBack, &count));
    ASSERT_EQ(count, 1);
    EXPECT_EQ(spBack[0].position[5], -6);

    // The messages of a number or two, and the texts.
    struct Small {
        ApplMessage number;
        Bytes bytes;
        size_t size;
    } smalls[] = {
        {ApplMessage::WantPlayerData, Make([](uint8_t* o) { return WriteWantPlayerData(42, o); }), 8},
        {ApplMessage::FundRaise, Make([](uint8_t* o) { return WriteFundRaise(-3, o); }), 8},
        {ApplMessage::ByeBye, Make([](uint8_t* o) { return WriteNumberOnly(ApplMessage::ByeBye, o); }), 4},
        {ApplMessage::GameStatus, Make([](uint8_t* o) { return WriteGameStatus(0x12, o); }), 8},
        {ApplMessage::WantAssign, Make([](uint8_t* o) { return WriteWantAssign(1, o); }), 8},
        {ApplMessage::AutoAssign, Make([](uint8_t* o) { return WriteNumberOnly(ApplMessage::AutoAssign, o); }), 4},
        {ApplMessage::RefuseAssignment,
         Make([](uint8_t* o) { return WriteNumberOnly(ApplMessage::RefuseAssignment, o); }), 4},
        {ApplMessage::ClanAssignment, Make([](uint8_t* o) { return WriteClanAssignment(8, 1, o); }), 12},
        {ApplMessage::WantChangeUnit, Make([](uint8_t* o) { return WriteWantChangeUnit("EMATank", o); }), 36},
        {ApplMessage::UnitChange, Make([](uint8_t* o) { return WriteUnitChange(8, "EMATank", o); }), 40},
        {ApplMessage::Chat, Make([](uint8_t* o) { return WriteChat("hello", o, 200); }), 10},
    };
    for (const Small& s : smalls) {
        SCOPED_TRACE(ApplMessageName(static_cast<uint32_t>(s.number)));
        ASSERT_EQ(s.bytes.size(), s.size);
        EXPECT_EQ(U32(s.bytes, 0), static_cast<uint32_t>(s.number));
    }
    uint32_t word = 0;
    EXPECT_TRUE(ReadPlayerWord(smalls[0].bytes.data(), 8, ApplMessage::WantPlayerData, &word));
    EXPECT_EQ(word, 42u);
    EXPECT_TRUE(ReadPlayerWord(smalls[1].bytes.data(), 8, ApplMessage::FundRaise, &word));
    EXPECT_EQ(static_cast<int32_t>(word), -3);
    EXPECT_FALSE(ReadPlayerWord(smalls[1].bytes.data(), 8, ApplMessage::GameStatus, &word));
    uint32_t player = 0;
    int32_t clan = 0;
    EXPECT_TRUE(ReadClanAssignmentMsg(smalls[7].bytes.data(), 12, &player, &clan));
    EXPECT_EQ(player, 8u);
    EXPECT_EQ(clan, 1);
    char unit[kUnitNameField];
    EXPECT_TRUE(ReadWantChangeUnitMsg(smalls[8].bytes.data(), 36, unit));
    EXPECT_STREQ(unit, "EMATank");
    EXPECT_TRUE(ReadUnitChangeMsg(smalls[9].bytes.data(), 40, &player, unit));
    EXPECT_STREQ(unit, "EMATank");
    const char* text = nullptr;
    EXPECT_TRUE(ReadChatMsg(smalls[10].bytes.data(), 10, &text));
    EXPECT_STREQ(text, "hello");
}

TEST(ApplMessages, ReadersTakeOnlyTheExactSize) {
    Bytes b = Make([](uint8_t* o) { return WriteGameStatus(2, o); });
    uint32_t word;
    b.push_back(0);
    EXPECT_FALSE(ReadPlayerWord(b.data(), b.size(), ApplMessage::GameStatus, &word));
    b.resize(7);
    EXPECT_FALSE(ReadPlayerWord(b.data(), b.size(), ApplMessage::GameStatus, &word));
    // Entries: whole ones only, one per player at most.
    StartPositionEntry sp[17] = {};
    EXPECT_EQ(Make([&](uint8_t* o) { return WriteStartPositions(sp, 17, o); }).size(), 0u);
    b = Make([&](uint8_t* o) { return WriteStartPositions(sp, 16, o); });
    int count;
    StartPositionEntry out[16];
    EXPECT_TRUE(ReadStartPositionsMsg(b.data(), b.size(), out, &count));
    b.resize(b.size() + 28);
    EXPECT_FALSE(ReadStartPositionsMsg(b.data(), b.size(), out, &count));
    b.resize(4 + 28 + 1);
    EXPECT_FALSE(ReadStartPositionsMsg(b.data(), b.size(), out, &count));
    // A chat text too long for the chat line is not written.
    EXPECT_EQ(WriteChat(std::string(128, 'x').c_str(), b.data(), b.size()), 0u);
}

// The queue keeps the newest tick first; the tick is consumed oldest first, and an input of a tick
// already queued goes in front of it (and so is consumed after it).
TEST(RemoteInputQueue, IsOrderedByTickDropsItsOldestWhenFullAndIsConsumedOldestFirst) {
    PlayerCell cell{};
    auto in = [&](int32_t tick, uint32_t buttons) { QueueRemoteInput(&cell, {tick, buttons, {0, 0, 0}}); };
    in(10, 1);
    in(12, 2);
    in(11, 3);
    in(11, 4);
    ASSERT_EQ(cell.remoteCount, 4);
    std::vector<std::pair<int32_t, uint32_t>> order;
    for (int i = 0; i < cell.remoteCount; ++i) order.push_back({cell.remoteQueue[i].tick, cell.remoteQueue[i].buttons});
    EXPECT_EQ(order, (std::vector<std::pair<int32_t, uint32_t>>{{12, 2}, {11, 4}, {11, 3}, {10, 1}}));
    std::vector<uint32_t> consumed;
    while (ReplayRemoteInput(&cell)) {
        uint32_t b = 0;
        for (int n = 0; n < 11; ++n) b |= uint32_t(InputKeyDown(cell.unitNow, kSingleInputKeyBits[n])) << n;
        consumed.push_back(b);
    }
    EXPECT_EQ(consumed, (std::vector<uint32_t>{1, 3, 4, 2}));
    EXPECT_EQ(cell.lastAppliedTick, 12);
    EXPECT_EQ(cell.inputApplied, 1);

    // Full: the oldest (smallest tick) goes, whatever the new tick.
    for (int t = 100; t < 100 + kRemoteInputQueueSize; ++t) in(t, 0);
    ASSERT_EQ(cell.remoteCount, kRemoteInputQueueSize);
    in(50, 9);
    EXPECT_EQ(cell.remoteCount, kRemoteInputQueueSize);
    EXPECT_EQ(cell.remoteQueue[kRemoteInputQueueSize - 1].tick, 50);
    EXPECT_EQ(cell.remoteQueue[kRemoteInputQueueSize - 2].tick, 101);
    in(1000, 9);
    EXPECT_EQ(cell.remoteQueue[0].tick, 1000);
    EXPECT_EQ(cell.remoteQueue[kRemoteInputQueueSize - 1].tick, 101);
}

// ---- what a joiner does with what it hears ------------------------------------------------------------

// Everything the messages may change, to compare before and after.
struct GameState {
    struct Cell {
        std::string name, unitType;
        uint32_t id, flags;
        int32_t funds, clan, start[6], applied, appliedFlag;
        std::vector<int32_t> queue;
    };
    std::vector<Cell> cells;
    uint32_t roundStatus, deferred;
    size_t shown;
    std::vector<int32_t> units;

    static GameState Now(const std::vector<construct*>& units) {
        GameState s{};
        for (int i = 0; i < PlayerCount; ++i) {
            const PlayerCell* c = PlayerTable[i];
            Cell k{c->name, c->unitType, c->networkId, c->flags, c->funds, c->clan, {}, c->lastAppliedTick,
                   c->inputApplied, {}};
            memcpy(k.start, c->startPosition, sizeof k.start);
            for (int q = 0; q < c->remoteCount; ++q) {
                k.queue.push_back(c->remoteQueue[q].tick);
                k.queue.push_back(static_cast<int32_t>(c->remoteQueue[q].buttons));
            }
            s.cells.push_back(k);
        }
        s.roundStatus = RoundStatus;
        s.deferred = MPDeferredFlags;
        s.shown = kvtest::ShownMessages().size();
        for (construct* u : units) {
            s.units.insert(s.units.end(), u->pos, u->pos + 3);
            s.units.insert(s.units.end(), u->orient, u->orient + 9);
            const auto* d = static_cast<const kvtest::TestUnitData*>(u->itfcData);
            s.units.insert(s.units.end(), {d->state.shield, d->state.structure, d->state.energy, d->pitch, d->yaw});
        }
        return s;
    }
    bool operator==(const GameState& o) const {
        if (cells.size() != o.cells.size() || roundStatus != o.roundStatus || deferred != o.deferred ||
            shown != o.shown || units != o.units)
            return false;
        for (size_t i = 0; i < cells.size(); ++i) {
            const Cell &a = cells[i], &b = o.cells[i];
            if (a.name != b.name || a.unitType != b.unitType || a.id != b.id || a.flags != b.flags ||
                a.funds != b.funds || a.clan != b.clan || memcmp(a.start, b.start, sizeof a.start) != 0 ||
                a.applied != b.applied || a.appliedFlag != b.appliedFlag || a.queue != b.queue)
                return false;
        }
        return true;
    }
};

// A joiner's table: the own player "Me" (2), the host "Hal" (1), another player "Ann" (3); Ann and the
// own player have units; the own player has a side.
class JoinerTest : public kvtest::NetGameTest {
protected:
    JoinerTest() {
        OwnPlayer->networkId = 2;
        OwnPlayer->flags |= 0x4 | 0x100;
        hal = CreatePlayer("Hal");
        hal->networkId = 1;
        HostPlayer = hal;
        ann = CreatePlayer("Ann");
        ann->networkId = 3;
        ann->flags |= 0x80;
        annUnit = GiveUnit(ann);
        ownUnit = GiveUnit(OwnPlayer);
        RoundStatus = 1;
    }
    GameState State() const { return GameState::Now({annUnit, ownUnit}); }
    static void Hand(const Bytes& b, uint32_t sender) { HandleApplMessage(b.data(), b.size(), sender); }

    PlayerCell* hal;
    PlayerCell* ann;
    construct* annUnit;
    construct* ownUnit;
};

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return b;
}

TEST_F(JoinerTest, EachMessageOfTheHostAndTheOthersDoesWhatItSays) {
    // Input of another player: queued, with only its eleven buttons.
    Hand(Make([](uint8_t* o) { return WriteSingleInput({10, 0xFFFFF, {1, 2, 3}}, o); }), 3);
    ASSERT_EQ(ann->remoteCount, 1);
    EXPECT_EQ(ann->remoteQueue[0].buttons, 0x7FFu);
    EXPECT_EQ(ann->remoteQueue[0].axes[2], 3);

    Hand(Make([](uint8_t* o) { return WriteChat("hello all", o, 64); }), 3);
    EXPECT_EQ(Shown().back(), "Ann: hello all");

    Hand(Make([](uint8_t* o) { return WriteFundRaise(700, o); }), 1);
    EXPECT_EQ(OwnPlayer->funds, 700);

    // Player data: a name cut to its field, the unit type, the clan and the flags; a player alive with a
    // unit gets it built on the game thread.
    PlayerdataMsg pd{3, "", "GAJeep", 1, 0x41 | 0x4};
    memset(pd.name, 'N', sizeof pd.name);
    Bytes b = Make([&](uint8_t* o) { return WritePlayerdata(pd, o); });
    memset(&b[8], 'N', 32);  // no terminator within the field
    Hand(b, 1);
    EXPECT_EQ(std::string(ann->name), std::string(31, 'N'));
    EXPECT_STREQ(ann->unitType, "GAJeep");
    EXPECT_EQ(ann->clan, 1);
    EXPECT_EQ(ann->flags, 0x45u | 0x200u);
    EXPECT_EQ(MPDeferredFlags, kDeferChangeUnit);
    // A player without a name is "unknown", as when it entered (not an empty sender of chat lines).
    PlayerdataMsg nameless{3, "", "GAJeep", 1, 0x45};
    Hand(Make([&](uint8_t* o) { return WritePlayerdata(nameless, o); }), 1);
    EXPECT_STREQ(ann->name, "unknown");

    StartPositionEntry sp[2] = {{2, {1, 2, 3, 4, 5, 6}}, {3, {7, 8, 9, 10, 11, 12}}};
    Hand(Make([&](uint8_t* o) { return WriteStartPositions(sp, 2, o); }), 1);
    EXPECT_EQ(OwnPlayer->startPosition[5], 6);
    EXPECT_EQ(ann->startPosition[0], 7);

    // The round status: with a side, the buy phase places the player, the fight phase starts it.
    MPDeferredFlags = 0;
    Hand(Make([](uint8_t* o) { return WriteGameStatus(2, o); }), 1);
    EXPECT_EQ(RoundStatus, 2u);
    EXPECT_EQ(OwnPlayer->flags & 0x100, 0u);
    EXPECT_EQ(MPDeferredFlags, kDeferPlaceAtStart);
    Hand(Make([](uint8_t* o) { return WriteGameStatus(4, o); }), 1);
    EXPECT_EQ(MPDeferredFlags, kDeferPlaceAtStart | kDeferBeginFight);

    Hand(Make([](uint8_t* o) { return WriteClanAssignment(3, 0, o); }), 1);
    EXPECT_EQ(ann->clan, 0);
    EXPECT_NE(ann->flags & 0x4, 0u);
    Hand(Make([](uint8_t* o) { return WriteUnitChange(3, "GAMech", o); }), 1);
    EXPECT_STREQ(ann->unitType, "GAMech");

    Hand(Make([](uint8_t* o) { return WriteNumberOnly(ApplMessage::RefuseAssignment, o); }), 1);
    const std::string log = Log();
    const std::string name = ann->name;  // as the player data named her
    for (const std::string& line : {std::string("PLAYERDATA"), std::string("FUNDRAISE 700"),
                                    std::string("START POSITIONS"), std::string("GAMESTATUS 2"),
                                    std::string("GAMESTATUS 4"), "CLANASSIGN " + name + "(0)",
                                    "UNITCHANGE " + name + "(GAMech)", std::string("REFUSEASSIGN Me")})
        EXPECT_NE(log.find(" " + line + "\n"), std::string::npos) << line;
    // SingleInput and Chat are not logged.
    EXPECT_EQ(log.find("SingleInput"), std::string::npos);
    EXPECT_EQ(log.find("hello"), std::string::npos);
}

TEST_F(JoinerTest, UpdatedataCorrectsUnitsInTheFightPhaseOnly) {
    UpdateEntry e[3] = {};
    e[0].player = 3;
    e[0].pos[0] = 5 << 16;
    e[0].orient[0] = e[0].orient[4] = e[0].orient[8] = 32768;
    e[0].pitch = 77;
    e[0].yaw = 88;
    e[0].state[1] = 1;
    e[1].player = 2;  // the own unit is corrected like any other, but without a turret
    e[1].pos[1] = 9;
    e[1].orient[0] = 1;
    e[1].pitch = kNoTurret;
    e[1].yaw = 123;
    e[1].state[0] = -5;
    const Bytes b = Make([&](uint8_t* o) { return WriteUpdatedata(e, 2, o); });
    const GameState before = State();
    Hand(b, 1);  // waiting for players: nothing, and not logged
    EXPECT_TRUE(State() == before);
    EXPECT_EQ(Log().find("Updatedata"), std::string::npos);

    RoundStatus = 4;
    ann->flags &= ~0x80u;
    Hand(b, 1);
    EXPECT_EQ(annUnit->pos[0], 5 << 16);
    const auto* a = static_cast<const kvtest::TestUnitData*>(annUnit->itfcData);
    EXPECT_EQ(a->pitch, 77);
    EXPECT_EQ(a->yaw, 88);
    EXPECT_EQ(a->state.structure, 1);
    EXPECT_EQ(a->state.shield, 0);
    EXPECT_EQ(ownUnit->pos[1], 9);
    EXPECT_EQ(ownUnit->orient[0], 1);
    const auto* own = static_cast<const kvtest::TestUnitData*>(ownUnit->itfcData);
    EXPECT_EQ(own->yaw, 0);
    EXPECT_EQ(own->state.shield, -5);

    // A player without a unit comes as its identifier and zeros: the unit keeps its matrix; a player who
    // watches (no vehicle bought) is not corrected.
    e[0] = UpdateEntry{};
    e[0].player = 2;
    ann->flags |= 0x80;
    e[1].player = 3;
    const GameState mid = State();
    Hand(Make([&](uint8_t* o) { return WriteUpdatedata(e, 2, o); }), 1);
    EXPECT_TRUE(State() == mid);
}

// Messages that must change nothing: each is dropped with its line in "MPLog.txt".
TEST_F(JoinerTest, MalformedMisaddressedAndStaleMessagesAreDroppedWithALogLine) {
    // An input already applied from Ann: tick 10.
    Hand(Make([](uint8_t* o) { return WriteSingleInput({10, 1, {0, 0, 0}}, o); }), 3);
    ReplayRemoteInput(ann);
    RoundStatus = 4;

    Bytes chatNoEnd = Make([](uint8_t* o) { return WriteChat("hello", o, 64); });
    chatNoEnd.pop_back();
    Bytes chatInner = Make([](uint8_t* o) { return WriteChat("hi there", o, 64); });
    chatInner[6] = 0;
    Bytes input256 = Make([](uint8_t* o) { return WriteSingleInput({20, 1, {0, 0, 0}}, o); });
    input256[1] = 1;
    Bytes longInput = Make([](uint8_t* o) { return WriteSingleInput({20, 1, {0, 0, 0}}, o); });
    longInput.push_back(0);
    StartPositionEntry sp[16] = {};
    Bytes positions17 = Make([&](uint8_t* o) { return WriteStartPositions(sp, 16, o); });
    positions17.resize(positions17.size() + kStartPositionEntrySize);
    UpdateEntry ue[1] = {};
    ue[0].player = 3;
    ue[0].pos[0] = 1;
    Bytes partialUpdate = Make([&](uint8_t* o) { return WriteUpdatedata(ue, 1, o); });
    partialUpdate.pop_back();
    UpdateEntry far[1] = {};
    far[0].player = 2;
    far[0].pos[2] = INT32_MAX;
    PlayerdataMsg badClan{3, "Ann", "GAJeep", 2, 0x1};
    PlayerdataMsg badFlags{3, "Ann", "GAJeep", 0, 0x401};
    Bytes oversized(2000, 0);
    oversized[0] = 1;

    struct Case {
        const char* what;
        Bytes bytes;
        uint32_t sender;
        const char* line;
    } cases[] = {
        {"short", Bytes{0, 0, 0}, 3, "HandleApplMessage: 3 bytes from 3 dropped: no message number"},
        {"one byte short", Bytes(longInput.begin(), longInput.end() - 2), 3,
         "HandleApplMessage: SingleInput from 3 dropped: 23 bytes"},
        {"one byte long", longInput, 3, "HandleApplMessage: SingleInput from 3 dropped: 25 bytes"},
        {"oversized", oversized, 3, "HandleApplMessage: Chat from 3 dropped: 2000 bytes"},
        {"an unknown number", Words({16, 1}), 3, "HandleApplMessage: unknown system message 16 (8)"},
        {"256 is no SingleInput", input256, 3, "HandleApplMessage: unknown system message 256 (24)"},
        {"number 7", Words({7}), 3, "HandleApplMessage: unknown system message 7 (4)"},
        {"a text without its terminator", chatNoEnd, 3, "HandleApplMessage: Chat from 3 dropped: 9 bytes"},
        {"a text ending before the message", chatInner, 3, "HandleApplMessage: Chat from 3 dropped: 13 bytes"},
        {"a sender without a cell", Words({9, 2}), 99, "HandleApplMessage: GameStatus from 99 dropped: no player"},
        {"the own player as sender", Words({1, 0}), 2,
         "HandleApplMessage: Chat from 2 dropped: this machine's own player"},
        {"a named player without a cell", Words({13, 99, 1}), 1,
         "HandleApplMessage: ClanAssignment from 1 dropped: names no player (99)"},
        {"clan 2", Words({13, 3, 2}), 1, "HandleApplMessage: ClanAssignment from 1 dropped: a clan other than 0 and 1"},
        {"clan -1", Words({13, 3, 0xFFFFFFFF}), 1,
         "HandleApplMessage: ClanAssignment from 1 dropped: a clan other than 0 and 1"},
        {"player data with clan 2", Make([&](uint8_t* o) { return WritePlayerdata(badClan, o); }), 1,
         "HandleApplMessage: Playerdata from 1 dropped: a clan other than 0 and 1"},
        {"player data with unknown flags", Make([&](uint8_t* o) { return WritePlayerdata(badFlags, o); }), 1,
         "HandleApplMessage: Playerdata from 1 dropped: unknown flag bits"},
        {"a round status of unknown bits", Words({9, 0x20}), 1,
         "HandleApplMessage: GameStatus from 1 dropped: unknown status bits"},
        {"a host's message from another player", Words({9, 2}), 3,
         "HandleApplMessage: GameStatus from 3 dropped: not the host"},
        {"funds from another player", Words({4, 9999}), 3, "HandleApplMessage: FundRaise from 3 dropped: not the host"},
        {"a unit change from another player", Make([](uint8_t* o) { return WriteUnitChange(2, "EMATank", o); }), 3,
         "HandleApplMessage: UnitChange from 3 dropped: not the host"},
        {"a message for the host on a joiner", Words({10, 1}), 3,
         "HandleApplMessage: WantAssign from 3 dropped: this machine is not the host"},
        {"a purchase on a joiner", Make([](uint8_t* o) { return WriteWantChangeUnit("EMATank", o); }), 1,
         "HandleApplMessage: WantChangeUnit from 1 dropped: this machine is not the host"},
        {"seventeen start positions", positions17, 1, "HandleApplMessage: StartPositions from 1 dropped: 480 bytes"},
        {"a part of an entry", partialUpdate, 1, "HandleApplMessage: Updatedata from 1 dropped: 75 bytes"},
        {"a unit far outside the map", Make([&](uint8_t* o) { return WriteUpdatedata(far, 1, o); }), 1,
         "HandleApplMessage: Updatedata from 1 dropped: an entry's unit stands far outside the map"},
        {"an input older than the last applied", Make([](uint8_t* o) { return WriteSingleInput({9, 2, {0, 0, 0}}, o); }),
         3, "HandleApplMessage: SingleInput from 3 dropped: tick 9 before 10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const GameState before = State();
        const size_t logged = Log().size();
        Hand(c.bytes, c.sender);
        EXPECT_TRUE(State() == before);
        const std::string added = Log().substr(logged);
        EXPECT_NE(added.find(c.line), std::string::npos) << added;
        EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 1) << added;
    }
    // An input of the tick last applied still counts.
    Hand(Make([](uint8_t* o) { return WriteSingleInput({10, 2, {0, 0, 0}}, o); }), 3);
    EXPECT_EQ(ann->remoteCount, 1);
}

}  // namespace
