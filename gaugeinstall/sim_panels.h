// The simulator's folder as gaugeinstall sees it: its aircraft, the panel.cfg files the
// simulator reads for each (the panel folders aircraft.cfg chooses, each followed through
// [fltsim] alias= to the file it hands over to), and the VirtualStore copy read in place of any
// file under the folder.
#pragma once

#include <string>
#include <vector>

#include "virtual_store.h"

namespace gaugeinstall {

struct PanelFile {
    std::string path;       // the panel.cfg in its folder, named as found
    std::string read_path;  // what the simulator reads: its VirtualStore copy, or `path`
    std::string via;        // the aircraft's own panel.cfg whose alias led here; empty without one
};

struct AircraftPanels {
    std::string folder;             // the aircraft folder's full path
    std::vector<PanelFile> panels;  // the files the simulator reads for it, each once
    std::vector<std::string> own;   // its own chosen panel.cfg files that hand over through an alias
    std::vector<std::string> notes; // what was passed over: a chosen folder without a panel.cfg, a bad panel= value
    std::string problem;            // why it cannot take the gauges; empty when it can
};

class SimFolder {
public:
    explicit SimFolder(const std::string &full_path);
    const std::string &path() const { return path_; }
    std::string aircraft_root() const;
    const toolbox::VirtualStore &store() const { return store_; }

    // Every folder under Aircraft\, sorted by name.
    std::vector<std::string> aircraft_names() const;
    // An aircraft named on the command line: a folder name under Aircraft\ (any case), or the
    // path of an aircraft folder. False with a message for the user.
    bool find_aircraft(const std::string &given, std::string &folder, std::string &message) const;
    AircraftPanels panels_of(const std::string &aircraft_folder) const;
    // Every panel*\panel.cfg of `aircraft_folder`, chosen or not, aliases not followed.
    std::vector<PanelFile> every_panel_file(const std::string &aircraft_folder) const;

private:
    // The panel.cfg in `folder` (any case of its name) or its VirtualStore copy; false when none.
    bool find_panel_cfg(const std::string &folder, PanelFile &file) const;
    std::string path_;
    toolbox::VirtualStore store_;
};

}  // namespace gaugeinstall
