// The drag cue over many updates, as the sound library sees it: when the "SPBR" loop starts and
// stops, that repeated play calls leave one loop, and that a kill silences it.
#include "test_support.h"

#include <math.h>
#include <stdio.h>

using namespace panel_host;
using namespace test_support;

namespace {

// One update: the values the host returns, the calls it must make, and whether the loop
// plays afterwards.
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
     {
         {0.0, 150.0, {STOP_LOOP}, false},
         {7999.0, 150.0, {STOP_LOOP}, false},
         {8000.0, 150.0, {}, false},
         {ABOVE_8000, 150.0, {PLAY_LOOP}, true},
         {9000.0, 150.0, {PLAY_LOOP}, true},
     }},
    {"keeps playing when the gate falls to 100 or below",
     {
         {9000.0, 150.0, {PLAY_LOOP}, true},
         {9000.0, 100.0, {}, true},
         {9000.0, 50.0, {}, true},
         {9000.0, NAN, {}, true},
         {9000.0, -INFINITY, {}, true},
         {8000.0, 50.0, {}, true},
     }},
    {"starts late when the gate passes 100 while the trigger is above 8000",
     {
         {0.0, 50.0, {STOP_LOOP}, false},
         {9000.0, 50.0, {}, false},
         {9000.0, 100.0, {}, false},
         {9000.0, ABOVE_100, {PLAY_LOOP}, true},
         {9000.0, 150.0, {PLAY_LOOP}, true},
     }},
    {"stops when the trigger falls below 8000, whatever the gate",
     {
         {9000.0, 150.0, {PLAY_LOOP}, true},
         {8000.0, 150.0, {}, true},
         {BELOW_8000, 150.0, {STOP_LOOP}, false},
         {BELOW_8000, 150.0, {STOP_LOOP}, false},
         {9000.0, 150.0, {PLAY_LOOP}, true},
         {-INFINITY, 50.0, {STOP_LOOP}, false},
     }},
    {"a trigger held at exactly 8000 neither starts nor stops the loop",
     {
         {8000.0, 150.0, {}, false},
         {8000.0, INFINITY, {}, false},
         {8000.0, 150.0, {}, false},
         {9000.0, 150.0, {PLAY_LOOP}, true},
         {8000.0, 150.0, {}, true},
         {8000.0, 50.0, {}, true},
         {8000.0, 150.0, {}, true},
     }},
    {"a NaN trigger neither starts nor stops the loop",
     {
         {NAN, 150.0, {}, false},
         {9000.0, 150.0, {PLAY_LOOP}, true},
         {NAN, 150.0, {}, true},
         {NAN, 50.0, {}, true},
     }},
};

class DragDroneLoopTest : public HostTest {};

TEST_F(DragDroneLoopTest, FollowsTheTriggerAndTheGate)
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
            snprintf(row, sizeof row, "step %u: trigger %.17g, gate %.17g", (unsigned)i,
                     step.trigger, step.gate);
            SCOPED_TRACE(row);
            set_var(DRAG_TOKEN_TRIGGER, step.trigger);
            set_var(DRAG_TOKEN_GATE, step.gate);
            set_var(DRAG_TOKEN_UNUSED, (double)i * 5000.0);  // no effect, whatever it holds
            uint32_t mark = sound_mark();
            cycle(gauge);
            EXPECT_EQ(sound_calls(mark), step.calls);
            EXPECT_EQ(playing_sounds(), step.playing ? std::vector<std::string>{"SPBR"}
                                                     : std::vector<std::string>{});
        }
        kill(gauge);
        EXPECT_TRUE(playing_sounds().empty());
    }
}

TEST_F(DragDroneLoopTest, RepeatedPlayCallsLeaveOneLoop)
{
    LoadedModule loaded(DRAGDRONE_FILE);
    // Two instances of the gauge share the module's variables and the one library.
    Instance first = loaded.instance();
    Instance second = loaded.instance();
    initialize(first);
    initialize(second);
    set_var(DRAG_TOKEN_TRIGGER, 9000.0);
    set_var(DRAG_TOKEN_GATE, 150.0);
    uint32_t mark = sound_mark();
    for (int round = 0; round < 20; ++round) {
        cycle(first);
        cycle(second);
        EXPECT_EQ(playing_sounds(), std::vector<std::string>{"SPBR"}) << "round " << round;
    }
    // The gate closing and opening again while the trigger holds does not start a second one.
    set_var(DRAG_TOKEN_GATE, 100.0);
    cycle(first);
    set_var(DRAG_TOKEN_GATE, 150.0);
    cycle(first);
    EXPECT_EQ(playing_sounds(), std::vector<std::string>{"SPBR"});

    // 41 play calls: the first starts the loop, every later one finds it playing.
    std::vector<SOUND_EVENT> events = sound_events(mark);
    ASSERT_EQ(events.size(), 41u);
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, SOUND_EVENT_PLAY) << "call " << i;
        EXPECT_EQ(events[i].effect, i == 0 ? SOUND_EFFECT_STARTED_LOOP : SOUND_EFFECT_ALREADY_PLAYING)
            << "call " << i;
    }
    kill(first);
    kill(second);
}

TEST_F(DragDroneLoopTest, KillTerminatesTheLoopAndUnloadsTheLibrary)
{
    LoadedModule loaded(DRAGDRONE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    set_var(DRAG_TOKEN_TRIGGER, 9000.0);
    set_var(DRAG_TOKEN_GATE, 150.0);
    cycle(gauge);
    cycle(gauge);
    ASSERT_EQ(playing_sounds(), std::vector<std::string>{"SPBR"});

    // The kill neither plays nor stops: it terminates everything, then gives the library back.
    uint32_t mark = sound_mark();
    kill(gauge);
    EXPECT_EQ(sound_calls(mark, true), (std::vector<std::string>{"terminate()", "detach"}));
    std::vector<SOUND_EVENT> events = sound_events(mark);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].count, 1u) << "the terminate stopped the one loop";
    EXPECT_EQ(events[1].count, 0u) << "nothing was left playing when the library went";
    EXPECT_TRUE(playing_sounds().empty());
    EXPECT_FALSE(sound_library_loaded());
}

}  // namespace
