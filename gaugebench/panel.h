// The panel a run drives: the gauge modules loaded into the stand-in host, in command-line
// order, and the gauge instances the scenario asks for, each with the texts it showed last.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "options.h"
#include "scenario.h"
#include "standin_host.h"

namespace bench {

struct GaugeRun {
    panel_host::Instance instance;
    std::string gauge;
    int number;
    std::vector<std::string> texts;  // each string element's text after its last update
};

struct Panel {
    std::list<panel_host::Module> modules;  // instances point into these: a list keeps them put
    std::vector<GaugeRun> gauges;
};

// Loads the modules in order. On failure returns an exit code (1 cannot be loaded, 2 loaded
// twice, 4 crashed in its entry point or cannot be read safely) and a message.
int load_modules(const std::vector<std::string> &paths, Panel &panel, std::string &error);
// Names the loaded gauges, sets up the built-in demo in `scenario` when `demo`, and makes every
// instance the scenario asks for. On failure returns exit code 2 and a message.
int make_instances(Panel &panel, bool demo, Scenario &scenario, std::string &error);

}  // namespace bench
