// The sound buffers on the null device: streaming by halves, the end of a sound, looping, the master
// fade, the software model of distance and pan, one-shot formats and the buffer limits.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "host/Audio.h"
#include "host/Clock.h"
#include "host/Window.h"
#include "platform/Sound.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Wav.h"

namespace {

constexpr int kRate = 22050;

std::vector<int16_t> Ramp(int frames, int channels = 1) {
    std::vector<int16_t> v(static_cast<size_t>(frames * channels));
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int16_t>((i % 20000) + 1);
    return v;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        MemCheck_init(1024, 1);
        use_directsound3d = 0;
        swap_stereo = 0;
        dxgl_SetStreamFormat(1, kRate, 16);
        dxgl_SetSoundFolder((tmp.path() + "/sound").c_str());
        dxgl_SetMasterVolume(1.0f, 1.0f);
        dxgl_EnableSound();
        dxgl_InitDS();
        ASSERT_EQ(SoundReady, 1);
        ASSERT_EQ(StreamCount, kMaxStreamBuffers);
        int32_t zero[3] = {0, 0, 0};
        int32_t identity[3][3] = {{32768, 0, 0}, {0, 32768, 0}, {0, 0, 32768}};
        dxgl_SetListener(zero, zero, identity);
        host::CaptureAudioOutput(true);
    }
    void TearDown() override {
        dxgl_ReleaseAllSounds();
        EXPECT_EQ(MemCheck->count, 0) << "sound blocks left allocated";
        MemCheck_exit();
    }

    void Wav(const std::string& name, int channels, int rate, const std::vector<int16_t>& samples) {
        ASSERT_TRUE(datakit::WriteWav(tmp / ("sound/" + name), channels, rate, samples));
    }

    // One frame of 2 centiseconds, then the per-frame refill.
    static void Frame() {
        host::AdvanceVirtualClock();
        dxgl_UpdateStreams();
    }

    kvtest::TempDir tmp;
};

TEST_F(SoundTest, ShortSoundEndsWhenTheCursorComesRoundToItsEndHalf) {
    // Half a second of sound in a two-second buffer: the end is written into half 0, half 1 gets
    // silence, and the buffer stops when the cursor passes the high mark with half 0 due (1.25 s).
    Wav("half.wav", 1, kRate, Ramp(kRate / 2));
    for (int mode : {kSoundOneShot, kSoundPlain}) {
        SCOPED_TRACE(mode);
        host::TakeAudioOutput();
        dxgl_SoundStreamBuffer* b = dxgl_PlaySample("half.wav", mode, 0, 0, 0);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->endHalf, 0);
        EXPECT_EQ(b->nextHalf, 1);
        EXPECT_EQ(b->lowMark, 88200 / 8);
        EXPECT_EQ(b->highMark, 88200 / 2 + 88200 / 8);
        int frames = 0;
        while (dxgl_IsSoundValid(b) && dxgl_IsSoundPlaying(b) && frames < 200) {
            Frame();
            ++frames;
        }
        EXPECT_EQ(frames, 63);  // the first frame whose cursor is past 1.25 s
        std::vector<int16_t> out = host::TakeAudioOutput();
        std::vector<int16_t> ramp = Ramp(kRate / 2);
        for (int i = 0; i < kRate / 2; i += 101) ASSERT_EQ(out[2 * i], ramp[i]) << i;
        for (int i = kRate / 2; i < 27000; i += 101) ASSERT_EQ(out[2 * i], 0) << i;
        if (mode == kSoundPlain) {
            EXPECT_EQ(SampleCount, 0) << "a stopped sample that is not kept is freed";
        } else {
            EXPECT_EQ(b->file, nullptr);
            EXPECT_EQ(b->refillCount, 3);
        }
    }
}

