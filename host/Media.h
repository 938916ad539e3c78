// Music pieces and movies decoded with FFmpeg's libraries. A media source is one opened file: its
// sound is decoded into the mixer of host/Audio.h, its pictures (movies) are shown in the window, or,
// headless, decoded and dropped at their frame rate on the game clock. The end of the stream is
// reported once as a completion event, which the caller takes when it polls.
#pragma once

namespace host {

struct MediaSource;

// Opens a file and reads its stream headers; null when it cannot be opened as media.
MediaSource* OpenMediaSource(const char* path);
// Stops and closes a source (null is ignored).
void CloseMediaSource(MediaSource* source);

// Prepares the sound for the mixer: false when the file has no sound that can be decoded or the sound
// output is closed.
bool RenderMediaAudio(MediaSource* source);
// Prepares the pictures: false when the file has no picture stream that can be decoded.
bool RenderMediaVideo(MediaSource* source);
bool MediaHasVideoStream(MediaSource* source);

// Starts or resumes playing; stops (the position is kept).
void RunMedia(MediaSource* source);
void StopMedia(MediaSource* source);
// Goes back to the start of the stream. False when that is not possible.
bool SeekMediaStart(MediaSource* source);
// Volume of the source's sound in hundredths of a decibel (-10000 silence, 0 full).
void SetMediaVolume(MediaSource* source, int hundredthsDb);
// True once, when the source has played to its end (sound and pictures).
bool TakeMediaCompletion(MediaSource* source);

// Waits about `milliseconds` while the movie's pictures that come due are shown. Headless: the game
// clock moves on by that time, the pictures due are decoded and dropped, and the input script's due
// events are applied.
void WaitMedia(MediaSource* source, int milliseconds);

// Return (13), Escape (27) and Space (32) pressed in the window, or by the input script, reach the
// handler as these key codes, so that a playing movie can be stopped.
using MovieKeyHandler = void (*)(int virtualKey);
void SetMovieKeyHandler(MovieKeyHandler handler);
// Delivers a key to the handler, as a press in the window would.
void PressMovieKey(int virtualKey);

}  // namespace host
