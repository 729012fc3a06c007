// The frequency cue of VQT7_Boomcue as the host drives it: when the one-shot plays over
// sequences of frequencies, the latch shared by every instance, the exact play call, and the
// readout callback's result on both host stack alignments.
#include "test_support.h"

#include <ctype.h>

#include <cmath>
#include <sstream>

using namespace panel_host;
using namespace test_support;

namespace {

const uint32_t FREQUENCY_TOKEN = 870;  // the readout element's source variable

// Play events recorded since `mark`.
int plays_since(uint32_t mark)
{
    int plays = 0;
    for (const SOUND_EVENT &event : sound_events(mark))
        plays += event.kind == SOUND_EVENT_PLAY;
    return plays;
}

// One host update at the given frequency; true when it played the cue.
bool update_at(Instance &gauge, uint64_t bcd)
{
    set_var_bits(FREQUENCY_TOKEN, bcd);
    uint32_t mark = sound_mark();
    update(gauge);
    int plays = plays_since(mark);
    EXPECT_LE(plays, 1) << "one update plays the cue at most once";
    return plays == 1;
}

std::string readout_text(Instance &gauge)
{
    return gauge.strings.at(0).text;
}

// A scenario: hex BCD words are host updates at that frequency, "D" is a draw. `plays` has one
// mark per update: 'P' where the cue plays, '-' where it does not.
struct Sequence {
    const char *name;
    const char *steps;
    const char *plays;
    const char *last_text;  // the readout after the last update
};

// "1800 D" first: a draw at 118.00 uses up the first-draw re-arm, so later draws cannot arm
// the cue behind the test's back.
const Sequence SEQUENCES[] = {
    {"armed latch plays 124.00", "1800 D 2400", "-P", "124.00"},
    {"held at 124.00", "1800 D 2400 2400 D 2400 D 2400 2400", "-P----", "124.00"},
    {"away to 123.50 and back", "1800 D 2400 2350 2400", "-P--", "124.00"},
    {"away to 123.99 and back", "1800 D 2400 2399 2400", "-P--", "124.00"},
    {"away to 124.04 and back", "1800 D 2400 2404 2400", "-P--", "124.00"},
    {"124.01 to 124.04 never re-arm", "1800 D 2400 2401 2400 2402 2400 2403 2400 2404 2400",
     "-P--------", "124.00"},
    {"124.05 re-arms", "1800 D 2400 2405 2400", "-P-P", "124.00"},
    {"124.05 re-arms every time", "1800 D 2400 2405 2400 2405 2400 2405 2400", "-P-P-P-P", "124.00"},
    {"above 124.05 re-arms", "1800 D 2400 2406 2400 2410 2400 2500 2400 9999 2400",
     "-P-P-P-P-P", "124.00"},
    {"re-armed twice still plays once", "1800 D 2400 2405 2500 2400 2400", "-P--P-", "124.00"},
    {"118.00 neither plays nor re-arms", "1800 D 1800 2400 1800 2400", "--P--", "124.00"},
    {"118.00 reads back", "1800 D 1800", "--", "118.00"},
    {"136.97 re-arms", "1800 D 2400 3697 2400 3697", "-P-P-", "136.97"},
    {"nibble overflow 0x2A00 re-arms", "1800 D 2400 2A00 2400 2A00", "-P-P-", "1210.00"},
    {"nibble overflow below the window", "1800 D 2400 23A0 2400 23A0", "-P---", "123.10"},
    {"124.00 before the first draw", "2400 D 2400 2400 D 2400 2405 2400", "PP---P", "124.00"},
    {"no draw at all", "2400 2400 2400", "P--", "124.00"},
    {"first draw before any update", "D 2400 2400 D 2400", "P--", "124.00"},
    {"second draw does not re-arm", "1800 D 2400 D 2400 D D 2400", "-P--", "124.00"},
};

void PrintTo(const Sequence &row, std::ostream *out)
{
    *out << row.name << " [" << row.steps << "]";
}

class CueSequenceTest : public HostTest, public ::testing::WithParamInterface<Sequence> {};

TEST_P(CueSequenceTest, PlaysWhereExpected)
{
    const Sequence &row = GetParam();
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    ASSERT_EQ(gauge.strings.size(), 1u);
    initialize(gauge);
    std::istringstream steps(row.steps);
    std::string step, plays;
    while (steps >> step) {
        if (step == "D")
            draw(gauge);
        else
            plays += update_at(gauge, std::stoull(step, nullptr, 16)) ? 'P' : '-';
    }
    EXPECT_EQ(plays, row.plays) << row.name << ": " << row.steps;
    EXPECT_EQ(readout_text(gauge), row.last_text) << row.name;
    kill(gauge);
}

INSTANTIATE_TEST_SUITE_P(Boomcue, CueSequenceTest, ::testing::ValuesIn(SEQUENCES),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return name;
                         });

class CueTest : public HostTest {};