TEST_F(SoundTest, LoopingSoundIsRefilledByHalvesWithoutAGap) {
    const int n = 7000;  // shorter than a half: every refill wraps round the data
    Wav("loop.wav", 1, kRate, Ramp(n));
    host::TakeAudioOutput();
    dxgl_SoundStreamBuffer* b = dxgl_PlaySample("loop.wav", kSoundPlain, 1, 1, 0);
    ASSERT_NE(b, nullptr);
    for (int f = 0; f < 250; ++f) Frame();  // five seconds
    std::vector<int16_t> out = host::TakeAudioOutput();
    ASSERT_EQ(out.size(), 2u * 250 * 441);
    std::vector<int16_t> ramp = Ramp(n);
    for (size_t i = 0; i < out.size() / 2; ++i) ASSERT_EQ(out[2 * i], ramp[i % n]) << i;
    // Half 0 at the start, then one half per second.
    EXPECT_EQ(b->refillCount, 1 + 5);
    EXPECT_TRUE(dxgl_IsSoundPlaying(b));
}

TEST_F(SoundTest, MasterVolumeFadesTowardItsTarget) {
    struct Case {
        float current, target;
        int ticks;
        float expect;
    };
    const Case cases[] = {
        {1.0f, 0.0f, 100, 0.5f}, {1.0f, 0.0f, 300, 0.0f}, {0.2f, 1.0f, 40, 0.4f},
        {0.9f, 1.0f, 100, 1.0f}, {0.5f, 0.5f, 10, 0.5f},  {0.3f, 0.0f, 0, 0.3f},
    };
    for (const Case& c : cases) {
        dxgl_SetMasterVolume(c.current, c.target);
        dxgl_UpdateSoundVolumes(c.ticks);
        EXPECT_NEAR(MasterVolumeCurrent, c.expect, 1e-5) << c.current << " -> " << c.target << " in " << c.ticks;
        EXPECT_EQ(dxgl_GetMasterVolume(), c.target);
    }
    // A plain deferred sound follows the faded volume: (1 - v) x -10000.
    Wav("plain.wav", 1, kRate, Ramp(kRate));
    dxgl_SoundStreamBuffer* b = dxgl_PlaySample("plain.wav", kSoundPlain, 1, 1, 0);
    ASSERT_NE(b, nullptr);
    dxgl_SetMasterVolume(1.0f, 0.0f);
    dxgl_UpdateSoundVolumes(50);
    EXPECT_EQ(host::GetAudioVolume(b->buffer), -2500);
    b->volumeFactor = 0.0f;
    dxgl_UpdateSoundVolumes(1);
    EXPECT_FALSE(dxgl_IsSoundPlaying(b)) << "a zero volume factor stops a plain sound";
}

TEST_F(SoundTest, SoftwareModelSetsVolumeAndPanFromDistanceAndSide) {
    Wav("pos.wav", 1, kRate, Ramp(kRate));
    struct Case {
        int32_t x, z;
        int swap;
        bool playing;
        int volume, pan;
    };
    const Case cases[] = {
        {0, 1000, 0, true, 0, 0},          // at the minimum distance: full volume
        {0, 500, 0, true, 0, 0},           // inside it
        {0, 2000, 0, true, -500, 0},       // twice the minimum
        {0, 4000, 0, true, -1500, 0},
        {1000, 0, 0, true, 0, 2048},       // to the right
        {1000, 0, 1, true, 0, -2048},      // swapped stereo
        {-1000, 0, 0, true, 0, -2048},
        {0, 10000, 0, true, -4500, 0},     // at the maximum: still heard
        {0, 10001, 0, false, 0, 0},        // beyond it: stopped
        {8000, 8000, 0, false, 0, 0},      // within it along each axis, but not in distance
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.z << " swap " << c.swap);
        swap_stereo = c.swap;
        SoundDesc desc{};
        snprintf(desc.file, sizeof desc.file, "pos.wav");
        desc.minDistance = 1000;
        desc.maxDistance = 10000;
        dxgl_SoundStreamBuffer* b = PlaySampleFor(&desc, kSoundPositional, 1, 1);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(host::GetAudioVolume(b->buffer), -10000) << "silent until placed";
        int32_t pos[3] = {c.x, 0, c.z}, vel[3] = {0, 0, 0};
        dxgl_SetSoundPosition(&desc, pos, vel, 0, 0);
        dxgl_UpdateSoundVolumes(0);
        EXPECT_EQ(dxgl_IsSoundPlaying(b) != 0, c.playing);
        if (c.playing) {
            EXPECT_EQ(host::GetAudioVolume(b->buffer), c.volume);
            EXPECT_EQ(host::GetAudioPan(b->buffer), c.pan);
        }
        dxgl_FreeSound(&desc.buffer);
        EXPECT_EQ(desc.buffer, nullptr);
    }
    swap_stereo = 0;
}

