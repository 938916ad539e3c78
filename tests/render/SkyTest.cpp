// The sky cell from its chunk, the game clock and the sun, the sky pass at three times of day, the lens
// flares' judgement of the picture, viewports with their targets and camera shake, and the weather.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "objects/Itfc.h"
#include "platform/SoundFx.h"
#include "render/Light.h"
#include "render/RenderTables.h"
#include "render/Sky.h"
#include "render/Terrain.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "render/Weather.h"
#include "support/FPTables.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Sky.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "game/Level.h"
#include "world/QZEvent.h"
#include "game/WorldTick.h"
#include "ReferencePicture.h"
#include "TerrainScene.h"

namespace {

constexpr int32_t kTurn = 411774;

std::string FatalText(const std::function<void()>& f) {
    try {
        f();
    } catch (const kvtest::FatalExit& e) {
        return e.what();
    }
    return "";
}

// A data tree with the sky's objects under "Objects" and the rule "lod_high"; the tree is the working
// directory while the test runs.
class SkyFixture : public ::testing::Test {
protected:
    void SetUp() override {
        kvtest::EnsureFPTables();
        old_ = std::filesystem::current_path();
        host::SetWorkingDirectory(dir_.path().c_str());
        std::snprintf(savedObjRoot_, sizeof savedObjRoot_, "%s", OBJROOT);
        std::snprintf(OBJROOT, sizeof OBJROOT, "Objects");
        Put("Objects/sky/halo", datakit::HaloObject().Bytes());
        Put("Objects/sky/moon", datakit::MoonObject().Bytes());
        Put("Objects/clouds/dome", datakit::CloudDomeObject("").Bytes());
        ReadRulesText("lod_high 300000 150000 90000 60000;\n");
        savedFov_ = FieldOfView;
        savedLight_ = SunLight;
        SunLight = nullptr;
    }
    void TearDown() override {
        while (ViewPortCount > 0) DestroyViewPort(ViewPortTable[0]);
        FreeRules();
        FieldOfView = savedFov_;
        SunLight = savedLight_;
        std::snprintf(OBJROOT, sizeof OBJROOT, "%s", savedObjRoot_);
        host::SetWorkingDirectory(old_.c_str());
        host::FlushDirectoryCache();
    }
    void Put(const std::string& rel, const std::vector<uint8_t>& bytes) {
        dir_.Write(rel, std::string(bytes.begin(), bytes.end()));
        host::FlushDirectoryCache();
    }
    void ReadRulesText(const std::string& text) {
        ASSERT_TRUE(datakit::WriteRulesText(dir_ / "rules", text + "end\n"));
        host::FlushDirectoryCache();
        FreeRules();
        ReadRules((dir_ / "rules").c_str());
    }
    static SkyCell* DaySkyCell(int32_t stars = 200) {
        SkyCell* sky = CreateSkyCell();
        const auto body = datakit::SkyBody(datakit::DaySky("sky.halo", "sky.moon", stars));
        BuildSkyFromChunk(body.data(), body.size(), "Maps\\Test", sky);
        return sky;
    }
    kvtest::TempDir dir_;
    kvtest::FatalCatcher fatal_;

private:
    std::filesystem::path old_;
    char savedObjRoot_[kRootSize];
    float savedFov_ = 65.0f;
    DirLight* savedLight_ = nullptr;
};

int32_t Degrees(double d) { return static_cast<int32_t>(float(d) * 3.1415927f / 180.0f * 65536.0f); }

// ---- Sky cell --------------------------------------------------------------------------------------

TEST_F(SkyFixture, ChunkGivesElevenLateralsStarsAndGeometries) {
    kvtest::MemTrack track;
    SkyCell* sky = DaySkyCell();
    ASSERT_EQ(sky->lateralCount, 11);
    EXPECT_EQ(sky->lateralCapacity, 11);
    // The first chunk lateral makes the four fixed ones down to the horizon, the last also the 45-degree
    // one; the others keep their values for the drawing to place.
    const double fixed[4] = {140, 110, 100, 90};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sky->laterals[i].elevation, Degrees(fixed[i])) << i;
        EXPECT_EQ(sky->laterals[i].value, -1);
    }
    const int32_t values[6] = {0, 2000, 5000, 9000, 16000, 40000};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(sky->laterals[4 + i].value, values[i]);
    EXPECT_EQ(sky->laterals[kLateral45].elevation, Degrees(45));
    EXPECT_EQ(sky->laterals[kLateral45].value, -1);
    EXPECT_EQ(0, std::memcmp(sky->laterals[kLateral45].keys, sky->laterals[9].keys, sizeof sky->laterals[9].keys));
    // Stars from the third on point above the horizon with a brightness of 64 or 128.
    ASSERT_EQ(sky->starCount, 200);
    for (int i = 2; i < sky->starCount; ++i) {
        const FixVec& d = sky->stars[i].dir;
        EXPECT_GT(d.y, 0);
        EXPECT_NEAR(std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z), 32768.0, 40.0);
        EXPECT_TRUE(sky->stars[i].brightness == 64 || sky->stars[i].brightness == 128) << sky->stars[i].brightness;
    }
    EXPECT_STREQ(sky->flareName, "sky\\halo");
    EXPECT_STREQ(sky->moonName, "sky\\moon");
    ASSERT_NE(sky->flare, nullptr);
    ASSERT_NE(sky->moon, nullptr);
    EXPECT_EQ(sky->moon->pointCount, 4);
    EXPECT_EQ(sky->dome, nullptr);  // no rule "sky_dome"
    EXPECT_EQ(sky->tilt, 20000);

    // A copy for another view has the same laterals and stars and its own geometries.
    SkyCell* copy = RebuildSkyGeometry(sky);
    ASSERT_EQ(copy->lateralCount, 11);
    EXPECT_EQ(0, std::memcmp(copy->laterals, sky->laterals, sizeof(SkyLateral) * 11));
    EXPECT_EQ(0, std::memcmp(copy->stars, sky->stars, sizeof(SkyStar) * 200));
    EXPECT_NE(copy->flare, sky->flare);
    EXPECT_EQ(RebuildSkyGeometry(nullptr), nullptr);
    FreeSkyCell(copy);
    FreeSkyCell(sky);
    FreeSkyCell(nullptr);
}

