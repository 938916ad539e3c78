// The demo tree's sounds, music and movies, all synthesized here: short tones, noise bursts and engine
// hums as 16-bit mono wave files at 22050 Hz (the one-shot buffer format), three short music loops as
// MPEG audio layer II, and the intro and closing movies as MPEG-1 with layer II sound. Their rules are
// in data/app/rules.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Media.h"
#include "tools/datakit/Wav.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// A deterministic noise source (the same bytes on every build).
struct Noise {
    uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    }
};

using Signal = std::vector<double>;  // -1..1 at kRate

Signal Silence(double seconds) { return Signal(static_cast<size_t>(seconds * kRate), 0.0); }

// A tone gliding from f0 to f1 with a short attack and an exponential decay.
Signal Tone(double seconds, double f0, double f1, double decay, double harmonics = 0.0) {
    Signal s = Silence(seconds);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double f = f0 + (f1 - f0) * t / seconds;
        phase += 2 * kPi * f / kRate;
        double env = std::min(1.0, t * 200.0) * std::exp(-decay * t);
        s[i] = env * (std::sin(phase) + harmonics * std::sin(3 * phase) / 3);
    }
    return s;
}

// Noise through a one-pole low-pass (smoothing 0..1: higher is darker), with a decay.
Signal Burst(double seconds, double smoothing, double decay, uint32_t seed) {
    Signal s = Silence(seconds);
    Noise n{seed};
    double y = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        y = y * smoothing + n.Next() * (1 - smoothing);
        s[i] = y * std::exp(-decay * t) * std::min(1.0, t * 500.0) / std::sqrt(1 - smoothing);
    }
    return s;
}

// An engine: a pulse train at `hz` with its harmonics and a little rumble; exactly whole cycles long
// so that it loops without a click.
Signal Hum(double hz, int cycles, double rumble, uint32_t seed) {
    size_t n = static_cast<size_t>(std::lround(cycles * kRate / hz));
    Signal s(n);
    Noise noise{seed};
    double y = 0;
    for (size_t i = 0; i < n; ++i) {
        double ph = 2 * kPi * static_cast<double>(i) * cycles / static_cast<double>(n);
        y = y * 0.97 + noise.Next() * 0.03;
        s[i] = 0.5 * std::sin(ph) + 0.25 * std::sin(2 * ph) + 0.12 * std::sin(3 * ph) + rumble * y * 8;
    }
    return s;
}

Signal Then(Signal a, const Signal& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Signal Mix(Signal a, const Signal& b) {
    if (b.size() > a.size()) a.resize(b.size(), 0.0);
    for (size_t i = 0; i < b.size(); ++i) a[i] += b[i];
    return a;
}

std::vector<int16_t> Pcm(const Signal& s, double level) {
    std::vector<int16_t> out(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(std::clamp(s[i] * level, -1.0, 1.0) * 32767));
    return out;
}

bool Wave(const Context& ctx, const std::string& name, const Signal& s, double level = 0.6) {
    return datakit::WriteWav(ctx.Path("Sounds/" + name), 1, kRate, Pcm(s, level));
}

// A voice over the radio: syllables of a glottal buzz shaped by two vowel resonances, with a breath of
// noise before some of them, pauses between words, the radio's narrow band and hiss, framed by the
// squelch's clicks. It sounds like speech without saying anything.
Signal RadioSpeech(double seconds, uint32_t seed) {
    Signal s = Silence(seconds);
    Noise n{seed};
    auto uniform = [&n](double lo, double hi) { return lo + (hi - lo) * (n.Next() * 0.5 + 0.5); };
    static const double kVowels[5][2] = {{730, 1090}, {530, 1840}, {270, 2290}, {570, 840}, {300, 870}};
    auto resonance = [](double f, double centre, double width) {
        const double d = (f - centre) / width;
        return 1.0 / (1.0 + d * d);
    };
    double t = 0.2;
    int syllable = 0;
    while (t < seconds - 0.35) {
        const double length = uniform(0.09, 0.22);
        const double* vowel = kVowels[static_cast<int>(uniform(0, 4.999))];
        const double pitch = 150.0 - 20.0 * (t / seconds) + uniform(-12, 12);
        const bool breath = n.Next() > 0.0;
        const size_t first = static_cast<size_t>(t * kRate);
        const size_t count = static_cast<size_t>(length * kRate);
        double phase = 0;
        for (size_t i = 0; i < count && first + i < s.size(); ++i) {
            const double u = static_cast<double>(i) / kRate;
            const double env = std::min(1.0, u / 0.015) * std::min(1.0, (length - u) / 0.03);
            phase += 2 * kPi * pitch / kRate;
            double v = 0;
            for (int k = 1; k <= 24; ++k) {
                const double f = k * pitch;
                v += std::sin(k * phase) / std::sqrt(k) *
                     (resonance(f, vowel[0], 90) + 0.6 * resonance(f, vowel[1], 120));
            }
            if (breath && u < 0.03) v += n.Next() * 1.5 * (1 - u / 0.03);
            s[first + i] += 0.35 * v * env;
        }
        t += length + uniform(0.02, 0.06);
        if (++syllable % 5 == 0) t += uniform(0.15, 0.3);  // between words
    }
    // The radio: only the middle of the band passes, with a little hiss and some clipping.
    double low = 0, lower = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        low += (s[i] - low) * 0.5;
        lower += (low - lower) * 0.06;
        s[i] = std::tanh(2.0 * (low - lower)) * 0.8 + n.Next() * 0.02;
    }
    const Signal squelch = Burst(0.05, 0.1, 60, seed + 1);
    for (size_t i = 0; i < squelch.size(); ++i) {
        s[i] += squelch[i] * 0.5;
        s[s.size() - squelch.size() + i] += squelch[i] * 0.5;
    }
    return s;
}

