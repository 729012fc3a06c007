#include "sim_reading.h"

#include <algorithm>
#include <set>

#include "aircraft_cfg.h"
#include "printable.h"

namespace simreading {

std::string join_path(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '\\' && joined.back() != '/')
        joined += '\\';
    return joined.append(name);
}

std::string parent_folder(const std::string &path)
{
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return std::string();
    return path.substr(0, cut == 2 && path[1] == ':' ? 3 : cut);  // a drive's root keeps its backslash
}

std::string find_entry(const SimFiles &files, const std::string &folder, std::string_view name, bool folder_wanted)
{
    FolderEntry entry;
    if (!files.find(folder, name, entry) || entry.folder != folder_wanted)
        return std::string();
    return join_path(folder, entry.name);
}

bool list_subfolders(const SimFiles &files, const std::string &folder, std::string_view prefix,
                     std::vector<std::string> &names, std::string &reason)
{
    names.clear();
    std::vector<FolderEntry> entries;
    if (!files.list(folder, entries, reason))
        return false;
    for (const FolderEntry &entry : entries)
        if (entry.folder && entry.name != "." && entry.name != ".." && entry.name.size() >= prefix.size() &&
            files.same_name(std::string_view(entry.name).substr(0, prefix.size()), prefix))
            names.push_back(entry.name);
    // Sorted by their keys, as gaugecheck and gaugeinstall have always listed them.
    std::sort(names.begin(), names.end(),
              [&](const std::string &a, const std::string &b) { return files.name_key(a) < files.name_key(b); });
    return true;
}

std::string CfgFile::shown(std::string_view raw) const
{
    return encoding == panelcfg::Encoding::ansi && files ? files->ansi_to_utf8(raw) : std::string(raw);
}

CfgRead read_cfg(const SimFiles &files, const std::string &path, CfgFile &cfg, std::string &reason)
{
    std::string bytes;
    // One byte past the limit: the core then says a file is too large for a panel.cfg.
    if (!files.read(path, panelcfg::TEXT_LIMIT, bytes, reason))
        return CfgRead::unreadable;
    panelcfg::TextCheck check = panelcfg::check_text(bytes);
    if (!check.text) {
        reason = check.reason;
        return CfgRead::not_text;
    }
    cfg.encoding = check.encoding;
    cfg.files = &files;
    cfg.document = panelcfg::read_document(std::move(bytes));
    return CfgRead::ok;
}

bool find_panel_cfg(const SimFiles &files, const std::string &folder, PanelFile &file)
{
    std::string found = find_entry(files, folder, "panel.cfg", false);
    file.path = found.empty() ? join_path(folder, "panel.cfg") : found;
    file.read_path = files.effective(file.path);
    file.via.clear();
    return !found.empty() || file.read_path != file.path;
}

// A folder under Aircraft\, named from there: no step out of it, no drive, no leading backslash.
static bool names_folder_under_aircraft(std::string_view target)
{
    return !target.empty() && target.find("..") == std::string_view::npos &&
           target.find(':') == std::string_view::npos && target[0] != '\\' && target[0] != '/';
}

AliasStep follow_alias(const SimFiles &files, const std::string &aircraft_root, const CfgFile &panel)
{
    AliasStep step;
    panelcfg::Alias alias = panelcfg::find_alias(panel.document);
    if (alias.line < 0)
        return step;
    step.line = alias.line;
    step.target = panel.shown(alias.target);
    if (!names_folder_under_aircraft(step.target)) {
        step.kind = AliasKind::bad_target;
        return step;
    }
    step.kind = find_panel_cfg(files, join_path(aircraft_root, step.target), step.next) ? AliasKind::leads
                                                                                          : AliasKind::missing;
    return step;
}

AircraftCfg read_aircraft_cfg(const SimFiles &files, const std::string &aircraft_folder)
{
    AircraftCfg result;
    std::string found = find_entry(files, aircraft_folder, "aircraft.cfg", false);
    std::string path = found.empty() ? join_path(aircraft_folder, "aircraft.cfg") : found;
    result.path = files.effective(path);
    result.found = !found.empty() || result.path != path;
    if (result.found)
        result.read = read_cfg(files, result.path, result.cfg, result.reason);
    if (result.read != CfgRead::ok)
        result.cfg = CfgFile();  // the simulator goes on as if such a file said nothing
    for (const panelcfg::PanelChoice &choice : panelcfg::chosen_panel_folders(result.cfg.document))
        result.chosen.push_back({choice, result.cfg.shown(choice.folder)});
    return result;
}

// Follows `file`'s alias chain to the panel.cfg that holds the panel; false, with the aircraft's
// problem set, when the chain loops, runs too long or names no panel.
static bool follow_chain(const SimFiles &files, const std::string &aircraft_root, PanelFile &file,
                         AircraftPanels &result)
{
    const std::string own = file.path;
    std::set<std::string> chain;
    for (int depth = 0;; ++depth) {
        if (!chain.insert(files.name_key(file.read_path)).second) {
            result.problem = own + ": its alias= chain leads back to itself, so the aircraft has no panel";
            return false;
        }
        if (depth >= ALIAS_CHAIN_LIMIT) {
            result.problem = own + ": its alias= chain is longer than " + std::to_string(ALIAS_CHAIN_LIMIT) +
                             " panels; point the alias at the panel.cfg that holds the panel itself";
            return false;
        }
        CfgFile read;
        std::string reason;
        if (read_cfg(files, file.read_path, read, reason) != CfgRead::ok)
            return true;  // a file that is no text says nothing, so no alias either
        AliasStep step = follow_alias(files, aircraft_root, read);
        if (step.kind == AliasKind::none)
            return true;
        if (file.via.empty() && depth == 0)
            result.own.push_back(file.path);
        std::string at = file.path + ": line " + std::to_string(step.line + 1) + ": alias=";
        if (step.kind == AliasKind::bad_target) {
            result.problem = at + toolbox::printable(step.target) + " names no folder under " + aircraft_root;
            return false;
        }
        if (step.kind == AliasKind::missing) {
            result.problem = at + step.target + " names " + step.next.path + ", which does not exist";
            return false;
        }
        step.next.via = own;
        file = step.next;
    }
}

AircraftPanels panels_of(const SimFiles &files, const std::string &aircraft_root, const std::string &aircraft_folder)
{
    AircraftPanels result;
    result.folder = aircraft_folder;
    AircraftCfg aircraft = read_aircraft_cfg(files, aircraft_folder);
    std::set<std::string> seen;
    for (const ChosenFolder &chosen : aircraft.chosen) {
        if (!chosen.choice.problem.empty()) {
            result.notes.push_back(aircraft.path + ": line " + std::to_string(chosen.choice.line + 1) + ": " +
                                   aircraft.cfg.shown(chosen.choice.problem));
            continue;
        }
        PanelFile file;
        std::string folder = join_path(aircraft_folder, chosen.name);
        if (!find_panel_cfg(files, folder, file)) {
            result.notes.push_back(folder + " holds no panel.cfg");
            continue;
        }
        if (!follow_chain(files, aircraft_root, file, result))
            return result;
        if (seen.insert(files.name_key(file.read_path)).second)
            result.panels.push_back(file);
    }
    if (result.panels.empty() && result.problem.empty())
        result.problem = aircraft_folder + " has no panel.cfg the simulator reads" +
                         (result.notes.empty() ? std::string() : " (" + result.notes.front() + ")");
    return result;
}

}  // namespace simreading
