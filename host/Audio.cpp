#include "host/Audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "host/Clock.h"
#include "host/Window.h"

namespace host {

struct AudioBuffer {
    std::vector<uint8_t> data;
    int channels = 1;
    int bits = 16;
    int rate = 22050;
    int block = 2;    // bytes per frame
    int frames = 0;   // data.size() / block
    double pos = 0;   // play position in frames, with the resampling fraction
    bool playing = false;
    bool looping = false;
    int volume = 0;
    int pan = 0;
    int frequency = 0;  // 0: the buffer's own rate
    bool positional = false;
    Audio3DParams params3d{};   // in force
    Audio3DParams pending3d{};  // set deferred, waiting for the commit
    bool hasPending3d = false;
};

namespace {

constexpr int kCaptureLimitFrames = 60 * 22050;

struct Source {
    int id;
    AudioPull pull;
    void* user;
};

std::recursive_mutex g_lock;
bool g_open = false;
int g_users = 0;  // OpenAudio calls not yet matched by CloseAudio
bool g_null = false;
int g_rate = 22050;
SDL_AudioDeviceID g_device = 0;
std::vector<AudioBuffer*> g_buffers;
std::vector<Source> g_sources;
int g_nextSourceId = 1;
std::vector<float> g_scratch;

AudioListener g_listener{{0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 1, 1, 1};
AudioListener g_pendingListener = g_listener;
bool g_hasPendingListener = false;

// Null device bookkeeping: frames mixed since the clock base.
double g_nullBase = 0;
double g_nullLastNow = 0;
int64_t g_nullFrames = 0;
bool g_capture = false;
std::vector<int16_t> g_captured;

float GainOfVolume(int hundredthsDb) {
    if (hundredthsDb <= kAudioVolumeMin) return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

void PanGains(int pan, float* left, float* right) {
    *left = pan > 0 ? GainOfVolume(-pan) : 1.0f;
    *right = pan < 0 ? GainOfVolume(pan) : 1.0f;
}

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Gain and pan of a positional buffer from its parameters and the listener: full level within the
// minimum distance, then falling as minimum / distance, silent at the maximum distance; the pan
// follows the side on which the sound lies (up to 20 dB on the far ear).
void Gains3D(const AudioBuffer& b, float* left, float* right) {
    const Audio3DParams& p = b.params3d;
    float rel[3];
    if (p.headRelative) {
        // Relative to the listener: x is to the right, z to the front.
        for (int i = 0; i < 3; ++i) rel[i] = p.position[i];
    } else {
        for (int i = 0; i < 3; ++i) rel[i] = (p.position[i] - g_listener.position[i]) * g_listener.distanceFactor;
    }
    float d = std::sqrt(Dot(rel, rel));
    float minD = p.minDistance > 0 ? p.minDistance : 1.0f;
    float maxD = p.maxDistance > 0 ? p.maxDistance : 1.0e9f;
    float gain;
    if (d >= maxD) {
        gain = 0.0f;
    } else if (d <= minD) {
        gain = 1.0f;
    } else {
        float rolloff = g_listener.rolloffFactor > 0 ? g_listener.rolloffFactor : 0.0f;
        gain = minD / (minD + rolloff * (d - minD));
    }
    float lateral = 0.0f;
    if (d > 0.0f) {
        if (p.headRelative) {
            lateral = rel[0] / d;
        } else {
            const float* f = g_listener.front;
            const float* t = g_listener.top;
            float r[3] = {t[1] * f[2] - t[2] * f[1], t[2] * f[0] - t[0] * f[2], t[0] * f[1] - t[1] * f[0]};
            float rl = std::sqrt(Dot(r, r));
            if (rl > 0.0f) lateral = Dot(rel, r) / (rl * d);
        }
    }
    int pan = static_cast<int>(lateral * 2000.0f);
    PanGains(pan, left, right);
    float g = gain * GainOfVolume(b.volume);
    *left *= g;
    *right *= g;
}

float SampleAt(const AudioBuffer& b, int frame, int channel) {
    if (b.bits == 8) return (static_cast<float>(b.data[frame * b.block + channel]) - 128.0f) * 256.0f;
    const uint8_t* p = &b.data[frame * b.block + channel * 2];
    return static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8)));
}

void MixBuffer(AudioBuffer& b, float* mix, int frames) {
    if (!b.playing || b.frames == 0) return;
    float gl, gr;
    if (b.positional) {
        Gains3D(b, &gl, &gr);
    } else {
        PanGains(b.pan, &gl, &gr);
        float g = GainOfVolume(b.volume);
        gl *= g;
        gr *= g;
    }
    double step = static_cast<double>(b.frequency > 0 ? b.frequency : b.rate) / g_rate;
    for (int i = 0; i < frames; ++i) {
        int idx = static_cast<int>(b.pos);
        float frac = static_cast<float>(b.pos - idx);
        int next = idx + 1;
        if (next >= b.frames) next = b.looping ? 0 : idx;
        float l0 = SampleAt(b, idx, 0), l1 = SampleAt(b, next, 0);
        float l = l0 + (l1 - l0) * frac;
        float r = l;
        if (b.channels == 2) {
            float r0 = SampleAt(b, idx, 1), r1 = SampleAt(b, next, 1);
            r = r0 + (r1 - r0) * frac;
        }
        mix[2 * i] += l * gl;
        mix[2 * i + 1] += r * gr;
        b.pos += step;
        if (b.pos >= b.frames) {
            if (b.looping) {
                b.pos = std::fmod(b.pos, static_cast<double>(b.frames));
            } else {
                b.playing = false;
                b.pos = 0;
                return;
            }
        }
    }
}

// Mixes `frames` output frames into out (interleaved stereo). Called with the lock held.
void MixLocked(int16_t* out, int frames) {
    g_scratch.assign(static_cast<size_t>(frames) * 2, 0.0f);
    for (AudioBuffer* b : g_buffers) MixBuffer(*b, g_scratch.data(), frames);
    for (const Source& s : g_sources) s.pull(s.user, g_scratch.data(), frames);
    for (int i = 0; i < frames * 2; ++i) {
        float v = std::lround(g_scratch[i]);
        out[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
}

void SdlCallback(void*, Uint8* stream, int len) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    MixLocked(reinterpret_cast<int16_t*>(stream), len / 4);
}

void NullCatchUp() {
    if (!g_open || !g_null) return;
    double now = NowCentiseconds();
    if (now < g_nullLastNow) {
        // The clock was started again (a new virtual clock): count from here.
        g_nullBase = now;
        g_nullFrames = 0;
    }
    g_nullLastNow = now;
    int64_t due = static_cast<int64_t>((now - g_nullBase) * g_rate / 100.0);
    std::vector<int16_t> chunk;
    while (g_nullFrames < due) {
        int n = static_cast<int>(std::min<int64_t>(due - g_nullFrames, 4096));
        chunk.resize(static_cast<size_t>(n) * 2);
        MixLocked(chunk.data(), n);
        g_nullFrames += n;
        if (g_capture) {
            g_captured.insert(g_captured.end(), chunk.begin(), chunk.end());
            size_t limit = static_cast<size_t>(kCaptureLimitFrames) * 2;
            if (g_captured.size() > limit)
                g_captured.erase(g_captured.begin(), g_captured.end() - static_cast<ptrdiff_t>(limit));
        }
    }
}

bool Listed(AudioBuffer* b) { return b && std::find(g_buffers.begin(), g_buffers.end(), b) != g_buffers.end(); }

}  // namespace

// Every entry point takes the lock and brings the null device up to the present first.
#define AUDIO_ENTER()                                       \
    std::lock_guard<std::recursive_mutex> guard_(g_lock); \
    NullCatchUp()

bool OpenAudio(int channels, int samplesPerSecond, int bitsPerSample) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (g_open) {
        ++g_users;
        return true;
    }
    if (channels != 2 || bitsPerSample != 16 || samplesPerSecond < 8000 || samplesPerSecond > 192000)
        return false;
    g_rate = samplesPerSecond;
    if (IsHeadless()) {
        g_null = true;
        g_nullBase = g_nullLastNow = NowCentiseconds();
        g_nullFrames = 0;
        g_open = true;
        g_users = 1;
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = samplesPerSecond;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = SdlCallback;
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (g_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    g_null = false;
    g_open = true;
    g_users = 1;
    SDL_PauseAudioDevice(g_device, 0);
    return true;
}

void CloseAudio() {
    SDL_AudioDeviceID device;
    {
        std::lock_guard<std::recursive_mutex> guard(g_lock);
        if (!g_open || --g_users > 0) return;
        device = g_device;
        g_device = 0;
    }
    // Closing waits for the callback, which takes the lock: do it outside.
    if (device) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    for (AudioBuffer* b : g_buffers) delete b;
    g_buffers.clear();
    g_sources.clear();
    g_open = false;
    g_null = false;
    g_hasPendingListener = false;
}

bool IsAudioOpen() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_open;
}

bool IsNullAudio() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_open && g_null;
}

