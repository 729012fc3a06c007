// Finding aircraft through the wide file calls; their panel files are what the simulator-reading
// core says they are.
#include "sim_panels.h"

#include <windows.h>

#include "folders.h"
#include "toolbox.h"

namespace gaugeinstall {

using namespace gaugecheck;

SimFolder::SimFolder(const std::string &full_path) : path_(full_path), files_(full_path) {}

std::string SimFolder::aircraft_root() const
{
    return join_path(path_, "Aircraft");
}

std::vector<std::string> SimFolder::aircraft_names() const
{
    std::vector<std::string> names;
    std::string reason;
    simreading::list_subfolders(files_, aircraft_root(), "", names, reason);
    return names;
}

// A folder name, not a path: no separator, no drive, no "..".
static bool plain_name(const std::string &name)
{
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos && name != "." && name != "..";
}

bool SimFolder::find_aircraft(const std::string &given, std::string &folder, std::string &message) const
{
    if (plain_name(given)) {
        for (const std::string &name : aircraft_names()) {
            if (same_name(name, given)) {
                folder = join_path(aircraft_root(), name);
                return true;
            }
        }
        if (!is_folder(given)) {
            message = "no aircraft folder '" + toolbox::printable(given) + "' under " + aircraft_root() +
                      "; give a folder name from there, or the path of an aircraft folder";
            return false;
        }
    }
    folder = full_path(given);
    if (folder.empty() || !is_folder(folder)) {
        message = "no aircraft folder " + (folder.empty() ? toolbox::printable(given) : folder) +
                  "; give a folder name under " + aircraft_root() + ", or the path of an aircraft folder";
        return false;
    }
    return true;
}

AircraftPanels SimFolder::panels_of(const std::string &aircraft_folder) const
{
    return simreading::panels_of(files_, aircraft_root(), aircraft_folder);
}

std::vector<PanelFile> SimFolder::every_panel_file(const std::string &aircraft_folder) const
{
    std::vector<PanelFile> files;
    std::vector<std::string> folders;
    std::string reason;
    simreading::list_subfolders(files_, aircraft_folder, "panel", folders, reason);
    for (const std::string &folder : folders) {
        PanelFile file;
        if (simreading::find_panel_cfg(files_, join_path(aircraft_folder, folder), file))
            files.push_back(file);
    }
    return files;
}

}  // namespace gaugeinstall
