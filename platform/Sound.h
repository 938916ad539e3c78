// The sound device and its buffers: every sound streams from its wave file through a two-second buffer
// whose halves are refilled in turn. One-shot sounds take one of 24 streaming buffers made when the
// device opens; other sounds get a buffer of their own (at most 64), may loop and may follow a position
// in the world, through the 3D path of the device or a software model of distance and pan.
#pragma once

#include <cstdint>

#include "platform/Wave.h"

namespace host {
struct AudioBuffer;
}

constexpr int kMaxStreamBuffers = 24;
constexpr int kMaxSampleBuffers = 64;

// Buffer description as handed to the device.
struct SoundBufferDesc {
    uint32_t size;         // 36
    uint32_t flags;        // kSoundFlags3D or kSoundFlagsSoftware
    uint32_t bufferBytes;  // two seconds of the format
    uint32_t reserved;
    WaveFormatEx* format;
    uint8_t algorithm3d[16];
};
constexpr uint32_t kSoundFlags3D = 0x38010;        // 3D, position cursor, global focus, mute at max distance
constexpr uint32_t kSoundFlagsSoftware = 0x180E0;  // volume, pan, frequency, position cursor, global focus

enum SoundMode : int32_t {
    kSoundOneShot = 0,     // in a streaming buffer
    kSoundPositional = 1,  // own buffer, follows a position
    kSoundPlain = 2,       // own buffer
};

// One sound buffer and the wave file that feeds it (tracked, purpose "dxgl_SoundStreamBuffer").
struct dxgl_SoundStreamBuffer {
    SoundBufferDesc desc;
    host::AudioBuffer* buffer;    // the device's buffer
    host::AudioBuffer* buffer3d;  // the same buffer when the 3D path is on, else null
    WaveFile* file;               // null while no file is open
    WaveFormatEx* format;         // the buffer's format (owned)
    WaveChunk dataChunk;          // its size counts down as bytes are read
    WaveChunk riffChunk;
    int32_t loop;        // at the end of the data, go back to its start
    int32_t mode;        // SoundMode
    int32_t deferred;    // 3D settings applied in a batch (3D path) or by the per-tick update
    int32_t keep;        // not freed when it stops
    int32_t endHalf;     // -1, or the half (0 or 1) into which the end of the data was written
    int32_t nextHalf;    // the half to refill next
    int32_t lowMark;     // bytes: buffer / 8
    int32_t highMark;    // bytes: buffer / 2 + buffer / 8
    int32_t bufferBytes;
    int32_t bitsPerSample;
    int32_t refillCount;
    int32_t position[3];  // 16.16 world units; 0x80000000 in each until set
    int32_t velocity[3];
    int32_t minDistance;  // world units
    int32_t maxDistance;
    int32_t frequency;    // Hz; 0 = the buffer's own
    float volumeFactor;   // 1.0 when played
    WaveFormatEx* fileFormat;  // a one-shot's file format when it differs from the buffer's (converted)
    uint32_t serial;           // new each time the record is made or handed out for another sound
};

// A sound named by a sound rule (filled by LookupSound), kept by its owner.
struct SoundDesc {
    char file[64];  // wave file name relative to the sound folder
    int32_t minDistance;
    int32_t maxDistance;
    int32_t lowFrequency;
    int32_t highFrequency;
    int32_t unused;
    dxgl_SoundStreamBuffer* buffer;  // the sound playing it, set by PlaySampleFor
    uint32_t serial;                 // the buffer's serial when PlaySampleFor set it
};

// The sound a descriptor played, while it is still that sound: null once the sound was freed, even when
// a newer sound now lives at the same address or in the same reused streaming buffer.
dxgl_SoundStreamBuffer* dxgl_DescSound(const SoundDesc* desc);

// Device state.
extern int SoundReady;    // the device and all streaming buffers exist
extern int SoundEnabled;  // 1 at start
extern int SoundHardware3D;
extern float MasterVolumeCurrent, MasterVolumeTarget;
extern dxgl_SoundStreamBuffer* StreamList[kMaxStreamBuffers];
extern int StreamCount;
extern dxgl_SoundStreamBuffer* SampleList[kMaxSampleBuffers];
extern int SampleCount;
// The briefing's speech, played by the front end; freed when a level starts.
extern dxgl_SoundStreamBuffer* BriefingSpeech;

// The format of the 24 streaming buffers; called before dxgl_InitDS.
void dxgl_SetStreamFormat(int channels, int samplesPerSecond, int bits);
// Opens the device and the streaming buffers; sound stays off silently when the device cannot be had.
void dxgl_InitDS();
void dxgl_SetSoundFolder(const char* path);
void dxgl_EnableSound();
void dxgl_DisableSound();
void dxgl_SetMasterVolume(float current, float target);
float dxgl_GetMasterVolume();  // the target
void dxgl_SetSoundFactor(float f);  // the Doppler factor
float dxgl_GetSoundFactor();

// Plays a wave file of the sound folder; null when it cannot be played.
dxgl_SoundStreamBuffer* dxgl_PlaySample(const char* name, int mode, int loop, int deferred, int keep);
// Plays a descriptor's file and stores the buffer in the descriptor.
dxgl_SoundStreamBuffer* PlaySampleForEx(SoundDesc* desc, int mode, int loop, int deferred, int keep);
dxgl_SoundStreamBuffer* PlaySampleFor(SoundDesc* desc, int mode, int loop, int deferred);

void dxgl_SetSoundPosition(SoundDesc* desc, const int32_t position[3], const int32_t velocity[3], int pitch,
                           int headRelative);
void dxgl_Set3DSound(dxgl_SoundStreamBuffer* buffer, const int32_t position[3], const int32_t velocity[3],
                     int minDistance, int maxDistance, int frequency, int headRelative);
// The listener: position and velocity in 16.16 world units, orientation rows in 1.15.
void dxgl_SetListener(const int32_t position[3], const int32_t velocity[3], const int32_t orientation[3][3]);

// Once per world-tick call and once per menu frame: the master fade and the software model.
void dxgl_UpdateSoundVolumes(int ticks);
void dxgl_UpdateSound3D(dxgl_SoundStreamBuffer* buffer);
// Once per frame and inside every loading loop: refills the halves that have been played.
void dxgl_UpdateStreams();
int dxgl_FillStreamHalf(dxgl_SoundStreamBuffer* buffer, int half);

dxgl_SoundStreamBuffer* dxgl_LoadWave(const char* path);
dxgl_SoundStreamBuffer* dxgl_CreatePCMBuffer(int channels, int rate, int bits);
dxgl_SoundStreamBuffer* dxgl_CreateStreamBuffer(WaveFormatEx* format);
// Stops, unlists, closes the file, releases and frees; clears the caller's pointer.
void dxgl_FreeSound(dxgl_SoundStreamBuffer** buffer);

int dxgl_IsSoundPlaying(dxgl_SoundStreamBuffer* buffer);
int dxgl_GetPlayPosition(dxgl_SoundStreamBuffer* buffer);
int dxgl_IsSoundValid(dxgl_SoundStreamBuffer* buffer);  // 1 when listed (0 for null)
void dxgl_PauseAllSounds();
void dxgl_ReleaseAllSounds();
