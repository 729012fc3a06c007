// Check 4: finds every panel.cfg of every aircraft, follows [fltsim] alias= lines, and judges
// each gauge line that means one of our modules: its spelling, the window it sits in, and
// whether its gaugeNN key is the only one of that number in its window.
#include <map>

#include "checks.h"
#include "folders.h"
#include "panel_cfg.h"
#include "toolbox.h"

namespace gaugecheck {

// A panel.cfg is small text; a file past this is not one, and is not read whole.
static const uint64_t PANEL_LIMIT = 4u << 20;
// Aliases are followed by recursion: a chain longer than any real aircraft set uses is cut here
// before it can exhaust the stack.
static const int ALIAS_CHAIN_LIMIT = 32;

namespace {

struct PanelState {
    bool in_progress = false;
    bool ours = false;  // it, or the panel its alias leads to, holds lines meaning our modules
};

struct PanelScan {
    std::string sim_folder;
    Findings &findings;
    std::vector<ModuleUse> uses;
    std::map<std::string, PanelState> panels;  // by path_key

    // `depth`: how many panels of an alias chain lead here, this one included.
    PanelState scan(const std::string &cfg, int depth = 1);
    void judge_lines(const std::string &cfg, const std::vector<PanelEntry> &entries);
    std::string alias_target(const std::string &alias) const
    {
        std::string relative = alias;
        for (char &c : relative)
            if (c == '/')
                c = '\\';
        return join_path(join_path(join_path(sim_folder, "Aircraft"), relative), "panel.cfg");
    }
};

std::string two_digits(int number)
{
    char text[16];
    snprintf(text, sizeof text, "%02d", number);
    return text;
}

PanelState PanelScan::scan(const std::string &cfg, int depth)
{
    std::string key = path_key(cfg);
    auto known = panels.find(key);
    if (known != panels.end())
        return known->second;
    panels[key].in_progress = true;
    PanelState state;

    std::vector<uint8_t> bytes;
    std::string reason, text;
    if (!toolbox::read_whole_file(cfg, bytes, reason, PANEL_LIMIT) || !decode_panel_text(bytes, text, reason)) {
        findings.warning("panel", cfg, "skipped: " + reason,
                         "if this aircraft should hold the gauges, make this its real panel.cfg: plain text, "
                         "ANSI or UTF-8, a few KB");
        panels[key] = state;
        return state;
    }
    std::vector<PanelEntry> entries = parse_panel_entries(text);
    const PanelEntry *alias = 0;
    std::vector<const PanelEntry *> our_lines;
    for (const PanelEntry &entry : entries) {
        if (lower_ascii(entry.section) == "fltsim" && lower_ascii(entry.key) == "alias" && !alias)
            alias = &entry;
        std::string kind;
        int window;
        if (panel_window(entry.section, kind, window) && gauge_key_number(entry.key) >= 0 &&
            judge_gauge_value(entry.value).ours)
            our_lines.push_back(&entry);
    }

    if (!alias) {
        state.ours = !our_lines.empty();
        if (state.ours)
            judge_lines(cfg, entries);
        panels[key] = state;
        return state;
    }

    // An alias hands the whole panel over: the simulator reads the target instead of this file.
    std::string where = "line " + std::to_string(alias->line) + ": alias=" + alias->value;
    if (!our_lines.empty())
        findings.problem("panel", cfg,
                         "line " + std::to_string(our_lines.front()->line) +
                             " is never read: this panel.cfg hands the aircraft to another panel (" + where + ")",
                         "put the gauge lines into the panel.cfg that the alias names, or remove the alias line");
    std::string target = alias_target(alias->value);
    auto pending = panels.find(path_key(target));
    if (pending != panels.end() && pending->second.in_progress) {
        auto report = our_lines.empty() ? &Findings::warning : &Findings::problem;
        (findings.*report)("panel", cfg, where + " leads back to this panel (an alias loop), so the aircraft has no panel",
                           "point the alias at a panel.cfg that holds the panel itself");
    } else if (depth >= ALIAS_CHAIN_LIMIT) {
        auto report = our_lines.empty() ? &Findings::warning : &Findings::problem;
        (findings.*report)("panel", cfg,
                           where + " makes an alias chain longer than " + std::to_string(ALIAS_CHAIN_LIMIT) +
                               " panels, which gaugecheck follows no further",
                           "point the alias straight at the panel.cfg that holds the panel itself");
    } else if (!is_file(target)) {
        auto report = our_lines.empty() ? &Findings::warning : &Findings::problem;
        (findings.*report)("panel", cfg, where + " names " + target + ", which does not exist",
                           "correct the alias line: it names a folder under Aircraft, such as alias=Other_Aircraft\\panel");
    } else {
        state.ours = scan(target, depth + 1).ours;
        if (state.ours)
            findings.ok("panel", cfg, where + ": the aircraft uses the panel " + target);
    }
    state.ours = state.ours || !our_lines.empty();
    panels[key] = state;
    return state;
}

void PanelScan::judge_lines(const std::string &cfg, const std::vector<PanelEntry> &entries)
{
    std::string folder = parent_folder(cfg);
    // Windows present by kind and number, and each window's gaugeNN keys.
    std::map<std::string, std::map<int, bool>> windows;
    std::map<std::string, std::map<int, std::vector<int>>> keys;  // section -> number -> lines
    for (const PanelEntry &entry : entries) {
        std::string kind;
        int number;
        if (!panel_window(entry.section, kind, number))
            continue;
        windows[kind][number] = true;
        int key_number = gauge_key_number(entry.key);
        if (key_number >= 0)
            keys[lower_ascii(entry.section)][key_number].push_back(entry.line);
    }
    for (const PanelEntry &entry : entries) {
        std::string kind;
        int window;
        int key_number = gauge_key_number(entry.key);
        if (!panel_window(entry.section, kind, window) || key_number < 0)
            continue;
        GaugeLineVerdict verdict = judge_gauge_value(entry.value);
        if (!verdict.ours)
            continue;
        if (verdict.module_exact)
            uses.push_back({verdict.gauge_name, folder, cfg});
        std::string at = "line " + std::to_string(entry.line) + " [" + entry.section + "] " + entry.key + "=" +
                         entry.value;
        if (!verdict.problem.empty()) {
            findings.problem("panel", cfg, at + ": " + verdict.problem,
                             "make the line read " + entry.key + "=" + verdict.right_value);
            continue;
        }
        // The simulator creates windows from the first number upward and stops at a gap.
        int first = kind == "window" ? 0 : 1, gap = -1;
        for (int number = first; number < window && gap < 0; ++number)
            if (!windows[kind].count(number))
                gap = number;
        std::string section_name = entry.section.substr(0, kind.size());
        if (gap >= 0) {
            findings.problem("panel", cfg,
                             at + ": the simulator never creates this window, because there is no [" + section_name +
                                 two_digits(gap) + "] before it",
                             "number the windows without gaps: rename [" + entry.section + "] to [" + section_name +
                                 two_digits(gap) + "] (and its entry under [Window Titles])");
            continue;
        }
        std::map<int, std::vector<int>> &window_keys = keys[lower_ascii(entry.section)];
        const std::vector<int> &same_key = window_keys[key_number];
        if (same_key.size() > 1) {
            std::string lines;
            for (int line : same_key)
                lines += (lines.empty() ? "" : ", ") + std::to_string(line);
            int free_number = window_keys.rbegin()->first + 1;
            findings.problem("panel", cfg,
                             at + ": " + entry.key + " is used " + std::to_string(same_key.size()) + " times in [" +
                                 entry.section + "] (lines " + lines + ") and the simulator reads only one of them",
                             "give this line a number of its own: gauge" + two_digits(free_number) + "=" +
                                 verdict.right_value);
            continue;
        }
        findings.ok("panel", cfg, at);
    }
}

}  // namespace

std::vector<ModuleUse> check_panels(const std::string &sim_folder, const std::vector<std::string> &aircraft_folders,
                                    Findings &findings)
{
    PanelScan scan{sim_folder, findings, {}, {}};
    std::vector<std::string> aircraft;
    std::string aircraft_root = join_path(sim_folder, "Aircraft");
    std::vector<std::string> names;
    std::string reason;
    if (!list_subfolders(aircraft_root, "*", names, reason))
        findings.warning("panel", aircraft_root, "the aircraft folders were not read: " + reason,
                         "give gaugecheck read access to this folder, or name aircraft folders with --aircraft");
    for (const std::string &name : names)
        aircraft.push_back(join_path(aircraft_root, name));
    aircraft.insert(aircraft.end(), aircraft_folders.begin(), aircraft_folders.end());

    for (const std::string &folder : aircraft) {
        // A panel folder itself may be given with --aircraft.
        if (is_file(join_path(folder, "panel.cfg")))
            scan.scan(join_path(folder, "panel.cfg"));
        std::vector<std::string> panel_folders;
        if (!list_subfolders(folder, "panel*", panel_folders, reason)) {
            findings.warning("panel", folder, "its panel folders were not read: " + reason,
                             "give gaugecheck read access to this folder");
            continue;
        }
        for (const std::string &panel : panel_folders) {
            std::string cfg = join_path(join_path(folder, panel), "panel.cfg");
            if (is_file(cfg))
                scan.scan(cfg);
        }
    }
    return scan.uses;
}

}  // namespace gaugecheck
