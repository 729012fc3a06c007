// gaugeinstall.exe run as a user runs it, on fake simulator folders built here: an empty fs9.exe
// and aircraft with panel.cfg files of our own in the shapes real ones have. An install changes
// only whole lines of them, taking each file's own line ends; installing again changes nothing,
// not even a file time; uninstalling gives back every byte. What it refuses, it refuses before
// any change.
#include <nlohmann/json.hpp>

#include "files_and_programs.h"
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

struct Sim {
    std::string root;  // the case's folder; the simulator is root\sim
    std::string at(const std::string &relative) const { return root + "\\" + relative; }
    void text(const std::string &relative, const std::string &bytes) const { ASSERT_TRUE(write_file(at(relative), bytes)); }
    std::string bytes(const std::string &relative) const { return read_file(at(relative)); }
};

// A fresh simulator folder for the case, left in the build folder for bin/gaugeinstall to try:
//   bin/gaugeinstall --dry-run build/gaugeinstall-cases/Crlf/sim Skylane
Sim fresh_sim(const std::string &name)
{
    wchar_t full[MAX_PATH];
    GetFullPathNameW(wide(exe_folder() + "..\\gaugeinstall-cases\\" + name).c_str(), MAX_PATH, full, 0);
    Sim sim{toolbox::narrow(full)};
    remove_tree(sim.root);
    sim.text("sim\\fs9.exe", "");
    make_folders(sim.at("sim\\Gauges"));
    make_folders(sim.at("system"));
    sim.text("sim\\Aircraft\\Other\\panel\\panel.cfg", "[Window00]\r\ngauge00=Other!Clock, 0, 0\r\n");
    return sim;
}

struct InstallRun : ProgramRun {
    std::vector<json> records;  // with --json
};

InstallRun run_gaugeinstall(const Sim &sim, const std::string &arguments, const std::string *input = nullptr,
                            const std::string &folder = std::string())
{
    SetEnvironmentVariableW(L"GAUGECHECK_SYSTEM_DIRS", wide(sim.at("system")).c_str());
    // Where Windows would keep its VirtualStore copies, for this case alone.
    SetEnvironmentVariableW(L"GAUGECHECK_VIRTUAL_STORE", wide(sim.at("store")).c_str());
    InstallRun run{run_program("gaugeinstall.exe", arguments, sim.at("gaugeinstall"), 0, input, folder)};
    EXPECT_FALSE(run.timed_out) << "gaugeinstall.exe hangs: " << arguments;
    if (arguments.find("--json") != std::string::npos)
        run.records = json_lines(run.out);
    return run;
}

