// What gaugecheck finds and the four checks that find it. Each check only reads the simulator's
// folder; whatever it cannot read becomes a finding rather than an abort.
#pragma once

#include <string>
#include <vector>

#include "gauge_lines.h"

namespace gaugecheck {

enum class Status { ok, warning, problem };

// One line of the checklist. `file` is the full path the finding concerns (the path expected
// when the file is missing); `fix` says what to do and is empty for ok.
struct Finding {
    std::string check;  // "module", "sound_library", "sound_file", "panel"
    Status status;
    std::string file;
    std::string message;
    std::string fix;
};

struct Findings {
    std::vector<Finding> list;
    void ok(const char *check, const std::string &file, const std::string &message)
    {
        list.push_back({check, Status::ok, file, message, std::string()});
    }
    void warning(const char *check, const std::string &file, const std::string &message, const std::string &fix)
    {
        list.push_back({check, Status::warning, file, message, fix});
    }
    void problem(const char *check, const std::string &file, const std::string &message, const std::string &fix)
    {
        list.push_back({check, Status::problem, file, message, fix});
    }
    int count(Status status) const;
};

// The modules this release ships and the sound files they play, from the panel.cfg core.
using panelcfg::GAUGE_NAMES;
using panelcfg::SOUND_FILES;

// A panel that takes a module: the simulator looks in the panel's own folder first.
struct ModuleUse {
    std::string gauge_name;    // one of GAUGE_NAMES
    std::string panel_folder;  // the folder of the panel.cfg that holds the line
    std::string panel_cfg;
};

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
