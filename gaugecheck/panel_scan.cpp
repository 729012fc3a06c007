// Check 4 on Windows: the core's panel check over the simulator folder's files, VirtualStore
// copies first.
#include "checks.h"
#include "panel_check.h"
#include "windows_sim_files.h"

namespace gaugecheck {

std::vector<ModuleUse> check_panels(const std::string &sim_folder, const std::vector<std::string> &aircraft_folders,
                                    Findings &findings)
{
    return simreading::check_panels(toolbox::WindowsSimFiles(sim_folder), sim_folder, aircraft_folders, findings);
}

}  // namespace gaugecheck
