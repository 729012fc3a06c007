// The gauge callback of both modules: binding the sound library, refreshing the module
// variables, the first-draw flag, the kill, and codes that must do nothing.
#include "test_support.h"

using namespace panel_host;
using namespace test_support;

namespace {

class DispatchTest : public HostTest, public ::testing::WithParamInterface<ModuleCase> {};

TEST_P(DispatchTest, UpdateFetchesEveryModuleVariableInOrder)
{
    LoadedModule loaded(GetParam().file);
    Instance gauge = loaded.instance();
    initialize(gauge);
    EXPECT_TRUE(fetches().empty()) << "PRE_INITIALIZE fetches nothing";
    for (int round = 0; round < 3; ++round) {
        clear_fetches();
        call_gauge(gauge, PANEL_SERVICE_PRE_UPDATE);
        EXPECT_EQ(fetched_tokens(), GetParam().tokens) << "update " << round;
    }
    // The records the host filled are the module's own, one per variable, the same each time.
    std::vector<MODULE_VAR *> records;
    for (const Fetch &fetch : fetches())
        records.push_back(fetch.record);
    clear_fetches();
    call_gauge(gauge, PANEL_SERVICE_PRE_UPDATE);
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(fetches()[i].record, records[i]);
    kill(gauge);
}

TEST_P(DispatchTest, OtherServiceCodesDoNothing)
{
    LoadedModule loaded(GetParam().file);
    Instance gauge = loaded.instance();
    initialize(gauge);
    uint32_t mark = sound_mark();
    const int32_t codes[] = {-1, 0, 1, 2, 3, 5, 7, 8, 9, 11, 13, 14, 15, 100, 0x7FFFFFFF, INT32_MIN};
    for (int32_t code : codes) {
        call_gauge(gauge, code, 0xDEADBEEF);
        EXPECT_TRUE(fetches().empty()) << "code " << code;
        EXPECT_EQ(sound_calls(mark, true), std::vector<std::string>()) << "code " << code;
    }
    kill(gauge);
}

TEST_P(DispatchTest, InitializeLoadsTheLibraryKillTerminatesAndReleasesIt)
{
    LoadedModule loaded(GetParam().file);
    Instance gauge = loaded.instance();
    ASSERT_FALSE(sound_library_loaded());
    initialize(gauge);
    EXPECT_TRUE(sound_library_loaded());
    cycle(gauge);
    kill(gauge);
    EXPECT_FALSE(sound_library_loaded()) << "the kill gives back the only reference";
    // attach on the first PRE_INITIALIZE; the kill terminates before it releases.
    std::vector<std::string> calls = sound_calls(0, true);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front(), "attach");
    EXPECT_EQ(calls[calls.size() - 2], "terminate()");
    EXPECT_EQ(calls.back(), "detach");
}

TEST_P(DispatchTest, KillWithTheLibraryAbsentLoadsItTerminatesAndReleases)
{
    LoadedModule loaded(GetParam().file);
    Instance gauge = loaded.instance();
    // No PRE_INITIALIZE: the library is not in the process when the kill comes.
    ASSERT_FALSE(sound_library_loaded());
    kill(gauge);
    EXPECT_FALSE(sound_library_loaded());
    EXPECT_EQ(sound_calls(0, true), (std::vector<std::string>{"attach", "terminate()", "detach"}));
}

TEST_P(DispatchTest, FirstKillUnloadsTheLibraryAndTheOtherInstanceBindsItAgain)
{
    LoadedModule loaded(GetParam().file);
    Instance first = loaded.instance();
    Instance second = loaded.instance();
    initialize(first);
    initialize(second);  // the handle is set: no second reference
    cycle(first);
    cycle(second);
    kill(first);
    EXPECT_FALSE(sound_library_loaded()) << "one reference was taken, one given back";
    uint32_t mark = sound_mark();
    update(second);
    EXPECT_TRUE(sound_library_loaded()) << "the update found it gone and loaded it anew";
    std::vector<std::string> calls = sound_calls(mark, true);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "attach") << "loaded before any play or stop call";
    kill(second);
    EXPECT_FALSE(sound_library_loaded());
}

INSTANTIATE_TEST_SUITE_P(BothModules, DispatchTest, ::testing::ValuesIn(MODULE_CASES),
                         [](const auto &info) {
                             return std::string(info.param.file).substr(5, 4);
                         });

}  // namespace
