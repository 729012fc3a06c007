// The uninstall's plan: every line naming the modules out, then each module and sound no
// remaining panel uses; every file read and every decision made, nothing written.
#include "plan_steps.h"

#include <map>
#include <set>

#include "folders.h"
#include "gauge_lines.h"
#include "release_sums.h"

namespace gaugeinstall {

using namespace gaugecheck;
using panelcfg::GAUGE_NAMES;
using panelcfg::SOUND_FILES;

Plan plan_uninstall(const SimFolder &sim, const std::vector<std::string> &aircraft_folders, const Payload &payload)
{
    Planner planner{sim, payload, {}, {}, {}, {}, {}, {}};
    // Every panel file of the simulator, and of the aircraft named outside it: the remaining
    // users of a module once the lines are out.
    std::vector<PanelFile> everywhere;
    for (const std::string &name : sim.aircraft_names())
        for (const PanelFile &file : sim.every_panel_file(join_path(sim.aircraft_root(), name)))
            everywhere.push_back(file);
    std::vector<PanelFile> targets;
    if (aircraft_folders.empty())
        targets = everywhere;
    for (const std::string &folder : aircraft_folders) {
        std::vector<PanelFile> own = sim.every_panel_file(folder);
        if (!same_name(parent_folder(folder), sim.aircraft_root()))
            everywhere.insert(everywhere.end(), own.begin(), own.end());
        targets.insert(targets.end(), own.begin(), own.end());
        for (const PanelFile &shared : sim.panels_of(folder).panels)
            if (!shared.via.empty())
                targets.push_back(shared);
    }

    std::map<std::string, std::string> after;  // path key -> the bytes once the lines are out
    std::set<std::string> seen;
    for (const PanelFile &file : targets) {
        std::string key = path_key(file.read_path);
        if (!seen.insert(key).second)
            continue;
        ReadPanel panel;
        std::string reason;
        if (!read_panel(file, panel, reason)) {
            planner.step(planner.panel_steps, Action::note, file.read_path, "passed over: it " + reason);
            continue;
        }
        panelcfg::PanelEdit edit = panelcfg::plan_uninstall(panel.document());
        if (!edit.changed())
            continue;
        planner.note_virtual_store(file);
        planner.report_lines(panel, edit);
        planner.change_panel(panel, edit);
        after[key] = edit.bytes;
        if (is_file(file.read_path + BACKUP_SUFFIX))
            planner.step(planner.panel_steps, Action::note, file.read_path + BACKUP_SUFFIX,
                         "the backup gaugeinstall made at the install stays; delete it yourself when you no longer need it");
    }

    // Which panel files still name each module once the lines are out.
    std::vector<std::string> users[2];
    std::set<std::string> counted;
    for (const PanelFile &file : everywhere) {
        std::string key = path_key(file.read_path);
        if (!counted.insert(key).second)
            continue;
        CfgFile read;
        std::string reason;
        auto edited = after.find(key);
        if (edited != after.end())
            read.document = panelcfg::read_document(edited->second);
        else if (read_cfg(file.read_path, read, reason) != CfgRead::ok)
            continue;
        const panelcfg::Document &document = read.document;
        bool used[2] = {false, false};
        for (const panelcfg::GaugeLine &line : panelcfg::gauge_lines(document)) {
            int gauge = panelcfg::our_module(document.lines[line.line].value);
            if (gauge >= 0)
                used[gauge] = true;
        }
        for (int gauge = 0; gauge < 2; ++gauge)
            if (used[gauge])
                users[gauge].push_back(file.read_path);
    }
    auto users_text = [&](int gauge) {
        const std::vector<std::string> &list = users[gauge];
        return list.front() + (list.size() > 1 ? " and " + std::to_string(list.size() - 1) + " more panel.cfg file(s)" : "");
    };

    for (int gauge = 0; gauge < 2; ++gauge) {
        std::string path = sim.store().effective(join_path(join_path(sim.path(), "Gauges"), module_file(gauge)));
        if (!is_file(path))
            continue;
        std::string bytes, reason;
        if (!read_our_file(path, bytes, reason)) {
            planner.step(planner.file_steps, Action::keep, path, "cannot be read (" + reason + "): left alone");
        } else if (!users[gauge].empty()) {
            planner.step(planner.file_steps, Action::keep, path, "still used by " + users_text(gauge));
        } else if (bytes != payload.modules[gauge] && module_release(gauge, bytes).empty()) {
            planner.step(planner.file_steps, Action::keep, path, "a module of no release gaugeinstall knows: left alone");
        } else {
            planner.step(planner.file_steps, Action::remove, path, "no panel.cfg uses it any more");
            planner.module_changes.push_back({FileChange::Kind::remove, path, std::string(), bytes});
        }
    }
    for (int sound = 0; sound < 2; ++sound) {
        std::string path = sim.store().effective(join_path(sim.path(), SOUND_FILES[sound]));
        if (!is_file(path))
            continue;
        std::string bytes, reason;
        if (!read_our_file(path, bytes, reason) || bytes != payload.sounds[sound])
            planner.step(planner.file_steps, Action::keep, path, "not this release's own sound: left alone");
        else if (!users[sound].empty())
            planner.step(planner.file_steps, Action::keep, path, std::string("still played by ") + GAUGE_NAMES[sound] +
                                                                     ", which " + users_text(sound) + " uses");
        else {
            planner.step(planner.file_steps, Action::remove, path, std::string("no panel.cfg uses ") + GAUGE_NAMES[sound] + " any more");
            planner.module_changes.push_back({FileChange::Kind::remove, path, std::string(), bytes});
        }
    }
    // The panel files first, so that a module never goes while a panel still names it.
    Plan plan = planner.finish();
    std::vector<FileChange> ordered = planner.panel_changes;
    ordered.insert(ordered.end(), planner.module_changes.begin(), planner.module_changes.end());
    plan.changes = ordered;
    return plan;
}

}  // namespace gaugeinstall
