// Wave files: the format and data chunks of good, truncated, foreign and oversized files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Memory.h"
#include "platform/Wave.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Wav.h"

namespace {

std::string TempPath(const std::string& name) {
    const char* dir = getenv("KV_TEST_TMP");
    std::string d = dir ? dir : "/tmp";
    datakit::MakeDirs(d + "/wave");
    return d + "/wave/" + name;
}

std::vector<uint8_t> Ramp(int n) {
    std::vector<uint8_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7 + 3);
    return v;
}

void PutU32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

class WaveTest : public ::testing::Test {
protected:
    void SetUp() override { MemCheck_init(256, 1); }
    void TearDown() override {
        EXPECT_EQ(MemCheck->count, 0) << "a format block was left allocated";
        MemCheck_exit();
    }
};

TEST_F(WaveTest, OpenReportsEachKindOfFile) {
    datakit::WavFormat pcm;
    datakit::WavFormat adpcm;
    adpcm.formatTag = 2;
    adpcm.bits = 4;
    adpcm.extra = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    std::vector<uint8_t> good = datakit::BuildWav(pcm, Ramp(100));

    std::vector<uint8_t> notRiff = good;
    memcpy(notRiff.data(), "RIFX", 4);
    std::vector<uint8_t> notWave = good;
    memcpy(notWave.data() + 8, "AVI ", 4);
    std::vector<uint8_t> shortFmt = good;
    PutU32(shortFmt, 16, 14);  // a format chunk of 14 bytes
    std::vector<uint8_t> cutInFormat(good.begin(), good.begin() + 30);
    std::vector<uint8_t> noFormat = good;
    memcpy(noFormat.data() + 12, "junk", 4);
    std::vector<uint8_t> extraTooBig = datakit::BuildWav(adpcm, Ramp(10));
    extraTooBig[36] = 200;  // the extra-size word claims more than the format chunk holds

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int error;
        uint16_t extraSize;
    };
    const Case cases[] = {
        {"good", good, 0, 0},
        {"good with other chunks", datakit::BuildWav(pcm, Ramp(100), {true, true}), 0, 0},
        {"non-PCM keeps its extra bytes", datakit::BuildWav(adpcm, Ramp(64)), 0, 32},
        {"empty", {}, kWaveErrNotWave, 0},
        {"not RIFF", notRiff, kWaveErrNotWave, 0},
        {"not WAVE", notWave, kWaveErrNotWave, 0},
        {"format under 16 bytes", shortFmt, kWaveErrNotWave, 0},
        {"truncated in the format", cutInFormat, kWaveErrShortFormat, 0},
        {"no format chunk", noFormat, kWaveErrChunkNotFound, 0},
        {"extra size beyond the chunk", extraTooBig, kWaveErrShortFormat, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = TempPath("open.wav");
        ASSERT_TRUE(datakit::WriteFile(path, c.bytes));
        WaveFile* file = reinterpret_cast<WaveFile*>(1);
        WaveFormatEx* format = reinterpret_cast<WaveFormatEx*>(1);
        WaveChunk riff{};
        EXPECT_EQ(WaveOpen(path.c_str(), &file, &format, &riff), c.error);
        if (c.error) {
            EXPECT_EQ(file, nullptr);
            EXPECT_EQ(format, nullptr);
            continue;
        }
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->extraSize, c.extraSize);
        EXPECT_EQ(MemCheck->entries[0].size, 18 + c.extraSize);
        EXPECT_STREQ(MemCheck->entries[0].purpose, "wave_alloc");
        if (c.extraSize) {
            EXPECT_EQ(WaveExtraBytes(format)[31], 32);
        }
        WaveClose(&file, &format);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(format, nullptr);
    }

    WaveFile* file;
    WaveFormatEx* format;
    WaveChunk riff;
    EXPECT_EQ(WaveOpen(TempPath("missing.wav").c_str(), &file, &format, &riff), kWaveErrOpen);
}

TEST_F(WaveTest, FormatFieldsAreReadLittleEndian) {
    datakit::WavFormat f;
    f.channels = 2;
    f.rate = 44100;
    f.bits = 8;
    std::string path = TempPath("fields.wav");
    ASSERT_TRUE(datakit::WriteFile(path, datakit::BuildWav(f, Ramp(40), {true, false})));
    WaveFile* file;
    WaveFormatEx* format;
    WaveChunk riff;
    ASSERT_EQ(WaveOpen(path.c_str(), &file, &format, &riff), 0);
    EXPECT_EQ(format->formatTag, kWaveFormatPcm);
    EXPECT_EQ(format->channels, 2);
    EXPECT_EQ(format->samplesPerSec, 44100u);
    EXPECT_EQ(format->avgBytesPerSec, 88200u);
    EXPECT_EQ(format->blockAlign, 2);
    EXPECT_EQ(format->bitsPerSample, 8);
    WaveClose(&file, &format);
}

TEST_F(WaveTest, DataIsReadInPiecesAndCountedOffTheChunk) {
    struct Case {
        const char* name;
        int dataBytes;
        uint32_t claimedData;  // 0: as written
        bool cutFile;          // the file ends 20 bytes into the data
        int expectBytes;
    };
    const Case cases[] = {
        {"whole", 100, 0, false, 100},
        {"odd size", 77, 0, false, 77},
        {"data claims more than the file", 100, 1 << 20, false, 100},
        {"file cut inside the data", 100, 0, true, 20},
        {"empty data", 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> data = Ramp(c.dataBytes);
        std::vector<uint8_t> bytes = datakit::BuildWav({}, data, {false, true});
        size_t dataAt = bytes.size() - data.size() - (data.size() & 1);
        if (c.claimedData) PutU32(bytes, dataAt - 4, c.claimedData);
        if (c.cutFile) bytes.resize(dataAt + 20);
        std::string path = TempPath("data.wav");
        ASSERT_TRUE(datakit::WriteFile(path, bytes));

        WaveFile* file;
        WaveFormatEx* format;
        WaveChunk riff, chunk;
        ASSERT_EQ(WaveOpen(path.c_str(), &file, &format, &riff), 0);
        for (int pass = 0; pass < 2; ++pass) {  // the second pass finds the data again, as a loop does
            ASSERT_EQ(WaveFindData(&file, &chunk, &riff), 0);
            EXPECT_EQ(chunk.dataOffset, dataAt);
            std::vector<uint8_t> got;
            uint8_t piece[30];
            int read = 0;
            do {
                ASSERT_EQ(WaveRead(file, 30, piece, &chunk, &read), 0);
                got.insert(got.end(), piece, piece + read);
            } while (read == 30);
            EXPECT_EQ(static_cast<int>(got.size()), c.expectBytes);
            EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
            EXPECT_EQ(chunk.size, 0u);
        }
        WaveClose(&file, &format);
    }
}

TEST_F(WaveTest, MissingDataChunkIsReported) {
    std::vector<uint8_t> bytes = datakit::BuildWav({}, Ramp(10));
    memcpy(bytes.data() + 36, "dat_", 4);
    std::string path = TempPath("nodata.wav");
    ASSERT_TRUE(datakit::WriteFile(path, bytes));
    WaveFile* file;
    WaveFormatEx* format;
    WaveChunk riff, chunk;
    ASSERT_EQ(WaveOpen(path.c_str(), &file, &format, &riff), 0);
    EXPECT_EQ(WaveFindData(&file, &chunk, &riff), kWaveErrChunkNotFound);
    WaveClose(&file, &format);
}

}  // namespace
