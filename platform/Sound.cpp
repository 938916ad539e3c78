#include "platform/Sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Config.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "host/Audio.h"
#include "host/Dialog.h"

int SoundReady = 0;
int SoundEnabled = 1;
int SoundHardware3D = 0;
float MasterVolumeCurrent = 1.0f;
float MasterVolumeTarget = 1.0f;
dxgl_SoundStreamBuffer* StreamList[kMaxStreamBuffers];
int StreamCount = 0;
dxgl_SoundStreamBuffer* SampleList[kMaxSampleBuffers];
int SampleCount = 0;
dxgl_SoundStreamBuffer* BriefingSpeech = nullptr;

namespace {

float g_dopplerFactor = 1.0f;
int g_streamChannels = 1;
int g_streamRate = 22050;
int g_streamBits = 16;
char g_soundFolder[256] = "";

int32_t g_listenerPosition[3];
int32_t g_listenerVelocity[3];
int32_t g_listenerOrientation[3][3] = {{32768, 0, 0}, {0, 32768, 0}, {0, 0, 32768}};

constexpr int32_t kUnsetPosition = static_cast<int32_t>(0x80000000u);

void Unlist(dxgl_SoundStreamBuffer** list, int* count, dxgl_SoundStreamBuffer* b) {
    for (int i = 0; i < *count; ++i) {
        if (list[i] == b) {
            list[i] = list[--*count];
            list[*count] = nullptr;
            return;
        }
    }
}

bool InList(dxgl_SoundStreamBuffer* const* list, int count, const dxgl_SoundStreamBuffer* b) {
    for (int i = 0; i < count; ++i)
        if (list[i] == b) return true;
    return false;
}

// Closes the wave file that feeds a buffer; a one-shot's separate file format goes with it.
void CloseWave(dxgl_SoundStreamBuffer* b) {
    if (b->fileFormat) {
        WaveClose(&b->file, &b->fileFormat);
    } else {
        WaveFormatEx* none = nullptr;
        WaveClose(&b->file, &none);
    }
}

// The frequency handed to the device: a one-shot whose file has another rate than its buffer plays
// at the file's rate, scaled by the asked frequency.
int DeviceFrequency(const dxgl_SoundStreamBuffer* b, int frequency) {
    if (!b->fileFormat || !b->format || b->fileFormat->samplesPerSec == b->format->samplesPerSec) return frequency;
    int64_t fileRate = b->fileFormat->samplesPerSec;
    if (frequency == 0) return static_cast<int>(fileRate);
    return static_cast<int>(static_cast<int64_t>(frequency) * fileRate / b->format->samplesPerSec);
}

// One sample of a PCM frame as a signed 16-bit value.
int SampleOf(const uint8_t* frame, int bits, int channel) {
    if (bits == 8) return (frame[channel] - 128) * 256;
    return static_cast<int16_t>(frame[2 * channel] | frame[2 * channel + 1] << 8);
}

// Reads up to `bytes` bytes of the buffer's format from its file. A one-shot whose file is in another
// PCM layout (8 or 16 bits, mono or stereo) is converted frame by frame.
int ReadSamples(dxgl_SoundStreamBuffer* b, uint8_t* out, int bytes) {
    if (!b->file) return 0;
    int read = 0;
    if (!b->fileFormat) {
        if (WaveRead(b->file, bytes, out, &b->dataChunk, &read) != 0) return 0;
        return read;
    }
    const WaveFormatEx& src = *b->fileFormat;
    const int srcBlock = src.blockAlign;
    const int dstChannels = b->format->channels, dstBits = b->format->bitsPerSample;
    const int dstBlock = b->format->blockAlign;
    int frames = bytes / dstBlock;
    std::vector<uint8_t> raw(static_cast<size_t>(frames) * srcBlock);
    if (WaveRead(b->file, frames * srcBlock, raw.data(), &b->dataChunk, &read) != 0) return 0;
    int got = read / srcBlock;
    for (int i = 0; i < got; ++i) {
        const uint8_t* f = &raw[static_cast<size_t>(i) * srcBlock];
        int left = SampleOf(f, src.bitsPerSample, 0);
        int right = src.channels == 2 ? SampleOf(f, src.bitsPerSample, 1) : left;
        int mono = (left + right) / 2;
        for (int c = 0; c < dstChannels; ++c) {
            int v = dstChannels == 1 ? mono : (c == 0 ? left : right);
            uint8_t* d = out + static_cast<size_t>(i) * dstBlock;
            if (dstBits == 8) {
                d[c] = static_cast<uint8_t>((v >> 8) + 128);
            } else {
                d[2 * c] = static_cast<uint8_t>(v);
                d[2 * c + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
            }
        }
    }
    return got * dstBlock;
}

// A PCM layout the mixer plays and the buffers can be made in.
bool PlayablePcm(const WaveFormatEx* f) {
    return f->formatTag == kWaveFormatPcm && (f->channels == 1 || f->channels == 2) &&
           (f->bitsPerSample == 8 || f->bitsPerSample == 16) && f->blockAlign == f->channels * f->bitsPerSample / 8 &&
           f->samplesPerSec >= 100 && f->samplesPerSec <= 200000 &&
           f->avgBytesPerSec == f->samplesPerSec * f->blockAlign;
}

// A buffer record and its device buffer of two seconds of `format` (which the record takes over).
// The last serial handed out (0 is never one, so a descriptor that played nothing matches no sound).
uint32_t g_soundSerial = 0;

dxgl_SoundStreamBuffer* NewBuffer(WaveFormatEx* format) {
    // A header whose sizes do not agree would ask for any amount of memory: such a file is refused.
    if (!PlayablePcm(format)) return nullptr;
    int bytes = static_cast<int>(format->avgBytesPerSec) * 2;
    host::AudioBuffer* device = host::CreateAudioBuffer(format->channels, static_cast<int>(format->samplesPerSec),
                                                        format->bitsPerSample, bytes, SoundHardware3D != 0);
    if (!device) return nullptr;
    auto* b = static_cast<dxgl_SoundStreamBuffer*>(qzAlloc(sizeof(dxgl_SoundStreamBuffer), "dxgl_SoundStreamBuffer"));
    memset(b, 0, sizeof *b);
    b->desc.size = 36;
    b->desc.flags = SoundHardware3D ? kSoundFlags3D : kSoundFlagsSoftware;
    b->desc.bufferBytes = static_cast<uint32_t>(bytes);
    b->desc.format = format;
    b->buffer = device;
    b->buffer3d = SoundHardware3D ? device : nullptr;
    b->format = format;
    b->endHalf = -1;
    b->bufferBytes = bytes;
    b->lowMark = bytes / 8;
    b->highMark = bytes / 2 + bytes / 8;
    b->bitsPerSample = format->bitsPerSample;
    for (int i = 0; i < 3; ++i) b->position[i] = kUnsetPosition;
    b->volumeFactor = 1.0f;
    b->serial = ++g_soundSerial;
    return b;
}

void DestroyBuffer(dxgl_SoundStreamBuffer* b) {
    host::StopAudioBuffer(b->buffer);
    CloseWave(b);
    host::ReleaseAudioBuffer(b->buffer);
    if (b->format) qzFree(b->format);
    qzFree(b);
}

int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

}  // namespace

void dxgl_SetStreamFormat(int channels, int samplesPerSecond, int bits) {
    g_streamChannels = channels;
    g_streamRate = samplesPerSecond;
    g_streamBits = bits;
}

void dxgl_InitDS() {
    if (SoundReady) return;
    SoundHardware3D = use_directsound3d != 0;
    g_dopplerFactor = DopplerFactor;
    // The primary format: 16-bit stereo at 22050 Hz. Without a device sound stays off.
    if (!host::OpenAudio(2, 22050, 16)) return;
    for (int i = 0; i < kMaxStreamBuffers; ++i)
        if (!dxgl_CreatePCMBuffer(g_streamChannels, g_streamRate, g_streamBits))
            FatalError("Error(dxgl_InitDS): failed to create SSB");
    SetRulesReadPump(dxgl_UpdateStreams);
    SoundReady = 1;
}

void dxgl_SetSoundFolder(const char* path) { snprintf(g_soundFolder, sizeof g_soundFolder, "%s", path ? path : ""); }
void dxgl_EnableSound() { SoundEnabled = 1; }
void dxgl_DisableSound() { SoundEnabled = 0; }

void dxgl_SetMasterVolume(float current, float target) {
    MasterVolumeCurrent = current;
    MasterVolumeTarget = target;
}

float dxgl_GetMasterVolume() { return MasterVolumeTarget; }
void dxgl_SetSoundFactor(float f) { g_dopplerFactor = f; }
float dxgl_GetSoundFactor() { return g_dopplerFactor; }

dxgl_SoundStreamBuffer* dxgl_PlaySample(const char* name, int mode, int loop, int deferred, int keep) {
    if (!SoundReady || !SoundEnabled) return nullptr;
    if (loop && !deferred) {
        char text[256];
        snprintf(text, sizeof text, "error playing '%s'", name ? name : "");
        host::ShowMessageBox(text, "dxgl_Notify", host::DialogKind::Notice);
        FatalError("Error(dxgl_PlaySample): looping sound must be 'deferred'");
    }
    // A sound without a file name (its rule was missing) plays nothing, rather than opening the
    // sound folder itself as a file.
    if (!name || !name[0]) return nullptr;
    char path[512];
    if (snprintf(path, sizeof path, "%s\\%s", g_soundFolder, name) >= static_cast<int>(sizeof path)) return nullptr;

    if (mode == kSoundPlain || mode == kSoundPositional) {
        dxgl_SoundStreamBuffer* b = dxgl_LoadWave(path);
        if (!b) return nullptr;
        b->loop = loop;
        b->mode = mode;
        b->deferred = deferred;
        b->keep = keep;
        b->volumeFactor = 1.0f;
        dxgl_FillStreamHalf(b, 0);
        if (mode == kSoundPositional && !SoundHardware3D) host::SetAudioVolume(b->buffer, host::kAudioVolumeMin);
        host::PlayAudioBuffer(b->buffer, true);
        return b;
    }
    if (mode != kSoundOneShot) return nullptr;

    dxgl_SoundStreamBuffer* b = nullptr;
    for (int i = 0; i < StreamCount && !b; ++i)
        if (!(host::AudioBufferStatus(StreamList[i]->buffer) & host::kAudioPlaying)) b = StreamList[i];
    if (!b) return nullptr;
    CloseWave(b);
    b->serial = ++g_soundSerial;  // descriptors of the sound this buffer played before no longer reach it
    WaveFormatEx* fileFormat = nullptr;
    if (WaveOpen(path, &b->file, &fileFormat, &b->riffChunk) != 0) return nullptr;
    if (WaveFindData(&b->file, &b->dataChunk, &b->riffChunk) != 0) {
        WaveClose(&b->file, &fileFormat);
        return nullptr;
    }
    // The streaming buffers play one format; a file in another PCM layout is converted as it is read,
    // and one that is not PCM at all is refused (copied as it is, it would play as noise).
    if (!PlayablePcm(fileFormat)) {
        DebugPrintf("dxgl_PlaySample: '%s' is not 8- or 16-bit PCM, not played\n", name);
        WaveClose(&b->file, &fileFormat);
        return nullptr;
    }
    const WaveFormatEx* own = b->format;
    if (fileFormat->channels == own->channels && fileFormat->bitsPerSample == own->bitsPerSample &&
        fileFormat->samplesPerSec == own->samplesPerSec) {
        qzFree(fileFormat);
        fileFormat = nullptr;
    }
    b->fileFormat = fileFormat;
    b->endHalf = -1;
    b->refillCount = 0;
    b->loop = 0;
    b->mode = kSoundOneShot;
    b->deferred = deferred;
    b->keep = keep;
    b->volumeFactor = 1.0f;
    host::SetAudioFrequency(b->buffer, DeviceFrequency(b, 0));
    dxgl_FillStreamHalf(b, 0);
    host::SetAudioPlayCursor(b->buffer, 0);
    host::PlayAudioBuffer(b->buffer, true);
    return b;
}

dxgl_SoundStreamBuffer* PlaySampleForEx(SoundDesc* desc, int mode, int loop, int deferred, int keep) {
    if (!desc) return nullptr;
    desc->buffer = dxgl_PlaySample(desc->file, mode, loop, deferred, keep);
    desc->serial = desc->buffer ? desc->buffer->serial : 0;
    return desc->buffer;
}

dxgl_SoundStreamBuffer* dxgl_DescSound(const SoundDesc* desc) {
    if (!desc || !dxgl_IsSoundValid(desc->buffer) || desc->buffer->serial != desc->serial) return nullptr;
    return desc->buffer;
}

dxgl_SoundStreamBuffer* PlaySampleFor(SoundDesc* desc, int mode, int loop, int deferred) {
    return PlaySampleForEx(desc, mode, loop, deferred, 0);
}

void dxgl_Set3DSound(dxgl_SoundStreamBuffer* b, const int32_t position[3], const int32_t velocity[3],
                     int minDistance, int maxDistance, int frequency, int headRelative) {
    if (!b) return;
    if (SoundHardware3D) {
        host::Audio3DParams p{};
        for (int i = 0; i < 3; ++i) {
            p.position[i] = static_cast<float>(position[i]);
            p.velocity[i] = static_cast<float>(velocity[i]);
        }
        p.minDistance = static_cast<float>(minDistance);
        p.maxDistance = static_cast<float>(maxDistance);
        p.headRelative = headRelative != 0;
        host::SetAudio3D(b->buffer3d, p, b->deferred != 0);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        b->position[i] = position[i];
        b->velocity[i] = velocity[i];
    }
    b->minDistance = minDistance;
    b->maxDistance = maxDistance;
    b->frequency = frequency;
    if (!b->deferred) dxgl_UpdateSound3D(b);
}

void dxgl_SetSoundPosition(SoundDesc* desc, const int32_t position[3], const int32_t velocity[3], int pitch,
                           int headRelative) {
    // A sound that has ended and been freed is not touched through the descriptor's stale pointer.
    if (!dxgl_DescSound(desc)) return;
    int frequency = 0;
    if (!SoundHardware3D && desc->lowFrequency != 0) {
        pitch = std::clamp(pitch, 0, 255);
        frequency = desc->lowFrequency + ((desc->highFrequency - desc->lowFrequency) * pitch >> 8);
    }
    dxgl_Set3DSound(desc->buffer, position, velocity, desc->minDistance, desc->maxDistance, frequency, headRelative);
}

void dxgl_SetListener(const int32_t position[3], const int32_t velocity[3], const int32_t orientation[3][3]) {
    if (SoundHardware3D) {
        host::AudioListener l{};
        for (int i = 0; i < 3; ++i) {
            l.position[i] = static_cast<float>(position[i]);
            l.velocity[i] = static_cast<float>(velocity[i]);
            l.front[i] = static_cast<float>(orientation[2][i]);
            l.top[i] = static_cast<float>(orientation[1][i]);
        }
        l.distanceFactor = 1.0f;
        l.rolloffFactor = 1.0f;
        l.dopplerFactor = g_dopplerFactor;
        host::SetAudioListener(l, true);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        g_listenerPosition[i] = position[i];
        g_listenerVelocity[i] = velocity[i];
        for (int j = 0; j < 3; ++j) g_listenerOrientation[i][j] = orientation[i][j];
    }
}

void dxgl_UpdateSoundVolumes(int ticks) {
    float step = static_cast<float>(ticks) * 0.005f;
    if (MasterVolumeCurrent < MasterVolumeTarget)
        MasterVolumeCurrent = std::min(MasterVolumeCurrent + step, MasterVolumeTarget);
    else if (MasterVolumeCurrent > MasterVolumeTarget)
        MasterVolumeCurrent = std::max(MasterVolumeCurrent - step, MasterVolumeTarget);
    if (SoundHardware3D) {
        host::CommitAudioDeferred();
        return;
    }
    for (int i = 0; i < StreamCount; ++i) {
        dxgl_SoundStreamBuffer* b = StreamList[i];
        if (b->deferred && dxgl_IsSoundPlaying(b)) dxgl_UpdateSound3D(b);
    }
    for (int i = 0; i < SampleCount; ++i)
        if (SampleList[i]->deferred) dxgl_UpdateSound3D(SampleList[i]);
}

void dxgl_UpdateSound3D(dxgl_SoundStreamBuffer* b) {
    if (!b) return;
    float v = MasterVolumeCurrent * b->volumeFactor;
    bool playing = dxgl_IsSoundPlaying(b) != 0;
    if (b->mode == kSoundPlain) {
        if (b->volumeFactor != 0.0f) {
            if (!playing) host::PlayAudioBuffer(b->buffer, true);
            host::SetAudioVolume(b->buffer, static_cast<int>((1.0f - v) * -10000.0f));
            host::SetAudioPan(b->buffer, 0);
            if (b->frequency) host::SetAudioFrequency(b->buffer, DeviceFrequency(b, b->frequency));
        } else {
            host::StopAudioBuffer(b->buffer);
        }
        return;
    }
    if (b->mode != kSoundOneShot && b->mode != kSoundPositional) return;

    int64_t d3[3];
    bool near = b->maxDistance >= 0;
    for (int i = 0; i < 3; ++i) {
        d3[i] = static_cast<int64_t>(b->position[i]) - g_listenerPosition[i];
        if (Abs64(d3[i]) > b->maxDistance) near = false;
    }
    double dist = 0;
    if (near) {
        dist = std::sqrt(static_cast<double>(d3[0]) * d3[0] + static_cast<double>(d3[1]) * d3[1] +
                         static_cast<double>(d3[2]) * d3[2]);
        near = dist <= b->maxDistance;
    }
    if (!near) {
        host::StopAudioBuffer(b->buffer);
        if (b->mode == kSoundOneShot) CloseWave(b);
        return;
    }
    if (!playing) host::PlayAudioBuffer(b->buffer, true);
    int64_t d = static_cast<int64_t>(dist);
    double attenuation = 0;
    // A zero minimum distance would divide by zero: such a sound is heard at full level where it is.
    if (d >= b->minDistance && b->minDistance > 0)
        attenuation = std::trunc(500.0 - static_cast<double>(d) * 500.0 / b->minDistance);
    host::SetAudioVolume(b->buffer, static_cast<int>(attenuation - (1.0 - v) * 10000.0));
    int64_t x = 0;
    if (d > 0) {
        int64_t dir[3];
        for (int i = 0; i < 3; ++i) dir[i] = d3[i] * 32768 / d;
        x = (g_listenerOrientation[0][0] * dir[0] + g_listenerOrientation[0][1] * dir[1] +
             g_listenerOrientation[0][2] * dir[2]) >> 15;
    }
    int swap = swap_stereo ? 1 : 0;
    host::SetAudioPan(b->buffer, static_cast<int>(-((2 * swap - 1) * x) >> 4));
    if (b->frequency) host::SetAudioFrequency(b->buffer, DeviceFrequency(b, b->frequency));
}

int dxgl_FillStreamHalf(dxgl_SoundStreamBuffer* b, int half) {
    b->refillCount++;
    if (b->endHalf == half) {
        host::StopAudioBuffer(b->buffer);
        b->endHalf = -1;
        return 1;
    }
    b->nextHalf = half == 0 ? 1 : 0;
    int halfBytes = b->bufferBytes / 2;
    void* p1;
    void* p2;
    int n1, n2;
    if (!host::LockAudioBuffer(b->buffer, half == 0 ? 0 : halfBytes, halfBytes, &p1, &n1, &p2, &n2)) return 1;
    auto* out = static_cast<uint8_t*>(p1);
    const uint8_t silence = b->bitsPerSample == 8 ? 0x80 : 0;
    if (b->endHalf != -1) {
        memset(out, silence, static_cast<size_t>(n1));
    } else {
        int filled = ReadSamples(b, out, n1);
        while (filled < n1 && b->loop && b->file) {
            // Back to the start of the data for the rest; a file without data fills with silence.
            if (WaveFindData(&b->file, &b->dataChunk, &b->riffChunk) != 0) break;
            int more = ReadSamples(b, out + filled, n1 - filled);
            if (more <= 0) break;
            filled += more;
        }
        if (filled < n1) {
            memset(out + filled, silence, static_cast<size_t>(n1 - filled));
            if (!b->loop) {
                CloseWave(b);
                b->endHalf = half;
            }
        }
    }
    host::UnlockAudioBuffer(b->buffer);
    return 1;
}

void dxgl_UpdateStreams() {
    for (int i = 0; i < StreamCount; ++i) {
        dxgl_SoundStreamBuffer* b = StreamList[i];
        if (!dxgl_IsSoundPlaying(b)) {
            if (b->file) CloseWave(b);
            continue;
        }
        int p = dxgl_GetPlayPosition(b);
        if (p >= b->highMark && b->nextHalf == 0)
            dxgl_FillStreamHalf(b, 0);
        else if (p >= b->lowMark && p < b->highMark && b->nextHalf == 1)
            dxgl_FillStreamHalf(b, 1);
    }
    for (int i = 0; i < SampleCount;) {
        dxgl_SoundStreamBuffer* b = SampleList[i];
        if (dxgl_IsSoundPlaying(b)) {
            int p = dxgl_GetPlayPosition(b);
            if (p > b->highMark && b->nextHalf == 0)
                dxgl_FillStreamHalf(b, 0);
            else if (p >= b->lowMark && p < b->highMark && b->nextHalf == 1)
                dxgl_FillStreamHalf(b, 1);
        }
        if (!dxgl_IsSoundPlaying(b) && !b->loop && !b->keep) {
            dxgl_FreeSound(&b);  // the last entry moves into this place: look at it next
            continue;
        }
        ++i;
    }
}

dxgl_SoundStreamBuffer* dxgl_LoadWave(const char* path) {
    if (SampleCount >= kMaxSampleBuffers) return nullptr;
    WaveFile* file = nullptr;
    WaveFormatEx* format = nullptr;
    WaveChunk riff;
    if (WaveOpen(path, &file, &format, &riff) != 0) return nullptr;
    dxgl_SoundStreamBuffer* b = NewBuffer(format);
    if (!b) {
        WaveClose(&file, &format);
        return nullptr;
    }
    b->file = file;
    b->riffChunk = riff;
    if (WaveFindData(&b->file, &b->dataChunk, &b->riffChunk) != 0) {
        DestroyBuffer(b);
        return nullptr;
    }
    SampleList[SampleCount++] = b;
    return b;
}

dxgl_SoundStreamBuffer* dxgl_CreatePCMBuffer(int channels, int rate, int bits) {
    if (StreamCount >= kMaxStreamBuffers) return nullptr;
    WaveFormatEx* format = WaveAlloc(0);
    format->formatTag = kWaveFormatPcm;
    format->channels = static_cast<uint16_t>(channels);
    format->samplesPerSec = static_cast<uint32_t>(rate);
    format->bitsPerSample = static_cast<uint16_t>(bits);
    format->blockAlign = static_cast<uint16_t>(bits * channels / 8);
    format->avgBytesPerSec = static_cast<uint32_t>(format->blockAlign * rate);
    dxgl_SoundStreamBuffer* b = dxgl_CreateStreamBuffer(format);
    if (!b) qzFree(format);
    return b;
}

dxgl_SoundStreamBuffer* dxgl_CreateStreamBuffer(WaveFormatEx* format) {
    if (StreamCount >= kMaxStreamBuffers || !format) return nullptr;
    dxgl_SoundStreamBuffer* b = NewBuffer(format);
    if (b) StreamList[StreamCount++] = b;
    return b;
}

void dxgl_FreeSound(dxgl_SoundStreamBuffer** buffer) {
    if (!buffer || !*buffer) return;
    dxgl_SoundStreamBuffer* b = *buffer;
    *buffer = nullptr;
    // Only a listed buffer is freed: a stale pointer to one already gone is left alone.
    if (!dxgl_IsSoundValid(b)) return;
    Unlist(StreamList, &StreamCount, b);
    Unlist(SampleList, &SampleCount, b);
    DestroyBuffer(b);
}

int dxgl_IsSoundPlaying(dxgl_SoundStreamBuffer* b) {
    if (!b) return 0;
    return (host::AudioBufferStatus(b->buffer) & host::kAudioPlaying) ? 1 : 0;
}

int dxgl_GetPlayPosition(dxgl_SoundStreamBuffer* b) { return b ? host::GetAudioPlayCursor(b->buffer) : 0; }

int dxgl_IsSoundValid(dxgl_SoundStreamBuffer* b) {
    if (!b) return 0;
    return InList(StreamList, StreamCount, b) || InList(SampleList, SampleCount, b) ? 1 : 0;
}

void dxgl_PauseAllSounds() {
    for (int i = 0; i < StreamCount; ++i)
        if (dxgl_IsSoundPlaying(StreamList[i])) host::StopAudioBuffer(StreamList[i]->buffer);
    for (int i = 0; i < SampleCount; ++i)
        if (dxgl_IsSoundPlaying(SampleList[i])) host::StopAudioBuffer(SampleList[i]->buffer);
    dxgl_UpdateStreams();
}

void dxgl_ReleaseAllSounds() {
    while (StreamCount > 0) {
        dxgl_SoundStreamBuffer* b = StreamList[StreamCount - 1];
        dxgl_FreeSound(&b);
    }
    while (SampleCount > 0) {
        dxgl_SoundStreamBuffer* b = SampleList[SampleCount - 1];
        dxgl_FreeSound(&b);
    }
    host::CloseAudio();
    SetRulesReadPump(nullptr);
    SoundReady = 0;
}
