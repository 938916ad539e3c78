// Unit lighting: toggling and fading, the active light list with and without dynamic lighting, forced
// off and restored, the billboards, the headlights' placement on the terrain, the beam, and the copy.
#include <cstdlib>

#include "core/Config.h"
#include "objects/SceneryLighting.h"
#include "objects/UnitShare.h"
#include "render/Light.h"
#include "support/Fatal.h"
#include "vehicles/modules/ModuleScene.h"
#include "vehicles/modules/UnitLighting.h"
#include "world/Player.h"

namespace {

constexpr int kLightKey = 20;

class UnitLightingTest : public modtest::ModuleScene {
protected:
    void SetUp() override {
        ModuleScene::SetUp();
        savedDynamic_ = dynamic_lighting;
        dynamic_lighting = 1;
        ActiveLightCount = 0;
    }
    void TearDown() override {
        UnitLighting_free(&l_);
        ActiveLightCount = 0;
        dynamic_lighting = savedDynamic_;
        ModuleScene::TearDown();
    }
    void Init(const char* type, const UnitLightBoard* boards = nullptr) {
        Rules(std::string("Tank_LightType \"") + type + "\";");
        const int32_t offset[3] = {0, 0, 2000};
        UnitLighting_init(&l_, con_, con_, offset, boards);
    }
    // One update; with key the light key goes down in this update (it was up before).
    void Tick(bool key = false, int shift = 0) {
        ControlInput before{}, now{};
        if (key) SetInputKey(&now, kLightKey, true);
        UnitLighting_update(&l_, now, before, &rec_, shift);
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) Tick();
    }

    UnitLighting l_{};
    UnitShare rec_{};
    int savedDynamic_ = 1;
};

TEST_F(UnitLightingTest, TheKeyFadesTheLightsInAndOutOverThirtyTwoTicks) {
    FlatTerrain(800);
    Init("STRAIGHT");
    Tick(true);
    EXPECT_EQ(l_.ramp, 8);
    EXPECT_TRUE(l_.on);
    EXPECT_TRUE(IsActiveLight(l_.nearLight));
    EXPECT_TRUE(IsActiveLight(l_.farLight));
    EXPECT_EQ(l_.nearLight->kind, kNearLightKind);
    EXPECT_EQ(l_.farLight->kind, kFarLightKind);
    Ticks(30);
    EXPECT_EQ(l_.ramp, 248);
    Tick();
    EXPECT_EQ(l_.ramp, 255);
    EXPECT_EQ(l_.step, 0);
    EXPECT_EQ(rec_.beamFlag, 1);
    // Full brightness: colour x ramp x 256 >> 14.
    EXPECT_EQ(l_.farLight->colour[0], 255 * 255 * 256 >> 14);

    Tick(true);
    EXPECT_EQ(l_.step, -8);
    Ticks(30);
    EXPECT_TRUE(l_.on);
    EXPECT_EQ(l_.ramp, 255 - 31 * 8);
    Tick();
    EXPECT_EQ(l_.ramp, 0);
    EXPECT_FALSE(l_.on);
    EXPECT_EQ(ActiveLightCount, 0);
    EXPECT_EQ(rec_.beamFlag, 0);
}

TEST_F(UnitLightingTest, AHeldKeyTogglesOnceAndABusyLevelScalesTheRamp) {
    Init("RAISED");
    ControlInput up{}, down{};
    SetInputKey(&down, kLightKey, true);
    UnitLighting_update(&l_, down, up, &rec_, 0);
    for (int i = 0; i < 5; ++i) UnitLighting_update(&l_, down, down, &rec_, 0);
    EXPECT_EQ(l_.ramp, 48);
    EXPECT_EQ(l_.step, 8);
    Tick(false, 3);
    EXPECT_EQ(l_.ramp, 48 + 64);
}

TEST_F(UnitLightingTest, WithoutDynamicLightingOnlyTheBeamEntersTheActiveList) {
    dynamic_lighting = 0;
    Init("STRAIGHT");
    Tick(true);
    Tick();
    EXPECT_TRUE(l_.on);
    EXPECT_EQ(ActiveLightCount, 0);
    UnitLighting_free(&l_);

    Rules("Tank_LightType \"BEAM\";");
    const int32_t offset[3] = {0, 0, 0};
    UnitLighting_init(&l_, con_, con_, offset, nullptr);
    EXPECT_EQ(l_.farLight, nullptr);
    EXPECT_EQ(l_.colour[0], 2048);
    Tick(true);
    EXPECT_TRUE(IsActiveLight(l_.nearLight));
    EXPECT_EQ(l_.nearLight->kind, kFarLightKind);
}

TEST_F(UnitLightingTest, ForcedOffRestoresOnlyLightsThatWereOn) {
    Init("STRAIGHT");
    Tick(true);
    Ticks(31);
    UnitLighting_switch(&l_, 1);
    EXPECT_EQ(l_.restore, 1);
    Tick(true);  // the key does nothing while forced
    EXPECT_EQ(l_.step, -8);
    Ticks(32);
    EXPECT_FALSE(l_.on);
    UnitLighting_fade(&l_, 0);  // nor does the AI's fade
    EXPECT_EQ(l_.step, 0);
    UnitLighting_switch(&l_, 0);
    EXPECT_EQ(l_.step, 8);
    Ticks(32);
    EXPECT_EQ(l_.ramp, 255);

    // Forced while off: released, they stay off.
    Tick(true);
    Ticks(32);
    ASSERT_FALSE(l_.on);
    UnitLighting_switch(&l_, 1);
    EXPECT_EQ(l_.restore, 0);
    UnitLighting_switch(&l_, 0);
    EXPECT_EQ(l_.step, 0);
}

