#include "tools/datakit/Wav.h"

#include "tools/datakit/Bytes.h"

namespace datakit {

std::vector<uint8_t> BuildWav(const WavFormat& format, const std::vector<uint8_t>& samples,
                              const WavOptions& options) {
    Bytes b;
    b.text("RIFF");
    b.u32(0);  // patched below
    b.text("WAVE");
    if (options.junkBeforeFormat) {
        b.text("LIST");
        b.u32(5);
        b.text("INFOx");
        b.u8(0);  // pad to an even size
    }
    bool pcm = format.formatTag == 1;
    b.text("fmt ");
    b.u32(pcm ? 16 : static_cast<uint32_t>(18 + format.extra.size()));
    uint16_t block = static_cast<uint16_t>(format.channels * format.bits / 8);
    b.u16(format.formatTag);
    b.u16(format.channels);
    b.u32(format.rate);
    b.u32(format.rate * block);
    b.u16(block);
    b.u16(format.bits);
    if (!pcm) {
        b.u16(static_cast<uint16_t>(format.extra.size()));
        b.raw(format.extra.data(), format.extra.size());
    }
    if (options.junkBeforeData) {
        b.text("fact");
        b.u32(4);
        b.u32(static_cast<uint32_t>(samples.size() / (block ? block : 1)));
    }
    b.text("data");
    b.u32(static_cast<uint32_t>(samples.size()));
    b.raw(samples.data(), samples.size());
    if (samples.size() & 1) b.u8(0);
    b.patchU32(4, static_cast<uint32_t>(b.size() - 8));
    return b.data();
}

std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples) {
    Bytes b;
    for (int16_t s : samples) b.i16(s);
    return b.data();
}

bool WriteWav(const std::string& path, int channels, int rate, const std::vector<int16_t>& samples) {
    WavFormat f;
    f.channels = static_cast<uint16_t>(channels);
    f.rate = static_cast<uint32_t>(rate);
    f.bits = 16;
    return WriteFile(path, BuildWav(f, PcmBytes(samples)));
}

}  // namespace datakit
