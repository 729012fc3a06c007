// Finding the simulator's folder through the wide file calls.
#include "sim_folder.h"

#include <windows.h>

#include "folders.h"
#include "toolbox.h"

namespace gaugecheck {

const char SIM_PROGRAM[] = "fs9.exe";
const char EXAMPLE_FOLDER[] = "\"C:\\Program Files\\Microsoft Games\\Flight Simulator 9\"";

static bool has_sim_program(const std::string &folder)
{
    return is_file(join_path(folder, SIM_PROGRAM));
}

static std::string current_folder()
{
    DWORD length = GetCurrentDirectoryW(0, 0);
    std::wstring folder(length, L'\0');
    length = GetCurrentDirectoryW(length, &folder[0]);
    folder.resize(length);
    return toolbox::narrow(folder);
}

bool find_sim_folder(const std::string &given, const char *program, std::string &sim, std::string &message)
{
    if (given.empty()) {
        sim = folder_at_or_above(full_path(current_folder()), has_sim_program);
        if (sim.empty())
            sim = folder_at_or_above(full_path(toolbox::program_folder()), has_sim_program);
        if (sim.empty())
            message = std::string("found no ") + SIM_PROGRAM +
                      " above the current folder or this program's folder. Give the simulator's folder: " + program +
                      " " + EXAMPLE_FOLDER + ", or drop that folder onto " + program + ".exe";
        return !sim.empty();
    }
    sim = full_path(given);
    if (is_file(sim) && same_name(toolbox::file_name(sim), SIM_PROGRAM))
        sim = parent_folder(sim);
    if (!is_folder(sim)) {
        message = "no folder " + (sim.empty() ? given : sim) + "; give the simulator's folder, for example " +
                  EXAMPLE_FOLDER;
        return false;
    }
    if (!has_sim_program(sim)) {
        message = sim + " is not the simulator's folder: it has no " + SIM_PROGRAM +
                  ". Give the folder that holds it, for example " + EXAMPLE_FOLDER;
        return false;
    }
    return true;
}

}  // namespace gaugecheck
