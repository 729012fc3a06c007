// gaugecheck's panel check over the simulator-reading core: every panel.cfg an aircraft.cfg
// chooses, followed through alias=, and each gauge line in it that means one of our modules,
// judged as the simulator would read it. No Windows header, so that the native fuzz target can
// hold the installer's plan and this check to one reading.
#pragma once

#include <string>
#include <vector>

#include "findings.h"
#include "sim_files.h"

namespace simreading {

// The panels under `sim_folder`\Aircraft\*\ and `aircraft_folders`; returns which panels take
// which module, for the module check.
std::vector<ModuleUse> check_panels(const SimFiles &files, const std::string &sim_folder,
                                    const std::vector<std::string> &aircraft_folders, Findings &findings);

}  // namespace simreading
