// Reading gaugeinstall's options: each option once, the folder and aircraft after them in any
// order with the options.
#include "install_options.h"

#include <stdlib.h>

namespace gaugeinstall {

const char USAGE[] =
    "usage: gaugeinstall [--dry-run] [--json] [--where 2d|vc|both] [--at X,Y] SIMFOLDER AIRCRAFT...\n"
    "       gaugeinstall --uninstall [--dry-run] [--json] SIMFOLDER [AIRCRAFT...]\n"
    "       gaugeinstall             (asks which aircraft, as a double click does)\n"
    "Puts the VQT7 gauges and their sounds into the aircraft's panel.cfg files and the simulator's\n"
    "folder (the one holding fs9.exe), or takes them out again, changing no other byte of those\n"
    "files. AIRCRAFT is a folder name under Aircraft\\ or the path of an aircraft folder; without\n"
    "AIRCRAFT, --uninstall acts on every panel of the simulator.\n"
    "  --dry-run    print what would change, with a diff of each panel.cfg, and change nothing\n"
    "  --json       one JSON object a line\n"
    "  --where      the main 2D window [Window00], the virtual cockpit's lowest [VcockpitNN], or\n"
    "               both (the default), each where the panel has it\n"
    "  --at X,Y     where the frequency readout goes in those sections, in pixels (default 0,0)\n"
    "Exit codes: 0 done, or nothing left to do; 1 could not, and nothing was changed; 2 a bad\n"
    "command line or a folder without fs9.exe; 70 gaugeinstall itself failed (out of memory, an\n"
    "unexpected error); 130 stopped by Ctrl+C, or its window closed.\n";

// A whole number within a panel's reach, negative included as real panels place them.
static bool read_coordinate(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 6)
        return false;
    size_t digits = text[0] == '-' ? 1 : 0;
    if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    value = atoi(text.c_str());
    return value >= -32768 && value <= 32767;
}

bool read_options(const std::vector<std::string> &args, Options &options, std::string &error)
{
    options = Options();
    bool uninstall = false, where_given = false, at_given = false;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        bool has_value = i + 1 < args.size();
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.mode = Mode::help;
            return true;
        } else if (arg == "--uninstall") {
            uninstall = true;
        } else if (arg == "--dry-run") {
            options.dry_run = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--where") {
            const std::string value = has_value ? args[++i] : "";
            if (value == "2d" || value == "2D")
                options.request.where = panelcfg::Where::window;
            else if (value == "vc" || value == "VC")
                options.request.where = panelcfg::Where::vcockpit;
            else if (value == "both")
                options.request.where = panelcfg::Where::both;
            else {
                error = "--where expects 2d, vc or both" + (value.empty() ? "" : ", not '" + value + "'") + " (see --help)";
                return false;
            }
            where_given = true;
        } else if (arg == "--at") {
            const std::string value = has_value ? args[++i] : "";
            size_t comma = value.find(',');
            if (comma == std::string::npos || !read_coordinate(value.substr(0, comma), options.request.x) ||
                !read_coordinate(value.substr(comma + 1), options.request.y)) {
                error = "--at expects X,Y in whole pixels, such as --at 10,60" +
                        (value.empty() ? std::string() : ", not '" + value + "'") + " (see --help)";
                return false;
            }
            at_given = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (uninstall && (where_given || at_given)) {
        error = std::string(where_given ? "--where" : "--at") + " places the gauges; --uninstall takes them out of every section";
        return false;
    }
    // Nothing at all, or a folder dropped onto the program: ask which aircraft.
    if (args.empty() || (args.size() == 1 && positional.size() == 1)) {
        options.mode = Mode::interactive;
        options.sim_folder = positional.empty() ? std::string() : positional[0];
        return true;
    }
    if (positional.empty()) {
        error = "give the simulator's folder (the one holding fs9.exe)" +
                std::string(uninstall ? "" : " and one or more aircraft") + " (see --help)";
        return false;
    }
    options.mode = uninstall ? Mode::uninstall : Mode::install;
    options.sim_folder = positional[0];
    options.aircraft.assign(positional.begin() + 1, positional.end());
    if (!uninstall && options.aircraft.empty()) {
        error = "name the aircraft to install into after the simulator's folder: a folder name under "
                "Aircraft, or an aircraft folder's path (see --help)";
        return false;
    }
    return true;
}

}  // namespace gaugeinstall
