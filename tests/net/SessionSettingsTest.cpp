// The multiplayer settings file (written, read and written again; its defaults and the words it skips),
// the multiplayer log and its bound, and the session record's 244 bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include "host/Clock.h"
#include "host/Fs.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/MultiplayerFile.h"
#include "world/Player.h"

namespace {

// Every setting, to put into the game's globals or take from them.
struct Settings {
    std::string playername, gamename, provider, connection, ipaddress;
    int lvlcycle, lvlrandom, maxplayers;
    float leveltime, roundtime, buytime, freezetime, winmsgtime;
    int friendlyfire, chasecamonly, forcebalance;

    static Settings Current() {
        return {Playername,  Gamename,    Provider,     Connection,     IPAddress,      ::lvlcycle,
                ::lvlrandom, ::maxplayers, ::leveltime, ::roundtime,    ::buytime,      ::freezetime,
                ::winmsgtime, ::friendlyfire, ::chasecamonly, ::forcebalance};
    }
    void Apply() const {
        snprintf(Playername, sizeof Playername, "%s", playername.c_str());
        snprintf(Gamename, sizeof Gamename, "%s", gamename.c_str());
        snprintf(Provider, sizeof Provider, "%s", provider.c_str());
        snprintf(Connection, sizeof Connection, "%s", connection.c_str());
        snprintf(IPAddress, sizeof IPAddress, "%s", ipaddress.c_str());
        ::lvlcycle = lvlcycle;
        ::lvlrandom = lvlrandom;
        ::maxplayers = maxplayers;
        ::leveltime = leveltime;
        ::roundtime = roundtime;
        ::buytime = buytime;
        ::freezetime = freezetime;
        ::winmsgtime = winmsgtime;
        ::friendlyfire = friendlyfire;
        ::chasecamonly = chasecamonly;
        ::forcebalance = forcebalance;
    }
    datakit::MultiplayerSettings Kit() const {
        datakit::MultiplayerSettings k;
        k.playername = playername, k.gamename = gamename, k.provider = provider, k.connection = connection;
        k.ipaddress = ipaddress, k.lvlcycle = lvlcycle, k.lvlrandom = lvlrandom, k.maxplayers = maxplayers;
        k.leveltime = leveltime, k.roundtime = roundtime, k.buytime = buytime, k.freezetime = freezetime;
        k.winmsgtime = winmsgtime, k.friendlyfire = friendlyfire, k.chasecamonly = chasecamonly;
        k.forcebalance = forcebalance;
        return k;
    }
    bool operator==(const Settings&) const = default;
};

void PrintTo(const Settings& s, std::ostream* os) {
    *os << "{" << s.playername << "|" << s.gamename << "|" << s.provider << "|" << s.connection << "|"
        << s.ipaddress << "|" << s.lvlcycle << " " << s.lvlrandom << " " << s.maxplayers << " " << s.leveltime
        << " " << s.roundtime << " " << s.buytime << " " << s.freezetime << " " << s.winmsgtime << " "
        << s.friendlyfire << " " << s.chasecamonly << " " << s.forcebalance << "}";
}

const Settings kSample = {"Rex", "Skirmish", "UDP", "LAN", "10.1.2.3", 1, 0, 12,
                          25.0f, 2.5f, 30.0f, 3.5f, 7.0f, 1, 0, 1};

class SessionSettingsTest : public ::testing::Test {
protected:
    SessionSettingsTest() : was_(Settings::Current()), previous_(std::filesystem::current_path()) {
        host::SetWorkingDirectory(dir_.path().c_str());
        host::FlushDirectoryCache();
    }
    ~SessionSettingsTest() override {
        was_.Apply();
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
        host::UseRealClock();
    }
    void Write(const std::string& name, const std::string& text) {
        dir_.Write(name, text);
        host::FlushDirectoryCache();
    }
    std::string File() const { return dir_.Read("Multiplayer"); }