int AudioOutputRate() { return g_rate; }

AudioBuffer* CreateAudioBuffer(int channels, int samplesPerSecond, int bitsPerSample, int bytes,
                               bool positional3d) {
    AUDIO_ENTER();
    if (!g_open) return nullptr;
    if ((channels != 1 && channels != 2) || (bitsPerSample != 8 && bitsPerSample != 16)) return nullptr;
    if (samplesPerSecond < 100 || samplesPerSecond > 200000) return nullptr;
    int block = channels * bitsPerSample / 8;
    if (bytes < block || bytes > (64 << 20)) return nullptr;
    auto* b = new AudioBuffer;
    b->channels = channels;
    b->bits = bitsPerSample;
    b->rate = samplesPerSecond;
    b->block = block;
    b->frames = bytes / block;
    b->data.assign(static_cast<size_t>(bytes), bitsPerSample == 8 ? 0x80 : 0);
    b->positional = positional3d;
    b->params3d = {{0, 0, 0}, {0, 0, 0}, 1.0f, 1.0e9f, false};
    g_buffers.push_back(b);
    return b;
}

void ReleaseAudioBuffer(AudioBuffer* buffer) {
    AUDIO_ENTER();
    auto it = std::find(g_buffers.begin(), g_buffers.end(), buffer);
    if (it == g_buffers.end()) return;
    g_buffers.erase(it);
    delete buffer;
}

