// The vehicle module frame: the busy-level time step, the pending push, the engine sounds through the
// view and copy slots, AI arrival at the destination, and the ground-drive block's shared operations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ai/AIMessage.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/Sound.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Wav.h"
#include "vehicles/modules/VehicleModule.h"
#include "world/Construct.h"

namespace {

// A drive reduced to the frame's steps: throttle, push, damping, integration, steering.
struct MiniDrive {
    int32_t pos[3];
    int32_t vel[3];
    int32_t speed;
    int32_t steer;
    PendingPush push;
};

void MiniUpdate(MiniDrive* d, int k, int16_t axis, bool damp) {
    PendingPush_apply(&d->push, d->vel, 10);
    d->speed += StepScale(37, k);
    for (int i = 0; i < 3; ++i) d->pos[i] += IntegrateStep(d->vel[i], 8, k);
    if (damp) DampTicks3(d->vel, 1008, 10, k);
    d->steer = SmoothSteering(d->steer, axis, k);
    PendingPush_clear(&d->push);
}

TEST(VehicleModuleFrame, OneUpdateAtLevelKCoversTwoToTheKTicks) {
    for (int k = 1; k <= kMaxBusyLevel; ++k) {
        SCOPED_TRACE("level " + std::to_string(k));
        // Moving at a steady velocity: the same distance, up to the rounding of the shifts (below 2^k).
        MiniDrive fine{{0, 0, 0}, {4000001, -900007, 120003}, 0, 0, {}};
        MiniDrive coarse = fine;
        for (int i = 0; i < (1 << k); ++i) MiniUpdate(&fine, 0, 12000, false);
        MiniUpdate(&coarse, k, 12000, false);
        EXPECT_EQ(coarse.speed, fine.speed);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NE(fine.pos[i], 0);
            EXPECT_LT(std::abs(coarse.pos[i] - fine.pos[i]), 1 << k) << "axis " << i;
        }
        // The steering word moves toward the axis by about the same amount (one shift instead of 2^k).
        EXPECT_GT(coarse.steer, 0);
        EXPECT_NEAR(coarse.steer, fine.steer, fine.steer / 3 + 2);
        // Damping: the velocity after one coarse update is the velocity after 2^k fine ones.
        MiniDrive fd = fine, cd = fine;
        for (int i = 0; i < (1 << k); ++i) MiniUpdate(&fd, 0, 0, true);
        MiniUpdate(&cd, k, 0, true);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(cd.vel[i], fd.vel[i]) << "axis " << i;
    }
}

