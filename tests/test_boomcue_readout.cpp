// The readout of VQT7_Boomcue over every frequency word the host can hand it: the text the host
// gets back and whether the cue plays or re-arms, against a model built here from the readout's
// description; the host's poisoned buffer shows how many bytes the module wrote.
#include "test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>

using namespace panel_host;
using namespace test_support;

namespace {

const uint32_t FREQUENCY_TOKEN = 870;
const uint64_t PROBE = 0x2400;   // 124.00: plays exactly when the cue is armed
const uint64_t ARMING = 0x9999;  // 199.99: re-arms and never plays
const size_t MAX_TEXT = 8;       // "11515.15"

typedef int(__cdecl *CRT_SPRINTF)(char *, const char *, ...);

// The module prints with msvcrt's sprintf, so the model does too: msvcrt rounds an exact half
// away from zero (100.125 prints 100.13) where this program's own printf rounds it to even.
CRT_SPRINTF crt_sprintf()
{
    static CRT_SPRINTF entry = (CRT_SPRINTF)(void *)GetProcAddress(LoadLibraryA("msvcrt.dll"), "sprintf");
    return entry;
}

// What the description says the readout does with one value, written without the module.
struct Expected {
    std::string digits;  // the four nibbles as 1xx.xx
    std::string text;    // what the host should read back
    bool rearms;
    bool in_window;
    bool valid_bcd;
};

Expected model(uint64_t value)
{
    uint32_t v = (uint32_t)value;  // the low 32 bits of the 8-byte value
    unsigned nibbles[4] = {(v >> 12) & 0xF, (v >> 8) & 0xF, (v >> 4) & 0xF, v & 0xF};
    char digits[32];
    snprintf(digits, sizeof digits, "1%u%u.%u%u", nibbles[0], nibbles[1], nibbles[2], nibbles[3]);
    // Through memory, so that x87 code cannot keep the converted value wider than a float.
    volatile float rounded = (float)strtod(digits, nullptr);
    double f = rounded;
    char text[32];
    crt_sprintf()(text, "%.2f", f);
    Expected expected;
    expected.digits = digits;
    expected.text = text;
    expected.rearms = f > 124.05;
    expected.in_window = f > 123.99 && f < 124.01;
    expected.valid_bcd = nibbles[0] <= 9 && nibbles[1] <= 9 && nibbles[2] <= 9 && nibbles[3] <= 9;
    return expected;
}

std::string hex(uint64_t value)
{
    char text[24];
    snprintf(text, sizeof text, "0x%llX", (unsigned long long)value);
    return text;
}

// A loaded gauge driven one host update at a time, checked against the model with the latch
// tracked alongside. Reports only the first few mismatches: a systematic fault would otherwise
// print a line for each of 65,536 values.
class ReadoutRun {
public:
    ReadoutRun() : loaded_(BOOMCUE_FILE), gauge_(loaded_.instance())
    {
        initialize(gauge_);
        draw(gauge_);  // use up the first-draw re-arm: the cue is armed from here on
    }
    ~ReadoutRun() { kill(gauge_); }

    void step(uint64_t value, const Expected &expected)
    {
        call_gauge(gauge_, PANEL_SERVICE_PRE_UPDATE);
        set_var_bits(FREQUENCY_TOKEN, value);
        uint32_t mark = sound_mark();
        StringElement &string = gauge_.strings.at(0);
        double result = update_string(gauge_, string);
        bool played = sound_mark() != mark;

        if (expected.rearms)
            armed_ = true;
        bool should_play = armed_ && expected.in_window;
        if (should_play)
            armed_ = false;

        std::string problem;
        if (played != should_play)
            problem += should_play ? " no cue where it should play;" : " a cue where none should play;";
        if (string.text != expected.text)
            problem += " text \"" + string.text + "\", expected \"" + expected.text + "\";";
        if (expected.valid_bcd && string.text != expected.digits)
            problem += " text differs from the BCD digits " + expected.digits + ";";
        size_t length = strnlen(string.buffer, sizeof string.buffer);
        if (length > MAX_TEXT)
            problem += " " + std::to_string(length) + " characters;";
        for (size_t i = length + 1; i < sizeof string.buffer; ++i)
            if ((uint8_t)string.buffer[i] != TEXT_POISON) {
                problem += " wrote byte " + std::to_string(i) + " after the terminator;";
                break;
            }
        if (result != 0.0 || std::signbit(result))
            problem += " result " + std::to_string(result) + ";";
        if (!problem.empty() && ++failures_ <= 20)
            ADD_FAILURE() << "value " << hex(value) << " (" << expected.digits << "):" << problem;
        ++steps_;
    }

