// Planning: every file is read and every decision made here, and nothing is written.
#include "install_plan.h"

#include <map>
#include <set>

#include "cfg_file.h"
#include "file_sum.h"
#include "folders.h"
#include "gauge_lines.h"
#include "release_sums.h"
#include "text_diff.h"
#include "toolbox.h"

namespace gaugeinstall {

using namespace gaugecheck;
using panelcfg::GAUGE_COUNT;
using panelcfg::RELEASE_GAUGES;

const char BACKUP_SUFFIX[] = ".vqt7-backup";

const char *action_name(Action action)
{
    switch (action) {
    case Action::add_line: return "add_line";
    case Action::fix_line: return "fix_line";
    case Action::remove_line: return "remove_line";
    case Action::copy: return "copy";
    case Action::keep: return "keep";
    case Action::replace: return "replace";
    case Action::remove: return "delete";
    case Action::backup: return "backup";
    case Action::refuse: return "refuse";
    case Action::note: return "note";
    }
    return "?";
}

int Plan::count(Action action) const
{
    int total = 0;
    for (const Step &step : steps)
        total += step.action == action;
    return total;
}

namespace {

// A panel.cfg read and parsed, its text shown in UTF-8 whatever its encoding.
struct ReadPanel {
    PanelFile file;
    CfgFile cfg;
    const std::string &bytes() const { return cfg.document.bytes; }
    const panelcfg::Document &document() const { return cfg.document; }
    std::string utf8(std::string_view text) const { return cfg.shown(text); }
};

bool read_panel(const PanelFile &file, ReadPanel &panel, std::string &reason)
{
    panel.file = file;
    CfgRead read = read_cfg(file.read_path, panel.cfg, reason);
    if (read == CfgRead::unreadable)
        reason = "cannot be read: " + reason;
    else if (read == CfgRead::not_text)
        reason = "is no panel.cfg gaugeinstall can edit: " + reason;
    return read == CfgRead::ok;
}

bool read_our_file(const std::string &path, std::string &bytes, std::string &reason)
{
    std::vector<uint8_t> data;
    if (!toolbox::read_whole_file(path, data, reason, panelcfg::LARGEST_FILE_OF_OURS))
        return false;
    bytes.assign(data.begin(), data.end());
    return true;
}

// The release a module's bytes belong to, by SHA-256; empty for none gaugeinstall knows.
std::string module_release(int gauge, const std::string &bytes)
{
    std::string sum = sha256_hex((const uint8_t *)bytes.data(), bytes.size());
    for (const KnownModule &known : KNOWN_MODULES)
        if (same_name(known.file, RELEASE_GAUGES[gauge].module_file) && sum == known.sha256)
            return known.version;
    return std::string();
}

std::string module_file(int gauge)
{
    return RELEASE_GAUGES[gauge].module_file;
}

std::string section_text(const std::string &section)
{
    return "[" + section + "]";
}

struct Planner {
    const SimFolder &sim;
    const Payload &payload;
    Plan plan;
    // Reported in this order: the files of the simulator's folder, then each panel.cfg.
    std::vector<Step> file_steps, panel_steps;
    std::vector<FileChange> module_changes, backup_changes, panel_changes;

    void step(std::vector<Step> &into, Action action, const std::string &file, const std::string &message,
              int line = 0, const std::string &text = std::string())
    {
        into.push_back({action, file, line, text, message});
    }
    void refuse(const std::string &file, const std::string &message) { step(file_steps, Action::refuse, file, message); }

    // An existing module copy: this release's is kept, an older release's replaced, anything else
    // stops the run, since it could be another add-on's file of the same name.
    void judge_module(int gauge, const std::string &path, const std::string &where)
    {
        std::string bytes, reason;
        if (!read_our_file(path, bytes, reason)) {
            refuse(path, "cannot be read (" + reason + "), so gaugeinstall cannot tell which module it is");
            return;
        }
        if (bytes == payload.modules[gauge]) {
            step(file_steps, Action::keep, path, std::string("already this release's (") + CURRENT_RELEASE + ")" + where);
            return;
        }
        std::string release = module_release(gauge, bytes);
        if (release.empty()) {
            std::string sum = sha256_hex((const uint8_t *)bytes.data(), bytes.size());
            refuse(path, "a " + module_file(gauge) + " of no release gaugeinstall knows (SHA-256 " + sum.substr(0, 16) +
                             "...): move it out of " + parent_folder(path) + ", then run gaugeinstall again");
            return;
        }
        step(file_steps, Action::replace, path,
             "release " + release + ", older than this one (" + CURRENT_RELEASE + "): replaced" + where);
        module_changes.push_back({FileChange::Kind::replace, path, payload.modules[gauge], bytes});
    }

