// gaugeinstall's command line as users type it: what each form asks for, and the one line a
// mistake gets. The usage text is the contract these rows follow.
#include <gtest/gtest.h>

#include "install_options.h"

namespace {

using gaugeinstall::Mode;
using panelcfg::Where;

struct Row {
    const char *name;
    std::vector<std::string> args;
    Mode mode;
    bool dry_run, json;
    Where where;
    int x, y;
    std::string sim;
    std::vector<std::string> aircraft;
    const char *error;  // a part of the one line, for a row that must be refused
};
void PrintTo(const Row &row, std::ostream *out) { *out << row.name; }

const Row ROWS[] = {
    {"DoubleClick", {}, Mode::interactive, false, false, Where::both, 0, 0, "", {}, nullptr},
    {"FolderDropped", {"C:\\FS9"}, Mode::interactive, false, false, Where::both, 0, 0, "C:\\FS9", {}, nullptr},
    {"Install", {"C:\\FS9", "Cessna", "D:\\My Plane"}, Mode::install, false, false, Where::both, 0, 0, "C:\\FS9",
     {"Cessna", "D:\\My Plane"}, nullptr},
    {"OptionsAnywhere", {"C:\\FS9", "--at", "-5,60", "Cessna", "--where", "vc", "--json", "--dry-run"}, Mode::install,
     true, true, Where::vcockpit, -5, 60, "C:\\FS9", {"Cessna"}, nullptr},
    {"TwoD", {"--where", "2d", "C:\\FS9", "Cessna"}, Mode::install, false, false, Where::window, 0, 0, "C:\\FS9",
     {"Cessna"}, nullptr},
    {"UninstallEverywhere", {"--uninstall", "C:\\FS9"}, Mode::uninstall, false, false, Where::both, 0, 0, "C:\\FS9", {},
     nullptr},
    {"Help", {"C:\\FS9", "/?"}, Mode::help, false, false, Where::both, 0, 0, "", {}, nullptr},
    {"NoAircraft", {"--dry-run", "C:\\FS9"}, Mode::install, false, false, Where::both, 0, 0, "", {},
     "name the aircraft to install into"},
    {"OnlyOptions", {"--json"}, Mode::install, false, false, Where::both, 0, 0, "", {}, "give the simulator's folder"},
    {"AtWithoutComma", {"--at", "10", "C:\\FS9", "Cessna"}, Mode::install, false, false, Where::both, 0, 0, "", {},
     "--at expects X,Y"},
    {"AtPastAPanel", {"--at", "10,99999", "C:\\FS9", "Cessna"}, Mode::install, false, false, Where::both, 0, 0, "", {},
     "not '10,99999'"},
    {"AtNotANumber", {"--at", "1e3,5", "C:\\FS9", "Cessna"}, Mode::install, false, false, Where::both, 0, 0, "", {},
     "--at expects X,Y"},
    {"WhereMissing", {"C:\\FS9", "Cessna", "--where"}, Mode::install, false, false, Where::both, 0, 0, "", {},
     "--where expects 2d, vc or both (see --help)"},
    {"UninstallPlaced", {"--uninstall", "--where", "vc", "C:\\FS9"}, Mode::install, false, false, Where::both, 0, 0, "",
     {}, "--where places the gauges"},
    {"UnknownOption", {"-x", "C:\\FS9", "Cessna"}, Mode::install, false, false, Where::both, 0, 0, "", {},
     "unknown option '-x'"},
};

class InstallOptions : public ::testing::TestWithParam<Row> {};

TEST_P(InstallOptions, EachFormAsksForWhatItSays)
{
    const Row &row = GetParam();
    gaugeinstall::Options options;
    std::string error;
    bool read = gaugeinstall::read_options(row.args, options, error);
    if (row.error) {
        EXPECT_FALSE(read);
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
        return;
    }
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(options.mode, row.mode);
    EXPECT_EQ(options.dry_run, row.dry_run);
    EXPECT_EQ(options.json, row.json);
    EXPECT_EQ(options.request.where, row.where);
    EXPECT_EQ(options.request.x, row.x);
    EXPECT_EQ(options.request.y, row.y);
    if (row.mode != Mode::help) {
        EXPECT_EQ(options.sim_folder, row.sim);
        EXPECT_EQ(options.aircraft, row.aircraft);
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, InstallOptions, ::testing::ValuesIn(ROWS),
                         [](const ::testing::TestParamInfo<Row> &info) { return std::string(info.param.name); });

}  // namespace
