// What the simulator can do to a module that it must survive: a sound library that is missing
// or incomplete, unloaded under it by the other module, many instances killed in any order, a
// module reloaded, and a host that keeps its stack aligned to 4 bytes only.
#include <math.h>

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
// Every host entry point through a stack aligned to 4 bytes only. The thunk calls `fn` with
// `count` 32-bit arguments so that the stack pointer at the call instruction is `mod16` off a
// 16-byte boundary, and returns how far the stack pointer moved across the call beyond the
// arguments the callee should remove (0 for a callee with the host's convention). With
// `double_result` set it pops the callee's x87 result into *result.

extern "C" int32_t __cdecl fault_call_misaligned(void *fn, const uint32_t *args, uint32_t count, uint32_t mod16,
                                                 uint32_t double_result, double *result);
__asm__(
    ".text\n"
    ".globl _fault_call_misaligned\n"
    "_fault_call_misaligned:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  andl $-16, %esp\n"
    "  movl 16(%ebp), %ecx\n"      // count
    "  leal (,%ecx,4), %eax\n"
    "  addl 20(%ebp), %eax\n"      // pad = -(4 * count + mod16) & 15
    "  negl %eax\n"
    "  andl $15, %eax\n"
    "  subl %eax, %esp\n"
    "  movl %esp, %edi\n"          // where the stack must be once the callee has returned
    "  movl 12(%ebp), %esi\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "  pushl -4(%esi,%ecx,4)\n"
    "  decl %ecx\n"
    "  jmp 1b\n"
    "2:\n"
    "  call *8(%ebp)\n"
    "  movl %esp, %eax\n"
    "  subl %edi, %eax\n"
    "  cmpl $0, 24(%ebp)\n"
    "  je 3f\n"
    "  movl 28(%ebp), %ecx\n"
    "  fstpl (%ecx)\n"
    "3:\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

// The x87 register stack must be empty between host calls.
uint16_t x87_tag_word()
{
    uint8_t environment[28];
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(environment));
    uint16_t tags;
    memcpy(&tags, environment + 8, sizeof tags);
    return tags;
}

class MisalignedStackTest : public HostTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(MisalignedStackTest, EveryEntryPointRealignsAndRemovesItsArguments)
{
    const char *file = GetParam();
    LoadedModule loaded(file);
    Instance gauge = loaded.instance();
    GAUGE_LINKAGE *linkage = loaded.module.linkage;
    set_sounding();
    char text[TEXT_BUFFER_BYTES];

    for (uint32_t mod16 : {4u, 8u, 12u}) {
        SCOPED_TRACE("stack " + std::to_string(mod16) + " mod 16 at the call");
        clear_sound_journal();
        // A routine without arguments (code -1), or the gauge callback with a service code.
        auto call = [&](void *fn, int32_t code) {
            uint32_t args[3] = {(uint32_t)(uintptr_t)gauge.gauge, (uint32_t)code, 0x5A5A5A5Au};
            EXPECT_EQ(fault_call_misaligned(fn, args, code < 0 ? 0 : 3, mod16, 0, 0), 0) << "code " << code;
            EXPECT_EQ(x87_tag_word(), 0xFFFF) << "code " << code;
        };
        auto service = [&](int32_t code) { call((void *)gauge.gauge->gauge_callback, code); };
        call((void *)linkage->module_init, -1);
        service(PANEL_SERVICE_PRE_INITIALIZE);
        service(PANEL_SERVICE_PRE_UPDATE);
        for (StringElement &string : gauge.strings) {
            // The host's part of an element update, then the readout through the thunk.
            for (MODULE_VAR &var : string.element->source_var)
                panels()->fetch_var(&var);
            memset(text, TEXT_POISON, sizeof text);
            string.element->string = text;
            uint32_t args[1] = {(uint32_t)(uintptr_t)string.element};
            double result = -1.0;
            EXPECT_EQ(fault_call_misaligned((void *)string.element->update_cb, args, 1, mod16, 1, &result), 0);
            EXPECT_TRUE(result == 0.0 && !signbit(result)) << result;
            EXPECT_STREQ(text, "124.00");
            EXPECT_EQ(x87_tag_word(), 0xFFFF) << "readout";
        }
        service(PANEL_SERVICE_PRE_DRAW);
        service(7);  // ignored code
        service(PANEL_SERVICE_PRE_KILL);
        call((void *)linkage->module_deinit, -1);

        // play (readout or loop), terminate; each made from a 16-byte aligned stack.
        int calls = 0;
        for (const SOUND_EVENT &event : sound_events(0)) {
            if (event.kind == SOUND_EVENT_ATTACH || event.kind == SOUND_EVENT_DETACH)
                continue;
            ++calls;
            EXPECT_EQ(event.stack_mod16, 12u) << "event kind " << event.kind;
        }
        EXPECT_GE(calls, 2) << "a play and the terminate at least";
        EXPECT_FALSE(sound_library_loaded());
        // Re-arm the readout for the next pass (its first draw is past).
        set_var_bits(FREQUENCY_TOKEN, 0x3000);
        initialize(gauge);
        update(gauge);
        kill(gauge);
        set_var_bits(FREQUENCY_TOKEN, 0x2400);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, MisalignedStackTest, ::testing::ValuesIn(MODULE_FILES), ShortName());

}  // namespace
