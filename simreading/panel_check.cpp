// Check 4: finds the panel.cfg of every panel folder an aircraft.cfg chooses, follows [fltsim]
// alias= lines, and judges each gauge line that means one of our modules: its key and its
// spelling, the window it sits in, and whether its gaugeNN key is the only one of that number
// in its window. Lines meaning our modules in a panel folder no aircraft.cfg chooses are
// never read: a warning says so.
#include "panel_check.h"

#include <stdio.h>

#include <map>
#include <set>

#include "aircraft_cfg.h"
#include "gauge_lines.h"
#include "panel_document.h"
#include "sim_reading.h"

namespace simreading {

using panelcfg::RELEASE_GAUGES;
using panelcfg::two_digits;

using panelcfg::Document;
using panelcfg::GaugeLine;
using panelcfg::KeyKind;
using panelcfg::WindowKind;

namespace {

// A panel's windows by kind and number, and each window's exact gaugeNN keys: the numbers and
// the lines (1-based) that hold them, by the window's name in lower case.
struct PanelLayout {
    std::map<WindowKind, std::set<int>> windows;
    std::map<std::string, std::map<int, std::vector<int>>> keys;
};

struct PanelState {
    bool in_progress = false;
    bool ours = false;  // it, or the panel its alias leads to, holds lines meaning our modules
};

// A panel folder no [fltsim.N] entry chooses, judged once every aircraft is scanned: another
// aircraft's alias may still lead to it.
struct Unchosen {
    std::string cfg, folder_name, aircraft_cfg;
    std::vector<std::string> entries, chosen;  // "[fltsim.0]", ...; "panel", "panel.2D", ...
};

struct PanelScan {
    std::string sim_folder;
    Findings &findings;
    const SimFiles &files;  // the simulator folder's, VirtualStore copies first
    std::vector<ModuleUse> uses;
    std::map<std::string, PanelState> panels;  // by path_key
    std::vector<Unchosen> unchosen;

