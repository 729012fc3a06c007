// gaugeinstall.exe run as a user runs it, on fake simulator folders built here: an empty fs9.exe
// and aircraft with panel.cfg files of our own in the shapes real ones have. An install changes
// only whole lines of them, taking each file's own line ends; installing again changes nothing,
// not even a file time; uninstalling gives back every byte. What it refuses, it refuses before
// any change. The single cases are test_gaugeinstall_runs.cpp's.
#include <nlohmann/json.hpp>

#include "files_and_programs.h"
#include "install_runs.h"
#include "test_support.h"
#include "toolbox.h"

using namespace test_support;
using nlohmann::json;

namespace {

std::wstring wide(const std::string &path) { return toolbox::widen(path); }

// The lines an install writes, as the READ-ME gives them: the readout at --at (0,0 unless
// given) in 40 x 40, the drag cue 1 x 1.
const char CUE_LINE[] = "=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40";
const char DRONE_LINE[] = "=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1";

struct File {
    std::string path;  // relative to the simulator's Aircraft folder
    std::string bytes;
};
struct RoundTrip {
    const char *name;
    std::vector<File> files;            // every file of the aircraft "Skylane" and any other it names
    std::vector<std::string> changed;   // the panel files the install changes
    int lines_each;                     // lines naming our modules added to each
    const char *line_end;               // what each new line ends with
    const char *installed = nullptr;    // the exact bytes of the first changed file, where given
    bool ansi_names = false;            // its cfg files name folders in ANSI bytes (0xE9), its paths in UTF-8
};

// A row's path as the system's ANSI code page reads the byte 0xE9 that the row's cfg files use
// (U+00E9 in code page 1252, the path as written).
std::string as_ansi_reads(const RoundTrip &row, std::string path)
{
    if (!row.ansi_names)
        return path;
    std::string letter = toolbox::ansi_to_utf8("\xE9");
    for (size_t at = path.find("\xC3\xA9"); at != std::string::npos; at = path.find("\xC3\xA9", at + letter.size()))
        path.replace(at, 2, letter);
    return path;
}
void PrintTo(const RoundTrip &row, std::ostream *out) { *out << row.name; }

const RoundTrip ROUND_TRIPS[] = {
    {"Crlf", {{"Skylane\\panel\\panel.cfg", SKYLANE}}, {"Skylane\\panel\\panel.cfg"}, 4, "\r\n", SKYLANE_INSTALLED},
    {"LfWithCommentsAndTabs",
     {{"Skylane\\panel\\panel.cfg",
       ";// commented header below\n//[Color]\n[Views]\n\n[Window00]\nsize_mm=1280\n"
       "gauge00 = Skylane!Compass ,\t10,\t20\n;gauge01=Skylane!Old, 0, 0\ngauge02=LVLD\\B767oh!OH_CPT, -5, 12 // a folder\n"
       "just a word left from a wrapped comment\n\n// [VCockpit02]\n[VCockpit01]\ngauge00=hud!pmdg_737_ng , 0,0,1,1\n"}},
     {"Skylane\\panel\\panel.cfg"}, 4, "\n"},
    {"CrOnly", {{"Skylane\\panel\\panel.cfg", "[Window00]\rgauge00=Skylane!Clock,0,0\r\r[Window01]\rgauge00=Gps!Gps,0,0\r"}},
     {"Skylane\\panel\\panel.cfg"}, 2, "\r"},
    {"NoFinalLineEnd",
     {{"Skylane\\panel\\panel.cfg", "[Window00]\ngauge00=Skylane!Clock,0,0\n\n[Vcockpit01]\ngauge07=Skylane!Radio,1,2"}},
     {"Skylane\\panel\\panel.cfg"}, 4, "\n"},
    {"Utf8WithBom",
     {{"Skylane\\panel\\panel.cfg",
       "\xEF\xBB\xBF// Skylane \xE2\x80\x94 the pilot\xE2\x80\x99s panel\r\n[Window00]\r\ngauge09=Skylane!Clock,0,0\r\n"
       "gauge13=Skylane!Fuel,0,0\r\n"}},
     {"Skylane\\panel\\panel.cfg"}, 2, "\r\n"},
    {"AnsiBytes",
     {{"Skylane\\panel\\panel.cfg", "// \xA9 2004 the Skylane's author\r\n[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n"}},
     {"Skylane\\panel\\panel.cfg"}, 2, "\r\n"},
    {"MixedLineEnds",
     {{"Skylane\\panel\\panel.cfg", "[Window00]\r\ngauge06=A!B,0,0\ngauge97=A!C,0,0\r\ngauge08=A!D,0,0\n\n[Vcockpit01]\rgauge00=A!E,0,0\r"}},
     {"Skylane\\panel\\panel.cfg"}, 4, nullptr},
    {"AliasToAnotherAircraft",
     {{"Skylane\\panel\\panel.cfg", "[fltsim]\r\nalias=Cessna\\panel\r\n"}, {"Cessna\\panel\\panel.cfg", SKYLANE}},
     {"Cessna\\panel\\panel.cfg"}, 4, "\r\n", SKYLANE_INSTALLED},
    {"TwoPanelFoldersChosenByAircraftCfg",
     {{"Skylane\\aircraft.cfg", "[fltsim.0]\r\ntitle=Skylane\r\npanel=\r\n\r\n[fltsim.1]\r\ntitle=Skylane VC only\r\npanel=VC\r\n"},
      {"Skylane\\panel\\panel.cfg", "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n"},
      {"Skylane\\panel.VC\\panel.cfg", "[Vcockpit01]\ngauge00=Skylane!Clock,0,0\n"},
      {"Skylane\\panel.unused\\panel.cfg", "[Window00]\ngauge00=Skylane!Clock,0,0\n"}},
     {"Skylane\\panel\\panel.cfg", "Skylane\\panel.VC\\panel.cfg"}, 2, nullptr},
    {"UpperCaseFileName", {{"Skylane\\panel\\PANEL.CFG", "[WINDOW00]\r\nGAUGE00=SKYLANE!CLOCK,0,0\r\n"}},
     {"Skylane\\panel\\PANEL.CFG"}, 2, "\r\n"},
    // aircraft.cfg and panel.cfg in code page 1252, as the simulator's own tools wrote them: panel=
    // and alias= name the folders "panel.Caf\u00e9" and "Soci\u00e9t\u00e9\\panel".
    {"AnsiPanelFolder",
     {{"Skylane\\aircraft.cfg", "[fltsim.0]\r\ntitle=Skylane Caf\xE9\r\npanel=Caf\xE9\r\n"},
      {"Skylane\\panel.Caf\xC3\xA9\\panel.cfg", SKYLANE}},
     {"Skylane\\panel.Caf\xC3\xA9\\panel.cfg"}, 4, "\r\n", SKYLANE_INSTALLED, true},
    {"AnsiAliasTarget",
     {{"Skylane\\panel\\panel.cfg", "[fltsim]\r\nalias=Soci\xE9t\xE9\\panel\r\n"},
      {"Soci\xC3\xA9t\xC3\xA9\\panel\\panel.cfg", SKYLANE}},
     {"Soci\xC3\xA9t\xC3\xA9\\panel\\panel.cfg"}, 4, "\r\n", SKYLANE_INSTALLED, true},
};

class GaugeInstallRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(GaugeInstallRoundTrip, InstallAddsWholeLinesAgainChangesNothingUninstallGivesEveryByteBack)
{
    const RoundTrip &row = GetParam();
    Sim sim = fresh_sim(row.name);
    for (const File &file : row.files)
        sim.text("sim\\Aircraft\\" + as_ansi_reads(row, file.path), file.bytes);
    TreeSnapshot before = snapshot_tree(sim.at("sim"));