TEST_F(SoundTest, HardwarePathPlacesSoundsAndListenerThroughTheDevice) {
    dxgl_ReleaseAllSounds();
    use_directsound3d = 1;
    dxgl_InitDS();
    ASSERT_EQ(SoundHardware3D, 1);
    EXPECT_EQ(StreamList[0]->desc.flags, kSoundFlags3D);
    EXPECT_EQ(StreamList[0]->buffer3d, StreamList[0]->buffer);
    Wav("hum.wav", 1, kRate, std::vector<int16_t>(kRate, 10000));
    SoundDesc desc{};
    snprintf(desc.file, sizeof desc.file, "hum.wav");
    desc.minDistance = 1000;
    desc.maxDistance = 10000;
    ASSERT_NE(PlaySampleFor(&desc, kSoundPositional, 1, 1), nullptr);
    // Listener at the origin looking along z; the sound at twice the minimum distance ahead. Both are
    // deferred until the per-tick update commits them.
    int32_t zero[3] = {0, 0, 0};
    int32_t identity[3][3] = {{32768, 0, 0}, {0, 32768, 0}, {0, 0, 32768}};
    int32_t far[3] = {0, 0, 20000};
    int32_t near[3] = {0, 0, 2000};
    dxgl_SetListener(zero, zero, identity);
    dxgl_SetSoundPosition(&desc, far, zero, 0, 0);
    dxgl_UpdateSoundVolumes(0);
    host::TakeAudioOutput();
    Frame();
    EXPECT_EQ(host::TakeAudioOutput()[100], 0) << "beyond the maximum distance";
    dxgl_SetSoundPosition(&desc, near, zero, 0, 0);
    Frame();
    EXPECT_EQ(host::TakeAudioOutput()[100], 0) << "not committed yet";
    dxgl_UpdateSoundVolumes(0);
    Frame();
    std::vector<int16_t> out = host::TakeAudioOutput();
    EXPECT_NEAR(out[100], 5000, 2);
    EXPECT_NEAR(out[101], 5000, 2);
    use_directsound3d = 0;
}

TEST_F(SoundTest, PitchPicksTheFrequencyBetweenTheDescriptorsTwo) {
    Wav("engine.wav", 1, kRate, Ramp(kRate));
    struct Case {
        int low, high, pitch, expect;
    };
    const Case cases[] = {
        {11025, 22050, 0, 11025}, {11025, 22050, 128, 16537}, {11025, 22050, 255, 22006},
        {11025, 22050, 999, 22006}, {0, 22050, 128, kRate},  // no low frequency: the buffer's own
    };
    for (const Case& c : cases) {
        SoundDesc desc{};
        snprintf(desc.file, sizeof desc.file, "engine.wav");
        desc.minDistance = 1000;
        desc.maxDistance = 10000;
        desc.lowFrequency = c.low;
        desc.highFrequency = c.high;
        ASSERT_NE(PlaySampleFor(&desc, kSoundPositional, 0, 0), nullptr);
        int32_t pos[3] = {0, 0, 100}, vel[3] = {0, 0, 0};
        dxgl_SetSoundPosition(&desc, pos, vel, c.pitch, 0);
        EXPECT_EQ(host::GetAudioFrequency(desc.buffer->buffer), c.expect) << c.pitch;
        dxgl_FreeSound(&desc.buffer);
    }
}

