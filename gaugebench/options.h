// gaugebench's command line: the options a run takes and the exit codes it ends with.
// Paths are held in UTF-8 and widened at every Windows call.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Exit codes; nothing else ever leaves the bench.
enum : int {
    EXIT_OK = 0,
    EXIT_RUN_ERROR = 1,       // a module cannot be loaded, an output cannot be written, out of memory
    EXIT_USAGE = 2,           // bad command line or scenario
    EXIT_UNPROVIDED = 3,      // a gauge called a host service the bench does not provide
    EXIT_GAUGE_CRASHED = 4,   // a gauge crashed, or its module cannot be read safely
};

// The snapshot's largest scale: a 40-pixel face is then 640 pixels wide.
constexpr int MAX_SCALE = 16;

struct Options {
    std::vector<std::string> modules;
    std::string scenario_path;      // empty: the built-in demo
    bool json = false;
    bool every_call = false;
    std::string snapshot_path;
    double snapshot_at = -1;        // negative: at the end of the run
    int scale = 1;
    bool scale_given = false;
    std::string audio_path;
    std::string sounds_dir;
    std::string report_path;
    bool print_demo = false;
    bool help = false;
};

// On failure returns false and a message for the user.
bool parse_options(const std::vector<std::string> &args, Options &options, std::string &error);
const char *usage_text();

// Whether two paths name the same file: full paths compared without regard to case, as
// Windows' file systems do.
bool same_file_path(const std::string &a, const std::string &b);

}  // namespace bench
