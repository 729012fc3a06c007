// What an install or uninstall will do, worked out before anything changes: the steps it
// reports (one a line, as text or JSON) and the file changes that make them, in order.
#pragma once

#include <string>
#include <vector>

#include "file_changes.h"
#include "panel_edit.h"
#include "payload.h"
#include "sim_panels.h"

namespace gaugeinstall {

enum class Action {
    add_line,     // a gauge line added to a panel.cfg
    fix_line,     // a line meaning our gauge, corrected in place
    remove_line,  // a line naming our module, taken out
    copy,         // a module or sound put where none was
    keep,         // left as it is: already this release's, the user's own sound, still in use
    replace,      // an older release's module replaced
    remove,       // a module or sound deleted ("delete")
    backup,       // a panel.cfg copied once to panel.cfg.vqt7-backup before its first change
    refuse,       // what stops the run before any change
    note,         // what the user should know: an alias followed, a VirtualStore copy, a backup kept
};
const char *action_name(Action action);

struct Step {
    Action action;
    std::string file;     // the full path the step concerns
    int line = 0;         // a panel.cfg's line (1-based), or 0
    std::string text;     // the line, in UTF-8
    std::string message;  // for people
};

struct PanelDiff {
    std::string file;
    std::string diff;  // unified, in UTF-8
};

struct Plan {
    std::vector<Step> steps;
    std::vector<FileChange> changes;
    std::vector<PanelDiff> diffs;  // one a panel.cfg that changes
    int count(Action action) const;
    bool refused() const { return count(Action::refuse) > 0; }
};

// Both gauges into every panel the simulator reads for each aircraft, and the modules and sounds
// into the simulator's folder where missing.
Plan plan_install(const SimFolder &sim, const std::vector<AircraftPanels> &aircraft,
                  const panelcfg::InstallRequest &request, const Payload &payload);

// Every line naming our modules out of the aircraft's panels (every panel of the simulator when
// `aircraft` is empty), then each module and sound that no remaining panel uses and that is a
// release's own. Panels of aircraft folders named outside the simulator's count as users too.
Plan plan_uninstall(const SimFolder &sim, const std::vector<std::string> &aircraft_folders, const Payload &payload);

// The suffix of the one backup made of each panel.cfg.
extern const char BACKUP_SUFFIX[];

}  // namespace gaugeinstall
