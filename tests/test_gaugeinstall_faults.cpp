// gaugeinstall's run in this test's own process. A fault planted in each step that changes the
// disk in turn (a temporary file written, a folder made, a file swapped in or moved aside), as a
// full disk or a file snatched by another program would make it fail: every such run ends with
// exit code 1 and every byte under the simulator's folder as it was. And a release history given
// here, which the program's own build cannot give before a second release exists: an older
// release's module is replaced and removed, and the same file without that history is none of
// ours. And a panel.cfg the user edits while the interactive run asks to go ahead, and a stop
// while the changes are under way.
#include <algorithm>
#include <functional>
#include <iterator>

#include "file_sum.h"
#include "files_and_programs.h"
#include "gaugeinstall_run.h"
#include "release_sums.h"
#include "test_support.h"
#include "toolbox.h"

using namespace test_support;

namespace {

struct QuietConsole : gaugeinstall::Console {
    std::string out;
    void line(toolbox::Stream, const std::string &utf8) override { out += utf8 + "\n"; }
    bool read_line(std::string &) override { return false; }
};

gaugeinstall::Payload built_payload()
{
    gaugeinstall::Payload payload;
    std::string sounds = exe_folder() + "..\\sounds\\sound\\QX\\";
    payload.modules[0] = read_file(module_path(BOOMCUE_FILE));
    payload.modules[1] = read_file(module_path(DRAGDRONE_FILE));
    payload.sounds[0] = read_file(sounds + "Supersonic.wav");
    payload.sounds[1] = read_file(sounds + "Speed_Brake.wav");
    payload.known_modules = gaugecheck::KNOWN_MODULES;
    return payload;
}

// Runs with a fault at step 1, 2, ... until a run makes fewer steps than the fault's number:
// that run must succeed. Returns the number of steps the run makes.
int fail_at_every_step(const std::string &sim, const std::vector<std::string> &args)
{
    gaugeinstall::Payload payload = built_payload();
    TreeSnapshot before = snapshot_tree(sim);
    for (int step = 1;; ++step) {
        SCOPED_TRACE("fault at step " + std::to_string(step));
        QuietConsole console;
        gaugeinstall::FaultPlan faults{step};
        int code = gaugeinstall::run_gaugeinstall(args, console, payload, &faults);
        if (faults.steps < step) {
            EXPECT_EQ(code, 0) << console.out;
            EXPECT_NE(tree_changes(before, snapshot_tree(sim), false), "") << "the run without a fault changes files";
            return step - 1;
        }
        EXPECT_EQ(code, 1) << console.out;
        EXPECT_NE(console.out.find("nothing was changed: everything already done was put back"), std::string::npos)
            << console.out;
        // Folders' times may move (a temporary file came and went); every name and byte is back.
        EXPECT_EQ(tree_changes(before, snapshot_tree(sim), false), "");
        if (step > 100) {
            ADD_FAILURE() << "more steps than any install makes";
            return step;
        }
    }
}

// A fresh simulator folder for the case (returned), with no system folder or VirtualStore of the
// machine's own in the way.
std::string fresh_sim(const std::string &name)
{
    std::string root = exe_folder() + "..\\gaugeinstall-cases\\" + name;
    remove_tree(root);
    std::string sim = root + "\\sim";
    EXPECT_TRUE(write_file(sim + "\\fs9.exe", ""));
    make_folders(sim + "\\Gauges");
    make_folders(root + "\\system");
    SetEnvironmentVariableW(L"GAUGECHECK_SYSTEM_DIRS", toolbox::widen(root + "\\system").c_str());
    SetEnvironmentVariableW(L"GAUGECHECK_VIRTUAL_STORE", toolbox::widen(root + "\\store").c_str());
    return sim;
}

TEST(GaugeInstallFaults, AFailureAtAnyStepPutsBackEverything)
{
    std::string sim = fresh_sim("Faults");
    ASSERT_TRUE(write_file(sim + "\\Aircraft\\Skylane\\panel\\panel.cfg",
                           "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n\r\n[Vcockpit01]\r\ngauge00=Skylane!Radio,0,0"));
    ASSERT_TRUE(write_file(sim + "\\Aircraft\\Cub\\panel\\panel.cfg", "[Window00]\ngauge00=Cub!Clock,0,0\n"));

    // Two modules and two sounds created, two folders made, two backups and two panels: each
    // written to a temporary file and then swapped in.
    int install_steps = fail_at_every_step(sim, {sim, "Skylane", "Cub"});
    EXPECT_EQ(install_steps, 2 + 2 * 8);
    // Two panels replaced, two modules and two sounds moved aside.
    int uninstall_steps = fail_at_every_step(sim, {"--uninstall", sim});
    EXPECT_EQ(uninstall_steps, 2 * 2 + 4);
}

// What Windows does on a stop (Ctrl+C, the window closed): the tool's handler, on a thread of its
// own, lets the changes settle and then ends the process with 130. It waits a moment first here,
// so that a run which went on to its own failure line and exit code would win the race.
DWORD WINAPI stop_as_windows_does(void *)
{
    gaugeinstall::stop_changes();
    Sleep(500);
    ExitProcess(130);
}

void stop_at_third_step(int step)
{
    if (step != 3)
        return;
    CloseHandle(CreateThread(0, 0, stop_as_windows_does, 0, 0, 0));
    Sleep(100);  // the stop is asked by now; the next step sees it
}

// A stop while the changes are under way: the run puts back what it did and leaves the ending to
// the stop, so the process ends with the stop's 130, never with the run's own exit code.
TEST(GaugeInstallStopDeathTest, AStopWhileChangingEndsTheProcessOnlyThroughTheStop)
{
    std::string sim = fresh_sim("Stopped");
    ASSERT_TRUE(write_file(sim + "\\Aircraft\\Skylane\\panel\\panel.cfg", "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n"));
    TreeSnapshot before = snapshot_tree(sim);
    auto run_stopped = [&] {
        QuietConsole console;
        gaugeinstall::FaultPlan plan;
        plan.before_step = stop_at_third_step;
        gaugeinstall::Payload payload = built_payload();
        int code = gaugeinstall::run_gaugeinstall({sim, "Skylane"}, console, payload, &plan);
        ExitProcess(code == 130 ? 3 : (UINT)code);  // the run returned: the stop did not end it
    };
    EXPECT_EXIT(run_stopped(), ::testing::ExitedWithCode(130), "");
    EXPECT_EQ(tree_changes(before, snapshot_tree(sim), false), "") << "everything put back";
}

}  // namespace

