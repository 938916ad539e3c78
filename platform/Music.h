// Background music and full-screen movies through one media graph: music pieces loop by going back to
// their start when they end; movies play in a loop of their own until they end or a key stops them.
#pragma once

namespace host {
struct MediaSource;
}

extern int VideoPlaying;   // set while a movie plays
extern int VideoContinue;  // cleared (by Return, Escape or Space) to stop the movie
extern int MusicPlaying;
extern int MusicLoop;
extern char MusicPath[260];
extern host::MediaSource* MusicSource;  // the current piece (the previous one is dropped when the next opens)

// Creates the media graph; music and video do nothing without it.
void InitDirectShow();
// Stops the music and releases the graph with every source in it.
void ReleaseDirectShow();
// Opens and starts a music piece, replacing the one that plays.
void OpenBgdMusic(const char* path, int loop);
// Once per frame in every loop: restarts a looping piece that has ended.
void HandleBgdMusic();
void StopBgdMusic();
// v = 0..1: 0 is silence, otherwise -4000 x (1 - v) hundredths of a decibel.
void SetBgdMusicVolume(float v);
// Plays a movie until it ends or a key stops it.
void PlayVideo(const char* path);
// Switches the movie between the whole screen and the program window; 0.
int SetFullscreen();
