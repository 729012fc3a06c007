// Bad input from the host: random service codes and extra data, extreme and unordered
// variable values, every BCD pattern with garbage above it. The modules must not crash, must
// act on nothing but their four codes, and must write only where they are meant to.
#include <float.h>
#include <math.h>

#include <random>
#include <set>

#include "test_faults_image.h"
#include "test_support.h"

using namespace panel_host;
using namespace test_support;

namespace {


uint16_t x87_control_word()
{
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

uint64_t bits_of(double value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// ---------------------------------------------------------------------------------------------
// 100,000 gauge calls per module with random codes and random extra data. A code other than
// 4, 6, 10 and 12 must leave the module's writable memory, the host's fetch log and the sound
// journal exactly as they were; the four acted-on codes must do what they always do whatever
// the extra data.

class RandomServiceTest : public HostTest, public ::testing::WithParamInterface<ModuleCase> {};

bool acted_on(int32_t code)
{
    return code == PANEL_SERVICE_PRE_INITIALIZE || code == PANEL_SERVICE_PRE_UPDATE ||
           code == PANEL_SERVICE_PRE_DRAW || code == PANEL_SERVICE_PRE_KILL;
}

// One call in 64 carries an acted-on code: each kill loads and unloads the library, which
// costs the loader far more than the call.
int32_t random_code(std::mt19937 &random)
{
    static const int32_t ACTED_ON[] = {4, 6, 10, 12};
    if (random() % 64 == 0)
        return ACTED_ON[random() % 4];
    for (;;) {
        int32_t code;
        switch (random() % 3) {
        case 0:
            code = (int32_t)(random() % 49) - 16;  // -16 to 32
            break;
        case 1:
            code = (int32_t)(random() % 14);       // 0 to 13, around the acted-on codes
            break;
        default:
            code = (int32_t)random();              // anything, negative included
        }
        if (!acted_on(code))
            return code;
    }
}

TEST_P(RandomServiceTest, OnlyTheFourActedOnCodesChangeAnything)
{
    const ModuleCase &module_case = GetParam();
    LoadedModule loaded(module_case.file);
    Instance gauge = loaded.instance();
    set_var(326, 9000.0);  // the loop plays on every update
    set_var(61, 150.0);
    std::mt19937 random(20040729);
    int counts[4] = {0};  // inert, 4 and 10, 6, 12
    for (int call = 0; call < 100000; ++call) {
        const int32_t code = random_code(random);
        const uint32_t extra = random();
        const fault_image::Snapshot before = fault_image::writable_sections(loaded.module.handle);
        const uint32_t mark = sound_mark();
        clear_fetches();

        call_gauge(gauge, code, extra);

        const std::string row = "call " + std::to_string(call) + ": code " + std::to_string(code) +
                                " extra " + std::to_string(extra);
        std::vector<std::string> calls = sound_calls(mark, true);
        switch (code) {
        case PANEL_SERVICE_PRE_INITIALIZE:
        case PANEL_SERVICE_PRE_DRAW:
            ++counts[1];
            ASSERT_TRUE(fetches().empty()) << row;
            ASSERT_TRUE(calls.empty() || calls == std::vector<std::string>{"attach"}) << row;
            break;
        case PANEL_SERVICE_PRE_UPDATE:
            ++counts[2];
            ASSERT_EQ(fetched_tokens(), module_case.tokens) << row;
            if (module_case.tokens.size() == 3)
                ASSERT_TRUE(!calls.empty() && calls.back() == PLAY_LOOP) << row;
            ASSERT_TRUE(sound_library_loaded()) << row;
            break;
        case PANEL_SERVICE_PRE_KILL:
            ++counts[3];
            ASSERT_GE(calls.size(), 2u) << row;
            ASSERT_EQ(calls[calls.size() - 2], "terminate()") << row;
            ASSERT_EQ(calls.back(), "detach") << row;
            break;
        default:
            ++counts[0];
            ASSERT_EQ(fault_image::writable_sections(loaded.module.handle), before) << row;
            ASSERT_TRUE(fetches().empty()) << row;
            ASSERT_EQ(sound_mark(), mark) << row;
        }
    }
    kill(gauge);
    EXPECT_FALSE(sound_library_loaded());
    printf("[ figures  ] %s: %d ignored codes, %d initialise/draw, %d updates, %d kills\n",
           module_case.file, counts[0], counts[1], counts[2], counts[3]);
    EXPECT_GT(counts[0], 95000);
    EXPECT_GT(counts[3], 200);
}

INSTANTIATE_TEST_SUITE_P(BothModules, RandomServiceTest, ::testing::ValuesIn(MODULE_CASES),
                         [](const auto &info) { return std::string(info.param.file).substr(5, 4); });

// ---------------------------------------------------------------------------------------------
// Extreme and unordered variable values. Each value belongs to a class relative to its
// threshold; unordered (NaN) compares false both ways, so it neither starts nor stops.

enum ValueClass { ABOVE, AT, BELOW, UNORDERED };

struct SpecialValue {
    const char *name;
    uint64_t bits;
};

const double TRIGGER = 8000.0;
const double GATE = 100.0;

std::vector<SpecialValue> special_values(double threshold)
{
    return {
        {"threshold", bits_of(threshold)},
        {"just above", bits_of(nextafter(threshold, INFINITY))},
        {"just below", bits_of(nextafter(threshold, -INFINITY))},
        {"+0", bits_of(0.0)},
        {"-0", 0x8000000000000000ull},
        {"smallest denormal", 0x0000000000000001ull},
        {"largest denormal", 0x000FFFFFFFFFFFFFull},
        {"negative denormal", 0x8000000000000001ull},
        {"smallest normal", bits_of(DBL_MIN)},
        {"largest double", bits_of(DBL_MAX)},
        {"most negative double", bits_of(-DBL_MAX)},
        {"+infinity", 0x7FF0000000000000ull},
        {"-infinity", 0xFFF0000000000000ull},
        {"quiet NaN", 0x7FF8000000000000ull},
        {"negative quiet NaN", 0xFFF8000000000000ull},
        {"signalling NaN", 0x7FF0000000000001ull},
        {"NaN all ones", 0xFFFFFFFFFFFFFFFFull},
    };
}

ValueClass classify(uint64_t bits, double threshold)
{
    static const struct {
        uint64_t bits;
        ValueClass value_class;
    } unordered_or_extreme[] = {
        {0x7FF0000000000000ull, ABOVE},     {0xFFF0000000000000ull, BELOW},
        {0x7FF8000000000000ull, UNORDERED}, {0xFFF8000000000000ull, UNORDERED},
        {0x7FF0000000000001ull, UNORDERED}, {0xFFFFFFFFFFFFFFFFull, UNORDERED},
    };
    for (const auto &entry : unordered_or_extreme)
        if (entry.bits == bits)
            return entry.value_class;
    // Finite values: the host's own double comparison decides, done here on the host side.
    double value;
    memcpy(&value, &bits, sizeof value);
    return value > threshold ? ABOVE : value == threshold ? AT : BELOW;
}

TEST(VariableValueTest, DragCueTreatsExtremeAndUnorderedValuesByTheirOrder)
{
    reset_host();
    LoadedModule loaded(DRAGDRONE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    const uint16_t control_word = x87_control_word();
    const std::vector<SpecialValue> triggers = special_values(TRIGGER);
    const std::vector<SpecialValue> gates = special_values(GATE);
    int tried = 0;
    for (const SpecialValue &trigger : triggers) {
        for (const SpecialValue &gate : gates) {
            const ValueClass trigger_class = classify(trigger.bits, TRIGGER);
            const bool plays = trigger_class == ABOVE && classify(gate.bits, GATE) == ABOVE;
            std::vector<std::string> expected;
            if (plays)
                expected.push_back(PLAY_LOOP);
            if (trigger_class == BELOW)
                expected.push_back(STOP_LOOP);
            set_var_bits(326, trigger.bits);
            set_var_bits(61, gate.bits);
            set_var_bits(325, gates[tried % gates.size()].bits);  // the unused variable: no effect
            uint32_t mark = sound_mark();
            cycle(gauge);
            ++tried;
            EXPECT_EQ(sound_calls(mark), expected) << "trigger " << trigger.name << ", gate " << gate.name;
            EXPECT_EQ(x87_control_word(), control_word) << "the host's FPU settings are left alone";
        }
    }
    kill(gauge);
    printf("[ figures  ] %d trigger/gate value pairs\n", tried);
}

TEST(VariableValueTest, FrequencyCueIgnoresItsModuleVariablesWhateverTheirValues)
{
    reset_host();
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    set_var_bits(870, 0x1800);
    for (const SpecialValue &value : special_values(TRIGGER)) {
        for (uint32_t token : {3u, 4u, 5u, 8u, 0u, 875u})
            set_var_bits(token, value.bits);
        uint32_t mark = sound_mark();
        cycle(gauge);
        EXPECT_EQ(sound_calls(mark), std::vector<std::string>()) << value.name;
        EXPECT_EQ(gauge.strings.at(0).text, "118.00") << value.name;
    }
    kill(gauge);
}

// ---------------------------------------------------------------------------------------------
// Every 16-bit BCD pattern under five different upper halves (zero, then random bits above the
// pattern and in the value's upper word): the readout writes a short text and its terminator
// into the host's buffer and nothing past them, changes no module memory but its cue latch,
// and plays only for 0x2400 in the low 16 bits.

TEST(ReadoutInputTest, EveryBcdPatternWithGarbageAboveWritesWithinBounds)
{
    reset_host();
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    update(gauge);
    ELEMENT_STRING *element = gauge.strings.at(0).element;
    std::mt19937 random(1602);
    std::set<uint32_t> changed_words;
    char text[TEXT_BUFFER_BYTES];
    size_t longest = 0;
    int tried = 0;
    for (uint32_t pattern = 0; pattern <= 0xFFFF; ++pattern) {
        for (int upper = 0; upper < 5; ++upper) {
            uint64_t bits = pattern;
            if (upper)
                bits |= ((uint64_t)random() << 32) | ((uint64_t)(random() & 0xFFFF) << 16);
            // The host's part of the element update: refresh the source variable, hand over
            // a poisoned buffer.
            memcpy(element->source_var[0].value.bytes, &bits, sizeof bits);
            memset(text, TEXT_POISON, sizeof text);
            element->string = text;
            const fault_image::Snapshot before = fault_image::writable_sections(loaded.module.handle);
            const uint32_t mark = sound_mark();

            const double result = element->update_cb(element);

            ++tried;
            char row[64];
            snprintf(row, sizeof row, "value 0x%016llX", (unsigned long long)bits);
            ASSERT_EQ(result, 0.0) << row;
            const size_t length = strnlen(text, sizeof text);
            ASSERT_GE(length, 4u) << row;
            ASSERT_LE(length, 8u) << row;
            longest = std::max(longest, length);
            for (size_t i = length + 1; i < sizeof text; ++i)
                ASSERT_EQ((uint8_t)text[i], TEXT_POISON) << row << ": byte " << i << " past the text";
            for (uint32_t offset : fault_image::changed_offsets(before, fault_image::writable_sections(loaded.module.handle)))
                changed_words.insert(offset & ~3u);
            ASSERT_LE(changed_words.size(), 1u) << row << ": only the cue latch may change";
            ASSERT_LE(sound_mark() - mark, (uint32_t)((pattern & 0xFFFF) == 0x2400)) << row;
        }
        // Keep the journal's ring from wrapping.
        if ((pattern & 0x3FF) == 0x3FF)
            clear_sound_journal();
    }
    EXPECT_EQ(changed_words.size(), 1u) << "the latch went from armed to played and back";
    kill(gauge);
    printf("[ figures  ] %d readout values, longest text %u characters, module memory changed in %u word\n",
           tried, (unsigned)longest, (unsigned)changed_words.size());
}

}  // namespace
