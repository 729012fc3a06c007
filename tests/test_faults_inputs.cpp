// Bad input from the host: random service codes with random extra data, and extreme values in
// variables a module must ignore. The modules must not crash and must act on nothing but their
// four codes. (Extreme trigger and gate values are in test_dragdrone, every readout value
// in test_boomcue_readout.) Then bad input to the host: a module too large to walk, and a sound
// library folder without the library.
#include <float.h>

#include <random>

#include "bench_runs.h"
#include "test_support.h"
#include "toolbox.h"

using namespace panel_host;
using namespace test_support;

namespace {

// ---------------------------------------------------------------------------------------------
// 100,000 gauge calls per module with random codes and random extra data. A code other than
// 4, 6, 10 and 12 must leave the module's writable memory, the host's fetch log and the sound
// journal exactly as they were; the four acted-on codes must do what they always do whatever
// the extra data.

class RandomServiceTest : public HostTest, public ::testing::WithParamInterface<ModuleCase> {};

bool acted_on(int32_t code)
{
    return code == host_contract::SERVICE_PRE_INITIALIZE || code == host_contract::SERVICE_PRE_UPDATE ||
           code == host_contract::SERVICE_PRE_DRAW || code == host_contract::SERVICE_PRE_KILL;
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
    set_var(DRAG_TOKEN_TRIGGER, 9000.0);  // the loop plays on every update
    set_var(DRAG_TOKEN_GATE, 150.0);
    std::mt19937 random(20040729);
    int counts[4] = {0};  // inert, 4 and 10, 6, 12
    for (int call = 0; call < 100000; ++call) {
        const int32_t code = random_code(random);
        const uint32_t extra = random();
        const Snapshot before = writable_sections(loaded.module.handle);
        const uint32_t mark = sound_mark();
        clear_fetches();

        call_gauge(gauge, code, extra);

        const std::string row = "call " + std::to_string(call) + ": code " + std::to_string(code) +
                                " extra " + std::to_string(extra);
        std::vector<std::string> calls = sound_calls(mark, true);
        switch (code) {
        case host_contract::SERVICE_PRE_INITIALIZE:
        case host_contract::SERVICE_PRE_DRAW:
            ++counts[1];
            ASSERT_TRUE(fetches().empty()) << row;
            ASSERT_TRUE(calls.empty() || calls == std::vector<std::string>{"attach"}) << row;
            break;
        case host_contract::SERVICE_PRE_UPDATE:
            ++counts[2];
            ASSERT_EQ(fetched_tokens(), module_case.tokens) << row;
            if (module_case.tokens.size() == 3)
                ASSERT_TRUE(!calls.empty() && calls.back() == PLAY_LOOP) << row;
            ASSERT_TRUE(sound_library_loaded()) << row;
            break;
        case host_contract::SERVICE_PRE_KILL:
            ++counts[3];
            ASSERT_GE(calls.size(), 2u) << row;
            ASSERT_EQ(calls[calls.size() - 2], "terminate()") << row;
            ASSERT_EQ(calls.back(), "detach") << row;
            break;
        default:
            ++counts[0];
            ASSERT_EQ(writable_sections(loaded.module.handle), before) << row;
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

INSTANTIATE_TEST_SUITE_P(BothModules, RandomServiceTest, ::testing::ValuesIn(MODULE_CASES), ShortName());

// The frequency cue fetches six module variables and must use none of them.
TEST(VariableValueTest, FrequencyCueIgnoresItsModuleVariablesWhateverTheirValues)
{
    reset_host();
    LoadedModule loaded(BOOMCUE_FILE);
    Instance gauge = loaded.instance();
    initialize(gauge);
    set_var_bits(FREQUENCY_TOKEN, 0x1800);
    const uint64_t values[] = {
        bits_of(124.0), 0x2400, 0x8000000000000000ull, 1, 0x000FFFFFFFFFFFFFull, bits_of(DBL_MAX),
        bits_of(-DBL_MAX), 0x7FF0000000000000ull, 0xFFF0000000000000ull, 0x7FF8000000000000ull,
        0x7FF0000000000001ull, ~0ull,
    };
    for (uint64_t value : values) {
        for (uint32_t token : MODULE_CASES[0].tokens)
            set_var_bits(token, value);
        uint32_t mark = sound_mark();
        cycle(gauge);
        EXPECT_EQ(sound_calls(mark), std::vector<std::string>()) << std::hex << value;
        EXPECT_EQ(gauge.strings.at(0).text, "118.00") << std::hex << value;
    }
    kill(gauge);
}

// ---------------------------------------------------------------------------------------------
// Bad input from a module file: element lists that name the next element twice at each of 30
// levels. Every record lies inside the module, but walking it as a tree is 2^30 visits; the
// host must give up early and call the module unreadable, not hang.
TEST(ModuleInputTest, ElementTreeTooLargeToWalkIsRefusedQuickly)
{
    reset_host();
    Module module;
    std::string error;
    bool unreadable = false;
    const DWORD start = GetTickCount();
    const bool loaded = load_module(exe_folder() + "..\\test-gauges\\Rogue_Tree.gau", module, error, &unreadable);
    const DWORD took = GetTickCount() - start;
    if (loaded)
        unload_module(module);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(unreadable) << error;
    EXPECT_NE(error.find("cannot be read safely"), std::string::npos) << error;
    EXPECT_LT(took, 5000u) << "milliseconds to refuse it";
}

// The bench says so and exits 4, and the exceptions the module raised and handled while it
// loaded are not taken for a crash in its entry point.
TEST(ModuleInputTest, BenchReportsTheTreeAsUnreadableNotAsACrash)
{
    const std::string path = exe_folder() + "..\\test-gauges\\Rogue_Tree.gau";
    ProgramRun run = run_gaugebench(quote(path));
    EXPECT_EQ(run.exit_code, 4u) << run.err;
    EXPECT_NE(run.err.find("error: " + path + ": cannot be read safely: its element tree reaches more than 1024 "
                           "elements"),
              std::string::npos)
        << run.err;
}

// A sound library variant whose folder is there but holds no library would leave every gauge
// silent while the run went on as if the library were loaded.
class SoundLibraryChoiceTest : public HostTest {};

TEST_F(SoundLibraryChoiceTest, FolderWithoutTheLibraryIsRefused)
{
    const std::wstring folder = toolbox::widen(exe_folder()) + L"sound\\no_library_inside";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS);
    const bool chosen = use_sound_library("no_library_inside");
    RemoveDirectoryW(folder.c_str());
    EXPECT_FALSE(chosen);
    EXPECT_TRUE(use_sound_library("full"));
}

}  // namespace
