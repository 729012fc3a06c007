// What the tests read and write on their own side: PNG files read back through WIC's decoder, the
// bench's WAV output checked against the format it promises, and WAV files built chunk by chunk.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace test_support {

struct Pixels {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;  // rows top to bottom
    uint32_t at(int x, int y) const
    {
        const uint8_t *p = &rgb[((size_t)y * width + x) * 3];
        return (p[0] << 16) | (p[1] << 8) | p[2];
    }
};

// A PNG file's pixels as 8-bit RGB, through the Windows Imaging Component's PNG decoder.
::testing::AssertionResult decode_png(const std::string &png, Pixels &pixels);

// The samples (-1..1) of a WAV file that must be 22050 Hz, 16-bit, mono PCM with a 44-byte header
// whose sizes match the file.
::testing::AssertionResult read_mono_wav(const std::string &wav, std::vector<float> &samples);

// ---- WAV files built here, sound or broken on purpose.
// The low `size` bytes of `value`, least significant first.
void put_le(std::vector<uint8_t> &bytes, uint32_t value, int size);
// A format chunk's body up to the bits field (no cbSize); the bytes a second and the block
// align are linear PCM's when not given.
std::vector<uint8_t> wave_format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t per_second = 0,
                                 uint16_t align = 0);
struct Chunk {
    const char *id;
    std::vector<uint8_t> body;
    int64_t size_field = -1;  // -1: the body's size
    bool pad = true;
};
// A RIFF WAVE file of the chunks in order, its RIFF size right, cut after `keep` bytes.
std::vector<uint8_t> riff(const std::vector<Chunk> &chunks, size_t keep = SIZE_MAX);
// The usual file: a format chunk, then the data.
std::vector<uint8_t> plain(const std::vector<uint8_t> &format, const std::vector<uint8_t> &data);

}  // namespace test_support
