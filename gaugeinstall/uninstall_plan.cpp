// Planning an uninstall: our lines out of the panels, then each module and sound that no panel
// uses any more and that is the release's own. Nothing is written here.
#include <map>
#include <set>

#include "folders.h"
#include "gauge_lines.h"
#include "planner.h"

namespace gaugeinstall {

using namespace gaugecheck;
using panelcfg::GAUGE_COUNT;
using panelcfg::RELEASE_GAUGES;

namespace {

// What an uninstall reads: the panel files it takes our lines out of, and every panel file of the
// simulator and of the aircraft named outside it, the users a module may still have.
struct UninstallScope {
    std::vector<PanelFile> everywhere, targets;
};

UninstallScope uninstall_scope(const SimFolder &sim, const std::vector<std::string> &aircraft_folders)
{
    UninstallScope scope;
    for (const std::string &name : sim.aircraft_names())
        for (const PanelFile &file : sim.every_panel_file(join_path(sim.aircraft_root(), name)))
            scope.everywhere.push_back(file);
    if (aircraft_folders.empty())
        scope.targets = scope.everywhere;
    for (const std::string &folder : aircraft_folders) {
        std::vector<PanelFile> own = sim.every_panel_file(folder);
        if (!same_name(parent_folder(folder), sim.aircraft_root()))
            scope.everywhere.insert(scope.everywhere.end(), own.begin(), own.end());
        scope.targets.insert(scope.targets.end(), own.begin(), own.end());
        for (const PanelFile &shared : sim.panels_of(folder).panels)
            if (!shared.via.empty())
                scope.targets.push_back(shared);
    }
    return scope;
}

// Our lines out of each target, once; the new bytes of each file changed, by path key.
std::map<std::string, std::string> take_out_lines(Planner &planner, const std::vector<PanelFile> &targets)
{
    std::map<std::string, std::string> after;
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
    return after;
}

// Which panel files still name each gauge's module once the lines are out.
struct Users {
    std::vector<std::string> of[GAUGE_COUNT];
    std::string text(int gauge) const
    {
        const std::vector<std::string> &list = of[gauge];
        return list.front() + (list.size() > 1 ? " and " + std::to_string(list.size() - 1) + " more panel.cfg file(s)" : "");
    }
};

Users remaining_users(const std::vector<PanelFile> &everywhere, const std::map<std::string, std::string> &after)
{
    Users users;
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
        bool used[GAUGE_COUNT] = {};
        for (const panelcfg::GaugeLine &line : panelcfg::gauge_lines(document)) {
            int gauge = panelcfg::our_module(document.lines[line.line].value);
            if (gauge >= 0)
                used[gauge] = true;
        }
        for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge)
            if (used[gauge])
                users.of[gauge].push_back(file.read_path);
    }
    return users;
}

// Each module in Gauges\ that no panel uses any more and that is a release's own, deleted.
void remove_unused_modules(Planner &planner, const Users &users)
{
    const SimFolder &sim = planner.sim;
    const Payload &payload = planner.payload;
    for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge) {
        std::string path = sim.store().effective(join_path(join_path(sim.path(), "Gauges"), module_file(gauge)));
        if (!is_file(path))
            continue;
        std::string bytes, reason;
        if (!read_our_file(path, bytes, reason)) {
            planner.step(planner.file_steps, Action::keep, path, "cannot be read (" + reason + "): left alone");
        } else if (!users.of[gauge].empty()) {
            planner.step(planner.file_steps, Action::keep, path, "still used by " + users.text(gauge));
        } else if (bytes != payload.modules[gauge] && module_release(payload, gauge, bytes).empty()) {
            planner.step(planner.file_steps, Action::keep, path, "a module of no release gaugeinstall knows: left alone");
        } else {
            planner.step(planner.file_steps, Action::remove, path, "no panel.cfg uses it any more");
            planner.module_changes.push_back({FileChange::Kind::remove, path, std::string(), bytes});
        }
    }
}

void remove_unused_sounds(Planner &planner, const Users &users)
{
    const SimFolder &sim = planner.sim;
    const Payload &payload = planner.payload;
    // Each gauge's sound goes with the gauge.
    for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge) {
        const char *name = RELEASE_GAUGES[gauge].name;
        std::string path = sim.store().effective(join_path(sim.path(), RELEASE_GAUGES[gauge].sound_file));
        if (!is_file(path))
            continue;
        std::string bytes, reason;
        if (!read_our_file(path, bytes, reason) || bytes != payload.sounds[gauge])
            planner.step(planner.file_steps, Action::keep, path, "not this release's own sound: left alone");
        else if (!users.of[gauge].empty())
            planner.step(planner.file_steps, Action::keep, path, std::string("still played by ") + name + ", which " +
                                                                     users.text(gauge) + " uses");
        else {
            planner.step(planner.file_steps, Action::remove, path, std::string("no panel.cfg uses ") + name + " any more");
            planner.module_changes.push_back({FileChange::Kind::remove, path, std::string(), bytes});
        }
    }
}

}  // namespace

Plan plan_uninstall(const SimFolder &sim, const std::vector<std::string> &aircraft_folders, const Payload &payload)
{
    Planner planner{sim, payload, {}, {}, {}, {}, {}, {}};
    UninstallScope scope = uninstall_scope(sim, aircraft_folders);
    Users users = remaining_users(scope.everywhere, take_out_lines(planner, scope.targets));
    remove_unused_modules(planner, users);
    remove_unused_sounds(planner, users);
    // The panel files first, so that a module never goes while a panel still names it.
    Plan plan = planner.finish();
    std::vector<FileChange> ordered = planner.panel_changes;
    ordered.insert(ordered.end(), planner.module_changes.begin(), planner.module_changes.end());
    plan.changes = ordered;
    return plan;
}

}  // namespace gaugeinstall