    InstallRun install = run_gaugeinstall(sim, quote(sim.at("sim")) + " skylane");
    ASSERT_EQ(install.exit_code, 0u) << install.out << install.err;
    for (const File &file : row.files) {
        std::string now = sim.bytes("sim\\Aircraft\\" + as_ansi_reads(row, file.path));
        bool changed = std::count(row.changed.begin(), row.changed.end(), file.path) > 0;
        if (!changed) {
            EXPECT_EQ(now, file.bytes) << file.path << " is not a file the simulator reads for the aircraft";
            continue;
        }
        EXPECT_EQ(count_of(now, "VQT7_"), 2 * row.lines_each) << file.path << ":\n" << now;
        EXPECT_EQ(count_of(now, CUE_LINE), row.lines_each / 2) << now;
        EXPECT_EQ(count_of(now, DRONE_LINE), row.lines_each / 2) << now;
        // Each new line ends as the file's own lines do, or not at all where the file had no final line end.
        for (const char *line : {CUE_LINE, DRONE_LINE})
            for (size_t at = now.find(line); at != std::string::npos; at = now.find(line, at + 1)) {
                size_t end = at + strlen(line);
                if (row.line_end)
                    EXPECT_TRUE(now.compare(end, strlen(row.line_end), row.line_end) == 0 || end == now.size())
                        << file.path << " at byte " << end;
            }
        if (row.installed && file.path == row.changed.front())
            EXPECT_EQ(now, row.installed);
        EXPECT_EQ(sim.bytes("sim\\Aircraft\\" + as_ansi_reads(row, file.path) + ".vqt7-backup"), file.bytes) << "the backup is the file as it was";
    }
    EXPECT_EQ(sim.bytes("sim\\Gauges\\VQT7_Boomcue.gau").size(), read_file(module_path(BOOMCUE_FILE)).size());
    EXPECT_NE(install.out.find("\ngaugecheck: 0 problems, "), std::string::npos) << "a clean verdict follows the install:\n" << install.out;