// A short loop of notes (MIDI numbers, 0 a rest) over a bass line, in stereo.
std::vector<int16_t> Piece(const std::vector<int>& melody, const std::vector<int>& bass, double beat) {
    size_t beatFrames = static_cast<size_t>(beat * kRate);
    size_t total = beatFrames * melody.size();
    std::vector<int16_t> out(total * 2);
    auto hz = [](int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); };
    for (size_t i = 0; i < total; ++i) {
        size_t b = i / beatFrames;
        double t = static_cast<double>(i % beatFrames) / kRate;
        double env = std::exp(-3.0 * t) * std::min(1.0, t * 100.0);
        double m = melody[b] ? std::sin(2 * kPi * hz(melody[b]) * static_cast<double>(i) / kRate) * env : 0.0;
        int bn = bass[b % bass.size()];
        double ph = hz(bn) * static_cast<double>(i) / kRate;
        double square = (ph - std::floor(ph)) < 0.5 ? 1.0 : -1.0;
        double bs = square * 0.25 * std::min(1.0, t * 50.0);
        // Fade in and out over the first and last few milliseconds so the loop point is quiet.
        double edge = std::min(1.0, std::min(static_cast<double>(i), static_cast<double>(total - i)) / 200.0);
        out[2 * i] = static_cast<int16_t>(std::lround((m * 0.45 + bs * 0.8) * edge * 20000));
        out[2 * i + 1] = static_cast<int16_t>(std::lround((m * 0.8 + bs * 0.45) * edge * 20000));
    }
    return out;
}

// Movie pictures: a dark sky gradient, a horizon, and a bright bar sweeping across, fading in and out.
void MoviePicture(int frame, int frames, int hue, int w, int h, uint8_t* rgb) {
    double fade = std::min(1.0, std::min(frame, frames - 1 - frame) / 8.0);
    int bar = (frame * w) / frames;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rgb + 3 * (y * w + x);
            double r, g, b;
            if (y < h * 2 / 3) {
                double v = static_cast<double>(y) / h;
                r = 20 + 60 * v;
                g = 30 + 80 * v;
                b = 90 + 120 * v;
            } else {
                r = 60 + hue;
                g = 70;
                b = 40;
            }
            if (std::abs(x - bar) < 6) r = g = b = 240;
            p[0] = static_cast<uint8_t>(std::clamp(r * fade, 0.0, 255.0));
            p[1] = static_cast<uint8_t>(std::clamp(g * fade, 0.0, 255.0));
            p[2] = static_cast<uint8_t>(std::clamp(b * fade, 0.0, 255.0));
        }
    }
}

bool Movie(const Context& ctx, const std::string& name, int hue, const std::vector<int16_t>& sound22k) {
    constexpr int kFrames = 50;  // two seconds at 25 pictures per second
    // The sound track at 44100 Hz: each frame of the 22050 Hz piece twice.
    std::vector<int16_t> sound;
    size_t frames = std::min(sound22k.size() / 2, static_cast<size_t>(2 * kRate));
    for (size_t i = 0; i < frames; ++i)
        for (int k = 0; k < 2; ++k) {
            sound.push_back(sound22k[2 * i]);
            sound.push_back(sound22k[2 * i + 1]);
        }
    return datakit::EncodeMovie(
        ctx.Path("Movies/" + name), 320, 240, 25, kFrames,
        [hue](int f, int w, int h, uint8_t* rgb) { MoviePicture(f, kFrames, hue, w, h, rgb); }, sound, 44100);
}

}  // namespace

