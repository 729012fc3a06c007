// The whole check, as gaugecheck prints it and as gaugeinstall runs it after an install.
#include "checks.h"

namespace gaugecheck {

Findings check_install(const std::string &sim_folder, const std::vector<std::string> &aircraft_folders)
{
    Findings panels;
    std::vector<ModuleUse> uses = check_panels(sim_folder, aircraft_folders, panels);
    Findings ordered;
    check_modules(sim_folder, uses, ordered);
    check_sound_library(sim_folder, ordered);
    check_sound_files(sim_folder, ordered);
    ordered.list.insert(ordered.list.end(), panels.list.begin(), panels.list.end());
    return ordered;
}

}  // namespace gaugecheck
