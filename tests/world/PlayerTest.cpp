#include "world/Player.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Keys.h"
#include "objects/Itfc.h"
#include "platform/InputDevices.h"
#include "support/Fatal.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

namespace {

int32_t g_pointer[3];
void FakePointer(int32_t* x, int32_t* y, int32_t* z) {
    *x = g_pointer[0];
    *y = g_pointer[1];
    *z = g_pointer[2];
}

class Players : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        OwnPlayer = nullptr;
        memset(KeyStates, 0, sizeof KeyStates);
        memset(PilotKeys, 0, sizeof PilotKeys);
        memset(CommandoKeys, 0, sizeof CommandoKeys);
        for (AxisBinding& b : AxisBindings) b = {-1, 0, 0, 1.0f, 256};
        g_pointer[0] = g_pointer[1] = g_pointer[2] = 0;
        MousePointerPosition = nullptr;
        JoystickAxesSample = {0, 0, 0, 0, -1};
        for (int32_t& a : JoystickAccumulators) a = 0;
        for (float& s : joystick_step) s = 0;
    }
    static std::string Names() {
        std::string s;
        for (int i = 0; i < PlayerCount; ++i) s += std::string(i ? "," : "") + PlayerTable[i]->name;
        return s;
    }
};

TEST_F(Players, ANewCellHasItsNameMovieCameraFlagOneAndZeroRecords) {
    PlayerCell* c = CreatePlayer("a name that is much longer than thirty-one characters");
    EXPECT_STREQ(c->name, "a name that is much longer than");
    EXPECT_EQ(strlen(c->name), 31u);
    EXPECT_STREQ(c->unitType, "MovieCamera");
    EXPECT_EQ(c->flags, 0x1u);
    EXPECT_EQ(c->actionUnit, nullptr);
    EXPECT_EQ(c->funds, 0);
    EXPECT_EQ(c->remoteCount, 0);
    const ControlInput zero{};
    for (const ControlInput* r : {&c->unitBefore, &c->unitNow, &c->mapBefore, &c->mapNow})
        EXPECT_EQ(memcmp(r, &zero, sizeof zero), 0);
    EXPECT_EQ(PlayerCount, 1);
    EXPECT_EQ(PlayerTable[0], c);
}

TEST_F(Players, TheSeventeenthCellIsFatal) {
    kvtest::FatalCatcher fatal;
    for (int i = 0; i < kMaxPlayers; ++i) CreatePlayer(std::to_string(i).c_str());
    EXPECT_THROW(
        {
            try {
                CreatePlayer("one too many");
            } catch (const kvtest::FatalExit& e) {
                EXPECT_STREQ(e.what(), "Error(CreatePlayer): Too many Players");
                throw;
            }
        },
        kvtest::FatalExit);
    EXPECT_EQ(PlayerCount, kMaxPlayers);
}

TEST_F(Players, DeletionKeepsTheOrderOfTheOthers) {
    struct Case {
        int remove;  // index of a, b, c, d to delete; -1 deletes a cell not in the table, -2 null
        const char* left;
    } cases[] = {{0, "b,c,d"}, {1, "a,c,d"}, {3, "a,b,c"}, {-1, "a,b,c,d"}, {-2, "a,b,c,d"}};
    for (const Case& c : cases) {
        Reset();
        PlayerCell* cells[4] = {CreatePlayer("a"), CreatePlayer("b"), CreatePlayer("c"), CreatePlayer("d")};
        PlayerCell stranger{};
        DeletePlayer(c.remove >= 0 ? cells[c.remove] : c.remove == -1 ? &stranger : nullptr);
        EXPECT_EQ(Names(), c.left) << "remove " << c.remove;
        EXPECT_EQ(PlayerTable[PlayerCount], nullptr);
    }
    Reset();
    DeletePlayer(nullptr);  // an empty table
    EXPECT_EQ(PlayerCount, 0);
}

