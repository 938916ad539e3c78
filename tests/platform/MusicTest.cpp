// Music and movies on the null device and the game clock: looping, volume, replacing a piece, movies
// that end by themselves, movies stopped by a scripted key, and files that cannot be played.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "host/Audio.h"
#include "host/Clock.h"
#include "host/InputScript.h"
#include "host/Media.h"
#include "host/Window.h"
#include "platform/Music.h"
#include "support/Fatal.h"
#include "support/TempDir.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Media.h"

namespace {

constexpr int kRate = 22050;

std::vector<int16_t> Tone(double seconds, double hz, int amplitude) {
    int n = static_cast<int>(seconds * kRate);
    std::vector<int16_t> v(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        auto s = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * i / kRate));
        v[2 * i] = s;
        v[2 * i + 1] = s;
    }
    return v;
}

void Gradient(int frame, int w, int h, uint8_t* rgb) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rgb + 3 * (y * w + x);
            p[0] = static_cast<uint8_t>(x * 4 + frame);
            p[1] = static_cast<uint8_t>(y * 4);
            p[2] = 128;
        }
}

// Root mean square of the left channel over [from, to) seconds of captured output.
double Rms(const std::vector<int16_t>& out, double from, double to) {
    size_t a = static_cast<size_t>(from * kRate), b = std::min(out.size() / 2, static_cast<size_t>(to * kRate));
    if (b <= a) return 0;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += static_cast<double>(out[2 * i]) * out[2 * i];
    return std::sqrt(sum / static_cast<double>(b - a));
}

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetHeadless(true);
        use_bgdmusic = 1;
        music_volume = 1.0f;
        host::CaptureAudioOutput(true);
        host::TakeAudioOutput();
        InitDirectShow();
    }
    void TearDown() override {
        ReleaseDirectShow();
        host::CaptureAudioOutput(false);
        host::ClearInputScript();
        host::SetMovieKeyHandler(nullptr);
    }
    // Frames of 2 centiseconds with the per-frame music handling.
    static void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            host::AdvanceVirtualClock();
            HandleBgdMusic();
        }
    }
    std::string Music(const std::string& name, double seconds, int amplitude) {
        std::string path = tmp / name;
        EXPECT_TRUE(datakit::EncodeMusic(path, Tone(seconds, 441, amplitude), kRate));
        return path;
    }
    std::string Movie(const std::string& name, int frames, bool sound) {
        std::string path = tmp / name;
        EXPECT_TRUE(datakit::EncodeMovie(path, 64, 48, 25, frames, Gradient,
                                         sound ? Tone(frames / 25.0, 441, 8000) : std::vector<int16_t>(), 44100));
        return path;
    }
    kvtest::TempDir tmp;
};

TEST_F(MusicTest, PieceLoopsOnlyWhenAsked) {
    std::string path = Music("piece.mp2", 0.5, 10000);
    for (int loop : {1, 0}) {
        SCOPED_TRACE(loop);
        OpenBgdMusic(path.c_str(), loop);
        ASSERT_EQ(MusicPlaying, 1);
        EXPECT_EQ(MusicLoop, loop);
        host::TakeAudioOutput();
        Frames(100);  // two seconds: four times the piece
        std::vector<int16_t> out = host::TakeAudioOutput();
        ASSERT_GE(out.size(), 2u * 2 * kRate - 2000);
        EXPECT_GT(Rms(out, 0.1, 0.4), 5000);
        for (double t = 0.7; t < 1.9; t += 0.2) {
            if (loop)
                EXPECT_GT(Rms(out, t, t + 0.2), 4000) << "silent at " << t;
            else
                EXPECT_EQ(Rms(out, t, t + 0.2), 0) << "heard at " << t;
        }
        StopBgdMusic();
        EXPECT_EQ(MusicPlaying, 0);
        host::TakeAudioOutput();
        Frames(10);
        EXPECT_EQ(Rms(host::TakeAudioOutput(), 0, 0.2), 0) << "stopped";
    }
}

TEST_F(MusicTest, VolumeFollowsTheDecibelFormula) {
    std::string path = Music("level.mp2", 2.0, 10000);
    OpenBgdMusic(path.c_str(), 1);
    Frames(10);
    host::TakeAudioOutput();
    Frames(25);
    double full = Rms(host::TakeAudioOutput(), 0, 0.5);
    ASSERT_GT(full, 5000);
    struct Case {
        float v;
        double ratio;  // amplitude relative to v = 1
    };
    const Case cases[] = {{0.5f, std::pow(10.0, -2000 / 2000.0)},
                          {0.75f, std::pow(10.0, -1000 / 2000.0)},
                          {0.0f, 0.0},
                          {1.0f, 1.0}};
    for (const Case& c : cases) {
        SetBgdMusicVolume(c.v);
        Frames(25);
        EXPECT_NEAR(Rms(host::TakeAudioOutput(), 0, 0.5) / full, c.ratio, 0.02) << c.v;
    }
    // Opening applies the configured volume.
    music_volume = 0.5f;
    OpenBgdMusic(path.c_str(), 1);
    host::TakeAudioOutput();
    Frames(25);
    EXPECT_NEAR(Rms(host::TakeAudioOutput(), 0, 0.5) / full, 0.1, 0.02);
}

