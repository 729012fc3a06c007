// The planner's reading of files and its steps.
#include "planner.h"

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

std::string module_release(const Payload &payload, int gauge, const std::string &bytes)
{
    std::string sum = sha256_hex((const uint8_t *)bytes.data(), bytes.size());
    const panelcfg::ReleasedFile *known = panelcfg::release_of(payload.known_modules, module_file(gauge), sum);
    return known ? known->version : std::string();
}

std::string module_file(int gauge)
{
    return RELEASE_GAUGES[gauge].module_file;
}

std::string section_text(const std::string &section)
{
    return "[" + section + "]";
}

void Planner::judge_module(int gauge, const std::string &path, const std::string &where)
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
    std::string release = module_release(payload, gauge, bytes);
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

void Planner::place_sound(int gauge)
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

void Planner::note_virtual_store(const PanelFile &file)
{
    if (file.read_path != file.path)
        step(panel_steps, Action::note, file.read_path,
             "the simulator reads this VirtualStore copy in place of " + file.path +
                 " (Windows put it there when a program without administrator rights changed the file): " +
                 "gaugeinstall edits the copy");
}

void Planner::back_up(const ReadPanel &panel)
{
    std::string backup = panel.file.read_path + BACKUP_SUFFIX;
    if (!is_file(backup)) {
        step(panel_steps, Action::backup, backup, "the panel.cfg as it was, before gaugeinstall's first change");
        backup_changes.push_back({FileChange::Kind::create, backup, panel.bytes(), std::string()});
    } else {
        step(panel_steps, Action::note, backup, "an earlier backup of the panel.cfg: kept as it is");
    }
}

void Planner::change_panel(const ReadPanel &panel, const panelcfg::PanelEdit &edit)
{
    const std::string &path = panel.file.read_path;
    panel_changes.push_back({FileChange::Kind::replace, path, edit.bytes, panel.bytes()});
    panelcfg::Document after = panelcfg::read_document(edit.bytes);
    plan.diffs.push_back({path, panel.utf8(panelcfg::unified_diff(panel.document(), after, path, path))});
}

void Planner::report_lines(const ReadPanel &panel, const panelcfg::PanelEdit &edit)
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

Plan Planner::finish()
{
    plan.steps = file_steps;
    plan.steps.insert(plan.steps.end(), panel_steps.begin(), panel_steps.end());
    for (auto *changes : {&module_changes, &backup_changes, &panel_changes})
        plan.changes.insert(plan.changes.end(), changes->begin(), changes->end());
    return plan;
}

}  // namespace gaugeinstall