TEST_F(Players, RemoteInputQueuesStayWithTheirPlayersWhenAnEarlierOneLeaves) {
    PlayerCell* a = CreatePlayer("a");
    PlayerCell* b = CreatePlayer("b");
    PlayerCell* c = CreatePlayer("c");
    b->remoteQueue[0] = {7, 0x1, {11, 12, 13}};
    b->remoteCount = 1;
    c->remoteQueue[0] = {9, 0x2, {21, 22, 23}};
    c->remoteQueue[1] = {8, 0x0, {31, 32, 33}};
    c->remoteCount = 2;
    DeletePlayer(a);
    ASSERT_EQ(PlayerTable[0], b);
    ASSERT_EQ(PlayerTable[1], c);
    // Each remaining player replays its own input, not the input of the player that sat at its index.
    ASSERT_TRUE(ReplayRemoteInput(PlayerTable[0]));
    EXPECT_EQ(b->unitNow.axes[0], 11);
    EXPECT_TRUE(InputKeyDown(b->unitNow, 14));
    ASSERT_TRUE(ReplayRemoteInput(PlayerTable[1]));
    EXPECT_EQ(c->unitNow.axes[0], 31);  // the oldest entry is the last one
    EXPECT_EQ(c->remoteCount, 1);
    EXPECT_FALSE(ReplayRemoteInput(PlayerTable[0]));
}

TEST_F(Players, RemoteButtonsSetAndClearTheirKeyBits) {
    PlayerCell* p = CreatePlayer("remote");
    const int bits[11] = {14, 15, 16, 17, 21, 18, 19, 22, 23, 20, 24};
    SetInputKey(&p->unitNow, 3, true);  // a bit no button drives
    for (int n = 0; n < 11; ++n) {
        p->remoteQueue[0] = {1, 1u << n, {1, 2, 3}};
        p->remoteCount = 1;
        ASSERT_TRUE(ReplayRemoteInput(p));
        for (int m = 0; m < 11; ++m) EXPECT_EQ(InputKeyDown(p->unitNow, bits[m]), m == n) << n << " " << m;
        EXPECT_TRUE(InputKeyDown(p->unitNow, 3));
        EXPECT_EQ(p->unitNow.axes[2], 3);
    }
}

TEST_F(Players, LookupByNetworkIdentifier) {
    kvtest::FatalCatcher fatal;
    CreatePlayer("a")->networkId = 100;
    CreatePlayer("b")->networkId = 200;
    EXPECT_STREQ(IDPlayer(200)->name, "b");
    EXPECT_EQ(IDPlayerNo(100), 0);
    EXPECT_EQ(IDPlayerNo(200), 1);
    try {
        IDPlayer(300);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(IDPlayer): No such PlayerID: 300");
    }
    try {
        IDPlayerNo(300);
        ADD_FAILURE();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(IDPlayerNo): No such PlayerID: 300");
    }
}

TEST_F(Players, KeyBitsFollowTheBoundKeysOfEverySlot) {
    struct Case {
        int slot;
        int code;
        uint8_t state;
        bool set;
    } cases[] = {
        {18, 57, 0x80, true},  // fire 1 on space
        {19, 256, 1, true},    // fire 2 on the left mouse button
        {14, 17, 0, false},    // bound but not held
        {0, 260, 1, true},     // hat up
        {50, 273, 1, true},    // the last pilot binding on joystick button 10
        {63, 276, 1, true},    // the last slot, either Shift
        {5, 0, 0x80, false},   // unbound: code 0 never sets its bit
    };
    PlayerCell* p = CreatePlayer("me");
    for (const Case& c : cases) {
        PilotKeys[c.slot] = c.code;
        KeyStates[c.code] = c.state;
    }
    SampleUnitInput(p, 1);
    for (const Case& c : cases) EXPECT_EQ(InputKeyDown(p->unitNow, c.slot), c.set) << "slot " << c.slot;
    int setBits = 0;
    for (int i = 0; i < 64; ++i) setBits += InputKeyDown(p->unitNow, i);
    EXPECT_EQ(setBits, 5);
    EXPECT_EQ(p->unitNow.keys[2] & 0x0C, 0x0C);  // bits 18 and 19 are bits 2 and 3 of byte 2
}

