#include "platform/Music.h"

#include <cstdio>
#include <string>

#include "core/Config.h"
#include "core/Memory.h"
#include "host/Fs.h"
#include "host/Media.h"
#include "host/Window.h"

int VideoPlaying = 0;
int VideoContinue = 0;
int MusicPlaying = 0;
int MusicLoop = 0;
char MusicPath[260] = "";
host::MediaSource* MusicSource = nullptr;

namespace {

bool g_graph = false;
int g_graphVolume = 0;                      // hundredths of a decibel, for every source of the graph
host::MediaSource* g_movieSource = nullptr;  // the last movie stays in the graph until it is released

}  // namespace

void InitDirectShow() {
    g_graph = true;
    MusicPlaying = 0;
}

void ReleaseDirectShow() {
    StopBgdMusic();
    host::CloseMediaSource(MusicSource);
    MusicSource = nullptr;
    host::CloseMediaSource(g_movieSource);
    g_movieSource = nullptr;
    g_graph = false;
}

void OpenBgdMusic(const char* path, int loop) {
    if (!g_graph) return;
    host::MediaSource* source = host::OpenMediaSource(host::ResolvePath(path ? path : "").c_str());
    if (!source) FatalError("Error (OpenBgdMusic): Failed to add source filter");
    // The graph stops and the previous piece is dropped from it.
    if (MusicSource) host::StopMedia(MusicSource);
    host::CloseMediaSource(MusicSource);
    MusicSource = nullptr;
    if (!host::RenderMediaAudio(source)) {
        // A piece that cannot be played switches background music off.
        use_bgdmusic = 0;
        host::CloseMediaSource(source);
        return;
    }
    MusicSource = source;
    if (!host::SeekMediaStart(source)) FatalError("Error (OpenBgdMusic): Failed to set position");
    host::RunMedia(source);
    SetBgdMusicVolume(music_volume);
    snprintf(MusicPath, sizeof MusicPath, "%s", path ? path : "");
    MusicLoop = loop;
    MusicPlaying = 1;
}

void HandleBgdMusic() {
    if (!g_graph || !MusicSource) return;
    if (host::TakeMediaCompletion(MusicSource) && MusicLoop) {
        if (!host::SeekMediaStart(MusicSource)) FatalError("Error (HandleBgdMusic): Failed to set position");
        host::StopMedia(MusicSource);
        host::RunMedia(MusicSource);
    }
}

void StopBgdMusic() {
    if (!MusicPlaying) return;
    host::StopMedia(MusicSource);
    MusicPlaying = 0;
}

void SetBgdMusicVolume(float v) {
    if (!g_graph) return;
    g_graphVolume = v == 0.0f ? -10000 : static_cast<int>(v * 4000.0f + 6000.0f - 10000.0f);
    host::SetMediaVolume(MusicSource, g_graphVolume);
    host::SetMediaVolume(g_movieSource, g_graphVolume);
}

void PlayVideo(const char* path) {
    if (!g_graph) return;
    host::CloseMediaSource(g_movieSource);
    g_movieSource = nullptr;
    host::MediaSource* movie = host::OpenMediaSource(host::ResolvePath(path ? path : "").c_str());
    if (!movie) return;
    // Pictures that cannot be decoded end it here; sound that cannot be decoded is left out.
    bool video = host::RenderMediaVideo(movie);
    bool audio = host::RenderMediaAudio(movie);
    if ((host::MediaHasVideoStream(movie) && !video) || (!video && !audio)) {
        host::CloseMediaSource(movie);
        return;
    }
    g_movieSource = movie;
    host::SetMediaVolume(movie, g_graphVolume);
    host::StopMedia(movie);
    host::RunMedia(movie);
    VideoPlaying = 1;
    if (SetFullscreen() != 0) FatalError("Error (PlayVideo): Failed to set fullscreen");
    VideoContinue = 1;
    while (VideoContinue) {
        // The end of the stream is the completion event, so a movie always ends.
        if (host::TakeMediaCompletion(movie)) {
            VideoContinue = 0;
        } else {
            host::WaitMedia(movie, 100);
        }
        if (host::HasWindow()) host::PumpEvents();
        // Closing the window ends the movie too.
        if (host::QuitRequested()) VideoContinue = 0;
    }
    host::StopMedia(movie);
    VideoPlaying = 0;
}

int SetFullscreen() {
    // The movie already fills the program window, which is the whole screen in full-screen mode.
    return 0;
}
