// The readout of VQT7_Boomcue over every frequency word the host can hand it: the text the host
// gets back and whether the cue plays or re-arms, against a model built here from the readout's
// description; the host's poisoned buffer shows how many bytes the module wrote, and the
// module's writable memory that nothing but the cue latch changes.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <random>
#include <set>

#include "test_support.h"

using namespace panel_host;
using namespace test_support;

namespace {

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
    bool rearms, in_window, valid_bcd;
};

Expected model(uint64_t value)
{
    uint32_t v = (uint32_t)value;  // the low 32 bits of the 8-byte value
    unsigned nibbles[4] = {(v >> 12) & 0xF, (v >> 8) & 0xF, (v >> 4) & 0xF, v & 0xF};
    char digits[32], text[32];
    snprintf(digits, sizeof digits, "1%u%u.%u%u", nibbles[0], nibbles[1], nibbles[2], nibbles[3]);
    // Through memory, so that x87 code cannot keep the converted value wider than a float.
    volatile float rounded = (float)strtod(digits, nullptr);
    double f = rounded;
    crt_sprintf()(text, "%.2f", f);
    return {digits, text, f > 124.05, f > 123.99 && f < 124.01,
            nibbles[0] <= 9 && nibbles[1] <= 9 && nibbles[2] <= 9 && nibbles[3] <= 9};
}

TEST(ReadoutModelTest, AgreesWithTheDescription)
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
            ASSERT_EQ(expected.text, expected.digits) << std::hex << v;
    }
    EXPECT_EQ(in_window, 1);
    EXPECT_EQ(lowest_valid_rearm, 0x2405);
    EXPECT_EQ(model(0x2A00).text, "1210.00");
    EXPECT_TRUE(model(0x2A00).rearms);
    EXPECT_EQ(model(0xFFFF).text, "11515.15");
}

// A loaded gauge whose readout is called as the host calls it (refreshed source variable,
// poisoned buffer), checked against the model with the latch tracked alongside. Reports only
// the first few mismatches: a systematic fault would otherwise print a line for each value.
class ReadoutRun {
public:
    ReadoutRun() : loaded_(BOOMCUE_FILE), gauge_(loaded_.instance())
    {
        initialize(gauge_);
        draw(gauge_);  // use up the first-draw re-arm: the cue is armed from here on
        element_ = gauge_.strings.at(0).element;
    }
    ~ReadoutRun() { kill(gauge_); }

    void step(uint64_t value, const Expected &expected)
    {
        // As the host refreshes the source variable and hands over its buffer.
        using namespace host_contract;
        write_at<uint64_t>(element_, STRING_SOURCE_VARS_AT + MODULE_VAR_VALUE_AT, value);
        char text[TEXT_BUFFER_BYTES];
        memset(text, TEXT_POISON, sizeof text);
        write_at<uint32_t>(element_, STRING_TEXT_AT, (uint32_t)(uintptr_t)text);
        const Snapshot before = writable_sections(loaded_.module.handle);
        const uint32_t mark = sound_mark();
        CallRecord record;
        const double result = call_string_at(element_, HOST_STACK_MOD16, &record);
        const uint32_t events = sound_mark() - mark;
        for (uint32_t offset : changed_offsets(before, writable_sections(loaded_.module.handle)))
            changed_words_.insert(offset & ~3u);

        if (expected.rearms)
            armed_ = true;
        const bool should_play = armed_ && expected.in_window;
        if (should_play)
            armed_ = false;

        std::string problem;
        if (events != (should_play ? 1u : 0u))
            problem += " " + std::to_string(events) + " sound calls, expected " + (should_play ? "1;" : "0;");
        else if (should_play && sound_calls(mark) != std::vector<std::string>{PLAY_CUE})
            problem += " the play call was " + sound_calls(mark)[0] + ";";
        const size_t length = strnlen(text, sizeof text);
        const std::string found(text, length);
        if (found != expected.text)
            problem += " text \"" + found + "\", expected \"" + expected.text + "\";";
        if (length > MAX_TEXT)
            problem += " " + std::to_string(length) + " characters;";
        for (size_t i = length + 1; i < sizeof text; ++i)
            if ((uint8_t)text[i] != TEXT_POISON) {
                problem += " wrote byte " + std::to_string(i) + " after the terminator;";
                break;
            }
        if (!record.kept())
            problem += " broke the host's registers: " + describe(record) + ";";
        if (result != 0.0 || signbit(result))
            problem += " result " + std::to_string(result) + ";";
        if (changed_words_.size() > 1)
            problem += " changed module memory beyond the cue latch;";
        if (!problem.empty() && ++failures_ <= 20) {
            char hex[24];
            snprintf(hex, sizeof hex, "0x%llX", (unsigned long long)value);
            ADD_FAILURE() << "value " << hex << " (" << expected.digits << "):" << problem;
        }
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

    int failures_ = 0, steps_ = 0;
    std::set<uint32_t> changed_words_;

private:
    LoadedModule loaded_;
    Instance gauge_;
    ELEMENT_STRING *element_;
    bool armed_ = true;
    const Expected probe_ = model(PROBE), arming_ = model(ARMING);
};

// Every 16-bit value, then again with random bits above it (in the low word and in the value's
// upper word), which the readout must ignore.
TEST(ReadoutTest, EveryLowSixteenBitValueWithAndWithoutUpperBitsMatchesTheModel)
{
    reset_host();
    ReadoutRun run;
    std::mt19937 random(1602);
    for (uint64_t v = 0; v <= 0xFFFF; ++v) {
        run.check_value(v);
        run.check_value(v | (uint64_t)random() << 32 | (uint64_t)(random() | 1) << 16);
        // Keep the journal's ring from wrapping.
        if ((v & 0x3FF) == 0x3FF)
            clear_sound_journal();
    }
    EXPECT_EQ(run.failures_, 0);
    EXPECT_EQ(run.steps_, 10 * 65536);
    EXPECT_EQ(run.changed_words_.size(), 1u) << "the latch went from armed to played and back";
    printf("[ figures  ] %d readout calls over %d values\n", run.steps_, 2 * 65536);
}

}  // namespace
