// What the bench's tests read on their own side: PNG files read back through WIC's decoder, the
// bench's WAV output checked against the format it promises.
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
::testing::AssertionResult decode_png(const std::vector<uint8_t> &png, Pixels &pixels);

// The samples (-1..1) of a WAV file that must be 22050 Hz, 16-bit, mono PCM with a 44-byte header
// whose sizes match the file.
::testing::AssertionResult read_mono_wav(const std::vector<uint8_t> &wav, std::vector<float> &samples);

}  // namespace test_support