    TreeSnapshot installed = snapshot_tree(sim.at("sim"));
    InstallRun again = run_gaugeinstall(sim, quote(sim.at("sim")) + " Skylane");
    EXPECT_EQ(again.exit_code, 0u) << again.out;
    EXPECT_NE(again.out.find("Nothing to install"), std::string::npos) << again.out;
    EXPECT_EQ(tree_changes(installed, snapshot_tree(sim.at("sim"))), "") << "a second install touches nothing";

    InstallRun uninstall = run_gaugeinstall(sim, "--uninstall " + quote(sim.at("sim")));
    ASSERT_EQ(uninstall.exit_code, 0u) << uninstall.out << uninstall.err;
    for (const File &file : row.files)
        EXPECT_EQ(sim.bytes("sim\\Aircraft\\" + as_ansi_reads(row, file.path)), file.bytes) << file.path;
    // Everything as before but the backups, and the sound folder the install made, now empty.
    TreeSnapshot after = snapshot_tree(sim.at("sim"));
    for (auto entry = after.begin(); entry != after.end();)
        entry = entry->first.find(".VQT7-BACKUP") != std::string::npos || entry->first.rfind("SOUND", 0) == 0
                    ? after.erase(entry)
                    : std::next(entry);
    EXPECT_EQ(tree_changes(before, after, false), "");
}

INSTANTIATE_TEST_SUITE_P(Panels, GaugeInstallRoundTrip, ::testing::ValuesIn(ROUND_TRIPS),
                         [](const ::testing::TestParamInfo<RoundTrip> &info) { return std::string(info.param.name); });

// What stops an install before any change: nothing under the simulator's folder changes, not
// even a time, and one refuse line names the file.
struct Refusal {
    const char *name;
    std::string panel;          // Skylane's panel.cfg
    const char *plant;          // "read-only", "held", "module" or ""
    const char *file;           // relative to the simulator's folder
    const char *message_part;
};
void PrintTo(const Refusal &row, std::ostream *out) { *out << row.name; }

const Refusal REFUSALS[] = {
    {"ReadOnlyPanel", SKYLANE, "read-only", "Aircraft\\Skylane\\panel\\panel.cfg", "read-only"},
    {"PanelHeldOpenWithoutDeleteSharing", SKYLANE, "held", "Aircraft\\Skylane\\panel\\panel.cfg", "holds it open"},
    {"UnknownModuleInGauges", SKYLANE, "module", "Gauges\\VQT7_Boomcue.gau", "no release gaugeinstall knows"},
    {"NoMainWindowNorVirtualCockpit", "[Window01]\r\ngauge00=Gps!Gps,0,0\r\n", "", "Aircraft\\Skylane\\panel\\panel.cfg", ""},
    {"BinaryPanel", std::string("[Window00]\r\n\0\0\0", 15), "", "Aircraft\\Skylane\\panel\\panel.cfg", "not a text file"},
};

class GaugeInstallRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(GaugeInstallRefusal, NothingChanges)
{
    const Refusal &row = GetParam();
    Sim sim = fresh_sim(row.name);
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", row.panel);
    std::string cfg = sim.at("sim\\Aircraft\\Skylane\\panel\\panel.cfg");
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!strcmp(row.plant, "read-only"))
        ASSERT_TRUE(SetFileAttributesW(wide(cfg).c_str(), FILE_ATTRIBUTE_READONLY));
    if (!strcmp(row.plant, "held"))  // as an editor holds a file it has open
        held = CreateFileW(wide(cfg).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    if (!strcmp(row.plant, "module"))  // another add-on's file of the same name
        sim.text("sim\\Gauges\\VQT7_Boomcue.gau", "MZ not our module");
    TreeSnapshot before = snapshot_tree(sim.at("sim"));

    InstallRun run = run_gaugeinstall(sim, "--json " + quote(sim.at("sim")) + " Skylane");
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    SetFileAttributesW(wide(cfg).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.exit_code, 1u) << run.out << run.err;
    EXPECT_EQ(tree_changes(before, snapshot_tree(sim.at("sim"))), "");
    bool named = false;
    for (const json &record : run.records)
        named = named || (record.value("action", "") == "refuse" && record.value("file", "") == sim.at("sim\\" + std::string(row.file)) &&
                          record.value("message", "").find(row.message_part) != std::string::npos);
    EXPECT_TRUE(named) << run.out;
    ASSERT_FALSE(run.records.empty());
    EXPECT_EQ(run.records.back().value("result", ""), "refused") << run.out;
}

INSTANTIATE_TEST_SUITE_P(Targets, GaugeInstallRefusal, ::testing::ValuesIn(REFUSALS),
                         [](const ::testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

}  // namespace