    kvtest::FatalCatcher fatal_;
    kvtest::TempDir dir_;
    Settings was_;
    std::filesystem::path previous_;
};

TEST_F(SessionSettingsTest, WrittenReadAndWrittenAgainGivesTheSameBytes) {
    for (const Settings& s : {kSample, Settings{"", "", "", "", "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                              Settings{"A", "B", "C", "D", "E", -3, 7, 16, 0.5f, 99.5f, 0.0f, 1.5f, 2.5f, 5, -1, 0}}) {
        SCOPED_TRACE(testing::PrintToString(s));
        s.Apply();
        ASSERT_EQ(WriteMultiplayerFile(), 1);
        const std::string first = File();
        // The layout is the file's, byte for byte (as datakit writes it on its own).
        EXPECT_EQ(first, datakit::MultiplayerFileText(s.Kit()));
        Settings{"x", "y", "z", "w", "v", 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}.Apply();
        ReadMultiplayerFile("multiplayer");  // the front end's spelling of the name
        EXPECT_EQ(Settings::Current(), s);
        ASSERT_EQ(WriteMultiplayerFile(), 1);
        EXPECT_EQ(File(), first);
    }
}

TEST_F(SessionSettingsTest, AMissingFileIsWrittenWithTheSettingsInForce) {
    kSample.Apply();
    ASSERT_FALSE(std::filesystem::exists(dir_ / "Multiplayer"));
    ReadMultiplayerFile("multiplayer");
    EXPECT_EQ(Settings::Current(), kSample);
    EXPECT_EQ(File(), datakit::MultiplayerFileText(kSample.Kit()));
}

TEST_F(SessionSettingsTest, FilesReadAsWritten) {
    struct Case {
        const char* what;
        std::string text;
        Settings expected;  // read over kSample
    } cases[] = {
        {"keys in another order, unknown words between them",
         "forcebalance 0 lives 3 Gamename Duel\n/* a comment */ extra maxplayers 4 roundtime 2.5 colour red\n",
         {"Rex", "Duel", "UDP", "LAN", "10.1.2.3", 1, 0, 4, 25.0f, 2.5f, 30.0f, 3.5f, 7.0f, 1, 0, 0}},
        {"a game name with a blank reads its first word",
         "Gamename            Big Battle\nlvlcycle 0\n",
         {"Rex", "Big", "UDP", "LAN", "10.1.2.3", 0, 0, 12, 25.0f, 2.5f, 30.0f, 3.5f, 7.0f, 1, 0, 1}},
        {"keys are told apart by case; a missing key leaves its setting",
         "PLAYERNAME Max playername Max buytime 12\n",
         {"Rex", "Skirmish", "UDP", "LAN", "10.1.2.3", 1, 0, 12, 25.0f, 2.5f, 12.0f, 3.5f, 7.0f, 1, 0, 1}},
        {"a value that is no number reads as 0, a number as far as it goes",
         "maxplayers many leveltime 12.5abc friendlyfire 3x\n",
         {"Rex", "Skirmish", "UDP", "LAN", "10.1.2.3", 1, 0, 0, 12.5f, 2.5f, 30.0f, 3.5f, 7.0f, 3, 0, 1}},
        {"texts are cut to their fields",
         "Playername " + std::string(40, 'p') + " Provider " + std::string(20, 'q') + " Gamename " +
             std::string(70, 'g') + "\n",
         {std::string(31, 'p'), std::string(63, 'g'), std::string(15, 'q'), "LAN", "10.1.2.3", 1, 0, 12, 25.0f,
          2.5f, 30.0f, 3.5f, 7.0f, 1, 0, 1}},
        {"an empty text is written as a pair of quotes",
         "Playername \"\"\nGamename \"\"\nProvider \"Wide Net\"\n",
         {"", "", "Wide Net", "LAN", "10.1.2.3", 1, 0, 12, 25.0f, 2.5f, 30.0f, 3.5f, 7.0f, 1, 0, 1}},
        {"times that are no finite number read as 0, huge ones are cut",
         "roundtime 1e999 buytime -1e30 winmsgtime nan leveltime 1e7 maxplayers 99999999999\n",
         {"Rex", "Skirmish", "UDP", "LAN", "10.1.2.3", 1, 0, 2147483647, 1e6f, 0.0f, -1e6f, 3.5f, 0.0f, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kSample.Apply();
        Write("Multiplayer", c.text);
        ReadMultiplayerFile("multiplayer");
        EXPECT_EQ(Settings::Current(), c.expected);
    }
}

// Names with the characters the reader gives a meaning to: written so that they cannot swallow the rest
// of the file (a quote would open a string to the end of the file and end the program).
TEST_F(SessionSettingsTest, NamesThatWouldBreakTheFileAreWrittenSafely) {
    Settings s = kSample;
    s.playername = "a\"b";
    s.gamename = "back\\";
    s.provider = "x/*y";
    s.Apply();
    ASSERT_EQ(WriteMultiplayerFile(), 1);
    Settings{"", "", "", "", "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}.Apply();
    ReadMultiplayerFile("Multiplayer");
    Settings expected = kSample;
    expected.playername = "a_b";
    expected.gamename = "back_";
    expected.provider = "x/_y";
    EXPECT_EQ(Settings::Current(), expected);
}

TEST_F(SessionSettingsTest, TheOwnCellTakesThePlayerName) {
    PlayerCell* own = OwnPlayer;
    PlayerCell* cell = own ? nullptr : CreatePlayer("");
    if (!own) OwnPlayer = cell;
    Write("Multiplayer", "Playername Wolf\n");
    ReadMultiplayerFile("multiplayer");
    EXPECT_STREQ(OwnPlayer->name, "Wolf");
    EXPECT_STREQ(Playername, "Wolf");
    if (cell) {
        OwnPlayer = nullptr;
        DeletePlayer(cell);
    }
}

TEST_F(SessionSettingsTest, TheLogTakesTimeStampedLinesUpToItsBound) {
    host::UseVirtualClock(250.0);
    host::AdvanceVirtualClock();  // 2.5 seconds
    MPLog("CREATEPLAYER %s", "BEGIN");
    MPLog("%s", std::string(300, 'w').c_str());
    EXPECT_EQ(dir_.Read("MPLog.txt"), "2.50 CREATEPLAYER BEGIN\n2.50 " + std::string(255, 'w') + "\n");

    // A log near its bound: a line that fits is written, the next that does not is dropped, and so is
    // every later one, however short.
    const std::string line = "2.50 WANTASSIGN Rex(1)\n";
    Write("MPLog.txt", std::string(kMPLogLimit - line.size() - 3, 'x'));
    MPLog("WANTASSIGN Rex(1)");
    MPLog("WANTASSIGN Rex(1)");
    MPLog("X");
    const std::string log = dir_.Read("MPLog.txt");
    EXPECT_EQ(static_cast<long>(log.size()), kMPLogLimit - 3);
    EXPECT_EQ(log.substr(log.size() - line.size()), line);
}

TEST(SessionRecord, FieldsLieAtTheirOffsets) {
    SessionRecord r{};
    snprintf(r.gameName, sizeof r.gameName, "Duel");
    snprintf(r.password, sizeof r.password, "pw");
    memset(r.missionName, 'm', 64);  // no terminator: the field keeps 63 characters
    r.maxplayers = 16;
    r.gameStatus = 0x4;
    r.mpFlags = 0x8;
    r.leveltime = 20.0f;
    r.roundtime = 2.5f;
    r.buytime = 30.0f;
    r.freezetime = 1.5f;
    r.winmsgtime = 7.0f;
    r.friendlyfire = 1;
    r.chasecamonly = -1;
    r.forcebalance = 1;
    r.lvlcycle = 0;
    r.lvlrandom = 1;
    uint8_t bytes[kSessionRecordSize + 1];
    bytes[kSessionRecordSize] = 0xEE;
    EncodeSessionRecord(r, bytes);
    EXPECT_EQ(bytes[kSessionRecordSize], 0xEE);
    auto u32 = [&](int at) { return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24); };
    auto f32 = [&](int at) {
        uint32_t b = u32(at);
        float f;
        memcpy(&f, &b, 4);
        return f;
    };
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes), "Duel");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 64), "pw");
    EXPECT_EQ(bytes[128 + 62], 'm');
    EXPECT_EQ(bytes[128 + 63], 0);
    const struct {
        int offset;
        uint32_t value;
    } words[] = {{192, 16}, {196, 4}, {200, 8}, {224, 1}, {228, 0xFFFFFFFFu}, {232, 1}, {236, 0}, {240, 1}};
    for (const auto& w : words) EXPECT_EQ(u32(w.offset), w.value) << w.offset;
    const struct {
        int offset;
        float value;
    } floats[] = {{204, 20.0f}, {208, 2.5f}, {212, 30.0f}, {216, 1.5f}, {220, 7.0f}};
    for (const auto& f : floats) EXPECT_EQ(f32(f.offset), f.value) << f.offset;

    SessionRecord back{};
    ASSERT_TRUE(DecodeSessionRecord(bytes, kSessionRecordSize, &back));
    EXPECT_EQ(std::string(back.missionName), std::string(63, 'm'));
    EXPECT_STREQ(back.gameName, "Duel");
    EXPECT_EQ(back.chasecamonly, -1);
    EXPECT_EQ(back.roundtime, 2.5f);
    EXPECT_EQ(back.lvlrandom, 1);
    EXPECT_FALSE(DecodeSessionRecord(bytes, kSessionRecordSize - 1, &back));
    EXPECT_FALSE(DecodeSessionRecord(bytes, kSessionRecordSize + 1, &back));
}

TEST_F(SessionSettingsTest, TheSettingsFillTheSessionRecord) {
    kSample.Apply();
    snprintf(SessionPassword, sizeof SessionPassword, "secret");
    snprintf(MultiplayerLevel, sizeof MultiplayerLevel, "MultiCanyon");
    const uint32_t statusWas = RoundStatus, flagsWas = MPDeferredFlags;
    RoundStatus = 0x2;
    MPDeferredFlags = 0x4;
    SessionRecord r;
    FillSessionRecord(&r);
    RoundStatus = statusWas;
    MPDeferredFlags = flagsWas;
    EXPECT_STREQ(r.gameName, "Skirmish");
    EXPECT_STREQ(r.password, "secret");
    EXPECT_STREQ(r.missionName, "MultiCanyon");
    EXPECT_EQ(r.maxplayers, 12);
    EXPECT_EQ(r.gameStatus, 0x2u);
    EXPECT_EQ(r.mpFlags, 0x4u);
    EXPECT_EQ(r.roundtime, 2.5f);
    EXPECT_EQ(r.freezetime, 3.5f);
    EXPECT_EQ(r.winmsgtime, 7.0f);
    EXPECT_EQ(r.forcebalance, 1);
    SessionPassword[0] = MultiplayerLevel[0] = 0;
}

}  // namespace