TEST(GaugeInstallReleases, AnOlderReleasesModuleIsReplacedAndRemovedAndWithoutItsHistoryKept)
{
    std::string sim = fresh_sim("OlderRelease");
    ASSERT_TRUE(write_file(sim + "\\Aircraft\\Skylane\\panel\\panel.cfg", "[Window00]\ngauge00=Skylane!Clock,0,0\n"));
    std::string module = sim + "\\Gauges\\VQT7_Boomcue.gau";
    // Stands for release 0.9.0's module: no file of this build, so only the history below knows it.
    const std::string older = "MZ: VQT7_Boomcue.gau as release 0.9.0 shipped it";
    std::string older_sum = gaugecheck::sha256_hex((const uint8_t *)older.data(), older.size());
    std::vector<panelcfg::ReleasedFile> history = {{"0.9.0", "vqt7_boomcue.GAU", older_sum.c_str()}};
    std::copy(std::begin(gaugecheck::KNOWN_MODULES), std::end(gaugecheck::KNOWN_MODULES), std::back_inserter(history));
    gaugeinstall::Payload current = built_payload(), with_history = built_payload();
    with_history.known_modules = history;

    // Without the history the copy could be another add-on's: the install stops, nothing changes.
    ASSERT_TRUE(write_file(module, older));
    TreeSnapshot before = snapshot_tree(sim);
    QuietConsole refused;
    EXPECT_EQ(gaugeinstall::run_gaugeinstall({sim, "Skylane"}, refused, current), 1) << refused.out;
    EXPECT_NE(refused.out.find("of no release gaugeinstall knows"), std::string::npos) << refused.out;
    EXPECT_EQ(tree_changes(before, snapshot_tree(sim), false), "");

    QuietConsole installed;
    EXPECT_EQ(gaugeinstall::run_gaugeinstall({sim, "Skylane"}, installed, with_history), 0) << installed.out;
    EXPECT_NE(installed.out.find(std::string("release 0.9.0, older than this one (") + gaugecheck::CURRENT_RELEASE +
                                 "): replaced"),
              std::string::npos)
        << installed.out;
    EXPECT_EQ(read_file(module), current.modules[0]);

    // Unused again and of the older release: the uninstall deletes it with the history, keeps it
    // without.
    QuietConsole uninstalled;
    EXPECT_EQ(gaugeinstall::run_gaugeinstall({"--uninstall", sim}, uninstalled, with_history), 0) << uninstalled.out;
    ASSERT_TRUE(write_file(module, older));
    QuietConsole kept;
    EXPECT_EQ(gaugeinstall::run_gaugeinstall({"--uninstall", sim}, kept, current), 0) << kept.out;
    EXPECT_EQ(read_file(module), older) << kept.out;
    QuietConsole removed;
    EXPECT_EQ(gaugeinstall::run_gaugeinstall({"--uninstall", sim}, removed, with_history), 0) << removed.out;
    EXPECT_EQ(GetFileAttributesW(toolbox::widen(module).c_str()), INVALID_FILE_ATTRIBUTES) << removed.out;
}

// Answers the interactive run's questions in turn, doing `before_yes` just before it answers y.
struct ScriptedConsole : gaugeinstall::Console {
    std::vector<std::string> answers;
    std::function<void()> before_yes;
    std::string out;
    void line(toolbox::Stream, const std::string &utf8) override { out += utf8 + "\n"; }
    bool read_line(std::string &answer) override
    {
        if (answers.empty())
            return false;
        answer = answers.front();
        answers.erase(answers.begin());
        if (answer == "y" && before_yes)
            before_yes();
        return true;
    }
};

// The question can wait for minutes, the panel open in an editor meanwhile: the user's edit made
// before the answer is never written over with a plan made from the bytes before it.
TEST(GaugeInstallInteractive, APanelEditedWhileItAsksIsNeverWrittenOver)
{
    std::string sim = fresh_sim("EditedWhileAsked");
    std::string panel = sim + "\\Aircraft\\Skylane\\panel\\panel.cfg";
    ASSERT_TRUE(write_file(panel, "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\n"));
    const std::string edited = "[Window00]\r\ngauge00=Skylane!Clock,0,0\r\ngauge01=Skylane!Radio,0,40\r\n";
    ScriptedConsole console;
    console.answers = {"Skylane", "y", ""};
    console.before_yes = [&] { EXPECT_TRUE(write_file(panel, edited)); };
    EXPECT_EQ(gaugeinstall::run_gaugeinstall({sim}, console, built_payload()), 1) << console.out;
    EXPECT_EQ(read_file(panel), edited) << console.out;
    EXPECT_NE(console.out.find("it changed since gaugeinstall read it"), std::string::npos) << console.out;
    EXPECT_NE(console.out.find("Make these changes?"), std::string::npos) << "asked:\n" << console.out;
}