TEST(VehicleModuleFrame, StepHelpers) {
    struct Case {
        const char* what;
        int32_t got, want;
    };
    const Case cases[] = {
        {"negative step scaled", StepScale(-3, 2), -12},
        {"level past 3 held at 3", StepScale(1, 7), 8},
        {"level below 0 held at 0", StepScale(5, -2), 5},
        {"integration shift reduced", IntegrateStep(1 << 12, 8, 3), 1 << 7},
        {"integration shift never below 0", IntegrateStep(100, 2, 3), 100},
        {"damping applied 2^k times", DampTicks(1 << 20, 512, 10, 2), 1 << 16},
        {"damping of a negative value", DampTicks(-1024, 1008, 10, 0), (-1024 * 1008) >> 10},
        {"steering wraps as 16 bits", SmoothSteering(30000, -30000, 0), 30000 + (static_cast<int16_t>(-60000) >> 5)},
        {"toward zero stops at 0", TowardZero(5, 9), 0},
        {"toward zero from below", TowardZero(-50, 9), -41},
        {"blend of top speed", EngineBlend(-500, 1000), 128},
        {"blend held at 255", EngineBlend(5000, 1000), 255},
        {"blend without top speed", EngineBlend(5000, 0), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_FLOAT_EQ(TowardZeroF(-0.25f, 0.5f), 0.0f);
}

TEST(VehicleModuleFrame, AZeroPushIsConsumedOnce) {
    PendingPush p{};
    int32_t v[3] = {10, 20, 30};
    EXPECT_EQ(PendingPush_apply(&p, v, 10), 0);
    const int32_t zero[3] = {0, 0, 0};
    PendingPush_set(&p, zero);
    EXPECT_EQ(PendingPush_apply(&p, v, 10), 1);
    EXPECT_EQ(v[0], 10);
    EXPECT_EQ(v[2], 30);
    PendingPush_clear(&p);
    EXPECT_EQ(PendingPush_apply(&p, v, 10), 0);
    const int32_t shove[3] = {1 << 20, -(1 << 20), 0};
    PendingPush_set(&p, shove);
    PendingPush_apply(&p, v, 10);
    EXPECT_EQ(v[0], 10 + 1024);
    EXPECT_EQ(v[1], 20 - 1024);
}

TEST(VehicleModuleFrame, SlotsAreCalledFromTheirMethods) {
    EXPECT_STREQ(ModuleSlotNames[static_cast<int>(ModuleSlot::SteerAI)], "steerAI");
    EXPECT_EQ(ModuleSlotMethod(ModuleSlot::Init), ItfcMethod::PLACE);
    EXPECT_EQ(ModuleSlotMethod(ModuleSlot::Release), ItfcMethod::UNPLACE);
    EXPECT_EQ(ModuleSlotMethod(ModuleSlot::Update), ItfcMethod::TICK);
    EXPECT_EQ(ModuleSlotMethod(ModuleSlot::SteerAI), ItfcMethod::STEERAI);
    EXPECT_EQ(ModuleSlotMethod(ModuleSlot::Copy), ItfcMethod::SETITFCDATA);
    EXPECT_EQ(ModuleSlotMethod(ModuleSlot::Status), ItfcMethod::UPDATEAIUNIT);
}

// ---- With sound, rules, clans and a unit ----

struct TestUnitBlock {
    UnitShare share;
    GroundDriveBlock drive;
};

uintptr_t TestUnit_itfc(construct* con, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("ModuleTestUnit");
    if (method == ItfcMethod::GETUNIT) return reinterpret_cast<uintptr_t>(con->itfcData);
    return 0;
}

class ModuleScene : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        use_directsound3d = 0;
        dxgl_SetStreamFormat(1, 22050, 16);
        dxgl_SetSoundFolder((tmp.path() + "/snd").c_str());
        dxgl_SetMasterVolume(1.0f, 1.0f);
        dxgl_EnableSound();
        dxgl_InitDS();
        for (const char* w : {"out.wav", "in.wav", "dive.wav"})
            ASSERT_TRUE(datakit::WriteWav(tmp / ("snd/" + std::string(w)), 1, 22050, std::vector<int16_t>(4000, 500)));
        ASSERT_TRUE(datakit::WriteRulesText(tmp / "rules",
                                            "Tst_FX_engine 2000 8000 16000 \"out.wav\";\n"
                                            "Tst_FX_engine_internal 2000 8000 16000 \"in.wav\";\n"
                                            "FX_dive 1000 22050 22050 \"dive.wav\";\n"
                                            "Tst_SpeedConstraint 2000 9000;\n"
                                            "end\n"));
        host::FlushDirectoryCache();
        ReadRules((tmp / "rules").c_str());
        unit = CreateUnit();
        unit->name = CopyText("TestTank");
        unit->rulePrefix = CopyText("Tst");
        CreateClan("EMA");
        CreateClan("GA");
        CreateClan("ARAB");
        con = CreateConstruct(0, 0);
        con->itfc = TestUnit_itfc;
        con->unit = unit;
        con->clan = ClanTable[1];
        block = static_cast<TestUnitBlock*>(AllocItfcData(con, sizeof(TestUnitBlock)));
    }
    void TearDown() override {
        dxgl_ReleaseAllSounds();
        for (AIQueue& q : AIQueues) {
            while (q.head) {
                AIMessage* next = q.head->next;
                FreeAIMessage(q.head);
                q.head = next;
            }
            q.tail = &q.head;
        }
        FreeConstruct(con);
        while (ClanCount > 0) DeleteClan(ClanTable[0]);
        FreeUnit(unit);
        FreeRules();
    }
    static char* CopyText(const char* s) {
        char* out = static_cast<char*>(qzAlloc(static_cast<int>(std::strlen(s) + 1), "unit name"));
        std::memcpy(out, s, std::strlen(s) + 1);
        return out;
    }
    static std::vector<int> Queued(int clan) {
        std::vector<int> types;
        for (AIMessage* m = AIQueues[clan].head; m; m = m->next) types.push_back(m->type);
        return types;
    }

    kvtest::FatalCatcher fatal;
    kvtest::TempDir tmp;
    Unit* unit = nullptr;
    construct* con = nullptr;
    TestUnitBlock* block = nullptr;
};