TEST_F(CueTest, TwoInstancesShareOneCue)
{
    LoadedModule loaded(BOOMCUE_FILE);
    Instance first = loaded.instance();
    Instance second = loaded.instance();
    initialize(first);
    initialize(second);
    draw(first);   // the module's first draw
    EXPECT_TRUE(update_at(first, 0x2400));
    EXPECT_FALSE(update_at(second, 0x2400)) << "the first instance's cue disarmed both";
    draw(second);  // this instance's first draw, but not the module's: no re-arm
    EXPECT_FALSE(update_at(second, 0x2400));
    EXPECT_FALSE(update_at(first, 0x2400));
    EXPECT_FALSE(update_at(second, 0x2405));
    EXPECT_TRUE(update_at(first, 0x2400)) << "the second instance re-armed both";
    EXPECT_FALSE(update_at(second, 0x2400));
    kill(first);
    kill(second);
}

TEST_F(CueTest, FirstDrawReArmsOncePerLoadedModule)
{
    // Each load starts armed and gets its own first-draw re-arm, once for all its instances.
    for (int load = 0; load < 2; ++load) {
        SCOPED_TRACE("load " + std::to_string(load));
        ASSERT_EQ(GetModuleHandleA(BOOMCUE_FILE), nullptr) << "the previous load is gone";
        LoadedModule loaded(BOOMCUE_FILE);
        Instance first = loaded.instance();
        Instance second = loaded.instance();
        initialize(first);
        initialize(second);
        EXPECT_TRUE(update_at(first, 0x2400)) << "armed at load";
        EXPECT_FALSE(update_at(second, 0x2400));
        draw(second);
        EXPECT_TRUE(update_at(first, 0x2400)) << "the module's first draw re-armed it";
        draw(first);
        draw(second);
        EXPECT_FALSE(update_at(first, 0x2400));
        EXPECT_FALSE(update_at(second, 0x2400));
        kill(first);
        kill(second);
    }
}

TEST_F(CueTest, PlayCallArgumentsAreExact)
{
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    uint32_t mark = sound_mark();
    set_var_bits(FREQUENCY_TOKEN, 0x2400);
    update(gauge);
    std::vector<SOUND_EVENT> events = sound_events(mark);
    ASSERT_EQ(events.size(), 1u);
    const SOUND_EVENT &play = events[0];
    EXPECT_EQ(play.kind, SOUND_EVENT_PLAY);
    EXPECT_EQ(play.path_is_null, 0);
    EXPECT_EQ(play.path_truncated, 0);
    EXPECT_STREQ(play.path, "sound\\QX\\Supersonic.wav");
    EXPECT_EQ(play.name_is_null, 0) << "an empty name, never a null pointer";
    EXPECT_STREQ(play.name, "");
    EXPECT_EQ(play.loop, 0);
    EXPECT_EQ(play.effect, SOUND_EFFECT_PLAYED_ONCE);
    EXPECT_TRUE(playing_sounds().empty()) << "a one-shot leaves nothing playing";

    // The whole life of the gauge: load, one cue per arming, terminate and release at the kill.
    for (uint64_t bcd : {0x2400, 0x2405, 0x2400})
        update_at(gauge, bcd);
    kill(gauge);
    const std::string cue = "play(sound\\QX\\Supersonic.wav,,0)";
    EXPECT_EQ(sound_calls(0, true),
              (std::vector<std::string>{"attach", cue, cue, "terminate()", "detach"}));
}

TEST_F(CueTest, ReadoutResultIsZeroOnBothStackAlignments)
{
    for (bool misaligned : {false, true}) {
        SCOPED_TRACE(misaligned ? "4-byte aligned host stack" : "16-byte aligned host stack");
        reset_host();
        LoadedModule loaded(BOOMCUE_FILE);
        Instance gauge = loaded.instance();
        gauge.misaligned_stack = misaligned;
        initialize(gauge);
        draw(gauge);
        // 124.00 plays, 136.97 re-arms, 124.00 plays again, 1210.00 formats the widest.
        const struct {
            uint64_t bcd;
            const char *text;
            bool plays;
        } steps[] = {
            {0x2400, "124.00", true}, {0x3697, "136.97", false}, {0x2400, "124.00", true},
            {0x2A00, "1210.00", false}, {0xFFFF, "11515.15", false}, {0x2400, "124.00", true},
        };
        for (const auto &step : steps) {
            SCOPED_TRACE(step.text);
            call_gauge(gauge, PANEL_SERVICE_PRE_UPDATE);
            set_var_bits(FREQUENCY_TOKEN, step.bcd);
            uint32_t mark = sound_mark();
            double result = update_string(gauge, gauge.strings.at(0));
            EXPECT_EQ(result, 0.0);
            EXPECT_FALSE(std::signbit(result)) << "+0.0, not -0.0";
            EXPECT_EQ(readout_text(gauge), step.text);
            std::vector<SOUND_EVENT> events = sound_events(mark);
            ASSERT_EQ(events.size(), step.plays ? 1u : 0u);
            // The module realigns its stack before it calls out: 12 mod 16 once the return
            // address is pushed.
            if (step.plays)
                EXPECT_EQ(events[0].stack_mod16, 12u);
        }
        kill(gauge);
    }
}

}  // namespace
