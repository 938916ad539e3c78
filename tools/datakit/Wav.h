// RIFF WAVE files: PCM samples (and, for tests, other format tags and extra chunks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

struct WavFormat {
    uint16_t formatTag = 1;  // 1: PCM
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    std::vector<uint8_t> extra;  // format extra bytes (written with their size word when the tag is not PCM)
};

struct WavOptions {
    bool junkBeforeFormat = false;  // a "LIST" chunk of odd size before "fmt " (tests the chunk walk)
    bool junkBeforeData = false;    // a "fact" chunk between "fmt " and "data"
};

// A whole WAVE file around the given sample bytes.
std::vector<uint8_t> BuildWav(const WavFormat& format, const std::vector<uint8_t>& samples,
                              const WavOptions& options = {});
// 16-bit PCM samples as little-endian bytes.
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples);
// Writes a 16-bit PCM file (interleaved when channels is 2).
bool WriteWav(const std::string& path, int channels, int rate, const std::vector<int16_t>& samples);

}  // namespace datakit
