// Game sound effects: sound rules to descriptors, the FX table, the FX sounds' placing and the camera
// shake by distance.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Audio.h"
#include "host/Fs.h"
#include "host/Window.h"
#include "platform/SoundFx.h"
#include "support/TempDir.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/Wav.h"
#include "world/Construct.h"

namespace {

int32_t g_camera[3];
bool g_haveCamera = false;
float g_shake = -1;
bool Camera(int32_t out[3]) {
    if (!g_haveCamera) return false;
    memcpy(out, g_camera, sizeof g_camera);
    return true;
}
void Shake(int, int, float strength) { g_shake = strength; }

class SoundFxTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        use_directsound3d = 0;
        dxgl_SetStreamFormat(1, 22050, 16);
        dxgl_SetSoundFolder((tmp.path() + "/snd").c_str());
        dxgl_SetMasterVolume(1.0f, 1.0f);
        dxgl_EnableSound();
        dxgl_InitDS();
        int32_t zero[3] = {0, 0, 0};
        int32_t identity[3][3] = {{32768, 0, 0}, {0, 32768, 0}, {0, 0, 32768}};
        dxgl_SetListener(zero, zero, identity);
        g_haveCamera = false;
        g_shake = -1;
        SetSoundViewHooks(Camera, Shake);
    }
    void TearDown() override {
        dxgl_ReleaseAllSounds();
        FreeRules();
        SetSoundViewHooks(nullptr, nullptr);
    }
    void Rules(const std::string& text) {
        ASSERT_TRUE(datakit::WriteRulesText(tmp / "rules", text + "\nend\n"));
        host::FlushDirectoryCache();
        ReadRules((tmp / "rules").c_str());
    }
    void Wav(const std::string& name) {
        ASSERT_TRUE(datakit::WriteWav(tmp / ("snd/" + name), 1, 22050, std::vector<int16_t>(4000, 1000)));
        host::FlushDirectoryCache();
    }
    kvtest::TempDir tmp;
};