int count_of(const std::string &text, const std::string &part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A realistic 2D panel with a virtual cockpit, CRLF as Notepad saves it, and the exact bytes an
// install must make of it.
const char SKYLANE[] =
    "// Panel of the test Skylane, written for these tests\r\n[Window Titles]\r\nWindow00=Main Panel\r\n"
    "Window01=Radio Stack\r\n\r\n[VIEWS]\r\nVIEW_FORWARD_WINDOWS=MAIN_PANEL,GPS_PANEL\r\n\r\n[Window00]\r\n"
    "file=panel_background.bmp\r\nsize_mm=1024\r\nposition=7\r\nvisible=1\r\nident=MAIN_PANEL\r\n"
    "gauge00=Skylane!Airspeed,  137, 91\r\ngauge01=Skylane!Attitude, 240,91, 105,105 // the big one\r\n"
    "gauge03=Skylane!Altimeter,345,91,105,105\r\n\r\n[Window01]\r\nsize_mm=180,270\r\ngauge00=Radio!Comm, 0, 0\r\n\r\n"
    "[Vcockpit01]\r\nfile=skylane_vc.bmp\r\nsize_mm=512,512\r\ntexture=$Skylane_VC\r\n"
    "gauge00=Skylane!Clock, 10, 10, 100, 100\r\n\r\n[Default View]\r\nX=0\r\n";
const char SKYLANE_INSTALLED[] =
    "// Panel of the test Skylane, written for these tests\r\n[Window Titles]\r\nWindow00=Main Panel\r\n"
    "Window01=Radio Stack\r\n\r\n[VIEWS]\r\nVIEW_FORWARD_WINDOWS=MAIN_PANEL,GPS_PANEL\r\n\r\n[Window00]\r\n"
    "file=panel_background.bmp\r\nsize_mm=1024\r\nposition=7\r\nvisible=1\r\nident=MAIN_PANEL\r\n"
    "gauge00=Skylane!Airspeed,  137, 91\r\ngauge01=Skylane!Attitude, 240,91, 105,105 // the big one\r\n"
    "gauge03=Skylane!Altimeter,345,91,105,105\r\n"
    "gauge04=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\ngauge05=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\r\n"
    "\r\n[Window01]\r\nsize_mm=180,270\r\ngauge00=Radio!Comm, 0, 0\r\n\r\n"
    "[Vcockpit01]\r\nfile=skylane_vc.bmp\r\nsize_mm=512,512\r\ntexture=$Skylane_VC\r\n"
    "gauge00=Skylane!Clock, 10, 10, 100, 100\r\n"
    "gauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\ngauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\r\n"
    "\r\n[Default View]\r\nX=0\r\n";

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
    EXPECT_NE(install.out.find("gaugecheck: "), std::string::npos) << "the verdict follows the install";

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

// An install keeps a sound of the user's own under the release's name, and an uninstall deletes
// only the release's own files: such a sound, or a module of that name that no release holds,
// stays byte for byte.
TEST(GaugeInstall, InstallAndUninstallLeaveTheUsersOwnFilesOfOurNames)
{
    Sim sim = fresh_sim("UsersOwnFiles");
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", SKYLANE);
    const std::string sound = std::string("RIFF\x24\0\0\0WAVE", 12) + "the user's own recording";
    sim.text("sim\\sound\\QX\\Speed_Brake.wav", sound);
    InstallRun install = run_gaugeinstall(sim, quote(sim.at("sim")) + " Skylane");
    ASSERT_EQ(install.exit_code, 0u) << install.out << install.err;
    EXPECT_TRUE(sim.bytes("sim\\sound\\QX\\Speed_Brake.wav") == sound) << "the user's sound, kept:\n" << install.out;
    EXPECT_NE(install.out.find("a sound of your own is there"), std::string::npos) << install.out;
    std::string module = read_file(module_path(BOOMCUE_FILE));
    module[module.size() - 1] ^= 1;  // a build of no release
    sim.text("sim\\Gauges\\VQT7_Boomcue.gau", module);

    InstallRun run = run_gaugeinstall(sim, "--uninstall " + quote(sim.at("sim")));
    ASSERT_EQ(run.exit_code, 0u) << run.out << run.err;
    EXPECT_EQ(sim.bytes("sim\\Aircraft\\Skylane\\panel\\panel.cfg"), SKYLANE);
    EXPECT_TRUE(sim.bytes("sim\\Gauges\\VQT7_Boomcue.gau") == module) << "the unknown module, kept:\n" << run.out;
    EXPECT_TRUE(sim.bytes("sim\\sound\\QX\\Speed_Brake.wav") == sound) << "the user's sound, kept:\n" << run.out;
    EXPECT_TRUE(sim.bytes("sim\\Gauges\\VQT7_Drag_Drone.gau").empty()) << "the release's own module goes";
    EXPECT_TRUE(sim.bytes("sim\\sound\\QX\\Supersonic.wav").empty()) << "the release's own sound goes";
}

TEST(GaugeInstall, UninstallFromOneAircraftKeepsWhatAnotherStillUses)
{
    Sim sim = fresh_sim("KeepsWhatOthersUse");
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", SKYLANE);
    sim.text("sim\\Aircraft\\Cub\\panel\\panel.cfg", "[Window00]\ngauge00=Cub!Clock,0,0\n");
    ASSERT_EQ(run_gaugeinstall(sim, quote(sim.at("sim")) + " Skylane Cub").exit_code, 0u);

    InstallRun one = run_gaugeinstall(sim, "--uninstall --json " + quote(sim.at("sim")) + " Skylane");
    ASSERT_EQ(one.exit_code, 0u) << one.out;
    EXPECT_EQ(sim.bytes("sim\\Aircraft\\Skylane\\panel\\panel.cfg"), SKYLANE);
    EXPECT_EQ(count_of(sim.bytes("sim\\Aircraft\\Cub\\panel\\panel.cfg"), "VQT7_"), 4);
    int kept = 0;
    for (const json &record : one.records)
        kept += record.value("action", "") == "keep" && record.value("message", "").find("still") != std::string::npos;
    EXPECT_EQ(kept, 4) << "both modules and both sounds stay for the Cub:\n" << one.out;
    for (const char *file : {"Gauges\\VQT7_Boomcue.gau", "Gauges\\VQT7_Drag_Drone.gau", "sound\\QX\\Supersonic.wav", "sound\\QX\\Speed_Brake.wav"})
        EXPECT_FALSE(sim.bytes("sim\\" + std::string(file)).empty()) << file;

    ASSERT_EQ(run_gaugeinstall(sim, "--uninstall " + quote(sim.at("sim"))).exit_code, 0u);
    for (const char *file : {"Gauges\\VQT7_Boomcue.gau", "Gauges\\VQT7_Drag_Drone.gau", "sound\\QX\\Supersonic.wav", "sound\\QX\\Speed_Brake.wav"})
        EXPECT_EQ(GetFileAttributesW(wide(sim.at("sim\\" + std::string(file))).c_str()), INVALID_FILE_ATTRIBUTES) << file;
    EXPECT_EQ(sim.bytes("sim\\Aircraft\\Cub\\panel\\panel.cfg"), "[Window00]\ngauge00=Cub!Clock,0,0\n");

    // The user changes the panel since; a new install keeps the first backup as it is.
    std::string edited = std::string(SKYLANE) + "[Window02]\r\ngauge00=Gps!Gps,0,0\r\n";
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", edited);
    InstallRun again = run_gaugeinstall(sim, quote(sim.at("sim")) + " Skylane");
    EXPECT_EQ(again.exit_code, 0u) << again.out;
    EXPECT_NE(again.out.find("an earlier backup"), std::string::npos) << again.out;
    EXPECT_EQ(sim.bytes("sim\\Aircraft\\Skylane\\panel\\panel.cfg.vqt7-backup"), SKYLANE) << "never overwritten";
}

TEST(GaugeInstall, DryRunShowsTheDiffAndChangesNoByteNorTime)
{
    Sim sim = fresh_sim("DryRun");
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", SKYLANE);
    for (const char *arguments : {"--dry-run", "--dry-run --uninstall"}) {
        SCOPED_TRACE(arguments);
        TreeSnapshot before = snapshot_tree(sim.at("sim"));
        InstallRun run = run_gaugeinstall(sim, std::string(arguments) + " " + quote(sim.at("sim")) + " Skylane");
        EXPECT_EQ(run.exit_code, 0u) << run.out << run.err;
        EXPECT_EQ(tree_changes(before, snapshot_tree(sim.at("sim"))), "");
        std::string sign = strstr(arguments, "uninstall") ? "-" : "+";
        EXPECT_NE(run.out.find("\n" + sign + "gauge04=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("Dry run, nothing was changed"), std::string::npos) << run.out;
        // The uninstall's dry run needs something to take out.
        ASSERT_EQ(run_gaugeinstall(sim, quote(sim.at("sim")) + " Skylane").exit_code, 0u);
    }
}

TEST(GaugeInstall, InteractiveRunThroughPipedInput)
{
    Sim sim = fresh_sim("Interactive");
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", SKYLANE);
    // Aircraft are listed by name: Other is 1, Skylane 2. Then yes, then Enter to close.
    std::string answers = "7\r\n2\r\ny\r\n\r\n";
    InstallRun run = run_gaugeinstall(sim, "", &answers, sim.at("sim\\Aircraft"));
    EXPECT_EQ(run.exit_code, 0u) << run.out << run.err;
    EXPECT_NE(run.out.find("    2  Skylane\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Try again"), std::string::npos) << "7 is no aircraft's number:\n" << run.out;
    EXPECT_NE(run.out.find("+gauge04=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40"), std::string::npos) << "shown before asked";
    EXPECT_NE(run.out.find("Make these changes?"), std::string::npos);
    EXPECT_NE(run.out.find("gaugecheck: "), std::string::npos);
    EXPECT_NE(run.out.find("Press Enter to close this window."), std::string::npos);
    EXPECT_EQ(sim.bytes("sim\\Aircraft\\Skylane\\panel\\panel.cfg"), SKYLANE_INSTALLED);
    EXPECT_EQ(count_of(sim.bytes("sim\\Aircraft\\Other\\panel\\panel.cfg"), "VQT7_"), 0);

    // Anything but yes leaves everything as it is.
    TreeSnapshot before = snapshot_tree(sim.at("sim"));
    std::string declined = "1\nn\n\n";
    InstallRun no = run_gaugeinstall(sim, "", &declined, sim.at("sim"));
    EXPECT_EQ(no.exit_code, 0u) << no.out;
    EXPECT_EQ(tree_changes(before, snapshot_tree(sim.at("sim"))), "");
}

TEST(GaugeInstall, EditsTheVirtualStoreCopyTheSimulatorReads)
{
    Sim sim = fresh_sim("VirtualStore");
    sim.text("sim\\Aircraft\\Skylane\\panel\\panel.cfg", "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n");
    // Where Windows put an old editor's change: the store, then the path without its drive.
    std::string store = sim.at("store");  // as run_gaugeinstall tells the program
    std::string copy = store + sim.at("sim\\Aircraft\\Skylane\\panel\\panel.cfg").substr(2);
    ASSERT_TRUE(write_file(copy, SKYLANE));
    InstallRun run = run_gaugeinstall(sim, quote(sim.at("sim")) + " Skylane");
    EXPECT_EQ(run.exit_code, 0u) << run.out << run.err;
    EXPECT_EQ(read_file(copy), SKYLANE_INSTALLED);
    EXPECT_EQ(sim.bytes("sim\\Aircraft\\Skylane\\panel\\panel.cfg"), "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n")
        << "the original, which the simulator no longer reads, is left alone";
    EXPECT_NE(run.out.find("VirtualStore copy"), std::string::npos) << run.out;
}

TEST(GaugeInstall, BadCommandLineIsOneLineAndExitTwo)
{
    Sim sim = fresh_sim("CommandLine");
    make_folders(sim.at("not_a_sim"));
    std::string folder = quote(sim.at("sim"));
    struct {
        std::string arguments, message;
    } cases[] = {
        {"--frobnicate " + folder + " Other", "unknown option '--frobnicate'"},
        {"--where roof " + folder + " Other", "--where expects 2d, vc or both, not 'roof'"},
        {"--at 10 " + folder + " Other", "--at expects X,Y"},
        {"--uninstall --at 1,2 " + folder, "--at places the gauges"},
        {folder + " --json", "name the aircraft to install into"},
        {folder + " NoSuchPlane", "no aircraft folder 'NoSuchPlane' under"},
        {quote(sim.at("not_a_sim")) + " Other", "is not the simulator's folder: it has no fs9.exe"},
    };
    for (const auto &c : cases) {
        InstallRun run = run_gaugeinstall(sim, c.arguments);
        EXPECT_EQ(run.exit_code, 2u) << c.arguments;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// The exe alone installs the release: it carries the built modules and sounds, and a manifest
// that runs it with the rights it was started with.
TEST(GaugeInstall, CarriesTheReleaseAndRunsAsInvoker)
{
    HMODULE exe = LoadLibraryExW(wide(exe_folder() + "gaugeinstall.exe").c_str(), 0, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe) << GetLastError();
    auto resource = [&](int id, int type) {
        HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        HGLOBAL loaded = found ? LoadResource(exe, found) : 0;
        const char *data = loaded ? (const char *)LockResource(loaded) : 0;
        return data ? std::string(data, SizeofResource(exe, found)) : std::string();
    };
    std::string manifest = resource(1, 24);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    std::string sounds = exe_folder() + "..\\sounds\\sound\\QX\\";
    EXPECT_EQ(resource(101, 10), read_file(module_path(BOOMCUE_FILE)));
    EXPECT_EQ(resource(102, 10), read_file(module_path(DRAGDRONE_FILE)));
    EXPECT_EQ(resource(201, 10), read_file(sounds + "Supersonic.wav"));
    EXPECT_EQ(resource(202, 10), read_file(sounds + "Speed_Brake.wav"));
    FreeLibrary(exe);
}

}  // namespace