TEST_F(ModuleScene, CockpitViewSwapsTheEngineSamples) {
    EngineSound s{};
    EngineSound_lookup(&s, unit);
    EXPECT_STREQ(s.external.file, "out.wav");
    EXPECT_STREQ(s.internal.file, "in.wav");
    EngineSound_start(&s, con);
    EXPECT_EQ(s.soundOn, 1);
    EXPECT_TRUE(SampleLive(&s.external));
    EXPECT_FALSE(SampleLive(&s.internal));

    EngineSound_view(&s, con, 1);
    ASSERT_TRUE(SampleLive(&s.internal));
    const dxgl_SoundStreamBuffer* first = dxgl_DescSound(&s.internal);
    const uint32_t serial = s.internal.serial;
    EXPECT_FALSE(SampleLive(&s.external));
    EngineSound_view(&s, con, 1);  // a second switch to the cockpit plays nothing new
    EXPECT_EQ(dxgl_DescSound(&s.internal), first);
    EXPECT_EQ(s.internal.serial, serial);
    EXPECT_EQ(s.view, 1);

    EngineSound_view(&s, con, 0);
    EXPECT_FALSE(SampleLive(&s.internal));
    EXPECT_TRUE(SampleLive(&s.external));
    EXPECT_EQ(s.view, 0);

    int32_t vel[3] = {100, 0, 0};
    EngineSound_follow(&s, con, vel, 90);  // moves the live sample; the freed one is not touched
    EngineSound_stop(&s);
    EXPECT_FALSE(SampleLive(&s.external));
    EXPECT_EQ(s.soundOn, 0);
    EngineSound_stop(&s);  // stopping again does nothing
}

TEST_F(ModuleScene, CopyReconcilesTheSound) {
    EngineSound own{};
    EngineSound_lookup(&own, unit);
    EngineSound_start(&own, con);
    ASSERT_TRUE(SampleLive(&own.external));
    EngineSound_reconcile(&own, con, 0);  // the source is silent: so is the copy
    EXPECT_FALSE(SampleLive(&own.external));
    EXPECT_EQ(own.soundOn, 0);
    EngineSound_reconcile(&own, con, 0);
    EXPECT_EQ(own.soundOn, 0);
    EngineSound_reconcile(&own, con, 1);
    EXPECT_TRUE(SampleLive(&own.external));
    EXPECT_EQ(own.soundOn, 1);
}

TEST_F(ModuleScene, ArrivalDropsTheDestinationAndTellsTheClanOnce) {
    con->sphere.radius = 3000;
    con->orient[0] = con->orient[4] = con->orient[8] = 32768;
    con->pos[0] = 100000;
    con->pos[2] = 200000;
    UnitShare* rec = &block->share;
    const int32_t dest[3] = {101000, 5000, 201000};
    SetUnitAimPoint(con, dest, 0);
    ASSERT_EQ(rec->aimPointSet, 1);

    DriveAIState ai{};
    ASSERT_EQ(DriveAI_takeDestination(&ai, rec), 1);
    EXPECT_EQ(ai.dest[0], 101000);
    DriveBearing b{};
    DriveAI_bearing(con, ai.dest, &b);
    EXPECT_EQ(b.distance, 1414);
    EXPECT_EQ(DriveAI_arrive(con, rec, b.distance), 1);
    EXPECT_EQ(rec->aimPointSet, 0);
    EXPECT_EQ(DriveAI_arrive(con, rec, b.distance), 0);
    EXPECT_EQ(DriveAI_takeDestination(&ai, rec), 0);
    EXPECT_EQ(Queued(1), std::vector<int>{kMsgAimPointDone});
    EXPECT_TRUE(Queued(0).empty());
    EXPECT_EQ(AIQueues[1].head->unit, &rec->ai[1]);
}

TEST_F(ModuleScene, BearingAgainstTheForwardAxis) {
    // Heading along -z (the forward row of a quarter-turn orientation is (-cos h, 0, -sin h)).
    con->orient[0] = con->orient[4] = 32768;
    con->orient[8] = 32768;  // forward +z
    con->sphere.radius = 100;
    struct Case {
        int32_t dx, dz;
        float sine, cosine;
    };
    const Case cases[] = {
        {0, 100000, 0.0f, 1.0f},   // straight ahead
        {100000, 0, 1.0f, 0.0f},   // to the side: sine 1
        {0, -100000, 0.0f, -1.0f}, // behind
        {-70000, -70000, -0.7071f, -0.7071f},
    };
    for (const Case& c : cases) {
        const int32_t p[3] = {c.dx, 0, c.dz};
        DriveBearing b{};
        DriveAI_bearing(con, p, &b);
        EXPECT_NEAR(b.sine, c.sine, 0.001f) << c.dx << "," << c.dz;
        EXPECT_NEAR(b.cosine, c.cosine, 0.001f) << c.dx << "," << c.dz;
    }
    // A destination far across the map: the distance is exact beyond the 32-bit square.
    const int32_t far[3] = {2000000000, 0, -2000000000};
    DriveBearing b{};
    DriveAI_bearing(con, far, &b);
    EXPECT_EQ(b.distance, 2147483647);  // held to the int32 range
    const int32_t here[3] = {0, 0, 0};
    DriveAI_bearing(con, here, &b);
    EXPECT_EQ(b.distance, 0);
    EXPECT_EQ(b.dir[0], 0);
}