TEST_F(SkyFixture, DomeFromTheRuleAndAlwaysTheSunAndSecondLight) {
    kvtest::MemTrack track;
    ReadRulesText("sky_dome \"dome\";\n");
    // A chunk without stars still holds the two entries the clock aims.
    SkyCell* sky = DaySkyCell(0);
    EXPECT_EQ(sky->starCount, 2);
    ASSERT_NE(sky->dome, nullptr);
    EXPECT_STREQ(sky->domeName, "clouds\\dome");
    // The dome's points are read at 640 times their file size (held in quarter units).
    EXPECT_NEAR(std::hypot(sky->dome->points[0].pos[0], sky->dome->points[0].pos[2]),
                640.0 * 100.0 / 4.0 * std::cos(5.0 * M_PI / 180.0), 16.0);
    FreeSkyCell(sky);
    ReadRulesText("sky_dome \"none\";\n");
    SkyCell* broken = CreateSkyCell();
    const auto body = datakit::SkyBody(datakit::DaySky("sky.halo", "sky.moon"));
    EXPECT_EQ(FatalText([&] { BuildSkyFromChunk(body.data(), body.size(), "Maps\\Test", broken); }),
              "Can't open dome geom file");
    FreeSkyCell(broken);
}

TEST(SkyColours, NearAndDistance) {
    struct Case {
        uint8_t a[3], b[3];
        bool near;
        int32_t distance;
    };
    const Case cases[] = {
        {{0, 0, 0}, {15, 15, 15}, true, 15},
        {{0, 0, 0}, {16, 0, 0}, false, 5},
        {{200, 100, 50}, {184, 100, 50}, false, 5},
        {{200, 100, 50}, {185, 114, 36}, true, 14},
        {{255, 255, 255}, {0, 0, 0}, false, 255},
        {{10, 20, 30}, {11, 20, 30}, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColoursNear(c.a, c.b), c.near);
        EXPECT_EQ(ColoursNear(c.b, c.a), c.near);
        EXPECT_EQ(ColourDistance(c.a, c.b), c.distance);
    }
}