TEST_F(Players, KeyDrivenAxesMoveByRateOverSixteenPerTickAndStopAtTheEnds) {
    struct Case {
        int16_t start;
        bool minus, plus;
        int ticks;
        int32_t rate;
        int16_t expected;
    } cases[] = {
        {0, false, true, 10, 256, 160},
        {0, true, false, 10, 256, -160},
        {5, true, true, 10, 256, 5},
        {7, false, false, 10, 256, 7},
        {0, false, true, 10, 512, 320},
        {0, false, true, 1, 8, 0},     // 8 x 16 >> 8 = 0
        {0, false, true, 3, 100, 18},  // (100 x 48) >> 8
        {32700, false, true, 10, 256, 32767},
        {-32700, true, false, 10, 256, -32768},
        {32767, false, true, 1000000, 256, 32767},  // a long stall: no overflow of the step either
        {0, false, true, 0, 256, 0},
    };
    PlayerCell* p = CreatePlayer("me");
    for (const Case& c : cases) {
        AxisBindings[0] = {-1, 203, 205, 1.0f, c.rate};
        KeyStates[203] = c.minus ? 0x80 : 0;
        KeyStates[205] = c.plus ? 0x80 : 0;
        p->unitNow.axes[0] = c.start;
        SampleUnitInput(p, c.ticks);
        EXPECT_EQ(p->unitNow.axes[0], c.expected)
            << c.start << (c.minus ? " minus" : "") << (c.plus ? " plus" : "") << " ticks " << c.ticks;
        EXPECT_EQ(p->unitBefore.axes[0], c.start);
    }
}

TEST_F(Players, AnalogueAxesTakeTheirDeviceAxisTimesTheFactor) {
    MousePointerPosition = FakePointer;
    g_pointer[0] = 100;
    g_pointer[1] = -40;
    g_pointer[2] = 360;
    float savedMouse = mouse_sensitivity, savedJoy = joystick_sensitivity;
    mouse_sensitivity = 2.0f;
    joystick_sensitivity = 0.5f;
    joystick_step[0] = 1.0f;
    joystick_step[2] = 0.25f;
    JoystickAxesSample = {1000, 0, -400, 0, -1};
    AxisBindings[0] = {static_cast<int>(DeviceAxis::MOUSE_X), 0, 0, 1.5f, 256};             // 100 x 2 x 1.5
    AxisBindings[1] = {static_cast<int>(DeviceAxis::MOUSE_Y), 0, 0, 1.0f, 256};             // -40 x 2
    AxisBindings[2] = {static_cast<int>(DeviceAxis::MOUSE_WHEEL), 0, 0, 0.5f, 256};         // 360 x 0.5
    AxisBindings[3] = {static_cast<int>(DeviceAxis::JOYSTICK_X), 0, 0, 1.0f, 256};          // 1000 x 0.5
    AxisBindings[4] = {static_cast<int>(DeviceAxis::JOYSTICK_THROTTLE), 0, 0, -1.0f, 256};  // -100 x 0.5 x -1
    AxisBindings[5] = {static_cast<int>(DeviceAxis::MOUSE_X), 0, 0, 200.0f, 256};           // 40000 wraps
    PlayerCell* p = CreatePlayer("me");
    SampleUnitInput(p, 1);
    const int16_t expected[6] = {300, -80, 180, 500, 50, static_cast<int16_t>(40000 - 65536)};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(p->unitNow.axes[i], expected[i]) << "axis " << i;
    // The joystick accumulators move once per sampling.
    SampleUnitInput(p, 1);
    EXPECT_EQ(p->unitNow.axes[3], 1000);
    mouse_sensitivity = savedMouse;
    joystick_sensitivity = savedJoy;
}

