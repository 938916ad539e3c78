// Ambient sound sources: made from rules, fixed or following the camera on the ground, the table's
// limit and removal, and sounds that end before their source is deleted.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Audio.h"
#include "host/Clock.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "platform/SoundFx.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Wav.h"
#include "world/SceneryFx.h"

namespace {

int32_t g_camera[3] = {0, 0, 0};
bool Camera(int32_t out[3]) {
    memcpy(out, g_camera, sizeof g_camera);
    return true;
}
// A ground that rises to the east: one unit of height per tile.
int32_t Ground(int32_t x, int32_t) { return x / 65536 * 7; }

class SceneryFxTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        MemCheck_init(1024, 1);
        use_directsound3d = 0;
        dxgl_SetStreamFormat(1, 22050, 16);
        dxgl_SetSoundFolder((tmp.path() + "/snd").c_str());
        dxgl_SetMasterVolume(1.0f, 1.0f);
        dxgl_EnableSound();
        dxgl_InitDS();
        SetSoundViewHooks(Camera, nullptr);
        SetSceneryFxGround(Ground);
        g_camera[0] = 3 * 65536;
        g_camera[1] = 1000;
        g_camera[2] = 5 * 65536;
        ASSERT_TRUE(datakit::WriteWav(tmp / "snd/surf.wav", 1, 22050, std::vector<int16_t>(44100, 500)));
        ASSERT_TRUE(datakit::WriteWav(tmp / "snd/blip.wav", 1, 22050, std::vector<int16_t>(2000, 500)));
        ASSERT_TRUE(datakit::WriteRulesText(tmp / "rules",
                                            "Surf 65536 22050 \"surf.wav\" LOOPED;\n"
                                            "Wind 65536 22050 7 \"surf.wav\" LOOPED;\n"
                                            "Mill 65536 22050 10 20 \"surf.wav\" LOOPED;\n"
                                            "Blip 65536 22050 \"blip.wav\";\n"
                                            "end\n"));
        host::FlushDirectoryCache();
        ReadRules((tmp / "rules").c_str());
    }
    void TearDown() override {
        while (SceneryFxCount > 0) DeleteSceneryFx(SceneryFxTable[0]);
        dxgl_ReleaseAllSounds();
        FreeRules();
        SetSoundViewHooks(nullptr, nullptr);
        SetSceneryFxGround(nullptr);
        EXPECT_EQ(MemCheck->count, 0) << "blocks left allocated";
        MemCheck_exit();
    }
    kvtest::TempDir tmp;
};

TEST_F(SceneryFxTest, SourcesAreFixedWithFourValuesElseFollowTheCamera) {
    struct Case {
        const char* rule;
        bool fixed, looped;
        int32_t x, z;
    };
    const Case cases[] = {
        {"Surf", false, true, 3 * 65536, 5 * 65536},  // two values: follows the camera
        {"Wind", false, true, 3 * 65536, 5 * 65536},  // three values: still follows the camera
        {"Mill", true, true, 10 * 65536, 20 * 65536}, // four: fixed at (10, 20) tiles
        {"Blip", false, false, 3 * 65536, 5 * 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        SceneryFx* fx = CreateSceneryFx(c.rule);
        EXPECT_EQ(fx->fixed != 0, c.fixed);
        EXPECT_EQ(fx->looped != 0, c.looped);
        EXPECT_EQ(fx->position[0], c.x);
        EXPECT_EQ(fx->position[2], c.z);
        EXPECT_EQ(fx->position[1], Ground(c.x, c.z)) << "on the lower ground";
        EXPECT_STREQ(fx->sound.file, c.rule == std::string("Blip") ? "blip.wav" : "surf.wav");
        EXPECT_EQ(fx->sound.minDistance, 65536);
        EXPECT_EQ(fx->sound.maxDistance, 655360);
        EXPECT_EQ(fx->sound.lowFrequency, 22050);
        EXPECT_EQ(fx->sound.highFrequency, 22050);
        ASSERT_NE(fx->sound.buffer, nullptr);
        EXPECT_EQ(fx->sound.buffer->loop, c.looped ? 1 : 0);
    }
    // The camera moves: the followers move with it, the fixed source stays.
    g_camera[0] = 8 * 65536;
    UpdateSceneryFxs();
    EXPECT_EQ(NamedSceneryFx("Surf")->position[0], 8 * 65536);
    EXPECT_EQ(NamedSceneryFx("Surf")->position[1], 56);
    EXPECT_EQ(NamedSceneryFx("Mill")->position[0], 10 * 65536);
    // The looped source near the listener is heard after the update.
    int32_t zero[3] = {0, 0, 0};
    int32_t identity[3][3] = {{32768, 0, 0}, {0, 32768, 0}, {0, 0, 32768}};
    int32_t listener[3] = {8 * 65536, 56, 5 * 65536};
    dxgl_SetListener(listener, zero, identity);
    UpdateSceneryFxs();
    dxgl_UpdateSoundVolumes(0);
    EXPECT_TRUE(dxgl_IsSoundPlaying(NamedSceneryFx("Surf")->sound.buffer));
    EXPECT_EQ(host::GetAudioVolume(NamedSceneryFx("Surf")->sound.buffer->buffer), 0);
}

TEST_F(SceneryFxTest, TableLimitRemovalAndExactNames) {
    kvtest::FatalCatcher fatal;
    std::vector<SceneryFx*> made;
    for (int i = 0; i < kMaxSceneryFxs; ++i) made.push_back(CreateSceneryFx(i % 2 ? "Mill" : "Blip"));
    try {
        CreateSceneryFx("Mill");
        FAIL() << "the 33rd source was made";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(CreateSceneryFx): Too many SceneryFxs");
    }
    dxgl_InitDS();  // the fatal path closed the devices
    // Deleting the third moves the last into its place.
    DeleteSceneryFx(made[2]);
    EXPECT_EQ(SceneryFxCount, kMaxSceneryFxs - 1);
    EXPECT_EQ(SceneryFxTable[2], made.back());
    // One not in the table is left alone.
    SceneryFx stray{};
    DeleteSceneryFx(&stray);
    EXPECT_EQ(SceneryFxCount, kMaxSceneryFxs - 1);
    EXPECT_NE(NamedSceneryFx("Mill"), nullptr);
    EXPECT_EQ(NamedSceneryFx("mill"), nullptr);
    try {
        CreateSceneryFx("Nothing");
        FAIL() << "a missing rule made a source";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(NamedRule): Rule 'nothing' not found");
    }
    dxgl_InitDS();
}

TEST_F(SceneryFxTest, SoundThatEndedIsNotReleasedTwice) {
    SceneryFx* fx = CreateSceneryFx("Blip");
    ASSERT_NE(fx->sound.buffer, nullptr);
    // The camera stands on the source: the blip plays out, and its buffer is freed when it stops.
    int32_t zero[3] = {0, 0, 0};
    int32_t identity[3][3] = {{32768, 0, 0}, {0, 32768, 0}, {0, 0, 32768}};
    dxgl_SetListener(fx->position, zero, identity);
    for (int f = 0; f < 100 && SampleCount > 0; ++f) {
        host::AdvanceVirtualClock();
        dxgl_UpdateStreams();
        UpdateSceneryFxs();  // positions a sound that may have been freed: must not touch it
    }
    EXPECT_EQ(SampleCount, 0);
    EXPECT_FALSE(dxgl_IsSoundValid(fx->sound.buffer));
    DeleteSceneryFx(fx);
    EXPECT_EQ(SceneryFxCount, 0);
}

}  // namespace
