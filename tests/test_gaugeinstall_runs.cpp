// gaugeinstall.exe run as a user runs it, one case at a time beside the tables of
// test_gaugeinstall.cpp: what an install and an uninstall leave of the user's own files and of
// what another aircraft still uses, a dry run, an interactive run through piped input, a
// VirtualStore copy, a bad command line, and what the exe carries.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "files_and_programs.h"
#include "install_runs.h"
#include "test_support.h"
#include "toolbox.h"

using namespace test_support;
using nlohmann::json;

namespace {

std::wstring wide(const std::string &path) { return toolbox::widen(path); }

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
    EXPECT_TRUE(sim.absent("sim\\Gauges\\VQT7_Drag_Drone.gau")) << "the release's own module goes";
    EXPECT_TRUE(sim.absent("sim\\sound\\QX\\Supersonic.wav")) << "the release's own sound goes";
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
        EXPECT_TRUE(sim.absent("sim\\" + std::string(file))) << file;
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