bool BuildSound(const Context& ctx) {
    if (!datakit::MakeDirs(ctx.Path("Sounds")) || !datakit::MakeDirs(ctx.Path("Movies"))) return false;
    const Signal click = Burst(0.03, 0.2, 150, 11);
    bool ok = Wave(ctx, "click.wav", click, 0.5) &&
              Wave(ctx, "shieldhit.wav", Mix(Tone(0.4, 1800, 1500, 9, 0.5), Burst(0.1, 0.3, 40, 12))) &&
              Wave(ctx, "structhit.wav", Burst(0.5, 0.93, 8, 13), 0.9) &&
              Wave(ctx, "waterhit.wav", Burst(0.7, 0.6, 6, 14), 0.5) &&
              Wave(ctx, "missilewarn.wav",
                   Then(Then(Tone(0.12, 1400, 1400, 2), Silence(0.08)), Then(Tone(0.12, 1400, 1400, 2), Silence(0.08)))) &&
              Wave(ctx, "focuswarn.wav", Then(Tone(0.1, 900, 900, 2), Tone(0.1, 700, 700, 2))) &&
              Wave(ctx, "locktarget.wav", Tone(0.25, 600, 1200, 3)) &&
              Wave(ctx, "targetlocked.wav", Then(Then(Tone(0.08, 1600, 1600, 2), Silence(0.05)), Tone(0.08, 1600, 1600, 2))) &&
              Wave(ctx, "cannotfire.wav", Tone(0.25, 110, 100, 4, 1.0)) &&
              Wave(ctx, "actionfailed.wav", Then(Tone(0.15, 500, 480, 3), Tone(0.2, 350, 330, 4))) &&
              Wave(ctx, "radiation.wav", Burst(0.6, 0.0, 2, 15), 0.25) &&
              Wave(ctx, "explosion.wav", Mix(Burst(1.4, 0.97, 3, 16), Tone(0.8, 70, 40, 5)), 1.0) &&
              Wave(ctx, "autopiloton.wav", Then(Tone(0.12, 660, 660, 3), Tone(0.18, 990, 990, 4))) &&
              Wave(ctx, "autopilotoff.wav", Then(Tone(0.12, 990, 990, 3), Tone(0.18, 660, 660, 4))) &&
              Wave(ctx, "ammodepleted.wav", Then(Then(click, Silence(0.1)), click), 0.5) &&
              Wave(ctx, "objdone.wav", Mix(Mix(Tone(0.6, 523, 523, 3), Tone(0.6, 659, 659, 3)), Tone(0.6, 784, 784, 3)), 0.3) &&
              Wave(ctx, "objfailed.wav", Mix(Tone(0.6, 392, 370, 3), Tone(0.6, 466, 440, 3)), 0.4) &&
              Wave(ctx, "objadded.wav", Tone(0.2, 880, 880, 6)) &&
              Wave(ctx, "success.wav",
                   Then(Then(Tone(0.18, 523, 523, 3), Tone(0.18, 659, 659, 3)), Tone(0.5, 784, 784, 2)), 0.5) &&
              Wave(ctx, "failed.wav", Then(Tone(0.3, 330, 320, 2), Tone(0.6, 220, 200, 2)), 0.5) &&
              Wave(ctx, "incoming.wav", Then(Then(Tone(0.07, 1200, 1200, 1), Silence(0.05)), Tone(0.07, 1500, 1500, 1))) &&
              Wave(ctx, "message.wav", Tone(0.15, 1000, 1000, 8)) &&
              Wave(ctx, "engine_low.wav", Hum(55, 110, 0.4, 17), 0.5) &&
              Wave(ctx, "engine_jet.wav", Mix(Hum(120, 240, 0.2, 18), Burst(2.0, 0.4, 0, 19)), 0.3) &&
              Wave(ctx, "engine_hover.wav", Hum(80, 160, 0.6, 20), 0.5) &&
              Wave(ctx, "surf.wav", Burst(3.0, 0.9, 0, 21), 0.4) && Wave(ctx, "wind.wav", Burst(3.0, 0.98, 0, 22), 0.6);
    if (!ok) return false;
    // Guns and the strike of their rounds: a short crack, a heavy boom, a ricochet and a dull thud.
    ok = Wave(ctx, "gunfire.wav", Burst(0.12, 0.5, 60, 41), 0.7) &&
         Wave(ctx, "cannon.wav", Mix(Burst(0.5, 0.9, 10, 42), Tone(0.3, 90, 50, 5)), 0.9) &&
         Wave(ctx, "ricochet.wav", Mix(Burst(0.06, 0.2, 80, 43), Tone(0.25, 2600, 1400, 4, 0.4)), 0.5) &&
         Wave(ctx, "thud.wav", Mix(Burst(0.3, 0.8, 12, 44), Tone(0.2, 120, 60, 5)), 0.7);
    if (!ok) return false;
    // Missiles and rockets: the motor catching, the looping roar of their flight and their burst.
    ok = Wave(ctx, "ignition.wav", Mix(Burst(0.3, 0.7, 30, 45), Tone(0.3, 300, 900, 6, 0.3)), 0.6) &&
         Wave(ctx, "rocketfly.wav", Mix(Burst(1.0, 0.5, 0, 46), Hum(140, 280, 0.3, 47)), 0.4) &&
         Wave(ctx, "burst.wav", Mix(Burst(1.2, 0.96, 4, 48), Tone(0.6, 90, 45, 5)), 1.0);
    if (!ok) return false;
    // Tracked vehicles: a deep engine with the clatter of the tracks, and the whine of a turret's or a
    // rocket pod's motor.
    ok = Wave(ctx, "engine_tracks.wav", Mix(Hum(40, 80, 0.5, 49), Burst(2.0, 0.3, 25, 50)), 0.5) &&
         Wave(ctx, "servo.wav", Tone(0.4, 420, 520, 8, 0.6), 0.3);
    if (!ok) return false;
    // The menus: the click of a button, list or image, and the two swooshes around a screen change.
    ok = Wave(ctx, "mclick.wav", Mix(Burst(0.02, 0.1, 200, 31), Tone(0.04, 2400, 2000, 60)), 0.5) &&
         Wave(ctx, "swoosh_out.wav", Burst(0.35, 0.9, 6, 32), 0.4) &&
         Wave(ctx, "swoosh_in.wav", Burst(0.35, 0.95, 6, 33), 0.4);
    if (!ok) return false;
    // The radio calls: a click of the key, a mumble of warbling syllables in static, and the release.
    for (int voice = 0; voice < 3; ++voice) {
        const double pitch = 180.0 + 60.0 * voice;
        Signal speech;
        for (int syllable = 0; syllable < 5 + voice; ++syllable) {
            const double f = pitch * (1.0 + 0.15 * ((syllable * 7 + voice) % 5 - 2) / 2.0);
            speech = Then(speech, Then(Tone(0.09, f, f * 0.9, 6, 0.8), Silence(0.03)));
        }
        const Signal radio = Then(Then(Burst(0.04, 0.1, 60, 51 + uint32_t(voice)), Mix(speech, Burst(0.9, 0.3, 1, 54 + uint32_t(voice)))),
                                  Burst(0.05, 0.1, 60, 57 + uint32_t(voice)));
        if (!Wave(ctx, "radio" + std::to_string(voice + 1) + ".wav", radio, 0.35)) return false;
    }

    // The speech of the demo mission's message files, beside them in a folder named after the mission.
    if (!datakit::MakeDirs(ctx.Path("Sounds/Ema01"))) return false;
    if (!Wave(ctx, "Ema01/Radio1.wav", RadioSpeech(4.0, 51), 0.7)) return false;

    std::vector<int16_t> intro = Piece({60, 64, 67, 72, 0, 67, 64, 60, 62, 65, 69, 74, 0, 69, 65, 62}, {36, 41}, 0.25);
    std::vector<int16_t> battle = Piece({57, 0, 57, 60, 0, 62, 64, 0, 57, 0, 57, 55, 0, 52, 55, 0}, {33, 33, 31, 28}, 0.2);
    std::vector<int16_t> track = Piece({72, 71, 67, 64, 65, 67, 69, 72, 74, 72, 67, 64, 62, 64, 65, 67}, {36, 43, 41, 43}, 0.3);
    ok = datakit::EncodeMusic(ctx.Path("Sounds/intro.mp2"), intro, kRate) &&
         datakit::EncodeMusic(ctx.Path("Sounds/battle.mp2"), battle, kRate) &&
         datakit::EncodeMusic(ctx.Path("Sounds/Track1.mp2"), track, kRate);
    if (!ok) return false;

    // The intro movie at start-up; the two campaign endings.
    ok = Movie(ctx, "VX1", 0, intro) && Movie(ctx, "VX2", 40, track) && Movie(ctx, "VX3", 80, track);
    return ok;
}

}  // namespace mkdemo