TEST_F(ModuleScene, GroundDriveBlockSharedOperations) {
    GroundDriveBlock& g = block->drive;
    int32_t power = 0;
    GroundDrive_initBlock(&g, con, 1, &power);
    EXPECT_EQ(g.speedConstraint[0], 2000);
    EXPECT_EQ(g.speedConstraint[1], 9000);
    EXPECT_STREQ(g.dive.file, "dive.wav");
    EXPECT_EQ(g.ready, 1);
    EXPECT_FLOAT_EQ(g.enginePower, 100.0f);
    for (int32_t w : g.ones) EXPECT_EQ(w, 1);
    ChainDrive_startSound(&g);
    EXPECT_EQ(g.engine.soundOn, 1);
    EXPECT_TRUE(SampleLive(&g.engine.external));

    AIUnitRecord ai{};
    ai.driveWord = 77;
    ChainDrive_status(&g, &ai);
    EXPECT_EQ(ai.driveValue, 9000);
    EXPECT_EQ(ai.driveWord, 0);
    EXPECT_EQ(ai.driveByte, 1);

    // Stealth: the power runs down by 0.9 per tick, the unit brakes, the engine stops at 0.
    WheelDrive_setMode(&g, 1);
    EXPECT_FLOAT_EQ(g.modeFactor, -0.9f);
    ControlInput in{};
    SetInputKey(&in, kInputThrust1, true);
    int updates = 0;
    while (!g.engineOff && updates < 200) {
        EXPECT_EQ(GroundDrive_engineMode(&g, &in, 1), 1);
        EXPECT_TRUE(InputKeyDown(in, kInputThrust2));
        EXPECT_FALSE(InputKeyDown(in, kInputThrust1));
        GroundDrive_rampPower(&g, 3);
        ++updates;
    }
    EXPECT_EQ(updates, 15);  // 100 / (0.9 x 8) updates to reach 0, one more to notice
    EXPECT_EQ(power, 0);
    EXPECT_FLOAT_EQ(g.modeFactor, 0.0f);
    EXPECT_FALSE(SampleLive(&g.engine.external));

    // Back on: the power climbs to 100, then the sample of the current view starts again.
    WheelDrive_setMode(&g, 0);
    g.engine.view = 1;
    while (g.enginePower < 100.0f) {
        GroundDrive_engineMode(&g, &in, 0);
        EXPECT_FALSE(InputKeyDown(in, kInputThrust2));
        GroundDrive_rampPower(&g, 0);
    }
    EXPECT_EQ(power, 100);
    EXPECT_EQ(GroundDrive_engineMode(&g, &in, 0), 1);  // still held in the update that restarts it
    EXPECT_EQ(GroundDrive_engineMode(&g, &in, 0), 0);
    EXPECT_EQ(g.engineOff, 0);
    EXPECT_TRUE(SampleLive(&g.engine.internal));

    WheelDrive_jolt(&g);
    WheelDrive_wake(&g);
    EXPECT_EQ(g.jolt, 1);
    EXPECT_EQ(g.wake, 1);
    ChainDrive_engineView(&g, 0);
    EXPECT_TRUE(SampleLive(&g.engine.external));
    GroundDrive_releaseBlock(&g);
    EXPECT_FALSE(SampleLive(&g.engine.external));
    EXPECT_EQ(g.ready, 0);
    GroundDrive_releaseBlock(&g);  // a second release does nothing
}

TEST_F(ModuleScene, AMissingDriveRuleIsFatal) {
    FreeRules();
    GroundDriveBlock g{};
    try {
        GroundDrive_initBlock(&g, con, 0, nullptr);
        FAIL() << "no fatal error";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedUnitRule): Rule 'Tst_SpeedConstraint' not found");
    }
}

}  // namespace
