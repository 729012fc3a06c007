// The drag cue's calls on a single update: which of play and stop each pair of trigger and gate
// values makes, with what arguments, read from the full 8-byte values the host fetched.
#include "test_support.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

using namespace panel_host;
using namespace test_support;

namespace {

uint64_t bits_of(double value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

double from_bits(uint64_t bits)
{
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// "8000 + 1 ulp (8000.0000000000009, 0x40bf400000000001)", or without the name when empty.
std::string describe(const char *name, uint64_t bits)
{
    char text[96];
    snprintf(text, sizeof text, "%s%s(%.17g, 0x%016llx)", name, *name ? " " : "", from_bits(bits),
             (unsigned long long)bits);
    return text;
}

// How a value stands against its threshold. A NaN is neither above nor below.
enum Side { ABOVE, AT, BELOW, UNORDERED };
const char *const SIDE_NAMES[] = {"above", "at", "below", "NaN"};

struct Value {
    const char *name;
    uint64_t bits;
    Side side;
};

const Value TRIGGERS[] = {
    {"9000", bits_of(9000.0), ABOVE},
    {"8000 + 1 ulp", bits_of(nextafter(8000.0, INFINITY)), ABOVE},
    {"1e300", bits_of(1e300), ABOVE},
    {"+inf", bits_of(INFINITY), ABOVE},
    {"8000", bits_of(8000.0), AT},
    {"8000 - 1 ulp", bits_of(nextafter(8000.0, -INFINITY)), BELOW},
    {"7999", bits_of(7999.0), BELOW},
    {"0", bits_of(0.0), BELOW},
    {"-0", bits_of(-0.0), BELOW},
    {"-9000", bits_of(-9000.0), BELOW},
    {"-inf", bits_of(-INFINITY), BELOW},
    {"NaN", 0x7FF8000000000000ull, UNORDERED},
    {"-NaN", 0xFFF8000000000000ull, UNORDERED},
    {"signalling NaN", 0x7FF0000000000001ull, UNORDERED},
};

const Value GATES[] = {
    {"150", bits_of(150.0), ABOVE},
    {"100 + 1 ulp", bits_of(nextafter(100.0, INFINITY)), ABOVE},
    {"+inf", bits_of(INFINITY), ABOVE},
    {"100", bits_of(100.0), AT},
    {"100 - 1 ulp", bits_of(nextafter(100.0, -INFINITY)), BELOW},
    {"50", bits_of(50.0), BELOW},
    {"-inf", bits_of(-INFINITY), BELOW},
    {"NaN", 0x7FF8000000000000ull, UNORDERED},
    {"-NaN", 0xFFF8000000000000ull, UNORDERED},
};

// Token 325 is fetched with the others and must change nothing; these would tip a module
// that read it in place of the gate or the trigger.
const uint64_t UNUSED_VALUES[] = {
    bits_of(0.0), bits_of(9000.0), bits_of(150.0), bits_of(-1.0), 0x7FF8000000000000ull,
    bits_of(INFINITY), bits_of(-INFINITY), bits_of(8000.0), bits_of(100.0),
};

enum Calls { NO_CALL, PLAY_CALL, STOP_CALL };

// What one update calls, by the trigger's side (rows) and the gate's side (columns): play only
// when both are above, stop whenever the trigger is below, whatever the gate.
const Calls EXPECTED[4][4] = {
    //            gate above  at        below     NaN
    /* above */ {PLAY_CALL, NO_CALL, NO_CALL, NO_CALL},
    /* at    */ {NO_CALL, NO_CALL, NO_CALL, NO_CALL},
    /* below */ {STOP_CALL, STOP_CALL, STOP_CALL, STOP_CALL},
    /* NaN   */ {NO_CALL, NO_CALL, NO_CALL, NO_CALL},
};

std::vector<std::string> calls_of(Calls calls)
{
    if (calls == PLAY_CALL)
        return {PLAY_LOOP};
    if (calls == STOP_CALL)
        return {STOP_LOOP};
    return {};
}

// One PRE_UPDATE and the calls it made.
std::vector<std::string> update_calls(Instance &gauge)
{
    uint32_t mark = sound_mark();
    update(gauge);
    return sound_calls(mark);
}

void set_values(uint64_t trigger, uint64_t gate, uint64_t unused)
{
    set_var_bits(DRAG_TOKEN_TRIGGER, trigger);
    set_var_bits(DRAG_TOKEN_GATE, gate);
    set_var_bits(DRAG_TOKEN_UNUSED, unused);
}

class DragDroneCallTest : public HostTest {};

TEST_F(DragDroneCallTest, EveryTriggerAgainstEveryGate)
{
    LoadedModule loaded(DRAGDRONE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    size_t row = 0;
    for (const Value &trigger : TRIGGERS) {
        for (const Value &gate : GATES) {
            uint64_t unused = UNUSED_VALUES[row % (sizeof UNUSED_VALUES / sizeof UNUSED_VALUES[0])];
            Calls expected = EXPECTED[trigger.side][gate.side];
            // Each row from both states of the loop: a row that calls nothing must leave
            // either one as it was.
            for (bool playing_before : {false, true}) {
                SCOPED_TRACE("row " + std::to_string(row) + ": trigger " +
                             describe(trigger.name, trigger.bits) + " " + SIDE_NAMES[trigger.side] +
                             ", gate " + describe(gate.name, gate.bits) + " " +
                             SIDE_NAMES[gate.side] + ", token 325 " + describe("", unused) +
                             (playing_before ? ", SPBR playing before" : ", SPBR silent before"));
                set_values(bits_of(playing_before ? 9000.0 : 0.0), bits_of(150.0), bits_of(0.0));
                update(gauge);
                ASSERT_EQ(playing_sounds().size(), playing_before ? 1u : 0u);

                // The first update after the change already acts on the new values: the
                // host refreshes them before the update actions run.
                set_values(trigger.bits, gate.bits, unused);
                for (int round = 0; round < 2; ++round)
                    EXPECT_EQ(update_calls(gauge), calls_of(expected)) << "update " << round;

                bool playing_after = expected == PLAY_CALL || (expected == NO_CALL && playing_before);
                EXPECT_EQ(playing_sounds(), playing_after ? std::vector<std::string>{"SPBR"}
                                                          : std::vector<std::string>{});
            }
            ++row;
        }
    }
    kill(gauge);
}

TEST_F(DragDroneCallTest, PlayAndStopCarryExactArguments)
{
    LoadedModule loaded(DRAGDRONE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    set_values(bits_of(9000.0), bits_of(150.0), 0);
    update(gauge);
    set_var(DRAG_TOKEN_TRIGGER, 10.0);
    update(gauge);
    kill(gauge);

    // attach, play, stop, terminate, detach: checked field by field, not through the
    // short strings, so a null, a truncation or a stray loop value cannot hide.
    std::vector<SOUND_EVENT> events = sound_events(0);
    ASSERT_EQ(events.size(), 5u);
    const SOUND_EVENT &play = events[1];
    EXPECT_EQ(play.kind, SOUND_EVENT_PLAY);
    EXPECT_FALSE(play.path_is_null);
    EXPECT_FALSE(play.path_truncated);
    EXPECT_STREQ(play.path, "sound\\QX\\Speed_Brake.wav");
    EXPECT_FALSE(play.name_is_null);
    EXPECT_FALSE(play.name_truncated);
    EXPECT_STREQ(play.name, "SPBR");
    EXPECT_EQ(play.loop, 1);
    EXPECT_EQ(play.effect, SOUND_EFFECT_STARTED_LOOP);

    const SOUND_EVENT &stop = events[2];
    EXPECT_EQ(stop.kind, SOUND_EVENT_STOP);
    EXPECT_FALSE(stop.name_is_null);
    EXPECT_FALSE(stop.name_truncated);
    EXPECT_STREQ(stop.name, "SPBR");
    EXPECT_EQ(stop.effect, SOUND_EFFECT_STOPPED);

    EXPECT_EQ(events[3].kind, SOUND_EVENT_TERMINATE);
    EXPECT_EQ(events[3].count, 0u) << "the stop already ended the loop";
}

TEST_F(DragDroneCallTest, ValuesAreReadAsWholeEightByteFloats)
{
    // Each pair differs from its threshold, or from a value on the other side, only in the low
    // 32 bits: a module reading a 32-bit float, the high word alone, or the wrong record
    // would misjudge it.
    struct Row {
        uint64_t trigger;
        uint64_t gate;
        Calls expected;
    };
    const Row rows[] = {
        {0x40BF400000000001ull, bits_of(150.0), PLAY_CALL},  // 8000 + 1 ulp
        {0x40BF400080000000ull, bits_of(150.0), PLAY_CALL},
        {0x40BF4000FFFFFFFFull, bits_of(150.0), PLAY_CALL},
        {0x40BF400000000000ull, bits_of(150.0), NO_CALL},    // 8000 exactly
        {0x40BF3FFFFFFFFFFFull, bits_of(150.0), STOP_CALL},  // 8000 - 1 ulp
        {0x40BF3FFF00000000ull, bits_of(150.0), STOP_CALL},
        {bits_of(9000.0), 0x4059000000000001ull, PLAY_CALL},  // 100 + 1 ulp
        {bits_of(9000.0), 0x40590000FFFFFFFFull, PLAY_CALL},
        {bits_of(9000.0), 0x4059000000000000ull, NO_CALL},    // 100 exactly
        {bits_of(9000.0), 0x4058FFFFFFFFFFFFull, NO_CALL},    // 100 - 1 ulp
    };
    LoadedModule loaded(DRAGDRONE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    for (const Row &row : rows) {
        SCOPED_TRACE("trigger " + describe("", row.trigger) + ", gate " + describe("", row.gate));
        set_values(row.trigger, row.gate, bits_of(9000.0));
        EXPECT_EQ(update_calls(gauge), calls_of(row.expected));
    }
    kill(gauge);
}

}  // namespace
