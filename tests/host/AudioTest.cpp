// The mixer on the null device: what a buffer's bytes sound like after volume, pan, frequency and
// looping, read back from the mixed output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/Audio.h"
#include "host/Clock.h"
#include "host/Window.h"

namespace {

constexpr int kRate = 22050;
constexpr int kFramesPerStep = 441;  // one 2-centisecond step of the virtual clock

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);  // null device, virtual clock from 0
        ASSERT_TRUE(host::OpenAudio(2, kRate, 16));
        ASSERT_TRUE(host::IsNullAudio());
        host::CaptureAudioOutput(true);
        host::TakeAudioOutput();
    }
    void TearDown() override {
        host::CaptureAudioOutput(false);
        host::CloseAudio();
    }

    static void Advance(int steps) {
        for (int i = 0; i < steps; ++i) host::AdvanceVirtualClock();
    }

    // A 16-bit buffer holding the given samples (interleaved when stereo).
    static host::AudioBuffer* Buffer16(int channels, int rate, const std::vector<int16_t>& samples,
                                       bool positional = false) {
        int bytes = static_cast<int>(samples.size() * 2);
        host::AudioBuffer* b = host::CreateAudioBuffer(channels, rate, 16, bytes, positional);
        EXPECT_NE(b, nullptr);
        void* p1;
        void* p2;
        int n1, n2;
        EXPECT_TRUE(host::LockAudioBuffer(b, 0, bytes, &p1, &n1, &p2, &n2));
        EXPECT_EQ(n1, bytes);
        auto* out = static_cast<uint8_t*>(p1);
        for (size_t i = 0; i < samples.size(); ++i) {
            out[2 * i] = static_cast<uint8_t>(samples[i]);
            out[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(samples[i]) >> 8);
        }
        host::UnlockAudioBuffer(b);
        return b;
    }

    static double Gain(int hundredthsDb) { return hundredthsDb <= -10000 ? 0.0 : std::pow(10.0, hundredthsDb / 2000.0); }
};

TEST_F(AudioTest, VolumeAndPanScaleEachChannelByItsDecibels) {
    struct Case {
        int volume, pan;
        double left, right;  // expected level relative to the sample, in decibels applied
    };
    const Case cases[] = {
        {0, 0, Gain(0), Gain(0)},
        {-600, 0, Gain(-600), Gain(-600)},          // -6 dB: about half
        {0, 2000, Gain(-2000), Gain(0)},            // to the right: the left ear loses 20 dB
        {0, -1000, Gain(0), Gain(-1000)},           // to the left: the right ear loses 10 dB
        {-600, -1000, Gain(-600), Gain(-1600)},     // both add up
        {-10000, 0, 0.0, 0.0},                      // silence
        {-20000, 0, 0.0, 0.0},                      // clamped to silence
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        std::vector<int16_t> constant(2000, 20000);
        host::AudioBuffer* b = Buffer16(1, kRate, constant);
        host::SetAudioVolume(b, c.volume);
        host::SetAudioPan(b, c.pan);
        host::PlayAudioBuffer(b, true);
        Advance(1);
        std::vector<int16_t> out = host::TakeAudioOutput();
        ASSERT_EQ(out.size(), 2u * kFramesPerStep);
        EXPECT_NEAR(out[100], 20000 * c.left, 1.0);
        EXPECT_NEAR(out[101], 20000 * c.right, 1.0);
        host::ReleaseAudioBuffer(b);
    }
}

TEST_F(AudioTest, StereoKeepsItsChannelsAndBuffersAddUpWithClipping) {
    std::vector<int16_t> stereo;
    for (int i = 0; i < 1000; ++i) {
        stereo.push_back(static_cast<int16_t>(i));
        stereo.push_back(static_cast<int16_t>(-i));
    }
    host::AudioBuffer* a = Buffer16(2, kRate, stereo);
    host::AudioBuffer* loud = Buffer16(1, kRate, std::vector<int16_t>(1000, 30000));
    host::PlayAudioBuffer(a, false);
    Advance(1);
    std::vector<int16_t> out = host::TakeAudioOutput();
    for (int i = 0; i < kFramesPerStep; ++i) {
        ASSERT_EQ(out[2 * i], i);
        ASSERT_EQ(out[2 * i + 1], -i);
    }
    // Two loud buffers together clip at the 16-bit limit rather than wrap.
    host::SetAudioPlayCursor(a, 0);
    host::ReleaseAudioBuffer(a);
    host::AudioBuffer* loud2 = Buffer16(1, kRate, std::vector<int16_t>(1000, 30000));
    host::PlayAudioBuffer(loud, true);
    host::PlayAudioBuffer(loud2, true);
    Advance(1);
    out = host::TakeAudioOutput();
    EXPECT_EQ(out[10], 32767);
    EXPECT_EQ(out[11], 32767);
}

