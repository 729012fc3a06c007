// Which panel folders an aircraft's aircraft.cfg chooses: each [fltsim.N] entry's panel= names
// the folder "panel.<value>", and an empty or missing value means "panel".
#pragma once

#include <string>
#include <vector>

#include "panel_document.h"

namespace panelcfg {

struct PanelChoice {
    std::string folder;   // "panel", "panel.2D"; empty when `problem` is set
    int line = -1;        // index in Document::lines of the panel= entry; -1 for the default
    std::string problem;  // a value that is no plain folder name ("..\x", "C:\y"): not followed
};

// Each folder once (case-insensitive), in file order. An aircraft.cfg without [fltsim.N]
// sections, and no aircraft.cfg at all (an empty document), choose "panel".
std::vector<PanelChoice> chosen_panel_folders(const Document &aircraft_cfg);

}  // namespace panelcfg
