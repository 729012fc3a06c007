// The bench's writers and readers on their own: PNG checksums (the whole PNG is read back in
// test_bench_run), WAV conversion of every supported input format and the refusal of the
// others, and the text timeline's folding of repeated calls. The mixer is checked end to end
// on the demo's audio in test_bench_run.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "png_writer.h"
#include "timeline.h"
#include "wav_audio.h"

using namespace bench;

namespace {

std::vector<uint8_t> bytes_of(const char *text)
{
    return std::vector<uint8_t>(text, text + strlen(text));
}

TEST(BenchPng, ChecksumsMatchKnownValues)
{
    std::vector<uint8_t> iend = bytes_of("IEND");
    EXPECT_EQ(crc32(iend.data(), iend.size()), 0xAE426082u);  // every PNG's last four bytes
    std::vector<uint8_t> check = bytes_of("123456789");
    EXPECT_EQ(crc32(check.data(), check.size()), 0xCBF43926u);
    std::vector<uint8_t> wiki = bytes_of("Wikipedia");
    EXPECT_EQ(adler32(wiki.data(), wiki.size()), 0x11E60398u);
}

// A square wave of `frames` frames, +0.5 then -0.5 full scale, in the given format.
std::vector<uint8_t> square_wav(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames)
{
    std::vector<uint8_t> data;
    for (size_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c) {
            bool high = (i / 10) % 2 == 0;
            if (bits == 8) {
                data.push_back(high ? 192 : 64);
            } else {
                int16_t value = high ? 16384 : -16384;
                data.push_back((uint8_t)value);
                data.push_back((uint8_t)(value >> 8));
            }
        }
    return wav_bytes(rate, channels, bits, data);
}

TEST(BenchWav, ConvertsEveryCommonFormatToOneRate)
{
    struct Case {
        uint32_t rate;
        uint16_t channels, bits;
    };
    const Case cases[] = {
        {22050, 1, 16}, {44100, 2, 16}, {11025, 1, 8}, {11025, 2, 8}, {8000, 1, 16}, {48000, 2, 8},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(std::to_string(row.rate) + " Hz, " + std::to_string(row.channels) + " channel(s), " +
                     std::to_string(row.bits) + " bit");
        size_t frames = row.rate / 2;  // half a second
        std::vector<float> mono;
        std::string error;
        ASSERT_TRUE(decode_wav(square_wav(row.rate, row.channels, row.bits, frames), mono, error)) << error;
        EXPECT_NEAR((double)mono.size(), AUDIO_RATE / 2.0, 1.0);
        EXPECT_NEAR(mono[0], 0.5, 0.01);
        float low = 1, high = -1;
        for (float sample : mono) {
            low = std::min(low, sample);
            high = std::max(high, sample);
        }
        EXPECT_NEAR(low, -0.5, 0.01);
        EXPECT_NEAR(high, 0.5, 0.01);
    }
}

TEST(BenchWav, RefusesWhatItCannotPlay)
{
    std::vector<uint8_t> float_wav = square_wav(22050, 1, 16, 100);
    float_wav[20] = 3;  // format tag: IEEE float
    std::vector<uint8_t> no_data = square_wav(22050, 1, 16, 100);
    memcpy(&no_data[36], "junk", 4);
    std::vector<uint8_t> stereo24 = square_wav(22050, 1, 16, 100);
    stereo24[34] = 24;
    std::vector<uint8_t> three = square_wav(22050, 1, 16, 100);
    three[22] = 3;
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        const char *error;
    };
    const Case cases[] = {
        {"text", bytes_of("hello, this is not audio"), "not a RIFF WAVE file"},
        {"float", float_wav, "not PCM (format tag 3)"},
        {"24-bit", stereo24, "24-bit samples (8 or 16 bit only)"},
        {"3 channels", three, "3 channels (mono or stereo only)"},
        {"no data", no_data, "no data chunk"},
    };
    for (const Case &row : cases) {
        std::vector<float> mono;
        std::string error;
        EXPECT_FALSE(decode_wav(row.bytes, mono, error)) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
    }
}

TEST(BenchWav, EncodedOutputReadsBack)
{
    std::vector<float> mono = {0.0f, 0.25f, -0.25f, 1.5f, -1.5f};
    std::vector<float> back;
    std::string error;
    ASSERT_TRUE(decode_wav(encode_wav(mono), back, error)) << error;
    ASSERT_EQ(back.size(), mono.size());
    const float expected[] = {0.0f, 0.25f, -0.25f, 1.0f, -1.0f};  // clipped to full scale
    for (size_t i = 0; i < back.size(); ++i)
        EXPECT_NEAR(back[i], expected[i], 0.001) << "sample " << i;
}

TEST(BenchTimeline, TextFoldsRepeatedCallsThatChangeNothing)
{
    FILE *file = tmpfile();
    ASSERT_TRUE(file);
    TimelineWriter writer(file, false, false);
    auto stop = [](uint32_t cycle, const char *effect) {
        TimelineEvent event;
        event.kind = EventKind::Sound;
        event.cycle = cycle;
        event.time = cycle / 18.0;
        event.gauge = "G";
        event.instance = 1;
        event.phase = "update";
        event.call = "stop";
        event.name = "SPBR";
        event.effect = effect;
        return event;
    };
    // Cycles 0-4 repeat a stop that changes nothing; cycle 5 has none; cycle 6 starts again.
    for (uint32_t cycle = 0; cycle < 5; ++cycle)
        writer.write_step(cycle, {stop(cycle, "not playing")});
    writer.write_step(5, {});
    writer.write_step(6, {stop(6, "not playing")});
    writer.write_step(7, {stop(7, "not playing")});
    writer.finish();
    rewind(file);
    std::vector<std::string> lines;
    char line[512];
    while (fgets(line, sizeof line, file))
        lines.push_back(line);
    fclose(file);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[1].find("     0  sound    G[1] update: stop(\"SPBR\") -> not playing"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("     4  sound"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("[the same on every cycle to here: 4 more]"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("     6  sound"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find(": 1 more]"), std::string::npos) << lines[4];
}

}  // namespace
