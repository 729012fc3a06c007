// gaugeinstall's run in this test's own process, with a fault planted in each step that changes
// the disk in turn (a temporary file written, a folder made, a file swapped in or moved aside),
// as a full disk or a file snatched by another program would make it fail: every such run ends
// with exit code 1 and every byte under the simulator's folder as it was.
#include "files_and_programs.h"
#include "gaugeinstall_run.h"
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

TEST(GaugeInstallFaults, AFailureAtAnyStepPutsBackEverything)
{
    std::string root = exe_folder() + "..\\gaugeinstall-cases\\Faults";
    remove_tree(root);
    std::string sim = root + "\\sim";
    ASSERT_TRUE(write_file(sim + "\\fs9.exe", ""));
    make_folders(sim + "\\Gauges");
    make_folders(root + "\\system");
    SetEnvironmentVariableW(L"GAUGECHECK_SYSTEM_DIRS", toolbox::widen(root + "\\system").c_str());
    SetEnvironmentVariableW(L"GAUGECHECK_VIRTUAL_STORE", toolbox::widen(root + "\\store").c_str());
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

}  // namespace