TEST_F(UnitLightingTest, DimmingLowersEveryHaloAndBrighteningNeverLowersOne) {
    int32_t torch = 0, halo = 0;
    UnitLightBoard boards[kUnitLightBoards] = {{&torch, 255}, {&halo, 128}};
    Init("STRAIGHT", boards);
    Tick(true);
    Ticks(15);
    EXPECT_EQ(torch, (255 * 128) >> 8);
    EXPECT_EQ(halo, (128 * 128) >> 8);
    torch = 250;  // lit brighter by someone else
    Tick();
    EXPECT_EQ(torch, 250);
    Tick(true);
    EXPECT_EQ(torch, (255 * 128) >> 8);
    Ticks(16);
    EXPECT_EQ(torch, 0);
    EXPECT_EQ(halo, 0);
}

TEST_F(UnitLightingTest, HeadlightsStandAtThirtyFiveAndSeventyPercentOfTheFreeDistance) {
    FlatTerrain(800);
    WaterLevel[0] = WaterLevel[1] = WaterLevel[2] = WaterLevel[3] = kNoWaterLevel;
    struct Case {
        const char* type;
        int32_t height;
    } cases[] = {{"STRAIGHT", 20000}, {"LOWERED", 20000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        UnitLighting_free(&l_);
        FreeRules();
        Init(c.type);
        con_->pos[1] = c.height;
        Tick(true);
        Tick();  // the lights are placed once they are on
        const int32_t origin[3] = {con_->pos[0], con_->pos[1], con_->pos[2] + 2000};
        // The free distance: whole steps of one eighth of the direction before the ground at 800.
        int32_t distance = 0;
        int32_t y = origin[1];
        while (distance < kHeadlightReach && (y += l_.dir[1] >> 3) >= 800) distance += 4096;
        if (distance > kHeadlightReach) distance = kHeadlightReach;
        if (c.type[0] == 'S') EXPECT_EQ(distance, kHeadlightReach);
        else EXPECT_LT(distance, 60000);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(l_.farLight->pos[k], origin[k] + l_.dir[k] * (distance * 0.7 / 32768), 2);
            EXPECT_NEAR(l_.nearLight->pos[k], origin[k] + l_.dir[k] * (distance * 0.35 / 32768), 2);
        }
    }
}

TEST_F(UnitLightingTest, TheBeamLightsTheSpotWhereItMeetsTheGround) {
    FlatTerrain(800);
    WaterLevel[0] = WaterLevel[1] = WaterLevel[2] = WaterLevel[3] = kNoWaterLevel;
    Rules("Tank_LightType \"BEAM\";");
    UnitLighting_init(&l_, con_, con_, nullptr, nullptr);
    // Forward axis pointing down at 45 degrees.
    con_->orient[4] = 23170, con_->orient[5] = 23170;
    con_->orient[7] = -23170, con_->orient[8] = 23170;
    con_->pos[1] = 40000;
    Tick(true);
    Tick();
    EXPECT_EQ(rec_.beamLit, 1);
    EXPECT_GT(rec_.beamPoint[2], con_->pos[2] + 30000);
    EXPECT_EQ(rec_.beamPoint[1], l_.nearLight->pos[1]);
    EXPECT_LT(rec_.beamPoint[1] - 18000, 800);
    EXPECT_GT(l_.nearLight->colour[0], 0);
    // Pointed at the sky the beam meets nothing: dark, and no spot.
    con_->orient[7] = 23170;
    con_->orient[4] = 23170, con_->orient[5] = -23170;
    Tick();
    EXPECT_EQ(rec_.beamLit, 0);
    EXPECT_EQ(l_.nearLight->colour[0], 0);
    EXPECT_EQ(LightStamp, 1);
}

TEST_F(UnitLightingTest, TheCopyTakesOverTheStateAndTheActiveList) {
    Init("STRAIGHT");
    UnitLighting src{};
    const int32_t offset[3] = {0, 0, 0};
    UnitLighting_init(&src, con_, con_, offset, nullptr);
    UnitLighting_update(&src, ControlInput{}, ControlInput{}, nullptr, 0);
    src.ramp = 128;
    src.on = 1;
    src.colour[1] = 100;
    UnitLighting_draw(&l_, &src);
    EXPECT_TRUE(l_.on);
    EXPECT_TRUE(IsActiveLight(l_.nearLight));
    EXPECT_EQ(l_.nearLight->colour[1], (100 * 128) >> 6);
    src.on = 0;
    UnitLighting_draw(&l_, &src);
    EXPECT_FALSE(IsActiveLight(l_.nearLight));
    src.on = 0;
    UnitLighting_free(&src);
}

TEST_F(UnitLightingTest, AnUnknownLightTypeIsFatal) {
    kvtest::FatalCatcher fatal;
    try {
        Init("SIDEWAYS");
        FAIL();
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(UnitLighting_init, TestTank): uk lighting type");
    }
}

}  // namespace
