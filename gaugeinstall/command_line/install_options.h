// gaugeinstall's command line, read without Windows: what to do, to which aircraft of which
// simulator folder, and how to report it.
#pragma once

#include <string>
#include <vector>

#include "panel_edit.h"

namespace gaugeinstall {

enum class Mode {
    install,
    uninstall,
    interactive,  // no arguments, or only a folder dropped onto the program: ask
    help,
};

struct Options {
    Mode mode = Mode::install;
    bool dry_run = false;
    bool json = false;
    panelcfg::InstallRequest request;   // --where, --at
    std::string sim_folder;             // as given; empty to look for it (interactive only)
    std::vector<std::string> aircraft;  // folder names under Aircraft\, or aircraft folder paths
};

extern const char USAGE[];

// False with one line for the user (exit code 2).
bool read_options(const std::vector<std::string> &args, Options &options, std::string &error);

}  // namespace gaugeinstall
