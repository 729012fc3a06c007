// What gaugecheck finds and the four checks that find it. Each check only reads the simulator's
// folder; whatever it cannot read becomes a finding rather than an abort.
#pragma once

#include <string>
#include <vector>

#include "findings.h"
#include "gauge_lines.h"

namespace gaugecheck {

// The finding type the checks share with the simulator-reading core's panel check.
using simreading::Finding;
using simreading::Findings;
using simreading::ModuleUse;
using simreading::Status;

// The gauges this release ships, their modules and their sounds, from the panel.cfg core.
using panelcfg::GAUGE_COUNT;
using panelcfg::RELEASE_GAUGES;
using panelcfg::ReleaseGauge;

// Check 4: the panel.cfg of every panel folder an aircraft.cfg chooses, under Aircraft\*\ and
// the extra aircraft folders, that mentions a module; returns which panels take which module,
// for check 1.
std::vector<ModuleUse> check_panels(const std::string &sim_folder, const std::vector<std::string> &aircraft_folders,
                                    Findings &findings);
// Check 1: each module copy the panels take, and the ones in Gauges\.
void check_modules(const std::string &sim_folder, const std::vector<ModuleUse> &uses, Findings &findings);
// Check 2: the GaugeSound.dll the simulator's process would load.
void check_sound_library(const std::string &sim_folder, Findings &findings);
// Check 3: the sound files, decoded as the bench decodes them.
void check_sound_files(const std::string &sim_folder, Findings &findings);

// Every check on the simulator's folder and the extra aircraft folders, in the order they are
// reported: modules, library and sounds first, since they decide every panel's outcome.
Findings check_install(const std::string &sim_folder, const std::vector<std::string> &aircraft_folders);

// The checklist's lines: text for people, JSON Lines for scripts.
std::string finding_line(const Finding &finding, bool json);
std::string summary_line(const Findings &findings, bool json);

}  // namespace gaugecheck