    // The sound that `gauge` plays.
    void place_sound(int gauge)
    {
        std::string path = sim.store().effective(join_path(sim.path(), RELEASE_GAUGES[gauge].sound_file));
        if (!is_file(path)) {
            step(file_steps, Action::copy, path, "this release's own sound");
            module_changes.push_back({FileChange::Kind::create, path, payload.sounds[gauge], std::string()});
            return;
        }
        std::string bytes, reason;
        if (read_our_file(path, bytes, reason) && bytes == payload.sounds[gauge])
            step(file_steps, Action::keep, path, "already this release's own sound");
        else
            step(file_steps, Action::keep, path,
                 "a sound of your own is there (not this release's): it is kept, and the gauge plays it");
    }

    void note_virtual_store(const PanelFile &file)
    {
        if (file.read_path != file.path)
            step(panel_steps, Action::note, file.read_path,
                 "the simulator reads this VirtualStore copy in place of " + file.path +
                     " (Windows put it there when a program without administrator rights changed the file): " +
                     "gaugeinstall edits the copy");
    }

    // Made once, before the file's first change by gaugeinstall, and never overwritten.
    void back_up(const ReadPanel &panel)
    {
        std::string backup = panel.file.read_path + BACKUP_SUFFIX;
        if (!is_file(backup)) {
            step(panel_steps, Action::backup, backup, "the panel.cfg as it was, before gaugeinstall's first change");
            backup_changes.push_back({FileChange::Kind::create, backup, panel.bytes(), std::string()});
        } else {
            step(panel_steps, Action::note, backup, "an earlier backup of the panel.cfg: kept as it is");
        }
    }

    void change_panel(const ReadPanel &panel, const panelcfg::PanelEdit &edit)
    {
        const std::string &path = panel.file.read_path;
        panel_changes.push_back({FileChange::Kind::replace, path, edit.bytes, panel.bytes()});
        panelcfg::Document after = panelcfg::read_document(edit.bytes);
        plan.diffs.push_back({path, panel.utf8(panelcfg::unified_diff(panel.document(), after, path, path))});
    }

    void report_lines(const ReadPanel &panel, const panelcfg::PanelEdit &edit)
    {
        const std::string &path = panel.file.read_path;
        for (const panelcfg::LineChange &change : edit.changes) {
            std::string section = section_text(change.section);
            switch (change.kind) {
            case panelcfg::ChangeKind::add_line:
                step(panel_steps, Action::add_line, path, "in " + section, change.line, panel.utf8(change.new_text));
                break;
            case panelcfg::ChangeKind::fix_line:
                step(panel_steps, Action::fix_line, path,
                     "in " + section + ", was " + panel.utf8(change.old_text) + ": " + change.why, change.line,
                     panel.utf8(change.new_text));
                break;
            case panelcfg::ChangeKind::remove_line:
                step(panel_steps, Action::remove_line, path, "in " + section, change.line, panel.utf8(change.old_text));
                break;
            case panelcfg::ChangeKind::already_installed:
                step(panel_steps, Action::keep, path, "already installed in " + section, change.line,
                     panel.utf8(change.old_text));
                break;
            }
        }
    }

    Plan finish()
    {
        plan.steps = file_steps;
        plan.steps.insert(plan.steps.end(), panel_steps.begin(), panel_steps.end());
        for (auto *changes : {&module_changes, &backup_changes, &panel_changes})
            plan.changes.insert(plan.changes.end(), changes->begin(), changes->end());
        return plan;
    }
};

}  // namespace

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
        } else if (bytes != payload.modules[gauge] && module_release(gauge, bytes).empty()) {
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