TEST(SkyRamps, CloudsAndFadeStopAtTheirBounds) {
    ResetSkyState();
    CloudCover = 65000, CloudCoverRate = 100;
    AdvanceClouds(2);
    EXPECT_EQ(CloudCover, 65200);
    EXPECT_EQ(CloudCoverRate, 100);
    AdvanceClouds(1);
    EXPECT_EQ(CloudCover, 65280);
    EXPECT_EQ(CloudCoverRate, 0);
    SkyFade = 300, SkyFadeRate = -200;
    AdvanceSkyFade(1);
    EXPECT_EQ(SkyFade, 100);
    AdvanceSkyFade(1);
    EXPECT_EQ(SkyFade, 0);
    EXPECT_EQ(SkyFadeRate, 0);
    // The cloud offset wraps below 1.0.
    CloudOffset = 0.9f, CloudSpeed = 0.05f;
    AdvanceClouds(3);
    EXPECT_NEAR(CloudOffset, 0.05f, 1e-5f);
    ResetSkyState();
}

// ---- Game clock ------------------------------------------------------------------------------------

TEST_F(SkyFixture, ClockTurnsTheSunAndColoursTheSky) {
    kvtest::MemTrack track;
    SkyCell* sky = DaySkyCell();
    SkyCell* saved = WorldSkyCell;
    WorldSkyCell = sky;
    struct Case {
        int hour, minute;
        int32_t angle;
    };
    // The sun angle runs backwards through the day: 18 o'clock is 0, noon a quarter turn.
    const Case cases[] = {{0, 0, 308831}, {6, 0, 205887}, {12, 0, 102944}, {18, 0, 0}, {21, 0, 360302}, {10, 30, 128680}};
    for (const Case& c : cases) {
        SetGameTime(0, c.hour, c.minute, 0);
        EXPECT_NEAR(sky->sunAngle, c.angle, 2) << c.hour << ":" << c.minute;
        EXPECT_EQ(sky->secondAngle, (sky->sunAngle + 154415) % kTurn);
    }
    SetGameTime(0, 12, 0, 0);
    EXPECT_EQ(GameClockSeconds, 43200.0f);
    EXPECT_EQ(sky->sunAngle, 102944);
    // Noon lies exactly on key 3: its colour; the sun straight up the tilted circle.
    EXPECT_EQ(sky->keyIndex, 3);
    EXPECT_EQ(sky->fraction, 0);
    EXPECT_EQ(0, std::memcmp(sky->colour, sky->keyColours[3], 3));
    EXPECT_NEAR(sky->stars[0].dir.x, 0, 40);
    EXPECT_GT(sky->stars[0].dir.y, 31000);
    // Half way between two keys the colour is half way too.
    const int32_t mid = (sky->keyAngles[3] + sky->keyAngles[4]) / 2;
    SetSunAngle(mid);
    EXPECT_EQ(sky->keyIndex, 3);
    EXPECT_NEAR(sky->fraction, 128, 1);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(sky->colour[c], (sky->keyColours[3][c] + sky->keyColours[4][c]) / 2, 1);
    // Across the wrap (the last key to the first): interpolated over the full turn.
    const int32_t last = sky->keyAngles[8];
    const int32_t wrapMid = (last + kTurn) / 2;
    SetSunAngle(wrapMid);
    EXPECT_EQ(sky->keyIndex, 8);
    EXPECT_EQ(sky->nextKey, 0);
    EXPECT_NEAR(sky->fraction, 128, 3);
    // Angles outside the turn are brought into it.
    SetSunAngle(-1);
    EXPECT_EQ(sky->sunAngle, 411773);
    SetSunAngle(411775);
    EXPECT_EQ(sky->sunAngle, 1);
    // Game clock from seconds: day, hour, minute and second.
    SetGameClock(86400.0f + 3600.0f * 13 + 60.0f * 7 + 9.0f);
    EXPECT_EQ(GameDay, 1);
    EXPECT_EQ(GameHour, 13);
    EXPECT_EQ(GameMinute, 7);
    EXPECT_EQ(GameSecond, 9);
    WorldSkyCell = saved;
    FreeSkyCell(sky);
}