void PlayAudioBuffer(AudioBuffer* buffer, bool looping) {
    AUDIO_ENTER();
    if (!Listed(buffer)) return;
    buffer->playing = true;
    buffer->looping = looping;
}

void StopAudioBuffer(AudioBuffer* buffer) {
    AUDIO_ENTER();
    if (Listed(buffer)) buffer->playing = false;
}

uint32_t AudioBufferStatus(AudioBuffer* buffer) {
    AUDIO_ENTER();
    if (!Listed(buffer) || !buffer->playing) return 0;
    return kAudioPlaying | (buffer->looping ? kAudioLooping : 0);
}

int GetAudioPlayCursor(AudioBuffer* buffer) {
    AUDIO_ENTER();
    if (!Listed(buffer)) return 0;
    return static_cast<int>(buffer->pos) * buffer->block;
}

void SetAudioPlayCursor(AudioBuffer* buffer, int byteOffset) {
    AUDIO_ENTER();
    if (!Listed(buffer)) return;
    int frame = byteOffset / buffer->block;
    buffer->pos = std::clamp(frame, 0, std::max(0, buffer->frames - 1));
}

void SetAudioVolume(AudioBuffer* buffer, int hundredthsDb) {
    AUDIO_ENTER();
    if (Listed(buffer)) buffer->volume = std::clamp(hundredthsDb, kAudioVolumeMin, kAudioVolumeMax);
}