TEST_F(Players, EdgesShowBetweenThePreviousAndTheCurrentRecord) {
    PlayerCell* p = CreatePlayer("me");
    PilotKeys[18] = 57;
    // Held for two samplings, then released: pressed once, held, released once.
    const uint8_t states[4] = {0x80, 0x80, 0, 0};
    const bool pressed[4] = {true, false, false, false};
    const bool released[4] = {false, false, true, false};
    for (int f = 0; f < 4; ++f) {
        KeyStates[57] = states[f];
        SampleUnitInput(p, 2);
        EXPECT_EQ(InputKeyPressed(p->unitBefore, p->unitNow, 18), pressed[f]) << "frame " << f;
        EXPECT_EQ(InputKeyReleased(p->unitBefore, p->unitNow, 18), released[f]) << "frame " << f;
    }
    // Keeping the previous record makes both equal, so no edge shows.
    KeyStates[57] = 0x80;
    SampleInput(p, 1, 1);
    EXPECT_EQ(memcmp(&p->unitBefore, &p->unitNow, sizeof(ControlInput)), 0);
    EXPECT_FALSE(InputKeyPressed(p->unitBefore, p->unitNow, 18));
}

TEST_F(Players, TheMapPairTakesCommandoKeysAndThePointerAndLeavesTheOtherAxes) {
    MousePointerPosition = FakePointer;
    g_pointer[0] = 320;
    g_pointer[1] = 240;
    g_pointer[2] = -120;
    CommandoKeys[4] = 256;
    CommandoKeys[42] = 1;
    PilotKeys[4] = 256;  // the pilot table does not reach the map pair
    KeyStates[256] = 1;
    PlayerCell* p = CreatePlayer("me");
    p->mapNow.axes[4] = 77;
    SampleUnitInput2(p);
    EXPECT_TRUE(InputKeyDown(p->mapNow, 4));
    EXPECT_FALSE(InputKeyDown(p->mapNow, 42));
    EXPECT_EQ(p->mapNow.axes[0], 320);
    EXPECT_EQ(p->mapNow.axes[1], 240);
    EXPECT_EQ(p->mapNow.axes[2], -120);
    EXPECT_EQ(p->mapNow.axes[4], 77);
    EXPECT_EQ(p->mapBefore.axes[4], 77);
    const ControlInput zero{};
    EXPECT_EQ(memcmp(&p->unitNow, &zero, sizeof zero), 0);
    SampleInput2(p, 1);
    EXPECT_EQ(memcmp(&p->mapBefore, &p->mapNow, sizeof(ControlInput)), 0);
}

TEST_F(Players, ClearAndCopyCoverAllTwentyBytes) {
    ControlInput a;
    memset(&a, 0xAB, sizeof a);
    int16_t* axes = ClearInput(&a);
    EXPECT_EQ(axes, a.axes);
    const ControlInput zero{};
    EXPECT_EQ(memcmp(&a, &zero, sizeof a), 0);
    ControlInput b;
    memset(&b, 0x5C, sizeof b);
    CopyInput(&a, &b);
    EXPECT_EQ(memcmp(&a, &b, sizeof a), 0);
}

TEST_F(Players, DeletingTheLocalCellLeavesNoDanglingOwnPlayer) {
    OwnPlayer = CreatePlayer("me");
    CreatePlayer("other");
    DeletePlayer(OwnPlayer);
    EXPECT_EQ(OwnPlayer, nullptr);
    EXPECT_STREQ(PlayerTable[0]->name, "other");
}

}  // namespace

namespace {

// Scenery-camera stand-ins that record what they were asked.
struct Call {
    const construct* con;
    ItfcMethod method;
    uintptr_t arg;
};
std::vector<Call> g_calls;

uintptr_t Record(construct* con, ItfcMethod method, uintptr_t arg, const char* name) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>(name);
    g_calls.push_back({con, method, arg});
    return 0;
}
uintptr_t SatCameraItfc(construct* c, ItfcMethod m, uintptr_t a) {
    return Record(c, m, a, "SatCamera");
}
uintptr_t StatCameraItfc(construct* c, ItfcMethod m, uintptr_t a) {
    return Record(c, m, a, "StatCamera");
}
uintptr_t TankItfc(construct* c, ItfcMethod m, uintptr_t a) {
    return Record(c, m, a, "Tank");
}

class CameraHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        memset(KeyStates, 0, sizeof KeyStates);
        for (AxisBinding& b : AxisBindings) b = {-1, 0, 0, 1.0f, 512};
        OwnPlayer = CreatePlayer("me");
        other = CreatePlayer("other");
        for (int i = 0; i < 4; ++i) pools[i] = CreateConstructPool(8, ("buzy" + std::to_string(i)).c_str());
        sat = Make(SatCameraItfc, 0);
        stat = Make(StatCameraItfc, 3);
        oldUnit = Make(TankItfc, 1);
        oldUnit->playerCell = OwnPlayer;
        otherUnit = Make(TankItfc, 2);
        otherUnit->playerCell = other;
        newUnit = Make(TankItfc, 0);
        plain = Make(nullptr, 1);  // no dispatcher: passed over
        plain->playerCell = OwnPlayer;
        OwnPlayer->unitBefore.axes[0] = 5;
        OwnPlayer->unitNow.axes[5] = -9;
        OwnPlayer->mapNow.axes[0] = 33;
    }
    void TearDown() override {
        for (ConstructPool* p : pools) DeleteConstructPool(p);
        for (construct* c : made) FreeConstruct(c);
        while (PlayerCount > 0) DeletePlayer(PlayerTable[0]);
        OwnPlayer = nullptr;
        memset(KeyStates, 0, sizeof KeyStates);
    }
    construct* Make(ItfcProc itfc, int pool) {
        construct* c = CreateConstruct(1, 0);
        c->itfc = itfc;
        AppendToConstructPool(pools[pool], c);
        made.push_back(c);
        return c;
    }
    ConstructPool* pools[4];
    std::vector<construct*> made;
    PlayerCell* other;
    construct *sat, *stat, *oldUnit, *otherUnit, *newUnit, *plain;
};

TEST_F(CameraHandOver, CamerasFollowTheNewUnitWhichTakesTheLocalInput) {
    struct Case {
        bool shift;
        ItfcMethod satMethod;
    } cases[] = {{false, ItfcMethod::ATTACH}, {true, ItfcMethod::ADDTARGET}};
    for (const Case& c : cases) {
        g_calls.clear();
        KeyStates[276] = c.shift ? 1 : 0;
        oldUnit->playerCell = OwnPlayer;
        SwitchCameraObjects(newUnit);
        ASSERT_EQ(g_calls.size(), 2u);
        EXPECT_EQ(g_calls[0].con, sat);
        EXPECT_EQ(g_calls[0].method, c.satMethod);
        EXPECT_EQ(g_calls[0].arg, reinterpret_cast<uintptr_t>(newUnit));
        EXPECT_EQ(g_calls[1].con, stat);
        EXPECT_EQ(g_calls[1].method, ItfcMethod::ATTACH);
        EXPECT_EQ(g_calls[1].arg, reinterpret_cast<uintptr_t>(newUnit));
        EXPECT_EQ(newUnit->playerCell, OwnPlayer);
        EXPECT_EQ(oldUnit->playerCell, nullptr);
        EXPECT_EQ(otherUnit->playerCell, other);  // another player's unit keeps its driver
        EXPECT_EQ(plain->playerCell, OwnPlayer);  // without a dispatcher it is not looked at
    }
    // The new receiver starts from still axes and the plain turn rate; the map pair is not touched.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(OwnPlayer->unitBefore.axes[i], 0);
        EXPECT_EQ(OwnPlayer->unitNow.axes[i], 0);
        EXPECT_EQ(AxisBindings[i].scale, 256);
    }
    EXPECT_EQ(OwnPlayer->mapNow.axes[0], 33);
}

TEST_F(CameraHandOver, WithoutAUnitTheLocalInputIsOnlyReleased) {
    SwitchCameraObjects(nullptr);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(oldUnit->playerCell, nullptr);
    EXPECT_EQ(otherUnit->playerCell, other);
    EXPECT_EQ(OwnPlayer->unitNow.axes[5], -9);  // no new receiver: the records stay
    EXPECT_EQ(AxisBindings[0].scale, 512);
}

}  // namespace