// The time of day turns the skies of the views that follow a camera and are not switched off, and hands
// them the level's base colour ("AmbientLighting"); a switched-off view keeps its sky and colour.
TEST_F(SkyFixture, TheSunTurnsTheSkiesOfTheViewsThatAreOn) {
    kvtest::MemTrack track;
    SkyCell* onSky = DaySkyCell();
    SkyCell* offSky = DaySkyCell();
    construct camera{};
    ViewPort* on = CreateViewPort(0, 0, 160, 120);
    ViewPort* off = CreateViewPort(0, 0, 40, 30);
    on->sky = onSky;
    off->sky = offSky;
    on->follows = off->follows = &camera;
    off->hidden = 1;
    const uint8_t level[3] = {40, 50, 60};
    std::memcpy(LevelAmbientColour, level, 3);
    SetSunAngle(102944);
    EXPECT_EQ(onSky->sunAngle, 102944);
    EXPECT_EQ(0, std::memcmp(on->colour, level, 3));
    EXPECT_NE(offSky->sunAngle, 102944);
    EXPECT_EQ(off->colour[0], 4);
    on->sky = off->sky = nullptr;
    on->follows = off->follows = nullptr;
    std::memset(LevelAmbientColour, 0, 3);
    FreeSkyCell(onSky);
    FreeSkyCell(offSky);
}

TEST_F(SkyFixture, DirectionalLightFollowsTheSunOnlyWhenItMovedEnough) {
    kvtest::MemTrack track;
    SkyCell* sky = DaySkyCell();
    SkyCell* saved = WorldSkyCell;
    WorldSkyCell = sky;
    DirLight* light = CreateDirLight(0, 0, 0);
    SunLight = light;
    LastLightAngle = 0x7fffffff;
    SetSunAngle(102944);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(light->colour[c], sky->colour[c] * 4);
    EXPECT_EQ(light->dir[1], sky->stars[0].dir.y);
    const int32_t y = light->dir[1];
    // A turn of 1000 or less recolours the sky but leaves the light.
    SetSunAngle(102944 + 1000);
    EXPECT_EQ(light->dir[1], y);
    SetSunAngle(102944 + 1001);
    EXPECT_NE(light->dir[1], y);
    // At night (key 7) the light comes from the second light.
    SetSunAngle((sky->keyAngles[7] + sky->keyAngles[8]) / 2);
    EXPECT_EQ(sky->keyIndex, 7);
    EXPECT_EQ(light->dir[1], sky->stars[1].dir.y);
    SunLight = nullptr;
    FreeDirLight(light);
    WorldSkyCell = saved;
    FreeSkyCell(sky);
}

// ---- Sky pass and lens flares ----------------------------------------------------------------------

// The hills scene looking level at the horizon, with a sky cell of the day sky.
struct SkyScene {
    explicit SkyScene(SkyCell* sky) : scene(160, 120, 9), cell(sky) {
        ViewPort* vp = scene.viewport();
        vp->sky = sky;
        vp->focal[0] = vp->focal[1] = 80;
        CreateMeridians(sky, vp->board, nullptr);
        // Heading turned toward the sun's side of the sky, looking a little up.
        FixMatrix m;
        MatrixFromYawPitch(&m, -102943 + 60000, 95000);
        scene.SetCamera({4 * 65536 + 20000, 7000 * 8, 65536}, m);
    }
    std::vector<uint32_t> DrawAt(int32_t angle) {
        SetSkySunAngle(cell, angle);
        scene.Draw();
        return scene.Pixels();
    }
    kvtest::TerrainScene scene;
    SkyCell* cell;
};