int GetAudioVolume(AudioBuffer* buffer) {
    AUDIO_ENTER();
    return Listed(buffer) ? buffer->volume : 0;
}

void SetAudioPan(AudioBuffer* buffer, int pan) {
    AUDIO_ENTER();
    if (Listed(buffer)) buffer->pan = std::clamp(pan, kAudioPanLeft, kAudioPanRight);
}

int GetAudioPan(AudioBuffer* buffer) {
    AUDIO_ENTER();
    return Listed(buffer) ? buffer->pan : 0;
}

void SetAudioFrequency(AudioBuffer* buffer, int hz) {
    AUDIO_ENTER();
    if (Listed(buffer)) buffer->frequency = hz > 0 ? std::clamp(hz, 100, 200000) : 0;
}

int GetAudioFrequency(AudioBuffer* buffer) {
    AUDIO_ENTER();
    if (!Listed(buffer)) return 0;
    return buffer->frequency > 0 ? buffer->frequency : buffer->rate;
}

bool LockAudioBuffer(AudioBuffer* buffer, int offset, int bytes, void** ptr1, int* bytes1, void** ptr2,
                     int* bytes2) {
    AUDIO_ENTER();
    if (ptr1) *ptr1 = nullptr;
    if (ptr2) *ptr2 = nullptr;
    if (bytes1) *bytes1 = 0;
    if (bytes2) *bytes2 = 0;
    if (!Listed(buffer) || !ptr1 || !bytes1) return false;
    int size = static_cast<int>(buffer->data.size());
    if (offset < 0 || offset >= size || bytes <= 0 || bytes > size) return false;
    int first = std::min(bytes, size - offset);
    *ptr1 = buffer->data.data() + offset;
    *bytes1 = first;
    if (first < bytes) {
        if (!ptr2 || !bytes2) return false;
        *ptr2 = buffer->data.data();
        *bytes2 = bytes - first;
    }
    return true;
}

void UnlockAudioBuffer(AudioBuffer*) {}

int AudioBufferBytes(AudioBuffer* buffer) {
    AUDIO_ENTER();
    return Listed(buffer) ? static_cast<int>(buffer->data.size()) : 0;
}

void SetAudio3D(AudioBuffer* buffer, const Audio3DParams& params, bool deferred) {
    AUDIO_ENTER();
    if (!Listed(buffer)) return;
    if (deferred) {
        buffer->pending3d = params;
        buffer->hasPending3d = true;
    } else {
        buffer->params3d = params;
        buffer->hasPending3d = false;
    }
}

void SetAudioListener(const AudioListener& listener, bool deferred) {
    AUDIO_ENTER();
    if (deferred) {
        g_pendingListener = listener;
        g_hasPendingListener = true;
    } else {
        g_listener = listener;
        g_hasPendingListener = false;
    }
}

void CommitAudioDeferred() {
    AUDIO_ENTER();
    if (g_hasPendingListener) g_listener = g_pendingListener;
    g_hasPendingListener = false;
    for (AudioBuffer* b : g_buffers) {
        if (b->hasPending3d) b->params3d = b->pending3d;
        b->hasPending3d = false;
    }
}

int AddAudioSource(AudioPull pull, void* user) {
    AUDIO_ENTER();
    if (!g_open || !pull) return 0;
    int id = g_nextSourceId++;
    g_sources.push_back({id, pull, user});
    return id;
}

void RemoveAudioSource(int id) {
    AUDIO_ENTER();
    g_sources.erase(std::remove_if(g_sources.begin(), g_sources.end(), [id](const Source& s) { return s.id == id; }),
                    g_sources.end());
}

void UpdateAudio() { AUDIO_ENTER(); }

void CaptureAudioOutput(bool on) {
    AUDIO_ENTER();
    g_capture = on;
    if (!on) g_captured.clear();
}

std::vector<int16_t> TakeAudioOutput() {
    AUDIO_ENTER();
    std::vector<int16_t> out;
    out.swap(g_captured);
    return out;
}

}  // namespace host
