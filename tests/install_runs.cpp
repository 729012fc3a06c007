#include "install_runs.h"

#include "check_installs.h"
#include "toolbox.h"

namespace test_support {

using nlohmann::json;

static std::wstring wide(const std::string &path) { return toolbox::widen(path); }

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
    // The sound library the user installs from its own package, so that a good install checks clean.
    sim.text("sim\\GaugeSound.dll", third_party_library("full"));
    return sim;
}

InstallRun run_gaugeinstall(const Sim &sim, const std::string &arguments, const std::string *input,
                            const std::string &folder)
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

}  // namespace test_support