TEST_F(SkyFixture, SkyAtNoonDuskAndNightMatchesItsReferencePictures) {
    // The stars' places are drawn from the C generator: the same seed gives the same night sky.
    std::srand(21);
    SkyCell* sky = DaySkyCell();
    ResetSkyState();
    std::vector<uint32_t> noon, dusk, night;
    {
        SkyScene s(sky);
        noon = s.DrawAt(102944);
        kvtest::CompareWithReference("sky_noon", 160, 120, noon);
        dusk = s.DrawAt(8000);
        kvtest::CompareWithReference("sky_dusk", 160, 120, dusk);
        night = s.DrawAt(308831);
        kvtest::CompareWithReference("sky_night", 160, 120, night);
        // The three times differ in most of the sky (the upper third of the picture).
        auto differing = [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
            int n = 0;
            for (size_t i = 0; i < 160 * 40; ++i)
                for (int sh = 0; sh < 24; sh += 8)
                    if (std::abs(int((a[i] >> sh) & 0xFF) - int((b[i] >> sh) & 0xFF)) > 24) {
                        ++n;
                        break;
                    }
            return n;
        };
        EXPECT_GT(differing(noon, dusk), 160 * 20);
        EXPECT_GT(differing(noon, night), 160 * 30);
        EXPECT_GT(differing(dusk, night), 160 * 20);
        // The fog colour of the view is the horizon lateral's colour of the time.
        EXPECT_EQ(SkyFogColour[0], sky->laterals[kHorizonLateral].colour[0]);
    }
    FreeSkyCell(sky);
}

// The moon is drawn by the sky polygon routine: fogged by its face's fog depth, whatever fog the last
// drawing left.
TEST_F(SkyFixture, TheMoonTakesTheFogOfItsFacesDepth) {
    SkyCell* sky = DaySkyCell();
    SkyScene s(sky);
    s.DrawAt(102944);  // sets the view
    ASSERT_NE(sky->moon, nullptr);
    // The moon straight ahead: with both of its angles at a quarter turn it stands along +z, where the
    // camera looks.
    sky->secondAngle = 102943;
    sky->tilt = 102943;
    s.scene.SetCamera({4 * 65536, 7000 * 8, 65536}, kvtest::PitchedDown(0.0));
    s.scene.Draw();
    host::GfxDevice* d = s.scene.device();
    for (int32_t fogDepth : {0, 1 << 24}) {
        SCOPED_TRACE(fogDepth);
        host::Clear(d, 0, nullptr, host::GfxClearTarget, 0xFF000000u, 1.0f, 0);
        host::SetRenderState(d, host::RenderState::FogColor, 0x00FF0000u);
        host::SetRenderState(d, host::RenderState::FogEnable, 1);
        FogSpecular = 0xFF000000u;  // what an unfogged drawing before left
        sky->moon->faces->nearZ = fogDepth;
        DrawMoon(sky, 255, 0);
        host::FinishDrawing(d);
        const uint32_t p = s.scene.Pixels()[60 * 160 + 80];
        if (fogDepth) {
            EXPECT_EQ(p & 0xFFFFFF, 0xFF0000u);
        } else {
            EXPECT_NE(p & 0xFFFFFF, 0xFF0000u);
            EXPECT_NE(p & 0xFFFFFF, 0u);
        }
    }
    FreeSkyCell(sky);
}

TEST_F(SkyFixture, SkyGeometryAndFogFollowTheCameraHeight) {
    SkyCell* sky = DaySkyCell();
    SkyScene s(sky);
    SetSkySunAngle(sky, 102944);
    // At height 0 the horizon lateral lies at 102900.
    s.scene.SetCamera({4 * 65536, 0, 65536}, kvtest::PitchedDown(0.0));
    s.scene.Draw();
    EXPECT_EQ(sky->laterals[kHorizonLateral].elevation, 102900);
    // Value 0 sits on the horizon; each other value lateral lies nearer the zenith.
    EXPECT_EQ(sky->laterals[4].elevation, 102900);
    EXPECT_LT(sky->laterals[5].elevation, sky->laterals[4].elevation);
    // Raising the camera lowers the horizon and moves the value laterals toward it.
    const int32_t before = sky->laterals[6].elevation;
    s.scene.SetCamera({4 * 65536, 200000, 65536}, kvtest::PitchedDown(0.0));
    s.scene.Draw();
    EXPECT_EQ(sky->laterals[kHorizonLateral].elevation, (200000 >> 5) + 102900);
    EXPECT_GT(sky->laterals[6].elevation - sky->laterals[kHorizonLateral].elevation,
              before - 102900);
    // Every band vertex was projected once in this view: the zenith, the nadir and the rings.
    EXPECT_GE(sky->vertexCount, 2 + 18 * 5);
    FreeSkyCell(sky);
}

