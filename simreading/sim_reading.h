// What the simulator reads of an install, said once for every tool: an aircraft's aircraft.cfg
// and the panel folders its [fltsim.N] panel= lines choose, each panel.cfg followed through
// alias= to the file that holds the panel, the VirtualStore copy read in place of any file, and
// each cfg file's text. Bytes of panel= and alias= are decoded as their file is (ANSI through the
// system's code page, else UTF-8) before they name a folder. No Windows header: the file system
// comes through SimFiles.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "aircraft_cfg.h"
#include "gauge_lines.h"
#include "panel_document.h"
#include "sim_files.h"

namespace simreading {

// Aliases are followed one after another; a chain longer than any real aircraft set uses is a
// mistake, and is followed no further.
inline constexpr int ALIAS_CHAIN_LIMIT = 32;

// "C:\a" + "b" -> "C:\a\b" (one backslash, whichever side had one); `name` alone for an empty folder.
std::string join_path(std::string_view folder, std::string_view name);

// The entry of that name in `folder` (compared as Windows compares names), joined to the folder
// as the folder spells it; empty when there is none of that kind.
std::string find_entry(const SimFiles &files, const std::string &folder, std::string_view name, bool folder_wanted);

// The subfolders of `folder` whose names start with `prefix` (any case; all of them for an empty
// one), as spelled, sorted by their name keys. False, with a reason, when the folder cannot be
// listed.
bool list_subfolders(const SimFiles &files, const std::string &folder, std::string_view prefix,
                     std::vector<std::string> &names, std::string &reason);

// "C:\a\b.cfg" -> "C:\a", "C:\b.cfg" -> "C:\" (a drive keeps its root); "" for a name alone.
std::string parent_folder(const std::string &path);

// A cfg file read whole: its lines over its own bytes, and its text shown as UTF-8.
struct CfgFile {
    panelcfg::Document document;
    panelcfg::Encoding encoding = panelcfg::Encoding::utf8;
    const SimFiles *files = nullptr;  // decodes an ANSI file's bytes
    std::string shown(std::string_view raw) const;
};

enum class CfgRead {
    ok,
    unreadable,  // missing, locked, no access
    not_text,    // NUL bytes, or past panelcfg::TEXT_LIMIT
};

// `reason` says why for a user when the result is not ok.
CfgRead read_cfg(const SimFiles &files, const std::string &path, CfgFile &cfg, std::string &reason);

struct PanelFile {
    std::string path;       // the panel.cfg in its folder, named as found
    std::string read_path;  // what the simulator reads: its VirtualStore copy, or `path`
    std::string via;        // the aircraft's own panel.cfg whose alias led here; empty without one
};

// The panel.cfg in `folder` (any case of its name); false when neither it nor a VirtualStore copy
// of it is there. `file.path` is named as found, or "panel.cfg" when only the copy is.
bool find_panel_cfg(const SimFiles &files, const std::string &folder, PanelFile &file);

// Where one panel.cfg's alias= line leads. Its target names a folder under Aircraft\: one with a
// "..", a drive or a leading backslash is no such folder, and is not followed.
enum class AliasKind { none, leads, bad_target, missing };
struct AliasStep {
    AliasKind kind = AliasKind::none;
    int line = -1;       // index in the document of the alias= line
    std::string target;  // its value decoded, as UTF-8
    PanelFile next;      // leads: the panel.cfg there; missing: the path that does not exist
};
AliasStep follow_alias(const SimFiles &files, const std::string &aircraft_root, const CfgFile &panel);

// A panel= choice of aircraft.cfg, its folder's name decoded.
struct ChosenFolder {
    panelcfg::PanelChoice choice;  // its line; `problem` set for a value that names no folder
    std::string name;              // "panel", "panel.Café", as UTF-8
};

// aircraft.cfg as the simulator reads it (its VirtualStore copy first), and the folders it
// chooses. An unreadable or missing aircraft.cfg chooses "panel".
struct AircraftCfg {
    std::string path;     // the file read, or the path where it would be when there is none
    bool found = false;   // a file of that name is there
    CfgRead read = CfgRead::unreadable;
    std::string reason;   // why it could not be read
    CfgFile cfg;          // empty when it could not be read
    std::vector<ChosenFolder> chosen;
};
AircraftCfg read_aircraft_cfg(const SimFiles &files, const std::string &aircraft_folder);

struct AircraftPanels {
    std::string folder;             // the aircraft folder's full path
    std::vector<PanelFile> panels;  // the files the simulator reads for it, each once
    std::vector<std::string> own;   // its own chosen panel.cfg files that hand over through an alias
    std::vector<std::string> notes; // what was passed over: a chosen folder without a panel.cfg, a bad panel= value
    std::string problem;            // why it cannot take the gauges; empty when it can
};
// The panel.cfg files the simulator reads for an aircraft, every alias chain followed to its end.
AircraftPanels panels_of(const SimFiles &files, const std::string &aircraft_root, const std::string &aircraft_folder);

}  // namespace simreading
