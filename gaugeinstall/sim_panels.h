// The simulator's folder as gaugeinstall sees it: its aircraft, the panel.cfg files the
// simulator reads for each (the panel folders aircraft.cfg chooses, each followed through
// [fltsim] alias= to the file it hands over to), and the VirtualStore copy read in place of any
// file under the folder.
#pragma once

#include <string>
#include <vector>

#include "sim_reading.h"
#include "windows_sim_files.h"

namespace gaugeinstall {

using simreading::AircraftPanels;
using simreading::PanelFile;

class SimFolder {
public:
    explicit SimFolder(const std::string &full_path);
    const std::string &path() const { return path_; }
    std::string aircraft_root() const;
    const toolbox::VirtualStore &store() const { return *files_.store(); }
    const simreading::SimFiles &files() const { return files_; }

    // Every folder under Aircraft\, sorted by name.
    std::vector<std::string> aircraft_names() const;
    // An aircraft named on the command line: a folder name under Aircraft\ (any case), or the
    // path of an aircraft folder. False with a message for the user.
    bool find_aircraft(const std::string &given, std::string &folder, std::string &message) const;
    AircraftPanels panels_of(const std::string &aircraft_folder) const;
    // Every panel*\panel.cfg of `aircraft_folder`, chosen or not, aliases not followed.
    std::vector<PanelFile> every_panel_file(const std::string &aircraft_folder) const;

private:
    std::string path_;
    toolbox::WindowsSimFiles files_;
};

}  // namespace gaugeinstall
