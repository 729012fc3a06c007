// gaugebench's command line and run loop: loads the modules into the stand-in host, runs the
// scenario at the panel rate in the host's order, and writes the timeline, snapshot and audio.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

namespace bench {

// Exit codes.
enum : int {
    EXIT_OK = 0,
    EXIT_RUN_ERROR = 1,       // a module cannot be loaded, an output cannot be written
    EXIT_USAGE = 2,           // bad command line or scenario
    EXIT_UNPROVIDED = 3,      // a gauge called a host service the bench does not provide
    EXIT_GAUGE_CRASHED = 4,   // a gauge raised an exception
};

struct Options {
    std::vector<std::string> modules;
    std::string scenario_path;      // empty: the built-in demo
    bool json = false;
    bool every_call = false;
    std::string snapshot_path;
    double snapshot_at = -1;        // negative: at the end of the run
    int scale = 1;
    std::string audio_path;
    std::string sounds_dir;
    bool print_demo = false;
    bool help = false;
};

// On failure returns false and a message for the user.
bool parse_options(const std::vector<std::string> &args, Options &options, std::string &error);
const char *usage_text();

// Runs the bench; the timeline goes to `out`, warnings and errors to `err`. Returns an exit code.
int run_bench(const Options &options, FILE *out, FILE *err);

}  // namespace bench