TEST_F(SoundTest, BufferLimitsAndRefusals) {
    Wav("click.wav", 1, kRate, Ramp(1000));
    for (int i = 0; i < kMaxStreamBuffers; ++i) ASSERT_NE(dxgl_PlaySample("click.wav", kSoundOneShot, 0, 0, 0), nullptr);
    EXPECT_EQ(dxgl_PlaySample("click.wav", kSoundOneShot, 0, 0, 0), nullptr) << "the 25th one-shot";
    for (int i = 0; i < kMaxSampleBuffers; ++i) ASSERT_NE(dxgl_PlaySample("click.wav", kSoundPlain, 0, 0, 1), nullptr);
    EXPECT_EQ(dxgl_PlaySample("click.wav", kSoundPlain, 0, 0, 1), nullptr) << "the 65th sample";
    EXPECT_EQ(dxgl_PlaySample("click.wav", 3, 0, 0, 0), nullptr) << "unknown mode";
    EXPECT_EQ(dxgl_PlaySample("missing.wav", kSoundPlain, 0, 0, 0), nullptr);

    // A descriptor whose rule was missing has no file name: nothing is opened, not even the folder.
    SoundDesc none{};
    EXPECT_EQ(PlaySampleFor(&none, kSoundOneShot, 0, 0), nullptr);
    EXPECT_EQ(dxgl_PlaySample("", kSoundPlain, 0, 0, 0), nullptr);

    dxgl_DisableSound();
    dxgl_ReleaseAllSounds();
    dxgl_EnableSound();
    EXPECT_EQ(dxgl_PlaySample("click.wav", kSoundPlain, 0, 0, 0), nullptr) << "no device";
    dxgl_InitDS();
    dxgl_DisableSound();
    EXPECT_EQ(dxgl_PlaySample("click.wav", kSoundPlain, 0, 0, 0), nullptr) << "sound disabled";
    dxgl_EnableSound();
}

TEST_F(SoundTest, LoopingSoundMustBeDeferred) {
    kvtest::FatalCatcher fatal;
    Wav("loop.wav", 1, kRate, Ramp(1000));
    try {
        dxgl_PlaySample("loop.wav", kSoundPlain, 1, 0, 0);
        FAIL() << "not fatal";
    } catch (const kvtest::FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(dxgl_PlaySample): looping sound must be 'deferred'");
    }
    EXPECT_STREQ(host::LastDialogText(),
                 "Karvonel has been terminated prematurely. Please consult the game manual. The engine reported:\n"
                 "\"Error(dxgl_PlaySample): looping sound must be 'deferred'\"");
    dxgl_InitDS();  // the fatal path closed the devices
}

TEST_F(SoundTest, OneShotInAnotherFormatIsConvertedOrRefused) {
    // Stereo 8-bit at 11025 Hz into the mono 16-bit 22050 Hz one-shot buffers.
    datakit::WavFormat f;
    f.channels = 2;
    f.rate = 11025;
    f.bits = 8;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 11025; ++i) {
        bytes.push_back(0x80 + 40);  // left
        bytes.push_back(0x80 - 20);  // right
    }
    ASSERT_TRUE(datakit::WriteFile(tmp / "sound/stereo8.wav", datakit::BuildWav(f, bytes)));
    host::TakeAudioOutput();
    dxgl_SoundStreamBuffer* b = dxgl_PlaySample("stereo8.wav", kSoundOneShot, 0, 0, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(host::GetAudioFrequency(b->buffer), 11025);
    for (int i = 0; i < 10; ++i) Frame();
    std::vector<int16_t> out = host::TakeAudioOutput();
    EXPECT_EQ(out[200], (40 - 20) * 256 / 2);
    EXPECT_EQ(dxgl_GetPlayPosition(b), 10 * 441 / 2 * 2) << "half speed in the buffer";

    kvtest::DebugCapture debug;
    datakit::WavFormat adpcm;
    adpcm.formatTag = 2;
    adpcm.bits = 4;
    adpcm.extra = {0, 0};
    ASSERT_TRUE(datakit::WriteFile(tmp / "sound/adpcm.wav", datakit::BuildWav(adpcm, std::vector<uint8_t>(100, 7))));
    EXPECT_EQ(dxgl_PlaySample("adpcm.wav", kSoundOneShot, 0, 0, 0), nullptr);
    EXPECT_NE(debug.text().find("'adpcm.wav' is not 8- or 16-bit PCM"), std::string::npos);
    EXPECT_EQ(dxgl_PlaySample("adpcm.wav", kSoundPlain, 0, 0, 0), nullptr);
}

