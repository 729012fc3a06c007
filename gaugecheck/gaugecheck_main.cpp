// gaugecheck: looks at a simulator folder and says, one line a finding, why the VQT7 gauges
// would be silent or missing there and how to fix it. Only reads; never runs what it inspects.
#include <stdio.h>

#include "checks.h"
#include "console.h"
#include "folders.h"
#include "release_sums.h"
#include "sim_folder.h"
#include "toolbox.h"

using namespace gaugecheck;
using toolbox::Stream;
using toolbox::write_line;

static const int EXIT_CLEAN = 0, EXIT_PROBLEMS = 1, EXIT_USAGE = 2;

static const char USAGE[] =
    "usage: gaugecheck [--json] [--aircraft FOLDER]... [SIMFOLDER]\n"
    "Checks the VQT7 gauges' install in the simulator's folder (the one holding fs9.exe): the\n"
    "gauge modules, the GaugeSound library, the sound files and the panel.cfg lines.\n"
    "Without SIMFOLDER it looks upward from the current folder and from its own folder.\n"
    "  --json             one JSON object a line\n"
    "  --aircraft FOLDER  also check this aircraft folder's panels (may be repeated)\n"
    "Exit codes: 0 no problem (warnings allowed), 1 problems, 2 bad command line or folder,\n"
    "70 gaugecheck itself failed (out of memory, an unexpected error), 130 stopped by Ctrl+C\n"
    "or its window closed.\n";

static int usage_error(const std::string &message)
{
    write_line(Stream::err, "gaugecheck: " + message);
    return EXIT_USAGE;
}

static int run(const std::vector<std::string> &args)
{
    bool json = false;
    std::vector<std::string> aircraft;
    std::string given;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            fputs(USAGE, stdout);
            return EXIT_CLEAN;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--aircraft") {
            if (++i == args.size())
                return usage_error("--aircraft expects an aircraft folder (see --help)");
            std::string folder = full_path(args[i]);
            if (!is_folder(folder))
                return usage_error("--aircraft " + args[i] + ": no such folder");
            aircraft.push_back(folder);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option '" + arg + "' (see --help)");
        } else if (!given.empty()) {
            return usage_error("one simulator folder only, got '" + given + "' and '" + arg + "' (see --help)");
        } else {
            given = arg;
        }
    }

    std::string sim, message;
    if (!find_sim_folder(given, "gaugecheck", sim, message))
        return usage_error(message);

    if (!json)
        write_line(Stream::out, std::string("gaugecheck ") + CURRENT_RELEASE + ": checking " + sim);
    Findings ordered = check_install(sim, aircraft);
    for (const Finding &finding : ordered.list)
        write_line(Stream::out, finding_line(finding, json));
    write_line(Stream::out, summary_line(ordered, json));
    return ordered.count(Status::problem) ? EXIT_PROBLEMS : EXIT_CLEAN;
}

int wmain(int argc, wchar_t **argv)
{
    return toolbox::run_console_tool({"gaugecheck", "the check did not finish", true}, argc, argv, run);
}