    // The cue's whole story for one value: from an armed latch (does it play?), then from a
    // disarmed one (does it re-arm?), then armed again for the next value.
    void check_value(uint64_t value)
    {
        Expected expected = model(value);
        step(value, expected);
        step(PROBE, probe_);
        step(value, expected);
        step(PROBE, probe_);
        step(ARMING, arming_);
    }

    int failures() const { return failures_; }
    int steps() const { return steps_; }

private:
    LoadedModule loaded_;
    Instance gauge_;
    bool armed_ = true;
    int failures_ = 0;
    int steps_ = 0;
    const Expected probe_ = model(PROBE);
    const Expected arming_ = model(ARMING);
};

class ReadoutTest : public HostTest {};

TEST_F(ReadoutTest, ModelAgreesWithTheDescription)
{
    // Sanity of the model itself, so that agreement with it means something: only 124.00 is
    // in the window, 124.05 is the lowest valid frequency that re-arms, and valid BCD reads
    // back as its digits.
    int in_window = 0, lowest_valid_rearm = -1;
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
        Expected expected = model(v);
        in_window += expected.in_window;
        if (expected.in_window)
            EXPECT_EQ(v, 0x2400u);
        if (expected.valid_bcd && expected.rearms && lowest_valid_rearm < 0)
            lowest_valid_rearm = (int)v;
        if (expected.valid_bcd)
            ASSERT_EQ(expected.text, expected.digits) << hex(v);
    }
    EXPECT_EQ(in_window, 1);
    EXPECT_EQ(lowest_valid_rearm, 0x2405);
    EXPECT_EQ(model(0x2A00).text, "1210.00");
    EXPECT_TRUE(model(0x2A00).rearms);
    EXPECT_EQ(model(0xFFFF).text, "11515.15");
}

TEST_F(ReadoutTest, EveryLowSixteenBitValueMatchesTheModel)
{
    ReadoutRun run;
    for (uint64_t v = 0; v <= 0xFFFF; ++v)
        run.check_value(v);
    EXPECT_EQ(run.failures(), 0);
    EXPECT_EQ(run.steps(), 5 * 65536);
}

TEST_F(ReadoutTest, UpperBitsOfTheValueAreIgnored)
{
    // The module reads the low 32 bits, and only the low 16 carry digits: bits above 16 and
    // everything above 32 must change nothing.
    const uint64_t lows[] = {0x2400, 0x2399, 0x2401, 0x2404, 0x2405, 0x1800, 0x3697, 0x2A00, 0xFFFF, 0x0000};
    const uint64_t highs[] = {
        0x0000000000010000, 0x0000000080000000, 0x00000000FFFF0000, 0x0000000100000000,
        0x8000000000000000, 0xFFFFFFFF00000000, 0xFFFFFFFFFFFF0000, 0x7FF8000000000000,
        0xDEADBEEFCAFE0000,
    };
    ReadoutRun run;
    for (uint64_t low : lows)
        for (uint64_t high : highs)
            run.check_value(high | low);
    // And a spread of arbitrary 64-bit words.
    uint64_t state = 0x9E3779B97F4A7C15;
    for (int i = 0; i < 4096; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        run.check_value(state);
    }
    EXPECT_EQ(run.failures(), 0);
}

TEST_F(ReadoutTest, WritesAtMostNineBytesIntoThePoisonedBuffer)
{
    // The widest texts: a digit above 9 prints two characters, but the float the text turns
    // into never has more than five integer digits.
    const struct {
        uint64_t bcd;
        const char *text;
    } cases[] = {
        {0xFFFF, "11515.15"}, {0xF000, "1150.00"}, {0x0FFF, "1015.15"}, {0xFF00, "11515.00"},
        {0x2400, "124.00"}, {0x0000, "100.00"},
    };
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    for (const auto &row : cases) {
        SCOPED_TRACE(hex(row.bcd));
        set_var_bits(FREQUENCY_TOKEN, row.bcd);
        update(gauge);
        const char *buffer = gauge.strings.at(0).buffer;
        size_t length = strlen(row.text);
        EXPECT_EQ(std::string(buffer, length), row.text);
        EXPECT_EQ(buffer[length], 0) << "terminated";
        for (size_t i = length + 1; i < TEXT_BUFFER_BYTES; ++i)
            ASSERT_EQ((uint8_t)buffer[i], TEXT_POISON) << "byte " << i;
    }
    kill(gauge);
}

}  // namespace
