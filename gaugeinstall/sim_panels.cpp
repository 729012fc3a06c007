// Finding aircraft and their panel files through the wide file calls; the files' contents are
// read by the shared panel.cfg core.
#include "sim_panels.h"

#include <windows.h>

#include <set>

#include "aircraft_cfg.h"
#include "cfg_file.h"
#include "folders.h"
#include "gauge_lines.h"
#include "panel_document.h"
#include "toolbox.h"

namespace gaugeinstall {

using namespace gaugecheck;

// Aliases are followed one after another; a chain longer than any real aircraft set uses is a
// mistake, as gaugecheck reports it.
static const int ALIAS_CHAIN_LIMIT = 32;

SimFolder::SimFolder(const std::string &full_path) : path_(full_path), store_(full_path) {}

std::string SimFolder::aircraft_root() const
{
    return join_path(path_, "Aircraft");
}

std::vector<std::string> SimFolder::aircraft_names() const
{
    std::vector<std::string> names;
    std::string reason;
    list_subfolders(aircraft_root(), "*", names, reason);
    return names;
}

// A folder name, not a path: no separator, no drive, no "..".
static bool plain_name(const std::string &name)
{
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos && name != "." && name != "..";
}

bool SimFolder::find_aircraft(const std::string &given, std::string &folder, std::string &message) const
{
    if (plain_name(given)) {
        for (const std::string &name : aircraft_names()) {
            if (same_name(name, given)) {
                folder = join_path(aircraft_root(), name);
                return true;
            }
        }
        if (!is_folder(given)) {
            message = "no aircraft folder '" + toolbox::printable(given) + "' under " + aircraft_root() +
                      "; give a folder name from there, or the path of an aircraft folder";
            return false;
        }
    }
    folder = full_path(given);
    if (folder.empty() || !is_folder(folder)) {
        message = "no aircraft folder " + (folder.empty() ? toolbox::printable(given) : folder) +
                  "; give a folder name under " + aircraft_root() + ", or the path of an aircraft folder";
        return false;
    }
    return true;
}

bool SimFolder::find_panel_cfg(const std::string &folder, PanelFile &file) const
{
    std::string wanted = join_path(folder, "panel.cfg");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(toolbox::widen(wanted).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            wanted = join_path(folder, toolbox::narrow(found.cFileName));
    }
    file.path = wanted;
    file.read_path = store_.effective(wanted);
    file.via.clear();
    return is_file(file.read_path);
}

// The document of a cfg file that can be read as text, else an empty one: the simulator too
// goes on as if such a file said nothing.
static panelcfg::Document document_or_empty(const std::string &path)
{
    gaugecheck::CfgFile cfg;
    std::string reason;
    if (!is_file(path) || gaugecheck::read_cfg(path, cfg, reason) != gaugecheck::CfgRead::ok)
        return panelcfg::Document();
    return cfg.document;
}

AircraftPanels SimFolder::panels_of(const std::string &aircraft_folder) const
{
    AircraftPanels result;
    result.folder = aircraft_folder;
    std::string aircraft_cfg = store_.effective(join_path(aircraft_folder, "aircraft.cfg"));
    panelcfg::Document choices = document_or_empty(aircraft_cfg);
    std::set<std::string> seen;
    for (const panelcfg::PanelChoice &choice : panelcfg::chosen_panel_folders(choices)) {
        if (!choice.problem.empty()) {
            result.notes.push_back(aircraft_cfg + ": line " + std::to_string(choice.line + 1) + ": " + choice.problem);
            continue;
        }
        PanelFile file;
        if (!find_panel_cfg(join_path(aircraft_folder, choice.folder), file)) {
            result.notes.push_back(join_path(aircraft_folder, choice.folder) + " holds no panel.cfg");
            continue;
        }
        // Follow the alias chain to the file that holds the panel itself.
        std::string own = file.path;
        std::set<std::string> chain;
        for (int depth = 0;; ++depth) {
            if (!chain.insert(path_key(file.read_path)).second) {
                result.problem = own + ": its alias= chain leads back to itself, so the aircraft has no panel";
                return result;
            }
            if (depth >= ALIAS_CHAIN_LIMIT) {
                result.problem = own + ": its alias= chain is longer than " + std::to_string(ALIAS_CHAIN_LIMIT) +
                                 " panels; point the alias at the panel.cfg that holds the panel itself";
                return result;
            }
            panelcfg::Alias alias = panelcfg::find_alias(document_or_empty(file.read_path));
            if (alias.line < 0)
                break;
            if (file.via.empty() && depth == 0)
                result.own.push_back(file.path);
            // Names relative to the Aircraft folder; one that climbs out of it is not followed.
            const std::string &target = alias.target;
            if (target.empty() || target.find("..") != std::string::npos || target.find(':') != std::string::npos ||
                target[0] == '\\') {
                result.problem = file.path + ": line " + std::to_string(alias.line + 1) + ": alias=" +
                                 toolbox::printable(target) + " names no folder under " + aircraft_root();
                return result;
            }
            PanelFile next;
            if (!find_panel_cfg(join_path(aircraft_root(), target), next)) {
                result.problem = file.path + ": line " + std::to_string(alias.line + 1) + ": alias=" + target +
                                 " names " + join_path(join_path(aircraft_root(), target), "panel.cfg") +
                                 ", which does not exist";
                return result;
            }
            next.via = own;
            file = next;
        }
        if (seen.insert(path_key(file.read_path)).second)
            result.panels.push_back(file);
    }
    if (result.panels.empty() && result.problem.empty())
        result.problem = aircraft_folder + " has no panel.cfg the simulator reads" +
                         (result.notes.empty() ? std::string() : " (" + result.notes.front() + ")");
    return result;
}

std::vector<PanelFile> SimFolder::every_panel_file(const std::string &aircraft_folder) const
{
    std::vector<PanelFile> files;
    std::vector<std::string> folders;
    std::string reason;
    list_subfolders(aircraft_folder, "panel*", folders, reason);
    for (const std::string &folder : folders) {
        PanelFile file;
        if (find_panel_cfg(join_path(aircraft_folder, folder), file))
            files.push_back(file);
    }
    return files;
}

}  // namespace gaugeinstall