    // `depth`: how many panels of an alias chain lead here, this one included.
    PanelState scan(const std::string &cfg, int depth = 1);
    // Where the alias of the panel.cfg read as `cfg` leads, and whether lines of ours are read
    // there; `first_ours`, a line of ours in this file, which the simulator never reads then.
    bool follow(const std::string &cfg, const CfgFile &read, const GaugeLine *first_ours, int depth);
    // `folder`: the panel's own folder, where the simulator looks for a module first.
    void judge_lines(const std::string &cfg, const std::string &folder, const CfgFile &read,
                     const std::vector<GaugeLine> &lines);
    void judge_line(const std::string &cfg, const std::string &folder, const CfgFile &read, PanelLayout &layout,
                    const GaugeLine &line);
    void scan_aircraft(const std::string &folder);
    void judge_unchosen();
};

PanelState PanelScan::scan(const std::string &found, int depth)
{
    std::string key = files.name_key(found);
    auto known = panels.find(key);
    if (known != panels.end())
        return known->second;
    panels[key].in_progress = true;
    PanelState state;

    // The simulator reads the VirtualStore copy in its place, when Windows made one: every
    // finding below is about the copy.
    const std::string cfg = files.effective(found);
    if (cfg != found)
        findings.warning("panel", found,
                         "the simulator reads " + cfg + " in place of this file: Windows keeps that copy in its " +
                             "VirtualStore since a program without administrator rights changed the file here",
                         "make changes to " + cfg + ", or move your panel.cfg over this one and delete that copy");
    CfgFile read;
    std::string reason;
    if (read_cfg(files, cfg, read, reason) != CfgRead::ok) {
        findings.warning("panel", cfg, "skipped: " + reason,
                         "if this aircraft should hold the gauges, make this its real panel.cfg: plain text, "
                         "ANSI or UTF-8, a few KB");
        panels[key] = state;
        return state;
    }
    const Document &document = read.document;
    std::vector<GaugeLine> lines = panelcfg::gauge_lines(document);
    const GaugeLine *first_ours = 0;
    for (const GaugeLine &line : lines)
        if (line.verdict.ours && !first_ours)
            first_ours = &line;
    panelcfg::Alias alias = panelcfg::find_alias(document);

    if (alias.line < 0) {
        state.ours = first_ours != 0;
        if (state.ours)
            judge_lines(cfg, parent_folder(found), read, lines);
        panels[key] = state;
        return state;
    }

    // An alias hands the whole panel over: the simulator reads the target instead of this file.
    state.ours = follow(cfg, read, first_ours, depth) || first_ours;
    panels[key] = state;
    return state;
}

bool PanelScan::follow(const std::string &cfg, const CfgFile &read, const GaugeLine *first_ours, int depth)
{
    const Document &document = read.document;
    panelcfg::Alias alias = panelcfg::find_alias(document);
    std::string where = "line " + std::to_string(alias.line + 1) +
                        ": alias=" + read.shown(document.lines[(size_t)alias.line].value);
    if (first_ours)
        findings.problem("panel", cfg,
                         "line " + std::to_string(first_ours->line + 1) +
                             " is never read: this panel.cfg hands the aircraft to another panel (" + where + ")",
                         "put the gauge lines into the panel.cfg that the alias names, or remove the alias line");
    const std::string aircraft_root = join_path(sim_folder, "Aircraft");
    AliasStep step = follow_alias(files, aircraft_root, read);
    const std::string &target = step.next.path;
    auto pending = panels.find(files.name_key(target));
    auto report = first_ours ? &Findings::problem : &Findings::warning;
    const char *fix_alias = "correct the alias line: it names a folder under Aircraft, such as alias=Other_Aircraft\\panel";
    if (step.kind == AliasKind::bad_target) {
        (findings.*report)("panel", cfg, where + " names no folder under " + aircraft_root, fix_alias);
    } else if (pending != panels.end() && pending->second.in_progress) {
        (findings.*report)("panel", cfg, where + " leads back to this panel (an alias loop), so the aircraft has no panel",
                           "point the alias at a panel.cfg that holds the panel itself");
    } else if (depth >= ALIAS_CHAIN_LIMIT) {
        (findings.*report)("panel", cfg,
                           where + " makes an alias chain longer than " + std::to_string(ALIAS_CHAIN_LIMIT) +
                               " panels, which gaugecheck follows no further",
                           "point the alias straight at the panel.cfg that holds the panel itself");
    } else if (step.kind == AliasKind::missing) {
        (findings.*report)("panel", cfg, where + " names " + target + ", which does not exist", fix_alias);
    } else {
        bool ours = scan(target, depth + 1).ours;
        if (ours)
            findings.ok("panel", cfg, where + ": the aircraft uses the panel " + target);
        return ours;
    }
    return false;
}

// The windows a panel has by kind and number, and each window's exact gaugeNN keys.
PanelLayout layout_of(const Document &document, const std::vector<GaugeLine> &lines)
{
    PanelLayout layout;
    for (const panelcfg::Section &section : document.sections) {
        panelcfg::WindowId id = panelcfg::window_of(section.name);
        if (id.kind != WindowKind::none)
            layout.windows[id.kind].insert(id.number);
    }
    for (const GaugeLine &line : lines)
        if (line.key.kind == KeyKind::exact)
            layout.keys[panelcfg::lower_ascii(document.sections[(size_t)line.section].name)][line.key.number].push_back(
                line.line + 1);
    return layout;
}

// The first number below `window`'s that the panel lacks, or -1: the simulator creates windows
// from the first number upward and stops at a gap.
int first_gap(PanelLayout &layout, const panelcfg::WindowId &window)
{
    int first = window.kind == WindowKind::window ? 0 : 1;
    for (int number = first; number < window.number; ++number)
        if (!layout.windows[window.kind].count(number))
            return number;
    return -1;
}

void PanelScan::judge_lines(const std::string &cfg, const std::string &folder, const CfgFile &read,
                            const std::vector<GaugeLine> &lines)
{
    PanelLayout layout = layout_of(read.document, lines);
    for (const GaugeLine &line : lines)
        if (line.verdict.ours)
            judge_line(cfg, folder, read, layout, line);
}

void PanelScan::judge_line(const std::string &cfg, const std::string &folder, const CfgFile &read,
                           PanelLayout &layout, const GaugeLine &line)
{
    const Document &document = read.document;
    const panelcfg::GaugeLineVerdict &verdict = line.verdict;
    const std::string &section_name = document.sections[(size_t)line.section].name;
    const panelcfg::Line &entry = document.lines[(size_t)line.line];
    std::string section = read.shown(section_name), key = read.shown(entry.key);
    std::map<int, std::vector<int>> &window_keys = layout.keys[panelcfg::lower_ascii(section_name)];
    int free_number = window_keys.empty() ? 0 : window_keys.rbegin()->first + 1;
    std::string at = "line " + std::to_string(line.line + 1) + " [" + section + "] " + key + "=" + read.shown(entry.value);
    std::string right_value = read.shown(verdict.right_value), problem = read.shown(verdict.problem);

    // The simulator passes over a key that only nearly reads gaugeNN.
    if (line.key.kind == KeyKind::near_miss) {
        int number = line.key.number >= 0 && !window_keys.count(line.key.number) ? line.key.number : free_number;
        findings.problem("panel", cfg, at + ": " + panelcfg::near_miss_problem(key) + (problem.empty() ? "" : "; " + problem),
                         "make the line read gauge" + two_digits(number) + "=" + right_value);
        return;
    }
    if (verdict.module_exact)
        uses.push_back({RELEASE_GAUGES[verdict.gauge].name, folder, cfg});
    if (!problem.empty()) {
        findings.problem("panel", cfg, at + ": " + problem, "make the line read " + key + "=" + right_value);
        return;
    }
    int gap = first_gap(layout, line.window);
    if (gap >= 0) {
        std::string section_kind = section.substr(0, line.window.kind == WindowKind::window ? 6 : 8);
        findings.problem("panel", cfg,
                         at + ": the simulator never creates this window, because there is no [" + section_kind +
                             two_digits(gap) + "] before it",
                         "number the windows without gaps: rename [" + section + "] to [" + section_kind +
                             two_digits(gap) + "] (and its entry under [Window Titles])");
        return;
    }
    const std::vector<int> &same_key = window_keys[line.key.number];
    if (same_key.size() > 1) {
        std::string numbers;
        for (int other : same_key)
            numbers += (numbers.empty() ? "" : ", ") + std::to_string(other);
        findings.problem("panel", cfg,
                         at + ": " + key + " is used " + std::to_string(same_key.size()) + " times in [" + section +
                             "] (lines " + numbers + ") and the simulator reads only one of them",
                         "give this line a number of its own: gauge" + two_digits(free_number) + "=" + right_value);
        return;
    }
    findings.ok("panel", cfg, at);
}

// What panel= would choose a folder: "panel.2D" -> "2D", "panel" -> ""; false for others.
static bool panel_value(const std::string &folder_name, std::string &value)
{
    if (panelcfg::same_ascii(folder_name, "panel")) {
        value.clear();
        return true;
    }
    if (folder_name.size() <= 6 || !panelcfg::same_ascii(folder_name.substr(0, 6), "panel."))
        return false;
    value = folder_name.substr(6);
    return true;
}

void PanelScan::scan_aircraft(const std::string &folder)
{
    // A panel folder itself may be given with --aircraft.
    std::string direct = find_entry(files, folder, "panel.cfg", false);
    if (!direct.empty())
        scan(direct);

    AircraftCfg aircraft = read_aircraft_cfg(files, folder);
    const CfgFile &cfg = aircraft.cfg;
    Unchosen base;
    if (aircraft.found)
        base.aircraft_cfg = aircraft.path;
    if (aircraft.found && aircraft.read != CfgRead::ok)
        findings.warning("panel", aircraft.path, "skipped: " + aircraft.reason + "; gaugecheck takes the folder panel",
                         "make aircraft.cfg plain text again (ANSI or UTF-8)");
    for (const panelcfg::Section &section : cfg.document.sections)
        if (section.name.size() > 7 && panelcfg::same_ascii(section.name.substr(0, 7), "fltsim."))
            base.entries.push_back(std::string("[").append(cfg.shown(section.name)).append("]"));

    std::vector<std::string> panel_folders;
    std::string reason;
    if (!list_subfolders(files, folder, "panel", panel_folders, reason)) {
        findings.warning("panel", folder, "its panel folders were not read: " + reason,
                         "give gaugecheck read access to this folder");
        return;
    }
    std::set<std::string> chosen;  // name key of each chosen folder
    for (const ChosenFolder &choice : aircraft.chosen) {
        if (!choice.choice.problem.empty()) {
            const panelcfg::Line &line = cfg.document.lines[(size_t)choice.choice.line];
            findings.warning("panel", aircraft.path,
                             "line " + std::to_string(choice.choice.line + 1) + " [" +
                                 cfg.shown(cfg.document.sections[(size_t)line.section].name) + "] " + cfg.shown(line.key) +
                                 "=" + cfg.shown(line.value) + ": " + cfg.shown(choice.choice.problem),
                             "give panel= the name after \"panel.\" of a folder beside aircraft.cfg, such as panel=2D "
                             "for the folder panel.2D, or leave it empty for the folder panel");
            continue;
        }
        base.chosen.push_back(choice.name);
        for (const std::string &panel : panel_folders) {
            if (!files.same_name(panel, choice.name))
                continue;
            chosen.insert(files.name_key(join_path(folder, panel)));
            // As the installer finds it: the file, or the VirtualStore copy of one that is not there.
            PanelFile file;
            if (find_panel_cfg(files, join_path(folder, panel), file))
                scan(file.path);
        }
    }
    for (const std::string &panel : panel_folders) {
        if (chosen.count(files.name_key(join_path(folder, panel))))
            continue;
        std::string cfg = find_entry(files, join_path(folder, panel), "panel.cfg", false);
        if (cfg.empty())
            continue;
        Unchosen left = base;
        left.cfg = cfg;
        left.folder_name = panel;
        unchosen.push_back(left);
    }
}

void PanelScan::judge_unchosen()
{
    for (const Unchosen &left : unchosen) {
        if (panels.count(files.name_key(left.cfg)))
            continue;  // an alias leads here, so the simulator reads it after all
        CfgFile read;
        std::string reason;
        if (read_cfg(files, left.cfg, read, reason) != CfgRead::ok)
            continue;
        bool ours = false;
        for (const GaugeLine &line : panelcfg::gauge_lines(read.document))
            ours = ours || line.verdict.ours;
        if (!ours)
            continue;
        auto list = [](const std::vector<std::string> &names) {
            std::string text;
            for (const std::string &name : names)
                text += (text.empty() ? "" : ", ") + name;
            return text;
        };
        std::string why =
            left.aircraft_cfg.empty()
                ? "there is no aircraft.cfg beside it, so the simulator takes the folder panel"
                : "aircraft.cfg's entries " + (left.entries.empty() ? std::string("(none)") : list(left.entries)) +
                      " choose " + (left.chosen.empty() ? std::string("no folder") : list(left.chosen));
        std::string value, fix = "put the gauge lines into the panel.cfg of " +
                                 (left.chosen.empty() ? std::string("the folder aircraft.cfg chooses")
                                                      : "a chosen folder (" + list(left.chosen) + ")");
        if (panel_value(left.folder_name, value))
            fix += ", or set panel=" + value + " in aircraft.cfg's [fltsim.N] entry that should use this folder";
        findings.warning("panel", left.cfg,
                         "the simulator never reads this panel.cfg: " + why + ", not " + left.folder_name, fix);
    }
}

}  // namespace

std::vector<ModuleUse> check_panels(const SimFiles &files, const std::string &sim_folder,
                                    const std::vector<std::string> &aircraft_folders, Findings &findings)
{
    PanelScan scan{sim_folder, findings, files, {}, {}, {}};
    std::vector<std::string> aircraft;
    std::string aircraft_root = join_path(sim_folder, "Aircraft");
    std::vector<std::string> names;
    std::string reason;
    if (!list_subfolders(files, aircraft_root, "", names, reason))
        findings.warning("panel", aircraft_root, "the aircraft folders were not read: " + reason,
                         "give gaugecheck read access to this folder, or name aircraft folders with --aircraft");
    for (const std::string &name : names)
        aircraft.push_back(join_path(aircraft_root, name));
    aircraft.insert(aircraft.end(), aircraft_folders.begin(), aircraft_folders.end());

    for (const std::string &folder : aircraft)
        scan.scan_aircraft(folder);
    scan.judge_unchosen();
    return scan.uses;
}

}  // namespace simreading