TEST_F(MusicTest, SecondPieceReplacesTheFirstFromItsStart) {
    std::string loud = Music("loud.mp2", 3.0, 12000);
    std::string quiet = Music("quiet.mp2", 3.0, 3000);
    OpenBgdMusic(loud.c_str(), 1);
    Frames(20);
    OpenBgdMusic(quiet.c_str(), 1);
    EXPECT_STREQ(MusicPath, quiet.c_str());
    host::TakeAudioOutput();
    Frames(25);
    std::vector<int16_t> out = host::TakeAudioOutput();
    EXPECT_NEAR(Rms(out, 0.05, 0.5), 3000 / std::sqrt(2.0), 300);
}

TEST_F(MusicTest, FilesThatCannotBePlayed) {
    {
        kvtest::FatalCatcher fatal;
        try {
            OpenBgdMusic((tmp / "missing.mp2").c_str(), 1);
            FAIL() << "not fatal";
        } catch (const kvtest::FatalExit& e) {
            EXPECT_STREQ(e.what(), "Error (OpenBgdMusic): Failed to add source filter");
        }
    }
    InitDirectShow();  // the fatal path closed the devices
    // A file without sound switches background music off.
    std::string silent = Movie("silent.mpg", 10, false);
    OpenBgdMusic(silent.c_str(), 1);
    EXPECT_EQ(use_bgdmusic, 0);
    EXPECT_EQ(MusicPlaying, 0);
}

TEST_F(MusicTest, MovieEndsByItself) {
    struct Case {
        const char* name;
        int frames;
        bool sound;
        bool truncate;
        double minSeconds, maxSeconds;
    };
    const Case cases[] = {
        {"with sound", 25, true, false, 0.95, 1.25},
        {"without sound", 25, false, false, 0.95, 1.25},
        {"cut short", 50, false, true, 0.2, 1.9},  // ends where its data ends
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Movie(std::string("movie_") + std::to_string(c.frames) + (c.sound ? "s" : "") + ".mpg",
                                 c.frames, c.sound);
        if (c.truncate) {
            std::string bytes = tmp.Read(path.substr(tmp.path().size() + 1));
            tmp.Write("cut.mpg", bytes.substr(0, bytes.size() / 2));
            path = tmp / "cut.mpg";
        }
        double start = host::NowCentiseconds();
        PlayVideo(path.c_str());
        double seconds = (host::NowCentiseconds() - start) / 100.0;
        EXPECT_GE(seconds, c.minSeconds);
        EXPECT_LE(seconds, c.maxSeconds);
        EXPECT_EQ(VideoPlaying, 0);
    }
    // Not a movie at all: returns at once.
    tmp.Write("text.mpg", "this is not a movie");
    double start = host::NowCentiseconds();
    PlayVideo((tmp / "text.mpg").c_str());
    EXPECT_EQ(host::NowCentiseconds(), start);
}

// The window's key handling of the program: Return, Escape and Space stop a playing movie.
void MovieKey(int vk) {
    if (VideoPlaying && (vk == 13 || vk == 27 || vk == 32)) VideoContinue = 0;
}

TEST_F(MusicTest, ScriptedKeyStopsTheMovie) {
    host::SetMovieKeyHandler(MovieKey);
    std::string path = Movie("long.mpg", 100, true);  // four seconds
    struct Case {
        const char* script;
        double maxSeconds;
    };
    const Case cases[] = {
        {"0 down 1\n", 0.15},   // Escape: within one wait
        {"0 down 28\n", 0.15},  // Return
        {"0 down 57\n", 0.15},  // Space
        {"0 down 30\n", 4.3},   // another key does not stop it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        tmp.Write("keys.txt", c.script);
        std::string error;
        ASSERT_TRUE(host::LoadInputScript((tmp / "keys.txt").c_str(), &error)) << error;
        double start = host::NowCentiseconds();
        PlayVideo(path.c_str());
        double seconds = (host::NowCentiseconds() - start) / 100.0;
        EXPECT_LE(seconds, c.maxSeconds);
        EXPECT_GE(seconds, c.maxSeconds > 1 ? 3.9 : 0.05);
        host::ClearInputScript();
    }
    // A key pressed in the window reaches the same handler.
    VideoPlaying = 1;
    VideoContinue = 1;
    host::PressMovieKey(27);
    EXPECT_EQ(VideoContinue, 0);
    VideoPlaying = 0;
}

}  // namespace