TEST_F(AudioTest, FrequencyResamplesToTheOutputRate) {
    // A rising ramp: played slower it rises more slowly, played faster it rises faster.
    std::vector<int16_t> ramp(4000);
    for (int i = 0; i < 4000; ++i) ramp[i] = static_cast<int16_t>(i * 8);
    struct Case {
        int bufferRate, frequency;
        double framesPerOutput;
    };
    const Case cases[] = {
        {kRate, 0, 1.0},
        {11025, 0, 0.5},       // its own rate, half the output rate
        {kRate, 11025, 0.5},   // slowed down
        {kRate, 44100, 2.0},   // sped up
        {kRate, 33075, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bufferRate << " Hz at " << c.frequency);
        host::AudioBuffer* b = Buffer16(1, c.bufferRate, ramp);
        host::SetAudioFrequency(b, c.frequency);
        EXPECT_EQ(host::GetAudioFrequency(b), c.frequency ? c.frequency : c.bufferRate);
        host::PlayAudioBuffer(b, false);
        Advance(1);
        std::vector<int16_t> out = host::TakeAudioOutput();
        for (int i = 0; i < kFramesPerStep; i += 37) EXPECT_NEAR(out[2 * i], i * c.framesPerOutput * 8, 1.0) << i;
        EXPECT_EQ(host::GetAudioPlayCursor(b), static_cast<int>(kFramesPerStep * c.framesPerOutput) * 2);
        host::ReleaseAudioBuffer(b);
    }
}

TEST_F(AudioTest, LoopingWrapsAndOneShotStopsAtTheEnd) {
    std::vector<int16_t> saw(100);
    for (int i = 0; i < 100; ++i) saw[i] = static_cast<int16_t>(100 * i + 1);
    host::AudioBuffer* looped = Buffer16(1, kRate, saw);
    host::PlayAudioBuffer(looped, true);
    EXPECT_EQ(host::AudioBufferStatus(looped), host::kAudioPlaying | host::kAudioLooping);
    Advance(1);
    std::vector<int16_t> out = host::TakeAudioOutput();
    for (int i = 0; i < kFramesPerStep; ++i) ASSERT_EQ(out[2 * i], saw[i % 100]) << i;
    EXPECT_EQ(host::GetAudioPlayCursor(looped), (kFramesPerStep % 100) * 2);
    host::ReleaseAudioBuffer(looped);

    host::AudioBuffer* once = Buffer16(1, kRate, saw);
    host::SetAudioPlayCursor(once, 50 * 2);
    host::PlayAudioBuffer(once, false);
    Advance(1);
    out = host::TakeAudioOutput();
    for (int i = 0; i < 50; ++i) ASSERT_EQ(out[2 * i], saw[50 + i]);
    for (int i = 50; i < kFramesPerStep; ++i) ASSERT_EQ(out[2 * i], 0);
    EXPECT_EQ(host::AudioBufferStatus(once), 0u);
}

TEST_F(AudioTest, CursorFollowsTheClockAndEightBitIsCentredOn128) {
    host::AudioBuffer* b = host::CreateAudioBuffer(1, kRate, 8, 22050, false);
    void* p1;
    void* p2;
    int n1, n2;
    ASSERT_TRUE(host::LockAudioBuffer(b, 0, 22050, &p1, &n1, &p2, &n2));
    memset(p1, 0x80 + 64, static_cast<size_t>(n1));
    host::PlayAudioBuffer(b, true);
    EXPECT_EQ(host::GetAudioPlayCursor(b), 0);
    Advance(5);
    EXPECT_EQ(host::GetAudioPlayCursor(b), 5 * kFramesPerStep);
    std::vector<int16_t> out = host::TakeAudioOutput();
    EXPECT_EQ(out[0], 64 * 256);
    host::StopAudioBuffer(b);
    Advance(5);
    EXPECT_EQ(host::GetAudioPlayCursor(b), 5 * kFramesPerStep);
}

