// The sound output: a mixer of secondary buffers with the behaviour the game's sound layer expects of
// them (a ring of PCM bytes that plays at its own frequency, with volume in hundredths of a decibel,
// pan, looping, a play cursor, lock and refill, status, and an optional 3D path with a listener), mixed
// into one output of 16-bit stereo frames.
//
// With a window the output goes to the SDL2 audio device. Headless, a null device mixes the same way
// but advances with the game clock (host/Clock.h), so a headless run hears "in time" with its frames,
// and the mixed output can be captured and read back.
#pragma once

#include <cstdint>
#include <vector>

namespace host {

struct AudioBuffer;  // one secondary buffer; opaque

// Status bits of a buffer.
constexpr uint32_t kAudioPlaying = 0x1;
constexpr uint32_t kAudioLooping = 0x4;

// Volume range in hundredths of a decibel: -10000 is silence, 0 is the buffer's full level.
constexpr int kAudioVolumeMin = -10000;
constexpr int kAudioVolumeMax = 0;
// Pan range: -10000 is full left, 10000 full right.
constexpr int kAudioPanLeft = -10000;
constexpr int kAudioPanRight = 10000;

// Opens the output at the given format (only 16-bit stereo is mixed; other formats are refused).
// Headless runs get the null device. False when no output could be opened. The output is shared (the
// sound buffers, music and movies): each successful open is matched by one close.
bool OpenAudio(int channels, int samplesPerSecond, int bitsPerSample);
// The last close releases every buffer and closes the output.
void CloseAudio();
bool IsAudioOpen();
bool IsNullAudio();
int AudioOutputRate();

// A buffer of `bytes` bytes of PCM (1 or 2 channels, 8-bit unsigned or 16-bit signed, 100..200000 Hz).
// positional3d: the buffer's volume and pan follow its 3D parameters and the listener instead of
// SetAudioVolume/SetAudioPan. Null when the output is closed or the format is not playable. The bytes
// start as silence.
AudioBuffer* CreateAudioBuffer(int channels, int samplesPerSecond, int bitsPerSample, int bytes,
                               bool positional3d);
// Stops and frees a buffer (null is ignored).
void ReleaseAudioBuffer(AudioBuffer* buffer);

// Starts playing from the current cursor; a looping buffer wraps at its end, any other stops there.
void PlayAudioBuffer(AudioBuffer* buffer, bool looping);
void StopAudioBuffer(AudioBuffer* buffer);
uint32_t AudioBufferStatus(AudioBuffer* buffer);
// The play cursor in bytes from the buffer's start (a multiple of the block size).
int GetAudioPlayCursor(AudioBuffer* buffer);
void SetAudioPlayCursor(AudioBuffer* buffer, int byteOffset);

void SetAudioVolume(AudioBuffer* buffer, int hundredthsDb);  // clamped to the range above
int GetAudioVolume(AudioBuffer* buffer);
void SetAudioPan(AudioBuffer* buffer, int pan);  // clamped to the range above
int GetAudioPan(AudioBuffer* buffer);
// Playback frequency in Hz (resampled to the output); 0 goes back to the buffer's own rate.
void SetAudioFrequency(AudioBuffer* buffer, int hz);
int GetAudioFrequency(AudioBuffer* buffer);

// Gives write access to `bytes` bytes from `offset`; the region may wrap round the buffer's end, in
// which case the second part starts at the buffer's beginning (ptr2/bytes2 are 0 otherwise). False
// when the range is not within the buffer.
bool LockAudioBuffer(AudioBuffer* buffer, int offset, int bytes, void** ptr1, int* bytes1, void** ptr2,
                     int* bytes2);
void UnlockAudioBuffer(AudioBuffer* buffer);
int AudioBufferBytes(AudioBuffer* buffer);

// 3D parameters of a positional buffer: float world coordinates, as the sound layer hands them.
struct Audio3DParams {
    float position[3];
    float velocity[3];
    float minDistance;  // full level within this distance
    float maxDistance;  // silent beyond this distance
    bool headRelative;  // position is relative to the listener
};
struct AudioListener {
    float position[3];
    float velocity[3];
    float front[3];
    float top[3];
    float distanceFactor;
    float rolloffFactor;
    float dopplerFactor;
};
// Deferred settings wait for CommitAudioDeferred; others apply at once.
void SetAudio3D(AudioBuffer* buffer, const Audio3DParams& params, bool deferred);
void SetAudioListener(const AudioListener& listener, bool deferred);
void CommitAudioDeferred();

// A stream mixed into the output after the buffers (music, a movie's sound): the callback adds
// `frames` stereo frames at the output rate into `mix` (interleaved left/right floats in the 16-bit
// range). It runs under the mixer's lock (on the audio thread when a device plays): it must not call
// the functions of this header.
using AudioPull = void (*)(void* user, float* mix, int frames);
int AddAudioSource(AudioPull pull, void* user);  // returns an id > 0, or 0 when the output is closed
void RemoveAudioSource(int id);

// Null device: mixes up to the present time of the game clock (every function above does this first).
void UpdateAudio();
// Null device: while capture is on, every mixed frame is kept (the most recent minute at most).
void CaptureAudioOutput(bool on);
// Hands out the captured frames (interleaved left/right) and forgets them.
std::vector<int16_t> TakeAudioOutput();

}  // namespace host
