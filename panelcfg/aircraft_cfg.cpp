// The panel folders an aircraft.cfg chooses, one per [fltsim.N] entry: panel=2D names the
// folder panel.2D beside aircraft.cfg, an empty value the folder panel.
#include "aircraft_cfg.h"

namespace panelcfg {

// "fltsim.0", "FLTSIM.12": one entry of the aircraft's variations.
static bool is_fltsim_entry(std::string_view name)
{
    if (name.size() <= 7 || !same_ascii(name.substr(0, 7), "fltsim."))
        return false;
    for (char c : name.substr(7))
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A name that can only be a folder beside aircraft.cfg: no path, no drive, nothing Windows
// refuses in a file name.
static bool plain_folder_name(std::string_view name)
{
    if (name == "." || name == "..")
        return false;
    for (char c : name)
        if ((unsigned char)c < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    return true;
}

std::vector<PanelChoice> chosen_panel_folders(const Document &aircraft_cfg)
{
    std::vector<PanelChoice> choices;
    auto add = [&choices](PanelChoice choice) {
        if (choice.problem.empty())
            for (const PanelChoice &earlier : choices)
                if (same_ascii(earlier.folder, choice.folder))
                    return;
        choices.push_back(std::move(choice));
    };
    bool any_entry = false;
    for (const Section &section : aircraft_cfg.sections) {
        if (!is_fltsim_entry(section.name))
            continue;
        any_entry = true;
        PanelChoice choice{"panel", -1, std::string()};
        for (int i = section.header + 1; i < section.end; ++i) {
            const Line &line = aircraft_cfg.lines[(size_t)i];
            if (line.kind != LineKind::entry || !same_ascii(line.key, "panel"))
                continue;
            std::string_view value = line.value;
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = trim(value.substr(1, value.size() - 2));
            choice.line = i;
            if (value.empty())
                break;
            if (plain_folder_name(value))
                choice.folder = "panel." + std::string(value);
            else {
                choice.folder.clear();
                choice.problem = "the value '" + std::string(value) +
                                 "' is no plain folder name, so it names no panel folder beside aircraft.cfg";
            }
            break;
        }
        add(std::move(choice));
    }
    if (!any_entry)
        add({"panel", -1, std::string()});
    return choices;
}

}  // namespace panelcfg
