// The drag cue of VQT7_Drag_Drone as the sound library sees it: which of play and stop each
// pair of trigger and gate values makes, read from the full 8-byte values the host fetched;
// when the "SPBR" loop starts and stops over many updates; and that repeated play calls leave
// one loop. Every expectation compares call strings, which carry each argument (PLAY_LOOP,
// STOP_LOOP); test_faults checks a whole life's calls, load and release included.
#include <float.h>
#include <math.h>
#include <stdio.h>

#include "test_support.h"

using namespace panel_host;
using namespace test_support;

namespace {

// How a value stands against its threshold (8000 for the trigger, 100 for the gate; every
// value below stands the same way against both). A NaN is neither above nor below.
enum Side { ABOVE, AT, BELOW, UNORDERED };

struct Value {
    const char *name;
    uint64_t bits;
    Side side;
};

std::vector<Value> special_values(double threshold)
{
    return {
        {"threshold", bits_of(threshold), AT},
        {"threshold + 1 ulp", bits_of(nextafter(threshold, INFINITY)), ABOVE},
        {"threshold - 1 ulp", bits_of(nextafter(threshold, -INFINITY)), BELOW},
        {"threshold + 90", bits_of(threshold + 90), ABOVE},
        {"+0", bits_of(0.0), BELOW},
        {"-0", 0x8000000000000000ull, BELOW},
        {"smallest denormal", 0x0000000000000001ull, BELOW},
        {"largest denormal", 0x000FFFFFFFFFFFFFull, BELOW},
        {"negative denormal", 0x8000000000000001ull, BELOW},
        {"smallest normal", bits_of(DBL_MIN), BELOW},
        {"largest double", bits_of(DBL_MAX), ABOVE},
        {"most negative double", bits_of(-DBL_MAX), BELOW},
        {"+infinity", 0x7FF0000000000000ull, ABOVE},
        {"-infinity", 0xFFF0000000000000ull, BELOW},
        {"quiet NaN", 0x7FF8000000000000ull, UNORDERED},
        {"negative quiet NaN", 0xFFF8000000000000ull, UNORDERED},
        {"signalling NaN", 0x7FF0000000000001ull, UNORDERED},
    };
}

std::string describe(const Value &value)
{
    char text[96];
    snprintf(text, sizeof text, "%s (0x%016llx)", value.name, (unsigned long long)value.bits);
    return text;
}

uint16_t x87_control_word()
{
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

class DragDroneTest : public GaugeTest {
protected:
    DragDroneTest() : GaugeTest(DRAGDRONE_FILE) {}
    std::vector<std::string> update_calls()
    {
        uint32_t mark = sound_mark();
        update(gauge);
        return sound_calls(mark);
    }
};

// Every trigger against every gate, each from both states of the loop. Play only when both
// are above, stop whenever the trigger is below, whatever the gate; token 325 changes nothing.
TEST_F(DragDroneTest, EveryTriggerAgainstEveryGate)
{
    const std::vector<Value> triggers = special_values(8000.0), gates = special_values(100.0);
    const uint16_t control_word = x87_control_word();
    size_t row = 0;
    for (const Value &trigger : triggers) {
        for (const Value &gate : gates) {
            const Value &unused = triggers[row++ % triggers.size()];
            std::vector<std::string> expected;
            if (trigger.side == ABOVE && gate.side == ABOVE)
                expected.push_back(PLAY_LOOP);
            if (trigger.side == BELOW)
                expected.push_back(STOP_LOOP);
            for (bool playing_before : {false, true}) {
                SCOPED_TRACE("row " + std::to_string(row) + ": trigger " + describe(trigger) + ", gate " +
                             describe(gate) + ", token 325 " + describe(unused) +
                             (playing_before ? ", SPBR playing before" : ", SPBR silent before"));
                set_var(DRAG_TOKEN_TRIGGER, playing_before ? 9000.0 : 0.0);
                set_var(DRAG_TOKEN_GATE, 150.0);
                set_var(DRAG_TOKEN_UNUSED, 0.0);
                update(gauge);
                ASSERT_EQ(playing_sounds().size(), playing_before ? 1u : 0u);

                // The first update after the change already acts on the new values: the host
                // refreshes them before the update actions run.
                set_var_bits(DRAG_TOKEN_TRIGGER, trigger.bits);
                set_var_bits(DRAG_TOKEN_GATE, gate.bits);
                set_var_bits(DRAG_TOKEN_UNUSED, unused.bits);
                for (int round = 0; round < 2; ++round)
                    EXPECT_EQ(update_calls(), expected) << "update " << round;
                bool playing_after = !expected.empty() ? expected[0] == PLAY_LOOP : playing_before;
                EXPECT_EQ(playing_sounds().size(), playing_after ? 1u : 0u);
                EXPECT_EQ(x87_control_word(), control_word) << "the host's FPU settings are left alone";
            }
        }
    }
    printf("[ figures  ] %u trigger/gate value pairs\n", (unsigned)row);
}

// One update: the values the host returns, the calls it must make, and whether the loop
// plays afterwards. (A NaN trigger from either state is in the grid above.)
struct Step {
    double trigger;
    double gate;
    std::vector<std::string> calls;
    bool playing;
};

struct Sequence {
    const char *name;
    std::vector<Step> steps;
};

const double ABOVE_8000 = nextafter(8000.0, INFINITY);
const double BELOW_8000 = nextafter(8000.0, -INFINITY);
const double ABOVE_100 = nextafter(100.0, INFINITY);

const Sequence SEQUENCES[] = {
    {"starts when the trigger rises above 8000 with the gate above 100",
     {{0.0, 150.0, {STOP_LOOP}, false}, {7999.0, 150.0, {STOP_LOOP}, false}, {8000.0, 150.0, {}, false},
      {ABOVE_8000, 150.0, {PLAY_LOOP}, true}, {9000.0, 150.0, {PLAY_LOOP}, true}}},
    {"keeps playing when the gate falls to 100 or below",
     {{9000.0, 150.0, {PLAY_LOOP}, true}, {9000.0, 100.0, {}, true}, {9000.0, 50.0, {}, true},
      {9000.0, NAN, {}, true}, {9000.0, -INFINITY, {}, true}, {8000.0, 50.0, {}, true}}},
    {"starts late when the gate passes 100 while the trigger is above 8000",
     {{0.0, 50.0, {STOP_LOOP}, false}, {9000.0, 50.0, {}, false}, {9000.0, 100.0, {}, false},
      {9000.0, ABOVE_100, {PLAY_LOOP}, true}, {9000.0, 150.0, {PLAY_LOOP}, true}}},
    {"stops when the trigger falls below 8000, whatever the gate",
     {{9000.0, 150.0, {PLAY_LOOP}, true}, {8000.0, 150.0, {}, true}, {BELOW_8000, 150.0, {STOP_LOOP}, false},
      {BELOW_8000, 150.0, {STOP_LOOP}, false}, {9000.0, 150.0, {PLAY_LOOP}, true},
      {-INFINITY, 50.0, {STOP_LOOP}, false}}},
    {"a trigger held at exactly 8000 neither starts nor stops the loop",
     {{8000.0, 150.0, {}, false}, {8000.0, INFINITY, {}, false}, {9000.0, 150.0, {PLAY_LOOP}, true},
      {8000.0, 150.0, {}, true}, {8000.0, 50.0, {}, true}}},
};

TEST(DragDroneLoopTest, FollowsTheTriggerAndTheGateUntilTheKill)
{
    for (const Sequence &sequence : SEQUENCES) {
        SCOPED_TRACE(sequence.name);
        reset_host();
        LoadedModule loaded(DRAGDRONE_FILE);
        Instance gauge = loaded.instance();
        initialize(gauge);
        for (size_t i = 0; i < sequence.steps.size(); ++i) {
            const Step &step = sequence.steps[i];
            char row[96];
            snprintf(row, sizeof row, "step %u: trigger %.17g, gate %.17g", (unsigned)i, step.trigger, step.gate);
            SCOPED_TRACE(row);
            set_var(DRAG_TOKEN_TRIGGER, step.trigger);
            set_var(DRAG_TOKEN_GATE, step.gate);
            set_var(DRAG_TOKEN_UNUSED, (double)i * 5000.0);  // no effect, whatever it holds
            uint32_t mark = sound_mark();
            cycle(gauge);
            EXPECT_EQ(sound_calls(mark), step.calls);
            EXPECT_EQ(playing_sounds(), step.playing ? std::vector<std::string>{"SPBR"} : std::vector<std::string>{});
        }
        kill(gauge);
        EXPECT_TRUE(playing_sounds().empty()) << "the kill silences the loop";
    }
}

TEST_F(DragDroneTest, RepeatedPlayCallsLeaveOneLoop)
{
    // A second instance of the gauge shares the module's variables and the one library.
    Instance second = loaded.instance();
    initialize(second);
    set_var(DRAG_TOKEN_TRIGGER, 9000.0);
    set_var(DRAG_TOKEN_GATE, 150.0);
    uint32_t mark = sound_mark();
    for (int round = 0; round < 20; ++round) {
        cycle(gauge);
        cycle(second);
        EXPECT_EQ(playing_sounds(), std::vector<std::string>{"SPBR"}) << "round " << round;
    }
    // The gate closing and opening again while the trigger holds does not start a second one.
    set_var(DRAG_TOKEN_GATE, 100.0);
    cycle(gauge);
    set_var(DRAG_TOKEN_GATE, 150.0);
    cycle(gauge);
    EXPECT_EQ(playing_sounds(), std::vector<std::string>{"SPBR"});
    // 41 play calls: the first starts the loop, every later one finds it playing.
    std::vector<SOUND_EVENT> events = sound_events(mark);
    ASSERT_EQ(events.size(), 41u);
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].effect, i == 0 ? SOUND_EFFECT_STARTED_LOOP : SOUND_EFFECT_ALREADY_PLAYING) << i;
    kill(second);
}

}  // namespace