// A descriptor reaches only the sound it played. The one-shot streaming buffers are reused in place, and
// a freed record's address can be handed out again by the heap (which the sanitizer's quarantine hides):
// in both cases the old descriptor must neither move nor free the newer sound.
TEST_F(SoundTest, AnOldDescriptorNeverReachesANewerSoundAtTheSameAddress) {
    Wav("a.wav", 1, kRate, Ramp(kRate));
    SoundDesc first{}, second{};
    snprintf(first.file, sizeof first.file, "a.wav");
    snprintf(second.file, sizeof second.file, "a.wav");
    first.lowFrequency = second.lowFrequency = 11025;
    first.highFrequency = second.highFrequency = 44100;

    // The same streaming buffer, handed out again once the first one-shot stopped.
    ASSERT_NE(PlaySampleFor(&first, kSoundOneShot, 0, 0), nullptr);
    EXPECT_EQ(dxgl_DescSound(&first), first.buffer);
    host::StopAudioBuffer(first.buffer->buffer);
    ASSERT_EQ(PlaySampleFor(&second, kSoundOneShot, 0, 0), first.buffer);
    EXPECT_EQ(dxgl_DescSound(&first), nullptr);
    EXPECT_EQ(dxgl_DescSound(&second), second.buffer);
    const int frequency = host::GetAudioFrequency(second.buffer->buffer);
    int32_t pos[3] = {0, 0, 100}, vel[3] = {0, 0, 0};
    dxgl_SetSoundPosition(&first, pos, vel, 255, 0);
    EXPECT_EQ(host::GetAudioFrequency(second.buffer->buffer), frequency) << "moved through the old descriptor";
    EXPECT_EQ(second.buffer->position[2], static_cast<int32_t>(0x80000000u));  // still unset

    // A plain sound freed, and a newer one at its address: the old descriptor's handle is stale.
    ASSERT_NE(PlaySampleFor(&first, kSoundPlain, 0, 0), nullptr);
    dxgl_FreeSound(&first.buffer);
    ASSERT_NE(PlaySampleFor(&second, kSoundPlain, 0, 0), nullptr);
    first.buffer = second.buffer;  // what the heap may do by itself
    EXPECT_EQ(dxgl_DescSound(&first), nullptr);
    EXPECT_EQ(dxgl_DescSound(&second), second.buffer);
    dxgl_SetSoundPosition(&first, pos, vel, 255, 0);
    EXPECT_EQ(second.buffer->position[2], static_cast<int32_t>(0x80000000u));  // still unset
}

TEST_F(SoundTest, PauseStopsEverythingAndFreesWhatIsNotKept) {
    Wav("a.wav", 1, kRate, Ramp(kRate));
    dxgl_SoundStreamBuffer* once = dxgl_PlaySample("a.wav", kSoundOneShot, 0, 0, 0);
    dxgl_SoundStreamBuffer* kept = dxgl_PlaySample("a.wav", kSoundPlain, 0, 0, 1);
    dxgl_SoundStreamBuffer* gone = dxgl_PlaySample("a.wav", kSoundPlain, 0, 0, 0);
    ASSERT_TRUE(once && kept && gone);
    dxgl_PauseAllSounds();
    EXPECT_FALSE(dxgl_IsSoundPlaying(once));
    EXPECT_EQ(once->file, nullptr);
    EXPECT_TRUE(dxgl_IsSoundValid(kept));
    EXPECT_FALSE(dxgl_IsSoundPlaying(kept));
    EXPECT_FALSE(dxgl_IsSoundValid(gone));
    EXPECT_EQ(SampleCount, 1);
    // Freeing a stale pointer again does nothing.
    dxgl_SoundStreamBuffer* stale = gone;
    dxgl_FreeSound(&stale);
    EXPECT_EQ(stale, nullptr);
    EXPECT_EQ(SampleCount, 1);
}

}  // namespace
