// Music pieces and movies in the era's formats, encoded with FFmpeg's libraries: MPEG-1 layer II audio
// for music, and MPEG-1 video with layer II audio in an MPEG-1 system stream for movies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace datakit {

// Writes interleaved stereo 16-bit samples as an MPEG audio layer II file. False on failure.
bool EncodeMusic(const std::string& path, const std::vector<int16_t>& stereo, int rate);

// One movie frame as 8-bit RGB, width x height x 3 bytes, drawn by the caller.
using MovieFrameFn = std::function<void(int frame, int width, int height, uint8_t* rgb)>;

// Writes a movie of `frames` pictures (width and height multiples of 16) at `fps`, with the given
// stereo sound at `rate` (none when empty). False on failure.
bool EncodeMovie(const std::string& path, int width, int height, int fps, int frames, const MovieFrameFn& draw,
                 const std::vector<int16_t>& stereo, int rate);

}  // namespace datakit