TEST_F(SkyFixture, FlaresCountTheUnchangedSamplesAroundTheSun) {
    SkyCell* sky = DaySkyCell();
    SkyScene s(sky);
    SetSkySunAngle(sky, 102944);
    sky->sunScreen[0] = 80, sky->sunScreen[1] = 60;
    // Samples 5 pixels out on the axes and 2 on the diagonals.
    FocalX = 320;
    host::GfxDevice* d = s.scene.device();
    auto fill = [d](const host::GfxRect* r, uint32_t colour) {
        host::Clear(d, r ? 1 : 0, r, host::GfxClearTarget, colour, 1.0f, 0);
        host::FinishDrawing(d);
    };
    fill(nullptr, 0xFF6080C0u);
    SunDarkeningBias = 0;
    CaptureFlareSamples(sky);
    // Eight unchanged samples: visibility 255.
    CountFlareSamples(sky);
    EXPECT_EQ(FlareVisibility, 255);
    // A sun darkening is the bias plus the distance of the samples from the sky colour.
    const uint8_t back[3] = {0x60, 0x80, 0xC0};
    EXPECT_EQ(SunDarkening, 8 * ColourDistance(back, sky->colour));
    // Something drawn over all eight sample points: -1.
    fill(nullptr, 0xFF203010u);
    CountFlareSamples(sky);
    EXPECT_EQ(FlareVisibility, -1);
    // An occluder right of the sun: the sample on the right and the two diagonal ones there changed.
    fill(nullptr, 0xFF6080C0u);
    const host::GfxRect right = {81, 0, 160, 120};
    fill(&right, 0xFF000000u);
    CountFlareSamples(sky);
    EXPECT_EQ(FlareVisibility, 32 * 5 - 1);
    // At midnight the gate is closed: nothing is read and the visibility keeps its value.
    SetSkySunAngle(sky, 308831);
    fill(nullptr, 0xFF6080C0u);
    CountFlareSamples(sky);
    EXPECT_EQ(FlareVisibility, 32 * 5 - 1);
    FreeSkyCell(sky);
}

// ---- Viewports -------------------------------------------------------------------------------------

// A construct whose dispatcher records the view methods it gets.
std::vector<std::pair<ItfcMethod, uintptr_t>> Calls;
int32_t EyePosition[3] = {1000, 2000, 3000};
FixMatrix EyeOrientation = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
uintptr_t Recorder(construct* con, ItfcMethod m, uintptr_t arg) {
    Calls.push_back({m, arg});
    if (m == ItfcMethod::VIEWINSIDE)
        SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, EyePosition, &EyeOrientation, 1);
    return 0;
}

TEST_F(SkyFixture, ViewportsAreCreatedWithTheirDefaultsUpToEight) {
    kvtest::MemTrack track;
    FieldOfView = 90.0f;
    ViewPort* vp = CreateViewPort(0, 0, 640, 480);
    EXPECT_EQ(vp->focal[0], 320);
    EXPECT_EQ(vp->centreX, 320);
    EXPECT_EQ(vp->centreY, 240);
    EXPECT_EQ(vp->cameraKind, 255);
    EXPECT_EQ(vp->lod[0], 300000);
    EXPECT_EQ(vp->morph[3], 60000);
    EXPECT_EQ(vp->shadowRange, 150000);
    EXPECT_EQ(vp->boardRadius, 9);
    EXPECT_EQ(vp->vertexStride, 36);
    EXPECT_EQ(vp->colour[0], 4);
    EXPECT_EQ(vp->colour[3], 0);
    // The first distance of each set is raised to the board radius times 66666.67.
    const float nearSet[4] = {100000, 2, 3, 4}, farSet[4] = {700000, 5, 6, 7};
    EXPECT_EQ(SetViewPortLOD(vp, nearSet, farSet), 600000);
    EXPECT_EQ(vp->lod[0], 600000);
    EXPECT_EQ(vp->morph[0], 700000);
    EXPECT_EQ(vp->lod[1], 2);
    SetViewPortReflection(vp, kReflectFull);
    EXPECT_EQ(vp->vertexStride, 56);
    for (int i = 1; i < kMaxViewPorts; ++i) CreateViewPort(10 * i, 10, 10 * i + 100, 110);
    EXPECT_EQ(FatalText([] { CreateViewPort(0, 0, 1, 1); }), "Error(CreateViewPort): Too many ViewPorts");
    // Destroying one moves the last into its slot; activating one clears the others' active byte.
    ViewPort* last = ViewPortTable[kMaxViewPorts - 1];
    DestroyViewPort(ViewPortTable[2]);
    EXPECT_EQ(ViewPortCount, kMaxViewPorts - 1);
    EXPECT_EQ(ViewPortTable[2], last);
    ViewPort outsider{};
    DestroyViewPort(&outsider);
    EXPECT_EQ(ViewPortCount, kMaxViewPorts - 1);
    ActivateViewPort(ViewPortTable[1]);
    ActivateViewPort(ViewPortTable[3]);
    EXPECT_EQ(ViewPortTable[1]->active, 0);
    EXPECT_EQ(ViewPortTable[3]->active, 1);
    EXPECT_EQ(FatalText([] { NamedReflectionType("full"); }),
              "Error(NamedReflectionType): unknown type 'full'");
    EXPECT_EQ(NamedReflectionType("PARTIAL"), 1);
}