TEST_F(AudioTest, LockChecksTheRangeAndSplitsAtTheEnd) {
    host::AudioBuffer* b = host::CreateAudioBuffer(2, kRate, 16, 4000, false);
    void* p1;
    void* p2;
    int n1, n2;
    ASSERT_TRUE(host::LockAudioBuffer(b, 3000, 2000, &p1, &n1, &p2, &n2));
    EXPECT_EQ(n1, 1000);
    EXPECT_EQ(n2, 1000);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 3000);
    EXPECT_FALSE(host::LockAudioBuffer(b, 4000, 10, &p1, &n1, &p2, &n2));
    EXPECT_FALSE(host::LockAudioBuffer(b, -1, 10, &p1, &n1, &p2, &n2));
    EXPECT_FALSE(host::LockAudioBuffer(b, 0, 4001, &p1, &n1, &p2, &n2));
    EXPECT_EQ(host::CreateAudioBuffer(3, kRate, 16, 4000, false), nullptr);
    EXPECT_EQ(host::CreateAudioBuffer(1, kRate, 24, 4000, false), nullptr);
    EXPECT_EQ(host::CreateAudioBuffer(1, kRate, 16, 1, false), nullptr);
}

TEST_F(AudioTest, PositionalBuffersFollowDistanceSideAndDeferredCommits) {
    host::AudioListener listener{{0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 1, 1, 1};
    host::SetAudioListener(listener, false);
    struct Case {
        float x, z;
        double left, right;
    };
    const Case cases[] = {
        {0, 100, 1.0, 1.0},                        // at the minimum distance, in front
        {0, 50, 1.0, 1.0},                         // inside it
        {0, 200, 0.5, 0.5},                        // twice the minimum: half
        {0, 1000, 0.0, 0.0},                       // at the maximum: silent
        {100, 0, Gain(-2000), 1.0},                // to the right: the left ear is quieter
        {-100, 0, 1.0, Gain(-2000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.z);
        host::AudioBuffer* b = Buffer16(1, kRate, std::vector<int16_t>(1000, 10000), true);
        host::SetAudio3D(b, {{c.x, 0, c.z}, {0, 0, 0}, 100, 1000, false}, false);
        host::PlayAudioBuffer(b, true);
        Advance(1);
        std::vector<int16_t> out = host::TakeAudioOutput();
        EXPECT_NEAR(out[20], 10000 * c.left, 2.0);
        EXPECT_NEAR(out[21], 10000 * c.right, 2.0);
        host::ReleaseAudioBuffer(b);
    }

    // Deferred settings wait for the commit; moving the listener moves every source.
    host::AudioBuffer* b = Buffer16(1, kRate, std::vector<int16_t>(1000, 10000), true);
    host::SetAudio3D(b, {{0, 0, 100}, {0, 0, 0}, 100, 1000, false}, false);
    host::PlayAudioBuffer(b, true);
    host::SetAudio3D(b, {{0, 0, 2000}, {0, 0, 0}, 100, 1000, false}, true);
    Advance(1);
    EXPECT_NEAR(host::TakeAudioOutput()[20], 10000, 2.0);
    host::CommitAudioDeferred();
    Advance(1);
    EXPECT_EQ(host::TakeAudioOutput()[20], 0);
    listener.position[2] = 1800;
    host::SetAudioListener(listener, true);
    host::CommitAudioDeferred();
    Advance(1);
    EXPECT_NEAR(host::TakeAudioOutput()[20], 5000, 2.0);
}

TEST_F(AudioTest, PulledSourcesAreMixedAfterTheBuffers) {
    static int calls = 0;
    calls = 0;
    auto pull = [](void* user, float* mix, int frames) {
        ++calls;
        float v = *static_cast<float*>(user);
        for (int i = 0; i < frames; ++i) {
            mix[2 * i] += v;
            mix[2 * i + 1] -= v;
        }
    };
    float level = 1234;
    int id = host::AddAudioSource(pull, &level);
    ASSERT_GT(id, 0);
    Advance(1);
    std::vector<int16_t> out = host::TakeAudioOutput();
    EXPECT_EQ(out[0], 1234);
    EXPECT_EQ(out[1], -1234);
    host::RemoveAudioSource(id);
    int before = calls;
    Advance(1);
    EXPECT_EQ(host::TakeAudioOutput()[0], 0);
    EXPECT_EQ(calls, before);
}

}  // namespace
