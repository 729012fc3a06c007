// The frequency cue of VQT7_Boomcue as the host drives it: when the one-shot plays over
// sequences of frequencies, and the latch shared by every instance. A play counts only when
// its call string, which carries every argument, is exactly PLAY_CUE; test_faults checks a
// whole life's calls, load and release included.
#include <ctype.h>

#include <sstream>

#include "test_support.h"

using namespace panel_host;
using namespace test_support;

namespace {

// One host update at the given frequency: 'P' when it played the cue, '-' when it called
// nothing, '?' for anything else.
char update_at(Instance &gauge, uint64_t bcd)
{
    set_var_bits(FREQUENCY_TOKEN, bcd);
    uint32_t mark = sound_mark();
    update(gauge);
    std::vector<std::string> calls = sound_calls(mark);
    return calls.empty() ? '-' : calls == std::vector<std::string>{PLAY_CUE} ? 'P' : '?';
}

// A scenario over two instances of the gauge: hex BCD words are host updates of the first
// instance at that frequency, "D" is its draw; "2:" before either is the second instance.
// `plays` has one mark per update. The latch is module-wide: both instances share one cue.
struct Sequence {
    const char *name;
    const char *steps;
    const char *plays;
    const char *last_text;  // the first instance's readout after its last update
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
    {"two instances share one cue", "D 2400 2:2400 2:D 2:2400 2400 2:2405 2400 2:2400", "P----P-", "124.00"},
    {"the module's first draw re-arms, from either instance", "2400 2:2400 2:D 2400 D 2:D 2400 2:2400",
     "P-P--", "124.00"},
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
    Instance gauges[2] = {loaded.instance(), loaded.instance()};
    ASSERT_EQ(gauges[0].strings.size(), 1u);
    initialize(gauges[0]);
    initialize(gauges[1]);
    std::istringstream steps(row.steps);
    std::string step, plays;
    while (steps >> step) {
        Instance &gauge = gauges[step.compare(0, 2, "2:") == 0];
        step = step.substr(step.find(':') + 1);
        if (step == "D")
            draw(gauge);
        else
            plays += update_at(gauge, std::stoull(step, nullptr, 16));
    }
    EXPECT_EQ(plays, row.plays) << row.name << ": " << row.steps;
    EXPECT_EQ(gauges[0].strings.at(0).text, row.last_text) << row.name;
    kill(gauges[1]);
    kill(gauges[0]);
}

INSTANTIATE_TEST_SUITE_P(Boomcue, CueSequenceTest, ::testing::ValuesIn(SEQUENCES),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return name;
                         });

}  // namespace