TEST_F(SkyFixture, TargetsAttachReleaseAndDetach) {
    kvtest::MemTrack track;
    Calls.clear();
    ViewPort* vp = CreateViewPort(0, 0, 640, 480);
    construct* a = CreateConstruct(0, 0);
    construct* b = CreateConstruct(0, 0);
    a->itfc = b->itfc = Recorder;
    SetViewPortTarget(vp, a, EyePosition, &EyeOrientation, 1);
    EXPECT_EQ(vp->follows, a);
    EXPECT_EQ(a->focusCount, 1);
    EXPECT_EQ(vp->cameraPos.y, 2000);
    EXPECT_EQ(vp->insideView, 1);
    // The same target again only takes the new eye: no release.
    int32_t other[3] = {7, 8, 9};
    SetViewPortTarget(vp, a, other, &EyeOrientation, 0);
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(vp->cameraPos.x, 7);
    EXPECT_EQ(vp->insideView, 0);
    EXPECT_EQ(a->focusCount, 1);
    // Another target: the old one is released and unfocused.
    SetViewPortTarget(vp, b, EyePosition, &EyeOrientation, 1);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].first, ItfcMethod::VIEWRELEASE);
    EXPECT_EQ(Calls[0].second, reinterpret_cast<uintptr_t>(vp));
    EXPECT_EQ(a->focusCount, 0);
    EXPECT_EQ(b->focusCount, 1);
    // Detaching lets go of the target with a fade.
    DetachViewPort(vp);
    EXPECT_EQ(vp->follows, nullptr);
    EXPECT_EQ(vp->fade, -15);
    EXPECT_EQ(vp->cameraKind, 255);
    EXPECT_EQ(b->focusCount, 0);
    FreeConstruct(a);
    FreeConstruct(b);
    ClearQZEvents();
}

TEST_F(SkyFixture, ShakeDiesAwayOverItsDuration) {
    ViewPort* vp = CreateViewPort(0, 0, 640, 480);
    construct* a = CreateConstruct(0, 0);
    a->itfc = Recorder;
    SetViewPortTarget(vp, a, EyePosition, &EyeOrientation, 1);
    StartCameraShake(vp, 0, 50, 2.0f);
    EXPECT_FLOAT_EQ(vp->shakeAmplitude[0], 0.3f);
    EXPECT_FLOAT_EQ(vp->shakeAmplitude[1], 0.66f);
    // Kind 2 is no shake and leaves the running one alone.
    StartCameraShake(vp, 2, 10, 9.0f);
    EXPECT_EQ(vp->shakeDuration, 50);
    int frames = 0;
    while (vp->shakeRemaining > 0) {
        const int32_t left = vp->shakeRemaining;
        UpdateViewPortCamera(vp, 5);
        ++frames;
        EXPECT_NE(0, std::memcmp(&vp->view, &EyeOrientation, sizeof EyeOrientation)) << "frame " << frames << " left " << left;
    }
    EXPECT_EQ(frames, 10);
    // With the shake over the camera takes the eye's orientation again.
    UpdateViewPortCamera(vp, 5);
    EXPECT_EQ(0, std::memcmp(&vp->view, &EyeOrientation, sizeof EyeOrientation));
    // The sound effects shake the main view by distance through their hook.
    MainViewPort = vp;
    SetSoundViewHooks([](int32_t p[3]) {
        p[0] = p[1] = p[2] = 0;
        return true;
    }, ShakeMainViewPort);
    const int32_t nearPoint[3] = {500, 0, 0}, farPoint[3] = {5000, 0, 0};
    CameraShakeByDistance(farPoint, 1, 30, 2.0f, 1000);
    EXPECT_EQ(vp->shakeRemaining, 0);
    CameraShakeByDistance(nearPoint, 1, 30, 2.0f, 1000);
    EXPECT_EQ(vp->shakeRemaining, 30);
    EXPECT_EQ(vp->shakeKind, 1);
    EXPECT_NEAR(vp->shakeAmplitude[0], 0.15f, 1e-4f);
    SetSoundViewHooks(nullptr, nullptr);
    MainViewPort = nullptr;
    DetachViewPort(vp);
    FreeConstruct(a);
    ClearQZEvents();
}

