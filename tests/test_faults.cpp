// What the simulator can do to a module that it must survive: a sound library that is missing
// or incomplete, unloaded under it by the other module, many instances killed in any order, a
// module reloaded; and the corners of the contract: a cue with no play entry, a readout handed
// no text buffer, an initialise after a kill with the library handle left stale.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>

#include <random>

#include "test_support.h"

using namespace panel_host;
using namespace test_support;

namespace {

// Values under which each module calls the library on the next cycle, and under which it
// stays quiet (the readout re-arms, the loop is stopped).
void set_sounding()
{
    set_var(DRAG_TOKEN_TRIGGER, 9000.0);
    set_var(DRAG_TOKEN_GATE, 150.0);
    set_var_bits(FREQUENCY_TOKEN, 0x2400);
}

void set_stopping()
{
    set_var(DRAG_TOKEN_TRIGGER, 10.0);
    set_var_bits(FREQUENCY_TOKEN, 0x3000);
}

// ---------------------------------------------------------------------------------------------
// A library that is absent or lacks one entry point: every call whose entry is missing is
// skipped, the others still reach the library, and the readout keeps working.

struct VariantCase {
    const char *file;
    const char *variant;
    std::vector<std::string> calls;  // the whole life's journal, loads and unloads included
};

std::ostream &operator<<(std::ostream &out, const VariantCase &row)
{
    return out << row.file << " with library " << row.variant;
}

const std::vector<VariantCase> VARIANT_CASES = {
    // Three sounding cycles (the readout plays on the first, is re-armed by the first draw and
    // plays on the second), one stopping cycle, one more sounding cycle for the readout.
    {BOOMCUE_FILE, "full", {"attach", PLAY_CUE, PLAY_CUE, PLAY_CUE, "terminate()", "detach"}},
    {BOOMCUE_FILE, "no_play", {"attach", "terminate()", "detach"}},
    {BOOMCUE_FILE, "no_stop", {"attach", PLAY_CUE, PLAY_CUE, PLAY_CUE, "terminate()", "detach"}},
    {BOOMCUE_FILE, "no_terminate", {"attach", PLAY_CUE, PLAY_CUE, PLAY_CUE, "detach"}},
    {BOOMCUE_FILE, "absent", {}},
    // The drag cue plays on each of the three sounding cycles and stops on the last two.
    {DRAGDRONE_FILE, "full",
     {"attach", PLAY_LOOP, PLAY_LOOP, PLAY_LOOP, STOP_LOOP, STOP_LOOP, "terminate()", "detach"}},
    {DRAGDRONE_FILE, "no_play", {"attach", STOP_LOOP, STOP_LOOP, "terminate()", "detach"}},
    {DRAGDRONE_FILE, "no_stop", {"attach", PLAY_LOOP, PLAY_LOOP, PLAY_LOOP, "terminate()", "detach"}},
    {DRAGDRONE_FILE, "no_terminate", {"attach", PLAY_LOOP, PLAY_LOOP, PLAY_LOOP, STOP_LOOP, STOP_LOOP, "detach"}},
    {DRAGDRONE_FILE, "absent", {}},
};

class LibraryVariantTest : public HostTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(LibraryVariantTest, MissingEntriesAreSkippedAndTheRestStillWork)
{
    const VariantCase &row = GetParam();
    ASSERT_TRUE(use_sound_library(row.variant));
    LoadedModule loaded(row.file);
    Instance gauge = loaded.instance();
    initialize(gauge);
    set_sounding();
    for (int i = 0; i < 3; ++i)
        cycle(gauge);
    set_stopping();
    cycle(gauge);
    set_var_bits(FREQUENCY_TOKEN, 0x2400);
    cycle(gauge);
    // The readout shows the frequency whatever the library does.
    if (is_boomcue(row.file))
        EXPECT_EQ(gauge.strings.at(0).text, "124.00");
    kill(gauge);
    EXPECT_EQ(sound_calls(0, true), row.calls);
    EXPECT_FALSE(sound_library_loaded());
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, LibraryVariantTest, ::testing::ValuesIn(VARIANT_CASES),
                         [](const auto &info) { return short_name(info.param.file) + "_" + info.param.variant; });

// ---------------------------------------------------------------------------------------------
// Tests over both modules.

class FaultTest : public HostTest, public ::testing::WithParamInterface<const char *> {};

// No PRE_INITIALIZE: the library is not in the process when the kill comes.
TEST_P(FaultTest, KillWithTheLibraryAbsentLoadsItTerminatesAndReleases)
{
    LoadedModule loaded(GetParam());
    Instance gauge = loaded.instance();
    ASSERT_FALSE(sound_library_loaded());
    kill(gauge);
    EXPECT_FALSE(sound_library_loaded());
    EXPECT_EQ(sound_calls(0, true), (std::vector<std::string>{"attach", "terminate()", "detach"}));
}

// The library is installed while the gauge runs: the next update finds it and sounds start.
TEST_P(FaultTest, LibraryThatAppearsLaterIsPickedUpByTheNextUpdate)
{
    ASSERT_TRUE(use_sound_library("absent"));
    LoadedModule loaded(GetParam());
    Instance gauge = loaded.instance();
    set_stopping();
    initialize(gauge);
    cycle(gauge);
    EXPECT_FALSE(sound_library_loaded());
    ASSERT_TRUE(use_sound_library("full"));
    set_sounding();
    cycle(gauge);
    EXPECT_EQ(sound_calls(0, true),
              (std::vector<std::string>{"attach", is_boomcue(GetParam()) ? PLAY_CUE : PLAY_LOOP}));
    kill(gauge);
    EXPECT_FALSE(sound_library_loaded());
}

// Loaded, run, killed, unloaded and loaded again: the module starts from zero, exactly as the
// loader first mapped it, and behaves as on its first load.
TEST_P(FaultTest, ReloadedModuleStartsFromZero)
{
    const char *file = GetParam();
    Snapshot fresh;
    {
        LoadedModule loaded(file);
        fresh = writable_sections(loaded.module.handle);
        Instance gauge = loaded.instance();
        set_sounding();
        initialize(gauge);
        cycle(gauge);
        cycle(gauge);
        EXPECT_NE(writable_sections(loaded.module.handle), fresh)
            << "a run leaves state behind in the module's writable sections";
        kill(gauge);
    }
    char full_path[MAX_PATH];
    GetFullPathNameA(module_path(file).c_str(), sizeof full_path, full_path, 0);
    EXPECT_EQ(GetModuleHandleA(full_path), (HMODULE)0) << "unloaded from the process";

    clear_sound_journal();
    LoadedModule again(file);
    Snapshot reloaded = writable_sections(again.module.handle);
    if (reloaded.base == fresh.base)
        EXPECT_EQ(reloaded, fresh) << "changed bytes: " << changed_offsets(fresh, reloaded).size();
    Instance gauge = again.instance();
    initialize(gauge);
    // Binding from zero: an unset handle makes the first initialise take a reference again.
    EXPECT_TRUE(sound_library_loaded());
    cycle(gauge);
    cycle(gauge);
    // Latch and first-draw flag from zero: the readout plays, the first draw re-arms it, it
    // plays again; the loop plays on every update.
    std::vector<std::string> expected = {"attach"};
    expected.insert(expected.end(), 2, is_boomcue(file) ? PLAY_CUE : PLAY_LOOP);
    EXPECT_EQ(sound_calls(0, true), expected);
    kill(gauge);
    EXPECT_FALSE(sound_library_loaded());
}

// Eight instances of one gauge, updated and killed in a shuffled order. One reference is taken
// by the first initialise, so every kill unloads the library and the next update loads it
// again: every play must still reach the library, and each kill must end in its unloading.
TEST_P(FaultTest, EightInstancesWithKillsBetweenUpdates)
{
    const char *file = GetParam();
    const bool boomcue = is_boomcue(file);
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        reset_host();
        LoadedModule loaded(file);
        std::vector<Instance> gauges;
        for (int i = 0; i < 8; ++i)
            gauges.push_back(loaded.instance());
        for (Instance &gauge : gauges)
            initialize(gauge);
        std::mt19937 random(seed);
        std::vector<size_t> alive = {0, 1, 2, 3, 4, 5, 6, 7};
        set_var(DRAG_TOKEN_TRIGGER, 9000.0);
        set_var(DRAG_TOKEN_GATE, 150.0);
        int expected_plays = 0;
        bool cue_frequency = false;
        while (!alive.empty()) {
            size_t pick = random() % alive.size();
            Instance &gauge = gauges[alive[pick]];
            if (random() % 4 == 0) {
                uint32_t mark = sound_mark();
                kill(gauge);
                std::vector<std::string> calls = sound_calls(mark, true);
                ASSERT_GE(calls.size(), 2u);
                EXPECT_EQ(calls[calls.size() - 2], "terminate()");
                EXPECT_EQ(calls.back(), "detach");
                EXPECT_FALSE(sound_library_loaded());
                alive.erase(alive.begin() + pick);
                continue;
            }
            // The readout alternates between 124.00 (plays) and 130.00 (re-arms).
            cue_frequency = !cue_frequency;
            set_var_bits(FREQUENCY_TOKEN, cue_frequency ? 0x2400 : 0x3000);
            expected_plays += boomcue ? cue_frequency : 1;
            cycle(gauge);
        }
        EXPECT_FALSE(sound_library_loaded()) << "after the last kill";
        // Walk the journal: every call lands while the library is in the process, and every
        // play the modules meant to make arrived.
        bool attached = false;
        int plays = 0;
        for (const SOUND_EVENT &event : sound_events(0)) {
            if (event.kind == SOUND_EVENT_ATTACH || event.kind == SOUND_EVENT_DETACH) {
                EXPECT_NE(attached, event.kind == SOUND_EVENT_ATTACH) << "loads and unloads alternate";
                attached = event.kind == SOUND_EVENT_ATTACH;
                continue;
            }
            EXPECT_TRUE(attached) << "call of kind " << event.kind << " outside a load";
            plays += event.kind == SOUND_EVENT_PLAY;
        }
        EXPECT_EQ(plays, expected_plays);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, FaultTest, ::testing::ValuesIn(MODULE_FILES), ShortName());

// ---------------------------------------------------------------------------------------------
// Both modules in one process: one module's kills unload the library between two cycles of
// the other, which must load it again before it plays.

struct CrossCase {
    const char *survivor;
    const char *killer;
};

std::ostream &operator<<(std::ostream &out, const CrossCase &row)
{
    return out << row.survivor << " survives " << row.killer;
}

class CrossModuleTest : public HostTest, public ::testing::WithParamInterface<CrossCase> {};

TEST_P(CrossModuleTest, OtherModulesKillsUnloadTheLibraryBetweenTwoCycles)
{
    LoadedModule survivor_module(GetParam().survivor);
    LoadedModule killer_module(GetParam().killer);
    Instance survivor = survivor_module.instance();
    Instance killer_a = killer_module.instance();
    Instance killer_b = killer_module.instance();
    // One reference per module: the survivor's and the killer's first initialise.
    initialize(survivor);
    initialize(killer_a);
    initialize(killer_b);
    set_sounding();
    cycle(survivor);
    cycle(killer_a);
    cycle(killer_b);
    set_var_bits(FREQUENCY_TOKEN, 0x3000);  // re-arm the readout, keep the loop going
    cycle(survivor);

    kill(killer_a);
    EXPECT_TRUE(sound_library_loaded()) << "the survivor's reference remains";
    kill(killer_b);
    ASSERT_FALSE(sound_library_loaded()) << "two kills gave back two references";

    uint32_t mark = sound_mark();
    set_var_bits(FREQUENCY_TOKEN, 0x2400);
    cycle(survivor);
    const bool boomcue = is_boomcue(GetParam().survivor);
    EXPECT_EQ(sound_calls(mark, true), (std::vector<std::string>{"attach", boomcue ? PLAY_CUE : PLAY_LOOP}));
    if (!boomcue)
        EXPECT_EQ(playing_sounds(), std::vector<std::string>{"SPBR"}) << "the loop starts again";
    kill(survivor);
    EXPECT_FALSE(sound_library_loaded());
}

INSTANTIATE_TEST_SUITE_P(BothWays, CrossModuleTest,
                         ::testing::Values(CrossCase{BOOMCUE_FILE, DRAGDRONE_FILE},
                                           CrossCase{DRAGDRONE_FILE, BOOMCUE_FILE}),
                         [](const auto &info) { return short_name(info.param.survivor); });

// ---------------------------------------------------------------------------------------------
// The corners of the contract.

// The library has every entry but play: 124.00 on an armed latch reaches the cue, which must
// skip the missing entry rather than call through it. The text is written as ever, and the
// kill still terminates and releases.
TEST_F(HostTest, CueWithTheLibraryLackingOnlyPlayCallsNothing)
{
    ASSERT_TRUE(use_sound_library("no_play"));
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    ASSERT_TRUE(sound_library_loaded());
    const uint32_t mark = sound_mark();
    for (uint64_t bcd : {0x2400ull, 0x2405ull, 0x2400ull}) {
        set_var_bits(FREQUENCY_TOKEN, bcd);
        update(gauge);
        draw(gauge);
    }
    EXPECT_EQ(sound_calls(mark, true), std::vector<std::string>{});
    EXPECT_EQ(gauge.strings.at(0).text, "124.00");
    kill(gauge);
    EXPECT_EQ(sound_calls(mark, true), (std::vector<std::string>{"terminate()", "detach"}));
}

// The readout's prints, watched through its import slot: Wine's msvcrt takes a null buffer
// for a length count and writes nothing, where Windows' faults, so a print through a null
// pointer shows only here.
int sprintf_calls, null_destinations;
int __cdecl watched_sprintf(char *buffer, const char *format, ...)
{
    ++sprintf_calls;
    null_destinations += buffer == 0;
    va_list arguments;
    va_start(arguments, format);
    int length = buffer ? vsprintf(buffer, format, arguments) : 0;
    va_end(arguments);
    return length;
}

// The host may call the readout before it has a text buffer for it (the module's record holds
// a null pointer there): the cue still plays, nothing is printed, the result is 0.0.
TEST_F(HostTest, ReadoutWithANullTextPointerPlaysAndPrintsNothing)
{
    LoadedModule loaded(BOOMCUE_FILE);
    void **sprintf_slot = import_slot(loaded.module.handle, "msvcrt.dll", "sprintf");
    ASSERT_TRUE(sprintf_slot);
    DWORD protection;
    ASSERT_TRUE(VirtualProtect(sprintf_slot, sizeof *sprintf_slot, PAGE_READWRITE, &protection));
    void *const msvcrt_sprintf = *sprintf_slot;
    *sprintf_slot = (void *)&watched_sprintf;
    sprintf_calls = null_destinations = 0;
    Instance gauge = loaded.instance();
    initialize(gauge);
    ELEMENT_STRING *element = gauge.strings.at(0).element;
    set_var_bits(FREQUENCY_TOKEN, 0xFFFF2400ull);
    fetch_var((uint8_t *)element + host_contract::STRING_SOURCE_VARS_AT);
    host_contract::write_at<uint32_t>(element, host_contract::STRING_TEXT_AT, 0);
    const Snapshot before = writable_sections(loaded.module.handle);
    const uint32_t mark = sound_mark();
    EXPECT_EQ(call_string_at(element, HOST_STACK_MOD16), 0.0);
    EXPECT_EQ(sound_calls(mark), std::vector<std::string>{PLAY_CUE});
    EXPECT_EQ(null_destinations, 0) << "printed through the null text pointer";
    EXPECT_EQ(sprintf_calls, 0);
    // The latch is the one word the call may change.
    EXPECT_EQ(changed_offsets(before, writable_sections(loaded.module.handle)).size(), 1u);
    // The watch sees the module's prints: with a buffer, one.
    update(gauge);
    EXPECT_EQ(sprintf_calls, 1);
    EXPECT_EQ(gauge.strings.at(0).text, "124.00");
    *sprintf_slot = msvcrt_sprintf;
    kill(gauge);
}

// After a kill the module keeps the released library's handle. An instance initialised after
// it binds against that stale handle without loading the library; its first update finds the
// library gone, loads it by name and sounds; its kill gives that reference back.
TEST_P(FaultTest, InitialiseAfterAKillKeepsTheStaleHandleAndTheUpdateLoadsAgain)
{
    const char *file = GetParam();
    LoadedModule loaded(file);
    Instance first = loaded.instance();
    initialize(first);
    kill(first);
    ASSERT_FALSE(sound_library_loaded());

    Instance second = loaded.instance();
    const uint32_t mark = sound_mark();
    initialize(second);
    EXPECT_EQ(sound_calls(mark, true), std::vector<std::string>{}) << "initialise loaded the library";
    EXPECT_FALSE(sound_library_loaded());
    set_sounding();
    update(second);
    EXPECT_EQ(sound_calls(mark, true),
              (std::vector<std::string>{"attach", is_boomcue(file) ? PLAY_CUE : PLAY_LOOP}));
    kill(second);
    EXPECT_FALSE(sound_library_loaded()) << "the update's reference was not given back";
}

}  // namespace
