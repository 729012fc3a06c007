// Planning an install: every file is read and every decision made here, and nothing is written.
#include <set>

#include "folders.h"
#include "gauge_lines.h"
#include "planner.h"
#include "release_sums.h"

namespace gaugeinstall {

using namespace gaugecheck;
using panelcfg::GAUGE_COUNT;

Plan plan_install(const SimFolder &sim, const std::vector<AircraftPanels> &aircraft,
                  const panelcfg::InstallRequest &request, const Payload &payload)
{
    Planner planner{sim, payload, {}, {}, {}, {}, {}, {}};
    std::vector<PanelFile> panels;
    std::set<std::string> seen;
    for (const AircraftPanels &one : aircraft) {
        for (const std::string &note : one.notes)
            planner.step(planner.panel_steps, Action::note, one.folder, note);
        if (!one.problem.empty())
            planner.refuse(one.folder, one.problem);
        for (const PanelFile &file : one.panels) {
            if (!file.via.empty())
                planner.step(planner.panel_steps, Action::note, file.via,
                             "hands the aircraft over to " + file.path +
                                 " through its alias= line: the gauges go there, for every aircraft that shares that panel");
            if (seen.insert(path_key(file.read_path)).second)
                panels.push_back(file);
        }
    }

    for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge) {
        std::string path = sim.store().effective(join_path(join_path(sim.path(), "Gauges"), module_file(gauge)));
        if (is_file(path)) {
            planner.judge_module(gauge, path, "");
        } else {
            planner.step(planner.file_steps, Action::copy, path, std::string("this release's module (") + CURRENT_RELEASE + ")");
            planner.module_changes.push_back({FileChange::Kind::create, path, payload.modules[gauge], std::string()});
        }
    }
    for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge)
        planner.place_sound(gauge);

    std::set<std::string> module_folders;
    for (const PanelFile &file : panels) {
        ReadPanel panel;
        std::string reason;
        if (!read_panel(file, panel, reason)) {
            planner.refuse(file.read_path, reason);
            continue;
        }
        panelcfg::PanelEdit edit = panelcfg::plan_install(panel.document(), request);
        if (!edit.refused.empty()) {
            planner.refuse(file.read_path, edit.refused);
            continue;
        }
        planner.note_virtual_store(file);
        for (const std::string &note : edit.notes)
            planner.step(planner.panel_steps, Action::note, file.read_path, note);
        if (edit.changed())
            planner.back_up(panel);
        planner.report_lines(panel, edit);
        if (edit.changed())
            planner.change_panel(panel, edit);
        // The simulator takes a module from the panel's own folder before Gauges\.
        std::string folder = parent_folder(file.path);
        if (!module_folders.insert(path_key(folder)).second)
            continue;
        for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge) {
            std::string copy = sim.store().effective(join_path(folder, module_file(gauge)));
            if (is_file(copy))
                planner.judge_module(gauge, copy, "; the simulator takes this copy for " + file.path);
        }
    }
    return planner.finish();
}

}  // namespace gaugeinstall