// ---- Weather ---------------------------------------------------------------------------------------

TEST_F(SkyFixture, DropsStartGrowAndStopAtTheTable) {
    kvtest::MemTrack track;
    StartPrecipitation(2);
    EXPECT_EQ(PrecipitationMode, 2);
    EXPECT_EQ(DropCount, 50);
    for (int i = 0; i < DropCount; ++i) {
        EXPECT_GE(DropTable[i]->x, -65532);
        EXPECT_LE(DropTable[i]->x, 65536);
    }
    SetDropCount(20);
    EXPECT_EQ(DropCount, 70);
    EXPECT_EQ(DropMaximum(), 400);
    ReadRulesText("drop_maximum 5000;\n");
    EXPECT_EQ(DropMaximum(), 1500);
    // The table never grows past its 1500 entries.
    SetDropCount(2000);
    EXPECT_EQ(DropCount, 1500);
    SetDropCount(20);
    EXPECT_EQ(DropCount, 1500);
    // Snow drifts down 100 a tick, sideways 0 to 31 in x and z alike.
    const DropCell before = *DropTable[0];
    MoveDrops(2);
    EXPECT_EQ(DropTable[0]->y, before.y - 200);
    EXPECT_EQ(DropTable[0]->x - before.x, DropTable[0]->z - before.z);
    EXPECT_LE(DropTable[0]->x - before.x, 62);
    // Starting rain replaces the field with 50 new drops; rain falls 2000 a tick.
    StartPrecipitation(1);
    EXPECT_EQ(PrecipitationMode, 1);
    EXPECT_EQ(DropCount, 50);
    const int32_t y = DropTable[3]->y;
    MoveDrops(3);
    EXPECT_EQ(DropTable[3]->y, y - 6000);
    // Any stop event stops any precipitation.
    StartPrecipitation(0);
    EXPECT_EQ(PrecipitationMode, 0);
    EXPECT_EQ(DropCount, 0);
    MoveDrops(1);
    StopPrecipitation();
}

TEST_F(SkyFixture, DropsWrapIntoTheCubeAheadOfTheEyeAndSnowStaysGrey) {
    kvtest::MemTrack track;
    kvtest::TerrainScene scene(160, 120, 9);
    StartPrecipitation(2);
    // Eye at the origin looking along +z: the cube's centre is (0, 0, 65536).
    const FixMatrix m = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
    const FixVec eye = {0, 0, 0};
    EyePos = eye;
    *DropTable[0] = {0, 0, 65536 + 65536};       // exactly on the far face: stays
    *DropTable[1] = {0, 0, -1};                  // behind the near face: one side ahead
    *DropTable[2] = {65536 + 131072 * 2, 0, 0};  // two sides off in x
    FixMatrix saved = ViewMatrix;
    ViewMatrix = ProjMatrix = m;
    DrawDropsAlt(&m, &eye, scene.viewport());
    EXPECT_EQ(DropTable[0]->z, 131072);
    EXPECT_EQ(DropTable[1]->z, 131071);
    EXPECT_EQ(DropTable[2]->x, 65536);
    ViewMatrix = ProjMatrix = saved;
    StopPrecipitation();
    PrecipitationMode = 0;
    DropCount = 0;
}

}  // namespace
