// The host's side of the contract (the stand-in host's host_contract.h) held against the
// modules' side (framework/host_panel.h, gauge_records.h, sound_binding.h), fact by fact: a
// wrong code, size, offset, name or convention on either side fails here by name. Each side is
// read in its own file, which includes only that side's headers. The stand-in sound library
// is held to the host's side too: it exports exactly the entries the contract names.
#include <map>

#include "contract/contract_facts.h"
#include "host_contract.h"
#include "test_support.h"

namespace {

TEST(ContractTest, BothSidesDescribeTheSameContract)
{
    const std::vector<ContractFact> module_side = module_side_facts(), host_side = host_side_facts();
    std::map<std::string, std::string> host;
    for (const ContractFact &row : host_side)
        EXPECT_TRUE(host.emplace(row.what, row.value).second) << "the host's side twice: " << row.what;
    std::map<std::string, std::string> module;
    for (const ContractFact &row : module_side) {
        EXPECT_TRUE(module.emplace(row.what, row.value).second) << "the module's side twice: " << row.what;
        auto found = host.find(row.what);
        if (found == host.end())
            ADD_FAILURE() << row.what << ": only the module's side says (" << row.value << ")";
        else
            EXPECT_EQ(row.value, found->second) << row.what << ": the module's side, then the host's";
    }
    for (const ContractFact &row : host_side)
        EXPECT_TRUE(module.count(row.what)) << row.what << ": only the host's side says (" << row.value << ")";
    EXPECT_GE(host.size(), 80u);
}

// Each variant of the stand-in lacks exactly the entry its name says, by the contract's names.
struct VariantExports {
    const char *variant;
    bool play, stop, terminate;
};
void PrintTo(const VariantExports &row, std::ostream *out) { *out << row.variant; }

class SoundStandInTest : public ::testing::TestWithParam<VariantExports> {};

TEST_P(SoundStandInTest, ExportsTheContractsEntriesByName)
{
    const VariantExports &row = GetParam();
    std::string path = test_support::exe_folder() + "sound\\" + row.variant + "\\" +
                       host_contract::SOUND_LIBRARY_NAME + ".dll";
    HMODULE library = LoadLibraryExA(path.c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_TRUE(library) << path;
    EXPECT_EQ(GetProcAddress(library, host_contract::SOUND_PLAY_ENTRY) != 0, row.play);
    EXPECT_EQ(GetProcAddress(library, host_contract::SOUND_STOP_ENTRY) != 0, row.stop);
    EXPECT_EQ(GetProcAddress(library, host_contract::SOUND_TERMINATE_ENTRY) != 0, row.terminate);
    FreeLibrary(library);
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, SoundStandInTest,
                         ::testing::Values(VariantExports{"full", true, true, true},
                                           VariantExports{"no_play", false, true, true},
                                           VariantExports{"no_stop", true, false, true},
                                           VariantExports{"no_terminate", true, true, false}),
                         [](const auto &info) { return std::string(info.param.variant); });

}  // namespace
