// Loading the gauge modules and making the panel's instances: every way a module or a scenario's
// instance line can be wrong ends here with an exit code and one message.
#include "panel.h"

#include <map>

#include "toolbox.h"

namespace bench {

using toolbox::file_name;
using toolbox::same_text_ignoring_case;

static std::string file_stem(const std::string &path)
{
    std::string name = file_name(path);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

static int fail(std::string &error, int code, const std::string &message)
{
    error = message;
    return code;
}

int load_modules(const std::vector<std::string> &paths, Panel &panel, std::string &error)
{
    for (const std::string &path : paths) {
        panel.modules.emplace_back();
        panel_host::Module &module = panel.modules.back();
        std::string message;
        bool unreadable = false, entry_crashed = false;
        if (!panel_host::load_module(path, module, message, &unreadable, &entry_crashed)) {
            panel.modules.pop_back();
            return fail(error, unreadable || entry_crashed ? EXIT_GAUGE_CRASHED : EXIT_RUN_ERROR, message);
        }
        for (const panel_host::Module &other : panel.modules)
            if (&other != &module && other.handle == module.handle)
                return fail(error, EXIT_USAGE, path + " is loaded twice (as " + other.path +
                                             "); to hold a gauge twice, use 'instances GAUGE 2' in a scenario");
    }
    return EXIT_OK;
}

int make_instances(Panel &panel, bool demo, Scenario &scenario, std::string &error)
{
    // Gauges by name, in command-line order.
    struct Known {
        panel_host::Module *module;
        size_t index;
        std::string name;
    };
    std::vector<Known> known;
    for (panel_host::Module &module : panel.modules)
        for (size_t g = 0; g < module.gauges.size(); ++g) {
            const char *name = host_contract::pointer_at<const char>(module.gauges[g], host_contract::GAUGEHDR_NAME_AT);
            Known gauge{&module, g, name && *name ? std::string(name) : file_stem(module.path)};
            // The timeline and the scenario name gauges by name: two of one name could not be told apart.
            for (const Known &other : known)
                if (other.name == gauge.name)
                    return fail(error, EXIT_USAGE, "two gauges are named " + toolbox::printable(gauge.name) + " (in " +
                                                 other.module->path + " and " + module.path +
                                                 "); the timeline could not tell them apart");
            known.push_back(gauge);
        }
    if (demo) {
        // The demo holds the frequency cue gauge twice when it is loaded, as a 2D panel and a
        // virtual cockpit would.
        bool boomcue = false;
        for (const Known &gauge : known)
            boomcue |= gauge.name == "VQT7_Boomcue";
        std::string message;
        parse_scenario(demo_scenario(boomcue), "demo", scenario, message);
    }
    // A scenario names a gauge by its name or its module's file name, with or without ".gau".
    std::map<std::string, int> counts;
    for (const InstanceRequest &request : scenario.instances) {
        bool found = false;
        for (const Known &gauge : known)
            if (gauge.name == request.gauge || same_text_ignoring_case(file_stem(gauge.module->path), request.gauge) ||
                same_text_ignoring_case(file_name(gauge.module->path), request.gauge)) {
                counts[gauge.name] = request.count;
                found = true;
            }
        if (!found) {
            std::string names;
            for (const Known &gauge : known)
                names += (names.empty() ? "" : ", ") + gauge.name;
            return fail(error, EXIT_USAGE, scenario.source + ":" + std::to_string(request.line) +
                                         ": expected the name of a loaded gauge (" + names + "), got '" +
                                         toolbox::printable(request.gauge) + "'");
        }
    }
    for (const Known &gauge : known) {
        int count = counts.count(gauge.name) ? counts[gauge.name] : 1;
        for (int n = 1; n <= count; ++n) {
            GaugeRun run{panel_host::make_instance(*gauge.module, gauge.index), gauge.name, n, {}};
            run.texts.resize(run.instance.strings.size());
            panel.gauges.push_back(run);
        }
    }
    return EXIT_OK;
}

}  // namespace bench