TEST_F(SoundFxTest, SoundRulesFillDescriptors) {
    Rules(
        "Boom 1000.9 11025 22050 \"boom.wav\";\n"
        "Hum 300 \"hum.wav\";\n"
        "Mute 50 8000 9000;\n"
        "Long 10 \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.wav\";\n"
        "Tank_Engine 2000 16000 30000 \"tank.wav\";\n"
        "Heavy_Engine 3000 15000 25000 \"heavy.wav\";\n");
    struct Case {
        const char* name;
        int found;
        const char* file;
        int32_t min, max, low, high;
    };
    const Case cases[] = {
        {"Boom", 1, "boom.wav", 1000, 10009, 11025, 22050},
        {"BOOM", 1, "boom.wav", 1000, 10009, 11025, 22050},  // names ignore case
        {"Hum", 1, "hum.wav", 300, 3000, 0, 0},              // missing frequencies are 0
        {"Mute", 1, "", 50, 500, 8000, 9000},                 // no file name
        {"Long", 1, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 10, 100, 0, 0},
        {"Missing", 0, "", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoundDesc d;
        memset(&d, 0x5A, sizeof d);
        EXPECT_EQ(LookupSound(&d, "%s", c.name), c.found);
        EXPECT_STREQ(d.file, c.file);
        EXPECT_EQ(d.minDistance, c.min);
        EXPECT_EQ(d.maxDistance, c.max);
        EXPECT_EQ(d.lowFrequency, c.low);
        EXPECT_EQ(d.highFrequency, c.high);
        EXPECT_EQ(d.buffer, nullptr);
        if (!c.found) {
            SoundDesc zero{};
            EXPECT_EQ(memcmp(&d, &zero, sizeof d), 0) << "a missing rule zeroes the whole descriptor";
        }
    }
    // A unit's rule by its name, else by its rule prefix; without a unit, the global rules.
    SoundDesc d;
    EXPECT_EQ(LookupRuleSound("Tank", "Heavy", &d, "%s", "Engine"), 1);
    EXPECT_STREQ(d.file, "tank.wav");
    EXPECT_EQ(LookupRuleSound("Scout", "Heavy", &d, "Engine"), 1);
    EXPECT_STREQ(d.file, "heavy.wav");
    EXPECT_EQ(LookupRuleSound("Scout", "Light", &d, "Engine"), 0);
    EXPECT_EQ(LookupRuleSound(nullptr, nullptr, &d, "B%s", "oom"), 1);
    EXPECT_STREQ(d.file, "boom.wav");
}

TEST_F(SoundFxTest, FxTableIsLookedUpInOrderAndAMissingRulePlaysNothing) {
    std::string text;
    for (int i = 0; i < kFXSoundCount; ++i)
        if (i != static_cast<int>(FXSound::WaterHit))
            text += std::string(FXSoundRuleNames[i]) + " " + std::to_string(100 + i) + " \"fx" + std::to_string(i) + ".wav\";\n";
    Rules(text);
    InitFXSounds();
    for (int i = 0; i < kFXSoundCount; ++i) {
        if (i == static_cast<int>(FXSound::WaterHit)) {
            EXPECT_STREQ(FXSounds[i].file, "");
            EXPECT_EQ(FXSounds[i].minDistance, 0);
        } else {
            EXPECT_EQ(FXSounds[i].minDistance, 100 + i) << FXSoundRuleNames[i];
        }
    }
    // The descriptor without a file plays nothing, and opens nothing (not the folder either).
    EXPECT_EQ(PlaySampleFor(FX(FXSound::WaterHit), kSoundOneShot, 0, 0), nullptr);
    EXPECT_EQ(PlaySampleFor(FX(FXSound::WaterHit), kSoundPlain, 0, 0), nullptr);
    EXPECT_EQ(SampleCount, 0);
}

TEST_F(SoundFxTest, FxSoundsPlayAtTheCamera) {
    Rules(
        "FX_TargetLocked 1000 \"beep.wav\";\n"
        "FX_ObjAccomplished 1000 \"done.wav\";\n"
        "FX_ObjFailed 1000 \"failed.wav\";\n"
        "FX_ObjAdded 1000 \"added.wav\";\n"
        "FX_MissionSuccess 1000 \"done.wav\";\n"
        "FX_MissionFailed 1000 \"failed.wav\";\n"
        "FX_Message 1000 \"default.wav\";\n");
    for (const char* f : {"beep.wav", "done.wav", "failed.wav", "added.wav", "100%d %s.wav"}) Wav(f);
    InitFXSounds();

    // No main view: a positional sound is not placed and stays silent.
    PlayTargetLockedSound();
    ASSERT_NE(FX(FXSound::TargetLocked)->buffer, nullptr);
    EXPECT_EQ(host::GetAudioVolume(FX(FXSound::TargetLocked)->buffer->buffer), -10000);
    // With a camera on the listener it is heard at full volume.
    g_haveCamera = true;
    g_camera[0] = g_camera[1] = g_camera[2] = 0;
    PlayTargetLockedSound();
    EXPECT_EQ(host::GetAudioVolume(FX(FXSound::TargetLocked)->buffer->buffer), 0);

    struct Case {
        void (*play)(int);
        int kind;
        bool plays;
    };
    const Case cases[] = {
        {PlayObjectiveSound, 0, true},  {PlayObjectiveSound, 1, true},   {PlayObjectiveSound, 2, true},
        {PlayObjectiveSound, 3, false}, {PlayObjectiveSound, -1, false}, {PlayMissionEndSound, 0, true},
        {PlayMissionEndSound, 1, true}, {PlayMissionEndSound, 2, false},
    };
    for (const Case& c : cases) {
        int before = SampleCount;
        c.play(c.kind);
        EXPECT_EQ(SampleCount - before, c.plays ? 1 : 0) << c.kind;
    }

    // A message file whose name holds '%' is played by that very name, and kept.
    PlayMessageSound("100%d %s.wav");
    SoundDesc* msg = FX(FXSound::Message);
    EXPECT_STREQ(msg->file, "100%d %s.wav");
    ASSERT_NE(msg->buffer, nullptr);
    EXPECT_EQ(msg->buffer->keep, 1);
    EXPECT_EQ(msg->minDistance, 1000);
    // The next message frees the previous one first.
    int before = SampleCount;
    PlayMessageSound("100%d %s.wav");
    EXPECT_EQ(SampleCount, before);
    EXPECT_TRUE(dxgl_IsSoundValid(msg->buffer));
}

TEST_F(SoundFxTest, UnitSoundPlaysAtTheConstruct) {
    Rules("Engine 1000 \"engine.wav\";\n");
    Wav("engine.wav");
    SoundDesc d;
    ASSERT_EQ(LookupSound(&d, "Engine"), 1);
    construct c{};
    c.pos[2] = 2000;  // twice the minimum distance from the listener
    PlayUnitSoundAt(&c, &d);
    ASSERT_NE(d.buffer, nullptr);
    EXPECT_EQ(d.buffer->mode, kSoundPositional);
    EXPECT_EQ(d.buffer->position[2], 2000);
    EXPECT_EQ(host::GetAudioVolume(d.buffer->buffer), -500);
}

TEST_F(SoundFxTest, CameraShakeFadesWithDistance) {
    struct Case {
        bool camera;
        int32_t x;
        float expect;  // -1: no shake
    };
    const Case cases[] = {
        {true, 0, 2.0f}, {true, 500, 1.0f}, {true, 750, 0.5f}, {true, 1000, -1}, {true, 5000, -1}, {false, 0, -1},
    };
    for (const Case& c : cases) {
        g_haveCamera = c.camera;
        g_camera[0] = 0;
        g_camera[1] = g_camera[2] = 0;
        g_shake = -1;
        int32_t point[3] = {c.x, 0, 0};
        CameraShakeByDistance(point, 1, 2, 2.0f, 1000);
        EXPECT_FLOAT_EQ(g_shake, c.expect) << c.x;
    }
}

}  // namespace
